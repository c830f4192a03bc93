// Numeric utilities: comparison in single-precision steps, rounding, extremes, states, comparators.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "foundation/qwlibDim.h"

namespace {

// x moved by |n| single-precision steps, up for n > 0 and down for n < 0.
float Step(float x, int n) {
    for (int i = 0; i < std::abs(n); i++) x = nextafterf(x, n > 0 ? INFINITY : -INFINITY);
    return x;
}

}  // namespace

TEST(Ulps, OneAndTwoStepsZerosExtremesAndTheToleranceRange) {
    const float dn = std::numeric_limits<float>::denorm_min(), nan = std::numeric_limits<float>::quiet_NaN();
    struct Row { float a, b; int ulps; bool equal; };
    const Row rows[] = {
        {1, Step(1, 1), 1, true}, {1, Step(1, 2), 1, false}, {Step(1, 2), 1, 2, true},
        {-1, Step(-1, -2), 1, false}, {0.0f, -0.0f, 0, true},
        {-0.0f, dn, 1, true}, {-dn, dn, 1, false}, {-dn, dn, 2, true},   // both zeros lie between -dn and dn
        {-FLT_MAX, FLT_MAX, 4194303, false}, {-INFINITY, INFINITY, INT_MAX, false}, {FLT_MAX, INFINITY, 1, true},
        {nan, INFINITY, INT_MAX, false}, {nan, 1, INT_MAX, false},   // NaN lies 2^22 steps above infinity
        {1, 1.25f, INT_MAX, true}, {1, 2, INT_MAX, false},           // 2^21 and 2^23 steps apart
        {1, Step(1, 1), 0, false}, {1, Step(1, 1), -5, false}, {1, 1, INT_MIN, true},
        {1, Step(1, 4194303), INT_MAX, true}, {1, Step(1, 4194304), INT_MAX, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << " " << r.b << " ulps " << r.ulps);
        EXPECT_EQ(AlmostEqual2sComplement(r.a, r.b, r.ulps), r.equal);
    }
}

TEST(Ulps, DoubleFormsAbsoluteValuesAndTolerances) {
    EXPECT_TRUE(AlmostEqual2sComplement(1.0, 1.0 + 1e-12, 0));   // compared in single precision
    EXPECT_FALSE(AlmostEqual2sComplement(1.0, static_cast<double>(Step(1, 2)), 1));
    EXPECT_TRUE(AlmostEqual2sComplement(-3.0, 3.0, 1, true));
    EXPECT_FALSE(AlmostEqual2sComplement(-3.0f, 3.0f, 1, false));
    EXPECT_TRUE(IsLargerThanOrEqual(-2.0, 1.0, 4, true));
    EXPECT_TRUE(IsLargerThanOrEqual(1.0, static_cast<double>(Step(1, 3)), 4, false));   // a tie
    EXPECT_TRUE(AlmostEqual_Tolerance(1.0, 1.05, 0.1));   // strictly inside the tolerance
    EXPECT_FALSE(AlmostEqual_Tolerance(1.0f, 2.0f, 1.0f));
}

// Whether a residual keeps variation of its table: its centred sum of squares against 1e-12 of
// the table's. The rows straddle the tolerance (twice and half of it, and the tolerance itself, which is not
// above it), at scales far from 1 (the decision is relative), and hold the ratios a table meets:
// a residual of rounding noise (4.4e-26), the smallest genuine residual seen (1.3e-5), nothing
// at all, and sums that are not numbers.
TEST(Numeric, VariationIsJudgedAgainstOneRelativeTolerance) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Row { double centred, scale; bool varies; };
    const Row rows[] = {
        {2e-12, 1, true}, {0.5e-12, 1, false}, {1e-12, 1, false}, {std::nextafter(1e-12, 1.0), 1, true},
        {2e-212, 1e-200, true}, {0.5e-212, 1e-200, false}, {2e288, 1e300, true}, {0.5e288, 1e300, false},
        {4.4e-26, 1, false}, {1.3e-5, 1, true}, {1e-30, 1e-30, true},
        {0, 0, false}, {0, 1, false}, {1e-300, 0, true}, {-1, 0, false},   // a scale of 0: any positive sum
        {nan, 1, false}, {1, nan, false}, {inf, 1, true}, {1, inf, false}};
    for (const Row& r : rows) EXPECT_EQ(HasVariation(r.centred, r.scale), r.varies) << r.centred << " " << r.scale;
}

