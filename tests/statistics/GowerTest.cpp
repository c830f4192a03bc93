// Gower and Legendre-Chodorowski similarities. Reference values from r/gower.R (a hand sum,
// confirmed by cluster::daisy with the ordinal ranks given as an interval variable); the rest
// by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

// Objects by (binary, nominal, quantitative, ordinal) of gower.R; -999 for NA.
Rows kData = {{1, 2, 1.5, 3}, {0, 1, 4.0, 1}, {0, 2, -999, 3}, {1, 3, 2.5, -999}, {0, 1, 0.0, 2}};
int kTypes[] = {1, 2, 3, 4};
float kWeights[] = {1, 2, 0.5, 1};
// Pairs (0,1) (0,2) (0,3) (0,4) (1,2) (1,3) (1,4) (2,3) (2,4) (3,4).
const double kAsym[] = {0.0416666666666667, 0.75, 0.3928571428571428, 0.1583333333333333, 0.0,
                        0.0892857142857143, 0.7428571428571429, 0.0, 0.1333333333333333, 0.0535714285714286};
const double kSymm[] = {0.0416666666666667, 0.75, 0.3928571428571428, 0.1583333333333333, 0.25,
                        0.0892857142857143, 0.8, 0.0, 0.35, 0.0535714285714286};

template <class T, class R>
void CheckGowerMVOpt(double tol) {
    for (int flag : {0, 1, 7}) {
        SCOPED_TRACE(flag);
        Mat<T> x(kData);
        Mat<R> s(5, 5);
        float junkRange[] = {100, 100, 100, 100};  // never read
        for (int call = 0; call < 2; call++) {
            // The second call ranks the ranks left in the table again and gives the same.
            GowerMVOpt(5, 4, kTypes, x, s, call ? nullptr : junkRange, kWeights, flag);
            for (int i = 0, k = 0; i < 5; i++) {
                EXPECT_EQ(s[i][i], R(1));
                for (int j = i + 1; j < 5; j++, k++) {
                    EXPECT_NEAR(s[i][j], (flag ? kSymm : kAsym)[k], tol) << i << "," << j;
                    EXPECT_EQ(s[j][i], s[i][j]);
                }
            }
            // The ordinal column now holds the ranks of (3, 1, 3, -, 2).
            ExpectCells(x, {{1, 2, 1.5, 3.5}, {0, 1, 4, 1}, {0, 2, -999, 3.5}, {1, 3, 2.5, -999}, {0, 1, 0, 2}});
        }
    }
}

TEST(Gower, MixedTypesAgainstReference) {
    CheckGowerMVOpt<float, float>(1e-6);
    CheckGowerMVOpt<float, double>(1e-6);
    CheckGowerMVOpt<double, double>(1e-14);
}

// Ordinal (3, 1, 3, -999) becomes (2.5, 1, 2.5, -999) with range 1.5: objects 0 and 1 differ
// by 1.5 (similarity 0), objects 0 and 2 agree (1), object 3 has nothing to compare.
TEST(Gower, OrdinalColumnRankedInTheCallerTable) {
    Mat<float> x{{3}, {1}, {3}, {-999}};
    Mat<double> s(4, 4);
    s.fill(0.5);
    int t[] = {4};
    GowerMVOpt(4, 1, t, x, s, nullptr, nullptr, 0);
    ExpectCells(x, {{2.5}, {1}, {2.5}, {-999}});
    ExpectVec(s[0], {1, 0, 1, 0.5}, 0);  // (0, 3): nothing to compare, the cell keeps its content
    EXPECT_EQ(s[3][0], 0.5);
}

// A variable with all values equal has range 0 and counts as full agreement; all-negative
// values get their true range: (-4, -2, -3): 1 - 2/2 = 0 between the first two.
TEST(Gower, ConstantAndNegativeQuantitativeVariables) {
    Mat<double> x{{5, -4}, {5, -2}, {5, -3}}, s(3, 3);
    Mat<float> xf{{-4}, {-2}, {-3}}, sf(3, 3);
    int t[] = {3, 3};
    GowerMVOpt(3, 2, t, x, s, nullptr, nullptr, 0);
    ExpectVec(s[0], {1, (1 + 0) / 2.0, (1 + 0.5) / 2.0}, 1e-15);
    Gower(3, 1, t, xf, sf, nullptr, nullptr);
    EXPECT_FLOAT_EQ(sf[1][2], 0.5f);
}

