// Ordination engine and resemblance conversions. Reference values: r/ordination.R (cmdscale,
// prcomp, ade4::dudi.coa) or worked by hand in the comments. Axes are compared up to sign.

#include <numeric>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

using Vec = std::vector<double>;

// Row k of m (len entries) equals want or -want within tol.
template <class T>
void ExpectAxis(T** m, int k, const Vec& want, double tol) {
    double sign = (m[k][0] * want[0] < 0) ? -1.0 : 1.0;
    for (size_t i = 0; i < want.size(); i++) EXPECT_NEAR(m[k][i] * sign, want[i], tol) << "axis " << k << " at " << i;
}

template <class T>
void Mirror(Mat<T>& m) { UpperToLowerMatrix(m.rows(), static_cast<T**>(m)); }

// The outputs of one ordination of n objects with m scores each; E the eigenvalues' type.
template <class T, class E = T>
struct Ord {
    Mat<T> vec, scores;
    std::vector<E> eig;
    int axes = -1;
    bool ok = false;
    Ord(int n, int m) : vec(n, n), scores(n, m), eig(n) {}
};

// Correspondence scaling of table t: the ordination of the cross products of the rows of its
// deviations from independence; vec then holds the normed row scores and scores the normed
// column scores.
struct Coa : Ord<double> {
    Coa(Rows t) : Ord(int(t.size()), int(t.begin()->size())) {
        const int n = int(t.size()), p = int(t.begin()->size());
        Mat<double> T(t), S(n, p), C(n, n);
        DeviationsExpectationsMV(n, p, T, S);
        CrossProductMV(n, p, S, C);
        Mirror(C);
        OrdinationLib_D(n, p, T, C, vec, scores, &axes, eig.data(), &ok, 3, 1, 1);
    }
};

// ok is not checked in the calls below that pass it.
bool ok;

TEST(PrincipalCoordinatesTest, CollinearPointsKeepOneAxisInBothPrecisions) {
    // Points 0, 1, 3: centred at 4/3, so the one axis holds -4/3, -1/3, 5/3 (up to sign) and
    // its eigenvalue is the sum of their squares, 14/3.
    BothPrecisions([](auto zero, double tol) {
        using T = decltype(zero);
        Mat<T> D({{0, 1, 3}, {1, 0, 2}, {3, 2, 0}});
        Ord<T> o(3, 3);
        if constexpr (std::is_same<T, float>::value)
            OrdinationLib(3, 0, nullptr, D, o.vec, o.scores, &o.axes, o.eig.data(), &o.ok, 1, 3, 1);
        else
            OrdinationLib_D(3, 0, nullptr, D, o.vec, o.scores, &o.axes, o.eig.data(), &o.ok, 1, 3, 1);
        EXPECT_TRUE(o.axes == 1 && o.ok);
        EXPECT_NEAR(o.eig[0], 14.0 / 3, tol * 10);
        ExpectAxis(o.scores.operator T**(), 0, {4.0 / 3, 1.0 / 3, -5.0 / 3}, tol * 10);
        EXPECT_EQ(D[0][2], T(3));  // the resemblance is not changed
    });
}

TEST(PrincipalCoordinatesTest, EqualsClassicalScaling) {
    Mat<double> P({{0, 0}, {3, 1}, {1, 4}, {5, 2}, {2, 2}}), D(5, 5);
    RowDistances(P, D);
    Ord<double> o(5, 5);
    EXPECT_EQ(OrdinationLib_D(5, 0, nullptr, D, o.vec, o.scores, &o.axes, o.eig.data(), &o.ok, 1, 3, 1), 1);
    EXPECT_EQ(o.axes, 2);
    ExpectVec(o.eig.data(), {15.0310988842807, 8.56890111571931}, 1e-10);
    ExpectAxis(o.scores.operator double**(), 0, {2.50069758888804, -0.634279092461176, 0.762311117536815, -2.78729938707897, 0.158569773115294}, 1e-10);
    ExpectAxis(o.scores.operator double**(), 1, {1.35148494957567, 0.936851126309098, -2.38723307619507, 0.333109781887577, -0.234212781577275}, 1e-10);
}

