// The earlier environmental-feedback simulator: one data set by colonisation with a chi-square
// survival probability weighted against crowding, mortality, and feedback of the
// community-weighted trait means on the environment.
#include "simulation/TNXSIMOLD.h"

#include <gsl/gsl_cdf.h>
#include <gsl/gsl_rng.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <initializer_list>

#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlibSimData.h"
#include "session/model/TNXGLOB.h"
#include "simulation/TNXSIMINPUT.h"
#include "simulation/TNXSIMMODEL.h"
#include "simulation/TNXSIMREP.h"
#include "statistics/qwlibRes.h"

namespace {

FILE* Out() { return out ? out : stdout; }

// One uniform draw in [0, 1) of the shared generator.
double U01() { return gsl_rng_uniform(r); }

// Stands in for a crowding term Y of exactly 0, so that a full site keeps a survival of Q^(1-w) 1e-19^w.
constexpr double kEmptyRoom = 1e-19;

// Consecutive failed draws per OTU after which a site stops colonising (every survival 0).
constexpr long long kFailedDrawsPerOtu = 1000;

// The run's matrices, released however the run ends.
struct RunOwner {
    EnvFeedbackRun run;
    ~RunOwner() { FreeEnvFeedbackRun(&run); }
};

// The dialogue: counts are refused when a table of the run could not be held; each parameter
// file is read as soon as it is named (a correlation matrix is asked again until it is
// positive definite).
void EnvFeedbackDialogue(EnvFeedbackRun* run) {
    EnvFeedbackRun& R = *run;
    FILE* o = Out();
    R.n = AskSimulationCount("Specify the number of communities (sites): ",
                             [](long long n) { return CellsFit(n + 1, 1); });
    R.s = AskSimulationCount("Specify the number of OTUs: ", [&](long long s) { return CellsFit(s, R.n + 1LL); });
    R.p = AskSimulationCount("Specify the number of traits: ", [&](long long p) {
        return CellsFit(R.s, p) && CellsFit(p, p) && CellsFit(p, R.n);
    });
    fprintf(o, "Input is a %d OTUs x %d traits matrix (t) or a trait x traits correlation matrix (c)? t/c ", R.s, R.p);
    R.traitInput = ReadCharIn("t c");
    R.B = dim2Double(R.s, R.p);
    if (R.traitInput == 't') {
        fprintf(o, "Name of the file with trait data matrix (%d OTUs x %d traits): ", R.s, R.p);
        ReadSimulationMatrix(R.traitFile, R.s, R.p, R.B);
    } else {
        R.traitCorr = dim2Double(R.p, R.p);
        ReadSimulationCorrelation(R.traitCorrFile, R.p, R.traitCorr,
                                  "Name of the file with full trait correlation matrix (%d traits x %d traits): ", R.p,
                                  R.p);
    }
    R.f = AskSimulationCount("Specify the number of factors: ",
                             [&](long long f) { return CellsFit(f, R.n) && CellsFit(f, R.p); });
    R.E = dim2Double(R.f, R.n);
    fprintf(o, "Name of the file with matrix of %d factors x %d sites with initial environmental conditions: ", R.f,
            R.n);
    ReadSimulationMatrix(R.envFile, R.f, R.n, R.E);
    R.A = dim2Double(R.p, R.f);
    fprintf(o, "Name of the file with matrix of parameters for linear models of community responses to environmental "
               "conditions (%d traits by %d environmental predictor variables): ", R.p, R.f);
    ReadSimulationMatrix(R.responseFile, R.p, R.f, R.A);
    R.K = dim2Double(R.f, R.p);
    fprintf(o, "Name of the file with matrix of parameters for linear models of community effects on environmental "
               "conditions (%d environmental variables by %d predictor traits): ", R.f, R.p);
    ReadSimulationMatrix(R.effectFile, R.f, R.p, R.K);
    // The target total M n is an int.
    R.M = AskSimulationCount("Specify the maximum average number of individuals per community: ",
                             [&](long long M) { return CellsFit(M, R.n); });
    fprintf(o, "Specify the weight for density dependent survival or mortality (0-1): ");
    R.w = ReadNumberIn("%lf\n", "-", 0.0, 1.0);
    R.G = AskSimulationCount("Specify the maximum number of iterations: ", [](long long) { return true; });
    fprintf(o, "Save intermediate results at each community assembly step? y/n ");
    R.intermediate = ReadCharIn("y n") == 'y';
}

// The first block of the trait file: the traits as read, or the correlations they are drawn from.
void WriteRawTraits(FILE* f, const EnvFeedbackRun& R) {
    if (R.traitInput == 't') {
        fprintf(f, "Trait data (not standardized, %d OTUs in rows and %d traits in columns):\n", R.s, R.p);
        PrintMatrixTab(f, R.s, R.p, R.B, sDigits);
    } else {
        fprintf(f, "\nTrait correlation matrix (%d traits):\n", R.p);
        PrintMatrixTab(f, R.p, R.p, R.traitCorr, sDigits);
    }
}

void WriteStandardizedTraits(FILE* f, const EnvFeedbackRun& R) {
    fprintf(f, "\nTrait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n", R.s, R.p);
    PrintMatrixTab(f, R.s, R.p, R.B, sDigits);
    fprintf(f, "\nTrait means (%d traits):\n", R.p);
    PrintVectorTab(f, R.p, R.mean, sDigits, nullptr);
    fprintf(f, "\nTrait standard deviations (%d traits):\n", R.p);
    PrintVectorTab(f, R.p, R.sd, sDigits, nullptr);
    fprintf(Out(), "\n\nTrait data (standardized to Z scores) saved on file %s\n", "TraitData.txt");
}

// W's site columns (OTUs in rows) under the caption of a step.
void PrintCommunity(FILE* f, const EnvFeedbackRun& R, int g, const char* when) {
    fprintf(f, "\nCommunity data matrix at step %d, %s mortality, for %d OTUs in rows and %d community sites in "
               "columns:\n", g, when, R.s, R.n);
    PrintMatrixTab(f, R.s, R.n, R.W, sDigits);
}

void PrintEnvironment(FILE* f, const EnvFeedbackRun& R, int g) {
    fprintf(f, "\nEnvironmental data matrix at step %d (%d environmental variables in rows and %d community sites in "
               "columns):\n", g, R.f, R.n);
    PrintMatrixTab(f, R.f, R.n, R.E, sDigits);
}

void PrintDistances(FILE* f, const EnvFeedbackRun& R, int g) {
    fprintf(f, "\nDistances between OTU trait value and expected value at the community site, at step %d, for %d "
               "OTUs in rows and %d community sites in columns:\n", g, R.s, R.n);
    PrintMatrixTab(f, R.s, R.n, R.Dist, sDigits);
}

void PrintSurvival(FILE* f, const EnvFeedbackRun& R, int g) {
    fprintf(f, "\nProbabilities of survival of OTUs at the community sites, at step %d, for %d OTUs in rows and %d "
               "community sites in columns:\n", g, R.s, R.n);
    PrintMatrixTab(f, R.s, R.n, R.S, sDigits);
}

void PrintAbundances(FILE* f, const EnvFeedbackRun& R) {
    fprintf(f, "\nAbundance in each community:\n");
    PrintVectorTab(f, R.n, R.a, nullptr);
    fprintf(f, "Total abundance:\t%d\n", R.total);
}

void PrintFinalCommunityCaption(FILE* f, const EnvFeedbackRun& R) {
    fprintf(f, "\nCommunity data matrix at step %d, for %d OTUs in rows and %d community sites in columns:\n", R.step,
            R.s, R.n);
}

void PrintWeight(FILE* f, const EnvFeedbackRun& R) {
    fprintf(f, "Specified weight for density dependent survival or mortality of individuals:\t%g\n", R.w);
}

// FinalSimulatedData.txt: the final communities, the settings and the last step's matrices.
void WriteFinalReport(FILE* f, const EnvFeedbackRun& R) {
    PrintFinalCommunityCaption(f, R);
    PrintMatrixTab(f, R.s, R.n, R.W, sDigits);
    PrintAbundances(f, R);
    if (R.traitInput == 'c') {
        fprintf(f, "\nSpecified trait correlation matrix (%d traits x %d traits, file %s): \n", R.p, R.p,
                R.traitCorrFile);
        PrintMatrixTab(f, R.p, R.p, R.traitCorr, sDigits);
    }
    fprintf(f, "\nInitial environmental conditions (%d factors x %d sites, file %s).\n", R.f, R.n, R.envFile);
    fprintf(f, "\nParameters for linear models of community responses to environmental conditions (%d traits by %d "
               "environmental predictor variables, file %s): \n", R.p, R.f, R.responseFile);
    PrintMatrixTab(f, R.p, R.f, R.A, sDigits);
    fprintf(f, "\nParameters for linear models of community effects on environmental conditions (%d environmental "
               "variables by %d predictor traits, file %s): \n", R.f, R.p, R.effectFile);
    PrintMatrixTab(f, R.f, R.p, R.K, sDigits);
    fprintf(f, "\n");
    PrintWeight(f, R);
    PrintEnvironment(f, R, R.step);
    fprintf(f, "\nExpected community weighted means (CWM) at step %d, standardized to Z scores according to mean and "
               "standard deviations in the trait matrix, for %d traits in rows and %d community sites in columns:\n",
            R.step, R.p, R.n);
    PrintMatrixTab(f, R.p, R.n, R.Cstar, sDigits);
    PrintDistances(f, R, R.step);
    PrintSurvival(f, R, R.step);
}

// The data files of the simulated set, each matrix before its caption so that a reader of
// numbers in row order meets the matrix first; among the run's files.
void WriteDataFiles(const EnvFeedbackRun& R, ReplacingSet& files) {
    FILE* f = files.OpenOrRaise("B_Simulated.txt");
    PrintMatrixTab(f, R.s, R.p, R.B, sDigits);
    fprintf(f, "Trait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n", R.s, R.p);

    f = files.OpenOrRaise("W_Simulated.txt");
    PrintMatrixTab(f, R.s, R.n, R.W, sDigits);
    PrintFinalCommunityCaption(f, R);
    PrintAbundances(f, R);
    PrintWeight(f, R);

    f = files.OpenOrRaise("E_Simulated.txt");
    PrintMatrixTab(f, R.f, R.n, R.E, sDigits);
    fprintf(f, "\nEnvironmental data matrix at step %d (%d environmental variables in rows and %d community sites in "
               "columns):\n", R.step, R.f, R.n);

    WriteOtuNumbersFile(files, R.s);
    WriteTraitTypesFile(files, R.p);
}

}  // namespace

