// The "DATA FOR SESSION" dialog, the raw-data import and the species maps.
#include "session/TNXIFFMT.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "session/TNXIF.h"
#include "session/TNXIFFM2.h"
#include "session/TNXIFRAW.h"
#include "session/TNXIFPICK.h"
#include "session/model/TNXTRACK.h"

namespace {

const int kOtherSessionMax = 31;      // name of another session
const int kSpeciesNameMax = kSpeciesNameSize - 1;
const float kMissing = -999.0f;

FILE* InStream() { return in ? in : stdin; }

void TrimRight(char* s) {
    size_t n = std::strlen(s);
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) s[--n] = '\0';
}

// What a word of a raw data file is: a value, no number at all, or a number that single
// precision cannot hold.
enum class RawWord { kValue, kNotANumber, kBeyondSingle, kBelowSingle };

// The magnitudes a double rounds to a finite, non-zero float from (round to nearest, ties to
// even): above 2^-150, half the smallest subnormal (which ties to 0), and below 2^128 - 2^103,
// halfway between the largest float and 2^128 (which ties to 2^128, an infinity).
constexpr double kFloatZeroBound = 0x1p-150;
constexpr double kFloatInfinityBound = 0x1.ffffffp127;

// A raw data value: an optional sign, digits with at most one decimal point, an optional
// exponent, and a magnitude that single precision holds: 0, or one that the float the value is
// stored in rounds to neither 0 nor an infinity. Words such as NA, nan, inf, hexadecimal floats
// or 1,234 are not values; a number of that form beyond single precision, or other than 0 and
// below it, is refused as such, not passed for 0 or for no number. A value kept in double
// (`single` false: the phylogeny's resemblances) is held however small it is.
RawWord ParseRawNumber(const std::string& w, double* value, bool single) {
    size_t k = 0, digits = 0;
    bool nonZero = false;
    const size_t n = w.size();
    const auto digit = [&](char c) {
        digits++;
        nonZero = nonZero || c != '0';
    };
    if (k < n && (w[k] == '+' || w[k] == '-')) k++;
    for (; k < n && std::isdigit(static_cast<unsigned char>(w[k])); k++) digit(w[k]);
    if (k < n && w[k] == '.')
        for (k++; k < n && std::isdigit(static_cast<unsigned char>(w[k])); k++) digit(w[k]);
    if (digits == 0) return RawWord::kNotANumber;
    if (k < n && (w[k] == 'e' || w[k] == 'E')) {
        k++;
        if (k < n && (w[k] == '+' || w[k] == '-')) k++;
        size_t exponent = 0;
        for (; k < n && std::isdigit(static_cast<unsigned char>(w[k])); k++) exponent++;
        if (exponent == 0) return RawWord::kNotANumber;
    }
    if (k != n) return RawWord::kNotANumber;
    // Beyond double precision strtod gives an infinity, below it 0: each falls on its side.
    const double v = std::strtod(w.c_str(), nullptr);
    const double magnitude = std::fabs(v);
    if (magnitude >= kFloatInfinityBound) return RawWord::kBeyondSingle;
    if (single && nonZero && magnitude <= kFloatZeroBound) return RawWord::kBelowSingle;
    *value = v;
    return RawWord::kValue;
}

// A word where a number belongs, or a number that single precision cannot hold: the file, the
// line, the word and why; code 2.
[[noreturn]] void RefuseWord(const char* fileName, long long line, const std::string& word, RawWord kind) {
    std::fputc(7, stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "\nfile %s, line %lld: \"%s\" ", fileName, line, word.c_str());
    if (kind == RawWord::kBeyondSingle)
        std::fprintf(stderr, "is out of the range of single precision: its magnitude exceeds the largest value "
                             "single precision holds, %.8e.\n", static_cast<double>(FLT_MAX));
    else if (kind == RawWord::kBelowSingle)
        std::fprintf(stderr, "is out of the range of single precision: it is not 0, yet so small that single "
                             "precision would store it as 0.\n");
    else
        std::fprintf(stderr, "is not a number. Every value of a raw data file is a number; missing values are "
                             "written -999.\n");
    RaiseError(TNX_END_OF_FILE);
}

