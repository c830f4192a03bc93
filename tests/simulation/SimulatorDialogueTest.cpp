// Tests of the simulator's dialogue: prompts, ranges, the parameter files (asked again when they
// cannot be opened, code 2 when they end early or hold no finite number), the check of the
// correlation matrices, the size checks, and what the settings dialogue of the functional
// analysis sees in type I error or power mode.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "session/session_fixture.h"
#include "simulation/TNXSIMINPUT.h"
#include "simulation/TNXSIMMODEL.h"

namespace {

using tnxtest::CodeOf;
using tnxtest::Edit;

// What one dialogue leaves, released at the end of the test.
struct Dialogue {
    AssemblySettings set;
    AssemblyModel m;
    double** rawEnv = nullptr;
    int* varSelect = nullptr;
    bool globalsSet = false;
    char savedPrinda[kFileNameSize] = "";
    char savedMode[4] = "";
    void Run() { SimulatorDialogue(&set, &m, &rawEnv, &varSelect, &globalsSet, savedPrinda, savedMode); }
    ~Dialogue() {
        FreeAssemblyModel(set, &m);
        if (rawEnv) free2D(rawEnv, set.f);
        free1D(varSelect);
        if (globalsSet) ReleaseSimulatorGlobals(savedPrinda, savedMode);
    }
};

// Answers up to and including the trait input for n sites, 5 OTUs and 2 traits from B.txt.
std::string Start(int n) { return std::to_string(n) + "\n5\n2\nt\nB.txt\n"; }
// Random kernel, lmin 0.1, random sites, one factor from E.txt (n values), no interactions,
// A.txt and K.txt, random survival and density, M 10, G 5, h 0.5.
const std::string kMiddle =
    "r\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nE.txt\nn\nA.txt\nK.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-5\n-5\n0.5\n0.5\n10\n5\n0.5\n";

class SimulatorDialogueTest : public tnxtest::ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        Write("B.txt", "1 2\n2 1\n3 5\n4 3\n5 4\n");
        Write("E.txt", "1 2 3 4\n");
        Write("A.txt", "1\n0\n");
        Write("K.txt", "0.1 0\n");
    }
};

// The answers for n sites with `middle` in place of kMiddle: no test mode, seed 1, no intermediate results.
std::string Full(int n = 4, const std::string& middle = kMiddle) { return Start(n) + middle + "n\n1\nn\n"; }

using V = std::vector<double>;

TEST_F(SimulatorDialogueTest, ReadsEveryFileAsNamed) {
    Write("kernel.txt", "-1 0.1\n-2 0.2\n-3 0.3\n-4 0.4\n-5 0.5\n");
    Write("xy.txt", "0 1 2 3\n5 6 7 8\n");
    Write("E2.txt", "1 2 3 4\n4 1 3 2\n");
    Write("A3.txt", "0 0 0\n0 2 0\n");
    Write("K2.txt", "1 2\n3 4\n");
    Write("surv.txt", "-1 0.5 -2 0.5 -3 0.5 -4 0.5 -5 0.5\n");
    Write("dens.txt", "-6 0.1 -7 0.2 -8 0.3 -9 0.4 -10 0.5\n");
    Script(Start(4) + "d\nkernel.txt\n0.25\nc\nxy.txt\n2\ne\nE2.txt\ny\nA3.txt\nK2.txt\nd\nsurv.txt\nd\ndens.txt\n"
           "10\n5\n0.5\nn\n2\n7\nn\n");
    Dialogue d;
    d.Run();
    const AssemblySettings& s = d.set;
    // v: 2 factors and their one pair.
    EXPECT_EQ((V{double(s.n), double(s.s), double(s.p), double(s.f), double(s.v), double(s.interactions), s.lmin,
                 double(s.testMode), double(s.N), s.alpha, double(s.intermediate), double(s.stepFiles), double(rseed)}),
              (V{4, 5, 2, 2, 3, 1, 0.25, 0, 1, 0, 0, 0, 7}));
    EXPECT_STREQ(s.responseFile, "A3.txt");
    // Kernel slope and centre in columns 2 and 3; only the trait with a non-zero response parameter
    // takes part in the distances.
    const AssemblyModel& m = d.m;
    EXPECT_EQ((V{m.B[2][1], m.kernel[3][1], m.kernel[3][2], m.coords[1][2], d.rawEnv[1][3], m.E0[1][3], m.A[1][1],
                 double(m.considered[0]), double(m.considered[1]), m.K[1][0], m.survival[4][0], m.density[2][1]}),
              (V{5, -4, 0.4, 7, 2, 2, 2, 0, 1, 3, -5, 0.3}));
    EXPECT_EQ(std::vector<int>(d.varSelect, d.varSelect + 3), std::vector<int>(3, 1));
    const std::string o = Out();
    for (const char* prompt :
         {"Input is a 5 OTUs x 2 traits matrix (t) or a trait x traits correlation matrix (c) or both the latter and "
          "a taxa x taxa correlation matrix (b)? t/c/b ",
          "Name of the file with matrix of parameters for linear models of community responses to ecosystem "
          "conditions (2 traits by 3 ecosystem predictor variables and their double interactions): ",
          "(<0, if it approaches 0 the density dependence effect will be neutral)",
          "\nEnter seed (integer in the 0 to 4294967295 interval):\n", "Save intermediate results? y/n "})
        EXPECT_NE(o.find(prompt), std::string::npos) << prompt;
    EXPECT_EQ(o.find("Specify the number of simulated data sets"), std::string::npos);
}

