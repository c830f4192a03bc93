// Trait-subset searches on functional diversity and smoothed composition: alpha divergence
// r(RE), beta divergence r(XE.TR), dark diversity r(SE), and the congruences of X and T with
// the Beals-smoothed compositions Z (r(XZ), r(TZ), r(XZ.T)) and Y (r(XY), r(TY), r(XY.T)).
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/qwlib.h"
#include "matrix/qwlibGroupStats.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXCHORDCommon.h"
#include "traits/TNXCHORDReport.h"
#include "traits/TNXCHORDThreads.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXPERMTEST.h"

using namespace chrank;

namespace {

FILE* Out() { return out ? out : stdout; }

// Modes: 1 RE, 2 XE.TR, 3 SE, 4 XZ, 5 TZ, 6 XZ.T, 7 XY, 8 TY, 9 XY.T.
const char* const kStatistic[9] = {"RE", "XE.TR", "SE", "XZ", "TZ", "XZ.T", "XY", "TY", "XY.T"};
const int kCriterion[9] = {16, 17, 24, 18, 19, 20, 21, 22, 23};

bool Partial(int mode) { return mode == 2 || mode == 6 || mode == 9; }
// Whether the Mantel test of the mode reads DX (all but r(RE) and r(SE) do).
bool MantelReadsDX(int mode) { return opt_ro == 1 && mode != 1 && mode != 3; }
bool UsesZ(int mode) { return mode >= 4 && mode <= 6; }
bool UsesY(int mode) { return mode >= 7 && mode <= 9; }

// The top-list heading of a statistic under a measure.
void WriteTopHeading(FILE* f, int mode) {
    const char* st = kStatistic[mode - 1];
    if (opt_ro == 1) {
        fprintf(f, Partial(mode) ? "\n\nTrait subsets with maximum partial Mantel correlation ro(%s):\n"
                                 : "\n\nTrait subsets with maximum Mantel correlation ro(%s):\n",
                st);
    } else if (opt_ro == 2) {
        if (mode == 2)
            fprintf(f, "\n\nTrait subsets with maximum partial congruence in a partial Procrustes correlation ro(%s):\n", st);
        else if (Partial(mode))
            fprintf(f, "\n\nTrait subsets with maximum congruence in a partial Procrustes correlation ro(%s):\n", st);
        else
            fprintf(f, "\n\nTrait subsets with maximum congruence in a symmetric Procrustes rotation ro(%s):\n", st);
    } else {
        fprintf(f, Partial(mode) ? "\n\nTrait subsets with maximum partial congruence measured by a partial RV "
                                   "coefficient r(%s):\n"
                                 : "\n\nTrait subsets with maximum congruence measured by the RV coefficient r(%s):\n",
                st);
    }
    fprintf(f, "TRC\toptimal subset of traits\n");
}

// The types must be the OTUs themselves for dark diversity: as many types as OTUs, each alone.
bool TypesAreTheOtus(int g) { return g == tcst; }

// One worker's buffers: the subset's flags, normalised means and their resemblance (for the
// Mantel test and the structure file), its types and composition (DX where the Mantel test reads
// it), the Rao entropies R and dark diversities of the communities with, under Mantel, their
// resemblances; under Procrustes and RV the comparison work space and, for the partial modes, the
// partial-congruence work space with the covariates (T over the flagged traits, and R); the blocks
// of the structure file.
struct DivergenceWork {
    std::vector<int> flags, list;
    Composition comp;
    WorkMatrix<double> Tsub, DT, T, residuals, R, Sd, DR, DS;
    ComparisonWorkspace<double> ws;
    std::vector<MatrixCovariate> traitsOnly, withRao;
    std::unique_ptr<PartialCorrelationWork> partial;
    DivergenceWork(int n, int s, int p, int g, int wsCols, bool structure, int mode)
        : flags(p), comp(n, s, g, MantelReadsDX(mode)), Tsub(n, p), DT(opt_ro == 1 || structure ? n : 0, n),
          T(structure ? n : 0, p), residuals(structure && MantelReadsDX(mode) ? n : 0, n), R(n, 1), Sd(n, 1),
          DR(opt_ro == 1 ? n : 0, n), DS(opt_ro == 1 ? n : 0, n), ws(n, wsCols, wsCols, ComparedBy(opt_ro)),
          traitsOnly{MatrixCovariate{p, flags.data(), Tsub}},
          withRao{MatrixCovariate{p, flags.data(), Tsub}, MatrixCovariate{1, nullptr, R}},
          partial(opt_ro != 1 && Partial(mode)
                      ? std::make_unique<PartialCorrelationWork>(n, std::max(g, std::max(nenv, s)), p + 1)
                      : nullptr) {
        list.reserve(p);
    }
};

}  // namespace

