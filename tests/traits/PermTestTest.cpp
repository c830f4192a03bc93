// The permutation-test engine on a small data set: observed statistics against R (the script
// r/permtest_small.R prints every expected value) and by hand, changes that must leave them
// alone, probabilities of identity lists, probabilities recomputed from the lists of the
// random-data file, the null models' lists, refusals and the hand-back buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/ClaimedCpus.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlibDispatch.h"
#include "matrix/qwLinearModels.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibResCompare.h"
#include "traits/PermTestData.h"
#include "traits/TNXPERMInternal.h"
#include "traits/TNXPERMTEST.h"

namespace {

struct Expected {
    int measure, index;
    double value, tolerance;
};

// From r/permtest_small.R: Mantel (cor of the lower triangles; vegan::mantel.partial;
// ade4::divc), Procrustes (vegan::protest()$t0) and RV (ade4::RV.rtest()$obs); ro(BF) goes
// through single precision under Procrustes and RV.
const Expected kR[] = {
    {1, kRoXE, 0.26094340125144466, 1e-12},    {1, kRoTE, -0.040965869753155866, 1e-12},
    {1, kRoXE_T, 0.34544937180109075, 1e-12},  {1, kRoRE, 0.61809289285082114, 1e-12},
    {1, kRoXE_TR, -0.032957263256125663, 1e-12}, {1, kRTY, 0.35578663842327618, 1e-12},
    {1, kRTZ, 0.40017388411765659, 1e-12},     {1, kRXY, 0.49253871281840073, 1e-12},
    {1, kRXZ, 0.51726003305972623, 1e-12},     {1, kRXY_T, 0.37768578891458265, 1e-12},
    {1, kRXZ_T, 0.38453519387113022, 1e-12},   {1, kRoBF, 0.36901250944500447, 1e-12},
    {1, kRFE, 0.48208686842426585, 1e-12},     {1, kRoPE, 0.21842479405252149, 1e-12},
    {1, kRoPT, 0.54609308722670946, 1e-12},    {1, kRoPX, 0.88745230343922377, 1e-12},
    {1, kRoPX_T, 0.83731099040197776, 1e-12},  {1, kRoTE_P, -0.19602055215686731, 1e-12},
    {1, kRoXE_P, 0.14919120296854857, 1e-12},  {1, kRoXE_TP, 0.1997080688444372, 1e-12},
    {1, kRoPE_T, 0.28768202294575151, 1e-12},  {1, kRoPE_X, -0.029555189490325082, 1e-12},
    {2, kRoTE, 0.55542416364217906, 1e-10},    {2, kRoXE, 0.65422336671228853, 1e-10},
    {2, kRoRE, 0.82869276587482299, 1e-10},    {2, kRTY, 0.75389370797880917, 1e-10},
    {2, kRoPE, 0.5928158444654773, 1e-10},     {2, kRFE, 0.77208629470870083, 1e-10},
    {2, kRoXE_T, 0.4178472093564839, 1e-10},   {2, kRoXE_TR, 0.45251931965710879, 1e-10},
    {2, kRoBF, 0.90470802252866589, 1e-5},     {3, kRoTE, 0.25071320375077555, 1e-10},
    {3, kRoXE, 0.43351190245890175, 1e-10},    {3, kRoRE, 0.82818504435077911, 1e-10},
    {3, kRoPT, 0.68587194032836962, 1e-10},    {3, kRoXE_T, 0.17546126354602604, 1e-10},
    {3, kRoBF, 0.82461079630819278, 1e-5}};

TEST(PermTestKernels, EuclideanUpperIsTheDispatcherDistanceExactly) {
    // The engine's own loop must give the very numbers of the dispatcher's Euclidean distance
    // (code 3), bit for bit, whatever the sizes (pairs grouped by four and the rest).
    for (int n : {1, 2, 3, 5, 6, 9, 13})
        for (int cols : {0, 1, 3, 8, 11}) {
            Mat<double> x(n, std::max(cols, 1)), d(n, n);
            FillRandom(x, 100 * n + cols);
            if (n > 2) x[2][0] = x[1][0];  // equal cells, and below a row equal to another
            if (n > 4)
                for (int c = 0; c < cols; c++) x[4][c] = x[3][c];
            ResemblanceLib(n, cols, x, d, 1, 3, 0, nullptr, 0.0, 0.0, 0, false);
            std::vector<double> tri(n * (n - 1) / 2 + 1, -1.0);
            permtest::EuclideanUpper(n, cols, x, tri.data());
            int e = 0;
            for (int i = 0; i < n; i++)
                for (int j = i + 1; j < n; j++, e++) EXPECT_EQ(tri[e], d[i][j]) << n << " " << cols << " " << i << "," << j;
            EXPECT_EQ(tri[e], -1.0);  // nothing written past the triangle
        }
}

TEST(PermTestKernels, EuclideanFromCrossProductsEqualsTheLoop) {
    // The distances from the cross products of the centred rows against the plain loop, to 1e-9
    // of the largest distance: many columns far from 0 (the centring keeps the cross products of
    // the order of the distances), two equal rows (0, not a rounding residue), one row.
    for (int n : {1, 2, 7, 15})
        for (int cols : {32, 45}) {
            Mat<double> x(n, cols);
            FillRandom(x, 7 * n + cols, 1000.0, 1010.0);
            if (n > 3)
                for (int c = 0; c < cols; c++) x[3][c] = x[1][c];
            const int m = n * (n - 1) / 2;
            std::vector<double> want(m + 1, -1.0), got(m + 1, -1.0), means(cols), centred(n * cols), gram(n * n);
            permtest::EuclideanUpper(n, cols, x, want.data());
            permtest::EuclideanUpperGram(n, cols, x, means.data(), centred.data(), gram.data(), got.data());
            double largest = 0.0;
            for (int e = 0; e < m; e++) largest = std::max(largest, want[e]);
            for (int e = 0; e < m; e++) EXPECT_NEAR(got[e], want[e], 1e-9 * largest) << n << " " << cols << " " << e;
            if (n > 3) {
                EXPECT_LT(got[(n - 1) + (3 - 1 - 1)], 1e-9 * largest);  // d(1, 3)
            }
            EXPECT_EQ(got[m], -1.0);  // nothing written past the triangle
        }
}

TEST(PermTestObserved, StatisticsAgreeWithR) {
    for (int optRo : {1, 2, 3}) {
        Small d(optRo, true);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        for (const Expected& e : kR) {
            if (e.measure != optRo) continue;
            EXPECT_NEAR(d.in.observed[e.index], e.value, e.tolerance) << optRo << " " << e.index;
        }
    }
}

// ro(XY) and ro(XY.T) of a run on identity lists, against the library forms that skip -999
// (RVcoeff / ProcrustesCoeff on the raw tables, residuals of the regression that skips them) on X
// and T formed by plain loops; every probability 1.
void ExpectTheSkippingFormsOfXY(Small& d, int optRo) {
    Mat<double> X(kN, kK), T(kN, kP), RX(kN, kK), RY(kN, kS);
    CompositionAndMeans(d, X, T);
    int sel[kP] = {1, 1, 0};
    auto coeff = [&](double** a, int pa, double** b, int pb) {
        return optRo == 2 ? ProcrustesCoeff(kN, pa, pb, a, b) : RVcoeff(kN, pa, pb, a, b);
    };
    PCA_Regression_ResidualsSelect(kN, kK, kP, X, T, RX, sel, 2, 2.0);
    PCA_Regression_ResidualsSelect(kN, kS, kP, d.Y, T, RY, sel, 2, 2.0);
    EXPECT_NEAR(d.in.observed[kRXY], coeff(X, kK, d.Y, kS), 1e-12) << optRo;
    EXPECT_NEAR(d.in.observed[kRXY_T], coeff(RX, kK, RY, kS), 1e-12) << optRo;
    EXPECT_GT(d.in.observed[kRXY_T], 0.0);
    for (int i = 0; i < kPermTestStats; i++) EXPECT_EQ(d.in.probability[i], 1.0) << optRo << " " << i;
}

TEST(PermTestObserved, SmoothedCompositionWithMissingCellTakesTheSkippingForms) {
    // A -999 in Y: ro(XY) and ro(XY.T) come from the library forms that skip it (RVcoeff /
    // ProcrustesCoeff on the raw tables, residuals of the regression that skips it), and an
    // identity permutation still reproduces every observed value.
    for (int optRo : {2, 3}) {
        Small d(optRo, false);
        d.Y[1][2] = -999;
        d.in.iterations = 5;
        d.in.restriction = 1;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        ExpectTheSkippingFormsOfXY(d, optRo);
    }
}

TEST(PermTestObserved, ACompositionCellOfExactlyMinus999TakesTheSkippingFormsOnEveryThread) {
    // X = W U computed with a cell of exactly -999 (by hand: community 2 holds OTUs 2 to 4 with
    // 2, 4 and 1, whose belonging to type 1 is 0.5, -250.0625 and 0.25: 1 - 1000.25 + 0.25, exact
    // in any order). Without -999 in Y or Z the work spaces are made without the regression that
    // skips it: each thread makes it on first need, and ro(XY) and ro(XY.T) come from the library
    // forms as for a -999 in Y. Identity lists on four threads reproduce them.
    const ClaimedCpus cpus(4);
    const char* env = std::getenv("TARNEX_THREADS");
    const std::string saved = env ? env : "";
    setenv("TARNEX_THREADS", "4", 1);
    for (int optRo : {2, 3}) {
        Small d(optRo, false);
        d.U[1][0] = 0.5, d.U[1][1] = 0.5, d.U[2][0] = -250.0625, d.U[3][0] = 0.25, d.U[3][1] = 0.75;
        d.in.iterations = 9;
        d.in.restriction = 1;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        Mat<double> X(kN, kK), T(kN, kP);
        CompositionAndMeans(d, X, T);
        ASSERT_EQ(X[1][0], -999.0);
        ExpectTheSkippingFormsOfXY(d, optRo);
    }
    if (env)
        setenv("TARNEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

TEST(PermTestObserved, HandBackHoldsUnnormalisedTAndRaoEntropies) {
    Small d(1, true);
    d.in.handBack = true;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    // T[0] = weighted means of community 1 (3, 1, 0, 0, 2): (3*1 + 2.5 + 2*0.5) / 6 and
    // (30 + 12 + 18) / 6; the unselected trait stays 0.
    ExpectVec(d.outT[0], {6.5 / 6, 10.0, 0.0}, 1e-12);
    // X[1] = (0 2 4 1 0) x U = (1.6 + 0.3, 0.4 + 4 + 0.7); P[1] = (2, 5).
    ExpectVec(d.outX[1], {1.9, 5.1}, 1e-12);
    ExpectVec(d.outP[1], {2.0, 5.0}, 1e-12);
    // ade4::divc, see the script.
    EXPECT_NEAR(d.outR[0], 0.36392152155550822, 1e-12);
    EXPECT_NEAR(d.outR[4], 0.47913726093875253, 1e-12);
    EXPECT_NEAR(d.outF[1], 0.40816326530612251, 1e-12);
    EXPECT_NEAR(d.outF[5], 0.23265306122448975, 1e-12);
    // No selection means every trait: community 1's third trait (3 * 0.5 + 0.1 + 2 * 0.7) / 6
    // (B in single precision).
    d.in.traitSelected = nullptr;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    EXPECT_NEAR(d.outT[0][2], 3.0 / 6, 1e-7);
    // A -999 in U or Q drops its term alone: X[1][0] = 4 * 0 + 1 * 0.3 without OTU 2's, and
    // P[1][1] = 2 * 0 + 1 * 1 without OTU 3's; the other cells as before.
    d.U[1][0] = -999;
    d.Q[2][1] = -999;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    ExpectVec(d.outX[1], {0.3, 5.1}, 1e-12);
    ExpectVec(d.outP[1], {2.0, 1.0}, 1e-12);
}

TEST(PermTestObserved, PWrittenWithoutHandBackAndNothingElse) {
    Small d(1, true);
    d.in.handBack = false;
    d.outX[0][0] = 42;
    d.outR[0] = 42;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    ExpectVec(d.outP[0], {6.0, 0.0}, 1e-12);
    EXPECT_EQ(d.outX[0][0], 42);
    EXPECT_EQ(d.outR[0], 42);
    EXPECT_EQ(d.outT[0][0], 0);
}

TEST(PermTestObserved, WithoutPhylogenyThePhylogeneticStatisticsAreZeroWithProbabilityOne) {
    for (int optRo : {1, 2, 3}) {
        Small d(optRo, false);
        d.in.iterations = 20;
        InitRndNumberGenerator(7);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        for (int i = kRoBF; i < kPermTestStats; i++) {
            EXPECT_EQ(d.in.observed[i], 0.0) << optRo << " " << i;
            EXPECT_EQ(d.in.probability[i], 1.0) << optRo << " " << i;
        }
    }
}

// Changes that must leave the observed statistics (all, or those listed) alone; with all of
// them compared, the hand-back buffers too.
TEST(PermTestObserved, ChangesThatLeaveTheObservedValuesAlone) {
    using Edit = void (*)(Small&);
    const struct {
        const char* what;
        int optRo;
        bool phyl;
        Edit a, b;
        double tolerance;
        std::vector<int> stats;
    } cases[] = {
        // The weighted null model changes only the random lists (ro(BF) then takes its general
        // form, which must agree with the form for plain permutations).
        {"weighted null model, Mantel", 1, true, nullptr, [](Small& d) { d.in.weightedNullModel = true, d.in.restriction = 1; }, 1e-14, {}},
        {"weighted null model, Procrustes", 2, true, nullptr, [](Small& d) { d.in.weightedNullModel = true, d.in.restriction = 1; }, 1e-14, {}},
        {"weighted null model, RV", 3, true, nullptr, [](Small& d) { d.in.weightedNullModel = true, d.in.restriction = 1; }, 1e-14, {}},
        // 7 is the Euclidean distance like 6, 9 the absolute-value function like 8.
        {"resemblance 7 as 6", 1, true, nullptr, [](Small& d) { d.in.reseOpt = 7; }, 0, {}},
        {"resemblance 9 as 8", 1, true, [](Small& d) { d.in.reseOpt = 8; }, [](Small& d) { d.in.reseOpt = 9; }, 0, {}},
        // A -999 cell of W counts as absence: means, compositions and entropies as with a 0.
        {"missing performance", 1, true, nullptr, [](Small& d) { d.W[0][3] = d.W[5][1] = -999; }, 0, {}},
        // The unselected trait given explicitly or every trait through a null selection.
        {"no selection", 1, false, [](Small& d) { d.in.traitSelected = nullptr; }, [](Small& d) { d.sel[2] = 1; }, 0, {}},
        // T is a weighted mean: a row of W times 7 changes nothing in it.
        {"rescaled community", 1, false, nullptr,
         [](Small& d) {
             for (int o = 0; o < kS; o++) d.W[2][o] *= 7.0;
         },
         1e-12, {kRoTE, kRTY}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Small a(c.optRo, c.phyl), b(c.optRo, c.phyl);
        a.in.handBack = b.in.handBack = true;
        if (c.a) c.a(a);
        c.b(b);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&a.in));
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&b.in));
        std::vector<int> stats = c.stats;
        for (int i = 0; c.stats.empty() && i < kPermTestStats; i++) stats.push_back(i);
        for (int i : stats) EXPECT_NEAR(a.in.observed[i], b.in.observed[i], c.tolerance) << i;
        if (!c.stats.empty()) continue;
        for (int r = 0; r < kN; r++) {
            for (int t = 0; t < kP; t++) EXPECT_EQ(a.outT[r][t], b.outT[r][t]);
            for (int t = 0; t < kK; t++) EXPECT_EQ(a.outX[r][t], b.outX[r][t]);
            EXPECT_EQ(a.outR[r], b.outR[r]);
            EXPECT_EQ(a.outF[r], b.outF[r]);
        }
    }
}

