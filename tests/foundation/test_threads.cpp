// Number of worker threads: TARNEX_THREADS wins when it is a whole number from 1 to 1024.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

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

int Hardware() {
    const unsigned hw = std::thread::hardware_concurrency();
    return hw >= 1 ? static_cast<int>(hw) : 1;
}

}  // namespace

TEST(WorkerThreads, VariableWinsOnlyWhenItIsAWholeNumberInRange) {
    struct Row { const char* value; int expected; };  // expected 0: the machine's own count
    const Row rows[] = {
        {nullptr, 0}, {"1", 1}, {"4", 4}, {"1024", 1024}, {"1025", 0}, {"0", 0}, {"-2", 0},
        {"", 0}, {"4x", 0}, {"x4", 0}, {"2.5", 0}, {"99999999999999999999", 0},
    };
    for (const Row& r : rows) {
        ThreadsVariable v(r.value);
        EXPECT_EQ(WorkerThreads(), r.expected ? r.expected : Hardware()) << (r.value ? r.value : "(unset)");
    }
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
        const size_t caller = HoldsBlasBuffer() ? 0 : BlasBufferBytes();
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = rlim_t(AddressSpaceInUse() + caller + size_t(workers * double(WorkerFootprint())));
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(255);
        _exit(WorkerThreads());
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
