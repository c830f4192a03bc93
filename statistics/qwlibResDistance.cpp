// Quantitative distance coefficients: Euclidean family, chord, absolute-value function,
// Bray-Curtis and the Cao index.
#include <cmath>
#include <limits>

#include "statistics/qwlibRes.h"
#include "statistics/qwlibResInternal.h"

using qwres::Scratch;

namespace {

// Term kernels: one per coefficient, formed from the two values x and y of one variable.
// SqDiff: the difference in T, its square in T, added in Acc by the caller.
template <class T>
T SqDiff(T x, T y) {
    T d = x - y;
    return d * d;
}

// Sum over the variables of term(x, y), in Acc; skip leaves out pairs with a missing value,
// use (may be null) keeps the variables with a nonzero entry.
template <class T, class Acc, class Term>
Acc PairSum(int p, const T* a, const T* b, bool skip, const int* use, Term term) {
    Acc s = Acc(0);
    for (int k = 0; k < p; k++) {
        if (use && use[k] == 0) continue;
        if (skip && (IsMissing(a[k]) || IsMissing(b[k]))) continue;
        s += Acc(term(a[k], b[k]));
    }
    return s;
}

// Euclidean distances (root) or their squares, diagonal 0, cells i < j.
template <class T, class R, class Acc>
void EuclidT(int n, int p, T** in, R** out, bool skip, const int* use, bool root) {
    for (int i = 0; i < n; i++) out[i][i] = R(0);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            Acc s = PairSum<T, Acc>(p, in[i], in[j], skip, use, SqDiff<T>);
            if (!root)
                out[i][j] = R(s);
            else
                out[i][j] = s > Acc(0) ? R(std::sqrt(s)) : R(0);
        }
}

// Squared chord distance of two vectors over the positions both present (skip) or all.
// A vector of zero norm counts as the zero vector, so the plain and missing-value paths agree
// (a zero row is 1 away from any non-zero row) and no 0/0 arises.
template <class T>
double ChordSqT(int n, const T* a, const T* b, bool skip) {
    if (n < 1) return 0.0;
    double na = 0, nb = 0;
    for (int k = 0; k < n; k++) {
        if (skip && (IsMissing(a[k]) || IsMissing(b[k]))) continue;
        na += double(a[k] * a[k]);
        nb += double(b[k] * b[k]);
    }
    na = std::sqrt(na);
    nb = std::sqrt(nb);
    double s = 0;
    for (int k = 0; k < n; k++) {
        if (skip && (IsMissing(a[k]) || IsMissing(b[k]))) continue;
        double u = na > 0 ? a[k] / na : 0.0, v = nb > 0 ? b[k] / nb : 0.0;
        s += (u - v) * (u - v);
    }
    return s;
}

template <class T>
T AbsDiff(T x, T y) {
    return std::fabs(x - y);
}

// City-block distances: cells j >= i cleared, then j > i summed in Acc.
template <class T, class R, class Acc>
void AbsValT(int n, int p, T** in, R** out, bool skip) {
    for (int i = 0; i < n; i++) {
        for (int j = i; j < n; j++) out[i][j] = R(0);
        for (int j = i + 1; j < n; j++)
            out[i][j] = R(PairSum<T, Acc>(p, in[i], in[j], skip, nullptr, AbsDiff<T>));
    }
}

template <class T, class R>
void AbsValVectorT(int n, T* x, R** out) {
    for (int i = 0; i < n; i++) {
        for (int j = i; j < n; j++) out[i][j] = R(0);
        for (int j = i + 1; j < n; j++)
            if (IsPresent(x[i]) && IsPresent(x[j])) out[i][j] = R(std::fabs(x[i] - x[j]));
    }
}

