// Descriptive statistics, cross products, covariance, correlation, centring, normalising.
// Expected values are worked out by hand in the comments beside them.
#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>
#include <vector>

#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

TEST(Descriptive, KnownValues) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        // [[1,3],[2,6],[3,9]]: column means 2 and 6, row means 2, 4, 6; row variances 2, 8, 18,
        // column variances 1 and 9.
        // The rows are views into one block that goes on with a fourth row (100, 104): only the
        // 3 x 2 values given count.
        T block[8] = {1, 3, 2, 6, 3, 9, 100, 104};
        T* q[4] = {block, block + 2, block + 4, block + 6};
        T c[2], r[3], mean, sd;
        MeanVectorCols(3, 2, q, c);
        MeanVectorRows(3, 2, q, r);
        ExpectVec(c, {2, 6});
        ExpectVec(r, {2, 4, 6});
        EXPECT_NEAR(MatrixVarianceRows(3, 2, q), 28.0, tol);
        EXPECT_NEAR(MatrixVarianceCols(3, 2, q), 10.0, tol);
        // Deviations from the mean 5: -3,-1,-1,-1,0,0,2,4; squares 32, cubes 42.
        T x[] = {2, 4, 4, 4, 5, 5, 7, 9, -999};
        EXPECT_EQ(SumOfSquares(9, x), 232.0);
        EXPECT_EQ(SumOfSquaresDev(9, x), 32.0);
        EXPECT_EQ(Mean(8, x), T(5));
        EXPECT_NEAR(Variance(9, x), 32.0 / 7, tol);
        MeanStDev(8, x, &mean, &sd);
        EXPECT_NEAR(sd, std::sqrt(32.0 / 7), tol);
        EXPECT_NEAR(Moment(8, x, 3), 5.25, kTol);
        // Gower, each line divided by the length of the lines less one: rows T = 9/1 + 16/1 = 25
        // (cells / 5, -999 stays); columns of [[1,2,2],[1,0,0]] T = 2 + 4 + 4 = 10; an all-zero
        // table divides by 1.
        Mat<T> g{{3, -999}, {0, 4}}, gc{{1, 2, 2}, {1, 0, 0}}, z(2, 2);
        GowerStandardizationRows(2, 2, g);
        GowerStandardizationCols(2, 3, gc);
        GowerStandardizationRows(2, 2, z);
        GowerStandardizationCols(2, 2, z);
        const double w = 1 / std::sqrt(10.0);
        ExpectCells(g, {{0.6, -999}, {0, 0.8}}, tol);
        ExpectCells(gc, {{w, 2 * w, 2 * w}, {w, 0, 0}}, tol);
        ExpectCells(z, {{0, 0}, {0, 0}}, 0);
    });
}

// Gower's standardisation does not depend on the table's scale: the tables above multiplied by a
// power of two, where the squares of their cells are subnormal numbers, 0 or infinite (single
// precision: 2^-140, cells themselves subnormal, 2^-70 and 2^70, 2^120; double: 2^-1060 and
// 2^-540, 2^540 and 2^1000), and where they are not (2^-20, 2^20), give the cells of the scale of
// 1 exactly (a power of two changes no quotient); -999 stays as it is.
TEST(Descriptive, GowerStandardizationIsTheSameAtEveryScale) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        const std::vector<int> exponents = std::is_same<T, float>::value
                                               ? std::vector<int>{-140, -70, -20, 20, 70, 120}
                                               : std::vector<int>{-1060, -540, -20, 20, 540, 1000};
        Mat<T> g1{{3, -999}, {0, 4}}, gc1{{1, 2, 2}, {1, 0, 0}};
        GowerStandardizationRows(2, 2, g1);
        GowerStandardizationCols(2, 3, gc1);
        const double w = 1 / std::sqrt(10.0);
        ExpectCells(g1, {{0.6, -999}, {0, 0.8}}, tol);
        ExpectCells(gc1, {{w, 2 * w, 2 * w}, {w, 0, 0}}, tol);
        for (int e : exponents) {
            SCOPED_TRACE(e);
            const T f = T(std::ldexp(1.0, e));
            Mat<T> g{{3 * f, -999}, {0, 4 * f}}, gc{{f, 2 * f, 2 * f}, {f, 0, 0}};
            GowerStandardizationRows(2, 2, g);
            GowerStandardizationCols(2, 3, gc);
            for (int i = 0; i < 2; i++) {
                for (int j = 0; j < 2; j++) EXPECT_EQ(g[i][j], g1[i][j]) << i << "," << j;
                for (int j = 0; j < 3; j++) EXPECT_EQ(gc[i][j], gc1[i][j]) << i << "," << j;
            }
        }
    });
}

