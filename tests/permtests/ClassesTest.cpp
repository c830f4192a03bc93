// The randomization test class: the multi-factor sums of squares and the single statistics
// against vegan (r/classes_manova.R, run offline), probabilities of small designs against
// their exact permutation distributions, restrictions, balancing, means and report texts.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "permtests/qwlibClasses.h"
#include "statistics/StatTestUtil.h"

namespace {

// The 16 units of classes_manova.R: two variables, factors A, B, C (two levels each, two
// replicates per cell) and G (three groups, unbalanced).
const std::vector<std::vector<double>> kX = {{1, 2}, {3, 1}, {2, 4}, {6, 3}, {4, 7}, {5, 5},
                                             {9, 6}, {7, 9}, {2, 1}, {8, 2}, {5, 2}, {5, 6},
                                             {3, 8}, {9, 3}, {6, 7}, {8, 4}};
const std::vector<int> kA = {1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2};
const std::vector<int> kB = {1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2};
const std::vector<int> kC = {1, 1, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2};
const std::vector<int> kG = {1, 1, 2, 3, 2, 3, 1, 3, 2, 2, 1, 3, 3, 1, 2, 1};
char kNames[3][2] = {"A", "B", "C"};
char* kLabels[3] = {kNames[0], kNames[1], kNames[2]};

// A design of points in the plane: factors named A, B, C, Euclidean distances in the lower
// triangle and 1e6 in the upper one (work space the class must restore), the input record.
struct Design {
    int n;
    Mat<double> X, D;
    std::vector<std::vector<int>> factors;
    std::vector<int*> rows;
    manovaInput in;

    Design(std::vector<std::vector<double>> pts, std::vector<std::vector<int>> f)
        : n(int(pts.size())), X(n, 2), D(n, n), factors(std::move(f)) {
        for (int i = 0; i < n; i++) X[i][0] = pts[i][0], X[i][1] = pts[i][1];
        RowDistances(X, D);
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) D[i][j] = 1e6;
        for (auto& g : factors) rows.push_back(g.data());
        in.nUnits = n;
        in.nVars = 2;
        in.distances = D;
        in.data = X;
        in.nFactors = int(factors.size());
        in.groups = rows.data();
        in.factorLabels = kLabels;
        in.initGenerator = true;
        in.seed = 20240611;
    }
};

// Two groups of four points, far apart: only the true partition and its swap reach the observed
// value, so the exact P is 2 / C(8, 4) = 2/70 for every statistic.
Design Separated() {
    return Design({{0, 0}, {1, 0}, {0, 1}, {1, 1}, {10, 10}, {11, 10}, {10, 11}, {11, 12}},
                  {{1, 1, 1, 1, 2, 2, 2, 2}});
}

// The final report (of the test the object ran), optionally with the notes on residuals.
std::string Report(RandomizationTestManova& t, int kind = 0, int* removed = nullptr, bool notes = false) {
    FILE* f = tmpfile();
    t.PrintManovaResults(f, nullptr, 6, kind, removed, notes);
    std::string s = ReadBack(f);
    fclose(f);
    return s;
}

