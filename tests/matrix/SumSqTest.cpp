// Sums of squares from distance matrices, the analysis of variance on distances, the
// group-separation means and the randomised nearest-neighbour sums.
// Reference values: hand-worked where the comment shows the arithmetic; otherwise from
// vegan::adonis2 (tests/matrix/r/sumsq_adonis.R, run offline).

#include <limits>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// Euclidean distances among points on a line (unsquared unless squared is set).
template <class T>
void LineDistances(Mat<T>& D, const std::vector<double>& x, bool squared = false) {
    for (int i = 0; i < D.rows(); i++)
        for (int j = 0; j < D.rows(); j++) D[i][j] = T(squared ? (x[i] - x[j]) * (x[i] - x[j]) : std::fabs(x[i] - x[j]));
}

// The eight points of sumsq_adonis.R in two dimensions: their distances (form 0), squared
// distances (form 1), or cross products (form 2, from which squared distances follow).
const double kPts[8][2] = {{0.0, 1.0}, {1.0, 2.5}, {0.5, 0.2}, {4.0, 3.0},
                           {5.0, 4.5}, {3.5, 5.0}, {2.0, 7.0}, {1.5, 6.0}};

template <class T>
void Plane(Mat<T>& D, int form) {
    for (int i = 0; i < 8; i++)
        for (int j = 0; j < 8; j++) {
            const double dx = kPts[i][0] - kPts[j][0], dy = kPts[i][1] - kPts[j][1], d2 = dx * dx + dy * dy;
            D[i][j] = T(form == 0 ? std::sqrt(d2) : form == 1 ? d2 : kPts[i][0] * kPts[j][0] + kPts[i][1] * kPts[j][1]);
        }
}

TEST(SetSumOfSquares, ThreePointsOnALine) {
    // Points 0, 1, 3: pairs 1, 9, 4 squared, over 3 objects = 14/3. Groups {0, 1} and {3}:
    // within 0.5 and 0, so between = 14/3 - 0.5.
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        Mat<T> D(3, 3), D2(3, 3);
        LineDistances(D, {0, 1, 3});
        LineDistances(D2, {0, 1, 3}, true);
        int all[] = {1, 1, 1}, first2[] = {1, 1, 0}, notOne[] = {1, 2, 1}, none[] = {0, 0, 0}, groups[] = {7, 7, 2};
        bool ball[] = {true, true, true};
        T qb = -1, qt = -1;
        D[1][0] = D[2][0] = D[2][1] = T(1e6);  // only the upper triangle is read
        EXPECT_NEAR(BetweenGrSqDissim(3, D, groups, &qb, &qt, nullptr, false), 14.0 / 3 - 0.5, tol);
        EXPECT_NEAR(qb, 14.0 / 3 - 0.5, tol);
        EXPECT_NEAR(qt, 14.0 / 3, tol);
        // Object 2 left out: Q of {0, 1} is 0.5 and it is one group, so nothing is between.
        EXPECT_NEAR(BetweenGrSqDissim(3, D, groups, &qb, &qt, first2, false), 0.0, tol);
        EXPECT_NEAR(qt, 0.5, tol);
        EXPECT_NEAR(WithinGrSqDissim(3, D, all, false), 14.0 / 3, tol);
        EXPECT_NEAR(WithinGrSqDissim(3, D, first2, false), 0.5, tol);
        EXPECT_NEAR(WithinGrSqDissim(3, D, notOne, false), 4.5, tol);  // 2 is no member: {0, 2}, 9 / 2
        EXPECT_NEAR(WithinGrSqDissim(3, D, ball, false), 14.0 / 3, 1e-12);
        EXPECT_NEAR(SumSqDissim(3, D, false), 14.0 / 3, tol);
        EXPECT_NEAR(SumSqDissim(3, D2, true), 14.0 / 3, tol);
        // Nobody included: the empty sum, not 0/0.
        EXPECT_EQ(WithinGrSqDissim(3, D, none, false), 0);
        EXPECT_EQ(SumSqDissim(1, D, false), 0);
    });
    Mat<float> D(3, 3);
    LineDistances(D, {0, 1, 3});
    EXPECT_NEAR(TotalSqDissim(3, D, false), 14.0 / 3, 1e-12);
}

