// Character ranking over the trait hierarchy: the greedy trait orders (monothetic, clustered and
// polythetic types), the search of every subset, their reports and structure files.
#include "traits/TNXCHORDRANK.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/core/qwlibPooling.h"
#include "matrix/qwlib.h"
#include "matrix/qwlibCluster.h"
#include "matrix/qwlibOrdination.h"
#include "matrix/qwlibPartition.h"
#include "matrix/qwlibSumSq.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibResEntropy.h"
#include "traits/TNXCHORDReport.h"
#include "traits/TNXCHORDSearch.h"
#include "traits/TNXGOWER.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERRESE.h"

using namespace chrank;

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

FILE* Console() { return out ? out : stdout; }

// Prints why nothing is ranked (format holds at most one %d, for value).
bool Refuse(const char* format, int value = 0) {
    fprintf(Console(), format, value);
    return false;
}

// Criteria 4 to 7 leave one trait out per step: their two lowest bits cleared give 4.
bool Backward(int criterion) { return (criterion & ~3) == 4; }

// Criterion 2 looks for the smallest value, the others for the largest.
double Start(int criterion) { return criterion == 2 ? DBL_MAX : -DBL_MAX; }
bool Better(int criterion, double a, double b) { return criterion == 2 ? a < b : a > b; }

double Rounded(double x) { return RoundDigit(x, 6); }

enum class Member { kStepwise, kClustered, kAll, kPolythetic };

// One candidate: its value rounded to 6 digits (NaN when none could be computed), the number of
// columns of the community table it was found with, and for criteria 6 and 7 its two factors.
struct Value {
    double value = kNone;
    int groups = 0;
    double alone = 0.0, redundancy = 0.0;
};

// The best candidate of a step (or of a size): its value, groups and the trait order that gave it.
struct Best {
    double value = 0.0;
    int groups = 0;
    int k = 0;
    bool found = false;
    std::vector<int> order;
};

// Coherence of a table at the Renyi order 1.
double Coherence(int rows, int cols, float** table) {
    double hrc = 0.0, hc = 0.0, hr = 0.0, mutual = 0.0, u = 0.0, k = 0.0;
    Entropy_(rows, cols, table, &hrc, &hc, &hr, &mutual, &u, &k, 1.0f, 1.0f, 1.0f);
    return k;
}

// The group dissimilarity of D over the community groups groupRel among the communities of
// relSelect, by groupDissMeth.
double GroupDissimilarity(int n, double** D) {
    switch (groupDissMeth) {
        case 1:
            return AverageDissim(n, D, groupRel, relSelect);
        case 2:
            return NearNeighDist(n, D, groupRel, relSelect);
        default: {
            double between = 0.0, total = 0.0;
            BetweenGrSqDissim(n, D, groupRel, &between, &total, relSelect, false);
            if (groupDissMeth == 3) return between;
            return between >= total ? 1.0 : between / (total - between);
        }
    }
}

// One run: the session's codes, composition (after the data partition) and trait vectors saved
// once with the working copies each candidate restores and reorders, and every buffer the
// evaluations fill, allocated once. The hierarchy of a candidate is the one allocation made per
// candidate (its size depends on the types found).
struct Ranking {
    Member member;
    int crit, n, s, p;
    bool backward;
    char **codes0, **codes;
    float **W0, **W;
    int *states0, *types0, *states, *types;
    float *ranges0, *weights0, *ranges, *weights;
    int** track;
    int* nTypes;
    std::vector<int> order;  // 1-based trait numbers, as nchor
    // DE, the candidate's resemblance and second matrix, the reference of criteria 4 to 7
    // (n x n); the OTUs' similarity over the subset and over all traits (s x s).
    double **DE = nullptr, **D, **D2, **ref, **pop, **popRef;
    // The types' similarity (double for the fuzzy sets, float for the clustering), its squared
    // distances, the clustering, the belonging, the grouped table and the community totals.
    double** St;
    float **Sf, **Sq, **U, **G, **totals;
    clusterReport* rep = nullptr;
    int* labels;
    std::vector<double> single;  // criteria 6 and 7: each trait alone, by trait number
    FILE* fs = nullptr;
    int arrays = 0, mostSets = 0, candidates = 0;
    int64_t done = 0, total = 0;

    Ranking(Member m, int criterion);
    ~Ranking();
    Ranking(const Ranking&) = delete;
    Ranking& operator=(const Ranking&) = delete;

