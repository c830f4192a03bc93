// Report of the community assembly simulator ("FinalSimulatedData.txt"): the parameter echo,
// the block of each simulated data set, the tests of each data set and the final proportions
// of rejections; and the data files of the last simulated data set.
#ifndef TNXSIMREP_H
#define TNXSIMREP_H

#include <cstdio>

#include "foundation/ReplacingWriter.h"
#include "simulation/TNXSIMMODEL.h"

// Number of statistics whose rejections the simulator counts (the first ones of the
// permutation engine's index: r(XE), r(TE), r(XE.T), r(RE), r(XE.TR), r(TY), r(TZ), r(XY),
// r(XZ), r(XY_T), r(XZ_T)).
constexpr int kSimCountedStats = 11;

// The title lines and the parameter echo. rawEnv holds the f x n factors as read (environment
// from file), or null.
void WriteSimulationHeader(FILE* f, const AssemblySettings& set, const AssemblyModel& m, double** rawEnv);

// The block of data set d after its model run.
void WriteDataSetBlock(FILE* f, const AssemblySettings& set, const AssemblyModel& m, int d);

// What the tests of one data set leave for the report.
struct SimDataSetTests {
    double** T = nullptr;       // n x p community-weighted means
    double* R = nullptr;        // [n] Rao entropy
    const double* observed = nullptr;     // engine's index
    const double* probability = nullptr;  // engine's index
};

// The labels and weights of the traits and ecosystem variables (step lines of the tests).
void WriteTraitAndVariableLines(FILE* f, const AssemblySettings& set, const int* varSelect);

// The test block of one data set: T transposed, R, the trait and variable lines, and each
// statistic with its probability.
void WriteDataSetTests(FILE* f, const AssemblySettings& set, const SimDataSetTests& t, const int* varSelect);

// Counts a rejection for every statistic whose probability is at most alpha (equal within one
// single-precision step counting as equal). counters follow the engine's index. A statistic the
// data set does not define (its probability not a number) rejects nothing; undefinedSets, when
// given, counts such data sets per statistic.
void CountRejections(const double* probability, double alpha, double* counters, int* undefinedSets = nullptr);

// The final section: the counters divided by N, or "undefined" for a statistic that no data set
// defined (undefinedSets[i] == N, when given); elapsed processor seconds.
void WriteFinalResults(FILE* f, const AssemblySettings& set, const AssemblyModel& m, const double* counters,
                       const int* varSelect, double elapsedSeconds, const int* undefinedSets = nullptr);

// B_Simulated.txt, W_Simulated.txt, E_Simulated.txt and TraitTypes_Simulated.txt (when N <= 2),
// and OTUs_Simulated.txt, among the run's files (each replacing what an earlier data set of the
// run wrote there), put in place when the run commits them. Raises code 4 when one cannot be
// created.
void WriteSimulatedDataFiles(const AssemblySettings& set, const AssemblyModel& m, ReplacingSet& files);

// "TraitTypes_Simulated.txt" ("3\t" for each of p traits) and "OTUs_Simulated.txt" (1..s, one a
// line), among the run's files.
void WriteTraitTypesFile(ReplacingSet& files, int p);
void WriteOtuNumbersFile(ReplacingSet& files, int s);

// The console lines that name the six per-step files.
void AnnounceStepFiles(FILE* console);

// A long run stops at the first failed write of its per-step files (RaiseOnFailedWrite), the
// live simulator's or the earlier one's, whose files bear the same names; the run's set, dropped
// as the error leaves its frame, leaves every earlier file as it was.
template <class StepFiles>
void StopAtFailedStepWrite(const StepFiles& files) {
    RaiseOnFailedWrite(files.community, "CommunityData.txt");
    RaiseOnFailedWrite(files.env, "EnvData.txt");
    RaiseOnFailedWrite(files.cwmExpected, "CWM_Expected.txt");
    RaiseOnFailedWrite(files.distances, "Distances.txt");
    RaiseOnFailedWrite(files.prob, "Prob.txt");
    RaiseOnFailedWrite(files.cwm, "CWM.txt");
}

#endif