// Bray-Curtis with the table shifted by m = min(0, smallest (present) value); Acc carries the
// sums and the running minimum.
template <class T, class R, class Acc>
void BrayCurtisT(int n, int p, T** in, R** out, bool skip) {
    for (int i = 0; i < n; i++) out[i][i] = R(0);
    if (n < 2) return;
    Acc m = std::numeric_limits<Acc>::max();
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++)
            if (!(skip && IsMissing(in[i][k])) && Acc(in[i][k]) < m) m = Acc(in[i][k]);
    if (m > Acc(0)) m = Acc(0);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            Acc a = Acc(0), b = Acc(0);
            for (int k = 0; k < p; k++) {
                T x = in[i][k], y = in[j][k];
                if (skip && (IsMissing(x) || IsMissing(y))) continue;
                a += Acc(std::fabs(x - y));
                b += (Acc(x) - m) + (Acc(y) - m);
            }
            // Two rows without any abundance are identical: 0, whatever the cell held.
            out[i][j] = b > Acc(0) ? R(a / b) : R(0);
        }
}

// One term of the Cao index for values x, y with x + y > 0: the first product in double, the
// two cross products from single-precision logarithms in single precision. The index is
// undefined at a zero abundance; a single zero stands for 0.1, below the smallest count.
double CaoTerm(float x, float y) {
    if (x == 0.0f) x = 0.1f;
    if (y == 0.0f) y = 0.1f;
    double s = double(x) + double(y);
    float cross = x * std::log10(y) + y * std::log10(x);
    return (s * std::log10(s / 2.0) - double(cross)) / s;
}

template <class R>
void CaoT(int n, int p, float** in, R** out) {
    for (int i = 0; i < n; i++) out[i][i] = R(0);
    if (n < 2) return;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            double t = 0;
            int N = 0;
            for (int k = 0; k < p; k++) {
                float x = in[i][k], y = in[j][k];
                if (!(x < 1.0f && y < 1.0f)) N++;  // a NaN counts too
                if (double(x) + double(y) == 0.0) continue;
                t += CaoTerm(x, y);
            }
            out[i][j] = N > 0 ? R(t / N) : R(0);
        }
}

}  // namespace

// ---------------------------------------------------------------- Euclidean

void EucliDist(int n, int p, float** in, float** out) { EuclidT<float, float, float>(n, p, in, out, false, nullptr, true); }
void EucliDist(int n, int p, float** in, double** out) { EuclidT<float, double, double>(n, p, in, out, false, nullptr, true); }
void EucliDist(int n, int p, double** in, double** out) { EuclidT<double, double, double>(n, p, in, out, false, nullptr, true); }
void EucliDistMV(int n, int p, float** in, float** out) { EuclidT<float, float, float>(n, p, in, out, true, nullptr, true); }
void EucliDistMV(int n, int p, float** in, double** out) { EuclidT<float, double, double>(n, p, in, out, true, nullptr, true); }
void EucliDistMV(int n, int p, double** in, double** out) { EuclidT<double, double, double>(n, p, in, out, true, nullptr, true); }
void EucliDistMVSelect(int n, int p, float** in, float** out, int* use) { EuclidT<float, float, float>(n, p, in, out, true, use, true); }
void EucliDistMVSelect(int n, int p, double** in, double** out, int* use) { EuclidT<double, double, double>(n, p, in, out, true, use, true); }
void EucliDistMVSelect(int n, int p, float** in, double** out, int* use) { EuclidT<float, double, double>(n, p, in, out, true, use, true); }
void EucliDistSq(int n, int p, float** in, float** out) { EuclidT<float, float, float>(n, p, in, out, false, nullptr, false); }
void EucliDistSq(int n, int p, float** in, double** out) { EuclidT<float, double, double>(n, p, in, out, false, nullptr, false); }
void EucliDistSq(int n, int p, double** in, double** out) { EuclidT<double, double, double>(n, p, in, out, false, nullptr, false); }

void EucliDistSqNeighbours(int n, int p, float** in, double** out, int w) {
    for (int i = 0; i + w < n; i++) out[i][i + w] = PairSum<float, double>(p, in[i], in[i + w], false, nullptr, SqDiff<float>);
}

