// Randomisation tests of stored resemblances and of structure evaluations: the handler, the two
// engines, the evaluation of one iteration, the null distributions, the analysis-of-variance
// table and the null-model generators.
#include "classical/tnxRnd.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "classical/TNXEVAL.h"
#include "classical/TNXSeries.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/ScopedValue.h"
#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/core/qwlibPooling.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlib.h"
#include "session/dialogs/TNXIFSETCLASSIC.h"
#include "session/model/TNXGLOB.h"
#include "session/model/TNXTRACK.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResDistance.h"
#include "traits/TNXHIER.h"
#include "traits/TNXHIERInternal.h"
#include "traits/TNXHIERPRINT.h"
#include "traits/TNXHIERRESE.h"

namespace {

FILE* Out() { return out ? out : stdout; }

// A uniform draw of the C generator in (0, 1): 0 would name no taxon and 1 a slot past the end.
double UniformC() {
    for (;;) {
        const double u = std::rand() / 2147483647.0;
        if (u > 0.0 && u < 1.0) return u;
    }
}

// A buffer kept from one call to the next: the generators run once per iteration and allocate
// only when a larger problem comes.
template <class T>
T* Keep(std::vector<T>& v, size_t n) {
    if (v.size() < n) v.resize(n);
    return v.data();
}

// m[c] (0-based) = the community whose place c takes: a permutation of each stratum of w among
// its own members; list holds n entries of work space.
void StrataPermutation(int n, int w, int* m, int* list) {
    w = std::max(1, w);
    for (int s = 0; s < std::min(w, n); s++) {
        const int k = (n - s + w - 1) / w;
        RndList(k, list);
        for (int j = 0; j < k; j++) m[s + j * w] = s + (list[j] - 1) * w;
    }
}

// random[l][i][j] = observed[l][min(m(i), m(j))][max(m(i), m(j))] over every level.
void Relocate(double*** observed, double*** random, int n, const int* m) {
    for (int l = 0; l < ReseLevels(); l++)
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) random[l][i][j] = observed[l][std::min(m[i], m[j])][std::max(m[i], m[j])];
}

// n x n double matrices, released with their owner.
struct Matrices {
    int n;
    std::vector<double**> m;
    Matrices(int count, int size) : n(size) {
        for (int k = 0; k < count; k++) m.push_back(dim2Double(size, size));
    }
    Matrices(const Matrices&) = delete;
    Matrices& operator=(const Matrices&) = delete;
    ~Matrices() {
        for (double** x : m) free2D(x, n);
    }
    double*** get() { return m.data(); }
    double** operator[](int k) const { return m[k]; }
    void Fill(double v) {
        for (double** x : m)
            for (int i = 0; i < n; i++) std::fill(x[i], x[i] + n, v);
    }
};

// The progress line of a loop, composed on the stack: the loops allocate nothing.
void Progress(const char* format, int total, int current) {
    char text[64];
    std::snprintf(text, sizeof text, format, total, current);
    HandleEventInfoWhere2(text);
}

// The number of classes of a null distribution: a tenth of the values, 2 to 30.
int Classes(int n) { return std::min(30, std::max(2, static_cast<int>(0.1 * n))); }

// Null distributions need two values at least.
bool Distributions() { return doDistrib > 0 && niter >= 2; }

// What the null distributions of `series` series need, all of it allocated before the first
// iteration: the store of their values, one iteration's values, one series' values read back,
// each series' observed value and probability, the classes.
struct DistributionBuffers {
    NullValues store;
    std::vector<double> block, values, observed, P, limits;
    std::vector<int> freq;
    explicit DistributionBuffers(size_t series)
        : store(series, niter), block(series + 1), values(niter), observed(series + 1), P(series + 1),
          limits(Classes(niter)), freq(Classes(niter)) {}
};

// The buffers when the distributions are kept, else none. Memory that cannot be had is the
// program's out-of-memory error, raised before any iteration runs.
std::unique_ptr<DistributionBuffers> KeepDistributions(size_t series) {
    if (!Distributions()) return nullptr;
    try {
        return std::make_unique<DistributionBuffers>(series);
    } catch (const std::bad_alloc&) {
        RaiseError(TNX_OUT_OF_MEMORY);
    }
}

// The distributions file: the class count, then one distribution per series with its observed
// value and probability.
void WriteDistributions(DistributionBuffers& d, size_t series, const double* observed, const double* P) {
    SessionFileName(whichRnd, rndExt);
    RunFileWriter w(std::string(volumeName) + whichRnd);
    FILE* f = w.OpenOrRaise();
    const int k = static_cast<int>(d.freq.size());
    std::fprintf(f, "%d\n", k);
    double mean = 0.0, sd = 0.0;
    for (size_t s = 0; s < series; s++) {
        Progress("Frequency distribution: %d %d", static_cast<int>(series), static_cast<int>(s + 1));
        d.store.Get(s, d.values.data());
        SaveDistribution(f, niter, d.values.data(), d.freq.data(), k, d.limits.data(), observed[s], P[s], &mean,
                         &sd);
    }
    w.CommitOrExplain();
}

// The standard deviation from a sum and a sum of squares of n values (n >= 2); rounding may
// leave a radicand just below 0.
double Deviation(double sum, double squares, int n) {
    return std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1)));
}

// The opening of a test's report section.
void ReportHead(FILE* f) {
    SectionHead(f, "RANDOMIZATION\n", true);
    std::fprintf(f, "Elapsed time: %g seconds\n", std::difftime(std::time(nullptr), time0));
    std::fprintf(f, "Reference set option: %s\n", OptionLabel(empir_optInfo, empir_opt - 1));
    if (empir_opt == 1 || empir_opt == 2 || empir_opt == 5) {
        std::fprintf(f, "Richness in random community %s\n", OptionLabel(keepRichnessInfo, keepRichness));
        std::fprintf(f, "Performance total in random community %s\n", OptionLabel(keepReleveTotalInfo, keepReleveTotal));
    }
    if (empir_opt == 2) {
        std::fprintf(f, "   Traits randomized: ");
        for (int t = 0; t < nch; t++)
            if (whatRndCh[t]) std::fprintf(f, "%-3s", chLabel[nchor[t] - 1]);
        std::fprintf(f, "\n");
    }
    std::fprintf(f, "Number of iterations: %d\n", niter);
    std::fprintf(f, "Random generator seed: %u\n", rseed);
}

