// The phylogenetic criteria of the trait-subset search: r(PX), r(PX.T), r(PT) (11 to 13) and
// the niche-conservation products ro(PT) x ro(TE), ro(PX) x ro(XE) (14, 15), per size against a
// brute force that computes every subset from scratch (P = W Q with Q the fuzzy belonging of
// the OTUs to their taxa by the phylogeny), the summary block and the two top lists of 14 and
// 15, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibUtil.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/qwlibRes.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORD.h"

namespace {

using namespace chranktest;

double** PhylogenyDistance() {
    double** Q = dim2Double(tcst, nTaxa);
    FuzzyBelonging(tcst, nTaxa, phylogenyRese, partition_OTUs_Phyl, Q, false);
    double** W = CommunitiesByOtus();
    double** P = dim2Double(ncsm, nTaxa);
    MatrixProd(ncsm, tcst, tcst, nTaxa, W, Q, P);
    double** DP = dim2Double(ncsm, ncsm);
    NominalReseNonHier(ncsm, nTaxa, P, DP, rese_opt);
    free2D(P, ncsm);
    free2D(W, ncsm);
    free2D(Q, tcst);
    return DP;
}

struct Case {
    int criterion;
    bool absolute;
};

class ChRankPhylogeny : public tnxtest::TempDirTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ChRankPhylogeny, BestSubsetOfEachSizeMatchesBruteForce) {
    const Case pc = GetParam();
    const Survey sv = RandomSurvey(60 + pc.criterion, 4, 9, 8, 2, true);
    LoadSurvey(sv, pc.criterion, {1, 2, 3, 1, 2, 3, 1, 2, 3});
    const ChRankStatus st = pc.criterion <= 13 ? ChRankPhylogenyAssembly() : ChRank_Phylogeny_x_Trait_Assembly();
    ASSERT_EQ(st, kChRankDone);
    const std::string text = Read("s1ChRank.txt");

    double** DP = PhylogenyDistance();
    double** DE = RawEnvironmentDistance();
    auto value = [&](const std::vector<int>& s) {
        double** DT = TraitDistance(s);
        double** DX = CompositionDistance(s, 3);
        const double pt = MatrixCorr(ncsm, DP, DT), px = MatrixCorr(ncsm, DP, DX), xt = MatrixCorr(ncsm, DT, DX);
        double v = 0.0;
        switch (pc.criterion) {
            case 11: v = px; break;
            case 12: v = (px - xt * pt) / std::sqrt((1 - xt * xt) * (1 - pt * pt)); break;
            case 13: v = pt; break;
            case 14: v = static_cast<float>(pt) * static_cast<float>(MatrixCorr(ncsm, DE, DT)); break;
            default: v = static_cast<float>(px) * static_cast<float>(MatrixCorr(ncsm, DE, DX)); break;
        }
        free2D(DX, ncsm);
        free2D(DT, ncsm);
        return v;
    };
    auto subsets = AllSubsets(4);
    std::sort(subsets.begin(), subsets.end());
    std::vector<double> bestValue(5);
    std::vector<std::vector<int>> bestSubset(5);
    for (int k = 1; k <= 4; k++) {
        double best = pc.absolute ? 0.0 : -DBL_MAX;
        for (const auto& s : subsets) {
            if (static_cast<int>(s.size()) != k) continue;
            const double v = value(s);
            if (pc.absolute ? std::fabs(v) > std::fabs(best) : v > best) {
                best = v;
                bestSubset[k] = s;
            }
        }
        bestValue[k] = best;
        const bool niche = pc.criterion >= 14;
        const std::string prefix = std::string(niche ? "Ranking criterion values, groups and optimal subset with "
                                                     : "Ranking criterion value and optimal subset with ") +
                                   std::to_string(k) + " traits: \t";
        SizeLine line = ReadSizeLine(text, prefix);
        ASSERT_TRUE(line.found) << k;
        EXPECT_NEAR(std::atof(line.value.c_str()), best, 1e-5) << "criterion " << pc.criterion << " size " << k;
        std::vector<std::string> labels = line.labels;
        if (niche) {
            ASSERT_FALSE(labels.empty());
            EXPECT_EQ(labels.front(), "3 groups");
            labels.erase(labels.begin());
        }
        EXPECT_EQ(labels, Labels(bestSubset[k])) << "criterion " << pc.criterion << " size " << k;
    }
    if (pc.criterion >= 14) {
        // The summary block opens the file: one line of labels per size, the numbers of
        // types, the values.
        std::istringstream in(text);
        std::string line;
        for (int k = 1; k <= 4; k++) {
            std::getline(in, line);
            std::string expected;
            for (int t : bestSubset[k]) expected += "t" + std::to_string(t + 1) + "\t";
            EXPECT_EQ(line, expected) << k;
        }
        std::getline(in, line);
        EXPECT_EQ(line, "3    \t3    \t3    \t3    \t");
        std::getline(in, line);
        std::istringstream values(line);
        for (int k = 1; k <= 4; k++) {
            double v;
            values >> v;
            EXPECT_NEAR(v, bestValue[k], 1e-5);
        }
        std::getline(in, line);
        EXPECT_EQ(line, version);
        // 15 evaluations in the first list: 85 slots print the start value, 0 types, no traits.
        EXPECT_EQ(tnxtest::Count(text, "-1.79769e+308\t0 groups\t\n"), 85);
    }
    free2D(DE, ncsm);
    free2D(DP, ncsm);
}

