// The functional-analysis settings dialog: exact prompts, the options it leaves, refusals.
#include "session_fixture.h"

using namespace tnxtest;

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
    EXPECT_EQ(Ints(partition_OTUs, partition_OTUs + 5), (Ints{1, 1, 2, 2, 3}));
    EXPECT_EQ(Ints(nestingMembershipOTUs, nestingMembershipOTUs + 5), (Ints{7, 7, 8, 8, 8}));
    EXPECT_EQ(Floats(weight, weight + 3), Floats(3, 1.0f));
    EXPECT_EQ((Ints{nGrPoly[0], traitBasedOpt, poolCSTopt, fuzzy, niter, optRestrictPermutNullModel, opt_ro,
                    rese_opt, printDetail}),
              (Ints{3, 1, 2, 0, 250, 1, 1, 7, 0}));
    EXPECT_EQ(rseed, 4294967295u);  // the seed beyond 32 bits refused
    EXPECT_TRUE(optUnitTotalAdjust2);
    EXPECT_STREQ(prindaMode, "w");  // no report file yet: created without a question
}

TEST_F(HierarchyTest, FuzzyTypesZeroIterationsClockSeedAndProcrustesWithoutAFunction) {
    rese_opt = 10;
    Script("k\n4 4 4 9 9\n1\n0\n0\n1\n2\n1\nn\ny\n");
    const auto before = static_cast<std::uint32_t>(std::time(nullptr));
    SettingsHierarchy();
    EXPECT_TRUE(rseed >= before && rseed <= static_cast<std::uint32_t>(std::time(nullptr))) << rseed;
    EXPECT_FLOAT_EQ(fuzziness, 1.0f);
    EXPECT_EQ((Ints{fuzzy, niter, opt_ro, rese_opt, printDetail}), (Ints{3, 0, 2, 10, 1}));
}

// OTU types from the species: each OTU gets the 1-based number of its species, so the OTUs of one
// species share a type and the number of types is the number of species the OTUs belong to.
TEST_F(HierarchyTest, TypesTakenFromTheSpeciesOfTheOtus) {
    // Species 3 has no OTU; the fifth column lies past the 4 species and is no species.
    nSpp = 4;
    cstSppMap = dim2Dchar(tcst, nSpp + 1);
    const char* rows[] = {"01001", "00010", "01001", "00010", "10001"};
    for (int i = 0; i < tcst; i++) std::memcpy(cstSppMap[i], rows[i], 5);
    Script("y\n" + kRest + "1\nn\nn\n");
    SettingsHierarchy();
    EXPECT_NE(Out().find("The partition of OTUs into types should be specified.\nWish to use as OTUs types the "
                         "species specified in the session's formatted file? y/n " + kFuzzyBlock),
              std::string::npos);
    EXPECT_EQ(Ints(partition_OTUs, partition_OTUs + 5), (Ints{2, 4, 2, 4, 1}));
    EXPECT_EQ((Ints{nGrPoly[0], OTUsTypesAreSpecies}), (Ints{3, 1}));
}

