// Macros: the menu of each state, the recorded file, an interrupted replay, and an import and a functional
// analysis recorded and then replayed in a fresh folder.
#include "common/TimeStampLine.h"
#include "session/TNXIF.h"
#include "session/TNXMACRO.h"
#include "session/model/TNXTRACK.h"
#include "session/dialogs/TNXPART.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kTitle = Header("SET MACRO MODE", "s1");
const std::string kStart = "   N  start creating new macro \n";
const std::string kLeave = "   C  return to main menu \nType option: ";

// `in` is the standard input, which holds both the answers and the direct answers, as at the keyboard.
class MacroTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        std::strcpy(sessionName, "s1");
        std::strcpy(sessionShortName, "s1");
        std::strcpy(whichTrack, "s1Trk.txt");
    }
    void TearDown() override {
        EndMacroReplay();
        if (oufpMacro) std::fclose(oufpMacro);
        oufpMacro = outm = nullptr;
        createMacro = 0;
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        ConsoleTest::TearDown();
    }
    static void Stdin(const std::string& text) {
        Write("stdin.txt", text);
        ASSERT_NE(std::freopen("stdin.txt", "r", stdin), nullptr);
        in = stdin;
    }
    // True when only blanks are left on the standard input.
    static bool StdinUsed() {
        for (int c; (c = std::fgetc(stdin)) != EOF;)
            if (!std::isspace(c)) return false;
        return true;
    }
};

// Only the printed letters pass (R while recording would lose the answers to a run report); leaving while
// recording or replaying echoes the menu's own C. A recording stopped at once holds the single line "R"; a
// name that cannot be created shows the menu again.
TEST_F(MacroTest, MenuOfEachStateAndARecordingStoppedAtOnce) {
    const struct {
        unsigned char recording, replaying;
        std::string answers, menu;
    } cases[] = {{0, 0, "c\n", kStart + "   R  run macro on file\n"},
                 {1, 0, "R\nc\n", "   N  stop creating macro \n"},
                 {0, 1, "c\n", kStart + "   R  stop running macro on file\n"}};
    for (const auto& c : cases) {
        const std::string before = Out();
        outm = std::fopen("echo.txt", "w");
        createMacro = c.recording;
        runMacro = c.replaying;
        Stdin(c.answers);
        IFMacro();
        std::fclose(outm);
        EXPECT_EQ(Out().substr(before.size()), kTitle + c.menu + kLeave);
        EXPECT_EQ(Read("echo.txt"), c.recording || c.replaying ? "C\n" : "");
    }
    createMacro = runMacro = 0;
    const std::string before = Out();
    Stdin("N\nno/such/m.txt\n\nn\nempty.mac\nn\n\n");
    IFMacro();
    EXPECT_EQ((std::vector<FILE*>{outm}), (std::vector<FILE*>{oufpMacro}));
    IFMacro();
    EXPECT_TRUE(StdinUsed());
    EXPECT_EQ((std::vector<FILE*>{outm}), (std::vector<FILE*>{nullptr}));
    EXPECT_EQ(Read("empty.mac"), "R\n");
    const std::string ask = kTitle + kStart + "   R  run macro on file\n" + kLeave + "\nMacro file name:    ";
    EXPECT_EQ(Out().substr(before.size()), ask + ask + kTitle + "   N  stop creating macro \n" + kLeave +
                                               "\n\n\nMacro saved on file empty.mac\n");
    EXPECT_EQ(Err(), "\nIncorrect input = r. Reenter.\nAccepted input: N C\n\ncan't open no/such/m.txt: No such file "
                     "or directory \n");
}

// A macro that ends inside a list raises code 2; the error code gives the console back and closes the files.
TEST_F(MacroTest, ErrorCodeDuringAReplayRestoresTheConsole) {
    Write("m.mac", "1\n");
    Stdin("R\nm.mac\n");
    IFMacro();
    EXPECT_EQ((std::vector<FILE*>{in, out, outm}), (std::vector<FILE*>{infpMacro, oufpRun, oufpRun}));
    char a[5] = "", b[5] = "";
    char* labels[] = {a, b};
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, 4, labels, "labels"); }), TNX_END_OF_FILE);
    // Code 5 returns, and waits for no key after a replay: the key typed is left for what follows.
    Write("stdin.txt", "key\n");
    ASSERT_NE(std::freopen("stdin.txt", "r", stdin), nullptr);
    HandleErrorCode(TNX_TRANSLATION);
    EXPECT_FALSE(StdinUsed());
    EXPECT_EQ((std::vector<FILE*>{in, out, outm, infpMacro, oufpRun}),
              (std::vector<FILE*>{stdin, stdout, nullptr, nullptr, nullptr}));
    EXPECT_EQ(runMacro, 0);
    EXPECT_EQ(Read("MacroRunReport"), "Enter labels:\t\n");
    // Outside a replay it waits for the user's key.
    Stdin("key\n");
    HandleErrorCode(TNX_TRANSLATION);
    EXPECT_TRUE(StdinUsed());
    out = outFile_;
    // A macro that cannot be written whole is code 3 (here its last line fails when the file is closed,
    // on a disk that takes one byte of it).
    Stdin("N\nfull.mac\nN\n");
    IFMacro();
    EXPECT_EQ(CodeWithSmallFiles([] { IFMacro(); }, 1), TNX_FAIL_TO_PRINT);
    EXPECT_EQ((Ints{createMacro}), (Ints{0}));
    // The same with 100 bytes of answers waiting to be written and files of 64 bytes at most (the
    // capture of standard error, a file itself, started afresh below them): the message names the
    // macro and the system's reason.
    Stdin("N\nlong.mac\nN\n");
    IFMacro();
    std::fputs((std::string(99, 'x') + "\n").c_str(), oufpMacro);
    Err();
    testing::internal::CaptureStderr();
    capturing_ = true;
    EXPECT_EQ(CodeWithSmallFiles([] { IFMacro(); }, 64), TNX_FAIL_TO_PRINT);
    EXPECT_EQ(Err(), "\ncan't write long.mac: File too large \n");
}

