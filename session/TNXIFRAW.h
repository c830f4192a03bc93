// The raw-file readers and dialog pieces that the live import (TNXIFFMT.cpp) and its earlier
// versions (TNXIFFMTOLD.cpp) share. They read into the data globals of TNXGLOB.h.
#ifndef TNXIFRAW_H
#define TNXIFRAW_H

#include <cstdio>
#include <functional>
#include <string>

namespace rawimport {

const int kFileNameMax = 41;  // raw data file names

// A raw data file asked on the console; closed when it goes out of scope, also when an error
// travels through the import.
class RawFile {
public:
    RawFile() = default;
    ~RawFile() { Close(); }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    // Asks the name with `prompt` until the file opens.
    void Ask(const char* prompt = "Enter data file name: ");
    // Opens the file asked before once more (code 4 when it no longer opens).
    void Reopen();
    void Close();
    FILE* get() const { return f_; }
    const char* name() const { return name_; }

    // Whether the file holds exactly `values` numbers followed by `labels` words, as the counts
    // typed at the console call for; read from its start, before anything of their size is
    // allocated, and left at its start. A word that is no number where a number stands (before
    // the last number of the file, or anywhere among the values when the counts fit) is refused
    // with its line (code 2), and so is a number there that single precision cannot hold (Value);
    // otherwise a mismatch is refused with what the counts call for (false: the caller asks the
    // counts again, or raises code 2 where it cannot).
    bool Fits(long long values, long long labels) const;
    // The number of lines that hold a species name (a character other than a blank), counted
    // from the start and left there.
    long long NameLines() const;
    // The next word as a number: a finite decimal that single precision holds, 0 or a magnitude
    // that its float rounds to neither 0 nor an infinity (above 2^-150, below 2^128 - 2^103). Any
    // other word is refused with its line (code 2): "is not a number", or "is out of the range of
    // single precision" for a number beyond it or, not 0, below it; so is the end of the file.
    double Value() const;
    // The values of this file are kept in double (the phylogeny's resemblances): a non-zero value
    // below single precision is held, not refused; the bound above stays.
    void KeepInDouble() { keptInDouble_ = true; }

private:
    // The next whitespace-delimited word into `word`, counting lines; false at the end.
    bool NextWord(std::string& word) const;
    void Rewind() const;
    FILE* f_ = nullptr;
    char name_[kFileNameMax + 1] = "";
    mutable long long line_ = 1;
    mutable bool afterCR_ = false;
    bool keptInDouble_ = false;
};

// "\nfile %s does not fit the counts: ..." on standard error with the bell: what the counts call
// for and what the file holds.
void RefuseCounts(const char* fileName, const char* callFor, long long holds, const char* unit);

// Asks a file name (41 characters) with `prompt` until the file opens for reading.
FILE* ReadFileName(const char* prompt, char* name);

int AskOption(const char* accept);
int AskCount();  // 1 .. 2147483647

// One value of a matrix at (first, second), the file's own order of its two dimensions.
using ValueReader = std::function<float(int first, int second)>;

// A value of B or W of the earlier imports: text that is no number is passed over; the end of
// the file raises code 2. (The live import reads every value with RawFile::Value.)
float ReadTraitValue(const RawFile& f);
float ReadSkippingFloat(const RawFile& f);
// A value of E: read strictly (RawFile::Value); text that is no number raises code 2.
float ReadStrictFloat(const RawFile& f);

// n labels: "1", "2", ... (option 1), or n whole words read from the file (10 characters kept).
void FillLabels(char** labels, int n, int option, const RawFile& f);
void PrintTraitColumns();
// The labels menu: `what`, the default option, option 2 naming fileName, "Type option no.: ".
void PrintFileOptions(const char* what, const char* fileName, bool blankAfterDefault);

// Allocates the trait arrays (labels, types, ranges, states, groups) and B for nch and tcst.
void AllocateTraits();
// The menu of B's layout (with "there are no traits" as option 3 when asked) and its answer.
int AskTraitLayout(bool noTraitsOption);
// The trait types under `prompt` with the trait columns, each from `accept`.
void AskTraitTypes(const char* prompt, const char* accept);
extern const char kTraitTypePrompt[];
// "Wish to specify groups of traits? 0/1 " and the groups.
void AskTraitGroups();
// Allocates ncst, the community labels and W (tcst x ncsm, zero-filled).
void AllocateCommunities();
// The menu of W's layout (the vectors of option 3 only when asked) and its answer.
int AskPerformanceLayout(bool vectors);

// B in layout 1 (OTUs as columns) or 2 (OTUs as rows) into csm_Float, each value by `value`.
void ReadTraits(int layout, const ValueReader& value);
// The phylogeny menu of the import ("Format of phylogenetic resemblance matrix:") and its answer.
int AskPhylogenyFormat();
// F in the import's option 1 (distances, normalised by their largest value above 1), 2 (full
// similarities) or 3 (the lower half mirrored) into phylogenyRese.
void ReadPhylogeny(const RawFile& f, int option);
// The counts of `what` ("OTUs") in each community, none negative and, when bounded, together
// at most tcst; asked again until they are.
void AskOtusPerCommunity(int* counts, const char* what, bool bounded);
// W in layout 1 (communities as rows), 2 (as columns) or 3 (one vector per community, the
// counts asked into ncst) into cadat, each value by `value`.
void ReadPerformances(int layout, const ValueReader& value);
// Layout 3 with the counts already in ncst.
void ReadPerformanceVectors(const ValueReader& value);
// The W check: a warning for each community whose values are all 0 or -999.
void CheckPerformances();
// One species name: a whole line, cut to 70 characters, the rest of the line passed over.
void ReadSpeciesName(FILE* f, const char* fileName, char* buf);
// The species labels menu ("Species labels are: ") and its answer.
int AskSpeciesLabels();
// The species labels menu, tcst names read from f (whichSpp), then SpeciesFromNames with
// CheckSpecies.
void ReadSpecies(FILE* f, const char* fileName);
// From tcst names in spp: the OTU-species map from the identity (nSpp = tcst), the species
// check `check(option)` (CheckSpecies or an earlier one), and the species-community map.
void SpeciesFromNames(int option, void (*check)(int));
// The kind of E and the variable types (menu texts given, since older dialogs name the
// variables otherwise): sets optEnvVarType, envVarType and the three presence flags.
void AskEnvironmentKind(const char* kindMenu, const char* typePrompt);
// The live texts of that menu.
extern const char kEnvironmentKinds[];
extern const char kVariableTypePrompt[];
// Reads E (ncsm x nenv) by variables or by communities, strictly.
void ReadEnvironmentValues(const RawFile& f, bool byVariables);
// The rule line, the number of variables under countPrompt and the labels menu under
// labelsTitle, asked again while `fits` (when given) refuses the count with that labels answer;
// then envName (the file's name), E and its labels and types allocated. Returns the answer.
int AskEnvironment(const RawFile& f, const char* countPrompt, const char* labelsTitle,
                   const std::function<bool(int labelOption)>& fits = nullptr);
// The layout question of E when there are two or more variables; true when by variables.
bool AskEnvironmentByVariables();

// Puts the 4-character code before each of the nSpp species names (option 2 of the species).
void CodeSpeciesNames();

}  // namespace rawimport

#endif
