# Linear interpolation of whole-number series with R's approx, the reference for
# InterpolationTest.cpp. Run offline: Rscript interpolation.R
t <- c(1, 3, 4, 8)
x <- cbind(c(2, 6, 5, 1), c(0.5, 0.25, 3, 7), c(1, -2, 0, 4))
for (step in c(1, 3)) {
  xout <- seq(1, 8, by = step)
  y <- sapply(1:3, function(v) approx(t, x[, v], xout = xout)$y)
  y[y < 1e-5] <- 0
  cat("step", step, "\n")
  print(format(y, digits = 9), quote = FALSE)
}
