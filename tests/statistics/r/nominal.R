# Expected chi-square and G statistics of two nominal variables (InfoTest.cpp).
# Run offline: Rscript nominal.R
a <- c(1, 2, 2, 3, 1, 3, 3, 2, 1, 1)
b <- c(5, 5, 7, 7, 5, 9, 7, 7, 9, 5)
tab <- table(a, b)
print(tab)
chi <- suppressWarnings(chisq.test(tab, correct = FALSE))$statistic
e <- outer(rowSums(tab), colSums(tab)) / sum(tab)
g <- 2 * sum(ifelse(tab > 0, tab * log(tab / e), 0))
cat(sprintf("chi-square %.15g\nG %.15g\n", chi, g))
# A 2 x 2 table: [[10, 20], [30, 40]]
m <- matrix(c(10, 30, 20, 40), 2)
cat(sprintf("chi-square 2x2 %.15g\n", chisq.test(m, correct = FALSE)$statistic))
