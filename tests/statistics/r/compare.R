# Reference values of the matrix comparisons (MatrixCompareTest.cpp). Run offline:
#   Rscript compare.R
suppressMessages({library(vegan); library(ade4)})
options(digits = 15)

# Two configurations of six objects (X 6 x 3, Y 6 x 2).
X <- matrix(c(1, 2, 0,
              3, 1, 4,
              2, 5, 1,
              6, 2, 2,
              4, 4, 5,
              0, 3, 3), ncol = 3, byrow = TRUE)
Y <- matrix(c(2, 1,
              1, 3,
              4, 2,
              5, 5,
              3, 6,
              1, 2), ncol = 2, byrow = TRUE)

# Procrustes coefficient: protest's t0 (the narrower Y padded with a zero column by vegan).
cat("procrustes t0 =", protest(X, Y, permutations = 99)$t0, "\n")
# RV coefficient: the observation of ade4's RV test.
cat("RV =", RV.rtest(as.data.frame(X), as.data.frame(Y), nrepet = 9)$obs, "\n")

# Two distance matrices among the six objects: Euclidean of X and Manhattan of Y.
dA <- dist(X)
dB <- dist(Y, method = "manhattan")
cat("mantel r =", mantel(dA, dB, permutations = 9)$statistic, "\n")
cat("mantel spearman =", mantel(dA, dB, method = "spearman", permutations = 9)$statistic, "\n")
# Partial Mantel with a third matrix: Euclidean distances of the first column of X.
dC <- dist(Y[, 1] + X[, 3])
cat("partial mantel =", mantel.partial(dA, dB, dC, permutations = 9)$statistic, "\n")
a <- as.vector(dA); b <- as.vector(dB)
cat("cov =", cov(a, b), "\n")
cat("cos =", sum(a * b) / sqrt(sum(a^2) * sum(b^2)), "\n")
cat("kruskal =", sqrt(sum((a - b)^2) / sum(((a + b) / 2)^2)), "\n")
cat("absval =", sum(abs(a - b)), " eud =", sqrt(sum((a - b)^2)), "\n")
cat("unit dist =", sqrt(sum((a / sqrt(sum(a^2)) - b / sqrt(sum(b^2)))^2)), "\n")
# Rank correlation by the formula 1 - 6D / (N^3 - N) on average ranks (ties present).
N <- length(a)
cat("rank formula =", 1 - 6 * sum((rank(a) - rank(b))^2) / (N^3 - N), "\n")
# Correlation without joint zeros, after setting two cells of both vectors to 0.
a0 <- a; b0 <- b; a0[c(1, 5)] <- 0; b0[c(1, 5)] <- 0
keep <- !(abs(a0) < 1e-6 & abs(b0) < 1e-6)
cat("corr adj =", cor(a0[keep], b0[keep]), "\n")
# The earlier Procrustes form: 2 (1 - sqrt(1 - R / Tot)), R the residual sum of squares of the
# fit of Y onto X (rotation, dilation, translation) and Tot the sum of squares of the uncentred
# X; both configurations of two columns (the first two of X, and Y).
fit <- procrustes(X[, 1:2], Y, scale = TRUE, symmetric = FALSE)
R <- fit$ss; Tot <- sum(X[, 1:2]^2)
cat("procrustes old =", 2 * (1 - sqrt(1 - R / Tot)), " residual =", R, "\n")
