// Functional analysis: the computation behind community-structures letter H (PFTs_ScalingUp)
// and the trait-average scaling-up (FrequencyTraitsScalingUp, and its older form on the trait
// codes, FrequencyTraitsScalingUp_Old). The numbers are computed first,
// then the report is composed in memory and put in place whole.
#include "traits/TNXRESE.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include <unistd.h>

#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/qwlib.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXGOWER.h"
#include "traits/TNXHIERInternal.h"
#include "traits/TNXPERMTEST.h"
#include "traits/TNXRESEREP.h"
#include "traits/TNXWHOLE.h"

namespace {

// ---------------------------------------------------------------------------------------
// Writing files whole.
// ---------------------------------------------------------------------------------------

// The random-data file, written by the replacing writer: under a temporary name of its own, put
// in place when the test is over, so that a run that stops half-way leaves the file saved earlier
// as it was and a run never touches another run's file. A file that cannot be created raises code
// 4 after the opener's message. A failed write or rename is the report's failure: the message
// names the file and the system's reason, and code 3 (a write) or code 4 (a rename) ends the
// command before the report is written, so nothing of the run is saved. While a run is under way
// (RunFiles) the file is one of the run's set instead, put in place with the report and the track
// file, and the set's commit gives the same messages and codes.
class RandomDataFile {
public:
    FILE* Open(const char* dir, const char* name) {
        writer_ = std::make_unique<RunFileWriter>(std::string(dir ? dir : "") + name);
        return writer_->OpenOrRaise();
    }
    // reason: the engine's for a write that failed (on whichever thread wrote), named here, as the
    // writer names a failure of this thread's.
    void Commit(int reason) {
        if (!writer_) return;
        if (reason != 0) {
            ExplainFileFailure("write", writer_->Target(), reason);
            RaiseError(TNX_FAIL_TO_PRINT);
        }
        writer_->CommitOrExplain();
    }

private:
    std::unique_ptr<RunFileWriter> writer_;
};

// ---------------------------------------------------------------------------------------
// Environment.
// ---------------------------------------------------------------------------------------

// DE from the environmental variables and E as the engine receives it (standardised where the
// distance is taken on standardised variables, raw otherwise). Euclidean distance for
// quantitative variables in the same units; standardised (each variable centred, at unit sum
// of squares) Euclidean distance for different units, binary variables, or several types
// without a nominal one; 1 - Gower similarity otherwise. Missing values are skipped by every
// path.
void EnvironmentResemblance(double** DE, double** E) {
    float** work = dim2Dfloat(ncsm, nenv);
    for (int c = 0; c < ncsm; c++)
        for (int v = 0; v < nenv; v++) work[c][v] = env[c][v];
    const bool standardised = optEnvVarType == 2 || optEnvVarType == 4 || (optEnvVarType == 5 && temEnvQual == 0);
    if (standardised) {
        CorrAdj(ncsm, nenv, work, work);
        EucliDistMV(ncsm, nenv, work, DE);
    } else if (optEnvVarType == 1) {
        // Raw values: differences and squares in double, so that any value single precision
        // holds gives a finite distance.
        for (int c = 0; c < ncsm; c++)
            for (int v = 0; v < nenv; v++) E[c][v] = env[c][v];
        EucliDistMV(ncsm, nenv, E, DE);
    } else {
        // The Gower path ranks ordinal variables in its input: on the work copy only.
        float** ranked = dim2Dfloat(ncsm, nenv);
        for (int c = 0; c < ncsm; c++)
            for (int v = 0; v < nenv; v++) ranked[c][v] = work[c][v];
        GowerMVOpt(ncsm, nenv, envVarType, ranked, DE, nullptr, nullptr, countDoubleAbsence);
        ProbToDissim(ncsm, DE, DE);
        free2D(ranked, ncsm);
    }
    for (int c = 0; c < ncsm; c++)
        for (int v = 0; v < nenv; v++) E[c][v] = work[c][v];
    free2D(work, ncsm);
}

bool HasMissing(int rows, int cols, float** m) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++)
            if (IsMissing(m[i][j])) return true;
    return false;
}

