// Resemblance dispatcher and library front-ends: the one entry through which the analyses
// obtain a resemblance matrix by its coefficient code, its older and three-way forms, the
// double data-transformation dispatcher, the ordination-score wrappers and the randomisation
// test of the resemblances among variables.
//
// Coefficient codes: 1 cross products, 2 absolute-value function, 3 Euclidean distance,
// 4 mutual information, 5 Gower (gowerOpt: double zeros of binary variables agree), 6 MDIS,
// 7 mutual entropy of order par1, 8 coherence distance sqrt(1 - c^2) of order par1 (a
// coherence of magnitude 1 or more gives 0), 9 coherence, 10 chi-square, 11 Jaccard,
// 12 simple matching, 13 Sokal-Michener, 14 Ochiai, 15 Sorensen, 16 mean square contingency,
// 17 correlation, 18 chord distance, 19 Legendre-Chodorowski with tolerance par2, 20
// Bray-Curtis, 21 smaller eigenvalue of each pair of centred unit-length rows (diagonal not
// written), 22 covariance (double data only). Any other code computes nothing: the matrix
// keeps what it held. flag goes unchanged to the kernels of codes 6 to 10; varTypes holds the
// variable types of the Gower coefficient.
#ifndef TNX_QWLIBDISPATCH_H
#define TNX_QWLIBDISPATCH_H

// Resemblance among the n rows of data (orient other than 2) or among its p columns (orient
// 2: the kernel runs on a transposed work copy, which is copied back into data afterwards, so
// a kernel that changes its input, as Gower ranking ordinal variables does, changes the
// caller's columns the same way on both paths). rese is m x m (m = n or p). Then post 2 takes
// the square root, post 1 the square of the upper triangle with the diagonal; last the upper
// triangle is mirrored into the lower one. Return 1.
int ResemblanceLib(int n, int p, double** data, double** rese, int orient, int code, int post,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag);
int ResemblanceLib(int n, int p, float** data, double** rese, int orient, int code, int post,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag);
int ResemblanceLib(int n, int p, float** data, float** rese, int orient, int code, int post,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag);
// Short forms: post 0.
int ResemblanceLib(int n, int p, double** data, double** rese, int orient, int code,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag);
int ResemblanceLib(int n, int p, float** data, double** rese, int orient, int code,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag);
int ResemblanceLib(int n, int p, float** data, float** rese, int orient, int code,
                   int* varTypes, double par1, double par2, int gowerOpt, bool flag);

// Older form: no post-step, codes 1 to 20 only, code 5 by GowerMV (types 1-3, computed
// ranges, binary double zeros never agree). Returns 1.
int ResemblanceLibOld(int n, int p, float** data, float** rese, int orient, int code,
                      int* varTypes, double par1, double par2, bool flag);

// Three-way resemblance (m x m x m): only code 7 computes (mutual entropy of each triplet of
// order par1); the value at [i][j][k], i < j < k, is then copied to its five permutations.
// Returns 1.
int ResemblanceLibTriplets(int n, int p, float** data, float*** rese3, int orient, int code,
                           int* varTypes, double par1, bool flag);
int ResemblanceLibTriplets(int n, int p, double** data, double*** rese3, int orient, int code,
                           int* varTypes, double par1, bool flag);

// Double data transformations in place: scale (1 presence, 2 sqrt(|x|), 3 log10(|x| + 1) of
// positive values), columns (1 unit sum, 2 centred / sqrt(k - 1), 3 centred, 4 unit length,
// 5 centred and unit length, 7 range, 8 colClasses classes, 9 ranks, 10 Hellinger; 6 and
// others nothing), rows (the same, 6 deviations from independence, 11 Beals smoothing of the
// table onto itself with noCorrection = bealsFlag1, conditional probabilities of type 1 and
// rows to unit sum = bealsFlag2). Returns 1.
int DataTransformationsLib(int n, int p, double** data, int scaleOpt, int colOpt, int rowOpt,
                           int colClasses, int rowClasses, bool bealsFlag1, bool bealsFlag2);

// The double ordination engine on float data and a float resemblance matrix: principal
// coordinates go through ProdToSqDist for codes 1, 5, 6, 7, 9 to 17 and 19 (squares for the
// others) and an axis is kept while 100 e / (sum of positive eigenvalues) exceeds 1e-10.
int OrdinationLib_D(int n, int p, float** data, float** rese, double** vec, double** scores,
                    int* nAxes, double* eig, bool* ok, int method, int reseCode, int orient);

// Ordination scores only (one row per kept axis); returns the number of axes kept. The
// double form runs OrdinationLib_D, the float forms OrdinationLib (the double resemblance is
// rounded to single precision from its upper triangle and diagonal, mirrored).
int OrdinationLib_Scores(int n, int p, double** data, double** rese, double** scores,
                         int method, int code, int orient);
int OrdinationLib_Scores(int n, int p, float** data, float** rese, float** scores, int method,
                         int code, int orient);
int OrdinationLib_Scores(int n, int p, float** data, double** rese, float** scores, int method,
                         int code, int orient);

// Probability of each resemblance among the p variables under independent permutation of
// each variable's values: the data are transformed (DataTransformationsLib, one class count
// for columns and rows) and the p x p resemblance computed (orient should be 2) for the data
// and for iterations - 1 permutations drawn on the global generator after seeding it with
// seed; prob[i][j] (i < j) = the share of arrangements with |r| >= |r observed| (the observed
// one counts), prob[j][i] = the observed resemblance. *seconds: processor time used.
// Returns 1.
int RandomizationVar(int n, int p, float** data, double** prob, int iterations, unsigned seed,
                     int scaleOpt, int colOpt, int rowOpt, int classes, int orient, int code,
                     int* varTypes, float par1, float par2, int gowerOpt, float* seconds);
int RandomizationVar(int n, int p, double** data, double** prob, int iterations, unsigned seed,
                     int scaleOpt, int colOpt, int rowOpt, int classes, int orient, int code,
                     int* varTypes, float par1, float par2, int gowerOpt, float* seconds);

#endif
