// Least-squares regression and its residual and prediction front-ends. Reference values:
// r/regression.R (lm) or worked by hand in the comments.

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// x1, x2, x3 = x1 + x2 (aliased) and the two responses of r/regression.R.
const std::vector<double> kX1 = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<double> kX2 = {2, 1, 4, 3, 6, 5, 8, 9};
const std::vector<double> kY1 = {3.1, 2.9, 6.2, 6.8, 9.9, 10.1, 14.2, 15.8};
const std::vector<double> kY2 = {1, 0, 2, 1, 3, 5, 2, 4};
// Residuals of lm(y2 ~ x1 + x2 + x3).
const std::vector<double> kE2 = {0.5, -1, 0.5, -1, 0.5, 2, -1.5, 0};

template <class T>
void Fill(Mat<T>& X, Mat<T>& Y) {
    for (int i = 0; i < 8; i++) {
        X[i][0] = T(kX1[i]), X[i][1] = T(kX2[i]), X[i][2] = T(kX1[i] + kX2[i]);
        Y[i][0] = T(kY1[i]), Y[i][1] = T(kY2[i]);
    }
}

TEST(RegressionTest, ExactLineGivesSlopeInterceptAndUnitR2) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        Mat<T> X({{1}, {2}, {3}, {4}, {6}}), Y({{5}, {8}, {11}, {14}, {20}});  // y = 2 + 3x
        Mat<double> B(1, 1), Yhat(5, 1);
        double b0, r2, ss;
        EXPECT_EQ(regression(5, 1, 1, Y, X, B, &b0, Yhat, &r2, &ss, false, nullptr, 0, false), 1);
        EXPECT_NEAR(B[0][0], 3, tol);
        EXPECT_NEAR(b0, 2, tol);
        EXPECT_NEAR(r2, 1, tol);
        EXPECT_NEAR(ss, 133.2, tol * 1000);  // (y - 11.6)^2: 43.56 + 12.96 + 0.36 + 5.76 + 70.56
        for (int i = 0; i < 5; i++) EXPECT_NEAR(Yhat[i][0], Y[i][0], tol * 10);
    });
}

TEST(RegressionTest, AliasedFactorIsDroppedAsLmDoes) {
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        Mat<T> X(8, 3), Y(8, 2), R(8, 2);
        Fill(X, Y);
        Mat<double> B(3, 2), Yhat(8, 2);
        double b0[2], r2[2];
        regression(8, 2, 3, Y, X, B, b0, Yhat, r2);
        const double t = tol * 100;
        ExpectVec(b0, {0.105882352941176, 0}, t);
        ExpectCells(B, {{0.961764705882352, 0.5}, {0.882352941176472, 0}, {0, 0}}, t);
        ExpectVec(r2, {0.997226824640163, 0.538461538461538}, t);
        Regression_ResidualsSelect(8, 2, 3, Y, X, R, nullptr);
        ExpectColumn(R, 0, {0.26764705882353, -0.0117647058823548, -0.320588235294118, 0.2, -0.308823529411765,
                            -0.188235294117646, 0.302941176470587, 0.0588235294117651}, t);  // fails on NaN
        ExpectColumn(R, 1, kE2, t);
    });
}

TEST(RegressionTest, ConstantFactorAndFactorWithoutValuesGetZero) {
    // x1, constant 5, x2, and a column of -999 only: as lm(y1 ~ x1 + x2).
    Mat<double> X(8, 4), Y(8, 1), B(4, 1), Yhat(8, 1);
    for (int i = 0; i < 8; i++) X[i][0] = kX1[i], X[i][1] = 5, X[i][2] = kX2[i], X[i][3] = -999, Y[i][0] = kY1[i];
    double b0, r2;
    regression(8, 1, 4, Y, X, B, &b0, Yhat, &r2);
    ExpectColumn(B, 0, {0.961764705882352, 0, 0.882352941176472, 0}, 1e-12);
    EXPECT_NEAR(b0, 0.105882352941176, 1e-12);
    EXPECT_NEAR(r2, 0.997226824640163, 1e-12);
}

TEST(RegressionTest, MissingFactorMissingResponseAndConstantResponse) {
    // y = 2 + 3x with unit 2's response missing: the present means are x 3, y 11, and the
    // cross products without that unit (xc = 0 there) still give slope 3 and intercept 2.
    Mat<float> X({{1}, {2}, {3}, {4}, {5}}), Y({{5}, {8}, {-999}, {14}, {17}}), R(5, 1);
    Mat<double> B(1, 1), Yhat(5, 1);
    double b0, r2;
    regression(5, 1, 1, Y, X, B, &b0, Yhat, &r2);
    EXPECT_NEAR(B[0][0], 3, 1e-6);
    EXPECT_NEAR(b0, 2, 1e-6);
    EXPECT_NEAR(Yhat[2][0], 11, 1e-5);  // the prediction exists; the residual does not
    Regression_ResidualsSelect(5, 1, 1, Y, X, R, nullptr);
    EXPECT_EQ(R[2][0], -999.0f);

    // A unit missing its factor has neither prediction nor residual.
    Mat<double> Xd({{1}, {-999}, {3}, {4}, {5}}), Yd({{5}, {8}, {11}, {14}, {17}}), Rd(5, 1);
    regression(5, 1, 1, Yd, Xd, B, &b0, Yhat, &r2);
    EXPECT_EQ(Yhat[1][0], -999.0);
    Regression_ResidualsSelect(5, 1, 1, Yd, Xd, Rd, nullptr);
    EXPECT_EQ(Rd[1][0], -999.0);

    // A constant response has no variance to explain: r2 = 0, residuals 0.
    Mat<double> Yc({{4}, {4}, {4}, {4}, {4}});
    regression(5, 1, 1, Yc, Xd, B, &b0, Yhat, &r2);
    EXPECT_EQ(r2, 0.0);
    EXPECT_EQ(B[0][0], 0.0);
    EXPECT_EQ(b0, 4.0);
    // Every unit misses one of its two factors: no prediction anywhere, nothing explained.
    Mat<double> Xm({{1, -999}, {-999, 2}, {3, -999}, {-999, 4}, {5, -999}}), B2(2, 1);
    r2 = -1;
    regression(5, 1, 2, Yd, Xm, B2, &b0, Yhat, &r2);
    EXPECT_EQ(Yhat[0][0], -999.0);
    EXPECT_EQ(r2, 0.0);
}

