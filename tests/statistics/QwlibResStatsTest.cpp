// Descriptive statistics, cross products, covariance, correlation, centring, normalising.
// Expected values are worked out by hand in the comments beside them.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "statistics/qwlibRes.h"
#include "statistics/StatTestUtil.h"

namespace {

const double kTol = 1e-12;
const float kTolF = 1e-5f;

// ------------------------------------------------------------------ means and variances

TEST(Means, ColumnAndRowMeans) {
    // [[1,2],[3,4],[5,9]]: column means 3 and 5; row means 1.5, 3.5, 7.
    Mat<double> d{{1, 2}, {3, 4}, {5, 9}};
    Mat<float> f{{1, 2}, {3, 4}, {5, 9}};
    double dc[2], dr[3];
    float fc[2], fr[3];
    MeanVectorCols(3, 2, d, dc);
    MeanVectorRows(3, 2, d, dr);
    MeanVectorCols(3, 2, f, fc);
    MeanVectorRows(3, 2, f, fr);
    EXPECT_DOUBLE_EQ(dc[0], 3.0);
    EXPECT_DOUBLE_EQ(dc[1], 5.0);
    EXPECT_DOUBLE_EQ(dr[0], 1.5);
    EXPECT_DOUBLE_EQ(dr[1], 3.5);
    EXPECT_DOUBLE_EQ(dr[2], 7.0);
    EXPECT_FLOAT_EQ(fc[1], 5.0f);
    EXPECT_FLOAT_EQ(fr[2], 7.0f);
}

TEST(Means, MeanAndEmptyVector) {
    double d[] = {1, 2, 3, 4};
    float f[] = {1, 2, 3, 4};
    EXPECT_DOUBLE_EQ(Mean(4, d), 2.5);
    EXPECT_FLOAT_EQ(Mean(4, f), 2.5f);
    EXPECT_TRUE(std::isnan(Mean(0, d)));
    EXPECT_TRUE(std::isnan(Mean(0, f)));
}

TEST(SumsOfSquares, SkipMissingValues) {
    double d[] = {1, -999, 2, 3};
    float f[] = {1, -999, 2, 3};
    EXPECT_DOUBLE_EQ(SumOfSquares(4, d), 14.0);
    EXPECT_DOUBLE_EQ(SumOfSquares(4, f), 14.0);
    EXPECT_DOUBLE_EQ(SumOfSquares(0, d), 0.0);
    // 14 - 6^2 / 3 = 2
    EXPECT_DOUBLE_EQ(SumOfSquaresDev(4, d), 2.0);
    EXPECT_DOUBLE_EQ(SumOfSquaresDev(4, f), 2.0);
    double none[] = {-999, -999};
    EXPECT_TRUE(std::isnan(SumOfSquaresDev(2, none)));
    EXPECT_TRUE(std::isnan(SumOfSquaresDev(0, d)));
}

TEST(Variance, SampleVarianceOfPresentValues) {
    // mean 5, squared deviations 9+1+1+1+0+0+4+16 = 32, divided by 7.
    double d[] = {2, 4, -999, 4, 4, 5, 5, 7, 9};
    float f[] = {2, 4, -999, 4, 4, 5, 5, 7, 9};
    EXPECT_NEAR(Variance(9, d), 32.0 / 7.0, kTol);
    EXPECT_NEAR(Variance(9, f), 32.0f / 7.0f, kTolF);
    // One present value: 0/0.
    double one[] = {3, -999};
    float onef[] = {3, -999};
    EXPECT_TRUE(std::isnan(Variance(2, one)));
    EXPECT_TRUE(std::isnan(Variance(2, onef)));
}

TEST(Variance, MatrixVarianceRowsAndCols) {
    // Rows: var(1,3) = 2, var(2,6) = 8. Columns: var(1,2) = 0.5, var(3,6) = 4.5.
    Mat<double> d{{1, 3}, {2, 6}};
    Mat<float> f{{1, 3}, {2, 6}};
    EXPECT_NEAR(MatrixVarianceRows(2, 2, d), 10.0, kTol);
    EXPECT_NEAR(MatrixVarianceCols(2, 2, d), 5.0, kTol);
    EXPECT_NEAR(MatrixVarianceRows(2, 2, f), 10.0, 1e-5);
    EXPECT_NEAR(MatrixVarianceCols(2, 2, f), 5.0, 1e-5);
    EXPECT_EQ(MatrixVarianceRows(0, 2, d), 0.0);
    EXPECT_EQ(MatrixVarianceCols(2, 0, d), 0.0);
}

TEST(GowerStandardization, DividesPresentCellsByRootOfT) {
    // Rows: T = 9/1 + 16/1 = 25, cells divided by 5; the missing cell stays.
    Mat<double> d{{3, -999}, {0, 4}};
    GowerStandardizationRows(2, 2, d);
    EXPECT_DOUBLE_EQ(d[0][0], 0.6);
    EXPECT_EQ(d[0][1], -999.0);
    EXPECT_DOUBLE_EQ(d[1][1], 0.8);
    // Columns of [[3,0],[0,4]] with n = 2: T = 9 + 16 = 25.
    Mat<float> f{{3, 0}, {0, 4}};
    GowerStandardizationCols(2, 2, f);
    EXPECT_FLOAT_EQ(f[0][0], 0.6f);
    EXPECT_FLOAT_EQ(f[1][1], 0.8f);
    // Columns with p = 3 rows of 2: [[1,2,2],[1,0,0]] -> T = 2/1 + 4/1 + 4/1 = 10.
    Mat<double> c{{1, 2, 2}, {1, 0, 0}};
    GowerStandardizationCols(2, 3, c);
    EXPECT_NEAR(c[0][1], 2.0 / std::sqrt(10.0), kTol);
}

TEST(GowerStandardization, ZeroTableStaysZero) {
    Mat<double> d(2, 3);
    GowerStandardizationRows(2, 3, d);
    GowerStandardizationCols(2, 3, d);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++) EXPECT_EQ(d[i][j], 0.0);
}

