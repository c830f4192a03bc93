// Data transformations and rankings. Expected values are worked out by hand beside them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "foundation/nrutilQW.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

TEST(Transform, UnitLengthAndCorrAdj) {
    // Row (3, 4) -> (0.6, 0.8), a zero row stays 0; the output comes first, in place allowed.
    Mat<float> f{{3, 4}, {0, 0}};
    UnitLengthAdj(2, 2, f, f);
    ExpectCells(f, {{0.6, 0.8}, {0, 0}}, 1e-7);
    // Column (1,2,3,4) becomes (-1.5,-0.5,0.5,1.5) / sqrt(5), a constant column 0, and the
    // missing cell of (1, -999, 3) is not written: (-1, 3) / sqrt(2).
    Mat<double> c{{1, 0.1}, {2, 0.1}, {3, 0.1}, {4, 0.1}}, co(4, 2);
    Mat<float> m{{1}, {-999}, {3}}, mo{{42}, {42}, {42}};
    CorrAdj(4, 2, co, c);
    CorrAdj(3, 1, mo, m);
    const double u = 1 / std::sqrt(5.0);
    ExpectCells(co, {{-1.5 * u, 0}, {-0.5 * u, 0}, {0.5 * u, 0}, {1.5 * u, 0}}, 1e-7);
    EXPECT_EQ(co[0][0], double(float(-1.5 * u)));   // the double form stores single precision
    ExpectCells(mo, {{-std::sqrt(0.5)}, {42}, {std::sqrt(0.5)}}, 1e-6);
}

TEST(Transform, ZScores) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        // (1, 3, -999): centred (-1, 1), SS = 2, d = sqrt(2/3) with all three cells counted.
        // 2,4,4,4,5,5,7,9: mean 5, population sd 2; a constant line stays at 0.
        const double z = std::sqrt(1.5);
        Mat<T> r{{1, 3, -999}}, p{{2, 4, 4, 4, 5, 5, 7, 9}, {0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1}};
        ExpectBothWays(ZStandardizationRowsMV, ZStandardizationColsMV, r, {{-z, z, -999}}, tol);
        ExpectBothWays(ZStandardizationRowsMV, ZStandardizationColsMV, p,
                       {{-1.5, -0.5, -0.5, -0.5, 0, 0, 1, 2}, {0, 0, 0, 0, 0, 0, 0, 0}}, tol);
        // Given means and deviations; a zero deviation divides by 1, missing cells are not
        // written. Rows: (3 - 1) / 2, (7 - 5) / 1; columns: (3 - 2) / 0.5, (7 - 4) / 3.
        Mat<T> g{{3, -999}, {7, 1}}, ro{{42, 42}, {42, 42}}, co{{42, 42}, {42, 42}};
        T mean[] = {1, 5}, sd[] = {2, 0}, cm[] = {2, 4}, cs[] = {0.5, 3};
        ZStandardizationRowsMV(2, 2, mean, sd, g, ro);
        ZStandardizationColsMV(2, 2, cm, cs, g, co);
        ExpectCells(ro, {{1, 42}, {2, -4}}, 0);
        ExpectCells(co, {{2, 42}, {10, -1}}, tol);
    });
}

TEST(Transform, UnitSumsAndHellinger) {
    const double h = std::sqrt(0.75);
    BothPrecisions([h](auto zero, double tol) {
        using T = decltype(zero);
        // Lines divided by their sums (a zero sum by 1); Hellinger takes the roots.
        Mat<T> p{{1, 3, 0}, {0, 0, 0}, {2, 2, 4}};
        Mat<T> m{{1, -999, 3, 0}, {-999, 4, 0, 0}, {0, 0, 0, -999}, {1, 1, 1, 1}};
        const double q = 0.25;
        ExpectBothWays(UnitSumRowsAdj, UnitSumColsAdj, p, {{q, 3 * q, 0}, {0, 0, 0}, {q, q, 2 * q}}, tol,
                       true);
        ExpectBothWays(UnitSumRowsAdjMV, UnitSumColsAdjMV, m,
                       {{q, -999, 3 * q, 0}, {-999, 1, 0, 0}, {0, 0, 0, -999}, {q, q, q, q}}, tol, true);
        const double r = 0.5;  // sqrt(q)
        ExpectBothWays(HellingerRowsAdjMV, HellingerColsAdjMV, m,
                       {{r, -999, h, 0}, {-999, 1, 0, 0}, {0, 0, 0, -999}, {r, r, r, r}}, tol, true);
        T v[] = {2, -999, 6, 0};
        UnitSumVectorAdjMV(4, v, v);
        ExpectVec(v, {0.25, -999, 0.75, 0}, tol);
    });
    Mat<float> g{{1, 2}};  // float in, double out: the single-precision quotient is stored
    Mat<double> o(1, 2);
    UnitSumRowsAdjMV(1, 2, o, g);
    EXPECT_EQ(o[0][0], double(1.0f / 3.0f));
}

