// Community assembly simulator: the dialogue, the parameter files, and the run over the
// simulated data sets with their report (main-menu letter A).
#include "simulation/TNXSIMUL.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/nrutilQW.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlibSimData.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/model/TNXGLOB.h"
#include "simulation/TNXSIMANAL.h"
#include "simulation/TNXSIMINPUT.h"
#include "simulation/TNXSIMREP.h"

namespace {

FILE* Out() { return out ? out : stdout; }

// Everything one run owns; released however the run ends.
struct SimulationRun {
    AssemblySettings set;
    AssemblyModel model;
    double** rawEnv = nullptr;  // f x n factors as read
    int* varSelect = nullptr;   // [v]
    SimAnalysis analysis;       // work space of the tests (type I error or power mode)
    bool globalsSet = false;
    char savedPrinda[kFileNameSize] = "";
    char savedPrindaMode[4] = "";

    ~SimulationRun() {
        FreeSimAnalysis(set, &analysis);
        FreeAssemblyModel(set, &model);
        if (rawEnv) free2D(rawEnv, set.f);
        free1D(varSelect);
        if (globalsSet) ReleaseSimulatorGlobals(savedPrinda, savedPrindaMode);
    }
};

// The trait data file of the per-step files.
void WriteTraitDataStart(FILE* f, const AssemblySettings& set, const AssemblyModel& m) {
    if (set.traitInput == 't') {
        fprintf(f, "Trait data (not standardized, %d OTUs in rows and %d traits in columns):\n", set.s, set.p);
        PrintMatrixTab(f, set.s, set.p, m.B, sDigits);
        return;
    }
    fprintf(f, "\nTrait correlation matrix (%d traits):\n", set.p);
    PrintMatrixTab(f, set.p, set.p, m.traitCorr, sDigits);
    if (set.traitInput == 'b') {
        fprintf(f, "\nCorrelation matrix between OTUs (%d nOTUs):\n", set.s);
        PrintMatrixTab(f, set.s, set.s, m.otuCorr, sDigits);
    }
}

// Standardizes B and, with the per-step files, appends it to the trait data file.
void StandardizeAndRecordTraits(const AssemblySettings& set, AssemblyModel* m, FILE* traitData) {
    StandardizeTraits(set.s, set.p, m->B, m->mean, m->sd, m->zmin, m->zmax);
    if (!traitData) return;
    fprintf(traitData, "\nTrait data (standardized to Z scores, %d OTUs in rows and %d traits in columns):\n", set.s,
            set.p);
    PrintMatrixTab(traitData, set.s, set.p, m->B, sDigits);
    fprintf(traitData, "\nTrait means (%d traits):\n", set.p);
    PrintVectorTab(traitData, set.p, m->mean, sDigits, nullptr);
    fprintf(traitData, "\nTrait standard deviations (%d traits):\n", set.p);
    PrintVectorTab(traitData, set.p, m->sd, sDigits, nullptr);
    fprintf(Out(), "\n\nTrait data (standardized to Z scores) saved on file %s\n", "TraitData.txt");
}

// Generates the traits of a data set from the correlation matrices (inputs c and b). The
// matrices were checked when they were read, so the generator cannot refuse them.
void GenerateTraits(const AssemblySettings& set, AssemblyModel* m) {
    if (set.traitInput == 'c')
        CorrToData_New(set.s, set.p, m->traitCorr, m->B, set.traitCode);
    else
        CorrToData_BothRowsColumns(set.s, set.p, m->traitCorr, m->otuCorr, m->B, set.traitCode);
}

}  // namespace

