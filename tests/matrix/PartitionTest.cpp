// Partitions from a dendrogram: cuts compared with R's cutree (tests/matrix/r/
// partition_cutree.R, run offline), the level-sorted cut, renumbering, identical objects, the
// reduced resemblance, and the Newick text (read back by ape::read.tree in
// tests/matrix/r/partition_newick.R).

#include <set>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// Fusion records owned by the test: members lists built from a merge table in R's
// convention (negative: a single object; positive: the group of an earlier step).
struct Records {
    std::vector<std::vector<int>> members;
    std::vector<clusterReport> rep;

    Records(const std::vector<int>& merge, const std::vector<double>& levels) {
        const size_t steps = levels.size();
        members.resize(steps);
        rep.resize(steps);
        for (size_t s = 0; s < steps; s++) {
            for (int side = 0; side < 2; side++) {
                const int v = merge[2 * s + side];
                if (v < 0)
                    members[s].push_back(-v);
                else
                    members[s].insert(members[s].end(), members[v - 1].begin(), members[v - 1].end());
            }
        }
        for (size_t s = 0; s < steps; s++) {
            rep[s] = clusterReport{};
            rep[s].level = levels[s];
            rep[s].nMembers = int(members[s].size());
            rep[s].members = members[s].data();
        }
    }
    // Branch lengths for the tree text.
    void Branches(const std::vector<std::pair<double, double>>& b) {
        for (size_t s = 0; s < b.size(); s++) rep[s].branchFirst = b[s].first, rep[s].branchSecond = b[s].second;
    }
    clusterReport* data() { return rep.data(); }
};

// Same partition up to the names of the groups.
void ExpectSamePartition(const std::vector<int>& got, const std::vector<int>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++)
        for (size_t j = i + 1; j < got.size(); j++)
            EXPECT_EQ(got[i] == got[j], want[i] == want[j]) << "objects " << i << ", " << j;
}

// Labels 1..k, each used.
void ExpectLabelsOneToK(const std::vector<int>& labels, int k) {
    std::set<int> want;
    for (int l = 1; l <= k; l++) want.insert(l);
    EXPECT_EQ(std::set<int>(labels.begin(), labels.end()), want);
}

struct CutCase {
    const char* method;
    int code;
    std::vector<int> merge;
    std::vector<double> heights;
    std::vector<std::vector<int>> cutree;  // k = 1..7
};

// The seven points of partition_cutree.R: hclust merges, heights and cutree for k = 1..7.
const std::vector<CutCase> kCutCases = {
    {"single", 1, {-1, -2, -3, -4, -5, -6, -7, 1, 2, 4, 3, 5},
     {1.019804, 1.029563, 1.431782, 2.5, 3.551056, 4.661545},
     {{1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 2, 2, 1}, {1, 1, 2, 2, 3, 3, 1}, {1, 1, 2, 2, 3, 3, 4},
      {1, 1, 2, 2, 3, 4, 5}, {1, 1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 7}}},
    {"complete", 2, {-1, -2, -3, -4, -5, -6, -7, 1, 2, 3, 4, 5},
     {1.019804, 1.029563, 1.431782, 3.330165, 6.403124, 9.404786},
     {{1, 1, 1, 1, 1, 1, 1}, {1, 1, 2, 2, 2, 2, 1}, {1, 1, 2, 2, 3, 3, 1}, {1, 1, 2, 2, 3, 3, 4},
      {1, 1, 2, 2, 3, 4, 5}, {1, 1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 7}}},
    // Ward's levels rise here too, so the sort keeps the fusion order.
    {"ward.D2", 3, {-1, -2, -3, -4, -5, -6, -7, 1, 2, 3, 4, 5},
     {1.019804, 1.029563, 1.431782, 3.348632, 7.750161, 11.671465},
     {{1, 1, 1, 1, 1, 1, 1}, {1, 1, 2, 2, 2, 2, 1}, {1, 1, 2, 2, 3, 3, 1}, {1, 1, 2, 2, 3, 3, 4},
      {1, 1, 2, 2, 3, 4, 5}, {1, 1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6, 7}}},
};

