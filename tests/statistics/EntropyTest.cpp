// Entropy, coherence and mutual entropy of contingency tables: closed forms on uniform,
// diagonal and independent tables, and hand-worked values on [[1, 2], [3, 4]].
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

const double kLn2 = std::log(2.0);

// Renyi entropy of order a of the shares q: ln(sum q^a) / (1 - a), and -sum q ln q at a = 1.
// Hand values of [[1, 2], [3, 4]] (N = 10): P = .1 .2 .3 .4, rows .3 .7, columns .4 .6.
double Renyi(std::initializer_list<double> q, double a = 1) {
    double s = 0;
    for (double x : q) s += a == 1 ? -x * std::log(x) : std::pow(x, a);
    return a == 1 ? s : std::log(s) / (1 - a);
}
// I = H_R + H_C - H_RC of [[1, 2], [3, 4]] at the Shannon order.
const double kShannonI = Renyi({.3, .7}) + Renyi({.4, .6}) - Renyi({.1, .2, .3, .4});

// The table sits in the corner of a larger matrix whose other cells must not be read.
TEST(EntropyMV, HandValuesOfASmallTableOverASeriesOfOrders) {
    Mat<double> t{{1, 2, 50}, {3, 4, 60}, {70, 80, 90}};
    Mat<float> f{{1, 2}, {3, 4}};
    double hrc[4] = {}, hc[4] = {}, hr[4] = {}, dr[4], dc[4], drc[4];
    ASSERT_EQ(EntropyMV(2, 2, t, hrc, hc, hr, 0.5, 2.0, 0.5), 4);  // orders 0.5, 1, 1.5, 2
    ASSERT_EQ(Entropy(2, 2, f, drc, dc, dr, 0.5f, 2.0f, 0.5f), 4);
    for (int k = 0; k < 4; k++) {
        const double a = 0.5 + 0.5 * k;
        ExpectVec(std::vector<double>{hrc[k], hr[k], hc[k], drc[k], dr[k], dc[k]}.data(),
                  {Renyi({.1, .2, .3, .4}, a), Renyi({.3, .7}, a), Renyi({.4, .6}, a), Renyi({.1, .2, .3, .4}, a),
                   Renyi({.3, .7}, a), Renyi({.4, .6}, a)}, 1e-12);
    }
    EXPECT_NEAR(EntropyCols(2, 2, f, 1.0), Renyi({.4, .6}), 1e-7);
    Mat<double> miss{{1, -999}, {3, 4}};  // the double forms skip -999: rows 1/8, 7/8
    EXPECT_NEAR(EntropyRows(2, 2, miss, 1.0), Renyi({.125, .875}), 1e-12);
}

// Order 10 of 0.1 + k 0.1 in single precision is 1.0000001: the Shannon order.
TEST(EntropyOrderCount, SeriesLengthsAndRefusals) {
    struct Case {
        double start, end, step;
        int want;
    } cases[] = {
        {0.5, 2.0, 0.5, 4}, {1, 1, 0, 1},     {1, 1, -3, 1},   {2, 1, 0.5, 0}, {0, 3, 0, 0},
        {0, 3, -1, 0},      {0, 1, 0.3, 4},   {0, 0.9, 0.3, 4}, {0.1f, 1.0f, 0.1f, 10},
    };
    for (const Case& c : cases) EXPECT_EQ(EntropyOrderCount(c.start, c.end, c.step), c.want) << c.start << " " << c.end << " " << c.step;
    Mat<float> f{{1, 2}, {3, 4}};
    float h[10], hc[10], hr[10];
    ASSERT_EQ(EntropyMV(2, 2, f, h, hc, hr, 0.1f, 1.0f, 0.1f), 10);
    EXPECT_NEAR(h[9], Renyi({.1, .2, .3, .4}), 1e-5);
}

// A k x k diagonal table: H_RC = H_R = H_C = ln k, I = ln k, U = 0, coherence 1 at every order.
TEST(Entropy_MV, DiagonalTablesAtEveryOrder) {
    for (int k : {2, 3}) {
        Mat<double> diag(k, k);
        for (int i = 0; i < k; i++) diag[i][i] = 4;
        const int m = 5;  // orders 0.5 .. 2.5
        std::vector<double> H(m), C(m), R(m), I(m), U(m), K(m);
        ASSERT_EQ(Entropy_MV(k, k, diag, H.data(), C.data(), R.data(), I.data(), U.data(), K.data(), 0.5, 2.5, 0.5), m);
        for (int o = 0; o < m; o++)  // rows whose first cell is 0 count too
            ExpectVec(std::vector<double>{H[o], R[o], I[o], U[o], K[o]}.data(),
                      {std::log(k), std::log(k), std::log(k), 0, 1}, 1e-12);
    }
}

