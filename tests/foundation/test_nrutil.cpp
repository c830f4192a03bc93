// The numerical-analysis routines (nrutilQW), checked by hand, by invariants and against GSL.
#include <gtest/gtest.h>
#include <gsl/gsl_eigen.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "FoundationTestSupport.h"
#include "foundation/nrutilQW.h"

namespace {

// Below 7 keys insertion keeps ties in input order. Seven (by hand): the middle key goes to place 2,
// the three-sort swaps 1 and 2, the scan swaps 3 and 6, the pivot lands at 4; 6..7, 1..3 by insertion.
TEST(Sort2, TiesFollowTheInsertionAndThePartitioning) {
    struct Row { std::vector<int> keys, sorted, comp; };
    const Row rows[] = {{{3, 1, 2}, {1, 2, 3}, {2, 3, 1}}, {{2, 1, 2, 1}, {1, 1, 2, 2}, {2, 4, 1, 3}},
                        {{2, 1, 2, 1, 2, 1, 2}, {1, 1, 1, 2, 2, 2, 2}, {4, 2, 6, 1, 5, 3, 7}},
                        {{7}, {7}, {1}}, {{}, {}, {}}};
    auto expectSort2 = [](const Row& r, auto zero) {   // 1-based arrays whose index 0 stays untouched
        std::vector<decltype(zero)> arr{-1}, brr{-2};
        for (size_t i = 0; i < r.keys.size(); i++) {
            arr.push_back(r.keys[i]);
            brr.push_back(static_cast<int>(i) + 1);
        }
        sort2(r.keys.size(), arr.data(), brr.data());
        EXPECT_EQ(std::vector<int>(arr.begin() + 1, arr.end()), r.sorted);
        EXPECT_EQ(std::vector<int>(brr.begin() + 1, brr.end()), r.comp);
        EXPECT_EQ(arr[0] + brr[0], -3);
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.keys.size() << " keys");
        expectSort2(r, 0.0f);
        expectSort2(r, 0.0);
        expectSort2(r, 0);
        std::vector<float> keys(r.keys.begin(), r.keys.end());
        keys.insert(keys.begin(), -1.0f);
        std::vector<unsigned long> indx(keys.size());
        indexx(r.keys.size(), keys.data(), indx.data());   // orders ties as sort2 moves 1..n
        EXPECT_EQ(std::vector<int>(indx.begin() + 1, indx.end()), r.comp);
    }
}

// Both sorts run one partitioning: on long inputs with many ties (several stack levels) sort2's
// companions 1..n come out as indexx's indexes, and the keys are in order and a permutation of
// the input.
TEST(Sort2, LongInputsWithTiesAgreeWithIndexx) {
    std::mt19937 gen(7);
    for (int n : {8, 60, 1000}) {
        SCOPED_TRACE(n);
        std::vector<float> keys{-1.0f}, arr{-1.0f}, brr{-2.0f};
        for (int i = 1; i <= n; i++) {
            keys.push_back(float(std::uniform_int_distribution<int>(0, 12)(gen)));
            arr.push_back(keys.back());
            brr.push_back(float(i));
        }
        std::vector<unsigned long> indx(keys.size());
        sort2(n, arr.data(), brr.data());
        indexx(n, keys.data(), indx.data());
        std::vector<float> sortedInput(keys.begin() + 1, keys.end());
        std::sort(sortedInput.begin(), sortedInput.end());
        EXPECT_EQ(std::vector<float>(arr.begin() + 1, arr.end()), sortedInput);
        for (int k = 1; k <= n; k++) {
            EXPECT_EQ(brr[k], float(indx[k])) << k;
            EXPECT_EQ(keys[indx[k]], arr[k]) << k;
        }
    }
}

TEST(Crank, TiesGetMeanRanksAndTheSumOfTCubedMinusT) {
    struct Row { Values w, ranks; double tieSum; };
    const Row rows[] = {{{1, 2, 2, 3}, {1, 2.5, 2.5, 4}, 6}, {{5, 5, 5}, {2, 2, 2}, 24},
                        {{4, 4, 7, 7, 7}, {1.5, 1.5, 4, 4, 4}, 30}, {{42}, {1}, 0}};
    auto expectRanks = [](const Row& r, auto zero) {
        std::vector<decltype(zero)> w{0};
        w.insert(w.end(), r.w.begin(), r.w.end());
        decltype(zero) s = -1;
        crank(r.w.size(), w.data(), &s);
        EXPECT_EQ(Values(w.begin() + 1, w.end()), r.ranks);
        EXPECT_EQ(s, r.tieSum);
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.w.size() << " values, tie sum " << r.tieSum);
        expectRanks(r, 0.0);
        expectRanks(r, 0.0f);
    }
}

