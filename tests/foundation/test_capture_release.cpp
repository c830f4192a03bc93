// The release of the stream captures a test leaves on (the listener of every test program calls it
// when a test ends). Each case runs in a child process writing on unnamed temporary files: a release
// that fails ends only that child (GoogleTest aborts a second capture).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/CaptureRelease.h"

namespace {

namespace ti = testing::internal;
using tnxtest::kStderrReleased;
using tnxtest::kStdoutReleased;

struct ReleaseCase {
    const char* what;
    int capture;      // the streams the test captures (kStdoutReleased, kStderrReleased)
    bool endsOwn;     // the test ends its own capture of standard output before the release
    bool elsewhere;   // standard output sent by the test to a file of its own, not a capture
    int released;     // the streams the release gives back
    const char* out;  // what the child's standard output holds at its end
};

// The child's exit status: the streams released, + 4 when both streams are back on their files, + 8
// when a capture made afterwards holds what was written under it; a step that hangs ends by SIGALRM.
int RunCase(const ReleaseCase& c, FILE* out, FILE* err, FILE* other) {
    alarm(30);
    dup2(fileno(out), STDOUT_FILENO), dup2(fileno(err), STDERR_FILENO);
    const tnxtest::ConsoleFiles uncaptured;
    if (c.elsewhere) dup2(fileno(other), STDOUT_FILENO);
    if (c.capture & kStdoutReleased) ti::CaptureStdout();
    if (c.capture & kStderrReleased) ti::CaptureStderr();
    std::printf("out-before\n"), std::fprintf(stderr, "err-before\n");
    if (c.endsOwn) ti::GetCapturedStdout();
    const int released = tnxtest::ReleaseCaptures(uncaptured);
    // A capture the release left on is ended here: GoogleTest would abort the next, and leave its file.
    const int left = c.capture & ~released & (c.endsOwn ? kStderrReleased : 3);
    if (left & kStdoutReleased) ti::GetCapturedStdout();
    if (left & kStderrReleased) ti::GetCapturedStderr();
    if (c.elsewhere) dup2(fileno(out), STDOUT_FILENO);  // a redirection not a capture stays: the test ends it
    const tnxtest::ConsoleFiles now;
    ti::CaptureStdout(), ti::CaptureStderr();
    std::printf("again\n"), std::fprintf(stderr, "again\n");
    const std::string againOut = ti::GetCapturedStdout(), againErr = ti::GetCapturedStderr();
    std::printf("after\n"), std::fflush(stdout);
    return released | (now.out == uncaptured.out && now.err == uncaptured.err ? 4 : 0) |
           (againOut == "again\n" && againErr == "again\n" ? 8 : 0);
}

std::string Contents(FILE* f) {
    std::string s(4096, '\0');
    std::rewind(f), s.resize(std::fread(&s[0], 1, s.size(), f));
    return s;
}

TEST(CaptureRelease, ACaptureLeftOnIsEndedAndItsTextWrittenOnItsStream) {
    // Standard error always holds "err-before", written there or echoed by the release.
    const int both = kStdoutReleased | kStderrReleased;
    const ReleaseCase cases[] = {
        {"output left captured", kStdoutReleased, false, false, kStdoutReleased, "out-before\nafter\n"},
        {"error left captured", kStderrReleased, false, false, kStderrReleased, "out-before\nafter\n"},
        {"both left captured", both, false, false, both, "out-before\nafter\n"},
        {"no capture on", 0, false, false, 0, "out-before\nafter\n"},
        {"output captured and ended by the test", kStdoutReleased, true, false, 0, "after\n"},
        {"output sent to a file of the test's, not a capture", 0, false, true, 0, "after\n"},
    };
    for (const ReleaseCase& c : cases) {
        SCOPED_TRACE(c.what);
        using TempFile = std::unique_ptr<FILE, int (*)(FILE*)>;  // gone once closed
        const TempFile out(std::tmpfile(), std::fclose), err(std::tmpfile(), std::fclose),
            other(std::tmpfile(), std::fclose);
        ASSERT_TRUE(out && err && other);
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) _exit(RunCase(c, out.get(), err.get(), other.get()));
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), c.released | 12);
        EXPECT_EQ(Contents(out.get()), c.out);
        EXPECT_EQ(Contents(err.get()), "err-before\n");
        EXPECT_EQ(Contents(other.get()), c.elsewhere ? "out-before\n" : "");
    }
}

}  // namespace