void AllocEnvFeedbackRun(EnvFeedbackRun* run) {
    EnvFeedbackRun& R = *run;
    const int n = R.n, s = R.s, p = R.p, f = R.f;
    if (!R.B) R.B = dim2Double(s, p);
    if (R.traitInput == 'c' && !R.traitCorr) R.traitCorr = dim2Double(p, p);
    if (!R.mean) R.mean = dim1Double(p);
    if (!R.sd) R.sd = dim1Double(p);
    if (!R.zmin) R.zmin = dim1Double(p);
    if (!R.zmax) R.zmax = dim1Double(p);
    if (!R.E) R.E = dim2Double(f, n);
    if (!R.A) R.A = dim2Double(p, f);
    if (!R.K) R.K = dim2Double(f, p);
    if (!R.W) R.W = dim2Double(s, n + 1);
    if (!R.a) R.a = dim1Dint(n);
    if (!R.Cstar) R.Cstar = dim2Double(p, n);
    if (!R.Dist) R.Dist = dim2Double(s, n);
    if (!R.S) R.S = dim2Double(s, n);
    if (!R.Wc) R.Wc = dim2Double(s, n);
    if (!R.CWM) R.CWM = dim2Double(p, n);
}

void FreeEnvFeedbackRun(EnvFeedbackRun* run) {
    EnvFeedbackRun& R = *run;
    const int s = R.s, p = R.p, f = R.f;
    free2D(R.B, s);
    free2D(R.traitCorr, p);
    free1D(R.mean);
    free1D(R.sd);
    free1D(R.zmin);
    free1D(R.zmax);
    free2D(R.E, f);
    free2D(R.A, p);
    free2D(R.K, f);
    free2D(R.W, s);
    free1D(R.a);
    free2D(R.Cstar, p);
    free2D(R.Dist, s);
    free2D(R.S, s);
    free2D(R.Wc, s);
    free2D(R.CWM, p);
    R.B = R.traitCorr = R.E = R.A = R.K = R.W = R.Cstar = R.Dist = R.S = R.Wc = R.CWM = nullptr;
    R.mean = R.sd = R.zmin = R.zmax = nullptr;
    R.a = nullptr;
}