TEST_F(HierarchyTest, UnreadableFilesAndNumbers) {
    // An unopenable group file asks f/k again; a short one leaves zeros, never earlier groups.
    Write("groups.txt", "3 3\n1\n");
    partition_OTUs[3] = partition_OTUs[4] = 8;
    Script("f\nnosuch.txt\nf\ngroups.txt\n" + kRest + "1\nn\nn\n");
    SettingsHierarchy();
    EXPECT_EQ(Count(Out(), kFk), 2);
    EXPECT_EQ(Ints(partition_OTUs, partition_OTUs + 5), (Ints{3, 3, 1, 0, 0}));
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
    // A group beyond int in a file, a nesting file that ends early, the end of input: code 2.
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

// A group read from a file is any number an int holds, its fraction dropped; one past either end
// of that range cannot be a group: code 2.
TEST_F(HierarchyTest, GroupsOfAFileAtTheEndsOfTheIntRange) {
    const struct {
        const char* nest;
        int code;
        Ints groups;
    } rows[] = {{"1 1 2147483647 2 -2147483648\n", 0, {1, 1, 2147483647, 2, -2147483647 - 1}},
                {"1 1 2.5 2 -2.9\n", 0, {1, 1, 2, 2, -2}},
                {"1 1 2147483648 2 2\n", TNX_END_OF_FILE, {}},
                {"1 1 -2147483649 2 2\n", TNX_END_OF_FILE, {}}};
    for (const auto& r : rows) {
        Write("nest.txt", r.nest);
        Script("k\n1 1 2 2 3\n0\n99\n1\nf\nnest.txt\n1\n1\n6\n1\nn\nn\n");
        EXPECT_EQ(CodeOf([] { SettingsHierarchy(); }), r.code) << r.nest;
        if (r.code == 0) {
            EXPECT_EQ(Ints(nestingMembershipOTUs, nestingMembershipOTUs + 5), r.groups) << r.nest;
        }
    }
    EXPECT_EQ(Count(Err(), "\nfile nest.txt "), 2);
}

TEST_F(HierarchyTest, TraitSelectionAndTraitGroupWeights) {
    hasTraitGroups = 1;
    const std::tuple<Ints, std::string, Floats> rows[] = {  // groups; trait option, selection, weights?
        {{1, 1, 2}, "1\ny\n", {0.5f, 0.5f, 1.0f}},
        {{1, 1, 2}, "2\n1 0 1\ny\n", {1.0f, 0.0f, 1.0f}},         // only selected traits count
        {{1, 2, 3}, "2\n0 0 0\n0 1 0\nn\n", {0.0f, 1.0f, 0.0f}},  // an empty selection is asked again
    };
    // No macro is recorded or replayed: nothing is echoed, not even the end of a selection's line.
    FILE* echo = std::tmpfile();
    outm = echo;
    for (const auto& [groups, answers, weights] : rows) {
        std::copy(groups.begin(), groups.end(), traitGroups);
        Script("k\n1 1 2 2 3\n" + kRest + answers + "n\nn\n");
        SettingsHierarchy();
        EXPECT_EQ(Floats(weight, weight + 3), weights) << answers;
    }
    outm = nullptr;
    EXPECT_EQ(std::ftell(echo), 0L);
    std::fclose(echo);
    const std::string select = "Select traits:\n(enter 0 for exclusion or 1 for inclusion)\ntr1 tr2 tr3 \n";
    EXPECT_EQ(Count(Out(), kTraits + "Set weights for traits inversely proportional to effective trait group "
                                     "sizes? y/n " + kStandardize), 1);
    EXPECT_EQ(Count(Out(), kTraits + select), 2);
    EXPECT_EQ(Count(Out(), select), 3);
    EXPECT_NE(Err().find("No trait selected"), std::string::npos);
}

TEST_F(HierarchyTest, ExistingReportAsksHowToOpenItInEitherCase) {
    Write("s1Prinda.txt", "old\n");
    const std::pair<const char*, const char*> rows[] = {{"w\n", "w"}, {"W\n", "w"}, {"x\nA\n", "a"}};
    for (const auto& [answer, mode] : rows) {
        Script(answer);
        GetPrindaMode("s1Prinda.txt");
        EXPECT_STREQ(prindaMode, mode) << answer;
    }
    EXPECT_EQ(Count(Out(), "\nThis session has a previous s1Prinda.txt file.\nOptions:\n   w  erase file and "
                           "create a new one\n   a  append results to same file\nType option: "), 3);
    EXPECT_NE(Err().find("\nIncorrect input = x. Reenter.\nAccepted input: W A\n"), std::string::npos);
    const size_t asked = Out().size();
    prindaMode[0] = 'w';
    runMacro = 1;  // a macro appends without asking (a missing file is created without asking end to end)
    GetPrindaMode("s1Prinda.txt");
    EXPECT_STREQ(prindaMode, "a");
    EXPECT_EQ(Out().size(), asked);
}

TEST_F(HierarchyTest, ResemblanceSettingsOfEachRoad) {
    auto run = [this](char obj, char menu, const std::string& answers) {
        whichObj = obj;
        optmain = menu;
        const size_t before = Out().size();
        Script(answers);
        SettingsRese();
        return Out().substr(before);
    };
    isHierarchical = poolCSTopt = 1;
    // Types: a function (1 refused, 7 to 10 accepted) and a level (4 refused), asked for monothetic
    // hierarchies only.
    EXPECT_EQ(run('c', 'H', "1\n10\n4\n2\n"), kReseFunction + kLevel);
    EXPECT_EQ((Ints{reseCstOpt, whichLevelCst}), (Ints{10, 2}));
    poolCSTopt = 2;
    EXPECT_EQ(run('c', 'H', "9\n"), kReseFunction);
    EXPECT_EQ((Ints{reseCstOpt, whichLevelCst}), (Ints{9, 1}));
    EXPECT_EQ(run('r', 'K', "6\n"), kReseFunction);
    const std::string err = Err();
    EXPECT_NE(err.find("\nIncorrect input = 1. Reenter.\nAccepted input: 6 7 8 9 10\n"), std::string::npos);
    EXPECT_NE(err.find("\nIncorrect input = 4. Reenter.\nAccepted input: 1 to 3\n"), std::string::npos);
    // The classical analyses ask the printouts; partial ones only for crisp monothetic hierarchies.
    fuzzy = 0;
    poolCSTopt = 1;
    EXPECT_EQ(run('r', 'R', "6\ny\nn\ny\n"),
              kReseFunction + "\nPrintout:\n   - nominal resemblances y/n     - nominal resemblances free "
                              "format (matrix upper half, no diagonal) y/n     - partial resemblances y/n  ");
    EXPECT_EQ(printPRese, 'y');
    fuzzy = 3;
    EXPECT_EQ(run('r', 'R', "6\nn\nn\n").find("partial"), std::string::npos);
}

}  // namespace
