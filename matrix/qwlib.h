// Ordination, clustering and matrix methods: the numerical library that the analyses call.
//
// Tables are row-pointer matrices allocated by the foundation's allocators (qwlibDim.h);
// every result array is allocated by the caller. Group labels are one int per object.
// The routines check no argument beyond what keeps them inside their arrays, print nothing
// and raise no error code.
//
// The header is organised in sections, one per family of routines; each section names the
// source file that holds it.
#ifndef TNX_QWLIB_H
#define TNX_QWLIB_H

// ============================================================================================
// Fuzzy and crisp belonging, group counts, classes and frequency distributions
// (qwlibBelonging.cpp)
// ============================================================================================
//
// Group order: the groups of a labelling are taken in ascending order of their label value;
// column k of a belonging matrix belongs to the k-th smallest distinct label. A null label
// array means that every object forms its own group, labelled 1..n.

// Number of distinct values among labels[0..n-1] into *nGroups; when distinct is not null it
// receives those values in ascending order (room for n ints). n < 1 gives 0. Returns 1.
int CountGroupsNew(int n, int* labels, int* nGroups, int* distinct);

// Fuzzy belonging U (n x g) of n objects to the g groups of labels, from the resemblance S
// (n x n; upper triangle and diagonal read, -999 cells skipped). U[i][k] is the mean
// similarity (1 - S when isDissim) of object i to the members of group k, where objects of
// one group that are identical (similarity 1 within one single-precision step) count once,
// each row then scaled to unit sum. The lower triangle of S is overwritten with the upper
// one. g should be the number of distinct labels; columns beyond it are never addressed.
// Returns true.
bool FuzzyBelonging(int n, int g, float** S, int* labels, float** U, bool isDissim);
// Float resemblance, double result: each term is formed in single precision, summed in double.
bool FuzzyBelonging(int n, int g, float** S, int* labels, double** U, bool isDissim);
bool FuzzyBelonging(int n, int g, double** S, int* labels, double** U, bool isDissim);
// Earlier form: labels 1..g used directly as column numbers (other labels are left out), no
// missing-value test; the rows are scaled to unit sum, complemented (1 - U) when isDissim and
// scaled once more.
bool FuzzyBelonging_OLD(int n, int g, float** S, int* labels, float** U, bool isDissim);

// Crisp 0/1 belonging U (n x g): U[i][k] = 1 when labels[i] is the k-th smallest distinct
// label. Returns true.
bool CrispBelonging(int n, int g, int* labels, float** U);
bool CrispBelonging(int n, int g, int* labels, double** U);

// Class numbers 1..k over k equal-width classes between min and max, stored in classes[]:
// min gives 1, max gives k, other values ceil((x - min) * k / (max - min)).
// A NaN value gets the class -999 (no class). The MV forms leave -999 values out of the
// minimum and maximum and give them the class -999.
void Classes(int n, float* x, float* classes, int k);
void Classes(int n, double* x, double* classes, int k);
void ClassesDefinition(int n, float* x, float* classes, int k, float min, float max);
void ClassesDefinition(int n, double* x, double* classes, int k, double min, double max);
void ClassesMV(int n, float* x, float* classes, int k);
void ClassesMV(int n, double* x, double* classes, int k);
void ClassesDefinitionMV(int n, float* x, float* classes, int k, float min, float max);
void ClassesDefinitionMV(int n, double* x, double* classes, int k, double min, double max);

// Frequency distribution of x over k equal-width classes between its minimum and maximum:
// freq[0..k-1] = class counts (NaN values are not counted); limits, when not null, receives
// the upper limit of each class.
void FreqDistribution(int n, float* x, int* freq, int k, float* limits);
void FreqDistribution(int n, double* x, int* freq, int k, double* limits);

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
// *nOut = (byRows ? n : p) - w + 1 windows (0 when w < 1); nothing is written when it is
// below 1. Returns 1.
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
