// The character ranking against greedy and exhaustive loops written here from the hierarchy's
// own routines (every candidate recomputed from scratch, ties included); its summary, files and
// refusals; the direction of its loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "common/ErrorCode.h"
#include "matrix/core/qwlibPooling.h"
#include "matrix/qwlibCluster.h"
#include "matrix/qwlibOrdination.h"
#include "matrix/qwlibPartition.h"
#include "matrix/qwlibSumSq.h"
#include "statistics/qwlibResEntropy.h"
#include "traits/ChRankData.h"
#include "traits/HierSession.h"
#include "traits/TNXCHORDRANK.h"
#include "traits/TNXHIERRESE.h"

namespace {

using namespace chranktest;
using tnxtest::Mat;
using Order = std::vector<int>;  // 0-based trait numbers

template <class... A>
std::string Fmt(const char* format, A... a) {
    char buf[200];
    snprintf(buf, sizeof buf, format, a...);
    return buf;
}

// Eight OTUs by four traits (t2 repeats t1, so a subset holding one ties with its twin holding the
// other; o6 repeats o1), six communities in groups A A A B B B, two environmental variables.
class ChOrder : public tnxtest::ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        Survey sv = RandomSurvey(7, 4, 8, 6, 2);
        sv.B = {{1, 1, 2, 0}, {1, 1, 3, 1}, {2, 2, 2, 1}, {2, 2, 3, 0},
                {3, 3, 2, 1}, {1, 1, 2, 0}, {3, 3, 3, 1}, {2, 2, 1, 0}};
        sv.types = {2, 2, 3, 1};
        LoadSurvey(sv, 1, {});
        groupRel = groupRelP[0], grLabel = grLabelP[0], nGroups = 2;
        for (int c = 0; c < ncsm; c++) groupRel[c] = 1 + c / 3, relSelect[c] = 1;
        snprintf(grLabel[0], 5, "A"), snprintf(grLabel[1], 5, "B");
        part = 1, fuzzy = 0, fuzziness = 0.5f, poolCSTopt = 1, clusMethPoolCSTs = 1, optmain1 = 'V';
        groupDissMeth = 1, nCSTGroupsChRankRedundancy = 3, nMaxCSTGroupsChRank = 4, redundancyMeth = 2;
    }
};

