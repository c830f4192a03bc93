// Numeric utilities: rounding, the comparison in single-precision steps, extremes, state
// counts, factorials and the sort comparators.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "foundation/qwlibDim.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

float Up(float x, int steps) {
    for (int i = 0; i < steps; i++) x = nextafterf(x, INFINITY);
    return x;
}

}  // namespace

TEST(Ulps, OneStepIsEqualTwoStepsAreNot) {
    float one = 1.0f;
    EXPECT_TRUE(AlmostEqual2sComplement(one, Up(one, 1), 1));
    EXPECT_FALSE(AlmostEqual2sComplement(one, Up(one, 2), 1));
    EXPECT_TRUE(AlmostEqual2sComplement(one, Up(one, 2), 2));
    EXPECT_TRUE(AlmostEqual2sComplement(Up(one, 2), one, 2));   // symmetric
    float m = -1.0f;
    EXPECT_TRUE(AlmostEqual2sComplement(m, nextafterf(m, -INFINITY), 1));
    EXPECT_FALSE(AlmostEqual2sComplement(m, nextafterf(nextafterf(m, -INFINITY), -INFINITY), 1));
}

TEST(Ulps, ZerosAndTheSmallestValuesAcrossTheSign) {
    float denorm = std::numeric_limits<float>::denorm_min();
    EXPECT_TRUE(AlmostEqual2sComplement(0.0f, -0.0f, 1));
    EXPECT_TRUE(AlmostEqual2sComplement(0.0f, -0.0f, 0));   // the same point of the line
    EXPECT_TRUE(AlmostEqual2sComplement(-0.0f, denorm, 1));
    // -denorm and +denorm lie two steps apart, with both zeros between them.
    EXPECT_FALSE(AlmostEqual2sComplement(-denorm, denorm, 1));
    EXPECT_TRUE(AlmostEqual2sComplement(-denorm, denorm, 2));
}

TEST(Ulps, ExtremesDoNotOverflow) {
    // The line positions of -FLT_MAX and FLT_MAX differ by almost 2^32.
    EXPECT_FALSE(AlmostEqual2sComplement(-FLT_MAX, FLT_MAX, 4194303));
    EXPECT_FALSE(AlmostEqual2sComplement(-INFINITY, INFINITY, INT_MAX));
    EXPECT_TRUE(AlmostEqual2sComplement(FLT_MAX, INFINITY, 1));   // neighbours on the line
    // NaN lies 2^22 steps above infinity: the tolerance stays below that.
    float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(AlmostEqual2sComplement(nan, INFINITY, INT_MAX));
    EXPECT_FALSE(AlmostEqual2sComplement(nan, 1.0f, INT_MAX));
    EXPECT_TRUE(AlmostEqual2sComplement(1.0f, 1.25f, INT_MAX));    // 2^21 steps apart
    EXPECT_FALSE(AlmostEqual2sComplement(1.0f, 2.0f, INT_MAX));    // 2^23 steps apart
}

TEST(Ulps, ToleranceArgumentIsHeldToItsRange) {
    float one = 1.0f;
    EXPECT_TRUE(AlmostEqual2sComplement(one, one, 0));
    EXPECT_FALSE(AlmostEqual2sComplement(one, Up(one, 1), 0));
    EXPECT_FALSE(AlmostEqual2sComplement(one, Up(one, 1), -5));
    EXPECT_TRUE(AlmostEqual2sComplement(one, one, INT_MIN));
    EXPECT_TRUE(AlmostEqual2sComplement(one, Up(one, 4194303), INT_MAX));
    EXPECT_FALSE(AlmostEqual2sComplement(one, Up(one, 4194304), INT_MAX));
}

TEST(Ulps, DoubleFormComparesInSinglePrecision) {
    EXPECT_TRUE(AlmostEqual2sComplement(1.0, 1.0 + 1e-12, 1));
    EXPECT_TRUE(AlmostEqual2sComplement(1.0, 1.0 + 1e-12, 0));
    double oneStep = static_cast<double>(Up(1.0f, 1));
    EXPECT_TRUE(AlmostEqual2sComplement(1.0, oneStep, 1));
    EXPECT_FALSE(AlmostEqual2sComplement(1.0, static_cast<double>(Up(1.0f, 2)), 1));
    EXPECT_TRUE(AlmostEqual2sComplement(0.0, -0.0, 1));
    EXPECT_TRUE(AlmostEqual2sComplement(-3.0, 3.0, 1, true));
    EXPECT_FALSE(AlmostEqual2sComplement(-3.0, 3.0, 1, false));
    EXPECT_TRUE(AlmostEqual2sComplement(-3.0f, 3.0f, 1, true));
    EXPECT_FALSE(AlmostEqual2sComplement(-3.0f, 3.0f, 1, false));
}

