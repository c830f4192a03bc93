// Descriptive statistics, cross products, covariance, correlation, centring and normalising.
#include <cfloat>
#include <cmath>

#include "foundation/qwlibDim.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResInternal.h"

using qwres::ClampCorrelation;
using qwres::MeanOf;
using qwres::NonZero;

namespace {

// ---------------------------------------------------------------------------------------
// Generic kernels. T is the element type of the data, R of the result, Acc the accumulator.
// ---------------------------------------------------------------------------------------

template <class T, class R>
void MeanVectorColsT(int n, int p, T** m, R* out) {
    for (int j = 0; j < p; j++) {
        double s = 0.0;
        for (int i = 0; i < n; i++) s += m[i][j];
        out[j] = R(s / n);
    }
}

template <class T, class R>
void MeanVectorRowsT(int n, int p, T** m, R* out) {
    for (int i = 0; i < n; i++) {
        double s = 0.0;
        for (int k = 0; k < p; k++) s += m[i][k];
        out[i] = R(s / p);
    }
}

// Square formed in the element type, added to a double sum.
template <class T>
double SumOfSquaresT(int n, T* v) {
    double s = 0.0;
    for (int i = 0; i < n; i++)
        if (IsPresent(v[i])) s += double(v[i] * v[i]);
    return s;
}

template <class T>
double SumOfSquaresDevT(int n, T* v, int* count) {
    double s = 0.0, s2 = 0.0;
    int k = 0;
    for (int i = 0; i < n; i++) {
        if (IsMissing(v[i])) continue;
        s += v[i];
        s2 += double(v[i] * v[i]);
        k++;
    }
    if (count) *count = k;
    return s2 - s * s / k;
}

// The sum, over the rows (Cols: the columns), of each one's sum of squares over its p - 1
// (n - 1) degrees of freedom; squares formed in T, sums in double, row by row (column by column).
template <bool Cols, class T>
double GowerTotalT(int n, int p, T** m) {
    const int outer = Cols ? p : n, inner = Cols ? n : p;
    double t = 0.0;
    for (int a = 0; a < outer; a++) {
        double ss = 0.0;
        for (int b = 0; b < inner; b++) {
            T x = Cols ? m[b][a] : m[a][b];
            if (IsPresent(x)) ss += double(x * x);
        }
        t += ss / (inner - 1);
    }
    return t;
}

// Gower's standardisation: every present value divided by the root of that sum. A sum outside
// 2^-60 .. 2^60 is one whose squares may have left T (in single precision cells below about
// 1e-20 square to subnormal numbers or 0, cells above 1e19 to infinity): the table is first
// brought to unit magnitude by a power of two, which changes no standardised value, and the sum
// formed again. At the scales of any survey the table is taken as it is.
template <bool Cols, class T>
void GowerStandardizationT(int n, int p, T** m) {
    double t = GowerTotalT<Cols>(n, p, m);
    if (!(t >= 0x1p-60 && t <= 0x1p60)) {
        qwres::ScaleToUnitMagnitude(n, p, m);
        t = GowerTotalT<Cols>(n, p, m);
    }
    double root = std::sqrt(NonZero(t));
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++)
            if (IsPresent(m[i][j])) m[i][j] = T(m[i][j] / root);
}

// Mean and standard deviation: T data, Acc sums (squares formed in T).
template <class T, class Acc>
void MeanStDevT(int n, T* v, Acc* mean, Acc* sd) {
    Acc s = 0, s2 = 0;
    for (int i = 0; i < n; i++) {
        s += v[i];
        s2 += Acc(v[i] * v[i]);
    }
    *mean = s / n;
    Acc ss = s2 - s * s / n;
    if (ss < Acc(0)) ss = Acc(0);  // rounding, never a true negative sum of squares
    *sd = std::sqrt(ss / Acc(n - 1));
}

template <class T>
double MomentT(int n, T* v, int k) {
    double s = 0.0;
    for (int i = 0; i < n; i++) s += v[i];
    double m = s / n;
    double r = 0.0;
    for (int i = 0; i < n; i++) r += std::pow(double(v[i]) - m, k);
    return r / n;
}

