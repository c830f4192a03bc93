# Indeterminacy of the levels of the six-OTU example of HierTest.cpp: the binary Jaccard
# distance of the communities (run offline: Rscript hier_indeterminacy.R).
suppressMessages(library(vegan))
# Level 1 pooled performances (communities x types) of the 6-OTU example.
X1 <- rbind(c(5,0,0,0,7), c(0,3,0,6,0), c(2,0,5,0,0), c(0,0,0,0,0), c(0,0,0,0,0))
X2 <- rbind(c(5,7,0), c(3,0,6), c(2,5,0), c(0,0,0), c(0,0,0))
X3 <- rbind(c(5,7), c(9,0), c(2,5), c(0,0), c(0,0))
for (X in list(X1, X2, X3)) print(round(as.matrix(vegdist(X > 0, "jaccard", binary = TRUE)), 7))
