// Matrix comparison: RV, Procrustes, matrix correlation and relatives. Reference values from
// r/compare.R (vegan's protest and mantel, ade4's RV.rtest, plain R sums), the rest by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

// The configurations of compare.R.
Rows kX = {{1, 2, 0}, {3, 1, 4}, {2, 5, 1}, {6, 2, 2}, {4, 4, 5}, {0, 3, 3}};
Rows kY = {{2, 1}, {1, 3}, {4, 2}, {5, 5}, {3, 6}, {1, 2}};

// Distances written by hand (upper triangle only; the rest holds junk that must be ignored).
template <class T>
void Distances(Mat<T>& data, Mat<T>& d, bool manhattan) {
    d.fill(T(12345));
    for (int i = 0; i < data.rows(); i++)
        for (int j = i + 1; j < data.rows(); j++) {
            double s = 0;
            for (int k = 0; k < data.cols(); k++) {
                double x = double(data[i][k]) - data[j][k];
                s += manhattan ? std::fabs(x) : x * x;
            }
            d[i][j] = T(manhattan ? s : std::sqrt(s));
        }
}

// Rotation by 30 degrees in the first two axes, scaling by 2.5 and translation.
template <class T>
void RotatedCopy(Mat<T>& X, Mat<T>& out) {
    double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    for (int i = 0; i < X.rows(); i++) {
        double x = X[i][0], y = X[i][1];
        out[i][0] = T(2.5 * (c * x - s * y) + 7);
        out[i][1] = T(2.5 * (s * x + c * y) - 3);
        for (int k = 2; k < X.cols(); k++) out[i][k] = T(2.5 * X[i][k] + 1);
    }
}

template <class T>
void CheckConfigurations(double tol) {
    Mat<T> X(kX), Y(kY), Xr(6, 3);
    // Reference: protest t0 = 0.824953135216131, RV.rtest obs = 0.789851038717489.
    EXPECT_NEAR(ProcrustesCoeff(6, 3, 2, X, Y), 0.824953135216131, tol);
    EXPECT_NEAR(ProcrustesCoeff(6, 2, 3, Y, X), 0.824953135216131, tol);  // order does not matter
    EXPECT_NEAR(RVcoeff(6, 3, 2, X, Y), 0.789851038717489, tol);
    EXPECT_NEAR(RVcoeff_OLD(6, 3, 2, X, Y), 0.789851038717489, tol);
    // Rotated, scaled and translated copy: 1 for both, and for the Z form.
    RotatedCopy(X, Xr);
    Mat<T> Z(6, 3), Xs(6, 3), Y3(6, 2);
    EXPECT_NEAR(RVcoeff(6, 3, 3, X, Xr), 1.0, tol);
    EXPECT_NEAR(ProcrustesCoeff(6, 3, 3, X, Xr, Z), 1.0, tol);
    // Z is the standardised Xr rotated back onto X: equal to the standardised X.
    CenterColsMV(6, 3, X, Xs);
    GowerStandardizationCols(6, 3, Xs);
    ExpectSame(Z, Xs, 10 * tol);
    // Scaling either configuration does not change RV.
    for (int i = 0; i < 6; i++)
        for (int k = 0; k < 2; k++) Y3[i][k] = T(3) * Y[i][k];
    EXPECT_NEAR(RVcoeff(6, 3, 2, X, Y3), 0.789851038717489, tol);
    // The inputs are not changed.
    ExpectCells(X, kX, 0);
    ExpectCells(Y, kY, 0);
}

TEST(Configurations, ProcrustesAndRVAgainstReference) {
    CheckConfigurations<double>(1e-10);
    CheckConfigurations<float>(2e-5);
    Mat<double> Xt(3, 6), Yt(2, 6), Z(6, 3), X(kX), Y(kY);
    TransposeMatrix(6, 3, X, Xt);
    TransposeMatrix(6, 2, Y, Yt);
    EXPECT_NEAR(ProcrustesCoeff_T(3, 2, 6, Xt, Yt, Z), 0.824953135216131, 1e-10);
}

// X narrower than Y: C = X'Y / (n - 1) has a zero row, hence a zero singular value, and the
// rotation must still be orthogonal. Then Z = c Ys R gives Z Z' = c^2 Ys Ys' (Ys the
// standardised Y), and Z's third column, which X's zero padding leaves to the rotation alone,
// is not empty.
TEST(Configurations, ZFormRotatesWhenTheCrossProductIsSingular) {
    Mat<double> X(kY), Y(kX), Z(6, 3), Ys(6, 3);
    const double c = ProcrustesCoeff(6, 2, 3, X, Y, Z);
    EXPECT_NEAR(c, 0.824953135216131, 1e-10);  // protest t0 of compare.R: symmetric in X and Y
    CenterColsMV(6, 3, Y, Ys);
    GowerStandardizationCols(6, 3, Ys);
    double third = 0;
    for (int i = 0; i < 6; i++) {
        third += Z[i][2] * Z[i][2];
        for (int j = 0; j < 6; j++) {
            double zz = 0, yy = 0;
            for (int k = 0; k < 3; k++) {
                zz += Z[i][k] * Z[j][k];
                yy += Ys[i][k] * Ys[j][k];
            }
            EXPECT_NEAR(zz, c * c * yy, 1e-12) << i << "," << j;
        }
    }
    EXPECT_GT(third, 1e-3);
}

