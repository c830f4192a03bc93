// New sessions from another session's data, end to end: chosen traits, OTUs, communities and variables,
// pooled groups, changes between paired communities and moving windows. Every new formatted data file is
// loaded back and checked against the same choice computed here from the raw files or worked by hand.
#include <cmath>

#include "session_fixture.h"

using namespace tnxtest;

namespace {

// A raw file as rows of `cols` numbers, up to its first word that is no number.
std::vector<std::vector<double>> Raw(const std::string& path, int cols) {
    std::ifstream f(path);
    std::vector<std::vector<double>> m;
    for (double x; f >> x;) {
        if (m.empty() || m.back().size() == static_cast<size_t>(cols)) m.emplace_back();
        m.back().push_back(x);
    }
    return m;
}

// The file keeps at least 6 significant digits.
void ExpectClose(float got, double expected, const std::string& where) {
    EXPECT_NEAR(got, expected, 5e-6 * std::max(1.0, std::fabs(expected))) << where;
}

// The mean of column `j` of the rows `from`, `from + step`, ... below `to`.
double MeanOf(const std::vector<std::vector<double>>& m, size_t j, size_t from, size_t to, size_t step) {
    double s = 0.0;
    int n = 0;
    for (size_t c = from; c < to; c += step, n++) s += m[c][j];
    return s / n;
}

// The species of OTU i (the column with its '1').
int SpeciesOf(int i) {
    for (int k = 0; k < nSpp; k++)
        if (cstSppMap[i][k] == '1') return k;
    return -1;
}

// A new session from another session's data: the answers after "modified", then back to the main menu and out.
Result New(const Sandbox& box, const std::string& session, const std::string& from, const std::string& answers) {
    const Result r = box.Run("N\n" + session + "\n2\n" + from + "\n2\n" + answers + "C\nX\n");
    EXPECT_EQ(r.status, 0) << r.err;
    return r;
}

class PickE2E : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        for (const char* f : {"aviurba_B.txt", "aviurba_W.txt", "aviurba_E.txt", "aviurba_spp.txt"})
            std::filesystem::copy(std::string(TARNEX_EXAMPLES) + "/" + f, f);
        const Result r = box_.Run(
            "N\navi\n1\naviurba_B.txt\n0\naviurba_W.txt\n1\naviurba_spp.txt\n1\naviurba_E.txt\n40\n4\n2\n2\nk\n"
            "2 2 2 1\ny\n0\n51\n2\n1\n2\n11\n2\n5\nk\n1 1 1 1 1 1 1 1 1 1 4\ny\nn\nC\nX\n");
        ASSERT_EQ(r.status, 0) << r.err;
        B = Raw("aviurba_B.txt", 4);
        W = Raw("aviurba_W.txt", 40);  // communities as rows
        E = Raw("aviurba_E.txt", 11);
        std::ifstream w("aviurba_W.txt");  // the site labels: the words of the last line
        for (std::string line; std::getline(w, line);) {
            std::istringstream words(line);
            if (line.find_first_not_of(" \t\r") != std::string::npos) sites.clear();
            for (std::string s; words >> s;) sites.push_back(s);
        }
        ASSERT_EQ((std::vector<size_t>{B.size(), W.size(), E.size(), sites.size()}),
                  (std::vector<size_t>{40, 51, 51, 51}));
    }
    std::vector<std::vector<double>> B, W, E;
    Strings sites;
};