// choldc on a 0-based copy of a in T; *l gets the factor L. The upper triangle keeps the input.
template <class T>
int Cholesky(const Dense& a, Dense* l) {
    const int n = static_cast<int>(a.size());
    Table<T> x(a, 0);
    std::vector<T> p(n);
    const int ok = choldc(x, n, p.data());
    *l = x.ToDense(n, n, 0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            EXPECT_TRUE(j < i || (*l)[i][j] == static_cast<double>(static_cast<T>(a[i][j]))) << i << "," << j;
            (*l)[i][j] = j > i ? 0.0 : i == j ? static_cast<double>(p[i]) : (*l)[i][j];
        }
    return ok;
}

// gaussj (or gaussj_QW) in T on 1-based copies of A and b; what it wrote on standard error too.
struct Solution { int ok; Dense inverse; Values x; std::string message; };
template <class T>
Solution GaussJordan(const Dense& a, const Values& b, bool quiet) {
    const int n = static_cast<int>(a.size());
    Table<T> ta(a, 1), tb(Transpose({b}), 1);
    testing::internal::CaptureStderr();
    int ok = 0;
    if constexpr (std::is_same_v<T, double>) ok = quiet ? gaussj_QW(ta, n, tb, 1) : gaussj(ta, n, tb, 1);
    else ok = gaussj(ta, n, tb, 1);
    return {ok, ta.ToDense(n, n, 1), Transpose(tb.ToDense(n, 1, 1))[0], testing::internal::GetCapturedStderr()};
}

template <class T>
void CheckCholeskyAndGaussj(bool quiet, double tol) {
    SCOPED_TRACE(quiet ? "gaussj_QW" : "gaussj");
    Dense l;
    EXPECT_EQ(Cholesky<T>({{4, 2}, {2, 3}}, &l), 1);   // by hand: L = (2 0; 1 sqrt 2)
    ExpectNear(l, {{2, 0}, {1, std::sqrt(2.0)}}, tol, "L");
    Dense m = RandomMatrix(5, 5, 2024), spd = TimesTransposed(m, m);
    for (int i = 0; i < 5; ++i) spd[i][i] += 5;   // M M^T + 5 I
    ASSERT_EQ(Cholesky<T>(spd, &l), 1);
    ExpectNear(TimesTransposed(l, l), spd, tol * 100, "L L^T");
    testing::internal::CaptureStdout();
    EXPECT_EQ(Cholesky<T>({{0, 1}, {1, 3}}, &l), 0);   // not positive definite
    EXPECT_EQ(Cholesky<T>({{1, 2}, {2, 1}}, &l), 0);   // indefinite: 1 - 2 * 2 < 0 at the second pivot
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\ncholdc failed\ncholdc failed");
    const Dense a = RandomMatrix(6, 6, 31337);
    const Values b = RandomMatrix(1, 6, 31338)[0];
    const Solution random = GaussJordan<T>(a, b, quiet);
    EXPECT_EQ(random.ok, 1);
    EXPECT_EQ(random.message, "");
    ExpectNear(TimesTransposed(a, Transpose(random.inverse)), Identity(6), tol * 10, "A A^-1");
    ExpectNear(TimesTransposed({random.x}, a), {b}, tol * 10, "A x");
    // Singular (exact 0 pivots after (3,3) and (2,2), after 4, at once): flag 0, the message (none from
    // gaussj_QW), nothing inf or NaN.
    for (const Dense& s :
         {Dense{{1, 1, 0}, {1, 1, 0}, {0, 0, 1}}, Dense{{1, 2}, {2, 4}}, Dense{{0, 0}, {0, 0}}}) {
        Solution singular = GaussJordan<T>(s, {1, 2, 3}, quiet);
        EXPECT_EQ(singular.ok, 0);
        EXPECT_EQ(singular.message, quiet ? "" : "gaussj: Singular Matrix-2");
        singular.inverse.push_back(singular.x);
        for (const Values& row : singular.inverse)
            for (double v : row) EXPECT_TRUE(std::isfinite(v)) << "order " << s.size();
    }
    // No number at all: no pivot candidate compares, flag 0 and the first message only.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Solution notNumbers = GaussJordan<T>({{nan, nan}, {nan, nan}}, {1, 2}, quiet);
    EXPECT_EQ(notNumbers.ok, 0);
    EXPECT_EQ(notNumbers.message, quiet ? "" : "gaussj: Singular Matrix-1");
}