// Degenerate configurations: a constant one, a non-finite one and a zero cross-product give 0
// (never NaN).
TEST(Configurations, DegenerateCasesGiveZero) {
    Mat<double> X(kX), C(6, 2), N(kY), Z(6, 3);
    Mat<float> Xf(kX), Cf(6, 2);
    C.fill(4);  // constant
    EXPECT_EQ(ProcrustesCoeff(6, 3, 2, X, C), 0.0);
    EXPECT_EQ(RVcoeff(6, 3, 2, X, C), 0.0);
    N[2][1] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ProcrustesCoeff(6, 3, 2, X, N), 0.0);
    Z.fill(8);
    EXPECT_EQ(ProcrustesCoeff(6, 3, 2, X, C, Z), 0.0);
    ExpectCells(Z, {{0, 0, 0}}, 0);
    EXPECT_EQ(RVcoeff(6, 3, 2, Xf, Cf), 0.0);  // zero cross-product
    // Tables that vary, at 1e-24: the float cross products (about 1e-48) would underflow, but RV
    // does not depend on scale: the value of compare.R (RV.rtest obs), as at a scale of 1.
    Mat<float> Xt(kX), Yt(kY);
    for (int i = 0; i < 6; i++) {
        for (int k = 0; k < 3; k++) Xt[i][k] *= 1e-24f;
        for (int k = 0; k < 2; k++) Yt[i][k] *= 1e-24f;
    }
    EXPECT_NEAR(RVcoeff(6, 3, 2, Xt, Yt), 0.789851038717489, 2e-5);
    EXPECT_EQ(ProcrustesCoeff(1, 3, 2, Xf, Cf), 0.0f);
}

// RV does not depend on the scale of either table: X and Y of compare.R, each multiplied by its
// own factor from 1e-30 to 1e30, give RV.rtest's 0.789851038717489 in both precisions (in single
// precision the cross products' squares reach 1e-240 or 1e240 there, beyond float at 1e-24 or
// 1e10), never 0 or NaN; with Y[3][1] missing, the value of the same cells at a scale of 1 in double
// (which the scaled cells keep to float rounding). A table without variation, constant at that
// scale, gives 0 and says so (flat).
template <class T>
void CheckRVAtScale(double sx, double sy, bool missing, double expected, double tol) {
    Mat<T> X(kX), Y(kY), C(6, 2);
    if (missing) Y[3][1] = -999;
    for (int i = 0; i < 6; i++) {
        for (int k = 0; k < 3; k++) X[i][k] = T(X[i][k] * sx);
        for (int k = 0; k < 2; k++)
            if (Y[i][k] != T(-999)) Y[i][k] = T(Y[i][k] * sy);
        C[i][0] = T(4 * sy), C[i][1] = T(-3 * sy);
    }
    ComparisonWorkspace<T> ws(6, 3, 2);
    bool flat = true;
    const double rv = RVcoeff(6, 3, 2, X, Y, ws, &flat);
    EXPECT_NEAR(rv, expected, tol);
    EXPECT_FALSE(flat);
    EXPECT_NEAR(RVcoeff(6, 2, 3, Y, X), expected, tol);
    flat = false;
    EXPECT_EQ(RVcoeff(6, 3, 2, X, C, ws, &flat), 0.0);
    EXPECT_TRUE(flat);
}

TEST(Configurations, RVIsTheSameAtEveryScale) {
    Mat<double> X(kX), Y(kY);
    Y[3][1] = -999;
    const double withMissing = RVcoeff(6, 3, 2, X, Y);
    ASSERT_TRUE(withMissing > 0 && withMissing < 1) << withMissing;
    const struct {
        double sx, sy;
    } scales[] = {{1e-30, 1e-30}, {1e-24, 1e-24}, {1e-10, 1e-10}, {1, 1},       {1e10, 1e10},
                  {1e24, 1e24},   {1e30, 1e30},   {1e-30, 1e30}, {1e30, 1e-30}, {1, 1e-24}};
    for (const auto& s : scales) {
        for (bool missing : {false, true}) {
            SCOPED_TRACE(testing::Message() << s.sx << " " << s.sy << (missing ? " missing" : ""));
            const double expected = missing ? withMissing : 0.789851038717489;
            CheckRVAtScale<float>(s.sx, s.sy, missing, expected, 2e-5);
            CheckRVAtScale<double>(s.sx, s.sy, missing, expected, 1e-10);
        }
    }
    // Beyond single precision, in double; X among the subnormal numbers.
    CheckRVAtScale<double>(1e-150, 1e150, false, 0.789851038717489, 1e-10);
    CheckRVAtScale<double>(1e-310, 1, false, 0.789851038717489, 1e-10);
}

// Procrustes in every form and RV through traces do not depend on scale either: X and Y of
// compare.R, each multiplied by its own factor from 1e-30 to 1e30, give protest's t0
// 0.824953135216131 and RV.rtest's 0.789851038717489 in both precisions (in single precision the
// standardisation squares cells of 1e-48 or 1e40 there, and the traces hold fourth powers),
// never 0 or NaN; with Y[3][1] missing, the values of the same cells at a scale of 1 in double.
// The Z form's Y is standardised before it is rotated, so Z is that of the scale of 1 too. A
// constant table at that scale gives 0 and says so (flat).
struct AtOne {
    double procrustes, rv;
};
template <class T>
void CheckProcrustesAtScale(double sx, double sy, bool missing, const AtOne& want, Mat<double>& Z1, double tol) {
    Mat<T> X(kX), Y(kY), C(6, 2), Z(6, 3);
    if (missing) Y[3][1] = -999;
    for (int i = 0; i < 6; i++) {
        for (int k = 0; k < 3; k++) X[i][k] = T(X[i][k] * sx);
        for (int k = 0; k < 2; k++)
            if (Y[i][k] != T(-999)) Y[i][k] = T(Y[i][k] * sy);
        C[i][0] = T(4 * sy), C[i][1] = T(-3 * sy);
    }
    ComparisonWorkspace<T> ws(6, 3, 2);
    bool flat = true;
    EXPECT_NEAR(ProcrustesCoeff(6, 3, 2, X, Y), want.procrustes, tol);
    EXPECT_NEAR(ProcrustesCoeff(6, 2, 3, Y, X, ws, &flat), want.procrustes, tol);
    EXPECT_FALSE(flat);
    EXPECT_NEAR(RVcoeff_OLD(6, 3, 2, X, Y), want.rv, tol);
    EXPECT_NEAR(RVcoeff_OLD(6, 2, 3, Y, X), want.rv, tol);
    if (!missing) {
        EXPECT_NEAR(ProcrustesCoeff(6, 3, 2, X, Y, Z), want.procrustes, tol);
        for (int i = 0; i < 6; i++)
            for (int k = 0; k < 3; k++) EXPECT_NEAR(Z[i][k], Z1[i][k], 10 * tol) << i << "," << k;
    }
    flat = false;
    EXPECT_EQ(ProcrustesCoeff(6, 3, 2, X, C, ws, &flat), T(0));
    EXPECT_TRUE(flat);
    EXPECT_EQ(ProcrustesCoeff(6, 3, 2, X, C), T(0));
    EXPECT_EQ(RVcoeff_OLD(6, 3, 2, X, C), 0.0);
}