TEST(ManovaClass, SumsOfSquaresOfThreeFactorsEqualAdonis) {
    Design d(kX, {kA, kB, kC});
    d.in.pseudoF = true;
    RandomizationTestManova t(&d.in);
    manovaResults* r = t.GetManovaResults();
    double** Q = r->statistics;
    // adonis2(d ~ A*B*C, by = "terms"): every term has one degree of freedom and the residual
    // eight, so adonis's F is 8 times the pseudo-F Q / Q within.
    const struct { int a, b; double ss, F; } terms[] = {
        {0, 0, 6.0625, 0.580838323353}, {1, 1, 71.5625, 6.85628742515}, {2, 2, 19.5625, 1.87425149701},
        {0, 1, 5.3125, 0.508982035928}, {0, 2, 5.3125, 0.508982035928}, {1, 2, 3.8125, 0.365269461078}};
    for (auto& c : terms) {
        EXPECT_NEAR(Q[c.a][c.b], c.ss, 1e-9) << c.a << "," << c.b;
        EXPECT_NEAR(8 * r->pseudoF[c.a][c.b], c.F, 1e-9) << c.a << "," << c.b;
        EXPECT_EQ(r->probabilities[c.a][c.b], 1.0);  // one iteration: the observed value alone
    }
    EXPECT_NEAR(r->qThirdOrder, 1.0625, 1e-9);
    EXPECT_NEAR(r->qWithin, 83.5, 1e-9);
    EXPECT_NEAR(Q[4][4], 196.1875, 1e-9);
    EXPECT_NEAR(Q[3][3], 196.1875 - 83.5, 1e-9);  // all factors: every term but the residual
    // The upper triangle is work space: on return it mirrors the lower one again.
    for (int i = 0; i < d.n; i++)
        for (int j = i + 1; j < d.n; j++) ASSERT_EQ(d.D[i][j], d.D[j][i]);
}

TEST(ManovaClass, TwoFactorsAndAContrastEqualAdonis) {
    Design d(kX, {kA, kB, kG});
    int counts[] = {0, 0, 1};
    std::vector<double> coef = {1, -1, 0};
    double* gc[] = {coef.data()};
    double** byFactor[] = {nullptr, nullptr, gc};
    d.in.hasContrasts = true;
    d.in.contrastCount = counts;
    d.in.contrastGroups = byFactor;
    RandomizationTestManova t(&d.in);
    manovaResults* r = t.GetManovaResults();
    EXPECT_NEAR(r->statistics[0][1], 5.3125, 1e-9);  // A x B as in adonis2(d ~ A*B)
    EXPECT_NEAR(r->statistics[2][2], 33.7541666667, 1e-9);
    // Contrast (1, -1, 0) of G: the between-group sum of squares of groups 1 and 2 alone.
    EXPECT_NEAR(r->contrasts[2][0][0], 9.5303030303, 1e-9);
    EXPECT_NEAR(r->contrasts[2][0][1], 130.833333333, 1e-8);
    EXPECT_EQ(r->contrasts[2][0][2], 1.0);
    // Probabilities computed elsewhere replace the upper triangle and the contrasts' P.
    Mat<double> P(4, 4);
    P.fill(0.125);
    double c0[] = {0.5}, c2[] = {0.25}, *cp[] = {c0, c0, c2};
    EXPECT_TRUE(t.ReplaceProbabilities(P, cp));
    EXPECT_EQ(r->probabilities[1][3], 0.125);
    EXPECT_EQ(r->contrasts[2][0][2], 0.25);
}

TEST(ManovaClass, SingleStatisticsEqualVegan) {
    // classes_manova.R: mrpp's delta, anosim's R (the class reports R/4), the sum of the
    // per-variable ANOVA F and n ln(SST/SSW) summed over the variables.
    const struct { int statistic; double a, g; } cases[] = {
        {1, 0.903738986956, 3.0213434295},
        {2, 1.00929684036, 6.37223503753},
        {3, 4.81093336066, 4.57787210714},
        {4, -0.0505022321429 / 4, 0.047731092437 / 4},
    };
    for (auto& c : cases) {
        Design d(kX, {kA, kG});
        RandomizationTestManova t(&d.in, c.statistic);
        double** s = t.GetManovaResults()->statistics;
        EXPECT_NEAR(s[0][0], c.a, 1e-10) << c.statistic;
        EXPECT_NEAR(s[1][1], c.g, 1e-10) << c.statistic;
    }
}