// Cross products over all columns (MV: over the columns where both values are present).
// Products formed in T, summed in Acc.
template <class T, class R, class Acc, bool MV>
void CrossProductT(int n, int p, T** in, R** out) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            Acc s = Acc(0);
            for (int k = 0; k < p; k++) {
                if (MV && (IsMissing(in[i][k]) || IsMissing(in[j][k]))) continue;
                s += Acc(in[i][k] * in[j][k]);
            }
            out[i][j] = R(s);
        }
}

template <class T>
bool HasMissing(int n, int p, T** m) {
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++)
            if (IsMissing(m[i][k])) return true;
    return false;
}

template <class T, bool MV>
double CrossProduct2VecT(int n, T* a, T* b) {
    double s = 0.0;
    for (int k = 0; k < n; k++) {
        if (MV && (IsMissing(a[k]) || IsMissing(b[k]))) continue;
        s += double(a[k] * b[k]);
    }
    return s;
}

// Centring along rows (Cols = false) or down columns (Cols = true). Acc is the precision
// of the mean; RoundSingle rounds each result to single precision before storing it.
template <class T, class R, bool Cols, bool MV, bool RoundSingle>
void CenterT(int n, int p, T** in, R** out) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        auto at = [&](int k) { return Cols ? in[k][l] : in[l][k]; };
        double mean = MeanOf<double>(len, at, MV);
        for (int k = 0; k < len; k++) {
            T x = at(k);
            R& o = Cols ? out[k][l] : out[l][k];
            if (MV && IsMissing(x)) {
                o = R(x);
                continue;
            }
            if (RoundSingle)
                o = R(float(x - mean));
            else
                o = R(x - mean);
        }
    }
}

// Present x -> (x - mean) / sqrt(c - 1); missing cells -999. SingleRoot takes the root of
// (c - 1) in single precision.
template <class T, bool Cols, bool SingleRoot>
void CenterCovT(int n, int p, T** in, T** out) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        auto at = [&](int k) { return Cols ? in[k][l] : in[l][k]; };
        int c = 0;
        double mean = MeanOf<double>(len, at, true, &c);
        double root = SingleRoot ? double(std::sqrt(float(c - 1))) : std::sqrt(c - 1.0);
        root = NonZero(root);  // a single present value: divide by 1
        for (int k = 0; k < len; k++) {
            T x = at(k);
            T& o = Cols ? out[k][l] : out[l][k];
            o = IsMissing(x) ? T(-999.0) : T((x - mean) / root);
        }
    }
}

template <class T, bool Cols, bool MV>
void NormalizeT(int n, int p, T** in, T** out) {
    int lines = Cols ? p : n, len = Cols ? n : p;
    for (int l = 0; l < lines; l++) {
        double ss = 0.0;
        for (int k = 0; k < len; k++) {
            T x = Cols ? in[k][l] : in[l][k];
            if (MV && IsMissing(x)) continue;
            ss += double(x * x);
        }
        double d = ss > 0.0 ? std::sqrt(ss) : 1.0;
        for (int k = 0; k < len; k++) {
            T& o = Cols ? out[k][l] : out[l][k];
            T x = Cols ? in[k][l] : in[l][k];
            if (MV && IsMissing(x))
                o = T(-999.0);
            else
                o = T(x / d);
        }
    }
}

template <class T>
void NormalizeVectorT(int n, T* in, T* out) {
    double ss = 0.0;
    for (int k = 0; k < n; k++) ss += double(in[k] * in[k]);
    double d = ss > 0.0 ? std::sqrt(ss) : 1.0;
    for (int k = 0; k < n; k++) out[k] = T(in[k] / d);
}

template <class T>
void CenterVectorT(int n, T* in, T* out) {
    double mean = MeanOf<double>(n, [&](int k) { return in[k]; }, false);
    for (int k = 0; k < n; k++) out[k] = T(in[k] - mean);
}

