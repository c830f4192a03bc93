// Statistics on eigenvalue spectra (broken stick, Bartlett's test, RVDIM, pseudo-F, the
// correlation of two spectra), the analysis of concentration of a contingency table and the
// permutation tests of ordination axes.
#include "matrix/qwlib.h"

#include "foundation/MemoryStream.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/qwlibInternal.h"
#include "statistics/qwlibRes.h"

#include <gsl/gsl_cdf.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

namespace {

using qwmat::NewMatrix;

// The counts of axes here may come out below 0 for degenerate tables (fewer rows or columns
// than the axes they lose); such a count gives an empty vector, not an allocation error.
template <class T>
T* NewVector(int n)
{
    return qwmat::NewVector<T>(n > 0 ? n : 0);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A quotient whose denominator is 0 is undefined.
inline double Ratio(double num, double den) { return den == 0.0 ? kNaN : num / den; }

template <class T>
double BartlettT(int k, const T* eig, int n, int m)
{
    const int q = m - k + 1;
    if (q < 1) return kNaN;
    // ln 1e-10 stands in for the logarithm of an eigenvalue that is not positive.
    const double kTiny = 1e-10, kLnTiny = -23.025850929940457;
    double s = 0.0, L = 0.0;
    for (int j = k - 1; j < m; j++) {
        const double e = eig[j];
        if (e > 0.0) {
            s += e;
            L += std::log(e);
        } else {
            s += e + kTiny;
            L += kLnTiny;
        }
    }
    const double mean = s / q;
    if (!(mean > 0.0)) return kNaN;
    return (q * std::log(mean) - L) * (n - (2.0 * m + 11.0) / 6.0);
}

template <class T>
double BartlettProbT(int k, const T* eig, int n, int m)
{
    const int q = m - k + 1;
    const double u = BartlettT(k, eig, n, m);
    if (q < 2 || std::isnan(u)) return kNaN;
    // (q + 2)(q - 1) is even: the integer quotient is exact.
    const int df = (q + 2) * (q - 1) / 2;
    return gsl_cdf_chisq_Q(u, df);
}

template <class T>
double RvdimT(int p, int k, const T* eig)
{
    double ss = 0.0;
    for (int j = k - 1; j < p; j++) ss += double(eig[j]) * eig[j];
    return Ratio(eig[k - 1], std::sqrt(ss));
}

template <class T>
double PseudoFT(int p, int k, const T* eig)
{
    double s = 0.0;
    for (int j = k; j <= p - 2; j++) s += eig[j];
    return Ratio(eig[k - 1], s);
}

template <class T>
bool AocT(int n, int p, T** F, T* eig, T* chi, T** rowScores, T** colScores)
{
    // Totals and the roots of their products in single precision, in both forms.
    float* r = NewVector<float>(n);
    float* c = NewVector<float>(p);
    float total = 0.0f;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            r[i] += float(F[i][j]);
            c[j] += float(F[i][j]);
            total += float(F[i][j]);
        }
    if (total == 0.0f) {
        free1D(c);
        free1D(r);
        return false;
    }
    T** Q = NewMatrix<T>(n, p);
    T** S = NewMatrix<T>(n, n);
    T** V = NewMatrix<T>(n, n);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            const float rc = std::sqrt(r[i] * c[j]);
            Q[i][j] = rc == 0.0f ? T(0) : T(F[i][j] / T(rc) - T(rc) / T(total));
        }
    for (int a = 0; a < n; a++)
        for (int b = a; b < n; b++) {
            double s = 0.0;
            for (int j = 0; j < p; j++) s += double(Q[a][j]) * Q[b][j];
            S[a][b] = S[b][a] = T(s);
        }
    EigenHouseholderQL(n, S, V, eig);
    // Axes beyond the meaningful ones carry rounding noise only; dividing by its root would
    // blow their column scores up, so they score 0 like a non-positive eigenvalue.
    const int axes = int(EigenRank(n, eig));
    for (int k = 0; k < n; k++) {
        chi[k] = T(eig[k] * T(total));
        const bool axis = k < axes && eig[k] > T(0);
        for (int i = 0; i < n; i++)
            rowScores[k][i] = axis && r[i] != 0.0f ? T(std::sqrt(T(total) / T(r[i])) * V[k][i]) : T(0);
        for (int j = 0; j < p; j++) {
            colScores[k][j] = T(0);
            if (!axis || c[j] == 0.0f) continue;
            double s = 0.0;
            for (int i = 0; i < n; i++) s += double(F[i][j]) * rowScores[k][i];
            colScores[k][j] = T(s / (std::sqrt(double(eig[k])) * c[j]));
        }
    }
    free2D(V, n);
    free2D(S, n);
    free2D(Q, n);
    free1D(c);
    free1D(r);
    return true;
}

