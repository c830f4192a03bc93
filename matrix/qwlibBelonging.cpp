// Fuzzy and crisp belonging of objects to the groups of a labelling, group counts, class
// numbers over equal-width classes and frequency distributions.
#include "matrix/qwlib.h"

#include "foundation/qwlibDim.h"
#include "statistics/qwlibRes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace {

const float kMissingF = -999.0f;
const double kMissingD = -999.0;

// Sorted distinct values of labels[0..n-1] into sorted (room for n ints); returns their count.
// The ordering is the plain ascending order of the ints: a difference comparator would
// overflow for labels far apart and put them out of order.
int SortedDistinct(int n, const int* labels, int* sorted)
{
    if (n < 1) return 0;
    std::copy(labels, labels + n, sorted);
    std::sort(sorted, sorted + n);
    return static_cast<int>(std::unique(sorted, sorted + n) - sorted);
}

// Position of label in the sorted distinct labels, or -1 when it is not among them.
int ColumnOf(int label, const int* distinct, int nd)
{
    const int* p = std::lower_bound(distinct, distinct + nd, label);
    if (p == distinct + nd || *p != label) return -1;
    return static_cast<int>(p - distinct);
}

// Labels 1..n for a null label array; *owned tells the caller to release them.
int* LabelsOrDefault(int n, int* labels, bool* owned)
{
    *owned = false;
    if (labels != nullptr) return labels;
    int* def = dim1Dint(n);
    for (int i = 0; i < n; i++) def[i] = i + 1;
    *owned = true;
    return def;
}

inline bool IsMissing(float v) { return v == kMissingF; }
inline bool IsMissing(double v) { return v == kMissingD; }

// Working state shared by the fuzzy belonging forms: the group column of every object
// (-1 when its label has no column below g), the group sizes less the duplicates, and the
// duplicate flags and duplicate sets.
struct DuplicateSets {
    int* column = nullptr;   // n
    int* count = nullptr;    // g (at least 1 slot)
    char* isDup = nullptr;   // n
    int* set = nullptr;      // n
};

// The sets of n objects over `cols` columns (the count keeps at least one slot).
DuplicateSets NewDuplicateSets(int n, int cols)
{
    DuplicateSets d;
    d.column = dim1Dint(n);
    d.count = dim1Dint(cols > 0 ? cols : 1);
    d.isDup = static_cast<char*>(dim1D(sizeof(char), n));
    d.set = dim1Dint(n);
    return d;
}

void FreeDuplicateSets(DuplicateSets& d)
{
    free1D(d.column);
    free1D(d.count);
    free1D(d.isDup);
    free1D(d.set);
}

// Steps shared by the fuzzy belonging forms: group sizes, then the duplicate sets. Two objects
// of the same group are identical when their similarity (1 - S for dissimilarities) equals 1
// within one single-precision step; the later one is marked as a duplicate of the earlier one
// and its group's size drops by one. T is the precision in which the similarity is formed.
template <typename T, typename TS>
void FindDuplicates(int n, TS** S, const int* labels, const int* columnOfObject,
                    bool isDissim, DuplicateSets& d)
{
    for (int i = 0; i < n; i++) {
        d.set[i] = i + 1;
        if (columnOfObject[i] >= 0) d.count[columnOfObject[i]]++;
    }
    for (int i = 0; i < n - 1; i++) {
        if (d.isDup[i]) continue;
        for (int j = i + 1; j < n; j++) {
            if (d.isDup[j] || labels[i] != labels[j]) continue;
            T s = static_cast<T>(S[i][j]);
            if (isDissim) s = static_cast<T>(1) - s;
            if (AlmostEqual2sComplement(s, static_cast<T>(1), 1)) {
                d.isDup[j] = 1;
                d.set[j] = i + 1;
                if (columnOfObject[j] >= 0) d.count[columnOfObject[j]]--;
            }
        }
    }
}

