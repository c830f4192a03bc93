// The formatted data file (session name + "Formda.txt"): the master copy of a session's data
// set, written once by the raw-data import and loaded into the global data model (TNXGLOB.h)
// on entering a session and after every analysis.
//
// Plain text read item by item (only the order of the items matters). Version words: "25Jun2016"
// (also read: "18Jan2008" without trait groups, and the older form without a version word in
// which each OTU's traits are one word of two-character codes, see EncodeTraitCode), and "97Sep08" before the
// environmental block (older files have no types there). Labels are whole words of which the
// first 10 characters are kept.
#ifndef TNXIFFM2_H
#define TNXIFFM2_H

#include <cstddef>
#include <string>

// Version word of the formatted data file, and the earlier one that it also reads.
extern const char versionFormdaFile[];       // "25Jun2016"
extern const char versionFormdaFileOld[];    // "18Jan2008"

// Writes volumeName + fileName: the data set of the globals with nPop OTU rows of B [nPop][nch]
// and W [nPop][ncsm], under the name dataName. The file is written to a temporary file in the
// same directory and renamed over the old one: a file that cannot be created raises code 4, a
// failed write or close code 3, and the old file is then left as it was. While a run is under
// way (RunFiles: an import) the file joins the run's set and is put in place at its commit.
void WriteFormda(int nPop, const char* fileName, const char* dataName, float** B, float** W);

// Loads volumeName + whichFormda into the global data model: the previous data set is released
// and every item reset first, then the data, descriptors, labels and the working and partition
// arrays are allocated and filled; dirtyOrig becomes 0. A file that cannot be opened raises
// code 4, an unreadable item or an early end code 2. The flag is kept for its callers, who all
// pass 1; the whole file is always read.
void OpenFormda(int fullRead);

// The older form of the file, which a session reads like the current one: the ranges, the OTUs
// per community and the cover-abundance codes written with their values, no version word, and
// per OTU one word of two-character trait codes followed by its W values. Every value of B is
// coded first (EncodeTraitCode); a value that has no code is named on standard error and
// raises code 5 before anything is written. Otherwise as WriteFormda (no trait groups).
void WriteFormda_OLD(int nPop, const char* fileName, const char* dataName, float** B, float** W);
// OpenFormda for a file of the older form only: a file with a version word raises code 2.
void OpenFormda_OLD(int fullRead);

// The session whose formatted data file `path` is: the file name less "Formda.txt" (formdaExt),
// the folders before it left out; a file named otherwise is named whole.
std::string SessionOfDataFile(const std::string& path);

// Two-character trait codes of the older form: a whole number 0..99 as two digits, except
// under a trait labelled "sp", whose codes are species numbers 0..3843 in base 62 (0-9, A-Z,
// a-z, as IntToAlpha writes them).
bool IsSpeciesTrait(const char* label);
// Writes the code of v into pair[0..1]; false, pair untouched, when v has no such code.
bool EncodeTraitCode(float v, bool species, char* pair);
// The codes of OTU i's traits (row, nch values) into word[0 .. 2 nch - 1]: a value without a code
// is named on standard error and raises code 5.
void CodeTraitRow(int i, const float* row, char* word);
// The value of the code pair[0..1]; false when it is no such code.
bool DecodeTraitCode(const char* pair, bool species, float* v);

// Joins the data of the formatted data file volumeName + secondFile to the loaded data set
// and writes the result as sessionName + "Formda.txt", which whichFormda then names. Returns 1;
// 0 after a refusal (its message on standard output), the loaded data set left as it was.
int MergeFormda(const char* secondFile);

// Releases the loaded data set and sets every item of it to its default (no data, window
// size 1, no phylogeny, no trait groups, no stored partitions).
void ResetDataSet();

// Allocates the working and partition arrays of the loaded counts (all empty) and points the
// current partitions to slot 0.
void AllocateWorkingArrays();

#endif
