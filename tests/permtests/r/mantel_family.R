# Expected values of MantelFamilyTest.cpp: the observed statistics of the Mantel-family
# permutation tests, and the exact probability of ro(TE) over all 120 arrangements of 5 OTUs.
# Run offline: Rscript mantel_family.R ; the printed numbers are pasted into the test.
#
# The library holds T and X in single precision (T = W x B summed in float, columns divided by
# their length and rounded to float; X = W x U summed in float; the Euclidean distance of float
# rows takes float differences and squares and sums them in double). f32() (float_helpers.R) and the helpers
# below repeat those roundings, so that the double statistics can be compared to 1e-12.
suppressMessages(library(vegan))
source("float_helpers.R")
eucf <- function(X) {  # Euclidean distance of float rows
  n <- nrow(X); D <- matrix(0, n, n)
  for (i in 1:n) for (j in 1:n) D[i, j] <- sqrt(sum(f32(f32(X[i, ] - X[j, ])^2)))
  as.dist(D)
}
p <- function(name, x) cat(sprintf("%s = %.17g\n", name, x))
v <- function(d) as.vector(d)
res <- function(y, ...) resid(lm(v(y) ~ cbind(...)))
pc <- function(x, y, z) (x - y * z) / sqrt((1 - y^2) * (1 - z^2))

W <- matrix(c(3,1,0,0,2, 0,2,4,1,0, 1,0,0,5,2, 2,2,2,0,0, 0,0,1,3,4, 5,0,1,0,1), 6, 5, byrow = TRUE)
B <- f32(matrix(c(1.0,10,0.5, 2.5,12,0.1, 4.0,7,0.9, 3.0,15,0.3, 0.5,9,0.7), 5, 3, byrow = TRUE))
U <- matrix(c(1,0, 0.8,0.2, 0,1, 0.3,0.7, 0.6,0.4), 5, 2, byrow = TRUE)
Q <- matrix(c(1,0, 1,0, 0,1, 0,1, 1,0), 5, 2, byrow = TRUE)
E <- matrix(c(1,5, 2,3, 4,4, 3,1, 5,2, 0.5,4.5), 6, 2, byrow = TRUE)
C <- matrix(c(2,1, 0,3, 1,1, 4,2, 3,0, 1,2), 6, 2, byrow = TRUE)
S <- f32(matrix(c(1,.8,.3,.5,.6, .8,1,.4,.7,.5, .3,.4,1,.2,.9, .5,.7,.2,1,.1, .6,.5,.9,.1,1), 5, 5))

Bsel <- B; Bsel[, 3] <- 0
Tn <- normf(prodf(W, Bsel))
DT <- eucf(Tn); DE <- dist(E); DC <- dist(C); DP <- dist(W %*% Q)
DX <- eucf(prodf(W, U))

cat("# given correlations (inputs of the tests)\n")
rPE <- cor(v(DP), v(DE)); rPT <- cor(v(DP), v(DT)); rTE <- cor(v(DT), v(DE))
rPE_C <- cor(res(DP, v(DC)), res(DE, v(DC)))
rTE_C <- cor(res(DT, v(DC)), res(DE, v(DC)))
rTE_P <- cor(res(DT, v(DP)), res(DE, v(DP)))
rTE_PC <- cor(res(DT, v(DP), v(DC)), res(DE, v(DP), v(DC)))
p("rTE", rTE); p("rPE", rPE); p("rPT", rPT); p("rPE_C", rPE_C); p("rTE_C", rTE_C); p("rTE_P", rTE_P)
p("rTE_PC", rTE_PC)

cat("# trait rows permuted\n")
p("TE", mantel(DE, DT, permutations = 0)$statistic)
p("TE_C", mantel.partial(DT, DE, DC, permutations = 0)$statistic)
p("TE_P", mantel.partial(DT, DE, DP, permutations = 0)$statistic)
p("TE_PC", rTE_PC)

cat("# type rows permuted\n")
p("XE", mantel(DX, DE, permutations = 0)$statistic)
p("XE_T", mantel.partial(DX, DE, DT, permutations = 0)$statistic)
p("XE_C", mantel.partial(DX, DE, DC, permutations = 0)$statistic)
p("XE_TC", cor(res(DX, v(DT), v(DC)), res(DE, v(DT), v(DC))))
p("XE_P", mantel.partial(DX, DE, DP, permutations = 0)$statistic)
p("XE_TP", cor(res(DX, v(DT), v(DP)), res(DE, v(DT), v(DP))))
p("XE_TPC", cor(res(DX, v(DT), v(DP), v(DC)), res(DE, v(DT), v(DP), v(DC))))
# X and P from the permuted-taxa test: P = W Q summed in float.
DPf <- eucf(prodf(W, Q))
p("XP", cor(v(DX), v(DPf))); p("PT", cor(v(DPf), v(DT)))
p("XP_T", mantel.partial(DX, DPf, DT, permutations = 0)$statistic)
# Procrustes form: X in double, T = W B over the two selected traits (double), E.
pr <- function(a, b) suppressWarnings(suppressMessages(protest(a, b, permutations = 0)$t0))
Xd <- W %*% U; Td <- W %*% B[, 1:2]
p("XE_T_procrustes", pc(pr(Xd, E), pr(Xd, Td), rTE))

cat("# group labels 1 2 1 3 2, crisp\n")
lab <- c(1, 2, 1, 3, 2)
Uc <- outer(lab, 1:3, "==") * 1
DXc <- eucf(prodf(W, Uc))
p("XE_T_crisp", pc(cor(v(DXc), v(DE)), cor(v(DXc), v(DT)), f32(rTE)))
# fuzzy: mean similarity to the members of each group, rows scaled to unit sum
Uf <- sapply(1:3, function(k) rowMeans(S[, lab == k, drop = FALSE])); Uf <- Uf / rowSums(Uf)
DXf <- eucf(prodf(W, Uf))
p("XE_T_fuzzy", pc(cor(v(DXf), v(DE)), cor(v(DXf), v(DT)), f32(rTE)))

cat("# several statistics at once\n")
d <- f32(sqrt(f32(1 - S)))
R <- apply(W, 1, function(w) { q <- w / sum(w); 1 / (1 - sum(outer(q, q) * d)) })
DR <- dist(R)
p("R1", R[1]); p("R6", R[6])
DXm <- eucf(prodf(W, U))
p("M_XE", cor(v(DXm), v(DE))); p("M_TE", cor(v(DT), v(DE)))
p("M_XE_T", mantel.partial(DXm, DE, DT, permutations = 0)$statistic)
p("M_RE", cor(v(DR), v(DE)))
p("M_XE_TR", cor(res(DXm, v(DT), v(DR)), res(DE, v(DT), v(DR))))
p("P_TE", pr(Tn[, 1:2], E)); p("P_XE", pr(prodf(W, U), E)); p("P_RE", pr(R, E))

cat("# all 120 arrangements of the 5 OTUs, ro(TE) rounded to float\n")
perms <- function(v) if (length(v) <= 1) list(v) else
  do.call(c, lapply(seq_along(v), function(i) lapply(perms(v[-i]), function(r) c(v[i], r))))
roTE <- function(o) f32(cor(v(eucf(normf(prodf(W, Bsel[o, ])))), v(DE)))
obs <- roTE(1:5)
vals <- sapply(perms(1:5), roTE)
# equal within one float step counts; the float values are exact, so >= is the rule here
cat(sprintf("arrangements at least as large as the observed = %d of %d\n", sum(vals >= obs), length(vals)))
