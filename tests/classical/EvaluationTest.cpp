// Evaluation of structures against vegan's mantel and R (r/structures.R) or by hand, the values and
// structure files, the two-community rule, undefined values, missing communities and files.
#include "classical/TNXEVAL.h"
#include "classical/TNXORDI.h"
#include "OrdinationFixture.h"

using namespace tnxtest;

namespace {

class EvaluationTest : public StructureTest {
protected:
    void SetUp() override {
        StructureTest::SetUp();
        rese_opt = 6, optmain = 'E';
        hasScores = hasHier = hasRo = 1;
        Store(1, Roots(kSquared));
    }
    void Groups(const Ints& groups) {
        nGroups = 0;
        for (int c = 0; c < 4; c++) groupRel[c] = groups[c], nGroups = std::max(nGroups, groups[c]);
        for (int g = 0; g < nGroups; g++) std::snprintf(grLabel[g], 5, "g%c", static_cast<char>('1' + g));
    }
    static double Ro() { return std::stod(Read("s1Ro.txt")); }
};

// A nominal variable, alone or among others, makes the environmental dissimilarity Gower's:
// a quantitative variable 0 1 2 (range 2) and a nominal one 1 1 2 give 1 - s, s the mean of the
// partial similarities: 1 - (0.5 + 1) / 2 = 0.25, 1 - (0 + 0) / 2 = 1, 1 - (0.5 + 0) / 2 = 0.75.
TEST_F(EvaluationTest, NominalVariablesMakeTheEnvironmentalDissimilarityGowers) {
    for (int kind : {3, 5}) {
        optEnvVarType = kind, temEnvQual = 1;
        float rows[3][2] = {{0, 1}, {1, 1}, {2, 2}};
        float* data[3] = {rows[0], rows[1], rows[2]};
        int types[2] = {3, 2};
        OwnedTable<double> De(3, 3);
        EnvDissimilarity(3, 2, data, types, De.get());
        EXPECT_NEAR(De[0][1], 0.25, 1e-6) << kind;
        EXPECT_NEAR(De[0][2], 1.0, 1e-6) << kind;
        EXPECT_NEAR(De[1][2], 0.75, 1e-6) << kind;
    }
}

// Function 1 is the Mantel statistic of the structure and the standardised variables' distances,
// 0.803649860139399 (vegan); the structure file holds both matrices and the notes, unless the
// randomisation tests run.
TEST_F(EvaluationTest, CongruenceIsMantelStatistic) {
    cohe = 1, saveStruct = 'y';
    Evaluation();
    EXPECT_NEAR(Ro(), 0.803649860139399, 1e-7);
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "function: 1 (congruence community/environmental resemblance)\n0.80364"));
    const std::string str = Read("s1Str.txt");
    EXPECT_EQ(Lines(str).size(), 2u * 4 + 3);
    EXPECT_TRUE(Has(str, "The arrays are upper half 4 x 4 communities matrices,\n1st array: euclidean distances "
                         "environmental structure, after variables centered and normalized.\nNext 3 array(s): "
                         "distances community structure.\n"));
    EXPECT_EQ(env[2][1], 1.0f);  // E is standardised on a copy
    std::remove("s1Str.txt");
    optmain = 'D';
    Evaluation();
    EXPECT_EQ(Entries(), 5);  // no structure file: answers, console, formatted data, report, values
    optmain = 'E', optEnvVarType = 5, temEnvQual = 1;  // several types, one nominal: Gower
    Evaluation();
    EXPECT_TRUE(Has(Read("s1Str.txt"), "\n1st array: 1-Gower index, environmental structure.\n"));
}

// Two communities: 1 - |De - d| / max with De = 2 (each standardised variable -0.707, 0.707) and
// d = sqrt(10); three communities take the matrix correlation of their three cells, 15 / sqrt(228)
// for 1 2 3 and 2 4 7. One community: no evaluation at all; nor without the scores file (functions 2, 5)
// or the intermediate file (6). A structure under function 2 evaluates to 0.
TEST_F(EvaluationTest, TwoCommunitiesAndGuards) {
    cohe = 1, ncsm = 2;
    Evaluation();
    ncsm = 4;
    EXPECT_NEAR(Ro(), 2 / std::sqrt(10.0), 1e-6);
    std::remove("s1Ro.txt"), std::remove("s1Prinda.txt");
    ncsm = 1;
    Evaluation();
    ncsm = 4, hasScores = hasHier = 0;
    for (int c : {2, 5, 6}) cohe = c, Evaluation();
    EXPECT_EQ(Entries(), 3);
    EXPECT_TRUE(Has(Err(), "needs at least 2 communities"));
    EXPECT_EQ(EvalStruct(rese[0], rese[0], nullptr), 0.0);
    double a[3][3] = {{0, 1, 2}, {1, 0, 3}, {2, 3, 0}}, b[3][3] = {{0, 2, 4}, {2, 0, 7}, {4, 7, 0}};
    double *ra[3] = {a[0], a[1], a[2]}, *rb[3] = {b[0], b[1], b[2]};
    EXPECT_NEAR(Congruence(3, ra, rb), 15 / std::sqrt(228.0), 1e-12);
}

