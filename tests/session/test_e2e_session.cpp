// End-to-end dialogs of the start-up, the main menu, the session loop, its recovery and the preferences.
#include "common/ProgramRun.h"
#include "common/TimeStampLine.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kRule(70, '-');
const std::string kVersion = "CHARACTER-BASED COMMUNITY ANALYSIS" + std::string(20, ' ') + "TARNEX v.2.11.11";
const std::string kMainMenu = "\n\n\n\n" + kVersion + "\n" + kRule +
                              "\nMain menu:\n   N  start new session\n   O  attach to old session\n"
                              "   S  set preferences\n   X  exit \n" + kRule + "\nType option: ";
const std::string kEndOfInput = "\nEND OF FILE !!!\n\nQuit and restart TARNEX.\n\a";

// The preferences file of the box without its time-stamp line (which must be one).
std::string PrefsValues(const Sandbox& box) {
    const std::string text = box.ReadFile("TARNEX.prf");
    const auto cut = text.rfind('\n', text.size() - 2) + 1;
    EXPECT_TRUE(IsTimeStampLine(text.substr(cut))) << text.substr(cut);
    return text.substr(0, cut);
}

// A preferences file whose first twelve values are the defaults.
std::string Prefs(const std::string& rest) {
    return "18Nov2016\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n" + rest;
}

// The banner and the main menu exactly; M and E are refused, O on a missing session comes back, N keeps
// 21 characters of a name of 30 and leaves the data dialog with 4, which leaves no file of the session
// (and no preferences file); x ends the program. (The unprinted A starts the simulator's dialogue;
// tests/simulation runs it.)
TEST(SessionE2E, BannerMainMenuLettersOfEitherCaseAMissingSessionAndANewOne) {
    Sandbox box;
    const std::string kept = "abcdefghijklmnopqrstu";
    const Result r = box.Run("M\nE\nO\nnosuch\n\nn\n" + kept + "vwxyz0123\n4\nx\n");
    EXPECT_EQ(r.status, 0);
    const std::string head = kRule + "\n" + kVersion + "\n\n";
    std::istringstream lines(r.out.substr(std::min(head.size(), r.out.size())));
    std::string credits, line;
    for (int i = 0; i < 5 && std::getline(lines, line); i++) {
        EXPECT_TRUE(!line.empty() && line.size() <= 70 && line.find('@') == std::string::npos) << line;
        credits += line + "\n";
    }
    // The banner points only to what the distribution holds: every file it names lies beside the
    // sources, and it promises no licence text, which no file holds.
    std::istringstream words(credits);
    std::string word;
    int named = 0;
    while (words >> word) {
        while (!word.empty() && (word.back() == ',' || word.back() == '.')) word.pop_back();
        if (word.size() < 4 || word.compare(word.size() - 3, 3, ".md") != 0) continue;
        named++;
        EXPECT_TRUE(std::ifstream(std::string(TARNEX_EXAMPLES) + "/../" + word).good()) << word;
    }
    EXPECT_EQ(named, 1) << credits;
    EXPECT_EQ(credits.find("icence"), std::string::npos) << credits;
    const std::string opening = head + credits + kRule + "\n" + kMainMenu, end = kMainMenu + "\n\n";
    EXPECT_EQ(r.out.substr(0, opening.size()), opening);
    EXPECT_EQ(r.out.substr(r.out.size() - std::min(end.size(), r.out.size())), end);
    EXPECT_EQ(r.err, "\nIncorrect input = m. Reenter.\nAccepted input: N O S A X\n\nIncorrect input = e. "
                     "Reenter.\nAccepted input: N O S A X\n\ncan't open nosuchTrk.txt: No such file or directory \n");
    EXPECT_EQ(Count(r.out, "Enter session name: "), 2);
    EXPECT_EQ(Count(r.out, Header("DATA FOR SESSION", kept)), 1);  // 70 columns in all
    EXPECT_EQ(Count(r.out, kMainMenu), 3);
    EXPECT_EQ(box.Files(), std::set<std::string>{});
    box.PrepareTinySession();  // N on an existing session, left with 4, keeps its track file
    EXPECT_EQ(box.Run("N\ns1\ny\n4\nX\n").status, 0);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);
}