TEST(Contrasts, ContrastOfTwoGroupsIsTheirPairwiseBetween) {
    // Coefficients (1, -1, 0): Q0 of groups 1 and 2 less each group's Q, i.e. the between sum
    // of squares of groups 1 and 2 alone; the float-coefficient form agrees. Group 1 alone:
    // points (0,1), (1,2.5), (0.5,0.2): squared pairs 3.25, 0.89, 5.54 over 3.
    Mat<double> D(8, 8), Q(3, 3);
    Plane(D, 0);
    int groups[] = {1, 1, 1, 2, 2, 2, 3, 3}, coef[] = {1, -1, 0};
    float fcoef[] = {2.5f, -1.0f, 0.0f};
    BetweenGrSSPairwise(8, D, Q, groups, 3, false);
    double qw = -1, qwf = -1;
    const double c = GrContrastSS(8, D, groups, coef, false, &qw);
    EXPECT_NEAR(Q[0][0], (3.25 + 0.89 + 5.54) / 3, 1e-12);
    EXPECT_NEAR(c, Q[0][1], 1e-12);
    EXPECT_NEAR(GrContrastSqDissim(8, D, groups, coef, false), Q[0][1], 1e-12);
    EXPECT_NEAR(qw, Q[0][0] + Q[1][1], 1e-12);
    EXPECT_NEAR(GrContrastSS(8, D, groups, fcoef, false, &qwf), c, 1e-12);
    EXPECT_NEAR(qwf, qw, 1e-12);
}

TEST(Contrasts, GroupFamilyAgreesWithPartitionAndContrast) {
    Mat<float> D(8, 8), D2(8, 8), coef({{1, -1, 0}, {0, 1, -1}});
    Plane(D, 0);
    Plane(D2, 1);
    int groups[] = {5, 5, 5, 8, 8, 8, 9, 9}, labels[] = {5, 8, 9}, g1[] = {1, 1, 1, 2, 2, 2, 3, 3};
    int c1[] = {1, -1, 0}, c2[] = {0, 1, -1}, firstTwo[] = {1, 1, 1, 1, 1, 1, 0, 0};
    Mat<double> Qc(2, 3), Qc2(2, 3), Qc3(2, 3);
    double qb = 0, qt = 0, qb2 = 0, qt2 = 0, qb3 = 0, qt3 = 0;
    GroupSqDissimQW(8, D, 3, groups, labels, &qb, &qt, 2, coef, Qc, 1);
    GroupSqDissimQW2(8, D, 3, groups, labels, &qb2, &qt2, 2, coef, Qc2, 1);
    // sumsq_adonis.R: pseudo-F = (Qb / (g - 1)) / ((Qt - Qb) / (n - g)) = 19.221903270703.
    EXPECT_NEAR(qb, 55.24375, 1e-4);
    EXPECT_NEAR(qt, 62.42875, 1e-4);
    EXPECT_NEAR((qb / 2) / ((qt - qb) / 5), 19.221903270703, 1e-4);
    EXPECT_DOUBLE_EQ(qb2, qb);
    EXPECT_DOUBLE_EQ(qt2, qt);
    EXPECT_NEAR(Qc[0][0], GrContrastSqDissim(8, D, g1, c1, false), 1e-4);
    EXPECT_NEAR(Qc[1][0], GrContrastSqDissim(8, D, g1, c2, false), 1e-4);
    EXPECT_NEAR(Qc2[0][0] + Qc2[0][2], WithinGrSqDissim(8, D, firstTwo, false), 1e-4);
    EXPECT_EQ(Qc2[0][1], 0.0);  // not written
    // Ready masks of the same groups and contrasts, on squared distances.
    Mat<int> masks(3, 8), m0(3, 8), m1(3, 8);
    int** cm[2] = {m0, m1};
    for (int i = 0; i < 8; i++) {
        masks[g1[i] - 1][i] = 1;
        for (int c = 0; c < 2; c++) {
            const float v = coef[c][g1[i] - 1];
            cm[c][0][i] = v != 0, cm[c][1][i] = v > 0, cm[c][2][i] = v < 0;
        }
    }
    GroupSqDissimQW3(8, D2, true, 3, masks, cm, &qb3, &qt3, 2, Qc3, true);
    EXPECT_NEAR(qb3, qb, 1e-4);
    EXPECT_NEAR(qt3, qt, 1e-4);
    EXPECT_NEAR(Qc3[1][0], Qc2[1][0], 1e-4);
    EXPECT_NEAR(Qc3[1][2], Qc2[1][2], 1e-4);
}

