// Trait-subset searches through the phylogeny: the phylogenetically structured assembly
// criteria r(PX), r(PX.T), r(PT) (11 to 13) and the niche-conservation criteria
// ro(PT) x ro(TE) and ro(PX) x ro(XE) (14, 15).
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/ScopedValue.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/core/qwlibUtil.h"
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
#include "traits/TNXRESEREP.h"

using namespace chrank;

namespace {

FILE* Out() { return out ? out : stdout; }

// Q, P = W x Q and DP of one run, fixed for the whole search, and whether P has no variation
// (DP is then flat for the Mantel values).
struct Phylogeny {
    int n, s, q;
    double** Q;
    double** P;
    double** DP;
    bool flat;
    Phylogeny(RunData& d, int reseOption) : n(d.n), s(d.s), q(nTaxa) {
        Q = dim2Double(s, q);
        P = dim2Double(n, q);
        DP = dim2Double(n, n);
        if (fuzzyPhyl == 1)
            FuzzyBelonging(s, q, phylogenyRese, partition_OTUs_Phyl, Q, phylogenyMatrixType == 3);
        else
            CrispBelonging(s, q, partition_OTUs_Phyl, Q);
        MatrixProd(n, s, s, q, d.W, Q, P);
        NominalReseNonHier(n, q, P, DP, reseOption);
        flat = !ConfigurationHasVariation(n, q, P);
    }
    ~Phylogeny() {
        free2D(Q, s);
        free2D(P, n);
        free2D(DP, n);
    }
    Phylogeny(const Phylogeny&) = delete;
    Phylogeny& operator=(const Phylogeny&) = delete;
};

void WritePhylogenyBlock(FILE* fs, const Phylogeny& ph) {
    const int s = ph.s, n = ph.n, q = ph.q;
    switch (phylogenyMatrixType) {
        case 1: fprintf(fs, "\nSimilarity matrix between %d OTUs:\n", s); break;
        case 3: fprintf(fs, "\nDissimilarity matrix between %d OTUs:\n", s); break;
        case 2:
            fprintf(fs, "\nVariable types in the phylogeny matrix with %d OTUs by %d phylogenetic variables: \n", s,
                    nClados);
            if (phylogenyVarType) PrintVectorTab(fs, nClados, phylogenyVarType, nullptr);
            fprintf(fs, "\nPhylogeny matrix with %d OTUs by %d phylogenetic variables: \n", s, nClados);
            if (phylogenyData) PrintMatrix(fs, s, nClados, phylogenyData, sDigits, 0);
            fprintf(fs, "\n");
            fprintf(fs, "\nSimilarity matrix (Gower index) between %d OTUs, based on %d phylogenetic variables:\n", s,
                    nClados);
            break;
        default: break;
    }
    WriteLowerHalf(fs, s, phylogenyRese);
    fprintf(fs, "\nPartition vector of %d OTUs in %d taxa:\n", s, q);
    PrintVectorTab(fs, s, partition_OTUs_Phyl, nullptr);
    fprintf(fs, "\nFuzzy belonging of %d OTUs (rows) in %d taxa (columns) according to their phylogeny:\n", s, q);
    PrintMatrix(fs, s, q, ph.Q, sDigits, 0);
    fprintf(fs, "\n");
    fprintf(fs, "\nPooled performance matrix P (%d communities x %d taxa) after fuzzy-weighting by the specified "
                "phylogeny:\n",
            n, q);
    PrintMatrix(fs, n, q, ph.P, sDigits, 0);
    fprintf(fs, "\n");
    fprintf(fs, "\nResemblance matrix (DP) between communities based on matrix P, the composition of OTUs weighted by "
                "their phylogeny:\n");
    WriteLowerHalf(fs, n, ph.DP);
}

// The trait-average matrices of a subset, as the two searches use them: the normalised means
// of the flagged traits (taken from Tn, the means of every eligible trait made once per run;
// the other columns 0), whether they have variation (`flat`: none, from the run's `variation`)
// and, when made (`resemblance`), DT by Euclidean distance.
struct TraitMeans {
    int n, p;
    double** Tn;
    const TraitVariation& variation;
    WorkMatrix<double> Tsub, DT;
    bool flat = false;
    TraitMeans(int nIn, int pIn, double** TnIn, const TraitVariation& variationIn, bool resemblance)
        : n(nIn), p(pIn), Tn(TnIn), variation(variationIn), Tsub(nIn, pIn), DT(resemblance ? nIn : 0, nIn) {}
    void Build(const int* flags, const int* traits, int k) {
        for (int c = 0; c < n; c++)
            for (int t = 0; t < p; t++) Tsub[c][t] = flags[t] == 1 ? Tn[c][t] : 0.0;
        flat = !variation.Varies(traits, k);
        if (DT) NominalReseNonHier(n, p, Tsub, DT, 6);
    }
};

// One worker's buffers of the phylogenetic searches: the subset's flags, trait averages, types
// and composition (their resemblances DT and DX where `resemblances`: the Mantel test or the
// structure file reads them), the blocks of the structure file and, for criteria 11 to 13 under
// Procrustes and RV, the comparison and partial-congruence work spaces with the covariate T over
// the flagged traits.
struct PhylogenyWork {
    std::vector<int> flags, list;
    Composition comp;
    TraitMeans tm;
    WorkMatrix<double> T, residuals;
    std::unique_ptr<ComparisonWorkspace<double>> ws;
    std::vector<MatrixCovariate> traitsOnly;
    std::unique_ptr<PartialCorrelationWork> partial;
    PhylogenyWork(int n, int s, int p, int g, double** Tn, const TraitVariation& variation, bool structure,
                  bool resemblances)
        : flags(p), comp(n, s, g, resemblances), tm(n, p, Tn, variation, resemblances), T(structure ? n : 0, p),
          residuals(structure ? n : 0, n), traitsOnly{MatrixCovariate{p, flags.data(), tm.Tsub}} {
        list.reserve(p);
    }
};

// The evaluation block of one subset in the structure file (criteria 11 to 15): the trait means
// and types, the composition's resemblance, the criterion's ranking line (written by `ranking`
// after "\nTrait ranking criterion:\t"), the labels and group sizes, and the residuals of the
// phylogenetic and composition resemblances after removing DT.
template <class Ranking>
void WriteEvaluationBlock(FILE* st, const RunData& d, const Phylogeny& ph, PhylogenyWork& w, Ranking ranking) {
    const int n = d.n;
    WriteMeansBlocks(st, d, w.flags.data(), w.list, w.T, w.tm.Tsub, w.tm.DT);
    WriteTypeBlocks(st, d, w.list, w.comp);
    fprintf(st, "Resemblance matrix between communities based on composition of types (matrix X):\n");
    WriteLowerHalf(st, n, w.comp.DX);
    fprintf(st, "\nTrait ranking criterion:\t");
    ranking();
    PrintLabels(st, w.list);
    WriteGroupSizes(st, d.s, w.comp.g, w.comp.C);
    fprintf(st, "\n");
    WriteResiduals(st, n, w.tm.DT, ph.DP, w.residuals,
                   "\nResemblance matrix between communities based lon phylogeny (residuals after removing the "
                   "effect of DT):\n");
    WriteResiduals(st, n, w.tm.DT, w.comp.DX, w.residuals,
                   "\nResemblance matrix between communities based on traits (residuals after removing the effect "
                   "of DT):\n");
}

}  // namespace

