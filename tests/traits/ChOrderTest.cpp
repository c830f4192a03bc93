// The character ranking against greedy and exhaustive loops written from the hierarchy's own routines
// (every candidate recomputed from scratch, ties included); summary, files, refusals, loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>

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
std::string Fmt(const char* format, A... a) { char buf[200]; return snprintf(buf, sizeof buf, format, a...), buf; }

// 8 OTUs by 4 traits (t2 repeats t1, so every step meets ties), 6 communities in groups A A A B B B, 2 variables.
struct ChOrder : tnxtest::ConsoleTest {
    void SetUp() override {
        ConsoleTest::SetUp();
        Survey sv = RandomSurvey(7, 4, 8, 6, 2);
        sv.B = {{1, 1, 2, 0}, {1, 1, 3, 1}, {2, 2, 2, 1}, {2, 2, 3, 0}, {3, 3, 2, 1}, {1, 1, 2, 0}, {3, 3, 3, 1},
                {2, 2, 1, 0}};
        sv.types = {2, 2, 3, 1}, LoadSurvey(sv, 1, {});
        groupRel = groupRelP[0], grLabel = grLabelP[0], nGroups = 2, strcpy(grLabel[0], "A"), strcpy(grLabel[1], "B");
        for (int c = 0; c < ncsm; c++) groupRel[c] = 1 + c / 3, relSelect[c] = 1;
        part = 1, fuzzy = 0, fuzziness = 0.5f, poolCSTopt = 1, clusMethPoolCSTs = 1, optmain1 = 'V';
        groupDissMeth = 1, nCSTGroupsChRankRedundancy = 3, nMaxCSTGroupsChRank = 4, redundancyMeth = 2;
    }
};

// A subset from scratch: types by the hierarchy on codes of its traits alone; g > 0 clusters them and sums (fuzzy
// 3 weights) the table into g groups. D (fuzzy 1, 2 by the types' similarity), P the OTUs' similarity, K coherence.
struct Scratch {
    int n = ncsm, s = tcst, k, nT;
    Mat<char> codes{s, 9};
    Mat<int> track{1, s};
    Mat<float> W{s, n}, Sf{s, s}, Sq{s, s}, U{s, s}, G{n, s}, tot{n, 1};
    Mat<double> D{n, n}, D2{n, n}, P{s, s}, St{s, s}, DE{n, n};  // DE: the raw variables' Euclidean distance
    std::vector<int> types, labels = std::vector<int>(s, 1);
    std::vector<float> ranges, weights;
    double K = 0.0, N = 0.0;  // N and the totals summed in double, as the hierarchy's resemblance does
    Scratch(const Order& t, int g) : k(t.size()), nT(tcst) {
        for (int o = 0; o < s; o++) {
            for (int j = 0; j < k; j++) codes[o][2 * j] = csm[o][2 * t[j]], codes[o][2 * j + 1] = csm[o][2 * t[j] + 1];
            for (int c = 0; c < n; c++) W[o][c] = cadat[o][c];
        }
        for (int x : t) types.push_back(chtype[x]), ranges.push_back(chrange[x]), weights.push_back(weight[x]);
        EucliDistMV(n, nenv, env, DE.m);
        char*** lc = nullptr;
        float*** ld = nullptr;
        Hierarchy(1, k, n, codes, &lc, &nT, W, &ld, track);
        float** table = ld[0];
        int cols = nT;
        const auto gower = [&](char** c, int m, auto** S) {
            gower_similarity(k, c, m, S, types.data(), ranges.data(), weights.data(), countDoubleAbsence);
        };
        gower(codes, s, P.m), gower(lc[0], nT, St.m), gower(lc[0], nT, Sf.m);
        if (g > 0) {
            std::vector<clusterReport> rep(s);
            std::vector<Order> members(s, Order(s));
            for (int i = 0; i < s; i++) rep[i].members = members[i].data();
            if (nT > 1 && clusMethPoolCSTs == 3) CorrToSqDist(nT, Sf, Sq), SumSqCluster(nT, Sq, rep.data(), true);
            if (nT > 1 && clusMethPoolCSTs != 3) LinkageCluster(nT, Sf, rep.data(), 0, 0, clusMethPoolCSTs, true);
            if (nT > 1) GetClusterPartitionNew(nT, g, labels.data(), rep.data(), clusMethPoolCSTs);
            if (fuzzy == 3) FuzzyBelonging(nT, g, Sf, labels.data(), U, false);
            if (fuzzy == 3) FuzzyAdjAnyMatrix(n, nT, g, table, G, U);
            if (fuzzy != 3) ConcentrateColGroups(n, nT, table, G, g, labels.data(), 0);
            table = G, cols = g;
        }
        K = CoheCoef(n, cols, table, 1.0);
        if (g == 0 && (fuzzy == 1 || fuzzy == 2)) FuzzinessDegree_i(nT, St, fuzziness);
        if (g == 0 && fuzzy == 1) FuzzyAdj_i(n, nT, table, St);
        for (int c = 0; c < n; c++) {
            double row = 0.0;
            for (int j = 0; j < cols; j++) row += table[c][j], N += table[c][j];
            tot[c][0] = static_cast<float>(row);
        }
        if (g == 0 && fuzzy == 2) PairFuzzyRese(n, cols, table, D, D2, tot, N, StatesProduct(), St, 0);
        if (g > 0 || fuzzy != 2) NominalRese(n, cols, table, D, D2, tot, N, StatesProduct(), 0, rese_opt);
        FreeHierarchy(1, n, &nT, lc, ld);
    }
    double** M() const { return rese_opt == 5 || rese_opt == 10 ? D2.m : D.m; }
};