    void Arrange();
    template <class F>
    void WithLevel(int k, F f);
    Value Evaluate(int k, int leftOut);
    Value OfTypes(int k, int leftOut, int nT, char** typeCodes, float** table);
    double** Resemblance(int cols, float** table, bool pairwise);
    double** TypeResemblance(int k, int nT, char** typeCodes, float** table);
    void ClusterTypes(int k, int nT, char** typeCodes);
    void Grouped(int nT, int g, float** table, bool weighted);
    void GroupRange(int k, int nT, int* from, int* to) const;
    double Criterion(double** M, int leftOut, Value* v);
    void Reference();
    void Singles();
    void Store(int size, double** M);
    void Step();
};

Ranking::Ranking(Member m, int criterion)
    : member(m), crit(criterion), n(ncsm), s(tcst), p(nch), backward(Backward(criterion)), order(nch) {
    const int len = 2 * p + 1;
    codes0 = dim2Dchar(s, len);
    codes = dim2Dchar(s, len);
    for (int o = 0; o < s; o++) std::memcpy(codes0[o], csm[o], 2 * static_cast<size_t>(p));
    W0 = dim2Dfloat(s, n);
    W = dim2Dfloat(s, n);
    totals = dim2Dfloat(n, 1);
    for (int o = 0; o < s; o++)
        for (int c = 0; c < n; c++) W0[o][c] = cadat[o][c];
    // The data partition works on the saved copy: the session's composition stays as loaded.
    DataPartitionL(s, n, ncst, part, W0, totals);
    states0 = dim1Dint(p), types0 = dim1Dint(p), states = dim1Dint(p), types = dim1Dint(p);
    ranges0 = dim1Dfloat(p), weights0 = dim1Dfloat(p), ranges = dim1Dfloat(p), weights = dim1Dfloat(p);
    for (int t = 0; t < p; t++) {
        states0[t] = onsta[t];
        types0[t] = chtype[t];
        ranges0[t] = chrange[t];
        weights0[t] = weight[t];
    }
    track = dim2Dint(p, s);
    nTypes = dim1Dint(p);
    std::iota(order.begin(), order.end(), 1);
    D = dim2Double(n, n), D2 = dim2Double(n, n), ref = dim2Double(n, n);
    pop = dim2Double(s, s), popRef = dim2Double(s, s), St = dim2Double(s, s);
    Sf = dim2Dfloat(s, s), Sq = dim2Dfloat(s, s), U = dim2Dfloat(s, s);
    G = dim2Dfloat(n, s);
    labels = dim1Dint(s);
    if (s > 1) {
        rep = new clusterReport[s - 1]();
        for (int i = 0; i < s - 1; i++) rep[i].members = dim1Dint(s);
    }
    if (crit == 1 || crit == 6) {
        DE = dim2Double(n, n);
        float** E = dim2Dfloat(n, nenv);
        EnvironmentResemblance(DE, E);
        free2D(E, n);
    }
}

Ranking::~Ranking() {
    free2D(codes0, s), free2D(codes, s), free2D(W0, s), free2D(W, s), free2D(totals, n);
    free1D(states0), free1D(types0), free1D(states), free1D(types);
    free1D(ranges0), free1D(weights0), free1D(ranges), free1D(weights);
    free2D(track, p), free1D(nTypes);
    free2D(D, n), free2D(D2, n), free2D(ref, n);
    free2D(pop, s), free2D(popRef, s), free2D(St, s), free2D(Sf, s), free2D(Sq, s), free2D(U, s);
    free2D(G, n), free1D(labels);
    if (rep) {
        for (int i = 0; i < s - 1; i++) free1D(rep[i].members);
        delete[] rep;
    }
    if (DE) free2D(DE, n);
}

// The working copies restored from the saved ones and put in the current order.
void Ranking::Arrange() {
    for (int o = 0; o < s; o++) {
        std::memcpy(codes[o], codes0[o], 2 * static_cast<size_t>(p));
        std::copy(W0[o], W0[o] + n, W[o]);
    }
    std::copy(states0, states0 + p, states);
    std::copy(types0, types0 + p, types);
    std::copy(ranges0, ranges0 + p, ranges);
    std::copy(weights0, weights0 + p, weights);
    Reorder(p, s, order.data(), states, codes, types, ranges, weights);
}