TEST(PrincipalCoordinatesTest, SimilarityConversionDiffersBetweenForms) {
    // Two objects, similarity 0.5. The float form takes sqrt(1 - s) = 0.7071 as the squared
    // distance, the double form s_ii + s_jj - 2 s_ij = 1; two points at squared distance a have
    // one eigenvalue a / 2.
    Mat<float> Sf({{1, 0.5}, {0.5, 1}}), Cf({{2, 1}, {1, 2}});
    Mat<double> Sd({{1, 0.5}, {0.5, 1}}), Cd({{2, 1}, {1, 2}});
    Ord<float> f(2, 2);
    Ord<double> d(2, 2), e(2, 2);
    OrdinationLib(2, 0, nullptr, Sf, f.vec, f.scores, &f.axes, f.eig.data(), &ok, 1, 5, 1);
    OrdinationLib_D(2, 0, nullptr, Sd, d.vec, d.scores, &d.axes, d.eig.data(), &ok, 1, 5, 1);
    EXPECT_NEAR(f.eig[0], std::sqrt(0.5) / 2, 1e-6);
    EXPECT_NEAR(d.eig[0], 0.5, 1e-12);
    // The float-data double engine also goes through the products for code 5 ...
    OrdinationLib_D(2, 0, (float**)nullptr, Sf, e.vec, e.scores, &e.axes, e.eig.data(), &ok, 1, 5, 1);
    EXPECT_NEAR(e.eig[0], 0.5, 1e-7);
    // ... but squares code 22 (covariances), which the double engine converts: for the cross
    // products [[2, 1], [1, 2]] the products give squared distance 2 (eigenvalue 1); the squared
    // entries [[4, 1], [1, 4]] centre to [[-0.75, 0.75], [0.75, -0.75]] (eigenvalues 0, -1.5).
    OrdinationLib_D(2, 0, (float**)nullptr, Cf, e.vec, e.scores, &e.axes, e.eig.data(), &ok, 1, 22, 1);
    ExpectVec(e.eig.data(), {0.0, -1.5}, 1e-12);
    EXPECT_EQ(e.axes, 0);
    OrdinationLib_D(2, 0, nullptr, Cd, d.vec, d.scores, &d.axes, d.eig.data(), &ok, 1, 22, 1);
    EXPECT_NEAR(d.eig[0], 1.0, 1e-12);
}

TEST(PrincipalCoordinatesTest, NoAxisLeavesScoresUntouched) {
    // Zero distances (objects, form 1) and zero components (form 2).
    Mat<double> D(3, 3), X(3, 2);
    Ord<double> o(3, 3);
    o.scores.fill(7);
    for (int form : {1, 2}) {
        OrdinationLib_D(3, form == 1 ? 0 : 2, X, D, o.vec, o.scores, &o.axes, o.eig.data(), &ok, form, form == 1 ? 3 : 1, 1);
        EXPECT_EQ(o.axes, 0);
        ExpectVec(o.scores[0], {7, 7, 7}, 0);
    }
}

TEST(AxisThresholdTest, SmallEigenvalueKeptOnlyByTheDoubleForm) {
    // Components of a diagonal matrix (1, 5e-7): 100 e / S+ = 5e-5 for the second axis.
    Mat<float> Rf({{1, 0}, {0, 5e-7f}}), Xf(2, 1);
    Mat<double> Rd({{1, 0}, {0, 5e-7}}), Xd(2, 1);
    Ord<float> f(2, 1);
    Ord<double> d(2, 1);
    OrdinationLib(2, 1, Xf, Rf, f.vec, f.scores, &f.axes, f.eig.data(), &ok, 2, 1, 1);
    OrdinationLib_D(2, 1, Xd, Rd, d.vec, d.scores, &d.axes, d.eig.data(), &ok, 2, 1, 1);
    EXPECT_EQ(f.axes, 1);
    EXPECT_EQ(d.axes, 2);
    // The float-data double engine keeps down to 1e-10: 5e-11 is below it, 5e-10 above.
    for (auto [small, want] : {std::pair<float, int>{5e-13f, 1}, {5e-12f, 2}}) {
        Mat<float> R({{1, 0}, {0, small}});
        OrdinationLib_D(2, 1, Xf, R, d.vec, d.scores, &d.axes, d.eig.data(), &ok, 2, 1, 1);
        EXPECT_EQ(d.axes, want) << small;
    }
}