// ---------------------------------------------------------------- permutation tests

// The library calls of one precision.
void Transform(int n, int p, float** x, int scalar, int colAdj, int rowAdj)
{
    DataTransformationsLib(n, p, x, scalar, colAdj, rowAdj, n, p, false);
}
void Transform(int n, int p, double** x, int scalar, int colAdj, int rowAdj)
{
    DataTransformationsLib_D(n, p, x, scalar, colAdj, rowAdj, n, p);
}
void Ordinate(int n, int p, float** data, float** rese, float** vec, float** scores, int* nAxes, float* eig,
              int method, int code, int orient)
{
    bool ok = true;
    OrdinationLib(n, p, data, rese, vec, scores, nAxes, eig, &ok, method, code, orient);
}
void Ordinate(int n, int p, double** data, double** rese, double** vec, double** scores, int* nAxes,
              double* eig, int method, int code, int orient)
{
    bool ok = true;
    OrdinationLib_D(n, p, data, rese, vec, scores, nAxes, eig, &ok, method, code, orient);
}

// The progress line of a permutation test: label, the number asked for and the current one.
void ShowProgress(const char* label, int nPerm, int perm)
{
    char text[64];
    snprintf(text, sizeof text, "%s: %d %d", label, nPerm, perm);
    HandleEventInfoWhere2(text);
}

// Each column of from permuted independently into to (one list per column, in column order);
// the last list is left in list.
template <class T>
void PermuteColumns(int n, int p, T** from, T** to, int* list)
{
    for (int j = 0; j < p; j++) {
        RndList(n, list);
        for (int i = 0; i < n; i++) to[i][j] = from[list[i] - 1][j];
    }
}

// At least as large as the observed value, counting a value within one single-precision step
// as equal. An undefined value on either side never counts.
inline bool AtLeast(double rnd, double obs)
{
    if (std::isnan(rnd) || std::isnan(obs)) return false;
    return rnd > obs || AlmostEqual2sComplement(rnd, obs, 1);
}

// The report is built in memory and appended to "Prinda.txt" whole when the test ends. Memory
// refused, for the stream or for a write, raises code 1 and a failed append code 3 (after the
// message naming the file and the system's reason), the file left as it was; a file that cannot be
// opened gets nothing (after the opener's message).
struct Report {
    MemoryStream text;
    FILE* f = nullptr;  // the report's stream, nullptr when none is printed
    int digits = 6;