// The random-data file, written whole when the preference asks for it.
class RandomDataFile {
public:
    RandomDataFile() {
        if (saveRndData != 'y') return;
        SessionFileName(whichRndData, rndDataExt);
        writer_ = std::make_unique<RunFileWriter>(std::string(volumeName) + whichRndData);
        f_ = writer_->OpenOrRaise();
    }
    FILE* Stream() const { return f_; }
    void Commit() {
        if (writer_) writer_->CommitOrExplain();
    }

private:
    std::unique_ptr<RunFileWriter> writer_;
    FILE* f_ = nullptr;
};

void PrintHalves(FILE* f, int levels, int n, double*** m) {
    for (int l = 0; l < levels; l++) PrintHalfMatrix(f, n, m[l], 0, sDigits);
}

// One data set's hierarchy of types and resemblances, computed by the same code for the observed
// and the random data: the communities pooled in windows of w, the hierarchy of the codes, the
// resemblance by rese_opt of every pair (or of adjacent communities), the tested matrix (the
// second one for options 5 and 10) rounded to 6 decimals.
class ResemblanceSpace {
public:
    ResemblanceSpace(int levels, int w)
        : levels_(levels), w_(std::max(1, w)), units_(std::max(1, ncsm - w_ + 1)), types_(levels, 0),
          pooled_(dim2Dfloat(tcst, units_)), totals_(dim2Dfloat(units_, 1)), track_(dim2Dint(levels, tcst)),
          R_(levels, units_), R2_(levels, units_) {
        if (fuzzy == 1 || fuzzy == 2) {
            S_ = reinterpret_cast<double***>(dim1Dptr(levels));
            for (int l = 0; l < levels; l++) S_[l] = dim2Double(tcst, tcst);
        }
    }
    ~ResemblanceSpace() {
        if (S_) {
            for (int l = 0; l < levels_; l++) free2D(S_[l], tcst);
            free1D(S_);
        }
        free2D(track_, levels_);
        free2D(totals_, units_);
        free2D(pooled_, tcst);
    }
    ResemblanceSpace(const ResemblanceSpace&) = delete;
    ResemblanceSpace& operator=(const ResemblanceSpace&) = delete;

    int Units() const { return units_; }

    // The tested resemblances of W (OTUs x communities) with the codes into out; the level
    // tables go to tables when it is given.
    void Compute(float** W, char** codes, double*** out, FILE* tables) {
        int pooledCount = 0;
        SplitMovingWinPool(tcst, ncsm, W, pooled_, w_, &pooledCount, false);
        types_[0] = tcst;
        char*** levelCodes = nullptr;
        float*** levelData = nullptr;
        Hierarchy(levels_, nch, units_, codes, &levelCodes, types_.data(), pooled_, &levelData, track_);
        if (tables) PrintTables(tables, levels_, units_, types_.data(), levelCodes, levelData);
        if (rndAdjacent == 1)
            Rese(units_, levelCodes, types_.data(), S_, levelData, totals_, R_.get(), R2_.get());
        else
            ReseNeighbours(units_, levelCodes, types_.data(), S_, levelData, totals_, R_.get(), R2_.get(), 1);
        FreeHierarchy(levels_, units_, types_.data(), levelCodes, levelData);
        const bool second = rese_opt == 5 || rese_opt == 10;
        for (int l = 0; l < levels_; l++)
            for (int i = 0; i < units_; i++)
                for (int j = i; j < units_; j++) out[l][i][j] = Round((second ? R2_ : R_)[l][i][j], 6);
    }

private:
    int levels_, w_, units_;
    std::vector<int> types_;
    float** pooled_;
    float** totals_;
    int** track_;
    Matrices R_, R2_;
    double*** S_ = nullptr;
};

// A composition null model gives up after this many consecutive failures.
constexpr int kMaxFailures = 1000;

void NullModelFailed() {
    ClearLine();
    Refuse("\nThe null model could not build a random data set: no probabilities were computed.\n");
}

// Whether the random value v counts against the observed o: both rounded alike, v >= o for an
// upper-tail test, v <= o for a lower-tail one.
bool CountsRounded(double v, double o, bool lower) { return lower ? v <= o : v >= o; }

// Probabilities divide by the iterations, which count the observed data: one at least.
bool IterationsGiven() {
    if (niter >= 1) return true;
    Refuse("\nThe number of iterations must be 1 or more.\n");
    return false;
}

// The evaluation functions the test takes.
bool EvaluatedFunction(int f) { return f == 1 || f == 3 || f == 4; }

// A level's SEF counts when it lies further from 0 than the observed one (nearer for function 3)
// or within one unit in the last place of it.
bool CountsSEF(double v, double o) {
    if (std::isnan(v) || std::isnan(o)) return false;
    const double a = std::fabs(v), b = std::fabs(o);
    if (AlmostEqual2sComplement(a, b, 1)) return true;
    return cohe == 3 ? a < b : a > b;
}

// The resemblances with the probabilities below the diagonal, or only the adjacent pairs.
void PrintResemblanceTable(FILE* f, int n, double** m) {
    if (rndAdjacent == 1) {
        PrintMatrix(f, n, n, m, sDigits, 0);
        return;
    }
    std::fprintf(f, "comparing adjacent communities.\n\nCommunities:\n");
    for (int i = 0; i + 1 < n; i++) std::fprintf(f, "%s-%s\t", reLabel[i], reLabel[i + 1]);
    std::fprintf(f, "\nNominal resemblances:\n");
    for (int i = 0; i + 1 < n; i++) std::fprintf(f, "%.*g\t", sDigits, m[i][i + 1]);
    std::fprintf(f, "\nProbabilities:\n");
    for (int i = 0; i + 1 < n; i++) std::fprintf(f, "%.*g\t", sDigits, m[i + 1][i]);
    std::fprintf(f, "\n");
}

// Whether a stored resemblance s and its recomputed value r can be one value. The stored file
// keeps 6 significant digits ("%g"): s lies within half a unit of its 6th digit of the value v,
// that is within 5e-6 |v|; r is v rounded to 6 decimals, within 5e-7 of it. So one value read
// both ways differs by at most 5e-6 of the larger magnitude plus 5e-7 (the floor that matters
// near 0, where the 6 decimals are coarser than the 6 digits). The bound is doubled for the last
// bits in which two computations of one value in single precision may differ; a matrix of
// another option or path misses it by far more.
bool SameStoredValue(double s, double r) {
    if (s == r || (std::isnan(s) && std::isnan(r))) return true;
    return std::fabs(s - r) <= 1e-5 * std::max(std::fabs(s), std::fabs(r)) + 1e-6;
}

