// The trait-subset optimisation settings dialog and HasQualitTrait.
#include "session/TNXIFSET.h"
#include "test_settings_fixture.h"
#include "traits/TNXTRAITS.h"

using namespace settings_test;

namespace {

const char* kCriteriaEnv =
    "Trait ranking criterion maximized: \n"
    "   1 r(XE): TCAP and TDAP\n"
    "   9 r(XE.T): TDAP only\n"
    "   10 r(TE): TCAP only\n";
const char* kCriteriaPhyl =
    "   11  correlation of phylogenetically structured assembly patterns (PSAP) to both TCAP and TDAP = r(PX)\n"
    "   12  correlation of PSAP to TDAP = r(PX.T)\n"
    "   13  correlation of PSAP to TCAP = r(PT)\n";
const char* kCriterion16 = "   16  alpha divergence: r(RE) \n";
const char* kExplainEnv =
    "1. Correlation r(XE) between fuzzy weighted community composition based on OTU's trait similarities (X) "
    "and ecological variables (E) may reflect both trait convergence assembly patterns (TCAP) and trait "
    "divergence assembly patterns (TDAP).\n"
    "9. Partial correlation r(XE.T) between X and E, removing T, reflects TDAP only.\n"
    "10. Correlation r(TE) between community weighted mean traits (T) and E reflects TCAP only.\n";
const char* kExplainPhyl =
    "11. Correlation r(PX) between P (fuzzy weighted community composition based on OTU's phylogenetic "
    "similarities) and X reflects phylogenetic signal at the metacommunity level.\n"
    "12. Partial correlation r(PX.T) between P and X, removing T reflects phylogenetic signal at the "
    "metacommunity level.\n"
    "13. Correlation r(PT) reflects phylogenetic signal at the metacommunity level.\n";
const char* kExplain16 = "16. ro(RE) is a congruence between Rao entropy and E.\n";
const char* kType = "\nType option no.: ";

std::string Menu(bool env, bool phyl) {
    std::string s = Header("CHARACTER RANKING SETTINGS", "s1");
    if (env)
        s += kCriteriaEnv;
    else
        s += "Trait ranking criterion maximized: \n";
    if (phyl) s += kCriteriaPhyl;
    if (env) s += kCriterion16;
    s += "\n";
    if (env) s += kExplainEnv;
    if (phyl) s += kExplainPhyl;
    if (env) s += kExplain16;
    return s + kType;
}

class ChRankTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        optmain = 'K';
    }
};

TEST(HasQualitTraitTest, TrueOnlyWithANominalTraitAmongTheFirstN) {
    int none[] = {1, 3, 4, 3};
    int some[] = {3, 3, 2};
    int late[] = {1, 3, 2};
    EXPECT_FALSE(HasQualitTrait(4, none));
    EXPECT_TRUE(HasQualitTrait(3, some));
    EXPECT_FALSE(HasQualitTrait(2, late));
    EXPECT_TRUE(HasQualitTrait(3, late));
    EXPECT_FALSE(HasQualitTrait(0, some));
    EXPECT_FALSE(HasQualitTrait(-1, some));
}

TEST_F(ChRankTest, CriterionOneRunsTheSharedSettingsAndAsksTheSizeRange) {
    Script("1\nk\n1 1 2 2 3\n1\n1\n10\n1\ny\n2\n3\ny\n");
    int r = SettingsChRank();
    EXPECT_EQ(r, 'y');
    EXPECT_EQ(printRankIntermedResults, 'y');
    EXPECT_EQ(opt_struct, 1);
    EXPECT_EQ(rankingAlgorithm, 2);
    EXPECT_FALSE(includePhylogeny);
    EXPECT_EQ(traitBasedOpt, 1);
    EXPECT_EQ(poolCSTopt, 2);
    EXPECT_EQ(fuzzy, 3);
    EXPECT_FALSE(optRndTests);
    EXPECT_EQ(rese_opt, 10);
    EXPECT_TRUE(optUnitTotalAdjust1);
    EXPECT_TRUE(optUnitTotalAdjust2);
    EXPECT_EQ(nMinCSTGroupsChRank, 3);
    EXPECT_EQ(nMaxCSTGroupsChRank, 3);
    EXPECT_EQ(nMinTraitsChRank, 2);
    EXPECT_EQ(nMaxTraitsChRank, 3);

    const std::string expected = Menu(true, false) + Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") +
        "\nThe partition of OTUs into types should be specified.\n"
        "Read group memberships from file (f) or from the keyboard (k)? f/k "
        "Enter the group of each OTU:\nOTU:    \t1\t2\t3\t4\t5\nGroups: "
        "\nFuzzy set adjustment:\n"
        "   0  no adjustment (crisp belonging of OTUs to types)\n"
        "   1  fuzzy types (fuzzy belonging of OTUs to types)\n"
        "Type option no.: "
        "\nMeasuring congruence using\n"
        "  1 matrix correlation (Mantel)\n"
        "  2 Procrustes (traceW, cannot be used when matrix E contains nominal variables)\n"
        "  3 RV coefficient (Dantrel 1973, cannot be used when matrix E contains nominal variables)\n"
        "Type option no.: "
        "\nSpecify resemblance function between communities:"
        "\nResemblance function option:\n\t6   Euclidean distance\n\t10  chord distance\nType option no.: "
        "\nTraits in matrix B to be used in the analysis:\n   1  all traits \n   2  select traits \n"
        "Type option no.: "
        "\nStandardize community data matrix (matrix W) to unit total in each community? y/n "
        "Minimum number of traits in the trait subset (minimum: 1, maximum: 3): "
        "Maximum number of traits in the trait subset (minimum: 2, maximum: 3): "
        "\nPrint intermediate results of the ranking process?  y/n ";
    EXPECT_EQ(Out(), expected);
}

