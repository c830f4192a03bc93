# Expected values of the permutation-test engine on the small data set of PermTestTest.cpp.
# Run offline: Rscript permtest_small.R ; the printed numbers are pasted into the test.
suppressMessages({library(vegan); library(ade4)})
W <- matrix(c(3,1,0,0,2, 0,2,4,1,0, 1,0,0,5,2, 2,2,2,0,0, 0,0,1,3,4, 5,0,1,0,1), 6, 5, byrow=TRUE)
B <- matrix(c(1.0,10,0.5, 2.5,12,0.1, 4.0,7,0.9, 3.0,15,0.3, 0.5,9,0.7), 5, 3, byrow=TRUE)
sel <- c(TRUE, TRUE, FALSE)
U <- matrix(c(1,0, 0.8,0.2, 0,1, 0.3,0.7, 0.6,0.4), 5, 2, byrow=TRUE)
Q <- matrix(c(1,0, 1,0, 0,1, 0,1, 1,0), 5, 2, byrow=TRUE)
E <- matrix(c(1,5, 2,3, 4,4, 3,1, 5,2, 0.5,4.5), 6, 2, byrow=TRUE)
Y <- W + 0.5
Z <- sqrt(W + 1)
Sb <- matrix(c(1,.8,.3,.5,.6, .8,1,.4,.7,.5, .3,.4,1,.2,.9, .5,.7,.2,1,.1, .6,.5,.9,.1,1), 5, 5)
# The engine receives Sb in single precision: round it the same way.
f32 <- function(x) array(readBin(writeBin(as.vector(x), raw(), size = 4), "double", size = 4, n = length(x)), dim(x))
Sb <- f32(Sb)
Sf <- matrix(c(1,.9,.2,.3,.8, .9,1,.1,.4,.7, .2,.1,1,.6,.3, .3,.4,.6,1,.2, .8,.7,.3,.2,1), 5, 5)
axes <- matrix(c(0.5,0.1, 0.4,-0.2, -0.6,0.3, -0.3,-0.4, 0.2,0.5), 5, 2, byrow=TRUE)

p <- function(name, x) cat(sprintf("%s = %.17g\n", name, x))
Tm <- sweep(W %*% B, 1, rowSums(W), "/"); Tm[, !sel] <- 0
Traw <- Tm
Tn <- sweep(Tm, 2, pmax(sqrt(colSums(Tm^2)), 1e-300), "/"); Tn[, !sel] <- 0
X <- W %*% U; P <- W %*% Q
DE <- dist(E); DY <- dist(Y); DZ <- dist(Z)
DT <- dist(Tn); DX <- dist(X); DP <- dist(P)
# sqrtRaoTraits TRUE: d = sqrt(1 - Sb); sqrtRaoPhyl FALSE: d = 1 - Sf. divc halves the squares.
R <- divc(as.data.frame(t(W)), as.dist(sqrt(2 * sqrt(1 - Sb))))$diversity
F <- divc(as.data.frame(t(W)), as.dist(sqrt(2 * (1 - Sf))))$diversity
DR <- dist(R); DF <- dist(F)
pc <- function(x, y, z) (x - y * z) / sqrt((1 - y^2) * (1 - z^2))
c2 <- function(a, b) cor(as.vector(a), as.vector(b))
te <- c2(DE, DT); ty <- c2(DY, DT); tz <- c2(DZ, DT); xe <- c2(DE, DX); xt <- c2(DX, DT)
xy <- c2(DX, DY); xz <- c2(DX, DZ); re <- c2(DE, DR); xr <- c2(DX, DR); tr <- c2(DT, DR)
bf <- cor(Sb[lower.tri(Sb)], Sf[lower.tri(Sf)]); fe <- c2(DE, DF)
pe <- c2(DE, DP); pt <- c2(DP, DT); px <- c2(DP, DX)
cat("# Mantel\n")
p("T11", Traw[1,1]); p("T12", Traw[1,2]); p("Tn32", Tn[3,2])
p("R1", R[1]); p("R5", R[5]); p("F2", F[2]); p("F6", F[6])
p("XE", xe); p("TE", te); p("XT", xt)
p("XE_T", mantel.partial(DX, DE, DT, permutations=0)$statistic)
p("RE", re)
xe_r <- pc(xe, xr, re); te_r <- pc(te, tr, re); xt_r <- pc(xt, xr, tr)
p("XE_TR", pc(xe_r, xt_r, te_r))
p("TY", ty); p("TZ", tz); p("XY", xy); p("XZ", xz)
p("XY_T", mantel.partial(DX, DY, DT, permutations=0)$statistic)
p("XZ_T", mantel.partial(DX, DZ, DT, permutations=0)$statistic)
p("BF", bf); p("FE", fe); p("PE", pe); p("PT", pt); p("PX", px)
p("PX_T", mantel.partial(DP, DX, DT, permutations=0)$statistic)
te_p <- pc(te, pt, pe); xe_p <- pc(xe, px, pe); xt_p <- pc(xt, px, pt)
p("TE_P", te_p); p("XE_P", mantel.partial(DX, DE, DP, permutations=0)$statistic)
p("XE_TP", pc(xe_p, xt_p, te_p))
p("PE_T", mantel.partial(DP, DE, DT, permutations=0)$statistic)
p("PE_X", mantel.partial(DP, DE, DX, permutations=0)$statistic)

cat("# Procrustes (protest t0) and RV (RV.rtest obs)\n")
pr <- function(a, b) suppressWarnings(suppressMessages(protest(a, b, permutations=0)$t0))
rv <- function(a, b) RV.rtest(as.data.frame(a), as.data.frame(b), nrepet=9)$obs
Ts <- Tn[, sel]
p("P_TE", pr(Ts, E)); p("P_XE", pr(X, E)); p("P_RE", pr(R, E)); p("P_TY", pr(Ts, Y))
p("P_PE", pr(E, P)); p("P_FE", pr(F, E))
Bn <- sweep(B, 2, sqrt(colSums(B^2)), "/")
p("P_BF", pr(Bn, axes))
p("V_TE", rv(Ts, E)); p("V_XE", rv(X, E)); p("V_RE", rv(R, E)); p("V_PT", rv(Ts, P)); p("V_BF", rv(Bn, axes))
# Partial: residuals on the covariate components; with n = 6 and factor 2 at most 2 components,
# which for the two columns of T span T itself.
res <- function(A, C) resid(lm(as.matrix(A) ~ C))
p("P_XE_T", pr(res(X, Ts), res(E, Ts)))
p("V_XE_T", rv(res(X, Ts), res(E, Ts)))
# T and R together: 3 columns, the first 2 principal components of their correlation matrix.
CTR <- cbind(Ts, R); pcs <- prcomp(CTR, scale.=TRUE)$x[, 1:2]
p("P_XE_TR", pr(res(X, pcs), res(E, pcs)))
cat("# Special resemblances of the communities\n")
# DE with the pair (2, 3) missing: the correlations skip it.
pair <- which(combn(6, 2)[1, ] == 2 & combn(6, 2)[2, ] == 3)
p("TE_skip23", cor(as.vector(DE)[-pair], as.vector(DT)[-pair]))
p("RE_skip23", cor(as.vector(DE)[-pair], as.vector(DR)[-pair]))
# DE constant but for the pair (1, 3), the second cell of the upper triangle in row order.
DE1 <- matrix(1, 6, 6); DE1[1, 3] <- DE1[3, 1] <- 2
p("TE_one13", cor(as.vector(as.dist(DE1)), as.vector(DT)))
