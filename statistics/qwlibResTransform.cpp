// Data transformations (unit length, z-scores, correlation scaling, unit sums, Hellinger,
// maximum and range, deviations from independence) and rankings.
#include <cfloat>
#include <cmath>
#include <limits>

#include "foundation/nrutilQW.h"
#include "foundation/qwlibDim.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResInternal.h"

using qwres::MeanOf;
using qwres::NonZero;

namespace {

// Cell (l, k) of a line: row l, position k for rows; column l, position k for columns.
template <class T, bool Cols>
inline T& Cell(T** m, int l, int k) {
    return Cols ? m[k][l] : m[l][k];
}

// Rounds through single precision when Single is set (results "stored in single precision").
template <bool Single>
inline double Store(double v) {
    return Single ? double(float(v)) : v;
}

// ---------------------------------------------------------------------------------------
// Unit length, z-scores, correlation scaling
// ---------------------------------------------------------------------------------------

template <class T, bool Single>
void UnitLengthAdjT(int n, int p, T** out, T** in) {
    for (int i = 0; i < n; i++) {
        double ss = 0.0;
        for (int k = 0; k < p; k++) ss += double(in[i][k] * in[i][k]);
        double d = std::sqrt(NonZero(ss));
        for (int k = 0; k < p; k++) out[i][k] = T(Store<Single>(in[i][k] / d));
    }
}

// Centred on the mean of the present values; d = sqrt(SS / len) with len every cell of the
// line; missing cells copied. Squares formed in T, summed in double.
template <class T, bool Cols>
void ZStandardizationT(int n, int p, T** in, T** out) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        double mean = MeanOf<double>(len, [&](int k) { return Cell<T, Cols>(in, l, k); }, true);
        double ss = 0.0;
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            if (IsMissing(x)) continue;
            T c = T(x - mean);
            ss += double(c * c);
        }
        double d = ss == 0.0 ? 1.0 : std::sqrt(ss / len);
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            T& o = Cell<T, Cols>(out, l, k);
            if (IsMissing(x)) {
                o = x;
                continue;
            }
            T c = T(x - mean);
            o = T(c / d);
        }
    }
}

// Given means and deviations per line; a deviation of 0 is replaced by 1.0; missing cells
// are not written.
template <class T, bool Cols>
void ZStandardizationGivenT(int n, int p, T* mean, T* sd, T** in, T** out) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        double d = NonZero(double(sd[l]));
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            if (IsMissing(x)) continue;
            Cell<T, Cols>(out, l, k) = T((double(x) - double(mean[l])) / d);
        }
    }
}

template <class T, bool Single>
void CorrAdjT(int n, int p, T** out, T** in) {
    for (int j = 0; j < p; j++) {
        double mean = MeanOf<double>(n, [&](int i) { return in[i][j]; }, true);
        double ss = 0.0;
        for (int i = 0; i < n; i++)
            if (IsPresent(in[i][j])) ss += (in[i][j] - mean) * (in[i][j] - mean);
        double d = std::sqrt(NonZero(ss));
        for (int i = 0; i < n; i++)
            if (IsPresent(in[i][j])) out[i][j] = T(Store<Single>((in[i][j] - mean) / d));
    }
}

// ---------------------------------------------------------------------------------------
// Unit sums, Hellinger, maximum, range
// ---------------------------------------------------------------------------------------

// Lines divided by their sum (Acc precision). MV: sum over the present values, missing
// cells written as -999 (which is also their copy).
template <class T, class R, class Acc, bool Cols, bool MV>
void UnitSumT(int n, int p, R** out, T** in) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        Acc s = Acc(0);
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            if (MV && IsMissing(x)) continue;
            s += Acc(x);
        }
        s = NonZero(s);
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            R& o = Cell<R, Cols>(out, l, k);
            if (MV && IsMissing(x))
                o = R(-999.0);
            else
                o = R(Acc(x) / s);
        }
    }
}