TEST(PermTestObserved, AbsoluteValueFunctionGivesManhattanDX) {
    // reseOpt 8: DX is the sum of absolute differences of the rows of X = W U; ro(XE) is then
    // the Pearson correlation of its pairs with those of DE.
    Small d(1, false);
    d.in.reseOpt = 8;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    Mat<double> X(kN, kK);
    for (int c = 0; c < kN; c++)
        for (int t = 0; t < kK; t++)
            for (int o = 0; o < kS; o++) X[c][t] += d.W[c][o] * d.U[o][t];
    std::vector<double> a, b;
    for (int i = 0; i < kN; i++)
        for (int j = i + 1; j < kN; j++) {
            a.push_back(std::fabs(X[i][0] - X[j][0]) + std::fabs(X[i][1] - X[j][1]));
            b.push_back(d.DE[i][j]);
        }
    EXPECT_NEAR(d.in.observed[kRoXE], Pearson(a.data(), b.data(), int(a.size())), 1e-12);
}

TEST(PermTestObserved, TwoCommunitiesUseTheSinglePairRule) {
    // Communities 1 and 2 only. DT[0][1] = |T1 - T2| over the unit columns, worked out here;
    // DE[0][1] = sqrt(1 + 4). ro(TE) = 1 - |a - b| / max(a, b); ro(RE), which takes no such
    // rule, is not defined over one pair (not a number, with no probability).
    Small d(1, false);
    d.in.nCommunities = 2;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    double t[2][2] = {{6.5 / 6, 10.0}, {(5 + 16 + 3) / 7.0, (24 + 28 + 15) / 7.0}};
    double len0 = std::hypot(t[0][0], t[1][0]), len1 = std::hypot(t[0][1], t[1][1]);
    double dt = std::hypot(t[0][0] / len0 - t[1][0] / len0, t[0][1] / len1 - t[1][1] / len1);
    double de = std::sqrt(5.0);
    EXPECT_NEAR(d.in.observed[kRoTE], 1 - std::fabs(dt - de) / std::max(dt, de), 1e-12);
    EXPECT_TRUE(std::isnan(d.in.observed[kRoRE]) && std::isnan(d.in.probability[kRoRE]));

    // Two identical communities, DY[0][1] = 0: both cells 0 agree fully. At environmental distance
    // 0 the environment does not vary: the statistics that follow it are not defined.
    Small z(1, false);
    z.in.nCommunities = 2;
    for (int o = 0; o < kS; o++) z.W[1][o] = 2 * z.W[0][o];
    z.DY[0][1] = 0;
    z.DE[0][1] = 0;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&z.in));
    EXPECT_EQ(z.in.observed[kRTY], 1.0);
    EXPECT_EQ(z.in.observed[kRXY], 0.0);  // DX[0][1] = |X1 - 2 X1| > 0 against 0
    EXPECT_TRUE(std::isnan(z.in.observed[kRoTE]) && std::isnan(z.in.observed[kRoXE]));
}

