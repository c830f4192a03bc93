// End-to-end dialogs of the start-up, the main menu, the session loop, its error recovery and
// the preferences: the built program runs in a temporary directory with a scripted input.
#include <gtest/gtest.h>

#include "common/TimeStampLine.h"
#include "session/PrefsDefaults.h"
#include <sstream>
#include <string>
#include <vector>

#include "e2e.h"

namespace {

const std::string kRule(70, '-');
const std::string kVersion =
    "CHARACTER-BASED COMMUNITY ANALYSIS" + std::string(20, ' ') + "TARNEX v.2.11.11";

const std::string kMainMenu = "\n\n\n\n" + kVersion + "\n" + kRule + "\n" +
                              "Main menu:\n"
                              "   N  start new session\n"
                              "   O  attach to old session\n"
                              "   S  set preferences\n"
                              "   X  exit \n" +
                              kRule + "\nType option: ";

// Everything standard error shows when the input ends at a console prompt.
const std::string kEndOfInput =
    "\nfile input \nEND OF FILE !!!\n\nQuit and restart TARNEX.\n\a";

std::string Header(const std::string& title, const std::string& session) {
    std::string line = title + std::string(47 - title.size(), ' ');
    line += std::string(23 - session.size(), ' ') + session;
    return "\n\n" + line + "\n" + kRule + "\n";
}

const std::string kSessionMenuBody =
    "Options:\n"
    "   V  analysis of community structures\n"
    "   S  set preferences\n"
    "   C  return to main menu \n"
    "Type option: ";

const std::string kStructuresMenuBody =
    "Options:\n"
    "   H  functional analysis \n"
    "   K  ranking traits (find optimal trait subset) \n"
    "   C  return to session menu \n"
    "Type option: ";

// A small formatted data file written by hand: 2 traits, 3 communities, 4 OTUs, no
// environmental variables, species or phylogeny.
const std::string kTinyFormda =
    "tiny data \n2 \nt1\tt2\t\n 3\t 3\t\n0\t0\t\n 4\t 4\t\n3 \nc1\tc2\tc3\t\n4 \n0\t0\t0\t\n"
    "0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n"
    "1\t2\t\n3\t4\t\n5\t6\t\n7\t8\t\n\n"
    "1\t0\t2\t\n0\t1\t0\t\n3\t0\t1\t\n0\t2\t2\t\n\n"
    "0 \n0 \nSMW 1\n0\n0\nMon Jan  1 00:00:00 2024\n";

const std::string kShortTrack = "s1Formda.txt\n07Jul17\n";

using tnxtest::kDefaultPrefs;

// The preferences file without its time-stamp line (which must be one).
std::string PrefsValues(const std::string& text) {
    const auto cut = text.rfind('\n', text.size() - 2) + 1;
    EXPECT_TRUE(tnxtest::IsTimeStampLine(text.substr(cut))) << text.substr(cut);
    return text.substr(0, cut);
}

void PrepareTinySession(const e2e::Sandbox& box) {
    box.WriteFile("s1Formda.txt", kTinyFormda);
    box.WriteFile("s1Trk.txt", kShortTrack);
}

TEST(SessionE2E, BannerAndMainMenuExactly) {
    e2e::Sandbox box;
    const e2e::Result r = box.Run("X\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // The banner: rule line, version line and a blank line, five credit lines, rule line.
    std::istringstream lines(r.out);
    std::vector<std::string> head(10);
    for (auto& l : head) std::getline(lines, l);
    EXPECT_EQ(head[0], kRule);
    EXPECT_EQ(head[1], kVersion);
    EXPECT_EQ(head[2], "");
    for (int i = 3; i < 8; i++) {
        EXPECT_FALSE(head[i].empty());
        EXPECT_EQ(head[i].find('@'), std::string::npos);  // no e-mail address
        EXPECT_LE(head[i].size(), 70u);
    }
    EXPECT_EQ(head[8], kRule);
    const std::string banner = kRule + "\n" + kVersion + "\n\n" + head[3] + "\n" + head[4] + "\n" +
                               head[5] + "\n" + head[6] + "\n" + head[7] + "\n" + kRule + "\n";
    EXPECT_EQ(r.out, banner + kMainMenu + "\n\n");
    EXPECT_TRUE(box.Files().empty());  // reading the preferences creates nothing
}

TEST(SessionE2E, LettersOfEitherCaseAndRefusedLetters) {
    e2e::Sandbox box;
    const e2e::Result lower = box.Run("x\n");
    EXPECT_EQ(lower.status, 0);
    EXPECT_EQ(e2e::Count(lower.out, kMainMenu), 1);
    // M and E are not main-menu letters: each gets the readers' message, then X ends.
    const e2e::Result r = box.Run("M\nE\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\nIncorrect input = m. Reenter.\nAccepted input: N O S A X\n"
                     "\nIncorrect input = e. Reenter.\nAccepted input: N O S A X\n");
    EXPECT_EQ(e2e::Count(r.out, kMainMenu), 1);
}

TEST(SessionE2E, TheUnprintedLetterAReachesTheSimulatorAndComesBack) {
    e2e::Sandbox box;
    const e2e::Result r = box.Run("A\na\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(e2e::Count(r.out, kMainMenu), 3);
}

TEST(SessionE2E, EndOfInputAtAnyPromptEndsInOrder) {
    const std::vector<std::string> dialogs = {
        "",                   // main menu
        "N\n",                // session name
        "N\ns9\n",            // the data dialog of a new session
        "S\n",                // preferences menu
        "S\nG\n",             // a y/n question of the preferences
        "S\nF\n",             // a number of the preferences
        "O\ns1\n",            // session menu
        "O\ns1\nV\n",         // community-structures menu
        "O\ns1\nS\n",         // preferences from the session menu
    };
    for (const std::string& input : dialogs) {
        e2e::Sandbox box;
        PrepareTinySession(box);
        const e2e::Result r = box.Run(input);
        EXPECT_EQ(r.status, 1) << input;
        ASSERT_GE(r.err.size(), 40u) << input;
        EXPECT_EQ(r.err.substr(r.err.size() - 44), "\nEND OF FILE !!!\n\nQuit and restart TARNEX.\n\a")
            << input;
        EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack) << input;
    }
    e2e::Sandbox box;
    EXPECT_EQ(box.Run("").err, kEndOfInput);
}

TEST(SessionE2E, AttachingToAMissingSessionReturnsToTheMainMenu) {
    e2e::Sandbox box;
    const e2e::Result r = box.Run("O\nnosuch\n\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\ncan't open nosuchTrk.txt \n");
    EXPECT_EQ(e2e::Count(r.out, kMainMenu), 2);
    EXPECT_NE(r.out.find("Enter session name: "), std::string::npos);
    EXPECT_TRUE(box.Files().empty());
}

TEST(SessionE2E, ASessionNameKeepsItsFirst21Characters) {
    e2e::Sandbox box;
    const std::string typed = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
    const std::string kept = typed.substr(0, 21);
    // N creates the track file; the data dialog is left with "return to main menu".
    const e2e::Result r = box.Run("N\n" + typed + "\n4\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(box.Files(), std::set<std::string>{kept + "Trk.txt"});
    EXPECT_EQ(box.ReadFile(kept + "Trk.txt"), "");
    // Every menu header carries the kept name right-aligned: 70 columns in all.
    EXPECT_NE(r.out.find(Header("DATA FOR SESSION", kept)), std::string::npos);
    EXPECT_EQ(e2e::Count(r.out, kMainMenu), 2);
}

TEST(SessionE2E, NewSessionEmptiesAnExistingTrackFile) {
    e2e::Sandbox box;
    PrepareTinySession(box);
    const e2e::Result r = box.Run("N\ns1\n4\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), "");
    EXPECT_NE(r.out.find(Header("DATA FOR SESSION", "s1")), std::string::npos);
}

TEST(SessionE2E, SessionMenusAcceptOnlyTheirLetters) {
    e2e::Sandbox box;
    PrepareTinySession(box);
    const e2e::Result r = box.Run("o\ns1\nP\nE\nv\nG\nc\nc\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\nIncorrect input = p. Reenter.\nAccepted input: V S C\n"
                     "\nIncorrect input = e. Reenter.\nAccepted input: V S C\n"
                     "\nIncorrect input = g. Reenter.\nAccepted input: H K C\n");
    EXPECT_EQ(e2e::Count(r.out, Header("SESSION MENU", "s1") + kSessionMenuBody), 2);
    EXPECT_EQ(e2e::Count(r.out, Header("ANALYSIS OF COMMUNITY STRUCTURES", "s1") +
                                    kStructuresMenuBody + "\a\n"), 1);  // the bell of the refusal
    EXPECT_EQ(e2e::Count(r.out, kMainMenu), 2);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);
    EXPECT_EQ(box.ReadFile("s1Formda.txt"), kTinyFormda);
}

TEST(SessionE2E, LoadingAndLeavingASessionManyTimesLeaksNothing) {
    e2e::Sandbox box;
    PrepareTinySession(box);
    std::string input;
    for (int i = 0; i < 12; i++) input += i % 2 ? "O\ns1\nV\nC\nC\n" : "O\ns1\nC\n";
    const e2e::Result r = box.Run(input + "X\n");
    // The leak checker of a sanitized build ends the program with another status.
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(e2e::Count(r.out, kMainMenu), 13);
}

TEST(SessionE2E, CorruptTrackFileEndsWithCode2AndStaysAsItWas) {
    e2e::Sandbox box;
    box.WriteFile("s1Formda.txt", kTinyFormda);
    // A full track file whose number of stored partitions (11) exceeds what a session holds.
    const std::string corrupt =
        kShortTrack + std::string("NULL\n") + "NULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\n"
        "NULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\nNULL\n"
        "0\n1\n0\n0\n0\n1\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n6\n0\n1\n"
        "1 2 \n4 2 \n4 2 \n0\n0.000000\n1\n1\n1\n1\n1\n0\n0\n0\n0\n11\n0\n";
    box.WriteFile("s1Trk.txt", corrupt);
    const e2e::Result r = box.Run("O\ns1\nV\nC\nC\nX\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nfile s1Trk.txt \nEND OF FILE !!!\n\nQuit and restart TARNEX.\n\a");
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), corrupt);
    EXPECT_EQ(e2e::Count(r.out, Header("SESSION MENU", "s1")), 0);
}

TEST(SessionE2E, PreferencesDefaultsAreWrittenByteForByte) {
    e2e::Sandbox box;
    const e2e::Result r = box.Run("S\nC\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(PrefsValues(box.ReadFile("TARNEX.prf")), kDefaultPrefs);
    EXPECT_EQ(box.Files(), std::set<std::string>{"TARNEX.prf"});
    // The dialog's header outside a session has a blank session field.
    const std::string menu = Header("PREFERENCES", "") +
                             "Set preferences of: \n"
                             "   F  output files \n"
                             "   G  Gower index\n"
                             "   R  Rao entropy\n"
                             "   B  Beals smoothing\n"
                             "   O  PCA regression\n"
                             "   T  permutaton tests based on Mantel correlations\n"
                             "   C  return to main menu \n"
                             "Type option: ";
    EXPECT_EQ(e2e::Count(r.out, menu), 1);
}

TEST(SessionE2E, PreferencesRoundTrip) {
    e2e::Sandbox box;
    const std::string answers = "S\nF\n3\ny\nG\nn\nR\nn\ny\nB\nn\nO\n2.5\nT\nn\nM\nC\nX\n";
    const e2e::Result r = box.Run(answers);
    EXPECT_EQ(r.status, 0);
    const std::string expected =
        "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n"
        "3\n2147483647\n6\nn\ny\nn\n0\n0\n1\n0\n2.5\n0\n0\n";
    EXPECT_EQ(PrefsValues(box.ReadFile("TARNEX.prf")), expected);
    // Read back at the next start and written again unchanged.
    const e2e::Result again = box.Run("S\nC\nX\n");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(PrefsValues(box.ReadFile("TARNEX.prf")), expected);
    // Zero digits give the default 6; the readers refuse a factor below 1.
    const e2e::Result digits = box.Run("S\nF\n0\nn\nO\n0.5\n4\nC\nX\n");
    EXPECT_EQ(digits.status, 0);
    EXPECT_NE(digits.err.find("\nIncorrect input = 0.5. Reenter.\n"), std::string::npos);
    const std::string text = PrefsValues(box.ReadFile("TARNEX.prf"));
    EXPECT_EQ(text, "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n"
                    "0.000000\n6\n2147483647\n6\nn\nn\nn\n0\n0\n1\n0\n4\n0\n0\n");
}

TEST(SessionE2E, PreferencesFileWithAnotherFirstWordIsIgnored) {
    e2e::Sandbox box;
    box.WriteFile("TARNEX.prf", "17Nov2016\n1\n1.0\n1.0\n1\n1.0\n1.0\n2\ny\n1\n1.0\n1.0\n3\n40\n2\n"
                                "y\ny\ny\n0\n0\n1\n0\n4\n0\n5\n");
    const e2e::Result r = box.Run("S\nC\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(PrefsValues(box.ReadFile("TARNEX.prf")), kDefaultPrefs);
}

// Read at start-up, outside any session: a damaged file ends the program in order, naming
// the file, and leaves it as it was.
TEST(SessionE2E, PreferencesFileCutShortEndsTheProgramInOrder) {
    e2e::Sandbox box;
    const std::string cut = "18Nov2016\n0\n0.000000\n";
    box.WriteFile("TARNEX.prf", cut);
    const e2e::Result r = box.Run("X\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nfile TARNEX.prf \nEND OF FILE !!!\n\nQuit and restart TARNEX.\n\a");
    EXPECT_EQ(box.ReadFile("TARNEX.prf"), cut);
}

TEST(SessionE2E, PreferencesFromTheSessionMenu) {
    e2e::Sandbox box;
    PrepareTinySession(box);
    const e2e::Result r = box.Run("O\ns1\nS\nT\nn\nC\nC\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(Header("PREFERENCES", "s1")), std::string::npos);
    const std::string text = PrefsValues(box.ReadFile("TARNEX.prf"));
    EXPECT_EQ(text.substr(text.size() - 4), "0\n0\n");  // twoTailedTestMantel 0, nProcessors 0
}

TEST(SessionE2E, PreferencesThatCannotBeWrittenKeepTheProgramGoing) {
    e2e::Sandbox box;
    std::filesystem::create_directory(box.Path("TARNEX.prf"));
    const e2e::Result r = box.Run("S\nC\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\ncan't open TARNEX.prf \n");
    EXPECT_EQ(e2e::Count(r.out, kMainMenu), 2);
}

}  // namespace
