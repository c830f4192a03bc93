// The menu handlers of the classical analyses on the four communities: the dynamics menu by its
// results, the refusals that change nothing, the results a new resemblance voids, the data put back
// after a resemblance of the hierarchy, the exported level, the profile's sources and the files read.
#include "classical/TNXIFCLASSIC.h"
#include "OrdinationFixture.h"
#include "session/dialogs/TNXPART.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERRESE.h"

using namespace tnxtest;

namespace {

// The types' table of the intermediate file: t1 = 1 2 3 4, t2 = 0 3 0 5, t3 = 2 2 2 2 over c1..c4.
const Matrix kTypes = {{1, 2, 3, 4}, {0, 3, 0, 5}, {2, 2, 2, 2}};

class HandlersTest : public StructureTest {
protected:
    void SetUp() override {
        StructureTest::SetUp();
        WriteHie(kTypes);
        // No result of an earlier test stands.
        FreeGlobals1();
        for (auto n : {std::make_pair(whichHier, "s1Hie.txt"), {whichNRese, "s1NRe.txt"}, {whichScores, "s1Sco.txt"},
                       {whichEnvPrinda, "s1Prinda.txt"}, {whichAOCScor, "s1.AOC"}, {whichReClus, "s1.RCl"},
                       {whichCstClus, "s1.CCl"}})
            std::strcpy(n.first, n.second);
        optmain = 'R';
        rese_opt = 6;
    }
    // The stored community resemblance of `type` (levels as stored), in full.
    Matrix Stored(int type, int levels, int level) {
        Store(levels, {});
        ReadResemblance(type, false);
        Matrix m(ncsm, std::vector<double>(ncsm));
        for (int i = 0; i < ncsm; i++)
            for (int j = 0; j < ncsm; j++) m[i][j] = rese[level][i][j];
        return m;
    }
};

TEST_F(HandlersTest, DynamicsMenuShowsOnlyWhatItsResultsAllow) {
    const std::string head = Header("ANALYSIS OF COMMUNITY DYNAMICS", "s1") + "Options:\n";
    const std::string J = "   J  diversity and complexity\n", V = "   V  velocity of community change\n";
    const std::string R = "   R  correlation between complexity and velocity of change\n", P = "   P  draw profile\n";
    const std::string MI = "   M  Markov fitting\n   I  data interpolation\n";
    const std::string C = "   C  return to analysis of community structures main options\nType option: ";
    // The letters of lines not shown do nothing: the menu comes again, once per answer.
    const struct {
        int hier, nrese, variables, complexity, velocity;
        std::string answers, lines;
    } cases[] = {{1, 0, 2, 0, 0, "V\nR\nP\nC\n", J + MI}, {0, 0, 2, 0, 0, "J\nM\nI\nC\n", ""},
                 {0, 1, 2, 0, 0, "R\nP\nC\n", V},      {0, 1, 0, 0, 0, "V\nC\n", ""},
                 {0, 0, 2, 1, 0, "V\nR\nC\n", P},      {0, 0, 2, 1, 1, "J\nC\n", R + P}};
    for (const auto& c : cases) {
        std::tie(hasHier, hasNRese, nenv, hasComplexity, hasVelocity) =
            std::tie(c.hier, c.nrese, c.variables, c.complexity, c.velocity);
        const std::string before = Out();
        EXPECT_TRUE(Run(c.answers, IFDynamics));
        EXPECT_EQ(Out().substr(before.size()), Repeat(head + c.lines + C, Count(c.answers, "\n")));
    }
    nenv = 2;
    EXPECT_EQ(Entries(), 4);  // the console, its answers, the data and s1Hie.txt: no file written
}

// Refusals change nothing: types while the fuzzy adjustment is pairwise (the bell), a session without
// trait codes.
TEST_F(HandlersTest, RefusedResemblancesChangeNothing) {
    fuzzy = 2, whichObj = 'r';
    const Ints flags = ResultFlags();
    const Strings names = ResultNames();
    const long files = Entries();
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Run("c\n", IFResemblance));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\a");
    EXPECT_EQ(Out(), Header("RESEMBLANCE SETTINGS", "s1") + "Resemblance of communities(R) or PFTs(C)? " +
                         "\n\nResemblance of PFTs not available when fuzzy adjustment is pairwise\n");
    free2D(csm, tcst), csm = nullptr;
    fuzzy = 0;
    EXPECT_TRUE(Run("", IFResemblance));
    EXPECT_EQ((std::make_tuple(ResultFlags(), ResultNames(), Entries(), whichObj)),
              (std::make_tuple(flags, names, files, static_cast<int>('r'))));
}

