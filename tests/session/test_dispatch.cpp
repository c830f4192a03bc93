// The menu header and the dispatch that the session menus hold for letters their lists do not
// accept: which handler each letter would reach, under which conditions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "classical/TNXIFCLASSIC.h"
#include "foundation/ConsoleReaders.h"
#include "session/TNXGLOB.h"
#include "session/TNXIF.h"
#include "session/TNXIFHAND.h"

namespace {

// Captures what Menu prints on `out`.
std::string MenuText(const char* title, int* count = nullptr) {
    FILE* captured = std::tmpfile();
    FILE* saved = out;
    out = captured;
    const int n = Menu(title);
    out = saved;
    if (count) *count = n;
    std::rewind(captured);
    std::string text;
    for (int c; (c = std::fgetc(captured)) != EOF;) text += static_cast<char>(c);
    std::fclose(captured);
    return text;
}

TEST(MenuHeader, TitleAndSessionNameFillSeventyColumns) {
    std::strcpy(sessionName, "s1");
    std::strcpy(sessionShortName, "s1");
    int count = 0;
    const std::string text = MenuText("SESSION MENU", &count);
    const std::string rule(70, '-');
    EXPECT_EQ(text, "\n\nSESSION MENU" + std::string(35, ' ') + std::string(21, ' ') + "s1\n" + rule + "\n");
    EXPECT_EQ(count, 71);  // the rule line and its newline
    // The session name "NULL" is left out.
    std::strcpy(sessionName, "NULL");
    EXPECT_EQ(MenuText("PREFERENCES"), "\n\nPREFERENCES" + std::string(36, ' ') + "\n" + rule + "\n");
    // A 21-character name ends exactly at column 70.
    std::strcpy(sessionName, "abcdefghijklmnopqrstu");
    std::strcpy(sessionShortName, sessionName);
    const std::string line = MenuText("ANALYSIS OF COMMUNITY STRUCTURES").substr(2, 71);
    EXPECT_EQ(line, "ANALYSIS OF COMMUNITY STRUCTURES" + std::string(17, ' ') + "abcdefghijklmnopqrstu\n");
    sessionName[0] = sessionShortName[0] = '\0';
}

class HeldDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        hasHier = hasNRese = hasCstRese = hasScores = hasAOCScor = 0;
        hasEnvRese = hasEnvScores = hasEnvRank = 0;
        rese_opt = reseCstOpt = 0;
        doDistrib = 0;
        nch = 1;
        nenv = 0;
        part = 1;
        fuzzy = 0;
    }
    void TearDown() override { SetUp(); nch = 0; }
};

TEST_F(HeldDispatch, TheTwoAnalysesAndTheAlwaysOpenLetters) {
    EXPECT_EQ(CommunityStructuresHandler('H'), &IFHierarchicalAccum);
    EXPECT_EQ(CommunityStructuresHandler('K'), &IFChOrderSearch);
    EXPECT_EQ(CommunityStructuresHandler('J'), &IFComplexity);
    EXPECT_EQ(CommunityStructuresHandler('j'), &IFComplexity);
    EXPECT_EQ(CommunityStructuresHandler('Z'), &IFDynamics);
    // Partition menus (G, M) and letters of no branch reach nothing.
    EXPECT_EQ(CommunityStructuresHandler('G'), nullptr);
    EXPECT_EQ(CommunityStructuresHandler('M'), nullptr);
    EXPECT_EQ(CommunityStructuresHandler('C'), nullptr);
    EXPECT_EQ(CommunityStructuresHandler('Q'), nullptr);
}

TEST_F(HeldDispatch, BranchesThatNeedAHierarchy) {
    for (int letter : {'R', 'T', 'N', 'X'}) EXPECT_EQ(CommunityStructuresHandler(letter), nullptr);
    hasHier = 1;
    EXPECT_EQ(CommunityStructuresHandler('R'), &IFResemblance);
    EXPECT_EQ(CommunityStructuresHandler('T'), &IFStructTable);
    EXPECT_EQ(CommunityStructuresHandler('N'), &IFConcentrationAn);
    EXPECT_EQ(CommunityStructuresHandler('X'), &IFExportData);
}

