// The functional-analysis settings dialog: exact prompts, the options it leaves, refusals.
#include <cmath>

#include "session/TNXIFSET.h"
#include "test_settings_fixture.h"

using namespace settings_test;

namespace {

const char* kFuzzyBlock =
    "\nFuzzy set adjustment:\n"
    "   0  no adjustment (crisp belonging of OTUs to types)\n"
    "   1  fuzzy types (fuzzy belonging of OTUs to types)\n"
    "Type option no.: ";
const char* kIterations =
    "Enter number of iterations in permutation tests of final correlations based on null models: ";
const char* kRestrictions =
    "OTU permutation restrictions: \n\t(0) none\n"
    "\t(1) permutations restricted within groups of OTUs to be specified\n\t\tEnter option: ";
const char* kSeedBlock =
    "\nInitialization of the random number generator: \n"
    "   1  automatic (taken from the clock)\n"
    "   2  specified by the user\n"
    "Type option no.: ";
const char* kCongruence =
    "\nMeasuring congruence using\n"
    "  1 matrix correlation (Mantel)\n"
    "  2 Procrustes (traceW, cannot be used when matrix E contains nominal variables)\n"
    "  3 RV coefficient (Dantrel 1973, cannot be used when matrix E contains nominal variables)\n"
    "Type option no.: ";
const char* kReseFunction =
    "\nResemblance function option:\n"
    "\t6   Euclidean distance\n"
    "\t10  chord distance\n"
    "Type option no.: ";
const char* kTraits =
    "\nTraits in matrix B to be used in the analysis:\n"
    "   1  all traits \n"
    "   2  select traits \n"
    "Type option no.: ";
const char* kSelect = "Select traits:\n(enter 0 for exclusion or 1 for inclusion)\ntr1 tr2 tr3 \n";
const char* kStandardize = "\nStandardize community data matrix (matrix W) to unit total in each community? y/n ";
const char* kDetail = "\nInclude detailed results in the printout y/n ";
const char* kFk = "Read group memberships from file (f) or from the keyboard (k)? f/k ";
const char* kKeyboardGroups = "Enter the group of each OTU:\nOTU:    \t1\t2\t3\t4\t5\nGroups: ";

using HierarchyTest = DialogTest;

TEST_F(HierarchyTest, WholeDialogFromTheKeyboardPrintsEveryPromptInOrder) {
    Script("k\n1 1 2 2 3\n0\n250\n0\n2\n4294967295\n1\n7\n1\ny\nn\n");
    SettingsHierarchy();

    const std::string expected = Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") +
        "\nTrait-based scaling-up from population to communities:"
        "\nThe partition of OTUs into types should be specified.\n" +
        kFk + kKeyboardGroups + kFuzzyBlock + kIterations + kRestrictions + kSeedBlock +
        "\nEnter seed (integer in the 0 to 4294967295 interval):\n" + kCongruence +
        "\nSpecify resemblance function between communities:" + kReseFunction + kTraits +
        kStandardize + kDetail;
    EXPECT_EQ(Out(), expected);

    // Keyboard groups 1 1 2 2 3 give three types.
    EXPECT_EQ(nGrPoly[0], 3);
    EXPECT_EQ(nGrPoly[1], 2);
    EXPECT_EQ(nGrPoly[2], 2);
    const int groups[] = {1, 1, 2, 2, 3};
    for (int i = 0; i < 5; i++) EXPECT_EQ(partition_OTUs[i], groups[i]);
    EXPECT_EQ(traitBasedOpt, 1);
    EXPECT_EQ(poolCSTopt, 2);
    EXPECT_EQ(clusMethPoolCSTs, 0);
    EXPECT_EQ(reseCSTopt, 1);
    EXPECT_EQ(part, 1);
    EXPECT_EQ(fuzzy, 0);
    EXPECT_TRUE(optRndTests);
    EXPECT_EQ(niter, 250);
    EXPECT_EQ(optRestrictPermutNullModel, 0);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
    EXPECT_EQ(seedOpt, 2);
    EXPECT_EQ(rseed, 4294967295u);
    EXPECT_EQ(opt_ro, 1);
    EXPECT_EQ(whichObj, 'r');
    // 7 (relative Euclidean distance) is accepted although not listed.
    EXPECT_EQ(rese_opt, 7);
    for (int j = 0; j < 3; j++) {
        EXPECT_EQ(weight[j], 1.0f);
        EXPECT_EQ(nchor[j], j + 1);
    }
    EXPECT_TRUE(optUnitTotalAdjust2);
    EXPECT_FALSE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);
    EXPECT_EQ(isHierarchical, 0);
    EXPECT_EQ(printDetail, 0);
    EXPECT_FALSE(OTUsTypesAreSpecies);
    // No report file yet: created without a question.
    EXPECT_STREQ(prindaMode, "w");
    EXPECT_EQ(optWeightedNullModel, 0);
    EXPECT_FALSE(optCoVariable);
}

