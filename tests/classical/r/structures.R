# Reference values of the structure analyses (OrdinationTest, ClusterTest, EvaluationTest,
# EnvRankTest), computed from the definitions with R's own routines. Run offline:
#   Rscript structures.R
library(vegan)

# Four communities as points; their Euclidean distances are the stored community structure.
x <- rbind(c(0, 0, 0), c(3, 0, 1), c(0, 4, 2), c(5, 5, 0))
d <- dist(x)
cat("squared distances:", as.vector(d)^2, "\n")

# Principal coordinates: eigenvalues and scores.
pco <- cmdscale(d, k = 3, eig = TRUE)
print(pco$eig[1:3], digits = 15)
print(pco$points, digits = 15)

# Environmental variables e1, e2; quantitative of different units: centred, unit sum of squares.
E <- cbind(c(1, 2, 3, 4), c(2, 7, 1, 8))
z <- apply(E, 2, function(v) (v - mean(v)) / sqrt(sum((v - mean(v))^2)))
De <- dist(z)
# Correlations of the ordination axes with the raw variables.
print(cor(pco$points, E), digits = 15)

# Evaluation function 1: the Mantel statistic of the community structure and De.
print(mantel(d, De, permutations = 0)$statistic, digits = 15)
# Group divergence of the groups 1 1 2 2: mean dissimilarity between groups, mean distance to the
# nearest member of the other group.
g <- c(1, 1, 2, 2)
D <- as.matrix(d)
print(mean(D[g == 1, g == 2]), digits = 15)
print(mean(c(apply(D[g == 1, g == 2], 1, min), apply(D[g == 2, g == 1], 1, min))), digits = 15)

# Ranking of the variables: each variable alone against the community structure (criterion 2),
# its mean dissimilarity between the groups (criterion 3, minimised) and against De of both
# (criterion 1).
between <- outer(g, g, "!=") & upper.tri(D)
for (v in 1:2) {
  Dv <- dist(z[, v])
  cat("variable", v, ":", format(cor(as.vector(d), as.vector(Dv)), digits = 15),
      format(mean(as.matrix(Dv)[between]), digits = 15),
      format(cor(as.vector(De), as.vector(Dv)), digits = 15), "\n")
}
print(mean(as.matrix(De)[between]), digits = 15)

# Cluster analysis of six points: heights by method and the partitions in 2 to 5 groups.
y <- rbind(c(0, 0), c(1, 0.2), c(5, 1), c(6, 3), c(0.5, 4.1), c(9, 9.5))
dy <- dist(y)
print(as.vector(dy)^2, digits = 17)
for (m in c("single", "complete", "average", "ward.D2")) {
  h <- hclust(dy, method = m)
  cat(m, ":", format(h$height, digits = 15), "\n")
  if (m == "ward.D2") cat("half squared:", format(h$height^2 / 2, digits = 15), "\n")
  for (k in 2:5) cat(k, "groups:", cutree(h, k), "\n")
}

# Analysis of concentration: types (rows) by communities pooled into 3 x 3 groups, each cell the
# mean of its block rescaled to the grand total; the chi-squared statistic of the pooled table.
W <- rbind(c(5, 1, 0, 2), c(1, 4, 2, 0), c(0, 3, 6, 1), c(2, 0, 1, 7))
cg <- c(1, 2, 3, 3)
tg <- c(1, 2, 2, 3)
sums <- matrix(0, 3, 3)
for (i in 1:4) for (j in 1:4) sums[cg[i], tg[j]] <- sums[cg[i], tg[j]] + W[j, i]
means <- sums / outer(tabulate(cg), tabulate(tg))
pooled <- means * sum(sums) / sum(means)
print(suppressWarnings(chisq.test(pooled, correct = FALSE))$statistic, digits = 15)

# The four points of the ordination clustered by sums of squares: half the squared ward.D2 heights.
print(hclust(d, method = "ward.D2")$height^2 / 2, digits = 15)

# Evaluation function 2 over the first two ordination axes; function 4 between the levels d and d^2.
print(mantel(dist(pco$points[, 1:2]), De, permutations = 0)$statistic, digits = 15)
print(cor(as.vector(d), as.vector(d)^2), digits = 15)

# Ranking of stored cross products: they become squared distances, so e1 (|i - j|) is set against
# the squared distances themselves.
X <- rbind(c(0, 0, 0), c(3, 0, 1), c(0, 4, 2), c(5, 5, 0))
Xc <- scale(X, scale = FALSE)
print(Xc %*% t(Xc))
print(cor(c(1, 2, 3, 1, 2, 1), c(10, 20, 50, 26, 30, 30)), digits = 10)  # 0.7248682379
