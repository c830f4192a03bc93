// Allocation and release of arrays of every rank: zero fill, shapes, empty and failed
// allocations. AddressSanitizer checks the bounds and LeakSanitizer the releases.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <unistd.h>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime reports the size of each allocation.
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p);
// Allocations that the system cannot satisfy must come back as null (code 1), not abort.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#define TNX_HAVE_ALLOC_SIZE 1
#endif

namespace {

template <class T>
bool AllZero(const T* p, int n) {
    for (int i = 0; i < n; i++)
        if (p[i] != T(0)) return false;
    return true;
}

int ErrorCodeOf(void (*f)()) {
    try {
        f();
    } catch (const TnxError& e) {
        return e.code();
    }
    return 0;
}

struct Record {   // stands for a report record of the clustering engine
    int a, b;
    double d;
    char label[12];
};

}  // namespace

TEST(Alloc, FloatMatrixIsZeroFilledWithSeparateRows) {
    float** m = dim2Dfloat(3, 4);
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(AllZero(m[i], 4));
        for (int j = 0; j < 4; j++) m[i][j] = static_cast<float>(10 * i + j);
    }
    EXPECT_NE(m[0], m[1]);
    EXPECT_NE(m[1], m[2]);
    EXPECT_EQ(m[2][3], 23.0f);
    free2D(m, 3);
}

TEST(Alloc, EveryTypedFormIsZeroFilled) {
    char* c1 = dim1Dchar(5);
    short* s1 = dim1Dshort(5);
    int* i1 = dim1Dint(5);
    long* l1 = dim1Dlong(5);
    float* f1 = dim1Dfloat(5);
    double* d1 = dim1Double(5);
    EXPECT_TRUE(AllZero(c1, 5) && AllZero(s1, 5) && AllZero(i1, 5));
    EXPECT_TRUE(AllZero(l1, 5) && AllZero(f1, 5) && AllZero(d1, 5));
    free1D(c1); free1D(s1); free1D(i1); free1D(l1); free1D(f1); free1D(d1);

    short** s2 = dim2Dshort(2, 3);
    int** i2 = dim2Dint(2, 3);
    long** l2 = dim2Dlong(2, 3);
    double** d2 = dim2Double(2, 3);
    for (int r = 0; r < 2; r++)
        EXPECT_TRUE(AllZero(s2[r], 3) && AllZero(i2[r], 3) && AllZero(l2[r], 3) && AllZero(d2[r], 3));
    free2D(s2, 2); free2D(i2, 2); free2D(l2, 2); free2D(d2, 2);

    char*** c3 = dim3Dchar(2, 3, 4);
    short*** s3 = dim3Dshort(2, 3, 4);
    int*** i3 = dim3Dint(2, 3, 4);
    long*** l3 = dim3Dlong(2, 3, 4);
    float*** f3 = dim3Dfloat(2, 3, 4);
    double*** d3 = dim3Double(2, 3, 4);
    for (int a = 0; a < 2; a++)
        for (int b = 0; b < 3; b++) {
            EXPECT_TRUE(AllZero(c3[a][b], 4) && AllZero(s3[a][b], 4) && AllZero(i3[a][b], 4));
            EXPECT_TRUE(AllZero(l3[a][b], 4) && AllZero(f3[a][b], 4) && AllZero(d3[a][b], 4));
            d3[a][b][3] = 1.0;   // the last element of every leaf is inside its block
        }
    free3D(c3, 2, 3); free3D(s3, 2, 3); free3D(i3, 2, 3);
    free3D(l3, 2, 3); free3D(f3, 2, 3); free3D(d3, 2, 3);

    long**** l4 = dim4Dlong(2, 2, 3, 2);
    float**** f4 = dim4Dfloat(2, 2, 3, 2);
    double**** d4 = dim4Double(2, 2, 3, 2);
    for (int a = 0; a < 2; a++)
        for (int b = 0; b < 2; b++)
            for (int c = 0; c < 3; c++) {
                EXPECT_TRUE(AllZero(l4[a][b][c], 2) && AllZero(f4[a][b][c], 2) && AllZero(d4[a][b][c], 2));
                d4[a][b][c][1] = 2.0;
            }
    free4D(l4, 2, 2, 3); free4D(f4, 2, 2, 3); free4D(d4, 2, 2, 3);
}

TEST(Alloc, GeneralFormsOfRankThreeToFive) {
    int*** a3 = reinterpret_cast<int***>(dim3D(sizeof(int), 2, 3, 4));
    int**** a4 = reinterpret_cast<int****>(dim4D(sizeof(int), 2, 1, 3, 2));
    int***** a5 = reinterpret_cast<int*****>(dim5D(sizeof(int), 2, 2, 2, 2, 3));
    int count = 0;
    for (int a = 0; a < 2; a++)
        for (int b = 0; b < 2; b++)
            for (int c = 0; c < 2; c++)
                for (int d = 0; d < 2; d++) {
                    EXPECT_TRUE(AllZero(a5[a][b][c][d], 3));
                    a5[a][b][c][d][2] = ++count;
                }
    EXPECT_EQ(a5[1][1][1][1][2], 16);
    EXPECT_TRUE(AllZero(a3[1][2], 4));
    EXPECT_TRUE(AllZero(a4[1][0][2], 2));
    free3D(a3, 2, 3);
    free4D(a4, 2, 1, 3);
    free5D(a5, 2, 2, 2, 2);
}

