// Stepwise trait-subset search for ro(XE.T): each level tries the subset carried from the level
// before plus each remaining trait, with types cut from a clustering of the OTUs (or the user's
// partition), and carries the best candidate on to the next level.
#include "traits/TNXCHORDSTEP.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "foundation/ConsoleReaders.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlib.h"
#include "matrix/qwlibCluster.h"
#include "matrix/qwlibGroupStats.h"
#include "matrix/qwlibOrdination.h"
#include "matrix/qwlibPartition.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXCHORDCommon.h"
#include "traits/TNXCHORDReport.h"
#include "traits/TNXCHORDSearch.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXGOWER.h"
#include "traits/TNXRESEREP.h"

using namespace chrank;

namespace {

FILE* Console() { return out ? out : stdout; }

// The four statistics of one evaluation, in single precision.
struct Statistics {
    float TE, XE, XT, XET;
    // Those that compare a flat resemblance (Mantel's *flat) set to -999, and ro(XE.T) with any
    // of the three it is formed from: a partial on a flat DT is no value of the data, however the
    // correlations that Mantel gives 0 would combine.
    void MarkFlat(bool te, bool xe, bool xt) {
        constexpr float kUndefined = static_cast<float>(MissingValue);
        if (te) TE = kUndefined;
        if (xe) XE = kUndefined;
        if (xt) XT = kUndefined;
        if (te || xe || xt) XET = kUndefined;
    }
};

// ro(XE.T) = (ro(XE) - ro(XT) ro(TE)) / (sqrt(1 - ro(XT)^2) sqrt(1 - ro(TE)^2)) in single
// precision (PartialCorrelation). With ro(XT) or ro(TE) +-1 (PerfectCorrelation) the trait means
// account for all of DX or of DE, and nothing is left to correlate: -999, which no candidate
// takes as its best.
Statistics Partial(float te, float xe, float xt) {
    const bool explained = PerfectCorrelation(xt) || PerfectCorrelation(te);
    const float xet = explained ? static_cast<float>(MissingValue) : PartialCorrelation(xe, xt, te);
    return {te, xe, xt, xet};
}

// Every buffer the candidates use, allocated once for the run. Types never outnumber the
// columns: at most one per OTU when they are cut from a clustering, nGrPoly[0] otherwise.
struct Workspace {
    int n, s, p, cols;
    float** W;            // communities x OTUs after the data partition
    float** Tn;           // normalised community means of every eligible trait
    float** Tsub;         // the candidate's columns of Tn, the others 0
    double** T = nullptr; // the candidate's means before scaling (structure file only)
    double** DT;
    float** S;            // the candidate's Gower similarity of the OTUs
    float** D2;           // S as squared distances, for the sum-of-squares clustering
    int* monothetic;
    int* labels;
    clusterReport* rep = nullptr;
    float** U;
    float** X;
    double** DX;
    BelongingWork belonging;  // the fuzzy belonging's buffers

    Workspace(int nIn, int sIn, int pIn, int colsIn, bool structure)
        : n(nIn), s(sIn), p(pIn), cols(colsIn), belonging(sIn) {
        W = dim2Dfloat(n, s);
        Tn = dim2Dfloat(n, p);
        Tsub = dim2Dfloat(n, p);
        if (structure) T = dim2Double(n, p);
        DT = dim2Double(n, n);
        S = dim2Dfloat(s, s);
        D2 = dim2Dfloat(s, s);
        monothetic = dim1Dint(s);
        labels = dim1Dint(s);
        if (s > 1) {
            rep = new clusterReport[s - 1]();
            for (int i = 0; i < s - 1; i++) rep[i].members = dim1Dint(s);
        }
        U = dim2Dfloat(s, cols);
        X = dim2Dfloat(n, cols);
        DX = dim2Double(n, n);
    }
    ~Workspace() {
        free2D(W, n);
        free2D(Tn, n);
        free2D(Tsub, n);
        if (T) free2D(T, n);
        free2D(DT, n);
        free2D(S, s);
        free2D(D2, s);
        free1D(monothetic);
        free1D(labels);
        if (rep) {
            for (int i = 0; i < s - 1; i++) free1D(rep[i].members);
            delete[] rep;
        }
        free2D(U, s);
        free2D(X, n);
        free2D(DX, n);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
};

// W from cadat after the data partition `part`, communities in rows and without unit totals:
// into d.W (double, for the trait means) and w.W (float, for X). The partition works on a copy,
// so that the session's data stay as loaded.
void PartitionedComposition(RunData& d, Workspace& w) {
    const int n = d.n, s = d.s;
    float** copy = dim2Dfloat(s, n);
    float** totals = dim2Dfloat(n, 1);
    for (int o = 0; o < s; o++)
        for (int c = 0; c < n; c++) copy[o][c] = cadat[o][c];
    DataPartitionL(s, n, ncst, part, copy, totals);
    for (int c = 0; c < n; c++)
        for (int o = 0; o < s; o++) d.W[c][o] = w.W[c][o] = copy[o][c];
    free2D(totals, n);
    free2D(copy, s);
}

// The numbers of types examined for a subset whose OTUs form nMono monothetic groups: for a
// single trait not on an interval scale its number of states (no more than the groups
// present); otherwise 2, 3, ... while g stays within nMaxCSTGroupsChRank, the groups present
// and, for a single interval trait, its number of states. An empty range when gFrom > gTo.
void TypeRange(const int* traits, int k, int nMono, int* gFrom, int* gTo) {
    int top = nMono;
    if (k == 1) {
        const int t = traits[0];
        if (chtype[t] != 3) {
            *gTo = std::min(onsta[t], nMono);
            *gFrom = std::max(2, *gTo);
            return;
        }
        top = std::min(top, onsta[t]);
    }
    *gFrom = 2;
    *gTo = std::min(top, nMaxCSTGroupsChRank);
}

// The evaluation of the candidates: DT and ro(TE) of the subset, its similarity of the OTUs,
// the types, and for each number of types X, DX and the statistics; every evaluation is offered
// to the first top list.
class Stepwise {
public:
    // w.Tn made: the variation of each trait's means is taken from it.
    Stepwise(RunData& d, Workspace& w, int gUser, FILE* f, FILE* fs)
        : first(100, -DBL_MAX, Rank::kSigned, false), d_(d), w_(w), variation_(w.n, w.p, w.Tn), gUser_(gUser),
          f_(f), fs_(fs) {}

