# Reference values of the quantitative distances (DistanceTest.cpp). Run offline:
#   Rscript distance.R
suppressMessages(library(vegan))
options(digits = 15)

# Four objects (rows) by five variables, non-negative (abundances).
x <- matrix(c(1, 0, 3, 2, 5,
              0, 4, 1, 2, 0,
              2, 2, 0, 0, 1,
              7, 1, 3, 0, 2), ncol = 5, byrow = TRUE)
show <- function(name, d) cat(name, "=", format(as.vector(d), digits = 15), "\n")
# dist vectors in the order (1,2) (1,3) (1,4) (2,3) (2,4) (3,4).
show("euclidean", vegdist(x, "euclidean"))
show("chord", vegdist(x, "chord"))
show("manhattan", vegdist(x, "manhattan"))
show("bray", vegdist(x, "bray"))

# Cao index by its own formula (base-10 logarithms, a single zero taken as 0.1, double zeros
# skipped, N = variables with x >= 1 or y >= 1); vegan's cao uses another rule and natural logs.
cao <- function(a, b) {
  t <- 0; N <- 0
  for (k in seq_along(a)) {
    u <- a[k]; v <- b[k]
    if (u >= 1 || v >= 1) N <- N + 1
    if (u + v == 0) next
    if (u == 0) u <- 0.1
    if (v == 0) v <- 0.1
    t <- t + ((u + v) * log10((u + v) / 2) - u * log10(v) - v * log10(u)) / (u + v)
  }
  if (N == 0) 0 else t / N
}
cd <- c(cao(x[1, ], x[2, ]), cao(x[1, ], x[3, ]), cao(x[1, ], x[4, ]),
        cao(x[2, ], x[3, ]), cao(x[2, ], x[4, ]), cao(x[3, ], x[4, ]))
show("cao", cd)