TEST(ManovaClass, SeparatedGroupsGiveTheExactProbability) {
    // P = (1 + random values as extreme) / iterations; its expectation is
    // (1 + 1999 x 2/70) / 2000, its standard error sqrt(p (1 - p) / 1999). MRPP counts the
    // smaller values, the others the larger ones: a wrong tail gives P near 1.
    const int iterations = 2000;
    const double p = 2.0 / 70, expect = (1 + (iterations - 1) * p) / iterations;
    const double se = std::sqrt(p * (1 - p) / (iterations - 1));
    for (int statistic = 0; statistic <= 4; statistic++) {
        Design d = Separated();
        d.in.nIterations = iterations;
        std::unique_ptr<RandomizationTestManova> t(statistic == 0 ? new RandomizationTestManova(&d.in)
                                                                   : new RandomizationTestManova(&d.in, statistic));
        manovaResults* r = t->GetManovaResults();
        EXPECT_NEAR(r->probabilities[0][0], expect, 4 * se) << "statistic " << statistic;
        EXPECT_EQ(r->counts[0][0], r->probabilities[0][0] * iterations);
    }
}

TEST(ManovaClass, PermutationsThatKeepTheGroupsGiveOne) {
    // Within nesting groups equal to the factor's groups, or with bundles equal to them, every
    // permutation keeps the partition: every random value ties and P = 1. Free permutations
    // of the same design do not.
    const struct { bool nest, bundles, within; double maxP; } cases[] = {
        {true, false, false, 1.0}, {false, true, false, 1.0}, {true, true, true, 1.0},
        {false, false, false, 0.2}};
    for (auto& c : cases) {
        for (int statistic = 1; statistic <= 4; statistic++) {
            Design d = Separated();
            int groups[] = {1, 1, 1, 1, 2, 2, 2, 2}, whole[] = {1, 1, 1, 1, 1, 1, 1, 1};
            d.in.nIterations = 50;
            d.in.nestingGiven = c.nest;
            d.in.nestingGroups = c.within ? whole : groups;
            d.in.bundlesGiven = c.bundles;
            d.in.bundles = groups;
            d.in.bundlesWithinNesting = c.within;
            RandomizationTestManova t(&d.in, statistic);
            const double P = t.GetManovaResults()->probabilities[0][0];
            EXPECT_TRUE(c.maxP == 1.0 ? P == 1.0 : P < c.maxP) << c.nest << c.bundles << statistic << " " << P;
        }
    }
}

TEST(ManovaClass, UnbalancedBundlesAreReportedNotSilent) {
    Design d = Separated();
    int bundles[] = {1, 1, 1, 2, 2, 2, 3, 3};
    d.in.bundlesGiven = true;
    d.in.bundles = bundles;
    d.in.nIterations = 20;
    RandomizationTestManova multi(&d.in), single(&d.in, 1);
    const std::string want =
        "\nRandomization restrictions:\nUnits randomly permuted as bundles:\t 1 1 1 2 2 2 3 3\n"
        "Unbalanced design. Permutation among bundling blocks is not possible.\n";
    EXPECT_NE(Report(multi).find(want), std::string::npos) << Report(multi);
    EXPECT_NE(Report(single).find(want), std::string::npos);
    bundles[6] = bundles[7] = 2;
    bundles[3] = 1;  // sizes 4 and 4: balanced, no message
    RandomizationTestManova balanced(&d.in);
    EXPECT_EQ(Report(balanced).find("Unbalanced"), std::string::npos);
}

TEST(ManovaClass, OneGroupAndNoIterationGiveZeroAndOne) {
    // A factor with one group contributes 0 (and its interactions too); iterations below 2
    // permute nothing and every P is 1.
    for (int iterations : {0, 1, 40}) {
        Design d(kX, {std::vector<int>(16, 7), kB});
        d.in.nIterations = iterations;
        RandomizationTestManova multi(&d.in);
        manovaResults* r = multi.GetManovaResults();
        EXPECT_EQ(r->statistics[0][0], 0.0);
        EXPECT_EQ(r->statistics[0][1], 0.0);
        EXPECT_EQ(r->probabilities[0][0], 1.0);
        EXPECT_EQ(r->probabilities[0][1], 1.0);
        for (int statistic = 1; statistic <= 5; statistic++) {
            RandomizationTestManova single(&d.in, statistic);
            EXPECT_EQ(single.GetManovaResults()->statistics[0][0], 0.0);
            EXPECT_EQ(single.GetManovaResults()->probabilities[0][0], 1.0);
            const double pB = single.GetManovaResults()->probabilities[1][1];
            EXPECT_TRUE((iterations > 1 && statistic < 5) || pB == 1.0) << statistic;
        }
    }
}

