// Readers of the intermediate file (session name + "Hie.txt"): level after level, a line with
// the number of rows (the level's types, or the traits) and the number of communities, then each
// row's value in every community.
//
// Every count is checked before anything is allocated: the community count must be ncsm and a
// level must hold at least one row (code 2 otherwise); a table the machine cannot hold is code 1
// and one the file is too short to hold is code 2, as is an unreadable value or an early end. A
// file that cannot be opened is code 4 (after the opener's message).
#ifndef TNXHIEFILE_H
#define TNXHIEFILE_H

// Reads levels 1..level (1-based) of volumeName + name and returns level `level` as *rows rows
// by ncsm values, parsed as single-precision numbers; release it with free2D(m, *rows).
// rowsPerLevel, when not null, receives the row count of every level read (`level` entries).
float** ReadIntermediateLevel(const char* name, int level, int* rows, int* rowsPerLevel = nullptr);

// The same, the values parsed as double-precision numbers.
double** ReadIntermediateLevelDouble(const char* name, int level, int* rows, int* rowsPerLevel = nullptr);

// Reads levels 1..nLevels: levels[l] is rows[l] by ncsm single-precision values. Release with
// FreeIntermediateLevels.
float*** ReadIntermediateLevels(const char* name, int nLevels, int* rows);
void FreeIntermediateLevels(float*** levels, int nLevels, const int* rows);

#endif
