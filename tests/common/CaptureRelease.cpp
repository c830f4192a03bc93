// Release of the stream captures a test left on (CaptureRelease.h).
#include "common/CaptureRelease.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace tnxtest {

OpenFile FileOf(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? OpenFile{st.st_dev, st.st_ino} : OpenFile{};
}

int ReleaseCaptures(const ConsoleFiles& uncaptured) {
    // Text stdio still buffers was written while the capture was on: it belongs in the capture.
    std::fflush(nullptr);
    const struct {
        int fd;
        OpenFile file;
        std::string (*end)();
        FILE* stream;
    } streams[] = {{STDOUT_FILENO, uncaptured.out, testing::internal::GetCapturedStdout, stdout},
                   {STDERR_FILENO, uncaptured.err, testing::internal::GetCapturedStderr, stderr}};
    int released = 0;
    for (int s = 0; s < 2; s++) {
        // Captured: gone from its uncaptured file to one GoogleTest captures into ("gtest_captured_stream.XXXXXX").
        char path[4096];
        const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(streams[s].fd)).c_str(), path, sizeof path - 1);
        if (FileOf(streams[s].fd) == streams[s].file || n <= 0) continue;
        path[n] = '\0';
        const char* name = std::strrchr(path, '/');
        if (std::strncmp(name ? name + 1 : path, "gtest_captured_stream.", 22) != 0) continue;
        const std::string text = streams[s].end();
        std::fwrite(text.data(), 1, text.size(), streams[s].stream);
        std::fflush(streams[s].stream);
        released |= 1 << s;
    }
    return released;
}

}  // namespace tnxtest
