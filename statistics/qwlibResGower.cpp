// Gower similarity of mixed variables (whole matrices and one variable's partial matrix) and
// the Legendre-Chodorowski similarity.
#include <cmath>
#include <limits>

#include "statistics/qwlibRes.h"
#include "statistics/qwlibResInternal.h"

using qwres::ScratchVec;

namespace {

enum VarType { Binary = 1, Nominal = 2, Quantitative = 3, Ordinal = 4 };

// How a pair of binary zeros counts: as an agreement, left out, or (partial form with an
// unknown flag) every binary pair left out.
enum class DoubleZeros { Agree, LeftOut, NoBinary };

// One variable's contribution for the values x and y (both present): adds to *num and *den.
// The quantitative term 1 - |x - y| / range is formed in T, the data's precision.
template <class T>
void GowerTerm(int type, T x, T y, T range, double w, DoubleZeros zeros, double* num, double* den) {
    switch (type) {
        case Quantitative:
        case Ordinal:
            *num += range > T(0) ? w * double(T(T(1) - std::fabs(x - y) / range)) : w;
            *den += w;
            break;
        case Nominal:
            if (x == y) *num += w;
            *den += w;
            break;
        case Binary:
            if (zeros == DoubleZeros::NoBinary) break;
            if (x == y) {
                if (x == T(0) && zeros == DoubleZeros::LeftOut) break;
                *num += w;
            }
            *den += w;
            break;
        default:
            break;  // a type this coefficient does not know
    }
}

// Largest minus smallest value (present values only with skip), searched in S; 0 when there
// is no value. The running extremes start at the ends of the type's range.
template <class S, class T>
S RangeOf(int n, const T* x, bool skip) {
    S hi = std::numeric_limits<S>::lowest(), lo = std::numeric_limits<S>::max();
    bool any = false;
    for (int i = 0; i < n; i++) {
        if (skip && IsMissing(x[i])) continue;
        S v = S(x[i]);
        if (v > hi) hi = v;
        if (v < lo) lo = v;
        any = true;
    }
    return any ? S(hi - lo) : S(0);
}

template <class S, class T>
float ColumnRange(int n, T** data, int k, bool skip) {
    ScratchVec<T> col(n);
    for (int i = 0; i < n; i++) col[i] = data[i][k];
    return float(RangeOf<S>(n, static_cast<T*>(col), skip));
}

// The ordinal column k replaced by its ranks among the present values, ranked through a work
// vector of type W.
template <class W, class T>
void RankColumn(int n, T** data, int k) {
    ScratchVec<W> v(n);
    for (int i = 0; i < n; i++) v[i] = W(data[i][k]);
    RankVectorAdjMV(n, static_cast<W*>(v), static_cast<W*>(v));
    for (int i = 0; i < n; i++) data[i][k] = T(v[i]);
}

// Whole-matrix Gower similarity over pairs i < j, both halves, diagonal 1. range: per-variable
// ranges (already decided by the caller); skip: missing-value test.
template <class T, class R>
void GowerPairs(int n, int p, const int* types, T** data, R** out, const float* range,
                const float* weight, bool skip, DoubleZeros zeros) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            double num = 0, den = 0;
            for (int k = 0; k < p; k++) {
                T x = data[i][k], y = data[j][k];
                if (skip && (IsMissing(x) || IsMissing(y))) continue;
                double w = weight ? weight[k] : 1.0;
                GowerTerm(types[k], x, y, T(range[k]), w, zeros, &num, &den);
            }
            if (den > 0) out[i][j] = R(num / den);
            out[j][i] = out[i][j];
        }
    for (int i = 0; i < n; i++) out[i][i] = R(1);
}

// GowerMVOpt: W is the precision of the rank work vector and of the range search.
template <class W, class T, class R>
void GowerMVOptT(int n, int p, int* types, T** data, R** out, float* weight, int countZeros) {
    ScratchVec<float> range(p);
    for (int k = 0; k < p; k++) {
        if (types[k] == Ordinal) RankColumn<W>(n, data, k);
        if (types[k] == Quantitative || types[k] == Ordinal) range[k] = ColumnRange<W>(n, data, k, true);
    }
    GowerPairs(n, p, types, data, out, range, weight, true,
               countZeros ? DoubleZeros::Agree : DoubleZeros::LeftOut);
}

// GowerMV and Gower: types 1-3; the given ranges, or single-precision ranges of the
// quantitative variables when none is given.
template <class R>
void GowerMVT(int n, int p, int* types, float** data, R** out, float* range, float* weight, bool skip) {
    ScratchVec<float> own(p);
    if (!range)
        for (int k = 0; k < p; k++)
            if (types[k] == Quantitative) own[k] = ColumnRange<float>(n, data, k, skip);
    ScratchVec<int> known(p);
    for (int k = 0; k < p; k++) known[k] = types[k] == Ordinal ? 0 : types[k];
    GowerPairs(n, p, static_cast<int*>(known), data, out, range ? range : static_cast<float*>(own),
               weight, skip, DoubleZeros::LeftOut);
}