// Whether the recomputed observed resemblances (levels x n x n, upper triangle) are the stored
// ones in rese, over the cells the test reports: every pair with its diagonal, or the adjacent
// pairs only. When they are not, the refusal says which value differs.
bool ObservedAreStored(int levels, int n, double*** observed) {
    if (n != ncsm) {
        Refuse(FormatText("\nThe stored resemblances are not those of the trait hierarchy (%d communities stored, %d "
                          "windows tested): no probabilities were computed.\n",
                          ncsm, n)
                   .c_str());
        return false;
    }
    const bool adjacentOnly = rndAdjacent != 1;
    for (int l = 0; l < levels; l++)
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) {
                if ((adjacentOnly && j != i + 1) || SameStoredValue(rese[l][i][j], observed[l][i][j])) continue;
                const std::string level = levels > 1 ? FormatText("level %d, ", l + 1) : std::string();
                Refuse(FormatText("\nThe stored resemblances are not those of the trait hierarchy (%s%s-%s: stored %g, "
                                  "recomputed %g): no probabilities were computed.\n",
                                  level.c_str(), reLabel[i], reLabel[j], rese[l][i][j], observed[l][i][j])
                           .c_str());
                return false;
            }
    return true;
}

// A write to the null values' temporary file that failed: the file has no name, so the message
// calls it what it is, with the system's reason; code 3.
[[noreturn]] void RaiseTemporaryUnwritten(int reason) {
    ExplainFileFailure("write", "a temporary file", reason);
    RaiseError(TNX_FAIL_TO_PRINT);
}

}  // namespace

NullValues::NullValues(size_t series, int niterations, size_t budget) : series_(series), niter_(niterations) {
    // series x niterations doubles fit the budget, compared without forming a product that could
    // wrap around.
    const size_t iterations = static_cast<size_t>(std::max(niterations, 0));
    if (iterations == 0 || series <= budget / sizeof(double) / iterations) {
        try {
            values_.assign(series * iterations, 0.0);
        } catch (const std::bad_alloc&) {
            RaiseError(TNX_OUT_OF_MEMORY);
        }
        return;
    }
    file_ = std::tmpfile();
    if (!file_) {
        std::fprintf(stderr, "\ncan't open a temporary file: %s \n", std::strerror(errno));
        RaiseError(TNX_FAIL_TO_OPEN);
    }
}

NullValues::~NullValues() {
    if (file_) std::fclose(file_);
}

void NullValues::Put(int it, const double* block) {
    if (!file_) {
        for (size_t s = 0; s < series_; s++) values_[s * niter_ + it] = block[s];
        return;
    }
    // Iteration it fills the it-th block of the file; in the usual order (one iteration after
    // the other) the file already stands there and no seek empties the stream's buffer.
    errno = 0;
    if (next_ != it) {
        const long at = static_cast<long>(static_cast<size_t>(it) * series_ * sizeof(double));
        if (std::fseek(file_, at, SEEK_SET) != 0) RaiseTemporaryUnwritten(errno);
    }
    if (std::fwrite(block, sizeof(double), series_, file_) != series_) RaiseTemporaryUnwritten(errno);
    next_ = static_cast<long long>(it) + 1;
}

void NullValues::Get(size_t s, double* v) {
    if (!file_) {
        std::copy(values_.begin() + s * niter_, values_.begin() + (s + 1) * niter_, v);
        return;
    }
    // The values put last may still wait in the stream's buffer: written now, so that a write
    // that fails is named as one, not taken for a file cut short.
    errno = 0;
    if (next_ >= 0 && std::fflush(file_) != 0) RaiseTemporaryUnwritten(errno);
    next_ = -1;
    for (int it = 0; it < niter_; it++) {
        const long at = static_cast<long>((static_cast<size_t>(it) * series_ + s) * sizeof(double));
        if (std::fseek(file_, at, SEEK_SET) != 0 || std::fread(v + it, sizeof(double), 1, file_) != 1)
            RaiseError(TNX_END_OF_FILE);
    }
}

Occurrences::Occurrences(float** W, int nOTU, int nComm, int w) : perWindow(std::max(1, w), 0), richness(nComm, 0) {
    const int strata = static_cast<int>(perWindow.size());
    std::vector<int> order(nOTU);
    for (int s = 0; s < strata; s++) {
        for (int o = 0; o < nOTU; o++) order[o] = o;
        SortByPresenceSMW(nOTU, nComm, order.data(), W, s, strata);
        for (int o : order)
            for (int c = s; c < nComm; c += strata)
                // A missing performance is no occurrence: moved about it would be pooled as a
                // value, and added to a kept total.
                if (W[o][c] != 0.0f && !IsMissing(W[o][c])) {
                    list.push_back({o, c, W[o][c]});
                    perWindow[s]++;
                    richness[c]++;
                }
    }
}

// ---------------------------------------------------------------------------------------
// Null-model generators.
// ---------------------------------------------------------------------------------------

void ReorderRnd(int nTraits, int nOTU, int* order, int** list) {
    std::vector<int> former(std::max(nTraits, 0));
    for (int o = 0; o < nOTU; o++) {
        std::copy(list[o], list[o] + nTraits, former.begin());
        for (int k = 0; k < nTraits; k++) list[o][k] = former[order[k] - 1];
    }
}

void SortByPresenceSMW(int nOTU, int nComm, int* order, float** data, int start, int step) {
    std::vector<int> count(nOTU, 0);
    step = std::max(1, step);
    for (int o = 0; o < nOTU; o++)
        for (int c = start; c < nComm; c += step) count[o] += data[o][c] != 0.0f && !IsMissing(data[o][c]);
    std::stable_sort(order, order + nOTU, [&](int a, int b) { return count[a] > count[b]; });
}

void SortByPresence(int rows, int cols, char** labels, float** data, char** labels2) {
    std::vector<int> count(rows, 0), order(rows);
    for (int i = 0; i < rows; i++) {
        order[i] = i;
        for (int c = 0; c < cols; c++) count[i] += data[i][c] != 0.0f;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return count[a] > count[b]; });
    auto arrange = [&](auto** rowsOf) {
        if (!rowsOf) return;
        std::vector<std::remove_pointer_t<decltype(rowsOf)>> former(rowsOf, rowsOf + rows);
        for (int i = 0; i < rows; i++) rowsOf[i] = former[order[i]];
    };
    arrange(labels);
    arrange(data);
    arrange(labels2);
}

