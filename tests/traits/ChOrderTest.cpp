// The character ranking against greedy and exhaustive loops written from the hierarchy's own routines
// (every candidate recomputed from scratch, ties included); summary, files, refusals, loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <numeric>

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

// A subset from scratch (codes of its traits alone), g > 0 groups of types: D, P the OTUs' similarity, K coherence.
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
        for (int o = 0; o < s; o++) std::copy(cadat[o], cadat[o] + n, W[o]);
        for (int o = 0; o < s; o++) for (int j = 0; j < k; j++) std::memcpy(codes[o] + 2 * j, csm[o] + 2 * t[j], 2);
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
        for (int c = 0; c < n; c++) tot[c][0] = static_cast<float>(std::accumulate(table[c], table[c] + cols, 0.0));
        for (int c = 0; c < n; c++) N = std::accumulate(table[c], table[c] + cols, N);
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
    const Scratch x(t, g), all({0, 1, 2, 3}, gRef), one({std::max(out, 0)}, 0);
    const double r = MatrixCorr(x.n, all.M(), x.M());
    const double a = opt_struct == 6 ? 1.0 - MatrixCorr(x.n, x.DE.m, one.M()) : Dissimilarity(one.M());
    const double v[] = {MatrixCorr(x.n, x.DE.m, x.M()), Dissimilarity(x.M()), Dissimilarity(x.M()),
                        MatrixCorr(tcst, all.P.m, x.P.m), r, a * r, a * r, x.K};
    return RoundDigit(v[opt_struct - 1], 6);
}

// Place m takes the trait at each place from m on (backward: down to 0), the first best value(subset, out) kept.
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
    // {member (0 monothetic, 1 clustered, 2 polythetic), criterion, rese_opt, fuzzy, group dissimilarity, mask of
    // the communities used (0 all), clustering}. Group A alone (7): every value NaN, no step has a best; c1, c4
    // alone (9): no sum of squares within groups, the ratio is 1 for every subset.
    const int cases[][7] = {{0, 1, 6, 0, 1, 0, 1}, {0, 1, 7, 1, 1, 0, 1}, {0, 2, 8, 0, 1, 0, 1}, {0, 3, 6, 2, 3, 0, 1},
                            {0, 4, 6, 0, 1, 0, 1}, {0, 5, 5, 0, 1, 0, 1}, {0, 6, 2, 0, 1, 0, 1}, {0, 7, 6, 0, 4, 0, 1},
                            {0, 8, 6, 0, 1, 0, 1}, {0, 3, 9, 0, 2, 31, 1}, {0, 2, 1, 0, 1, 0, 1},
                            {0, 7, 10, 1, 2, 31, 1}, {0, 3, 6, 0, 1, 7, 1}, {0, 5, 4, 2, 1, 0, 1},
                            {0, 3, 6, 0, 4, 9, 1}, {1, 1, 6, 0, 1, 0, 1}, {1, 5, 6, 3, 1, 0, 3}, {1, 8, 6, 0, 1, 0, 2},
                            {1, 3, 6, 3, 1, 0, 4}, {1, 6, 6, 0, 1, 0, 4}, {1, 7, 6, 3, 1, 0, 5}, {2, 5, 6, 0, 1, 0, 1},
                            {2, 5, 6, 1, 1, 0, 5}};
    for (const auto& c : cases) {
        opt_struct = c[1], rese_opt = c[2], fuzzy = c[3], groupDissMeth = c[4], clusMethPoolCSTs = c[6], dirtyOrig = 0;
        for (int i = 0; i < ncsm; i++) relSelect[i] = !c[5] || (c[5] >> i & 1);
        (c[0] == 0 ? ChOrderSearch : c[0] == 1 ? ChOrderSearchClusterCSTs : ChOrderRedundancyPolythetic)();
        const int gRef = std::min(Scratch({0, 1, 2, 3}, 0).nT, 3);
        const std::string summary = Greedy(c[1] >= 4 && c[1] <= 7, c[0] > 0, [&](const Order& t, int out) {
            const int nT = Scratch(t, 0).nT;
            const bool nominal = t.size() == 1 && chtype[t[0]] == 2;
            if (c[0] == 0 || (c[0] == 2 && fuzzy != 0)) return std::make_pair(Judge(t, out, 0, c[0] ? gRef : 0), nT);
            const bool fixed = nominal || c[0] == 2 || (c[1] == 5 && nT > 3);  // one g: states, or cut at 3
            const int to = nominal ? nT : std::min(nT, fixed ? 3 : 4), from = fixed ? to : 2;
            std::pair<double, int> best = {-DBL_MAX, 0};  // the first g of the largest value
            for (int g = from; g <= to; g++) best = std::max(best, std::make_pair(Judge(t, out, g, gRef), -g));
            return std::make_pair(best.first, -best.second);
        });
        const std::string text = Read("s1ChRank.txt");
        EXPECT_EQ(text.rfind(summary + (c[0] ? "\nThe traits listed above (1st" : "\nThe traits listed above are"), 0),
                  0u) << c[0] << " " << c[1] << "\n" << summary << text.substr(0, 80);
        for (int t = 0; t < 4; t++) EXPECT_EQ(Fmt("t%d", nchor[t]), summary.substr(3 * t, 2));  // the order found
        const std::string first = Fmt("\n%-12.6g\t", Judge({0, 1, 2}, 3, 0, 0)) + "t1\tt2\tt3\tt4  \t\n";
        EXPECT_TRUE(c[1] != 4 || text.find(first) != std::string::npos) << first;  // no columns of 6, 7
        EXPECT_EQ(text.find("): 3\nRedundancy method: 2 (") != text.npos, c[0] == 2 || (c[0] == 1 && c[1] == 5));
        EXPECT_EQ(dirtyOrig, 1);
    }
}