TEST(Cut, EqualsCutreeForLevelsRisingInFusionOrder) {
    for (const auto& c : kCutCases) {
        SCOPED_TRACE(c.method);
        Records rec(c.merge, c.heights);
        for (int k = 1; k <= 7; k++) {
            SCOPED_TRACE(k);
            std::vector<int> a(7), b(7), d(7);
            double level = -1;
            GetClusterPartitionNew(7, k, a.data(), rec.data(), c.code);
            GetClusterPartition(7, k, b.data(), rec.data());
            GetClusterPartitionLevel(7, k, d.data(), &level, rec.data(), c.code);
            ExpectSamePartition(a, c.cutree[k - 1]);
            ExpectLabelsOneToK(a, k);
            EXPECT_EQ(b, a);
            EXPECT_EQ(d, a);
            // The level at which k groups exist: 0 for k = n, else the (n - k)-th height.
            EXPECT_NEAR(level, k == 7 ? 0.0 : c.heights[7 - k - 1], 1e-12);
        }
    }
}

TEST(Cut, SumOfSquaresRecordsAreWalkedByLevel) {
    // Levels 3, 2, 5 in fusion order: with method 3 the cut for k = n - 1 applies {3,4}
    // (level 2) first; other methods apply {1,2}.
    using V = std::vector<int>;
    Records rec({-1, -2, -3, -4, 1, 2}, {3, 2, 5}), tie({-1, -2, -3, -4, 1, 2}, {2, 2, 5});
    V labels(4);
    double level = -1;
    GetClusterPartitionNew(4, 3, labels.data(), rec.data(), 4);
    EXPECT_EQ(labels, V({1, 1, 2, 3}));
    // The level at which k groups exist; k = 1: the level of the last record of the walk.
    const struct { int k; double level; V labels; } cuts[] = {{3, 2, {1, 2, 3, 3}}, {2, 3, {1, 1, 2, 2}}, {1, 5, {1, 1, 1, 1}}};
    for (const auto& c : cuts) {
        GetClusterPartitionLevel(4, c.k, labels.data(), &level, rec.data(), 3);
        EXPECT_EQ(level, c.level) << c.k;
        EXPECT_EQ(labels, c.labels) << c.k;
    }
    // Equal levels keep their fusion order (strict comparison).
    GetClusterPartitionNew(4, 3, labels.data(), tie.data(), 3);
    EXPECT_EQ(labels, V({1, 1, 2, 3}));
}

TEST(Cut, OutOfRangeKAndTheNextFusion) {
    using V = std::vector<int>;
    Records rec({-1, -2, -3, -4, 1, 2}, {1, 2, 3});
    V labels(4);
    // k above n is n; k below 1 is 1; one object: label 1 whatever k.
    GetClusterPartitionNew(4, 9, labels.data(), rec.data(), 1);
    EXPECT_EQ(labels, V({1, 2, 3, 4}));
    GetClusterPartitionNew(4, 0, labels.data(), rec.data(), 1);
    EXPECT_EQ(labels, V({1, 1, 1, 1}));
    int one = 7;
    GetClusterPartitionNew(1, 3, &one, rec.data(), 1);
    EXPECT_EQ(one, 1);
    // Three groups 1, 1, 2, 3; the next fusion joins groups 2 and 3 into group 2 of two.
    int which[2] = {-1, -1};
    GetClusterPartitionWhich(4, 3, labels.data(), which, rec.data());
    EXPECT_EQ(labels, V({1, 1, 2, 3}));
    EXPECT_EQ(V(which, which + 2), V({2, 3}));
    // One group: nothing fuses any more and which is left alone.
    which[0] = -1;
    GetClusterPartitionWhich(4, 1, labels.data(), which, rec.data());
    EXPECT_EQ(labels, V({1, 1, 1, 1}));
    EXPECT_EQ(which[0], -1);
}

