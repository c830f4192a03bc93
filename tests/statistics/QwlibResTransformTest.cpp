// Data transformations and rankings. Expected values are worked out by hand in the
// comments beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "foundation/nrutilQW.h"
#include "statistics/qwlibRes.h"
#include "statistics/StatTestUtil.h"

namespace {

const double kTol = 1e-12;
const float kTolF = 1e-6f;

// ------------------------------------------------------------------ unit length, z-scores

TEST(UnitLength, RowsToUnitLength) {
    Mat<float> f{{3, 4}, {0, 0}};
    UnitLengthAdj(2, 2, f, f);  // output first; in place
    EXPECT_FLOAT_EQ(f[0][0], 0.6f);
    EXPECT_FLOAT_EQ(f[0][1], 0.8f);
    EXPECT_EQ(f[1][0], 0.0f);
    // The double form stores single-precision results.
    Mat<double> d{{3, 4}};
    Mat<double> o(1, 2);
    UnitLengthAdj(1, 2, o, d);
    EXPECT_EQ(o[0][0], double(0.6f));
    EXPECT_EQ(o[0][1], double(0.8f));
    EXPECT_EQ(d[0][0], 3.0);  // input untouched
}

TEST(ZScores, DivisorCountsEveryCell) {
    // Row (1, 3, -999): centred (-1, 1), SS = 2, d = sqrt(2/3) (all three cells counted).
    Mat<double> d{{1, 3, -999}};
    Mat<double> o(1, 3);
    ZStandardizationRowsMV(1, 3, d, o);  // input first
    double z = 1.0 / std::sqrt(2.0 / 3.0);
    EXPECT_NEAR(o[0][0], -z, kTol);
    EXPECT_NEAR(o[0][1], z, kTol);
    EXPECT_EQ(o[0][2], -999.0);
    Mat<float> f{{1}, {3}, {-999}};
    ZStandardizationColsMV(3, 1, f, f);
    EXPECT_NEAR(f[0][0], -float(z), 1e-5f);
    EXPECT_NEAR(f[1][0], float(z), 1e-5f);
    EXPECT_EQ(f[2][0], -999.0f);
    Mat<float> fr{{1, 3, -999}};
    ZStandardizationRowsMV(1, 3, fr, fr);
    EXPECT_NEAR(fr[0][1], float(z), 1e-5f);
    Mat<double> dc{{1}, {3}, {-999}};
    ZStandardizationColsMV(3, 1, dc, dc);
    EXPECT_NEAR(dc[1][0], z, kTol);
}

TEST(ZScores, CompleteRowHasUnitPopulationVariance) {
    // Row 2, 4, 4, 4, 5, 5, 7, 9: mean 5, population sd 2.
    Mat<double> d{{2, 4, 4, 4, 5, 5, 7, 9}};
    ZStandardizationRowsMV(1, 8, d, d);
    EXPECT_NEAR(d[0][0], -1.5, kTol);
    EXPECT_NEAR(d[0][7], 2.0, kTol);
    // A constant row stays at 0.
    Mat<double> c{{0.1, 0.1, 0.1}};
    ZStandardizationRowsMV(1, 3, c, c);
    EXPECT_EQ(c[0][0], 0.0);
}

TEST(ZScores, GivenMeansAndDeviations) {
    Mat<double> d{{3, -999}, {7, 1}};
    Mat<double> o(2, 2);
    o.fill(42);
    double mean[] = {1, 5}, sd[] = {2, 0};
    ZStandardizationColsMV(2, 2, mean, sd, d, o);
    EXPECT_EQ(o[0][0], 1.0);      // (3 - 1) / 2
    EXPECT_EQ(o[1][0], 3.0);      // (7 - 1) / 2
    EXPECT_EQ(o[0][1], 42.0);     // missing: not written
    EXPECT_EQ(o[1][1], -4.0);     // (1 - 5) / 1: a zero deviation divides by 1
    Mat<float> f{{3, -999}, {7, 1}};
    Mat<float> of(2, 2);
    of.fill(42);
    float rm[] = {2, 4}, rs[] = {0.5f, 3};
    ZStandardizationRowsMV(2, 2, rm, rs, f, of);
    EXPECT_FLOAT_EQ(of[0][0], 2.0f);
    EXPECT_EQ(of[0][1], 42.0f);
    EXPECT_FLOAT_EQ(of[1][1], -1.0f);
    Mat<double> dr{{3, 5}};
    double m1[] = {1}, s1[] = {2};
    ZStandardizationRowsMV(1, 2, m1, s1, dr, dr);
    EXPECT_EQ(dr[0][1], 2.0);
    float cm[] = {1, 5}, cs[] = {2, 2};
    Mat<float> fc{{3, 7}};
    ZStandardizationColsMV(1, 2, cm, cs, fc, fc);
    EXPECT_EQ(fc[0][1], 1.0f);
}

TEST(CorrAdj, ColumnsGiveCorrelationsAsProducts) {
    // Column (1, 2, 3): mean 2, SS 2 -> (-1, 0, 1) / sqrt(2).
    Mat<double> d{{1, 1, 5}, {2, 3, 5}, {3, 2, 5}, {4, 4, 5}};
    Mat<double> o(4, 3);
    CorrAdj(4, 3, o, d);
    // Columns 0 and 1 correlate 0.8; their transformed cross product gives it back.
    double r = 0.0;
    for (int i = 0; i < 4; i++) r += o[i][0] * o[i][1];
    EXPECT_NEAR(r, 0.8, 1e-6);
    // The double form rounds to single; a constant column gives 0.
    EXPECT_EQ(o[0][0], double(float(-1.5 / std::sqrt(5.0))));
    for (int i = 0; i < 4; i++) EXPECT_EQ(o[i][2], 0.0);
    Mat<float> f{{0.1f, 1}, {0.1f, -999}, {0.1f, 3}};
    Mat<float> of(3, 2);
    of.fill(42);
    CorrAdj(3, 2, of, f);
    for (int i = 0; i < 3; i++) EXPECT_EQ(of[i][0], 0.0f);
    EXPECT_NEAR(of[0][1], -std::sqrt(0.5f), kTolF);
    EXPECT_EQ(of[1][1], 42.0f);  // missing: not written
}

// ------------------------------------------------------------------ unit sums, Hellinger

TEST(UnitSums, RowsAndColumns) {
    Mat<float> f{{1, 3}, {0, 0}};
    UnitSumRowsAdj(2, 2, f, f);
    EXPECT_FLOAT_EQ(f[0][0], 0.25f);
    EXPECT_FLOAT_EQ(f[0][1], 0.75f);
    EXPECT_EQ(f[1][0], 0.0f);
    Mat<double> d{{1, 0}, {3, 0}};
    UnitSumColsAdj(2, 2, d, d);
    EXPECT_DOUBLE_EQ(d[1][0], 0.75);
    EXPECT_EQ(d[1][1], 0.0);
    Mat<double> dr{{1, 3}};
    UnitSumRowsAdj(1, 2, dr, dr);
    EXPECT_DOUBLE_EQ(dr[0][0], 0.25);
    Mat<float> fc{{1}, {3}};
    UnitSumColsAdj(2, 1, fc, fc);
    EXPECT_FLOAT_EQ(fc[0][0], 0.25f);
}

TEST(UnitSums, MissingValueForms) {
    Mat<float> f{{-999, 0, 0}, {1, -999, 3}};
    UnitSumRowsAdjMV(2, 3, f, f);
    EXPECT_EQ(f[0][0], -999.0f);
    EXPECT_EQ(f[0][1], 0.0f);
    EXPECT_EQ(f[0][2], 0.0f);
    EXPECT_FLOAT_EQ(f[1][0], 0.25f);
    EXPECT_EQ(f[1][1], -999.0f);
    // Float in, double out: the single-precision quotient is stored.
    Mat<float> g{{1, 2}};
    Mat<double> o(1, 2);
    UnitSumRowsAdjMV(1, 2, o, g);
    EXPECT_EQ(o[0][0], double(1.0f / 3.0f));
    Mat<double> d{{1, 2}};
    UnitSumRowsAdjMV(1, 2, d, d);
    EXPECT_EQ(d[0][0], 1.0 / 3.0);
    Mat<double> c{{1}, {-999}, {3}};
    Mat<double> oc(3, 1);
    UnitSumColsAdjMV(3, 1, oc, c);
    EXPECT_DOUBLE_EQ(oc[2][0], 0.75);
    EXPECT_EQ(oc[1][0], -999.0);
    Mat<float> cf{{1}, {-999}, {3}};
    UnitSumColsAdjMV(3, 1, cf, cf);
    EXPECT_FLOAT_EQ(cf[0][0], 0.25f);
    EXPECT_EQ(cf[1][0], -999.0f);
    float v[] = {2, -999, 6};
    UnitSumVectorAdjMV(3, v, v);
    EXPECT_FLOAT_EQ(v[0], 0.25f);
    EXPECT_EQ(v[1], -999.0f);
    double dv[] = {0, 0, -999}, dvo[3];
    UnitSumVectorAdjMV(3, dv, dvo);
    EXPECT_EQ(dvo[0], 0.0);
    EXPECT_EQ(dvo[2], -999.0);
    // Without -999 the MV and plain forms agree.
    Mat<double> r(3, 4), a(3, 4), b(3, 4);
    FillRandom(r, 4, 0.0, 10.0);
    UnitSumRowsAdj(3, 4, a, r);
    UnitSumRowsAdjMV(3, 4, b, r);
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 4; k++) EXPECT_EQ(a[i][k], b[i][k]);
    UnitSumColsAdj(3, 4, a, r);
    UnitSumColsAdjMV(3, 4, b, r);
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 4; k++) EXPECT_EQ(a[i][k], b[i][k]);
}

