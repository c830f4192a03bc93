// Symmetric eigen-analysis (tred2 + tqli, jacobi, eigsrt) and the singular value
// decomposition, checked by hand on small matrices and against the numerical library.
#include <gtest/gtest.h>

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "foundation/nrutilQW.h"
#include "foundation/qwlibDim.h"

namespace {

using Dense = std::vector<std::vector<double>>;

Dense randomSymmetric(int n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-3, 3);
    Dense a(n, std::vector<double>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) a[i][j] = a[j][i] = u(gen);
    return a;
}

// Eigenvalues by the numerical library, ascending.
std::vector<double> gslEigenvalues(const Dense& a)
{
    int n = static_cast<int>(a.size());
    gsl_matrix* m = gsl_matrix_alloc(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) gsl_matrix_set(m, i, j, a[i][j]);
    gsl_vector* eval = gsl_vector_alloc(n);
    gsl_matrix* evec = gsl_matrix_alloc(n, n);
    gsl_eigen_symmv_workspace* w = gsl_eigen_symmv_alloc(n);
    gsl_eigen_symmv(m, eval, evec, w);
    gsl_eigen_symmv_sort(eval, evec, GSL_EIGEN_SORT_VAL_ASC);
    std::vector<double> out(n);
    for (int i = 0; i < n; ++i) out[i] = gsl_vector_get(eval, i);
    gsl_eigen_symmv_free(w);
    gsl_matrix_free(evec);
    gsl_vector_free(eval);
    gsl_matrix_free(m);
    return out;
}

template <class T>
T** oneBasedCopy(const Dense& a, T** (*alloc)(int, int))
{
    int n = static_cast<int>(a.size());
    int cols = static_cast<int>(a[0].size());
    T** m = alloc(n + 1, cols + 1);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < cols; ++j) m[i + 1][j + 1] = static_cast<T>(a[i][j]);
    return m;
}

// A z_k = d_k z_k for every column k of z, and z orthonormal.
template <class T>
void expectEigenpairs(const Dense& a, const T* d, T** z, double tol)
{
    int n = static_cast<int>(a.size());
    for (int k = 1; k <= n; ++k) {
        for (int i = 1; i <= n; ++i) {
            double s = 0;
            for (int j = 1; j <= n; ++j) s += a[i - 1][j - 1] * static_cast<double>(z[j][k]);
            EXPECT_NEAR(s, static_cast<double>(d[k]) * static_cast<double>(z[i][k]), tol)
                << "A z = d z, vector " << k << " row " << i;
        }
        for (int l = 1; l <= n; ++l) {
            double s = 0;
            for (int i = 1; i <= n; ++i) s += static_cast<double>(z[i][k]) * static_cast<double>(z[i][l]);
            EXPECT_NEAR(s, k == l ? 1.0 : 0.0, tol) << "orthonormal " << k << "," << l;
        }
    }
}

template <class T>
std::vector<double> sortedValues(const T* d, int n)
{
    std::vector<double> out(d + 1, d + n + 1);
    std::sort(out.begin(), out.end());
    return out;
}

template <class T>
std::vector<double> householderQL(const Dense& a, T** (*alloc)(int, int), T* (*allocVec)(int), double tol)
{
    int n = static_cast<int>(a.size());
    T** z = oneBasedCopy(a, alloc);
    T* d = allocVec(n + 1);
    T* e = allocVec(n + 1);
    tred2(z, n, d, e);
    tqli(d, e, n, z);
    expectEigenpairs(a, d, z, tol);
    std::vector<double> values = sortedValues(d, n);
    free2D(z, n + 1);
    free1D(d);
    free1D(e);
    return values;
}

