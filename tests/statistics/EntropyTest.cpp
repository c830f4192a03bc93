// Entropy, coherence and mutual entropy of contingency tables: closed forms on uniform,
// diagonal and independent tables, and hand-worked values on [[1, 2], [3, 4]].
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

const double kLn2 = std::log(2.0);

// Hand values of [[1, 2], [3, 4]] (N = 10): P = .1 .2 .3 .4, rows .3 .7, columns .4 .6.
//   order 2:   H_RC = -ln .30, H_R = -ln .58, H_C = -ln .52, and H_R + H_C - H_RC = ln(.3 / .3016) < 0
//   order a:   H = ln(sum q^a) / (1 - a), so order 0.5: 2 ln(sum of square roots)
//   Shannon:   H = -sum q ln q
double Renyi(std::initializer_list<double> q, double a = 1) {
    double s = 0;
    for (double x : q) s += a == 1 ? -x * std::log(x) : std::pow(x, a);
    return a == 1 ? s : std::log(s) / (1 - a);
}
double Shannon(std::initializer_list<double> q) { return Renyi(q); }

TEST(EntropyMV, HandValuesOfASmallTableOverASeriesOfOrders) {
    Mat<double> t{{1, 2}, {3, 4}};
    double hrc[4] = {}, hc[4] = {}, hr[4] = {};
    ASSERT_EQ(EntropyMV(2, 2, t, hrc, hc, hr, 0.5, 2.0, 0.5), 4);  // orders 0.5, 1, 1.5, 2
    for (int k = 0; k < 4; k++) {
        EXPECT_NEAR(hrc[k], Renyi({.1, .2, .3, .4}, 0.5 + 0.5 * k), 1e-12) << k;
        EXPECT_NEAR(hr[k], Renyi({.3, .7}, 0.5 + 0.5 * k), 1e-12) << k;
        EXPECT_NEAR(hc[k], Renyi({.4, .6}, 0.5 + 0.5 * k), 1e-12) << k;
    }
    // The plain float-data double-output form agrees closely.
    Mat<float> f{{1, 2}, {3, 4}};
    double dr[4], dc[4], drc[4];
    ASSERT_EQ(Entropy(2, 2, f, drc, dc, dr, 0.5f, 2.0f, 0.5f), 4);
    ExpectVec(drc, {hrc[0], hrc[1], hrc[2], hrc[3]}, 1e-12);
    ExpectVec(dr, {hr[0], hr[1], hr[2], hr[3]}, 1e-12);
}

TEST(EntropyOrderCount, SeriesLengthsAndRefusals) {
    struct Case {
        double start, end, step;
        int want;
    } cases[] = {
        {0.5, 2.0, 0.5, 4}, {1, 1, 0, 1},     {1, 1, -3, 1},   {2, 1, 0.5, 0}, {0, 3, 0, 0},
        {0, 3, -1, 0},      {0, 1, 0.3, 4},   {0, 0.9, 0.3, 4}, {0.1f, 1.0f, 0.1f, 10},
    };
    for (const Case& c : cases) EXPECT_EQ(EntropyOrderCount(c.start, c.end, c.step), c.want) << c.start << " " << c.end << " " << c.step;
}

TEST(EntropyMV, EndBeforeStartOrNoStepWritesNothingAndAnAccumulatedOneIsShannon) {
    Mat<double> t{{1, 2}, {3, 4}};
    double a[2] = {7, 7}, b[2] = {7, 7}, c[2] = {7, 7};
    EXPECT_EQ(EntropyMV(2, 2, t, a, b, c, 2.0, 1.0, 0.5), 0);
    EXPECT_EQ(EntropyMV(2, 2, t, a, b, c, 1.0, 2.0, 0.0), 0);
    ExpectVec(a, {7, 7}, 0);
    // Order 10 of 0.1 + k 0.1 in single precision is 1.0000001: the Shannon order.
    Mat<float> f{{1, 2}, {3, 4}};
    float h[10], hc[10], hr[10];
    ASSERT_EQ(EntropyMV(2, 2, f, h, hc, hr, 0.1f, 1.0f, 0.1f), 10);
    EXPECT_NEAR(h[9], Shannon({.1, .2, .3, .4}), 1e-5);
}