TEST(Ulps, LargerThanOrEqual) {
    EXPECT_TRUE(IsLargerThanOrEqual(2.0, 1.0, 4, false));
    EXPECT_TRUE(IsLargerThanOrEqual(-2.0, 1.0, 4, true));
    EXPECT_FALSE(IsLargerThanOrEqual(-2.0, 1.0, 4, false));
    EXPECT_TRUE(IsLargerThanOrEqual(1.0, static_cast<double>(Up(1.0f, 3)), 4, false));   // a tie
    EXPECT_FALSE(IsLargerThanOrEqual(1.0, static_cast<double>(Up(1.0f, 5)), 4, false));
}

TEST(Tolerance, StrictlyInsideTheTolerance) {
    EXPECT_TRUE(AlmostEqual_Tolerance(1.0, 1.05, 0.1));
    EXPECT_FALSE(AlmostEqual_Tolerance(1.0, 1.5, 0.5));
    EXPECT_TRUE(AlmostEqual_Tolerance(1.0f, 1.05f, 0.1f));
    EXPECT_FALSE(AlmostEqual_Tolerance(1.0f, 2.0f, 1.0f));
}

TEST(Rounding, HalfRoundsUp) {
    EXPECT_EQ(Round(2.5, 0), 3.0);
    EXPECT_EQ(Round(-2.5, 0), -2.0);
    EXPECT_EQ(Round(2.5f, 0), 3.0f);
    EXPECT_EQ(Round(-2.5f, 0), -2.0f);
    EXPECT_DOUBLE_EQ(Round(1.234, 2), 1.23);
    EXPECT_FLOAT_EQ(Round(1.236f, 2), 1.24f);
    EXPECT_EQ(Round(1234.0, -2), 1200.0);
}

TEST(Rounding, SignificantDigits) {
    EXPECT_EQ(RoundDigit(3.14159, 3), 3.14);
    EXPECT_EQ(RoundDigit(3.14159f, 3), 3.14f);
    EXPECT_EQ(RoundDigit(123456.0, 2), 120000.0);
    EXPECT_EQ(RoundDigit(-0.000123456, 2), -0.00012);
    EXPECT_EQ(RoundDigit(0.1, 400), 0.1);   // any digit count, no buffer to overrun
    EXPECT_EQ(RoundDigit(1e300, 500), 1e300);
}

TEST(FmaxFmin, EqualityAndNaNGiveTheSecond) {
    EXPECT_EQ(Fmax(1.0, 2.0), 2.0);
    EXPECT_EQ(Fmax(3.0, 2.0), 3.0);
    EXPECT_TRUE(std::signbit(Fmax(0.0, -0.0)));    // equal: the second
    EXPECT_FALSE(std::signbit(Fmax(-0.0, 0.0)));
    EXPECT_TRUE(std::signbit(Fmin(0.0f, -0.0f)));
    EXPECT_EQ(Fmax(kNaN, 1.0), 1.0);
    EXPECT_TRUE(std::isnan(Fmax(1.0, kNaN)));
    EXPECT_EQ(Fmin(std::numeric_limits<float>::quiet_NaN(), 1.0f), 1.0f);
    EXPECT_EQ(Fmax(2.0f, 1.0f), 2.0f);
    EXPECT_EQ(Fmin(2.0, 1.0), 1.0);
    EXPECT_EQ(Fmax(INT_MIN, INT_MAX), INT_MAX);
    EXPECT_EQ(Fmin(INT_MIN, INT_MAX), INT_MIN);
}

TEST(States, CountsDistinctIntegerStates) {
    float a[4] = {0, 2, 2, -999};
    EXPECT_EQ(CountStates(4, a), 2);
    double b[1] = {-999};
    EXPECT_EQ(CountStates(1, b), 0);
    EXPECT_EQ(CountStates(0, b), 0);
    double c[6] = {2.7, 2.1, 5, -3, 1, 0.5};   // integer parts 2, 2, 5, -, 1, 0
    int states[6] = {0};
    EXPECT_EQ(CountStates(6, c, states), 4);
    EXPECT_EQ(states[0], 1);
    EXPECT_EQ(states[1], 2);
    EXPECT_EQ(states[2], 5);
    float d[3] = {3, 0, 3};
    int fs[3] = {0};
    EXPECT_EQ(CountStates(3, d, fs), 2);
    EXPECT_EQ(fs[0], 3);
}