TEST(MeanStDev, AllOverloads) {
    double d[] = {2, 4, 4, 4, 5, 5, 7, 9};
    float f[] = {2, 4, 4, 4, 5, 5, 7, 9};
    double m, s;
    float mf, sf;
    MeanStDev(8, d, &m, &s);
    EXPECT_DOUBLE_EQ(m, 5.0);
    EXPECT_NEAR(s, std::sqrt(32.0 / 7.0), kTol);
    MeanStDev(8, f, &m, &s);
    EXPECT_DOUBLE_EQ(m, 5.0);
    EXPECT_NEAR(s, std::sqrt(32.0 / 7.0), 1e-9);
    MeanStDev(8, f, &mf, &sf);
    EXPECT_FLOAT_EQ(mf, 5.0f);
    EXPECT_NEAR(sf, std::sqrt(32.0 / 7.0), 1e-5);
}

TEST(MeanStDev, ConstantDataNeverGivesNaN) {
    // Ten times 0.1f: in single precision sum(x^2) - (sum x)^2/n rounds below 0; five
    // times 0.7f does so with double sums. The standard deviation is 0, not NaN.
    float a[10], b[5];
    for (float& x : a) x = 0.1f;
    for (float& x : b) x = 0.7f;
    float mf, sf;
    MeanStDev(10, a, &mf, &sf);
    EXPECT_FALSE(std::isnan(sf));
    EXPECT_EQ(sf, 0.0f);
    double m, s;
    MeanStDev(5, b, &m, &s);
    EXPECT_FALSE(std::isnan(s));
    EXPECT_EQ(s, 0.0);
    MeanStDev_NonZero(5, b, &m, &s);
    EXPECT_FALSE(std::isnan(s));
    EXPECT_EQ(s, 0.0);
}

TEST(MeanStDev, NonZeroValuesOnly) {
    // Values > 0: 2 and 4 -> mean 3, sd sqrt(2).
    float v[] = {0, 2, -1, 4};
    double m, s;
    MeanStDev_NonZero(4, v, &m, &s);
    EXPECT_DOUBLE_EQ(m, 3.0);
    EXPECT_NEAR(s, std::sqrt(2.0), kTol);
    float one[] = {0, 5};
    MeanStDev_NonZero(2, one, &m, &s);
    EXPECT_DOUBLE_EQ(m, 5.0);
    EXPECT_EQ(s, 0.0);
    float none[] = {0, -3};
    MeanStDev_NonZero(2, none, &m, &s);
    EXPECT_EQ(m, 0.0);
    EXPECT_EQ(s, 0.0);
    MeanStDev_NonZero(0, none, &m, &s);
    EXPECT_EQ(m, 0.0);
    EXPECT_EQ(s, 0.0);
}

TEST(Moment, CentralMoments) {
    // Deviations -2..2: second moment 10/5 = 2, third 0, fourth 34/5 = 6.8.
    double d[] = {1, 2, 3, 4, 5};
    float f[] = {1, 2, 3, 4, 5};
    EXPECT_NEAR(Moment(5, d, 2), 2.0, kTol);
    EXPECT_NEAR(Moment(5, d, 3), 0.0, kTol);
    EXPECT_NEAR(Moment(5, d, 4), 6.8, kTol);
    EXPECT_NEAR(Moment(5, f, 4), 6.8, kTol);
}

TEST(Extremes, RangeOfNegativeAndEmptyData) {
    double neg[] = {-5, -2, -9};
    EXPECT_DOUBLE_EQ(Range(3, neg), 7.0);
    double pos[] = {1, 4, 2};
    EXPECT_DOUBLE_EQ(Range(3, pos), 3.0);
    EXPECT_EQ(Range(0, pos), 0.0);
    double one[] = {-3};
    EXPECT_EQ(Range(1, one), 0.0);
}

TEST(Extremes, MatrixMaxKeepsFloorOfZero) {
    Mat<double> neg{{-1, -2}, {-3, -0.5}};
    EXPECT_EQ(MatrixMax(2, 2, neg), 0.0);
    Mat<double> m{{1, 5}, {3, -2}};
    EXPECT_EQ(MatrixMax(2, 2, m), 5.0);
    EXPECT_EQ(MatrixMax(0, 0, m), 0.0);
}

