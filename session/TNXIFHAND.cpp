// Handlers of the community-structures menu (letters H and K).
#include "session/TNXIFHAND.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "foundation/ConsoleReaders.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/dialogs/TNXIFSET.h"
#include "session/model/TNXTRACK.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXRESE.h"

namespace {

FILE* Out() { return out ? out : stdout; }

// Releases what the settings dialog allocated for one run (also when an error code travels
// through the handler): the nesting groups and the taxa of the OTUs, and a phylogeny that was
// built for the run because the data set holds none of its own.
struct RunArraysGuard {
    RunArraysGuard() = default;
    RunArraysGuard(const RunArraysGuard&) = delete;
    RunArraysGuard& operator=(const RunArraysGuard&) = delete;
    ~RunArraysGuard() {
        if (includePhylogeny && !hasPhylogeny) {
            free2D(phylogenyData, tcst);
            phylogenyData = nullptr;
            free1D(phylogenyVarType);
            phylogenyVarType = nullptr;
            free2D(phylogenyRese, tcst);
            phylogenyRese = nullptr;
        }
        ReleaseSettingsArrays();
    }
};

void ResultsOnFile(const char* fileName) {
    ClearLine();
    fprintf(Out(), "\n\nResults on file %s%s\n", volumeName, fileName);
    if (!runMacro) Wait();
}

struct ChRankEntry {
    int criterion;
    const char* suffix;
};

const ChRankEntry kChRankFiles[] = {
    {1, "ChRank_TDAP_TCAP.txt"},
    {9, "ChRank_TDAP.txt"},
    {10, "ChRank_TCAP.txt"},
    {11, "ChRank_PSAP_X.txt"},
    {12, "ChRank_PSAP_X_T.txt"},
    {13, "ChRank_PSAP_T.txt"},
    {14, "ChRank_BetaNicheConserv.txt"},
    {15, "ChRank_AlphaBetaNicheConserv.txt"},
    {16, "ChRank_AlphaDivergence.txt"},
    {17, "ChRank_BetaDivergence.txt"},
    {18, "ChRank_roXZ.txt"},
    {19, "ChRank_roTZ.txt"},
    {20, "ChRank_roXZ_T.txt"},
    {21, "ChRank_roXY.txt"},
    {22, "ChRank_roTY.txt"},
    {23, "ChRank_roXY_T.txt"},
    {24, "ChRank_DarkDiversity.txt"},
};

// Runs the search of a criterion of the table.
ChRankStatus RunChRank(int criterion) {
    switch (criterion) {
        case 1: return ChRankTDAP_TCAP();
        case 9: return ChRankTDAP();
        case 10: return ChRankTCAP();
        case 11:
        case 12:
        case 13: return ChRankPhylogenyAssembly();
        case 14:
        case 15: return ChRank_Phylogeny_x_Trait_Assembly();
        case 16: return ChRankAlphaBetaDivergence(1);
        case 17: return ChRankAlphaBetaDivergence(2);
        case 24: return ChRankAlphaBetaDivergence(3);
        default:
            // Criteria 18 to 23 give the modes 4 to 9.
            if (criterion >= 18 && criterion <= 23) return ChRankAlphaBetaDivergence(criterion - 14);
            return kChRankRefused;
    }
}

}  // namespace

const char* ChRankFileSuffix(int criterion) {
    for (const ChRankEntry& e : kChRankFiles)
        if (e.criterion == criterion) return e.suffix;
    return nullptr;
}

