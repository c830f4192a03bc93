// Rao's quadratic entropy and the vector diversities. Reference values from r/rao.R (ade4's
// divc, vegan's renyi, plain R sums); the rest by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

// D^2 / 2 of the four species of rao.R, upper triangle only; the lower triangle holds junk
// that the routine must overwrite.
template <class T>
void FillHalfSquared(Mat<T>& M, bool similarity) {
    double up[4][4] = {{0, 0.085, 0.145, 0.400}, {0, 0, 0.200, 0.205}, {0, 0, 0, 0.185}, {0, 0, 0, 0}};
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            double v = j > i ? up[i][j] : (i == j ? 0.0 : 77.0);
            M[i][j] = T(similarity && j >= i ? 1.0 - v : v);
        }
}

// divc(comm, D) = 0.170277777777778 and 0.1525; t(p) sqrt(M) p = 0.309717471680144 and
// 0.329361362228512; Gini-Simpson 0.611111111111111 and 0.75.
TEST(RaoIndex, AgreesWithDivcOnEveryForm) {
    double c1[] = {3, 1, 0, 2}, c2[] = {1, 1, 1, 1};
    float c1f[] = {3, 1, 0, 2};
    struct Case {
        double* x;
        double rao, root, gini;
    } cases[] = {{c1, 0.170277777777778, 0.309717471680144, 0.611111111111111},
                 {c2, 0.1525, 0.329361362228512, 0.75}};
    for (auto& c : cases) {
        Mat<double> D(4, 4), S(4, 4);
        Mat<float> Df(4, 4), Sf(4, 4);
        FillHalfSquared(D, false);
        FillHalfSquared(Df, false);
        FillHalfSquared(S, true);
        FillHalfSquared(Sf, true);
        // Distances and similarities (taken as 1 - s, or sqrt(1 - s) with the root) of one type.
        auto forms = [&](auto& Dm, auto& Sm, double tol, double rootTol) {
            EXPECT_NEAR(RaoIndex(4, c.x, Dm, true, false), c.rao, tol);
            EXPECT_NEAR(RaoIndex(4, c.x, Sm, false, false), c.rao, tol);
            EXPECT_NEAR(RaoIndex(4, c.x, Dm, true), c.rao, tol);
            EXPECT_NEAR(RaoIndex(4, c.x, Dm, true, true), c.root, rootTol);
            EXPECT_NEAR(RaoIndex(4, c.x, Sm, false, true), c.root, rootTol);
            EXPECT_NEAR(RaoIndex(4, c.x, Sm, false), c.root, rootTol);
        };
        forms(D, S, 1e-14, 1e-14);
        forms(Df, Sf, 1e-7, 1e-6);
        EXPECT_NEAR(RaoIndex(4, c.x, nullptr, true, false), c.gini, 1e-14);
        EXPECT_NEAR(RaoIndex(4, c.x, Df, true, false, true), c.gini, 1e-14);
        EXPECT_NEAR(RaoIndex(4, c.x, Df, true, false, false), c.rao, 1e-7);
        // The caller's matrix is now symmetric.
        for (int i = 0; i < 4; i++)
            for (int j = i + 1; j < 4; j++) EXPECT_EQ(D[j][i], D[i][j]);
    }
    Mat<double> D(4, 4);
    FillHalfSquared(D, false);
    EXPECT_NEAR(RaoIndex(4, c1f, D, true), 0.170277777777778, 1e-14);  // float abundances
}

// A missing abundance leaves the total and every pair; a missing cell drops its own pair only
// (p not renormalised): x = (1, -999, 1), T = 2, pairs (0,2),(2,0) with d = 0.4: 2 * 0.25 * 0.4.
TEST(RaoIndex, MissingValuesSkipTheirPairs) {
    Mat<double> D{{0, 0.9, 0.4}, {0, 0, 0.7}, {0, 0, 0}};
    double x[] = {1, -999, 1};
    EXPECT_NEAR(RaoIndex(3, x, D, true, false), 0.2, 1e-15);
    double y[] = {1, 1, 2};  // p = 1/4, 1/4, 1/2; cell (0,1) missing:
    D[0][1] = -999;          // 2 (1/4 1/2 0.4 + 1/4 1/2 0.7) = 0.275
    EXPECT_NEAR(RaoIndex(3, y, D, true, false), 0.275, 1e-15);
    EXPECT_EQ(D[1][0], -999.0);
}

