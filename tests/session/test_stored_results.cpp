// Stored results that a session names but cannot read: after the functional analysis (which names the
// table of types and writes none) and with result flags whose files are gone, the held dispatch offers
// no letter whose analysis would read them, and each handler that reads one refuses in one line with
// the session's files, flags and names as they were. The evaluation offers its functions on the stored
// community resemblances only while the session holds them.
#include <cmath>
#include <map>

#include "classical/TNXDynamics.h"
#include "classical/TNXIFCLASSIC.h"
#include "classical/tnxRnd.h"
#include "session/TNXIF.h"
#include "session/TNXIFHAND.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/dialogs/TNXPART.h"
#include "session/model/TNXTRACK.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string s;
    for (int i = 0; i < times; i++) s += text;
    return s;
}

// Keyboard types, crisp, 10 iterations restricted within keyboard groups, seed 5, Mantel, Euclidean.
const std::string kHAnswers = "k\n1 1 2 2 3\n0\n10\n1\nk\n1 1 1 2 2\n2\n5\n1\n6\n1\nn\nn\n";

class StoredResultsTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        partitionTrackWriter = WriteTrack;
        Script(kHAnswers);
        IFHierarchicalAccum();
        Reload();
    }
    void TearDown() override {
        partitionTrackWriter = nullptr;
        optmain1 = 'V';
        DialogTest::TearDown();
    }
    // As the session loop does after an analysis: the data and the track file read again.
    static void Reload() {
        LoadFormda("s1Formda.txt");
        ReadTrack();
    }
    // Every session file by name with its contents (the console and its answers left out).
    static std::map<std::string, std::string> Files() {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator("."))
            if (e.path().filename() != "console.txt" && e.path().filename() != "answers.txt")
                files[e.path().filename()] = Read(e.path());
        return files;
    }
    // What a handler may change and must not when it refuses: files, flags, names.
    static auto State() { return std::make_tuple(Files(), ResultFlags(), ResultNames(), std::string(whichHier)); }
    // The standard error written from now on.
    void CaptureAgain() {
        if (capturing_) testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        capturing_ = true;
    }
};

