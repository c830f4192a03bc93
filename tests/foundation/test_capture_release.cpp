// The release of the stream captures a test leaves on (the listener of every test program calls it
// when a test ends): a capture left by a routine that threw is ended, its text written on the
// stream it took, and the stream can be captured again; nothing is released where no capture is
// on. Each case runs in a child process, whose standard output and error are unnamed temporary
// files: a release that fails ends only that child (GoogleTest aborts a second capture).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/CaptureRelease.h"
#include "foundation/TnxError.h"

namespace {

using tnxtest::kStderrReleased;
using tnxtest::kStdoutReleased;

// An unnamed temporary file, closed (and so gone) on scope exit.
struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
};
using TempFile = std::unique_ptr<FILE, Closer>;

std::string Contents(FILE* f) {
    std::rewind(f);
    std::string s;
    for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
    return s;
}

// Removes the capture files standard output and error are still open on when a child fails, which
// GoogleTest would leave in the temporary folder.
void RemoveCaptureFiles() {
    for (const char* link : {"/proc/self/fd/1", "/proc/self/fd/2"}) {
        char path[4096];
        const ssize_t n = readlink(link, path, sizeof path - 1);
        if (n <= 0) continue;
        path[n] = '\0';
        if (std::strstr(path, "/gtest_captured_stream.")) unlink(path);
    }
}

struct ReleaseCase {
    const char* what;
    int capture;      // the streams the test captures (kStdoutReleased, kStderrReleased)
    bool endsOwn;     // the test ends its own capture of standard output before the release
    bool elsewhere;   // standard output sent by the test to a file of its own, not a capture
    int released;     // the streams the release gives back
    const char* out;  // what the child's standard output holds at its end
};

// The child's exit status: 0 when every step goes as the case says; 10 + the streams released when
// they are not the case's; 20 (21) when standard output (error) is not back on its file; 30 (31)
// when a capture made afterwards does not hold what was written under it. A second capture while
// one is on aborts the child; one that hangs ends by SIGALRM.
int RunCase(const ReleaseCase& c, FILE* out, FILE* err, FILE* other) {
    alarm(30);
    if (dup2(fileno(out), STDOUT_FILENO) < 0 || dup2(fileno(err), STDERR_FILENO) < 0) return 1;
    const tnxtest::ConsoleFiles uncaptured = tnxtest::CurrentConsoleFiles();
    if (c.elsewhere && dup2(fileno(other), STDOUT_FILENO) < 0) return 1;
    if (c.capture & kStdoutReleased) testing::internal::CaptureStdout();
    if (c.capture & kStderrReleased) testing::internal::CaptureStderr();
    try {  // a routine that writes on both streams and throws before any capture is ended
        std::printf("out-before\n");
        std::fprintf(stderr, "err-before\n");
        RaiseError(TNX_FAIL_TO_PRINT);
    } catch (const TnxError&) {
    }
    if (c.endsOwn) testing::internal::GetCapturedStdout();
    const int released = tnxtest::ReleaseCaptures(uncaptured);
    if (released != c.released) return 10 + released;
    // A redirection that is not a capture stays; the test puts standard output back itself.
    if (c.elsewhere && dup2(fileno(out), STDOUT_FILENO) < 0) return 1;
    if (!tnxtest::SameFile(tnxtest::FileOf(STDOUT_FILENO), uncaptured.out)) return 20;
    if (!tnxtest::SameFile(tnxtest::FileOf(STDERR_FILENO), uncaptured.err)) return 21;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::printf("again\n");
    std::fprintf(stderr, "again\n");
    if (testing::internal::GetCapturedStdout() != "again\n") return 30;
    if (testing::internal::GetCapturedStderr() != "again\n") return 31;
    std::printf("after\n");
    std::fflush(stdout);
    return 0;
}

TEST(CaptureRelease, ACaptureLeftOnIsEndedAndItsTextWrittenOnItsStream) {
    // Standard output holds "out-before" unless the test took it (its own capture, its own file);
    // standard error always holds "err-before", written there or echoed by the release.
    const int both = kStdoutReleased | kStderrReleased;
    const ReleaseCase cases[] = {
        {"output left captured by the throw", kStdoutReleased, false, false, kStdoutReleased, "out-before\nafter\n"},
        {"error left captured by the throw", kStderrReleased, false, false, kStderrReleased, "out-before\nafter\n"},
        {"both left captured", both, false, false, both, "out-before\nafter\n"},
        {"no capture on", 0, false, false, 0, "out-before\nafter\n"},
        {"output captured and ended by the test", kStdoutReleased, true, false, 0, "after\n"},
        {"output sent to a file of the test's, not a capture", 0, false, true, 0, "after\n"},
    };
    for (const ReleaseCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TempFile out(std::tmpfile()), err(std::tmpfile()), other(std::tmpfile());
        ASSERT_TRUE(out && err && other);
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const int code = RunCase(c, out.get(), err.get(), other.get());
            RemoveCaptureFiles();
            _exit(code);
        }
        int status = -1;
        ASSERT_GT(child, 0);
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
        EXPECT_EQ(Contents(out.get()), c.out);
        EXPECT_EQ(Contents(err.get()), "err-before\n");
        EXPECT_EQ(Contents(other.get()), c.elsewhere ? "out-before\n" : "");
    }
}

}  // namespace
