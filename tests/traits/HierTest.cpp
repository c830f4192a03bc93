// The trait hierarchy and its fuzzy sets on small tables worked by hand; the indeterminacy also
// against vegan (r/hier_indeterminacy.R).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "traits/TNXHIER.h"

namespace {

using tnxtest::Floats;
using tnxtest::Get;
using tnxtest::GetRows;
using tnxtest::Ints;
using tnxtest::Strings;

// Six OTUs by three traits; OTU 3 repeats OTU 1. Level 1 pools identical strings, level 2 the
// first two traits ("0102" x3, "0202" x2, "0103"), level 3 the first trait ("01" x4, "02" x2).
const char* const kCodes[6] = {"010203", "010204", "010203", "020203", "010304", "020201"};
// W as cadat (OTUs x 5 communities); communities 4 and 5 are empty.
const float kW[6][5] = {{1, 0, 2, 0, 0}, {0, 3, 0, 0, 0}, {4, 0, 0, 0, 0},
                        {0, 0, 5, 0, 0}, {0, 6, 0, 0, 0}, {7, 0, 0, 0, 0}};

struct Built {
    char** codes = dim2Dchar(6, 7);
    float** W = dim2Dfloat(6, 5);
    int** track = dim2Dint(3, 6);
    int types[3] = {6, 0, 0};
    char*** levelCodes = nullptr;
    float*** levelData = nullptr;
    int levels;
    Built(int nLevels, bool withData) : levels(nLevels) {
        for (int o = 0; o < 6; o++) {
            std::snprintf(codes[o], 7, "%s", kCodes[o]);
            for (int c = 0; c < 5; c++) W[o][c] = kW[o][c];
        }
        Hierarchy(levels, 3, 5, codes, &levelCodes, types, withData ? W : nullptr, &levelData, track);
    }
    ~Built() {
        FreeHierarchy(levels, 5, types, levelCodes, levelData);
        free2D(codes, 6);
        free2D(W, 6);
        free2D(track, 3);
    }
};

TEST(Hierarchy, TypesTracksAndPooledPerformancesOfThreeLevels) {
    Built b(3, true);
    // Hand values: types in the order of their first members, each named by that member's row.
    EXPECT_EQ((Ints{b.types[0], b.types[1], b.types[2]}), (Ints{5, 3, 2}));
    EXPECT_EQ((Ints(b.track[0], b.track[0] + 6)), (Ints{1, 2, 1, 4, 5, 6}));
    EXPECT_EQ((Ints(b.track[1], b.track[1] + 6)), (Ints{1, 1, 1, 4, 5, 4}));
    EXPECT_EQ((Ints(b.track[2], b.track[2] + 6)), (Ints{1, 1, 1, 4, 1, 4}));
    EXPECT_EQ(GetRows(b.levelCodes[0], 5), (Strings{"010203", "010204", "020203", "010304", "020201"}));
    EXPECT_EQ(GetRows(b.levelCodes[1], 3), (Strings{"0102", "0202", "0103"}));
    EXPECT_EQ(GetRows(b.levelCodes[2], 2), (Strings{"01", "02"}));
    // Communities by types: level 1 {1,3} {2} {4} {5} {6}; level 2 {1,2,3} {4,6} {5};
    // level 3 {1,2,3,5} {4,6}.
    EXPECT_EQ(Get(b.levelData[0], 5, 5),
              (Floats{5, 0, 0, 0, 7, 0, 3, 0, 6, 0, 2, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Get(b.levelData[1], 3, 3), (Floats{5, 7, 0, 3, 0, 6, 2, 5, 0}));
    EXPECT_EQ(Get(b.levelData[2], 3, 2), (Floats{5, 7, 9, 0, 2, 5}));
    // The pooled rows stay in W: row 1 holds OTUs 1, 2, 3 and 5, row 4 OTUs 4 and 6.
    EXPECT_EQ((Floats(b.W[0], b.W[0] + 3)), (Floats{5, 9, 2}));
    EXPECT_EQ((Floats(b.W[3], b.W[3] + 3)), (Floats{7, 0, 5}));
}

TEST(Hierarchy, OneLevelPoolsWholeStringsAndWorksWithoutData) {
    // The one-level contract: distinct whole strings in order of first occurrence, summed W.
    Built one(1, true);
    EXPECT_EQ(one.types[0], 5);
    EXPECT_EQ(GetRows(one.levelCodes[0], 5), (Strings{"010203", "010204", "020203", "010304", "020201"}));
    EXPECT_EQ((Floats(one.levelData[0][0], one.levelData[0][0] + 5)), (Floats{5, 0, 0, 0, 7}));
    EXPECT_EQ((Ints(one.track[0], one.track[0] + 6)), (Ints{1, 2, 1, 4, 5, 6}));
    Built codesOnly(2, false);
    EXPECT_EQ(codesOnly.levelData, nullptr);
    EXPECT_EQ((Ints{codesOnly.types[0], codesOnly.types[1]}), (Ints{5, 3}));
    EXPECT_EQ(codesOnly.W[0][0], 1.0f) << "without data nothing is pooled";
}

TEST(Indeterminacy, BinaryJaccardDistanceAndZeroForTwoEmptyCommunities) {
    Built b(3, true);
    double*** out = dim3Double(3, 5, 5);
    Indeterminacy(3, 5, b.types, b.levelData, out);
    // r/hier_indeterminacy.R: vegdist(X > 0, "jaccard", binary = TRUE) per level; it gives NaN
    // for the two empty communities, where the hierarchy gives 0.
    const double kR[3][4][5] = {
        {{0, 1, 2 / 3.0, 1, 1}, {0, 0, 1, 1, 1}, {0, 0, 0, 1, 1}, {0, 0, 0, 0, 0}},
        {{0, 2 / 3.0, 0, 1, 1}, {0, 0, 2 / 3.0, 1, 1}, {0, 0, 0, 1, 1}, {0, 0, 0, 0, 0}},
        {{0, 0.5, 0, 1, 1}, {0, 0, 0.5, 1, 1}, {0, 0, 0, 1, 1}, {0, 0, 0, 0, 0}}};
    for (int l = 0; l < 3; l++)
        for (int i = 0; i < 4; i++)
            for (int j = i + 1; j < 5; j++) EXPECT_NEAR(out[l][i][j], kR[l][i][j], 1e-12) << l << i << j;
    free3D(out, 3, 5);
}

TEST(Reorder, VectorsAndCodeCharactersFollowTheOrder) {
    int order[3] = {3, 1, 2}, states[3] = {4, 5, 6}, types[3] = {1, 2, 3};
    float ranges[3] = {0, 0, 9}, weights[3] = {1, 0, 1};
    char** codes = dim2Dchar(2, 7);
    std::snprintf(codes[0], 7, "010203");
    std::snprintf(codes[1], 7, "112233");
    Reorder(3, 2, order, states, codes, types, ranges, weights);
    EXPECT_EQ((Ints{states[0], states[1], states[2], types[0], types[1], types[2]}), (Ints{6, 4, 5, 3, 1, 2}));
    EXPECT_EQ((Floats{ranges[0], weights[1], weights[2]}), (Floats{9, 1, 0}));
    EXPECT_EQ(GetRows(codes, 2), (Strings{"030102", "331122"}));
    free2D(codes, 2);
}

class HierGlobals : public ::testing::Test {
protected:
    void TearDown() override {
        nch = ncsm = tcst = 0;
        part = 0;
        isHierarchical = 0;
        cadat = nullptr;
        ncst = nullptr;
        chtype = nullptr;
    }
};

using DataPartitionTest = HierGlobals;

TEST_F(DataPartitionTest, TotalsAndTheThreePartitionTypes) {
    // One community of OTUs (2, 0, 4): total 6 over 2 OTUs present, mean 3.
    const struct {
        int part;
        Floats column;
        float total;
    } cases[] = {{1, {2, 0, 4}, 6}, {2, {-1, 0, 1}, 0}, {3, {3, 0, 3}, 6}};
    for (const auto& c : cases) {
        float** W = dim2Dfloat(3, 1);
        W[0][0] = 2, W[2][0] = 4;
        int counts[1] = {2};
        float** totals = dim2Dfloat(1, 1);
        cadat = W, ncst = counts, ncsm = 1, part = c.part;
        DataPartition(3, totals);
        EXPECT_EQ(Get(W, 3, 1), c.column) << c.part;
        EXPECT_EQ(totals[0][0], c.total) << c.part;
        free2D(totals, 1);
        free2D(W, 3);
    }
}

TEST(FuzzinessDegree, PowersAndTheCrispLimit) {
    const struct {
        float f;
        Floats sharpened;  // of the similarities 0.25, 0.5, 1, 0
    } cases[] = {{0.5f, {0.0625f, 0.25f, 1, 0}}, {2.0f, {0.5f, std::sqrt(0.5f), 1, 0}}, {0.0f, {0, 0, 1, 0}},
                 {-1.0f, {0, 0, 1, 0}}};
    for (const auto& c : cases) {
        double** S = dim2Double(2, 2);
        float** Sf = dim2Dfloat(2, 2);
        const double v[4] = {0.25, 0.5, 1, 0};
        for (int k = 0; k < 4; k++) S[k / 2][k % 2] = v[k], Sf[k / 2][k % 2] = static_cast<float>(v[k]);
        FuzzinessDegree_i(2, S, c.f);
        FuzzinessDegree_i(2, Sf, c.f);
        for (int k = 0; k < 4; k++) {
            EXPECT_FLOAT_EQ(static_cast<float>(S[k / 2][k % 2]), c.sharpened[k]) << c.f;
            EXPECT_FLOAT_EQ(Sf[k / 2][k % 2], c.sharpened[k]) << c.f;
        }
        free2D(S, 2);
        free2D(Sf, 2);
    }
    // The level form sharpens only below 1; the rectangular form always.
    double** S = dim2Double(1, 2);
    S[0][0] = 0.25, S[0][1] = 0.5;
    int n[1] = {1};
    double*** levels = &S;
    FuzzinessDegree(1, n, levels, 1.0f);
    EXPECT_EQ(S[0][0], 0.25);
    FuzzinessDegree(1, n, levels, 0.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(S[0][0]), 0.0625f);
    EXPECT_EQ(S[0][1], 0.5) << "outside the 1 x 1 level";
    FuzzinessDegreeAnyMatrix(1, 2, S, 2.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(S[0][0]), 0.25f);
    EXPECT_FLOAT_EQ(static_cast<float>(S[0][1]), std::sqrt(0.5f));
    free2D(S, 1);
}

TEST(FuzzyAdjustment, RowsKeepTheirTotalsAndAZeroWeightedRowStays) {
    // S = [[1, .5], [.5, 1]]: row (2, 0) weighs (2, 1) and becomes (2, 1) 2/3. Row (1, -1) with
    // the identity weighs 0 in total and is left as it is.
    double** S = dim2Double(2, 2);
    S[0][0] = S[1][1] = 1, S[0][1] = S[1][0] = 0.5;
    float** data = dim2Dfloat(2, 2);
    data[0][0] = 2;
    FuzzyAdj_i(1, 2, data, S);
    EXPECT_FLOAT_EQ(data[0][0], 4 / 3.0f);
    EXPECT_FLOAT_EQ(data[0][1], 2 / 3.0f);
    S[0][1] = S[1][0] = 0;
    data[1][0] = 1, data[1][1] = -1;
    FuzzyAdj_i(1, 2, data + 1, S);
    EXPECT_EQ((Floats{data[1][0], data[1][1]}), (Floats{1, -1}));

    // Rectangular, M = [[1, .5, 0], [0, 0, .5]]: (2, 0) weighs (2, 1, 0) and is scaled by 2/3;
    // (1, -2) weighs (1, .5, -1), in all .5 for a total of -1: scaled by -2; (2, -6) weighs
    // (2, 1, -3), in all 0: its weights stay unscaled.
    float** M = dim2Dfloat(2, 3);
    M[0][0] = 1, M[0][1] = 0.5f, M[1][2] = 0.5f;
    float** in = dim2Dfloat(2, 2);
    float** out = dim2Dfloat(2, 3);
    in[0][0] = 2, in[1][0] = 1, in[1][1] = -2;
    FuzzyAdjAnyMatrix(2, 2, 3, in, out, M);
    EXPECT_EQ(Get(out, 2, 3), (Floats{4 / 3.0f, 2 / 3.0f, 0, -2, -1, 2}));
    in[1][0] = 2, in[1][1] = -6;
    FuzzyAdjAnyMatrix(2, 2, 3, in, out, M);
    EXPECT_EQ((Floats{out[1][0], out[1][1], out[1][2]}), (Floats{2, 1, -3}));
    free2D(in, 2);
    free2D(out, 2);
    free2D(M, 2);
    free2D(data, 2);
    free2D(S, 2);
}

TEST(PairwiseFuzzyAdj, OnlyTypesPresentInThePairTakePart) {
    // Types 0 and 1 take part (type 2 is in neither row, its -1 is no presence); the .9
    // similarities of type 2 would change the result if it took part.
    // Row 0 (2, 0): weighs (2, 1), total 2 -> (4/3, 2/3); row 1 (0, 1): weighs (.5, 1) -> (1/3, 2/3).
    for (bool single : {false, true}) {
        float** pair = dim2Dfloat(2, 3);
        pair[0][0] = 2, pair[0][2] = -1, pair[1][1] = 1;
        const double s[3][3] = {{1, .5, .9}, {.5, 1, .9}, {.9, .9, 1}};
        double** S = dim2Double(3, 3);
        float** Sf = dim2Dfloat(3, 3);
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) S[i][j] = s[i][j], Sf[i][j] = static_cast<float>(s[i][j]);
        if (single)
            PairwiseFuzzyAdj(3, pair, Sf);
        else
            PairwiseFuzzyAdj(3, pair, S);
        const Floats expected{4 / 3.0f, 2 / 3.0f, 0, 1 / 3.0f, 2 / 3.0f, 0};
        const Floats got = Get(pair, 2, 3);
        for (int k = 0; k < 6; k++) EXPECT_FLOAT_EQ(got[k], expected[k]) << k;
        free2D(pair, 2);
        free2D(S, 3);
        free2D(Sf, 3);
    }
}

using FuzzySetsTest = HierGlobals;

TEST_F(FuzzySetsTest, GowerSimilarityOverTheTraitsOfEachLevel) {
    // Level 2 of kCodes (two traits): trait 1 nominal, trait 2 quantitative with values 2, 2, 3
    // (range 1): S(0102, 0202) = (0 + 1)/2, S(0102, 0103) = (1 + 0)/2, S(0202, 0103) = 0.
    // Level 3 (trait 1 alone): "01" and "02" differ: 0.
    Built b(3, true);
    int types[3] = {2, 3, 3};
    float ranges[3] = {0, 0, 0}, weights[3] = {1, 1, 1};
    nch = 3;
    chtype = types;
    double*** S = reinterpret_cast<double***>(dim1Dptr(3));
    for (int l = 0; l < 3; l++) S[l] = dim2Double(b.types[l], b.types[l]);
    FuzzySets(3, b.levelCodes, b.types, S, types, ranges, weights);
    EXPECT_EQ(Get(S[1], 3, 3), (std::vector<double>{1, 0.5, 0.5, 0.5, 1, 0, 0.5, 0, 1}));
    EXPECT_EQ(Get(S[2], 2, 2), (std::vector<double>{1, 0, 0, 1}));
    for (int l = 0; l < 3; l++) free2D(S[l], b.types[l]);
    free1D(S);
}

using PoolCSTsTest = HierGlobals;

TEST_F(PoolCSTsTest, ModalStateOfNominalTraitsAndRoundedMeanOfOthers) {
    // Groups of kCodes: {1, 2, 5} and {3, 4, 6}, plus group 3 = OTUs 4 and 6 of another grouping
    // below. Trait 1 nominal: group 1 "01" x3 -> 1; group 2 "01", "02", "02" -> 2.
    // Trait 2: group 1 (2, 2, 3) mean 7/3 -> 2; group 2 (2, 2, 2) -> 2.
    // Trait 3: group 1 (3, 4, 4) mean 11/3 -> 4; group 2 (3, 3, 1) mean 7/3 -> 2.
    int chtypes[3] = {2, 3, 3};
    chtype = chtypes;
    nch = 3;
    char** codes = dim2Dchar(6, 7);
    for (int o = 0; o < 6; o++) std::snprintf(codes[o], 7, "%s", kCodes[o]);
    int nStates[3] = {3, 3, 4};
    int groups[6] = {1, 1, 2, 2, 1, 2};
    int** pooled = dim2Dint(3, 3);
    int** counts = dim2Dint(3, 3);
    int*** states = dim3Dint(3, 3, 4);
    int*** freq = dim3Dint(3, 3, 4);
    PoolCSTs(1, pooled, codes, 6, nStates, 2, groups, counts, states, freq);
    EXPECT_EQ(Get(pooled, 2, 3), (Ints{1, 2, 4, 2, 2, 2}));
    EXPECT_EQ(Get(counts, 2, 3), (Ints{1, 2, 2, 2, 1, 2}));
    EXPECT_EQ((Ints{states[1][2][0], freq[1][2][0], states[1][2][1], freq[1][2][1]}), (Ints{3, 2, 1, 1}));
    // A tie of nominal states keeps the first one met; a mean of 2.5 rounds up to 3; a group
    // without OTUs pools 0. Groups {OTU 4 "02..03", OTU 5 "01..04"}: trait 1 tie -> 2, trait 3
    // (3 + 4)/2 = 3.5 -> 4; trait 2 (2 + 3)/2 = 2.5 -> 3.
    int other[6] = {9, 9, 9, 1, 1, 9};
    PoolCSTs(1, pooled, codes, 6, nStates, 2, other, counts, states, freq);
    EXPECT_EQ(Get(pooled, 2, 3), (Ints{2, 3, 4, 0, 0, 0}));
    // start 3: only the first nch - 2 traits.
    pooled[0][1] = -5;
    PoolCSTs(3, pooled, codes, 6, nStates, 1, groups, counts, states, freq);
    EXPECT_EQ((Ints{pooled[0][0], pooled[0][1]}), (Ints{1, -5}));
    free3D(states, 3, 3);
    free3D(freq, 3, 3);
    free2D(counts, 3);
    free2D(pooled, 3);
    free2D(codes, 6);
}

}  // namespace