// Pearson r over the positions selected by `use` where both values are present; 0 when
// either vector is constant there.
template <class T, class Use>
double Correlation2VecMVT(int n, T* a, T* b, Use use) {
    if (n < 1) return 0.0;
    auto both = [&](int k) { return use(k) && IsPresent(a[k]) && IsPresent(b[k]); };
    // Means over the pairs: MeanOf over the selected positions only.
    double sa = 0.0, sb = 0.0, fa = 0.0, fb = 0.0;
    bool sameA = true, sameB = true;
    int c = 0;
    for (int k = 0; k < n; k++) {
        if (!both(k)) continue;
        double x = a[k], y = b[k];
        if (c == 0) {
            fa = x;
            fb = y;
        } else {
            if (!(x == fa)) sameA = false;
            if (!(y == fb)) sameB = false;
        }
        sa += x;
        sb += y;
        c++;
    }
    if (c == 0) return 0.0;
    double ma = sameA ? fa : sa / c, mb = sameB ? fb : sb / c;
    double saa = 0.0, sbb = 0.0;
    for (int k = 0; k < n; k++) {
        if (!both(k)) continue;
        saa += (a[k] - ma) * (a[k] - ma);
        sbb += (b[k] - mb) * (b[k] - mb);
    }
    if (saa == 0.0 || sbb == 0.0) return 0.0;  // constant vector: no correlation
    double ra = std::sqrt(saa), rb = std::sqrt(sbb), r = 0.0;
    for (int k = 0; k < n; k++) {
        if (!both(k)) continue;
        r += ((a[k] - ma) / ra) * ((b[k] - mb) / rb);
    }
    return ClampCorrelation(r);
}

template <class T>
void CorrelationT(int n, T** C, T** R) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            double r = 0.0;
            if (C[i][i] > 0 && C[j][j] > 0) r = C[i][j] / std::sqrt(double(C[i][i]) * C[j][j]);
            R[i][j] = T(ClampCorrelation(r));
        }
    for (int i = 0; i < n; i++) R[i][i] = T(1);
}

// Single-precision work matrix of two rows copied from a and b.
template <class T>
float** TwoRowWork(int n, T* a, T* b) {
    float** w = dim2Dfloat(2, n);
    for (int k = 0; k < n; k++) {
        w[0][k] = float(a[k]);
        w[1][k] = float(b[k]);
    }
    return w;
}

template <class T>
double CenteredCrossProduct2VecT(int n, T* a, T* b) {
    float** w = TwoRowWork(n, a, b);
    CenterRows(2, n, w, w);
    double s = 0.0;
    for (int k = 0; k < n; k++) s += double(w[0][k] * w[1][k]);
    free2D((void**)w, 2);
    return s;
}

// Correlation of two vectors in single precision: centre, normalise, cross product.
// Acc is the precision of the final sum of products.
template <class T, class Acc>
Acc Correlation2VecT(int n, T* a, T* b) {
    float** w = TwoRowWork(n, a, b);
    CenterRows(2, n, w, w);
    NormalizeRows(2, n, w, w);
    Acc s = Acc(0);
    for (int k = 0; k < n; k++) s += Acc(w[0][k] * w[1][k]);
    free2D((void**)w, 2);
    return ClampCorrelation(s);
}

// Covariances among rows, divisor p - 1 (1.0 when p = 1). T data, R results, Acc precision
// of means, deviations and sums.
template <class T, class R, class Acc>
void CovarianceT(int n, int p, T** in, R** out) {
    Acc* mean = static_cast<Acc*>(dim1D(sizeof(Acc), n));
    for (int i = 0; i < n; i++) mean[i] = MeanOf<Acc>(p, [&](int k) { return in[i][k]; }, false);
    Acc div = NonZero(Acc(p - 1));
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            Acc s = Acc(0);
            for (int k = 0; k < p; k++) s += (Acc(in[i][k]) - mean[i]) * (Acc(in[j][k]) - mean[j]);
            out[i][j] = R(s / div);
        }
    free1D(mean);
}

