// Functional analysis of a simulated data set: the matrices of the permutation-test engine
// built from the simulated traits, communities and ecosystem, and the engine's run.
#ifndef TNXSIMANAL_H
#define TNXSIMANAL_H

#include "simulation/TNXSIMMODEL.h"
#include "traits/TNXPERMTEST.h"

// The work space of the tests, allocated once for the run.
struct SimAnalysis {
    int* traitFlags = nullptr;    // [p] 1 for a trait of weight above 0
    float* ranges = nullptr;      // [p] 0: the Gower routine takes each trait's range
    double*** Sp = nullptr;       // s x s x p partial Gower similarities
    float** S = nullptr;          // s x s similarity of the OTUs (both triangles)
    double** U = nullptr;         // s x s belonging (each OTU its own type)
    double** Wr = nullptr;        // n x s communities at unit totals
    double** Y = nullptr;         // n x s Beals smoothing
    double** Z = nullptr;         // n x s fuzzy-weighted smoothing
    double** Eanal = nullptr;     // n x v selected predictors, centred and normalised
    double** DE = nullptr;        // n x n
    double** DY = nullptr;
    double** DZ = nullptr;
    double** T = nullptr;         // n x p handed back
    double** X = nullptr;         // n x s handed back
    double* R = nullptr;          // [n] handed back
    PermTest_FunctionalPhyl_Correl_Input record{};
};

void AllocSimAnalysis(const AssemblySettings& set, SimAnalysis* a);
void FreeSimAnalysis(const AssemblySettings& set, SimAnalysis* a);

// Builds the matrices of the tests from the simulated data set, fills the record and runs the
// engine, which leaves the observed statistics and their probabilities in a->record. When the
// engine cannot test the data set, every probability is 1 (nothing is rejected) and false is
// returned. The options come from the settings dialogue (global data model).
bool AnalyseSimulatedData(const AssemblySettings& set, const AssemblyModel& m, const int* varSelect, SimAnalysis* a);

#endif
