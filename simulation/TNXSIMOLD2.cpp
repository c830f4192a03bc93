// The earlier prediction of community matrices: from environmental filtering (regression of the
// expected community means on the environment) and from assembly rules between nearest
// neighbours in trait space, with coefficients read from two fixed files.
#include "simulation/TNXSIMOLD.h"

#include <gsl/gsl_rng.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <initializer_list>

#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibRandom.h"
#include "session/model/TNXGLOB.h"
#include "simulation/TNXSIMINPUT.h"
#include "simulation/TNXSIMREP.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResGower.h"

namespace {

FILE* Out() { return out ? out : stdout; }

// Significant digits of the trait file, enough to recompute every prediction from it.
constexpr int kTraitDigits = 10;

// Expanded predictors of f factors (values, squares, pairs) and interaction coefficients of p
// traits per trait, in 64 bits: the dialogue refuses counts whose tables an int cannot index.
long long ExpandedCount(long long f) { return 2 * f + f * (f - 1) / 2; }
long long InteractionCount(long long p) { return 1 + 2 * p + p * (p - 1) / 2; }

// The run's matrices, released however the run ends.
struct RunOwner {
    AssemblyRulesRun run;
    ~RunOwner() { FreeAssemblyRulesRun(&run); }
};

// The four counts, each asked again when a table of the run could not be held.
void AssemblyRulesDialogue(AssemblyRulesRun* run) {
    AssemblyRulesRun& R = *run;
    fprintf(Out(), "Specify the number of communities, traits, OTUs and factors\n");
    R.n = AskSimulationCount("", [](long long) { return true; });
    R.p = AskSimulationCount("", [&](long long p) { return CellsFit(R.n, p) && CellsFit(p, InteractionCount(p)); });
    R.s = AskSimulationCount("", [&](long long s) {
        // One s x n deviation matrix and one s x s similarity matrix per trait.
        return CellsFit(s, R.p) && CellsFit(s, R.n) && CellsFit(s, s) && CellsFit(s * R.n, R.p) &&
               CellsFit(s * s, R.p);
    });
    R.f = AskSimulationCount("", [&](long long f) {
        return CellsFit(R.n, ExpandedCount(f)) && CellsFit(R.p, 1 + ExpandedCount(f));
    });
    R.nx = static_cast<int>(ExpandedCount(R.f));
    R.nInteraction = static_cast<int>(InteractionCount(R.p));
}

// Coefficients, rows x cols in row order, from a file of fixed name: one that cannot be opened
// raises code 4, one that ends early or holds a value that is no finite number code 2.
void ReadCoefficients(const char* name, int rows, int cols, double** dst) {
    FILE* f = fopenck(name, nullptr, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    struct Closer {
        FILE* f;
        ~Closer() { fclose(f); }
    } closer{f};
    ReadSimulationValues(f, name, rows, cols, dst);
}

// One matrix per trait, each after its caption (with the trait's number from 1).
void PrintPerTrait(FILE* f, int p, int rows, int cols, double*** m, const char* caption) {
    for (int t = 0; t < p; t++) {
        fprintf(f, caption, t + 1);
        PrintMatrixTab(f, rows, cols, m[t], sDigits);
    }
}

void WriteMatrixFile(ReplacingSet& files, const char* name, int rows, int cols, double** m, int digits) {
    PrintMatrixTab(files.OpenOrRaise(name), rows, cols, m, digits);
}

}  // namespace

void AllocAssemblyRulesRun(AssemblyRulesRun* run) {
    AssemblyRulesRun& R = *run;
    R.B = dim2Double(R.s, R.p);
    R.E = dim2Double(R.n, R.f);
    R.Ex = dim2Double(R.n, R.nx);
    R.coefF = dim2Double(R.p, 1 + R.nx);
    R.coefI = dim2Double(R.p, R.nInteraction);
    R.CWM = dim2Double(R.n, R.p);
    R.dev = dim3Double(R.p, R.s, R.n);
    R.sim = dim3Double(R.p, R.s, R.s);
    R.Xf = dim2Double(R.s, R.n);
    R.Wf = dim2Double(R.s, R.n);
    R.Xr = dim2Double(R.s, R.n);
    R.Wr = dim2Double(R.s, R.n);
    R.Wfa = dim2Double(R.s, R.n);
    R.order = dim1Dint(R.s);
    R.Btemp = dim2Double(R.s, R.p);
    R.nn = dim1Double(R.p);
    R.expected = dim1Double(R.p);
    R.coefSum = dim1Double(R.p);
}

void FreeAssemblyRulesRun(AssemblyRulesRun* run) {
    AssemblyRulesRun& R = *run;
    free2D(R.B, R.s);
    free2D(R.E, R.n);
    free2D(R.Ex, R.n);
    free2D(R.coefF, R.p);
    free2D(R.coefI, R.p);
    free2D(R.CWM, R.n);
    free3D(R.dev, R.p, R.s);
    free3D(R.sim, R.p, R.s);
    free2D(R.Xf, R.s);
    free2D(R.Wf, R.s);
    free2D(R.Xr, R.s);
    free2D(R.Wr, R.s);
    free2D(R.Wfa, R.s);
    free1D(R.order);
    free2D(R.Btemp, R.s);
    free1D(R.nn);
    free1D(R.expected);
    free1D(R.coefSum);
    R = AssemblyRulesRun{};
}

void ExpandPredictors(int n, int f, double** E, double** Ex) {
    const int nx = static_cast<int>(ExpandedCount(f));
    for (int k = 0; k < n; k++) {
        for (int j = 0; j < f; j++) {
            Ex[k][j] = E[k][j];
            Ex[k][f + j] = E[k][j] * E[k][j];
        }
        for (int j = 2 * f; j < nx; j++) Ex[k][j] = 0.0;
    }
}

void PredictorMeans(int n, int p, int nx, double** Ex, double** coef, double** CWM) {
    for (int k = 0; k < n; k++)
        for (int t = 0; t < p; t++) {
            double sum = coef[t][0];
            for (int j = 0; j < nx; j++) sum += coef[t][1 + j] * Ex[k][j];
            CWM[k][t] = sum;
        }
}

void TraitDeviations(int s, int n, int p, double** B, double** CWM, double*** dev) {
    for (int t = 0; t < p; t++)
        for (int o = 0; o < s; o++)
            for (int k = 0; k < n; k++) dev[t][o][k] = B[o][t] - CWM[k][t];
}

void PredictionFromDeviations(int p, int s, int n, double*** dev, double** X) {
    for (int o = 0; o < s; o++)
        for (int k = 0; k < n; k++) {
            double sum = 0.0;
            for (int t = 0; t < p; t++) sum += 1.0 - std::fabs(dev[t][o][k]);
            const double mean = sum / p;
            // A community far from every trait value predicts no OTU there, never a negative share.
            X[o][k] = mean > 0.0 ? mean : 0.0;
        }
    UnitSumColsAdjMV(s, n, X, X);
}

void KeepNotBelow(int s, int n, double** X, double threshold, double** out) {
    for (int o = 0; o < s; o++)
        for (int k = 0; k < n; k++) out[o][k] = X[o][k] >= threshold ? X[o][k] : 0.0;
}

void AssemblyRulesCommunity(AssemblyRulesRun* run, int k, FILE* trace) {
    AssemblyRulesRun& R = *run;
    for (int t = 0; t < R.p; t++) {
        R.coefSum[t] = 0.0;
        for (int c = 1; c < R.nInteraction; c++) R.coefSum[t] += R.coefI[t][c];
    }
    for (int i = 0; i < R.s; i++) {
        const int o = R.order[i] - 1;
        for (int t = 0; t < R.p; t++) R.Btemp[i][t] = R.B[o][t];
        for (int t = 0; t < R.p; t++) {
            if (i == 0) {
                R.expected[t] = R.CWM[k][t];
                continue;
            }
            double nearest = R.sim[t][o][R.order[0] - 1];
            for (int j = 1; j < i; j++) {
                const double sim = R.sim[t][o][R.order[j] - 1];
                if (sim > nearest) nearest = sim;
            }
            R.nn[t] = nearest;
            R.expected[t] = R.coefI[t][0] + nearest * R.coefSum[t];
        }
        for (int t = 0; t < R.p; t++) R.dev[t][o][k] = R.B[o][t] - R.expected[t];
        if (!trace) continue;
        fprintf(trace, "COMMUNITY %d\n", k + 1);
        fprintf(trace, "Matrix Btemp considering addition of OTU %d\n", o + 1);
        PrintMatrixTab(trace, i + 1, R.p, R.Btemp, sDigits);
        // The first OTU has no neighbour yet: its line of similarities is empty.
        fprintf(trace, "Nearest neighbour similarities considering addition of OTU %d\n", o + 1);
        PrintVectorTab(trace, i == 0 ? 0 : R.p, R.nn, sDigits, nullptr);
        fprintf(trace, "Matrix CWM expected considering addition of OTU %d\n", o + 1);
        PrintVectorTab(trace, R.p, R.expected, sDigits, nullptr);
        for (int t = 0; t < R.p; t++) {
            fprintf(trace, "Deviations between trait %d and expected CWM considering addition of OTU %d\n", t + 1,
                    o + 1);
            PrintMatrixTab(trace, R.s, R.n, R.dev[t], sDigits);
        }
    }
}

void CombinePredictions(int s, int n, double** Xf, double** Xr, double** Wfa) {
    for (int o = 0; o < s; o++)
        for (int k = 0; k < n; k++) Wfa[o][k] = Xf[o][k] < Xr[o][k] ? Xf[o][k] : Xr[o][k];
    UnitSumColsAdjMV(s, n, Wfa, Wfa);
    KeepNotBelow(s, n, Wfa, 0.9 / s, Wfa);
}

void IFAssemblyRulesSimulation() {
    RunOwner owner;
    AssemblyRulesRun& R = owner.run;
    AssemblyRulesDialogue(&R);
    InitRndNumberGenerator(static_cast<unsigned long>(time(nullptr)));
    AllocAssemblyRulesRun(&R);
    FILE* o = Out();

    // The run's files are put in place together at its end.
    ReplacingSet files;
    for (int i = 0; i < R.s; i++)
        for (int t = 0; t < R.p; t++) R.B[i][t] = gsl_rng_uniform(r);
    WriteMatrixFile(files, "TraitData.txt", R.s, R.p, R.B, kTraitDigits);
    fprintf(o, "\n\nTrait data saved on file %s\n", "TraitData.txt");
    // One gradient: community k (from 1) at k / (1 + 2 + ... + n); the other factors stay 0.
    for (int k = 0; k < R.n; k++) R.E[k][0] = k + 1;
    UnitSumColsAdjMV(R.n, R.f, R.E, R.E);
    WriteMatrixFile(files, "E.txt", R.n, R.f, R.E, sDigits);
    fprintf(o, "\n\nEnvironmental data saved on file %s\n", "E.txt");

    ReadCoefficients("RegressionCoeff_Filtering.txt", R.p, 1 + R.nx, R.coefF);
    ExpandPredictors(R.n, R.f, R.E, R.Ex);
    WriteMatrixFile(files, "E_expanded.txt", R.n, R.nx, R.Ex, sDigits);
    fprintf(o, "\n\nExpanded matrix with environmental predictors saved on file %s\n", "E_expanded.txt");
    PredictorMeans(R.n, R.p, R.nx, R.Ex, R.coefF, R.CWM);
    WriteMatrixFile(files, "CWM.txt", R.n, R.p, R.CWM, sDigits);
    fprintf(o, "\n\nCWM data saved on file %s\n", "CWM.txt");

    TraitDeviations(R.s, R.n, R.p, R.B, R.CWM, R.dev);
    PrintPerTrait(files.OpenOrRaise("CWMDeviations.txt"), R.p, R.s, R.n, R.dev, "Deviations between trait %d and expected CWM\n");
    PredictionFromDeviations(R.p, R.s, R.n, R.dev, R.Xf);
    WriteMatrixFile(files, "X_Filtering.txt", R.s, R.n, R.Xf, sDigits);
    KeepNotBelow(R.s, R.n, R.Xf, 1.0 / R.s, R.Wf);
    WriteMatrixFile(files, "W_Filtering.txt", R.s, R.n, R.Wf, sDigits);

    // Similarity by one trait at a time: every trait quantitative, only trait t weighted.
    int* types = dim1Dint(R.p);
    float* weights = dim1Dfloat(R.p);
    for (int t = 0; t < R.p; t++) types[t] = 3;
    for (int t = 0; t < R.p; t++) {
        for (int u = 0; u < R.p; u++) weights[u] = u == t ? 1.0f : 0.0f;
        GowerMVOpt(R.s, R.p, types, R.B, R.sim[t], nullptr, weights, 0);
    }
    free1D(types);
    free1D(weights);
    PrintPerTrait(files.OpenOrRaise("GowerSimilarityMatrix.txt"), R.p, R.s, R.s, R.sim, "Gower similarity matrix for trait %d\n");

    ReadCoefficients("RegressionCoeff_Interaction.txt", R.p, R.nInteraction, R.coefI);
    FILE* trace = files.OpenOrRaise("T_OTU.txt");
    char progress[64];
    for (int k = 0; k < R.n; k++) {
        snprintf(progress, sizeof progress, "Community %d of %d", k + 1, R.n);
        HandleEventInfoWhere2(progress);
        RndList(R.s, R.order);
        AssemblyRulesCommunity(&R, k, trace);
        RaiseOnFailedWrite(trace, "T_OTU.txt");
    }
    PrintPerTrait(files.OpenOrRaise("CWMDeviations_AssemblyRules.txt"), R.p, R.s, R.n, R.dev,
                  "Deviations between trait %d and expected CWM based on assembly rules\n");
    PredictionFromDeviations(R.p, R.s, R.n, R.dev, R.Xr);
    WriteMatrixFile(files, "X_AssemblyRules.txt", R.s, R.n, R.Xr, sDigits);
    KeepNotBelow(R.s, R.n, R.Xr, 1.0 / R.s, R.Wr);
    WriteMatrixFile(files, "W_AssemblyRules.txt", R.s, R.n, R.Wr, sDigits);
    CombinePredictions(R.s, R.n, R.Xf, R.Xr, R.Wfa);
    WriteMatrixFile(files, "W_Filtering_and_Assembly.txt", R.s, R.n, R.Wfa, sDigits);
    fprintf(o, "\n\nPredicted community matrix based on filtering only saved on file %s\n",
            "W_Filtering_and_Assembly.txt");

    files.CommitOrRaise();
}