// The types of the variables of option 5 (several types), asked until they are mixed or the
// user keeps them; sets the presence flags and, when they are not mixed, the kind of E.
void AskVariableTypes(const char* typePrompt) {
    for (;;) {
        std::fprintf(out, "%s", typePrompt);
        std::fprintf(out, "Variable:    \t");
        for (int j = 0; j < nenv; j++) std::fprintf(out, "%*.*s ", 10, 10, envLabel[j]);
        ReadLongInput(nenv, envVarType, "variable type", "1 2 3 4");
        temEnvBin = temEnvQual = temEnvQuant = 0;
        for (int j = 0; j < nenv; j++) {
            if (envVarType[j] == 1) temEnvBin = 1;
            if (envVarType[j] == 2) temEnvQual = 1;
            if (envVarType[j] == 3 || envVarType[j] == 4) temEnvQuant = 1;
        }
        if (temEnvBin + temEnvQual + temEnvQuant >= 2) return;
        std::fprintf(out, "Data not mixed as indicated!!!\n");
        std::fprintf(out, "Wish to correct manually? y/n ");
        if (ReadCharIn("y n") == 'y') continue;
        if (temEnvQual) optEnvVarType = 3;
        else if (temEnvQuant) optEnvVarType = 2;
        else if (temEnvBin) optEnvVarType = 4;
        return;
    }
}

void ReadEnvironment(const rawimport::RawFile& f) {
    using namespace rawimport;
    // The file must hold the ncsm x nenv values and, when read from it, the nenv labels.
    const int labelOption =
        AskEnvironment(f, "Number of environmental variables: ", "Labels for environmental variables: \n",
                       [&](int labels) { return f.Fits(static_cast<long long>(ncsm) * nenv, labels == 2 ? nenv : 0); });
    AskEnvironmentKind(kEnvironmentKinds, kVariableTypePrompt);
    ReadEnvironmentValues(f, AskEnvironmentByVariables());
    FillLabels(envLabel, nenv, labelOption, f);
    for (int c = 0; c < ncsm; c++) {
        bool allMissing = true;
        for (int j = 0; j < nenv && allMissing; j++) allMissing = env[c][j] == kMissing;
        if (allMissing)
            std::fprintf(out,
                         "\nPlease check matrix E. Sampling unit %s has all values missing (-999), which will "
                         "generate unreliable results.",
                         reLabel[c]);
    }
}

// ---------------------------------------------------------------------------------------
// Species codes.
// ---------------------------------------------------------------------------------------

char Base62(int v) {
    return static_cast<char>(v < 10 ? '0' + v : (v < 36 ? 'A' + (v - 10) : 'a' + (v - 36)));
}

bool CodeTaken(const std::string& code, const std::vector<std::string>& taken) {
    for (const std::string& t : taken)
        if (t == code) return true;
    return false;
}

