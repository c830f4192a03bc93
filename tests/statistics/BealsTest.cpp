// Beals smoothing: type 0 against vegan's beals on a presence/absence table (r/beals.R), types 1
// and 2 worked by hand on a 3 x 3 table, the co-occurrence matrices, the target update against a
// full recomputation, missing values, and the permutation tests replayed from their definition.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "matrix/core/qwlibPermut.h"
#include "matrix/core/qwlibRandom.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

// r/beals.R: 7 samples x 5 species, 0/1.
Rows kPresence = {{1, 1, 0, 0, 1}, {0, 1, 1, 0, 1}, {1, 0, 1, 1, 0}, {1, 1, 1, 0, 0},
                  {0, 0, 1, 1, 1}, {1, 0, 0, 0, 1}, {1, 1, 0, 1, 1}};
Rows kVeganInclude = {
    {0.783333333333333, 0.733333333333333, 0.433333333333333, 0.35, 0.783333333333333},
    {0.616666666666667, 0.7, 0.633333333333333, 0.383333333333333, 0.75},
    {0.722222222222222, 0.477777777777778, 0.688888888888889, 0.633333333333333, 0.588888888888889},
    {0.75, 0.7, 0.633333333333333, 0.383333333333333, 0.616666666666667},
    {0.588888888888889, 0.477777777777778, 0.688888888888889, 0.633333333333333, 0.722222222222222},
    {0.8, 0.6, 0.4, 0.4, 0.8},
    {0.754166666666667, 0.633333333333333, 0.491666666666667, 0.5125, 0.754166666666667}};
Rows kVeganExclude = {
    {0.675, 0.6, 0.433333333333333, 0.35, 0.675},
    {0.616666666666667, 0.55, 0.45, 0.383333333333333, 0.625},
    {0.583333333333333, 0.477777777777778, 0.533333333333333, 0.45, 0.588888888888889},
    {0.625, 0.55, 0.45, 0.383333333333333, 0.616666666666667},
    {0.588888888888889, 0.477777777777778, 0.533333333333333, 0.45, 0.583333333333333},
    {0.6, 0.6, 0.4, 0.4, 0.6},
    {0.672222222222222, 0.511111111111111, 0.491666666666667, 0.35, 0.672222222222222}};

TEST(BealsSmoothing, TypeZeroEqualsVeganBealsWithAndWithoutTheOwnSpecies) {
    Mat<double> x(kPresence), out(7, 5), gen(7, 5);
    for (bool own : {true, false}) {
        BealsSmoothing(7, 5, x, x, out, own, 0, false);
        // The general form: without correction the own species is included; with it, excluded.
        BealsSmoothing(7, 5, x, x, gen, false, 0, nullptr, own, 0, false);
        ExpectCells(out, own ? kVeganInclude : kVeganExclude, 1e-14);
        ExpectCells(gen, own ? kVeganInclude : kVeganExclude, 1e-14);
    }
}

// The 3 x 3 table of the hand calculations below:
//   s1 (2, 1, 0), s2 (1, 0, 3), s3 (0, 2, 2); R = (2/3, 1/3, 0), (1/4, 0, 3/4), (0, 1/2, 1/2).
Rows kSmall = {{2, 1, 0}, {1, 0, 3}, {0, 2, 2}};

// Type 2 with row scaling: cross products [[5, 2, 3], [2, 5, 4], [3, 4, 13]], rows to unit sum
// [.5 .2 .3], [2 5 4]/11, [.15 .2 .65]; the diagonal set to 0 and the odds m / (1 - m):
//   g = [[-, 1/4, 3/7], [2/9, -, 4/7], [3/17, 1/4, -]].
// out: s1 (2/9, 1/4, 2/3 3/7 + 1/3 4/7 = 10/21); s2 (3/17, 1/16 + 3/16 = 1/4, 3/7);
//      s3 (1/2 2/9 + 1/2 3/17 = 61/306, 1/4, 4/7).
TEST(BealsSmoothing, TypeTwoWithRowScalingAndOddsByHand) {
    Mat<double> x(kSmall), M(3, 3), out(3, 3);
    ConditionalProb(3, 3, x, M, 2, false);
    ExpectCells(M, {{5, 2, 3}, {2, 5, 4}, {3, 4, 13}}, 0);  // undivided, diagonal = sums of squares
    ConditionalProb(3, 3, x, M, 2, true);
    ExpectCells(M, {{.5, .2, .3}, {2. / 11, 5. / 11, 4. / 11}, {.15, .2, .65}}, 1e-15);
    BealsSmoothing(3, 3, x, x, out, false, 2, true);
    ExpectCells(out, {{2. / 9, 1. / 4, 10. / 21}, {3. / 17, 1. / 4, 3. / 7}, {61. / 306, 1. / 4, 4. / 7}}, 1e-15);
    // With the own value: R x M, no odds. s1, sp 1: 2/3 .5 + 1/3 2/11 = 13/33.
    BealsSmoothing(3, 3, x, x, out, true, 2, true);
    EXPECT_NEAR(out[0][0], 13. / 33, 1e-15);
}

