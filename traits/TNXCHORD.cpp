// Trait-subset searches against the environment: r(XE) (criterion 1), r(XE.T) (9) and r(TE)
// (10), with the small routines every search shares.
#include "traits/TNXCHORD.h"

#include <cfloat>
#include <cmath>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/core/qwlibUtil.h"
#include "matrix/qwLinearModels.h"
#include "matrix/qwlib.h"
#include "matrix/qwlibGroupStats.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCHORDCommon.h"
#include "traits/TNXCHORDReport.h"
#include "traits/TNXCHORDSearch.h"
#include "traits/TNXCHORDThreads.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXGOWER.h"
#include "traits/TNXPERMTEST.h"
#include "traits/TNXRESEREP.h"

using namespace chrank;

// ----------------------------------------------------------------------- small routines

void ReorderVectors(int n, int* order, int* states, int* types, float* ranges, float* weights) {
    if (n < 1) return;
    int* ints = dim1Dint(n);
    float* floats = dim1Dfloat(n);
    for (int i = 0; i < n; i++) ints[i] = states[i];
    for (int i = 0; i < n; i++) states[i] = ints[order[i] - 1];
    for (int i = 0; i < n; i++) ints[i] = types[i];
    for (int i = 0; i < n; i++) types[i] = ints[order[i] - 1];
    for (int i = 0; i < n; i++) floats[i] = ranges[i];
    for (int i = 0; i < n; i++) ranges[i] = floats[order[i] - 1];
    for (int i = 0; i < n; i++) floats[i] = weights[i];
    for (int i = 0; i < n; i++) weights[i] = floats[order[i] - 1];
    free1D(floats);
    free1D(ints);
}

void DataPartitionL(int nPop, int nComm, int* counts, int part, float** data, float** tot) {
    if (nComm < 1) return;
    for (int c = 0; c < nComm; c++) {
        tot[c][0] = 0.0f;
        for (int p = 0; p < nPop; p++)
            if (!IsMissing(data[p][c])) tot[c][0] += data[p][c];
    }
    if (part == 2 || part == 3) {
        for (int c = 0; c < nComm; c++) {
            // The count takes every cell that is not 0: a missing one is no OTU of the mean.
            int present = counts[c];
            for (int p = 0; p < nPop; p++) present -= IsMissing(data[p][c]);
            // A community without OTUs has no mean to give.
            if (present < 1) continue;
            const float mean = tot[c][0] / static_cast<float>(present);
            for (int p = 0; p < nPop; p++) {
                if (!(data[p][c] > 0.0f)) continue;
                data[p][c] = part == 3 ? mean : data[p][c] - mean;
            }
        }
    }
    if (part == 2)
        for (int c = 0; c < nComm; c++) tot[c][0] = 0.0f;
}

// ----------------------------------------------------------------------- shared preparation

namespace chrank {

RunData::RunData(int nTypesIn, bool environment)
    : n(ncsm), s(tcst), p(nch), nTypes(nTypesIn) {
    W = dim2Double(n, s);
    for (int c = 0; c < n; c++)
        for (int o = 0; o < s; o++) W[c][o] = cadat[o][c];
    // T is a weighted mean, the same for any scaling of a community's row: W1 keeps the
    // printed trait averages; W (scaled when asked) feeds the compositions.
    W1 = dim2Double(n, s);
    UnitSumRowsAdjMV(n, s, W1, W);
    if (optUnitTotalAdjust2) UnitSumRowsAdjMV(n, s, W, W);
    if (environment) {
        DE = dim2Double(n, n);
        Ef = dim2Dfloat(n, nenv);
        Ed = dim2Double(n, nenv);
        EnvironmentResemblance(DE, Ef);
        for (int c = 0; c < n; c++)
            for (int v = 0; v < nenv; v++) Ed[c][v] = Ef[c][v];
    }
    RangeStates(p, s, csm_Float, chtype, chrange);
    types = dim1Dint(p);
    ranges = dim1Dfloat(p);
    weights = dim1Dfloat(p);
    for (int t = 0; t < p; t++) {
        types[t] = chtype[t];
        ranges[t] = chrange[t];
        weights[t] = weight[t];
    }
    flags = dim1Dint(p);
}

RunData::~RunData() {
    free2D(W, n);
    free2D(W1, n);
    if (DE) free2D(DE, n);
    if (Ef) free2D(Ef, n);
    if (Ed) free2D(Ed, n);
    if (Sp) free3D(Sp, s, s);
    free1D(types);
    free1D(ranges);
    free1D(weights);
    free1D(flags);
}

void RunData::BuildCube() {
    Sp = dim3Double(s, s, p);
    gower_similarityPartial(p, csm_Float, s, Sp, types, ranges, weights, countDoubleAbsence);
}

void RunData::Flag(const int* traits, int k) {
    for (int t = 0; t < p; t++) flags[t] = 0;
    for (int i = 0; i < k; i++) flags[traits[i]] = 1;
}

bool HasMissing(int rows, int cols, float** m) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++)
            if (IsMissing(m[i][j])) return true;
    return false;
}

