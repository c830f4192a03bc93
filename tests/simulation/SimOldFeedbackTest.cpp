// Tests of the earlier environmental-feedback simulator: the chi-square survival against its
// closed forms, one step of survival and one of feedback by hand, colonisation and mortality
// against a twin of the generator, and whole runs of its dialogue.
#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>

#include "common/ErrorCode.h"
#include "foundation/TnxError.h"
#include "matrix/core/qwlibRandom.h"
#include "session/session_fixture.h"
#include "simulation/TNXSIMOLD.h"

namespace {

using Rows = std::initializer_list<std::initializer_list<double>>;

void Fill(double** m, Rows rows) {
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (double v : row) m[i][j++] = v;
        i++;
    }
}

// A run of the given sizes with every matrix allocated (zero-filled), released at the end.
struct SmallRun {
    EnvFeedbackRun R;
    SmallRun(int n, int s, int p, int f, int M, int G, double w) {
        R.n = n, R.s = s, R.p = p, R.f = f, R.M = M, R.G = G, R.w = w;
        AllocEnvFeedbackRun(&R);
    }
    ~SmallRun() { FreeEnvFeedbackRun(&R); }
};

TEST(ChiSquareSurvival, ClosedForms) {
    // Upper chi-square tails: 2 df exp(-d/2); 4 df exp(-d/2)(1 + d/2); 1 df erfc(sqrt(d/2)).
    // Target 100 individuals: a = 25 gives Y = 0.75.
    const double e1 = std::exp(-1.0);
    const double cases[][5] = {
        {2, 2, 0, 0.0, e1},  {2, 4, 25, 0.5, std::sqrt(2 * e1 * 0.75)}, {1, 1, 0, 0.0, std::erfc(std::sqrt(0.5))},
        {0, 2, 50, 0.5, std::sqrt(0.5)},  // Q = 1 at distance 0
        {2, 2, 25, 1.0, 0.75}, {1e5, 2, 25, 1.0, 0.75},  // w = 1: Y alone, also with Q = 0 (0^0 = 1)
        {1e5, 2, 25, 0.5, 0.0}, {1e5, 2, 0, 0.0, 0.0},   // Q = 0, w < 1
        {2, 2, 100, 1.0, 1e-19}, {2, 2, 100, 0.5, std::sqrt(e1 * 1e-19)},  // a full site: Y = 1e-19
        {2, 2, 100, 0.0, e1}, {2, 2, 99, 1.0, 0.01}};
    for (const auto& c : cases)
        EXPECT_NEAR(ChiSquareSurvival(c[0], static_cast<int>(c[1]), static_cast<int>(c[2]), 100, c[3]), c[4],
                    1e-12 * c[4]) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
}

TEST(EnvFeedbackSurvival, OneStepByHand) {
    // 3 OTUs, 2 traits, 2 sites, 1 factor at -1 and 1; trait 1 responds with slope 2, mean 1 and
    // deviation 2: C* = (2E - 1)/2 = -1.5, 0.5; trait 2 has deviation 0 (scaled by 1), C* = 0.
    SmallRun run(2, 3, 2, 1, 2, 5, 0.5);
    EnvFeedbackRun& R = run.R;
    Fill(R.B, {{-1, 0}, {0, 1}, {1, -1}});
    Fill(R.E, {{-1, 1}});
    R.A[0][0] = 2, R.mean[0] = 1, R.sd[0] = 2;
    R.a[0] = 1, R.a[1] = 3;  // target 4: Y = 0.75 and 0.25
    EnvFeedbackSurvival(&R);
    EXPECT_EQ(R.Cstar[0][0], -1.5);
    EXPECT_EQ(R.Cstar[0][1], 0.5);
    const double dist[3][2] = {{0.25, 2.25}, {3.25, 1.25}, {7.25, 1.25}}, Y[2] = {0.75, 0.25};
    for (int o = 0; o < 3; o++)
        for (int k = 0; k < 2; k++) {
            EXPECT_DOUBLE_EQ(R.Dist[o][k], dist[o][k]);
            EXPECT_NEAR(R.S[o][k], std::sqrt(std::exp(-dist[o][k] / 2) * Y[k]), 1e-14);
        }
}