TEST(Alloc, EmptyCountsGiveValidBlocksAndTables) {
    void* b = dim1D(8, 0);
    EXPECT_NE(b, nullptr);
    free1D(b);
    void** t = dim2D(sizeof(double), 0, 5);
    EXPECT_NE(t, nullptr);
    free2D(t, 0);
    double** rowsOfNothing = dim2Double(3, 0);
    for (int i = 0; i < 3; i++) EXPECT_NE(rowsOfNothing[i], nullptr);
    free2D(rowsOfNothing, 3);
    float*** empty3 = dim3Dfloat(0, 4, 4);
    EXPECT_NE(empty3, nullptr);
    free3D(empty3, 0, 4);
}

TEST(Alloc, NullTablesAndNullRowsAreIgnoredOnRelease) {
    free1D(nullptr);
    free2D(NULL, 0);
    free2D(nullptr, 7);
    free3D(nullptr, 3, 3);
    free4D(nullptr, 3, 3, 3);
    free5D(nullptr, 3, 3, 3, 3);
    int** m = dim2Dint(4, 2);
    free1D(m[1]);
    m[1] = nullptr;   // a row released early
    free2D(m, 4);
    SUCCEED();        // LeakSanitizer and AddressSanitizer judge the releases
}

TEST(Alloc, CharMatrixHoldsLabelsOfTenCharacters) {
    char** labels = dim2Dchar(3, 11);
    for (int i = 0; i < 3; i++) EXPECT_STREQ(labels[i], "");
    strcpy(labels[2], "0123456789");   // ten characters and the terminator
    EXPECT_EQ(strlen(labels[2]), 10u);
    free2D(labels, 3);
}

TEST(Alloc, TriangularMatrixRowsGrowByOne) {
    double** t = reinterpret_cast<double**>(dim2DT(8, 4));
    for (int i = 0; i < 4; i++) {
        EXPECT_TRUE(AllZero(t[i], i + 1));
        t[i][i] = i;   // the diagonal is the last element of each row
#ifdef TNX_HAVE_ALLOC_SIZE
        EXPECT_EQ(__sanitizer_get_allocated_size(t[i]), static_cast<size_t>(8 * (i + 1)));
#endif
    }
    free2D(t, 4);

    float*** t3 = reinterpret_cast<float***>(dim3DT(sizeof(float), 2, 3));
    for (int a = 0; a < 2; a++)
        for (int i = 0; i < 3; i++) {
            EXPECT_TRUE(AllZero(t3[a][i], i + 1));
            t3[a][i][i] = 1.0f;
        }
    free3D(t3, 2, 3);
}

TEST(Alloc, RecordBlocksAreZeroed) {
    Record* r = static_cast<Record*>(dim1D(sizeof(Record), 6));
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(r[i].a, 0);
        EXPECT_EQ(r[i].d, 0.0);
        EXPECT_STREQ(r[i].label, "");
    }
#ifdef TNX_HAVE_ALLOC_SIZE
    EXPECT_EQ(__sanitizer_get_allocated_size(r), 6 * sizeof(Record));
#endif
    free1D(r);
    int* c = static_cast<int*>(dim1D_Clear(3, sizeof(int)));
    EXPECT_TRUE(AllZero(c, 3));
    free1D(c);
}

TEST(Alloc, PointerArraysHoldNullSlots) {
    void** p1 = dim1Dptr(4);
    void*** p2 = dim2Dptr(2, 3);
    void**** p3 = dim3Dptr(2, 2, 3);
    for (int i = 0; i < 4; i++) EXPECT_EQ(p1[i], nullptr);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++) EXPECT_EQ(p2[i][j], nullptr);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++)
            for (int k = 0; k < 3; k++) EXPECT_EQ(p3[i][j][k], nullptr);
    free1D(p1);
    free2D(p2, 2);
    free3D(p3, 2, 2);
}

TEST(Alloc, NegativeCountsAndImpossibleSizesRaiseCodeOne) {
    EXPECT_EQ(ErrorCodeOf([] { dim1D(4, -1); }), 1);
    EXPECT_EQ(ErrorCodeOf([] { dim2Dfloat(-2, 3); }), 1);
    EXPECT_EQ(ErrorCodeOf([] { dim2Dfloat(2, -3); }), 1);
    EXPECT_EQ(ErrorCodeOf([] { dim3Double(2, 2, -1); }), 1);
    EXPECT_EQ(ErrorCodeOf([] { dim2DT(8, -4); }), 1);
    // n * elsize beyond the address space: refused before the system allocator.
    EXPECT_EQ(ErrorCodeOf([] { dim1D(SIZE_MAX / 2, 4); }), 1);
    // A request the system cannot satisfy: the parts built so far are released (LSan).
    EXPECT_EQ(ErrorCodeOf([] { dim1D(static_cast<size_t>(1) << 40, 1 << 20); }), 1);
    EXPECT_EQ(ErrorCodeOf([] { dim2D(static_cast<size_t>(1) << 40, 3, 1 << 20); }), 1);
    EXPECT_EQ(ErrorCodeOf([] { dim4D(static_cast<size_t>(1) << 40, 2, 2, 2, 1 << 20); }), 1);
}

