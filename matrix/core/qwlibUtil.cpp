// Matrix and vector utilities: copies, transposes, traces, inner products, products that skip
// missing values, scalar products, mirroring of triangles and totals.
#include "matrix/core/qwlibUtil.h"

namespace {

// The missing-value test in the value's own precision (this layer sits below the statistics).
inline bool Missing(float x) { return x == -999.0f; }
inline bool Missing(double x) { return x == -999.0; }

// Product kernel shared by every member. The running sum has the result's type R, so that
// `s += a * b` forms the product in the wider of the two factor types and rounds the sum to R
// after every term. Cells are computed whole before being stored. markEmptyZero: a cell with a
// skipped term whose remaining sum is exactly 0 becomes -999. select (may be null): only
// columns with select[j] == 1 are computed, the others set to 0.
template <class TA, class TB, class R>
int ProdT(int rowsA, int colsA, int rowsB, int colsB, TA** A, TB** B, R** C, const int* select,
          bool markEmptyZero) {
    if (colsA != rowsB) return 1;
    for (int i = 0; i < rowsA; i++)
        for (int j = 0; j < colsB; j++) {
            if (select && select[j] != 1) {
                C[i][j] = R(0);
                continue;
            }
            R s = R(0);
            bool skipped = false;
            for (int k = 0; k < colsA; k++) {
                if (Missing(A[i][k]) || Missing(B[k][j])) {
                    skipped = true;
                    continue;
                }
                s += A[i][k] * B[k][j];
            }
            C[i][j] = (markEmptyZero && skipped && s == R(0)) ? R(-999) : s;
        }
    return 0;
}

template <class T>
void CopyT(int rows, int cols, T** A, T** B) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) B[i][j] = A[i][j];
}

template <class TA, class TB>
void TransposeT(int rows, int cols, TA** A, TB** At) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) At[j][i] = TB(A[i][j]);
}

// In place (A == B): the exchange of the two cells of each pair. Distinct matrices: a plain
// transpose of A into B (the exchange would leave B's upper triangle from A's lower one only
// half-filled).
template <class T>
void TransposeSqT(int n, T** A, T** B) {
    if (A != B) {
        TransposeT(n, n, A, B);
        return;
    }
    for (int i = 0; i < n; i++)
        for (int j = 0; j <= i; j++) {
            T t = B[j][i];
            B[j][i] = A[i][j];
            B[i][j] = t;
        }
}

template <class T>
T TraceT(int n, T** A) {
    T s = T(0);
    for (int i = 0; i < n; i++) s += A[i][i];
    return s;
}

template <class TX, class TY, class R>
R VectorProdT(int n, TX* x, TY* y) {
    R s = R(0);
    for (int i = 0; i < n; i++) s += R(x[i] * y[i]);
    return s;
}

template <class T>
void MirrorT(int n, T** A, bool upperToLower) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            if (upperToLower)
                A[j][i] = A[i][j];
            else
                A[i][j] = A[j][i];
        }
}

template <class T>
int ScalarProdT(int rows, int cols, T k, T** A, T** B) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) B[i][j] = Missing(A[i][j]) ? A[i][j] : T(k * A[i][j]);
    return 0;
}

// Row (byRows) or column totals into t, summed in t's type; skip leaves -999 out.
template <class T, class R>
int TotalsT(int rows, int cols, T** A, R* t, bool byRows, bool skip) {
    int outer = byRows ? rows : cols, inner = byRows ? cols : rows;
    for (int a = 0; a < outer; a++) {
        R s = R(0);
        for (int b = 0; b < inner; b++) {
            T x = byRows ? A[a][b] : A[b][a];
            if (skip && Missing(x)) continue;
            s += x;
        }
        t[a] = s;
    }
    return 1;
}

template <class T>
T MatrixTotalT(int rows, int cols, T** A, bool skip) {
    T s = T(0);
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++)
            if (!(skip && Missing(A[i][j]))) s += A[i][j];
    return s;
}

}  // namespace

// ---------------------------------------------------------------- copies and transposes

