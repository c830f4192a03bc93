// The stepwise search for ro(XE.T) against a greedy loop over candidates recomputed from scratch,
// R and hand values; the candidates of each level, the refusals and the whole-or-nothing files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "common/ErrorCode.h"
#include "matrix/qwlibCluster.h"
#include "matrix/qwlibOrdination.h"
#include "matrix/qwlibPartition.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORDSTEP.h"

namespace {

using namespace chranktest;

template <class... A>
std::string Fmt(const char* format, A... a) {
    char buf[160];
    snprintf(buf, sizeof buf, format, a...);
    return buf;
}

// Loads the survey (its sizes taken from B, W and E when not set), types from `partition`, runs
// the search (structures saved) and returns the result file.
std::string RunStepwise(Survey sv, const std::vector<int>& partition, int fuzzyOpt, int method, int rese) {
    if (sv.p == 0) sv.p = sv.B[0].size(), sv.s = sv.B.size(), sv.n = sv.W[0].size(), sv.v = sv.E.size();
    sv.types.resize(sv.p, 3);
    LoadSurvey(sv, 9, partition);
    CountGroupsNew(tcst, partition_OTUs, &nGrPoly[0], nullptr);
    fuzzy = fuzzyOpt, clusMethPoolCSTs = method, rese_opt = rese, nMaxCSTGroupsChRank = 4;
    printRankIntermedResults = 'y', saveStruct = 'y';
    ChRankAssemblyRulesStepwise();
    return tnxtest::Slurp("s1ChRank.txt");
}

// The intermediate lines, one per evaluation.
std::vector<std::string> Intermediate(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (l.rfind("ro(TE)=", 0) == 0) lines.push_back(l);
    return lines;
}

// ro(XE.T) of one candidate computed afresh and its number of types, best over them: the means
// and the Gower similarity of its traits alone; the user's types, or the cuts of a clustering
// (2 up to the groups present and 4; a single trait not on an interval scale: its states).
int evaluations = 0, valued = 0;  // evaluations, and those with a value

std::pair<double, int> FromScratch(std::vector<int> subset) {
    const int n = ncsm, s = tcst, k = subset.size(), t0 = subset[0];
    std::sort(subset.begin(), subset.end());
    double **DE = RawEnvironmentDistance(), **DT = TraitDistanceFloat(subset, rese_opt), **DX = dim2Double(n, n);
    float **S = SubsetSimilarity(subset), **W = dim2Dfloat(n, s), **U = dim2Dfloat(s, s), **X = dim2Dfloat(n, s);
    std::vector<int> labels(partition_OTUs, partition_OTUs + s), mono(s);
    std::vector<clusterReport> rep(s - 1);
    std::vector<std::vector<int>> members(s - 1, std::vector<int>(s));
    int lo = nGrPoly[0], hi = nGrPoly[0], nMono = 0;
    if (clusMethPoolCSTs != 0) {
        for (int i = 0; i < s - 1; i++) rep[i].members = members[i].data();
        ClusterIdenticals(s, S, mono.data(), &nMono, false);
        lo = 2, hi = std::min(nMono, k > 1 ? 4 : chtype[t0] == 3 ? std::min(onsta[t0], 4) : onsta[t0]);
        if (k == 1 && chtype[t0] != 3) lo = std::max(2, hi);
        CorrToSqDist(s, S, U);
        if (clusMethPoolCSTs == 3) SumSqCluster(s, U, rep.data(), true);
        if (clusMethPoolCSTs != 3) LinkageCluster(s, S, rep.data(), false, false, clusMethPoolCSTs, true);
    }
    for (int c = 0; c < n; c++)
        for (int o = 0; o < s; o++) W[c][o] = cadat[o][c];
    const float te = MatrixCorr(n, DE, DT);
    // Distances all equal (the chord distances of one column): T is flat and no type gives a value.
    bool flatT = true;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) flatT = flatT && DT[i][j] == DT[0][1];
    std::pair<double, int> best = {-DBL_MAX, 0};
    for (int g = lo; g <= hi; g++) {
        if (clusMethPoolCSTs != 0) GetClusterPartitionNew(s, g, labels.data(), rep.data(), clusMethPoolCSTs);
        fuzzy == 3 ? FuzzyBelonging(s, g, S, labels.data(), U, false) : CrispBelonging(s, g, labels.data(), U);
        MatrixProdMV(n, s, s, g, W, U, X);
        NominalReseNonHier(n, g, X, DX, rese_opt);
        const float xe = MatrixCorr(n, DE, DX), xt = MatrixCorr(n, DT, DX);
        const float v = (xe - xt * te) / (std::sqrt(1.0f - xt * xt) * std::sqrt(1.0f - te * te));
        if (!flatT && v > best.first) best = {v, g};
        evaluations++, valued += flatT ? 0 : 1;
    }
    free2D(DE, n), free2D(DT, n), free2D(DX, n), free2D(S, s), free2D(W, n), free2D(U, s), free2D(X, n);
    return best;
}

