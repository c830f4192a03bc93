// The registry of temporary files and the handlers of the ending signals: a signal removes exactly
// the registered files of its process and ends it by that signal; a signal started ignored stays
// ignored and the exit removes the rest; a child made by fork removes none of its parent's; the
// slots' count and path length at both sides; a step that holds the signals back lets the signal
// through only at its end; files committed by several threads at once leave no temporary behind;
// two handlers at once, the second coming while the first unlinks a file, leave none either.
// Each run that installs the handlers or ends by a signal is a child process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/ReplacingWriter.h"
#include "foundation/TemporaryFiles.h"

namespace fs = std::filesystem;

namespace {

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ, SIGPIPE, SIGQUIT};

class TemporaryFilesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tnxtmpXXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // The names in the folder, sorted, one a line; a temporary name ("x.tmpAbc123") as "x.tmp".
    std::string Listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) {
            std::string n = e.path().filename().string();
            const size_t tmp = n.find(".tmp");
            names.push_back(tmp == std::string::npos ? n : n.substr(0, tmp + 4));
        }
        std::sort(names.begin(), names.end());
        std::string s;
        for (const auto& n : names) s += n + "\n";
        return s;
    }
    // Runs body in a child process; its wait status.
    template <class Body>
    static int InChild(Body body) {
        const pid_t child = fork();
        if (child == 0) {
            for (int sig : kEndingSignals) signal(sig, SIG_DFL);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            body();
            _exit(99);  // the body should not return
        }
        int w = 0;
        waitpid(child, &w, 0);
        return w;
    }
    // A file made through the registry as the replacing writer makes its temporary files.
    int MakeRegistered(const std::string& name) const {
        std::string pattern = Path(name) + ".tmpXXXXXX";
        int fd = -1;
        const int slot = MakeTemporary(pattern, [&] { return (fd = mkstemp(pattern.data())) >= 0; });
        close(fd);
        return slot;
    }
    fs::path dir_;
};

// In each child: two files registered and left (one made by mkstemp, one the temporary file of a
// replacing writer still open), one registered and released (as after its rename), a file never
// registered, and a file committed by a replacing writer. Only the first two go. SIGXFSZ comes
// from the system, when a write passes the file-size limit, and SIGPIPE when a write goes to a pipe
// that no one reads any more (the console piped into a program that has ended); the others are
// raised, as a terminal sends SIGINT for Ctrl-C and SIGQUIT for Ctrl-\. With no step holding the
// signals back, the handler does not wait: the child ends within a second (a handler that waited
// its longest would take two).
TEST_F(TemporaryFilesTest, AnEndingSignalRemovesExactlyTheRegisteredFilesAndEndsTheProgramBySignal) {
    enum Source { kRaised, kFileSizeLimit, kPipeWithoutReader };
    const struct {
        int signal;
        Source source;
    } cases[] = {{SIGINT, kRaised},         {SIGTERM, kRaised},           {SIGHUP, kRaised},
                 {SIGQUIT, kRaised},        {SIGXFSZ, kFileSizeLimit},    {SIGPIPE, kPipeWithoutReader}};
    for (const auto& c : cases) {
        const int sig = c.signal;
        SCOPED_TRACE(sig);
        const auto start = std::chrono::steady_clock::now();
        const int w = InChild([&] {
            InstallTemporaryCleanup();
            MakeRegistered("left");
            ReplacingWriter open(Path("open"));
            std::fputs("half", open.OpenOrRaise());
            ReleaseTemporary(MakeRegistered("released"));
            std::ofstream(Path("plain")) << "kept";
            ReplacingWriter committed(Path("committed"));
            std::fputs("whole", committed.OpenOrRaise());
            committed.CommitOrRaise();
            if (c.source == kRaised) raise(sig);
            if (c.source == kPipeWithoutReader) {
                int p[2];
                if (pipe(p) != 0) _exit(96);
                close(p[0]);
                if (write(p[1], "x", 1) < 0) _exit(95);
            }
            const rlimit small{64, 64};
            setrlimit(RLIMIT_FSIZE, &small);
            FILE* f = open.OpenOrRaise();
            for (int i = 0; i < 1000; i++) std::fputs("more than the limit allows\n", f);
            std::fflush(f);
        });
        EXPECT_TRUE(WIFSIGNALED(w) && WTERMSIG(w) == sig) << "wait status " << w;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(Listing(), "committed\nplain\nreleased.tmp\n");
        fs::remove_all(dir_);
        fs::create_directory(dir_);
    }
}

