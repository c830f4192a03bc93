# Correlations of velocity with a series, the reference for DynamicsTest.cpp. Run offline:
# Rscript velocity.R
v <- c(0.5, 2, 1.25, 4, 3)        # velocities of 6 communities
X <- c(1, 3, 2, 5, 4, 6)          # diversity of each community
t <- c(0, 1, 2, 3, 4, 5)
cat("ahead", format(cor(v, X[1:5]), digits = 12), "\n")
cat("behind", format(cor(v, X[2:6]), digits = 12), "\n")
cat("average", format(cor(v, (X[1:5] + X[2:6]) / 2), digits = 12), "\n")
# The pair of communities 3 and 4 at the same time has no velocity: left out.
cat("without pair 3", format(cor(v[-3], X[1:5][-3]), digits = 12), "\n")
w <- 4
for (k in 1:(6 - w)) cat("window", k, format(cor(v[k:(k + w - 1)], X[k:(k + w - 1)]), digits = 12), "\n")