TEST(Configurations, ProcrustesAndRVThroughTracesAreTheSameAtEveryScale) {
    Mat<double> X(kX), Y(kY), Z1(6, 3);
    ASSERT_NEAR(ProcrustesCoeff(6, 3, 2, X, Y, Z1), 0.824953135216131, 1e-10);
    Y[3][1] = -999;
    // With the missing cell, RV through traces is in single precision the n x n form's sum; in
    // double it divides each column by the root of its own count less 1, which is another value.
    const AtOne whole{0.824953135216131, 0.789851038717489},
        missingFloat{ProcrustesCoeff(6, 3, 2, X, Y), RVcoeff(6, 3, 2, X, Y)},
        missingDouble{missingFloat.procrustes, RVcoeff_OLD(6, 3, 2, X, Y)};
    ASSERT_TRUE(missingFloat.procrustes > 0 && missingFloat.procrustes < 1) << missingFloat.procrustes;
    ASSERT_NE(missingFloat.procrustes, whole.procrustes);
    ASSERT_NE(missingDouble.rv, missingFloat.rv);
    const struct {
        double sx, sy;
    } scales[] = {{1e-30, 1e-30}, {1e-24, 1e-24}, {1e-20, 1e-20}, {1e-10, 1e-10}, {1, 1},       {1e10, 1e10},
                  {1e20, 1e20},   {1e24, 1e24},   {1e30, 1e30},   {1e-30, 1e30},  {1e30, 1e-30}, {1, 1e-24}};
    for (const auto& s : scales) {
        for (bool missing : {false, true}) {
            SCOPED_TRACE(testing::Message() << s.sx << " " << s.sy << (missing ? " missing" : ""));
            CheckProcrustesAtScale<float>(s.sx, s.sy, missing, missing ? missingFloat : whole, Z1, 2e-5);
            CheckProcrustesAtScale<double>(s.sx, s.sy, missing, missing ? missingDouble : whole, Z1, 1e-10);
        }
    }
    // Beyond single precision, in double, where the standardisation's squares would be subnormal
    // (1e-320) or infinite, and X among the subnormal numbers (1e-310, 44 bits kept, which no power
    // of two brings to unit magnitude in one step); and the form that takes configurations one row
    // per axis.
    const struct {
        double sx, sy;
    } beyond[] = {{1e-160, 1e160}, {1e160, 1e-160}, {1e-310, 1}};
    for (const auto& s : beyond) {
        SCOPED_TRACE(testing::Message() << s.sx << " " << s.sy);
        CheckProcrustesAtScale<double>(s.sx, s.sy, false, whole, Z1, 1e-10);
        Mat<double> Xt(3, 6), Yt(2, 6), Zt(6, 3);
        for (int i = 0; i < 6; i++) {
            for (int k = 0; k < 3; k++) Xt[k][i] = kX.begin()[i].begin()[k] * s.sx;
            for (int k = 0; k < 2; k++) Yt[k][i] = kY.begin()[i].begin()[k] * s.sy;
        }
        EXPECT_NEAR(ProcrustesCoeff_T(3, 2, 6, Xt, Yt, Zt), whole.procrustes, 1e-10);
    }
}