// ------------------------------------------------------------------ cross products

TEST(CrossProduct, UpperTriangleWithDiagonal) {
    // [[1,2,3],[4,5,6]]: 14, 32, 77; the lower cell is not touched.
    Mat<float> in{{1, 2, 3}, {4, 5, 6}};
    Mat<float> of(2, 2);
    Mat<double> od(2, 2);
    of[1][0] = 42;
    od[1][0] = 42;
    CrossProduct(2, 3, in, of);
    CrossProduct(2, 3, in, od);
    EXPECT_EQ(of[0][0], 14.0f);
    EXPECT_EQ(of[0][1], 32.0f);
    EXPECT_EQ(of[1][1], 77.0f);
    EXPECT_EQ(of[1][0], 42.0f);
    EXPECT_EQ(od[0][1], 32.0);
    EXPECT_EQ(od[1][0], 42.0);
}

TEST(CrossProduct, MissingValueLeavesOutItsColumnOnlyForItsRow) {
    // -999 at row 0, column 1: [0][0] = 1 + 9, [0][1] = 4 + 18, [1][1] unchanged 77.
    Mat<float> f{{1, -999, 3}, {4, 5, 6}};
    Mat<double> d{{1, -999, 3}, {4, 5, 6}};
    Mat<float> of(2, 2);
    Mat<double> ofd(2, 2), od(2, 2);
    CrossProductMV(2, 3, f, of);
    CrossProductMV(2, 3, f, ofd);
    CrossProductMV(2, 3, d, od);
    EXPECT_EQ(of[0][0], 10.0f);
    EXPECT_EQ(of[0][1], 22.0f);
    EXPECT_EQ(of[1][1], 77.0f);
    EXPECT_EQ(ofd[0][1], 22.0);
    EXPECT_EQ(od[0][0], 10.0);
    EXPECT_EQ(od[0][1], 22.0);
    EXPECT_EQ(od[1][1], 77.0);
}

TEST(CrossProduct, PlainAndMissingValuePathsAgree) {
    Mat<float> f(5, 7);
    FillRandom(f, 11);
    Mat<double> d(5, 7);
    for (int i = 0; i < 5; i++)
        for (int k = 0; k < 7; k++) d[i][k] = f[i][k];
    Mat<float> a(5, 5), b(5, 5);
    Mat<double> c(5, 5), e(5, 5), g(5, 5);
    CrossProduct(5, 7, f, a);
    CrossProductMV(5, 7, f, b);
    CrossProduct(5, 7, f, c);
    CrossProductMV(5, 7, f, e);
    CrossProductMV(5, 7, d, g);
    for (int i = 0; i < 5; i++)
        for (int j = i; j < 5; j++) {
            EXPECT_EQ(a[i][j], b[i][j]);
            EXPECT_EQ(c[i][j], e[i][j]);
            EXPECT_NEAR(c[i][j], g[i][j], 1e-5);
        }
}

TEST(CrossProduct, SelectPartialAndSum) {
    Mat<float> in{{1, 2, -999}, {3, 4, 5}, {6, -999, 7}};
    // Select: only the cells whose column row j has a nonzero mask entry.
    Mat<float> out(3, 3);
    out.fill(42);
    int mask[] = {0, 2, 0};
    CrossProductMVSelect(3, 3, in, out, mask);
    EXPECT_EQ(out[0][1], 11.0f);  // 1*3 + 2*4
    EXPECT_EQ(out[1][1], 50.0f);  // 9 + 16 + 25
    EXPECT_EQ(out[0][0], 42.0f);
    EXPECT_EQ(out[0][2], 42.0f);
    EXPECT_EQ(out[1][2], 42.0f);

    // Partial: per-variable products where both values are present; others untouched.
    float*** part = static_cast<float***>(static_cast<void*>(dim3D(sizeof(float), 3, 3, 3)));
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            for (int k = 0; k < 3; k++) part[i][j][k] = -999.0f;
    CrossProductMVPartial(3, 3, in, part);
    EXPECT_EQ(part[0][1][0], 3.0f);
    EXPECT_EQ(part[0][1][1], 8.0f);
    EXPECT_EQ(part[0][1][2], -999.0f);  // in[0][2] missing
    EXPECT_EQ(part[1][2][2], 35.0f);
    EXPECT_EQ(part[1][2][1], -999.0f);  // in[2][1] missing
    EXPECT_EQ(part[1][0][0], -999.0f);  // lower half untouched

    // Sum over the variables whose mask entry is 1 and whose value is present.
    Mat<float> sum(3, 3);
    int vars[] = {1, 1, 1};
    CrossProductMVSum(3, 3, part, sum, vars);
    EXPECT_EQ(sum[0][1], 11.0f);
    EXPECT_EQ(sum[1][2], 18.0f + 35.0f);
    int only2[] = {0, 0, 1};
    CrossProductMVSum(3, 3, part, sum, only2);
    EXPECT_EQ(sum[0][1], 0.0f);
    EXPECT_EQ(sum[1][2], 35.0f);
    free3D(part, 3, 3);
}