double ChiSquareSurvival(double d, int p, int a, long long target, double w) {
    const double Q = gsl_cdf_chisq_Q(d, p);
    double Y = 1.0 - static_cast<double>(a) / static_cast<double>(target);
    if (Y == 0.0) Y = kEmptyRoom;
    return std::pow(Q, 1.0 - w) * std::pow(Y, w);
}

void EnvFeedbackSurvival(EnvFeedbackRun* run) {
    EnvFeedbackRun& R = *run;
    for (int t = 0; t < R.p; t++) {
        double scale = R.sd[t];
        if (!(scale > 0.0) || !std::isfinite(scale)) scale = 1.0;
        for (int k = 0; k < R.n; k++) {
            double sum = 0.0;
            for (int i = 0; i < R.f; i++) sum += R.A[t][i] * R.E[i][k];
            R.Cstar[t][k] = (sum - R.mean[t]) / scale;
        }
    }
    const long long target = static_cast<long long>(R.M) * R.n;
    for (int o = 0; o < R.s; o++)
        for (int k = 0; k < R.n; k++) {
            double d = 0.0;
            for (int t = 0; t < R.p; t++) {
                const double diff = R.B[o][t] - R.Cstar[t][k];
                d += diff * diff;
            }
            R.Dist[o][k] = d;
            R.S[o][k] = ChiSquareSurvival(d, R.p, R.a[k], target, R.w);
        }
}