TEST(Transform, MaximumAndRange) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        // All negative: the maximum is -2, not a start value above it.
        T a[] = {2, 4, -999}, b[] = {-2, -4};
        MaxAdjMV(3, a, a);
        MaxAdjMV(2, b, b);
        ExpectVec(a, {0.5, 1, -999}, tol);
        ExpectVec(b, {1, 2}, tol);
        // Rows: x / range, the minimum not subtracted; columns: (x - min) / range.
        Mat<T> r{{2, -999, 4}}, c{{2}, {-999}, {4}};
        RangeRowsAdjMV(1, 3, r, r);
        RangeColsAdjMV(3, 1, c, c);
        ExpectCells(r, {{1, -999, 2}}, tol);
        ExpectCells(c, {{0}, {-999}, {1}}, tol);
    });
    // All-negative lines from -3 to -1 give (x + 3) / 2; a constant line divides by 1.
    Mat<float> r{{-3, -1, -2}, {-1, -3, -2}, {5, 5, 5}};
    ExpectBothWays(RangeRowsAdj, RangeColsAdj, r, {{0, 1, 0.5}, {1, 0, 0.5}, {0, 0, 0}}, 0, true);
}

TEST(Transform, DeviationsFromIndependence) {
    // [[1,3],[3,1]]: r = c = 4, T = 8: (8 - 16) / (4 * 8) = -0.25 and (24 - 16) / 32 = 0.25.
    Mat<float> f{{1, 3}, {3, 1}}, g(2, 2);
    DeviationsExpectationsMV(2, 2, f, g);
    DeviationsExpectations(2, 2, f, f);
    ExpectCells(f, {{-0.25, 0.25}, {0.25, -0.25}}, 1e-7);
    ExpectCells(g, {{-0.25, 0.25}, {0.25, -0.25}}, 1e-7);
    // A row whose present values sum to 0 keeps its values; missing cells give -999. Cell (1,0):
    // r = c = 4, T = 10: (20 - 16) / (4 * 10); cell (2,1) is (p_ij - p_i p_j) / sqrt(p_i p_j).
    Mat<double> d{{0, -999, 0}, {2, 1, 1}, {2, 3, 1}}, o(3, 3);
    DeviationsExpectationsMV(3, 3, d, o);
    ExpectCells(o, {{0, -999, 0}}, 0);
    EXPECT_NEAR(o[1][0], 0.1, kTol);
    EXPECT_NEAR(o[2][1], (0.3 - 0.6 * 0.4) / std::sqrt(0.6 * 0.4), kTol);
}

TEST(Rankings, OrderingPermutations) {
    // 3, 1, 2: increasing values sit at positions 2, 3, 1; |-3|, |1|, |-2| likewise.
    int in[] = {3, 1, 2}, idx[3], ord[3];
    double dout[3], ain[] = {-3, 1, -2}, aout[3];
    IndexVector(3, in, idx);
    RankVector(3, in, ord);
    RankVectorAbs(3, ain, aout);
    for (auto* v : {idx, ord}) ExpectVec(v, {2, 3, 1}, 0);
    ExpectVec(aout, {2, 3, 1}, 0);
    // None leaves the output alone.
    int untouched[] = {5};
    IndexVector(0, in, untouched);
    EXPECT_EQ(untouched[0], 5);
    // Equal values: short vectors are finished by straight insertion and keep their input
    // order; longer ones are left exactly in the order of the companion sort.
    const int n = 23;
    double t[] = {2, 1, 2}, v[n], o[n], key[n + 1], pos[n + 1];
    RankVector(3, t, dout);
    ExpectVec(dout, {2, 1, 3}, 0);
    std::mt19937 gen(17);
    for (int k = 0; k < n; k++) {
        v[k] = key[k + 1] = double(gen() % 4);
        pos[k + 1] = k + 1;
    }
    RankVector(n, v, o);
    sort2((unsigned long)n, key, pos);
    for (int k = 0; k < n; k++) EXPECT_EQ(o[k], pos[k + 1]);
}

