// Random tables with a prescribed correlation structure (through the Cholesky factor of a
// correlation matrix) or a prescribed eigenvalue spectrum of their correlation matrix.
#include "matrix/qwlib.h"

#include "foundation/nrutilQW.h"
#include "foundation/qwlibDim.h"
#include "matrix/qwlibInternal.h"
#include "statistics/qwlibRes.h"

#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

using qwmat::NewMatrix;
using qwmat::NewVector;

// One cell drawn by its distribution code; otherGaussian says what an unknown code draws.
double DrawCell(int dist, bool otherGaussian)
{
    switch (dist) {
    case 1: return gsl_rng_uniform(r) - 0.5;
    case 2: return gsl_ran_gaussian(r, 1.0);
    case 5: return gsl_ran_lognormal(r, 0.0, 1.0);
    case 7: return gsl_ran_exponential(r, 1.0);
    case 8: {
        const double e = gsl_ran_exponential(r, 1.0);
        return e * e * e;
    }
    default: return otherGaussian ? gsl_ran_gaussian(r, 1.0) : gsl_rng_uniform(r) - 0.5;
    }
}

// U (p x p) = the transposed Cholesky factor of corr, zero below the diagonal. corr is
// factorised on a copy, so the caller's matrix is never changed. False when corr is not
// positive definite.
template <class T>
bool UpperCholesky(int p, T** corr, T** U)
{
    T** work = NewMatrix<T>(p, p);
    T* diag = NewVector<T>(p);
    for (int i = 0; i < p; i++)
        for (int j = 0; j < p; j++) work[i][j] = corr[i][j];
    const bool ok = choldc(work, p, diag) == 1;
    if (ok)
        for (int i = 0; i < p; i++) {
            U[i][i] = diag[i];
            for (int j = 0; j < p; j++)
                if (j != i) U[i][j] = j > i ? work[j][i] : T(0);
        }
    free1D(diag);
    free2D(work, p);
    return ok;
}

// out (n x p) = Z U with Z drawn row by row.
template <class T>
bool CorrelatedDraws(int n, int p, T** corr, T** out, int dist)
{
    T** U = NewMatrix<T>(p, p);
    T** Z = NewMatrix<T>(n, p);
    const bool ok = UpperCholesky(p, corr, U);
    if (ok) {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) Z[i][j] = T(DrawCell(dist, true));
        MatrixProd(n, p, p, p, Z, U, out);
    }
    free2D(Z, n);
    free2D(U, p);
    return ok;
}

// C (p x p, both triangles) = Z Z' of the p rows of Z over n columns, summed in double; the
// double fits leave -999 terms out.
template <class T>
void RowCrossProducts(int p, int n, T** Z, T** C, bool skipMissing)
{
    for (int j = 0; j < p; j++)
        for (int k = j; k < p; k++) {
            const double s = skipMissing ? CrossProduct2VecMV(n, Z[j], Z[k])
                                         : CrossProduct2Vec(n, Z[j], Z[k]);
            C[j][k] = C[k][j] = T(s);
        }
}

// Rows of A to unit length (a zero row stays 0).
template <class T>
void UnitRows(int rows, int cols, T** A)
{
    for (int k = 0; k < rows; k++) {
        double ss = 0.0;
        for (int i = 0; i < cols; i++) ss += double(A[k][i]) * A[k][i];
        if (ss > 0.0) {
            const double f = 1.0 / std::sqrt(ss);
            for (int i = 0; i < cols; i++) A[k][i] = T(A[k][i] * f);
        }
    }
}

// Correlation matrix R (p x p, both triangles, unit diagonal) of the columns of Y (n x p).
template <class T>
void ColumnCorrelation(int n, int p, T** Y, T** R)
{
    T** Z = NewMatrix<T>(p, n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) Z[j][i] = Y[i][j];
    CenterRows(p, n, Z, Z);
    NormalizeRows(p, n, Z, Z);
    RowCrossProducts(p, n, Z, R, false);
    for (int j = 0; j < p; j++) R[j][j] = T(1);
    free2D(Z, p);
}