Search::Search(int kMax, Rank rankIn, double sizeStart, Rank entry, bool sortAbs)
    : rank(rankIn), start(sizeStart), sizes(kMax + 1), top(100, 0.0, entry, sortAbs, kMax) {
    for (SizeRecord& r : sizes) r.best.value = start;
}

void Search::Record(int k, double value, int groups, const int* traits) {
    SizeRecord& r = sizes[k];
    r.filled = true;
    if (Beats(rank, value, r.best.value)) {
        r.best.value = value;
        r.best.groups = groups;
        r.best.traits.assign(traits, traits + k);
    } else if (IsMissing(value) && r.best.traits.empty()) {
        // No subset of this size has a value yet: the size shows -999 and no subset.
        r.best.value = value;
        r.best.groups = groups;
    }
    if (every) every->Offer(value, groups, traits, k);
    top.Offer(value, groups, traits, k);
}

void FlagSubset(int p, const int* traits, int k, int* flags) {
    for (int t = 0; t < p; t++) flags[t] = 0;
    for (int i = 0; i < k; i++) flags[traits[i]] = 1;
}

void WriteTraitLines(FILE* f) {
    bool anyZero = false;
    for (int t = 0; t < nch; t++)
        if (weight[t] == 0.0f) anyZero = true;
    if (!anyZero) {
        fprintf(f, "All traits were considered.\n");
        return;
    }
    fprintf(f, "Traits that were considered:\n");
    for (int t = 0; t < nch; t++)
        if (weight[t] > 0.0f) fprintf(f, "%-3s", chLabel[t]);
    fprintf(f, "\n");
}

void WritePartitionLines(FILE* f) {
    fprintf(f, "Pooling of OTUs: %s\n", poolCSToptInfo[poolCSTopt == 1 ? 0 : 1]);
    if (poolCSTopt != 2) return;
    if (clusMethPoolCSTs != 0) {
        fprintf(f, "Clustering method defining types: %s\n", clusMethInfo[clusMethPoolCSTs]);
        return;
    }
    fprintf(f, "Partition of OTUs into types specified by the user:\n");
    for (int i = 0; i < tcst; i++) fprintf(f, "%d\t", partition_OTUs[i]);
    fprintf(f, "\n");
}

void WriteEnvironmentAndTraits(FILE* fs, const RunData& d, const char* communities, const char* otus, bool zeroed,
                               bool closingLine) {
    if (d.DE) {
        fprintf(fs, "Resemblance matrix between %d %s based on %d environmental variables:\n", d.n, communities, nenv);
        WriteLowerHalf(fs, d.n, d.DE);
    }
    fprintf(fs, "\nTrait matrix with %d %s by %d traits: \n", d.s, otus, d.p);
    if (zeroed) {
        float** Bsel = SelectedTraitMatrix(d.s, d.p);
        PrintMatrix(fs, d.s, d.p, Bsel, sDigits, 0);
        free2D(Bsel, d.s);
    } else {
        PrintMatrix(fs, d.s, d.p, csm_Float, sDigits, 0);
    }
    if (closingLine) fprintf(fs, "\n");
}

void WriteTypedOpening(FILE* f) {
    WriteOpening(f);
    fprintf(f, "Trait-based approach: %s\n", traitBasedOptInfo[traitBasedOpt == 2 ? 1 : 0]);
    WriteUnitTotalLines(f);
}

void WriteOtuResemblanceLines(FILE* f, const char* gowerName) {
    if (poolCSTopt != 2) return;
    fprintf(f, "Resemblance function between OTUs: %s\n", reseCSToptInfo[reseCSTopt == 2 ? 1 : 0]);
    if (reseCSTopt == 1)
        fprintf(f, "%s modified to count matching absences in binary traits? %s\n", gowerName,
                YesNotInfo[countDoubleAbsence ? 1 : 0]);
}

void WriteUnitTotalLines(FILE* f) {
    fprintf(f, optUnitTotalAdjust1
                   ? "Community data matrix W adjusted to unit totals prior to trait convergence evaluation.\n"
                   : "Community data matrix W NOT adjusted to unit totals prior to trait convergence evaluation.\n");
    fprintf(f, optUnitTotalAdjust2 ? "Community data matrix W adjusted to unit totals prior to evaluation.\n"
                                   : "Community data matrix W NOT adjusted to unit totals prior to evaluation.\n");
}

