# Reference values for LinearModelsTest.cpp (run offline: Rscript regression.R).
x1 <- c(1, 2, 3, 4, 5, 6, 7, 8)
x2 <- c(2, 1, 4, 3, 6, 5, 8, 9)
x3 <- x1 + x2                      # aliased with x1 and x2
y1 <- c(3.1, 2.9, 6.2, 6.8, 9.9, 10.1, 14.2, 15.8)
y2 <- c(1, 0, 2, 1, 3, 5, 2, 4)
pr <- function(label, v) cat(label, sprintf("%.15g", v), "\n")
for (y in list(y1, y2)) {
  f <- lm(y ~ x1 + x2 + x3)
  pr("coef (b0 x1 x2 x3):", coef(f))
  pr("resid:", resid(f))
  pr("r2:", summary(f)$r.squared)
}
# A constant factor in the middle is dropped too.
xc <- rep(5, 8)
f <- lm(y1 ~ x1 + xc + x2)
pr("with constant, coef:", coef(f))
pr("with constant, r2:", summary(f)$r.squared)
# Regression of the upper triangle of B on that of A (n = 4, row-major order of i < j).
a <- c(1, 2, 3, 4, 5, 6)
b <- c(2.5, 3.5, 7, 8.5, 9, 13)
f <- lm(b ~ a)
pr("matrix resid:", resid(f))
pr("matrix pred:", fitted(f))
