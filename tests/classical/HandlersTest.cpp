// The menu handlers of the classical analyses on the four communities: the dynamics menu by its
// results, the refusals that change nothing, the results a new resemblance voids, the data put back
// after a resemblance of the hierarchy, the exported level, the profile's sources and the files read.
#include "classical/TNXDynamics.h"
#include "classical/TNXIFCLASSIC.h"
#include "OrdinationFixture.h"
#include "common/ErrorCode.h"
#include "foundation/ScopedValue.h"
#include "session/TNXIF.h"
#include "session/model/TNXTRACK.h"
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
        // No randomisation test in progress, as outside one (the randomisation tests set it).
        rndTestOpt = 0;
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
    // The results the flags stand for, in their files.
    std::strcpy(whichComplexity, "s1Complexity.txt");
    std::strcpy(whichVelocity, "s1Velocity.txt");
    for (const char* stored : {"s1NRe.txt", "s1Complexity.txt", "s1Velocity.txt"}) Write(stored, "0\n");
    for (const auto& c : cases) {
        std::tie(hasHier, hasNRese, nenv, hasComplexity, hasVelocity) =
            std::tie(c.hier, c.nrese, c.variables, c.complexity, c.velocity);
        const std::string before = Out();
        EXPECT_TRUE(Run(c.answers, IFDynamics));
        EXPECT_EQ(Out().substr(before.size()), Repeat(head + c.lines + C, Count(c.answers, "\n")));
    }
    nenv = 2;
    EXPECT_EQ(Entries(), 7);  // the console, its answers, the data, s1Hie.txt and the three results: no file written
}

// The profile of the dynamics menu offers a series by its flag only while the series' file can be read:
// with the complexity stored and the velocity and correlation files gone, velocity (12) is refused by
// the dialog and diversity (9) drawn, log-transformed, over e1. The flags stay as they were.
TEST_F(HandlersTest, DynamicsProfileOffersOnlyTheSeriesStored) {
    std::strcpy(whichComplexity, "s1Complexity.txt");
    std::strcpy(whichVelocity, "s1Velocity.txt");
    std::strcpy(whichRoVelComplex, "s1RoVelComplex.txt");
    Write("s1Complexity.txt", "1 2 3 4\n1 2 3 4\n0 0 0 0\n");
    hasComplexity = hasVelocity = hasRoVelComplex = 1;
    EXPECT_TRUE(Run("P\n12\n9\n3\n1\n1\ne1\nC\n", IFDynamics));
    EXPECT_EQ((Ints{roFrom, sqRoOpt, hasComplexity, hasVelocity, hasRoVelComplex}), (Ints{9, 3, 1, 1, 1}));
    const std::string said = Out();
    EXPECT_NE(said.find("   11  structural complexity\nType option no.: "), std::string::npos);
    for (const char* gone : {"   12  velocity", "   13  correlation"}) EXPECT_EQ(said.find(gone), std::string::npos) << gone;
    EXPECT_EQ(Count(Err(), "\nIncorrect input = 12. Reenter.\n"), 1);
}

// Refusals change nothing: types while the fuzzy adjustment is pairwise (the bell), the hierarchical
// resemblance of communities (which rebuilds the hierarchy from them) without trait codes.
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
    fuzzy = 0, isHierarchical = 1;
    EXPECT_TRUE(Run("r\n", IFResemblance));
    EXPECT_EQ((std::make_tuple(ResultFlags(), ResultNames(), Entries(), whichObj)),
              (std::make_tuple(flags, names, files, static_cast<int>('r'))));
}