void RndTaxon(char** codes, char** rndCodes, int** taxa, int n) {
    static std::vector<char> held;
    char* taken = Keep(held, static_cast<size_t>(n) + 1);
    int first = -1;
    for (int t = 0; t < nch; t++) {
        for (int i = 0; i < n; i++) taxa[i][t] = 0;
        if (!whatRndCh[t]) continue;
        if (chDependency && first >= 0) {
            for (int i = 0; i < n; i++) taxa[i][t] = taxa[i][first];
            continue;
        }
        std::fill(taken, taken + n + 1, 0);
        for (int i = 0; i < n; i++) {
            int k;
            do k = static_cast<int>(std::ceil(UniformC() * n));
            while (k < 1 || k > n || taken[k]);
            taken[k] = 1;
            taxa[i][t] = k;
        }
        if (first < 0) first = t;
    }
    for (int i = 0; i < n; i++) {
        std::memcpy(rndCodes[i], codes[i], 2 * static_cast<size_t>(nch));
        rndCodes[i][2 * nch] = '\0';
        for (int t = 0; t < nch; t++)
            if (whatRndCh[t]) {
                rndCodes[i][2 * t] = codes[taxa[i][t] - 1][2 * t];
                rndCodes[i][2 * t + 1] = codes[taxa[i][t] - 1][2 * t + 1];
            }
    }
}

int RndCompositionGeneral(float** W, const Occurrence* occ, int nOTU, int nOcc, int nComm, const int* richness,
                          int w, const int* perWindow, int keepRich, int keepTotal) {
    static std::vector<int> receivedV, startV, candV, permV, filledV;
    static std::vector<float> ownV, slotV;
    for (int o = 0; o < nOTU; o++) std::fill(W[o], W[o] + nComm, 0.0f);
    int* received = Keep(receivedV, nComm);
    std::fill(received, received + nComm, 0);
    int* start = Keep(startV, static_cast<size_t>(nComm) + 1);
    float* slot = Keep(slotV, static_cast<size_t>(nOcc) + 1);
    if (keepTotal) {
        // Community c's own values in list order, then in a random order into its slots.
        float* own = Keep(ownV, static_cast<size_t>(nOcc) + 1);
        int* filled = Keep(filledV, nComm);
        int* perm = Keep(permV, static_cast<size_t>(nOcc) + 1);
        std::fill(filled, filled + nComm, 0);
        for (int k = 0; k < nOcc; k++) filled[occ[k].community]++;
        start[0] = 0;
        for (int c = 0; c < nComm; c++) start[c + 1] = start[c] + filled[c];
        std::fill(filled, filled + nComm, 0);
        for (int k = 0; k < nOcc; k++) own[start[occ[k].community] + filled[occ[k].community]++] = occ[k].value;
        for (int c = 0; c < nComm; c++) {
            RndList(filled[c], perm);
            for (int j = 0; j < filled[c]; j++) slot[start[c] + j] = own[start[c] + perm[j] - 1];
        }
    }
    w = std::max(1, w);
    int* cand = Keep(candV, nComm);
    for (int s = 0, k = 0; s < w; s++) {
        int nCand = 0;
        for (int c = s; c < nComm; c += w) cand[nCand++] = c;
        for (int e = 0; e < perWindow[s]; e++, k++) {
            if (nCand == 0) return 0;
            const Occurrence& o = occ[k];
            int c = 0;
            for (int refused = 0;; refused++) {
                if (refused > 10 * nComm) return 0;
                c = cand[static_cast<int>(UniformC() * nCand)];
                if ((!keepRich || W[o.otu][c] == 0.0f) && received[c] < richness[c]) break;
            }
            // A community given more placements than its own values receives nothing further.
            const bool hasSlot = received[c] < start[c + 1] - start[c];
            W[o.otu][c] += keepTotal ? (hasSlot ? slot[start[c] + received[c]] : 0.0f) : o.value;
            received[c]++;
        }
    }
    return 1;
}

void RndRelLocationData(int nOTU, int nComm, float** out, float** in, int w) {
    static std::vector<int> mV, listV;
    int* m = Keep(mV, nComm);
    StrataPermutation(nComm, w, m, Keep(listV, nComm));
    for (int o = 0; o < nOTU; o++)
        for (int c = 0; c < nComm; c++) out[o][c] = in[o][m[c]];
}

void RndRelLocationSMW(double*** observed, double*** random, int nComm, int w) {
    static std::vector<int> mV, listV;
    int* m = Keep(mV, nComm);
    StrataPermutation(nComm, w, m, Keep(listV, nComm));
    Relocate(observed, random, nComm, m);
}

void RndRelLocation(double*** observed, double*** random, int n) { RndRelLocationSMW(observed, random, n, 1); }

void RndPartitionManova(int n, int nLevels, int* levelFlags, int* nGroups, int** groupLabels, int** objectLabels,
                        double*** observed, double*** random) {
    static std::vector<int> listV, mV;
    int* list = Keep(listV, n);
    int* m = Keep(mV, n);
    if (nLevels == 1) {
        RndList(n, list);
    } else {
        for (int i = 0; i < n; i++) list[i] = i + 1;
        RndListNested(n, nLevels, levelFlags, nGroups, groupLabels, objectLabels, list);
    }
    for (int i = 0; i < n; i++) m[i] = list[i] - 1;
    Relocate(observed, random, n, m);
}

void RndPartition(int* a, int* aOut, int* b, int* bOut, int n) {
    static std::vector<int> pV;
    int* p = Keep(pV, n);
    RndList(n, p);
    for (int i = 0; i < n; i++) {
        aOut[i] = a[p[i] - 1];
        bOut[i] = b[p[i] - 1];
    }
}

void RndPairwiseGrComp(int n, int groups, int* groupOf, double** matrix, double** observed, double** random,
                       double** counts) {
    if (groups < 2) return;
    static std::vector<int> selectionV;
    int* selection = Keep(selectionV, n);
    for (int a = 1; a <= groups; a++)
        for (int b = a + 1; b <= groups; b++) {
            for (int c = 0; c < n; c++) selection[c] = groupOf[c] == a || groupOf[c] == b;
            const double v = Round(EvalStruct(nullptr, matrix, selection), 6);
            random[a - 1][b - 1] = v;
            if (counts && CountsRounded(v, observed[a - 1][b - 1], true)) counts[a - 1][b - 1] += 1.0;
        }
}