// A subset from scratch: its types pooled by the hierarchy on codes of its traits alone (from a
// fresh copy of W); g > 0 clusters the types on their Gower similarity and sums (fuzzy 3:
// fuzzy-weights) the table into g groups. D: the communities' resemblance (rese_opt; fuzzy 1 and
// 2 through the types' sharpened similarity); P: the OTUs' similarity; K: the table's coherence.
struct Scratch {
    int n = ncsm, s = tcst, k, nT;
    Mat<char> codes{s, 9};
    Mat<float> W{s, n}, Sf{s, s}, Sq{s, s}, U{s, s}, G{n, s}, tot{n, 1};
    Mat<double> D{n, n}, D2{n, n}, P{s, s}, St{s, s};
    Mat<int> track{1, s};
    std::vector<int> types, labels = std::vector<int>(s, 1);
    std::vector<float> ranges, weights;
    double K = 0.0;
    Scratch(const Order& t, int g) : k(t.size()), nT(tcst) {
        for (int o = 0; o < s; o++) {
            for (int j = 0; j < k; j++) codes[o][2 * j] = csm[o][2 * t[j]], codes[o][2 * j + 1] = csm[o][2 * t[j] + 1];
            for (int c = 0; c < n; c++) W[o][c] = cadat[o][c];
        }
        for (int x : t) types.push_back(chtype[x]), ranges.push_back(chrange[x]), weights.push_back(weight[x]);
        gower_similarity(k, codes, s, P, types.data(), ranges.data(), weights.data(), countDoubleAbsence);
        char*** lc;
        float*** ld;
        Hierarchy(1, k, n, codes, &lc, &nT, W, &ld, track);
        float** table = ld[0];
        int cols = nT;
        gower_similarity(k, lc[0], nT, St, types.data(), ranges.data(), weights.data(), countDoubleAbsence);
        gower_similarity(k, lc[0], nT, Sf, types.data(), ranges.data(), weights.data(), countDoubleAbsence);
        if (g > 0) {
            std::vector<clusterReport> rep(s);
            std::vector<std::vector<int>> members(s, std::vector<int>(s));
            for (int i = 0; i < s; i++) rep[i].members = members[i].data();
            if (nT > 1 && clusMethPoolCSTs == 3) CorrToSqDist(nT, Sf, Sq), SumSqCluster(nT, Sq, rep.data(), true);
            if (nT > 1 && clusMethPoolCSTs != 3) LinkageCluster(nT, Sf, rep.data(), false, false, clusMethPoolCSTs, true);
            if (nT > 1) GetClusterPartitionNew(nT, g, labels.data(), rep.data(), clusMethPoolCSTs);
            if (fuzzy == 3) FuzzyBelonging(nT, g, Sf, labels.data(), U, false), FuzzyAdjAnyMatrix(n, nT, g, table, G, U);
            if (fuzzy != 3) ConcentrateColGroups(n, nT, table, G, g, labels.data(), 0);
            table = G, cols = g;
        }
        K = CoheCoef(n, cols, table, 1.0);
        if (g == 0 && (fuzzy == 1 || fuzzy == 2)) FuzzinessDegree_i(nT, St, fuzziness);
        if (g == 0 && fuzzy == 1) FuzzyAdj_i(n, nT, table, St);
        double N = 0.0;  // grand total and community totals summed in double, as the hierarchy's resemblance does
        for (int c = 0; c < n; c++) {
            double row = 0.0;
            for (int j = 0; j < cols; j++) row += table[c][j], N += table[c][j];
            tot[c][0] = static_cast<float>(row);
        }
        if (g == 0 && fuzzy == 2)
            PairFuzzyRese(n, cols, table, D, D2, tot, N, StatesProduct(), St, 0);
        else
            NominalRese(n, cols, table, D, D2, tot, N, StatesProduct(), 0, rese_opt);
        FreeHierarchy(1, n, &nT, lc, ld);
    }
    double** M() const { return rese_opt == 5 || rese_opt == 10 ? D2.m : D.m; }
};

double Dissimilarity(double** D) {
    double qb = 0.0, qt = 0.0;
    if (groupDissMeth == 1) return AverageDissim(ncsm, D, groupRel, relSelect);
    if (groupDissMeth == 2) return NearNeighDist(ncsm, D, groupRel, relSelect);
    BetweenGrSqDissim(ncsm, D, groupRel, &qb, &qt, relSelect, false);
    return groupDissMeth == 3 ? qb : qb >= qt ? 1.0 : qb / (qt - qb);
}

// The criterion value of a subset (`out` the trait left out; the reference cut at gRef groups),
// rounded to 6 digits.
double Judge(const Order& t, int out, int g, int gRef) {
    const int n = ncsm;
    const Scratch x(t, g);
    Mat<double> DE(n, n);
    EucliDistMV(n, nenv, env, DE.m);
    if (opt_struct == 1) return RoundDigit(MatrixCorr(n, DE.m, x.M()), 6);
    if (opt_struct == 2 || opt_struct == 3) return RoundDigit(Dissimilarity(x.M()), 6);
    if (opt_struct == 8) return RoundDigit(x.K, 6);
    const Scratch all({0, 1, 2, 3}, gRef);
    if (opt_struct == 4) return RoundDigit(MatrixCorr(tcst, all.P.m, x.P.m), 6);
    const double r = MatrixCorr(n, all.M(), x.M());
    if (opt_struct == 5) return RoundDigit(r, 6);
    const Scratch one({out}, 0);
    const double a = opt_struct == 6 ? 1.0 - MatrixCorr(n, DE.m, one.M()) : Dissimilarity(one.M());
    return RoundDigit(a * r, 6);
}

