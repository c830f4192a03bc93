# Expected values of ProcrustesTest.cpp: the observed Procrustes congruences of the data set of
# MantelData.h.
# Run offline: Rscript procrustes.R ; the printed numbers are pasted into the test.
#
# trace(TE) and traceW(XE) of the single tests hold T and X in single precision (products summed
# in float, T's columns divided by their length and rounded to float); the five congruences of
# the multi-statistic test are computed in double from the same B, U, S and E.
suppressMessages({library(vegan); library(ade4)})
source("float_helpers.R")
normd <- function(T) { for (j in seq_len(ncol(T))) { l <- sqrt(sum(T[, j]^2)); if (l > 0) T[, j] <- T[, j] / l }; T }
p <- function(name, x) cat(sprintf("%s = %.17g\n", name, x))
pr <- function(a, b) suppressWarnings(suppressMessages(protest(a, b, symmetric = TRUE, permutations = 0)$t0))
pa <- function(a, b) procuste.rtest(as.data.frame(a), as.data.frame(b), nrepet = 1)$obs

W <- matrix(c(3,1,0,0,2, 0,2,4,1,0, 1,0,0,5,2, 2,2,2,0,0, 0,0,1,3,4, 5,0,1,0,1), 6, 5, byrow = TRUE)
B <- f32(matrix(c(1.0,10,0.5, 2.5,12,0.1, 4.0,7,0.9, 3.0,15,0.3, 0.5,9,0.7), 5, 3, byrow = TRUE))
U <- matrix(c(1,0, 0.8,0.2, 0,1, 0.3,0.7, 0.6,0.4), 5, 2, byrow = TRUE)
E <- matrix(c(1,5, 2,3, 4,4, 3,1, 5,2, 0.5,4.5), 6, 2, byrow = TRUE)
S <- f32(matrix(c(1,.8,.3,.5,.6, .8,1,.4,.7,.5, .3,.4,1,.2,.9, .5,.7,.2,1,.1, .6,.5,.9,.1,1), 5, 5))
Bsel <- B; Bsel[, 3] <- 0

cat("# single tests, single precision; protest = procuste.rtest\n")
Tf <- normf(prodf(W, Bsel)); Xf <- prodf(W, U)
p("traceTE", pr(E, Tf[, 1:2])); p("traceTE_ade4", pa(E, Tf[, 1:2]))
p("traceXE", pr(E, Xf)); p("traceXE_ade4", pa(E, Xf))

cat("# five congruences, double\n")
Td <- normd(W %*% Bsel)[, 1:2]; Xd <- W %*% U
d <- f32(sqrt(f32(1 - S)))
R <- apply(W, 1, function(w) { q <- w / sum(w); sum(outer(q, q) * d) })
p("R1", R[1]); p("R6", R[6])
p("wTE", pr(E, Td)); p("wTE_ade4", pa(E, Td))
p("wXE", pr(E, Xd))
p("wXE_T", pr(resid(lm(E ~ Td)), resid(lm(Xd ~ Td))))
p("wRE", pr(E, R))
p("wXE_TR", pr(resid(lm(E ~ Td + R)), resid(lm(Xd ~ Td + R))))
p("RV_TE", RV.rtest(as.data.frame(Td), as.data.frame(E), nrepet = 1)$obs)

