// Arrays of every rank: zero fill, shapes, empty and failed allocations (ASan and LSan judge too).
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>
#include <vector>

#include "FoundationTestSupport.h"
#include "foundation/qwlibDim.h"

#if defined(__SANITIZE_ADDRESS__)
// Allocations that the system cannot satisfy must come back as null (code 1), not abort.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p);
#define EXPECT_BLOCK_SIZE(p, n) EXPECT_EQ(__sanitizer_get_allocated_size(p), static_cast<size_t>(n))
#else
#include <malloc.h>
// Without the sanitizer the allocator gives at least what was asked for (rounded up a little).
#define EXPECT_BLOCK_SIZE(p, n) EXPECT_GE(malloc_usable_size(p), static_cast<size_t>(n))
#endif

namespace {

// Every block of the tree p (sizes per rank) exists; leaf rows are zero, their last element is written.
template <class T>
void ExpectZeroTree(T* p, const int* sizes, int rank) {
    ASSERT_NE(p, nullptr);   // an empty count too gives a valid block
    if constexpr (std::is_pointer_v<T> && !std::is_void_v<std::remove_pointer_t<T>>) {
        if (rank > 1) {
            for (int i = 0; i < sizes[0]; i++) ExpectZeroTree(p[i], sizes + 1, rank - 1);
            return;
        }
    }
    for (int i = 0; i < sizes[0]; i++) EXPECT_EQ(p[i], T()) << "element " << i;
    if (sizes[0] > 0) p[sizes[0] - 1] = T();
}

template <class T>
void ExpectZeroRow(T* row, int n) { ExpectZeroTree(row, &n, 1); }

// Checks the tree and releases it with the routine of its rank.
template <class T>
void CheckAndFree(T* p, std::vector<int> s) {
    ExpectZeroTree(p, s.data(), static_cast<int>(s.size()));
    void* v = p;
    switch (s.size()) {
    case 1: free1D(v); break;
    case 2: free2D(static_cast<void**>(v), s[0]); break;
    case 3: free3D(static_cast<void***>(v), s[0], s[1]); break;
    case 4: free4D(static_cast<void****>(v), s[0], s[1], s[2]); break;
    default: free5D(static_cast<void*****>(v), s[0], s[1], s[2], s[3]); break;
    }
}

}  // namespace

TEST(Alloc, EveryFormAndDimAreZeroFilledAndReleased) {
    CheckAndFree(dim1Double(5), {5});
    CheckAndFree(static_cast<int*>(dim1D_Clear(3, sizeof(int))), {3});
    CheckAndFree(static_cast<char*>(dim1D(40, 6)), {240});   // six records of 40 bytes
    CheckAndFree(dim2Dptr(2, 3), {2, 3});
    CheckAndFree(dim3Double(2, 3, 4), {2, 3, 4});
    CheckAndFree(reinterpret_cast<int****>(dim4D(sizeof(int), 2, 1, 3, 2)), {2, 1, 3, 2});
    CheckAndFree(reinterpret_cast<int*****>(dim5D(sizeof(int), 2, 2, 2, 2, 3)), {2, 2, 2, 2, 3});
    // dim builds the same trees; rank 6 is released level by level (the routines stop at 5).
    CheckAndFree(static_cast<double**>(dim(2, sizeof(double), 3, 4)), {3, 4});
    CheckAndFree(static_cast<float*****>(dim(5, sizeof(float), 2, 1, 2, 1, 3)), {2, 1, 2, 1, 3});
    char****** six = static_cast<char******>(dim(6, 1, 2, 1, 1, 1, 1, 2));
    for (int a = 0; a < 2; a++) CheckAndFree(six[a], {1, 1, 1, 1, 2});
    free1D(six);
    int sizes[2] = {2, 3};
    CheckAndFree(static_cast<int***>(dim_(3, sizeof(int), 4, sizes)), {4, 2, 3});
    // Empty counts give valid blocks; nulls are ignored on release, for any count.
    CheckAndFree(dim2D(sizeof(double), 0, 5), {0, 5});
    CheckAndFree(dim3Dfloat(0, 4, 4), {0, 4, 4});
    CheckAndFree(dim2Double(3, 0), {3, 0});
    free2D(nullptr, 7);
    free5D(nullptr, 3, 3, 3, 3);
    float** m = dim2Dfloat(3, 2);
    free1D(m[1]);
    m[1] = nullptr;   // a row released early is skipped (LeakSanitizer judges the rest)
    free2D(m, 3);
}

