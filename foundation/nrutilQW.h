// Classical numerical routines: sorting with a companion array, ranking with ties,
// Cholesky decomposition, Gauss-Jordan elimination, conversion between 0-based and
// 1-based matrices, symmetric eigen-analysis (Householder + QL, cyclic Jacobi) and the
// singular value decomposition, with the small 1-based allocators they use.
//
// Index conventions: unless said otherwise the routines work on 1-based arrays, a vector
// v[1..n] and a matrix a[1..n][1..m]. Arrays from the dim family (0-based) are used by
// allocating one more row and one more column and leaving index 0 unused; Convertn_n1 and
// Convertn1_n copy between the two layouts. choldc is the exception: it works 0-based.
//
// Every pointer handed out by the allocators below points into its own block: a vector of
// the range nl..nh is one block holding every index from min(nl, 0) to nh, and the pointer
// returned addresses index 0 of it, so v[nl] .. v[nh] (and v[0]) are inside the block.
#ifndef TNX_NRUTILQW_H
#define TNX_NRUTILQW_H

// Writes text and "Sorry, you have to quit and restart the program." on standard error and
// ends the program with status 1.
[[noreturn]] void nrerror(const char* text);

// ---------------------------------------------------------------- sorting and ranking

// Sorts arr[1..n] ascending (quicksort, median of three, insertion below 7 elements) and
// moves brr[1..n] along. Equal keys do not keep their input order in general; on fewer
// than 7 elements the straight insertion keeps it.
void sort2(unsigned long n, float* arr, float* brr);
void sort2(unsigned long n, double* arr, double* brr);
void sort2(unsigned long n, int* arr, int* brr);

// Fills indx[1..n] so that arr[indx[1]] <= arr[indx[2]] <= ...; arr is left unchanged.
void indexx(unsigned long n, float* arr, unsigned long* indx);

// Replaces the ascending w[1..n] by its ranks, tied values by their mean rank; *s receives
// the sum of t^3 - t over the groups of t tied values.
void crank(unsigned long n, float* w, float* s);
void crank(unsigned long n, double* w, double* s);

// ---------------------------------------------------------------- linear systems

// Cholesky factor of the symmetric positive definite a[0..n-1][0..n-1] (0-based): the
// factor's diagonal goes to p[0..n-1] and its lower part below the diagonal of a; the
// upper triangle with the diagonal keeps the input. Returns 1; when the matrix is not
// positive definite writes "\ncholdc failed" on standard output and returns 0.
int choldc(float** a, int n, float* p);
int choldc(double** a, int n, double* p);

// Gauss-Jordan elimination with full pivoting on the 1-based a[1..n][1..n] against the
// right-hand sides b[1..n][1..m]: a is replaced by its inverse, b by the solutions.
// Returns 1. A singular matrix writes "gaussj: Singular Matrix-1" or "gaussj: Singular
// Matrix-2" on standard error, stops the elimination before any division by a zero pivot
// and returns 0; a and b then hold partial, finite values that are not the solution.
int gaussj(double** a, int n, double** b, int m);
int gaussj(float** a, int n, float** b, int m);
// The same elimination without messages: returns 1, or 0 for a singular matrix.
int gaussj_QW(double** a, int n, double** b, int m);

// Copies the 0-based src[0..rows-1][0..cols-1] into dst[1..rows][1..cols].
void Convertn_n1(int rows, int cols, double** src, double** dst);
void Convertn_n1(int rows, int cols, float** src, float** dst);
void Convertn_n1(int rows, int cols, float** src, double** dst);
void Convertn_n1(int rows, int cols, double** src, float** dst);
// Copies the 1-based src[1..rows][1..cols] into dst[0..rows-1][0..cols-1].
void Convertn1_n(int rows, int cols, double** src, double** dst);
void Convertn1_n(int rows, int cols, float** src, float** dst);
void Convertn1_n(int rows, int cols, float** src, double** dst);
void Convertn1_n(int rows, int cols, double** src, float** dst);

// ---------------------------------------------------------------- eigen-analysis and SVD

