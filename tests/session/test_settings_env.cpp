// Settings dialogs of the environmental structures, each on scripted answers: exact texts, the
// answers they refuse or ask again, the options they store.
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session_fixture.h"

using namespace tnxtest;

namespace {

class EnvSettingsTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        std::strcpy(whichEnvPrinda, "s1Prinda.txt");
        std::strcpy(whichScores, "s1Sco.txt");
        hasNRese = hasScores = nGroups = 0;
    }
    std::string OutSince(size_t from) { return Out().substr(from); }
};

std::string Transformations(const std::string& rows, const std::string& cols) {
    return "\nVector transformation:\n\t0   none\n\t1   centering within " + rows + "\n\t2   centering within " + cols +
           "\n\t3   normalization within " + rows + "\n\t4   normalization within " + cols +
           "\n\t5   centering and normalization within " + rows + "\n\t6   centering and normalization within " +
           cols + "\nType option no.: ";
}

TEST_F(EnvSettingsTest, VectorTransformationMenu) {
    int option = -1;
    EXPECT_TRUE(Run("7\n6\n", [&] { SettingsVectorTransf(&option, "rows", "cols"); }));
    EXPECT_EQ(option, 6);
    EXPECT_EQ(Out(), Transformations("rows", "cols"));
    EXPECT_NE(Err().find("\nIncorrect input = 7. Reenter.\nAccepted input: 0 1 2 3 4 5 6\n"), std::string::npos);
}

// Quantitative variables (in the same or in different units), or several kinds without a nominal one,
// are offered the transformations; binary, nominal or mixed with nominal ones are not. The report of an
// earlier analysis is appended to on a.
TEST_F(EnvSettingsTest, ResemblanceSettingsOfferTheTransformationToQuantitativeData) {
    const std::string printout = "\nPrintout:\n   - community resemblances y/n  "
                                 "   - community resemblances free format (matrix upper half, no diagonal) y/n  ";
    const struct {
        int kind, nominal;
        bool asked;
    } cases[] = {{1, 0, true}, {2, 0, true}, {5, 0, true}, {5, 1, false}, {3, 1, false}, {4, 0, false}};
    for (const auto& c : cases) {
        std::tie(optEnvVarType, temEnvQual) = std::tie(c.kind, c.nominal);
        envVecTrOpt = 9;
        const size_t from = Out().size();
        EXPECT_TRUE(Run(std::string(c.asked ? "3\n" : "") + "y\nn\n", SettingsEnvRese)) << c.kind;
        EXPECT_EQ(OutSince(from), (c.asked ? Transformations("communities", "variables") : "") + printout);
        EXPECT_EQ((Ints{envVecTrOpt, printNRese, printReseFree}), (Ints{c.asked ? 3 : 0, 'y', 'n'}));
        EXPECT_STREQ(prindaMode, "w");
    }
    Write("s1Prinda.txt", "former\n");
    EXPECT_TRUE(Run("0\na\nn\nn\n", SettingsEnvRese));
    EXPECT_STREQ(prindaMode, "a");
}

TEST_F(EnvSettingsTest, ClusterMethodOfTheEnvironment) {
    EXPECT_TRUE(Run("5\n4\n", SettingsEnvCluster));
    EXPECT_EQ(clusMeth, 4);
    EXPECT_EQ(Out(), Header("CLUSTER ANALYSIS SETTINGS", "s1") +
                         "\nClustering method:\n   1  single linkage (nearest neighbor) \n   2  complete linkage \n"
                         "   3  sum of squares \n   4  average linkage (UPGMA) \nType option no.: ");
}

// Only the criteria shown are taken; another is asked again. Criterion 2 needs the stored community
// resemblances, 3 two groups, 4 the scores file (for 2 and 4 the flag alone is not enough).
TEST_F(EnvSettingsTest, RankingCriteriaNeedWhatTheyRankAgainst) {
    const std::string head = Header("RANKING OF ENVIRONMENTAL VARIABLES", "s1");
    const std::string ask = "Environmental variables ranking criterion: \n   1  structural redundancy\n";
    const std::string two = "   2  congruence of environmental resemblance/community resemblance\n";
    const std::string three = "   3  convergence of community groups\n";
    const std::string four = "   4  congruence of environmental resemblance/community ordination axes\n";
    const std::string type = "Type option no.: ";
    EXPECT_TRUE(Run("2\n3\n4\n1\n", SettingsEnvRank));
    EXPECT_EQ(Out(), head + ask + type + ask + type + ask + type + ask + type);
    EXPECT_EQ(optEnvStruct, 1);

    hasScores = 1, nGroups = 2;  // no scores file
    size_t from = Out().size();
    EXPECT_TRUE(Run("4\n3\n", SettingsEnvRank));
    EXPECT_EQ(OutSince(from), head + ask + three + type + ask + three + type);
    EXPECT_EQ(optEnvStruct, 3);

    std::strcpy(whichNRese, "s1NRe.txt");
    hasNRese = 1;  // its file not written
    from = Out().size();
    EXPECT_TRUE(Run("2\n3\n", SettingsEnvRank));
    EXPECT_EQ(OutSince(from), head + ask + three + type + ask + three + type);

    Write("s1Sco.txt", "1\n");
    Write("s1NRe.txt", "0\n");
    hasNRese = 1, rese_opt = 6, hasProbN = fuzzy = isHierarchical = 0;
    from = Out().size();
    EXPECT_TRUE(Run("4\n", SettingsEnvRank));
    EXPECT_EQ(OutSince(from), head + ask + two + three + four + type);
    EXPECT_TRUE(Run("2\n", SettingsEnvRank));
    EXPECT_EQ((Ints{optEnvStruct, reseTypeERank}), (Ints{2, 1}));
    EXPECT_NE(Out().find("\nNominal resemblances will be used."), std::string::npos);
}

// Levels 1 to the number of levels: 0 and one past the last are refused.
TEST_F(EnvSettingsTest, ProfileLevelWithinTheLevels) {
    int levels = 3;
    EXPECT_TRUE(Run("0\n4\n3\n", [&] { SettingsEnvProfile(&levels); }));
    EXPECT_EQ(levels, 3);
    EXPECT_EQ(Out(), "\n" + std::string(70, '-') + "\nHierarchical level to use (among 3 levels): \n");
    const std::string err = Err();
    EXPECT_EQ(Count(err, "Accepted input: 1 to 3\n"), 2);
}

}  // namespace
