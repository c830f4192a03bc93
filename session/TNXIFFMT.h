// The "DATA FOR SESSION" dialog and the raw-data import.
//
// A new session gets its data here: raw text files of traits (B), phylogeny (F), performances
// (W), species names and environment (E) are imported into the session's formatted data file
// (TNXIFFM2.h), or the formatted data of other sessions are used or merged. Every way that
// ends with data writes the short track file, which names the formatted data file the
// session uses from then on.
#ifndef TNXIFFMT_H
#define TNXIFFMT_H

#include <cstdio>

// The "DATA FOR SESSION" dialog: 0 when the session has data, 1 when the user chose to return
// to the main menu. No data set stays loaded when it returns.
int SetFormda();

// The raw-data dialog: reads the raw files, writes whichFormda and releases the data again.
void IFFormat();

// "Enter data file name: ", a field of at most 41 characters, asked again until the file
// opens for reading in the current directory; returns the open file (the caller closes it).
FILE* ReadDataFileName(char* name);

// Species of the OTUs: one species per distinct name (cstSppMap [tcst][tcst], nSpp the number
// of distinct names); option 2 puts a unique 4-character code before each name.
void CheckSpecies(int option);

// sppRelMap[s][c] = '1' when some OTU of species s has a value other than 0 in community c.
void SpeciesReleveMap();

#endif
