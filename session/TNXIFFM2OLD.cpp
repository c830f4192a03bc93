// Writer and reader of the block form of the formatted data file.
#include "session/TNXIFFM2OLD.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/TNXIFFM2IO.h"
#include "session/model/TNXTRACK.h"

using namespace formdaio;

namespace {

const char kVersionBlocks[] = "07Jul2011";

// Writing.

void PutLabels(FILE* f, char** labels, int n) {
    for (int k = 0; k < n; k++) std::fprintf(f, "%s\t", NonEmpty(labels[k]));
    std::fprintf(f, "\n");
}

void PutInts(FILE* f, const int* v, int n) {
    for (int k = 0; k < n; k++) std::fprintf(f, "%d\t", v[k]);
    std::fprintf(f, "\n");
}

void PutMap(FILE* f, char** rows, int n, int width) {
    for (int i = 0; i < n; i++) {
        for (int k = 0; k < width; k++) std::fputc(rows[i][k] == '1' ? '1' : '0', f);
        std::fprintf(f, "\n");
    }
}

// "\n%d\n" with the flag, then the source line of a present block; true when present.
bool PutBlockStart(FILE* f, const tarnexInput* t, int block) {
    const bool present = t->has[block] == 1;
    std::fprintf(f, "\n%d\n", present ? 1 : 0);
    if (present) std::fprintf(f, "%s\n", NonEmpty(t->source[block]));
    return present;
}

// Reading.

void ReadLabels(FILE* f, char**& labels, int n, const char* name) {
    labels = dim2Dchar(n, kLabelSize);
    for (int k = 0; k < n; k++) ReadLabel(f, labels[k], name);
}

void ReadInts(FILE* f, int*& v, int n, const char* name) {
    v = dim1Dint(n);
    for (int k = 0; k < n; k++) v[k] = ReadIntStrict(f, name);
}

void ReadFloats(FILE* f, float**& m, int rows, int cols, const char* name) {
    EnsureReadable(f, rows, cols, sizeof(float), name);
    m = dim2Dfloat(rows, cols);
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) m[i][j] = ReadFloatStrict(f, name);
}

void ReadMap(FILE* f, char**& m, int rows, int cols, const char* name) {
    EnsureReadable(f, rows, cols, 1, name);
    m = dim2Dchar(rows, cols + 1);
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) m[i][j] = ReadMapChar(f, name);
}

// The flag of a block and, when it is present, its source line.
bool ReadBlockStart(FILE* f, tarnexInput* t, int block, const char* name) {
    t->has[block] = ReadFlag(f, name);
    if (t->has[block] == 1) ReadNameField(f, kTarnexTextSize - 1, t->source[block], name);
    return t->has[block] == 1;
}

// The number of communities: the first block that gives it sets it, the later ones must agree.
void AgreeCommunities(FILE* f, tarnexInput* t, bool* known, const char* name) {
    const int n = ReadCount(f, name);
    if (*known && n != t->dims[kDimCommunities]) BadItem(name);
    t->dims[kDimCommunities] = n;
    *known = true;
}

void ReadRecord(FILE* f, const char* name, tarnexInput* t) {
    char word[16];
    freadckString(f, word, sizeof word, name);
    if (std::strcmp(word, kVersionBlocks) != 0) BadItem(name);
    const int nOtu = t->dims[kDimOtus] = ReadCount(f, name);
    EnsureAllocatable(nOtu, 1, sizeof(float*));

    if (ReadBlockStart(f, t, kBlockTraits, name)) {
        const int n = t->dims[kDimTraits] = ReadCount(f, name);
        EnsureReadable(f, n, 1, kLabelSize, name);
        ReadLabels(f, t->chLabel, n, name);
        ReadInts(f, t->chtype, n, name);
        ReadFloats(f, t->B, nOtu, n, name);
    }
    if (ReadBlockStart(f, t, kBlockPhylogeny, name)) {
        EnsureReadable(f, nOtu, nOtu, sizeof(double), name);
        t->phylogeny = dim2Double(nOtu, nOtu);
        for (int i = 0; i < nOtu; i++)
            for (int k = 0; k < nOtu; k++) t->phylogeny[i][k] = ReadDoubleStrict(f, name);
    }
    bool communitiesKnown = false;
    if (ReadBlockStart(f, t, kBlockCommunities, name)) {
        AgreeCommunities(f, t, &communitiesKnown, name);
        const int n = t->dims[kDimCommunities];
        EnsureReadable(f, n, 1, kLabelSize, name);
        ReadLabels(f, t->reLabel, n, name);
        ReadFloats(f, t->W, nOtu, n, name);
    }
    if (ReadBlockStart(f, t, kBlockSpecies, name)) {
        const int n = t->dims[kDimSpecies] = ReadCount(f, name);
        AgreeCommunities(f, t, &communitiesKnown, name);
        EnsureReadable(f, n, 1, kSpeciesNameSize, name);
        t->spp = dim2Dchar(n, kSpeciesNameSize);
        for (int s = 0; s < n; s++) ReadSpeciesLine(f, t->spp[s], name);
        ReadMap(f, t->sppRelMap, n, t->dims[kDimCommunities], name);
        ReadMap(f, t->cstSppMap, nOtu, n, name);
    }
    if (ReadBlockStart(f, t, kBlockEnvironment, name)) {
        AgreeCommunities(f, t, &communitiesKnown, name);
        const int n = t->dims[kDimVariables] = ReadCount(f, name);
        EnsureReadable(f, n, 1, kLabelSize, name);
        t->optEnvVarType = ReadIntStrict(f, name);
        ReadInts(f, t->envVarType, n, name);
        ReadLabels(f, t->envLabel, n, name);
        ReadFloats(f, t->E, t->dims[kDimCommunities], n, name);
    }
}

}  // namespace

