// Tests of the analysis of one simulated data set: the matrices handed to the permutation
// engine (trait flags, Gower similarity, belonging, communities at unit totals, the selected
// environment and its distances) and the record's options, worked by hand on a tiny data set.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "session/model/TNXGLOB.h"
#include "simulation/TNXSIMANAL.h"

namespace {

// 3 sites, 3 OTUs, 2 traits, 2 predictors.
//   B = [0 0; 1 2; 2 4] (ranges 2 and 4),  W = [1 1 0; 0 2 2; 3 0 1],  E rows = [1 2 4], [5 5 7].
class SimAnalysisTest : public ::testing::Test {
protected:
    AssemblySettings set;
    AssemblyModel m;
    SimAnalysis a;
    int select[2] = {1, 0};
    void SetUp() override {
        set.n = set.s = 3, set.p = set.f = set.v = 2;
        AllocAssemblyModel(set, &m);
        const float B[3][2] = {{0, 0}, {1, 2}, {2, 4}};
        const double W[3][3] = {{1, 1, 0}, {0, 2, 2}, {3, 0, 1}};
        for (int i = 0; i < 3; i++) {
            for (int t = 0; t < 2; t++) m.B[i][t] = B[i][t];
            for (int o = 0; o < 3; o++) m.W[i][o] = W[i][o];
        }
        const double E[2][3] = {{1, 2, 4}, {5, 5, 7}};
        for (int j = 0; j < 2; j++)
            for (int k = 0; k < 3; k++) m.E[j][k] = E[j][k];
        nch = 2, tcst = 3;
        weight = dim1Dfloat(2);
        chtype = dim1Dint(2);
        weight[0] = 1.0f, weight[1] = 0.5f;
        fuzzy = 3, niter = 1, opt_ro = 1, rese_opt = 6;
        optRestrictPermutNullModel = twoTailedTestMantel = countDoubleAbsence = 0;
        AllocSimAnalysis(set, &a);
        InitRndNumberGenerator(1);
    }
    void TearDown() override {
        FreeSimAnalysis(set, &a);
        FreeAssemblyModel(set, &m);
        free1D(weight);
        free1D(chtype);
        weight = nullptr, chtype = nullptr;
        nch = tcst = 0;
        twoTailedTestMantel = 1;
    }
};

// Every cell of a square matrix against its expected rows.
template <class T>
void ExpectCells(T** got, const double (&want)[3][3], double tolerance) {
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_NEAR(got[i][j], want[i][j], tolerance) << i << j;
}

TEST_F(SimAnalysisTest, MatricesOfTheTestsByHand) {
    ASSERT_TRUE(AnalyseSimulatedData(set, m, select, &a));
    // A weight of 0.5 is above 0: the trait takes part.
    EXPECT_EQ((std::vector<int>{a.traitFlags[0], a.traitFlags[1]}), (std::vector<int>{1, 1}));
    // Gower with weights 1 and 0.5: OTUs 1 and 2 differ by half of each range, 1 and 3 by the
    // whole: S12 = S23 = (1 x 0.5 + 0.5 x 0.5) / 1.5 = 0.5, S13 = 0.
    ExpectCells(a.S, {{1, 0.5, 0}, {0.5, 1, 0.5}, {0, 0.5, 1}}, 1e-6);
    // Each OTU its own type, fuzzy: the rows of S at unit sum.
    ExpectCells(a.U, {{2.0 / 3, 1.0 / 3, 0}, {0.25, 0.5, 0.25}, {0, 1.0 / 3, 2.0 / 3}}, 1e-6);
    // Communities at unit totals.
    EXPECT_DOUBLE_EQ(a.Wr[2][0], 0.75);
    EXPECT_DOUBLE_EQ(a.Wr[1][2], 0.5);
    // Only predictor 1 selected: centred [-4/3, -1/3, 5/3] divided by its length sqrt(42)/3;
    // predictor 2 stays 0. DE = |difference| of that column.
    const double len = std::sqrt(42.0) / 3.0;
    EXPECT_NEAR(a.Eanal[0][0], -4.0 / 3 / len, 1e-6);
    EXPECT_NEAR(a.Eanal[2][0], 5.0 / 3 / len, 1e-6);
    EXPECT_EQ((std::vector<double>{a.Eanal[0][1], a.Eanal[1][1], a.Eanal[2][1]}), std::vector<double>(3, 0.0));
    EXPECT_NEAR(a.DE[0][1], 1.0 / len, 1e-6);
    EXPECT_NEAR(a.DE[0][2], 3.0 / len, 1e-6);
    // The record as filled: options of the settings, the preference's tails, the hand-back.
    const PermTest_FunctionalPhyl_Correl_Input& in = a.record;
    EXPECT_EQ((std::vector<int>{in.iterations, in.nTypes, in.nEnv, in.twoTailed, in.includePhylogeny, in.sqrtRaoTraits}),
              (std::vector<int>{1, 3, 2, 0, 0, 1}));
    EXPECT_EQ(in.W, a.Wr);
    // One iteration: the observed arrangement only, every probability 1; but 3 sites leave the
    // second-order partial r(XE.TR) no degree of freedom: undefined, without a probability.
    for (int i = 0; i < kPermTestStats; i++) {
        if (i == kRoXE_TR)
            EXPECT_TRUE(std::isnan(in.probability[i]) && std::isnan(in.observed[i]));
        else
            EXPECT_EQ(in.probability[i], 1.0) << i;
    }
    // Handed back T: community-weighted means, e.g. site 3: (3 x 0 + 1 x 2) / 4 = 0.5 and 1.
    EXPECT_NEAR(a.T[2][0], 0.5, 1e-12);
    EXPECT_NEAR(a.T[2][1], 1.0, 1e-12);
    EXPECT_NEAR(a.T[1][1], 3.0, 1e-12);
    // X = Wr U: site 1 = 0.5 U1 + 0.5 U2.
    EXPECT_NEAR(a.X[0][0], 0.5 * (2.0 / 3) + 0.5 * 0.25, 1e-9);
}

TEST_F(SimAnalysisTest, CrispBelongingIsTheIdentityAndSimilarityIsStillComputed) {
    fuzzy = 0;
    twoTailedTestMantel = 1;
    ASSERT_TRUE(AnalyseSimulatedData(set, m, select, &a));
    ExpectCells(a.U, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0);
    EXPECT_NEAR(a.S[0][1], 0.5, 1e-6);
    EXPECT_TRUE(a.record.twoTailed);
}

// Site 1 holds OTU 3 only: without the OTU's own value its Beals estimates there are 0 (no other
// OTU of the site to weigh them), with it (the preference) they are not.
TEST_F(SimAnalysisTest, BealsEstimatesUseTheOwnValueOnlyWhenAsked) {
    const int saved = BealsIncludeOpt;
    m.W[0][0] = m.W[0][1] = 0, m.W[0][2] = 5;
    for (int include : {0, 1}) {
        BealsIncludeOpt = include;
        ASSERT_TRUE(AnalyseSimulatedData(set, m, select, &a));
        EXPECT_EQ((std::vector<bool>{a.Y[0][2] > 0, a.Z[0][2] > 0}), std::vector<bool>(2, include == 1)) << include;
    }
    BealsIncludeOpt = saved;
}

TEST_F(SimAnalysisTest, AnAnalysisTheEngineRefusesRejectsNothing) {
    // Procrustes with a missing value in E cannot be tested: every probability is 1.
    opt_ro = 2;
    m.E[0][1] = -999;
    select[1] = 1;
    EXPECT_FALSE(AnalyseSimulatedData(set, m, select, &a));
    EXPECT_EQ(std::vector<double>(a.record.probability, a.record.probability + kPermTestStats),
              std::vector<double>(kPermTestStats, 1.0));
}

}  // namespace
