// The structured table (communities and types of one hierarchy level arranged by their groups)
// and the exports of a level's community-by-type table or of a community resemblance for other
// programs, with the further table printers of the same family.
#ifndef TNXTABLE_H
#define TNXTABLE_H

#include <cstdio>

// The table of level whichLevelGrCST, built from the session's trait codes (traits put in the
// order nchor, cadat pooled in place: the session's data change), communities and types in the
// order of their groups, appended to whichPrinda; with printSpp 'y' (not in a species table) the
// species of each type. Without a community (type) partition each community (type) becomes its
// own group, labelled by its number, and the session keeps that partition.
void StructTable();

// Level `level` of whichHier written for other programs, to session name + "l<level>" +
// "Orbald.txt" (whichOrbald) or "Mulva5.txt" (whichMulva): the types' values in the communities,
// the community labels and the types' numbers, or in a species table their species.
void PrintOrbaldFormat(int level);
void PrintMulvaFormat(int level);
// The upper half of the ncsm x ncsm resemblance without its diagonal, in one row, to session
// name + "l<level>" + "Rese.txt" (whichRelReseNoDiag).
void PrintReseRowFormat(double** rese, int level);
// Level `level` of whichHier as a matrix of types by communities with its notes, to whichMulva
// (named as by PrintMulvaFormat); in a species table each type's species follow.
void PrintMatrixFormat(int level);

// "ENVIRONMENTAL VARIABLES": each variable's values (env[community][variable]) by community,
// written to whichPrinda with prindaMode.
void PrintEnvMatrix(int nVar, int nRel, float** env, char** varLabels, char** relLabels);
// Presence (percentage of communities where the value is above 0) and dominance (mean of those
// values) of each type (column of table, communities x types), listed by decreasing presence;
// of equal presence the later type first.
void PrintSummary(FILE* f, int nRel, int nTypes, float** table);
// The species of each type (map[type][species] '1'): the 4-letter codes, wrapped at
// maxColsPrint, or with fullNames the whole names.
void PrintSppNEW(FILE* f, int nTypes, char** map, char** species, char** typeLabels, int fullNames);
// The earlier contingency-table printer: as PrintTables_iNEW (rows r, columns c, data[c][r]),
// one heading line of labels, group labels where given, values aligned on the widest.
void PrintTables_i(int level, FILE* f, int nTraits, int nCols, int nRows, char** codes, float** data, char** colLabels,
                   char** rowLabels, int mode, char** colGroupLabels, char** rowGroupLabels, int* colGroups,
                   int* rowGroups);

#endif