// Whether a configuration varies: a column's sum of squares about its mean against the rounding
// its values carry, over the present cells. One column of four objects 1 + d, 1 - d, 1 + d, 1 - d:
// centred 4 d^2 against 4 (2^-40 (1 + d))^2 for double values, so d at 1.25 and 0.8 times 2^-40
// lies on either side; the same deviations on a column at 10^7 (values exact in double) or
// multiplied by 1e-30 judge as at 1, since only the spread against the column's own magnitude
// counts; a constant column one ulp off keeps 1e-16 of its size. Without variation Procrustes and
// RV are 0 and say so (flat); with it they compare: against the pattern S = (1, -1, 1, -1), the
// centred column up to scale, both are 1; with a -999, against 0 1 2 3.
TEST(Configurations, VariationIsDecidedAgainstTheRoundingOfEachColumn) {
    const double up = std::nextafter(0.1, 1.0), above = 1.25 * std::ldexp(1.0, -40), below = 0.8 * std::ldexp(1.0, -40);
    const struct {
        const char* what;
        std::vector<double> col;
        bool varies, pattern;
    } rows[] = {
        {"constant", {5, 5, 5, 5}, false, false},
        {"constant one ulp off", {0.1, 0.1, up, 0.1}, false, false},
        {"spread above the rounding", {1 + above, 1 - above, 1 + above, 1 - above}, true, true},
        {"spread below the rounding", {1 + below, 1 - below, 1 + below, 1 - below}, false, false},
        {"scaled by 1e-30, above", {1e-30 * (1 + above), 1e-30 * (1 - above), 1e-30 * (1 + above), 1e-30 * (1 - above)},
         true, true},
        {"scaled by 1e-30, below", {1e-30 * (1 + below), 1e-30 * (1 - below), 1e-30 * (1 + below), 1e-30 * (1 - below)},
         false, false},
        {"at 10^7, spread 1", {1e7 + 1, 1e7 - 1, 1e7 + 1, 1e7 - 1}, true, true},
        {"at 10^7, one ulp off", {1e7, 1e7, std::nextafter(1e7, 2e7), 1e7}, false, false},
        {"spread 1e-5", {1 + 1e-5, 1 - 1e-5, 1 + 1e-5, 1 - 1e-5}, true, true},
        {"zeros", {0, 0, 0, 0}, false, false},
        {"-999 among equal values", {-999, 3, 3, 3}, false, false},
        {"-999 among values one ulp apart", {0.1, -999, up, 0.1}, false, false},
        {"-999 among varying values", {-999, 1, 2, 3}, true, false},
        {"all -999", {-999, -999, -999, -999}, false, false},
    };
    Mat<double> S{{1}, {-1}, {1}, {-1}};
    ComparisonWorkspace<double> ws(4, 1, 1);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Mat<double> X(4, 1);
        for (int i = 0; i < 4; i++) X[i][0] = r.col[i];
        EXPECT_EQ(ConfigurationHasVariation(4, 1, X), r.varies);
        EXPECT_EQ(ColumnHasVariation(4, X, 0), r.varies);
        for (int method : {2, 3}) {
            bool flatXS = r.varies, flatSX = r.varies;  // the opposite of what must be written
            const double xs = method == 2 ? ProcrustesCoeff(4, 1, 1, X, S, ws, &flatXS) : RVcoeff(4, 1, 1, X, S, ws, &flatXS);
            const double sx = method == 2 ? ProcrustesCoeff(4, 1, 1, S, X, ws, &flatSX) : RVcoeff(4, 1, 1, S, X, ws, &flatSX);
            EXPECT_EQ(flatXS, !r.varies) << method;
            EXPECT_EQ(flatSX, !r.varies) << method;
            if (!r.varies) {
                EXPECT_EQ(xs, 0.0) << method;
                EXPECT_EQ(sx, 0.0) << method;
                EXPECT_EQ(RVcoeff_OLD(4, 1, 1, X, S), 0.0);
            } else if (r.pattern) {
                EXPECT_NEAR(xs, 1.0, 1e-8) << method;
                EXPECT_NEAR(sx, 1.0, 1e-8) << method;
            } else {
                // Against the column 0, 1, 2, 3 (the pattern meets its present cells at 0).
                Mat<double> R{{0}, {1}, {2}, {3}};
                EXPECT_GT(method == 2 ? ProcrustesCoeff(4, 1, 1, X, R, ws, &flatXS) : RVcoeff(4, 1, 1, X, R, ws, &flatXS),
                          0.0) << method;
                EXPECT_FALSE(flatXS);
            }
        }
    }
    // A table varies when any column does: a constant column beside a varying one leaves it varying.
    Mat<double> two{{5, 1}, {5, 2}, {5, 3}, {5, 4}};
    EXPECT_TRUE(ConfigurationHasVariation(4, 2, two));
    EXPECT_FALSE(ColumnHasVariation(4, two, 0));
    // The spread by hand: present 1, 2, 3 (mean 2): centred 1 + 0 + 1, magnitude 3, three cells;
    // the constant column 0 about its mean; the centred sums add over the columns.
    Mat<double> M{{-999, 5}, {1, 5}, {2, 5}, {3, 5}};
    const ColumnSpread c0 = SpreadOfColumn(4, M, 0), c1 = SpreadOfColumn(4, M, 1);
    EXPECT_EQ(c0.centred, 2.0);
    EXPECT_EQ(c0.magnitude, 3.0);
    EXPECT_EQ(c0.count, 3);
    EXPECT_EQ(c1.centred, 0.0);
    EXPECT_EQ(c1.magnitude, 5.0);
    EXPECT_EQ(c1.count, 4);
    EXPECT_EQ(CentredSumOfSquares(4, 2, M), 2.0);
    // Single precision is taken as read: a column one step off varies (it is a difference in the
    // data), at 0.1 as at 10^7 where the step is 1; an exactly constant one does not.
    ComparisonWorkspace<float> wf(4, 1, 1);
    Mat<float> Sf{{1}, {-1}, {1}, {-1}};
    for (float base : {0.1f, 1e7f}) {
        SCOPED_TRACE(base);
        Mat<float> F{{base}, {std::nextafter(base, 2 * base)}, {base}, {base}}, C{{base}, {base}, {base}, {base}};
        bool flat = true;
        EXPECT_GT(ProcrustesCoeff(4, 1, 1, F, Sf, wf, &flat), 0.0f);
        EXPECT_FALSE(flat);
        EXPECT_TRUE(ColumnHasVariation(4, F, 0));
        EXPECT_EQ(ProcrustesCoeff(4, 1, 1, C, Sf, wf, &flat), 0.0f);
        EXPECT_TRUE(flat);
    }
}

// Missing cells: a -999 leaves its terms out and the coefficient stays a number in [0, 1];
// without -999 the MV path equals the plain one (checked above).
TEST(Configurations, MissingCellsAreSkipped) {
    Mat<double> X(kX), Y(kY);
    Y[3][1] = -999;
    double rv = RVcoeff(6, 3, 2, X, Y), pc = ProcrustesCoeff(6, 3, 2, X, Y);
    EXPECT_TRUE(rv > 0 && rv <= 1) << rv;
    EXPECT_TRUE(pc > 0 && pc <= 1) << pc;
    EXPECT_NE(rv, 0.789851038717489);
}

