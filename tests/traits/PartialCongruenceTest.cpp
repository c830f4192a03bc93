// Partial Procrustes and RV congruence against R (r/permtest_small.R: residuals of lm on the
// covariates, then vegan::protest and ade4::RV.rtest), column selection and the empty cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <vector>

#include "foundation/TnxThreads.h"
#include "matrix/qwLinearModels.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibResCompare.h"
#include "traits/PermTestData.h"
#include "traits/TNXPERMInternal.h"
#include "traits/TNXPERMTEST.h"

namespace {

TEST(PartialMatrixCorrelation, AgreesWithRAndSelectsColumns) {
    // X and E given T of r/permtest_small.R; T enters through its selection (the third column,
    // all 7, must not enter: it would be a constant predictor anyway, but a wrong width of the
    // predictor table shows).
    Small d(2, false);
    Mat<double> X(kN, kK), T(kN, kP);
    CompositionAndMeans(d, X, T);
    int sel[kP] = {1, 1, 0};
    EXPECT_NEAR(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 2, 2.0, {{kP, sel, T}}), 0.4178472093564839, 1e-10);
    EXPECT_NEAR(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 3, 2.0, {{kP, sel, T}}), 0.17546126354602604, 1e-10);
    // The constant column entering explains nothing: the same values.
    int all[kP] = {1, 1, 1};
    EXPECT_NEAR(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 2, 2.0, {{kP, all, T}}), 0.4178472093564839, 1e-10);
    EXPECT_EQ(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 2, 2.0, {}), 0.0);
    int none[kP] = {0, 0, 0};
    EXPECT_EQ(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 2, 2.0, {{kP, none, T}}), 0.0);
    EXPECT_EQ(PartialMatrixCorrelation(kN, kK, kV, X, d.E, 1, 2.0, {{kP, sel, T}}), 0.0);
}

// Whether the partial congruence of A and B given C (10 objects, C two columns) is defined. A =
// C M + 1.5 + e G, G orthogonal to 1 and to C (built by hand), so that A's residual is e G and
// its share of A's centred sum of squares is r = e^2 H / (F + e^2 H), set by e (F, H the centred
// sums of squares of C M and G): a residual that is rounding noise (e = 0), r on both sides of
// 1e-12, a small genuine residual (r = 1e-5); and A a constant column one ulp off, which has no
// variation of its own. Each also with a -999 in B, through the regression that skips it. An
// undefined one is 0 and flat; a defined one equals the congruence of G itself given C, since
// neither measure depends on the scale of a table. A covariate column without variation (a
// constant one ulp off) adds nothing to C; C scaled down to values of 1e-9 (its variation judged
// against its own values) removes what C removes.
TEST(PartialMatrixCorrelation, ATableWithoutVariationLeftIsFlat) {
    const int n = 10;
    Mat<double> C(n, 3), B(n, 2), small(n, 2);
    FillRandom(C, 41);
    FillRandom(B, 42);
    for (int i = 0; i < n; i++) {
        C[i][2] = i == 6 ? std::nextafter(0.7, 1.0) : 0.7;
        small[i][0] = 1e-9 * C[i][0];
        small[i][1] = 1e-9 * C[i][1];
    }
    const std::vector<MatrixCovariate> covSmall = {{2, nullptr, small}};
    std::vector<double> cm(n), g(n);
    Mat<double> G0(n, 1);
    FillRandom(G0, 43);
    for (int i = 0; i < n; i++) {
        cm[i] = 3 * C[i][0] - 2 * C[i][1];
        g[i] = G0[i][0];
    }
    g = OrthogonalPart(C, {0, 1}, g);
    double F = 0, H = 0, mean = 0;
    for (int i = 0; i < n; i++) mean += cm[i] / n, H += g[i] * g[i];
    for (int i = 0; i < n; i++) F += (cm[i] - mean) * (cm[i] - mean);
    const double up = std::nextafter(0.3, 1.0);
    const struct {
        const char* what;
        double ratio;  // -1: no residual at all; -2: A a constant one ulp off
        bool defined;
    } rows[] = {{"residual of rounding noise", -1, false}, {"ratio 2e-12", 2e-12, true}, {"ratio 0.5e-12", 0.5e-12, false},
                {"ratio 1e-5", 1e-5, true},                {"constant one ulp off", -2, false}};
    // C alone, and C with its column one ulp off entering: the same covariates.
    int two[3] = {1, 1, 0}, three[3] = {1, 1, 1};
    const std::vector<MatrixCovariate> covTwo = {{3, two, C}}, covThree = {{3, three, C}};
    PartialCorrelationWork work(n, 2, 3);
    for (bool missing : {false, true}) {
        if (missing) B[3][1] = -999;
        Mat<double> Gm(n, 1);
        for (int i = 0; i < n; i++) Gm[i][0] = g[i];
        for (const auto& r : rows) {
            SCOPED_TRACE(testing::Message() << r.what << (missing ? ", -999 in B" : ""));
            const double e = r.ratio > 0 ? std::sqrt(r.ratio * F / (H * (1 - r.ratio))) : 0.0;
            Mat<double> A(n, 1);
            for (int i = 0; i < n; i++) A[i][0] = r.ratio == -2 ? (i == 2 ? up : 0.3) : cm[i] + 1.5 + e * g[i];
            for (int method : {2, 3}) {
                for (const auto* cov : {&covTwo, &covThree}) {
                    bool flat = r.defined, flatWork = r.defined;  // the opposite of what must be written
                    const double v = PartialMatrixCorrelation(n, 1, 2, A, B, method, 2.0, *cov, &flat);
                    const double vw = PartialMatrixCorrelation(n, 1, 2, A, B, method, 2.0, *cov, work, &flatWork);
                    EXPECT_EQ(flat, !r.defined) << method;
                    EXPECT_EQ(flatWork, !r.defined) << method;
                    EXPECT_EQ(v, vw) << method;
                    if (!r.defined) {
                        EXPECT_EQ(v, 0.0) << method;
                        continue;
                    }
                    const double want = PartialMatrixCorrelation(n, 1, 2, Gm, B, method, 2.0, covTwo);
                    EXPECT_GT(want, 0.0) << method;
                    EXPECT_NEAR(v, want, 1e-8) << method;
                    EXPECT_NEAR(PartialMatrixCorrelation(n, 1, 2, A, B, method, 2.0, covSmall, work), v, 1e-8) << method;
                }
            }
        }
    }
}

