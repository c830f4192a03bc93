// Dense products, singular values and symmetric eigenvalues through the BLAS and LAPACK, on
// row-major blocks, against products and decompositions worked out by hand.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "foundation/TnxBlas.h"
#include "foundation/TnxError.h"
#include "foundation/TnxThreads.h"

extern "C" int openblas_get_parallel(void);
extern "C" void* blas_memory_alloc(int procpos);
extern "C" void blas_memory_free(void* area);
extern "C" void dgesdd_(const char* jobz, const int* m, const int* n, double* a, const int* lda, double* s, double* u,
                        const int* ldu, double* vt, const int* ldvt, double* work, const int* lwork, int* iwork,
                        int* info, size_t ljobz);

namespace {

using V = std::vector<double>;

// The file of the shared library that serves the process's `symbol`.
std::string LibraryOf(const char* symbol) {
    void* address = dlsym(RTLD_DEFAULT, symbol);
    Dl_info info{};
    if (!address || !dladdr(address, &info) || !info.dli_fname) return "";
    return info.dli_fname;
}

void ExpectNear(const V& got, const V& expected, double tolerance) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i++) EXPECT_NEAR(got[i], expected[i], tolerance) << i;
}

}  // namespace

// A = [1 2; 3 4; 5 6] (3 x 2), B = [1 0 2; -1 1 0] (2 x 3): A B = [-1 2 2; -1 4 6; -1 6 10] by hand.
// An inner dimension of 1 is an outer product; of 0, C = beta C. beta 1 adds to C.
TEST(Blas, ProductsInEveryLayoutAndInnerDimension) {
    const V A = {1, 2, 3, 4, 5, 6}, B = {1, 0, 2, -1, 1, 0};
    V C(9, 7.0);
    MatMul(3, 3, 2, A.data(), 2, B.data(), 3, C.data(), 3);
    ExpectNear(C, {-1, 2, 2, -1, 4, 6, -1, 6, 10}, 1e-15);
    MatMul(3, 3, 2, A.data(), 2, B.data(), 3, C.data(), 3, 2.0, 1.0);  // C + 2 A B
    ExpectNear(C, {-3, 6, 6, -3, 12, 18, -3, 18, 30}, 1e-15);

    // B' is 3 x 2: A B'' = A B again from the transposed storage.
    const V Bt = {1, -1, 0, 1, 2, 0};
    V D(9, 0.0);
    MatMulBt(3, 3, 2, A.data(), 2, Bt.data(), 2, D.data(), 3);
    ExpectNear(D, {-1, 2, 2, -1, 4, 6, -1, 6, 10}, 1e-15);
    // A' (2 x 3) times A (3 x 2) = [35 44; 44 56].
    V E(4, 0.0);
    MatMulAt(2, 2, 3, A.data(), 2, A.data(), 2, E.data(), 2);
    ExpectNear(E, {35, 44, 44, 56}, 1e-13);

    // Inner dimension 1: (1 2 3)' (4 5) = [4 5; 8 10; 12 15].
    const V u = {1, 2, 3}, w = {4, 5};
    V F(6, -1.0);
    MatMul(3, 2, 1, u.data(), 1, w.data(), 2, F.data(), 2);
    ExpectNear(F, {4, 5, 8, 10, 12, 15}, 1e-15);
    // Inner dimension 0: no term, C scaled by beta (0 writes zeros).
    V G(6, 3.0);
    MatMul(3, 2, 0, u.data(), 1, w.data(), 2, G.data(), 2, 1.0, 0.5);
    ExpectNear(G, V(6, 1.5), 0.0);
    MatMul(3, 2, 0, u.data(), 1, w.data(), 2, G.data(), 2);
    ExpectNear(G, V(6, 0.0), 0.0);
}

// The upper triangle of A A' for A = [1 2; 3 4; 5 6]: 5 11 17 / 25 39 / 61; below it untouched.
TEST(Blas, GramUpperWritesOnlyTheUpperTriangle) {
    const V A = {1, 2, 3, 4, 5, 6};
    V C(9, -7.0);
    GramUpper(3, 2, A.data(), 2, C.data(), 3);
    ExpectNear(C, {5, 11, 17, -7, 25, 39, -7, -7, 61}, 1e-13);
}