// A given range vector is used as it is; Gower takes -999 as a value.
TEST(Gower, GivenRangesAndPlainGower) {
    Mat<float> x2(kData), a(5, 5);
    Mat<double> b(5, 5);
    // Objects 0 and 1 over the quantitative variable alone with range 10: 1 - 2.5/10.
    int q[] = {0, 0, 3, 0};
    float range[] = {0, 0, 10, 0};
    GowerMV(5, 4, q, x2, b, range, nullptr);
    EXPECT_DOUBLE_EQ(b[0][1], 0.75);
    // Gower: no missing test; the range over all values of (1.5, 4, -999, 2.5, 0) is 1003:
    // objects 0 and 2: 1 - 1000.5/1003.
    Gower(5, 4, q, x2, b, nullptr, nullptr);
    EXPECT_NEAR(b[0][2], 1 - 1000.5 / 1003, 1e-6);
    Gower(5, 4, q, x2, a, range, nullptr);
    EXPECT_FLOAT_EQ(a[0][1], 0.75f);
}

// Partial similarities of one variable, w * s (not divided by w), -999 where not comparable.
TEST(Gower, PartialSimilaritiesOfOneVariable) {
    float q[] = {1.5, 4.0, -999, 2.5, 0.0};
    Mat<float> s(5, 5);
    GowerMVPartial_dAbsences(5, 3, q, s, 0.0f, 2.0f, 0);  // range computed: 4
    ExpectVec(s[0], {2, 2 * (1 - 2.5 / 4), -999}, 1e-6);
    EXPECT_FLOAT_EQ(s[1][0], s[0][1]);
    EXPECT_EQ(s[2][2], -999.0f);
    Mat<double> sd(5, 5);
    GowerMVPartial_dAbsences(5, 3, q, sd, 8.0f, -1.0f, 0);  // given range, weight -> 1
    EXPECT_DOUBLE_EQ(sd[0][1], 1 - 2.5 / 8);
    // Binary (1, 0, 0) by double-absence flag: 1 counted, 0 not comparable, 2 nothing at all.
    float b[] = {1, 0, 0};
    Mat<float> sb(3, 3);
    const Rows byFlag[] = {{{1, 0, 0}, {0, -999, -999}, {0, -999, -999}},
                           {{1, 0, 0}, {0, 1, 1}, {0, 1, 1}},
                           {{-999, -999, -999}, {-999, -999, -999}, {-999, -999, -999}}};
    for (int flag : {0, 1, 2}) {
        GowerMVPartial_dAbsences(3, 1, b, sb, 0, 1, flag);
        ExpectCells(sb, byFlag[flag]);
    }
    float o[] = {3, 1, 3, -999};
    Mat<float> so(4, 4);
    GowerMVPartial_dAbsences(4, 4, o, so, 0, 1, 1);
    ExpectVec(o, {2.5, 1, 2.5, -999});
    EXPECT_FLOAT_EQ(so[0][1], 0.0f);  // |2.5 - 1| / 1.5
    GowerMVPartial(4, 4, o, so, 0, 1);  // no ordinal type here
    EXPECT_EQ(so[0][0], -999.0f);
    float nom[] = {2, 2, 5};
    GowerMVPartial(3, 2, nom, sb, 0, 3);
    ExpectCells(sb, {{3, 3, 0}, {3, 3, 0}, {0, 0, 3}});
}

// Legendre-Chodorowski with k = 2: x = 3, y = 4 (d = 1): 2(2 + 1 - 1) / (4 + 2 + 2) = 0.5;
// x = y: 1; d = 3 > k: 0; a double zero is left out; a weight of 0 ends the scan.
TEST(LegendreChodorowski, PartialTermsByHand) {
    Mat<double> x{{3, 5, 0, 1}, {4, 5, 0, 4}}, s(2, 2);
    float w[] = {1, 1, 1, 1}, w0[] = {1, 0, 1, 1};
    LegendreChodorowski(2, 4, x, s, w, 2.0);
    ExpectCells(s, {{1, (0.5 + 1 + 0) / 3}, {(0.5 + 1 + 0) / 3, 1}}, 1e-7);
    LegendreChodorowski(2, 4, x, s, w0, 2.0);
    EXPECT_NEAR(s[0][1], 0.5, 1e-7);
    Mat<float> xf{{3, 5, 0, 1}, {4, 5, 0, 4}}, sf(2, 2);
    float k[] = {0, 2, 2, 3};  // per variable: first d = 1 > 0 -> 0; last d = 3 <= 3: 2/(8+9)
    LegendreChodorowski(2, 4, xf, sf, nullptr, k);
    EXPECT_NEAR(sf[0][1], (0 + 1 + 2.0 / 17) / 3, 1e-7);
    // Nothing to compare (all double zeros or missing): the cell keeps its content.
    Mat<float> z{{0, -999}, {0, 3}}, sz(2, 2);
    sz.fill(0.25f);
    LegendreChodorowski(2, 2, z, sz, nullptr, 1.0f);
    EXPECT_EQ(sz[0][1], 0.25f);
}

TEST(Gower, CleanupSetsDiagonalAndClearsLowerTriangle) {
    Mat<double> d{{5, 2, 4}, {3, 5, 6}, {7, 8, 9}};
    Cleanup(3, d);
    ExpectCells(d, {{1, 2, 4}, {0, 1, 6}, {0, 0, 1}});
}

}  // namespace
