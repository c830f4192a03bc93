// The earlier versions of the raw-data import and of its checks, which no menu calls. Two
// of them work on the earlier layout of the traits: one string per OTU of two-character codes,
// trait j at characters 2j and 2j + 1 (csm, TNXGLOB.h; the codes of EncodeTraitCode,
// TNXIFFM2.h). Each dialog ends by writing whichFormda and releasing the data set, as the
// live import does (TNXIFFMT.h).
#ifndef TNXIFFMTOLD_H
#define TNXIFFMTOLD_H

#include <cstdio>

// The raw-data dialog of 2011, whose data set is the record tarnexInput (TNXIFFM2OLD.h),
// written in the block form to the file named by title. Every matrix is optional; the file
// names are asked first; the trait types come before B; the phylogeny is stored as
// similarities (distances D become 1 - D/Dmax); W is read by rows or columns only; E is named
// "ecosystem variables" and its layout asked before its types; no trait groups, no checks.
void IFFormat_NEW_07Jul2011(const char* title);

// "GETTING RAW DATA" of 2011: B and W from one file (B in either layout, then W in any
// layout), labels typed on the console ("sp" is reserved for the species trait), phylogeny
// (resemblances or nominal variables) and species (at the end of the data file or in a file of
// their own) on request, E through OpenEnv; checked by CheckData(1) and written by WriteFormda.
void IFFormat_OLD_04Jul2011();

// The import of 2009. Data formats: 1, for each community its records, each an OTU's quantity
// preceded by its traits (OTUs as rows), by a block of its OTUs' traits (OTUs as columns) or by
// nothing; the counts of records are asked; 2, B then W in one file; 3, W alone. Quantities
// are numbers or one-character codes (TranslateCode). In format 1 an OTU's records may be
// pooled: a record whose traits (and species name, when there are names) equal those of an OTU
// already read adds its quantity to that OTU. Without traits, records match by species name
// only. More distinct OTUs than stated raise code 2. Species names come from a file of their
// own, one per record in format 1 and one per OTU otherwise. Species may be appended as a
// trait (AddSpeciesChar). A data set that ends without a trait has nothing the analyses use:
// it is refused with code 5. Checked by CheckData(1), written by WriteFormda.
void IFFormat_OLD_08Mar2009();

// The earliest import: the 2009 dialog with "population" in its texts, three trait types
// (ordered in place of interval and ordinal), trait values read as two-character states
// (ReadCharState) into csm, the species trait appended as codes (AddSpeciesChar_OLD), the
// checks of the string layout (CheckSpecies_OLD, CheckData_OLD) and the older writer
// WriteFormda_OLD. No trait groups: the older form has no room for them.
void IFFormat_OLD();

// The E dialog of the 2009 and 2011 imports: the number of variables, their labels (default
// or typed), the file (its name into fileName, 42 bytes), the layout, the values (strictly),
// the kind and the types of the variables (into envLabel, envVarType and the presence flags).
// Allocates *env [ncsm][*nenv] and returns the kind of E.
int OpenEnv(char* fileName, int ncsm, int* nenv, float*** env);

// One W item into *value. option 1: one word, of which the first character is a
// cover-abundance code: "R" or "r" gives codes[0], "+" codes[1], "0" gives 0, "1" to "5" give
// codes[2] to codes[6]; any other character releases the data set, prints "Extraneous
// cover-abundance code:" with the character, the file and the position (i + 1, j + 1) on
// standard error and raises code 5. Other options: a number read strictly (code 2 otherwise).
// The file is left open: its owner closes it, also when the error travels.
void TranslateCode(FILE* f, int option, float* codes, float* value, const char* fileName, int i, int j);

// Appends the species as a nominal trait labelled "sp": every OTU gets, in the new last column
// of csm_Float, the 1-based number of its species (its column of cstSppMap; 0 without one).
void AddSpeciesChar();
// The same on the trait strings csm: the 0-based species number as a two-character code
// (IntToAlpha). A species number past 3843 has no code: code 5 after a message.
void AddSpeciesChar_OLD();

// One state read from f: a whole number 0 to 99 (text that is no number is passed over),
// stored as two digits ("07"). A number outside that range, or not whole, is named on standard
// error and raises code 2 (the end of the file too).
void ReadCharState(FILE* f, char* state, const char* fileName);
// One word read strictly: two characters are stored as they are, one is preceded by "0"; a
// longer word is named on standard error with the bell and raises code 2, the state left as
// it was.
void ReadCharStateOLD(FILE* f, char* state, const char* fileName);

// onsta[j] = the number of distinct states of trait j among strings[0..n-1].
void CountStates_OLD(int nch, int n, int* onsta, char** strings);
// range[j] for the traits of type 3: max - min of their states read as whole numbers (the
// running maximum from 0, the minimum from 100); codes that are no number take no part.
void RangeStates_OLD(int nch, int n, char** strings, int* type, float* range);

// CheckData on the string layout: absent OTUs dropped, species merged (with the trait "sp"
// refilled by CheckCSTsSameSpecies_OLD), OTUs with identical strings pooled into the first of
// them (their W values added, their species rows merged, their phylogeny that of the first),
// ncst and emptyReleves, the states (countStates 1) and ranges, the species trimmed.
void CheckData_OLD(int countStates);
// The species of the OTUs from the map as it stands: with two or more species, a name that
// repeats an earlier one hands its OTUs to the earlier one and the last species takes its
// place (its name, map column and row; the order is not kept), the moved species being
// examined in turn. Option 2 puts the 4-character codes before the names.
void CheckSpecies_OLD(int option);
// When a trait is labelled "sp": every OTU's code of it becomes the two-character code
// (IntToAlpha) of the row of its species' first OTU. A row past 3843: code 5 after a message.
void CheckCSTsSameSpecies_OLD();

// The pooling of PickSomeFormda_OLD on the loaded data set: B coded as trait strings (a value
// without a code raises code 5 after a message), CheckData_OLD(1), B decoded from the pooled
// strings.
void PoolIdenticalTraits_OLD();

#endif
