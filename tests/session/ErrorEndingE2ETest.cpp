// How the built program ends after an error message: out of memory or a failed write, it waits for
// a letter and passes over the Returns typed before it; at the end of a file it ends at the first
// Return. Its standard input is a pipe the test writes in two parts, so that what the program has
// read shows: after the first part (the answers up to the error, then two Returns) it has emptied
// the pipe and waits in a read of its standard input, or it has ended; the second part is the letter.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "session_fixture.h"

using namespace tnxtest;

namespace {

const char kQuit[] = "\nQuit and restart TARNEX.\n\a";

// Whether the process waits in a read of its standard input (its main thread's system call).
bool ReadingStandardInput(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/syscall");
    std::string call, fd;
    return f >> call >> fd && call == std::to_string(SYS_read) && fd == "0x0";
}

// The streams of a run in `folder`: beside it.
std::filesystem::path Beside(const std::filesystem::path& folder, const char* name) {
    return (folder.has_filename() ? folder : folder.parent_path()).parent_path() / name;
}

// The built program in `folder`, its standard input the read end of a pipe whose write end is
// returned in `input`, its two streams in files beside the folder; `env` set, the library that
// refuses memory or writes preloaded. Signals as from a shell; ended by SIGALRM after two minutes.
pid_t StartOnPipe(const std::filesystem::path& folder, const std::vector<std::pair<const char*, std::string>>& env,
                  int* input) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const std::string out = Beside(folder, "stdout.txt").string(), err = Beside(folder, "stderr.txt").string();
    const pid_t child = fork();
    if (child == 0) {
        close(fds[1]);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                  e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(folder.c_str()) != 0 || o < 0 || e < 0 || dup2(fds[0], 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0)
            _exit(126);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ, SIGPIPE, SIGQUIT}) signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        for (const auto& [name, value] : env) setenv(name, value.c_str(), 1);
        setenv("LD_PRELOAD", TARNEX_SIGNAL_IN_COMMIT, 1);
        const char* asan = std::getenv("ASAN_OPTIONS");
        setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
        alarm(120);
        execl(TARNEX_BIN, TARNEX_BIN, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[0]);
    *input = fds[1];
    return child;
}

// Waits until the program has ended (true, its status in `status`) or has printed the closing
// message, read everything written to it and waits for more (false).
bool Ended(pid_t child, int input, const std::filesystem::path& err, int* status) {
    for (;;) {
        int w = 0;
        if (waitpid(child, &w, WNOHANG) == child) {
            *status = WIFEXITED(w) ? WEXITSTATUS(w) : 128 + WTERMSIG(w);
            return true;
        }
        int unread = -1;
        if (ioctl(input, FIONREAD, &unread) == 0 && unread == 0 && ReadingStandardInput(child) &&
            Slurp(err).find(kQuit) != std::string::npos)
            return false;
        usleep(1000);
    }
}

bool WriteAll(int fd, const std::string& text) {
    return write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// Writes to a pipe whose reader has ended fail rather than end the test program.
class ErrorEnding : public testing::Test {
protected:
    void SetUp() override { previous_ = signal(SIGPIPE, SIG_IGN); }
    void TearDown() override { signal(SIGPIPE, previous_); }
    sighandler_t previous_ = SIG_DFL;
};

const std::string kRawImport = "N\nraw\n1\nb.txt\n0\nw.txt\n0\n0\n3\n2\n2\n2\nk\n3 3\ny\n0\n2\n2\n1\n";
const std::string kSimulation =
    "A\n4\n5\n2\nt\nsim_B.txt\nr\n-5\n-6\n0.4\n0.6\n0.1\nr\n1\ne\nsim_E.txt\nn\nsim_A.txt\nsim_K.txt\n"
    "r\n-3\n-4\n0.4\n0.6\nr\n-5\n-5\n0.5\n0.5\n5\n30\n0.5\nn\n2\n7\ny\n";

}  // namespace

// Each row's answers stop where the error ends the program: an import whose session, once in place,
// finds no memory to open (calloc refused after its track file is renamed); a simulator run whose
// files fill the disk (4,096 bytes, then ENOSPC); and, for the contrast, a parameter file that ends
// early. Two Returns follow; the program waits for a letter after the first two, and ends at the
// first Return after the third; then a letter ends the first two.
TEST_F(ErrorEnding, OutOfMemoryAndAFailedWriteWaitForALetterPastTheReturns) {
    const struct {
        const char* what;
        std::vector<std::pair<const char*, std::string>> files;
        std::string answers;
        std::vector<std::pair<const char*, std::string>> env;
        const char* message;
        bool untilLetter;
    } rows[] = {
        {"out of memory",
         {{"b.txt", "1 2\n3 4\n5 6\nta tb\n"}, {"w.txt", "1 0 2\n0 3 1\nc1 c2\n"}},
         kRawImport,
         {{"TNXTEST_STARVE_AFTER", "rawTrk.txt.tmp"}},
         "\nOUT OF MEMORY !!!\n",
         true},
        {"failed write",
         {{"sim_B.txt", ""}, {"sim_E.txt", ""}, {"sim_A.txt", ""}, {"sim_K.txt", ""}},
         kSimulation,
         {{"TNXTEST_DISK_FULL_AFTER", "4096"}},
         ": No space left on device \n\nFAIL TO PRINT ON FILE !!!\n",
         true},
        {"end of file",
         {{"sim_B.txt", ""}, {"sim_E.txt", ""}, {"sim_A.txt", "1\n"}, {"sim_K.txt", ""}},
         kSimulation.substr(0, kSimulation.find("sim_A.txt\n") + 10),
         {},
         "\nEND OF FILE !!!\n",
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Sandbox box;
        for (const auto& [name, text] : row.files)
            box.WriteFile(name, text.empty() ? Slurp(std::string(TARNEX_TESTDATA) + "/" + name) : text);
        const std::filesystem::path err = Beside(box.Path(""), "stderr.txt");
        int input = -1, status = -1;
        const pid_t child = StartOnPipe(box.Path(""), row.env, &input);
        ASSERT_GT(child, 0);
        ASSERT_TRUE(WriteAll(input, row.answers + "\n\n"));
        bool ended = Ended(child, input, err, &status);
        const std::string tail = std::string(row.message) + kQuit;
        const std::string printed = Slurp(err);
        EXPECT_EQ(printed.size() >= tail.size() ? printed.substr(printed.size() - tail.size()) : printed, tail);
        if (row.untilLetter) {
            EXPECT_FALSE(ended) << "ended on a Return, status " << status;
            if (!ended) {
                EXPECT_TRUE(WriteAll(input, "Z"));
                ended = Ended(child, input, err, &status);
                EXPECT_TRUE(ended) << "the letter did not end it";
            }
        } else {
            EXPECT_TRUE(ended) << "the Returns did not end it";
        }
        if (!ended) {  // still waiting after a failure: ended here
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        EXPECT_EQ(status, 1);
        close(input);
    }
}
