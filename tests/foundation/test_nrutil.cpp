// Sorting, ranking, Cholesky, Gauss-Jordan, conversions, pythag and the 1-based allocators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/nrutilQW.h"
#include "foundation/qwlibDim.h"

namespace {

// ---------------------------------------------------------------- sort2 and indexx

template <class K, class C>
void expectSorted3(K* arr, C* brr)
{
    sort2(3, arr, brr);
    EXPECT_EQ(arr[1], K(1));
    EXPECT_EQ(arr[2], K(2));
    EXPECT_EQ(arr[3], K(3));
    EXPECT_EQ(brr[1], C(10));
    EXPECT_EQ(brr[2], C(20));
    EXPECT_EQ(brr[3], C(30));
}

TEST(Sort2, ThreeValuesCarryTheirCompanionsInEveryType)
{
    float af[] = {0, 3, 1, 2}, bf[] = {0, 30, 10, 20};
    expectSorted3(af, bf);
    double ad[] = {0, 3, 1, 2}, bd[] = {0, 30, 10, 20};
    expectSorted3(ad, bd);
    int ai[] = {0, 3, 1, 2}, bi[] = {0, 30, 10, 20};
    expectSorted3(ai, bi);
}

// Below 7 elements the whole array goes to straight insertion, which keeps equal keys in
// their input order: keys 2,1,2,1 with companions 1,2,3,4 give 1,1,2,2 and 2,4,1,3.
TEST(Sort2, TiesOnFewerThanSevenKeepInputOrder)
{
    double arr[] = {0, 2, 1, 2, 1};
    double brr[] = {0, 1, 2, 3, 4};
    sort2(4, arr, brr);
    const double keys[] = {1, 1, 2, 2};
    const double comp[] = {2, 4, 1, 3};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(arr[i + 1], keys[i]);
        EXPECT_EQ(brr[i + 1], comp[i]);
    }
}

// Seven elements are partitioned once. Worked by hand for keys 2,1,2,1,2,1,2 (companions
// 1..7): the middle element (4) moves to place 2, the three-sort swaps places 1 and 2, the
// scan with pivot key 2 exchanges places 3 and 6, stops with j = 4, the pivot goes to place
// 4; the part 6..7 is sorted first, then 1..3, both by insertion. Companions end as
// 4,2,6,1,5,3,7: equal keys are not in input order.
TEST(Sort2, TiesOnSevenFollowThePartitioning)
{
    float arr[] = {0, 2, 1, 2, 1, 2, 1, 2};
    int ia[] = {0, 2, 1, 2, 1, 2, 1, 2};
    int ib[] = {0, 1, 2, 3, 4, 5, 6, 7};
    float fb[] = {0, 1, 2, 3, 4, 5, 6, 7};
    sort2(7, arr, fb);
    sort2(7, ia, ib);
    const int keys[] = {1, 1, 1, 2, 2, 2, 2};
    const int comp[] = {4, 2, 6, 1, 5, 3, 7};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(arr[i + 1], keys[i]);
        EXPECT_EQ(fb[i + 1], comp[i]) << "place " << i + 1;
        EXPECT_EQ(ia[i + 1], keys[i]);
        EXPECT_EQ(ib[i + 1], comp[i]) << "place " << i + 1;
    }
}