bool EnvFeedbackColonise(EnvFeedbackRun* run) {
    EnvFeedbackRun& R = *run;
    const long long target = static_cast<long long>(R.M) * R.n;
    const long long giveUp = kFailedDrawsPerOtu * R.s;
    for (int k = 0; k < R.n; k++) {
        long long failed = 0;
        while (R.total < target && failed < giveUp) {
            const int o = static_cast<int>(gsl_rng_uniform_int(r, static_cast<unsigned long>(R.s)));
            if (R.S[o][k] > U01()) {
                R.W[o][k] += 1.0;
                R.W[o][R.n] += 1.0;
                R.a[k]++;
                R.total++;
                failed = 0;
            } else {
                failed++;
            }
        }
    }
    return R.total == target;
}

int EnvFeedbackMortality(EnvFeedbackRun* run) {
    EnvFeedbackRun& R = *run;
    int deaths = 0;
    for (int k = 0; k < R.n; k++) {
        if (R.a[k] < 1) continue;
        const double phi = 1.0 / (static_cast<double>(R.a[k]) * R.G);
        for (int o = 0; o < R.s; o++) {
            if (!(R.W[o][k] > 0.0)) continue;
            const double pd = (1.0 - R.S[o][k]) * phi;
            int j = 0;
            do {
                j++;
                if (pd > U01()) {
                    R.W[o][k] -= 1.0;
                    R.W[o][R.n] -= 1.0;
                    R.a[k]--;
                    R.total--;
                    deaths++;
                }
            } while (R.W[o][k] > j);
        }
    }
    return deaths;
}

