// The replacing writer: a target is replaced whole or left as it was, the temporary file never
// stays behind, and each failure gives its message and its error code. A set of files is put in
// place whole or not at all: a target that cannot be replaced, and a rename that fails part-way,
// leave the earlier files.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FoundationTestSupport.h"
#include "common/ProgramRun.h"
#include "foundation/ReplacingWriter.h"

namespace fs = std::filesystem;

// Renames, links, removals and cuts refused on demand, for the commits that fail part-way as on a
// full disk: the writer's calls of rename(), link(), remove() and truncate() come to these
// definitions, which take the system's place in this test program, and go on to the system's
// unless a rule of the running test refuses them. A rename may raise SIGINT first, as an interrupt
// that comes inside the commit, and the test may look at the folder before each rename. Once a
// stat() has checked a named file, a named pipe may be put in its place, as another program would.
namespace refusals {
struct Rule {
    Rule(std::string h, std::string l, int e, std::string a = "")
        : holds(std::move(h)), lacks(std::move(l)), error(e), also(std::move(a)) {}
    std::string holds;  // the first name (its file name) holds this text
    std::string lacks;  // and not this one (none when empty)
    int error;
    std::string also;   // and this one too (none when empty)
};
std::vector<Rule> renames, links, removals, cuts;
std::string interruptRenameOf;  // a rename whose first name holds this raises SIGINT (none: empty)
std::string otherRunAtRenameOf;  // before a rename whose first name holds this (none: empty),
std::function<void()> otherRun;  // another program does this
std::function<void()> atEveryRename;  // the test looks at the folder before each rename (none: empty)
std::string pipeAfterCheckOf;  // a named pipe put at the first name holding this once it is checked

bool Refused(const std::vector<Rule>& rules, const char* path) {
    // The rules name files: the folders on the way (a temporary folder may be called ".tmp") are
    // not looked at.
    const char* slash = std::strrchr(path, '/');
    const char* from = slash ? slash + 1 : path;
    for (const Rule& r : rules)
        if (std::strstr(from, r.holds.c_str()) && (r.lacks.empty() || !std::strstr(from, r.lacks.c_str())) &&
            (r.also.empty() || std::strstr(from, r.also.c_str()))) {
            errno = r.error;
            return true;
        }
    return false;
}

void Clear() {
    renames.clear();
    links.clear();
    removals.clear();
    cuts.clear();
    interruptRenameOf.clear();
    otherRunAtRenameOf.clear();
    otherRun = nullptr;
    atEveryRename = nullptr;
    pipeAfterCheckOf.clear();
}
}  // namespace refusals

extern "C" int rename(const char* from, const char* to) {
    using Call = int (*)(const char*, const char*);
    static const Call next = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "rename"));
    if (!refusals::interruptRenameOf.empty() && std::strstr(from, refusals::interruptRenameOf.c_str())) raise(SIGINT);
    if (!refusals::otherRunAtRenameOf.empty() && std::strstr(from, refusals::otherRunAtRenameOf.c_str())) {
        refusals::otherRunAtRenameOf.clear();  // once: its own renames come here too
        if (refusals::otherRun) refusals::otherRun();
    }
    if (refusals::atEveryRename) refusals::atEveryRename();
    return refusals::Refused(refusals::renames, from) ? -1 : next(from, to);
}

extern "C" int stat(const char* path, struct stat* st) noexcept {
    using Call = int (*)(const char*, struct stat*);
    static const Call next = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "stat"));
    const int result = next(path, st);
    if (!refusals::pipeAfterCheckOf.empty() && std::strstr(path, refusals::pipeAfterCheckOf.c_str())) {
        refusals::pipeAfterCheckOf.clear();  // once
        mkfifo(path, 0644);
    }
    return result;
}

extern "C" int remove(const char* path) {
    using Call = int (*)(const char*);
    static const Call next = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "remove"));
    return refusals::Refused(refusals::removals, path) ? -1 : next(path);
}

extern "C" int truncate(const char* path, off_t length) {
    using Call = int (*)(const char*, off_t);
    static const Call next = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "truncate"));
    return refusals::Refused(refusals::cuts, path) ? -1 : next(path, length);
}

extern "C" int link(const char* from, const char* to) {
    using Call = int (*)(const char*, const char*);
    static const Call next = reinterpret_cast<Call>(dlsym(RTLD_NEXT, "link"));
    return refusals::Refused(refusals::links, from) ? -1 : next(from, to);
}