TEST(Rankings, TiesGetTheirMeanRank) {
    // Rows (the cells above the diagonal are ranked with the other sizes below).
    Mat<float> r{{3, 1, 3}, {9, 9, 9}};
    Mat<double> rd{{3, 1, 3}, {9, 9, 9}}, ro(2, 3);
    RankRowsAdj(2, 3, r, r);
    RankRowsDAdj(2, 3, rd, ro);
    RankRowsAdj(2, 3, rd, rd);
    ExpectCells(r, {{2.5, 1, 2.5}, {2, 2, 2}}, 0);
    ExpectSame(ro, rd, 0);
    ExpectSame(rd, r, 0);
}

TEST(Rankings, Spearman) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        // Ranks 1..5 vs (2,1,4,3,5): D = 4, 1 - 24 / 120 = 0.8. Ties averaged: ranks
        // (1, 2.5, 2.5, 4) vs 1..4: D = 0.5, 1 - 3 / 60 = 0.95. Two values agree or disagree
        // wholly: D = 0 gives 1, D = 2 gives 1 - 12 / 6 = -1. Fewer than two values: 0.
        T a[] = {10, 20, 30, 40, 50}, b[] = {2, 1, 4, 3, 5}, t[] = {1, 2, 2, 3};
        EXPECT_NEAR(Spearman2Vec(5, a, b), 0.8, tol);
        EXPECT_NEAR(Spearman2Vec(2, a, a), 1.0, tol);
        EXPECT_NEAR(Spearman2Vec(2, a, b), -1.0, tol);
        EXPECT_NEAR(Spearman2Vec(4, t, a), 0.95, tol);
        EXPECT_EQ(t[1], T(2));  // inputs unchanged
        EXPECT_EQ(Spearman2Vec(1, a, b), T(0));
    });
}

// Mean rank of x[i] among the values by counting: 1 + those below + half of its ties.
std::vector<double> MeanRanks(const std::vector<double>& x) {
    std::vector<double> r;
    for (double a : x) {
        double below = 0, same = 0;
        for (double b : x) {
            below += b < a;
            same += b == a;
        }
        r.push_back(1 + below + (same - 1) / 2);
    }
    return r;
}

}  // namespace

// Every size from 1 to 12 (the work arrays of each size included), values with ties: the ranks equal
// the counted mean ranks, the missing values keep -999 and the others (a value below -999 among
// them) are ranked among themselves,
// the orderings put the values in non-decreasing order, and the cells above the diagonal of an n x n
// table are ranked together.
TEST(Rankings, EverySizeAgreesWithCountedRanks) {
    std::mt19937 gen(5);
    for (int n = 1; n <= 12; n++) {
        SCOPED_TRACE(n);
        std::vector<double> x(n), present;
        for (double& v : x) v = double(gen() % 4);
        std::vector<double> d = x, out(n), dOut(n), mv = x, mvOut(n);
        std::vector<float> f(x.begin(), x.end()), fOut(n);
        for (int k = 0; k < n; k += 3) mv[k] = -999;  // n = 1: nothing present
        if (n > 1) mv[1] = -2000;  // a present value below -999
        for (double v : mv)
            if (v != -999) present.push_back(v);
        RankVectorAdj(n, d.data(), out.data());
        RankVectorAdj(n, f.data(), fOut.data());
        RankVectorDAdj(n, d.data(), dOut.data());
        RankVectorAdjMV(n, mv.data(), mvOut.data());
        const std::vector<double> want = MeanRanks(x), wantMV = MeanRanks(present);
        EXPECT_EQ(out, want);
        EXPECT_EQ(std::vector<double>(fOut.begin(), fOut.end()), want);
        EXPECT_EQ(dOut, want);
        for (int k = 0, q = 0; k < n; k++) EXPECT_EQ(mvOut[k], mv[k] == -999 ? -999 : wantMV[q++]) << k;
        std::vector<int> ints(x.begin(), x.end()), idx(n), ord(n);
        IndexVector(n, ints.data(), idx.data());
        RankVector(n, ints.data(), ord.data());
        for (int k = 0; k + 1 < n; k++) {
            EXPECT_LE(ints[idx[k] - 1], ints[idx[k + 1] - 1]);
            EXPECT_LE(ints[ord[k] - 1], ints[ord[k + 1] - 1]);
        }
        Mat<float> m(n, n), r(n, n);
        std::vector<double> upper;
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) upper.push_back(m[i][j] = float(gen() % 5));
        RankReseAdj(n, m, r);
        const std::vector<double> wantUpper = MeanRanks(upper);
        for (int i = 0, q = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) {
                EXPECT_EQ(r[i][j], wantUpper[q++]) << i << "," << j;
                EXPECT_EQ(r[j][i], 0.0f) << "the lower half is not written";
            }
    }
}