// f(number of types, their codes, community x type table) on the hierarchy level of the first k
// traits of the current order: the levels are built from level 1 down to it.
template <class F>
void Ranking::WithLevel(int k, F f) {
    Arrange();
    const int levels = p - k + 1;
    char*** levelCodes = nullptr;
    float*** levelData = nullptr;
    nTypes[0] = s;
    Hierarchy(levels, p, n, codes, &levelCodes, nTypes, W, &levelData, track);
    f(nTypes[levels - 1], levelCodes[levels - 1], levelData[levels - 1]);
    FreeHierarchy(levels, n, nTypes, levelCodes, levelData);
}

// The resemblance of the communities by rese_opt over a table of `cols` columns, with the
// table's grand total as N and the product of the numbers of states as K (pairwise fuzzy by the
// types' similarity St when asked). Options 5 and 10 give their second matrix.
double** Ranking::Resemblance(int cols, float** table, bool pairwise) {
    double N = 0.0;
    for (int c = 0; c < n; c++) {
        double row = 0.0;
        for (int j = 0; j < cols; j++) {
            row += table[c][j];
            N += table[c][j];
        }
        totals[c][0] = static_cast<float>(row);
    }
    const double K = StatesProduct();
    if (pairwise)
        PairFuzzyRese(n, cols, table, D, D2, totals, N, K, St, 0);
    else
        NominalRese(n, cols, table, D, D2, totals, N, K, 0, rese_opt);
    return rese_opt == 5 || rese_opt == 10 ? D2 : D;
}

// D of the monothetic types; with fuzzy 1 or 2 their Gower similarity, sharpened by the degree
// of fuzziness, makes the table fuzzy first (fuzzy 1) or each pair of communities (fuzzy 2).
double** Ranking::TypeResemblance(int k, int nT, char** typeCodes, float** table) {
    if (fuzzy == 1 || fuzzy == 2) {
        gower_similarity(k, typeCodes, nT, St, types, ranges, weights, countDoubleAbsence);
        if (fuzziness < 1.0f) FuzzinessDegree_i(nT, St, fuzziness);
        if (fuzzy == 1) FuzzyAdj_i(n, nT, table, St);
    }
    return Resemblance(nT, table, fuzzy == 2);
}

// The types' Gower similarity and, with at least 2 types, their clustering: sums of squares on
// 2 (1 - S) with clusMethPoolCSTs 3, otherwise linkage on the similarities.
void Ranking::ClusterTypes(int k, int nT, char** typeCodes) {
    gower_similarity(k, typeCodes, nT, Sf, types, ranges, weights, countDoubleAbsence);
    if (nT < 2) return;
    if (clusMethPoolCSTs == 3) {
        CorrToSqDist(nT, Sf, Sq);
        SumSqCluster(nT, Sq, rep, true);
    } else {
        LinkageCluster(nT, Sf, rep, false, false, clusMethPoolCSTs, true);
    }
}

// G = the community x group table of the g groups cut from the types' clustering: the
// fuzzy-weighted performances (weighted) or the performances summed by group.
void Ranking::Grouped(int nT, int g, float** table, bool weighted) {
    if (nT == 1)
        labels[0] = 1;  // nothing was clustered
    else
        GetClusterPartitionNew(nT, g, labels, rep, clusMethPoolCSTs);
    if (weighted) {
        FuzzyBelonging(nT, g, Sf, labels, U, false);
        FuzzyAdjAnyMatrix(n, nT, g, table, G, U);
    } else {
        ConcentrateColGroups(n, nT, table, G, g, labels, 0);
    }
}

// The numbers of groups a candidate of k traits and nT types is tried with. A single nominal
// trait keeps its states; polythetic groups are cut at nCSTGroupsChRankRedundancy (no more
// than the types); criterion 5 takes that number when there are more types, otherwise every
// number from 2; the others 2 up to nMaxCSTGroupsChRank. An empty range when *from > *to.
void Ranking::GroupRange(int k, int nT, int* from, int* to) const {
    *from = 2;
    *to = std::min(nT, nMaxCSTGroupsChRank);
    if (k == 1 && types[0] == 2)
        *from = *to = nT;
    else if (member == Member::kPolythetic)
        *from = *to = std::min(nT, nCSTGroupsChRankRedundancy);
    else if (crit == 5 && nT > nCSTGroupsChRankRedundancy)
        *from = *to = nCSTGroupsChRankRedundancy;
    else if (crit == 5)
        *to = nT;
}

