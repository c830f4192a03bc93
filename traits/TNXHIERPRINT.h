// Report printers of the trait hierarchy: contingency tables of types (or groups) by
// communities with the types' trait codes, the presence and dominance summary of the types, and
// the species of each type. Each writes to the stream it is given, with sDigits significant
// digits, and wraps lines at maxColsPrint.
#ifndef TNXHIERPRINT_H
#define TNXHIERPRINT_H

#include <cstdio>

// The contingency table of one level: rows r (types or groups) by columns c (communities or
// groups), data[c][r] being the value of row r in column c, each row led by its first nTraits
// trait codes (codes[r], two characters per trait; a trait labelled "sp" in the order nchor
// shows the first four letters of the species that cstSppMap maps to the row). mode 0: types,
// "PFT" rows numbered unless rowLabels are given; 1: rows and columns with their group labels
// (colGroupLabels[colGroups[c] - 1], rowGroupLabels[rowGroups[r] - 1]), no heading; 2: group
// rows "Gr "; 3: OTU rows with their group. level is 0-based. colLabels null: columns numbered.
void PrintTables_iNEW(int level, FILE* f, int nTraits, int nCols, int nRows, char** codes, float** data,
                      char** colLabels, char** rowLabels, int mode, char** colGroupLabels, char** rowGroupLabels,
                      int* colGroups, int* rowGroups);

// Every level's table (only the first unless isHierarchical is 1) in mode 0: types by the
// communities reLabel, levelData[l] being communities x nTypes[l].
void PrintTables(FILE* f, int nLevels, int nComm, int* nTypes, char*** levelCodes, float*** levelData);

// The table of polythetic groups: as PrintTables_iNEW without line wrapping, the heading
// "Contingency table level %d: \n" (modes 0 and 2) and each group's pooled whole-number state
// per trait (states[r][t]) in place of the code characters.
void PrintTablesCsmInt(int level, FILE* f, int nTraits, int nCols, int nRows, int** states, float** data,
                       char** colLabels, char** rowLabels, int mode, char** colGroupLabels, char** rowGroupLabels,
                       int* colGroups, int* rowGroups);

// Presence (percentage of the nComm communities where the type's performance is not 0) and
// dominance (its mean performance over those communities; 0 for a type never present) of the
// nTypes types of data (communities x types), in decreasing order of presence, ties in
// decreasing order of dominance.
void PrintSummaryNEW(FILE* f, int nComm, int nTypes, float** data);

// "PFT#" and "Species", then one line per type: its number (labels null) or label, and the
// names of the species that map[type] ('0'/'1' over nSpp species) marks.
void PrintSpp(FILE* f, int nTypes, char** map, char** names, char** labels);

#endif