// Whether a column varies: its sum of squares about its mean against count (rounding magnitude)^2.
// Four values 1 +- d in double (centred 4 d^2, magnitude 1 + d) vary from d = 2^-40 (1 + d): the
// rows sit at 1.25 and 0.8 of it, and at the boundary itself, which is not above it. The same
// spread multiplied by 1e-100 or 1e150, or on a column at 10^7 (spread 1, where the rounding
// allows 2^-40 10^7 = 9.1e-6), judges as at 1; a column at 10^7 one double step off does not vary.
// Rounding 0 (values taken as read): any spread varies, at 10^7 one float step (1) as anywhere,
// and only an exactly constant column does not. Counts scale the allowance; sums that are not
// numbers never vary.
TEST(Numeric, AColumnVariesBeyondTheRoundingOfItsOwnValues) {
    const double r = kDoubleRounding, nan = std::numeric_limits<double>::quiet_NaN();
    const double above = 1.25 * r, below = 0.8 * r;
    struct Row {
        const char* what;
        double centred;
        int count;
        double magnitude, rounding;
        bool varies;
    };
    const Row rows[] = {
        {"above at 1", 4 * above * above, 4, 1 + above, r, true},
        {"below at 1", 4 * below * below, 4, 1 + below, r, false},
        {"at the boundary", 4 * r * r, 4, 1, r, false},
        {"above, scaled by 1e-100", 4 * (1e-100 * above) * (1e-100 * above), 4, 1e-100, r, true},
        {"below, scaled by 1e-100", 4 * (1e-100 * below) * (1e-100 * below), 4, 1e-100, r, false},
        {"above, scaled by 1e150", 4 * (1e150 * above) * (1e150 * above), 4, 1e150, r, true},
        {"below, scaled by 1e150", 4 * (1e150 * below) * (1e150 * below), 4, 1e150, r, false},
        {"at 10^7, spread 1", 4, 4, 1e7 + 1, r, true},
        {"at 10^7, one double step", 0.75 * std::pow(std::nextafter(1e7, 2e7) - 1e7, 2), 4, 1e7, r, false},
        {"a residual of rounding at 1 (1e-15)", 4e-30, 4, 1, r, false},
        {"more values, the same spread each", 40 * above * above, 40, 1 + above, r, true},
        {"as read: one float step at 10^7", 0.75, 4, 1e7 + 1, 0, true},
        {"as read: the smallest spread", 1e-300, 4, 1, 0, true},
        {"as read: constant", 0, 4, 1e7, 0, false},
        {"no values", 0, 0, 0, r, false},
        {"not a number", nan, 4, 1, r, false},
        {"a magnitude not a number", 1, 4, nan, r, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ColumnVaries(row.centred, row.count, row.magnitude, row.rounding), row.varies) << row.what;
}

// The spread of a vector (Spread, over the cells not -999). A constant vector has a centred sum of
// exactly 0 at any length and scale: 10^5 and 10^6 values that a running sum rounds (0.1, 1/3,
// 10^7 + 0.1: running means err by some 1e-12 relative, whose squares times the count pass the
// allowance), and values whose squares underflow (3.3e-165) or overflow (3e160, the largest double).
// One value off: a double step varies only when values are taken as read (rounding 0), the first
// value (the origin) or another; 2^-20 of the value varies in double. {1, 2, 3} scaled into [1, 2)
// keeps 0.5 by hand (values 0.5, 1, 1.5 at the unit 2^-1 of 3), times 2^-550 and 2^530 too, and in
// the values' own units 2 (0 and infinite where double ends); 1 +- 1.25 and 0.8 times 2^-40 at 1e-165
// and 1e160 lie either side of the allowance. A value not a number or infinite leaves no spread.
TEST(Numeric, AVectorsSpreadIsExactForConstantValuesAtAnyLengthAndScale) {
    const double r = kDoubleRounding, inf = INFINITY, no = NAN;  // no: a sum not checked
    const double up = std::nextafter(0.1, 1.0), p550 = std::ldexp(1.0, -550), p530 = std::ldexp(1.0, 530);
    auto many = [](int n, double v, int at = -1, double off = 0) {
        std::vector<double> x(static_cast<size_t>(n), v);
        if (at >= 0) x[static_cast<size_t>(at)] = off;
        return x;
    };
    auto around = [](double v, double d) {
        return std::vector<double>{v * (1 + d), v * (1 - d), v * (1 + d), v * (1 - d)};
    };
    const struct Row {
        const char* what;
        std::vector<double> x;
        double rounding;
        bool varies;
        double scaled, own;
    } rows[] = {
        {"0.1 x 10^5", many(100000, 0.1), r, false, 0, 0},
        {"0.1 x 10^6", many(1000000, 0.1), r, false, 0, 0},
        {"1/3 x 10^6", many(1000000, 1.0 / 3), r, false, 0, 0},
        {"10^7 + 0.1 x 10^6", many(1000000, 1e7 + 0.1), r, false, 0, 0},
        {"3.3e-165 x 10^6", many(1000000, 3.3e-165), r, false, 0, 0},
        {"3e160 x 10^5", many(100000, 3e160), r, false, 0, 0},
        {"largest x 10^5", many(100000, DBL_MAX), r, false, 0, 0},
        {"0.1 x 10^6 as read", many(1000000, 0.1), 0, false, 0, 0},
        {"one a step off, as read", many(1000000, 0.1, 500000, up), 0, true, no, no},
        {"the first a step off, as read", many(1000000, 0.1, 0, up), 0, true, no, no},
        {"one a step off", many(1000000, 0.1, 500000, up), r, false, no, no},
        {"one 2^-20 off", many(1000000, 0.1, 500000, 0.1 * (1 + 0x1p-20)), r, true, no, no},
        {"the first 2^-20 off", many(1000000, 0.1, 0, 0.1 * (1 + 0x1p-20)), r, true, no, no},
        {"1, 2, 3 and a -999", {1, -999, 2, 3}, r, true, 0.5, 2},
        {"-999 among 3s", {3, -999, 3, 3}, 0, false, 0, 0},
        {"1, 2, 3 x 2^-550", {p550, 2 * p550, 3 * p550}, r, true, 0.5, 0},
        {"1, 2, 3 x 2^530", {p530, 2 * p530, 3 * p530}, r, true, 0.5, inf},
        {"1, 2, 3 x 1e-165", {1e-165, 2e-165, 3e-165}, r, true, no, 0},
        {"1, 2, 3 x 1e160", {1e160, 2e160, 3e160}, r, true, no, inf},
        {"above at 1e-165", around(1e-165, 1.25 * r), r, true, no, no},
        {"below at 1e-165", around(1e-165, 0.8 * r), r, false, no, no},
        {"above at 1e160", around(1e160, 1.25 * r), r, true, no, no},
        {"below at 1e160", around(1e160, 0.8 * r), r, false, no, no},
        {"not a number", {1, NAN, 3}, 0, false, 0, 0},
        {"infinite", {1, inf, 3}, 0, false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto at = [&](int i) { return row.x[static_cast<size_t>(i)]; };
        const Spread s = SpreadOf(static_cast<int>(row.x.size()), at, [&](int i) { return at(i) != -999; });
        EXPECT_EQ(s.Varies(row.rounding), row.varies);
        if (!std::isnan(row.scaled)) {
            EXPECT_EQ(s.ScaledCentred(), row.scaled);
        }
        if (!std::isnan(row.own)) {
            EXPECT_EQ(s.Centred(), row.own);
        }
    }
    // Lanes started alike and joined: 1 .. 8 about 4.5 give 2 (0.25 + 2.25 + 6.25 + 12.25) = 42.
    Spread lane[4];
    for (Spread& l : lane) l = Spread(1, 8, 8);
    for (int i = 0; i < 8; i++) lane[i % 4].Add(i + 1);
    lane[0].Join(lane[1]);
    lane[2].Join(lane[3]);
    lane[0].Join(lane[2]);
    EXPECT_EQ(lane[0].Centred(), 42);
}

TEST(Numeric, RoundingExtremesFactorialsAndStates) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Round(2.5, 0), 3.0);   // half rounds up
    EXPECT_EQ(Round(-2.5f, 0), -2.0f);
    EXPECT_EQ(Round(1234.0, -2), 1200.0);
    EXPECT_EQ(RoundDigit(-0.000123456, 2), -0.00012);
    EXPECT_EQ(RoundDigit(1e300, 500), 1e300);   // any digit count: no buffer to overrun
    EXPECT_TRUE(std::signbit(Fmax(0.0, -0.0)));   // equal values and NaN give the second
    EXPECT_EQ(Fmax(nan, 1.0), 1.0);
    EXPECT_TRUE(std::isnan(Fmin(1.0, nan)));
    EXPECT_EQ(Factorial(0.0), 1.0);
    EXPECT_EQ(Factorial(20), 2432902008176640000.0L);
    EXPECT_EQ(Factorial(5.5), 132.0);   // a non-integer n keeps n as its first factor: 5.5 x 4 x 3 x 2
    EXPECT_TRUE(std::isinf(Factorial(1e300)));   // ends as soon as the product is infinite
    // States: distinct integer parts of values not -999; no unchecked value sizes anything.
    double c[6] = {2.7, 2.1, 5, -999, 1, 0.5};
    int states[6] = {0};
    EXPECT_EQ(CountStates(6, c, states), 4);
    EXPECT_EQ(std::vector<int>(states, states + 4), (std::vector<int>{1, 2, 5, 0}));
    double x[7] = {1e300, -1e300, NAN, INFINITY, -INFINITY, 3e9, 4};
    EXPECT_EQ(CountStates(7, x), 1);
    float y[4] = {FLT_MAX, NAN, 2147483648.0f, 2147483520.0f};
    EXPECT_EQ(CountStates(4, y, states), 1);
    EXPECT_EQ(states[0], 2147483520);
    EXPECT_EQ(CountStates(-1, c, states), 0);   // no values: no states, whatever the array
    EXPECT_EQ(CountStates(3, static_cast<double*>(nullptr)), 0);
}

TEST(Comparators, SortWithoutOverflow) {
    int v[5] = {3, INT_MIN, INT_MAX, -1, 0};
    qsort(v, 5, sizeof(int), compareInt);
    EXPECT_EQ(std::vector<int>(v, v + 5), (std::vector<int>{INT_MIN, -1, 0, 3, INT_MAX}));
    qsort(v, 5, sizeof(int), compareIntDecreasing);
    EXPECT_EQ(std::vector<int>(v, v + 5), (std::vector<int>{INT_MAX, 3, 0, -1, INT_MIN}));
    double d[4] = {2.5, -1, 7, 2.5};
    qsort(d, 4, sizeof(double), compareDoubleDecreasing);
    EXPECT_EQ(std::vector<double>(d, d + 4), (std::vector<double>{7, 2.5, 2.5, -1}));
    EXPECT_EQ(compareDouble(&d[1], &d[2]), 0);
}
