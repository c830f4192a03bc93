# Reference values for DispatchTest.cpp: resemblances among the rows of a small abundance
# table (run offline: Rscript dispatch.R). Printed as the upper triangle, row by row.
library(vegan)
X <- matrix(c(3, 0, 1, 4,
              1, 2, 0, 0,
              0, 5, 2, 1,
              2, 1, 1, 3,
              0, 0, 4, 2), ncol = 4, byrow = TRUE)
up <- function(d) { m <- as.matrix(d); m[upper.tri(m)] }   # column-major upper triangle
pr <- function(label, d) {
  m <- as.matrix(d); v <- c()
  for (i in 1:(nrow(m) - 1)) v <- c(v, m[i, (i + 1):ncol(m)])
  cat(label, sprintf("%.15g", v), "\n")
}
pr("euclidean:", vegdist(X, "euclidean"))
pr("manhattan:", vegdist(X, "manhattan"))
pr("bray:", vegdist(X, "bray"))
pr("chord:", vegdist(X, "chord"))
pr("jaccard similarity:", 1 - vegdist(X, "jaccard", binary = TRUE))
pr("correlation:", as.dist(cor(t(X))))
