// Test support of the trait-subset searches: a survey drawn with a fixed seed, written as a
// formatted data file (the layout of the loader) and loaded into the data model, the options
// the settings dialog leaves, and independent from-scratch evaluations of one subset through
// the functional analysis's own routines (the brute force the searches are checked against).
#ifndef TARNEX_TESTS_TRAITS_CHRANKDATA_H
#define TARNEX_TESTS_TRAITS_CHRANKDATA_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/ClaimedCpus.h"
#include "foundation/TnxThreads.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlib.h"
#include "matrix/qwlibGroupStats.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXCOMRESE.h"
#include "traits/TNXGOWER.h"

namespace chranktest {

struct Survey {
    int p = 0, s = 0, n = 0, v = 0;
    std::vector<int> types;                  // per trait
    std::vector<std::vector<float>> B;       // s x p
    std::vector<std::vector<float>> W;       // s x n (OTUs in rows, as the file holds them)
    std::vector<std::vector<float>> E;       // v x n
    std::vector<std::vector<double>> F;      // s x s phylogenetic similarities (empty: none)
};

// p quantitative traits, s OTUs, n communities, v environmental variables; continuous values
// (no ties between subsets in practice), about a third of the cells of W empty, every OTU
// present somewhere and every community holding at least two OTUs.
inline Survey RandomSurvey(unsigned seed, int p, int s, int n, int v, bool phylogeny = false) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    Survey sv;
    sv.p = p, sv.s = s, sv.n = n, sv.v = v;
    sv.types.assign(p, 3);
    sv.B.assign(s, std::vector<float>(p));
    for (auto& row : sv.B)
        for (float& x : row) x = std::round(u(gen) * 1000.0f) / 100.0f;
    sv.W.assign(s, std::vector<float>(n, 0.0f));
    for (int i = 0; i < s; i++)
        for (int c = 0; c < n; c++)
            if (u(gen) > 0.35f) sv.W[i][c] = 1.0f + std::round(u(gen) * 9.0f);
    for (int i = 0; i < s; i++) sv.W[i][i % n] = 2.0f + static_cast<float>(i % 3);
    for (int c = 0; c < n; c++) sv.W[(c + 1) % s][c] = 3.0f;
    sv.E.assign(v, std::vector<float>(n));
    for (auto& row : sv.E)
        for (float& x : row) x = std::round(u(gen) * 1000.0f) / 100.0f;
    if (phylogeny) {
        // Similarities from random positions on a line: 1 - |a - b| / span.
        std::vector<float> pos(s);
        for (float& x : pos) x = u(gen);
        sv.F.assign(s, std::vector<double>(s));
        for (int i = 0; i < s; i++)
            for (int j = 0; j < s; j++)
                sv.F[i][j] = 1.0 - std::fabs(static_cast<double>(pos[i]) - pos[j]);
    }
    return sv;
}

inline std::string Formda(const Survey& sv) {
    std::ostringstream o;
    o << "d \n" << sv.p << " \n";
    for (int t = 0; t < sv.p; t++) o << "t" << t + 1 << "\t";
    o << "\n";
    for (int t = 0; t < sv.p; t++) o << " " << sv.types[t] << "\t";
    o << "\n";
    for (int t = 0; t < sv.p; t++) o << "0\t";
    o << "\n";
    for (int t = 0; t < sv.p; t++) o << " 5\t";
    o << "\n" << sv.n << " \n";
    for (int c = 0; c < sv.n; c++) o << "c" << c + 1 << "\t";
    o << "\n" << sv.s << " \n";
    for (int c = 0; c < sv.n; c++) o << "0\t";
    o << "\n0\t0\t0\t0\t0\t0\t0\t\n\n25Jun2016 \n";
    o.precision(9);
    for (const auto& row : sv.B) {
        for (float x : row) o << x << "\t";
        o << "\n";
    }
    o << "\n";
    for (const auto& row : sv.W) {
        for (float x : row) o << x << "\t";
        o << "\n";
    }
    o << "\n" << sv.v << " \n";
    if (sv.v > 0) {
        o << "97Sep08 \n1 \n";
        for (int j = 0; j < sv.v; j++) o << "3\t";
        o << "\n";
        for (int j = 0; j < sv.v; j++) o << "e" << j + 1 << "\t";
        o << "\nE \n";
        for (const auto& row : sv.E) {
            for (float x : row) o << x << "\t";
            o << "\n";
        }
    }
    o << "0 \nSMW 1\n";
    if (!sv.F.empty()) {
        o << "1\n1\n";
        o.precision(17);
        for (const auto& row : sv.F) {
            for (double x : row) o << x << "\t";
            o << "\n";
        }
    } else {
        o << "0\n";
    }
    o << "0\nMon Jan  1 00:00:00 2024\n";
    return o.str();
}