// Procrustes fit of a rotated, scaled and translated copy gives back the target exactly:
// residual sums of squares 0.
TEST(Configurations, ProcrustesFitRecoversTheTarget) {
    Mat<double> X(kX), Xr(6, 3), fit(6, 3);
    RotatedCopy(X, Xr);
    double ss[3] = {9, 9, 9};
    EXPECT_EQ(ProcrustesAdj(6, 3, 3, X, Xr, fit, ss), 0);
    ExpectSame(fit, X, 1e-10);
    ExpectVec(ss, {0, 0, 0}, 1e-18);
    EXPECT_NEAR(ProcrustesCoeff_OLD(6, 3, X, Xr), 0.0, 1e-8);
    // Row-per-axis layout.
    Mat<double> Xt(3, 6), Xrt(3, 6), fitT(3, 6);
    TransposeMatrix(6, 3, X, Xt);
    TransposeMatrix(6, 3, Xr, Xrt);
    ProcrustesAdjT(3, 3, 6, Xt, Xrt, fitT, static_cast<double*>(nullptr));
    ExpectSame(fitT, Xt, 1e-10);
    // A narrower Y fits the first two columns of X, and only its own two columns are written.
    Mat<double> X2(6, 2), X2r(6, 2), fit3(6, 3);
    for (int i = 0; i < 6; i++)
        for (int k = 0; k < 2; k++) X2[i][k] = X[i][k];
    RotatedCopy(X2, X2r);
    fit3.fill(77);
    ProcrustesAdj(6, 3, 2, X, X2r, fit3, ss);
    for (int i = 0; i < 6; i++) {
        EXPECT_NEAR(fit3[i][0], X[i][0], 1e-10) << i;
        EXPECT_NEAR(fit3[i][1], X[i][1], 1e-10) << i;
        EXPECT_EQ(fit3[i][2], 77) << i;
    }
}

// One column: the fit is the least-squares line of X on Y. X = 1 2 3 4, Y = 1 3 2 5 by hand:
// Sxy = 5.5, Syy = 8.75, so fit = 2.5 + (5.5 / 8.75)(Y - 2.75) = 1.4, 2.657143, 2.028571, 3.914286;
// reversing Y reflects the rotation and gives the same fit.
TEST(Configurations, ProcrustesFitOfOneColumnIsTheLeastSquaresLine) {
    const double b = 5.5 / 8.75;
    const std::vector<double> expected = {2.5 + b * -1.75, 2.5 + b * 0.25, 2.5 + b * -0.75, 2.5 + b * 2.25};
    for (double sign : {1.0, -1.0}) {
        Mat<double> X(4, 1), Y(4, 1), fit(4, 1);
        const double x[4] = {1, 2, 3, 4}, y[4] = {1, 3, 2, 5};
        for (int i = 0; i < 4; i++) X[i][0] = x[i], Y[i][0] = sign * y[i];
        double ss[1] = {-1};
        ProcrustesAdj(4, 1, 1, X, Y, fit, ss);
        for (int i = 0; i < 4; i++) EXPECT_NEAR(fit[i][0], expected[i], 1e-12) << sign << " " << i;
        double residual = 0;
        for (int i = 0; i < 4; i++) residual += (x[i] - expected[i]) * (x[i] - expected[i]);
        EXPECT_NEAR(ss[0], residual, 1e-12) << sign;
    }
}

// Fit of Y onto the first two columns of X: residual sum of squares 15.2435233160622 (vegan's
// procrustes ss), 2 (1 - sqrt(1 - R/Tot)) = 0.125911620577618; a target of zero total gives 0.
TEST(Configurations, ProcrustesOldAgainstReference) {
    Mat<double> X(kX), Y(kY), fit(6, 2), Z(6, 2);
    double ss[2];
    EXPECT_NEAR(ProcrustesCoeff_OLD(6, 2, X, Y), 0.125911620577618, 1e-12);
    ProcrustesAdj(6, 2, 2, X, Y, fit, ss);
    EXPECT_NEAR(ss[0] + ss[1], 15.2435233160622, 1e-10);
    EXPECT_EQ(ProcrustesCoeff_OLD(6, 2, Z, Y), 0.0);  // Tot = 0
}

// A work space reused over many calls, in the other order of the configurations, gives the
// reference values; configurations larger than it fall back to scratch of their own.
template <class T>
void CheckWorkspace(double tol) {
    ComparisonWorkspace<T> ws(6, 3, 2);
    Mat<T> X(kX), Y(kY);
    for (int rep = 0; rep < 2; rep++) {
        EXPECT_NEAR(ProcrustesCoeff(6, 2, 3, Y, X, ws), 0.824953135216131, tol);
        EXPECT_NEAR(RVcoeff(6, 2, 3, Y, X, ws), 0.789851038717489, tol);
    }
    EXPECT_EQ((std::vector<bool>{ws.Fits(6, 2, 3), ws.Fits(7, 2, 2), ws.Fits(6, 4, 1)}),
              (std::vector<bool>{true, false, false}));
    ComparisonWorkspace<T> small(3, 1, 1);
    EXPECT_NEAR(ProcrustesCoeff(6, 3, 2, X, Y, small), 0.824953135216131, tol);
    EXPECT_NEAR(RVcoeff(6, 3, 2, X, Y, small), 0.789851038717489, tol);
}

TEST(Configurations, WorkspaceGivesTheSameValues) {
    CheckWorkspace<double>(1e-10);
    CheckWorkspace<float>(2e-5);
}

