# Reference values for ClassesTest.cpp (run offline: Rscript classes_manova.R).
# The same data as the test: 16 units, two variables, three crossed two-level factors with two
# replicates per cell (balanced); Euclidean distances among the units.
library(vegan)
X <- matrix(c(1, 3, 2, 6, 4, 5, 9, 7, 2, 8, 5, 5, 3, 9, 6, 8,
              2, 1, 4, 3, 7, 5, 6, 9, 1, 2, 2, 6, 8, 3, 7, 4), ncol = 2)
A <- factor(rep(1:2, each = 8))
B <- factor(rep(rep(1:2, each = 4), 2))
C <- factor(rep(rep(1:2, each = 2), 4))
d <- dist(X)
a3 <- adonis2(d ~ A * B * C, by = "terms", permutations = 9)
cat("three factors: SS and F\n")
print(data.frame(SS = sprintf("%.12g", a3$SumOfSqs), F = sprintf("%.12g", a3$F),
                 row.names = rownames(a3)))
# Two factors (A, B): the A:B interaction and a residual that holds the C terms.
a2 <- adonis2(d ~ A * B, by = "terms", permutations = 9)
cat("two factors: SS and F\n")
print(data.frame(SS = sprintf("%.12g", a2$SumOfSqs), F = sprintf("%.12g", a2$F),
                 row.names = rownames(a2)))
# One factor of three groups and its contrast (1, -1, 0): the between-group SS of groups 1, 2.
G <- factor(c(1, 1, 2, 3, 2, 3, 1, 3, 2, 2, 1, 3, 3, 1, 2, 1))
s12 <- G %in% c("1", "2")
ag <- adonis2(dist(X[s12, ]) ~ droplevels(G[s12]), permutations = 9)
cat(sprintf("contrast 1 -1 0: Q %.12g within %.12g\n", ag$SumOfSqs[1], ag$SumOfSqs[2]))
ag3 <- adonis2(d ~ G, permutations = 9)
cat(sprintf("G: SS %.12g residual %.12g\n", ag3$SumOfSqs[1], ag3$SumOfSqs[2]))
# Single statistics of factors A and G.
for (f in list(A = A, G = G)) {
  m <- mrpp(d, f, permutations = 0, weight.type = 1)$delta
  r <- anosim(d, f, permutations = 0)$statistic
  Fs <- sum(sapply(1:2, function(j) anova(lm(X[, j] ~ f))[1, "F value"]))
  LR <- sum(sapply(1:2, function(j) {
    sst <- sum((X[, j] - mean(X[, j]))^2); ssw <- sum(resid(lm(X[, j] ~ f))^2)
    length(f) * log(sst / ssw) }))
  cat(sprintf("MRPP %.12g ANOSIM R %.12g (R/4 %.12g) F_SUM %.12g LR_IND %.12g\n",
              m, r, r / 4, Fs, LR))
}