// One two-factor Manova call and its outputs; Q starts at -5 so that cleared cells show.
template <class T>
struct TwoWay {
    Mat<T> Q, Qc;
    T qcells = 0, qresid = 0, qt = 0;
    bool noRep = false, incomplete = false;
    TwoWay(int n, Mat<T>& D, int* A, int* B, bool isDistance = true, int* nContrasts = nullptr,
           int*** contrasts = nullptr)
        : Q(2, 2), Qc(2, 1) {
        int* factors[] = {A, B};
        Q.fill(T(-5));
        Manova(n, D, 2, factors, nullptr, &qcells, Q, &qresid, &qt, nContrasts, contrasts, Qc,
               isDistance, &noRep, &incomplete);
    }
};

// The contrast (1, -1) on the first factor, none on the second.
int kContrastA[] = {1, -1};
int* kCA[] = {kContrastA};
int** kContrasts[] = {kCA, nullptr};
int kNContrasts[] = {1, 0};
int kA8[] = {1, 1, 1, 1, 2, 2, 2, 2}, kB8[] = {1, 1, 2, 2, 1, 1, 2, 2};
int kA4[] = {1, 1, 2, 2}, kB4[] = {1, 2, 1, 2};

TEST(Manova, BalancedTwoFactorDesignMatchesAdonis) {
    // sumsq_adonis.R: sequential sums of squares of a balanced design, which equal the main
    // effects and the interaction here; from squared distances or from cross products.
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        for (bool isDistance : {true, false}) {
            SCOPED_TRACE(isDistance ? "squared distances" : "cross products");
            Mat<T> D(8, 8);
            Plane(D, isDistance ? 1 : 2);
            TwoWay<T> m(8, D, kA8, kB8, isDistance);
            ExpectCells(m.Q, {{36.48625, 10.83625}, {-5, 1.56125}}, 1e5 * tol);
            EXPECT_NEAR(m.qresid, 13.545, 1e5 * tol);
            EXPECT_NEAR(m.qt, 62.42875, 1e5 * tol);
            EXPECT_NEAR(m.qcells, 62.42875 - 13.545, 1e5 * tol);
            EXPECT_FALSE(m.noRep || m.incomplete);
        }
    });
}

TEST(Manova, WithoutReplicatesKeepsMainEffects) {
    // Points 0, 1, 3, 5 in a 2 x 2 design without replicates. Total: (1+9+25+4+16+4)/4 = 14.75.
    // A = {0,1 | 3,5}: 14.75 - 0.5 - 2 = 12.25. B = {0,3 | 1,5}: 14.75 - 4.5 - 8 = 2.25.
    // Every cell holds one object: the interaction is the residual and is cleared.
    Mat<double> D(4, 4);
    LineDistances(D, {0, 1, 3, 5}, true);
    TwoWay<double> m(4, D, kA4, kB4);
    EXPECT_TRUE(m.noRep && !m.incomplete);
    ExpectCells(m.Q, {{12.25, 0}, {-5, 2.25}}, 1e-12);
    EXPECT_NEAR(m.qt, 14.75, 1e-12);
    EXPECT_NEAR(m.qcells, 14.75, 1e-12);
    EXPECT_NEAR(m.qresid, 0.0, 1e-12);
}

TEST(Manova, IncompleteDesignAndContrasts) {
    // Levels A (1,1,2,2,2,2), B (1,1,1,1,2,2): the combination A1 B2 has no object. Cells
    // {0,1}, {2,3}, {4,5}: within 0.5, 0.5, 2; total: sum of squared pairs / 6.
    Mat<float> D(6, 6);
    const std::vector<double> x = {0, 1, 4, 5, 9, 11};
    LineDistances(D, x, true);
    int A[] = {1, 1, 2, 2, 2, 2}, B[] = {1, 1, 1, 1, 2, 2};
    TwoWay<float> m(6, D, A, B, true, kNContrasts, kContrasts);
    EXPECT_TRUE(!m.noRep && m.incomplete);
    EXPECT_NEAR(m.Qc[0][0], m.Q[0][0], 1e-4);  // a two-level contrast is the factor's own sum
    double tot = 0;
    for (int i = 0; i < 6; i++)
        for (int j = i + 1; j < 6; j++) tot += (x[i] - x[j]) * (x[i] - x[j]);
    EXPECT_NEAR(m.qt, tot / 6, 1e-4);
    EXPECT_NEAR(m.qcells, tot / 6 - 3.0, 1e-4);
}