// Six objects by three descriptors (r/ordination.R), held descriptors by objects.
const Rows kZt = {{2, 3, 5, 1, 4, 7}, {4, 1, 6, 2, 4, 3}, {1, 2, 2, 8, 4, 5}};

TEST(PrincipalComponentsTest, CovarianceScoresArePrcompOverRootNMinusOne) {
    Mat<double> X(kZt), C(3, 3), Xo(6, 3);
    Ord<double> o(3, 6), r(3, 6);
    CovarianceMV(3, 6, X, C);
    Mirror(C);
    OrdinationLib_D(3, 6, X, C, o.vec, o.scores, &o.axes, o.eig.data(), &ok, 2, 22, 1);
    EXPECT_EQ(o.axes, 3);
    ExpectVec(o.eig.data(), {7.78458896498129, 4.5983790623109, 2.01703197270781}, 1e-10);
    ExpectAxis(o.scores.operator double**(), 0, {0.845122098027123, 0.0974476524047655, 1.32269116191478, -2.30408536881561, 0.0493002997734804, -0.0104758433045409}, 1e-10);
    // The data are not changed, and objects as rows (orient 2) give the same scores.
    EXPECT_EQ(X[0][0], 2.0);
    Copy(X, Xo, true);
    OrdinationLib_D(3, 6, Xo, C, r.vec, r.scores, &r.axes, r.eig.data(), &ok, 2, 22, 2);
    ExpectAxis(r.scores.operator double**(), 1, {-1.13879879322331, -0.839200075635734, 0.412267793715215, -0.217800288977323, 0.26352773315042, 1.52000363097073}, 1e-10);
}

TEST(PrincipalComponentsTest, CorrelationScoresAreScaledPrcomp) {
    Mat<float> X(kZt), C(3, 3);
    Mat<double> Xd(kZt), Cd(3, 3);
    Ord<float> o(3, 6);
    CorrelationMV(3, 6, Xd, Cd);
    Mirror(Cd);
    Copy(Cd, C);
    OrdinationLib(3, 6, X, C, o.vec, o.scores, &o.axes, o.eig.data(), &ok, 2, 17, 1);
    EXPECT_EQ(o.axes, 3);
    ExpectVec(o.eig.data(), {1.57990329052405, 0.868676890055888, 0.551419819420056}, 1e-5);
    ExpectAxis(o.scores.operator float**(), 0, {0.180518256189957, -0.310316622377769, 0.749637415368781, -0.91795027029308, 0.117464945369615, 0.180646275742497}, 1e-5);
}

// ade4::dudi.coa's row scores ($l1) and column scores ($c1) on the first axis.
const Vec kRows1 = {1.2204732256792, -0.996491493671504, 0.474574842432307, -1.12527745451831};
const Vec kCols1 = {1.36012540145736, -0.815153140301949, 0.483816766276374, -1.43058934814059, 0.554082158857348};

