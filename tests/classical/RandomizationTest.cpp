// The randomisation tests through their handler: the relocation Mantel test against vegan and the
// exact distribution over every order (r/randomization.R), the resemblance test checked against
// its own random-data file, the probabilities file read back, repeatability, and the guards.
#include <algorithm>
#include <functional>
#include <map>
#include <numeric>
#include <regex>
#include <set>

#include "classical/tnxRnd.h"
#include "common/ErrorCode.h"
#include "RandomizationFixture.h"
#include "session/TNXIFHAND.h"
#include "traits/TNXHIERRESE.h"

using namespace tnxtest;

namespace {

using Grid = std::vector<std::vector<float>>;

// A formatted data file by hand, in the layout of the session tests' data set: quantitative traits
// tr1.. of whole values, the OTUs' performances (rows) in communities c1.., and the variable e1.
std::string Survey(const std::vector<Ints>& B, const Grid& W, const std::vector<float>& e1) {
    const size_t p = B[0].size(), n = W[0].size();
    std::string s = "d \n" + std::to_string(p) + " \n", types, groups, states, labels, zeros;
    for (size_t k = 0; k < p; k++) {
        s += "tr" + std::to_string(k + 1) + "\t";
        types += " 3\t", groups += "0\t", states += " 5\t";
    }
    s += "\n" + types + "\n" + groups + "\n" + states + "\n" + std::to_string(n) + " \n";
    for (size_t c = 0; c < n; c++) labels += "c" + std::to_string(c + 1) + "\t", zeros += "0\t";
    s += labels + "\n" + std::to_string(B.size()) + " \n" + zeros + "\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n";
    for (const Ints& row : B) {
        for (int v : row) s += std::to_string(v) + "\t";
        s += "\n";
    }
    s += "\n";
    for (const auto& row : W) {
        for (float v : row) s += FormatText("%g\t", v);
        s += "\n";
    }
    s += "\n1 \n97Sep08 \n1 \n3\t\ne1\t\nE \n";
    for (float v : e1) s += FormatText("%g\t", v);
    return s + "\n0 \nSMW 1\n0\n0\nMon Jan  1 00:00:00 2024\n";
}

// The stored resemblance file of a square matrix: upper triangle with the diagonal, row by row.
std::string Stored(const Matrix& m) {
    std::string s;
    for (size_t i = 0; i < m.size(); i++)
        for (size_t j = i; j < m.size(); j++) s += FormatText("%.17g\n", m[i][j]);
    return s;
}

// The resemblances the trait hierarchy gives by option 6 at its level 1 when every OTU has codes
// of its own (each OTU its own type): the squared Euclidean distance of two communities' columns of
// W (OTUs x communities) divided by the grand total of W.
Matrix SquaredOverTotal(const Grid& W) {
    const size_t n = W[0].size();
    double total = 0;
    for (const auto& row : W) total += std::accumulate(row.begin(), row.end(), 0.0);
    Matrix m(n, std::vector<double>(n, 0.0));
    for (size_t a = 0; a < n; a++)
        for (size_t b = 0; b < n; b++)
            for (const auto& row : W) m[a][b] += (row[a] - row[b]) * (row[a] - row[b]) / total;
    return m;
}

// The session's W as loaded (OTUs x communities).
Grid LoadedW() {
    Grid W(tcst, std::vector<float>(ncsm));
    for (int o = 0; o < tcst; o++) std::copy(cadat[o], cadat[o] + ncsm, W[o].begin());
    return W;
}

// The n lines after the first line equal to `title` (from position `from`), as numbers.
Matrix Block(const std::string& text, const std::string& title, int n, size_t from = 0) {
    const size_t p = text.find("\n" + title + "\n", from);
    EXPECT_NE(p, std::string::npos) << title;
    if (p == std::string::npos) return {};
    const std::vector<std::string> lines = Lines(text.substr(p + title.size() + 2));
    Matrix m;
    for (int i = 0; i < n && i < int(lines.size()); i++) m.push_back(Numbers(lines[i]));
    return m;
}

// The report without its time-stamp and elapsed-time lines.
std::string Steady(const std::string& report) {
    std::string s;
    for (const std::string& line : Lines(report))
        if (line.rfind("Elapsed time: ", 0) != 0 && line.size() != 24) s += line + "\n";
    return s;
}

class RandomizationTest : public RandomizationFixture {
protected:
    // Loads a survey as the session's data, every community selected.
    static void Load(const std::string& formda) {
        Write("s2Formda.txt", formda);
        LoadFormda("s2Formda.txt");
        for (int c = 0; c < ncsm; c++) relSelect[c] = 1;
    }
    // The test of kind `kind` on the answers of its dialog.
    bool Test(int kind, const std::string& answers) {
        rndTestOpt = kind;
        return Run(answers, IFRandomization);
    }
};

// Five points in the plane (their Euclidean distances are the stored resemblance) and e1.
const Matrix kPlane = {{0, 0}, {1, 3}, {4, 1}, {2, 5}, {6, 6}};
const std::vector<float> kE1 = {1, 3, 2, 5, 4};

Matrix Distances() {
    Matrix d(5, std::vector<double>(5));
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 5; j++) d[i][j] = std::hypot(kPlane[i][0] - kPlane[j][0], kPlane[i][1] - kPlane[j][1]);
    return d;
}

// Pearson correlation of the upper triangles of a (communities relocated by m) and b.
double Correlation(const Matrix& a, const std::vector<int>& m, const Matrix& b) {
    std::vector<double> x, y;
    for (int i = 0; i < 5; i++)
        for (int j = i + 1; j < 5; j++) x.push_back(a[m[i]][m[j]]), y.push_back(b[i][j]);
    const double mx = std::accumulate(x.begin(), x.end(), 0.0) / x.size();
    const double my = std::accumulate(y.begin(), y.end(), 0.0) / y.size();
    double sxy = 0, sxx = 0, syy = 0;
    for (size_t k = 0; k < x.size(); k++)
        sxy += (x[k] - mx) * (y[k] - my), sxx += (x[k] - mx) * (x[k] - mx), syy += (y[k] - my) * (y[k] - my);
    return sxy / std::sqrt(sxx * syy);
}

class RelocationTest : public RandomizationTest {
protected:
    void SetUp() override {
        RandomizationTest::SetUp();
        Load(Survey({{1}, {2}, {3}}, {{1, 0, 1, 0, 2}, {0, 1, 1, 1, 0}, {3, 0, 0, 1, 1}}, kE1));
        Write("s1NRe.txt", Stored(Distances()));
    }
};

