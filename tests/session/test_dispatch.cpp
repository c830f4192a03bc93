// The error codes, and the dispatch that the session menus hold for letters their lists do not
// accept: which handler each letter would reach, under which conditions. (The menu headers are
// checked end to end.)
#include <gtest/gtest.h>

#include "classical/TNXIFCLASSIC.h"
#include "session/TNXGLOB.h"
#include "session/TNXIF.h"
#include "session/TNXIFHAND.h"

namespace {

// Expects each of `letters` to reach `expected` through `menu`.
void Expect(MenuHandler (*menu)(int), const char* letters, MenuHandler expected) {
    for (const char* l = letters; *l; ++l) EXPECT_EQ(menu(*l), expected) << *l;
}

TEST(HeldDispatch, CommunityStructures) {
    const auto C = CommunityStructuresHandler;
    InitGlobals();
    FreeGlobals1();  // no result flags left by an earlier test
    nch = part = 1;
    Expect(C, "Hh", &IFHierarchicalAccum);
    Expect(C, "K", &IFChOrderSearch);
    Expect(C, "J", &IFComplexity);
    Expect(C, "Z", &IFDynamics);
    Expect(C, "GMCQRTNXDOPUESF", nullptr);  // partition menus, no branch, or conditions unmet
    hasHier = 1;
    fuzzy = 3;
    Expect(C, "R", &IFResemblance);
    Expect(C, "T", &IFStructTable);
    Expect(C, "N", &IFConcentrationAn);
    Expect(C, "X", &IFExportData);
    Expect(C, "E", &IFEvaluation);  // from a hierarchy, unless with fuzzy option 2
    fuzzy = 2;
    Expect(C, "E", nullptr);
    hasHier = fuzzy = 0;
    hasNRese = 1;
    rese_opt = 3;  // cross products cannot be used
    Expect(C, "DOPUE", nullptr);
    rese_opt = 6;
    Expect(C, "D", &IFRandomization);
    Expect(C, "O", &IFOrdination);
    Expect(C, "P", &IFProfile);
    Expect(C, "U", &IFCluster);
    Expect(C, "E", nullptr);  // one trait, no variables
    nch = 3;
    Expect(C, "E", &IFEvaluation);
    hasNRese = 0;
    hasCstRese = 1;
    reseCstOpt = 4;
    Expect(C, "U", nullptr);
    hasAOCScor = doDistrib = 1;
    Expect(C, "S", &IFScatter);
    Expect(C, "F", &IFHistogram);
    hasCstRese = reseCstOpt = hasAOCScor = doDistrib = rese_opt = nch = 0;
}

TEST(HeldDispatch, EnvironmentalStructures) {
    const auto E = EnvironmentalStructuresHandler;
    InitGlobals();
    FreeGlobals1();
    nenv = 1;
    Expect(E, "R", &IFEnvRese);
    Expect(E, "KOUSPGC", nullptr);
    nenv = 2;
    hasEnvRese = hasEnvScores = hasEnvRank = 1;
    Expect(E, "K", &IFEnvRank);
    Expect(E, "O", &IFEnvOrdination);
    Expect(E, "U", &IFEnvCluster);
    Expect(E, "S", &IFScatter);
    Expect(E, "p", &IFProfile);
    hasEnvRese = hasEnvScores = hasEnvRank = nenv = 0;
}

// Codes 1 to 4 print their messages and end the program with status 1; code 5 rings the
// bell and comes back to its caller (no wait while a macro runs).
TEST(ErrorCodesDeathTest, EachCodeEndsAsItShould) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* messages[] = {"OUT OF MEMORY", "END OF FILE", "FAIL TO PRINT ON FILE", "FAIL TO OPEN FILE"};
    std::freopen("/dev/null", "r", stdin);  // no key to wait for
    for (int code = 1; code <= 4; code++)
        EXPECT_EXIT(HandleErrorCode(code), ::testing::ExitedWithCode(1),
                    std::string("\n") + messages[code - 1] + " !!!\n\nQuit and restart TARNEX.\n\a");
    runMacro = 1;
    EXPECT_EXIT((HandleErrorCode(5), std::fprintf(stderr, "came back"), std::exit(7)),
                ::testing::ExitedWithCode(7), "^\acame back$");
    runMacro = 0;
}

}  // namespace
