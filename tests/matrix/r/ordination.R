# Reference values for OrdinationTest.cpp (run offline: Rscript ordination.R).
library(ade4)
pr <- function(label, v) cat(label, sprintf("%.15g", v), "\n")
# Principal coordinates of five points in the plane.
P <- matrix(c(0, 0, 3, 1, 1, 4, 5, 2, 2, 2), ncol = 2, byrow = TRUE)
pc <- cmdscale(dist(P), k = 2, eig = TRUE)
pr("pcoa eig:", pc$eig)
pr("pcoa axis1:", pc$points[, 1])
pr("pcoa axis2:", pc$points[, 2])
# Principal components of six objects by three descriptors.
Z <- matrix(c(2, 4, 1,
              3, 1, 2,
              5, 6, 2,
              1, 2, 8,
              4, 4, 4,
              7, 3, 5), ncol = 3, byrow = TRUE)
n <- nrow(Z)
p <- prcomp(Z)
pr("pca cov eig:", p$sdev^2)
for (k in 1:3) pr(sprintf("pca cov scores %d:", k), p$x[, k] / sqrt(n - 1))
ps <- prcomp(Z, scale. = TRUE)
pr("pca cor eig:", ps$sdev^2)
for (k in 1:3) pr(sprintf("pca cor scores %d:", k), ps$x[, k] / sqrt(n - 1))
# Correspondence analysis of a 4 x 5 table: rows are the descriptors of the resemblance.
Tab <- data.frame(matrix(c(10, 2, 3, 0, 5,
                           1, 8, 2, 4, 0,
                           3, 3, 9, 1, 2,
                           0, 5, 1, 7, 3), ncol = 5, byrow = TRUE))
ca <- dudi.coa(Tab, scannf = FALSE, nf = 3)
pr("ca eig:", ca$eig)
for (k in 1:3) pr(sprintf("ca l1 %d:", k), ca$l1[, k])
for (k in 1:3) pr(sprintf("ca c1 %d:", k), ca$c1[, k])