template <class T>
using EigenFn = bool (*)(int, T**, T**, T*);

// Eigenvalues of the correlation matrix of the columns of Y (n x p); R and vec when wanted.
template <class T>
void CorrelationSpectrum(int n, int p, T** Y, EigenFn<T> eigen, T* eig, T** R, T** vec)
{
    T** Rw = R ? R : NewMatrix<T>(p, p);
    T** V = vec ? vec : NewMatrix<T>(p, p);
    ColumnCorrelation(n, p, Y, Rw);
    eigen(p, Rw, V, eig);
    if (!vec) free2D(V, p);
    if (!R) free2D(Rw, p);
}

// Targets that a correlation matrix of p variables can have: non-negative, summing to p. The
// eigenvalues of a correlation matrix sum to p exactly, so a sum farther from p than half the
// fit's threshold could never be reached and is refused before any draw.
template <class T>
bool FeasibleTargets(int p, const T* target, double maxOff)
{
    double sum = 0.0;
    for (int k = 0; k < p; k++) {
        if (!(target[k] >= T(0))) return false;
        sum += target[k];
    }
    return std::fabs(sum - p) <= maxOff;
}

// How an eigenvalue fit stops: a fixed threshold (float forms) or the relaxing one.
struct FitRule {
    double threshold;
    bool relax;              // multiply by 10 after 30 passes without reaching it, at most twice
    const char* message;     // printed with the new threshold at each relaxation
    bool skipMissing;        // cross products leave -999 terms out
};

const int kMaxPasses = 1000;

// Half the largest threshold a fit can reach: the most by which the targets may miss p.
double TargetSlack(const FitRule& rule) { return (rule.relax ? rule.threshold * 100.0 : rule.threshold) / 2; }

// The eigenvalue fit on n rows; the fitted table goes to Y (n x p). The workspace is
// allocated once for all passes.
template <class T>
bool FitEigenvalues(int n, int p, const T* target, int dist, EigenFn<T> eigen, FitRule rule,
                    T** Y)
{
    T** Z = NewMatrix<T>(p, n);
    T** C = NewMatrix<T>(p, p);
    T** V = NewMatrix<T>(p, p);
    T** W = NewMatrix<T>(p, n);
    T* c = NewVector<T>(p);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) Z[j][i] = T(DrawCell(dist, false));

    double threshold = rule.threshold;
    int sinceChange = 0, changes = 0;
    bool converged = false;
    for (int pass = 0; pass < kMaxPasses && !converged; pass++) {
        CenterRows(p, n, Z, Z);
        NormalizeRows(p, n, Z, Z);
        RowCrossProducts(p, n, Z, C, rule.skipMissing);
        eigen(p, C, V, c);
        UnitRows(p, p, V);
        double diff = 0.0;
        for (int k = 0; k < p; k++) diff += std::fabs(double(c[k]) - target[k]);
        if (std::isnan(diff)) break;
        // Projections on the current axes, rescaled to the target spread, rotated back.
        for (int k = 0; k < p; k++)
            for (int i = 0; i < n; i++) {
                double s = 0.0;
                for (int j = 0; j < p; j++) s += double(V[k][j]) * Z[j][i];
                W[k][i] = T(s);
            }
        UnitRows(p, n, W);
        for (int k = 0; k < p; k++) {
            const T f = T(std::sqrt(double(target[k])));
            for (int i = 0; i < n; i++) W[k][i] *= f;
        }
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) {
                double s = 0.0;
                for (int k = 0; k < p; k++) s += double(W[k][i]) * V[k][j];
                Y[i][j] = T(s);
                Z[j][i] = Y[i][j];
            }
        converged = diff <= threshold;
        if (!converged && rule.relax && ++sinceChange >= 30 && changes < 2) {
            threshold *= 10.0;
            changes++;
            sinceChange = 0;
            printf(rule.message, threshold);
        }
    }
    free1D(c);
    free2D(W, p);
    free2D(V, p);
    free2D(C, p);
    free2D(Z, p);
    return converged;
}