// The value of a resemblance D of the communities; leftOut is the trait left out (criteria 6, 7).
double Ranking::Criterion(double** M, int leftOut, Value* v) {
    switch (crit) {
        case 1:
            return Mantel(n, DE, M);
        case 2:
        case 3:
            return GroupDissimilarity(n, M);
        case 5:
            return Mantel(n, ref, M);
        case 6:
        case 7:
            v->alone = single[leftOut];
            v->redundancy = Mantel(n, ref, M);
            return (crit == 6 ? 1.0 - v->alone : v->alone) * v->redundancy;
        default:
            return kNone;
    }
}

void Ranking::Store(int size, double** M) {
    if (!fs || crit == 8) return;
    PrintHalfMatrix(fs, size, M, 0, sDigits);
    arrays++;
}

void Ranking::Step() {
    done++;
    char text[64];
    snprintf(text, sizeof text, "ChRanking Iteration: %lld %lld", static_cast<long long>(done),
             static_cast<long long>(total));
    HandleEventInfoWhere2(text);
}

// The subset of the first k traits of the current order; the OTUs alone for criterion 4.
Value Ranking::Evaluate(int k, int leftOut) {
    candidates++;
    Value v;
    if (crit == 4) {
        Arrange();
        gower_similarity(k, codes, s, pop, types, ranges, weights, countDoubleAbsence);
        v.value = Rounded(Mantel(s, popRef, pop));
        Store(s, pop);
        return v;
    }
    WithLevel(k, [&](int nT, char** typeCodes, float** table) { v = OfTypes(k, leftOut, nT, typeCodes, table); });
    return v;
}

Value Ranking::OfTypes(int k, int leftOut, int nT, char** typeCodes, float** table) {
    Value v;
    v.groups = nT;
    if (member == Member::kStepwise || member == Member::kAll) {
        if (crit == 8) {
            v.value = Rounded(Coherence(n, nT, table));
            return v;
        }
        double** M = TypeResemblance(k, nT, typeCodes, table);
        v.value = Rounded(Criterion(M, leftOut, &v));
        Store(n, M);
        return v;
    }
    ClusterTypes(k, nT, typeCodes);
    int from = 0, to = 0;
    GroupRange(k, nT, &from, &to);
    if (member == Member::kPolythetic) {
        double** M = nullptr;
        if (fuzzy == 0) {
            Grouped(nT, to, table, false);
            M = Resemblance(to, G, false);
            v.groups = to;
        } else {
            M = TypeResemblance(k, nT, typeCodes, table);
        }
        v.value = Rounded(Criterion(M, leftOut, &v));
        Store(n, M);
        return v;
    }
    int sets = 0;
    bool found = false;
    v.groups = 0;
    for (int g = from; g <= to; g++) {
        Grouped(nT, g, table, fuzzy == 3);
        Value w;
        w.groups = g;
        if (crit == 8) {
            w.value = Rounded(Coherence(n, g, G));
        } else {
            if (fs) PrintMatrix(fs, n, g, G, sDigits, 0);
            double** M = Resemblance(g, G, false);
            w.value = Rounded(Criterion(M, leftOut, &w));
            if (fs) PrintHalfMatrix(fs, n, M, 0, sDigits);
            sets++;
        }
        if (Better(crit, w.value, found ? v.value : Start(crit))) {
            v = w;
            found = true;
        }
    }
    mostSets = std::max(mostSets, sets);
    return v;
}

// The reference of the redundancy: the OTUs' similarity over all traits (criterion 4), or D of
// the types of all traits by the member's own rule, cut at nCSTGroupsChRankRedundancy groups
// when the types are clustered.
void Ranking::Reference() {
    std::iota(order.begin(), order.end(), 1);
    if (crit == 4) {
        Arrange();
        gower_similarity(p, codes, s, popRef, types, ranges, weights, countDoubleAbsence);
        Store(s, popRef);
        return;
    }
    WithLevel(p, [&](int nT, char** typeCodes, float** table) {
        double** M = nullptr;
        if (member == Member::kStepwise || member == Member::kAll) {
            M = TypeResemblance(p, nT, typeCodes, table);
        } else {
            // (With a single trait no step reads the reference.)
            ClusterTypes(p, nT, typeCodes);
            const int g = std::min(nT, nCSTGroupsChRankRedundancy);
            Grouped(nT, g, table, member == Member::kClustered && fuzzy == 3);
            M = Resemblance(g, G, false);
        }
        for (int i = 0; i < n; i++) std::copy(M[i], M[i] + n, ref[i]);
    });
    if (member != Member::kClustered) Store(n, ref);
}

