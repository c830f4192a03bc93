// Opening by name: every kind of name under every mode, the exact message and the bell, what the
// open leaves of the name, and no open that waits. Each open runs in a child process that an alarm
// ends, so that an open that would wait on a named pipe fails the case instead of holding the test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// What an open in a child process came to.
struct Outcome {
    int status = -1;   // the child's exit status
    int signal = 0;    // the signal that ended it (SIGALRM: the open waited)
    std::string err, out;
};

// Runs `open` in a child process whose standard error and output go to files of `dir`; an alarm
// ends the child after ten seconds. The child exits with what `open` returns.
template <class Open>
Outcome InChild(const fs::path& dir, Open open) {
    const std::string err = (dir / "child.err").string(), out = (dir / "child.out").string();
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                  o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (e < 0 || o < 0 || dup2(e, 2) < 0 || dup2(o, 1) < 0) _exit(126);
        alarm(10);
        const int status = open();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(status);
    }
    Outcome got;
    int w = 0;
    if (child < 0 || waitpid(child, &w, 0) != child) return got;
    if (WIFSIGNALED(w)) got.signal = WTERMSIG(w);
    if (WIFEXITED(w)) got.status = WEXITSTATUS(w);
    got.err = Slurp(err);
    got.out = Slurp(out);
    return got;
}

// A folder of its own, removed with what it holds.
class OpeningTest : public testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tarnex-open-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
};

// The kinds of name. `at` is made for each case under the name "x" of the case's own folder.
enum Kind { kRegular, kMissing, kMissingFolder, kUnderAFile, kFolder, kFifo, kHeldFifo, kDevice, kSocket,
            kLinkToRegular, kUnreadable };

// Makes the kind at `at`; a file of the folder holds "old\n". False when it cannot be made here.
bool Make(Kind kind, const fs::path& at, int* heldFd) {
    const fs::path folder = at.parent_path();
    std::ofstream(folder / "file") << "old\n";
    switch (kind) {
        case kRegular: std::ofstream(at) << "old\n"; return true;
        case kMissing: case kMissingFolder: case kUnderAFile: return true;
        case kFolder: return fs::create_directory(at);
        case kFifo: return mkfifo(at.c_str(), 0666) == 0;
        case kHeldFifo:
            // Another process holds both ends open: an open for writing finds a reader at once.
            if (mkfifo(at.c_str(), 0666) != 0) return false;
            *heldFd = open(at.c_str(), O_RDWR | O_NONBLOCK);
            return *heldFd >= 0;
        case kDevice: fs::create_symlink("/dev/null", at); return true;
        case kSocket: {
            const int s = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un a{};
            a.sun_family = AF_UNIX;
            if (s < 0 || at.string().size() >= sizeof a.sun_path) return false;
            std::strcpy(a.sun_path, at.c_str());
            const bool bound = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            *heldFd = s;
            return bound;
        }
        case kLinkToRegular: fs::create_symlink(folder / "file", at); return true;
        case kUnreadable:
            // The system lets the superuser read and write any file: no such case for it.
            if (geteuid() == 0) return false;
            std::ofstream(at) << "old\n";
            fs::permissions(at, fs::perms::none);
            return true;
    }
    return false;
}

// The name the case opens: "x" in the case's folder, or below something that is not a folder.
std::string NameOf(Kind kind, const fs::path& folder) {
    if (kind == kMissingFolder) return (folder / "none" / "x").string();
    if (kind == kUnderAFile) return (folder / "file" / "x").string();
    return (folder / "x").string();
}

// The exit status of an open that succeeded: 10 plus the stream's position, after "new\n" was
// written to it (which a stream opened for reading only refuses); 99 when its descriptor is left
// non-blocking or is not closed on exec. A refusal: 1.
int OpenWriteAndClose(FILE* f) {
    if (!f) return 1;
    const int flags = fcntl(fileno(f), F_GETFL), fdFlags = fcntl(fileno(f), F_GETFD);
    if ((flags & O_NONBLOCK) != 0 || (fdFlags & FD_CLOEXEC) == 0) return 99;
    const long at = std::ftell(f);
    std::fputs("new\n", f);
    std::fclose(f);
    return 10 + static_cast<int>(at);
}