namespace {

// While it lives, a write that takes a file past 16 bytes (or the size given) fails (EFBIG; the
// signal that would come with it is ignored). Lift gives back the limit and the signal's action
// before the end.
class SmallFileSizeLimit {
public:
    explicit SmallFileSizeLimit(rlim_t bytes = 16) : old_(std::signal(SIGXFSZ, SIG_IGN)) {
        if (getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
        struct rlimit small = saved_;
        small.rlim_cur = bytes;
        set_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~SmallFileSizeLimit() { Lift(); }
    SmallFileSizeLimit(const SmallFileSizeLimit&) = delete;
    SmallFileSizeLimit& operator=(const SmallFileSizeLimit&) = delete;
    bool Set() const { return set_; }
    void Lift() {
        if (lifted_) return;
        lifted_ = true;
        if (set_) setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_);
    }

private:
    void (*old_)(int);
    struct rlimit saved_ {};
    bool set_ = false;
    bool lifted_ = false;
};

// While it lives, an alarm comes after the seconds given and cuts short the call it finds waiting
// (EINTR), rather than end the test program; `fired` says that it came.
struct AlarmAfter {
    explicit AlarmAfter(unsigned seconds) {
        struct sigaction cut {};
        cut.sa_handler = [](int) { fired = 1; };
        fired = 0;
        sigaction(SIGALRM, &cut, &old), alarm(seconds);
    }
    ~AlarmAfter() { alarm(0), sigaction(SIGALRM, &old, nullptr); }
    static inline volatile sig_atomic_t fired = 0;
    struct sigaction old {};
};

class ReplacingWriterTest : public testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tnxrwXXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        target_ = (dir_ / "out.txt").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Read() {
        std::ifstream in(target_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Names of the files in the directory, one a line, in sorted order.
    std::string Listing() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::string s;
        for (const auto& n : names) s += n + "\n";
        return s;
    }
    fs::path dir_;
    std::string target_;
};

TEST_F(ReplacingWriterTest, CommitReplacesTheOldFileWholeWithTheModeFopenGives) {
    std::ofstream(target_) << "old contents that are longer than the new ones\n";
    mode_t mask = umask(022);
    {
        ReplacingWriter w(target_);
        FILE* f = w.Open();
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "new %d\n", 42);
        EXPECT_EQ(Read(), "old contents that are longer than the new ones\n");  // not yet
        EXPECT_EQ(w.Commit(), ReplacingWriter::kWritten);
    }
    umask(mask);
    EXPECT_EQ(Read(), "new 42\n");
    EXPECT_EQ(Listing(), "out.txt\n");  // no temporary file left
    struct stat st;
    ASSERT_EQ(stat(target_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);  // 0666 less the umask 022, not mkstemp's 0600
}

// The temporary file, and so the file put in place, takes 0666 less the umask whatever the umask
// is, as a file fopen creates; the umask is the one the writer found, before and after its commit.
TEST_F(ReplacingWriterTest, TheFileTakesTheModeFopenGivesUnderEachUmask) {
    const struct {
        mode_t mask, mode;
    } cases[] = {{077, 0600}, {027, 0640}, {002, 0664}, {0, 0666}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        const mode_t saved = umask(c.mask);
        ReplacingWriter w(target_);
        std::fputs("text", w.OpenOrRaise());
        struct stat st;
        for (const auto& e : fs::directory_iterator(dir_)) {
            ASSERT_EQ(stat(e.path().c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, c.mode) << e.path();
        }
        EXPECT_EQ(w.Commit(), ReplacingWriter::kWritten);
        ASSERT_EQ(stat(target_.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.mode);
        EXPECT_EQ(umask(saved), c.mask);
        fs::remove(target_);
    }
}

TEST_F(ReplacingWriterTest, AWriterLeftWithoutCommitLeavesTheOldFileAndNoTemporary) {
    std::ofstream(target_) << "kept\n";
    {
        ReplacingWriter w(target_);
        std::fprintf(w.OpenOrRaise(), "half of a file");
        EXPECT_EQ(Listing().size(), std::string("out.txt\nout.txt.tmpXXXXXX\n").size());
    }
    EXPECT_EQ(Read(), "kept\n");
    EXPECT_EQ(Listing(), "out.txt\n");
}

// A target in a missing folder cannot be created: the opener's message with the system's reason;
// a directory is not replaced: "can't replace" with its reason. Both give code 4; a commit
// without an open file is a failed write (code 3).
TEST_F(ReplacingWriterTest, TargetsThatCannotBeCreatedOrReplacedGiveTheMessageAndCodeFour) {
    std::string missing = (dir_ / "no-such-dir" / "out.txt").string();
    {
        ConsoleCapture cap;
        ReplacingWriter w(missing), raising(missing);
        EXPECT_EQ(w.Open(), nullptr);
        EXPECT_EQ(CodeOf([&] { raising.OpenOrRaise(); }), TNX_FAIL_TO_OPEN);
        const std::string message = "\ncan't open " + missing + ": No such file or directory \n";
        EXPECT_EQ(cap.Err(), message + message);
        EXPECT_EQ(cap.Out(), "\a\a");
    }
    ASSERT_TRUE(fs::create_directory(target_));
    for (bool raising : {false, true}) {
        SCOPED_TRACE(raising);
        ConsoleCapture cap;
        ReplacingWriter w(target_);
        std::fprintf(w.OpenOrRaise(), "text\n");
        if (raising) EXPECT_EQ(CodeOf([&] { w.CommitOrRaise(); }), TNX_FAIL_TO_OPEN);
        else EXPECT_EQ(w.Commit(), ReplacingWriter::kNotReplaced);
        EXPECT_EQ(cap.Err(), "\ncan't replace " + target_ + ": Is a directory \n");
        EXPECT_TRUE(fs::is_directory(target_));
        EXPECT_EQ(Listing(), "out.txt\n");
    }
    ReplacingWriter unopened(target_ + "2");
    EXPECT_EQ(unopened.Commit(), ReplacingWriter::kWriteFailed);
    EXPECT_EQ(CodeOf([&] { unopened.CommitOrRaise(); }), TNX_FAIL_TO_PRINT);
    EXPECT_EQ(Listing(), "out.txt\n");
    EXPECT_EQ(unopened.Target(), target_ + "2");
}

TEST_F(ReplacingWriterTest, AFailedWriteLeavesTheOldFileAndGivesCodeThree) {
    // A file-size limit below what is written makes the writes fail (EFBIG; the signal that
    // would come with it is ignored for the test).
    std::ofstream(target_) << "kept\n";
    for (bool raising : {false, true}) {
        SCOPED_TRACE(raising);
        ReplacingWriter w(target_);
        FILE* f = w.OpenOrRaise();
        SmallFileSizeLimit limit;
        ASSERT_TRUE(limit.Set());
        for (int i = 0; i < 100; i++) std::fprintf(f, "line %d of a long text\n", i);
        const int code = raising ? CodeOf([&] { w.CommitOrRaise(); }) : w.Commit();
        limit.Lift();
        EXPECT_EQ(code, raising ? static_cast<int>(TNX_FAIL_TO_PRINT) : static_cast<int>(ReplacingWriter::kWriteFailed));
        EXPECT_EQ(Read(), "kept\n");
        EXPECT_EQ(Listing(), "out.txt\n");
    }
}


// A write that failed once (the file-size limit passed while the text was written) fails the
// commit even when the limit is lifted before it, so that the last flush succeeds: the file lost
// a part of its text.
TEST_F(ReplacingWriterTest, AWriteThatFailedOnceFailsTheCommitWhateverTheLastFlushDoes) {
    std::ofstream(target_) << "kept\n";
    ReplacingWriter w(target_);
    FILE* f = w.OpenOrRaise();
    SmallFileSizeLimit limit;
    ASSERT_TRUE(limit.Set());
    for (int i = 0; i < 1000; i++) std::fprintf(f, "line %d of a long text\n", i);
    limit.Lift();
    EXPECT_EQ(w.Commit(), ReplacingWriter::kWriteFailed);
    EXPECT_EQ(Read(), "kept\n");
    EXPECT_EQ(Listing(), "out.txt\n");
}

// Finish and Replace, Commit's two steps: each only in its turn. A writer opened again drops the
// text it held (its first temporary file goes) and puts the second in place.
TEST_F(ReplacingWriterTest, TheTwoStepsOfACommitTakeTheirTurnAndASecondOpenStartsAnew) {
    std::ofstream(target_) << "kept\n";
    ReplacingWriter w(target_);
    EXPECT_EQ(w.Finish(), ReplacingWriter::kWriteFailed);   // nothing opened
    std::fputs("first", w.OpenOrRaise());
    EXPECT_EQ(w.Replace(), ReplacingWriter::kWriteFailed);  // not finished
    std::fputs("second", w.OpenOrRaise());
    EXPECT_EQ(Listing().size(), std::string("out.txt\nout.txt.tmpXXXXXX\n").size());
    EXPECT_EQ(w.Finish(), ReplacingWriter::kWritten);
    EXPECT_EQ(w.Finish(), ReplacingWriter::kWriteFailed);   // already closed
    EXPECT_EQ(Read(), "kept\n");
    EXPECT_EQ(w.Replace(), ReplacingWriter::kWritten);
    EXPECT_EQ(Read(), "second");
    EXPECT_EQ(Listing(), "out.txt\n");
}

// A set puts nothing in place before its commit, then every file; a target opened again in the
// set keeps only its last text; a set dropped uncommitted leaves every target and no temporary.
TEST_F(ReplacingWriterTest, ASetPutsItsFilesInPlaceTogetherAtItsCommitOnly) {
    const std::string a = (dir_ / "a.txt").string(), b = (dir_ / "b.txt").string();
    std::ofstream(a) << "old a";
    std::ofstream(b) << "old b";
    for (bool commit : {false, true}) {
        SCOPED_TRACE(commit);
        {
            ReplacingSet set;
            std::fputs("new a 1", set.OpenOrRaise(a));
            std::fputs("new b", set.OpenOrRaise(b));
            std::fputs("new a 2", set.OpenOrRaise(a));
            EXPECT_EQ(Listing().size(), std::string("a.txt\na.txt.tmpXXXXXX\nb.txt\nb.txt.tmpXXXXXX\n").size());
            if (commit) set.CommitOrRaise();
        }
        EXPECT_EQ(Listing(), "a.txt\nb.txt\n");
        std::ifstream fa(a), fb(b);
        const std::string ta{std::istreambuf_iterator<char>(fa), {}}, tb{std::istreambuf_iterator<char>(fb), {}};
        EXPECT_EQ(ta, commit ? "new a 2" : "old a");
        EXPECT_EQ(tb, commit ? "new b" : "old b");
    }
}

// A write that fails in one file of a set (file-size limit) touches no target: code 3. A target
// that cannot be replaced (a directory) replaces none of the set: the message names it and the
// system's reason, code 4, and every target is as it was.
TEST_F(ReplacingWriterTest, ASetThatCannotBeWrittenOrPutInPlaceRaisesItsCode) {
    const std::string a = (dir_ / "a.txt").string(), b = (dir_ / "b.txt").string(), c = (dir_ / "c.txt").string();
    std::ofstream(a) << "old a";
    std::ofstream(c) << "old c";
    {
        // The limit leaves room for the captured message, not for the 100 lines (2290 bytes).
        ReplacingSet set;
        std::fputs("short", set.OpenOrRaise(a));
        FILE* f = set.OpenOrRaise(c);
        ConsoleCapture cap;
        SmallFileSizeLimit limit(1024);
        ASSERT_TRUE(limit.Set());
        for (int i = 0; i < 100; i++) std::fprintf(f, "line %d of a long text\n", i);
        const int code = CodeOf([&] { set.CommitOrRaise(); });
        limit.Lift();
        EXPECT_EQ(code, TNX_FAIL_TO_PRINT);
        EXPECT_EQ(cap.Err(), "\ncan't write " + c + ": File too large \n");
    }
    EXPECT_EQ(Listing(), "a.txt\nc.txt\n");
    {
        std::ifstream fa(a);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fa), {}), "old a");
    }
    ASSERT_TRUE(fs::create_directory(b));
    {
        ConsoleCapture cap;
        ReplacingSet set;
        for (const std::string& t : {a, b, c}) std::fputs("new", set.OpenOrRaise(t));
        EXPECT_EQ(CodeOf([&] { set.CommitOrRaise(); }), TNX_FAIL_TO_OPEN);
        EXPECT_EQ(cap.Err(), "\ncan't replace " + b + ": Is a directory \n");
    }
    EXPECT_EQ(Listing(), "a.txt\nb.txt\nc.txt\n");
    std::ifstream fa(a), fc(c);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fa), {}), "old a");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fc), {}), "old c");
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files of a set of three (a and c stood before, b did not), each target's text, or "none".
struct SetTexts {
    std::string a, b, c;
    bool operator==(const SetTexts& o) const { return a == o.a && b == o.b && c == o.c; }
};
std::ostream& operator<<(std::ostream& os, const SetTexts& t) { return os << t.a << " | " << t.b << " | " << t.c; }