std::vector<double> byJacobi(const Dense& a, double tol, int* rotations = nullptr)
{
    int n = static_cast<int>(a.size());
    float** m = oneBasedCopy(a, dim2Dfloat);
    float** v = dim2Dfloat(n + 1, n + 1);
    float* d = dim1Dfloat(n + 1);
    int nrot = -1;
    jacobi(m, n, d, v, &nrot);
    EXPECT_GE(nrot, 0);
    if (rotations) *rotations = nrot;
    // The lower triangle and the diagonal of a are left as they were.
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= i; ++j) EXPECT_EQ(m[i][j], static_cast<float>(a[i - 1][j - 1]));
    expectEigenpairs(a, d, v, tol);
    std::vector<double> values = sortedValues(d, n);
    free2D(m, n + 1);
    free2D(v, n + 1);
    free1D(d);
    return values;
}

void expectSameValues(const std::vector<double>& x, const std::vector<double>& y, double tol)
{
    ASSERT_EQ(x.size(), y.size());
    for (size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], y[i], tol) << "eigenvalue " << i;
}

TEST(Eigen, SmallMatricesByHand)
{
    // (2 1; 1 2): 1 and 3.
    Dense a2 = {{2, 1}, {1, 2}};
    expectSameValues(householderQL<double>(a2, dim2Double, dim1Double, 1e-13), {1, 3}, 1e-13);
    expectSameValues(byJacobi(a2, 1e-6), {1, 3}, 1e-6);
    // The second-difference matrix of order 3: 2 - sqrt 2, 2, 2 + sqrt 2.
    Dense a3 = {{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}};
    std::vector<double> exact = {2 - std::sqrt(2.0), 2, 2 + std::sqrt(2.0)};
    expectSameValues(householderQL<double>(a3, dim2Double, dim1Double, 1e-13), exact, 1e-13);
    expectSameValues(householderQL<float>(a3, dim2Dfloat, dim1Dfloat, 1e-5), exact, 1e-5);
    expectSameValues(byJacobi(a3, 1e-5), exact, 1e-5);
    // A diagonal matrix needs no rotation.
    Dense diag = {{4, 0, 0}, {0, -1, 0}, {0, 0, 2}};
    int nrot = -1;
    expectSameValues(byJacobi(diag, 0, &nrot), {-1, 2, 4}, 0);
    EXPECT_EQ(nrot, 0);
    expectSameValues(householderQL<double>(diag, dim2Double, dim1Double, 1e-15), {-1, 2, 4}, 1e-15);
    // Order 1.
    Dense seven(1, std::vector<double>(1, 7.0));
    expectSameValues(householderQL<double>(seven, dim2Double, dim1Double, 0), {7}, 0);
    // I + J of order 4 (J all ones): 1, 1, 1 and 5, a repeated eigenvalue.
    Dense ij(4, std::vector<double>(4, 1.0));
    for (int i = 0; i < 4; ++i) ij[i][i] = 2;
    expectSameValues(householderQL<double>(ij, dim2Double, dim1Double, 1e-13), {1, 1, 1, 5}, 1e-13);
    expectSameValues(byJacobi(ij, 1e-5), {1, 1, 1, 5}, 1e-5);
}

TEST(Eigen, ThreeMethodsAgreeWithTheNumericalLibrary)
{
    unsigned seed = 501;
    for (int n : {2, 3, 5, 8, 12}) {
        for (int rep = 0; rep < 3; ++rep) {
            Dense a = randomSymmetric(n, seed++);
            std::vector<double> ref = gslEigenvalues(a);
            expectSameValues(householderQL<double>(a, dim2Double, dim1Double, 1e-11), ref, 1e-11);
            expectSameValues(householderQL<float>(a, dim2Dfloat, dim1Dfloat, 2e-4), ref, 2e-4);
            expectSameValues(byJacobi(a, 2e-4), ref, 2e-4);
        }
    }
}

// tred2 alone: Q orthogonal and Q^T A Q tridiagonal with d on the diagonal, e below it.
TEST(Eigen, Tred2GivesAnOrthogonalTridiagonalisation)
{
    const int n = 6;
    Dense a = randomSymmetric(n, 77);
    double** q = oneBasedCopy(a, dim2Double);
    double d[n + 1], e[n + 1];
    tred2(q, n, d, e);
    EXPECT_EQ(e[1], 0.0);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
            double qtq = 0, t = 0;
            for (int k = 1; k <= n; ++k) {
                qtq += q[k][i] * q[k][j];
                for (int l = 1; l <= n; ++l) t += q[k][i] * a[k - 1][l - 1] * q[l][j];
            }
            EXPECT_NEAR(qtq, i == j ? 1.0 : 0.0, 1e-13);
            double expected = 0;
            if (i == j) expected = d[i];
            else if (i == j + 1) expected = e[i];
            else if (j == i + 1) expected = e[j];
            EXPECT_NEAR(t, expected, 1e-12) << i << "," << j;
        }
    free2D(q, n + 1);
}

