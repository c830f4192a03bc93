// The BLAS and LAPACK calls of the program, through OpenBLAS's Fortran entry points. OpenBLAS
// also serves the numerical library's CBLAS calls. The program links its single-threaded build,
// which starts no worker thread: every call runs on the calling thread, so that no result depends
// on how many cores the machine has; the kernels are the ones the processor runs fastest.
#include "foundation/TnxBlas.h"

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

#include <pthread.h>
#include <strings.h>
#include <sys/mman.h>

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

// The work buffers of the library's level-3 routines (and of the LAPACK routines built on them) are
// the program's own: the library's calls of its buffer allocator come here (a definition in the
// program precedes the library's in the dynamic linker's search) and never reach the library's.
// Its single-threaded build hands them out from one table that it does not lock, so two threads in
// a product at once could be given the same buffer; and when the system refuses a buffer (under an
// address-space limit), its allocator tries again without end. Here each thread has a buffer of its
// own, mapped before its first product and given back when the thread ends: the threads never
// share or wait for one, and a thread that cannot have one is told so before it calls the library.
namespace {

// The buffer a call of the library may fill: the library's x86-64 builds fix it at 128 MiB and
// choose their blocking to fill it, and map one page more for its alignment; the same here.
constexpr std::size_t kBufferBytes = (std::size_t{32} << 22) + 4096;

void* MapBuffer() {
    // Only address space until the library writes to it: the pages are the system's to give then.
    void* area = mmap(nullptr, kBufferBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                      -1, 0);
    return area == MAP_FAILED ? nullptr : area;
}

// The calling thread's buffer, and whether a call of the library has it now.
struct ThreadBuffer {
    void* area;
    bool lent;
};

thread_local ThreadBuffer threadBuffer = {nullptr, false};

// The buffer goes back to the system when its thread ends, through a key of the thread library
// whose value is the buffer: unlike a destructor of a thread-local object, it allocates nothing
// when a thread takes its buffer, so the loops' allocations stay the same from run to run.
pthread_key_t EndOfThreadKey() {
    static const pthread_key_t key = [] {
        pthread_key_t k;
        if (pthread_key_create(&k, [](void* area) { munmap(area, kBufferBytes); }) != 0) {
            std::fputs("\nThe thread library has no key left for the BLAS work buffers.\n", stderr);
            std::abort();
        }
        return k;
    }();
    return key;
}

// The calling thread's buffer, mapped now if it has none; false when the system refuses it.
bool TakeBuffer(ThreadBuffer& b) {
    if (b.area) return true;
    const pthread_key_t key = EndOfThreadKey();
    b.area = MapBuffer();
    if (!b.area) return false;
    pthread_setspecific(key, b.area);
    return true;
}

// A library call on a thread that holds no buffer and cannot have one. Every entry of the program
// takes its thread's buffer before it calls the library, so this is only reached by a call from
// outside them; the library cannot be told that the memory is missing, so the program ends here.
[[noreturn]] void NoBufferForTheLibrary() {
    std::fputs("\nOUT OF MEMORY !!!\n", stderr);
    std::fputs("\nQuit and restart TARNEX.\n", stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

extern "C" void* blas_memory_alloc(int /*procpos*/) {
    ThreadBuffer& b = threadBuffer;
    if (TakeBuffer(b) && !b.lent) {
        b.lent = true;
        return b.area;
    }
    // A second buffer while the first is lent (a routine of the library nesting its calls): one
    // more, unmapped when it is given back.
    if (b.area)
        if (void* extra = MapBuffer()) return extra;
    NoBufferForTheLibrary();
}

extern "C" void blas_memory_free(void* area) {
    ThreadBuffer& b = threadBuffer;
    if (area == b.area) {
        b.lent = false;
        return;
    }
    if (area) munmap(area, kBufferBytes);
}

bool HoldBlasBuffer() { return TakeBuffer(threadBuffer); }

void EnsureBlasBuffer() {
    if (!HoldBlasBuffer()) RaiseError(TNX_OUT_OF_MEMORY);
}

bool HoldsBlasBuffer() { return threadBuffer.area != nullptr; }

std::size_t BlasBufferBytes() { return kBufferBytes; }

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
    EnsureBlasBuffer();
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
    EnsureBlasBuffer();
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
    EnsureBlasBuffer();
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
    // A refused block (code 1) frees those made before it.
    try {
        work = dim1Double(lwork);
        iwork = dim1Dint(8 * mn);
        s = dim1Double(mn);
    } catch (...) {
        free1D(work);
        free1D(iwork);
        throw;
    }
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
    EnsureBlasBuffer();
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
    // A refused block (code 1) frees those made before it.
    try {
        work = dim1Double(lwork);
        iwork = dim1Dint(liwork);
        values = dim1Double(maxOrder);
    } catch (...) {
        free1D(work);
        free1D(iwork);
        throw;
    }
}

SymmetricEigenWork::~SymmetricEigenWork() {
    free1D(work);
    free1D(iwork);
    free1D(values);
}

bool SymmetricEigen(int m, double* a, SymmetricEigenWork& w) {
    if (m < 1 || m > w.maxOrder) return false;
    BlasSingleThreaded();
    EnsureBlasBuffer();
    int info = 0;
    // Row-major upper is column-major lower: the same symmetric matrix either way.
    dsyevd_("V", "L", &m, a, &m, w.values, w.work, &w.lwork, w.iwork, &w.liwork, &info, 1, 1);
    return info == 0;
}