TEST(ManovaClass, PseudoFWithoutWithinVariationTiesOnlyWithInfinity) {
    // Points a, a, b, b in groups 1, 1, 2, 2: Q within is 0 and F = +inf. Of the 24
    // arrangements, the 8 that keep (or swap) the pairs give +inf again; the others a finite F.
    const int iterations = 3000;
    Design d({{0, 0}, {0, 0}, {3, 4}, {3, 4}}, {{1, 1, 2, 2}});
    d.in.pseudoF = true;
    d.in.nIterations = iterations;
    RandomizationTestManova t(&d.in);
    manovaResults* r = t.GetManovaResults();
    EXPECT_TRUE(std::isinf(r->pseudoF[0][0]));
    const double p = 1.0 / 3, expect = (1 + (iterations - 1) * p) / iterations;
    EXPECT_NEAR(r->probabilities[0][0], expect, 4 * std::sqrt(p * (1 - p) / iterations));
}

TEST(ManovaClass, BalancingMovesOnlyTheDrawnUnits) {
    // Cells of sizes 3 and 1: each permutation draws one unit of the large cell and the single
    // one, so at most two units leave their place, and each line is an arrangement of all.
    Design d({{0, 0}, {1, 0}, {0, 2}, {5, 5}}, {{1, 1, 1, 2}});
    char u0[] = "u0", u1[] = "u1", u2[] = "u2", u3[] = "u3";
    char* units[] = {u0, u1, u2, u3};
    d.in.unitLabels = units;
    d.in.balance = true;
    d.in.intermediateTables = true;
    d.in.nIterations = 60;
    d.in.reportFile = tmpfile();
    RandomizationTestManova t(&d.in);
    std::istringstream lines(ReadBack(d.in.reportFile));
    fclose(d.in.reportFile);
    std::string line;
    int seen = 0, moved = 0;
    while (std::getline(lines, line)) {
        if (line.find("u0") == std::string::npos && line.find("u3") == std::string::npos) continue;
        std::vector<std::string> cells;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, '\t');) cells.push_back(c);
        ASSERT_EQ(cells.size(), 6u) << line;  // A, all factors, four units
        std::set<std::string> distinct(cells.begin() + 2, cells.end());
        EXPECT_EQ(distinct.size(), 4u) << line;
        int out = 0;
        for (int i = 0; i < 4; i++) out += cells[2 + i] != "u" + std::to_string(i);
        EXPECT_LE(out, 2) << line;
        moved += out;
        seen++;
    }
    EXPECT_EQ(seen, 60);
    EXPECT_GT(moved, 0);
    // A contrast (1, -1) under balancing permutes one unit of each side: the arrangement stays
    // (a tie) or the far unit joins the large group (smaller Q), so P -> 1/2. Without
    // balancing the four units are permuted and the far unit stays in place in 1/4 of them.
    int count[] = {1};
    double coef[] = {1, -1}, *gc[] = {coef}, **byFactor[] = {gc};
    d.in.hasContrasts = true;
    d.in.contrastCount = count;
    d.in.contrastGroups = byFactor;
    d.in.intermediateTables = false;
    d.in.nIterations = 400;
    for (bool balance : {true, false}) {
        d.in.balance = balance;
        RandomizationTestManova c(&d.in);
        const double p = balance ? 0.5 : 0.25;
        EXPECT_NEAR(c.GetManovaResults()->contrasts[0][0][2], (1 + 399 * p) / 400,
                    4 * std::sqrt(p * (1 - p) / 399)) << balance;
    }
}

