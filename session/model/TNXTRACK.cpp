// Track file reader and writer.
#include "session/model/TNXTRACK.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"

// ---------------------------------------------------------------------------------------
// Writer.
// ---------------------------------------------------------------------------------------

const char* NonEmpty(const char* s) { return (s && s[0] != '\0') ? s : "NULL"; }

namespace {

int Within(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void WriteIntRow(FILE* f, const int* v, int n) {
    for (int i = 0; v && i < n; i++) std::fprintf(f, "%d ", v[i]);
}

}  // namespace

bool StoredFileReadable(const char* name) {
    if (!name || name[0] == '\0' || std::strcmp(name, "NULL") == 0) return false;
    const std::string path = std::string(volumeName) + name;
    // Asked at every menu: a name that is not a regular file is no stored result, silently (the
    // reader that opens it names it), and a named pipe never holds the menu.
    int reason = 0;
    FILE* f = OpenRegular(path.c_str(), "r", &reason);
    if (!f) return false;
    std::fclose(f);
    return true;
}

bool StoredResult(int flag, const char* name) { return flag == 1 && StoredFileReadable(name); }

int OtuPartitionSize(int k) {
    if (!whichLevelGrCstP || !rcst || k < 0 || k >= kMaxPartitions) return 0;
    int level = whichLevelGrCstP[k];
    if (level < 1 || level > nch) return 0;
    return Within(rcst[level - 1], 0, tcst);
}

int WriteTrack(char full) {
    // While a run is under way the track file is one of its set, put in place with the files
    // the run wrote; otherwise it is a set of its own. Either way it is saved only beside the
    // data file it names, as this run read it.
    RunFilesScope run;
    RunFileWriter w(std::string(volumeName) + whichTrack);
    FILE* f = w.OpenOrRaise();
    trackFp = f;
    std::fprintf(f, "%s\n", NonEmpty(whichFormda));
    std::fprintf(f, "%s\n", versionTrack);
    if (full) {
        const char* names[] = {whichEnvRese, whichEnvScores,  whichEnvRank, whichHier,
                               whichCstRese, whichNRese,      whichPRese,   whichRo,
                               whichProbRo,  whichScores,     whichProbN,   whichReClus,
                               whichCstClus, whichAOCScor,    whichComplexity,
                               whichVelocity, whichRoVelComplex};
        for (const char* name : names) std::fprintf(f, "%s\n", NonEmpty(name));
        const int flags[] = {isHierarchical, traitBasedOpt, hasEnvRese,  hasEnvScores,
                             hasEnvRank,     hasHier,       hasCstRese,  hasNRese,
                             hasPRese,       hasRo,         hasProbRo,   hasScores,
                             hasProbN,       hasReClus,     hasCstClus,  hasAOCScor,
                             hasVegOrdiCorrel, hasEnvOrdiCorrel, hasComplexity, hasVelocity,
                             hasRoVelComplex, hasRoVelComplexPROB, optEnvStruct, rese_opt,
                             reseCstOpt,     part};
        for (int v : flags) std::fprintf(f, "%d\n", v);
        WriteIntRow(f, nchor, nch);
        std::fprintf(f, "\n");
        WriteIntRow(f, rcst, nch);
        std::fprintf(f, "\n");
        WriteIntRow(f, nGrPoly, nch);
        std::fprintf(f, "\n%d\n", fuzzy);
        std::fprintf(f, "%f\n", fuzziness);
        // The stored partitions: only what the loaded arrays can hold is written.
        const int np = (partLabel && nGroupsP && groupRelP && grLabelP)
                           ? Within(nPart, 0, kMaxPartitions) : 0;
        const int others[] = {reseTypeOrd, reseTypeClus, reseTypeEv, reseTypeRnd, reseTypeERank,
                              cohe,        groupDissMeth, empir_opt, keepRichness, np, whichPart};
        for (int v : others) std::fprintf(f, "%d\n", v);
        for (int k = 0; k < np; k++) std::fprintf(f, "%s ", NonEmpty(partLabel[k]));
        std::fprintf(f, "\n");
        for (int k = 0; k < np; k++) std::fprintf(f, "%d ", Within(nGroupsP[k], 0, ncsm));
        std::fprintf(f, "\n");
        for (int k = 0; k < np; k++) {
            const int g = Within(nGroupsP[k], 0, ncsm);
            for (int j = 0; j < g; j++) std::fprintf(f, "%s ", NonEmpty(grLabelP[k][j]));
            std::fprintf(f, "\n");
        }
        for (int k = 0; k < np; k++) {
            WriteIntRow(f, groupRelP[k], ncsm);
            std::fprintf(f, "\n");
        }
        std::fprintf(f, "%d %d ", whichPartAOC, whichPartCstAOC);
        std::fprintf(f, "\n%d\n", whichLevelGrCST);
        const int npc = (partCstLabel && nGroupsCstP && groupCstP && grCstLabelP && whichLevelGrCstP)
                            ? Within(nPartCst, 0, kMaxPartitions) : 0;
        std::fprintf(f, "%d\n", npc);
        std::fprintf(f, "%d\n", whichCstPart);
        for (int k = 0; k < npc; k++) std::fprintf(f, "%s ", NonEmpty(partCstLabel[k]));
        std::fprintf(f, "\n");
        for (int k = 0; k < npc; k++) std::fprintf(f, "%d ", Within(nGroupsCstP[k], 0, tcst));
        std::fprintf(f, "\n");
        for (int k = 0; k < npc; k++) {
            const int g = Within(nGroupsCstP[k], 0, tcst);
            for (int j = 0; j < g; j++) std::fprintf(f, "%s ", NonEmpty(grCstLabelP[k][j]));
            std::fprintf(f, "\n");
        }
        WriteIntRow(f, whichLevelGrCstP, npc);
        std::fprintf(f, "\n");
        for (int k = 0; k < npc; k++) {
            WriteIntRow(f, groupCstP[k], OtuPartitionSize(k));
            std::fprintf(f, "\n");
        }
        WriteIntRow(f, relSelect, ncsm);
        std::fprintf(f, "\n%d\n", doDistrib);
        const int last[] = {adjacentRelOpt, whichLevelCst, poolCSTopt, clusMethPoolCSTs, SMWSize};
        for (int v : last) std::fprintf(f, "%d\n", v);
    }
    trackFp = nullptr;
    run.CommitOrRaise();
    return 0;
}

// ---------------------------------------------------------------------------------------
// Reader.
// ---------------------------------------------------------------------------------------

namespace {

// Reads the items of the track file one word at a time. Any item that is missing, is not a
// number where a number stands, or does not fit the loaded data ends the reading with the
// reader's message and code 2. The file is closed by the caller's guard.
class TrackReader {
public:
    TrackReader(FILE* f, const char* fileName) : f_(f), name_(fileName) {}