template <class T>
void UnitSumVectorT(int n, T* in, T* out) {
    T s = T(0);
    for (int k = 0; k < n; k++)
        if (IsPresent(in[k])) s += in[k];
    s = NonZero(s);
    for (int k = 0; k < n; k++) out[k] = IsMissing(in[k]) ? in[k] : T(in[k] / s);
}

// Present x -> sqrt(x / sum): sum in Acc, quotient and root in Root precision.
template <class T, class Acc, class Root, bool Cols>
void HellingerT(int n, int p, T** out, T** in) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        Acc s = Acc(0);
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            if (IsPresent(x)) s += Acc(x);
        }
        s = NonZero(s);
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            T& o = Cell<T, Cols>(out, l, k);
            o = IsMissing(x) ? T(-999.0) : T(std::sqrt(Root(Acc(x) / s)));
        }
    }
}

template <class T>
void MaxAdjT(int n, T* in, T* out) {
    T hi = std::numeric_limits<T>::lowest();
    for (int k = 0; k < n; k++)
        if (IsPresent(in[k]) && in[k] > hi) hi = in[k];
    hi = NonZero(hi);
    for (int k = 0; k < n; k++) out[k] = IsMissing(in[k]) ? in[k] : T(in[k] / hi);
}

// Lines scaled by their range (0 replaced by 1.0). MV: extremes over the present values.
// SubtractMin: (x - min) / range, else x / range. Missing cells are written as -999.
template <class T, bool Cols, bool MV, bool SubtractMin>
void RangeT(int n, int p, T** out, T** in) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        T lo = std::numeric_limits<T>::max(), hi = std::numeric_limits<T>::lowest();
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            if (MV && IsMissing(x)) continue;
            if (x < lo) lo = x;
            if (x > hi) hi = x;
        }
        T range = NonZero(T(hi - lo));
        for (int k = 0; k < len; k++) {
            T x = Cell<T, Cols>(in, l, k);
            T& o = Cell<T, Cols>(out, l, k);
            if (MV && IsMissing(x))
                o = T(-999.0);
            else
                o = SubtractMin ? T((x - lo) / range) : T(x / range);
        }
    }
}

// Standardised deviations from independence; sums in T over the present values.
template <class T, bool MV>
void DeviationsT(int n, int p, T** in, T** out) {
    T* r = static_cast<T*>(dim1D(sizeof(T), n));
    T* c = static_cast<T*>(dim1D(sizeof(T), p));
    T total = T(0);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            if (MV && IsMissing(in[i][j])) continue;
            r[i] += in[i][j];
            c[j] += in[i][j];
            total += in[i][j];
        }
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            T x = in[i][j];
            if (MV && IsMissing(x)) {
                out[i][j] = T(-999.0);
                continue;
            }
            if (MV && !(r[i] > T(0) && c[j] > T(0))) {
                out[i][j] = x;
                continue;
            }
            T rc = r[i] * c[j];
            out[i][j] = (x * total - rc) / (std::sqrt(rc) * total);
        }
    free1D(c);
    free1D(r);
}

// ---------------------------------------------------------------------------------------
// Rankings
// ---------------------------------------------------------------------------------------

// Ordering permutation through the sort with a companion array of positions, both 1-based in
// work (2n + 2 values: the keys, then the positions).
template <class T>
void OrderT(int n, T* in, T* out, bool absolute, T* work) {
    if (n < 1) return;
    T* v = work;
    T* pos = work + n + 1;
    for (int k = 0; k < n; k++) {
        v[k + 1] = absolute ? T(std::fabs(in[k])) : in[k];
        pos[k + 1] = T(k + 1);
    }
    sort2((unsigned long)n, v, pos);
    for (int k = 0; k < n; k++) out[k] = pos[k + 1];
}

// The allocating form: a work space for this call only.
template <class T>
void OrderT(int n, T* in, T* out, bool absolute) {
    if (n < 1) return;
    T* work = static_cast<T*>(dim1D(sizeof(T), 2 * (n + 1)));
    OrderT(n, in, out, absolute, work);
    free1D(work);
}