TEST(Entropy_MV, NegativeMutualEntropyEmptyTableAndSingleCell) {
    // [[1, 2], [3, 4]] at order 2: I = ln(.3 / (.58 .52)) < 0 is reported as 0, U = 1, K = 0.
    Mat<double> t{{1, 2}, {3, 4}};
    double H, C, R, I, U, K;
    Entropy_MV(2, 2, t, &H, &C, &R, &I, &U, &K, 2.0, 2.0, 1.0);
    EXPECT_EQ(std::vector<double>({I, U, K}), std::vector<double>({0, 1, 0}));
    // Shannon: U = 1 - I / H_RC, K = sqrt(1 - U^2).
    Entropy_MV(2, 2, t, &H, &C, &R, &I, &U, &K, 1.0, 1.0, 1.0);
    const double u = 1 - kShannonI / Renyi({.1, .2, .3, .4});
    ExpectVec(std::vector<double>{I, U, K}.data(), {kShannonI, u, std::sqrt(1 - u * u)}, 1e-12);
    // Empty table: every value 0 (coherence 0); one occupied cell: H_RC = 0, U = 1, K = 0.
    Mat<double> empty(3, 2), one(3, 2);
    one[1][1] = 6;
    for (Mat<double>* m : {&empty, &one}) {
        Entropy_MV(3, 2, *m, &H, &C, &R, &I, &U, &K, 0.5, 0.5, 1.0);
        EXPECT_EQ(std::vector<double>({H, R, I, U, K}), std::vector<double>({0, 0, 0, 1, 0}));
        EXPECT_EQ(MutualEntropyMV(3, 2, *m, 2.0) + MutualEntropyMV(3, 2, *m, 1.0), 0);
    }
    Mat<float> f{{0, 0}, {0, 0}};
    float fh, fc, fr, fi, fu, fk;
    Entropy_(2, 2, f, &fh, &fc, &fr, &fi, &fu, &fk, 3.0f, 3.0f, 1.0f);  // no 0/0 in the plain form
    EXPECT_EQ(fh + fk + CoheCoef(2, 2, f, 1.0f), 0);
}

TEST(EntropyMV, MissingCellsAreLeftOutOfTotalsAndMargins) {
    // [[-999, 5], [5, 0]] is [[0, 5], [5, 0]]: two equal cells, rows and columns, ln 2 at every order.
    Mat<double> with{{-999, 5}, {5, 0}};
    double a[3], b[3], c[3];
    EntropyMV(2, 2, with, a, b, c, 0.5, 1.5, 0.5);
    for (double* v : {a, b, c}) ExpectVec(v, {kLn2, kLn2, kLn2});
    EXPECT_NEAR(MutualEntropyMV(2, 2, with, 1.0), kLn2, 1e-12);
}

TEST(MutualEntropy, HandValuesAndIndependentTables) {
    // [[1, 2], [3, 4]] in the corner of a larger matrix, order 2: sum P^2 / (r c) =
    // 1/12 + 2/9 + 9/28 + 8/21 = 254/252, I = ln(127/126). Order 0.5 from its definition:
    // ln(sum sqrt(P) sqrt(r c)) / -0.5.
    Mat<double> t{{1, 2, 50}, {3, 4, 60}, {70, 80, 90}};
    Mat<float> tf{{1, 2}, {3, 4}};
    const double s = std::sqrt(.1 * .12) + std::sqrt(.2 * .18) + std::sqrt(.3 * .28) + std::sqrt(.4 * .42);
    ExpectVec(std::vector<double>{MutualEntropyMV(2, 2, t, 2.0), MutualEntropyMV(2, 2, t, 1.0), MutualEntropyMV(2, 2, t, 0.5)}.data(),
              {std::log(127.0 / 126.0), kShannonI, std::log(s) / -0.5});
    EXPECT_NEAR(MutualEntropy(2, 2, tf, 2.0f), std::log(127.0 / 126.0), 1e-7);
    // Product of margins (.2, .8) x (.5, .3, .2): 0 at every order.
    Mat<double> ind(2, 3);
    const double r[2] = {.2, .8}, c[3] = {.5, .3, .2};
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++) ind[i][j] = 100 * r[i] * c[j];
    for (double a : {0.5, 1.0, 3.0}) EXPECT_NEAR(MutualEntropyMV(2, 3, ind, a), 0, 1e-12) << a;
    Mat<double> none(0, 0);
    EXPECT_EQ(MutualEntropyMV(0, 0, none, 2.0), 0);
}

// Three binary variables: A and B independent and uniform, C a copy of A. The two-way totals
// explain the table completely (3-D mutual entropy 0), while the divergence from complete
// independence is the information C shares with A: ln 2.
TEST(ThreeWay, PairwiseStructureAndCompleteIndependence) {
    Mat<double> d0(2, 2), d1(2, 2);
    Mat<float> f0(2, 2), f1(2, 2);
    double** lv[2] = {d0, d1};
    float** lf[2] = {f0, f1};
    for (int c = 0; c < 4; c++) lv[c / 2][c % 2][c / 2] = lf[c / 2][c % 2][c / 2] = 5;
    for (double a : {1.0, 2.0, 0.5}) {
        EXPECT_NEAR(MutualEntropy3D_MV(2, 2, 2, lv, a), 0, 1e-12) << a;
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