// Each new session is checked against the raw files; the small data set below checks missing values.
TEST_F(PickE2E, SubsetPooledGroupsAndChangesOfAviurba) {
    // feedhab and migratory; OTUs 40 down to 11.
    std::string positions;
    for (int p = 40; p >= 11; p--) positions += std::to_string(p) + " ";
    Result r = New(box_, "sub", "avi", "2\n2\nk\nmigratory feedhab\ny\n2\n30\nk\n" + positions + "\ny\n1\n1\nn\n");
    EXPECT_NE(r.out.find(Header("GETTING DATA FROM ANOTHER SESSION", "sub") + "Traits:\n   1  keep the same \n"
                         "   2  modify \nType option no.: Enter new number of traits: Identify the traits by their "
                         "labels: \n"),
              std::string::npos);
    EXPECT_EQ(box_.ReadFile("subTrk.txt"), "subFormda.txt\n07Jul17\n");
    LoadFormda("subFormda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{2, 30, 51, 11, 30}));
    EXPECT_STREQ(dataName, "aviFormda.txt");
    EXPECT_EQ(GetRows(chLabel, 2), (Strings{"migratory", "feedhab"}));
    EXPECT_EQ((Ints{chtype[0], chtype[1], optEnvVarType}), (Ints{1, 2, 5}));
    std::set<float> states[2];
    Strings raw;
    std::ifstream names("aviurba_spp.txt");
    for (std::string line; std::getline(names, line);) raw.push_back(line);
    for (int i = 0; i < 30; i++) {
        const size_t otu = static_cast<size_t>(40 - i - 1);
        EXPECT_EQ(csm_Float[i][0], B[otu][3]) << i;
        EXPECT_EQ(csm_Float[i][1], B[otu][0]) << i;
        states[0].insert(csm_Float[i][0]);
        states[1].insert(csm_Float[i][1]);
        for (int c = 0; c < 51; c++) EXPECT_EQ(cadat[i][c], W[static_cast<size_t>(c)][otu]) << i << " " << c;
        // Each OTU keeps its own species name (a code, a blank, the name of the species file).
        const int s = SpeciesOf(i);
        ASSERT_GE(s, 0) << i;
        const std::string name = spp[s], &own = raw[otu];
        EXPECT_TRUE(name.size() > own.size() && name.substr(name.size() - own.size()) == own) << name;
    }
    // States recounted for the OTUs kept.
    EXPECT_EQ((Ints{onsta[0], onsta[1]}), (Ints{static_cast<int>(states[0].size()), static_cast<int>(states[1].size())}));
    for (int c = 0; c < 51; c++)
        for (int j = 0; j < 11; j++) EXPECT_EQ(env[c][j], E[static_cast<size_t>(c)][static_cast<size_t>(j)]);

    // Sites pooled into groups typed on the keyboard: site c (0-based) in group "a", "b" or "c" by c mod 3.
    std::string members;
    for (int c = 0; c < 51; c++) members += std::string(1, static_cast<char>('a' + c % 3)) + " ";
    r = New(box_, "pool", "avi", "1\n1\n3\n3\n2\nk\na b c\ny\nn\nk\n" + members + "\ny\n1\nn\n");
    EXPECT_NE(r.out.find("\b\nWarning! Binary environmental variables will be averaged, and therefore will become "
                         "quantitative.\n"),
              std::string::npos);
    EXPECT_NE(r.out.find(Header("SET GROUP PARTITION", "pool") + "Specify the number of groups of communities: "),
              std::string::npos);
    LoadFormda("poolFormda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{4, 40, 3, 11, 40}));
    EXPECT_EQ(GetRows(reLabel, 3), (Strings{"a", "b", "c"}));
    for (size_t g = 0; g < 3; g++) {
        for (size_t i = 0; i < 40; i++) ExpectClose(cadat[i][g], MeanOf(W, i, g, 51, 3), "W " + std::to_string(i));
        for (size_t j = 0; j < 11; j++) ExpectClose(env[g][j], MeanOf(E, j, g, 51, 3), "E " + std::to_string(j));
    }
    // Averaged binary variables are quantitative; with the ordinal one, E is quantitative in different units.
    EXPECT_EQ(Ints(envVarType, envVarType + 11), (Ints{3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4}));
    EXPECT_EQ(optEnvVarType, 2);
    // A species occurs in a group where its OTU has a value above 0 in one of the group's sites.
    for (int i = 0; i < 40; i++)
        for (int g = 0; g < 3; g++) EXPECT_EQ(sppRelMap[SpeciesOf(i)][g] == '1', cadat[i][g] > 0.0f) << i << " " << g;

    // Pairs of 51 sites are refused before anything is asked; then the first 50 sites are kept.
    std::string first50;
    for (int c = 0; c < 50; c++) first50 += sites[static_cast<size_t>(c)] + " ";
    r = New(box_, "s50", "avi", "1\n1\n4\n2\n50\nk\n" + first50 + "\ny\n1\nn\n");
    EXPECT_EQ(Count(r.out, "\b\nThis option is not possible, for the number of communities must be even.\n"), 1);
    EXPECT_EQ(r.out.find("To compute change"), std::string::npos);
    // Changes from s50: each 2nd site follows its 1st (order 2), default labels.
    r = New(box_, "chg", "s50", "1\n1\n4\n1\n2\n1\nn\n");
    EXPECT_NE(r.out.find("\nTo compute change each vegetation unit must have two communities.\n"
                         "A formda file will be created with the vegetation units.\n"
                         "The new communities will contain differences between the 2nd and\n1st communities in "
                         "each unit.\n\nThe new communities will contain changes in the environmental variables "
                         "as well.\nThe user will inform how communities are ordered, but 2nd communities must\n"
                         "allways come after 1st ones.\n\nLabels for new communities: \n"),
              std::string::npos);
    LoadFormda("chgFormda.txt");
    EXPECT_STREQ(dataName, "s50Formda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv}), (Ints{4, 40, 25, 11}));
    for (int u = 0; u < 25; u++) {
        EXPECT_EQ(std::string(reLabel[u]), std::to_string(u + 1));
        const size_t a = static_cast<size_t>(2 * u), b = a + 1;
        for (size_t i = 0; i < 40; i++) EXPECT_EQ(cadat[i][u], static_cast<float>(W[b][i] - W[a][i]));
        for (size_t j = 0; j < 11; j++) EXPECT_EQ(env[u][j], static_cast<float>(E[b][j] - E[a][j]));
    }
    // A change of a binary variable is -1, 0 or 1: quantitative, as is the change of the ordinal one.
    EXPECT_EQ(Ints(envVarType, envVarType + 11), Ints(11, 3));
    EXPECT_EQ(optEnvVarType, 2);
    // Reopening with O loads the new data without asking for them.
    r = box_.Run("O\nchg\nC\nX\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("DATA FOR SESSION"), std::string::npos);
    EXPECT_NE(r.out.find(Header("SESSION MENU", "chg")), std::string::npos);
}

// ---------------------------------------------------------------------------------------------------------
// A small data set worked by hand: 3 traits, 6 communities, 4 OTUs (o2 absent everywhere), missing values
// in W and E, a nominal variable, species, a phylogeny and trait groups.
// ---------------------------------------------------------------------------------------------------------

std::string Small(bool nominal) {
    return std::string("hand \n3 \ntr1\ttr2\ttr3\t\n 3\t 2\t 3\t\n0\t0\t0\t\n 4\t 3\t 4\t\n6 \n"
                       "c1\tc2\tc3\tc4\tc5\tc6\t\n4 \n0\t0\t0\t0\t0\t0\t\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n"
                       "1.5\t1\t10\t\n2.5\t2\t20\t\n3.5\t1\t30\t\n4.5\t3\t40\t\n\n"
                       "1\t2\t0\t4\t-999\t6\t\n0\t0\t0\t0\t0\t0\t\n2\t-999\t3\t0\t-999\t-999\t\n5\t5\t0\t1\t2\t0\t\n\n") +
           (nominal ? "2 \n97Sep08 \n5 \n3\t2\t\nq\tnom\t\nE \n10\t20\t30\t-999\t50\t60\t\n1\t1\t2\t2\t3\t2\t\n"
                    : "1 \n97Sep08 \n2 \n3\t\nq\t\nE \n10\t20\t30\t-999\t50\t60\t\n") +
           "4 \nspp.txt \nsp a\nsp b\nsp c\nsp d\n110111\n000000\n111011\n110110\n1000\n0100\n0010\n0001\n"
           "SMW 1\n1\n1\n1\t0.1\t0.2\t0.3\t\n0.1\t1\t0.4\t0.5\t\n0.2\t0.4\t1\t0.6\t\n0.3\t0.5\t0.6\t1\t\n"
           "1\n1\t2\t2\t\nMon Jan  1 00:00:00 2024\n";
}

class PickSmall : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        box_.WriteFile("hFormda.txt", Small(true));
        box_.WriteFile("h2Formda.txt", Small(false));
    }
};

TEST_F(PickSmall, ChosenTraitsAndOtusCarryTheirPhylogenyAndTraitGroups) {
    // tr1 given twice, then a word longer than a label (cut to its first 10 characters, which name no
    // trait), then tr3 tr1; OTU positions 0 2 and 2 2 refused, then 4 2.
    const Result r = New(box_, "t1", "h",
                         "2\n2\nk\ntr1 tr1\ny\nk\ntr3 tr1abcdefghijklmnop\ny\nk\ntr3 tr1\ny\n2\n2\nk\n0 2\ny\nk\n2 2\ny\n"
                         "k\n4 2\ny\n1\n1\nn\n");
    // The traits' message begins with a newline, the OTUs' does not.
    EXPECT_EQ(r.err, "\nError!! Enter again. \n\nError!! Enter again. \nError!! Enter again. \nError!! Enter again. \n");
    LoadFormda("t1Formda.txt");
    ASSERT_EQ((Ints{nch, tcst, ncsm, nenv, nSpp}), (Ints{2, 2, 6, 2, 2}));
    EXPECT_EQ(Get(csm_Float, 2, 2), (Floats{40, 4.5f, 20, 2.5f}));
    EXPECT_EQ(Get(cadat, 2, 6), (Floats{5, 5, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ((Ints{onsta[0], onsta[1], hasTraitGroups, traitGroups[0], traitGroups[1]}), (Ints{2, 2, 1, 2, 1}));
    ASSERT_TRUE(hasPhylogeny);
    EXPECT_EQ(Get(phylogenyRese, 2, 2), (std::vector<double>{1, 0.5, 0.5, 1}));  // rows and columns of o4, o2
    // Species of o4 and o2 keep their order in the list; o2 occurs nowhere.
    EXPECT_EQ(GetRows(spp, 2), (Strings{"sp b", "sp d"}));
    EXPECT_EQ(GetRows(cstSppMap, 2, 2), (Strings{"01", "10"}));
    EXPECT_EQ(GetRows(sppRelMap, 2, 6), (Strings{"000000", "110110"}));
    // c3 and c6 hold no value other than 0 of the OTUs kept.
    EXPECT_NE(r.out.find("\nWarning!! There are 2 empty communities!!\nInspect file t1Formda.txt\n"),
              std::string::npos);
}

TEST_F(PickSmall, ChangesWithMissingValuesAndANominalVariable) {
    // Pooling and windows refused with a nominal variable; pairs c1-c4, c2-c5, c3-c6 (order 1); labels typed,
    // a repeated one refused and a long one cut to 4 characters.
    const Result r = New(box_, "t2", "h", "1\n1\n3\n5\n4\n2\nx x y\nu1 u2 longlabel\ny\n1\n1\nn\n");
    EXPECT_EQ(Count(r.out, "\b\nThis option not allowed with this data: pooling environmental variables that are "
                           "qualitative is not possible.\n"),
              2);
    EXPECT_EQ(Count(r.out, "\b\nWarning! Change in environmental variables that are qualitative\nwill result in a "
                           "binary variable: 1 if there is change, 0 if there is not.\n"),
              1);
    EXPECT_NE(r.out.find("\nEnter labels (max. 4 alphanumeric characters):\n 1  2  3 \n"), std::string::npos);
    EXPECT_EQ(Count(r.err, "\nError!! Enter again. \n"), 1);
    LoadFormda("t2Formda.txt");
    ASSERT_EQ((Ints{tcst, ncsm, nenv}), (Ints{4, 3, 2}));
    EXPECT_EQ(GetRows(reLabel, 3), (Strings{"u1", "u2", "long"}));
    // 2nd minus 1st; -999 when either is missing.
    EXPECT_EQ(Get(cadat, 4, 3), (Floats{3, -999, 6, 0, 0, 0, -2, -999, -999, -4, -3, 0}));
    // q: -999 - 10 missing, 50 - 20, 60 - 30; nom: 2 - 1, 3 - 1 changed, 2 - 2 not.
    EXPECT_EQ(Get(env, 3, 2), (Floats{-999, 1, 30, 1, 30, 0}));
    EXPECT_EQ((Ints{envVarType[0], envVarType[1], optEnvVarType, temEnvQual, temEnvBin, temEnvQuant}),
              (Ints{3, 1, 5, 0, 1, 1}));
    EXPECT_EQ(GetRows(sppRelMap, 4, 3), (Strings{"111", "000", "111", "110"}));
}

TEST_F(PickSmall, GroupMeansOverPresentValuesAfterTrimming) {
    // Groups ab (c1-c4) and cd (c5-c6) by counts; o2, absent everywhere, is trimmed with its phylogeny.
    const Result r = New(box_, "t3", "h2", "1\n1\n3\n2\n2\nk\nab cd\ny\ny\n4\n2\n1\ny\n");
    LoadFormda("t3Formda.txt");
    ASSERT_EQ((Ints{tcst, ncsm, nenv, nSpp}), (Ints{3, 2, 1, 3}));
    EXPECT_EQ(GetRows(reLabel, 2), (Strings{"ab", "cd"}));
    // o1: (1+2+0+4)/4, 6 (c5 missing); o3: (2+3+0)/3, none present; o4: (5+5+0+1)/4, (2+0)/2.
    const Floats expected = {1.75f, 6, 5.0f / 3.0f, -999, 2.75f, 1};
    const Floats got = Get(cadat, 3, 2);
    for (size_t k = 0; k < expected.size(); k++) ExpectClose(got[k], expected[k], std::to_string(k));
    EXPECT_EQ(Get(env, 2, 1), (Floats{20, 55}));  // (10+20+30)/3, (50+60)/2
    EXPECT_EQ((Ints{envVarType[0], optEnvVarType}), (Ints{3, 1}));  // one quantitative variable
    EXPECT_EQ(Get(phylogenyRese, 3, 3), (std::vector<double>{1, 0.2, 0.3, 0.2, 1, 0.6, 0.3, 0.6, 1}));
    EXPECT_EQ(Get(csm_Float, 3, 3), (Floats{1.5f, 1, 10, 3.5f, 1, 30, 4.5f, 3, 40}));
    EXPECT_EQ((Ints{onsta[0], onsta[1], onsta[2]}), (Ints{3, 2, 3}));
    EXPECT_EQ(GetRows(spp, 3), (Strings{"sp a", "sp c", "sp d"}));
    EXPECT_EQ(r.out.find("empty communities"), std::string::npos);
}

TEST_F(PickSmall, WindowsOfTwoAlongTheSeries) {
    // An odd size is asked again; size 4 pools windows of 2 sites.
    const Result r = New(box_, "t4", "h2", "1\n1\n5\n3\n4\n1\nn\n");
    EXPECT_NE(r.out.find("\nThe community set must conform a spatial or temporal series\n"), std::string::npos);
    EXPECT_EQ(Count(r.out, "\b\nEnter again. Must be even."), 1);
    EXPECT_NE(r.out.find("\nA formda file for this session, with 5 communities, has been created.\n\nThe first new "
                         "community is the average of the first 2 communities in the series,\n the second new one "
                         "is an average of the 2 communities starting at the second\n community in the series, and "
                         "so on.\n\nReleve labels correspond to the labels of the first\n 5 previous communities in "
                         "the series.\n"),
              std::string::npos);
    LoadFormda("t4Formda.txt");
    ASSERT_EQ((Ints{tcst, ncsm, SMWSize}), (Ints{4, 5, 2}));
    EXPECT_EQ(GetRows(reLabel, 5), (Strings{"c1", "c2", "c3", "c4", "c5"}));
    // o1 over (1,2) (2,0) (0,4) (4,-) (-,6); o3 over (2,-) (-,3) (3,0) (0,-) (-,-).
    EXPECT_EQ(Get(cadat, 4, 5), (Floats{1.5f, 1, 2, 4, 6, 0, 0, 0, 0, 0, 2, 3, 1.5f, 0, -999, 5, 2.5f, 0.5f, 1.5f, 1}));
    EXPECT_EQ(Get(env, 5, 1), (Floats{15, 25, 30, 50, 55}));
    // Every window holds a value other than 0 of some OTU.
    EXPECT_EQ(r.out.find("empty communities"), std::string::npos);
    EXPECT_EQ((Ints{envVarType[0], optEnvVarType}), (Ints{3, 1}));
}

TEST_F(PickSmall, ChosenVariablesSetTheKindOfTheEnvironmentalMatrix) {
    // The nominal variable alone makes E nominal; both, given once each, make it mixed again.
    const Result r = New(box_, "t5", "h", "1\n1\n1\n2\n1\nk\nnom\ny\nn\n");
    LoadFormda("t5Formda.txt");
    ASSERT_EQ(nenv, 1);
    // Nominal only.
    EXPECT_EQ((Ints{envVarType[0], optEnvVarType, temEnvQual, temEnvBin, temEnvQuant}), (Ints{2, 3, 1, 0, 0}));
    EXPECT_EQ(Get(env, 6, 1), (Floats{1, 1, 2, 2, 3, 2}));
    const Result q = New(box_, "t6", "h", "1\n1\n1\n2\n2\nk\nq q\ny\nk\nnom q\ny\nn\n");
    EXPECT_EQ(q.err, "Error!! Enter again. \n");
    LoadFormda("t6Formda.txt");
    ASSERT_EQ(nenv, 2);
    EXPECT_EQ(GetRows(envLabel, 2), (Strings{"nom", "q"}));
    EXPECT_EQ(Get(env, 6, 2), (Floats{1, 10, 1, 20, 2, 30, 2, -999, 3, 50, 2, 60}));
    EXPECT_EQ((Ints{envVarType[0], envVarType[1], optEnvVarType}), (Ints{2, 3, 5}));
}

TEST_F(PickSmall, GroupsCutFromTheOtherSessionsClusterRecord) {
    // The other session's track file holds a cluster record of its 6 communities.
    std::istringstream plain(kPlainTrack);
    Strings lines;
    for (std::string line; std::getline(plain, line);) lines.push_back(line);
    lines[0] = "h2Formda.txt";
    lines[13] = "h2.RCl";  // whichReClus
    lines[32] = "1";       // hasReClus
    std::string track;
    for (const std::string& line : lines) track += (line == "1 1 1 1 " ? "1 1 1 1 1 1 " : line) + "\n";
    box_.WriteFile("h2Trk.txt", track);
    box_.WriteFile("h2.RCl", "0.1\t2\t1\t2\t\n0.2\t2\t3\t4\t\n0.3\t2\t5\t6\t\n0.5\t4\t1\t2\t3\t4\t\n");
    const Result r = New(box_, "t7", "h2", "1\n1\n3\n3\n1\n2\n1\nn\n");
    EXPECT_NE(r.out.find("\nGet partition from: \n   1  keyboard or file \n   2  cluster analysis record \n"),
              std::string::npos);
    LoadFormda("t7Formda.txt");
    ASSERT_EQ((Ints{tcst, ncsm}), (Ints{4, 3}));
    EXPECT_EQ(GetRows(reLabel, 3), (Strings{"1", "2", "3"}));
    // Groups (c1,c2), (c3,c4), (c5,c6): o1 (1,2) (0,4) (-,6); o3 (2,-) (3,0) (-,-).
    EXPECT_EQ(Get(cadat, 4, 3), (Floats{1.5f, 2, 6, 0, 0, 0, 2, 1.5f, -999, 5, 0.5f, 1}));
    // The other session's track file is left as it was; the new one names only the new data.
    EXPECT_EQ(box_.ReadFile("h2Trk.txt"), track);
    EXPECT_EQ(box_.ReadFile("t7Trk.txt"), "t7Formda.txt\n07Jul17\n");
}

TEST_F(PickSmall, UnreadableDataOfTheOtherSessionWriteNothing) {
    box_.WriteFile("badFormda.txt", "bad \n2 \ntr1\ttr2\t\n3\tx\t\n");
    const Result r = box_.Run("N\nt8\n2\nbad\n2\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\nEND OF FILE !!!\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(box_.Path("t8Trk.txt")));
    EXPECT_FALSE(std::filesystem::exists(box_.Path("t8Formda.txt")));
    // No session was made: N takes the name again without asking to replace it, and asks for data.
    const Result again = box_.Run("N\nt8\n4\nX\n");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out.find("exists. Replace it?"), std::string::npos);
    EXPECT_NE(again.out.find(Header("DATA FOR SESSION", "t8")), std::string::npos);
}

TEST_F(PickSmall, PhylogenyOfVariablesFollowsTheOtusAndNoVariablesNoTheirChange) {
    // No E, and the phylogeny as OTUs by 2 variables; OTUs 3 and 1, pairs c1-c2, c3-c4, c5-c6 (order 2).
    std::string text = Edit(Small(false), "1 \n97Sep08 \n2 \n3\t\nq\t\nE \n10\t20\t30\t-999\t50\t60\t\n", "0 \n");
    text = Edit(text, "1\n1\t0.1\t0.2\t0.3\t\n0.1\t1\t0.4\t0.5\t\n0.2\t0.4\t1\t0.6\t\n0.3\t0.5\t0.6\t1\t\n",
                "2\n2\n3\t1\t\n0.1\t0\t\n1.1\t1\t\n2.1\t0\t\n3.1\t1\t\n");
    box_.WriteFile("h3Formda.txt", text);
    const Result r = New(box_, "t9", "h3", "1\n2\n2\nk\n3 1\ny\n4\n1\n2\nn\n");
    EXPECT_NE(r.out.find("each unit.\nThe user will inform"), std::string::npos);  // nothing on variables
    LoadFormda("t9Formda.txt");
    ASSERT_EQ((Ints{tcst, ncsm, nenv, phylogenyMatrixType, nClados}), (Ints{2, 3, 0, 2, 2}));
    EXPECT_EQ(Get(phylogenyData, 2, 2), (Floats{2.1f, 0, 0.1f, 0}));
    EXPECT_EQ((Ints{phylogenyVarType[0], phylogenyVarType[1]}), (Ints{3, 1}));
    // o3: -999 - 2, 0 - 3, -999 - (-999); o1: 2 - 1, 4 - 0, 6 - (-999).
    EXPECT_EQ(Get(cadat, 2, 3), (Floats{-999, -3, -999, 1, 4, -999}));
}

}  // namespace
