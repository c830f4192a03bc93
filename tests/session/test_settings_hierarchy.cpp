// The functional-analysis settings dialog: exact prompts, the options it leaves, refusals.
#include <ctime>

#include "test_settings_fixture.h"

using namespace settings_test;

namespace {

const std::string kNestFk = "Read nesting group memberships from file (f) or from the keyboard (k)? f/k ";
const std::string kLevel = "Specify hierarchical level: ";
// After the types: crisp, 9 free iterations, clock seed, Mantel, Euclidean distance.
const std::string kRest = "0\n9\n0\n1\n1\n6\n";

using HierarchyTest = DialogTest;

TEST_F(HierarchyTest, WholeDialogFromTheKeyboardPrintsEveryPromptInOrder) {
    // -1 iterations and a seed beyond 32 bits are refused; 7 is accepted although not listed.
    Script("k\n1 1 2 2 3\n0\n-1\n250\n1\nk\n7 7 8 8 8\n2\n4294967296\n4294967295\n1\n7\n1\ny\nn\n");
    SettingsHierarchy();
    EXPECT_EQ(Out(), Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") +
                         "\nTrait-based scaling-up from population to communities:\nThe partition of OTUs "
                         "into types should be specified.\n" + kFk + kKeyboardGroups + kFuzzyBlock +
                         "Enter number of iterations in permutation tests of final correlations based on "
                         "null models: OTU permutation restrictions: \n\t(0) none\n\t(1) permutations "
                         "restricted within groups of OTUs to be specified\n\t\tEnter option: Specify the "
                         "nesting criterion (for each OTU, enter the group to which it belongs):\n" +
                         kNestFk +
                         "Enter the nesting group of each OTU:\nOTU:            \t1\t2\t3\t4\t5\nNesting "
                         "groups: \nInitialization of the random number generator: \n   1  automatic (taken "
                         "from the clock)\n   2  specified by the user\nType option no.: \nEnter seed "
                         "(integer in the 0 to 4294967295 interval):\n" + kCongruence +
                         "\nSpecify resemblance function between communities:" + kReseFunction + kTraits +
                         kStandardize + "\nInclude detailed results in the printout y/n ");
    EXPECT_NE(Err().find("\nIncorrect input = -1. Reenter.\n"), std::string::npos);
    const int types[] = {1, 1, 2, 2, 3}, nesting[] = {7, 7, 8, 8, 8};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(partition_OTUs[i], types[i]);
        EXPECT_EQ(nestingMembershipOTUs[i], nesting[i]);
    }
    for (int j = 0; j < 3; j++) EXPECT_EQ(weight[j], 1.0f);
    EXPECT_EQ(nGrPoly[0], 3);
    EXPECT_EQ(traitBasedOpt, 1);
    EXPECT_EQ(poolCSTopt, 2);
    EXPECT_EQ(fuzzy, 0);
    EXPECT_EQ(niter, 250);
    EXPECT_EQ(optRestrictPermutNullModel, 1);
    EXPECT_EQ(rseed, 4294967295u);  // the seed beyond 32 bits refused
    EXPECT_EQ(opt_ro, 1);
    EXPECT_EQ(rese_opt, 7);
    EXPECT_TRUE(optUnitTotalAdjust2);
    EXPECT_EQ(printDetail, 0);
    EXPECT_STREQ(prindaMode, "w");  // no report file yet: created without a question
}

TEST_F(HierarchyTest, FuzzyTypesZeroIterationsClockSeedAndProcrustes) {
    rese_opt = 10;
    Script("k\n4 4 4 9 9\n1\n0\n0\n1\n2\n1\nn\ny\n");
    const std::time_t before = std::time(nullptr);
    SettingsHierarchy();
    EXPECT_GE(rseed, static_cast<std::uint32_t>(before));
    EXPECT_LE(rseed, static_cast<std::uint32_t>(std::time(nullptr)));
    EXPECT_EQ(fuzzy, 3);
    EXPECT_FLOAT_EQ(fuzziness, 1.0f);
    EXPECT_EQ(niter, 0);
    EXPECT_EQ(opt_ro, 2);
    EXPECT_EQ(rese_opt, 10);  // Procrustes asks no resemblance function
    EXPECT_EQ(printDetail, 1);
}