void WriteOverfitLine(FILE* f) {
    fprintf(f,
            "For partial matrix correlations, the factor (f) for limiting the number of predictors in PCA "
            "regression in relation to sample size n (number of predictors = n/f): %g\n",
            overfitFactorPCARegr);
}

void WriteLowerHalf(FILE* f, int n, double** m) { PrintUpperTriangle(f, n, m); }

void WriteElapsed(FILE* f, std::time_t time0) {
    fprintf(f, "\n");
    fprintf(f, "Elapsed time: %g seconds\n", std::difftime(std::time(nullptr), time0));
}

}  // namespace chrank


// ----------------------------------------------------------------------- types of a subset

namespace chrank {

Composition::Composition(int nIn, int sIn, int gIn, bool resemblance) : n(nIn), s(sIn), g(gIn), belonging(sIn) {
    // A block the memory refuses releases those made before it: a worker's space that cannot be
    // made leaves nothing behind.
    try {
        S = dim2Dfloat(s, s);
        U = dim2Double(s, g);
        X = dim2Double(n, g);
        if (resemblance) DX = dim2Double(n, n);
        C = dim2Double(s, g);
    } catch (...) {
        Release();
        throw;
    }
    CrispBelonging(s, g, partition_OTUs, C);
}

Composition::~Composition() { Release(); }

void Composition::Release() {
    free2D(S, s);
    free2D(U, s);
    free2D(X, n);
    free2D(DX, n);
    free2D(C, s);
}

void Composition::Build(const RunData& d, int* flags, bool withResemblance) {
    gower_similarityAverage(d.p, s, d.Sp, S, flags, d.weights);
    // FuzzyBelonging mirrors the upper triangle; Rao reads both.
    for (int i = 0; i < s; i++)
        for (int j = 0; j < i; j++) S[i][j] = S[j][i];
    if (fuzzy == 3) {
        FuzzyBelonging(s, g, S, partition_OTUs, U, reseCSTopt != 1, belonging);
    } else if (!crispDone) {
        // Crisp types do not depend on the subset.
        CrispBelonging(s, g, partition_OTUs, U);
        crispDone = true;
    }
    MatrixProdMV(n, s, s, g, d.W, U, X);
    if (withResemblance && DX) NominalReseNonHier(n, g, X, DX, rese_opt);
}

void WriteMeansBlocks(FILE* fs, const RunData& d, int* flags, const std::vector<int>& list, double** T,
                      double** Tn, double** DT) {
    const int n = d.n, p = d.p;
    fprintf(fs, "\nTraits:\t");
    PrintLabels(fs, list);
    fprintf(fs, "\n");
    CommunityWeightedMeans(n, d.s, p, d.W1, csm_Float, flags, T);
    fprintf(fs, optUnitTotalAdjust1 ? "\nMatrix with trait averages at community level (%d communities x %d traits):\n"
                                    : "\nMatrix with trait totals at community level (%d communities x %d traits):\n",
            n, p);
    PrintMatrix(fs, n, p, T, sDigits, 0);
    fprintf(fs, "\nMatrix with normalized traits at community level (%d communities x %d traits adjusted to unit "
                "length):\n",
            n, p);
    PrintMatrix(fs, n, p, Tn, sDigits, 0);
    fprintf(fs, "Resemblance matrix between communities based on selected traits (matrix T):\n");
    WriteLowerHalf(fs, n, DT);
}

void WriteTypeBlocks(FILE* fs, const RunData& d, const std::vector<int>& list, Composition& comp) {
    const int s = d.s, g = comp.g, n = d.n;
    fprintf(fs, "\nSimilarity matrix between %d populations, based on %d traits:\n", s, static_cast<int>(list.size()));
    fprintf(fs, "Traits:\t");
    for (int t : list) fprintf(fs, "%s\t", chLabel[t]);
    fprintf(fs, "\n");
    PrintUpperTriangle(fs, s, comp.S);
    fprintf(fs, "\nPartition vector of %d populations in %d specified groups (types):\n", s, g);
    PrintVectorTab(fs, s, partition_OTUs, nullptr);
    fprintf(fs, "\nDegrees of belonging of %d populations (rows) in %d types (columns):\n", s, g);
    PrintMatrix(fs, s, g, comp.U, sDigits, 0);
    fprintf(fs, "\n");
    fprintf(fs, "\nDegrees of belonging (crisp) of %d populations (rows) in %d types (columns):\n", s, g);
    PrintMatrix(fs, s, g, comp.C, sDigits, 0);
    fprintf(fs, "\n");
    WriteTypeSummary(fs, s, d.p, g, comp.C);
    fprintf(fs, "\nPooled performance matrix X (%d communities x %d types):\n", n, g);
    PrintMatrix(fs, n, g, comp.X, sDigits, 0);
    fprintf(fs, "\n");
}

void WriteSubsetSimilarity(FILE* fs, int s, const std::vector<int>& list, float** S) {
    fprintf(fs,
            "\nSimilarity matrix between %d populations, based on %d traits (Gower index modified to count double "
            "absences in binary traits):\n",
            s, static_cast<int>(list.size()));
    fprintf(fs, "Traits:\t");
    for (int t : list) fprintf(fs, "%s\t", chLabel[t]);
    fprintf(fs, "\n");
    PrintUpperTriangle(fs, s, S);
}

void WriteResiduals(FILE* fs, int n, double** DT, double** D, double** scratch, const char* heading) {
    ResidualsMatrixRegression(n, DT, D, scratch);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < i; j++) scratch[i][j] = scratch[j][i];
    fputs(heading, fs);
    PrintMatrixTab(fs, n, n, scratch, sDigits);
}

}  // namespace chrank