void RndComposition(char** strings, char** out, int n) {
    static std::vector<int> pV;
    int* p = Keep(pV, n);
    RndList(n, p);
    for (int i = 0; i < n; i++) out[i] = strings[p[i] - 1];
}

void RndCompositionSMW(char** strings, char** out, int n, int blocks, const int* blockSizes) {
    for (int b = 0, start = 0; b < blocks && start < n; start += blockSizes[b], b++)
        RndComposition(strings + start, out + start, std::min(blockSizes[b], n - start));
}

int RndCompositionSMWNew(float** in, float** out, int rows, int nComm, int w, int keep, const int* richness) {
    static std::vector<int> heldV, membersV, permV;
    int* held = Keep(heldV, nComm);
    int* members = Keep(membersV, nComm);
    int* perm = Keep(permV, nComm);
    std::fill(held, held + nComm, 0);
    w = std::max(1, w);
    for (int s = 0; s < std::min(w, nComm); s++) {
        int k = 0;
        for (int c = s; c < nComm; c += w) members[k++] = c;
        for (int i = 0; i < rows; i++) {
            RndList(k, perm);
            int redraws = 0;
            for (int j = 0; j < k; j++) {
                const float v = in[i][members[j]];
                while (keep && v != 0.0f && held[members[perm[j] - 1]] >= richness[members[perm[j] - 1]]) {
                    // The targets left are reshuffled; with fewer than two there is nothing to choose.
                    if (k - j < 2 || ++redraws > 1001) {
                        std::fprintf(Out(), "ERROR!!!\n");
                        return 0;
                    }
                    RndListPartial(k - j, perm + j);
                }
                const int target = members[perm[j] - 1];
                out[i][target] = v;
                if (v != 0.0f) held[target]++;
            }
        }
    }
    return 1;
}

namespace {

// Rows first .. first + n - 1 placed into the empty slots of the same range whose combinations
// are still free (used: nCategories x nCategories, cleared here).
int PlaceRestricted(char** strings, char** out, int** list, int nCategories, int first, int n, int nCols,
                    char* empty, char* used) {
    std::fill(used, used + static_cast<size_t>(nCategories) * nCategories, 0);
    std::fill(empty + first, empty + first + n, 1);
    auto free = [&](int i, int r) {
        return empty[r] && !used[(list[i][0] - 1) * nCategories + (list[r][1] - 1)];
    };
    for (int i = first; i < first + n; i++) {
        bool any = false;
        for (int r = first; r < first + n && !any; r++) any = free(i, r);
        if (!any) return 0;
        int r;
        do r = first + static_cast<int>(std::ceil(UniformC() * n)) - 1;
        while (!free(i, r));
        std::memcpy(out[r], strings[i], static_cast<size_t>(nCols));
        empty[r] = 0;
        used[(list[i][0] - 1) * nCategories + (list[r][1] - 1)] = 1;
    }
    return 1;
}

}  // namespace

int RndCompositionRestricted(char** strings, char** out, int** list, int nCategories, int n, int nCols) {
    return RndCompositionRestrictedSMW(strings, out, list, nCategories, n, nCols, 1, &n);
}

int RndCompositionRestrictedSMW(char** strings, char** out, int** list, int nCategories, int n, int nCols,
                                int blocks, const int* blockSizes) {
    static std::vector<char> emptyV, usedV;
    char* empty = Keep(emptyV, n);
    char* used = Keep(usedV, static_cast<size_t>(nCategories) * nCategories);
    for (int b = 0, start = 0; b < blocks && start < n; start += blockSizes[b], b++)
        if (!PlaceRestricted(strings, out, list, nCategories, start, std::min(blockSizes[b], n - start), nCols, empty,
                             used))
            return 0;
    return 1;
}

int CreateData(int n, int* count, int w, float shift, float** out, double** distances, Occurrence* occ) {
    constexpr int kColumns = 100;
    int found = 0;
    for (int i = 0; i < n; i++)
        for (int c = 0; c < kColumns; c++) {
            const float band = c < 33 ? 0.0f : c < 66 ? shift : 2.0f * shift;
            out[i][c] = static_cast<float>(20.0 * UniformC()) + band;
            if (out[i][c] > 0.0f) occ[found++] = {i, c, out[i][c]};
        }
    float** pooled = dim2Dfloat(n, kColumns);
    SplitMovingWinPool(n, kColumns, out, pooled, w, count, false);
    float** windows = dim2Dfloat(std::max(*count, 1), n);
    for (int k = 0; k < *count; k++)
        for (int i = 0; i < n; i++) windows[k][i] = pooled[i][k];
    if (*count > 0) EucliDistSq(*count, n, windows, distances);
    free2D(windows, std::max(*count, 1));
    free2D(pooled, n);
    return found;
}

// ---------------------------------------------------------------------------------------
// Evaluation, distributions and the analysis-of-variance table.
// ---------------------------------------------------------------------------------------

void Eval(double** De, double*** matrices, const double* observed, double* sef, double* counts,
          double*** observedPairs, double*** pairs, double*** pairCounts) {
    if (!EvaluatedFunction(cohe)) return;
    for (int l = 0; l < ReseLevels(); l++) {
        double v = 0.0;
        if (cohe == 1) {
            v = EvalStruct(De, matrices[l], relSelect);
        } else if (cohe == 3) {
            v = EvalStruct(nullptr, matrices[l], relSelect);
            if (pairs)
                RndPairwiseGrComp(ncsm, nGroups, groupRel, matrices[l], observedPairs ? observedPairs[l] : nullptr,
                                  pairs[l], pairCounts && observedPairs ? pairCounts[l] : nullptr);
        } else {
            v = l == 0 ? 1.0 : EvalStruct(matrices[l - 1], matrices[l], relSelect);
        }
        sef[l] = v;
        if (counts && CountsSEF(v, observed[l])) counts[l] += 1.0;
    }
}

