// Beals smoothing of community tables: co-occurrence matrices, the smoothing in its plain,
// typed and general forms, and its permutation test.
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibPermut.h"
#include "statistics/qwlibRes.h"

namespace {

template <class T>
T** Matrix(int rows, int cols) {
    return static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), rows, cols)));
}

// Co-occurrence of species j and k over the samples where both are present: type 0 joint
// presences, 1 abundance of j where k is present, 2 cross products; any other type 0.
template <class T>
T CoOccurrence(int n, T** Y, int j, int k, int type) {
    T s = T(0);
    for (int i = 0; i < n; i++) {
        T a = Y[i][j], b = Y[i][k];
        if (IsMissing(a) || IsMissing(b)) continue;
        switch (type) {
            case 0: if (a > T(0) && b > T(0)) s += T(1); break;
            case 1: if (b > T(0)) s += a; break;
            case 2: s += a * b; break;
            default: break;
        }
    }
    return s;
}

template <class T>
void ConditionalProbT(int n, int p, T** Y, T** M, int type, bool rowUnitSum) {
    for (int j = 0; j < p; j++)
        for (int k = 0; k < p; k++) M[j][k] = CoOccurrence(n, Y, j, k, type);
    // Conditional values: each row divided by its own co-occurrence (the species' presences or
    // total abundance); a species absent everywhere keeps its row. Cross products stay as sums.
    if (type != 2)
        for (int j = 0; j < p; j++) {
            T d = M[j][j];
            if (d > T(0))
                for (int k = 0; k < p; k++)
                    if (k != j) M[j][k] /= d;
            M[j][j] = T(1);
        }
    if (rowUnitSum) UnitSumRowsAdjMV(p, p, M, M);
}

// The same for row t, column t and the diagonal of M only: the cells that change when column t
// of Y changes. Every other cell is kept, so with rowUnitSum unset the result equals the full
// computation on Y when M held that of a table differing from Y only in column t.
void ConditionalProbTarget(int t, int n, int p, double** Y, double** M, int type, bool rowUnitSum) {
    for (int j = 0; j < p; j++) {
        double d = CoOccurrence(n, Y, j, j, type);
        if (j != t) {
            double c = CoOccurrence(n, Y, j, t, type);
            M[j][t] = (type != 2 && d > 0) ? c / d : c;
        }
        M[j][j] = type != 2 ? 1.0 : d;
    }
    double d = CoOccurrence(n, Y, t, t, type);
    for (int k = 0; k < p; k++)
        if (k != t) {
            double c = CoOccurrence(n, Y, t, k, type);
            M[t][k] = (type != 2 && d > 0) ? c / d : c;
        }
    if (rowUnitSum) UnitSumRowsAdjMV(p, p, M, M);
}

// out[i][j] = sum over the species k present in sample i of R_ik g(W_kj), g(m) = m or, with
// odds, m / (1 - m). With correct, divided by 1 - R_ij (0 where the sample holds only j). A
// cell whose own relative abundance is missing stays missing.
template <class T>
void WeightedSums(int n, int p, T** R, T** W, T** out, bool odds, bool correct) {
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            if (IsMissing(R[i][j])) {
                out[i][j] = T(MissingValue);
                continue;
            }
            if (correct && R[i][j] == T(1)) {
                out[i][j] = T(0);
                continue;
            }
            T s = T(0);
            for (int k = 0; k < p; k++) {
                if (IsMissing(R[i][k])) continue;
                T m = W[k][j];
                s += R[i][k] * (odds ? m / (T(1) - m) : m);
            }
            out[i][j] = correct ? s / (T(1) - R[i][j]) : s;
        }
}

template <class T>
void ZeroDiagonal(int p, T** W) {
    for (int j = 0; j < p; j++) W[j][j] = T(0);
}

// Work space of a smoothing (relative abundances and conditional matrix), allocated once per
// call or per permutation test, so that a test's loop allocates nothing.
template <class T>
struct BealsWork {
    int n, p;
    T** R;
    T** W;
    BealsWork(int n_, int p_) : n(n_), p(p_), R(Matrix<T>(n_, p_)), W(Matrix<T>(p_, p_)) {}
    ~BealsWork() {
        free2D(R, n);
        free2D(W, p);
    }
    BealsWork(const BealsWork&) = delete;
    BealsWork& operator=(const BealsWork&) = delete;
};

// The 6- and 8-argument smoothing (odds only with rowUnitSum in the 8-argument form).
template <class T>
void BealsT(int n, int p, T** X, T** Y, T** out, bool useOwnValue, int type, bool rowUnitSum,
            bool odds, BealsWork<T>& w) {
    ConditionalProbT(n, p, Y, w.W, type, rowUnitSum);
    UnitSumRowsAdjMV(n, p, w.R, X);
    if (!useOwnValue) ZeroDiagonal(p, w.W);
    WeightedSums(n, p, w.R, w.W, out, odds && !useOwnValue, !useOwnValue);
}