// k x k tables. Uniform: H_RC = ln k^2, H_R = H_C = ln k at every order, I = 0, coherence 0.
// Diagonal: H_RC = H_R = H_C = ln k, I = ln k, U = 0, coherence 1.
TEST(Entropy_MV, UniformAndDiagonalTablesAtEveryOrder) {
    for (int k : {2, 3}) {
        Mat<double> uni(k, k), diag(k, k);
        uni.fill(2.5);
        for (int i = 0; i < k; i++) diag[i][i] = 4;
        const int m = 5;  // orders 0.5 .. 2.5
        std::vector<double> H(m), C(m), R(m), I(m), U(m), K(m);
        ASSERT_EQ(Entropy_MV(k, k, uni, H.data(), C.data(), R.data(), I.data(), U.data(), K.data(), 0.5, 2.5, 0.5), m);
        for (int o = 0; o < m; o++)
            ExpectVec(std::vector<double>{H[o], R[o], C[o], I[o], K[o]}.data(),
                      {2 * std::log(k), std::log(k), std::log(k), 0, 0}, 1e-6);
        ASSERT_EQ(Entropy_MV(k, k, diag, H.data(), C.data(), R.data(), I.data(), U.data(), K.data(), 0.5, 2.5, 0.5), m);
        for (int o = 0; o < m; o++)  // rows whose first cell is 0 count too
            ExpectVec(std::vector<double>{H[o], R[o], I[o], U[o], K[o]}.data(),
                      {std::log(k), std::log(k), std::log(k), 0, 1}, 1e-12);
        EXPECT_NEAR(CoheCoefMV(k, k, diag, 1.0), 1, 1e-12);
    }
}

TEST(Entropy_MV, NegativeMutualEntropyEmptyTableAndSingleCell) {
    // [[1, 2], [3, 4]] at order 2: I = ln(.3 / (.58 .52)) < 0 is reported as 0, U = 1, K = 0.
    Mat<double> t{{1, 2}, {3, 4}};
    double H, C, R, I, U, K;
    Entropy_MV(2, 2, t, &H, &C, &R, &I, &U, &K, 2.0, 2.0, 1.0);
    EXPECT_EQ(std::vector<double>({I, U, K}), std::vector<double>({0, 1, 0}));
    // Shannon: I = H_R + H_C - H_RC > 0, U = 1 - I / H_RC, K = sqrt(1 - U^2).
    Entropy_MV(2, 2, t, &H, &C, &R, &I, &U, &K, 1.0, 1.0, 1.0);
    double i1 = Shannon({.3, .7}) + Shannon({.4, .6}) - Shannon({.1, .2, .3, .4});
    EXPECT_NEAR(I, i1, 1e-12);
    EXPECT_NEAR(U, 1 - i1 / Shannon({.1, .2, .3, .4}), 1e-12);
    EXPECT_NEAR(K, std::sqrt(1 - U * U), 1e-12);
    // Empty table: every value 0 (coherence 0); one occupied cell: H_RC = 0, U = 1, K = 0.
    Mat<double> empty(3, 2), one(3, 2);
    one[1][1] = 6;
    for (Mat<double>* m : {&empty, &one}) {
        Entropy_MV(3, 2, *m, &H, &C, &R, &I, &U, &K, 0.5, 0.5, 1.0);
        EXPECT_EQ(std::vector<double>({H, R, I, U, K}), std::vector<double>({0, 0, 0, 1, 0}));
        EXPECT_EQ(MutualEntropyMV(3, 2, *m, 2.0), 0);
        EXPECT_EQ(MutualEntropyMV(3, 2, *m, 1.0), 0);
    }
    Mat<float> f{{0, 0}, {0, 0}};
    float fh, fc, fr, fi, fu, fk;
    Entropy_(2, 2, f, &fh, &fc, &fr, &fi, &fu, &fk, 3.0f, 3.0f, 1.0f);  // no 0/0 in the plain form
    EXPECT_EQ(fh, 0);
    EXPECT_EQ(fk, 0);
    EXPECT_EQ(CoheCoef(2, 2, f, 1.0f), 0);
}