TEST_F(HierarchyTest, FuzzyTypesZeroIterationsAndClockSeed) {
    Script("k\n4 4 4 9 9\n1\n0\n0\n1\n1\n10\n1\nn\ny\n");
    time_t before = time(nullptr);
    SettingsHierarchy();
    time_t after = time(nullptr);
    EXPECT_EQ(fuzzy, 3);
    EXPECT_FLOAT_EQ(fuzziness, 1.0f);
    EXPECT_EQ(nGrPoly[0], 2);
    // Zero iterations are accepted as typed.
    EXPECT_EQ(niter, 0);
    EXPECT_EQ(seedOpt, 1);
    EXPECT_GE(static_cast<time_t>(rseed), static_cast<time_t>(static_cast<std::uint32_t>(before)));
    EXPECT_LE(static_cast<time_t>(rseed), static_cast<time_t>(static_cast<std::uint32_t>(after)));
    EXPECT_EQ(rese_opt, 10);
    EXPECT_FALSE(optUnitTotalAdjust2);
    EXPECT_EQ(printDetail, 1);
    EXPECT_EQ(Out().find("\nEnter seed"), std::string::npos);
}

TEST_F(HierarchyTest, NegativeIterationsAndTooLargeSeedAreRefused) {
    Script("k\n1 2 3 4 5\n0\n-1\n5\n0\n2\n4294967296\n4294967295\n1\n6\n1\ny\nn\n");
    SettingsHierarchy();
    std::string err = Err();
    EXPECT_EQ(niter, 5);
    EXPECT_EQ(rseed, 4294967295u);
    EXPECT_NE(err.find("\nIncorrect input = -1. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("\nIncorrect input = 4.29497e+09. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("Accepted input: 0 to 4.29497e+09\n"), std::string::npos);
    EXPECT_EQ(nGrPoly[0], 5);
}

TEST_F(HierarchyTest, CongruenceWithNominalEnvironmentAsksAgainUntilMantel) {
    temEnvQual = 1;
    Script("k\n1 1 1 1 1\n0\n9\n0\n2\n7\n2\n3\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    std::string o = Out();
    EXPECT_EQ(Count(o, kCongruence), 3);
    EXPECT_EQ(opt_ro, 1);
    EXPECT_EQ(rese_opt, 6);
    // The question comes again with no message of its own.
    EXPECT_EQ(Err().find("Incorrect input"), std::string::npos);
}

TEST_F(HierarchyTest, ProcrustesSkipsTheResemblanceFunction) {
    rese_opt = 10;
    Script("k\n1 1 2 2 2\n0\n9\n0\n2\n7\n2\n1\nn\nn\n");
    SettingsHierarchy();
    std::string o = Out();
    EXPECT_EQ(opt_ro, 2);
    EXPECT_EQ(rese_opt, 10);
    EXPECT_EQ(o.find("Specify resemblance function"), std::string::npos);
    EXPECT_EQ(o.find("Resemblance function option"), std::string::npos);
}

TEST_F(HierarchyTest, SpeciesAsTypes) {
    nSpp = 3;
    cstSppMap = dim2Dchar(tcst, nSpp);
    const char* rows[] = {"100", "100", "001", "001", "011"};
    for (int i = 0; i < tcst; i++) memcpy(cstSppMap[i], rows[i], 3);
    Script("y\n0\n9\n0\n2\n7\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    EXPECT_TRUE(OTUsTypesAreSpecies);
    // OTUs of the same species share a type; the last marked species counts.
    const int expected[] = {1, 1, 3, 3, 3};
    for (int i = 0; i < tcst; i++) EXPECT_EQ(partition_OTUs[i], expected[i]);
    // Two species are present.
    EXPECT_EQ(nGrPoly[0], 2);
    std::string o = Out();
    EXPECT_NE(o.find("\nThe partition of OTUs into types should be specified.\n"
                     "Wish to use as OTUs types the species specified in the session's formatted file? y/n "
                     "\nFuzzy set adjustment:"),
              std::string::npos);
}

TEST_F(HierarchyTest, SpeciesDeclinedAsksForAPartition) {
    nSpp = 2;
    cstSppMap = dim2Dchar(tcst, nSpp);
    for (int i = 0; i < tcst; i++) memcpy(cstSppMap[i], "10", 2);
    Script("n\nk\n2 2 1 1 2\n0\n9\n0\n2\n7\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    EXPECT_FALSE(OTUsTypesAreSpecies);
    EXPECT_EQ(partition_OTUs[0], 2);
    EXPECT_EQ(partition_OTUs[2], 1);
    EXPECT_EQ(nGrPoly[0], 2);
}

TEST_F(HierarchyTest, GroupFileUnopenableAsksAgainAndShortFileLeavesZeros) {
    Spill(Path("groups.txt"), "3 3\n1\n");
    // Two OTUs already hold groups from an earlier run: they must not survive.
    partition_OTUs[3] = 8;
    partition_OTUs[4] = 8;
    Script("f\nnosuch.txt\nf\ngroups.txt\n0\n9\n0\n2\n7\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    std::string o = Out();
    std::string err = Err();
    EXPECT_EQ(Count(o, kFk), 2);
    EXPECT_EQ(Count(o, "Enter name of file containing group memberships: "), 2);
    EXPECT_NE(err.find("can't open nosuch.txt"), std::string::npos);
    EXPECT_NE(err.find("End of file groups.txt"), std::string::npos);
    const int expected[] = {3, 3, 1, 0, 0};
    for (int i = 0; i < tcst; i++) EXPECT_EQ(partition_OTUs[i], expected[i]);
    EXPECT_EQ(nGrPoly[0], 3);
}

TEST_F(HierarchyTest, GroupFileWithANumberBeyondIntIsUnreadable) {
    Spill(Path("groups.txt"), "1 2 1e12 1 1\n");
    Script("f\ngroups.txt\n");
    ExpectErrorCode([] { SettingsHierarchy(); }, TNX_END_OF_FILE);
}

TEST_F(HierarchyTest, KeyboardGroupBeyondIntIsAskedAgain) {
    Script("k\n1 5000000000 2 3 3 3\n0\n9\n0\n2\n7\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    const int expected[] = {1, 2, 3, 3, 3};
    for (int i = 0; i < tcst; i++) EXPECT_EQ(partition_OTUs[i], expected[i]);
    EXPECT_NE(Err().find("Incorrect input = 5e+09"), std::string::npos);
}

TEST_F(HierarchyTest, RestrictedPermutationsFromTheKeyboard) {
    Script("k\n1 1 2 2 3\n0\n99\n1\nk\n7 7 8 8 8\n2\n12345\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    ASSERT_NE(nestingMembershipOTUs, nullptr);
    const int expected[] = {7, 7, 8, 8, 8};
    for (int i = 0; i < tcst; i++) EXPECT_EQ(nestingMembershipOTUs[i], expected[i]);
    EXPECT_EQ(optRestrictPermutNullModel, 1);
    std::string o = Out();
    EXPECT_NE(o.find(std::string(kRestrictions) +
                     "Specify the nesting criterion (for each OTU, enter the group to which it belongs):\n"
                     "Read nesting group memberships from file (f) or from the keyboard (k)? f/k "
                     "Enter the nesting group of each OTU:\n"
                     "OTU:            \t1\t2\t3\t4\t5\nNesting groups: " + kSeedBlock),
              std::string::npos);
    EXPECT_EQ(rseed, 12345u);
}

TEST_F(HierarchyTest, RestrictedPermutationsFromAFileAfterAnUnopenableOne) {
    Spill(Path("nest.txt"), "1 1 1 2 2\n");
    Script("k\n1 1 2 2 3\n0\n99\n1\nf\nmissing.txt\nf\nnest.txt\n2\n1\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    ASSERT_NE(nestingMembershipOTUs, nullptr);
    const int expected[] = {1, 1, 1, 2, 2};
    for (int i = 0; i < tcst; i++) EXPECT_EQ(nestingMembershipOTUs[i], expected[i]);
    EXPECT_EQ(Count(Out(), "Read nesting group memberships from file (f) or from the keyboard (k)? f/k "), 2);
    EXPECT_NE(Err().find("can't open missing.txt"), std::string::npos);
    EXPECT_EQ(rseed, 1u);
}

TEST_F(HierarchyTest, ShortNestingFileRaisesEndOfFile) {
    Spill(Path("nest.txt"), "1 1 1\n");
    Script("k\n1 1 2 2 3\n0\n99\n1\nf\nnest.txt\n");
    ExpectErrorCode([] { SettingsHierarchy(); }, TNX_END_OF_FILE);
}

TEST_F(HierarchyTest, ARepeatedRunReplacesTheNestingArray) {
    Script("k\n1 1 2 2 3\n0\n9\n1\nk\n1 1 1 1 1\n1\n1\n6\n1\nn\nn\n"
           "k\n1 1 2 2 3\n0\n9\n1\nk\n2 2 2 2 2\n1\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    SettingsHierarchy();
    ASSERT_NE(nestingMembershipOTUs, nullptr);
    EXPECT_EQ(nestingMembershipOTUs[0], 2);
    // The fixture releases the one array left; LeakSanitizer finds the first one if it leaked.
}

TEST_F(HierarchyTest, TraitGroupWeightsDivideWithinGroups) {
    hasTraitGroups = 1;
    traitGroups[0] = 1;
    traitGroups[1] = 1;
    traitGroups[2] = 2;
    Script("k\n1 1 2 2 3\n0\n9\n0\n1\n1\n6\n1\ny\nn\nn\n");
    SettingsHierarchy();
    EXPECT_FLOAT_EQ(weight[0], 0.5f);
    EXPECT_FLOAT_EQ(weight[1], 0.5f);
    EXPECT_FLOAT_EQ(weight[2], 1.0f);
    EXPECT_NE(Out().find(std::string(kTraits) +
                         "Set weights for traits inversely proportional to effective trait group sizes? y/n " +
                         kStandardize),
              std::string::npos);
}

TEST_F(HierarchyTest, TraitGroupWeightsCountOnlySelectedTraits) {
    hasTraitGroups = 1;
    traitGroups[0] = 1;
    traitGroups[1] = 1;
    traitGroups[2] = 2;
    Script("k\n1 1 2 2 3\n0\n9\n0\n1\n1\n6\n2\n1 0 1\ny\nn\nn\n");
    SettingsHierarchy();
    EXPECT_FLOAT_EQ(weight[0], 1.0f);
    EXPECT_FLOAT_EQ(weight[1], 0.0f);
    EXPECT_FLOAT_EQ(weight[2], 1.0f);
    EXPECT_NE(Out().find(std::string(kTraits) + kSelect), std::string::npos);
}

TEST_F(HierarchyTest, TraitGroupWeightsDeclinedKeepOnes) {
    hasTraitGroups = 1;
    traitGroups[0] = traitGroups[1] = traitGroups[2] = 4;
    Script("k\n1 1 2 2 3\n0\n9\n0\n1\n1\n6\n1\nn\nn\nn\n");
    SettingsHierarchy();
    for (int j = 0; j < 3; j++) EXPECT_FLOAT_EQ(weight[j], 1.0f);
}

TEST_F(HierarchyTest, EmptyTraitSelectionIsAskedAgain) {
    Script("k\n1 1 2 2 3\n0\n9\n0\n1\n1\n6\n2\n0 0 0\n0 1 0\nn\nn\n");
    SettingsHierarchy();
    EXPECT_EQ(Count(Out(), kSelect), 2);
    EXPECT_FLOAT_EQ(weight[0], 0.0f);
    EXPECT_FLOAT_EQ(weight[1], 1.0f);
    EXPECT_FLOAT_EQ(weight[2], 0.0f);
    EXPECT_NE(Err().find("No trait selected"), std::string::npos);
}

TEST_F(HierarchyTest, PhylogenyOfTheDataSetIsIncluded) {
    hasPhylogeny = true;
    Script("k\n3 3 1 1 2\n0\n9\n0\n1\n1\n6\n1\nn\nn\n");
    SettingsHierarchy();
    EXPECT_TRUE(includePhylogeny);
    ASSERT_NE(partition_OTUs_Phyl, nullptr);
    for (int i = 0; i < tcst; i++) EXPECT_EQ(partition_OTUs_Phyl[i], partition_OTUs[i]);
    EXPECT_EQ(nTaxa, 3);
    EXPECT_EQ(fuzzyPhyl, 1);
}

TEST_F(HierarchyTest, MacroRecordingEchoesReadersButNotDirectAnswers) {
    RecordMacro();
    Script("k\n1 1 2 2 3\n1\n9\n0\n2\n77\n1\n8\n2\n1 0 1\ny\ny\n");
    SettingsHierarchy();
    // Fuzzy option, iterations, seed option, seed, congruence, function, trait option, the
    // three selections (%-3d each, one newline after the last), detail. The f/k answer, the
    // groups, the restriction and the standardisation are read directly and not echoed.
    EXPECT_EQ(Macro(), "1\n9\n2\n77\n1\n8\n2\n1  0  1  \ny\n");
}

TEST_F(HierarchyTest, ExistingReportAsksHowToOpenIt) {
    Spill(Path("s1Prinda.txt"), "old\n");
    Script("k\n1 1 2 2 3\n0\n9\n0\n1\n1\n6\n1\nn\nn\nA\n");
    SettingsHierarchy();
    EXPECT_STREQ(prindaMode, "a");
    std::string o = Out();
    const std::string question =
        "\nThis session has a previous s1Prinda.txt file.\n"
        "Options:\n"
        "   w  erase file and create a new one\n"
        "   a  append results to same file\n"
        "Type option: ";
    ASSERT_GE(o.size(), question.size());
    EXPECT_EQ(o.substr(o.size() - question.size()), question);
}

using PrindaModeTest = DialogTest;

TEST_F(PrindaModeTest, EitherCaseOfEachLetter) {
    Spill(Path("rep.txt"), "x");
    const char* answers[] = {"w\n", "W\n", "a\n", "A\n"};
    const char* modes[] = {"w", "w", "a", "a"};
    for (int k = 0; k < 4; k++) {
        rewind(inFile_);
        Script(answers[k]);
        strcpy(prindaMode, "?");
        GetPrindaMode("rep.txt");
        EXPECT_STREQ(prindaMode, modes[k]) << answers[k];
    }
}

TEST_F(PrindaModeTest, RefusedLetterThenAccepted) {
    Spill(Path("rep.txt"), "x");
    Script("x\nw\n");
    GetPrindaMode("rep.txt");
    EXPECT_STREQ(prindaMode, "w");
    std::string err = Err();
    EXPECT_NE(err.find("\nIncorrect input = x. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("Accepted input: W A\n"), std::string::npos);
}

TEST_F(PrindaModeTest, MissingFileIsCreatedAndAMacroAppends) {
    GetPrindaMode("none.txt");
    EXPECT_STREQ(prindaMode, "w");
    EXPECT_EQ(Out(), "");
    Spill(Path("rep.txt"), "x");
    runMacro = 1;
    GetPrindaMode("rep.txt");
    EXPECT_STREQ(prindaMode, "a");
    EXPECT_EQ(Out(), "");
}

using ReseTest = DialogTest;

TEST_F(ReseTest, FunctionListRefusesOneAndAcceptsTheUnlistedOptions) {
    Script("1\n9\n8\n");
    int option = 0;
    EXPECT_EQ(SettingReseFunction(&option), 9);
    EXPECT_EQ(option, 9);
    EXPECT_EQ(SettingReseFunction(&option), 8);
    std::string err = Err();
    EXPECT_NE(err.find("\nIncorrect input = 1. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("Accepted input: 6 7 8 9 10\n"), std::string::npos);
    EXPECT_EQ(Out(), std::string(kReseFunction) + kReseFunction);
}

TEST_F(ReseTest, WhichLevelAskedOnlyForMonotheticHierarchies) {
    int level = 7;
    poolCSTopt = 2;
    isHierarchical = 1;
    EXPECT_EQ(SettingWhichLevel(&level), 1);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(Out(), "");

    poolCSTopt = 1;
    Script("4\n3\n");
    EXPECT_EQ(SettingWhichLevel(&level), 3);
    EXPECT_EQ(level, 3);
    EXPECT_EQ(Out(), "Specify hierarchical level: ");
    EXPECT_NE(Err().find("Accepted input: 1 to 3\n"), std::string::npos);
}

TEST_F(ReseTest, TypesAskFunctionAndLevel) {
    whichObj = 'c';
    optmain = 'H';
    poolCSTopt = 1;
    isHierarchical = 1;
    Script("10\n2\n");
    SettingsRese();
    EXPECT_EQ(reseCstOpt, 10);
    EXPECT_EQ(whichLevelCst, 2);
    EXPECT_EQ(Out(), std::string(kReseFunction) + "Specify hierarchical level: ");
}

TEST_F(ReseTest, ClassicalAnalysesAlsoAskThePrintouts) {
    whichObj = 'r';
    optmain = 'R';
    fuzzy = 0;
    poolCSTopt = 1;
    isHierarchical = 1;
    Script("6\ny\nn\ny\n");
    SettingsRese();
    EXPECT_EQ(rese_opt, 6);
    EXPECT_EQ(printNRese, 'y');
    EXPECT_EQ(printReseFree, 'n');
    EXPECT_EQ(printPRese, 'y');
    EXPECT_EQ(Out(), std::string(kReseFunction) +
                         "\nPrintout:\n"
                         "   - nominal resemblances y/n  "
                         "   - nominal resemblances free format (matrix upper half, no diagonal) y/n  "
                         "   - partial resemblances y/n  ");
}

TEST_F(ReseTest, PartialPrintoutOnlyForCrispMonotheticHierarchies) {
    whichObj = 'r';
    optmain = 'R';
    fuzzy = 3;
    Script("6\nn\nn\n");
    SettingsRese();
    EXPECT_EQ(printPRese, 'n');
    EXPECT_EQ(Out().find("partial"), std::string::npos);

    whichObj = 'c';
    rewind(inFile_);
    Script("6\ny\ny\n");
    poolCSTopt = 2;
    SettingsRese();
    EXPECT_EQ(printNRese, 'y');
    EXPECT_EQ(printReseFree, 'y');
    std::string o = Out();
    EXPECT_NE(o.find("\nPrintout:\n   - resemblances y/n     - resemblances free format (matrix upper half, no "
                     "diagonal) y/n  "),
              std::string::npos);
}

TEST_F(ReseTest, FunctionalAndSubsetRoadsAskNoPrintout) {
    whichObj = 'r';
    optmain = 'K';
    Script("6\n");
    SettingsRese();
    EXPECT_EQ(Out(), kReseFunction);
}

TEST_F(HierarchyTest, EndOfInputRaisesCodeTwo) {
    Script("k\n1 1 2\n");
    ExpectErrorCode([] { SettingsHierarchy(); }, TNX_END_OF_FILE);
}

}  // namespace
