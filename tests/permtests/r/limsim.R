# Expected values of LimSimTest.cpp: the mean nearest-neighbour resemblance within the communities
# of MantelData.h (W and the OTU similarities S, or the dissimilarities 1 - S), and its exact
# probabilities over all 120 arrangements of the 5 OTUs: the mean and each community, in the tail
# of the test (lower for similarities, upper for dissimilarities) and in the other one.
# Run offline: Rscript limsim.R
source("float_helpers.R")
# Position of x, rounded to single precision, on the line of single-precision values (positive
# values: their bit patterns as integers), so that neighbours differ by 1.
steps <- function(x) {
  b <- readBin(writeBin(as.vector(x), raw(), size = 4), "integer", size = 4, n = length(x))
  ifelse(b < 0, -2^31 - b, b)
}
W <- matrix(c(3,1,0,0,2, 0,2,4,1,0, 1,0,0,5,2, 2,2,2,0,0, 0,0,1,3,4, 5,0,1,0,1), 6, 5, byrow = TRUE)
S <- matrix(f32(c(1,.8,.3,.5,.6, .8,1,.4,.7,.5, .3,.4,1,.2,.9, .5,.7,.2,1,.1, .6,.5,.9,.1,1)), 5, 5)
D <- matrix(f32(1 - S), 5, 5)

# Each community: over its present OTUs, the resemblance to the nearest other present OTU (most
# similar, or least distant) divided (similarities) or multiplied (distances) by the product of
# the two abundances, summed and divided by the number present.
each <- function(R, dis) apply(W, 1, function(w) {
  on <- which(w > 0)
  sum(sapply(on, function(i) {
    o <- setdiff(on, i); j <- if (dis) o[which.min(R[i, o])] else o[which.max(R[i, o])]
    if (dis) R[i, j] * w[i] * w[j] else R[i, j] / (w[i] * w[j])
  })) / length(on)
})
perms <- function(v) if (length(v) <= 1) list(v) else
  do.call(c, lapply(seq_along(v), function(i) lapply(perms(v[-i]), function(r) c(v[i], r))))
for (dis in c(FALSE, TRUE)) {
  R <- if (dis) D else S
  obs <- each(R, dis)
  cat(if (dis) "# dissimilarities 1 - S\n" else "# similarities S\n")
  cat(sprintf("each = %s\n", paste(sprintf("%.17g", obs), collapse = ", ")))
  cat(sprintf("mean = %.17g\n", mean(obs)))
  vals <- sapply(perms(1:5), function(o) { e <- each(R[o, o], dis); c(mean(e), e) })
  ref <- c(mean(obs), obs)
  # A tie (the two values at most one single-precision step apart) counts in both tails.
  tie <- abs(steps(vals) - steps(ref)) <= 1
  cat(sprintf("lower tail (mean, then communities) = %s\n", paste(rowSums(vals < ref | tie), collapse = ", ")))
  cat(sprintf("upper tail (mean, then communities) = %s\n", paste(rowSums(vals > ref | tie), collapse = ", ")))
  gap <- sapply(seq_len(nrow(vals)), function(r) { s <- abs(steps(vals[r, ]) - steps(ref[r])); min(s[s > 1]) })
  cat(sprintf("nearest value that is not a tie, in steps = %s\n", paste(gap, collapse = ", ")))
}