template <class T>
void BealsT(int n, int p, T** X, T** Y, T** out, bool useOwnValue, int type, bool rowUnitSum,
            bool odds) {
    BealsWork<T> w(n, p);
    BealsT(n, p, X, Y, out, useOwnValue, type, rowUnitSum, odds, w);
}

// The general smoothing. With target, W starts from M and only the cells of species t are
// recomputed; the row scaling mixes every cell of a row, so with rowUnitSum W is built afresh.
// The product is always formed whole: the relative abundances of every sample whose column t
// changed change as well.
void GeneralBeals(int n, int p, double** X, double** Y, double** out, bool target, int t,
                  double** M, bool noCorrection, int type, bool rowUnitSum, BealsWork<double>& w) {
    UnitSumRowsAdjMV(n, p, w.R, X);
    if (target && M && !rowUnitSum && t >= 0 && t < p) {
        for (int j = 0; j < p; j++)
            for (int k = 0; k < p; k++) w.W[j][k] = M[j][k];
        ConditionalProbTarget(t, n, p, Y, w.W, type, false);
    } else {
        ConditionalProbT(n, p, Y, w.W, type, rowUnitSum);
        if (M && !target)
            for (int j = 0; j < p; j++)
                for (int k = 0; k < p; k++) M[j][k] = w.W[j][k];
    }
    if (!noCorrection) {
        ZeroDiagonal(p, w.W);
        if (rowUnitSum) UnitSumRowsAdjMV(p, p, w.W, w.W);
    }
    WeightedSums(n, p, w.R, w.W, out, false, !noCorrection);
}

// Column j of m into v.
template <class T>
void Column(int n, T** m, int j, T* v) {
    for (int i = 0; i < n; i++) v[i] = m[i][j];
}

// X with column j read through the permutation list (object list[i] in place of object i).
template <class T>
void PermuteColumn(int n, int p, T** X, int j, const int* list, T** Xp) {
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) Xp[i][k] = k == j ? X[list[i] - 1][j] : X[i][k];
}

void Progress(const char* fmt, int a, int b, int c, int d) {
    char text[96];
    std::snprintf(text, sizeof text, fmt, a, b, c, d);
    HandleEventInfoWhere2(text);
}

// The test's count rule: a permuted statistic counts when it is larger or within one
// single-precision step of the observed one.
inline bool AtLeast(double permuted, double observed) {
    return permuted > observed || AlmostEqual2sComplement(permuted, observed, 1);
}

// Float statistic of species j: mean smoothed value over the samples holding j minus the mean
// over the other samples where j is recorded (0 when either group is empty).
float PresenceContrast(int n, float* x, float* b) {
    float in = 0.0f, out = 0.0f;
    int nIn = 0, nOut = 0;
    for (int i = 0; i < n; i++) {
        if (IsMissing(x[i]) || IsMissing(b[i])) continue;
        if (x[i] > 0.0f) {
            in += b[i];
            nIn++;
        } else {
            out += b[i];
            nOut++;
        }
    }
    if (nIn == 0 || nOut == 0) return 0.0f;
    return in / float(nIn) - out / float(nOut);
}


// Buffers of a permutation test: the two smoothings of the observed table, the permuted table
// and its smoothing, two columns, the mask and the list; allocated once for all species.
template <class T>
struct TestWork {
    int n;
    T** A;
    T** B;
    T** Xp;
    T** Bp;
    T* x;
    T* b;
    int* mask;
    int* list;
    TestWork(int n_, int p)
        : n(n_), A(Matrix<T>(n_, p)), B(Matrix<T>(n_, p)), Xp(Matrix<T>(n_, p)), Bp(Matrix<T>(n_, p)),
          x(static_cast<T*>(dim1D(sizeof(T), n_))), b(static_cast<T*>(dim1D(sizeof(T), n_))),
          mask(dim1Dint(n_)), list(dim1Dint(n_)) {}
    ~TestWork() {
        for (T** m : {A, B, Xp, Bp}) free2D(m, n);
        free1D(x);
        free1D(b);
        free1D(mask);
        free1D(list);
    }
    TestWork(const TestWork&) = delete;
    TestWork& operator=(const TestWork&) = delete;
};