void SaveDistribution(FILE* f, int n, double* values, int* freq, int classes, double* limits, double observed,
                      double probability, double* mean, double* sd) {
    FreqDistribution(n, values, freq, classes, limits);
    MeanStDev(n, values, mean, sd);
    for (int k = 0; k < classes; k++) std::fprintf(f, "%d\t", freq[k]);
    std::fprintf(f, "\n");
    for (int k = 0; k < classes; k++) std::fprintf(f, "%-.*g\t", sDigits, limits[k]);
    for (double v : {observed, probability, *mean, *sd}) std::fprintf(f, "%-.*g\t", sDigits, v);
    std::fprintf(f, "\n");
}

void PrintManova(FILE* f, const double* Qb, const double* P, double** contrastQb, double** contrastP,
                 double betweenTotal, double betweenP, double within, double total, bool skipFirst) {
    auto row = [&](const char* label, double q, double p) {
        std::fprintf(f, "%-22s\t%25.*g\t%9g\n", label, sDigits, q, p);
    };
    std::fprintf(f, "\nAnalysis of variance:\n");
    std::fprintf(f, "%-22s\t%25s\t%s\n", "Source of variation     ", "Sum of squares (Qb)", "P(Qbo >= Qb)");
    for (int k = 0; k < nFactors; k++) {
        const int part = whichFactors[k];
        std::fprintf(f, "%.78s\n", lineL);
        std::fprintf(f, "%s:\n", partLabel[part]);
        row("Between groups", Qb[k], P[k]);
        if (nContrasts[k] < 1) continue;
        std::fprintf(f, "   Contrasts (groups:");
        for (int g = 0; g < nGroupsP[part]; g++) std::fprintf(f, " %s", grLabelP[part][g]);
        std::fprintf(f, ")\n");
        for (int c = 0; c < nContrasts[k]; c++) {
            std::string label;
            for (int g = 0; g < nGroupsP[part]; g++) label += FormatText(" %d", contrastCoef[k][c][g]);
            row(label.c_str(), contrastQb[k][c], contrastP[k][c]);
        }
    }
    if (nFactors >= 2) {
        int k = nFactors;
        for (int a = 0; a < nFactors; a++)
            for (int b = a + 1; b < nFactors; b++) {
                if (skipFirst && a == 0) continue;
                const std::string label =
                    FormatText("%-9s x %-9s", partLabel[whichFactors[a]], partLabel[whichFactors[b]]);
                row(label.c_str(), Qb[k], P[k]);
                k++;
            }
    }
    if (!nesting) row("Between groups", betweenTotal, betweenP);
    std::fprintf(f, "%-22s\t%25.*g\n", "Within Groups", sDigits, within);
    std::fprintf(f, "%.78s\n", lineL);
    std::fprintf(f, "%-22s\t%25.*g\n", "Total", sDigits, total);
}

// ---------------------------------------------------------------------------------------
// The engines and the handler.
// ---------------------------------------------------------------------------------------

bool Randomization() {
    // The trait codes, data to test and a trait order (the traits' own when none was set).
    if (!hier::CanBuild() || !IterationsGiven()) return false;
    time0 = std::time(nullptr);
    SeedGenerators();
    const int levels = isHierarchical == 1 ? nch : 1, model = empir_opt;
    OwnedTable<float> totals(ncsm, 1);
    DataPartition(tcst, totals.get());
    Reorder(nch, tcst, nchor, onsta, csm, chtype, chrange, weight);
    ReorderRnd(nch, tcst, nchor, aprioriList);
    dirtyOrig = 1;
    // The observed composition, kept: the hierarchy pools its rows in place.
    OwnedTable<float> observedW(tcst, ncsm), randomW(tcst, ncsm), relocatedW(tcst, ncsm);
    for (int o = 0; o < tcst; o++) std::copy(cadat[o], cadat[o] + ncsm, observedW[o]);
    OwnedTable<char> rndCodes(tcst, 2 * nch + 1);

    ResemblanceSpace space(levels, rndWindow);
    const int n = space.Units();
    Matrices observed(levels, n), random(levels, n), counts(levels, n), sums(levels, n), squares(levels, n);
    RandomDataFile data;
    FILE* rd = model != 3 ? data.Stream() : nullptr;
    if (rd) std::fprintf(rd, "Observed data:\n");
    space.Compute(observedW.get(), csm, observed.get(), rd);
    // The report and the probabilities belong to the stored matrix: one that another option or
    // path stored is not tested. Nothing is written then (the random-data file is dropped).
    if (!ObservedAreStored(levels, n, observed.get())) return false;
    if (rd) {
        std::fprintf(rd, "\nObserved resemblance matrix:\n");
        PrintHalves(rd, levels, n, observed.get());
    }
    counts.Fill(1.0);
    for (int l = 0; l < levels; l++)
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) {
                sums[l][i][j] = observed[l][i][j];
                squares[l][i][j] = observed[l][i][j] * observed[l][i][j];
            }
    const size_t pairs = static_cast<size_t>(n) * (n - 1) / 2, series = levels * pairs;
    std::unique_ptr<DistributionBuffers> dist = model != 3 ? KeepDistributions(series) : nullptr;
    auto keep = [&](int it, double*** m) {
        if (!dist) return;
        size_t s = 0;
        for (int l = 0; l < levels; l++)
            for (int i = 0; i < n; i++)
                for (int j = i + 1; j < n; j++) dist->block[s++] = m[l][i][j];
        dist->store.Put(it, dist->block.data());
    };
    keep(0, observed.get());

    const bool lower = rese_opt != 5;
    Occurrences occ(observedW.get(), tcst, ncsm, rndWindow);
    const bool completed = EachIteration(2, model != 3 ? niter : 1, [&](int it) {
        float** W = randomW.get();
        char** codes = csm;
        for (int failures = 0;;) {
            Progress("Randomization iteration: %d %d", niter, it);
            if (model == 2) {
                RndTaxon(csm, rndCodes.get(), aprioriList, tcst);
                codes = rndCodes.get();
                W = observedW.get();
                break;
            }
            if (model == 4) {
                RndRelLocationData(tcst, ncsm, W, observedW.get(), rndWindow);
                break;
            }
            if (RndCompositionGeneral(W, occ.list.data(), tcst, static_cast<int>(occ.list.size()), ncsm,
                                      occ.richness.data(), rndWindow, occ.perWindow.data(), keepRichness,
                                      keepReleveTotal)) {
                if (model == 5) {
                    RndRelLocationData(tcst, ncsm, relocatedW.get(), W, 1);
                    W = relocatedW.get();
                }
                break;
            }
            if (++failures >= kMaxFailures) return false;
        }
        if (rd) std::fprintf(rd, "\nRandom data, iteration %d:\n", it);
        space.Compute(W, codes, random.get(), rd);
        for (int l = 0; l < levels; l++)
            for (int i = 0; i < n; i++)
                for (int j = i; j < n; j++) {
                    const double v = random[l][i][j];
                    if (CountsRounded(v, observed[l][i][j], lower)) counts[l][i][j] += 1.0;
                    sums[l][i][j] += v;
                    squares[l][i][j] += v * v;
                }
        if (rd) {
            std::fprintf(rd, "\nRandom resemblance matrix, iteration %d:\n", it);
            PrintHalves(rd, levels, n, random.get());
        }
        keep(it - 1, random.get());
        return true;
    });
    if (!completed) {
        NullModelFailed();
        return false;
    }
    ClearLine();

    // Probabilities in the upper triangle (zero diagonal) for the file, below the diagonal of rese.
    Matrices P(levels, n);
    for (int l = 0, s = 0; l < levels; l++)
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) {
                const double p = i == j ? 0.0 : counts[l][i][j] / niter;
                P[l][i][j] = p;
                rese[l][i][j] = observed[l][i][j];
                if (i == j) continue;
                rese[l][j][i] = p;
                if (!dist) continue;
                dist->P[s] = p;
                dist->observed[s++] = observed[l][i][j];
            }
    data.Commit();
    if (model != 3) {
        char name[kFileNameSize];
        SessionFileName(name, probNExt);
        WriteStoredResemblances(name, levels, n, P.get());
        std::strcpy(whichProbN, name);
        hasProbN = 1;
    }

    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    ReportHead(f);
    if (model != 3) {
        std::fprintf(f, "\nProbabilities %sare given below the diagonal.\n", lower ? "P(X <= Xo) " : "P(Xo >= X) ");
        std::fprintf(f, "Nominal resemblances (X) (option %d) are given in the upper half matrix.\n", rese_opt);
        for (int l = 0; l < levels; l++) {
            if (isHierarchical == 1) std::fprintf(f, "\nLevel %d: ", l + 1);
            std::fprintf(f, "Nominal resemblances (upper half), probabilities (below diagonal):\n");
            PrintResemblanceTable(f, n, rese[l]);
        }
        if (doMeanStOpt == 1 && niter >= 2) {
            Matrices mean(levels, n), sd(levels, n);
            for (int l = 0; l < levels; l++)
                for (int i = 0; i < n; i++)
                    for (int j = i; j < n; j++) {
                        mean[l][i][j] = sums[l][i][j] / niter;
                        sd[l][i][j] = Deviation(sums[l][i][j], squares[l][i][j], niter);
                    }
            std::fprintf(f, "\nAverage random resemblances:\n");
            PrintHalves(f, levels, n, mean.get());
            std::fprintf(f, "\nStandard deviations of random resemblances:\n");
            PrintHalves(f, levels, n, sd.get());
        }
    }
    report.Commit();
    if (dist) WriteDistributions(*dist, series, dist->observed.data(), dist->P.data());
    return true;
}

