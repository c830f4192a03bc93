// Number of worker threads: TARNEX_THREADS asks for a count when it is a whole number from 1 to
// 1024 and is named on the error stream otherwise; the count is held to the CPUs, the work, the
// address-space and data limits and the machine's memory, each worker counted with its work space.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/ClaimedCpus.h"
#include "foundation/TnxBlas.h"
#include "foundation/TnxThreads.h"

namespace {

// Sets TARNEX_THREADS for one scope and restores what was there.
class ThreadsVariable {
public:
    explicit ThreadsVariable(const char* value) {
        if (const char* old = std::getenv("TARNEX_THREADS")) { had_ = true; old_ = old; }
        if (value) setenv("TARNEX_THREADS", value, 1); else unsetenv("TARNEX_THREADS");
    }
    ~ThreadsVariable() {
        if (had_) setenv("TARNEX_THREADS", old_.c_str(), 1); else unsetenv("TARNEX_THREADS");
    }

private:
    bool had_ = false;
    std::string old_;
};

}  // namespace

TEST(WorkerThreads, VariableWinsOnlyWhenItIsAWholeNumberInRange) {
    struct Row { const char* value; int expected; };  // expected 0: the machine's own count
    const Row rows[] = {
        {nullptr, 0}, {"1", 1}, {"4", 4}, {"1024", 1024}, {"1025", 0}, {"0", 0}, {"-2", 0},
        {"", 0}, {"4x", 0}, {"x4", 0}, {"2.5", 0}, {"99999999999999999999", 0},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ThreadsAsked(r.value, CpusAvailable(), nullptr), r.expected ? r.expected : CpusAvailable())
            << (r.value ? r.value : "(unset)");
}

// A whole number from 1 to 1024 is taken with or without blanks around it (spaces, tabs, a line
// end) and with a plus sign or leading zeros, as the C library reads a number; anything else is
// named in one line and the fallback used: both sides of 1 and of 1024, blanks inside it, signs
// apart from it, no digits, letters, a fraction, a number too large for a long. The line names the
// value as it was given and the count used instead (6 threads here, or 1 thread).
TEST(WorkerThreads, AWholeNumberIsTakenWithBlanksAroundItAnythingElseIsNamed) {
    struct Row { const char* value; int taken; };  // taken 0: named, the fallback used
    const Row rows[] = {
        {"4", 4},       {" 4", 4},      {"4 ", 4},       {" 4 ", 4},     {"\t4\t", 4},  {"  4\n", 4},
        {"+4", 4},      {" +4 ", 4},    {"04", 4},       {"0004 ", 4},   {"1", 1},      {" 1 ", 1},
        {"1024", 1024}, {" 1024 ", 1024}, {"01024", 1024}, {"0", 0},     {" 0 ", 0},    {"+0", 0},
        {"1025", 0},    {" 1025 ", 0},  {"-1", 0},       {" -4 ", 0},    {"", 0},       {" ", 0},
        {"\t\n", 0},    {"4 4", 0},     {"1 024", 0},    {"+ 4", 0},     {"- 4", 0},    {"++4", 0},
        {"4+", 0},      {"four", 0},    {"4x", 0},       {" x4", 0},     {"4 x", 0},    {"0x4", 0},
        {"2.5", 0},     {"4.", 0},      {"1e2", 0},      {"99999999999999999999", 0},
    };
    for (const Row& r : rows)
        for (int fallback : {6, 1}) {
            std::string notice = "untouched";
            EXPECT_EQ(ThreadsAsked(r.value, fallback, &notice), r.taken ? r.taken : fallback)
                << "\"" << r.value << "\"";
            const std::string named = std::string("TARNEX_THREADS=\"") + r.value +
                                      "\" is not a whole number from 1 to 1024: the default is used instead, " +
                                      (fallback == 1 ? "1 thread" : "6 threads") +
                                      " (one per CPU the program may run on).\n";
            EXPECT_EQ(notice, r.taken ? "untouched" : named) << "\"" << r.value << "\"";
        }
    std::string notice = "untouched";
    EXPECT_EQ(ThreadsAsked(nullptr, 6, &notice), 6);  // unset: the fallback, nothing named
    EXPECT_EQ(notice, "untouched");
}