// The coefficient alone (LAPACK's singular values on the smaller order) equals the one the
// rotation form computes from GSL's one-sided Jacobi, to 1e-9 relative: a narrow table against
// a wide one, both wider than the objects (singular values beyond n - 1 are rounding), equal
// widths; double and float.
TEST(Configurations, CoefficientAloneEqualsTheRotationForm) {
    const struct {
        int n, p1, p2;
    } cases[] = {{12, 3, 20}, {10, 15, 14}, {9, 4, 4}, {30, 25, 2}};
    for (const auto& c : cases) {
        const int q = std::max(c.p1, c.p2);
        Mat<double> X(c.n, q), Y(c.n, q), Z(c.n, q);
        FillRandom(X, 11 * c.n + c.p1);
        FillRandom(Y, 13 * c.n + c.p2);
        for (int i = 0; i < c.n; i++) Y[i][0] += 2 * X[i][0];
        const double withRotation = ProcrustesCoeff(c.n, c.p1, c.p2, X, Y, Z);
        EXPECT_NEAR(ProcrustesCoeff(c.n, c.p1, c.p2, X, Y), withRotation, 1e-9 * withRotation) << c.n;
        EXPECT_GT(withRotation, 0.1);
        Mat<float> Xf(c.n, q), Yf(c.n, q), Zf(c.n, q);
        for (int i = 0; i < c.n; i++)
            for (int j = 0; j < q; j++) Xf[i][j] = float(X[i][j]), Yf[i][j] = float(Y[i][j]);
        const float f = ProcrustesCoeff(c.n, c.p1, c.p2, Xf, Yf, Zf);
        EXPECT_NEAR(ProcrustesCoeff(c.n, c.p1, c.p2, Xf, Yf), f, 1e-5 * f);
    }
}

// ---------------------------------------------------------------- resemblance matrices

template <class T>
void CheckResemblanceComparisons(double tol) {
    Mat<T> X(kX), Y(kY), A(6, 6), B(6, 6);
    Distances(X, A, false);
    Distances(Y, B, true);
    EXPECT_NEAR(MatrixCorr(6, A, B), 0.629176282650881, tol);       // mantel r
    EXPECT_NEAR(MatrixStress(6, A, B), 1 - 0.629176282650881 * 0.629176282650881, tol);
    EXPECT_NEAR(MatrixCov(6, A, B), 1.13956308436345, tol);
    EXPECT_NEAR(MatrixCos(6, A, B), 0.954729562298047, tol);
    EXPECT_NEAR(MatrixStressKruskal(6, A, B), 0.305813295353474, tol);
    EXPECT_NEAR(MatrixAbsValDist(6, A, B), 18.134130556206, 10 * tol);
    EXPECT_NEAR(MatrixEudDist(6, A, B), 5.40347612932636, 10 * tol);
    EXPECT_NEAR(MatrixDist(6, A, B), 0.300900108680448, 1e-6);  // single-precision vectors
    EXPECT_NEAR(MatrixRankCorr(6, A, B), 0.640178571428571, 1e-6);
    EXPECT_NEAR(MatrixCorrAdj(6, A, B), 0.629176282650881, 1e-5);
    T ssa, ssb;
    T sp = MatrixProdMomentAdj(6, &ssa, &ssb, A, B);
    EXPECT_NEAR(sp / std::sqrt(ssa * ssb), 0.629176282650881, 1e-5);
    EXPECT_NEAR(sp / 14, 1.13956308436345, 1e-5);  // 15 cells: covariance = SP / 14
    // Joint zeros left out (cells (0,1) and (0,5) of both set to 0).
    A[0][1] = B[0][1] = A[0][5] = B[0][5] = 0;
    EXPECT_NEAR(MatrixCorrAdj(6, A, B), 0.605249715673876, 1e-5);
    // Partial correlation with C = distances of Y1 + X3.
    Distances(X, A, false);
    Distances(Y, B, true);
    Mat<T> V(6, 1), C(6, 6);
    for (int i = 0; i < 6; i++) V[i][0] = Y[i][0] + X[i][2];
    Distances(V, C, false);
    EXPECT_NEAR(PartialMatrixCorr(6, A, B, C), 0.483273486419631, 1e-5);
}

TEST(ResemblanceMatrices, CoefficientsAgainstReference) {
    CheckResemblanceComparisons<double>(1e-10);
    CheckResemblanceComparisons<float>(1e-5);
}