TEST(EnvFeedbackOnEnvironment, OneFeedbackStepByHand) {
    // B rows (1, 0), (0, 2), (-1, 1). Site 1 holds 2, 0, 2 individuals: CWM (0, 0.5); site 2
    // 0, 3, 1: (-0.25, 1.75); site 3 is empty: (0, 0). The metacommunity column plays no part.
    // K = [1 2; 0 -1] adds (1, 3.25, 0) and (-0.5, -1.75, 0): E becomes (-1, 2, 5) and
    // (0.5, 0.5, 0.5), whose z-scores are (-3, 0, 3)/sqrt(6) and 0 (a constant row is centred).
    SmallRun run(3, 3, 2, 2, 5, 5, 0.0);
    EnvFeedbackRun& R = run.R;
    Fill(R.B, {{1, 0}, {0, 2}, {-1, 1}});
    Fill(R.W, {{2, 0, 0, 9}, {0, 3, 0, 9}, {2, 1, 0, 9}});
    Fill(R.E, {{-2, -1.25, 5}, {1, 2.25, 0.5}});
    Fill(R.K, {{1, 2}, {0, -1}});
    EnvFeedbackOnEnvironment(&R);
    const double z = 3 / std::sqrt(6.0), cwm[2][3] = {{0, -0.25, 0}, {0.5, 1.75, 0}}, E[2][3] = {{-z, 0, z}, {0, 0, 0}};
    for (int k = 0; k < 3; k++)
        for (int i = 0; i < 2; i++) {
            EXPECT_DOUBLE_EQ(R.CWM[i][k], cwm[i][k]);
            EXPECT_NEAR(R.E[i][k], E[i][k], 1e-14);
        }
}

// A long run stops at the first failed write of its per-step files, not at its end: the
// community file on a full disk (/dev/full, its buffer smaller than one step's block) fails in
// step 1 of 20 that nothing fills (every expected mean 1e6 from the traits: nothing survives),
// and the run ends there with code 3, the file and the system's reason named; the environment
// file holds the block of step 1 alone.
TEST(RunEnvFeedbackSteps, AFailedWriteEndsTheRunInItsStep) {
    SmallRun run(2, 2, 1, 1, 5, 20, 0.5);
    EnvFeedbackRun& R = run.R;
    R.mean[0] = -1e6;
    R.sd[0] = 1;
    InitRndNumberGenerator(3);
    FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    char buffer[64];
    std::setvbuf(full, buffer, _IOFBF, sizeof buffer);
    FILE* env = std::tmpfile();
    ASSERT_NE(env, nullptr);
    EnvFeedbackStepFiles files;
    files.community = full;
    files.env = env;
    testing::internal::CaptureStderr();
    const int code = tnxtest::CodeOf([&] { RunEnvFeedbackSteps(&R, files); });
    const std::string err = testing::internal::GetCapturedStderr();
    std::fclose(full);
    std::rewind(env);
    std::string text;
    for (int c; (c = std::fgetc(env)) != EOF;) text += static_cast<char>(c);
    std::fclose(env);
    EXPECT_EQ(code, TNX_FAIL_TO_PRINT);
    EXPECT_EQ(err, "\ncan't write CommunityData.txt: No space left on device \n");
    EXPECT_EQ(tnxtest::Count(text, "\nEnvironmental data matrix at step "), 1);
    EXPECT_NE(text.find("\nEnvironmental data matrix at step 1 "), std::string::npos);
}

// Seeds the program's generator and returns a twin that replays its draws.
gsl_rng* Twin(unsigned long seed) {
    InitRndNumberGenerator(seed);
    gsl_rng* twin = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(twin, seed);
    return twin;
}