// The observed function 1 is vegan's mantel statistic, 0.368616273721501 (r/randomization.R). Of the
// 120 orders of the communities 30 give |r| at least the observed one (R and the enumeration here
// agree): the exact P is 0.25, and 4000 iterations land within 3 binomial standard errors of it.
// The probability goes to "PRo.txt"; no "PrN.txt".
TEST_F(RelocationTest, MantelStatisticAndExactProbability) {
    const Matrix d = Distances();
    Matrix De(5, std::vector<double>(5));
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 5; j++) De[i][j] = std::fabs(kE1[i] - kE1[j]);
    std::vector<int> m = {0, 1, 2, 3, 4};
    const double r0 = Correlation(d, m, De);
    int extreme = 0, orders = 0;
    do {
        extreme += std::fabs(Correlation(d, m, De)) >= std::fabs(r0) * (1 - 1e-7);
        orders++;
    } while (std::next_permutation(m.begin(), m.end()));
    ASSERT_EQ(orders, 120);
    ASSERT_EQ(extreme, 30);
    const double exact = extreme / 120.0;

    const int n = 4000;
    EXPECT_TRUE(Test(3, FormatText("%d\n2\n7\nn\n", n)));
    const std::vector<double> row = LineValues(Read("s1Prinda.txt"), "Level   1\t");
    ASSERT_EQ(row.size(), 2u);
    EXPECT_NEAR(row[0], 0.368616273721501, 1e-9);
    EXPECT_NEAR(row[1], exact, 3 * std::sqrt(exact * (1 - exact) / n));
    EXPECT_NEAR(std::stod(Read("s1PRo.txt")), row[1], 1e-12);
    EXPECT_EQ(hasProbRo, 1);
    EXPECT_STREQ(whichProbRo, "s1PRo.txt");
    EXPECT_EQ(hasProbN, 0);
    EXPECT_STREQ(whichProbN, "NULL");
    EXPECT_FALSE(std::filesystem::exists("s1PrN.txt"));
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "Reference set option: 4 (random community location hypothesis)\n"
                                          "Number of iterations: 4000\nRandom generator seed: 7\n\n\n"
                                          "Probabilities P(Xo >= X) for structure evaluation:\nStructure "
                                          "evaluation function: 1 (congruence community/environmental resemblance)\n"
                                          "Based on nominal resemblances.\n \tSEF\tProbability\nLevel   1\t"));
    EXPECT_TRUE(Has(Out(), "\n\nResults appended to file s1Prinda.txt\n"));
}

// A single iteration is the observed order alone: P = 1. The distributions question is not asked.
// Trait redundancy (function 4) compares each level with the one before; the first has none and is
// 1 in every relocation: its SEF is 1 and its probability 1, whatever the iterations.
TEST_F(RelocationTest, TraitRedundancyOfTheFirstLevelIsOne) {
    cohe = 4;
    EXPECT_TRUE(Test(3, "5\n2\n7\nn\n"));
    EXPECT_EQ(LineValues(Read("s1Prinda.txt"), "Level   1\t"), (std::vector<double>{1.0, 1.0}));
}

TEST_F(RelocationTest, OneIterationGivesOne) {
    reseTypeEv = 3;
    EXPECT_TRUE(Test(3, "1\n2\n7\n"));
    EXPECT_EQ(LineValues(Read("s1Prinda.txt"), "Level   1\t")[1], 1.0);
    EXPECT_EQ(reseTypeEv, 3);  // the evaluation's own type comes back
}

// Groups that leave no pair to compare: the function is undefined, no probability is written.
// A function the test does not take is refused before any iteration.
TEST_F(RelocationTest, UndefinedAndRefusedFunctions) {
    cohe = 3, nGroups = 1;
    for (int c = 0; c < 5; c++) groupRel[c] = 1;
    std::strcpy(grLabel[0], "g1");
    EXPECT_TRUE(Test(3, "20\n2\n7\nn\n"));
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "Level   1\tundefined\t\n"));
    EXPECT_FALSE(std::filesystem::exists("s1PRo.txt"));
    EXPECT_EQ(hasProbRo, 0);
    std::remove("s1Prinda.txt");
    const size_t before = Out().size();
    for (int f : {2, 5, 6, 7}) {
        cohe = f;
        EXPECT_TRUE(Test(3, "20\n2\n7\nn\n"));
        EXPECT_FALSE(std::filesystem::exists("s1Prinda.txt")) << f;
        EXPECT_FALSE(std::filesystem::exists("s1PRo.txt")) << f;
    }
    EXPECT_EQ(Count(Err(), "\nThe randomization test evaluates structures by function 1, 3 or 4 only.\n"), 4);
    EXPECT_FALSE(Has(Out().substr(before), "Results appended"));
}

// Function 3 on two groups {c1, c2, c3} and {c4, c5}: the level's value is lower-tailed, and so is
// the one pairwise contrast, which equals the level's value here (the same two groups).
TEST_F(RelocationTest, GroupDivergenceIsLowerTailed) {
    cohe = 3, nGroups = 2;
    const int groups[5] = {1, 1, 1, 2, 2};
    std::copy(groups, groups + 5, groupRel);
    std::strcpy(grLabel[0], "g1"), std::strcpy(grLabel[1], "g2");
    saveRndData = 'y', dirtyOrig = 0;
    nenv = 0;  // the groups need no variable: the random-data file lists none
    EXPECT_TRUE(Test(3, "400\n2\n7\nn\n"));
    nenv = 1;
    EXPECT_EQ(dirtyOrig, 1);
    const std::string data = Read("s1RDa.txt");
    EXPECT_EQ(data.rfind("Observed data:\n\nEnvironmental matrix:\n\nObserved resemblance matrix:\n", 0), 0u);
    EXPECT_TRUE(Has(data, "\nObserved group pairwise SEF:\n"));
    EXPECT_TRUE(Has(data, "\nRandom pairwise group SEF, iteration 400:\n"));
    const std::string report = Read("s1Prinda.txt");
    EXPECT_TRUE(Has(report, "Probabilities P(X <= Xo) for structure evaluation:\n"));
    EXPECT_TRUE(Has(report, "\nAll pairwise group contrasts:\nProbabilities P(X <= Xo) below the diagonal.\n"));
    const std::vector<double> level = LineValues(report, "Level   1\t");
    const Matrix pairs = Block(report, "Level 1: ", 2);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_NEAR(pairs[0][1], level[0], 1e-6);
    EXPECT_EQ(pairs[1][0], level[1]);
    EXPECT_GE(level[1], 1.0 / 400);
    EXPECT_LE(level[1], 1.0);
}