double Dissimilarity(double** D) {
    double qb = 0.0, qt = 0.0;
    BetweenGrSqDissim(ncsm, D, groupRel, &qb, &qt, relSelect, false);
    if (groupDissMeth == 1) return AverageDissim(ncsm, D, groupRel, relSelect);
    if (groupDissMeth == 2) return NearNeighDist(ncsm, D, groupRel, relSelect);
    return groupDissMeth == 3 ? qb : qb >= qt ? 1.0 : qb / (qt - qb);
}

// The criterion value of a subset (`out` the trait left out, the reference cut at gRef groups), rounded.
double Judge(const Order& t, int out, int g, int gRef) {
    const int n = ncsm;
    const Scratch x(t, g);
    if (opt_struct == 1) return RoundDigit(MatrixCorr(n, x.DE.m, x.M()), 6);
    if (opt_struct == 2 || opt_struct == 3) return RoundDigit(Dissimilarity(x.M()), 6);
    if (opt_struct == 8) return RoundDigit(x.K, 6);
    const Scratch all({0, 1, 2, 3}, gRef), one({std::max(out, 0)}, 0);
    if (opt_struct == 4) return RoundDigit(MatrixCorr(tcst, all.P.m, x.P.m), 6);
    const double r = MatrixCorr(n, all.M(), x.M());
    const double a = opt_struct == 6 ? 1.0 - MatrixCorr(n, x.DE.m, one.M()) : Dissimilarity(one.M());
    return RoundDigit(opt_struct == 5 ? r : a * r, 6);
}

// Place m takes the trait at each place from m on (forward; backward from m down to 0) by an exchange not undone,
// keeping the first best value(subset, out) = {value, groups}. Summary: order, [groups,] values by size.
template <class F>
std::string Greedy(bool backward, bool grouped, F value) {
    Order o = {0, 1, 2, 3}, keep;
    std::string groups, values, text;
    for (int m = backward ? 3 : 0, step = backward ? -1 : 1; backward ? m >= 1 : m < 4; m += step) {
        std::pair<double, int> best = {opt_struct == 2 ? DBL_MAX : -DBL_MAX, 0};
        keep = o;
        for (int j = m; backward ? j >= 0 : j < 4; j += step) {
            std::swap(o[m], o[j]);
            const auto v = value(Order(o.begin(), o.begin() + (backward ? m : m + 1)), o[m]);
            if (opt_struct == 2 ? v.first < best.first : v.first > best.first) best = v, keep = o;
        }
        o = keep;
        const bool none = std::fabs(best.first) == DBL_MAX;
        const std::string g = Fmt("%d\t", none ? 0 : best.second),
                          v = none ? (grouped ? "none\t" : "none ") : Fmt(grouped ? "%g\t" : "%g ", best.first);
        groups = backward ? g + groups : groups + g, values = backward ? v + values : values + v;
    }
    for (int t : o) text += Fmt(grouped ? "t%d\t" : "t%-1d ", t + 1);
    return text + (grouped ? "\n" + groups : "") + "\n" + values + "\n";
}

