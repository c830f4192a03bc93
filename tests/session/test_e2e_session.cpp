// End-to-end dialogs of the start-up, the main menu, the session loop, its error recovery and
// the preferences: the built program runs in a temporary directory with a scripted input.
#include <gtest/gtest.h>

#include "common/TimeStampLine.h"
#include "e2e.h"

namespace {

using e2e::Count;
using e2e::Header;
using e2e::kShortTrack;

const std::string kRule(70, '-');
const std::string kVersion = "CHARACTER-BASED COMMUNITY ANALYSIS" + std::string(20, ' ') + "TARNEX v.2.11.11";
const std::string kMainMenu = "\n\n\n\n" + kVersion + "\n" + kRule +
                              "\nMain menu:\n   N  start new session\n   O  attach to old session\n"
                              "   S  set preferences\n   X  exit \n" + kRule + "\nType option: ";
const std::string kEndOfInput = "\nEND OF FILE !!!\n\nQuit and restart TARNEX.\n\a";

// The preferences file without its time-stamp line (which must be one).
std::string PrefsValues(const std::string& text) {
    const auto cut = text.rfind('\n', text.size() - 2) + 1;
    EXPECT_TRUE(tnxtest::IsTimeStampLine(text.substr(cut))) << text.substr(cut);
    return text.substr(0, cut);
}

TEST(SessionE2E, BannerAndMainMenuExactly) {
    e2e::Sandbox box;
    const e2e::Result r = box.Run("X\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // Rule line, version line and a blank line, five credit lines, rule line.
    const std::string head = kRule + "\n" + kVersion + "\n\n";
    std::istringstream lines(r.out.substr(std::min(head.size(), r.out.size())));
    std::string credits, line;
    for (int i = 0; i < 5 && std::getline(lines, line); i++) {
        EXPECT_TRUE(!line.empty() && line.size() <= 70 && line.find('@') == std::string::npos) << line;
        credits += line + "\n";
    }
    EXPECT_EQ(r.out, head + credits + kRule + "\n" + kMainMenu + "\n\n");
    EXPECT_TRUE(box.Files().empty());  // reading the preferences creates nothing
}

TEST(SessionE2E, LettersOfEitherCaseRefusalsAndTheSimulator) {
    e2e::Sandbox box;
    // M and E are not main-menu letters; the unprinted A reaches the simulator and comes back.
    const e2e::Result r = box.Run("M\nE\nA\na\nx\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\nIncorrect input = m. Reenter.\nAccepted input: N O S A X\n"
                     "\nIncorrect input = e. Reenter.\nAccepted input: N O S A X\n");
    EXPECT_EQ(Count(r.out, kMainMenu), 3);
}

TEST(SessionE2E, EndOfInputAtAnyPromptEndsInOrder) {
    // Main menu, session name, data dialog, preferences menu, a y/n and a number of the
    // preferences, session menu, community-structures menu, preferences from the session.
    for (const std::string input :
         {"", "N\n", "N\ns9\n", "S\n", "S\nG\n", "S\nF\n", "O\ns1\n", "O\ns1\nV\n", "O\ns1\nS\n"}) {
        e2e::Sandbox box;
        box.PrepareTinySession();
        const e2e::Result r = box.Run(input);
        EXPECT_EQ(r.status, 1) << input;
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), kEndOfInput.size())), kEndOfInput)
            << input;
        EXPECT_TRUE(!input.empty() || r.err == "\nfile input " + kEndOfInput) << r.err;
        EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack) << input;
    }
}

TEST(SessionE2E, AttachingToAMissingSessionReturnsToTheMainMenu) {
    e2e::Sandbox box;
    const e2e::Result r = box.Run("O\nnosuch\n\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\ncan't open nosuchTrk.txt \n");
    EXPECT_EQ(Count(r.out, "Enter session name: "), 1);
    EXPECT_EQ(Count(r.out, kMainMenu), 2);
    EXPECT_TRUE(box.Files().empty());
}

