// The shared random generator, eigen-analysis, singular value decomposition and matrix
// products and sums.
//
// Matrices are row-pointer arrays, 0-based. Eigen results: eigenvalues sorted in descending
// order, unit eigenvectors as the rows of the vector matrix (row k belongs to eigenvalue k;
// EigenJacobi alone leaves them in the columns), no sign convention. The input of the eigen
// routines is a symmetric matrix with both triangles filled (mirror a triangle first with
// UpperToLowerMatrix).
//
// The "ok" rule shared by the eigen and singular value routines: with sum = the sum of all the
// values, ok is false when some value / sum is below -0.001 (a noticeable negative
// eigenvalue); the decomposition is still returned. A zero sum leaves ok true.
// Failure: an input with a non-finite cell (or a decomposition that fails) gives false with
// every value and vector zero-filled, so that an ordination built on it keeps no axis.
#ifndef TNX_QWLIBRANDOM_H
#define TNX_QWLIBRANDOM_H

#include <gsl/gsl_rng.h>

#include "matrix/core/qwlibUtil.h"

// ---------------------------------------------------------------- random generator

// The program's one random generator (MT19937); null until the first seeding. Every random
// draw of the program goes through it (gsl_rng_uniform_int, gsl_rng_uniform, gsl_ran_*).
extern gsl_rng* r;

// Creates a new MT19937 generator seeded with gsl_rng_set(r, seed), makes it the current r
// (the previous one is freed) and seeds the C library generator with srand(seed). The
// environment is never consulted: the same seed repeats the same draws. A generator the system
// refuses raises code 1 and leaves the previous one in place.
void InitRndNumberGenerator(unsigned long seed);

// Random permutation of 1..n in list[0..n-1]: list = 1..n, then for i = 0 .. n-2 entry i is
// exchanged with entry i + gsl_rng_uniform_int(r, n - i). n < 1 leaves the list untouched;
// n = 1 gives {1} without a draw.
void RndList(int n, int* list);

// ---------------------------------------------------------------- eigen-analysis

// GSL's symmetric eigen-decomposition on a double copy of A, sorted descending. A untouched;
// vec n x n (eigenvectors as rows), val n values. A GSL block the system refuses raises code 1
// (here and in the work space's constructor), with the blocks made before it freed.
bool EigenHouseholderQL_GSL(int n, float** A, float** vec, float* val);
bool EigenHouseholderQL_GSL_D(int n, double** A, double** vec, double* val);
// Work space of EigenHouseholderQL_GSL_D for repeated decompositions of order at most n: the
// GSL blocks and GSL's eigen work space for each order 1..n (each serves one order only). The
// form that takes it allocates nothing and gives the same numbers; a larger order is
// decomposed on blocks of its own.
class EigenWorkspace {
public:
    explicit EigenWorkspace(int n);
    ~EigenWorkspace();
    EigenWorkspace(const EigenWorkspace&) = delete;
    EigenWorkspace& operator=(const EigenWorkspace&) = delete;
    bool Fits(int n) const;
    struct Blocks;
    Blocks* blocks() const { return b_; }

private:
    Blocks* b_;
};
bool EigenHouseholderQL_GSL_D(int n, double** A, double** vec, double* val, EigenWorkspace& ws);

// Householder tridiagonalisation and QL iterations (tred2, tqli, eigsrt) on a 1-based work
// copy of its own, in the overload's precision. A untouched; vec n x n, val n values.
bool EigenHouseholderQL(int n, float** A, float** vec, float* val);
bool EigenHouseholderQL(int n, double** A, double** vec, double* val);

// The noticeable negative part of the spectrum of A (computed in single precision as
// EigenHouseholderQL): the sum of -(eigenvalue / sum of eigenvalues) over the eigenvalues for
// which that ratio is below -0.001; 0 when there is none, for n < 1 and for a non-finite A.
float EigenHouseholderQL_NegEigen(int n, float** A);
float EigenHouseholderQL_NegEigen(int n, double** A);

// Cyclic Jacobi rotations (jacobi, eigsrt) on a 1-based work copy of its own: A untouched;
// the eigenvectors go to the COLUMNS of vec (n x n); val n values.
bool EigenJacobi(int n, float** A, float** vec, float* val);

// Self-contained threshold Jacobi method in the overload's precision. A untouched; vec n x n
// (eigenvectors as rows), val n values. At most 30 sweeps; after them the state reached is
// returned.
bool Eigen(int n, float** A, float** vec, float* val);
bool Eigen(int n, double** A, double** vec, double* val);

// Number of meaningful axes: the eigenvalues e with e * 100 / (sum of the positive
// eigenvalues) above 1e-5; 0 for n < 1 or when no eigenvalue is positive.
float EigenRank(int n, float* eig);
float EigenRank(int n, double* eig);

// ---------------------------------------------------------------- singular value decomposition

// A (m x n) = U diag(w) V': U m x n, w n values (non-increasing), V n x n, by GSL on a double
// copy (A not changed). Needs m >= n: with m < n the result is false. True unless the ok rule
// fails. A GSL block the system refuses raises code 1, with the blocks made before it freed.
bool SingValueDecomp(int m, int n, float** A, float** U, float* w, float** V);
bool SingValueDecomp(int m, int n, double** A, double** U, double* w, double** V);

// The same by svdcmp on a 1-based work copy of its own (U m x n, w n values, V n x n); the
// singular values are left in svdcmp's order (not sorted).
bool SingValueDecomp_NRUTIL(int m, int n, float** A, float** U, float* w, float** V);
bool SingValueDecomp_NRUTIL(int m, int n, double** A, double** U, double* w, double** V);

// ---------------------------------------------------------------- sums and outer products
// (MatrixProd, TransposeMatrix and TransposeSqMatrix are declared in qwlibUtil.h.)

// C = A + k * B (k = 1 adds, -1 subtracts). Returns 1 and computes nothing unless the sizes
// agree, else 0. C may be A or B.
int MatrixSum(int rowsA, int colsA, int rowsB, int colsB, float** A, float** B, float** C, int k);
int MatrixSum(int rowsA, int colsA, int rowsB, int colsB, double** A, double** B, double** C,
              int k);

// C[i][j] = a[i] * b[j] (C n x p). Returns 1.
int VectorOuterProd(int n, int p, float* a, float* b, float** C);
int VectorOuterProd(int n, int p, double* a, double* b, double** C);

#endif