void CopyMatrix(int rows, int cols, double** A, double** B) { CopyT(rows, cols, A, B); }
void CopyMatrix(int rows, int cols, float** A, float** B) { CopyT(rows, cols, A, B); }

void TransposeMatrix(int rows, int cols, float** A, float** At) { TransposeT(rows, cols, A, At); }
void TransposeMatrix(int rows, int cols, double** A, double** At) { TransposeT(rows, cols, A, At); }
void TransposeMatrix(int rows, int cols, float** A, double** At) { TransposeT(rows, cols, A, At); }

void TransposeSqMatrix(int n, int** A, int** B) { TransposeSqT(n, A, B); }
void TransposeSqMatrix(int n, float** A, float** B) { TransposeSqT(n, A, B); }
void TransposeSqMatrix(int n, double** A, double** B) { TransposeSqT(n, A, B); }

float MatrixTrace(int n, float** A) { return TraceT(n, A); }
double MatrixTrace(int n, double** A) { return TraceT(n, A); }

float VectorProd(int n, float* x, float* y) { return VectorProdT<float, float, float>(n, x, y); }
double VectorProd(int n, double* x, double* y) { return VectorProdT<double, double, double>(n, x, y); }
float VectorProd(int n, float* x, int* y) { return VectorProdT<float, int, float>(n, x, y); }

void LowerToUpperMatrix(int n, float** A) { MirrorT(n, A, false); }
void LowerToUpperMatrix(int n, double** A) { MirrorT(n, A, false); }
void UpperToLowerMatrix(int n, float** A) { MirrorT(n, A, true); }
void UpperToLowerMatrix(int n, double** A) { MirrorT(n, A, true); }

// ---------------------------------------------------------------- products

