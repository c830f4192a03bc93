# Reference values of the Gower similarity (GowerTest.cpp). Run offline: Rscript gower.R
suppressMessages(library(cluster))
options(digits = 15)

# Five objects: a binary, a nominal, a quantitative and an ordinal variable; NA is missing.
bin  <- c(1, 0, 0, 1, 0)
nom  <- c(2, 1, 2, 3, 1)
quan <- c(1.5, 4.0, NA, 2.5, 0.0)
ord  <- c(3, 1, 3, NA, 2)
w <- c(1, 2, 0.5, 1)

# daisy: the binary variable asymmetric (double zeros left out) or symmetric (they agree).
df <- data.frame(bin = bin, nom = factor(nom), quan = quan, ord = ordered(ord))
show <- function(name, d) cat(name, "=", format(1 - as.vector(d), digits = 15), "\n")
show("asym weighted", daisy(df, metric = "gower", type = list(asymm = "bin"), weights = w))
show("symm weighted", daisy(df, metric = "gower", type = list(symm = "bin"), weights = w))

# Hand sum of the same similarity: ordinal variables as ranks, range over present values.
gower <- function(countZeros) {
  r <- rank(ord, na.last = "keep")
  rq <- diff(range(quan, na.rm = TRUE)); ro <- diff(range(r, na.rm = TRUE))
  s <- c()
  for (i in 1:4) for (j in (i + 1):5) {
    num <- 0; den <- 0
    if (!(bin[i] == 0 && bin[j] == 0 && !countZeros)) {
      den <- den + w[1]; if (bin[i] == bin[j]) num <- num + w[1]
    }
    den <- den + w[2]; if (nom[i] == nom[j]) num <- num + w[2]
    if (!is.na(quan[i]) && !is.na(quan[j])) {
      den <- den + w[3]; num <- num + w[3] * (1 - abs(quan[i] - quan[j]) / rq)
    }
    if (!is.na(r[i]) && !is.na(r[j])) {
      den <- den + w[4]; num <- num + w[4] * (1 - abs(r[i] - r[j]) / ro)
    }
    s <- c(s, num / den)
  }
  s
}
cat("hand asym =", format(gower(FALSE), digits = 15), "\n")
cat("hand symm =", format(gower(TRUE), digits = 15), "\n")
# daisy codes an ordered factor by its level numbers, not by tie-averaged ranks; with the ranks
# given as an interval variable it agrees with the hand sum above.
df2 <- data.frame(bin = bin, nom = factor(nom), quan = quan, ord = rank(ord, na.last = "keep"))
show("daisy ranks asym", daisy(df2, metric = "gower", type = list(asymm = "bin"), weights = w))
show("daisy ranks symm", daisy(df2, metric = "gower", type = list(symm = "bin"), weights = w))