// Traits that are not whole numbers give no trait codes, yet the table of types is all that the
// resemblance of communities outside a hierarchy and that of types read: the held dispatch runs them and
// they are stored. Read back they are the Euclidean distances of the communities' columns of the table
// and the squared ones of its rows (computed here). Only the randomisation offered afterwards, which
// rebuilds the data from the codes, is refused, in one line.
TEST_F(HandlersTest, ResemblancesOfTheTypesTableNeedNoTraitCodes) {
    Write("s1Formda.txt", Edit(FiveOtus(true), "\n1\t2\t3\t\n2\t3\t4\t\n", "\n1.5\t2\t3\t\n2\t3.25\t4\t\n"));
    LoadFormda("s1Formda.txt");
    for (int c = 0; c < ncsm; c++) relSelect[c] = 1;
    ASSERT_EQ(csm, nullptr);
    hasHier = poolCSTopt = 1, isHierarchical = 0;
    std::strcpy(whichCstRese, "s1CRe.txt");
    ASSERT_EQ(CommunityStructuresHandler('R'), &IFResemblance);
    Matrix communities(4, std::vector<double>(4)), types(3, std::vector<double>(3));
    for (int a = 0; a < 4; a++)
        for (int b = 0; b < 4; b++) {
            for (const auto& t : kTypes) communities[a][b] += (t[a] - t[b]) * (t[a] - t[b]);
            communities[a][b] = std::sqrt(communities[a][b]);
        }
    for (int a = 0; a < 3; a++)
        for (int b = 0; b < 3; b++)
            for (int c = 0; c < 4; c++) types[a][b] += (kTypes[a][c] - kTypes[b][c]) * (kTypes[a][c] - kTypes[b][c]);
    const std::string offer = "Generate probabilities by randomization for pairwise resemblances? y/n  ";
    const std::string refusal = "\nThis analysis needs every trait value as a whole number from 0 to 99: nothing was computed.\n";
    // Option 6 (Euclidean distance), no printout; the randomisation asked for.
    const struct {
        char object;
        std::string answers;
        const char* file;
        const Matrix& expected;
    } rows[] = {{'r', "r\n6\nn\nn\ny\n", "s1NRe.txt", communities}, {'c', "c\n6\nn\nn\n", "s1CRe.txt", types}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.object);
        const size_t from = Out().size();
        EXPECT_TRUE(Run(r.answers, CommunityStructuresHandler('R')));
        // The upper half with its diagonal, row by row.
        std::vector<double> upper;
        for (size_t a = 0; a < r.expected.size(); a++)
            for (size_t b = a; b < r.expected.size(); b++) upper.push_back(r.expected[a][b]);
        const std::vector<double> stored = Numbers(Read(r.file));
        ASSERT_EQ(stored.size(), upper.size());
        for (size_t k = 0; k < upper.size(); k++) EXPECT_NEAR(stored[k], upper[k], 1e-5 * (1 + upper[k])) << k;
        const std::string said = Out().substr(from);
        EXPECT_EQ(Count(said, offer + refusal), r.object == 'r' ? 1 : 0);
        EXPECT_EQ(Count(said, "nothing was computed"), r.object == 'r' ? 1 : 0);
    }
    EXPECT_EQ((Ints{hasNRese, hasCstRese, hasProbN, rndTestOpt}), (Ints{1, 1, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists("s1PrN.txt"));
}

// A track file whose trait order is no permutation of the traits (a trait left out as 0, or one twice)
// is read as it stands; the structured table, reached through the held dispatch, then follows the
// traits' own order, as with the order 1 2 3 itself, and reads nothing outside the session's arrays. A
// permutation stands. Partitions from the keyboard: the communities in one group of 4, the types of
// level 1 in one group of 4.
TEST_F(HandlersTest, StructuredTableOfATrackWithoutATraitOrder) {
    const std::string answers = "p\n1\n1\ny\n4\nt\n1\n1\ny\n4\n";
    const struct {
        const char* order;
        Ints used;
    } rows[] = {{"1 2 3", {1, 2, 3}}, {"0 0 0", {1, 2, 3}}, {"0 2 3", {1, 2, 3}}, {"2 2 3", {1, 2, 3}},
                {"3 1 2", {3, 1, 2}}};
    std::string ownOrder;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.order);
        Write("s1Trk.txt", Edit(kPlainTrack, "1 2 3 \n4 2 2", std::string(r.order) + " \n4 2 2"));
        LoadFormda("s1Formda.txt");
        ReadTrack();
        const MenuHandler table = CommunityStructuresHandler('T');
        ASSERT_EQ(table, &IFStructTable);
        EXPECT_TRUE(Run(answers, table));
        EXPECT_EQ(Ints(nchor, nchor + nch), r.used);
        const std::string report = Read("s1Prinda.txt");
        const size_t at = report.find("Level on trait hierarchy", report.rfind("STRUCTURED TABLE"));
        ASSERT_NE(at, std::string::npos);
        if (ownOrder.empty()) ownOrder = report.substr(at);
        // The traits head the table's columns in the order followed.
        EXPECT_EQ(report.substr(at).find("OTU\tGr\ttr" + std::to_string(r.used[0]) + "\ttr" + std::to_string(r.used[1])),
                  report.substr(at).find("OTU\tGr\t")) << report.substr(at);
        EXPECT_EQ(report.substr(at) == ownOrder, r.used == (Ints{1, 2, 3}));
    }
}