TEST_F(ChOrder, GreedyMembersAreTheGreedyOrderRecomputedFromScratch) {
    // {member (0 monothetic, 1 clustered, 2 polythetic), criterion, rese_opt, fuzzy, group dissimilarity,
    // communities used (the first ones), clustering}. Group A alone: every value NaN, no step has a best.
    const int cases[][7] = {{0, 1, 6, 0, 1, 6, 1}, {0, 1, 7, 1, 1, 6, 1}, {0, 2, 8, 0, 1, 6, 1}, {0, 3, 6, 2, 3, 6, 1},
                            {0, 4, 6, 0, 1, 6, 1}, {0, 5, 5, 0, 1, 6, 1}, {0, 6, 2, 0, 1, 6, 1}, {0, 7, 6, 0, 4, 6, 1},
                            {0, 8, 6, 0, 1, 6, 1}, {0, 3, 9, 0, 2, 5, 1}, {0, 2, 1, 0, 1, 6, 1}, {0, 7, 10, 1, 2, 5, 1},
                            {0, 3, 6, 0, 1, 3, 1}, {0, 5, 4, 2, 1, 6, 1}, {1, 1, 6, 0, 1, 6, 1}, {1, 5, 6, 3, 1, 6, 3},
                            {1, 8, 6, 0, 1, 6, 2}, {1, 3, 6, 3, 1, 6, 4}, {1, 6, 6, 0, 1, 6, 4}, {1, 7, 6, 3, 1, 6, 5},
                            {2, 5, 6, 0, 1, 6, 1}, {2, 5, 6, 1, 1, 6, 5}};
    for (const auto& c : cases) {
        opt_struct = c[1], rese_opt = c[2], fuzzy = c[3], groupDissMeth = c[4], clusMethPoolCSTs = c[6], dirtyOrig = 0;
        for (int i = 0; i < ncsm; i++) relSelect[i] = i < c[5];
        (c[0] == 0 ? ChOrderSearch : c[0] == 1 ? ChOrderSearchClusterCSTs : ChOrderRedundancyPolythetic)();
        const int gRef = std::min(Scratch({0, 1, 2, 3}, 0).nT, 3);
        const std::string summary = Greedy(c[1] >= 4 && c[1] <= 7, c[0] > 0, [&](const Order& t, int out) {
            const int nT = Scratch(t, 0).nT;
            const bool nominal = t.size() == 1 && chtype[t[0]] == 2;
            if (c[0] == 0 || (c[0] == 2 && fuzzy != 0)) return std::make_pair(Judge(t, out, 0, c[0] ? gRef : 0), nT);
            int from = 2, to = std::min(nT, 4);
            if (nominal || c[0] == 2) from = to = nominal ? nT : std::min(nT, 3);
            if (!nominal && c[1] == 5 && nT > 3) from = to = 3;
            std::pair<double, int> best = {-DBL_MAX, 0};  // the first g of the largest value
            for (int g = from; g <= to; g++) best = std::max(best, std::make_pair(Judge(t, out, g, gRef), -g));
            return std::make_pair(best.first, -best.second);
        });
        const std::string text = Read("s1ChRank.txt");
        EXPECT_EQ(text.rfind(summary + (c[0] ? "\nThe traits listed above (1st" : "\nThe traits listed above are"), 0),
                  0u) << c[0] << " " << c[1] << "\n" << summary << text.substr(0, 80);
        for (int t = 0; t < 4; t++) EXPECT_EQ(Fmt("t%d", nchor[t]), summary.substr(3 * t, 2));  // the order found
        EXPECT_EQ(dirtyOrig, 1);
    }
}

