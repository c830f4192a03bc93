// Writer, loader and merge of the formatted data file.
#include "session/TNXIFFM2.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "session/TNXIFFM2IO.h"
#include "session/model/TNXTRACK.h"

const char versionFormdaFile[] = "25Jun2016";
const char versionFormdaFileOld[] = "18Jan2008";

namespace {

const int kCaCodes = 7;          // cover-abundance codes stored in the file
const int kSppFileNameMax = 41;  // name of the species-names file
const int kSpeciesNameMax = kSpeciesNameSize - 1;

}  // namespace

// ---------------------------------------------------------------------------------------
// Item readers and number writers, shared with the earlier forms of the file.
// ---------------------------------------------------------------------------------------

namespace formdaio {

// An item that is there but cannot be used: the readers' message, the bell and code 2.
void BadItem(const char* fileName) {
    std::fprintf(stderr, "\nfile %s ", fileName);
    std::fputc(7, stdout);
    std::fflush(stdout);
    RaiseError(TNX_END_OF_FILE);
}

int ReadCount(FILE* f, const char* name) {
    int v = ReadIntStrict(f, name);
    if (v < 0) BadItem(name);
    return v;
}

// A count of traits, OTUs or communities: a data set has at least one of each.
int ReadPositiveCount(FILE* f, const char* name) {
    int v = ReadIntStrict(f, name);
    if (v < 1) BadItem(name);
    return v;
}

// The size checks before an array of rows x cols items read from the file: code 1 when the
// machine cannot hold it, code 2 when the file cannot hold its items.
void EnsureReadable(FILE* f, long long rows, long long cols, std::size_t elsize, const char* name) {
    EnsureAllocatable(rows, cols, elsize);
    EnsureInFile(f, rows * cols, name);
}

// A flag that must be 0 or 1.
int ReadFlag(FILE* f, const char* name) {
    int v = ReadIntStrict(f, name);
    if (v != 0 && v != 1) BadItem(name);
    return v;
}

void ReadLabel(FILE* f, char* label, const char* name) { freadckString(f, label, kLabelSize, name); }

// Passes over the rest of the current line (after a field or line that filled its buffer).
void SkipRestOfLine(FILE* f) {
    int c = std::fgetc(f);
    while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(f);
}

void TrimRight(char* s) {
    size_t n = std::strlen(s);
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t')) s[--n] = '\0';
}

// A name field of at most max characters that ends at a TAB or a line end; a longer name is
// cut and the rest of its line passed over; trailing blanks are dropped.
void ReadNameField(FILE* f, int max, char* buf, const char* name) {
    int last = freadlineck(f, max, buf, name);
    if (static_cast<int>(std::strlen(buf)) == max && last != '\t' && last != '\n' && last != '\r' &&
        last != EOF)
        SkipRestOfLine(f);
    TrimRight(buf);
}

// One species name: a whole line, cut to 70 characters, the rest of the line passed over.
void ReadSpeciesLine(FILE* f, char* buf, const char* name) {
    freadlineckTEMP(f, kSpeciesNameMax, buf, name);
    if (static_cast<int>(std::strlen(buf)) == kSpeciesNameMax) {
        int c = std::fgetc(f);
        if (c != '\n' && c != '\r' && c != EOF) SkipRestOfLine(f);
    }
}

// One character '0' or '1' of a species map; blanks and line ends before it are skipped.
char ReadMapChar(FILE* f, const char* name) {
    int c = std::fgetc(f);
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = std::fgetc(f);
    if (c == EOF) BadItem(name);
    if (c != '0' && c != '1') BadItem(name);
    return static_cast<char>(c);
}

// Reads one word when it is there; the stream is left where it was when it is not.
bool PeekWord(FILE* f, char* buf, int size, long* where) {
    *where = std::ftell(f);
    int c = std::fgetc(f);
    while (c != EOF && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) c = std::fgetc(f);
    if (c == EOF) return false;
    int n = 0;
    while (c != EOF && c != ' ' && c != '\t' && c != '\n' && c != '\r') {
        if (n < size - 1) buf[n++] = static_cast<char>(c);
        c = std::fgetc(f);
    }
    buf[n] = '\0';
    if (c != EOF) std::ungetc(c, f);
    return true;
}

void Rewind(FILE* f, long where) {
    if (where >= 0) std::fseek(f, where, SEEK_SET);
}

// An optional integer: read when the next word is one, otherwise nothing is consumed.
bool TryReadInt(FILE* f, int* v) {
    char word[32];
    long where = 0;
    if (!PeekWord(f, word, sizeof word, &where)) return false;
    char* end = nullptr;
    long x = std::strtol(word, &end, 10);
    if (end == word || *end != '\0' || x < -2147483647L || x > 2147483647L) {
        Rewind(f, where);
        return false;
    }
    *v = static_cast<int>(x);
    return true;
}

// The fewest significant digits, from 6 on, that read back to the same value: values with up
// to 6 digits are written as "%.6g" writes them, and nothing of the master copy is lost.
int FloatDigits(float v) {
    if (!std::isfinite(v)) return 6;
    char buf[48];
    for (int d = 6; d < 9; d++) {
        std::snprintf(buf, sizeof buf, "%.*g", d, static_cast<double>(v));
        if (std::strtof(buf, nullptr) == v) return d;
    }
    return 9;
}

int DoubleDigits(double v) {
    if (!std::isfinite(v)) return 6;
    char buf[48];
    for (int d = 6; d < 17; d++) {
        std::snprintf(buf, sizeof buf, "%.*g", d, v);
        if (std::strtod(buf, nullptr) == v) return d;
    }
    return 17;
}

void PutFloatRows(FILE* f, int rows, int cols, float** m) {
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) {
            float v = m[i][j];
            std::fprintf(f, "%.*g\t", FloatDigits(v), static_cast<double>(v));
        }
        std::fprintf(f, "\n");
    }
}

}  // namespace formdaio

