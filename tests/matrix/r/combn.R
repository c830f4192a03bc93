# Expected subset order and counts of the k-subset enumeration (PermutTest.cpp).
# Run offline: Rscript combn.R
x <- combn(6, 3)
cat(apply(x, 2, paste, collapse = ""), "\n")
# 123 124 125 126 134 135 136 145 146 156 234 235 236 245 246 256 345 346 356 456
print(choose(24, 12), digits = 15)   # 2704156
print(choose(40, 20), digits = 15)   # 137846528820