// The workers an address-space limit holds: one for the calling thread, one more per footprint
// left once the calling thread has what it still needs, never more than asked. 1000 bytes of limit,
// 100 per worker, by hand: (1000 - 300 - 100) / 100 = 6 more workers, 7 in all.
TEST(WorkerThreads, TheLimitHoldsOnePlusAWorkerPerFootprintLeft) {
    struct Row { size_t limit, used, caller, per; int asked, expected; };
    const Row rows[] = {
        {1000, 300, 100, 100, 16, 7}, {1000, 300, 100, 100, 7, 7}, {1000, 300, 100, 100, 6, 6},
        {999, 300, 100, 100, 16, 6},   // one byte short of the seventh
        {1000, 300, 0, 100, 16, 8},     {1000, 300, 101, 100, 16, 6},
        {400, 300, 100, 100, 16, 1},    // the calling thread's need takes all that is left
        {401, 300, 100, 100, 16, 1},    {500, 300, 100, 100, 16, 2},
        {300, 300, 0, 100, 16, 1},      {200, 300, 0, 100, 16, 1},  // already at or past the limit
        {1000, 300, 100, 0, 16, 1},     {1000, 300, 100, 100, 0, 1},
        {size_t(-1), 0, 0, 1, 1024, 1024},
    };
    for (const Row& r : rows)
        EXPECT_EQ(WorkersWithin(r.limit, r.used, r.caller, r.per, r.asked), r.expected)
            << r.limit << " " << r.used << " " << r.caller << " " << r.per << " " << r.asked;
}

namespace {


// WorkerThreads in a child process under a limit of `workers` and a half footprints beyond what
// it uses and what its calling thread still needs: the count the child finds, or -1.
int WorkersUnderLimit(const char* asked, double workers) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (asked) setenv("TARNEX_THREADS", asked, 1); else unsetenv("TARNEX_THREADS");
        const ClaimedCpus cpus(64);
        const size_t caller = HoldsBlasBuffer() ? 0 : BlasBufferBytes();
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur =
            rlim_t(AddressSpaceInUse() + caller + size_t(workers * double(WorkerFootprint({}, true).addressSpace)));
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(255);
        _exit(WorkerThreads({}, true, 1024));
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

}  // namespace