// Worked by hand: d = 1, 3, 3, 2 with v = I. Position 1 takes the later of the two 3s
// (index 3), position 2 keeps its 3, position 3 takes the 2 (index 4): d = 3, 3, 2, 1 and
// the columns of v become e3, e2, e4, e1.
TEST(Eigsrt, DescendingWithLastOfEqualValues)
{
    double** v = dim2Double(5, 5);
    float** vf = dim2Dfloat(5, 5);
    for (int i = 1; i <= 4; ++i) v[i][i] = vf[i][i] = 1;
    double d[] = {0, 1, 3, 3, 2};
    float df[] = {0, 1, 3, 3, 2};
    eigsrt(d, v, 4);
    eigsrt(df, vf, 4);
    const double sorted[] = {3, 3, 2, 1};
    const int unitRow[] = {3, 2, 4, 1};
    for (int k = 1; k <= 4; ++k) {
        EXPECT_EQ(d[k], sorted[k - 1]);
        EXPECT_EQ(df[k], static_cast<float>(sorted[k - 1]));
        for (int i = 1; i <= 4; ++i) {
            EXPECT_EQ(v[i][k], i == unitRow[k - 1] ? 1.0 : 0.0) << "column " << k;
            EXPECT_EQ(vf[i][k], i == unitRow[k - 1] ? 1.0f : 0.0f) << "column " << k;
        }
    }
    free2D(v, 5);
    free2D(vf, 5);
}

TEST(Eigsrt, SortedPairsStayEigenpairs)
{
    const int n = 7;
    Dense a = randomSymmetric(n, 4242);
    double** z = oneBasedCopy(a, dim2Double);
    double d[n + 1], e[n + 1];
    tred2(z, n, d, e);
    tqli(d, e, n, z);
    eigsrt(d, z, n);
    for (int k = 2; k <= n; ++k) EXPECT_GE(d[k - 1], d[k]);
    expectEigenpairs(a, d, z, 1e-11);
    free2D(z, n + 1);
}

// ---------------------------------------------------------------- svdcmp

Dense randomMatrix(int m, int n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-2, 2);
    Dense a(m, std::vector<double>(n));
    for (auto& row : a)
        for (double& x : row) x = u(gen);
    return a;
}

// Singular values by the numerical library (it needs rows >= columns: A^T otherwise).
std::vector<double> gslSingularValues(const Dense& a)
{
    int m = static_cast<int>(a.size()), n = static_cast<int>(a[0].size());
    bool transpose = m < n;
    int rows = transpose ? n : m, cols = transpose ? m : n;
    gsl_matrix* u = gsl_matrix_alloc(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) gsl_matrix_set(u, i, j, transpose ? a[j][i] : a[i][j]);
    gsl_matrix* v = gsl_matrix_alloc(cols, cols);
    gsl_vector* s = gsl_vector_alloc(cols);
    gsl_vector* work = gsl_vector_alloc(cols);
    gsl_linalg_SV_decomp(u, v, s, work);
    std::vector<double> out(cols);
    for (int i = 0; i < cols; ++i) out[i] = gsl_vector_get(s, i);
    out.resize(static_cast<size_t>(n), 0.0);  // a wide matrix has n - m further zeros
    std::sort(out.begin(), out.end());
    gsl_vector_free(work);
    gsl_vector_free(s);
    gsl_matrix_free(v);
    gsl_matrix_free(u);
    return out;
}