TEST(CrossProduct, NeighboursWriteEveryDiagonal) {
    Mat<float> in{{1, 2}, {3, 4}, {5, 6}};
    Mat<double> out(3, 3);
    out.fill(-1);
    CrossProductNeighbours(3, 2, in, out, 1);
    EXPECT_EQ(out[0][1], 11.0);
    EXPECT_EQ(out[1][2], 39.0);
    EXPECT_EQ(out[0][0], 5.0);
    EXPECT_EQ(out[1][1], 25.0);
    EXPECT_EQ(out[2][2], 61.0);  // the last row's diagonal too
    EXPECT_EQ(out[0][2], -1.0);
    // w >= n: no pair, every diagonal still written.
    out.fill(-1);
    CrossProductNeighbours(3, 2, in, out, 3);
    EXPECT_EQ(out[2][2], 61.0);
    EXPECT_EQ(out[0][1], -1.0);
    // The neighbour correlations read both ends of each pair.
    Mat<double> r(3, 3);
    CrossProductNeighbours(3, 2, in, out, 2);
    CorrelationNeighbours(3, out, r, 2);
    EXPECT_NEAR(r[0][2], 17.0 / std::sqrt(5.0 * 61.0), kTol);
}

TEST(CrossProduct, TwoVectors) {
    double a[] = {1, 2, 3}, b[] = {4, 5, 6};
    float af[] = {1, 2, 3}, bf[] = {4, -999, 6};
    EXPECT_EQ(CrossProduct2Vec(3, a, b), 32.0);
    EXPECT_EQ(CrossProduct2Vec(0, a, b), 0.0);
    EXPECT_EQ(CrossProduct2VecMV(3, af, bf), 22.0);
    b[1] = -999;
    EXPECT_EQ(CrossProduct2VecMV(3, a, b), 22.0);
    // Centred: (-1,0,1) and (-2,-1,3) -> 2 + 0 + 3 = 5.
    double c[] = {1, 2, 3}, e[] = {4, 5, 9};
    float cf[] = {1, 2, 3}, ef[] = {4, 5, 9};
    EXPECT_NEAR(CenteredCrossProduct2Vec(3, c, e), 5.0, 1e-6);
    EXPECT_NEAR(CenteredCrossProduct2Vec(3, cf, ef), 5.0f, kTolF);
}

// ------------------------------------------------------------------ covariance

TEST(Covariance, RowsAreVariables) {
    // var(1..4) = 5/3, cov = 10/3, var(2,4,6,8) = 20/3.
    Mat<double> d{{1, 2, 3, 4}, {2, 4, 6, 8}};
    Mat<float> f{{1, 2, 3, 4}, {2, 4, 6, 8}};
    Mat<double> od(2, 2), ofd(2, 2);
    Mat<float> of(2, 2);
    of[1][0] = 42;
    ofd[1][0] = 42;
    Covariance(2, 4, d, od);
    Covariance(2, 4, f, of);
    Covariance(2, 4, f, ofd);
    EXPECT_NEAR(od[0][0], 5.0 / 3.0, kTol);
    EXPECT_NEAR(od[0][1], 10.0 / 3.0, kTol);
    EXPECT_NEAR(od[1][1], 20.0 / 3.0, kTol);
    EXPECT_NEAR(od[1][0], 10.0 / 3.0, kTol);  // only the double form mirrors
    EXPECT_NEAR(of[0][1], 10.0f / 3.0f, kTolF);
    EXPECT_EQ(of[1][0], 42.0f);
    EXPECT_NEAR(ofd[1][1], 20.0 / 3.0, 1e-9);
    EXPECT_EQ(ofd[1][0], 42.0);
}

TEST(Covariance, MissingValuePath) {
    // Pairs (1,2),(2,4),(3,6): ((-1)(-2) + 0 + 1*2) / 2 = 2.
    Mat<double> d{{1, 2, 3, -999}, {2, 4, 6, 8}};
    Mat<double> out(2, 2);
    CovarianceMV(2, 4, d, out);
    EXPECT_NEAR(out[0][1], 2.0, kTol);
    EXPECT_NEAR(out[0][0], 1.0, kTol);
    EXPECT_NEAR(out[1][1], 20.0 / 3.0, kTol);
    EXPECT_NEAR(Covariance2VecMV(4, d[0], d[1]), 2.0, kTol);
    EXPECT_EQ(Covariance2VecMV(0, d[0], d[1]), 0.0);
    // One pair present: its deviations are 0 and the divisor c - 1 = 0 becomes 1.
    double a[] = {5, -999}, b[] = {7, 1};
    EXPECT_EQ(Covariance2VecMV(2, a, b), 0.0);
}

TEST(Covariance, PlainAndMissingValuePathsAgree) {
    Mat<double> d(4, 9);
    FillRandom(d, 5);
    Mat<double> a(4, 4), b(4, 4);
    Covariance(4, 9, d, a);
    CovarianceMV(4, 9, d, b);
    for (int i = 0; i < 4; i++)
        for (int j = i; j < 4; j++) {
            EXPECT_NEAR(a[i][j], b[i][j], 1e-12);
            EXPECT_NEAR(Covariance2VecMV(9, d[i], d[j]), a[i][j], 1e-12);
        }
}