template <class T>
void CorrelationPartitionT(int nA, int nB, int p, T** in, T** out) {
    int n = nA + nB;
    float** z = dim2Dfloat(n, p);
    int** present = dim2Dint(n, p);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) {
            z[i][k] = float(in[i][k]);
            present[i][k] = IsPresent(z[i][k]);
        }
    // Centre and normalise each row over its present values. Presence is taken from the
    // data, not from the centred values, so a centred value that happens to equal -999 is
    // still used.
    for (int i = 0; i < n; i++) {
        double mean = MeanOf<double>(p, [&](int k) { return present[i][k] ? z[i][k] : -999.0f; }, true);
        double ss = 0.0;
        for (int k = 0; k < p; k++)
            if (present[i][k]) {
                z[i][k] = float(z[i][k] - mean);
                ss += double(z[i][k] * z[i][k]);
            }
        double d = ss > 0.0 ? std::sqrt(ss) : 1.0;
        for (int k = 0; k < p; k++)
            if (present[i][k]) z[i][k] = float(z[i][k] / d);
    }
    for (int j = 0; j < nB; j++)
        for (int i = 0; i < nA; i++) {
            float s = 0.0f;
            for (int k = 0; k < p; k++)
                if (present[i][k] && present[nA + j][k]) s += z[i][k] * z[nA + j][k];
            out[j][i] = T(ClampCorrelation(s));
        }
    free2D((void**)present, n);
    free2D((void**)z, n);
}

}  // namespace

// =========================================================================================
// Means, sums of squares, variances
// =========================================================================================

void MeanVectorCols(int n, int p, float** m, float* out) { MeanVectorColsT(n, p, m, out); }
void MeanVectorCols(int n, int p, double** m, double* out) { MeanVectorColsT(n, p, m, out); }
void MeanVectorRows(int n, int p, float** m, float* out) { MeanVectorRowsT(n, p, m, out); }
void MeanVectorRows(int n, int p, double** m, double* out) { MeanVectorRowsT(n, p, m, out); }

float Mean(int n, float* v) {
    float s = 0.0f;
    for (int i = 0; i < n; i++) s += v[i];
    return s / float(n);
}

double Mean(int n, double* v) {
    double s = 0.0;
    for (int i = 0; i < n; i++) s += v[i];
    return s / n;
}

double SumOfSquares(int n, float* v) { return SumOfSquaresT(n, v); }
double SumOfSquares(int n, double* v) { return SumOfSquaresT(n, v); }
double SumOfSquaresDev(int n, float* v) { return SumOfSquaresDevT(n, v, nullptr); }
double SumOfSquaresDev(int n, double* v) { return SumOfSquaresDevT(n, v, nullptr); }

float Variance(int n, float* v) {
    float s = 0.0f, s2 = 0.0f;
    int k = 0;
    for (int i = 0; i < n; i++) {
        if (IsMissing(v[i])) continue;
        s += v[i];
        s2 += v[i] * v[i];
        k++;
    }
    float ss = s2 - s * s / float(k);
    return ss / float(k - 1);
}

double Variance(int n, double* v) {
    int k = 0;
    double ss = SumOfSquaresDevT(n, v, &k);
    return ss / (k - 1);
}

double MatrixVarianceRows(int n, int p, float** m) {
    double s = 0.0;
    for (int i = 0; i < n; i++) s += Variance(p, m[i]);
    return s;
}

double MatrixVarianceRows(int n, int p, double** m) {
    double s = 0.0;
    for (int i = 0; i < n; i++) s += Variance(p, m[i]);
    return s;
}

namespace {
template <class T>
double MatrixVarianceColsT(int n, int p, T** m) {
    double* col = dim1Double(n);
    double s = 0.0;
    for (int j = 0; j < p; j++) {
        for (int i = 0; i < n; i++) col[i] = m[i][j];
        s += Variance(n, col);
    }
    free1D(col);
    return s;
}
}  // namespace

double MatrixVarianceCols(int n, int p, float** m) { return MatrixVarianceColsT(n, p, m); }
double MatrixVarianceCols(int n, int p, double** m) { return MatrixVarianceColsT(n, p, m); }

