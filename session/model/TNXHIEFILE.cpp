// Readers of the intermediate file, with every count checked before it is allocated.
#include "session/model/TNXHIEFILE.h"

#include <cstdio>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"

namespace {

// Closes the file when it goes out of scope, also when an error travels through.
struct Closer {
    FILE* f;
    ~Closer() {
        if (f) std::fclose(f);
    }
};

FILE* OpenOrRaise(const char* name) {
    FILE* f = fopenck(name, volumeName, "r");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    return f;
}

// The heading of the next level: its row count (at least 1) after the file's community count
// was checked against the data set.
int ReadLevelHeading(FILE* f, const char* name) {
    const int rows = ReadIntStrict(f, name);
    const int cols = ReadIntStrict(f, name);
    if (rows < 1 || cols != ncsm) {
        std::fprintf(stderr, "\nfile %s ", name);
        RaiseError(TNX_END_OF_FILE);
    }
    return rows;
}

float ReadValue(FILE* f, const char* name, float*) { return ReadFloatStrict(f, name); }
double ReadValue(FILE* f, const char* name, double*) { return ReadDoubleStrict(f, name); }

// One level's table, sizes checked first. A table in the middle of the file may be skipped
// (keep false): its values are read and checked, nothing is allocated.
template <typename T>
T** ReadLevelTable(FILE* f, const char* name, int rows, bool keep) {
    // A count the file cannot hold is a corrupt file (code 2) before it is a lack of memory.
    EnsureInFile(f, static_cast<long long>(rows) * ncsm, name);
    EnsureAllocatable(keep ? rows : 0, ncsm, sizeof(T));
    T** m = keep ? reinterpret_cast<T**>(dim2D(sizeof(T), rows, ncsm)) : nullptr;
    try {
        for (int i = 0; i < rows; i++)
            for (int c = 0; c < ncsm; c++) {
                const T v = ReadValue(f, name, static_cast<T*>(nullptr));
                if (keep) m[i][c] = v;
            }
    } catch (...) {
        free2D(m, rows);
        throw;
    }
    return m;
}

template <typename T>
T** ReadOneLevel(const char* name, int level, int* rows, int* rowsPerLevel) {
    if (level < 1) RaiseError(TNX_END_OF_FILE);
    Closer file{OpenOrRaise(name)};
    T** m = nullptr;
    for (int l = 1; l <= level; l++) {
        const int r = ReadLevelHeading(file.f, name);
        if (rowsPerLevel) rowsPerLevel[l - 1] = r;
        m = ReadLevelTable<T>(file.f, name, r, l == level);
        if (l == level) *rows = r;
    }
    return m;
}

}  // namespace

float** ReadIntermediateLevel(const char* name, int level, int* rows, int* rowsPerLevel) {
    return ReadOneLevel<float>(name, level, rows, rowsPerLevel);
}

double** ReadIntermediateLevelDouble(const char* name, int level, int* rows, int* rowsPerLevel) {
    return ReadOneLevel<double>(name, level, rows, rowsPerLevel);
}

float*** ReadIntermediateLevels(const char* name, int nLevels, int* rows) {
    if (nLevels < 1) RaiseError(TNX_END_OF_FILE);
    Closer file{OpenOrRaise(name)};
    float*** levels = reinterpret_cast<float***>(dim1Dptr(nLevels));
    for (int l = 0; l < nLevels; l++) rows[l] = 0;
    try {
        for (int l = 0; l < nLevels; l++) {
            const int r = ReadLevelHeading(file.f, name);
            levels[l] = ReadLevelTable<float>(file.f, name, r, true);
            rows[l] = r;
        }
    } catch (...) {
        FreeIntermediateLevels(levels, nLevels, rows);
        throw;
    }
    return levels;
}

void FreeIntermediateLevels(float*** levels, int nLevels, const int* rows) {
    if (!levels) return;
    for (int l = 0; l < nLevels; l++) free2D(levels[l], rows[l]);
    free1D(levels);
}