class ChRankStepwise : public tnxtest::TempDirTest {};

TEST_F(ChRankStepwise, EachLevelIsTheGreedyStepRecomputedFromScratch) {
    // Seed 15: t4 is best alone, then {t4, t1} and {t4, t2} tie at the best of level 2, where t2
    // comes first (t1 went to t4's place). Seed 32: with one column the chord distances of T are
    // all 0, so that no single trait has a value: no level has a subset. A constant t4 forms 1
    // monothetic group: not
    // evaluated alone. {seed, fuzzy, clustering, rese, t1 binary, t2 a copy of t1, t4 constant}.
    const int cases[][7] = {{15, 3, 0, 6, 0, 1, 0}, {32, 0, 0, 10, 0, 0, 0}, {33, 3, 1, 6, 1, 1, 1},
                            {34, 3, 3, 8, 0, 0, 1}, {35, 0, 4, 6, 1, 0, 0}};
    for (const auto& c : cases) {
        Survey sv = RandomSurvey(c[0], 4, 9, 7, 2);
        for (auto& row : sv.B) {
            if (c[4]) row[0] = row[0] > 5.0f ? 1.0f : 0.0f, sv.types[0] = 1;
            if (c[5]) row[1] = row[0];
            if (c[6]) row[3] = 5.0f;
        }
        const std::string text = RunStepwise(sv, {1, 2, 3, 1, 2, 3, 1, 2, 3}, c[1], c[2], c[3]);
        // The greedy loop: the candidate exchanged into position k, the first best kept there.
        std::vector<int> order = {0, 1, 2, 3};
        evaluations = valued = 0;
        std::string labels, groups, values;
        for (int k = 1; k <= 4; k++) {
            std::pair<double, int> best = {-DBL_MAX, 0}, b;
            int at = -1;
            for (int j = k - 1; j < 4; j++) {
                std::swap(order[k - 1], order[j]);
                b = FromScratch(std::vector<int>(order.begin(), order.begin() + k));
                std::swap(order[k - 1], order[j]);
                if (b.first > best.first) best = b, at = j;
            }
            if (at < 0) {  // no candidate has a value: this level and those above have no subset
                for (; k <= 4; k++) labels += "none\n", groups += Fmt("%-5d\t", 0), values += Fmt("%-13s\t", "none");
                break;
            }
            std::swap(order[k - 1], order[at]);
            std::string level;
            for (int i = 0; i < k; i++) level += "t" + std::to_string(order[i] + 1) + "\t";
            labels += level + "\n", groups += Fmt("%-5d\t", best.second), values += Fmt("%-13.6g\t", best.first);
            EXPECT_NE(text.find(Fmt("with %d traits: \t%-12.6g\t%d groups\t", k, best.first, best.second) + level),
                      std::string::npos) << c[0] << " level " << k;
        }
        EXPECT_TRUE(c[0] != 15 || text.find("\nt4\tt2\t\n") != std::string::npos);
        // The summary stands first, ahead of the lines that explain it; then the options, with
        // at most 4 types cut from a clustering or the user's 3.
        EXPECT_EQ(text.rfind(labels + groups + "\n" + values + "\n\nThe trait subsets listed above", 0), 0u) << c[0];
        EXPECT_EQ(tnxtest::Count(text, std::string("\nRanking criterion: 9 (Trait-divergence assembly patterns, TDAP)\n"
                                                   "Pooling of populations: 2 (polythetic)\nClustering method defining "
                                                   "types: ") + clusMethInfo[c[2]] +
                                           "\nGower similarity index modified to count matching absences in binary "
                                           "traits? not\nRanking algorithm: 1 (stepwise)\nAll traits were considered "
                                           "in the computation of Gower similarity index between populations.\n"
                                           "Maximum number of types examined: " + (c[2] ? "4" : "3") +
                                           "\nFuzzy transformation: " +
                                           fuzzyInfo[c[1]] + "\nResemblance option between communities: " +
                                           rese_optInfo[c[3] - 1] + "\n"),
                  1) << c[0];
        // One line per evaluation, each offered to the first list, which takes those with a value;
        // its other slots keep -DBL_MAX.
        EXPECT_EQ(int(Intermediate(text).size()), evaluations) << c[0];
        EXPECT_EQ(tnxtest::Count(text, "-1.79769e+308\t0 groups\t\n"), 100 - valued);
        // The structure file: DE first; each evaluation's line as in the result file.
        const std::string st = Read("s1Str.txt");
        EXPECT_EQ(st.rfind("Resemblance matrix between 7 relevés based on 2 environmental variables:\n", 0), 0u);
        for (const std::string& line : Intermediate(text))
            EXPECT_NE(st.find("\nTrait ranking criterion:\t" + line + "\n"), std::string::npos) << line;
        EXPECT_EQ(tnxtest::Count(st, " monothetic population groups.\n"), c[2] ? 10 : 0);
    }
}