// The refusals of the analysis, before anything is computed or opened.
bool Analysable() {
    if (ncsm < 2) {
        fputc(7, stdout);
        fprintf(stderr, "\nThe functional analysis needs at least 2 communities.\n");
        return false;
    }
    if ((opt_ro == 2 || opt_ro == 3) &&
        (HasMissing(ncsm, nenv, env) || (includePhylogeny && HasMissing(tcst, nch, csm_Float)))) {
        fputc(7, stdout);
        fprintf(stderr, "\nProcrustes and RV congruences cannot be computed with missing values in matrix E "
                        "(or, with the phylogeny, in matrix B).\n");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The analysis: every working matrix, released when the analysis ends (also when an error
// code travels through).
// ---------------------------------------------------------------------------------------

struct Analysis {
    int n = ncsm, s = tcst, p = nch, v = nenv, q = 0, k = 0;
    FunctionalResults r;

    double** E = nullptr;
    double** W2 = nullptr;
    double** Y = nullptr;
    double** Z = nullptr;
    double** DY = nullptr;
    double** DZ = nullptr;
    float** Bsel = nullptr;
    double*** Sp = nullptr;
    int* types = nullptr;
    float* ranges = nullptr;
    float* weights = nullptr;

    Analysis() {
        r.selected = dim1Dint(p);
        r.W = dim2Dfloat(n, s);
        r.W1 = dim2Double(n, s);
        r.DE = dim2Double(n, n);
        r.D = dim1Double(n);
        r.Rf = dim1Double(n);
        r.FR = dim1Double(n);
        r.Rp = dim1Double(n);
        r.PR = dim1Double(n);
        E = dim2Double(n, v);
        W2 = dim2Double(n, s);
        Y = dim2Double(n, s);
        Z = dim2Double(n, s);
        DY = dim2Double(n, n);
        DZ = dim2Double(n, n);
    }
    ~Analysis() {
        free1D(r.selected);
        free2D(r.W, n);
        free2D(r.W1, n);
        free2D(r.DE, n);
        free1D(r.D);
        free1D(r.Rf);
        free1D(r.FR);
        free1D(r.Rp);
        free1D(r.PR);
        free2D(r.phylScores, s);
        free2D(r.Q, s);
        free2D(r.P, n);
        free2D(r.DP, n);
        free2D(r.T, n);
        free2D(r.Tn, n);
        free2D(r.DT, n);
        free2D(r.S, s);
        free2D(r.U, s);
        free2D(r.C, s);
        free2D(r.X, n);
        free2D(r.Xc, n);
        free1D(r.labels);
        free1D(r.typeSizes);
        free1D(r.partition);
        free1D(r.monothetic);
        free2D(r.Smono, r.nMonothetic);
        free2D(r.A, k);
        free2D(E, n);
        free2D(W2, n);
        free2D(Y, n);
        free2D(Z, n);
        free2D(DY, n);
        free2D(DZ, n);
        free2D(Bsel, s);
        free3D(Sp, s, s);
        free1D(types);
        free1D(ranges);
        free1D(weights);
    }
    Analysis(const Analysis&) = delete;
    Analysis& operator=(const Analysis&) = delete;

    void Compositions();
    void Phylogeny();
    void Traits();
    int Cluster();
    void Types();
    void Diversity();
    void Test();
};

// W in communities x OTUs: raw, at unit totals (W1, for T and the report), and W2 (at unit
// totals when the user asked for it) for everything else; then the Beals-smoothed Y and Z and
// the Gini-Simpson index.
void Analysis::Compositions() {
    for (int c = 0; c < n; c++)
        for (int o = 0; o < s; o++) {
            r.W[c][o] = cadat[o][c];
            r.W1[c][o] = W2[c][o] = cadat[o][c];
        }
    UnitSumRowsAdjMV(n, s, r.W1, r.W1);
    if (optUnitTotalAdjust2) UnitSumRowsAdjMV(n, s, W2, W2);
    BealsSmoothing(n, s, W2, W2, Y, BealsIncludeOpt != 0, 1, false);
    BealsSmoothing(n, s, W2, W2, Z, BealsIncludeOpt != 0, 2, true);
    if (opt_ro == 1) {
        NominalReseNonHier(n, s, Y, DY, rese_opt);
        NominalReseNonHier(n, s, Z, DZ, rese_opt);
    }
    for (int c = 0; c < n; c++) r.D[c] = RaoIndex(s, W2[c], nullptr, false, false);
}

// The exponent e of the power of two by which the single-precision copy of the s x s distances d
// is multiplied: 0 while the largest lies from 2^-50 to 2^50, where it and the squares the
// principal coordinates form of it stay normal numbers of single precision (a phylogeny in any
// usual units, which the import brings to at most 1); otherwise the one that brings the largest
// into [1, 2).
int SinglePrecisionExponent(int s, double** d) {
    double largest = 0.0;
    for (int i = 0; i < s; i++)
        for (int j = 0; j < s; j++) largest = std::fmax(largest, std::fabs(d[i][j]));
    if (!(largest > 0.0) || !std::isfinite(largest) || (largest >= 0x1p-50 && largest <= 0x1p50)) return 0;
    return -std::ilogb(largest);
}

// Gower similarity of the phylogenetic variables (when the phylogeny is given as variables),
// the principal coordinates of the OTUs, their fuzzy belonging Q to the taxa, P = W2 Q, the
// Rao entropy over the phylogeny and DP.
void Analysis::Phylogeny() {
    q = nTaxa;
    if (phylogenyMatrixType == 2) {
        // Ordinal columns are ranked by the Gower routine: on a copy, so that the report
        // prints the phylogeny as it was given.
        float** copy = dim2Dfloat(s, nClados);
        for (int i = 0; i < s; i++)
            for (int j = 0; j < nClados; j++) copy[i][j] = phylogenyData[i][j];
        GowerMVOpt(s, nClados, phylogenyVarType, copy, phylogenyRese, nullptr, nullptr, 0);
        free2D(copy, s);
    }
    const bool dissimilarity = phylogenyMatrixType == 3;

    // The principal coordinates come from a single-precision copy, which holds 0 for distances
    // below about 1e-45: distances are copied times 2^e (SinglePrecisionExponent), which leaves
    // their shape, and every comparison of the coordinates, as it was; the scores are then those
    // of the phylogeny times 2^e, which the report takes back.
    r.phylScoresExponent = dissimilarity ? SinglePrecisionExponent(s, phylogenyRese) : 0;
    float** rese = dim2Dfloat(s, s);
    for (int i = 0; i < s; i++)
        for (int j = 0; j < s; j++)
            rese[i][j] = static_cast<float>(std::ldexp(phylogenyRese[i][j], r.phylScoresExponent));
    float** vec = dim2Dfloat(s, s);
    float** scores = dim2Dfloat(s, s);
    float* eig = dim1Dfloat(s);
    bool ok = true;
    OrdinationLib(s, s, nullptr, rese, vec, scores, &r.nPhylAxes, eig, &ok, 1, dissimilarity ? 3 : 5, 1);
    r.phylScores = dim2Dfloat(s, s);
    for (int a = 0; a < r.nPhylAxes; a++)
        for (int i = 0; i < s; i++) r.phylScores[i][a] = scores[a][i];
    free1D(eig);
    free2D(scores, s);
    free2D(vec, s);
    free2D(rese, s);

    r.Q = dim2Double(s, q);
    if (fuzzyPhyl == 1)
        FuzzyBelonging(s, q, phylogenyRese, partition_OTUs_Phyl, r.Q, dissimilarity);
    else
        CrispBelonging(s, q, partition_OTUs_Phyl, r.Q);
    r.P = dim2Double(n, q);
    MatrixProdMV(n, s, s, q, W2, r.Q, r.P);
    for (int c = 0; c < n; c++) r.Rp[c] = RaoIndex(s, W2[c], phylogenyRese, dissimilarity, sqrtDissimOpt_RaoPhyl != 0);
    r.DP = dim2Double(n, n);
    NominalReseNonHier(n, q, r.P, r.DP, rese_opt);
}

// The pass over the selected traits: T, its normalised columns, DT and the similarity S of
// the OTUs over the selected traits.
void Analysis::Traits() {
    RangeStates(p, s, csm_Float, chtype, chrange);
    types = dim1Dint(p);
    ranges = dim1Dfloat(p);
    weights = dim1Dfloat(p);
    for (int t = 0; t < p; t++) {
        types[t] = chtype[t];
        ranges[t] = chrange[t];
        weights[t] = weight[t];
        r.selected[t] = weight[t] > 0.0f ? 1 : 0;
        r.nSelected += r.selected[t];
    }
    Bsel = dim2Dfloat(s, p);
    for (int i = 0; i < s; i++)
        for (int t = 0; t < p; t++) Bsel[i][t] = r.selected[t] ? csm_Float[i][t] : 0.0f;
    Sp = dim3Double(s, s, p);
    gower_similarityPartial(p, csm_Float, s, Sp, types, ranges, weights, countDoubleAbsence);
    if (r.nSelected == 0) return;

    r.T = dim2Double(n, p);
    r.Tn = dim2Double(n, p);
    r.DT = dim2Double(n, n);
    CommunityWeightedMeans(n, s, p, r.W1, Bsel, r.selected, r.T);
    NormalizeColsMV(n, p, r.T, r.Tn);
    EucliDistMV(n, p, r.Tn, r.DT);
    r.S = dim2Dfloat(s, s);
    gower_similarityAverage(p, s, Sp, r.S, weights);
}

// Crisp and fuzzy belonging of the OTUs to their types, X and Xc, the type labels and sizes
// and the average traits of each type.
// Types built by clustering: identical OTUs are merged into monothetic groups, one
// representative of each is kept, the groups are clustered once and the tree is cut at k
// groups; every OTU takes the type of its group. Returns the number of candidate groups.
int Analysis::Cluster() {
    const bool distance = reseCSTopt != 1;
    r.clustered = true;
    r.monothetic = dim1Dint(s);
    ClusterIdenticals(s, r.S, r.monothetic, &r.nMonothetic, distance);
    const int g = r.nMonothetic;
    r.Smono = dim2Dfloat(g, g);
    TrimRese(s, g, r.monothetic, r.S, r.Smono);
    r.partition = dim1Dint(s);
    int first = 0;
    while (first < p && r.selected[first] != 1) first++;
    if (r.nSelected == 1 && chtype[first] != 3) {
        // The states of a single trait that is not on an interval scale are the types.
        r.nTypes = g;
        for (int i = 0; i < s; i++) r.partition[i] = r.monothetic[i];
        return g;
    }
    if (g < 2 || r.nTypes < 2 || r.nTypes > g) return g;
    clusterReport* rep = new clusterReport[g - 1]();
    for (int i = 0; i < g - 1; i++) rep[i].members = dim1Dint(g);
    if (clusMethPoolCSTs == 3) {
        float** d = dim2Dfloat(g, g);
        if (distance) {
            for (int i = 0; i < g; i++)
                for (int j = i; j < g; j++) d[i][j] = r.Smono[i][j];
        } else {
            CorrToSqDist(g, r.Smono, d);
        }
        SumSqCluster(g, d, rep, !distance);
        free2D(d, g);
    } else {
        LinkageCluster(g, r.Smono, rep, distance, false, clusMethPoolCSTs, true);
    }
    int* groups = dim1Dint(g);
    GetClusterPartitionNew(g, r.nTypes, groups, rep, clusMethPoolCSTs);
    for (int i = 0; i < s; i++) r.partition[i] = groups[r.monothetic[i] - 1];
    free1D(groups);
    for (int i = 0; i < g - 1; i++) free1D(rep[i].members);
    delete[] rep;
    return g;
}

void Analysis::Types() {
    k = r.nTypes;
    int* partition = r.partition ? r.partition : partition_OTUs;
    r.C = dim2Double(s, k);
    r.U = dim2Double(s, k);
    CrispBelonging(s, k, partition, r.C);
    FuzzyBelonging(s, k, r.S, partition, r.U, false);
    r.X = dim2Double(n, k);
    r.Xc = dim2Double(n, k);
    MatrixProdMV(n, s, s, k, W2, r.U, r.X);
    MatrixProdMV(n, s, s, k, W2, r.C, r.Xc);
    r.labels = dim1Dint(s);
    CountGroupsNew(s, partition, &r.nLabels, r.labels);
    r.typeSizes = dim1Dint(k);
    r.A = dim2Dfloat(k, p);
    for (int t = 0; t < k; t++) {
        for (int o = 0; o < s; o++)
            if (r.C[o][t] == 1.0) r.typeSizes[t]++;
        // The average over the members whose value is present; -999 where none is.
        for (int j = 0; j < p; j++) {
            double sum = 0.0;
            int present = 0;
            for (int o = 0; o < s; o++) {
                if (r.C[o][t] != 1.0 || IsMissing(csm_Float[o][j])) continue;
                sum += csm_Float[o][j];
                present++;
            }
            r.A[t][j] = present > 0 ? static_cast<float>(sum / present) : -999.0f;
        }
    }
}

void Analysis::Diversity() {
    for (int c = 0; c < n; c++) {
        r.Rf[c] = RaoIndex(s, W2[c], r.S, false, sqrtDissimOpt_RaoTraits != 0);
        r.FR[c] = r.D[c] - r.Rf[c];
        if (includePhylogeny) r.PR[c] = r.D[c] - r.Rp[c];
    }
}

// The permutation test. With the tests switched off the engine runs a single iteration, which
// gives the observed statistics.
void Analysis::Test() {
    RandomDataFile rndData;
    PermTest_FunctionalPhyl_Correl_Input in{};
    in.iterations = optRndTests ? niter : 1;
    in.nTraits = p;
    in.traitSelected = r.selected;
    in.nOTUs = s;
    in.nTypes = k;
    in.nTaxa = includePhylogeny ? q : 0;
    in.nEnv = v;
    in.nCommunities = n;
    in.nPhylAxes = includePhylogeny ? r.nPhylAxes : 0;
    in.B = Bsel;
    in.Sb = r.S;
    in.phylAxes = includePhylogeny ? r.phylScores : nullptr;
    in.Sf = includePhylogeny ? phylogenyRese : nullptr;
    in.E = E;
    in.U = fuzzy == 3 ? r.U : r.C;
    in.Q = includePhylogeny ? r.Q : nullptr;
    in.W = W2;
    in.DE = r.DE;
    in.DY = DY;
    in.DZ = DZ;
    in.Y = Y;
    in.Z = Z;
    in.reseOpt = rese_opt;
    in.optRo = opt_ro;
    in.overfitFactor = overfitFactorPCARegr;
    in.saveRndData = saveRndData == 'y';
    in.weightedNullModel = optWeightedNullModel != 0;
    in.includePhylogeny = includePhylogeny;
    in.phylIsDissimilarity = phylogenyMatrixType == 3;
    in.sqrtRaoTraits = sqrtDissimOpt_RaoTraits != 0;
    in.sqrtRaoPhyl = sqrtDissimOpt_RaoPhyl != 0;
    in.restriction = optRestrictPermutNullModel;
    in.nestingGroups = nestingMembershipOTUs;
    in.handBack = false;
    in.twoTailed = twoTailedTestMantel != 0;
    in.outT = nullptr;
    in.outP = includePhylogeny ? r.P : nullptr;
    // The file is opened only when it is to be written: a run that does not save it leaves a
    // file saved earlier as it was.
    in.rndDataFile = in.saveRndData ? rndData.Open(volumeName, whichRndData) : nullptr;

    const time_t time0 = time(nullptr);
    const bool ok = PermTest_FunctionalPhyl_Correl(&in);
    r.elapsedSeconds = difftime(time(nullptr), time0);
    rndData.Commit(in.rndDataError);
    if (!ok) return;
    r.tested = optRndTests;
    for (int i = 0; i < kPermTestStats; i++) {
        r.observed[i] = in.observed[i];
        r.probability[i] = in.probability[i];
    }
}

}  // namespace

bool PFTs_ScalingUp() {
    if (!Analysable()) return false;
    opt_struct = 9;
    optUnitTotalAdjust1 = true;
    nMinCSTGroupsChRank = nMaxCSTGroupsChRank = nGrPoly[0];
    int m = 0;
    for (int j = 0; j < nch; j++) m += weight[j] > 0.0f;
    nMinTraitsChRank = nMaxTraitsChRank = m;
    SessionFileName(whichRndData, rndDataExt);

    Analysis a;
    a.r.nTypes = nGrPoly[0];
    EnvironmentResemblance(a.r.DE, a.E);
    InitRndNumberGenerator(rseed);
    a.Compositions();
    if (includePhylogeny) a.Phylogeny();
    a.Traits();
    if (a.r.nSelected > 0) {
        // The candidate groups: the OTUs themselves (each may form its own type) or, with types
        // built by clustering, the monothetic groups; k is examined when 2 <= k <= candidates.
        const int candidates = clusMethPoolCSTs != 0 ? a.Cluster() : tcst;
        a.r.typesExamined = a.r.nTypes >= 2 && a.r.nTypes <= candidates;
        if (a.r.typesExamined) {
            a.Types();
            a.Diversity();
            a.Test();
        }
    }

    MemoryReport report;
    if (!report.stream()) RaiseUnwritten(volumeName, whichPrinda);
    const bool written = WriteFunctionalReport(report.stream(), a.r);
    if (!report.Close() || !written) RaiseUnwritten(volumeName, whichPrinda);
    PutWhole(volumeName, whichPrinda, prindaMode, report.data(), report.size());
    return true;
}

namespace {

// The working matrices of the trait-average scaling-up.
struct TraitAverages {
    int n = ncsm, s = tcst, p = nch;
    double** DE = dim2Double(n, n);
    double** E = dim2Double(n, nenv);
    double** W = dim2Double(n, s);
    float** Bsel = dim2Dfloat(s, p);
    int* selected = dim1Dint(p);
    double** T = dim2Double(n, p);
    double** Tn = dim2Double(n, p);
    double** DT = dim2Double(n, n);
    ~TraitAverages() {
        free2D(DE, n);
        free2D(E, n);
        free2D(W, n);
        free2D(Bsel, s);
        free1D(selected);
        free2D(T, n);
        free2D(Tn, n);
        free2D(DT, n);
    }
};

void TraitAveragesReport(FILE* f, const TraitAverages& a, int m, double roTE) {
    ReportOpening(f);
    fprintf(f, "Trait set:        ");
    for (int j = 0; j < nch; j++)
        if (weight[j] > 0.0f) fprintf(f, "%-3s", chLabel[j]);
    TraitStatesAndTypes(f);
    fprintf(f, "\nTrait weight:     ");
    for (int j = 0; j < nch; j++) fprintf(f, "%-3.0g", weight[j]);
    fprintf(f, "\nTrait-based approach: %s\n", OptionLabel(traitBasedOptInfo, traitBasedOpt - 1));
    fprintf(f, optUnitTotalAdjust1
                   ? "Community data matrix adjusted to unit totals prior to trait convergence evaluation.\n"
                   : "Community data matrix NOT adjusted to unit totals prior to trait convergence evaluation.\n");
    if (poolCSTopt == 2) {
        fprintf(f, "Clustering method defining types: %s\n", OptionLabel(clusMethInfo, clusMethPoolCSTs));
        fprintf(f, "Resemblance function between OTUs: %s\n", OptionLabel(reseCSToptInfo, reseCSTopt - 1));
        if (reseCSTopt == 1)
            fprintf(f, "Gower index modified to count matching absences in binary traits? %s\n",
                    OptionLabel(YesNotInfo, countDoubleAbsence ? 1 : 0));
    }
    bool someZero = false;
    for (int j = 0; j < nch; j++) someZero = someZero || weight[nchor[j] - 1] == 0.0f;
    if (!someZero) fprintf(f, "All traits were considered in the scaling up to community level.\n");
    fprintf(f, "Resemblance option between communities: %s\n", OptionLabel(rese_optInfo, rese_opt - 1));
    fprintf(f, "\nNumber of communities: %d\n", ncsm);
    fprintf(f, "Community labels: ");
    for (int c = 0; c < ncsm; c++) fprintf(f, "%-6s", reLabel[c]);
    fprintf(f, "\n");
    fprintf(f, "\nTrait matrix with %d OTUs by %d traits: \n", tcst, nch);
    PrintMatrix(f, tcst, nch, a.Bsel, sDigits, 0);
    fprintf(f, "\n");
    if (m >= 1) {
        fprintf(f, "\nTraits:\t");
        for (int j = 0; j < nch; j++)
            if (a.selected[j] == 1) fprintf(f, "%s\t", chLabel[j]);
        fprintf(f, "\n");
        fprintf(f, optUnitTotalAdjust1
                       ? "\nMatrix with trait averages at community level (%d communities x %d traits):\n"
                       : "\nMatrix with trait totals at community level (%d communities x %d traits):\n",
                ncsm, nch);
        PrintMatrix(f, ncsm, nch, a.T, sDigits, 0);
        fprintf(f, "\n");
        fprintf(f, "\nMatrix with normalized traits at community level (%d communities x %d traits adjusted to unit "
                   "length):\n",
                ncsm, nch);
        PrintMatrix(f, ncsm, nch, a.Tn, sDigits, 0);
        fprintf(f, "\n");
        fprintf(f, "Resemblance matrix between communities based on selected traits (matrix T):\n");
        PrintUpperTriangle(f, ncsm, a.DT);
        fprintf(f, "\nResemblance matrix between %d communities based on %d environmental variables:\n", ncsm, nenv);
        PrintUpperTriangle(f, ncsm, a.DE);
        fprintf(f, "\nTrait ranking criterion:\tro(TE)=\t%g\tTraits:\t", roTE);
        for (int j = 0; j < nch; j++)
            if (a.selected[j] == 1) fprintf(f, "%-2s\t", chLabel[j]);
        fprintf(f, "\n");
    }
    fprintf(f, "\n");
}

}  // namespace

bool FrequencyTraitsScalingUp() {
    if (ncsm < 2) {
        fputc(7, stdout);
        fprintf(stderr, "\nThe scaling-up of trait averages needs at least 2 communities.\n");
        return false;
    }
    opt_struct = 9;
    optRndTests = true;
    optUnitTotalAdjust1 = true;
    optCoVariable = false;
    nMinCSTGroupsChRank = nMaxCSTGroupsChRank = nGrPoly[0];

    TraitAverages a;
    EnvironmentResemblance(a.DE, a.E);
    InitRndNumberGenerator(rseed);
    for (int c = 0; c < a.n; c++)
        for (int o = 0; o < a.s; o++) a.W[c][o] = cadat[o][c];
    int m = 0;
    for (int j = 0; j < nch; j++) {
        a.selected[j] = weight[j] > 0.0f ? 1 : 0;
        m += a.selected[j];
    }
    nMinTraitsChRank = nMaxTraitsChRank = m;
    for (int i = 0; i < a.s; i++)
        for (int j = 0; j < a.p; j++) a.Bsel[i][j] = a.selected[j] ? csm_Float[i][j] : 0.0f;

    // The one block of the selection of all traits of weight above 0. The means do not depend
    // on the scaling of W, so the unit-total copy of W is not needed.
    double roTE = 0.0;
    if (m >= 1) {
        CommunityWeightedMeans(a.n, a.s, a.p, a.W, a.Bsel, a.selected, a.T);
        NormalizeColsMV(a.n, a.p, a.T, a.Tn);
        EucliDistMV(a.n, a.p, a.Tn, a.DT);
        roTE = a.n < 3 ? TwoCommunityCongruence(a.DE[0][1], a.DT[0][1]) : MatrixCorr(a.n, a.DE, a.DT);
    }

    MemoryReport report;
    if (!report.stream()) RaiseUnwritten(volumeName, whichPrinda);
    TraitAveragesReport(report.stream(), a, m, roTE);
    if (!report.Close()) RaiseUnwritten(volumeName, whichPrinda);
    PutWhole(volumeName, whichPrinda, prindaMode, report.data(), report.size());

    // The normalised T, traits in rows.
    MemoryReport hier;
    if (!hier.stream()) RaiseUnwritten(volumeName, whichHier);
    fprintf(hier.stream(), "%d\t%d\n", nch, ncsm);
    for (int j = 0; j < nch; j++) {
        for (int c = 0; c < ncsm; c++) fprintf(hier.stream(), "%g\t", a.Tn[c][j]);
        fprintf(hier.stream(), "\n");
    }
    if (!hier.Close()) RaiseUnwritten(volumeName, whichHier);
    PutWhole(volumeName, whichHier, "w", hier.data(), hier.size());
    return true;
}

namespace {

// The working matrices of the older trait-average scaling-up.
struct TraitTotals {
    int n = ncsm, s = tcst, p = nch;
    double** W = dim2Double(n, s);
    double** B = dim2Double(s, p);
    double** T = dim2Double(n, p);
    double** Tn = dim2Double(n, p);
    ~TraitTotals() {
        free2D(W, n);
        free2D(B, s);
        free2D(T, n);
        free2D(Tn, n);
    }
};

void TraitTotalsReport(FILE* f, const TraitTotals& a) {
    ReportOpening(f);
    fprintf(f, "Trait set:        ");
    if (isHierarchical == 1) fprintf(f, "\nOrder:            ");
    for (int t = 0; t < nch; t++) fprintf(f, "%-3s", chLabel[nchor[t] - 1]);
    TraitStatesAndTypes(f);
    fprintf(f, "\nTrait weight:     ");
    for (int t = 0; t < nch; t++) fprintf(f, "%-3.0g", weight[t]);
    fprintf(f, "\nTrait-based analysis: %s\n", OptionLabel(traitBasedOptInfo, traitBasedOpt - 1));
    if (traitBasedOpt == 1) {
        fprintf(f, "\nPooling of populations: %s\n", OptionLabel(poolCSToptInfo, poolCSTopt - 1));
        fprintf(f, "\nClustering method of populations: %s\n", OptionLabel(clusMethInfo, clusMethPoolCSTs));
        fprintf(f, "Gower similarity index between populations modified to count matching absences in binary traits? "
                   "%s\n",
                OptionLabel(YesNotInfo, countDoubleAbsence ? 1 : 0));
    }
    bool someZero = false;
    for (int t = 0; t < nch; t++) someZero = someZero || weight[t] == 0.0f;
    if (someZero) {
        fprintf(f, "Traits considered in the computation of community-level trait description:\n");
        for (int t = 0; t < nch; t++)
            if (weight[t] > 0.0f) fprintf(f, "%-3s", chLabel[t]);
        fprintf(f, "\n");
    } else {
        fprintf(f, "All traits were considered.\n");
    }
    fprintf(f, "\nNumber of communities: %d\n", ncsm);
    hier::CommunityLabels(f);
    fprintf(f, "\n");
    if (princont != 'y') return;
    const struct {
        const char* heading;
        int a, b, rows, cols;
        double** m;
    } tables[] = {
        {"\nTrait matrix of %d populations (rows) described by %d traits (columns):\n", tcst, nch, a.s, a.p, a.B},
        {"\nOriginal performance matrix of %d populations (columns) in %d relevs (rows):\n", tcst, ncsm, a.n, a.s, a.W},
        {"\nContingency table with frequencies (if binary) or total quantities (if quantitative) of %d traits (columns) "
         "in %d relevs (rows):\n",
         nch, ncsm, a.n, a.p, a.T},
        {"\nContingency table normalized within traits (%d traits (columns) in %d relevs (rows)):\n", nch, ncsm, a.n,
         a.p, a.Tn},
    };
    for (const auto& t : tables) {
        fprintf(f, t.heading, t.a, t.b);
        PrintMatrix(f, t.rows, t.cols, t.m, sDigits, 0);
        fprintf(f, "\n");
    }
}

}  // namespace

bool FrequencyTraitsScalingUp_Old() {
    if (!hier::CanBuild()) return false;
    TraitTotals a;
    for (int c = 0; c < a.n; c++)
        for (int o = 0; o < a.s; o++) a.W[c][o] = cadat[o][c];
    for (int o = 0; o < a.s; o++)
        for (int t = 0; t < a.p; t++) a.B[o][t] = weight[t] > 0.0f ? TraitCodeValue(csm[o], t) : 0.0;
    // Plain sums of the performances times the trait values; a missing performance adds nothing.
    MatrixProd(a.n, a.s, a.s, a.p, a.W, a.B, a.T);
    NormalizeCols(a.n, a.p, a.T, a.Tn);

    MemoryReport report;
    if (report.stream()) TraitTotalsReport(report.stream(), a);
    PutWhole(volumeName, whichPrinda, prindaMode, report);
    MemoryReport hier;
    if (FILE* f = hier.stream()) {
        fprintf(f, "%d\t%d\n", nch, ncsm);
        for (int t = 0; t < a.p; t++) {
            for (int c = 0; c < a.n; c++) fprintf(f, "%g\t", a.Tn[c][t]);
            fprintf(f, "\n");
        }
    }
    PutWhole(volumeName, whichHier, "w", hier);
    return true;
}
