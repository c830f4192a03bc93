// Resemblance dispatcher: every code against its kernel called directly, the dispatcher's own
// float forms against R (r/dispatch.R), orientation, post-steps, mirroring, the older and
// three-way forms, the ordination-score wrappers and the randomisation test.

#include <fstream>

#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

// Five objects by four variables (r/dispatch.R).
const Rows kX = {{3, 0, 1, 4}, {1, 2, 0, 0}, {0, 5, 2, 1}, {2, 1, 1, 3}, {0, 0, 4, 2}};
int kTypes[4] = {3, 3, 4, 3};  // Gower: three quantitative variables and an ordinal one

// f(i, j) for every cell of the upper triangle of an n x n matrix (from 0: diagonal included).
template <class F>
void ForUpper(int n, F f, int from = 1) {
    for (int i = 0; i < n; i++)
        for (int j = i + from; j < n; j++) f(i, j);
}

// Cell (i, j) within tol of want and mirrored below the diagonal.
template <class T>
void ExpectMirrored(Mat<T>& m, int i, int j, double want, double tol) {
    EXPECT_NEAR(m[i][j], want, tol) << i << "," << j;
    EXPECT_EQ(m[j][i], m[i][j]) << "mirror " << i << "," << j;
}

// The dispatcher with no Gower types nor parameters.
template <class D, class R>
int Lib(int n, int p, Mat<D>& x, Mat<R>& r, int orient, int code, int post = 0) {
    return ResemblanceLib(n, p, x, r, orient, code, post, nullptr, 0.0, 0.0, 0, false);
}

// Each code's kernel as the dispatcher must call it: (data, result) of the element types.
template <class TD, class TR>
void Direct(int code, int n, int p, TD** x, TR** r, double par1, double par2, int gowerOpt, bool flag) {
    switch (code) {
    case 1: CrossProductMV(n, p, x, r); break;
    case 2: AbsValFunctionMV(n, p, x, r); break;
    case 3: EucliDistMV(n, p, x, r); break;
    case 4: MutualInformationMV(n, p, x, r); break;
    case 5: GowerMVOpt(n, p, kTypes, x, r, nullptr, nullptr, gowerOpt); break;
    case 6: MDISMV(n, p, x, r, flag); break;
    case 7: MutualEntropyPairwiseMV(n, p, x, r, TR(par1), flag); break;
    case 8:
    case 9: CoheCoefPairwiseMV(n, p, x, r, float(par1), flag); break;
    case 10: QuiSquareMV(n, p, x, r, flag); break;
    case 11: Jaccard(n, p, x, r); break;
    case 12: SimpleMatching(n, p, x, r); break;
    case 13: SokalMichener(n, p, x, r); break;
    case 14: Ochiai(n, p, x, r); break;
    case 15: Sorensen(n, p, x, r); break;
    case 16: MeanSquareContingency(n, p, x, r); break;
    case 19: LegendreChodorowski(n, p, x, r, nullptr, float(par2)); break;
    case 20: BrayCurtisMV(n, p, x, r); break;
    case 22:
        if constexpr (std::is_same<TD, double>::value) CovarianceMV(n, p, x, r);
        break;
    default: break;
    }
}

// kX with a copy of its first row last: identical rows give coherence 1, whose distance
// (code 8) is sqrt(1 - c^2) = 0 and never NaN.
template <class TD, class TR>
void ExpectEveryCodeEqualsItsKernel() {
    // Codes 6, 7, 9 and 10 run with their listing on: "Tables.txt" goes to a directory of
    // this test's own, removed at the end.
    InTempDir dir;
    for (int code = 1; code <= 22; code++) {
        if (code == 17 || code == 18 || code == 21) continue;  // the dispatcher's own forms, below
        SCOPED_TRACE(testing::Message() << "code " << code);
        Mat<TD> X1(kX), Y1(6, 4), Y2(6, 4);
        for (int i = 0; i < 6; i++)
            for (int j = 0; j < 4; j++) Y1[i][j] = Y2[i][j] = X1[i % 5][j];
        Mat<TR> got(6, 6), want(6, 6);
        got.fill(TR(-5));
        want.fill(TR(-5));
        ResemblanceLib(6, 4, Y1, got, 1, code, 0, kTypes, 2.0, 1.5, 1, true);
        Direct(code, 6, 4, Y2.operator TD**(), want.operator TR**(), 2.0, 1.5, 1, true);
        ForUpper(6, [&](int i, int j) {
            if (code == 8) {
                TR c = TR(1) - want[i][j] * want[i][j];  // in the result's precision
                want[i][j] = c > TR(0) ? TR(std::sqrt(c)) : TR(0);
            }
            if (std::isnan(double(want[i][j])))
                EXPECT_TRUE(std::isnan(double(got[i][j]))) << i << "," << j;
            else
                ExpectMirrored(got, i, j, want[i][j], 0);
        }, 0);
        if (code == 8) { EXPECT_EQ(got[0][5], TR(0)); }
    }
    // The listing was written there, whole: the tables of the last listed code (10) from the
    // first pair of variables on.
    std::ifstream in(dir.Path() / "Tables.txt");
    std::string first;
    std::getline(in, first);
    std::getline(in, first);
    EXPECT_EQ(first, "Contingency table var.1 x var.1:");
}

