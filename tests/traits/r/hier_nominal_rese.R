# NominalRese of tests/traits/HierTest.cpp by the definitions of its options (run offline:
# Rscript hier_nominal_rese.R).
suppressMessages(library(vegan))
x <- rbind(c(1,0,3,2,0,4), c(0,2,1,0,5,1), c(3,1,0,0,2,2), c(2,2,2,1,1,0))
tot <- rowSums(x)
N <- 35; K <- 12
idiv <- function(a, b) sum(ifelse(a > 0, a * log(2 * a / (a + b)), 0)) + sum(ifelse(b > 0, b * log(2 * b / (a + b)), 0))
up <- function(m) m[upper.tri(m)]
D1 <- outer(1:4, 1:4, Vectorize(function(i, j) idiv(x[i, ], x[j, ])))
Dt <- outer(1:4, 1:4, Vectorize(function(i, j) idiv(tot[i], tot[j])))
C <- tcrossprod(x) / N - outer(tot, tot) / K
fmt <- function(name, v) cat(name, paste(sprintf("%.12g", v), collapse = ", "), "\n")
fmt("opt1", up(D1))
fmt("opt2", up(D1 - Dt))
fmt("opt3", c(up(tcrossprod(x) / N), diag(tcrossprod(x) / N)))
fmt("opt4", c(up(C), diag(C)))
fmt("opt5", up(cov2cor(C)))
fmt("opt6", up(as.matrix(dist(x))^2 / N))
fmt("opt7", up(as.matrix(dist(x / tot))^2 / N))
fmt("opt8", up(as.matrix(vegdist(x, "manhattan"))))
fmt("opt9", up(as.matrix(vegdist(x / tot, "manhattan"))))
# With N = p and K = p^2 the centred cross products are covariances: Pearson correlation.
fmt("cor", up(cor(t(x))))
fmt("opt10", up(2 * (1 - cor(t(x)))))
# Options 4 and 5 again with N = 6, K = 36: the correlations are Pearson's.
C6 <- tcrossprod(x) / 6 - outer(tot, tot) / 36
fmt("opt4_6_36", up(C6))
fmt("opt5_6_36", up(cov2cor(C6)))
