// Values the trait-subset searches leave undefined, written -999 and ranked nowhere: a subset whose
// distances are equal but for the rounding of the precision they were computed in, and a partial
// Mantel correlation whose control correlates +-1 with a matrix it compares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXCHORDSTEP.h"

namespace {

using namespace chranktest;

class ChRankUndefined : public tnxtest::TempDirTest {};

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
    sv.W.assign(n, std::vector<float>(n, 0.0f));
    sv.E.assign(2, std::vector<float>(n));
    sv.F.assign(n, std::vector<double>(n));
    for (int t = 0; t < n; t++) {
        const float st = scale == 0 ? 1.0f + 0.37f * static_cast<float>(t)
                                    : std::ldexp(1.0f + 0.1f * static_cast<float>(t), t % 9 - 4);
        for (int o = 0; o < n; o++) sv.B[o][t] = (o == t ? 2.0f : 1.0f) * st;
        sv.W[t][t] = 1.0f;
        sv.E[0][t] = static_cast<float>(t * 7 % 11), sv.E[1][t] = 0.5f + static_cast<float>(t % 5);
        for (int j = 0; j < n; j++) sv.F[t][j] = 1.0 - std::fabs((t * 5 % 13) - (j * 5 % 13)) / 13.0;
    }
    return sv;
}

// Two OTUs, W = (a_c, 10 - a_c) with a = 0, 4, 2, 7, 10, 9 over six communities (each OTU missing
// from one, so that the smoothed compositions vary), or a third OTU of its own abundance beside.
Survey TwoShares(bool third) {
    Survey sv = RandomSurvey(41, 2, third ? 3 : 2, 6, 2, true);
    const float a[6] = {0, 4, 2, 7, 10, 9};
    for (int c = 0; c < 6; c++) {
        sv.W[0][c] = a[c], sv.W[1][c] = 10 - a[c];
        if (third) sv.W[2][c] = 1 + static_cast<float>(c * c % 5);
    }
    return sv;
}

// Fourteen communities, community c holding OTU c alone (r/near_equal_distances.R). Traits t1..t14
// are 2 at their own OTU and 1 elsewhere, which puts every pair at sqrt(2/17); t15 = 1 + a u_o,
// u_o = (5 o mod 14) / 13, spreads the distances over all 15 traits by a relative sd that grows
// with a^2 (a = 0: none). With ownValues there is no t15 and trait t's own value is 2 + 10^-3 v_t,
// v_t = (3 t mod 14) / 13: community c lies at sqrt(x_i + x_j) from the others, x_c growing with
// v_c, every distance within 8.1e-4 of the largest. The environment: (5 c mod 14, 8 (3 c mod 7)),
// or with ownValues variable c at w_c = 1 + v_c / 50 + ((7 c mod 13) / 12 - 1/2) / 250 in community
// c and 0 elsewhere, so that DE lies close to the pattern of DT.
Survey NearEqual(double a, bool ownValues) {
    const int n = 14;
    Survey sv;
    sv.n = sv.s = n, sv.p = ownValues ? n : n + 1, sv.v = ownValues ? n : 2;
    sv.types.assign(sv.p, 3);
    sv.B.assign(n, std::vector<float>(sv.p, 1.0f));
    sv.W.assign(n, std::vector<float>(n, 0.0f));
    sv.E.assign(sv.v, std::vector<float>(n, 0.0f));
    for (int o = 0; o < n; o++) {
        const double v = (3 * o % 14) / 13.0, w = 1 + 0.02 * v + 0.004 * ((7 * o % 13) / 12.0 - 0.5);
        sv.B[o][o] = ownValues ? static_cast<float>(2 + 1e-3 * v) : 2.0f;
        if (!ownValues) sv.B[o][n] = static_cast<float>(1 + a * ((5 * o % 14) / 13.0));
        sv.W[o][o] = 1.0f;
        if (ownValues) sv.E[o][o] = static_cast<float>(w);
        if (!ownValues) sv.E[0][o] = static_cast<float>(5 * o % 14), sv.E[1][o] = static_cast<float>(8 * (3 * o % 7));
    }
    return sv;
}