TEST(Descriptive, EdgeCases) {
    double one[] = {3, -999}, m, s;
    EXPECT_TRUE(std::isnan(Variance(2, one)));  // one present value: 0/0
    // Ten times 0.1f rounds sum(x^2) - (sum x)^2/n below 0: the standard deviation is 0, not NaN.
    float a[10], mf, sf;
    for (float& x : a) x = 0.1f;
    MeanStDev(10, a, &mf, &sf);
    EXPECT_EQ(sf, 0.0f);
    // Values > 0 only: 2 and 4 give mean 3, sd sqrt(2); none 0 and 0.
    float nz[] = {0, 2, -1, 4};
    MeanStDev_NonZero(4, nz, &m, &s);
    EXPECT_EQ(m, 3.0);
    EXPECT_NEAR(s, std::sqrt(2.0), kTol);
    MeanStDev_NonZero(1, nz + 2, &m, &s);  // none
    EXPECT_EQ(m, 0.0);
    // Range over all-negative data starts from the lowest double; MatrixMax keeps its floor of 0.
    double neg[] = {-5, -2, -9};
    EXPECT_EQ(Range(3, neg), 7.0);
    EXPECT_EQ(Range(0, neg), 0.0);
    Mat<double> n{{-1, -2}, {-3, -0.5}};
    EXPECT_EQ(MatrixMax(2, 2, n), 0.0);
}

TEST(CrossProduct, KnownValues) {
    // [[1,2,3],[4,5,6]]: 14, 32, 77 in the upper triangle, the lower cell untouched. With -999
    // at (0,1) row 0 loses column 1 only: 10, 22, 77.
    Mat<float> in{{1, 2, 3}, {4, 5, 6}}, mv{{1, -999, 3}, {4, 5, 6}}, a{{0, 0}, {42, 0}}, b(2, 2);
    CrossProduct(2, 3, in, a);
    CrossProductMV(2, 3, mv, b);
    ExpectCells(a, {{14, 32}, {42, 77}}, 0);
    ExpectCells(b, {{10, 22}, {0, 77}}, 0);
    EXPECT_EQ(CrossProduct2Vec(3, in[0], in[1]), 32.0);
    EXPECT_NEAR(CenteredCrossProduct2Vec(3, in[0], in[1]), 2.0, 1e-6);  // (-1,0,1) twice
    // Select: only the cells of the columns whose mask entry is nonzero: 1*3 + 2*4, 9+16+25.
    Mat<float> s{{1, 2, -999}, {3, 4, 5}, {6, -999, 7}}, out(3, 3), sum(3, 3);
    int mask[] = {0, 2, 0}, all[] = {1, 1, 1}, only2[] = {0, 0, 1};
    out.fill(42);
    CrossProductMVSelect(3, 3, s, out, mask);
    ExpectCells(out, {{42, 11, 42}, {42, 50, 42}, {42, 42, 42}}, 0);
    // Partial: per-variable products where both values are present, the rest untouched; the
    // sum over the variables whose mask entry is 1 and whose product is present.
    float*** part = dim3Dfloat(3, 3, 3);
    for (int c = 0; c < 27; c++) part[c / 9][c / 3 % 3][c % 3] = -999.0f;
    CrossProductMVPartial(3, 3, s, part);
    CrossProductMVSum(3, 3, part, sum, all);
    ExpectCells(sum, {{5, 11, 6}, {0, 50, 53}}, 0);
    CrossProductMVSum(3, 3, part, sum, only2);
    ExpectCells(sum, {{0, 0, 0}, {0, 25, 35}}, 0);
    free3D(part, 3, 3);
}