TEST(RegressionTest, ReportTextsInEnglishAndPortuguese) {
    Mat<double> X({{0}, {1}, {2}}), Y({{1}, {3}, {5}}), B(1, 1), Yhat(3, 1);  // y = 1 + 2x exactly
    double b0, r2;
    const std::string dash(48, '-');
    FILE* f = tmpfile();
    regression(3, 1, 1, Y, X, B, &b0, Yhat, &r2, true, f, 0);
    EXPECT_EQ(ReadBack(f),
              "\n" + dash + "\nLINEAR MODELS\n" + dash + "\n" +
                  "\nFactor matrix:\n0\t\n1\t\n2\t\n\nResponse matrix:\n1\t\n3\t\n5\t\n"
                  "\nRegression coefficients for each factor (rows), one model for each response "
                  "variable (coluns):\nFactor 1:\t2\t\n"
                  "\nIntersection (bo for each response variable):\n1\t"
                  "\n\nPredicted model responses (for each response variable in columns, and "
                  "sampling unit in rows):\n1\t\n3\t\n5\t\n"
                  "\nResiduals not explained by the model (for each response variable in columns, "
                  "and sampling unit in rows):\n0\t\n0\t\n0\t\n"
                  "\nResponse variables with values adjusted by removing the effects of the "
                  "predictor variable(s) (this is simply the residuals plus the mean of the "
                  "response variable) (for each response variable in columns, and sampling unit "
                  "in rows):\n3\t\n3\t\n3\t\n"
                  "\nCoefficient of determination (r squared) for 1 response variables:\n1\t\n");
    fclose(f);
    // Portuguese, without the data: coefficients, intercept and r2 only.
    f = tmpfile();
    regression(3, 1, 1, Y, X, B, &b0, Yhat, &r2, true, f, 1, false);
    EXPECT_EQ(ReadBack(f),
              "\nCoeficientes de regressao para cada fator (linhas), um modelo para cada variavel "
              "resposta (colunas):\nFator 1:\t2\t\n"
              "\nInterseccao (bo para cada variavel resposta):\n1\t"
              "\nCoeficiente de determinacao (r ao quadrado) para 1 variaveis resposta:\n1\t\n");
    fclose(f);
}

TEST(MatrixRegressionTest, UpperTriangleRegressedInRowMajorOrder) {
    // A's cells (0,1)..(2,3) = 1..6, B's = 2.5 3.5 7 8.5 9 13 (r/regression.R); the diagonal and
    // lower triangle of the result keep their -1.
    Mat<double> A({{0, 1, 2, 3}, {0, 0, 4, 5}, {0, 0, 0, 6}, {0, 0, 0, 0}});
    Mat<double> B({{0, 2.5, 3.5, 7}, {0, 0, 8.5, 9}, {0, 0, 0, 13}, {0, 0, 0, 0}});
    Mat<double> R(4, 4), D(4, 4), R2(2, 2), D2(2, 2);
    R.fill(-1);
    D.fill(-1);
    EXPECT_EQ(ResidualsMatrixRegression(4, A, B, R), 1);
    EXPECT_EQ(PredictedMatrixRegression(4, A, B, D), 1);
    ExpectCells(R, {{-1, 0.285714285714286, -0.728571428571429, 0.757142857142857},
                    {-1, -1, 0.242857142857143, -1.27142857142857},
                    {-1, -1, -1, 0.714285714285714},
                    {-1, -1, -1, -1}}, 1e-5);
    ExpectCells(D, {{-1, 2.21428571428571, 4.22857142857143, 6.24285714285714},
                    {-1, -1, 8.25714285714286, 10.2714285714286},
                    {-1, -1, -1, 12.2857142857143},
                    {-1, -1, -1, -1}}, 1e-5);
    // Two objects, one pair: the fit passes through it (residual 0, prediction the value).
    ResidualsMatrixRegression(2, A, B, R2);
    PredictedMatrixRegression(2, A, B, D2);
    EXPECT_EQ(R2[0][1], 0.0);
    EXPECT_EQ(D2[0][1], 2.5);
}

TEST(SelectTest, SelectedFactorsAndResponses) {
    Mat<float> X(8, 3), Y(8, 2), R(8, 2), Rall(8, 2), P(8, 1);
    Fill(X, Y);
    // Factors x1 and x3 span the same space as x1, x2, x3: the residuals agree.
    int sel[3] = {1, 0, 1};
    Regression_ResidualsSelect(8, 2, 3, Y, X, R, sel);
    Regression_ResidualsSelect(8, 2, 3, Y, X, Rall, nullptr);
    ExpectSame(R, Rall, 1e-5);
    // y2 on x1 alone: slope 0.5 of lm(y2 ~ x1): the earlier fit gave x2 no weight.
    int selY[2] = {0, 1}, selX[3] = {1, 0, 0};
    Regression_PredictedSelect(8, 2, 3, Y, X, P, selY, selX);
    for (int i = 0; i < 8; i++) EXPECT_NEAR(P[i][0], kY2[i] - kE2[i], 1e-5);
}

}  // namespace
