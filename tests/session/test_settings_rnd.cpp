// The randomisation test's settings dialog: exact prompts of each kind of test and null model, the
// options it leaves, refusals, and the session's window and adjacency left alone.
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kRichness =
    "\nRichness in each random community: \n   1  same as observed\n   2  may be the same or less than observed\n"
    "Type option no.: \nTotal performance in each random community: \n   1  same as observed\n   2  variable\n"
    "Type option no.: ";
const std::string kIterations = "\nEnter number of iterations: ";
const std::string kSeed = "\nInitialization of the random number generator: \n   1  automatic (taken from the clock)\n"
                          "   2  specified by the user\nType option no.: ";
const std::string kUserSeed = "\nEnter seed (integer in the 0 to 4294967295 interval):\n";
const std::string kGenerated = "\nProbabilities will be generated.\n";
const std::string kDistributions = "Generate frequency distributions too? y/n  ";

class RndDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        whatRndCh = marks_;
        SMWSize = 3, adjacentRelOpt = 0;
        rndWindow = rndAdjacent = 5;
        chDependency = 1;
        doMeanStOpt = doDistrib = 7;
        reseTypeRnd = 9;
    }
    void TearDown() override {
        whatRndCh = nullptr;
        DialogTest::TearDown();
    }
    // Runs the dialog of test `kind` on the answers; true when all were read and nothing more.
    bool Run(int kind, const std::string& answers) {
        rndTestOpt = kind;
        Script(answers + "END\n");
        EXPECT_TRUE(SettingsRnd());
        char rest[8] = "";
        return std::fscanf(inFile_, "%7s", rest) == 1 && std::string(rest) == "END";
    }
    int marks_[3] = {0, 0, 0};
};

// Test 1 takes null model 1: both keep questions, the iterations, a user's seed, the means and the
// distributions. The session's window and adjacency stay; the test's own are 1.
TEST_F(RndDialogTest, ResemblanceTestAsksEverything) {
    empir_opt = 3;
    EXPECT_TRUE(Run(1, "1\n2\n10\n2\n5\ny\ny\n"));
    EXPECT_EQ(Out(), kRichness + kIterations + kSeed + kUserSeed + kGenerated +
                         "Find means and standard deviations for resemblances over 10 iterations? y/n " +
                         kDistributions + "Will get frequency distributions of nominal resemblances.\n");
    EXPECT_EQ((Ints{empir_opt, keepRichness, keepReleveTotal, niter, seedOpt, int(rseed), doMeanStOpt, doDistrib,
                    reseTypeRnd, rndWindow, rndAdjacent, SMWSize, adjacentRelOpt}),
              (Ints{1, 1, 0, 10, 2, 5, 1, 1, 1, 1, 1, 3, 0}));
}

// Test 3 takes null model 4: no keep questions. Zero iterations are refused; the clock seed asks no
// number; "n" leaves no distributions and test 3 has no means.
TEST_F(RndDialogTest, StructureTestAndRefusedIterations) {
    const struct {
        std::string answers, distributions;
        int doDistrib;
    } cases[] = {{"0\n3\n1\nn\n", "", 0}, {"3\n2\n4294967295\ny\n", "Will get frequency distributions of SEF.\n", 2}};
    for (const auto& c : cases) {
        const std::string before = Out();
        empir_opt = 1;
        EXPECT_TRUE(Run(3, c.answers));
        const bool user = c.doDistrib == 2;
        EXPECT_EQ(Out().substr(before.size()),
                  kIterations + kSeed + (user ? kUserSeed : "") + kGenerated + kDistributions + c.distributions);
        EXPECT_EQ((Ints{empir_opt, niter, seedOpt, doMeanStOpt, doDistrib}), (Ints{4, 3, user ? 2 : 1, 0, c.doDistrib}));
        if (user) {
            EXPECT_EQ(rseed, 4294967295u);
        }
    }
    EXPECT_EQ(Count(Err(), "Incorrect input = 0. Reenter."), 1);
}

// One iteration: the deviations and the distributions need two values, so neither is asked.
TEST_F(RndDialogTest, OneIterationAsksNoMore) {
    EXPECT_TRUE(Run(1, "2\n1\n1\n2\n0\n"));
    EXPECT_EQ(Out(), kRichness + kIterations + kSeed + kUserSeed + kGenerated);
    EXPECT_EQ((Ints{keepRichness, keepReleveTotal, niter, doMeanStOpt, doDistrib}), (Ints{0, 1, 1, 0, 0}));
}

// Null model 2 (kept by a test of another kind): the traits randomised, all or some, listed in the
// session's trait order; their marks go by position in that order.
TEST_F(RndDialogTest, RandomTaxaMarkTraitsByPosition) {
    empir_opt = 2;
    nchor[0] = 3, nchor[1] = 1, nchor[2] = 2;
    EXPECT_TRUE(Run(2, "2\n0\n1\n1\n4\n1\n"));
    const std::string head = "\nRandomization on the basis of: \n   1  all traits\n   2  some traits\nType option no.: ";
    EXPECT_EQ(Out(), head + "\nSelect traits:\n(enter 0 for exclusion or 1 for inclusion)\ntr3 tr1 tr2 \n" + kIterations +
                         kSeed + kGenerated);
    EXPECT_EQ(Ints(marks_, marks_ + 3), (Ints{0, 1, 1}));
    EXPECT_EQ((Ints{empir_opt, keepRichness, keepReleveTotal, chDependency, doMeanStOpt, doDistrib}),
              (Ints{2, 0, 1, 0, 0, 0}));
    const std::string before = Out();
    EXPECT_TRUE(Run(2, "1\n4\n1\n"));
    EXPECT_EQ(Out().substr(before.size()), head + kIterations + kSeed + kGenerated);
    EXPECT_EQ(Ints(marks_, marks_ + 3), (Ints{1, 1, 1}));
}

// An order that is no permutation of the traits (a trait left out as 0, one twice) lists the traits in
// their own order, the order the test then follows; without trait codes (a value that is no whole
// number) the dialog says the test cannot run and lists them in their own order too.
TEST_F(RndDialogTest, RandomTaxaListedInTheTraitsOwnOrderWhenTheSessionsIsNone) {
    empir_opt = 2;
    const std::string head = "\nRandomization on the basis of: \n   1  all traits\n   2  some traits\nType option no.: ";
    const std::string list = "\nSelect traits:\n(enter 0 for exclusion or 1 for inclusion)\ntr1 tr2 tr3 \n";
    const std::string noCodes =
        "\nThis analysis needs every trait value as a whole number from 0 to 99: nothing was computed.\n";
    const struct {
        Ints order;
        bool codes;
    } rows[] = {{{0, 0, 0}, true}, {{2, 2, 3}, true}, {{0, 4, 1}, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.order[0] * 100 + r.order[1] * 10 + r.order[2]);
        std::copy(r.order.begin(), r.order.end(), nchor);
        if (!r.codes) free2D(csm, tcst), csm = nullptr;
        const std::string before = Out();
        EXPECT_TRUE(Run(2, "2\n1\n0\n1\n4\n1\n"));
        EXPECT_EQ(Out().substr(before.size()), head + (r.codes ? "" : noCodes) + list + kIterations + kSeed + kGenerated);
        EXPECT_EQ(Ints(marks_, marks_ + 3), (Ints{1, 0, 1}));
        EXPECT_EQ(Ints(nchor, nchor + 3), r.codes ? (Ints{1, 2, 3}) : r.order);
    }
}

}  // namespace