// The result file of criterion `criterion` (0: the stepwise search) over the subsets of kMin to kMax
// traits, each OTU its own fuzzy type or, given crispTypes, OTU o in crisp type o mod crispTypes,
// with the intermediate lines.
std::string RunSearch(const Survey& sv, int criterion, int kMin, int kMax, int crispTypes = 0) {
    std::vector<int> partition(sv.s);
    for (int o = 0; o < sv.s; o++) partition[o] = crispTypes > 0 ? o % crispTypes + 1 : o + 1;
    LoadSurvey(sv, criterion == 0 ? 9 : criterion, partition);
    if (crispTypes > 0) fuzzy = 0;
    nMinTraitsChRank = kMin, nMaxTraitsChRank = kMax, printRankIntermedResults = 'y';
    if (criterion == 0) {
        CountGroupsNew(tcst, partition_OTUs, &nGrPoly[0], nullptr);
        ChRankAssemblyRulesStepwise();
    } else if (RunCriterion(criterion) != kChRankDone) {
        return "";
    }
    return tnxtest::Slurp("s1ChRank.txt");
}

// What follows "optimal subset with k traits: \t" on its line.
std::string SizeField(const std::string& text, int k) {
    const std::string key = "optimal subset with " + std::to_string(k) + " traits: \t";
    const size_t at = text.find(key);
    if (at == std::string::npos) return "?";
    return text.substr(at + key.size(), text.find('\n', at) - at - key.size());
}

// On the construction at 14, 20 and 30 communities, at two sets of scales s_c, the subset of all
// traits is -999 under Mantel for r(XE) (1: each OTU its own fuzzy type, every two alike but for
// two traits, so X spreads nothing either), r(TE) (10: the means held in single precision, their
// distances equal to some 2^-25 of their size where single precision leaves 2^-11) and ro(PT)
// ro(TE) (14, T in double): on its intermediate line, for its size (no subset), and nowhere else.
// The subsets of all traits but one are values, the best of their size. The stepwise search holds
// the means in single precision too: its one candidate of all the traits (the search starting at
// that size) prints ro(TE) -999; each of its two candidates of all the traits but one, a value.
TEST_F(ChRankUndefined, DistancesEqualButForRoundingAreMissingAndRankNowhere) {
    for (int n : {14, 20, 30})
        for (int scale : {0, 1})
            for (int criterion : {1, 10, 14, 0}) {
                SCOPED_TRACE(testing::Message() << n << " communities, scales " << scale << ", criterion "
                                                << criterion);
                std::string all;
                for (int t = 0; t < n; t++) all += "\tt" + std::to_string(t + 1);
                if (criterion == 0) {
                    EXPECT_EQ(tnxtest::Count(RunSearch(EqualDistances(n, scale), 0, n, n), "\nro(TE)=\t-999\t"), 1);
                    const std::string fewer = RunSearch(EqualDistances(n, scale), 0, n - 1, n - 1);
                    EXPECT_EQ(tnxtest::Count(fewer, "\nro(TE)=\t"), 2);
                    EXPECT_EQ(tnxtest::Count(fewer, "\nro(TE)=\t-999\t"), 0);
                    continue;
                }
                const std::string text = RunSearch(EqualDistances(n, scale), criterion, n - 1, n);
                const size_t at = text.find(all + "\t");
                ASSERT_NE(at, std::string::npos);
                const std::string line = text.substr(text.rfind('\n', at) + 1, at - text.rfind('\n', at) - 1);
                // The criterion's value on the line: first (1, 10) or after its name (14).
                const std::string name = criterion == 14 ? "roBetaNiche=\t" : "";
                ASSERT_NE(line.find(name), std::string::npos) << line;
                EXPECT_EQ(std::atof(line.c_str() + line.find(name) + name.size()), -999.0) << line;
                EXPECT_EQ(tnxtest::Count(text, all + "\t"), 1);
                const std::string size = SizeField(text, n), fewer = SizeField(text, n - 1);
                EXPECT_TRUE(std::atof(size.c_str()) == -999.0 && size.find("none") != std::string::npos) << size;
                const double v = std::atof(fewer.c_str());
                EXPECT_TRUE(v != -999.0 && std::fabs(v) <= 1.0 && fewer.find("none") == std::string::npos) << fewer;
            }
}