void EnvFeedbackOnEnvironment(EnvFeedbackRun* run) {
    EnvFeedbackRun& R = *run;
    UnitSumColsAdjMV(R.s, R.n, R.Wc, R.W);
    for (int t = 0; t < R.p; t++)
        for (int k = 0; k < R.n; k++) {
            double sum = 0.0;
            for (int o = 0; o < R.s; o++) sum += R.B[o][t] * R.Wc[o][k];
            R.CWM[t][k] = sum;
        }
    for (int i = 0; i < R.f; i++)
        for (int k = 0; k < R.n; k++) {
            double sum = 0.0;
            for (int t = 0; t < R.p; t++) sum += R.K[i][t] * R.CWM[t][k];
            R.E[i][k] += sum;
        }
    StandardizeFactorRows(R.f, R.n, R.E);
}

int RunEnvFeedbackSteps(EnvFeedbackRun* run, const EnvFeedbackStepFiles& files) {
    EnvFeedbackRun& R = *run;
    for (int o = 0; o < R.s; o++)
        for (int k = 0; k <= R.n; k++) R.W[o][k] = 0.0;
    for (int k = 0; k < R.n; k++) R.a[k] = 0;
    R.total = 0;
    char progress[96];
    int g = 1;
    for (;; g++) {
        snprintf(progress, sizeof progress, "Iteration: %d %d Abundance: %d", R.G, g, R.total);
        HandleEventInfoWhere2(progress);
        EnvFeedbackSurvival(run);
        bool full = EnvFeedbackColonise(run);
        if (files.community) PrintCommunity(files.community, R, g, "BEFORE");
        if (EnvFeedbackMortality(run) > 0) {
            full = false;
            if (files.community) PrintCommunity(files.community, R, g, "AFTER");
        }
        if (files.env) PrintEnvironment(files.env, R, g);
        if (files.cwmExpected) PrintMatrixTab(files.cwmExpected, R.p, R.n, R.Cstar, sDigits);
        if (files.distances) PrintDistances(files.distances, R, g);
        if (files.prob) PrintSurvival(files.prob, R, g);
        EnvFeedbackOnEnvironment(run);
        if (files.cwm) {
            fprintf(files.cwm, "\nCommunity weighted means at step %d, for %d traits in rows and %d community sites in "
                               "columns:\n", g, R.p, R.n);
            PrintMatrixTab(files.cwm, R.p, R.n, R.CWM, sDigits);
        }
        // A long run stops at the first failed write of its per-step files.
        StopAtFailedStepWrite(files);
        // The target was reached and nobody died: the communities no longer change.
        if (full || g >= R.G) break;
    }
    R.step = g;
    return g;
}

void IFAssemblyRulesSimulation_EnvFeedback() {
    RunOwner owner;
    EnvFeedbackRun& R = owner.run;
    EnvFeedbackDialogue(&R);
    AllocEnvFeedbackRun(&R);
    InitRndNumberGenerator(static_cast<unsigned long>(time(nullptr)));
    // The correlations were checked when read: the generator cannot refuse them.
    if (R.traitInput == 'c') CorrToData_New(R.s, R.p, R.traitCorr, R.B, 1);

    // The run's files are put in place together at its end.
    ReplacingSet files;
    EnvFeedbackStepFiles steps;
    FILE* traitData = R.intermediate ? files.OpenOrRaise("TraitData.txt") : nullptr;
    if (traitData) WriteRawTraits(traitData, R);
    StandardizeTraits(R.s, R.p, R.B, R.mean, R.sd, R.zmin, R.zmax);
    StandardizeFactorRows(R.f, R.n, R.E);
    if (R.intermediate) {
        WriteStandardizedTraits(traitData, R);
        steps.env = files.OpenOrRaise("EnvData.txt");
        steps.cwmExpected = files.OpenOrRaise("CWM_Expected.txt");
        steps.distances = files.OpenOrRaise("Distances.txt");
        steps.prob = files.OpenOrRaise("Prob.txt");
        steps.community = files.OpenOrRaise("CommunityData.txt");
        steps.cwm = files.OpenOrRaise("CWM.txt");
    }

    RunEnvFeedbackSteps(&R, steps);
    if (R.intermediate) AnnounceStepFiles(Out());
    WriteFinalReport(files.OpenOrRaise("FinalSimulatedData.txt"), R);
    WriteDataFiles(R, files);
    files.CommitOrRaise();
}
