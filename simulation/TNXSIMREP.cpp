// Report and data files of the community assembly simulator.
#include "simulation/TNXSIMREP.h"

#include <cmath>
#include <cstdio>

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "session/model/TNXGLOB.h"
#include "traits/TNXPERMTEST.h"

namespace {

const char* Distribution(int code) { return code == 1 ? "UNIFORM" : "NORMAL"; }

void PrintVector(FILE* f, int n, double* v) { PrintVectorTab(f, n, v, sDigits, nullptr); }

// Standardized traits with their means and deviations under the given caption.
void TraitBlock(FILE* f, const AssemblySettings& set, const AssemblyModel& m, const char* caption) {
    fprintf(f, caption, set.s, set.p);
    PrintMatrixTab(f, set.s, set.p, m.B, sDigits);
    fprintf(f, "\nTrait means (%d traits):\n", set.p);
    PrintVector(f, set.p, m.mean);
    fprintf(f, "\nTrait standard deviations (%d traits):\n", set.p);
    PrintVector(f, set.p, m.sd);
}

void OtuCorrelationBlock(FILE* f, const AssemblySettings& set, const AssemblyModel& m) {
    fprintf(f, "\nSpecified correlation matrix between OTUs (%d OTUs x %d OTUs, file %s): \n", set.s, set.s,
            set.otuCorrFile);
    PrintMatrixTab(f, set.s, set.s, m.otuCorr, sDigits);
}

void TraitCorrelationBlock(FILE* f, const AssemblySettings& set, const AssemblyModel& m, bool distribution) {
    fprintf(f, "\nSpecified trait correlation matrix (%d traits x %d traits, file %s): \n", set.p, set.p,
            set.traitCorrFile);
    if (distribution) fprintf(f, "Trait data generated with %s distribution\n", Distribution(set.traitCode));
    PrintMatrixTab(f, set.p, set.p, m.traitCorr, sDigits);
}

void ResponseBlock(FILE* f, const AssemblySettings& set, const AssemblyModel& m, const char* interactionsWord) {
    if (set.interactions)
        fprintf(f, "\nParameters for linear models of community responses to ecosystem conditions (%d traits by %d "
                   "ecosystem predictor variables (and their %s), file %s): \n",
                set.p, set.f, interactionsWord, set.responseFile);
    else
        fprintf(f, "\nParameters for linear models of community responses to ecosystem conditions (%d traits by %d "
                   "ecosystem predictor variables, file %s): \n",
                set.p, set.f, set.responseFile);
    PrintMatrixTab(f, set.p, set.v, m.A, sDigits);
}

void EffectAndConsideredBlocks(FILE* f, const AssemblySettings& set, const AssemblyModel& m) {
    fprintf(f, "\nParameters for linear models of community effects on ecosystem conditions (%d ecosystem variables "
               "by %d predictor traits, %s): \n",
            set.f, set.p, set.effectFile);
    PrintMatrixTab(f, set.f, set.p, m.K, sDigits);
    fprintf(f, "\nTraits that were considered to compute distances between each OTU trait value and expected value "
               "at the community site (traits with non-zero parameters for community responses to ecosystem "
               "conditions): \n");
    PrintVectorTab(f, set.p, m.considered, nullptr);
}

// The words that describe when the counts of the data-set block were recorded.
void RecordedCaption(FILE* f, const char* what, const char* when, const AssemblySettings& set, const AssemblyModel& m) {
    fprintf(f, "\n%s (%s step %d, when either %g of the average maximum number of individuals per community or %g "
               "of the specified maximum number of individual colonization/extinction iterations were reached):\n",
            what, when, m.recordStep, set.h, set.h);
}

}  // namespace