// Ranks (ties averaged) of the 1-based v[1..m] whose 1-based positions are pos[1..m]:
// sort by value, rank, sort back by position. On return v[1..m] holds the ranks in the
// order of increasing position.
template <class T>
void RankWithPositions(int m, T* v, T* pos) {
    if (m < 1) return;
    T ties = T(0);
    sort2((unsigned long)m, v, pos);
    crank((unsigned long)m, v, &ties);
    sort2((unsigned long)m, pos, v);
}

template <class T>
void RankVectorAdjT(int n, T* in, T* out) {
    if (n < 1) return;
    T* v = static_cast<T*>(dim1D(sizeof(T), n + 1));
    T* pos = static_cast<T*>(dim1D(sizeof(T), n + 1));
    for (int k = 0; k < n; k++) {
        v[k + 1] = in[k];
        pos[k + 1] = T(k + 1);
    }
    RankWithPositions(n, v, pos);
    for (int k = 0; k < n; k++) out[k] = v[k + 1];
    free1D(pos);
    free1D(v);
}

// Only the present values are ranked, whatever their magnitude (a present value below
// -999 is ranked among the others); missing cells get -999.
template <class T>
void RankVectorAdjMVT(int n, T* in, T* out) {
    if (n < 1) return;
    T* v = static_cast<T*>(dim1D(sizeof(T), n + 1));
    T* pos = static_cast<T*>(dim1D(sizeof(T), n + 1));
    int m = 0;
    for (int k = 0; k < n; k++)
        if (IsPresent(in[k])) {
            m++;
            v[m] = in[k];
            pos[m] = T(k + 1);
        }
    RankWithPositions(m, v, pos);
    for (int k = 0; k < n; k++) out[k] = T(-999.0);
    for (int q = 1; q <= m; q++) out[int(pos[q]) - 1] = v[q];
    free1D(pos);
    free1D(v);
}

template <class T>
void RankReseAdjT(int n, T** in, T** out) {
    int m = n * (n - 1) / 2;
    if (m < 1) return;
    T* v = static_cast<T*>(dim1D(sizeof(T), m + 1));
    T* pos = static_cast<T*>(dim1D(sizeof(T), m + 1));
    int q = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            q++;
            v[q] = in[i][j];
            pos[q] = T(q);
        }
    RankWithPositions(m, v, pos);
    q = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) out[i][j] = v[++q];
    free1D(pos);
    free1D(v);
}

// Sum of squared differences of the ranks of a and b (ties averaged), in double.
template <class T>
double RankDifferences(int n, T* a, T* b) {
    T** w = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), 2, n)));
    for (int k = 0; k < n; k++) {
        w[0][k] = a[k];
        w[1][k] = b[k];
    }
    RankRowsAdj(2, n, w, w);
    double d = 0.0;
    for (int k = 0; k < n; k++) {
        double diff = double(w[0][k]) - double(w[1][k]);
        d += diff * diff;
    }
    free2D(w, 2);
    return d;
}

// n^3 - n formed in single precision.
inline float SpearmanDenominator(int n) {
    float f = float(n);
    return f * f * f - f;
}

}  // namespace

// =========================================================================================
// Unit length, z-scores, correlation scaling
// =========================================================================================

void UnitLengthAdj(int n, int p, float** out, float** in) { UnitLengthAdjT<float, true>(n, p, out, in); }
void UnitLengthAdj(int n, int p, double** out, double** in) { UnitLengthAdjT<double, true>(n, p, out, in); }

void ZStandardizationRowsMV(int n, int p, double** in, double** out) { ZStandardizationT<double, false>(n, p, in, out); }
void ZStandardizationRowsMV(int n, int p, float** in, float** out) { ZStandardizationT<float, false>(n, p, in, out); }
void ZStandardizationColsMV(int n, int p, double** in, double** out) { ZStandardizationT<double, true>(n, p, in, out); }
void ZStandardizationColsMV(int n, int p, float** in, float** out) { ZStandardizationT<float, true>(n, p, in, out); }