TEST(EnvFeedbackColonise, GivesUpAfterAThousandFailuresInARowPerOtu) {
    // Every survival 0: each of 3 sites stops after exactly 1000 x 2 failed pairs (OTU, u).
    SmallRun none(3, 2, 1, 1, 1, 1, 0.0);
    gsl_rng* twin = Twin(5);
    EXPECT_FALSE(EnvFeedbackColonise(&none.R));
    for (int i = 0; i < 6000; i++) gsl_rng_uniform_int(twin, 2), gsl_rng_uniform(twin);
    EXPECT_EQ(gsl_rng_get(r), gsl_rng_get(twin));
    gsl_rng_free(twin);
    // OTU 1 always survives, OTU 2 never: about 5000 failures come before the 5000th success,
    // yet never 2000 in a row.
    SmallRun half(1, 2, 1, 1, 5000, 1, 0.0);
    half.R.S[0][0] = 1.0;
    EXPECT_TRUE(EnvFeedbackColonise(&half.R));
    // Every arrival is OTU 1's, counted at the site, in its metacommunity column and in the totals.
    EXPECT_EQ((std::vector<double>{half.R.W[0][0], half.R.W[0][1], half.R.W[1][0], double(half.R.a[0]),
                                   double(half.R.total)}),
              (std::vector<double>{5000, 5000, 0, 5000, 5000}));
}

TEST(EnvFeedbackMortality, EachIndividualDiesWhenItsShareExceedsItsDraw) {
    // One individual of each of 2 OTUs at one site: phi = 1/(a G) is fixed on arrival (a = 2),
    // so each dies when (1 - S) / (2 G) exceeds its own draw, and each is examined once.
    const double cases[][3] = {{0, 0, 1}, {0.5, 0, 1}, {0, 0, 2}, {1, 1, 1}, {0.2, 0.9, 1}};  // S1, S2, G
    for (unsigned long seed = 1; seed <= 8; seed++)
        for (const auto& c : cases) {
            SmallRun run(1, 2, 1, 1, 5, static_cast<int>(c[2]), 0.0);
            EnvFeedbackRun& R = run.R;
            Fill(R.W, {{1, 1}, {1, 1}});
            Fill(R.S, {{c[0]}, {c[1]}});
            R.a[0] = R.total = 2;
            gsl_rng* twin = Twin(seed);
            const int die0 = (1 - c[0]) / (2 * c[2]) > gsl_rng_uniform(twin);
            const int die1 = (1 - c[1]) / (2 * c[2]) > gsl_rng_uniform(twin);
            EXPECT_EQ(EnvFeedbackMortality(&R), die0 + die1) << seed;
            EXPECT_EQ(gsl_rng_get(r), gsl_rng_get(twin));
            // OTU 1 at the site and in the metacommunity, the site and the total all lose the dead.
            EXPECT_EQ(R.W[0][0] + R.W[0][1] + R.a[0] + R.total, 2 * (1 - die0) + 2 * (2 - die0 - die1));
            gsl_rng_free(twin);
        }
}

class EnvFeedbackDialogueTest : public tnxtest::ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        sDigits = 6;  // the program's default
        Write("B.txt", "1 2\n2 2\n3 2\n4 2\n");
        Write("E.txt", "1 2 3\n");
        Write("A.txt", "1\n0\n");
        Write("K.txt", "0 0\n");
    }
    // 3 sites, 4 OTUs, 2 traits from B.txt, 1 factor; M 5, weight w, G 10.
    static std::string Answers(const char* w, char intermediate) {
        return std::string("3\n4\n2\nt\nB.txt\n1\nE.txt\nA.txt\nK.txt\n5\n") + w + "\n10\n" + intermediate + "\n";
    }
};

