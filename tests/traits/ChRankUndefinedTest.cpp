// Values the trait-subset searches leave undefined, written -999 and ranked nowhere: a subset whose
// distances are equal but for the rounding of the precision they were computed in, and a partial
// Mantel correlation whose control correlates +-1 with a matrix it compares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "matrix/qwlib.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXCHORDSTEP.h"

namespace {

using namespace chranktest;

class ChRankUndefined : public tnxtest::TempDirTest {};

// The labels of a subset as the intermediate lines print them ("t1\tt2\t...").
std::string Printed(const std::vector<int>& subset) {
    std::string text;
    for (int t : subset) text += "t" + std::to_string(t + 1) + "\t";
    return text;
}

// The line of the result file that names every one of the p traits; "" when none does.
std::string LineOfAll(const std::string& text, int p) {
    std::vector<int> all(p);
    for (int t = 0; t < p; t++) all[t] = t;
    const size_t at = text.find("\t" + Printed(all));
    if (at == std::string::npos) return std::string();
    const size_t begin = text.rfind('\n', at) + 1;
    return text.substr(begin, text.find('\n', at) - begin);
}

// The construction on which every distance of the subset of all traits is the same in exact
// arithmetic: community c holds OTU c alone, trait c is 2 s_c at OTU c and s_c elsewhere, so the
// normalised means of trait c are 2 and 1 over sqrt(n + 3) and every distance over all the traits
// is sqrt(2 / (n + 3)), what single precision rounds of s_c aside. Without trait 1 the first
// community lies at sqrt(1 / (n + 3)) from the others, which lie sqrt(2 / (n + 3)) apart: a spread.
// Two variables and a phylogeny that vary.
Survey EqualDistances(int n, int scale) {
    Survey sv;
    sv.p = sv.s = sv.n = n, sv.v = 2;
    sv.types.assign(n, 3);
    sv.B.assign(n, std::vector<float>(n));
    for (int t = 0; t < n; t++) {
        const float st = scale == 0 ? 1.0f + 0.37f * static_cast<float>(t)
                                    : std::ldexp(1.0f + 0.1f * static_cast<float>(t), t % 9 - 4);
        for (int o = 0; o < n; o++) sv.B[o][t] = (o == t ? 2.0f : 1.0f) * st;
    }
    sv.W.assign(n, std::vector<float>(n, 0.0f));
    for (int c = 0; c < n; c++) sv.W[c][c] = 1.0f;
    sv.E = {std::vector<float>(n), std::vector<float>(n)};
    for (int c = 0; c < n; c++) sv.E[0][c] = static_cast<float>(c * 7 % 11), sv.E[1][c] = 0.5f + static_cast<float>(c % 5);
    sv.F.assign(n, std::vector<double>(n));
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) sv.F[i][j] = 1.0 - std::fabs((i * 5 % 13) - (j * 5 % 13)) / 13.0;
    return sv;
}

// The value printed at the start of the size line of k traits.
std::string SizeField(const std::string& text, int k) {
    const std::string key = "optimal subset with " + std::to_string(k) + " traits: \t";
    const size_t at = text.find(key);
    if (at == std::string::npos) return "?";
    const size_t b = at + key.size();
    return text.substr(b, text.find('\n', b) - b);
}

