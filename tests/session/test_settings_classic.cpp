// Settings dialogs of the classical analyses, each driven by a scripted answer list, and the stored-resemblance
// reader.
#include "session/TNXTRACK.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/dialogs/TNXPART.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kGroupsError = "\nError!! Reenter!!\n";
const std::string kLabelError = "\nError!! Enter again. \n";

// Communities c1..c4 in two groups g1 = {c1, c2} and g2 = {c3, c4}; a non-hierarchical crisp analysis.
class ClassicTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        fuzzy = 0;
        poolCSTopt = 2;
        isHierarchical = 0;
        rese_opt = 6;
        hasProbN = adjacentRelOpt = 0;
        hasNRese = hasCstRese = 1;
        Groups(2);
    }
    static void Groups(int k) {
        nGroups = k;
        const int g[] = {1, 1, 2, 2};
        for (int i = 0; i < 4; i++) groupRel[i] = k == 2 ? g[i] : 1;
        std::strcpy(grLabel[0], "g1");
        std::strcpy(grLabel[1], "g2");
    }
    // Runs f on the answers; true when every answer was read.
    template <class F>
    bool Run(const std::string& answers, F f) {
        Script(answers + "END\n");
        f();
        char rest[8] = "";
        return std::fscanf(inFile_, "%7s", rest) == 1 && std::string(rest) == "END";
    }
};

// Partial resemblances need a crisp, monothetic, hierarchical analysis of 2 traits or more; probabilities need
// hasProbN and adjacent units. Only the printed options pass.
TEST_F(ClassicTest, ResemblanceTypeOffersAndAcceptsOnlyWhatIsStored) {
    const std::string head = "Resemblance function available: option 6 ";
    const std::string use = "\nUse:\n   1  nominal resemblances \n";
    const std::string partial = "   2  partial resemblances \n", probs = "   3  probabilities of nominal resemblances\n";
    const struct {
        int pool, hier, probN, adjacent;
        std::string answers;
        int option;
        std::string text;
    } cases[] = {
        {2, 0, 0, 1, "", 1, head + "\nNominal resemblances will be used."},
        {1, 1, 0, 0, "3\n2\n", 2, head + use + partial + "Type option no.: "},
        {2, 0, 1, 1, "2\n3\n", 3, head + "and its probabilities\n" + use + probs + "Type option no.: "},
        {2, 0, 1, 0, "", 1, head + "and its probabilities\n\nNominal resemblances will be used."},
        {1, 1, 1, 1, "2\n", 2, head + "and its probabilities\n" + use + partial + probs + "Type option no.: "},
    };
    for (const auto& c : cases) {
        poolCSTopt = c.pool;
        isHierarchical = c.hier;
        hasProbN = c.probN;
        adjacentRelOpt = c.adjacent;
        const std::string before = Out();
        int option = 0;
        EXPECT_TRUE(Run(c.answers, [&] { EXPECT_EQ(SettingsVegOrdination(&option), c.option); }));
        EXPECT_EQ(option, c.option);
        EXPECT_EQ(Out().substr(before.size()), c.text);
    }
    fuzzy = 3;  // fuzzy belonging has no partial resemblances
    poolCSTopt = isHierarchical = 1;
    hasProbN = 0;
    int option = 0;
    EXPECT_TRUE(Run("", [&] { SettingsVegOrdination(&option); }));
    EXPECT_EQ(option, 1);
    EXPECT_EQ(Count(Err(), "Incorrect input"), 2);
}

