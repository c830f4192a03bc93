// Dialogue and parameter files of the community assembly simulator.
#ifndef TNXSIMINPUT_H
#define TNXSIMINPUT_H

#include <cstdio>
#include <functional>

#include "simulation/TNXSIMMODEL.h"

// True when a table of rows x cols cells can be held: both positive and rows x cols (computed
// in 64 bits) at most INT_MAX, so that every index and count of the run fits an int.
bool CellsFit(long long rows, long long cols);

// Number of predictors: f, plus f(f-1)/2 pairs with interactions (64-bit).
long long PredictorCount(long long f, bool interactions);

// True when the symmetric n x n matrix (both triangles as given) has a Cholesky factor.
bool IsPositiveDefinite(int n, float** corr);
bool IsPositiveDefinite(int n, double** corr);

// A count in 1..2147483647 read after the prompt, asked again with "Too large" until fits says
// the run can hold it.
int AskSimulationCount(const char* prompt, const std::function<bool(long long)>& fits);

// "Enter data file name: " until the named file opens (name receives it), then rows x cols
// numbers in row order; the file is closed after reading. A file that ends early or holds a
// value that is no finite number raises code 2.
void ReadSimulationMatrix(char (&name)[48], int rows, int cols, double** dst);
// The same numbers from a file that is already open; name is the one its messages show.
void ReadSimulationValues(FILE* f, const char* name, int rows, int cols, double** dst);
// The prompt (with a and b) and an n x n correlation matrix, both asked again until the matrix
// is positive definite.
void ReadSimulationCorrelation(char (&name)[48], int n, double** dst, const char* prompt, int a, int b);

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