// Under an address-space limit the count asked for is held to what the limit leaves; 1 asked is 1.
TEST(WorkerThreads, AnAddressSpaceLimitHoldsTheCountAskedFor) {
    struct Row { const char* asked; double workers; int expected; };
    const Row rows[] = {
        {"8", 2.5, 3}, {"8", 0.5, 1}, {"2", 2.5, 2}, {"1", 2.5, 1}, {"16", 5.5, 6},
        {nullptr, 0.5, 1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(WorkersUnderLimit(r.asked, r.workers), r.expected) << (r.asked ? r.asked : "(unset)") << " " << r.workers;
}

// A worker's space that memory refuses (code 1 or bad_alloc) ends the making beyond the first worker;
// for the first, or for any other error, the exception goes on.
TEST(WorkerThreads, RefusedMemoryEndsTheMakingOnlyBeyondTheFirstWorker) {
    enum Outcome { kMade, kRefused, kThrown };
    struct Row { int worker; int raise; Outcome expected; };   // raise: 0 none, a code, or -1 bad_alloc
    const Row rows[] = {{0, 0, kMade}, {3, 0, kMade}, {1, 1, kRefused}, {1, -1, kRefused},
                        {0, 1, kThrown}, {0, -1, kThrown}, {1, 2, kThrown}, {1, 4, kThrown}};
    for (const Row& r : rows) {
        Outcome got = kThrown;
        try {
            got = MakeWorkerSpace(r.worker, [&] {
                if (r.raise == -1) throw std::bad_alloc();
                if (r.raise > 0) RaiseError(r.raise);
            }) ? kMade : kRefused;
        } catch (...) {
        }
        EXPECT_EQ(got, r.expected) << r.worker << " " << r.raise;
    }
}

namespace {

// Bounds with no limit and no memory figure: 16 asked on 8 CPUs, 100 work items, each worker
// taking 100 bytes of address space and 60 of data, the calling thread needing nothing more.
WorkerBounds Open() {
    WorkerBounds b;
    b.asked = 16;
    b.cpus = 8;
    b.work = 100;
    b.worker = {100, 60};
    return b;
}

}  // namespace

// Each bound on both sides of the count it allows, worked by hand. Address space: (1000 - 300) /
// 100 = 7 more workers, 8 in all, and one byte less leaves 6 more. Data: (1000 - 580) / 60 = 7 more.
// Memory: 420 / 60 = 7 more, and with the calling thread needing 60 first, 480 bytes hold the same.
TEST(WorkerThreads, TheCountIsHeldToTheTightestBoundOnBothSidesOfEach) {
    struct Row {
        const char* bound;
        void (*set)(WorkerBounds&);
        int expected;
    };
    const Row rows[] = {
        {"none beyond the CPUs", [](WorkerBounds&) {}, 8},
        {"CPUs 7", [](WorkerBounds& b) { b.cpus = 7; }, 7},
        {"asked 7", [](WorkerBounds& b) { b.asked = 7; }, 7},
        {"asked 8", [](WorkerBounds& b) { b.asked = 8; }, 8},
        {"asked 0", [](WorkerBounds& b) { b.asked = 0; }, 1},
        {"CPUs 0", [](WorkerBounds& b) { b.cpus = 0; }, 1},
        {"work 8", [](WorkerBounds& b) { b.work = 8; }, 8},
        {"work 7", [](WorkerBounds& b) { b.work = 7; }, 7},
        {"work 1", [](WorkerBounds& b) { b.work = 1; }, 1},
        {"work 0", [](WorkerBounds& b) { b.work = 0; }, 1},
        {"address space 1000", [](WorkerBounds& b) { b.addressLimit = 1000, b.addressUsed = 300; }, 8},
        {"address space 999", [](WorkerBounds& b) { b.addressLimit = 999, b.addressUsed = 300; }, 7},
        {"address space used up", [](WorkerBounds& b) { b.addressLimit = 300, b.addressUsed = 300; }, 1},
        {"data 1000", [](WorkerBounds& b) { b.dataLimit = 1000, b.dataUsed = 580; }, 8},
        {"data 999", [](WorkerBounds& b) { b.dataLimit = 999, b.dataUsed = 580; }, 7},
        {"data 640, one worker more", [](WorkerBounds& b) { b.dataLimit = 640, b.dataUsed = 580; }, 2},
        {"data 639", [](WorkerBounds& b) { b.dataLimit = 639, b.dataUsed = 580; }, 1},
        {"memory 420", [](WorkerBounds& b) { b.memoryAvailable = 420; }, 8},
        {"memory 419", [](WorkerBounds& b) { b.memoryAvailable = 419; }, 7},
        {"memory 480, caller 60", [](WorkerBounds& b) { b.memoryAvailable = 480, b.caller = {0, 60}; }, 8},
        {"memory 480, caller 61", [](WorkerBounds& b) { b.memoryAvailable = 480, b.caller = {0, 61}; }, 7},
        {"address space 1000, caller 1", [](WorkerBounds& b) { b.addressLimit = 1000, b.addressUsed = 300,
                                                               b.caller = {1, 0}; }, 7},
        // Address space 6 more, data 2 more, memory 5 more: the data limit is the tightest.
        {"the tightest of three", [](WorkerBounds& b) {
             b.addressLimit = 900, b.addressUsed = 300, b.dataLimit = 700, b.dataUsed = 580, b.memoryAvailable = 300;
         }, 3},
        // A worker's space counts: 700 bytes left hold 3 workers of 200 (100 more of space).
        {"a space of 100", [](WorkerBounds& b) {
             b.addressLimit = 1000, b.addressUsed = 300, b.worker.addressSpace = 200;
         }, 4},
    };
    for (const Row& r : rows) {
        WorkerBounds b = Open();
        r.set(b);
        EXPECT_EQ(WorkerCount(b), r.expected) << r.bound;
    }
}

// Asking for more threads never gives fewer, and neither does a larger limit or more memory: the
// count over every asked count and limit of a grid never falls as either grows, and never passes
// the count asked for.
TEST(WorkerThreads, AskingForMoreOrALargerLimitNeverGivesFewer) {
    for (size_t caller : {size_t(0), size_t(130)}) {
        for (int asked = 1; asked <= 20; asked++) {
            int previous = 0;
            for (size_t limit = 0; limit <= 3000; limit += 37) {
                for (int which = 0; which < 3; which++) {
                    WorkerBounds b = Open();
                    b.asked = asked;
                    b.cpus = 16;
                    b.caller = {caller, caller};
                    if (which == 0) b.addressLimit = limit, b.addressUsed = 300;
                    if (which == 1) b.dataLimit = limit, b.dataUsed = 300;
                    if (which == 2) b.memoryAvailable = limit;
                    const int count = WorkerCount(b);
                    b.asked = asked + 1;
                    EXPECT_GE(WorkerCount(b), count) << asked << " " << limit << " " << which;
                    EXPECT_LE(count, asked);
                    EXPECT_GE(count, 1);
                    if (which == 0) {
                        EXPECT_GE(count, previous) << asked << " " << limit;
                        previous = count;
                    }
                }
            }
        }
    }
}

namespace {

// What a child process finds with TARNEX_THREADS set to `value` (nullptr: unset) on `cpus`
// claimed CPUs: the count WorkersAsked gives for a large loop, asked three times, and all it wrote
// on the error stream; count -1 when the child failed.
struct Asked {
    int count = -1;
    std::string error;
};

Asked AskInChild(const char* value, int cpus) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], 2);
        const ClaimedCpus claim(cpus);
        const ThreadsVariable v(value);
        int count = WorkersAsked(int64_t(1) << 40);
        for (int again = 0; again < 2; again++)
            if (WorkersAsked(int64_t(1) << 40) != count) count = 255;
        std::fflush(stderr);
        _exit(count);
    }
    close(pipeFds[1]);
    Asked got;
    char buf[512];
    for (ssize_t r; (r = read(pipeFds[0], buf, sizeof buf)) > 0;) got.error.append(buf, size_t(r));
    close(pipeFds[0]);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) got.count = WEXITSTATUS(status);
    return got;
}

}  // namespace