// The resemblance test on the session tests' data set: 5 OTUs of distinct traits (types at every
// level are the OTUs), each community holding 3 of them with performance 1. The stored matrix is
// the one the test computes again: c1..c4 hold the OTUs {1 3 5}, {2 3 5}, {1 4 5}, {2 4 5}, at
// squared distances 2 (c1-c2, c1-c3, c2-c4, c3-c4) or 4 (c1-c4, c2-c3) over the grand total 12.
class ResemblanceTest : public RandomizationTest {
protected:
    void SetUp() override {
        RandomizationTest::SetUp();
        const Matrix stored = SquaredOverTotal(LoadedW());
        ASSERT_NEAR(stored[0][1], 1.0 / 6, 1e-15);
        ASSERT_NEAR(stored[0][3], 1.0 / 3, 1e-15);
        Write("s1NRe.txt", Stored(stored));
        saveRndData = 'y';
    }
    // The 4 x 4 table of the report: resemblances above, probabilities below the diagonal.
    static Matrix Table() {
        return Block(Read("s1Prinda.txt"), "Nominal resemblances (upper half), probabilities (below diagonal):", 4);
    }
};

// Every probability is (1 + the random values not above the observed one) / niter, counted here
// from the random-data file: all lie in [1/niter, 1], and a pair whose random values all lie above
// the observed one gets 1/niter. "PrN.txt" read back gives the reported probabilities, with its
// zero diagonal.
TEST_F(ResemblanceTest, ProbabilitiesCountTheObservedValue) {
    // With seed 10 one pair lies further apart in each of the four random data sets than observed.
    const int niter = 5;
    EXPECT_TRUE(Test(1, FormatText("1\n1\n%d\n2\n10\nn\nn\n", niter)));
    const std::string data = Read("s1RDa.txt");
    const Matrix observed = Block(data, "Observed resemblance matrix:", 4), table = Table();
    ASSERT_EQ(table.size(), 4u);
    std::vector<Matrix> random;
    for (int it = 2; it <= niter; it++)
        random.push_back(Block(data, FormatText("Random resemblance matrix, iteration %d:", it), 4));
    int allAbove = 0;
    for (int i = 0; i < 4; i++)
        for (int j = i + 1; j < 4; j++) {
            int notAbove = 0;
            for (const Matrix& r : random) notAbove += r[i][j - i] <= observed[i][j - i] + 1e-12;
            const double p = table[j][i];
            EXPECT_NEAR(p, (1.0 + notAbove) / niter, 1e-12) << i << " " << j;
            EXPECT_GE(p, 1.0 / niter - 1e-11);  // the report prints 12 digits
            EXPECT_LE(p, 1.0);
            EXPECT_NEAR(table[i][j], observed[i][j - i], 1e-12);
            allAbove += notAbove == 0;
        }
    EXPECT_GE(allAbove, 1);
    EXPECT_EQ(hasProbN, 1);
    EXPECT_STREQ(whichProbN, "s1PrN.txt");
    EXPECT_TRUE(Has(Read("s1Prinda.txt"), "\nProbabilities P(X <= Xo) are given below the diagonal.\n"
                                          "Nominal resemblances (X) (option 6) are given in the upper half matrix.\n"));

    nlev = 1;
    OwnedTable<double> back(4, 4);
    double** levels[1] = {back.get()};
    double*** saved = rese;
    rese = levels;
    ReadResemblance(3, false);
    rese = saved;
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(back[i][i], 0.0);
        for (int j = i + 1; j < 4; j++) EXPECT_NEAR(back[i][j], table[j][i], 1e-6);
    }
}

// One iteration: every probability is 1, and neither the deviations nor the distributions are asked.
TEST_F(ResemblanceTest, OneIterationGivesOne) {
    EXPECT_TRUE(Test(1, "1\n1\n1\n2\n4\n"));
    const Matrix table = Table();
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < i; j++) EXPECT_EQ(table[i][j], 1.0);
    EXPECT_FALSE(Has(Out(), "frequency distributions"));
}

// The same seed gives the same report section (time lines aside), random-data file and
// distributions file; the distributions hold one line pair per pair of communities after the class
// count. Two iterations give finite deviations.
TEST_F(ResemblanceTest, SameSeedSameFiles) {
    EXPECT_TRUE(Test(1, "1\n2\n9\n2\n21\ny\ny\n"));
    const std::string report = Read("s1Prinda.txt"), data = Read("s1RDa.txt"), rnd = Read("s1.Rnd");
    EXPECT_TRUE(Test(1, "1\n2\n9\n2\n21\ny\ny\n"));
    const std::string twice = Read("s1Prinda.txt");
    ASSERT_EQ(twice.substr(0, report.size()), report);
    EXPECT_EQ(Steady(twice.substr(report.size())), Steady(report));
    EXPECT_EQ(Read("s1RDa.txt"), data);
    EXPECT_EQ(Read("s1.Rnd"), rnd);
    EXPECT_EQ(Lines(rnd).size(), 1u + 2 * 6);
    EXPECT_EQ(Lines(rnd)[0], "2");  // a tenth of 9 values, at least 2 classes
    EXPECT_TRUE(Has(Out(), "Null frequency distributions on file s1.Rnd\nRun option F to draw histograms\n"));
    EXPECT_TRUE(Has(report, "Richness in random community = richness in observed community\n"
                            "Performance total in random community variable\n"));

    std::remove("s1Prinda.txt");
    EXPECT_TRUE(Test(1, "1\n1\n2\n2\n3\ny\nn\n"));
    const Matrix sd = Block(Read("s1Prinda.txt"), "Standard deviations of random resemblances:", 4);
    for (const auto& row : sd)
        for (double v : row) {
            EXPECT_TRUE(std::isfinite(v));
            EXPECT_GE(v, 0.0);
        }
}

