// Roundings through single precision. First the compiler's fault that the build's flags keep out:
// g++ 12 at -O2 and above merges two adjacent stores of double(float(x)) into one vector
// operation and then folds the pair of conversions away, so that neither value is rounded. Then
// every routine that rounds a value through single precision and keeps it in double: each value
// it keeps is a single-precision number, next to the value worked out in double.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "matrix/qwlib.h"
#include "permtests/MantelData.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResEntropy.h"
#include "statistics/qwlibResGower.h"
#include "statistics/qwlibResInfo.h"
#include "statistics/StatTestUtil.h"

namespace {

// x rounded to single precision through a volatile float, whose store and load every
// optimisation level keeps: the expected values do not depend on the fault under test.
double ThroughSingle(double x) {
    volatile float f = static_cast<float>(x);
    return f;
}

bool IsSingle(double x) { return ThroughSingle(x) == x; }

// Every digit of a double, so that a failure shows the difference.
std::string Digits(double x) {
    char text[32];
    snprintf(text, sizeof text, "%.17g", x);
    return text;
}

// ---------------------------------------------------------------- the compiler's fault

struct Pair {
    double first, second;
};

// The shapes that showed the fault, each kept out of line so that the compiler cannot see its
// inputs: a pair stored crosswise (as the hierarchical factorial clustering records its two
// eigenvalues), a pair scaled first, float locals, and a float array read back.
__attribute__((noinline)) void Crosswise(const Pair& in, Pair* out) {
    out->first = double(float(in.second));
    out->second = double(float(in.first));
}
__attribute__((noinline)) void Scaled(const Pair& in, Pair* out) {
    out->first = double(float(in.first * 3));
    out->second = double(float(in.second * 3));
}
__attribute__((noinline)) void FloatLocals(const Pair& in, Pair* out) {
    const float a = static_cast<float>(in.first * 3), b = static_cast<float>(in.second * 3);
    out->first = a;
    out->second = b;
}
__attribute__((noinline)) void FloatArrayReadBack(const Pair& in, float* f, Pair* out) {
    f[0] = static_cast<float>(in.first * 3);
    f[1] = static_cast<float>(in.second * 3);
    out->first = f[0];
    out->second = f[1];
}

TEST(SinglePrecisionStores, APairOfRoundedValuesStoredSideBySideKeepsBothRoundings) {
    volatile double first = 0.1, second = 0.7;  // neither a single-precision number
    const Pair in{first, second};
    float f[2];
    Pair crosswise, scaled, locals, readBack;
    Crosswise(in, &crosswise);
    Scaled(in, &scaled);
    FloatLocals(in, &locals);
    FloatArrayReadBack(in, f, &readBack);
    const struct {
        const char* shape;
        Pair got;
        double first, second;
    } cases[] = {
        {"crosswise", crosswise, ThroughSingle(0.7), ThroughSingle(0.1)},
        {"scaled", scaled, ThroughSingle(0.1 * 3), ThroughSingle(0.7 * 3)},
        {"float locals", locals, ThroughSingle(0.1 * 3), ThroughSingle(0.7 * 3)},
        {"float array read back", readBack, ThroughSingle(0.1 * 3), ThroughSingle(0.7 * 3)},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.first, c.second);
        EXPECT_EQ(c.got.first, c.first) << c.shape << ": " << Digits(c.got.first) << " for " << Digits(c.first);
        EXPECT_EQ(c.got.second, c.second) << c.shape << ": " << Digits(c.got.second) << " for " << Digits(c.second);
    }
}

// ---------------------------------------------------------------- the routines

std::vector<double> Cells(Mat<double>& m, int rows, int cols) {
    std::vector<double> v;
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) v.push_back(m[i][j]);
    return v;
}

// The records of one hierarchical factorial clustering of three objects with p values.
struct FactorialRecords {
    std::vector<clusterReport> rep = std::vector<clusterReport>(2);
    std::vector<int> members = std::vector<int>(6);
    std::vector<double> vectors = std::vector<double>(2 * (4 + 2 * 4));
    FactorialRecords() {
        for (int t = 0; t < 2; t++) {
            rep[t] = clusterReport{};
            rep[t].members = &members[3 * t];
            double* v = &vectors[t * 12];
            rep[t].eigenVector1 = v;
            rep[t].eigenVector2 = v + 2;
            rep[t].factorScores1 = v + 4;
            rep[t].factorScores2 = v + 8;
        }
    }
};

