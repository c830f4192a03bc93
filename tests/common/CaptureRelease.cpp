// Release of the stream captures a test left on (CaptureRelease.h).
#include "common/CaptureRelease.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace tnxtest {

namespace {

// True when `fd` is open on one of the files GoogleTest captures a stream into
// ("gtest_captured_stream.XXXXXX" in the temporary folder).
bool OnCaptureFile(int fd) {
    char path[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
    if (n <= 0) return false;
    path[n] = '\0';
    static const std::string kPrefix = "gtest_captured_stream.";
    const std::string name = path;
    const size_t slash = name.rfind('/');
    return name.compare(slash == std::string::npos ? 0 : slash + 1, kPrefix.size(), kPrefix) == 0;
}

// True when `fd` has left its uncaptured file for a capture file.
bool Captured(int fd, const OpenFile& uncaptured) {
    return !SameFile(FileOf(fd), uncaptured) && OnCaptureFile(fd);
}

// Writes `text` whole on `stream`.
void Echo(const std::string& text, FILE* stream) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace

OpenFile FileOf(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return {};
    return {true, st.st_dev, st.st_ino};
}

bool SameFile(const OpenFile& a, const OpenFile& b) {
    return a.open == b.open && a.device == b.device && a.inode == b.inode;
}

ConsoleFiles CurrentConsoleFiles() { return {FileOf(STDOUT_FILENO), FileOf(STDERR_FILENO)}; }

int ReleaseCaptures(const ConsoleFiles& uncaptured) {
    // Text stdio still buffers was written while the capture was on: it belongs in the capture.
    std::fflush(nullptr);
    int released = 0;
    if (Captured(STDOUT_FILENO, uncaptured.out)) {
        Echo(testing::internal::GetCapturedStdout(), stdout);
        released |= kStdoutReleased;
    }
    if (Captured(STDERR_FILENO, uncaptured.err)) {
        Echo(testing::internal::GetCapturedStderr(), stderr);
        released |= kStderrReleased;
    }
    return released;
}

}  // namespace tnxtest
