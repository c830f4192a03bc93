// Macros: the menu, the recorded file, the replay of an import and a functional analysis in a fresh folder.
#include "common/TimeStampLine.h"
#include "foundation/iflibG.h"
#include "session/TNXIF.h"
#include "session/TNXMACRO.h"
#include "session/TNXTRACK.h"
#include "session/dialogs/TNXPART.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kTitle = Header("SET MACRO MODE", "s1");
const std::string kLeave = "   C  return to main menu \nType option: ";

// Every console stream is the test's: `in` and the direct answers from one standard input, prompts to a file.
class MacroTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        Names();
        out = console_ = std::fopen("console.txt", "w");
        testing::internal::CaptureStderr();
    }
    void TearDown() override {
        err_ = testing::internal::GetCapturedStderr();
        EndMacroReplay();
        if (oufpMacro) std::fclose(oufpMacro);
        oufpMacro = nullptr;
        createMacro = 0;
        InitConsoleStreams();
        std::fclose(console_);
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        TempDirTest::TearDown();
    }
    static void Names() {
        std::strcpy(sessionName, "s1");
        std::strcpy(sessionShortName, "s1");
        std::strcpy(whichTrack, "s1Trk.txt");
        volumeName[0] = '\0';
    }
    // Standard input (and `in`) become `text`.
    static void Stdin(const std::string& text) {
        Write("stdin.txt", text);
        ASSERT_NE(std::freopen("stdin.txt", "r", stdin), nullptr);
        in = stdin;
    }
    // True when every answer of the standard input has been read (only blanks are left).
    static bool StdinUsed() {
        for (int c; (c = std::fgetc(stdin)) != EOF;)
            if (!std::isspace(c)) return false;
        return true;
    }
    std::string Console() {
        std::fflush(console_);
        return Read("console.txt");
    }
    FILE* console_ = nullptr;
    std::string err_;
};

TEST_F(MacroTest, MenuPrintsAndAcceptsOnlyTheLettersOfItsState) {
    const std::string start = "   N  start creating new macro \n";
    const struct {
        unsigned char recording, replaying;
        std::string menu, refused;
    } cases[] = {
        {0, 0, start + "   R  run macro on file\n", ""},
        {1, 0, "   N  stop creating macro \n", "R"},  // R would lose the answers to a run report
        {0, 1, start + "   R  stop running macro on file\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.menu);
        std::fclose(console_);
        out = console_ = std::fopen("console.txt", "w");
        Write("echo.txt", "");
        outm = std::fopen("echo.txt", "w");
        createMacro = c.recording;
        runMacro = c.replaying;
        Stdin(c.refused.empty() ? "c\n" : c.refused + "\nc\n");
        IFMacro();
        std::fclose(outm);
        EXPECT_EQ(Console(), kTitle + c.menu + kLeave);
        EXPECT_TRUE(StdinUsed());
        // Leaving while recording or replaying puts the menu's own answer into the echo.
        EXPECT_EQ(Read("echo.txt"), c.recording || c.replaying ? "C\n" : "");
    }
    createMacro = runMacro = 0;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nIncorrect input = r. Reenter.\nAccepted input: N C\n");
    testing::internal::CaptureStderr();
}

// A recording stopped at once holds the single line "R"; a name that cannot be created shows the menu again.
TEST_F(MacroTest, RecordingStoppedAtOnceAndAFileThatCannotBeCreated) {
    Stdin("N\nno/such/dir/m.txt\n\nn\nempty.mac\nn\n\n");
    IFMacro();
    EXPECT_EQ((Ints{createMacro, runMacro}), (Ints{1, 0}));
    EXPECT_EQ(outm, oufpMacro);
    IFMacro();
    EXPECT_EQ(createMacro, 0);
    EXPECT_EQ(outm, nullptr);
    EXPECT_EQ(Read("empty.mac"), "R\n");
    const std::string ask = kTitle + "   N  start creating new macro \n   R  run macro on file\n" + kLeave +
                            "\nMacro file name:    ";
    EXPECT_EQ(Console(), ask + ask + kTitle + "   N  stop creating macro \n" + kLeave +
                             "\n\n\nMacro saved on file empty.mac\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ncan't open no/such/dir/m.txt \n");
    testing::internal::CaptureStderr();
}

// An error code that interrupts a replay gives the console back; the macro and its report are closed.
TEST_F(MacroTest, ErrorCodeDuringAReplayRestoresTheConsole) {
    Write("m.mac", "1\n");
    Stdin("R\nm.mac\n");
    IFMacro();
    ASSERT_EQ(runMacro, 1);
    EXPECT_EQ((std::vector<FILE*>{in, out, outm}), (std::vector<FILE*>{infpMacro, oufpRun, oufpRun}));
    EXPECT_STREQ(whichRun, "MacroRunReport");
    // A macro that ends inside a list cannot be asked again: code 2.
    char a[5] = "", b[5] = "";
    char* labels[] = {a, b};
    EXPECT_EQ(CodeOf([&] { ReadLongInput(2, 4, labels, "labels"); }), TNX_END_OF_FILE);
    HandleErrorCode(TNX_TRANSLATION);  // code 5 returns, and waits for no key after a replay
    EXPECT_EQ((std::vector<FILE*>{in, out, outm, infpMacro, oufpRun}),
              (std::vector<FILE*>{stdin, stdout, nullptr, nullptr, nullptr}));
    EXPECT_EQ(runMacro, 0);
    EXPECT_EQ(Read("MacroRunReport"), "Enter labels:\t\n");
    out = console_;
}

std::string WithoutTimeStamps(const std::string& text) {
    std::istringstream s(text);
    std::string kept;
    for (std::string line; std::getline(s, line);)
        if (!IsTimeStampLine(line + "\n")) kept += line + "\n";
    return kept;
}

// The files a session made in a folder (raw data, macro and report aside), time-stamp lines aside.
std::map<std::string, std::string> SessionFiles(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename();
        if (name.rfind("s1", 0) == 0) files[name] = WithoutTimeStamps(Slurp(e.path()));
    }
    return files;
}

