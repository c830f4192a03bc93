// Eigenvalue statistics and the analysis of concentration: hand-worked values and the
// ade4 / stats values of tests/matrix/r/eigenstats.R (run offline).

#include <gsl/gsl_rng.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <limits>

#include "common/ErrorCode.h"
#include "common/RefusedGrowth.h"
#include "common/TimeStampLine.h"
#include "foundation/TnxError.h"

#include "matrix/qwlib.h"
#include "session/session_fixture.h"
#include "statistics/qwlibRes.h"
#include "statistics/StatTestUtil.h"

namespace {

TEST(EigenStatistics, BrokenStickRvdimAndPseudoF) {
    EXPECT_NEAR(BrokenStick(1, 4), (1 + 1.0 / 2 + 1.0 / 3 + 1.0 / 4) / 4, 1e-15);
    EXPECT_NEAR(BrokenStick(4, 4), 1.0 / 16, 1e-15);
    // The expectations of all p axes add up to 1.
    double sum = 0;
    for (int k = 1; k <= 7; k++) sum += BrokenStick(k, 7);
    EXPECT_NEAR(sum, 1.0, 1e-15);
    double e[] = {3, 0, 0}, f[] = {4, 2, 2, 0}, g[] = {3, 4};
    float ff[] = {4, 2, 2, 0};
    EXPECT_EQ(RVDIM(3, 1, e), 1.0);
    EXPECT_NEAR(RVDIM(2, 1, g), 3.0 / 5, 1e-15);
    EXPECT_EQ(PseudoF_eig(4, 1, f), 1.0);
    EXPECT_EQ(PseudoF_eig(4, 1, ff), 1.0);
    // Axis 2: 2 / eig[2] (the last eigenvalue is left out).
    EXPECT_EQ(PseudoF_eig(4, 2, f), 1.0);
    // A zero denominator leaves the statistic undefined.
    EXPECT_TRUE(std::isnan(PseudoF_eig(4, 3, f)));
    EXPECT_TRUE(std::isnan(RVDIM(3, 2, e)));
}

TEST(EigenStatistics, BartlettStatisticAndTheCorrelationOfTwoSpectra) {
    // (4, 2, 1, 1), n 20, eigenvalues 2..4: q 3, mean 4/3, L = ln 2,
    // u = (3 ln(4/3) - ln 2) (20 - 19/6) = 2.859967119389; probability with 5 degrees of freedom
    // from eigenstats.R.
    double e[] = {4, 2, 1, 1};
    float ef[] = {4, 2, 1, 1};
    EXPECT_NEAR(Bartlett_u(4, 2, e, 20, 4), 2.859967119389, 1e-11);
    EXPECT_NEAR(Bartlett_uProb(4, 2, e, 20, 4), 0.721564115016, 1e-11);
    EXPECT_NEAR(Bartlett_uProb(4, 2, ef, 20, 4), 0.721564115016, 1e-6);
    // A zero eigenvalue counts as 1e-10 in the sum and in the logarithm: (2, 0), n 10:
    // mean (2 + 1e-10) / 2, u = (2 ln(mean) - ln 2 - ln 1e-10) (10 - 15/6).
    double z[] = {2, 0};
    const double mean = (2 + 1e-10) / 2;
    EXPECT_NEAR(Bartlett_u(2, 1, z, 10, 2), (2 * std::log(mean) - std::log(2.0) + 23.025850929940457) * 7.5, 1e-9);
    // A non-positive mean is undefined, and so is its probability; one eigenvalue has no test.
    double neg[] = {1, -3, -2};
    EXPECT_TRUE(std::isnan(Bartlett_u(3, 2, neg, 10, 3)));
    EXPECT_TRUE(std::isnan(Bartlett_uProb(3, 2, neg, 10, 3)));
    // One eigenvalue is equal to itself: u is 0, but there is nothing to test. Two equal ones
    // (1, 1): u = 0 on (2 + 2)(2 - 1)/2 = 2 degrees of freedom, probability 1.
    EXPECT_EQ(Bartlett_u(4, 4, e, 20, 4), 0.0);
    EXPECT_TRUE(std::isnan(Bartlett_uProb(4, 4, e, 20, 4)));
    EXPECT_EQ(Bartlett_uProb(4, 3, e, 20, 4), 1.0);
    // Spectra (3, 2, 1) and (5, 1, 0.5): r = 4.5 / sqrt(2 * 12.1666...) = 0.912244.
    Mat<float> A({{3, 0, 0}, {0, 2, 0}, {0, 0, 1}}), B({{5, 0, 0}, {0, 0.5f, 0}, {0, 0, 1}});
    EXPECT_NEAR(EigenCorrelation2Rese(3, A, B), 0.912244, 1e-5);
}

TEST(Concentration, MatchesCorrespondenceAnalysis) {
    // eigenstats.R: principal inertias, chi-square and standard coordinates of a 3 x 4 table.
    const double eig[] = {0.177220103090, 0.141204920960};
    const double rows[2][3] = {{1.272783560272, -1.066994301729, -0.439767044743},
                               {-0.327558751943, -1.093094915097, 1.344100050725}};
    const double cols[2][4] = {{1.369410675747, -0.865715467131, -0.998877689936, 0.592389477637},
                               {-0.685995357786, -1.183526996282, 0.821810920101, 1.207085607557}};
    BothPrecisions([&](auto zero, double) {
        using T = decltype(zero);
        // Totals are single precision in both forms.
        const double tol = 2e-5;
        Mat<T> F({{10, 4, 2, 6}, {3, 9, 5, 1}, {2, 3, 8, 7}}), R(3, 3), C(3, 4);
        T e[3], chi[3];
        ASSERT_TRUE(AOC(3, 4, F, e, chi, R, C));
        EXPECT_NEAR(e[0], eig[0], tol);
        EXPECT_NEAR(e[1], eig[1], tol);
        EXPECT_NEAR(e[2], 0.0, tol);
        EXPECT_NEAR(chi[0] + chi[1], 19.105501443001, 1e-3);
        for (int k = 0; k < 2; k++) {
            const double s = R[k][0] * rows[k][0] > 0 ? 1 : -1;  // no sign convention
            for (int i = 0; i < 3; i++) EXPECT_NEAR(s * R[k][i], rows[k][i], 1e-4);
            for (int j = 0; j < 4; j++) EXPECT_NEAR(s * C[k][j], cols[k][j], 1e-4);
        }
        // The third axis has no inertia: its scores are 0.
        for (int j = 0; j < 4; j++) EXPECT_EQ(C[2][j], T(0));
    });
}

TEST(Concentration, EmptyMarginsAndDegenerateTables) {
    // An empty row and an empty column: their cells and scores are 0, the rest is finite.
    Mat<double> F({{10, 0, 4}, {0, 0, 0}, {2, 0, 9}}), RD(3, 3), CD(3, 3);
    double ed[3], chid[3];
    ASSERT_TRUE(AOC(3, 3, F, ed, chid, RD, CD));
    for (int k = 0; k < 3; k++) {
        EXPECT_EQ(RD[k][1], 0.0);
        EXPECT_EQ(CD[k][1], 0.0);
        for (int i = 0; i < 3; i++) EXPECT_TRUE(std::isfinite(RD[k][i]) && std::isfinite(CD[k][i]));
    }
    // Chi-square of the 2 x 2 table left: 25 (10 * 9 - 4 * 2)^2 / (14 * 11 * 12 * 13).
    EXPECT_NEAR(chid[0] + chid[1] + chid[2], 25.0 * 82 * 82 / (14.0 * 11 * 12 * 13), 1e-4);
    // A table of zeros is refused.
    Mat<double> Z(2, 2);
    RD.fill(5);
    EXPECT_FALSE(AOC(2, 2, Z, ed, chid, RD, CD));
    EXPECT_EQ(RD[0][0], 5.0);
}

// An n x p table of independent uniform values drawn on the program's generator, plus, when
// signal > 0, a common factor shared by every column.
void NullTable(Mat<double>& X, double signal) {
    for (int i = 0; i < X.rows(); i++) {
        const double common = gsl_rng_uniform(r) - 0.5;
        for (int j = 0; j < X.cols(); j++) X[i][j] = gsl_rng_uniform(r) - 0.5 + signal * common;
    }
}

// Principal components of the columns' correlation matrix (code 17, resemblance among the p
// columns): eigenvalues, vectors and scores of the observed table.
struct Pca {
    int n, p, nAxes = 0;
    Mat<double> rese, vec, scores;
    std::vector<double> eig;
    Pca(Mat<double>& X, int code)
        : n(X.rows()), p(X.cols()), rese(X.cols(), X.cols()), vec(X.cols(), X.cols()),
          scores(X.cols(), X.rows()), eig(X.cols()) {
        ResemblanceLib(n, p, X, rese, 2, code, 0, nullptr, 0.0, 0.0, 0, false);
        bool ok = true;
        OrdinationLib_D(p, n, X, rese, vec, scores, &nAxes, eig.data(), &ok, 2, code, 2);
    }
};

TEST(AxisPermutation, UniformUnderTheNullSmallestWithAStrongCommonFactor) {
    // 60 tables of independent columns, 99 permutations each: P of the first eigenvalue is
    // near uniform (mean 1/2, about 5 % at or below 0.05). With a strong factor shared by every
    // column no permutation reaches the first eigenvalue: P is the smallest possible, 1/100.
    InitRndNumberGenerator(20261206);
    const int n = 12, p = 3, perms = 100, tables = 60;
    double sum = 0;
    int small = 0;
    for (int t = 0; t < tables; t++) {
        Mat<double> X(n, p);
        NullTable(X, 0);
        Pca obs(X, 17);
        double probEig[3], probF[3], belowMean[3];
        EigenPermutation_D(n, p, p, n, 3, perms, X, nullptr, obs.eig.data(), 2, 0, 0, 0, 2, 17, nullptr,
                           0.0, 0.0, false, probEig, probF, belowMean, 'n', 6);
        sum += probEig[0];
        small += probEig[0] <= 0.05;
    }
    EXPECT_NEAR(sum / tables, 0.5, 0.12);
    EXPECT_LE(small, 9);

    Mat<double> S(n, p);
    NullTable(S, 6);
    Pca obs(S, 17);
    double probEig[3], probF[3], belowMean[3];
    EigenPermutation_D(n, p, p, n, 3, perms, S, nullptr, obs.eig.data(), 2, 0, 0, 0, 2, 17, nullptr, 0.0, 0.0,
                       false, probEig, probF, belowMean, 'n', 6);
    EXPECT_EQ(probEig[0], 1.0 / perms);
    EXPECT_EQ(belowMean[0], 0.0);
    // Three axes: the pseudo-F of axis 1 divides by eigenvalue 2 alone.
    EXPECT_LE(probF[0], 0.05);
    EXPECT_TRUE(std::isnan(probF[2]));  // nothing below the last axes: undefined
}

TEST(AxisPermutation, EqualValuesCountAsAtLeastAsLarge) {
    // One column: its cross product with itself does not change under permutation, so every
    // permutation repeats the observed eigenvalue (up to rounding) and counts: P = 1. An observed
    // eigenvalue above every permutation's, or an undefined one (never exceeded: it is no value),
    // counts none of the 19 permutations: P = 1 / 20.
    Mat<float> X({{1}, {2}, {4}, {-3}, {0.5f}});
    Mat<float> rese(1, 1), vec(1, 1), scores(1, 5);
    float eig[1];
    int nAxes = 0;
    bool ok;
    ResemblanceLib(5, 1, X, rese, 2, 1, 0, nullptr, 0.0, 0.0, 0, false);
    OrdinationLib(1, 5, X, rese, vec, scores, &nAxes, eig, &ok, 2, 1, 2);
    ASSERT_EQ(nAxes, 1);
    const struct {
        float observed;
        double probEig, belowMean;  // belowMean: -1 when the observed value is undefined
    } rows[] = {{eig[0], 1.0, 1.0},
                {2 * eig[0], 1.0 / 20, 0.0},
                {std::numeric_limits<float>::quiet_NaN(), 1.0 / 20, -1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.observed);
        InitRndNumberGenerator(4);
        float observed[1] = {r.observed};
        double probEig[1], probF[1], belowMean[1];
        EigenPermutation(5, 1, 1, 5, 1, 20, X, nullptr, observed, 2, 0, 0, 0, 2, 1, nullptr, 0.0f, 0.0f, false,
                         probEig, probF, belowMean, 'n', 6);
        EXPECT_EQ(probEig[0], r.probEig);
        if (r.belowMean >= 0) {
            EXPECT_EQ(belowMean[0], r.belowMean);
        }
    }
}

TEST(AxisPermutation, RvdimTestFindsTheOneStructuredDimension) {
    // A common factor across six columns gives one strong dimension; the others are noise.
    // Every dimension of the table is tested, so that each residual holds all the rest.
    InitRndNumberGenerator(77);
    const int n = 15, p = 6, perms = 100;
    Mat<double> X(n, p);
    NullTable(X, 5);
    CenterCols(n, p, X, X);
    Pca obs(X, 1);
    ASSERT_EQ(obs.nAxes, p);
    double rv[p], prob[p];
    RVDIMPermutation_D(n, p, p, perms, X, obs.scores, obs.vec, obs.eig.data(), 2, 0, 0, 0, 2, 1, nullptr, 0.0, 0.0,
                       false, rv, prob, 'n', 6);
    double ss = 0;
    for (int k = 0; k < p; k++) ss += obs.eig[k] * obs.eig[k];
    EXPECT_NEAR(rv[0], obs.eig[0] / std::sqrt(ss), 1e-12);
    EXPECT_NEAR(rv[p - 1], 1.0, 1e-12);  // the last dimension is alone in its sum
    EXPECT_EQ(prob[0], 1.0 / perms);
    EXPECT_GT(prob[1], 0.05);
}

TEST(AxisPermutation, ReportIsAppendedToPrinda) {
    InTempDir dir;
    InitRndNumberGenerator(9);
    Mat<double> X(6, 3);
    NullTable(X, 1);
    Pca obs(X, 17);
    double probEig[3], probF[3], belowMean[3];
    testing::internal::CaptureStdout();
    EigenPermutation_D(6, 3, 3, 6, 3, 3, X, nullptr, obs.eig.data(), 2, 0, 0, 0, 2, 17, nullptr, 0.0, 0.0, false,
                       probEig, probF, belowMean, 'y', 4);
    testing::internal::GetCapturedStdout();
    std::ifstream in(dir.Path() / "Prinda.txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* want :
         {"RANDOMIZATION TEST: Data and results of each permutation\n", "Number of permutations: 3\n",
          "Test criterion: eigenvalue itself (ter Voss 1988), pseudo-F ratio (ter Voss 1988)\n",
          "Iteration: 3\n", "Eigenvalues and corresponding probabilities p(Eig_rnd >= Eig_obs) (ter Voss 1998)\n"})
        EXPECT_NE(text.find(want), std::string::npos) << want;
    EXPECT_EQ(text.compare(0, 81, "\n" + std::string(79, '-') + "\n"), 0);
    EXPECT_EQ(text.find("Iteration: 4"), std::string::npos);
    // Each permutation's pseudo-F ratios follow from its own eigenvalues: axis 1 over axis 2
    // (the last of the three is left out of every sum), axis 2 over nothing: undefined.
    int permutations = 0;
    for (size_t at = text.find("Eigenvalues (first 3): "); at != std::string::npos;
         at = text.find("Eigenvalues (first 3): ", at + 1), permutations++) {
        double e1, e2, e3, f1;
        char f2[16], f3[16];
        ASSERT_EQ(sscanf(text.c_str() + at, "Eigenvalues (first 3): %lf %lf %lf", &e1, &e2, &e3), 3);
        const size_t fAt = text.find("Eigenvalue in the permuted data (axes 1 to 3):\t", at);
        ASSERT_NE(fAt, std::string::npos);
        ASSERT_EQ(sscanf(text.c_str() + fAt, "Eigenvalue in the permuted data (axes 1 to 3): %lf %15s %15s", &f1, f2, f3), 3);
        EXPECT_NEAR(f1, e1 / e2, 1e-3 * f1);
        EXPECT_NE(std::string(f2).find("nan"), std::string::npos);
    }
    EXPECT_EQ(permutations, 2);
}

// A report with what changes from run to run on the same draws masked: its time stamps and its
// elapsed time.
std::string SteadyPart(const std::string& text) {
    std::string steady;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(from, end - from);
        if (tnxtest::IsTimeStampLine(line))
            steady += "<time stamp>\n";
        else if (line.compare(0, 14, "Elapsed time: ") == 0)
            steady += "Elapsed time: <seconds>\n";
        else
            steady += line;
        from = end;
    }
    return steady;
}