// A whole number from 1 to 1024 asks for that count, held to the CPUs, without a word; anything
// else is named once, however many loops read it, with the count used instead (one per CPU).
TEST(WorkerThreads, ABadValueIsNamedOnceWithTheCountUsed) {
    const std::string used = "\" is not a whole number from 1 to 1024: the default is used instead, 6 threads (one "
                             "per CPU the program may run on).\n";
    struct Row { const char* value; int count; const char* named; };
    const Row rows[] = {
        {"4", 4, nullptr}, {"6", 6, nullptr}, {"1", 1, nullptr}, {"32", 6, nullptr}, {"1024", 6, nullptr},
        {nullptr, 6, nullptr}, {"0", 6, "0"}, {"1025", 6, "1025"}, {"abc", 6, "abc"}, {"", 6, ""}, {"4x", 6, "4x"},
    };
    for (const Row& r : rows) {
        const Asked got = AskInChild(r.value, 6);
        const std::string label = r.value ? r.value : "(unset)";
        EXPECT_EQ(got.count, r.count) << label;
        EXPECT_EQ(got.error, r.named ? "TARNEX_THREADS=\"" + std::string(r.named) + used : "") << label;
    }
    // One CPU: the default is one thread.
    EXPECT_EQ(AskInChild("x", 1).error,
              "TARNEX_THREADS=\"x\" is not a whole number from 1 to 1024: the default is used instead, 1 thread (one "
              "per CPU the program may run on).\n");
}