// MatrixCorr: identical matrices 1; n = 1 and all-missing 0; a constant A 0; the diagonal and
// lower triangle are never read; a -999 pair leaves both means and every sum.
TEST(ResemblanceMatrices, MatrixCorrEdges) {
    Mat<double> A{{0, 1, 2}, {9, 0, 4}, {9, 9, 0}}, B{{0, 1, 2}, {-5, 7, 4}, {3, 1, 0}};
    EXPECT_NEAR(MatrixCorr(3, A, B), 1.0, 1e-15);
    EXPECT_EQ(MatrixCorr(1, A, B), 0.0);
    Mat<double> K{{0, 3, 3}, {0, 0, 3}, {0, 0, 0}}, M{{0, -999, -999}, {0, 0, -999}, {0, 0, 0}};
    EXPECT_EQ(MatrixCorr(3, K, B), 0.0);
    EXPECT_EQ(MatrixCorr(3, M, B), 0.0);
    // Pairs: (0,1) 1/1, (0,2) 2/3, (0,3) 4/0, (1,2) missing, (1,3) 8/9, (2,3) 0/0.
    // Counted values a = (1, 2, 4, 8, 0), b = (1, 3, 0, 9, 0): Pearson r of the five pairs.
    Mat<float> P{{0, 1, 2, 4}, {0, 0, -999, 8}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    Mat<double> Q{{0, 1, 3, 0}, {0, 0, 2, 9}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    double a[] = {1, 2, 4, 8, 0}, b[] = {1, 3, 0, 9, 0};
    EXPECT_NEAR(MatrixCorr(4, P, Q), Pearson(a, b, 5), 1e-7);
}

// A double resemblance matrix whose cells differ by one ulp has no spread to correlate: MatrixCorr
// is 0, either side. Single-precision cells are taken as they are: a constant matrix is 0 exactly,
// also at 30 communities, where the single-precision sums of its mean leave every cell a deviation
// of their own rounding; cells one float step apart are a spread (a difference in the data), whose
// Pearson correlation is taken. One double cell 1e-3 apart is spread too.
TEST(ResemblanceMatrices, MatrixCorrOfCellsOneUlpApartIsZeroInDoubleAndTakenAsTheyAreInSingle) {
    const double up = std::nextafter(0.1, 1.0);
    Mat<double> A{{0, .1, .1, .1}, {0, 0, .1, up}, {0, 0, 0, .1}, {0, 0, 0, 0}};
    Mat<double> B{{0, 1, 2, 4}, {0, 0, 8, 3}, {0, 0, 0, 5}, {0, 0, 0, 0}};
    EXPECT_EQ(MatrixCorr(4, A, B), 0.0);
    EXPECT_EQ(MatrixCorr(4, B, A), 0.0);
    const float step = std::nextafter(.1f, 1.0f);
    Mat<float> Af{{0, .1f, .1f, .1f}, {0, 0, .1f, step}, {0, 0, 0, .1f}, {0, 0, 0, 0}}, Bf(4, 4);
    Copy(B, Bf);
    const double af[] = {.1f, .1f, .1f, .1f, step, .1f}, b[] = {1, 2, 4, 8, 3, 5};
    // The float form rounds its mean to single precision, half a step of the spread it centres:
    // near the Pearson correlation, not at it.
    EXPECT_NEAR(MatrixCorr(4, Af, Bf), Pearson(af, b, 6), 0.02);
    EXPECT_NE(MatrixCorr(4, Af, Bf), 0.0f);
    EXPECT_NEAR(MatrixCorr(4, Af, B), Pearson(af, b, 6), 1e-9);
    Af[1][3] = .1f;
    EXPECT_EQ(MatrixCorr(4, Af, Bf), 0.0f);
    EXPECT_EQ(MatrixCorr(4, Bf, Af), 0.0f);
    EXPECT_EQ(MatrixCorr(4, Af, B), 0.0);
    const int n = 30;
    Mat<float> C(n, n), D(n, n);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            C[i][j] = .1f;
            D[i][j] = static_cast<float>((i * 7 + j * 3) % 11);
        }
    EXPECT_EQ(MatrixCorr(n, C, D), 0.0f);
    EXPECT_EQ(MatrixCorr(n, D, C), 0.0f);
    A[1][3] = 0.101;
    const double a[] = {.1, .1, .1, .1, .101, .1};
    EXPECT_NEAR(MatrixCorr(4, A, B), Pearson(a, b, 6), 1e-9);
}

// The flag of the double form says when MatrixCorr is 0 for want of variation, its value unchanged:
// n < 2; no pair with both cells present; the counted cells of A (or of B, either side) the same, or
// one ulp apart (rounding of their own scale); a spread of 1e-5 on 0.1 (centred ~ 1e-10 5/6 against
// 0.06: 1.4e-9 of the scale) is variation, and so are the five counted pairs that a -999 leaves.
TEST(ResemblanceMatrices, MatrixCorrSaysWhenAMatrixHasNoVariation) {
    const double up = std::nextafter(0.1, 1.0);
    struct Row {
        const char* what;
        int n;
        double cells[6];  // A's upper cells (0,1), (0,2), (0,3), (1,2), (1,3), (2,3)
        bool flat;
    };
    const Row rows[] = {
        {"one community", 1, {.1, .2, .3, .4, .5, .6}, true},
        {"no pair counted", 4, {-999, -999, -999, -999, -999, -999}, true},
        {"equal cells", 4, {.1, .1, .1, .1, .1, .1}, true},
        {"one ulp apart", 4, {.1, .1, .1, .1, up, .1}, true},
        {"1e-5 apart", 4, {.1, .1, .1, .1, .10001, .1}, false},
        {"a pair missing", 4, {1, 3, 0, -999, 9, 2}, false},
    };
    Mat<double> B{{0, 1, 2, 4}, {0, 0, 8, 3}, {0, 0, 0, 5}, {0, 0, 0, 0}}, A(4, 4);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        int k = 0;
        for (int i = 0; i < 4; i++)
            for (int j = i + 1; j < 4; j++) A[i][j] = r.cells[k++];
        bool flat = !r.flat;
        EXPECT_EQ(MatrixCorr(r.n, A, B, &flat), MatrixCorr(r.n, A, B));
        EXPECT_EQ(flat, r.flat);
        flat = !r.flat;
        EXPECT_EQ(MatrixCorr(r.n, B, A, &flat), MatrixCorr(r.n, B, A));
        EXPECT_EQ(flat, r.flat);
        if (r.flat) {
            EXPECT_EQ(MatrixCorr(r.n, A, B), 0.0);
        } else {
            EXPECT_NE(MatrixCorr(r.n, A, B), 0.0);
        }
    }
    // A constant matrix of 450 communities (101,025 cells) or 1415 (1,000,405): cells that a
    // running sum rounds (0.1, 10^7 + 0.1) and cells whose squares overflow or underflow (3e160,
    // 3.3e-165) have no variation, either side; one cell 2^-20 off has, and correlates with D as
    // that cell alone at 1 among zeros does, at every scale.
    for (int n : {450, 1415}) {
        Mat<double> C(n, n), D(n, n), one(n, n);
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) D[i][j] = (i * 7 + j * 3) % 11;
        one[n / 3][n / 2] = 1;
        const double alone = MatrixCorr(n, one, D);
        for (double value : {0.1, 1e7 + 0.1, 3e160, 3.3e-165}) {
            SCOPED_TRACE(testing::Message() << n << " communities of " << value);
            C.fill(value);
            bool flat = false;
            EXPECT_EQ(MatrixCorr(n, C, D, &flat), 0.0);
            EXPECT_TRUE(flat);
            flat = false;
            EXPECT_EQ(MatrixCorr(n, D, C, &flat), 0.0);
            EXPECT_TRUE(flat);
            C[n / 3][n / 2] = value * (1 + 0x1p-20);
            EXPECT_NEAR(MatrixCorr(n, C, D, &flat), alone, 1e-6);
            EXPECT_FALSE(flat);
        }
    }
}