TEST(CrossProduct, NeighboursAndCorrelationFromProducts) {
    Mat<float> in{{1, 2}, {3, 4}, {5, 6}};
    Mat<double> out(3, 3), r(3, 3);
    out.fill(-1);
    CrossProductNeighbours(3, 2, in, out, 3);  // no pair, every diagonal still written
    ExpectCells(out, {{5, -1, -1}, {-1, 25, -1}, {-1, -1, 61}}, 0);
    CrossProductNeighbours(3, 2, in, out, 1);
    ExpectCells(out, {{5, 11, -1}, {-1, 25, 39}, {-1, -1, 61}}, 0);
    // The neighbour correlations read both ends of each pair; the others stay untouched.
    r.fill(42);
    CorrelationNeighbours(3, out, r, 1);
    ExpectCells(r, {{1, 11 / std::sqrt(5.0 * 25), 42}, {42, 1, 39 / std::sqrt(25.0 * 61)}, {42, 42, 1}});
    // From a product matrix: 2 / sqrt(4 * 9) = 1/3.
    Mat<double> c{{4, 2}, {2, 9}}, neg{{1, -1.000001}, {-1.000001, 1}};
    r.fill(42);
    Correlation(2, c, r);
    ExpectCells(r, {{1, 1.0 / 3}, {42, 1}});
    // A zero diagonal gives 0; a ratio rounded beyond 1 gives exactly 1 or -1.
    Mat<float> z{{0, 3, 1}, {3, 4, 2.0000005f}, {1, 2.0000005f, 1}}, rz(3, 3);
    Correlation(3, z, rz);
    Correlation(2, neg, r);
    ExpectCells(rz, {{1, 0, 0}, {0, 1, 1}}, 0);
    EXPECT_EQ(r[0][1], -1.0);
}

TEST(Covariance, KnownValues) {
    // Rows are variables: var(1..4) = 5/3, cov = 10/3, var(2,4,6,8) = 20/3; the double form mirrors.
    Mat<double> d{{1, 2, 3, 4}, {2, 4, 6, 8}}, od(2, 2);
    Covariance(2, 4, d, od);
    ExpectCells(od, {{5.0 / 3, 10.0 / 3}, {10.0 / 3, 20.0 / 3}});
    // Pairs present (1,2),(2,4),(3,6): ((-1)(-2) + 0 + 1*2) / 2 = 2.
    d[0][3] = -999;
    CovarianceMV(2, 4, d, od);
    ExpectCells(od, {{1, 2}, {10.0 / 3, 20.0 / 3}});
    // A single observation or a single pair divides by 1, not by 0.
    Mat<double> s{{3}, {5}}, os(2, 2);
    CovarianceMV(2, 1, s, os);
    ExpectCells(os, {{0, 0}, {0, 0}}, 0);
    EXPECT_EQ(Covariance2VecMV(2, d[0] + 2, d[1] + 2), 0.0);  // the one pair (3, 6)
}