void ZStandardizationRowsMV(int n, int p, double* mean, double* sd, double** in, double** out) {
    ZStandardizationGivenT<double, false>(n, p, mean, sd, in, out);
}
void ZStandardizationRowsMV(int n, int p, float* mean, float* sd, float** in, float** out) {
    ZStandardizationGivenT<float, false>(n, p, mean, sd, in, out);
}
void ZStandardizationColsMV(int n, int p, double* mean, double* sd, double** in, double** out) {
    ZStandardizationGivenT<double, true>(n, p, mean, sd, in, out);
}
void ZStandardizationColsMV(int n, int p, float* mean, float* sd, float** in, float** out) {
    ZStandardizationGivenT<float, true>(n, p, mean, sd, in, out);
}

void CorrAdj(int n, int p, float** out, float** in) { CorrAdjT<float, true>(n, p, out, in); }
void CorrAdj(int n, int p, double** out, double** in) { CorrAdjT<double, true>(n, p, out, in); }

// =========================================================================================
// Unit sums, Hellinger, maximum, range, deviations from independence
// =========================================================================================

void UnitSumRowsAdj(int n, int p, float** out, float** in) { UnitSumT<float, float, double, false, false>(n, p, out, in); }
void UnitSumRowsAdj(int n, int p, double** out, double** in) { UnitSumT<double, double, double, false, false>(n, p, out, in); }
void UnitSumColsAdj(int n, int p, float** out, float** in) { UnitSumT<float, float, double, true, false>(n, p, out, in); }
void UnitSumColsAdj(int n, int p, double** out, double** in) { UnitSumT<double, double, double, true, false>(n, p, out, in); }

void UnitSumRowsAdjMV(int n, int p, float** out, float** in) { UnitSumT<float, float, float, false, true>(n, p, out, in); }
void UnitSumRowsAdjMV(int n, int p, double** out, float** in) { UnitSumT<float, double, float, false, true>(n, p, out, in); }
void UnitSumRowsAdjMV(int n, int p, double** out, double** in) { UnitSumT<double, double, double, false, true>(n, p, out, in); }
void UnitSumColsAdjMV(int n, int p, float** out, float** in) { UnitSumT<float, float, double, true, true>(n, p, out, in); }
void UnitSumColsAdjMV(int n, int p, double** out, double** in) { UnitSumT<double, double, double, true, true>(n, p, out, in); }

void UnitSumVectorAdjMV(int n, float* in, float* out) { UnitSumVectorT(n, in, out); }
void UnitSumVectorAdjMV(int n, double* in, double* out) { UnitSumVectorT(n, in, out); }

void HellingerRowsAdjMV(int n, int p, float** out, float** in) { HellingerT<float, float, float, false>(n, p, out, in); }
void HellingerRowsAdjMV(int n, int p, double** out, double** in) { HellingerT<double, double, double, false>(n, p, out, in); }
void HellingerColsAdjMV(int n, int p, float** out, float** in) { HellingerT<float, double, float, true>(n, p, out, in); }
void HellingerColsAdjMV(int n, int p, double** out, double** in) { HellingerT<double, double, double, true>(n, p, out, in); }

void MaxAdjMV(int n, float* in, float* out) { MaxAdjT(n, in, out); }
void MaxAdjMV(int n, double* in, double* out) { MaxAdjT(n, in, out); }

void RangeRowsAdj(int n, int p, float** out, float** in) { RangeT<float, false, false, true>(n, p, out, in); }
void RangeColsAdj(int n, int p, float** out, float** in) { RangeT<float, true, false, true>(n, p, out, in); }