    explicit Report(bool on, int d) : digits(d)
    {
        if (on) f = text.OpenOrRaise();
    }
    void Flush()
    {
        if (!f) return;
        f = nullptr;
        text.CloseOrRaise();
        FILE* out = fopenck("Prinda.txt", nullptr, "a");
        if (out && !AppendWhole(out, text.data(), text.size())) {
            ExplainFileFailure("write", "Prinda.txt", errno);
            RaiseError(TNX_FAIL_TO_PRINT);
        }
    }
    void Dashes() { fprintf(f, "\n-------------------------------------------------------------------------------\n"); }
    void Date()
    {
        const time_t now = time(nullptr);
        fprintf(f, "%s", ctime(&now));
    }
    // Dash line, title, dash line, date.
    void Frame(const char* title)
    {
        Dashes();
        fprintf(f, "RANDOMIZATION TEST%s\n", title);
        Dashes();
        Date();
    }
    // The opening of a report: the frame, the count and the criterion.
    void Opening(int nPerm, const char* criterion)
    {
        Frame(": Data and results of each permutation");
        fprintf(f, "Number of permutations: %d\n", nPerm);
        fprintf(f, "%s", criterion);
        Dashes();
        fprintf(f, "Permutation 1:\n");
    }
    // The closing frame with the elapsed time and the count.
    void Closing(int nPerm, clock_t start)
    {
        Frame(": Final results");
        fprintf(f, "Elapsed time: %g seconds\n", double(difftime_Clock(static_cast<unsigned long>(start))));
        fprintf(f, "Number of permutations: %d\n", nPerm);
    }
    template <class T>
    void Values(int n, T* v) { PrintVectorTab(f, n, v, digits, nullptr); }
    // A result block: its heading, then the observed values and their probabilities.
    template <class A, class B>
    void Results(const char* heading, int n, A* observed, B* prob)
    {
        fprintf(f, "%s\nResults:\n", heading);
        Values(n, observed);
        Values(n, prob);
    }
    template <class T>
    void Table(int rows, int cols, T** m) { PrintMatrixTab(f, rows, cols, m, digits); }
    template <class T>
    void Axes(int nObj, int nAxes, T** scores, const char* caption)
    {
        fprintf(f, caption, nObj, nAxes);
        for (int k = 0; k < nAxes; k++) {
            fprintf(f, "Axis %d:       \t", k + 1);
            Values(nObj, scores[k]);
        }
    }
};

// Workspace of the permutation tests, allocated once before the permutations.
template <class T>
struct OrdinationWork {
    int n, p, nRese;
    T** raw;
    T** table;
    T** rese;
    T** vec;
    T** scores;
    T* eig;
    int* list;

    OrdinationWork(int n_, int p_, int nRese_)
        : n(n_), p(p_), nRese(nRese_), raw(NewMatrix<T>(n_, p_)), table(NewMatrix<T>(n_, p_)),
          rese(NewMatrix<T>(nRese_, nRese_)), vec(NewMatrix<T>(nRese_, nRese_)),
          scores(NewMatrix<T>(nRese_, n_ > p_ ? n_ : p_)), eig(NewVector<T>(nRese_)), list(NewVector<int>(n_)) {}
    ~OrdinationWork()
    {
        free1D(list);
        free1D(eig);
        free2D(scores, nRese);
        free2D(vec, nRese);
        free2D(rese, nRese);
        free2D(table, n);
        free2D(raw, n);
    }
    OrdinationWork(const OrdinationWork&) = delete;
    OrdinationWork& operator=(const OrdinationWork&) = delete;
};

