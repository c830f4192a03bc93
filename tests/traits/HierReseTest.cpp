// Resemblance of communities over the trait hierarchy: the option dispatcher against R
// (r/hier_nominal_rese.R), its neighbour and pairwise fuzzy forms and all levels at once,
// worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "session/model/TNXGLOB.h"
#include "traits/HierSession.h"
#include "traits/TNXHIERRESE.h"

namespace {

using tnxtest::Mat;
using Doubles = std::vector<double>;

// Four communities by six types; totals 10, 9, 8, 8.
struct Table {
    Mat<float> x{4, 6, {1, 0, 3, 2, 0, 4, 0, 2, 1, 0, 5, 1, 3, 1, 0, 0, 2, 2, 2, 2, 2, 1, 1, 0}};
    Mat<float> totals{4, 1, {10, 9, 8, 8}};
    Mat<double> rese{4, 4}, rese2{4, 4};
    // The upper-triangle cells in R's order: (1,2), (1,3), (2,3), (1,4), (2,4), (3,4).
    Doubles Cells(double** m) const { return {m[0][1], m[0][2], m[1][2], m[0][3], m[1][3], m[2][3]}; }
};

TEST(NominalRese, EveryOptionAgainstItsDefinitionInR) {
    const struct {
        int opt;
        double N, K;
        bool second;  // the values are those of rese2
        Doubles r;
    } cases[] = {
        {1, 35, 12, false, {8.41844373447, 6.40822366183, 3.77652993965, 5.29250590526, 4.3980035892, 3.90621154414}},
        {2, 35, 12, false, {8.39211578203, 6.29688279051, 3.74710118963, 5.18116503394, 4.36857483917, 3.90621154414}},
        {3, 35, 12, false, {0.2, 0.314285714286, 0.4, 0.285714285714, 0.314285714286, 0.285714285714}},
        {4, 35, 12, false, {-7.3, -6.35238095238, -5.6, -6.38095238095, -5.68571428571, -5.04761904762}},
        {4, 6, 36, false, {-1.33333333333, -0.388888888889, 0.333333333333, -0.555555555556, -0.166666666667,
                           -0.111111111111}},
        // N = p and K = p^2 make covariances: Pearson's r. With N = 35, K = 12 every diagonal
        // cell is negative: no variance, correlation 0.
        {5, 6, 36, true, {-0.523722936566, -0.235969951862, 0.176546965901, -0.5, -0.130930734142, -0.134839972493}},
        {5, 35, 12, true, {0, 0, 0, 0, 0, 0}},
        {6, 35, 12, false, {1.34285714286, 0.742857142857, 0.6, 0.685714285714, 0.657142857143, 0.342857142857}},
        {7, 35, 12, false,
         {0.0150617283951, 0.00875, 0.00785934744268, 0.00767857142857, 0.00845458553792, 0.00535714285714}},
        {8, 35, 12, false, {15, 12, 9, 10, 9, 8}},
        {9, 35, 12, false, {1.55555555556, 1.3, 1.02777777778, 1.05, 1.08333333333, 1}},
        {10, 6, 36, true, {3.04744587313, 2.47193990372, 1.6469060682, 3, 2.26186146828, 2.26967994499}},
    };
    for (const auto& c : cases) {
        Table t;
        NominalRese(4, 6, t.x, t.rese, t.rese2, t.totals, c.N, c.K, 0, c.opt);
        const Doubles got = t.Cells(c.second ? t.rese2 : t.rese);
        for (int k = 0; k < 6; k++) EXPECT_NEAR(got[k], c.r[k], 2e-6 * std::fabs(c.r[k]) + 1e-12) << c.opt << " " << k;
        // Diagonals: the cross products of row 2 (31/35), 0 for 2 (1 - r).
        if (c.opt == 3) EXPECT_NEAR(t.rese.m[1][1], 31.0 / 35, 1e-7);
        if (c.opt == 10) EXPECT_EQ(t.rese2.m[2][2], 0.0);
        EXPECT_EQ(t.rese.m[1][0], 0.0) << "lower triangle untouched";
        // The relative options divide the caller's rows by their totals in place.
        EXPECT_FLOAT_EQ(t.x.m[0][5], (c.opt == 7 || c.opt == 9) ? 0.4f : 4.0f) << c.opt;
        // Neighbours one apart: (1,2), (2,3) and (3,4) alone, and the diagonal of the cross
        // products; a lag of 0 computes nothing.
        Table near;
        for (int i = 0; i < 4; i++)
            for (int j = 0; j < 4; j++) near.rese.m[i][j] = near.rese2.m[i][j] = 42;
        NominalReseNeighbours(4, 6, near.x, near.rese, near.rese2, near.totals, c.N, c.K, 0, c.opt, 0);
        EXPECT_EQ(near.rese.m[0][1], 42.0);
        NominalReseNeighbours(4, 6, near.x, near.rese, near.rese2, near.totals, c.N, c.K, 0, c.opt, 1);
        const Doubles b = near.Cells(c.second ? near.rese2 : near.rese);
        EXPECT_EQ((Doubles{b[1], b[3], b[4]}), (Doubles{42, 42, 42})) << c.opt;
        for (int k : {0, 2, 5}) EXPECT_NEAR(b[k], c.r[k], 2e-6 * std::fabs(c.r[k]) + 1e-12) << c.opt << " " << k;
        EXPECT_EQ(near.rese.m[3][3], c.opt == 3 || c.opt == 4 || c.opt == 5 || c.opt == 10 ? t.rese.m[3][3] : 42.0);
    }
}

TEST(NominalRese, GuardsAndReusedTotals) {
    Table t;
    // Zero totals, N and K divide by 1: option 7 is then the squared distance
    // 1 + 4 + 4 + 4 + 25 + 9; option 4 the cross product 3 + 4 less the totals' product 2 x 3.
    Mat<float> zero(4, 1);
    NominalRese(4, 6, t.x, t.rese, t.rese2, zero, 0, 0, 0, 7);
    EXPECT_NEAR(t.rese.m[0][1], 47, 1e-9);
    zero.m[0][0] = 2, zero.m[1][0] = 3;
    NominalRese(4, 6, t.x, t.rese, t.rese2, zero, 0, 0, 0, 4);
    EXPECT_NEAR(t.rese.m[0][1], 1, 1e-12);
    // Reused totals: rese2 is taken as given.
    t.rese2.m[0][1] = 1.5;
    NominalRese(4, 6, t.x, t.rese, t.rese2, t.totals, 35, 12, 1, 2);
    EXPECT_NEAR(t.rese.m[0][1], 8.41844373447 - 1.5, 2e-5);
    // Options without a coefficient, and no rows, write nothing.
    t.rese.m[0][1] = 42;
    NominalRese(4, 6, t.x, t.rese, t.rese2, t.totals, 35, 12, 0, 11);
    NominalRese(0, 6, t.x, t.rese, t.rese2, t.totals, 35, 12, 0, 8);
    EXPECT_EQ(t.rese.m[0][1], 42.0);
}

TEST(PairFuzzyRese, EachPairAdjustedOverItsOwnTypes) {
    // Communities (2, 0, 0), (0, 1, 0), (0, 0, 3); S = [[1 .5 0] [.5 1 .5] [0 .5 1]]. Absolute
    // values: pair 0-1 (types 0, 1) (4/3, 2/3, 0) and (1/3, 2/3, 0): 1; pair 0-2 (types 0, 2,
    // not similar) unchanged: 5; pair 1-2 (types 1, 2) (0, 2/3, 1/3) and (0, 1, 2): 2.
    Mat<double> S(3, 3, {1, .5, 0, .5, 1, .5, 0, .5, 1}), r(3, 3), r2(3, 3);
    Mat<float> data(3, 3, {2, 0, 0, 0, 1, 0, 0, 0, 3}), totals(3, 1, {2, 1, 3});
    rese_opt = 8;
    PairFuzzyRese(3, 3, data, r, r2, totals, 6, 27, S, 0);
    auto near = [&](Doubles expected) {
        const Doubles got{r.m[0][1], r.m[0][2], r.m[1][2]};
        for (int k = 0; k < 3; k++) EXPECT_NEAR(got[k], expected[k], 1e-6) << k;
    };
    near({1, 5, 2});
    EXPECT_EQ(data.m[0][0], 2.0f) << "the caller's rows are not adjusted";
    r.m[0][1] = r.m[0][2] = r.m[1][2] = 42;
    PairFuzzyReseNeighbours(3, 3, data, r, r2, totals, 6, 27, S, 0, 1);
    near({1, 42, 2});
    // Option 5 with N = 3 types and K = 9: Pearson's r of the adjusted pair 0-1, deviations
    // (2/3, 0, -2/3) and (0, 1/3, -1/3): (2/9) / sqrt(8/9 x 2/9) = 1/2, into rese2.
    rese_opt = 5;
    PairFuzzyRese(3, 3, data, r, r2, totals, 3, 9, S, 0);
    EXPECT_NEAR(r2.m[0][1], 0.5, 1e-6);
    rese_opt = 0;
}

TEST(Rese, EachLevelWithItsGrandTotalAndTheFullProductOfStates) {
    tnxtest::SixOtus b(3, true);
    int states[3] = {2, 3, 4};
    nch = 3, isHierarchical = 1, fuzzy = 0, onsta = states;
    Mat<double> r1(5, 5), r2(5, 5), r3(5, 5), s1(5, 5), s2(5, 5), s3(5, 5);
    double** r[3] = {r1, r2, r3};
    double** s[3] = {s1, s2, s3};
    Mat<float> totals(5, 1);
    rese_opt = 4;
    Rese(5, b.levelCodes, b.types, nullptr, b.levelData, totals, r, s);
    // Level-1 totals 12, 9, 7, 0, 0; every level's grand total 28; K = 2 x 3 x 4. Level 3:
    // c0 . c1 = 45; level 1: c0 . c2 = 5 x 2.
    EXPECT_EQ((tnxtest::Floats{totals.m[0][0], totals.m[1][0], totals.m[2][0], totals.m[3][0]}),
              (tnxtest::Floats{12, 9, 7, 0}));
    EXPECT_NEAR(r[2][0][1], 45.0 / 28 - 108.0 / 24, 1e-9);
    EXPECT_NEAR(r[0][0][2], 10.0 / 28 - 84.0 / 24, 1e-9);
    // Option 2: every level subtracts the first level's divergence of the totals.
    rese_opt = 2;
    Rese(5, b.levelCodes, b.types, nullptr, b.levelData, totals, r, s);
    EXPECT_GT(s[0][0][1], 0.0);
    EXPECT_EQ((Doubles{s[1][0][1], s[2][0][1]}), (Doubles{s[0][0][1], s[0][0][1]}));
    // Neighbours, absolute values, lag 1: level 1 c0-c1 5 + 3 + 6 + 7, c1-c2 2 + 3 + 5 + 6,
    // c2-c3 2 + 5, c3-c4 0; c0-c2 is not computed.
    rese_opt = 8;
    r[0][0][2] = 42;
    ReseNeighbours(5, b.levelCodes, b.types, nullptr, b.levelData, totals, r, s, 1);
    EXPECT_EQ((Doubles{r[0][0][1], r[0][1][2], r[0][2][3], r[0][3][4], r[0][0][2]}), (Doubles{21, 16, 7, 0, 42}));
    nch = 0, isHierarchical = 0, rese_opt = 0, onsta = nullptr;
}

}  // namespace