TEST(Covariance, SingleObservationDividesByOne) {
    Mat<double> d{{3}, {5}};
    Mat<double> out(2, 2);
    Covariance(2, 1, d, out);
    EXPECT_EQ(out[0][1], 0.0);
    CovarianceMV(2, 1, d, out);
    EXPECT_EQ(out[0][1], 0.0);
    EXPECT_EQ(out[1][1], 0.0);
}

// ------------------------------------------------------------------ correlation

// Rows 1..4, its reverse, and (1,3,2,4): r = -1 and r = 4 / 5 = 0.8.
TEST(Correlation, KnownValuesBothPaths) {
    Mat<double> d{{1, 2, 3, 4}, {4, 3, 2, 1}, {1, 3, 2, 4}};
    Mat<double> out(3, 3);
    out[1][0] = 42;
    CorrelationMV(3, 4, d, out);
    EXPECT_NEAR(out[0][1], -1.0, kTol);
    EXPECT_NEAR(out[0][2], 0.8, kTol);
    EXPECT_NEAR(out[1][2], -0.8, kTol);
    EXPECT_NEAR(out[0][0], 1.0, kTol);
    EXPECT_EQ(out[1][0], 42.0);
    // Missing-value path: a -999 in a fourth row sends the table through the pairwise route.
    Mat<double> m{{1, 2, 3, 4}, {4, 3, 2, 1}, {1, 3, 2, 4}, {1, -999, 2, 7}};
    Mat<double> om(4, 4);
    CorrelationMV(4, 4, m, om);
    for (int i = 0; i < 3; i++)
        for (int j = i; j < 3; j++) EXPECT_NEAR(om[i][j], out[i][j], 1e-12);
    // Row 3 against row 0 over columns 0, 2, 3: (1,3,4) vs (1,2,7): r = 9 / sqrt(4.6667*20.6667).
    double sxy = (1 - 8.0 / 3) * (1 - 10.0 / 3) + (3 - 8.0 / 3) * (2 - 10.0 / 3) + (4 - 8.0 / 3) * (7 - 10.0 / 3);
    double sxx = std::pow(1 - 8.0 / 3, 2) + std::pow(3 - 8.0 / 3, 2) + std::pow(4 - 8.0 / 3, 2);
    double syy = std::pow(1 - 10.0 / 3, 2) + std::pow(2 - 10.0 / 3, 2) + std::pow(7 - 10.0 / 3, 2);
    EXPECT_NEAR(om[0][3], sxy / std::sqrt(sxx * syy), 1e-12);
}

TEST(Correlation, ConstantRowGivesZeroOnBothPaths) {
    // 0.1 is not exactly representable: a rounded mean would leave residues that normalising
    // blows up to unit length.
    Mat<double> d{{0.1, 0.1, 0.1}, {1, 2, 4}, {3, 1, 2}};
    Mat<double> out(3, 3);
    CorrelationMV(3, 3, d, out);
    EXPECT_EQ(out[0][0], 0.0);
    EXPECT_EQ(out[0][1], 0.0);
    EXPECT_EQ(out[0][2], 0.0);
    EXPECT_NEAR(out[1][1], 1.0, kTol);
    Mat<double> m{{0.1, 0.1, 0.1, 0.1}, {1, 2, 4, -999}, {3, 1, 2, 5}};
    Mat<double> om(3, 3);
    CorrelationMV(3, 4, m, om);
    EXPECT_EQ(om[0][0], 0.0);
    EXPECT_EQ(om[0][1], 0.0);
    EXPECT_EQ(om[0][2], 0.0);
    EXPECT_NEAR(om[1][1], 1.0, kTol);
    // The vector forms agree.
    double c[] = {0.1, 0.1, 0.1}, v[] = {1, 2, 4};
    float cf[] = {0.1f, 0.1f, 0.1f}, vf[] = {1, 2, 4};
    EXPECT_EQ(Correlation2VecMV(3, c, v), 0.0);
    EXPECT_EQ(Correlation2VecMV(3, cf, vf), 0.0);
    EXPECT_EQ(Correlation2Vec(3, c, v), 0.0);
    EXPECT_EQ(Correlation2Vec(3, cf, vf), 0.0f);
    int all[] = {1, 1, 1};
    EXPECT_EQ(Correlation2VecSelectMV(3, c, v, all), 0.0);
}

TEST(Correlation, CentredValueEqualToMissingCodeIsStillData) {
    // Row (0, -1998) centres to (999, -999): that -999 is a value, not a missing cell.
    Mat<double> d{{0, -1998}, {1, 0}};
    Mat<double> out(2, 2);
    CorrelationMV(2, 2, d, out);
    EXPECT_NEAR(out[0][1], 1.0, kTol);
    EXPECT_NEAR(out[0][0], 1.0, kTol);
    Mat<double> cov(2, 2);
    CovarianceMV(2, 2, d, cov);
    EXPECT_NEAR(cov[0][1], 999.0, 1e-9);  // (999*0.5 + (-999)(-0.5)) / 1
    Mat<double> part(1, 1);
    CorrelationPartition(1, 1, 2, d, part);
    EXPECT_NEAR(part[0][0], 1.0, 1e-6);
}

