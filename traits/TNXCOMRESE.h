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

// Whether a congruence of n objects (communities; OTUs for the phylogenetic signal) is defined
// under measure optRo (1 matrix correlation, 2 Procrustes, 3 RV) once `partialled` matrices
// (0, 1 or 2) have been removed. A matrix correlation runs over the m = n (n - 1) / 2 cells of
// the two resemblance matrices: their centred values keep m - 1 degrees of freedom and each
// partialled correlation takes one more, so a simple correlation needs 2 cells, a first-order
// partial 3 (3 communities), a second-order 4 (4 communities). pairRule: a simple correlation
// of 2 communities is their single cells' congruence (TwoCommunityCongruence), which one cell
// defines. Procrustes and RV configurations need 2 objects.
bool CongruenceDefined(int n, int optRo, int partialled, bool pairRule);

// True when the resemblance DE of the n communities by their environment (upper triangle) gives
// nothing to follow: every distance present (not -999) is 0 (the same environment everywhere),
// or, for the matrix correlation (optRo 1), three or more communities are at equal distances,
// which have no variance; also when no distance is present.
bool EnvironmentWithoutVariation(int n, double** DE, int optRo);

#endif