// Partial resemblances hold one matrix more than there are traits, the global one after the levels;
// the nominal ones and their probabilities one per trait. Function 1 of the evaluation reads them all
// and writes a value per matrix: 3, 4 and 3 over the 3 traits, each the Mantel correlation of its matrix
// with the Euclidean distances of the standardised variables e1 = 1 2 3 4 and e2 = 2 7 1 8 (computed
// here). Each matrix: the distances |x_i - x_j| of positions x of the four communities.
TEST_F(HandlersTest, PartialResemblancesCarryTheGlobalMatrixBesideTheLevels) {
    using Positions = std::vector<std::vector<double>>;
    const Positions nominal = {{0, 1, 3, 7}, {0, 2, 1, 5}, {4, 0, 3, 1}};
    const Positions partial = {{2, 0, 5, 1}, {0, 4, 1, 3}, {1, 2, 0, 6}, {3, 1, 0, 2}};
    const Positions probabilities = {{0, 3, 1, 2}, {3, 2, 0, 1}, {1, 0, 2, 5}};
    auto text = [](const Positions& levels) {
        std::string t;
        for (const auto& x : levels)
            for (int i = 0; i < 4; i++)
                for (int j = i; j < 4; j++) t += FormatText("%g ", std::fabs(x[i] - x[j]));
        return t;
    };
    // The environmental distances: each variable centred and scaled by its standard deviation.
    const double e[2][4] = {{1, 2, 3, 4}, {2, 7, 1, 8}};
    double z[2][4];
    for (int v = 0; v < 2; v++) {
        double mean = 0, squares = 0;
        for (double y : e[v]) mean += y / 4;
        for (double y : e[v]) squares += (y - mean) * (y - mean);
        for (int c = 0; c < 4; c++) z[v][c] = (e[v][c] - mean) / std::sqrt(squares / 3);
    }
    auto mantel = [&](const std::vector<double>& x) {
        std::vector<double> a, b;
        for (int i = 0; i < 4; i++)
            for (int j = i + 1; j < 4; j++) {
                a.push_back(std::fabs(x[i] - x[j]));
                b.push_back(std::hypot(z[0][i] - z[0][j], z[1][i] - z[1][j]));
            }
        double ma = 0, mb = 0, ab = 0, aa = 0, bb = 0;
        for (size_t k = 0; k < a.size(); k++) ma += a[k] / 6, mb += b[k] / 6;
        for (size_t k = 0; k < a.size(); k++)
            ab += (a[k] - ma) * (b[k] - mb), aa += (a[k] - ma) * (a[k] - ma), bb += (b[k] - mb) * (b[k] - mb);
        return ab / std::sqrt(aa * bb);
    };
    isHierarchical = poolCSTopt = adjacentRelOpt = 1, fuzzy = 0;
    hasNRese = hasPRese = hasProbN = 1;
    SessionFileName(whichPRese, pReseExt);
    SessionFileName(whichProbN, probNExt);
    Write("s1NRe.txt", text(nominal));
    Write("s1PRe.txt", text(partial));
    Write("s1PrN.txt", text(probabilities));
    const struct {
        int type;
        const Positions& levels;
    } rows[] = {{1, nominal}, {2, partial}, {3, probabilities}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.type);
        // Function 1 at level 1 on the type, without its Mantel test.
        EXPECT_TRUE(Run("1\n1\n" + std::to_string(r.type) + "\nn\n", IFEvaluation));
        const std::vector<double> values = Numbers(Read("s1Ro.txt"));
        ASSERT_EQ(values.size(), r.levels.size());
        for (size_t l = 0; l < values.size(); l++) EXPECT_NEAR(values[l], mantel(r.levels[l]), 1e-6) << l;
    }
}