TEST(Manova, NegativeInteractionIsMarkedAndRoundingIsZero) {
    // B repeats A: the two-factor cells are A's, so the interaction is -Q[B][B] < 0: marked as
    // the largest value in either precision.
    BothPrecisions([](auto zero, double) {
        using T = decltype(zero);
        Mat<T> D(6, 6);
        LineDistances(D, {0, 1, 4, 5, 9, 11}, true);
        int A[] = {1, 1, 2, 2, 3, 3};
        EXPECT_EQ(TwoWay<T>(6, D, A, A).Q[0][1], std::numeric_limits<T>::max());
    });
    // Additive cell means (0, 1 | 2, 3, each cell +-0.1): the interaction is 0 up to rounding,
    // which must not be taken for a negative value.
    Mat<float> D(8, 8);
    LineDistances(D, {-0.1, 0.1, 0.9, 1.1, 1.9, 2.1, 2.9, 3.1}, true);
    TwoWay<float> m(8, D, kA8, kB8);
    EXPECT_GE(m.Q[0][1], 0.0f);
    EXPECT_LT(m.Q[0][1], 1e-5f * m.qt);
}

TEST(Manova, PermutationStepCountsAtLeastAsLarge) {
    // The observed table itself: every statistic equals its observed value and counts once;
    // observed values above the permuted ones do not count.
    Mat<double> D(8, 8), big(2, 2);
    Plane(D, 1);
    int* factors[] = {kA8, kB8};
    TwoWay<double> m(8, D, kA8, kB8, true, kNContrasts, kContrasts);
    Mat<int> countQ(2, 2), countQc(2, 1);
    int countCells = 0;
    EXPECT_FALSE(ManovaTest(8, D, 2, factors, nullptr, kNContrasts, kContrasts, true, m.qcells, m.Q,
                            m.Qc, &countCells, countQ, countQc));
    EXPECT_EQ(countCells, 1);
    ExpectCells(countQ, {{1, 1}, {0, 1}}, 0);
    EXPECT_EQ(countQc[0][0], 1);
    big.fill(1e9);
    ManovaTest(8, D, 2, factors, nullptr, kNContrasts, kContrasts, true, 1e9, big, big, &countCells,
               countQ, countQc);
    EXPECT_EQ(countCells, 1);
    ExpectCells(countQ, {{1, 1}, {0, 1}}, 0);
    // Unreplicated: the interaction is not counted.
    Mat<float> D4(4, 4), Q(2, 2), Qc(2, 1);
    Mat<int> cQ(2, 2), cQc(2, 1);
    LineDistances(D4, {0, 1, 3, 5}, true);
    int* factors4[] = {kA4, kB4};
    EXPECT_TRUE(ManovaTest(4, D4, 2, factors4, nullptr, nullptr, nullptr, true, 0.0f, Q, Qc, &countCells, cQ, cQc));
    ExpectCells(cQ, {{1, 0}, {0, 1}}, 0);
    // CompareLambda counts a permuted value at least as large as the observed one.
    double a = 2, b = 2, c = 3;
    float fa = 1, fb = 0.5f;
    int count = 0;
    CompareLambda(&a, &b, &count), CompareLambda(&a, &c, &count), CompareLambda(&fa, &fb, &count);
    EXPECT_EQ(count, 2);
}

TEST(Residuals, FactorialResidualsByHand) {
    // x = 0, 1, 3, 5; A = (1,1,2,2) means 0.5, 4; B = (1,2,1,2) means 1.5, 3; grand 2.25;
    // C constant (mean 2.25). A factor number beyond the list leaves the residuals alone.
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        Mat<T> data({{0}, {1}, {3}, {5}}), resid(4, 1);
        int A[] = {1, 1, 2, 2}, B[] = {1, 2, 1, 2}, C[] = {4, 4, 4, 4}, la[] = {1, 2}, lc[] = {4};
        int* factors[] = {A, B, C};
        int* levels[] = {la, la, lc};
        int nLevels[] = {2, 2, 1}, w1[] = {1}, w2[] = {1, 2}, w3[] = {1, 2, 3};
        Residuals(4, 1, 3, factors, nLevels, levels, data, resid, 1, w1);
        ExpectCells(resid, {{-0.5}, {0.5}, {-1}, {1}}, tol);
        Residuals(4, 1, 3, factors, nLevels, levels, data, resid, 2, w2);
        ExpectCells(resid, {{0.25}, {-0.25}, {-0.25}, {0.25}}, tol);
        Residuals(4, 1, 3, factors, nLevels, levels, data, resid, 3, w3);
        ExpectCells(resid, {{-2}, {-2.5}, {-2.5}, {-2}}, tol);
        resid.fill(T(7));
        Residuals(4, 1, 3, factors, nLevels, levels, data, resid, 4, w3);
        ExpectCells(resid, {{7}, {7}, {7}, {7}}, 0);
    });
}

