// End-to-end runs of the simulator (hidden letter A of the main menu) in the built program, with
// scripted dialogues and the small parameter files tests/data/sim_*.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "common/TimeStampLine.h"
#include "session/session_fixture.h"

namespace {

using tnxtest::Sandbox;

void CopyData(const Sandbox& box, const std::vector<const char*>& names) {
    for (const char* name : names) box.WriteFile(name, tnxtest::Slurp(std::string(TARNEX_TESTDATA) + "/" + name));
}

// The report with its time-stamp lines (and the elapsed time) blanked out.
std::string WithoutClockLines(const std::string& text) {
    std::string outText;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size() - 1;
        const std::string line = text.substr(at, end + 1 - at);
        if (!tnxtest::IsTimeStampLine(line) && line.rfind("Elapsed time (seconds): ", 0) != 0) outText += line;
        at = end + 1;
    }
    return outText;
}

const std::vector<std::string> kStepRunFiles = {
    "TraitData.txt", "EnvData.txt", "CWM_Expected.txt", "Distances.txt", "Prob.txt", "CommunityData.txt",
    "CWM.txt", "FinalSimulatedData.txt", "B_Simulated.txt", "W_Simulated.txt", "E_Simulated.txt",
    "TraitTypes_Simulated.txt", "OTUs_Simulated.txt"};

struct ReproCase {
    const char* name;
    std::string script;
    std::vector<const char*> inputs;
};

// Traits from file, one factor from file; seed 7 and every per-step file.
const std::string kTraitsFromFile =
    "A\n4\n5\n2\nt\nsim_B.txt\nr\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nsim_E.txt\nn\nsim_A.txt\nsim_K.txt\n"
    "r\n-3\n-4\n0.4\n0.6\nr\n-5\n-5\n0.5\n0.5\n5\n30\n0.5\nn\n2\n7\ny\nX\n";
// Traits and OTUs correlated, two factors generated from their correlations with their
// interaction; seed 99.
const std::string kGenerated =
    "A\n6\n5\n2\nb\nsim_traitcorr.txt\nsim_otucorr.txt\nu\nr\n-2\n-8\n0.2\n0.8\n0.3\nr\n2\nc\nsim_factorcorr.txt\n"
    "n\ny\nsim_A2.txt\nsim_K2.txt\nr\n-1\n-5\n0.3\n0.7\nr\n-3\n-6\n0.4\n0.6\n8\n40\n0.3\nn\n2\n99\ny\nX\n";

TEST(SimulatorEndToEnd, FixedSeedRepeatsEveryFileByteForByte) {
    const ReproCase cases[] = {
        {"traits from file", kTraitsFromFile, {"sim_B.txt", "sim_E.txt", "sim_A.txt", "sim_K.txt"}},
        {"generated", kGenerated, {"sim_traitcorr.txt", "sim_otucorr.txt", "sim_factorcorr.txt", "sim_A2.txt", "sim_K2.txt"}},
    };
    for (const ReproCase& c : cases) {
        Sandbox first, second;
        CopyData(first, c.inputs);
        CopyData(second, c.inputs);
        const tnxtest::Result r1 = first.Run(c.script);
        const tnxtest::Result r2 = second.Run(c.script);
        ASSERT_EQ(r1.status, 0) << c.name << r1.err;
        ASSERT_EQ(r2.status, 0) << c.name << r2.err;
        std::set<std::string> expected(kStepRunFiles.begin(), kStepRunFiles.end());
        expected.insert(c.inputs.begin(), c.inputs.end());
        EXPECT_EQ(first.Files(), expected) << c.name;
        for (const std::string& name : kStepRunFiles) {
            const std::string a = first.ReadFile(name), b = second.ReadFile(name);
            if (name == "FinalSimulatedData.txt")
                EXPECT_EQ(WithoutClockLines(a), WithoutClockLines(b)) << c.name;
            else
                EXPECT_EQ(a, b) << c.name << " " << name;
            if (name != "Distances.txt" && name != "Prob.txt" && name != "TraitTypes_Simulated.txt")
                EXPECT_FALSE(a.empty()) << c.name << " " << name;
        }
        // No test mode: no final section.
        EXPECT_EQ(first.ReadFile("FinalSimulatedData.txt").find("FINAL RESULTS"), std::string::npos);
        EXPECT_NE(first.ReadFile("FinalSimulatedData.txt").find("\n\nSIMULATED DATA 1"), std::string::npos);
    }
}

TEST(SimulatorEndToEnd, PerStepFilesFollowTheSteps) {
    Sandbox box;
    CopyData(box, {"sim_B.txt", "sim_E.txt", "sim_A.txt", "sim_K.txt"});
    const tnxtest::Result r = box.Run(kTraitsFromFile);
    ASSERT_EQ(r.status, 0) << r.err;
    // One line per step and site in the environment and mean files (30 steps, 4 sites) after
    // their caption line; one BEFORE block per step.
    const std::string env = box.ReadFile("EnvData.txt");
    EXPECT_EQ(tnxtest::Count(env, "\n"), 1 + 30 * 4);
    EXPECT_EQ(tnxtest::Count(box.ReadFile("CWM.txt"), "\n"), 1 + 30 * 4);
    EXPECT_EQ(tnxtest::Count(box.ReadFile("CommunityData.txt"), "BEFORE mortality"), 30);
    EXPECT_NE(env.find("\n30\t4\t"), std::string::npos);
    const std::string trait = box.ReadFile("TraitData.txt");
    EXPECT_EQ(trait.rfind("Trait data (not standardized, 5 OTUs in rows and 2 traits in columns):\n1\t2\t\n", 0), 0u);
    EXPECT_NE(trait.find("\nTrait means (2 traits):\n3\t3\t\n"), std::string::npos);
    EXPECT_NE(r.out.find("Community weighted means (CWM) at every step saved on file CWM.txt\n"), std::string::npos);
    // The final W in the report and in W_Simulated.txt agree, and its total is the sum.
    const std::string w = box.ReadFile("W_Simulated.txt");
    std::vector<double> cells;
    size_t at = 0;
    for (int i = 0; i < 20; i++) {
        size_t used = 0;
        cells.push_back(std::stod(w.substr(at), &used));
        at += used;
    }
    double sum = 0;
    for (double x : cells) sum += x;
    EXPECT_NE(w.find("Total abundance:\t" + std::to_string(static_cast<int>(sum)) + "\n"), std::string::npos);
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

}  // namespace
