// The missing value on every path of the pairwise routines: a -999 at position k in either vector of a
// pair (or in both) leaves out term k and nothing else, so the result equals the same routine on the
// vectors with position k removed; the complete vector's own sums keep every term.
#include <functional>
#include <string>
#include <vector>

#include "StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

using Vec = std::vector<double>;
// A pairwise routine on two vectors of length n, evaluated in its own element type.
using PairFn = std::function<double(const Vec&, const Vec&)>;

template <class T>
std::vector<T> As(const Vec& v) {
    return std::vector<T>(v.begin(), v.end());
}

// Cell [0][1] (and with diag the cell [0][0]) of a whole-table routine run on the two rows a and b.
template <class T, class R>
double Cell(void (*f)(int, int, T**, R**), const Vec& a, const Vec& b, bool diag = false) {
    const int p = int(a.size());
    Mat<T> in(2, p);
    Mat<R> out(2, 2);
    out.fill(R(12345));
    for (int k = 0; k < p; k++) {
        in[0][k] = T(a[k]);
        in[1][k] = T(b[k]);
    }
    f(2, p, in, out);
    return diag ? double(out[0][0]) : double(out[0][1]);
}

struct PairCase {
    const char* name;
    PairFn f;
    double tol;
};

const Vec kA = {1.5, -2, 3.25, 4, 0.5, 7}, kB = {2, 5, -1, 3.5, 6, -4};

std::vector<PairCase> Cases() {
    auto cpf = [](const Vec& a, const Vec& b) {
        auto x = As<float>(a), y = As<float>(b);
        return CrossProduct2VecMV(int(a.size()), x.data(), y.data());
    };
    auto cpd = [](const Vec& a, const Vec& b) {
        Vec x = a, y = b;
        return CrossProduct2VecMV(int(a.size()), x.data(), y.data());
    };
    auto cov = [](const Vec& a, const Vec& b) {
        Vec x = a, y = b;
        return Covariance2VecMV(int(a.size()), x.data(), y.data());
    };
    auto rf = [](const Vec& a, const Vec& b) {
        auto x = As<float>(a), y = As<float>(b);
        return Correlation2VecMV(int(a.size()), x.data(), y.data());
    };
    auto rd = [](const Vec& a, const Vec& b) {
        Vec x = a, y = b;
        return Correlation2VecMV(int(a.size()), x.data(), y.data());
    };
    auto rsel = [](const Vec& a, const Vec& b) {
        Vec x = a, y = b;
        std::vector<int> all(a.size(), 1);
        return Correlation2VecSelectMV(int(a.size()), x.data(), y.data(), all.data());
    };
    auto sel = [](const Vec& a, const Vec& b) {
        const int p = int(a.size());
        Mat<float> in(2, p), out(2, 2);
        for (int k = 0; k < p; k++) {
            in[0][k] = float(a[k]);
            in[1][k] = float(b[k]);
        }
        int mask[2] = {1, 1};
        CrossProductMVSelect(2, p, in, out, mask);
        return double(out[0][1]);
    };
    using FF = void (*)(int, int, float**, float**);
    using FD = void (*)(int, int, float**, double**);
    using DD = void (*)(int, int, double**, double**);
    return {
        {"CrossProduct2VecMV float", cpf, 1e-5},
        {"CrossProduct2VecMV double", cpd, kTol},
        {"Covariance2VecMV", cov, kTol},
        {"Correlation2VecMV float", rf, 1e-6},
        {"Correlation2VecMV double", rd, kTol},
        {"Correlation2VecSelectMV", rsel, kTol},
        {"CrossProductMVSelect", sel, 1e-5},
        {"CrossProductMV float", [](const Vec& a, const Vec& b) { return Cell(FF(CrossProductMV), a, b); }, 1e-5},
        {"CrossProductMV float to double",
         [](const Vec& a, const Vec& b) { return Cell(FD(CrossProductMV), a, b); }, 1e-5},
        {"CrossProductMV double", [](const Vec& a, const Vec& b) { return Cell(DD(CrossProductMV), a, b); }, kTol},
        {"CovarianceMV", [](const Vec& a, const Vec& b) { return Cell(CovarianceMV, a, b); }, kTol},
        {"CorrelationMV", [](const Vec& a, const Vec& b) { return Cell(CorrelationMV, a, b); }, kTol},
    };
}

