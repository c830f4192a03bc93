// The trait hierarchy and its fuzzy sets on small tables worked by hand; the indeterminacy also
// against vegan (r/hier_indeterminacy.R).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "session/model/TNXGLOB.h"
#include "traits/HierSession.h"
#include "traits/TNXHIER.h"

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
    // Communities by types.
    EXPECT_EQ(Get(b.levelData[0], 3, 5), (Floats{5, 0, 0, 0, 7, 0, 3, 0, 6, 0, 2, 0, 5, 0, 0}));
    EXPECT_EQ(Get(b.levelData[1], 3, 3), (Floats{5, 7, 0, 3, 0, 6, 2, 5, 0}));
    EXPECT_EQ(Get(b.levelData[2], 5, 2), (Floats{5, 7, 9, 0, 2, 5, 0, 0, 0, 0}));
    // The pooled rows stay in W: row 1 holds OTUs 1, 2, 3 and 5, row 4 OTUs 4 and 6.
    EXPECT_EQ(Get(b.W.m, 6, 3), (Floats{5, 9, 2, 0, 3, 0, 4, 0, 0, 7, 0, 5, 0, 6, 0, 7, 0, 0}));
}

TEST(Hierarchy, OneLevelPoolsWholeStringsAndWorksWithoutData) {
    SixOtus one(1, true);
    EXPECT_EQ(one.types[0], 5);
    EXPECT_EQ(GetRows(one.levelCodes[0], 5), (Strings{"010203", "010204", "020203", "010304", "020201"}));
    EXPECT_EQ(Get(one.levelData[0], 1, 5), (Floats{5, 0, 0, 0, 7}));
    SixOtus codesOnly(2, false);
    EXPECT_EQ(codesOnly.levelData, nullptr);
    EXPECT_EQ((Ints{codesOnly.types[0], codesOnly.types[1]}), (Ints{5, 3}));
    EXPECT_EQ(codesOnly.W.m[0][0], 1.0f) << "without data nothing is pooled";
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
    Mat<char> codes(2, 7);
    std::snprintf(codes.m[0], 7, "010203");
    std::snprintf(codes.m[1], 7, "112233");
    Reorder(3, 2, order, states, codes, types, ranges, weights);
    EXPECT_EQ((Ints{states[0], states[1], states[2], types[0], types[1], types[2]}), (Ints{6, 4, 5, 3, 1, 2}));
    EXPECT_EQ((Floats{ranges[0], weights[1], weights[2]}), (Floats{9, 1, 0}));
    EXPECT_EQ(GetRows(codes, 2), (Strings{"030102", "331122"}));
}

TEST(FuzzinessDegree, PowersAndTheCrispLimit) {
    // s^(1/f) of 0.25, 0.5, 1, 0; with f <= 0, 1 for s >= 1 and 0 otherwise.
    const struct {
        float f;
        Floats sharpened;
    } cases[] = {{0.5f, {0.0625f, 0.25f, 1, 0}}, {2.0f, {0.5f, std::sqrt(0.5f), 1, 0}}, {0.0f, {0, 0, 1, 0}},
                 {-1.0f, {0, 0, 1, 0}}};
    for (const auto& c : cases) {
        Mat<double> S(2, 2, {0.25, 0.5, 1, 0});
        FuzzinessDegree_i(2, S, c.f);
        for (int k = 0; k < 4; k++) EXPECT_FLOAT_EQ(static_cast<float>(S.m[k / 2][k % 2]), c.sharpened[k]) << c.f;
    }
    Mat<float> Sf(1, 1, {0.25f});
    FuzzinessDegree_i(1, Sf, 0.5f);
    EXPECT_FLOAT_EQ(Sf.m[0][0], 0.0625f);
    // The level form sharpens each level's n x n matrix only below 1; the rectangular form always.
    Mat<double> S(1, 2, {0.25, 0.5});
    int n[1] = {1};
    double** levels[1] = {S.m};
    FuzzinessDegree(1, n, levels, 1.0f);
    EXPECT_EQ(S.m[0][0], 0.25);
    FuzzinessDegree(1, n, levels, 0.5f);
    EXPECT_EQ((Doubles{S.m[0][0], S.m[0][1]}), (Doubles{0.0625, 0.5}));
    FuzzinessDegreeAnyMatrix(1, 2, S, 2.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(S.m[0][1]), std::sqrt(0.5f));
}