using namespace formdaio;

namespace {

// ---------------------------------------------------------------------------------------
// A data set read from a file, before it becomes the loaded one. It owns its arrays until
// they are handed over.
// ---------------------------------------------------------------------------------------
struct FormdaData {
    char dataName[kDataNameSize] = "";
    int nch = 0, ncsm = 0, tcst = 0, nenv = 0, nSpp = 0, nClados = 0;
    char** chLabel = nullptr;
    int* chtype = nullptr;
    float* chrange = nullptr;
    int* onsta = nullptr;
    char** reLabel = nullptr;
    int* ncst = nullptr;
    float ca_code[kCaCodes] = {};
    char version[16] = "";  // version word of B and W; empty for the older form
    float** B = nullptr;
    char** codes = nullptr;  // the older form's trait words, kept as the trait codes
    float** W = nullptr;
    int optEnvVarType = 0;
    int* envVarType = nullptr;
    char** envLabel = nullptr;
    char envName[kDataNameSize] = "";
    float** env = nullptr;
    char whichSpp[kFileNameSize] = "";
    char** spp = nullptr;
    char** sppRelMap = nullptr;
    char** cstSppMap = nullptr;
    int SMWSize = 1;
    int hasPhylogeny = 0;
    int phylogenyMatrixType = 0;
    double** phylogenyRese = nullptr;
    float** phylogenyData = nullptr;
    int* phylogenyVarType = nullptr;
    int hasTraitGroups = 0;
    int* traitGroups = nullptr;