// Answers refused or asked again: what the dialogue keeps, and how often a prompt and an error appear.
TEST_F(SimulatorDialogueTest, RefusedAnswersAreAskedAgain) {
    Write("bad.txt", "1 2\n2 1\n");
    Write("good.txt", "1 0.5\n0.5 1\n");
    Write("E1.txt", "1\n");
    const struct {
        const char* what;
        std::string answers;
        std::function<void(const Dialogue&)> check;
        std::string prompt;
        int prompts;
        std::string error;
        int errors;
    } cases[] = {
        {"a second slope above the first", Full(4, Edit(kMiddle, "r\n-5\n-6\n", "r\n-5\n-4\n-6\n")),
         [](const Dialogue& d) { EXPECT_EQ((V{d.set.kernelSlope1, d.set.kernelSlope2}), (V{-5, -6})); }, "", 0,
         "Incorrect input = -4. Reenter.", 1},
        {"a file that cannot be opened", "4\n5\n2\nt\nmissing.txt\nB.txt\n" + kMiddle + "n\n1\nn\n",
         [](const Dialogue& d) { EXPECT_EQ(d.m.B[4][0], 5.0f); }, "Enter data file name: ", 5,  // B twice, E, A, K
         "can't open missing.txt", 1},
        // 45 characters: the first 41 name no file; the rest of the line is not taken as the next
        // answer, which names the trait file.
        {"a long file name", "4\n5\n2\nt\n" + std::string(45, 'x') + "\nB.txt  \n" + kMiddle + "n\n1\nn\n",
         [](const Dialogue& d) { EXPECT_STREQ(d.set.traitFile, "B.txt"); }, "Enter data file name: ", 5,
         "can't open " + std::string(41, 'x') + ": No such file or directory \n", 1},
        {"a correlation matrix that is not positive definite",
         "4\n5\n2\nc\nbad.txt\ngood.txt\nu\n" + kMiddle + "n\n1\nn\n",
         [](const Dialogue& d) {
             EXPECT_EQ((V{double(d.set.traitInput), double(d.set.traitCode), d.m.traitCorr[0][1]}), (V{'c', 1, 0.5}));
             EXPECT_STREQ(d.set.traitCorrFile, "good.txt");
         },
         "Name of the file with full trait correlation matrix (2 traits x 2 traits): ", 2, "not positive definite", 1},
        // n = 2147483647 and n = 46341 cannot hold their (n + 1) x n site distances and metacommunity,
        // s = 46341 its s x s OTU similarities; M = 600000000 makes M n above INT_MAX.
        {"sizes that cannot be held", "2147483647\n46341\n4\n46341\n5\n2\nt\nB.txt\n" +
                                          Edit(kMiddle, "\n10\n5\n0.5\n", "\n600000000\n10\n5\n0.5\n") + "n\n1\nn\n",
         [](const Dialogue& d) { EXPECT_EQ((V{double(d.set.n), double(d.set.M), double(d.set.s)}), (V{4, 10, 5})); },
         "", 0, "Too large", 4},
        {"one factor with interactions", Full(4, Edit(kMiddle, "E.txt\nn\n", "E.txt\ny\n")),
         [](const Dialogue& d) { EXPECT_EQ((V{double(d.set.interactions), double(d.set.v)}), (V{1, 1})); }, "", 0, "", 0},
        {"type I error mode with one community", Start(1) + Edit(kMiddle, "E.txt", "E1.txt") + "y\nn\n1\nn\n",
         [](const Dialogue& d) { EXPECT_FALSE(d.set.testMode); }, "Evaluate type I error or power? y/n ", 2,
         "at least 2 communities", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = Out().size();
        Script(c.answers);
        {
            Dialogue d;
            d.Run();
            c.check(d);
        }
        EXPECT_EQ(c.prompt.empty() ? 0 : tnxtest::Count(Out().substr(before), c.prompt), c.prompts);
        const std::string err = Err();
        EXPECT_EQ(c.error.empty() ? 0 : tnxtest::Count(err, c.error), c.errors);
        testing::internal::CaptureStderr();
        capturing_ = true;
    }
}

TEST_F(SimulatorDialogueTest, ShortOrUnreadableFileAndEndOfInputRaiseCode2) {
    const std::pair<const char*, std::string> cases[] = {
        // The whole dialogue follows, so that only the file can raise the code.
        {"1 2\n2 1\n3 5\n4\n", Full()},               // ends after 7 of 10 numbers
        {"1 2\n2 1\n3 1e999\n4 3\n5 4\n", Full()},     // no finite number
        {"1 2\n2 1\n3 1e39\n4 3\n5 4\n", Full()},      // beyond the range of a float
        {"1 2\n2 1\n3 5\n4 3\n5 4\n", "4\n5\n"},       // the input ends in the dialogue
    };
    for (const auto& [traits, answers] : cases) {
        Write("B.txt", traits);
        Script(answers);
        Dialogue d;
        EXPECT_EQ(CodeOf([&] { d.Run(); }), TNX_END_OF_FILE) << traits;
    }
}

// A word that spells a value that is not finite ("nan", "inf") in a matrix file is refused as that
// value, never passed over: passed over, the numbers after it would shift into its place (each file
// holds one number more than the matrix, so that only the word can raise the code).
TEST_F(SimulatorDialogueTest, NonFiniteWordsInAMatrixFileAreRefusedNotPassedOver) {
    for (const char* traits : {"1 2\n2 1\n3 nan 9\n4 3\n5 4\n", "1 2\n2 1\n3 -Inf 9\n4 3\n5 4\n",
                               "1 2\n2 1\n3 infinity 9\n4 3\n5 4\n"}) {
        Write("B.txt", traits);
        Script(Full());
        Dialogue d;
        EXPECT_EQ(CodeOf([&] { d.Run(); }), TNX_END_OF_FILE) << traits;
        EXPECT_EQ(tnxtest::Count(Err(), "\nfile B.txt "), 1) << traits;
        testing::internal::CaptureStderr();
        capturing_ = true;
    }
}

TEST(PositiveDefinite, CholeskyDecides) {
    double** a = dim2Double(3, 3);
    for (int i = 0; i < 3; i++) a[i][i] = 1.0;
    EXPECT_TRUE(IsPositiveDefinite(3, a));
    a[0][1] = a[1][0] = 0.9;
    a[0][2] = a[2][0] = 0.9;
    a[1][2] = a[2][1] = -0.9;  // |R| = 1 - 3(0.81) - 2(0.729) < 0
    EXPECT_FALSE(IsPositiveDefinite(3, a));
    a[1][2] = a[2][1] = 0.9;   // |R| = 1 - 2.43 + 1.458 > 0
    EXPECT_TRUE(IsPositiveDefinite(3, a));
    double** singular = dim2Double(2, 2);
    singular[0][0] = singular[0][1] = singular[1][0] = singular[1][1] = 1.0;  // determinant 0
    EXPECT_FALSE(IsPositiveDefinite(2, singular));
    free2D(singular, 2);
    a[1][2] = 0.8;             // not symmetric
    EXPECT_FALSE(IsPositiveDefinite(3, a));
    EXPECT_FALSE(IsPositiveDefinite(0, a));  // no matrix
    free2D(a, 3);
}

TEST(SizeChecks, CellsAndPredictorsInSixtyFourBits) {
    // 46340^2 = 2147395600 cells fit, 46341^2 = 2147488281 do not; n + n(n-1)/2 predictors.
    EXPECT_EQ((std::vector<bool>{CellsFit(46340, 46340), CellsFit(46341, 46341), CellsFit(1, INT_MAX),
                                 CellsFit(2, INT_MAX), CellsFit(0, 5)}),
              (std::vector<bool>{true, false, true, false, false}));
    EXPECT_EQ((std::vector<long long>{PredictorCount(1, true), PredictorCount(4, true), PredictorCount(4, false),
                                      PredictorCount(100000, true)}),
              (std::vector<long long>{1, 10, 4, 100000 + 4999950000LL}));
}

TEST_F(SimulatorDialogueTest, TraitsAreRefusedWhenTheirSimilaritiesCannotBeHeld) {
    // 5000 OTUs: 100 traits make 2.5e9 partial similarities, 50 make 1.25e9. The input then ends.
    Script("4\n5000\n100\n50\n");
    Dialogue d;
    EXPECT_EQ(CodeOf([&] { d.Run(); }), TNX_END_OF_FILE);
    EXPECT_EQ(d.set.p, 50);
    EXPECT_EQ(tnxtest::Count(Err(), "Too large"), 1);
}

// Settings dialogue answers: groups from the keyboard, fuzzy types, 20 permutations, no
// restriction, seed 11, Mantel, Euclidean distance, all traits, W at unit totals, details y.
const std::string kSettings = "k\n1 2 3 4 5\n1\n20\n0\n2\n11\n1\n6\n1\ny\ny\n";

TEST_F(SimulatorDialogueTest, TypeIModeRunsTheSettingsDialogueOnTheSimulatedTraits) {
    // Leftovers of an earlier session that the settings dialogue must not see.
    hasPhylogeny = true;
    hasTraitGroups = temEnvQual = 1;
    strcpy(whichPrinda, "old");
    Write("old", "a report of an earlier session\n");
    // Two factors and their pair; the variable selection with none is asked again.
    Write("E3.txt", "1 2 3 4\n4 3 2 1\n");
    Write("A3.txt", "1 0 0\n0 0 0\n");
    Write("K3.txt", "0 0\n0 0\n");
    Script(Start(4) + Edit(kMiddle, "r\n1\ne\nE.txt\nn\nA.txt\nK.txt", "r\n2\ne\nE3.txt\ny\nA3.txt\nK3.txt") + "y\n3\n" + kSettings + "2\n0 0 0\n1 0 1\n0.05\n");
    {
        Dialogue d;
        d.Run();
        EXPECT_EQ((V{double(d.set.testMode), double(d.set.N), d.set.alpha, double(d.set.intermediate),
                     double(d.set.stepFiles), double(d.varSelect[0]), double(d.varSelect[1]), double(d.varSelect[2])}),
                  (V{1, 3, 0.05, 1, 0, 1, 0, 1}));
        EXPECT_EQ((V{double(tcst), double(nch), double(chtype[1]), weight[0], double(fuzzy), double(niter), double(rseed),
                     double(includePhylogeny)}),
                  (V{5, 2, 3, 1, 3, 20, 11, 0}));
        EXPECT_EQ(tnxtest::GetRows(chLabel, 2), (tnxtest::Strings{"1", "2"}));
        const std::string o = Out();
        EXPECT_EQ(o.find("This session has a previous"), std::string::npos);
        EXPECT_NE(o.find("Select variables (and their interactions if included):\n(enter 0 for exclusion or 1 for "
                         "inclusion)\n1 2 1x2 \nSpecify the alpha threshold for Ho rejection: "),
                  std::string::npos);
        EXPECT_EQ(tnxtest::Count(Err(), "No variable selected"), 1);
    }
    // Released and cleared; the report name of the earlier session is back.
    EXPECT_EQ((std::vector<const void*>{chLabel, chtype, weight, partition_OTUs, nGrPoly}),
              std::vector<const void*>(5, nullptr));
    EXPECT_EQ(tcst + nch, 0);
    EXPECT_STREQ(whichPrinda, "old");
    hasPhylogeny = false;
    hasTraitGroups = temEnvQual = 0;
}

}  // namespace
