// Settings dialogs of the classical analyses, each driven by a scripted answer list, and the stored-resemblance
// reader.
#include <functional>

#include "session/model/TNXTRACK.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/dialogs/TNXPART.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// Communities c1..c4 in groups g1 = {c1, c2} and g2 = {c3, c4}; traits tr1..tr3 of 5 states; a crisp,
// polythetic, non-hierarchical analysis with function 6.
class ClassicTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // The stored community resemblances of each type, as files the dialogs find.
        for (auto n : {std::make_pair(whichNRese, "s1NRe.txt"), {whichPRese, "s1PRe.txt"}, {whichProbN, "s1PrN.txt"}}) {
            std::strcpy(n.first, n.second);
            Write(n.second, "0\n");
        }
        Defaults();
    }
    static void Defaults() {
        fuzzy = isHierarchical = hasProbN = adjacentRelOpt = nCstGroups = hasScores = hasAOCScor = doDistrib = 0;
        scatterHSize = scatterVSize;
        maxComponents = 6;
        poolCSTopt = 2;
        rese_opt = 6;
        hasNRese = hasPRese = hasCstRese = 1;
        Groups(2);
    }
    static void Groups(int k) {
        nGroups = k;
        for (int i = 0; i < 4; i++) groupRel[i] = k == 2 ? 1 + i / 2 : 1;
        std::strcpy(grLabel[0], "g1");
        std::strcpy(grLabel[1], "g2");
    }
};

// Partial resemblances need a crisp, monothetic, hierarchical analysis of 2 traits or more; probabilities need
// hasProbN and adjacent units. Only the printed options pass (3 refused in the second row, 2 in the third).
TEST_F(ClassicTest, ResemblanceTypeOffersAndAcceptsOnlyWhatIsStored) {
    const std::string head = "Resemblance function available: option 6 ", probs = "and its probabilities\n";
    const std::string use = "\nUse:\n   1  nominal resemblances \n", type = "Type option no.: ";
    const std::string partial = "   2  partial resemblances \n", probN = "   3  probabilities of nominal resemblances\n";
    const struct {
        int fuzzy, pool, hier, probN, adjacent;
        std::string answers;
        int option;
        std::string text;
    } cases[] = {
        {0, 2, 0, 0, 1, "", 1, head + "\nNominal resemblances will be used."},
        {0, 1, 1, 0, 0, "3\n2\n", 2, head + use + partial + type},
        {0, 2, 0, 1, 1, "2\n3\n", 3, head + probs + use + probN + type},
        {0, 2, 0, 1, 0, "", 1, head + probs + "\nNominal resemblances will be used."},
        {0, 1, 1, 1, 1, "2\n", 2, head + probs + use + partial + probN + type},
        {3, 1, 1, 0, 0, "", 1, head + "\nNominal resemblances will be used."},
    };
    for (const auto& c : cases) {
        std::tie(fuzzy, poolCSTopt, isHierarchical, hasProbN, adjacentRelOpt) =
            std::tie(c.fuzzy, c.pool, c.hier, c.probN, c.adjacent);
        const std::string before = Out();
        int option = 0;
        EXPECT_TRUE(Run(c.answers, [&] { EXPECT_EQ(SettingsVegOrdination(&option), c.option); }));
        EXPECT_EQ(option, c.option);
        EXPECT_EQ(Out().substr(before.size()), c.text);
    }
}

// Partial resemblances and probabilities are offered only while their flag is on and their file can be
// read (both kinds allowed by the analysis: crisp, monothetic, hierarchical, adjacent units).
TEST_F(ClassicTest, ResemblanceTypesOfferedOnlyWithTheirFiles) {
    const std::string head = "Resemblance function available: option 6 and its probabilities\n";
    const std::string use = "\nUse:\n   1  nominal resemblances \n", type = "Type option no.: ";
    const std::string partial = "   2  partial resemblances \n", probN = "   3  probabilities of nominal resemblances\n";
    const std::string nominal = "\nNominal resemblances will be used.";
    const struct {
        int partialFlag;
        bool partialFile;
        int probFlag;
        bool probFile;
        std::string answers;
        int option;
        std::string text;
    } cases[] = {
        {1, true, 1, true, "3\n", 3, head + use + partial + probN + type},
        {1, false, 1, true, "2\n3\n", 3, head + use + probN + type},
        {0, true, 1, true, "2\n3\n", 3, head + use + probN + type},
        {1, true, 1, false, "3\n2\n", 2, head + use + partial + type},
        {1, false, 1, false, "", 1, head + nominal},
    };
    for (const auto& c : cases) {
        fuzzy = 0, poolCSTopt = isHierarchical = adjacentRelOpt = 1;
        std::tie(hasPRese, hasProbN) = std::tie(c.partialFlag, c.probFlag);
        std::filesystem::remove("s1PRe.txt");
        std::filesystem::remove("s1PrN.txt");
        if (c.partialFile) Write("s1PRe.txt", "0\n");
        if (c.probFile) Write("s1PrN.txt", "0\n");
        const std::string before = Out();
        int option = 0;
        EXPECT_TRUE(Run(c.answers, [&] { SettingsVegOrdination(&option); }));
        EXPECT_EQ(option, c.option);
        EXPECT_EQ(Out().substr(before.size()), c.text);
    }
}

