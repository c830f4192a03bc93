// Checks that bring a data set back into order before it is written (after it was cut down or
// merged), and the small routines on trait states and species maps that the analyses use.
//
// They work in place on the loaded data set of TNXGLOB.h. OTUs that occur in no community and
// species that are repeated or left empty are removed by moving their rows to the end and
// releasing them at once (their row slots are nulled), so that the release of the data set
// with the new, smaller counts stays complete.
#ifndef TNXCHECK_H
#define TNXCHECK_H

// Number of communities in which no OTU has a value other than 0; set by CheckData.
extern int emptyReleves;

// Drops absent OTUs, merges repeated species, recounts ncst and emptyReleves, the states of
// the traits (countStates 1) and the ranges of the interval traits, and trims the species.
void CheckData(int countStates);

// Drops the OTUs without a value other than 0 in any community (-999 counts as a value): their
// rows of B, of the trait codes csm, of W, of the OTU-species map and of the phylogeny.
void DropAbsentOtus();

// ncst[c] = the OTUs with a value other than 0 in community c; emptyReleves = the communities
// with none.
void CountOtusPerCommunity();

// Merges species positions that carry the same name (maps ORed into the first position).
void CheckSpeciesMerge();

// When a trait is labelled "sp", fills it with the 0-based row of each OTU's species' first
// OTU, so that it becomes a nominal species identifier.
void CheckCSTsSameSpecies();

// Removes species without OTUs among rows 0..n-1 and species that occur in no community, and
// clears the OTU-species entries that no community supports. An OTU left without a species
// is reported on standard error.
void TrimSpecies(int n);

// Number of distinct values of each trait over rows 0..n-1 (-999 counts as a value).
void CountStates(int nch, int n, int* onsta, float** data);

// range[j] = max - min over the present values (not -999) of each trait of type 3; 0 when
// the trait has no present value. Traits of other types keep their range.
void RangeStates(int nch, int n, float** data, int* type, float* range);

// Merges the rows of a '0'/'1' map (nSpp columns) that carry equal keys: later rows are ORed
// into the first row of their key and moved, with their keys, behind the merged rows.
void MatchSpeciesCST(int n, char** map, int* key);

// mapOut[g-1] = OR of the rows i of mapIn with group[i] == g, for g = 1..k (nSpp columns).
void MatchSpeciesCSTPooled(int n, int k, char** mapIn, char** mapOut, int* group);

// State counters on trait strings of two characters per trait (trait j at characters 2j and
// 2j+1). states holds room for the states (3 bytes each); the counters clear it first.
void CountStatesChar(int trait, int n, int* nStates, char** strings, char** states);
void CountStatesFreqChar(int trait, int n, int* nStates, char** strings, char** states, int* freq);
// The same over the rows with group[i] == g; freq and states have nFreq slots.
void CountStatesFreqGroup(int trait, int n, int* nStates, char** strings, char** states, int* freq,
                          int nFreq, int* group, int g);

// 1 when the first 4 characters of label equal those of one of labels[0..n-1], else 0.
int CheckIdenticalLabels(const char* label, char** labels, int n);

#endif
