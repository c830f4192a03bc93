# Expected fusion levels and member sets of the linkage and sum-of-squares clustering
# (ClusterTest.cpp). Seven points in the plane, Euclidean distances, no ties.
# Run offline: Rscript hclust.R
x <- matrix(c(0.0, 0.0,
              1.1, 0.3,
              4.0, 0.2,
              4.3, 1.9,
              0.4, 2.7,
              7.5, 6.1,
              2.2, 5.3), ncol = 2, byrow = TRUE)
d <- dist(x)
members <- function(h) {
  # Members of the group formed at each step, sorted, as "a b c".
  sets <- list()
  out <- character(nrow(h$merge))
  for (s in seq_len(nrow(h$merge))) {
    part <- function(k) if (k < 0) -k else sets[[k]]
    sets[[s]] <- sort(c(part(h$merge[s, 1]), part(h$merge[s, 2])))
    out[s] <- paste(sets[[s]], collapse = " ")
  }
  out
}
for (m in c("single", "complete", "average", "mcquitty", "ward.D2")) {
  h <- hclust(d, method = m)
  cat(m, "\n")
  cat(sprintf("%.15g", h$height), sep = ", "); cat("\n")
  if (m == "ward.D2") { cat("height^2/2: "); cat(sprintf("%.15g", h$height^2 / 2), sep = ", "); cat("\n") }
  cat(paste0("\"", members(h), "\""), sep = ", "); cat("\n")
}
# Centroid clustering on squared distances: the levels are the square roots of the heights.
h <- hclust(d^2, method = "centroid")
cat("centroid (sqrt of heights)\n")
cat(sprintf("%.15g", sqrt(h$height)), sep = ", "); cat("\n")
cat(paste0("\"", members(h), "\""), sep = ", "); cat("\n")