// Per-level values against R (crisp types) and by hand (one trait, crisp types {o1 o2 | o3} or
// {o1 | o2}), the partial correlation whose control T correlates +-1 with DX or DE (-999: the
// candidate has no value and the level none, its line ro(XE.T) -999) and the two-community rule.
TEST_F(ChRankStepwise, LevelValuesAgainstRAndHand) {
    const double none = -999;  // the level has no value
    const struct {
        std::vector<std::vector<float>> B, W, E;
        std::vector<int> partition;
        std::vector<double> values;
        double tolerance;
        std::vector<std::string> labels;
        const char* control = nullptr;  // the correlation of +-1 on the line of a level without value
    } cases[] = {
        {{{1, 5, 2, 0}, {3, 1, 4, 2}, {4, 2, 1, 5}, {2, 4, 5, 1}, {5, 3, 3, 4}},
         {{4, 0, 1, 2, 0}, {1, 3, 0, 2, 1}, {0, 2, 3, 0, 4}, {2, 1, 0, 3, 1}, {0, 1, 4, 1, 3}},
         {{1, 3, 6, 2, 7}, {4, 2, 1, 5, 2}}, {1, 1, 2, 3, 3}, {0.969117, 0.9434461, 0.9141254, 0.8845911}, 2e-6,
         {"3 groups", "t2", "t1", "t3", "t4"}},  // r/stepwise_crisp.R
        // 2 communities: means 3/2 and 10/3, DT = 11/sqrt(481), DE = 1, X = (2,0),(1,2), DX = sqrt 5;
        // each r = 1 - |a - b| / max(a, b): ro(TE) = 11/sqrt(481), ro(XE) = 1/sqrt(5),
        // ro(XT) = 11/sqrt(2405), and ro(XE.T) by its formula from the three.
        {{{1}, {2}, {4}}, {{1, 0}, {1, 1}, {0, 2}}, {{0, 1}}, {1, 1, 2}, {0.3970116}, 1e-6, {"2 groups", "t1"}},
        // W rows sum to 10: X = (10 - a, a) and T = a / 10 with a = 1, 2, 4, so DX is DT times a
        // constant and ro(XT) = 1: nothing of DX is left once T is removed.
        {{{0}, {1}}, {{9, 8, 6}, {1, 2, 4}}, {{0, 3, 4}}, {1, 2}, {none}, 0, {}, "\tro(XT)=\t1\t"},
        // T = 0, 1/2, 1 and X = (1,0), (10,10), (0,1): DX pairs sqrt 181, sqrt 2, sqrt 181 against
        // DT pairs 1/2, 1, 1/2: ro(XT) = -1.
        {{{0}, {1}}, {{1, 10, 0}, {0, 10, 1}}, {{0, 3, 4}}, {1, 2}, {none}, 0, {}, "\tro(XT)=\t-1\t"},
        // E = a: DE proportional to DT, ro(TE) = 1 and nothing of DE is left once T is removed.
        {{{0}, {1}}, {{9, 8, 6}, {1, 2, 4}}, {{1, 2, 4}}, {1, 2}, {none}, 0, {}, "ro(TE)=\t1\t"},
    };
    for (const auto& c : cases) {
        Survey sv;
        sv.B = c.B, sv.W = c.W, sv.E = c.E;
        const std::string text = RunStepwise(sv, c.partition, 0, 0, 6);
        for (size_t k = 1; k <= c.values.size(); k++) {
            const SizeLine line = ReadSizeLine(text, Fmt("optimal subset with %d traits: \t", int(k)));
            if (c.values[k - 1] == none) {
                EXPECT_EQ(line.value, "none") << k;
                EXPECT_TRUE(line.labels.empty()) << k;
                const std::vector<std::string> lines = Intermediate(text);
                ASSERT_EQ(lines.size(), 1u);
                EXPECT_NE(lines[0].find(c.control), std::string::npos) << lines[0];
                EXPECT_NE(lines[0].find("\tro(XE.T)=\t-999\t2 groups\t"), std::string::npos) << lines[0];
                continue;
            }
            EXPECT_NEAR(std::atof(line.value.c_str()), c.values[k - 1], c.tolerance) << k;
            EXPECT_EQ(line.labels, std::vector<std::string>(c.labels.begin(), c.labels.begin() + k + 1)) << k;
        }
    }
}