// ----------------------------------------------------------------------- criteria 11 to 13

ChRankStatus ChRankPhylogenyAssembly() {
    const std::time_t time0 = std::time(nullptr);
    const int criterion = opt_struct;
    if (criterion < 11 || criterion > 13) return kChRankRefused;
    Needs needs;
    needs.phylogeny = true;
    needs.types = true;
    needs.noNominal = criterion != 11;
    std::vector<int> eligible;
    int g = 0;
    if (!CheckData(needs, &eligible, &g)) return kChRankRefused;
    if (!partition_OTUs_Phyl || nTaxa < 1) {
        fputs("\nThe OTUs have no partition into taxa.\n", Out());
        return kChRankRefused;
    }
    InitRndNumberGenerator(static_cast<unsigned long>(std::time(nullptr)));

    RunData d(g, false);
    const int n = d.n, s = d.s, p = d.p;
    Phylogeny ph(d, rese_opt);
    Enumeration en(eligible, nMinTraitsChRank, nMaxTraitsChRank);

    WholeFile structure("IntermediateRankResults.txt");
    FILE* fs = nullptr;
    if (saveStruct == 'y' && !(fs = structure.Open())) return kChRankFileFailed;
    if (fs) {
        WritePhylogenyBlock(fs, ph);
        float** Bsel = SelectedTraitMatrix(s, p);
        fprintf(fs, "\nTrait matrix with %d OTUs by %d traits: \n", s, p);
        PrintMatrix(fs, s, p, Bsel, sDigits, 0);
        fprintf(fs, "\n");
        free2D(Bsel, s);
    }
    d.BuildCube();
    WorkMatrix<double> Tn(n, p);
    NormalisedTraitMeans(n, s, p, d.W1, eligible, Tn);
    const TraitVariation traitVariation(n, p, static_cast<double**>(Tn));
    const int wsCols = std::max(std::max(p, g), ph.q);

    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) return kChRankFileFailed;
    WriteTypedOpening(f);
    fprintf(f, "Trait ranking criterion (TRC): %s\n", opt_structInfo[criterion - 1]);
    fprintf(f, "Correlation measure: %s\n", opt_roInfo[opt_ro - 1]);
    WritePartitionLines(f);
    WriteOtuResemblanceLines(f, "Gower index");
    fprintf(f, "Ranking algorithm: %s\n", RankingAlgorithmLabel());
    fprintf(f, "Fuzzy transformation: %s\n", fuzzyInfo[fuzzy >= 0 && fuzzy <= 3 ? fuzzy : 0]);
    if (opt_ro == 1)
        fprintf(f, "Resemblance option between communities: %s\n", rese_optInfo[rese_opt - 1]);
    else
        WriteOverfitLine(f);
    if (printRankIntermedResults == 'y') fprintf(f, "\n%-*s\tTrait subset used:\n", sDigits + 6, "TRC");

    const bool absolute = criterion == 12;
    const RunDefinitions defined(n, nullptr);
    const SizeStyle style = {"Ranking criterion value and optimal subset with %d traits: \t", false, absolute};
    Search search(en.KMax(), absolute ? Rank::kAbsolute : Rank::kSigned, absolute ? 0.0 : -DBL_MAX,
                  absolute ? Rank::kAbsolute : Rank::kSigned, absolute);
    Progress progress(en.Total());
    const bool mantel = opt_ro == 1;
    EvaluateSubsets<PhylogenyWork>(
        en, search, g, progress, printRankIntermedResults == 'y' ? f : nullptr, fs,
        [&] {
            auto w = std::make_unique<PhylogenyWork>(n, s, p, g, Tn, traitVariation, fs != nullptr,
                                                     mantel || fs != nullptr);
            if (!mantel) {
                w->ws = std::make_unique<ComparisonWorkspace<double>>(n, wsCols, wsCols, ComparedBy(opt_ro));
                w->partial = std::make_unique<PartialCorrelationWork>(n, std::max(ph.q, g), p);
            }
            return w;
        },
        [&](PhylogenyWork& w, const int* traits, int k, int, FILE* text, FILE* st) {
            Composition& comp = w.comp;
            TraitMeans& tm = w.tm;
            ComparisonWorkspace<double>* ws = w.ws.get();
            int* flags = w.flags.data();
            FlagSubset(p, traits, k, flags);
            w.list.assign(traits, traits + k);
            tm.Build(flags, traits, k);
            // A value that compares a table without variation, or under Mantel a flat resemblance,
            // is -999; ro(PX.T) is when DP or DX is (a flat DT leaves it ro(PX)).
            bool flatPT = false, flatPX = false, flatXT = false, flatPXT = false;
            double roPT = mantel ? Mantel(n, ph.DP, tm.DT, &flatPT, ph.flat || tm.flat)
                                 : Congruence(n, p, ph.q, static_cast<double**>(tm.Tsub), ph.P, opt_ro, *ws, &flatPT);
            comp.Build(d, flags, true);
            double roPX, roXT;
            if (mantel) {
                const bool flatX = !ConfigurationHasVariation(n, g, comp.X);
                roPX = Mantel(n, ph.DP, comp.DX, &flatPX, ph.flat || flatX);
                roXT = Mantel(n, tm.DT, comp.DX, &flatXT, tm.flat || flatX);
                // ro(PX.T) as ro(PX), and not a value when T correlates +-1 with DX or DP.
                flatPXT = flatPX || ControlExplains({roXT, roPT});
            } else {
                roPX = Congruence(n, g, ph.q, comp.X, ph.P, opt_ro, *ws, &flatPX);
                roXT = Congruence(n, g, p, comp.X, static_cast<double**>(tm.Tsub), opt_ro, *ws, &flatXT);
            }
            // Computed before Or reads flatPXT: the order in which a call's arguments are evaluated
            // is unspecified.
            double roPXT = mantel ? PartialCorrelation(roPX, roXT, roPT)
                                  : PartialMatrixCorrelation(n, ph.q, g, ph.P, comp.X, opt_ro, overfitFactorPCARegr,
                                                             w.traitsOnly, *w.partial, &flatPXT);
            roPXT = defined.Or(roPXT, opt_ro, 1, false, flatPXT);
            roPT = defined.Or(roPT, opt_ro, 0, false, flatPT);
            roPX = defined.Or(roPX, opt_ro, 0, false, flatPX);
            roXT = defined.Or(roXT, opt_ro, 0, false, flatXT);
            const double value = criterion == 11 ? roPX : criterion == 12 ? roPXT : roPT;
            if (text) {
                fprintf(text, "ro(PT)=\t%g\tro(PX)=\t%g\tro(XT)=\t%g\tro(PX.T)=\t%g\tTraits:\t", roPT, roPX, roXT,
                        roPXT);
                PrintLabels(text, w.list);
                fprintf(text, "\n");
            }
            if (st)
                WriteEvaluationBlock(st, d, ph, w, [&] {
                    fprintf(st, "ro(PT)=\t%g\tro(PX)=\t%g\tro(XT)=\t%g\tro(PX.T)=\t%g\t%d groups\tTraits:\t", roPT, roPX,
                            roXT, roPXT, g);
                });
            return value;
        },
        [&](int k) { WriteSizeLine(f, style, k, search.sizes[k]); });

    fprintf(f, "\n\nTrait subsets with maximum matrix correlation:\nTRC\toptimal subset of traits\n");
    WriteTopList(f, search.top, false, true);
    fprintf(f, "\n\nTrait subsets with maximum rank for each number of traits:\n%-*s\tSubset of traits\n", sDigits + 6,
            "TRC");
    WriteSizeList(f, style, search.sizes, en.KMin(), en.KMax());
    WriteElapsed(f, time0);
    return Finish(result, fs ? &structure : nullptr);
}