// Criteria 6 and 7: each trait alone (brought to the first place of the order), its r with DE
// (6) or its group dissimilarity (7) over the resemblance of its monothetic types.
void Ranking::Singles() {
    single.assign(p, 0.0);
    for (int i = 0; i < p; i++) {
        Step();
        std::iota(order.begin(), order.end(), 1);
        std::swap(order[0], order[i]);
        WithLevel(1, [&](int nT, char** typeCodes, float** table) {
            double** M = TypeResemblance(1, nT, typeCodes, table);
            single[i] = crit == 6 ? Mantel(n, DE, M) : GroupDissimilarity(n, M);
        });
    }
}

// ----------------------------------------------------------------------- the searches

const char* Label(int trait) { return chLabel[trait]; }

void WriteCandidate(FILE* f, const Ranking& r, const Value& v, int k, int leftOut) {
    fprintf(f, "%-*.*g\t", sDigits + 6, sDigits, v.value);
    if (r.member != Member::kStepwise) fprintf(f, "%d groups\t", v.groups);
    if (r.member == Member::kPolythetic) fprintf(f, "%-2s\t", Label(leftOut));
    if (r.member != Member::kPolythetic && (r.crit == 6 || r.crit == 7))
        fprintf(f, r.crit == 6 ? "%-8.*g\t%-10.*g\t" : "%-8.*g\t%-13.*g\t", sDigits, v.alone, sDigits, v.redundancy);
    for (int i = 0; i < k; i++) fprintf(f, "%-2s\t", Label(r.order[i] - 1));
    if (r.member != Member::kPolythetic && r.backward) fprintf(f, "%-2s  \t", Label(leftOut));
    fprintf(f, "\n");
}

// The greedy steps. Forward: position m = 0, 1, ... receives in turn each trait at positions m
// onwards (an exchange of the two places), the subset being the first m + 1 traits. Backward:
// position m = p - 1 down to 1 receives each trait at positions m down to 0, the subset being
// the first m traits and the trait at m the one left out. The order that gave the step's best
// is kept; a step without a best keeps the order it started from. The steps in increasing size.
std::vector<Best> RunSteps(Ranking& r, FILE* f) {
    const int p = r.p;
    std::vector<Best> steps;
    auto step = [&](int m, int k) {
        Best best;
        best.value = Start(r.crit);
        best.k = k;
        best.order = r.order;
        for (int j = m; r.backward ? j >= 0 : j < p; j += r.backward ? -1 : 1) {
            r.Step();
            std::swap(r.order[m], r.order[j]);
            const int leftOut = r.backward ? r.order[m] - 1 : -1;
            const Value v = r.Evaluate(k, leftOut);
            WriteCandidate(f, r, v, k, leftOut);
            if (Better(r.crit, v.value, best.value)) {
                best.value = v.value;
                best.groups = v.groups;
                best.found = true;
                best.order = r.order;
            }
        }
        r.order = best.order;
        steps.push_back(best);
    };
    std::iota(r.order.begin(), r.order.end(), 1);
    if (r.backward)
        for (int m = p - 1; m >= 1; m--) step(m, m);
    else
        for (int m = 0; m < p; m++) step(m, m + 1);
    if (r.backward) std::reverse(steps.begin(), steps.end());
    return steps;
}

// Every subset of each size k, in the lexicographic order of PermuteArray, which writes the
// subset and then the other traits into the order; the best subset of each size (index k).
std::vector<Best> RunAll(Ranking& r, FILE* f) {
    const int p = r.p;
    std::vector<Best> sizes(p + 1);
    for (int k = 1; k <= p; k++) {
        Best& best = sizes[k];
        best.value = Start(r.crit);
        best.k = k;
        for (int64_t got = PermuteArray(p, k, r.order.data(), true); got > 0;
             got = PermuteArray(p, k, r.order.data(), false)) {
            r.Step();
            const Value v = r.Evaluate(k, -1);
            if (printRankIntermedResults == 'y') {
                fprintf(f, "%-*.*g\t", sDigits + 6, sDigits, v.value);
                for (int i = 0; i < k; i++) fprintf(f, "%-2s\t", Label(r.order[i] - 1));
                fprintf(f, "\n");
            }
            if (Better(r.crit, v.value, best.value)) {
                best.value = v.value;
                best.found = true;
                best.order.assign(r.order.begin(), r.order.begin() + k);
            }
        }
    }
    std::iota(r.order.begin(), r.order.end(), 1);
    return sizes;
}