// Two levels of 4 communities as upper triangles with diagonal (10 values each): level l holds 10*l + the
// value's rank, so cell (i, j), i <= j, holds 10*l + 4i - i(i-1)/2 + (j - i) + 1.
TEST_F(ClassicTest, StoredResemblancesMirroredOrLowerHalf) {
    std::string text;
    for (int l = 0; l < 2; l++)
        for (int r = 1; r <= 10; r++) text += std::to_string(10 * l + r) + (r % 4 ? " " : "\n");
    Write("s1NRe.txt", text);
    Write("s1PRe.txt", "1 2 3");
    std::strcpy(whichNRese, "s1NRe.txt");
    std::strcpy(whichPRese, "s1PRe.txt");
    std::strcpy(whichProbN, "missing.txt");
    isHierarchical = 1;
    nlev = 2;
    double cells[2][4][4];
    double* rows[2][4];
    double** levels[2];
    for (int l = 0; l < 2; l++) {
        for (int i = 0; i < 4; i++) rows[l][i] = cells[l][i];
        levels[l] = rows[l];
    }
    rese = levels;
    for (bool lowerOnly : {false, true}) {
        for (auto& level : cells)
            for (auto& row : level)
                for (double& v : row) v = -1.0;
        ReadResemblance(1, lowerOnly);
        for (int l = 0; l < 2; l++)
            for (int i = 0; i < 4; i++)
                for (int j = i; j < 4; j++) {
                    const double v = 10 * l + 4 * i - i * (i - 1) / 2 + (j - i) + 1;
                    EXPECT_EQ(cells[l][j][i], v) << l << i << j;
                    EXPECT_EQ(cells[l][i][j], i == j || !lowerOnly ? v : -1.0) << l << i << j;
                }
    }
    isHierarchical = 0;  // one level only: a file of one triangle is enough
    Write("s1NRe.txt", "1 2 3 4 5 6 7 8 9 10");
    ReadResemblance(1, false);
    EXPECT_EQ(cells[0][3][2], 9.0);
    EXPECT_EQ(CodeOf([] { ReadResemblance(2, false); }), TNX_END_OF_FILE);
    EXPECT_EQ(CodeOf([] { ReadResemblance(3, false); }), TNX_FAIL_TO_OPEN);
    rese = nullptr;
}

TEST_F(ClassicTest, ClusterSettingsNeedTheStoredResemblance) {
    const std::string head = Header("CLUSTER ANALYSIS SETTINGS", "s1") + "Clustering of communities(R) or PFTs(C)? ";
    const std::string method = "\nClustering method:\n   1  single linkage (nearest neighbor) \n   2  complete linkage \n"
                               "   3  sum of squares \nType option no.: ";
    const struct {
        int nRese, cstRese;
        std::string answers;
        int obj, meth;
        std::string text;
    } cases[] = {
        {0, 1, "R\n", 'r', 0, head + "Resemblance of communities not available\n"},
        {1, 0, "c\n", 'c', 0, head + "Resemblance of PFTs not available\n"},
        {1, 1, "c\n4\n3\n", 'c', 3, head + method},
        {1, 0, "r\n2\n", 'r', 2, head + "Resemblance function available: option 6 \nNominal resemblances will be used." + method},
    };
    for (const auto& c : cases) {
        hasNRese = c.nRese;
        hasCstRese = c.cstRese;
        clusMeth = 0;
        reseTypeClus = 9;
        const std::string before = Out();
        EXPECT_TRUE(Run(c.answers, SettingsVegCluster));
        EXPECT_EQ((Ints{whichObj, clusMeth}), (Ints{c.obj, c.meth}));
        EXPECT_EQ(reseTypeClus, c.text.find("Nominal") != std::string::npos ? 1 : 9);
        EXPECT_EQ(Out().substr(before.size()), c.text);
    }
}

// Function 3 needs two groups: refused with one group; a row with a 2 or with no group is asked again, and a
// choice of one group asks the groups again.
TEST_F(ClassicTest, EvaluationAndGroupSelection) {
    const std::string groupsMenu =
        "\nGroups to be considered in computations: \n   1  all\n   2  some\nType option no.: ";
    const std::string row = "\nSelect groups (0 for no, 1 for yes): \ng1 g2 \n";
    Groups(1);
    EXPECT_TRUE(Run("3\n7\n2\n1\n", SettingsEvaluation));  // one group: 3 refused, 7 accepted; all groups
    EXPECT_EQ((Ints{cohe, groupDissMeth, reseTypeEv}), (Ints{7, 2, 1}));
    EXPECT_EQ(Ints(relSelect, relSelect + 4), (Ints{1, 1, 1, 1}));
    EXPECT_EQ(Count(Out(), "Structure evaluation function option:\n"), 2);
    Groups(2);
    createMacro = 1;
    outm = std::fopen("echo.txt", "w");
    std::string before = Out();
    EXPECT_TRUE(Run("3\n4\n2\n1 2\n0 0\n0 1\n2\n1 1\n", SettingsEvaluation));
    createMacro = 0;
    std::fclose(outm);
    outm = nullptr;
    EXPECT_EQ((Ints{cohe, groupDissMeth}), (Ints{3, 4}));
    EXPECT_EQ(Ints(relSelect, relSelect + 4), (Ints{1, 1, 1, 1}));
    EXPECT_EQ(Count(Out().substr(before.size()), row + kGroupsError), 3);  // the last: one group is too few
    EXPECT_EQ(Count(Out().substr(before.size()), groupsMenu), 2);
    // Each row of group answers is one line of the macro.
    EXPECT_EQ(Read("echo.txt"), "3\n4\n2\n1  2  \n0  0  \n0  1  \n2\n1  1  \n");
    before = Out();
    EXPECT_TRUE(Run("1\n", SettingsEvaluation));  // no groups; the nominal resemblances
    EXPECT_EQ(Out().substr(before.size()).find(groupsMenu), std::string::npos);
    EXPECT_TRUE(Run("7\n1\n2\n0 1\n", [] { SettingsEvaluation(); }));
    EXPECT_EQ(Ints(relSelect, relSelect + 4), (Ints{0, 0, 1, 1}));
}