// The code of a species name: its first two characters and the two after the first blank
// from the third character on that a non-blank follows; changed until no earlier code has it.
std::string SpeciesCode(const std::string& name, const std::vector<std::string>& taken) {
    std::string code = name.substr(0, 2);
    for (size_t k = 2; k + 1 < name.size(); k++) {
        if (name[k] == ' ' && name[k + 1] != ' ') {
            code += name.substr(k + 1, 2);
            break;
        }
    }
    // Eight changes: upper-case the 1st..4th character in turn, then raise the 1st..4th by one.
    for (int change = 0; change < 8 && CodeTaken(code, taken); change++) {
        size_t pos = static_cast<size_t>(change % 4);
        if (pos >= code.size()) continue;
        unsigned char ch = static_cast<unsigned char>(code[pos]);
        if (change < 4) {
            if (ch >= 'a' && ch <= 'z') code[pos] = static_cast<char>(ch - 'a' + 'A');
        } else if (ch < 126) {
            code[pos] = static_cast<char>(ch + 1);
        }
    }
    if (!CodeTaken(code, taken)) return code;
    // Still taken: the name's first characters followed by a counter in base 62.
    const std::string lead = name.substr(0, 2);
    for (int width = 2; width <= 4; width++) {
        int keep = 4 - width;
        long long limit = 1;
        for (int k = 0; k < width; k++) limit *= 62;
        for (long long n = 0; n < limit; n++) {
            std::string c = lead.substr(0, static_cast<size_t>(keep));
            while (static_cast<int>(c.size()) < keep) c += '_';
            std::string digits(static_cast<size_t>(width), '0');
            long long v = n;
            for (int k = width - 1; k >= 0; k--) {
                digits[static_cast<size_t>(k)] = Base62(static_cast<int>(v % 62));
                v /= 62;
            }
            c += digits;
            if (!CodeTaken(c, taken)) return c;
        }
    }
    return code;  // more than 62^4 species: not reached with any real list
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Pieces shared with the earlier import dialogs.
// ---------------------------------------------------------------------------------------

namespace rawimport {

const char kEnvironmentKinds[] =
    "Types of variables: \n   1 only quantitative variables, same units \n   2 only quantitative "
    "variables, different units \n   3 only qualitative, non binary variables\n   4 only binary "
    "variables\n   5 several types \n";
const char kTraitTypePrompt[] =
    "Trait type (1 for dichotomous, 2 for nominal, 3 for interval or ratio scale, 4 for ordinal): \n";
const char kVariableTypePrompt[] =
    "Enter variable type (1:binary, 2:nominal, 3:quantitative interval or ratio scale, 4:ordinal): \n";

void RawFile::Ask(const char* prompt) { f_ = ReadFileName(prompt, name_); }

void RawFile::Reopen() {
    Close();
    f_ = fopenck(name_, nullptr, "r");
    if (!f_) RaiseError(TNX_FAIL_TO_OPEN);
}

void RawFile::Close() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
}

void RawFile::Rewind() const {
    std::rewind(f_);
    line_ = 1;
    afterCR_ = false;
}

bool RawFile::NextWord(std::string& word) const {
    word.clear();
    int c = std::fgetc(f_);
    for (; c != EOF && std::isspace(c); c = std::fgetc(f_)) {
        // CR, LF and CR LF each end one line.
        if (c == '\r' || (c == '\n' && !afterCR_)) line_++;
        afterCR_ = c == '\r';
    }
    afterCR_ = false;
    for (; c != EOF && !std::isspace(c); c = std::fgetc(f_)) word += static_cast<char>(c);
    if (c != EOF) std::ungetc(c, f_);
    return !word.empty();
}

bool RawFile::Fits(long long values, long long labels) const {
    Rewind();
    long long words = 0, lastNumber = -1, badAt = -1, badLine = 0;
    std::string word, bad;
    RawWord badKind = RawWord::kValue;
    for (double v; NextWord(word); words++) {
        const RawWord kind = ParseRawNumber(word, &v, !keptInDouble_);
        // A number that single precision cannot hold is a value all the same, refused as such.
        if (kind != RawWord::kNotANumber) lastNumber = words;
        if (kind != RawWord::kValue && badAt < 0 && words < values) {
            badAt = words;
            bad = word;
            badLine = line_;
            badKind = kind;
        }
    }
    Rewind();
    // Labels follow the last value: a word that a number follows is no label, whatever the counts.
    if (badAt >= 0 && (words == values + labels || badAt < lastNumber)) RefuseWord(name_, badLine, bad, badKind);
    if (words == values + labels) return true;
    char callFor[160];
    std::snprintf(callFor, sizeof callFor, "%lld values and %lld labels", values, labels);
    RefuseCounts(name_, callFor, words, "words");
    return false;
}

long long RawFile::NameLines() const {
    Rewind();
    long long lines = 0;
    bool filled = false;
    for (int c = std::fgetc(f_);; c = std::fgetc(f_)) {
        if (c == EOF || c == '\n' || c == '\r') {
            if (filled) lines++;
            filled = false;
            if (c == EOF) break;
        } else if (c != ' ' && c != '\t') {
            filled = true;
        }
    }
    Rewind();
    return lines;
}

double RawFile::Value() const {
    std::string word;
    double v = 0.0;
    if (!NextWord(word)) {
        std::fprintf(stderr, "\nfile %s ", name_);
        RaiseError(TNX_END_OF_FILE);
    }
    const RawWord kind = ParseRawNumber(word, &v, !keptInDouble_);
    if (kind != RawWord::kValue) RefuseWord(name_, line_, word, kind);
    return v;
}

void RefuseCounts(const char* fileName, const char* callFor, long long holds, const char* unit) {
    std::fputc(7, stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "\nfile %s does not fit the counts: they call for %s, the file holds %lld %s.\n", fileName,
                 callFor, holds, unit);
}

FILE* ReadFileName(const char* prompt, char* name) {
    for (;;) {
        std::fprintf(out, "%s", prompt);
        std::fflush(out);
        ReadLineIn(name, kFileNameMax);
        if (static_cast<int>(std::strlen(name)) == kFileNameMax) {
            // The name filled the field: the rest of its line is not the next answer.
            int c = std::fgetc(InStream());
            while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(InStream());
        }
        TrimRight(name);
        FILE* f = fopenck(name, nullptr, "r");
        if (f) return f;
    }
}

int AskOption(const char* accept) { return static_cast<int>(ReadNumberIn("%d\n", accept)); }

int AskCount() { return static_cast<int>(ReadNumberIn("%d\n", "-", 1.0, 2147483647.0)); }

float ReadTraitValue(const RawFile& f) { return static_cast<float>(ScanNumber(f.get(), f.name(), nullptr)); }

float ReadSkippingFloat(const RawFile& f) {
    float v = 0.0f;
    if (!freadck1(f.get(), "%f", &v, f.name())) RaiseError(TNX_END_OF_FILE);
    return v;
}

float ReadStrictFloat(const RawFile& f) { return static_cast<float>(f.Value()); }

void FillLabels(char** labels, int n, int option, const RawFile& f) {
    for (int k = 0; k < n; k++) {
        if (option == 1) std::snprintf(labels[k], kLabelSize, "%d", k + 1);
        else freadckString(f.get(), labels[k], kLabelSize, f.name());
    }
}

void PrintTraitColumns() {
    std::fprintf(out, "Traits:     \t");
    for (int j = 0; j < nch; j++) std::fprintf(out, "%*.*s\t", 10, 10, chLabel[j]);
    std::fprintf(out, "\n");
}

void PrintFileOptions(const char* what, const char* fileName, bool blankAfterDefault) {
    std::fprintf(out, "%s", what);
    std::fprintf(out, blankAfterDefault ? "   1  given by default \n" : "   1  given by default\n");
    std::fprintf(out, "   2  read labels at the end of file %s\n", fileName);
    std::fprintf(out, "Type option no.: ");
}

void ReadTraits(int layout, const ValueReader& value) {
    if (layout == 1) {
        for (int j = 0; j < nch; j++)
            for (int i = 0; i < tcst; i++) csm_Float[i][j] = value(j, i);
    } else {
        for (int i = 0; i < tcst; i++)
            for (int j = 0; j < nch; j++) csm_Float[i][j] = value(i, j);
    }
}

int AskPhylogenyFormat() {
    std::fprintf(out, "Format of phylogenetic resemblance matrix:\n");
    std::fprintf(out, "   1  a full matrix of phylogenetic distances of %d OTUs by %d OTUs (e.g. as given by PHYLOCOM)\n",
                 tcst, tcst);
    std::fprintf(out, "   2  a full matrix of phylogenetic similarities of %d OTUs by %d OTUs in the 0-1 range\n",
                 tcst, tcst);
    std::fprintf(out,
                 "   3  a half, lower-diagonal matrix of phylogenetic similarities of %d OTUs by %d OTUs in the "
                 "0-1 range\n",
                 tcst, tcst);
    std::fprintf(out, "Type option no.: ");
    return AskOption("1 2 3");
}

void ReadPhylogeny(const RawFile& f, int option) {
    if (option == 3) {
        for (int i = 0; i < tcst; i++)
            for (int k = 0; k <= i; k++) phylogenyRese[i][k] = f.Value();
        for (int i = 0; i < tcst; i++)
            for (int k = i + 1; k < tcst; k++) phylogenyRese[i][k] = phylogenyRese[k][i];
        phylogenyMatrixType = 1;
        return;
    }
    for (int i = 0; i < tcst; i++)
        for (int k = 0; k < tcst; k++) phylogenyRese[i][k] = f.Value();
    if (option == 2) {
        phylogenyMatrixType = 1;
        return;
    }
    // Distances: brought into 0-1 by their largest value when some value exceeds 1.
    phylogenyMatrixType = 3;
    bool above = false;
    double dmax = 0.0;
    for (int i = 0; i < tcst; i++) {
        for (int k = i; k < tcst; k++) {
            if (phylogenyRese[i][k] > 1.0) above = true;
            if (phylogenyRese[i][k] > dmax) dmax = phylogenyRese[i][k];
        }
    }
    if (!above) return;
    for (int i = 0; i < tcst; i++)
        for (int k = 0; k < tcst; k++) phylogenyRese[i][k] /= dmax;
    std::fprintf(out, "\nPhylogenetic distances were normalized to values in the range [0,1] by Dnorm = D/Dmax\n");
}

void AskOtusPerCommunity(int* counts, const char* what, bool bounded) {
    for (;;) {
        std::fprintf(out, "Number of %s in each community:\n", what);
        std::fprintf(out, "Communities:       \t");
        for (int c = 0; c < ncsm; c++) std::fprintf(out, "%d\t", c + 1);
        std::fprintf(out, "\n");
        ReadLongInput(ncsm, counts, "number of OTUs", nullptr);
        long long sum = 0;
        bool negative = false;
        for (int c = 0; c < ncsm; c++) {
            if (counts[c] < 0) negative = true;
            sum += counts[c];
        }
        if (!negative && (!bounded || sum <= tcst)) return;
        std::fputc(7, stdout);
        std::fflush(stdout);
        if (negative)
            std::fprintf(stderr, "\nA number of OTUs cannot be negative. Reenter.\n");
        else
            std::fprintf(stderr, "\nThe numbers of OTUs add up to %lld, more than the %d OTUs. Reenter.\n", sum, tcst);
    }
}

void ReadPerformances(int layout, const ValueReader& value) {
    if (layout == 1) {
        for (int c = 0; c < ncsm; c++)
            for (int i = 0; i < tcst; i++) cadat[i][c] = value(c, i);
    } else if (layout == 2) {
        for (int i = 0; i < tcst; i++)
            for (int c = 0; c < ncsm; c++) cadat[i][c] = value(i, c);
    } else {
        AskOtusPerCommunity(ncst, "OTUs", true);
        ReadPerformanceVectors(value);
    }
}

void ReadPerformanceVectors(const ValueReader& value) {
    int row = 0;
    for (int c = 0; c < ncsm; c++)
        for (int k = 0; k < ncst[c]; k++, row++) cadat[row][c] = value(c, k);
}

void CheckPerformances() {
    for (int c = 0; c < ncsm; c++) {
        bool empty = true;
        for (int i = 0; i < tcst && empty; i++) empty = cadat[i][c] == 0.0f || cadat[i][c] == kMissing;
        if (empty)
            std::fprintf(out,
                         "\nPlease check matrix W. Sampling unit %s has all values zero or missing (-999), which "
                         "will generate unreliable results.",
                         reLabel[c]);
    }
}

void ReadSpeciesName(FILE* f, const char* fileName, char* buf) {
    freadlineckTEMP(f, kSpeciesNameMax, buf, fileName);
    if (static_cast<int>(std::strlen(buf)) == kSpeciesNameMax) {
        // A longer name is cut; the rest of its line is not the next name.
        int c = std::fgetc(f);
        while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(f);
    }
}

int AskSpeciesLabels() {
    std::fprintf(out, "%s\n", lineL);
    std::fprintf(out, "Species labels are: \n");
    std::fprintf(out, "   1  the first 4 characters preceding each species name\n");
    std::fprintf(out, "   2  to be created by the program\n");
    std::fprintf(out, "Type option no.: ");
    return AskOption("1 2");
}

void ReadSpecies(FILE* f, const char* fileName) {
    std::snprintf(whichSpp, sizeof whichSpp, "%s", fileName);
    int option = AskSpeciesLabels();
    EnsureAllocatable(tcst, kSpeciesNameSize, 1);
    spp = dim2Dchar(tcst, kSpeciesNameSize);
    nSpp = tcst;  // so that the names are released with the data set, also when the file ends early
    for (int i = 0; i < tcst; i++) ReadSpeciesName(f, fileName, spp[i]);
    SpeciesFromNames(option, CheckSpecies);
}

void SpeciesFromNames(int option, void (*check)(int)) {
    nSpp = tcst;
    EnsureAllocatable(tcst, tcst, 1);
    cstSppMap = dim2Dchar(tcst, tcst);
    for (int i = 0; i < tcst; i++)
        for (int s = 0; s < tcst; s++) cstSppMap[i][s] = (s == i) ? '1' : '0';
    check(option);
    // One row per species that remains.
    sppRelMap = dim2Dchar(nSpp, ncsm);
    SpeciesReleveMap();
}

void AskEnvironmentKind(const char* kindMenu, const char* typePrompt) {
    std::fprintf(out, "%s", kindMenu);
    std::fprintf(out, "Type option no.: ");
    optEnvVarType = AskOption("1 2 3 4 5");
    temEnvBin = temEnvQual = temEnvQuant = 0;
    if (optEnvVarType == 5) {
        AskVariableTypes(typePrompt);
        return;
    }
    int type = optEnvVarType <= 2 ? 3 : (optEnvVarType == 3 ? 2 : 1);
    for (int j = 0; j < nenv; j++) envVarType[j] = type;
    if (type == 3) temEnvQuant = 1;
    else if (type == 2) temEnvQual = 1;
    else temEnvBin = 1;
}

int AskEnvironment(const RawFile& f, const char* countPrompt, const char* labelsTitle,
                   const std::function<bool(int labelOption)>& fits) {
    std::fprintf(out, "%s\n", lineL);
    int labelOption = 0;
    do {
        std::fprintf(out, "%s", countPrompt);
        nenv = AskCount();
        PrintFileOptions(labelsTitle, f.name(), false);
        labelOption = AskOption("1 2");
    } while (fits && !fits(labelOption));
    std::snprintf(envName, sizeof envName, "%s", f.name());
    EnsureAllocatable(ncsm, nenv, sizeof(float));
    EnsureAllocatable(nenv, kLabelSize, 1);
    env = dim2Dfloat(ncsm, nenv);
    envLabel = dim2Dchar(nenv, kLabelSize);
    envVarType = dim1Dint(nenv);
    return labelOption;
}

bool AskEnvironmentByVariables() {
    if (nenv < 2) return true;
    std::fprintf(out, "Data entered by communities(N) or by variables(T)?: ");
    return ReadCharIn("n t") == 't';
}

void ReadEnvironmentValues(const RawFile& f, bool byVariables) {
    if (byVariables) {
        for (int j = 0; j < nenv; j++)
            for (int c = 0; c < ncsm; c++) env[c][j] = ReadStrictFloat(f);
    } else {
        for (int c = 0; c < ncsm; c++)
            for (int j = 0; j < nenv; j++) env[c][j] = ReadStrictFloat(f);
    }
}

void AllocateTraits() {
    EnsureAllocatable(tcst, nch, sizeof(float));
    EnsureAllocatable(nch, kLabelSize, 1);
    onsta = dim1Dint(nch);
    chtype = dim1Dint(nch);
    chrange = dim1Dfloat(nch);
    chLabel = dim2Dchar(nch, kLabelSize);
    csm_Float = dim2Dfloat(tcst, nch);
    traitGroups = dim1Dint(nch);
}

int AskTraitLayout(bool noTraitsOption) {
    std::fprintf(out, "Trait matrix (B) format (OTUs = Operational Taxonomic Units): \n");
    std::fprintf(out, "   1  OTUs as columns / traits as rows \n");
    std::fprintf(out, "   2  OTUs as rows / traits as columns \n");
    if (noTraitsOption) std::fprintf(out, "   3  there are no traits \n");
    std::fprintf(out, "Type option no.: ");
    return AskOption(noTraitsOption ? "1 2 3" : "1 2");
}

void AskTraitTypes(const char* prompt, const char* accept) {
    std::fprintf(out, "%s", prompt);
    PrintTraitColumns();
    ReadLongInput(nch, chtype, "trait types", accept);
}

void AskTraitGroups() {
    hasTraitGroups = 0;
    std::fprintf(out, "Wish to specify groups of traits? 0/1 ");
    hasTraitGroups = AskOption("0 1") != 0;
    if (hasTraitGroups) {
        PrintTraitColumns();
        ReadLongInput(nch, traitGroups, "trait groups", nullptr);
    }
}

void AllocateCommunities() {
    EnsureAllocatable(ncsm, kLabelSize, 1);
    EnsureAllocatable(tcst, ncsm, sizeof(float));
    ncst = dim1Dint(ncsm);
    reLabel = dim2Dchar(ncsm, kLabelSize);
    cadat = dim2Dfloat(tcst, ncsm);
}

int AskPerformanceLayout(bool vectors) {
    std::fprintf(out, "Format of matrix (W) with OTUs performances: \n");
    std::fprintf(out, "   1  Communities as rows \n");
    std::fprintf(out, "   2  Communities as columns\n");
    if (vectors) std::fprintf(out, "   3  Community data is a vector of OTUs performances in each community\n");
    std::fprintf(out, "Type option no.: ");
    return AskOption(vectors ? "1 2 3" : "1 2");
}

void CodeSpeciesNames() {
    std::vector<std::string> codes;
    codes.reserve(static_cast<size_t>(nSpp));
    for (int s = 0; s < nSpp; s++) {
        std::string name = spp[s];
        std::string code = SpeciesCode(name, codes);
        codes.push_back(code);
        std::snprintf(spp[s], kSpeciesNameSize, "%s %.*s", code.c_str(), kSpeciesNameMax - 5, name.c_str());
    }
}

}  // namespace rawimport