TEST(Hellinger, RootOfRelativeValues) {
    // Row (1, 3): sqrt(1/4) = 0.5, sqrt(3/4).
    Mat<float> f{{1, -999, 3}};
    HellingerRowsAdjMV(1, 3, f, f);
    EXPECT_FLOAT_EQ(f[0][0], 0.5f);
    EXPECT_EQ(f[0][1], -999.0f);
    EXPECT_FLOAT_EQ(f[0][2], std::sqrt(0.75f));
    Mat<double> d{{1}, {3}, {-999}};
    Mat<double> o(3, 1);
    HellingerColsAdjMV(3, 1, o, d);
    EXPECT_DOUBLE_EQ(o[0][0], 0.5);
    EXPECT_DOUBLE_EQ(o[1][0], std::sqrt(0.75));
    EXPECT_EQ(o[2][0], -999.0);
    Mat<double> dr{{0, 0}};
    HellingerRowsAdjMV(1, 2, dr, dr);
    EXPECT_EQ(dr[0][0], 0.0);
    Mat<float> fc{{1}, {3}};
    HellingerColsAdjMV(2, 1, fc, fc);
    EXPECT_FLOAT_EQ(fc[0][0], 0.5f);
}

// ------------------------------------------------------------------ maximum and range

TEST(MaxAndRange, MaximumOfPresentValues) {
    float f[] = {2, 4, -999};
    MaxAdjMV(3, f, f);
    EXPECT_FLOAT_EQ(f[0], 0.5f);
    EXPECT_FLOAT_EQ(f[1], 1.0f);
    EXPECT_EQ(f[2], -999.0f);
    // All negative: the maximum is -2, not a tiny positive start value.
    double d[] = {-2, -4}, o[2];
    MaxAdjMV(2, d, o);
    EXPECT_DOUBLE_EQ(o[0], 1.0);
    EXPECT_DOUBLE_EQ(o[1], 2.0);
    double z[] = {0, 0};
    MaxAdjMV(2, z, z);
    EXPECT_EQ(z[0], 0.0);
}

