// Binary coefficients. Reference values from r/binary.R (ade4's dist.binary, S = 1 - d^2); the
// rest by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "statistics/StatTestUtil.h"
#include "statistics/qwlibRes.h"

namespace {

Rows kX = {{1, 1, 0, 0, 1, 0, 1}, {1, 0, 1, 0, 1, 1, 1}, {0, 0, 1, 1, 1, 0, 0}, {1, 1, 1, 0, 0, 0, 1}};

using FF = void (*)(int, int, float**, float**);
using FD = void (*)(int, int, float**, double**);
using DD = void (*)(int, int, double**, double**);

TEST(BinaryCoefficients, EveryOverloadAgainstDistBinary) {
    const double phi1 = 0.0912870929175277 * 0.0912870929175277, phi2 = 0.4166666666666667 * 0.4166666666666667;
    struct {
        const char* name;
        FF ff;
        FD fd;
        DD dd;
        std::vector<double> pairs;  // (0,1) (0,2) (0,3) (1,2) (1,3) (2,3)
        double diag;  // every object has 1s and 0s: 1, except the joint-presence share a / n (3/7)
    } table[] = {
        {"Jaccard", Jaccard, Jaccard, Jaccard, {0.5, 1.0 / 6, 0.6, 1.0 / 3, 0.5, 1.0 / 6}, 1},
        {"SimpleMatching", SimpleMatching, SimpleMatching, SimpleMatching, {4.0 / 7, 2.0 / 7, 5.0 / 7, 3.0 / 7, 4.0 / 7, 2.0 / 7}, 1},
        {"Sorensen", Sorensen, Sorensen, Sorensen, {2.0 / 3, 2.0 / 7, 0.75, 0.5, 2.0 / 3, 2.0 / 7}, 1},
        {"Ochiai", Ochiai, Ochiai, Ochiai,
         {0.670820393249937, 0.288675134594813, 0.75, 0.516397779494322, 0.670820393249937, 0.288675134594813}, 1},
        {"MeanSquareContingency", MeanSquareContingency, MeanSquareContingency, MeanSquareContingency,
         {phi1, phi2, phi2, phi1, phi1, phi2}, 1},
        {"SokalMichener", SokalMichener, SokalMichener, SokalMichener, {3.0 / 7, 1.0 / 7, 3.0 / 7, 2.0 / 7, 3.0 / 7, 1.0 / 7}, 3.0 / 7},
    };
    Mat<float> xf(kX), of(4, 4);
    Mat<double> xd(kX), od(4, 4), odd(4, 4);
    for (auto& c : table) {
        SCOPED_TRACE(c.name);
        od.fill(9);
        c.ff(4, 7, xf, of);
        c.fd(4, 7, xf, od);
        c.dd(4, 7, xd, odd);
        for (int i = 0, k = 0; i < 4; i++)
            for (int j = i + 1; j < 4; j++, k++) {
                EXPECT_NEAR(of[i][j], c.pairs[k], 1e-7) << i << "," << j;
                EXPECT_NEAR(od[i][j], c.pairs[k], 1e-14) << i << "," << j;
                EXPECT_NEAR(odd[i][j], c.pairs[k], 1e-14) << i << "," << j;
                EXPECT_EQ(od[j][i], 9.0);  // nothing below the diagonal
            }
        EXPECT_NEAR(odd[2][2], c.diag, 1e-15);
    }
}

// x = (1, 2, -999), y = (1, 2, 5): the counts see the first variable only; simple matching
// compares the first two. Two all-zero objects: 0 except simple matching (1).
TEST(BinaryCoefficients, OtherValuesAndEmptyObjects) {
    Mat<float> x{{1, 2, -999}, {1, 2, 5}}, o(2, 2);
    int a, b, c, d;
    JointFreq(3, x[0], x[1], &a, &b, &c, &d);
    EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({1, 0, 0, 0}));
    for (FF f : std::initializer_list<FF>{Jaccard, SimpleMatching}) {
        f(2, 3, x, o);
        EXPECT_EQ(o[0][1], 1.0f);
    }
    Mat<double> z{{0, 0, 0}, {0, 0, 0}}, oz(2, 2), m{{-999, -999}, {1, 0}}, om(2, 2);
    for (DD f : std::initializer_list<DD>{Jaccard, Sorensen, Ochiai, SokalMichener, MeanSquareContingency}) {
        oz.fill(7);
        f(2, 3, z, oz);
        ExpectVec(oz[0], {0, 0}, 0);
    }
    SimpleMatching(2, 3, z, oz);
    EXPECT_EQ(oz[0][1], 1.0);
    SimpleMatching(2, 2, m, om);  // nothing comparable: 0
    EXPECT_EQ(om[0][1], 0.0);
}

// 100000 variables: a = 60000, b = c = 0, d = 40000. (a + b)(a + c) = 3.6e9 and
// ad = 2.4e9 pass 2^31: Ochiai 1 and mean square contingency 1 only without int overflow.
TEST(BinaryCoefficients, LargeTablesDoNotOverflow) {
    const int p = 100000;
    Mat<double> x(2, p), o(2, 2);
    for (int k = 0; k < 60000; k++) x[0][k] = x[1][k] = 1;
    for (DD f : std::initializer_list<DD>{Ochiai, MeanSquareContingency}) {
        f(2, p, x, o);
        EXPECT_DOUBLE_EQ(o[0][1], 1.0);
    }
    x[1][0] = 0;  // a = 59999, b = 1, d = 40000: phi^2 = (59999*40000)^2 / (60000*40000*59999*40001)
    MeanSquareContingency(2, p, x, o);
    EXPECT_NEAR(o[0][1], 59999.0 * 40000 / (60000.0 * 40001), 1e-12);
}

}  // namespace