FILE* ReadDataFileName(char* name) { return rawimport::ReadFileName("Enter data file name: ", name); }

void CheckSpecies(int option) {
    // Distinct names in the order of their first occurrence; every OTU in its species' column.
    std::unordered_map<std::string, int> index;
    std::vector<int> speciesOf(static_cast<size_t>(tcst));
    int n = 0;
    for (int i = 0; i < tcst; i++) {
        auto it = index.find(spp[i]);
        if (it == index.end()) {
            index.emplace(spp[i], n);
            speciesOf[static_cast<size_t>(i)] = n;
            if (n != i) std::memcpy(spp[n], spp[i], kSpeciesNameSize);
            n++;
        } else {
            speciesOf[static_cast<size_t>(i)] = it->second;
        }
    }
    for (int i = n; i < tcst; i++) {
        free1D(spp[i]);
        spp[i] = nullptr;
    }
    nSpp = n;
    for (int i = 0; i < tcst; i++)
        for (int s = 0; s < tcst; s++) cstSppMap[i][s] = (s == speciesOf[static_cast<size_t>(i)]) ? '1' : '0';

    if (option == 2) rawimport::CodeSpeciesNames();
}

void SpeciesReleveMap() {
    for (int s = 0; s < nSpp; s++)
        for (int c = 0; c < ncsm; c++) sppRelMap[s][c] = '0';
    for (int i = 0; i < tcst; i++) {
        for (int s = 0; s < nSpp; s++) {
            if (cstSppMap[i][s] != '1') continue;
            for (int c = 0; c < ncsm; c++)
                if (cadat[i][c] != 0.0f) sppRelMap[s][c] = '1';
        }
    }
}

