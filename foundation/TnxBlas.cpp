// The BLAS and LAPACK calls of the program, through OpenBLAS's Fortran entry points. OpenBLAS
// also serves the numerical library's CBLAS calls. The program links its single-threaded build,
// which starts no worker thread: every call runs on the calling thread, so that no result depends
// on how many cores the machine has; the kernels are the ones the processor runs fastest.
#include "foundation/TnxBlas.h"

#include "foundation/qwlibDim.h"

#include <dlfcn.h>
#include <strings.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <mutex>

extern "C" {
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* b, const int* ldb, const double* beta, double* c,
            const int* ldc, std::size_t la, std::size_t lb);
void dgesdd_(const char* jobz, const int* m, const int* n, double* a, const int* lda, double* s, double* u,
             const int* ldu, double* vt, const int* ldvt, double* work, const int* lwork, int* iwork, int* info,
             std::size_t ljobz);
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha, const double* a,
            const int* lda, const double* beta, double* c, const int* ldc, std::size_t luplo, std::size_t ltrans);
void dgeqrf_(const int* m, const int* n, double* a, const int* lda, double* tau, double* work, const int* lwork,
             int* info);
void dsyevd_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w, double* work,
             const int* lwork, int* iwork, const int* liwork, int* info, std::size_t ljobz, std::size_t luplo);
void openblas_set_num_threads(int n);
char* openblas_get_corename(void);
// Present in the builds that carry kernels for several processors (Debian's).
void gotoblas_dynamic_init(void) __attribute__((weak));
void gotoblas_dynamic_quit(void) __attribute__((weak));
}

// Debian's single-threaded OpenBLAS hands out the work buffers of its level-3 routines (and of the
// LAPACK routines built on them) from one table that it does not lock: two threads in a product at
// once can be given the same buffer and overwrite each other's packed blocks, and each result then
// depends on how the threads met. The program's loops call the BLAS from several threads at once,
// so the library's calls of its buffer allocator come here first (a definition in the program
// precedes the library's in the dynamic linker's search) and reach the library's allocator one at a
// time. A recursive lock, should the allocator ever call itself through the same entry.
namespace {

std::recursive_mutex& BufferTableLock() {
    static std::recursive_mutex lock;
    return lock;
}

// The library's own entry point of `name`, the next definition after the program's.
void* LibraryEntry(const char* name) {
    void* entry = dlsym(RTLD_NEXT, name);
    if (!entry) {
        std::fprintf(stderr, "\nThe BLAS library has no %s.\n", name);
        std::abort();
    }
    return entry;
}

}  // namespace

extern "C" void* blas_memory_alloc(int procpos) {
    static const auto library = reinterpret_cast<void* (*)(int)>(LibraryEntry("blas_memory_alloc"));
    const std::lock_guard<std::recursive_mutex> one(BufferTableLock());
    return library(procpos);
}

extern "C" void blas_memory_free(void* area) {
    static const auto library = reinterpret_cast<void (*)(void*)>(LibraryEntry("blas_memory_free"));
    const std::lock_guard<std::recursive_mutex> one(BufferTableLock());
    library(area);
}

namespace {

// OpenBLAS built for several processors picks its kernels by the processor's model; a model
// newer than the library falls back to its oldest kernels (Prescott, without AVX) although the
// processor runs the AVX-512 or AVX2 ones, at a fraction of their speed. The kernels are then
// chosen again by instruction set, through the library's own OPENBLAS_CORETYPE (unless the user
// set it), before any product is formed.
void ChooseKernels() {
    if (std::getenv("OPENBLAS_CORETYPE") || !gotoblas_dynamic_init || !gotoblas_dynamic_quit) return;
    const char* core = openblas_get_corename();
    if (!core || strcasecmp(core, "Prescott") != 0) return;
    __builtin_cpu_init();
    const char* kernels = nullptr;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl"))
        kernels = "SkylakeX";
    else if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        kernels = "Haswell";
    if (!kernels) return;
    setenv("OPENBLAS_CORETYPE", kernels, 1);
    gotoblas_dynamic_quit();
    gotoblas_dynamic_init();
    unsetenv("OPENBLAS_CORETYPE");
}

}  // namespace

void BlasSingleThreaded() {
    static std::once_flag once;
    std::call_once(once, [] {
        ChooseKernels();
        // The single-threaded build has one thread already; a threaded library put in its place
        // (by the loader's search path) is kept to one as well.
        openblas_set_num_threads(1);
    });
}

namespace {
// Before main, so that the numerical library's first calls run on the chosen kernels too.
const bool kSingleThreadedAtStart = (BlasSingleThreaded(), true);
}  // namespace

namespace {

// The column-major call behind the row-major products: a row-major C = op(A) op(B) is the
// column-major C' = op(B)' op(A)'.
void Gemm(char ta, char tb, int m, int n, int k, const double* A, int lda, const double* B, int ldb, double* C,
          int ldc, double alpha, double beta) {
    BlasSingleThreaded();
    if (m < 1 || n < 1) return;
    if (k < 1) {
        // No term: C = beta C (written, not scaled, when beta is 0, as the BLAS does).
        for (int i = 0; i < m; i++) {
            double* row = C + static_cast<std::ptrdiff_t>(i) * ldc;
            for (int j = 0; j < n; j++) row[j] = beta == 0.0 ? 0.0 : beta * row[j];
        }
        return;
    }
    dgemm_(&tb, &ta, &n, &m, &k, &alpha, B, &ldb, A, &lda, &beta, C, &ldc, 1, 1);
}

}  // namespace

