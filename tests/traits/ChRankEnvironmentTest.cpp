// The environment criteria of the trait-subset search, r(TE) (10), r(XE) (1) and r(XE.T) (9):
// the best subset and value of every size against a brute force that computes each subset
// from scratch through the functional analysis's own routines (community-weighted means,
// Gower similarity of the subset's traits alone, fuzzy belonging, community resemblance,
// MatrixCorr), the report layout, and the data each criterion refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <filesystem>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "matrix/qwlibGroupStats.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/qwlibRes.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORD.h"

namespace {

using namespace chranktest;

// Best value and subset of each size from a value of every subset; signed or by magnitude,
// the first subset (in enumeration order: by size, then lexicographic) kept on ties.
struct Best {
    double value;
    std::vector<int> subset;
};

template <class F>
std::vector<Best> BruteForce(int p, bool absolute, F value) {
    std::vector<Best> best(p + 1, Best{absolute ? 0.0 : -DBL_MAX, {}});
    for (int k = 1; k <= p; k++) {
        // Lexicographic order of the k-subsets.
        std::vector<std::vector<int>> ofSize;
        for (auto& s : AllSubsets(p))
            if (static_cast<int>(s.size()) == k) ofSize.push_back(s);
        std::sort(ofSize.begin(), ofSize.end());
        for (auto& s : ofSize) {
            const double v = value(s);
            const bool beats = absolute ? std::fabs(v) > std::fabs(best[k].value) : v > best[k].value;
            if (beats) best[k] = Best{v, s};
        }
    }
    return best;
}

void ExpectSizesMatch(const std::string& text, const std::vector<Best>& best, int p) {
    for (int k = 1; k <= p; k++) {
        const std::string prefix = "Ranking criterion value and optimal subset with " + std::to_string(k) + " traits: \t";
        SizeLine line = ReadSizeLine(text, prefix);
        ASSERT_TRUE(line.found) << k;
        EXPECT_NEAR(std::atof(line.value.c_str()), best[k].value, 1e-5) << "size " << k;
        EXPECT_EQ(line.labels, Labels(best[k].subset)) << "size " << k;
    }
}

class ChRankEnvironment : public tnxtest::TempDirTest {};

TEST_F(ChRankEnvironment, TraitConvergenceMatchesBruteForceOfEverySubset) {
    const Survey sv = RandomSurvey(3, 6, 11, 9, 3);
    LoadSurvey(sv, 10, {});
    ASSERT_EQ(ChRankTCAP(), kChRankDone);
    const std::string text = Read("s1ChRank.txt");

    double** DE = RawEnvironmentDistance();
    auto best = BruteForce(6, false, [&](const std::vector<int>& s) {
        double** DT = TraitDistance(s);
        const double r = MatrixCorr(ncsm, DE, DT);
        free2D(DT, ncsm);
        return r;
    });
    ExpectSizesMatch(text, best, 6);
    // The size-6 subset is every trait: its value is r(TE) of the whole trait matrix.
    EXPECT_EQ(best[6].subset, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    free2D(DE, ncsm);
}

TEST_F(ChRankEnvironment, TypeCompositionMatchesBruteForceOfEverySubset) {
    const Survey sv = RandomSurvey(8, 5, 10, 8, 2);
    const std::vector<int> partition = {1, 2, 3, 1, 2, 3, 1, 2, 3, 3};
    LoadSurvey(sv, 1, partition);
    ASSERT_EQ(ChRankTDAP_TCAP(), kChRankDone);
    const std::string text = Read("s1ChRank.txt");

    double** DE = RawEnvironmentDistance();
    auto best = BruteForce(5, false, [&](const std::vector<int>& s) {
        double** DX = CompositionDistance(s, 3);
        const double r = MatrixCorr(ncsm, DE, DX);
        free2D(DX, ncsm);
        return r;
    });
    ExpectSizesMatch(text, best, 5);
    free2D(DE, ncsm);
}

TEST_F(ChRankEnvironment, PartialTraitDivergenceMatchesBruteForceByMagnitude) {
    const Survey sv = RandomSurvey(21, 5, 10, 8, 2);
    const std::vector<int> partition = {1, 1, 2, 2, 3, 3, 4, 4, 1, 2};
    LoadSurvey(sv, 9, partition);
    ASSERT_EQ(ChRankTDAP(), kChRankDone);
    const std::string text = Read("s1ChRank.txt");

    double** DE = RawEnvironmentDistance();
    auto best = BruteForce(5, true, [&](const std::vector<int>& s) {
        double** DT = TraitDistance(s);
        double** DX = CompositionDistance(s, 4);
        const float te = static_cast<float>(MatrixCorr(ncsm, DE, DT));
        const float xe = static_cast<float>(MatrixCorr(ncsm, DE, DX));
        const float xt = static_cast<float>(MatrixCorr(ncsm, DT, DX));
        free2D(DX, ncsm);
        free2D(DT, ncsm);
        // Partial correlation by its formula.
        const double r = (xe - xt * te) / std::sqrt((1.0 - xt * xt) * (1.0 - te * te));
        return r;
    });
    ExpectSizesMatch(text, best, 5);
    EXPECT_NE(text.find("\n\nTrait subsets with maximum partial Mantel correlation ro(XE.T):\nTRC\toptimal "
                        "subset of traits\n"),
              std::string::npos);
    free2D(DE, ncsm);
}

// The layout of criterion 10's result file with the intermediate lines: every subset once,
// in enumeration order, then the per-size lines, the top list best first and the per-size
// list.
TEST_F(ChRankEnvironment, TraitConvergenceReportLayout) {
    const Survey sv = RandomSurvey(5, 3, 7, 6, 2);
    LoadSurvey(sv, 10, {});
    printRankIntermedResults = 'y';
    nMinTraitsChRank = 2;
    ASSERT_EQ(ChRankTCAP(), kChRankDone);
    const std::string text = Read("s1ChRank.txt");

    double** DE = RawEnvironmentDistance();
    auto value = [&](const std::vector<int>& s) {
        double** DT = TraitDistanceFloat(s);
        const double r = MatrixCorr(ncsm, DE, DT);
        free2D(DT, ncsm);
        return r;
    };
    const std::vector<std::vector<int>> order = {{0, 1}, {0, 2}, {1, 2}, {0, 1, 2}};
    std::string expectedHeader = std::string(version) + "\n\n" + lineL + "\nTRAIT SUBSET OPTIMIZATION\n" + lineL + "\n";
    ASSERT_EQ(text.compare(0, expectedHeader.size(), expectedHeader), 0);
    const size_t afterStamp = text.find('\n', expectedHeader.size()) + 1;
    std::string rest = text.substr(afterStamp);
    std::string expected =
        "Session:        s1 \nFormatted data: s1Formda.txt \n"
        "\nTrait-based approach: 2 (trait averages at community level)\n"
        "Trait ranking criterion (TRC): 10 (Trait-convergence assembly patterns, TCAP)\n"
        "Correlation measure: matrix correlation (Mantel)\n"
        "Ranking algorithm: 2 (all trait combinations)\n"
        "All traits were considered.\n"
        "Resemblance option between communities: 6 (Euclidean distance)\n";
    char buf[256];
    std::vector<double> values;
    for (size_t i = 0; i < order.size(); i++) {
        const double v = value(order[i]);
        values.push_back(v);
        std::snprintf(buf, sizeof buf, "%g\t", v);
        expected += buf;
        for (int t : order[i]) expected += "t" + std::to_string(t + 1) + "\t";
        expected += "\n";
        if (i == 2 || i == 3) {
            // Per-size line after the last subset of the size.
            const int k = static_cast<int>(order[i].size());
            size_t b = i == 2 ? 0 : 3;
            size_t e = i == 2 ? 3 : 4;
            size_t bi = b;
            for (size_t j = b; j < e; j++)
                if (values[j] > values[bi]) bi = j;
            std::snprintf(buf, sizeof buf, "Ranking criterion value and optimal subset with %d traits: \t%-12.6g\t", k,
                          values[bi]);
            expected += buf;
            for (int t : order[bi]) expected += "t" + std::to_string(t + 1) + "\t";
            expected += "\n";
        }
    }
    expected += "\n\nTrait subsets with maximum rank:\nTRC         \tSubset of traits\n";
    std::vector<size_t> idx = {0, 1, 2, 3};
    std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) { return values[a] > values[b]; });
    for (size_t i : idx) {
        if (!(values[i] > 0.0)) continue;
        std::snprintf(buf, sizeof buf, "%-12.6g\t", values[i]);
        expected += buf;
        for (int t : order[i]) expected += "t" + std::to_string(t + 1) + "\t";
        expected += "\n";
    }
    expected += "\n\nTrait subsets with maximum rank for each number of traits:\nTRC         \tSubset of traits\n";
    // The data give both signs: the top list holds the positive values only.
    ASSERT_TRUE(*std::max_element(values.begin(), values.end()) > 0.0);
    ASSERT_TRUE(*std::min_element(values.begin(), values.end()) < 0.0);
    ASSERT_EQ(rest.substr(0, expected.size()), expected);
    EXPECT_NE(rest.find("\nElapsed time: "), std::string::npos);
    free2D(DE, ncsm);
}

