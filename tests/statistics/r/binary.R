# Reference values of the binary coefficients (BinaryTest.cpp). Run offline: Rscript binary.R
# ade4's dist.binary returns sqrt(1 - S); S is recovered as 1 - d^2. Methods: 1 Jaccard,
# 2 simple matching, 5 Sorensen, 7 Ochiai, 10 joint presences over all variables (a / n);
# method 9 gives sqrt(1 - phi^2), phi^2 the mean square contingency.
suppressMessages(library(ade4))
options(digits = 15)
x <- data.frame(matrix(c(1, 1, 0, 0, 1, 0, 1,
                         1, 0, 1, 0, 1, 1, 1,
                         0, 0, 1, 1, 1, 0, 0,
                         1, 1, 1, 0, 0, 0, 1), nrow = 4, byrow = TRUE))
for (m in c(1, 2, 5, 7, 9, 10)) {
  d <- dist.binary(x, method = m)
  cat("method", m, "S =", format(1 - as.vector(d)^2, digits = 15), "\n")
}