template <class T, class P>
int EigenPermutationT(int n, int p, int nRese, int nObj, int nAxes, int nPerm, T** data, T* eigObs, int method,
                      int scalar, int colAdj, int rowAdj, int orient, int reseCode, int* varTypes, P par1,
                      P par2, bool gowerOpt, double* probEig, double* probF, double* belowMean, char print,
                      int digits)
{
    const clock_t start = clock();
    // Made before the vectors and put in its file after they are freed: its refusal leaves nothing.
    Report rep(print == 'y', digits);
    double* obsF = NewVector<double>(nAxes);
    double* rndF = NewVector<double>(nAxes);
    double* sumEig = NewVector<double>(nAxes);
    int* effective = NewVector<int>(nAxes);
    int* countEig = NewVector<int>(nAxes);
    int* countF = NewVector<int>(nAxes);
    for (int k = 0; k < nAxes; k++) obsF[k] = PseudoFT(nAxes, k + 1, eigObs);
    if (rep.f) {
        rep.Opening(nPerm, "Test criterion: eigenvalue itself (ter Voss 1988), pseudo-F ratio (ter Voss 1988)\n");
        rep.Table(n, p, data);
        fprintf(rep.f, "\nObserved eigenvalue in the data (axes 1 to %d):\t", nAxes);
        rep.Values(nAxes, obsF);
    }
    OrdinationWork<T> w(n, p, nRese);
    for (int perm = 2; perm <= nPerm; perm++) {
        ShowProgress("Permutation", nPerm, perm);
        PermuteColumns(n, p, data, w.raw, w.list);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) w.table[i][j] = w.raw[i][j];
        Transform(n, p, w.table, scalar, colAdj, rowAdj);
        ResemblanceLib(n, p, w.table, w.rese, orient, reseCode, 0, varTypes, double(par1), double(par2),
                       gowerOpt ? 1 : 0, false);
        int nRnd = 0;
        Ordinate(nRese, nObj, method == 3 ? w.raw : w.table, w.rese, w.vec, w.scores, &nRnd, w.eig, method,
                 reseCode, orient);
        const int kept = nRnd < nAxes ? nRnd : nAxes;
        for (int k = 0; k < nAxes; k++) rndF[k] = PseudoFT(nAxes, k + 1, w.eig);
        if (rep.f) {
            fprintf(rep.f, "Iteration: %d\n", perm);
            fprintf(rep.f, "Random data:\n");
            rep.Table(n, p, w.table);
            fprintf(rep.f, "Eigenvalues (first %d): ", kept);
            rep.Values(kept, w.eig);
            fprintf(rep.f, "\nSampling units:\t");
            PrintVectorTab(rep.f, n, w.list, nullptr);
            rep.Axes(nObj, kept, w.scores,
                     "\nScores of %d sampling units on the first %d bootstrap sample ordination axis(es): \n");
            fprintf(rep.f, "\nEigenvalue in the permuted data (axes 1 to %d):\t", kept);
            rep.Values(kept, rndF);
        }
        for (int k = 0; k < kept; k++) {
            effective[k]++;
            sumEig[k] += w.eig[k];
            if (AtLeast(w.eig[k], eigObs[k])) countEig[k]++;
            if (AtLeast(rndF[k], obsF[k])) countF[k]++;
        }
    }
    for (int k = 0; k < nAxes; k++) {
        probEig[k] = (1.0 + countEig[k]) / (1.0 + effective[k]);
        probF[k] = std::isnan(obsF[k]) ? kNaN : (1.0 + countF[k]) / (1.0 + effective[k]);
        const double mean = effective[k] > 0 ? sumEig[k] / effective[k] : kNaN;
        belowMean[k] = !(double(eigObs[k]) > mean) ? 1.0 : 0.0;
    }
    if (rep.f) {
        rep.Closing(nPerm, start);
        rep.Results("Eigenvalues and corresponding probabilities p(Eig_rnd >= Eig_obs) (ter Voss 1998)", nAxes,
                    eigObs, probEig);
        rep.Results("Pseudo-F ratios and corresponding probabilities p(Pseudo-F_rnd >= Pseudo-F_obs) (ter Voss 1998)",
                    nAxes, obsF, probF);
    }
    ClearLine();
    free1D(countF);
    free1D(countEig);
    free1D(effective);
    free1D(sumEig);
    free1D(rndF);
    free1D(obsF);
    rep.Flush();
    return 1;
}