TEST(ResemblanceMatrices, EdgesOfTheRelatives) {
    Mat<double> A{{0, 1}, {0, 0}}, B{{0, 3}, {0, 0}}, Z(2, 2);
    EXPECT_EQ(MatrixStressKruskal(1, A, B), -1.0);
    EXPECT_EQ(MatrixStressKruskal(2, Z, Z), -1.0);
    EXPECT_EQ(MatrixCov(2, A, B), 0.0);  // one cell: no covariance
    EXPECT_EQ(MatrixRankCorr(2, A, B), 0.0);
    EXPECT_EQ(MatrixCos(2, A, Z), 0.0);
    EXPECT_EQ(MatrixCos(1, A, B), 0.0);
    EXPECT_EQ(MatrixEudDist(2, A, A), 0.0);
    EXPECT_EQ(MatrixDist(1, A, B), 0.0);
    // Two communities: one cell each, scaled to unit length (1 and -1): 2 apart, or 0 alike.
    Mat<double> N{{0, -3}, {0, 0}};
    EXPECT_DOUBLE_EQ(MatrixDist(2, A, N), 2.0);
    EXPECT_EQ(MatrixDist(2, A, B), 0.0);
    EXPECT_EQ(MatrixAbsValDist(2, A, B), 2.0);
    EXPECT_EQ(MatrixCorrAdj(1, A, B), 0.0);
    // A joint zero is a pair both below 1e-6 in size. Cells (a, 1, 2) against (b, 2, 1): with the
    // first pair counted, deviations about (-1, 0, 1) and (-1, 1, 0) give 1 / 2; left out, the two
    // pairs left give -1. A pair with either cell at 1e-6 is counted; both at 5e-7, it is not.
    const struct {
        double a, b, r;
    } pairs[] = {{1e-6, 5e-7, 0.5}, {5e-7, 1e-6, 0.5}, {1e-6, 1e-6, 0.5}, {5e-7, 5e-7, -1.0}};
    for (const auto& z : pairs) {
        Mat<double> P{{0, z.a, 1}, {0, 0, 2}, {0, 0, 0}}, Q{{0, z.b, 2}, {0, 0, 1}, {0, 0, 0}};
        EXPECT_NEAR(MatrixCorrAdj(3, P, Q), z.r, 1e-6) << z.a << " " << z.b;
    }
    // Kruskal of (1) with (3): sqrt(4 / 4) = 1.
    EXPECT_DOUBLE_EQ(MatrixStressKruskal(2, A, B), 1.0);
    // MatrixCov, MatrixAbsValDist treat -999 as a number: cells (-999, 1) against (0, 0).
    Mat<double> M{{0, -999, 1}, {0, 0, 1}, {0, 0, 0}}, O(3, 3);
    EXPECT_DOUBLE_EQ(MatrixAbsValDist(3, M, O), 1001.0);
}

// A covariate that is a linear function of A gives 0; a constant covariate gives the plain
// matrix correlation.
TEST(ResemblanceMatrices, PartialCorrelationEdges) {
    Mat<double> X(kX), Y(kY), A(6, 6), B(6, 6), C(6, 6), K(6, 6);
    Distances(X, A, false);
    Distances(Y, B, true);
    for (int i = 0; i < 6; i++)
        for (int j = 0; j < 6; j++) C[i][j] = 2 * A[i][j] + 1;
    EXPECT_EQ(PartialMatrixCorr(6, A, B, C), 0.0);
    K.fill(5);
    EXPECT_NEAR(PartialMatrixCorr(6, A, B, K), MatrixCorr(6, A, B), 1e-12);
    EXPECT_EQ(PartialMatrixCorr(1, A, B, K), 0.0);
}

// Whole tables: vecProd of [[1,2],[3,4]] with itself 30 (the third column lies outside the
// table); deviations of (1,2 / 3,4) against
// (0,2 / 3,6): squares 1 + 4 = 5, 1 - 5/4; absolute 1 + 2 = 3, 1 - 3/4.
TEST(WholeTables, ProductsAndDeviations) {
    Mat<double> A{{1, 2}, {3, 4}}, B{{0, 2}, {3, 6}};
    Mat<float> Af{{1, 2, 9}, {3, 4, 9}}, Bf{{0, 2}, {3, 6}};
    EXPECT_EQ(vecProd(2, Af, Af), 30.0);
    EXPECT_EQ(vecProd(0, Af, Af), 0.0);
    EXPECT_DOUBLE_EQ(SQMatrixDeviations(2, 2, A, B), -0.25);
    EXPECT_DOUBLE_EQ(SQMatrixDeviations(2, 2, Af, Bf), -0.25);
    EXPECT_DOUBLE_EQ(SumAbsMatrixDeviations(2, 2, Af, Bf), 0.25);
    EXPECT_EQ(SQMatrixDeviations(0, 2, A, B), 1.0);  // no cells: perfect agreement
    EXPECT_EQ(SumAbsMatrixDeviations(0, 2, Af, Bf), 1.0);
}

}  // namespace