// Two levels of 4 communities, upper triangles with diagonal (10 values each) holding 1..20 in reading order.
TEST_F(ClassicTest, StoredResemblancesMirroredOrLowerHalf) {
    std::string text;
    for (int v = 1; v <= 20; v++) text += std::to_string(v) + " ";
    Write("s1NRe.txt", text);
    Write("s1PRe.txt", "1 2 3");
    std::strcpy(whichNRese, "s1NRe.txt");
    std::strcpy(whichPRese, "s1PRe.txt");
    std::strcpy(whichProbN, "missing.txt");
    isHierarchical = 1;
    nlev = 2;
    double cells[2][4][4], *rows[2][4] = {}, **levels[2] = {rows[0], rows[1]};
    for (int k = 0; k < 8; k++) rows[k / 4][k % 4] = cells[k / 4][k % 4];
    rese = levels;
    for (bool lowerOnly : {false, true}) {
        std::fill(&cells[0][0][0], &cells[0][0][0] + 32, -1.0);
        ReadResemblance(1, lowerOnly);
        for (int l = 0, v = 1; l < 2; l++)
            for (int i = 0; i < 4; i++)
                for (int j = i; j < 4; j++, v++) {
                    EXPECT_EQ(cells[l][j][i], v);
                    EXPECT_EQ(cells[l][i][j], i == j || !lowerOnly ? v : -1.0);
                }
    }
    EXPECT_EQ(CodeOf([] { ReadResemblance(2, false); }), TNX_END_OF_FILE);
    EXPECT_EQ(CodeOf([] { ReadResemblance(3, false); }), TNX_FAIL_TO_OPEN);
    isHierarchical = 0;  // one level: one triangle is enough
    EXPECT_EQ(CodeOf([] {
                  Write("s1PRe.txt", "1 2 3 4 5 6 7 8 9 10");
                  ReadResemblance(2, false);
              }),
              0);
    EXPECT_EQ(cells[0][2][3], 9.0);
    rese = nullptr;
}

