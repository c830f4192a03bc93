// Ranking of the environmental variables against R (r/structures.R), the result file's ranking and
// settings, undefined values, the structure file and the refused criterion.
#include "classical/TNXERANK.h"
#include "OrdinationFixture.h"

using namespace tnxtest;

namespace {

class EnvRankTest : public StructureTest {
protected:
    void SetUp() override {
        StructureTest::SetUp();
        sDigits = 6, rese_opt = 6, part = 1;
        Store(1, Roots(kSquared));
        for (int c = 0; c < 4; c++) groupRel[c] = c < 2 ? 1 : 2;
        nGroups = 2;
        scores_ = dim2Dfloat(4, 3);
        for (int c = 0; c < 4; c++)
            for (int a = 0; a < 3; a++) scores_[c][a] = static_cast<float>(kPoints[c][a]);
    }
    void TearDown() override {
        free2D(scores_, 4);
        StructureTest::TearDown();
    }
    void Rank(int criterion) {
        int axes[1] = {3};
        float** cube[1] = {scores_};
        optEnvStruct = criterion;
        EnvRank(axes, cube);
    }
    float** scores_ = nullptr;
};

// The ranking (best of each step, last step first; the order) and the first step's candidates.
// Criterion 2, and 4 (the ordination distances over all three axes are the points' own): e1
// 0.681077, e2 0.223633, both 0.80365 (Mantel); 3 (minimised, groups 1 1 2 2): e1 0.894427, e2
// 0.575396, both 1.14177; 1 (one left out of both): keeping e1 0.546514, e2 0.62128, the last one
// no value. In one group no pair lies between groups: all undefined, order kept.
TEST_F(EnvRankTest, StepsMatchR) {
    const struct {
        int criterion;
        std::string values, order, firstStep;
        bool oneGroup;
    } cases[] = {
        {2, "0.80365     \t0.681077    \t", "e1 \te2 \t", "0.681077    \te1 \t\n0.223633    \te2 \t\n", false},
        {4, "0.80365     \t0.681077    \t", "e1 \te2 \t", "0.681077    \te1 \t\n0.223633    \te2 \t\n", false},
        {3, "1.14177     \t0.575396    \t", "e2 \te1 \t", "0.894427    \te1 \t\n0.575396    \te2 \t\n", false},
        {1, "undefined   \t0.62128     \t", "e2 \te1 \t", "0.546514    \te2 \t\te1 \t\n0.62128     \te1 \t\te2 \t\n", false},
        {3, "undefined   \tundefined   \t", "e1 \te2 \t", "undefined   \te1 \t\nundefined   \te2 \t\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.criterion);
        for (int k = 0; k < 4; k++) groupRel[k] = c.oneGroup ? 1 : 1 + k / 2;
        Rank(c.criterion);
        const std::string erk = Read("s1ERk.txt");
        EXPECT_EQ(erk.substr(0, erk.find("The variables")), "    1\n" + c.values + "\n" + c.order + "\n");
        EXPECT_TRUE(Has(erk, "variable subset used:\n" + c.firstStep)) << erk;
    }
    EXPECT_EQ(env[2][1], 1.0f);  // E is standardised on a copy
}

// Stored cross products (option 3) of the centred points are turned into their squared distances
// before the ranking: e1 against kSquared, cor(c(1,2,3,1,2,1), c(10,20,50,26,30,30)) = 0.724868
// (r/structures.R).
TEST_F(EnvRankTest, StoredCrossProductsBecomeSquaredDistances) {
    rese_opt = 3;
    Store(1, {{9.625, 2.875, -0.875, -11.625},
              {2.875, 6.125, -5.625, -3.375},
              {-0.875, -5.625, 8.625, -2.125},
              {-11.625, -3.375, -2.125, 17.125}});
    Rank(2);
    EXPECT_TRUE(Has(Read("s1ERk.txt"), "variable subset used:\n0.724868    \te1 \t\n")) << Read("s1ERk.txt");
}

// The settings name the transformation and resemblance the ranking used (variables of different
// units standardised, nominal ones by Gower); the structure file holds one dissimilarity per
// candidate (2 + 1 forward).
TEST_F(EnvRankTest, SettingsAndStructureFile) {
    saveStruct = 'y';
    Rank(2);
    EXPECT_TRUE(Has(Read("s1ERk.txt"), "Ranking criterion: 2 (congruence environmental resemblance/community "
                                       "resemblance)\nEnvironmental data structure:\n   Number of variables: 2 \n"
                                       "   Vector transformation: 6 (centering and normalization within variables)\n"
                                       "   Resemblance option: Euclidean distances\n\nVegetation data structure:\n"));
    EXPECT_EQ(Lines(Read("s1Str.txt")).size(), 3u * 4);
    optEnvVarType = 3;
    Rank(2);
    EXPECT_TRUE(Has(Read("s1ERk.txt"), "   Vector transformation: 0 (none)\n   Resemblance option: 1-Gower index\n\n"));
}

// Criterion 5 ranks nothing: a message and no file.
TEST_F(EnvRankTest, CriterionFiveRanksNothing) {
    Rank(5);
    EXPECT_FALSE(std::ifstream("s1ERk.txt").good());
    EXPECT_TRUE(Has(Err(), "Ranking criterion 5 does not rank the variables"));
}

}  // namespace