TEST(CorrespondenceScalingTest, EqualsDudiCoaNormedScoresAlsoWithEmptyRowsAndColumns) {
    Coa c({{10, 2, 3, 0, 5}, {1, 8, 2, 4, 0}, {3, 3, 9, 1, 2}, {0, 5, 1, 7, 3}});
    EXPECT_EQ(c.axes, 3);
    ExpectVec(c.eig.data(), {0.440076190983531, 0.162075427225068, 0.0623424294104488}, 1e-12);
    ExpectAxis(c.vec.operator double**(), 0, kRows1, 1e-10);
    ExpectAxis(c.scores.operator double**(), 0, kCols1, 1e-10);
    // A descriptor without any abundance has no profile: its row is left unscaled, and the
    // column scores stay those of the table without it.
    Coa z({{10, 2, 3, 0, 5}, {1, 8, 2, 4, 0}, {0, 0, 0, 0, 0}, {3, 3, 9, 1, 2}, {0, 5, 1, 7, 3}});
    ASSERT_EQ(z.axes, 3);
    EXPECT_NEAR(z.eig[0], 0.440076190983531, 1e-12);
    ExpectAxis(z.scores.operator double**(), 0, kCols1, 1e-10);
    for (int k = 0; k < 3; k++) EXPECT_TRUE(std::isfinite(z.vec[k][2])) << k;
    // An empty column scores 0.
    Coa e({{4, 0, 1}, {1, 0, 5}});
    ASSERT_EQ(e.axes, 1);
    EXPECT_EQ(e.scores[0][1], 0.0);
}

TEST(ConversionTest, CentringSquaredDistancesAndElementWiseConversions) {
    // Gower centring of the distances 0-1-3 (squared 1, 9, 4): row means of the squares
    // 10/3, 5/3, 13/3, grand mean 28/9; C[0][0] = -0.5 (0 - 20/3 + 28/9) = 16/9 = (4/3)^2.
    Mat<double> D({{0, 1, 3}, {-5, 0, 2}, {-5, -5, 0}}), C(3, 3);
    C.fill(-7);
    DissToCenterProdMatrix(3, D, C, false);
    EXPECT_NEAR(C[0][0], 16.0 / 9, 1e-14);
    EXPECT_NEAR(C[0][2], -20.0 / 9, 1e-14);  // (-4/3)(5/3)
    EXPECT_NEAR(C[1][1], 1.0 / 9, 1e-14);
    EXPECT_EQ(C[2][0], -7.0);  // lower triangle not written

    // Products of a correlation matrix give 2 (1 - r), as CorrToSqDist, on the upper triangle.
    Mat<double> R({{1, 0.3, -0.2}, {0.3, 1, 0.6}, {-0.2, 0.6, 1}}), P(3, 3), Q(3, 3);
    P.fill(-7);
    ProdToSqDist(3, R, P);
    CorrToSqDist(3, R, Q);
    ExpectCells(P, {{0, 1.4, 2.4}, {-7, 0, 0.8}, {-7, -7, 0}});
    ExpectCells(Q, {{0, 1.4, 2.4}, {1.4, 0, 0.8}, {2.4, 0.8, 0}});
    // Element-wise conversions mirror the upper triangle.
    Mat<double> A({{0.25, 0.5}, {9, 0.75}}), B(2, 2);
    ProbToDissim(2, A, B);
    ExpectCells(B, {{0.75, 0.5}, {0.5, 0.25}});
    SquareSqMatrix(2, A, B);
    ExpectCells(B, {{0.0625, 0.25}, {0.25, 0.5625}});
    Mat<float> F({{4, 9}, {-1, 16}});
    SquareRootSqMatrix(2, F, F);
    ExpectCells(F, {{2, 3}, {3, 4}});
}

TEST(TransformTest, ScalarAndAdjustments) {
    // log10(x + 1) of positive values: 9 -> 1, 0 and -3 stay, -999 stays.
    Mat<float> X({{9, 0, -3}, {99, -999, 1}});
    DataTransformationsLib(2, 3, X, 3, 0, 0, 0, 0, false);
    ExpectCells(X, {{1, 0, -3}, {2, -999, std::log10(2.0)}}, 1e-6);
    Mat<double> Y({{9, 0, -3}, {99, -999, 1}});
    DataTransformationsLib_D(2, 3, Y, 1, 0, 0, 0, 0);  // presence
    ExpectCells(Y, {{1, 0, -3}, {1, -999, 1}});
    Mat<double> Z({{4, -9}, {1, -999}});
    DataTransformationsLib(2, 2, Z, 2, 1, 0, 0, 0, false, false);  // sqrt |x|, columns to unit sum
    ExpectCells(Z, {{2.0 / 3, 1}, {1.0 / 3, -999}});
    // Rows ranked, then columns: codes out of range do nothing.
    Mat<float> W({{5, 1, 3}, {2, 2, 7}});
    DataTransformationsLib(2, 3, W, 0, 42, 9, 0, 0, false);
    ExpectCells(W, {{3, 1, 2}, {1.5, 1.5, 3}});
}