TEST(MaxAndRange, RangeOfRowsAndColumns) {
    // All-negative row (-3, -1): range 2 -> (0, 1).
    Mat<float> f{{-3, -1}, {5, 5}};
    RangeRowsAdj(2, 2, f, f);
    EXPECT_FLOAT_EQ(f[0][0], 0.0f);
    EXPECT_FLOAT_EQ(f[0][1], 1.0f);
    EXPECT_EQ(f[1][0], 0.0f);  // range 0 -> 1.0
    Mat<float> c{{-3, 2}, {-1, 6}, {-2, 4}};
    RangeColsAdj(3, 2, c, c);
    EXPECT_FLOAT_EQ(c[2][0], 0.5f);
    EXPECT_FLOAT_EQ(c[2][1], 0.5f);
}

TEST(MaxAndRange, MissingValueForms) {
    // Rows: x / range, the minimum not subtracted; columns: (x - min) / range.
    Mat<float> r{{2, -999, 4}};
    RangeRowsAdjMV(1, 3, r, r);
    EXPECT_FLOAT_EQ(r[0][0], 1.0f);
    EXPECT_EQ(r[0][1], -999.0f);
    EXPECT_FLOAT_EQ(r[0][2], 2.0f);
    Mat<double> rd{{2, 4}};
    RangeRowsAdjMV(1, 2, rd, rd);
    EXPECT_DOUBLE_EQ(rd[0][1], 2.0);
    Mat<float> c{{2}, {-999}, {4}};
    RangeColsAdjMV(3, 1, c, c);
    EXPECT_FLOAT_EQ(c[0][0], 0.0f);
    EXPECT_EQ(c[1][0], -999.0f);
    EXPECT_FLOAT_EQ(c[2][0], 1.0f);
    // Double data beyond the single-precision range.
    Mat<double> big{{1e300}, {3e300}, {2e300}};
    RangeColsAdjMV(3, 1, big, big);
    EXPECT_DOUBLE_EQ(big[0][0], 0.0);
    EXPECT_DOUBLE_EQ(big[2][0], 0.5);
}