// Each of the six signals, started ignored: the program goes on with its file, and its exit
// removes it. SIGPIPE ignored turns a write to a pipe without reader into a failed write (EPIPE).
TEST_F(TemporaryFilesTest, ASignalStartedIgnoredStaysIgnoredAndTheExitRemovesTheFilesLeft) {
    for (int sig : kEndingSignals) {
        SCOPED_TRACE(sig);
        const int w = InChild([&] {
            signal(sig, SIG_IGN);
            InstallTemporaryCleanup();
            MakeRegistered("left");
            raise(sig);
            // Still here, with the file: the exit removes it.
            std::exit(Listing() == "left.tmp\n" ? 3 : 4);
        });
        EXPECT_TRUE(WIFEXITED(w) && WEXITSTATUS(w) == 3) << "wait status " << w;
        EXPECT_EQ(Listing(), "");
    }
}

// The parent's file stays; of the child's own three registered files, one already gone, the two
// removed are counted.
TEST_F(TemporaryFilesTest, AChildMadeByForkRemovesNoneOfItsParentsFiles) {
    const int slot = MakeRegistered("parent");
    ASSERT_GE(slot, 0);
    const int w = InChild([&] {
        MakeRegistered("child");
        MakeRegistered("child");
        MakeRegistered("gone");
        for (const auto& e : fs::directory_iterator(dir_))
            if (e.path().filename().string().rfind("gone", 0) == 0) fs::remove(e.path());
        _exit(RemoveTemporaries());
    });
    EXPECT_TRUE(WIFEXITED(w) && WEXITSTATUS(w) == 2) << "wait status " << w;
    EXPECT_EQ(Listing(), "parent.tmp\n");
    ReleaseTemporary(slot);
}

// kTemporarySlots paths fit and one more does not, until one is released; a path one character
// shorter than a slot's buffer fits and one of its length does not. A replacing writer beyond the
// registry's room still writes its file whole.
TEST_F(TemporaryFilesTest, TheRegistryHoldsItsSlotsAndPathsShorterThanItsBuffer) {
    std::vector<int> slots;
    {
        EndingSignalsHeld held;
        for (int i = 0; i < kTemporarySlots; i++) slots.push_back(RegisterTemporary(Path("f" + std::to_string(i)).c_str()));
        EXPECT_EQ(RegisterTemporary(Path("one more").c_str()), -1);
    }
    std::vector<int> sorted = slots;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < kTemporarySlots; i++) EXPECT_EQ(sorted[i], i);
    {
        ReplacingWriter w(Path("unregistered"));
        std::fputs("text", w.OpenOrRaise());
        EXPECT_EQ(w.Commit(), ReplacingWriter::kWritten);
    }
    EXPECT_EQ(Listing(), "unregistered\n");
    ReleaseTemporary(slots[5]);
    {
        EndingSignalsHeld held;
        EXPECT_EQ(RegisterTemporary(Path("again").c_str()), slots[5]);
    }
    for (int s : slots) ReleaseTemporary(s);
    const struct {
        size_t length;
        bool fits;
    } paths[] = {{kTemporaryPathMax - 1, true}, {kTemporaryPathMax, false}};
    for (const auto& p : paths) {
        EndingSignalsHeld held;
        const int s = RegisterTemporary(std::string(p.length, 'a').c_str());
        EXPECT_EQ(s >= 0, p.fits) << p.length;
        ReleaseTemporary(s);
    }
}

// A signal raised inside a held step is delivered when the step ends: the marker written after
// the raise exists, and the program still ends by the signal.
TEST_F(TemporaryFilesTest, ASignalInsideAHeldStepComesAtItsEnd) {
    const int w = InChild([&] {
        InstallTemporaryCleanup();
        {
            EndingSignalsHeld held;
            raise(SIGTERM);
            std::ofstream(Path("after the raise")) << "written";
        }
        std::ofstream(Path("after the step")) << "never";
    });
    EXPECT_TRUE(WIFSIGNALED(w) && WTERMSIG(w) == SIGTERM) << "wait status " << w;
    EXPECT_EQ(Listing(), "after the raise\n");
}

