# Renyi entropies in bits of three communities of three types, the reference for DynamicsTest.cpp:
# vegan's renyi (hill = FALSE) in nats divided by log 2. Run offline: Rscript renyi.R
library(vegan)
x <- rbind(c(1, 1, 2), c(5, 0, 5), c(3, 2, 1), c(1, 1, 1))
for (a in c(0, 1, 2, 0.5)) {
  cat("order", a, ":", format(renyi(x, scales = a, hill = FALSE) / log(2), digits = 12), "\n")
}
