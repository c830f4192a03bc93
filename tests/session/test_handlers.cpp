// The two handlers of the community-structures menu: result-file names, flags, the track
// file, the closing notice and the release of the run's arrays.
#include "session/TNXIFHAND.h"
#include "test_settings_fixture.h"

using namespace settings_test;

namespace {

class HandlerTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // The wait for the return key reads standard input: give it an empty one.
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        std::strcpy(whichPrinda, "NULL");
        dirtyOrig = 0;
    }
};

// Keyboard types, crisp, 10 iterations restricted within keyboard groups, seed 5, Mantel,
// Euclidean, all traits, W as it is, no detail.
const std::string kHAnswers = "k\n1 1 2 2 3\n0\n10\n1\nk\n1 1 1 2 2\n2\n5\n1\n6\n1\nn\nn\n";
// After the criterion: keyboard types, crisp, Mantel, Euclidean, all traits, W as it is, sizes 1..1.
const std::string kKRest = "k\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n";

TEST_F(HandlerTest, FunctionalAnalysisNamesItsFilesSetsFlagsAndRewritesTheTrack) {
    int* cleared[] = {&hasCstRese, &hasCstClus, &hasNRese, &hasPRese,      &hasScores,      &hasReClus,
                      &hasAOCScor, &hasProbN,   &hasProbRo, &hasRo,        &hasComplexity,  &hasVelocity,
                      &hasRoVelComplex, &hasRoVelComplexPROB, &nCstGroups, &cohe,           &reseCstOpt};
    int* ones[] = {&whichLevelGrCST, &reseTypeOrd, &reseTypeClus, &reseTypeEv, &reseTypeRnd, &reseTypeERank};
    for (int* p : cleared) *p = 2;
    for (int* p : ones) *p = 3;
    Script(kHAnswers);
    IFHierarchicalAccum();
    for (int* p : cleared) EXPECT_EQ(*p, 0);
    for (int* p : ones) EXPECT_EQ(*p, 1);
    EXPECT_STREQ(whichHier, "s1Hie.txt");
    EXPECT_EQ(hasHier, 1);
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);  // the run's arrays are released
    EXPECT_EQ(Count(Out(), "\n\nResults on file s1Prinda.txt\n"), 1);
    // The types per level are copied into rcst.
    const std::string trk = Read("s1Trk.txt");
    EXPECT_EQ(trk.rfind("s1Formda.txt\n07Jul17\nNULL\nNULL\nNULL\ns1Hie.txt\nNULL\n", 0), 0u);
    EXPECT_NE(trk.find("\n6\n0\n1\n1 2 3 \n3 2 2 \n"), std::string::npos);  // rese_opt .. rcst
}

TEST_F(HandlerTest, FunctionalAnalysisUsesOnlyThePhylogenyOfTheDataSet) {
    includePhylogeny = true;  // left over from an earlier trait-subset search
    Script(kHAnswers);
    IFHierarchicalAccum();
    EXPECT_FALSE(includePhylogeny);
    Load(true);
    Script(kHAnswers);
    IFHierarchicalAccum();
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);  // the taxa are released, the phylogeny kept
    EXPECT_NE(phylogenyRese, nullptr);
}

TEST_F(HandlerTest, FailuresStillReleaseTheRunArrays) {
    std::strcpy(whichTrack, "no-such-dir/s1Trk.txt");
    Script(kHAnswers);
    EXPECT_EQ(CodeOf([] { IFHierarchicalAccum(); }), TNX_FAIL_TO_OPEN);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
    Script("k\n1 1 2 2 3\n0\n10\n1\nk\n1 1 1 2 2\n");  // input ends after the nesting groups
    EXPECT_EQ(CodeOf([] { IFHierarchicalAccum(); }), TNX_END_OF_FILE);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
}

TEST_F(HandlerTest, TraitSubsetSearchNamesTheCriterionFileAndLeavesTheTrack) {
    optmain = 'K';
    Load(true);
    Script("11\n" + kKRest);
    IFChOrderSearch();
    EXPECT_STREQ(whichChorder, "s1ChRank_PSAP_X.txt");
    EXPECT_EQ(Count(Out(), "\n\nResults on file s1ChRank_PSAP_X.txt\n"), 1);
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);
    EXPECT_FALSE(std::filesystem::exists("s1Trk.txt"));
    optmain1 = 'P';  // the population branch
    Script("1\n" + kKRest);
    IFChOrderSearch();
    EXPECT_STREQ(whichChorder, "s1chRankRedncyPopLevel.txt");
}

TEST(ChRankFileTable, EveryCriterionHasItsSuffix) {
    const std::pair<int, const char*> table[] = {
        {1, "TDAP_TCAP"},        {9, "TDAP"},    {10, "TCAP"},   {11, "PSAP_X"},          {12, "PSAP_X_T"},
        {13, "PSAP_T"},          {14, "BetaNicheConserv"},       {15, "AlphaBetaNicheConserv"},
        {16, "AlphaDivergence"}, {17, "BetaDivergence"},         {18, "roXZ"},   {19, "roTZ"},
        {20, "roXZ_T"},          {21, "roXY"},   {22, "roTY"},   {23, "roXY_T"}, {24, "DarkDiversity"}};
    for (const auto& [criterion, name] : table)
        EXPECT_EQ(std::string(ChRankFileSuffix(criterion) ? ChRankFileSuffix(criterion) : "null"),
                  std::string("ChRank_") + name + ".txt");
    for (int c : {0, 2, 8, 25}) EXPECT_EQ(ChRankFileSuffix(c), nullptr) << c;
}

TEST_F(HandlerTest, IntermediateFileHoldsTheSizesAndW) {
    for (int i = 0; i < tcst; i++)
        for (int j = 0; j < ncsm; j++) cadat[i][j] = static_cast<float>(i * 10 + j) + 0.5f;
    std::strcpy(whichHier, "s1Hie.txt");
    WriteIntermediateW();
    EXPECT_EQ(Read("s1Hie.txt"), "5\t4\n0.5\t1.5\t2.5\t3.5\t\n10.5\t11.5\t12.5\t13.5\t\n"
                                 "20.5\t21.5\t22.5\t23.5\t\n30.5\t31.5\t32.5\t33.5\t\n"
                                 "40.5\t41.5\t42.5\t43.5\t\n");
    std::strcpy(whichHier, "no-such-dir/s1Hie.txt");
    EXPECT_EQ(CodeOf([] { WriteIntermediateW(); }), TNX_FAIL_TO_OPEN);
    std::strcpy(whichHier, "/dev/full");
    EXPECT_EQ(CodeOf([] { WriteIntermediateW(); }), TNX_FAIL_TO_PRINT);
}

}  // namespace