TEST_F(ChOrder, AllSubsetsKeepTheFirstBestOfEachSize) {
    std::vector<Order> all = AllSubsets(4);  // by size, each size in the lexicographic order
    std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return std::pair(a.size(), a) < std::pair(b.size(), b); });
    for (const int criterion : {1, 2, 4, 5, 8}) {
        opt_struct = criterion, printRankIntermedResults = 'y', ChOrderSearchAll();
        std::string labels, values;
        for (size_t k = 1; k <= 4; k++) {
            double best = criterion == 2 ? DBL_MAX : -DBL_MAX;
            Order keep;  // the first strictly better subset of size k
            for (const Order& t : all)
                if (const double v = t.size() == k ? Judge(t, -1, 0, 0) : best; criterion == 2 ? v < best : v > best)
                    best = v, keep = t;
            for (int t : keep) labels += Fmt("t%d\t", t + 1);
            labels += "\n", values += Fmt("%-13.6g\t", best);
        }
        const std::string text = Read("s1ChRank.txt");
        EXPECT_EQ(text.rfind(labels + values + "\n\nThe trait subsets listed above are optimal", 0), 0u) << criterion;
        const size_t from = text.find("Trait subset used:\n"), to = text.find("Elapsed time: ");  // a line a subset
        EXPECT_EQ(tnxtest::Count(text.substr(from, to - from), "\n"), 16) << criterion;
    }
}