TEST(PermTestObserved, MissingCellOfTheEnvironmentalResemblanceIsSkipped) {
    // DE[1][2] = -999: the correlations use the other 14 pairs (r/permtest_small.R).
    Small d(1, false);
    d.DE[1][2] = -999;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    EXPECT_NEAR(d.in.observed[kRoTE], -0.010329821111153603, 1e-12);
    EXPECT_NEAR(d.in.observed[kRoRE], 0.6020020355860598, 1e-12);
}

// A resemblance with a -999 cell is correlated pair by pair over its present cells; present cells
// beyond 2^200 or below 2^-200 (whose squares leave double) have their deviations multiplied by a
// power of two first. A correlation does not depend on scale, and a power of two multiplies every
// mean, deviation, sum and square root exactly, so DE (one cell -999) or DY (one cell -999) times
// 2^300 or 2^-300 gives every statistic and probability of the run at the given scale bit for bit
// (the same seed, the same lists): r(TE), r(XE), ro(RE), ro(PE) and r(FE) with DE as the first
// vector, r(TY) with DY as the first, r(XY) with DY as the second, and the partials on them. The
// run at the given scale is anchored to R (the other 14 pairs of DE).
TEST(PermTestObserved, MissingCellsAtScalesBeyondTheSquaresOfDoubleCorrelateAsAtTheirOwn) {
    const double kFactors[] = {0x1p300, 0x1p-300};
    const struct {
        const char* what;
        Mat<double> Small::*matrix;
        int row, col;
    } cases[] = {{"DE", &Small::DE, 1, 2}, {"DY", &Small::DY, 0, 1}};
    auto run = [](Small& d) {
        d.in.iterations = 30;
        InitRndNumberGenerator(23);
        EXPECT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    };
    for (const auto& c : cases) {
        Small plain(1, true);
        (plain.*c.matrix)[c.row][c.col] = -999;
        run(plain);
        if (c.matrix == &Small::DE) {
            EXPECT_NEAR(plain.in.observed[kRoTE], -0.010329821111153603, 1e-12);
            EXPECT_NEAR(plain.in.observed[kRoRE], 0.6020020355860598, 1e-12);
        }
        for (double f : kFactors) {
            SCOPED_TRACE(testing::Message() << c.what << " times " << f);
            Small scaled(1, true);
            Mat<double>& m = scaled.*c.matrix;
            for (int i = 0; i < kN; i++)
                for (int j = i + 1; j < kN; j++) m[i][j] *= f;
            m[c.row][c.col] = -999;
            run(scaled);
            for (int i = 0; i < kPermTestStats; i++) {
                EXPECT_TRUE(std::isfinite(plain.in.observed[i])) << i;
                EXPECT_EQ(scaled.in.observed[i], plain.in.observed[i]) << i;
                EXPECT_EQ(scaled.in.probability[i], plain.in.probability[i]) << i;
            }
        }
    }
}

TEST(PermTestObserved, ResemblanceWithOneDifferingCellIsNotFlat) {
    // DE all 1 but DE[0][2] = 2 (r/permtest_small.R); a constant DE would correlate 0.
    Small d(1, false);
    for (int i = 0; i < kN; i++)
        for (int j = i + 1; j < kN; j++) d.DE[i][j] = 1;
    d.DE[0][2] = 2;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    EXPECT_NEAR(d.in.observed[kRoTE], 0.037588489686603305, 1e-12);
    // Constant DY, also of values whose mean over the 15 pairs does not come out exactly in binary
    // (0.03, 0.71, whose centring leaves rounding): no variation, so r(TY) and r(XY) are not
    // defined. A constant DE leaves the environment without variation: the statistics that follow
    // it are not defined, also when a missing cell stands among the equal ones.
    for (double c : {1.0, 0.1, 0.7, 0.03, 0.71}) {
        Small y(1, false);
        for (int i = 0; i < kN; i++)
            for (int j = i + 1; j < kN; j++) y.DY[i][j] = d.DE[i][j] = c;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&y.in));
        EXPECT_TRUE(std::isnan(y.in.observed[kRTY]) && std::isnan(y.in.probability[kRTY])) << c;
        EXPECT_TRUE(std::isnan(y.in.observed[kRXY])) << c;
        EXPECT_NEAR(y.in.observed[kRoXE], 0.26094340125144466, 1e-12) << c;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        EXPECT_TRUE(std::isnan(d.in.observed[kRoTE]) && std::isnan(d.in.observed[kRoRE])) << c;
        // The same with a missing cell, through the form that skips it (never 0/0).
        y.DY[1][2] = d.DE[1][2] = -999;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&y.in));
        EXPECT_TRUE(std::isnan(y.in.observed[kRTY])) << c;
        EXPECT_TRUE(std::isnan(y.in.observed[kRXY])) << c;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        EXPECT_TRUE(std::isnan(d.in.observed[kRoTE]) && std::isnan(d.in.observed[kRoRE])) << c;
    }
}

TEST(PermTestRefusals, NothingIsFilledForAnUntestableRecord) {
    using Edit = void (*)(Small&);
    const struct {
        const char* what;
        int optRo;
        bool phyl;
        Edit spoil;
    } cases[] = {
        {"one community", 1, true, [](Small& d) { d.in.nCommunities = 1; }},
        {"Procrustes with a missing E", 2, false, [](Small& d) { d.E[3][1] = -999; }},
        {"RV with a missing B and a phylogeny", 3, true, [](Small& d) { d.B[2][0] = -999; }},
        {"no OTU", 1, false, [](Small& d) { d.in.nOTUs = 0; }},
        {"measure 4", 4, false, [](Small&) {}},
        {"Mantel without DY", 1, false, [](Small& d) { d.in.DY = nullptr; }},
        {"Procrustes without Z", 2, false, [](Small& d) { d.in.Z = nullptr; }},
        {"restricted without nesting groups", 1, false, [](Small& d) { d.in.restriction = 1, d.in.nestingGroups = nullptr; }},
        {"phylogeny without Sf", 1, true, [](Small& d) { d.in.Sf = nullptr; }},
        {"RV without phylogenetic axes", 3, true, [](Small& d) { d.in.phylAxes = nullptr; }},
        {"no Sb", 1, false, [](Small& d) { d.in.Sb = nullptr; }},
        {"negative traits", 1, false, [](Small& d) { d.in.nTraits = -1; }},
        {"negative types", 1, false, [](Small& d) { d.in.nTypes = -1; }},
        {"negative variables", 1, false, [](Small& d) { d.in.nEnv = -1; }},
    };
    for (const auto& c : cases) {
        Small d(c.optRo, c.phyl);
        c.spoil(d);
        d.in.observed[0] = d.in.probability[0] = 5;
        EXPECT_FALSE(PermTest_FunctionalPhyl_Correl(&d.in)) << c.what;
        EXPECT_EQ(d.in.observed[0], 5) << c.what;
        EXPECT_EQ(d.in.probability[0], 5) << c.what;
    }
    EXPECT_FALSE(PermTest_FunctionalPhyl_Correl(nullptr));
}

