// The shared machinery of the trait-subset searches: enumeration, top lists, progress,
// whole-or-nothing files, the environmental resemblance and the fast trait-distance Mantel.
#include "traits/TNXCHORDSearch.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <memory>
#include <utility>

#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/qwlibOrdination.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResGower.h"
#include "traits/TNXCOMRESE.h"

namespace chrank {

// ----------------------------------------------------------------------- top list

TopList::TopList(int slots, double start, Rank entry, bool sortAbs, int maxTraits)
    : entry_(entry), sortAbs_(sortAbs), slots_(slots + 1), other_(slots + 1), values_(slots + 1),
      order_(slots + 1), work_(2 * (slots + 2)) {
    for (Entry& e : slots_) {
        e.value = start;
        e.traits.reserve(maxTraits);
    }
    for (Entry& e : other_) {
        e.value = start;
        e.traits.reserve(maxTraits);
    }
}

bool TopList::Offer(double value, int groups, const int* traits, int k) {
    if (!Beats(entry_, value, slots_[0].value)) return false;
    Entry& weakest = slots_[0];
    weakest.value = value;
    weakest.groups = groups;
    weakest.traits.assign(traits, traits + k);
    const int n = Size();
    for (int i = 0; i < n; i++) values_[i] = slots_[i].value;
    if (sortAbs_)
        RankVectorAbs(n, values_.data(), order_.data(), work_.data());
    else
        RankVector(n, values_.data(), order_.data(), work_.data());
    // The trait lists move by swapping, each keeping the room it was made with.
    for (int i = 0; i < n; i++) {
        Entry& from = slots_[static_cast<int>(order_[i]) - 1];
        Entry& to = other_[i];
        to.value = from.value;
        to.groups = from.groups;
        to.traits.swap(from.traits);
    }
    slots_.swap(other_);
    return true;
}

// ----------------------------------------------------------------------- enumeration

Enumeration::Enumeration(std::vector<int> eligible, int kMin, int kMax)
    : eligible_(std::move(eligible)), kMin_(kMin < 1 ? 1 : kMin), kMax_(kMax) {
    const int m = static_cast<int>(eligible_.size());
    if (kMax_ > m) kMax_ = m;
    combo_.assign(m > 0 ? m : 1, 0);
    traits_.assign(m > 0 ? m : 1, 0);
    for (int k = kMin_; k <= kMax_; k++) total_ += BinomialCount(m, k);
}

bool Enumeration::First(int k) {
    const int m = static_cast<int>(eligible_.size());
    if (PermuteArray(m, k, combo_.data(), true) == 0) return false;
    for (int i = 0; i < k; i++) traits_[i] = eligible_[combo_[i] - 1];
    changed_ = 0;
    return true;
}

bool Enumeration::Next(int k) {
    const int m = static_cast<int>(eligible_.size());
    if (PermuteArray(m, k, combo_.data(), false) == 0) return false;
    changed_ = k;
    for (int i = 0; i < k; i++) {
        const int t = eligible_[combo_[i] - 1];
        if (t != traits_[i] && changed_ == k) changed_ = i;
        traits_[i] = t;
    }
    if (changed_ == k) changed_ = 0;  // cannot happen: each subset differs from the last
    return true;
}

// ----------------------------------------------------------------------- progress

Progress::Progress(int64_t total) : total_(total), start_(std::time(nullptr)) {}

void Progress::At(int64_t done, int k) {
    done_ = done;
    const auto now = std::chrono::steady_clock::now();
    if (done_ != 1 && done_ != total_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    char text[96];
    const double elapsed = std::difftime(std::time(nullptr), start_);
    if (elapsed > 3.0 && done_ > 0 && done_ < total_) {
        const double left = elapsed * static_cast<double>(total_ - done_) / static_cast<double>(done_);
        snprintf(text, sizeof text, "Iteration: %lld of %lld, %.0fs left", static_cast<long long>(done_),
                 static_cast<long long>(total_), left);
    } else {
        snprintf(text, sizeof text, "Iteration: %lld of %lld, Traits: %d", static_cast<long long>(done_),
                 static_cast<long long>(total_), k);
    }
    HandleEventInfoWhere2(text);
}

// ----------------------------------------------------------------------- whole files

WholeFile::~WholeFile() {
    if (f_) std::fclose(f_);
}

FILE* WholeFile::Open() {
    // The target's temporary file is created now, so that a folder that cannot take the file
    // is reported before the search runs. While a run is under way the file is one of its set,
    // put in place with the run's other files.
    run_ = RunFiles();
    out_ = run_ ? run_->OpenOrRaise(writer_.Target()) : writer_.Open();
    if (!out_) return nullptr;
    f_ = std::tmpfile();
    if (!f_) ExplainFileFailure("open", writer_.Target(), errno);
    return f_;
}

bool WholeFile::Commit(const std::string& prefix) {
    if (!f_) return false;
    FILE* out = out_;
    bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
    ok = ok && std::fwrite(prefix.data(), 1, prefix.size(), out) == prefix.size();
    std::rewind(f_);
    // The copy's block lies on the heap, made once: a thread's stack may be as small as the
    // stack limit (ulimit -s) makes it.
    const size_t kBlock = 65536;
    std::unique_ptr<char[]> block(new char[kBlock]);
    size_t got;
    while (ok && (got = std::fread(block.get(), 1, kBlock, f_)) > 0) ok = std::fwrite(block.get(), 1, got, out) == got;
    ok = ok && !std::ferror(f_);
    const int reason = ok ? 0 : errno;
    std::fclose(f_);
    f_ = nullptr;
    // A write that failed names the file and the system's reason, and ends the command with
    // code 3; a target that cannot be put in place is the caller's code 4.
    if (!ok) {
        ExplainFileFailure("write", writer_.Target(), reason);
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    if (run_) return true;
    if (writer_.Finish() != ReplacingWriter::kWritten) {
        ExplainFileFailure("write", writer_.Target(), writer_.Reason());
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    return writer_.Replace() == ReplacingWriter::kWritten;
}

// ----------------------------------------------------------------------- defined statistics

RunDefinitions::RunDefinitions(int n, double** DE)
    : n_(n), flatMantel_(EnvironmentWithoutVariation(n, DE, 1)),
      flatConfiguration_(EnvironmentWithoutVariation(n, DE, 2)) {}

bool RunDefinitions::Defined(int optRo, int partialled, bool againstE) const {
    if (againstE && (optRo == 1 ? flatMantel_ : flatConfiguration_)) return false;
    return CongruenceDefined(n_, optRo, partialled, true);
}

// ----------------------------------------------------------------------- resemblances

double Mantel(int n, double** A, double** B) {
    if (n < 2) return 0.0;
    if (n < 3) return TwoCommunityCongruence(A[0][1], B[0][1]);
    return MatrixCorr(n, A, B);
}

double Mantel(int n, double** A, double** B, bool* flat, bool tablesFlat) {
    bool none = n >= 3 && tablesFlat;
    const double r = n < 3 ? Mantel(n, A, B) : none ? 0.0 : MatrixCorr(n, A, B, &none);
    if (flat) *flat = none;
    return r;
}

namespace {

// The rounding that distances between single-precision normalised means carry, u = 2^-24 the
// rounding of single precision. NormalisedTraitMeans' float form rounds the double means T
// (within kDoubleRounding, 2^-40, of their column's largest magnitude) to float (a relative u),
// takes the column's length d from float squares (u each) summed and rooted in double, so that d
// is |T| times a factor within 1.5u (u from the rounded values, u / 2 from the squares) and (n + 1)
// 2^-54, and rounds the double quotient to float (u + 2^-53). A normalised mean is thus its exact
// value times a factor common to its column, c_t within 1.5u of 1 (and n 2^-54 + sqrt(n) 2^-40),
// plus an error of its own within 2u + 2^-53 + 2^-40 of m_t, its column's largest magnitude: at
// most g m_t with g = 2.5u.
// The Euclidean distance of two communities over the subset's traits, exactly |D| for the
// differences D_t of the exact means, is formed from c_t (D_t + e_t), |e_t| <= 2 g m_t, whose length
// lies within |(c - 1) D| + |c e| <= 1.5u |D| + 2 g sqrt(sum m_t^2) (1 + 1.5u) of |D|; the float
// difference and square (u each), the double sum of k terms ((k - 1) 2^-53) and the root (2^-53)
// multiply it by a factor within 1.5u + (k + 1) 2^-54. A distance thus lies within 2 g sqrt(sum
// m_t^2) + 4u |D| of its exact value, the margins (0.5u of g, 1u of the distance's own part) taking
// the products of the small factors and the terms in n and k for any table double can hold; |D|
// is at most the largest distance computed plus that bound, which the same margins take. The
// absolute-value function adds |c_t (D_t + e_t)| over the traits: within 1.5u |D| + 2 g sum m_t,
// its arithmetic (a float difference, a double sum) within u + k 2^-53. The chord distance scales
// each community's row r to unit length: the row formed, r' = c (r + e) with |e| <= g sqrt(sum
// m_t^2), lies within 1.5u |r| + g sqrt(sum m_t^2) of r, so that r' / |r'| lies within twice that
// over |r'| of r / |r| (|a / |a| - b / |b|| <= 2 |a - b| / |a|), and the row's own scaling in
// single precision adds 1.5u: each unit row within 2 g sqrt(sum m_t^2) / |r'| + 5u of its exact
// value, a distance between two within twice that (the shortest row taken) besides its arithmetic.
// A row of zeros stays exactly zero and adds nothing. Distances equal in exact arithmetic then
// lie within the bound of their common value, and their sum of squares about their mean, at most
// that about the common value, is at most count * bound^2.
constexpr double kMeanRounding = 2.5 * 0x1p-24;     // g
constexpr double kDistanceArithmetic = 0x1p-22;     // 4u, of the largest distance

// What the rounding of the means leaves a Euclidean distance: 2 g sqrt(sum of m_t^2).
double EuclideanMeansRounding(double magnitudesSq) { return 2.0 * kMeanRounding * std::sqrt(magnitudesSq); }

// Whether distances of the given spread (Spread::magnitude their largest) vary beyond the bound:
// meansRounding + kDistanceArithmetic times the largest.
bool VariesBeyondRounding(const Spread& spread, double meansRounding) {
    if (!(spread.magnitude > 0.0)) return false;
    return spread.Varies(meansRounding / spread.magnitude + kDistanceArithmetic);
}

}  // namespace

double MeansRounding(int n, int p, float** Tsub, int opt) {
    double sumSq = 0.0, sum = 0.0;
    for (int t = 0; t < p; t++) {
        double m = 0.0;
        for (int c = 0; c < n; c++)
            if (!IsMissing(Tsub[c][t])) m = std::max(m, std::fabs(static_cast<double>(Tsub[c][t])));
        sumSq += m * m;
        sum += m;
    }
    if (opt == 8 || opt == 9) return 2.0 * kMeanRounding * sum;
    const double euclidean = EuclideanMeansRounding(sumSq);
    if (opt != 10) return euclidean;
    double shortest = 0.0;  // the squared length of the shortest row that has one
    for (int c = 0; c < n; c++) {
        double length = 0.0;
        for (int t = 0; t < p; t++)
            if (!IsMissing(Tsub[c][t])) length += static_cast<double>(Tsub[c][t]) * Tsub[c][t];
        if (length > 0.0 && (shortest == 0.0 || length < shortest)) shortest = length;
    }
    return shortest > 0.0 ? 2.0 * euclidean / std::sqrt(shortest) + 10.0 * 0x1p-24 : 0.0;
}

bool SingleDistancesVary(int n, double** D, double meansRounding) {
    if (n < 3) return true;
    // Two passes, as SpreadOf: the first present cell, the largest magnitude and the count, then
    // the sums.
    double first = 0.0, magnitude = 0.0;
    int count = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            if (IsMissing(D[i][j])) continue;
            if (count++ == 0) first = D[i][j];
            magnitude = std::max(magnitude, std::fabs(D[i][j]));
        }
    Spread spread(first, magnitude, count);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++)
            if (!IsMissing(D[i][j])) spread.Add(D[i][j]);
    return VariesBeyondRounding(spread, meansRounding);
}

bool TraitVariation::Varies(const int* traits, int k) const {
    for (int i = 0; i < k; i++)
        if (varies_[traits[i]]) return true;
    return false;
}

void EnvironmentResemblance(double** DE, float** E) {
    const int n = ncsm, v = nenv;
    for (int c = 0; c < n; c++)
        for (int j = 0; j < v; j++) E[c][j] = env[c][j];
    const bool standardised = optEnvVarType == 2 || optEnvVarType == 4 || (optEnvVarType == 5 && temEnvQual == 0);
    if (standardised) {
        CorrAdj(n, v, E, E);
        EucliDistMV(n, v, E, DE);
        return;
    }
    if (optEnvVarType == 1) {
        // Raw values: differences and squares in double, so that any value single precision
        // holds gives a finite distance.
        double** wide = dim2Double(n, v);
        for (int c = 0; c < n; c++)
            for (int j = 0; j < v; j++) wide[c][j] = env[c][j];
        EucliDistMV(n, v, wide, DE);
        free2D(wide, n);
        return;
    }
    // The Gower path ranks ordinal variables in its input: on a work copy only.
    float** ranked = dim2Dfloat(n, v);
    for (int c = 0; c < n; c++)
        for (int j = 0; j < v; j++) ranked[c][j] = E[c][j];
    GowerMVOpt(n, v, envVarType, ranked, DE, nullptr, nullptr, countDoubleAbsence);
    ProbToDissim(n, DE, DE);
    free2D(ranked, n);
}

void NormalisedTraitMeans(int n, int s, int p, double** W, const std::vector<int>& eligible, double** Tn) {
    int* select = dim1Dint(p);
    for (int t : eligible) select[t] = 1;
    double** T = dim2Double(n, p);
    CommunityWeightedMeans(n, s, p, W, csm_Float, select, T);
    NormalizeColsMV(n, p, T, Tn);
    free2D(T, n);
    free1D(select);
}

void NormalisedTraitMeans(int n, int s, int p, double** W, const std::vector<int>& eligible, float** Tn) {
    int* select = dim1Dint(p);
    for (int t : eligible) select[t] = 1;
    double** T = dim2Double(n, p);
    CommunityWeightedMeans(n, s, p, W, csm_Float, select, T);
    // The means are rounded to float and normalised in single precision (the search's path).
    float** Tf = dim2Dfloat(n, p);
    for (int c = 0; c < n; c++)
        for (int t = 0; t < p; t++) Tf[c][t] = static_cast<float>(T[c][t]);
    NormalizeColsMV(n, p, Tf, Tn);
    free2D(Tf, n);
    free2D(T, n);
    free1D(select);
}

// ----------------------------------------------------------------------- fast r(TE)

TraitDistanceMantel::TraitDistanceMantel(int n, int p, float** Tn, double** DE, int maxK) {
    auto t = std::make_shared<Tables>(n, p, Tn);
    const int pairs = t->pairs = n > 1 ? n * (n - 1) / 2 : 0;
    t->pairI.resize(pairs);
    t->pairJ.resize(pairs);
    t->centred.assign(pairs, 0.0);
    // The pairs that MatrixCorr counts (DE present) come first, so that the correlation runs
    // over one unbroken range; the others only enter the distances.
    int q = 0;
    for (int pass = 0; pass < 2; pass++)
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) {
                if (IsMissing(DE[i][j]) != (pass == 1)) continue;
                t->pairI[q] = i;
                t->pairJ[q] = j;
                q++;
            }
    double sum = 0.0, magnitude = 0.0;
    for (q = 0; q < pairs && !IsMissing(DE[t->pairI[q]][t->pairJ[q]]); q++) {
        sum += DE[t->pairI[q]][t->pairJ[q]];
        magnitude = std::max(magnitude, std::fabs(DE[t->pairI[q]][t->pairJ[q]]));
        t->used++;
    }
    // Per trait the term EucliDistMV adds for the pair: the float difference squared in float,
    // nothing when either mean is missing.
    t->terms.assign(static_cast<size_t>(p) * pairs, 0.0);
    for (int c = 0; c < p; c++) {
        double* term = &t->terms[static_cast<size_t>(c) * pairs];
        for (q = 0; q < pairs; q++) {
            const float a = Tn[t->pairI[q]][c], b = Tn[t->pairJ[q]][c];
            if (IsMissing(a) || IsMissing(b)) continue;
            const float d = a - b;
            term[q] = static_cast<double>(d * d);
        }
    }
    t->magnitudeSq.assign(p, 0.0);
    for (int c = 0; c < p; c++) {
        double m = 0.0;
        for (int i = 0; i < n; i++)
            if (!IsMissing(Tn[i][c])) m = std::max(m, std::fabs(static_cast<double>(Tn[i][c])));
        t->magnitudeSq[c] = m * m;
    }
    partial_.assign(static_cast<size_t>(maxK > 0 ? maxK : 1) * (pairs > 0 ? pairs : 1), 0.0);
    if (n >= 2) t->de01 = DE[0][1];
    // DE centred once over the pairs counted, its spread beside. Values whose squares leave
    // double are centred times a power of two (ValueScale), which the correlation does not see.
    const double mean = t->used > 0 ? sum / t->used : 0.0;
    const double scale = ValueScale(magnitude);
    Spread spread(t->used > 0 ? DE[t->pairI[0]][t->pairJ[0]] : 0.0, magnitude, t->used);
    double sumCentred = 0.0;
    for (q = 0; q < t->used; q++) {
        const double de = DE[t->pairI[q]][t->pairJ[q]];
        t->centred[q] = (de - mean) * scale;
        sumCentred += t->centred[q];
        spread.Add(de);
    }
    t->deVaries = spread.Varies(kDoubleRounding);
    // The rounded mean leaves the centred values a sum of their own, which on distances that lie
    // close together or far from 0 is no longer small beside their spread: kept, so that every
    // subset's cross product takes it out, and the sum of squares taken about it.
    t->meanCentred = t->used > 0 ? sumCentred / t->used : 0.0;
    for (q = 0; q < t->used; q++) {
        const double z = t->centred[q] - t->meanCentred;
        t->sumCentredSq += z * z;
    }
    tables_ = std::move(t);
}

double TraitDistanceMantel::Value(const int* traits, int k, int changedFrom, bool* flat) {
    const Tables& t = *tables_;
    const int pairs = t.pairs;
    lastK_ = k;
    if (flat) *flat = false;
    if (k < 1) return 0.0;
    for (int level = changedFrom; level < k; level++) {
        double* acc = &partial_[static_cast<size_t>(level) * pairs];
        const double* term = &t.terms[static_cast<size_t>(traits[level]) * pairs];
        if (level == 0) {
            for (int q = 0; q < pairs; q++) acc[q] = term[q];
        } else {
            const double* prev = acc - pairs;
            // Unrolled: a loop this short otherwise runs up to a tenth slower or faster with where
            // the linker happens to place it.
#pragma GCC unroll 4
            for (int q = 0; q < pairs; q++) acc[q] = prev[q] + term[q];
        }
    }
    const double* acc = &partial_[static_cast<size_t>(k - 1) * pairs];
    if (t.n < 3) {
        const double d = acc[0] > 0.0 ? std::sqrt(acc[0]) : 0.0;
        return t.n == 2 ? TwoCommunityCongruence(t.de01, d) : 0.0;
    }
    // Without variation in DE or in the subset's means the distances correlate nothing; the
    // partial sums above stay made for the subsets that follow.
    const int used = t.used;
    if (used < 1 || !t.deVaries || !t.variation.Varies(traits, k)) {
        if (flat) *flat = true;
        return 0.0;
    }
    const double* c = t.centred.data();
    // The distances taken less the first one (their spread, Spread) in every sum: equal
    // distances give exact zeros, and the correlation keeps the precision of their differences
    // however close they lie (a sum of squares less the square of a sum would keep only the
    // rounding of the distances themselves, and could leave [-1, 1]). The cross product is that
    // of DE about the centred values' own mean, sum (c - mean c) d = sum c d - mean c sum d, in
    // which neither the shift nor the distances' mean plays any part.
    const double shift = acc[0] > 0.0 ? std::sqrt(acc[0]) : 0.0;
    Spread spread = Spread::InOwnUnits(shift, used);
    double sxy = 0.0, ymax = 0.0;
    int q = 0;
#if defined(__SSE2__)
    // Two pairs at a time: the square root dominates, and the packed one rounds each lane as
    // the scalar one does (acc is a sum of squares, never below 0).
    __m128d vxy = _mm_setzero_pd(), vdy = _mm_setzero_pd(), vdyy = _mm_setzero_pd(), vmax = _mm_setzero_pd();
    const __m128d zero = _mm_setzero_pd(), vshift = _mm_set1_pd(shift);
    for (; q + 1 < used; q += 2) {
        const __m128d y = _mm_sqrt_pd(_mm_max_pd(_mm_loadu_pd(acc + q), zero));
        const __m128d d = _mm_sub_pd(y, vshift);
        vxy = _mm_add_pd(vxy, _mm_mul_pd(_mm_loadu_pd(c + q), d));
        vdy = _mm_add_pd(vdy, d);
        vdyy = _mm_add_pd(vdyy, _mm_mul_pd(d, d));
        vmax = _mm_max_pd(vmax, y);
    }
    double lanes[2];
    _mm_storeu_pd(lanes, vxy);
    sxy = lanes[0] + lanes[1];
    _mm_storeu_pd(lanes, vdy);
    spread.sum = lanes[0] + lanes[1];
    _mm_storeu_pd(lanes, vdyy);
    spread.sumSq = lanes[0] + lanes[1];
    _mm_storeu_pd(lanes, vmax);
    ymax = std::max(lanes[0], lanes[1]);
#endif
    for (; q < used; q++) {
        const double y = acc[q] > 0.0 ? std::sqrt(acc[q]) : 0.0;
        sxy += c[q] * (y - shift);
        spread.Add(y);
        ymax = std::max(ymax, y);
    }
    spread.magnitude = ymax;
    // Distances equal but for the rounding of the single-precision means they come from have no
    // spread the data define: correlation 0, and flat.
    double magnitudesSq = 0.0;  // of the subset's traits: k look-ups
    for (int i = 0; i < k; i++) magnitudesSq += t.magnitudeSq[traits[i]];
    if (!VariesBeyondRounding(spread, EuclideanMeansRounding(magnitudesSq))) {
        if (flat) *flat = true;
        return 0.0;
    }
    sxy -= t.meanCentred * spread.sum;
    // Both sums of squares are of deviations: the quotient leaves [-1, 1] by rounding at most.
    const double r = sxy / std::sqrt(t.sumCentredSq * spread.Centred());
    return r > 1.0 ? 1.0 : (r < -1.0 ? -1.0 : r);
}

void TraitDistanceMantel::Distances(double** D) const {
    const Tables& t = *tables_;
    for (int i = 0; i < t.n; i++) D[i][i] = 0.0;
    if (lastK_ < 1) {
        for (int q = 0; q < t.pairs; q++) D[t.pairI[q]][t.pairJ[q]] = 0.0;
        return;
    }
    const double* acc = &partial_[static_cast<size_t>(lastK_ - 1) * t.pairs];
    for (int q = 0; q < t.pairs; q++) D[t.pairI[q]][t.pairJ[q]] = acc[q] > 0.0 ? std::sqrt(acc[q]) : 0.0;
}

}  // namespace chrank
