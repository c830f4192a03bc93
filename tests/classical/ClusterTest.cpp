// Cluster analysis drivers against R's hclust and cutree (r/structures.R), the partition file read
// back, wrapped member lists, the caption, the environmental clustering.
#include "classical/TNXCLUST.h"
#include "OrdinationFixture.h"
#include "session/dialogs/TNXPART.h"

using namespace tnxtest;

namespace {

// Squared distances of the six points of r/structures.R, and cutree into 2 to 5 groups (every
// method cuts them alike).
const Matrix kSix = {{0, 1.04, 26, 45, 17.06, 171.25},  {1.04, 0, 16.64, 32.84, 15.46, 150.49},
                     {26, 16.64, 0, 5, 29.86, 88.25},   {45, 32.84, 5, 0, 31.46, 51.25},
                     {17.06, 15.46, 29.86, 31.46, 0, 101.41}, {171.25, 150.49, 88.25, 51.25, 101.41, 0}};
const std::vector<Ints> kCuts = {{1, 1, 1, 1, 1, 2}, {1, 1, 2, 2, 1, 3}, {1, 1, 2, 2, 3, 4}, {1, 1, 2, 3, 4, 5}};

class ClusterTest : public StructureTest {
protected:
    void SetUp() override {
        StructureTest::SetUp();
        whichObj = 'r', optmain = 'U', rese_opt = 6, part = 1;
    }
    // Cluster2 of the objects o1, o2, ... of m at level 2; the report's section.
    std::string Cluster(const Matrix& m) {
        const int n = static_cast<int>(m.size());
        OwnedTable<double> t(n, n);
        char names[6][3] = {"o1", "o2", "o3", "o4", "o5", "o6"}, *labels[6];
        for (int i = 0; i < n; i++) {
            labels[i] = names[i];
            for (int j = 0; j < n; j++) t[i][j] = m[i][j];
        }
        std::remove("s1Prinda.txt");
        Cluster2(n, labels, 2, 1, t.get());
        return Read("s1Prinda.txt");
    }
};

// Column `column` (1 level, 2 criterion) of each step of the fusion directory.
std::vector<double> StepValues(const std::string& report, size_t column) {
    std::vector<double> v;
    const std::vector<std::string> lines = Lines(report.substr(report.find("Fusion directory:\n")));
    for (size_t i = 2; i < lines.size() && !lines[i].empty(); i++) v.push_back(Numbers(lines[i]).at(column));
    return v;
}

// Same partition up to the numbering of the groups.
bool SamePartition(const Ints& a, const Ints& b) {
    for (size_t i = 0; i < a.size() && a.size() == b.size(); i++)
        for (size_t j = 0; j < a.size(); j++)
            if ((a[i] == a[j]) != (b[i] == b[j])) return false;
    return a.size() == b.size();
}

void ExpectNear(const std::vector<double>& got, const std::vector<double>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i++) EXPECT_NEAR(got[i], expected[i], 1e-9) << i;
}