int ties = 0;  // candidates that equalled the best of their step when met

// The greedy order as the ranking builds it: place m takes in turn the trait at each place from m
// on (forward) or from m down to 0 (backward) by an exchange that is not undone; the order of the
// first strictly better value is kept. value(subset, out) -> {value, groups}. Returns the order
// and, in increasing size, each step's groups and value (NaN: none).
struct Steps {
    Order order = {0, 1, 2, 3};
    std::vector<int> groups;
    std::vector<double> values;
};
Steps Greedy(bool backward, const std::function<std::pair<double, int>(const Order&, int)>& value) {
    Steps r;
    const bool smallest = opt_struct == 2;
    for (int m = backward ? 3 : 0; backward ? m >= 1 : m < 4; m += backward ? -1 : 1) {
        double best = smallest ? DBL_MAX : -DBL_MAX;
        int bestG = 0;
        Order keep = r.order;
        for (int j = m; backward ? j >= 0 : j < 4; j += backward ? -1 : 1) {
            std::swap(r.order[m], r.order[j]);
            const auto v = value(Order(r.order.begin(), r.order.begin() + (backward ? m : m + 1)), r.order[m]);
            ties += v.first == best;
            if (smallest ? v.first < best : v.first > best) best = v.first, bestG = v.second, keep = r.order;
        }
        r.order = keep;
        const bool none = std::fabs(best) == DBL_MAX;
        r.values.insert(backward ? r.values.begin() : r.values.end(), none ? NAN : best);
        r.groups.insert(backward ? r.groups.begin() : r.groups.end(), none ? 0 : bestG);
    }
    return r;
}

std::string Summary(const Steps& st, bool grouped) {
    std::string text;
    for (int t : st.order) text += Fmt(grouped ? "t%d\t" : "t%-1d ", t + 1);
    text += "\n";
    for (int g : st.groups) text += grouped ? Fmt("%d\t", g) : "";
    text += grouped ? "\n" : "";
    for (double v : st.values) text += std::isnan(v) ? (grouped ? "none\t" : "none ") : Fmt(grouped ? "%g\t" : "%g ", v);
    return text + "\n";
}

TEST_F(ChOrder, StepwiseIsTheGreedyOrderRecomputedFromScratch) {
    // {criterion, rese_opt, fuzzy, group dissimilarity, communities used (the first ones)}. With
    // group A alone no pair of groups is left: every value is NaN and no step has a best.
    const int cases[][5] = {{1, 6, 0, 1, 6}, {1, 7, 1, 1, 6}, {2, 8, 0, 1, 6}, {3, 6, 2, 3, 6}, {4, 6, 0, 1, 6},
                            {5, 5, 0, 1, 6}, {6, 2, 0, 1, 6}, {7, 6, 0, 4, 6}, {8, 6, 0, 1, 6}, {3, 9, 0, 2, 5},
                            {2, 4, 0, 1, 6}, {7, 3, 1, 2, 5}, {3, 6, 0, 1, 3}};
    ties = 0;
    for (const auto& c : cases) {
        opt_struct = c[0], rese_opt = c[1], fuzzy = c[2], groupDissMeth = c[3];
        for (int i = 0; i < ncsm; i++) relSelect[i] = i < c[4];
        dirtyOrig = 0;
        ChOrderSearch();
        const Steps st = Greedy(c[0] >= 4 && c[0] <= 7, [](const Order& t, int out) {
            return std::make_pair(Judge(t, out, 0, 0), 0);
        });
        EXPECT_EQ(Read("s1ChRank.txt").rfind(Summary(st, false) + "\nThe traits listed above are ordered", 0), 0u)
            << c[0] << " " << c[1] << "\n" << Summary(st, false) << Read("s1ChRank.txt").substr(0, 80);
        EXPECT_EQ(Order(nchor, nchor + 4), Order({st.order[0] + 1, st.order[1] + 1, st.order[2] + 1, st.order[3] + 1}));
        EXPECT_EQ(dirtyOrig, 1);
    }
    EXPECT_GT(ties, 12);
}

