# Expected values of the relocation test (RandomizationTest.cpp): five communities, their stored
# resemblance (Euclidean distances of five points) and one environmental variable.
suppressMessages(library(vegan))
pts <- matrix(c(0, 0, 1, 3, 4, 1, 2, 5, 6, 6), ncol = 2, byrow = TRUE)
e1 <- c(1, 3, 2, 5, 4)
R <- dist(pts)
De <- dist(e1)
m <- mantel(R, De, method = "pearson", permutations = 0)
cat(sprintf("statistic %.15g\n", m$statistic))
# Every relocation of the five communities (120 orders): the count of |r| at least |r0| (within
# a relative 1e-7, the program's one unit in the last place of single precision).
perms <- function(v) if (length(v) == 1) list(v) else do.call(c, lapply(seq_along(v), function(i) lapply(perms(v[-i]), function(p) c(v[i], p))))
Rm <- as.matrix(R)
r <- sapply(perms(1:5), function(p) cor(as.dist(Rm[p, p]), De))
cat(sprintf("count %d of %d, exact P %.15g\n", sum(abs(r) >= abs(m$statistic) * (1 - 1e-7)), length(r),
            mean(abs(r) >= abs(m$statistic) * (1 - 1e-7))))
print(round(Rm, 12))
