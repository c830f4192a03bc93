// The session's own tests of a name before it reads or writes it: whether a stored result can be
// read, whether a report stands to be appended to, and the earlier text of a report a section is
// appended to. A name that is no regular file never makes
// either wait; each runs in a child process that an alarm ends, so that a wait fails the case.
#include <sys/stat.h>

#include "classical/TNXSeries.h"
#include "common/ProgramRun.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/model/TNXTRACK.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

// The exit status of `body` run in a child process (ended by an alarm after ten seconds), or 1000
// plus the signal that ended it.
template <class Body>
int InChild(Body body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);
        const int status = body();
        std::fflush(stdout);
        _exit(status);
    }
    int w = 0;
    if (child < 0 || waitpid(child, &w, 0) != child) return -1;
    return WIFSIGNALED(w) ? 1000 + WTERMSIG(w) : WEXITSTATUS(w);
}

class OpeningTest : public TempDirTest {
protected:
    // Makes `name` a regular file, a named pipe, a folder or a link to a device ('f', 'p', 'd', 'c'),
    // or nothing ('-').
    static void Make(const std::string& name, char kind) {
        if (kind == 'f') Write(name, "text\n");
        if (kind == 'p') {
            ASSERT_EQ(mkfifo(name.c_str(), 0666), 0);
        }
        if (kind == 'd') std::filesystem::create_directory(name);
        if (kind == 'c') std::filesystem::create_symlink("/dev/null", name);
    }
};

// A stored result is readable only as a regular file: a named pipe, a folder or a device is no
// stored result (found at once, without a message), nor is a missing file or the name "NULL".
TEST_F(OpeningTest, AStoredResultIsAReadableRegularFileFoundWithoutWaiting) {
    volumeName[0] = '\0';
    const std::pair<char, int> rows[] = {{'f', 1}, {'p', 0}, {'d', 0}, {'c', 0}, {'-', 0}};
    for (const auto& [kind, readable] : rows) {
        SCOPED_TRACE(kind);
        const std::string name = std::string("s1Hie") + kind + ".txt";
        Make(name, kind);
        testing::internal::CaptureStderr();
        EXPECT_EQ(InChild([&] { return StoredFileReadable(name.c_str()) ? 1 : 0; }), readable);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_EQ(InChild([] { return StoredFileReadable("NULL") ? 1 : 0; }), 0);
}

// The report's mode: a regular file that stands is appended to while a macro runs; a missing name,
// or one that is no regular file, is written anew without a question (the run's writer then names
// what keeps it from being replaced), and a named pipe does not hold the dialog.
TEST_F(OpeningTest, AReportThatIsNoRegularFileIsWrittenAnewWithoutWaiting) {
    volumeName[0] = '\0';
    runMacro = 1;
    const std::pair<char, char> rows[] = {{'f', 'a'}, {'p', 'w'}, {'d', 'w'}, {'c', 'w'}, {'-', 'w'}};
    for (const auto& [kind, mode] : rows) {
        SCOPED_TRACE(kind);
        const std::string name = std::string("s1Prinda") + kind + ".txt";
        Make(name, kind);
        EXPECT_EQ(InChild([&] {
                      GetPrindaMode(name.c_str());
                      return static_cast<int>(prindaMode[0]);
                  }),
                  mode);
    }
    runMacro = 0;
}

// A report section starts from the report's earlier text: a report that is a named pipe, a folder or
// a device cannot be read, and is refused at once with its name and reason, the bell and code 4,
// leaving no temporary file; a missing report has no earlier text, and a regular one is read.
TEST_F(OpeningTest, AReportSectionRefusesAnEarlierReportThatIsNoRegularFile) {
    volumeName[0] = '\0';
    const struct {
        char kind;
        int code;
        std::string err;
    } rows[] = {{'f', 0, ""}, {'-', 0, ""}, {'p', TNX_FAIL_TO_OPEN, "not a regular file"},
                {'d', TNX_FAIL_TO_OPEN, "Is a directory"}, {'c', TNX_FAIL_TO_OPEN, "not a regular file"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        const std::string name = std::string("s1Rep") + row.kind + ".txt";
        Make(name, row.kind);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int code = InChild([&] { return CodeOf([&] { ReportSection section(name.c_str()); }); });
        const std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(err, row.err.empty() ? "" : "\ncan't open " + name + ": " + row.err + " \n");
        EXPECT_EQ(out, row.err.empty() ? "" : "\a");
        EXPECT_EQ(TemporaryNames("."), "");
    }
    EXPECT_EQ(Read("s1Repf.txt"), "text\n");
}

}  // namespace
