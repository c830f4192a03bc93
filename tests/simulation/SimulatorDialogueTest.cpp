// Tests of the simulator's dialogue: prompts, ranges, the parameter files (asked again when they
// cannot be opened, code 2 when they end early or hold no finite number), the check of the
// correlation matrices, the size checks, and what the settings dialogue of the functional
// analysis sees in type I error or power mode.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "session/session_fixture.h"
#include "simulation/TNXSIMINPUT.h"
#include "simulation/TNXSIMMODEL.h"

namespace {

using tnxtest::CodeOf;

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
    EXPECT_EQ(s.n, 4);
    EXPECT_EQ(s.s, 5);
    EXPECT_EQ(s.p, 2);
    EXPECT_EQ(s.f, 2);
    EXPECT_EQ(s.v, 3);  // 2 factors and their one pair
    EXPECT_TRUE(s.interactions);
    EXPECT_EQ(s.lmin, 0.25);
    EXPECT_FALSE(s.testMode);
    EXPECT_EQ(s.N, 1);
    EXPECT_EQ(s.alpha, 0.0);
    EXPECT_FALSE(s.intermediate);
    EXPECT_FALSE(s.stepFiles);
    EXPECT_EQ(rseed, 7u);
    EXPECT_STREQ(s.responseFile, "A3.txt");
    EXPECT_EQ(d.m.B[2][1], 5.0f);
    EXPECT_EQ(d.m.kernel[3][1], -4.0);  // slope and centre in columns 2 and 3
    EXPECT_EQ(d.m.kernel[3][2], 0.4);
    EXPECT_EQ(d.m.coords[1][2], 7.0);
    EXPECT_EQ(d.rawEnv[1][3], 2.0);
    EXPECT_EQ(d.m.E0[1][3], 2.0);
    EXPECT_EQ(d.m.A[1][1], 2.0);
    // Only the trait with a non-zero response parameter takes part in the distances.
    EXPECT_EQ(d.m.considered[0], 0);
    EXPECT_EQ(d.m.considered[1], 1);
    EXPECT_EQ(d.m.K[1][0], 3.0);
    EXPECT_EQ(d.m.survival[4][0], -5.0);
    EXPECT_EQ(d.m.density[2][1], 0.3);
    for (int j = 0; j < 3; j++) EXPECT_EQ(d.varSelect[j], 1);
    const std::string o = Out();
    EXPECT_NE(o.find("Input is a 5 OTUs x 2 traits matrix (t) or a trait x traits correlation matrix (c) or both the "
                     "latter and a taxa x taxa correlation matrix (b)? t/c/b "),
              std::string::npos);
    EXPECT_NE(o.find("Name of the file with matrix of parameters for linear models of community responses to "
                     "ecosystem conditions (2 traits by 3 ecosystem predictor variables and their double "
                     "interactions): "),
              std::string::npos);
    EXPECT_NE(o.find("(<0, if it approaches 0 the density dependence effect will be neutral)"), std::string::npos);
    EXPECT_NE(o.find("\nEnter seed (integer in the 0 to 4294967295 interval):\n"), std::string::npos);
    EXPECT_NE(o.find("Save intermediate results? y/n "), std::string::npos);
    EXPECT_EQ(o.find("Specify the number of simulated data sets"), std::string::npos);
}

TEST_F(SimulatorDialogueTest, SecondSlopeAboveTheFirstIsRefused) {
    Script(Start(4) + "r\n-5\n-4\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nE.txt\nn\nA.txt\nK.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-5\n-5\n"
                      "0.5\n0.5\n10\n5\n0.5\nn\n1\nn\n");
    Dialogue d;
    d.Run();
    EXPECT_EQ(d.set.kernelSlope1, -5.0);
    EXPECT_EQ(d.set.kernelSlope2, -6.0);
    EXPECT_NE(Err().find("Incorrect input = -4. Reenter."), std::string::npos);
}

TEST_F(SimulatorDialogueTest, FileThatCannotBeOpenedIsAskedAgain) {
    Script("4\n5\n2\nt\nmissing.txt\nB.txt\n" + kMiddle + "n\n1\nn\n");
    Dialogue d;
    d.Run();
    EXPECT_EQ(d.m.B[4][0], 5.0f);
    EXPECT_EQ(tnxtest::Count(Out(), "Enter data file name: "), 5);  // B twice, E, A, K
    EXPECT_NE(Err().find("can't open missing.txt"), std::string::npos);
}