void WriteSimulationHeader(FILE* f, const AssemblySettings& set, const AssemblyModel& m, double** rawEnv) {
    fprintf(f, "%s\n", lineL);
    fprintf(f, "SIMULATION OF COMMUNITY ASSEMBLY\n");
    fprintf(f, "%s\n", version);
    TimeStamp(f);
    fprintf(f, "%s\n", lineL);

    if (set.traitInput == 't') {
        TraitBlock(f, set, m, "\nSpecified trait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n");
    } else {
        if (set.traitInput == 'b') OtuCorrelationBlock(f, set, m);
        TraitCorrelationBlock(f, set, m, true);
    }
    fprintf(f, "\nSpecified minimum long-distance probability:\t%g\n", set.lmin);

    if (set.kernelMode == 'd') {
        fprintf(f, "\nSpecified parameters for local dispersal kernel (slope and center of the logistic function) for "
                   "%d OTUs:\n", set.s);
        for (int o = 0; o < set.s; o++) fprintf(f, "%g\t%g\n", m.kernel[o][1], m.kernel[o][2]);
    }
    if (set.coordMode == 'c') {
        fprintf(f, "\nSpecified site coordinates (2 x %d community sites):\n", set.n);
        PrintMatrixTab(f, 2, set.n, m.coords, sDigits);
    }
    if (set.envMode == 'e') {
        fprintf(f, "\nInitial ecosystem conditions (%d factors x %d sites, file %s):\n", set.f, set.n, set.envFile);
        if (rawEnv) PrintMatrixTab(f, set.f, set.n, rawEnv, sDigits);
    } else {
        fprintf(f, "\nSpecified correlation matrix between environmental factors (%d factors x %d factors, file %s): \n",
                set.f, set.f, set.factorCorrFile);
        fprintf(f, "Environmental data generated with %s distribution\n", Distribution(set.envCode));
        PrintMatrixTab(f, set.f, set.f, m.factorCorr, sDigits);
    }
    ResponseBlock(f, set, m, "interactions");
    EffectAndConsideredBlocks(f, set, m);
    if (set.survivalMode == 'd') {
        fprintf(f, "\nSpecified parameters slope and center of the logistic the function relating probability of "
                   "survival to distance between OTU traits and expected community traits for %d OTUs:\n", set.s);
        PrintMatrixTab(f, set.s, 2, m.survival, sDigits);
    }
    if (set.densityMode == 'd') {
        fprintf(f, "\nSpecified density dependence parameters for %d OTUs, with the slope and center of the logistic "
                   "function for the probabilities:\n", set.s);
        PrintMatrixTab(f, set.s, 2, m.density, sDigits);
    }
    fprintf(f, "Specified maximum number of colonization/extinction iterations:\t%d\n", set.G);
    fprintf(f, "Specified maximum average number of individuals per community:\t%d\n", set.M);
    fprintf(f, "Specified threshold (proportion) of maximum average number of individuals per community after which "
               "OTU richness is recorded and colonization/extinction events are recorded:\t%g\n", set.h);
}