void InitTarnexInput(tarnexInput* t, const char* title) {
    std::memset(t, 0, sizeof *t);
    std::snprintf(t->title, sizeof t->title, "%s", title);
}

void FreeTarnexInput(tarnexInput* t) {
    const int nOtu = t->dims[kDimOtus];
    free2D(t->B, nOtu);
    free2D(t->W, nOtu);
    free2D(t->E, t->dims[kDimCommunities]);
    free2D(t->phylogeny, nOtu);
    free2D(t->spp, t->dims[kDimSpecies]);
    free2D(t->chLabel, t->dims[kDimTraits]);
    free2D(t->reLabel, t->dims[kDimCommunities]);
    free2D(t->envLabel, t->dims[kDimVariables]);
    free1D(t->chtype);
    free1D(t->envVarType);
    free2D(t->sppRelMap, t->dims[kDimSpecies]);
    free2D(t->cstSppMap, nOtu);
    char title[kTarnexTextSize];
    std::memcpy(title, t->title, sizeof title);
    InitTarnexInput(t, title);
}

void WriteFormda(tarnexInput* t) {
    ReplacingWriter writer(std::string(volumeName) + t->title);
    FILE* f = writer.OpenOrRaise();
    const int nOtu = t->dims[kDimOtus], nComm = t->dims[kDimCommunities];
    std::fprintf(f, "%s\n", kVersionBlocks);
    std::fprintf(f, "%d\n", nOtu);
    if (PutBlockStart(f, t, kBlockTraits)) {
        std::fprintf(f, "%d\n", t->dims[kDimTraits]);
        PutLabels(f, t->chLabel, t->dims[kDimTraits]);
        PutInts(f, t->chtype, t->dims[kDimTraits]);
        PutFloatRows(f, nOtu, t->dims[kDimTraits], t->B);
    }
    if (PutBlockStart(f, t, kBlockPhylogeny)) {
        for (int i = 0; i < nOtu; i++) {
            for (int k = 0; k < nOtu; k++) std::fprintf(f, "%.*g\t", DoubleDigits(t->phylogeny[i][k]), t->phylogeny[i][k]);
            std::fprintf(f, "\n");
        }
    }
    if (PutBlockStart(f, t, kBlockCommunities)) {
        std::fprintf(f, "%d\n", nComm);
        PutLabels(f, t->reLabel, nComm);
        PutFloatRows(f, nOtu, nComm, t->W);
    }
    if (PutBlockStart(f, t, kBlockSpecies)) {
        const int n = t->dims[kDimSpecies];
        std::fprintf(f, "%d\n%d\n", n, nComm);
        for (int s = 0; s < n; s++) std::fprintf(f, "%s\n", NonEmpty(t->spp[s]));
        PutMap(f, t->sppRelMap, n, nComm);
        PutMap(f, t->cstSppMap, nOtu, n);
    }
    if (PutBlockStart(f, t, kBlockEnvironment)) {
        const int n = t->dims[kDimVariables];
        std::fprintf(f, "%d\n%d\n%d\n", nComm, n, t->optEnvVarType);
        PutInts(f, t->envVarType, n);
        PutLabels(f, t->envLabel, n);
        PutFloatRows(f, nComm, n, t->E);
    }
    writer.CommitOrExplain();
}

void OpenFormda(tarnexInput* t, int /*fullRead*/) {
    FILE* f = fopenck(t->title, volumeName, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    InFile file(f);
    // Read beside the record, which changes only when the whole file has been read.
    struct Holder {
        tarnexInput r;
        ~Holder() { FreeTarnexInput(&r); }
    } read;
    InitTarnexInput(&read.r, t->title);
    ReadRecord(f, t->title, &read.r);
    file.Close();
    FreeTarnexInput(t);
    std::memcpy(t, &read.r, sizeof *t);
    InitTarnexInput(&read.r, t->title);
}