TEST(FuzzyAdjustment, RowsKeepTheirTotalsAndAZeroWeightedRowStays) {
    // S = [[1 .5] [.5 1]]: (2, 0) weighs (2, 1), scaled to the total 2. With S the identity,
    // (1, -1) weighs 0 in all and is left as it is.
    Mat<double> S(2, 2, {1, .5, .5, 1}), I(2, 2, {1, 0, 0, 1});
    Mat<float> data(2, 2, {2, 0, 1, -1});
    FuzzyAdj_i(1, 2, data, S);
    FuzzyAdj_i(1, 2, data.m + 1, I);
    EXPECT_EQ(Get(data.m, 2, 2), (Floats{4 / 3.0f, 2 / 3.0f, 1, -1}));
    // Rectangular, M = [[1 .5 0] [0 0 .5]]: (2, 0) weighs (2, 1, 0), scaled by 2/3; (1, -2)
    // weighs (1, .5, -1), in all .5 for a total of -1: scaled by -2; (2, -6) weighs (2, 1, -3),
    // in all 0: its weights stay unscaled.
    Mat<float> M(2, 3, {1, .5f, 0, 0, 0, .5f}), in(3, 2, {2, 0, 1, -2, 2, -6}), out(3, 3);
    FuzzyAdjAnyMatrix(3, 2, 3, in, out, M);
    EXPECT_EQ(Get(out.m, 3, 3), (Floats{4 / 3.0f, 2 / 3.0f, 0, -2, -1, 2, 2, 1, -3}));
}

TEST(PairwiseFuzzyAdj, OnlyTypesPresentInThePairTakePart) {
    // Types 0 and 1 take part (type 2 is in neither row, its -1 is no presence); its .9
    // similarities would change the result if it took part. Row 0 (2, 0) weighs (2, 1) -> (4/3,
    // 2/3); row 1 (0, 1) weighs (.5, 1) -> (1/3, 2/3).
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
    // Level 2 (two traits): trait 1 nominal, trait 2 quantitative 2, 2, 3 (range 1):
    // S(0102, 0202) = (0 + 1)/2, S(0102, 0103) = (1 + 0)/2, S(0202, 0103) = 0. Level 3 (trait 1
    // alone): "01" and "02" differ.
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
    // Groups {1, 2, 5} and {3, 4, 6} of the six OTUs. Trait 1 (nominal): "01" x3 -> 1; "01",
    // "02", "02" -> 2. Trait 2: (2, 2, 3) mean 7/3 -> 2; (2, 2, 2) -> 2. Trait 3: (3, 4, 4) mean
    // 11/3 -> 4; (3, 3, 1) mean 7/3 -> 2.
    SixOtus six(1, false);
    int nStates[3] = {3, 3, 4}, groups[6] = {1, 1, 2, 2, 1, 2};
    Mat<int> pooled(2, 3), counts(2, 3);
    int*** states = dim3Dint(2, 3, 4);
    int*** freq = dim3Dint(2, 3, 4);
    PoolCSTs(1, pooled, six.codes, 6, nStates, 2, groups, counts, states, freq);
    EXPECT_EQ(Get(pooled.m, 2, 3), (Ints{1, 2, 4, 2, 2, 2}));
    EXPECT_EQ(Get(counts.m, 2, 3), (Ints{1, 2, 2, 2, 1, 2}));
    EXPECT_EQ((Ints{states[1][2][0], freq[1][2][0], states[1][2][1], freq[1][2][1]}), (Ints{3, 2, 1, 1}));
    // Group 1 = OTUs 4 ("020203") and 5 ("010304"): the nominal tie keeps the first state met
    // (2); (2 + 3)/2 = 2.5 rounds to 3 and (3 + 4)/2 to 4. Group 2 has no OTU: 0.
    int other[6] = {9, 9, 9, 1, 1, 9};
    PoolCSTs(1, pooled, six.codes, 6, nStates, 2, other, counts, states, freq);
    EXPECT_EQ(Get(pooled.m, 2, 3), (Ints{2, 3, 4, 0, 0, 0}));
    // start 3: only the first nch - 2 traits.
    pooled.m[0][1] = -5;
    PoolCSTs(3, pooled, six.codes, 6, nStates, 1, groups, counts, states, freq);
    EXPECT_EQ((Ints{pooled.m[0][0], pooled.m[0][1]}), (Ints{1, -5}));
    free3D(states, 2, 3);
    free3D(freq, 2, 3);
}

}  // namespace
