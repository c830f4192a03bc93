# Reference values for SumSqTest.cpp: distance-based sums of squares and pseudo-F of a
# one-factor and a balanced two-factor design, by vegan::adonis2 on Euclidean distances.
# Run offline: Rscript sumsq_adonis.R
suppressMessages(library(vegan))
x <- matrix(c(0.0, 1.0,
              1.0, 2.5,
              0.5, 0.2,
              4.0, 3.0,
              5.0, 4.5,
              3.5, 5.0,
              2.0, 7.0,
              1.5, 6.0), ncol = 2, byrow = TRUE)
d <- dist(x)
g <- factor(c(1, 1, 1, 2, 2, 2, 3, 3))
a1 <- adonis2(d ~ g, permutations = 0)
cat(sprintf("one factor: SSb %.12f SSres %.12f SStot %.12f F %.12f\n",
            a1$SumOfSqs[1], a1$SumOfSqs[2], a1$SumOfSqs[3], a1$F[1]))
A <- factor(c(1, 1, 1, 1, 2, 2, 2, 2))
B <- factor(c(1, 1, 2, 2, 1, 1, 2, 2))
a2 <- adonis2(d ~ A * B, permutations = 0, by = "terms")
cat(sprintf("two factors: SSA %.12f SSB %.12f SSAB %.12f SSres %.12f SStot %.12f\n",
            a2$SumOfSqs[1], a2$SumOfSqs[2], a2$SumOfSqs[3], a2$SumOfSqs[4], a2$SumOfSqs[5]))