Vec Without(const Vec& v, size_t k) {
    Vec w = v;
    w.erase(w.begin() + long(k));
    return w;
}

}  // namespace

TEST(MissingValues, EachPairRoutineLeavesOutExactlyTheTermsWithAMissingValue) {
    for (const PairCase& c : Cases()) {
        for (size_t k : {size_t(0), size_t(3), kA.size() - 1}) {
            for (int side : {0, 1, 2}) {  // the -999 in a, in b, in both
                SCOPED_TRACE(testing::Message() << c.name << ", position " << k << ", side " << side);
                Vec a = kA, b = kB;
                if (side != 1) a[k] = -999;
                if (side != 0) b[k] = -999;
                const double reduced = c.f(Without(kA, k), Without(kB, k));
                EXPECT_NEAR(c.f(a, b), reduced, c.tol);
                EXPECT_NEAR(c.f(b, a), c.f(Without(kB, k), Without(kA, k)), c.tol);  // either order
            }
        }
    }
    // Anchors by hand over the pairs (1,2), (2,4), (4,3): products 2 + 8 + 12 = 22; means 7/3 and 3,
    // deviations (-4/3, -1/3, 5/3) and (-1, 1, 0): sxy = 1, sxx = 14/3, syy = 2, covariance 1 / 2,
    // r = 1 / sqrt(28/3).
    const Vec a = {1, 2, -999, 4}, b = {2, 4, 5, 3};
    EXPECT_NEAR(Cases()[1].f(a, b), 22.0, kTol);
    EXPECT_NEAR(Cases()[2].f(a, b), 0.5, kTol);
    EXPECT_NEAR(Cases()[4].f(b, a), 1.0 / std::sqrt(28.0 / 3.0), kTol);
}

// On the whole-table routines a row's own cell keeps every present value of that row, whatever the
// other row misses: the diagonal of row 0 (complete) when only row 1 has a -999.
TEST(MissingValues, TheCompleteRowKeepsAllItsTermsOnTheDiagonal) {
    Vec b = kB;
    b[2] = -999;
    using DD = void (*)(int, int, double**, double**);
    Vec x = kA;
    const int n = int(kA.size());
    const double ss = CrossProduct2Vec(n, x.data(), x.data());
    EXPECT_NEAR(Cell(DD(CrossProductMV), kA, b, true), ss, kTol);
    const double mean = (1.5 - 2 + 3.25 + 4 + 0.5 + 7) / 6;
    double dev = 0;
    for (double v : kA) dev += (v - mean) * (v - mean);
    EXPECT_NEAR(Cell(CovarianceMV, kA, b, true), dev / 5, kTol);
    EXPECT_NEAR(Cell(CorrelationMV, kA, b, true), 1.0, kTol);
    // One-vector sums leave out the -999 alone: 1 + 9 = 10 and 10 - 4^2 / 2 = 2 (the fourth value
    // lies past the three given).
    float f[] = {1, -999, 3, 5};
    double d[] = {1, -999, 3, 5};
    EXPECT_EQ(SumOfSquares(3, f), 10.0);
    EXPECT_EQ(SumOfSquares(3, d), 10.0);
    EXPECT_EQ(SumOfSquaresDev(3, f), 2.0);
    EXPECT_EQ(SumOfSquaresDev(3, d), 2.0);
}

// The partial products are written only where both values are present; the sums take the masked
// positions whose partial product is present.
TEST(MissingValues, PartialProductsAndTheirMaskedSums) {
    Mat<float> in{{1, -999, 3, 2, 1, 0}, {4, 5, -999, 3, 1, 2}};
    float*** part = dim3Dfloat(2, 2, 6);
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++)
            for (int k = 0; k < 6; k++) part[i][j][k] = -999;
    CrossProductMVPartial(2, 6, in, part);
    ExpectVec(part[0][1], {4, -999, -999, 6, 1, 0}, 0);
    ExpectVec(part[0][0], {1, -999, 9, 4, 1, 0}, 0);
    ExpectVec(part[1][1], {16, 25, -999, 9, 1, 4}, 0);
    Mat<float> sum(2, 2);
    int mask[6] = {1, 1, 1, 0, 1, 0};
    CrossProductMVSum(2, 6, part, sum, mask);
    ExpectCells(sum, {{11, 5}, {0, 42}}, 0);  // 1 + 9 + 1; 4 + 1; 16 + 25 + 1 (positions 3, 5 unmasked)
    free3D(part, 2, 2);
}
