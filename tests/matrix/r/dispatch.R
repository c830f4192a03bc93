# Reference values for DispatchTest.cpp: the resemblances the dispatcher computes itself
# among the rows of a small abundance table (run offline: Rscript dispatch.R). Printed as the
# upper triangle, row by row.
library(vegan)
X <- matrix(c(3, 0, 1, 4,
              1, 2, 0, 0,
              0, 5, 2, 1,
              2, 1, 1, 3,
              0, 0, 4, 2), ncol = 4, byrow = TRUE)
pr <- function(label, d) {
  m <- as.matrix(d); v <- c()
  for (i in 1:(nrow(m) - 1)) v <- c(v, m[i, (i + 1):ncol(m)])
  cat(label, sprintf("%.15g", v), "\n")
}
pr("chord:", vegdist(X, "chord"))
pr("correlation:", as.dist(cor(t(X))))
# The smaller eigenvalue of the cross products of two centred unit rows: 1 - |r|.
pr("smaller eigenvalue:", as.dist(1 - abs(cor(t(X)))))