TEST(LinearSystems, CholeskyAndGaussJordanByHandMultipliedBackAndFailing) {
    CheckCholeskyAndGaussj<double>(false, 1e-13);
    CheckCholeskyAndGaussj<double>(true, 1e-13);
    CheckCholeskyAndGaussj<float>(false, 1e-5);
}

// Float 0-based to double 1-based and back; index 0 is not written.
TEST(NumericalRoutines, ConversionsRoundTripAndPythag) {
    const Dense a = {{0.5, 1.5, 2.5}, {10.5, 11.5, 12.5}};
    Table<float> src(a, 0), back(2, 3);
    Table<double> one(Dense(3, Values(4, -7.0)), 0);
    Convertn_n1(2, 3, src, one);
    Convertn1_n(2, 3, one, back);
    EXPECT_EQ(one.ToDense(3, 4, 0)[0], Values(4, -7.0));
    EXPECT_EQ(one[1][0], -7.0);
    EXPECT_EQ(one.ToDense(2, 3, 1), a);
    EXPECT_EQ(back.ToDense(2, 3, 0), a);
    EXPECT_EQ(pythag(-3.0, -4.0), 5.0);
    EXPECT_EQ(pythag(0.0, 0.0), 0.0);
    EXPECT_FLOAT_EQ(pythag(3e30f, 4e30f), 5e30f);   // the squares would overflow or underflow
    EXPECT_DOUBLE_EQ(pythag(3e-300, 4e-300), 5e-300);
    EXPECT_NEAR(pythag(1.0, 1e-4), std::sqrt(1.0 + 1e-8), 2e-16);   // in double (float is off by ~1e-8)
}

TEST(NrerrorDeathTest, WritesBothLinesAndExitsWithOne) {
    EXPECT_EXIT(nrerror("Too many iterations in tqli"), testing::ExitedWithCode(1),
                "^Too many iterations in tqli\nSorry, you have to quit and restart the program\\.\n$");
}

// Every index from min(nl, 0) to nh lies inside the block (ASan judges).
TEST(Allocators, EveryIndexFromZeroToHighIsInsideTheBlock) {
    auto ends = [](auto* v, long lo, long hi) {   // writes index min(lo, 0) and hi
        v[std::min(lo, 0L)] = v[hi] = 1;
        return v;
    };
    free_vector(ends(vector(1, 5), 1, 5), 1, 5);
    free_dvector(ends(dvector(-2, 3), -2, 3), -2, 3);
    free_ivector(ends(ivector(1, 0), 1, 0), 1, 0);   // an empty range still holds index 0
    double** dm = dmatrix(1, 3, 0, 2);
    float*** t = f3tensor(1, 2, 1, 3, 1, 4);
    for (int i = 1; i <= 3; ++i) ends(dm[i], 0, 2);
    for (int i = 0; i <= 3; ++i) ends(t[1][i], 1, 4);   // rows from index 0 too
    for (int i = 0; i <= 3; ++i) ends(t[2][i], 1, 4);
    free_dmatrix(dm, 1, 3, 0, 2);
    free_f3tensor(t, 1, 2, 1, 3, 1, 4);
}

