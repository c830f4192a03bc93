// Ordination against R's cmdscale (r/structures.R) for every kind of stored matrix, the scores files
// read back, correlation lists, sign alignment, concentration against chisq.test.
#include "classical/TNXORDI.h"
#include "OrdinationFixture.h"

using namespace tnxtest;

namespace {

// cmdscale of the four points: eigenvalues (the scores are kPoints).
const std::vector<double> kEig = {26.54703532483598, 13.16459886124601, 1.78836581391801};

void ExpectCmdscale(const OrdinationScores& s, int level) {
    ASSERT_EQ(s.Axes(level), 3);
    for (int c = 0; c < 4; c++)
        for (int a = 0; a < 3; a++) EXPECT_NEAR(std::fabs(s.Level(level)[c][a]), std::fabs(kPoints[c][a]), 1e-9);
}

using OrdinationTest = StructureTest;

// Every road to squared distances gives cmdscale of the same points: plain distances squared
// (non-hierarchical analyses, options 8 of the hierarchy, probabilities), squared Euclidean
// distances of the hierarchy used as they are, cross products x x' through s_ii + s_jj - 2 s_ij.
// Percentages of the eigenvalues' sum 41.5 in 3 digits.
TEST_F(OrdinationTest, PrincipalCoordinatesMatchCmdscale) {
    const Matrix products = {{0, 0, 0, 0}, {0, 10, 2, 15}, {0, 2, 20, 20}, {0, 15, 20, 50}};
    const struct {
        int hierarchical, option, type;
        Matrix stored;
    } cases[] = {{0, 6, 1, Roots(kSquared)}, {0, 10, 1, Roots(kSquared)}, {1, 6, 1, kSquared},
                 {1, 10, 2, kSquared},       {1, 8, 1, Roots(kSquared)},  {1, 6, 3, Roots(kSquared)},
                 {0, 3, 1, products},        {1, 4, 1, products}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        isHierarchical = c.hierarchical, rese_opt = c.option, reseTypeOrd = c.type;
        Store(3, c.stored);
        std::remove("s1Prinda.txt");
        Ordination();
        OrdinationScores s;
        ASSERT_EQ(s.Levels(), c.hierarchical ? 3 : 1);
        for (int l = 0; l < s.Levels(); l++) ExpectCmdscale(s, l);
        const std::vector<double> eig = LineValues(Read("s1Prinda.txt"), "Eigenvalues:");
        for (int a = 0; a < 3; a++) EXPECT_NEAR(eig.at(a), kEig[a], 1e-9);
        EXPECT_EQ(LineValues(Read("s1Prinda.txt"), "    Percent:"), (std::vector<double>{64, 31.7, 4.31}));
    }
}

// Scores and correlations in the report; the correlations stored after each axis are passed over
// by the reader. Types of level 1: t1 = e1-like 1 2 3 4, t2 = 1 1 1 1 (no variance: 0), t3 = x of
// the points 0 3 0 5; the first axis correlates 0.963965936499353 with e1 (r/structures.R).
TEST_F(OrdinationTest, CorrelationsStoredAndSkippedByTheReader) {
    WriteHie({{1, 2, 3, 4}, {1, 1, 1, 1}, {0, 3, 0, 5}});
    rese_opt = 6, printOrdScores = printOrdCorrelations = 'y';
    Store(1, Roots(kSquared));
    Ordination();
    EXPECT_EQ((Ints{hasVegOrdiCorrel, rcst[0]}), (Ints{1, 3}));
    const std::vector<std::string> sco = Lines(Read("s1Sco.txt"));
    ASSERT_EQ(sco.size(), 1u + 3 * (4 + 3));
    EXPECT_NEAR(std::fabs(std::stod(sco[5])), 0.963965936499353, 1e-6);
    EXPECT_EQ(std::stod(sco[6]), 0.0);
    ExpectCmdscale(OrdinationScores(), 0);
    EXPECT_EQ(Count(Read("s1Prinda.txt"), "\nAxis  "), 3);  // one line of scores per axis
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "\n\nCorrelation of ordination axes and PFTs:\nLevel of the character "
                                          "hierarchy: 1\nPFT\tAxis 1\tAxis 2\tAxis 3\t\n  1\t"));
}