void WriteDataSetBlock(FILE* f, const AssemblySettings& set, const AssemblyModel& m, int d) {
    const int n = set.n, s = set.s, p = set.p;
    fprintf(f, "\n\nSIMULATED DATA %d", d);
    if (set.traitInput != 't')
        TraitBlock(f, set, m, "\n\nTrait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n");
    if (set.kernelMode == 'r') {
        fprintf(f, "\nRandomly generated long-distance seed dispersal probabilities and local seed dispersal kernel "
                   "parameters (%d OTUs, with probability, and slope and center of the logistic function):\n", s);
        PrintMatrixTab(f, s, 3, m.kernel, sDigits);
    }
    if (set.coordMode == 'r') {
        fprintf(f, "\nSpecified site coordinates (2 x %d community sites):\n", n);
        PrintMatrixTab(f, 2, n, m.coords, sDigits);
    }
    if (set.survivalMode == 'r') {
        fprintf(f, "\nRandomly generated parameters (slope and center) of the logistic function relating probability "
                   "of survival to distance between OTU traits and expected community traits for %d OTUs:\n", s);
        PrintMatrixTab(f, s, 2, m.survival, sDigits);
    }
    if (set.densityMode == 'r') {
        fprintf(f, "\nRandomly generated density dependence parameters for %d OTUs, with slope and center of the "
                   "logistic function:\n", s);
        PrintMatrixTab(f, s, 2, m.density, sDigits);
    }
    fprintf(f, "\nCommunity data matrix at step %d, for %d community sites in rows and %d OTUs in columns:\n", set.G, n, s);
    PrintMatrixTab(f, n, s, m.W, sDigits);
    fprintf(f, "\nAbundance in each community:\n");
    PrintVectorTab(f, n, m.a, nullptr);
    fprintf(f, "Total abundance:\t%d\n", m.total);
    RecordedCaption(f, "OTU richness in each community", "at", set, m);
    PrintVectorTab(f, n, m.richness, nullptr);
    RecordedCaption(f, "Abundance of each OTU in the metacommunity", "at", set, m);
    PrintVectorTab(f, s, m.W[n], sDigits, nullptr);
    RecordedCaption(f, "Total number of OTU extinctions in each community", "after", set, m);
    PrintVectorTab(f, n, m.extinctions, nullptr);
    RecordedCaption(f, "Total number of OTU colonizations in each community", "after", set, m);
    PrintVectorTab(f, n, m.colonisations, nullptr);
    fprintf(f, "\nEcosystem data matrix at step %d (%d ecosystem variables in rows and %d community sites in columns):\n",
            set.G, set.f, n);
    PrintMatrixTab(f, set.f, n, m.E, sDigits);
    fprintf(f, "\nExpected community weighted means (CWM) at step %d, standardized to Z scores according to mean and "
               "standard deviations in the trait matrix, for %d traits in rows and %d community sites in columns:\n",
            set.G, p, n);
    PrintMatrixTab(f, p, n, m.Cstar, sDigits);
    fprintf(f, "\nAmount of extrapolation (if any, when positive was larger than the maximum, when negative was "
               "smaller than the minimum trait value) at step %d, based on standardized to Z scores according to mean "
               "and standard deviations in the trait matrix, for %d traits in rows and %d community sites in columns:\n",
            set.G, p, n);
    PrintMatrixTab(f, p, n, m.extrap, sDigits);
}

void WriteTraitAndVariableLines(FILE* f, const AssemblySettings& set, const int* varSelect) {
    fprintf(f, "\nTraits:       ");
    for (int t = 1; t <= set.p; t++) fprintf(f, "\t%d", t);
    fprintf(f, "\nTrait weights:");
    for (int t = 0; t < set.p; t++) fprintf(f, "\t%g", weight ? static_cast<double>(weight[t]) : 0.0);
    fprintf(f, "\nEcosystem variables (and their interactions if included): ");
    for (int i = 1; i <= set.f; i++) fprintf(f, "\t%d", i);
    if (set.interactions && set.f >= 2)
        for (int i = 1; i <= set.f; i++)
            for (int j = i + 1; j <= set.f; j++) fprintf(f, "\t%dx%d ", i, j);
    fprintf(f, "\nEcosystem variable weights:                              ");
    for (int j = 0; j < set.v; j++) fprintf(f, "\t%d", varSelect[j]);
}

