// The trait-average scaling-up on the five-OTU data set of the session tests, worked by hand:
// W (communities x OTUs) c1 = (1 0 1 0 1), c2 = (0 1 1 0 1), c3 = (1 0 0 1 1), c4 = (0 1 0 1 1);
// B rows (1 2 3), (2 3 4), (3 4 5), (4 5 6), (5 6 7); E variables e1 = (1 2 3 4), e2 = (4 3 2 1)
// in different units.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/StatTestUtil.h"
#include "traits/TNXRESE.h"

namespace {

using tnxtest::Count;

// Pearson correlation of the cells above the diagonal of two 4 x 4 matrices.
double Mantel4(const double a[4][4], const double b[4][4]) {
    std::vector<double> x, y;
    for (int i = 0; i < 4; i++)
        for (int j = i + 1; j < 4; j++) x.push_back(a[i][j]), y.push_back(b[i][j]);
    return Pearson(x.data(), y.data(), 6);
}

class TraitAverages : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        tnxtest::LoadFiveOtus();
        std::snprintf(sessionName, sizeof sessionName, "s1");
        std::snprintf(whichPrinda, sizeof whichPrinda, "s1Prinda.txt");
        std::snprintf(whichHier, sizeof whichHier, "s1Hie.txt");
        std::snprintf(prindaMode, sizeof prindaMode, "w");
        volumeName[0] = '\0';
        sDigits = 6, traitBasedOpt = 2, poolCSTopt = 0, rese_opt = 6, rseed = 3, nGrPoly[0] = 5;
        for (int j = 0; j < nch; j++) weight[j] = 1.0f, nchor[j] = j + 1;
    }
};

TEST_F(TraitAverages, MeansTheirResemblanceAndTheCongruenceWithE) {
    ASSERT_TRUE(FrequencyTraitsScalingUp());
    // Community means: c1 OTUs 1, 3, 5: (3, 4, 5); c2 OTUs 2, 3, 5 and c3 OTUs 1, 4, 5: each
    // (10, 13, 16)/3; c4 OTUs 2, 4, 5: (11, 14, 17)/3. Each column then to unit length.
    const double T[4][3] = {{3, 4, 5}, {10 / 3.0, 13 / 3.0, 16 / 3.0}, {10 / 3.0, 13 / 3.0, 16 / 3.0},
                            {11 / 3.0, 14 / 3.0, 17 / 3.0}};
    double Tn[4][3], DT[4][4], DE[4][4];
    for (int t = 0; t < 3; t++) {
        double ss = 0;
        for (int c = 0; c < 4; c++) ss += T[c][t] * T[c][t];
        for (int c = 0; c < 4; c++) Tn[c][t] = T[c][t] / std::sqrt(ss);
    }
    // E standardised: e1 centred (-1.5 -0.5 0.5 1.5) / sqrt(5), e2 its negative; so
    // DE(i, j) = sqrt(2) |e1_i - e1_j| / sqrt(5).
    const double e1[4] = {1, 2, 3, 4};
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            double s = 0;
            for (int t = 0; t < 3; t++) s += (Tn[i][t] - Tn[j][t]) * (Tn[i][t] - Tn[j][t]);
            DT[i][j] = std::sqrt(s);
            DE[i][j] = std::sqrt(2.0) * std::fabs(e1[i] - e1[j]) / std::sqrt(5.0);
        }
    const std::string t = Read("s1Prinda.txt");
    EXPECT_EQ(Count(t, "All traits were considered in the scaling up to community level.\n"), 1);
    EXPECT_EQ(Count(t, "\nMatrix with trait averages at community level (4 communities x 3 traits):\n"), 1);
    EXPECT_EQ(Count(t, "Resemblance matrix between communities based on selected traits (matrix T):\n"), 1);
    EXPECT_EQ(Count(t, "\nTrait ranking criterion:\tro(TE)=\t"), 1) << "the block is written once";
    const size_t at = t.find("\nTrait ranking criterion:\tro(TE)=\t");
    ASSERT_NE(at, std::string::npos);
    const double roTE = std::strtod(t.c_str() + at + 34, nullptr);
    EXPECT_NEAR(roTE, Mantel4(DE, DT), 1e-5);
    const std::string tail = "Traits:\ttr1\ttr2\ttr3\t\n\n";
    EXPECT_EQ(t.substr(t.size() - tail.size()), tail);

    // The intermediate file: the normalised T, traits in rows.
    const std::string hie = Read("s1Hie.txt");
    char expected[512];
    int len = std::snprintf(expected, sizeof expected, "%d\t%d\n", 3, 4);
    for (int tr = 0; tr < 3; tr++) {
        for (int c = 0; c < 4; c++) len += std::snprintf(expected + len, sizeof expected - len, "%g\t", Tn[c][tr]);
        len += std::snprintf(expected + len, sizeof expected - len, "\n");
    }
    EXPECT_EQ(hie, std::string(expected));
}

TEST_F(TraitAverages, AnExcludedTraitIsLeftOutAndOneCommunityIsRefused) {
    weight[1] = 0.0f;
    ASSERT_TRUE(FrequencyTraitsScalingUp());
    const std::string t = Read("s1Prinda.txt");
    EXPECT_EQ(Count(t, "All traits were considered"), 0);
    EXPECT_EQ(Count(t, "Trait set:        tr1tr3\n"), 1);
    EXPECT_EQ(Count(t, "\nTrait weight:     1  0  1  \n"), 1);
    EXPECT_EQ(Count(t, "\nTraits:\ttr1\ttr3\t\n"), 1);

    // A single trait still makes its block: tr1 alone, community means (3, 10/3, 10/3, 11/3).
    weight[2] = 0.0f;
    ASSERT_TRUE(FrequencyTraitsScalingUp());
    const std::string one = Read("s1Prinda.txt");
    EXPECT_EQ(Count(one, "\nTraits:\ttr1\t\n"), 1);
    EXPECT_EQ(Count(one, "\nTrait ranking criterion:\tro(TE)=\t"), 1);
    EXPECT_EQ(Count(Read("s1Hie.txt"), "3\t4\n"), 1);

    // Two communities (c1, c2) are enough: ro(TE) by the relative difference of the single cells.
    // E standardised over c1, c2: e1 = (-1, 1)/sqrt(2), e2 its negative, so DE = 2. T of c1
    // (3, 4, 5) and of c2 (10, 13, 16)/3 = tr1 only here: (3, 10/3), to unit length.
    weight[2] = 0.0f;
    const int communities = ncsm;
    ncsm = 2;
    ASSERT_TRUE(FrequencyTraitsScalingUp());
    const double len = std::sqrt(9.0 + 100.0 / 9.0);
    const double dt = std::fabs(3.0 - 10.0 / 3.0) / len;
    const std::string two = Read("s1Prinda.txt");
    const size_t at = two.find("\nTrait ranking criterion:\tro(TE)=\t");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::strtod(two.c_str() + at + 34, nullptr), 1.0 - (2.0 - dt) / 2.0, 1e-5);
    ncsm = communities;

    std::remove("s1Prinda.txt");
    ncsm = 1;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(FrequencyTraitsScalingUp());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nThe scaling-up of trait averages needs at least 2 communities.\n");
    ncsm = communities;
    EXPECT_FALSE(std::filesystem::exists("s1Prinda.txt")) << "nothing written";
}

}  // namespace