// A block the system cannot give (2^56 elements and more, 256 PiB; this binary lets the address
// sanitizer's allocator refuse rather than stop) raises code 1, the out-of-memory road, for each
// allocator and each of its blocks; the blocks made before the refused one are freed (LSan judges).
TEST(Allocators, ARefusedBlockRaisesCodeOneAndFreesTheBlocksMadeBefore) {
    const long huge = 1L << 56;
    const struct {
        const char* what;
        void (*allocate)(long);
    } cases[] = {
        {"vector", [](long n) { vector(1, n); }},
        {"dvector", [](long n) { dvector(1, n); }},
        {"ivector", [](long n) { ivector(-n, 0); }},
        {"cvector", [](long n) { cvector(1, n); }},
        {"lvector", [](long n) { lvector(1, n); }},
        {"matrix: its row table", [](long n) { matrix(1, n, 1, 2); }},
        {"dmatrix: its block after the row table", [](long n) { dmatrix(1, 2, 1, n); }},
        {"imatrix: its block after the row table", [](long n) { imatrix(1, 4, 0, n); }},
        {"submatrix: its row table", [](long n) { submatrix(nullptr, 1, n, 1, 1, 1); }},
        {"convert_matrix: its row table", [](long n) { convert_matrix(nullptr, 1, n, 1, 1); }},
        {"f3tensor: its table", [](long n) { f3tensor(1, n, 1, 2, 1, 2); }},
        {"f3tensor: its slots after the table", [](long n) { f3tensor(1, 2, 1, n, 1, 2); }},
        {"f3tensor: its data after the table and slots", [](long n) { f3tensor(1, 2, 1, 3, 1, n); }},
    };
    for (const auto& c : cases) EXPECT_EQ(CodeOf([&] { c.allocate(huge); }), TNX_OUT_OF_MEMORY) << c.what;
}

// Eigenvalues of the symmetric a, ascending, by GSL.
Values GslEigenvalues(const Dense& a) {
    const size_t n = a.size();
    Values flat, out(n);
    for (const Values& row : a) flat.insert(flat.end(), row.begin(), row.end());
    gsl_matrix_view g = gsl_matrix_view_array(flat.data(), n, n);
    gsl_vector_view values = gsl_vector_view_array(out.data(), n);
    gsl_eigen_symm_workspace* w = gsl_eigen_symm_alloc(n);
    gsl_eigen_symm(&g.matrix, &values.vector, w);
    gsl_eigen_symm_free(w);
    std::sort(out.begin(), out.end());
    return out;
}

// Eigenvalues by tred2 + tqli + eigsrt in T, or by jacobi (float): the ascending ones expected, Z
// orthonormal, Z D Z^T = A. Returns jacobi's rotation count.
template <class T>
int CheckEigen(const Dense& a, const Values& ascending, bool byJacobi, double tol) {
    const int n = static_cast<int>(a.size());
    Table<T> z(a, 1), m(a, 1);
    std::vector<T> d(n + 1), e(n + 1);
    int nrot = -1;
    if constexpr (std::is_same_v<T, float>) {
        if (byJacobi) jacobi(m, n, d.data(), z, &nrot);
    }
    if (!byJacobi) {
        tred2(z, n, d.data(), e.data());
        tqli(d.data(), e.data(), n, z);
        eigsrt(d.data(), z, n);
        EXPECT_TRUE(std::is_sorted(d.rbegin(), d.rend() - 1));   // descending
    }
    const Dense zd = z.ToDense(n, n, 1);
    Values values(d.begin() + 1, d.end());
    ExpectNear(TimesTransposed(zd, zd), Identity(n), tol, "Z Z^T");
    ExpectNear(TimesTransposed(zd, zd, &values), a, tol * 4, "Z D Z^T");
    std::sort(values.begin(), values.end());
    ExpectNear({values}, {ascending}, tol, "value");
    return nrot;
}