void MatMul(int m, int n, int k, const double* A, int lda, const double* B, int ldb, double* C, int ldc, double alpha,
            double beta) {
    Gemm('N', 'N', m, n, k, A, lda, B, ldb, C, ldc, alpha, beta);
}

void MatMulBt(int m, int n, int k, const double* A, int lda, const double* B, int ldb, double* C, int ldc,
              double alpha, double beta) {
    Gemm('N', 'T', m, n, k, A, lda, B, ldb, C, ldc, alpha, beta);
}

void MatMulAt(int m, int n, int k, const double* A, int lda, const double* B, int ldb, double* C, int ldc,
              double alpha, double beta) {
    Gemm('T', 'N', m, n, k, A, lda, B, ldb, C, ldc, alpha, beta);
}

void GramUpper(int n, int k, const double* A, int lda, double* C, int ldc) {
    BlasSingleThreaded();
    if (n < 1) return;
    if (k < 1) {
        for (int i = 0; i < n; i++) std::fill(C + static_cast<std::ptrdiff_t>(i) * ldc + i, C + i * static_cast<std::ptrdiff_t>(ldc) + n, 0.0);
        return;
    }
    // Row-major A is the column-major A' (k x n); the row-major upper triangle of C is the
    // column-major lower one.
    const double one = 1.0, zero = 0.0;
    dsyrk_("L", "T", &n, &k, &one, A, &lda, &zero, C, &ldc, 1, 1);
}

int QrWorkSize(int rows, int cols) {
    BlasSingleThreaded();
    rows = std::max(rows, 1), cols = std::max(cols, 1);
    double best = 0.0, a = 0.0, tau = 0.0;
    int info = 0, query = -1;
    dgeqrf_(&rows, &cols, &a, &rows, &tau, &best, &query, &info);
    return std::max(info == 0 ? static_cast<int>(best) : 0, cols);
}

bool QrDecomposition(int rows, int cols, double* a, double* tau, double* work, int lwork) {
    if (rows < 1 || cols < 1 || rows < cols) return false;
    BlasSingleThreaded();
    int info = 0;
    dgeqrf_(&rows, &cols, a, &rows, tau, work, &lwork, &info);
    return info == 0;
}

SingularValueWork::SingularValueWork(int rows, int cols) : maxRows(std::max(rows, 1)), maxCols(std::max(cols, 1)) {
    BlasSingleThreaded();
    // The largest work space any shape within the bounds asks for: LAPACK's query on the
    // bounding shape in both orientations.
    const int mx = std::max(maxRows, maxCols), mn = std::min(maxRows, maxCols);
    int query = 0;
    for (int pass = 0; pass < 2; pass++) {
        const int m = pass == 0 ? mx : mn, n = pass == 0 ? mn : mx;
        double best = 0.0, a = 0.0, u = 0.0, vt = 0.0, sv = 0.0;
        int iw = 0, info = 0, lw = -1, one = 1;
        dgesdd_("N", &m, &n, &a, &m, &sv, &u, &one, &vt, &one, &best, &lw, &iw, &info, 1);
        query = std::max(query, info == 0 ? static_cast<int>(best) : 0);
    }
    // The documented minimum for singular values only, should the query say less.
    lwork = std::max(query, 3 * mn + std::max(mx, 7 * mn));
    work = dim1Double(lwork);
    iwork = dim1Dint(8 * mn);
    s = dim1Double(mn);
}

SingularValueWork::~SingularValueWork() {
    free1D(work);
    free1D(iwork);
    free1D(s);
}

bool SingularValues(int m, int n, double* a, SingularValueWork& w) {
    if (m < 1 || n < 1) return false;
    if (std::max(m, n) > std::max(w.maxRows, w.maxCols) || std::min(m, n) > std::min(w.maxRows, w.maxCols))
        return false;
    BlasSingleThreaded();
    int info = 0, one = 1;
    double u = 0.0, vt = 0.0;
    dgesdd_("N", &m, &n, a, &m, w.s, &u, &one, &vt, &one, w.work, &w.lwork, w.iwork, &info, 1);
    return info == 0;
}

SymmetricEigenWork::SymmetricEigenWork(int order) : maxOrder(std::max(order, 1)) {
    BlasSingleThreaded();
    double best = 0.0, a = 0.0, v = 0.0;
    int ibest = 0, info = 0, query = -1;
    dsyevd_("V", "U", &maxOrder, &a, &maxOrder, &v, &best, &query, &ibest, &query, &info, 1, 1);
    // The documented sizes for vectors, should the query say less.
    lwork = std::max(info == 0 ? static_cast<int>(best) : 0, 1 + 6 * maxOrder + 2 * maxOrder * maxOrder);
    liwork = std::max(info == 0 ? ibest : 0, 3 + 5 * maxOrder);
    work = dim1Double(lwork);
    iwork = dim1Dint(liwork);
    values = dim1Double(maxOrder);
}

SymmetricEigenWork::~SymmetricEigenWork() {
    free1D(work);
    free1D(iwork);
    free1D(values);
}

bool SymmetricEigen(int m, double* a, SymmetricEigenWork& w) {
    if (m < 1 || m > w.maxOrder) return false;
    BlasSingleThreaded();
    int info = 0;
    // Row-major upper is column-major lower: the same symmetric matrix either way.
    dsyevd_("V", "L", &m, a, &m, w.values, w.work, &w.lwork, w.iwork, &w.liwork, &info, 1, 1);
    return info == 0;
}
