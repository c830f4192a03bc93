## mafragh_expected.R -- independent double-precision computation of the observed statistics of the
## functional analysis for the mafragh data, read back from the raw files of this folder.
## Setting: each OTU its own type (the species names are all distinct), fuzzy belonging from the
## Gower similarity of the OTUs (all six traits, types 3 3 3 4 4 4, equal weights), W to unit totals,
## congruence by Mantel correlation, Euclidean distance between communities (DT on unit-length
## columns of T, DX on X), E quantitative with different units (standardised Euclidean DE),
## Rao entropy with sqrt(1 - Gower similarity).  No permutation P-values and nothing that uses
## the phylogeny (mafragh_F.txt is read only to check its shape).
## Run from this folder:  Rscript mafragh_expected.R   -> writes mafragh_expected_H.txt
args <- commandArgs(trailingOnly = FALSE)
me <- sub("^--file=", "", args[grep("^--file=", args)])
if (length(me)) setwd(dirname(normalizePath(me)))

read_raw <- function(f, nr, nc) {               # values row by row, then one line of labels
  x <- scan(f, what = "", quiet = TRUE)
  m <- matrix(as.numeric(x[1:(nr * nc)]), nr, nc, byrow = TRUE)
  list(m = m, lab = x[-(1:(nr * nc))])
}
gower <- function(B, types) {                    # Gower similarity, all weights 1, no missing values
  n <- nrow(B); S <- matrix(0, n, n)
  for (t in seq_len(ncol(B))) {
    x <- B[, t]
    if (types[t] == 4) { x <- rank(x); types[t] <- 3 }   # ordinal: ranks (ties averaged), then range
    p <- switch(as.character(types[t]),
      "3" = { r <- max(x) - min(x); if (r > 0) 1 - abs(outer(x, x, "-")) / r else matrix(1, n, n) },
      "2" = 1 * outer(x, x, "=="),
      "1" = 1 * outer(x, x, "=="))
    S <- S + p
  }
  S <- S / ncol(B); diag(S) <- 1; S
}
corradj <- function(E) apply(E, 2, function(v) { v <- v - mean(v); ss <- sum(v^2); v / (if (ss > 0) sqrt(ss) else 1) })
eucl <- function(M) as.matrix(dist(M))
mantel <- function(A, B) cor(A[upper.tri(A)], B[upper.tri(B)])
pc <- function(rxy, rxz, ryz) if (abs(rxz - 1) < 1e-9 || abs(ryz - 1) < 1e-9) 0 else (rxy - rxz * ryz) / sqrt((1 - rxz^2) * (1 - ryz^2))
normcols <- function(T) sweep(T, 2, pmax(sqrt(colSums(T^2)), 0) + (colSums(T^2) <= 0), "/")
g6 <- function(x) trimws(formatC(x, digits = 6, format = "g"))

b <- read_raw("mafragh_B.txt", 56, 6)
w <- read_raw("mafragh_W.txt", 97, 56)
e <- read_raw("mafragh_E.txt", 97, 11)
f <- matrix(scan("mafragh_F.txt", quiet = TRUE), 56, 56, byrow = TRUE)
spp <- readLines("mafragh_spp.txt")
stopifnot(length(b$lab) == 6, length(w$lab) == 97, length(e$lab) == 11, length(spp) == 56,
          !anyDuplicated(spp), isSymmetric(f), all(rowSums(w$m) > 0))
types <- c(3, 3, 3, 4, 4, 4)

B <- b$m; E <- e$m
W2 <- w$m / rowSums(w$m)                         # W to unit totals (communities x OTUs)
DE <- eucl(corradj(E))                           # each variable centred and scaled to unit length
T  <- W2 %*% B; DT <- eucl(normcols(T))          # community-weighted trait means
S  <- gower(B, types)
U  <- S / rowSums(S)                             # fuzzy belonging of each OTU to the 56 types
X  <- W2 %*% U; DX <- eucl(X)
D  <- 1 - rowSums(W2^2)                          # Gini-Simpson
R  <- apply(W2, 1, function(p) sum(outer(p, p) * sqrt(pmax(1 - S, 0))))   # Rao, sqrt(1 - S)
DR <- abs(outer(R, R, "-"))
rTE <- mantel(DE, DT); rXE <- mantel(DE, DX); rXT <- mantel(DX, DT)
rRE <- mantel(DE, DR); rXR <- mantel(DX, DR); rTR <- mantel(DT, DR)
rXE.T  <- pc(rXE, rXT, rTE)
rXE.TR <- pc(pc(rXE, rXR, rRE), pc(rXT, rXR, rTR), pc(rTE, rTR, rRE))

con <- file("mafragh_expected_H.txt", "w")
w_ <- function(...) cat(..., file = con, sep = "")
w_("mafragh: 56 OTUs, 6 traits (types 3 3 3 4 4 4), 97 communities, 11 variables\n")
w_("Setting: types = the OTUs (species), fuzzy belonging, Mantel, Euclidean distance, all traits,\n",
   "W to unit totals, E quantitative with different units.  Observed values only.\n\n")
w_("Convergence (TCAP): r(TE)=\t", g6(rTE), "\n")
w_("Both TCAP and Divergence (TDAP): r(XE)=\t", g6(rXE), "\n")
w_("TDAP: r(XE.T)=\t", g6(rXE.T), "\n")
w_("Alpha divergence: r(RE)=\t", g6(rRE), "\n")
w_("Beta divergence: r(XE.TR)=\t", g6(rXE.TR), "\n")
w_("(intermediate: ro(XT)=", g6(rXT), " ro(XR)=", g6(rXR), " ro(TR)=", g6(rTR), ")\n")
w_("\nNumber of states per trait: ", paste(apply(B, 2, function(v) length(unique(v))), collapse = " "), "\n")
w_("\nCommunity\tGini-Simpson D\tRao Rf [sqrt(1-Gower)]\n")
for (i in 1:10) w_(w$lab[i], "\t", g6(D[i]), "\t", g6(R[i]), "\n")
close(con)
cat(readLines("mafragh_expected_H.txt"), sep = "\n")