class ReplacingSetTest : public ReplacingWriterTest {
protected:
    std::string Name(char which) const { return (dir_ / (std::string(1, which) + ".txt")).string(); }
    std::string Text(char which) const {
        std::error_code ec;
        if (!fs::is_regular_file(Name(which), ec)) return "none";
        std::ifstream in(Name(which));
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    SetTexts Texts() const { return {Text('a'), Text('b'), Text('c')}; }
    // A message with %a, %b, %c replaced by those targets' paths (b's given) and %d by the folder's.
    std::string Filled(std::string text, const std::string& b) const {
        for (const char* key : {"%a", "%b", "%c", "%d"})
            for (size_t at; (at = text.find(key)) != std::string::npos;)
                text.replace(at, 2, key[1] == 'd' ? dir_.string() : key[1] == 'b' ? b : Name(key[1]));
        return text;
    }
    // The folder afresh with the earlier run's a and c ("old a", "old c"), and no b.
    void EarlierSet() {
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        std::ofstream(Name('a')) << "old a";
        std::ofstream(Name('c')) << "old c";
    }
    // Writes the set a, b, c ("new a", "new b", "new c") and commits it; the error code raised.
    int CommitNewSet(std::string* err) {
        ConsoleCapture cap;
        int code;
        {
            ReplacingSet set;
            for (char t : {'a', 'b', 'c'}) std::fprintf(set.OpenOrRaise(Name(t)), "new %c", t);
            code = CodeOf([&] { set.CommitOrRaise(); });
        }
        *err = cap.Err();
        return code;
    }
};

// One target of three is each kind of thing that stands where a file goes. A regular file's place
// (a link to a regular file, a link to nothing: the link itself is replaced) takes the whole set;
// any other kind (a folder, a link to one, a named pipe, a loop of links) replaces none, and the
// message names the target and the reason.
TEST_F(ReplacingSetTest, ATargetThatCannotBeReplacedReplacesNoneOfTheSet) {
    const SetTexts before{"old a", "none", "old c"}, after{"new a", "new b", "new c"};
    const struct {
        const char* what;
        char which;                          // the target made that kind of thing
        void (*make)(const std::string& path, const fs::path& dir);
        const char* reason;                  // none: the set is put in place
    } cases[] = {
        {"a folder first", 'a', [](const std::string& p, const fs::path&) { fs::remove(p), fs::create_directory(p); },
         "Is a directory"},
        {"a folder in the middle", 'b', [](const std::string& p, const fs::path&) { fs::create_directory(p); },
         "Is a directory"},
        {"a folder last", 'c', [](const std::string& p, const fs::path&) { fs::remove(p), fs::create_directory(p); },
         "Is a directory"},
        {"a link to a folder", 'b',
         [](const std::string& p, const fs::path& d) { fs::create_directory(d / "sub"), fs::create_symlink(d / "sub", p); },
         "Is a directory"},
        {"a named pipe", 'b', [](const std::string& p, const fs::path&) { mkfifo(p.c_str(), 0644); },
         "not a regular file"},
        {"a link to itself", 'b', [](const std::string& p, const fs::path&) { fs::create_symlink(p, p); },
         "Too many levels of symbolic links"},
        {"a link to a regular file", 'b',
         [](const std::string& p, const fs::path& d) { std::ofstream(d / "real") << "real", fs::create_symlink(d / "real", p); },
         nullptr},
        {"a link to nothing", 'b', [](const std::string& p, const fs::path& d) { fs::create_symlink(d / "nothing", p); },
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EarlierSet();
        c.make(Name(c.which), dir_);
        const auto listed = Listing();
        std::string err;
        const int code = CommitNewSet(&err);
        if (c.reason) {
            EXPECT_EQ(code, TNX_FAIL_TO_OPEN);
            EXPECT_EQ(err, "\ncan't replace " + Name(c.which) + ": " + c.reason + " \n");
            SetTexts expected = before;
            (c.which == 'a' ? expected.a : c.which == 'b' ? expected.b : expected.c) = "none";
            EXPECT_EQ(Texts(), expected);
            EXPECT_EQ(Listing(), listed);  // the same names: nothing left beside them
        } else {
            EXPECT_EQ(code, 0);
            EXPECT_EQ(err, "");
            EXPECT_EQ(Texts(), after);
            EXPECT_FALSE(fs::is_symlink(Name('b')));
            EXPECT_EQ(Listing().find(".tmp"), std::string::npos);
            if (fs::exists(dir_ / "real")) {
                EXPECT_EQ(Contents(dir_ / "real"), "real");
            }
        }
    }
}

// A rename that fails all the same (a full disk, a quota, a refusal) at each place of the set, or
// an earlier file that cannot be kept aside (a file system without hard links): every target
// replaced before it gets its earlier file back, the one that did not stand before goes, and the
// message names the file and the system's reason. An earlier file that cannot be put back stays
// under its second name, which the message gives.
TEST_F(ReplacingSetTest, ARenameThatFailsPartWayPutsBackWhatItReplaced) {
    const SetTexts before{"old a", "none", "old c"};
    const struct {
        const char* what;
        std::vector<refusals::Rule> renames, links;
        const char* message;  // after "can't replace "; the target's letter first
        SetTexts texts;
        int keptAside;        // files left under a second name
    } cases[] = {
        {"the first rename, disk full", {{"a.txt.tmp", ".old", ENOSPC}}, {}, "a: No space left on device", before, 0},
        {"the second rename, over quota", {{"b.txt.tmp", ".old", EDQUOT}}, {}, "b: Disk quota exceeded", before, 0},
        {"the last rename, refused", {{"c.txt.tmp", ".old", EPERM}}, {}, "c: Operation not permitted", before, 0},
        {"the last cannot be linked aside", {}, {{"c.txt", "", EIO}}, "c: Input/output error", before, 0},
        {"the last rename and the first put back",
         {{"c.txt.tmp", ".old", ENOSPC}, {".old", "", EIO}}, {}, "c: No space left on device",
         {"new a", "none", "old c"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EarlierSet();
        refusals::renames = c.renames;
        refusals::links = c.links;
        std::string err;
        const int code = CommitNewSet(&err);
        refusals::renames.clear();
        refusals::links.clear();
        EXPECT_EQ(code, TNX_FAIL_TO_OPEN);
        const std::string message = std::string(c.message);
        EXPECT_EQ(err.substr(0, err.find(" \n") + 2),
                  "\ncan't replace " + Name(message[0]) + message.substr(1) + " \n");
        EXPECT_EQ(Texts(), c.texts);
        std::vector<std::string> aside;
        for (const auto& e : fs::directory_iterator(dir_)) {
            const std::string name = e.path().filename().string();
            if (name != "a.txt" && name != "c.txt") aside.push_back(name);
        }
        ASSERT_EQ(static_cast<int>(aside.size()), c.keptAside) << Listing();
        if (c.keptAside) {
            // a's earlier text, under "a.txt.tmp" and six letters ".old", named by the message.
            EXPECT_EQ(aside[0].rfind("a.txt.tmp", 0), 0u);
            EXPECT_EQ(aside[0].size(), std::string("a.txt.tmpXXXXXX.old").size());
            EXPECT_EQ(Contents(dir_ / aside[0]), "old a");
            EXPECT_EQ(err.substr(err.find(" \n") + 2),
                      "\nthe earlier " + Name('a') + " is kept as " + (dir_ / aside[0]).string() + " \n");
        } else {
            EXPECT_EQ(err.find(" \n") + 2, err.size());
        }
    }
}

// The one-file commit that says why: a failed write names the file and the system's reason and
// raises code 3; a rename that fails names it with its reason and raises code 4; the target stays
// as it was and no temporary file is left.
TEST_F(ReplacingWriterTest, CommitOrExplainNamesTheFileAndTheSystemsReason) {
    std::ofstream(target_) << "kept\n";
    // CommitOrRaise names a failed write as CommitOrExplain does.
    for (const bool explain : {true, false}) {
        SCOPED_TRACE(explain ? "CommitOrExplain" : "CommitOrRaise");
        // The limit leaves room for the captured message, not for the 100 lines (2290 bytes).
        ReplacingWriter w(target_);
        FILE* f = w.OpenOrRaise();
        ConsoleCapture cap;
        SmallFileSizeLimit limit(1024);
        ASSERT_TRUE(limit.Set());
        for (int i = 0; i < 100; i++) std::fprintf(f, "line %d of a long text\n", i);
        const int code = CodeOf([&] { explain ? w.CommitOrExplain() : w.CommitOrRaise(); });
        limit.Lift();
        EXPECT_EQ(code, TNX_FAIL_TO_PRINT);
        EXPECT_EQ(cap.Err(), "\ncan't write " + target_ + ": File too large \n");
        EXPECT_EQ(w.Reason(), EFBIG);
    }
    EXPECT_EQ(Read(), "kept\n");
    EXPECT_EQ(Listing(), "out.txt\n");
    for (const int error : {ENOSPC, EDQUOT, EPERM}) {
        SCOPED_TRACE(error);
        ReplacingWriter w(target_);
        std::fputs("new\n", w.OpenOrRaise());
        refusals::renames = {{"out.txt.tmp", "", error}};
        ConsoleCapture cap;
        const int code = CodeOf([&] { w.CommitOrExplain(); });
        refusals::renames.clear();
        EXPECT_EQ(code, TNX_FAIL_TO_OPEN);
        EXPECT_EQ(cap.Err(), "\ncan't replace " + target_ + ": " + std::strerror(error) + " \n");
        EXPECT_EQ(Read(), "kept\n");
        EXPECT_EQ(Listing(), "out.txt\n");
    }
    ReplacingWriter w(target_);
    std::fputs("new\n", w.OpenOrRaise());
    EXPECT_EQ(CodeOf([&] { w.CommitOrExplain(); }), 0);
    EXPECT_EQ(Read(), "new\n");
    EXPECT_EQ(Listing(), "out.txt\n");
}

// Two writers of one target in one folder at once each have a temporary file of their own: the
// second does not touch the first's, and each puts its own text in place. Names are made again,
// never taken over, where a file already stands under the name drawn.
TEST_F(ReplacingWriterTest, TwoWritersOfOneTargetNeverShareATemporaryFile) {
    ReplacingWriter first(target_), second(target_);
    std::fputs("first\n", first.OpenOrRaise());
    std::fputs("second\n", second.OpenOrRaise());
    EXPECT_EQ(Listing().size(), std::string("out.txt.tmpXXXXXX\nout.txt.tmpXXXXXX\n").size());
    EXPECT_EQ(second.Commit(), ReplacingWriter::kWritten);
    EXPECT_EQ(Read(), "second\n");
    EXPECT_EQ(first.Commit(), ReplacingWriter::kWritten);
    EXPECT_EQ(Read(), "first\n");
    EXPECT_EQ(Listing(), "out.txt\n");
}

// The names in a folder listing, or the paths in a message, with the six letters of each temporary
// name as XXXXXX. Only a file's own name is masked, never a folder's on the way to it (a temporary
// folder of its own may be called ".tmp").
std::string Masked(std::string text) {
    for (size_t at = text.find(".tmp"); at != std::string::npos; at = text.find(".tmp", at + 4)) {
        const size_t end = text.find_first_of(" \n", at);
        const bool lastPart = text.find('/', at) >= (end == std::string::npos ? text.size() : end);
        if (lastPart && at + 10 <= text.size()) text.replace(at + 4, 6, "XXXXXX");
    }
    return text;
}

// Where the system refuses a hard link (a colleague's file under fs.protected_hardlinks, a file
// system without hard links, a file at its link limit, a second device), each earlier file is
// copied aside, its text and its mode: the set is put in place, each target replaced by one rename,
// so that its name holds a whole file at every rename of the commit. A commit that fails renames
// each copy back (and removes the file that did not stand); a copy that cannot be made (past the
// file-size limit, as on a full disk) fails the commit; a file that cannot be put back or removed,
// a temporary file among them, is named.
TEST_F(ReplacingSetTest, WhereLinksAreRefusedTheEarlierFilesAreCopiedAsideAndPutBack) {
    const SetTexts before{"old a", "none", "old c"}, after{"new a", "new b", "new c"};
    using refusals::Rule;
    const std::string longC(2040, 'c');  // beyond the limit of 1024 bytes, which its copy meets
    const struct {
        int linkError;  // every link refused with it (0: links made)
        std::vector<Rule> renames, removals;
        const char* message;  // none: the set is put in place
        SetTexts texts;
        const char* aside;    // the file left beside the targets (none: ""); c as longC: a limit of 1024 bytes
    } cases[] = {
        {EPERM, {}, {}, "", after, ""},
        {EOPNOTSUPP, {}, {}, "", after, ""},
        {EMLINK, {}, {}, "", after, ""},
        {EXDEV, {}, {}, "", after, ""},
        {EPERM, {{"a.txt.tmp", ".old", EDQUOT}}, {}, "\ncan't replace %a: Disk quota exceeded \n", before, ""},
        {EXDEV, {{"c.txt.tmp", ".old", ENOSPC}}, {}, "\ncan't replace %c: No space left on device \n", before, ""},
        {EPERM, {}, {}, "\ncan't replace %c: File too large \n", {"old a", "none", longC}, ""},
        {EPERM, {{"c.txt.tmp", ".old", ENOSPC}, {"a.txt.tmp", "", EIO, ".old"}}, {},
         "\ncan't replace %c: No space left on device \n\nthe earlier %a is kept as %d/a.txt.tmpXXXXXX.old \n",
         {"new a", "none", "old c"}, "a.txt.tmpXXXXXX.old\n"},
        {EPERM, {{"c.txt.tmp", ".old", ENOSPC}}, {{"b.txt", "", EACCES}},
         "\ncan't replace %c: No space left on device \n\ncan't remove %b: Permission denied \n",
         {"old a", "new b", "old c"}, ""},
        {0, {{"c.txt.tmp", ".old", ENOSPC}}, {{"b.txt", "", EACCES}},
         "\ncan't replace %c: No space left on device \n\ncan't remove %b: Permission denied \n",
         {"old a", "new b", "old c"}, ""},
        {0, {{"c.txt.tmp", ".old", ENOSPC}}, {{"c.txt.tmp", ".old", EACCES}},
         "\ncan't replace %c: No space left on device \n\ncan't remove %d/c.txt.tmpXXXXXX: Permission denied \n",
         before, "c.txt.tmpXXXXXX\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(std::strerror(c.linkError)) + ", " + c.message);
        EarlierSet();
        const bool lengthy = c.texts.c == longC;
        if (lengthy) std::ofstream(Name('c'), std::ios::trunc) << longC;
        ASSERT_EQ(chmod(Name('a').c_str(), 0604), 0);
        if (c.linkError) refusals::links = {{".txt", "", c.linkError}};
        refusals::renames = c.renames;
        refusals::removals = c.removals;
        // At every rename, a and c each hold a whole file, the earlier or the new.
        std::string emptied;
        refusals::atEveryRename = [&] {
            for (char t : {'a', 'c'}) emptied += Text(t) == "none" ? std::string(1, t) : "";
        };
        std::string err;
        SmallFileSizeLimit limit(lengthy ? 1024 : RLIM_INFINITY);
        const int code = CommitNewSet(&err);
        limit.Lift();
        refusals::Clear();
        EXPECT_EQ(emptied, "");
        EXPECT_EQ(code, *c.message ? TNX_FAIL_TO_OPEN : 0);
        EXPECT_EQ(Masked(err), Filled(c.message, Name('b')));
        const SetTexts& texts = c.texts;
        EXPECT_EQ(Texts(), texts);
        const fs::perms mode = fs::perms(0604);  // the earlier a's, wherever it stands again
        EXPECT_EQ(texts.a == "old a" ? fs::status(Name('a')).permissions() : mode, mode);
        std::string listed;  // each file left aside after its target
        for (const auto& [t, text] : {std::pair<char, std::string>{'a', texts.a}, {'b', texts.b}, {'c', texts.c}})
            listed += (text == "none" ? "" : t + std::string(".txt\n")) + (*c.aside == t ? c.aside : "");
        EXPECT_EQ(Masked(Listing()), listed);
    }
}

// A text to append is a file of the set: appended at the commit and not before, after the texts
// appended to the same file before it, into the replacement of the same target when the set holds
// one, and dropped by a later replacement; a file that did not stand is made. A commit that fails
// at any step (a rename, an append's write past the file-size limit, a file that cannot be made
// or is a folder, a named pipe put in a file's place once it was checked, a signal that comes
// meanwhile) cuts every file appended to back to its former length, removes those it made,
// replaces no target, and names the file and the reason. The pipe is refused at once, without
// waiting for a reader (an alarm ends a wait that a regression would make).
TEST_F(ReplacingSetTest, AppendsAreFilesOfTheSetWholeOrCutBack) {
    // c holds 2040 bytes: the limit of 2048 takes 8 more, not the 12 appended.
    const std::string oldC(2040, 'c');
    const SetTexts before{"old a", "none", oldC};
    static int interrupts = 0;
    const struct {
        std::vector<refusals::Rule> renames;
        rlim_t limit;         // a file-size limit (0: none)
        const char* b;        // b's name; "b.txt/": a folder stands there; "b.txt|": a pipe put there once checked
        bool interrupt;       // SIGINT comes at the rename of a
        int code;
        const char* message;  // %a, %b, %c: the targets' paths
    } cases[] = {
        {{}, 0, "b.txt", false, 0, ""},
        {{{"a.txt.tmp", ".old", ENOSPC}}, 0, "b.txt", false, TNX_FAIL_TO_OPEN,
         "\ncan't replace %a: No space left on device \n"},
        {{}, 2048, "b.txt", false, TNX_FAIL_TO_PRINT, "\ncan't write %c: File too large \n"},
        {{}, 0, "none/b.txt", false, TNX_FAIL_TO_OPEN, "\ncan't open %b: No such file or directory \n"},
        {{}, 0, "b.txt/", false, TNX_FAIL_TO_OPEN, "\ncan't open %b: Is a directory \n"},
        {{}, 0, "b.txt", true, TNX_FAIL_TO_OPEN, "\ncan't replace %a: Interrupted system call \n"},
        {{}, 0, "b.txt|", false, TNX_FAIL_TO_OPEN, "\ncan't open %b: not a regular file \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EarlierSet();
        std::ofstream(Name('c'), std::ios::trunc) << oldC;
        const bool folder = c.b[std::strlen(c.b) - 1] == '/', pipe = c.b[std::strlen(c.b) - 1] == '|';
        if (folder) fs::create_directory(Name('b'));
        const std::string b = folder || pipe ? Name('b') : (dir_ / c.b).string();
        interrupts = 0;
        void (*old)(int) = std::signal(SIGINT, [](int) { interrupts++; });
        std::string err;
        int code;
        {
            ReplacingSet set;
            set.AppendOrRaise(Name('c'), " c 1", 4);
            set.AppendOrRaise(b, " b 1", 4);
            set.AppendOrRaise(Name('a'), " dropped", 8);
            std::fputs("new", set.OpenOrRaise(Name('a')));
            set.AppendOrRaise(Name('a'), " a", 2);
            set.AppendOrRaise(Name('c'), " c 2 c 3", 8);
            set.AppendOrRaise(b, " b 2", 4);
            EXPECT_EQ(Texts(), before);  // nothing before the commit
            if (c.interrupt) refusals::interruptRenameOf = "a.txt.tmp";
            if (pipe) refusals::pipeAfterCheckOf = "b.txt";
            refusals::renames = c.renames;
            ConsoleCapture cap;
            SmallFileSizeLimit limit(c.limit ? c.limit : RLIM_INFINITY);
            AlarmAfter bound(10);
            code = CodeOf([&] { set.CommitOrRaise(); });
            limit.Lift();
            refusals::Clear();
            err = cap.Err();
        }
        std::signal(SIGINT, old);
        EXPECT_EQ(interrupts, c.interrupt ? 1 : 0);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(err, Filled(c.message, b));
        EXPECT_EQ(Texts(), c.code ? before : (SetTexts{"new a", " b 1 b 2", oldC + " c 1 c 2 c 3"}));
        EXPECT_EQ(Listing(), c.code && !folder && !pipe ? "a.txt\nc.txt\n" : "a.txt\nb.txt\nc.txt\n");
    }
}

// The run's set: none outside a run; a scope makes one current, and a scope opened inside it joins
// it (its commit does nothing, the outer one puts every file in place). After the commit, and
// after a scope left without one, no set is current; a scope left without a commit leaves every
// target as it was and no temporary file.
TEST_F(ReplacingSetTest, ARunsFilesGoToItsSetAndAnInnerScopeJoinsIt) {
    EarlierSet();
    EXPECT_EQ(RunFiles(), nullptr);
    for (const bool commit : {false, true}) {
        SCOPED_TRACE(commit);
        {
            RunFilesScope run;
            ReplacingSet* files = RunFiles();
            ASSERT_NE(files, nullptr);
            EXPECT_FALSE(run.Joined());
            files->WriteOrRaise(Name('a'), "new a", 5);
            {
                RunFilesScope inner;
                EXPECT_TRUE(inner.Joined());
                EXPECT_EQ(RunFiles(), files);
                RunFiles()->AppendOrRaise(Name('c'), " more", 5);
                inner.CommitOrRaise();
                EXPECT_EQ(Texts(), (SetTexts{"old a", "none", "old c"}));
            }
            EXPECT_EQ(RunFiles(), files);
            if (commit) {
                run.CommitOrRaise();
                EXPECT_EQ(RunFiles(), nullptr);
            }
        }
        EXPECT_EQ(RunFiles(), nullptr);
        const SetTexts expected = commit ? SetTexts{"new a", "none", "old c more"} : SetTexts{"old a", "none", "old c"};
        EXPECT_EQ(Texts(), expected);
        EXPECT_EQ(Listing(), "a.txt\nc.txt\n");
    }
    // An error that leaves the scope discards the set.
    EXPECT_EQ(CodeOf([&] {
                  RunFilesScope run;
                  RunFiles()->WriteOrRaise(Name('b'), "new b", 5);
                  RaiseError(TNX_FAIL_TO_PRINT);
              }),
              TNX_FAIL_TO_PRINT);
    EXPECT_EQ(RunFiles(), nullptr);
    EXPECT_EQ(Listing(), "a.txt\nc.txt\n");
}

// A lone writer replaces a regular file (or a link to one, or nothing) and nothing else: a named
// pipe, a link to a device and a folder stay as they are, the message names the target and the
// reason, and no temporary file stays. The pipe is never opened, so nothing waits for a reader.
TEST_F(ReplacingWriterTest, ALoneWriterReplacesOnlyARegularFile) {
    const struct {
        const char* what;
        void (*make)(const std::string& target, const fs::path& dir);
        bool (*unchanged)(const std::string& target);
        const char* reason;
    } cases[] = {
        {"a named pipe", [](const std::string& t, const fs::path&) { mkfifo(t.c_str(), 0644); },
         [](const std::string& t) { return fs::is_fifo(t); }, "not a regular file"},
        {"a link to a device", [](const std::string& t, const fs::path&) { fs::create_symlink("/dev/null", t); },
         [](const std::string& t) { return fs::is_symlink(t) && fs::read_symlink(t) == "/dev/null"; },
         "not a regular file"},
        {"a folder", [](const std::string& t, const fs::path&) { fs::create_directory(t); },
         [](const std::string& t) { return fs::is_directory(t); }, "Is a directory"},
        {"a link to a regular file",
         [](const std::string& t, const fs::path& d) { std::ofstream(d / "real") << "old\n", fs::create_symlink(d / "real", t); },
         nullptr, ""},
    };
    for (const auto& c : cases) {
        for (const bool explain : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (explain ? ", CommitOrExplain" : ", Commit"));
            fs::remove_all(dir_);
            fs::create_directory(dir_);
            c.make(target_, dir_);
            ConsoleCapture cap;
            ReplacingWriter w(target_);
            std::fputs("new\n", w.OpenOrRaise());
            int code = 0;
            if (explain) code = CodeOf([&] { w.CommitOrExplain(); });
            else code = w.Commit() == ReplacingWriter::kNotReplaced ? TNX_FAIL_TO_OPEN : 0;
            EXPECT_EQ(code, *c.reason ? TNX_FAIL_TO_OPEN : 0);
            EXPECT_EQ(cap.Err(), *c.reason ? "\ncan't replace " + target_ + ": " + c.reason + " \n" : "");
            if (c.unchanged) EXPECT_TRUE(c.unchanged(target_));
            else EXPECT_EQ(Read(), "new\n");
            EXPECT_EQ(Listing().find(".tmp"), std::string::npos) << Listing();
        }
    }
}

// Once the set is in place, an earlier file kept aside that cannot be removed is named with the
// reason (it holds a whole copy of the earlier file); the set stays in place and no code is raised.
TEST_F(ReplacingSetTest, AnEarlierFileKeptAsideThatCannotBeRemovedIsNamed) {
    EarlierSet();
    refusals::removals = {{".old", "", EACCES}};
    std::string err;
    const int code = CommitNewSet(&err);
    refusals::Clear();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Masked(err), Filled("\ncan't remove %d/a.txt.tmpXXXXXX.old: Permission denied \n"
                                  "\ncan't remove %d/c.txt.tmpXXXXXX.old: Permission denied \n",
                                  Name('b')));
    EXPECT_EQ(Texts(), (SetTexts{"new a", "new b", "new c"}));
    EXPECT_EQ(Masked(Listing()), "a.txt\na.txt.tmpXXXXXX.old\nb.txt\nc.txt\nc.txt.tmpXXXXXX.old\n");
    for (const auto& e : fs::directory_iterator(dir_)) {
        const std::string name = e.path().filename().string();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".old") {
            std::ifstream in(e.path());
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string("old ") + name[0]);
        }
    }
}

// A commit that fails puts back only what it replaced: a target that another program replaced
// since this set put its file there keeps the other program's file, while the set's other targets
// get their earlier files back (or are removed where none stood).
TEST_F(ReplacingSetTest, AnUndoPutsBackOnlyWhatTheSetReplaced) {
    for (const bool linksRefused : {false, true}) {
        SCOPED_TRACE(linksRefused ? "earlier files copied aside" : "earlier files linked aside");
        EarlierSet();
        if (linksRefused) refusals::links = {{".txt", "", EPERM}};
        const std::string a = Name('a'), other = (dir_ / "other").string();
        refusals::otherRunAtRenameOf = "c.txt.tmp";
        refusals::otherRun = [&] {
            std::ofstream(other) << "other a";
            ASSERT_EQ(::rename(other.c_str(), a.c_str()), 0);
        };
        refusals::renames = {{"c.txt.tmp", ".old", ENOSPC}};
        std::string err;
        const int code = CommitNewSet(&err);
        refusals::Clear();
        EXPECT_EQ(code, TNX_FAIL_TO_OPEN);
        EXPECT_EQ(err, Filled("\ncan't replace %c: No space left on device \n", Name('b')));
        EXPECT_EQ(Texts(), (SetTexts{"other a", "none", "old c"}));
        EXPECT_EQ(Listing(), "a.txt\nc.txt\n");
    }
}

// The text of a file ("none" when no file stands there).
std::string FileText(const std::string& path) {
    if (!fs::exists(path)) return "none";
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Clears the loaded session's data file when the test ends.
struct SessionDataCleared {
    ~SessionDataCleared() { ClearSessionData(); }
};

// Loads the data file `data` as the session's loader does: its identity as it is opened, and the
// digest of its bytes.
void LoadSessionData(const std::string& data) {
    const int fd = open(data.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << data;
    const FileIdentity read = IdentityOf(fd);
    SetSessionData(data, read, DigestOf(fd, read));
    close(fd);
}

// Puts the file `data` holding `text` in place as `cp` then `mv` would: a new file renamed over it.
void RewriteAsNew(const std::string& data, const fs::path& dir, const std::string& text) {
    std::ofstream(dir / "new", std::ios::binary) << text;
    fs::rename(dir / "new", data);
}

// The session's data as the table below loads them: more than one block of the digest's reading
// (32768 bytes), and a last word of five bytes (40005 = 8 x 5000 + 5).
const std::string kLoadedData = std::string(40000, 'x') + "data\n";

// kLoadedData with the byte at `at` made `to`.
std::string LoadedDataWith(size_t at, char to) {
    std::string text = kLoadedData;
    text[at] = to;
    return text;
}

// Holds the commit lock of `dir`, as another run in its commit would, while `commit` runs on a thread
// of its own until it waits for the lock; then does `meanwhile` and gives the lock back. The commit's code.
std::atomic<bool> interrupted{false};

int CommitPastTheHeldLock(const fs::path& dir, const std::function<void()>& commit,
                          const std::function<void()>& meanwhile, bool interrupt = false) {
    const int held = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_EQ(flock(held, LOCK_EX), 0);
    std::atomic<bool> ended{false};
    int code = -1;
    std::thread other([&] { code = CodeOf(commit), ended = true; });
    EXPECT_TRUE(tnxtest::WaitsForCommitLock(getpid(), dir, &ended)) << "the commit did not wait for the lock";
    if (interrupt) {
        // A signal whose handler lets the program go on (no SA_RESTART) cuts the wait short
        // (EINTR): the commit waits again. Once the handler has run, the wait it cut is over, so
        // a wait seen then is the new one.
        struct sigaction note {}, old {};
        note.sa_handler = [](int) { interrupted = true; };
        sigaction(SIGUSR1, &note, &old);
        interrupted = false;
        pthread_kill(other.native_handle(), SIGUSR1);
        for (int i = 0; i < 10000 && !interrupted && !ended; i++) poll(nullptr, 0, 1);
        EXPECT_TRUE(tnxtest::WaitsForCommitLock(getpid(), dir, &ended)) << "the signal ended the wait for the lock";
        sigaction(SIGUSR1, &old, nullptr);
    }
    meanwhile();
    close(held);
    other.join();
    return code;
}

// While a session's data are loaded, a set is put in place only beside the data file as it was
// read: one that another run replaced with other bytes, changed where it stood, removed or
// replaced by something other than a regular file (a named pipe, refused without waiting for a
// writer) holds the whole set back (code 6, every target as it was, no temporary file). The data
// file touched, or rewritten with the very bytes read, does not: the digest of its bytes is the
// one read. A set that replaces the data file itself goes in, and the data it put there are those
// the next set holds to; with no session loaded, nothing is held back.
TEST_F(ReplacingSetTest, WhileASessionIsLoadedASetIsPutInPlaceOnlyBesideTheDataItRead) {
    SessionDataCleared cleared;
    const std::string data = (dir_ / "sFormda.txt").string();
    const struct {
        const char* what;
        void (*change)(const std::string& data, const fs::path& dir);
        bool replacesData;  // the set holds the data file too
        bool loaded;        // a session's data are loaded
        int code;
    } cases[] = {
        {"the data as read", [](const std::string&, const fs::path&) {}, false, true, 0},
        {"the data touched, their modification time alone changed",
         [](const std::string& d, const fs::path&) {
             fs::last_write_time(d, fs::last_write_time(d) + std::chrono::seconds(10));
         },
         false, true, 0},
        {"the data copied and the copy renamed over them (cp then mv)",
         [](const std::string& d, const fs::path& dir) {
             fs::copy_file(d, dir / "copy");
             fs::rename(dir / "copy", d);
         },
         false, true, 0},
        {"the same length, one byte of the first block changed",
         [](const std::string& d, const fs::path& dir) { RewriteAsNew(d, dir, LoadedDataWith(3, 'y')); }, false, true,
         TNX_SESSION_CHANGED},
        {"the same length, one byte past the first block changed",
         [](const std::string& d, const fs::path& dir) { RewriteAsNew(d, dir, LoadedDataWith(35000, 'y')); }, false,
         true, TNX_SESSION_CHANGED},
        {"the same length, one byte of the last, partial word changed",
         [](const std::string& d, const fs::path& dir) { RewriteAsNew(d, dir, LoadedDataWith(40004, '?')); }, false,
         true, TNX_SESSION_CHANGED},
        {"a zero byte more, as the last word is filled out",
         [](const std::string& d, const fs::path& dir) { RewriteAsNew(d, dir, kLoadedData + std::string(1, '\0')); },
         false, true, TNX_SESSION_CHANGED},
        {"the data replaced by a named pipe",
         [](const std::string& d, const fs::path&) { fs::remove(d), mkfifo(d.c_str(), 0644); }, false, true,
         TNX_SESSION_CHANGED},
        {"the data replaced by another run",
         [](const std::string& d, const fs::path& dir) {
             std::ofstream(dir / "new") << "data\n";
             fs::rename(dir / "new", d);
         },
         false, true, TNX_SESSION_CHANGED},
        {"the data changed where they stand", [](const std::string& d, const fs::path&) { std::ofstream(d, std::ios::app) << "more\n"; },
         false, true, TNX_SESSION_CHANGED},
        {"the data removed", [](const std::string& d, const fs::path&) { fs::remove(d); }, false, true, TNX_SESSION_CHANGED},
        {"the data replaced, by this set too",
         [](const std::string& d, const fs::path& dir) {
             std::ofstream(dir / "new") << "data\n";
             fs::rename(dir / "new", d);
         },
         true, true, 0},
        {"no session loaded",
         [](const std::string& d, const fs::path&) { std::ofstream(d, std::ios::app) << "more\n"; }, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EarlierSet();
        std::ofstream(data, std::ios::binary) << kLoadedData;
        if (c.loaded) LoadSessionData(data);
        else ClearSessionData();
        c.change(data, dir_);
        const bool pipe = fs::is_fifo(data);
        const std::string dataBefore = pipe ? "" : FileText(data);
        ConsoleCapture cap;
        int code;
        {
            ReplacingSet set;
            for (char t : {'a', 'b', 'c'}) std::fprintf(set.OpenOrRaise(Name(t)), "new %c", t);
            if (c.replacesData) std::fputs("new data\n", set.OpenOrRaise(data));
            AlarmAfter bound(10);  // a named pipe waited on for a writer: the wait cut short
            code = CodeOf([&] { set.CommitOrRaise(); });
        }
        EXPECT_EQ(cap.Err(), "");
        EXPECT_FALSE(AlarmAfter::fired) << "the commit waited on the data file";
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(Texts(), c.code ? (SetTexts{"old a", "none", "old c"}) : (SetTexts{"new a", "new b", "new c"}));
        if (pipe) EXPECT_TRUE(fs::is_fifo(data));
        else EXPECT_EQ(FileText(data), c.replacesData ? "new data\n" : dataBefore);
        EXPECT_EQ(Listing().find(".tmp"), std::string::npos) << Listing();
        // The next set holds to the data file as this one left it.
        if (code == 0) {
            ReplacingSet next;
            std::fputs("next a", next.OpenOrRaise(Name('a')));
            EXPECT_EQ(CodeOf([&] { next.CommitOrRaise(); }), 0);
            EXPECT_EQ(Text('a'), "next a");
        }
    }
}

// Two commits in one folder take turns at its lock: while another holds it (here the test, as
// another run in its commit would), a set, a lone writer and a text appended whole each say once
// that they wait, naming the folder by its absolute path, and wait, changing nothing, until it is
// given back, a signal that cuts the wait short (the program going on after it) included; then
// each puts its file in place. A free lock is taken without a word.
TEST_F(ReplacingSetTest, CommitsInOneFolderTakeTurnsAtItsLock) {
    const struct {
        const char* what;
        void (*commit)(const std::string& a);
        const char* text;  // a's text after the commit
    } cases[] = {
        {"a set",
         [](const std::string& a) {
             ReplacingSet set;
             std::fputs("new a", set.OpenOrRaise(a));
             set.CommitOrRaise();
         },
         "new a"},
        {"a lone writer",
         [](const std::string& a) {
             ReplacingWriter w(a);
             std::fputs("new a", w.OpenOrRaise());
             w.CommitOrRaise();
         },
         "new a"},
        {"a text appended whole", [](const std::string& a) { AppendWholeOrRaise(a, " more", 5); }, "old a more"},
    };
    const std::string waiting =
        "Another run is saving its files in " + fs::canonical(dir_).string() + "; waiting for it to finish.\n";
    // 0: the lock free; 1: held; 2: held, and the wait cut short by a signal the program goes on after.
    for (const int held : {1, 0, 2})
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) +
                         (held == 2 ? ", the lock held, a signal" : held ? ", the lock held" : ", the lock free"));
            EarlierSet();
            ConsoleCapture cap;
            const auto commit = [&] { c.commit(Name('a')); };
            const auto oldA = [&] { EXPECT_EQ(Text('a'), "old a"); };
            const int code = held ? CommitPastTheHeldLock(dir_, commit, oldA, held == 2) : CodeOf(commit);
            EXPECT_EQ(cap.Err(), held ? waiting : "");
            EXPECT_EQ(code, 0);
            EXPECT_EQ(Text('a'), c.text);
            EXPECT_EQ(Listing(), "a.txt\nc.txt\n");
        }
}

// The session's data are compared only once the commit holds the folder's lock: bytes changed
// while it waits there for another run's commit hold the set back, although the data were as read
// when the commit began.
TEST_F(ReplacingSetTest, TheDataAreComparedOnlyOnceTheCommitHoldsTheLock) {
    SessionDataCleared cleared;
    EarlierSet();
    const std::string data = (dir_ / "sFormda.txt").string();
    std::ofstream(data, std::ios::binary) << kLoadedData;
    LoadSessionData(data);
    const auto commit = [&] {
        ReplacingSet set;
        std::fputs("new a", set.OpenOrRaise(Name('a')));
        set.CommitOrRaise();
    };
    EXPECT_EQ(CommitPastTheHeldLock(dir_, commit, [&] { RewriteAsNew(data, dir_, LoadedDataWith(0, 'y')); }),
              TNX_SESSION_CHANGED);
    EXPECT_EQ(Texts(), (SetTexts{"old a", "none", "old c"}));
    EXPECT_EQ(Listing(), "a.txt\nc.txt\nsFormda.txt\n");
}

}  // namespace
