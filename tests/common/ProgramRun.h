// Runs the built program as a child process with the limits, environment, interrupt or refusal a
// test asks for, and says how it ended (its exit status, or the signal that ended it); and the files of
// a folder with their contents, to compare a folder before and after a run byte for byte.
#ifndef TARNEX_TESTS_COMMON_PROGRAMRUN_H
#define TARNEX_TESTS_COMMON_PROGRAMRUN_H

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tnxtest {

struct ProgramRun {
    std::string input;              // standard input
    long fileSizeLimit = 0;         // bytes (ulimit -f); 0: none
    int signalInCommit = 0;         // raised inside the commit of the file named below (0: none)
    std::string signalOn;           // a part of that temporary file's name
    std::vector<int> ignored;       // signals the program starts with ignored (as under nohup)
    std::string refuseRenameOn;     // a part of the name of a temporary file whose rename fails,
    int refuseRenameWith = 0;       // with this error number
    std::string waitOn;             // a part of the name of a temporary file whose rename waits,
    std::string waitCreateOn;       // or of a file whose exclusive creation waits,
    int waitCreateSkip = 0;         // (the first this many such creations passing without a wait)
    std::string waiting;            // once this file is made,
    std::string waitFor;            // until this file exists
    size_t refuseGrowthAbove = 0;   // a realloc asked for more bytes refused (0: none)
    long diskFullAfter = -1;        // the bytes the program's files take before the disk is full (-1: none)
    std::string appearOn;           // the end of the name of a file another run makes just before the program
    std::string appearText;         // creates a file whose name holds it (or opens one with fopen), and its text
    bool appearAtRemoval = false;   // the file put in place instead just before the program removes such a file
    std::string starveAfter;        // a part of the name of a temporary file after whose rename calloc fails
    std::string threads;            // TARNEX_THREADS (empty: as the test's environment has it)
};

// The signals the program handles.
inline const std::vector<int> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ, SIGPIPE, SIGQUIT};

// How the program ended: `signal` the signal that ended it (0: it exited with `status`).
struct Ending {
    int status = -1;
    int signal = 0;
};