// [3 0; 4 5] has singular values sqrt(45) and sqrt(5): their product is |det| = 15 and their
// squares add to the sum of squares 50. Eigenvalues of [2 1; 1 2] are 1 and 3, with the vectors
// (1, -1) and (1, 1) over sqrt(2). A matrix larger than the work space is refused.
TEST(Blas, SingularValuesAndSymmetricEigenvalues) {
    SingularValueWork sv(2, 3);
    V a = {3, 4, 0, 5};  // column-major
    ASSERT_TRUE(SingularValues(2, 2, a.data(), sv));
    EXPECT_NEAR(sv.s[0], std::sqrt(45.0), 1e-13);
    EXPECT_NEAR(sv.s[1], std::sqrt(5.0), 1e-13);
    // A 2 x 3 matrix [1 0 0; 0 2 0]: singular values 2 and 1.
    V b = {1, 0, 0, 2, 0, 0};
    ASSERT_TRUE(SingularValues(2, 3, b.data(), sv));
    EXPECT_NEAR(sv.s[0], 2.0, 1e-14);
    EXPECT_NEAR(sv.s[1], 1.0, 1e-14);
    // One row, [3 4]: its one singular value is the row's length, 5.
    V row = {3, 4};
    ASSERT_TRUE(SingularValues(1, 2, row.data(), sv));
    EXPECT_NEAR(sv.s[0], 5.0, 1e-14);
    // A work space for 2 x 3 takes 3 x 2 too, but nothing longer or wider in either dimension.
    V big(16, 1.0);
    EXPECT_FALSE(SingularValues(4, 4, big.data(), sv));
    EXPECT_FALSE(SingularValues(1, 4, big.data(), sv));  // longer only
    EXPECT_FALSE(SingularValues(3, 3, big.data(), sv));  // wider only
    V tall = {1, 0, 0, 0, 2, 0};                           // 3 x 2, column-major: singular values 2 and 1
    ASSERT_TRUE(SingularValues(3, 2, tall.data(), sv));
    EXPECT_NEAR(sv.s[0], 2.0, 1e-14);
    EXPECT_NEAR(sv.s[1], 1.0, 1e-14);

    SymmetricEigenWork ew(2);
    V s = {2, 1, 1, 2};
    ASSERT_TRUE(SymmetricEigen(2, s.data(), ew));
    EXPECT_NEAR(ew.values[0], 1.0, 1e-14);
    EXPECT_NEAR(ew.values[1], 3.0, 1e-14);
    const double r = 1.0 / std::sqrt(2.0);
    EXPECT_NEAR(std::fabs(s[0]), r, 1e-14);
    EXPECT_NEAR(s[0] + s[1], 0.0, 1e-14);  // the vector of 1 is (1, -1) up to sign
    EXPECT_NEAR(s[2] - s[3], 0.0, 1e-14);  // the vector of 3 is (1, 1) up to sign
    V s3(9, 1.0);
    EXPECT_FALSE(SymmetricEigen(3, s3.data(), ew));
}

// The BLAS is OpenBLAS's single-threaded build, from its own folder: it reports no threading
// (0; the threaded build reports 1), and it serves the program's Fortran calls and the numerical
// library's CBLAS calls alike.
TEST(Blas, TheSingleThreadedOpenBlasServesTheFortranAndTheCblasCalls) {
    EXPECT_EQ(openblas_get_parallel(), 0);
    for (const char* symbol : {"dgemm_", "dgesdd_", "cblas_dgemm", "cblas_ddot"}) {
        const std::string file = LibraryOf(symbol);
        EXPECT_NE(file.find("/openblas-serial/libopenblas"), std::string::npos) << symbol << ": " << file;
    }
}