// Loads the survey as session "s1" and sets the options the trait-subset dialog leaves for a
// criterion: every trait selected, sizes 1..p, types from `partition` (1-based labels).
inline void LoadSurvey(const Survey& sv, int criterion, const std::vector<int>& partition) {
    std::ofstream("s1Formda.txt") << Formda(sv);
    tnxtest::LoadFormda("s1Formda.txt");
    std::snprintf(sessionName, sizeof sessionName, "s1");
    std::snprintf(whichChorder, sizeof whichChorder, "s1ChRank.txt");
    std::snprintf(whichStructures, sizeof whichStructures, "s1Str.txt");
    for (int t = 0; t < nch; t++) weight[t] = 1.0f;
    for (int i = 0; i < tcst && !partition.empty(); i++) partition_OTUs[i] = partition[i];
    opt_struct = criterion, opt_ro = 1, rese_opt = 6, fuzzy = 3, fuzziness = 1.0f;
    reseCSTopt = 1, poolCSTopt = 2, clusMethPoolCSTs = 0, traitBasedOpt = criterion == 10 ? 2 : 1;
    rankingAlgorithm = 2, optUnitTotalAdjust1 = true, optUnitTotalAdjust2 = false;
    optCoVariable = false, optRndTests = false, countDoubleAbsence = 0;
    nMinTraitsChRank = 1, nMaxTraitsChRank = nch, printRankIntermedResults = 'n', saveStruct = 'n';
    sDigits = 6, sqrtDissimOpt_RaoTraits = 0, BealsIncludeOpt = 1, overfitFactorPCARegr = 3.0;
    if (hasPhylogeny) {
        free1D(partition_OTUs_Phyl);
        partition_OTUs_Phyl = dim1Dint(tcst);
        for (int i = 0; i < tcst; i++) partition_OTUs_Phyl[i] = partition_OTUs[i];
        CountGroupsNew(tcst, partition_OTUs_Phyl, &nTaxa, nullptr);
        fuzzyPhyl = 1;
    }
}

// TARNEX_THREADS for the life of the object, the former value put back after, on at least as many
// claimed CPUs, so that the count runs whatever the machine's cores.
class ThreadCount {
public:
    explicit ThreadCount(int n) : cpus_(std::max(n, CpusAvailable())) {
        if (const char* v = std::getenv("TARNEX_THREADS")) old_ = v, had_ = true;
        setenv("TARNEX_THREADS", std::to_string(n).c_str(), 1);
    }
    ~ThreadCount() {
        if (had_)
            setenv("TARNEX_THREADS", old_.c_str(), 1);
        else
            unsetenv("TARNEX_THREADS");
    }
    ThreadCount(const ThreadCount&) = delete;
    ThreadCount& operator=(const ThreadCount&) = delete;

private:
    ClaimedCpus cpus_;
    std::string old_;
    bool had_ = false;
};