// Each value a routine keeps in double after rounding it through single precision is a
// single-precision number within half a unit of its last place of the value in double (worked
// out below from the routine's definition), or of the R value of a permutation statistic.
TEST(SinglePrecisionStores, EveryRoutineThatRoundsThroughSinglePrecisionKeepsSingleNumbers) {
    const double half = std::ldexp(1.0, -24);  // half a unit in the last place, relative

    // Hierarchical factorial clustering, float form, first fusion (rows 1 and 2). The rows
    // centred and scaled to unit length, z0 and z1, have the cross products [[1, r], [r, 1]]:
    // eigenvalues 1 -+ r, eigenvectors (1, +-1) / sqrt 2, scores (z0 +- z1) / sqrt 2 (signs as the
    // routine chose them).
    Mat<float> xf{{1, 2, 3, 4}, {2, 4, 6, 9}, {4, 1, 3, 2}};
    FactorialRecords rec;
    ASSERT_TRUE(HierFactorialClustering(3, 4, xf, rec.rep.data()));
    ASSERT_EQ(rec.rep[0].nMembers, 2);
    const double rows[2][4] = {{1, 2, 3, 4}, {2, 4, 6, 9}};
    double z[2][4];
    for (int i = 0; i < 2; i++) {
        const double mean = (rows[i][0] + rows[i][1] + rows[i][2] + rows[i][3]) / 4;
        double ss = 0;
        for (int k = 0; k < 4; k++) ss += (rows[i][k] - mean) * (rows[i][k] - mean);
        for (int k = 0; k < 4; k++) z[i][k] = (rows[i][k] - mean) / std::sqrt(ss);
    }
    const double r01 = z[0][0] * z[1][0] + z[0][1] * z[1][1] + z[0][2] * z[1][2] + z[0][3] * z[1][3];
    const clusterReport& first = rec.rep[0];
    std::vector<double> factorialGot = {first.level, first.criterion}, factorialWant = {1 - r01, 1 + r01};
    for (int c = 0; c < 2; c++) {
        factorialGot.insert(factorialGot.end(), {first.eigenVector1[c], first.eigenVector2[c]});
        factorialWant.insert(factorialWant.end(), {std::copysign(M_SQRT1_2, first.eigenVector1[c]),
                                                   std::copysign(M_SQRT1_2, first.eigenVector2[c])});
    }
    const double s1 = first.eigenVector1[0] > 0 ? 1 : -1, s2 = first.eigenVector2[0] > 0 ? 1 : -1;
    for (int k = 0; k < 4; k++) {
        factorialGot.insert(factorialGot.end(), {first.factorScores1[k], first.factorScores2[k]});
        factorialWant.insert(factorialWant.end(), {s1 * (z[0][k] + z[1][k]) * M_SQRT1_2,
                                                   s2 * (z[0][k] - z[1][k]) * M_SQRT1_2});
    }

    // Rows to unit length, double form: (1, 2, 3) / sqrt 14, (4, 5, 7) / sqrt 90.
    Mat<double> unit{{1, 2, 3}, {4, 5, 7}};
    UnitLengthAdj(2, 3, unit, unit);
    const std::vector<double> unitWant = {1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0),
                                          4 / std::sqrt(90.0), 5 / std::sqrt(90.0), 7 / std::sqrt(90.0)};

    // Correlation scaling, double form: column (1, 2, 6) has mean 3 and sum of squares 14,
    // column (2, 3, 5) mean 10/3 and sum of squares 14/3.
    Mat<double> corr{{1, 2}, {2, 3}, {6, 5}};
    CorrAdj(3, 2, corr, corr);
    const double r14 = std::sqrt(14.0), r143 = std::sqrt(14.0 / 3);
    const std::vector<double> corrWant = {-2 / r14, (2 - 10.0 / 3) / r143, -1 / r14,
                                          (3 - 10.0 / 3) / r143, 3 / r14, (5 - 10.0 / 3) / r143};

    // Centring float columns into double: (1, 2, 4) minus 7/3; with a missing cell (0.5, -999,
    // 0.25) minus 0.375 on the present values, the missing one copied.
    Mat<float> centreIn{{1, 0.5f}, {2, -999}, {4, 0.25f}};
    Mat<double> centred(3, 2), centredMV(3, 2);
    CenterCols(3, 1, centreIn, centred);
    CenterColsMV(3, 2, centreIn, centredMV);
    const std::vector<double> centredGot = {centred[0][0], centred[1][0], centred[2][0]},
                              centredWant = {1 - 7.0 / 3, 2 - 7.0 / 3, 4 - 7.0 / 3};
    EXPECT_EQ(centredMV[0][1], 0.125);
    EXPECT_EQ(centredMV[1][1], -999);
    EXPECT_EQ(centredMV[2][1], -0.125);
    const std::vector<double> centredMVGot = {centredMV[0][0], centredMV[1][0], centredMV[2][0]},
                              centredMVWant = centredWant;

    // One quantitative variable's Gower partial similarities, weight 0.3 (single precision):
    // w (1 - |xi - xj| / range) over the range 3 of (1, 2, 4), for the pairs 1-2 and 2-3 (the
    // term, 1 - d / range, is formed in single precision: twice the margin).
    float gx[3] = {1, 2, 4};
    Mat<double> gower(3, 3);
    GowerMVPartial_dAbsences(3, 3, gx, gower, 0, 0.3f, 0);
    const double w = 0.3f;
    const std::vector<double> gowerGot = {gower[0][1], gower[1][2]}, gowerWant = {w * (1 - 1.0 / 3), w * (1 - 2.0 / 3)};

    // Legendre-Chodorowski with tolerance k = 2, 2 (k + 1 - d) / (2k + 2 + d k) for d <= k: on the
    // variable (1, 2, 4), d = 1 gives 4/8, d = 3 (beyond the tolerance) 0, d = 2 gives 2/10; on
    // (3, 3.5, 1.5), d = 0.5 gives 5/7, d = 1.5 gives 3/9, d = 2 gives 2/10; each pair averages
    // the two. Both the double and the float-to-double forms.
    Mat<double> lcIn{{1, 3}, {2, 3.5}, {4, 1.5}};
    Mat<float> lcInF{{1, 3}, {2, 3.5}, {4, 1.5}};
    Mat<double> lc(3, 3), lcF(3, 3);
    LegendreChodorowski(3, 2, lcIn, lc, nullptr, 2.0);
    LegendreChodorowski(3, 2, lcInF, lcF, nullptr, 2.0f);
    const std::vector<double> lcWant = {(0.5 + 5.0 / 7) / 2, (0 + 1.0 / 3) / 2, (0.2 + 0.2) / 2};
    const std::vector<double> lcGot = {lc[0][1], lc[0][2], lc[1][2]}, lcFGot = {lcF[0][1], lcF[0][2], lcF[1][2]};

    // The permutation statistics that round their correlations to single precision (R values of
    // tests/permtests/r/mantel_family.R): ro(TE); r(XT), r(XE) and ro(XE.T) in single precision;
    // the same three from crisp group labels.
    MantelData d;
    TraitCorrelationTest<double> te(TraitStatistic::kTE, kOtus, kTraits, kComm, d.B, d.W, d.sel, 6, true, d.DE,
                                    nullptr, nullptr, 0);
    te.Arrange(d.identity);
    CompositionInput single;
    single.kind = CompositionStatistic::kXE_T;
    single.single = true;
    single.DT = d.DT;
    single.DE = d.DE;
    single.given[0] = float(kRTE);
    CompositionCorrelationTest<float, float, float> xe(kOtus, kTypes, kComm, d.Uf, d.Wf, single);
    xe.Arrange(d.identity);
    int labels[kOtus] = {1, 2, 1, 3, 2};
    LabelBelongingTest crisp(kOtus, kComm, labels, d.S, d.Wf, float(kRTE), d.DT, d.DE, 6, false, false);
    crisp.Arrange(d.identity);

    const struct {
        const char* routine;
        std::vector<double> got, want;  // want empty: only the single-precision check
        double tol;                     // relative
    } cases[] = {
        {"HierFactorialClustering, float", factorialGot, factorialWant, half},
        {"UnitLengthAdj, double", Cells(unit, 2, 3), unitWant, half},
        {"CorrAdj, double", Cells(corr, 3, 2), corrWant, half},
        {"CenterCols, float to double", centredGot, centredWant, half},
        {"CenterColsMV, float to double", centredMVGot, centredMVWant, half},
        {"GowerMVPartial_dAbsences, double", gowerGot, gowerWant, 2 * half},
        {"LegendreChodorowski, double", lcGot, lcWant, half},
        {"LegendreChodorowski, float to double", lcFGot, lcWant, half},
        {"ro(TE)", {te.stat[0]}, {0.031139244177606006}, 1e-5},
        {"r(XE), ro(XE.T) in single precision", {xe.shown[1], xe.shown[2]}, {0.26094343549857929, 0.37930435998720485},
         1e-5},
        {"r(XT) beside them", {xe.shown[0]}, {}, 0},
        {"ro(XE.T), crisp labels", {crisp.shown[2]}, {0.21633301846250336}, 1e-5},
        {"r(XT), r(XE) beside it", {crisp.shown[0], crisp.shown[1]}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.routine);
        ASSERT_TRUE(c.want.empty() || c.want.size() == c.got.size());
        for (size_t i = 0; i < c.got.size(); i++) {
            EXPECT_TRUE(IsSingle(c.got[i])) << "value " << i << ": " << Digits(c.got[i]);
            if (c.want.empty()) continue;
            EXPECT_FALSE(IsSingle(c.want[i])) << "value " << i << " shows no rounding";
            EXPECT_NEAR(c.got[i], c.want[i], c.tol * std::fabs(c.want[i])) << "value " << i;
        }
    }
}

