// The replacing writer: a target is replaced whole or left as it was, the temporary file never
// stays behind, and each failure gives its message and its error code.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "foundation/ReplacingWriter.h"

namespace fs = std::filesystem;

namespace {

// While it lives, a write that takes a file past 16 bytes fails (EFBIG; the signal that would come
// with it is ignored). Lift gives back the limit and the signal's action before the end.
class SmallFileSizeLimit {
public:
    SmallFileSizeLimit() : old_(std::signal(SIGXFSZ, SIG_IGN)) {
        if (getrlimit(RLIMIT_FSIZE, &saved_) != 0) return;
        struct rlimit small = saved_;
        small.rlim_cur = 16;
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

// A target in a missing folder cannot be created; a directory cannot be renamed over. Both give
// the opener's message and code 4; a commit without an open file is a failed write (code 3).
TEST_F(ReplacingWriterTest, TargetsThatCannotBeCreatedOrReplacedGiveTheMessageAndCodeFour) {
    std::string missing = (dir_ / "no-such-dir" / "out.txt").string();
    {
        ConsoleCapture cap;
        ReplacingWriter w(missing), raising(missing);
        EXPECT_EQ(w.Open(), nullptr);
        EXPECT_EQ(CodeOf([&] { raising.OpenOrRaise(); }), TNX_FAIL_TO_OPEN);
        EXPECT_EQ(cap.Err(), "\ncan't open " + missing + " \n\ncan't open " + missing + " \n");
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
        EXPECT_EQ(cap.Err(), "\ncan't open " + target_ + " \n");
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
// that cannot be replaced (a directory) gives the opener's message and code 4; the files before it
// are in place, the one after it is dropped.
TEST_F(ReplacingWriterTest, ASetThatCannotBeWrittenOrPutInPlaceRaisesItsCode) {
    const std::string a = (dir_ / "a.txt").string(), b = (dir_ / "b.txt").string(), c = (dir_ / "c.txt").string();
    std::ofstream(a) << "old a";
    std::ofstream(c) << "old c";
    {
        ReplacingSet set;
        std::fputs("short", set.OpenOrRaise(a));
        FILE* f = set.OpenOrRaise(c);
        SmallFileSizeLimit limit;
        ASSERT_TRUE(limit.Set());
        for (int i = 0; i < 100; i++) std::fprintf(f, "line %d of a long text\n", i);
        const int code = CodeOf([&] { set.CommitOrRaise(); });
        limit.Lift();
        EXPECT_EQ(code, TNX_FAIL_TO_PRINT);
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
        EXPECT_EQ(cap.Err(), "\ncan't open " + b + " \n");
    }
    EXPECT_EQ(Listing(), "a.txt\nb.txt\nc.txt\n");
    std::ifstream fa(a), fc(c);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fa), {}), "new");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fc), {}), "old c");
}

}  // namespace