TEST_F(ChRankEnvironment, StructureFileDoesNotChangeTheResults) {
    const Survey sv = RandomSurvey(8, 4, 8, 7, 2);
    const std::vector<int> partition = {1, 2, 1, 2, 1, 2, 3, 3};
    LoadSurvey(sv, 1, partition);
    ASSERT_EQ(ChRankTDAP_TCAP(), kChRankDone);
    const std::string plain = Read("s1ChRank.txt");
    saveStruct = 'y';
    ASSERT_EQ(ChRankTDAP_TCAP(), kChRankDone);
    const std::string withStructure = Read("s1ChRank.txt");
    const std::string structure = Read("s1Str.txt");
    // Equal but for the time stamp and the elapsed time.
    auto body = [](const std::string& t) {
        const size_t b = t.find("Session:");
        return t.substr(b, t.find("Elapsed time") - b);
    };
    EXPECT_EQ(body(plain), body(withStructure));
    EXPECT_EQ(tnxtest::Count(structure, "\nTrait ranking criterion:\t"), 15);
    EXPECT_EQ(structure.rfind("Resemblance matrix between 7 relevés based on 2 environmental variables:\n", 0), 0u);
}

struct Refusal {
    const char* what;
    int criterion;
};

TEST_F(ChRankEnvironment, EachCriterionRefusesDataItCannotUse) {
    const Survey withEnv = RandomSurvey(2, 3, 6, 5, 2);
    const Survey noEnv = RandomSurvey(2, 3, 6, 5, 0);
    const std::vector<int> two = {1, 2, 1, 2, 1, 2};
    auto run = [](int criterion) {
        return criterion == 1 ? ChRankTDAP_TCAP() : criterion == 9 ? ChRankTDAP() : ChRankTCAP();
    };
    for (int criterion : {1, 9, 10}) {
        // No environmental variables.
        LoadSurvey(noEnv, criterion, two);
        EXPECT_EQ(run(criterion), kChRankRefused) << criterion;
        EXPECT_FALSE(std::filesystem::exists("s1ChRank.txt"));
        // One community.
        Survey one = withEnv;
        one.n = 1;
        for (auto& row : one.W) row.resize(1, 0.0f);
        for (auto& row : one.W) row[0] = 1.0f;
        for (auto& row : one.E) row.resize(1);
        LoadSurvey(one, criterion, two);
        EXPECT_EQ(run(criterion), kChRankRefused) << criterion;
        // No trait selected.
        LoadSurvey(withEnv, criterion, two);
        for (int t = 0; t < nch; t++) weight[t] = 0.0f;
        EXPECT_EQ(run(criterion), kChRankRefused) << criterion;
        EXPECT_FALSE(std::filesystem::exists("s1ChRank.txt"));
    }
    // A partition of one group: nothing to evaluate for the type-based criteria.
    for (int criterion : {1, 9}) {
        LoadSurvey(withEnv, criterion, {1, 1, 1, 1, 1, 1});
        EXPECT_EQ(run(criterion), kChRankRefused) << criterion;
    }
    // A nominal trait makes T meaningless: 9 and 10 refuse, 1 runs.
    Survey nominal = withEnv;
    nominal.types[1] = 2;
    for (auto& row : nominal.B) row[1] = std::round(row[1]);
    for (int criterion : {9, 10}) {
        LoadSurvey(nominal, criterion, two);
        EXPECT_EQ(run(criterion), kChRankRefused) << criterion;
    }
    LoadSurvey(nominal, 1, two);
    EXPECT_EQ(run(1), kChRankDone);
}

// Two communities: every Mantel value is the single-pair rule, 1 - |a - b| / max(a, b).
TEST_F(ChRankEnvironment, TwoCommunitiesUseTheSinglePairRule) {
    const Survey sv = RandomSurvey(6, 3, 5, 2, 2);
    LoadSurvey(sv, 10, {});
    ASSERT_EQ(ChRankTCAP(), kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    double** DE = RawEnvironmentDistance();
    auto best = BruteForce(3, false, [&](const std::vector<int>& s) {
        double** DT = TraitDistance(s);
        const double a = DE[0][1], b = DT[0][1];
        const double r = a == b ? 1.0 : 1.0 - std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
        free2D(DT, 2);
        return r;
    });
    ExpectSizesMatch(text, best, 3);
    free2D(DE, 2);
}

}  // namespace