TEST_F(ChOrder, AllSubsetsKeepTheFirstBestOfEachSize) {
    std::vector<Order> subsets = AllSubsets(4);  // by size, each size in the lexicographic order
    std::sort(subsets.begin(), subsets.end());
    std::stable_sort(subsets.begin(), subsets.end(), [](auto& a, auto& b) { return a.size() < b.size(); });
    for (const int criterion : {1, 2, 4, 5, 8}) {
        opt_struct = criterion, printRankIntermedResults = 'y', ChOrderSearchAll();
        std::string labels, values;
        for (size_t k = 1; k <= 4; k++) {
            double best = criterion == 2 ? DBL_MAX : -DBL_MAX;
            Order keep;  // the first strictly better subset of size k
            for (const Order& t : subsets)
                if (const double v = t.size() == k ? Judge(t, -1, 0, 0) : best; criterion == 2 ? v < best : v > best)
                    best = v, keep = t;
            for (int t : keep) labels += Fmt("t%d\t", t + 1);
            labels += "\n", values += Fmt("%-13.6g\t", best);
        }
        const std::string text = Read("s1ChRank.txt");
        EXPECT_EQ(text.rfind(labels + values + "\n\nThe trait subsets listed above are optimal", 0), 0u) << criterion;
    }
}

// A refusal prints one line and leaves the result as it was; a file that cannot be created raises code 4 and
// leaves both as they were. A run (code -1) counts its structure arrays: 10 forward, 9 backward + 1, 15 subsets.
TEST_F(ChOrder, RefusalsFilesStructureFileAndLoopDirection) {
    const std::string groups = "\nThis criterion needs the communities in at least 2 groups.\n",
                      criterion = "\nCriterion %d is not a character-ranking criterion (1 to 8).\n",
                      communities = "The arrays are upper half 6 x 6 community matrices\n",
                      level = " arrays refer to resemblances at level 1 and then at each iteration.\n",
                      environment = "1st array: resemblance for environmental structure.\nThe following ",
                      each = " arrays are distances for vegetational structure at each iteration.\n";
    const struct { void (*run)(); int criterion, tweak, code; std::string console, end; } cases[] = {
        {ChOrderSearch, 1, 1, 0, "\nThis analysis needs every trait value as a whole number from 0 to 99: nothing was "
                                 "computed.\n"},
        {ChOrderSearch, 9, 0, 0, Fmt(criterion.c_str(), 9)}, {ChOrderSearch, 0, 0, 0, Fmt(criterion.c_str(), 0)},
        {ChOrderSearchAll, 6, 0, 0, "\nCriteria 6 and 7 judge a trait left out: the search of all subsets has none.\n"},
        {ChOrderSearch, 6, 2, 0, "\nThis criterion needs environmental variables: the data set has none.\n"},
        {ChOrderSearchClusterCSTs, 7, 3, 0, groups}, {ChOrderSearch, 2, 12, 0, groups},
        {ChOrderSearch, 2, 9, 0, "\nGroup dissimilarity method 5 is not one of 1 to 4.\n"},
        {ChOrderSearch, 5, 4, 0, "\nResemblance option 11 is not one of 1 to 10.\n"},
        {ChOrderSearchClusterCSTs, 1, 5, 0, "\nClustering method 0 of the types is not one of 1 to 5.\n"},
        {ChOrderRedundancyPolythetic, 1, 6, 0, "\nThe redundancy needs at least 1 CST group.\n"},
        {ChOrderSearch, 1, 7, 4, ""}, {ChOrderSearchAll, 1, 8, 4, ""},
        // Through: criterion 4 (also the population branch's) reads no rese_opt, 2 no E, monothetic types no method.
        {ChOrderSearch, 4, 4, -1, "", "The arrays are upper half 8 x 8 CSTs matrices.\nThe 10" + level},
        {ChOrderSearch, 1, 13, -1, "", "The arrays are upper half 8 x 8 CSTs matrices.\nThe 10" + level},
        {ChOrderSearch, 2, 2, -1, "", communities + "10" + each},
        {ChOrderSearch, 1, 5, -1, "", communities + environment + "10" + each},
        {ChOrderRedundancyPolythetic, 1, 10, -1, "", communities + "The 10" + level},
        {ChOrderSearch, 7, 11, -1, "", communities + "The 10" + level},
        {ChOrderSearch, 6, 0, -1, "", communities + "The 10" + level + environment}, {ChOrderSearch, 8, 0, -1, "", ""},
        {ChOrderSearchAll, 2, 0, -1, "", communities + "15" + each},
        {ChOrderSearchClusterCSTs, 1, 0, -1, "", "The matrices have 6 communities by variable number of groups of CSTs "
                                                 "at each one of 10 iterations\n3 sets of 2 arrays at each iteration "
                                                 "are: First, a matrix with 6 communities x increasing number of CST "
                                                 "groups.\nSecond, the upper half 6 x 6 community resemblance "
                                                 "matrix.\n"},
    };
    for (const auto& c : cases) {
        opt_struct = c.criterion, saveStruct = 'y', groupRel = c.tweak == 12 ? nullptr : groupRelP[0];
        if (c.tweak == 1) free2D(csm, tcst), csm = nullptr;
        nenv = c.tweak == 2 ? 0 : 2, nGroups = c.tweak == 3 ? 1 : 2, rese_opt = c.tweak == 4 ? 11 : 1;
        clusMethPoolCSTs = c.tweak == 5 ? 0 : 1, nCSTGroupsChRankRedundancy = c.tweak == 6 ? 0 : c.tweak == 10 ? 1 : 3;
        groupDissMeth = c.tweak == 9 ? 5 : c.tweak == 11 ? 4 : 1, optmain1 = c.tweak == 13 ? 'P' : 'V';
        strcpy(whichChorder, c.tweak == 7 ? "no/r.txt" : "s1ChRank.txt");
        strcpy(whichStructures, c.tweak == 8 ? "no/s.txt" : "s1Str.txt");
        Write("s1ChRank.txt", "old"), std::filesystem::remove("s1Str.txt");
        const size_t before = Out().size();
        EXPECT_EQ(tnxtest::CodeOf(c.run), std::max(c.code, 0)) << c.criterion << " " << c.tweak;
        EXPECT_EQ(Out().substr(before), c.console);
        EXPECT_EQ(Read("s1ChRank.txt") == "old", c.code >= 0) << c.criterion << " " << c.tweak;
        const std::string st = c.code < 0 ? Read("s1Str.txt") : "";
        EXPECT_EQ(std::filesystem::exists("s1Str.txt"), c.code < 0);
        EXPECT_EQ(c.end.empty() ? st : st.substr(st.size() - std::min(st.size(), c.end.size())), c.end) << c.tweak;
        if (!csm) BuildTraitCodes();
    }
    nenv = 2;
    // {opt_struct, test_k(0), test_k(4), test_m(-1), test_m(4), incr_m(5), incr_k(5), incr_i(5)}: 4-7 count down.
    const int loops[][8] = {{1, 1, 0, 1, 0, 6, 6, 4}, {3, 1, 0, 1, 0, 6, 6, 4}, {4, 0, 1, 0, 1, 4, 4, 6},
                            {7, 0, 1, 0, 1, 4, 4, 6}, {8, 1, 0, 1, 0, 6, 6, 4}, {12, 1, 0, 1, 0, 6, 6, 4}};
    for (const auto& c : loops)
        EXPECT_EQ((opt_struct = c[0], Order{test_k(0), test_k(4), test_m(-1), test_m(4), incr_m(5), incr_k(5),
                                            incr_i(5)}),
                  Order(c + 1, c + 8)) << c[0];
}

}  // namespace
