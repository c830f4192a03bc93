// The trait-subset optimisation settings dialog and HasQualitTrait.
#include "test_settings_fixture.h"
#include "traits/TNXTRAITS.h"

using namespace settings_test;

namespace {

const std::string kPrintIntermediate = "\nPrint intermediate results of the ranking process?  y/n ";
// After the criterion: keyboard types, crisp, Mantel, Euclidean, all traits, W as it is, sizes 1..1.
const std::string kRest = "k\n1 1 2 2 3\n0\n1\n6\n1\nn\n1\n1\nn\n";

// The criterion menu with or without environmental variables and a phylogeny.
std::string Menu(bool env, bool phyl) {
    std::string s = Header("CHARACTER RANKING SETTINGS", "s1") + "Trait ranking criterion maximized: \n";
    if (env) s += "   1 r(XE): TCAP and TDAP\n   9 r(XE.T): TDAP only\n   10 r(TE): TCAP only\n";
    if (phyl)
        s += "   11  correlation of phylogenetically structured assembly patterns (PSAP) to both TCAP and "
             "TDAP = r(PX)\n   12  correlation of PSAP to TDAP = r(PX.T)\n   13  correlation of PSAP to TCAP "
             "= r(PT)\n";
    if (env) s += "   16  alpha divergence: r(RE) \n";
    s += "\n";
    if (env)
        s += "1. Correlation r(XE) between fuzzy weighted community composition based on OTU's trait "
             "similarities (X) and ecological variables (E) may reflect both trait convergence assembly "
             "patterns (TCAP) and trait divergence assembly patterns (TDAP).\n9. Partial correlation r(XE.T) "
             "between X and E, removing T, reflects TDAP only.\n10. Correlation r(TE) between community "
             "weighted mean traits (T) and E reflects TCAP only.\n";
    if (phyl)
        s += "11. Correlation r(PX) between P (fuzzy weighted community composition based on OTU's "
             "phylogenetic similarities) and X reflects phylogenetic signal at the metacommunity level.\n12. "
             "Partial correlation r(PX.T) between P and X, removing T reflects phylogenetic signal at the "
             "metacommunity level.\n13. Correlation r(PT) reflects phylogenetic signal at the metacommunity "
             "level.\n";
    if (env) s += "16. ro(RE) is a congruence between Rao entropy and E.\n";
    return s + "\nType option no.: ";
}

// The two questions of the subset sizes; the maximum is at least `least`.
std::string Sizes(int least) {
    return "Minimum number of traits in the trait subset (minimum: 1, maximum: 3): Maximum number of traits "
           "in the trait subset (minimum: " + std::to_string(least) + ", maximum: 3): ";
}

class ChRankTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        optmain = 'K';
    }
};

TEST(HasQualitTraitTest, TrueOnlyWithANominalTraitAmongTheFirstN) {
    int none[] = {1, 3, 4, 3}, late[] = {1, 3, 2};
    EXPECT_FALSE(HasQualitTrait(4, none));
    EXPECT_FALSE(HasQualitTrait(2, late));
    EXPECT_TRUE(HasQualitTrait(3, late));
}

TEST_F(ChRankTest, CriterionOneRunsTheSharedSettingsAndAsksTheSizeRange) {
    Script("1\nk\n1 1 2 2 3\n1\n1\n10\n1\ny\n2\n3\ny\n");
    EXPECT_EQ(SettingsChRank(), 'y');
    EXPECT_EQ(Out(), Menu(true, false) + Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") +
                         "\nThe partition of OTUs into types should be specified.\n" + kFk + kKeyboardGroups +
                         kFuzzyBlock + kCongruence + "\nSpecify resemblance function between communities:" +
                         kReseFunction + kTraits + kStandardize + Sizes(2) + kPrintIntermediate);
    EXPECT_EQ(opt_struct, 1);
    EXPECT_EQ(rankingAlgorithm, 2);
    EXPECT_EQ(traitBasedOpt, 1);
    EXPECT_EQ(fuzzy, 3);
    EXPECT_FALSE(optRndTests);
    EXPECT_EQ(rese_opt, 10);
    EXPECT_TRUE(optUnitTotalAdjust1);
    EXPECT_EQ(nMaxCSTGroupsChRank, 3);
    EXPECT_EQ(nMinTraitsChRank, 2);
    EXPECT_EQ(nMaxTraitsChRank, 3);
}

TEST_F(ChRankTest, CriterionTenAsksOnlyCongruenceTraitsAndGroupWeights) {
    hasTraitGroups = 1;
    traitGroups[0] = 1;
    traitGroups[1] = traitGroups[2] = 2;
    rese_opt = 8;
    Script("10\n1\n1\ny\n1\n3\nn\n");
    SettingsChRank();
    EXPECT_EQ(Out(), Menu(true, false) + Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") + kCongruence +
                         kTraits + "Set weights for traits inversely proportional to effective trait group "
                         "sizes? y/n " + Sizes(1) + kPrintIntermediate);
    EXPECT_EQ(traitBasedOpt, 2);
    EXPECT_EQ(poolCSTopt, 0);
    EXPECT_EQ(rese_opt, 6);
    EXPECT_FALSE(optUnitTotalAdjust2);
    EXPECT_FLOAT_EQ(weight[0], 1.0f);
    EXPECT_FLOAT_EQ(weight[1], 0.5f);
    EXPECT_EQ(nMaxTraitsChRank, 3);
}

TEST_F(ChRankTest, CriteriaWhoseDataAreMissingShowTheMenuAgain) {
    // 2 and 25 are refused by the reader; 12, 13 and 15 need a phylogeny.
    Script("2\n25\n12\n13\n15\n9\n" + kRest);
    SettingsChRank();
    EXPECT_EQ(opt_struct, 9);
    EXPECT_EQ(Count(Out(), Menu(true, false)), 4);
    EXPECT_FALSE(includePhylogeny);
    EXPECT_EQ(Count(Err(), "\nIncorrect input = "), 2);
    // 16, 1, 9, 10, 17, 24 and 14 need environmental variables, 11 a phylogeny too; 18 neither.
    nenv = 0;
    Script("16\n1\n9\n10\n17\n24\n14\n11\n18\n" + kRest);
    SettingsChRank();
    EXPECT_EQ(opt_struct, 18);
    EXPECT_EQ(Count(Out(), Menu(false, false)), 9);
    // With a phylogeny its criteria are listed and accepted.
    nenv = 2;  // the count the arrays were allocated with
    Load(true);
    Script("12\n" + kRest);
    SettingsChRank();
    EXPECT_EQ(opt_struct, 12);
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(Count(Out(), Menu(true, true)), 1);
}

TEST_F(ChRankTest, EmptySelectionNeverOffersAnEmptyRange) {
    Script("1\nk\n1 1 2 2 3\n0\n1\n6\n2\n0 0 0\n0 0 1\nn\n1\n1\nn\n");
    SettingsChRank();
    EXPECT_EQ(Out().find("maximum: 0"), std::string::npos);
    EXPECT_EQ(nMaxTraitsChRank, 1);
}

TEST_F(ChRankTest, OldFormListsNoSixteenAndAcceptsUpToSeventeen) {
    Script("18\n17\n" + kRest);
    SettingsChRank_OLD();
    EXPECT_EQ(opt_struct, 17);
    EXPECT_EQ(Out().find("16"), std::string::npos);
    EXPECT_NE(Err().find("Accepted input: 1 9 10 11 12 13 14 15 16 17\n"), std::string::npos);
}

}  // namespace