// Descriptors over 4 objects with axes a = -1 -1 1 1 and b = 1 -1 -1 1: z = 1 -1 1 -1 correlates 0
// with both, and a with b (every sum exact in single precision). Ties of absolute value and zeros
// are listed in label order, each descriptor once (axis 2 has nothing but zeros).
TEST_F(OrdinationTest, HighestCorrelationsInLabelOrder) {
    Matrix axes = {{-1, -1, 1, 1, 0, 0, 0, 0}, {1, -1, -1, 1, 0, 0, 0, 0}};
    double* rows[2] = {axes[0].data(), axes[1].data()};
    const float z[4] = {1, -1, 1, -1}, a[4] = {-1, -1, 1, 1};
    OwnedTable<float> d(4, 4);
    for (int i = 0; i < 4; i++) d[i][0] = z[i], d[i][1] = a[i], d[i][2] = -a[i], d[i][3] = z[i];
    char names[4][4] = {"d1", "d2", "d3", "d4"}, *labels[4] = {names[0], names[1], names[2], names[3]};
    MemoryReport text;
    maxComponents = 2;
    ScoreCorr(text.stream(), 2, 4, rows, d.get(), 4, labels, "PFT", 1);
    ASSERT_TRUE(text.Close());
    const std::string list(text.data(), text.size());
    EXPECT_EQ(list.substr(list.find("PFTs with")), "PFTs with the highest correlation coeficients:\nAxis 1:\nd2:1\td3:-1\t"
                                                   "d1:0\td4:0\t\nAxis 2:\nd1:0\td2:0\td3:0\td4:0\t\n");
    EXPECT_EQ((std::vector<double>(axes[0].begin() + 4, axes[0].end())), (std::vector<double>{0, 1, -1, 0}));
}

// Level 2 the negated level 1: turned over; level 3 at right angles to level 2 on axis 1 (sums of
// squared sums and differences equal): kept; its axis 2 is not compared (level 2 has one axis).
TEST_F(OrdinationTest, OptimalSignAlignsLevels) {
    Matrix l1 = {{1, 2, 0, 0}}, l2 = {{-1, -2, 0, 0}}, l3 = {{2, -1, 0, 0}, {-5, 0, 0, 0}};
    double* rows[4] = {l1[0].data(), l2[0].data(), l3[0].data(), l3[1].data()};
    double** cube[3] = {rows, rows + 1, rows + 2};
    int axes[3] = {1, 1, 2};
    nlev = 3;
    OptimalSign(cube, axes);
    EXPECT_EQ(l2[0], (std::vector<double>{1, 2, 0, 0}));
    EXPECT_EQ(l3, (Matrix{{2, -1, 0, 0}, {-5, 0, 0, 0}}));
}

// A matrix of zeros keeps no axis: the scores file holds the count 0, the report empty vectors.
// The reader refuses an axis count beyond the communities, more levels than the traits and the
// global one, and a file cut short (code 2).
TEST_F(OrdinationTest, NoAxisAndReaderGuards) {
    rese_opt = 6;
    Store(1, Matrix(4, std::vector<double>(4, 0.0)));
    Ordination();
    EXPECT_EQ(Read("s1Sco.txt"), "0 \n");
    EXPECT_EQ(OrdinationScores().Axes(0), 0);
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "Eigenvalues:\t\n    Percent:\t\n"));
    // Axis counts outside 0..4 are refused before their scores, even when the file holds them.
    const std::string twenty = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n";
    const std::string fiveAxes = "5 \n" + twenty, negative = "-1 \n" + twenty;
    for (const char* text : {"5 \n", "1 \n1\n2\n3\n", "1 1 1 1 1 \n", "\n", fiveAxes.c_str(), negative.c_str()}) {
        Write("s1Sco.txt", text);
        EXPECT_EQ(CodeOf([] { OrdinationScores s; }), TNX_END_OF_FILE) << text;
    }
}