TEST(Renumbering, GapsCloseAndMissingLabelsStop) {
    struct Case {
        std::vector<int> in;
        int k;
        std::vector<int> want;
    };
    const std::vector<Case> cases = {
        {{2, 5, 5, 9}, 3, {1, 2, 2, 3}},
        {{2, 5, 5, 9}, 2, {1, 2, 2, 6}},
        {{3, 3, 7}, 5, {1, 1, 2}},           // fewer labels than k: stops at the last one
        {{0, -4, 6}, 2, {0, -4, 1}},         // labels below 1 stay
    };
    for (const auto& c : cases) {
        std::vector<int> labels = c.in;
        RenamePartitionLabels(int(labels.size()), c.k, labels.data());
        EXPECT_EQ(labels, c.want);
    }
}

TEST(Identicals, ExactZeroOrOneJoinsAndTrimKeepsOneRepresentativePerLabel) {
    // d(0,2) = 0 and d(1,4) = 0; everything else apart.
    Mat<double> D(5, 5);
    for (int i = 0; i < 5; i++)
        for (int j = i + 1; j < 5; j++) D[i][j] = 1 + i + j;
    D[0][2] = D[1][4] = 0;
    std::vector<int> labels(5);
    int g = -1;
    ClusterIdenticals(5, D, labels.data(), &g, true);
    EXPECT_EQ(g, 3);
    EXPECT_EQ(labels, (std::vector<int>{1, 2, 1, 3, 2}));
    // Similarities: 1 joins, 0.9999999 does not.
    Mat<float> S({{1, 1, 0.9999999f}, {0, 1, 0.2f}, {0, 0, 1}});
    ClusterIdenticals(3, S, labels.data(), &g, false);
    EXPECT_EQ(g, 2);
    EXPECT_EQ(std::vector<int>(labels.begin(), labels.begin() + 3), (std::vector<int>{1, 1, 2}));
    // in[i][j] = 10 i + j in the upper triangle; the lower triangle holds -1, never read.
    Mat<float> in(4, 4), out(2, 2);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) in[i][j] = j >= i ? float(10 * i + j) : -1.0f;
    int a[] = {1, 2, 1, 2}, b[] = {2, 1, 2, 1};
    TrimRese(4, 2, a, in, out);
    ExpectCells(out, {{0, 1}, {0, 11}}, 0);
    // Label 1's first object (1) comes after label 2's (0): the pair is read as (0, 1).
    TrimRese(4, 2, b, in, out);
    ExpectCells(out, {{11, 1}, {0, 0}}, 0);
}

TEST(TreeText, NewickReadsBackChainsAndQuotedNames) {
    // Records {1,2} (0.5, 0.5), {3,4} (1, 1), {1,2,3,4} (2, 1.5): partition_newick.R reads the
    // text back with cophenetic distances A-B 1, C-D 2, A-C 5.
    Records rec({-1, -2, -3, -4, 1, 2}, {0.5, 1, 3.5});
    rec.Branches({{0.5, 0.5}, {1, 1}, {2, 1.5}});
    char a[] = "A", b[] = "B", c[] = "C", d[] = "D", x[] = "a,b", y[] = "c(d)", z[] = "x y", q[] = "it's";
    char* names[] = {a, b, c, d};
    char out[200] = "", bare[200] = "tree = ", chained[200] = "", quoted[200] = "";
    NewickFormat(4, rec.data(), 0, names, false, out, true);
    EXPECT_STREQ(out, "((A:0.5,B:0.5):2,(C:1,D:1):1.5);");
    NewickFormat(4, rec.data(), 0, names, false, bare, false);
    EXPECT_STREQ(bare, "tree = ((A,B),(C,D));");
    // {1,2} then {3} + {1,2}: the record's first group is written first.
    Records chain({-1, -2, -3, 1}, {1, 2});
    chain.Branches({{1, 1}, {2, 1}});
    char* odd[] = {x, y, z};
    NewickFormat(3, chain.data(), 0, odd, false, chained, true);
    EXPECT_STREQ(chained, "('x y':2,('a,b':1,'c(d)':1):1);");
    char* one[] = {q};
    NewickFormat(1, chain.data(), 0, one, false, quoted, true);
    EXPECT_STREQ(quoted, "'it''s';");
}

}  // namespace