// A constant trait t4 and user types: its candidate leaves T constant, so that ro(TE) and ro(XT)
// compare a flat DT and print -999, and so does ro(XE.T), the partial given T. Every community of
// the survey holds 18 (W = 1 + (o + c) mod 3 over nine OTUs). With fuzzy types the OTUs are alike
// over t4 alone: each belongs equally to the three types, X = (6, 6, 6) in every community and DX
// is flat, so ro(XE) is -999 too. With crisp types X is the same for every subset and varies:
// ro(XE) is a value, never standing in for the partial. Either way t4 is carried nowhere (the best
// of level 1 is another trait; no other line names t4 alone). With t4 one float step above 5 for
// the OTUs 2, 3, 5, 6, 8, 9 and 5 for the others, a difference in the data that the means, rounded
// to single precision, keep as one step of theirs, within the rounding they carry (2.5 steps of
// their magnitude): as constant. With t4 4096 steps (2^-9) above 5 there, its means spread far
// beyond that: ro(TE) and ro(XT) are numbers and ro(XE.T) is a partial of its own.
TEST_F(ChRankStepwise, ACandidateOfFlatResemblancesIsMissingAndCarriedNowhere) {
    const struct {
        int fuzzyOpt, steps;
    } cases[] = {{3, 0}, {0, 0}, {0, 1}, {0, 4096}};
    for (const auto& cs : cases) {
        SCOPED_TRACE(testing::Message() << "fuzzy " << cs.fuzzyOpt << ", " << cs.steps << " float steps apart");
        Survey sv = RandomSurvey(15, 4, 9, 7, 2);
        const float up = 5.0f + static_cast<float>(cs.steps) * std::ldexp(1.0f, -21);  // steps of 2^-21 at 5
        for (int o = 0; o < sv.s; o++) sv.B[o][3] = o % 3 != 0 ? up : 5.0f;
        for (int o = 0; o < sv.s; o++)
            for (int c = 0; c < sv.n; c++) sv.W[o][c] = 1.0f + static_cast<float>((o + c) % 3);
        const std::string text = RunStepwise(sv, {1, 2, 3, 1, 2, 3, 1, 2, 3}, cs.fuzzyOpt, 0, 6);
        // The lines that name t4 alone: after the number of types, the last field.
        std::vector<std::string> alone;
        std::istringstream in(text);
        const std::string tail = " groups\tt4\t";
        for (std::string l; std::getline(in, l);)
            if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0)
                alone.push_back(l);
        ASSERT_FALSE(alone.empty());
        const std::string& line = alone[0];
        const auto value = [&](const char* field) { return std::atof(line.c_str() + line.find(field) + std::strlen(field)); };
        if (cs.steps > 1) {
            EXPECT_EQ(line.find("-999"), std::string::npos) << line;
            for (const char* field : {"ro(TE)=\t", "ro(XE)=\t", "ro(XT)=\t", "ro(XE.T)=\t"})
                EXPECT_TRUE(value(field) != 0.0 && std::fabs(value(field)) <= 1.0) << field << line;
            EXPECT_NE(value("ro(XE.T)=\t"), value("ro(XE)=\t")) << line;
            continue;
        }
        EXPECT_EQ(line.rfind("ro(TE)=\t-999\tro(XE)=\t", 0), 0u) << line;
        EXPECT_NE(line.find("\tro(XT)=\t-999\tro(XE.T)=\t-999\t3 groups\t"), std::string::npos) << line;
        EXPECT_EQ(alone.size(), 1u) << alone.back();
        const SizeLine best = ReadSizeLine(text, "optimal subset with 1 traits: \t");
        EXPECT_NE(best.labels.back(), "t4");
        EXPECT_LE(std::fabs(std::atof(best.value.c_str())), 1.0);
        if (cs.fuzzyOpt == 3) {
            EXPECT_EQ(line, "ro(TE)=\t-999\tro(XE)=\t-999\tro(XT)=\t-999\tro(XE.T)=\t-999\t3 groups\tt4\t");
        } else {
            const double xe = value("ro(XE)=\t");
            EXPECT_TRUE(xe != 0.0 && std::fabs(xe) <= 1.0) << line;
        }
    }
}