// The session's files in a folder, time-stamp and elapsed-time lines aside.
std::map<std::string, std::string> SessionFiles() {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        std::istringstream s(Slurp(e.path()));
        std::string& kept = files[e.path().filename()];
        for (std::string line; std::getline(s, line);)
            if (!IsTimeStampLine(line + "\n") && line.rfind("Elapsed time", 0) != 0) kept += line + "\n";
    }
    for (const char* other : {"rec.mac", "MacroRunReport", "stdin.txt", "answers.txt", "console.txt"})
        files.erase(other);
    return files;
}

TEST_F(MacroTest, ImportAndFunctionalAnalysisReplayedInAFreshFolder) {
    partitionTrackWriter = WriteTrack;
    const auto prepare = [] {
        for (const char* f : {"mini_B.txt", "mini_W.txt", "mini_E.txt"})
            std::filesystem::copy(std::string(TARNEX_TESTDATA) + "/" + f, f);
        Write("s1Trk.txt", "");
    };
    prepare();
    // The import of B, W and E (trait types k 1 2 3 4 y), then H with the direct answers k, 1 1 2 2 3 (types),
    // 0 (no restriction) and n (W not standardized): fuzzy, 20 iterations, seed 42, Mantel, function 9.
    Stdin("N\nrec.mac\n1\nmini_B.txt\n0\nmini_W.txt\n0\n1\nmini_E.txt\n5\n4\n2\n2\nk\n1 2 3 4\ny\n0\n3\n2\n1\n2\n2\n"
          "2\nt\nV\nH\nk\n1 1 2 2 3\n1\n20\n0\n2\n42\n1\n9\n1\nn\nn\n\nC\nC\nN\n\n");
    IFMacro();
    IFSession();
    IFMacro();
    EXPECT_TRUE(StdinUsed());
    // Each accepted answer once in its reader's form (letters in lower case, the list on one line); no direct
    // answer and no wait.
    EXPECT_EQ(Read("rec.mac"), "1\nmini_B.txt\n0\nmini_W.txt\n0\n1\nmini_E.txt\n5\n4\n2\n2\n1\t2\t3\t4\t\n0\n3\n"
                               "2\n1\n2\n2\n2\nt\nv\nh\n1\n20\n2\n42\n1\n9\n1\nn\nc\nc\nR\n");
    const auto recorded = SessionFiles();
    for (const char* f : {"s1Formda.txt", "s1Trk.txt", "s1Prinda.txt"}) EXPECT_EQ(recorded.count(f), 1u) << f;
    EXPECT_NE(recorded.at("s1Prinda.txt").find("Random generator seed: 42\n"), std::string::npos);

    std::filesystem::create_directory("fresh");
    std::filesystem::copy("rec.mac", "fresh/rec.mac");
    std::filesystem::current_path("fresh");
    prepare();
    FreeGlobals1();
    ResetDataSet();
    // The direct answers come from standard input, after the macro menu's own answers.
    Stdin("R\nrec.mac\nk\n1 1 2 2 3\n0\nn\n\n");
    IFMacro();
    IFSession();
    testing::internal::CaptureStdout();
    IFMacro();  // reads the "R" that ended the recording, and writes on standard output again
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n\n\nMacro:          rec.mac\nReport on file: MacroRunReport\nType RETURN to continue\n");
    EXPECT_TRUE(StdinUsed());
    EXPECT_EQ((std::vector<FILE*>{in, out, outm}), (std::vector<FILE*>{stdin, stdout, nullptr}));
    out = outFile_;
    EXPECT_EQ(SessionFiles(), recorded);
    const std::string report = Read("MacroRunReport");  // the prompts and the echo of the answers
    EXPECT_NE(report.find(Header("DATA FOR SESSION", "s1")), std::string::npos);
    EXPECT_NE(report.find("Enter trait types: \t1\t2\t3\t4\t\n"), std::string::npos);
    EXPECT_EQ(Count(report, "Results on file s1Prinda.txt"), 1);
    std::filesystem::current_path("..");
}

}  // namespace