void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error() {
    SimulationRun run;
    AssemblySettings& set = run.set;
    AssemblyModel& m = run.model;
    SimulatorDialogue(&set, &m, &run.rawEnv, &run.varSelect, &run.globalsSet, run.savedPrinda, run.savedPrindaMode);
    AllocAssemblyModel(set, &m);
    InitRndNumberGenerator(rseed);

    // Every file of the run is put in place at its end, together: a run that an error or a signal
    // ends leaves the earlier run's files as they were.
    ReplacingSet files;
    FILE* traitData = nullptr;
    AssemblyStepFiles steps;
    if (set.stepFiles) {
        traitData = files.OpenOrRaise("TraitData.txt");
        WriteTraitDataStart(traitData, set, m);
    }
    if (set.traitInput == 't') StandardizeAndRecordTraits(set, &m, traitData);
    if (set.stepFiles) {
        steps.env = files.OpenOrRaise("EnvData.txt");
        fprintf(steps.env, "Ecosystem data matrix (simulation steps and community sites in rows, %d environmental "
                           "variables in columns):\n", set.f);
        steps.cwmExpected = files.OpenOrRaise("CWM_Expected.txt");
        fprintf(steps.cwmExpected, "Expected community weighted means (CWM), standardized to Z scores according to "
                                   "mean and standard deviations in the trait matrix matrix (simulation steps and "
                                   "community sites in rows, %d traits in columns):\n", set.p);
        steps.distances = files.OpenOrRaise("Distances.txt");
        steps.prob = files.OpenOrRaise("Prob.txt");
        steps.community = files.OpenOrRaise("CommunityData.txt");
        steps.cwm = files.OpenOrRaise("CWM.txt");
        fprintf(steps.cwm, "Community weighted means (CWM), (simulation steps and community sites in rows, %d traits in "
                           "columns):\n", set.p);
    }
    FILE* rep = files.OpenOrRaise("FinalSimulatedData.txt");
    WriteSimulationHeader(rep, set, m, run.rawEnv);
    if (set.envMode == 'e') {
        StandardizeFactorRows(set.f, set.n, m.E0);
        FormInteractionRows(set.f, set.n, set.interactions, m.E0);
    }

    // A long run stops at the first failed write of its files (a full disk, a file-size limit),
    // checked after the writes of each data set.
    auto stopAtFailedWrite = [&] {
        RaiseOnFailedWrite(traitData, "TraitData.txt");
        StopAtFailedStepWrite(steps);
        RaiseOnFailedWrite(rep, "FinalSimulatedData.txt");
    };
    const bool dataBlocks = !(set.testMode && !set.intermediate);
    double counters[kSimCountedStats] = {};
    int undefinedSets[kSimCountedStats] = {};
    if (set.testMode) AllocSimAnalysis(set, &run.analysis);
    const clock_t start = clock();
    for (int d = 1; d <= set.N; d++) {
        if (set.traitInput != 't') {
            GenerateTraits(set, &m);
            StandardizeAndRecordTraits(set, &m, traitData);
        }
        // The factor correlations were checked when read: the generator cannot refuse them.
        PrepareDataSet(set, &m);
        RunAssemblySteps(set, &m, d, steps);
        if (set.stepFiles) AnnounceStepFiles(Out());
        if (dataBlocks) WriteDataSetBlock(rep, set, m, d);
        WriteSimulatedDataFiles(set, m, files);
        stopAtFailedWrite();
        if (set.testMode) {
            SimAnalysis& a = run.analysis;
            AnalyseSimulatedData(set, m, run.varSelect, &a);
            CountRejections(a.record.probability, set.alpha, counters, undefinedSets);
            if (set.intermediate) {
                SimDataSetTests t;
                t.T = a.T;
                t.R = a.R;
                t.observed = a.record.observed;
                t.probability = a.record.probability;
                WriteDataSetTests(rep, set, t, run.varSelect);
                stopAtFailedWrite();
            }
        }
    }
    if (set.testMode) {
        // Processor time, in seconds.
        const double elapsed = static_cast<double>(clock() - start) / CLOCKS_PER_SEC;
        WriteFinalResults(rep, set, m, counters, run.varSelect, elapsed, undefinedSets);
    }
    files.CommitOrRaise();
}