// The average and the standard deviation of each pair's resemblances over the iterations, the
// observed one among them (sums start with it), recounted from the random-data file: mean = S / n
// and sd = sqrt((SS - S^2 / n) / (n - 1)) over n = 5 values.
TEST_F(ResemblanceTest, MeansAndDeviationsOverTheObservedAndRandomValues) {
    const int niter = 5;
    EXPECT_TRUE(Test(1, FormatText("1\n2\n%d\n2\n10\ny\nn\n", niter)));
    const std::string data = Read("s1RDa.txt"), report = Read("s1Prinda.txt");
    std::vector<Matrix> values = {Block(data, "Observed resemblance matrix:", 4)};
    for (int it = 2; it <= niter; it++)
        values.push_back(Block(data, FormatText("Random resemblance matrix, iteration %d:", it), 4));
    const Matrix mean = Block(report, "Average random resemblances:", 4);
    const Matrix sd = Block(report, "Standard deviations of random resemblances:", 4);
    int spread = 0;
    for (int i = 0; i < 4; i++)
        for (int j = i + 1; j < 4; j++) {
            double S = 0, SS = 0;
            for (const Matrix& m : values) S += m[i][j - i], SS += m[i][j - i] * m[i][j - i];
            const double m = S / niter, d = std::sqrt(std::max(0.0, (SS - S * S / niter) / (niter - 1)));
            EXPECT_NEAR(mean[i][j - i], m, 1e-9) << i << " " << j;
            EXPECT_NEAR(sd[i][j - i], d, 1e-9) << i << " " << j;
            spread += d > 1e-6;
        }
    EXPECT_GE(spread, 1);  // some pair varies, so the divisor shows
}

// Fuzzy types sharpened by a degree of fuzziness of 0.01: the types' similarities below 1 (0.75 and
// less here) vanish (0.75^100 < 1e-12), so global and pairwise fuzzy sets give the crisp resemblances.
TEST_F(ResemblanceTest, SharpFuzzySetsGiveTheCrispResemblances) {
    const std::string answers = "1\n1\n3\n2\n4\nn\nn\n";
    EXPECT_TRUE(Test(1, answers));
    const Matrix crisp = Table();
    const float saved = fuzziness;
    for (int kind : {1, 2}) {
        std::remove("s1Prinda.txt");
        fuzzy = kind, fuzziness = 0.01f;
        EXPECT_TRUE(Test(1, answers));
        const Matrix table = Table();
        ASSERT_EQ(table.size(), 4u);
        for (int i = 0; i < 4; i++)
            for (int j = i + 1; j < 4; j++) EXPECT_NEAR(table[i][j], crisp[i][j], 1e-12) << kind;
        EXPECT_GT(table[0][1], 0.0);
    }
    fuzzy = 0, fuzziness = saved;
}

// Sixteen OTUs, all in c1 and each alone in one more community: keeping richness, c1 must receive
// every OTU once, which the placement almost never achieves (about 1e-8 of the attempts). After 1000
// failures in a row the test ends with its message: no probabilities, flags as they were.
TEST_F(RandomizationTest, NullModelThatCannotSucceed) {
    std::vector<Ints> B;
    Grid W(16, std::vector<float>(17, 0.0f));
    for (int o = 0; o < 16; o++) B.push_back({o + 1}), W[o][0] = W[o][o + 1] = 1;
    Load(Survey(B, W, std::vector<float>(17, 1.0f)));
    Write("s1NRe.txt", Stored(SquaredOverTotal(W)));  // the matrix the test computes again
    hasProbN = 0;
    EXPECT_TRUE(Test(1, "1\n1\n3\n2\n5\nn\nn\n"));
    EXPECT_EQ(Count(Err(), "\nThe null model could not build a random data set: no probabilities were computed.\n"), 1);
    EXPECT_FALSE(std::filesystem::exists("s1PrN.txt"));
    EXPECT_FALSE(std::filesystem::exists("s1Prinda.txt"));
    EXPECT_EQ(hasProbN, 0);
    EXPECT_STREQ(whichProbN, "NULL");
    EXPECT_FALSE(Has(Out(), "Results appended"));
}

// The kind of the analysis of variance runs nothing here and sets nothing; a missing resemblance
// file is refused in one line before the dialog, and nothing is allocated or written.
TEST_F(RandomizationTest, OtherKindsAndMissingFile) {
    Write("s1NRe.txt", Stored(Matrix(4, std::vector<double>(4, 0.0))));
    empir_opt = 4, dirtyOrig = 0;
    EXPECT_TRUE(Test(2, "5\n2\n3\n"));
    EXPECT_EQ(dirtyOrig, 0);
    EXPECT_EQ(Entries(), 4);  // answers, console, formatted data, stored resemblances, none more
    EXPECT_FALSE(Has(Out(), "Results appended"));
    EXPECT_EQ(hasProbN + hasProbRo, 0);
    std::remove("s1NRe.txt");
    rndTestOpt = 3;
    Script("5\n2\n3\nn\n");
    EXPECT_EQ(CodeOf(IFRandomization), 0);
    EXPECT_EQ(Count(Err(), "\nThis session holds no readable community resemblances.\n"), 1);
    EXPECT_EQ(Entries(), 3);  // the stored resemblances gone, nothing written in their place
    EXPECT_EQ(rese, nullptr);
    EXPECT_EQ(whatRndCh, nullptr);
}

