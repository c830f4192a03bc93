// The two handlers of the community-structures menu: result-file names, flags, the track
// file, the closing notice and the release of the run's arrays.
#include <vector>

#include "session/TNXIFHAND.h"
#include "session/TNXIFSET.h"
#include "test_settings_fixture.h"

using namespace settings_test;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> v;
    std::istringstream s(text);
    std::string line;
    while (std::getline(s, line)) v.push_back(line);
    return v;
}

class HandlerTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // The wait for the return key reads standard input: give it an empty one.
        ASSERT_NE(freopen("/dev/null", "r", stdin), nullptr);
        strcpy(whichPrinda, "NULL");
        strcpy(whichHier, "NULL");
        strcpy(whichChorder, "NULL");
        dirtyOrig = 0;
    }
};

// Answers of the functional-analysis dialog: keyboard groups, crisp, 10 iterations with
// restricted permutations from the keyboard, seed 5, Mantel, Euclidean, all traits, no
// standardisation, no detail.
const char* kHAnswers = "k\n1 1 2 2 3\n0\n10\n1\nk\n1 1 1 2 2\n2\n5\n1\n6\n1\nn\nn\n";

TEST_F(HandlerTest, FunctionalAnalysisNamesItsFilesSetsFlagsAndRewritesTheTrack) {
    hasCstRese = hasCstClus = hasNRese = hasPRese = hasScores = hasReClus = hasAOCScor = 1;
    hasProbN = hasProbRo = hasRo = hasComplexity = hasVelocity = hasRoVelComplex = hasRoVelComplexPROB = 1;
    nCstGroups = 4;
    whichLevelGrCST = 3;
    cohe = 5;
    reseTypeOrd = reseTypeClus = reseTypeEv = reseTypeRnd = reseTypeERank = 3;
    reseCstOpt = 2;
    Script(kHAnswers);
    IFHierarchicalAccum();

    EXPECT_STREQ(whichPrinda, "s1Prinda.txt");
    EXPECT_STREQ(whichHier, "s1Hie.txt");
    EXPECT_EQ(hasHier, 1);
    for (int flag : {hasCstRese, hasCstClus, hasNRese, hasPRese, hasScores, hasReClus, hasAOCScor, hasProbN,
                     hasProbRo, hasRo, hasComplexity, hasVelocity, hasRoVelComplex, hasRoVelComplexPROB})
        EXPECT_EQ(flag, 0);
    EXPECT_EQ(nCstGroups, 0);
    EXPECT_EQ(whichLevelGrCST, 1);
    EXPECT_EQ(cohe, 0);
    for (int t : {reseTypeOrd, reseTypeClus, reseTypeEv, reseTypeRnd, reseTypeERank}) EXPECT_EQ(t, 1);
    EXPECT_EQ(reseCstOpt, 0);
    EXPECT_EQ(dirtyOrig, 1);
    // The analysis leaves the types per level in nGrPoly, copied into rcst.
    EXPECT_EQ(rcst[0], 3);
    EXPECT_EQ(rcst[1], 2);
    EXPECT_EQ(rcst[2], 2);
    // Everything the dialog allocated for the run is released.
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);

    const std::string o = Out();
    const std::string notice = "\n\nResults on file s1Prinda.txt\n";
    ASSERT_GE(o.size(), notice.size());
    EXPECT_EQ(o.substr(o.size() - notice.size()), notice);

    ASSERT_TRUE(std::filesystem::exists(Path("s1Trk.txt")));
    std::vector<std::string> trk = Lines(Slurp(Path("s1Trk.txt")));
    ASSERT_GT(trk.size(), 30u);
    EXPECT_EQ(trk[0], "s1Formda.txt");
    EXPECT_EQ(trk[1], "07Jul17");
    EXPECT_EQ(trk[5], "s1Hie.txt");   // fourth result name
    EXPECT_EQ(trk[20], "1");          // traitBasedOpt
    EXPECT_EQ(trk[24], "1");          // hasHier
    EXPECT_EQ(trk[42], "6");          // rese_opt
    EXPECT_EQ(trk[44], "1");          // part
    EXPECT_EQ(trk[45], "1 2 3 ");     // nchor
    EXPECT_EQ(trk[46], "3 2 2 ");     // rcst
}

TEST_F(HandlerTest, FunctionalAnalysisNeverUsesAPhylogenyTheDataSetLacks) {
    includePhylogeny = true;  // left over from an earlier trait-subset search
    Script(kHAnswers);
    IFHierarchicalAccum();
    EXPECT_FALSE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);
}

TEST_F(HandlerTest, FunctionalAnalysisWithAPhylogenyReleasesTheTaxaButKeepsThePhylogeny) {
    hasPhylogeny = true;
    phylogenyRese = dim2Double(tcst, tcst);
    Script(kHAnswers);
    IFHierarchicalAccum();
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);
    EXPECT_NE(phylogenyRese, nullptr);
}

TEST_F(HandlerTest, FunctionalAnalysisAsksAboutAnExistingReport) {
    Spill(Path("s1Prinda.txt"), "earlier results\n");
    Script(std::string(kHAnswers) + "a\n");
    IFHierarchicalAccum();
    EXPECT_STREQ(prindaMode, "a");
    EXPECT_NE(Out().find("\nThis session has a previous s1Prinda.txt file.\n"), std::string::npos);
}

TEST_F(HandlerTest, TrackFileThatCannotBeWrittenRaisesCodeFour) {
    strcpy(whichTrack, "no-such-dir/s1Trk.txt");
    Script(kHAnswers);
    ExpectErrorCode([] { IFHierarchicalAccum(); }, TNX_FAIL_TO_OPEN);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
}