TEST(TransformTest, ColumnCodeSixAndClasses) {
    // Column code 6: the float and double library forms take the deviations from
    // independence; the dispatcher's double form does nothing.
    Mat<float> F({{4, 1}, {2, 3}}), Fe(2, 2);
    Mat<double> D({{4, 1}, {2, 3}}), De(2, 2), Dn({{4, 1}, {2, 3}});
    DeviationsExpectationsMV(2, 2, F, Fe);
    DeviationsExpectationsMV(2, 2, D, De);
    DataTransformationsLib(2, 2, F, 0, 6, 0, 0, 0, false);
    DataTransformationsLib_D(2, 2, D, 0, 6, 0, 0, 0);
    DataTransformationsLib(2, 2, Dn, 0, 6, 0, 0, 0, false, false);
    ExpectSame(F, Fe, 1e-7);
    ExpectSame(D, De, 1e-15);
    ExpectCells(Dn, {{4, 1}, {2, 3}});
    // Rows cut into 2 classes between their minimum and maximum.
    Mat<double> G({{0, 1, 4}, {3, 2, 1}});
    DataTransformationsLib_D(2, 3, G, 0, 0, 8, 0, 2);
    ExpectCells(G, {{1, 1, 2}, {2, 1, 1}});
}

TEST(TransformTest, BealsSmoothingOfTheTableOntoItself) {
    const Rows t = {{1, 0, 2, 0}, {0, 3, 1, 1}, {2, 1, 0, 0}, {1, 1, 1, 0}, {0, 0, 2, 5}};
    for (bool own : {false, true}) {
        SCOPED_TRACE(own);
        // Float rows 11 and 12: type 1 as it is, type 2 with rows to unit sum.
        for (int code : {11, 12}) {
            Mat<float> X(t), Y(t), Z(t), W(5, 4);
            DataTransformationsLib(5, 4, X, 0, 0, code, 0, 0, own);
            BealsSmoothing(5, 4, Y, Z, W, own, code - 10, code == 12);
            ExpectSame(X, W, 1e-6);
        }
        // The dispatcher's double form: the general smoothing, type 1.
        Mat<double> X(t), Y(t), Z(t), W(5, 4), U(t);
        DataTransformationsLib(5, 4, X, 0, 0, 11, 0, 0, own, !own);
        BealsSmoothing(5, 4, Y, Z, W, false, 0, nullptr, own, 1, !own);
        ExpectSame(X, W, 1e-12);
        // The library's double form has no smoothing.
        DataTransformationsLib_D(5, 4, U, 0, 0, 11, 0, 0);
        EXPECT_EQ(U[4][3], 5.0);
    }
}

TEST(ScoreCorrelationTest, AxesAgainstVariables) {
    // Two axes over four objects; variable 0 = axis 0 doubled (r = 1), variable 1 = axis 0
    // reversed (r = -1); against axis 1 = (1, -1, -1, 1), which is orthogonal to both.
    Mat<double> S({{1, 2, 3, 4}, {1, -1, -1, 1}, {9, 9, 9, 9}});
    Mat<double> V({{2, -1}, {4, -2}, {6, -3}, {8, -4}});  // objects by variables: orient 0
    Mat<double> R(2, 3);
    ScoreCorrComp(3, 4, S, V, 2, 0, 2, R);
    ExpectCells(R, {{1, 0}, {-1, 0}}, 1e-6);
    // A single axis, variables as rows (orient 1).
    Mat<float> Sf({{1, 2, 3, 4}}), Vf({{4, 3, 2, 1}}), Rf(1, 1);
    ScoreCorrComp(1, 4, Sf, Vf, 1, 1, 5, Rf);
    EXPECT_NEAR(Rf[0][0], -1, 1e-6);
}

}  // namespace
