# Stepwise search for ro(XE.T) on a small survey with crisp types from the user's partition:
# community-weighted trait means scaled to unit-length columns, Euclidean distances, Mantel
# correlations as Pearson correlations of the distances, and the greedy levels in the order the
# search visits its candidates (the candidate exchanged into position k, the best one kept there).
# Run offline: Rscript stepwise_crisp.R
B <- matrix(c(1, 5, 2, 0,
              3, 1, 4, 2,
              4, 2, 1, 5,
              2, 4, 5, 1,
              5, 3, 3, 4), nrow = 5, byrow = TRUE)
W <- matrix(c(4, 0, 1, 2, 0,
              1, 3, 0, 2, 1,
              0, 2, 3, 0, 4,
              2, 1, 0, 3, 1,
              0, 1, 4, 1, 3), nrow = 5, byrow = TRUE)   # OTUs x communities
E <- matrix(c(1, 3, 6, 2, 7,
              4, 2, 1, 5, 2), nrow = 2, byrow = TRUE)   # variables x communities
partition <- c(1, 1, 2, 3, 3)

Wc <- t(W)                                     # communities x OTUs
T <- (Wc %*% B) / rowSums(Wc)
Tn <- sweep(T, 2, sqrt(colSums(T^2)), "/")
C <- outer(partition, 1:3, "==") * 1
X <- Wc %*% C
DE <- dist(t(E)); DX <- dist(X)
r <- function(a, b) cor(as.vector(a), as.vector(b))
value <- function(subset) {
  DT <- dist(Tn[, subset, drop = FALSE])
  te <- r(DE, DT); xe <- r(DE, DX); xt <- r(DT, DX)
  (xe - xt * te) / sqrt((1 - xt^2) * (1 - te^2))
}
order <- 1:4
for (k in 1:4) {
  best <- -Inf; at <- NA
  for (j in k:4) {
    o <- order; o[c(k, j)] <- o[c(j, k)]
    v <- value(o[1:k])
    if (v > best) { best <- v; at <- j }
  }
  order[c(k, at)] <- order[c(at, k)]
  cat(sprintf("level %d: %.7g  traits %s\n", k, best, paste0("t", order[1:k], collapse = " ")))
}