TEST_F(EnvFeedbackDialogueTest, FullFirstStepEndsTheRun) {
    // w = 1: every survival is Y = 1 in the empty first step; site 1 fills and nobody can die.
    Script(Answers("1", 'y'));
    IFAssemblyRulesSimulation_EnvFeedback();
    EXPECT_EQ(Entries(), 7 + 6 + 6);  // 7 step files, 6 final ones, 4 inputs, the answers and the console
    // Trait 1 (1..4): z = (x - 2.5)/sqrt(1.25); trait 2 is constant: z = 0.
    EXPECT_EQ(Read("B_Simulated.txt"), "-1.34164\t0\t\n-0.447214\t0\t\n0.447214\t0\t\n1.34164\t0\t\n"
                                       "Trait data (standardized to Z scores, 4 OTUs in rows and 2 traits in columns):\n");
    // E = 1 2 3 at z-scores (-1, 0, 1) sqrt(3/2); K = 0 leaves it so.
    EXPECT_EQ(Read("E_Simulated.txt"), "-1.22474\t0\t1.22474\t\n\nEnvironmental data matrix at step 1 (1 environmental "
                                       "variables in rows and 3 community sites in columns):\n");
    double first = 0, others = 0;  // the columns of W_Simulated.txt: sites 1, 2 and 3
    std::istringstream w(Read("W_Simulated.txt"));
    for (double x1, x2, x3; w >> x1 >> x2 >> x3;) first += x1, others += x2 + x3;
    EXPECT_EQ(first, 15);
    EXPECT_EQ(others, 0);
    const std::string report = Read("FinalSimulatedData.txt");
    EXPECT_EQ(report.rfind("\nCommunity data matrix at step 1, for 4 OTUs in rows and 3 community sites in columns:\n", 0), 0u);
    EXPECT_NE(report.find("\nAbundance in each community:\n15\t0\t0\t\nTotal abundance:\t15\n\nInitial environmental "
                          "conditions (1 factors x 3 sites, file E.txt).\n"), std::string::npos);
    EXPECT_NE(report.find("\nSpecified weight for density dependent survival or mortality of individuals:\t1\n"),
              std::string::npos);
    EXPECT_EQ(tnxtest::Count(Read("CommunityData.txt"), "BEFORE mortality"), 1);
}

TEST_F(EnvFeedbackDialogueTest, NothingSurvivesUntilTheLastStep) {
    // Generated traits (after a correlation matrix that is not positive definite); the expected
    // means lie 1e6 from every trait value, so Q = 0, and with w = 0 nothing ever survives.
    Write("bad.txt", "1 2\n2 1\n");
    Write("good.txt", "1 0.5\n0.5 1\n");
    Write("E2.txt", "0 1\n");
    Write("A2.txt", "1e6\n1e6\n");
    Script("2\n4\n2\nc\nbad.txt\ngood.txt\n1\nE2.txt\nA2.txt\nK.txt\n5\n0\n2\nn\n");
    IFAssemblyRulesSimulation_EnvFeedback();
    const std::string report = Read("FinalSimulatedData.txt");
    EXPECT_NE(report.find("at step 2, for 4 OTUs"), std::string::npos);
    EXPECT_NE(report.find("Total abundance:\t0\n\nSpecified trait correlation matrix (2 traits x 2 traits, file "
                          "good.txt): \n1\t0.5\t\n0.5\t1\t\n"), std::string::npos);
    EXPECT_EQ(box_.Files().count("TraitData.txt"), 0u);
    EXPECT_NE(Err().find("not positive definite"), std::string::npos);
}

TEST_F(EnvFeedbackDialogueTest, SizesShortFilesAndUnwritableResults) {
    // n + 1, s (n + 1), p p and M n beyond 2147483647; the input then ends.
    Script("2147483647\n3\n1073741824\n4\n46341\n2\nt\nB.txt\n1\nE.txt\nA.txt\nK.txt\n715827883\n");
    EXPECT_EQ(tnxtest::CodeOf(IFAssemblyRulesSimulation_EnvFeedback), TNX_END_OF_FILE);
    EXPECT_EQ(tnxtest::Count(Err(), "Too large"), 4);
    // A response file that ends early: code 2 and no result file.
    Write("A.txt", "1\n");
    Script(Answers("1", 'y'));
    EXPECT_EQ(tnxtest::CodeOf(IFAssemblyRulesSimulation_EnvFeedback), TNX_END_OF_FILE);
    EXPECT_EQ(Entries(), 6);
    // A data file that cannot be put in place: code 4, and none of the run's files is put in place
    // (neither the report nor B_Simulated.txt, which come before it); no temporary file left behind.
    Write("A.txt", "1\n0\n");
    std::filesystem::create_directory("W_Simulated.txt");
    Script(Answers("1", 'n'));
    EXPECT_EQ(tnxtest::CodeOf(IFAssemblyRulesSimulation_EnvFeedback), TNX_FAIL_TO_OPEN);
    EXPECT_EQ(box_.Files(), (std::set<std::string>{"A.txt", "B.txt", "E.txt", "K.txt", "answers.txt", "console.txt",
                                                   "W_Simulated.txt"}));
}

}  // namespace