TEST(Alloc, TriangularTreesGrowByOneElementPerRow) {
    for (void** t : {dim2DT(sizeof(double), 4), static_cast<void**>(dimT(2, sizeof(double), 4))}) {
        for (int i = 0; i < 4; i++) {   // dim2DT and dimT(2) hand out the same rows
            EXPECT_BLOCK_SIZE(t[i], sizeof(double) * (i + 1));
            ExpectZeroRow(static_cast<double*>(t[i]), i + 1);
        }
        free2D(t, 4);
    }
    float*** t3 = reinterpret_cast<float***>(dim3DT(sizeof(float), 2, 3));
    int sizes[2] = {5, 5};   // 2 tables of 5 triangular matrices of order 5
    int**** t4 = static_cast<int****>(dimT_(4, sizeof(int), 2, sizes));
    for (int a = 0; a < 2; a++)
        for (int i = 0; i < 5; i++) {
            if (i < 3) ExpectZeroRow(t3[a][i], i + 1);
            for (int b = 0; b < 5; b++) ExpectZeroRow(t4[a][b][i], i + 1);
        }
    free3D(t3, 2, 3);
    free4D(t4, 2, 5, 5);
}

TEST(Alloc, NegativeCountsAndImpossibleSizesRaiseCodeOne) {
    EXPECT_EQ(CodeOf([] { dim1D(4, -1); }), 1);
    EXPECT_EQ(CodeOf([] { dim2Dfloat(-2, 3); }), 1);
    EXPECT_EQ(CodeOf([] { dim1D(SIZE_MAX / 2, 4); }), 1);   // the product overflows size_t
    // Requests the system cannot satisfy: the parts built so far are released (LSan).
    EXPECT_EQ(CodeOf([] { dim1D(static_cast<size_t>(1) << 40, 1 << 20); }), 1);
    EXPECT_EQ(CodeOf([] { dim2D(static_cast<size_t>(1) << 40, 3, 1 << 20); }), 1);
    EXPECT_EQ(CodeOf([] { dim4D(static_cast<size_t>(1) << 40, 2, 2, 2, 1 << 20); }), 1);
}

#if !defined(__SANITIZE_ADDRESS__)
#include <sys/resource.h>

#include <fstream>

namespace {

// Memory that runs out part way through a tree (the address space held to 64 MiB above what the
// process uses, rows of 1 MiB): the codes of five trees on standard error, then exit 0.
[[noreturn]] void RunOutPartWay() {
    mallopt(M_MMAP_THRESHOLD, 128 << 10);  // every row a mapping of its own
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    struct rlimit old;
    getrlimit(RLIMIT_AS, &old);
    const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (64u << 20);
    const struct rlimit tight = {limit, old.rlim_max};
    if (setrlimit(RLIMIT_AS, &tight) != 0) std::exit(2);
    // 8 by 8 rows runs out in the last of its tables after seven whole ones (56 MiB), which must be
    // released level by level with their own sizes. Last, 64 triangles of order 64 with elements of
    // 1 KiB (133 MiB): the triangles built are released.
    const int codes[] = {CodeOf([] { dim3D(1, 4, 64, 1 << 20); }), CodeOf([] { dim3D(1, 8, 8, 1 << 20); }),
                         CodeOf([] { dim2D(1, 128, 1 << 20); }),
                         CodeOf([] { free2D(dim2D(1, 40, 1 << 20), 40); }),
                         CodeOf([] { dim3DT(1 << 10, 64, 64); })};
    setrlimit(RLIMIT_AS, &old);
    std::fprintf(stderr, "codes %d %d %d %d %d\n", codes[0], codes[1], codes[2], codes[3], codes[4]);
    std::exit(0);
}

}  // namespace

// A tree that runs out part way gives code 1, and every row built before is released, so that a
// tree of 40 MiB fits under the same limit afterwards. (The sanitizer needs the address space
// itself.) The limit counts on each row being a mapping of its own, released whole: the test
// program runs again for this test alone, in a process whose heap holds no free space that an
// earlier test left (space already counted in the address space), its allocator told to map every
// block of 128 KiB or more. (By default the C library raises that threshold once a large mapped
// block is freed, as earlier tests do; rows then come from the heap, where the 8 tables of 8 rows
// fit in the limit.)
TEST(Alloc, ATreeThatRunsOutPartWayIsReleased) {
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunOutPartWay(), ::testing::ExitedWithCode(0), "codes 1 1 1 0 1\n");
    GTEST_FLAG_SET(death_test_style, style);
}
#endif

namespace {

// Releases a chain of single-slot tables `depth` levels deep and the row below them.
void FreeChain(void** p, int depth) {
    if (depth > 1) FreeChain(static_cast<void**>(p[0]), depth - 1);
    else free1D(p[0]);
    free1D(p);
}

}  // namespace

// Twenty ranks is the most the general allocators take: 18 single tables above a triangle of order
// 1 (19 tables and its one row); the error message and exit are only for more.
TEST(AllocDeathTest, TwentyRanksAreTheLimit) {
    EXPECT_EXIT(
        {
            void* t = dimT(20, sizeof(double), 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1);
            FreeChain(static_cast<void**>(t), 19);
            fprintf(stderr, "built");
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "built");
    EXPECT_EXIT(dimT(21, sizeof(double), 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1),
                ::testing::ExitedWithCode(0), "");
}