// N with the name of a session whose files exist asks before replacing them: n keeps both files byte for
// byte and asks the name again, y goes on to the data dialog (left with 4, the files stay as they were);
// no files, no question.
TEST(SessionE2E, NewSessionOverAnExistingOneAsksBeforeReplacingIt) {
    const std::string ask = "Enter session name: Session s1 exists. Replace it? (y/n) ";
    // input, keep the track file, keep the data file, questions
    const std::tuple<std::string, bool, bool, int> cases[] = {
        {"N\ns1\nn\ns2\n4\nX\n", true, true, 1}, {"N\ns1\nq\nN\ns2\n4\nX\n", true, true, 1},
        {"N\ns1\nn\ns2\n4\nX\n", false, true, 1}, {"N\ns1\nn\ns1\nn\ns2\n4\nX\n", true, false, 2},
        {"N\ns1\ny\n4\nX\n", true, true, 1}, {"O\ns1\nC\nX\n", true, true, 0}, {"N\ns2\n4\nX\n", false, false, 0}};
    for (const auto& [input, track, data, questions] : cases) {
        SCOPED_TRACE(input);
        Sandbox box;
        box.PrepareTinySession();
        if (!track) std::filesystem::remove(box.Path("s1Trk.txt"));
        if (!data) std::filesystem::remove(box.Path("s1Formda.txt"));
        const Result r = box.Run(input);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Count(r.out, ask), questions);
        EXPECT_EQ(Count(r.out, "exists"), questions);
        EXPECT_EQ(track ? box.ReadFile("s1Trk.txt") : "-", track ? kShortTrack : "-");
        EXPECT_EQ(data ? box.ReadFile("s1Formda.txt") : "-", data ? FiveOtus(false) : "-");  // N never writes it
        EXPECT_EQ(Count(r.out, Header("DATA FOR SESSION", "s2")), input.find("s2") != std::string::npos ? 1 : 0);
        EXPECT_FALSE(std::filesystem::exists(box.Path("s2Trk.txt")));  // left with 4: no half-made session
    }
}

// N tries whether the new session's track file can be written by making a file of a name of its
// own beside it and removing it again: a track file that another run makes between the question and
// the trial (forced: made just before the program's exclusive creation, or its opening), or puts in
// place by its commit just before the trial removes its file, is that run's, kept with its text,
// whether the name was new or the user said to replace the session. Without it the trial leaves
// no file.
TEST(SessionE2E, TheTrackFilesTrialNeverTakesAFileItDidNotMake) {
    const std::string other = "another run's track file\n";
    const struct {
        const char* input;
        bool appears;
        bool existing;   // s1 stands before (its track file is the tiny session's)
        bool atRemoval;  // the other run's commit comes just before the trial removes its file
    } cases[] = {
        {"N\ns2\n4\nX\n", false, false, false},
        {"N\ns2\n4\nX\n", true, false, false},
        {"N\ns1\ny\n4\nX\n", false, true, false},
        {"N\ns2\n4\nX\n", true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.input) + (c.atRemoval ? ", a file put in place" : c.appears ? ", a file appears" : ""));
        Sandbox box;
        if (c.existing) box.PrepareTinySession();
        tnxtest::ProgramRun run;
        run.input = c.input;
        if (c.appears) {
            run.appearOn = "s2Trk.txt";
            run.appearText = other;
            run.appearAtRemoval = c.atRemoval;
        }
        const tnxtest::Ending ending = tnxtest::RunProgram(box.Path(""), run);
        EXPECT_EQ(ending.signal, 0);
        EXPECT_EQ(ending.status, 0);
        std::set<std::string> expected;
        if (c.existing) expected = {"s1Formda.txt", "s1Trk.txt"};
        if (c.appears) expected.insert("s2Trk.txt");
        EXPECT_EQ(box.Files(), expected);
        if (c.appears) {
            EXPECT_EQ(box.ReadFile("s2Trk.txt"), other);
        }
        if (c.existing) {
            EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);
        }
    }
}

// The end of the input at any prompt, or a track file whose number of stored partitions (11)
// exceeds what a session holds: status 1, the message, and the track file as it was.
TEST(SessionE2E, EndOfInputAtAnyPromptOrACorruptTrackFileEndInOrder) {
    const std::string corrupt = Edit(kPlainTrack, "\n0\n0\n\n\n0 0", "\n11\n0\n\n\n0 0");
    // Main menu, session name, data dialog, preferences (menu, y/n, number), session menus, preferences.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", kShortTrack, "\nfile input " + kEndOfInput}, {"N\n", kShortTrack, ""}, {"N\ns9\n", kShortTrack, ""},
        {"S\n", kShortTrack, ""}, {"S\nG\n", kShortTrack, ""}, {"S\nF\n", kShortTrack, ""},
        {"O\ns1\n", kShortTrack, ""}, {"O\ns1\nV\n", kShortTrack, ""}, {"O\ns1\nS\n", kShortTrack, ""},
        {"O\ns1\nV\nC\nC\nX\n", corrupt, "\nfile s1Trk.txt " + kEndOfInput}};
    for (const auto& [input, track, err] : cases) {
        SCOPED_TRACE(input);
        Sandbox box;
        box.PrepareTinySession();
        box.WriteFile("s1Trk.txt", track);
        const Result r = box.Run(input);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), kEndOfInput.size())), kEndOfInput);
        EXPECT_TRUE(err.empty() || r.err == err) << r.err;
        EXPECT_EQ(box.ReadFile("s1Trk.txt"), track);
        EXPECT_EQ(track == corrupt ? Count(r.out, Header("SESSION MENU", "s1")) : 0, 0);
    }
}

