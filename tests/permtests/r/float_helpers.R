# Single-precision helpers of the R scripts beside the permutation-test tests: f32() rounds to
# float, prodf() forms a product with every partial sum rounded to float, normf() divides each
# column by its length (squares in float) and rounds. Sourced by the scripts beside it.
f32 <- function(x) {
  v <- readBin(writeBin(as.vector(x), raw(), size = 4), "double", size = 4, n = length(x))
  if (is.null(dim(x))) v else array(v, dim(x))
}
prodf <- function(A, B) {  # C = A B, each partial sum rounded to float
  C <- matrix(0, nrow(A), ncol(B))
  for (i in seq_len(nrow(A))) for (j in seq_len(ncol(B))) {
    s <- 0
    for (k in seq_len(ncol(A))) s <- f32(s + A[i, k] * B[k, j])
    C[i, j] <- s
  }
  C
}
normf <- function(T) {
  for (j in seq_len(ncol(T))) {
    len <- sqrt(sum(f32(T[, j]^2)))
    if (len > 0) T[, j] <- f32(T[, j] / len)
  }
  T
}
