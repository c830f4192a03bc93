// End-to-end harness: runs the built program in a fresh temporary directory with a scripted
// standard input and captures what it prints and how it ends.
//
//   e2e::Sandbox box;                       // new empty working directory
//   box.WriteFile("TARNEX.prf", "...");     // prepare files
//   e2e::Result r = box.Run("N\ns1\n...");  // the whole dialog as one string
//   EXPECT_EQ(r.status, 0);                 // exit status (-1 when killed by a signal)
//   EXPECT_NE(r.out.find("Main menu:"), std::string::npos);
//   std::string trk = box.ReadFile("s1Trk.txt");
//
// The working directory holds only the program's own files: the scripted input and the
// captured streams are kept in a sibling directory. Everything is removed afterwards.
#ifndef TARNEX_TESTS_E2E_H
#define TARNEX_TESTS_E2E_H

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

#ifndef TARNEX_BIN
#error "TARNEX_BIN must name the built program"
#endif

namespace e2e {

struct Result {
    int status = -1;        // exit status; -1 when the program did not exit normally
    int signal = 0;         // the signal that ended it, if any
    bool timedOut = false;  // killed after the time limit
    std::string out;        // everything written to standard output
    std::string err;        // everything written to standard error
};

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void Spill(const std::filesystem::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + p.string());
    f << text;
    if (!f) throw std::runtime_error("cannot write " + p.string());
}

// Counts the non-overlapping occurrences of `what` in `text`.
inline int Count(const std::string& text, const std::string& what) {
    if (what.empty()) return 0;
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos;
         pos = text.find(what, pos + what.size()))
        ++n;
    return n;
}

class Sandbox {
public:
    Sandbox() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarnex-e2e-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
        dir_ = root_ / "run";
        std::filesystem::create_directory(dir_);
    }
    ~Sandbox() {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(root_, ec);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // The working directory of the program.
    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }

    bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
    std::string ReadFile(const std::string& name) const { return Slurp(Path(name)); }
    void WriteFile(const std::string& name, const std::string& text) const { Spill(Path(name), text); }
    // Copies a file (for example a sample data file) into the working directory.
    void CopyIn(const std::filesystem::path& from, const std::string& name) const {
        std::filesystem::copy_file(from, Path(name),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    // Names of the files in the working directory.
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            names.insert(e.path().filename().string());
        return names;
    }

    // Runs the program with `input` as its standard input; waits at most `timeoutSec`.
    Result Run(const std::string& input, int timeoutSec = 120) const {
        const auto inPath = root_ / "stdin.txt";
        const auto outPath = root_ / "stdout.txt";
        const auto errPath = root_ / "stderr.txt";
        Spill(inPath, input);
        Result r;
        pid_t pid = fork();
        if (pid < 0) throw std::runtime_error("fork failed");
        if (pid == 0) {
            int fi = open(inPath.c_str(), O_RDONLY);
            int fo = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int fe = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fi < 0 || fo < 0 || fe < 0 || chdir(dir_.c_str()) != 0) _exit(127);
            dup2(fi, 0);
            dup2(fo, 1);
            dup2(fe, 2);
            close(fi);
            close(fo);
            close(fe);
            execl(TARNEX_BIN, TARNEX_BIN, static_cast<char*>(nullptr));
            _exit(127);
        }
        int wstatus = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
        for (;;) {
            pid_t w = waitpid(pid, &wstatus, WNOHANG);
            if (w == pid) break;
            if (w < 0) throw std::runtime_error("waitpid failed");
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &wstatus, 0);
                r.timedOut = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
        if (WIFSIGNALED(wstatus)) r.signal = WTERMSIG(wstatus);
        r.out = Slurp(outPath);
        r.err = Slurp(errPath);
        return r;
    }

private:
    std::filesystem::path root_;
    std::filesystem::path dir_;
};

}  // namespace e2e

#endif