template <class T>
void CopyRows(int rows, int p, T** from, T** to)
{
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < p; j++) to[i][j] = from[i][j];
}

// The fit and its outputs: out = the first nOut rows (noise added when noise > 0), all = the
// n rows, and the spectrum, correlation and vectors of all rows (statsOfAll) or of the nOut
// rows.
template <class T>
bool EigenFitOutputs(int n, int nOut, int p, T* target, T** out, T* eigOut, int dist,
                     T** all, T** corrOut, T** vecOut, double noise, EigenFn<T> eigen,
                     FitRule rule, bool statsOfAll)
{
    if (n < 2 || p < 1 || !FeasibleTargets(p, target, TargetSlack(rule))) return false;
    if (nOut > n) nOut = n;
    T** Y = NewMatrix<T>(n, p);
    const bool ok = FitEigenvalues(n, p, target, dist, eigen, rule, Y);
    if (ok) {
        CopyRows(nOut, p, Y, out);
        if (all) CopyRows(n, p, Y, all);
        CorrelationSpectrum(statsOfAll ? n : nOut, p, Y, eigen, eigOut, corrOut, vecOut);
        if (noise > 0.0)
            for (int i = 0; i < nOut; i++)
                for (int j = 0; j < p; j++) out[i][j] = T(out[i][j] + gsl_ran_gaussian(r, noise));
    }
    free2D(Y, n);
    return ok;
}

const FitRule kFloatRule = {0.0001, false, nullptr, false};
const FitRule kDoubleRule = {1e-5, true, "\n\nLack of convergence. Bias threshold REDUCED TO %g\n", true};
const FitRule kNoiseRule = {1e-5, true, "\n\nLack of convergence. Bias threshold INCREASED TO %g\n", true};

bool TridiagonalEigen(int n, float** A, float** vec, float* val) { return EigenHouseholderQL(n, A, vec, val); }

// Table of n rows with exactly the correlation corr among its p columns (identity when corr
// is null): draws (p x n, unit by unit), centred and normalised rows, then whitened by the
// eigen-decomposition of their cross products and coloured by U.
bool ExactCorrelation(int n, int p, float** corr, float** out, int dist, bool uniformOnly)
{
    if (p < 1 || n <= p) return false;
    float** U = NewMatrix<float>(p, p);
    if (corr) {
        if (!UpperCholesky(p, corr, U)) {
            free2D(U, p);
            return false;
        }
    } else {
        for (int k = 0; k < p; k++) U[k][k] = 1.0f;
    }
    float** Z = NewMatrix<float>(p, n);
    float** C = NewMatrix<float>(p, p);
    float** V = NewMatrix<float>(p, p);
    float** T = NewMatrix<float>(n, p);
    float* e = NewVector<float>(p);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++)
            Z[j][i] = float(uniformOnly ? gsl_rng_uniform(r) : (dist == 2 ? gsl_ran_gaussian(r, 1.0)
                                                                           : gsl_rng_uniform(r) - 0.5));
    CenterRows(p, n, Z, Z);
    NormalizeRows(p, n, Z, Z);
    RowCrossProducts(p, n, Z, C, false);
    EigenHouseholderQL(p, C, V, e);
    double positive = 0.0;
    for (int k = 0; k < p; k++)
        if (e[k] > 0) positive += e[k];
    int K = 0;
    for (int k = 0; k < p; k++)
        if (positive > 0 && 100.0 * e[k] / positive > 0.0001) K++;
    UnitRows(p, p, V);
    for (int k = 0; k < K; k++) {
        const double f = 1.0 / std::sqrt(double(e[k]));
        for (int i = 0; i < n; i++) {
            double s = 0.0;
            for (int j = 0; j < p; j++) s += double(V[k][j]) * Z[j][i];
            T[i][k] = float(s * f);
        }
    }
    // Fewer than p independent directions: the columns beyond K would stay 0.
    const bool ok = K == p;
    if (ok) MatrixProd(n, p, p, p, T, U, out);
    free1D(e);
    free2D(T, n);
    free2D(V, p);
    free2D(C, p);
    free2D(Z, p);
    free2D(U, p);
    return ok;
}

}  // namespace

