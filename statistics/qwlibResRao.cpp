// Rao quadratic entropy, profile deviations, Renyi entropy of vectors and the occurrence-based
// diversities of a species-by-community table.
#include <cmath>
#include <cstdio>

#include "statistics/qwlibRes.h"
#include "statistics/qwlibResInternal.h"

using qwres::Scratch;
using qwres::ScratchVec;

namespace {

// ---------------------------------------------------------------- Rao

// How a cell of M becomes a dissimilarity d. The float-matrix forms compute a derived d in
// single precision (TM = float) and widen it; a plain dissimilarity is taken exactly.
enum class DForm { Plain, Root, Complement, RootComplement };

template <class TM>
double DOf(TM m, DForm f) {
    switch (f) {
        case DForm::Plain:
            return double(m);
        case DForm::Root:
            return double(TM(std::sqrt(m)));
        case DForm::Complement:
            return double(TM(TM(1) - m));
        case DForm::RootComplement: {
            // A similarity a rounding step above 1 is identity, not NaN.
            TM c = TM(1) - m;
            return double(TM(std::sqrt(c > TM(0) ? c : TM(0))));
        }
    }
    return 0.0;
}

DForm FormOf(bool dissimilarity, bool squareRoot) {
    if (dissimilarity) return squareRoot ? DForm::Root : DForm::Plain;
    return squareRoot ? DForm::RootComplement : DForm::Complement;
}

// Total of the present abundances, in double (x read in its own precision).
template <class TX>
double PresentTotal(int n, const TX* x) {
    double t = 0;
    for (int i = 0; i < n; i++)
        if (IsPresent(x[i])) t += double(x[i]);
    return t;
}

// Q = sum p_i p_j d_ij over all n x n cells; M null gives the Gini-Simpson form.
template <class TX, class TM>
double RaoT(int n, TX* x, TM** M, DForm form) {
    if (n < 1) return 0.0;
    double t = PresentTotal(n, x);
    if (M && n >= 2)
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) M[j][i] = M[i][j];
    if (!(t > 0.0)) return 0.0;
    double q = 0.0;
    for (int i = 0; i < n; i++) {
        if (IsMissing(x[i])) continue;
        for (int j = 0; j < n; j++) {
            if (IsMissing(x[j])) continue;
            double d;
            if (!M) {
                d = i == j ? 0.0 : 1.0;
            } else {
                if (IsMissing(M[i][j])) continue;
                d = DOf(M[i][j], form);
            }
            q += (double(x[j]) / t) * ((double(x[i]) / t) * d);
        }
    }
    return q;
}

// ---------------------------------------------------------------- entropy

// Renyi entropy of order a of x / sum(x); oneMinusA carries 1 - a in the caller's precision.
// code (may be null) receives -ln p for a = 1.
template <class T>
double EntropyT(int n, T* x, T a, T* code) {
    double t = 0;
    for (int i = 0; i < n; i++) t += double(x[i]);
    double s = 0;
    bool any = false;
    for (int i = 0; i < n; i++) {
        double p = double(x[i]) / t;
        if (!(p > 0.0)) continue;
        any = true;
        if (a == T(1)) {
            s += p * std::log(p);
            if (code) code[i] = T(-std::log(p));
        } else {
            s += std::pow(p, double(a));
        }
    }
    // No positive share: no diversity (rather than the logarithm of 0).
    if (!any) return 0.0;
    if (a == T(1)) return std::fabs(s);
    return std::log(s) / double(T(T(1) - a));
}

// Occurrences: f[i] = number of communities where species i is > 0; g[j] = number of species
// > 0 in community j.
void Occurrences(int n, int p, float** X, float* f, float* g) {
    for (int j = 0; j < p; j++) g[j] = 0;
    for (int i = 0; i < n; i++) {
        f[i] = 0;
        for (int j = 0; j < p; j++)
            if (X[i][j] > 0) {
                f[i] += 1;
                g[j] += 1;
            }
    }
}

// The first empty species row (1-based, checked before the columns) or community column
// prints its message; returns false then.
bool NoEmptyRowOrColumn(int n, int p, const float* f, const float* g, bool checkColumns) {
    for (int i = 0; i < n; i++)
        if (f[i] == 0) {
            std::printf("\nCheck species in row %d. It is completely absent!\n", i + 1);
            return false;
        }
    if (checkColumns)
        for (int j = 0; j < p; j++)
            if (g[j] == 0) {
                std::printf("\nCheck community in column %d. It is completely empty!\n", j + 1);
                return false;
            }
    return true;
}

// R is the output type; the float form divides by p in single precision.
template <class R>
int ValenceT(int n, int p, float** X, R* o1, R* o2, R* o3, R* o4, float a) {
    ScratchVec<float> f(n), g(p);
    Occurrences(n, p, X, f, g);
    if (!NoEmptyRowOrColumn(n, p, f, g, true)) {
        *o1 = *o2 = *o3 = *o4 = R(0);
        return 0;
    }
    *o1 = R(EntropyT<float>(n, f, a, nullptr));
    for (int i = 0; i < n; i++) f[i] = float(p) - f[i];
    *o3 = R(EntropyT<float>(n, f, a, nullptr));
    *o2 = R(EntropyT<float>(p, g, a, nullptr)) / R(p);
    for (int j = 0; j < p; j++) g[j] = float(n) - g[j];
    *o4 = R(EntropyT<float>(p, g, a, nullptr)) / R(p);
    return 1;
}

