// The trait-subset searches on several threads: the cursor that starts a worker anywhere in the
// order of the subsets; records, top lists and text committed as one thread leaves them, ties
// included; a worker's error reaching the caller; and every criterion under each measure writing
// the same result and structure files with 1 and with 4 threads.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "common/ErrorCode.h"
#include "common/TimeStampLine.h"
#include "foundation/TnxBlas.h"
#include "foundation/TnxError.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "traits/ChRankData.h"
#include "traits/RefusedThreads.h"
#include "traits/TNXCHORDThreads.h"

namespace {

using namespace chranktest;
using chrank::Enumeration;
using chrank::Rank;

TEST(ChRankCursor, EveryRankOfEverySizeIsTheEnumerationsSubset) {
    // Eligible traits with gaps (traits 1 and 4 excluded), every size from 1 to 6.
    const std::vector<int> eligible = {0, 2, 3, 5, 6, 7};
    std::vector<std::vector<int>> order;
    std::vector<int> changed, sizes;
    Enumeration en(eligible, 1, 6);
    en.Run(
        [&](const int* t, int k, int c) {
            order.emplace_back(t, t + k);
            changed.push_back(c);
            sizes.push_back(k);
        },
        [](int) {});
    chrank::Cursor seek(eligible), walk(eligible);
    for (size_t i = 0, rank = 0; i < order.size(); i++, rank++) {
        const int k = sizes[i];
        if (i == 0 || sizes[i - 1] != k) {
            rank = 0;
            walk.Seek(k, 0);
        } else {
            walk.Next();
        }
        seek.Seek(k, static_cast<int64_t>(rank));
        SCOPED_TRACE(testing::Message() << "size " << k << " rank " << rank);
        EXPECT_EQ(std::vector<int>(seek.Traits(), seek.Traits() + k), order[i]);
        EXPECT_EQ(seek.Changed(), 0);  // a seek starts afresh
        EXPECT_EQ(std::vector<int>(walk.Traits(), walk.Traits() + k), order[i]);
        EXPECT_EQ(walk.Changed(), changed[i]);
    }
}

// A synthetic criterion: values from a few levels of the traits' sum, so that many subsets tie
// and more than 100 enter the lists; each subset writes one line and each size one line.
struct Synthetic {
    std::string text;
    chrank::Search search;
    Synthetic(int kMax, Rank rank) : search(kMax, rank, rank == Rank::kAbsolute ? 0.0 : -1e300, rank, rank == Rank::kAbsolute) {}
};

struct NoWork {};

// What a worker's space and each evaluation do besides the synthetic criterion: the space is made
// by make() (nullptr: made plainly), and before each value evaluate(chunk) runs on the thread that
// evaluates it; `chunk` says that the value's text goes to a chunk's own stream, that is, the
// search shares its work among threads (with the lines asked for: one thread writes them to the
// file itself).
struct WorkerHooks {
    std::function<std::unique_ptr<NoWork>()> make;
    std::function<void(bool chunk)> evaluate;
};

Synthetic RunSynthetic(int threads, Rank rank, bool lines, const WorkerHooks& hooks = {}) {
    ThreadCount count(threads);
    const std::vector<int> eligible = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Enumeration en(eligible, 2, 12);
    Synthetic out(en.KMax(), rank);
    // The text of the search, released when the search raises an error too.
    struct Text {
        char* buf = nullptr;
        size_t size = 0;
        FILE* f = open_memstream(&buf, &size);
        ~Text() {
            if (f) std::fclose(f);
            std::free(buf);
        }
    } text;
    FILE* f = text.f;
    chrank::Progress progress(en.Total());
    chrank::EvaluateSubsets<NoWork>(
        en, out.search, 3, progress, lines ? f : nullptr, nullptr,
        [&] { return hooks.make ? hooks.make() : std::make_unique<NoWork>(); },
        [&](NoWork&, const int* t, int k, int, FILE* text, FILE*) {
            if (hooks.evaluate) hooks.evaluate(text != nullptr && text != f);
            int sum = 0;
            for (int i = 0; i < k; i++) sum += t[i] * (i + 1);
            const double value = (sum % 5 - 2) * 0.25;  // -0.5 .. 0.5: ties, both signs, zeros
            if (text) fprintf(text, "%d:%g\n", k, value);
            return value;
        },
        [&](int k) { fprintf(f, "size %d done\n", k); });
    std::fclose(f);
    text.f = nullptr;
    out.text.assign(text.buf, text.size);
    return out;
}

TEST(ChRankThreads, RecordsListsAndTextAreThoseOfOneThreadWithTies) {
    for (Rank rank : {Rank::kSigned, Rank::kAbsolute})
        for (bool lines : {false, true}) {
            const Synthetic one = RunSynthetic(1, rank, lines);
            for (int threads : {2, 3, 4}) {
                SCOPED_TRACE(testing::Message() << "absolute " << (rank == Rank::kAbsolute) << " lines " << lines
                                                << " threads " << threads);
                const Synthetic many = RunSynthetic(threads, rank, lines);
                EXPECT_EQ(many.text, one.text);
                for (int k = 2; k <= 12; k++) {
                    EXPECT_TRUE(many.search.sizes[k].filled);
                    EXPECT_EQ(many.search.sizes[k].best.value, one.search.sizes[k].best.value);
                    EXPECT_EQ(many.search.sizes[k].best.traits, one.search.sizes[k].best.traits);
                    EXPECT_EQ(many.search.sizes[k].best.groups, 3);
                }
                EXPECT_FALSE(many.search.sizes[1].filled);
                for (int i = 0; i < one.search.top.Size(); i++) {
                    EXPECT_EQ(many.search.top.Slot(i).value, one.search.top.Slot(i).value) << i;
                    EXPECT_EQ(many.search.top.Slot(i).traits, one.search.top.Slot(i).traits) << i;
                }
            }
            // Every slot is filled, with at most 5 distinct values: ties decided which stayed.
            EXPECT_FALSE(one.search.top.Slot(1).traits.empty());
            if (lines) {
                EXPECT_EQ(tnxtest::Count(one.text, "size "), 11);
                EXPECT_EQ(tnxtest::Count(one.text, ":"), 4096 - 1 - 12);
            }
        }
}

// Four threads asked for while the system refuses every start, or every start after the first:
// the search is one thread's, text included.
TEST(ChRankThreads, ThreadsTheSystemRefusesLeaveTheirShareToTheOthers) {
    const Synthetic one = RunSynthetic(1, Rank::kSigned, true);
    for (int allowed : {0, 1}) {
        RefusedThreads refusal(allowed);
        const Synthetic many = RunSynthetic(4, Rank::kSigned, true);
        EXPECT_GE(refusal.Refused(), 1) << allowed;
        EXPECT_EQ(many.text, one.text) << allowed;
        for (int k = 2; k <= 12; k++) {
            EXPECT_EQ(many.search.sizes[k].best.value, one.search.sizes[k].best.value) << allowed << " " << k;
            EXPECT_EQ(many.search.sizes[k].best.traits, one.search.sizes[k].best.traits) << allowed << " " << k;
        }
    }
}

// Whether two searches left the same text, per-size records and top list.
bool SameSearch(const Synthetic& a, const Synthetic& b) {
    if (a.text != b.text) return false;
    for (int k = 2; k <= 12; k++)
        if (a.search.sizes[k].best.value != b.search.sizes[k].best.value ||
            a.search.sizes[k].best.traits != b.search.sizes[k].best.traits)
            return false;
    for (int i = 0; i < a.search.top.Size(); i++)
        if (a.search.top.Slot(i).value != b.search.top.Slot(i).value ||
            a.search.top.Slot(i).traits != b.search.top.Slot(i).traits)
            return false;
    return true;
}

// Four workers asked for while memory refuses the work space of every worker beyond the calling
// thread (code 1 or bad_alloc), or of the second only: the search is one thread's, text included,
// and every worker started tried to make its space. The calling thread's space refused ends the
// search with code 1: not even one thread fits.
TEST(ChRankThreads, AWorkSpaceMemoryRefusesLeavesItsShareToTheOthers) {
    const Synthetic one = RunSynthetic(1, Rank::kSigned, true);
    // refused: the call of make() refused, 0 for every call after the first.
    struct Row { const char* refusal; int refused; bool badAlloc; };
    const Row rows[] = {{"every worker, code 1", 0, false}, {"every worker, bad_alloc", 0, true},
                        {"the second space only", 2, false}};
    for (const Row& r : rows) {
        std::atomic<int> made{0};
        WorkerHooks hooks;
        hooks.make = [&] {
            const int call = ++made;
            if (call > 1 && (r.refused == 0 || r.refused == call)) {
                if (r.badAlloc) throw std::bad_alloc();
                RaiseError(TNX_OUT_OF_MEMORY);
            }
            return std::make_unique<NoWork>();
        };
        const Synthetic many = RunSynthetic(4, Rank::kSigned, true, hooks);
        EXPECT_EQ(made.load(), 4) << r.refusal;
        EXPECT_TRUE(SameSearch(many, one)) << r.refusal;
    }
    WorkerHooks none;
    none.make = []() -> std::unique_ptr<NoWork> { RaiseError(TNX_OUT_OF_MEMORY); };
    EXPECT_EQ(tnxtest::CodeOf([&] { RunSynthetic(4, Rank::kSigned, true, none); }), TNX_OUT_OF_MEMORY);
}

// Four workers asked for, each value through a product of the BLAS, while a worker's BLAS work
// buffer is refused: the first worker to make its space lowers the address-space limit of the
// process (a child) below a buffer, so that every worker after the calling thread, which holds
// its buffer already, is refused its own at its first product, in the middle of a chunk. They give
// their chunks back and leave: the search is one thread's, text included. The order is forced:
// the other workers make their spaces only once the limit is lowered (one that ran ahead would
// map its buffer between the reading of the space in use and the lowering, leaving the process
// above its new limit), and the calling thread's first value on a chunk waits until a worker has
// tried its first product (left alone, it may evaluate every chunk before a worker takes one).
// The child's status sets one bit per check that failed.
TEST(ChRankThreads, ABlasBufferMemoryRefusesLeavesItsShareToTheOthers) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::atomic<int> refused{0}, made{0};
        const std::thread::id caller = std::this_thread::get_id();
        std::mutex lock;
        std::condition_variable moved;
        bool lowered = false;  // the limit is in place
        bool tried = false;    // a worker has tried its first product
        WorkerHooks hooks;
        hooks.evaluate = [&](bool chunk) {
            const bool onCaller = std::this_thread::get_id() == caller;
            if (chunk && onCaller) {
                std::unique_lock<std::mutex> hold(lock);
                moved.wait(hold, [&] { return tried; });
            }
            // Whether the product succeeds or is refused, a worker has tried it.
            const auto triedIt = [&] {
                if (onCaller) return;
                std::lock_guard<std::mutex> hold(lock);
                tried = true;
                moved.notify_all();
            };
            const double a[4] = {1, 2, 3, 4};
            double c[4];
            try {
                MatMul(2, 2, 2, a, 2, a, 2, c, 2);
            } catch (const TnxError&) {
                refused++;
                triedIt();
                throw;
            }
            triedIt();
        };
        const Synthetic one = RunSynthetic(1, Rank::kSigned, true, hooks);
        hooks.make = [&] {
            const int call = ++made;
            if (call == 2) {
                rlimit limit{};
                getrlimit(RLIMIT_AS, &limit);
                limit.rlim_cur = rlim_t(AddressSpaceInUse() + BlasBufferBytes() / 2);
                if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(64);
                std::lock_guard<std::mutex> hold(lock);
                lowered = true;
                moved.notify_all();
            } else if (call > 2) {
                std::unique_lock<std::mutex> hold(lock);
                moved.wait(hold, [&] { return lowered; });
            }
            return std::make_unique<NoWork>();
        };
        const Synthetic many = RunSynthetic(4, Rank::kSigned, true, hooks);
        int failed = 0;
        if (made.load() < 2) failed |= 1;
        if (refused.load() < 1) failed |= 2;
        if (!SameSearch(many, one)) failed |= 4;
        _exit(failed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A chunk given back after the last one was handed out is still evaluated: a worker that asks for
// a chunk while none is left but one is being evaluated waits, since that one may come back; once
// it does, the worker takes it. Only with none left and none being evaluated is there nothing to
// take. Seven subsets of one each, two workers: the first takes all seven and finishes six.
TEST(ChRankThreads, AChunkGivenBackAfterTheLastWasHandedOutIsTakenAgain) {
    const std::vector<int> eligible = {0, 1, 2};
    Enumeration en(eligible, 1, 3);
    chrank::Search search(en.KMax(), Rank::kSigned, -1e300, Rank::kSigned, false);
    int sizesDone = 0;
    chrank::ChunkQueue queue(en, 2, 1, search, 0, nullptr, nullptr, [&](int) { sizesDone++; }, 0);
    std::vector<chrank::Chunk> taken(7);
    for (chrank::Chunk& c : taken) ASSERT_TRUE(queue.Take(&c));
    for (int i = 0; i < 6; i++) {
        queue.Output(taken[i]).values[0] = 0.25;
        queue.Done(taken[i]);
    }
    std::atomic<bool> returned{false};
    bool took = false;
    chrank::Chunk again;
    std::thread other([&] {
        took = queue.Take(&again);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned.load());  // waiting for the chunk being evaluated
    queue.GiveBack(taken[6]);
    other.join();
    ASSERT_TRUE(took);
    EXPECT_EQ(again.index, taken[6].index);
    EXPECT_EQ(again.k, 3);
    queue.Output(again).values[0] = 0.75;
    queue.Done(again);
    chrank::Chunk none;
    EXPECT_FALSE(queue.Take(&none));  // none left, none being evaluated
    EXPECT_EQ(sizesDone, 3);
    EXPECT_TRUE(search.sizes[3].filled);
    EXPECT_EQ(search.sizes[3].best.value, 0.75);
}

TEST(ChRankThreads, AWorkersErrorReachesTheCaller) {
    ThreadCount count(4);
    const std::vector<int> eligible = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Enumeration en(eligible, 1, 10);
    chrank::Search search(en.KMax(), Rank::kSigned, -1e300, Rank::kSigned, false);
    chrank::Progress progress(en.Total());
    int sizesDone = 0;
    try {
        chrank::EvaluateSubsets<NoWork>(
            en, search, 0, progress, nullptr, nullptr, [] { return std::make_unique<NoWork>(); },
            [](NoWork&, const int* t, int k, int, FILE*, FILE*) {
                if (k == 5 && t[0] == 2) RaiseError(TNX_OUT_OF_MEMORY);
                return 0.5;
            },
            [&](int) { sizesDone++; });
        FAIL() << "no error";
    } catch (const TnxError& e) {
        EXPECT_EQ(e.code(), TNX_OUT_OF_MEMORY);
    }
    // Sizes after the failing one are never completed.
    EXPECT_LE(sizesDone, 4);
}

// Result and structure files without their time-stamp and elapsed-time lines, byte for byte
// otherwise.
std::string Stable(const std::string& text) {
    std::string kept;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string line = text.substr(at, end - at);
        if (!tnxtest::IsTimeStampLine(line) && line.rfind("Elapsed time:", 0) != 0) kept += line;
        at = end;
    }
    return kept;
}

class ChRankThreadFiles : public tnxtest::TempDirTest {};

TEST_F(ChRankThreadFiles, EveryCriterionAndMeasureWritesTheSameFilesOnOneAndOnFourThreads) {
    // Eight traits of which t2 repeats t1 and t6 repeats t5, so that subsets tie exactly: the
    // first six (t7 and t8 weighted 0) with intermediate lines and the structure file, then all
    // eight without either (more than 100 subsets enter the lists; larger chunks).
    const struct {
        int criterion;
        int fuzzyOption;  // 3 fuzzy types, 0 crisp (every subset of criterion 1 ties)
    } cases[] = {{1, 3}, {1, 0}, {9, 3},  {10, 3}, {11, 3}, {12, 3}, {13, 3}, {14, 3}, {15, 3},
                 {16, 3}, {17, 3}, {18, 3}, {19, 3}, {20, 3}, {21, 3}, {22, 3}, {23, 3}, {24, 3}};
    Survey sv = RandomSurvey(30, 8, 8, 7, 2, true);
    for (auto& row : sv.B) row[1] = row[0], row[5] = row[4];
    for (const auto& c : cases)
        for (int measure = 1; measure <= 3; measure++)
            for (bool printed : {true, false}) {
                SCOPED_TRACE(testing::Message() << "criterion " << c.criterion << " fuzzy " << c.fuzzyOption
                                                << " measure " << measure << " printed " << printed);
                std::vector<int> partition(sv.s);
                for (int i = 0; i < sv.s; i++) partition[i] = c.criterion == 24 ? sv.s - i : 1 + i % 3;
                LoadSurvey(sv, c.criterion, partition);
                const std::string structureFile =
                    c.criterion >= 11 && c.criterion <= 13 ? "IntermediateRankResults.txt" : "s1Str.txt";
                std::string files[2];
                for (int run = 0; run < 2; run++) {
                    ThreadCount count(run == 0 ? 1 : 4);
                    opt_ro = measure, fuzzy = c.fuzzyOption;
                    printRankIntermedResults = printed ? 'y' : 'n';
                    saveStruct = printed ? 'y' : 'n';
                    if (printed) weight[6] = weight[7] = 0.0f;
                    std::remove(structureFile.c_str());
                    ASSERT_EQ(RunCriterion(c.criterion), kChRankDone);
                    files[run] = Stable(Read("s1ChRank.txt")) + (printed ? Stable(Read(structureFile)) : "");
                }
                EXPECT_EQ(files[1], files[0]);
                EXPECT_EQ(tnxtest::Count(files[0], printed ? "with 6 traits: \t" : "with 8 traits: \t"), 1);
            }
}

}  // namespace