// ------------------------------------------------------------------ deviations

TEST(Deviations, StandardisedDeviationsFromIndependence) {
    // [[1,3],[3,1]]: r = c = 4, T = 8 -> (8 - 16) / (4 * 8) = -0.25 and (24 - 16) / 32 = 0.25.
    Mat<float> f{{1, 3}, {3, 1}};
    DeviationsExpectations(2, 2, f, f);
    EXPECT_FLOAT_EQ(f[0][0], -0.25f);
    EXPECT_FLOAT_EQ(f[0][1], 0.25f);
    Mat<float> g{{1, 3}, {3, 1}};
    Mat<float> og(2, 2);
    DeviationsExpectationsMV(2, 2, g, og);
    EXPECT_FLOAT_EQ(og[1][1], -0.25f);
    // A row whose present values sum to 0 keeps its values; missing cells -999.
    Mat<double> d{{0, -999, 0}, {2, 1, 1}, {2, 3, 1}};
    Mat<double> o(3, 3);
    DeviationsExpectationsMV(3, 3, d, o);
    EXPECT_EQ(o[0][0], 0.0);
    EXPECT_EQ(o[0][1], -999.0);
    // Cell (1,0): r = 4, c = 4, T = 10 -> (20 - 16) / (4 * 10) = 0.1.
    EXPECT_NEAR(o[1][0], 0.1, kTol);
    // The deviations equal (p_ij - p_i p_j) / sqrt(p_i p_j).
    double pij = 3.0 / 10, pi = 6.0 / 10, pj = 4.0 / 10;
    EXPECT_NEAR(o[2][1], (pij - pi * pj) / std::sqrt(pi * pj), kTol);
}

// ------------------------------------------------------------------ orderings

TEST(Orderings, PositionsOfIncreasingValues) {
    int in[] = {3, 1, 2}, out[3];
    IndexVector(3, in, out);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(out[2], 1);
    int out2[3];
    RankVector(3, in, out2);
    EXPECT_EQ(out2[0], 2);
    EXPECT_EQ(out2[2], 1);
    float fin[] = {3, 1, 2}, fout[3];
    RankVector(3, fin, fout);
    EXPECT_EQ(fout[0], 2.0f);
    EXPECT_EQ(fout[1], 3.0f);
    double din[] = {3, 1, 2}, dout[3];
    RankVector(3, din, dout);
    EXPECT_EQ(dout[2], 1.0);
    double ain[] = {-3, 1, -2}, aout[3];
    RankVectorAbs(3, ain, aout);  // |.| = 3, 1, 2
    EXPECT_EQ(aout[0], 2.0);
    EXPECT_EQ(aout[1], 3.0);
    EXPECT_EQ(aout[2], 1.0);
}

TEST(Orderings, EqualValuesFollowTheCompanionSort) {
    // Short vectors are finished by straight insertion: equal values keep their input order.
    double in[] = {2, 1, 2}, out[3];
    RankVector(3, in, out);
    EXPECT_EQ(out[0], 2.0);
    EXPECT_EQ(out[1], 1.0);
    EXPECT_EQ(out[2], 3.0);
    // Longer vectors with ties: the order is exactly the one the companion sort leaves.
    const int n = 23;
    double v[n], o[n];
    std::mt19937 gen(17);
    for (int k = 0; k < n; k++) v[k] = double(gen() % 4);
    RankVector(n, v, o);
    double key[n + 1], pos[n + 1];
    for (int k = 0; k < n; k++) {
        key[k + 1] = v[k];
        pos[k + 1] = k + 1;
    }
    sort2((unsigned long)n, key, pos);
    std::vector<int> seen(n + 1, 0);
    for (int k = 0; k < n; k++) {
        EXPECT_EQ(o[k], pos[k + 1]);
        seen[int(o[k])]++;
        if (k > 0) {
            EXPECT_LE(v[int(o[k - 1]) - 1], v[int(o[k]) - 1]);
        }
    }
    for (int k = 1; k <= n; k++) EXPECT_EQ(seen[k], 1);
}