TEST_F(ChOrder, ClusteredAndPolytheticTypesAreTheGreedyOrderOverTheirGroups) {
    // {member (0 clustered, 1 polythetic), criterion, fuzzy, clustering method}.
    const int cases[][4] = {{0, 1, 0, 1}, {0, 5, 3, 3}, {0, 8, 0, 2}, {0, 3, 3, 4}, {1, 5, 0, 1}, {1, 5, 1, 5}};
    for (const auto& c : cases) {
        opt_struct = c[1], fuzzy = c[2], clusMethPoolCSTs = c[3];
        c[0] ? ChOrderRedundancyPolythetic() : ChOrderSearchClusterCSTs();
        const int gRef = std::min(Scratch({0, 1, 2, 3}, 0).nT, 3);
        const Steps st = Greedy(c[1] == 5, [&](const Order& t, int out) {
            const int nT = Scratch(t, 0).nT;
            const bool nominal = t.size() == 1 && chtype[t[0]] == 2;
            if (c[0] == 1 && fuzzy != 0) return std::make_pair(Judge(t, out, 0, gRef), nT);
            int from = 2, to = std::min(nT, 4);
            if (nominal || c[0] == 1) from = to = nominal ? nT : std::min(nT, 3);
            if (!nominal && c[1] == 5 && nT > 3) from = to = 3;
            std::pair<double, int> best = {-DBL_MAX, 0};  // the first g of the largest value
            for (int g = from; g <= to; g++) best = std::max(best, std::make_pair(Judge(t, out, g, gRef), -g));
            return std::make_pair(best.first, -best.second);
        });
        EXPECT_EQ(Read("s1ChRank.txt").rfind(Summary(st, true) + "\nThe traits listed above (1st line)", 0), 0u)
            << c[0] << " " << c[1] << "\n" << Summary(st, true) << Read("s1ChRank.txt").substr(0, 80);
    }
}