// The resemblance test reports the resemblances it computes again from the trait codes; it runs
// only where they are the stored ones within the stored file's 6 significant digits (1e-5 of the
// larger magnitude plus 1e-6, twice what the two roundings can part). Three OTUs of codes of their
// own in c1 = 3 0 1, c2 = 0 1 0, c3 = 2 2 3 (grand total 12): the hierarchy's option 6 gives the
// squared distances over 12, c1-c2 11 / 12 = 0.916667, c1-c3 9 / 12 = 0.75, c2-c3 14 / 12 =
// 1.16667. The non-hierarchical path stores another matrix under options 6, 7, 9 and 10 (option 6:
// the Euclidean distance, sqrt(11) = 3.31662 for c1-c2), the same formulas under 1, 2, 5 and 8. A
// refused test writes nothing (no report section, probabilities, random data or distributions)
// and changes no flag; one that runs reports the stored values.
TEST_F(RandomizationTest, OnlyTheStoredMatrixIsTested) {
    const Grid W = {{3, 0, 2}, {0, 1, 2}, {1, 0, 3}};
    const std::string survey = Survey({{1}, {2}, {3}}, W, {1, 2, 3});
    const Matrix hierarchy = SquaredOverTotal(W);
    ASSERT_NEAR(hierarchy[0][1], 11.0 / 12, 1e-15);
    ASSERT_NEAR(hierarchy[1][2], 14.0 / 12, 1e-15);
    auto nonHierarchical = [&](int option) {
        rese_opt = option;
        WriteIntermediateW();
        ResemblanceNonHier();
        std::remove("s1Prinda.txt");
    };
    auto byHand = [&](int i, int j, double value) {
        Matrix m = hierarchy;
        m[i][j] = m[j][i] = value;
        Write("s1NRe.txt", Stored(m));
    };
    const double v = 14.0 / 12;
    const double kBound = 1.0000100001000009e-06;
    ASSERT_EQ(kBound, 1e-5 * kBound + 1e-6);
    const std::string head = "\nThe stored resemblances are not those of the trait hierarchy (";
    const std::string tail = "): no probabilities were computed.\n";
    const struct {
        int option;
        std::function<void()> store;
        std::string refusal;  // the line of a refused test ("" when it runs; "?" for its head only)
    } cases[] = {
        {1, [&] { nonHierarchical(1); }, ""},
        {2, [&] { nonHierarchical(2); }, ""},
        {5, [&] { nonHierarchical(5); }, ""},
        {8, [&] { nonHierarchical(8); }, ""},
        {6, [&] { nonHierarchical(6); }, head + "c1-c2: stored 3.31662, recomputed 0.916667" + tail},
        {7, [&] { nonHierarchical(7); }, "?"},
        {9, [&] { nonHierarchical(9); }, "?"},
        {10, [&] { nonHierarchical(10); }, "?"},
        {6, [&] { byHand(0, 1, 11.0 / 12); }, ""},
        {6, [&] { byHand(1, 2, v * (1 + 5e-6)); }, ""},
        {6, [&] { byHand(1, 2, v * (1 - 5e-6)); }, ""},
        {6, [&] { byHand(1, 2, v * (1 + 1.5e-5)); }, head + "c2-c3: stored 1.16668, recomputed 1.16667" + tail},
        {6, [&] { byHand(1, 2, v * (1 - 1.5e-5)); }, head + "c2-c3: stored 1.16665, recomputed 1.16667" + tail},
        {6, [&] { byHand(0, 0, 9e-7); }, ""},
        {6, [&] { byHand(2, 2, -9e-7); }, ""},
        {6, [&] { byHand(0, 0, 2e-6); }, head + "c1-c1: stored 2e-06, recomputed 0" + tail},
        // The double at which |s - 0| equals 1e-5 |s| + 1e-6 exactly (found by stepping through the
        // doubles near 1e-6 / (1 - 1e-5)), and the next one up.
        {6, [&] { byHand(0, 0, kBound); }, ""},
        {6, [&] { byHand(0, 0, std::nextafter(kBound, 1.0)); },
         head + "c1-c1: stored 1.00001e-06, recomputed 0" + tail},
    };
    saveRndData = 'y';
    int refused = 0;
    std::string lines;
    for (const auto& c : cases) {
        Load(survey);
        c.store();
        Load(survey);  // the data as loaded: the stored matrix's path may have pooled them
        rese_opt = c.option;
        hasProbN = 0;
        std::strcpy(whichProbN, "NULL");
        const Ints flags = ResultFlags();
        const Strings names = ResultNames();
        const std::string stored = Read("s1NRe.txt"), before = Out();
        EXPECT_TRUE(Test(1, "1\n1\n3\n2\n5\ny\ny\n")) << c.option;
        const bool runs = c.refusal.empty();
        for (const char* name : {"s1Prinda.txt", "s1PrN.txt", "s1RDa.txt", "s1.Rnd"})
            EXPECT_EQ(std::filesystem::exists(name), runs) << c.option << " " << name;
        EXPECT_EQ(Read("s1NRe.txt"), stored);
        if (!runs) {
            refused++;
            if (c.refusal != "?") lines += c.refusal;
            EXPECT_EQ(ResultFlags(), flags) << c.option;
            EXPECT_EQ(ResultNames(), names) << c.option;
            EXPECT_STREQ(whichProbN, "NULL");
            EXPECT_FALSE(Has(Out().substr(before.size()), "Results appended")) << c.option;
            continue;
        }
        EXPECT_EQ(hasProbN, 1) << c.option;
        // The reported resemblances are the stored ones.
        const std::vector<double> file = Numbers(stored);
        const Matrix table = Block(Read("s1Prinda.txt"),
                                   "Nominal resemblances (upper half), probabilities (below diagonal):", 3);
        ASSERT_EQ(table.size(), 3u);
        for (int i = 0, k = 0; i < 3; i++)
            for (int j = i; j < 3; j++, k++)
                EXPECT_NEAR(table[i][j], file[k], 1e-5 * std::fabs(file[k]) + 1e-6) << c.option << i << j;
        for (const char* name : {"s1Prinda.txt", "s1PrN.txt", "s1RDa.txt", "s1.Rnd"}) std::remove(name);
    }
    const std::string err = Err();
    EXPECT_EQ(refused, 8);
    EXPECT_EQ(Count(err, head), refused);
    for (size_t p = 0; (p = lines.find(tail)) != std::string::npos; lines.erase(0, p + tail.size()))
        EXPECT_TRUE(Has(err, lines.substr(0, p + tail.size()))) << lines.substr(0, p + tail.size());
}

// The structure evaluation is tested over every pair of communities: asked for adjacent pairs
// only, when no random value would be evaluated, it is refused before any iteration, nothing is
// written and no flag changes. Over every pair it runs.
TEST_F(RelocationTest, AdjacentPairsOnlyAreRefused) {
    double*** saved = rese;
    rese = dim3Double(1, 5, 5);
    const Matrix d = Distances();
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 5; j++) rese[0][i][j] = d[i][j];
    nlev = 1, niter = 50, seedOpt = 2, rseed = 7, doDistrib = 2, empir_opt = 4, rndWindow = 1;
    saveRndData = 'y';
    const long files = Entries();
    for (int adjacent : {0, 2, 1}) {
        rndAdjacent = adjacent;
        const bool runs = adjacent == 1;
        EXPECT_EQ(RandomizationSEF(), runs) << adjacent;
        for (const char* name : {"s1Prinda.txt", "s1PRo.txt", "s1RDa.txt", "s1.Rnd"})
            EXPECT_EQ(std::filesystem::exists(name), runs) << adjacent << " " << name;
        EXPECT_EQ(hasProbRo, runs ? 1 : 0) << adjacent;
        EXPECT_STREQ(whichProbRo, runs ? "s1PRo.txt" : "NULL");
        if (!runs) {
            EXPECT_EQ(Entries(), files);
        }
    }
    free3D(rese, 1, 5);
    rese = saved;
    EXPECT_EQ(Count(Err(), "\nThe randomization test evaluates structures over all pairs of communities only.\n"), 2);
}