// The ranking file holds 1 to nch + 1 levels (the ranking within each level of the traits and over all
// of them): a count of 0 or of nch + 2 is a damaged file (code 2, no question); 1 asks no level, nch + 1
// asks among its 4. Each level holds the values of the two variables; the answer offered is the last
// level.
TEST_F(HandlersTest, RankingProfileHoldsOneLevelToOnePastTheTraits) {
    optmain1 = 'E', hasEnvRank = 1;
    std::strcpy(whichEnvRank, "s1ERk.txt");

    const struct {
        int levels, code;
        bool question;
    } rows[] = {{0, 2, false}, {1, 0, false}, {2, 0, true}, {4, 0, true}, {5, 2, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.levels);
        Write("s1ERk.txt", FormatText("%5d\n", r.levels) + Repeat("0.5\t0.25\n", std::max(r.levels, 1)));
        Script(std::to_string(r.levels) + "\n");
        const size_t from = Out().size();
        EXPECT_EQ(CodeOf([] { IFProfile(); }), r.code);
        EXPECT_EQ(Count(Out().substr(from), "Hierarchical level to use"), r.question ? 1 : 0);
        const std::string asked = FormatText("Hierarchical level to use (among %d levels): \n", r.levels);
        EXPECT_EQ(Count(Out().substr(from), "\n" + std::string(lineL) + "\n" + asked), r.question ? 1 : 0);
    }
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
    // The last level of the traits clusters alike; one past it belongs to no level.
    const std::string clusters = Read("s1.CCl");
    rcst[nch - 1] = 3, whichLevelCst = nch;
    std::remove("s1.CCl");
    EXPECT_TRUE(Run("c\n3\n", IFCluster));
    EXPECT_EQ(Read("s1.CCl"), clusters);
    whichLevelCst = nch + 1;
    std::remove("s1.CCl");
    EXPECT_TRUE(Run("c\n3\n", IFCluster));
    EXPECT_FALSE(std::filesystem::exists("s1.CCl"));
    EXPECT_EQ(Count(Err(), "\nThe resemblance of PFTs does not belong to a level of this session.\n"), 1);
    whichLevelCst = 1;
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
// read or written and the former values stand. Function 1 writes them, and so does function 6 from
// the types' table alone.
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
    // Function 6 reads the types' table and not the stored resemblances: it runs without them.
    hasHier = 1;
    std::strcpy(whichHier, "s1Hie.txt");
    std::string table = "2\t" + std::to_string(ncsm) + "\n";
    for (int t = 0; t < 2; t++) {
        for (int c = 0; c < ncsm; c++) table += (c % 2 == t) ? "1 " : "0 ";
        table += "\n";
    }
    Write("s1Hie.txt", table);
    std::remove("s1Ro.txt");
    std::strcpy(whichRo, "former.txt");
    std::rename("s1NRe.txt", "kept.txt");
    EXPECT_TRUE(Run("6\n", IFEvaluation));
    std::rename("kept.txt", "s1NRe.txt");
    EXPECT_EQ((std::make_pair(hasRo, std::string(whichRo))), (std::make_pair(1, std::string("s1Ro.txt"))));
    EXPECT_EQ(Numbers(Read("s1Ro.txt")).size(), 1u);
}

