// The global data model's label tables and file-name sizes, the error codes, and which handler each letter
// would reach through the dispatch the session menus hold.
#include "classical/TNXIFCLASSIC.h"
#include "session/TNXIF.h"
#include "session/TNXIFHAND.h"
#include "session/dialogs/TNXPART.h"
#include "session_fixture.h"

namespace {

// Expects each letter of each row to reach the row's handler through `menu`.
void Expect(MenuHandler (*menu)(int), std::initializer_list<std::pair<const char*, MenuHandler>> rows) {
    for (const auto& [letters, expected] : rows)
        for (const char* l = letters; *l; ++l) EXPECT_EQ(menu(*l), expected) << *l;
}

TEST(HeldDispatch, CommunityAndEnvironmentalStructures) {
    const auto C = CommunityStructuresHandler;
    const tnxtest::SessionSettingsKept kept;  // the settings, names and flags below are put back
    InitGlobals();
    FreeGlobals1();  // no result flags left by an earlier test
    // Every result the flags below name is stored in a file of its own (the dispatch reads none).
    const tnxtest::Sandbox box;
    const std::filesystem::path former = std::filesystem::current_path();
    std::filesystem::current_path(box.Path(""));
    std::strcpy(sessionName, "s1");
    for (auto n : {std::make_pair(whichHier, "s1Hie.txt"), {whichNRese, "s1NRe.txt"}, {whichCstRese, "s1CRe.txt"},
                   {whichAOCScor, "s1.AOC"}, {whichEnvRese, "s1ERe.txt"}, {whichEnvScores, "s1ESc.txt"},
                   {whichEnvRank, "s1ERk.txt"}, {whichRnd, "s1.Rnd"}}) {
        std::strcpy(n.first, n.second);
        box.WriteFile(n.second, "0\n");
    }
    nch = part = 1;
    Expect(C, {{"Hh", &IFHierarchicalAccum}, {"K", &IFChOrderSearch}, {"Z", &IFDynamics},
               {"g", &IFGroupMembership}, {"JMCQRTNXDOPUESF", nullptr}});  // no branch, or conditions unmet
    hasHier = 1;
    fuzzy = 3;
    Expect(C, {{"J", &IFComplexity}, {"R", &IFResemblance}, {"M", &IFGroupCstMembershipNEW}, {"T", &IFStructTable},
               {"N", &IFConcentrationAn}, {"X", &IFExportData}, {"E", &IFEvaluation}});  // E from a hierarchy, unless with fuzzy option 2
    fuzzy = 2;
    Expect(C, {{"E", nullptr}});
    hasHier = fuzzy = 0;
    hasNRese = 1;
    rese_opt = 3;  // cross products cannot be used
    Expect(C, {{"DOPUE", nullptr}});
    rese_opt = 6;
    Expect(C, {{"D", &IFRandomization}, {"O", &IFOrdination}, {"P", &IFProfile}, {"U", &IFCluster},
               {"E", nullptr}});  // E: one trait, no variables
    nch = 3;
    Expect(C, {{"E", &IFEvaluation}});
    hasNRese = 0;
    hasCstRese = 1;
    reseCstOpt = 4;
    Expect(C, {{"U", nullptr}});
    hasAOCScor = doDistrib = 1;
    Expect(C, {{"S", &IFScatter}, {"F", &IFHistogram}});
    hasCstRese = reseCstOpt = hasAOCScor = doDistrib = rese_opt = nch = 0;
    const auto E = EnvironmentalStructuresHandler;
    nenv = 1;
    Expect(E, {{"R", &IFEnvRese}, {"G", &IFGroupMembership}, {"KOUSPC", nullptr}});
    nenv = 2;
    hasEnvRese = hasEnvScores = hasEnvRank = 1;
    Expect(E, {{"K", &IFEnvRank}, {"O", &IFEnvOrdination}, {"U", &IFEnvCluster}, {"S", &IFScatter},
               {"p", &IFProfile}});
    hasEnvRese = hasEnvScores = hasEnvRank = nenv = 0;
    std::filesystem::current_path(former);
}

// The longest session name with any suffix, or another session's 31 characters, fits every buffer.
TEST(Globals, FileNameBuffersHoldTheLongestNames) {
    for (const char* s : {prindaExt, hierExt, nReseExt, pReseExt, CstReseExt, scoresExt, chRankExt,
                          chRankFExt, probNExt, probRoExt, rndDataExt, formdaExt, trackExt, structExt, roExt,
                          complexityExt, velocityExt, roVelComplexExt, ePrindaExt, eReseExt, eScoresExt,
                          eRankExt, mulvaExt, orbaldExt, reseNoDiagExt, "ChRank_AlphaBetaNicheConserv.txt"})
        EXPECT_LT(kSessionNameMax + std::strlen(s), sizeof whichChorder) << s;
    EXPECT_LT(31 + std::strlen(formdaExt), sizeof whichFormda);
    EXPECT_GT(sizeof sessionName, static_cast<size_t>(kSessionNameMax));
}

// Every table is read only inside its range; criteria 1..24 have a label each.
TEST(Globals, LabelTables) {
    ASSERT_EQ(std::size(opt_structInfo), 24u);
    for (int code = 1; code <= 24; code++) {
        const std::string label = OptionLabel(opt_structInfo, code - 1);
        EXPECT_EQ(label.rfind(std::to_string(code) + " (", 0), 0u) << label;
    }
    const std::string r21 = OptionLabel(opt_structInfo, 20), dark = OptionLabel(opt_structInfo, 23);
    EXPECT_NE(r21.find("Beals smoothing: r(XY))"), std::string::npos);
    EXPECT_STREQ(OptionLabel(opt_structInfo, 21), "22 (trait convergence: r(TY))");
    EXPECT_STREQ(OptionLabel(opt_structInfo, 22), "23 (trait divergence: r(XY.T))");
    EXPECT_NE(dark.find("'dark diversity'"), std::string::npos);
    EXPECT_NE(dark.find("r(SE))"), std::string::npos);
    EXPECT_STREQ(OptionLabel(fuzzyInfo, 0), "none (crisp)");            // indexed by the code
    EXPECT_STREQ(OptionLabel(rese_optInfo, 9), "10 (chord distance)");  // by the code minus 1
    for (const char* outside : {OptionLabel(fuzzyInfo, 4), OptionLabel(fuzzyInfo, -1),
                                OptionLabel(rese_optInfo, 10), OptionLabel(opt_structInfo, 24)})
        EXPECT_STREQ(outside, "");
}

// Codes 1 to 4 end the program with their message and status 1; code 5 rings the bell and comes back.
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
