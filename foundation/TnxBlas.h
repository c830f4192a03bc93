// Dense products and singular values through the optimised BLAS and LAPACK (OpenBLAS), on
// contiguous row-major blocks: the products of the permutation loops that grow with the square
// of the OTUs, and the singular values of the Procrustes congruence.
#ifndef TNX_BLAS_H
#define TNX_BLAS_H

#include <cstddef>

// Chooses the BLAS kernels and keeps the BLAS on the calling thread: the loops share their
// iterations among threads of their own, each calling the BLAS on its own work space. Idempotent;
// every routine below calls it.
void BlasSingleThreaded();

// The work buffer of the BLAS's level-3 and LAPACK routines: each thread that calls them has one of
// its own (BlasBufferBytes() of address space), mapped at its first need and given back when the
// thread ends. HoldBlasBuffer maps the calling thread's buffer if it has none yet and says whether
// it holds one: false when the system refuses the memory. EnsureBlasBuffer raises error code 1
// (out of memory) instead of returning false. The products and decompositions below call it
// before the library, so that the library is never left waiting for memory it cannot have; code
// that calls the library by another road (the numerical library's routines) calls it first.
bool HoldBlasBuffer();
void EnsureBlasBuffer();
// Whether the calling thread holds its buffer now.
bool HoldsBlasBuffer();
std::size_t BlasBufferBytes();

// C (m x n) = alpha A (m x k) B (k x n) + beta C; row-major blocks with leading dimensions lda,
// ldb, ldc (beta 0: C is only written).
void MatMul(int m, int n, int k, const double* A, int lda, const double* B, int ldb, double* C, int ldc,
            double alpha = 1.0, double beta = 0.0);
// C (m x n) = alpha A (m x k) B' + beta C, with B n x k.
void MatMulBt(int m, int n, int k, const double* A, int lda, const double* B, int ldb, double* C, int ldc,
              double alpha = 1.0, double beta = 0.0);
// C (m x n) = alpha A' B + beta C, with A k x m and B k x n.
void MatMulAt(int m, int n, int k, const double* A, int lda, const double* B, int ldb, double* C, int ldc,
              double alpha = 1.0, double beta = 0.0);

// The upper triangle (diagonal included) of C (n x n) = A A', A n x k row-major: half the work
// of the whole product; the cells below the diagonal are left as they were.
void GramUpper(int n, int k, const double* A, int lda, double* C, int ldc);

// Work space of SingularValues for matrices of at most maxRows x maxCols (either orientation),
// allocated once; the routine then allocates nothing.
struct SingularValueWork {
    int maxRows = 0, maxCols = 0;
    int lwork = 0;
    double* work = nullptr;
    int* iwork = nullptr;
    double* s = nullptr;  // the singular values, in decreasing order
    SingularValueWork(int maxRows, int maxCols);
    ~SingularValueWork();
    SingularValueWork(const SingularValueWork&) = delete;
    SingularValueWork& operator=(const SingularValueWork&) = delete;
};

// The min(m, n) singular values of the column-major m x n matrix a (leading dimension m), in
// decreasing order into w.s, by LAPACK's divide-and-conquer decomposition without singular
// vectors; a is overwritten. False when the matrix does not fit the work space or the
// decomposition fails.
bool SingularValues(int m, int n, double* a, SingularValueWork& w);

// QR decomposition of the column-major rows x cols matrix a (rows >= cols, leading dimension
// rows) by LAPACK's blocked Householder routine: R in the upper triangle of a, the reflectors
// below it and in tau (cols values). work: QrWorkSize(rows, cols) values. False on failure.
int QrWorkSize(int rows, int cols);
bool QrDecomposition(int rows, int cols, double* a, double* tau, double* work, int lwork);

// Work space of SymmetricEigen for orders up to maxOrder, allocated once.
struct SymmetricEigenWork {
    int maxOrder = 0, lwork = 0, liwork = 0;
    double* work = nullptr;
    int* iwork = nullptr;
    double* values = nullptr;  // the eigenvalues, in increasing order
    explicit SymmetricEigenWork(int maxOrder);
    ~SymmetricEigenWork();
    SymmetricEigenWork(const SymmetricEigenWork&) = delete;
    SymmetricEigenWork& operator=(const SymmetricEigenWork&) = delete;
};

// Eigenvalues (into w.values, increasing) and eigenvectors of the symmetric m x m matrix a (both
// halves filled; its row-major upper triangle is read) by LAPACK's divide-and-conquer routine;
// a is overwritten by the vectors, the one of values[j] in a[j * m .. j * m + m - 1]. False when
// m does not fit the work space or the routine fails.
bool SymmetricEigen(int m, double* a, SymmetricEigenWork& w);

#endif
