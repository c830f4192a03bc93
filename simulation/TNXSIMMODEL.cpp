// Community assembly model: one simulated data set by dispersal, environmental filtering on
// traits, density-dependent establishment and mortality, and feedback of the community-weighted
// trait means on the ecosystem. Every random draw comes from the program's generator r, in a
// fixed order, so that a seed repeats a data set.
#include "simulation/TNXSIMMODEL.h"

#include <gsl/gsl_rng.h>

#include <cmath>
#include <cstdio>

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlib.h"
#include "matrix/qwlibSimData.h"
#include "session/model/TNXGLOB.h"
#include "simulation/TNXSIMREP.h"
#include "statistics/qwlibRes.h"

namespace {

// One uniform draw in [0, 1) of the shared generator.
double U01() { return gsl_rng_uniform(r); }

// Slopes of every OTU, then centres, each lo + u (hi - lo) (the order fixes the draws).
void DrawSlopesCentres(int s, double** table, int slopeCol, double a1, double a2, double c1, double c2) {
    for (int o = 0; o < s; o++) table[o][slopeCol] = a1 + U01() * (a2 - a1);
    for (int o = 0; o < s; o++) table[o][slopeCol + 1] = c1 + U01() * (c2 - c1);
}

// Writes W's n site rows with their abundances and total to CommunityData.txt.
void PrintCommunityStep(FILE* f, const AssemblyModel& m, int n, int s, int g, const char* when) {
    fprintf(f, "\nCommunity data matrix at step %d, %s mortality, for %d community sites in rows and %d OTUs in columns:\n",
            g, when, n, s);
    PrintMatrixTab(f, n, s, m.W, sDigits);
    fprintf(f, "\nAbundance in each community:\n");
    PrintVectorTab(f, n, m.a, nullptr);
    fprintf(f, "Total abundance:\t%d\n", m.total);
}

// The rows of the step files that list one value vector per site: "%d\t%d\t" (step, site) and
// the values of column k of the rows x n matrix.
void PrintSiteLines(FILE* f, int g, int n, int rows, double** m) {
    for (int k = 0; k < n; k++) {
        fprintf(f, "%d\t%d\t", g, k + 1);
        for (int t = 0; t < rows; t++) fprintf(f, "%g\t", m[t][k]);
        fprintf(f, "\n");
    }
}

// Centres and scales one vector of n values in place by the divisor sqrt(SS/n); a deviation
// of 0 or one that is not finite scales by 1.
template <class T>
void ZScoreInPlace(int n, T** m, int index, bool column) {
    auto cell = [&](int i) -> T& { return column ? m[i][index] : m[index][i]; };
    double sum = 0.0;
    for (int i = 0; i < n; i++) sum += cell(i);
    const double mean = n > 0 ? sum / n : 0.0;
    double ss = 0.0;
    for (int i = 0; i < n; i++) ss += (cell(i) - mean) * (cell(i) - mean);
    double sd = n > 0 ? std::sqrt(ss / n) : 0.0;
    if (!(sd > 0.0) || !std::isfinite(sd)) sd = 1.0;
    for (int i = 0; i < n; i++) cell(i) = static_cast<T>((cell(i) - mean) / sd);
}

}  // namespace