// n < 1, zero totals: 0, and the matrix is mirrored even then; a similarity a rounding step
// above 1 gives d = 0 with the root, not NaN.
TEST(RaoIndex, EdgesGiveZeroNotNaN) {
    Mat<double> D{{0, 0.5}, {9, 0}};
    double zero[] = {0, 0}, neg[] = {-1, 0};
    EXPECT_EQ(RaoIndex(0, zero, D, true, false), 0.0);
    EXPECT_EQ(D[1][0], 9.0);
    EXPECT_EQ(RaoIndex(2, zero, D, true, false), 0.0);
    EXPECT_EQ(D[1][0], 0.5);
    EXPECT_EQ(RaoIndex(2, neg, D, true), 0.0);
    Mat<float> S{{1.0000001f, 1.0000001f}, {0, 1.0000001f}};
    Mat<double> Sd{{1 + 1e-15, 1 + 1e-15}, {0, 1 + 1e-15}};
    double x[] = {1, 1};
    EXPECT_EQ(RaoIndex(2, x, S, false, true), 0.0);
    EXPECT_EQ(RaoIndex(2, x, Sd, false), 0.0);
}

// (1, 0) against (0, 1): half the L1 distance of the profiles is 1, squared form 0.5 x 2 = 1;
// (1, 3) against (2, 2): profiles (1/4, 3/4), (1/2, 1/2): 0.5 (1/4 + 1/4) = 1/4, squared
// 0.5 (1/16 + 1/16) = 1/16.
TEST(SumAbsDeviations, ProfilesByHand) {
    double a[] = {1, 0}, b[] = {0, 1}, c[] = {1, 3}, d[] = {2, 2}, e[] = {2, 6}, z[] = {0, 0};
    EXPECT_DOUBLE_EQ(SumAbsDeviations(2, a, b, true), 1.0);
    EXPECT_DOUBLE_EQ(SumAbsDeviations(2, c, d, false), 0.25);
    EXPECT_DOUBLE_EQ(SumAbsDeviations(2, c, d, true), 0.0625);
    EXPECT_EQ(SumAbsDeviations(2, c, e, false), 0.0);  // proportional
    EXPECT_EQ(SumAbsDeviations(2, c, z, false) + SumAbsDeviations(0, c, d, false), 0.0);
}

// renyi(c(3, 1, 0, 2), scales = c(0, 0.5, 1, 2), hill = FALSE).
TEST(EntropyVector, RenyiAgainstVegan) {
    double x[] = {3, 1, 0, 2};
    double want[] = {1.09861228866811, 1.05265608485486, 1.01140426470735, 0.944461608840851};
    double orders[] = {0, 0.5, 1, 2};
    for (int k = 0; k < 4; k++) EXPECT_NEAR(EntropyVector(4, x, orders[k]), want[k], 1e-13) << orders[k];
    // k equal values: ln k for every order; nothing positive: 0.
    double eq[] = {2, 2, 2, 2, 2}, none[] = {0, 0};
    EXPECT_NEAR(EntropyVector(5, eq, 3.0), std::log(5.0), 1e-14);
    EXPECT_EQ(EntropyVector(2, none, 2.0) + EntropyVector(2, none, 1.0), 0.0);
    // Code lengths -ln p for a = 1; the zero entry leaves its code untouched.
    double code[] = {9, 9, 9, 9};
    EXPECT_NEAR(EntropyVectorCodeLength(4, x, 1.0, code), want[2], 1e-13);
    ExpectVec(code, {std::log(2.0), std::log(6.0), 9, std::log(3.0)}, 1e-14);
}

