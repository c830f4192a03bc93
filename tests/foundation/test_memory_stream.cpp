// The checked memory stream: a write that the allocator refuses room for fails at that write and
// at the close, on both sides of the bound, with every stdio call; the text never holds a hole;
// positions within the text; and the text appended to a file whole or not at all.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "common/RefusedGrowth.h"
#include "foundation/MemoryStream.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TemporaryFiles.h"

namespace {

// While set, the C library refuses to open a stream on a cookie (as it does when its FILE finds
// no memory).
bool refuseCookieStreams = false;

}  // namespace

// The test program's own fopencookie, in front of the C library's: null while refused, the C
// library's stream otherwise.
extern "C" FILE* fopencookie(void* cookie, const char* mode, cookie_io_functions_t io) noexcept {
    using Open = FILE* (*)(void*, const char*, cookie_io_functions_t);
    static const Open next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "fopencookie"));
    if (refuseCookieStreams) {
        errno = ENOMEM;
        return nullptr;
    }
    return next(cookie, mode, io);
}

namespace {

// One write of `length` bytes through the stdio call named by `how`: 'p' fprintf, 's' fputs,
// 'w' fwrite, 'c' fputc (length 1). True when the call reports success.
bool WriteThrough(FILE* f, char how, size_t length, char fill) {
    const std::string text(length, fill);
    switch (how) {
        case 'p': return std::fprintf(f, "%s", text.c_str()) == static_cast<int>(length);
        case 's': return std::fputs(text.c_str(), f) >= 0;
        case 'w': return std::fwrite(text.data(), 1, length, f) == length;
        default: return std::fputc(fill, f) == fill;
    }
}

// The bound is 1000 bytes: a text of 999 bytes and its closing '\0' fit, 1000 bytes do not.
// Each write is of its own letter, so that the text shows which writes it holds.
TEST(MemoryStream, ARefusedGrowthFailsAtTheWriteThatFoundNoRoomAndAtTheClose) {
    const size_t kBound = 1000;
    struct Row {
        const char* what;
        char how;
        std::vector<size_t> writes;
        int firstFailed;  // the index of the first write that fails (-1: none)
    };
    const Row rows[] = {
        {"one fprintf of 999: the last that fits", 'p', {999}, -1},
        {"one fprintf of 1000: the first that does not", 'p', {1000}, 0},
        {"fwrite 600 then 399: the block grows to the exact need", 'w', {600, 399}, -1},
        {"fwrite 600 then 400", 'w', {600, 400}, 1},
        {"fputs to 999 in three writes", 's', {500, 300, 199}, -1},
        {"fputs to 1000 in three writes", 's', {500, 300, 200}, 2},
        {"fputc: 999 single bytes", 'c', std::vector<size_t>(999, 1), -1},
        {"fputc: the 1000th byte", 'c', std::vector<size_t>(1000, 1), 999},
        // After a refusal a write that would fit fails too: the text never holds a hole.
        {"a small write after a refused one", 'w', {600, 500, 10}, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        MemoryStream s;
        ASSERT_TRUE(s.Open());
        std::string expected;
        int firstFailed = -1;
        {
            RefusedGrowth refusal(kBound);
            for (size_t i = 0; i < r.writes.size(); i++) {
                const char fill = static_cast<char>('a' + i % 26);
                const bool ok = WriteThrough(s.stream(), r.how, r.writes[i], fill);
                if (ok && firstFailed < 0) expected += std::string(r.writes[i], fill);
                if (!ok && firstFailed < 0) firstFailed = static_cast<int>(i);
                // The stream says so at the write itself.
                EXPECT_EQ(std::ferror(s.stream()) != 0, firstFailed >= 0) << "write " << i;
                EXPECT_EQ(s.Refused(), firstFailed >= 0) << "write " << i;
            }
            // The allocator said no: to the stream's doubling at least, which the exact need
            // follows, and to that need itself where a write failed.
            EXPECT_GE(refusal.Refused(), r.firstFailed >= 0 ? 1 : 0);
        }
        EXPECT_EQ(firstFailed, r.firstFailed);
        EXPECT_EQ(s.Close(), r.firstFailed < 0 ? MemoryStream::kWhole : MemoryStream::kRefused);
        EXPECT_EQ(s.Close(), r.firstFailed < 0 ? MemoryStream::kWhole : MemoryStream::kRefused);  // and stays so
        EXPECT_EQ(std::string(s.data(), s.size()), expected);
        EXPECT_EQ(s.data()[s.size()], '\0');
    }
}

// CloseOrRaise: a refused write is the out-of-memory road (code 1), a whole text none. Opening
// again starts an empty text with no refusal. A stream the C library refuses to open: Open says
// false and leaves no stream (the earlier text dropped), OpenOrRaise raises code 1.
TEST(MemoryStream, ARefusedStreamRaisesCodeOneAndOpensAfresh) {
    MemoryStream s;
    s.OpenOrRaise();
    {
        RefusedGrowth refusal(64);
        std::fprintf(s.stream(), "%080d", 7);
    }
    EXPECT_EQ(CodeOf([&] { s.CloseOrRaise(); }), TNX_OUT_OF_MEMORY);
    EXPECT_EQ(s.size(), 0u);
    ASSERT_TRUE(s.Open());
    EXPECT_FALSE(s.Refused());
    EXPECT_EQ(std::fprintf(s.stream(), "%080d", 7), 80);
    EXPECT_EQ(CodeOf([&] { s.CloseOrRaise(); }), 0);
    EXPECT_EQ(std::string(s.data(), s.size()), std::string(79, '0') + "7");
    s.Drop();
    EXPECT_EQ(s.stream(), nullptr);
    EXPECT_EQ(std::string(s.data()), "");
    // A stream never opened has nothing to say.
    MemoryStream never;
    EXPECT_EQ(never.Close(), MemoryStream::kWhole);
    ASSERT_TRUE(s.Open());
    std::fputs("earlier", s.stream());
    refuseCookieStreams = true;
    const bool opened = s.Open();
    const int code = CodeOf([&] { s.OpenOrRaise(); });
    refuseCookieStreams = false;
    EXPECT_FALSE(opened);
    EXPECT_EQ(code, TNX_OUT_OF_MEMORY);
    EXPECT_EQ(s.stream(), nullptr);
    EXPECT_EQ(std::string(s.data()), "");
    EXPECT_EQ(s.Close(), MemoryStream::kWhole);
    ASSERT_NE(s.OpenOrRaise(), nullptr);
    EXPECT_GE(std::fputs("again", s.stream()), 0);
    s.CloseOrRaise();
    EXPECT_EQ(std::string(s.data(), s.size()), "again");
}

// A long text grows the block many times and stays whole; ftell gives the position; a seek back
// rewrites in place (as the printers' in-place fields do) and a seek past the end is refused.
TEST(MemoryStream, TextsGrowWholeAndPositionsStayWithinTheText) {
    MemoryStream s;
    ASSERT_TRUE(s.Open());
    std::string expected;
    for (int i = 0; i < 20000; i++) {
        ASSERT_GT(std::fprintf(s.stream(), "line %d\n", i), 0);
        expected += "line " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(std::ftell(s.stream()), static_cast<long>(expected.size()));
    ASSERT_EQ(std::fseek(s.stream(), 5, SEEK_SET), 0);
    std::fputs("X", s.stream());
    EXPECT_EQ(std::ftell(s.stream()), 6);
    expected[5] = 'X';
    EXPECT_NE(std::fseek(s.stream(), static_cast<long>(expected.size()) + 1, SEEK_SET), 0);
    ASSERT_EQ(std::fseek(s.stream(), 0, SEEK_END), 0);
    std::fputs("end\n", s.stream());
    expected += "end\n";
    EXPECT_EQ(s.Close(), MemoryStream::kWhole);
    EXPECT_EQ(std::string(s.data(), s.size()), expected);
}

// A folder of its own for a test's files.
std::string NewFolder() {
    std::string folder = (std::filesystem::temp_directory_path() / "tnxmsXXXXXX").string();
    return mkdtemp(folder.data()) ? folder : std::string();
}

// The whole text of the file at path.
std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    return got.str();
}

// A file of 5 bytes under a file-size limit of 64 (SIGXFSZ ignored): 59 bytes appended fit, 60 do
// not and the file is cut back to its 5 bytes.
TEST(MemoryStream, ATextIsAppendedWholeOrNotAtAll) {
    const std::string folder = NewFolder();
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "/out.txt";
    for (size_t length : {59, 60}) {
        SCOPED_TRACE(length);
        std::ofstream(path, std::ios::binary) << "kept\n";
        FILE* f = std::fopen(path.c_str(), "a");
        ASSERT_NE(f, nullptr);
        const std::string text(length, 'z');
        struct rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        const struct rlimit small = {64, old.rlim_max};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool appended = AppendWhole(f, text.data(), text.size());
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        EXPECT_EQ(appended, length == 59);
        EXPECT_EQ(Contents(path), length == 59 ? "kept\n" + text : "kept\n");
    }
    std::filesystem::remove_all(folder);
}

// The same past the limit with the program's own handlers in place (a child process): the write
// past the limit raises SIGXFSZ, held back until the file is cut back to its 5 bytes, and then
// ends the process by that signal; 59 bytes are appended whole and the process goes on.
TEST(MemoryStream, ASignalPastTheFileSizeLimitEndsTheProgramWithTheFileCutBack) {
    const std::string folder = NewFolder();
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "/out.txt";
    for (size_t length : {59, 60}) {
        SCOPED_TRACE(length);
        std::ofstream(path, std::ios::binary) << "kept\n";
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_DFL);
            InstallTemporaryCleanup();
            FILE* f = std::fopen(path.c_str(), "a");
            struct rlimit small = {64, 64};
            if (!f || setrlimit(RLIMIT_FSIZE, &small) != 0) _exit(64);
            const std::string text(length, 'z');
            _exit(AppendWhole(f, text.data(), text.size()) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (length == 59) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
        }
        EXPECT_EQ(Contents(path), length == 59 ? "kept\n" + std::string(59, 'z') : "kept\n");
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