// One variable's weighted partial similarities for every pair i <= j; -999 where the pair
// cannot be compared. maxType: 4 for the form that knows ordinal variables, 3 otherwise.
template <class R>
void GowerPartialT(int n, int type, float* x, R** out, float range, float weight, DoubleZeros zeros,
                   int maxType) {
    if (type > maxType) type = 0;
    if (type == Ordinal) {
        RankVectorAdjMV(n, x, x);
        range = float(RangeOf<double>(n, x, true));
    } else if (type == Quantitative && range == 0.0f) {
        range = float(RangeOf<double>(n, x, true));
    }
    double w = weight < 0.0f ? 1.0 : weight;
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            double num = 0, den = 0;
            if (IsPresent(x[i]) && IsPresent(x[j])) GowerTerm(type, x[i], x[j], range, w, zeros, &num, &den);
            out[i][j] = out[j][i] = den > 0 ? R(float(num)) : R(-999);
        }
}

DoubleZeros PartialZeros(int flag) {
    if (flag == 1) return DoubleZeros::Agree;
    if (flag == 0) return DoubleZeros::LeftOut;
    return DoubleZeros::NoBinary;
}

// Legendre-Chodorowski; tol(v) gives the tolerance of variable v. Computed in double, each
// cell rounded to single precision.
template <class T, class R, class Tol>
void LegendreT(int n, int p, T** data, R** out, const float* weight, Tol tol) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            double num = 0, den = 0;
            for (int v = 0; v < p; v++) {
                double w = weight ? weight[v] : 1.0;
                if (!(w > 0)) break;  // the variables from the first non-positive weight on are left out
                T x = data[i][v], y = data[j][v];
                if (IsMissing(x) || IsMissing(y)) continue;
                if (!(double(x) + double(y) > 0)) continue;  // a double zero
                den += w;
                double k = tol(v), d = std::fabs(double(x) - double(y));
                if (double(x) * double(y) > 0 && d <= k) num += w * 2 * (k + 1 - d) / (2 * k + 2 + d * k);
            }
            if (den > 0) out[i][j] = R(float(num / den));
            out[j][i] = out[i][j];
        }
    for (int i = 0; i < n; i++) out[i][i] = R(1);
}

template <class T>
void CleanupT(int n, T** m) {
    for (int i = 0; i < n; i++) {
        m[i][i] = T(1);
        for (int j = 0; j < i; j++) m[i][j] = T(0);
    }
}

}  // namespace

void GowerMVOpt(int n, int p, int* types, float** data, float** out, float*, float* weight, int countZeros) {
    GowerMVOptT<float>(n, p, types, data, out, weight, countZeros);
}
void GowerMVOpt(int n, int p, int* types, float** data, double** out, float*, float* weight, int countZeros) {
    GowerMVOptT<double>(n, p, types, data, out, weight, countZeros);
}
void GowerMVOpt(int n, int p, int* types, double** data, double** out, float*, float* weight, int countZeros) {
    GowerMVOptT<double>(n, p, types, data, out, weight, countZeros);
}

void GowerMV(int n, int p, int* types, float** data, float** out, float* range, float* weight) {
    GowerMVT(n, p, types, data, out, range, weight, true);
}
void GowerMV(int n, int p, int* types, float** data, double** out, float* range, float* weight) {
    GowerMVT(n, p, types, data, out, range, weight, true);
}
void Gower(int n, int p, int* types, float** data, float** out, float* range, float* weight) {
    GowerMVT(n, p, types, data, out, range, weight, false);
}
void Gower(int n, int p, int* types, float** data, double** out, float* range, float* weight) {
    GowerMVT(n, p, types, data, out, range, weight, false);
}

void GowerMVPartial_dAbsences(int n, int type, float* x, float** out, float range, float weight, int flag) {
    GowerPartialT(n, type, x, out, range, weight, PartialZeros(flag), Ordinal);
}
void GowerMVPartial_dAbsences(int n, int type, float* x, double** out, float range, float weight, int flag) {
    GowerPartialT(n, type, x, out, range, weight, PartialZeros(flag), Ordinal);
}
void GowerMVPartial(int n, int type, float* x, float** out, float range, float weight) {
    GowerPartialT(n, type, x, out, range, weight, DoubleZeros::LeftOut, Quantitative);
}

void LegendreChodorowski(int n, int p, float** data, float** out, float* weight, float k) {
    LegendreT(n, p, data, out, weight, [k](int) { return double(k); });
}
void LegendreChodorowski(int n, int p, float** data, double** out, float* weight, float k) {
    LegendreT(n, p, data, out, weight, [k](int) { return double(k); });
}
void LegendreChodorowski(int n, int p, double** data, double** out, float* weight, double k) {
    LegendreT(n, p, data, out, weight, [k](int) { return k; });
}
void LegendreChodorowski(int n, int p, float** data, float** out, float* weight, float* k) {
    LegendreT(n, p, data, out, weight, [k](int v) { return double(k[v]); });
}

void Cleanup(int n, float** m) { CleanupT(n, m); }
void Cleanup(int n, double** m) { CleanupT(n, m); }