// The probabilities of the evaluation values stand while the evaluation is of the ordination axes
// (functions 2 and 5, against the stored scores); any other function voids them.
TEST_F(HandlersTest, EvaluationOfTheAxesKeepsTheProbabilitiesOfTheValues) {
    Run("r\n6\nn\nn\nn\n", IFResemblance);
    hasScores = 1;
    Write("s1Sco.txt", "1\n1\n0 1 2 3\n");
    const struct {
        const char* answers;
        int probabilities;
    } rows[] = {{"5\n", 1}, {"2\n1\n", 1}, {"1\nn\n", 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.answers);
        hasProbRo = 1;
        EXPECT_TRUE(Run(r.answers, IFEvaluation));
        EXPECT_TRUE(Has(Out(), "Results appended"));
        EXPECT_EQ(hasProbRo, r.probabilities);
    }
}

// An evaluation that refuses (the session's flag of the scores or of the types' table is off, though
// a file of that name is there) appends nothing, and says nothing was: no "Results appended", no
// Mantel offer, the track file, flags and names as they were.
TEST_F(HandlersTest, RefusedEvaluationReportsNothing) {
    Run("r\n6\nn\nn\nn\n", IFResemblance);
    hasProbRo = 1, hasRo = 1, hasScores = 0, hasHier = 0;
    std::strcpy(whichRo, "former.txt"), std::strcpy(whichProbRo, "s1PRo.txt");
    Write("s1Sco.txt", "1\n1\n0 1 2 3\n");
    WriteTrack(1);
    const std::string track = Read("s1Trk.txt"), report = Read("s1Prinda.txt");
    const auto flags = ResultFlags();
    const auto names = ResultNames();
    const struct {
        const char* answers;
        const char* why;
    } rows[] = {{"5\n", "\nThe evaluation function needs the ordination scores of the communities.\n"},
                {"6\n", "\nThe evaluation function needs the intermediate file of the functional analysis.\n"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.answers);
        const size_t from = Out().size();
        EXPECT_TRUE(Run(r.answers, IFEvaluation));
        EXPECT_FALSE(Has(Out().substr(from), "Results appended"));
        EXPECT_FALSE(Has(Out().substr(from), "Mantel test"));
        EXPECT_EQ((std::make_tuple(Read("s1Trk.txt"), Read("s1Prinda.txt"), ResultFlags(), ResultNames())),
                  std::make_tuple(track, report, flags, names));
    }
    const std::string err = Err();
    for (const auto& r : rows) EXPECT_EQ(Count(err, r.why), 1) << r.why;
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
    // Formats 1 and 2 export the table of types: without its file each is refused in one line, and
    // nothing is written; the stored resemblance (4) still is.
    fuzzy = 0;
    std::remove("s1Hie.txt");
    const long files = Entries();
    ExportData(1, 1);
    ExportData(2, 1);
    EXPECT_EQ(Entries(), files);
    ExportData(4, 2);
    EXPECT_EQ(Read("s1l2Rese.txt"), "21\t22\t23\t25\t26\t28\t");
    EXPECT_EQ(Count(Err(), "\nThis session holds no readable table of types.\n"), 2);
}

// A source whose file the session lacks (no flag, or the file gone) is refused (the bell, one line); what
// the session has is read. From the environmental menu the ranking file, whose undefined values are read
// as such.
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
    EXPECT_EQ(CodeOf([] { IFProfile(); }), 0);
    EXPECT_EQ(Count(Err(), "\nThis session holds no results of the profile's source.\n"), 2);
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