// Runs the search that answers for the criterion (16 to 24: modes 1, 2, 4 to 9 and 3).
inline ChRankStatus RunCriterion(int criterion) {
    if (criterion == 1) return ChRankTDAP_TCAP();
    if (criterion == 9) return ChRankTDAP();
    if (criterion == 10) return ChRankTCAP();
    if (criterion <= 13) return ChRankPhylogenyAssembly();
    if (criterion <= 15) return ChRank_Phylogeny_x_Trait_Assembly();
    return ChRankAlphaBetaDivergence(criterion == 24 ? 3 : criterion <= 17 ? criterion - 15 : criterion - 14);
}

// A result file from the session line to the elapsed time: what a second run must repeat.
inline std::string ResultBody(const std::string& text) {
    const size_t b = text.find("Session:");
    return text.substr(b, text.find("Elapsed time") - b);
}

// ---------------------------------------------------------------- from-scratch evaluations

// W with communities in rows, in double.
inline double** CommunitiesByOtus() {
    double** W = dim2Double(ncsm, tcst);
    for (int c = 0; c < ncsm; c++)
        for (int o = 0; o < tcst; o++) W[c][o] = cadat[o][c];
    return W;
}

// DE: the Euclidean distance of the raw variables (variables of one kind, optEnvVarType 1).
inline double** RawEnvironmentDistance() {
    double** DE = dim2Double(ncsm, ncsm);
    double** wide = dim2Double(ncsm, nenv);  // differences taken in double
    for (int c = 0; c < ncsm; c++)
        for (int v = 0; v < nenv; v++) wide[c][v] = env[c][v];
    EucliDistMV(ncsm, nenv, wide, DE);
    free2D(wide, ncsm);
    return DE;
}

inline int* Flags(const std::vector<int>& subset) {
    int* f = dim1Dint(nch);
    for (int t : subset) f[t] = 1;
    return f;
}

// Resemblance `option` between the rows of M (communities x cols).
inline double** Distance(double** M, int cols, int option) {
    double** D = dim2Double(ncsm, ncsm);
    NominalReseNonHier(ncsm, cols, M, D, option);
    return D;
}

// T of a subset in double: community-weighted means of its traits (other columns 0), each
// column brought to unit length.
inline double** Means(const std::vector<int>& subset) {
    double** W = CommunitiesByOtus();
    int* f = Flags(subset);
    double** T = dim2Double(ncsm, nch);
    CommunityWeightedMeans(ncsm, tcst, nch, W, csm_Float, f, T);
    double** Tn = dim2Double(ncsm, nch);
    NormalizeColsMV(ncsm, nch, T, Tn);
    free2D(T, ncsm);
    free1D(f);
    free2D(W, ncsm);
    return Tn;
}

// DT of a subset: the Euclidean distance of its normalised means.
inline double** TraitDistance(const std::vector<int>& subset) {
    double** T = Means(subset);
    double** DT = Distance(T, nch, 6);
    free2D(T, ncsm);
    return DT;
}

// DT as the search computes it: the means rounded to float and normalised in single
// precision, their float differences squared and summed in double (or resemblance `option`).
inline double** TraitDistanceFloat(const std::vector<int>& subset, int option = 6) {
    double** W = CommunitiesByOtus();
    int* f = Flags(subset);
    double** T = dim2Double(ncsm, nch);
    CommunityWeightedMeans(ncsm, tcst, nch, W, csm_Float, f, T);
    float** Tf = dim2Dfloat(ncsm, nch);
    for (int c = 0; c < ncsm; c++)
        for (int t = 0; t < nch; t++) Tf[c][t] = static_cast<float>(T[c][t]);
    float** Tn = dim2Dfloat(ncsm, nch);
    NormalizeColsMV(ncsm, nch, Tf, Tn);
    double** DT = dim2Double(ncsm, ncsm);
    NominalReseNonHier(ncsm, nch, Tn, DT, option);
    free2D(Tn, ncsm);
    free2D(Tf, ncsm);
    free2D(T, ncsm);
    free1D(f);
    free2D(W, ncsm);
    return DT;
}