// Which of the four outputs of ValenceInvalence a wrapper returns (0 on the early stop).
double ValenceOutput(int n, int p, float** X, float a, int which) {
    double o[4];
    ValenceInvalence(n, p, X, &o[0], &o[1], &o[2], &o[3], a);
    return o[which];
}

}  // namespace

// ---------------------------------------------------------------- Rao

double RaoIndex(int n, double* x, double** M, bool dissimilarity, bool squareRoot) {
    return RaoT(n, x, M, FormOf(dissimilarity, squareRoot));
}
double RaoIndex(int n, double* x, float** M, bool dissimilarity, bool squareRoot) {
    return RaoT(n, x, M, FormOf(dissimilarity, squareRoot));
}
double RaoIndex(int n, double* x, std::nullptr_t, bool dissimilarity, bool squareRoot) {
    return RaoT(n, x, static_cast<float**>(nullptr), FormOf(dissimilarity, squareRoot));
}
double RaoIndex(int n, double* x, float** M, bool dissimilarity, bool squareRoot, bool noMatrix) {
    return RaoT(n, x, noMatrix ? nullptr : M, FormOf(dissimilarity, squareRoot));
}
double RaoIndex(int n, double* x, double** M, bool dissimilarity) {
    return RaoT(n, x, M, dissimilarity ? DForm::Plain : DForm::RootComplement);
}
double RaoIndex(int n, double* x, float** M, bool dissimilarity) {
    return RaoT(n, x, M, dissimilarity ? DForm::Plain : DForm::RootComplement);
}
double RaoIndex(int n, float* x, double** M, bool dissimilarity) {
    return RaoT(n, x, M, dissimilarity ? DForm::Plain : DForm::RootComplement);
}

double SumAbsDeviations(int n, double* a, double* b, bool squared) {
    if (n < 1) return 0.0;
    double ta = 0, tb = 0;
    for (int k = 0; k < n; k++) {
        ta += a[k];
        tb += b[k];
    }
    if (!(ta > 0.0) || !(tb > 0.0)) return 0.0;
    double d = 0;
    for (int k = 0; k < n; k++) {
        double e = std::fabs(a[k] / ta - b[k] / tb);
        d += squared ? e * e : e;
    }
    return 0.5 * d;
}

// ---------------------------------------------------------------- entropy

double EntropyVector(int n, float* x, float a) { return EntropyT(n, x, a, static_cast<float*>(nullptr)); }
double EntropyVector(int n, double* x, double a) { return EntropyT(n, x, a, static_cast<double*>(nullptr)); }
double EntropyVectorCodeLength(int n, float* x, float a, float* code) { return EntropyT(n, x, a, code); }
double EntropyVectorCodeLength(int n, double* x, double a, double* code) { return EntropyT(n, x, a, code); }

int ValenceInvalence(int n, int p, float** X, float* o1, float* o2, float* o3, float* o4, float a) {
    return ValenceT(n, p, X, o1, o2, o3, o4, a);
}
int ValenceInvalence(int n, int p, float** X, double* o1, double* o2, double* o3, double* o4,
                     float a) {
    return ValenceT(n, p, X, o1, o2, o3, o4, a);
}

double LocalValence(int n, int p, float** X, float a) { return ValenceOutput(n, p, X, a, 0); }
double FloristicValence(int n, int p, float** X, float a) { return ValenceOutput(n, p, X, a, 1); }
double LocalInvalence(int n, int p, float** X, float a) { return ValenceOutput(n, p, X, a, 2); }
double FloristicInvalence(int n, int p, float** X, float a) { return ValenceOutput(n, p, X, a, 3); }

double LocalDistinctiveness(int n, int p, float** X, float a) {
    if (n < 1) return 0.0;
    ScratchVec<float> f(n), g(p);
    Occurrences(n, p, X, f, g);
    if (!NoEmptyRowOrColumn(n, p, f, g, false)) return 0.0;
    double s = 0;
    for (int i = 0; i < n; i++) {
        float pair[2] = {f[i], float(p) - f[i]};
        s += EntropyT<float>(2, pair, a, nullptr);
    }
    return s;
}

int FlorulaFrequencies(int n, int p, float** X, int* count, float* freq) {
    *count = 0;
    if (p < 1) return 1;
    Scratch<float> t(p, n);
    for (int j = 0; j < p; j++)
        for (int i = 0; i < n; i++) t[j][i] = X[i][j] > 0 ? 1.0f : X[i][j];
    ScratchVec<int> matched(p);
    for (int j = 0; j < p; j++) {
        freq[j] = 0;
        if (matched[j]) continue;
        for (int k = j; k < p; k++)
            if (!matched[k] && CompareVector(n, t[j], t[k])) {
                freq[j] += 1;
                matched[k] = 1;
            }
    }
    for (int j = 0; j < p; j++)
        if (freq[j] > 0) (*count)++;
    return 1;
}

double FlorulaDiversity(int n, int p, float** X, float a) {
    ScratchVec<float> freq(p);
    int count;
    FlorulaFrequencies(n, p, X, &count, freq);
    return EntropyT<float>(p, freq, a, nullptr);
}

int CompareVector(int n, float* a, float* b) {
    for (int i = 0; i < n; i++)
        if (!(a[i] == b[i])) return 0;
    return 1;
}