// ----------------------------------------------------------------------- criterion 10

namespace {

const SizeStyle kPlainSize = {"Ranking criterion value and optimal subset with %d traits: \t", false, false};

void WriteRankTail(FILE* f, const Search& search, const SizeStyle& style, int kMin, int kMax) {
    WriteTopList(f, search.top, false, true);
    fprintf(f, "\n\nTrait subsets with maximum rank for each number of traits:\n%-*s\tSubset of traits\n",
            sDigits + 6, "TRC");
    WriteSizeList(f, style, search.sizes, kMin, kMax);
}

// The normalised community trait means of one subset: the flagged columns of the means of
// every trait, the others 0.
template <class Real>
void SubsetColumns(int n, int p, Real** all, const int* flags, Real** sub) {
    for (int c = 0; c < n; c++)
        for (int t = 0; t < p; t++) sub[c][t] = flags[t] == 1 ? all[c][t] : Real(0);
}

// Structure-file block of the community trait means of a subset.
void WriteMeansBlock(FILE* f, int n, int p, double** T, float** Tn, const std::vector<int>& traits) {
    fprintf(f, "\nTraits:\t");
    for (int t : traits) fprintf(f, "%s\t", chLabel[t]);
    fprintf(f, "\n");
    fprintf(f, optUnitTotalAdjust1 ? "\nMatrix with trait averages at community level (%d communities x %d traits):\n"
                                   : "\nMatrix with trait totals at community level (%d communities x %d traits):\n",
            n, p);
    PrintMatrix(f, n, p, T, sDigits, 0);
    fprintf(f, "\nMatrix with normalized traits at community level (%d communities x %d traits adjusted to unit "
               "length):\n",
            n, p);
    PrintMatrix(f, n, p, Tn, sDigits, 0);
}

// One worker's buffers for r(TE): the subset's flags; under Mantel its own fast r(TE) (a copy of
// the run's `prototype`), under Procrustes and RV the subset's columns and the comparison work
// space; with the structure file, the blocks it prints.
struct TcapWork {
    std::vector<int> flags, list;
    WorkMatrix<float> Tsub;
    std::unique_ptr<TraitDistanceMantel> fast;
    ComparisonWorkspace<float> ws;
    WorkMatrix<double> T;
    WorkMatrix<float> TnSub;
    WorkMatrix<double> DT;
    TcapWork(int n, int p, const TraitDistanceMantel* prototype, bool structure)
        : flags(p), Tsub(opt_ro != 1 ? n : 0, p),
          fast(prototype ? std::make_unique<TraitDistanceMantel>(*prototype) : nullptr),
          ws(n, nenv, p, ComparedBy(opt_ro)), T(structure ? n : 0, p), TnSub(structure ? n : 0, p),
          DT(structure ? n : 0, n) {
        list.reserve(p);
    }
};

}  // namespace