TEST(EntropyMV, MissingCellsAreLeftOutOfTotalsAndMargins) {
    Mat<double> with{{-999, 5}, {5, 0}}, zero{{0, 5}, {5, 0}};
    double a[3], b[3], c[3], x[3], y[3], z[3];
    EntropyMV(2, 2, with, a, b, c, 0.5, 1.5, 0.5);
    EntropyMV(2, 2, zero, x, y, z, 0.5, 1.5, 0.5);
    for (int k = 0; k < 3; k++) {
        EXPECT_NEAR(a[k], kLn2, 1e-12);
        EXPECT_EQ(a[k], x[k]);
        EXPECT_EQ(b[k], y[k]);
        EXPECT_EQ(c[k], z[k]);
    }
    EXPECT_NEAR(MutualEntropyMV(2, 2, with, 1.0), kLn2, 1e-12);
    Mat<float> wf{{-999, 5}, {5, 0}};
    EXPECT_NEAR(CoheCoefMV(2, 2, wf, 1.0f), 1, 1e-6);
}

TEST(EntropyMV, OnlyTheGivenRowsAndColumnsAreRead) {
    // The 2 x 2 table [[1, 2], [3, 4]] held in the corner of a larger matrix.
    Mat<double> big{{1, 2, 50}, {3, 4, 60}, {70, 80, 90}};
    double h[1], c[1], r[1];
    EntropyMV(2, 2, big, h, c, r, 1.0, 1.0, 1.0);
    EXPECT_NEAR(h[0], Shannon({.1, .2, .3, .4}), 1e-12);
    EXPECT_NEAR(c[0], Shannon({.4, .6}), 1e-12);
    EXPECT_NEAR(r[0], Shannon({.3, .7}), 1e-12);
    EXPECT_NEAR(MutualEntropyMV(2, 2, big, 2.0), std::log(127.0 / 126.0), 1e-12);
}

TEST(MutualEntropy, HandValuesIndependentAndDiagonalTables) {
    // [[1, 2], [3, 4]], order 2: sum P^2 / (r c) = 1/12 + 2/9 + 9/28 + 8/21 = 254/252, I = ln(127/126).
    // Shannon: H_R + H_C - H_RC.
    Mat<double> t{{1, 2}, {3, 4}};
    Mat<float> tf{{1, 2}, {3, 4}};
    double i1 = Shannon({.3, .7}) + Shannon({.4, .6}) - Shannon({.1, .2, .3, .4});
    EXPECT_NEAR(MutualEntropyMV(2, 2, t, 2.0), std::log(127.0 / 126.0), 1e-12);
    EXPECT_NEAR(MutualEntropyMV(2, 2, t, 1.0), i1, 1e-12);
    EXPECT_NEAR(MutualEntropy(2, 2, tf, 2.0f), std::log(127.0 / 126.0), 1e-7);
    // Order 0.5 from its definition: ln(sum sqrt(P) sqrt(r c)) / -0.5.
    double s = std::sqrt(.1 * .12) + std::sqrt(.2 * .18) + std::sqrt(.3 * .28) + std::sqrt(.4 * .42);
    EXPECT_NEAR(MutualEntropyMV(2, 2, t, 0.5), std::log(s) / -0.5, 1e-12);
    // Product of margins (.2, .8) x (.5, .3, .2): 0 at every order.
    Mat<double> ind(2, 3);
    const double r[2] = {.2, .8}, c[3] = {.5, .3, .2};
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++) ind[i][j] = 100 * r[i] * c[j];
    for (double a : {0.5, 1.0, 3.0}) EXPECT_NEAR(MutualEntropyMV(2, 3, ind, a), 0, 1e-12) << a;
    // Diagonal of 3: ln 3 at every order (P / (r c) = 3 on the diagonal).
    Mat<double> d{{2, 0, 0}, {0, 2, 0}, {0, 0, 2}};
    for (double a : {0.5, 2.0}) EXPECT_NEAR(MutualEntropyMV(3, 3, d, a), std::log(3.0), 1e-12);
    Mat<double> none(0, 0);
    EXPECT_EQ(MutualEntropyMV(0, 0, none, 2.0), 0);
}