// ----------------------------------------------------------------------- criteria 14 and 15

namespace {

// The fifteen coefficients of one evaluation, each computed in double and kept in float.
struct NicheCoefficients {
    float PT, PX, XT, PXT, XE, TE, XET, PE, TEP, PET, XEP, XEPT, beta, alphaBeta, alpha;
    // Those the run does not define set to -999, every one a Mantel value: the partials with too
    // few communities, those that follow an environment without variation, and the products of
    // any of them.
    void MarkUndefined(const RunDefinitions& d) {
        constexpr float kUndefined = static_cast<float>(MissingValue);
        const bool te = d.Defined(1, 0, true), pxt = d.Defined(1, 1, false), xet = d.Defined(1, 1, true);
        if (!te) beta = alphaBeta = XE = TE = PE = kUndefined;
        if (!pxt) PXT = kUndefined;
        if (!xet) XET = TEP = PET = XEP = kUndefined;
        if (!d.Defined(1, 2, true)) XEPT = kUndefined;
        if (!xet || !pxt) alpha = kUndefined;
    }
    // Those that compare a flat resemblance set to -999: each simple value whose Mantel test said
    // so (flat.XE: DX or DE is flat), each partial whose first or second resemblance is flat
    // (ro(XE.T), ro(XE.P) and ro(XE.PT) compare DX and DE, ro(TE.P) DT and DE, ro(PE.T) DP and
    // DE, ro(PX.T) DP and DX), and the products of any of them.
    struct Flat {
        bool PT, PX, XT, TE, XE, PE;
    };
    // The partials whose control correlates +-1 with a matrix they compare (ControlExplains: the
    // library's partial gives 0 there) set to -999, and the product alpha with them: ro(XE.T) and
    // ro(PE.T) given T, ro(TE.P), ro(PX.T) and ro(XE.P) given P, ro(XE.PT) given T and then P
    // (two controls correlated +-1 with each other leave the partial on the one). Every verdict
    // is taken on the computed values before any is set.
    void MarkExplained() {
        constexpr float kUndefined = static_cast<float>(MissingValue);
        const bool xet = ControlExplains({XT, TE}), pxt = ControlExplains({PT, XT});
        const bool tep = ControlExplains({PT, PE}), pet = ControlExplains({PT, TE});
        const bool xep = ControlExplains({PX, PE}), xept = ControlExplains({XT, TE, PX, PE, PXT, PET});
        if (xet) XET = kUndefined;
        if (pxt) PXT = kUndefined;
        if (tep) TEP = kUndefined;
        if (pet) PET = kUndefined;
        if (xep) XEP = kUndefined;
        if (xept) XEPT = kUndefined;
        if (xet || pxt) alpha = kUndefined;
    }
    void MarkFlat(const Flat& f) {
        constexpr float kUndefined = static_cast<float>(MissingValue);
        if (f.PT) PT = kUndefined;
        if (f.PX) PX = PXT = kUndefined;
        if (f.XT) XT = kUndefined;
        if (f.TE) TE = TEP = kUndefined;
        if (f.XE) XE = XET = XEP = XEPT = kUndefined;
        if (f.PE) PE = PET = kUndefined;
        if (f.PT || f.TE) beta = kUndefined;
        if (f.PX || f.XE) alphaBeta = kUndefined;
        if (f.XE || f.PX) alpha = kUndefined;
    }
};

void PrintCoefficients(FILE* f, const NicheCoefficients& c, int g) {
    fprintf(f,
            "ro(PT)=\t%g\tro(PX)=\t%g\tro(XT)=\t%g\tro(PX.T)=\t%g\tro(XE)=\t%g\tro(TE)=\t%g\tro(XE.T)=\t%g\tro(PE)=\t%"
            "g\tro(TE.P)=\t%g\tro(PE.T)=\t%g\tro(XE.P)=\t%g\tro(XE.PT)=\t%g\troBetaNiche=\t%g\troAlphaBetaNiche=\t%"
            "g\troAlphaNiche=\t%g\t%d groups\tTraits:\t",
            c.PT, c.PX, c.XT, c.PXT, c.XE, c.TE, c.XET, c.PE, c.TEP, c.PET, c.XEP, c.XEPT, c.beta, c.alphaBeta, c.alpha,
            g);
}

void WriteNicheList(FILE* f, const TopList& top) {
    for (int i = top.Size() - 1; i >= 1; i--) {
        const Entry& e = top.Slot(i);
        fprintf(f, "%-*.*g\t%d groups\t", sDigits + 6, sDigits, e.value, e.groups);
        PrintLabels(f, e.traits);
        fprintf(f, "\n");
    }
}

}  // namespace