TEST_F(ChOrder, AllSubsetsKeepTheFirstBestOfEachSize) {
    std::vector<Order> subsets = AllSubsets(4);  // by size, each size in the lexicographic order
    std::sort(subsets.begin(), subsets.end(), [](const Order& a, const Order& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    for (const int criterion : {1, 2, 4, 5, 8}) {
        opt_struct = criterion, printRankIntermedResults = 'y';
        ChOrderSearchAll();
        std::string labels, values;
        for (size_t k = 1; k <= 4; k++) {
            double best = criterion == 2 ? DBL_MAX : -DBL_MAX;
            Order keep;
            for (const Order& t : subsets) {
                const double v = t.size() == k ? Judge(t, -1, 0, 0) : best;
                if (criterion == 2 ? v < best : v > best) best = v, keep = t;
            }
            for (int t : keep) labels += Fmt("t%d\t", t + 1);
            labels += "\n", values += Fmt("%-13.6g\t", best);
        }
        const std::string text = Read("s1ChRank.txt");
        EXPECT_EQ(text.rfind(labels + values + "\n\nThe trait subsets listed above are optimal", 0), 0u) << criterion;
        // One intermediate line per subset, between the column heading and the elapsed time.
        const size_t from = text.find("Trait subset used:\n"), to = text.find("Elapsed time: ");
        EXPECT_EQ(tnxtest::Count(text.substr(from, to - from), "\n"), 16) << criterion;
    }
}

// A refusal prints one line and leaves the result file as it was; a file that cannot be created
// raises code 4 and leaves both files as they were. Code -1: the run goes through.
TEST_F(ChOrder, RefusalsAndFilesWrittenWholeOrNotAtAll) {
    const struct {
        void (*run)();
        int criterion, tweak, code;
        std::string console;
    } cases[] = {
        {ChOrderSearch, 1, 1, 0, "\nThis analysis needs every trait value as a whole number from 0 to 99: nothing was computed.\n"},
        {ChOrderSearch, 9, 0, 0, "\nCriterion 9 is not one of the character-ranking criteria 1 to 8.\n"},
        {ChOrderSearch, 0, 0, 0, "\nCriterion 0 is not one of the character-ranking criteria 1 to 8.\n"},
        {ChOrderSearchAll, 6, 0, 0, "\nCriteria 6 and 7 judge the trait left out at each step: the search of all subsets "
                                    "does not rank by them.\n"},
        {ChOrderSearch, 6, 2, 0, "\nThis criterion compares the communities with their environment: the data set has no "
                                 "environmental variables.\n"},
        {ChOrderSearchClusterCSTs, 7, 3, 0, "\nThis criterion compares groups of communities: the communities have no "
                                            "partition into at least 2 groups.\n"},
        {ChOrderSearch, 2, 9, 0, "\nGroup dissimilarity method 5 is not one of 1 to 4.\n"},
        {ChOrderSearch, 5, 4, 0, "\nResemblance option 11 between communities is not one of 1 to 10.\n"},
        {ChOrderSearchClusterCSTs, 1, 5, 0, "\nThe types are clustered: clustering method 0 is not one of 1 to 5.\n"},
        {ChOrderRedundancyPolythetic, 1, 6, 0, "\nThe number of CST groups of the redundancy is below 1.\n"},
        {ChOrderSearch, 1, 7, 4, ""},
        {ChOrderSearchAll, 1, 8, 4, ""},
        {ChOrderSearch, 4, 4, -1, ""},  // the OTUs' redundancy reads no resemblance of communities
        {ChOrderRedundancyPolythetic, 1, 10, -1, ""},
        {ChOrderSearch, 7, 11, -1, ""},
    };
    for (const auto& c : cases) {
        opt_struct = c.criterion, saveStruct = c.tweak == 8 ? 'y' : 'n';
        Write("s1ChRank.txt", "old");
        if (c.tweak == 1) free2D(csm, tcst), csm = nullptr;
        nenv = c.tweak == 2 ? 0 : 2, nGroups = c.tweak == 3 ? 1 : 2, rese_opt = c.tweak == 4 ? 11 : 6;
        clusMethPoolCSTs = c.tweak == 5 ? 0 : 1, nCSTGroupsChRankRedundancy = c.tweak == 6 ? 0 : c.tweak == 10 ? 1 : 3;
        groupDissMeth = c.tweak == 9 ? 5 : c.tweak == 11 ? 4 : 1;
        snprintf(whichChorder, sizeof whichChorder, c.tweak == 7 ? "no/r.txt" : "s1ChRank.txt");
        snprintf(whichStructures, sizeof whichStructures, c.tweak == 8 ? "no/s.txt" : "s1Str.txt");
        const size_t before = Out().size();
        EXPECT_EQ(tnxtest::CodeOf(c.run), std::max(c.code, 0)) << c.criterion << " " << c.tweak;
        EXPECT_EQ(Out().substr(before), c.console);
        EXPECT_EQ(Read("s1ChRank.txt") == "old", c.code >= 0) << c.criterion << " " << c.tweak;
        EXPECT_FALSE(std::filesystem::exists("s1Str.txt"));
        if (!csm) BuildTraitCodes();
    }
    nenv = 2;
}

// The options of the report (exact texts) and the closing lines of the structure file, whose
// counts are the arrays written: 4 traits give 10 forward candidates, 9 backward, 15 subsets.
TEST_F(ChOrder, ReportOptionsAndStructureFile) {
    opt_struct = 7, fuzzy = 1, groupDissMeth = 4;
    ChOrderSearch();
    const std::string text = Read("s1ChRank.txt");
    EXPECT_NE(text.find("Formatted data: s1Formda.txt \nTrait ranking criterion (TRC): " + std::string(opt_structInfo[6]) +
                        "\nPooling of CSTs: 1 (monothetic)\nRanking algorithm: 1 (stepwise)\nGroup dissimilarity "
                        "computation method: 4 (ratio of between/within groups sum of squares)\nData partition type: "
                        "mixed\nFuzzy transformation: fuzzy global\n\tFuzziness degree: 0.5\nGower similarity index "
                        "modified to count matching absences in binary traits? not\nResemblance option: 6 (Euclidean "
                        "distance)\nCommunities: \n   c1   c2   c3   c4   c5   c6   \nGroup membership: \n   A   A   A   "
                        "B   B   B   \nCommunities used in computations: \n   1   1   1   1   1   1   \n\nTRC         "
                        "\tWeighted\tDissimilarity\tRedundancy\tOut\tTrait subset in:\n"),
              std::string::npos);
    EXPECT_NE(text.find("\tt1\tt2\tt3\tt4  \t\n"), std::string::npos);
    optmain1 = 'P', fuzzy = 0;  // the population branch ranks by the OTUs' redundancy
    ChOrderSearch();
    EXPECT_NE(Read("s1ChRank.txt").find("\nTrait ranking criterion (TRC): redundancy in population data structure\n"
                                        "Pooling of CSTs: 1 (monothetic)\nRanking algorithm: 1 (stepwise)\nResemblance "
                                        "option: 6 (Euclidean distance)\n\nTRC         \tOut\tTrait subset in:\n"),
              std::string::npos);
    optmain1 = 'V', saveStruct = 'y';
    const std::string communities = "The arrays are upper half 6 x 6 community matrices\n";
    const std::string level = " arrays refer to resemblances at level 1 and then at each iteration.\n";
    const std::string environment = "1st array: resemblance for environmental structure.\nThe following ";
    const struct {
        void (*run)();
        int criterion;
        std::string end;
    } cases[] = {
        {ChOrderSearch, 1, communities + environment + "10 arrays are distances for vegetational structure at each iteration.\n"},
        {ChOrderSearch, 4, "The arrays are upper half 8 x 8 CSTs matrices.\nThe 10" + level},
        {ChOrderSearch, 6, communities + "The 10" + level + environment},
        {ChOrderSearchAll, 2, communities + "15 arrays are distances for vegetational structure at each iteration.\n"},
        {ChOrderSearchClusterCSTs, 1, "The matrices have 6 communities by variable number of groups of CSTs at each one of "
                                      "10 iterations\n3 sets of 2 arrays at each iteration are: First, a matrix with 6 "
                                      "communities x increasing number of CST groups.\nSecond, the upper half 6 x 6 "
                                      "community resemblance matrix.\n"},
        {ChOrderSearch, 8, ""},
    };
    for (const auto& c : cases) {
        opt_struct = c.criterion;
        c.run();
        const std::string st = Read("s1Str.txt");
        EXPECT_EQ(st.substr(st.size() - std::min(st.size(), c.end.size())), c.end) << c.criterion;
        EXPECT_EQ(st.empty(), c.end.empty());
    }
}

TEST_F(ChOrder, LoopDirectionFollowsTheCriterion) {
    // {opt_struct, test_k(0), test_k(4), test_m(-1), test_m(4), incr_m(5), incr_k(5), incr_i(5)}, nch = 4:
    // criteria 4 to 7 (4 once the two lowest bits are cleared) count down.
    const int cases[][8] = {{1, 1, 0, 1, 0, 6, 6, 4}, {3, 1, 0, 1, 0, 6, 6, 4}, {4, 0, 1, 0, 1, 4, 4, 6},
                            {7, 0, 1, 0, 1, 4, 4, 6}, {8, 1, 0, 1, 0, 6, 6, 4}, {12, 1, 0, 1, 0, 6, 6, 4}};
    for (const auto& c : cases) {
        opt_struct = c[0];
        EXPECT_EQ((std::vector<int>{test_k(0), test_k(4), test_m(-1), test_m(4), incr_m(5), incr_k(5), incr_i(5)}),
                  std::vector<int>(c + 1, c + 8)) << c[0];
    }
}

}  // namespace
