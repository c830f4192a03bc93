// Tests of the simulator's report and data files: exact texts and layouts written by hand from
// small models, the counting of rejections, and which files are written for how many data sets.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <sstream>
#include <string>

#include "common/TimeStampLine.h"
#include "session/session_fixture.h"
#include "simulation/TNXSIMREP.h"
#include "traits/TNXPERMTEST.h"

namespace {

// A model of 2 sites, 3 OTUs, 2 traits and 2 factors with interactions (v = 3), filled by hand.
class SimReportTest : public tnxtest::TempDirTest {
protected:
    AssemblySettings set;
    AssemblyModel m;
    int savedDigits = sDigits;
    void SetUp() override {
        TempDirTest::SetUp();
        sDigits = 4;
        set.n = set.p = set.f = 2, set.s = set.v = 3;
        set.interactions = true;
        set.G = 7, set.M = 9, set.h = 0.25, set.lmin = 0.125;
        snprintf(set.envFile, sizeof set.envFile, "env.txt");
        snprintf(set.responseFile, sizeof set.responseFile, "resp.txt");
        snprintf(set.effectFile, sizeof set.effectFile, "eff.txt");
        AllocAssemblyModel(set, &m);
        for (int o = 0; o < 3; o++)
            for (int t = 0; t < 2; t++) m.B[o][t] = static_cast<float>(o - 1) * (t + 1);
        m.mean[0] = 2, m.mean[1] = 3.5, m.sd[0] = 1, m.sd[1] = 0.5;
        m.A[0][0] = 1, m.A[1][2] = -2;
        m.considered[0] = m.considered[1] = 1;
        m.K[0][1] = 0.5;
        m.W[0][0] = 2, m.W[1][2] = 1, m.W[2][0] = 2, m.W[2][2] = 1;
        m.a[0] = 2, m.a[1] = 1, m.total = 3;
        m.E[0][0] = 1.5, m.E[1][1] = -1;
        m.recordStep = 3;
        m.richness[0] = 1;
    }
    // What `write` puts in a file.
    template <class F>
    static std::string Written(F write) {
        FILE* f = std::fopen("rep.txt", "w");
        write(f);
        std::fclose(f);
        return Read("rep.txt");
    }
    void TearDown() override {
        FreeAssemblyModel(set, &m);
        sDigits = savedDigits;
        TempDirTest::TearDown();
    }
};

TEST_F(SimReportTest, HeaderEchoesTheSettings) {
    double** raw = dim2Double(2, 2);
    raw[0][0] = 10, raw[0][1] = 20, raw[1][0] = 30, raw[1][1] = 40;
    const std::string t = Written([&](FILE* f) { WriteSimulationHeader(f, set, m, raw); });
    free2D(raw, 2);
    const std::string dashes(70, '-');
    // Rule, title, version, time stamp, rule; then the settings.
    std::istringstream lines(t);
    std::string line[4];
    for (std::string& l : line) std::getline(lines, l);
    EXPECT_EQ((std::vector<std::string>{line[0], line[1], line[2]}),
              (std::vector<std::string>{dashes, "SIMULATION OF COMMUNITY ASSEMBLY", version}));
    EXPECT_TRUE(tnxtest::IsTimeStampLine(line[3] + "\n")) << line[3];
    const std::string rest = t.substr(static_cast<size_t>(lines.tellg()));
    const std::string expected =
        dashes + "\n"
        "\nSpecified trait data (standardized to Z scores, 3 OTUs in rows and 2 traits in columns):\n"
        "-1\t-2\t\n0\t0\t\n1\t2\t\n"
        "\nTrait means (2 traits):\n2\t3.5\t\n"
        "\nTrait standard deviations (2 traits):\n1\t0.5\t\n"
        "\nSpecified minimum long-distance probability:\t0.125\n"
        "\nInitial ecosystem conditions (2 factors x 2 sites, file env.txt):\n10\t20\t\n30\t40\t\n"
        "\nParameters for linear models of community responses to ecosystem conditions (2 traits by 2 ecosystem "
        "predictor variables (and their interactions), file resp.txt): \n1\t0\t0\t\n0\t0\t-2\t\n"
        "\nParameters for linear models of community effects on ecosystem conditions (2 ecosystem variables by 2 "
        "predictor traits, eff.txt): \n0\t0.5\t\n0\t0\t\n"
        "\nTraits that were considered to compute distances between each OTU trait value and expected value at the "
        "community site (traits with non-zero parameters for community responses to ecosystem conditions): \n1\t1\t\n"
        "Specified maximum number of colonization/extinction iterations:\t7\n"
        "Specified maximum average number of individuals per community:\t9\n"
        "Specified threshold (proportion) of maximum average number of individuals per community after which OTU "
        "richness is recorded and colonization/extinction events are recorded:\t0.25\n";
    EXPECT_EQ(rest, expected);
}

TEST_F(SimReportTest, DataSetBlockListsTheFinalCommunities) {
    set.kernelMode = set.survivalMode = set.densityMode = 'd';
    const std::string t = Written([&](FILE* f) { WriteDataSetBlock(f, set, m, 2); });
    const std::string head =
        "\n\nSIMULATED DATA 2"
        "\nSpecified site coordinates (2 x 2 community sites):\n0\t0\t\n0\t0\t\n"
        "\nCommunity data matrix at step 7, for 2 community sites in rows and 3 OTUs in columns:\n2\t0\t0\t\n0\t0\t1\t\n"
        "\nAbundance in each community:\n2\t1\t\nTotal abundance:\t3\n"
        "\nOTU richness in each community (at step 3, when either 0.25 of the average maximum number of individuals "
        "per community or 0.25 of the specified maximum number of individual colonization/extinction iterations were "
        "reached):\n1\t0\t\n"
        "\nAbundance of each OTU in the metacommunity (at step 3, when either 0.25 of the average maximum number of "
        "individuals per community or 0.25 of the specified maximum number of individual colonization/extinction "
        "iterations were reached):\n2\t0\t1\t\n"
        "\nTotal number of OTU extinctions in each community (after step 3,";
    EXPECT_EQ(t.substr(0, head.size()), head);
    EXPECT_NE(t.find("\nEcosystem data matrix at step 7 (2 ecosystem variables in rows and 2 community sites in "
                     "columns):\n1.5\t0\t\n0\t-1\t\n"),
              std::string::npos);
    EXPECT_NE(t.find("\nAmount of extrapolation (if any, when positive was larger than the maximum, when negative was "
                     "smaller than the minimum trait value) at step 7,"),
              std::string::npos);
    EXPECT_EQ(t.find("Randomly generated"), std::string::npos);
}

TEST(CountRejections, ProbabilityAtOrBelowAlphaRejects) {
    struct Case {
        double p;
        double count;
    };
    const double alpha = 0.05;
    // A probability one single-precision step above alpha counts as equal; two do not.
    const float up1 = std::nextafter(static_cast<float>(alpha), 1.0f);
    const float up2 = std::nextafter(up1, 1.0f);
    const Case cases[] = {{0.01, 1}, {0.05, 1}, {up1, 1}, {up2, 0}, {0.06, 0}, {1.0, 0}, {0.0, 1}};
    for (const Case& c : cases) {
        double P[kPermTestStats], counters[kPermTestStats] = {};
        std::fill(P, P + kPermTestStats, 1.0);
        P[kRoTE] = P[kRXZ_T] = c.p;
        P[kRoBF] = 0.0;  // beyond the eleven counted statistics: never counted
        CountRejections(P, alpha, counters);
        EXPECT_EQ((std::vector<double>{counters[kRoTE], counters[kRXZ_T], counters[kRoXE], counters[kRoBF]}),
                  (std::vector<double>{c.count, c.count, 0, 0})) << c.p;
    }
}

TEST_F(SimReportTest, FinalResultsDivideByTheDataSetsAndNameEachStatistic) {
    set.testMode = true, set.N = 4, set.intermediate = false;
    niter = 99, opt_ro = 1, BealsIncludeOpt = 0;
    double counters[kSimCountedStats] = {};
    counters[kRoTE] = 1, counters[kRoXE] = 2, counters[kRoXE_T] = 3, counters[kRoRE] = 4, counters[kRoXE_TR] = 0;
    counters[kRTY] = 1, counters[kRXY] = 2, counters[kRXY_T] = 3, counters[kRTZ] = 4, counters[kRXZ] = 0;
    counters[kRXZ_T] = 1;
    int sel[3] = {1, 1, 0};
    const std::string t = Written([&](FILE* f) { WriteFinalResults(f, set, m, counters, sel, 1.5); });
    const size_t tail = t.find("\n\nPROBABILITIES");
    ASSERT_NE(tail, std::string::npos);
    EXPECT_EQ(t.find("Elapsed time"), std::string::npos);  // intermediate results off: probabilities only
    EXPECT_EQ(t.substr(0, 71 + 34 + 14), "\n" + std::string(70, '-') + "\nSIMULATION OF COMMUNITY ASSEMBLY\nFINAL RESULTS\n");
    const std::string expected =
        "\n\nPROBABILITIES OF Ho REJECTION (type I error or power depending on the specified model context) based on "
        "4 tests using 99 permutations each:"
        "\nConvergence (TCAP): r(TE)\tP=\t0.25\nBoth TCAP and Divergence (TDAP): r(XE)\tP=\t0.5\nTDAP: r(XE.T)\tP=\t0.75\n"
        "Correlation function between matrices: \tmatrix correlation (Mantel)\n"
        "Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)\tP=\t1\nBeta divergence: "
        "r(XE.TR)\tP=\t0\n"
        "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by their "
        "abundances (abundance of target OTU NOT included in its own estimation):\n"
        "r(TY)\tP=\t0.25\nr(XY)\tP=\t0.5\nr(XY_T)\tP=\t0.75\n"
        "\nCorrelations with fuzzy-weighted smoothed community matrix (Z) considering OTU's cross-products based on "
        "their abundances (abundance of target OTU NOT included in its own estimation):\n"
        "r(TZ)\tP=\t1\nr(XZ)\tP=\t0\nr(XZ_T)\tP=\t0.25\n";
    EXPECT_EQ(t.substr(tail), expected);
}

TEST_F(SimReportTest, FinalResultsWithIntermediateResultsEchoTheRun) {
    set.testMode = true, set.N = 2, set.alpha = 0.05, set.intermediate = true;
    niter = 9, opt_ro = 3, overfitFactorPCARegr = 2.5, rseed = 42;
    weight = dim1Dfloat(2);
    weight[0] = 1.0f;
    double counters[kSimCountedStats] = {};
    int sel[3] = {1, 0, 1};
    const std::string t = Written([&](FILE* f) { WriteFinalResults(f, set, m, counters, sel, 0.5); });
    free1D(weight);
    weight = nullptr;
    for (const char* line :
         {"\nInitial ecosystem conditions (2 factors x 2 sites, file env.txt).\n",
          "ecosystem predictor variables (and their double interactions), file resp.txt): \n",
          "Number of simulated data sets:\t2\nNumber of random permutations in each test:\t9\n"
          "Alpha threshold for Ho rejection:\t0.05\nRandom generator seed: 42\nElapsed time (seconds): 0.5\n",
          "\nTraits:       \t1\t2\nTrait weights:\t1\t0\nEcosystem variables (and their interactions if included): "
          "\t1\t2\t1x2 \nEcosystem variable weights:                              \t1\t0\t1\n\nPROBABILITIES",
          "Correlation function between matrices: \tRV coefficient",
          "\nFactor (f) for limiting the number of predictors in PCA regression in relation to sample size n (number "
          "of predictors = n/f): 2.5\n"})
        EXPECT_NE(t.find(line), std::string::npos) << line;
    opt_ro = 1;
}

TEST_F(SimReportTest, DataFilesOnlyForOneOrTwoDataSets) {
    set.N = 3;
    {
        ReplacingSet files;
        WriteSimulatedDataFiles(set, m, files);
        files.CommitOrRaise();
    }
    EXPECT_EQ(Read("OTUs_Simulated.txt"), "1\n2\n3\n");
    for (const char* name : {"B_Simulated.txt", "W_Simulated.txt", "E_Simulated.txt", "TraitTypes_Simulated.txt"})
        EXPECT_FALSE(std::filesystem::exists(name)) << name;
    set.N = 2;
    ReplacingSet files;
    // The first data set's files are replaced by the second's: only the last is put in place, and
    // nothing before the run commits its files.
    m.B[0][0] = 9;
    WriteSimulatedDataFiles(set, m, files);
    m.B[0][0] = -1;
    WriteSimulatedDataFiles(set, m, files);
    EXPECT_FALSE(std::filesystem::exists("B_Simulated.txt"));
    EXPECT_EQ(Read("OTUs_Simulated.txt"), "1\n2\n3\n");  // still the earlier run's
    files.CommitOrRaise();
    EXPECT_EQ(Read("TraitTypes_Simulated.txt"), "3\t3\t");
    EXPECT_EQ(Read("B_Simulated.txt"),
              "-1\t-2\t\n0\t0\t\n1\t2\t\nTrait data (standardized to Z scores, 3 OTUs in rows and 2 traits in columns):\n");
    EXPECT_EQ(Read("W_Simulated.txt"),
              "2\t0\t0\t\n0\t0\t1\t\n\nCommunity data matrix at final step 7, for 2 community sites in rows and 3 OTUs "
              "in columns:\n\nAbundance in each community:\n2\t1\t\nTotal abundance:\t3\n");
    EXPECT_EQ(Read("E_Simulated.txt"),
              "1.5\t0\t\n0\t-1\t\n\nEcosystem data matrix at final step 7 (2 ecosystem variables in rows and 2 "
              "community sites in columns):\n");
    // Written whole: no temporary file is left beside them.
    for (const auto& e : std::filesystem::directory_iterator("."))
        EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();
}

}  // namespace

