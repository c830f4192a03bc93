// Averages of partial Gower similarities and the decoding of two-character trait codes.
// Expected values are worked by hand in the comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <type_traits>
#include <vector>

#include "foundation/qwlibDim.h"
#include "traits/TNXGOWER.h"

namespace {

constexpr double kMiss = -999.0;

template <class T>
T** Filled(T v) {
    T** s = reinterpret_cast<T**>(dim2D(sizeof(T), 3, 3));
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) s[i][j] = v;
    return s;
}

// Partial similarities of three OTUs, each term already multiplied by its trait's weight, for
// the pairs (0,1), (0,2), (1,2) on each trait; the selection (empty: the weighted form) and
// the weights (empty: each trait weighs 1); the averages worked by hand.
struct AverageCase {
    const char* name;
    int nTraits;
    std::vector<std::vector<double>> pairs;
    std::vector<float> weights;
    std::vector<int> selection;
    double s01, s02, s12;
};

// (0,1): trait 1 missing, traits 0 and 2 compared. (0,2): nothing compared. (1,2): all present.
const std::vector<std::vector<double>> kCube = {{0.5, kMiss, 0.5}, {kMiss, kMiss, kMiss}, {0.25, 0.75, 0.0}};

const AverageCase kCases[] = {
    // (0.5 + 0.5) / (1 + 0.5) = 2/3: the weighted sum over the compared weights;
    // (0.25 + 0.75 + 0) / 2.5 = 0.4.
    {"weights of the compared traits", 3, kCube, {1.0f, 1.0f, 0.5f}, {}, 2.0 / 3.0, kMiss, 0.4},
    // Trait 1 of weight 0 left out of sum and divisor: (0.25 + 0) / 1.5.
    {"weight 0 left out", 3, kCube, {1.0f, 0.0f, 0.5f}, {}, 2.0 / 3.0, kMiss, 0.25 / 1.5},
    // Only trait 1 weighted: (0,1) has it missing, so nothing is compared there.
    {"only a missing trait", 3, kCube, {0.0f, 1.0f, 0.0f}, {}, kMiss, kMiss, 0.75},
    // No trait: nothing compared anywhere.
    {"no trait", 0, kCube, {1.0f, 1.0f, 1.0f}, {}, kMiss, kMiss, kMiss},
    // One trait of weight 0.5: the layer holds 0.5 x 0.8 = 0.4; averaged over the weight, 0.8.
    {"one trait", 1, {{0.4}, {0.0}, {0.2}}, {0.5f}, {}, 0.8, 0.0, 0.4},
    // Selection {1, 0, 1} with those weights: (0.5 + 0.5)/1.5 and (0.25 + 0)/1.5.
    {"selection with weights", 3, kCube, {1.0f, 1.0f, 0.5f}, {1, 0, 1}, 2.0 / 3.0, kMiss, 0.25 / 1.5},
    // Only flags equal to 1 count: the 2 of trait 1 is not a selection. Traits 0, 2 with unit
    // weights: (0.5 + 0.5)/2, (0.25 + 0)/2.
    {"selection without weights", 3, kCube, {}, {1, 2, 1}, 0.5, kMiss, 0.125},
    // Two traits of weight 0.5 each and identical OTUs 0 and 1 (1 x 0.5 on both): (0.5 + 0.5) /
    // (0.5 + 0.5) = 1 (divided by the count 2 it would be 0.5).
    {"identical OTUs under fractional weights", 2, {{0.5, 0.5}, {0.0, 0.25}, {0.5, 0.0}}, {0.5f, 0.5f}, {1, 1}, 1.0, 0.25, 0.5},
};