// A macro recorded while a raw data set is imported and analysed (H), then replayed in a fresh folder.
TEST_F(MacroTest, ImportAndFunctionalAnalysisReplayedInAFreshFolder) {
    partitionTrackWriter = WriteTrack;
    for (const char* f : {"mini_B.txt", "mini_W.txt", "mini_E.txt"})
        std::filesystem::copy(std::string(TARNEX_TESTDATA) + "/" + f, f);
    const auto copyData = std::filesystem::current_path();
    Write("s1Trk.txt", "");
    // The import (B, W and E; trait types k 1 2 3 4 y), then H: the types (k 1 1 2 2 3), fuzzy, 20 iterations,
    // no restriction (0), seed 42, Mantel, function 9, all traits, W not standardized (n), no detail.
    const std::string direct = "k\n1 1 2 2 3\n0\nn\n";
    Stdin("N\nrec.mac\n"
          "1\nmini_B.txt\n0\nmini_W.txt\n0\n1\nmini_E.txt\n5\n4\n2\n2\nk\n1 2 3 4\ny\n0\n3\n2\n1\n2\n2\n2\nt\n"
          "V\nH\nk\n1 1 2 2 3\n1\n20\n0\n2\n42\n1\n9\n1\nn\nn\n\nC\nC\n"
          "N\n\n");
    IFMacro();
    IFSession();
    IFMacro();
    EXPECT_TRUE(StdinUsed());
    // Each accepted answer once, in its reader's form: letters in lower case, numbers as "%d" or "%u", the
    // list of trait types on one line; the direct answers and the waits are not there.
    EXPECT_EQ(Read("rec.mac"), "1\nmini_B.txt\n0\nmini_W.txt\n0\n1\nmini_E.txt\n5\n4\n2\n2\n1\t2\t3\t4\t\n0\n3\n"
                               "2\n1\n2\n2\n2\nt\nv\nh\n1\n20\n2\n42\n1\n9\n1\nn\nc\nc\nR\n");
    const auto recorded = SessionFiles(".");
    EXPECT_EQ(recorded.count("s1Formda.txt"), 1u);
    EXPECT_EQ(recorded.count("s1Trk.txt"), 1u);

    const std::filesystem::path fresh = copyData / "fresh";
    std::filesystem::create_directory(fresh);
    for (const char* f : {"mini_B.txt", "mini_W.txt", "mini_E.txt", "rec.mac"}) std::filesystem::copy(f, fresh / f);
    std::filesystem::current_path(fresh);
    Write("s1Trk.txt", "");
    FreeGlobals1();
    ResetDataSet();
    Names();
    std::fclose(console_);
    out = console_ = std::fopen("console.txt", "w");
    // The answers the dialogs read directly come from standard input, after the menu's own; the last line
    // is the return key after the replay.
    Stdin("R\nrec.mac\n" + direct + "\n");
    IFMacro();
    IFSession();
    testing::internal::CaptureStdout();
    IFMacro();  // reads the "R" that ended the recording, and writes on standard output again
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n\n\nMacro:          rec.mac\nReport on file: MacroRunReport\nType RETURN to continue\n");
    EXPECT_TRUE(StdinUsed());
    EXPECT_EQ((std::vector<FILE*>{in, out, outm}), (std::vector<FILE*>{stdin, stdout, nullptr}));
    out = console_;
    EXPECT_EQ(SessionFiles("."), recorded);
    EXPECT_EQ(Console(), kTitle + "   N  start creating new macro \n   R  run macro on file\n" + kLeave +
                             "\nMacro file name:    ");
    // The report holds the prompts and the echo of every replayed answer.
    const std::string report = Read("MacroRunReport");
    EXPECT_NE(report.find(Header("DATA FOR SESSION", "s1")), std::string::npos);
    EXPECT_NE(report.find("Enter trait types: \t1\t2\t3\t4\t\n"), std::string::npos);
    EXPECT_EQ(Count(report, "Results on file s1Prinda.txt"), 1);
    EXPECT_EQ(report.find("Type option: " + kTitle), std::string::npos);  // the menu was read from standard input
    std::filesystem::current_path(copyData);
}

}  // namespace
