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
    auto old = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    for (bool raising : {false, true}) {
        SCOPED_TRACE(raising);
        ReplacingWriter w(target_);
        FILE* f = w.OpenOrRaise();
        struct rlimit small = saved;
        small.rlim_cur = 16;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        for (int i = 0; i < 100; i++) std::fprintf(f, "line %d of a long text\n", i);
        const int code = raising ? CodeOf([&] { w.CommitOrRaise(); }) : w.Commit();
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(code, raising ? static_cast<int>(TNX_FAIL_TO_PRINT) : static_cast<int>(ReplacingWriter::kWriteFailed));
        EXPECT_EQ(Read(), "kept\n");
        EXPECT_EQ(Listing(), "out.txt\n");
    }
    std::signal(SIGXFSZ, old);
}

}  // namespace
