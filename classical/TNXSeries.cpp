// Shared dialog and file pieces of the community-series analyses.
#include "classical/TNXSeries.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/dialogs/TNXPART.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXTRACK.h"
#include "session/model/TNXHIEFILE.h"

int timeVariableChosen = 0;

namespace {

FILE* Out() { return out ? out : stdout; }

constexpr float kMissing = -999.0f;

// The 0-based variable whose label is `word`, or -1.
int FindVariable(const char* word) {
    for (int k = 0; k < nenv; k++)
        if (std::strcmp(word, envLabel[k]) == 0) return k;
    return -1;
}

// Tells why variable k is refused.
void RefuseVariable(int k, const char* why) {
    char message[160];
    std::snprintf(message, sizeof message, "\nVariable %s %s: it cannot be taken as scale. Enter again. \n",
                  envLabel[k], why);
    Refuse(message);
}

// The intermediate file holds a level type by type; the analyses read it community by community.
// byType has `types` rows, as the reader has set it.
template <class T>
T** ByCommunity(T** byType, int level, int types, bool reversed) {
    OwnedTable<T> read(byType, types);
    if (rcst && level <= nch) rcst[level - 1] = types;
    T** table = reinterpret_cast<T**>(dim2D(sizeof(T), ncsm, types));
    for (int c = 0; c < ncsm; c++)
        for (int k = 0; k < types; k++) table[reversed ? ncsm - 1 - c : c][k] = read[k][c];
    return table;
}

}  // namespace

float** ReadLevelByCommunity(int level, int* types) {
    float** byType = ReadIntermediateLevel(whichHier, level, types);
    return ByCommunity(byType, level, *types, false);
}

double** ReadLevelByCommunityDouble(int level, int* types, bool reversed) {
    double** byType = ReadIntermediateLevelDouble(whichHier, level, types);
    return ByCommunity(byType, level, *types, reversed);
}

const char* ScaleWithoutMissing(int k) {
    for (int c = 0; c < ncsm; c++)
        if (env[c][k] == kMissing || !std::isfinite(env[c][k])) return "has missing values";
    return nullptr;
}

const char* ScaleWholeIncreasing(int k) {
    if (const char* why = ScaleWithoutMissing(k)) return why;
    for (int c = 0; c < ncsm; c++)
        if (env[c][k] != std::trunc(env[c][k])) return "has values that are not whole numbers";
    for (int c = 1; c < ncsm; c++)
        if (env[c][k] < env[c - 1][k]) return "decreases from one community to the next";
    return nullptr;
}

int UsableScaleVariables(ScaleCheck check) {
    int usable = 0;
    for (int k = 0; k < nenv; k++) usable += check(k) == nullptr;
    return usable;
}

bool TimeVariableAvailable(ScaleCheck check) {
    if (nenv < 1) {
        Refuse("\nNo environmental variable: there is no time (or spatial) scale.\n");
        return false;
    }
    if (UsableScaleVariables(check) > 0) return true;
    Refuse("\nNo environmental variable can be taken as time (or spatial) scale.\n");
    return false;
}

bool AskTimeVariable(const char* intro, const char* prompt, ScaleCheck check) {
    if (!TimeVariableAvailable(check)) return false;
    for (;;) {
        std::fprintf(Out(), "%s", intro);
        for (int k = 0; k < nenv; k++) std::fprintf(Out(), "%3s\t", envLabel[k]);
        std::fprintf(Out(), "%s", prompt);
        // A word longer than any label is read whole and matches none.
        char word[64];
        ReadStringIn("%s\n", word);
        int k = FindVariable(word);
        if (k < 0 && std::strcmp(word, "end") == 0 && timeVariableChosen && whichEnv >= 0 && whichEnv < nenv)
            k = whichEnv;
        if (k < 0) {
            std::fprintf(stderr, "\nError!! Enter again. \n");
            continue;
        }
        if (const char* why = check(k)) {
            RefuseVariable(k, why);
            continue;
        }
        whichEnv = k;
        timeVariableChosen = 1;
        return true;
    }
}

double ReadWholeNumber(double lo, double hi) {
    for (;;) {
        const double v = ReadNumberIn("%g\n", "-", lo, hi);
        if (v == std::trunc(v)) return v;
        char message[160];
        std::snprintf(message, sizeof message,
                      "\nIncorrect input = %g. Reenter.\nAccepted input: whole numbers from %g to %g\n", v, lo, hi);
        Refuse(message);
    }
}

ReportSection::ReportSection(const char* name) : writer_(std::string(volumeName) + name), run_(RunFiles()) {
    if (run_) {
        f_ = section_.OpenOrRaise();
        return;
    }
    f_ = writer_.OpenOrRaise();
    // The report's former text first; a report not yet written has none.
    int reason = 0;
    FILE* old = OpenRegular(writer_.Target().c_str(), "rb", &reason);
    if (!old) {
        if (reason == ENOENT) return;
        // A report that exists but cannot be read would be lost by the replacement.
        ReportCantOpen(writer_.Target().c_str(), reason);
        RaiseError(TNX_FAIL_TO_OPEN);
    }
    char buffer[8192];
    size_t got;
    errno = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, old)) > 0) std::fwrite(buffer, 1, got, f_);
    const int readFailure = std::ferror(old) != 0 ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(old);
    // A report whose former text cannot be read whole cannot be written whole either.
    if (readFailure != 0) {
        ExplainFileFailure("read", writer_.Target(), readFailure);
        RaiseError(TNX_FAIL_TO_PRINT);
    }
}

void ReportSection::Commit() {
    if (!run_) {
        writer_.CommitOrExplain();
        return;
    }
    section_.CloseOrRaise();
    run_->AppendOrRaise(writer_.Target(), section_.data(), section_.size());
}

void SectionHead(FILE* f, const char* title, bool blankFirst) {
    std::fprintf(f, blankFirst ? "\n%s\n" : "%s\n", lineL);
    std::fprintf(f, "%s", title);
    std::fprintf(f, "%s\n", lineL);
    TimeStamp(f);
}

void ResultsAppended(const char* name) {
    ClearLine();
    std::fprintf(Out(), "\n\nResults appended to file %s%s\n", volumeName, name);
    if (!runMacro) Wait();
}

void SeedGenerators() {
    if (seedOpt == 1) rseed = static_cast<std::uint32_t>(std::time(nullptr));
    std::srand(rseed);
    InitRndNumberGenerator(rseed);
}

void RewriteTrack() {
    if (partitionTrackWriter) partitionTrackWriter(1);
}

void Refuse(const char* message) {
    std::fputc(7, stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "%s", message);
}

bool StoredOrRefused(const char* name, const char* what) {
    if (StoredFileReadable(name)) return true;
    Refuse(FormatText("\nThis session holds no readable %s.\n", what).c_str());
    return false;
}

bool StoredResemblancesOrRefused(int type) {
    switch (type) {
        case 2: return StoredOrRefused(whichPRese, "partial resemblances");
        case 3: return StoredOrRefused(whichProbN, "probabilities of the community resemblances");
        default: return StoredOrRefused(whichNRese, "community resemblances");
    }
}

std::string FormatText(const char* fmt, ...) {
    char buffer[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}
