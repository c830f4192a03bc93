// Matrix and vector utilities: copies, transposes, traces, inner products, matrix products
// that skip missing values, scalar products, mirroring of triangles, row, column and grand
// totals.
//
// Matrices are row-pointer arrays (rows x cols, 0-based), vectors plain arrays; the caller
// allocates every result. -999 marks a missing cell: a product term is skipped when either
// factor equals -999 exactly in the factor's own precision (a NaN is not missing).
//
// Products take (rowsA, colsA, rowsB, colsB, A, B, C) and compute the rowsA x colsB matrix
// C = A x B. They return 1 and change nothing when colsA differs from rowsB, otherwise 0.
// Each term is added to a running sum of the result's precision: a float result with a double
// factor forms the product in double and rounds the sum to float after every term; the
// float/float/double member forms the product in float and sums in double. A cell whose terms
// are all skipped is 0.
#ifndef TNX_QWLIBUTIL_H
#define TNX_QWLIBUTIL_H

// ---------------------------------------------------------------- copies and transposes

// B = A entry by entry.
void CopyMatrix(int rows, int cols, double** A, double** B);
void CopyMatrix(int rows, int cols, float** A, float** B);

// At[j][i] = A[i][j]; At is a distinct cols x rows matrix.
void TransposeMatrix(int rows, int cols, float** A, float** At);
void TransposeMatrix(int rows, int cols, double** A, double** At);
void TransposeMatrix(int rows, int cols, float** A, double** At);

// Transpose of a square matrix. With A and B the same matrix it transposes in place (applied
// twice it gives the matrix back); with two distinct matrices B receives the transpose of A
// and A is left as it was.
void TransposeSqMatrix(int n, int** A, int** B);
void TransposeSqMatrix(int n, float** A, float** B);
void TransposeSqMatrix(int n, double** A, double** B);

// Sum of the diagonal; 0 for n < 1.
float MatrixTrace(int n, float** A);
double MatrixTrace(int n, double** A);

// Sum of x[i] * y[i]; 0 for n < 1. The float forms sum in single precision.
float VectorProd(int n, float* x, float* y);
double VectorProd(int n, double* x, double* y);
float VectorProd(int n, float* x, int* y);

// Mirroring of one triangle into the other: LowerToUpper sets A[i][j] = A[j][i] for i < j,
// UpperToLower sets A[j][i] = A[i][j] for i < j. The diagonal is not touched.
void LowerToUpperMatrix(int n, float** A);
void LowerToUpperMatrix(int n, double** A);
void UpperToLowerMatrix(int n, float** A);
void UpperToLowerMatrix(int n, double** A);

// ---------------------------------------------------------------- products

// C = A x B, terms with a -999 factor skipped. Overloads by (A, B, C) element type. The
// (double, float, float) member also marks with -999 a cell in which at least one term was
// skipped and the remaining terms sum to exactly 0 (the cell carries no information).
int MatrixProdMV(int rowsA, int colsA, int rowsB, int colsB, float** A, float** B, float** C);
int MatrixProdMV(int rowsA, int colsA, int rowsB, int colsB, double** A, double** B, double** C);
int MatrixProdMV(int rowsA, int colsA, int rowsB, int colsB, double** A, float** B, float** C);
int MatrixProdMV(int rowsA, int colsA, int rowsB, int colsB, float** A, double** B, double** C);
int MatrixProdMV(int rowsA, int colsA, int rowsB, int colsB, float** A, double** B, float** C);
int MatrixProdMV(int rowsA, int colsA, int rowsB, int colsB, double** A, float** B, double** C);
int MatrixProdMV(int rowsA, int colsA, int rowsB, int colsB, float** A, float** B, double** C);