TEST(SessionE2E, NewSessionNameKeepsItsFirst21CharactersAndEmptiesTheTrackFile) {
    e2e::Sandbox box;
    const std::string kept = "abcdefghijklmnopqrstu";
    // N creates the track file; the data dialog is left with "return to main menu".
    const e2e::Result r = box.Run("N\n" + kept + "vwxyz0123\n4\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(box.Files(), std::set<std::string>{kept + "Trk.txt"});
    EXPECT_EQ(box.ReadFile(kept + "Trk.txt"), "");
    EXPECT_EQ(Count(r.out, Header("DATA FOR SESSION", kept)), 1);  // 70 columns in all
    EXPECT_EQ(Count(r.out, kMainMenu), 2);
    box.PrepareTinySession();
    EXPECT_EQ(box.Run("N\ns1\n4\nX\n").status, 0);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), "");
}

TEST(SessionE2E, SessionMenusAcceptOnlyTheirLetters) {
    e2e::Sandbox box;
    box.PrepareTinySession();
    const e2e::Result r = box.Run("o\ns1\nP\nE\nS\nT\nn\nC\nv\nG\nc\nc\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\nIncorrect input = p. Reenter.\nAccepted input: V S C\n"
                     "\nIncorrect input = e. Reenter.\nAccepted input: V S C\n"
                     "\nIncorrect input = g. Reenter.\nAccepted input: H K C\n");
    EXPECT_EQ(Count(r.out, Header("SESSION MENU", "s1") + "Options:\n   V  analysis of community structures\n"
                                  "   S  set preferences\n   C  return to main menu \nType option: "), 3);
    EXPECT_EQ(Count(r.out, Header("ANALYSIS OF COMMUNITY STRUCTURES", "s1") +
                               "Options:\n   H  functional analysis \n   K  ranking traits (find optimal "
                               "trait subset) \n   C  return to session menu \nType option: \a\n"), 1);
    EXPECT_EQ(Count(r.out, Header("PREFERENCES", "s1")), 2);  // shown again after T
    EXPECT_EQ(Count(r.out, kMainMenu), 2);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);
    EXPECT_EQ(box.ReadFile("s1Formda.txt"), e2e::kTinyFormda);
    const std::string prefs = PrefsValues(box.ReadFile("TARNEX.prf"));
    EXPECT_EQ(prefs.substr(prefs.size() - 4), "0\n0\n");  // twoTailedTestMantel 0, nProcessors 0
}

TEST(SessionE2E, LoadingAndLeavingASessionManyTimesLeaksNothing) {
    e2e::Sandbox box;
    box.PrepareTinySession();
    std::string input;
    for (int i = 0; i < 12; i++) input += i % 2 ? "O\ns1\nV\nC\nC\n" : "O\ns1\nC\n";
    const e2e::Result r = box.Run(input + "X\n");
    EXPECT_EQ(r.status, 0) << r.err;  // the leak checker would end it with another status
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Count(r.out, kMainMenu), 13);
}

TEST(SessionE2E, CorruptTrackFileEndsWithCode2AndStaysAsItWas) {
    e2e::Sandbox box;
    box.PrepareTinySession();
    // A full track file whose number of stored partitions (11) exceeds what a session holds.
    std::string corrupt = kShortTrack;
    for (int i = 0; i < 17; i++) corrupt += "NULL\n";
    corrupt += "0\n1\n0\n0\n0\n1\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n0\n6\n0\n1\n"
               "1 2 \n4 2 \n4 2 \n0\n0.000000\n1\n1\n1\n1\n1\n0\n0\n0\n0\n11\n0\n";
    box.WriteFile("s1Trk.txt", corrupt);
    const e2e::Result r = box.Run("O\ns1\nV\nC\nC\nX\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\nfile s1Trk.txt " + kEndOfInput);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), corrupt);
    EXPECT_EQ(Count(r.out, Header("SESSION MENU", "s1")), 0);
}