// ------------------------------------------------------------------ ranks

TEST(Ranks, TiesGetTheirMeanRank) {
    float f[] = {3, 1, 3}, fo[3];
    RankVectorAdj(3, f, fo);
    EXPECT_EQ(fo[0], 2.5f);
    EXPECT_EQ(fo[1], 1.0f);
    EXPECT_EQ(fo[2], 2.5f);
    double d[] = {5, 5, 1, 5}, dout[4];
    RankVectorAdj(4, d, d);  // in place
    EXPECT_EQ(d[0], 3.0);
    EXPECT_EQ(d[2], 1.0);
    EXPECT_EQ(d[3], 3.0);
    double c[] = {3, 1, 3};
    RankVectorDAdj(3, c, dout);
    EXPECT_EQ(dout[0], 2.5);
    EXPECT_EQ(dout[1], 1.0);
    EXPECT_EQ(dout[2], 2.5);
}

// The spread of mid-ranks ties the ranks to the tie sum: sum (r - (n+1)/2)^2 equals
// (n^3 - n - sum(t^3 - t)) / 12, t running over the groups of tied values.
TEST(Ranks, SpreadMatchesTieSum) {
    const int n = 40;
    std::mt19937 gen(29);
    double v[n], r[n], rd[n];
    for (int k = 0; k < n; k++) v[k] = double(gen() % 9);
    RankVectorAdj(n, v, r);
    RankVectorDAdj(n, v, rd);
    std::map<double, int> groups;
    for (double x : v) groups[x]++;
    double tieSum = 0.0;
    for (auto& g : groups) tieSum += double(g.second) * g.second * g.second - g.second;
    double spread = 0.0, spreadD = 0.0, sum = 0.0;
    for (int k = 0; k < n; k++) {
        spread += (r[k] - (n + 1) / 2.0) * (r[k] - (n + 1) / 2.0);
        spreadD += (rd[k] - (n + 1) / 2.0) * (rd[k] - (n + 1) / 2.0);
        sum += r[k];
        EXPECT_EQ(r[k], rd[k]);  // counting and sorting agree
    }
    EXPECT_NEAR(sum, n * (n + 1) / 2.0, 1e-9);
    EXPECT_NEAR(spread, (double(n) * n * n - n - tieSum) / 12.0, 1e-9);
    EXPECT_NEAR(spreadD, spread, 1e-9);
    // Each value's rank is the mean of the positions its group occupies.
    int below = 0;
    for (auto& g : groups) {
        double expected = below + (g.second + 1) / 2.0;
        for (int k = 0; k < n; k++)
            if (v[k] == g.first) {
                EXPECT_EQ(r[k], expected);
            }
        below += g.second;
    }
}

TEST(Ranks, MissingValuesByExplicitRule) {
    double d[] = {5, -999, 2, 5}, o[4];
    RankVectorAdjMV(4, d, o);
    EXPECT_EQ(o[0], 2.5);
    EXPECT_EQ(o[1], -999.0);
    EXPECT_EQ(o[2], 1.0);
    EXPECT_EQ(o[3], 2.5);
    // A present value below -999 is still ranked among the present values.
    float f[] = {-2000, -999, 3, -1500};
    RankVectorAdjMV(4, f, f);
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_EQ(f[1], -999.0f);
    EXPECT_EQ(f[2], 3.0f);
    EXPECT_EQ(f[3], 2.0f);
    double all[] = {-999, -999};
    RankVectorAdjMV(2, all, all);
    EXPECT_EQ(all[0], -999.0);
    EXPECT_EQ(all[1], -999.0);
    // Without -999 the MV form equals the plain one.
    double v[] = {4, 1, 4, 2, 9, 2, 2}, a[7], b[7];
    RankVectorAdj(7, v, a);
    RankVectorAdjMV(7, v, b);
    for (int k = 0; k < 7; k++) EXPECT_EQ(a[k], b[k]);
}