// C = A x B with the same skipping (no -999 marking): float/float/float, double/double/double
// and the mixed members double/float/float and double/double/float.
int MatrixProd(int rowsA, int colsA, int rowsB, int colsB, float** A, float** B, float** C);
int MatrixProd(int rowsA, int colsA, int rowsB, int colsB, double** A, double** B, double** C);
int MatrixProd(int rowsA, int colsA, int rowsB, int colsB, double** A, float** B, float** C);
int MatrixProd(int rowsA, int colsA, int rowsB, int colsB, double** A, double** B, float** C);

// Only the result columns j with select[j] == 1 are computed; the others are set to 0.
// MatrixProdSelect and MatrixProdSelectMV skip the same terms (a -999 factor).
int MatrixProdSelect(int rowsA, int colsA, int rowsB, int colsB, float** A, float** B, float** C,
                     int* select);
int MatrixProdSelect(int rowsA, int colsA, int rowsB, int colsB, double** A, double** B,
                     double** C, int* select);
int MatrixProdSelectMV(int rowsA, int colsA, int rowsB, int colsB, float** A, float** B,
                       float** C, int* select);
int MatrixProdSelectMV(int rowsA, int colsA, int rowsB, int colsB, double** A, double** B,
                       double** C, int* select);
int MatrixProdSelectMV(int rowsA, int colsA, int rowsB, int colsB, double** A, float** B,
                       float** C, int* select);
int MatrixProdSelectMV(int rowsA, int colsA, int rowsB, int colsB, double** A, float** B,
                       double** C, int* select);
int MatrixProdSelectMV(int rowsA, int colsA, int rowsB, int colsB, double** A, double** B,
                       float** C, int* select);

// Weighted means: for a selected column j, C[i][j] = sum A[i][k] B[k][j] / sum B[k][j] over the
// terms without a -999 factor (B's column holds the weights). A cell whose remaining weights
// sum to 0 is -999; unselected columns are 0.
int MatrixProdSelectMV_Adjust(int rowsA, int colsA, int rowsB, int colsB, double** A,
                              float** B, double** C, int* select);

// Updates in place a product C = A x B0 after B0 changed into B along the row and column
// `target`: for every i, every column j and every k with j == k, j == target or k == target,
// the old term B0[k][j] A[i][k] is subtracted and the new term B[k][j] A[i][k] added, each
// only when both of its factors are present. Returns 1 (nothing done) when colsA differs from
// rowsB or colsB <= target, else 0.
int MatrixProdTargetMV(int rowsA, int colsA, int rowsB, int colsB, int target, double** B0,
                       double** A, double** B, double** C);

// B[i][j] = k * A[i][j]; a -999 entry stays -999. Returns 0.
int ScalarMatrixProd(int rows, int cols, float k, float** A, float** B);
int ScalarMatrixProd(int rows, int cols, double k, double** A, double** B);

// ---------------------------------------------------------------- totals

// t[i] = sum of row i (t[j] = sum of column j); the MV members leave -999 entries out.
// Sums are taken in the precision of t. Return 1.
int RowTotals(int rows, int cols, float** A, float* t);
int RowTotals(int rows, int cols, float** A, double* t);
int RowTotals(int rows, int cols, double** A, double* t);
int RowTotalsMV(int rows, int cols, float** A, float* t);
int RowTotalsMV(int rows, int cols, float** A, double* t);
int RowTotalsMV(int rows, int cols, double** A, double* t);
int ColTotals(int rows, int cols, float** A, float* t);
int ColTotals(int rows, int cols, float** A, double* t);
int ColTotals(int rows, int cols, double** A, double* t);
int ColTotalsMV(int rows, int cols, float** A, float* t);
int ColTotalsMV(int rows, int cols, float** A, double* t);
int ColTotalsMV(int rows, int cols, double** A, double* t);

// Sum of all entries (MV: of the entries other than -999), in the precision of the result.
float MatrixTotal(int rows, int cols, float** A);
double MatrixTotal(int rows, int cols, double** A);
float MatrixTotalMV(int rows, int cols, float** A);
double MatrixTotalMV(int rows, int cols, double** A);

#endif