TEST(PermTestRefusals, NoPhylogeneticAxesNeedNoCoordinates) {
    // Procrustes and RV with a phylogeny but no axis: ro(BF) has nothing to compare (0), the
    // other phylogenetic statistics are computed.
    for (int optRo : {2, 3}) {
        Small d(optRo, true);
        d.in.nPhylAxes = 0;
        d.in.phylAxes = nullptr;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
        EXPECT_EQ(d.in.observed[kRoBF], 0.0);
        EXPECT_NE(d.in.observed[kRoPE], 0.0);
    }
}

TEST(PermTestObserved, TraitMissingWhereverACommunityOccursGivesZero) {
    // Community 2 holds OTUs 2, 3 and 4; with the first trait missing for all three, its mean
    // has no term and is 0; the second trait keeps (2 * 12 + 4 * 7 + 15) / 7.
    Small d(1, false);
    d.B[1][0] = d.B[2][0] = d.B[3][0] = -999;
    d.in.handBack = true;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    EXPECT_EQ(d.outT[1][0], 0.0);
    EXPECT_NEAR(d.outT[1][1], 67.0 / 7, 1e-12);
    // Community 1 (3, 1, 0, 0, 2) keeps OTUs 1 and 5 for the first trait: (3 * 1 + 2 * 0.5) / 5.
    EXPECT_NEAR(d.outT[0][0], 4.0 / 5, 1e-12);
}

TEST(PermTestRefusals, EmptyTraitTypeAndEnvironmentTablesAreAccepted) {
    // No trait (T empty, DT all 0), no type (X empty) or no environmental variable (E unused
    // under Mantel): the test runs; an empty matrix has no variation, so its statistics are not
    // defined.
    Small noTrait(1, false), noType(1, false), noEnv(1, false);
    noTrait.in.nTraits = 0;
    noType.in.nTypes = 0;
    noEnv.in.nEnv = 0;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&noTrait.in));
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&noType.in));
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&noEnv.in));
    EXPECT_TRUE(std::isnan(noTrait.in.observed[kRoTE]) && std::isnan(noTrait.in.probability[kRoTE]));
    EXPECT_TRUE(std::isnan(noType.in.observed[kRoXE]) && std::isnan(noType.in.probability[kRoXE]));
    EXPECT_NEAR(noTrait.in.observed[kRoXE], 0.26094340125144466, 1e-12);
    EXPECT_NEAR(noEnv.in.observed[kRoXE], 0.26094340125144466, 1e-12);
}

TEST(PermTestRefusals, MissingTraitIsAcceptedUnderMantel) {
    Small d(1, true);
    d.B[2][0] = -999;
    EXPECT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    for (int i = 0; i < kPermTestStats; i++) EXPECT_TRUE(std::isfinite(d.in.observed[i])) << i;
}

// ---------------------------------------------------------------- probabilities

// Setups that draw nothing or only identity lists: each random value equals the observed one
// and counts, so every probability is 1; the data unchanged, ro(XE) stays R's. Without any
// occurrence T, X and R are all 0, without variation: their statistics are undefined (those
// of the phylogeny, not computed, keep probability 1).
TEST(PermTestProbability, IdentityListsGiveProbabilityOneEverywhere) {
    using Edit = void (*)(Small&);
    const struct {
        const char* what;
        int optRo;
        bool phyl;
        int iterations;
        Edit set;
        bool sameData = true;
    } cases[] = {
        {"no iteration", 1, true, 0, nullptr},
        {"one iteration", 1, true, 1, nullptr},
        // Every OTU its own nesting group.
        {"own groups, Mantel", 1, false, 9, [](Small& d) { d.in.restriction = 1; }},
        {"own groups, Mantel, phylogeny", 1, true, 9, [](Small& d) { d.in.restriction = 1; }},
        {"own groups, Procrustes", 2, false, 9, [](Small& d) { d.in.restriction = 1; }},
        {"own groups, Procrustes, phylogeny", 2, true, 9, [](Small& d) { d.in.restriction = 1; }},
        {"own groups, RV", 3, false, 9, [](Small& d) { d.in.restriction = 1; }},
        {"own groups, RV, phylogeny", 3, true, 9, [](Small& d) { d.in.restriction = 1; }},
        // A restriction code other than 0 and 1 leaves the list as it is.
        {"restriction without a draw", 1, true, 7, [](Small& d) { d.in.restriction = 2; }},
        {"weighted null model without any occurrence", 1, false, 5,
         [](Small& d) { d.W.fill(0), d.in.weightedNullModel = true; }, false},
    };
    for (const auto& c : cases) {
        Small d(c.optRo, c.phyl);
        d.in.iterations = c.iterations;
        if (c.set) c.set(d);
        InitRndNumberGenerator(11);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in)) << c.what;
        for (int i = 0; i < kPermTestStats; i++) {
            if (c.sameData || i >= kRoBF)
                EXPECT_EQ(d.in.probability[i], 1.0) << c.what << " " << i;
            else
                EXPECT_TRUE(std::isnan(d.in.probability[i])) << c.what << " " << i;
        }
        if (c.optRo == 1 && c.sameData) {
            EXPECT_NEAR(d.in.observed[kRoXE], 0.26094340125144466, 1e-12) << c.what;
        }
    }
}

// The random-data file of one run, read back.
std::string RunToFile(Small& d, unsigned long seed) {
    FILE* f = std::tmpfile();
    d.in.saveRndData = true;
    d.in.rndDataFile = f;
    InitRndNumberGenerator(seed);
    EXPECT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    const std::string text = ReadBack(f);
    std::fclose(f);
    return text;
}

// Each distinct OTU order the file prints after "Brnd" (one per iteration).
std::vector<std::vector<int>> ListsOf(const std::string& text, int s) {
    std::vector<std::vector<int>> lists;
    const std::string key = "Order of original OTUs in permuted traits matrix Brnd:\t";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        std::istringstream is(text.substr(at + key.size()));
        std::vector<int> l(s);
        for (int& x : l) is >> x;
        lists.push_back(l);
    }
    return lists;
}

// Statistics compared in absolute value whatever the tail: the partial ones.
bool AlwaysAbsolute(int i) {
    return i == kRoXE_T || i == kRoXE_TR || i == kRXY_T || i == kRXZ_T || i >= kRoPX_T;
}

// Pearson correlation of Sb[i][j] and Sf[l_i][l_j] over the pairs i < j (lists 1-based).
double PearsonUpper(Small& d, const std::vector<int>& l) {
    std::vector<double> a, b;
    for (int i = 0; i < kS; i++)
        for (int j = i + 1; j < kS; j++) {
            a.push_back(d.Sb[i][j]);
            b.push_back(d.Sf[std::min(l[i], l[j]) - 1][std::max(l[i], l[j]) - 1]);
        }
    return Pearson(a.data(), b.data(), int(a.size()));
}