void IFFormat() {
    using namespace rawimport;
    ResetDataSet();
    Menu("SPECIFYING THE AVAILABLE INPUT DATA:\n");
    std::fprintf(out, "For each data specified below indicate by 0/1 which are available\n\n");
    std::fprintf(out, "OTUs = Operational Taxonomic Units, refer to species, populations, individuals or other "
                      "taxonomic rank\n");
    std::fprintf(out, "A matrix (B) with trait description of OTUs should be always specified.\n");
    RawFile fileB, fileF, fileW, fileS, fileE;
    fileB.Ask();
    std::fprintf(out, "A matrix (F) with phylogenetic resemblances of the OTUs 0/1\t");
    const bool withF = AskOption("0 1") == 1;
    // The phylogeny's resemblances are kept in double: only their largest magnitude is bounded.
    fileF.KeepInDouble();
    if (withF) fileF.Ask();
    hasPhylogeny = withF;
    std::fprintf(out, "A matrix (W) with records of OTUS in commmunities should be always specified.\n");
    fileW.Ask();
    std::fprintf(out, "Species names of OTUs 0/1\t");
    const bool withSpecies = AskOption("0 1") == 1;
    if (withSpecies) fileS.Ask();
    std::fprintf(out, "A matrix (E) with ecosystem variables of the community sites 0/1\t");
    const bool withE = AskOption("0 1") == 1;
    if (withE) fileE.Ask();

    // Traits: the counts are asked again until B holds what they call for.
    std::fprintf(out, "%s\n", lineL);
    int traitLabels = 0, layoutB = 0;
    do {
        std::fprintf(out, "Number of OTUs: ");
        tcst = AskCount();
        std::fprintf(out, "Enter number of traits (characters): ");
        nch = AskCount();
        PrintFileOptions("Labels for traits: \n", fileB.name(), true);
        traitLabels = AskOption("1 2");
        layoutB = AskTraitLayout(false);
    } while (!fileB.Fits(static_cast<long long>(tcst) * nch, traitLabels == 2 ? nch : 0));
    AllocateTraits();
    ReadTraits(layoutB, [&](int, int) { return static_cast<float>(fileB.Value()); });
    FillLabels(chLabel, nch, traitLabels, fileB);
    fileB.Close();
    AskTraitTypes(kTraitTypePrompt, "1 2 3 4");
    AskTraitGroups();

    // Phylogeny: its size follows from the number of OTUs, which can no longer be asked again.
    if (withF) {
        std::fprintf(out, "%s\n", lineL);
        const int layoutF = AskPhylogenyFormat();
        const long long n = tcst;
        if (!fileF.Fits(layoutF == 3 ? n * (n + 1) / 2 : n * n, 0)) RaiseError(TNX_END_OF_FILE);
        EnsureAllocatable(tcst, tcst, sizeof(double));
        phylogenyRese = dim2Double(tcst, tcst);
        ReadPhylogeny(fileF, layoutF);
        fileF.Close();
    }

    // Communities: asked again until W holds what the counts call for.
    std::fprintf(out, "%s\n", lineL);
    int communityLabels = 0, layoutW = 0;
    std::vector<int> otusPerCommunity;
    for (;;) {
        std::fprintf(out, "Enter number of communities:    ");
        ncsm = AskCount();
        PrintFileOptions("Labels for communities: \n", fileW.name(), true);
        communityLabels = AskOption("1 2");
        layoutW = AskPerformanceLayout(true);
        long long values = static_cast<long long>(tcst) * ncsm;
        if (layoutW == 3) {
            EnsureAllocatable(1, ncsm, sizeof(int));
            otusPerCommunity.assign(static_cast<size_t>(ncsm), 0);
            AskOtusPerCommunity(otusPerCommunity.data(), "OTUs", true);
            values = 0;
            for (int c : otusPerCommunity) values += c;
        }
        if (fileW.Fits(values, communityLabels == 2 ? ncsm : 0)) break;
    }
    AllocateCommunities();
    const ValueReader valueW = [&](int, int) { return static_cast<float>(fileW.Value()); };
    if (layoutW == 3) {
        std::copy(otusPerCommunity.begin(), otusPerCommunity.end(), ncst);
        ReadPerformanceVectors(valueW);
    } else {
        ReadPerformances(layoutW, valueW);
    }
    FillLabels(reLabel, ncsm, communityLabels, fileW);
    fileW.Close();
    CheckPerformances();

    if (withSpecies) {
        // One name a line for each OTU, and nothing more.
        const long long names = fileS.NameLines();
        if (names != tcst) {
            char callFor[64];
            std::snprintf(callFor, sizeof callFor, "%d species names, one a line", tcst);
            RefuseCounts(fileS.name(), callFor, names, "lines");
            RaiseError(TNX_END_OF_FILE);
        }
        ReadSpecies(fileS.get(), fileS.name());
        fileS.Close();
    }
    if (withE) {
        ReadEnvironment(fileE);
        fileE.Close();
    }

    CountStates(nch, tcst, onsta, csm_Float);
    std::snprintf(dataName, sizeof dataName, "%s", fileB.name());
    WriteFormda(tcst, whichFormda, dataName, csm_Float, cadat);
    // The formatted data file is the master copy: the session loads the data from it.
    ResetDataSet();
}