template <class CubeT, class ResultT>
void CheckAverage(const AverageCase& c) {
    CubeT*** sp = reinterpret_cast<CubeT***>(dim3D(sizeof(CubeT), 3, 3, std::max(c.nTraits, 1)));
    for (int t = 0; t < c.nTraits; t++) {
        sp[0][1][t] = static_cast<CubeT>(c.pairs[0][t]);
        sp[0][2][t] = static_cast<CubeT>(c.pairs[1][t]);
        sp[1][2][t] = static_cast<CubeT>(c.pairs[2][t]);
    }
    ResultT** s = Filled<ResultT>(7);
    std::vector<int> sel = c.selection;
    std::vector<float> w = c.weights;
    if constexpr (std::is_same_v<CubeT, double> && std::is_same_v<ResultT, float>) {
        if (sel.empty()) gower_similarityAverage(c.nTraits, 3, sp, s, w.data());
    }
    if (!sel.empty()) gower_similarityAverage(c.nTraits, 3, sp, s, sel.data(), w.empty() ? nullptr : w.data());
    const double tol = sizeof(ResultT) == sizeof(float) ? 1e-6 : 1e-12;
    EXPECT_NEAR(s[0][1], c.s01, tol) << c.name;
    EXPECT_NEAR(s[0][2], c.s02, tol) << c.name;
    EXPECT_NEAR(s[1][2], c.s12, tol) << c.name;
    for (int i = 0; i < 3; i++) EXPECT_EQ(s[i][i], 1) << c.name;
    // The lower triangle is never written.
    EXPECT_EQ(s[1][0], 7);
    EXPECT_EQ(s[2][0], 7);
    free2D(s, 3);
    free3D(sp, 3, 3);
}

TEST(GowerAverage, EveryMemberAveragesOverTheComparedWeights) {
    for (const AverageCase& c : kCases) {
        CheckAverage<double, float>(c);
        if (c.selection.empty()) continue;
        CheckAverage<float, float>(c);
        CheckAverage<double, double>(c);
    }
    // No OTU: nothing written.
    double*** sp = dim3Double(3, 3, 3);
    float** s = Filled<float>(7.0f);
    float w[3] = {1.0f, 1.0f, 1.0f};
    gower_similarityAverage(3, 0, sp, s, w);
    EXPECT_EQ(s[0][0], 7.0f);
    free2D(s, 3);
    free3D(sp, 3, 3);
}

TEST(TraitCodes, EachTraitReadsOnlyItsOwnTwoCharacters) {
    // "0712": trait 0 is "07" = 7 and trait 1 is "12" (read on, atof would give 712).
    char code[] = "0712 3";
    EXPECT_EQ(TraitCodeValue(code, 0), 7.0f);
    EXPECT_EQ(TraitCodeValue(code, 1), 12.0f);
    EXPECT_EQ(TraitCodeValue(code, 2), 3.0f);  // " 3"
    char letters[] = "ab";
    EXPECT_EQ(TraitCodeValue(letters, 0), 0.0f);
}

TEST(TraitCodes, SpeciesCodesStayDistinct) {
    // Small integers 1 and 2: 1 * 1000 + 2. The pairs (1, 23) and (12, 3) would both print
    // as "123" one after the other; here they are 1023 and 12003.
    const char a[] = {1, 2, 0};
    const char b[] = {1, 23, 0};
    const char c[] = {12, 3, 0};
    EXPECT_EQ(SpeciesCodeValue(a, 0), 1002.0f);
    EXPECT_EQ(SpeciesCodeValue(b, 0), 1023.0f);
    EXPECT_EQ(SpeciesCodeValue(c, 0), 12003.0f);
}

TEST(TraitCodes, CopyDecodesByTheLabelOfEachTrait) {
    // Two OTUs, two traits; order {2, 1}: trait 0 is labelled labels[1] = "sp", trait 1
    // labels[0] = "h". OTU 0: species (1, 2), trait "07"; OTU 1: species (3, 4), trait "10".
    char otu0[] = {1, 2, '0', '7', 0};
    char otu1[] = {3, 4, '1', '0', 0};
    char* codes[2] = {otu0, otu1};
    char h[] = "h", sp[] = "sp";
    char* labels[2] = {h, sp};
    int order[2] = {2, 1};
    float** out = dim2Dfloat(2, 2);
    Copy_hcsm_traitData(2, 2, codes, out, order, labels);
    EXPECT_EQ(out[0][0], 1002.0f);
    EXPECT_EQ(out[0][1], 3004.0f);
    EXPECT_EQ(out[1][0], 7.0f);
    EXPECT_EQ(out[1][1], 10.0f);
    free2D(out, 2);
}

}  // namespace