// Householder reduction of the symmetric a[1..n][1..n] to tridiagonal form: diagonal in
// d[1..n], sub-diagonal in e[2..n] (e[1] = 0); a is replaced by the orthogonal matrix Q
// with Q^T A Q tridiagonal.
void tred2(float** a, int n, float* d, float* e);
void tred2(double** a, int n, double* d, double* e);

// Eigenvalues (into d) and eigenvectors (accumulated into the columns of z) of the
// symmetric tridiagonal matrix d, e as left by tred2, by QL iterations with implicit
// shifts. z enters as Q from tred2 (or the identity). e is destroyed. More than 30
// iterations for one eigenvalue end the program through nrerror.
void tqli(float* d, float* e, int n, float** z);
void tqli(double* d, double* e, int n, double** z);

// Eigenvalues d[1..n] and eigenvectors (columns of v[1..n][1..n]) of the symmetric
// a[1..n][1..n] by cyclic Jacobi rotations; *nrot = rotations done. The upper triangle of
// a is destroyed. More than 50 sweeps end the program through nrerror.
void jacobi(float** a, int n, float* d, float** v, int* nrot);

// Sorts d[1..n] descending, exchanging the columns of v with them.
void eigsrt(float* d, float** v, int n);
void eigsrt(double* d, double** v, int n);

// Singular value decomposition of a[1..m][1..n] = U W V^T: U replaces a, the singular
// values (not sorted, all >= 0) go to w[1..n], V to v[1..n][1..n]. More than 30 iterations
// for one singular value end the program through nrerror.
void svdcmp(float** a, int m, int n, float* w, float** v);
void svdcmp(double** a, int m, int n, double* w, double** v);

// sqrt(a^2 + b^2) without destructive overflow or underflow, in the precision of its type.
float pythag(float a, float b);
double pythag(double a, double b);

// ---------------------------------------------------------------- 1-based allocators

// Vectors of the index range nl..nh. A block the system refuses raises code 1 (out of memory);
// so do the matrices and tensors below, with the blocks made before it freed.
float* vector(long nl, long nh);
double* dvector(long nl, long nh);
int* ivector(long nl, long nh);
char* cvector(long nl, long nh);
long* lvector(long nl, long nh);
void free_vector(float* v, long nl, long nh);
void free_dvector(double* v, long nl, long nh);
void free_ivector(int* v, long nl, long nh);
void free_cvector(char* v, long nl, long nh);
void free_lvector(long* v, long nl, long nh);

// Matrices m[nrl..nrh][ncl..nch]: a row table and one block for all rows, each row holding
// every column index from min(ncl, 0) to nch.
float** matrix(long nrl, long nrh, long ncl, long nch);
double** dmatrix(long nrl, long nrh, long ncl, long nch);
int** imatrix(long nrl, long nrh, long ncl, long nch);
void free_matrix(float** m, long nrl, long nrh, long ncl, long nch);
void free_dmatrix(double** m, long nrl, long nrh, long ncl, long nch);
void free_imatrix(int** m, long nrl, long nrh, long ncl, long nch);

// A row table addressing a[oldrl..oldrh][oldcl..] as m[newrl..][newcl..]. The new column
// range may not start above the old one (newcl <= oldcl), so that every row pointer stays
// inside a's rows. Nothing is copied; free_submatrix releases the table only.
float** submatrix(float** a, long oldrl, long oldrh, long oldcl, long newrl, long newcl);
void free_submatrix(float** b, long nrl, long nrh, long ncl, long nch);

// A row table over the caller's contiguous block a, addressed as m[nrl..nrh][ncl..nch].
// Like the rows of matrix(), each row of the block holds every column index from
// min(ncl, 0) to nch (with ncl = 0 the block is the plain row-major nrows x ncols array;
// with ncl = 1 each row begins with one unused place). free_convert_matrix releases the
// table only.
float** convert_matrix(float* a, long nrl, long nrh, long ncl, long nch);
void free_convert_matrix(float** b, long nrl, long nrh, long ncl, long nch);

// A 3-D float array t[nrl..nrh][ncl..nch][ndl..ndh] of three allocations.
float*** f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh);
void free_f3tensor(float*** t, long nrl, long nrh, long ncl, long nch, long ndl, long ndh);

#endif