// Divergence of the groups 1 1 2 2 of the four points: mean dissimilarity between groups and mean
// nearest-neighbour distance (R), between-group sum of squares 166 / 4 - 10 / 2 - 30 / 2 = 21.5
// and its ratio to the within-group sum of squares, 21.5 / 20, the same for the pair of groups;
// singletons leave no within-group sum: ratio 1. One group leaves no pair: undefined, never a
// value of the file.
TEST_F(EvaluationTest, GroupDivergence) {
    cohe = 3;
    const struct {
        Ints groups;
        int method;
        double value;
    } cases[] = {{{1, 1, 2, 2}, 1, 5.52986221387737}, {{1, 1, 2, 2}, 2, 4.8801292496609},
                 {{1, 1, 2, 2}, 3, 21.5},             {{1, 1, 2, 2}, 4, 1.075},
                 {{1, 2, 3, 4}, 4, 1.0}};
    for (const auto& c : cases) {
        Groups(c.groups), groupDissMeth = c.method;
        Evaluation();
        EXPECT_NEAR(Ro(), c.value, 1e-9) << c.method;
        const std::string report = Read("s1Prinda.txt");  // two groups: their pair is the whole
        if (c.groups[3] == 2) {
            EXPECT_NEAR(Numbers(report.substr(report.rfind("Level 1:\n") + 9)).at(0), c.value, 1e-9);
        }
    }
    // The hierarchy stores option 6 as squared distances: the sums of squares take its cells as
    // they are, and give the distances' values above at every level.
    isHierarchical = 1;
    Store(nch, kSquared);
    Groups({1, 1, 2, 2});
    for (const auto& [method, value] : {std::make_pair(3, 21.5), std::make_pair(4, 1.075)}) {
        groupDissMeth = method;
        Evaluation();
        const std::vector<double> levels = Numbers(Read("s1Ro.txt"));
        ASSERT_EQ(levels.size(), static_cast<size_t>(nch)) << method;
        for (double v : levels) EXPECT_NEAR(v, value, 1e-9) << method;
    }
    isHierarchical = 0;
    Store(1, Roots(kSquared));
    std::remove("s1Ro.txt");
    Groups({1, 1, 1, 1}), groupDissMeth = 1;
    Evaluation();
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "1 (average dissimilarity)\nundefined \n"));
    EXPECT_EQ((Ints{hasRo, std::ifstream("s1Ro.txt").good(), std::strcmp(whichRo, "NULL")}), (Ints{0, 0, 0}));
}

// Function 2 reads the scores file: over all three axes the ordination distances are the points'
// own, so the value is function 1's; over two axes 0.786645218661102 (R).
TEST_F(EvaluationTest, OrdinationAxesAgainstEnvironment) {
    Ordination();
    cohe = 2;
    EXPECT_TRUE(Run("2\n", [] { Evaluation(); }));
    EXPECT_NEAR(Ro(), 0.786645218661102, 1e-7);
    const std::string report = Read("s1Prinda.txt");
    EXPECT_NEAR(LineValues(report.substr(report.find("all community ordination")), "Level 1 (3 axes):")[0],
                0.803649860139399, 1e-7);
    EXPECT_EQ(Count(report, "\nLevel "), 2);  // the one level of the scores file in each list
    cohe = 5;
    Evaluation();
    const std::vector<double> r = LineValues(Read("s1Prinda.txt"), "      e1\t");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_NEAR(std::fabs(r[0]), 0.963965936499353, 1e-6);
}