// Similarity of the OTUs over the subset's traits alone: the Gower partial similarities of
// those traits only (ranges over the loaded B), averaged.
inline float** SubsetSimilarity(const std::vector<int>& subset) {
    const int k = static_cast<int>(subset.size());
    float** Bk = dim2Dfloat(tcst, k);
    int* types = dim1Dint(k);
    float* ranges = dim1Dfloat(k);
    float* weights = dim1Dfloat(k);
    float* allRanges = dim1Dfloat(nch);
    RangeStates(nch, tcst, csm_Float, chtype, allRanges);
    for (int j = 0; j < k; j++) {
        types[j] = chtype[subset[j]];
        ranges[j] = allRanges[subset[j]];
        weights[j] = 1.0f;
        for (int i = 0; i < tcst; i++) Bk[i][j] = csm_Float[i][subset[j]];
    }
    double*** Sp = dim3Double(tcst, tcst, k);
    gower_similarityPartial(k, Bk, tcst, Sp, types, ranges, weights, countDoubleAbsence);
    float** S = dim2Dfloat(tcst, tcst);
    gower_similarityAverage(k, tcst, Sp, S, weights);
    free3D(Sp, tcst, tcst);
    free1D(allRanges);
    free1D(weights);
    free1D(ranges);
    free1D(types);
    free2D(Bk, tcst);
    return S;
}

// X of a subset: W times the fuzzy belonging of the OTUs to the g types of partition_OTUs
// by the similarity over the subset's traits.
inline double** Composition(const std::vector<int>& subset, int g) {
    float** S = SubsetSimilarity(subset);
    double** U = dim2Double(tcst, g);
    FuzzyBelonging(tcst, g, S, partition_OTUs, U, false);
    double** W = CommunitiesByOtus();
    double** X = dim2Double(ncsm, g);
    MatrixProdMV(ncsm, tcst, tcst, g, W, U, X);
    free2D(W, ncsm);
    free2D(U, tcst);
    free2D(S, tcst);
    return X;
}

// DX of a subset: resemblance option rese_opt between the rows of its X.
inline double** CompositionDistance(const std::vector<int>& subset, int g) {
    double** X = Composition(subset, g);
    double** DX = Distance(X, g, rese_opt);
    free2D(X, ncsm);
    return DX;
}

// Every non-empty subset of 0..p-1, each ascending.
inline std::vector<std::vector<int>> AllSubsets(int p) {
    std::vector<std::vector<int>> all;
    for (unsigned mask = 1; mask < (1u << p); mask++) {
        std::vector<int> s;
        for (int t = 0; t < p; t++)
            if (mask & (1u << t)) s.push_back(t);
        all.push_back(s);
    }
    return all;
}

// The per-size line of a result file: value and trait labels after the prefix for size k.
struct SizeLine {
    bool found = false;
    std::string value;
    std::vector<std::string> labels;
};

inline SizeLine ReadSizeLine(const std::string& text, const std::string& prefixForK) {
    SizeLine r;
    const size_t at = text.find(prefixForK);
    if (at == std::string::npos) return r;
    r.found = true;
    const size_t end = text.find('\n', at);
    std::string rest = text.substr(at + prefixForK.size(), end - at - prefixForK.size());
    std::vector<std::string> fields;
    size_t b = 0;
    for (size_t e; (e = rest.find('\t', b)) != std::string::npos; b = e + 1) fields.push_back(rest.substr(b, e - b));
    if (b < rest.size()) fields.push_back(rest.substr(b));
    if (!fields.empty()) {
        r.value = fields[0];
        for (size_t i = 1; i < fields.size(); i++) {
            std::string f = fields[i];
            while (!f.empty() && f.back() == ' ') f.pop_back();
            if (!f.empty()) r.labels.push_back(f);
        }
    }
    return r;
}

inline std::vector<std::string> Labels(const std::vector<int>& subset) {
    std::vector<std::string> l;
    for (int t : subset) l.push_back("t" + std::to_string(t + 1));
    return l;
}

}  // namespace chranktest

#endif