ChRankStatus ChRankTCAP() {
    const std::time_t time0 = std::time(nullptr);
    Needs needs;
    needs.environment = true;
    needs.completeEnvironment = opt_ro != 1;
    needs.noNominal = true;
    std::vector<int> eligible;
    int nTypes = 0;
    if (!CheckData(needs, &eligible, &nTypes)) return kChRankRefused;

    RunData d(0, true);
    const int n = d.n, p = d.p;
    Enumeration en(eligible, nMinTraitsChRank, nMaxTraitsChRank);

    WholeFile structure(whichStructures);
    FILE* fs = nullptr;
    if (saveStruct == 'y' && !(fs = structure.Open())) return kChRankFileFailed;
    if (fs) WriteEnvironmentAndTraits(fs, d, "relevés", "populations", true, false);

    WorkMatrix<float> Tn(n, p);
    NormalisedTraitMeans(n, d.s, p, d.W1, eligible, Tn);
    // The fast r(TE) of the Mantel test, which Procrustes and RV do not use.
    std::unique_ptr<const TraitDistanceMantel> fast;
    if (opt_ro == 1) fast = std::make_unique<const TraitDistanceMantel>(n, p, Tn, d.DE, en.KMax());

    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) return kChRankFileFailed;
    WriteOpening(f);
    fprintf(f, "\nTrait-based approach: %s\n", traitBasedOptInfo[traitBasedOpt == 1 ? 0 : 1]);
    fprintf(f, "Trait ranking criterion (TRC): %s\n", opt_structInfo[opt_struct - 1]);
    fprintf(f, "Correlation measure: %s\n", opt_roInfo[opt_ro - 1]);
    fprintf(f, "Ranking algorithm: %s\n", RankingAlgorithmLabel());
    WriteTraitLines(f);
    if (opt_ro == 1) fprintf(f, "Resemblance option between communities: %s\n", rese_optInfo[rese_opt - 1]);

    const RunDefinitions defined(n, d.DE);
    Search search(en.KMax(), Rank::kSigned, -DBL_MAX, Rank::kSigned, false);
    Progress progress(en.Total());
    EvaluateSubsets<TcapWork>(
        en, search, 0, progress, printRankIntermedResults == 'y' ? f : nullptr, fs,
        [&] { return std::make_unique<TcapWork>(n, p, fast.get(), fs != nullptr); },
        [&](TcapWork& w, const int* traits, int k, int changed, FILE* text, FILE* st) {
            int* flags = w.flags.data();
            FlagSubset(p, traits, k, flags);
            double value;
            bool flat = false;
            if (opt_ro == 1) {
                value = w.fast->Value(traits, k, changed, &flat);
            } else {
                SubsetColumns<float>(n, p, Tn, flags, w.Tsub);
                value = Congruence(n, nenv, p, d.Ef, static_cast<float**>(w.Tsub), opt_ro, w.ws, &flat);
            }
            value = defined.Or(value, opt_ro, 0, true, flat);
            if (text) {
                fprintf(text, "%g\t", value);
                for (int i = 0; i < k; i++) fprintf(text, "%-2s\t", chLabel[traits[i]]);
                fprintf(text, "\n");
            }
            if (st) {
                w.list.assign(traits, traits + k);
                CommunityWeightedMeans(n, d.s, p, d.W1, csm_Float, flags, w.T);
                SubsetColumns<float>(n, p, Tn, flags, w.TnSub);
                WriteMeansBlock(st, n, p, w.T, w.TnSub, w.list);
                NominalReseNonHier(n, p, w.TnSub, w.DT, 6);
                fprintf(st, "Resemblance matrix between communities:\n");
                WriteLowerHalf(st, n, w.DT);
                fprintf(st,
                        opt_ro == 3   ? "\nTrait ranking criterion RV=\t%-*.*g\tTrait subset used:\t"
                        : opt_ro == 2 ? "\nTrait ranking criterion traceW=\t%-*.*g\tTrait subset used:\t"
                                      : "\nTrait ranking criterion ro(TE)=\t%-*.*g\tTrait subset used:\t",
                        sDigits + 6, sDigits, value);
                PrintLabels(st, w.list);
                fprintf(st, "\n");
            }
            return value;
        },
        [&](int k) { WriteSizeLine(f, kPlainSize, k, search.sizes[k]); });

    fprintf(f, "\n\nTrait subsets with maximum rank:\n%-*s\tSubset of traits\n", sDigits + 6, "TRC");
    WriteRankTail(f, search, kPlainSize, en.KMin(), en.KMax());
    WriteElapsed(f, time0);
    return Finish(result, fs ? &structure : nullptr);
}

// ----------------------------------------------------------------------- criteria 1 and 9