// Each printed list, applied here to the rows of B, U, Q and to the rows and columns of Sb and
// Sf, gives a permuted data set whose observed statistics are that iteration's random ones;
// counting them with the tie rule reproduces the engine's probabilities. ro(BF) permutes the
// phylogeny against fixed traits, while the permuted set moves both: under Mantel it is worked
// out here, under Procrustes and RV left out.
void ExpectProbabilitiesFromFile(int optRo, bool twoTailed, bool weighted) {
    SCOPED_TRACE(testing::Message() << "measure " << optRo << " two-tailed " << twoTailed << " weighted " << weighted);
    const int iterations = 25;
    Small d(optRo, true);
    d.in.iterations = iterations;
    d.in.twoTailed = twoTailed;
    d.in.weightedNullModel = weighted;
    std::string text = RunToFile(d, 99);
    auto lists = ListsOf(text, kS);
    ASSERT_EQ(int(lists.size()), iterations - 1);
    double count[kPermTestStats];
    for (double& c : count) c = 1;
    for (const auto& l : lists) {
        Small r(optRo, true);
        for (int i = 0; i < kS; i++) {
            int o = l[i] - 1;
            for (int t = 0; t < kP; t++) r.B[i][t] = d.B[o][t];
            for (int t = 0; t < kK; t++) r.U[i][t] = d.U[o][t];
            for (int t = 0; t < kQ; t++) r.Q[i][t] = d.Q[o][t];
            for (int t = 0; t < kA; t++) r.axes[i][t] = d.axes[o][t];
            for (int j = i; j < kS; j++) {
                int u = l[j] - 1, lo = std::min(o, u), hi = std::max(o, u);
                r.Sb[i][j] = d.Sb[lo][hi];
                r.Sf[i][j] = d.Sf[lo][hi];
            }
        }
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&r.in));
        // ro(BF) under Mantel: the trait similarities against the phylogenetic ones with rows
        // and columns renamed by the list, a Pearson correlation worked out here.
        if (optRo == 1) r.in.observed[kRoBF] = PearsonUpper(d, l);
        for (int i = 0; i < kPermTestStats; i++)
            if (IsLargerThanOrEqual(r.in.observed[i], d.in.observed[i], 1, twoTailed || AlwaysAbsolute(i)))
                count[i] += 1;
    }
    for (int i = 0; i < kPermTestStats; i++) {
        if (i == kRoBF && optRo != 1) continue;
        EXPECT_EQ(d.in.probability[i], count[i] / iterations) << i;
    }
}

TEST(PermTestRandomData, ProbabilitiesRecomputeFromTheListsOfTheFile) {
    for (int optRo : {1, 2, 3})
        for (bool twoTailed : {true, false}) ExpectProbabilitiesFromFile(optRo, twoTailed, false);
    // Repeated OTUs: the permuted set then holds duplicated rows, as the engine's buffers do.
    ExpectProbabilitiesFromFile(1, true, true);
}

// How often `what` stands in `text`.
int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) n++;
    return n;
}

// The statistics a record defines. A matrix correlation runs over the m = n(n - 1)/2 cells of two
// resemblance matrices; centred, they keep m - 1 degrees of freedom and each partialled matrix
// takes one more, so a simple correlation needs 2 cells (the rule for two communities makes do
// with one), a first-order partial 3, a second-order one 4. Under Mantel, 2 communities (1 cell)
// define r(TE), r(XE), r(TY), r(TZ), r(XY), r(XZ), ro(PE), ro(PT), ro(PX) and, over the 5 OTUs,
// ro(BF), but neither ro(RE) nor r(FE) (taken without that rule) nor any partial; 3 communities
// (3 cells) all but the second-order ro(XE.TR) and ro(XE.TP), 4 (6 cells) all; 2 OTUs leave ro(BF)
// (1 cell) undefined. A constant DE leaves the 12 statistics that follow E undefined. Procrustes and
// RV compare configurations, which 2 communities define. An undefined statistic is not a number,
// with no probability, and is never counted: the random-data file shows its random values and
// cumulative frequencies as -999. The others are counted as usual.
TEST(PermTestDefined, TooFewCommunitiesOrAFlatEnvironmentLeaveAStatisticUndefined) {
    const std::vector<int> againstE = {kRoXE, kRoTE, kRoXE_T, kRoRE, kRoXE_TR, kRFE,
                                       kRoPE, kRoTE_P, kRoXE_P, kRoXE_TP, kRoPE_T, kRoPE_X};
    const struct {
        const char* what;
        int optRo, n, s;
        bool flat;
        std::vector<int> undefined;
    } cases[] = {
        {"Mantel, 2 communities", 1, 2, kS, false,
         {kRoXE_T, kRoRE, kRoXE_TR, kRXY_T, kRXZ_T, kRFE, kRoPX_T, kRoTE_P, kRoXE_P, kRoXE_TP, kRoPE_T, kRoPE_X}},
        {"Mantel, 3 communities", 1, 3, kS, false, {kRoXE_TR, kRoXE_TP}},
        {"Mantel, 4 communities", 1, 4, kS, false, {}},
        {"Mantel, 2 OTUs", 1, kN, 2, false, {kRoBF}},
        {"Mantel, constant DE", 1, kN, kS, true, againstE},
        {"Procrustes, 2 communities", 2, 2, kS, false, {}},
        {"RV, 2 communities", 3, 2, kS, false, {}},
        {"Procrustes, the same E everywhere", 2, kN, kS, true, againstE},
    };
    for (const auto& c : cases) {
        Small d(c.optRo, true);
        d.in.nCommunities = c.n;
        d.in.nOTUs = c.s;
        d.in.iterations = 9;
        if (c.flat)
            for (int i = 0; i < kN; i++) {
                // Mantel: all distances 1; Procrustes: every community at E = (1, 5), distances 0.
                for (int j = i + 1; j < kN; j++) d.DE[i][j] = c.optRo == 1 ? 1.0 : 0.0;
                if (c.optRo != 1) d.E[i][0] = 1, d.E[i][1] = 5;
            }
        const std::string text = RunToFile(d, 31);
        for (int i = 0; i < kPermTestStats; i++) {
            const bool undefined = std::find(c.undefined.begin(), c.undefined.end(), i) != c.undefined.end();
            const double o = d.in.observed[i], p = d.in.probability[i];
            if (undefined) {
                EXPECT_TRUE(std::isnan(o) && std::isnan(p)) << c.what << " " << i;
            } else {
                EXPECT_TRUE(std::isfinite(o)) << c.what << " " << i;
                EXPECT_TRUE(p >= 1.0 / 9 && p <= 1.0) << c.what << " " << i << " P " << p;
            }
        }
        // The cumulative frequencies of ro(XE.TR) and ro(RE) in every iteration's line.
        const bool xetr = std::find(c.undefined.begin(), c.undefined.end(), kRoXE_TR) != c.undefined.end();
        const bool re = std::find(c.undefined.begin(), c.undefined.end(), kRoRE) != c.undefined.end();
        EXPECT_EQ(Occurrences(text, "Cummulative frequency for ro(XE.TR)=-999\n"), xetr ? 8 : 0) << c.what;
        EXPECT_EQ(Occurrences(text, "\tCummulative frequency for ro(RE)=-999\t"), re ? 8 : 0) << c.what;
        EXPECT_EQ(Occurrences(text, "\tRandom ro(XE.TR) =\t-999\t"), xetr ? 8 : 0) << c.what;
        // Three cells leave a first-order partial one degree of freedom: the two residual vectors
        // are proportional, and the partial correlation is +1 or -1.
        if (c.n != 3) continue;
        for (int i : {kRoXE_T, kRXY_T, kRXZ_T, kRoPX_T, kRoTE_P, kRoXE_P, kRoPE_T, kRoPE_X})
            EXPECT_NEAR(std::fabs(d.in.observed[i]), 1.0, 1e-9) << i;
    }
}

// The value printed after each `key` of the random-data file, in order.
std::vector<double> ValuesAfter(const std::string& text, const std::string& key) {
    std::vector<double> v;
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
        v.push_back(std::strtod(text.c_str() + at + key.size(), nullptr));
    return v;
}

// W without OTU 4 (its column 0) and each row at unit total; only the first trait enters T.
void WithoutTheFourthOtu(Small& d) {
    for (int c = 0; c < kN; c++) {
        d.W[c][3] = 0;
        double total = 0;
        for (int o = 0; o < kS; o++) total += d.W[c][o];
        for (int o = 0; o < kS; o++) d.W[c][o] /= total;
    }
    d.Derive();
    d.sel[1] = 0;
}

// Types that follow the first trait: U = (1 - b, b) with b = B / 5. Over W at unit totals X is
// then an affine function of T's column: given T, nothing of X is left but rounding.
void TypesFromTheFirstTrait(Small& d) {
    for (int o = 0; o < kS; o++) {
        d.U[o][1] = d.B[o][0] / 5;
        d.U[o][0] = 1 - d.U[o][1];
    }
}