// A trait moved far from 0: t4 = 10 (o mod 5) and the same plus 3 10^6 (exact in single
// precision). Its means carry the offset; in single precision, as the stepwise search holds T,
// they fall on steps of 0.25 there, which their spread (several units) far exceeds: T varies at
// both places, and no line of the search is -999. The line of t4 alone is a value at both places
// (not the same text: the rounding of the means to single precision near 3 10^6 is coarser).
TEST_F(ChRankStepwise, ATraitFarFromZeroIsACandidateAsAtZero) {
    for (int moved = 0; moved < 2; moved++) {
        SCOPED_TRACE(moved);
        Survey sv = RandomSurvey(15, 4, 9, 7, 2);
        for (int o = 0; o < sv.s; o++) sv.B[o][3] = (moved ? 3e6f : 0.0f) + 10.0f * static_cast<float>(o % 5);
        const std::string text = RunStepwise(sv, {1, 2, 3, 1, 2, 3, 1, 2, 3}, 0, 0, 6);
        EXPECT_EQ(text.find("-999"), std::string::npos) << text;
        std::string alone;
        std::istringstream in(text);
        const std::string tail = " groups\tt4\t";
        for (std::string l; std::getline(in, l);)
            if (l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0 && alone.empty())
                alone = l;
        ASSERT_EQ(alone.rfind("ro(TE)=\t", 0), 0u) << text;
        const double te = std::atof(alone.c_str() + 8);
        EXPECT_TRUE(te != 0.0 && std::fabs(te) <= 1.0) << alone;
    }
}

