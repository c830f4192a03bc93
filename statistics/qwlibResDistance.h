// Quantitative distance coefficients between the rows (objects) of an n x p table: Euclidean
// and its squared, masked and neighbour variants, chord, absolute-value function (city block),
// Bray-Curtis and the Cao index.
//
// Whole-matrix routines write 0 on the diagonal and the distance in the cells i < j of the
// caller's n x n matrix and never touch the lower triangle (the Neighbours forms write only
// the cells (i, i + w)). MV forms sum over the variables where both values are present,
// without rescaling for the number of variables compared.
#ifndef TNX_QWLIBRESDISTANCE_H
#define TNX_QWLIBRESDISTANCE_H

// ---------------------------------------------------------------- Euclidean

// sqrt(sum (x_ik - x_jk)^2), 0 when the sum is not > 0. float -> float in single precision;
// float -> double squares single-precision differences and sums in double.
void EucliDist(int n, int p, float** in, float** out);
void EucliDist(int n, int p, float** in, double** out);
void EucliDist(int n, int p, double** in, double** out);
void EucliDistMV(int n, int p, float** in, float** out);
void EucliDistMV(int n, int p, float** in, double** out);
void EucliDistMV(int n, int p, double** in, double** out);
// Over the variables k with use[k] != 0 (and both values present).
void EucliDistMVSelect(int n, int p, float** in, float** out, int* use);
void EucliDistMVSelect(int n, int p, double** in, double** out, int* use);
void EucliDistMVSelect(int n, int p, float** in, double** out, int* use);
// Squared distances, no missing-value test.
void EucliDistSq(int n, int p, float** in, float** out);
void EucliDistSq(int n, int p, float** in, double** out);
void EucliDistSq(int n, int p, double** in, double** out);
// out[i][i + w] = squared distance of rows i and i + w (single-precision squares, double
// sum); nothing else written; nothing when n <= w.
void EucliDistSqNeighbours(int n, int p, float** in, double** out, int w);
// Squared distance of two vectors; 0 for n < 1. The mixed form differences in double.
double EucliDistSq2Vec(int n, float* a, float* b);
double EucliDistSq2Vec(int n, double* a, double* b);
double EucliDistSq2Vec(int n, float* a, double* b);

// ---------------------------------------------------------------- chord

// Squared chord distance sum (a_k / |a| - b_k / |b|)^2; a vector of zero norm counts as the
// zero vector (its terms a_k / |a| are 0). 0 for n < 1. The float form squares in single
// precision and divides in double.
double ChordDistSq2Vec(int n, float* a, float* b);
double ChordDistSq2Vec(int n, double* a, double* b);
// The same with norms and sum over the positions where both values are present.
double ChordDistSq2VecMV(int n, double* a, double* b);
// Chord distances of the rows; with missing values over the pairwise-present variables.
void ChordDistMV(int n, int p, double** in, double** out);

// ---------------------------------------------------------------- absolute-value function

// sum |a_k - b_k|; 0 for n < 1. The float form sums in double.
double AbsValFunction2Vec(int n, float* a, float* b);
double AbsValFunction2VecD(int n, double* a, double* b);
// City-block distances: cells j >= i set to 0 first, then out[i][j] = sum_k |x_ik - x_jk|.
void AbsValFunction(int n, int p, float** in, float** out);
void AbsValFunction(int n, int p, double** in, double** out);
void AbsValFunction(int n, int p, float** in, double** out);
void AbsValFunctionMV(int n, int p, float** in, float** out);
void AbsValFunctionMV(int n, int p, float** in, double** out);
void AbsValFunctionMV(int n, int p, double** in, float** out);
void AbsValFunctionMV(int n, int p, double** in, double** out);
// One variable: out[i][j] = |x_i - x_j| for j > i when both are present, else 0.
void AbsValFunctionMV(int n, double* x, double** out);
void AbsValFunctionMV(int n, float* x, double** out);
void AbsValFunctionMV(int n, float* x, float** out);
// Adds |x[i][p-1] - x[i+w][p-1]| (the last variable only) to out[i][i + w] for
// i = 0 .. n - w - 1; nothing when n <= w.
void AbsValFunctionNeighbours(int n, int p, float** in, double** out, int w);

// ---------------------------------------------------------------- Bray-Curtis and Cao

// sum |x - y| / sum ((x - m) + (y - m)), m = min(0, smallest (present) value of the table), so
// that tables with negative values stay defined; 0 when the denominator is not > 0 (two
// all-zero rows). BrayCurtis has no missing-value test and sums in single precision.
void BrayCurtis(int n, int p, float** in, float** out);
void BrayCurtisMV(int n, int p, float** in, float** out);
void BrayCurtisMV(int n, int p, float** in, double** out);
void BrayCurtisMV(int n, int p, double** in, double** out);

// Cao index: T / N, T = sum over the variables of
// ((x + y) log10((x + y) / 2) - x log10(y) - y log10(x)) / (x + y), N = number of variables
// with x >= 1 or y >= 1. A variable with x + y = 0 is skipped; a single zero is replaced by
// 0.1 (the index is undefined for zero abundances). 0 when N is 0. No missing-value test.
void CYD(int n, int p, float** in, float** out);
void CYD(int n, int p, float** in, double** out);

#endif
