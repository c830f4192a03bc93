// Pooling by groups, group counts, vector extremes and naive-Bayes membership estimates: the
// part of the matrix library that needs only the foundation (the statistics call it).
#ifndef TNX_QWLIB_POOLING_H
#define TNX_QWLIB_POOLING_H

// ============================================================================================
// Pooling by groups, group counts and vector extremes (qwlibPooling.cpp)
// ============================================================================================
//
// Group labels of the pooling routines run 1..k for k groups; other values are left out of
// every pooled cell. -999 is not treated specially: it enters the sums as a number.
// A group without members gives 0 in its cells and stays out of the rescaling sums.

// out (k x g): cells of row groups by column groups. opt 1: rescaled means (cell means times
// the sum of the pooled sums over the sum of the cell means, so the grand total of the cells
// that fell into groups is kept); any other opt: cell means. Returns 1.
int ConcentrateGroups(int n, int p, float** in, float** out, int k, int* rowGroups, int g,
                      int* colGroups, int opt);
// out (k x p): rows pooled by row groups. opt 2 means, 1 rescaled means, other sums. Returns 1.
int ConcentrateRowGroups(int n, int p, float** in, float** out, int k, int* rowGroups, int opt);
// out (n x g): columns pooled by column groups. opt 2 means, 1 rescaled means, other sums.
int ConcentrateColGroups(int n, int p, float** in, float** out, int g, int* colGroups, int opt);

// B (p x k) from A (p x n): for each label g = 1..k and each relevé i with that label in
// ascending order, B[v][g-1] = A[v][i] - B[v][g-1]. B is not cleared first (from B = 0 a pair
// gives the later relevé minus the earlier one). Returns 1.
int ReleveChange(int n, float** A, float** B, int p, int k, int* labels);

// Moving-window means of w consecutive rows (byRows) or columns of in (n x p).
// *nOut = (byRows ? n : p) - w + 1 windows (0 when w < 1 or w is longer than the series);
// nothing is written when there is none. Returns 1.
int SplitMovingWinPool(int n, int p, float** in, float** out, int w, int* nOut, bool byRows);

// Distinct labels in ascending order (distinct may be null; room for n ints otherwise).
int CountGroups(int n, int* labels, int* nGroups, int* distinct);
// The same over the objects with select[i] == 1 only.
int CountGroupsSelect(int n, int* labels, int* select, int* nGroups, int* distinct);

// Extremes of a vector. Start values (returned for n < 1): maxVector -2147483647, -FLT_MAX,
// -DBL_MAX; minVector FLT_MAX, DBL_MAX; maxVectorInt -2147483648; minVectorInt 2147483647.
int maxVector(int n, int* v);
float maxVector(int n, float* v);
double maxVector(int n, double* v);
float minVector(int n, float* v);
double minVector(int n, double* v);
int maxVectorInt(int n, int* v);
int minVectorInt(int n, int* v);
// 0-based index of the first largest value; 0 for n < 1.
int MaxVectorWhich(int n, float* v);
int MaxVectorWhich(int n, double* v);

// Naive-Bayes membership estimates over categorical traits.
// trainStates (nTraits x nTrain) and newStates (nTraits x nNew) hold state codes 1..s per trait
// as floats (truncated to int; codes below 1 are no state). membership (nGroups x nTrain):
// an object belongs to group k when membership[k][obj] is exactly 1. out (nGroups x nNew):
// the estimated membership of every new object in every group (columns sum to 1, or are all 0
// when no group has a non-zero likelihood). A new object's trait whose state is below 1 or
// above the largest training state of that trait carries no information and is skipped.
//
// BayesRaw counts the states and hands the counts to BayesCont, which weighs each state by the
// share of each group among the objects in that state; Bayes uses instead the frequency of the
// state within each group and the group's share of the training objects.
int BayesRaw(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
             int nNew, float** newStates, float** out);
int BayesRaw(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
             int nNew, float** newStates, double** out);
// counts[t][k][s] (nTraits x nGroups x (maxState[t] + 1)): number of training objects of group
// k in state s of trait t (index 0 unused). The counts are turned into shares in place.
int BayesCont(int nTraits, int nGroups, int* maxState, double*** counts, int nNew,
              float** newStates, float** out);
int BayesCont(int nTraits, int nGroups, int* maxState, double*** counts, int nNew,
              float** newStates, double** out);
int Bayes(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
          int nNew, float** newStates, float** out);
int Bayes(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
          int nNew, float** newStates, double** out);

#endif
