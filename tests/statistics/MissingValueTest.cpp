// The missing value on every path of the pairwise routines: a -999 at position k in either vector of a
// pair (or in both) leaves out term k and nothing else, so the result equals the same routine on the
// vectors with position k removed.
#include <functional>
#include <vector>

#include "StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

using Vec = std::vector<double>;

// Cell [0][1] of a whole-table routine run on the two rows a and b. Each row goes on with a value
// that is not part of it, so a routine that reads one past the end gives another result.
template <class T, class R>
double Cell(void (*f)(int, int, T**, R**), const Vec& a, const Vec& b) {
    const int p = int(a.size());
    Mat<T> in(2, p + 1);
    Mat<R> out(2, 2);
    for (int k = 0; k < p; k++) in[0][k] = T(a[k]), in[1][k] = T(b[k]);
    in[0][p] = in[1][p] = T(7);
    f(2, p, in, out);
    return double(out[0][1]);
}

struct PairCase {
    const char* name;
    std::function<double(Vec, Vec)> f;  // a pairwise routine on two vectors of length n
    double tol;
    double anchor;  // its value on kHandA, kHandB by hand
};

// Anchors by hand over the pairs (1,2), (2,4), (4,3): products 2 + 8 + 12 = 22; means 7/3 and 3,
// deviations (-4/3, -1/3, 5/3) and (-1, 1, 0): sxy = 1, sxx = 14/3, syy = 2, covariance 1 / 2,
// r = 1 / sqrt(28/3).
const Vec kHandA = {1, 2, -999, 4}, kHandB = {2, 4, 5, 3};
const double kProducts = 22, kCov = 0.5, kR = 1 / std::sqrt(28.0 / 3.0);

const Vec kA = {1.5, -2, 3.25, 4, 0.5, 7}, kB = {2, 5, -1, 3.5, 6, -4};

std::vector<PairCase> Cases() {
    using FF = void (*)(int, int, float**, float**);
    using DD = void (*)(int, int, double**, double**);
    return {
        {"CrossProduct2VecMV", [](Vec a, Vec b) { return CrossProduct2VecMV(int(a.size()), a.data(), b.data()); }, kTol, kProducts},
        {"Covariance2VecMV", [](Vec a, Vec b) { return Covariance2VecMV(int(a.size()), a.data(), b.data()); }, kTol, kCov},
        {"Correlation2VecMV", [](Vec a, Vec b) { return Correlation2VecMV(int(a.size()), a.data(), b.data()); }, kTol, kR},
        {"Correlation2VecMV float",
         [](Vec a, Vec b) {
             std::vector<float> x(a.begin(), a.end()), y(b.begin(), b.end());
             return Correlation2VecMV(int(a.size()), x.data(), y.data());
         }, 1e-6, kR},
        {"Correlation2VecSelectMV",
         [](Vec a, Vec b) {
             std::vector<int> all(a.size(), 1);
             return Correlation2VecSelectMV(int(a.size()), a.data(), b.data(), all.data());
         }, kTol, kR},
        {"CrossProductMVSelect",
         [](Vec a, Vec b) {
             return Cell<float, float>([](int n, int p, float** x, float** o) {
                 int all[2] = {1, 1};
                 CrossProductMVSelect(n, p, x, o, all);
             }, a, b);
         }, 1e-5, kProducts},
        {"CrossProductMV float", [](Vec a, Vec b) { return Cell(FF(CrossProductMV), a, b); }, 1e-5, kProducts},
        {"CrossProductMV double", [](Vec a, Vec b) { return Cell(DD(CrossProductMV), a, b); }, kTol, kProducts},
        {"CovarianceMV", [](Vec a, Vec b) { return Cell(CovarianceMV, a, b); }, kTol, kCov},
        {"CorrelationMV", [](Vec a, Vec b) { return Cell(CorrelationMV, a, b); }, kTol, kR},
    };
}

Vec Without(Vec v, size_t k) {
    v.erase(v.begin() + long(k));
    return v;
}

}  // namespace

TEST(MissingValues, EachPairRoutineLeavesOutExactlyTheTermsWithAMissingValue) {
    for (const PairCase& c : Cases()) {
        EXPECT_NEAR(c.f(kHandA, kHandB), c.anchor, c.tol) << c.name;
        EXPECT_NEAR(c.f(kHandB, kHandA), c.anchor, c.tol) << c.name;
        for (size_t k : {size_t(0), size_t(3), kA.size() - 1})
            for (int side : {0, 1, 2}) {  // the -999 in a, in b, in both
                SCOPED_TRACE(testing::Message() << c.name << ", position " << k << ", side " << side);
                Vec a = kA, b = kB;
                if (side != 1) a[k] = -999;
                if (side != 0) b[k] = -999;
                EXPECT_NEAR(c.f(a, b), c.f(Without(kA, k), Without(kB, k)), c.tol);
                EXPECT_NEAR(c.f(b, a), c.f(Without(kB, k), Without(kA, k)), c.tol);  // either order
            }
    }
}
