// Every test starts from the console state the program starts with: a progress line left pending by
// an earlier test would otherwise put its two line ends ("\n\n" from ClearLine) at the head of what
// the next test prints, and text still in standard output's buffer would land in the next capture.
// A capture of standard output or error that a test left on (an exception or a failed assertion
// between the capture and its end) is released when the test ends: the next capture would
// otherwise end the whole program.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "common/CaptureRelease.h"
#include "foundation/ConsoleReaders.h"
#include "foundation/iflibG.h"

namespace {

// Names a test that ended with a stream still captured, on standard error once it is released.
void NoteReleased(const testing::TestInfo& test, const char* stream) {
    std::fprintf(stderr, "%s.%s ended with its standard %s captured: the capture is released, its text written "
                 "above.\n", test.test_suite_name(), test.name(), stream);
}

// Resets the console before each test, after the test's name is printed and before its fixture;
// releases the captures left on after each test, after its fixture and before its result is
// printed.
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
    void OnTestEnd(const testing::TestInfo& test) override {
        const int released = tnxtest::ReleaseCaptures(uncaptured_);
        if (released & tnxtest::kStdoutReleased) NoteReleased(test, "output");
        if (released & tnxtest::kStderrReleased) NoteReleased(test, "error");
    }
    tnxtest::ConsoleFiles uncaptured_;  // standard output and error as the program is loaded with them
};

// Registered when the test program is loaded, before main runs the tests; the list of listeners
// owns it.
const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new CleanConsole);
    return true;
}();

}  // namespace
