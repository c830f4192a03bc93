// Private helpers shared by the sources of the coefficient library (not for other folders).
#ifndef TNX_QWLIBRES_INTERNAL_H
#define TNX_QWLIBRES_INTERNAL_H

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