void GowerStandardizationRows(int n, int p, float** m) { GowerStandardizationT<false>(n, p, m); }
void GowerStandardizationRows(int n, int p, double** m) { GowerStandardizationT<false>(n, p, m); }
void GowerStandardizationCols(int n, int p, float** m) { GowerStandardizationT<true>(n, p, m); }
void GowerStandardizationCols(int n, int p, double** m) { GowerStandardizationT<true>(n, p, m); }

void MeanStDev(int n, float* v, float* mean, float* sd) { MeanStDevT<float, float>(n, v, mean, sd); }
void MeanStDev(int n, float* v, double* mean, double* sd) { MeanStDevT<float, double>(n, v, mean, sd); }
void MeanStDev(int n, double* v, double* mean, double* sd) { MeanStDevT<double, double>(n, v, mean, sd); }

void MeanStDev_NonZero(int n, float* v, double* mean, double* sd) {
    double s = 0.0, s2 = 0.0;
    int k = 0;
    for (int i = 0; i < n; i++) {
        if (!(v[i] > 0.0f)) continue;
        s += v[i];
        s2 += double(v[i] * v[i]);
        k++;
    }
    if (k == 0) {
        *mean = 0.0;
        *sd = 0.0;
        return;
    }
    *mean = s / k;
    if (k == 1) {
        *sd = 0.0;
        return;
    }
    double ss = s2 - s * s / k;
    if (ss < 0.0) ss = 0.0;
    *sd = std::sqrt(ss / (k - 1));
}

double Moment(int n, float* v, int k) { return MomentT(n, v, k); }
double Moment(int n, double* v, int k) { return MomentT(n, v, k); }

double Range(int n, double* v) {
    if (n < 1) return 0.0;
    double lo = DBL_MAX, hi = -DBL_MAX;
    for (int i = 0; i < n; i++) {
        if (v[i] < lo) lo = v[i];
        if (v[i] > hi) hi = v[i];
    }
    return hi - lo;
}

double MatrixMax(int n, int p, double** m) {
    double hi = 0.0;  // documented floor: callers rely on a result never below 0
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++)
            if (m[i][k] > hi) hi = m[i][k];
    return hi;
}

// =========================================================================================
// Cross products
// =========================================================================================

void CrossProduct(int n, int p, float** in, float** out) {
    CrossProductT<float, float, float, false>(n, p, in, out);
}
void CrossProduct(int n, int p, float** in, double** out) {
    CrossProductT<float, double, double, false>(n, p, in, out);
}
void CrossProductMV(int n, int p, float** in, float** out) {
    CrossProductT<float, float, float, true>(n, p, in, out);
}
void CrossProductMV(int n, int p, float** in, double** out) {
    CrossProductT<float, double, double, true>(n, p, in, out);
}
void CrossProductMV(int n, int p, double** in, double** out) {
    if (HasMissing(n, p, in))
        CrossProductT<double, double, double, true>(n, p, in, out);
    else
        CrossProductT<double, double, double, false>(n, p, in, out);
}

void CrossProductMVSelect(int n, int p, float** in, float** out, int* mask) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            if (mask[j] == 0) continue;
            float s = 0.0f;
            for (int k = 0; k < p; k++)
                if (IsPresent(in[i][k]) && IsPresent(in[j][k])) s += in[i][k] * in[j][k];
            out[i][j] = s;
        }
}

void CrossProductMVPartial(int n, int p, float** in, float*** out) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++)
            for (int k = 0; k < p; k++)
                if (IsPresent(in[i][k]) && IsPresent(in[j][k])) out[i][j][k] = in[i][k] * in[j][k];
}

void CrossProductMVSum(int n, int p, float*** in, float** out, int* mask) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            float s = 0.0f;
            for (int k = 0; k < p; k++)
                if (mask[k] == 1 && IsPresent(in[i][j][k])) s += in[i][j][k];
            out[i][j] = s;
        }
}