// Starts TARNEX_BIN in `folder` on run.input, its two streams kept beside the folder (stdout.txt,
// stderr.txt in its parent, or in `streams` when given); the child's process id. The signals the
// program handles start at their default action (those run.ignored names ignored) and unblocked,
// as from a shell; no core file is written; the run is ended by SIGALRM after two minutes. The
// interrupt, the refused rename and the wait in a commit, the full disk, another run's file and
// the memory refused after a rename come from the library TARNEX_SIGNAL_IN_COMMIT, the refused
// growth from TARNEX_REFUSED_GROWTH, each preloaded.
inline pid_t StartProgram(const std::filesystem::path& folder, const ProgramRun& run,
                          std::filesystem::path streams = {}) {
    const std::filesystem::path dir = folder.has_filename() ? folder : folder.parent_path();
    if (streams.empty()) streams = dir.parent_path();
    const std::filesystem::path in = streams / "stdin.txt";
    std::ofstream(in, std::ios::binary) << run.input;
    const std::string out = (streams / "stdout.txt").string(), err = (streams / "stderr.txt").string();
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        const int i = open(in.c_str(), O_RDONLY), o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                  e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (i < 0 || o < 0 || e < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
        for (int sig : kEndingSignals) signal(sig, SIG_DFL);
        for (int sig : run.ignored) signal(sig, SIG_IGN);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (run.fileSizeLimit > 0) {
            const rlimit size{static_cast<rlim_t>(run.fileSizeLimit), static_cast<rlim_t>(run.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &size);
        }
        std::string preload;
        if (run.signalInCommit || run.refuseRenameWith || !run.waitOn.empty() || !run.waitCreateOn.empty() ||
            run.diskFullAfter >= 0 ||
            !run.appearOn.empty() || !run.starveAfter.empty()) {
            preload = TARNEX_SIGNAL_IN_COMMIT;
            if (run.signalInCommit) {
                setenv("TNXTEST_SIGNAL_IN_COMMIT", std::to_string(run.signalInCommit).c_str(), 1);
                setenv("TNXTEST_SIGNAL_ON", run.signalOn.c_str(), 1);
            }
            if (run.refuseRenameWith) {
                setenv("TNXTEST_REFUSE_RENAME_WITH", std::to_string(run.refuseRenameWith).c_str(), 1);
                setenv("TNXTEST_REFUSE_RENAME_ON", run.refuseRenameOn.c_str(), 1);
            }
            if (run.diskFullAfter >= 0) setenv("TNXTEST_DISK_FULL_AFTER", std::to_string(run.diskFullAfter).c_str(), 1);
            if (!run.appearOn.empty()) {
                setenv("TNXTEST_APPEAR_ON", run.appearOn.c_str(), 1);
                setenv("TNXTEST_APPEAR_TEXT", run.appearText.c_str(), 1);
                if (run.appearAtRemoval) setenv("TNXTEST_APPEAR_AT_REMOVAL", "1", 1);
            }
            if (!run.starveAfter.empty()) setenv("TNXTEST_STARVE_AFTER", run.starveAfter.c_str(), 1);
            if (!run.waitOn.empty() || !run.waitCreateOn.empty()) {
                setenv("TNXTEST_WAIT_ON", run.waitOn.c_str(), 1);
                setenv("TNXTEST_WAIT_CREATE_ON", run.waitCreateOn.c_str(), 1);
                setenv("TNXTEST_WAIT_CREATE_SKIP", std::to_string(run.waitCreateSkip).c_str(), 1);
                setenv("TNXTEST_WAITING", run.waiting.c_str(), 1);
                setenv("TNXTEST_WAIT_FOR", run.waitFor.c_str(), 1);
            }
        }
        if (run.refuseGrowthAbove) {
            preload += std::string(preload.empty() ? "" : ":") + TARNEX_REFUSED_GROWTH;
            setenv("TNXTEST_REFUSE_GROWTH_ABOVE", std::to_string(run.refuseGrowthAbove).c_str(), 1);
        }
        if (!run.threads.empty()) setenv("TARNEX_THREADS", run.threads.c_str(), 1);
        if (!preload.empty()) {
            setenv("LD_PRELOAD", preload.c_str(), 1);
            // A program built with the address sanitizer wants its runtime first among the
            // libraries; the preloaded one comes before it.
            const char* asan = std::getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
        }
        alarm(120);
        execl(TARNEX_BIN, TARNEX_BIN, static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// Waits for a child that StartProgram started: how it ended.
inline Ending WaitProgram(pid_t child) {
    Ending ending;
    int w = 0;
    if (child < 0 || waitpid(child, &w, 0) != child) return ending;
    if (WIFSIGNALED(w)) ending.signal = WTERMSIG(w);
    else if (WIFEXITED(w)) ending.status = WEXITSTATUS(w);
    return ending;
}

// Whether the process `pid` has ended (a zombie not yet waited for counts as ended).
inline bool ProgramEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] == 'Z' || text[close + 2] == 'X';
}

// Waits until the process `pid` waits for the commit lock of `folder`, which another run holds:
// the system's table of locks (/proc/locks) lists it as waiting ("->") for a flock on the folder.
// False when the process ends first, or the commit (a thread of this process) sets `ended`, or
// after two minutes.
inline bool WaitsForCommitLock(pid_t pid, const std::filesystem::path& folder,
                               const std::atomic<bool>* ended = nullptr) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return false;
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    for (int round = 0; round < 120000; round++) {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);) {
            std::istringstream words(line);
            std::string number, arrow, kind, advisory, mode, owner;
            words >> number >> arrow >> kind >> advisory >> mode >> owner;
            if (arrow == "->" && kind == "FLOCK" && owner == std::to_string(pid) &&
                (line + " ").find(inode) != std::string::npos)
                return true;
        }
        if (ProgramEnded(pid) || (ended && ended->load())) return false;
        poll(nullptr, 0, 1);
    }
    return false;
}

// Runs the program as StartProgram starts it, to its end.
inline Ending RunProgram(const std::filesystem::path& folder, const ProgramRun& run) {
    return WaitProgram(StartProgram(folder, run));
}

// Every file of `dir` (no subfolders) with its contents.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        std::ifstream f(e.path(), std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        files[e.path().filename().string()] = s.str();
    }
    return files;
}

// Expects the files of `dir` to be those of `before`, byte for byte, and no other.
inline void ExpectFolderAsBefore(const std::filesystem::path& dir, const std::map<std::string, std::string>& before) {
    const auto after = Snapshot(dir);
    EXPECT_EQ(after.size(), before.size());
    for (const auto& [name, text] : before) {
        const auto found = after.find(name);
        EXPECT_TRUE(found != after.end() && found->second == text) << name << " changed";
    }
}

// The names in `dir` of temporary files: those of the replacing writer ("<target>.tmpXXXXXX"),
// the random-data file's among them, and the earlier targets a set keeps aside while it is put in
// place ("<target>.tmpXXXXXX.old").
inline std::string TemporaryNames(const std::filesystem::path& dir) {
    std::string names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.find(".tmp") != std::string::npos) names += name + " ";
    }
    return names;
}

}  // namespace tnxtest

#endif
