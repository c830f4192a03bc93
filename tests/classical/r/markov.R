# Markov models of a series of releves, the reference for MarkovTest.cpp, written from the
# description of the method: average transition matrices of gains and losses per lag, rows
# scaled to unit sum, projection of the series from its first lag releves, Euclidean distances
# of consecutive Markov releves, and Kruskal's stress between the distances of the observed and
# of the projected releves. Run offline: Rscript markov.R
x <- rbind(c(4, 1, 0), c(3, 2, 1), c(1, 3, 2), c(0, 2, 4))
fit <- function(x, lag) {
  n <- nrow(x); p <- ncol(x); A <- matrix(0, p, p)
  for (t in 1:(n - lag)) {
    later <- x[t + lag, ]; s <- sum(later); T <- matrix(0, p, p)
    for (i in 1:p) {
      d <- later[i] - x[t, i]; T[i, i] <- later[i]
      if (s > 0) for (j in setdiff(1:p, i)) {
        if (d < 0) T[i, j] <- T[i, j] + later[j] * abs(d) / s
        else T[j, i] <- T[j, i] + later[j] * abs(d) / s
      }
    }
    A <- A + T
  }
  A <- A / (n - lag)
  A / rowSums(A)
}
project <- function(start, A, rows, lag) {
  M <- matrix(0, rows, ncol(A)); M[1:lag, ] <- start[1:lag, ]
  for (k in 1:(rows - lag)) M[k + lag, ] <- M[k, ] %*% A
  M
}
stress <- function(a, b) { a <- a[upper.tri(a)]; b <- b[upper.tri(b)]; sqrt(sum((a - b)^2) / sum(((a + b) / 2)^2)) }
for (lag in 1:2) {
  A <- fit(x, lag)
  cat("lag", lag, "A:", format(t(A), digits = 12), "\n")
  M <- project(x, A, 6, lag)
  cat("M:", format(t(M), digits = 12), "\n")
  cat("levels:", format(sqrt(rowSums(diff(M)^2)), digits = 12), "\n")
  P <- project(x, A, nrow(x), lag)
  cat("K:", format(stress(as.matrix(dist(x)), as.matrix(dist(P))), digits = 12), "\n")
}
# The first Markov releve (1-based, the later of its pair) whose distance to the one before falls
# below 1 percent of the first distance, projecting 40 releves.
for (lag in 1:2) {
  d <- sqrt(rowSums(diff(project(x, fit(x, lag), 40, lag))^2))
  cat("lag", lag, "settled at", which(d * 100 / d[1] < 1)[1] + 1, "\n")
}
