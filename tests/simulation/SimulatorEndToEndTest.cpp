// End-to-end runs of the simulator (hidden letter A of the main menu) in the built program, with
// scripted dialogues and the small parameter files tests/data/sim_*.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/ProgramRun.h"
#include "common/TimeStampLine.h"
#include "session/session_fixture.h"

namespace {

using tnxtest::Sandbox;

void CopyData(const Sandbox& box, const std::vector<const char*>& names) {
    for (const char* name : names) box.WriteFile(name, tnxtest::Slurp(std::string(TARNEX_TESTDATA) + "/" + name));
}

// The report with its time-stamp lines (and the elapsed time) left out.
std::string WithoutClockLines(const std::string& text) {
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (!tnxtest::IsTimeStampLine(line + "\n") && line.rfind("Elapsed time (seconds): ", 0) != 0) kept += line + "\n";
    return kept;
}

const std::vector<std::string> kStepRunFiles = {
    "TraitData.txt", "EnvData.txt", "CWM_Expected.txt", "Distances.txt", "Prob.txt", "CommunityData.txt",
    "CWM.txt", "FinalSimulatedData.txt", "B_Simulated.txt", "W_Simulated.txt", "E_Simulated.txt",
    "TraitTypes_Simulated.txt", "OTUs_Simulated.txt"};

// Traits from file, one factor from file; seed 7 and every per-step file.
const std::string kTraitsFromFile =
    "A\n4\n5\n2\nt\nsim_B.txt\nr\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nsim_E.txt\nn\nsim_A.txt\nsim_K.txt\n"
    "r\n-3\n-4\n0.4\n0.6\nr\n-5\n-5\n0.5\n0.5\n5\n30\n0.5\nn\n2\n7\ny\nX\n";
// Traits and OTUs correlated, two factors generated from their correlations with their
// interaction; seed 99.
const std::string kGenerated =
    "A\n6\n5\n2\nb\nsim_traitcorr.txt\nsim_otucorr.txt\nu\nr\n-2\n-8\n0.2\n0.8\n0.3\nr\n2\nc\nsim_factorcorr.txt\n"
    "n\ny\nsim_A2.txt\nsim_K2.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-3\n-6\n0.4\n0.6\n8\n40\n0.3\nn\n2\n99\ny\nX\n";

// The per-step files of kTraitsFromFile (30 steps, 4 sites, traits 1..5 and 2 1 5 3 4 in sim_B.txt).
void ExpectStepFiles(const Sandbox& box, const tnxtest::Result& r) {
    // One line per step and site in the environment and mean files after their caption line; one
    // BEFORE block per step.
    const std::string env = box.ReadFile("EnvData.txt");
    EXPECT_EQ(tnxtest::Count(env, "\n"), 1 + 30 * 4);
    EXPECT_EQ(tnxtest::Count(box.ReadFile("CWM.txt"), "\n"), 1 + 30 * 4);
    EXPECT_EQ(tnxtest::Count(box.ReadFile("CommunityData.txt"), "BEFORE mortality"), 30);
    EXPECT_NE(env.find("\n30\t4\t"), std::string::npos);
    const std::string trait = box.ReadFile("TraitData.txt");
    EXPECT_EQ(trait.rfind("Trait data (not standardized, 5 OTUs in rows and 2 traits in columns):\n1\t2\t\n", 0), 0u);
    EXPECT_NE(trait.find("\nTrait means (2 traits):\n3\t3\t\n"), std::string::npos);
    EXPECT_NE(r.out.find("Community weighted means (CWM) at every step saved on file CWM.txt\n"), std::string::npos);
    // The total of the final W in W_Simulated.txt is the sum of its 4 x 5 cells.
    std::istringstream w(box.ReadFile("W_Simulated.txt"));
    double sum = 0, x;
    for (int i = 0; i < 20 && w >> x; i++) sum += x;
    EXPECT_NE(box.ReadFile("W_Simulated.txt").find("Total abundance:\t" + std::to_string(static_cast<int>(sum)) + "\n"),
              std::string::npos);
}

TEST(SimulatorEndToEnd, FixedSeedRepeatsEveryFileByteForByte) {
    const struct {
        const char* name;
        std::string script;
        std::vector<const char*> inputs;
    } cases[] = {
        {"traits from file", kTraitsFromFile, {"sim_B.txt", "sim_E.txt", "sim_A.txt", "sim_K.txt"}},
        {"generated", kGenerated, {"sim_traitcorr.txt", "sim_otucorr.txt", "sim_factorcorr.txt", "sim_A2.txt", "sim_K2.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox first, second;
        CopyData(first, c.inputs);
        CopyData(second, c.inputs);
        const tnxtest::Result r1 = first.Run(c.script), r2 = second.Run(c.script);
        ASSERT_EQ(r1.status, 0) << r1.err;
        ASSERT_EQ(r2.status, 0) << r2.err;
        std::set<std::string> expected(kStepRunFiles.begin(), kStepRunFiles.end());
        expected.insert(c.inputs.begin(), c.inputs.end());
        EXPECT_EQ(first.Files(), expected);
        for (const std::string& name : kStepRunFiles) {
            const std::string a = first.ReadFile(name), b = second.ReadFile(name);
            const bool clock = name == "FinalSimulatedData.txt";
            EXPECT_EQ(clock ? WithoutClockLines(a) : a, clock ? WithoutClockLines(b) : b) << name;
            EXPECT_TRUE(!a.empty() || name == "Distances.txt" || name == "Prob.txt" || name == "TraitTypes_Simulated.txt")
                << name;
        }
        // No test mode: no final section.
        const std::string report = first.ReadFile("FinalSimulatedData.txt");
        EXPECT_EQ(report.find("FINAL RESULTS"), std::string::npos);
        EXPECT_NE(report.find("\n\nSIMULATED DATA 1"), std::string::npos);
        if (c.script == kTraitsFromFile) ExpectStepFiles(first, r1);
    }
}

TEST(SimulatorEndToEnd, ParameterFileThatEndsEarlyEndsTheProgramWithoutResults) {
    Sandbox box;
    CopyData(box, {"sim_B.txt", "sim_E.txt", "sim_K.txt"});
    box.WriteFile("sim_A.txt", "1\n");
    const tnxtest::Result r = box.Run(kTraitsFromFile);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("END OF FILE"), std::string::npos);
    EXPECT_EQ(box.Files(), (std::set<std::string>{"sim_A.txt", "sim_B.txt", "sim_E.txt", "sim_K.txt"}));
}

// Type I error and power runs: n sites, 12 OTUs with 2 uncorrelated normal traits generated
// anew for each data set, one normal factor generated for each data set, no feedback (K = 0),
// 10 individuals per site at most, 60 steps. Settings: each OTU its own type, fuzzy belonging,
// 100 permutations, no restriction, seed `seed`, Mantel with Euclidean distances, the traits
// `traits` ("1" all, or "2\n1 0" the first only), W at unit totals, no details; all variables,
// alpha 0.05.
std::string TestModeScript(int n, const char* response, const char* survival, int dataSets, const char* seed,
                           const char* traits, char details) {
    std::string groups;
    for (int o = 1; o <= 12; o++) groups += std::to_string(o) + " ";
    return "A\n" + std::to_string(n) + "\n12\n2\nc\nsim_traitcorr_id.txt\nn\nr\n-5\n-5\n0.5\n0.5\n0.5\nr\n1\nc\n"
           "sim_factorcorr1.txt\nn\nn\n" + response + "\nsim_K_null.txt\nr\n" + survival +
           "\nr\n-5\n-5\n0.5\n0.5\n10\n60\n0.5\ny\n" + std::to_string(dataSets) + "\nk\n" + groups +
           "\n1\n100\n0\n2\n" + seed + "\n1\n6\n" + traits + "\ny\n" + details + "\n1\n0.05\nX\n";
}

const std::vector<const char*> kTestModeInputs = {"sim_traitcorr_id.txt", "sim_factorcorr1.txt", "sim_A_null.txt",
                                                  "sim_A_filter.txt", "sim_K_null.txt"};

// The proportion of rejections the final section gives for a statistic ("r(TE)", "r(XE.T)").
double FinalProportion(const std::string& report, const std::string& statistic) {
    const size_t final = report.find("PROBABILITIES OF Ho REJECTION");
    EXPECT_NE(final, std::string::npos);
    const std::string key = statistic + "\tP=\t";
    const size_t at = report.find(key, final);
    EXPECT_NE(at, std::string::npos) << statistic;
    return std::stod(report.substr(at + key.size()));
}

// The central 99 % of Binomial(N, p) as proportions: the 0.005 and 0.995 quantiles, from the
// probability function summed exactly.
std::pair<double, double> BinomialInterval99(int N, double p) {
    std::vector<double> pmf(N + 1);
    for (int k = 0; k <= N; k++)
        pmf[k] = std::exp(std::lgamma(N + 1.0) - std::lgamma(k + 1.0) - std::lgamma(N - k + 1.0) + k * std::log(p) +
                          (N - k) * std::log1p(-p));
    double cdf = 0;
    int lo = -1, hi = -1;
    for (int k = 0; k <= N; k++) {
        cdf += pmf[k];
        if (lo < 0 && cdf >= 0.005) lo = k;
        if (hi < 0 && cdf >= 0.995) hi = k;
    }
    return {static_cast<double>(lo) / N, static_cast<double>(hi) / N};
}

TEST(BinomialInterval, KnownQuantiles) {
    // Binomial(200, 0.05): mean 10, sd 3.08; the 0.5 % and 99.5 % quantiles are 3 and 19.
    EXPECT_EQ(BinomialInterval99(200, 0.05), std::make_pair(3.0 / 200, 19.0 / 200));
}

TEST(SimulatorEndToEnd, TypeIErrorWithoutAssemblyRulesIsNominalAndAFilterGivesPower) {
    const auto [lo, hi] = BinomialInterval99(200, 0.05);
    const struct {
        std::string script;
        std::vector<const char*> statistics;
        double lo, hi;
    } cases[] = {
        // No response to the environment (no trait filtered) and no feedback: T, X and R are
        // independent of E, so each test rejects at alpha 0.05 in about 5 % of the data sets.
        {TestModeScript(10, "sim_A_null.txt", "-3\n-3\n0.5\n0.5", 200, "12345", "1", 'n'), {"r(TE)", "r(XE.T)"}, lo, hi},
        // Trait 1 responds to the factor with slope 1 and survival falls steeply with the distance
        // to the expected mean: the community means of trait 1 follow E, and r(TE) on that trait is
        // rejected in most data sets (more than 0.8: at least 161 of 200).
        {TestModeScript(12, "sim_A_filter.txt", "-8\n-8\n0.1\n0.1", 200, "2024", "2\n1 0", 'n'), {"r(TE)"}, 0.805, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        Sandbox box;
        CopyData(box, kTestModeInputs);
        const tnxtest::Result r = box.Run(c.script);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string report = box.ReadFile("FinalSimulatedData.txt");
        for (const char* statistic : c.statistics) {
            const double p = FinalProportion(report, statistic);
            EXPECT_TRUE(p >= c.lo && p <= c.hi) << statistic << " " << p;
        }
        // Intermediate results off: the header and the proportions only.
        EXPECT_EQ(report.find("SIMULATED DATA"), std::string::npos);
        EXPECT_EQ(report.find("Elapsed time"), std::string::npos);
        EXPECT_NE(report.find("based on 200 tests using 100 permutations each:"), std::string::npos);
        // More than 2 data sets: only the OTU list among the data files.
        const std::set<std::string> files = box.Files();
        EXPECT_EQ((std::vector<size_t>{files.count("OTUs_Simulated.txt"), files.count("W_Simulated.txt"),
                                       files.count("B_Simulated.txt")}),
                  (std::vector<size_t>{1, 0, 0}));
    }
}

TEST(SimulatorEndToEnd, TestModeRunRepeatsWithItsSeed) {
    Sandbox first, second;
    CopyData(first, kTestModeInputs);
    CopyData(second, kTestModeInputs);
    const std::string script = TestModeScript(6, "sim_A_filter.txt", "-3\n-5\n0.2\n0.4", 2, "31", "1", 'y');
    ASSERT_EQ(first.Run(script).status, 0);
    ASSERT_EQ(second.Run(script).status, 0);
    const std::string a = first.ReadFile("FinalSimulatedData.txt");
    EXPECT_EQ(WithoutClockLines(a), WithoutClockLines(second.ReadFile("FinalSimulatedData.txt")));
    for (const char* name : {"B_Simulated.txt", "W_Simulated.txt", "E_Simulated.txt", "TraitTypes_Simulated.txt",
                             "OTUs_Simulated.txt"})
        EXPECT_EQ(first.ReadFile(name), second.ReadFile(name)) << name;
    // With details: two data-set blocks with their tests, then the echo of the run.
    EXPECT_EQ(tnxtest::Count(a, "\n\nSIMULATED DATA "), 2);
    EXPECT_EQ(tnxtest::Count(a, "\n\nStatistics and probabilities:\nConvergence (TCAP): r(TE)=\t"), 2);
    EXPECT_NE(a.find("Random generator seed: 31\n"), std::string::npos);
    EXPECT_NE(a.find("Elapsed time (seconds): "), std::string::npos);
    // Each proportion of two data sets is 0, 0.5 or 1.
    for (const char* statistic : {"r(TE)", "r(XE)", "r(XE.T)", "r(RE)", "r(XE.TR)", "r(TY)", "r(XZ_T)"}) {
        const double p = FinalProportion(a, statistic);
        EXPECT_TRUE(p == 0 || p == 0.5 || p == 1) << statistic << " " << p;
    }
}


// A test-mode run of two data sets (seed 31) is followed by one of seed 32 that a signal ends,
// while its files are written (SIGXFSZ under a file-size limit) or inside the commit that puts
// them in place (SIGINT before the first rename, SIGTERM before the last, where the signal waits
// for the renames and the commit is undone): the folder holds the first run's files as they were,
// and no temporary file stays. With SIGXFSZ
// ignored (as under nohup) the write past the limit fails instead, and a run of as many data sets
// as the dialogue takes (2^31 - 1, which would not end before the test program's guard ends it)
// stops at the data set of that write: status 1, the report and the system's reason named, the
// first run's files as they were.
TEST(SimulatorEndToEnd, AnInterruptedOrFailedRunLeavesTheEarlierRunsFiles) {
    const std::string first = TestModeScript(6, "sim_A_filter.txt", "-3\n-5\n0.2\n0.4", 2, "31", "1", 'y');
    const std::string second = TestModeScript(6, "sim_A_filter.txt", "-3\n-5\n0.2\n0.4", 2, "32", "1", 'y');
    const std::string endless =
        TestModeScript(6, "sim_A_filter.txt", "-3\n-5\n0.2\n0.4", 2147483647, "32", "1", 'y');
    const std::vector<std::string> results = {"FinalSimulatedData.txt", "B_Simulated.txt", "W_Simulated.txt",
                                              "E_Simulated.txt", "TraitTypes_Simulated.txt", "OTUs_Simulated.txt"};
    // The whole set of seed 32, the clock lines of the report aside.
    Sandbox whole;
    CopyData(whole, kTestModeInputs);
    ASSERT_EQ(whole.Run(second).status, 0);
    const struct {
        const char* what;
        int signal;
        const char* in;   // the file whose rename the signal comes before
        long fileSizeLimit;
        const std::string* script;
        bool ignoreXfsz;  // SIGXFSZ ignored: the write past the limit fails, status 1
    } cases[] = {
        // The report of seed 31 has 13304 bytes: a limit of 10000 stops its successor half-way.
        {"SIGXFSZ while writing", SIGXFSZ, "", 10000, &second, false},
        {"SIGINT before the first rename", SIGINT, "FinalSimulatedData.txt.tmp", 0, &second, false},
        {"SIGTERM before the last rename", SIGTERM, "OTUs_Simulated.txt.tmp", 0, &second, false},
        {"a write past the limit, SIGXFSZ ignored", 0, "", 10000, &endless, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        CopyData(box, kTestModeInputs);
        ASSERT_EQ(box.Run(first).status, 0);
        const auto before = tnxtest::Snapshot(box.Path(""));
        tnxtest::ProgramRun run;
        run.input = *c.script;
        run.signalInCommit = c.fileSizeLimit ? 0 : c.signal;
        run.signalOn = c.in;
        run.fileSizeLimit = c.fileSizeLimit;
        if (c.ignoreXfsz) run.ignored = {SIGXFSZ};
        const tnxtest::Ending ending = tnxtest::RunProgram(box.Path(""), run);
        EXPECT_EQ(ending.signal, c.signal) << "exit status " << ending.status;
        if (c.ignoreXfsz) {
            EXPECT_EQ(ending.status, 1);
            EXPECT_EQ(tnxtest::Slurp(box.Path("").parent_path().parent_path() / "stderr.txt"),
                      "\ncan't write FinalSimulatedData.txt: File too large \n\nFAIL TO PRINT ON FILE !!!\n\n"
                      "Quit and restart TARNEX.\n\a");
        }
        EXPECT_EQ(tnxtest::TemporaryNames(box.Path("")), "");
        tnxtest::ExpectFolderAsBefore(box.Path(""), before);
        // The two seeds give other data sets: a mix of the runs would show.
        for (const std::string& name : results) {
            if (name != "TraitTypes_Simulated.txt" && name != "OTUs_Simulated.txt") {
                EXPECT_NE(WithoutClockLines(before.at(name)), WithoutClockLines(whole.ReadFile(name))) << name;
            }
        }
    }
}


// A second run of the per-step files (seed 8 after seed 7) whose set cannot be put in place: one
// target turned into a folder before it (the first, a middle and the last of the 13 renames), or a
// rename that the file system refuses all the same (a full disk, a quota, a refusal). Nothing of
// the second run is in place: the folder holds the first run's whole set byte for byte (and the
// folder as it was made), with no temporary file and no earlier file kept aside beside them. The
// message names the file and the system's reason, and the run ends as a file that cannot be
// opened ends it (status 1).
TEST(SimulatorEndToEnd, ASecondRunWhoseSetCannotBePutInPlaceLeavesTheFirstRunsWholeSet) {
    const std::vector<const char*> inputs = {"sim_B.txt", "sim_E.txt", "sim_A.txt", "sim_K.txt"};
    const std::string seven = "\n2\n7\ny\nX\n";
    ASSERT_EQ(kTraitsFromFile.substr(kTraitsFromFile.size() - seven.size()), seven);
    const std::string second = kTraitsFromFile.substr(0, kTraitsFromFile.size() - seven.size()) + "\n2\n8\ny\nX\n";
    // The second run alone: its files differ from the first's, so that a mix would show.
    Sandbox alone;
    CopyData(alone, inputs);
    ASSERT_EQ(alone.Run(second).status, 0);
    const struct {
        const char* what;
        const char* folder;       // the target turned into a folder (none: "")
        const char* refusedOn;    // the temporary file whose rename fails (none: "")
        int error;
        const char* message;      // after "can't replace "
    } cases[] = {
        {"the first target a folder", "TraitData.txt", "", 0, "TraitData.txt: Is a directory"},
        {"Prob.txt a folder", "Prob.txt", "", 0, "Prob.txt: Is a directory"},
        {"W_Simulated.txt a folder", "W_Simulated.txt", "", 0, "W_Simulated.txt: Is a directory"},
        {"the last target a folder", "OTUs_Simulated.txt", "", 0, "OTUs_Simulated.txt: Is a directory"},
        {"the first rename, disk full", "", "TraitData.txt.tmp", ENOSPC, "TraitData.txt: No space left on device"},
        {"a middle rename, over quota", "", "W_Simulated.txt.tmp", EDQUOT, "W_Simulated.txt: Disk quota exceeded"},
        {"the last rename, refused", "", "OTUs_Simulated.txt.tmp", EPERM, "OTUs_Simulated.txt: Operation not permitted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        CopyData(box, inputs);
        ASSERT_EQ(box.Run(kTraitsFromFile).status, 0);
        if (*c.folder) {
            std::filesystem::remove(box.Path(c.folder));
            std::filesystem::create_directory(box.Path(c.folder));
        }
        const auto before = tnxtest::Snapshot(box.Path(""));
        tnxtest::ProgramRun run;
        run.input = second;
        run.refuseRenameOn = c.refusedOn;
        run.refuseRenameWith = c.error;
        const tnxtest::Ending ending = tnxtest::RunProgram(box.Path(""), run);
        EXPECT_EQ(ending.signal, 0);
        EXPECT_EQ(ending.status, 1);
        const std::string err = tnxtest::Slurp(box.Path("").parent_path().parent_path() / "stderr.txt");
        EXPECT_EQ(err, "\ncan't replace " + std::string(c.message) + " \n\nFAIL TO OPEN FILE !!!\n\nQuit and restart TARNEX.\n\a");
        EXPECT_EQ(tnxtest::TemporaryNames(box.Path("")), "");
        const auto after = tnxtest::Snapshot(box.Path(""));
        ASSERT_EQ(after.size(), before.size());
        int differing = 0;
        for (const std::string& name : kStepRunFiles) {
            if (name == c.folder) continue;
            EXPECT_TRUE(after.at(name) == before.at(name)) << name << " changed";
            differing += before.at(name) != alone.ReadFile(name);
        }
        EXPECT_GE(differing, 6);
        if (*c.folder) {
            EXPECT_TRUE(std::filesystem::is_directory(box.Path(c.folder)));
        }
    }
}

// The tests of each simulated data set share their permutations among threads: the same seed
// gives the same report and data files on one thread and on four, under each congruence measure.
TEST(SimulatorEndToEnd, TestModeRunIsTheSameOnOneThreadAndOnFour) {
    const char* env = std::getenv("TARNEX_THREADS");
    const std::string saved = env ? env : "";
    for (const char* measure : {"1", "2", "3"}) {
        std::string report[2];
        Sandbox boxes[2];
        for (int run = 0; run < 2; run++) {
            CopyData(boxes[run], kTestModeInputs);
            setenv("TARNEX_THREADS", run == 0 ? "1" : "4", 1);
            std::string script = TestModeScript(6, "sim_A_filter.txt", "-3\n-5\n0.2\n0.4", 2, "31", "1", 'y');
            // The measure follows the seed; only the matrix correlation asks for a resemblance (6).
            const std::string mantel = "\n31\n1\n6\n";
            const size_t at = script.find(mantel);
            ASSERT_NE(at, std::string::npos);
            script.replace(at, mantel.size(),
                           "\n31\n" + std::string(measure) + (measure[0] == '1' ? "\n6\n" : "\n"));
            ASSERT_EQ(boxes[run].Run(script).status, 0) << measure;
            report[run] = WithoutClockLines(boxes[run].ReadFile("FinalSimulatedData.txt"));
        }
        EXPECT_EQ(report[1], report[0]) << measure;
        EXPECT_EQ(tnxtest::Count(report[0], "\n\nStatistics and probabilities:\nConvergence (TCAP): r(TE)=\t"), 2)
            << measure;
        for (const char* name : {"B_Simulated.txt", "W_Simulated.txt", "E_Simulated.txt"})
            EXPECT_EQ(boxes[1].ReadFile(name), boxes[0].ReadFile(name)) << name;
    }
    if (env)
        setenv("TARNEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

}  // namespace