// The engine on the session's communities pooled in moving windows: 3 windows of 2 over the 4
// communities are not the 4 communities whose resemblances are stored, so the test is refused and
// writes nothing; with windows of 1 (the communities themselves) it runs.
TEST_F(ResemblanceTest, WindowsAreNotTheStoredCommunities) {
    double*** saved = rese;
    rese = dim3Double(1, ncsm, ncsm);
    whatRndCh = dim1Dint(nch);
    aprioriList = dim2Dint(tcst, nch);
    nlev = nch;
    ReadResemblance(1, false);
    empir_opt = 1, keepRichness = keepReleveTotal = 1, niter = 3, seedOpt = 2, rseed = 5, doDistrib = 0;
    doMeanStOpt = 0, rndAdjacent = 1;
    for (int window : {2, 1}) {
        rndWindow = window;
        EXPECT_EQ(Randomization(), window == 1) << window;
        for (const char* name : {"s1Prinda.txt", "s1PrN.txt", "s1RDa.txt"})
            EXPECT_EQ(std::filesystem::exists(name), window == 1) << window << " " << name;
        EXPECT_EQ(hasProbN, window == 1 ? 1 : 0);
        DialogTest::Load();  // the engine reorders the session's data in place
    }
    free3D(rese, 1, ncsm);
    free2D(aprioriList, tcst);
    free1D(whatRndCh);
    rese = saved, aprioriList = nullptr, whatRndCh = nullptr;
    EXPECT_EQ(Count(Err(), "\nThe stored resemblances are not those of the trait hierarchy (4 communities stored, 3 "
                           "windows tested): no probabilities were computed.\n"),
              1);
}

// The values behind one distribution: its n values in order, their mean and standard deviation.
struct Distribution {
    std::vector<double> values;
    double Mean() const { return std::accumulate(values.begin(), values.end(), 0.0) / values.size(); }
    double Sd() const {
        const double m = Mean();
        double ss = 0;
        for (double x : values) ss += (x - m) * (x - m);
        return std::sqrt(ss / (values.size() - 1));
    }
};

// One distribution as written (k frequencies; k upper limits, the observed value, the probability,
// the mean and the standard deviation) against its values: the classes split [min, max] in k equal
// parts, each value falls in its class (a value on a limit in either of the two), the frequencies
// add up to n, the observed value is the first, mean and deviation are the values'.
void ExpectDistribution(const Distribution& d, const std::vector<double>& freq, const std::vector<double>& rest,
                        double probability, const std::string& what) {
    const size_t k = freq.size(), n = d.values.size();
    ASSERT_EQ(rest.size(), k + 4) << what;
    const double lo = *std::min_element(d.values.begin(), d.values.end());
    const double hi = *std::max_element(d.values.begin(), d.values.end());
    double cumulative = 0;
    for (size_t c = 0; c < k; c++) {
        const double limit = lo + (c + 1) * (hi - lo) / k;
        EXPECT_NEAR(rest[c], limit, 1e-9 * (1 + std::fabs(limit))) << what << " class " << c;
        cumulative += freq[c];
        const double eps = 1e-9 * (1 + std::fabs(limit));
        const auto below = std::count_if(d.values.begin(), d.values.end(), [&](double x) { return x < limit - eps; });
        const auto upTo = std::count_if(d.values.begin(), d.values.end(), [&](double x) { return x <= limit + eps; });
        EXPECT_GE(cumulative, below) << what << " class " << c;
        EXPECT_LE(cumulative, upTo) << what << " class " << c;
    }
    EXPECT_EQ(cumulative, double(n)) << what;
    EXPECT_EQ(rest[k], d.values[0]) << what;
    EXPECT_EQ(rest[k + 1], probability) << what;
    EXPECT_NEAR(rest[k + 2], d.Mean(), 1e-10) << what;
    EXPECT_NEAR(rest[k + 3], d.Sd(), 1e-10) << what;
}

// The distributions file holds, pair by pair in the order of the upper triangle, the observed
// resemblance and each random data set's one (read here from the random-data file, iteration by
// iteration): every iteration's values in their pair's distribution, none in another's.
TEST_F(ResemblanceTest, DistributionsHoldEachIterationsValues) {
    const int n = 4, iterations = 9;
    EXPECT_TRUE(Test(1, FormatText("1\n1\n%d\n2\n21\nn\ny\n", iterations)));
    const std::string data = Read("s1RDa.txt");
    std::vector<Matrix> sets = {Block(data, "Observed resemblance matrix:", n)};
    for (int it = 2; it <= iterations; it++)
        sets.push_back(Block(data, FormatText("Random resemblance matrix, iteration %d:", it), n));
    const Matrix table = Table();
    const std::vector<std::string> rnd = Lines(Read("s1.Rnd"));
    ASSERT_EQ(rnd.size(), 1u + 2 * 6);
    EXPECT_EQ(rnd[0], "2");  // a tenth of 9 values, at least 2 classes
    std::set<std::vector<double>> distinct;
    for (int i = 0, s = 0; i < n; i++)
        for (int j = i + 1; j < n; j++, s++) {
            Distribution d;
            for (const Matrix& m : sets) d.values.push_back(m[i][j - i]);
            ExpectDistribution(d, Numbers(rnd[1 + 2 * s]), Numbers(rnd[2 + 2 * s]), table[j][i],
                               FormatText("pair %d-%d", i + 1, j + 1));
            distinct.insert(d.values);
        }
    EXPECT_GE(distinct.size(), 2u);  // the pairs' distributions can be told apart
}