// Scores of the three levels of a hierarchy and of the global matrix of the partial resemblances,
// each the ordination of the four points: every level is evaluated on the axes chosen for it (3, 2
// and 3: the values of all axes and of two, above), the global one, which the dialog does not ask
// about, on all its axes; the values file holds the four.
TEST_F(EvaluationTest, OrdinationAxesOfEveryLevelAndTheGlobalOne) {
    Ordination();
    const std::vector<std::string> one = Lines(Read("s1Sco.txt"));
    ASSERT_EQ(one.size(), 1u + 3 * 4);
    std::string scores = one[0] + one[0] + one[0] + one[0] + "\n";
    for (int copy = 0; copy < 4; copy++)
        for (size_t k = 1; k < one.size(); k++) scores += one[k] + "\n";
    Write("s1Sco.txt", scores);
    isHierarchical = 1, reseTypeOrd = 2, cohe = 2, poolCSTopt = 1;
    EXPECT_TRUE(Run("3\n2\n3\n", [] { Evaluation(); }));
    const double all = 0.803649860139399, two = 0.786645218661102;
    const std::vector<double> values = Numbers(Read("s1Ro.txt"));
    ASSERT_EQ(values.size(), 4u);
    const std::vector<double> expected = {all, two, all, all};
    for (size_t l = 0; l < 4; l++) EXPECT_NEAR(values[l], expected[l], 1e-7) << l;
    const std::string report = Read("s1Prinda.txt");
    EXPECT_NEAR(LineValues(report, "Level 2 (2 axes):")[0], two, 1e-7);
    EXPECT_NEAR(LineValues(report, "Global (3 axes):")[0], all, 1e-7);
    EXPECT_EQ(Count(report, "\nGlobal (3 axes): "), 2);  // in the list of the axes chosen and of all
    // Polythetic pooling lists all the axes of the first level only.
    std::remove("s1Prinda.txt");
    poolCSTopt = 2;
    EXPECT_TRUE(Run("3\n2\n3\n", [] { Evaluation(); }));
    const std::string polythetic = Read("s1Prinda.txt");
    EXPECT_EQ(Count(polythetic, "\nGlobal (3 axes): "), 1);
    EXPECT_EQ(Count(polythetic, "\nLevel 1 (3 axes): "), 2);
}

// Sharpness of information structure (function 6): the coherence of the communities' table of
// types, 1 when each community holds a type of its own (perfect association), 0 when every
// community holds the types in the same proportions (no association).
TEST_F(EvaluationTest, SharpnessOfTheTypesTable) {
    cohe = 6;
    const std::pair<Matrix, double> rows[] = {
        {{{1, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 4}}, 1.0},
        {{{1, 1, 1, 1}, {2, 2, 2, 2}}, 0.0}};
    for (const auto& [table, value] : rows) {
        WriteHie(table);
        std::remove("s1Ro.txt");
        Evaluation();
        EXPECT_NEAR(Ro(), value, 1e-6);
        EXPECT_EQ(rcst[0], static_cast<int>(table.size()));
    }
}

// Group homogeneity: the communities of g1 clustered by complete linkage of their distances
// sqrt(10), sqrt(20), sqrt(26) (fused at sqrt(10), then at the largest); g2, alone, has its heading
// only. The method stays complete linkage.
TEST_F(EvaluationTest, GroupHomogeneity) {
    cohe = 7, clusMeth = 1;
    Groups({1, 1, 1, 2});
    Evaluation();
    const std::string report = ReportAfter("Group g1:");
    EXPECT_NEAR(LineValues(report, "1    \t")[0], std::sqrt(10.0), 1e-9);
    EXPECT_NEAR(LineValues(report, "2    \t")[0], std::sqrt(26.0), 1e-9);
    EXPECT_EQ(report.substr(report.size() - 10), "\nGroup g2:");
    EXPECT_EQ(clusMeth, 2);
}

// Trait redundancy over levels d, d^2, d: level 1 is 1; monothetic pooling compares each level
// with the one before (cor(d, d^2) = 0.989841936494769, R), polythetic pooling with level 1.
TEST_F(EvaluationTest, TraitRedundancy) {
    cohe = 4, isHierarchical = 1;
    Store(3, Roots(kSquared));
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) rese[1][i][j] = kSquared[i][j];
    const double r = 0.989841936494769;
    for (int pooling : {1, 2}) {
        poolCSTopt = pooling;
        Evaluation();
        const std::vector<double> v = Numbers(Read("s1Ro.txt")), expected = {1, r, pooling == 1 ? r : 1};
        for (size_t l = 0; l < 3; l++) EXPECT_NEAR(v.at(l), expected[l], 1e-11) << pooling;
    }
}

}  // namespace