    FormdaData() = default;
    FormdaData(const FormdaData&) = delete;
    FormdaData& operator=(const FormdaData&) = delete;
    ~FormdaData() {
        free2D(chLabel, nch);
        free1D(chtype);
        free1D(chrange);
        free1D(onsta);
        free2D(reLabel, ncsm);
        free1D(ncst);
        free2D(B, tcst);
        free2D(codes, tcst);
        free2D(W, tcst);
        free1D(envVarType);
        free2D(envLabel, nenv);
        free2D(env, ncsm);
        free2D(spp, nSpp);
        free2D(sppRelMap, nSpp);
        free2D(cstSppMap, tcst);
        free2D(phylogenyRese, tcst);
        free2D(phylogenyData, tcst);
        free1D(phylogenyVarType);
        free1D(traitGroups);
    }
};

// The older form of B: one word per OTU of two characters per trait, each pair a trait code.
void ParseTraitWord(const char* word, int nch, char** labels, float* row, const char* name) {
    if (static_cast<long long>(std::strlen(word)) != 2LL * nch) BadItem(name);
    for (int j = 0; j < nch; j++)
        if (!DecodeTraitCode(word + 2 * j, IsSpeciesTrait(labels[j]), &row[j])) BadItem(name);
}

// Reads the whole file into d; every count is checked before its arrays are allocated.
void ReadFormdaFile(FILE* f, const char* name, FormdaData& d, bool olderOnly) {
    ReadNameField(f, kDataNameSize - 1, d.dataName, name);

    d.nch = ReadPositiveCount(f, name);
    EnsureAllocatable(d.nch, kLabelSize, 1);
    EnsureInFile(f, d.nch, name);
    d.chLabel = dim2Dchar(d.nch, kLabelSize);
    for (int j = 0; j < d.nch; j++) ReadLabel(f, d.chLabel[j], name);
    d.chtype = dim1Dint(d.nch);
    for (int j = 0; j < d.nch; j++) d.chtype[j] = ReadIntStrict(f, name);
    d.chrange = dim1Dfloat(d.nch);
    for (int j = 0; j < d.nch; j++) d.chrange[j] = ReadFloatStrict(f, name);
    d.onsta = dim1Dint(d.nch);
    for (int j = 0; j < d.nch; j++) d.onsta[j] = ReadIntStrict(f, name);

    d.ncsm = ReadPositiveCount(f, name);
    EnsureReadable(f, d.ncsm, 1, kLabelSize, name);
    d.reLabel = dim2Dchar(d.ncsm, kLabelSize);
    for (int c = 0; c < d.ncsm; c++) ReadLabel(f, d.reLabel[c], name);
    d.tcst = ReadPositiveCount(f, name);
    d.ncst = dim1Dint(d.ncsm);
    for (int c = 0; c < d.ncsm; c++) d.ncst[c] = ReadIntStrict(f, name);
    for (int k = 0; k < kCaCodes; k++) d.ca_code[k] = ReadFloatStrict(f, name);

    EnsureReadable(f, d.tcst, d.ncsm, sizeof(float), name);
    EnsureReadable(f, d.tcst, d.nch, sizeof(float), name);
    d.W = dim2Dfloat(d.tcst, d.ncsm);
    d.B = dim2Dfloat(d.tcst, d.nch);

    // The version word, or in the older form the first OTU's trait word.
    std::vector<char> word(static_cast<size_t>(2LL * d.nch + 21));
    freadckString(f, word.data(), static_cast<int>(word.size()), name);
    const bool versioned =
        std::strcmp(word.data(), versionFormdaFile) == 0 || std::strcmp(word.data(), versionFormdaFileOld) == 0;
    if (versioned && olderOnly) BadItem(name);
    if (versioned) {
        std::strcpy(d.version, word.data());
        for (int i = 0; i < d.tcst; i++)
            for (int j = 0; j < d.nch; j++) d.B[i][j] = ReadFloatStrict(f, name);
        for (int i = 0; i < d.tcst; i++)
            for (int c = 0; c < d.ncsm; c++) d.W[i][c] = ReadFloatStrict(f, name);
    } else {
        d.codes = dim2Dchar(d.tcst, 2 * d.nch + 1);
        for (int i = 0; i < d.tcst; i++) {
            if (i > 0) freadckString(f, word.data(), static_cast<int>(word.size()), name);
            ParseTraitWord(word.data(), d.nch, d.chLabel, d.B[i], name);
            std::memcpy(d.codes[i], word.data(), static_cast<size_t>(2 * d.nch));
            for (int c = 0; c < d.ncsm; c++) d.W[i][c] = ReadFloatStrict(f, name);
        }
    }

    d.nenv = ReadCount(f, name);
    if (d.nenv > 0) {
        EnsureAllocatable(d.nenv, kLabelSize, 1);
        EnsureReadable(f, d.ncsm, d.nenv, sizeof(float), name);
        d.envVarType = dim1Dint(d.nenv);
        d.envLabel = dim2Dchar(d.nenv, kLabelSize);
        char first[32];
        freadckString(f, first, sizeof first, name);
        int j0 = 0;
        if (std::strcmp(first, versionFormda) == 0) {
            d.optEnvVarType = ReadIntStrict(f, name);
            for (int j = 0; j < d.nenv; j++) d.envVarType[j] = ReadIntStrict(f, name);
        } else {
            // Older form: no types; the word read is the first variable's label.
            d.optEnvVarType = 2;
            for (int j = 0; j < d.nenv; j++) d.envVarType[j] = 3;
            std::snprintf(d.envLabel[0], kLabelSize, "%.10s", first);
            j0 = 1;
        }
        for (int j = j0; j < d.nenv; j++) ReadLabel(f, d.envLabel[j], name);
        ReadNameField(f, kDataNameSize - 1, d.envName, name);
        d.env = dim2Dfloat(d.ncsm, d.nenv);
        for (int j = 0; j < d.nenv; j++)
            for (int c = 0; c < d.ncsm; c++) d.env[c][j] = ReadFloatStrict(f, name);
    }

    d.nSpp = ReadCount(f, name);
    if (d.nSpp > 0) {
        EnsureAllocatable(d.nSpp, kSpeciesNameSize, 1);
        EnsureReadable(f, d.nSpp, d.ncsm, 1, name);
        EnsureReadable(f, d.tcst, d.nSpp, 1, name);
        d.spp = dim2Dchar(d.nSpp, kSpeciesNameSize);
        d.sppRelMap = dim2Dchar(d.nSpp, d.ncsm);
        d.cstSppMap = dim2Dchar(d.tcst, d.nSpp);
        ReadNameField(f, kSppFileNameMax, d.whichSpp, name);
        for (int s = 0; s < d.nSpp; s++) ReadSpeciesLine(f, d.spp[s], name);
        for (int s = 0; s < d.nSpp; s++)
            for (int c = 0; c < d.ncsm; c++) d.sppRelMap[s][c] = ReadMapChar(f, name);
        for (int i = 0; i < d.tcst; i++)
            for (int s = 0; s < d.nSpp; s++) d.cstSppMap[i][s] = ReadMapChar(f, name);
    }

    // Items that older files do not have keep their defaults; nothing is taken from the text
    // that follows in their place.
    char w[16];
    long where = 0;
    d.SMWSize = 1;
    if (PeekWord(f, w, sizeof w, &where)) {
        if (std::strcmp(w, "SMW") == 0) {
            d.SMWSize = ReadIntStrict(f, name);
            if (d.SMWSize < 1) BadItem(name);
        } else {
            Rewind(f, where);
        }
    }
    int flag = 0;
    if (TryReadInt(f, &flag)) {
        if (flag != 0 && flag != 1) BadItem(name);
        d.hasPhylogeny = flag;
    }
    if (d.hasPhylogeny == 1) {
        d.phylogenyMatrixType = ReadIntStrict(f, name);
        EnsureAllocatable(d.tcst, d.tcst, sizeof(double));
        if (d.phylogenyMatrixType == 1 || d.phylogenyMatrixType == 3)
            EnsureInFile(f, static_cast<long long>(d.tcst) * d.tcst, name);
        d.phylogenyRese = dim2Double(d.tcst, d.tcst);
        if (d.phylogenyMatrixType == 1 || d.phylogenyMatrixType == 3) {
            for (int i = 0; i < d.tcst; i++)
                for (int k = 0; k < d.tcst; k++) d.phylogenyRese[i][k] = ReadDoubleStrict(f, name);
        } else if (d.phylogenyMatrixType == 2) {
            d.nClados = ReadCount(f, name);
            EnsureReadable(f, d.tcst, d.nClados, sizeof(float), name);
            d.phylogenyVarType = dim1Dint(d.nClados);
            d.phylogenyData = dim2Dfloat(d.tcst, d.nClados);
            for (int k = 0; k < d.nClados; k++) d.phylogenyVarType[k] = ReadIntStrict(f, name);
            for (int i = 0; i < d.tcst; i++)
                for (int k = 0; k < d.nClados; k++) d.phylogenyData[i][k] = ReadFloatStrict(f, name);
        } else {
            BadItem(name);
        }
    }

    d.traitGroups = dim1Dint(d.nch);
    if (std::strcmp(d.version, versionFormdaFile) == 0) {
        d.hasTraitGroups = ReadFlag(f, name);
        if (d.hasTraitGroups == 1)
            for (int j = 0; j < d.nch; j++) d.traitGroups[j] = ReadIntStrict(f, name);
    }
}

// Opens and reads volumeName + fileName into d (code 4 when it cannot be opened); `read` and
// `digest`, when given, receive the identity of the file as it was opened and the digest of its
// bytes (unknown when the file changed while it was read).
void LoadFormdaFile(const char* fileName, FormdaData& d, bool olderOnly = false, FileIdentity* read = nullptr,
                    ContentDigest* digest = nullptr) {
    FILE* f = fopenck(fileName, volumeName, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    const FileIdentity opened = IdentityOf(fileno(f));
    InFile file(f);
    ReadFormdaFile(f, fileName, d, olderOnly);
    // The bytes are read a second time, through the same descriptor, once they are parsed: a
    // commit then tells a data file rewritten with these very bytes from one that changed.
    if (digest) *digest = DigestOf(fileno(f), opened);
    if (read) *read = opened;
    file.Close();
}

// Hands the arrays of d over to the globals (which must have been reset) and derives the
// presence flags of the variable types.
void InstallFormda(FormdaData& d) {
    std::strcpy(dataName, d.dataName);
    nch = d.nch;
    ncsm = d.ncsm;
    tcst = d.tcst;
    nenv = d.nenv;
    nSpp = d.nSpp;
    nClados = d.nClados;
    chLabel = d.chLabel;
    chtype = d.chtype;
    chrange = d.chrange;
    onsta = d.onsta;
    reLabel = d.reLabel;
    ncst = d.ncst;
    for (int k = 0; k < kCaCodes; k++) ca_code[k] = d.ca_code[k];
    csm_Float = d.B;
    cadat = d.W;
    csm = d.codes;
    optEnvVarType = d.nenv > 0 ? d.optEnvVarType : 0;
    envVarType = d.envVarType;
    envLabel = d.envLabel;
    std::strcpy(envName, d.envName);
    env = d.env;
    std::strcpy(whichSpp, d.whichSpp);
    spp = d.spp;
    sppRelMap = d.sppRelMap;
    cstSppMap = d.cstSppMap;
    SMWSize = d.SMWSize;
    hasPhylogeny = d.hasPhylogeny == 1;
    phylogenyMatrixType = d.phylogenyMatrixType;
    phylogenyRese = d.phylogenyRese;
    phylogenyData = d.phylogenyData;
    phylogenyVarType = d.phylogenyVarType;
    hasTraitGroups = d.hasTraitGroups;
    traitGroups = d.traitGroups;

    temEnvBin = temEnvQual = temEnvQuant = 0;
    for (int j = 0; j < nenv; j++) {
        if (envVarType[j] == 1) temEnvBin = 1;
        if (envVarType[j] == 2) temEnvQual = 1;
        if (envVarType[j] == 3) temEnvQuant = 1;
    }

    // The globals own the arrays now.
    d.chLabel = nullptr;
    d.chtype = nullptr;
    d.chrange = nullptr;
    d.onsta = nullptr;
    d.reLabel = nullptr;
    d.ncst = nullptr;
    d.B = nullptr;
    d.codes = nullptr;
    d.W = nullptr;
    d.envVarType = nullptr;
    d.envLabel = nullptr;
    d.env = nullptr;
    d.spp = nullptr;
    d.sppRelMap = nullptr;
    d.cstSppMap = nullptr;
    d.phylogenyRese = nullptr;
    d.phylogenyData = nullptr;
    d.phylogenyVarType = nullptr;
    d.traitGroups = nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Reset and working arrays.
// ---------------------------------------------------------------------------------------

void ResetDataSet() {
    FreeGlobals2();
    nch = tcst = ncsm = nenv = nSpp = nClados = 0;
    dataName[0] = '\0';
    hasTraitGroups = 0;
    for (float& c : ca_code) c = 0.0f;
    optEnvVarType = 0;
    temEnvBin = temEnvQual = temEnvQuant = 0;
    envName[0] = '\0';
    whichSpp[0] = '\0';
    hasPhylogeny = false;
    phylogenyMatrixType = 0;
    SMWSize = 1;
    nPart = nGroups = whichPart = 0;
    nPartCst = nCstGroups = whichCstPart = 0;
}

void AllocateWorkingArrays() {
    EnsureAllocatable(nch, tcst, sizeof(int));
    EnsureAllocatable(10LL * tcst, kGroupLabelSize, 1);
    EnsureAllocatable(10LL * ncsm, kGroupLabelSize, 1);
    nchor = dim1Dint(nch);
    weight = dim1Dfloat(nch);
    rcst = dim1Dint(nch);
    nGrPoly = dim1Dint(nch);
    partLabel = dim2Dchar(kMaxPartitions, kPartLabelSize);
    nGroupsP = dim1Dint(kMaxPartitions);
    groupRelP = dim2Dint(kMaxPartitions, ncsm);
    grLabelP = dim3Dchar(kMaxPartitions, ncsm, kGroupLabelSize);
    relSelect = dim1Dint(ncsm);
    partCstLabel = dim2Dchar(kMaxPartitions, kPartLabelSize);
    nGroupsCstP = dim1Dint(kMaxPartitions);
    groupCstP = dim2Dint(kMaxPartitions, tcst);
    grCstLabelP = dim3Dchar(kMaxPartitions, tcst, kGroupLabelSize);
    partition_OTUs = dim1Dint(tcst);
    whichLevelGrCstP = dim1Dint(kMaxPartitions);
    cstTrack = dim2Dint(nch, tcst);
    groupRel = groupRelP[0];
    grLabel = grLabelP[0];
    groupCst = groupCstP[0];
    grCstLabel = grCstLabelP[0];
}

// ---------------------------------------------------------------------------------------
// Writer.
// ---------------------------------------------------------------------------------------

namespace {

// Items 1 to 11: name, traits, communities, OTU count, OTUs per community, cover-abundance
// codes. The current form writes zeros for the ranges, the OTUs per community and the codes;
// the older form writes their values.
void PutHeader(FILE* f, int nPop, const char* dataName, bool older) {
    std::fprintf(f, "%s \n", NonEmpty(dataName));
    std::fprintf(f, "%d \n", nch);
    for (int j = 0; j < nch; j++) std::fprintf(f, "%s\t", NonEmpty(chLabel[j]));
    std::fprintf(f, "\n");
    for (int j = 0; j < nch; j++) std::fprintf(f, "%2d\t", chtype[j]);
    std::fprintf(f, "\n");
    for (int j = 0; j < nch; j++) {
        if (older) std::fprintf(f, "%2g\t", static_cast<double>(chrange[j]));
        else std::fprintf(f, "0\t");
    }
    std::fprintf(f, "\n");
    for (int j = 0; j < nch; j++) std::fprintf(f, "%2d\t", onsta[j]);
    std::fprintf(f, "\n");
    std::fprintf(f, "%d \n", ncsm);
    for (int c = 0; c < ncsm; c++) std::fprintf(f, "%s\t", NonEmpty(reLabel[c]));
    std::fprintf(f, "\n");
    std::fprintf(f, "%d \n", nPop);
    for (int c = 0; c < ncsm; c++) {
        if (older) std::fprintf(f, "%3d\t", ncst ? ncst[c] : 0);
        else std::fprintf(f, "0\t");
    }
    std::fprintf(f, "\n");
    for (int k = 0; k < kCaCodes; k++) {
        if (older) std::fprintf(f, "%g\t", static_cast<double>(ca_code[k]));
        else std::fprintf(f, "0\t");
    }
    std::fprintf(f, "\n\n");
}

// Items 15 to 24: E, the species, the window size, the phylogeny, the trait groups (not in
// the older form, whose reader takes none) and the time stamp.
void PutTail(FILE* f, int nPop, bool withGroups) {
    std::fprintf(f, "%d \n", nenv);
    if (nenv > 0) {
        std::fprintf(f, "%s \n", versionFormda);
        std::fprintf(f, "%d \n", optEnvVarType);
        for (int j = 0; j < nenv; j++) std::fprintf(f, "%d\t", envVarType[j]);
        std::fprintf(f, "\n");
        for (int j = 0; j < nenv; j++) std::fprintf(f, "%s\t", NonEmpty(envLabel[j]));
        std::fprintf(f, "\n");
        std::fprintf(f, "%s \n", NonEmpty(envName));
        for (int j = 0; j < nenv; j++) {
            for (int c = 0; c < ncsm; c++) {
                float v = env[c][j];
                std::fprintf(f, "%6.*g\t", FloatDigits(v), static_cast<double>(v));
            }
            std::fprintf(f, "\n");
        }
    }

    std::fprintf(f, "%d \n", nSpp);
    if (nSpp > 0) {
        std::fprintf(f, "%s \n", NonEmpty(whichSpp));
        for (int s = 0; s < nSpp; s++) std::fprintf(f, "%-s\n", NonEmpty(spp[s]));
        for (int s = 0; s < nSpp; s++) {
            for (int c = 0; c < ncsm; c++) std::fputc(sppRelMap[s][c] == '1' ? '1' : '0', f);
            std::fprintf(f, "\n");
        }
        for (int i = 0; i < nPop; i++) {
            for (int s = 0; s < nSpp; s++) std::fputc(cstSppMap[i][s] == '1' ? '1' : '0', f);
            std::fprintf(f, "\n");
        }
    }

    std::fprintf(f, "SMW %d\n", SMWSize);
    bool phylo = hasPhylogeny &&
                 (((phylogenyMatrixType == 1 || phylogenyMatrixType == 3) && phylogenyRese) ||
                  (phylogenyMatrixType == 2 && phylogenyData && phylogenyVarType));
    std::fprintf(f, "%d\n", phylo ? 1 : 0);
    if (phylo) {
        std::fprintf(f, "%d\n", phylogenyMatrixType);
        if (phylogenyMatrixType == 2) {
            std::fprintf(f, "%d\n", nClados);
            for (int k = 0; k < nClados; k++) std::fprintf(f, "%d\t", phylogenyVarType[k]);
            std::fprintf(f, "\n");
            for (int i = 0; i < nPop; i++) {
                for (int k = 0; k < nClados; k++) {
                    float v = phylogenyData[i][k];
                    std::fprintf(f, "%.*g\t", FloatDigits(v), static_cast<double>(v));
                }
                std::fprintf(f, "\n");
            }
        } else {
            for (int i = 0; i < nPop; i++) {
                for (int k = 0; k < nPop; k++) {
                    double v = phylogenyRese[i][k];
                    std::fprintf(f, "%.*g\t", DoubleDigits(v), v);
                }
                std::fprintf(f, "\n");
            }
        }
    }
    if (withGroups) {
        bool groups = hasTraitGroups == 1 && traitGroups;
        std::fprintf(f, "%d\n", groups ? 1 : 0);
        if (groups) {
            for (int j = 0; j < nch; j++) std::fprintf(f, "%d\t", traitGroups[j]);
            std::fprintf(f, "\n");
        }
    }
    TimeStamp(f);
}

}  // namespace

void WriteFormda(int nPop, const char* fileName, const char* dataName, float** B, float** W) {
    // In the run's set while one is under way: an import puts the file in place with the
    // session's track file.
    RunFileWriter writer(std::string(volumeName) + fileName);
    FILE* f = writer.OpenOrRaise();
    PutHeader(f, nPop, dataName, false);
    std::fprintf(f, "%s \n", versionFormdaFile);
    PutFloatRows(f, nPop, nch, B);
    std::fprintf(f, "\n");
    PutFloatRows(f, nPop, ncsm, W);
    std::fprintf(f, "\n");
    PutTail(f, nPop, true);
    writer.CommitOrExplain();
}

void WriteFormda_OLD(int nPop, const char* fileName, const char* dataName, float** B, float** W) {
    // Every value is coded before anything is written: a refused value leaves no file.
    std::vector<char> words(static_cast<size_t>(nPop) * (2 * static_cast<size_t>(nch) + 1), '\0');
    for (int i = 0; i < nPop; i++) CodeTraitRow(i, B[i], &words[static_cast<size_t>(i) * (2 * static_cast<size_t>(nch) + 1)]);
    // In the run's set while one is under way: an import puts the file in place with the
    // session's track file.
    RunFileWriter writer(std::string(volumeName) + fileName);
    FILE* f = writer.OpenOrRaise();
    PutHeader(f, nPop, dataName, true);
    for (int i = 0; i < nPop; i++) {
        std::fprintf(f, "%s\t", &words[static_cast<size_t>(i) * (2 * static_cast<size_t>(nch) + 1)]);
        for (int c = 0; c < ncsm; c++) {
            float v = W[i][c];
            std::fprintf(f, "%5.*g\t", FloatDigits(v), static_cast<double>(v));
        }
        std::fprintf(f, "\n");
    }
    std::fprintf(f, "\n");
    PutTail(f, nPop, false);
    writer.CommitOrExplain();
}

// ---------------------------------------------------------------------------------------
// Two-character trait codes.
// ---------------------------------------------------------------------------------------

namespace {

const char kBase62[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

int Base62Digit(char c) {
    const char* p = c ? std::strchr(kBase62, c) : nullptr;
    return p ? static_cast<int>(p - kBase62) : -1;
}

}  // namespace

bool IsSpeciesTrait(const char* label) { return label && std::strcmp(label, "sp") == 0; }

void CodeTraitRow(int i, const float* row, char* word) {
    for (int j = 0; j < nch; j++) {
        if (EncodeTraitCode(row[j], IsSpeciesTrait(chLabel[j]), word + 2 * j)) continue;
        std::fprintf(stderr,
                     "\nThe value %g of trait %s of OTU %d cannot be written as a two-character code "
                     "(whole numbers 0 to 99; species numbers 0 to 3843).\n",
                     static_cast<double>(row[j]), chLabel[j], i + 1);
        RaiseError(TNX_TRANSLATION);
    }
}

bool EncodeTraitCode(float v, bool species, char* pair) {
    const float top = species ? 3843.0f : 99.0f;
    // NaN fails both comparisons; a fractional value differs from its floor.
    if (!(v >= 0.0f && v <= top) || v != std::floor(v)) return false;
    const int n = static_cast<int>(v);
    if (species) {
        IntToAlpha(n, pair);
    } else {
        pair[0] = static_cast<char>('0' + n / 10);
        pair[1] = static_cast<char>('0' + n % 10);
    }
    return true;
}

bool DecodeTraitCode(const char* pair, bool species, float* v) {
    int hi = Base62Digit(pair[0]), lo = hi < 0 ? -1 : Base62Digit(pair[1]);
    if (hi < 0 || lo < 0) return false;
    if (!species && (hi > 9 || lo > 9)) return false;
    *v = static_cast<float>(hi * (species ? 62 : 10) + lo);
    return true;
}

// ---------------------------------------------------------------------------------------
// Loader.
// ---------------------------------------------------------------------------------------

namespace {

void OpenFormdaForm(bool olderOnly) {
    FormdaData d;
    FileIdentity read;
    ContentDigest digest;
    LoadFormdaFile(whichFormda, d, olderOnly, &read, &digest);
    ResetDataSet();
    InstallFormda(d);
    // The session's files are saved from now on only beside these data (another run may
    // replace them meanwhile).
    SetSessionData(std::string(volumeName) + whichFormda, read, digest);
    // An older-form file brought its trait words; otherwise the codes come from B when it can
    // be coded.
    if (csm == nullptr) BuildTraitCodes();
    AllocateWorkingArrays();
    dirtyOrig = 0;
}

}  // namespace

void OpenFormda(int /*fullRead*/) { OpenFormdaForm(false); }

void OpenFormda_OLD(int /*fullRead*/) { OpenFormdaForm(true); }

std::string SessionOfDataFile(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t suffix = std::strlen(formdaExt);
    if (name.size() > suffix && name.compare(name.size() - suffix, suffix, formdaExt) == 0)
        name.resize(name.size() - suffix);
    return name;
}

// ---------------------------------------------------------------------------------------
// Merge.
// ---------------------------------------------------------------------------------------

namespace {

// Appends a blank and `more` to `text` (size bytes), the whole kept within the buffer.
void AppendName(char* text, size_t size, const char* more) {
    size_t n = std::strlen(text);
    if (n + 1 < size) {
        text[n++] = ' ';
        text[n] = '\0';
    }
    std::strncat(text, more, size - 1 - std::strlen(text));
}

int Refuse(const char* message) {
    std::fputs(message, stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int MergeFormda(const char* secondFile) {
    FormdaData s;
    LoadFormdaFile(secondFile, s);

    // Checks: nothing of the loaded data set changes until every one has passed.
    if (s.nch != nch) return Refuse("\nThe number of traits do not match.\n\n");
    for (int j = 0; j < nch; j++)
        if (std::strcmp(s.chLabel[j], chLabel[j]) != 0)
            return Refuse("\nLabels for traits do not match (or their order).\n\n");
    for (int j = 0; j < nch; j++)
        if (s.chtype[j] != chtype[j]) return Refuse("\nTrait types do not match.\n\n");

    const int n1 = ncsm, n2 = s.ncsm, nAll = n1 + n2;
    const int t1 = tcst, t2 = s.tcst, tAll = t1 + t2;
    if (static_cast<long long>(n1) + n2 > 2147483647LL || static_cast<long long>(t1) + t2 > 2147483647LL)
        RaiseError(TNX_OUT_OF_MEMORY);

    // Community labels: a label of the second file equal to one of the first's gets "b".
    std::vector<std::string> labels;
    std::vector<char> renamed(static_cast<size_t>(nAll), 0);
    labels.reserve(static_cast<size_t>(nAll));
    for (int c = 0; c < n1; c++) labels.emplace_back(reLabel[c]);
    for (int c = 0; c < n2; c++) {
        std::string l = s.reLabel[c];
        bool clash = false;
        for (int k = 0; k < n1 && !clash; k++) clash = l == labels[static_cast<size_t>(k)];
        if (clash) {
            if (l.size() > 9) {
                std::printf("\b\nThere are releve labels in the second session that are identical to\n");
                std::printf("labels in the first session. Change them (or reduce the second\n");
                std::printf("session labels length to %d letters or digits) and try again.\n", 9);
                std::fflush(stdout);
                return 0;
            }
            l += "b";
            renamed[static_cast<size_t>(n1 + c)] = 1;
        }
        labels.push_back(l);
    }
    // A label with its "b" must not meet another label of the merged set.
    for (int c = n1; c < nAll; c++) {
        if (!renamed[static_cast<size_t>(c)]) continue;
        for (int k = 0; k < nAll; k++) {
            if (k != c && labels[static_cast<size_t>(k)] == labels[static_cast<size_t>(c)]) {
                std::printf("\b\nThe releve label %s of the second session, renamed with \"b\", is the label\n",
                            labels[static_cast<size_t>(c)].c_str());
                std::printf("of another releve. Change the labels and try again.\n\n");
                std::fflush(stdout);
                return 0;
            }
        }
    }

    for (int k = 0; k < kCaCodes; k++)
        if (s.ca_code[k] != ca_code[k])
            return Refuse("\nTranslating values for cover-abundance scale codes do not match.\n\n");

    if (s.nenv != nenv) return Refuse("\nThe number of environmental variables do not match.\n\n");
    if (nenv > 0) {
        if (s.optEnvVarType != optEnvVarType)
            return Refuse("\nThe types of environmental variables do not match.\n\n");
        for (int j = 0; j < nenv; j++)
            if (s.envVarType[j] != envVarType[j])
                return Refuse("\nThe types of environmental variables do not match.\n\n");
        for (int j = 0; j < nenv; j++)
            if (std::strcmp(s.envLabel[j], envLabel[j]) != 0)
                return Refuse("\nLabels for environmental variables do not match.\n\n");
    }
    if ((s.nSpp > 0) != (nSpp > 0))
        return Refuse("\nOne session has species names and the other not.\n"
                      "Both files must have or not have species names.\n\n");
    const int sp1 = nSpp, sp2 = s.nSpp, spAll = sp1 + sp2;

    // The merged data set is built beside the loaded one, then takes its place.
    FormdaData m;
    std::strcpy(m.dataName, dataName);
    AppendName(m.dataName, sizeof m.dataName, secondFile);
    m.nch = nch;
    m.chLabel = dim2Dchar(nch, kLabelSize);
    m.chtype = dim1Dint(nch);
    m.chrange = dim1Dfloat(nch);
    m.onsta = dim1Dint(nch);
    for (int j = 0; j < nch; j++) {
        std::strcpy(m.chLabel[j], chLabel[j]);
        m.chtype[j] = chtype[j];
        m.chrange[j] = chrange[j];
        m.onsta[j] = onsta[j];
    }
    m.ncsm = nAll;
    EnsureAllocatable(nAll, kLabelSize, 1);
    m.reLabel = dim2Dchar(nAll, kLabelSize);
    for (int c = 0; c < nAll; c++)
        std::snprintf(m.reLabel[c], kLabelSize, "%.10s", labels[static_cast<size_t>(c)].c_str());
    m.ncst = dim1Dint(nAll);
    for (int c = 0; c < n1; c++) m.ncst[c] = ncst[c];
    for (int c = 0; c < n2; c++) m.ncst[n1 + c] = s.ncst[c];
    for (int k = 0; k < kCaCodes; k++) m.ca_code[k] = ca_code[k];
    std::strcpy(m.version, versionFormdaFile);

    m.tcst = tAll;
    EnsureAllocatable(tAll, nch, sizeof(float));
    EnsureAllocatable(tAll, nAll, sizeof(float));
    m.B = dim2Dfloat(tAll, nch);
    m.W = dim2Dfloat(tAll, nAll);
    for (int i = 0; i < t1; i++) {
        std::memcpy(m.B[i], csm_Float[i], sizeof(float) * static_cast<size_t>(nch));
        std::memcpy(m.W[i], cadat[i], sizeof(float) * static_cast<size_t>(n1));
    }
    for (int i = 0; i < t2; i++) {
        std::memcpy(m.B[t1 + i], s.B[i], sizeof(float) * static_cast<size_t>(nch));
        std::memcpy(m.W[t1 + i] + n1, s.W[i], sizeof(float) * static_cast<size_t>(n2));
    }

    m.nenv = nenv;
    if (nenv > 0) {
        m.optEnvVarType = optEnvVarType;
        m.envVarType = dim1Dint(nenv);
        m.envLabel = dim2Dchar(nenv, kLabelSize);
        for (int j = 0; j < nenv; j++) {
            m.envVarType[j] = envVarType[j];
            std::strcpy(m.envLabel[j], envLabel[j]);
        }
        std::strcpy(m.envName, envName);
        AppendName(m.envName, sizeof m.envName, s.envName);
        EnsureAllocatable(nAll, nenv, sizeof(float));
        m.env = dim2Dfloat(nAll, nenv);
        for (int c = 0; c < n1; c++) std::memcpy(m.env[c], env[c], sizeof(float) * static_cast<size_t>(nenv));
        for (int c = 0; c < n2; c++) std::memcpy(m.env[n1 + c], s.env[c], sizeof(float) * static_cast<size_t>(nenv));
    }

    m.nSpp = spAll;
    if (spAll > 0) {
        std::strcpy(m.whichSpp, whichSpp);
        EnsureAllocatable(spAll, nAll, 1);
        EnsureAllocatable(tAll, spAll, 1);
        m.spp = dim2Dchar(spAll, kSpeciesNameSize);
        m.sppRelMap = dim2Dchar(spAll, nAll);
        m.cstSppMap = dim2Dchar(tAll, spAll);
        for (int k = 0; k < sp1; k++) std::strcpy(m.spp[k], spp[k]);
        for (int k = 0; k < sp2; k++) std::strcpy(m.spp[sp1 + k], s.spp[k]);
        for (int k = 0; k < spAll; k++) std::memset(m.sppRelMap[k], '0', static_cast<size_t>(nAll));
        for (int i = 0; i < tAll; i++) std::memset(m.cstSppMap[i], '0', static_cast<size_t>(spAll));
        for (int k = 0; k < sp1; k++) std::memcpy(m.sppRelMap[k], sppRelMap[k], static_cast<size_t>(n1));
        for (int k = 0; k < sp2; k++) std::memcpy(m.sppRelMap[sp1 + k] + n1, s.sppRelMap[k], static_cast<size_t>(n2));
        for (int i = 0; i < t1; i++) std::memcpy(m.cstSppMap[i], cstSppMap[i], static_cast<size_t>(sp1));
        for (int i = 0; i < t2; i++) std::memcpy(m.cstSppMap[t1 + i] + sp1, s.cstSppMap[i], static_cast<size_t>(sp2));
    }

    // The window size and the trait groups carry over when both files agree. The phylogenies
    // of two sessions hold no resemblances between their OTUs, so the merged data have none.
    m.SMWSize = (s.SMWSize == SMWSize) ? SMWSize : 1;
    m.traitGroups = dim1Dint(nch);
    bool sameGroups = hasTraitGroups == 1 && s.hasTraitGroups == 1;
    for (int j = 0; j < nch && sameGroups; j++) sameGroups = traitGroups[j] == s.traitGroups[j];
    if (sameGroups) {
        m.hasTraitGroups = 1;
        for (int j = 0; j < nch; j++) m.traitGroups[j] = traitGroups[j];
    } else if (hasTraitGroups == 1 || s.hasTraitGroups == 1) {
        std::printf("\nThe trait groups of the two sessions differ: the merged data have none.\n");
    }
    if (hasPhylogeny || s.hasPhylogeny == 1)
        std::printf("\nThe phylogeny is not carried into the merged data.\n");

    ResetDataSet();
    InstallFormda(m);
    CheckData(1);
    // The working and partition arrays take the counts that the checks leave.
    AllocateWorkingArrays();
    SessionFileName(whichFormda, formdaExt);
    WriteFormda(tcst, whichFormda, dataName, csm_Float, cadat);
    return 1;
}