TEST(ManovaClass, MeanVectorsSkipMissingValues) {
    Design d(kX, {kA, kB});
    d.X[1][0] = -999;
    d.in.computeMeans = true;
    RandomizationTestManova t(&d.in);
    double*** m = t.GetManovaResults()->means;
    // A = 1, units 0..7 without unit 1 in the first variable: (1+2+6+4+5+9+7)/7 = 34/7, and
    // (2+1+4+3+7+5+6+9)/8 = 37/8. A = 2: 46/8 and 33/8. Cell A1 x B1 (units 0..3): 9/3, 10/4.
    ExpectVec(m[0][0], {34.0 / 7, 37.0 / 8});
    ExpectVec(m[0][1], {46.0 / 8, 33.0 / 8});
    ExpectVec(m[3][0], {9.0 / 3, 10.0 / 4});
    const std::string report = Report(t);
    EXPECT_NE(report.find("\nMean vectors of each group:\nFactor A:\nGroup 1 (n=8):\t"), std::string::npos);
    EXPECT_NE(report.find("Interaction factors A x B:\nGroup 1 x 1 (n=4):\t"), std::string::npos);
    EXPECT_NE(report.find("Group 2 x 2 (n=4):\t"), std::string::npos);
}

TEST(ManovaClass, MultiFactorTableTexts) {
    Design d(kX, {kA, kB});
    RandomizationTestManova t(&d.in);
    const std::string rule78(78, '-');
    // Q from classes_manova.R (two factors), P = 1 after one iteration.
    const std::string want = "\nPermuted data were vectors of raw data."
        "\nRandomization restrictions:none\n"
        "\n\nSource of variation   \tSum of squares(Q)   \t P(QbNULL>=Qb)\n" +
        rule78 + "\n\nFactor A: \nBetween groups        \t              6.0625\t1\n" +
        rule78 + "\n\nFactor B: \nBetween groups        \t             71.5625\t1\n" +
        rule78 + "\nA         x B        \t              5.3125\t1\n" +
        rule78 + "\nBetween groups        \t             82.9375\t1\n"
        "Within groups         \t              113.25\n" +
        rule78 + "\nTotal                 \t             196.188\n";
    const std::string report = Report(t);
    EXPECT_NE(report.find(want), std::string::npos) << report;
    EXPECT_EQ(report.find("RANDOMIZATION TEST\n"), 81u);
    EXPECT_NE(report.find("Number of random permutations plus observed data set: 1\n"
                          "Random number generation initializer: 20240611\n"
                          "Group partition of sampling units:\nSampling units:    1 2 3"),
              std::string::npos);
    EXPECT_NE(report.find("\nFactor B: \nGroups:" + std::string(11, ' ') + " 1 1 1 1 2 2 2 2 1 1"),
              std::string::npos);
    int removed[] = {1, 2};
    const std::string notes = Report(t, 2, removed, true);
    EXPECT_NE(notes.find("data were vectors of residuals (effects of factors A and B were removed).\nVectors of raw"),
              std::string::npos);
    EXPECT_NE(notes.find("\t P(QbNULL>=Qb) *\n"), std::string::npos);
    // The factor whose effect was removed goes by its label, 1 and 2 of the two factors; a number
    // that is no factor goes by itself, 0 below them and 3 past them (the label array holds a
    // third, "C", past the two factors: read, it would name factor 3).
    const struct {
        int factor;
        const char* name;
    } residuals[] = {{0, "0"}, {1, "A"}, {2, "B"}, {3, "3"}};
    for (const auto& r : residuals) {
        int factor[] = {r.factor};
        EXPECT_NE(Report(t, 1, factor).find("\nPermuted data were vectors of residuals (effect of factor " +
                                            std::string(r.name) + " was removed).\n"),
                  std::string::npos)
            << r.factor;
    }
}

