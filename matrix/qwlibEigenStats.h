// Eigenvalue statistics, analysis of concentration and permutation tests of ordination axes
// (qwlibEigenStats.cpp).
//
// Eigenvalues are in descending order; k names an axis 1-based in the statistics and 0-based
// in the result arrays of the permutation tests. A statistic whose denominator is 0 (or
// whose logarithm is undefined) is NaN, and so is its probability: it is never counted as
// significant.
#ifndef TNX_QWLIBEIGENSTATS_H
#define TNX_QWLIBEIGENSTATS_H

// Broken-stick expectation of the k-th of p eigenvalues as a share of the total:
// (sum of 1/j for j = k..p) / p.
double BrokenStick(int k, int p);

// Bartlett's statistic for the equality of the eigenvalues k..m (1-based) of a table of n
// objects: with q = m - k + 1 of them, s their sum and L the sum of their logarithms (an
// eigenvalue that is not positive adds itself + 1e-10 to s and ln 1e-10 to L),
// u = (q ln(s / q) - L) (n - (2m + 11) / 6). NaN when s / q is not positive. p is not read.
double Bartlett_u(int p, int k, double* eig, int n, int m);
double Bartlett_u(int p, int k, float* eig, int n, int m);
// Upper chi-square probability of u with (q + 2)(q - 1) / 2 degrees of freedom; NaN when u is
// undefined or q < 2.
double Bartlett_uProb(int p, int k, float* eig, int n, int m);
double Bartlett_uProb(int p, int k, double* eig, int n, int m);

// RVDIM criterion of dimension k: eig[k-1] / sqrt(sum of eig[j]^2 for j = k-1..p-1).
double RVDIM(int p, int k, float* eig);
double RVDIM(int p, int k, double* eig);

// Pseudo-F of axis k: eig[k-1] / (sum of eig[j] for j = k..p-2); the last eigenvalue is left
// out of the sum.
double PseudoF_eig(int p, int k, double* eig);
double PseudoF_eig(int p, int k, float* eig);

// Pearson correlation between the first m eigenvalues of A and of B (n x n, symmetric), m the
// smaller of their counts of meaningful axes (EigenRank).
float EigenCorrelation2Rese(int n, float** A, float** B);

// Analysis of concentration of the n x p contingency table F: with row totals r, column
// totals c and grand total T, Q[i][j] = F[i][j] / sqrt(r_i c_j) - sqrt(r_i c_j) / T (0 for a row
// or column of total 0) and S = Q Q' (n x n) decomposed into eig (n values) and vectors v_k;
// rowScores[k][i] = sqrt(T / r_i) v_k[i], colScores[k][j] = sum_i F[i][j] rowScores[k][i] /
// (sqrt(eig[k]) c_j), chi[k] = eig[k] T. Scores of an empty row or column, or of an axis whose
// eigenvalue is not positive, are 0. Totals and square roots are formed in single precision
// in both forms. rowScores is n x n, colScores n x p. False (nothing written) when T is 0.
bool AOC(int n, int p, float** F, float* eig, float* chi, float** rowScores, float** colScores);
bool AOC(int n, int p, double** F, double* eig, double* chi, double** rowScores,
         double** colScores);

// Permutation test of the first nAxes eigenvalues and pseudo-F ratios of an ordination.
// data (n x p) is the observed table before transformation; eigObs its eigenvalues. Each of
// the nPerm - 1 permutations permutes every column of data independently, transforms the
// result (scalar, colAdj, rowAdj, class counts n and p), computes the nRese x nRese
// resemblance (orient, reseCode, varTypes, par1, par2, gowerOpt) and ordinates it (method;
// nObj objects scored; method 3 scores the untransformed permuted table). For each axis k
// found in both the random and the observed ordination, a random value within one single-
// precision step of the observed one or above it counts. probEig[k] and probF[k] = (1 + count)
// / (1 + permutations in which the axis exists); belowMean[k] = 1 when the observed eigenvalue
// is not above the mean of its random values, else 0. With print 'y' the permutations and the
// results are appended to "Prinda.txt" (digits significant digits), whole or not at all: memory
// refused for the report raises code 1, a failed write code 3, the file left as it was. M is not
// read. Returns 1.
int EigenPermutation(int n, int p, int nRese, int nObj, int nAxes, int nPerm, float** data,
                     float** M, float* eigObs, int method, int scalar, int colAdj, int rowAdj,
                     int orient, int reseCode, int* varTypes, float par1, float par2,
                     bool gowerOpt, double* probEig, double* probF, double* belowMean,
                     char print, int digits);
int EigenPermutation_D(int n, int p, int nRese, int nObj, int nAxes, int nPerm, double** data,
                       double** M, double* eigObs, int method, int scalar, int colAdj,
                       int rowAdj, int orient, int reseCode, int* varTypes, double par1,
                       double par2, bool gowerOpt, double* probEig, double* probF,
                       double* belowMean, char print, int digits);

// Permutation test of RVDIM by dimension. The observed table data (n x p) is split into one
// layer per dimension (scores of axis d times eigenvector d; resemblance among the p columns
// when orient is 2, among the n rows otherwise); dimension d is tested on the sum of layers d
// and beyond, whose columns are permuted independently, cross products computed and ordinated
// (method, reseCode); the random RVDIM of the first axis is compared with rvdimObs[d] (filled
// here from eig). prob[d] = (1 + count) / (1 + effective permutations). With print 'y' the
// layers, the permutations and the results are appended to "Prinda.txt" as above. The three ints
// after method are not read. Returns 1.
int RVDIMPermutation(int n, int p, int nDims, int nPerm, float** data, float** scores,
                     float** vec, float* eig, int method, int, int, int, int orient,
                     int reseCode, int* varTypes, float par1, float par2, bool gowerOpt,
                     double* rvdimObs, double* prob, char print, int digits);
int RVDIMPermutation_D(int n, int p, int nDims, int nPerm, double** data, double** scores,
                       double** vec, double* eig, int method, int, int, int, int orient,
                       int reseCode, int* varTypes, double par1, double par2, bool gowerOpt,
                       double* rvdimObs, double* prob, char print, int digits);

#endif