bool RandomizationSEF() {
    if (!EvaluatedFunction(cohe)) {
        Refuse("\nThe randomization test evaluates structures by function 1, 3 or 4 only.\n");
        return false;
    }
    if (cohe == 1 && nenv < 1) {
        Refuse("\nThe evaluation function needs environmental variables.\n");
        return false;
    }
    // The functions are evaluated over every pair of communities: with adjacent pairs only no
    // random value would be computed, and a probability of 1 / niter would stand for nothing.
    if (rndAdjacent != 1) {
        Refuse("\nThe randomization test evaluates structures over all pairs of communities only.\n");
        return false;
    }
    if (!IterationsGiven()) return false;
    // The stored resemblances are the nominal ones, read as they are; no structure file is kept.
    ScopedValue<int> type(reseTypeEv, 1);
    ScopedValue<int> letter(optmain, 'D');
    time0 = std::time(nullptr);
    SeedGenerators();
    const int levels = ReseLevels(), n = ncsm, g = std::max(nGroups, 1);
    OwnedTable<double> De(n, n);
    if (cohe == 1) EnvDissimilarity(n, nenv, env, envVarType, De.get());
    Matrices random(levels, n), observedPairs(levels, g), pairs(levels, g), pairCounts(levels, g);
    std::vector<double> observed(levels), sef(levels), counts(levels, 1.0);
    std::vector<int> identity(n);
    for (int i = 0; i < n; i++) identity[i] = i;
    Relocate(rese, random.get(), n, identity.data());
    Eval(De.get(), random.get(), nullptr, observed.data(), nullptr, nullptr, observedPairs.get(), nullptr);
    pairCounts.Fill(1.0);

    RandomDataFile data;
    FILE* rd = data.Stream();
    if (rd) {
        std::fprintf(rd, "Observed data:\n\nEnvironmental matrix:\n");
        if (nenv > 0) PrintMatrix(rd, n, nenv, env, sDigits, 0);
        std::fprintf(rd, "\nObserved resemblance matrix:\n");
        PrintHalves(rd, levels, n, rese);
        std::fprintf(rd, "\nObserved SEF:\n");
        PrintVector(rd, levels, observed.data(), sDigits, 0, 0, nullptr);
        if (cohe == 3) {
            std::fprintf(rd, "\nObserved group pairwise SEF:\n");
            PrintHalves(rd, levels, g, observedPairs.get());
        }
    }
    std::unique_ptr<DistributionBuffers> dist = KeepDistributions(levels);
    if (dist) dist->store.Put(0, observed.data());
    EachIteration(2, niter, [&](int it) {
        Progress("Randomization iteration: %d %d", niter, it);
        RndRelLocationSMW(rese, random.get(), n, rndWindow);
        Eval(De.get(), random.get(), observed.data(), sef.data(), counts.data(), observedPairs.get(), pairs.get(),
             pairCounts.get());
        if (rd) {
            std::fprintf(rd, "\nRandom data, iteration %d:\n", it);
            PrintHalves(rd, levels, n, random.get());
            std::fprintf(rd, "\nRandom SEF, iteration %d:\n", it);
            PrintVector(rd, levels, sef.data(), sDigits, 0, 0, nullptr);
            if (cohe == 3) {
                std::fprintf(rd, "\nRandom pairwise group SEF, iteration %d:\n", it);
                PrintHalves(rd, levels, g, pairs.get());
            }
        }
        if (dist) dist->store.Put(it - 1, sef.data());
        return true;
    });
    ClearLine();
    data.Commit();

    std::vector<double> P(levels);
    bool defined = true;
    for (int l = 0; l < levels; l++) {
        P[l] = counts[l] / niter;
        defined = defined && !std::isnan(observed[l]);
    }
    const char* tail = cohe == 3 ? "P(X <= Xo)" : "P(Xo >= X)";
    ReportSection report(whichPrinda);
    FILE* f = report.Stream();
    ReportHead(f);
    std::fprintf(f, "\n\nProbabilities %s for structure evaluation:\n", tail);
    std::fprintf(f, "Structure evaluation function: %s\n", OptionLabel(coheInfo, cohe - 1));
    std::fprintf(f, "Based on nominal resemblances.\n");
    std::fprintf(f, "%s\t%s\t%s\n", " ", "SEF", "Probability");
    for (int l = 0; l < levels; l++) {
        std::fprintf(f, "Level %3d\t", l + 1);
        if (std::isnan(observed[l]))
            std::fprintf(f, "undefined\t\n");
        else
            std::fprintf(f, "%.*g\t%.*g\n", sDigits, observed[l], sDigits, P[l]);
    }
    if (cohe == 3) {
        std::fprintf(f, "\nAll pairwise group contrasts:\nProbabilities %s below the diagonal.\n", tail);
        std::fprintf(f, "SEF %s in the upper half matrix.\n", OptionLabel(coheInfo, cohe - 1));
        for (int l = 0; l < levels; l++) {
            for (int a = 0; a < g; a++)
                for (int b = a + 1; b < g; b++) observedPairs[l][b][a] = pairCounts[l][a][b] / niter;
            std::fprintf(f, "\nLevel %d: \n", l + 1);
            PrintMatrix(f, g, g, observedPairs[l], sDigits, 0);
        }
    }
    const int k = dist ? static_cast<int>(dist->freq.size()) : 0;
    for (int l = 0; dist && l < levels; l++) {
        if (std::isnan(observed[l])) continue;
        double mean = 0.0, sd = 0.0;
        double* values = dist->values.data();
        dist->store.Get(l, values);
        FreqDistribution(niter, values, dist->freq.data(), k, dist->limits.data());
        MeanStDev(niter, values, &mean, &sd);
        std::fprintf(f, "\n\nFrequency distribution (based on %d random permutations):", niter);
        std::fprintf(f, "\nUpper limits for %d frequency classes:", k);
        for (double v : dist->limits) std::fprintf(f, "\t%-.*g", sDigits, v);
        std::fprintf(f, "\nFrequencies in %d classes:            ", k);
        for (int v : dist->freq) std::fprintf(f, "%d\t", v);
        std::fprintf(f, "\nObserved value:\t%-.*g\n", sDigits, observed[l]);
        std::fprintf(f, "Probability:\t%-.*g\n", sDigits, P[l]);
        std::fprintf(f, "Mean:\t%-.*g\n", sDigits, mean);
        std::fprintf(f, "Standard deviation:\t%-.*g\n", sDigits, sd);
    }
    report.Commit();
    if (defined) {
        char name[kFileNameSize];
        SessionFileName(name, probRoExt);
        WriteWhole(name, [&](FILE* file) {
            for (double p : P) std::fprintf(file, "%.12g\n", p);
        });
        std::strcpy(whichProbRo, name);
        hasProbRo = 1;
    }
    if (dist) WriteDistributions(*dist, levels, observed.data(), P.data());
    return true;
}

