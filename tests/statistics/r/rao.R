# Reference values of Rao's entropy and the vector diversities (RaoDiversityTest.cpp).
# Run offline: Rscript rao.R
suppressMessages({library(vegan); library(ade4)})
options(digits = 15)

# Four species with two traits (scaled so that every D^2 / 2 stays below 1).
traits <- matrix(c(0.1, 0.2,
                   0.5, 0.1,
                   0.3, 0.7,
                   0.9, 0.6), ncol = 2, byrow = TRUE)
D <- dist(traits)
# Two communities (columns), abundances of the four species (rows).
comm <- data.frame(c1 = c(3, 1, 0, 2), c2 = c(1, 1, 1, 1))
cat("divc =", divc(comm, D)$diversity, "\n")
M <- as.matrix(D)^2 / 2
cat("M =", format(M[upper.tri(M)], digits = 15), "\n")
for (k in 1:2) {
  p <- comm[, k] / sum(comm[, k])
  cat("community", k, ": sqrt(M) form =", t(p) %*% sqrt(M) %*% p,
      " gini-simpson =", 1 - sum(p^2), "\n")
}
# Renyi entropies (natural logarithms) of the first community's abundances (3, 1, 0, 2).
x <- c(3, 1, 0, 2)
cat("renyi 0, 0.5, 1, 2 =", renyi(x, scales = c(0, 0.5, 1, 2), hill = FALSE), "\n")
