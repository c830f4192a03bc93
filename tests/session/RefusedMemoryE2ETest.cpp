// Texts composed in memory that memory refuses, end to end on the imported aviurba survey: the
// allocator preloaded into the program refuses every block beyond a bound, so that the report of
// the functional analysis (H) or a chunk of the trait-subset search (K) cannot grow past it. The
// program then ends out of memory (the message on the error stream, status 1) with every file of
// the folder as it was; one byte more of room and the run finishes with the file whole.
#include <algorithm>

#include "common/ProgramRun.h"
#include "common/TimeStampLine.h"
#include "foundation/TnxThreads.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const char* const kOutOfMemory = "\nOUT OF MEMORY !!!\n\nQuit and restart TARNEX.\n\a";

// H as examples/README.md answers it with 99 iterations; `again` answers the question asked when
// the report exists (w: erase it, a: append to it). K with criterion 1 on subsets of 1 to 4 traits.
std::string H(const std::string& again) {
    return "O\navi\nV\nH\ny\n1\n99\n0\n2\n1\n1\n6\n1\ny\nn\n" + again + "\nC\nC\nX\n";
}
const std::string kK = "O\navi\nV\nK\n1\ny\n1\n1\n6\n1\ny\n1\n4\nn\n\nC\nC\nX\n";

// A text without its time-stamp and elapsed-time lines (the search's "Elapsed time:", the test's
// "Elapsed time for the test(s):"), which the clock decides.
std::string Stable(const std::string& text) {
    std::string kept;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string line = text.substr(at, end - at);
        if (!IsTimeStampLine(line) && line.rfind("Elapsed time", 0) != 0) kept += line;
        at = end;
    }
    return kept;
}

// A sandbox holding the aviurba survey imported as the session "avi".
class RefusedMemory : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_spp.txt", "aviurba_E.txt"})
            box.WriteFile(name, Slurp(std::string(TARNEX_EXAMPLES) + "/" + name));
        ASSERT_EQ(Run(kAviImport).status, 0);
    }
    Ending Run(const std::string& input, size_t refuseGrowthAbove = 0, const std::string& threads = "") {
        ProgramRun run;
        run.input = input;
        run.refuseGrowthAbove = refuseGrowthAbove;
        run.threads = threads;
        return RunProgram(box.Path(""), run);
    }
    std::string Out() const { return Slurp(box.Path("").parent_path().parent_path() / "stdout.txt"); }
    std::string Err() const { return Slurp(box.Path("").parent_path().parent_path() / "stderr.txt"); }
    // The folder made as `files` holds it, every other file removed.
    void Restore(const std::map<std::string, std::string>& files) {
        for (const auto& [name, text] : Snapshot(box.Path("")))
            if (!files.count(name)) std::filesystem::remove(box.Path(name));
        for (const auto& [name, text] : files) box.WriteFile(name, text);
    }
    // The run ended out of memory, the folder as `before`.
    void ExpectOutOfMemoryWithTheFolderKept(const Ending& e, const std::map<std::string, std::string>& before) {
        EXPECT_EQ(e.signal, 0);
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(Err().find(kOutOfMemory), std::string::npos) << Err();
        EXPECT_EQ(Count(Out(), "Results on file"), 0);
        ExpectFolderAsBefore(box.Path(""), before);
    }
    Sandbox box;
};

// The report of H erasing the earlier one has S bytes, the text it appends A (without the
// program's title): its stream needs one byte more, for the closing '\0'. With that room the
// report is written whole, erasing or appended; with one byte less the last write is refused and
// neither the report nor any other file changes.
TEST_F(RefusedMemory, AReportThatMemoryCutsShortEndsOutOfMemoryWithTheFilesKept) {
    ASSERT_EQ(Run(H("")).status, 0) << Err();
    const auto before = Snapshot(box.Path(""));
    const std::string report = before.at("aviPrinda.txt");
    ASSERT_EQ(Run(H("a")).status, 0) << Err();
    const std::string appended = box.ReadFile("aviPrinda.txt");
    const size_t S = report.size(), A = appended.size() - S;
    ASSERT_GT(A, 60000u);  // the statistics and the diversity section
    struct Row {
        const char* answer;
        size_t room;
        bool whole;
    };
    const Row rows[] = {{"w", S, false}, {"w", S + 1, true}, {"a", A, false}, {"a", A + 1, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.answer << " with room for " << r.room << " bytes");
        Restore(before);
        const Ending e = Run(H(r.answer), r.room);
        if (!r.whole) {
            ExpectOutOfMemoryWithTheFolderKept(e, before);
            continue;
        }
        EXPECT_EQ(e.status, 0) << Err();
        EXPECT_EQ(Count(Out(), "\n\nResults on file aviPrinda.txt\n"), 1);
        const std::string now = box.ReadFile("aviPrinda.txt"), expected = *r.answer == 'w' ? report : appended;
        EXPECT_EQ(now.size(), expected.size());
        EXPECT_EQ(Stable(now), Stable(expected));
    }
}

// K's chunks on four threads each hold one subset's structure text (tens of kilobytes) in memory:
// with room for 4096 bytes the workers give their chunks back and the calling thread, refused
// too, ends the search out of memory with the ranking and structure files of the earlier run kept.
// On one thread the text goes straight to the files, which the bound does not touch; with room
// for the whole structure file every chunk fits. Both write the earlier run's files again.
TEST_F(RefusedMemory, ASearchWhoseChunkMemoryCutsShortEndsOutOfMemoryWithTheFilesKept) {
    if (CpusAvailable() < 2) GTEST_SKIP() << "one CPU: the search runs no chunks";
    // The preference "save structure files" (the sixteenth line of the preferences file).
    ASSERT_EQ(Run("S\nF\n0\nn\nC\nX\n").status, 0);
    box.WriteFile("TARNEX.prf", Edit(box.ReadFile("TARNEX.prf"), "\n6\nn\nn\nn\n", "\n6\ny\nn\nn\n"));
    ASSERT_EQ(Run(kK, 0, "4").status, 0) << Err();
    const auto before = Snapshot(box.Path(""));
    const std::string ranking = before.at("aviChRank_TDAP_TCAP.txt"), structures = before.at("aviStr.txt");
    ASSERT_GT(structures.size(), 100000u);
    struct Row {
        const char* threads;
        size_t room;
        bool whole;
    };
    const Row rows[] = {{"4", 4096, false}, {"1", 4096, true}, {"4", structures.size(), true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.threads << " threads, room for " << r.room << " bytes");
        Restore(before);
        const Ending e = Run(kK, r.room, r.threads);
        if (!r.whole) {
            ExpectOutOfMemoryWithTheFolderKept(e, before);
            continue;
        }
        EXPECT_EQ(e.status, 0) << Err();
        EXPECT_EQ(Stable(box.ReadFile("aviChRank_TDAP_TCAP.txt")), Stable(ranking));
        EXPECT_EQ(Stable(box.ReadFile("aviStr.txt")), Stable(structures));
    }
}

}  // namespace