TEST_F(ClassicTest, ProfileLabelsAndScales) {
    // Source 6; the pair c1, zz refused, then c1, c3; squared correlation; vertical 2 from -1 to 2 (-2 refused);
    // horizontal 2 with 3 refused (less than the 4 communities), then 5.
    EXPECT_TRUE(Run("5\n6\nc1 zz\nc1 c3\n1\n2\n-1\n-2\n2\n2\n3\n5\n", SettingsProfile));
    EXPECT_EQ((Ints{roFrom, relPair[0], relPair[1], sqRoOpt, whichScale}), (Ints{6, 0, 2, 1, 2}));
    EXPECT_EQ((Floats{minRoFix, maxRoFix, rangeHorFix}), (Floats{-1, 2, 5}));
    const std::string o = Out();
    EXPECT_EQ(o.substr(0, o.find("Type")),
              Header("PROFILE SETTINGS", "s1") + "Draw profile over 4 communities \n(assuming they conform a spatial "
                                                 "or temporal series) using: \n   6  nominal resemblances\n   7  "
                                                 "partial resemblances\n   8  nominal resemblances probabilities\n");
    EXPECT_EQ(Count(o, "\nEnter labels of the pair of communities to plot: " + kLabelError +
                           "\nEnter labels of the pair of communities to plot: \nScalar transformation: \n"),
              1);
    EXPECT_EQ(Count(o, "Specify minimum value: Specify maximum value: \nProfile's horizontal scale: \n"), 1);
    EXPECT_TRUE(Run("1\n", [] { SettingsProfileScale(); }));  // the vertical scale alone, from the data
    EXPECT_EQ(whichScale, 1);
    EXPECT_EQ(Count(Err(), "Incorrect input"), 3);
}

TEST_F(ClassicTest, HistogramOfResemblancesOrOfTheEvaluation) {
    doDistrib = 1;
    EXPECT_TRUE(Run("c4 c2\n", SettingsHistogram));
    EXPECT_EQ((Ints{ndFrom, relPair[0], relPair[1], whichLevelHist}), (Ints{3, 3, 1, 1}));
    doDistrib = 2;
    cohe = 3;
    std::string before = Out();
    EXPECT_TRUE(Run("2\ng2 g3\ng2 g1\n", SettingsHistogram));
    EXPECT_EQ((Ints{ndFrom, relPair[0], relPair[1]}), (Ints{2, 1, 0}));
    EXPECT_EQ(Out().substr(before.size()),
              Header("HISTOGRAM SETTINGS", "s1") +
                  "Will draw null frequency distribution histogram of SEF.\nDraw histogram of SEF option 3 (divergence "
                  "community groups) involving:\n   1  the groups previously specified for evaluation\n   2  one of "
                  "the pairwise group comparisons\nType option no.: \nEnter labels of the pair of groups to plot: " +
                  kLabelError + "\nEnter labels of the pair of groups to plot: ");
    Groups(1);  // one group: no pairwise comparison
    EXPECT_TRUE(Run("2\n1\n", SettingsHistogram));
    EXPECT_EQ(ndFrom, 1);
}