// The community scores of a hierarchy hold 1 axis at level 1 and 3 at level 2: components 1 and 2
// (or 3 and 1) can be plotted at level 2 alone, and a level chosen with fewer components (in either
// place) is refused, while a level not chosen is passed over whatever it holds.
TEST_F(HandlersTest, ScatterChecksOnlyTheLevelsChosen) {
    isHierarchical = 1, hasScores = 1, hasAOCScor = 0, hasVegOrdiCorrel = 0, nGroups = 0;
    Write("s1Sco.txt", "1 3 \n0.1 0.2 0.3 0.4\n1 2 3 4\n4 3 2 1\n0 1 0 1\n");
    const struct {
        const char* levels;  // the answers of "Select levels" for the 3 levels of the traits
        int refusals;
        const char* components;
    } rows[] = {{"0\n1\n0\n", 0, "1\n2\n"}, {"1\n0\n0\n", 1, "1\n2\n"}, {"1\n1\n0\n", 1, "1\n2\n"},
                {"0\n1\n1\n", 0, "1\n2\n"}, {"1\n0\n0\n", 1, "2\n1\n"}, {"0\n1\n0\n", 0, "3\n1\n"}};
    int refusals = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.components) + r.levels);
        // The components, some levels, communities only, community labels, no connection.
        EXPECT_TRUE(Run(std::string(r.components) + "2\n" + r.levels + "1\n1\nn\n", IFScatter));
        refusals += r.refusals;
    }
    EXPECT_EQ(Count(Err(), "\nThe scores hold fewer components than the scattergram asks for.\n"), refusals);
}

// Structural redundancy ranks the variables among themselves: it needs no stored community result
// and runs in a session that holds none, where the criteria against them are not offered.
TEST_F(HandlersTest, StructuralRedundancyRanksWithoutStoredResults) {
    optmain1 = 'E', hasNRese = hasScores = hasEnvRank = 0, nGroups = 0;
    ASSERT_FALSE(std::filesystem::exists("s1NRe.txt"));
    EXPECT_TRUE(Run("1\n", IFEnvRank));
    EXPECT_EQ(hasEnvRank, 1);
    EXPECT_STREQ(whichEnvRank, "s1ERk.txt");
    EXPECT_TRUE(std::filesystem::exists("s1ERk.txt"));
    EXPECT_FALSE(Has(Out(), "   2  congruence of environmental resemblance/community resemblance\n"));
    EXPECT_FALSE(Has(Out(), "   4  congruence of environmental resemblance/community ordination axes\n"));
}

// The environmental scores place the communities and the variables (4 + 2 points): as many axes as
// points can be read, one more is a damaged file (code 2), before any score is plotted.
TEST_F(HandlersTest, EnvironmentalScoresHoldAtMostOneAxisPerPoint) {
    optmain1 = 'E', hasEnvScores = 1, nGroups = 0;
    std::strcpy(whichEnvScores, "s1ESc.txt");
    const int points = ncsm + nenv;
    ASSERT_EQ(points, 6);
    for (int axes : {points, points + 1}) {
        SCOPED_TRACE(axes);
        std::string file = std::to_string(axes) + " \n";
        for (int k = 0; k < axes * points; k++) file += std::to_string(k % 7) + "\n";
        Write("s1ESc.txt", file);
        Script("1\n2\n1\n1\nn\n");
        EXPECT_EQ(CodeOf([] { IFScatter(); }), axes == points ? 0 : TNX_END_OF_FILE);
    }
}

