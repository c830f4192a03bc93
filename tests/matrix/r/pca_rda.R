# Reference values for RedundancyTest.cpp: principal-component regression residuals and the
# redundancy analysis (run offline: Rscript pca_rda.R).
library(vegan)
pr <- function(label, v) cat(label, sprintf("%.15g", v), "\n")
n <- 12; q <- 7
i <- 0:(n - 1)
X <- sapply(0:(q - 1), function(k) ((i + 1) * (k + 2) + (i + 1)^2 * (k + 1)) %% 13)
Y <- cbind(i + (i * 7) %% 5, ((i + 1)^2) %% 9)
cat("rank of X:", qr(scale(X))$rank, "\n")
# Components of the correlation matrix of X; (12 - 2) / 2 = 5 of the 7 are used.
pcs <- prcomp(X, scale. = TRUE)$x[, 1:5]
R <- resid(lm(Y ~ pcs))
pr("pcr resid y1:", R[, 1])
pr("pcr resid y2:", R[, 2])
# With factor 4: (12 - 2) / 4 = 2.5, two components.
R2 <- resid(lm(Y ~ prcomp(X, scale. = TRUE)$x[, 1:2]))
pr("pcr2 resid y1:", R2[, 1])
# Redundancy analysis of Y on the first three columns of X.
Xs <- X[, 1:3]
Yc <- scale(Y, scale = FALSE)
Yhat <- fitted(lm(Yc ~ Xs))
e <- eigen(cov(Yhat))
pr("rda eig:", e$values)
pr("vegan rda eig:", rda(Y ~ Xs)$CCA$eig)
F <- Yhat %*% e$vectors
Z <- Yc %*% e$vectors
pr("rda corrYX:", sapply(1:2, function(k) cor(F[, k], Z[, k])))
pr("rda F axis1:", F[, 1])
