// Private helpers shared by the sources of the coefficient library (not for other folders).
#ifndef TNX_QWLIBRES_INTERNAL_H
#define TNX_QWLIBRES_INTERNAL_H

#include <algorithm>
#include <cmath>

#include "foundation/qwlibDim.h"
#include "statistics/qwlibRes.h"

namespace qwres {

// The library's zero-divisor rule: a divisor of exactly 0 becomes 1.0.
template <class T>
inline T NonZero(T d) {
    return d == T(0) ? T(1) : d;
}

// Correlations are clamped to [-1, 1] so that rounding never pushes them outside.
template <class T>
inline T ClampCorrelation(T r) {
    if (r > T(1)) return T(1);
    if (r < T(-1)) return T(-1);
    return r;
}

// Mean of the values at(0) .. at(len - 1), summed in Acc. With skip, missing values are left
// out. When every value used is equal the mean is that value itself, so that centring a
// constant row or column gives exact zeros (a rounded sum / count would leave tiny residues
// that normalising would blow up to unit length). No value gives 0/0.
template <class Acc, class F>
Acc MeanOf(int len, F at, bool skip, int* count = nullptr) {
    Acc sum = Acc(0);
    Acc first = Acc(0);
    bool same = true;
    int c = 0;
    for (int k = 0; k < len; k++) {
        auto x = at(k);
        if (skip && IsMissing(x)) continue;
        if (c == 0)
            first = Acc(x);
        else if (!(Acc(x) == first))
            same = false;
        sum += Acc(x);
        c++;
    }
    if (count) *count = c;
    if (c > 0 && same) return first;
    return sum / Acc(c);
}

// Multiplies the present cells of the n x p table C by the power of two that brings its largest
// magnitude into [0.5, 1) (none present and non-zero, or one not finite: C is left as it is).
// The coefficients that do not depend on a table's scale are then formed from squares and
// products that neither overflow nor underflow T at any scale T holds (in single precision they
// do from about 1e10 and 1e-20), and a power of two changes no product's rounding.
template <class T>
void ScaleToUnitMagnitude(int n, int p, T** C) {
    T largest = T(0);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++)
            if (IsPresent(C[i][k])) largest = std::max(largest, T(std::fabs(C[i][k])));
    if (!(largest > T(0)) || !std::isfinite(largest)) return;
    int e = 0;
    std::frexp(largest, &e);
    if (e == 0) return;  // at unit magnitude already
    // 2^-e is a double for every exponent but those of subnormal doubles, which take ldexp: the
    // product in double is exact and rounds to T once, as ldexp does, at the cost of a product.
    const double f = e < -1020 ? 0.0 : std::ldexp(1.0, -e);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) {
            T& x = C[i][k];
            if (IsPresent(x)) x = f > 0.0 ? T(double(x) * f) : std::ldexp(x, -e);
        }
}

// A zero-filled rows x cols work matrix from the foundation's allocator, released on scope exit.
template <class T>
class Scratch {
public:
    Scratch(int rows, int cols)
        : m_(reinterpret_cast<T**>(dim2D(sizeof(T), rows, cols))), rows_(rows) {}
    ~Scratch() { free2D(m_, rows_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    operator T**() const { return m_; }
    T* operator[](int i) const { return m_[i]; }

private:
    T** m_;
    int rows_;
};

// A zero-filled work vector of n values, released on scope exit.
template <class T>
class ScratchVec {
public:
    explicit ScratchVec(int n) : v_(static_cast<T*>(dim1D(sizeof(T), n))) {}
    ~ScratchVec() { free1D(v_); }
    ScratchVec(const ScratchVec&) = delete;
    ScratchVec& operator=(const ScratchVec&) = delete;
    operator T*() const { return v_; }

private:
    T* v_;
};

}  // namespace qwres

#endif