void WriteDataSetTests(FILE* f, const AssemblySettings& set, const SimDataSetTests& t, const int* varSelect) {
    const int n = set.n, p = set.p;
    fprintf(f, "\nCommunity weighted means at final step %d, for %d traits in rows and %d community sites in columns:\n",
            set.G, p, n);
    for (int j = 0; j < p; j++) {
        for (int k = 0; k < n; k++) fprintf(f, "%.*g\t", sDigits, t.T[k][j]);
        fprintf(f, "\n");
    }
    fprintf(f, "\nRao entropy at final step %d, for %d community sites:\n", set.G, n);
    PrintVector(f, n, t.R);
    WriteTraitAndVariableLines(f, set, varSelect);
    // "<head>=\t<value>\tP=\t<probability>\n", both "undefined" for a statistic the data set does
    // not define (too few sites for it, or an environment without variation).
    auto line = [&](const char* head, int i) {
        if (std::isnan(t.observed[i]))
            fprintf(f, "%s=\tundefined\tP=\tundefined\n", head);
        else
            fprintf(f, "%s=\t%g\tP=\t%g\n", head, t.observed[i], t.probability[i]);
    };
    fprintf(f, "\n\nStatistics and probabilities:\n");
    line("Convergence (TCAP): r(TE)", kRoTE);
    line("Both TCAP and Divergence (TDAP): r(XE)", kRoXE);
    line("TDAP: r(XE.T)", kRoXE_T);
    line("Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)", kRoRE);
    line("Beta divergence: r(XE.TR)", kRoXE_TR);
    fprintf(f, "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by "
               "their abundances:\n");
    line("r(TY)", kRTY);
    line("r(XY)", kRXY);
    line("r(XY_T)", kRXY_T);
    fprintf(f, "\nCorrelations with fuzzy-weighted smoothed community matrix (Z) considering OTU's cross-products "
               "based on their abundances:\n");
    line("r(TZ)", kRTZ);
    line("r(XZ)", kRXZ);
    line("r(XZ_T)", kRXZ_T);
}

void CountRejections(const double* probability, double alpha, double* counters, int* undefinedSets) {
    for (int i = 0; i < kSimCountedStats; i++) {
        if (std::isnan(probability[i])) {
            if (undefinedSets) undefinedSets[i]++;
            continue;
        }
        if (AlmostEqual2sComplement(probability[i], alpha, 1) || alpha > probability[i]) counters[i] += 1.0;
    }
}

void WriteFinalResults(FILE* f, const AssemblySettings& set, const AssemblyModel& m, const double* counters,
                       const int* varSelect, double elapsedSeconds, const int* undefinedSets) {
    // A proportion of no test at all is no proportion: it is written "undefined".
    double prop[kSimCountedStats];
    for (int i = 0; i < kSimCountedStats; i++)
        prop[i] = undefinedSets && set.N > 0 && undefinedSets[i] >= set.N ? std::nan("") : counters[i] / set.N;
    fprintf(f, "\n%s\n", lineL);
    fprintf(f, "SIMULATION OF COMMUNITY ASSEMBLY\n");
    fprintf(f, "FINAL RESULTS\n");
    fprintf(f, "%s\n", version);
    TimeStamp(f);
    fprintf(f, "%s\n", lineL);
    if (set.intermediate) {
        if (set.traitInput == 'b') OtuCorrelationBlock(f, set, m);
        if (set.traitInput != 't') TraitCorrelationBlock(f, set, m, false);
        fprintf(f, "\nInitial ecosystem conditions (%d factors x %d sites, file %s).\n", set.f, set.n,
                set.envMode == 'e' ? set.envFile : "");
        ResponseBlock(f, set, m, "double interactions");
        EffectAndConsideredBlocks(f, set, m);
        fprintf(f, "Specified maximum average number of individuals per community:\t%d\n", set.M);
        fprintf(f, "Number of simulated data sets:\t%d\n", set.N);
        fprintf(f, "Number of random permutations in each test:\t%d\n", niter);
        fprintf(f, "Alpha threshold for Ho rejection:\t%g\n", set.alpha);
        fprintf(f, "Random generator seed: %u\n", static_cast<unsigned>(rseed));
        fprintf(f, "Elapsed time (seconds): %g\n", elapsedSeconds);
        WriteTraitAndVariableLines(f, set, varSelect);
    }
    fprintf(f, "\n\nPROBABILITIES OF Ho REJECTION (type I error or power depending on the specified model context) "
               "based on %d tests using %d permutations each:", set.N, niter);
    auto line = [&](const char* head, int i) {
        if (std::isnan(prop[i]))
            fprintf(f, "%s\tP=\tundefined\n", head);
        else
            fprintf(f, "%s\tP=\t%g\n", head, prop[i]);
    };
    fprintf(f, "\n");
    line("Convergence (TCAP): r(TE)", kRoTE);
    line("Both TCAP and Divergence (TDAP): r(XE)", kRoXE);
    line("TDAP: r(XE.T)", kRoXE_T);
    const int ro = opt_ro >= 1 && opt_ro <= 3 ? opt_ro : 1;
    fprintf(f, "Correlation function between matrices: \t%s\n", opt_roInfo[ro - 1]);
    if (opt_ro == 2 || opt_ro == 3)
        fprintf(f, "Factor (f) for limiting the number of predictors in PCA regression in relation to sample size n "
                   "(number of predictors = n/f): %g\n", overfitFactorPCARegr);
    line("Alpha divergence (correlation between ecosystem variables and Rao entropy): r(RE)", kRoRE);
    line("Beta divergence: r(XE.TR)", kRoXE_TR);
    const char* own = BealsIncludeOpt ? "(abundance of target OTU included in its own estimation):\n"
                                      : "(abundance of target OTU NOT included in its own estimation):\n";
    fprintf(f, "\nCorrelations with Beals smoothed community matrix (Y) considering OTU's co-occurences weighted by "
               "their abundances %s", own);
    line("r(TY)", kRTY);
    line("r(XY)", kRXY);
    line("r(XY_T)", kRXY_T);
    fprintf(f, "\nCorrelations with fuzzy-weighted smoothed community matrix (Z) considering OTU's cross-products "
               "based on their abundances %s", own);
    line("r(TZ)", kRTZ);
    line("r(XZ)", kRXZ);
    line("r(XZ_T)", kRXZ_T);
}