TEST(Alloc, DimBuildsTheSameTreeAsTheFixedRanks) {
    int* one = static_cast<int*>(dim(1, sizeof(int), 5));
    EXPECT_TRUE(AllZero(one, 5));
    free1D(one);

    double** two = static_cast<double**>(dim(2, sizeof(double), 3, 4));
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(AllZero(two[i], 4));
        two[i][3] = 1.0;
    }
    free2D(two, 3);

    int*** three = static_cast<int***>(dim(3, sizeof(int), 2, 3, 4));
    three[1][2][3] = 7;
    EXPECT_TRUE(AllZero(three[0][0], 4));
    free3D(three, 2, 3);

    float***** five = static_cast<float*****>(dim(5, sizeof(float), 2, 1, 2, 1, 3));
    five[1][0][1][0][2] = 1.0f;
    free5D(five, 2, 1, 2, 1);

    // Rank 6: released level by level here, since the fixed release routines stop at 5.
    char****** six = static_cast<char******>(dim(6, 1, 2, 1, 1, 1, 1, 2));
    six[1][0][0][0][0][1] = 'x';
    for (int a = 0; a < 2; a++) free5D(six[a], 1, 1, 1, 1);
    free1D(six);

    int sizes[2] = {2, 3};
    int*** viaWorker = static_cast<int***>(dim_(3, sizeof(int), 4, sizes));
    viaWorker[3][1][2] = 1;
    free3D(viaWorker, 4, 2);
}

TEST(Alloc, DimTBuildsTriangularTrees) {
    double** t2 = static_cast<double**>(dimT(2, sizeof(double), 4));
    for (int i = 0; i < 4; i++) {
        EXPECT_TRUE(AllZero(t2[i], i + 1));
        t2[i][i] = 1.0;
#ifdef TNX_HAVE_ALLOC_SIZE
        EXPECT_EQ(__sanitizer_get_allocated_size(t2[i]), sizeof(double) * (i + 1));
#endif
    }
    free2D(t2, 4);

    int*** t3 = static_cast<int***>(dimT(3, sizeof(int), 2, 3));
    for (int a = 0; a < 2; a++)
        for (int i = 0; i < 3; i++) t3[a][i][i] = 1;
    free3D(t3, 2, 3);

    int sizes[2] = {5, 5};   // 2 tables of 5 triangular matrices of order 5
    int**** t4 = static_cast<int****>(dimT_(4, sizeof(int), 2, sizes));
    for (int a = 0; a < 2; a++)
        for (int b = 0; b < 5; b++)
            for (int i = 0; i < 5; i++) {
                EXPECT_EQ(t4[a][b][i][i], 0);
                t4[a][b][i][i] = 1;
            }
    free4D(t4, 2, 5, 5);
}

TEST(AllocDeathTest, TooManyDimensionsEndsTheProgramWithStatusZero) {
    EXPECT_EXIT(
        {
            dup2(2, 1);
            dim(21, sizeof(int), 1);
        },
        ::testing::ExitedWithCode(0), "Error!!! No more than 20 dimensions is allowed in an array");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            dimT(21, sizeof(int), 1);
        },
        ::testing::ExitedWithCode(0), "Error in array allocation !!!");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            dimT(1, sizeof(int), 1);
        },
        ::testing::ExitedWithCode(0), "Error in array allocation !!!");
}

TEST(Alloc, SwapExchangesRowPointers) {
    float** m = dim2Dfloat(3, 2);
    m[0][0] = 1.0f;
    m[2][0] = 3.0f;
    float* row0 = m[0];
    swap(m, 0, 2);
    EXPECT_EQ(m[2], row0);
    EXPECT_EQ(m[0][0], 3.0f);
    EXPECT_EQ(m[2][0], 1.0f);
    void** slots = dim1Dptr(2);
    slots[0] = m;
    swap(slots, 0, 1);
    EXPECT_EQ(slots[0], nullptr);
    EXPECT_EQ(slots[1], static_cast<void*>(m));
    double* a = dim1Double(1);
    double* b = dim1Double(1);
    double* a0 = a;
    swapArray1D(&a, &b);
    EXPECT_EQ(b, a0);
    void* va = a;
    void* vb = b;
    swapArray1D(&va, &vb);
    EXPECT_EQ(va, static_cast<void*>(a0));
    free1D(a);
    free1D(b);
    free1D(slots);
    free2D(m, 3);
}