TEST_F(ChRankTest, CriterionTenAsksOnlyCongruenceTraitsAndGroupWeights) {
    hasTraitGroups = 1;
    traitGroups[0] = 1;
    traitGroups[1] = 2;
    traitGroups[2] = 2;
    rese_opt = 8;
    Script("10\n1\n1\ny\n1\n3\nn\n");
    SettingsChRank();
    EXPECT_EQ(opt_struct, 10);
    EXPECT_EQ(traitBasedOpt, 2);
    EXPECT_EQ(poolCSTopt, 0);
    EXPECT_EQ(whichObj, 'r');
    EXPECT_EQ(rese_opt, 6);
    EXPECT_FALSE(optRndTests);
    EXPECT_FALSE(optUnitTotalAdjust2);
    EXPECT_FLOAT_EQ(weight[0], 1.0f);
    EXPECT_FLOAT_EQ(weight[1], 0.5f);
    EXPECT_FLOAT_EQ(weight[2], 0.5f);
    EXPECT_EQ(nMinTraitsChRank, 1);
    EXPECT_EQ(nMaxTraitsChRank, 3);
    EXPECT_EQ(printRankIntermedResults, 'n');
    const std::string o = Out();
    const std::string afterMenu = o.substr(Menu(true, false).size());
    EXPECT_EQ(afterMenu, Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") +
                             "\nMeasuring congruence using\n"
                             "  1 matrix correlation (Mantel)\n"
                             "  2 Procrustes (traceW, cannot be used when matrix E contains nominal variables)\n"
                             "  3 RV coefficient (Dantrel 1973, cannot be used when matrix E contains nominal "
                             "variables)\n"
                             "Type option no.: "
                             "\nTraits in matrix B to be used in the analysis:\n   1  all traits \n"
                             "   2  select traits \nType option no.: "
                             "Set weights for traits inversely proportional to effective trait group sizes? y/n "
                             "Minimum number of traits in the trait subset (minimum: 1, maximum: 3): "
                             "Maximum number of traits in the trait subset (minimum: 1, maximum: 3): "
                             "\nPrint intermediate results of the ranking process?  y/n ");
}