TEST(SessionE2E, PreferencesFile) {
    e2e::Sandbox box;
    const std::string defaults = "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n"
                                 "0.000000\n0.000000\n6\n2147483647\n6\nn\nn\nn\n1\n1\n0\n1\n2\n1\n0\n";
    const e2e::Result r = box.Run("S\nC\nX\n");
    EXPECT_EQ(PrefsValues(box.ReadFile("TARNEX.prf")), defaults);
    EXPECT_EQ(box.Files(), std::set<std::string>{"TARNEX.prf"});
    EXPECT_EQ(Count(r.out, Header("PREFERENCES", "") +
                               "Set preferences of: \n   F  output files \n   G  Gower index\n   R  Rao "
                               "entropy\n   B  Beals smoothing\n   O  PCA regression\n   T  permutaton tests "
                               "based on Mantel correlations\n   C  return to main menu \nType option: "), 1);
    // Values set in the dialog are read back at the next start and written again unchanged;
    // zero digits give the default 6 and the readers refuse a factor below 1.
    const std::string set = "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n"
                            "0.000000\n3\n2147483647\n6\nn\ny\nn\n0\n0\n1\n0\n2.5\n0\n0\n";
    const std::string digits = "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n"
                               "0.000000\n6\n2147483647\n6\nn\nn\nn\n0\n0\n1\n0\n4\n0\n0\n";
    const std::pair<const char*, std::string> dialogs[] = {
        {"S\nF\n3\ny\nG\nn\nR\nn\ny\nB\nn\nO\n2.5\nT\nn\nM\nC\nX\n", set},
        {"S\nC\nX\n", set},
        {"S\nF\n0\nn\nO\n0.5\n4\nC\nX\n", digits}};
    for (const auto& [answers, expected] : dialogs) {
        EXPECT_EQ(box.Run(answers).status, 0) << answers;
        EXPECT_EQ(PrefsValues(box.ReadFile("TARNEX.prf")), expected) << answers;
    }
    // A file with another first word is ignored. Values out of range (a negative size, a letter
    // not y/n, 0 digits, -5 columns, Gower flag 7, factor 0.5, Mantel flag 2) take their defaults.
    const std::pair<const char*, std::string> files[] = {
        {"17Nov2016\n1\n1.0\n1.0\n1\n1.0\n1.0\n2\ny\n1\n1.0\n1.0\n3\n40\n2\ny\ny\ny\n0\n0\n1\n0\n4\n0\n5\n",
         defaults},
        {"18Nov2016\n1\n-3.0\n4.0\n0\n0.0\n0.0\n1\nx\n0\n0.0\n0.0\n0\n-5\n6\ny\nn\nn\n7\n0\n1\n1\n0.5\n2\n"
         "3\n",
         "18Nov2016\n1\n0.000000\n4.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n"
         "6\n2147483647\n6\ny\nn\nn\n1\n0\n1\n1\n2\n1\n3\n"}};
    for (const auto& [text, expected] : files) {
        box.WriteFile("TARNEX.prf", text);
        const e2e::Result run = box.Run("S\nC\nX\n");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(PrefsValues(box.ReadFile("TARNEX.prf")), expected);
    }
    // A file cut short or not a number ends the start-up in order and stays as it was.
    for (const std::string text : {"18Nov2016\n0\n0.000000\n", "18Nov2016\n0\nwide\n"}) {
        box.WriteFile("TARNEX.prf", text);
        const e2e::Result run = box.Run("X\n");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "\nfile TARNEX.prf " + kEndOfInput);
        EXPECT_EQ(box.ReadFile("TARNEX.prf"), text);
    }
    // A file that cannot be written keeps the program going.
    std::filesystem::remove(box.Path("TARNEX.prf"));
    std::filesystem::create_directory(box.Path("TARNEX.prf"));
    const e2e::Result dir = box.Run("S\nC\nX\n");
    EXPECT_EQ(dir.status, 0);
    EXPECT_EQ(dir.err, "\ncan't open TARNEX.prf \n");
    EXPECT_EQ(Count(dir.out, kMainMenu), 2);
    EXPECT_EQ(box.Files(), std::set<std::string>{"TARNEX.prf"});  // nothing left beside it
}

}  // namespace