// The summary that heads the file. Greedy: the final order, then (clustered and polythetic
// types) the groups of each step, then the value of each step; all subsets: the best subset of
// each size, one a line, then their values. "none" stands for a step or size without a best.
std::string Summary(const Ranking& r, const std::vector<Best>& best) {
    std::string text;
    char buf[64];
    auto add = [&](const char* format, auto value) {
        snprintf(buf, sizeof buf, format, value);
        text += buf;
    };
    if (r.member == Member::kAll) {
        for (int k = 1; k <= r.p; k++) {
            for (int t : best[k].order) add("%-2s\t", Label(t - 1));
            text += best[k].found ? "\n" : "none\n";
        }
        for (int k = 1; k <= r.p; k++) {
            if (best[k].found) snprintf(buf, sizeof buf, "%-13.*g\t", sDigits, best[k].value);
            text += best[k].found ? buf : "none         \t";
        }
        return text + "\n";
    }
    const bool grouped = r.member != Member::kStepwise;
    for (int t : r.order) add(grouped ? "%s\t" : "%-2s ", Label(t - 1));
    text += "\n";
    if (grouped) {
        for (const Best& b : best) add("%d\t", b.found ? b.groups : 0);
        text += "\n";
    }
    for (const Best& b : best) {
        if (b.found)
            add(grouped ? "%g\t" : "%g ", b.value);
        else
            text += grouped ? "none\t" : "none ";
    }
    return text + "\n";
}

const char* GroupLabel(int c) {
    const int g = groupRel[c];
    return grLabel && g >= 1 && g <= nGroups ? grLabel[g - 1] : "";
}

