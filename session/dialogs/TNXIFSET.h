// Settings dialogs of the two community-structure analyses.
//
// SettingsHierarchy fixes every option of the functional analysis (types of OTUs, fuzzy or
// crisp belonging, permutation tests, congruence measure, resemblance function, traits and
// their weights, standardisation of W, phylogeny, report mode). The trait-subset search runs
// it too, through SettingsChRank, with optmain 'K', which skips the questions that only the
// functional analysis needs. Both read the loaded data set and write the options of the
// global data model (TNXGLOB.h).
//
// Arrays allocated for one run (nestingMembershipOTUs with restricted permutations,
// partition_OTUs_Phyl with the phylogeny) are released by ReleaseSettingsArrays, which the
// handlers call after the analysis; a new run of the dialog also releases a leftover first.
#ifndef TNXIFSET_H
#define TNXIFSET_H

// The functional-analysis settings dialog.
void SettingsHierarchy();

// Resemblance function of communities (whichObj 'r') or of types (whichObj 'c', with the
// hierarchy level); the classical analyses (optmain neither 'H' nor 'K') also get the
// printout questions.
void SettingsRese();

// Asks the resemblance function (6 Euclidean distance, 10 chord distance; 7, 8 and 9 are
// accepted too) into *option; returns it.
int SettingReseFunction(int* option);

// The hierarchy level: 1, unless nch >= 2, poolCSTopt is 1 and isHierarchical is 1, when it
// is asked in 1..nch. Stores it in *level and returns it.
int SettingWhichLevel(int* level);

// Sets prindaMode for the report volumeName + fileName: "w" when the file does not exist,
// "a" when it exists and a macro runs, otherwise the user's choice (w or a, either case).
void GetPrindaMode(const char* fileName);

// The trait-subset optimisation settings; returns printRankIntermedResults ('y' or 'n').
int SettingsChRank();
// Earlier form of the same dialog (criteria 1 and 9 to 17); nothing calls it.
int SettingsChRank_OLD();

// Releases nestingMembershipOTUs and partition_OTUs_Phyl when they are allocated and nulls
// them.
void ReleaseSettingsArrays();

#endif