// The CPUs the process may run on, as taskset leaves them, hold the count: a child process bound
// to one of its CPUs, and to two where it has two, asking for 8.
TEST(WorkerThreads, TheAffinityMaskHoldsTheCount) {
    cpu_set_t mine;
    CPU_ZERO(&mine);
    ASSERT_EQ(sched_getaffinity(0, sizeof mine, &mine), 0);
    std::vector<int> cpus;
    for (int c = 0; c < CPU_SETSIZE && cpus.size() < 2; c++)
        if (CPU_ISSET(c, &mine)) cpus.push_back(c);
    for (size_t bound = 1; bound <= cpus.size(); bound++) {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            cpu_set_t set;
            CPU_ZERO(&set);
            for (size_t i = 0; i < bound; i++) CPU_SET(cpus[i], &set);
            if (sched_setaffinity(0, sizeof set, &set) != 0) _exit(255);
            const ThreadsVariable v("8");
            _exit(CpusAvailable() == int(bound) ? WorkersAsked(1000) : 254);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), int(bound));
    }
}

namespace {

// WorkerThreads in a child process on 64 claimed CPUs, under a data limit (ulimit -d) of `workers`
// footprints, as the data limit counts them, beyond what the child uses and what its calling thread
// still needs: the count it finds, or -1. Each worker's space is `space` bytes.
int WorkersUnderDataLimit(const char* asked, double workers, size_t space) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const ClaimedCpus cpus(64);
        const ThreadsVariable v(asked);
        const size_t caller = HoldsBlasBuffer() ? 0 : BlasBufferBytes();
        const WorkerCost spaceCost{space, space};
        rlimit limit{};
        getrlimit(RLIMIT_DATA, &limit);
        limit.rlim_cur =
            rlim_t(DataInUse() + caller + size_t(workers * double(WorkerFootprint(spaceCost, true).data)));
        if (setrlimit(RLIMIT_DATA, &limit) != 0) _exit(255);
        _exit(WorkerThreads(spaceCost, true, 1024));
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

}  // namespace

// Under a data limit the count asked for is held to what the limit leaves, each worker counted with
// its stack, its BLAS buffer and its work space (here none, and 64 MiB).
TEST(WorkerThreads, ADataLimitHoldsTheCountAskedFor) {
    struct Row { const char* asked; double workers; size_t space; int expected; };
    const Row rows[] = {
        {"8", 2.5, 0, 3}, {"8", 0.5, 0, 1}, {"2", 2.5, 0, 2}, {"16", 5.5, 0, 6},
        {"8", 2.5, size_t(64) << 20, 3}, {"8", 3.9, size_t(64) << 20, 4}, {"8", 0.9, size_t(64) << 20, 1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(WorkersUnderDataLimit(r.asked, r.workers, r.space), r.expected)
            << r.asked << " " << r.workers << " " << r.space;
}

// What a work space takes is measured whatever the allocator does with it: 64 MiB in one block
// (mapped on its own), and 16 MiB of small blocks laid in memory that blocks freed just before
// left, where the process does not grow; nothing made measures less than a MiB.
TEST(WorkerThreads, TheFirstSpaceIsMeasuredByWhatItTakes) {
    const size_t big = size_t(64) << 20, mib = size_t(1) << 20;
    std::vector<char> block;
    const WorkerCost one = MeasureSpace([&] { block.assign(big, 1); });
    EXPECT_GE(one.addressSpace, big);
    EXPECT_GE(one.data, big);
    EXPECT_LT(one.data, big + 8 * mib);

    std::vector<std::vector<char>> small(4096);
    for (auto& b : small) b.assign(4096, 1);
    for (auto& b : small) std::vector<char>().swap(b);
    const WorkerCost reused = MeasureSpace([&] {
        for (auto& b : small) b.assign(4096, 2);
    });
    EXPECT_GE(reused.data, 4096 * size_t(4096));
    EXPECT_GE(reused.addressSpace, 4096 * size_t(4096));

    const WorkerCost none = MeasureSpace([] {});
    EXPECT_LT(none.data, mib);
    EXPECT_LT(none.addressSpace, mib);
}
