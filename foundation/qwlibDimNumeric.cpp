// Rounding, comparisons within a number of single-precision steps, extremes, state counts,
// factorials, qsort comparators and pointer exchange.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/qwlibDim.h"

double Round(double x, int d) {
    double p = pow(10.0, d);
    return floor(x * p + 0.5) / p;
}

float Round(float x, int d) {
    float p = powf(10.0f, static_cast<float>(d));
    return floorf(x * p + 0.5f) / p;
}

namespace {

// x written with d significant digits; the text is sized to the output, whatever d is.
std::vector<char> DigitsText(double x, int d) {
    int len = snprintf(nullptr, 0, "%.*g", d, x);
    std::vector<char> text(static_cast<size_t>(len > 0 ? len : 0) + 1, '\0');
    snprintf(text.data(), text.size(), "%.*g", d, x);
    return text;
}

// Position of a single-precision value on one integer line on which neighbouring values
// are one apart and +0 and -0 coincide (negative values mirrored below zero).
int64_t UlpLine(float x) {
    int32_t bits;
    memcpy(&bits, &x, sizeof bits);
    if (bits < 0) return static_cast<int64_t>(INT32_MIN) - static_cast<int64_t>(bits);
    return bits;
}

const int kMaxUlps = 4 * 1024 * 1024 - 1;

// The share of its table's centred sum of squares below which a residual's is rounding noise. A
// residual of covariates that explain the table exactly keeps at most 4.4e-26 of it in double,
// and about 4e-15 when a covariate is a trait mean rounded to single precision (one step of
// 6e-8 of its size, squared); the smallest genuine residual seen keeps 2.2e-4 of its table
// (1.3e-5 under the weighted null model). 1e-12 lies far from both.
const double kResidualTolerance = 1e-12;

}  // namespace

double RoundDigit(double x, int d) {
    std::vector<char> text = DigitsText(x, d);
    double v = x;
    if (sscanf(text.data(), "%lf", &v) != 1) return x;
    return v;
}

float RoundDigit(float x, int d) {
    std::vector<char> text = DigitsText(x, d);
    float v = x;
    if (sscanf(text.data(), "%f", &v) != 1) return x;
    return v;
}

bool AlmostEqual2sComplement(float a, float b, int maxUlps) {
    if (maxUlps < 0) maxUlps = 0;
    if (maxUlps > kMaxUlps) maxUlps = kMaxUlps;
    int64_t diff = UlpLine(a) - UlpLine(b);
    if (diff < 0) diff = -diff;
    return diff <= maxUlps;
}

bool AlmostEqual2sComplement(double a, double b, int maxUlps) {
    return AlmostEqual2sComplement(static_cast<float>(a), static_cast<float>(b), maxUlps);
}

bool AlmostEqual2sComplement(float a, float b, int maxUlps, bool useAbs) {
    if (useAbs) {
        a = fabsf(a);
        b = fabsf(b);
    }
    return AlmostEqual2sComplement(a, b, maxUlps);
}

bool AlmostEqual2sComplement(double a, double b, int maxUlps, bool useAbs) {
    if (useAbs) {
        a = fabs(a);
        b = fabs(b);
    }
    return AlmostEqual2sComplement(a, b, maxUlps);
}

bool IsLargerThanOrEqual(double a, double b, int maxUlps, bool useAbs) {
    if (useAbs) {
        a = fabs(a);
        b = fabs(b);
    }
    return AlmostEqual2sComplement(a, b, maxUlps) || a > b;
}

bool HasVariation(double centredSumSq, double scaleSumSq) {
    return centredSumSq > 0.0 && centredSumSq > kResidualTolerance * scaleSumSq;
}

bool ColumnVaries(double centredSumSq, int count, double magnitude, double rounding) {
    // The sum of squares of `count` deviations each at most rounding * magnitude (a centring
    // only lowers it): anything at or below it may be rounding alone.
    const double noise = rounding * magnitude;
    return centredSumSq > 0.0 && centredSumSq > double(count) * noise * noise;
}

namespace {

// 2^-e for the binade [2^e, 2^(e+1)) of the magnitude, e held where 2^-e and the scaled values
// stay normal numbers (no magnitude, 0, takes the bound; one not finite, 1).
double UnitOf(double magnitude) {
    const int e = magnitude > 0.0 && magnitude <= DBL_MAX ? std::min(std::max(ilogb(magnitude), -1000), 1000) : 0;
    return ldexp(1.0, -e);
}

}  // namespace

Spread::Spread(double first, double magnitude_, int count_)
    : origin(first * UnitOf(magnitude_)), unit(UnitOf(magnitude_)), magnitude(magnitude_), count(count_) {}

double ValueScale(double magnitude) {
    return magnitude >= 0x1p-200 && magnitude <= 0x1p200 ? 1.0 : UnitOf(magnitude);
}

Spread Spread::InOwnUnits(double first, int count) {
    Spread s;
    s.origin = first;
    s.count = count;
    return s;
}

double Spread::ScaledCentred() const {
    if (count < 1) return 0.0;
    const double c = sumSq - sum * sum / count;
    return c > 0.0 ? c : 0.0;
}