std::string CaptureStdout(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

// Species x communities: rows (1,1,0), (1,0,0), (1,1,1). Occurrences f = (2,1,3), absences
// (1,2,0); richness g = (3,2,1), missing species (0,1,2). Shannon (a = 1):
// out1 = H(2,1,3), out3 = H(1,2,0) = H(1,2), out2 = H(3,2,1) / 3, out4 = H(1,2) / 3.
TEST(Valence, EntropiesOfOccurrencesAndMessages) {
    Mat<float> X{{1, 1, 0}, {1, 0, 0}, {1, 1, 1}};
    auto H = [](std::initializer_list<double> v) {
        double t = 0, s = 0;
        for (double x : v) t += x;
        for (double x : v)
            if (x > 0) s -= x / t * std::log(x / t);
        return s;
    };
    double o[4];
    const std::initializer_list<double> want = {H({2, 1, 3}), H({3, 2, 1}) / 3, H({1, 2}), H({1, 2}) / 3};
    EXPECT_EQ(ValenceInvalence(3, 3, X, &o[0], &o[1], &o[2], &o[3], 1.0f), 1);
    ExpectVec(o, want, 1e-6);
    // Distinctiveness: H(2,1) + H(1,2) + H(3,0).
    EXPECT_NEAR(LocalDistinctiveness(3, 3, X, 1.0f), 2 * H({2, 1}), 1e-6);

    // An empty species row is reported before an empty community column; outputs 0.
    Mat<float> E{{0, 0, 0}, {1, 1, 0}};
    o[0] = o[1] = o[2] = o[3] = 5;
    std::string out = CaptureStdout([&] { EXPECT_EQ(ValenceInvalence(2, 3, E, &o[0], &o[1], &o[2], &o[3], 1.0f), 0); });
    EXPECT_EQ(out, "\nCheck species in row 1. It is completely absent!\n");
    ExpectVec(o, {0, 0, 0, 0}, 0);
    Mat<float> C{{1, 0}, {1, 0}};
    out = CaptureStdout([&] { EXPECT_EQ(LocalValence(2, 2, C, 1.0f), 0.0); });
    EXPECT_EQ(out, "\nCheck community in column 2. It is completely empty!\n");
    out = CaptureStdout([&] { EXPECT_EQ(LocalDistinctiveness(2, 3, E, 1.0f), 0.0); });
    EXPECT_EQ(out, "\nCheck species in row 1. It is completely absent!\n");
    EXPECT_EQ(LocalDistinctiveness(0, 3, E, 1.0f), 0.0);
}

// Communities (columns) with compositions A, B, A, A (abundances differ, presences agree):
// frequencies (3, 1, 0, 0), two florulas; diversity of order 0 = ln 2.
TEST(Florulas, DistinctCompositionsCounted) {
    Mat<float> X{{1, 0, 5, 2}, {3, 1, 1, 1}, {0, 2, 0, 0}};
    float freq[4];
    int count = -1;
    EXPECT_EQ(FlorulaFrequencies(3, 4, X, &count, freq), 1);
    EXPECT_EQ(count, 2);
    ExpectVec(freq, {3, 1, 0, 0}, 0);
    EXPECT_NEAR(FlorulaDiversity(3, 4, X, 0.0f), std::log(2.0), 1e-6);
    EXPECT_NEAR(FlorulaDiversity(3, 4, X, 1.0f), -(0.75 * std::log(0.75) + 0.25 * std::log(0.25)), 1e-6);
    FlorulaFrequencies(3, 0, X, &count, freq);
    EXPECT_EQ(count, 0);
    float a[] = {1, 2}, b[] = {1, 3};
    EXPECT_EQ(CompareVector(2, a, a), 1);
    EXPECT_EQ(CompareVector(2, a, b), 0);
}

}  // namespace
