// Tests of the earlier environmental-feedback simulator: the chi-square survival against its
// closed forms, one step of survival and one of feedback by hand, colonisation and mortality
// against the generator's own draws, the two ways a run ends, and whole runs of its dialogue.
#include <gtest/gtest.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <set>
#include <string>

#include "matrix/core/qwlibRandom.h"
#include "session/session_fixture.h"
#include "simulation/TNXSIMOLD.h"

namespace {

using tnxtest::CodeOf;

// A run of the given sizes with every matrix allocated (zero-filled), released at the end.
struct SmallRun {
    EnvFeedbackRun R;
    SmallRun(int n, int s, int p, int f, int M, int G, double w) {
        R.n = n, R.s = s, R.p = p, R.f = f, R.M = M, R.G = G, R.w = w;
        AllocEnvFeedbackRun(&R);
    }
    ~SmallRun() { FreeEnvFeedbackRun(&R); }
    void FillS(double v) {
        for (int o = 0; o < R.s; o++)
            for (int k = 0; k < R.n; k++) R.S[o][k] = v;
    }
};

TEST(ChiSquareSurvival, ClosedForms) {
    // Upper chi-square tails: 2 df exp(-d/2); 4 df exp(-d/2)(1 + d/2); 1 df erfc(sqrt(d/2)).
    const double e1 = std::exp(-1.0);
    struct Case {
        double d;
        int p, a;
        double w, expected;
    } cases[] = {
        {2, 2, 0, 0.0, e1},                                 // Q alone, empty site
        {2, 4, 25, 0.5, std::sqrt(2 * e1 * 0.75)},          // sqrt(Q Y), Y = 1 - 25/100
        {1, 1, 0, 0.0, std::erfc(std::sqrt(0.5))},
        {0, 2, 50, 0.5, std::sqrt(0.5)},                    // Q = 1 at distance 0
        {2, 2, 25, 1.0, 0.75},                              // w = 1: Y alone
        {1e5, 2, 25, 1.0, 0.75},                            // Q = 0 and w = 1: 0^0 = 1
        {1e5, 2, 25, 0.5, 0.0},                             // Q = 0, w < 1
        {1e5, 2, 0, 0.0, 0.0},
        {2, 2, 100, 1.0, 1e-19},                            // a full site: Y = 1e-19
        {2, 2, 100, 0.5, std::sqrt(e1 * 1e-19)},
        {2, 2, 100, 0.0, e1},                               // w = 0: crowding plays no part
        {2, 2, 99, 1.0, 0.01},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ChiSquareSurvival(c.d, c.p, c.a, 100, c.w), c.expected, 1e-12 * c.expected)
            << c.d << " " << c.p << " " << c.a << " " << c.w;
}

TEST(EnvFeedbackSurvival, OneStepByHand) {
    // 3 OTUs, 2 traits, 2 sites, 1 factor at -1 and 1; trait 1 responds with slope 2, mean 1 and
    // deviation 2: C* = (2E - 1)/2 = -1.5, 0.5; trait 2 has deviation 0 (scaled by 1), C* = 0.
    SmallRun run(2, 3, 2, 1, 2, 5, 0.5);
    EnvFeedbackRun& R = run.R;
    const double B[3][2] = {{-1, 0}, {0, 1}, {1, -1}};
    for (int o = 0; o < 3; o++) R.B[o][0] = B[o][0], R.B[o][1] = B[o][1];
    R.E[0][0] = -1, R.E[0][1] = 1;
    R.A[0][0] = 2;
    R.mean[0] = 1, R.sd[0] = 2;
    R.a[0] = 1, R.a[1] = 3;  // target 4: Y = 0.75 and 0.25
    EnvFeedbackSurvival(&R);
    EXPECT_DOUBLE_EQ(R.Cstar[0][0], -1.5);
    EXPECT_DOUBLE_EQ(R.Cstar[0][1], 0.5);
    EXPECT_DOUBLE_EQ(R.Cstar[1][1], 0.0);
    const double dist[3][2] = {{0.25, 2.25}, {3.25, 1.25}, {7.25, 1.25}};
    const double Y[2] = {0.75, 0.25};
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
    const double B[3][2] = {{1, 0}, {0, 2}, {-1, 1}}, W[3][4] = {{2, 0, 0, 9}, {0, 3, 0, 9}, {2, 1, 0, 9}};
    const double E[2][3] = {{-2, -1.25, 5}, {1, 2.25, 0.5}};
    for (int o = 0; o < 3; o++) {
        for (int c = 0; c < 4; c++) R.W[o][c] = W[o][c];
        R.B[o][0] = B[o][0], R.B[o][1] = B[o][1];
    }
    for (int i = 0; i < 2; i++)
        for (int k = 0; k < 3; k++) R.E[i][k] = E[i][k];
    R.K[0][0] = 1, R.K[0][1] = 2, R.K[1][1] = -1;
    EnvFeedbackOnEnvironment(&R);
    const double cwm[2][3] = {{0, -0.25, 0}, {0.5, 1.75, 0}};
    const double z = 3 / std::sqrt(6.0), after[2][3] = {{-z, 0, z}, {0, 0, 0}};
    for (int k = 0; k < 3; k++)
        for (int i = 0; i < 2; i++) {
            EXPECT_DOUBLE_EQ(R.CWM[i][k], cwm[i][k]);
            EXPECT_NEAR(R.E[i][k], after[i][k], 1e-14);
        }
}

// The generator as the routines find it, and a twin that replays its draws.
struct Twins {
    gsl_rng* twin;
    explicit Twins(unsigned long seed) {
        InitRndNumberGenerator(seed);
        twin = gsl_rng_alloc(gsl_rng_mt19937);
        gsl_rng_set(twin, seed);
    }
    ~Twins() { gsl_rng_free(twin); }
    void Skip(long pairs, unsigned long s) {
        for (long i = 0; i < pairs; i++) gsl_rng_uniform_int(twin, s), gsl_rng_uniform(twin);
    }
    bool InStep() { return gsl_rng_get(r) == gsl_rng_get(twin); }
};

TEST(EnvFeedbackColonise, SurvivorsFillTheFirstSite) {
    // Every survival 1: site 1 draws exactly M n = 10 pairs (OTU, u) and takes every individual.
    SmallRun run(2, 3, 1, 1, 5, 1, 0.0);
    run.FillS(1.0);
    Twins g(17);
    EXPECT_TRUE(EnvFeedbackColonise(&run.R));
    double drawn[3] = {};
    for (int i = 0; i < 10; i++) drawn[gsl_rng_uniform_int(g.twin, 3)] += 1, gsl_rng_uniform(g.twin);
    EXPECT_TRUE(g.InStep());
    EXPECT_EQ(run.R.a[0], 10);
    EXPECT_EQ(run.R.a[1], 0);
    EXPECT_EQ(run.R.total, 10);
    for (int o = 0; o < 3; o++) {
        EXPECT_EQ(run.R.W[o][0], drawn[o]);
        EXPECT_EQ(run.R.W[o][2], drawn[o]);
    }
}

TEST(EnvFeedbackColonise, SiteGivesUpAfterAThousandFailuresPerOtu) {
    SmallRun run(3, 2, 1, 1, 1, 1, 0.0);  // every survival 0
    Twins g(5);
    EXPECT_FALSE(EnvFeedbackColonise(&run.R));
    g.Skip(3 * 2000, 2);
    EXPECT_TRUE(g.InStep());
    EXPECT_EQ(run.R.total, 0);
}

TEST(EnvFeedbackColonise, ASuccessStartsTheCountOfFailuresAgain) {
    // OTU 1 always survives, OTU 2 never: about 5000 failures come before the 5000th success,
    // yet never 2000 in a row.
    SmallRun run(1, 2, 1, 1, 5000, 1, 0.0);
    run.R.S[0][0] = 1.0;
    InitRndNumberGenerator(3);
    EXPECT_TRUE(EnvFeedbackColonise(&run.R));
    EXPECT_EQ(run.R.W[0][0], 5000.0);
}

TEST(EnvFeedbackMortality, DeathsFollowTheDraws) {
    // One site with one individual of each of 2 OTUs; phi = 1/(a G) is fixed on arrival at the
    // site (a = 2), so each dies when (1 - S) / (2 G) exceeds its own draw.
    struct Case {
        double S0, S1;
        int G;
    } cases[] = {{0, 0, 1}, {0.5, 0, 1}, {0, 0, 2}, {1, 1, 1}, {0.2, 0.9, 1}};
    for (unsigned long seed = 1; seed <= 8; seed++)
        for (const Case& c : cases) {
            SmallRun run(1, 2, 1, 1, 5, c.G, 0.0);
            EnvFeedbackRun& R = run.R;
            R.W[0][0] = R.W[1][0] = R.W[0][1] = R.W[1][1] = 1;
            R.a[0] = R.total = 2;
            R.S[0][0] = c.S0, R.S[1][0] = c.S1;
            Twins g(seed);
            const bool die0 = (1 - c.S0) / (2.0 * c.G) > gsl_rng_uniform(g.twin);
            const bool die1 = (1 - c.S1) / (2.0 * c.G) > gsl_rng_uniform(g.twin);
            EXPECT_EQ(EnvFeedbackMortality(&R), die0 + die1) << seed;
            EXPECT_TRUE(g.InStep());
            EXPECT_EQ(R.a[0], 2 - die0 - die1);
            EXPECT_EQ(R.W[0][1], 1 - die0);
        }
    // A lone individual that cannot survive, with G = 1, dies for certain.
    SmallRun run(1, 1, 1, 1, 5, 1, 0.0);
    run.R.W[0][0] = run.R.W[0][1] = 1;
    run.R.a[0] = run.R.total = 1;
    InitRndNumberGenerator(9);
    EXPECT_EQ(EnvFeedbackMortality(&run.R), 1);
    EXPECT_EQ(run.R.total, 0);
}

TEST(RunEnvFeedbackSteps, EndsWhenFullOrAfterGSteps) {
    // w = 1: every survival is Y = 1 in the empty first step; site 1 fills and nobody can die.
    SmallRun full(3, 4, 1, 1, 5, 10, 1.0);
    InitRndNumberGenerator(11);
    EXPECT_EQ(RunEnvFeedbackSteps(&full.R, EnvFeedbackStepFiles{}), 1);
    EXPECT_EQ(full.R.a[0], 15);
    EXPECT_EQ(full.R.a[2], 0);
    // w = 0 and every expected mean 1e6 away: Q = 0, nothing ever survives, and the run ends
    // after its G steps.
    SmallRun none(2, 3, 1, 1, 5, 3, 0.0);
    none.R.E[0][0] = -1, none.R.E[0][1] = 1;  // z-scores already: the feedback of nothing keeps them
    none.R.A[0][0] = 1e6;
    none.R.sd[0] = 1;
    InitRndNumberGenerator(11);
    EXPECT_EQ(RunEnvFeedbackSteps(&none.R, EnvFeedbackStepFiles{}), 3);
    EXPECT_EQ(none.R.total, 0);
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
    static std::string Script(const char* w, char intermediate) {
        return std::string("3\n4\n2\nt\nB.txt\n1\nE.txt\nA.txt\nK.txt\n5\n") + w + "\n10\n" + intermediate + "\n";
    }
};

TEST_F(EnvFeedbackDialogueTest, FullFirstStepWritesEveryFile) {
    ConsoleTest::Script(Script("1", 'y'));
    IFAssemblyRulesSimulation_EnvFeedback();
    const std::set<std::string> files = box_.Files();
    for (const char* name : {"TraitData.txt", "EnvData.txt", "CWM_Expected.txt", "Distances.txt", "Prob.txt",
                             "CommunityData.txt", "CWM.txt", "FinalSimulatedData.txt", "B_Simulated.txt",
                             "W_Simulated.txt", "E_Simulated.txt", "OTUs_Simulated.txt", "TraitTypes_Simulated.txt"})
        EXPECT_EQ(files.count(name), 1u) << name;
    EXPECT_EQ(files.size(), 13u + 6u);  // with the 4 inputs, the answers and the console
    // Trait 1 (1..4): mean 2.5, sd sqrt(5/3), z = (x - 2.5)/sqrt(1.25); trait 2 constant: z = 0.
    EXPECT_NE(Read("TraitData.txt").find("\nTrait means (2 traits):\n2.5\t2\t\n\nTrait standard deviations (2 traits):"
                                         "\n1.29099\t0\t\n"), std::string::npos);
    EXPECT_EQ(Read("B_Simulated.txt"), "-1.34164\t0\t\n-0.447214\t0\t\n0.447214\t0\t\n1.34164\t0\t\n"
                                       "Trait data (standardized to Z scores, 4 OTUs in rows and 2 traits in columns):\n");
    // E = 1 2 3 at z-scores (-1, 0, 1) sqrt(3/2); K = 0 leaves it so.
    EXPECT_EQ(Read("E_Simulated.txt"), "-1.22474\t0\t1.22474\t\n\nEnvironmental data matrix at step 1 (1 environmental "
                                       "variables in rows and 3 community sites in columns):\n");
    const std::string report = Read("FinalSimulatedData.txt");
    EXPECT_EQ(report.rfind("\nCommunity data matrix at step 1, for 4 OTUs in rows and 3 community sites in columns:\n", 0), 0u);
    EXPECT_NE(report.find("\nAbundance in each community:\n15\t0\t0\t\nTotal abundance:\t15\n\nInitial environmental "
                          "conditions (1 factors x 3 sites, file E.txt).\n"), std::string::npos);
    EXPECT_NE(report.find("\nSpecified weight for density dependent survival or mortality of individuals:\t1\n"),
              std::string::npos);
    EXPECT_EQ(tnxtest::Count(Read("CommunityData.txt"), "BEFORE mortality"), 1);
    EXPECT_EQ(Read("CommunityData.txt").find("AFTER"), std::string::npos);
    EXPECT_EQ(Read("TraitTypes_Simulated.txt"), "3\t3\t");
    EXPECT_EQ(Read("OTUs_Simulated.txt"), "1\n2\n3\n4\n");
    EXPECT_NE(Out().find("Community weighted means (CWM) at every step saved on file CWM.txt\n"), std::string::npos);
}

TEST_F(EnvFeedbackDialogueTest, GeneratedTraitsThatNeverSurviveEndAfterGSteps) {
    Write("bad.txt", "1 2\n2 1\n");
    Write("good.txt", "1 0.5\n0.5 1\n");
    Write("E2.txt", "0 1\n");
    Write("A2.txt", "1e6\n1e6\n");
    ConsoleTest::Script("2\n4\n2\nc\nbad.txt\ngood.txt\n1\nE2.txt\nA2.txt\nK.txt\n5\n0\n2\nn\n");
    IFAssemblyRulesSimulation_EnvFeedback();
    const std::string report = Read("FinalSimulatedData.txt");
    EXPECT_NE(report.find("at step 2, for 4 OTUs"), std::string::npos);
    EXPECT_NE(report.find("Total abundance:\t0\n\nSpecified trait correlation matrix (2 traits x 2 traits, file "
                          "good.txt): \n1\t0.5\t\n0.5\t1\t\n"), std::string::npos);
    EXPECT_EQ(box_.Files().count("TraitData.txt"), 0u);
    EXPECT_NE(Err().find("not positive definite"), std::string::npos);
}

TEST_F(EnvFeedbackDialogueTest, SizesShortFilesAndUnwritableResults) {
    // n + 1 and s (n + 1) beyond 2147483647 cells, then M n; the input then ends.
    ConsoleTest::Script("2147483647\n3\n1073741824\n4\n2\nt\nB.txt\n1\nE.txt\nA.txt\nK.txt\n715827883\n");
    EXPECT_EQ(CodeOf(IFAssemblyRulesSimulation_EnvFeedback), TNX_END_OF_FILE);
    EXPECT_EQ(tnxtest::Count(Err(), "Too large"), 3);
    // A response file that ends early: code 2 and no result file.
    Write("A.txt", "1\n");
    ConsoleTest::Script(Script("1", 'y'));
    EXPECT_EQ(CodeOf(IFAssemblyRulesSimulation_EnvFeedback), TNX_END_OF_FILE);
    EXPECT_EQ(box_.Files().size(), 6u);
    // A data file that cannot be put in place: code 4, no temporary file left behind.
    Write("A.txt", "1\n0\n");
    std::filesystem::create_directory("W_Simulated.txt");
    ConsoleTest::Script(Script("1", 'n'));
    EXPECT_EQ(CodeOf(IFAssemblyRulesSimulation_EnvFeedback), TNX_FAIL_TO_OPEN);
    EXPECT_EQ(box_.Files(), (std::set<std::string>{"A.txt", "B.txt", "E.txt", "K.txt", "answers.txt", "console.txt",
                                                   "W_Simulated.txt", "FinalSimulatedData.txt", "B_Simulated.txt"}));
}

}  // namespace