int MatrixProdMV(int rA, int cA, int rB, int cB, float** A, float** B, float** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProdMV(int rA, int cA, int rB, int cB, double** A, double** B, double** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProdMV(int rA, int cA, int rB, int cB, double** A, float** B, float** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, true);
}
int MatrixProdMV(int rA, int cA, int rB, int cB, float** A, double** B, double** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProdMV(int rA, int cA, int rB, int cB, float** A, double** B, float** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProdMV(int rA, int cA, int rB, int cB, double** A, float** B, double** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProdMV(int rA, int cA, int rB, int cB, float** A, float** B, double** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}

int MatrixProd(int rA, int cA, int rB, int cB, float** A, float** B, float** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProd(int rA, int cA, int rB, int cB, double** A, double** B, double** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProd(int rA, int cA, int rB, int cB, double** A, float** B, float** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}
int MatrixProd(int rA, int cA, int rB, int cB, double** A, double** B, float** C) {
    return ProdT(rA, cA, rB, cB, A, B, C, nullptr, false);
}

int MatrixProdSelect(int rA, int cA, int rB, int cB, float** A, float** B, float** C, int* sel) {
    return ProdT(rA, cA, rB, cB, A, B, C, sel, false);
}
int MatrixProdSelect(int rA, int cA, int rB, int cB, double** A, double** B, double** C,
                     int* sel) {
    return ProdT(rA, cA, rB, cB, A, B, C, sel, false);
}
int MatrixProdSelectMV(int rA, int cA, int rB, int cB, float** A, float** B, float** C,
                       int* sel) {
    return ProdT(rA, cA, rB, cB, A, B, C, sel, false);
}
int MatrixProdSelectMV(int rA, int cA, int rB, int cB, double** A, double** B, double** C,
                       int* sel) {
    return ProdT(rA, cA, rB, cB, A, B, C, sel, false);
}
int MatrixProdSelectMV(int rA, int cA, int rB, int cB, double** A, float** B, float** C,
                       int* sel) {
    return ProdT(rA, cA, rB, cB, A, B, C, sel, false);
}
int MatrixProdSelectMV(int rA, int cA, int rB, int cB, double** A, float** B, double** C,
                       int* sel) {
    return ProdT(rA, cA, rB, cB, A, B, C, sel, false);
}
int MatrixProdSelectMV(int rA, int cA, int rB, int cB, double** A, double** B, float** C,
                       int* sel) {
    return ProdT(rA, cA, rB, cB, A, B, C, sel, false);
}

int MatrixProdSelectMV_Adjust(int rowsA, int colsA, int rowsB, int colsB, double** A,
                              float** B, double** C, int* select) {
    if (colsA != rowsB) return 1;
    for (int i = 0; i < rowsA; i++)
        for (int j = 0; j < colsB; j++) {
            if (select[j] != 1) {
                C[i][j] = 0.0;
                continue;
            }
            double s = 0.0, w = 0.0;
            for (int k = 0; k < colsA; k++) {
                if (Missing(A[i][k]) || Missing(B[k][j])) continue;
                s += A[i][k] * B[k][j];
                w += B[k][j];
            }
            // No weight left: the mean is undefined, marked missing rather than 0/0.
            C[i][j] = w == 0.0 ? -999.0 : s / w;
        }
    return 0;
}

int MatrixProdTargetMV(int rowsA, int colsA, int rowsB, int colsB, int target, double** B0,
                       double** A, double** B, double** C) {
    if (colsA != rowsB || colsB <= target) return 1;
    for (int i = 0; i < rowsA; i++)
        for (int j = 0; j < colsB; j++)
            for (int k = 0; k < colsA; k++) {
                if (!(j == k || j == target || k == target)) continue;
                if (Missing(A[i][k])) continue;
                // Each term is taken out or put in only where its own factors are present: the
                // old term entered the product only then, and -999 is never a number here.
                if (!Missing(B0[k][j])) C[i][j] = C[i][j] - B0[k][j] * A[i][k];
                if (!Missing(B[k][j])) C[i][j] = C[i][j] + B[k][j] * A[i][k];
            }
    return 0;
}

int ScalarMatrixProd(int rows, int cols, float k, float** A, float** B) {
    return ScalarProdT(rows, cols, k, A, B);
}
int ScalarMatrixProd(int rows, int cols, double k, double** A, double** B) {
    return ScalarProdT(rows, cols, k, A, B);
}

// ---------------------------------------------------------------- totals

int RowTotals(int r, int c, float** A, float* t) { return TotalsT(r, c, A, t, true, false); }
int RowTotals(int r, int c, float** A, double* t) { return TotalsT(r, c, A, t, true, false); }
int RowTotals(int r, int c, double** A, double* t) { return TotalsT(r, c, A, t, true, false); }
int RowTotalsMV(int r, int c, float** A, float* t) { return TotalsT(r, c, A, t, true, true); }
int RowTotalsMV(int r, int c, float** A, double* t) { return TotalsT(r, c, A, t, true, true); }
int RowTotalsMV(int r, int c, double** A, double* t) { return TotalsT(r, c, A, t, true, true); }
int ColTotals(int r, int c, float** A, float* t) { return TotalsT(r, c, A, t, false, false); }
int ColTotals(int r, int c, float** A, double* t) { return TotalsT(r, c, A, t, false, false); }
int ColTotals(int r, int c, double** A, double* t) { return TotalsT(r, c, A, t, false, false); }
int ColTotalsMV(int r, int c, float** A, float* t) { return TotalsT(r, c, A, t, false, true); }
int ColTotalsMV(int r, int c, float** A, double* t) { return TotalsT(r, c, A, t, false, true); }
int ColTotalsMV(int r, int c, double** A, double* t) { return TotalsT(r, c, A, t, false, true); }

float MatrixTotal(int rows, int cols, float** A) { return MatrixTotalT(rows, cols, A, false); }
double MatrixTotal(int rows, int cols, double** A) { return MatrixTotalT(rows, cols, A, false); }
float MatrixTotalMV(int rows, int cols, float** A) { return MatrixTotalT(rows, cols, A, true); }
double MatrixTotalMV(int rows, int cols, double** A) { return MatrixTotalT(rows, cols, A, true); }