TEST(Correlation, ResultsLieInUnitInterval) {
    // Nearly collinear rows push the rounded sums to the bound.
    Mat<double> d(6, 25);
    FillRandom(d, 7);
    for (int k = 0; k < 25; k++) {
        d[1][k] = 3.0 * d[0][k] + 0.1;
        d[2][k] = -7.3 * d[0][k] + 1e6;
    }
    Mat<double> out(6, 6);
    CorrelationMV(6, 25, d, out);
    d[5][3] = -999;
    Mat<double> om(6, 6);
    CorrelationMV(6, 25, d, om);
    for (int i = 0; i < 6; i++)
        for (int j = i; j < 6; j++) {
            EXPECT_LE(std::fabs(out[i][j]), 1.0);
            EXPECT_LE(std::fabs(om[i][j]), 1.0);
        }
    EXPECT_NEAR(out[0][1], 1.0, 1e-12);
    EXPECT_NEAR(out[0][2], -1.0, 1e-12);
    Mat<float> f(2, 25);
    for (int k = 0; k < 25; k++) {
        f[0][k] = float(d[0][k]);
        f[1][k] = float(3.0 * d[0][k]);
    }
    EXPECT_LE(std::fabs(Correlation2Vec(25, f[0], f[1])), 1.0f);
    EXPECT_LE(std::fabs(Correlation2VecMV(25, f[0], f[1])), 1.0);
}

TEST(Correlation, VectorForms) {
    double a[] = {1, 2, 3, 4, -999}, b[] = {1, 3, 2, 4, 100};
    float af[] = {1, 2, 3, 4, -999}, bf[] = {1, 3, 2, 4, 100};
    EXPECT_NEAR(Correlation2VecMV(5, a, b), 0.8, kTol);
    EXPECT_NEAR(Correlation2VecMV(5, af, bf), 0.8, 1e-12);
    EXPECT_EQ(Correlation2VecMV(0, a, b), 0.0);
    EXPECT_NEAR(Correlation2Vec(4, a, b), 0.8, 1e-6);
    EXPECT_NEAR(Correlation2Vec(4, af, bf), 0.8f, kTolF);
    // Only mask entries equal to 1 select: positions 0..3 -> 0.8; with 2 at position 3 it
    // is left out: (1,2,3) vs (1,3,2) -> 0.5.
    int m1[] = {1, 1, 1, 1, 1};
    int m2[] = {1, 1, 1, 2, 0};
    EXPECT_NEAR(Correlation2VecSelectMV(5, a, b, m1), 0.8, kTol);
    EXPECT_NEAR(Correlation2VecSelectMV(5, a, b, m2), 0.5, kTol);
}

TEST(Correlation, PlainAndMissingValuePathsAgree) {
    Mat<double> d(5, 12);
    FillRandom(d, 3);
    Mat<double> cov(5, 5), r(5, 5), rmv(5, 5);
    Covariance(5, 12, d, cov);
    Correlation(5, cov, r);
    CorrelationMV(5, 12, d, rmv);
    Mat<float> f(5, 12);
    for (int i = 0; i < 5; i++)
        for (int k = 0; k < 12; k++) f[i][k] = float(d[i][k]);
    for (int i = 0; i < 5; i++)
        for (int j = i; j < 5; j++) {
            EXPECT_NEAR(r[i][j], rmv[i][j], 1e-12);
            EXPECT_NEAR(Correlation2VecMV(12, d[i], d[j]), r[i][j], 1e-12);
            EXPECT_NEAR(Correlation2Vec(12, d[i], d[j]), r[i][j], 1e-5);
            EXPECT_NEAR(Correlation2VecMV(12, f[i], f[j]), r[i][j], 1e-5);
        }
}

TEST(Correlation, FromProductMatrix) {
    // 2 / sqrt(4 * 9) = 1/3.
    Mat<double> c{{4, 2}, {2, 9}};
    Mat<double> r(2, 2);
    Correlation(2, c, r);
    EXPECT_NEAR(r[0][1], 1.0 / 3.0, kTol);
    EXPECT_EQ(r[0][0], 1.0);
    EXPECT_EQ(r[1][1], 1.0);
    // A zero diagonal gives 0; a ratio rounded above 1 gives exactly 1.
    Mat<float> z{{0, 3, 1}, {3, 4, 2.0000005f}, {1, 2.0000005f, 1}};
    Mat<float> rz(3, 3);
    Correlation(3, z, rz);
    EXPECT_EQ(rz[0][1], 0.0f);
    EXPECT_EQ(rz[0][2], 0.0f);
    EXPECT_EQ(rz[1][2], 1.0f);
    Mat<double> neg{{1, -1.000001}, {-1.000001, 1}};
    Correlation(2, neg, r);
    EXPECT_EQ(r[0][1], -1.0);
    // n = 1: only the diagonal.
    Mat<double> one{{5, 7}, {7, 9}};
    Mat<double> r1(2, 2);
    r1.fill(42);
    Correlation(1, one, r1);
    EXPECT_EQ(r1[0][0], 1.0);
    EXPECT_EQ(r1[0][1], 42.0);
}