TEST(ManovaClass, BlockFactorAndIncompletePairs) {
    // Block factor A: its interaction with B is pooled into the within term,
    // 113.25 + 5.3125 (classes_manova.R); A's row shows Q only; no pair, no all-factor row.
    Design d(kX, {kA, kB});
    d.in.blockFactor = 1;
    d.in.pseudoF = true;
    RandomizationTestManova t(&d.in);
    EXPECT_NEAR(t.GetManovaResults()->qWithin, 118.5625, 1e-9);
    EXPECT_EQ(t.GetManovaResults()->probabilities[0][1], 1.0);  // pooled, not tested
    EXPECT_NEAR(t.GetManovaResults()->pseudoF[1][1], 71.5625 / 118.5625, 1e-12);
    const std::string report = Report(t);
    EXPECT_NE(report.find("\nFactor A: \nBetween groups        \t              6.0625\t\n"), std::string::npos)
        << report;
    EXPECT_EQ(report.find(" x "), std::string::npos);
    EXPECT_EQ(report.find("82.9375"), std::string::npos);
    // Levels 1 x {1, 2} and 2 x {3}: three of the six combinations.
    Design e(kX, {kA, {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3}});
    RandomizationTestManova u(&e.in);
    EXPECT_NE(Report(u).find("\t1\nWarning! Data do not contain all the combinations of levels for these factors.\n"),
              std::string::npos);
    EXPECT_EQ(Report(t).find("Warning!"), std::string::npos);
}

TEST(ManovaClass, SingleStatisticReportTexts) {
    Design d = Separated();
    d.in.nIterations = 2;
    d.in.printIntermediate = true;
    d.in.portuguese = true;
    d.in.reportFile = tmpfile();
    RandomizationTestManova t(&d.in, 4);
    const std::string inter = ReadBack(d.in.reportFile);
    fclose(d.in.reportFile);
    const std::string rule78(78, '-');
    // Ranks: the 12 within pairs take ranks 1..12 (mean 6.5), the 16 between ones 13..28 (mean
    // 20.5), so the quarter of R is (20.5 - 6.5) / 28 / 2 = 0.25.
    EXPECT_NE(inter.find("TESTE DE ALEATORIZACAO\nRESULTADOS INTERMEDIARIOS Permutacao 1\n"), std::string::npos);
    EXPECT_NE(inter.find("\n(*) Probabilidades P geradas para a estatistica de ANOSIM (R, Wemble 1993).\n"
                         "\nRandomization restrictions:none\n" + rule78 + "\nFator A:\nANOSIM R/4:\t0.25\tFreq(R_Rnd>=R):\t1\n"),
              std::string::npos) << inter;
    EXPECT_NE(inter.find("RESULTADOS INTERMEDIARIOS Permutacao 2\n" + std::string(79, '-') + "\n\n(*)"),
              std::string::npos);
}

}  // namespace

TEST(ManovaClass, RunAgainInItsOwnBuffersRepeatsTheTestOfItsRecordOnly) {
    // The same record and seed give the same draws, so every count repeats; another record, or an
    // object of the single-statistic test, is refused with nothing run.
    Design d = Separated();
    d.in.nIterations = 200;
    RandomizationTestManova t(&d.in);
    const double first = t.GetManovaResults()->counts[0][0];
    Design other = Separated();
    EXPECT_FALSE(t.RandomizationTestManova_NotThreadSafe(&other.in));
    d.in.nIterations = 1;  // the record's new values are read: only the observed arrangement
    EXPECT_TRUE(t.RandomizationTestManova_NotThreadSafe(&d.in));
    EXPECT_EQ(t.GetManovaResults()->counts[0][0], 1);
    d.in.nIterations = 200;
    EXPECT_TRUE(t.RandomizationTestManova_NotThreadSafe(&d.in));
    EXPECT_EQ(t.GetManovaResults()->counts[0][0], first);
    EXPECT_GT(first, 1);
    RandomizationTestManova single(&d.in, 1);
    EXPECT_FALSE(single.RandomizationTestManova_NotThreadSafe(&d.in));
}