// The letters of the held dispatch whose analyses read a stored result, after the functional analysis
// (hasHier 1, no "Hie.txt") with the flags of the other results on and their files gone: none is
// offered. Each handler, reached all the same, refuses in one line and changes nothing; the dynamics
// menu, which the dispatch offers, shows no line whose files are gone.
TEST_F(StoredResultsTest, ResultsNamedButUnreadableAreNeitherOfferedNorRead) {
    ASSERT_EQ((Ints{hasHier, hasNRese}), (Ints{1, 0}));
    ASSERT_STREQ(whichHier, "s1Hie.txt");
    ASSERT_FALSE(std::filesystem::exists("s1Hie.txt"));
    struct Named {
        int* flag;
        char* name;
        const char* file;
    };
    for (const Named& r : {Named{&hasNRese, whichNRese, "s1NRe.txt"}, {&hasPRese, whichPRese, "s1PRe.txt"},
                           {&hasProbN, whichProbN, "s1PrN.txt"}, {&hasCstRese, whichCstRese, "s1CRe.txt"},
                           {&hasScores, whichScores, "s1Sco.txt"}, {&hasAOCScor, whichAOCScor, "s1.AOC"},
                           {&hasRo, whichRo, "s1Ro.txt"}, {&hasComplexity, whichComplexity, "s1Complexity.txt"},
                           {&hasVelocity, whichVelocity, "s1Velocity.txt"}, {&hasEnvRese, whichEnvRese, "s1ERe.txt"},
                           {&hasEnvScores, whichEnvScores, "s1ESc.txt"}, {&hasEnvRank, whichEnvRank, "s1ERk.txt"}}) {
        *r.flag = 1;
        std::strcpy(r.name, r.file);
    }
    doDistrib = 1, rese_opt = 6, nGroups = 0;  // null distributions without their ".Rnd" file
    WriteTrack(1);
    Reload();
    const auto before = State();

    for (const char* l = "JRDOEUPSFNXjr"; *l; ++l) EXPECT_EQ(CommunityStructuresHandler(*l), nullptr) << *l;
    for (const char* l = "OUSPo"; *l; ++l) EXPECT_EQ(EnvironmentalStructuresHandler(*l), nullptr) << *l;
    // Offered still: the dynamics menu, with none of its lines.
    ASSERT_EQ(CommunityStructuresHandler('Z'), &IFDynamics);
    Script("J\nV\nR\nP\nM\nI\nC\n");
    const size_t from = Out().size();
    EXPECT_EQ(CodeOf([] { IFDynamics(); }), 0);
    EXPECT_EQ(Out().substr(from),
              Repeat(Header("ANALYSIS OF COMMUNITY DYNAMICS", "s1") + "Options:\n   C  return to analysis of community "
                                                                      "structures main options\nType option: ", 7));
    EXPECT_EQ(State(), before);

    const std::string types = "\nThis session holds no readable table of types.\n";
    const std::string nominal = "\nThis session holds no readable community resemblances.\n";
    const struct {
        const char* what;
        int menu;  // the session menu the handler belongs to
        void (*handler)();
        std::string answers, refusal;
    } rows[] = {
        {"resemblance", 'V', IFResemblance, "", types},
        {"concentration", 'V', IFConcentrationAn, "", types},
        {"export", 'V', IFExportData, "", types},
        // Nominal resemblances (the only kind offered), scores printed, correlations not.
        {"ordination", 'V', IFOrdination, "y\nn\n", nominal},
        // Communities with the complete linkage; types likewise.
        {"cluster of communities", 'V', IFCluster, "r\n2\n", nominal},
        {"cluster of types", 'V', IFCluster, "c\n2\n", "\nThis session holds no readable resemblance of PFTs.\n"},
        // Function 1 is not shown (no readable resemblances): asked again, then 5 without its scores.
        {"evaluation", 'V', IFEvaluation, "1\n5\n", "\nThis session holds no readable ordination scores.\n"},
        {"profile", 'V', IFProfile, "6\nc1 c2\n0\n1\n1\n", "\nThis session holds no results of the profile's source.\n"},
        {"scatter", 'V', IFScatter, "", "\nThis session holds no scores to plot.\n"},
        {"histogram", 'V', IFHistogram, "", "\nThis session holds no readable null distributions.\n"},
        {"diversity and complexity", 'V', IFComplexity, "", types},
        {"velocity", 'V', IFVelocity, "", nominal},
        {"complexity and velocity", 'V', IFComplexityVelocity, "",
         "\nThis session holds no readable velocities of community change.\n"},
        // The velocities offered by their flag (12), their file gone.
        {"profile of dynamics", 'V', IFProfileDynamics, "12\n",
         "\nThis session holds no readable velocities of community change.\n"},
        {"randomisation", 'V', IFRandomization, "", nominal},
        {"environmental ordination", 'E', IFEnvOrdination, "",
         "\nThis session holds no readable environmental resemblance.\n"},
        {"environmental cluster", 'E', IFEnvCluster, "", "\nThis session holds no readable environmental resemblance.\n"},
        {"environmental scatter", 'E', IFScatter, "", "\nThis session holds no readable environmental scores.\n"},
        {"environmental profile", 'E', IFProfile, "", "\nThis session holds no results of the profile's source.\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        optmain1 = r.menu;
        CaptureAgain();
        EXPECT_TRUE(Run(r.answers, [&] { EXPECT_EQ(CodeOf(r.handler), 0); }));
        EXPECT_EQ(Err(), r.refusal);
        EXPECT_EQ(State(), before);
    }
}

// Functions 1, 3, 4 and 7 read the stored community resemblances. With none stored, or after the
// functional analysis (hasNRese 0) with the file of an earlier resemblance still there, they are not
// shown, and asked for they are not accepted: the question comes again (then 5, which finds no scores,
// is refused). With them stored, function 1 is shown and evaluates them. The dispatch takes E by the
// table of types (written here).
TEST_F(StoredResultsTest, EvaluationOffersTheResemblanceFunctionsOnlyWithStoredResemblances) {
    WriteIntermediateW();
    ASSERT_EQ(CommunityStructuresHandler('E'), &IFEvaluation);
    const std::string head = Header("EVALUATION SETTINGS", "s1") + "Structure evaluation function option:\n";
    const std::string one = "   1  congruence of community resemblance/environmental resemblance\n";
    const std::string two = "   2  congruence of community ordination axes/environmental resemblance\n";
    const std::string three = "   3  divergence of community groups\n";
    const std::string four = "   4  trait redundancy in community data structure\n";
    const std::string five = "   5  correlation of community ordination axes/environmental variables\n";
    const std::string six = "   6  sharpness of information structure\n", seven = "   7  group homogeneity\n";
    const std::string type = "Type option no.: ";
    const std::string without = two + five + six + type;
    const std::string again = "Structure evaluation function option:\n" + without;
    // The stored resemblances of four communities, the upper half with its diagonal.
    const std::string nre = "0 1 2 3\n0 4 5\n0 6\n0\n";
    const struct {
        const char* what;
        int flag;
        const char* name;
        bool file;
        std::string answers, text;
        bool evaluated;
    } rows[] = {
        {"none stored", 0, "NULL", false, "1\n3\n4\n7\n5\n", head + without + Repeat(again, 4), false},
        {"a stale file after the functional analysis", 0, "s1NRe.txt", true, "1\n3\n4\n7\n5\n",
         head + without + Repeat(again, 4), false},
        {"a flag whose file is gone", 1, "s1NRe.txt", false, "1\n5\n", head + without + again, false},
        // Function 1 on the stored ones: nominal resemblances (the only kind), no Mantel test.
        {"stored", 1, "s1NRe.txt", true, "1\nn\n", head + one + two + three + four + five + six + seven + type, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Reload();
        std::filesystem::remove("s1NRe.txt");
        if (r.file) Write("s1NRe.txt", nre);
        hasNRese = r.flag;
        std::strcpy(whichNRese, r.name);
        const auto before = State();
        const size_t from = Out().size();
        CaptureAgain();
        EXPECT_TRUE(Run(r.answers, [] { EXPECT_EQ(CodeOf(IFEvaluation), 0); }));
        EXPECT_EQ(Out().substr(from, r.text.size()), r.text);
        if (r.evaluated) {
            EXPECT_EQ((std::make_pair(hasRo, std::string(whichRo))), (std::make_pair(1, std::string("s1Ro.txt"))));
            // Both variables make the same standardised distances, proportional to |i - j| over the pairs
            // (1,2) (1,3) (1,4) (2,3) (2,4) (3,4): 1 2 3 1 2 1, against the stored 1 2 3 4 5 6. By hand:
            // deviations -2.5 -1.5 -0.5 0.5 1.5 2.5 and -2/3 1/3 4/3 -2/3 1/3 -2/3, cross products summing
            // to -1, squares to 17.5 and 10/3: r = -1 / sqrt(17.5 * 10 / 3).
            // (The variables are standardised in single precision.)
            EXPECT_NEAR(std::stod(Read("s1Ro.txt")), -1.0 / std::sqrt(17.5 * 10.0 / 3.0), 1e-6);
        } else {
            EXPECT_EQ(Err(), "\nThis session holds no readable ordination scores.\n");
            EXPECT_EQ(State(), before);
            EXPECT_FALSE(std::filesystem::exists("s1Ro.txt"));
        }
    }
}

}  // namespace