TEST(Correlation, NeighboursOnly) {
    Mat<double> c{{4, 2, 1}, {2, 9, 3}, {1, 3, 1}};
    Mat<double> r(3, 3);
    r.fill(42);
    CorrelationNeighbours(3, c, r, 1);
    EXPECT_NEAR(r[0][1], 1.0 / 3.0, kTol);
    EXPECT_NEAR(r[1][2], 1.0, kTol);
    EXPECT_EQ(r[0][2], 42.0);
    EXPECT_EQ(r[2][2], 1.0);
    r.fill(42);
    CorrelationNeighbours(3, c, r, 3);
    for (int i = 0; i < 3; i++) EXPECT_EQ(r[i][i], 1.0);
    EXPECT_EQ(r[0][1], 42.0);
    EXPECT_EQ(r[1][2], 42.0);
}

TEST(Correlation, PartitionBetweenTwoGroups) {
    // Group A: row 0; group B: rows 1 and 2. Result nB x nA.
    Mat<float> f{{1, 2, 3, 4}, {4, 3, 2, 1}, {1, 3, 2, 4}};
    Mat<float> out(2, 1);
    CorrelationPartition(1, 2, 4, f, out);
    EXPECT_NEAR(out[0][0], -1.0f, kTolF);
    EXPECT_NEAR(out[1][0], 0.8f, kTolF);
    Mat<double> d{{1, 2, 3, 4}, {4, 3, 2, 1}, {1, 3, 2, 4}};
    Mat<double> od(1, 2);
    CorrelationPartition(2, 1, 4, d, od);  // A: rows 0, 1; B: row 2
    EXPECT_NEAR(od[0][0], 0.8, 1e-6);
    EXPECT_NEAR(od[0][1], -0.8, 1e-6);
    // Constant row: 0.
    Mat<float> c{{0.1f, 0.1f, 0.1f}, {1, 2, 4}};
    Mat<float> oc(1, 1);
    CorrelationPartition(1, 1, 3, c, oc);
    EXPECT_EQ(oc[0][0], 0.0f);
}

// ------------------------------------------------------------------ centring, normalising

TEST(Centring, RowsColsVectors) {
    Mat<double> d{{1, 2, 6}, {4, 4, 4}};
    Mat<double> o(2, 3);
    CenterRows(2, 3, d, o);
    EXPECT_DOUBLE_EQ(o[0][0], -2.0);
    EXPECT_DOUBLE_EQ(o[0][2], 3.0);
    EXPECT_EQ(o[1][1], 0.0);
    CenterCols(2, 3, d, o);
    EXPECT_DOUBLE_EQ(o[0][0], -1.5);
    EXPECT_DOUBLE_EQ(o[1][2], -1.0);
    Mat<float> f{{1, 2, 6}, {4, 4, 4}};
    CenterRows(2, 3, f, f);  // in place
    EXPECT_FLOAT_EQ(f[0][1], -1.0f);
    float v[] = {1, 2, 6}, vo[3];
    CenterVector(3, v, vo);
    EXPECT_FLOAT_EQ(vo[2], 3.0f);
    double dv[] = {0.1, 0.1, 0.1}, dvo[3];
    CenterVector(3, dv, dvo);
    EXPECT_EQ(dvo[0], 0.0);  // constant data centre to exact zeros
}

TEST(Centring, FloatToDoubleRoundsToSingle) {
    Mat<float> f{{0.1f, 0}, {0.4f, 0}, {0.2f, 0}};
    Mat<double> o(3, 2);
    CenterCols(3, 2, f, o);
    double mean = (double(0.1f) + double(0.4f) + double(0.2f)) / 3.0;
    EXPECT_EQ(o[0][0], double(float(double(0.1f) - mean)));
    Mat<double> om(3, 2);
    f[1][1] = -999;
    CenterColsMV(3, 2, f, om);
    EXPECT_EQ(om[0][0], o[0][0]);
    EXPECT_EQ(om[1][1], -999.0);
}

TEST(Centring, MissingValuesStayMissing) {
    Mat<double> d{{1, -999, 5}, {2, 4, -999}};
    CenterRowsMV(2, 3, d, d);
    EXPECT_DOUBLE_EQ(d[0][0], -2.0);
    EXPECT_EQ(d[0][1], -999.0);
    EXPECT_DOUBLE_EQ(d[0][2], 2.0);
    EXPECT_DOUBLE_EQ(d[1][1], 1.0);
    Mat<float> f{{1, -999}, {3, 8}, {-999, 10}};
    Mat<float> o(3, 2);
    CenterColsMV(3, 2, f, o);
    EXPECT_FLOAT_EQ(o[0][0], -1.0f);
    EXPECT_EQ(o[2][0], -999.0f);
    EXPECT_FLOAT_EQ(o[1][1], -1.0f);
    EXPECT_EQ(o[0][1], -999.0f);
    // Without -999 the MV forms equal the plain ones.
    Mat<double> r(4, 5), a(4, 5), b(4, 5);
    FillRandom(r, 9);
    CenterRows(4, 5, r, a);
    CenterRowsMV(4, 5, r, b);
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 5; k++) EXPECT_EQ(a[i][k], b[i][k]);
    CenterCols(4, 5, r, a);
    CenterColsMV(4, 5, r, b);
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 5; k++) EXPECT_EQ(a[i][k], b[i][k]);
}

