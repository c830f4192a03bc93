// The trait-subset optimisation settings dialog (HasQualitTrait is answered both ways by its criterion menu).
#include "session_fixture.h"

using namespace tnxtest;

namespace {

const std::string kPrintIntermediate = "\nPrint intermediate results of the ranking process?  y/n ";

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

TEST_F(ChRankTest, CriterionOneRunsTheSharedSettingsAndAsksTheSizeRange) {
    Script("1\nk\n1 1 2 2 3\n1\n1\n10\n1\ny\n2\n3\ny\n");
    EXPECT_EQ(SettingsChRank(), 'y');
    EXPECT_EQ(Out(), CriterionMenu(true, false) + Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") +
                         "\nThe partition of OTUs into types should be specified.\n" + kFk + kKeyboardGroups +
                         kFuzzyBlock + kCongruence + "\nSpecify resemblance function between communities:" +
                         kReseFunction + kTraits + kStandardize + Sizes(2) + kPrintIntermediate);
    EXPECT_EQ((Ints{opt_struct, rankingAlgorithm, traitBasedOpt, fuzzy, rese_opt, nMaxCSTGroupsChRank,
                    nMinTraitsChRank, nMaxTraitsChRank}),
              (Ints{1, 2, 1, 3, 10, 3, 2, 3}));
    EXPECT_FALSE(optRndTests);
    EXPECT_TRUE(optUnitTotalAdjust1);
}

TEST_F(ChRankTest, CriterionTenAsksOnlyCongruenceTraitsAndGroupWeights) {
    hasTraitGroups = 1;
    traitGroups[0] = 1;
    traitGroups[1] = traitGroups[2] = 2;
    rese_opt = 8;
    Script("10\n1\n1\ny\n1\n3\nn\n");
    SettingsChRank();
    EXPECT_EQ(Out(), CriterionMenu(true, false) + Header("FUNCTIONAL ANALYSIS SETTINGS", "s1") + kCongruence +
                         kTraits + "Set weights for traits inversely proportional to effective trait group "
                         "sizes? y/n " + Sizes(1) + kPrintIntermediate);
    // Trait averages, not types: the objects compared are the communities ('r').
    EXPECT_EQ((Ints{traitBasedOpt, poolCSTopt, rese_opt, nMaxTraitsChRank, whichObj}), (Ints{2, 0, 6, 3, 'r'}));
    EXPECT_FALSE(optUnitTotalAdjust2);
    EXPECT_EQ((Floats{weight[0], weight[1]}), (Floats{1.0f, 0.5f}));
}

TEST_F(ChRankTest, CriteriaWhoseDataAreMissingAndAnEmptySelectionAreAskedAgain) {
    // 2 and 25 are no criteria; 12, 13 and 15 need a phylogeny: all five are refused at once.
    Script("2\n25\n12\n13\n15\n9\n" + kKAnswers);
    SettingsChRank();
    EXPECT_EQ(opt_struct, 9);
    EXPECT_EQ(Count(Out(), CriterionMenu(true, false)), 1);
    EXPECT_FALSE(includePhylogeny);
    const std::string err = Err();
    EXPECT_EQ(Count(err, "\nIncorrect input = "), 5);
    EXPECT_EQ(Count(err, "\nIncorrect input = 15. Reenter.\nAccepted input: 1 9 10 16 17 18 19 20 21 22 23 24\n"), 1);
    Load(true);  // (the criteria needing environmental variables are refused end to end)
    Script("12\nk\n1 1 2 2 3\n0\n1\n6\n2\n0 0 0\n0 0 1\nn\n1\n1\nn\n");  // an empty selection asked again
    SettingsChRank();
    EXPECT_EQ(opt_struct, 12);
    EXPECT_TRUE(includePhylogeny);
    EXPECT_EQ(Count(Out(), CriterionMenu(true, true)), 1);
    EXPECT_EQ(Out().find("maximum: 0"), std::string::npos);  // never the range 1..0
    EXPECT_EQ(nMaxTraitsChRank, 1);
}

TEST_F(ChRankTest, OldFormListsNoSixteenAndAcceptsUpToSeventeen) {
    Script("18\n16\n17\n" + kKAnswers);
    SettingsChRank_OLD();
    EXPECT_EQ(opt_struct, 17);
    EXPECT_EQ(Out().find("16"), std::string::npos);
    EXPECT_NE(Out().find("   17  beta divergence: r(XE.TR)\n"), std::string::npos);
    EXPECT_EQ(Count(Err(), "Accepted input: 1 9 10 17\n"), 2);  // without a phylogeny
}

// Nominal traits: the criteria on trait averages are not listed, and typed they are refused at once,
// before any further question.
TEST_F(ChRankTest, CriteriaThatNominalTraitsMakeUnavailableAreRefusedAtOnce) {
    Load(true);
    chtype[1] = 2;
    Script("9\n10\n12\n13\n11\n" + kKAnswers);
    SettingsChRank();
    EXPECT_EQ(opt_struct, 11);
    EXPECT_EQ(Out().rfind(CriterionMenu(true, true, true) + Header("FUNCTIONAL ANALYSIS SETTINGS", "s1"), 0), 0u);
    const std::string err = Err();
    for (const char* c : {"9", "10", "12", "13"})
        EXPECT_EQ(Count(err, std::string("\nIncorrect input = ") + c +
                                 ". Reenter.\nAccepted input: 1 11 14 15 16 17 18 19 20 21 22 23 24\n"), 1) << c;
}

// The earlier form without variables or phylogeny has no criterion to offer: it says so and asks nothing.
TEST_F(ChRankTest, OldFormWithoutVariablesOrPhylogenyOffersNothing) {
    const int variables = nenv;
    nenv = 0;
    Script("");
    EXPECT_EQ(SettingsChRank_OLD(), 'n');
    nenv = variables;  // the data set is released with its own count
    EXPECT_EQ(opt_struct, 0);
    EXPECT_EQ(Out(), Header("CHARACTER RANKING SETTINGS", "s1") + "Trait ranking criterion maximized: \n\n"
                     "\nNo criterion can be computed: the data set has neither environmental variables nor a "
                     "phylogeny.\n");
}

}  // namespace

namespace {

// The criteria on the environmental variables are listed, and taken, from one variable on: with none,
// criterion 1 is refused and 18 taken from the list without them. The answers after the criterion as for
// the other criteria on traits and composition.
TEST_F(ChRankTest, EnvironmentalCriteriaFromOneVariableOn) {
    const int variables = nenv;
    for (int n : {0, 1}) {
        SCOPED_TRACE(n);
        nenv = n;
        const size_t from = Out().size();
        Script((n == 0 ? "1\n18\n" : "1\n") + kKAnswers);
        SettingsChRank();
        EXPECT_EQ(Out().substr(from).rfind(CriterionMenu(n > 0, false), 0), 0u);
        EXPECT_EQ(opt_struct, n == 0 ? 18 : 1);
    }
    nenv = variables;  // the data set is released with its own count
    EXPECT_EQ(Count(Err(), "\nIncorrect input = 1. Reenter.\nAccepted input: 18 19 20 21 22 23\n"), 1);
}

}  // namespace