// On the construction at 14, 20 and 30 communities, at two sets of scales s_c, the subset of all
// traits is -999 under Mantel for r(XE) (1: each OTU its own fuzzy type, every two alike but for
// two traits, so X spreads nothing either), r(TE) (10: the means held in single precision, their
// distances equal to some 2^-25 of their size where single precision leaves 2^-11) and ro(PT)
// ro(TE) (14, T in double): on its intermediate line, for its size (no subset), and nowhere else.
// The subsets of all traits but one are values, the best of their size.
TEST_F(ChRankUndefined, DistancesEqualButForRoundingAreMissingAndRankNowhere) {
    for (int n : {14, 20, 30})
        for (int scale : {0, 1})
            for (int criterion : {1, 10, 14}) {
                SCOPED_TRACE(testing::Message() << n << " communities, scales " << scale << ", criterion "
                                                << criterion);
                std::vector<int> partition(n);
                for (int o = 0; o < n; o++) partition[o] = o + 1;
                LoadSurvey(EqualDistances(n, scale), criterion, partition);
                nMinTraitsChRank = n - 1, nMaxTraitsChRank = n, printRankIntermedResults = 'y';
                ASSERT_EQ(RunCriterion(criterion), kChRankDone);
                const std::string text = Read("s1ChRank.txt");
                std::vector<int> all(n);
                for (int t = 0; t < n; t++) all[t] = t;
                const std::string line = LineOfAll(text, n);
                ASSERT_FALSE(line.empty());
                // The criterion's value on the line: first (1, 10) or after its name (14).
                const char* name = criterion == 14 ? "roBetaNiche=\t" : "";
                const size_t at = line.find(name);
                ASSERT_NE(at, std::string::npos) << line;
                EXPECT_EQ(std::atof(line.c_str() + at + std::string(name).size()), -999.0) << line;
                EXPECT_EQ(tnxtest::Count(text, "\t" + Printed(all)), 1);
                const std::string size = SizeField(text, n);
                EXPECT_EQ(std::atof(size.c_str()), -999.0) << size;
                EXPECT_NE(size.find("none"), std::string::npos) << size;
                const std::string fewer = SizeField(text, n - 1);
                const double v = std::atof(fewer.c_str());
                EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0 && fewer.find("none") == std::string::npos) << fewer;
            }
}

// The stepwise search holds the means in single precision too: on the construction its one
// candidate of all the traits (the search starting at that size) prints ro(TE) -999, its
// distances equal but for rounding; each candidate of all the traits but one (two of them) prints
// a value.
TEST_F(ChRankUndefined, TheStepwiseSearchJudgesTheDistancesOfItsSinglePrecisionMeans) {
    for (int n : {14, 20, 30})
        for (int size : {n, n - 1}) {
            SCOPED_TRACE(testing::Message() << n << " communities, " << size << " traits");
            std::vector<int> partition(n);
            for (int o = 0; o < n; o++) partition[o] = o + 1;
            LoadSurvey(EqualDistances(n, 0), 9, partition);
            CountGroupsNew(tcst, partition_OTUs, &nGrPoly[0], nullptr);
            nMinTraitsChRank = nMaxTraitsChRank = size, printRankIntermedResults = 'y';
            ChRankAssemblyRulesStepwise();
            const std::string text = Read("s1ChRank.txt");
            const int lines = tnxtest::Count(text, "\nro(TE)=\t");
            EXPECT_EQ(lines, size == n ? 1 : 2);
            EXPECT_EQ(tnxtest::Count(text, "\nro(TE)=\t-999\t"), size == n ? 1 : 0);
        }
}

