// Community resemblance of pooled matrices, community-weighted means and the two-community
// congruence. Expected values are worked by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/qwlibDim.h"
#include "traits/TNXCOMRESE.h"

namespace {

constexpr double kMiss = -999.0;

template <class T>
T** Rows3x2(T a, T b, T c, T d, T e, T f) {
    T** x = reinterpret_cast<T**>(dim2D(sizeof(T), 3, 2));
    x[0][0] = a, x[0][1] = b, x[1][0] = c, x[1][1] = d, x[2][0] = e, x[2][1] = f;
    return x;
}

double** Filled(double v) {
    double** d = dim2Double(3, 3);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) d[i][j] = v;
    return d;
}

struct ReseCase {
    int opt;
    double d01, d02, d12;
};

// Rows (1, 2), (4, 6), (-999, 3): the pairs with row 2 compare the second column only.
// Euclidean: sqrt(3^2 + 4^2) = 5, |2 - 3| = 1, |6 - 3| = 3. Absolute values: 3 + 4 = 7, 1, 3.
// Chord: the rows at unit length over their present cells, (1, 2)/sqrt(5), (2, 3)/sqrt(13),
// (-999, 1); then the Euclidean distance over the common cells.
const double r5 = std::sqrt(5.0), r13 = std::sqrt(13.0);
const ReseCase kCases[] = {
    {6, 5.0, 1.0, 3.0},
    {7, 5.0, 1.0, 3.0},
    {8, 7.0, 1.0, 3.0},
    {9, 7.0, 1.0, 3.0},
    {10, std::hypot(1 / r5 - 2 / r13, 2 / r5 - 3 / r13), 1.0 - 2 / r5, 1.0 - 3 / r13},
};

template <class T>
void CheckOptions() {
    T** x = Rows3x2<T>(1, 2, 4, 6, static_cast<T>(kMiss), 3);
    for (const ReseCase& c : kCases) {
        double** d = Filled(42.0);
        EXPECT_TRUE(NominalReseNonHier(3, 2, x, d, c.opt));
        EXPECT_NEAR(d[0][1], c.d01, 1e-6) << c.opt;
        EXPECT_NEAR(d[0][2], c.d02, 1e-6) << c.opt;
        EXPECT_NEAR(d[1][2], c.d12, 1e-6) << c.opt;
        for (int i = 0; i < 3; i++) EXPECT_EQ(d[i][i], 0.0) << c.opt;
        EXPECT_EQ(d[1][0], 42.0) << "lower triangle untouched, option " << c.opt;
        free2D(d, 3);
    }
    // Options without a coefficient write nothing.
    for (int opt : {1, 2, 3, 4, 5, 0, 11}) {
        double** d = Filled(42.0);
        EXPECT_TRUE(NominalReseNonHier(3, 2, x, d, opt));
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) EXPECT_EQ(d[i][j], 42.0) << opt;
        free2D(d, 3);
    }
    // Two communities are enough: the first two rows, 5 apart.
    double** two = Filled(42.0);
    EXPECT_TRUE(NominalReseNonHier(2, 2, x, two, 6));
    EXPECT_NEAR(two[0][1], 5.0, 1e-6);
    free2D(two, 3);
    // Fewer than 2 communities are refused and nothing is written.
    double** d = Filled(42.0);
    EXPECT_FALSE(NominalReseNonHier(1, 2, x, d, 6));
    EXPECT_EQ(d[0][0], 42.0);
    free2D(d, 3);
    free2D(x, 3);
}

TEST(NominalReseNonHier, EveryOptionOnBothElementTypes) {
    CheckOptions<double>();
    CheckOptions<float>();
}

TEST(CommunityWeightedMeans, MeansOverThePresentTermsWhateverTheScaleOfW) {
    // W: community 0 = (1, 3), community 1 = (2, -999); B: OTU 0 = (10, -999), OTU 1 = (20, 5).
    // T[0][0] = (1*10 + 3*20) / 4 = 17.5; T[0][1] = 3*5 / 3 = 5 (OTU 0 has no value);
    // T[1][0] = 2*10 / 2 = 10 (OTU 1 has no performance); T[1][1]: no present term: -999.
    double** W = dim2Double(2, 2);
    W[0][0] = 1, W[0][1] = 3, W[1][0] = 2, W[1][1] = kMiss;
    float** B = dim2Dfloat(2, 2);
    B[0][0] = 10, B[0][1] = -999.0f, B[1][0] = 20, B[1][1] = 5;
    int all[2] = {1, 1};
    double** T = dim2Double(2, 2);
    CommunityWeightedMeans(2, 2, 2, W, B, all, T);
    EXPECT_DOUBLE_EQ(T[0][0], 17.5);
    EXPECT_DOUBLE_EQ(T[0][1], 5.0);
    EXPECT_DOUBLE_EQ(T[1][0], 10.0);
    EXPECT_EQ(T[1][1], kMiss);

    // Community 0 at unit total (1/4, 3/4) gives the same means; an unselected column is 0.
    W[0][0] = 0.25, W[0][1] = 0.75;
    int first[2] = {1, 0};
    T[0][1] = 9;
    CommunityWeightedMeans(2, 2, 2, W, B, first, T);
    EXPECT_DOUBLE_EQ(T[0][0], 17.5);
    EXPECT_EQ(T[0][1], 0.0);
    free2D(T, 2);
    free2D(B, 2);
    free2D(W, 2);
}

TEST(TwoCommunityCongruence, RelativeDifferenceAndEqualCells) {
    struct {
        double a, b, expected;
    } cases[] = {
        {2.0, 2.0, 1.0},       // equal cells
        {0.0, 0.0, 1.0},       // both 0: equal, never 0/0
        {1.0, 3.0, 1.0 / 3},   // 1 - 2/3
        {3.0, 1.0, 1.0 / 3},   // symmetric
        {0.0, 5.0, 0.0},       // 1 - 5/5
        {-1.0, 1.0, -1.0},     // 1 - 2/1: the lower bound
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(TwoCommunityCongruence(c.a, c.b), c.expected) << c.a << " " << c.b;
}

}  // namespace