template <class T, class P>
int RvdimPermutationT(int n, int p, int nDims, int nPerm, T** data, T** scores, T** vec, T* eig, int method,
                      int orient, int reseCode, int* varTypes, P par1, P par2, bool gowerOpt, double* rvdimObs,
                      double* prob, char print, int digits)
{
    const clock_t start = clock();
    const int nRese = orient == 2 ? p : n, nObj = orient == 2 ? n : p;
    // Made before the arrays and put in its file after they are freed: its refusal leaves nothing.
    Report rep(print == 'y', digits);
    int* effective = NewVector<int>(nDims);
    for (int d = 0; d < nDims; d++) {
        rvdimObs[d] = RvdimT(nDims, d + 1, eig);
        prob[d] = 1.0;
    }
    if (rep.f) {
        rep.Opening(nPerm, "Test criterion: RVDIM (Ossin 2008)\n");
        rep.Table(n, p, data);
    }
    // Layer d: the part of the table carried by axis d (scores of the objects times the
    // eigenvector over the descriptors); residual d: layers d and beyond.
    T*** residual = static_cast<T***>(static_cast<void*>(dim3D(sizeof(T), nDims, n, p)));
    T** layer = NewMatrix<T>(n, p);
    auto Layer = [&](int d) {
        if (orient == 2)
            VectorOuterProd(n, p, scores[d], vec[d], layer);
        else
            VectorOuterProd(n, p, vec[d], scores[d], layer);
    };
    for (int d = nDims - 1; d >= 0; d--) {
        Layer(d);
        MatrixSum(n, p, n, p, layer, residual[d + 1 < nDims ? d + 1 : d], residual[d], d + 1 < nDims ? 1 : 0);
    }
    if (rep.f)
        for (int d = 0; d < nDims; d++) {
            Layer(d);
            fprintf(rep.f, "Data matrix layer corresponding to dimension %d:\n", d + 1);
            rep.Table(n, p, layer);
            fprintf(rep.f, "Matrix of residuals corresponding to dimension %d:\n", d + 1);
            rep.Table(n, p, residual[d]);
        }
    if (rep.f) {
        fprintf(rep.f, "\nObserved RVDIM in the data (axes 1 to %d):\t", nDims);
        rep.Values(nDims, rvdimObs);
    }
    OrdinationWork<T> w(n, p, nRese);
    for (int perm = 2; perm <= nPerm; perm++) {
        ShowProgress("Permutation RVDIM", nPerm, perm);
        if (rep.f) fprintf(rep.f, "Iteration: %d\n", perm);
        for (int d = 0; d < nDims; d++) {
            PermuteColumns(n, p, residual[d], w.table, w.list);
            ResemblanceLib(n, p, w.table, w.rese, orient, 1, 0, varTypes, double(par1), double(par2),
                           gowerOpt ? 1 : 0, false);
            int nRnd = 0;
            Ordinate(nRese, nObj, w.table, w.rese, w.vec, w.scores, &nRnd, w.eig, method, reseCode, orient);
            const double rnd = nRnd > 0 ? RvdimT(nRnd, 1, w.eig) : kNaN;
            if (rep.f) {
                fprintf(rep.f, "Permuted residual matrix, for testing dimension %d:\n", d + 1);
                rep.Table(n, p, w.table);
                rep.Axes(nObj, nRnd, w.scores,
                         "\nScores of %d sampling units on the first %d permuted ordination axis(es) of permuted sample: \n");
                fprintf(rep.f, "RVDIM 1, computed with permuted residual matrix, for testing dimension %d:\t%g\n", d + 1,
                        rnd);
            }
            if (d < (nRnd < nDims ? nRnd : nDims)) {
                effective[d]++;
                if (AtLeast(rnd, rvdimObs[d])) prob[d] += 1.0;
            }
        }
    }
    for (int d = 0; d < nDims; d++) prob[d] = std::isnan(rvdimObs[d]) ? kNaN : prob[d] / (effective[d] + 1.0);
    if (rep.f) {
        rep.Closing(nPerm, start);
        fprintf(rep.f, "Number of effective permutations for each axis (specified number = %d permutations):\n", nPerm);
        for (int d = 0; d < nDims; d++) fprintf(rep.f, "Axis %d:\t%d\n", d + 1, effective[d] + 1);
        rep.Results("RVDIM and corresponding probabilities p(RVDIM_rnd >= RVDIM_obs) (Ossin 2008)", nDims, rvdimObs,
                    prob);
    }
    ClearLine();
    free2D(layer, n);
    free3D(residual, nDims, n);
    free1D(effective);
    rep.Flush();
    return 1;
}

}  // namespace

double BrokenStick(int k, int p)
{
    double s = 0.0;
    for (int j = k; j <= p; j++) s += 1.0 / j;
    return s / p;
}