// A statistic that a data set does not define (the engine leaves it not a number: too few sites
// for it, or an environment without variation) is written "undefined" with its probability,
// rejects nothing, and a statistic that no data set defined has no proportion of rejections;
// one that some data sets define keeps its count over all the data sets.
TEST_F(SimReportTest, StatisticsNoDataSetDefinesAreUndefinedInEachBlockAndAtTheEnd) {
    set.testMode = true, set.N = 2, set.intermediate = false, set.alpha = 0.05;
    niter = 9, opt_ro = 1, BealsIncludeOpt = 1;
    double observed[kPermTestStats], probability[kPermTestStats];
    std::fill(observed, observed + kPermTestStats, 0.5);
    std::fill(probability, probability + kPermTestStats, 0.01);
    observed[kRoXE_TR] = probability[kRoXE_TR] = std::nan("");
    observed[kRoRE] = probability[kRoRE] = std::nan("");
    double T0[2] = {0, 0}, T1[2] = {0, 0}, R[2] = {0, 0};
    double* Trows[2] = {T0, T1};
    SimDataSetTests tests;
    tests.T = Trows, tests.R = R, tests.observed = observed, tests.probability = probability;
    int sel[3] = {1, 1, 0};
    const std::string block = Written([&](FILE* f) { WriteDataSetTests(f, set, tests, sel); });
    for (const char* line : {"\nAlpha divergence (correlation between ecosystem variables and Rao entropy): "
                             "r(RE)=\tundefined\tP=\tundefined\n",
                             "\nBeta divergence: r(XE.TR)=\tundefined\tP=\tundefined\n",
                             "\nTDAP: r(XE.T)=\t0.5\tP=\t0.01\n", "\nr(XZ_T)=\t0.5\tP=\t0.01\n"})
        EXPECT_NE(block.find(line), std::string::npos) << line;
    EXPECT_EQ(block.find("nan"), std::string::npos);

    // Two data sets: r(XE.TR) undefined in both, r(RE) in the first only (rejected in the second).
    double counters[kSimCountedStats] = {};
    int undefinedSets[kSimCountedStats] = {};
    CountRejections(probability, set.alpha, counters, undefinedSets);
    probability[kRoRE] = 0.01;
    CountRejections(probability, set.alpha, counters, undefinedSets);
    EXPECT_EQ((std::vector<double>{counters[kRoXE_TR], counters[kRoRE], counters[kRoTE]}), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ((std::vector<int>{undefinedSets[kRoXE_TR], undefinedSets[kRoRE], undefinedSets[kRoTE]}),
              (std::vector<int>{2, 1, 0}));
    const std::string end = Written([&](FILE* f) { WriteFinalResults(f, set, m, counters, sel, 1.0, undefinedSets); });
    for (const char* line : {"\nBeta divergence: r(XE.TR)\tP=\tundefined\n",
                             "\nAlpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)\tP=\t0.5\n",
                             "\nConvergence (TCAP): r(TE)\tP=\t1\n"})
        EXPECT_NE(end.find(line), std::string::npos) << line;
    // Without the counts of undefined data sets, every statistic has its proportion, as before.
    const std::string plain = Written([&](FILE* f) { WriteFinalResults(f, set, m, counters, sel, 1.0); });
    EXPECT_NE(plain.find("\nBeta divergence: r(XE.TR)\tP=\t0\n"), std::string::npos);
}
