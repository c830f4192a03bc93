// Matrix utilities of the permutation-test library: partial correlations of second and
// general order, matrix inversion, equality of two vectors, communality estimates and the
// expansion of nominal variables into indicator columns.
//
// Matrices are row-pointer arrays (0-based) allocated by the caller; -999 marks a missing
// value. Nothing here prints or raises an error code.
#ifndef TNX_QWLIBPERMUTIL_H
#define TNX_QWLIBPERMUTIL_H

#include <cstdio>

// Kept for its argument list only: does nothing.
void InteractionMatrix(int n, int p, float** data, double** a, double** b, double** c, int* groups,
                       int g, bool flag, FILE* f, bool print);

// r(XY.AB): the first-order partials r(XY.A), r(XB.A), r(YB.A) (single-precision
// PartialCorrelation), then the partial of the first on the other two.
float PartialCorrelation2ndOrder(float rXY, float rXB, float rXA, float rYB, float rYA, float rAB);

// Partial correlation of variables i and j of the n x n correlation matrix R given the k
// variables controls[0..k-1] (0-based): with A = [[1, r_ij], [r_ij, 1]], G the 2 x k
// correlations of i and j with the controls and C the controls' own correlations,
// S = A - G C^-1 G' and the result is S[1][0] / sqrt(S[0][0] S[1][1]). k < 1 gives R[i][j].
// +infinity, never NaN, when C cannot be inverted, when S[0][0] S[1][1] is not above 0, or
// when an index lies outside 0..n-1.
double PartialCorrelation_GeneralProc(int n, float** R, int i, int j, int k, int* controls);
double PartialCorrelation_GeneralProc(int n, double** R, int i, int j, int k, int* controls);

// Ainv = the inverse of the n x n matrix A by Gauss-Jordan elimination with full pivoting
// (against m zero right-hand columns, which carry no information). True on success; a
// singular A gives false and Ainv is not written. Ainv may be A. n < 1: true, nothing done.
// The float form inverts in double and rounds the result.
bool MatrixInverse(int n, int m, double** A, double** Ainv);
bool MatrixInverse(int n, int m, float** A, float** Ainv);

// True when a[i] == b[i] for every i < n (also for n < 1); false at the first pair that
// differs or holds a NaN.
bool CompareTwoVectors(int n, float* a, float* b);

// Squared multiple correlation of each variable (row of data, nObs observations) with the
// others. The variables are ordered by their number of positive values, most first; their
// covariance matrix S (-999 cells skipped) is inverted over the first m variables of that
// order for m = nVars, nVars - 1, ... until an inversion succeeds (*nUsed = m). For those m
// variables comm = 1 - 1 / (S[v][v] Sinv[v][v]); every other variable keeps -999.
// Returns 1.
int Communality(int nVars, int nObs, float** data, float* comm, int* nUsed);
int Communality(int nVars, int nObs, double** data, double* comm, int* nUsed);

// Nominal variables to indicator columns. A variable that is not nominal gives one column,
// its copy (nStates[j] = 1). A nominal variable j gives one column per integer state present
// (integer part of the value; -999 and non-finite values are no state): nStates[j] of them,
// the states listed ascending in states[j] (room for nRows ints), column s holding 1 where
// the value's integer part is states[j][s] and 0 elsewhere (so -999 is 0 in every column).
// *nOut receives the number of columns of out (nRows x at least that many). nVars < 1 gives
// *nOut = 0 and nothing else. Returns 1.
int Binarize(int nRows, int nVars, bool* isNominal, float** data, float** out, int* nOut,
             int** states, int* nStates);
int Binarize(int nRows, int nVars, bool* isNominal, double** data, double** out, int* nOut,
             int** states, int* nStates);

#endif
