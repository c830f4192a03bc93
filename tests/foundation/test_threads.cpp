// Number of worker threads: TARNEX_THREADS wins when it is a whole number from 1 to 1024.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

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