void AllocAssemblyModel(const AssemblySettings& set, AssemblyModel* m) {
    const int n = set.n, s = set.s, p = set.p, f = set.f, v = set.v;
    if (!m->B) m->B = dim2Dfloat(s, p);
    if (set.traitInput != 't' && !m->traitCorr) m->traitCorr = dim2Dfloat(p, p);
    if (set.traitInput == 'b' && !m->otuCorr) m->otuCorr = dim2Dfloat(s, s);
    if (set.envMode == 'c' && !m->factorCorr) m->factorCorr = dim2Double(f, f);
    if (!m->mean) m->mean = dim1Double(p);
    if (!m->sd) m->sd = dim1Double(p);
    if (!m->zmin) m->zmin = dim1Double(p);
    if (!m->zmax) m->zmax = dim1Double(p);
    if (!m->kernel) m->kernel = dim2Double(s, 3);
    if (!m->survival) m->survival = dim2Double(s, 2);
    if (!m->density) m->density = dim2Double(s, 2);
    if (!m->coords) m->coords = dim2Double(2, n);
    if (!m->D) m->D = dim2Double(n, n);
    if (!m->E) m->E = dim2Double(v, n);
    if (!m->E0) m->E0 = dim2Double(v, n);
    if (!m->A) m->A = dim2Double(p, v);
    if (!m->K) m->K = dim2Double(f, p);
    if (!m->considered) m->considered = dim1Dint(p);
    if (!m->W) m->W = dim2Double(n + 1, s);
    if (!m->a) m->a = dim1Dint(n);
    if (!m->Cstar) m->Cstar = dim2Double(p, n);
    if (!m->Dist) m->Dist = dim2Double(n, s);
    if (!m->S) m->S = dim2Double(n, s);
    if (!m->C) m->C = dim2Double(p, n);
    if (!m->Cprev) m->Cprev = dim2Double(p, n);
    if (!m->extrap) m->extrap = dim2Double(p, n);
    if (!m->richness) m->richness = dim1Dint(n);
    if (!m->colonisations) m->colonisations = dim1Dint(n);
    if (!m->extinctions) m->extinctions = dim1Dint(n);
    if (!m->Wr) m->Wr = dim2Double(n, s);
    if (!m->delta) m->delta = dim2Double(p, n);
    if (!m->work) m->work = dim2Double(n, f);
}

void FreeAssemblyModel(const AssemblySettings& set, AssemblyModel* m) {
    const int n = set.n, s = set.s, p = set.p, f = set.f, v = set.v;
    free2D(m->B, s);
    if (m->traitCorr) free2D(m->traitCorr, p);
    if (m->otuCorr) free2D(m->otuCorr, s);
    if (m->factorCorr) free2D(m->factorCorr, f);
    free1D(m->mean);
    free1D(m->sd);
    free1D(m->zmin);
    free1D(m->zmax);
    free2D(m->kernel, s);
    free2D(m->survival, s);
    free2D(m->density, s);
    free2D(m->coords, 2);
    free2D(m->D, n);
    free2D(m->E, v);
    free2D(m->E0, v);
    free2D(m->A, p);
    free2D(m->K, f);
    free1D(m->considered);
    free2D(m->W, n + 1);
    free1D(m->a);
    free2D(m->Cstar, p);
    free2D(m->Dist, n);
    free2D(m->S, n);
    free2D(m->C, p);
    free2D(m->Cprev, p);
    free2D(m->extrap, p);
    free1D(m->richness);
    free1D(m->colonisations);
    free1D(m->extinctions);
    free2D(m->Wr, n);
    free2D(m->delta, p);
    free2D(m->work, n);
    *m = AssemblyModel{};
}

double ScaledLogistic(double x, double loX, double hiX, double lo, double slope, double centre) {
    const double at = Logistic(x, loX, hiX, lo, 1.0, slope, centre);
    const double atLo = Logistic(loX, loX, hiX, lo, 1.0, slope, centre);
    const double atHi = Logistic(hiX, loX, hiX, lo, 1.0, slope, centre);
    const double span = atLo - atHi;
    // A flat curve (neutral slope, no range, lo = 1) filters nothing.
    if (span == 0.0 || !std::isfinite(span)) return 1.0;
    return (at - atHi) / span;
}

void FormInteractionRows(int f, int n, bool interactions, double** E) {
    if (!interactions || f < 2) return;
    int row = f;
    for (int i = 0; i < f; i++)
        for (int j = i + 1; j < f; j++, row++)
            for (int k = 0; k < n; k++) E[row][k] = E[i][k] * E[j][k];
}

void ScaleSiteDistances(int n, double** coords, double** D) {
    double largest = 0.0;
    for (int i = 0; i < n; i++) {
        D[i][i] = 0.0;
        for (int j = i + 1; j < n; j++) {
            const double dx = coords[0][i] - coords[0][j];
            const double dy = coords[1][i] - coords[1][j];
            D[i][j] = std::sqrt(dx * dx + dy * dy);
            if (D[i][j] > largest) largest = D[i][j];
        }
    }
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            // All sites at one location: every distance stays 0.
            if (largest > 0.0) D[i][j] /= largest;
            D[j][i] = D[i][j];
        }
}