// On the two-OTU survey every table the searches form from W (T, X over the fuzzy types, P over
// the taxa) is affine in a_c, so DT, DX and DP are multiples of |a_i - a_j| and ro(XT) = ro(PT) =
// ro(PX) = 1. A partial that removes T or P from a matrix they explain has nothing left to
// compare: -999, ranked nowhere (every subset, every size "none"), where the library's partial
// correlation gives 0. So are the criteria ro(XE.T) (9), ro(PX.T) (12), r(XE.TR) (17), r(XZ.T)
// (20), r(XY.T) (23) and every candidate of the stepwise search (0), which then carries none on;
// the simple r(XE) (1), ro(PX) (11) and ro(PT) (13) are values, and the niche products ro(PT)
// ro(TE) (14) and ro(PX) ro(XE) (15) values beside the partials they print, each -999. The third
// OTU takes the proportion away: every value a number.
TEST_F(ChRankUndefined, APartialWhoseControlCorrelatesOneIsMissingAndRanksNowhere) {
    const std::vector<int> partials = {9, 12, 17, 20, 23, 0};
    const std::vector<std::string> niche = {"\tro(PX.T)=\t-999\t", "\tro(XE.T)=\t-999\t", "\tro(TE.P)=\t-999\t",
                                            "\tro(PE.T)=\t-999\t", "\tro(XE.P)=\t-999\t", "\tro(XE.PT)=\t-999\t",
                                            "\troAlphaNiche=\t-999\t"};
    for (bool third : {false, true})
        for (int criterion : {1, 9, 11, 12, 13, 14, 15, 17, 20, 23, 0}) {
            SCOPED_TRACE(testing::Message() << (third ? "three OTUs" : "two OTUs") << ", criterion " << criterion);
            const std::string text = RunSearch(TwoShares(third), criterion, 1, 2);
            ASSERT_FALSE(text.empty());
            const bool missing = !third && std::find(partials.begin(), partials.end(), criterion) != partials.end();
            for (int k = 1; k <= 2; k++) {
                const std::string size = SizeField(text, k);
                const double v = std::atof(size.c_str());
                EXPECT_EQ(size.find("none") != std::string::npos, missing) << size;
                EXPECT_TRUE(missing ? v == -999.0 || size == "none" : v != -999.0 && std::fabs(v) <= 1.0) << size;
            }
            // The intermediate lines (three subsets; the stepwise search's two candidates of the first
            // level, or three with a value to carry on): the partials printed -999, and no other value.
            const std::vector<std::string> fields =
                criterion == 9 || criterion == 0      ? std::vector<std::string>{"\tro(XE.T)=\t-999\t"}
                : criterion >= 11 && criterion <= 13 ? std::vector<std::string>{"\tro(PX.T)=\t-999\t"}
                : criterion == 14 || criterion == 15 ? niche
                : criterion == 1                     ? std::vector<std::string>{}
                                                     : std::vector<std::string>{")=\t-999\tTraits:\t"};
            const int lines = criterion != 0 ? 3 : third ? 3 : 2;
            if (criterion != 1) {
                EXPECT_EQ(tnxtest::Count(text, criterion == 0 ? "\nro(TE)=" : "Traits:\t"), lines);
            }
            for (const std::string& field : fields) EXPECT_EQ(tnxtest::Count(text, field), third ? 0 : lines) << field;
            EXPECT_EQ(tnxtest::Count(text, "=\t-999\t"), third ? 0 : static_cast<int>(fields.size()) * lines);
            if (!third && (criterion == 9 || criterion == 11 || criterion == 0)) {
                const size_t at = text.find("ro(XT)=\t");
                ASSERT_NE(at, std::string::npos);
                EXPECT_NEAR(std::atof(text.c_str() + at + 8), 1.0, 1e-6);
            }
        }
}