// The printout of either test is composed in memory and appended to Prinda.txt when the test
// ends. With its growth refused 64 bytes short of what it needs, the test raises code 1 and
// Prinda.txt keeps what it held; with 64 bytes to spare the printout is appended whole. An append
// past a file-size limit (its signal ignored) is code 3 after the message naming Prinda.txt with
// the system's reason, and Prinda.txt keeps what it held. Every run
// draws the same permutations (the generator seeded anew before it), so that the printouts differ
// in their time stamps (of fixed width) and their elapsed time alone, which "%g" prints in 1 to 11
// characters: well inside the margin.
TEST(AxisPermutation, AReportThatMemoryCutsShortRaisesCodeOneAndLeavesPrinda) {
    InTempDir dir;
    InitRndNumberGenerator(9);
    Mat<double> X(6, 3), Y(15, 6);
    NullTable(X, 1);
    NullTable(Y, 5);
    CenterCols(15, 6, Y, Y);
    Pca obsX(X, 17), obsY(Y, 1);
    const struct {
        const char* what;
        const char* closing;  // the heading of the last results
        std::function<void()> run;
    } tests[] = {
        {"eigenvalues", "Pseudo-F ratios and corresponding probabilities", [&] {
             double probEig[3], probF[3], belowMean[3];
             EigenPermutation_D(6, 3, 3, 6, 3, 3, X, nullptr, obsX.eig.data(), 2, 0, 0, 0, 2, 17, nullptr, 0.0, 0.0,
                                false, probEig, probF, belowMean, 'y', 4);
         }},
        {"RVDIM", "RVDIM and corresponding probabilities", [&] {
             double rv[6], prob[6];
             RVDIMPermutation_D(15, 6, 6, 3, Y, obsY.scores, obsY.vec, obsY.eig.data(), 2, 0, 0, 0, 2, 1, nullptr, 0.0,
                                0.0, false, rv, prob, 'y', 4);
         }},
    };
    const std::string earlier = "earlier\n";
    auto prinda = [&] {
        std::ifstream in(dir.Path() / "Prinda.txt");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    for (const auto& t : tests) {
        SCOPED_TRACE(t.what);
        auto run = [&](size_t room) {
            std::ofstream(dir.Path() / "Prinda.txt") << earlier;
            InitRndNumberGenerator(10);
            testing::internal::CaptureStdout();
            RefusedGrowth refusal(room);
            const int code = tnxtest::CodeOf(t.run);
            testing::internal::GetCapturedStdout();
            return code;
        };
        ASSERT_EQ(run(SIZE_MAX), 0);
        const std::string whole = prinda();
        const size_t length = whole.size() - earlier.size();
        ASSERT_GT(length, 1000u);
        EXPECT_EQ(run(length - 64), TNX_OUT_OF_MEMORY);
        EXPECT_EQ(prinda(), earlier);
        int code = -1;
        testing::internal::CaptureStderr();
        tnxtest::CodeWithSmallFiles([&] { code = run(SIZE_MAX); }, earlier.size() + 100);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "\ncan't write Prinda.txt: File too large \n");
        EXPECT_EQ(code, TNX_FAIL_TO_PRINT);
        EXPECT_EQ(prinda(), earlier);
        EXPECT_EQ(run(length + 64), 0);
        const std::string text = prinda();
        EXPECT_EQ(text.compare(0, earlier.size(), earlier), 0);
        EXPECT_EQ(SteadyPart(text), SteadyPart(whole));
        EXPECT_NE(text.find(t.closing), std::string::npos);
    }
}

}  // namespace