// Each dialog on its answers: the values it stores (0-based indices), and the count of refusals and of the
// dialogs' own "Error!!" messages (a label not found, the same axis twice, a group row with a 2 or with no group).
TEST_F(ClassicTest, EachDialogStoresItsAnswers) {
    int format = 0, rank[3] = {2, 3, 1}, dims[3] = {};
    const struct {
        const char* what;
        std::function<void()> setup;
        std::string answers;
        std::function<void()> run;
        std::function<Ints()> got;
        Ints want;
        int refused, errors;
    } cases[] = {
        {"cluster without community resemblance", [] { hasNRese = 0; }, "R\n", SettingsVegCluster,
         [] { return Ints{whichObj}; }, {'r'}, 0, 0},
        {"cluster of types", [] { hasNRese = 0; }, "c\n4\n3\n", SettingsVegCluster,
         [] { return Ints{whichObj, clusMeth}; }, {'c', 3}, 1, 0},
        {"cluster of communities", [] { reseTypeClus = 9; }, "r\n2\n", SettingsVegCluster,
         [] { return Ints{whichObj, clusMeth, reseTypeClus}; }, {'r', 2, 1}, 0, 0},
        {"ordination printout", [] { fuzzy = 2; }, "y\n", [] { SettingsOrdOutput("PFTs"); },
         [] { return Ints{printOrdScores, printOrdCorrelations}; }, {'y', 'n'}, 0, 0},
        {"ordination printout", [] {}, "n\ny\n", [] { SettingsOrdOutput("variables"); },
         [] { return Ints{printOrdScores, printOrdCorrelations}; }, {'n', 'y'}, 0, 0},
        {"export", [] {}, "3\n2\n", [&] { SettingsExportData(&format); }, [&] { return Ints{format}; }, {2}, 1, 0},
        {"coherence, 3 of rank 2 and 4 of rank 3 refused", [] { isHierarchical = 1; }, "3\n2\n0\n4\n1\n",
         [&] { SettingsCoherence(rank, dims); }, [&] { return Ints(dims, dims + 3); }, {2, 0, 1}, 2, 0},
        {"which object", [] {}, "C\n", [] { SettingWhichObj("Ordination"); }, [] { return Ints{whichObj}; },
         {'c'}, 0, 0},
        {"evaluation with one group: 3 refused, 7 on all groups", [] { Groups(1); }, "3\n7\n2\n1\n",
         SettingsEvaluation, [] { return Ints{cohe, groupDissMeth, reseTypeEv, relSelect[0], relSelect[3]}; },
         {7, 2, 1, 1, 1}, 0, 0},
        {"evaluation 3: rows 1 2 and 0 0 refused, then one group asked again", [] {},
         "3\n4\n2\n1 2\n0 0\n0 1\n2\n1 1\n", SettingsEvaluation,
         [] { return Ints{cohe, groupDissMeth, relSelect[0], relSelect[3]}; }, {3, 4, 1, 1}, 0, 3},
        {"evaluation 7 on group g2", [] {}, "7\n1\n2\n0 1\n", SettingsEvaluation,
         [] { return Ints(relSelect, relSelect + 4); }, {0, 0, 1, 1}, 0, 0},
        {"profile: pair c1 c3, scales -1..2 (-2 refused) and 5 (3 refused)", [] {},
         "5\n6\nc1 zz\nc1 c3\n1\n2\n-1\n-2\n2\n2\n3\n5\n", SettingsProfile,
         [] { return Ints{roFrom, relPair[0], relPair[1], sqRoOpt, whichScale, int(minRoFix), int(maxRoFix),
                          int(rangeHorFix)}; },
         {6, 0, 2, 1, 2, -1, 2, 5}, 3, 1},
        {"vertical scale alone", [] {}, "1\n", SettingsProfileScale, [] { return Ints{whichScale}; }, {1}, 0, 0},
        {"histogram of resemblances", [] { doDistrib = 1; }, "c4 c2\n", SettingsHistogram,
         [] { return Ints{ndFrom, relPair[0], relPair[1], whichLevelHist}; }, {3, 3, 1, 1}, 0, 0},
        {"histogram of a pair of groups", [] { doDistrib = 2; }, "2\ng2 g3\ng2 g1\n", SettingsHistogram,
         [] { return Ints{ndFrom, relPair[0], relPair[1]}; }, {2, 1, 0}, 0, 1},
        {"histogram with one group: no pairs", [] { doDistrib = 2, Groups(1); }, "2\n1\n", SettingsHistogram,
         [] { return Ints{ndFrom}; }, {1}, 1, 0},
        {"scores of both kinds", [] { hasScores = hasAOCScor = 1; }, "3\n2\n", SettingsWhichScatter,
         [] { return Ints{scoreOpt}; }, {2}, 1, 0},
        {"ordination scores only", [] { hasScores = 1; }, "", SettingsWhichScatter, [] { return Ints{scoreOpt}; },
         {1}, 0, 0},
        {"scatter: axes 2 3, levels 2 3, biplot 0.4, e2 as a class, group g2, connected in groups",
         [] { maxComponents = 3, isHierarchical = 1; }, "2\n2\n2\n3\n2\n0 0 0\n0 1 1\n2\n1.5\n0.4\n5\n3\nzz\ne2\n2\n2\ng2\ny\n2\n",
         SettingsScatter,
         [] { return Ints{whichAxis[0], whichAxis[1], whichLevel[0], whichLevel[2], plotType, int(10 * biplotCorrThreshold),
                          whichSctLabels, whichEnv, howEnv, whichGrScatter, connectPtScatterOpt}; },
         {1, 2, 0, 1, 2, 4, 3, 1, 2, 1, 2}, 2, 3},
        {"scatter: PFT group t2 as it is", [] { nCstGroups = 1, std::strcpy(grCstLabel[0], "t2"); },
         "1\n2\n1\n5\n2\nt2\n1\n1\nn\n", SettingsScatter, [] { return Ints{whichSctLabels, whichCstGr}; }, {5, 0},
         0, 0},
        {"groups without a partition: all communities", [] { Groups(0); }, "2\n", [] { SelectGroups(); },
         [] { return Ints(relSelect, relSelect + 4); }, {1, 1, 1, 1}, 0, 0},
        {"scatter: trait tr2 state 3 of 5 (6 refused), one group, not connected",
         [] { maxComponents = 3, Groups(1); }, "1\n2\n1\n4\ntr2\n6\n3\n1\nn\n", SettingsScatter,
         [] { return Ints{whichChar, whichChState, howEnv, whichGrScatter, connectPtScatterOpt}; },
         {1, 2, 1, -1, 0}, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before = Out();
        Defaults();
        c.setup();
        EXPECT_TRUE(Run(c.answers, c.run));
        EXPECT_EQ(c.got(), c.want);
        EXPECT_EQ(Count(Err(), "Incorrect input"), c.refused);
        testing::internal::CaptureStderr();
        capturing_ = true;
        EXPECT_EQ(Count(Out().substr(before.size()), "\nError!! "), c.errors);
    }
    free1D(whichLevel);
    whichLevel = nullptr;
}

// While a macro is recorded, a list read on one line is recorded on one line, as the macro replays it:
// each number in its reader's form (%-3d, left-aligned in 3 columns), then the end of the line.
TEST_F(ClassicTest, RecordedListEndsItsLine) {
    int rank[3] = {2, 3, 1}, dims[3] = {};
    isHierarchical = createMacro = 1;
    outm = std::tmpfile();
    EXPECT_TRUE(Run("2\n0\n1\n", [&] { SettingsCoherence(rank, dims); }));
    std::string echo(16, '\0');
    std::rewind(outm);
    echo.resize(std::fread(&echo[0], 1, echo.size(), outm));
    std::fclose(outm);
    outm = nullptr;
    createMacro = 0;
    EXPECT_EQ(echo, "2  0  1  \n");
}

// Exact texts of the dialogs with a title, each with the answers of its shortest path.
TEST_F(ClassicTest, TitlesAndQuestions) {
    hasNRese = 0;
    cohe = 7;
    int format = 0;
    doDistrib = 2;
    scatterHSize = 2;
    EXPECT_TRUE(Run("r\n3\n1\n1\n2\n1\n1 2\n1\n1\n1\nn\n", [&] {
        SettingsVegCluster();
        SettingsExportData(&format);
        SettingsHistogram();
        SettingsScatter();
    }));
    EXPECT_EQ(Out(), Header("CLUSTER ANALYSIS SETTINGS", "s1") + "Clustering of communities(R) or PFTs(C)? "
                     "Resemblance of communities not available\n" + Header("EXPORT DATA SETTINGS", "s1") +
                     "File format:\n   1  Tab separated community matrix for Orbald\n   2  Tab separated community "
                     "matrix for Mulva5\nType option no.: " + Header("HISTOGRAM SETTINGS", "s1") +
                     "Will draw null frequency distribution histogram of SEF.\nDraw histogram of SEF option 7 (group "
                     "homogeneity) involving:\n   1  the groups previously "
                     "specified for evaluation\n   2  one of the pairwise group comparisons\nType option no.: " +
                     Header("SCATTERGRAM SETTINGS", "s1") + "Specify 2 ordination components (up to component 6) "
                     "to be plotted:\n\nType of scatter diagram: \n   1  communities only\n   2  biplot with PFTs\n"
                     "Type option no.: \nScatter dimensions are not the same. Please set preferences accordingly. \n"
                     "Will use default sizes now.\n\nLabels to use in the scatter: \n   0  none (only squares)\n   1  "
                     "community labels\n   2  community group labels\n   3  environmental state\n   4  weight of trait "
                     "state in the community\nType option no.: \nCommunities to show: \n   1  all groups\n   2  one "
                     "group\nType option no.: \nConnect community points in scatter?  y/n ");
    free1D(whichLevel);
    whichLevel = nullptr;

    // The structure table runs the two partition menus and prints species names when the data have them.
    nPart = nPartCst = 1;
    std::strcpy(partLabel[0], "byHand");
    std::strcpy(partCstLabel[0], "types");
    whichLevelGrCstP[0] = 1;
    partitionTrackWriter = WriteTrack;
    printSpp = 'y';
    EXPECT_TRUE(Run("x\nx\n", SettingsTable));
    partitionTrackWriter = nullptr;
    EXPECT_EQ(printSpp, 'n');
    EXPECT_EQ(Count(Out(), "Current partition: (1)  byHand\n") + Count(Out(), "Current partition: (1)  types\n"), 2);
}

}  // namespace