// X affine in T (TypesFromTheFirstTrait): under Procrustes and RV every partial whose first or
// second table is X given T has no variation left, and is undefined (not a number, no
// probability, -999 in the random-data file, observed and random); so with the phylogeny are
// ro(PX.T) and ro(XE.TP). X given P, and the others, are defined. Under the matrix correlation
// DX is DT times sqrt(2) / 5 (X = (1 - t / 5, t / 5) of the first trait's means t), so ro(XT) = 1,
// where the library's partial correlation gives 0: the same partials are undefined. E the means t
// themselves (and a constant column): E given T has nothing left, and ro(TE) = 1 under the matrix
// correlation; undefined are ro(XE.T), ro(XE.TR), ro(PE.T) and ro(XE.TP), under every measure.
TEST(PermTestDefined, ATableTheCovariatesExplainLeavesItsPartialsUndefined) {
    const std::vector<int> explainedX = {kRoXE_T, kRoXE_TR, kRXY_T, kRXZ_T, kRoPX_T, kRoXE_TP},
                           explainedE = {kRoXE_T, kRoXE_TR, kRoPE_T, kRoXE_TP};
    for (int run = 0; run < 6; run++) {
        const int optRo = 1 + run % 3;
        const bool xFromT = run < 3;
        const std::vector<int>& explained = xFromT ? explainedX : explainedE;
        SCOPED_TRACE(testing::Message() << (xFromT ? "X affine in T" : "E the trait means") << ", measure " << optRo);
        Small d(optRo, true);
        WithoutTheFourthOtu(d);
        if (xFromT) TypesFromTheFirstTrait(d);
        for (int c = 0; c < kN && !xFromT; c++) {  // W at unit totals: E's first column is T's
            d.E[c][0] = 0, d.E[c][1] = 2;
            for (int o = 0; o < kS; o++) d.E[c][0] += d.W[c][o] * d.B[o][0];
        }
        d.Derive();
        d.in.iterations = 9;
        const std::string text = RunToFile(d, 17);
        for (int i = 0; i < kPermTestStats; i++) {
            const bool undefined = std::find(explained.begin(), explained.end(), i) != explained.end();
            const double o = d.in.observed[i], p = d.in.probability[i];
            if (undefined) {
                EXPECT_TRUE(std::isnan(o) && std::isnan(p)) << i;
            } else {
                EXPECT_TRUE(std::isfinite(o)) << i;
                EXPECT_TRUE(p >= 1.0 / 9 && p <= 1.0) << i << " P " << p;
            }
        }
        EXPECT_EQ(Occurrences(text, "Observed ro(XE.T)=\t-999\n"), 1);
        EXPECT_EQ(Occurrences(text, "\tRandom ro(XE.T) =\t-999\t"), 8);
        EXPECT_EQ(Occurrences(text, "\nRandom ro(XE.TP) =\t-999\t"), 8);
        EXPECT_EQ(Occurrences(text, "Cummulative frequency for ro(XE.TR)=-999\n"), 8);
    }
}

// Under the matrix correlation the variation of the engine's own resemblance is judged on the
// table it is built from, on both of its roads (the distance loop below 32 columns, the cross
// products from 32 on). X = W U over W at unit totals with U = 10 + e g_o h_j, so X = 10 + e a_c
// h_j (a = W g): the sum of squares of its column j about its mean, e^2 h_j^2 sum (a - mean a)^2,
// against n (2^-40 M_j)^2 for the rounding of its values (M_j its largest value, about 10); the
// widest column (h = 2) decides, and e puts the ratio of the two at f^2 for f = 1.25 (defined) and
// 0.8: undefined then are the statistics that compare DX (ro(XE) and r(XY), r(XZ) with their
// partials), not ro(TE).
TEST(PermTestDefined, TheVariationOfDXIsThatOfX) {
    const double g[kS] = {0.3, -1.2, 0.8, 2.0, -0.5};
    for (int k : {4, 40})
        for (double f : {1.25, 0.8}) {
            SCOPED_TRACE(testing::Message() << k << " types, factor " << f);
            Small d(1, false);
            WithoutTheFourthOtu(d);  // W at unit totals
            std::vector<double> a(kN, 0.0), h(k);
            for (int j = 0; j < k; j++) h[j] = 1.0 + 0.25 * (j % 5);
            double meanA = 0, A = 0;
            for (int c = 0; c < kN; c++) {
                for (int o = 0; o < kS; o++) a[c] += d.W[c][o] * g[o];
                meanA += a[c] / kN;
            }
            for (int c = 0; c < kN; c++) A += (a[c] - meanA) * (a[c] - meanA);
            // The widest column's largest value 10 + e max(a) 2 depends on e: two rounds give the
            // ratio to far better than the factor on either side.
            const double maxA = *std::max_element(a.begin(), a.end());
            double e = 0;
            for (int round = 0; round < 2; round++)
                e = f * std::ldexp(1.0, -40) * (10 + e * maxA * 2.0) / (2.0 * std::sqrt(A / kN));
            Mat<double> U(kS, k);
            for (int o = 0; o < kS; o++)
                for (int j = 0; j < k; j++) U[o][j] = 10 + e * g[o] * h[j];
            d.in.U = U;
            d.in.nTypes = k;
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            const bool defined = f > 1.0;
            for (int i : {kRoXE, kRXY, kRXZ, kRoXE_T, kRXY_T, kRXZ_T, kRoXE_TR})
                EXPECT_EQ(std::isfinite(d.in.observed[i]), defined) << i;
            EXPECT_TRUE(std::isfinite(d.in.observed[kRoTE]));
            if (defined) {
                EXPECT_GT(std::fabs(d.in.observed[kRoXE]), 1e-3);
            }
        }
}

// A long constant vector has no variation on the engine's roads. Each community holds one OTU of
// its own, its own type: X is the identity and DX sqrt(2) in all n(n - 1) / 2 cells (to the
// rounding of the cross products); DY is 0.1 but for one -999 (the present cells' road); T (o mod 7)
// and E vary. r(XE), r(XY), r(XZ), their partials and r(TY) are undefined at 100 communities as at
// 600 (179,700 cells, where a running sum's mean passed the allowance); r(TE) is defined. A
// configuration of 10^5 or 10^6 rows of 0.1 and 10^7 + 0.1 has none, nor a covariate of 0.1 (no
// component); one value 2^-20 off gives both.
TEST(PermTestDefined, LongConstantVectorsHaveNoVariation) {
    for (int n : {100, 600}) {
        SCOPED_TRACE(n);
        Mat<double> W(n, n), E(n, 2), DE(n, n), DY(n, n), DZ(n, n), Y(n, n);
        Mat<float> B(n, 1), Sb(n, n);
        std::vector<int> nest(static_cast<size_t>(n), 1);
        int sel[1] = {1};
        for (int i = 0; i < n; i++) {
            W[i][i] = Sb[i][i] = 1;
            B[i][0] = static_cast<float>(i % 7), E[i][0] = i % 5, E[i][1] = i % 3;
        }
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++)
                DE[i][j] = std::hypot(E[i][0] - E[j][0], E[i][1] - E[j][1]), DY[i][j] = 0.1, DZ[i][j] = (i + 2 * j) % 9;
        DY[0][1] = -999;
        PermTest_FunctionalPhyl_Correl_Input in{};
        in.iterations = 1, in.nTraits = 1, in.traitSelected = sel, in.nOTUs = in.nTypes = in.nCommunities = n;
        in.nEnv = 2, in.B = B, in.Sb = Sb, in.E = E, in.U = W, in.W = W, in.DE = DE, in.DY = DY, in.DZ = DZ;
        in.Y = in.Z = Y, in.reseOpt = 6, in.optRo = 1, in.nestingGroups = nest.data(), in.sqrtRaoTraits = true;
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&in));
        for (int i : {kRoXE, kRXY, kRXZ, kRoXE_T, kRXY_T, kRXZ_T, kRoXE_TR, kRTY})
            EXPECT_TRUE(std::isnan(in.observed[i])) << i << " " << in.observed[i];
        EXPECT_TRUE(std::isfinite(in.observed[kRoTE]));
    }
    for (int n : {100000, 1000000}) {
        SCOPED_TRACE(n);
        Mat<double> X(n, 2);
        for (int i = 0; i < n; i++) X[i][0] = 0.1, X[i][1] = 1e7 + 0.1;
        permtest::Config table(n, 2);
        permtest::Components comp(n, 1);
        const MatrixCovariate cov{1, nullptr, X};  // its first column
        for (bool off : {false, true}) {
            if (off) X[n / 2][0] = 0.1 * (1 + 0x1p-20), X[n / 2][1] = (1e7 + 0.1) * (1 + 0x1p-20);
            table.Set(2, X);
            EXPECT_EQ(table.variance, off);
            ASSERT_TRUE(comp.Compute(&cov, 1, 2.0));
            EXPECT_EQ(comp.kept, off ? 1 : 0);
        }
    }
}

