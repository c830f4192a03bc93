// Resemblance of communities (or of types) over the trait hierarchy: the option dispatcher on
// community x type tables, its pairwise fuzzy form, both restricted to neighbouring
// communities, all levels at once, the drivers that write the stored resemblances of the
// session (nominal, partial, of types, environmental), and the one writer of those files.
//
// Resemblance matrices are n x n and owned by the caller; the upper triangle with its diagonal
// is computed and the lower triangle is not touched.
#ifndef TNXHIERRESE_H
#define TNXHIERRESE_H

// The resemblance between the n rows of data (n x p) by option opt; totals[i][0] is row i's
// total, N and K the scale and centring constants (0 counts as 1):
//   1  information divergence between rows, into rese;
//   2  as 1, less the divergence of the totals (rese2; kept as given when reuseTotals): the
//      mutual information;
//   3  cross products / N;
//   4  cross products / N - totals[i] totals[j] / K (centred);
//   5  as 4, and their correlations (a row without variance correlates 0) into rese2;
//   6  squared Euclidean distance / N;
//   7  as 6 after each row of data is divided by its total (in place; a zero total by 1);
//   8  absolute-value function (sum of absolute differences);
//   9  as 8 after the rows are divided by their totals (in place);
//   10 as 5, with rese2 = 2 (1 - r) off the diagonal and 0 on it.
// Any other option computes nothing.
void NominalRese(int n, int p, float** data, double** rese, double** rese2, float** totals, double N, double K,
                 int reuseTotals, int opt);
// The same for the pairs (i, i + lag) only (and the diagonal, for the cross products).
void NominalReseNeighbours(int n, int p, float** data, double** rese, double** rese2, float** totals, double N,
                           double K, int reuseTotals, int opt, int lag);

// NominalRese by rese_opt on each pair i < j of communities alone: the two rows, copied, are
// fuzzy-adjusted together by the types' similarities S (PairwiseFuzzyAdj) and their
// off-diagonal results go to rese[i][j] and rese2[i][j]; the caller's data are not changed.
// With reuseTotals the totals' divergence of the pair is read from rese2[i][j].
void PairFuzzyRese(int n, int p, float** data, double** rese, double** rese2, float** totals, double N, double K,
                   double** S, int reuseTotals);
void PairFuzzyReseNeighbours(int n, int p, float** data, double** rese, double** rese2, float** totals, double N,
                             double K, double** S, int reuseTotals, int lag);

// The resemblances of every level (the first only unless isHierarchical is 1) by rese_opt.
// With fuzzy 1 or 2 the fuzzy sets of the levels are made in S (caller's nTypes[l] squared
// matrices; sharpened when fuzziness < 1) and, with fuzzy 1, the level data fuzzy-adjusted in
// place. totals[c][0] receives the community totals of level 1. Each level is computed with
// its grand total as N and the product of the numbers of states of all traits as K, pairwise
// fuzzy with fuzzy 2; with option 2 the levels after the first reuse the first level's
// divergence of the totals.
void Rese(int nComm, char*** levelCodes, int* nTypes, double*** S, float*** levelData, float** totals, double*** rese,
          double*** rese2);
void ReseNeighbours(int nComm, char*** levelCodes, int* nTypes, double*** S, float*** levelData, float** totals,
                    double*** rese, double*** rese2, int lag);

// The product of the numbers of states (onsta) of all nch traits, in double precision.
double StatesProduct();

// The drivers; each appends its section to the report (the environmental one to whichEnvPrinda
// with prindaMode) and writes its stored resemblances whole. Options 5 and 10 store the second
// matrix (the correlations, or 2 (1 - r)).
// Resemblance: the hierarchy of the session is rebuilt (the session's data change: dirtyOrig
// = 1), the level tables read back from whichHier (not with fuzzy 2: the pairs make their own),
// each level's resemblance stored in whichNRese and, for crisp monothetic hierarchical data, the
// parts contributed between levels and the global resemblance in whichPRese. It needs the
// trait codes (otherwise it prints why and writes nothing). A table of the intermediate file
// whose types do not match the hierarchy is code 2.
void Resemblance();
// The table of whichHier (types by communities) read as communities by types; options 6 to 10
// as NominalReseNonHier, options 1 to 5 as NominalRese with the grand total and StatesProduct.
// Stored in whichNRese.
void ResemblanceNonHier();
// The resemblance of the types of level whichLevelCst (rows of whichHier) over the communities
// by reseCstOpt (N = 1, K = ncsm); rcst receives the row counts of the levels read. Stored in
// whichCstRese.
void ResemblanceCst();
// The communities' resemblance by their environmental variables: a copy of E transformed by
// envVecTrOpt (1 centre rows, 2 centre columns, 3 normalise rows, 4 normalise columns, 5 and 6
// centre then normalise rows or columns; missing values skipped), then the Euclidean distance
// (optEnvVarType 1, 2, 4, or 5 without a nominal variable) or 1 - Gower similarity. The full
// square goes to rese[0] when rese is allocated, the upper triangle to whichEnvRese.
void EnvRese();

// Writes nMatrices n x n matrices to volumeName + name, whole or not at all: each matrix in turn,
// its upper triangle with the diagonal row by row, one value a line ("%g"), as ReadResemblance
// reads them. A file that cannot be created or put in place is code 4, a failed write code 3.
void WriteStoredResemblances(const char* name, int nMatrices, int n, double** const* matrices);

#endif