void CrossProductNeighbours(int n, int p, float** in, double** out, int w) {
    // Every diagonal cell is written: the neighbour correlations read both ends of a pair.
    for (int i = 0; i < n; i++) {
        double s = 0.0;
        for (int k = 0; k < p; k++) s += double(in[i][k] * in[i][k]);
        out[i][i] = s;
    }
    for (int i = 0; i + w < n; i++) {
        double s = 0.0;
        for (int k = 0; k < p; k++) s += double(in[i][k] * in[i + w][k]);
        out[i][i + w] = s;
    }
}

double CrossProduct2Vec(int n, float* a, float* b) { return CrossProduct2VecT<float, false>(n, a, b); }
double CrossProduct2Vec(int n, double* a, double* b) { return CrossProduct2VecT<double, false>(n, a, b); }
double CrossProduct2VecMV(int n, float* a, float* b) { return CrossProduct2VecT<float, true>(n, a, b); }
double CrossProduct2VecMV(int n, double* a, double* b) { return CrossProduct2VecT<double, true>(n, a, b); }

float CenteredCrossProduct2Vec(int n, float* a, float* b) { return float(CenteredCrossProduct2VecT(n, a, b)); }
double CenteredCrossProduct2Vec(int n, double* a, double* b) { return CenteredCrossProduct2VecT(n, a, b); }

// =========================================================================================
// Covariance and correlation
// =========================================================================================

void Covariance(int n, int p, float** in, float** out) { CovarianceT<float, float, float>(n, p, in, out); }
void Covariance(int n, int p, float** in, double** out) { CovarianceT<float, double, double>(n, p, in, out); }
void Covariance(int n, int p, double** in, double** out) {
    CovarianceT<double, double, double>(n, p, in, out);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) out[j][i] = out[i][j];
}

double Covariance2VecMV(int n, double* a, double* b) {
    if (n < 1) return 0.0;
    auto both = [&](int k) { return IsPresent(a[k]) && IsPresent(b[k]); };
    int c = 0;
    double ma = MeanOf<double>(n, [&](int k) { return both(k) ? a[k] : -999.0; }, true, &c);
    double mb = MeanOf<double>(n, [&](int k) { return both(k) ? b[k] : -999.0; }, true);
    double div = NonZero(double(c - 1));
    double s = 0.0;
    for (int k = 0; k < n; k++)
        if (both(k)) s += (a[k] - ma) * (b[k] - mb) / div;
    return s;
}

void CovarianceMV(int n, int p, double** in, double** out) {
    if (HasMissing(n, p, in)) {
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) out[i][j] = Covariance2VecMV(p, in[i], in[j]);
        return;
    }
    // No missing value: scaled centring, then the test-free product loop (a centred value
    // that equals -999 must not be taken for a missing one).
    double** w = dim2Double(n, p);
    CenterRowsCovMV(n, p, in, w);
    CrossProductT<double, double, double, false>(n, p, w, out);
    free2D((void**)w, n);
}

void CorrelationMV(int n, int p, double** in, double** out) {
    if (HasMissing(n, p, in)) {
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) out[i][j] = Correlation2VecMV(p, in[i], in[j]);
        return;
    }
    // No missing value: centre, normalise and multiply with the test-free routines. A
    // constant row centres to zeros and keeps length 0, giving 0 correlations (diagonal too).
    double** w = dim2Double(n, p);
    CenterRows(n, p, in, w);
    NormalizeRows(n, p, w, w);
    CrossProductT<double, double, double, false>(n, p, w, out);
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) out[i][j] = ClampCorrelation(out[i][j]);
    free2D((void**)w, n);
}

double Correlation2VecMV(int n, float* a, float* b) {
    return Correlation2VecMVT(n, a, b, [](int) { return true; });
}
double Correlation2VecMV(int n, double* a, double* b) {
    return Correlation2VecMVT(n, a, b, [](int) { return true; });
}
double Correlation2VecSelectMV(int n, double* a, double* b, int* mask) {
    return Correlation2VecMVT(n, a, b, [mask](int k) { return mask[k] == 1; });
}

float Correlation2Vec(int n, float* a, float* b) { return Correlation2VecT<float, float>(n, a, b); }
double Correlation2Vec(int n, double* a, double* b) { return Correlation2VecT<double, double>(n, a, b); }