// Residuals are judged column by column. A = [x 10^7, z] given x (10 objects) keeps z whole, some
// 1e-14 of A's centred sum of squares: it varies, and the partial equals that of z alone (a column
// of zeros changes neither measure); with z = 2 x + 1 nothing is left. On the engine's components
// and, with a -999 in B, on the regression that skips it (PCA_Regression_ResidualsSelect: 1 and 0).
TEST(PartialMatrixCorrelation, ResidualsAreJudgedColumnByColumn) {
    const int n = 10;
    Mat<double> X(n, 1), Z(n, 1), B(n, 2), A(n, 2), R(n, 2);
    FillRandom(X, 51);
    FillRandom(Z, 52);
    FillRandom(B, 53);
    const std::vector<MatrixCovariate> cov = {{1, nullptr, X}};
    for (int run = 0; run < 4; run++) {
        const bool explained = run >= 2;
        SCOPED_TRACE(testing::Message() << (explained ? "z = 2 x + 1" : "z whole") << (run % 2 ? ", -999 in B" : ""));
        B[4][1] = run % 2 ? -999 : 0.5;
        for (int i = 0; i < n; i++) A[i][0] = 1e7 * X[i][0], A[i][1] = explained ? 2 * X[i][0] + 1 : Z[i][0];
        EXPECT_EQ(PCA_Regression_ResidualsSelect(n, 2, 1, A, X, R, nullptr, 2, 2.0), explained ? 0 : 1);
        for (int method : {2, 3}) {
            bool flat = !explained;  // the opposite of what must be written
            const double v = PartialMatrixCorrelation(n, 2, 2, A, B, method, 2.0, cov, &flat);
            EXPECT_EQ(flat, explained) << method;
            EXPECT_NEAR(v, explained ? 0.0 : PartialMatrixCorrelation(n, 1, 2, Z, B, method, 2.0, cov), 1e-8) << method;
            EXPECT_TRUE(explained || v > 0.0) << method;
        }
    }
}

}  // namespace

// ------------------------------------------------------------------ the engine's smaller forms