// fopenck under "r", "r+", "w" and "a" on each kind of name: the opened files as each mode
// leaves them (from the modes' meaning: "r" reads only, "r+" writes from the start, "w" empties
// the file first, "a" starts at its end), and for the refused ones the message with the system's
// reason ("Is a directory" for a folder, "not a regular file" for a pipe, a device or a socket),
// the bell, and the name as it was. A named pipe is refused at once whether or not another
// process holds it open, and a link is followed to what it names.
TEST_F(OpeningTest, EveryKindOfNameUnderEveryModeOpensOrIsRefusedWithItsReasonWithoutWaiting) {
    const std::string kRefusedDir = "Is a directory", kNotRegular = "not a regular file",
                      kNoSuch = "No such file or directory";
    struct Row {
        Kind kind;
        const char* what;
        // The reason under r, r+, w, a ("" where the open succeeds).
        std::vector<std::string> reasons;
        // The text of the name afterwards where it opened (r, r+, w, a): "-" for no regular file.
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {kRegular, "a regular file", {"", "", "", ""}, {"old\n", "new\n", "new\n", "old\nnew\n"}},
        {kMissing, "a missing file", {kNoSuch, kNoSuch, "", ""}, {"-", "-", "new\n", "new\n"}},
        {kMissingFolder, "a missing folder", {kNoSuch, kNoSuch, kNoSuch, kNoSuch}, {"-", "-", "-", "-"}},
        {kUnderAFile, "a path through a file", std::vector<std::string>(4, "Not a directory"), {"-", "-", "-", "-"}},
        {kFolder, "a folder", std::vector<std::string>(4, kRefusedDir), {"-", "-", "-", "-"}},
        {kFifo, "a named pipe", std::vector<std::string>(4, kNotRegular), {"-", "-", "-", "-"}},
        {kHeldFifo, "a named pipe held open", std::vector<std::string>(4, kNotRegular), {"-", "-", "-", "-"}},
        {kDevice, "a link to a device", std::vector<std::string>(4, kNotRegular), {"-", "-", "-", "-"}},
        {kSocket, "a socket", std::vector<std::string>(4, kNotRegular), {"-", "-", "-", "-"}},
        {kLinkToRegular, "a link to a regular file", {"", "", "", ""}, {"old\n", "new\n", "new\n", "old\nnew\n"}},
        {kUnreadable, "a file without rights", std::vector<std::string>(4, "Permission denied"),
         {"-", "-", "-", "-"}},
    };
    const char* const modes[] = {"r", "r+", "w", "a"};
    int made = 0;
    for (const Row& row : rows) {
        for (int m = 0; m < 4; m++) {
            SCOPED_TRACE(std::string(row.what) + ", mode " + modes[m]);
            const fs::path folder = dir_ / (std::to_string(row.kind) + "-" + std::to_string(m));
            fs::create_directory(folder);
            int held = -1;
            if (!Make(row.kind, folder / "x", &held)) {
                EXPECT_EQ(row.kind, kUnreadable);
                continue;
            }
            made++;
            const std::string name = NameOf(row.kind, folder);
            struct stat before {};
            const bool stood = lstat(name.c_str(), &before) == 0;
            const Outcome got = InChild(dir_, [&] { return OpenWriteAndClose(fopenck(name.c_str(), nullptr, modes[m])); });
            if (held >= 0) close(held);
            EXPECT_EQ(got.signal, 0) << "the open waited or failed";
            const std::string& reason = row.reasons[m];
            if (reason.empty()) {
                EXPECT_EQ(got.status, 10 + (m == 3 && stood ? 4 : 0));
                EXPECT_EQ(got.err, "");
                EXPECT_EQ(got.out, "");
                EXPECT_EQ(Slurp(folder / "x"), row.texts[m]);
                EXPECT_EQ(fs::is_symlink(folder / "x"), row.kind == kLinkToRegular);
                continue;
            }
            EXPECT_EQ(got.status, 1);
            EXPECT_EQ(got.err, "\ncan't open " + name + ": " + reason + " \n");
            EXPECT_EQ(got.out, "\a");
            // The name is as it was: nothing made, emptied or replaced.
            struct stat after {};
            EXPECT_EQ(lstat(name.c_str(), &after) == 0, stood);
            if (stood) {
                EXPECT_EQ(after.st_mode, before.st_mode);
                EXPECT_EQ(after.st_size, before.st_size);
            }
            EXPECT_EQ(Slurp(folder / "file"), "old\n");
        }
    }
    EXPECT_GE(made, 40);
}

// The path fopenck accepts holds 111 characters; at 112 it is refused with the reason the
// system gives a name too long ("File name too long"), and no file is made under any part of it.
// A mode that fopen does not know is refused with "Invalid argument".
TEST_F(OpeningTest, ThePathBufferBoundAndAnUnknownMode) {
    const std::string folder = dir_.string() + "/";
    ASSERT_LT(folder.size(), 100u);
    const std::string longest(111 - folder.size(), 'n');
    for (const size_t length : {size_t{112}, size_t{111}}) {
        SCOPED_TRACE(length);
        const std::string name(length - folder.size(), 'n');
        const Outcome got = InChild(dir_, [&] { return OpenWriteAndClose(fopenck(name.c_str(), folder.c_str(), "w")); });
        EXPECT_EQ(got.signal, 0);
        EXPECT_EQ(got.status, length == 111 ? 10 : 1);
        EXPECT_EQ(got.err, length == 111 ? "" : "\ncan't open " + folder + name + ": File name too long \n");
        EXPECT_EQ(fs::exists(folder + name), length == 111);
        EXPECT_EQ(fs::exists(folder + longest), length == 111);   // never cut to the bound
    }
    std::ofstream(dir_ / "kept") << "old\n";
    const Outcome odd = InChild(dir_, [&] { return OpenWriteAndClose(fopenck("kept", folder.c_str(), "q")); });
    EXPECT_EQ(odd.status, 1);
    EXPECT_EQ(odd.err, "\ncan't open " + folder + "kept: Invalid argument \n");
    EXPECT_EQ(Slurp(dir_ / "kept"), "old\n");
}

}  // namespace
