// The global data model: label tables, file-name sizes and the release of the data set.
#include <string>

#include "model_fixture.h"

namespace {

// The longest kept session name with the longest suffix of any result file fits every
// file-name buffer; so does another session's name of 31 characters with "Formda.txt".
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

// Loading and releasing many times: every array the loader allocates is released (the
// sanitizer's leak check is the judge) and every pointer nulled, so a second release is harmless.
TEST(Globals, FreeGlobals2ReleasesEverythingTheLoaderAllocates) {
    for (int round = 0; round < 20; round++) {
        const bool full = round % 2 == 0;
        tnxtest::AllocateModel(3 + round % 3, 4, 5 + round, full ? 2 : 0, full ? 3 : 0, full);
        for (int twice = 0; twice < 2; twice++) {
            FreeGlobals2();
            const void* arrays[] = {
                chLabel,   reLabel,     grLabelP,       grCstLabelP, nchor,         weight,       chtype,
                traitGroups, chrange,   onsta,          ncst,        rcst,          nGrPoly,      cadat,
                csm_Float, env,         envLabel,       envVarType,  relSelect,     nGroupsP,     groupRelP,
                partLabel, nGroupsCstP, whichLevelGrCstP, groupCstP, partCstLabel, partition_OTUs, spp,
                sppRelMap, cstSppMap,   cstTrack,       phylogenyRese, phylogenyData, phylogenyVarType,
                groupRel,  grLabel,     groupCst,       grCstLabel};
            for (const void* p : arrays) EXPECT_EQ(p, nullptr);
        }
    }
    ResetDataSet();
}

}  // namespace