// ---------------------------------------------------------------------------------------
// "DATA FOR SESSION".
// ---------------------------------------------------------------------------------------

namespace {

// Another session's name (one word, 31 characters kept) and the name of its formatted data
// file in `file`; false when that file cannot be opened (after the opener's message).
bool AskOtherSession(char* session, char* file, size_t fileSize) {
    ReadStringIn("%s\n", session, kOtherSessionMax + 1);
    std::snprintf(file, fileSize, "%s%s", session, formdaExt);
    FILE* f = fopenck(file, volumeName, "r");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace

int SetFormda() {
    using rawimport::AskOption;
    Menu("DATA FOR SESSION");
    for (;;) {
        // The new session's formatted data file and track file are put in place together once
        // both are written: an import that fails, or a choice taken back, leaves the folder as
        // it was.
        RunFilesScope run;
        std::fprintf(out, "Options:\n");
        std::fprintf(out, "   1  format raw data \n");
        std::fprintf(out, "   2  use formatted data from another session\n");
        std::fprintf(out, "   3  merge formatted data from two sessions\n");
        std::fprintf(out, "   4  return to main menu \n");
        std::fprintf(out, "Type option no.: ");
        const int option = AskOption("1 2 3 4");
        if (option == 1) {
            SessionFileName(whichFormda, formdaExt);
            IFFormat();
            WriteTrack(0);
            run.CommitOrRaise();
            return 0;
        }
        if (option == 2) {
            std::fprintf(out, "\nEnter name of the session from which data is to be extracted: ");
            char name[kFileNameSize];
            if (!AskOtherSession(tempSession, name, sizeof name)) continue;
            std::snprintf(whichFormda, sizeof whichFormda, "%s", name);
            std::fprintf(out, "\nUse file %s:\n", whichFormda);
            std::fprintf(out, "   1  as it is \n");
            std::fprintf(out, "   2  modified \n");
            std::fprintf(out, "   3  return to main menu \n");
            std::fprintf(out, "Type option no.: ");
            const int use = AskOption("1 2 3");
            std::fprintf(out, "\n\n");
            if (use == 1) {
                // Loaded once to make sure it reads; the session loads it again from its name.
                OpenFormda(1);
                ClearLine();
                WriteTrack(0);
                run.CommitOrRaise();
                FreeGlobals1();
                ResetDataSet();
                return 0;
            }
            if (use == 2) {
                // Loads the other session's file once, then writes the new session's own.
                PickSomeFormda();
                WriteTrack(0);
                run.CommitOrRaise();
                FreeGlobals1();
                ResetDataSet();
                return 0;
            }
            return 1;
        }
        if (option == 3) {
            std::fprintf(out, "\nEnter names of the sessions from which data is to be merged:");
            std::fprintf(out, "\nFirst session name: ");
            char first[kFileNameSize];
            char session[kFileNameSize];
            if (!AskOtherSession(session, first, sizeof first)) continue;
            std::snprintf(whichFormda, sizeof whichFormda, "%s", first);
            OpenFormda(1);
            ClearLine();
            std::fprintf(out, "Second session name: ");
            char second[kFileNameSize];
            if (!AskOtherSession(session, second, sizeof second)) {
                ResetDataSet();
                continue;
            }
            std::snprintf(dataName, sizeof dataName, "%s", whichFormda);
            if (MergeFormda(second)) {
                WriteTrack(0);
                run.CommitOrRaise();
                FreeGlobals1();
                ResetDataSet();
                return 0;
            }
            ResetDataSet();
            continue;
        }
        return 1;
    }
}
