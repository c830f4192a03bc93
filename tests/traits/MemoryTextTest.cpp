// Texts the analyses compose in memory when the allocator refuses to grow them: a report
// (MemoryReport) raises code 1 and touches no file, erasing or appending; the search's chunks on
// four threads end the search with code 1 on one side of the bound and leave one thread's text on
// the other; a search that fails in the middle of a chunk frees the chunk's streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "common/ErrorCode.h"
#include "common/RefusedGrowth.h"
#include "foundation/TnxError.h"
#include "session/session_fixture.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORDThreads.h"
#include "traits/TNXWHOLE.h"

namespace {

using chrank::Enumeration;
using chrank::Rank;
using chranktest::ThreadCount;
using tnxtest::CodeOf;

using MemoryText = tnxtest::TempDirTest;

// A report of 20 lines of 100 bytes (2000 bytes: its stream needs 2001 with the closing '\0') put
// over "earlier\n" erasing (w) or appending (a), through PutWhole or, as the functional analysis
// does, closed first and put as text. One byte short of its room, the last line is refused: code
// 1, the file as it was and nothing else in the folder; with its room, the file takes it whole.
TEST_F(MemoryText, AReportThatMemoryCutsShortRaisesCodeOneAndTouchesNoFile) {
    std::string text;
    for (int i = 0; i < 20; i++) text += "line " + std::to_string(10 + i) + std::string(92, '.') + "\n";
    ASSERT_EQ(text.size(), 2000u);
    struct Row {
        const char* mode;
        size_t room;
        bool closedFirst;
        bool whole;
    };
    const Row rows[] = {{"w", 2000, false, false}, {"w", 2001, false, true}, {"a", 2000, false, false},
                        {"a", 2001, false, true},  {"w", 2000, true, false}, {"a", 2001, true, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.mode << " room " << r.room << (r.closedFirst ? " closed first" : ""));
        Write("s1Prinda.txt", "earlier\n");
        const int code = CodeOf([&] {
            MemoryReport report;
            {
                RefusedGrowth refusal(r.room);
                for (int i = 0; i < 20; i++) std::fprintf(report.stream(), "line %d%s\n", 10 + i, std::string(92, '.').c_str());
            }
            if (r.closedFirst) {
                if (!report.Close()) RaiseError(TNX_FAIL_TO_PRINT);
                PutWhole("", "s1Prinda.txt", r.mode, report.data(), report.size());
            } else {
                PutWhole("", "s1Prinda.txt", r.mode, report);
            }
        });
        EXPECT_EQ(code, r.whole ? 0 : static_cast<int>(TNX_OUT_OF_MEMORY));
        const std::string expected = !r.whole ? "earlier\n" : *r.mode == 'w' ? text : "earlier\n" + text;
        EXPECT_EQ(Read("s1Prinda.txt"), expected);
        EXPECT_EQ(Entries(), 1);
    }
}

struct NoWork {};

// A search over the 255 subsets of 8 traits that writes a structure file (so that each chunk
// holds one subset) to a scratch file: each subset writes one line of 300 bytes naming it. The
// code the search raised and the text of the file.
struct Structures {
    int code = 0;
    std::string text;
};

Structures SearchWritingStructures(int threads, size_t room, int failAtSize = 0) {
    ThreadCount count(threads);
    const std::vector<int> eligible = {0, 1, 2, 3, 4, 5, 6, 7};
    Enumeration en(eligible, 1, 8);
    chrank::Search search(en.KMax(), Rank::kSigned, -1e300, Rank::kSigned, false);
    chrank::Progress progress(en.Total());
    std::unique_ptr<FILE, int (*)(FILE*)> fs(std::tmpfile(), std::fclose), lines(std::tmpfile(), std::fclose);
    Structures out;
    {
        RefusedGrowth refusal(room);
        out.code = CodeOf([&] {
            chrank::EvaluateSubsets<NoWork>(
                en, search, 0, progress, failAtSize ? lines.get() : nullptr, fs.get(),
                [] { return std::make_unique<NoWork>(); },
                [&](NoWork&, const int* t, int k, int, FILE* text, FILE* st) {
                    std::string name;
                    for (int i = 0; i < k; i++) name += std::to_string(t[i]) + " ";
                    std::fprintf(st, "%-299s\n", name.c_str());
                    if (text) std::fprintf(text, "%s\n", name.c_str());
                    // Raised with the chunk's streams open and written to.
                    if (k == failAtSize && t[0] == 2) RaiseError(TNX_END_OF_FILE);
                    return 0.25 * k;
                },
                [](int) {});
        });
    }
    std::rewind(fs.get());
    for (int c; (c = std::fgetc(fs.get())) != EOF;) out.text += static_cast<char>(c);
    return out;
}

// Four threads, room for 300 bytes: a worker's chunk (one line of 300 bytes and its '\0') is
// refused, the worker gives it back, and the calling thread, refused it too, ends the search with
// code 1. Room for 301: every chunk fits, the file is one thread's. One thread writes straight to
// the file, whatever the room.
TEST(MemoryTextChunks, AChunkThatMemoryCutsShortEndsTheSearchOnOneSideOfItsRoom) {
    const Structures one = SearchWritingStructures(1, SIZE_MAX);
    ASSERT_EQ(one.code, 0);
    ASSERT_EQ(one.text.size(), 255u * 300u);
    struct Row {
        int threads;
        size_t room;
        int code;
    };
    const Row rows[] = {{4, 300, TNX_OUT_OF_MEMORY}, {4, 301, 0}, {1, 300, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.threads << " threads, room " << r.room);
        const Structures s = SearchWritingStructures(r.threads, r.room);
        EXPECT_EQ(s.code, r.code);
        if (r.code == 0) {
            EXPECT_EQ(s.text, one.text);
        }
    }
}

// A worker's error in the middle of a chunk (code 2 at the subsets of size 5 that start with
// trait 2) reaches the caller, and the streams of the chunks that were being written are freed
// with the search: the leak checker finds nothing unreachable.
TEST(MemoryTextChunks, AFailedSearchFreesItsChunksStreams) {
    const Structures s = SearchWritingStructures(4, SIZE_MAX, 5);
    EXPECT_EQ(s.code, TNX_END_OF_FILE);
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
