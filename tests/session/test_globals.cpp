// The global data model: defaults, label tables, file-name sizes and the release routines.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "foundation/ConsoleReaders.h"
#include "foundation/qwlibOut.h"
#include "model_fixture.h"
#include "session/TNXGLOB.h"

namespace {

TEST(Globals, InitGlobalsSetsTheDefaults) {
    // Spoil a few values first, so that the test sees InitGlobals set them.
    sDigits = 99;
    maxColsPrint = 5;
    saveStruct = 'y';
    whichLevelGrCST = 7;
    nPart = 3;
    SMWSize = 9;
    InitGlobals();
    EXPECT_EQ(in, stdin);
    EXPECT_EQ(out, stdout);
    EXPECT_EQ(runMacro, 0);
    EXPECT_EQ(createMacro, 0);
    EXPECT_FLOAT_EQ(biplotCorrThreshold, 0.6f);
    EXPECT_EQ(isHierarchicalPref, 0);
    EXPECT_EQ(scatterHSize, 0.0f);
    EXPECT_EQ(treeVSize, 0.0f);
    EXPECT_EQ(profileType, 1);
    EXPECT_EQ(drawProfPtsOpt, 'n');
    EXPECT_EQ(saveStruct, 'n');
    EXPECT_EQ(saveRndData, 'n');
    EXPECT_EQ(showMemory, 'n');
    EXPECT_EQ(sDigits, 6);
    EXPECT_EQ(countDoubleAbsence, 1);
    EXPECT_EQ(sqrtDissimOpt_RaoTraits, 1);
    EXPECT_EQ(sqrtDissimOpt_RaoPhyl, 0);
    EXPECT_EQ(maxColsPrint, 2147483647);
    EXPECT_EQ(maxComponents, 6);
    EXPECT_EQ(nGroups, 0);
    EXPECT_EQ(nPart, 0);
    EXPECT_EQ(nCstGroups, 0);
    EXPECT_EQ(nPartCst, 0);
    EXPECT_EQ(rndTestOpt, 0);
    EXPECT_EQ(whichLevelGrCST, 1);
    EXPECT_EQ(SMWSize, 1);
    EXPECT_EQ(nProcessors, 0);
    // Held by the static data before start-up.
    EXPECT_EQ(BealsIncludeOpt, 1);
    EXPECT_DOUBLE_EQ(overfitFactorPCARegr, 2.0);
    EXPECT_EQ(twoTailedTestMantel, 1);
    EXPECT_STREQ(volumeName, "");
}

TEST(Globals, FixedTextsAndSuffixes) {
    EXPECT_EQ(std::strlen(lineL), 70u);
    EXPECT_EQ(std::string(lineL), std::string(70, '-'));
    EXPECT_EQ(std::strlen(version), 70u);
    EXPECT_EQ(std::string(version),
              "CHARACTER-BASED COMMUNITY ANALYSIS" + std::string(20, ' ') + "TARNEX v.2.11.11");
    EXPECT_STREQ(versionTrack, "07Jul17");
    EXPECT_STREQ(versionPref, "18Nov2016");
    EXPECT_STREQ(versionFormda, "97Sep08");
    EXPECT_STREQ(versionFormda_Traits, "08Jan18");
    EXPECT_STREQ(TARNEXPrefsName, "TARNEX.prf");
    EXPECT_STREQ(trackExt, "Trk.txt");
    EXPECT_STREQ(formdaExt, "Formda.txt");
    EXPECT_STREQ(prindaExt, "Prinda.txt");
    EXPECT_STREQ(structExt, "Str.txt");
    EXPECT_STREQ(roVelComplexExt, "RoVelComplex.txt");
}

// A session name of the longest kept length plus the longest suffix of any result file fits
// every file-name buffer; so does another session's name of 31 characters with "Formda.txt".
TEST(Globals, FileNameBuffersHoldTheLongestNames) {
    const std::string name(kSessionNameMax, 's');
    const char* suffixes[] = {prindaExt,     hierExt,      nReseExt,   pReseExt,      CstReseExt,
                              scoresExt,     chRankExt,    chRankFExt, probNExt,      probRoExt,
                              rndDataExt,    formdaExt,    trackExt,   structExt,     roExt,
                              complexityExt, velocityExt,  roVelComplexExt, ePrindaExt, eReseExt,
                              eScoresExt,    eRankExt,     mulvaExt,   orbaldExt,     reseNoDiagExt,
                              "ChRank_AlphaBetaNicheConserv.txt", "chRankRedncyPopLevel.txt"};
    for (const char* s : suffixes) EXPECT_LT(name.size() + std::strlen(s), sizeof whichChorder) << s;
    EXPECT_EQ(std::strlen("ChRank_AlphaBetaNicheConserv.txt"), 32u);
    EXPECT_LT(31 + std::strlen(formdaExt), sizeof whichFormda);
    EXPECT_GT(sizeof sessionName, static_cast<size_t>(kSessionNameMax));
}

TEST(Globals, EveryCriterionHasItsOwnLabel) {
    ASSERT_EQ(std::size(opt_structInfo), 24u);
    for (int code = 1; code <= 24; code++) {
        const std::string label = OptionLabel(opt_structInfo, code - 1);
        EXPECT_EQ(label.rfind(std::to_string(code) + " (", 0), 0u) << label;
    }
    EXPECT_STREQ(OptionLabel(opt_structInfo, 19), "20 (trait divergence: r(XZ.T))");
    EXPECT_NE(std::string(OptionLabel(opt_structInfo, 20)).find("r(XY))"), std::string::npos);
    EXPECT_STREQ(OptionLabel(opt_structInfo, 21), "22 (trait convergence: r(TY))");
    EXPECT_STREQ(OptionLabel(opt_structInfo, 22), "23 (trait divergence: r(XY.T))");
    const std::string dark = OptionLabel(opt_structInfo, 23);
    EXPECT_EQ(dark.rfind("24 (correlation between 'dark diversity'", 0), 0u);
    EXPECT_NE(dark.find("r(SE))"), std::string::npos);
}

TEST(Globals, LabelTablesAreReadOnlyInsideTheirRange) {
    EXPECT_STREQ(OptionLabel(fuzzyInfo, 0), "none (crisp)");        // by the code itself
    EXPECT_STREQ(OptionLabel(fuzzyInfo, 3), "fuzzy (fuzzy belonging of OTUs to types)");
    EXPECT_STREQ(OptionLabel(fuzzyInfo, 4), "");
    EXPECT_STREQ(OptionLabel(fuzzyInfo, -1), "");
    EXPECT_STREQ(OptionLabel(rese_optInfo, 9), "10 (chord distance)");  // code minus 1
    EXPECT_STREQ(OptionLabel(rese_optInfo, 10), "");
    EXPECT_STREQ(OptionLabel(clusMethInfo, 5), "5 (average linkage WPGMA)");
    EXPECT_STREQ(OptionLabel(YesNotInfo, 1), "yes");
    EXPECT_STREQ(OptionLabel(opt_structInfo, 24), "");
    EXPECT_EQ(std::size(vecTrOptInfo), 7u);
    EXPECT_EQ(std::size(coheInfo), 7u);
    EXPECT_EQ(std::size(empir_optInfo), 5u);
    EXPECT_STREQ(OptionLabel(keepRichnessInfo, 0), "\xE2\x89\xA4 richness in observed community");
}

TEST(Globals, FreeGlobals1ForgetsTheSessionResults) {
    std::strcpy(whichPrinda, "s1Prinda.txt");
    std::strcpy(whichEnvPrinda, "s1Prinda.txt");
    hasHier = hasNRese = hasPRese = hasCstRese = hasScores = hasProbN = hasProbRo = hasRo = 1;
    hasComplexity = hasVelocity = hasRoVelComplex = hasRoVelComplexPROB = 1;
    hasEnvRese = hasEnvScores = hasEnvRank = hasReClus = hasCstClus = hasAOCScor = 1;
    nPart = 2;
    nGroups = 3;
    nPartCst = 4;
    nCstGroups = 5;
    whichLevelGrCST = 3;
    FreeGlobals1();
    EXPECT_STREQ(whichPrinda, "NULL");
    EXPECT_STREQ(whichEnvPrinda, "NULL");
    for (int flag : {hasHier, hasNRese, hasPRese, hasCstRese, hasScores, hasProbN, hasProbRo, hasRo,
                     hasComplexity, hasVelocity, hasRoVelComplex, hasRoVelComplexPROB, hasEnvRese,
                     hasEnvScores, hasEnvRank, hasReClus, hasCstClus, hasAOCScor})
        EXPECT_EQ(flag, 0);
    EXPECT_EQ(nPart, 0);
    EXPECT_EQ(nGroups, 0);
    EXPECT_EQ(nPartCst, 0);
    EXPECT_EQ(nCstGroups, 0);
    EXPECT_EQ(whichLevelGrCST, 1);
}

void ExpectDataSetReleased() {
    void* arrays[] = {chLabel,  reLabel,   grLabelP,    grCstLabelP,   nchor,        weight,
                      chtype,   traitGroups, chrange,   onsta,         ncst,         rcst,
                      nGrPoly,  cadat,     csm_Float,   env,           envLabel,     envVarType,
                      relSelect, nGroupsP, groupRelP,   partLabel,     nGroupsCstP,  whichLevelGrCstP,
                      groupCstP, partCstLabel, partition_OTUs, spp,    sppRelMap,    cstSppMap,
                      cstTrack, phylogenyRese, phylogenyData, phylogenyVarType, groupRel, grLabel,
                      groupCst, grCstLabel};
    for (void* p : arrays) EXPECT_EQ(p, nullptr);
}

// Loading and releasing many times: every array the loader allocates is released (the
// sanitizer's leak check at the end of the test program is the judge) and every pointer is
// nulled, so that a second release does nothing.
TEST(Globals, FreeGlobals2ReleasesEverythingTheLoaderAllocates) {
    for (int round = 0; round < 20; round++) {
        const bool full = round % 2 == 0;
        tnxtest::AllocateModel(3 + round % 3, 4, 5 + round, full ? 2 : 0, full ? 3 : 0, full);
        groupRel = groupRelP[0];
        grLabel = grLabelP[0];
        FreeGlobals2();
        ExpectDataSetReleased();
        FreeGlobals2();  // a second release is harmless
        ExpectDataSetReleased();
    }
    nch = ncsm = tcst = nenv = nSpp = 0;
}

}  // namespace
