// The shared generator, the eigen-decompositions, the singular value decompositions, sums.

#include <algorithm>
#include <limits>

#include "common/ErrorCode.h"
#include "foundation/TnxGsl.h"
#include "matrix/qwlib.h"
#include "statistics/StatTestUtil.h"

namespace {

// GSL's MT19937 seeded with s (s != 0) is Matsumoto and Nishimura's generator initialised by
// init_genrand(s), which the C++ library implements independently as std::mt19937(s). The C
// library's generator is seeded too.
TEST(RandomGenerator, IsMersenneTwisterSeededAsGivenAndSeedsTheCLibrary) {
    InitRndNumberGenerator(5489);
    const int c1 = std::rand();
    std::mt19937 ref(5489);
    for (int k = 0; k < 20; k++) EXPECT_EQ(gsl_rng_get(r), ref()) << k;
    EXPECT_STREQ(gsl_rng_name(r), "mt19937");
    InitRndNumberGenerator(5489);
    EXPECT_EQ(std::rand(), c1);
}

// ---------------------------------------------------------------- eigen-analysis

template <class T>
using EigenFn = bool (*)(int, T**, T**, T*);

// Jacobi leaves its vectors in the columns: turned into rows like every other routine's.
bool JacobiRows(int n, float** a, float** v, float* e) {
    const bool ok = EigenJacobi(n, a, v, e);
    TransposeSqMatrix(n, v, v);
    return ok;
}

template <class T>
std::vector<std::pair<std::string, EigenFn<T>>> EigenRoutines() {
    std::vector<std::pair<std::string, EigenFn<T>>> fns = {{"QL", EigenHouseholderQL}, {"Threshold", Eigen}};
    if constexpr (std::is_same<T, float>::value)
        fns.insert(fns.end(), {{"GSL", EigenHouseholderQL_GSL}, {"Jacobi", JacobiRows}});
    else
        fns.push_back({"GSL_D", EigenHouseholderQL_GSL_D});
    return fns;
}

// A v_k = lambda_k v_k, |v_k| = 1, eigenvalues descending.
template <class T>
void ExpectEigenPairs(int n, Mat<T>& A, Mat<T>& vec, T* val, double tol) {
    for (int k = 0; k < n; k++) {
        double len = 0;
        for (int i = 0; i < n; i++) len += double(vec[k][i]) * vec[k][i];
        EXPECT_NEAR(len, 1.0, tol);
        for (int i = 0; i < n; i++) {
            double av = 0;
            for (int j = 0; j < n; j++) av += double(A[i][j]) * vec[k][j];
            EXPECT_NEAR(av, double(val[k]) * vec[k][i], tol) << "vector " << k;
        }
        if (k > 0) { EXPECT_GE(val[k - 1], val[k]); }
    }
}

template <class T>
void CheckEigenRoutines(double tol) {
    for (auto& [name, fn] : EigenRoutines<T>()) {
        SCOPED_TRACE(name);
        // [[2,1],[1,2]]: eigenvalues 3 and 1, the first vector (1,1)/sqrt 2 up to sign; A unchanged.
        Mat<T> A{{2, 1}, {1, 2}}, vec(2, 2);
        T val[2];
        EXPECT_TRUE(fn(2, A, vec, val));
        ExpectVec(val, {3, 1}, tol);
        EXPECT_NEAR(std::fabs(vec[0][0]), std::sqrt(0.5), tol);
        EXPECT_NEAR(vec[0][0], vec[0][1], tol);
        ExpectCells(A, {{2, 1}, {1, 2}}, 0);
        EXPECT_TRUE(fn(0, A, vec, val));  // an empty matrix has no negative eigenvalue
        // Tridiagonal (2, -1): eigenvalues 2 + sqrt 2, 2, 2 - sqrt 2.
        Mat<T> B{{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}, vb(3, 3);
        T eb[3];
        EXPECT_TRUE(fn(3, B, vb, eb));
        ExpectVec(eb, {2 + std::sqrt(2.0), 2, 2 - std::sqrt(2.0)}, tol);
        ExpectEigenPairs(3, B, vb, eb, tol);
        // A random symmetric 6 x 6 matrix.
        Mat<T> C(6, 6), vc(6, 6);
        FillRandom(C, 11);
        UpperToLowerMatrix(6, static_cast<T**>(C));
        T ec[6];
        fn(6, C, vc, ec);
        ExpectEigenPairs(6, C, vc, ec, 50 * tol);
        // [[1,2],[2,1]]: eigenvalues 3 and -1, -1/2 below -0.001: ok false, values returned.
        Mat<T> D{{1, 2}, {2, 1}}, vd(2, 2);
        T ed[2];
        EXPECT_FALSE(fn(2, D, vd, ed));
        ExpectVec(ed, {3, -1}, tol);
        // A NaN or an infinity: false, values and vectors zero-filled.
        for (T bad : {std::numeric_limits<T>::quiet_NaN(), std::numeric_limits<T>::infinity()}) {
            Mat<T> N{{1, bad}, {bad, 1}}, vn(2, 2);
            vn.fill(5);
            T en[2] = {5, 5};
            EXPECT_FALSE(fn(2, N, vn, en));
            ExpectVec(en, {0, 0}, 0);
            ExpectCells(vn, {{0, 0}, {0, 0}}, 0);
        }
    }
}

TEST(Eigen, EveryRoutineSolvesAvEqualsLambdaV) {
    CheckEigenRoutines<float>(2e-5);
    CheckEigenRoutines<double>(1e-10);
}

// Spectrum (3, -1): ratio -1/2. Spectrum (2, 1, -0.0015): ratio -0.0015 / 2.9985 = -0.0005 is
// not noticeable: 0. 2J - I (J all ones, spectrum 3, 0, 0) has the spectrum 5, -1, -1: sum 3,
// two ratios of -1/3: 2/3. A NaN: 0.
// A 1 x 1 matrix [-3.5] is its own eigenvalue, with the vector (+-1), under every routine.
template <class T>
void CheckOrderOne() {
    for (auto& [name, fn] : EigenRoutines<T>()) {
        Mat<T> A{{T(-3.5)}}, vec{{T(0)}};
        T val[1] = {T(0)};
        EXPECT_TRUE(fn(1, A, vec, val)) << name;
        EXPECT_EQ(val[0], T(-3.5)) << name;
        EXPECT_EQ(std::fabs(vec[0][0]), T(1)) << name;
    }
}

TEST(Eigen, AMatrixOfOrderOneIsItsOwnEigenvalue) {
    CheckOrderOne<float>();
    CheckOrderOne<double>();
}

TEST(Eigen, NegativePartOfTheSpectrumAndRank) {
    Mat<float> D{{1, 2}, {2, 1}};
    Mat<double> P{{2, 0, 0}, {0, 1, 0}, {0, 0, -0.0015}}, N{{1, std::nan("")}, {std::nan(""), 1}};
    Mat<double> Q{{1, 2, 2}, {2, 1, 2}, {2, 2, 1}};
    EXPECT_NEAR(EigenHouseholderQL_NegEigen(2, D), 0.5f, 1e-5);
    EXPECT_EQ(EigenHouseholderQL_NegEigen(3, P), 0.0f);
    EXPECT_EQ(EigenHouseholderQL_NegEigen(2, N), 0.0f);
    EXPECT_NEAR(EigenHouseholderQL_NegEigen(3, Q), 2.0f / 3.0f, 1e-5);
    // The threshold itself: -1 / (1001 - 1) is -0.001 in single precision, not below it; -2 / 1000 is.
    Mat<float> edge{{1001, 0}, {0, -1}}, beyond{{1002, 0}, {0, -2}};
    EXPECT_EQ(EigenHouseholderQL_NegEigen(2, edge), 0.0f);
    EXPECT_NEAR(EigenHouseholderQL_NegEigen(2, beyond), 0.002f, 1e-8);
    // Rank: 1e-8 * 100 / 1.000001 is below 1e-5, 1e-6 * 100 / 1.000001 is not; negatives never count.
    float e[] = {5, 3, 0, -1};
    double neg[] = {-1, -2}, tiny[] = {1, 1e-8, 1e-6};
    EXPECT_EQ(EigenRank(4, e), 2.0f);
    EXPECT_EQ(EigenRank(3, tiny), 2.0f);
    EXPECT_EQ(EigenRank(2, neg), 0.0f);
}

// ---------------------------------------------------------------- singular value decomposition

template <class T>
void ExpectReconstructs(int m, int n, Mat<T>& A, Mat<T>& U, T* w, Mat<T>& V, double tol) {
    for (int i = 0; i < m; i++)
        for (int j = 0; j < n; j++) {
            double s = 0;
            for (int k = 0; k < n; k++) s += double(U[i][k]) * w[k] * V[j][k];
            EXPECT_NEAR(s, A[i][j], tol) << i << "," << j;
        }
}

template <class T>
void CheckSvd(double tol) {
    using Fn = bool (*)(int, int, T**, T**, T*, T**);
    for (Fn fn : {Fn(SingValueDecomp), Fn(SingValueDecomp_NRUTIL)}) {
        // [[3,0],[0,4],[0,0]]: singular values 4 and 3; GSL's decomposition sorts them descending.
        Mat<T> A{{3, 0}, {0, 4}, {0, 0}}, U(3, 2), V(2, 2);
        T w[2];
        EXPECT_TRUE(fn(3, 2, A, U, w, V));
        EXPECT_NEAR(std::max(w[0], w[1]), 4, tol);
        EXPECT_NEAR(std::min(w[0], w[1]), 3, tol);
        if (fn == Fn(SingValueDecomp)) ExpectVec(w, {4, 3}, tol);
        ExpectReconstructs(3, 2, A, U, w, V, tol);
        ExpectCells(A, {{3, 0}, {0, 4}, {0, 0}}, 0);
        Mat<T> B(5, 3), Ub(5, 3), Vb(3, 3);
        FillRandom(B, 3);
        T wb[3];
        EXPECT_TRUE(fn(5, 3, B, Ub, wb, Vb));
        ExpectReconstructs(5, 3, B, Ub, wb, Vb, 10 * tol);
        // A table without rows or without columns has nothing to decompose.
        EXPECT_FALSE(fn(0, 2, A, U, w, V));
        EXPECT_FALSE(fn(3, 0, A, U, w, V));
        // Non-finite input: false, results zero-filled.
        Mat<T> N{{1, std::numeric_limits<T>::quiet_NaN()}, {0, 1}}, Un(2, 2), Vn(2, 2);
        Un.fill(3);
        T wn[2] = {3, 3};
        EXPECT_FALSE(fn(2, 2, N, Un, wn, Vn));
        ExpectVec(wn, {0, 0}, 0);
        ExpectCells(Un, {{0, 0}, {0, 0}}, 0);
    }
    // GSL's decomposition refuses fewer rows than columns.
    Mat<T> W{{1, 2, 3}, {4, 5, 6}}, Uw(2, 3), Vw(3, 3);
    T ww[3] = {7, 7, 7};
    EXPECT_FALSE(SingValueDecomp(2, 3, W, Uw, ww, Vw));
    ExpectVec(ww, {0, 0, 0}, 0);
    // [[a, a], [a, -a], [a, a]] has the singular values 2a and a sqrt 2: with a = 3e38 the first
    // is beyond the float range, so the float decomposition is refused.
    if constexpr (std::is_same<T, float>::value) {
        Mat<T> H{{3e38, 3e38}, {3e38, -3e38}, {3e38, 3e38}}, Uh(3, 2), Vh(2, 2);
        T wh[2];
        EXPECT_FALSE(SingValueDecomp(3, 2, H, Uh, wh, Vh));
        ExpectVec(wh, {0, 0}, 0);
    }
}

TEST(SingularValues, DecomposeAndReconstruct) {
    CheckSvd<float>(1e-4);
    CheckSvd<double>(1e-10);
}

// Each GSL block of a routine refused in turn (the tests' countdown): code 1, the out-of-memory
// road, with the blocks made before it freed (LSan judges); with none refused the routine gives its
// result. The SVD makes four blocks (the copy of A, V, the values, its work vector), the eigen-
// decomposition without a work space one (GSL's work space of order n), a work space of order 3 one
// per order, the generator one.
TEST(GslBlocks, EachRefusedBlockTakesTheOutOfMemoryRoadAndFreesTheOthers) {
    Mat<double> A{{4, 0}, {0, 3}, {0, 0}}, U(3, 2), V(2, 2), S{{2, 1}, {1, 2}}, vec(2, 2);
    double w[2], val[2];
    const struct {
        const char* what;
        int blocks;
        void (*call)(Mat<double>&, Mat<double>&, Mat<double>&, double*, Mat<double>&, Mat<double>&, double*);
    } cases[] = {
        {"SVD", 4, [](Mat<double>& a, Mat<double>& u, Mat<double>& v, double* w, Mat<double>&, Mat<double>&, double*) {
             SingValueDecomp(3, 2, a, u, w, v);
         }},
        {"eigen", 1, [](Mat<double>&, Mat<double>&, Mat<double>&, double*, Mat<double>& s, Mat<double>& vec, double* val) {
             EigenHouseholderQL_GSL_D(2, s, vec, val);
         }},
        {"eigen work space", 3, [](Mat<double>&, Mat<double>&, Mat<double>&, double*, Mat<double>& s, Mat<double>& vec,
                                   double* val) {
             EigenWorkspace ws(3);
             EigenHouseholderQL_GSL_D(2, s, vec, val, ws);
         }},
    };
    for (const auto& c : cases) {
        for (int refused = 1; refused <= c.blocks; refused++) {
            RefuseGslAllocation(refused);
            EXPECT_EQ(tnxtest::CodeOf([&] { c.call(A, U, V, w, S, vec, val); }), TNX_OUT_OF_MEMORY)
                << c.what << " block " << refused;
        }
        RefuseGslAllocation(c.blocks + 1);
        EXPECT_EQ(tnxtest::CodeOf([&] { c.call(A, U, V, w, S, vec, val); }), 0) << c.what;
        RefuseGslAllocation(0);
    }
    // By hand: A's singular values 4 and 3; S's eigenvalues 3 and 1.
    ExpectVec(w, {4, 3}, 1e-12);
    ExpectVec(val, {3, 1}, 1e-12);
}

// A generator refused leaves the one in use: r is the same generator and its draws go on.
TEST(GslBlocks, ARefusedGeneratorLeavesTheOneInUse) {
    InitRndNumberGenerator(5489);
    gsl_rng* before = r;
    std::mt19937 ref(5489);
    EXPECT_EQ(gsl_rng_get(r), ref());
    RefuseGslAllocation(1);
    EXPECT_EQ(tnxtest::CodeOf([] { InitRndNumberGenerator(7); }), TNX_OUT_OF_MEMORY);
    EXPECT_EQ(r, before);
    EXPECT_EQ(gsl_rng_get(r), ref());
}

TEST(MatrixSums, AddSubtractAndRefuseOtherSizes) {
    Mat<double> A{{1, 2}, {3, 4}}, B{{10, 20}, {30, 40}}, C(2, 2);
    EXPECT_EQ(MatrixSum(2, 2, 2, 2, A, B, C, 1), 0);
    ExpectCells(C, {{11, 22}, {33, 44}});
    MatrixSum(2, 2, 2, 2, A, B, A, -1);  // C may be A
    ExpectCells(A, {{-9, -18}, {-27, -36}});
    C.fill(0);
    EXPECT_EQ(MatrixSum(2, 2, 2, 1, A, B, C, 1), 1);
    ExpectCells(C, {{0, 0}, {0, 0}});
    float a[] = {1, 2}, b[] = {3, 4, 5};
    Mat<float> O(2, 3);
    EXPECT_EQ(VectorOuterProd(2, 3, a, b, O), 1);
    ExpectCells(O, {{3, 4, 5}, {6, 8, 10}});
}

}  // namespace