TEST(Correlation, KnownValues) {
    // Rows 1..4, its reverse and (1,3,2,4): r = -1, 0.8 and -0.8; the lower half untouched.
    Mat<double> d{{1, 2, 3, 4}, {4, 3, 2, 1}, {1, 3, 2, 4}}, out(3, 3), pd(1, 2);
    CorrelationMV(3, 4, d, out);
    ExpectCells(out, {{1, -1, 0.8}, {0, 1, -0.8}, {0, 0, 1}});
    // Vector forms; only mask entries equal to 1 select: (1,2,3) vs (1,3,2) gives 0.5.
    Mat<float> f{{1, 2, 3, 4}, {4, 3, 2, 1}, {1, 3, 2, 4}};
    int m2[] = {1, 1, 1, 2};
    EXPECT_NEAR(Correlation2Vec(4, f[0], f[2]), 0.8f, 1e-5f);
    EXPECT_NEAR(Correlation2VecSelectMV(4, d[0], d[2], m2), 0.5, kTol);
    // Partition between groups A (rows 0 and 1) and B (row 2), the result nB x nA.
    CorrelationPartition(2, 1, 4, d, pd);
    ExpectCells(pd, {{0.8, -0.8}}, 1e-6);
    // Row (0, -1998) centres to (999, -999): that -999 is a value, not a missing cell.
    Mat<double> c{{0, -1998}, {1, 0}}, oc(2, 2), cov(2, 2);
    CorrelationMV(2, 2, c, oc);
    CovarianceMV(2, 2, c, cov);
    CorrelationPartition(1, 1, 2, c, pd);
    EXPECT_NEAR(oc[0][1], 1.0, kTol);
    EXPECT_NEAR(cov[0][1], 999.0, 1e-9);  // (999*0.5 + (-999)(-0.5)) / 1
    EXPECT_NEAR(pd[0][0], 1.0, 1e-6);
}

TEST(Correlation, ConstantRowGivesZeroOnEveryPath) {
    // 0.1 is not exactly representable: a rounded mean would leave residues that normalising
    // blows up to unit length.
    Mat<double> d{{0.1, 0.1, 0.1, 0.1}, {1, 2, 4, 3}, {3, 1, 2, 5}}, out(3, 3);
    for (double last : {3.0, -999.0}) {  // the plain path, then the pairwise one
        d[1][3] = last;
        CorrelationMV(3, 4, d, out);
        ExpectVec(out[0], {0, 0, 0}, 0);
        EXPECT_NEAR(out[1][1], 1.0, kTol);
    }
    Mat<float> f{{0.1f, 0.1f, 0.1f}, {1, 2, 4}}, of(1, 1);
    CorrelationPartition(1, 1, 3, f, of);
    EXPECT_EQ(of[0][0], 0.0f);
    EXPECT_EQ(Correlation2Vec(3, f[0], f[1]), 0.0f);
}

TEST(CentringNormalising, KnownValues) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        Mat<T> c{{1, 2, 6}, {0.1, 0.1, 0.1}, {0, 3, -3}}, cm{{1, -999, 5}, {2, 4, -999}, {-999, -999, 7}};
        Mat<T> n{{3, 4, 0}, {0, 0, 0}, {0, -5, 0}}, nm{{3, -999, 4}, {-999, 5, 0}, {1, 0, 0}};
        Mat<T> r{{1, 3, -999, 5}, {5, -999, -999, -999}};
        ExpectBothWays(CenterRows, CenterCols, c, {{-2, -1, 3}, {0, 0, 0}, {0, 3, -3}}, 0);
        ExpectBothWays(NormalizeRows, NormalizeCols, n, {{0.6, 0.8, 0}, {0, 0, 0}, {0, -1, 0}}, tol);
        ExpectBothWays(CenterRowsMV, CenterColsMV, cm, {{-2, -999, 2}, {-1, 1, -999}, {-999, -999, 0}}, 0);
        ExpectBothWays(NormalizeRowsMV, NormalizeColsMV, nm, {{0.6, -999, 0.8}, {-999, 1, 0}, {1, 0, 0}},
                       tol);
        // Row (1,3,-999,5): c = 3, mean 3, so (-2, 0, -999, 2) / sqrt(2); the row with a single
        // present value divides by 1.
        const double s = std::sqrt(2.0);
        ExpectBothWays(CenterRowsCovMV, CenterColsCovMV, r, {{-s, 0, -999, s}, {0, -999, -999, -999}},
                       1e-6);
        T v[] = {0.1, 0.1, 0.1}, w[] = {3, 4};
        CenterVector(3, v, v);
        NormalizeVector(2, w, w);
        ExpectVec(v, {0, 0, 0}, 0);  // constant data centre to exact zeros, as the row above
        ExpectVec(w, {0.6, 0.8}, tol);
    });
}

}  // namespace