ChRankStatus ChRank_Phylogeny_x_Trait_Assembly() {
    const std::time_t time0 = std::time(nullptr);
    const int criterion = opt_struct;
    if (criterion != 14 && criterion != 15) return kChRankRefused;
    Needs needs;
    needs.phylogeny = true;
    needs.environment = true;
    needs.types = true;
    std::vector<int> eligible;
    int g = 0;
    if (!CheckData(needs, &eligible, &g)) return kChRankRefused;
    if (!partition_OTUs_Phyl || nTaxa < 1) {
        fputs("\nThe OTUs have no partition into taxa.\n", Out());
        return kChRankRefused;
    }
    // Every coefficient here is a Mantel correlation: a stored option outside the community
    // resemblances 6 to 10 gives way to the Euclidean distance.
    const int reseUsed = rese_opt >= 6 && rese_opt <= 10 ? rese_opt : 6;

    RunData d(g, true);
    const int n = d.n, s = d.s, p = d.p;
    Phylogeny ph(d, reseUsed);
    Enumeration en(eligible, nMinTraitsChRank, nMaxTraitsChRank);
    bool flatPE = false;
    const float roPE = static_cast<float>(Mantel(n, ph.DP, d.DE, &flatPE, ph.flat));

    WholeFile structure(whichStructures);
    FILE* fs = nullptr;
    if (saveStruct == 'y' && !(fs = structure.Open())) return kChRankFileFailed;
    if (fs) {
        fprintf(fs, "Resemblance matrix between %d relevés based on %d environmental variables:\n", n, nenv);
        WriteLowerHalf(fs, n, d.DE);
        WritePhylogenyBlock(fs, ph);
        float** Bsel = SelectedTraitMatrix(s, p);
        fprintf(fs, "\nTrait matrix with %d OTUs by %d traits: \n", s, p);
        PrintMatrix(fs, s, p, Bsel, sDigits, 0);
        fprintf(fs, "\n");
        free2D(Bsel, s);
    }
    d.BuildCube();
    WorkMatrix<double> Tn(n, p);
    NormalisedTraitMeans(n, s, p, d.W1, eligible, Tn);
    const TraitVariation traitVariation(n, p, static_cast<double**>(Tn));
    // DX of the compositions below uses the option in force; the workers only read it, and the
    // stored option comes back however the search ends.
    const ScopedValue<int> restore(rese_opt, reseUsed);

    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) return kChRankFileFailed;
    WriteTypedOpening(f);
    fprintf(f, "Trait ranking criterion (TRC): %s\n", opt_structInfo[criterion - 1]);
    fprintf(f, "Pooling of OTUs: %s\n", poolCSToptInfo[poolCSTopt == 1 ? 0 : 1]);
    if (poolCSTopt == 2) {
        if (clusMethPoolCSTs == 0) {
            fprintf(f, "Clustering method defining types: none (groups were specified by the user).\n");
            for (int i = 0; i < s; i++) fprintf(f, "%d\t", partition_OTUs[i]);
            fprintf(f, "\n");
        } else {
            fprintf(f, "Clustering method defining types: %s\n", clusMethInfo[clusMethPoolCSTs]);
        }
    }
    WriteOtuResemblanceLines(f, "Gower index");
    fprintf(f, "Ranking algorithm: %s\n", RankingAlgorithmLabel());
    bool anyZero = false;
    for (int t = 0; t < p; t++)
        if (weight[t] == 0.0f) anyZero = true;
    if (!anyZero) {
        fprintf(f, "All traits were considered in the computation of Gower similarity index between populations.\n");
    } else {
        fprintf(f, "Traits considered in the computation of Gower similarity index between populations:\t");
        for (int t = 0; t < p; t++)
            if (weight[t] > 0.0f) fprintf(f, "%-3s", chLabel[t]);
    }
    fprintf(f, "Fuzzy transformation: %s\n", fuzzyInfo[fuzzy >= 0 && fuzzy <= 3 ? fuzzy : 0]);
    if (opt_ro == 1)
        fprintf(f, "Resemblance option between communities: %s\n", rese_optInfo[reseUsed - 1]);
    else
        fprintf(f, "Matrix correlations (Mantel) computed whatever the correlation measure, with resemblance option "
                   "between communities: %s\n",
                rese_optInfo[reseUsed - 1]);
    if (printRankIntermedResults == 'y') fprintf(f, "\n%-*s\tGroups\tTrait subset used:\n", sDigits + 6, "TRC");

    const SizeStyle style = {"Ranking criterion values, groups and optimal subset with %d traits: \t", true, false};
    const RunDefinitions defined(n, d.DE);
    Search search(en.KMax(), Rank::kSigned, -DBL_MAX, Rank::kSigned, false);
    // The first list takes every evaluation and starts at -DBL_MAX; the second takes each
    // subset's best and starts at 0.
    TopList first(100, -DBL_MAX, Rank::kSigned, false, en.KMax());
    TopList& second = search.top;
    search.every = &first;
    Progress progress(en.Total());
    EvaluateSubsets<PhylogenyWork>(
        en, search, g, progress, printRankIntermedResults == 'y' ? f : nullptr, fs,
        [&] { return std::make_unique<PhylogenyWork>(n, s, p, g, Tn, traitVariation, fs != nullptr, true); },
        [&](PhylogenyWork& w, const int* traits, int k, int, FILE* text, FILE* st) {
            Composition& comp = w.comp;
            TraitMeans& tm = w.tm;
            int* flags = w.flags.data();
            FlagSubset(p, traits, k, flags);
            w.list.assign(traits, traits + k);
            tm.Build(flags, traits, k);
            NicheCoefficients c{};
            NicheCoefficients::Flat flat{};
            flat.PE = flatPE;
            c.PT = static_cast<float>(Mantel(n, ph.DP, tm.DT, &flat.PT, ph.flat || tm.flat));
            comp.Build(d, flags, true);
            const bool flatX = !ConfigurationHasVariation(n, g, comp.X);
            c.PX = static_cast<float>(Mantel(n, ph.DP, comp.DX, &flat.PX, ph.flat || flatX));
            c.XT = static_cast<float>(Mantel(n, tm.DT, comp.DX, &flat.XT, tm.flat || flatX));
            c.TE = static_cast<float>(Mantel(n, d.DE, tm.DT, &flat.TE, tm.flat));
            c.XE = static_cast<float>(Mantel(n, d.DE, comp.DX, &flat.XE, flatX));
            c.PE = roPE;
            c.XET = PartialCorrelation(c.XE, c.XT, c.TE);
            c.TEP = PartialCorrelation(c.TE, c.PT, c.PE);
            c.PXT = PartialCorrelation(c.PX, c.PT, c.XT);
            c.PET = PartialCorrelation(c.PE, c.PT, c.TE);
            c.XEPT = PartialCorrelation(c.XET, c.PXT, c.PET);
            c.XEP = PartialCorrelation(c.XE, c.PX, c.PE);
            c.beta = c.PT * c.TE;
            c.alphaBeta = c.PX * c.XE;
            c.alpha = c.XET * c.PXT;
            c.MarkExplained();
            c.MarkUndefined(defined);
            c.MarkFlat(flat);
            // One number of types: the subset's best is its one evaluation, which both lists are
            // offered.
            const double value = criterion == 14 ? c.beta : c.alphaBeta;
            if (text) {
                PrintCoefficients(text, c, g);
                PrintLabels(text, w.list);
                WriteGroupSizes(text, s, g, comp.C);
                fprintf(text, "\n");
            }
            if (st) WriteEvaluationBlock(st, d, ph, w, [&] { PrintCoefficients(st, c, g); });
            return value;
        },
        [&](int k) { WriteSizeLine(f, style, k, search.sizes[k]); });

    fprintf(f, "\n\nTrait subsets and number of types with maximum matrix correlation:\nTRC\tn groups\toptimal subset of "
               "traits\n");
    WriteNicheList(f, first);
    fprintf(f, "\n\nTrait subsets with maximum matrix correlation (only optimal number of types presented):\nTRC\tn "
               "groups\toptimal subset of traits\n");
    WriteNicheList(f, second);
    fprintf(f, "Elapsed time: %g seconds\n", std::difftime(std::time(nullptr), time0));

    // The summary block stands first: the per-size lists are known only now.
    const std::string summary = SizeSummary(search.sizes, en.KMin(), en.KMax());
    return Finish(result, fs ? &structure : nullptr, summary);
}