// Two OTUs, W = (a_c, 10 - a_c) with a = 0, 4, 2, 7, 10, 9 (each OTU missing from one community, so
// that the smoothed compositions vary): every table the searches form from W (T, X
// over fuzzy or crisp types, P over the taxa) is affine in a_c, so DT, DX and DP are multiples of
// |a_i - a_j| and ro(XT) = ro(PT) = ro(PX) = 1. A partial that removes T or P from a matrix they
// explain has nothing left to compare: -999, ranked nowhere (every subset, every size "none"),
// where the library's partial correlation gives 0. So are the criteria ro(XE.T) (9), ro(PX.T)
// (12), r(XE.TR) (17), r(XZ.T) (20), r(XY.T) (23); the simple r(XE) (1), ro(PX) (11) and ro(PT)
// (13) are values, and the niche products ro(PT) ro(TE) (14) and ro(PX) ro(XE) (15) values beside
// the partials they print, each -999. A third OTU of its own abundance takes the proportion away:
// every value a number.
TEST_F(ChRankUndefined, APartialWhoseControlCorrelatesOneIsMissingAndRanksNowhere) {
    const std::vector<int> partials = {9, 12, 17, 20, 23};
    for (bool third : {false, true})
        for (int criterion : {1, 9, 11, 12, 13, 14, 15, 17, 20, 23}) {
            SCOPED_TRACE(testing::Message() << (third ? "three OTUs" : "two OTUs") << ", criterion " << criterion);
            Survey sv = RandomSurvey(41, 2, third ? 3 : 2, 6, 2, true);
            const float a[6] = {0, 4, 2, 7, 10, 9};
            for (int c = 0; c < 6; c++) {
                sv.W[0][c] = a[c], sv.W[1][c] = 10 - a[c];
                if (third) sv.W[2][c] = 1 + static_cast<float>(c * c % 5);
            }
            LoadSurvey(sv, criterion, third ? std::vector<int>{1, 2, 3} : std::vector<int>{1, 2});
            printRankIntermedResults = 'y';
            ASSERT_EQ(RunCriterion(criterion), kChRankDone);
            const std::string text = Read("s1ChRank.txt");
            const bool missing = !third && std::find(partials.begin(), partials.end(), criterion) != partials.end();
            for (int k = 1; k <= 2; k++) {
                const std::string size = SizeField(text, k);
                const double v = std::atof(size.c_str());
                if (missing) {
                    EXPECT_EQ(v, -999.0) << size;
                    EXPECT_NE(size.find("none"), std::string::npos) << size;
                } else {
                    EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0 && size.find("none") == std::string::npos) << size;
                }
            }
            // The three subsets' intermediate lines: the partials printed -999 (none with a third OTU).
            const std::vector<std::string> fields =
                criterion == 9                        ? std::vector<std::string>{"\tro(XE.T)=\t-999\t"}
                : criterion >= 11 && criterion <= 13 ? std::vector<std::string>{"\tro(PX.T)=\t-999\t"}
                : criterion == 14 || criterion == 15
                    ? std::vector<std::string>{"\tro(PX.T)=\t-999\t", "\tro(XE.T)=\t-999\t", "\tro(TE.P)=\t-999\t",
                                               "\tro(PE.T)=\t-999\t", "\tro(XE.P)=\t-999\t", "\tro(XE.PT)=\t-999\t",
                                               "\troAlphaNiche=\t-999\t"}
                : criterion == 1 ? std::vector<std::string>{}
                                 : std::vector<std::string>{")=\t-999\tTraits:\t"};
            for (const std::string& field : fields) EXPECT_EQ(tnxtest::Count(text, field), third ? 0 : 3) << field;
            // No other value on the lines is -999.
            EXPECT_EQ(tnxtest::Count(text, "=\t-999\t"), third ? 0 : static_cast<int>(fields.size()) * 3);
            if (!third && (criterion == 9 || criterion == 11)) {
                const size_t at = text.find("ro(XT)=\t");
                ASSERT_NE(at, std::string::npos);
                EXPECT_NEAR(std::atof(text.c_str() + at + 8), 1.0, 1e-6);
            }
        }
}

// The stepwise search on the two-OTU survey: ro(XT) = 1 leaves every candidate's ro(XE.T) -999, so
// no level has a value and none carries a trait on; with the third OTU every level has one.
TEST_F(ChRankUndefined, TheStepwiseSearchCarriesNoCandidateWhoseControlCorrelatesOne) {
    for (bool third : {false, true}) {
        SCOPED_TRACE(third ? "three OTUs" : "two OTUs");
        Survey sv = RandomSurvey(41, 2, third ? 3 : 2, 6, 2);
        const float a[6] = {0, 4, 2, 7, 10, 9};
        for (int c = 0; c < 6; c++) {
            sv.W[0][c] = a[c], sv.W[1][c] = 10 - a[c];
            if (third) sv.W[2][c] = 1 + static_cast<float>(c * c % 5);
        }
        LoadSurvey(sv, 9, third ? std::vector<int>{1, 2, 3} : std::vector<int>{1, 2});
        CountGroupsNew(tcst, partition_OTUs, &nGrPoly[0], nullptr);
        printRankIntermedResults = 'y';
        ChRankAssemblyRulesStepwise();
        const std::string text = Read("s1ChRank.txt");
        // Level 1 evaluates both traits; with no value it carries none, and level 2 evaluates none.
        EXPECT_EQ(tnxtest::Count(text, "\tro(XE.T)=\t-999\t"), third ? 0 : 2);
        EXPECT_EQ(tnxtest::Count(text, "\nro(TE)="), third ? 3 : 2);
        for (int k = 1; k <= 2; k++) {
            const std::string size = SizeField(text, k);
            EXPECT_EQ(size.rfind("none", 0) == 0, !third) << size;
        }
    }
}

}  // namespace