TEST_F(HierarchyTest, UnreadableFilesAndNumbers) {
    // An unopenable group file asks f/k again; a short one leaves zeros, never earlier groups.
    Write("groups.txt", "3 3\n1\n");
    partition_OTUs[3] = partition_OTUs[4] = 8;
    Script("f\nnosuch.txt\nf\ngroups.txt\n" + kRest + "1\nn\nn\n");
    SettingsHierarchy();
    EXPECT_EQ(Count(Out(), kFk), 2);
    const int fromFile[] = {3, 3, 1, 0, 0};
    for (int i = 0; i < tcst; i++) EXPECT_EQ(partition_OTUs[i], fromFile[i]);
    // A group beyond int typed at the keyboard is asked again; so is an unopenable nesting file.
    Write("nest.txt", "1 1 1 2 2\n");
    Script("k\n1 5000000000 2 3 3 3\n0\n99\n1\nf\nmissing.txt\nf\nnest.txt\n1\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    EXPECT_EQ(partition_OTUs[1], 2);
    EXPECT_EQ(nestingMembershipOTUs[3], 2);
    EXPECT_EQ(Count(Out(), kNestFk), 2);
    const std::string err = Err();
    for (const char* m : {"can't open nosuch.txt", "End of file groups.txt",
                          "\nIncorrect input = 5e+09. Reenter.", "can't open missing.txt"})
        EXPECT_NE(err.find(m), std::string::npos) << m;
    // A group beyond int in a file, a nesting file that ends early, the end of input: code 2
    // (the answers that follow would complete the dialog).
    Write("groups.txt", "1 2 1e12 1 1\n");
    Write("nest.txt", "1 1 1\n");
    const std::string unreadable[] = {"f\ngroups.txt\n" + kRest + "1\nn\nn\n",
                                      "k\n1 1 2 2 3\n0\n99\n1\nf\nnest.txt\n1\n1\n6\n1\nn\nn\n",
                                      "k\n1 1 2\n"};
    for (const std::string& answers : unreadable) {
        Script(answers);
        EXPECT_EQ(CodeOf([] { SettingsHierarchy(); }), TNX_END_OF_FILE) << answers;
    }
}

TEST_F(HierarchyTest, TraitSelectionAndTraitGroupWeights) {
    hasTraitGroups = 1;
    const struct {
        int groups[3];
        const char* answers;  // trait option, selection, weights question
        float weights[3];
    } rows[] = {
        {{1, 1, 2}, "1\ny\n", {0.5f, 0.5f, 1.0f}},
        {{1, 1, 2}, "2\n1 0 1\ny\n", {1.0f, 0.0f, 1.0f}},         // only selected traits count
        {{1, 2, 3}, "2\n0 0 0\n0 1 0\nn\n", {0.0f, 1.0f, 0.0f}},  // an empty selection is asked again
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.answers);
        for (int j = 0; j < 3; j++) traitGroups[j] = r.groups[j];
        Script("k\n1 1 2 2 3\n" + kRest + r.answers + "n\nn\n");
        SettingsHierarchy();
        for (int j = 0; j < 3; j++) EXPECT_FLOAT_EQ(weight[j], r.weights[j]);
    }
    const std::string select = "Select traits:\n(enter 0 for exclusion or 1 for inclusion)\ntr1 tr2 tr3 \n";
    EXPECT_EQ(Count(Out(), kTraits + "Set weights for traits inversely proportional to effective trait group "
                                     "sizes? y/n " + kStandardize), 1);
    EXPECT_EQ(Count(Out(), kTraits + select), 2);
    EXPECT_EQ(Count(Out(), select), 3);
    EXPECT_NE(Err().find("No trait selected"), std::string::npos);
}

TEST_F(HierarchyTest, ExistingReportAsksHowToOpenItInEitherCase) {
    Write("s1Prinda.txt", "old\n");
    const std::pair<const char*, const char*> rows[] = {
        {"w\n", "w"}, {"W\n", "w"}, {"a\n", "a"}, {"x\nA\n", "a"}};
    for (const auto& [answer, mode] : rows) {
        Script(answer);
        GetPrindaMode("s1Prinda.txt");
        EXPECT_STREQ(prindaMode, mode) << answer;
    }
    const std::string question = "\nThis session has a previous s1Prinda.txt file.\nOptions:\n"
                                 "   w  erase file and create a new one\n   a  append results to same file\n"
                                 "Type option: ";
    EXPECT_EQ(Out(), question + question + question + question);
    EXPECT_NE(Err().find("\nIncorrect input = x. Reenter.\nAccepted input: W A\n"), std::string::npos);
    // A missing file is created, a macro appends: neither asks.
    GetPrindaMode("none.txt");
    EXPECT_STREQ(prindaMode, "w");
    runMacro = 1;
    GetPrindaMode("s1Prinda.txt");
    EXPECT_STREQ(prindaMode, "a");
    EXPECT_EQ(Out().size(), 4 * question.size());
}

TEST_F(HierarchyTest, ResemblanceSettingsOfEachRoad) {
    int option = 0, level = 7;
    isHierarchical = 1;
    poolCSTopt = 2;
    Script("1\n9\n4\n3\n");
    EXPECT_EQ(SettingReseFunction(&option), 9);  // 1 refused
    EXPECT_EQ(SettingWhichLevel(&level), 1);     // asked only for monothetic hierarchies
    poolCSTopt = 1;
    EXPECT_EQ(SettingWhichLevel(&level), 3);  // 4 refused
    EXPECT_EQ(Out(), kReseFunction + kLevel);
    const std::string err = Err();
    EXPECT_NE(err.find("\nIncorrect input = 1. Reenter.\nAccepted input: 6 7 8 9 10\n"), std::string::npos);
    EXPECT_NE(err.find("\nIncorrect input = 4. Reenter.\nAccepted input: 1 to 3\n"), std::string::npos);
    auto run = [this](char obj, char menu, const std::string& answers) {
        whichObj = obj;
        optmain = menu;
        const size_t before = Out().size();
        Script(answers);
        SettingsRese();
        return Out().substr(before);
    };
    EXPECT_EQ(run('c', 'H', "10\n2\n"), kReseFunction + kLevel);  // types: function and level
    EXPECT_EQ(reseCstOpt, 10);
    EXPECT_EQ(whichLevelCst, 2);
    EXPECT_EQ(run('r', 'K', "6\n"), kReseFunction);
    // The classical analyses ask the printouts; partial ones only for crisp monothetic hierarchies.
    fuzzy = 0;
    EXPECT_EQ(run('r', 'R', "6\ny\nn\ny\n"), kReseFunction + "\nPrintout:\n   - nominal resemblances y/n     "
                                                             "- nominal resemblances free format (matrix "
                                                             "upper half, no diagonal) y/n     - partial "
                                                             "resemblances y/n  ");
    EXPECT_EQ(printPRese, 'y');
    fuzzy = 3;
    EXPECT_EQ(run('r', 'R', "6\nn\nn\n").find("partial"), std::string::npos);
}

}  // namespace