namespace {

// One worker's buffers for r(XE): the subset's flags, its types and composition (DX for the
// Mantel test and the structure file), the comparison work space of Procrustes or RV.
struct TdapTcapWork {
    std::vector<int> flags, list;
    Composition comp;
    ComparisonWorkspace<double> ws;
    TdapTcapWork(int n, int s, int p, int g, bool structure)
        : flags(p), comp(n, s, g, opt_ro == 1 || structure), ws(n, nenv, g, ComparedBy(opt_ro)) {
        list.reserve(p);
    }
};

// One worker's buffers for r(XE.T): besides those of r(XE) (DX for the Mantel test), the
// subset's normalised means and their resemblance, the covariate of the partial congruence and,
// under Procrustes and RV, its work space, and the blocks of the structure file.
struct TdapWork {
    std::vector<int> flags, list;
    Composition comp;
    WorkMatrix<double> Tsub, DT, T, residuals;
    std::vector<MatrixCovariate> covariates;
    std::unique_ptr<PartialCorrelationWork> partial;
    TdapWork(int n, int s, int p, int g, bool structure)
        : flags(p), comp(n, s, g, opt_ro == 1), Tsub(n, p), DT(n, n), T(structure ? n : 0, p),
          residuals(structure && opt_ro == 1 ? n : 0, n), covariates{MatrixCovariate{p, flags.data(), Tsub}},
          partial(opt_ro != 1 ? std::make_unique<PartialCorrelationWork>(n, std::max(g, nenv), p) : nullptr) {
        list.reserve(p);
    }
};

}  // namespace

ChRankStatus ChRankTDAP_TCAP() {
    const std::time_t time0 = std::time(nullptr);
    Needs needs;
    needs.environment = true;
    needs.completeEnvironment = opt_ro != 1;
    needs.types = true;
    std::vector<int> eligible;
    int g = 0;
    if (!CheckData(needs, &eligible, &g)) return kChRankRefused;

    RunData d(g, true);
    const int n = d.n, s = d.s;
    Enumeration en(eligible, nMinTraitsChRank, nMaxTraitsChRank);

    WholeFile structure(whichStructures);
    FILE* fs = nullptr;
    if (saveStruct == 'y' && !(fs = structure.Open())) return kChRankFileFailed;
    if (fs) WriteEnvironmentAndTraits(fs, d, "relevés", "populations", false, true);
    d.BuildCube();

    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) return kChRankFileFailed;
    WriteOpening(f);
    fprintf(f, "Trait ranking criterion (TRC): %s\n", opt_structInfo[opt_struct - 1]);
    fprintf(f, "Correlation measure: %s\n", opt_roInfo[opt_ro - 1]);
    WritePartitionLines(f);
    fprintf(f, "Gower similarity index modified to count matching absences in binary traits? %s\n",
            YesNotInfo[countDoubleAbsence ? 1 : 0]);
    fprintf(f, "Ranking algorithm: %s\n", RankingAlgorithmLabel());
    fprintf(f, "Fuzzy transformation: %s\n", fuzzyInfo[fuzzy >= 0 && fuzzy <= 3 ? fuzzy : 0]);
    if (fuzzy == 1 || fuzzy == 2) fprintf(f, "\tFuzziness degree: %g\n", fuzziness);
    if (opt_ro == 1) fprintf(f, "Resemblance option between communities: %s\n", rese_optInfo[rese_opt - 1]);
    WriteTraitLines(f);
    if (printRankIntermedResults == 'y') fprintf(f, "\n%-*s\tTrait subset used:\n", sDigits + 6, "TRC");

    const RunDefinitions defined(n, d.DE);
    Search search(en.KMax(), Rank::kSigned, -DBL_MAX, Rank::kSigned, false);
    Progress progress(en.Total());
    EvaluateSubsets<TdapTcapWork>(
        en, search, g, progress, printRankIntermedResults == 'y' ? f : nullptr, fs,
        [&] { return std::make_unique<TdapTcapWork>(n, s, d.p, g, fs != nullptr); },
        [&](TdapTcapWork& w, const int* traits, int k, int, FILE* text, FILE* st) {
            Composition& comp = w.comp;
            FlagSubset(d.p, traits, k, w.flags.data());
            comp.Build(d, w.flags.data(), opt_ro == 1);
            double value;
            bool flat = false;
            if (opt_ro == 1)
                value = Mantel(n, d.DE, comp.DX, &flat, !ConfigurationHasVariation(n, g, comp.X));
            else
                value = Congruence(n, nenv, g, d.Ed, comp.X, opt_ro, w.ws, &flat);
            value = defined.Or(value, opt_ro, 0, true, flat);
            std::vector<int>& list = w.list;
            list.assign(traits, traits + k);
            if (text) {
                fprintf(text, "%-*.*g\t", sDigits + 6, sDigits, value);
                PrintLabels(text, list);
                fprintf(text, "\n");
            }
            if (st) {
                WriteSubsetSimilarity(st, s, list, comp.S);
                fprintf(st, "\nPartition vector of %d populations in %d groups:\n", s, g);
                PrintVectorTab(st, s, partition_OTUs, nullptr);
                fprintf(st, "\nDegrees of belonging of %d populations (rows) in %d groups (columns):\n", s, g);
                PrintMatrix(st, s, g, comp.U, sDigits, 0);
                fprintf(st, "\n");
                fprintf(st, "\nPooled performance matrix (%d relevés x %d population groups):\n", n, g);
                PrintMatrix(st, n, g, comp.X, sDigits, 0);
                fprintf(st, "\n");
                if (opt_ro != 1) NominalReseNonHier(n, g, comp.X, comp.DX, rese_opt);
                fprintf(st, "Resemblance matrix between relevés:\n");
                WriteLowerHalf(st, n, comp.DX);
                fprintf(st, "\nTrait ranking criterion:\t%-*.*g\tTrait subset used:\t", sDigits + 6, sDigits, value);
                PrintLabels(st, list);
                fprintf(st, "\n");
            }
            return value;
        },
        [&](int k) { WriteSizeLine(f, kPlainSize, k, search.sizes[k]); });

    fprintf(f, "\n\nTrait subsets with maximum rank:\n%-*s\tSubset of traits\n", sDigits + 6, "TRC");
    WriteRankTail(f, search, kPlainSize, en.KMin(), en.KMax());
    WriteElapsed(f, time0);
    return Finish(result, fs ? &structure : nullptr);
}

