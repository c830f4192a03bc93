// The random-data file of the functional analysis, in the process on the five-OTU data set: saved
// whole beside the report, or, when its writes are refused or its target cannot be replaced, a
// message naming it with the system's reason, the report's error code, and every file of the
// session as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/ErrorCode.h"
#include "foundation/TnxError.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "traits/ChRankData.h"
#include "traits/FiveOtusAnalysis.h"
#include "traits/RefusedThreads.h"
#include "traits/TNXRESE.h"

namespace {

class RandomDataFile : public tnxtest::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        tnxtest::LoadFiveOtusAnalysis('y');
    }
    // The names in the folder with the text of each file ("<folder>" for a folder), one a line.
    static std::string Folder() {
        std::string listing;
        for (const auto& e : std::filesystem::directory_iterator(".")) {
            const std::string name = e.path().filename().string();
            listing += name + ": " + (e.is_directory() ? "<folder>" : Read(name)) + "\n";
        }
        return listing;
    }
};

// While it lives, a file grows to `bytes` at most: a write past it fails with EFBIG, the signal
// that would come with it ignored, as in a program started with it ignored.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : old_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    void (*old_)(int);
    rlimit saved_{};
};

// The three roads of the file after the test: put in place, its writes refused (the 9 iterations
// write 16961 bytes of intermediate results; 4 KiB are allowed, room for the captured message),
// and a target that cannot be replaced (a folder holding a file). On the last two
// the message names the file and the reason, the code is the report's for a failed write (3) or
// for a file that cannot be put in place (4), and the folder is as it was, no temporary file in it:
// nothing of the run is saved.
TEST_F(RandomDataFile, SavedWholeOrTheRunEndsWithTheReasonAndNothingSaved) {
    const struct {
        const char* what;
        long limit;           // bytes; 0: none
        bool folder;          // s1RDa.txt is a folder
        int code;
        const char* message;
    } cases[] = {
        {"saved", 0, false, 0, ""},
        {"writes refused", 4096, false, TNX_FAIL_TO_PRINT, "\ncan't write s1RDa.txt: File too large \n"},
        {"a folder in its place", 0, true, TNX_FAIL_TO_OPEN, "\ncan't replace s1RDa.txt: Is a directory \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all("s1RDa.txt");
        if (c.folder) {
            std::filesystem::create_directory("s1RDa.txt");
            Write("s1RDa.txt/inside", "kept\n");
        } else {
            Write("s1RDa.txt", "saved earlier\n");
        }
        Write("s1Prinda.txt", "the earlier report\n");
        const std::string before = Folder();
        testing::internal::CaptureStderr();
        int code;
        {
            FileSizeLimit limit(c.limit ? c.limit : RLIM_INFINITY);
            code = tnxtest::CodeOf([] { PFTs_ScalingUp(); });
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(code, c.code);
        if (c.code) {
            EXPECT_EQ(Folder(), before);
            if (c.folder) {
                EXPECT_EQ(Read("s1RDa.txt/inside"), "kept\n");
            }
        } else {
            const std::string rnd = Read("s1RDa.txt");
            EXPECT_GT(rnd.size(), 4096u);
            EXPECT_EQ(tnxtest::Count(rnd, "\n\nITERATION\t8\n"), 3);
            EXPECT_EQ(tnxtest::Count(Read("s1Prinda.txt"), "\nNumber of iterations for permutation tests: 9\n"), 1);
            EXPECT_EQ(Folder().find(".tmp"), std::string::npos);
        }
    }
}

// A write of the random-data file that fails on a worker thread is named with that thread's
// reason. Two threads, the first start held until the worker it makes has drawn and written every
// iteration (the calling thread writes the observed block alone); the file may grow one byte past
// that block, so that every write of the worker's fails (File too large), and once the worker is
// done the limit is lifted: the calling thread's last flush of the stream then succeeds, and only
// the worker's errno holds the reason. The run ends with code 3 and every file as it was.
TEST_F(RandomDataFile, AWriteRefusedOnAWorkerThreadIsNamedWithItsReason) {
    ASSERT_EQ(tnxtest::CodeOf([] { PFTs_ScalingUp(); }), 0);
    const size_t observed = Read("s1RDa.txt").find("\n\nITERATION\t1\n");
    ASSERT_NE(observed, std::string::npos);
    Write("s1RDa.txt", "saved earlier\n");
    Write("s1Prinda.txt", "the earlier report\n");
    const std::string before = Folder();
    const chranktest::ThreadCount threads(2);
    testing::internal::CaptureStderr();
    int code;
    bool held;
    {
        FileSizeLimit limit(static_cast<rlim_t>(observed + 1));
        const HeldAtFirstStart hold([] {
            rlimit none{};
            getrlimit(RLIMIT_FSIZE, &none);
            none.rlim_cur = RLIM_INFINITY;
            setrlimit(RLIMIT_FSIZE, &none);
        });
        code = tnxtest::CodeOf([] { PFTs_ScalingUp(); });
        held = hold.Started();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ncan't write s1RDa.txt: File too large \n");
    EXPECT_TRUE(held);
    EXPECT_EQ(code, TNX_FAIL_TO_PRINT);
    EXPECT_EQ(Folder(), before);
}

}  // namespace