// Distances that lie close together but differ beyond the rounding of the single-precision means
// they come from are values, ranked as R ranks them (r/near_equal_distances.R: vegan's mantel, the
// Pearson correlation of the distances, and the stepwise candidate's partial). The bound a subset's
// distances are judged against (2 g sqrt(sum m_t^2) + 4u of the largest, u = 2^-24, g = 2.5u) is
// here about 1.8e-6 of their mean. On the survey of t15 at relative sds 1e-3, 3e-4 and 1e-5 the
// subset of all 15 traits has r(TE) 0.0704421, 0.0705054 and 0.0705314, 7th of the 15 values of
// the subsets of 14 and 15 traits (t1..t14 alone: equal distances, -999), of the 9 above 0 that
// the list of the best subsets holds; at 1e-6 and at a = 0 its distances lie within that bound
// of each other: -999, ranked nowhere. The survey of own values (relative sd 1.9e-4): r(TE)
// 0.9788395, the first of its 8 above 0. The stepwise search's candidate of all 15
// traits with crisp types o mod 3: ro(XE.T) -0.0958 at 1e-5, and at a = 0, where T is flat,
// ro(TE) and ro(XE.T) -999 (never the simple ro(XE)) and the level without a subset.
TEST_F(ChRankUndefined, DistancesThatDifferBeyondTheirRoundingAreValuesOfTheirRank) {
    const struct {
        const char* what;
        double a;
        bool ownValues;
        int criterion, kMin, kMax;
        double value;  // -999: none
        int rank;      // in the list of the best subsets, 1 the first; 0 nowhere
        int listed;    // the values in that list: those above 0
    } rows[] = {
        {"sd 1e-3", 0.127471, false, 10, 14, 15, 0.07044209, 7, 9},
        {"sd 3e-4", 0.0677658, false, 10, 14, 15, 0.07050539, 7, 9},
        {"sd 1e-5", 0.0120496, false, 10, 14, 15, 0.07053143, 7, 9},
        {"sd 1e-6", 0.00379368, false, 10, 14, 15, -999, 0, 8},
        {"equal", 0, false, 10, 14, 15, -999, 0, 8},
        {"own values", 0, true, 10, 13, 14, 0.9788395, 1, 8},
        {"stepwise, sd 1e-5", 0.0120496, false, 0, 15, 15, -0.0958, 0, 0},
        {"stepwise, equal", 0, false, 0, 15, 15, -999, 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const std::string text = RunSearch(NearEqual(r.a, r.ownValues), r.criterion, r.kMin, r.kMax, 3);
        std::string all;
        for (int t = 0; t < r.kMax; t++) all += "t" + std::to_string(t + 1) + "\t";
        // The line of the subset of all traits: its value first, or ro(XE.T) on the stepwise search's.
        const size_t at = text.find("\t" + all + "\n");
        ASSERT_NE(at, std::string::npos) << text;
        const std::string line = text.substr(text.rfind('\n', at) + 1, at - text.rfind('\n', at) - 1);
        const size_t field = r.criterion == 0 ? line.find("ro(XE.T)=\t") + 10 : 0;
        const std::string size = SizeField(text, r.kMax);
        if (r.value == -999) {
            EXPECT_EQ(std::atof(line.c_str() + field), -999.0) << line;
            EXPECT_NE(size.find("none"), std::string::npos) << size;
            EXPECT_TRUE(r.criterion != 0 || line.rfind("ro(TE)=\t-999\t", 0) == 0) << line;
        } else {
            EXPECT_NEAR(std::atof(line.c_str() + field), r.value, 2e-6) << line;
            EXPECT_NEAR(std::atof(size.c_str()), r.value, 2e-6) << size;
        }
        if (r.criterion == 0) continue;
        // The list of the best subsets: a line per value, the first the best, the subset's at its rank.
        const size_t from = text.find("Trait subsets with maximum rank:\n"), to = text.find("\n\n", from);
        ASSERT_NE(to, std::string::npos);
        const std::string list = text.substr(from, to + 1 - from), mine = "\t" + all + "\n";
        const size_t first = list.find(mine);  // on the line after the two of the heading, + its rank
        EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 2 + r.listed) << list;
        EXPECT_EQ(first == std::string::npos ? 0 : std::count(list.begin(), list.begin() + first, '\n') - 1, r.rank);
        EXPECT_EQ(list.rfind(mine), first) << list;
    }
}

}  // namespace