// Where a column sits changes no statistic, nor whether it is defined, and neither does a positive
// factor on a table. Against the survey as it is (with its phylogeny, under each measure): every
// column of E moved by 10^7 and 5 10^6 (exact in double; the caller's DE of the moved E is the
// same), or E multiplied by 1e-3, 1e-20 or 1e20 (its distances far below 1 or far above); each
// statistic equal to 1e-9, defined on both sides. The second
// trait selected alone and moved by 3 10^6 (its integer values stay exact in single precision):
// its community means carry the offset, which their centring removes, so every statistic is the
// same to 1e-7 (ro(BF) compares all of B, each column scaled as the Parts scale it, and is left
// out). A constant trait selected alone leaves T without variation wherever it sits: r(TE) is
// undefined at 7.3 as at 3 10^6, under every measure.
TEST(PermTestDefined, WhereAColumnSitsChangesNoStatistic) {
    for (int optRo : {1, 2, 3}) {
        SCOPED_TRACE(optRo);
        Small base(optRo, true);
        ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&base.in));
        for (int i = 0; i < kPermTestStats; i++) EXPECT_TRUE(std::isfinite(base.in.observed[i])) << i;
        const auto same = [&](Small& d, double tolerance, bool withBF) {
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            for (int i = 0; i < kPermTestStats; i++) {
                if (i == kRoBF && !withBF) continue;
                EXPECT_TRUE(std::isfinite(d.in.observed[i])) << i;
                EXPECT_NEAR(d.in.observed[i], base.in.observed[i], tolerance) << i;
            }
        };
        {
            SCOPED_TRACE("E moved");
            Small d(optRo, true);
            for (int c = 0; c < kN; c++) d.E[c][0] += 1e7, d.E[c][1] += 5e6;
            d.Derive();
            same(d, 1e-9, true);
        }
        for (double factor : {1e-3, 1e-20, 1e20}) {
            SCOPED_TRACE(testing::Message() << "E scaled by " << factor);
            Small d(optRo, true);
            for (int c = 0; c < kN; c++) d.E[c][0] *= factor, d.E[c][1] *= factor;
            d.Derive();
            same(d, 1e-9, true);
        }
        {
            SCOPED_TRACE("a trait moved, selected alone");
            Small b0(optRo, true), d(optRo, true);
            int alone[kP] = {0, 1, 0};
            b0.in.traitSelected = alone;
            d.in.traitSelected = alone;
            for (int o = 0; o < kS; o++) d.B[o][1] += 3e6f;
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&b0.in));
            std::copy(b0.in.observed, b0.in.observed + kPermTestStats, base.in.observed);
            same(d, 1e-7, false);
        }
        {
            // No trait selected: the partials given T have no covariate column to take out, 0
            // (X and E vary: a value, not one the data leave undefined).
            Small d(optRo, true);
            int none[kP] = {0, 0, 0};
            d.in.traitSelected = none;
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            if (optRo != 1) {
                for (int i : {kRoXE_T, kRXY_T, kRXZ_T}) EXPECT_EQ(d.in.observed[i], 0.0) << i;
            }
            EXPECT_TRUE(std::isnan(d.in.observed[kRoTE]));
        }
        for (float level : {7.3f, 3e6f}) {
            SCOPED_TRACE(testing::Message() << "a constant trait at " << level);
            Small d(optRo, true);
            int alone[kP] = {0, 1, 0};
            d.in.traitSelected = alone;
            for (int o = 0; o < kS; o++) d.B[o][1] = level;
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            EXPECT_TRUE(std::isnan(d.in.observed[kRoTE]));
            EXPECT_TRUE(std::isfinite(d.in.observed[kRoXE]));
        }
    }
}

// Missing cells of a caller's resemblance leave out their pairs: with 3 communities and one -999
// in DY, r(TY) correlates the two pairs left (+1 or -1); with a second, the one cell left has no
// variation, and r(TY) is undefined.
TEST(PermTestDefined, MissingCellsOfDYLeaveTwoPairsOrOne) {
    Small d(1, false);
    d.in.nCommunities = 3;
    d.DY[0][1] = -999;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    EXPECT_NEAR(std::fabs(d.in.observed[kRTY]), 1.0, 1e-12);
    d.DY[0][2] = -999;
    ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
    EXPECT_TRUE(std::isnan(d.in.observed[kRTY]));
    EXPECT_TRUE(std::isfinite(d.in.observed[kRoTE]));
}