TEST_F(SimulatorDialogueTest, LongFileNameIsCutAndTheRestOfItsLineDropped) {
    // 45 characters: the first 41 name no file; the rest of the line is not taken as the next
    // answer, which names the trait file.
    Script("4\n5\n2\nt\n" + std::string(45, 'x') + "\nB.txt  \n" + kMiddle + "n\n1\nn\n");
    Dialogue d;
    d.Run();
    EXPECT_STREQ(d.set.traitFile, "B.txt");
    EXPECT_NE(Err().find("can't open " + std::string(41, 'x') + " \n"), std::string::npos);
}

TEST_F(SimulatorDialogueTest, ShortOrUnreadableFileAndEndOfInputRaiseCode2) {
    struct Case {
        const char* traits;
        std::string answers;
    };
    const std::string kFull = Start(4) + kMiddle + "n\n1\nn\n";
    const Case cases[] = {
        // The whole dialogue follows, so that only the file can raise the code.
        {"1 2\n2 1\n3 5\n4\n", kFull},            // ends after 7 of 10 numbers
        {"1 2\n2 1\n3 1e999\n4 3\n5 4\n", kFull},  // no finite number
        {"1 2\n2 1\n3 1e39\n4 3\n5 4\n", kFull},   // beyond the range of a float
        {"1 2\n2 1\n3 5\n4 3\n5 4\n", "4\n5\n"},     // the input ends in the dialogue
    };
    for (const Case& c : cases) {
        Write("B.txt", c.traits);
        Script(c.answers);
        Dialogue d;
        EXPECT_EQ(CodeOf([&] { d.Run(); }), TNX_END_OF_FILE) << c.traits;
    }
}

TEST_F(SimulatorDialogueTest, CorrelationMatrixThatIsNotPositiveDefiniteIsAskedAgain) {
    Write("bad.txt", "1 2\n2 1\n");
    Write("good.txt", "1 0.5\n0.5 1\n");
    Script("4\n5\n2\nc\nbad.txt\ngood.txt\nu\n" + kMiddle + "n\n1\nn\n");
    Dialogue d;
    d.Run();
    EXPECT_EQ(d.set.traitInput, 'c');
    EXPECT_EQ(d.set.traitCode, 1);
    EXPECT_STREQ(d.set.traitCorrFile, "good.txt");
    EXPECT_EQ(d.m.traitCorr[0][1], 0.5f);
    EXPECT_EQ(tnxtest::Count(Out(), "Name of the file with full trait correlation matrix (2 traits x 2 traits): "), 2);
    EXPECT_NE(Err().find("not positive definite"), std::string::npos);
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
    EXPECT_TRUE(CellsFit(46340, 46340));   // 2147395600 cells
    EXPECT_FALSE(CellsFit(46341, 46341));  // 2147488281 cells
    EXPECT_TRUE(CellsFit(1, INT_MAX));
    EXPECT_FALSE(CellsFit(2, INT_MAX));
    EXPECT_FALSE(CellsFit(0, 5));
    EXPECT_EQ(PredictorCount(1, true), 1);
    EXPECT_EQ(PredictorCount(4, true), 10);
    EXPECT_EQ(PredictorCount(4, false), 4);
    EXPECT_EQ(PredictorCount(100000, true), 100000 + 4999950000LL);
}

TEST_F(SimulatorDialogueTest, SizesThatCannotBeHeldAreRefusedWhenEntered) {
    // n = 2147483647 and n = 46341 cannot hold their (n + 1) x n site distances and
    // metacommunity, s = 46341 its s x s OTU similarities; M = 600000000 makes M n above INT_MAX.
    Script("2147483647\n46341\n4\n46341\n5\n2\nt\nB.txt\n"
           "r\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nE.txt\nn\nA.txt\nK.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-5\n-5\n0.5\n0.5\n"
           "600000000\n10\n5\n0.5\nn\n1\nn\n");
    Dialogue d;
    d.Run();
    EXPECT_EQ(d.set.n, 4);
    EXPECT_EQ(d.set.M, 10);
    EXPECT_EQ(d.set.s, 5);
    EXPECT_EQ(tnxtest::Count(Err(), "Too large"), 4);
}

TEST_F(SimulatorDialogueTest, TraitsAreRefusedWhenTheirSimilaritiesCannotBeHeld) {
    // 5000 OTUs: 100 traits make 2.5e9 partial similarities, 50 make 1.25e9. The input then ends.
    Script("4\n5000\n100\n50\n");
    Dialogue d;
    EXPECT_EQ(CodeOf([&] { d.Run(); }), TNX_END_OF_FILE);
    EXPECT_EQ(d.set.p, 50);
    EXPECT_EQ(tnxtest::Count(Err(), "Too large"), 1);
}