// Sorted output and the same (key, companion) pairs, on random, sorted, reversed and
// constant inputs; large sizes exercise the fixed stack.
TEST(Sort2, KeepsPairsAndSortsLargeInputs)
{
    std::mt19937 gen(12345);
    std::uniform_int_distribution<int> fewKeys(0, 9);
    for (int pattern = 0; pattern < 4; ++pattern) {
        const int n = pattern == 0 ? 2000 : 100000;
        std::vector<double> arr(n + 1), brr(n + 1);
        std::vector<std::pair<double, double>> pairs;
        for (int i = 1; i <= n; ++i) {
            switch (pattern) {
            case 0: arr[i] = fewKeys(gen); break;
            case 1: arr[i] = i; break;
            case 2: arr[i] = n - i; break;
            default: arr[i] = 5; break;
            }
            brr[i] = i;
            pairs.emplace_back(arr[i], brr[i]);
        }
        sort2(static_cast<unsigned long>(n), arr.data(), brr.data());
        std::vector<std::pair<double, double>> after;
        for (int i = 1; i <= n; ++i) {
            if (i > 1) {
                ASSERT_LE(arr[i - 1], arr[i]) << "pattern " << pattern;
            }
            after.emplace_back(arr[i], brr[i]);
        }
        std::sort(pairs.begin(), pairs.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(pairs, after) << "pattern " << pattern;
    }
}

TEST(Sort2, EmptyAndSingleArraysAreLeftAlone)
{
    int arr[] = {-1, 7};
    int brr[] = {-2, 70};
    sort2(0, arr, brr);
    sort2(1, arr, brr);
    EXPECT_EQ(arr[0], -1);
    EXPECT_EQ(arr[1], 7);
    EXPECT_EQ(brr[0], -2);
    EXPECT_EQ(brr[1], 70);
}

TEST(Indexx, OrdersThroughTheIndexAndLeavesValues)
{
    float arr[] = {0, 3, 1, 2};
    unsigned long indx[4] = {0, 0, 0, 0};
    indexx(3, arr, indx);
    EXPECT_EQ(indx[1], 2u);
    EXPECT_EQ(indx[2], 3u);
    EXPECT_EQ(indx[3], 1u);
    EXPECT_EQ(arr[1], 3.0f);
    EXPECT_EQ(arr[2], 1.0f);
    EXPECT_EQ(arr[3], 2.0f);
}

// indexx runs the same scheme as sort2 on an index table, so it orders ties exactly as
// sort2 moves companions 1..n.
TEST(Indexx, MatchesSort2CompanionsOnTiedInputs)
{
    std::mt19937 gen(777);
    std::uniform_int_distribution<int> keys(0, 4);
    for (int n : {4, 7, 13, 64, 500}) {
        std::vector<float> arr(n + 1), copy(n + 1), comp(n + 1);
        std::vector<unsigned long> indx(n + 1);
        for (int i = 1; i <= n; ++i) {
            arr[i] = copy[i] = static_cast<float>(keys(gen));
            comp[i] = static_cast<float>(i);
        }
        indexx(static_cast<unsigned long>(n), arr.data(), indx.data());
        sort2(static_cast<unsigned long>(n), copy.data(), comp.data());
        for (int i = 1; i <= n; ++i) {
            EXPECT_EQ(static_cast<float>(indx[i]), comp[i]) << "n " << n << " place " << i;
            EXPECT_EQ(arr[indx[i]], copy[i]);
        }
    }
}

// ---------------------------------------------------------------- crank

template <class T>
void expectRanks(std::vector<T> w, const std::vector<T>& ranks, T tieSum)
{
    T s = -1;
    crank(static_cast<unsigned long>(w.size() - 1), w.data(), &s);
    for (size_t i = 1; i < w.size(); ++i) EXPECT_EQ(w[i], ranks[i - 1]) << "place " << i;
    EXPECT_EQ(s, tieSum);
}

TEST(Crank, TiesGetMeanRanksAndTieSum)
{
    expectRanks<float>({0, 1, 2, 2, 3}, {1, 2.5f, 2.5f, 4}, 6);
    expectRanks<double>({0, 1, 2, 2, 3}, {1, 2.5, 2.5, 4}, 6);
    expectRanks<float>({0, 5, 5, 5}, {2, 2, 2}, 24);
    expectRanks<double>({0, 5, 5, 5}, {2, 2, 2}, 24);
}

TEST(Crank, RunsAtTheEndsAndNoTies)
{
    // A run that ends the array: no lone last element to rank.
    expectRanks<double>({0, 1, 2, 3, 3}, {1, 2, 3.5, 3.5}, 6);
    // A run at the start, then the walk stops on the last element: its rank is n.
    expectRanks<double>({0, 1, 1, 2}, {1.5, 1.5, 3}, 6);
    // Two runs: 2 tied (6) and 3 tied (24).
    expectRanks<float>({0, 4, 4, 7, 7, 7}, {1.5f, 1.5f, 4, 4, 4}, 30);
    expectRanks<double>({0, -3, 0.5, 9}, {1, 2, 3}, 0);
    expectRanks<double>({0, 42}, {1}, 0);
}

TEST(Crank, RanksSumToTriangularNumber)
{
    std::mt19937 gen(99);
    std::uniform_int_distribution<int> keys(0, 6);
    const int n = 40;
    std::vector<double> w(n + 1), comp(n + 1);
    for (int i = 1; i <= n; ++i) w[i] = keys(gen);
    sort2(n, w.data(), comp.data());
    // Expected tie sum from the counts of each key.
    double expectedTies = 0;
    for (int key = 0; key <= 6; ++key) {
        double t = static_cast<double>(std::count(w.begin() + 1, w.end(), key));
        expectedTies += t * t * t - t;
    }
    double s = 0;
    crank(n, w.data(), &s);
    double total = 0;
    for (int i = 1; i <= n; ++i) total += w[i];
    EXPECT_DOUBLE_EQ(total, n * (n + 1) / 2.0);
    EXPECT_EQ(s, expectedTies);
}

// ---------------------------------------------------------------- choldc

TEST(Choldc, TwoByTwoByHand)
{
    double** a = dim2Double(2, 2);
    a[0][0] = 4; a[0][1] = 2; a[1][0] = 2; a[1][1] = 3;
    double p[2];
    EXPECT_EQ(choldc(a, 2, p), 1);
    EXPECT_DOUBLE_EQ(p[0], 2.0);
    EXPECT_DOUBLE_EQ(p[1], std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(a[1][0], 1.0);
    EXPECT_EQ(a[0][1], 2.0);  // the upper triangle keeps the input
    free2D(a, 2);

    float** f = dim2Dfloat(2, 2);
    f[0][0] = 4; f[0][1] = 2; f[1][0] = 2; f[1][1] = 3;
    float pf[2];
    EXPECT_EQ(choldc(f, 2, pf), 1);
    EXPECT_FLOAT_EQ(pf[0], 2.0f);
    EXPECT_FLOAT_EQ(pf[1], std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(f[1][0], 1.0f);
    free2D(f, 2);
}

TEST(Choldc, NotPositiveDefiniteReportsAndReturnsZero)
{
    double** a = dim2Double(2, 2);
    a[0][0] = 0; a[0][1] = 1; a[1][0] = 1; a[1][1] = 3;
    double p[2];
    testing::internal::CaptureStdout();
    EXPECT_EQ(choldc(a, 2, p), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\ncholdc failed");
    // Indefinite: 1 - 2*2 < 0 at the second pivot.
    a[0][0] = 1; a[0][1] = 2; a[1][0] = 2; a[1][1] = 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(choldc(a, 2, p), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\ncholdc failed");
    free2D(a, 2);
}

template <class T>
void checkCholeskyMultipliesBack(T** (*alloc)(int, int), double tol)
{
    const int n = 5;
    std::mt19937 gen(2024);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<std::vector<double>> m(n, std::vector<double>(n));
    for (auto& row : m)
        for (double& x : row) x = u(gen);
    T** a = alloc(n, n);
    std::vector<std::vector<double>> orig(n, std::vector<double>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = i == j ? n : 0.0;
            for (int k = 0; k < n; ++k) s += m[i][k] * m[j][k];
            a[i][j] = static_cast<T>(s);
            orig[i][j] = static_cast<double>(a[i][j]);
        }
    std::vector<T> p(n);
    ASSERT_EQ(choldc(a, n, p.data()), 1);
    auto L = [&](int i, int j) -> double {
        if (j > i) return 0.0;
        return i == j ? static_cast<double>(p[i]) : static_cast<double>(a[i][j]);
    };
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0;
            for (int k = 0; k < n; ++k) s += L(i, k) * L(j, k);
            EXPECT_NEAR(s, orig[i][j], tol) << i << "," << j;
            if (j >= i) {
                EXPECT_EQ(static_cast<double>(a[i][j]), orig[i][j]);
            }
        }
    free2D(a, n);
}

TEST(Choldc, FactorMultipliesBackToInput)
{
    checkCholeskyMultipliesBack<double>(dim2Double, 1e-12);
    checkCholeskyMultipliesBack<float>(dim2Dfloat, 1e-4);
}

// ---------------------------------------------------------------- gaussj

TEST(Gaussj, DiagonalByHand)
{
    double** a = dim2Double(3, 3);
    double** b = dim2Double(3, 2);
    a[1][1] = 2; a[2][2] = 4;
    b[1][1] = 1; b[2][1] = 1;
    EXPECT_EQ(gaussj(a, 2, b, 1), 1);
    EXPECT_EQ(a[1][1], 0.5);
    EXPECT_EQ(a[1][2], 0.0);
    EXPECT_EQ(a[2][1], 0.0);
    EXPECT_EQ(a[2][2], 0.25);
    EXPECT_EQ(b[1][1], 0.5);
    EXPECT_EQ(b[2][1], 0.25);
    free2D(a, 3);
    free2D(b, 3);
}

// The exchange matrix needs a row exchange (pivot at row 2, column 1) and the final column
// exchange; its inverse is itself, and (0 1; 1 0) x = (3, 5) gives x = (5, 3).
TEST(Gaussj, PivotingExchangesAreUndone)
{
    double** a = dim2Double(3, 3);
    double** b = dim2Double(3, 2);
    a[1][2] = 1; a[2][1] = 1;
    b[1][1] = 3; b[2][1] = 5;
    EXPECT_EQ(gaussj_QW(a, 2, b, 1), 1);
    EXPECT_EQ(a[1][1], 0.0);
    EXPECT_EQ(a[1][2], 1.0);
    EXPECT_EQ(a[2][1], 1.0);
    EXPECT_EQ(a[2][2], 0.0);
    EXPECT_EQ(b[1][1], 5.0);
    EXPECT_EQ(b[2][1], 3.0);
    free2D(a, 3);
    free2D(b, 3);
}

template <class T>
void checkGaussjMultipliesBack(T** (*alloc)(int, int), bool quiet, double tol)
{
    const int n = 6, m = 3;
    std::mt19937 gen(31337);
    std::uniform_real_distribution<double> u(-2, 2);
    T** a = alloc(n + 1, n + 1);
    T** b = alloc(n + 1, m + 1);
    std::vector<std::vector<double>> A(n + 1, std::vector<double>(n + 1)), B(n + 1, std::vector<double>(m + 1));
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) A[i][j] = static_cast<double>(a[i][j] = static_cast<T>(u(gen)));
        for (int j = 1; j <= m; ++j) B[i][j] = static_cast<double>(b[i][j] = static_cast<T>(u(gen)));
    }
    int ok;
    testing::internal::CaptureStderr();
    if constexpr (std::is_same_v<T, double>) {
        ok = quiet ? gaussj_QW(a, n, b, m) : gaussj(a, n, b, m);
    } else {
        ok = gaussj(a, n, b, m);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(ok, 1);
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) {
            double s = 0;
            for (int k = 1; k <= n; ++k) s += A[i][k] * static_cast<double>(a[k][j]);
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, tol) << "A Ainv " << i << "," << j;
        }
        for (int j = 1; j <= m; ++j) {
            double s = 0;
            for (int k = 1; k <= n; ++k) s += A[i][k] * static_cast<double>(b[k][j]);
            EXPECT_NEAR(s, B[i][j], tol) << "A X " << i << "," << j;
        }
    }
    free2D(a, n + 1);
    free2D(b, n + 1);
}