TEST_F(HeldDispatch, BranchesThatNeedUsableResemblances) {
    for (int letter : {'D', 'O', 'P', 'U'}) EXPECT_EQ(CommunityStructuresHandler(letter), nullptr);
    hasNRese = 1;
    rese_opt = 3;  // cross products cannot be used
    EXPECT_EQ(CommunityStructuresHandler('D'), nullptr);
    rese_opt = 4;
    EXPECT_EQ(CommunityStructuresHandler('O'), nullptr);
    rese_opt = 6;
    EXPECT_EQ(CommunityStructuresHandler('D'), &IFRandomization);
    EXPECT_EQ(CommunityStructuresHandler('O'), &IFOrdination);
    EXPECT_EQ(CommunityStructuresHandler('P'), &IFProfile);
    EXPECT_EQ(CommunityStructuresHandler('U'), &IFCluster);
    // Cluster analysis also runs on resemblances of types.
    hasNRese = 0;
    hasCstRese = 1;
    reseCstOpt = 4;
    EXPECT_EQ(CommunityStructuresHandler('U'), nullptr);
    reseCstOpt = 10;
    EXPECT_EQ(CommunityStructuresHandler('U'), &IFCluster);
}

TEST_F(HeldDispatch, EvaluationHasTwoWaysIn) {
    hasNRese = 1;
    rese_opt = 6;
    EXPECT_EQ(CommunityStructuresHandler('E'), nullptr);  // one trait, no variables
    nenv = 2;
    EXPECT_EQ(CommunityStructuresHandler('E'), &IFEvaluation);
    nenv = 0;
    nch = 3;
    EXPECT_EQ(CommunityStructuresHandler('E'), &IFEvaluation);
    hasNRese = 0;
    hasHier = 1;
    part = 2;
    EXPECT_EQ(CommunityStructuresHandler('E'), nullptr);
    part = 1;
    fuzzy = 2;
    EXPECT_EQ(CommunityStructuresHandler('E'), nullptr);
    fuzzy = 3;
    EXPECT_EQ(CommunityStructuresHandler('E'), &IFEvaluation);
}

TEST_F(HeldDispatch, ScattergramAndHistogram) {
    EXPECT_EQ(CommunityStructuresHandler('S'), nullptr);
    hasAOCScor = 1;
    EXPECT_EQ(CommunityStructuresHandler('S'), &IFScatter);
    EXPECT_EQ(CommunityStructuresHandler('F'), nullptr);
    doDistrib = 1;
    EXPECT_EQ(CommunityStructuresHandler('F'), &IFHistogram);
}

TEST_F(HeldDispatch, EnvironmentalStructures) {
    nenv = 1;
    EXPECT_EQ(EnvironmentalStructuresHandler('R'), &IFEnvRese);
    EXPECT_EQ(EnvironmentalStructuresHandler('K'), nullptr);
    EXPECT_EQ(EnvironmentalStructuresHandler('O'), nullptr);
    EXPECT_EQ(EnvironmentalStructuresHandler('U'), nullptr);
    nenv = 2;
    EXPECT_EQ(EnvironmentalStructuresHandler('K'), &IFEnvRank);
    EXPECT_EQ(EnvironmentalStructuresHandler('O'), nullptr);
    hasEnvRese = 1;
    EXPECT_EQ(EnvironmentalStructuresHandler('O'), &IFEnvOrdination);
    EXPECT_EQ(EnvironmentalStructuresHandler('U'), &IFEnvCluster);
    EXPECT_EQ(EnvironmentalStructuresHandler('S'), nullptr);
    hasEnvScores = 1;
    EXPECT_EQ(EnvironmentalStructuresHandler('S'), &IFScatter);
    EXPECT_EQ(EnvironmentalStructuresHandler('P'), nullptr);
    hasEnvRank = 1;
    EXPECT_EQ(EnvironmentalStructuresHandler('p'), &IFProfile);
    EXPECT_EQ(EnvironmentalStructuresHandler('G'), nullptr);
}

// Codes 1 to 4 print their messages and end the program with status 1; code 5 rings the
// bell and comes back to its caller (no wait while a macro runs).
TEST(ErrorCodesDeathTest, EachCodeEndsAsItShould) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* expected[] = {"OUT OF MEMORY !!!", "END OF FILE !!!", "FAIL TO PRINT ON FILE !!!",
                              "FAIL TO OPEN FILE !!!"};
    for (int code = 1; code <= 4; code++) {
        EXPECT_EXIT(
            {
                std::freopen("/dev/null", "r", stdin);
                HandleErrorCode(code);
            },
            ::testing::ExitedWithCode(1),
            std::string("\n") + expected[code - 1] + "\n\nQuit and restart TARNEX.\n\a");
    }
    EXPECT_EXIT(
        {
            runMacro = 1;
            HandleErrorCode(5);
            std::fprintf(stderr, "came back");
            std::exit(7);
        },
        ::testing::ExitedWithCode(7), "^\acame back$");
}

}  // namespace