namespace {

// What the handler allocates for the length of a test, released when it leaves (also when an
// error code travels through); the session's own stored resemblances come back afterwards.
struct TestArrays {
    double*** saved = rese;
    int levels = nlev;
    TestArrays() {
        whatRndCh = dim1Dint(std::max(nch, 1));
        rese = nullptr;
        aprioriList = nullptr;
    }
    void Allocate() {
        rese = dim3Double(std::max(levels, 1), ncsm, ncsm);
        aprioriList = dim2Dint(std::max(tcst, 1), std::max(nch, 1));
    }
    ~TestArrays() {
        if (rese) free3D(rese, std::max(levels, 1), ncsm);
        if (aprioriList) free2D(aprioriList, std::max(tcst, 1));
        free1D(whatRndCh);
        whatRndCh = nullptr;
        aprioriList = nullptr;
        rese = saved;
    }
    TestArrays(const TestArrays&) = delete;
    TestArrays& operator=(const TestArrays&) = delete;
};

// The factor settings of the analysis of variance, released after its test.
void ReleaseFactors() {
    if (contrastCoef) free3D(contrastCoef, nFactors, nMaxContrasts);
    free1D(whichFactors);
    free1D(nestedFactors);
    free1D(nContrasts);
    contrastCoef = nullptr;
    whichFactors = nestedFactors = nContrasts = nullptr;
}

}  // namespace

void IFRandomization() {
    // Every test reads the stored nominal resemblances.
    if (!StoredOrRefused(whichNRese, "community resemblances")) return;
    nlev = nch;
    // The dialog lists the traits in the session's order: one is needed before it runs.
    if (rndTestOpt == 1 && !hier::CanBuild()) return;
    bool done = false;
    // The test's files and the track file change together, put in place once the track is written.
    RunFilesScope run;
    {
        TestArrays arrays;
        SettingsRnd();
        arrays.Allocate();
        SessionFileName(whichPrinda, prindaExt);
        ReadResemblance(1, false);
        if (rndTestOpt == 1) done = Randomization();
        if (rndTestOpt == 3) done = RandomizationSEF();
    }
    if (rndTestOpt == 2) ReleaseFactors();
    if (rndTestOpt == 1 || rndTestOpt == 3) dirtyOrig = 1;
    if (!done) return;
    WriteTrack(1);
    run.CommitOrRaise();
    ClearLine();
    std::fprintf(Out(), "\n\nResults appended to file %s%s\n", volumeName, whichPrinda);
    if (Distributions()) {
        std::fprintf(Out(), "Null frequency distributions on file %s%s\n", volumeName, whichRnd);
        std::fprintf(Out(), "Run option F to draw histograms\n");
    }
    if (!runMacro) Wait();
}
