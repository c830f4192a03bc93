// Markov models of relevé series: transition matrices by hand and from R (r/markov.R), the
// projection and its instability, Kruskal's stress of the test, the report and the guards.
#include "classical/TNXDynamics.h"
#include "classical/qwDynamics.h"
#include "matrix/core/qwlibRandom.h"
#include "series_fixture.h"

using namespace tnxtest;

namespace {

using Matrix = std::vector<std::vector<double>>;

// Row-pointer view of a matrix.
struct Rows {
    explicit Rows(Matrix& m) {
        for (auto& row : m) p.push_back(row.data());
    }
    std::vector<double*> p;
    double** get() { return p.data(); }
};

Matrix Fit(Matrix x, int lags, int lag) {
    const int p = static_cast<int>(x[0].size());
    double*** A = dim3Double(lags, p, p);
    Rows rx(x);
    FitMarkov(static_cast<int>(x.size()), p, lags, rx.get(), A);
    Matrix a(p, std::vector<double>(p));
    for (int i = 0; i < p; i++)
        for (int j = 0; j < p; j++) a[i][j] = A[lag - 1][i][j];
    free3D(A, lags, p);
    return a;
}

void ExpectNear(const Matrix& got, const Matrix& expected, double tolerance) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i++)
        for (size_t j = 0; j < got[i].size(); j++) EXPECT_NEAR(got[i][j], expected[i][j], tolerance) << i << " " << j;
}

// Relevés (2,2), (3,1), (1,3). Lag 1: pair 1 gives [[3,0],[1,1]] (population 1 gains 1/4 of the
// later total, population 2 loses as much), pair 2 [[1,2],[0,3]]; their mean [[2,1],[.5,2]] scaled
// by rows. Lag 2: the one pair gives [[1,1],[0,3]]. A relevé of total 0 shares nothing: with
// (1,3), (0,0), (2,2) only the second pair counts, [[2,1],[1,2]].
TEST(Markov, TransitionMatricesByHand) {
    const Matrix x = {{2, 2}, {3, 1}, {1, 3}};
    ExpectNear(Fit(x, 2, 1), {{2.0 / 3, 1.0 / 3}, {0.2, 0.8}}, 1e-15);
    ExpectNear(Fit(x, 2, 2), {{0.5, 0.5}, {0, 1}}, 1e-15);
    ExpectNear(Fit({{1, 3}, {0, 0}, {2, 2}}, 1, 1), {{2.0 / 3, 1.0 / 3}, {1.0 / 3, 2.0 / 3}}, 1e-15);
}

// r/markov.R on 4 relevés of 3 populations: the matrices of lags 1 and 2 (rows summing to 1), the
// consecutive distances of 6 Markov relevés projected from the first lag relevés, and the observed
// stress of the test.
TEST(Markov, FitProjectionAndStressAgainstR) {
    Matrix x = {{4, 1, 0}, {3, 2, 1}, {1, 3, 2}, {0, 2, 4}};
    const Matrix A[2] = {{{0.4705882352941, 0.2745098039216, 0.2549019607843},
                          {0, 0.7636363636364, 0.2363636363636},
                          {0, 0.0666666666667, 0.9333333333333}},
                         {{0.139534883721, 0.395348837209, 0.465116279070},
                          {0, 0.714285714286, 0.285714285714},
                          {0, 0.1, 0.9}}};
    const std::vector<double> levels[2] = {{2.608520313715, 1.310693672056, 0.739873528559, 0.472730480745,
                                            0.325715092458},
                                           {1.732050807569, 2.713639077649, 0.845126959651, 0.724933742327,
                                            0.771362529238}};
    for (int lag = 1; lag <= 2; lag++) {
        Matrix a = Fit(x, 2, lag);
        ExpectNear(a, A[lag - 1], 1e-12);
        for (const auto& row : a) EXPECT_NEAR(row[0] + row[1] + row[2], 1.0, 1e-15);
        Matrix M(6, std::vector<double>(3, -1.0));
        for (int i = 0; i < lag; i++) M[i] = x[i];
        Rows ra(a), rm(M);
        ProjectMarkov(6, 3, lag, ra.get(), rm.get());
        for (int i = 0; i < lag; i++) EXPECT_EQ(M[i], x[i]);  // the start stays
        std::vector<double> d(5);
        ConsecutiveDistances(6, 3, rm.get(), d.data());
        ExpectNear({d}, {levels[lag - 1]}, 1e-12);
    }
    Rows rx(x);
    MarkovityTest test;
    InitRndNumberGenerator(3);
    TestMarkovity(4, 3, 2, rx.get(), 2, &test);
    EXPECT_NEAR(test.K[0], 0.424019955026, 1e-12);
    EXPECT_NEAR(test.K[1], 0.244812687349, 1e-12);
    // One random order besides the observed one: P is 1/2 or 2/2, the mean the one random stress.
    for (int l = 0; l < 2; l++) {
        EXPECT_TRUE(test.P[l] == 0.5 || test.P[l] == 1.0);
        EXPECT_EQ(test.P[l] == 1.0, test.meanNull[l] <= test.K[l]);
    }
}