TEST(DispatchKernelTest, DoubleDataDoubleResult) { ExpectEveryCodeEqualsItsKernel<double, double>(); }
TEST(DispatchKernelTest, FloatDataDoubleResult) { ExpectEveryCodeEqualsItsKernel<float, double>(); }
TEST(DispatchKernelTest, FloatDataFloatResult) { ExpectEveryCodeEqualsItsKernel<float, float>(); }

// cor(t(X)) and vegdist(X, "chord") of r/dispatch.R, upper triangle row by row.
const std::vector<double> kCor = {-0.572077553547355, -0.845154254728516, 0.953462589245592, 0, 0.644658371220304,
                                  -0.454545454545455, -0.818181818181818, -0.644658371220304, -0.161164592805076,
                                  -0.0909090909090909};
const std::vector<double> kChord = {1.21398730982485, 1.25312851518762, 0.27530928524304, 0.97341172010181,
                                    0.605810893055373, 1.03741966884024, 1.4142135623731, 1.02819791792142,
                                    1.08788943329379, 0.919401686761966};

template <class TD, class TR>
void ExpectOwnForms(double tol) {
    // Codes 17 (correlation) and 18 (chord distance): on float data the dispatcher centres and
    // scales the rows itself. Code 21: the smaller eigenvalue of each pair of centred unit
    // rows; two unit vectors have eigenvalues 1 +- r, so the smaller one is 1 - |r|. The
    // diagonal keeps what it held.
    for (int code : {17, 18, 21}) {
        SCOPED_TRACE(testing::Message() << "code " << code);
        Mat<TD> X(kX);
        Mat<TR> R(5, 5);
        R.fill(TR(9));
        EXPECT_EQ(Lib(5, 4, X, R, 1, code), 1);
        size_t k = 0;
        ForUpper(5, [&](int i, int j) {
            const double r = kCor[k], h = kChord[k++];
            ExpectMirrored(R, i, j, code == 17 ? r : code == 18 ? h : 1 - std::fabs(r), tol);
        });
        if (code == 21) { EXPECT_EQ(R[2][2], TR(9)); }
    }
}

TEST(DispatchOwnFormsTest, CorrelationChordAndSmallerEigenvalueEqualR) {
    ExpectOwnForms<double, double>(1e-12);
    ExpectOwnForms<float, double>(1e-6);
    ExpectOwnForms<float, float>(1e-5);
}

TEST(DispatchStepsTest, ColumnsPostStepsAndCodesWithoutACase) {
    // Orient 2: the 4 x 4 Euclidean distances among the columns; the data come back as they were.
    Mat<double> X(kX), R(4, 4), T(4, 5), D(4, 4);
    Lib(5, 4, X, R, 2, 3);
    Copy(X, T, true);
    EucliDistMV(4, 5, T, D);
    ForUpper(4, [&](int i, int j) { ExpectMirrored(R, i, j, D[i][j], 1e-15); }, 0);
    EXPECT_EQ(X[2][1], 5.0);
    // Post 1 squares (negative correlations become positive), post 2 takes roots, the
    // diagonal included: sqrt(9 + 0 + 1 + 16) and sqrt(3).
    Mat<double> C1(5, 5), E2(5, 5);
    Lib(5, 4, X, C1, 1, 17, 1);
    Lib(5, 4, X, E2, 1, 1, 2);
    ExpectMirrored(C1, 0, 1, kCor[0] * kCor[0], 1e-12);
    EXPECT_NEAR(E2[0][0], 5.0990195135927845, 1e-12);
    EXPECT_NEAR(E2[0][1], std::sqrt(3.0), 1e-12);
    // A code without a case computes nothing but still mirrors and post-processes.
    for (int code : {0, 23, -4}) {
        Mat<double> M({{4, 9, 16}, {0, 25, 36}, {0, 0, 49}});
        Lib(3, 4, X, M, 1, code, 2);
        ExpectCells(M, {{2, 3, 4}, {3, 5, 6}, {4, 6, 7}});
    }
    // Covariance through a float-data form leaves the matrix as it was; one object: no mirror.
    Mat<float> Xf(kX), Rf(5, 5);
    Rf.fill(3);
    Lib(5, 4, Xf, Rf, 1, 22);
    EXPECT_EQ(Rf[0][1], 3.0f);
    Mat<double> One({{1, 2}}), R1({{7}});
    Lib(1, 2, One, R1, 1, 99);
    EXPECT_EQ(R1[0][0], 7.0);
}