double EucliDistSq2Vec(int n, float* a, float* b) { return PairSum<float, double>(n, a, b, false, nullptr, SqDiff<float>); }
double EucliDistSq2Vec(int n, double* a, double* b) { return PairSum<double, double>(n, a, b, false, nullptr, SqDiff<double>); }
double EucliDistSq2Vec(int n, float* a, double* b) {
    double s = 0;
    for (int k = 0; k < n; k++) s += SqDiff(double(a[k]), b[k]);
    return s;
}

// ---------------------------------------------------------------- chord

double ChordDistSq2Vec(int n, float* a, float* b) { return ChordSqT(n, a, b, false); }
double ChordDistSq2Vec(int n, double* a, double* b) { return ChordSqT(n, a, b, false); }
double ChordDistSq2VecMV(int n, double* a, double* b) { return ChordSqT(n, a, b, true); }

void ChordDistMV(int n, int p, double** in, double** out) {
    bool missing = false;
    for (int i = 0; i < n && !missing; i++)
        for (int k = 0; k < p; k++)
            if (IsMissing(in[i][k])) {
                missing = true;
                break;
            }
    if (missing) {
        for (int i = 0; i < n; i++) {
            out[i][i] = 0.0;
            for (int j = i + 1; j < n; j++) out[i][j] = std::sqrt(ChordDistSq2VecMV(p, in[i], in[j]));
        }
        return;
    }
    Scratch<double> unit(n, p);
    NormalizeRowsMV(n, p, in, static_cast<double**>(unit));
    EucliDistMV(n, p, static_cast<double**>(unit), out);
}

// ---------------------------------------------------------------- absolute-value function

double AbsValFunction2Vec(int n, float* a, float* b) { return PairSum<float, double>(n, a, b, false, nullptr, AbsDiff<float>); }
double AbsValFunction2VecD(int n, double* a, double* b) { return PairSum<double, double>(n, a, b, false, nullptr, AbsDiff<double>); }

void AbsValFunction(int n, int p, float** in, float** out) { AbsValT<float, float, float>(n, p, in, out, false); }
void AbsValFunction(int n, int p, double** in, double** out) { AbsValT<double, double, double>(n, p, in, out, false); }
void AbsValFunction(int n, int p, float** in, double** out) { AbsValT<float, double, double>(n, p, in, out, false); }
void AbsValFunctionMV(int n, int p, float** in, float** out) { AbsValT<float, float, float>(n, p, in, out, true); }
void AbsValFunctionMV(int n, int p, float** in, double** out) { AbsValT<float, double, double>(n, p, in, out, true); }
void AbsValFunctionMV(int n, int p, double** in, float** out) { AbsValT<double, float, float>(n, p, in, out, true); }
void AbsValFunctionMV(int n, int p, double** in, double** out) { AbsValT<double, double, double>(n, p, in, out, true); }
void AbsValFunctionMV(int n, double* x, double** out) { AbsValVectorT(n, x, out); }
void AbsValFunctionMV(int n, float* x, double** out) { AbsValVectorT(n, x, out); }
void AbsValFunctionMV(int n, float* x, float** out) { AbsValVectorT(n, x, out); }

void AbsValFunctionNeighbours(int n, int p, float** in, double** out, int w) {
    if (p < 1) return;  // no last variable to read
    for (int i = 0; i + w < n; i++) out[i][i + w] += std::fabs(in[i][p - 1] - in[i + w][p - 1]);
}

// ---------------------------------------------------------------- Bray-Curtis and Cao

void BrayCurtis(int n, int p, float** in, float** out) { BrayCurtisT<float, float, float>(n, p, in, out, false); }
void BrayCurtisMV(int n, int p, float** in, float** out) { BrayCurtisT<float, float, float>(n, p, in, out, true); }
void BrayCurtisMV(int n, int p, float** in, double** out) { BrayCurtisT<float, double, double>(n, p, in, out, true); }
void BrayCurtisMV(int n, int p, double** in, double** out) { BrayCurtisT<double, double, double>(n, p, in, out, true); }

void CYD(int n, int p, float** in, float** out) { CaoT(n, p, in, out); }
void CYD(int n, int p, float** in, double** out) { CaoT(n, p, in, out); }
