# Reference checks for PartitionTest.cpp, run offline: Rscript partition_newick.R
suppressMessages(library(ape))
# 1. The tree text written for the records {1,2} (0.5, 0.5), {3,4} (1, 1), {1,2,3,4} (2, 1.5)
#    must read back as a tree whose tips and cophenetic distances are the records' own.
txt <- "((A:0.5,B:0.5):2,(C:1,D:1):1.5);"
t <- read.tree(text = txt)
print(t$tip.label)
print(cophenetic(t)[c("A", "B", "C", "D"), c("A", "B", "C", "D")])
# 2. Names holding Newick punctuation or blanks are quoted; the tree still reads back with
#    four edges (this version of ape keeps the quotes in the labels, and does not read the
#    doubled quote '' that stands for a quote inside a name).
txt2 <- "(('a,b':1,'c(d)':1):1,'x y':2);"
t2 <- read.tree(text = txt2)
print(t2$tip.label)
print(t2$edge.length)
# 3. Without lengths.
t3 <- read.tree(text = "((A,B),(C,D));")
print(t3$tip.label); print(t3$Nnode)
