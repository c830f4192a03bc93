# Reference values for GroupStatsTest.cpp (run offline: Rscript group_stats.R).
library(vegan)
X <- matrix(c(1, 2, 4, 3, 5, 8, 9,
              2, 1, 1, 3, 2, 6, 4), ncol = 2)
g <- c(1, 1, 2, 2, 2, 3, 3)
# One-way F ratio and n ln(SST/SSW) of each variable, summed over the two variables.
Fs <- sapply(1:2, function(j) anova(lm(X[, j] ~ factor(g)))[1, "F value"])
LR <- sapply(1:2, function(j) {
  sst <- sum((X[, j] - mean(X[, j]))^2); ssw <- sum(resid(lm(X[, j] ~ factor(g)))^2)
  length(g) * log(sst / ssw) })
cat(sprintf("F_SUM %.15g\nLR_IND %.15g\n", sum(Fs), sum(LR)))
D <- dist(X)
# MRPP delta with weights n_k/n (weight.type 1) and (n_k - 1)/(n - g) (weight.type 2), on
# the distances (distance "as is") and on the squared distances.
m1 <- mrpp(D, g, permutations = 0, weight.type = 1)$delta
m2 <- mrpp(D^2, g, permutations = 0, weight.type = 2)$delta
cat(sprintf("MRPP_w1 %.15g\nMRPP_sq_w2 %.15g\n", m1, m2))
a <- anosim(D, g, permutations = 0)$statistic
cat(sprintf("ANOSIM_R %.15g  quarter %.15g\n", a, a / 4))
# Partial Mantel statistic of three distance matrices.
Z <- dist(c(1, 3, 2, 7, 5, 6, 4))
Y <- dist(X[, 2])
Xd <- dist(X[, 1])
pm <- mantel.partial(Xd, Y, Z, permutations = 0)$statistic
cat(sprintf("rxy %.15g rxz %.15g ryz %.15g partial %.15g\n",
            cor(Xd, Y), cor(Xd, Z), cor(Y, Z), pm))