class MarkovDialogTest : public SeriesTest {};

// Equal relevés are stationary: identity matrices, Markov relevés equal to the start, instability
// 0 at every lag, no percentages, and a stress without denominator; 2 iterations (the fewest that
// test). The whole section by hand.
TEST_F(MarkovDialogTest, StationaryStartReport) {
    WriteHie({{2, 2, 2, 2}, {1, 1, 1, 1}});
    EXPECT_TRUE(Run("n\n2\n3\n2\n", [] { Markov(); }));
    std::string lags;
    for (int l = 1; l <= 2; l++) {
        const std::string of = FormatText("lag = %d step(s) up to 3 Markov releves", l);
        lags += FormatText("\nAverage transition matrix lag = %d step(s):\n1\t0\t\n0\t1\t\n", l) +
                "\nMarkov releves in rows (" + of + ", ordered from past to present):\n2\t1\t\n2\t1\t\n2\t1\t\n" +
                "\nInstability levels between Markov releves j and j+1 (" + of + "):\n0\t0\t" +
                "\n\nInstability levels (percentage) between Markov releves j and j+1 (" + of +
                "):\npercentages undefined\n";
    }
    const std::string undefined =
        "Engineer's stress coefficient of Kruskal (K) between observed and Markov releves: undefined\n";
    const std::string section = ReportAfter("Data matrix");
    EXPECT_EQ(section,
              "Data matrix with 4 releves (rows) and 2 populations (columns) ordered from past to present:\n" +
                  Repeat("2\t1\t\n", 4) + lags +
                  "\nRANDOMIZATION TEST FOR MARKOVITY (Ho: coenosere undirected):\nNumber of iterations: 2\n"
                  "Minimum theoretical probability of the test (1/n!): 0.0416667\n"
                  "\nLag = 1 step(s):\n" + undefined + "\nLag = 2 step(s):\n" + undefined);
    EXPECT_NE(Read("s1Prinda.txt").find("\n" + std::string(lineL) +
                                        "\nMARKOV FITTING\nBased on technique described in Banstead, Kessel & Ruo "
                                        "(1993).\n\n" + lineL + "\n"),
              std::string::npos);
}

// The R relevés stored from present to past and reordered; a lag of 1.5 refused; 40 Markov
// relevés: lag 1 settles at relevé 14, lag 2 does not (r/markov.R); one iteration: no test.
TEST_F(MarkovDialogTest, ReversedSeriesAndSettling) {
    WriteHie({{0, 1, 3, 4}, {2, 3, 2, 1}, {4, 2, 1, 0}});
    EXPECT_TRUE(Run("y\n1.5\n2\n40\n1\n", [] { Markov(); }));
    const std::string section = ReportAfter("Data matrix");
    EXPECT_EQ(section.rfind("Data matrix with 4 releves (rows) and 3 populations (columns) ordered from past to "
                            "present:\n(Original data was reordered from past to present)\n"
                            "4\t1\t0\t\n3\t2\t1\t\n1\t3\t2\t\n0\t2\t4\t\n\nAverage transition matrix lag = 1 step(s):\n"
                            "0.470588\t0.27451\t0.254902\t\n0\t0.763636\t0.236364\t\n0\t0.0666667\t0.933333\t\n",
                            0),
              0u);
    EXPECT_EQ(Count(section, "Instability level of less than 1 percent reached at Markov relev\xC3\xA9 14.\n"), 1);
    EXPECT_EQ(Count(section, "Instability level of less than 1 percent was not reached.\n"), 1);
    EXPECT_EQ(section.find("RANDOMIZATION"), std::string::npos);
    EXPECT_EQ(Err(), "\nIncorrect input = 1.5. Reenter.\nAccepted input: whole numbers from 1 to 3\n");
}

// Fewer than 2 relevés: refused before any question; with 2, the lag can only be 1 and the test
// is not performed.
TEST_F(MarkovDialogTest, TooFewReleves) {
    const int saved = ncsm;
    ncsm = 1;
    EXPECT_TRUE(Run("", [] { Markov(); }));
    ncsm = 2;
    Write("s1Hie.txt", "1 2\n1 2\n");
    EXPECT_TRUE(Run("n\n2\n1\n2\n3\n", [] { Markov(); }));
    ncsm = saved;
    EXPECT_NE(ReportAfter("Data matrix").find("\nRANDOMIZATION TEST FOR MARKOVITY (Ho: coenosere undirected) not "
                                              "performed for the number of relev\xC3\xA9s < 3.\n"),
              std::string::npos);
    EXPECT_EQ(Err(), "\nMarkov fitting needs at least 2 releves.\n"
                     "\nIncorrect input = 2. Reenter.\nAccepted input: 1 to 1\n");
}

}  // namespace