    [[noreturn]] void Fail() const {
        std::fprintf(stderr, "\nfile %s ", name_);
        std::fputc('\a', stdout);
        std::fflush(stdout);
        RaiseError(TNX_END_OF_FILE);
    }

    // True when another item follows.
    bool More() {
        int c;
        while ((c = std::fgetc(f_)) != EOF && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {}
        if (c == EOF) return false;
        std::ungetc(c, f_);
        return true;
    }

    // One word into dst, which holds size bytes; a longer word does not fit.
    // A control byte that is no blank (NUL above all) is refused: it would cut the word short
    // or leave it empty.
    void Word(char* dst, int size) {
        int c = std::fgetc(f_);
        while (c != EOF && std::isspace(c)) c = std::fgetc(f_);
        int n = 0;
        for (; c != EOF && !std::isspace(c); c = std::fgetc(f_)) {
            if (c == 127 || c < 32 || n >= size - 1) Fail();
            dst[n++] = static_cast<char>(c);
        }
        if (n == 0) Fail();
        if (c != EOF) std::ungetc(c, f_);
        dst[n] = '\0';
    }

    int Int(long lo, long hi) {
        char buf[64];
        Word(buf, sizeof buf);
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(buf, &end, 10);
        if (errno != 0 || end == buf || *end != '\0' || v < lo || v > hi) Fail();
        return static_cast<int>(v);
    }
    int Int() { return Int(INT32_MIN, INT32_MAX); }

    // A number that single precision holds: an item beyond it (an infinity), or one that is not
    // 0 and yet reads as 0 (below half the smallest subnormal), is damaged, whether or not the
    // library reports the underflow; a subnormal is read as it is.
    float Float() {
        char buf[64];
        Word(buf, sizeof buf);
        char* end = nullptr;
        const float v = std::strtof(buf, &end);
        if (end == buf || *end != '\0' || !std::isfinite(v)) Fail();
        if (v == 0.0f && NonZeroMantissa(buf)) Fail();
        return v;
    }

private:
    // Whether the digits before the exponent of a number word (decimal, or hexadecimal after 0x)
    // hold one other than 0.
    static bool NonZeroMantissa(const char* word) {
        const char* c = word + (*word == '+' || *word == '-');
        const bool hex = c[0] == '0' && (c[1] == 'x' || c[1] == 'X');
        for (c += hex ? 2 : 0; *c != '\0'; c++) {
            if (hex ? (*c == 'p' || *c == 'P') : (*c == 'e' || *c == 'E')) break;
            const unsigned char d = static_cast<unsigned char>(*c);
            if (d != '0' && (hex ? std::isxdigit(d) : std::isdigit(d))) return true;
        }
        return false;
    }

    FILE* f_;
    const char* name_;
};

// Closes the track file on every way out of the reader, errors included.
struct TrackCloser {
    ~TrackCloser() {
        if (trackFp) std::fclose(trackFp);
        trackFp = nullptr;
    }
};

}  // namespace

int ReadTrack() {
    trackFp = fopenck(whichTrack, volumeName, "r");
    if (!trackFp) RaiseError(TNX_FAIL_TO_OPEN);
    TrackCloser closer;
    TrackReader r(trackFp, whichTrack);

    r.Word(whichFormda, kFileNameSize);
    char word[kFileNameSize];
    r.Word(word, kFileNameSize);
    if (std::strcmp(word, versionTrack) != 0) {
        std::fprintf(out, "\n\aFormda file is compatible, but other files of the session \n%-98s",
                     "are not compatible with this program version.");
        return 1;
    }
    if (!r.More()) return 1;  // a short track file: nothing more to restore

    // The loader allocates every array the state is restored into.
    if (!nchor || !rcst || !nGrPoly || !partLabel || !nGroupsP || !groupRelP || !grLabelP ||
        !partCstLabel || !nGroupsCstP || !groupCstP || !grCstLabelP || !whichLevelGrCstP ||
        !relSelect)
        r.Fail();

    char* names[] = {whichEnvRese, whichEnvScores, whichEnvRank, whichHier,   whichCstRese,
                     whichNRese,   whichPRese,     whichRo,      whichProbRo, whichScores,
                     whichProbN,   whichReClus,    whichCstClus, whichAOCScor,
                     whichComplexity, whichVelocity, whichRoVelComplex};
    for (char* name : names) r.Word(name, kFileNameSize);
    int* flags[] = {&isHierarchical, &traitBasedOpt, &hasEnvRese,  &hasEnvScores,
                    &hasEnvRank,     &hasHier,       &hasCstRese,  &hasNRese,
                    &hasPRese,       &hasRo,         &hasProbRo,   &hasScores,
                    &hasProbN,       &hasReClus,     &hasCstClus,  &hasAOCScor,
                    &hasVegOrdiCorrel, &hasEnvOrdiCorrel, &hasComplexity, &hasVelocity,
                    &hasRoVelComplex, &hasRoVelComplexPROB, &optEnvStruct, &rese_opt,
                    &reseCstOpt,     &part};
    for (int* v : flags) *v = r.Int();
    for (int i = 0; i < nch; i++) nchor[i] = r.Int(0, nch);
    for (int i = 0; i < nch; i++) rcst[i] = r.Int(0, INT32_MAX);
    for (int i = 0; i < nch; i++) nGrPoly[i] = r.Int(0, INT32_MAX);
    fuzzy = r.Int();
    fuzziness = r.Float();
    int* options[] = {&reseTypeOrd, &reseTypeClus, &reseTypeEv, &reseTypeRnd, &reseTypeERank,
                      &cohe,        &groupDissMeth, &empir_opt, &keepRichness};
    for (int* v : options) *v = r.Int();

    // Stored community partitions.
    nPart = r.Int(0, kMaxPartitions);
    whichPart = r.Int(0, nPart > 0 ? nPart - 1 : 0);
    for (int k = 0; k < nPart; k++) r.Word(partLabel[k], kPartLabelSize);
    for (int k = 0; k < nPart; k++) nGroupsP[k] = r.Int(0, ncsm);
    for (int k = 0; k < nPart; k++)
        for (int j = 0; j < nGroupsP[k]; j++) r.Word(grLabelP[k][j], kGroupLabelSize);
    for (int k = 0; k < nPart; k++)
        for (int i = 0; i < ncsm; i++) groupRelP[k][i] = r.Int(0, nGroupsP[k]);
    whichPartAOC = r.Int(0, kMaxPartitions - 1);
    whichPartCstAOC = r.Int(0, kMaxPartitions - 1);
    nGroups = nGroupsP[whichPart];
    grLabel = grLabelP[whichPart];
    groupRel = groupRelP[whichPart];
    whichLevelGrCST = r.Int(1, nch);

    // Stored OTU partitions.
    nPartCst = r.Int(0, kMaxPartitions);
    whichCstPart = r.Int(0, nPartCst > 0 ? nPartCst - 1 : 0);
    for (int k = 0; k < nPartCst; k++) r.Word(partCstLabel[k], kPartLabelSize);
    for (int k = 0; k < nPartCst; k++) nGroupsCstP[k] = r.Int(0, tcst);
    for (int k = 0; k < nPartCst; k++)
        for (int j = 0; j < nGroupsCstP[k]; j++) r.Word(grCstLabelP[k][j], kGroupLabelSize);
    for (int k = 0; k < nPartCst; k++) whichLevelGrCstP[k] = r.Int(1, nch);
    for (int k = 0; k < nPartCst; k++) {
        const int members = OtuPartitionSize(k);
        for (int i = 0; i < members; i++) groupCstP[k][i] = r.Int(0, nGroupsCstP[k]);
    }
    nCstGroups = nGroupsCstP[whichCstPart];
    grCstLabel = grCstLabelP[whichCstPart];
    groupCst = groupCstP[whichCstPart];

    for (int i = 0; i < ncsm; i++) relSelect[i] = r.Int(0, 1);
    doDistrib = r.Int();
    adjacentRelOpt = r.Int();
    whichLevelCst = r.Int(0, nch);
    poolCSTopt = r.Int();
    clusMethPoolCSTs = r.Int();
    SMWSize = r.Int(1, ncsm > 1 ? ncsm : 1);
    return 1;
}