// Four threads commit files as fast as they can when SIGTERM comes from outside, to whichever
// thread the system gives it: no temporary file stays, whatever step each thread was in.
TEST_F(TemporaryFilesTest, FilesCommittedByThreadsLeaveNoTemporaryWhenTheProgramIsEnded) {
    for (int round = 0; round < 10; round++) {
        SCOPED_TRACE(round);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            signal(SIGTERM, SIG_DFL);
            // A thread whose temporary file the handler removed cannot put it in place: its
            // message is not the test's.
            if (!std::freopen("/dev/null", "w", stderr)) _exit(97);
            InstallTemporaryCleanup();
            std::atomic<int> started{0};
            std::vector<std::thread> threads;
            for (int t = 0; t < 4; t++)
                threads.emplace_back([&, t] {
                    const std::string target = Path("t" + std::to_string(t));
                    for (int i = 0;; i++) {
                        ReplacingWriter w(target);
                        if (FILE* f = w.Open()) std::fprintf(f, "%d\n", i);
                        w.Commit();
                        if (i == 10) started++;
                    }
                });
            while (started < 4) std::this_thread::yield();
            // This thread takes the signal only inside sigsuspend, which lets it through and
            // waits in one step: one that came between the write and a wait would find it busy
            // between two calls, where ThreadSanitizer's deferral of signals can lose it. The
            // committing threads still take it wherever they are.
            sigset_t term, none;
            sigemptyset(&term);
            sigemptyset(&none);
            sigaddset(&term, SIGTERM);
            pthread_sigmask(SIG_BLOCK, &term, nullptr);
            if (write(ready[1], "r", 1) != 1) _exit(98);
            for (;;) sigsuspend(&none);
        }
        close(ready[1]);
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        kill(child, SIGTERM);
        int w = 0;
        waitpid(child, &w, 0);
        EXPECT_TRUE(WIFSIGNALED(w) && WTERMSIG(w) == SIGTERM) << "wait status " << w;
        EXPECT_EQ(Listing(), "t0\nt1\nt2\nt3\n");
    }
}

// The order the two-handler test forces, through the registry's hook: the first handler, having
// taken the first file's slot, reports it and then unlinks nothing until the second handler waits
// for that removal. Written by the child before the signals come; the hook makes only
// async-signal-safe calls.
namespace two_handlers {
int takenSlot = -1;       // the slot whose removal is held up
int taken[2];             // the first handler took the slot
int waiting[2];           // the second handler waits for its removal
std::atomic<bool> said{false};

void Hook(RemovalPoint point, int slot) {
    if (point == RemovalPoint::kTaken && slot == takenSlot) {
        if (write(taken[1], "t", 1) != 1) _exit(94);
        char c;
        if (read(waiting[0], &c, 1) != 1) _exit(93);
    } else if (point == RemovalPoint::kWaiting && !said.exchange(true)) {
        if (write(waiting[1], "w", 1) != 1) _exit(92);
    }
}
}  // namespace two_handlers

// Two ending signals reach two threads at once: SIGINT the first, whose handler takes the first
// file's slot and holds on before unlinking it; then SIGTERM the second, whose handler finds that
// slot taken, removes the second file and must not end the program before the first file is gone.
// Either signal may be the one that ends it; no file stays.
TEST_F(TemporaryFilesTest, TwoHandlersAtOnceLeaveNoFile) {
    const int w = InChild([&] {
        using namespace two_handlers;
        if (pipe(taken) != 0 || pipe(waiting) != 0) _exit(91);
        InstallTemporaryCleanup();
        takenSlot = MakeRegistered("first");
        if (takenSlot < 0 || MakeRegistered("second") < 0) _exit(90);
        SetRemovalHook(Hook);
        // The signals reach the two threads only: this one holds them back, and they inherit it.
        sigset_t ending;
        sigemptyset(&ending);
        for (int sig : kEndingSignals) sigaddset(&ending, sig);
        pthread_sigmask(SIG_BLOCK, &ending, nullptr);
        std::atomic<int> ready{0};
        // Each thread lets the signals through only inside sigsuspend, waiting: one sent
        // before it waits stays pending until it does, never taken between two calls (where
        // ThreadSanitizer's deferral of signals can lose it).
        sigset_t none;
        sigemptyset(&none);
        const auto waitForSignal = [&] {
            ready++;
            for (;;) sigsuspend(&none);
        };
        std::thread first(waitForSignal), second(waitForSignal);
        while (ready < 2) std::this_thread::yield();
        pthread_kill(first.native_handle(), SIGINT);
        char c;
        if (read(taken[0], &c, 1) != 1) _exit(89);
        pthread_kill(second.native_handle(), SIGTERM);
        first.join();
    });
    EXPECT_TRUE(WIFSIGNALED(w) && (WTERMSIG(w) == SIGINT || WTERMSIG(w) == SIGTERM)) << "wait status " << w;
    EXPECT_EQ(Listing(), "");
}

}  // namespace