namespace {

template <class T>
void StandardizeTraitsT(int s, int p, T** B, double* mean, double* sd, double* zmin, double* zmax) {
    double* column = dim1Double(s);
    for (int t = 0; t < p; t++) {
        for (int o = 0; o < s; o++) column[o] = B[o][t];
        MeanStDev(s, column, &mean[t], &sd[t]);
        ZScoreInPlace(s, B, t, true);
        double lo = s > 0 ? B[0][t] : 0.0, hi = lo;
        for (int o = 1; o < s; o++) {
            if (B[o][t] < lo) lo = B[o][t];
            if (B[o][t] > hi) hi = B[o][t];
        }
        zmin[t] = lo;
        zmax[t] = hi;
    }
    free1D(column);
}

}  // namespace

void StandardizeTraits(int s, int p, float** B, double* mean, double* sd, double* zmin, double* zmax) {
    StandardizeTraitsT(s, p, B, mean, sd, zmin, zmax);
}

void StandardizeTraits(int s, int p, double** B, double* mean, double* sd, double* zmin, double* zmax) {
    StandardizeTraitsT(s, p, B, mean, sd, zmin, zmax);
}

void StandardizeFactorRows(int f, int n, double** E) {
    for (int i = 0; i < f; i++) ZScoreInPlace(n, E, i, false);
}

bool PrepareDataSet(const AssemblySettings& set, AssemblyModel* m) {
    const int n = set.n, s = set.s, f = set.f, v = set.v;
    if (set.kernelMode == 'r')
        DrawSlopesCentres(s, m->kernel, 1, set.kernelSlope1, set.kernelSlope2, set.kernelCentre1, set.kernelCentre2);
    for (int o = 0; o < s; o++)
        m->kernel[o][0] = Logistic(1.0, 0.0, 1.0, set.lmin, 1.0, m->kernel[o][1], m->kernel[o][2]);

    if (set.coordMode == 'r') {
        for (int r2 = 0; r2 < 2; r2++)
            for (int k = 0; k < n; k++) m->coords[r2][k] = 100.0 * U01();
    }
    ScaleSiteDistances(n, m->coords, m->D);

    if (set.envMode == 'c') {
        if (!CorrToData_New(n, f, m->factorCorr, m->work, set.envCode)) return false;
        for (int i = 0; i < f; i++)
            for (int k = 0; k < n; k++) m->E[i][k] = m->work[k][i];
        StandardizeFactorRows(f, n, m->E);
        FormInteractionRows(f, n, set.interactions, m->E);
    } else {
        for (int i = 0; i < v; i++)
            for (int k = 0; k < n; k++) m->E[i][k] = m->E0[i][k];
    }

    if (set.survivalMode == 'r')
        DrawSlopesCentres(s, m->survival, 0, set.survivalSlope1, set.survivalSlope2, set.survivalCentre1,
                          set.survivalCentre2);
    if (set.densityMode == 'r')
        DrawSlopesCentres(s, m->density, 0, set.densitySlope1, set.densitySlope2, set.densityCentre1,
                          set.densityCentre2);
    return true;
}