// The sums of the fuzzy belonging forms: U (n x g) is cleared and S mirrored into its lower
// triangle, then each object i gathers term(i, j, k) from every object j of column k that is
// i itself or is neither a duplicate nor in i's duplicate set (the term adds to U[i][k]
// itself, and may leave out a missing resemblance).
template <typename TS, typename TU, typename Term>
void SumOverGroups(int n, int g, TS** S, TU** U, const DuplicateSets& d, Term term)
{
    for (int i = 0; i < n; i++)
        for (int k = 0; k < g; k++) U[i][k] = 0;
    for (int i = 0; i < n - 1; i++)
        for (int j = i + 1; j < n; j++) S[j][i] = S[i][j];
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            if (j != i && (d.isDup[j] || d.set[j] == d.set[i])) continue;
            int k = d.column[j];
            if (k >= 0) term(i, j, k);
        }
}

// The three overloads of FuzzyBelonging, on the buffers of a work space made for at least n
// objects. TS: element type of the resemblance; TT: precision in which each term is formed and
// divided; TU: element type of the result.
template <typename TS, typename TT, typename TU>
bool FuzzyBelongingT(int n, int g, TS** S, int* labels, TU** U, bool isDissim, BelongingWork& work)
{
    if (n < 1) return true;
    if (n > work.Capacity()) return false;
    int* lab = labels;
    if (lab == nullptr) {
        lab = work.labels;
        for (int i = 0; i < n; i++) lab[i] = i + 1;
    }
    int* distinct = work.distinct;
    int nd = SortedDistinct(n, lab, distinct);
    int cols = g < nd ? g : nd;   // columns that exist both in U and among the labels

    // The sizes and flags count up from 0 on every call.
    DuplicateSets d{work.column, work.count, work.isDup, work.set};
    std::fill(d.count, d.count + cols, 0);
    std::fill(d.isDup, d.isDup + n, static_cast<char>(0));
    for (int i = 0; i < n; i++) {
        int c = ColumnOf(lab[i], distinct, nd);
        d.column[i] = (c >= 0 && c < cols) ? c : -1;
    }
    FindDuplicates<TT>(n, S, lab, d.column, isDissim, d);

    SumOverGroups(n, g, S, U, d, [&](int i, int j, int k) {
        if (IsMissing(S[i][j])) return;
        TT s = static_cast<TT>(S[i][j]);
        if (isDissim) s = static_cast<TT>(1) - s;
        s = s / static_cast<TT>(d.count[k]);
        U[i][k] += s;
    });
    if (g > 0) UnitSumRowsAdjMV(n, g, U, U);
    return true;
}

// The allocating forms: a work space for this call only.
template <typename TS, typename TT, typename TU>
bool FuzzyBelongingT(int n, int g, TS** S, int* labels, TU** U, bool isDissim)
{
    if (n < 1) return true;
    BelongingWork work(n);
    return FuzzyBelongingT<TS, TT, TU>(n, g, S, labels, U, isDissim, work);
}

template <typename T>
bool CrispBelongingT(int n, int g, int* labels, T** U, BelongingWork& work)
{
    if (n < 1) return true;
    if (n > work.Capacity()) return false;
    int* lab = labels;
    if (lab == nullptr) {
        lab = work.labels;
        for (int i = 0; i < n; i++) lab[i] = i + 1;
    }
    int nd = SortedDistinct(n, lab, work.distinct);
    int cols = g < nd ? g : nd;
    for (int i = 0; i < n; i++) {
        for (int k = 0; k < g; k++) U[i][k] = 0;
        int c = ColumnOf(lab[i], work.distinct, nd);
        if (c >= 0 && c < cols) U[i][c] = 1;
    }
    return true;
}

// The allocating form: a work space for this call only.
template <typename T>
bool CrispBelongingT(int n, int g, int* labels, T** U)
{
    if (n < 1) return true;
    BelongingWork work(n);
    return CrispBelongingT(n, g, labels, U, work);
}