TEST(DispatchStepsTest, ColumnPathGivesBackWhatTheKernelChanged) {
    // Gower ranks an ordinal variable in place. Three objects with five variables (variable 1
    // ordinal), once as the rows of A and once as the columns of its transpose B: the ranked
    // values reach the caller on both paths, and the similarities agree.
    int types[5] = {3, 4, 3, 3, 3};
    Mat<double> A({{3, 10, 1, 0, 2}, {2, 30, 1, 1, 0}, {0, 20, 2, 1, 1}}), B(5, 3), Ra(3, 3), Rb(3, 3);
    Copy(A, B, true);
    ResemblanceLib(3, 5, A, Ra, 1, 5, 0, types, 0.0, 0.0, 0, false);
    ResemblanceLib(5, 3, B, Rb, 2, 5, 0, types, 0.0, 0.0, 0, false);
    EXPECT_EQ(A[1][1], 3.0);  // 10, 30, 20 ranked
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 5; j++) EXPECT_EQ(B[j][i], A[i][j]) << i << "," << j;
    ExpectSame(Ra, Rb, 1e-15);
}

TEST(DispatchOldTest, GowerThroughTheOlderKernelAndNoCodes21And22) {
    int types[4] = {3, 3, 3, 3};
    Mat<float> X1(kX), X2(kX), R(5, 5), W(5, 5), E(5, 5), Ed(5, 5);
    ResemblanceLibOld(5, 4, X1, R, 1, 5, types, 0.0, 0.0, false);
    GowerMV(5, 4, types, X2, W, nullptr, nullptr);
    ExpectSame(R, W, 0);
    for (int code : {21, 22}) {
        Mat<float> M(5, 5);
        M.fill(2);
        ResemblanceLibOld(5, 4, X1, M, 1, code, types, 0.0, 0.0, false);
        EXPECT_EQ(M[0][1], 2.0f);
    }
    ResemblanceLibOld(5, 4, X1, E, 1, 3, types, 0.0, 0.0, false);
    EucliDistMV(5, 4, X2, Ed);
    EXPECT_EQ(E[1][3], Ed[1][3]);
    EXPECT_EQ(E[3][1], Ed[1][3]);
}

TEST(DispatchTripletsTest, MutualEntropyOfTripletsIsMadeSymmetric) {
    Mat<double> X({{1, 2, 1, 2, 3}, {2, 2, 1, 1, 3}, {1, 1, 2, 2, 1}, {3, 2, 1, 1, 2}});
    double ***r3 = dim3Double(4, 4, 4), ***w3 = dim3Double(4, 4, 4), ***z3 = dim3Double(4, 4, 4);
    ResemblanceLibTriplets(4, 5, X, r3, 1, 7, nullptr, 1.0, false);
    MutualEntropyTripletsMV(4, 5, X, w3, 1.0f, false);
    ResemblanceLibTriplets(4, 5, X, z3, 1, 3, nullptr, 1.0, false);  // any other code computes nothing
    for (int i = 0; i < 4; i++)
        for (int j = i + 1; j < 4; j++)
            for (int k = j + 1; k < 4; k++) {
                const double v = w3[i][j][k];
                for (double o : {r3[i][j][k], r3[i][k][j], r3[j][i][k], r3[j][k][i], r3[k][i][j], r3[k][j][i]}) EXPECT_EQ(o, v);
                EXPECT_EQ(z3[i][j][k], 0.0);
            }
    free3D(r3, 4, 4), free3D(w3, 4, 4), free3D(z3, 4, 4);
    Mat<float> Xf({{1, 2, 1}, {2, 2, 1}, {1, 1, 2}});
    float*** f3 = dim3Dfloat(3, 3, 3);
    ResemblanceLibTriplets(3, 3, Xf, f3, 2, 7, nullptr, 1.0, false);  // among the 3 columns
    EXPECT_EQ(f3[2][1][0], f3[0][1][2]);
    free3D(f3, 3, 3);
}

