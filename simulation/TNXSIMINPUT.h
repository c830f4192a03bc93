// Dialogue and parameter files of the community assembly simulator.
#ifndef TNXSIMINPUT_H
#define TNXSIMINPUT_H

#include "simulation/TNXSIMMODEL.h"

// True when a table of rows x cols cells can be held: both positive and rows x cols (computed
// in 64 bits) at most INT_MAX, so that every index and count of the run fits an int.
bool CellsFit(long long rows, long long cols);

// Number of predictors: f, plus f(f-1)/2 pairs with interactions (64-bit).
long long PredictorCount(long long f, bool interactions);

// True when the symmetric n x n matrix (both triangles as given) has a Cholesky factor.
bool IsPositiveDefinite(int n, float** corr);
bool IsPositiveDefinite(int n, double** corr);

// The whole dialogue: counts, letters and ranges; every parameter file is read (and a
// correlation matrix checked) as soon as it is named, into the model's matrices, which are
// allocated then. In type I error or power mode the functional-analysis settings dialogue runs
// with the trait descriptors of the simulation (globalsSet becomes true; savedPrinda and
// savedPrindaMode keep what ReleaseSimulatorGlobals restores). rawEnv receives the factors as
// read (environment from file), varSelect the v selection flags. A file that cannot be opened
// is asked for again; one that ends early or holds a value that is no finite number raises
// code 2, as does the end of the input.
void SimulatorDialogue(AssemblySettings* set, AssemblyModel* m, double*** rawEnv, int** varSelect, bool* globalsSet,
                       char* savedPrinda, char* savedPrindaMode);

// Releases the trait descriptors and settings arrays the simulator allocated, clears the counts
// it set and restores the report name and mode of the settings dialogue.
void ReleaseSimulatorGlobals(const char* savedPrinda, const char* savedPrindaMode);

#endif
