// Opening a session's files end to end: a session opens wherever its user may read its files, and
// its runs replace them through the folder (a colleague's session in a shared folder); a name the
// program reads or writes that is no regular file (a named pipe, a folder, a device) is refused
// with its reason, and nothing waits; where a file cannot be opened, the message names the reason.
#include <grp.h>
#include <sys/stat.h>

#include "common/ProgramRun.h"
#include "session_fixture.h"

using namespace tnxtest;
namespace fs = std::filesystem;

namespace {

// The user the program runs as when the tests run as the superuser, whom no file's rights stop.
constexpr uid_t kOther = 65534;
// The child's status when the system refuses to change the user, or the other user cannot reach
// the test's folder (a temporary folder inside one only its owner may pass through).
constexpr int kNoUserChange = 125;

bool Superuser() { return geteuid() == 0; }

// Runs the program in the box's folder on `input`, as kOther when `asOther` and the tests run as the
// superuser; an alarm ends a run that waits (on a named pipe) after a minute (signal SIGALRM). The
// other user runs a copy of the program beside the folder: the build's own folder may be closed
// to it.
struct Outcome {
    int status = -1, signal = 0;
    std::string out, err;
};
Outcome RunProgramAs(const Sandbox& box, const std::string& input, bool asOther) {
    const fs::path streams = box.Path("").parent_path().parent_path();
    std::ofstream(streams / "stdin.txt", std::ios::binary) << input;
    const std::string in = (streams / "stdin.txt").string(), out = (streams / "stdout.txt").string(),
                      err = (streams / "stderr.txt").string();
    const bool other = asOther && Superuser();
    const std::string program = other ? (streams / "tarnex").string() : std::string(TARNEX_BIN);
    if (other && !fs::exists(program)) fs::copy_file(TARNEX_BIN, program);
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        const int i = open(in.c_str(), O_RDONLY), o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                  e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (i < 0 || o < 0 || e < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
        if (other && (setgroups(0, nullptr) != 0 || setgid(kOther) != 0 || setuid(kOther) != 0))
            _exit(kNoUserChange);
        if (chdir(box.Path("").c_str()) != 0 || access(program.c_str(), X_OK) != 0) _exit(other ? kNoUserChange : 126);
        alarm(60);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Outcome r;
    int w = 0;
    if (child < 0 || waitpid(child, &w, 0) != child) return r;
    if (WIFSIGNALED(w)) r.signal = WTERMSIG(w);
    if (WIFEXITED(w)) r.status = WEXITSTATUS(w);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

void Chmod(const fs::path& p, fs::perms perms) { fs::permissions(p, perms, fs::perm_options::replace); }

using fs::perms;
const perms kReadOnly = perms::owner_read | perms::group_read | perms::others_read;                   // 0444
const perms kOwnerWrites = kReadOnly | perms::owner_write;                                             // 0644
const perms kOpenFolder = perms::all;                                                                  // 0777
const perms kReadOnlyFolder = perms::owner_all | perms::group_read | perms::group_exec | perms::others_read |
                              perms::others_exec;                                                      // 0755

// The session's files may be read but not written by the user of the runs: owned by the superuser
// with 0644 when the tests run as the superuser (the runs are kOther's), else 0444 (the runs are
// the tests' user's). The folder, and the folder above it, can be passed through by that user.
void OnlyReadable(const Sandbox& box, const std::vector<std::string>& names) {
    for (const std::string& name : names) Chmod(box.Path(name), Superuser() ? kOwnerWrites : kReadOnly);
    Chmod(box.Path("").parent_path().parent_path(), perms::owner_all | perms::group_exec | perms::others_exec);
}
// The folder takes new files from the user of the runs (0777), or does not (0755 of the superuser's
// for kOther; 0555 for the tests' own user).
void FolderTakesFiles(const Sandbox& box, bool takes) {
    Chmod(box.Path(""), takes ? kOpenFolder : Superuser() ? kReadOnlyFolder : kReadOnly | perms::owner_exec |
                                                                                   perms::group_exec | perms::others_exec);
}

// The aviurba survey imported as the session "avi" (by the tests' own user).
class ImportedAvi : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_spp.txt", "aviurba_E.txt"})
            box.WriteFile(name, Slurp(std::string(TARNEX_EXAMPLES) + "/" + name));
        const Outcome import = RunProgramAs(box, kAviImport, false);
        ASSERT_EQ(import.status, 0) << import.err;
    }
    void TearDown() override { FolderTakesFiles(box, true); }
    Sandbox box;
};

// H as examples/README.md answers it with 99 iterations, leaving the session and the program.
const std::string kH = "O\navi\nV\nH\ny\n1\n99\n0\n2\n1\n1\n6\n1\ny\nn\n\nC\nC\nX\n";

// A colleague's session in a folder both may write: its files are the colleague's and the user may
// only read them. O opens it (reading is all it needs) and H saves its report and the new track
// file, which replace the earlier files through the folder (the superuser's files become kOther's).
TEST_F(ImportedAvi, AColleaguesSessionOpensAndItsRunReplacesTheFilesThroughTheFolder) {
    const std::string track = box.ReadFile("aviTrk.txt"), data = box.ReadFile("aviFormda.txt");
    OnlyReadable(box, {"aviTrk.txt", "aviFormda.txt"});
    FolderTakesFiles(box, true);
    const Outcome r = RunProgramAs(box, kH, true);
    if (r.status == kNoUserChange) GTEST_SKIP() << "the system refuses to change the user, or the user cannot reach the test's folder";
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Count(r.out, Header("SESSION MENU", "avi")), 2);
    EXPECT_NE(box.ReadFile("aviTrk.txt"), track);   // now naming the types' table H stored
    EXPECT_EQ(box.ReadFile("aviFormda.txt"), data);
    EXPECT_NE(box.ReadFile("aviPrinda.txt").find("Number of iterations"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat(box.Path("aviTrk.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, Superuser() ? kOther : geteuid());
    EXPECT_EQ(TemporaryNames(box.Path("")), "");
}

// A named pipe where H's report goes: the run ends with the message naming it and its reason, and
// waits for no reader; the session's files and the pipe stay as they were.
TEST_F(ImportedAvi, ANamedPipeAtTheReportEndsTheRunWithItsReason) {
    const auto before = Snapshot(box.Path(""));
    ASSERT_EQ(mkfifo(box.Path("aviPrinda.txt").c_str(), 0666), 0);
    const Outcome r = RunProgramAs(box, kH, false);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\ncan't replace aviPrinda.txt: not a regular file \n\nFAIL TO OPEN FILE !!!\n\n"
                     "Quit and restart TARNEX.\n\a");
    struct stat st {};
    EXPECT_TRUE(lstat(box.Path("aviPrinda.txt").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    fs::remove(box.Path("aviPrinda.txt"));
    ExpectFolderAsBefore(box.Path(""), before);
}

// Where the user may read the session's files but the folder takes no new file, O opens the session
// (status 0, no message, its menu), and N over it, or of a new name there, is refused at once with
// the reason, before any question about the data; where the folder takes new files, N over files
// the user may not write goes on to the data dialog, as their replacement needs only the folder. A
// session in a folder the user may not enter is refused with the system's reason. No file changes.
TEST(OpeningE2E, ASessionOpensWhereItsFilesMayBeReadAndIsReplacedWhereTheFolderTakesFiles) {
    const std::string denied = "Permission denied";
    const struct {
        const char* what;
        bool folderTakesFiles;
        std::string input, err;
        int menus;  // session menus, and data dialogs of a new session
    } rows[] = {
        {"O, folder read-only", false, "O\ns1\nC\nX\n", "", 1},
        {"N, folder read-only", false, "N\ns1\ny\n\nX\n", "\ncan't open s1Trk.txt: " + denied + " \n", 0},
        {"N of a new name, folder read-only", false, "N\ns2\n\nX\n", "\ncan't open s2Trk.txt: " + denied + " \n", 0},
        {"N, files read-only", true, "N\ns1\ny\n4\nX\n", "", 1},
        {"O, a folder without rights", true, "O\nlocked/s1\n\nX\n",
         "\ncan't open locked/s1Trk.txt: " + denied + " \n", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Sandbox box;
        box.PrepareTinySession();
        fs::create_directory(box.Path("locked"));
        box.WriteFile("locked/s1Formda.txt", FiveOtus(false));
        box.WriteFile("locked/s1Trk.txt", kShortTrack);
        OnlyReadable(box, {"s1Trk.txt", "s1Formda.txt"});
        Chmod(box.Path("locked"), Superuser() ? perms::owner_all : perms::none);
        FolderTakesFiles(box, row.folderTakesFiles);
        const Outcome r = RunProgramAs(box, row.input, true);
        FolderTakesFiles(box, true);
        Chmod(box.Path("locked"), perms::owner_all);
        if (r.status == kNoUserChange) GTEST_SKIP() << "the system refuses to change the user, or the user cannot reach the test's folder";
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, row.err);
        const bool isNew = row.input[0] == 'N';
        EXPECT_EQ(Count(r.out, Header(isNew ? "DATA FOR SESSION" : "SESSION MENU", "s1")), row.menus);
        EXPECT_EQ(box.Files(), (std::set<std::string>{"locked", "s1Formda.txt", "s1Trk.txt"}));
        EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);
        EXPECT_EQ(box.ReadFile("locked/s1Trk.txt"), kShortTrack);
    }
}

// The names the program reads or writes, each made a named pipe, a folder or a link to a device: O
// and N on the session whose track file it is, and the start with the preferences file: each
// refused with "can't open <name>: <reason>", the program going on to its end (status 0) without
// waiting, the name as it was. N with a folder that does not exist names the system's reason too.
TEST(OpeningE2E, NamesThatAreNoRegularFileAreRefusedWithTheirReasonWithoutWaiting) {
    const std::string pipe = "not a regular file", folder = "Is a directory";
    enum Odd { kPipe, kFolder, kDevice, kNone };
    const struct {
        const char* what;
        Odd odd;
        const char* name;  // the odd name
        std::string input, err;
    } rows[] = {
        {"O, a pipe", kPipe, "s1Trk.txt", "O\ns1\n\nX\n", "\ncan't open s1Trk.txt: " + pipe + " \n"},
        {"N, a pipe", kPipe, "s1Trk.txt", "N\ns1\ny\n\nX\n", "\ncan't open s1Trk.txt: " + pipe + " \n"},
        {"O, a folder", kFolder, "s1Trk.txt", "O\ns1\n\nX\n", "\ncan't open s1Trk.txt: " + folder + " \n"},
        {"N, a folder", kFolder, "s1Trk.txt", "N\ns1\ny\n\nX\n", "\ncan't open s1Trk.txt: " + folder + " \n"},
        {"O, a device", kDevice, "s1Trk.txt", "O\ns1\n\nX\n", "\ncan't open s1Trk.txt: " + pipe + " \n"},
        {"N, a device", kDevice, "s1Trk.txt", "N\ns1\ny\n\nX\n", "\ncan't open s1Trk.txt: " + pipe + " \n"},
        {"preferences, a pipe", kPipe, "TARNEX.prf", "X\n", "\ncan't open TARNEX.prf: " + pipe + " \n"},
        {"preferences, a device", kDevice, "TARNEX.prf", "X\n", "\ncan't open TARNEX.prf: " + pipe + " \n"},
        {"N in a missing folder", kNone, "nodir", "N\nnodir/s1\n\nX\n",
         "\ncan't open nodir/s1Trk.txt: No such file or directory \n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Sandbox box;
        box.PrepareTinySession();
        const fs::path at = box.Path(row.name);
        if (row.odd != kNone) fs::remove(at);
        if (row.odd == kPipe) {
            ASSERT_EQ(mkfifo(at.c_str(), 0666), 0);
        }
        if (row.odd == kFolder) fs::create_directory(at);
        if (row.odd == kDevice) fs::create_symlink("/dev/null", at);
        struct stat before {};
        lstat(at.c_str(), &before);
        const Outcome r = RunProgramAs(box, row.input, false);
        EXPECT_EQ(r.signal, 0) << "the run waited";
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, row.err);
        struct stat after {};
        EXPECT_EQ(lstat(at.c_str(), &after), row.odd == kNone ? -1 : 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(box.ReadFile("s1Formda.txt"), FiveOtus(false));
        EXPECT_EQ(Count(r.out, Header("DATA FOR SESSION", "s1")), 0);
    }
}

}  // namespace
