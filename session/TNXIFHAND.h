// Handlers of the community-structures menu: H (functional analysis) and K (trait-subset
// search). Each names its result file, runs its settings dialog, calls the analysis, marks the
// loaded data as changed (the session loop reloads them before the menu comes back), tells the
// user where the results are and waits for the return key.
#ifndef TNXIFHAND_H
#define TNXIFHAND_H

// The functional analysis (letter H). Rewrites the whole track file.
void IFHierarchicalAccum();

// The search for the optimal trait subset (letter K). Leaves the track file as it was.
void IFChOrderSearch();

// Suffix of the result file of a trait-subset criterion (1, 9 to 24), appended to the session
// name; null for a criterion that has no search.
const char* ChRankFileSuffix(int criterion);

// Writes W (tcst rows of ncsm values) to the intermediate file volumeName + whichHier, headed
// by "tcst<TAB>ncsm". Code 4 when the file cannot be created, code 3 when a write fails.
void WriteIntermediateW();

#endif