void WriteIntermediateW() {
    // In a run the file is one of the run's set, put in place with the report and the track file.
    ReplacingSet* run = RunFiles();
    const std::string target = std::string(volumeName) + whichHier;
    FILE* f = run ? run->OpenOrRaise(target) : fopenck(whichHier, volumeName, "w");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    bool ok = fprintf(f, "%d\t%d\n", tcst, ncsm) >= 0;
    for (int i = 0; ok && i < tcst; i++) {
        for (int j = 0; ok && j < ncsm; j++) ok = fprintf(f, "%g\t", cadat[i][j]) >= 0;
        if (ok) ok = fputc('\n', f) != EOF;
    }
    if (run) {
        if (ok) return;  // a write that fails later is the set's to name
        ExplainFileFailure("write", target, errno);
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    // Written in place outside a run: a failed write names the file and the system's reason.
    CloseOrExplain(f, target);
}

void IFHierarchicalAccum() {
    SessionFileName(whichPrinda, prindaExt);
    SessionFileName(whichHier, hierExt);

    hasHier = 1;
    hasCstRese = hasCstClus = hasNRese = hasPRese = hasScores = hasReClus = hasAOCScor = 0;
    hasProbN = hasProbRo = hasRo = hasComplexity = hasVelocity = hasRoVelComplex = 0;
    hasRoVelComplexPROB = 0;
    nCstGroups = 0;
    whichLevelGrCST = 1;

    // The functional analysis uses a phylogeny exactly when the data set holds one.
    includePhylogeny = hasPhylogeny;

    // The run's files (the report, the random data, the intermediate table and the track file)
    // are put in place together once all are written: a run that fails leaves the earlier ones.
    RunFilesScope run;
    // False when the analysis refused the data (it has said why): no report was written.
    bool analysed = true;
    {
        RunArraysGuard release;
        SettingsHierarchy();

        cohe = 0;
        reseTypeOrd = reseTypeClus = reseTypeEv = reseTypeRnd = reseTypeERank = 1;
        reseCstOpt = 0;

        switch (traitBasedOpt) {
            case 1:
                if (poolCSTopt == 2) {
                    analysed = PFTs_ScalingUp();
                    if (analysed)
                        for (int j = 0; j < nch; j++) rcst[j] = nGrPoly[j];
                }
                break;
            case 2:
                analysed = FrequencyTraitsScalingUp();
                if (analysed && nch > 0) rcst[0] = nch;
                break;
            case 3:
                WriteIntermediateW();
                if (nch > 0) rcst[0] = tcst;
                break;
            default:
                break;
        }
    }

    dirtyOrig = 1;
    WriteTrack(1);
    run.CommitOrRaise();
    if (analysed)
        ResultsOnFile(whichPrinda);
    else if (!runMacro)
        Wait();
}

void IFChOrderSearch() {
    // The search's ranking and structure files are put in place together, once both are whole.
    RunFilesScope run;
    // A search that refuses the data has said why and writes nothing: back to the menu.
    ChRankStatus status = kChRankRefused;
    {
        RunArraysGuard release;
        SettingsChRank();

        if (optmain1 == 'V') {
            if (traitBasedOpt == 2) {
                SessionFileName(whichChorder, "ChRank_TCAP.txt");
                if (opt_struct == 10) status = ChRankTCAP();
            } else if (traitBasedOpt == 1 && rankingAlgorithm != 1) {
                const char* suffix = ChRankFileSuffix(opt_struct);
                // Criterion 1 pools the OTUs into types by their partition (the dialog always
                // makes it so).
                if (opt_struct == 1 && poolCSTopt != 2) suffix = nullptr;
                if (suffix) {
                    SessionFileName(whichChorder, suffix);
                    status = RunChRank(opt_struct);
                }
            }
        } else if (optmain1 == 'P') {
            SessionFileName(whichChorder, "chRankRedncyPopLevel.txt");
            status = ChOrderSearch() ? kChRankDone : kChRankRefused;
        }
    }
    if (status == kChRankFileFailed) RaiseError(TNX_FAIL_TO_OPEN);
    if (status != kChRankDone) {
        if (!runMacro) Wait();
        return;
    }

    run.CommitOrRaise();
    dirtyOrig = 1;
    ResultsOnFile(whichChorder);
}
