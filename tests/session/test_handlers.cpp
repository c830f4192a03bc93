// The two handlers: flags, result-file names, released run arrays, the intermediate file.
#include "session/TNXIFHAND.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

class HandlerTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        // An empty standard input for the wait for the return key.
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        std::strcpy(whichPrinda, "NULL");
        dirtyOrig = 0;
    }
};

// Keyboard types, crisp, 10 iterations restricted within keyboard groups, seed 5, Mantel, Euclidean.
const std::string kHAnswers = "k\n1 1 2 2 3\n0\n10\n1\nk\n1 1 1 2 2\n2\n5\n1\n6\n1\nn\nn\n";

TEST_F(HandlerTest, FunctionalAnalysisFlagsPhylogenyAndReleasedArrays) {
    int* cleared[] = {&hasCstRese, &hasCstClus, &hasNRese, &hasPRese,      &hasScores,      &hasReClus,
                      &hasAOCScor, &hasProbN,   &hasProbRo, &hasRo,        &hasComplexity,  &hasVelocity,
                      &hasRoVelComplex, &hasRoVelComplexPROB, &nCstGroups, &cohe,           &reseCstOpt};
    int* ones[] = {&whichLevelGrCST, &reseTypeOrd, &reseTypeClus, &reseTypeEv, &reseTypeRnd, &reseTypeERank};
    for (int* p : cleared) *p = 2;
    for (int* p : ones) *p = 3;
    includePhylogeny = true;  // left over from an earlier trait-subset search
    Script(kHAnswers);
    IFHierarchicalAccum();
    for (int* p : cleared) EXPECT_EQ(*p, 0);
    for (int* p : ones) EXPECT_EQ(*p, 1);
    EXPECT_EQ((Ints{hasHier, dirtyOrig, rcst[0]}), (Ints{1, 1, 3}));  // rcst: types per level
    EXPECT_EQ(nestingMembershipOTUs, nullptr);  // the run's arrays are released
    EXPECT_FALSE(includePhylogeny);
    Load(true);
    // The report of the first run exists: it is erased (w).
    Script(kHAnswers + "w\n");
    IFHierarchicalAccum();
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);  // the taxa are released, the phylogeny kept
    EXPECT_NE(phylogenyRese, nullptr);
    std::strcpy(whichTrack, "no-such-dir/s1Trk.txt");  // failures release the run's arrays too
    Script(kHAnswers + "w\n");
    EXPECT_EQ(CodeOf([] { IFHierarchicalAccum(); }), TNX_FAIL_TO_OPEN);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
    Script("k\n1 1 2 2 3\n0\n10\n1\nk\n1 1 1 2 2\n");  // input ends after the nesting groups
    EXPECT_EQ(CodeOf([] { IFHierarchicalAccum(); }), TNX_END_OF_FILE);
    EXPECT_EQ(nestingMembershipOTUs, nullptr);
}

TEST_F(HandlerTest, TraitSubsetSearchNamesTheCriterionFileAndLeavesTheTrack) {
    optmain = 'K';
    Load(true);
    Script("11\n" + kKAnswers);
    IFChOrderSearch();
    EXPECT_EQ(Count(Out(), "\n\nResults on file s1ChRank_PSAP_X.txt\n"), 1);
    EXPECT_EQ(dirtyOrig, 1);
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(partition_OTUs_Phyl, nullptr);
    EXPECT_FALSE(std::filesystem::exists("s1Trk.txt"));
    optmain1 = 'P';  // the population branch
    Script("1\n" + kKAnswers);
    IFChOrderSearch();
    EXPECT_STREQ(whichChorder, "s1chRankRedncyPopLevel.txt");
    EXPECT_EQ(Count(Out(), "\n\nResults on file s1chRankRedncyPopLevel.txt\n"), 1);
    // Without trait codes the ranking refuses: no results are announced.
    free2D(csm, tcst), csm = nullptr;
    std::filesystem::remove(whichChorder);
    Script("1\n" + kKAnswers);
    IFChOrderSearch();
    EXPECT_EQ(Count(Out(), "\n\nResults on file s1chRankRedncyPopLevel.txt\n"), 1);
    EXPECT_FALSE(std::filesystem::exists(whichChorder));
}

// Codes that are no criterion name no file (the criteria's own files are named end to end).
TEST(ChRankFileTable, NoFileForOtherCodes) {
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
    // A device is no file to write: refused before a byte is written. A write that fails is code 3,
    // after the message naming the file and the system's reason.
    std::strcpy(whichHier, "/dev/full");
    EXPECT_EQ(CodeOf([] { WriteIntermediateW(); }), TNX_FAIL_TO_OPEN);
    std::strcpy(whichHier, "s1Hie.txt");
    // The capture of standard error, a file itself, starts afresh below the limit.
    EXPECT_EQ(Err(), "\ncan't open no-such-dir/s1Hie.txt: No such file or directory \n"
                     "\ncan't open /dev/full: not a regular file \n");
    testing::internal::CaptureStderr();
    capturing_ = true;
    EXPECT_EQ(CodeWithSmallFiles([] { WriteIntermediateW(); }), TNX_FAIL_TO_PRINT);
    EXPECT_EQ(Err(), "\ncan't write s1Hie.txt: File too large \n");
}

}  // namespace