void Correlation(int n, float** C, float** R) { CorrelationT(n, C, R); }
void Correlation(int n, double** C, double** R) { CorrelationT(n, C, R); }

void CorrelationNeighbours(int n, double** C, double** R, int w) {
    for (int i = 0; i + w < n; i++) {
        int j = i + w;
        double r = 0.0;
        if (C[i][i] > 0 && C[j][j] > 0) r = C[i][j] / std::sqrt(C[i][i] * C[j][j]);
        R[i][j] = ClampCorrelation(r);
    }
    for (int i = 0; i < n; i++) R[i][i] = 1.0;
}

void CorrelationPartition(int nA, int nB, int p, float** in, float** out) {
    CorrelationPartitionT(nA, nB, p, in, out);
}
void CorrelationPartition(int nA, int nB, int p, double** in, double** out) {
    CorrelationPartitionT(nA, nB, p, in, out);
}

// =========================================================================================
// Centring and normalising
// =========================================================================================

void CenterRows(int n, int p, float** in, float** out) { CenterT<float, float, false, false, false>(n, p, in, out); }
void CenterRows(int n, int p, double** in, double** out) { CenterT<double, double, false, false, false>(n, p, in, out); }
void CenterCols(int n, int p, float** in, float** out) { CenterT<float, float, true, false, false>(n, p, in, out); }
void CenterCols(int n, int p, double** in, double** out) { CenterT<double, double, true, false, false>(n, p, in, out); }
void CenterCols(int n, int p, float** in, double** out) { CenterT<float, double, true, false, true>(n, p, in, out); }
void CenterVector(int n, float* in, float* out) { CenterVectorT(n, in, out); }
void CenterVector(int n, double* in, double* out) { CenterVectorT(n, in, out); }

void CenterRowsMV(int n, int p, float** in, float** out) { CenterT<float, float, false, true, false>(n, p, in, out); }
void CenterRowsMV(int n, int p, double** in, double** out) { CenterT<double, double, false, true, false>(n, p, in, out); }
void CenterColsMV(int n, int p, float** in, float** out) { CenterT<float, float, true, true, false>(n, p, in, out); }
void CenterColsMV(int n, int p, double** in, double** out) { CenterT<double, double, true, true, false>(n, p, in, out); }
void CenterColsMV(int n, int p, float** in, double** out) { CenterT<float, double, true, true, true>(n, p, in, out); }

void CenterRowsCovMV(int n, int p, float** in, float** out) { CenterCovT<float, false, true>(n, p, in, out); }
void CenterRowsCovMV(int n, int p, double** in, double** out) { CenterCovT<double, false, false>(n, p, in, out); }
void CenterColsCovMV(int n, int p, float** in, float** out) { CenterCovT<float, true, true>(n, p, in, out); }
void CenterColsCovMV(int n, int p, double** in, double** out) { CenterCovT<double, true, true>(n, p, in, out); }

void NormalizeRows(int n, int p, float** in, float** out) { NormalizeT<float, false, false>(n, p, in, out); }
void NormalizeRows(int n, int p, double** in, double** out) { NormalizeT<double, false, false>(n, p, in, out); }
void NormalizeCols(int n, int p, float** in, float** out) { NormalizeT<float, true, false>(n, p, in, out); }
void NormalizeCols(int n, int p, double** in, double** out) { NormalizeT<double, true, false>(n, p, in, out); }
void NormalizeVector(int n, float* in, float* out) { NormalizeVectorT(n, in, out); }
void NormalizeVector(int n, double* in, double* out) { NormalizeVectorT(n, in, out); }
void NormalizeRowsMV(int n, int p, float** in, float** out) { NormalizeT<float, false, true>(n, p, in, out); }
void NormalizeRowsMV(int n, int p, double** in, double** out) { NormalizeT<double, false, true>(n, p, in, out); }
void NormalizeColsMV(int n, int p, float** in, float** out) { NormalizeT<float, true, true>(n, p, in, out); }
void NormalizeColsMV(int n, int p, double** in, double** out) { NormalizeT<double, true, true>(n, p, in, out); }
