// Matrix utilities of the test library: partial correlations and communalities against R
// (r/permutil.R, run offline), inversion, vector equality and indicator columns by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "permtests/qwlibPermUtil.h"
#include "statistics/StatTestUtil.h"

namespace {

// cor(X) of the eight objects of permutil.R.
const double kR[5][5] = {
    {1, 0.89795762722281736, -0.28571428571428575, 0.73939545493413072, -0.57313212853642359},
    {0.89795762722281736, 1, -0.48510354574106224, 0.77739406503565189, -0.51215763003104964},
    {-0.28571428571428575, -0.48510354574106224, 1, -0.29796533258539598, 0.67368162477088378},
    {0.73939545493413072, 0.77739406503565189, -0.29796533258539598, 1, -0.22603354794370875},
    {-0.57313212853642359, -0.51215763003104964, 0.67368162477088378, -0.22603354794370875, 1}};

template <class T>
void FillR(Mat<T>& R) {
    for (int i = 0; i < 5; i++)
        for (int j = 0; j < 5; j++) R[i][j] = T(kR[i][j]);
}

TEST(PartialCorrelationGeneral, EqualsTheInverseOfTheCorrelations) {
    // -P[1,2] / sqrt(P[1,1] P[2,2]) with P = solve(R[v, v]) (permutil.R); with one control it
    // is the first-order formula, with none the correlation itself.
    const struct { int i, j; std::vector<int> c; double want; } cases[] = {
        {0, 1, {2}, 0.906148227258876},
        {0, 1, {2, 3}, 0.79849980342853},
        {1, 4, {0, 2, 3}, 0.455870360999752},
        {3, 0, {}, 0.73939545493413072},
    };
    BothPrecisions([&](auto zero, double tol) {
        Mat<decltype(zero)> R(5, 5);
        FillR(R);
        for (auto& c : cases) {
            std::vector<int> ctl = c.c;
            EXPECT_NEAR(PartialCorrelation_GeneralProc(5, R, c.i, c.j, int(ctl.size()), ctl.data()), c.want,
                        tol)
                << c.i << "," << c.j << " given " << ctl.size();
        }
    });
}

TEST(PartialCorrelationGeneral, NoAnswerIsInfinityNeverNaN) {
    Mat<double> R(5, 5);
    FillR(R);
    const struct { int i, j; std::vector<int> c; } cases[] = {
        {0, 1, {2, 2}},  // the same control twice: C singular
        {0, 1, {1}},     // j as its own control: S[1][1] = 0
        {0, 5, {2}},     // outside the matrix
        {0, 1, {-1}},
    };
    for (auto& c : cases) {
        std::vector<int> ctl = c.c;
        EXPECT_EQ(PartialCorrelation_GeneralProc(5, R, c.i, c.j, int(ctl.size()), ctl.data()), HUGE_VAL);
    }
}

TEST(PartialCorrelationSecondOrder, EqualsTheGeneralForm) {
    // X, Y = variables 0, 1; A, B = 2, 3: r(XY.AB) of permutil.R.
    const float rXY = float(kR[0][1]), rXB = float(kR[0][3]), rXA = float(kR[0][2]);
    const float rYB = float(kR[1][3]), rYA = float(kR[1][2]), rAB = float(kR[2][3]);
    EXPECT_NEAR(PartialCorrelation2ndOrder(rXY, rXB, rXA, rYB, rYA, rAB), 0.79849980342853, 1e-5);
}

TEST(MatrixInverse, InvertsOrLeavesTheResultAlone) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        // [[2, 1, 0], [1, 2, 1], [0, 1, 2]]: determinant 4, inverse (cofactors) / 4.
        Mat<T> A({{2, 1, 0}, {1, 2, 1}, {0, 1, 2}}), inv(3, 3);
        for (int m : {3, 1, 0}) {  // the zero right-hand side may have any width
            EXPECT_TRUE(MatrixInverse(3, m, A, inv));
            ExpectCells(inv, {{0.75, -0.5, 0.25}, {-0.5, 1, -0.5}, {0.25, -0.5, 0.75}}, tol);
        }
        EXPECT_TRUE(MatrixInverse(3, 3, A, A));  // in place
        EXPECT_NEAR(A[1][1], 1.0, tol);
        Mat<T> S({{1, 2}, {2, 4}}), out({{7, 7}, {7, 7}});
        EXPECT_FALSE(MatrixInverse(2, 2, S, out));
        ExpectCells(out, {{7, 7}, {7, 7}});
        EXPECT_TRUE(MatrixInverse(0, 0, S, out));
    });
}

