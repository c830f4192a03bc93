// Resemblance of communities computed from community-level matrices (compositions of types,
// of taxa, smoothed compositions), the community-weighted trait means, and the two-community
// replacement of a matrix correlation. Used by the functional analysis, the trait-subset
// search and the simulator.
#ifndef TNXCOMRESE_H
#define TNXCOMRESE_H

// Resemblance between the n rows (communities) of x (n x p, -999 missing) by the resemblance
// option of the analyses, written to the upper triangle of d (zero diagonal):
//   6, 7  Euclidean distance over the columns present in both rows;
//   8, 9  absolute-value function (sum of absolute differences) over the same columns;
//   10    chord distance: the Euclidean distance of the rows scaled to unit length over their
//         present cells;
//   any other option writes nothing (d keeps its contents).
// Returns false (nothing written) for fewer than 2 communities.
bool NominalReseNonHier(int n, int p, double** x, double** d, int opt);
bool NominalReseNonHier(int n, int p, float** x, double** d, int opt);

// Community-weighted trait means: for each selected trait t (select[t] == 1),
// T[c][t] = sum_o W[c][o] B[o][t] / sum_o W[c][o], both sums in double over the OTUs whose
// performance and trait value are present; -999 when those performances sum to 0. The result
// does not change when a community's row of W is rescaled. Unselected columns are 0.
void CommunityWeightedMeans(int n, int s, int p, double** W, float** B, int* select, double** T);

// The congruence of two resemblance matrices of 2 communities from their single cells a and b:
// 1 when a == b, otherwise 1 - |a - b| / max(|a|, |b|).
double TwoCommunityCongruence(double a, double b);

#endif
