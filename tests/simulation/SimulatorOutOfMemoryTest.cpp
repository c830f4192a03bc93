// The simulator run in-process where memory refuses the stream of one of its files, a parameter
// file it reads or a file it writes: the run ends out of memory (code 1), never as a file that
// cannot be opened, and the earlier run's files stay as they were, no temporary file beside them.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "common/ErrorCode.h"
#include "common/ProgramRun.h"
#include "session/session_fixture.h"
#include "simulation/TNXSIMUL.h"

namespace {

// A part of the path whose stream the test program's fdopen refuses, null for none.
std::atomic<const char*> refuseStreamOf{nullptr};

}  // namespace

// The test program's own fopen and fdopen, in front of the C library's: a stream on a file whose
// path holds refuseStreamOf is refused as the library refuses one it finds no memory for (null,
// ENOMEM).
extern "C" FILE* fopen(const char* path, const char* mode) {
    using Fopen = FILE* (*)(const char*, const char*);
    static const Fopen next = reinterpret_cast<Fopen>(dlsym(RTLD_NEXT, "fopen"));
    const char* part = refuseStreamOf.load();
    if (part && std::strstr(path, part) != nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    return next(path, mode);
}

extern "C" FILE* fdopen(int fd, const char* mode) {
    using Fdopen = FILE* (*)(int, const char*);
    static const Fdopen next = reinterpret_cast<Fdopen>(dlsym(RTLD_NEXT, "fdopen"));
    if (const char* part = refuseStreamOf.load()) {
        char path[4096];
        const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
        if (n > 0 && (path[n] = '\0', std::strstr(path, part) != nullptr)) {
            errno = ENOMEM;
            return nullptr;
        }
    }
    return next(fd, mode);
}

namespace {

// Traits and one factor from files, 30 steps, seed `seed`, every per-step file (the answers after
// the main menu's letter).
std::string Answers(const std::string& seed) {
    return "4\n5\n2\nt\nsim_B.txt\nr\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nsim_E.txt\nn\nsim_A.txt\nsim_K.txt\n"
           "r\n-3\n-4\n0.4\n0.6\nr\n-5\n-5\n0.5\n0.5\n5\n30\n0.5\nn\n2\n" + seed + "\ny\n";
}

class SimulatorOutOfMemory : public tnxtest::ConsoleTest {
protected:
    void TearDown() override {
        refuseStreamOf = nullptr;
        ConsoleTest::TearDown();
    }
};

}  // namespace

// The stream of a parameter file, of the first per-step file, of one in the middle, of the report
// and of the last data file refused in turn, over the files of a complete run with another seed.
TEST_F(SimulatorOutOfMemory, AStreamThatMemoryRefusesEndsTheRunOutOfMemoryWithTheEarlierFilesKept) {
    for (const char* name : {"sim_B.txt", "sim_E.txt", "sim_A.txt", "sim_K.txt"})
        Write(name, tnxtest::Slurp(std::string(TARNEX_TESTDATA) + "/" + name));
    Script(Answers("7"));
    ASSERT_EQ(tnxtest::CodeOf([] { IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(); }), 0);
    // The folder's files but the console's answers and texts.
    const auto files = [] {
        auto all = tnxtest::Snapshot(".");
        all.erase("answers.txt");
        all.erase("console.txt");
        return all;
    };
    const auto before = files();
    ASSERT_TRUE(before.count("Distances.txt") && before.count("OTUs_Simulated.txt"));
    Err();  // the table captures the error stream case by case
    for (const char* refused : {"sim_E.txt", "TraitData.txt", "Distances.txt", "FinalSimulatedData.txt", "OTUs_Simulated.txt"}) {
        SCOPED_TRACE(refused);
        Script(Answers("8"));
        refuseStreamOf = refused;
        testing::internal::CaptureStderr();
        EXPECT_EQ(tnxtest::CodeOf([] { IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(); }), 1);
        refuseStreamOf = nullptr;
        EXPECT_EQ(testing::internal::GetCapturedStderr().find("can't open"), std::string::npos);
        EXPECT_EQ(tnxtest::TemporaryNames("."), "");
        EXPECT_TRUE(files() == before) << "a file of the earlier run changed";
    }
}