template <class T>
void checkSvd(const Dense& a, T** (*alloc)(int, int), T* (*allocVec)(int), double tol)
{
    int m = static_cast<int>(a.size()), n = static_cast<int>(a[0].size());
    T** u = oneBasedCopy(a, alloc);
    T** v = alloc(n + 1, n + 1);
    T* w = allocVec(n + 1);
    svdcmp(u, m, n, w, v);
    for (int k = 1; k <= n; ++k) EXPECT_GE(w[k], T(0)) << "w " << k;
    // A = U W V^T.
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j) {
            double s = 0;
            for (int k = 1; k <= n; ++k)
                s += static_cast<double>(u[i][k]) * static_cast<double>(w[k]) * static_cast<double>(v[j][k]);
            EXPECT_NEAR(s, a[i - 1][j - 1], tol) << "A " << i << "," << j;
        }
    // V^T V = I; U^T U = I when there are at least as many rows as columns.
    for (int k = 1; k <= n; ++k)
        for (int l = 1; l <= n; ++l) {
            double vv = 0, uu = 0;
            for (int j = 1; j <= n; ++j) vv += static_cast<double>(v[j][k]) * static_cast<double>(v[j][l]);
            for (int i = 1; i <= m; ++i) uu += static_cast<double>(u[i][k]) * static_cast<double>(u[i][l]);
            EXPECT_NEAR(vv, k == l ? 1.0 : 0.0, tol) << "V " << k << "," << l;
            if (m >= n) {
                EXPECT_NEAR(uu, k == l ? 1.0 : 0.0, tol) << "U " << k << "," << l;
            }
        }
    expectSameValues(sortedValues(w, n), gslSingularValues(a), tol);
    free2D(u, m + 1);
    free2D(v, n + 1);
    free1D(w);
}

TEST(Svdcmp, DiagonalByHand)
{
    // diag(3, -2): singular values 3 and 2, the sign moved into V.
    Dense a = {{3, 0}, {0, -2}};
    checkSvd<double>(a, dim2Double, dim1Double, 1e-14);
    double** u = oneBasedCopy(a, dim2Double);
    double** v = dim2Double(3, 3);
    double w[3];
    svdcmp(u, 2, 2, w, v);
    std::vector<double> values = {w[1], w[2]};
    std::sort(values.begin(), values.end());
    EXPECT_DOUBLE_EQ(values[0], 2.0);
    EXPECT_DOUBLE_EQ(values[1], 3.0);
    free2D(u, 3);
    free2D(v, 3);
}

TEST(Svdcmp, ReconstructsRandomMatrices)
{
    unsigned seed = 900;
    for (auto shape : std::vector<std::pair<int, int>>{{1, 1}, {4, 4}, {6, 4}, {9, 3}, {3, 1}, {8, 8}}) {
        Dense a = randomMatrix(shape.first, shape.second, seed++);
        checkSvd<double>(a, dim2Double, dim1Double, 1e-12);
        checkSvd<float>(a, dim2Dfloat, dim1Dfloat, 5e-5);
    }
}

TEST(Svdcmp, RankDeficientAndWideMatrices)
{
    // Third column = first + second: one singular value 0.
    Dense a = randomMatrix(5, 3, 31);
    for (auto& row : a) row[2] = row[0] + row[1];
    checkSvd<double>(a, dim2Double, dim1Double, 1e-12);
    checkSvd<float>(a, dim2Dfloat, dim1Dfloat, 5e-5);
    // A zero column and a zero row.
    Dense z = randomMatrix(4, 3, 32);
    for (auto& row : z) row[1] = 0;
    z[2] = {0, 0, 0};
    checkSvd<double>(z, dim2Double, dim1Double, 1e-12);
    // All zero.
    checkSvd<double>(Dense(3, std::vector<double>(2, 0.0)), dim2Double, dim1Double, 0);
    // Fewer rows than columns: n - m singular values are 0.
    Dense wide = randomMatrix(3, 5, 33);
    checkSvd<double>(wide, dim2Double, dim1Double, 1e-12);
    checkSvd<float>(wide, dim2Dfloat, dim1Dfloat, 5e-5);
}

}  // namespace