TEST(Ranks, RowsAndUpperTriangle) {
    Mat<float> f{{3, 1, 3}, {1, 2, 3}};
    RankRowsAdj(2, 3, f, f);
    EXPECT_EQ(f[0][0], 2.5f);
    EXPECT_EQ(f[1][2], 3.0f);
    Mat<double> d{{3, 1, 3}, {9, 9, 9}};
    Mat<double> o(2, 3), od(2, 3);
    RankRowsAdj(2, 3, d, o);
    RankRowsDAdj(2, 3, d, od);
    EXPECT_EQ(o[0][0], 2.5);
    EXPECT_EQ(o[1][1], 2.0);
    for (int i = 0; i < 2; i++)
        for (int k = 0; k < 3; k++) EXPECT_EQ(o[i][k], od[i][k]);
    // Cells above the diagonal: 5, 2, 5 -> 2.5, 1, 2.5; the rest untouched.
    Mat<double> r{{0, 5, 2}, {7, 0, 5}, {8, 9, 0}};
    Mat<double> out(3, 3);
    out.fill(42);
    RankReseAdj(3, r, out);
    EXPECT_EQ(out[0][1], 2.5);
    EXPECT_EQ(out[0][2], 1.0);
    EXPECT_EQ(out[1][2], 2.5);
    EXPECT_EQ(out[0][0], 42.0);
    EXPECT_EQ(out[1][0], 42.0);
    Mat<float> rf{{0, 1, 3, 2}, {0, 0, 6, 4}, {0, 0, 0, 5}, {0, 0, 0, 0}};
    RankReseAdj(4, rf, rf);
    EXPECT_EQ(rf[0][1], 1.0f);
    EXPECT_EQ(rf[1][2], 6.0f);
    EXPECT_EQ(rf[2][3], 5.0f);
    EXPECT_EQ(rf[1][0], 0.0f);
}

TEST(Spearman, KnownValues) {
    // Ranks (1..5) vs (2,1,4,3,5): D = 4 -> 1 - 24 / 120 = 0.8.
    double a[] = {10, 20, 30, 40, 50}, b[] = {2, 1, 4, 3, 5};
    float af[] = {10, 20, 30, 40, 50}, bf[] = {2, 1, 4, 3, 5};
    EXPECT_NEAR(Spearman2Vec(5, a, b), 0.8, kTol);
    EXPECT_NEAR(Spearman2Vec(5, af, bf), 0.8f, kTolF);
    double inc[] = {1, 5, 7, 100, 101}, dec[] = {9, 8, 7, 6, 5};
    EXPECT_NEAR(Spearman2Vec(5, a, inc), 1.0, kTol);
    EXPECT_NEAR(Spearman2Vec(5, a, dec), -1.0, kTol);
    // Ties averaged: ranks (1, 2.5, 2.5, 4) vs (1, 2, 3, 4): D = 0.5 -> 1 - 3 / 60 = 0.95.
    double t[] = {1, 2, 2, 3}, u[] = {1, 2, 3, 4};
    EXPECT_NEAR(Spearman2Vec(4, t, u), 0.95, kTol);
    // The inputs are not changed.
    EXPECT_EQ(t[1], 2.0);
}

TEST(Spearman, FewerThanTwoValuesGiveZero) {
    double a[] = {1}, b[] = {2};
    float af[] = {1}, bf[] = {2};
    EXPECT_EQ(Spearman2Vec(1, a, b), 0.0);
    EXPECT_EQ(Spearman2Vec(0, a, b), 0.0);
    EXPECT_EQ(Spearman2Vec(1, af, bf), 0.0f);
    EXPECT_FALSE(std::isnan(Spearman2Vec(1, af, bf)));
}

TEST(Spearman, BoundedAndSymmetric) {
    std::mt19937 gen(8);
    for (int rep = 0; rep < 20; rep++) {
        const int n = 12;
        double a[n], b[n];
        for (int k = 0; k < n; k++) {
            a[k] = double(gen() % 50);
            b[k] = double(gen() % 50);
        }
        double r = Spearman2Vec(n, a, b);
        EXPECT_LE(std::fabs(r), 1.0);
        EXPECT_EQ(r, Spearman2Vec(n, b, a));
    }
}

}  // namespace
