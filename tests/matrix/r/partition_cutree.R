# Reference partitions for PartitionTest.cpp, run offline: Rscript partition_cutree.R
# Seven points in the plane; Euclidean distances; hclust merges (R's convention: negative =
# single object, positive = earlier step) and cutree labels for k = 1..7 per method.
x <- matrix(c(0, 0,  1, 0.2,  5, 5,  5.5, 4.1,  9, 0,  9.3, 1.4,  2.5, 2.2), ncol = 2, byrow = TRUE)
d <- dist(x)
for (m in c("single", "complete", "average", "ward.D2")) {
  h <- hclust(d, method = m)
  cat(m, "\n  merge: ", paste(t(h$merge), collapse = ", "), "\n  height: ",
      paste(sprintf("%.6f", h$height), collapse = ", "), "\n")
  for (k in 1:7) cat("  k =", k, ":", paste(cutree(h, k), collapse = ", "), "\n")
}