// The permutation loops call the products and decompositions from several threads at once, each
// on its own matrices and work space: every thread must get, bit for bit, what one thread alone
// gets. Eight threads decompose their own symmetric matrices of order 100 (large enough for the
// divide-and-conquer steps) fifty times each, and take QR and singular values of 60 x 40 blocks
// and their products in two layouts, all of which draw work buffers from the library.
TEST(Blas, DecompositionsFromSeveralThreadsAtOnceGiveWhatOneThreadGives) {
    constexpr int kThreads = 8, kRounds = 50, n = 100, rows = 60, cols = 40;
    std::mt19937 draw(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    struct Case {
        V sym, block, eigen, singular, qr, product;
    };
    std::vector<Case> cases(kThreads);
    auto eigenOf = [](const V& a, V& out) {
        SymmetricEigenWork w(n);
        V m(a);
        ASSERT_TRUE(SymmetricEigen(n, m.data(), w));
        out = m;
        out.insert(out.end(), w.values, w.values + n);
    };
    auto singularOf = [](const V& a, V& out) {
        SingularValueWork w(rows, cols);
        V m(a);
        ASSERT_TRUE(SingularValues(rows, cols, m.data(), w));
        out.assign(w.s, w.s + cols);
    };
    auto qrOf = [](const V& a, V& out) {
        const int lwork = QrWorkSize(rows, cols);
        V m(a), tau(cols), work(static_cast<size_t>(lwork));
        ASSERT_TRUE(QrDecomposition(rows, cols, m.data(), tau.data(), work.data(), lwork));
        out = m;
        out.insert(out.end(), tau.begin(), tau.end());
    };
    auto productOf = [](const V& a, V& out) {
        out.assign(static_cast<size_t>(rows) * rows + static_cast<size_t>(cols) * cols, 0.0);
        MatMulBt(rows, rows, cols, a.data(), cols, a.data(), cols, out.data(), rows);
        GramUpper(cols, rows, a.data(), rows, out.data() + rows * rows, cols);
    };
    for (Case& c : cases) {
        c.sym.assign(static_cast<size_t>(n) * n, 0.0);
        for (int i = 0; i < n; i++)
            for (int j = 0; j <= i; j++) c.sym[i * n + j] = c.sym[j * n + i] = u(draw);
        c.block.resize(static_cast<size_t>(rows) * cols);
        for (double& x : c.block) x = u(draw);
        eigenOf(c.sym, c.eigen);
        singularOf(c.block, c.singular);
        qrOf(c.block, c.qr);
        productOf(c.block, c.product);
    }
    std::vector<int> differing(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([&, t] {
            const Case& c = cases[t];
            V got;
            for (int r = 0; r < kRounds; r++) {
                eigenOf(c.sym, got);
                differing[t] += std::memcmp(got.data(), c.eigen.data(), got.size() * sizeof(double)) != 0;
                singularOf(c.block, got);
                differing[t] += std::memcmp(got.data(), c.singular.data(), got.size() * sizeof(double)) != 0;
                qrOf(c.block, got);
                differing[t] += std::memcmp(got.data(), c.qr.data(), got.size() * sizeof(double)) != 0;
                productOf(c.block, got);
                differing[t] += std::memcmp(got.data(), c.product.data(), got.size() * sizeof(double)) != 0;
            }
        });
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < kThreads; t++) EXPECT_EQ(differing[t], 0) << "thread " << t;
}

// QR of a tall or square block: R's diagonal is ± the lengths left after each Householder step, so
// [3 4]' (one column) gives |R| = 5. A wide block, or one without rows or columns, is refused.
TEST(Blas, QrOfTallOrSquareBlocksOnly) {
    V tall = {3, 4}, tau(1), work(static_cast<size_t>(QrWorkSize(2, 1)));
    ASSERT_TRUE(QrDecomposition(2, 1, tall.data(), tau.data(), work.data(), static_cast<int>(work.size())));
    EXPECT_NEAR(std::fabs(tall[0]), 5.0, 1e-14);
    V square = {2, 0, 0, 3};  // column-major diag(2, 3): R is diag(2, 3) up to signs
    V tau2(2), work2(static_cast<size_t>(QrWorkSize(2, 2)));
    ASSERT_TRUE(QrDecomposition(2, 2, square.data(), tau2.data(), work2.data(), static_cast<int>(work2.size())));
    EXPECT_NEAR(std::fabs(square[0]), 2.0, 1e-14);
    EXPECT_NEAR(std::fabs(square[3]), 3.0, 1e-14);
    V wide(6, 1.0), big(64);
    const int lwork = static_cast<int>(big.size());
    for (const auto& [rows, cols] : {std::make_pair(2, 3), std::make_pair(0, 1), std::make_pair(1, 0)})
        EXPECT_FALSE(QrDecomposition(rows, cols, wide.data(), tau2.data(), big.data(), lwork)) << rows << " x " << cols;
}

// The library's buffer allocator is reached through the program's own entry, which takes the
// threads one at a time; the library's own stands behind it.
TEST(Blas, TheLibrarysBufferAllocatorIsReachedThroughTheProgramsLock) {
    for (const char* symbol : {"blas_memory_alloc", "blas_memory_free"}) {
        EXPECT_EQ(LibraryOf(symbol).find("libopenblas"), std::string::npos) << symbol << ": " << LibraryOf(symbol);
        void* next = dlsym(RTLD_NEXT, symbol);
        Dl_info info{};
        ASSERT_TRUE(next && dladdr(next, &info) && info.dli_fname) << symbol;
        EXPECT_NE(std::string(info.dli_fname).find("/openblas-serial/libopenblas"), std::string::npos) << symbol;
    }
}

// The work space of the singular values is the larger of LAPACK's own answer for the bounding shape
// (in either orientation), which lets its blocked steps run, and the documented minimum: for
// 300 x 200 the answer exceeds the minimum 3 * 200 + max(300, 1400) = 2000.
TEST(Blas, SingularValueWorkTakesWhatLapackAsksFor) {
    const int rows = 300, cols = 200;
    int asked = 0;
    for (int pass = 0; pass < 2; pass++) {
        const int m = pass == 0 ? rows : cols, n = pass == 0 ? cols : rows, one = 1, query = -1;
        double best = 0.0, a = 0.0, u = 0.0, vt = 0.0, s = 0.0;
        int iw = 0, info = 0;
        dgesdd_("N", &m, &n, &a, &m, &s, &u, &one, &vt, &one, &best, &query, &iw, &info, 1);
        ASSERT_EQ(info, 0);
        asked = std::max(asked, static_cast<int>(best));
    }
    ASSERT_GT(asked, 2000);
    const SingularValueWork w(rows, cols);
    EXPECT_EQ(w.lwork, asked);
    const SingularValueWork small(2, 3);
    EXPECT_GE(small.lwork, 3 * 2 + std::max(3, 7 * 2));
}

// A thread has no buffer until it needs one; then the library's calls are lent that buffer, one at
// a time: a call nested inside another gets a buffer of its own, and the thread's buffer is lent
// again once given back. Two threads at once hold two buffers, each writable to its last byte, and
// a thread's buffer goes back to the system when the thread ends.
TEST(Blas, EachThreadHasABufferOfItsOwnGivenBackWhenItEnds) {
    const size_t bytes = BlasBufferBytes();
    EXPECT_GE(bytes, size_t(128) << 20);
    std::atomic<int> stage{0};
    void* areas[2] = {nullptr, nullptr};
    auto holder = [&](int t) {
        // The C library gives a thread its own arena (64 MiB of address space) at its first
        // allocation or release, which would otherwise come after the measure of the buffers held.
        void* volatile first = std::malloc(1);
        std::free(first);
        EXPECT_FALSE(HoldsBlasBuffer()) << t;
        char* a = static_cast<char*>(blas_memory_alloc(0));
        EXPECT_TRUE(HoldsBlasBuffer()) << t;
        a[0] = 1, a[bytes - 1] = 2;
        char* nested = static_cast<char*>(blas_memory_alloc(0));
        EXPECT_NE(nested, a);
        nested[bytes - 1] = 3;
        blas_memory_free(nested);
        blas_memory_free(a);
        EXPECT_EQ(blas_memory_alloc(0), a) << t;
        EXPECT_EQ(a[bytes - 1], 2) << t;
        blas_memory_free(a);
        areas[t] = a;
        stage.fetch_add(1);
        while (stage.load() < 3) std::this_thread::yield();  // hold the buffer until measured
    };
    const size_t before = AddressSpaceInUse();
    std::thread first(holder, 0), second(holder, 1);
    while (stage.load() < 2) std::this_thread::yield();
    const size_t holding = AddressSpaceInUse();
    stage = 3;
    first.join();
    second.join();
    const size_t after = AddressSpaceInUse();
    EXPECT_NE(areas[0], areas[1]);
    EXPECT_GE(holding - before, 2 * bytes);
    EXPECT_GE(holding - after, 2 * bytes - (size_t(1) << 20));
}

// Under a limit that leaves less than one buffer, a thread is told so before any call of the
// library: HoldBlasBuffer says false, and EnsureBlasBuffer and the products raise code 1 instead of
// leaving the library waiting for the memory. Run in a child process, whose exit status sets one
// bit per check that failed.
TEST(Blas, ABufferTheLimitRefusesRaisesOutOfMemoryBeforeTheLibrary) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = rlim_t(AddressSpaceInUse() + BlasBufferBytes() / 2);
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(64);
        int failed = 0;
        std::thread worker([&] {
            if (HoldBlasBuffer()) failed |= 1;
            int code = 0;
            try {
                EnsureBlasBuffer();
            } catch (const TnxError& e) {
                code = e.code();
            }
            if (code != TNX_OUT_OF_MEMORY) failed |= 2;
            const double A[4] = {1, 2, 3, 4};
            double C[4] = {0, 0, 0, 0};
            code = 0;
            try {
                MatMul(2, 2, 2, A, 2, A, 2, C, 2);
            } catch (const TnxError& e) {
                code = e.code();
            }
            if (code != TNX_OUT_OF_MEMORY) failed |= 4;
            if (HoldsBlasBuffer()) failed |= 8;
        });
        worker.join();
        _exit(failed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// No term (k = 0): the upper triangle of a 3 x 3 Gram product is zero, the cells below it are left
// as they were, and nothing is written for an order of 0.
TEST(Blas, GramUpperOfNoTermIsZeroAboveTheDiagonalOnly) {
    const V A = {1, 2, 3};
    V C(9, -7.0);
    GramUpper(3, 0, A.data(), 1, C.data(), 3);
    ExpectNear(C, {0, 0, 0, -7, 0, 0, -7, -7, 0}, 0.0);
    V D(4, 5.0);
    GramUpper(0, 2, A.data(), 2, D.data(), 2);
    ExpectNear(D, V(4, 5.0), 0.0);
}