TEST_F(HandlerTest, ErrorInsideTheDialogStillReleasesTheRunArrays) {
    // Input ends after the nesting groups: the arrays allocated so far are released.
    Script("k\n1 1 2 2 3\n0\n10\n1\nk\n1 1 1 2 2\n");
    ExpectErrorCode([] { IFHierarchicalAccum(); }, TNX_END_OF_FILE);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
}

TEST_F(HandlerTest, TraitSubsetSearchNamesTheCriterionFileAndLeavesTheTrack) {
    optmain = 'K';
    Spill(Path("s1Trk.txt"), "s1Formda.txt\n07Jul17\n");
    Script("9\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n2\nn\n");
    IFChOrderSearch();
    EXPECT_STREQ(whichChorder, "s1ChRank_TDAP.txt");
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_EQ(Slurp(Path("s1Trk.txt")), "s1Formda.txt\n07Jul17\n");
    const std::string o = Out();
    const std::string notice = "\n\nResults on file s1ChRank_TDAP.txt\n";
    ASSERT_GE(o.size(), notice.size());
    EXPECT_EQ(o.substr(o.size() - notice.size()), notice);
}

TEST_F(HandlerTest, DarkDiversityAndTraitAveragesFiles) {
    optmain = 'K';
    Script("24\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    IFChOrderSearch();
    EXPECT_STREQ(whichChorder, "s1ChRank_DarkDiversity.txt");

    rewind(inFile_);
    Script("10\n1\n1\n1\n1\nn\n");
    IFChOrderSearch();
    EXPECT_EQ(traitBasedOpt, 2);
    EXPECT_STREQ(whichChorder, "s1ChRank_TCAP.txt");
    EXPECT_NE(Out().find("\n\nResults on file s1ChRank_TCAP.txt\n"), std::string::npos);
}

TEST_F(HandlerTest, TraitSubsetSearchReleasesThePhylogenyTaxa) {
    optmain = 'K';
    hasPhylogeny = true;
    phylogenyRese = dim2Double(tcst, tcst);
    Script("11\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    IFChOrderSearch();
    EXPECT_STREQ(whichChorder, "s1ChRank_PSAP_X.txt");
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);
}

TEST_F(HandlerTest, PopulationBranchUsesItsOwnFile) {
    optmain = 'K';
    optmain1 = 'P';
    Script("1\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    IFChOrderSearch();
    EXPECT_STREQ(whichChorder, "s1chRankRedncyPopLevel.txt");
}

TEST(ChRankFileTable, EveryCriterionHasItsSuffix) {
    const struct {
        int criterion;
        const char* suffix;
    } table[] = {
        {1, "ChRank_TDAP_TCAP.txt"},        {9, "ChRank_TDAP.txt"},
        {10, "ChRank_TCAP.txt"},            {11, "ChRank_PSAP_X.txt"},
        {12, "ChRank_PSAP_X_T.txt"},        {13, "ChRank_PSAP_T.txt"},
        {14, "ChRank_BetaNicheConserv.txt"}, {15, "ChRank_AlphaBetaNicheConserv.txt"},
        {16, "ChRank_AlphaDivergence.txt"}, {17, "ChRank_BetaDivergence.txt"},
        {18, "ChRank_roXZ.txt"},            {19, "ChRank_roTZ.txt"},
        {20, "ChRank_roXZ_T.txt"},          {21, "ChRank_roXY.txt"},
        {22, "ChRank_roTY.txt"},            {23, "ChRank_roXY_T.txt"},
        {24, "ChRank_DarkDiversity.txt"},
    };
    for (const auto& e : table) {
        ASSERT_NE(ChRankFileSuffix(e.criterion), nullptr) << e.criterion;
        EXPECT_STREQ(ChRankFileSuffix(e.criterion), e.suffix);
    }
    for (int c : {0, 2, 3, 4, 5, 6, 7, 8, 25}) EXPECT_EQ(ChRankFileSuffix(c), nullptr) << c;
    // The longest name still fits the name field with a 21-character session name.
    EXPECT_LT(21 + strlen("ChRank_AlphaBetaNicheConserv.txt"), static_cast<size_t>(kFileNameSize));
}

TEST_F(HandlerTest, IntermediateFileHoldsTheSizesAndW) {
    tcst = 5;
    for (int i = 0; i < tcst; i++)
        for (int j = 0; j < ncsm; j++) cadat[i][j] = static_cast<float>(i * 10 + j) + 0.5f;
    strcpy(whichHier, "s1Hie.txt");
    WriteIntermediateW();
    std::string expected = "5\t4\n";
    for (int i = 0; i < tcst; i++) {
        for (int j = 0; j < ncsm; j++) {
            char buf[32];
            snprintf(buf, sizeof buf, "%g\t", i * 10 + j + 0.5);
            expected += buf;
        }
        expected += "\n";
    }
    EXPECT_EQ(Slurp(Path("s1Hie.txt")), expected);
}

TEST_F(HandlerTest, IntermediateFileFailuresRaiseCodesFourAndThree) {
    strcpy(whichHier, "no-such-dir/s1Hie.txt");
    ExpectErrorCode([] { WriteIntermediateW(); }, TNX_FAIL_TO_OPEN);
    if (std::filesystem::exists("/dev/full")) {
        strcpy(whichHier, "/dev/full");
        ExpectErrorCode([] { WriteIntermediateW(); }, TNX_FAIL_TO_PRINT);
    }
}

}  // namespace