// Class number of x over k equal-width classes between lo and hi, or NaN when no class can be
// formed (a NaN value, or a formula that gives no number). A value inside [lo, hi] always gets
// a class within 1..k: rounding, or a range too wide for the element type, can otherwise push
// the formula just outside.
template <typename T>
T ClassOf(T x, int k, T lo, T hi)
{
    if (std::isnan(x)) return static_cast<T>(NAN);
    if (x == lo) return 1;
    if (x == hi) return static_cast<T>(k);
    T c = std::ceil((x - lo) * static_cast<T>(k) / (hi - lo));
    bool inside = x >= lo && x <= hi;
    bool overflow = !std::isfinite(c) ||
                    (std::isinf(hi - lo) && std::isfinite(lo) && std::isfinite(hi));
    if (inside && overflow) {
        // The range or the product overflowed the element type (bounds near its largest
        // values): form the class in extended precision instead.
        long double l = lo, h = hi, v = x;
        c = static_cast<T>(std::ceil((v - l) * static_cast<long double>(k) / (h - l)));
    }
    if (std::isnan(c)) return c;
    if (k >= 1 && inside) {
        if (c < 1) c = 1;
        if (c > static_cast<T>(k)) c = static_cast<T>(k);
    }
    return c;
}

template <typename T>
void ClassesDefinitionT(int n, const T* x, T* classes, int k, T lo, T hi, bool skipMissing)
{
    const T missing = static_cast<T>(-999);
    for (int i = 0; i < n; i++) {
        T v = x[i];
        T c;
        if (std::isnan(v)) {
            c = missing;
        } else if (v == lo) {
            c = 1;
        } else if (v == hi) {
            c = static_cast<T>(k);
        } else if (skipMissing && v == missing) {
            c = missing;
        } else {
            c = ClassOf(v, k, lo, hi);
            if (std::isnan(c)) c = missing;
        }
        classes[i] = c;
    }
}

template <typename T>
void MinMax(int n, const T* x, bool skipMissing, T* lo, T* hi)
{
    const T missing = static_cast<T>(-999);
    T mn = std::numeric_limits<T>::max();
    T mx = -std::numeric_limits<T>::max();
    for (int i = 0; i < n; i++) {
        if (skipMissing && x[i] == missing) continue;
        if (x[i] < mn) mn = x[i];   // a NaN never compares, so it is left out
        if (x[i] > mx) mx = x[i];
    }
    *lo = mn;
    *hi = mx;
}

template <typename T>
void ClassesT(int n, const T* x, T* classes, int k, bool skipMissing)
{
    if (n < 1) return;
    T lo, hi;
    MinMax(n, x, skipMissing, &lo, &hi);
    ClassesDefinitionT(n, x, classes, k, lo, hi, skipMissing);
}

template <typename T>
void FreqDistributionT(int n, const T* x, int* freq, int k, T* limits)
{
    for (int c = 0; c < k; c++) freq[c] = 0;
    T lo, hi;
    MinMax(n, x, false, &lo, &hi);
    if (k >= 1) {
        for (int i = 0; i < n; i++) {
            T c = ClassOf(x[i], k, lo, hi);
            // A NaN value has no class and is not counted.
            if (std::isnan(c) || c < 1 || c > static_cast<T>(k)) continue;
            freq[static_cast<int>(c) - 1]++;
        }
    }
    if (limits != nullptr && k >= 1)
        for (int c = 0; c < k; c++)
            limits[c] = static_cast<T>(c + 1) * (hi - lo) / static_cast<T>(k) + lo;
}

}  // namespace

int CountGroupsNew(int n, int* labels, int* nGroups, int* distinct)
{
    if (n < 1) {
        *nGroups = 0;
        return 1;
    }
    int* sorted = dim1Dint(n);
    int nd = SortedDistinct(n, labels, sorted);
    if (distinct != nullptr) std::copy(sorted, sorted + nd, distinct);
    free1D(sorted);
    *nGroups = nd;
    return 1;
}

BelongingWork::BelongingWork(int n) : n_(n > 0 ? n : 0)
{
    const int slots = n_ > 0 ? n_ : 1;
    labels = dim1Dint(slots);
    distinct = dim1Dint(slots);
    column = dim1Dint(slots);
    count = dim1Dint(slots);
    isDup = static_cast<char*>(dim1D(sizeof(char), slots));
    set = dim1Dint(slots);
}

BelongingWork::~BelongingWork()
{
    free1D(labels);
    free1D(distinct);
    free1D(column);
    free1D(count);
    free1D(isDup);
    free1D(set);
}

bool FuzzyBelonging(int n, int g, float** S, int* labels, float** U, bool isDissim, BelongingWork& work)
{
    return FuzzyBelongingT<float, float, float>(n, g, S, labels, U, isDissim, work);
}