// hclust heights (single, complete, average), ward.D2 heights squared and halved (the criterion),
// from plain distances and from the hierarchy's squared ones (linkage levels = squared heights; no
// d^4). Correlations r12 .9, r13 .1, r23 .5: complete linkage joins the largest, then min(.1, .5);
// sums of squares of 2 (1 - r): .2 / 2, then (1.8 + 1) / 2 - .2 / 4 scaled by 2/3. Partitions in the
// report and read back from the file are cutree's; the file lists sums of squares by level.
TEST_F(ClusterTest, HeightsAndPartitionsMatchHclust) {
    const std::vector<double> ward = {0.52, 2.5, 10.6666666666667, 30.3853333333333, 86.4296666666667};
    const Matrix r = {{1, .9, .1}, {.9, 1, .5}, {.1, .5, 1}};
    const struct {
        int hierarchical, option, method;
        Matrix stored;
        size_t column;
        std::vector<double> levels;
    } cases[] = {
        {0, 6, 1, Roots(kSix), 1, {1.01980390271856, 2.23606797749979, 3.9319206502675, 4.07921561087423, 7.15891053163818}},
        {0, 6, 2, Roots(kSix), 1, {1.01980390271856, 2.23606797749979, 4.13037528561268, 6.70820393249937, 13.0862523283024}},
        {0, 6, 4, Roots(kSix), 1, {1.01980390271856, 2.23606797749979, 4.03114796794009, 5.44840174526698, 10.3953999536469}},
        {0, 6, 3, Roots(kSix), 2, ward},
        {1, 6, 3, kSix, 2, ward},
        {1, 6, 1, kSix, 1, {1.04, 5, 15.46, 16.64, 51.25}},
        {1, 5, 2, r, 1, {.9, .1}},
        {1, 5, 3, r, 2, {.1, .9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        isHierarchical = c.hierarchical, rese_opt = c.option, clusMeth = c.method;
        const std::string report = Cluster(c.stored);
        ExpectNear(StepValues(report, c.column), c.levels);
        const std::vector<std::string> file = Lines(Read("s1.RCl"));
        for (size_t i = 1; i < file.size() && c.method == 3; i++) EXPECT_LE(Numbers(file[i - 1])[0], Numbers(file[i])[0]);
        for (int k = 2; k <= 5 && c.stored.size() == 6; k++) {
            std::string line = report.substr(report.find(std::to_string(k) + " groups (cl = "));
            line = line.substr(0, line.find('\n'));
            const std::vector<double> v = Numbers(line.substr(line.find("):") + 2));
            EXPECT_TRUE(SamePartition(Ints(v.begin(), v.end()), kCuts[k - 2])) << k;
            Ints groups(6);
            GetPartition(6, k, groups.data(), 'r');
            EXPECT_TRUE(SamePartition(groups, kCuts[k - 2])) << k;
        }
    }
}

// Past maxColsPrint = 40 (4 k + 32 > 40 from the third member on) a member list goes on under
// empty step and level columns: single linkage groups of 2, 2, 3, 5 and 6 members wrap 0, 0, 1, 2
// and 2 times. Two objects: one step and the one partition "2 groups" (no fusion: cl = 0). The
// caption lists the traits in the hierarchy order 2 3 1.
TEST_F(ClusterTest, WrappedMembersTwoObjectsAndCaption) {
    maxColsPrint = 40;
    clusMeth = 1;
    const std::string report = Cluster(Roots(kSix));
    maxColsPrint = 2147483647;
    EXPECT_EQ(Count(report, "\n     \t             \t"), 5);
    const std::string two = Cluster({{0, 3}, {3, 0}});
    EXPECT_TRUE(Has(two, "Step \tResemblance  \tObjects in group\n1    \t3            \to1 \to2 \t\n"));
    EXPECT_TRUE(Has(two, "\n2 groups (cl = 0):     \t1\t2\t\n"));
    nchor[0] = 2, nchor[1] = 3, nchor[2] = 1;
    EXPECT_EQ(Cluster2(0, nullptr, 1, 1, nullptr), "Formatted data (V): s1Formda.txt\rClustering method: 1 (single "
                                                  "linkage)\rObjects: communities\rTraits (cumulative from level 3 "
                                                  "down):\rtr2tr3tr1\rResemblance option: 6, nominal resemblances\r"
                                                  "Fuzzy: none (crisp)  Data partition: mixed\r");
}

// Saved records of the types: sums of squares by increasing level, equal levels in step order;
// other methods in step order.
TEST_F(ClusterTest, SavedRecordsOfTypes) {
    whichObj = 'c';
    double ss[] = {5, .7, 2, 1, 2, 1, .2, 2, 3, 4, 1, .9, 4, 1, 2, 3, 4};
    SaveClus(4, ss, 3);
    EXPECT_EQ(Read("s1.CCl"), "1\t2\t3\t4\t\n1\t4\t1\t2\t3\t4\t\n5\t2\t1\t2\t\n");
    double linkage[] = {5, 2, 1, 2, 1, 2, 3, 4, 1, 4, 1, 2, 3, 4};
    SaveClus(4, linkage, 1);
    EXPECT_EQ(Read("s1.CCl"), "5\t2\t1\t2\t\n1\t2\t3\t4\t\n1\t4\t1\t2\t3\t4\t\n");
}

// The environmental dissimilarity of the four points clustered by sums of squares, squared by the
// engine: half the squared ward.D2 heights 5, 13.6666666666667, 22.8333333333333; rese[0] stays.
TEST_F(ClusterTest, EnvironmentalSumsOfSquares) {
    Store(1, Roots(kSquared));
    clusMeth = 3;
    const std::string caption = EnvCluster();
    const std::string report = Read("s1Prinda.txt");
    ExpectNear(StepValues(report, 2), {5, 13.6666666666667, 22.8333333333333});
    EXPECT_EQ(rese[0][0][1], std::sqrt(10.0));
    EXPECT_TRUE(Has(caption, "\rResemblance function: Euclidean distance\rVector transformation: "));
}

}  // namespace