// A draw whose table has no variation left takes 0, the value of a comparison with such a table;
// the observed one is defined. W lacks OTU 4, and OTUs 1 and 4 share a nesting group: each draw
// keeps the list or swaps them, moving OTU 1 where no community holds it. Residual: the types
// follow the first trait (X affine in T) but for OTU 1; a swap leaves X affine in T, ro(XE.T)
// given T has nothing left (Procrustes and RV). Trait table: the first trait is 0.1 but for OTU
// 1; a swap leaves T constant (to rounding), so ro(TE) compares a table without variation (every
// measure). The random-data file shows 0 for each swap and the observed value for each kept
// list, so the probability is (1 + kept lists) / iterations; the same with the communities in
// the reverse order, and without the file on one thread and on four.
TEST(PermTestProbability, ADrawWithoutVariationLeftCountsAsZero) {
    const struct {
        const char* what;
        int optRo, stat;
        const char* key;  // its random value in the file
    } cases[] = {
        {"residual, Procrustes", 2, kRoXE_T, "\tRandom ro(XE.T) =\t"},
        {"residual, RV", 3, kRoXE_T, "\tRandom ro(XE.T) =\t"},
        {"trait table, Mantel", 1, kRoTE, "\tRandom ro(TE) =\t"},
        {"trait table, Procrustes", 2, kRoTE, "\tRandom ro(TE) =\t"},
        {"trait table, RV", 3, kRoTE, "\tRandom ro(TE) =\t"},
    };
    const int iterations = 30;
    const char* env = std::getenv("TARNEX_THREADS");
    const std::string saved = env ? env : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto make = [&](bool reversed) {
            auto d = std::make_unique<Small>(c.optRo, false);
            WithoutTheFourthOtu(*d);
            if (c.stat == kRoXE_T) {
                TypesFromTheFirstTrait(*d);
                d->U[0][0] = d->U[0][1] = 0.5;  // OTU 1 off the line
            } else {
                for (int o = 1; o < kS; o++) d->B[o][0] = 0.1f;
                d->B[0][0] = 5;
            }
            d->nest[3] = 1;
            d->in.restriction = 1;
            d->in.iterations = iterations;
            if (reversed) d->ReverseCommunities();
            return d;
        };
        auto d = make(false);
        const std::string text = RunToFile(*d, 23);
        const double observed = d->in.observed[c.stat];
        ASSERT_TRUE(std::isfinite(observed));
        ASSERT_GT(std::fabs(observed), 1e-3);
        const auto lists = ListsOf(text, kS);
        const std::vector<double> random = ValuesAfter(text, c.key);
        ASSERT_EQ(int(lists.size()), iterations - 1);
        ASSERT_EQ(random.size(), lists.size());
        int kept = 0, swapped = 0;
        for (size_t it = 0; it < lists.size(); it++) {
            if (lists[it][0] == 1) {
                kept++;
                EXPECT_NEAR(random[it], observed, 1e-5 * std::fabs(observed)) << it;
            } else {
                ASSERT_EQ(lists[it][0], 4);
                swapped++;
                EXPECT_EQ(random[it], 0.0) << it;
            }
        }
        EXPECT_GT(kept, 0);
        EXPECT_GT(swapped, 0);
        EXPECT_EQ(d->in.probability[c.stat], (1.0 + kept) / iterations);
        for (const char* threads : {"1", "4"}) {
            setenv("TARNEX_THREADS", threads, 1);
            for (bool reversed : {false, true}) {
                auto r = make(reversed);
                InitRndNumberGenerator(23);
                ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&r->in));
                EXPECT_NEAR(r->in.observed[c.stat], observed, 1e-12) << threads << " " << reversed;
                EXPECT_EQ(r->in.probability[c.stat], d->in.probability[c.stat]) << threads << " " << reversed;
            }
        }
    }
    if (env)
        setenv("TARNEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

TEST(PermTestRandomData, SameSeedWritesTheSameFile) {
    Small a(1, true), b(1, true), c(1, true);
    a.in.iterations = b.in.iterations = c.in.iterations = 6;
    std::string ta = RunToFile(a, 5), tb = RunToFile(b, 5), tc = RunToFile(c, 6);
    EXPECT_EQ(ta, tb);
    EXPECT_NE(ta, tc);
    EXPECT_NE(ta.find("\nPERMUTATION TEST FOR CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL CORRELATIONS "
                      "ro(XE.T), ro(XE.TR)\nINTERMEDIATE RESULTS\n\nObserved trait matrix (B):\n1\t10\t0.5\t\n"),
              std::string::npos);
    EXPECT_NE(ta.find("\nMatrix W (6 communities by 5 OTUs):\n3\t1\t0\t0\t2\t\n"), std::string::npos);
    EXPECT_NE(ta.find("\n\nITERATION\t5\nPermuted trait matrix (Brnd):\n"), std::string::npos);
    EXPECT_EQ(ta.find("ITERATION\t6"), std::string::npos);
}

TEST(PermTestRandomData, ObservedBlockPrintsTheObservedValues) {
    // %g of the values of r/permtest_small.R: ro(TE) -0.040965869753155866, ro(XT)
    // 0.5675126269577474, ro(XE) 0.26094340125144466, ro(XE.T) 0.34544937180109075.
    Small d(1, true);
    d.in.iterations = 2;
    std::string text = RunToFile(d, 4);
    for (const char* want :
         {"\nMatrix correlation between DT and DE:\t-0.0409659\n", "\nObserved ro(XT)=\t0.567513\nObserved ro(XE)=\t0.260943\n"
          "Observed ro(XE.T)=\t0.345449\n",
          "\nObserved belonging matrix (U):\n1\t0\t\n0.8\t0.2\t\n",
          // The lower half of DE: row 2 holds DE[0][1] = sqrt(1 + 4) and the zero diagonal.
          "(based on matrix E of ecological variables by communities):\n0\t\n2.23607\t0\t\n",
          // DT and DR of the observed data: each community at distance 0 from itself.
          "\nResemblance matrix DT between 6 communities (based on matrix T of traits by communities):\n0\t\n",
          "\nResemblance matrix DR comparing communities based on their Rao entropy: \n0\t\n",
          "\nObserved similarity matrix (Sb) between OTUs, based on the traits:\n:1\t0.8\t0.3\t0.5\t0.6\t\n0.8\t1\t",
          "\nObserved similarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:1\t0.9\t",
          "\n\nRao entropy vector R (6 communities) computed after Sb:\n0.363922\t",
          "\n\nRao entropy vector R (6 communities) computed after Sf:\n", "\nIteration 1\tRandom ro(TE) =\t",
          "Permuted phylogenetic similarity matrix (Sf_rnd):\n", "\nIteration 1\tRandom ro(FE) =\t"})
        EXPECT_NE(text.find(want), std::string::npos) << want;
    Small dis(2, true);
    dis.in.phylIsDissimilarity = true;
    dis.in.iterations = 2;
    text = RunToFile(dis, 4);
    EXPECT_NE(text.find("\nObserved dissimilarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:"),
              std::string::npos);
    EXPECT_NE(text.find("\nMatrix E of communities by ecological variables):\n1\t5\t\n"), std::string::npos);
    EXPECT_NE(text.find("\nProcrustes correlation between T and E:\t0.555424\n"), std::string::npos);
    EXPECT_EQ(text.find("Resemblance matrix"), std::string::npos);  // no resemblance matrix without Mantel
}

// The intermediate correlations the random-data file prints beside the statistics follow the
// statistics' rules: one the data leave undefined is -999, observed and in every iteration (9
// iterations: 8 lines). W at unit totals without OTU 4 and every OTU belonging to both types
// alike (U = (1/2, 1/2)): X = (1/2, 1/2) in every community, whatever the draw, so DX is flat and
// ro(XT), ro(XR) and the partials that compare DX, ro(XE.R) and ro(XT.R), are undefined under
// Mantel; ro(TR) and ro(TE.R) are values. Under Procrustes and RV the configuration X has no
// variation: ro(XT) and ro(XR) are undefined, ro(TR) a value, and the partials on R, which those
// measures leave uncomputed, 0. E the Rao entropies (their resemblance DE is DR itself, ro(RE) = 1):
// R explains E, and the partials on R that compare DE, ro(XE.R) and ro(TE.R), are undefined under
// Mantel. The survey as it is leaves every intermediate a value.
TEST(PermTestRandomData, IntermediatesTheDataLeaveUndefinedAreMissing) {
    const struct {
        const char* what;
        int optRo;
        bool flatX, raoE;
        std::vector<const char*> missing;  // the intermediates printed -999
    } cases[] = {
        {"DX flat, Mantel", 1, true, false, {"XT", "XR", "XE.R", "XT.R"}},
        {"X flat, Procrustes", 2, true, false, {"XT", "XR"}},
        {"X flat, RV", 3, true, false, {"XT", "XR"}},
        {"E the Rao entropies, Mantel", 1, false, true, {"XE.R", "TE.R"}},
        {"the survey, Mantel", 1, false, false, {}},
        {"the survey, Procrustes", 2, false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Small d(c.optRo, false);
        WithoutTheFourthOtu(d);
        if (c.flatX)
            for (int o = 0; o < kS; o++) d.U[o][0] = d.U[o][1] = 0.5;
        if (c.raoE) {
            d.in.handBack = true;
            ASSERT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            for (int i = 0; i < kN; i++) d.E[i][0] = d.outR[i], d.E[i][1] = 2;
            d.Derive();
        }
        d.in.iterations = 9;
        const std::string text = RunToFile(d, 29);
        const bool undefinedXT = std::find_if(c.missing.begin(), c.missing.end(), [](const char* m) {
                                     return std::string(m) == "XT";
                                 }) != c.missing.end();
        EXPECT_EQ(Occurrences(text, "\nObserved ro(XT)=\t-999\n"), undefinedXT ? 1 : 0);
        for (const char* name : {"XT", "XR", "TR", "XE.R", "TE.R", "XT.R"}) {
            const bool missing = std::find_if(c.missing.begin(), c.missing.end(), [&](const char* m) {
                                     return std::string(m) == name;
                                 }) != c.missing.end();
            const std::vector<double> random = ValuesAfter(text, std::string("\tRandom ro(") + name + ") =\t");
            ASSERT_EQ(random.size(), 8u) << name;
            for (double v : random) {
                if (missing) {
                    EXPECT_EQ(v, -999.0) << name;
                } else {
                    EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0) << name << " " << v;
                }
            }
            // Procrustes and RV compute no partial on R.
            if (c.optRo != 1 && name[2] == '.') {
                EXPECT_EQ(Occurrences(text, std::string("\tRandom ro(") + name + ") =\t0\t"), 8) << name;
            }
        }
    }
}

// The lists of the null models: free ones are permutations; restricted ones keep each OTU in
// its nesting group (and some move); weighted ones with two occupied cells (OTUs 2 and 4) name
// only those.
TEST(PermTestRandomData, ListsFollowTheNullModel) {
    Small free(1, false), restricted(1, false), weighted(1, false);
    free.in.iterations = restricted.in.iterations = 30;
    for (const auto& l : ListsOf(RunToFile(free, 23), kS)) {
        std::vector<int> seen(kS, 0);
        for (int x : l) {
            ASSERT_GE(x, 1);
            ASSERT_LE(x, kS);
            seen[x - 1]++;
        }
        EXPECT_EQ(seen, std::vector<int>(kS, 1));
    }
    int groups[kS] = {1, 1, 2, 2, 2};
    restricted.in.nestingGroups = groups;
    restricted.in.restriction = 1;
    const auto lists = ListsOf(RunToFile(restricted, 17), kS);
    ASSERT_EQ(lists.size(), 29u);
    bool moved = false;
    for (const auto& l : lists)
        for (int i = 0; i < kS; i++) {
            EXPECT_EQ(groups[l[i] - 1], groups[i]);
            moved = moved || l[i] != i + 1;
        }
    EXPECT_TRUE(moved);
    weighted.W.fill(0);
    weighted.W[0][1] = 1;
    weighted.W[3][3] = 2;
    weighted.in.weightedNullModel = true;
    weighted.in.iterations = 15;
    const auto drawn = ListsOf(RunToFile(weighted, 31), kS);
    ASSERT_EQ(drawn.size(), 14u);
    for (const auto& l : drawn)
        for (int x : l) EXPECT_TRUE(x == 2 || x == 4) << x;
}

}  // namespace
