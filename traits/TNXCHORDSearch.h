// The machinery the trait-subset searches share: the enumeration of the subsets of the
// eligible traits, the per-size records, the top lists of 101 slots, the whole-or-nothing
// result files and the values that do not depend on the subset. The criteria (TNXCHORD*.cpp)
// build on it; the tests drive it directly.
#ifndef TNXCHORDSEARCH_H
#define TNXCHORDSEARCH_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string>
#include <memory>
#include <vector>

#include "foundation/ReplacingWriter.h"
#include "matrix/qwlibGroupStats.h"
#include "statistics/qwlibRes.h"

namespace chrank {

// How a value beats another: signed (strictly greater) or by magnitude (|a| > |b|). A value the
// data do not define (-999, see RunDefinitions) beats nothing, and any other value beats it.
enum class Rank { kSigned, kAbsolute };

inline bool Beats(Rank rank, double a, double b) {
    if (IsMissing(a)) return false;
    if (IsMissing(b)) return true;
    if (rank == Rank::kAbsolute) return (a < 0 ? -a : a) > (b < 0 ? -b : b);
    return a > b;
}

// Which congruences the data of a run define (CongruenceDefined, EnvironmentWithoutVariation):
// they depend on the number of communities n, the measure and the environment, never on the
// subset. A value the run does not define is written as the missing value -999; the searches'
// Mantel values of 2 communities take their single cells' congruence.
class RunDefinitions {
public:
    // DE: the environment's resemblance of the n communities (upper triangle), or null.
    RunDefinitions(int n, double** DE);
    // Whether a congruence under measure optRo with `partialled` matrices removed (0, 1, 2) is
    // defined; againstE: it follows the environment.
    bool Defined(int optRo, int partialled, bool againstE) const;
    // v when defined, -999 otherwise; flat: the subset's value compares a table without
    // variation (Congruence, PartialMatrixCorrelation), which the data do not define either.
    template <class T>
    T Or(T v, int optRo, int partialled, bool againstE, bool flat = false) const {
        return Defined(optRo, partialled, againstE) && !flat ? v : static_cast<T>(MissingValue);
    }

private:
    int n_;
    bool flatMantel_, flatConfiguration_;
};

// One ranked subset: its value, its number of types (0 without types) and its traits
// (0-based stored trait numbers, ascending).
struct Entry {
    double value = 0.0;
    int groups = 0;
    std::vector<int> traits;  // empty: a slot or record never filled
};

// The top list: slots + 1 entries held in ascending order of the ranking key (slot 0 the
// weakest, the last slot the best), all starting at `start` with no traits. A value enters
// when it beats slot 0 (by `entry`); the slots are then re-ordered by RankVector (or
// RankVectorAbs when sortAbs), whose order of equal keys is kept. Every buffer is made here,
// each trait list with room for maxTraits, so that a value entering allocates nothing.
class TopList {
public:
    TopList(int slots, double start, Rank entry, bool sortAbs, int maxTraits = 0);
    // True when the value entered.
    bool Offer(double value, int groups, const int* traits, int k);
    int Size() const { return static_cast<int>(slots_.size()); }
    const Entry& Slot(int i) const { return slots_[i]; }

private:
    Rank entry_;
    bool sortAbs_;
    std::vector<Entry> slots_, other_;
    std::vector<double> values_, order_, work_;
};

// The best subset of each size k (index k), with whether any subset of that size was
// evaluated.
struct SizeRecord {
    Entry best;
    bool filled = false;
};

// The subsets of size kMin..kMax of the eligible traits (0-based stored numbers, ascending),
// in lexicographic order. For each subset `eval(traits, k, changedFrom)` is called, where
// traits[0..k-1] are the subset's trait numbers and changedFrom the first position that
// differs from the previous subset of the same size (0 for the first of a size). The counts
// are 64-bit; Total() is the exact number of subsets to enumerate.
class Enumeration {
public:
    Enumeration(std::vector<int> eligible, int kMin, int kMax);
    int64_t Total() const { return total_; }
    int KMin() const { return kMin_; }
    int KMax() const { return kMax_; }
    const std::vector<int>& Eligible() const { return eligible_; }
    template <class Eval, class SizeDone>
    void Run(Eval&& eval, SizeDone&& sizeDone);

private:
    bool First(int k);
    bool Next(int k);
    std::vector<int> eligible_, combo_, traits_;
    int kMin_, kMax_;
    int64_t total_ = 0;
    int changed_ = 0;
};

// The progress line "Iteration: %lld of %lld, Traits: %d", and on runs that have taken more
// than 3 seconds the time left instead of the size. Rate-limited here (one look at the wall
// clock per call, one line every tenth of a second at most: processor time runs faster than
// the wall clock when several threads work). Step counts one subset more; At shows the count
// that the workers of a search share.
class Progress {
public:
    explicit Progress(int64_t total);
    void Step(int k) { At(done_ + 1, k); }
    void At(int64_t done, int k);

private:
    int64_t total_, done_ = 0;
    std::chrono::steady_clock::time_point last_;
    std::time_t start_;
};

// A result file written whole or not at all, whose summary may be known only at the end: the
// text goes to an anonymous scratch file, and Commit writes `prefix` and then the text through
// the replacing writer, which puts the target in place only when everything was written (while
// a run is under way, RunFiles, the file is one of the run's set, put in place at its commit). A
// file that cannot be created prints "\ncan't open %s: %s \n" (the target and the system's
// reason) with the bell (raising code 4 in a run). A write that fails prints "\ncan't write %s:
// %s \n" and raises code 3; Commit is false for a target that cannot be put in place.
class WholeFile {
public:
    explicit WholeFile(std::string target) : writer_(std::move(target)) {}
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;
    FILE* Open();
    bool Commit(const std::string& prefix = std::string());
    FILE* Stream() const { return f_; }

private:
    ReplacingWriter writer_;
    ReplacingSet* run_ = nullptr;  // the run's set the file belongs to, if any
    FILE* out_ = nullptr;  // the writer's stream, filled at Commit
    FILE* f_ = nullptr;    // the text, until Commit
};

// Matrix (Mantel) correlation of two resemblance matrices of n communities (upper triangles):
// MatrixCorr, or with fewer than 3 communities the congruence of the single pair.
double Mantel(int n, double** A, double** B);
// The same, *flat (when given) telling when the value is not one the data define: with 3 or more
// communities, A or B has no variation, by its own counted cells (MatrixCorr) or because the
// table it was built from has none (tablesFlat: A's or B's). The value is then 0, so that a
// partial whose control is flat is the simple correlation. Two communities' single cells take
// their congruence, which no spread decides: never flat.
double Mantel(int n, double** A, double** B, bool* flat, bool tablesFlat = false);

// Whether a partial Mantel correlation has nothing left to compare: one of the correlations it
// is formed from that relates a control to a matrix it compares (or, for a second-order partial,
// a step on the way) is +-1 within the tolerance of the library's PartialCorrelation
// (PerfectCorrelation), which gives 0 there. Such a partial is not a value the data define.
template <class T>
bool ControlExplains(std::initializer_list<T> correlations) {
    for (T r : correlations)
        if (PerfectCorrelation(r)) return true;
    return false;
}

// Procrustes (optRo 2) or RV (3) congruence of two configurations of n communities; *flat: A or
// B has no variation, so that the value (0) is not one the data define.
template <class T>
double Congruence(int n, int pA, int pB, T** A, T** B, int optRo, ComparisonWorkspace<T>& ws, bool* flat) {
    if (optRo == 3) return RVcoeff(n, pA, pB, A, B, ws, flat);
    return static_cast<double>(ProcrustesCoeff(n, pA, pB, A, B, ws, flat));
}

// The environmental resemblance DE (upper triangle, double) of the ncsm communities from the
// nenv variables of env, and the copy of E that the Procrustes and RV measures receive
// (standardised when the distance is taken on standardised variables). Raw quantitative
// variables: Euclidean distance over the present values; standardised Euclidean distance for
// optEnvVarType 2 and 4, and 5 without a nominal variable; 1 - Gower similarity otherwise.
void EnvironmentResemblance(double** DE, float** E);

// The community-weighted means of every eligible trait (0-based numbers), each column scaled
// to unit length over its present cells: n x p, columns of traits not eligible 0. W is n x s
// (communities in rows).
// The double form normalises in double; the float form rounds the means to float first.
void NormalisedTraitMeans(int n, int s, int p, double** W, const std::vector<int>& eligible, double** Tn);
void NormalisedTraitMeans(int n, int s, int p, double** W, const std::vector<int>& eligible, float** Tn);

// Whether the normalised trait means of a subset (its columns of Tn, n x p) have variation: a
// subset varies when any of its traits' columns does (ColumnHasVariation, over the present
// cells, judged once per run), so that a subset costs k look-ups and allocates nothing.
class TraitVariation {
public:
    template <class T>
    TraitVariation(int n, int p, T** Tn) : varies_(p > 0 ? p : 1, 0) {
        for (int t = 0; t < p; t++) varies_[t] = ColumnHasVariation(n, Tn, t) ? 1 : 0;
    }
    // traits[0..k-1]: the subset (0-based trait numbers).
    bool Varies(const int* traits, int k) const;

private:
    std::vector<char> varies_;
};

// Distances between the normalised trait means of NormalisedTraitMeans' float form that are equal
// in exact arithmetic lie within meansRounding + 2^-22 of the largest distance of their common
// value (the bound is worked out in TNXCHORDSearch.cpp). meansRounding, what the rounding of the
// means leaves, is 2 g sqrt(sum of m_t^2) for the Euclidean distance (resemblance options 6 and
// 7), 2 g (sum of m_t) for the absolute-value function (8, 9) and 4 g sqrt(sum of m_t^2) / (the
// shortest row of any length) + 10 2^-24 for the chord distance (10), the sums over the subset's
// traits, m_t the largest magnitude of trait t's means and g = 2.5 2^-24. MeansRounding works it
// out from Tsub (n x p, the subset's columns of the means, the others 0; -999 cells left out).
double MeansRounding(int n, int p, float** Tsub, int opt);

// Whether the resemblance D of n communities (upper triangle, -999 cells left out) of such means
// varies beyond that bound: its sum of squares about its mean is above count * bound^2 (count
// distances each within the bound of one value have at most that). Two communities' single
// cell is never judged: true.
bool SingleDistancesVary(int n, double** D, double meansRounding);

// The Mantel value of DE against the Euclidean distance of the normalised trait means of
// every subset, from per-trait squared differences computed once and partial sums reused
// along the lexicographic order. Exactly the terms and order of summation of EucliDistMV on
// the float means with the unselected columns at 0.
class TraitDistanceMantel {
public:
    // Tn: n x p normalised means (float); DE: n x n upper triangle.
    TraitDistanceMantel(int n, int p, float** Tn, double** DE, int maxK);
    // A copy shares the tables of the run, which no one changes, and owns its own partial sums:
    // each worker of a search values its subsets on its own.
    TraitDistanceMantel(const TraitDistanceMantel&) = default;
    TraitDistanceMantel& operator=(const TraitDistanceMantel&) = delete;
    // traits[0..k-1] the subset; the partial sums of positions below changedFrom are reused.
    // *flat (when given) as Mantel says it: with 3 or more communities, DE or the distances have
    // no variation over the pairs counted (the distances judged against the rounding of the
    // single-precision means they come from, SingleDistancesVary's bound), or the subset's means
    // have none (TraitVariation: the distances of a constant trait's means would be rounding alone).
    double Value(const int* traits, int k, int changedFrom, bool* flat = nullptr);
    // DT of the last subset valued, into the upper triangle of D.
    void Distances(double** D) const;

private:
    // What the run fixes: the pairs of communities, the terms of each trait, DE centred, the
    // variation of each trait's means and the square of their largest magnitude.
    struct Tables {
        Tables(int nIn, int p, float** Tn) : n(nIn), variation(nIn, p, Tn) {}
        int n = 0, pairs = 0;
        TraitVariation variation;
        std::vector<int> pairI, pairJ;
        std::vector<double> terms;    // p x pairs
        std::vector<double> magnitudeSq;  // p: m_t^2
        std::vector<double> centred;  // DE - mean over the pairs used
        int used = 0;                 // pairs present in DE: the first `used` of the pair order
        // The mean of `centred` (its sum is 0 but for rounding, which the cross product takes
        // out) and its sum of squares about that mean.
        double meanCentred = 0.0;
        double sumCentredSq = 0.0;
        bool deVaries = false;        // DE has variation over the pairs used
        double de01 = 0.0;
    };
    std::shared_ptr<const Tables> tables_;
    std::vector<double> partial_;  // maxK x pairs
    int lastK_ = 0;
};

}  // namespace chrank

// ----------------------------------------------------------------------- template bodies

template <class Eval, class SizeDone>
void chrank::Enumeration::Run(Eval&& eval, SizeDone&& sizeDone) {
    for (int k = kMin_; k <= kMax_; k++) {
        bool more = First(k);
        while (more) {
            eval(traits_.data(), k, changed_);
            more = Next(k);
        }
        sizeDone(k);
    }
}

#endif