double Bartlett_u(int, int k, double* eig, int n, int m) { return BartlettT(k, eig, n, m); }
double Bartlett_u(int, int k, float* eig, int n, int m) { return BartlettT(k, eig, n, m); }
double Bartlett_uProb(int, int k, float* eig, int n, int m) { return BartlettProbT(k, eig, n, m); }
double Bartlett_uProb(int, int k, double* eig, int n, int m) { return BartlettProbT(k, eig, n, m); }

double RVDIM(int p, int k, float* eig) { return RvdimT(p, k, eig); }
double RVDIM(int p, int k, double* eig) { return RvdimT(p, k, eig); }
double PseudoF_eig(int p, int k, double* eig) { return PseudoFT(p, k, eig); }
double PseudoF_eig(int p, int k, float* eig) { return PseudoFT(p, k, eig); }

float EigenCorrelation2Rese(int n, float** A, float** B)
{
    float** V = NewMatrix<float>(n, n);
    float* a = NewVector<float>(n);
    float* b = NewVector<float>(n);
    EigenHouseholderQL(n, A, V, a);
    EigenHouseholderQL(n, B, V, b);
    const int ra = int(EigenRank(n, a)), rb = int(EigenRank(n, b));
    const float r = Correlation2Vec(ra < rb ? ra : rb, a, b);
    free1D(b);
    free1D(a);
    free2D(V, n);
    return r;
}

bool AOC(int n, int p, float** F, float* eig, float* chi, float** rowScores, float** colScores)
{
    return AocT(n, p, F, eig, chi, rowScores, colScores);
}
bool AOC(int n, int p, double** F, double* eig, double* chi, double** rowScores, double** colScores)
{
    return AocT(n, p, F, eig, chi, rowScores, colScores);
}

int EigenPermutation(int n, int p, int nRese, int nObj, int nAxes, int nPerm, float** data, float**, float* eigObs,
                     int method, int scalar, int colAdj, int rowAdj, int orient, int reseCode, int* varTypes,
                     float par1, float par2, bool gowerOpt, double* probEig, double* probF, double* belowMean,
                     char print, int digits)
{
    return EigenPermutationT(n, p, nRese, nObj, nAxes, nPerm, data, eigObs, method, scalar, colAdj, rowAdj, orient,
                             reseCode, varTypes, par1, par2, gowerOpt, probEig, probF, belowMean, print, digits);
}
int EigenPermutation_D(int n, int p, int nRese, int nObj, int nAxes, int nPerm, double** data, double**,
                       double* eigObs, int method, int scalar, int colAdj, int rowAdj, int orient, int reseCode,
                       int* varTypes, double par1, double par2, bool gowerOpt, double* probEig, double* probF,
                       double* belowMean, char print, int digits)
{
    return EigenPermutationT(n, p, nRese, nObj, nAxes, nPerm, data, eigObs, method, scalar, colAdj, rowAdj, orient,
                             reseCode, varTypes, par1, par2, gowerOpt, probEig, probF, belowMean, print, digits);
}

int RVDIMPermutation(int n, int p, int nDims, int nPerm, float** data, float** scores, float** vec, float* eig,
                     int method, int, int, int, int orient, int reseCode, int* varTypes, float par1, float par2,
                     bool gowerOpt, double* rvdimObs, double* prob, char print, int digits)
{
    return RvdimPermutationT(n, p, nDims, nPerm, data, scores, vec, eig, method, orient, reseCode, varTypes, par1,
                             par2, gowerOpt, rvdimObs, prob, print, digits);
}
int RVDIMPermutation_D(int n, int p, int nDims, int nPerm, double** data, double** scores, double** vec,
                       double* eig, int method, int, int, int, int orient, int reseCode, int* varTypes,
                       double par1, double par2, bool gowerOpt, double* rvdimObs, double* prob, char print,
                       int digits)
{
    return RvdimPermutationT(n, p, nDims, nPerm, data, scores, vec, eig, method, orient, reseCode, varTypes, par1,
                             par2, gowerOpt, rvdimObs, prob, print, digits);
}