ChRankStatus ChRankAlphaBetaDivergence(int mode) {
    const std::time_t time0 = std::time(nullptr);
    if (mode < 1 || mode > 9) return kChRankRefused;
    Needs needs;
    needs.environment = mode <= 3;
    needs.completeEnvironment = opt_ro != 1 && mode <= 3;
    needs.types = true;
    std::vector<int> eligible;
    int g = 0;
    if (!CheckData(needs, &eligible, &g)) return kChRankRefused;
    if (mode == 3 && !TypesAreTheOtus(g)) {
        fputs("\nDark diversity compares each community's OTUs with their types: the types must be the OTUs "
              "themselves (each OTU its own type).\n",
              Out());
        return kChRankRefused;
    }

    RunData d(g, nenv > 0);
    const int n = d.n, s = d.s, p = d.p;
    Enumeration en(eligible, nMinTraitsChRank, nMaxTraitsChRank);

    // The smoothed composition and its resemblance, once per run.
    const bool smoothed = UsesZ(mode) || UsesY(mode);
    WorkMatrix<double> smooth(smoothed ? n : 0, s), Dsmooth(smoothed ? n : 0, n);
    bool flatSmooth = false;  // the smoothed composition has no variation
    if (smoothed) {
        if (UsesZ(mode))
            BealsSmoothing(n, s, d.W, d.W, smooth, BealsIncludeOpt != 0, 2, true);
        else
            BealsSmoothing(n, s, d.W, d.W, smooth, BealsIncludeOpt != 0, 1, false);
        NominalReseNonHier(n, s, smooth, Dsmooth, rese_opt);
        flatSmooth = !ConfigurationHasVariation(n, s, static_cast<double**>(smooth));
    }

    WholeFile structure(whichStructures);
    FILE* fs = nullptr;
    if (saveStruct == 'y' && !(fs = structure.Open())) return kChRankFileFailed;
    if (fs) WriteEnvironmentAndTraits(fs, d, "communities", "OTUs", true, false);

    d.BuildCube();
    WorkMatrix<double> Tn(n, p);
    NormalisedTraitMeans(n, s, p, d.W1, eligible, Tn);
    const TraitVariation traitVariation(n, p, static_cast<double**>(Tn));
    // Dark diversity: each community's performances in the column order of X (the types in
    // ascending order of their labels).
    WorkMatrix<double> Wtyped(mode == 3 ? n : 0, s);
    if (Wtyped) {
        double** C = dim2Double(s, g);
        CrispBelonging(s, g, partition_OTUs, C);
        for (int i = 0; i < s; i++) {
            int col = -1;
            for (int j = 0; j < g && col < 0; j++)
                if (C[i][j] == 1.0) col = j;
            for (int c = 0; c < n; c++) Wtyped[c][col] = d.W[c][i];
        }
        free2D(C, s);
    }
    const int wsCols = std::max(std::max(p, s), std::max(g, nenv > 0 ? nenv : 1));

    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) return kChRankFileFailed;
    WriteTypedOpening(f);
    fprintf(f, "Trait ranking criterion (TRC): %s\t%s\n", opt_structInfo[kCriterion[mode - 1] - 1],
            opt_roInfo[opt_ro - 1]);
    fprintf(f, "Correlation measure: %s\n", opt_roInfo[opt_ro - 1]);
    WritePartitionLines(f);
    WriteOtuResemblanceLines(f, "Gower similarity");
    fprintf(f, "Rao entropy based on traits computed on square root transformed dissimilarities? %s\n",
            YesNotInfo[sqrtDissimOpt_RaoTraits ? 1 : 0]);
    fprintf(f, "Ranking algorithm: %s\n", RankingAlgorithmLabel());
    fprintf(f, "Fuzzy transformation: %s\n", fuzzyInfo[fuzzy >= 0 && fuzzy <= 3 ? fuzzy : 0]);
    if (opt_ro == 1)
        fprintf(f, "Resemblance option between communities: %s\n", rese_optInfo[rese_opt - 1]);
    else
        WriteOverfitLine(f);
    if (printRankIntermedResults == 'y') fprintf(f, "\n%-*s\tGroups\tTrait subset used:\n", sDigits + 6, "TRC");

    const bool absolute = Partial(mode);
    const SizeStyle style = {"Ranking criterion value, groups and optimal subset with %d traits: \t", true, absolute};
    Search search(en.KMax(), absolute ? Rank::kAbsolute : Rank::kSigned, absolute ? 0.0 : -DBL_MAX,
                  absolute ? Rank::kAbsolute : Rank::kSigned, true);
    Progress progress(en.Total());
    const bool mantel = opt_ro == 1;
    // The value of each mode: how many matrices it removes, whether it follows E.
    const RunDefinitions defined(n, d.DE);
    const int partialled = mode == 2 ? 2 : Partial(mode) ? 1 : 0;
    EvaluateSubsets<DivergenceWork>(
        en, search, g, progress, printRankIntermedResults == 'y' ? f : nullptr, fs,
        [&] { return std::make_unique<DivergenceWork>(n, s, p, g, wsCols, fs != nullptr, mode); },
        [&](DivergenceWork& w, const int* traits, int k, int, FILE* text, FILE* st) {
            Composition& comp = w.comp;
            double **Tsub = w.Tsub, **DT = w.DT, **R = w.R, **Sd = w.Sd, **DR = w.DR, **DS = w.DS;
            ComparisonWorkspace<double>& ws = w.ws;
            int* flags = w.flags.data();
            FlagSubset(p, traits, k, flags);
            w.list.assign(traits, traits + k);
            for (int c = 0; c < n; c++)
                for (int t = 0; t < p; t++) Tsub[c][t] = flags[t] == 1 ? Tn[c][t] : 0.0;
            if (DT) NominalReseNonHier(n, p, Tsub, DT, 6);
            const bool flatT = !traitVariation.Varies(traits, k);
            float roTE = 0.0f, roTsmooth = 0.0f;
            // Whether the value, r(TE) and r(T, smoothed composition) compare a table without
            // variation or, under Mantel, a flat resemblance (the value is then -999). A partial is
            // when its first or second resemblance is: the simple value of the same two.
            bool flat = false, flatTE = false, flatTsmooth = false;
            if (mantel) {
                if (d.DE) roTE = static_cast<float>(Mantel(n, d.DE, DT, &flatTE, flatT));
                if (smooth) roTsmooth = static_cast<float>(Mantel(n, Dsmooth, DT, &flatTsmooth, flatSmooth || flatT));
            } else {
                if (d.Ed && mode <= 3)
                    roTE = static_cast<float>(Congruence(n, p, nenv, Tsub, d.Ed, opt_ro, ws, nullptr));
                if (smooth)
                    roTsmooth = static_cast<float>(Congruence(n, p, s, Tsub, static_cast<double**>(smooth), opt_ro, ws,
                                                              &flatTsmooth));
            }
            comp.Build(d, flags, MantelReadsDX(mode));
            // Rao entropy of each community over all the OTUs, dissimilarities 1 - S.
            for (int c = 0; c < n; c++) R[c][0] = RaoIndex(s, d.W[c], comp.S, false, sqrtDissimOpt_RaoTraits != 0);
            if (Wtyped)
                for (int c = 0; c < n; c++) Sd[c][0] = SumAbsDeviations(g, Wtyped[c], comp.X[c], false);
            double value = 0.0;
            float roXE = 0.0f, roXT = 0.0f;
            // explained: a partial whose control correlates +-1 with a matrix it compares.
            bool flatX = false, flatR = false, flatXT = false, explained = false;
            if (mantel) {
                flatX = MantelReadsDX(mode) && !ConfigurationHasVariation(n, g, comp.X);
                flatR = (mode == 1 || mode == 2) && !ConfigurationHasVariation(n, 1, R);
                for (int i = 0; i < n; i++) {
                    DR[i][i] = 0.0;
                    DS[i][i] = 0.0;
                    for (int j = i + 1; j < n; j++) {
                        DR[i][j] = std::fabs(R[i][0] - R[j][0]);
                        DS[i][j] = std::fabs(Sd[i][0] - Sd[j][0]);
                    }
                }
            }
            switch (mode) {
                case 1:
                    value = mantel ? Mantel(n, d.DE, DR, &flat, flatR)
                                   : Congruence(n, nenv, 1, d.Ed, R, opt_ro, ws, &flat);
                    break;
                case 3:
                    value = mantel ? Mantel(n, d.DE, DS, &flat, !ConfigurationHasVariation(n, 1, Sd))
                                   : Congruence(n, nenv, 1, d.Ed, Sd, opt_ro, ws, &flat);
                    break;
                case 2: {
                    if (!mantel) {
                        value = PartialMatrixCorrelation(n, g, nenv, comp.X, d.Ed, opt_ro, overfitFactorPCARegr,
                                                         w.withRao, *w.partial, &flat);
                        break;
                    }
                    // r(XE.TR) compares DX and DE: flat as r(XE) is. A flat control (DT, DR) leaves
                    // its correlations 0.
                    roXE = static_cast<float>(Mantel(n, d.DE, comp.DX, &flat, flatX));
                    roXT = static_cast<float>(Mantel(n, DT, comp.DX, &flatXT, flatT || flatX));
                    const float rER = static_cast<float>(Mantel(n, d.DE, DR, nullptr, flatR));
                    const float rXR = static_cast<float>(Mantel(n, comp.DX, DR, nullptr, flatX || flatR));
                    const float rTR = static_cast<float>(Mantel(n, DT, DR, nullptr, flatT || flatR));
                    const float xeR = PartialCorrelation(roXE, rXR, rER);
                    const float teR = PartialCorrelation(roTE, rTR, rER);
                    const float xtR = PartialCorrelation(roXT, rXR, rTR);
                    value = PartialCorrelation(xeR, xtR, teR);
                    // A control (T, or R given T) correlated +-1 with DX or DE leaves nothing to
                    // compare: not a value (two controls correlated +-1 with each other leave the
                    // partial on the one).
                    explained = ControlExplains({roXT, roTE, rXR, rER, xtR, teR});
                    break;
                }
                case 4:
                case 7:
                    value = mantel ? Mantel(n, Dsmooth, comp.DX, &flat, flatSmooth || flatX)
                                   : Congruence(n, g, s, comp.X, static_cast<double**>(smooth), opt_ro, ws, &flat);
                    break;
                case 5:
                case 8:
                    value = roTsmooth;
                    flat = flatTsmooth;
                    break;
                default: {  // 6, 9
                    if (!mantel) {
                        value = PartialMatrixCorrelation(n, g, s, comp.X, smooth, opt_ro, overfitFactorPCARegr,
                                                         w.traitsOnly, *w.partial, &flat);
                        break;
                    }
                    // r(XZ.T) and r(XY.T) compare DX and the smoothed composition's resemblance.
                    const float xs = static_cast<float>(Mantel(n, Dsmooth, comp.DX, &flat, flatSmooth || flatX));
                    roXT = static_cast<float>(Mantel(n, DT, comp.DX, &flatXT, flatT || flatX));
                    value = PartialCorrelation(xs, roXT, roTsmooth);
                    explained = ControlExplains({roXT, roTsmooth});
                    break;
                }
            }
            value = defined.Or(value, opt_ro, partialled, mode <= 3, flat || explained);
            // The Mantel values printed beside it: ro(TE) and ro(XE) (computed for mode 2 only)
            // follow E, ro(XT) does not.
            roTE = defined.Or(roTE, 1, 0, true, flatTE);
            if (mode == 2) roXE = defined.Or(roXE, 1, 0, true, flat);
            if (mantel) roXT = defined.Or(roXT, 1, 0, false, flatXT);
            if (text) {
                fprintf(text, "r(%s)=\t%g\tTraits:\t", kStatistic[mode - 1], value);
                PrintLabels(text, w.list);
                fprintf(text, "\n");
            }
            if (st) {
                const std::vector<int>& list = w.list;
                double** residuals = w.residuals;
                WriteMeansBlocks(st, d, flags, list, w.T, Tsub, DT);
                WriteTypeBlocks(st, d, list, comp);
                if (mantel) {
                    fprintf(st, "\nResemblance matrix DR comparing communities based on their Rao entropy expressed "
                                "as equivalent numbers of OTUs (Brell 2007): \n");
                    WriteLowerHalf(st, n, DR);
                    fprintf(st, "\n");
                    if (mode != 1 && mode != 3) {
                        fprintf(st, "Resemblance matrix between communities based on composition of types (matrix "
                                    "X):\n");
                        WriteLowerHalf(st, n, comp.DX);
                    }
                    fprintf(st, "\nTrait ranking criterion:\tro(TE)=\t%g\tro(XE)=\t%g\tro(XT)=\t%g\tro(XE.T)=\t%g\t%d "
                                "groups\tTraits:\t",
                            roTE, roXE, roXT, value, g);
                } else {
                    fprintf(st, "\nTrait ranking criterion:\tr(XE.T)=\t%g\t%d groups\tTraits:\t", value, g);
                }
                PrintLabels(st, list);
                WriteGroupSizes(st, s, g, comp.C);
                fprintf(st, "\n");
                if (mantel && mode != 1 && mode != 3)
                    WriteResiduals(st, n, DT, comp.DX, residuals,
                                   "\nResemblance matrix between communities (residuals after removing the effect of "
                                   "DT):\n");
            }
            return value;
        },
        [&](int k) { WriteSizeLine(f, style, k, search.sizes[k]); });

    WriteTopHeading(f, mode);
    WriteTopList(f, search.top, false, true);
    fprintf(f, "\n\nTrait subsets with maximum rank for each number of traits:\n%-*s\tSubset of traits\n", sDigits + 6,
            "TRC");
    WriteSizeList(f, style, search.sizes, en.KMin(), en.KMax());
    WriteElapsed(f, time0);
    return Finish(result, fs ? &structure : nullptr);
}