TEST(EntropyRowsCols, MarginEntropiesOfOneOrder) {
    Mat<double> t{{1, 2}, {3, 4}}, miss{{1, -999}, {3, 4}};  // the double forms skip -999: rows 1/8, 7/8
    Mat<float> f{{1, 2}, {3, 4}};
    EXPECT_NEAR(EntropyRows(2, 2, t, 2.0), -std::log(.58), 1e-12);
    EXPECT_NEAR(EntropyCols(2, 2, f, 1.0), Shannon({.4, .6}), 1e-7);
    EXPECT_NEAR(EntropyRows(2, 2, miss, 1.0), Shannon({.125, .875}), 1e-12);
}

// Three binary variables: A and B independent and uniform, C a copy of A. The two-way totals
// explain the table completely (3-D mutual entropy 0), while the divergence from complete
// independence is the information C shares with A: ln 2.
TEST(ThreeWay, PairwiseStructureAndCompleteIndependence) {
    Mat<double> d0(2, 2), d1(2, 2);
    Mat<float> f0(2, 2), f1(2, 2);
    double** lv[2] = {d0, d1};
    float** lf[2] = {f0, f1};
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) {
            lv[i][j][i] = 5;
            lf[i][j][i] = 5;
        }
    for (double a : {1.0, 2.0, 0.5}) {
        EXPECT_NEAR(MutualEntropy3D_MV(2, 2, 2, lv, a), 0, 1e-12) << a;
        EXPECT_NEAR(MutualEntropy3D_MV(2, 2, 2, lf, float(a)), 0, 1e-6) << a;
        // P = 1/4 on the occupied cells, E = 1/8: every order gives ln 2.
        EXPECT_NEAR(ThreeWayInteraction_MV(2, 2, 2, lf, float(a)), kLn2, 1e-6) << a;
    }
    // A missing cell is left out: the remaining cells keep their structure.
    lv[1][1][1] = -999;
    EXPECT_TRUE(std::isfinite(MutualEntropy3D_MV(2, 2, 2, lv, 1.0)));
    // An empty three-way table gives 0.
    d0.fill(0);
    d1.fill(0);
    EXPECT_EQ(MutualEntropy3D_MV(2, 2, 2, lv, 2.0), 0);
    EXPECT_EQ(ThreeWayInteraction_MV(0, 2, 2, lf, 2.0f), 0);
}

// (1, 0, 2) and (0, 4, 0) share no positive entry: ln 2 (1 + 2 + 4) = 7 ln 2.
// (1, 1) and (3, 1): 1 ln(2/4) + 3 ln(6/4) + 0.
TEST(IDivergence, HandValuesDiagonalAndMissingColumns) {
    const Rows rows = {{1, 0, 2}, {0, 4, 0}, {1, 0, 2}};
    Mat<float> x(rows), df(3, 3), y{{1, 1, -999}, {3, 1, 8}}, dy(2, 2);
    Mat<double> xd(rows), dm(3, 3), dn(3, 3);
    IDivergence(3, 3, x, df);
    IDivergenceMV(3, 3, xd, dm);
    // Running sums kept in single precision; rows 0 and 2 identical; the lower triangle not written.
    ExpectCells(dm, {{0, 7 * kLn2, 0}, {0, 0, 7 * kLn2}, {0, 0, 0}}, 1e-5);
    EXPECT_NEAR(dm[0][2], 0, 1e-12);
    ExpectVec(df[0], {0, 7 * kLn2}, 1e-5);
    IDivergenceMV(2, 3, y, dy);
    EXPECT_NEAR(dy[0][1], std::log(0.5) + 3 * std::log(1.5), 1e-6);
    // Neighbours: only (i, i + w).
    dn.fill(-1);
    IDivergenceNeighbours(3, 3, x, dn, 1);
    ExpectCells(dn, {{-1, 7 * kLn2, -1}, {-1, -1, 7 * kLn2}}, 1e-5);
    IDivergenceNeighbours(3, 3, x, dn, 3);  // n <= w: nothing
    IDivergenceNeighbours(3, 3, x, dn, -1);
    EXPECT_EQ(dn[0][2], -1);
}

}  // namespace