namespace {

// Three OTUs on a quantitative trait (range 4), a nominal one (weight 0.5) and an ordinal one.
// Partial similarities by hand, each times its weight:
//   trait 0 (1, 3, 5; range 4): 1 - 2/4 = 0.5 (0,1), 1 - 4/4 = 0 (0,2), 0.5 (1,2);
//   trait 1 (1, 2, 1; weight 0.5): (0,2) agree: 0.5; the others 0;
//   trait 2 (1, 2, 2 ranked 1, 2.5, 2.5; range of the ranks 1.5): 0, 0, 1.
// Averages over the weight sum 2.5: (0,1) 0.5/2.5 = 0.2, (0,2) 0.5/2.5 = 0.2, (1,2) 1.5/2.5 = 0.6.
TEST(GowerPartial, LayersPerTraitAndTheirWeightedAverage) {
    float** B = dim2Dfloat(3, 3);
    const float values[3][3] = {{1, 1, 1}, {3, 2, 2}, {5, 1, 2}};
    for (int i = 0; i < 3; i++)
        for (int t = 0; t < 3; t++) B[i][t] = values[i][t];
    int types[3] = {3, 2, 4};
    float ranges[3] = {4, 0, 0};
    float weights[3] = {1.0f, 0.5f, 1.0f};
    double*** Sp = dim3Double(3, 3, 3);
    gower_similarityPartial(3, B, 3, Sp, types, ranges, weights, 0);
    const double expected[3][3] = {{0.5, 0.0, 0.0}, {0.0, 0.5, 0.0}, {0.5, 0.0, 1.0}};  // pairs 01, 02, 12
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (int k = 0; k < 3; k++)
        for (int t = 0; t < 3; t++)
            EXPECT_NEAR(Sp[pairs[k][0]][pairs[k][1]][t], expected[k][t], 1e-6) << k << " " << t;
    EXPECT_EQ(B[1][2], 2.0f) << "the ordinal column is ranked on a copy";

    float** S = dim2Dfloat(3, 3);
    gower_similarityAverage(3, 3, Sp, S, weights);
    EXPECT_NEAR(S[0][1], 0.2, 1e-6);
    EXPECT_NEAR(S[0][2], 0.2, 1e-6);
    EXPECT_NEAR(S[1][2], 0.6, 1e-6);

    // OTU 2 without its quantitative value: trait 0 is not compared for the pairs with OTU 2:
    // (0,2) = 0.5 / 1.5, (1,2) = 1 / 1.5.
    B[2][0] = -999.0f;
    gower_similarityPartial(3, B, 3, Sp, types, ranges, weights, 0);
    EXPECT_EQ(Sp[0][2][0], -999.0);
    gower_similarityAverage(3, 3, Sp, S, weights);
    EXPECT_NEAR(S[0][2], 1.0 / 3.0, 1e-6);
    EXPECT_NEAR(S[1][2], 2.0 / 3.0, 1e-6);
    free2D(S, 3);
    free3D(Sp, 3, 3);
    free2D(B, 3);
}

TEST(GowerPartial, CodeFormsDecodeEachTraitBeforeComparing) {
    // The same three OTUs as two-character codes, traits "01", "02", ...; the float cube of the
    // code form equals the double cube of the matrix form; the full similarity is the
    // unweighted Gower index: (0.5 + 0 + 0) / 3 for (0,1).
    char c0[] = "010101", c1[] = "030202", c2[] = "050102";
    char* codes[3] = {c0, c1, c2};
    int types[3] = {3, 2, 4};
    float ranges[3] = {4, 0, 0};
    float weights[3] = {1.0f, 1.0f, 1.0f};
    float*** Sp = dim3Dfloat(3, 3, 3);
    gower_similarityPartial_OLD(3, codes, 3, Sp, types, ranges, weights);
    EXPECT_NEAR(Sp[0][1][0], 0.5, 1e-6);
    EXPECT_NEAR(Sp[0][2][1], 1.0, 1e-6);
    EXPECT_NEAR(Sp[1][2][2], 1.0, 1e-6);
    double** S = dim2Double(3, 3);
    gower_similarity(3, codes, 3, S, types, ranges, weights, 0);
    EXPECT_NEAR(S[0][1], 0.5 / 3.0, 1e-6);
    EXPECT_NEAR(S[1][0], 0.5 / 3.0, 1e-6);  // both halves
    EXPECT_NEAR(S[1][2], 1.5 / 3.0, 1e-6);
    free2D(S, 3);
    free3D(Sp, 3, 3);
}

}  // namespace