TEST(OrdinationScoresTest, EveryOverloadReturnsTheAxisCount) {
    // Distances among the collinear points 0, 1, 3: one axis, scores -4/3, -1/3, 5/3.
    Mat<double> D({{0, 1, 3}, {1, 0, 2}, {3, 2, 0}}), S(3, 3);
    Mat<float> Df({{0, 1, 3}, {1, 0, 2}, {3, 2, 0}}), Sf(3, 3), Sg(3, 3);
    EXPECT_EQ(OrdinationLib_Scores(3, 0, (double**)nullptr, D, S, 1, 3, 1), 1);
    EXPECT_EQ(OrdinationLib_Scores(3, 0, (float**)nullptr, Df, Sf, 1, 3, 1), 1);
    Mat<double> Du({{0, 1, 3}, {-9, 0, 2}, {-9, -9, 0}});  // the upper triangle alone is read
    EXPECT_EQ(OrdinationLib_Scores(3, 0, (float**)nullptr, Du, Sg, 1, 3, 1), 1);
    EXPECT_NEAR(std::fabs(S[0][0]), 4.0 / 3, 1e-12);
    EXPECT_NEAR(std::fabs(Sf[0][2]), 5.0 / 3, 1e-5);
    EXPECT_NEAR(std::fabs(Sg[0][1]), 1.0 / 3, 1e-5);
    // Components from a double resemblance handed to the float engine: the copy is made whole.
    Mat<float> X({{1, 2, 3, 5}, {2, 1, 4, 4}}), P(2, 4);
    Mat<double> C({{2.9166666666666665, 1.5}, {-7, 1.6666666666666667}});  // covariances, upper
    EXPECT_EQ(OrdinationLib_Scores(2, 4, X, C, P, 2, 22, 1), 2);
}

TEST(RandomizationVarTest, ProbabilitiesAndObservedValues) {
    Mat<double> X({{1, 2, 9}, {2, 4, 7}, {3, 5, 8}, {4, 9, 2}, {5, 8, 1}, {6, 11, 3}}), R(3, 3), P1(3, 3), P2(3, 3);
    Mat<float> Xf(6, 3);
    float secs = -1;
    Lib(6, 3, X, R, 2, 17);
    // One iteration, or none at all: the observed arrangement alone, probability 1 (never 1 / 0).
    for (int iter : {1, 0}) {
        Mat<double> P(3, 3);
        RandomizationVar(6, 3, X, P, iter, 11u, 0, 0, 0, 0, 2, 17, nullptr, 0, 0, 0, &secs);
        ForUpper(3, [&](int i, int j) {
            EXPECT_EQ(P[i][j], 1.0);
            EXPECT_NEAR(P[j][i], R[i][j], 1e-6);
        });
    }
    EXPECT_GE(secs, 0.0f);
    // 100 iterations: the float and double data overloads agree (the work table is single
    // precision in both).
    Copy(X, Xf);
    testing::internal::CaptureStdout();
    RandomizationVar(6, 3, X, P1, 100, 3u, 0, 0, 0, 0, 2, 17, nullptr, 0, 0, 0, &secs);
    RandomizationVar(6, 3, Xf, P2, 100, 3u, 0, 0, 0, 0, 2, 17, nullptr, 0, 0, 0, &secs);
    testing::internal::GetCapturedStdout();
    // Variables 0 and 1 are strongly related (r = 0.96): few arrangements match that.
    EXPECT_LT(P1[0][1], 0.1);
    // The same draws by hand: each column permuted in turn, the correlations of the permuted
    // table compared with the observed ones.
    Mat<float> O(3, 3), Rp(3, 3), Wp(6, 3);
    Lib(6, 3, Xf, O, 2, 17);
    InitRndNumberGenerator(3u);
    int count[3][3] = {{0}}, list[6];
    for (int t = 2; t <= 100; t++) {
        for (int j = 0; j < 3; j++) {
            RndList(6, list);
            for (int i = 0; i < 6; i++) Wp[i][j] = Xf[list[i] - 1][j];
        }
        Lib(6, 3, Wp, Rp, 2, 17);
        ForUpper(3, [&](int i, int j) { count[i][j] += std::fabs(Rp[i][j]) >= std::fabs(O[i][j]); });
    }
    ForUpper(3, [&](int i, int j) {
        EXPECT_DOUBLE_EQ(P1[i][j], (1 + count[i][j]) / 100.0) << i << "," << j;
        EXPECT_EQ(P2[i][j], P1[i][j]);
    });
}

}  // namespace
