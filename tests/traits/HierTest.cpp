// The trait hierarchy, its fuzzy sets and the resemblance over it, on small tables worked by
// hand and against R (r/hier_indeterminacy.R, r/hier_nominal_rese.R).
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "session/model/TNXGLOB.h"
#include "traits/HierSession.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERRESE.h"

namespace {

using tnxtest::Floats;
using tnxtest::Get;
using tnxtest::GetRows;
using tnxtest::Ints;
using tnxtest::Mat;
using tnxtest::SixOtus;
using tnxtest::Strings;
using Doubles = std::vector<double>;

TEST(Hierarchy, TypesTracksAndPooledPerformancesOfThreeLevels) {
    SixOtus b(3, true);
    // Types in the order of their first members, each named by that member's row.
    EXPECT_EQ((Ints{b.types[0], b.types[1], b.types[2]}), (Ints{5, 3, 2}));
    EXPECT_EQ(Get(b.track.m, 3, 6), (Ints{1, 2, 1, 4, 5, 6, 1, 1, 1, 4, 5, 4, 1, 1, 1, 4, 1, 4}));
    EXPECT_EQ(GetRows(b.levelCodes[1], 3), (Strings{"0102", "0202", "0103"}));
    EXPECT_EQ(GetRows(b.levelCodes[2], 2), (Strings{"01", "02"}));
    EXPECT_EQ(Get(b.levelData[0], 3, 5), (Floats{5, 0, 0, 0, 7, 0, 3, 0, 6, 0, 2, 0, 5, 0, 0}));
    EXPECT_EQ(Get(b.levelData[1], 3, 3), (Floats{5, 7, 0, 3, 0, 6, 2, 5, 0}));
    EXPECT_EQ(Get(b.levelData[2], 5, 2), (Floats{5, 7, 9, 0, 2, 5, 0, 0, 0, 0}));
    // The pooled rows stay in W: row 1 holds OTUs 1, 2, 3 and 5, row 4 OTUs 4 and 6.
    EXPECT_EQ(Get(b.W.m, 6, 3), (Floats{5, 9, 2, 0, 3, 0, 4, 0, 0, 7, 0, 5, 0, 6, 0, 7, 0, 0}));
}

TEST(Hierarchy, OneLevelPoolsWholeStringsAndWorksWithoutData) {
    SixOtus one(1, true), codesOnly(2, false);
    EXPECT_EQ(GetRows(one.levelCodes[0], one.types[0]), (Strings{"010203", "010204", "020203", "010304", "020201"}));
    EXPECT_EQ(Get(one.levelData[0], 1, 5), (Floats{5, 0, 0, 0, 7}));
    EXPECT_EQ(codesOnly.levelData, nullptr);
    EXPECT_EQ((Floats{static_cast<float>(codesOnly.types[1]), codesOnly.W.m[0][0]}), (Floats{3, 1}));
}

TEST(Indeterminacy, BinaryJaccardDistanceAndZeroForTwoEmptyCommunities) {
    SixOtus b(3, true);
    double*** out = dim3Double(3, 5, 5);
    Indeterminacy(3, 5, b.types, b.levelData, out);
    // r/hier_indeterminacy.R, cells (0,1) (0,2) (1,2) (0,3) (3,4); vegan gives NaN for (3,4).
    const double kR[3][5] = {{1, 2 / 3.0, 1, 1, 0}, {2 / 3.0, 0, 2 / 3.0, 1, 0}, {0.5, 0, 0.5, 1, 0}};
    for (int l = 0; l < 3; l++) {
        const Doubles got{out[l][0][1], out[l][0][2], out[l][1][2], out[l][0][3], out[l][3][4]};
        for (int k = 0; k < 5; k++) EXPECT_NEAR(got[k], kR[l][k], 1e-15) << l << k;
    }
    free3D(out, 3, 5);
}

TEST(Reorder, VectorsAndCodeCharactersFollowTheOrder) {
    int order[3] = {3, 1, 2}, states[3] = {4, 5, 6}, types[3] = {1, 2, 3};
    float ranges[3] = {0, 0, 9}, weights[3] = {1, 0, 1};
    char c0[] = "010203", c1[] = "112233";
    char* codes[2] = {c0, c1};
    Reorder(3, 2, order, states, codes, types, ranges, weights);
    EXPECT_EQ((Ints{states[0], states[1], states[2], types[0], types[1], types[2]}), (Ints{6, 4, 5, 3, 1, 2}));
    EXPECT_EQ((Floats{ranges[0], weights[1], weights[2]}), (Floats{9, 1, 0}));
    EXPECT_EQ(GetRows(codes, 2), (Strings{"030102", "331122"}));
}

TEST(FuzzinessDegree, PowersAndTheCrispLimit) {
    // s^(1/f) of 0.25, 0.5, 1, 0 (f 0.5, 2); with f <= 0, 1 for s >= 1 and 0 otherwise.
    const std::vector<std::pair<float, Floats>> cases = {
        {0.5f, {0.0625f, 0.25f, 1, 0}}, {2.0f, {0.5f, std::pow(0.5f, 0.5f), 1, 0}}, {0.0f, {0, 0, 1, 0}}, {-1.0f, {0, 0, 1, 0}}};
    for (const auto& c : cases) {
        Mat<float> S(2, 2, {0.25f, 0.5f, 1, 0});
        FuzzinessDegree_i(2, S, c.first);
        EXPECT_EQ(Get(S.m, 2, 2), c.second) << c.first;
    }
    // The double form; the level form only below 1, on each level's n x n; the rectangular form.
    Mat<double> S(1, 2, {0.25, 0.5});
    int n[1] = {1};
    double** levels[1] = {S.m};
    FuzzinessDegree(1, n, levels, 1.0f);
    EXPECT_EQ(S.m[0][0], 0.25);
    FuzzinessDegree(1, n, levels, 0.5f);
    FuzzinessDegreeAnyMatrix(1, 2, S, 2.0f);
    EXPECT_EQ((Doubles{S.m[0][0], S.m[0][1]}), (Doubles{0.25, std::pow(0.5f, 0.5f)}));
}

TEST(FuzzyAdjustment, RowsKeepTheirTotalsAndAZeroWeightedRowStays) {
    // S = [[1 .5] [.5 1]]: (2, 0) weighs (2, 1), scaled to the total 2. With S the identity,
    // (1, -1) weighs 0 in all and is left as it is.
    Mat<double> S(2, 2, {1, .5, .5, 1}), I(2, 2, {1, 0, 0, 1});
    Mat<float> data(2, 2, {2, 0, 1, -1});
    FuzzyAdj_i(1, 2, data, S);
    FuzzyAdj_i(1, 2, data.m + 1, I);
    EXPECT_EQ(Get(data.m, 2, 2), (Floats{4 / 3.0f, 2 / 3.0f, 1, -1}));
    // M = [[1 .5 0] [0 0 .5]]: (2, 0) weighs (2, 1, 0), scaled by 2/3; (1, -2) weighs (1, .5, -1),
    // in all .5 for a total of -1: scaled by -2; (2, -6) weighs (2, 1, -3), in all 0: unscaled.
    Mat<float> M(2, 3, {1, .5f, 0, 0, 0, .5f}), in(3, 2, {2, 0, 1, -2, 2, -6}), out(3, 3);
    FuzzyAdjAnyMatrix(3, 2, 3, in, out, M);
    EXPECT_EQ(Get(out.m, 3, 3), (Floats{4 / 3.0f, 2 / 3.0f, 0, -2, -1, 2, 2, 1, -3}));
}

TEST(PairwiseFuzzyAdj, OnlyTypesPresentInThePairTakePart) {
    // Types 0 and 1 take part (type 2, -1 in one row, is in neither): (2, 0) weighs (2, 1) ->
    // (4/3, 2/3); (0, 1) weighs (.5, 1) -> (1/3, 2/3). Type 2's .9 would change both.
    Mat<float> pair(2, 3, {2, 0, -1, 0, 1, 0}), pairF(2, 3, {2, 0, -1, 0, 1, 0});
    Mat<double> S(3, 3, {1, .5, .9, .5, 1, .9, .9, .9, 1});
    Mat<float> Sf(3, 3, {1, .5f, .9f, .5f, 1, .9f, .9f, .9f, 1});
    PairwiseFuzzyAdj(3, pair, S);
    PairwiseFuzzyAdj(3, pairF, Sf);
    EXPECT_EQ(Get(pair.m, 2, 3), (Floats{4 / 3.0f, 2 / 3.0f, 0, 1 / 3.0f, 2 / 3.0f, 0}));
    EXPECT_EQ(Get(pairF.m, 2, 3), Get(pair.m, 2, 3));
}

class HierGlobals : public ::testing::Test {
protected:
    void SetUp() override { nch = 3, chtype = types_; }
    void TearDown() override { nch = 0, chtype = nullptr; }
    int types_[3] = {2, 3, 3};
};

using FuzzySetsTest = HierGlobals;

TEST_F(FuzzySetsTest, GowerSimilarityOverTheTraitsOfEachLevel) {
    // Level 2: trait 1 nominal, trait 2 quantitative 2, 2, 3: S(0102, 0202) = (0 + 1)/2,
    // S(0102, 0103) = (1 + 0)/2, S(0202, 0103) = 0. Level 3: trait 1 alone, "01" and "02" differ.
    SixOtus b(3, true);
    float ranges[3] = {0, 0, 0}, weights[3] = {1, 1, 1};
    Mat<double> S1(5, 5), S2(3, 3), S3(2, 2);
    double** S[3] = {S1, S2, S3};
    FuzzySets(3, b.levelCodes, b.types, S, types_, ranges, weights);
    EXPECT_EQ(Get(S2.m, 3, 3), (Doubles{1, 0.5, 0.5, 0.5, 1, 0, 0.5, 0, 1}));
    EXPECT_EQ(Get(S3.m, 2, 2), (Doubles{1, 0, 0, 1}));
}

using PoolCSTsTest = HierGlobals;

TEST_F(PoolCSTsTest, ModalStateOfNominalTraitsAndRoundedMeanOfOthers) {
    // Groups {1, 2, 5} and {3, 4, 6}. Trait 1 (nominal): "01" x3 -> 1; "01", "02", "02" -> 2.
    // Trait 2: (2, 2, 3) mean 7/3 -> 2; (2, 2, 2). Trait 3: (3, 4, 4) -> 4; (3, 3, 1) -> 2.
    SixOtus six(1, false);
    int nStates[3] = {3, 3, 4}, groups[6] = {1, 1, 2, 2, 1, 2}, other[6] = {9, 9, 9, 1, 1, 9};
    Mat<int> pooled(2, 3), counts(2, 3);
    int*** states = dim3Dint(2, 3, 4);
    int*** freq = dim3Dint(2, 3, 4);
    PoolCSTs(1, pooled, six.codes, 6, nStates, 2, groups, counts, states, freq);
    EXPECT_EQ(Get(pooled.m, 2, 3), (Ints{1, 2, 4, 2, 2, 2}));
    EXPECT_EQ((Ints{counts.m[1][2], states[1][2][0], freq[1][2][0], states[1][2][1], freq[1][2][1]}),
              (Ints{2, 3, 2, 1, 1}));
    // OTUs 4 "020203" and 5 "010304": the nominal tie keeps the state met first, 2.5 rounds to 3
    // and 3.5 to 4; a group without OTUs pools 0. start 3: only the first trait.
    PoolCSTs(1, pooled, six.codes, 6, nStates, 2, other, counts, states, freq);
    EXPECT_EQ(Get(pooled.m, 2, 3), (Ints{2, 3, 4, 0, 0, 0}));
    PoolCSTs(3, pooled, six.codes, 6, nStates, 1, groups, counts, states, freq);
    EXPECT_EQ(Get(pooled.m, 1, 2), (Ints{1, 3}));
    free3D(states, 2, 3);
    free3D(freq, 2, 3);
}

// Four communities by six types; totals 10, 9, 8, 8.
struct Table {
    Mat<float> x{4, 6, {1, 0, 3, 2, 0, 4, 0, 2, 1, 0, 5, 1, 3, 1, 0, 0, 2, 2, 2, 2, 2, 1, 1, 0}};
    Mat<float> totals{4, 1, {10, 9, 8, 8}};
    Mat<double> rese{4, 4}, rese2{4, 4};
    // The upper-triangle cells in R's order: (1,2), (1,3), (2,3), (1,4), (2,4), (3,4).
    Doubles Cells(double** m) const { return {m[0][1], m[0][2], m[1][2], m[0][3], m[1][3], m[2][3]}; }
};

TEST(NominalRese, EveryOptionAgainstItsDefinitionInRAndForNeighbours) {
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
        // N = p, K = p^2: covariances, Pearson's r. With N = 35, K = 12 no diagonal cell is
        // positive: no variance, correlation 0.
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
        Table t, near;
        NominalRese(4, 6, t.x, t.rese, t.rese2, t.totals, c.N, c.K, 0, c.opt);
        const Doubles got = t.Cells(c.second ? t.rese2 : t.rese);
        for (int k = 0; k < 6; k++) EXPECT_NEAR(got[k], c.r[k], 2e-6 * std::fabs(c.r[k]) + 1e-12) << c.opt << " " << k;
        // Diagonals: the cross products of row 2 (31/35), 0 for 2 (1 - r); lower half untouched.
        if (c.opt == 3) {
            EXPECT_NEAR(t.rese.m[1][1], 31.0 / 35, 1e-7);
        }
        if (c.opt == 10) {
            EXPECT_EQ(t.rese2.m[2][2], 0.0);
        }
        EXPECT_EQ(t.rese.m[1][0], 0.0);
        // The relative options divide the caller's rows by their totals in place.
        EXPECT_FLOAT_EQ(t.x.m[0][5], (c.opt == 7 || c.opt == 9) ? 0.4f : 4.0f) << c.opt;
        // Neighbours one apart: (1,2), (2,3), (3,4) alone, with the diagonal of the cross
        // products; a lag of 0 computes nothing.
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
    // Zero totals, N and K divide by 1: option 7 is then the squared distance
    // 1 + 4 + 4 + 4 + 25 + 9; option 4 the cross product 3 + 4 less the totals' product 2 x 3.
    Table t;
    Mat<float> zero(4, 1);
    NominalRese(4, 6, t.x, t.rese, t.rese2, zero, 0, 0, 0, 7);
    EXPECT_NEAR(t.rese.m[0][1], 47, 1e-9);
    zero.m[0][0] = 2, zero.m[1][0] = 3;
    NominalRese(4, 6, t.x, t.rese, t.rese2, zero, 0, 0, 0, 4);
    EXPECT_NEAR(t.rese.m[0][1], 1, 1e-12);
    // Reused totals: rese2 is taken as given. No coefficient, or no rows: nothing written.
    t.rese2.m[0][1] = 1.5;
    NominalRese(4, 6, t.x, t.rese, t.rese2, t.totals, 35, 12, 1, 2);
    EXPECT_NEAR(t.rese.m[0][1], 8.41844373447 - 1.5, 2e-5);
    NominalRese(4, 6, t.x, t.rese, t.rese2, t.totals, 35, 12, 0, 11);
    NominalRese(0, 6, t.x, t.rese, t.rese2, t.totals, 35, 12, 0, 8);
    EXPECT_NEAR(t.rese.m[0][1], 8.41844373447 - 1.5, 2e-5) << "unchanged";
}

TEST(PairFuzzyRese, EachPairAdjustedOverItsOwnTypes) {
    // Communities (2, 0, 0), (0, 1, 0), (0, 0, 3); S = [[1 .5 0] [.5 1 .5] [0 .5 1]]. Absolute
    // values: pair 0-1 (types 0, 1) (4/3, 2/3, 0) and (1/3, 2/3, 0): 1; pair 0-2 (types 0, 2,
    // not similar) unchanged: 5; pair 1-2 (types 1, 2) (0, 2/3, 1/3) and (0, 1, 2): 2.
    Mat<double> S(3, 3, {1, .5, 0, .5, 1, .5, 0, .5, 1}), r(3, 3), r2(3, 3);
    Mat<float> data(3, 3, {2, 0, 0, 0, 1, 0, 0, 0, 3}), totals(3, 1, {2, 1, 3});
    const auto expect = [&](Doubles e) {
        const Doubles got{r.m[0][1], r.m[0][2], r.m[1][2]};
        for (int k = 0; k < 3; k++) EXPECT_NEAR(got[k], e[k], 1e-6) << k;
    };
    rese_opt = 8;
    PairFuzzyRese(3, 3, data, r, r2, totals, 6, 27, S, 0);
    expect({1, 5, 2});
    EXPECT_EQ(data.m[0][0], 2.0f) << "the caller's rows are not adjusted";
    r.m[0][1] = r.m[0][2] = r.m[1][2] = 42;
    PairFuzzyReseNeighbours(3, 3, data, r, r2, totals, 6, 27, S, 0, 1);
    expect({1, 42, 2});
    rese_opt = 0;
}

TEST(Rese, EachLevelWithItsGrandTotalAndTheFullProductOfStates) {
    SixOtus b(3, true);
    int states[3] = {2, 3, 4};
    nch = 3, isHierarchical = 1, fuzzy = 0, onsta = states;
    double*** r = dim3Double(3, 5, 5);
    double*** s = dim3Double(3, 5, 5);
    Mat<float> totals(5, 1);
    rese_opt = 4;
    Rese(5, b.levelCodes, b.types, nullptr, b.levelData, totals, r, s);
    // Level-1 totals 12, 9, 7, 0, 0; every level's grand total 28; K = 2 x 3 x 4. Level 3:
    // c0 . c1 = 45; level 1: c0 . c2 = 5 x 2.
    EXPECT_EQ(Get(totals.m, 4, 1), (Floats{12, 9, 7, 0}));
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
    free3D(r, 3, 5);
    free3D(s, 3, 5);
}

// The road of the randomisation test: the hierarchy of a copy of W, then the resemblances of
// every level at once. In the six OTUs, OTU 3 is missing in c1 (pooled into OTU 1's type), OTU 1
// in c2 (its type then has no member present there at level 1) and OTU 4 in c3 (alone at level
// 1, pooled with OTU 6 at level 2). A missing performance adds nothing to its type: the levels
// and every resemblance, crisp, fuzzy and pairwise fuzzy, equal those of the same W with the
// three cells at 0; none is not a number and no distance is below 0.
TEST(Rese, AMissingPerformanceAddsNothingToItsType) {
    int states[3] = {2, 3, 4}, types[3] = {2, 3, 3};
    float ranges[3] = {0, 2, 3}, weights[3] = {1, 1, 1};
    nch = 3, isHierarchical = 1, onsta = states, chtype = types, chrange = ranges, weight = weights;
    fuzziness = 0.5f;
    struct Levels {
        Mat<float> W{6, 5, {1, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 0}};
        Mat<char> codes{6, 7};
        Mat<int> track{3, 6};
        int types[3] = {6, 0, 0};
        char*** levelCodes = nullptr;
        float*** levelData = nullptr;
        double*** r = dim3Double(3, 5, 5);
        double*** r2 = dim3Double(3, 5, 5);
        Mat<float> totals{5, 1};
        Mat<double> S1{5, 5}, S2{3, 3}, S3{2, 2};
        double** S[3] = {S1, S2, S3};
        explicit Levels(float value) {
            const char* c[6] = {"010203", "010204", "010203", "020203", "010304", "020201"};
            for (int o = 0; o < 6; o++) std::snprintf(codes.m[o], 7, "%s", c[o]);
            W.m[2][0] = W.m[0][1] = W.m[3][2] = value;
            Hierarchy(3, 3, 5, codes, &levelCodes, types, W, &levelData, track);
            Rese(5, levelCodes, types, S, levelData, totals, r, r2);
        }
        ~Levels() {
            FreeHierarchy(3, 5, types, levelCodes, levelData);
            free3D(r, 3, 5);
            free3D(r2, 3, 5);
        }
    };
    for (int fz = 0; fz <= 2; fz++)
        for (int opt = 1; opt <= 10; opt++) {
            fuzzy = fz, rese_opt = opt;
            const Levels missing(-999.0f), zero(0.0f);
            const int sizes[3] = {5, 3, 2};
            for (int l = 0; l < 3; l++) {
                EXPECT_EQ(Get(missing.levelData[l], 5, sizes[l]), Get(zero.levelData[l], 5, sizes[l])) << opt << fz;
                EXPECT_EQ(Get(missing.r[l], 5, 5), Get(zero.r[l], 5, 5)) << opt << " fuzzy " << fz << " level " << l;
                EXPECT_EQ(Get(missing.r2[l], 5, 5), Get(zero.r2[l], 5, 5)) << opt << " fuzzy " << fz << " level " << l;
                double** tested = opt == 5 || opt == 10 ? missing.r2[l] : missing.r[l];
                for (int i = 0; i < 5; i++)
                    for (int j = i; j < 5; j++) {
                        EXPECT_FALSE(std::isnan(tested[i][j])) << opt << fz << l;
                        // Options 2 to 5 are centred or differences of divergences, not distances.
                        if (opt == 1 || opt >= 6) {
                            EXPECT_GE(tested[i][j], 0.0) << opt << fz << l;
                        }
                    }
            }
            // Level 1 by hand (crisp, absolute values): c1 holds OTUs 1 (1) and 6 (7), c2 OTUs 2 (3)
            // and 5 (6), each type of its own.
            if (fz == 0 && opt == 8) {
                EXPECT_EQ(missing.r[0][0][1], 1.0 + 7.0 + 3.0 + 6.0);
            }
        }
    nch = 0, isHierarchical = 0, rese_opt = 0, fuzzy = 0, fuzziness = 0.0f;
    onsta = nullptr, chtype = nullptr, chrange = nullptr, weight = nullptr;
}

}  // namespace