// The lines that explain the summary standing above them, then the options of the run and the
// column heading of the candidate lines.
void WriteHeader(FILE* f, const Ranking& r) {
    const int crit = r.crit;
    const bool clustered = r.member == Member::kClustered, all = r.member == Member::kAll,
               poly = r.member == Member::kPolythetic;
    if (r.member == Member::kStepwise) {
        fprintf(f, "\nThe traits listed above are ordered by decreasing rank (cumulative trait subsets from left to "
                   "right).\n");
        fprintf(f, "The ranking criterion values are listed in the second row refering to the trait subsets "
                   "indicated above.\n");
    } else if (all) {
        fprintf(f, "\nThe trait subsets listed above are optimal for each level starting with one trait,\n");
        fprintf(f, "followed by the corresponding trait ranking criterion values for the optimal subsets.\n");
    } else {
        const bool fixed = poly || crit == 5;
        fprintf(f, "\nThe traits listed above (1st line) are ordered by decreasing rank.\n");
        fprintf(f, "The %snumber of CST groups, with CSTs defined by the traits cumulative from left to right, is "
                   "listed on the 2nd line (maximum number of groups examined (except when qualitative): %d).\n",
                fixed ? "" : "optimal ", fixed ? nCSTGroupsChRankRedundancy : nMaxCSTGroupsChRank);
        fprintf(f, poly ? "The 3rd line contains the corresponding optimal evaluation function.\n"
                        : "The 3rd line contains the corresponding ranking criterion values for the optimal trait "
                          "subsets.\n");
    }
    fprintf(f, "\n\n%s\n\n%s\nCHARACTER RANKING\n%s\n", version, lineL, lineL);
    TimeStamp(f);
    fprintf(f, "Session:        %s \n", sessionName);
    fprintf(f, "Formatted data: %s \n", whichFormda);
    if (optmain1 == 'P' && !poly)
        fprintf(f, "Trait ranking criterion (TRC): redundancy in population data structure\n");
    else
        fprintf(f, "Trait ranking criterion (TRC): %s\n", OptionLabel(opt_structInfo, crit - 1));
    fprintf(f, "Pooling of CSTs: %s\n", OptionLabel(poolCSToptInfo, poolCSTopt - 1));
    if (clustered && poolCSTopt == 2)
        fprintf(f, "Clustering method defining types: %s\n", OptionLabel(clusMethInfo, clusMethPoolCSTs));
    fprintf(f, "Ranking algorithm: %s\n", rankingAlgorithmInfo[all ? 1 : 0]);
    if (poly || (clustered && crit == 5))
        fprintf(f, "Number of CST groups examined (fixed, unless not possible): %d\n", nCSTGroupsChRankRedundancy);
    if (poly || (clustered && crit == 5) || (all && (crit == 4 || crit == 5)))
        fprintf(f, "Redundancy method: %s\n", OptionLabel(redundancyMethInfo, redundancyMeth - 1));
    const bool groups = crit == 2 || crit == 3 || (crit == 7 && !clustered);
    if (groups)
        fprintf(f, "Group dissimilarity computation method: %s\n", OptionLabel(groupDissMethInfo, groupDissMeth - 1));
    const char* gower = "Gower similarity index modified to count matching absences in binary traits? %s\n";
    const char* absences = YesNotInfo[countDoubleAbsence ? 1 : 0];
    if (crit != 4 && crit != 8) {
        fprintf(f, "Data partition type: %s\n", OptionLabel(partInfo, part - 1));
        fprintf(f, "Fuzzy transformation: %s\n", OptionLabel(fuzzyInfo, fuzzy));
        if (fuzzy == 1 || fuzzy == 2) {
            fprintf(f, "\tFuzziness degree: %g\n", fuzziness);
            if (!clustered) fprintf(f, gower, absences);
        }
    }
    if (clustered) fprintf(f, gower, absences);
    if (crit != 8) fprintf(f, "Resemblance option: %s\n", OptionLabel(rese_optInfo, rese_opt - 1));
    if (groups) {
        fprintf(f, "Communities: \n   ");
        for (int c = 0; c < r.n; c++) fprintf(f, "%-5s", reLabel[c]);
        fprintf(f, "\nGroup membership: \n   ");
        for (int c = 0; c < r.n; c++) fprintf(f, "%-4s", GroupLabel(c));
        fprintf(f, clustered ? "\nReleves used in computations: \n   " : "\nCommunities used in computations: \n   ");
        for (int c = 0; c < r.n; c++) fprintf(f, "%-4d", relSelect[c]);
        fprintf(f, "\n");
    }
    fprintf(f, "\n%-*s\t", sDigits + 6, "TRC");
    if (poly) {
        fprintf(f, "Groups\tChar. out\tTrait subset used:\n");
        return;
    }
    if (all) {
        fprintf(f, "Trait subset used:\n");
        return;
    }
    if (crit == 6) fprintf(f, "%-8s\t%-10s\t%-10s\t", "Weighted", "Congruence", "Redundancy");
    if (crit == 7) fprintf(f, "%-8s\t%-13s\t%-10s\t", "Weighted", "Dissimilarity", "Redundancy");
    if (r.backward) fprintf(f, "%-s\t", "Out");
    fprintf(f, clustered ? "Groups\tTrait subset used:\n" : "Trait subset in:\n");
}

void WriteStructureEnd(FILE* fs, const Ranking& r) {
    const int crit = r.crit, n = r.n;
    if (crit == 8) return;
    if (r.member == Member::kClustered) {
        fprintf(fs, "The matrices have %d communities by variable number of groups of CSTs at each one of %d "
                    "iterations\n", n, r.candidates);
        fprintf(fs, "%d sets of 2 arrays at each iteration are: ", r.mostSets);
        fprintf(fs, "First, a matrix with %d communities x increasing number of CST groups.\n", n);
        fprintf(fs, "Second, the upper half %d x %d community resemblance matrix.\n", n, n);
        return;
    }
    if (crit == 4)
        fprintf(fs, "The arrays are upper half %d x %d CSTs matrices.\n", r.s, r.s);
    else
        fprintf(fs, "The arrays are upper half %d x %d community matrices\n", n, n);
    if (Backward(crit))
        fprintf(fs, "The %d arrays refer to resemblances at level 1 and then at each iteration.\n", r.arrays);
    if (crit == 1 || crit == 6) fprintf(fs, "1st array: resemblance for environmental structure.\nThe following ");
    if (crit >= 1 && crit <= 3)
        fprintf(fs, "%d arrays are distances for vegetational structure at each iteration.\n", r.arrays);
}