// For each species j: the mask, the observed statistic of X's column against B's, and
// P[j] = (1 + the permutations whose statistic is at least as large) / N, each permutation
// moving column j among the masked samples and smoothing the permuted table again.
template <class T, class InMask, class Statistic, class Smooth, class Show>
void SpeciesTests(int n, int p, int N, T** X, TestWork<T>& t, double* observed, double* P,
                  InMask inMask, Statistic statistic, Smooth smooth, Show show) {
    for (int j = 0; j < p; j++) {
        for (int i = 0; i < n; i++) t.mask[i] = inMask(i, j) ? 1 : 0;
        Column(n, X, j, t.x);
        Column(n, t.B, j, t.b);
        observed[j] = statistic(t.x, t.b, t.mask);
        P[j] = 1.0;
        for (int perm = 2; perm <= N; perm++) {
            show(j, perm);
            for (int i = 0; i < n; i++) t.list[i] = i + 1;
            RndListSelect(n, t.list, t.mask);
            PermuteColumn(n, p, X, j, t.list, t.Xp);
            smooth(j, t.Xp, t.Bp);
            Column(n, t.Xp, j, t.x);
            Column(n, t.Bp, j, t.b);
            if (AtLeast(statistic(t.x, t.b, t.mask), observed[j])) P[j] += 1.0;
        }
        P[j] /= N;
    }
}

}  // namespace

void ConditionalProb(int n, int p, float** Y, float** M) { ConditionalProbT(n, p, Y, M, 1, false); }
void ConditionalProb(int n, int p, double** Y, double** M) { ConditionalProbT(n, p, Y, M, 1, false); }
void ConditionalProb(int n, int p, float** Y, float** M, int type, bool rowUnitSum) {
    ConditionalProbT(n, p, Y, M, type, rowUnitSum);
}
void ConditionalProb(int n, int p, double** Y, double** M, int type, bool rowUnitSum) {
    ConditionalProbT(n, p, Y, M, type, rowUnitSum);
}
void ConditionalProb(int t, int n, int p, double** Y, double** M, int type, bool rowUnitSum) {
    if (t < 0 || t >= p) return;
    ConditionalProbTarget(t, n, p, Y, M, type, rowUnitSum);
}

void BealsSmoothing(int n, int p, float** X, float** Y, float** out, bool useOwnValue) {
    BealsT(n, p, X, Y, out, useOwnValue, 1, false, false);
}
void BealsSmoothing(int n, int p, double** X, double** Y, double** out, bool useOwnValue) {
    BealsT(n, p, X, Y, out, useOwnValue, 1, false, false);
}
void BealsSmoothing(int n, int p, float** X, float** Y, float** out, bool useOwnValue, int type,
                    bool rowUnitSum) {
    BealsT(n, p, X, Y, out, useOwnValue, type, rowUnitSum, rowUnitSum);
}
void BealsSmoothing(int n, int p, double** X, double** Y, double** out, bool useOwnValue,
                    int type, bool rowUnitSum) {
    BealsT(n, p, X, Y, out, useOwnValue, type, rowUnitSum, rowUnitSum);
}

void BealsSmoothing(int n, int p, double** X, double** Y, double** out, bool target, int t,
                    double** M, bool noCorrection, int type, bool rowUnitSum) {
    BealsWork<double> w(n, p);
    GeneralBeals(n, p, X, Y, out, target, t, M, noCorrection, type, rowUnitSum, w);
}

void BealsTest(int n, int p, int N, double** X, double* r, double* P, int type, bool rowUnitSum) {
    BealsWork<double> w(n, p);
    TestWork<double> t(n, p);
    double** M = Matrix<double>(p, p);
    GeneralBeals(n, p, X, X, t.A, false, 0, nullptr, true, type, rowUnitSum, w);
    GeneralBeals(n, p, X, X, t.B, false, 0, M, false, type, rowUnitSum, w);
    SpeciesTests(
        n, p, N, X, t, r, P,
        [&](int i, int j) { return !AlmostEqual2sComplement(t.A[i][j], 0.0, 1) && IsPresent(X[i][j]); },
        [&](double* x, double* b, int* mask) { return Correlation2VecSelectMV(n, x, b, mask); },
        [&](int j, double** Xp, double** Bp) { GeneralBeals(n, p, Xp, Xp, Bp, true, j, M, false, type, rowUnitSum, w); },
        [&](int j, int perm) { Progress("Taxon: %d %d Permutation: %d %d", p, j + 1, N, perm); });
    free2D(M, p);
}

void BealsTest(int n, int p, int N, float** X, double* statistic, double* P) {
    BealsWork<float> w(n, p);
    TestWork<float> t(n, p);
    BealsT(n, p, X, X, t.A, true, 1, false, false, w);
    BealsT(n, p, X, X, t.B, false, 1, false, false, w);
    SpeciesTests(
        n, p, N, X, t, statistic, P,
        [&](int i, int j) { return IsPresent(X[i][j]) && t.A[i][j] > 0.0f; },
        [&](float* x, float* b, int*) { return double(PresenceContrast(n, x, b)); },
        [&](int, float** Xp, float** Bp) { BealsT(n, p, Xp, Xp, Bp, false, 1, false, false, w); },
        [&](int, int perm) { Progress("Permutation: %d %d", N, perm, 0, 0); });
}