// The routines that round a parameter or a divisor through single precision and keep the result
// in double: the result is the one the rounded parameter gives, which the unrounded one does not.
TEST(SinglePrecisionStores, AParameterRoundedThroughSinglePrecisionGivesTheRoundedParametersResult) {
    Mat<double> table{{3, 1, 0}, {1, 2, 4}, {0, 5, 2}};
    const double a = 0.3, aSingle = ThroughSingle(0.3);
    ASSERT_NE(a, aSingle);
    EXPECT_EQ(CoheCoefMV(3, 3, table, a), CoheCoefMV(3, 3, table, aSingle));
    EXPECT_EQ(EntropyCols(3, 3, table, a), EntropyCols(3, 3, table, aSingle));
    // The order makes a difference the checks above can see: the unrounded order's entropy of
    // the column totals (4, 8, 6), from its definition ln(sum p^a) / (1 - a), is not the result.
    const double p[3] = {4.0 / 18, 8.0 / 18, 6.0 / 18};
    const double unrounded = std::log(std::pow(p[0], a) + std::pow(p[1], a) + std::pow(p[2], a)) / (1 - a);
    const double rounded = std::log(std::pow(p[0], aSingle) + std::pow(p[1], aSingle) + std::pow(p[2], aSingle)) /
                           (1 - aSingle);
    EXPECT_NEAR(EntropyCols(3, 3, table, a), rounded, 1e-14);
    EXPECT_GT(std::fabs(rounded - unrounded), 1e-10);
    // Three nominal variables (rows) on four objects.
    Mat<double> pairs(3, 3), pairsSingle(3, 3);
    Mat<double> x{{1, 2, 1, 2}, {2, 1, 1, 2}, {1, 1, 2, 1}};
    MutualEntropyPairwiseMV(3, 4, x, pairs, a, 'n');
    MutualEntropyPairwiseMV(3, 4, x, pairsSingle, aSingle, 'n');
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_EQ(pairs[i][j], pairsSingle[i][j]) << i << " " << j;

    // Centring for covariances, double column form: (x - mean) / sqrt(c - 1) with the root of 2
    // taken in single precision, on the column (1, 2, 6).
    Mat<double> cov{{1}, {2}, {6}};
    CenterColsCovMV(3, 1, cov, cov);
    const double root = ThroughSingle(std::sqrt(2.0));
    const double want[3] = {-2 / root, -1 / root, 3 / root};
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(cov[i][0], want[i], 1e-15) << i;
        EXPECT_GT(std::fabs(cov[i][0] - want[i] * root / std::sqrt(2.0)), 1e-9) << i;
    }

    // Newick branch lengths are printed as single-precision numbers: 0.1234565 rounds up to
    // 0.12345650047 (printed 0.123457) where the double 0.12345649999 prints 0.123456; 0.2345675
    // rounds down to 0.23456749320 (0.234567, the double 0.234568).
    std::vector<int> members = {1, 2};
    clusterReport fused{};
    fused.nMembers = 2;
    fused.members = members.data();
    fused.branchFirst = 0.1234565;
    fused.branchSecond = 0.2345675;
    char a1[] = "a", b1[] = "b";
    char* names[] = {a1, b1};
    char text[64] = "";
    NewickFormat(2, &fused, 0, names, false, text, true);
    EXPECT_STREQ(text, "(a:0.123457,b:0.234567);");
}

}  // namespace