// Scores: a flag whose file is gone is not offered; axes beyond those stored are refused; the
// environmental resemblance unreadable is refused (one line), cut short code 2.
TEST_F(HandlersTest, ScoresFilesReadAsTheyStand) {
    hasScores = hasAOCScor = 1;
    nGroupsP[0] = nGroupsCstP[0] = 1, whichPartAOC = whichPartCstAOC = 0;
    Write("s1.AOC", "1 \n0.5\n-0.5\n");
    EXPECT_TRUE(Run("1\n2\n1\n1\nn\n", IFScatter));
    EXPECT_EQ(Out().find("Use scores generated by"), std::string::npos);
    EXPECT_EQ(Count(Err(), "\nThe scores hold fewer components than the scattergram asks for.\n"), 1);
    optmain1 = 'E';
    std::strcpy(whichEnvRese, "s1ERe.txt");
    testing::internal::CaptureStderr();
    capturing_ = true;
    EXPECT_EQ(CodeOf([] { IFEnvOrdination(); }), 0);
    EXPECT_EQ(Err(), "\nThis session holds no readable environmental resemblance.\n");
    Write("s1ERe.txt", "0 1 2");
    EXPECT_EQ(CodeOf([] { IFEnvCluster(); }), TNX_END_OF_FILE);
    EXPECT_EQ(hasEnvScores, 0);
}

// The regular files of the working folder with their contents, the console and the answers aside.
std::map<std::string, std::string> FolderFiles() {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        const std::string name = e.path().filename().string();
        if (e.is_regular_file() && name != "console.txt" && name != "answers.txt") files[name] = Slurp(name);
    }
    return files;
}

// A handler's result files and the track file change together. Each handler runs once as it
// should (its answers all read), and the files it wrote (report, result files, track) are marked
// as an earlier run's; then the track file cannot be replaced (its name a folder): the handler
// raises code 4 and the folder holds every earlier file byte for byte, the report without a new
// section and no new or temporary file.
TEST_F(HandlersTest, AHandlerWhoseTrackCannotBeWrittenLeavesItsResultsAsTheyWere) {
    const ScopedValue<int (*)(char)> track(partitionTrackWriter, WriteTrack);
    Run("r\n6\nn\nn\nn\n", IFResemblance);
    ASSERT_TRUE(std::filesystem::exists("s1NRe.txt"));
    nGroups = 0;
    const struct {
        const char* what;
        char menu;  // the analyses of the vegetation (V) or of the environment (E)
        const char* answers;
        void (*handler)();
    } cases[] = {
        {"ordination", 'V', "n\nn\n", IFOrdination},
        {"clusters of the communities", 'V', "r\n3\n", IFCluster},
        {"evaluation", 'V', "1\nn\n", IFEvaluation},
        // Its Mantel test: 20 iterations, seed 5, the null distributions kept.
        {"randomisation of the evaluation", 'V', "20\n2\n5\ny\n",
         [] {
             const ScopedValue<int> kind(rndTestOpt, 3);
             IFRandomization();
         }},
        {"environmental ranking", 'E', "1\n", IFEnvRank},
        {"diversity and complexity", 'V', "1\n", [] { IFComplexity(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        optmain1 = c.menu;
        std::filesystem::remove_all("s1Trk.txt");
        const auto before = FolderFiles();
        ASSERT_TRUE(Run(c.answers, c.handler));
        auto earlier = FolderFiles();
        int written = 0;
        for (auto& [name, text] : earlier)
            if (!before.count(name) || before.at(name) != text) {
                text = "earlier " + name + "\n";
                Write(name, text);
                written++;
            }
        // At least one result file and the track.
        EXPECT_GE(written, 2);
        earlier.erase("s1Trk.txt");
        std::filesystem::remove("s1Trk.txt");
        std::filesystem::create_directory("s1Trk.txt");
        Script(c.answers);
        EXPECT_EQ(CodeOf(c.handler), TNX_FAIL_TO_OPEN);
        EXPECT_EQ(FolderFiles(), earlier);
    }
    EXPECT_EQ(Count(Err(), "\ncan't replace s1Trk.txt: Is a directory \n"), static_cast<int>(std::size(cases)));
}

}  // namespace