namespace {

// C* = A E on the z scale of the traits (a deviation of 0 or not finite scales by 1).
void ExpectedMeans(const AssemblySettings& set, AssemblyModel* m) {
    for (int t = 0; t < set.p; t++) {
        double scale = m->sd[t];
        if (!(scale > 0.0) || !std::isfinite(scale)) scale = 1.0;
        for (int k = 0; k < set.n; k++) {
            double sum = 0.0;
            for (int j = 0; j < set.v; j++) sum += m->A[t][j] * m->E[j][k];
            m->Cstar[t][k] = (sum - m->mean[t]) / scale;
        }
    }
}

// Squared distances over the considered traits and the survival probabilities.
void Survival(const AssemblySettings& set, AssemblyModel* m) {
    for (int k = 0; k < set.n; k++)
        for (int o = 0; o < set.s; o++) {
            double d = 0.0;
            for (int t = 0; t < set.p; t++)
                if (m->considered[t]) {
                    const double diff = m->B[o][t] - m->Cstar[t][k];
                    d += diff * diff;
                }
            m->Dist[k][o] = d;
        }
    const double dmax = MatrixMax(set.n, set.s, m->Dist);
    for (int k = 0; k < set.n; k++)
        for (int o = 0; o < set.s; o++)
            m->S[k][o] = ScaledLogistic(m->Dist[k][o], 0.0, dmax, 0.0, m->survival[o][0], m->survival[o][1]);
}

// Probability that OTU o, present elsewhere but not at site k, disperses to site k.
double LocalDispersal(const AssemblySettings& set, const AssemblyModel& m, int k, int o) {
    double dmin = 1.0;
    for (int j = 0; j < set.n; j++)
        if (j != k && m.W[j][o] > 0.0 && m.D[k][j] < dmin) dmin = m.D[k][j];
    const double l = m.kernel[o][0];
    return ScaledLogistic(dmin, 0.0, 1.0, l, m.kernel[o][1], m.kernel[o][2]) * (1.0 - l) + l;
}

// One colonisation attempt per site; returns the number of individuals established.
int Colonise(const AssemblySettings& set, AssemblyModel* m) {
    const int n = set.n, s = set.s;
    int gain = 0;
    for (int k = 0; k < n; k++) {
        const int o = static_cast<int>(gsl_rng_uniform_int(r, static_cast<unsigned long>(s)));
        bool passes;
        if (m->W[n][o] == 0.0)
            passes = m->kernel[o][0] > U01();
        else if (m->W[k][o] > 0.0)
            passes = true;
        else
            passes = LocalDispersal(set, *m, k, o) > U01();
        if (!passes) continue;
        // The second draw is made only when the first test passes.
        if (!(m->S[k][o] > U01())) continue;
        const double q = ScaledLogistic(m->a[k], 0.0, set.M, 0.0, m->density[o][0], m->density[o][1]);
        if (!(q > U01())) continue;
        m->W[k][o] += 1.0;
        m->W[n][o] += 1.0;
        m->a[k]++;
        m->total++;
        gain++;
        if (m->recording && m->W[k][o] == 1.0) m->colonisations[k]++;
    }
    return gain;
}

// Mortality of the step g; returns the number of deaths.
int Mortality(const AssemblySettings& set, AssemblyModel* m, int g) {
    const int n = set.n, s = set.s;
    const int steps = (m->kest >= 1 && m->kest < set.G - g) ? m->kest : set.G;
    const double phi = 1.0 / steps;
    int deaths = 0;
    for (int k = 0; k < n; k++) {
        if (m->a[k] < 1) continue;
        for (int o = 0; o < s; o++) {
            if (!(m->W[k][o] > 0.0)) continue;
            const double slope = m->density[o][0], centre = m->density[o][1];
            const double q = Logistic(m->a[k], 0.0, set.M, 0.0, 1.0, slope, centre);
            const double q0 = Logistic(0.0, 0.0, set.M, 0.0, 1.0, slope, centre);
            const double pa = (1.0 - m->S[k][o]) * phi;
            const double pb = (1.0 - (q + 1.0 - q0)) * phi;
            int j = 0;
            do {
                j++;
                if (pa > U01() && pb > U01()) {
                    m->W[k][o] -= 1.0;
                    m->W[n][o] -= 1.0;
                    m->a[k]--;
                    m->total--;
                    deaths++;
                    if (m->recording && m->W[k][o] == 0.0) m->extinctions[k]++;
                }
            } while (m->W[k][o] > j);
        }
    }
    return deaths;
}

// Community-weighted means C (p x n) of the sites' relative abundances.
void CommunityMeans(const AssemblySettings& set, AssemblyModel* m) {
    UnitSumRowsAdjMV(set.n, set.s, m->Wr, m->W);
    for (int k = 0; k < set.n; k++)
        for (int t = 0; t < set.p; t++) {
            double sum = 0.0;
            for (int o = 0; o < set.s; o++) sum += m->Wr[k][o] * m->B[o][t];
            m->C[t][k] = sum;
        }
}

// E's factor rows grow by K (C - Cprev).
void Feedback(const AssemblySettings& set, AssemblyModel* m) {
    for (int t = 0; t < set.p; t++)
        for (int k = 0; k < set.n; k++) m->delta[t][k] = m->C[t][k] - m->Cprev[t][k];
    for (int i = 0; i < set.f; i++)
        for (int k = 0; k < set.n; k++) {
            double sum = 0.0;
            for (int t = 0; t < set.p; t++) sum += m->K[i][t] * m->delta[t][k];
            m->E[i][k] += sum;
        }
}

void PrintStepFiles(const AssemblySettings& set, const AssemblyModel& m, int g, const AssemblyStepFiles& files) {
    const int n = set.n, s = set.s, p = set.p;
    if (files.env) PrintSiteLines(files.env, g, n, set.f, m.E);
    if (files.cwmExpected) PrintSiteLines(files.cwmExpected, g, n, p, m.Cstar);
    if (files.distances) {
        fprintf(files.distances,
                "\nDistances between OTU trait value and expected value at the community site, at step %d, %d "
                "community sites in rows and for %d OTUs in columns:\n", g, n, s);
        fprintf(files.distances, "Traits that were considered to compute these distances (traits with non-zero "
                                 "parameters for community responses to ecosystem conditions): \t");
        PrintVectorTab(files.distances, p, m.considered, nullptr);
        PrintMatrixTab(files.distances, n, s, m.Dist, sDigits);
    }
    if (files.prob) {
        fprintf(files.prob,
                "\nProbabilities of survival of OTUs at the community sites, at step %d, for %d community sites in "
                "rows and %d OTUs in columns, considering traits:\n", g, n, s);
        PrintMatrixTab(files.prob, n, s, m.S, sDigits);
    }
}

}  // namespace

