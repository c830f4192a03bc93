# Reference values for PermUtilTest.cpp (run offline: Rscript permutil.R).
# Correlations of five variables measured on eight objects.
X <- matrix(c(1, 4, 2, 8, 5, 7, 3, 6,
              2, 3, 3, 9, 4, 8, 1, 5,
              5, 1, 4, 2, 6, 3, 8, 7,
              3, 3, 1, 7, 2, 9, 4, 4,
              9, 2, 6, 1, 3, 5, 7, 8), ncol = 5)
R <- cor(X)
cat("R\n"); for (i in 1:5) cat(sprintf("%.17g", R[i, ]), "\n")
pc <- function(v) { P <- solve(R[v, v]); -P[1, 2] / sqrt(P[1, 1] * P[2, 2]) }
first <- (R[1, 2] - R[1, 3] * R[2, 3]) / sqrt((1 - R[1, 3]^2) * (1 - R[2, 3]^2))
cat(sprintf("r(12.3) formula %.15g  solve %.15g\n", first, pc(c(1, 2, 3))))
cat(sprintf("r(12.34) %.15g\n", pc(c(1, 2, 3, 4))))
cat(sprintf("r(25.134) %.15g\n", pc(c(2, 5, 1, 3, 4))))
# lm-residual check of the second-order partial.
e1 <- resid(lm(X[, 1] ~ X[, 3] + X[, 4])); e2 <- resid(lm(X[, 2] ~ X[, 3] + X[, 4]))
cat(sprintf("cor of residuals %.15g\n", cor(e1, e2)))
# Communality: four variables (rows) observed six times; S their covariances.
D <- matrix(c(3, 1, 4, 1, 5, 9,
              -2, 6, 5, -3, 5, 8,
              -9, 7, -9, 3, 2, -3,
              8, -4, 6, 2, -6, 4), nrow = 4, byrow = TRUE)
S <- cov(t(D))
cat("communality all four:", sprintf("%.15g", 1 - 1 / (diag(S) * diag(solve(S)))), "\n")
# Without the third variable (fewest positive values: 3).
S3 <- cov(t(D[-3, ]))
cat("communality without row 3:", sprintf("%.15g", 1 - 1 / (diag(S3) * diag(solve(S3)))), "\n")