// Scores, axes, levels, biplot threshold, labels (variable e2 as a class), one group shown, connected in groups.
TEST_F(ClassicTest, ScatterSettings) {
    const struct {
        int scores, aoc, opt;
        std::string answers;
    } which[] = {{1, 0, 1, ""}, {0, 1, 2, ""}, {1, 1, 2, "3\n2\n"}, {0, 0, 0, ""}};
    for (const auto& w : which) {
        hasScores = w.scores;
        hasAOCScor = w.aoc;
        EXPECT_TRUE(Run(w.answers, SettingsWhichScatter));
        EXPECT_EQ(scoreOpt, w.opt);
    }
    EXPECT_EQ(Count(Out(), Header("SCATTERGRAM SETTINGS", "s1")), 1);
    maxComponents = 3;
    isHierarchical = 1;
    scatterHSize = 2;
    nCstGroups = 0;
    std::string before = Out();
    EXPECT_TRUE(Run("2\n2\n2\n3\n2\n0 0 0\n0 1 1\n2\n1.5\n0.4\n5\n3\nzz\ne2\n2\n2\ng2\ny\n2\n", SettingsScatter));
    EXPECT_EQ((Ints{whichAxis[0], whichAxis[1], plotType, whichSctLabels, whichEnv, howEnv}),
              (Ints{1, 2, 2, 3, 1, 2}));
    EXPECT_EQ(Ints(whichLevel, whichLevel + 3), (Ints{0, 1, 1}));
    EXPECT_FLOAT_EQ(biplotCorrThreshold, 0.4f);
    EXPECT_EQ((Ints{whichGrScatter, connectPtScatterOpt}), (Ints{1, 2}));
    const std::string o = Out().substr(before.size());
    EXPECT_EQ(Count(o, "\nError!! Enter again. \n"), 2);  // the same axis twice, a variable that is not there
    EXPECT_EQ(Count(o, "\nScatter dimensions are not the same. Please set preferences accordingly. \n"
                       "Will use default sizes now.\n"), 1);
    EXPECT_EQ(Count(o, "\nLabels to use in the scatter: \n   0  none (only squares)\n   1  community labels\n"
                       "   2  community group labels\n   3  environmental state\n"
                       "   4  weight of trait state in the community\nType option no.: "), 1);
    // Trait tr2, state 3 of 5 (6 refused), as it is; all communities; not connected.
    scatterHSize = scatterVSize;
    Groups(1);
    EXPECT_TRUE(Run("1\n2\n1\n1\n4\ntr2\n6\n3\n1\nn\n", SettingsScatter));
    EXPECT_EQ((Ints{whichChar, whichChState, howEnv, whichGrScatter, connectPtScatterOpt}), (Ints{1, 2, 1, -1, 0}));
    EXPECT_EQ(Ints(whichLevel, whichLevel + 3), (Ints{1, 1, 1}));
    free1D(whichLevel);
    whichLevel = nullptr;
}

// The ordination printout, the export format, the axes of the coherence per level, the object of an analysis and
// the partition menus of the structure table.
TEST_F(ClassicTest, SmallDialogs) {
    fuzzy = 2;
    EXPECT_TRUE(Run("y\n", [] { SettingsOrdOutput("PFTs"); }));
    fuzzy = 0;
    EXPECT_TRUE(Run("n\ny\n", [] { SettingsOrdOutput("variables"); }));
    EXPECT_EQ((Ints{printOrdScores, printOrdCorrelations}), (Ints{'n', 'y'}));
    int format = 0;
    EXPECT_TRUE(Run("3\n2\n", [&] { SettingsExportData(&format); }));
    EXPECT_EQ(format, 2);
    int rank[3] = {2, 3, 1}, dims[3] = {-1, -1, -1};
    isHierarchical = 1;
    EXPECT_TRUE(Run("3\n2\n0\n4\n1\n", [&] { SettingsCoherence(rank, dims); }));
    EXPECT_EQ(Ints(dims, dims + 3), (Ints{2, 0, 1}));
    EXPECT_TRUE(Run("C\n", [] { EXPECT_EQ(SettingWhichObj("Ordination"), 'c'); }));
    EXPECT_EQ(Out(), "\nPrintout:\n   - ordination scores y/n               "
                     "\nPrintout:\n   - ordination scores y/n               "
                     "   - correlation of scores and variables y/n  " +
                         Header("EXPORT DATA SETTINGS", "s1") +
                         "File format:\n   1  Tab separated community matrix for Orbald\n"
                         "   2  Tab separated community matrix for Mulva5\nType option no.: "
                         "\nChoose number of ordination components to use in distances:\nLevel 1, rank=2, dimensions:"
                         "Level 2, rank=3, dimensions:Level 3, rank=1, dimensions:"
                         "Ordination of communities(R) or PFTs(C)? ");
    EXPECT_EQ(Count(Err(), "Incorrect input"), 3);  // format 3, 3 axes of rank 2, 4 of rank 3

    nPart = nPartCst = 1;
    std::strcpy(partLabel[0], "byHand");
    std::strcpy(partCstLabel[0], "types");
    whichLevelGrCstP[0] = 1;
    partitionTrackWriter = WriteTrack;
    printSpp = 'y';
    EXPECT_TRUE(Run("x\nx\n", SettingsTable));
    partitionTrackWriter = nullptr;
    EXPECT_EQ(printSpp, 'n');  // no species names
    EXPECT_EQ(Count(Out(), "Current partition: (1)  byHand\n"), 1);
    EXPECT_EQ(Count(Out(), "Current partition: (1)  types\nHierarchical level: 1\n"), 1);
}

}  // namespace