void RunAssemblySteps(const AssemblySettings& set, AssemblyModel* m, int dataSet, const AssemblyStepFiles& files) {
    const int n = set.n, s = set.s, p = set.p;
    for (int k = 0; k <= n; k++)
        for (int o = 0; o < s; o++) m->W[k][o] = 0.0;
    for (int k = 0; k < n; k++) m->a[k] = m->richness[k] = m->colonisations[k] = m->extinctions[k] = 0;
    for (int t = 0; t < p; t++)
        for (int k = 0; k < n; k++) m->extrap[t][k] = m->C[t][k] = m->Cprev[t][k] = 0.0;
    m->total = 0;
    m->recording = false;
    m->recordStep = 0;
    m->kest = set.G;
    const double target = static_cast<double>(set.M) * n;

    char progress[96];
    for (int g = 1; g <= set.G; g++) {
        snprintf(progress, sizeof progress, "Iteration: %d %d Abundance: %d", set.N, dataSet, m->total);
        HandleEventInfoWhere2(progress);
        ExpectedMeans(set, m);
        Survival(set, m);

        if (!m->recording && (m->total > set.h * target || g > set.h * set.G)) {
            m->recording = true;
            m->recordStep = g;
            for (int k = 0; k < n; k++) {
                m->richness[k] = 0;
                for (int o = 0; o < s; o++) m->richness[k] += m->W[k][o] > 0.0;
            }
        }

        int gain = Colonise(set, m);
        if (files.community) PrintCommunityStep(files.community, *m, n, s, g, "BEFORE");
        const int deaths = Mortality(set, m, g);
        gain -= deaths;
        if (gain > 0) m->kest = static_cast<int>((static_cast<long long>(set.M) * n - m->total) / gain);
        if (files.community && deaths > 0) PrintCommunityStep(files.community, *m, n, s, g, "AFTER");

        PrintStepFiles(set, *m, g, files);
        CommunityMeans(set, m);
        if (files.cwm) PrintSiteLines(files.cwm, g, n, p, m->C);
        if (g >= 2) Feedback(set, m);
        for (int t = 0; t < p; t++)
            for (int k = 0; k < n; k++) m->Cprev[t][k] = m->C[t][k];
        FormInteractionRows(set.f, n, set.interactions, m->E);
        // A long run of steps stops at the first failed write of its per-step files.
        StopAtFailedStepWrite(files);
    }

    for (int t = 0; t < p; t++)
        for (int k = 0; k < n; k++) {
            if (m->Cstar[t][k] > m->zmax[t])
                m->extrap[t][k] = m->Cstar[t][k] - m->zmax[t];
            else if (m->Cstar[t][k] < m->zmin[t])
                m->extrap[t][k] = m->Cstar[t][k] - m->zmin[t];
        }
}
