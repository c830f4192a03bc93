// End-to-end harness: runs the built program in a fresh temporary directory with a scripted
// standard input (e2e::Sandbox box; e2e::Result r = box.Run("N\ns1\n...");) and captures what it
// prints and how it ends. The input and the captured streams live beside the working directory.
#ifndef TARNEX_TESTS_E2E_H
#define TARNEX_TESTS_E2E_H

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace e2e {

struct Result {
    int status = -1;  // exit status (128 + n when ended by signal n, 137 after the time limit)
    std::string out;  // standard output
    std::string err;  // standard error
};

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Counts the non-overlapping occurrences of `what` (not empty) in `text`.
inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
    return n;
}

// A dialog header: the title in 47 columns, the session name right-aligned in 23, a rule line.
inline std::string Header(const std::string& title, const std::string& session) {
    return "\n\n" + title + std::string(47 - title.size(), ' ') + std::string(23 - session.size(), ' ') +
           session + "\n" + std::string(70, '-') + "\n";
}

// A session "s1": a formatted data file written by hand (2 traits, 3 communities, 4 OTUs, nothing
// else) and the short track file that names it.
inline const std::string kTinyFormda =
    "tiny data \n2 \nt1\tt2\t\n 3\t 3\t\n0\t0\t\n 4\t 4\t\n3 \nc1\tc2\tc3\t\n4 \n0\t0\t0\t\n"
    "0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n1\t2\t\n3\t4\t\n5\t6\t\n7\t8\t\n\n"
    "1\t0\t2\t\n0\t1\t0\t\n3\t0\t1\t\n0\t2\t2\t\n\n0 \n0 \nSMW 1\n0\n0\nMon Jan  1 00:00:00 2024\n";
inline const std::string kShortTrack = "s1Formda.txt\n07Jul17\n";

class Sandbox {
public:
    Sandbox() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tarnex-e2e-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
        std::filesystem::create_directory(Path(""));
    }
    ~Sandbox() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    std::filesystem::path Path(const std::string& name) const { return root_ / "run" / name; }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Path(name)); }
    std::string ReadFile(const std::string& name) const { return Slurp(Path(name)); }
    void WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream f(Path(name), std::ios::binary);
        if (!(f << text)) throw std::runtime_error("cannot write " + name);
    }
    void CopyIn(const std::filesystem::path& from, const std::string& name) const {
        std::filesystem::copy_file(from, Path(name), std::filesystem::copy_options::overwrite_existing);
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Path(""))) names.insert(e.path().filename());
        return names;
    }
    void PrepareTinySession() const {
        WriteFile("s1Formda.txt", kTinyFormda);
        WriteFile("s1Trk.txt", kShortTrack);
    }
    // Runs the program with `input` as its standard input, for at most `timeoutSec` seconds.
    Result Run(const std::string& input, int timeoutSec = 120) const {
        std::ofstream(root_ / "stdin.txt", std::ios::binary) << input;
        const std::string cmd = "cd '" + Path("").string() + "' && timeout -s KILL " +
                                std::to_string(timeoutSec) + " '" TARNEX_BIN
                                "' <../stdin.txt >../stdout.txt 2>../stderr.txt";
        const int w = std::system(cmd.c_str());
        return {WIFEXITED(w) ? WEXITSTATUS(w) : -1, Slurp(root_ / "stdout.txt"), Slurp(root_ / "stderr.txt")};
    }

private:
    std::filesystem::path root_;
};

}  // namespace e2e

#endif
