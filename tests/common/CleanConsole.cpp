// Every test starts from the console state the program starts with: a progress line left pending by
// an earlier test would otherwise put its two line ends ("\n\n" from ClearLine) at the head of what
// the next test prints, and text still in standard output's buffer would land in the next capture.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "foundation/ConsoleReaders.h"
#include "foundation/iflibG.h"

namespace {

// Resets the console before each test, after the test's name is printed and before its fixture.
class CleanConsole : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        std::fflush(stdout);
        std::clearerr(stdout);
        // No progress line pending, and the next one a full interval away, as at start-up.
        is40CharLine = 0;
        is80CharLine = 0;
        t2 = std::clock();
        InitConsoleStreams();
    }
};

// Registered when the test program is loaded, before main runs the tests; the list of listeners
// owns it.
const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new CleanConsole);
    return true;
}();

}  // namespace