INSTANTIATE_TEST_SUITE_P(Criteria, ChRankPhylogeny,
                         ::testing::Values(Case{11, false}, Case{12, true}, Case{13, false}, Case{14, false},
                                           Case{15, false}));

class ChRankPhylogenyData : public tnxtest::TempDirTest {};

TEST_F(ChRankPhylogenyData, RefusedWithoutPhylogenyOrWithNominalTraitsWhereTRests) {
    const Survey noPhyl = RandomSurvey(70, 3, 6, 6, 2, false);
    for (int c : {11, 12, 13, 14, 15}) {
        LoadSurvey(noPhyl, c, {1, 2, 1, 2, 1, 2});
        const ChRankStatus st = c <= 13 ? ChRankPhylogenyAssembly() : ChRank_Phylogeny_x_Trait_Assembly();
        EXPECT_EQ(st, kChRankRefused) << c;
        EXPECT_FALSE(std::filesystem::exists("s1ChRank.txt"));
    }
    Survey nominal = RandomSurvey(71, 3, 6, 6, 2, true);
    nominal.types[0] = 2;
    for (auto& row : nominal.B) row[0] = std::round(row[0]);
    for (int c : {12, 13}) {
        LoadSurvey(nominal, c, {1, 2, 1, 2, 1, 2});
        EXPECT_EQ(ChRankPhylogenyAssembly(), kChRankRefused) << c;
    }
    LoadSurvey(nominal, 11, {1, 2, 1, 2, 1, 2});
    EXPECT_EQ(ChRankPhylogenyAssembly(), kChRankDone);
    // Niche conservation needs the environment too.
    Survey noEnv = RandomSurvey(72, 3, 6, 6, 0, true);
    LoadSurvey(noEnv, 14, {1, 2, 1, 2, 1, 2});
    EXPECT_EQ(ChRank_Phylogeny_x_Trait_Assembly(), kChRankRefused);
}

TEST_F(ChRankPhylogenyData, StructureFileOfItsOwnNameAndResultsUnchanged) {
    const Survey sv = RandomSurvey(73, 3, 6, 6, 2, true);
    LoadSurvey(sv, 11, {1, 2, 3, 1, 2, 3});
    ASSERT_EQ(ChRankPhylogenyAssembly(), kChRankDone);
    const std::string plain = Read("s1ChRank.txt");
    saveStruct = 'y';
    ASSERT_EQ(ChRankPhylogenyAssembly(), kChRankDone);
    const std::string with = Read("s1ChRank.txt");
    auto body = [](const std::string& t) {
        const size_t b = t.find("Session:");
        return t.substr(b, t.find("Elapsed time") - b);
    };
    EXPECT_EQ(body(plain), body(with));
    const std::string structure = Read("IntermediateRankResults.txt");
    EXPECT_FALSE(std::filesystem::exists("s1Str.txt"));
    EXPECT_EQ(structure.rfind("\nSimilarity matrix between 6 OTUs:\n", 0), 0u);
    EXPECT_EQ(tnxtest::Count(structure, "\nTrait ranking criterion:\tro(PT)=\t"), 7);
    EXPECT_EQ(tnxtest::Count(structure, "(residuals after removing the effect of DT):\n"), 14);
}

}  // namespace
