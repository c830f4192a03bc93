# Reference values for EigenStatsTest.cpp, run offline: Rscript eigenstats.R
suppressMessages(library(ade4))
# Bartlett: eigenvalues (4, 2, 1, 1), n = 20, last three tested: u by hand in the test,
# probability with (q + 2)(q - 1)/2 = 5 degrees of freedom.
e <- c(4, 2, 1, 1); q <- 3
u <- (q * log(mean(e[2:4])) - sum(log(e[2:4]))) * (20 - (2 * 4 + 11) / 6)
cat(sprintf("bartlett u %.12f prob %.12f\n", u, pchisq(u, 5, lower.tail = FALSE)))
# Analysis of concentration of a 3 x 4 table: eigenvalues (principal inertias), their sum
# times the grand total = Pearson's chi-square, row and column standard coordinates.
F <- matrix(c(10, 4, 2, 6,
               3, 9, 5, 1,
               2, 3, 8, 7), nrow = 3, byrow = TRUE)
ca <- dudi.coa(as.data.frame(F), scannf = FALSE, nf = 2)
cat("eig", sprintf("%.12f", ca$eig), "\n")
cat("chisq", sprintf("%.12f", suppressWarnings(chisq.test(F)$statistic)), "\n")
cat("rows axis1", sprintf("%.12f", ca$l1[, 1]), "\n")
cat("rows axis2", sprintf("%.12f", ca$l1[, 2]), "\n")
cat("cols axis1", sprintf("%.12f", ca$c1[, 1]), "\n")
cat("cols axis2", sprintf("%.12f", ca$c1[, 2]), "\n")