TEST(States, HugeNegativeAndNonFiniteValuesAreNoStates) {
    double x[7] = {1e300, -1e300, NAN, INFINITY, -INFINITY, 3e9, 4};
    EXPECT_EQ(CountStates(7, x), 1);
    float y[4] = {FLT_MAX, NAN, 2147483648.0f, 2147483520.0f};
    int s[4] = {0};
    EXPECT_EQ(CountStates(4, y, s), 1);
    EXPECT_EQ(s[0], 2147483520);
}

TEST(Factorial, KnownValues) {
    EXPECT_EQ(Factorial(5.0), 120.0);
    EXPECT_EQ(Factorial(0.0), 1.0);
    EXPECT_EQ(Factorial(1.0), 1.0);
    EXPECT_EQ(Factorial(2.0), 2.0);
    EXPECT_EQ(Factorial(3.0f), 6.0f);
    EXPECT_EQ(Factorial(10.0f), 3628800.0f);
    EXPECT_EQ(Factorial(20), 2432902008176640000.0L);
    EXPECT_EQ(Factorial(static_cast<long double>(12)), 479001600.0L);
    // A non-integer n keeps n as its first factor: 5.5 x 4 x 3 x 2.
    EXPECT_EQ(Factorial(5.5), 132.0);
    EXPECT_EQ(Factorial(-4.0), -4.0);
    EXPECT_TRUE(std::isinf(Factorial(171.0)));
    EXPECT_TRUE(std::isinf(Factorial(1e300)));   // ends as soon as the product is infinite
    EXPECT_TRUE(std::isnan(Factorial(static_cast<double>(NAN))));
}

TEST(Comparators, SortWithoutOverflow) {
    int v[5] = {3, INT_MIN, INT_MAX, -1, 0};
    qsort(v, 5, sizeof(int), compareInt);
    EXPECT_EQ(v[0], INT_MIN);
    EXPECT_EQ(v[1], -1);
    EXPECT_EQ(v[4], INT_MAX);
    qsort(v, 5, sizeof(int), compareIntDecreasing);
    EXPECT_EQ(v[0], INT_MAX);
    EXPECT_EQ(v[4], INT_MIN);
    int a = INT_MIN, b = 1;
    EXPECT_LT(compareInt(&a, &b), 0);
    EXPECT_GT(compareIntDecreasing(&a, &b), 0);

    double d[4] = {2.5, -1, 7, 0};
    qsort(d, 4, sizeof(double), compareDouble);
    EXPECT_EQ(d[0], -1.0);
    EXPECT_EQ(d[3], 7.0);
    qsort(d, 4, sizeof(double), compareDoubleDecreasing);
    EXPECT_EQ(d[0], 7.0);
    float f[3] = {1, -2, 0.5f};
    qsort(f, 3, sizeof(float), compareFloat);
    EXPECT_EQ(f[0], -2.0f);
    qsort(f, 3, sizeof(float), compareFloatDecreasing);
    EXPECT_EQ(f[0], 1.0f);
    double x = 1, y = 1;
    EXPECT_EQ(compareDouble(&x, &y), 0);
}

TEST(Comparators, RowsByTheirFirstColumnAndTexts) {
    double** m = dim2Double(3, 2);
    m[0][0] = 5; m[0][1] = 50;
    m[1][0] = -1; m[1][1] = -10;
    m[2][0] = 2; m[2][1] = 20;
    qsort(m, 3, sizeof(double*), compare2Double);
    EXPECT_EQ(m[0][1], -10.0);
    EXPECT_EQ(m[2][1], 50.0);
    qsort(m, 3, sizeof(double*), compare2DoubleDecreasing);
    EXPECT_EQ(m[0][1], 50.0);
    free2D(m, 3);

    float** fm = dim2Dfloat(2, 1);
    fm[0][0] = 3;
    fm[1][0] = 1;
    qsort(fm, 2, sizeof(float*), compare2Dfloat);
    EXPECT_EQ(fm[0][0], 1.0f);
    qsort(fm, 2, sizeof(float*), compare2DfloatDecreasing);
    EXPECT_EQ(fm[0][0], 3.0f);
    free2D(fm, 2);

    char** labels = dim2Dchar(3, 11);
    strcpy(labels[0], "pine");
    strcpy(labels[1], "beech");
    strcpy(labels[2], "oak");
    qsort(labels, 3, sizeof(char*), compareStr);
    EXPECT_STREQ(labels[0], "beech");
    EXPECT_STREQ(labels[1], "oak");
    EXPECT_STREQ(labels[2], "pine");
    free2D(labels, 3);
}