// The environmental ordination: cmdscale eigenvalues again, and per axis the 4 scores, the
// correlations with e1 and e2 and a blank line; E itself is not transformed.
TEST_F(OrdinationTest, EnvironmentalScoresFile) {
    Store(1, Roots(kSquared));
    printOrdCorrelations = 'y', envVecTrOpt = 6;  // centred and normalised variables correlate as the raw ones
    OrdinationEnv();
    const std::vector<std::string> esc = Lines(Read("s1ESc.txt"));
    ASSERT_EQ(esc.size(), 1u + 3 * 7);
    EXPECT_EQ(esc[7], "");
    const double sign = std::stod(esc[4]) > 0 ? 1 : -1;  // the sign of an axis is free
    EXPECT_NEAR(sign * std::stod(esc[5]), 0.963965936499353, 1e-6);
    EXPECT_NEAR(sign * std::stod(esc[6]), 0.603165300176550, 1e-6);
    EXPECT_NEAR(LineValues(Read("s1Prinda.txt"), "Eigenvalues:")[0], kEig[0], 1e-9);
    EXPECT_EQ(env[1][1], 7.0f);
}

// Four types by four communities pooled by communities 1 2 3 3 and types 1 2 2 3: the
// chi-squared components sum to chisq.test's statistic of the pooled table, 18.7935632183908.
TEST_F(OrdinationTest, ConcentrationComponentsSumToChiSquared) {
    WriteHie({{5, 1, 0, 2}, {1, 4, 2, 0}, {0, 3, 6, 1}, {2, 0, 1, 7}});
    const int cg[4] = {1, 2, 3, 3}, tg[4] = {1, 2, 2, 3};
    for (int i = 0; i < 4; i++) groupRel[i] = cg[i], groupCst[i] = tg[i];
    whichLevelGrCST = 1, nGroups = nCstGroups = 3;
    for (int g = 0; g < 3; g++) std::snprintf(grLabel[g], 5, "G%d", g + 1), std::snprintf(grCstLabel[g], 5, "T%d", g + 1);
    ConcentrationAn();
    const std::string report = Read("s1Prinda.txt");
    const std::vector<double> chi = LineValues(report, "Chi-squared:");
    ASSERT_EQ(chi.size(), 2u);
    EXPECT_NEAR(chi[0] + chi[1], 18.7935632183908, 1e-4);
    const std::vector<double> percent = LineValues(report, "    Percent:");
    EXPECT_NEAR(percent.at(0) + percent.at(1), 100, 0.1);
    EXPECT_TRUE(Has(report, "are adjusted by block size.\n"));
    const std::vector<std::string> aoc = Lines(Read("s1.AOC"));
    EXPECT_EQ(aoc.size(), 1u + 2 * 6);
    EXPECT_EQ(aoc[0], "2 ");
}

// Types are named by their first species only when asked, and only with a species map.
TEST_F(OrdinationTest, TypesNamedBySpeciesOnlyWhenAsked) {
    EXPECT_EQ(TypeLabels(2, true), (Strings{"1", "2"}));  // no map
    nSpp = 1, spp = dim2Dchar(1, kSpeciesNameSize), cstSppMap = dim2Dchar(tcst, 1);
    std::strcpy(spp[0], "Quercus ilex");
    cstSppMap[1][0] = '1';
    EXPECT_EQ(TypeLabels(2, false), (Strings{"1", "2"}));
    EXPECT_EQ(TypeLabels(2, true), (Strings{"1", "Quer"}));
}

}  // namespace

// What each resemblance option stores, for types and communities: correlations (5), cross products
// (3, 4), squared distances (6, 7 and 10 as the hierarchy stores them; for communities only over a
// hierarchy), plain distances otherwise; probabilities (type 3) are distances whatever the option.
TEST(StoredKinds, EachOptionAsStored) {
    using K = StoredKind;
    const K types[10] = {K::Distances,        K::Distances,        K::CrossProducts, K::CrossProducts,
                         K::Correlations,     K::SquaredDistances, K::SquaredDistances, K::Distances,
                         K::Distances,        K::SquaredDistances};
    const int saved = isHierarchical;
    for (int code = 1; code <= 10; code++) {
        EXPECT_EQ(StoredTypeKind(code), types[code - 1]) << code;
        isHierarchical = 1;
        EXPECT_EQ(StoredCommunityKind(code, 1), types[code - 1]) << code;
        EXPECT_EQ(StoredCommunityKind(code, 3), K::Distances) << code;
        isHierarchical = 0;
        EXPECT_EQ(StoredCommunityKind(code, 1), types[code - 1] == K::SquaredDistances ? K::Distances : types[code - 1])
            << code;
    }
    isHierarchical = saved;
}