// The two components of a scattergram differ: the same one twice is asked again, unless only one
// component is allowed (then the scatter takes it twice). Then communities only, community labels,
// not connected.
TEST_F(ClassicTest, ScatterComponentsDifferWhenTwoCanBeChosen) {
    const int kept = maxComponents;
    const struct {
        int components;
        std::string axes;
        Ints chosen;
        int again;
    } rows[] = {{1, "1\n1\n", {0, 0}, 0}, {2, "2\n2\n2\n1\n", {1, 0}, 1}, {3, "3\n3\n1\n3\n", {0, 2}, 1},
                {2, "1\n2\n", {0, 1}, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.axes);
        Defaults();
        Groups(1);
        maxComponents = r.components;
        const size_t from = Out().size();
        EXPECT_TRUE(Run(r.axes + "1\n1\nn\n", SettingsScatter));
        EXPECT_EQ((Ints{whichAxis[0], whichAxis[1]}), r.chosen);
        EXPECT_EQ(Count(Out().substr(from), "\nError!! Enter again. \n"), r.again);
        EXPECT_EQ(Count(Out().substr(from), "(up to component " + std::to_string(r.components) + ")"), 1);
    }
    maxComponents = kept;
    free1D(whichLevel);
    whichLevel = nullptr;
}

// The environmental state labels the points only when the session has environmental variables: one is
// enough. Without any the option is neither shown nor accepted (3 refused, then 1); with one, e1 labels
// the points, as a class. Axes 1 and 2, one level, communities only, one group, not connected.
TEST_F(ClassicTest, ScatterLabelsOfTheEnvironmentFromOneVariableOn) {
    const int variables = nenv;
    const std::string head = "\nLabels to use in the scatter: \n   0  none (only squares)\n   1  community labels\n"
                             "   2  community group labels\n";
    const std::string state = "   3  environmental state\n";
    const std::string rest = "   4  weight of trait state in the community\nType option no.: ";
    const struct {
        int variables;
        std::string answers, labels;
        int chosen, refused;
    } rows[] = {{0, "3\n1\n", head + rest, 1, 1},
                {1, "3\ne1\n2\n", head + state + rest + "Enter label of environmental variable:    1  as it is\n"
                                                        "   2  as a class\nType option no.: ",
                 3, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.variables);
        Defaults();
        Groups(1);
        nenv = r.variables;
        const size_t from = Out().size();
        if (capturing_) testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        capturing_ = true;
        EXPECT_TRUE(Run("1\n2\n1\n" + r.answers + "n\n", SettingsScatter));
        const std::string said = Out().substr(from);
        const size_t at = said.find("\nLabels to use");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(said.substr(at, r.labels.size()), r.labels);
        EXPECT_EQ((Ints{whichSctLabels, r.chosen == 3 ? whichEnv : 0, r.chosen == 3 ? howEnv : 0}),
                  (Ints{r.chosen, 0, r.chosen == 3 ? 2 : 0}));
        EXPECT_EQ(Count(Err(), "\nIncorrect input = 3. Reenter.\nAccepted input: 0 1 2 4\n"), r.refused);
    }
    nenv = variables;  // the data set is released with its own count
    free1D(whichLevel);
    whichLevel = nullptr;
}

// The scattergram asks which hierarchical levels to plot only when there are two or more: one
// level is plotted without a question.
TEST_F(ClassicTest, ScatterAsksTheLevelsFromTwoOn) {
    const int traits = nch;
    optmain1 = 'V';
    for (int levels : {1, 2}) {
        SCOPED_TRACE(levels);
        const std::string before = Out();
        Defaults();
        Groups(1);
        isHierarchical = 1, nch = levels;
        // Axes 1 and 2, (all levels), communities only, labels and group as in the dialog's shortest path.
        EXPECT_TRUE(Run(std::string("1\n2\n") + (levels == 2 ? "1\n" : "") + "1\n1\nn\n", SettingsScatter));
        EXPECT_EQ(Count(Out().substr(before.size()), "\nHierarchical levels to be plotted: \n"), levels == 2 ? 1 : 0);
        EXPECT_EQ(whichLevel[levels - 1], 1);
    }
    nch = traits;
    free1D(whichLevel);
    whichLevel = nullptr;
}