TEST(GroupSeparation, MeansOfSmallCases) {
    // D: (0,1) 2, (0,2) 1, (1,2) 5. Groups A {0, 2}, B {1}.
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        Mat<T> D({{0, 2, 1}, {99, 0, 5}, {99, 99, 0}});
        int groups[] = {1, 2, 1}, include[] = {1, 1, 0}, same[] = {4, 4, 4};
        // Minima: object 0 to B 2, object 2 to B 5, object 1 to A min(2, 5) = 2: mean 3.
        EXPECT_NEAR(NearNeighDist(3, D, groups, nullptr), 3.0, tol);
        // Pairs across groups: 2 and 5; object 2 left out: the pair (0, 1) alone.
        EXPECT_NEAR(AverageDissim(3, D, groups, nullptr), 3.5, tol);
        EXPECT_NEAR(AverageDissim(3, D, groups, include), 2.0, tol);
        EXPECT_NEAR(AverageResemblance(3, D), 8.0 / 3, tol);
        EXPECT_TRUE(std::isnan(AverageDissim(3, D, same, nullptr)));
    });
    // Groups 2, 1, 2, 1: the pairs between the groups are (0,1) 1, (0,3) 3, (1,2) 4, (2,3) 6,
    // mean 3.5, whichever group holds the lower object number.
    Mat<double> D({{0, 1, 2, 3}, {0, 0, 4, 5}, {0, 0, 0, 6}, {0, 0, 0, 0}}), C(3, 3);
    int groups[] = {2, 1, 2, 1};
    CentroidDist(4, D, groups, 3, C);
    EXPECT_NEAR(C[0][1], 3.5, 1e-12);
    EXPECT_TRUE(std::isnan(C[0][2]));  // group 3 is empty
    EXPECT_EQ(C[1][0], 0.0);           // lower triangle not written
}

TEST(NearestNeighbourSums, OrderMattersAndTheBestIsKept) {
    // Rows (1, 2) and (1, 9): object 0 first gives 1 + 9, object 1 first gives 1 + 2 = 3.
    InitRndNumberGenerator(1);
    BothPrecisions([](auto zero, double) {
        using T = decltype(zero);
        Mat<T> D({{1, 2}, {1, 9}});
        int out[2] = {-1, -1};
        EXPECT_EQ(NearNeigSSqWhich(2, D, out), T(3));
        EXPECT_EQ(std::vector<int>(out, out + 2), std::vector<int>({1, 0}));
        EXPECT_EQ(NearNeigSSq(2, D), T(3));
        // Columns n..2n-1 hold the same table: with sizes s the terms are
        // (1 + 3) * 2 / 3 and (2 + 1) * 1 / 2, mean 25/12.
        Mat<T> E({{0, 0, 1, 2}, {0, 0, 1, 9}});
        int s[] = {1, 2, 1, 3};
        EXPECT_NEAR(NearNeigAvgCentroid(2, E, s), 25.0 / 12, 1e-6);
    });
    // The first smallest value's position.
    float x[] = {3, 1, 2, 1};
    double y[] = {-1, -1};
    EXPECT_EQ(MinVectorWhich(4, x), 1);
    EXPECT_EQ(MinVectorWhich(2, y), 0);
}

TEST(NearestNeighbourSums, LargeTablesEndAndSingleObjectRunsOnce) {
    // 40 objects (40! overflows a float): the trial limit is capped and the search ends. With a
    // zero diagonal and positive values elsewhere every object takes its own column.
    InitRndNumberGenerator(3);
    Mat<double> D(40, 40);
    FillRandom(D, 11, 1.0, 2.0);
    for (int i = 0; i < 40; i++) D[i][i] = 0;
    std::vector<int> out(40, -1), own(40);
    for (int i = 0; i < 40; i++) own[i] = i;
    EXPECT_EQ(NearNeigSSqWhich(40, D, out.data()), 0.0);
    EXPECT_EQ(out, own);
    Mat<float> one({{4.5}});
    int w = -1;
    EXPECT_EQ(NearNeigSSqWhich(1, one, &w), 4.5f);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(NearNeigSSq(0, one), 0.0f);
}

}  // namespace