TEST(CompareTwoVectors, EqualUpToTheFirstDifference) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float a[] = {1.0f, -0.0f, 3.5f, 8.0f}, b[] = {1.0f, 0.0f, 3.5f, 9.0f}, c[] = {2.0f, -0.0f, 3.5f, 8.0f};
    float n1[] = {nan, 1.0f}, n2[] = {nan, 1.0f};
    const struct { int n; float *x, *y; bool want; } cases[] = {
        {0, a, c, true},  {-3, a, c, true}, {3, a, b, true},    // -0 equals +0; b differs at 3
        {4, a, b, false}, {1, a, c, false}, {4, a, a, true},  {2, n1, n2, false},
    };
    for (auto& c : cases) EXPECT_EQ(CompareTwoVectors(c.n, c.x, c.y), c.want) << c.n;
}

TEST(Communality, SquaredMultipleCorrelationsAndTheDroppedVariable) {
    // Rows 0..3 of permutil.R and a row of zeros: its variance is 0, so the covariance matrix
    // of all five is singular; with no positive value it comes last in the order and is the
    // one dropped. The other four get 1 - 1 / (diag(S) diag(solve(S))).
    Mat<double> D({{3, 1, 4, 1, 5, 9}, {-2, 6, 5, -3, 5, 8}, {0, 0, 0, 0, 0, 0},
                   {-9, 7, -9, 3, 2, -3}, {8, -4, 6, 2, -6, 4}});
    double comm[5];
    int used = -1;
    EXPECT_EQ(Communality(5, 6, D, comm, &used), 1);
    EXPECT_EQ(used, 4);
    ExpectVec(comm, {0.567887823556503, 0.587586608413711, -999, 0.773138278450837, 0.785499239731226},
              1e-12);
    // Float form on rows 0, 1 and 3 of permutil.R.
    Mat<float> F({{3, 1, 4, 1, 5, 9}, {-2, 6, 5, -3, 5, 8}, {8, -4, 6, 2, -6, 4}});
    float fc[3];
    Communality(3, 6, F, fc, &used);
    EXPECT_EQ(used, 3);
    ExpectVec(fc, {0.536155414318263, 0.58559931076066, 0.362308401507126}, 1e-5);
    // A constant variable with the most positive values is never dropped, so nothing inverts.
    Mat<double> K({{5, 5, 5}, {1, -2, 3}});
    double kc[2];
    Communality(2, 3, K, kc, &used);
    EXPECT_EQ(used, 0);
    ExpectVec(kc, {-999, -999});
}

TEST(Binarize, IndicatorColumnsPerState) {
    BothPrecisions([](auto zero, double) {
        using T = decltype(zero);
        // Column 0 quantitative (copied); column 1 nominal with states 1 and 3 and a missing
        // value; column 2 nominal with states 0 (from 0.7 and -0.5) and 2.
        Mat<T> X({{1.5, 3, 0.7}, {2.5, -999, 2}, {3.5, 1, -0.5}, {4.5, 3.9, 2}}), out(4, 8);
        bool nominal[] = {false, true, true};
        Mat<int> states(3, 4);
        int nStates[3], nOut = -1;
        EXPECT_EQ(Binarize(4, 3, nominal, X, out, &nOut, states, nStates), 1);
        EXPECT_EQ(nOut, 5);
        ExpectVec(nStates, {1, 2, 2});
        ExpectVec(states[1], {1, 3});
        ExpectVec(states[2], {0, 2});
        ExpectCells(out, {{1.5, 0, 1, 1, 0}, {2.5, 0, 0, 0, 1}, {3.5, 1, 0, 1, 0}, {4.5, 0, 1, 0, 1}});
        nOut = -1;
        Binarize(4, 0, nominal, X, out, &nOut, states, nStates);
        EXPECT_EQ(nOut, 0);
    });
}

}  // namespace