// Level k tries every remaining trait (nch - k + 1), none with a trait of weight 0; no level
// below the minimum (level 2 then extends t1, first in the stored order) or above the maximum.
TEST_F(ChRankStepwise, CandidatesOfEachLevel) {
    // {trait of weight 0, minimum, maximum, candidates of levels 1 to 4, levels without a subset}:
    // with t1 excluded, level 2 extends t1 and has no candidate; level 3 then has none to extend.
    const int cases[][8] = {{-1, 1, 4, 4, 3, 2, 1, 0}, {2, 1, 4, 3, 2, 1, 0, 0}, {-1, 2, 4, 0, 3, 2, 1, 0},
                            {-1, 1, 2, 4, 3, 0, 0, 0}, {0, 2, 4, 0, 0, 0, 0, 2}};
    for (const auto& c : cases) {
        const Survey sv = RandomSurvey(51, 4, 8, 6, 2);
        LoadSurvey(sv, 9, {});
        if (c[0] >= 0) weight[c[0]] = 0.0f;
        nMinTraitsChRank = c[1], nMaxTraitsChRank = c[2];
        part = 3;  // the search works on a copy of W: the session's data stay as loaded
        const std::vector<float> before(cadat[0], cadat[0] + ncsm);
        for (int i = 0; i < tcst; i++) partition_OTUs[i] = 1 + i % 2;
        nGrPoly[0] = 2, printRankIntermedResults = 'y';
        ChRankAssemblyRulesStepwise();
        std::vector<int> perLevel(4, 0);
        for (const auto& line : Intermediate(Read("s1ChRank.txt"))) {
            perLevel[tnxtest::Count(line, "\tt") - 1]++;
            EXPECT_TRUE(c[1] != 2 || line.find("groups\tt1\t") != std::string::npos);
        }
        EXPECT_EQ(perLevel, std::vector<int>(c + 3, c + 7)) << c[0] << " " << c[1] << " " << c[2];
        EXPECT_EQ(Read("s1ChRank.txt").find("\nAll traits were considered in the computation") == std::string::npos,
                  c[0] >= 0);
        EXPECT_EQ(tnxtest::Count(Read("s1ChRank.txt"), "traits: \tnone\n"), c[7]);
        EXPECT_EQ(std::vector<float>(cadat[0], cadat[0] + ncsm), before);
    }
}

// Options 1 to 5 (and beyond 10), or fewer than 2 user types, print one line and write
// nothing; a file that cannot be created raises code 4 and leaves the other one untouched.
TEST_F(ChRankStepwise, RefusalsAndFiles) {
    const std::string rese = "\nResemblance option %d between communities is not computed by the stepwise search: "
                             "choose 6 to 10.\n";
    const std::string groups = "\nThe partition of OTUs into types has fewer than 2 groups: no subset of traits can be "
                               "evaluated.\n";
    const struct {
        int rese, groups, method;
        const char *result, *structure;
        int code;
        std::string console;
    } cases[] = {
        {5, 3, 0, "s1ChRank.txt", "", 0, Fmt(rese.c_str(), 5)}, {6, 1, 0, "s1ChRank.txt", "", 0, groups},
        {11, 3, 0, "s1ChRank.txt", "", 0, Fmt(rese.c_str(), 11)}, {6, 1, 2, "s1ChRank.txt", "", 0, ""},
        {10, 2, 0, "s1ChRank.txt", "", 0, ""},
        {6, 3, 0, "no/r.txt", "s1Str.txt", 4, ""}, {6, 3, 0, "s1ChRank.txt", "no/s.txt", 4, ""},
    };
    for (const auto& c : cases) {
        LoadSurvey(RandomSurvey(61, 3, 6, 5, 1), 9, {1, 2, 3, 1, 2, 3});
        rese_opt = c.rese, nGrPoly[0] = c.groups, clusMethPoolCSTs = c.method, saveStruct = *c.structure ? 'y' : 'n';
        snprintf(whichChorder, sizeof whichChorder, "%s", c.result);
        snprintf(whichStructures, sizeof whichStructures, "%s", c.structure);
        Write("s1ChRank.txt", "old");
        out = std::fopen("console.txt", "w");
        EXPECT_EQ(tnxtest::CodeOf([] { ChRankAssemblyRulesStepwise(); }), c.code) << c.rese << c.result;
        std::fclose(out);
        out = stdout;
        EXPECT_EQ(Read("console.txt"), c.console);
        EXPECT_EQ(Read("s1ChRank.txt") == "old", c.code != 0 || !c.console.empty()) << c.rese << c.result;
        EXPECT_FALSE(std::filesystem::exists("s1Str.txt"));
    }
}

}  // namespace