namespace agreement {

using permtest::Compare;
using permtest::Components;
using permtest::CongruenceWork;
using permtest::Config;

// RV through the pA x pB cross products equals the sums over the n x n matrices of the library
// (sum S.T = ||A'B||^2, sum S^2 = ||A'A||^2), and Procrustes from the singular values of A'B
// equals those of the zero-padded square: random data, narrower and wider either side, more
// columns than objects (the n x n Gram form), one column, a constant configuration (0).
TEST(PermTestCongruence, CrossProductFormsEqualTheLibraryForms) {
    struct Case {
        int n, pa, pb;
        bool constantB;
    };
    const Case cases[] = {{6, 2, 5, false}, {9, 5, 2, false}, {12, 4, 4, false}, {7, 1, 3, false},
                          {5, 9, 3, false}, {8, 3, 14, false}, {10, 1, 1, false}, {6, 3, 2, true}};
    for (const Case& c : cases) {
        Mat<double> A(c.n, c.pa), B(c.n, c.pb);
        FillRandom(A, 31 * c.n + c.pa);
        FillRandom(B, 17 * c.n + c.pb, 0.0, 20.0);
        if (c.constantB)
            for (int i = 0; i < c.n; i++)
                for (int j = 0; j < c.pb; j++) B[i][j] = j + 0.5;
        Config a(c.n, c.pa), b(c.n, c.pb);
        a.Set(c.pa, A);
        b.Set(c.pb, B);
        CongruenceWork w(c.n, std::max(c.pa, c.pb));
        const double rv = RVcoeff(c.n, c.pa, c.pb, A, B), pr = ProcrustesCoeff(c.n, c.pa, c.pb, A, B);
        EXPECT_NEAR(Compare(a, b, 3, w), rv, 1e-12) << c.n << " " << c.pa << " " << c.pb;
        EXPECT_NEAR(Compare(a, b, 2, w), pr, 1e-12) << c.n << " " << c.pa << " " << c.pb;
        EXPECT_NEAR(Compare(b, a, 2, w), pr, 1e-12);  // symmetric
        EXPECT_EQ(Compare(a, b, 1, w), 0.0);
        // Buffers narrower than one side: the library's form.
        CongruenceWork narrow(c.n, std::min(c.pa, c.pb));
        EXPECT_NEAR(Compare(a, b, 3, narrow), rv, 1e-12);
        if (c.constantB) EXPECT_EQ(pr, 0.0);
        else EXPECT_GT(rv, 0.0);  // a real comparison, not two zeros
    }
    // A -999 cell: the library's form that skips it.
    Mat<double> A(7, 2), B(7, 3);
    FillRandom(A, 5);
    FillRandom(B, 6);
    B[3][1] = -999;
    Config a(7, 2), b(7, 3);
    a.Set(2, A);
    b.Set(3, B);
    CongruenceWork w(7, 3);
    EXPECT_TRUE(b.missing);
    EXPECT_EQ(Compare(a, b, 3, w), RVcoeff(7, 2, 3, A, B));
    EXPECT_EQ(Compare(a, b, 2, w), ProcrustesCoeff(7, 2, 3, A, B));
    EXPECT_GT(Compare(a, b, 3, w), 0.0);  // the other rows still compare
    EXPECT_GT(Compare(b, a, 2, w), 0.0);
    // The same from single-precision tables: the float forms.
    Mat<float> Af(7, 2), Bf(7, 3);
    FillRandom(Af, 7);
    FillRandom(Bf, 8);
    Bf[2][0] = -999;
    a.Set(2, Af);
    b.Set(3, Bf);
    EXPECT_EQ(Compare(a, b, 3, w), RVcoeff(7, 2, 3, Af, Bf));
    EXPECT_EQ(Compare(a, b, 2, w), double(ProcrustesCoeff(7, 2, 3, Af, Bf)));
    // One table in each precision: no library form takes both, nothing is compared.
    a.Set(2, A);
    EXPECT_EQ(Compare(a, b, 3, w), 0.0);
    // A -999 on one side with no covariate column entering: nothing to partial out.
    int none[2] = {0, 0};
    EXPECT_EQ(PartialMatrixCorrelation(7, 2, 3, A, B, 2, 2.0, {{2, none, A}}), 0.0);
}

// The library's blocks for tables with -999 (for RV, two n x n cross products) are made only
// where a table holds -999: at once when the caller knows one does, otherwise at the first such
// table, and for the one coefficient the method compares by. On 300 objects a work space that
// meets none holds less than one n x n matrix of doubles; one made for RV tables with -999 at
// least two; one made for Procrustes less than one; a -999 met later makes the blocks then, and
// the value is the library's.
TEST(PermTestCongruence, TheLibrarysBlocksAreMadeOnlyWhereATableHoldsMissingValues) {
    const int n = 300, p = 4;
    const std::size_t square = std::size_t(n) * n * sizeof(double);
    std::unique_ptr<CongruenceWork> plain, rv, procrustes;
    const WorkerCost none = MeasureSpace([&] { plain = std::make_unique<CongruenceWork>(n, p); });
    const WorkerCost forRV = MeasureSpace([&] { rv = std::make_unique<CongruenceWork>(n, p, 3); });
    const WorkerCost forProcrustes = MeasureSpace([&] { procrustes = std::make_unique<CongruenceWork>(n, p, 2); });
    EXPECT_LT(none.data, square);
    EXPECT_GE(forRV.data, 2 * square);
    EXPECT_LT(forProcrustes.data, square);
    Mat<double> A(n, 2), B(n, p);
    FillRandom(A, 41);
    FillRandom(B, 42);
    B[5][1] = -999;
    Config a(n, 2), b(n, p);
    a.Set(2, A);
    b.Set(p, B);
    ASSERT_TRUE(b.missing);
    const double want = RVcoeff(n, 2, p, A, B);
    double got = 0.0;
    const WorkerCost met = MeasureSpace([&] { got = Compare(a, b, 3, *plain); });
    EXPECT_EQ(got, want);
    EXPECT_GE(met.data, 2 * square);
    EXPECT_EQ(Compare(a, b, 3, *rv), want);
    EXPECT_EQ(Compare(a, b, 2, *procrustes), ProcrustesCoeff(n, 2, p, A, B));
}

// Sums of singular values worked by hand: columns (3, 4) and 0 give 5 and 0; diag(2, -3) gives
// 2 + 3; the all-ones 2 x 2 gives 2 and 0; a rotation by 30 degrees of diag(1, 4, 0.5) keeps
// them (5.5); a 1 x 1 matrix gives its absolute value.
TEST(PermTestCongruence, NuclearNormOfKnownMatrices) {
    const double c30 = std::sqrt(3.0) / 2, s30 = 0.5;
    struct Case {
        int n;
        std::vector<double> cols;
        double want;
    };
    const std::vector<Case> cases = {{2, {3, 4, 0, 0}, 5.0},
                                     {2, {2, 0, 0, -3}, 5.0},
                                     {2, {1, 1, 1, 1}, 2.0},
                                     {3, {c30, s30, 0, -4 * s30, 4 * c30, 0, 0, 0, 0.5}, 5.5},
                                     {1, {-2.5}, 2.5}};
    for (const Case& c : cases) {
        std::vector<double> m = c.cols;
        EXPECT_NEAR(permtest::NuclearNorm(c.n, m.data()), c.want, 1e-14) << c.n;
    }
}

// The Procrustes congruence from LAPACK's decomposition equals the one-sided Jacobi reference on
// the zero-padded square of the scaled cross product, to 1e-9 relative: a survey's every-OTU
// composition against itself and against its traits (75 x 82 x 8), both sides wider than the
// objects (the values beyond rank n - 1 are rounding), a rank-deficient side (three constant
// columns) and a single column.
TEST(PermTestCongruence, ProcrustesEqualsTheJacobiReference) {
    struct Case {
        int n, pa, pb, constantCols;
    };
    const Case cases[] = {{75, 82, 82, 0}, {75, 82, 8, 0}, {20, 40, 35, 0}, {30, 12, 10, 3}, {6, 1, 9, 0}};
    for (const Case& c : cases) {
        Mat<double> A(c.n, c.pa), B(c.n, c.pb);
        FillRandom(A, 7 * c.n + c.pa, 0.0, 5.0);
        FillRandom(B, 5 * c.n + c.pb, 0.0, 5.0);
        for (int i = 0; i < c.n; i++) {
            B[i][0] += A[i][0];  // some shared shape
            for (int j = 0; j < c.constantCols; j++) B[i][c.pb - 1 - j] = j + 1.0;
        }
        // The reference: columns centred by hand, A'B over the root of the two sums of squares,
        // padded to the square of the larger order.
        auto centred = [&](Mat<double>& m, int p, std::vector<double>& out) {
            out.assign(static_cast<size_t>(c.n) * p, 0.0);
            double ss = 0.0;
            for (int j = 0; j < p; j++) {
                double mean = 0.0;
                for (int i = 0; i < c.n; i++) mean += m[i][j];
                mean /= c.n;
                for (int i = 0; i < c.n; i++) {
                    out[i * p + j] = m[i][j] - mean;
                    ss += out[i * p + j] * out[i * p + j];
                }
            }
            return ss;
        };
        std::vector<double> ac, bc;
        const double ssa = centred(A, c.pa, ac), ssb = centred(B, c.pb, bc);
        const int q = std::max(c.pa, c.pb);
        std::vector<double> square(static_cast<size_t>(q) * q, 0.0);
        for (int a = 0; a < c.pa; a++)
            for (int b = 0; b < c.pb; b++) {
                double sum = 0.0;
                for (int i = 0; i < c.n; i++) sum += ac[i * c.pa + a] * bc[i * c.pb + b];
                square[b * q + a] = sum / std::sqrt(ssa * ssb);
            }
        const double want = permtest::NuclearNorm(q, square.data());
        Config a(c.n, c.pa), b(c.n, c.pb);
        a.Set(c.pa, A);
        b.Set(c.pb, B);
        CongruenceWork w(c.n, q);
        EXPECT_NEAR(Compare(a, b, 2, w), want, 1e-9 * want) << c.n << " " << c.pa << " " << c.pb;
        EXPECT_NEAR(Compare(b, a, 2, w), want, 1e-9 * want);
        EXPECT_GT(want, 0.05);
        EXPECT_LE(want, 1.0 + 1e-12);  // a correlation
    }
}

// Cells whose cross product would overflow (1e200 x 1e200) are first brought to unit magnitude by a
// power of two, which no comparison sees: each table is then the column of its one large cell,
// centred, the same pattern in both (the other cells 1e-200 of it), and Procrustes is 1, by the
// decomposition of A'B, by that of the two triangles and in the library's form, never 0 or NaN.
TEST(PermTestCongruence, CellsWhoseCrossProductWouldOverflowAreCompared) {
    const struct {
        int n, pa, pb;
    } cases[] = {{6, 2, 3}, {4, 9, 8}};
    for (const auto& c : cases) {
        Mat<double> A(c.n, c.pa), B(c.n, c.pb);
        FillRandom(A, 3 * c.n + 1);
        FillRandom(B, 3 * c.n + 2);
        A[1][0] = B[1][0] = 1e200;  // their product, 1e400, is infinite
        Config a(c.n, c.pa), b(c.n, c.pb);
        a.Set(c.pa, A);
        b.Set(c.pb, B);
        CongruenceWork w(c.n, std::max(c.pa, c.pb));
        EXPECT_NEAR(Compare(a, b, 2, w), 1.0, 1e-12) << c.n;
        EXPECT_NEAR(ProcrustesCoeff(c.n, c.pa, c.pb, A, B), 1.0, 1e-12) << c.n;
        A[1][0] = B[1][0] = 1.0;  // the same tables with finite cells compare
        a.Set(c.pa, A);
        b.Set(c.pb, B);
        EXPECT_GT(Compare(a, b, 2, w), 0.0) << c.n;
    }
}

// A table whose squares would leave double (X of r/permtest_small.R times 2^-700 or 2^700) is
// prepared at unit magnitude and keeps R's partial congruences given T, defined; a table that T
// explains entirely (T's selected columns times the same factor) is flat at every scale, as at 1.
TEST(PartialMatrixCorrelation, TablesFarFromUnitScaleGiveTheValuesOfTheirShape) {
    Small d(2, false);
    Mat<double> X(kN, kK), T(kN, kP);
    CompositionAndMeans(d, X, T);
    int sel[kP] = {1, 1, 0};
    for (int e : {-700, 0, 700}) {
        SCOPED_TRACE(e);
        Mat<double> Xs(kN, kK), Ts(kN, 2);
        for (int i = 0; i < kN; i++) {
            for (int k = 0; k < kK; k++) Xs[i][k] = std::ldexp(X[i][k], e);
            for (int k = 0; k < 2; k++) Ts[i][k] = std::ldexp(T[i][k], e);
        }
        const std::vector<MatrixCovariate> byT = {{kP, sel, T}};
        bool flat = true;
        EXPECT_NEAR(PartialMatrixCorrelation(kN, kK, kV, Xs, d.E, 2, 2.0, byT, &flat), 0.4178472093564839, 1e-10);
        EXPECT_FALSE(flat);
        flat = true;
        EXPECT_NEAR(PartialMatrixCorrelation(kN, kK, kV, Xs, d.E, 3, 2.0, byT, &flat), 0.17546126354602604, 1e-10);
        EXPECT_FALSE(flat);
        for (int method : {2, 3}) {
            flat = false;
            EXPECT_EQ(PartialMatrixCorrelation(kN, 2, kV, Ts, d.E, method, 2.0, byT, &flat), 0.0) << method;
            EXPECT_TRUE(flat) << method;
        }
    }
}

// The partial congruence on components computed once equals the residuals of
// PCA_Regression_ResidualsSelect compared by the library: one or two covariates, a column left
// out, a duplicated column (an axis without variance), fewer components allowed than there
// are (n = 12, f = 4: at most 2 of 4), a single component, and more covariate columns than
// objects (12 on 8: the components of the smaller product, at most 6).
TEST(PermTestCongruence, ComponentResidualsEqualThePrincipalComponentRegression) {
    struct Case {
        int n, pa, pb, c1, c2;
        double f;
        bool duplicate, leaveOut;
    };
    const Case cases[] = {{10, 3, 2, 2, 0, 2.0, false, false}, {12, 2, 4, 4, 0, 4.0, false, false},
                          {14, 4, 3, 3, 2, 2.0, true, false},  {11, 2, 6, 3, 1, 2.0, false, true},
                          {9, 12, 2, 1, 0, 2.0, false, false}, {8, 3, 3, 5, 0, 1.0, false, false},
                          {8, 3, 4, 12, 0, 1.0, false, false}};
    for (const Case& c : cases) {
        Mat<double> A(c.n, c.pa), B(c.n, c.pb), C1(c.n, c.c1), C2(c.n, std::max(c.c2, 1));
        FillRandom(A, 3 * c.n + 1);
        FillRandom(B, 3 * c.n + 2);
        FillRandom(C1, 3 * c.n + 3);
        FillRandom(C2, 3 * c.n + 4);
        for (int i = 0; i < c.n; i++) A[i][0] += 2 * C1[i][0];  // something for the covariates to explain
        if (c.duplicate)
            for (int i = 0; i < c.n; i++) C2[i][0] = C1[i][1];
        std::vector<int> sel(c.c1, 1);
        if (c.leaveOut) sel[1] = 0;
        std::vector<MatrixCovariate> cov = {{c.c1, sel.data(), C1}};
        if (c.c2 > 0) cov.push_back({c.c2, nullptr, C2});
        // The reference: the stacked entering columns, residuals of each side, the library.
        int m = 0;
        Mat<double> G(c.n, c.c1 + c.c2), RA(c.n, c.pa), RB(c.n, c.pb);
        for (int j = 0; j < c.c1; j++)
            if (sel[j] == 1) {
                for (int i = 0; i < c.n; i++) G[i][m] = C1[i][j];
                m++;
            }
        for (int j = 0; j < c.c2; j++, m++)
            for (int i = 0; i < c.n; i++) G[i][m] = C2[i][j];
        PCA_Regression_ResidualsSelect(c.n, c.pa, m, A, G, RA, nullptr, 2, c.f);
        PCA_Regression_ResidualsSelect(c.n, c.pb, m, B, G, RB, nullptr, 2, c.f);
        for (int method : {2, 3}) {
            const double want = method == 2 ? ProcrustesCoeff(c.n, c.pa, c.pb, RA, RB) : RVcoeff(c.n, c.pa, c.pb, RA, RB);
            EXPECT_NEAR(PartialMatrixCorrelation(c.n, c.pa, c.pb, A, B, method, c.f, cov), want, 1e-12)
                << "n " << c.n << " method " << method;
            EXPECT_GT(want, 0.0);
        }
        // The residuals themselves, up to the centring the comparison applies to both.
        Components comp(c.n, c.c1 + c.c2);
        ASSERT_TRUE(comp.Compute(cov.data(), static_cast<int>(cov.size()), c.f));
        const int cap = static_cast<int>(double(c.n - 2) / c.f);
        EXPECT_EQ(comp.kept, std::min(cap, m - (c.duplicate ? 1 : 0)));
        Config a(c.n, c.pa), ra(c.n, c.pa);
        a.Set(c.pa, A);
        comp.Residuals(a, ra);
        for (int j = 0; j < c.pa; j++) {
            double mean = 0;
            for (int i = 0; i < c.n; i++) mean += RA[i][j] / c.n;
            for (int i = 0; i < c.n; i++) EXPECT_NEAR(ra.c[i][j], RA[i][j] - mean, 1e-11);
        }
    }
}

}  // namespace agreement
