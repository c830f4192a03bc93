# Expected Beals smoothing of a presence/absence table (BealsTest.cpp): vegan's beals with
# type 0 (joint occurrences over the occurrences of the conditioning species), with and without
# the species' own occurrence. On 0/1 tables vegan's presence weights equal the relative
# abundances the program weights by.
# Run offline: Rscript beals.R
suppressMessages(library(vegan))
x <- matrix(c(1, 1, 0, 0, 1,
              0, 1, 1, 0, 1,
              1, 0, 1, 1, 0,
              1, 1, 1, 0, 0,
              0, 0, 1, 1, 1,
              1, 0, 0, 0, 1,
              1, 1, 0, 1, 1), nrow = 7, byrow = TRUE)
for (inc in c(TRUE, FALSE)) {
  b <- beals(x, type = 0, include = inc)
  cat("include =", inc, "\n")
  for (i in seq_len(nrow(b))) cat("{", paste(sprintf("%.15g", b[i, ]), collapse = ", "), "},\n")
}