ChRankStatus ChRankTDAP() {
    const std::time_t time0 = std::time(nullptr);
    Needs needs;
    needs.environment = true;
    needs.completeEnvironment = opt_ro != 1;
    needs.types = true;
    needs.noNominal = true;
    std::vector<int> eligible;
    int g = 0;
    if (!CheckData(needs, &eligible, &g)) return kChRankRefused;
    InitRndNumberGenerator(static_cast<unsigned long>(std::time(nullptr)));

    RunData d(g, true);
    const int n = d.n, s = d.s, p = d.p;
    Enumeration en(eligible, nMinTraitsChRank, nMaxTraitsChRank);

    WholeFile structure(whichStructures);
    FILE* fs = nullptr;
    if (saveStruct == 'y' && !(fs = structure.Open())) return kChRankFileFailed;
    if (fs) WriteEnvironmentAndTraits(fs, d, "communities", "OTUs", true, false);
    d.BuildCube();
    WorkMatrix<double> Tn(n, p);
    NormalisedTraitMeans(n, s, p, d.W1, eligible, Tn);
    const TraitVariation traitVariation(n, p, static_cast<double**>(Tn));

    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) return kChRankFileFailed;
    WriteTypedOpening(f);
    fprintf(f, "Trait ranking criterion (TRC): %s\n", opt_structInfo[opt_struct - 1]);
    fprintf(f, "Correlation measure: %s\n", opt_roInfo[opt_ro - 1]);
    WritePartitionLines(f);
    WriteOtuResemblanceLines(f, "Gower similarity");
    fprintf(f, "Ranking algorithm: %s\n", RankingAlgorithmLabel());
    WriteTraitLines(f);
    fprintf(f, "Fuzzy transformation: %s\n", fuzzyInfo[fuzzy >= 0 && fuzzy <= 3 ? fuzzy : 0]);
    if (opt_ro == 1)
        fprintf(f, "Resemblance option between communities: %s\n", rese_optInfo[rese_opt - 1]);
    else
        WriteOverfitLine(f);
    if (printRankIntermedResults == 'y') fprintf(f, "\n%-*s\tTrait subset used:\n", sDigits + 6, "TRC");

    const SizeStyle style = {"Ranking criterion value and optimal subset with %d traits: \t", false, true};
    const bool mantel = opt_ro == 1;
    const RunDefinitions defined(n, d.DE);
    Search search(en.KMax(), Rank::kAbsolute, 0.0, Rank::kAbsolute, true);
    Progress progress(en.Total());
    EvaluateSubsets<TdapWork>(
        en, search, g, progress, printRankIntermedResults == 'y' ? f : nullptr, fs,
        [&] { return std::make_unique<TdapWork>(n, s, p, g, fs != nullptr); },
        [&](TdapWork& w, const int* traits, int k, int, FILE* text, FILE* st) {
            Composition& comp = w.comp;
            int* flags = w.flags.data();
            FlagSubset(p, traits, k, flags);
            SubsetColumns<double>(n, p, Tn, flags, w.Tsub);
            NominalReseNonHier(n, p, w.Tsub, w.DT, 6);
            // ro(TE) is a Mantel correlation whatever the measure. Each Mantel value says whether
            // a resemblance it compares is flat; ro(XE.T) is when DX or DE is (a flat DT leaves it
            // ro(XE)).
            const bool flatT = !traitVariation.Varies(traits, k);
            bool flatTE = false, flatXT = false;
            const float roTE = static_cast<float>(Mantel(n, d.DE, w.DT, &flatTE, flatT));
            comp.Build(d, flags, mantel);
            float roXE = 0.0f, roXT = 0.0f;
            double value;
            bool flat = false, explained = false;
            if (mantel) {
                const bool flatX = !ConfigurationHasVariation(n, g, comp.X);
                roXE = static_cast<float>(Mantel(n, d.DE, comp.DX, &flat, flatX));
                roXT = static_cast<float>(Mantel(n, w.DT, comp.DX, &flatXT, flatT || flatX));
                value = PartialCorrelation(roXE, roXT, roTE);
                // T correlated +-1 with DX or DE leaves nothing of it to compare, where the library's
                // partial gives 0: not a value the data define.
                explained = ControlExplains({roXT, roTE});
            } else {
                value = PartialMatrixCorrelation(n, g, nenv, comp.X, d.Ed, opt_ro, overfitFactorPCARegr, w.covariates,
                                                 *w.partial, &flat);
            }
            // ro(TE) and ro(XE) are Mantel values whatever the measure; ro(XT) does not follow E.
            const float roTEshown = defined.Or(roTE, 1, 0, true, flatTE);
            if (mantel) {
                roXE = defined.Or(roXE, 1, 0, true, flat);
                roXT = defined.Or(roXT, 1, 0, false, flatXT);
            }
            value = defined.Or(value, opt_ro, 1, true, flat || explained);
            std::vector<int>& list = w.list;
            list.assign(traits, traits + k);
            if (text) {
                fprintf(text,
                        mantel ? "ro(TE)=\t%g\tro(XE)=\t%g\tro(XT)=\t%g\tro(XE.T)=\t%g\tTraits:\t"
                               : "r(TE)=\t%g\tro(XE)=\t%g\tro(XT)=\t%g\tro(XE.T)=\t%g\tTraits:\t",
                        roTEshown, roXE, roXT, value);
                PrintLabels(text, list);
                fprintf(text, "\n");
            }
            if (st) {
                WriteMeansBlocks(st, d, flags, list, w.T, w.Tsub, w.DT);
                WriteTypeBlocks(st, d, list, comp);
                if (mantel) {
                    fprintf(st, "Resemblance matrix between communities based on composition of types (matrix X):\n");
                    WriteLowerHalf(st, n, comp.DX);
                    fprintf(st, "\nTrait ranking criterion:\tro(TE)=\t%g\tro(XE)=\t%g\tro(XT)=\t%g\tro(XE.T)=\t%g\t%d "
                                "groups\tTraits:\t",
                            roTEshown, roXE, roXT, value, g);
                } else {
                    fprintf(st,
                            opt_ro == 2 ? "\nTrait ranking criterion:\tro(XE.T)=\t%g\t%d groups\tTraits:\t"
                                        : "\nTrait ranking criterion:\tr(XE.T)=\t%g\t%d groups\tTraits:\t",
                            value, g);
                }
                PrintLabels(st, list);
                WriteGroupSizes(st, s, g, comp.C);
                fprintf(st, "\n");
                if (mantel)
                    WriteResiduals(st, n, w.DT, comp.DX, w.residuals,
                                   "\nResemblance matrix between communities (residuals after removing the effect of "
                                   "DT):\n");
            }
            return value;
        },
        [&](int k) { WriteSizeLine(f, style, k, search.sizes[k]); });

    fprintf(f, opt_ro == 1 ? "\n\nTrait subsets with maximum partial Mantel correlation ro(XE.T):\nTRC\toptimal subset "
                             "of traits\n"
               : opt_ro == 2 ? "\n\nTrait subsets with maximum partial congruence in a symmetric Procrustes rotation "
                               "r(XE.T):\nTRC\toptimal subset of traits\n"
                             : "\n\nTrait subsets with maximum partial congruence in RV r(XE.T):\nTRC\toptimal subset of "
                               "traits\n");
    WriteTopList(f, search.top, false, true);
    fprintf(f, "\n\nTrait subsets with maximum rank for each number of traits:\n%-*s\tSubset of traits\n", sDigits + 6,
            "TRC");
    WriteSizeList(f, style, search.sizes, en.KMin(), en.KMax());
    WriteElapsed(f, time0);
    return Finish(result, fs ? &structure : nullptr);
}