bool CorrToData_New(int n, int p, float** corr, float** out, int dist) { return CorrelatedDraws(n, p, corr, out, dist); }
bool CorrToData_New(int n, int p, double** corr, double** out, int dist) { return CorrelatedDraws(n, p, corr, out, dist); }

bool CorrToData_BothRowsColumns(int n, int p, float** corrCols, float** corrRows, float** out, int dist)
{
    float** T = NewMatrix<float>(p, n);
    float** Tt = NewMatrix<float>(n, p);
    float** U = NewMatrix<float>(p, p);
    bool ok = CorrelatedDraws(p, n, corrRows, T, dist) && UpperCholesky(p, corrCols, U);
    if (ok) {
        TransposeMatrix(p, n, T, Tt);
        MatrixProd(n, p, p, p, Tt, U, out);
    }
    free2D(U, p);
    free2D(Tt, n);
    free2D(T, p);
    return ok;
}

bool CorrToData(int n, int p, float** corr, float** out, int dist) { return ExactCorrelation(n, p, corr, out, dist, false); }

bool SimZeroCorrData(int n, int p, float** out)
{
    InitRndNumberGenerator(static_cast<unsigned long>(time(nullptr)));
    return ExactCorrelation(n, p, nullptr, out, 0, true);
}

bool EigenToData(int n, int nOut, int p, int, float* eigTarget, float** out, float* eigOut, int dist)
{
    return EigenFitOutputs<float>(n, nOut, p, eigTarget, out, eigOut, dist, nullptr, nullptr, nullptr, 0.0,
                                  TridiagonalEigen, kFloatRule, false);
}

bool EigenToData(int n, int nOut, int p, int, float* eigTarget, float** out, float* eigOut, int dist,
                 float** all, float** corrOut)
{
    return EigenFitOutputs<float>(n, nOut, p, eigTarget, out, eigOut, dist, all, corrOut, nullptr, 0.0,
                                  EigenHouseholderQL_GSL, kFloatRule, true);
}

bool EigenToData_D(int n, int nOut, int p, int, double* eigTarget, double** out, double* eigOut, int dist,
                   double** all, double** corrOut)
{
    return EigenFitOutputs<double>(n, nOut, p, eigTarget, out, eigOut, dist, all, corrOut, nullptr, 0.0,
                                   EigenHouseholderQL_GSL_D, kDoubleRule, true);
}

bool EigenToData_D_Noise(int n, int nOut, int p, int, double* eigTarget, double** out, double* eigOut,
                         double** vecOut, int dist, double** all, double** corrOut, double noise)
{
    return EigenFitOutputs<double>(n, nOut, p, eigTarget, out, eigOut, dist, all, corrOut, vecOut, noise,
                                   EigenHouseholderQL_GSL_D, kNoiseRule, true);
}

bool EigenToData_MixedProc(int n, int nOut, int p, int, float* eigTarget, float** out, float* eigOut,
                           float** corrOut, int dist)
{
    if (n < 2 || p < 1 || !FeasibleTargets(p, eigTarget, TargetSlack(kFloatRule))) return false;
    float** Y = NewMatrix<float>(n, p);
    float** R = NewMatrix<float>(p, p);
    bool ok = FitEigenvalues<float>(n, p, eigTarget, dist, EigenHouseholderQL_GSL, kFloatRule, Y);
    if (ok) {
        ColumnCorrelation(n, p, Y, R);
        if (corrOut) CopyRows(p, p, R, corrOut);
        ok = CorrelatedDraws(nOut, p, R, out, dist);
    }
    if (ok) CorrelationSpectrum<float>(nOut, p, out, EigenHouseholderQL_GSL, eigOut, nullptr, nullptr);
    free2D(R, p);
    free2D(Y, n);
    return ok;
}
