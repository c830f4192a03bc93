# Trait subsets whose distances lie close together, for the search's judgement of distances equal
# but for rounding (ChRankUndefinedTest). Fourteen communities, community c holding OTU c alone;
# traits t1..t14 are 2 at their own OTU and 1 elsewhere, so that their normalised means put every
# pair of communities at sqrt(2/17), and t15 = 1 + a u_o spreads the distances by a relative sd
# that grows with a^2. The second survey drops t15 and sets trait t's own value to 2 + b v_t:
# community c then lies at sqrt(x_i + x_j) from the others, x_c growing with b v_c, every distance
# within about 1e-3 of the largest. Values in single precision are rounded as the data file holds
# them (f32). Mantel r(TE) as vegan's mantel (Pearson over the pairs), the rank among the values of
# the subsets of 14 and 15 traits (13 and 14 for the second survey), and the stepwise search's
# ro(XE.T) of its candidate of all 15 traits with crisp types o mod 3.
# Run offline: Rscript near_equal_distances.R
suppressMessages(library(vegan))
f32 <- function(x) {
  y <- readBin(writeBin(as.vector(x), raw(), size = 4), "double", size = 4, n = length(x))
  dim(y) <- dim(x)
  y
}
n <- 14
o <- 0:(n - 1)
u <- ((5 * o) %% 14) / 13
E <- cbind((5 * o) %% 14, 8 * ((3 * o) %% 7))      # communities x variables
DE <- dist(E)

means <- function(B) sweep(B, 2, sqrt(colSums(B^2)), "/")   # W = identity: T = B
survey <- function(a) {
  B <- matrix(1, n, 15)
  diag(B[, 1:14]) <- 2
  B[, 15] <- f32(1 + a * u)
  B
}
rte <- function(Tn, subset) mantel(DE, dist(Tn[, subset, drop = FALSE]), permutations = 0)$statistic
# The search's own path, for the rounding single precision leaves the value: the means rounded to
# float and normalised there (squares in float, their sum and root in double), the differences
# and their squares in float, summed in double in trait order.
singleDist <- function(B) {
  Bf <- f32(B)
  Tn <- f32(sweep(Bf, 2, sqrt(apply(f32(Bf^2), 2, function(x) Reduce(`+`, x))), "/"))
  D <- matrix(0, n, n)
  for (i in 1:n) for (j in 1:n) D[i, j] = sqrt(Reduce(`+`, f32(f32(Tn[i, ] - Tn[j, ])^2)))
  as.dist(D)
}
spread <- function(a) { d <- dist(means(survey(a))); sd(d) / mean(d) }

cat("survey of t15 = 1 + a u\n")
for (target in c(1e-3, 3e-4, 1e-5, 1e-6)) {
  a <- signif(uniroot(function(a) log(spread(a)) - log(target), c(1e-6, 1))$root, 6)
  Tn <- means(survey(a))
  subsets <- c(list(1:15), lapply(1:15, function(t) setdiff(1:15, t)))
  values <- sapply(subsets, function(s) {
    d <- dist(Tn[, s])
    if (sd(d) == 0) NA else rte(Tn, s)
  })
  rank <- sum(values > values[1], na.rm = TRUE) + 1
  gap <- min(abs(values[-1] - values[1]), na.rm = TRUE)
  # The stepwise candidate: X = W U of the crisp types, DX = sqrt 2 between types.
  types <- o %% 3
  DX <- dist(outer(types, 0:2, "==") * 1)
  DT <- dist(Tn)
  te <- cor(DE, DT); xe <- cor(DE, DX); xt <- cor(DT, DX)
  xet <- (xe - xt * te) / sqrt((1 - xt^2) * (1 - te^2))
  single <- cor(DE, singleDist(survey(a)))
  cat(sprintf("a = %.6g: sd/mean %.3g, r(TE) %.7g (single precision %.7g), rank %d of %d values, %d above 0 (nearest other %.3g), ro(XE.T) %.7g\n",
              a, spread(a), values[1], single, rank, sum(!is.na(values)), sum(values > 0, na.rm = TRUE), gap, xet))
}
Tn <- means(survey(0))
cat(sprintf("a = 0: sd of the distances over all traits %g\n", sd(dist(Tn))))

cat("survey of own values 2 + b v_t\n")
b <- 1e-3
v <- ((3 * o) %% 14) / 13
w <- f32(1 + 0.02 * v + 0.004 * (((7 * o) %% 13) / 12 - 0.5))
E2 <- diag(w)
DE <- dist(E2)
B <- matrix(1, n, n)
diag(B) <- f32(2 + b * v)
Tn <- means(B)
d <- dist(Tn)
subsets <- c(list(1:14), lapply(1:14, function(t) setdiff(1:14, t)))
values <- sapply(subsets, function(s) rte(Tn, s))
cat(sprintf("range / largest %.3g, sd / mean %.3g, r(TE) %.7g (single precision %.7g), rank %d of %d, %d above 0 (nearest other %.3g)\n",
            diff(range(d)) / max(d), sd(d) / mean(d), values[1], cor(DE, singleDist(B)), sum(values > values[1]) + 1,
            length(values), sum(values > 0), min(abs(values[-1] - values[1]))))
cat(sprintf("w = %s\n", paste(sprintf("%.9g", w), collapse = ", ")))