TEST_F(SimulatorDialogueTest, OneFactorWithInteractionsHasOnePredictor) {
    Script(Start(4) + "r\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nE.txt\ny\nA.txt\nK.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-5\n-5\n"
                      "0.5\n0.5\n10\n5\n0.5\nn\n1\nn\n");
    Dialogue d;
    d.Run();
    EXPECT_TRUE(d.set.interactions);
    EXPECT_EQ(d.set.v, 1);
}

// Settings dialogue answers: groups from the keyboard, fuzzy types, 20 permutations, no
// restriction, seed 11, Mantel, Euclidean distance, all traits, W at unit totals, details y.
const std::string kSettings = "k\n1 2 3 4 5\n1\n20\n0\n2\n11\n1\n6\n1\ny\ny\n";

TEST_F(SimulatorDialogueTest, TypeIModeRunsTheSettingsDialogueOnTheSimulatedTraits) {
    // Leftovers of an earlier session that the settings dialogue must not see.
    hasPhylogeny = true;
    hasTraitGroups = 1;
    temEnvQual = 1;
    strcpy(whichPrinda, "old");
    Write("old", "a report of an earlier session\n");
    // One community is refused for the tests; the variable selection with none is asked again.
    Write("E3.txt", "1 2 3 4\n4 3 2 1\n");
    Write("A3.txt", "1 0 0\n0 0 0\n");
    Write("K3.txt", "0 0\n0 0\n");
    Script(Start(4) + "r\n-5\n-6\n0.4\n0.6\n0.1\nr\n2\ne\nE3.txt\ny\nA3.txt\nK3.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-5\n-5\n"
                      "0.5\n0.5\n10\n5\n0.5\ny\n3\n" + kSettings + "2\n0 0 0\n1 0 1\n0.05\n");
    {
        Dialogue d;
        d.Run();
        EXPECT_TRUE(d.set.testMode);
        EXPECT_EQ(d.set.N, 3);
        EXPECT_EQ(d.set.alpha, 0.05);
        EXPECT_TRUE(d.set.intermediate);
        EXPECT_FALSE(d.set.stepFiles);
        EXPECT_EQ(d.varSelect[0], 1);
        EXPECT_EQ(d.varSelect[1], 0);
        EXPECT_EQ(d.varSelect[2], 1);
        EXPECT_EQ(tcst, 5);
        EXPECT_EQ(nch, 2);
        EXPECT_STREQ(chLabel[0], "1");
        EXPECT_STREQ(chLabel[1], "2");
        EXPECT_EQ(chtype[1], 3);
        EXPECT_EQ(weight[0], 1.0f);
        EXPECT_EQ(fuzzy, 3);
        EXPECT_EQ(niter, 20);
        EXPECT_EQ(rseed, 11u);
        EXPECT_FALSE(includePhylogeny);
        const std::string o = Out();
        EXPECT_EQ(o.find("This session has a previous"), std::string::npos);
        EXPECT_NE(o.find("Select variables (and their interactions if included):\n(enter 0 for exclusion or 1 for "
                         "inclusion)\n1 2 1x2 \n"),
                  std::string::npos);
        EXPECT_NE(o.find("Specify the alpha threshold for Ho rejection: "), std::string::npos);
        const std::string e = Err();
        EXPECT_EQ(tnxtest::Count(e, "No variable selected"), 1);
    }
    // Released and cleared; the report name of the earlier session is back.
    EXPECT_EQ(chLabel, nullptr);
    EXPECT_EQ(chtype, nullptr);
    EXPECT_EQ(weight, nullptr);
    EXPECT_EQ(partition_OTUs, nullptr);
    EXPECT_EQ(nGrPoly, nullptr);
    EXPECT_EQ(tcst, 0);
    EXPECT_EQ(nch, 0);
    EXPECT_STREQ(whichPrinda, "old");
    hasPhylogeny = false;
    hasTraitGroups = 0;
    temEnvQual = 0;
}

TEST_F(SimulatorDialogueTest, TypeIModeNeedsTwoCommunities) {
    Write("E1.txt", "1\n");
    Script(Start(1) + "r\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nE1.txt\nn\nA.txt\nK.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-5\n-5\n"
                      "0.5\n0.5\n10\n5\n0.5\ny\nn\n1\nn\n");
    Dialogue d;
    d.Run();
    EXPECT_FALSE(d.set.testMode);
    EXPECT_EQ(tnxtest::Count(Out(), "Evaluate type I error or power? y/n "), 2);
    EXPECT_NE(Err().find("at least 2 communities"), std::string::npos);
}

}  // namespace