// A community resemblance voids what was computed from the former one; the partial resemblances of a
// polythetic analysis do not exist. Euclidean distances of the communities' rows (1 0 2), (2 3 2),
// (3 0 2), (4 5 2) by hand. Only under monothetic pooling is the randomisation run; it computes the
// resemblances again over the trait hierarchy of the OTUs (option 6 there: the squared distance
// over the grand total, 2 / 12 for c1-c2), which are not the stored ones: it is refused.
TEST_F(HandlersTest, CommunityResemblanceVoidsTheFormerResults) {
    for (int* p : {&hasScores, &hasReClus, &hasProbN, &hasProbRo, &hasVelocity, &hasRoVelComplex,
                   &hasRoVelComplexPROB, &hasRo, &hasPRese, &doDistrib, &reseTypeOrd, &reseTypeClus, &reseTypeEv,
                   &reseTypeRnd, &reseTypeERank, &hasCstRese, &hasAOCScor})
        *p = 2;
    adjacentRelOpt = 0, cohe = 3, poolCSTopt = 2;
    EXPECT_TRUE(Run("r\n6\nn\nn\ny\n", IFResemblance));
    EXPECT_NE(Out().find("Generate probabilities by randomization for pairwise resemblances? y/n  "
                         "Option available only under monothetic pooling criterion of types."),
              std::string::npos);
    const Ints flags = ResultFlags();
    EXPECT_EQ(Ints(flags.begin() + 1, flags.begin() + 10), (Ints{1, 0, 2, 0, 0, 0, 0, 0, 2}));
    EXPECT_EQ((Ints{hasVelocity, hasRoVelComplex, hasRoVelComplexPROB, cohe, doDistrib, adjacentRelOpt, reseTypeOrd,
                    reseTypeClus, reseTypeEv, reseTypeRnd, reseTypeERank, rndTestOpt}),
              (Ints{0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ((Strings{whichNRese, whichPRese}), (Strings{"s1NRe.txt", "NULL"}));
    const double r10 = std::sqrt(10.0), r8 = std::sqrt(8.0), r26 = std::sqrt(26.0), r34 = std::sqrt(34.0);
    const Matrix expected = {{0, r10, 2, r34}, {r10, 0, r10, r8}, {2, r10, 0, r26}, {r34, r8, r26, 0}};
    const Matrix stored = Stored(1, 1, 0);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) EXPECT_NEAR(stored[i][j], expected[i][j], 1e-5) << i << j;
    // The sharpness of information structure does not depend on the resemblance: its values stand.
    hasRo = 1, cohe = 6, poolCSTopt = 1;
    // The randomisation: null model 1 keeping richness and totals, one iteration, seed 4.
    EXPECT_TRUE(Run("r\n6\nn\nn\ny\n1\n1\n1\n2\n4\n", IFResemblance));
    EXPECT_EQ((Ints{hasRo, rndTestOpt, hasProbN}), (Ints{1, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists("s1PrN.txt"));
    EXPECT_EQ(Out().find("monothetic pooling"), Out().rfind("monothetic pooling"));
    EXPECT_EQ(Count(Err(), "\nThe stored resemblances are not those of the trait hierarchy (c1-c2: stored 3.16228, "
                           "recomputed 0.166667): no probabilities were computed.\n"),
              1);
}

// Types: squared Euclidean distances of t1, t2, t3 over the communities, 12, 6 and 18 by hand; no
// randomisation is offered; the former clusters of types go.
TEST_F(HandlersTest, TypeResemblanceAndItsClusters) {
    hasCstClus = 1;
    std::strcpy(whichCstClus, "old.CCl");
    EXPECT_TRUE(Run("c\n6\nn\nn\n", IFResemblance));
    EXPECT_EQ((Ints{hasCstRese, hasCstClus, hasNRese}), (Ints{1, 0, 0}));
    EXPECT_EQ((Strings{whichCstRese, whichCstClus}), (Strings{"s1CRe.txt", "NULL"}));
    EXPECT_EQ(Numbers(Read("s1CRe.txt")), (std::vector<double>{0, 12, 6, 0, 18, 0}));
    rcst[0] = 3;
    EXPECT_TRUE(Run("c\n3\n", IFCluster));
    // Sums of squares: t1 and t3, at squared distance 6, join first at 6 / 2 (stored squared, used so).
    EXPECT_EQ(Read("s1.CCl").substr(0, 9), "3\t2\t1\t3\t\n");
    EXPECT_EQ((Ints{hasCstClus, hasReClus}), (Ints{1, 0}));
    Ints groups(3);
    GetPartition(3, 2, groups.data(), 'c');
    EXPECT_EQ(groups, (Ints{1, 2, 1}));
    // Communities without their stored resemblance: the dialog says so, nothing is written.
    hasNRese = 0;
    EXPECT_TRUE(Run("r\n", IFCluster));
    EXPECT_EQ(hasReClus, 0);
    EXPECT_FALSE(std::filesystem::exists("s1.RCl"));
}

// A resemblance of the hierarchy (traits reordered, performances pooled and made community means)
// leaves the session's data as loaded; the resemblance alone does not. The parts between levels add up
// to the global matrix, which is level 1's.
TEST_F(HandlersTest, HierarchyResemblanceGivesTheLoadedDataBack) {
    isHierarchical = poolCSTopt = 1, fuzzy = 0, part = 3;
    auto order = [] { nchor[0] = 3, nchor[1] = 1, nchor[2] = 2; };
    order();
    std::strcpy(prindaMode, "w");
    HierarchicalAccum();
    Load();
    order();
    auto data = [] {
        return std::make_tuple(Get(cadat, tcst, ncsm), GetRows(csm, tcst), Get(cstTrack, nch, tcst),
                               Ints(onsta, onsta + nch), Ints(chtype, chtype + nch), Ints(nchor, nchor + nch),
                               Floats(chrange, chrange + nch), Floats(weight, weight + nch));
    };
    const auto loaded = data();
    EXPECT_TRUE(Run("r\n6\nn\nn\nn\nn\n", IFResemblance));
    EXPECT_EQ(data(), loaded);
    EXPECT_EQ((Ints{hasNRese, hasPRese, hasProbN, rndTestOpt}), (Ints{1, 1, 0, 0}));
    const Matrix level1 = Stored(1, 3, 0), global = Stored(2, 4, 3);
    // Again with the randomisation offered after it (null model 1 keeping richness and totals, 3
    // iterations, seed 5, neither deviations nor distributions): it starts from the data as loaded,
    // so the observed resemblances it reports (upper half of its first level's table) are those the
    // resemblance stored, level by level. It reorders the data in place: the session reloads them.
    EXPECT_TRUE(Run("r\n6\nn\nn\nn\ny\n1\n1\n3\n2\n5\nn\nn\n", IFResemblance));
    EXPECT_EQ((Ints{hasNRese, hasPRese, hasProbN, rndTestOpt}), (Ints{1, 1, 1, 0}));
    const std::string report = Read("s1Prinda.txt");
    for (int level = 1; level <= 3; level++) {
        const Matrix stored = Stored(1, 3, level - 1);
        const std::string title =
            FormatText("\nLevel %d: Nominal resemblances (upper half), probabilities (below diagonal):\n", level);
        const size_t at = report.find(title);
        ASSERT_NE(at, std::string::npos) << level;
        const std::vector<std::string> rows = Lines(report.substr(at + title.size()));
        ASSERT_GE(rows.size(), 4u);
        for (int i = 0; i < 4; i++) {
            const std::vector<double> row = Numbers(rows[i]);
            ASSERT_EQ(row.size(), 4u) << rows[i];
            for (int j = i + 1; j < 4; j++)
                EXPECT_NEAR(row[j], stored[i][j], 1e-5 * (1 + stored[i][j])) << level << i << j;
        }
    }
    Load();
    order();
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) EXPECT_NEAR(global[i][j], level1[i][j], 1e-5 * (1 + level1[i][j]));
    Resemblance();
    EXPECT_NE(data(), loaded);
}

// Function 5 needs the scores, which the session lacks, and not the stored resemblances: nothing is
// read or written and the former values stand. Function 1 writes them.
TEST_F(HandlersTest, EvaluationRecordsOnlyTheValuesItWrites) {
    Run("r\n6\nn\nn\nn\n", IFResemblance);
    hasRo = 1;
    std::strcpy(whichRo, "former.txt");
    std::rename("s1NRe.txt", "kept.txt");
    EXPECT_TRUE(Run("5\n", IFEvaluation));
    std::rename("kept.txt", "s1NRe.txt");
    EXPECT_EQ((std::make_pair(hasRo, std::string(whichRo))), (std::make_pair(1, std::string("former.txt"))));
    EXPECT_TRUE(Run("1\nn\n", IFEvaluation));
    EXPECT_EQ((std::make_pair(hasRo, std::string(whichRo))), (std::make_pair(1, std::string("s1Ro.txt"))));
    EXPECT_EQ(Numbers(Read("s1Ro.txt")).size(), 1u);
}

// A level without types leaves no type partition: the analysis of concentration says so and the
// session records no scores.
TEST_F(HandlersTest, ConcentrationWithoutTypeGroupsRecordsNothing) {
    rcst[0] = 0;
    std::strcpy(whichAOCScor, "NULL");
    EXPECT_TRUE(Run("p\n2\n1\ny\n2\n2\nt\n", IFConcentrationAn));
    EXPECT_EQ((Ints{nGroups, nCstGroups, hasAOCScor}), (Ints{2, 0, 0}));
    EXPECT_STREQ(whichAOCScor, "NULL");
    EXPECT_FALSE(std::filesystem::exists("s1.AOC"));
}

// One group of communities is a partition too: with one group of the three types the analysis
// writes its scores and the session records them.
TEST_F(HandlersTest, ConcentrationWithOneGroupRecordsItsScores) {
    rcst[0] = 3;
    std::strcpy(whichAOCScor, "NULL");
    // Partitions from the keyboard: communities p in 1 group (default label, ordered, 4 members),
    // types t in 1 group (3 members).
    EXPECT_TRUE(Run("p\n1\n1\ny\n4\nt\n1\n1\ny\n3\n", IFConcentrationAn));
    EXPECT_EQ((Ints{nGroups, nCstGroups, hasAOCScor}), (Ints{1, 1, 1}));
    EXPECT_STREQ(whichAOCScor, "s1.AOC");
    EXPECT_TRUE(std::filesystem::exists("s1.AOC"));
}

// Level L of three stored levels goes out as rese[L - 1]: the upper half without its diagonal. Level l
// holds 10 l + (the cell's position in the file).
TEST_F(HandlersTest, ExportedResemblanceIsTheLevelAsked) {
    isHierarchical = poolCSTopt = 1;
    std::string text;
    for (int l = 1; l <= 3; l++)
        for (int k = 0; k < 10; k++) text += std::to_string(10 * l + k) + "\n";
    Write("s1NRe.txt", text);
    ExportData(4, 3);
    EXPECT_EQ(Read("s1l3Rese.txt"), "31\t32\t33\t35\t36\t38\t");
    ExportData(4, 1);
    EXPECT_EQ(Read("s1l1Rese.txt"), "11\t12\t13\t15\t16\t18\t");
    ExportData(3, 1);
    EXPECT_FALSE(std::filesystem::exists("s1l1Orbald.txt"));
    fuzzy = 2;
    EXPECT_TRUE(Run("", IFExportData));
    const std::string exported = " (upper half in one row, no diagonal) \n";
    EXPECT_EQ(Out(), "\n\nExported resemblance matrix on file s1l3Rese.txt" + exported +
                         "\n\nExported resemblance matrix on file s1l1Rese.txt" + exported +
                         "\n\n\bFuzzy adjustment is not global. Exporting data is not possible.\n");
}

// A source whose file the session lacks is refused (the bell, one line); what the session has is read.
// From the environmental menu the ranking file, whose undefined values are read as such.
TEST_F(HandlersTest, ProfileReadsOnlyTheSourcesTheSessionHas) {
    Run("r\n6\nn\nn\nn\n", IFResemblance);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Run("7\nc1 c2\n0\n1\n1\n", IFProfile));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\a");
    EXPECT_TRUE(Run("6\nc1 c2\n0\n1\n1\n", IFProfile));
    optmain1 = 'E', hasEnvRank = 1;
    std::strcpy(whichEnvRank, "s1ERk.txt");
    for (const auto& [text, code] : {std::make_pair("    1\n0.5\tundefined\n", 0), {"    1\n0.5\tbogus\n", 2},
                                     {"    1\n0.5\n", 2}, {"    3\n1 2\n", 2},
                                     {"    3\n1 2\n3 4\n", 2}, {"    3\n1 2\n3 4\n5 undefined\n", 0}}) {
        Script("3\n");  // the level of a file of three: the values of two levels come before it
        Write("s1ERk.txt", text);
        EXPECT_EQ(CodeOf([] { IFProfile(); }), code) << text;
    }
    std::remove("s1ERk.txt");
    EXPECT_EQ(CodeOf([] { IFProfile(); }), TNX_FAIL_TO_OPEN);
    EXPECT_EQ(Count(Err(), "\nThis session holds no results of the profile's source.\n"), 1);
}

// The null distribution of c3 and c4 is the last of the six pairs of the level (pairs in row order): a
// file of six distributions holds it, one of five does not. A community with itself has none.
TEST_F(HandlersTest, HistogramReadsTheDistributionOfThePair) {
    doDistrib = 1;
    const std::string record = "1\t2\t\n0.1\t0.2\t0.15\t0.5\t0.1\t0.05\t\n";
    for (const auto& [records, code] : {std::make_pair(6, 0), {5, TNX_END_OF_FILE}}) {
        Write("s1.Rnd", "2\n" + Repeat(record, records));
        Script("c4 c3\n");
        EXPECT_EQ(CodeOf([] { IFHistogram(); }), code) << records;
    }
    EXPECT_STREQ(whichRnd, "s1.Rnd");
    EXPECT_TRUE(Run("c2 c2\n", IFHistogram));
    EXPECT_EQ(Count(Err(), "\nA community has no null distribution of its resemblance to itself.\n"), 1);
}

// Scores: a flag whose file is gone is not offered; axes beyond those stored are refused; the
// environmental resemblance unreadable is code 4, cut short code 2.
TEST_F(HandlersTest, ScoresFilesReadAsTheyStand) {
    hasScores = hasAOCScor = 1;
    nGroupsP[0] = nGroupsCstP[0] = 1, whichPartAOC = whichPartCstAOC = 0;
    Write("s1.AOC", "1 \n0.5\n-0.5\n");
    EXPECT_TRUE(Run("1\n2\n1\n1\nn\n", IFScatter));
    EXPECT_EQ(Out().find("Use scores generated by"), std::string::npos);
    EXPECT_EQ(Count(Err(), "\nThe scores hold fewer components than the scattergram asks for.\n"), 1);
    optmain1 = 'E';
    std::strcpy(whichEnvRese, "s1ERe.txt");
    EXPECT_EQ(CodeOf([] { IFEnvOrdination(); }), TNX_FAIL_TO_OPEN);
    Write("s1ERe.txt", "0 1 2");
    EXPECT_EQ(CodeOf([] { IFEnvCluster(); }), TNX_END_OF_FILE);
    EXPECT_EQ(hasEnvScores, 0);
}

}  // namespace