double Spread::Centred() const { return CentredIn(1.0); }

double Spread::CentredIn(double scale) const {
    const double ratio = scale / unit;
    return ScaledCentred() * ratio * ratio;
}

bool Spread::Varies(double rounding) const {
    return ColumnVaries(ScaledCentred(), count, magnitude * unit, rounding);
}

bool AlmostEqual_Tolerance(double a, double b, double tol) { return fabs(a - b) < tol; }
bool AlmostEqual_Tolerance(float a, float b, float tol) { return fabsf(a - b) < tol; }

double Fmax(double a, double b) { return a > b ? a : b; }
float Fmax(float a, float b) { return a > b ? a : b; }
int Fmax(int a, int b) { return a > b ? a : b; }
double Fmin(double a, double b) { return a < b ? a : b; }
float Fmin(float a, float b) { return a < b ? a : b; }
int Fmin(int a, int b) { return a < b ? a : b; }

namespace {

// The sorted distinct states present. A state is the integer part (toward zero) of a value
// that is not -999, in 0 .. INT_MAX; the table is sized from n, never from the values.
template <class T>
std::vector<int> PresentStates(int n, const T* x) {
    std::vector<int> s;
    if (n < 1 || x == nullptr) return s;
    s.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; i++) {
        T v = x[i];
        if (v == static_cast<T>(-999)) continue;
        if (!std::isfinite(v)) continue;
        T t = std::trunc(v);
        if (t < 0 || t > static_cast<T>(INT_MAX) || static_cast<double>(t) > INT_MAX) continue;
        s.push_back(static_cast<int>(t));
    }
    std::sort(s.begin(), s.end());
    s.erase(std::unique(s.begin(), s.end()), s.end());
    return s;
}

template <class T>
int CountStatesT(int n, const T* x, int* states) {
    std::vector<int> s = PresentStates(n, x);
    if (states != nullptr) {
        int k = 0;
        for (int v : s)
            if (v >= 1) states[k++] = v;
    }
    return static_cast<int>(s.size());
}

template <class T>
T FactorialT(T n) {
    if (n == 0) return 1;
    T k = std::trunc(n);
    if (!(k >= 3)) return n;   // also a NaN
    T r = n;
    for (T j = k - 1; j >= 2; j -= 1) {
        r *= j;
        if (std::isinf(r)) break;   // no further factor changes an infinite product
    }
    return r;
}

}  // namespace

int CountStates(int n, float* x) { return CountStatesT(n, x, static_cast<int*>(nullptr)); }
int CountStates(int n, double* x) { return CountStatesT(n, x, static_cast<int*>(nullptr)); }
int CountStates(int n, float* x, int* states) { return CountStatesT(n, x, states); }
int CountStates(int n, double* x, int* states) { return CountStatesT(n, x, states); }

double Factorial(double n) { return FactorialT(n); }
float Factorial(float n) { return FactorialT(n); }
long double Factorial(long double n) { return FactorialT(n); }
long double Factorial(int n) { return FactorialT(static_cast<long double>(n)); }

namespace {

template <class T>
int Order(T a, T b) {
    if (a > b) return 1;
    if (b > a) return -1;
    return 0;
}

}  // namespace

int compareInt(const void* a, const void* b) {
    return Order(*static_cast<const int*>(a), *static_cast<const int*>(b));
}
int compareIntDecreasing(const void* a, const void* b) {
    return Order(*static_cast<const int*>(b), *static_cast<const int*>(a));
}
int compareDouble(const void* a, const void* b) {
    return Order(*static_cast<const double*>(a), *static_cast<const double*>(b));
}
int compareFloat(const void* a, const void* b) {
    return Order(*static_cast<const float*>(a), *static_cast<const float*>(b));
}
int compareDoubleDecreasing(const void* a, const void* b) {
    return Order(*static_cast<const double*>(b), *static_cast<const double*>(a));
}
int compareFloatDecreasing(const void* a, const void* b) {
    return Order(*static_cast<const float*>(b), *static_cast<const float*>(a));
}
int compare2Double(const void* a, const void* b) {
    return Order((*static_cast<double* const*>(a))[0], (*static_cast<double* const*>(b))[0]);
}
int compare2Dfloat(const void* a, const void* b) {
    return Order((*static_cast<float* const*>(a))[0], (*static_cast<float* const*>(b))[0]);
}
int compare2DoubleDecreasing(const void* a, const void* b) {
    return Order((*static_cast<double* const*>(b))[0], (*static_cast<double* const*>(a))[0]);
}
int compare2DfloatDecreasing(const void* a, const void* b) {
    return Order((*static_cast<float* const*>(b))[0], (*static_cast<float* const*>(a))[0]);
}
int compareStr(const void* a, const void* b) {
    return strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b));
}

void swap(void** a, int i, int j) {
    void* t = a[i];
    a[i] = a[j];
    a[j] = t;
}

void swapArray1D(void** a, void** b) {
    void* t = *a;
    *a = *b;
    *b = t;
}