TEST(ConditionalProb, TypeZeroAbsentSpeciesAndOtherTypes) {
    // Type 0: joint presences / presences of j, diagonal 1. Species 3 is absent: its row keeps
    // its zeros, its diagonal is 1. Row scaling of rows 1, 2 (sums 5/3): 3/5, 2/5.
    Mat<double> x{{1, 1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, M(3, 3);
    ConditionalProb(4, 3, x, M, 0, false);
    ExpectCells(M, {{1, 2. / 3, 0}, {2. / 3, 1, 0}, {0, 0, 1}}, 1e-15);
    ConditionalProb(4, 3, x, M, 7, false);  // an unknown type leaves only the diagonal of 1
    ExpectCells(M, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0);
    Mat<float> xf{{1, 1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, Mf(3, 3);
    ConditionalProb(4, 3, xf, Mf, 0, true);
    ExpectCells(Mf, {{3. / 5, 2. / 5, 0}, {2. / 5, 3. / 5, 0}, {0, 0, 1}}, 1e-6);
}

TEST(BealsSmoothing, ASampleHoldingOneSpecies) {
    // Sample 1 holds only species 1: with the own value (no row scaling) 1 x M[0][0] = 1;
    // without it 0 (R = 1), never 0/0.
    Mat<double> x{{5, 0, 0}, {1, 2, 0}, {0, 1, 3}}, own(3, 3), not_(3, 3), gen(3, 3);
    BealsSmoothing(3, 3, x, x, own, true, 1, false);
    BealsSmoothing(3, 3, x, x, not_, false, 1, false);
    BealsSmoothing(3, 3, x, x, gen, false, 0, nullptr, false, 1, true);
    EXPECT_EQ(std::vector<double>({own[0][0], not_[0][0], gen[0][0]}), std::vector<double>({1, 0, 0}));
    for (int j = 0; j < 3; j++) EXPECT_TRUE(std::isfinite(gen[0][j]));
}

// A missing abundance enters no sum and stays missing: sample 2 of kSmall with its first value
// missing. R of s2 = (-999, 0, 1); M from the pairs present (species 1 now counted over s1 only):
// type 1, M[0][1] = 2/2 = 1, M[0][2] = 0/2 = 0, M[1][0] = 1/3, M[2][0] = 0/5 = 0, others as before.
TEST(BealsSmoothing, MissingValuesEnterNoSumAndStayMissing) {
    Mat<double> x{{2, 1, 0}, {-999, 0, 3}, {0, 2, 2}}, M(3, 3), out(3, 3);
    ConditionalProb(3, 3, x, M, 1, false);
    ExpectCells(M, {{1, 1, 0}, {1. / 3, 1, 2. / 3}, {0, 2. / 5, 1}}, 1e-15);
    BealsSmoothing(3, 3, x, x, out, false, 0, nullptr, false, 1, false);
    // s2, sp 2: (R_s2,3 M[2][1]) / (1 - 0) = 2/5; s2, sp 3: R = 1: 0.
    // s1, sp 1 (R 2/3, 1/3, 0): 1/3 M[1][0] / (1/3) = 1/3.
    ExpectCells(out, {{1. / 3}, {-999, 2. / 5, 0}}, 1e-15);
}

// Random abundance tables with zeros.
void RandomTable(Mat<double>& x, unsigned seed) {
    std::mt19937 g(seed);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < x.rows(); i++)
        for (int j = 0; j < x.cols(); j++) x[i][j] = u(g) < 0.35 ? 0 : std::floor(1 + 9 * u(g));
}

TEST(BealsSmoothing, TargetUpdateEqualsAFullRecomputation) {
    const int n = 12, p = 7;
    // Every combination of seed (1..3), type (0..2), row scaling and correction.
    for (int c = 0; c < 36; c++) {
        const unsigned seed = 1 + c / 12;
        const int type = c / 4 % 3, t = int(seed) % p;
        const bool rowUnitSum = c / 2 % 2, noCorrection = c % 2;
        SCOPED_TRACE(testing::Message() << seed << " type " << type << " unit " << rowUnitSum << " noCorr " << noCorrection);
        Mat<double> x(n, p), y(n, p), M(p, p), out(n, p), full(n, p), M0(p, p);
        RandomTable(x, seed);
        BealsSmoothing(n, p, x, x, out, false, 0, M, noCorrection, type, rowUnitSum);
        Copy(M, M0);
        for (int i = 0; i < n; i++)  // column t reversed
            for (int j = 0; j < p; j++) y[i][j] = j == t ? x[n - 1 - i][j] : x[i][j];
        BealsSmoothing(n, p, y, y, out, true, t, M, noCorrection, type, rowUnitSum);
        BealsSmoothing(n, p, y, y, full, false, 0, nullptr, noCorrection, type, rowUnitSum);
        ExpectSame(out, full, 1e-12);
        ExpectSame(M, M0, 0);  // the target form reads M without changing it
    }
}

// The target form on its own (the full target update is checked above): a species absent from the
// new table keeps its row undivided (all 0, diagonal 1); a target outside the species changes nothing.
TEST(ConditionalProb, TargetFormEdges) {
    const int n = 10, p = 6, t = 2;
    Mat<double> x(n, p), y(n, p), M(p, p), full(p, p);
    RandomTable(x, 9);
    Copy(x, y);
    for (int i = 0; i < n; i++) y[i][t] = 0;
    ConditionalProb(n, p, x, M, 1, false);
    ConditionalProb(t, n, p, y, M, 1, false);
    for (int k = 0; k < p; k++) EXPECT_EQ(M[t][k], k == t ? 1.0 : 0.0);
    ConditionalProb(n, p, x, M, 1, false);
    Copy(M, full);
    ConditionalProb(p, n, p, y, M, 1, false);
    ConditionalProb(-1, n, p, y, M, 1, false);
    ExpectSame(M, full, 0);
}

// The test's loop replayed from its definition on the same generator, for types 0 and 1: per
// species the mask (samples where the uncorrected smoothing is not 0), then per permutation the
// identity list permuted over the mask, column j moved through it, the table smoothed again and
// the correlation compared with the observed one (one single-precision step of tolerance). The
// table has a missing value and an empty sample, so that some positions stay out of the mask.
TEST(BealsTest, ReplaysItsDefinitionOnTheSameDraws) {
    const int n = 9, p = 4, N = 15;
    Mat<double> x(n, p), A(n, p), B(n, p), Xp(n, p), Bp(n, p);
    RandomTable(x, 11);
    x[2][1] = -999;
    for (int j = 0; j < p; j++) x[5][j] = 0;
    for (int type : {0, 1}) {
        double r[p], P[p];
        InitRndNumberGenerator(5);
        BealsTest(n, p, N, x, r, P, type, false);
        InitRndNumberGenerator(5);
        BealsSmoothing(n, p, x, x, A, false, 0, nullptr, true, type, false);
        BealsSmoothing(n, p, x, x, B, false, 0, nullptr, false, type, false);
        for (int j = 0; j < p; j++) {
            int mask[n], list[n];
            double a[n], b[n];
            for (int i = 0; i < n; i++) {
                mask[i] = A[i][j] != 0 && x[i][j] != -999;
                a[i] = x[i][j];
                b[i] = B[i][j];
            }
            double obs = Correlation2VecSelectMV(n, a, b, mask), count = 1;
            for (int perm = 2; perm <= N; perm++) {
                for (int i = 0; i < n; i++) list[i] = i + 1;
                RndListSelect(n, list, mask);
                for (int i = 0; i < n; i++)
                    for (int k = 0; k < p; k++) Xp[i][k] = k == j ? x[list[i] - 1][k] : x[i][k];
                BealsSmoothing(n, p, Xp, Xp, Bp, false, 0, nullptr, false, type, false);
                for (int i = 0; i < n; i++) {
                    a[i] = Xp[i][j];
                    b[i] = Bp[i][j];
                }
                double rp = Correlation2VecSelectMV(n, a, b, mask);
                if (rp > obs || AlmostEqual2sComplement(rp, obs, 1)) count++;
            }
            EXPECT_EQ(r[j], obs) << type << " " << j;
            EXPECT_EQ(P[j], count / N) << type << " " << j;
        }
    }
    // One permutation: only the observed statistic, P = 1. Among identical samples every
    // permutation of a column leaves the table as it was: P = 1 too.
    double r[p], P[p];
    BealsTest(n, p, 1, x, r, P, 0, true);
    ExpectVec(P, {1, 1, 1, 1}, 0);
    Mat<double> same{{1, 2, 0}, {1, 2, 0}, {1, 2, 0}, {1, 2, 0}};
    BealsTest(4, 3, 6, same, r, P, 1, true);
    ExpectVec(P, {1, 1, 1}, 0);
}

// The float form: the contrast of the mean smoothed value where present and where absent.
TEST(BealsTest, FloatContrastOfSmoothedValuesBetweenPresencesAndAbsences) {
    Mat<float> x{{2, 1, 0}, {1, 0, 3}, {0, 2, 2}, {1, 1, 0}}, B(4, 3);
    double stat[3], P[3];
    InitRndNumberGenerator(7);
    BealsTest(4, 3, 5, x, stat, P);
    BealsSmoothing(4, 3, x, x, B, false);
    for (int j = 0; j < 3; j++) {
        double in = 0, out = 0;
        int ni = 0, no = 0;
        for (int i = 0; i < 4; i++) (x[i][j] > 0 ? (in += B[i][j], ni++) : (out += B[i][j], no++));
        EXPECT_NEAR(stat[j], in / ni - out / no, 1e-6) << j;
        EXPECT_GE(P[j], 0.2);
    }
    // A species present everywhere has no absences to contrast with: 0.
    Mat<float> full{{1, 2}, {3, 1}, {2, 2}};
    BealsTest(3, 2, 3, full, stat, P);
    EXPECT_EQ(stat[0], 0);
}

}  // namespace