// Rows of the MV form: missing cells copied (written as -999, the same value).
void RangeRowsAdjMV(int n, int p, float** out, float** in) { RangeT<float, false, true, false>(n, p, out, in); }
void RangeRowsAdjMV(int n, int p, double** out, double** in) { RangeT<double, false, true, false>(n, p, out, in); }
void RangeColsAdjMV(int n, int p, float** out, float** in) { RangeT<float, true, true, true>(n, p, out, in); }
void RangeColsAdjMV(int n, int p, double** out, double** in) { RangeT<double, true, true, true>(n, p, out, in); }

void DeviationsExpectations(int n, int p, float** in, float** out) { DeviationsT<float, false>(n, p, in, out); }
void DeviationsExpectationsMV(int n, int p, float** in, float** out) { DeviationsT<float, true>(n, p, in, out); }
void DeviationsExpectationsMV(int n, int p, double** in, double** out) { DeviationsT<double, true>(n, p, in, out); }

// =========================================================================================
// Orderings and ranks
// =========================================================================================

void IndexVector(int n, int* in, int* out) {
    if (n < 1) return;
    float* v = dim1Dfloat(n + 1);
    unsigned long* indx = static_cast<unsigned long*>(dim1D(sizeof(unsigned long), n + 1));
    for (int k = 0; k < n; k++) v[k + 1] = float(in[k]);
    indexx((unsigned long)n, v, indx);
    for (int k = 0; k < n; k++) out[k] = int(indx[k + 1]);
    free1D(indx);
    free1D(v);
}

void RankVector(int n, int* in, int* out) { OrderT(n, in, out, false); }
void RankVector(int n, float* in, float* out) { OrderT(n, in, out, false); }
void RankVector(int n, double* in, double* out) { OrderT(n, in, out, false); }
void RankVectorAbs(int n, double* in, double* out) { OrderT(n, in, out, true); }
void RankVector(int n, double* in, double* out, double* work) { OrderT(n, in, out, false, work); }
void RankVectorAbs(int n, double* in, double* out, double* work) { OrderT(n, in, out, true, work); }

void RankVectorAdj(int n, float* in, float* out) { RankVectorAdjT(n, in, out); }
void RankVectorAdj(int n, double* in, double* out) { RankVectorAdjT(n, in, out); }
void RankVectorAdjMV(int n, float* in, float* out) { RankVectorAdjMVT(n, in, out); }
void RankVectorAdjMV(int n, double* in, double* out) { RankVectorAdjMVT(n, in, out); }

void RankVectorDAdj(int n, double* in, double* out) {
    if (n < 1) return;
    int* c = dim1Dint(n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++)
            if (in[j] <= in[i]) c[i]++;
    for (int i = 0; i < n; i++) {
        int t = 0;
        for (int j = 0; j < n; j++)
            if (c[j] == c[i]) t++;
        out[i] = (2.0 * c[i] + 1.0 - t) / 2.0;
    }
    free1D(c);
}

void RankRowsAdj(int n, int p, float** in, float** out) {
    for (int i = 0; i < n; i++) RankVectorAdj(p, in[i], out[i]);
}
void RankRowsAdj(int n, int p, double** in, double** out) {
    for (int i = 0; i < n; i++) RankVectorAdj(p, in[i], out[i]);
}
void RankRowsDAdj(int n, int p, double** in, double** out) {
    for (int i = 0; i < n; i++) RankVectorDAdj(p, in[i], out[i]);
}

void RankReseAdj(int n, float** in, float** out) { RankReseAdjT(n, in, out); }
void RankReseAdj(int n, double** in, double** out) { RankReseAdjT(n, in, out); }

float Spearman2Vec(int n, float* a, float* b) {
    if (n < 2) return 0.0f;
    float sixD = float(6.0 * RankDifferences(n, a, b));
    return 1.0f - sixD / SpearmanDenominator(n);
}

double Spearman2Vec(int n, double* a, double* b) {
    if (n < 2) return 0.0;
    double d = RankDifferences(n, a, b);
    return 1.0 - 6.0 * d / double(SpearmanDenominator(n));
}