// The track file's first word names the data file: one of 63 characters fits the name, one of 64
// does not, and is taken for a damaged track file (the reader's message) before anything is read.
TEST(SessionE2E, ADataFileNameTooLongForTheSessionIsADamagedTrackFile) {
    for (const size_t length : {size_t{63}, size_t{64}}) {
        SCOPED_TRACE(length);
        Sandbox box;
        box.PrepareTinySession();
        const std::string track = std::string(length, 'a') + "\n";
        box.WriteFile("s1Trk.txt", track);
        const Result r = box.Run("O\ns1\nX\n");
        EXPECT_EQ(r.err.rfind("\nfile s1Trk.txt ", 0) == 0, length == 64) << r.err;
        EXPECT_EQ(box.ReadFile("s1Trk.txt"), track);
    }
}

// A number of 512 digits typed at a number prompt (the digits of the printouts) is refused as a value out of
// range is; the program goes on, takes the answer after it and writes the preferences with it.
TEST(SessionE2E, ANumberTooLongToReadAtAPromptIsRefusedAndTheNextAnswerTaken) {
    Sandbox box;
    const Result r = box.Run("S\nF\n" + std::string(512, '4') + "\n3\nn\nC\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "\nIncorrect input = " + std::string(20, '4') + ".... Reenter.\nAccepted input: 0 to 2.14748e+09\n");
    EXPECT_EQ(Count(r.out, "Number of significant digits on printouts (enter zero for default):\n\a"
                           "Save tables and resemblances generated by randomization? y/n "), 1);
    EXPECT_EQ(PrefsValues(box), Prefs("3\n2147483647\n6\nn\nn\nn\n1\n1\n0\n1\n2\n1\n0\n"));
}

// Session menus; K without variables or phylogeny lists and accepts only 18 to 23; 12 reloads leak nothing
// (status 0).
TEST(SessionE2E, SessionMenusAcceptOnlyTheirLettersAndReloadingLeaksNothing) {
    Sandbox box;
    box.PrepareTinySession();
    std::string input = "o\ns1\nP\nE\nS\nT\nn\nC\nv\nG\nK\n16\n1\n9\n10\n17\n24\n14\n11\n18\n"
                        "k\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n2\nn\n\nc\nc\n";
    for (int i = 0; i < 12; i++) input += i % 2 ? "O\ns1\nV\nC\nC\n" : "O\ns1\nC\n";
    const Result r = box.Run(input + "X\n");
    EXPECT_EQ(r.status, 0);
    std::string refused;
    for (const char* c : {"16", "1", "9", "10", "17", "24", "14", "11"})
        refused += std::string("\nIncorrect input = ") + c + ". Reenter.\nAccepted input: 18 19 20 21 22 23\n";
    EXPECT_EQ(r.err, "\nIncorrect input = p. Reenter.\nAccepted input: V S C\n"
                     "\nIncorrect input = e. Reenter.\nAccepted input: V S C\n"
                     "\nIncorrect input = g. Reenter.\nAccepted input: H K C\n" + refused);
    EXPECT_EQ(Count(r.out, Header("SESSION MENU", "s1") + "Options:\n   V  analysis of community structures\n"
                                  "   S  set preferences\n   C  return to main menu \nType option: "), 3 + 18);
    EXPECT_EQ(Count(r.out, Header("ANALYSIS OF COMMUNITY STRUCTURES", "s1") +
                               "Options:\n   H  functional analysis \n   K  ranking traits (find optimal "
                               "trait subset) \n   C  return to session menu \nType option: \a\n"), 1);
    EXPECT_EQ(Count(r.out, CriterionMenu(false, false)), 1);
    EXPECT_EQ(Count(r.out, "\n\nResults on file s1ChRank_roXZ.txt\n"), 1);
    EXPECT_EQ(Count(r.out, Header("PREFERENCES", "s1")), 2);  // shown again after T
    EXPECT_EQ(Count(r.out, kMainMenu), 2 + 12);
    EXPECT_EQ(box.ReadFile("s1Trk.txt"), kShortTrack);  // the search does not rewrite it
    EXPECT_EQ(box.ReadFile("s1Formda.txt"), FiveOtus(false));
}

// The preferences menu accepts only the letters it prints.
TEST(SessionE2E, PreferencesMenuRefusesAnUnlistedLetter) {
    Sandbox box;
    const Result r = box.Run("S\nM\nC\nX\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\nIncorrect input = m. Reenter.\nAccepted input: F G R B O T C\n");
    EXPECT_EQ(Count(r.out, Header("PREFERENCES", "")), 1);
}

TEST(SessionE2E, PreferencesFile) {
    Sandbox box;
    const std::string defaults = Prefs("6\n2147483647\n6\nn\nn\nn\n1\n1\n0\n1\n2\n1\n0\n");
    const Result r = box.Run("S\nC\nX\n");
    EXPECT_EQ(PrefsValues(box), defaults);
    EXPECT_EQ(box.Files(), std::set<std::string>{"TARNEX.prf"});
    EXPECT_EQ(Count(r.out, Header("PREFERENCES", "") +
                               "Set preferences of: \n   F  output files \n   G  Gower index\n   R  Rao "
                               "entropy\n   B  Beals smoothing\n   O  PCA regression\n   T  permutaton tests "
                               "based on Mantel correlations\n   C  return to main menu \nType option: "), 1);
    // Values set are read back and written again unchanged; 0 digits give 6, a factor below 1 is refused.
    const std::string set = Prefs("3\n2147483647\n6\nn\ny\nn\n0\n0\n1\n0\n2.5\n0\n0\n");
    const std::pair<const char*, std::string> dialogs[] = {
        {"S\nF\n3\ny\nG\nn\nR\nn\ny\nB\nn\nO\n2.5\nT\nn\nM\nC\nX\n", set},
        {"S\nC\nX\n", set},
        {"S\nF\n0\nn\nO\n0.5\n4\nC\nX\n", Prefs("6\n2147483647\n6\nn\nn\nn\n0\n0\n1\n0\n4\n0\n0\n")}};
    for (const auto& [answers, expected] : dialogs) {
        EXPECT_EQ(box.Run(answers).status, 0) << answers;
        EXPECT_EQ(PrefsValues(box), expected) << answers;
    }
    // Another first word: ignored; values out of range: their defaults; cut short or no number: code 2.
    const std::pair<std::string, std::string> files[] = {
        {"17Nov2016\n1\n1.0\n1.0\n1\n1.0\n1.0\n2\ny\n1\n1.0\n1.0\n3\n40\n2\ny\ny\ny\n0\n0\n1\n0\n4\n0\n5\n",
         defaults},
        {"18Nov2016\n1\n-3.0\n4.0\n0\n0.0\n0.0\n1\nx\n0\n0.0\n0.0\n0\n-5\n6\ny\nn\nn\n7\n0\n1\n1\n0.5\n2\n3\n",
         "18Nov2016\n1\n0.000000\n4.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n6\n2147483647\n"
         "6\ny\nn\nn\n1\n0\n1\n1\n2\n1\n3\n"},
        {"18Nov2016\n0\n0.000000\n", ""}, {"18Nov2016\n0\nwide\n", ""}};
    for (const auto& [text, expected] : files) {
        box.WriteFile("TARNEX.prf", text);
        const Result run = box.Run("S\nC\nX\n");
        EXPECT_EQ(run.status, expected.empty() ? 1 : 0);
        EXPECT_EQ(run.err, expected.empty() ? "\nfile TARNEX.prf " + kEndOfInput : "");
        const std::string now = expected.empty() ? box.ReadFile("TARNEX.prf") : PrefsValues(box);
        EXPECT_EQ(now, expected.empty() ? text : expected);
    }
    // A file that cannot be read or written keeps the program going: read at the start (the reason
    // named), then written when the dialog is left.
    std::filesystem::remove(box.Path("TARNEX.prf"));
    std::filesystem::create_directory(box.Path("TARNEX.prf"));
    const Result dir = box.Run("S\nC\nX\n");
    EXPECT_EQ(dir.status, 0);
    EXPECT_EQ(dir.err, "\ncan't open TARNEX.prf: Is a directory \n\ncan't replace TARNEX.prf: Is a directory \n");
    EXPECT_EQ(Count(dir.out, kMainMenu), 2);
    EXPECT_EQ(box.Files(), std::set<std::string>{"TARNEX.prf"});  // nothing left beside it
    // A full disk: the file and the system's reason named before the failed write's message, status
    // 1, no file left.
    std::filesystem::remove(box.Path("TARNEX.prf"));
    tnxtest::ProgramRun full;
    full.input = "S\nC\nX\n";
    full.diskFullAfter = 0;
    const tnxtest::Ending ended = tnxtest::RunProgram(box.Path(""), full);
    EXPECT_EQ(ended.signal, 0);
    EXPECT_EQ(ended.status, 1);
    EXPECT_EQ(Slurp(box.Path("").parent_path().parent_path() / "stderr.txt"),
              "\ncan't write TARNEX.prf: No space left on device \n\nFAIL TO PRINT ON FILE !!!\n\n"
              "Quit and restart TARNEX.\n\a");
    EXPECT_EQ(box.Files(), std::set<std::string>{});
}

}  // namespace