bool FuzzyBelonging(int n, int g, float** S, int* labels, double** U, bool isDissim, BelongingWork& work)
{
    return FuzzyBelongingT<float, float, double>(n, g, S, labels, U, isDissim, work);
}

bool FuzzyBelonging(int n, int g, double** S, int* labels, double** U, bool isDissim, BelongingWork& work)
{
    return FuzzyBelongingT<double, double, double>(n, g, S, labels, U, isDissim, work);
}

bool FuzzyBelonging(int n, int g, float** S, int* labels, float** U, bool isDissim)
{
    return FuzzyBelongingT<float, float, float>(n, g, S, labels, U, isDissim);
}

bool FuzzyBelonging(int n, int g, float** S, int* labels, double** U, bool isDissim)
{
    return FuzzyBelongingT<float, float, double>(n, g, S, labels, U, isDissim);
}

bool FuzzyBelonging(int n, int g, double** S, int* labels, double** U, bool isDissim)
{
    return FuzzyBelongingT<double, double, double>(n, g, S, labels, U, isDissim);
}

bool FuzzyBelonging_OLD(int n, int g, float** S, int* labels, float** U, bool isDissim)
{
    if (n < 1) return true;
    bool ownLabels;
    int* lab = LabelsOrDefault(n, labels, &ownLabels);

    DuplicateSets d = NewDuplicateSets(n, g);
    // Labels are the column numbers 1..g; an object with any other label has no column.
    for (int i = 0; i < n; i++) d.column[i] = (lab[i] >= 1 && lab[i] <= g) ? lab[i] - 1 : -1;
    FindDuplicates<float>(n, S, lab, d.column, isDissim, d);

    SumOverGroups(n, g, S, U, d,
                  [&](int i, int j, int k) { U[i][k] += S[i][j] / static_cast<float>(d.count[k]); });
    if (g > 0) {
        UnitSumRowsAdj(n, g, U, U);
        if (isDissim)
            for (int i = 0; i < n; i++)
                for (int k = 0; k < g; k++) U[i][k] = 1.0f - U[i][k];
        UnitSumRowsAdj(n, g, U, U);
    }

    FreeDuplicateSets(d);
    if (ownLabels) free1D(lab);
    return true;
}

bool CrispBelonging(int n, int g, int* labels, float** U)
{
    return CrispBelongingT(n, g, labels, U);
}

bool CrispBelonging(int n, int g, int* labels, double** U)
{
    return CrispBelongingT(n, g, labels, U);
}

bool CrispBelonging(int n, int g, int* labels, float** U, BelongingWork& work)
{
    return CrispBelongingT(n, g, labels, U, work);
}

bool CrispBelonging(int n, int g, int* labels, double** U, BelongingWork& work)
{
    return CrispBelongingT(n, g, labels, U, work);
}

void Classes(int n, float* x, float* classes, int k) { ClassesT(n, x, classes, k, false); }
void Classes(int n, double* x, double* classes, int k) { ClassesT(n, x, classes, k, false); }
void ClassesMV(int n, float* x, float* classes, int k) { ClassesT(n, x, classes, k, true); }
void ClassesMV(int n, double* x, double* classes, int k) { ClassesT(n, x, classes, k, true); }

void ClassesDefinition(int n, float* x, float* classes, int k, float min, float max)
{
    ClassesDefinitionT(n, x, classes, k, min, max, false);
}

void ClassesDefinition(int n, double* x, double* classes, int k, double min, double max)
{
    ClassesDefinitionT(n, x, classes, k, min, max, false);
}

void ClassesDefinitionMV(int n, float* x, float* classes, int k, float min, float max)
{
    ClassesDefinitionT(n, x, classes, k, min, max, true);
}

void ClassesDefinitionMV(int n, double* x, double* classes, int k, double min, double max)
{
    ClassesDefinitionT(n, x, classes, k, min, max, true);
}

void FreqDistribution(int n, float* x, int* freq, int k, float* limits)
{
    FreqDistributionT(n, x, freq, k, limits);
}

void FreqDistribution(int n, double* x, int* freq, int k, double* limits)
{
    FreqDistributionT(n, x, freq, k, limits);
}