TEST_F(ChRankTest, CriterionSixteenSetsEuclideanWithoutAskingTheFunction) {
    Script("16\nk\n1 2 3 4 5\n0\n1\n1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(opt_struct, 16);
    EXPECT_EQ(traitBasedOpt, 1);
    EXPECT_EQ(rese_opt, 6);
    EXPECT_EQ(Out().find("Resemblance function option"), std::string::npos);
    EXPECT_EQ(nMinCSTGroupsChRank, 5);
}

TEST_F(ChRankTest, NoEnvironmentRefusesCriteriaNeedingIt) {
    nenv = 0;
    // 16, 1, 9, 10, 17, 24 and 14 need environmental variables; 11 also needs a phylogeny.
    // 18 needs neither.
    Script("16\n1\n9\n10\n17\n24\n14\n11\n18\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(opt_struct, 18);
    std::string o = Out();
    EXPECT_EQ(Count(o, Menu(false, false)), 9);
    // The refusals carry no message: each is the menu shown again.
    EXPECT_EQ(Err().find("Incorrect input"), std::string::npos);
    EXPECT_EQ(o.find("   1 r(XE)"), std::string::npos);
    EXPECT_EQ(o.find("   16  alpha"), std::string::npos);
}

TEST_F(ChRankTest, PhylogenyCriteriaNeedAPhylogeny) {
    Script("12\n13\n15\n9\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(opt_struct, 9);
    EXPECT_EQ(Count(Out(), Menu(true, false)), 4);
    EXPECT_FALSE(includePhylogeny);
}

TEST_F(ChRankTest, PhylogenyCriterionIncludesThePhylogeny) {
    hasPhylogeny = true;
    Script("12\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(opt_struct, 12);
    EXPECT_TRUE(includePhylogeny);
    ASSERT_NE(partition_OTUs_Phyl, nullptr);
    EXPECT_EQ(nTaxa, 3);
    EXPECT_EQ(Out().substr(0, Menu(true, true).size()), Menu(true, true));
}

TEST_F(ChRankTest, QualitativeTraitsHidePartialCriteriaButNotTheirAcceptance) {
    const int types[] = {3, 2, 1};
    SetTraits(3, types);
    hasPhylogeny = true;
    Script("13\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(opt_struct, 13);
    std::string o = Out();
    EXPECT_NE(o.find("   1 r(XE): TCAP and TDAP\n   11  correlation of phylogenetically structured assembly "
                     "patterns (PSAP) to both TCAP and TDAP = r(PX)\n   16  alpha divergence: r(RE) \n\n"),
              std::string::npos);
    EXPECT_EQ(o.find("   9 r(XE.T)"), std::string::npos);
    EXPECT_EQ(o.find("12. Partial"), std::string::npos);
    EXPECT_NE(o.find(kExplain16), std::string::npos);
}

TEST_F(ChRankTest, UnlistedNumbersAreRefusedWithTheList) {
    Script("2\n25\n9\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(opt_struct, 9);
    std::string err = Err();
    EXPECT_NE(err.find("\nIncorrect input = 2. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("\nIncorrect input = 25. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("Accepted input: 1 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24\n"), std::string::npos);
}

TEST_F(ChRankTest, SizeRangeCountsOnlySelectedTraits) {
    const int types[] = {3, 3, 3, 3, 3};
    SetTraits(5, types);
    Script("1\nk\n1 1 2 2 3\n0\n1\n6\n2\n1 0 1 0 1\nn\n0\n4\n1\n4\n3\nn\n");
    SettingsChRank();
    EXPECT_EQ(nMinTraitsChRank, 1);
    EXPECT_EQ(nMaxTraitsChRank, 3);
    std::string o = Out();
    EXPECT_NE(o.find("Minimum number of traits in the trait subset (minimum: 1, maximum: 3): "
                     "Maximum number of traits in the trait subset (minimum: 1, maximum: 3): "),
              std::string::npos);
    std::string err = Err();
    EXPECT_NE(err.find("\nIncorrect input = 0. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("\nIncorrect input = 4. Reenter.\n"), std::string::npos);
    EXPECT_NE(err.find("Accepted input: 1 to 3\n"), std::string::npos);
}

TEST_F(ChRankTest, EmptySelectionNeverOffersAnEmptyRange) {
    Script("1\nk\n1 1 2 2 3\n0\n1\n6\n2\n0 0 0\n0 0 1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(Out().find("maximum: 0"), std::string::npos);
    EXPECT_EQ(nMinTraitsChRank, 1);
    EXPECT_EQ(nMaxTraitsChRank, 1);
}

TEST_F(ChRankTest, MacroEchoesTheSizesWithG) {
    RecordMacro();
    Script("10\n1\n1\n1.5\n2\ny\n");
    SettingsChRank();
    EXPECT_EQ(nMinTraitsChRank, 1);
    EXPECT_EQ(nMaxTraitsChRank, 2);
    EXPECT_EQ(Macro(), "10\n1\n1\n1.5\n2\ny\n");
}

TEST_F(ChRankTest, OldFormListsNoSixteenAndAcceptsUpToSeventeen) {
    Script("18\n17\nk\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n");
    SettingsChRank_OLD();
    EXPECT_EQ(opt_struct, 17);
    std::string o = Out();
    EXPECT_EQ(o.find("16  alpha"), std::string::npos);
    EXPECT_EQ(o.find("16. ro(RE)"), std::string::npos);
    EXPECT_NE(Err().find("Accepted input: 1 9 10 11 12 13 14 15 16 17\n"), std::string::npos);
}

}  // namespace