// The same for the structure evaluation: the observed function and each relocation's, in the
// report's distribution and in the distributions file.
TEST_F(RelocationTest, DistributionHoldsEachIterationsValue) {
    saveRndData = 'y';
    const int iterations = 40;
    EXPECT_TRUE(Test(3, FormatText("%d\n2\n7\ny\n", iterations)));
    const std::string data = Read("s1RDa.txt"), report = Read("s1Prinda.txt");
    Distribution d{{Block(data, "Observed SEF:", 1)[0][0]}};
    for (int it = 2; it <= iterations; it++)
        d.values.push_back(Block(data, FormatText("Random SEF, iteration %d:", it), 1)[0][0]);
    EXPECT_GT(std::set<double>(d.values.begin(), d.values.end()).size(), 5u);
    const double probability = LineValues(report, "Level   1\t")[1];
    const std::vector<std::string> rnd = Lines(Read("s1.Rnd"));
    ASSERT_EQ(rnd.size(), 3u);
    EXPECT_EQ(rnd[0], "4");
    ExpectDistribution(d, Numbers(rnd[1]), Numbers(rnd[2]), probability, "file");
    std::vector<double> rest = LineValues(report, "Upper limits for 4 frequency classes:");
    for (const char* line : {"Observed value:", "Probability:", "Mean:", "Standard deviation:"})
        rest.push_back(LineValues(report, line).at(0));
    ExpectDistribution(d, LineValues(report, "Frequencies in 4 classes:"), rest, probability, "report");
}

}  // namespace

// A missing performance (-999) adds nothing to its type: the resemblance test of W with one cell
// missing is, file for file, the test of the same W with that cell 0, under every keeping of the
// composition null model (the same seed): the observed resemblances are the stored ones of W with
// the 0, the random data sets are drawn from the same occurrences, and no value of either file is
// negative or not a number.
TEST_F(ResemblanceTest, AMissingPerformanceIsTestedAsAnAbsentOne) {
    int otu = -1, community = -1;
    for (int o = 0; o < tcst && otu < 0; o++)
        for (int c = 0; c < ncsm; c++)
            if (cadat[o][c] > 0.0f) {
                otu = o, community = c;
                break;
            }
    ASSERT_GE(otu, 0);
    cadat[otu][community] = 0.0f;
    Write("s1NRe.txt", Stored(SquaredOverTotal(LoadedW())));
    for (const char* keeping : {"1\n1\n", "1\n2\n", "2\n1\n", "2\n2\n"}) {
        SCOPED_TRACE(keeping);
        std::map<float, std::vector<std::string>> files;
        for (float cell : {0.0f, -999.0f}) {
            cadat[otu][community] = cell;
            for (const char* f : {"s1Prinda.txt", "s1RDa.txt", "s1.Rnd", "s1PrN.txt"}) std::remove(f);
            ASSERT_TRUE(Test(1, std::string(keeping) + "9\n2\n17\ny\ny\n"));
            for (const char* f : {"s1Prinda.txt", "s1RDa.txt", "s1.Rnd", "s1PrN.txt"})
                files[cell].push_back(f == std::string("s1Prinda.txt") ? Steady(Read(f)) : Read(f));
        }
        EXPECT_EQ(files[-999.0f], files[0.0f]);
        for (const std::string& text : files[-999.0f]) {
            EXPECT_FALSE(Has(text, "nan"));
            EXPECT_FALSE(std::regex_search(text, std::regex(R"((^|\s)-[0-9])")));  // no negative value
            EXPECT_FALSE(Has(text, "-999"));
        }
    }
}

// Frequency distributions need two values at least: two iterations ask for them and write them,
// one asks nothing and writes none.
TEST_F(ResemblanceTest, DistributionsFromTwoIterationsOn) {
    const struct {
        const char* answers;  // iterations, seed option, seed, means, distributions
        bool written;
    } cases[] = {{"1\n1\n2\n2\n17\nn\ny\n", true}, {"1\n1\n1\n2\n17\n", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers);
        std::remove("s1.Rnd");
        const std::string before = Out();
        ASSERT_TRUE(Test(1, c.answers));
        EXPECT_EQ(std::filesystem::exists("s1.Rnd"), c.written);
        EXPECT_EQ(Has(Out().substr(before.size()), "Generate frequency distributions too? y/n  "), c.written);
    }
}

namespace {

// The arrays the handler gives the engines for a test: the stored resemblances read into rese at
// every level, the marks of the randomised traits and the a-priori list; released and put back
// after it.
struct EngineArrays {
    double*** saved = rese;
    int levels = nch;
    EngineArrays() {
        rese = dim3Double(levels, ncsm, ncsm);
        whatRndCh = dim1Dint(nch);
        aprioriList = dim2Dint(tcst, nch);
        nlev = levels;
        ReadResemblance(1, false);
    }
    ~EngineArrays() {
        free3D(rese, levels, ncsm);
        free2D(aprioriList, tcst);
        free1D(whatRndCh);
        rese = saved, aprioriList = nullptr, whatRndCh = nullptr;
    }
    EngineArrays(const EngineArrays&) = delete;
    EngineArrays& operator=(const EngineArrays&) = delete;
};

// Every file of the test's folder but the console's, with its contents.
std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator("."))
        if (e.path().filename() != "console.txt") files[e.path().filename().string()] = Slurp(e.path());
    return files;
}

// The head of the one randomisation section of the report: from its reference set down to its seed,
// the line before it the elapsed time.
std::string HeadOfTheSection(const std::string& report) {
    EXPECT_EQ(Count(report, "RANDOMIZATION\n"), 1);
    const size_t from = report.find("Reference set option: ");
    const size_t seed = report.find("Random generator seed: ", from);
    if (from == std::string::npos || seed == std::string::npos) return "";
    const size_t elapsed = report.rfind("\n", from - 2) + 1;
    EXPECT_EQ(report.compare(elapsed, 14, "Elapsed time: "), 0);
    EXPECT_EQ(report.compare(from - 9, 9, " seconds\n"), 0);
    return report.substr(from, report.find('\n', seed) + 1 - from);
}

}  // namespace