TEST(Gaussj, InverseAndSolutionsMultiplyBack)
{
    checkGaussjMultipliesBack<double>(dim2Double, false, 1e-12);
    checkGaussjMultipliesBack<double>(dim2Double, true, 1e-12);
    checkGaussjMultipliesBack<float>(dim2Dfloat, false, 1e-4);
}

template <class T>
bool allFinite(T** x, int rows, int cols)
{
    for (int i = 1; i <= rows; ++i)
        for (int j = 1; j <= cols; ++j)
            if (!std::isfinite(static_cast<double>(x[i][j]))) return false;
    return true;
}

// (1 1 0; 1 1 0; 0 0 1): the pivots 1 at (3,3) and (2,2) leave exactly 0 at (1,1).
template <class T>
void fillSingular(T** a, T** b)
{
    const double v[3][3] = {{1, 1, 0}, {1, 1, 0}, {0, 0, 1}};
    for (int i = 1; i <= 3; ++i) {
        for (int j = 1; j <= 3; ++j) a[i][j] = static_cast<T>(v[i - 1][j - 1]);
        b[i][1] = static_cast<T>(i);
    }
}

TEST(Gaussj, SingularMatrixIsReportedWithFiniteResults)
{
    double** a = dim2Double(4, 4);
    double** b = dim2Double(4, 2);
    fillSingular(a, b);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gaussj(a, 3, b, 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gaussj: Singular Matrix-2");
    EXPECT_TRUE(allFinite(a, 3, 3));
    EXPECT_TRUE(allFinite(b, 3, 1));

    fillSingular(a, b);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gaussj_QW(a, 3, b, 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(allFinite(a, 3, 3));
    EXPECT_TRUE(allFinite(b, 3, 1));
    free2D(a, 4);
    free2D(b, 4);

    float** fa = dim2Dfloat(4, 4);
    float** fb = dim2Dfloat(4, 2);
    fillSingular(fa, fb);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gaussj(fa, 3, fb, 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gaussj: Singular Matrix-2");
    EXPECT_TRUE(allFinite(fa, 3, 3));
    EXPECT_TRUE(allFinite(fb, 3, 1));
    free2D(fa, 4);
    free2D(fb, 4);
}

TEST(Gaussj, ZeroMatrixAndRankOneMatrixAreSingular)
{
    double** a = dim2Double(3, 3);
    double** b = dim2Double(3, 3);
    testing::internal::CaptureStderr();
    EXPECT_EQ(gaussj(a, 2, b, 2), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "gaussj: Singular Matrix-2");
    EXPECT_TRUE(allFinite(a, 2, 2));
    // (1 2; 2 4): pivot 4, then 1 - 0.5 * 2 = 0 exactly.
    a[1][1] = 1; a[1][2] = 2; a[2][1] = 2; a[2][2] = 4;
    b[1][1] = 1; b[2][2] = 1;
    EXPECT_EQ(gaussj_QW(a, 2, b, 2), 0);
    EXPECT_TRUE(allFinite(a, 2, 2));
    EXPECT_TRUE(allFinite(b, 2, 2));
    free2D(a, 3);
    free2D(b, 3);
}

// ---------------------------------------------------------------- conversions

template <class S, class D>
void checkRoundTrip(S** (*allocS)(int, int), D** (*allocD)(int, int))
{
    const int rows = 3, cols = 4;
    S** src = allocS(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) src[i][j] = static_cast<S>(10 * i + j + 0.5);
    D** one = allocD(rows + 1, cols + 1);
    one[0][0] = static_cast<D>(-7);
    Convertn_n1(rows, cols, src, one);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) EXPECT_EQ(one[i + 1][j + 1], static_cast<D>(10 * i + j + 0.5));
    EXPECT_EQ(one[0][0], static_cast<D>(-7));  // index 0 is not written
    EXPECT_EQ(one[1][0], static_cast<D>(0));
    S** back = allocS(rows, cols);
    Convertn1_n(rows, cols, one, back);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) EXPECT_EQ(back[i][j], src[i][j]);
    free2D(src, rows);
    free2D(back, rows);
    free2D(one, rows + 1);
}

TEST(Convert, RoundTripForEveryTypePair)
{
    checkRoundTrip<double, double>(dim2Double, dim2Double);
    checkRoundTrip<float, float>(dim2Dfloat, dim2Dfloat);
    checkRoundTrip<float, double>(dim2Dfloat, dim2Double);
    checkRoundTrip<double, float>(dim2Double, dim2Dfloat);
}

// ---------------------------------------------------------------- pythag

TEST(Pythag, KnownValuesAndExtremes)
{
    EXPECT_EQ(pythag(3.0f, 4.0f), 5.0f);
    EXPECT_EQ(pythag(-3.0, -4.0), 5.0);
    EXPECT_EQ(pythag(4.0, 3.0), 5.0);
    EXPECT_EQ(pythag(0.0, 0.0), 0.0);
    EXPECT_EQ(pythag(0.0f, -2.0f), 2.0f);
    // Squares would overflow or underflow.
    EXPECT_FLOAT_EQ(pythag(3e30f, 4e30f), 5e30f);
    EXPECT_DOUBLE_EQ(pythag(3e300, 4e300), 5e300);
    EXPECT_DOUBLE_EQ(pythag(3e-300, 4e-300), 5e-300);
    // The double form keeps double precision (a single-precision result is off by ~1e-8).
    EXPECT_NEAR(pythag(1.0, 1.0), std::sqrt(2.0), 4e-16);
    EXPECT_NEAR(pythag(1.0, 1e-4), std::sqrt(1.0 + 1e-8), 2e-16);
}

// ---------------------------------------------------------------- nrerror

TEST(NrerrorDeathTest, WritesBothLinesAndExitsWithOne)
{
    EXPECT_EXIT(nrerror("Too many iterations in tqli"), testing::ExitedWithCode(1),
                "^Too many iterations in tqli\nSorry, you have to quit and restart the program\\.\n$");
}

// ---------------------------------------------------------------- 1-based allocators

// Every index from min(nl, 0) to nh is inside the block (ASan reports any stray access).
TEST(Allocators, VectorsHoldEveryIndexFromZeroToHigh)
{
    float* v = vector(1, 5);
    for (long i = 0; i <= 5; ++i) v[i] = static_cast<float>(i);
    EXPECT_EQ(v[5], 5.0f);
    free_vector(v, 1, 5);

    double* dv = dvector(-2, 3);
    for (long i = -2; i <= 3; ++i) dv[i] = static_cast<double>(i);
    EXPECT_EQ(dv[-2] + dv[3], 1.0);
    free_dvector(dv, -2, 3);

    int* iv = ivector(1, 50);
    for (long i = 0; i <= 50; ++i) iv[i] = static_cast<int>(i);
    EXPECT_EQ(iv[50], 50);
    free_ivector(iv, 1, 50);

    char* cv = cvector(1, 3);
    cv[0] = 'a'; cv[3] = 'z';
    EXPECT_EQ(cv[3], 'z');
    free_cvector(cv, 1, 3);

    long* lv = lvector(2, 4);
    for (long i = 0; i <= 4; ++i) lv[i] = 1000000000L * i;
    EXPECT_EQ(lv[4], 4000000000L);
    free_lvector(lv, 2, 4);

    // An empty range still gives a valid block for index 0.
    int* empty = ivector(1, 0);
    empty[0] = 1;
    free_ivector(empty, 1, 0);
}

TEST(Allocators, MatricesHoldEveryIndex)
{
    float** m = matrix(1, 3, 1, 4);
    double** dm = dmatrix(1, 3, 0, 2);
    int** im = imatrix(0, 2, 1, 2);
    for (long i = 1; i <= 3; ++i)
        for (long j = 0; j <= 4; ++j) m[i][j] = static_cast<float>(10 * i + j);
    for (long i = 1; i <= 3; ++i)
        for (long j = 0; j <= 2; ++j) dm[i][j] = static_cast<double>(10 * i + j);
    for (long i = 0; i <= 2; ++i)
        for (long j = 0; j <= 2; ++j) im[i][j] = static_cast<int>(10 * i + j);
    // Distinct cells: nothing overwritten by a later row.
    for (long i = 1; i <= 3; ++i)
        for (long j = 0; j <= 4; ++j) EXPECT_EQ(m[i][j], static_cast<float>(10 * i + j));
    EXPECT_EQ(dm[3][2], 32.0);
    EXPECT_EQ(im[2][2], 22);
    free_matrix(m, 1, 3, 1, 4);
    free_dmatrix(dm, 1, 3, 0, 2);
    free_imatrix(im, 0, 2, 1, 2);
}

TEST(Allocators, SubmatrixAddressesPartOfTheMatrix)
{
    float** a = matrix(1, 4, 1, 4);
    for (long i = 1; i <= 4; ++i)
        for (long j = 1; j <= 4; ++j) a[i][j] = static_cast<float>(10 * i + j);
    // Rows 2..3, columns from 2, seen as [1..2][1..3].
    float** s = submatrix(a, 2, 3, 2, 1, 1);
    EXPECT_EQ(s[1][1], 22.0f);
    EXPECT_EQ(s[1][3], 24.0f);
    EXPECT_EQ(s[2][2], 33.0f);
    s[2][3] = -1.0f;
    EXPECT_EQ(a[3][4], -1.0f);
    free_submatrix(s, 1, 2, 1, 3);
    free_matrix(a, 1, 4, 1, 4);
}

TEST(Allocators, ConvertMatrixOverACallersBlock)
{
    // Plain row-major 2 x 3 block addressed from column 0.
    float block[6] = {1, 2, 3, 4, 5, 6};
    float** m = convert_matrix(block, 1, 2, 0, 2);
    EXPECT_EQ(m[1][0], 1.0f);
    EXPECT_EQ(m[1][2], 3.0f);
    EXPECT_EQ(m[2][0], 4.0f);
    EXPECT_EQ(m[2][2], 6.0f);
    free_convert_matrix(m, 1, 2, 0, 2);
    // Columns 1..3: each row of the block begins with its unused place 0.
    float wide[8] = {0, 1, 2, 3, 0, 4, 5, 6};
    float** w = convert_matrix(wide, 1, 2, 1, 3);
    EXPECT_EQ(w[1][1], 1.0f);
    EXPECT_EQ(w[1][3], 3.0f);
    EXPECT_EQ(w[2][1], 4.0f);
    EXPECT_EQ(w[2][3], 6.0f);
    w[2][2] = 50.0f;
    EXPECT_EQ(wide[6], 50.0f);
    free_convert_matrix(w, 1, 2, 1, 3);
}

TEST(Allocators, F3tensorCellsAreDistinct)
{
    float*** t = f3tensor(1, 2, 1, 3, 1, 4);
    for (long i = 1; i <= 2; ++i)
        for (long j = 0; j <= 3; ++j)
            for (long k = 0; k <= 4; ++k) t[i][j][k] = static_cast<float>(100 * i + 10 * j + k);
    for (long i = 1; i <= 2; ++i)
        for (long j = 0; j <= 3; ++j)
            for (long k = 0; k <= 4; ++k) EXPECT_EQ(t[i][j][k], static_cast<float>(100 * i + 10 * j + k));
    free_f3tensor(t, 1, 2, 1, 3, 1, 4);
}

}  // namespace