// A refusal prints one line, leaves the result as it was; a file not created raises 4, leaves both as they were.
// A run (-1) counts its structure arrays (10 forward, 9 backward + 1, 15 subsets); its report holds `heads`.
TEST_F(ChOrder, RefusalsFilesStructureFileAndLoopDirection) {
    const std::string groups = "\nThis criterion needs the communities in at least 2 groups.\n",
                      criterion = "\nCriterion %d is not a character-ranking criterion (1 to 8).\n",
                      few = "\nThe redundancy needs at least 1 CST group.\n",
                      upper = "The arrays are upper half 6 x 6 community matrices\n",
                      level = " arrays refer to resemblances at level 1 and then at each iteration.\n",
                      environment = "1st array: resemblance for environmental structure.\nThe following ",
                      each = " arrays are distances for vegetational structure at each iteration.\n",
                      clustered = "The matrices have 6 communities by variable number of groups of CSTs at each one "
                                  "of 10 iterations\n3 sets of 2 arrays at each iteration are: First, a matrix with 6 "
                                  "communities x increasing number of CST groups.\nSecond, the upper half 6 x 6 "
                                  "community resemblance matrix.\n",
                      rese1 = "Resemblance option: 1 (information divergence within rows)\n";
    const struct { bool (*run)(); int crit, tweak, code; std::string say, end = "";
                   std::vector<std::string> in = {}; } runs[] = {
        {ChOrderSearch, 9, 0, 0, Fmt(criterion.c_str(), 9)}, {ChOrderSearch, 0, 0, 0, Fmt(criterion.c_str(), 0)},
        {ChOrderSearchAll, 6, 0, 0, "\nCriteria 6 and 7 judge a trait left out: the search of all subsets has none.\n"},
        {ChOrderSearch, 6, 2, 0, "\nThis criterion needs environmental variables: the data set has none.\n"},
        {ChOrderSearchClusterCSTs, 7, 3, 0, groups}, {ChOrderSearch, 2, 12, 0, groups},
        {ChOrderSearch, 2, 9, 0, "\nGroup dissimilarity method 5 is not one of 1 to 4.\n"},
        {ChOrderSearch, 5, 4, 0, "\nResemblance option 11 is not one of 1 to 10.\n"},
        {ChOrderSearchClusterCSTs, 1, 5, 0, "\nClustering method 0 of the types is not one of 1 to 5.\n"},
        {ChOrderRedundancyPolythetic, 1, 6, 0, few}, {ChOrderSearchClusterCSTs, 5, 6, 0, few},
        {ChOrderSearch, 1, 7, 4, ""}, {ChOrderSearchAll, 1, 8, 4, ""},
        // Through: criterion 4 (also the population branch's) reads no rese_opt, 2 no E, monothetic types no method.
        {ChOrderSearch, 4, 4, -1, "", "The arrays are upper half 8 x 8 CSTs matrices.\nThe 10" + level},
        {ChOrderSearch, 1, 13, -1, "", "The arrays are upper half 8 x 8 CSTs matrices.\nThe 10" + level,
         {"\nTrait ranking criterion (TRC): redundancy in population data structure\nPooling of CSTs: 1 (monothetic)\n"
          "Ranking algorithm: 1 (stepwise)\n" + rese1 + "\nTRC         \tOut\tTrait subset in:\n"}},
        {ChOrderSearch, 2, 2, -1, "", upper + "10" + each},
        {ChOrderSearch, 1, 5, -1, "", upper + environment + "10" + each},
        {ChOrderRedundancyPolythetic, 1, 10, -1, "", upper + "The 10" + level,
         {"(stepwise)\nNumber of CST groups examined (fixed, unless not possible): 1\nRedundancy method: 2 (", rese1 +
          "\nTRC         \tGroups\tChar. out\tTrait subset used:\n"}},
        {ChOrderSearch, 7, 11, -1, "", upper + "The 10" + level,
         {"(stepwise)\nGroup dissimilarity computation method: 4 (ratio of between/within groups sum of squares)\nData "
          "partition type: mixed\nFuzzy transformation: none (crisp)\n" + rese1 + "Communities: \n   c1   c2   c3",
          "\n   A   A   A   B   B   B   \n", "\n\nTRC         \tWeighted\tDissimilarity\tRedundancy\tOut\tTrait"}},
        {ChOrderSearch, 6, 0, -1, "", upper + "The 10" + level + environment}, {ChOrderSearch, 8, 0, -1, "", ""},
        {ChOrderSearchAll, 2, 0, -1, "", upper + "15" + each}, {ChOrderSearchClusterCSTs, 1, 0, -1, "", clustered},
        {ChOrderSearchClusterCSTs, 1, 6, -1, "", clustered}, {ChOrderSearch, 5, 6, -1, "", upper + "The 10" + level},
        {ChOrderSearch, 1, 1, 0, "\nThis analysis needs every trait value as a whole number from 0 to 99: nothing was "
                                 "computed.\n"},  // last: the codes are not rebuilt
    };
    for (const auto& c : runs) {
        opt_struct = c.crit, saveStruct = 'y', groupRel = c.tweak == 12 ? nullptr : groupRelP[0];
        if (c.tweak == 1) free2D(csm, tcst), csm = nullptr;
        nenv = c.tweak == 2 ? 0 : 2, nGroups = c.tweak == 3 ? 1 : 2, rese_opt = c.tweak == 4 ? 11 : 1;
        clusMethPoolCSTs = c.tweak == 5 ? 0 : 1, nCSTGroupsChRankRedundancy = c.tweak == 6 ? 0 : c.tweak == 10 ? 1 : 3;
        groupDissMeth = c.tweak == 9 ? 5 : c.tweak == 11 ? 4 : 1, optmain1 = c.tweak == 13 ? 'P' : 'V';
        strcpy(whichChorder, c.tweak == 7 ? "no/r" : "s1ChRank.txt");
        strcpy(whichStructures, c.tweak == 8 ? "no/s" : "s1Str.txt");
        const size_t before = (Write("s1ChRank.txt", "old"), std::filesystem::remove("s1Str.txt"), Out().size());
        bool written = false;
        EXPECT_EQ(tnxtest::CodeOf([&] { written = c.run(); }), std::max(c.code, 0)) << c.crit << " " << c.tweak;
        if (c.code <= 0) {
            EXPECT_EQ(written, c.code < 0) << c.crit << " " << c.tweak;
        }
        EXPECT_EQ(Out().substr(before), c.say);
        EXPECT_EQ(Read("s1ChRank.txt") == "old", c.code >= 0) << c.crit << " " << c.tweak;
        for (const auto& h : c.in) EXPECT_NE(Read("s1ChRank.txt").find(h), std::string::npos) << h;
        const std::string st = c.code < 0 ? Read("s1Str.txt") : "";
        EXPECT_EQ(std::filesystem::exists("s1Str.txt"), c.code < 0);
        EXPECT_EQ(c.end.empty() ? st : st.substr(st.size() - std::min(st.size(), c.end.size())), c.end) << c.tweak;
    }
    nenv = 2;
    // test_k(0), test_k(4), test_m(-1), test_m(4), incr_m(5), incr_k(5), incr_i(5): criteria 4 to 7 count down.
    for (int o : {1, 3, 4, 7, 8, 12})
        EXPECT_EQ((opt_struct = o, Fmt("%d%d%d%d %d %d %d", test_k(0), test_k(4), test_m(-1), test_m(4), incr_m(5),
                                      incr_k(5), incr_i(5))), o == 4 || o == 7 ? "0101 4 4 6" : "1010 6 6 4") << o;
}

}  // namespace