TEST(Centring, CovarianceScaling) {
    // Row (1,3,-999,5): c = 3, mean 3 -> (-2, 0, -999, 2) / sqrt(2).
    Mat<double> d{{1, 3, -999, 5}, {5, -999, -999, -999}};
    Mat<double> o(2, 4);
    CenterRowsCovMV(2, 4, d, o);
    EXPECT_NEAR(o[0][0], -std::sqrt(2.0), kTol);
    EXPECT_EQ(o[0][1], 0.0);
    EXPECT_EQ(o[0][2], -999.0);
    EXPECT_NEAR(o[0][3], std::sqrt(2.0), kTol);
    // A single present value divides by 1, not by 0.
    EXPECT_EQ(o[1][0], 0.0);
    EXPECT_EQ(o[1][1], -999.0);
    Mat<float> f{{1, 5}, {3, -999}, {-999, -999}, {5, -999}};
    Mat<float> of(4, 2);
    CenterColsCovMV(4, 2, f, of);
    EXPECT_NEAR(of[0][0], -std::sqrt(2.0f), kTolF);
    EXPECT_EQ(of[2][0], -999.0f);
    EXPECT_EQ(of[0][1], 0.0f);
    Mat<float> fr{{1, 3, -999, 5}};
    Mat<float> ofr(1, 4);
    CenterRowsCovMV(1, 4, fr, ofr);
    EXPECT_NEAR(ofr[0][3], std::sqrt(2.0f), kTolF);
    Mat<double> dc{{1, 5}, {3, -999}, {-999, -999}, {5, -999}};
    Mat<double> odc(4, 2);
    CenterColsCovMV(4, 2, dc, odc);
    EXPECT_NEAR(odc[3][0], std::sqrt(2.0), 1e-6);
    EXPECT_EQ(odc[1][1], -999.0);
}

TEST(Normalising, UnitLengthAndZeroRows) {
    Mat<double> d{{3, 4}, {0, 0}};
    Mat<double> o(2, 2);
    NormalizeRows(2, 2, d, o);
    EXPECT_DOUBLE_EQ(o[0][0], 0.6);
    EXPECT_DOUBLE_EQ(o[0][1], 0.8);
    EXPECT_EQ(o[1][0], 0.0);
    EXPECT_EQ(o[1][1], 0.0);
    Mat<float> f{{3, 0}, {4, 0}};
    NormalizeCols(2, 2, f, f);
    EXPECT_FLOAT_EQ(f[0][0], 0.6f);
    EXPECT_FLOAT_EQ(f[1][0], 0.8f);
    EXPECT_EQ(f[0][1], 0.0f);
    float v[] = {3, 4}, vo[2];
    NormalizeVector(2, v, vo);
    EXPECT_FLOAT_EQ(vo[1], 0.8f);
    double dv[] = {0, 0}, dvo[2] = {7, 7};
    NormalizeVector(2, dv, dvo);
    EXPECT_EQ(dvo[0], 0.0);
}

TEST(Normalising, MissingValueForms) {
    Mat<double> d{{3, -999, 4}};
    Mat<double> o(1, 3);
    NormalizeRowsMV(1, 3, d, o);
    EXPECT_DOUBLE_EQ(o[0][0], 0.6);
    EXPECT_EQ(o[0][1], -999.0);
    EXPECT_DOUBLE_EQ(o[0][2], 0.8);
    Mat<float> f{{3}, {-999}, {4}};
    NormalizeColsMV(3, 1, f, f);
    EXPECT_FLOAT_EQ(f[2][0], 0.8f);
    EXPECT_EQ(f[1][0], -999.0f);
    Mat<float> fr{{3, -999, 4}};
    NormalizeRowsMV(1, 3, fr, fr);
    EXPECT_FLOAT_EQ(fr[0][0], 0.6f);
    Mat<double> dc{{3}, {-999}, {4}};
    NormalizeColsMV(3, 1, dc, dc);
    EXPECT_DOUBLE_EQ(dc[0][0], 0.6);
    // Without -999 the MV forms equal the plain ones.
    Mat<double> r(3, 4), a(3, 4), b(3, 4);
    FillRandom(r, 21);
    NormalizeRows(3, 4, r, a);
    NormalizeRowsMV(3, 4, r, b);
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 4; k++) EXPECT_EQ(a[i][k], b[i][k]);
    NormalizeCols(3, 4, r, a);
    NormalizeColsMV(3, 4, r, b);
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 4; k++) EXPECT_EQ(a[i][k], b[i][k]);
}

TEST(MissingValue, OnlyMinus999IsMissing) {
    EXPECT_TRUE(IsMissing(-999.0));
    EXPECT_TRUE(IsMissing(-999.0f));
    EXPECT_FALSE(IsMissing(-999.5));
    EXPECT_FALSE(IsMissing(std::nan("")));
    EXPECT_TRUE(IsPresent(std::nanf("")));
}

}  // namespace