void WriteSimulatedDataFiles(const AssemblySettings& set, const AssemblyModel& m, ReplacingSet& files) {
    const int n = set.n, s = set.s, p = set.p;
    if (set.N <= 2) {
        FILE* f = files.OpenOrRaise("B_Simulated.txt");
        PrintMatrixTab(f, s, p, m.B, sDigits);
        // The values are the z-scores of the simulated traits; the caption says so.
        fprintf(f, "Trait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n", s, p);

        f = files.OpenOrRaise("W_Simulated.txt");
        PrintMatrixTab(f, n, s, m.W, sDigits);
        fprintf(f, "\nCommunity data matrix at final step %d, for %d community sites in rows and %d OTUs in columns:\n",
                set.G, n, s);
        fprintf(f, "\nAbundance in each community:\n");
        PrintVectorTab(f, n, m.a, nullptr);
        fprintf(f, "Total abundance:\t%d\n", m.total);

        f = files.OpenOrRaise("E_Simulated.txt");
        PrintMatrixTab(f, set.f, n, m.E, sDigits);
        fprintf(f, "\nEcosystem data matrix at final step %d (%d ecosystem variables in rows and %d community sites in "
                   "columns):\n", set.G, set.f, n);

        WriteTraitTypesFile(files, p);
    }
    WriteOtuNumbersFile(files, s);
}

void WriteTraitTypesFile(ReplacingSet& files, int p) {
    FILE* f = files.OpenOrRaise("TraitTypes_Simulated.txt");
    for (int t = 0; t < p; t++) fprintf(f, "3\t");
}

void WriteOtuNumbersFile(ReplacingSet& files, int s) {
    FILE* f = files.OpenOrRaise("OTUs_Simulated.txt");
    for (int o = 1; o <= s; o++) fprintf(f, "%d\n", o);
}

void AnnounceStepFiles(FILE* console) {
    fprintf(console, "\n\nEcosystem data at every step saved on file %s\n", "EnvData.txt");
    fprintf(console, "Expected CWM at every step saved on file %s\n", "CWM_Expected.txt");
    fprintf(console, "Distances between OTU trait and expected community mean traits at each site, at every step "
                     "saved on file %s\n", "Distances.txt");
    fprintf(console, "Probabilities of survival of each OTU at each site, at every step saved on file %s\n",
            "Prob.txt");
    fprintf(console, "Community data at every step saved on file %s\n", "CommunityData.txt");
    fprintf(console, "Community weighted means (CWM) at every step saved on file %s\n", "CWM.txt");
}