// Prints why the data cannot be ranked by this member and criterion, or returns true.
bool CanRank(Member member, int crit) {
    if (!TraitCodesAvailable()) return false;
    if (crit < 1 || crit > 8)
        return Refuse("\nCriterion %d is not a character-ranking criterion (1 to 8).\n", crit);
    if (member == Member::kAll && (crit == 6 || crit == 7))
        return Refuse("\nCriteria 6 and 7 judge a trait left out: the search of all subsets has none.\n");
    if ((crit == 1 || crit == 6) && (nenv < 1 || !env))
        return Refuse("\nThis criterion needs environmental variables: the data set has none.\n");
    const bool groups = crit == 2 || crit == 3 || crit == 7;
    if (groups && (!groupRel || nGroups < 2))
        return Refuse("\nThis criterion needs the communities in at least 2 groups.\n");
    if (groups && (groupDissMeth < 1 || groupDissMeth > 4))
        return Refuse("\nGroup dissimilarity method %d is not one of 1 to 4.\n", groupDissMeth);
    if (crit != 4 && crit != 8 && (rese_opt < 1 || rese_opt > 10))
        return Refuse("\nResemblance option %d is not one of 1 to 10.\n", rese_opt);
    const bool clustered = member == Member::kClustered || member == Member::kPolythetic;
    if (clustered && (clusMethPoolCSTs < 1 || clusMethPoolCSTs > 5))
        return Refuse("\nClustering method %d of the types is not one of 1 to 5.\n", clusMethPoolCSTs);
    if ((member == Member::kPolythetic || (member == Member::kClustered && crit >= 5 && crit <= 7)) &&
        nCSTGroupsChRankRedundancy < 1)
        return Refuse("\nThe redundancy needs at least 1 CST group.\n");
    return true;
}

bool Run(Member member) {
    const std::time_t time0 = std::time(nullptr);
    const int crit = member == Member::kPolythetic ? 5 : optmain1 == 'P' ? 4 : opt_struct;
    if (!CanRank(member, crit)) return false;
    Ranking r(member, crit);
    const int p = r.p;
    WholeFile structure(whichStructures);
    if (saveStruct == 'y' && !(r.fs = structure.Open())) RaiseError(TNX_FAIL_TO_OPEN);
    WholeFile result(whichChorder);
    FILE* f = result.Open();
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);

    if (member == Member::kAll)
        for (int k = 1; k <= p; k++) r.total += BinomialCount(p, k);
    else
        r.total = static_cast<int64_t>(p) * (p + 1) / 2 - (r.backward ? 1 : 0) + (crit == 6 || crit == 7 ? p : 0);
    if (r.fs && r.DE) PrintHalfMatrix(r.fs, r.n, r.DE, 0, sDigits);
    if (crit == 6 || crit == 7) r.Singles();
    if (Backward(crit)) r.Reference();

    WriteHeader(f, r);
    const std::vector<Best> best = member == Member::kAll ? RunAll(r, f) : RunSteps(r, f);
    fprintf(f, "Elapsed time: %g seconds\n", std::difftime(std::time(nullptr), time0));
    if (r.fs) WriteStructureEnd(r.fs, r);
    for (int t = 0; t < p; t++) nchor[t] = r.order[t];
    dirtyOrig = 1;
    if (Finish(result, r.fs ? &structure : nullptr, Summary(r, best)) != kChRankDone) RaiseError(TNX_FAIL_TO_PRINT);
    return true;
}

}  // namespace

bool ChOrderSearch() { return Run(Member::kStepwise); }
bool ChOrderSearchClusterCSTs() { return Run(Member::kClustered); }
bool ChOrderSearchAll() { return Run(Member::kAll); }
bool ChOrderRedundancyPolythetic() { return Run(Member::kPolythetic); }

bool test_k(int k) { return Backward(opt_struct) ? k > 0 : k < nch; }
bool test_m(int m) { return Backward(opt_struct) ? m >= 0 : m < nch; }
int incr_m(int m) { return Backward(opt_struct) ? m - 1 : m + 1; }
int incr_k(int k) { return Backward(opt_struct) ? k - 1 : k + 1; }
int incr_i(int i) { return Backward(opt_struct) ? i + 1 : i - 1; }