TEST(Eigen, SmallMatricesByHandAndRandomOnesAgreeWithGsl) {
    const double r2 = std::sqrt(2.0);
    struct Row { Dense a; Values values; bool diagonal; };
    // Second differences, a diagonal, order 1, I + J (a repeated value), then random ones against GSL.
    std::vector<Row> rows = {{{{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}, {2 - r2, 2, 2 + r2}, false},
                             {{{4, 0, 0}, {0, -1, 0}, {0, 0, 2}}, {-1, 2, 4}, true}, {{{7}}, {7}, true},
                             {{{2, 1, 1, 1}, {1, 2, 1, 1}, {1, 1, 2, 1}, {1, 1, 1, 2}}, {1, 1, 1, 5}, false}};
    for (int n : {2, 3, 5, 8, 12}) {
        const Dense a = RandomMatrix(n, n, 100 * n + 1, true);
        rows.push_back({a, GslEigenvalues(a), false});
    }
    for (const Row& r : rows) {
        const double tol = r.a.size() > 4 ? 1e-11 : 1e-13, ftol = r.a.size() > 4 ? 2e-4 : 1e-5;
        SCOPED_TRACE(testing::Message() << "order " << r.a.size() << ", largest value " << r.values.back());
        CheckEigen<double>(r.a, r.values, false, tol);
        CheckEigen<float>(r.a, r.values, false, ftol);
        EXPECT_EQ(CheckEigen<float>(r.a, r.values, true, ftol) == 0, r.diagonal);   // diagonal: no rotation
    }
}

// By hand: d = 1, 3, 3, 2, v = I; place 1 takes the later 3, place 2 keeps its 3: columns e3 e2 e4 e1.
TEST(Eigsrt, DescendingWithTheLastOfEqualValues) {
    Table<double> v(Identity(4), 1);
    std::vector<double> d = {0, 1, 3, 3, 2};
    eigsrt(d.data(), v, 4);
    EXPECT_EQ(d, Values({0, 3, 3, 2, 1}));
    EXPECT_EQ(v.ToDense(4, 4, 1), Dense({{0, 0, 0, 1}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}}));
}

// svdcmp: U W V^T gives the input back, V is orthogonal and U has orthonormal columns, the singular values
// are not negative; rank-deficient inputs (a zero singular value in the bidiagonal form, whose
// off-diagonal element is then chased out by rotations) too. Singular values from the mathematics:
// the all-ones 3 x 3 matrix has 3, 0, 0 (3 x 1/sqrt(3) x 1/sqrt(3) is its only nonzero term); the
// full-rank [[2, 1], [1, 3]] is symmetric positive definite, so its singular values are its
// eigenvalues, the roots of x^2 - 5x + 5 (trace 5, determinant 5): (5 -+ sqrt(5)) / 2.
TEST(Svdcmp, MultipliesBackToTheInput) {
    const struct {
        Dense a;
        Values singular;  // ascending; empty: not known in closed form
    } cases[] = {{RandomMatrix(6, 4, 35), {}},
                 {Dense(3, Values(3, 1.0)), {0, 0, 3}},
                 {{{1, 0, 2, 3}, {4, 0, 5, 6}, {7, 0, 8, 9}, {1, 0, 1, 1}}, {}},
                 {{{0, 2, 1}, {0, 1, 3}, {0, 4, 2}, {0, 0, 1}}, {}},
                 {{{2, 2, 1}, {1, 1, 5}, {3, 3, 0}, {0, 0, 2}, {4, 4, 1}}, {}},
                 {{{1, 2}, {0, 0}, {0, 0}}, {}},
                 {{{2, 1}, {1, 3}}, {(5 - std::sqrt(5.0)) / 2, (5 + std::sqrt(5.0)) / 2}}};
    for (const auto& c : cases) {
        const Dense& a = c.a;
        const int m = int(a.size()), n = int(a[0].size());
        SCOPED_TRACE(testing::Message() << m << " x " << n << " starting " << a[0][0] << ", " << a[0][1]);
        Table<double> u(a, 1), v(Identity(size_t(n)), 1);
        std::vector<double> w(size_t(n) + 1);
        svdcmp(u, m, n, w.data(), v);
        const Values wd(w.begin() + 1, w.end());
        const Dense ud = u.ToDense(m, n, 1), vd = v.ToDense(n, n, 1);
        ExpectNear(TimesTransposed(ud, vd, &wd), a, 1e-12, "U W V^T");
        ExpectNear(TimesTransposed(Transpose(vd), Transpose(vd)), Identity(size_t(n)), 1e-12, "V^T V");
        ExpectNear(TimesTransposed(Transpose(ud), Transpose(ud)), Identity(size_t(n)), 1e-12, "U^T U");
        for (double x : wd) EXPECT_GE(x, 0.0);
        if (c.singular.empty()) continue;
        Values sorted = wd;
        std::sort(sorted.begin(), sorted.end());
        for (size_t k = 0; k < sorted.size(); k++) EXPECT_NEAR(sorted[k], c.singular[k], 1e-12) << k;
    }
}

}  // namespace