// The head of the randomisation's report section names the reference set and, under the null
// models that build random compositions (1, 2 and 5) only, what each random community keeps of
// its observed one; model 2 then lists the traits it randomises in the test's trait order (nchor),
// "%-3s" each. The dialog gives model 1 to the resemblance test (with the two keep questions) and
// model 4 to the structure-evaluation test; the engine takes 2, 3 and 5 as well. Models 3 and 4
// name nothing kept, whatever the settings hold.
TEST_F(ResemblanceTest, ReportHeadNamesTheReferenceSetAndWhatItKeeps) {
    const std::string equalRichness = "Richness in random community = richness in observed community\n";
    const std::string atMostRichness = "Richness in random community \xE2\x89\xA4 richness in observed community\n";
    const std::string equalTotal = "Performance total in random community = total in observed community\n";
    const std::string variableTotal = "Performance total in random community variable\n";
    const struct {
        int kind;  // the dialog's test (1 or 3) on the answers, or 0: the engine with the settings below
        std::string answers;
        int model, richness, total;
        Ints randomised;   // whatRndCh
        std::string head;  // from the reference set down to the seed
    } cases[] = {
        {1, "1\n1\n3\n2\n5\nn\nn\n", 0, 0, 0, {},
         "Reference set option: 1 (random composition hypothesis)\n" + equalRichness + equalTotal +
             "Number of iterations: 3\nRandom generator seed: 5\n"},
        {1, "2\n2\n4\n2\n6\nn\nn\n", 0, 0, 0, {},
         "Reference set option: 1 (random composition hypothesis)\n" + atMostRichness + variableTotal +
             "Number of iterations: 4\nRandom generator seed: 6\n"},
        {3, "3\n2\n7\nn\n", 0, 0, 0, {},
         "Reference set option: 4 (random community location hypothesis)\nNumber of iterations: 3\n"
         "Random generator seed: 7\n"},
        // Traits in the order 3 1 2, the first and the third randomised: tr3 (renamed t) and tr2.
        {0, "", 2, 0, 1, {1, 0, 1},
         "Reference set option: 2 (random taxon hypothesis)\n" + atMostRichness + equalTotal +
             "   Traits randomized: t  tr2\nNumber of iterations: 3\nRandom generator seed: 8\n"},
        {0, "", 3, 1, 1, {1, 1, 1},
         "Reference set option: 3 (random partition hypothesis)\nNumber of iterations: 3\n"
         "Random generator seed: 9\n"},
        {0, "", 4, 1, 1, {1, 1, 1},
         "Reference set option: 4 (random community location hypothesis)\nNumber of iterations: 3\n"
         "Random generator seed: 10\n"},
        {0, "", 5, 1, 0, {1, 1, 1},
         "Reference set option: 5 (random composition and random community location combined)\n" +
             equalRichness + variableTotal + "Number of iterations: 3\nRandom generator seed: 11\n"},
    };
    unsigned seed = 8;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head.substr(0, c.head.find('\n')) + (c.kind ? ", from the dialog" : ", from the engine"));
        std::remove("s1Prinda.txt");
        if (c.kind != 0) {
            ASSERT_TRUE(Test(c.kind, c.answers));
        } else {
            const int order[3] = {3, 1, 2};
            std::copy(order, order + 3, nchor);
            std::strcpy(chLabel[2], "t");
            EngineArrays arrays;
            std::copy(c.randomised.begin(), c.randomised.end(), whatRndCh);
            empir_opt = c.model, keepRichness = c.richness, keepReleveTotal = c.total;
            niter = 3, seedOpt = 2, rseed = seed++, doDistrib = doMeanStOpt = 0, rndWindow = rndAdjacent = 1;
            ASSERT_TRUE(Randomization());
        }
        EXPECT_EQ(HeadOfTheSection(Read("s1Prinda.txt")), c.head);
        DialogTest::Load();  // the engine reorders the session's data in place
    }
}

// Probabilities divide by the iterations, the observed data among them. Both engines (the
// resemblance test and the structure-evaluation test) refuse fewer than one before anything is
// computed or written, with their message, and leave every file, flag and the loaded data as they
// were; the dialog never gives them fewer, a caller could. One iteration, the boundary, runs: the
// observed data alone, every probability 1.
TEST_F(ResemblanceTest, EnginesRefuseFewerThanOneIteration) {
    const struct {
        const char* name;
        bool (*engine)();
    } engines[] = {{"resemblances", Randomization}, {"structure evaluation", RandomizationSEF}};
    int refused = 0;
    for (const auto& e : engines)
        for (int iterations : {0, -1, 1}) {
            SCOPED_TRACE(testing::Message() << e.name << ", " << iterations << " iterations");
            EngineArrays arrays;
            niter = iterations, seedOpt = 2, rseed = 5, doDistrib = doMeanStOpt = 0, rndWindow = rndAdjacent = 1;
            empir_opt = e.engine == Randomization ? 1 : 4, keepRichness = keepReleveTotal = 1, dirtyOrig = 0;
            const std::map<std::string, std::string> files = Files();
            const Ints flags = ResultFlags();
            const Strings names = ResultNames();
            const Strings probabilities = {whichProbN, whichProbRo};
            const Grid W = LoadedW();
            const Strings codes = GetRows(csm, tcst);
            const bool runs = iterations >= 1;
            EXPECT_EQ(e.engine(), runs);
            if (!runs) {
                refused++;
                EXPECT_EQ(Files(), files);
                EXPECT_EQ(ResultFlags(), flags);
                EXPECT_EQ(ResultNames(), names);
                EXPECT_EQ((Strings{whichProbN, whichProbRo}), probabilities);
                EXPECT_EQ(LoadedW(), W);
                EXPECT_EQ(GetRows(csm, tcst), codes);
                EXPECT_EQ(dirtyOrig, 0);
                continue;
            }
            const std::string report = Read("s1Prinda.txt");
            EXPECT_TRUE(Has(report, "Number of iterations: 1\n"));
            if (e.engine == Randomization) {
                const Matrix table = Table();
                ASSERT_EQ(table.size(), 4u);
                for (int i = 0; i < 4; i++)
                    for (int j = 0; j < i; j++) EXPECT_EQ(table[i][j], 1.0) << i << " " << j;
                EXPECT_EQ(hasProbN, 1);
            } else {
                EXPECT_EQ(LineValues(report, "Level   1\t").at(1), 1.0);
                EXPECT_EQ(std::stod(Read("s1PRo.txt")), 1.0);
                EXPECT_EQ(hasProbRo, 1);
            }
            for (const char* name : {"s1Prinda.txt", "s1PrN.txt", "s1PRo.txt", "s1RDa.txt"}) std::remove(name);
            hasProbN = hasProbRo = 0;
            std::strcpy(whichProbN, "NULL");
            std::strcpy(whichProbRo, "NULL");
            DialogTest::Load();
        }
    EXPECT_EQ(refused, 4);
    EXPECT_EQ(Err(), Repeat("\nThe number of iterations must be 1 or more.\n", 4));
}