    // traits[0..k-1]: the subset (0-based trait numbers). False when it holds a trait of weight
    // 0 or below, or no number of types gave a value; otherwise its best value over the numbers
    // of types (the first of equal values) and that number.
    bool Evaluate(const int* traits, int k, double* best, int* bestG);

    TopList first;

private:
    bool Cluster();
    void WriteSubsetBlocks(int nMono);
    void WriteTypeBlocks(int g, int* labels, const Statistics& st);

    RunData& d_;
    Workspace& w_;
    TraitVariation variation_;
    int gUser_;
    FILE* f_;
    FILE* fs_;
    std::vector<int> list_;
};

bool Stepwise::Evaluate(const int* traits, int k, double* best, int* bestG) {
    for (int i = 0; i < k; i++)
        if (!(weight[traits[i]] > 0.0f)) return false;
    const int n = w_.n, s = w_.s, p = w_.p;
    d_.Flag(traits, k);
    list_.assign(traits, traits + k);
    for (int c = 0; c < n; c++)
        for (int t = 0; t < p; t++) w_.Tsub[c][t] = d_.flags[t] == 1 ? w_.Tn[c][t] : 0.0f;
    NominalReseNonHier(n, p, w_.Tsub, w_.DT, rese_opt);
    // DT has no variation when the means have none, or when its distances are equal but for the
    // rounding of the single-precision means.
    const bool flatT =
        !variation_.Varies(traits, k) || !SingleDistancesVary(n, w_.DT, MeansRounding(n, p, w_.Tsub, rese_opt));
    bool flatTE = false;
    const float te = static_cast<float>(Mantel(n, d_.DE, w_.DT, &flatTE, flatT));
    gower_similarityAverage(p, s, d_.Sp, w_.S, d_.flags, d_.weights);

    const bool clustered = clusMethPoolCSTs != 0;
    int gFrom = gUser_, gTo = gUser_, nMono = 0;
    int* labels = partition_OTUs;
    if (clustered) {
        labels = w_.labels;
        ClusterIdenticals(s, w_.S, w_.monothetic, &nMono, false);
        TypeRange(traits, k, nMono, &gFrom, &gTo);
        if (nMono < 2 || gFrom > gTo || !Cluster()) gTo = gFrom - 1;
    }
    if (fs_) WriteSubsetBlocks(nMono);

    *best = -DBL_MAX;
    *bestG = 0;
    bool found = false;
    for (int g = gFrom; g <= gTo; g++) {
        if (clustered) GetClusterPartitionNew(s, g, labels, w_.rep, clusMethPoolCSTs);
        if (fuzzy == 3)
            FuzzyBelonging(s, g, w_.S, labels, w_.U, false, w_.belonging);
        else
            CrispBelonging(s, g, labels, w_.U);
        MatrixProdMV(n, s, s, g, w_.W, w_.U, w_.X);
        NominalReseNonHier(n, g, w_.X, w_.DX, rese_opt);
        const bool flatX = !ConfigurationHasVariation(n, g, w_.X);
        bool flatXE = false, flatXT = false;
        const float xe = static_cast<float>(Mantel(n, d_.DE, w_.DX, &flatXE, flatX));
        const float xt = static_cast<float>(Mantel(n, w_.DT, w_.DX, &flatXT, flatT || flatX));
        Statistics st = Partial(te, xe, xt);
        st.MarkFlat(flatTE, flatXE, flatXT);
        if (printRankIntermedResults == 'y') {
            fprintf(f_, "ro(TE)=\t%g\tro(XE)=\t%g\tro(XT)=\t%g\tro(XE.T)=\t%g\t%d groups\t", st.TE, st.XE, st.XT,
                    st.XET, g);
            PrintLabels(f_, list_);
            fprintf(f_, "\n");
        }
        if (fs_) WriteTypeBlocks(g, labels, st);
        first.Offer(st.XET, g, traits, k);
        // A NaN or -999 beats nothing, so it never becomes the candidate's best.
        if (Beats(Rank::kSigned, st.XET, *best)) {
            *best = st.XET;
            *bestG = g;
            found = true;
        }
    }
    return found;
}

// The OTUs clustered on the candidate's similarity into w_.rep: sums of squares on the squared
// distances 2(1 - S) (S itself stays the similarity that the belonging reads), otherwise
// linkage on the similarities. False when the clustering wrote no records.
bool Stepwise::Cluster() {
    const int s = w_.s;
    if (clusMethPoolCSTs == 3) {
        CorrToSqDist(s, w_.S, w_.D2);
        return SumSqCluster(s, w_.D2, w_.rep, true);
    }
    return LinkageCluster(s, w_.S, w_.rep, false, false, clusMethPoolCSTs, true);
}

void Stepwise::WriteSubsetBlocks(int nMono) {
    const int n = w_.n, s = w_.s, p = w_.p;
    CommunityWeightedMeans(n, s, p, d_.W, csm_Float, d_.flags, w_.T);
    fprintf(fs_, "\nPooled performance matrix (%d relevés x %d traits):\n", n, p);
    PrintMatrix(fs_, n, p, w_.T, sDigits, 0);
    fprintf(fs_, "\nPooled performance matrix (%d relevés x %d normalized traits):\n", n, p);
    PrintMatrix(fs_, n, p, w_.Tsub, sDigits, 0);
    fprintf(fs_, "Resemblance matrix between relevés:\n");
    WriteLowerHalf(fs_, n, w_.DT);
    WriteSubsetSimilarity(fs_, s, list_, w_.S);
    if (clusMethPoolCSTs != 0)
        fprintf(fs_, "\nWIth this trait subset there are %d monothetic population groups.\n", nMono);
}

void Stepwise::WriteTypeBlocks(int g, int* labels, const Statistics& st) {
    const int n = w_.n, s = w_.s;
    fprintf(fs_, "\nPartition vector of %d populations in %d groups:\n", s, g);
    PrintVectorTab(fs_, s, labels, nullptr);
    fprintf(fs_, "\nDegrees of belonging of %d populations (rows) in %d groups (columns):\n", s, g);
    PrintMatrix(fs_, s, g, w_.U, sDigits, 0);
    fprintf(fs_, "\nPooled performance matrix (%d relevés x %d population groups):\n", n, g);
    PrintMatrix(fs_, n, g, w_.X, sDigits, 0);
    fprintf(fs_, "Resemblance matrix between relevés:\n");
    WriteLowerHalf(fs_, n, w_.DX);
    fprintf(fs_, "\nTrait ranking criterion:\tro(TE)=\t%g\tro(XE)=\t%g\tro(XT)=\t%g\tro(XE.T)=\t%g\t%d groups\t", st.TE,
            st.XE, st.XT, st.XET, g);
    PrintLabels(fs_, list_);
    fprintf(fs_, "\n");
}

// The options of the run, after the lines that explain the summary standing above them.
void WriteHeader(FILE* f, int gMax) {
    fprintf(f, "\nThe trait subsets listed above are optimal for each level starting with one trait,\n");
    fprintf(f, "followed by the corresponding optimal number of groups and ranking criterion values for the optimal "
               "subsets.\n");
    fprintf(f, "\n\n");
    WriteOpening(f);
    fprintf(f, "Ranking criterion: %s\n", OptionLabel(opt_structInfo, opt_struct - 1));
    fprintf(f, "Pooling of populations: %s\n", OptionLabel(poolCSToptInfo, poolCSTopt - 1));
    if (poolCSTopt == 2)
        fprintf(f, "Clustering method defining types: %s\n", OptionLabel(clusMethInfo, clusMethPoolCSTs));
    fprintf(f, "Gower similarity index modified to count matching absences in binary traits? %s\n",
            YesNotInfo[countDoubleAbsence ? 1 : 0]);
    // The search is stepwise whatever the algorithm the settings name for the exhaustive searches.
    fprintf(f, "Ranking algorithm: %s\n", rankingAlgorithmInfo[0]);
    bool anyZero = false;
    for (int t = 0; t < nch; t++)
        if (weight[t] == 0.0f) anyZero = true;
    if (!anyZero)
        fprintf(f, "All traits were considered in the computation of Gower similarity index between populations.\n");
    fprintf(f, "Maximum number of types examined: %d\n", gMax);
    fprintf(f, "Fuzzy transformation: %s\n", OptionLabel(fuzzyInfo, fuzzy));
    fprintf(f, "Resemblance option between communities: %s\n", rese_optInfo[rese_opt - 1]);
    if (printRankIntermedResults == 'y') fprintf(f, "\n%-*s\tGroups\tTrait subset used:\n", sDigits + 6, "TRC");
}

}  // namespace

void ChRankAssemblyRulesStepwise() {
    const std::time_t time0 = std::time(nullptr);
    if (rese_opt < 6 || rese_opt > 10) {
        fprintf(Console(),
                "\nResemblance option %d between communities is not computed by the stepwise search: choose 6 to "
                "10.\n",
                rese_opt);
        return;
    }
    Needs needs;
    needs.environment = true;
    std::vector<int> eligible;
    int unused = 0;
    if (!CheckData(needs, &eligible, &unused)) return;
    const bool user = clusMethPoolCSTs == 0;
    const int gUser = user && nGrPoly ? nGrPoly[0] : 0;
    if (user && (!partition_OTUs || gUser < 2)) {
        fputs("\nThe partition of OTUs into types has fewer than 2 groups: no subset of traits can be evaluated.\n",
              Console());
        return;
    }

    RunData d(0, true);
    const int n = d.n, s = d.s, p = d.p;
    const int kMin = std::max(1, nMinTraitsChRank);
    const int kMax = std::min(nMaxTraitsChRank, static_cast<int>(eligible.size()));

    WholeFile structure(whichStructures);
    FILE* fs = nullptr;
    if (saveStruct == 'y' && !(fs = structure.Open())) RaiseError(TNX_FAIL_TO_OPEN);
    Workspace w(n, s, p, std::max(s, gUser), fs != nullptr);
    PartitionedComposition(d, w);
    NormalisedTraitMeans(n, s, p, d.W, eligible, w.Tn);
    d.BuildCube();
    if (fs) WriteEnvironmentAndTraits(fs, d, "relevés", "populations", true, false);

    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    WriteHeader(f, user ? gUser : nMaxCSTGroupsChRank);

    const SizeStyle style = {"Ranking criterion values, groups and optimal subset with %d traits: \t", true, false};
    // Level records start at -DBL_MAX; the second top list takes each candidate's best.
    Search search(kMax, Rank::kSigned, -DBL_MAX, Rank::kSigned, true);
    Stepwise step(d, w, gUser, f, fs);
    int64_t total = 0;
    for (int k = kMin; k <= kMax; k++) total += p - k + 1;
    Progress progress(total);
    // The trait order (0-based numbers): its first k - 1 entries are the traits carried into
    // level k; a candidate is exchanged into position k - 1 for its evaluation.
    std::vector<int> order(p);
    std::iota(order.begin(), order.end(), 0);
    bool carried = true;
    for (int k = kMin; k <= kMax; k++) {
        int bestAt = -1;
        for (int j = k - 1; carried && j < p; j++) {
            progress.Step(k);
            std::swap(order[k - 1], order[j]);
            double value = -DBL_MAX;
            int g = 0;
            if (step.Evaluate(order.data(), k, &value, &g)) {
                if (Beats(Rank::kSigned, value, search.sizes[k].best.value)) bestAt = j;
                search.Record(k, value, g, order.data());
            }
            std::swap(order[k - 1], order[j]);
        }
        WriteSizeLine(f, style, k, search.sizes[k]);
        // The next level extends this level's best subset; a level without one leaves nothing
        // to extend, and the levels above it stay empty.
        if (bestAt >= 0)
            std::swap(order[k - 1], order[bestAt]);
        else
            carried = false;
    }

    fprintf(f, "\n\nTrait subsets and number of types with maximum partial Mantel correlation ro(XE.T):\nSEF\tn "
               "groups\toptimal subset of traits\n");
    WriteTopList(f, step.first, true, false);
    fprintf(f, "\n\nTrait subsets with maximum partial Mantel correlation ro(XE.T) (only optimal number of types "
               "presented):\nSEF\tn groups\toptimal subset of traits\n");
    WriteTopList(f, search.top, true, false);
    fprintf(f, "Elapsed time: %g seconds\n", std::difftime(std::time(nullptr), time0));
    if (Finish(result, fs ? &structure : nullptr, SizeSummary(search.sizes, kMin, kMax)) != kChRankDone)
        RaiseError(TNX_FAIL_TO_PRINT);
}
