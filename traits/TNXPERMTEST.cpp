// Functional and phylogenetic permutation test: the observed congruence statistics, the loop
// that recomputes them over permuted OTUs, the probabilities and the random-data file.
//
// One computation serves the observed data and every permutation: the observed statistics are
// those of the identity list, so that an identity permutation reproduces them bit for bit.
// Every buffer is allocated once, before the loop, by the workspace.
#include "traits/TNXPERMTEST.h"
#include "traits/TNXPERMInternal.h"

#include "foundation/TnxBlas.h"
#include "foundation/TnxThreads.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/qwlibDispatch.h"
#include "matrix/qwlibGroupStats.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCOMRESE.h"

#include <gsl/gsl_rng.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace permtest {

void EuclideanUpper(int n, int cols, double** x, double* out) {
    int e = 0;
    for (int i = 0; i < n; i++) {
        const double* a = x[i];
        int j = i + 1;
        // Four pairs at a time: four independent sums, each still in column order.
        for (; j + 3 < n; j += 4) {
            const double *b0 = x[j], *b1 = x[j + 1], *b2 = x[j + 2], *b3 = x[j + 3];
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            for (int k = 0; k < cols; k++) {
                const double d0 = a[k] - b0[k], d1 = a[k] - b1[k], d2 = a[k] - b2[k], d3 = a[k] - b3[k];
                s0 += d0 * d0;
                s1 += d1 * d1;
                s2 += d2 * d2;
                s3 += d3 * d3;
            }
            out[e++] = s0 > 0.0 ? std::sqrt(s0) : 0.0;
            out[e++] = s1 > 0.0 ? std::sqrt(s1) : 0.0;
            out[e++] = s2 > 0.0 ? std::sqrt(s2) : 0.0;
            out[e++] = s3 > 0.0 ? std::sqrt(s3) : 0.0;
        }
        for (; j < n; j++) {
            double s0 = 0.0;
            for (int k = 0; k < cols; k++) {
                const double d0 = a[k] - x[j][k];
                s0 += d0 * d0;
            }
            out[e++] = s0 > 0.0 ? std::sqrt(s0) : 0.0;
        }
    }
}

void EuclideanUpperGram(int n, int cols, double** x, double* means, double* centred, double* gram, double* out) {
    // Columns centred first: the distances do not change, and the cross products they are
    // formed from stay of the order of the distances themselves. Row by row, along the memory.
    std::fill(means, means + cols, 0.0);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) means[j] += x[i][j];
    for (int j = 0; j < cols; j++) means[j] /= n;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) centred[i * cols + j] = x[i][j] - means[j];
    GramUpper(n, cols, centred, cols, gram, n);
    int e = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            const double sq = gram[i * n + i] + gram[j * n + j] - 2.0 * gram[i * n + j];
            out[e++] = sq > 0.0 ? std::sqrt(sq) : 0.0;
        }
}

}  // namespace permtest

namespace {

using namespace permtest;

const int kDigits = 6;
// From this many columns the distances among communities come from the BLAS's cross products.
const int kGramColumns = 32;

// ------------------------------------------------------------------ Mantel kernels

// The cells above the diagonal of a square matrix, read as one vector for the matrix
// correlation. Without missing cells the vector is also kept centred, with its length, so
// that each correlation is a single dot product.
struct TriVec {
    int m = 0;
    double* raw = nullptr;
    double* z = nullptr;
    double norm = 0.0;
    bool missing = false;
    // No variation to correlate: the centred cells are rounding noise of the cells' own
    // magnitude, or the table the resemblance was built from has none (its distances are then
    // noise too). A flat vector is centred to exact zeros (norm 0) and correlates 0.
    bool flat = false;
    double scale = 1.0;  // the factor z carries (ValueScale)
    explicit TriVec(int m_) : m(m_) {
        raw = dim1Double(std::max(m, 1));
        z = dim1Double(std::max(m, 1));
    }
    ~TriVec() {
        free1D(raw);
        free1D(z);
    }
    TriVec(const TriVec&) = delete;
    TriVec& operator=(const TriVec&) = delete;

    // Centres raw into z and decides whether it is flat (tableFlat: the table it comes from has
    // no variation). checkMissing: the caller's matrices may hold -999; those the engine
    // computes never do. Four running sums in a fixed order let the additions overlap.
    void Prepare(bool checkMissing, bool tableFlat = false) {
        missing = false;
        flat = tableFlat;
        scale = 1.0;
        if (checkMissing)
            for (int i = 0; i < m; i++)
                if (IsMissing(raw[i])) {
                    missing = true;
                    flat = tableFlat || !PresentCellsVary();
                    return;
                }
        if (flat || m < 1) {
            Flatten();
            return;
        }
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        double v0 = 0.0, v1 = 0.0, v2 = 0.0, v3 = 0.0;  // the largest magnitudes
        int i = 0;
        for (; i + 3 < m; i += 4) {
            s0 += raw[i];
            s1 += raw[i + 1];
            s2 += raw[i + 2];
            s3 += raw[i + 3];
            v0 = std::max(v0, std::fabs(raw[i]));
            v1 = std::max(v1, std::fabs(raw[i + 1]));
            v2 = std::max(v2, std::fabs(raw[i + 2]));
            v3 = std::max(v3, std::fabs(raw[i + 3]));
        }
        for (; i < m; i++) {
            s0 += raw[i];
            v0 = std::max(v0, std::fabs(raw[i]));
        }
        const double mean = ((s0 + s1) + (s2 + s3)) / m;
        // The cells centred on their mean for the correlation, and their spread (Spread) beside,
        // which judges whether they vary.
        Spread l0(raw[0], std::max(std::max(v0, v1), std::max(v2, v3)), m), l1 = l0, l2 = l0, l3 = l0;
        s0 = s1 = s2 = s3 = 0.0;
        i = 0;
#if defined(__SSE2__)
        {
            // Each kind of running sum in two registers of two lanes (which round each lane as the
            // scalar sums do), so that the spread's sums stay in registers beside the value's.
            const __m128d vmean = _mm_set1_pd(mean), vunit = _mm_set1_pd(l0.unit), vorigin = _mm_set1_pd(l0.origin);
            __m128d q01 = _mm_setzero_pd(), q23 = q01, sum01 = q01, sum23 = q01, sq01 = q01, sq23 = q01;
            for (; i + 3 < m; i += 4) {
                const __m128d r01 = _mm_loadu_pd(raw + i), r23 = _mm_loadu_pd(raw + i + 2);
                const __m128d z01 = _mm_sub_pd(r01, vmean), z23 = _mm_sub_pd(r23, vmean);
                _mm_storeu_pd(z + i, z01);
                _mm_storeu_pd(z + i + 2, z23);
                q01 = _mm_add_pd(q01, _mm_mul_pd(z01, z01));
                q23 = _mm_add_pd(q23, _mm_mul_pd(z23, z23));
                const __m128d d01 = _mm_sub_pd(_mm_mul_pd(r01, vunit), vorigin);
                const __m128d d23 = _mm_sub_pd(_mm_mul_pd(r23, vunit), vorigin);
                sum01 = _mm_add_pd(sum01, d01);
                sum23 = _mm_add_pd(sum23, d23);
                sq01 = _mm_add_pd(sq01, _mm_mul_pd(d01, d01));
                sq23 = _mm_add_pd(sq23, _mm_mul_pd(d23, d23));
            }
            double lane[4];
            _mm_storeu_pd(lane, q01);
            _mm_storeu_pd(lane + 2, q23);
            s0 = lane[0], s1 = lane[1], s2 = lane[2], s3 = lane[3];
            _mm_storeu_pd(lane, sum01);
            _mm_storeu_pd(lane + 2, sum23);
            l0.sum = lane[0], l1.sum = lane[1], l2.sum = lane[2], l3.sum = lane[3];
            _mm_storeu_pd(lane, sq01);
            _mm_storeu_pd(lane + 2, sq23);
            l0.sumSq = lane[0], l1.sumSq = lane[1], l2.sumSq = lane[2], l3.sumSq = lane[3];
        }
#endif
        for (; i + 3 < m; i += 4) {
            z[i] = raw[i] - mean;
            z[i + 1] = raw[i + 1] - mean;
            z[i + 2] = raw[i + 2] - mean;
            z[i + 3] = raw[i + 3] - mean;
            s0 += z[i] * z[i];
            s1 += z[i + 1] * z[i + 1];
            s2 += z[i + 2] * z[i + 2];
            s3 += z[i + 3] * z[i + 3];
            l0.Add(raw[i]);
            l1.Add(raw[i + 1]);
            l2.Add(raw[i + 2]);
            l3.Add(raw[i + 3]);
        }
        for (; i < m; i++) {
            z[i] = raw[i] - mean;
            s0 += z[i] * z[i];
            l0.Add(raw[i]);
        }
        l0.Join(l1);
        l2.Join(l3);
        l0.Join(l2);
        if (!l0.Varies(kDoubleRounding)) {
            flat = true;
            Flatten();
            return;
        }
        double centred = (s0 + s1) + (s2 + s3);
        scale = ValueScale(l0.magnitude);
        if (scale != 1.0) {
            // Cells whose squares leave double: the correlation, which no factor changes, takes
            // the centred cells times a power of two.
            centred = 0.0;
            for (i = 0; i < m; i++) {
                z[i] *= scale;
                centred += z[i] * z[i];
            }
        }
        norm = std::sqrt(centred);
    }
    // |x_i - x_j| of a one-column matrix, the resemblance of communities by one value.
    void FromAbsDiff(int n, double** x, bool tableFlat) {
        int k = 0;
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) raw[k++] = std::fabs(x[i][0] - x[j][0]);
        Prepare(false, tableFlat);
    }
    // The square matrix of the vector, both halves, zero diagonal (for the random-data file).
    void ToMatrix(int n, double** d) const {
        int k = 0;
        for (int i = 0; i < n; i++) {
            d[i][i] = 0.0;
            for (int j = i + 1; j < n; j++) d[i][j] = d[j][i] = raw[k++];
        }
    }
    template <class M>
    void FromUpper(int n, M** a, bool checkMissing, bool tableFlat = false) {
        int k = 0;
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) raw[k++] = static_cast<double>(a[i][j]);
        Prepare(checkMissing, tableFlat);
    }

private:
    void Flatten() {
        for (int j = 0; j < m; j++) z[j] = 0.0;
        norm = 0.0;
    }
    // Whether the present cells (not -999) vary beyond the rounding they carry.
    bool PresentCellsVary() const {
        return SpreadOf(m, [&](int i) { return raw[i]; }, [&](int i) { return !IsMissing(raw[i]); })
            .Varies(kDoubleRounding);
    }
};

// True when some cell of the rows x cols matrix is -999.
template <class M>
bool AnyMissing(int rows, int cols, M** m) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++)
            if (IsMissing(m[i][j])) return true;
    return false;
}

double Clamp1(double r) { return r > 1.0 ? 1.0 : (r < -1.0 ? -1.0 : r); }

// Pearson correlation of two vectors, a position skipped when either value is -999; 0 with
// fewer than 2 pairs or when either has no variation over them (Spread).
double PairwiseCorr(int m, const double* a, const double* b) {
    int c = 0, first = -1;
    double sa = 0.0, sb = 0.0, va = 0.0, vb = 0.0;
    for (int i = 0; i < m; i++) {
        if (IsMissing(a[i]) || IsMissing(b[i])) continue;
        sa += a[i];
        sb += b[i];
        va = std::max(va, std::fabs(a[i]));
        vb = std::max(vb, std::fabs(b[i]));
        if (c++ == 0) first = i;
    }
    if (c < 2) return 0.0;
    double ma = sa / c, mb = sb / c;
    double saa = 0.0, sbb = 0.0, sab = 0.0;
    Spread spreadA(a[first], va, c), spreadB(b[first], vb, c);
    for (int i = 0; i < m; i++) {
        if (IsMissing(a[i]) || IsMissing(b[i])) continue;
        double da = a[i] - ma, db = b[i] - mb;
        saa += da * da;
        sbb += db * db;
        sab += da * db;
        spreadA.Add(a[i]);
        spreadB.Add(b[i]);
    }
    if (!spreadA.Varies(kDoubleRounding) || !spreadB.Varies(kDoubleRounding)) return 0.0;
    const double ua = ValueScale(va), ub = ValueScale(vb);
    if (ua != 1.0 || ub != 1.0) {
        // Values whose squares leave double: the deviations times powers of two, which the
        // correlation does not see.
        saa = sbb = sab = 0.0;
        for (int i = 0; i < m; i++) {
            if (IsMissing(a[i]) || IsMissing(b[i])) continue;
            const double da = (a[i] - ma) * ua, db = (b[i] - mb) * ub;
            saa += da * da;
            sbb += db * db;
            sab += da * db;
        }
    }
    return Clamp1(sab / std::sqrt(saa * sbb));
}

// Matrix correlation of two resemblance matrices given as their upper triangles; 0 when either
// is flat.
double TriCorr(const TriVec& a, const TriVec& b) {
    if (a.flat || b.flat) return 0.0;
    if (a.missing || b.missing) return PairwiseCorr(a.m, a.raw, b.raw);
    // Four running sums let the products overlap; the order is fixed, so the result is too.
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int i = 0;
    for (; i + 3 < a.m; i += 4) {
        s0 += a.z[i] * b.z[i];
        s1 += a.z[i + 1] * b.z[i + 1];
        s2 += a.z[i + 2] * b.z[i + 2];
        s3 += a.z[i + 3] * b.z[i + 3];
    }
    for (; i < a.m; i++) s0 += a.z[i] * b.z[i];
    return Clamp1(((s0 + s1) + (s2 + s3)) / (a.norm * b.norm));
}

// Two communities give a single pair of cells: their agreement is 1 - |a - b| / max(|a|, |b|),
// 1 when the two are equal (both 0 included), never outside [-1, 1].
double TwoCellAgreement(double a, double b) {
    if (a == b) return 1.0;
    return 1.0 - std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

// Simple matrix correlation under the rule for fewer than 3 communities.
double SimpleCorr(int n, const TriVec& a, const TriVec& b) {
    if (n < 3) return TwoCellAgreement(a.raw[0], b.raw[0]);
    return TriCorr(a, b);
}

// ------------------------------------------------------------------ the workspace

// The intermediate correlations the random-data file prints beside the statistics, never tested:
// ro(XT), ro(XR), ro(TR) and the first-order partials on R, ro(XE.R), ro(TE.R), ro(XT.R).
enum Intermediate { kXT, kXR, kTR, kXE_R, kTE_R, kXT_R, kIntermediates };

struct Stats {
    double v[kPermTestStats];
    // The statistic compares a table without variation (its first or second, after the
    // covariates for a partial): its value is then 0, and an observed one is undefined.
    bool flat[kPermTestStats];
    double xt, xr, tr, xe_r, te_r, xt_r;  // the intermediates
    // The same for the intermediates, a partial also when its control correlates +-1 with a
    // resemblance it compares.
    bool midFlat[kIntermediates];
    double& Mid(int i) {
        double* const mid[kIntermediates] = {&xt, &xr, &tr, &xe_r, &te_r, &xt_r};
        return *mid[i];
    }
};

// A matrix owned by the workspace: rows of one contiguous block (ld = the columns), so that the
// BLAS can read and write it whole, with the row pointers the library's routines take.
template <class T>
struct Mat {
    int rows, ld;
    T* block;
    T** m;
    Mat(int r, int c)
        : rows(std::max(r, 1)), ld(std::max(c, 1)),
          block(static_cast<T*>(dim1D(sizeof(T), rows * ld))), m(reinterpret_cast<T**>(dim1Dptr(rows))) {
        for (int i = 0; i < rows; i++) m[i] = block + i * ld;
    }
    ~Mat() {
        free1D(m);
        free1D(block);
    }
    Mat(const Mat&) = delete;
    Mat& operator=(const Mat&) = delete;
    T* operator[](int i) const { return m[i]; }
};

// The non-zero cells of a table, row by row, for a belonging table mostly of zeros (crisp types,
// taxa): its product with W then runs over those cells only.
struct SparseRows {
    int* start = nullptr;  // rows + 1 offsets into col and val
    int* col = nullptr;
    double* val = nullptr;
    bool use = false;  // at most a quarter of the cells are non-zero, none -999
    SparseRows() = default;
    ~SparseRows() {
        free1D(start);
        free1D(col);
        free1D(val);
    }
    SparseRows(const SparseRows&) = delete;
    SparseRows& operator=(const SparseRows&) = delete;
    void Build(int rows, int cols, double** m) {
        int nnz = 0;
        for (int i = 0; i < rows; i++)
            for (int j = 0; j < cols; j++) {
                if (IsMissing(m[i][j])) return;
                nnz += m[i][j] != 0.0;
            }
        if (4.0 * nnz > double(rows) * cols) return;
        use = true;
        start = dim1Dint(rows + 1);
        col = dim1Dint(std::max(nnz, 1));
        val = dim1Double(std::max(nnz, 1));
        int e = 0;
        for (int i = 0; i < rows; i++) {
            start[i] = e;
            for (int j = 0; j < cols; j++)
                if (m[i][j] != 0.0) col[e] = j, val[e++] = m[i][j];
        }
        start[rows] = e;
    }
};

// How many matrices statistic i removes before it compares two.
int Partialled(int i) {
    switch (i) {
        case kRoXE_T: case kRXY_T: case kRXZ_T: case kRoPX_T: case kRoTE_P: case kRoXE_P: case kRoPE_T:
        case kRoPE_X:
            return 1;
        case kRoXE_TR: case kRoXE_TP:
            return 2;
        default:
            return 0;
    }
}

// The statistics that follow the environment E.
bool AgainstEnvironment(int i) {
    switch (i) {
        case kRoXE: case kRoTE: case kRoXE_T: case kRoRE: case kRoXE_TR: case kRFE: case kRoPE: case kRoTE_P:
        case kRoXE_P: case kRoXE_TP: case kRoPE_T: case kRoPE_X:
            return true;
        default:
            return false;
    }
}

// The simple matrix correlations of two communities that take their single cells' congruence:
// all but those of the Rao entropies and the phylogenetic signal, taken as they are.
bool TakesPairRule(int i) { return i != kRoRE && i != kRFE && i != kRoBF; }

struct Engine;

// What one thread changes while it computes the statistics of a list: the permuted tables, the
// community matrices and their resemblances, the configurations and the comparisons' buffers.
// Made once per thread, by the thread itself, before its first list; the observed statistics use
// the calling thread's. Each buffer has its full size only where the test's measure and options
// reach it, and one cell elsewhere.
struct Work {
    int* idx = nullptr;       // rows of the present OTUs under the current list
    double* sumT = nullptr;   // work rows of the weighted means
    double* weightT = nullptr;
    int* list = nullptr;      // this iteration's list, its first s entries

    Mat<float> Brnd;
    Mat<double> Urnd, Qrnd;
    Mat<float> SbRnd;
    Mat<double> SfRnd;
    Mat<float> axesRnd;
    Mat<double> T, DT, X, DX, P, DP, DR, DRaoPhyl;
    Mat<double> R, RaoPhyl;  // n x 1, so that they also serve as configurations

    TriVec triDT, triDX, triDP, triDR, triDF, triSf;

    // The products through the BLAS: W and the relative abundances with their columns moved to
    // the OTUs the list names (Wp X = W Urnd), the Rao products, and the centred rows and their
    // cross products of the distances among communities; sums: each column's mean there.
    Mat<double> Wp, Pp, M, sums, centred, gram;

    // Procrustes and RV with -999 in Y or Z: the regression that skips them (made on first need
    // should a computed table hold a cell of exactly -999).
    std::unique_ptr<PartialWork> partial;
    // Procrustes and RV: the permuted tables prepared once per iteration, residuals on the
    // covariate components, and the buffers of the comparisons.
    Config cT, cX, cR, cF, cP, cAxes, rA, rB;
    CongruenceWork cw;
    Components comp;

    explicit Work(const Engine& e);
    ~Work() {
        free1D(idx);
        free1D(sumT);
        free1D(weightT);
        free1D(list);
    }
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;
};

// The data of one test that no permutation changes, prepared once and only read by the threads,
// and the list's drawing state.
struct Engine {
    PermTest_FunctionalPhyl_Correl_Input& in;
    int n, s, p, k, q, v, a;
    bool phyl, mantel;
    bool save;  // intermediate results go to the random-data file
    int method;
    int code;
    int nTri, sTri;

    // Present OTUs of each community (W not 0 and not -999), so that products and Rao entropies
    // run over the occurring OTUs only; identical sums, since the others add exact zeros.
    int* presentCount;
    int** present;
    double** prob;       // relative abundances of the present OTUs (Rao entropies)
    double* abundTotal;  // their total; the entropy is 0 when it is not positive
    bool bfFixedSpread = false;  // see ro(BF) in Compute
    double sfNorm = 0.0;
    bool SbMissing = false, SfMissing = false, BMissing = false, UMissing = false, QMissing = false;
    // Which statistics these data define (too few communities, an environment without
    // variation, or, found by the observed statistics, a table without variation leave some
    // without a value): those are neither counted nor given a probability, and the random-data
    // file shows them as -999. The same for the Mantel intermediates: ro(XR) and ro(TR) taken
    // without the rule for two communities, the first-order partials on R.
    bool defined[kPermTestStats] = {};
    bool midDefined[kIntermediates] = {};
    bool flatEnvironment = false;
    // The system's reason for the first write to the random-data file that failed (0: none), read
    // on the thread that wrote: each thread has its own errno.
    int writeError = 0;

    Mat<double> Sbd;   // 1 - Sb, or its square root; mirrored from the upper triangle
    Mat<double> Sfd;   // the phylogenetic dissimilarity, mirrored
    Mat<float> SbSym;  // Sb mirrored (read by the permuted Sb and the random-data file)
    Mat<double> SfSym;
    Mat<double> DEs;  // the caller's DE mirrored, for the random-data file (Mantel)
    Mat<float> Bn;
    Mat<double> Uc, Qc;  // U and Q as blocks for the BLAS
    SparseRows Us, Qs;   // or their non-zero cells, when few

    TriVec triDE, triDY, triDZ, triSb, triSf;

    // Procrustes and RV: the fixed tables prepared once.
    Config cE, cY, cZ;
    Config cBn;  // ro(BF): the single-precision configuration carried in double

    int* identity;
    int* list;    // the drawing state: each draw starts from the list the previous one left
    int listLen;  // L: occurrences under the weighted null model, s otherwise

    Engine(PermTest_FunctionalPhyl_Correl_Input& rec)
        : in(rec), n(rec.nCommunities), s(rec.nOTUs), p(rec.nTraits), k(rec.nTypes),
          q(rec.includePhylogeny ? rec.nTaxa : 0), v(rec.nEnv),
          a(rec.includePhylogeny ? rec.nPhylAxes : 0), phyl(rec.includePhylogeny), mantel(rec.optRo == 1),
          save(rec.saveRndData && rec.rndDataFile),
          method(rec.optRo), code(TranslateReseOpt_TARNEX_ORBALD(rec.reseOpt)), nTri(n * (n - 1) / 2),
          sTri(phyl ? s * (s - 1) / 2 : 0),
          presentCount(dim1Dint(n)), present(dim2Dint(n, s)), prob(dim2Double(n, s)),
          abundTotal(dim1Double(n)),
          Sbd(s, s), Sfd(phyl ? s : 1, phyl ? s : 1), SbSym(s, s), SfSym(phyl ? s : 1, phyl ? s : 1),
          DEs(mantel && save ? n : 1, mantel && save ? n : 1), Bn(s, p), Uc(s, k), Qc(s, q),
          triDE(nTri), triDY(nTri), triDZ(nTri), triSb(sTri), triSf(sTri),
          cE(C(n), C(v)), cY(C(n), C(s)), cZ(C(n), C(s)), cBn(C(s), C(p)),
          identity(dim1Dint(s)), list(nullptr), listLen(s) {}

    ~Engine() {
        free1D(presentCount);
        free2D(present, n);
        free2D(prob, n);
        free1D(abundTotal);
        free1D(identity);
        free1D(list);
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Sizes of the Procrustes / RV buffers, which the Mantel test leaves unused (one cell); of the
    // Mantel test's, which Procrustes and RV leave unused; of a square resemblance matrix of the
    // Mantel test that only the random-data file reads, and of one the dispatcher also fills (a
    // measure other than the Euclidean distance, code 3, which the engine's own loops form).
    int C(int size) const { return mantel ? 1 : size; }
    int ForMantel(int size) const { return mantel ? size : 1; }
    int Printed(int size) const { return mantel && save ? size : 1; }
    int Filled(int size) const { return mantel && (save || code != 3) ? size : 1; }
    // Whether the Procrustes / RV comparisons take the library's forms that skip -999, and the
    // partial congruences the regression that does: the caller's Y or Z holds some (E cannot, and
    // the tables the engine computes can only by an exact coincidence, met on first need).
    bool MissingTables() const { return !mantel && (cY.missing || cZ.missing); }
    int Widest() const { return std::max(std::max(k, p), std::max(q, std::max(v, s))); }
    void Setup();
    // The statistics of the list lst (1-based OTU numbers, s of them) on w's buffers.
    void Compute(const int* lst, Stats& st, Work& w) const;
    // The undefined statistics of st set to -999.
    void MarkUndefined(Stats& st) const;
    // Draws the next list from the program's generator into the drawing state, then copies its
    // first s entries to out.
    void Draw(int* out);
    // The two resemblances Mantel statistic i compares, its first and second (sf: the permuted
    // phylogenetic similarities of ro(BF)).
    std::pair<const TriVec*, const TriVec*> Compared(int i, const Work& w, const TriVec& sf) const;
    // Under Mantel: marks flat the partials whose controls explain a matrix they compare.
    void MarkExplained(Stats& st) const;
    // Keeps the reason of the first failed write to the random-data file, on the thread that wrote.
    void NoteWrite();
    // *flat: A or B has no variation, or none is left after the covariates.
    double Partial(Work& w, const Config& A, const Config& B, bool components, const MatrixCovariate* cov,
                   int nCov, bool* flat) const;
    void Scatter(const int* lst, Work& w) const;
    void SparseProduct(const int* lst, const SparseRows& m, int cols, Mat<double>& out) const;
    void RaoByProducts(const Mat<double>& D, Work& w, Mat<double>& out) const;
    void PrintObserved(const Stats& st, Work& w);
    // The observed block of one Rao entropy: the OTU matrix it is computed from, the entropies
    // and, under Mantel, their resemblance matrix.
    template <class M>
    void PrintObservedRao(FILE* f, const char* title, M** sym, const char* name, double** rao, const TriVec& tri,
                          double** d, const char* reseTitle);
    void PrintIteration(int it, const Stats& st, const double* count, Work& w);
};

// The regression that skips -999, sized for every partial congruence of the test.
std::unique_ptr<PartialWork> MakePartialWork(const Engine& e) {
    return std::make_unique<PartialWork>(e.n, e.p + e.k + e.q + 1, std::max(std::max(e.k, e.p), e.q),
                                         std::max(std::max(e.v, e.s), std::max(e.k, e.q)), e.method);
}

Work::Work(const Engine& e)
    : Brnd(e.s, e.p), Urnd(e.UMissing || e.save ? e.s : 1, e.k),
      Qrnd(e.phyl && (e.QMissing || e.save) ? e.s : 1, e.q), SbRnd(e.save ? e.s : 1, e.save ? e.s : 1),
      SfRnd(e.save && e.phyl ? e.s : 1, e.save && e.phyl ? e.s : 1), axesRnd(e.C(e.s), e.a), T(e.n, e.p),
      DT(e.Printed(e.n), e.Printed(e.n)), X(e.n, e.k), DX(e.Filled(e.n), e.Filled(e.n)), P(e.n, e.q),
      DP(e.phyl ? e.Filled(e.n) : 1, e.phyl ? e.Filled(e.n) : 1), DR(e.Printed(e.n), e.Printed(e.n)),
      DRaoPhyl(e.phyl ? e.Printed(e.n) : 1, e.phyl ? e.Printed(e.n) : 1), R(e.n, 1), RaoPhyl(e.n, 1),
      triDT(e.ForMantel(e.nTri)), triDX(e.ForMantel(e.nTri)), triDP(e.phyl ? e.ForMantel(e.nTri) : 1),
      triDR(e.ForMantel(e.nTri)), triDF(e.phyl ? e.ForMantel(e.nTri) : 1), triSf(e.ForMantel(e.sTri)), Wp(e.n, e.s),
      Pp(e.n, e.s), M(e.n, e.s),
      sums(1, e.mantel ? std::max(std::max(e.k, e.q), e.p) : 1),
      centred(e.mantel ? e.n : 1, e.mantel ? std::max(std::max(e.k, e.q), e.p) : 1),
      gram(e.mantel ? e.n : 1, e.mantel ? e.n : 1),
      partial(e.MissingTables() ? MakePartialWork(e) : nullptr), cT(e.C(e.n), e.C(e.p)), cX(e.C(e.n), e.C(e.k)),
      cR(e.C(e.n), 1), cF(e.C(e.n), 1), cP(e.C(e.n), e.C(e.q)),
      cAxes(e.C(e.s), e.C(e.a)), rA(e.C(e.n), e.C(e.Widest())), rB(e.C(e.n), e.C(e.Widest())),
      cw(e.C(e.n), e.C(std::max(e.Widest(), e.a)), e.MissingTables() ? e.method : 0), comp(e.C(e.n), e.C(e.p + e.k + e.q + 1)) {
    // The plain arrays after the blocks that free themselves, and freed here when one of them is
    // refused: a work space the memory cannot hold leaves nothing behind.
    try {
        idx = dim1Dint(e.s);
        sumT = dim1Double(std::max(e.p, 1));
        weightT = dim1Double(std::max(e.p, 1));
        list = dim1Dint(e.s);
    } catch (...) {
        free1D(idx);
        free1D(sumT);
        free1D(weightT);
        free1D(list);
        throw;
    }
}

template <class M>
void MirrorUpper(int n, M** src, M** dst) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) dst[i][j] = dst[j][i] = src[i][j];
}

// d = the dissimilarities of the s x s matrix m (m itself when isDissim, else 1 - m), square-
// rooted when sqrtD, in double; -999 kept. Returns true when some cell is -999.
template <class M>
bool RaoDissimilarities(int s, M** m, bool isDissim, bool sqrtD, double** d) {
    bool missing = false;
    for (int i = 0; i < s; i++)
        for (int j = 0; j < s; j++) {
            if (IsMissing(m[i][j])) {
                d[i][j] = MissingValue;
                missing = true;
                continue;
            }
            const double v = static_cast<double>(m[i][j]);
            const double dv = isDissim ? v : 1.0 - v;
            d[i][j] = sqrtD ? std::sqrt(std::max(dv, 0.0)) : dv;
        }
    return missing;
}

void Engine::Setup() {
    flatEnvironment = EnvironmentWithoutVariation(n, in.DE, method);
    for (int i = 0; i < kPermTestStats; i++) {
        // ro(BF) compares the OTUs; every other statistic the communities.
        const int objects = i == kRoBF ? s : n;
        defined[i] = CongruenceDefined(objects, method, Partialled(i), TakesPairRule(i)) &&
                     !(flatEnvironment && AgainstEnvironment(i));
    }
    // The intermediates by the same rules: ro(XT) a simple correlation of communities (two take
    // their single cells' congruence), ro(XR) and ro(TR) without that rule, the partials on R of
    // the first order, ro(XE.R) and ro(TE.R) following E. Procrustes and RV leave the partials on
    // R uncomputed (0).
    const bool firstDefined = CongruenceDefined(n, method, 1, false);
    midDefined[kXT] = CongruenceDefined(n, method, 0, true);
    midDefined[kXR] = midDefined[kTR] = CongruenceDefined(n, method, 0, false);
    midDefined[kXE_R] = midDefined[kTE_R] = !mantel || (firstDefined && !flatEnvironment);
    midDefined[kXT_R] = !mantel || firstDefined;
    for (int c = 0; c < n; c++) {
        int np = 0;
        for (int o = 0; o < s; o++) {
            double w = in.W[c][o];
            if (w != 0.0 && !IsMissing(w)) present[c][np++] = o;
        }
        presentCount[c] = np;
        double total = 0.0;
        for (int e = 0; e < np; e++) total += in.W[c][present[c][e]];
        abundTotal[c] = total;
        // A community without a positive total has entropy 0 and needs no proportions.
        if (total > 0.0)
            for (int e = 0; e < np; e++) prob[c][e] = in.W[c][present[c][e]] / total;
    }
    // Dissimilarities of the Rao entropies, from the upper triangles (the lower ones of the
    // caller may be empty); the permuted matrices read both halves.
    MirrorUpper(s, in.Sb, SbSym.m);
    SbMissing = RaoDissimilarities(s, SbSym.m, false, in.sqrtRaoTraits, Sbd.m);
    if (phyl) {
        MirrorUpper(s, in.Sf, SfSym.m);
        SfMissing = RaoDissimilarities(s, SfSym.m, in.phylIsDissimilarity, in.sqrtRaoPhyl, Sfd.m);
        if (mantel) {
            triSb.FromUpper(s, SbSym.m, true);
            triSf.FromUpper(s, SfSym.m, true);
            bfFixedSpread = !in.weightedNullModel && !triSb.missing && !triSf.missing && triSf.scale == 1.0;
            sfNorm = triSf.norm;
        }
        if (!mantel) {
            for (int i = 0; i < s; i++)
                for (int j = 0; j < p; j++) Bn[i][j] = in.B[i][j];
            NormalizeCols(s, p, Bn.m, Bn.m);
            cBn.Set(p, Bn.m);
        }
    }
    if (!mantel) {
        cE.Set(v, in.E);
        cY.Set(s, in.Y);
        cZ.Set(s, in.Z);
        // What the comparisons form on first use (the RV sums, the triangles of tables wider
        // than the communities), formed now: the threads only read them.
        for (const Config* c : {&cE, &cY, &cZ, &cBn})
            if (!c->missing) {
                c->Gram2();
                c->Triangle();
            }
    }
    // The caller's resemblances are read in their upper triangles (the lower ones may be empty).
    if (mantel && save) MirrorUpper(n, in.DE, DEs.m);
    triDE.FromUpper(n, in.DE, true);
    if (mantel) {
        triDY.FromUpper(n, in.DY, true);
        triDZ.FromUpper(n, in.DZ, true);
    }
    for (int i = 0; i < s; i++) {
        identity[i] = i + 1;
        std::copy(in.U[i], in.U[i] + k, Uc[i]);
        if (phyl) std::copy(in.Q[i], in.Q[i] + q, Qc[i]);
    }
    BMissing = AnyMissing(s, p, in.B);
    UMissing = AnyMissing(s, k, in.U);
    Us.Build(s, k, in.U);
    if (phyl) Qs.Build(s, q, in.Q);
    QMissing = phyl && AnyMissing(s, q, in.Q);

    // The list: the occurrences (one entry per positive cell of W, community by community)
    // under the weighted null model, 1..s otherwise. Room for at least s entries.
    if (in.weightedNullModel) {
        int L = 0;
        for (int c = 0; c < n; c++)
            for (int o = 0; o < s; o++)
                if (in.W[c][o] > 0.0) L++;
        listLen = L;
        list = dim1Dint(std::max(L, s));
        int e = 0;
        for (int c = 0; c < n; c++)
            for (int o = 0; o < s; o++)
                if (in.W[c][o] > 0.0) list[e++] = o + 1;
        // Without any occurrence nothing can be drawn: the identity stays.
        if (L == 0)
            for (int i = 0; i < s; i++) list[i] = i + 1;
    } else {
        list = dim1Dint(s);
        for (int i = 0; i < s; i++) list[i] = i + 1;
    }
}

// Draws the next list, in the order and with the restrictions of the test.
void Engine::Draw(int* out) {
    if (in.weightedNullModel) {
        if (listLen > 0) {
            RndListSpecified(listLen, list);
            // Fewer occurrences than OTUs: the remaining positions are drawn with replacement
            // from the shuffled occurrences.
            for (int i = listLen; i < s; i++)
                list[i] = list[gsl_rng_uniform_int(r, static_cast<unsigned long>(listLen))];
        }
    } else if (in.restriction == 1) {
        RndListNestedNew(s, in.nestingGroups, 1, list);
    } else if (in.restriction == 0) {
        RndListSpecified(s, list);
    }
    std::copy(list, list + s, out);
}

// Rao entropy of one community over dissimilarities that hold -999: prob[0..np-1] the relative
// abundances of its present OTUs, idx[0..np-1] the rows of the (symmetric) dissimilarities D
// that the list gives them. The pairs are summed once each and doubled; a -999 is skipped.
double RaoOf(int np, const double* prob, const int* idx, double** D) {
    double diag = 0.0, off = 0.0;
    for (int a = 0; a < np; a++) {
        const double* row = D[idx[a]];
        double inner = 0.0;
        for (int b = a + 1; b < np; b++)
            if (!IsMissing(row[idx[b]])) inner += prob[b] * row[idx[b]];
        off += prob[a] * inner;
        const double d = row[idx[a]];
        if (!IsMissing(d)) diag += prob[a] * prob[a] * d;
    }
    return diag + 2.0 * off;
}

// out[0..cols-1] = the sum over the present OTUs of w[o] * M[o][t] for a table M with -999, those
// terms skipped. Row by row: the cells are independent, so their additions run side by side,
// each cell still summed in the order of the OTUs.
void WeightedSum(int np, const int* pres, const double* w, double** M, int cols, double* __restrict__ out) {
    for (int t = 0; t < cols; t++) out[t] = 0.0;
    for (int e = 0; e < np; e++) {
        const double wo = w[pres[e]];
        const double* __restrict__ row = M[pres[e]];
        for (int t = 0; t < cols; t++) out[t] += IsMissing(row[t]) ? 0.0 : wo * row[t];
    }
}

// The community-weighted means of the present terms: out[t] = the sum of w[o] * B[o][t] over the
// present OTUs whose trait t is not -999, divided by the sum of their w[o]; 0 without any such
// term. sum and weight are work rows of cols values; check false: B holds no -999.
template <bool check>
void WeightedMean(int np, const int* pres, const double* w, float** B, int cols, double* __restrict__ sum,
                  double* __restrict__ weight, double* out) {
    for (int t = 0; t < cols; t++) sum[t] = weight[t] = 0.0;
    for (int e = 0; e < np; e++) {
        const double wo = w[pres[e]];
        const float* __restrict__ row = B[pres[e]];
        for (int t = 0; t < cols; t++) {
            const bool present = !(check && IsMissing(row[t]));
            sum[t] += present ? wo * static_cast<double>(row[t]) : 0.0;
            weight[t] += present ? wo : 0.0;
        }
    }
    for (int t = 0; t < cols; t++) out[t] = weight[t] != 0.0 ? sum[t] / weight[t] : 0.0;
}

// Whether the n x cols table x (no -999) has variation: any of its columns varies beyond the
// rounding its values carry (Spread), the first that does ending the search; each column is
// walked down its rows, its sums held in registers.
bool TableVaries(int n, int cols, double** x) {
    for (int j = 0; j < cols; j++)
        if (SpreadOf(n, [&](int i) { return x[i][j]; }, [](int) { return true; }).Varies(kDoubleRounding)) return true;
    return false;
}

// The resemblance of the n communities (rows of x) by the dispatcher's code, as the upper
// triangle tri and, when fill (the random-data file prints it) or from the dispatcher, as the
// square matrix d. The Euclidean distance, the measure of T always and of X and P under the
// usual options, goes through the engine's own loops (x never holds -999 here): for a few
// columns the loop that gives the dispatcher's numbers, for many (every OTU its own type) the
// cross products of the rows through the BLAS, on the work buffers sums (its first row the column
// means), centred and gram.
// The resemblance is flat when x has no variation: the distances of a table of rounding noise
// are noise themselves.
void CommunityRese(int n, int cols, double** x, int code, double** d, TriVec& tri, bool fill, const Mat<double>& sums,
                   double* centred, double* gram) {
    const bool tableFlat = !TableVaries(n, cols, x);
    if (code == 3 && cols >= kGramColumns) {
        EuclideanUpperGram(n, cols, x, sums[0], centred, gram, tri.raw);
        tri.Prepare(false, tableFlat);
        if (fill) tri.ToMatrix(n, d);
        return;
    }
    if (code == 3) {
        EuclideanUpper(n, cols, x, tri.raw);
        tri.Prepare(false, tableFlat);
        if (fill) tri.ToMatrix(n, d);
        return;
    }
    ResemblanceLib(n, cols, x, d, 1, code, 0, nullptr, 0.0, 0.0, 0, false);
    tri.FromUpper(n, d, false, tableFlat);
}

// Moves the columns of W and of the relative abundances to the OTUs the list names, adding
// where the list repeats an OTU: then W Urnd = Wp U, and the Rao entropy of community c over
// the permuted dissimilarities is Pp[c] D Pp[c]'.
void Engine::Scatter(const int* lst, Work& w) const {
    for (int c = 0; c < n; c++) {
        double* wp = w.Wp[c];
        double* pp = w.Pp[c];
        std::fill(wp, wp + s, 0.0);
        std::fill(pp, pp + s, 0.0);
        const bool positive = abundTotal[c] > 0.0;
        for (int e = 0; e < presentCount[c]; e++) {
            const int o = present[c][e];
            const int to = lst[o] - 1;
            wp[to] += in.W[c][o];
            if (positive) pp[to] += prob[c][e];
        }
    }
}

// out = W Mrnd (n x cols) over the non-zero cells of M: row c adds W[c][o] times the row of M
// that the list gives OTU o, for the present OTUs in order.
void Engine::SparseProduct(const int* lst, const SparseRows& m, int cols, Mat<double>& out) const {
    for (int c = 0; c < n; c++) {
        double* x = out[c];
        std::fill(x, x + cols, 0.0);
        for (int e = 0; e < presentCount[c]; e++) {
            const int o = present[c][e];
            const int row = lst[o] - 1;
            const double wo = in.W[c][o];
            for (int f = m.start[row]; f < m.start[row + 1]; f++) x[m.col[f]] += wo * m.val[f];
        }
    }
}

// out[c] = Pp[c] D Pp[c]' for every community, the products Pp D through the BLAS; 0 for a
// community without a positive total.
void Engine::RaoByProducts(const Mat<double>& D, Work& w, Mat<double>& out) const {
    MatMul(n, s, s, w.Pp.block, w.Pp.ld, D.block, D.ld, w.M.block, w.M.ld);
    for (int c = 0; c < n; c++) {
        if (!(abundTotal[c] > 0.0)) {
            out[c][0] = 0.0;
            continue;
        }
        const double* m = w.M[c];
        const double* pp = w.Pp[c];
        double sum = 0.0;
        for (int b = 0; b < s; b++) sum += m[b] * pp[b];
        out[c][0] = sum;
    }
}

void Engine::Compute(const int* lst, Stats& st, Work& w) const {
    for (double& x : st.v) x = 0.0;
    for (bool& f : st.flat) f = false;
    for (bool& f : st.midFlat) f = false;
    st.xt = st.xr = st.tr = st.xe_r = st.te_r = st.xt_r = 0.0;

    // Permuted rows of B, and of U and Q where the loops with -999 or the random-data file read
    // them (the list is 1-based).
    for (int i = 0; i < s; i++) {
        int o = lst[i] - 1;
        std::copy(in.B[o], in.B[o] + p, w.Brnd[i]);
        if (UMissing || save) std::copy(in.U[o], in.U[o] + k, w.Urnd[i]);
        if (phyl && (QMissing || save)) std::copy(in.Q[o], in.Q[o] + q, w.Qrnd[i]);
    }

    // T: the community-weighted means over the present terms, in double, then unit columns.
    for (int c = 0; c < n; c++) {
        if (BMissing)
            WeightedMean<true>(presentCount[c], present[c], in.W[c], w.Brnd.m, p, w.sumT, w.weightT, w.T[c]);
        else
            WeightedMean<false>(presentCount[c], present[c], in.W[c], w.Brnd.m, p, w.sumT, w.weightT, w.T[c]);
        for (int t = 0; t < p; t++)
            if (in.traitSelected && in.traitSelected[t] != 1) w.T[c][t] = 0.0;
    }
    if (in.handBack && lst == identity && in.outT)
        for (int c = 0; c < n; c++) std::copy(w.T[c], w.T[c] + p, in.outT[c]);
    NormalizeCols(n, p, w.T.m, w.T.m);

    // X = W x U and P = W x Q: through the BLAS as Wp U and Wp Q, or, where U or Q holds -999,
    // summed with those terms skipped.
    Scatter(lst, w);
    if (Us.use)
        SparseProduct(lst, Us, k, w.X);
    else if (!UMissing)
        MatMul(n, k, s, w.Wp.block, w.Wp.ld, Uc.block, Uc.ld, w.X.block, w.X.ld);
    if (phyl && Qs.use)
        SparseProduct(lst, Qs, q, w.P);
    else if (phyl && !QMissing)
        MatMul(n, q, s, w.Wp.block, w.Wp.ld, Qc.block, Qc.ld, w.P.block, w.P.ld);
    for (int c = 0; c < n; c++) {
        if (UMissing) WeightedSum(presentCount[c], present[c], in.W[c], w.Urnd.m, k, w.X[c]);
        if (phyl && QMissing) WeightedSum(presentCount[c], present[c], in.W[c], w.Qrnd.m, q, w.P[c]);
    }

    // Rao entropies, on the scale the entropy itself has, for the observed and random alike:
    // through the BLAS, or with -999 dissimilarities skipped pair by pair.
    if (!SbMissing) RaoByProducts(Sbd, w, w.R);
    if (phyl && !SfMissing) RaoByProducts(Sfd, w, w.RaoPhyl);
    if (SbMissing || (phyl && SfMissing))
        for (int c = 0; c < n; c++) {
            const int np = presentCount[c];
            if (!(abundTotal[c] > 0.0)) {
                w.R[c][0] = w.RaoPhyl[c][0] = 0.0;
                continue;
            }
            for (int e = 0; e < np; e++) w.idx[e] = lst[present[c][e]] - 1;
            if (SbMissing) w.R[c][0] = RaoOf(np, prob[c], w.idx, Sbd.m);
            if (phyl && SfMissing) w.RaoPhyl[c][0] = RaoOf(np, prob[c], w.idx, Sfd.m);
        }

    double* v_ = st.v;
    if (mantel) {
        CommunityRese(n, p, w.T.m, 3, w.DT.m, w.triDT, save, w.sums, w.centred.block, w.gram.block);
        CommunityRese(n, k, w.X.m, code, w.DX.m, w.triDX, save, w.sums, w.centred.block, w.gram.block);
        v_[kRoTE] = SimpleCorr(n, triDE, w.triDT);
        v_[kRTY] = SimpleCorr(n, triDY, w.triDT);
        v_[kRTZ] = SimpleCorr(n, triDZ, w.triDT);
        v_[kRoXE] = SimpleCorr(n, triDE, w.triDX);
        st.xt = SimpleCorr(n, w.triDX, w.triDT);
        v_[kRXY] = SimpleCorr(n, w.triDX, triDY);
        v_[kRXZ] = SimpleCorr(n, w.triDX, triDZ);
        v_[kRoXE_T] = PartialCorrelation(v_[kRoXE], st.xt, v_[kRoTE]);
        v_[kRXY_T] = PartialCorrelation(v_[kRXY], st.xt, v_[kRTY]);
        v_[kRXZ_T] = PartialCorrelation(v_[kRXZ], st.xt, v_[kRTZ]);

        w.triDR.FromAbsDiff(n, w.R.m, !TableVaries(n, 1, w.R.m));
        v_[kRoRE] = TriCorr(triDE, w.triDR);
        st.xr = TriCorr(w.triDX, w.triDR);
        st.tr = TriCorr(w.triDT, w.triDR);
        st.xe_r = PartialCorrelation(v_[kRoXE], st.xr, v_[kRoRE]);
        st.te_r = PartialCorrelation(v_[kRoTE], st.tr, v_[kRoRE]);
        st.xt_r = PartialCorrelation(st.xt, st.xr, st.tr);
        v_[kRoXE_TR] = PartialCorrelation(st.xe_r, st.xt_r, st.te_r);

        if (phyl) {
            // Trait similarity against the phylogenetic matrix with its rows and columns
            // permuted; negated for a dissimilarity so that it always relates similarities.
            double bf;
            if (bfFixedSpread) {
                // A permutation (no OTU repeated) only reorders the cells of Sf: their mean and
                // spread are those of the unpermuted matrix, and the centred Sb sums to 0, so
                // the correlation needs only the products with the permuted cells.
                double sum = 0.0;
                int e = 0;
                for (int i = 0; i < s; i++) {
                    const double* row = SfSym[lst[i] - 1];
                    const double* zb = triSb.z + e;
                    double part = 0.0;
                    for (int j = i + 1; j < s; j++) part += zb[j - i - 1] * row[lst[j] - 1];
                    sum += part;
                    e += s - i - 1;
                }
                bf = (triSb.flat || triSf.flat) ? 0.0 : Clamp1(sum / (triSb.norm * sfNorm));
            } else {
                int e = 0;
                for (int i = 0; i < s; i++) {
                    const double* row = SfSym[lst[i] - 1];
                    for (int j = i + 1; j < s; j++) w.triSf.raw[e++] = row[lst[j] - 1];
                }
                w.triSf.Prepare(SfMissing);
                bf = TriCorr(triSb, w.triSf);
            }
            v_[kRoBF] = in.phylIsDissimilarity ? -bf : bf;

            CommunityRese(n, q, w.P.m, code, w.DP.m, w.triDP, save, w.sums, w.centred.block, w.gram.block);
            v_[kRoPE] = SimpleCorr(n, triDE, w.triDP);
            v_[kRoPT] = SimpleCorr(n, w.triDP, w.triDT);
            v_[kRoPX] = SimpleCorr(n, w.triDP, w.triDX);
            v_[kRoPX_T] = PartialCorrelation(v_[kRoPX], st.xt, v_[kRoPT]);
            v_[kRoPE_X] = PartialCorrelation(v_[kRoPE], v_[kRoPX], v_[kRoXE]);
            v_[kRoPE_T] = PartialCorrelation(v_[kRoPE], v_[kRoPT], v_[kRoTE]);
            v_[kRoXE_P] = PartialCorrelation(v_[kRoXE], v_[kRoPX], v_[kRoPE]);
            double xt_p = PartialCorrelation(st.xt, v_[kRoPX], v_[kRoPT]);
            v_[kRoTE_P] = PartialCorrelation(v_[kRoTE], v_[kRoPT], v_[kRoPE]);
            v_[kRoXE_TP] = PartialCorrelation(v_[kRoXE_P], xt_p, v_[kRoTE_P]);

            w.triDF.FromAbsDiff(n, w.RaoPhyl.m, !TableVaries(n, 1, w.RaoPhyl.m));
            v_[kRFE] = TriCorr(triDE, w.triDF);
        }
        // A statistic is flat when its first or second resemblance is (a partial's control may
        // be: the partial is then the simple correlation). Two communities' single cells take
        // their congruence, which no spread decides.
        const TriVec& sf = bfFixedSpread ? triSf : w.triSf;
        for (int i = 0; i < (phyl ? kPermTestStats : kRoBF); i++) {
            const auto [first, second] = Compared(i, w, sf);
            st.flat[i] = (n >= 3 || !TakesPairRule(i) || Partialled(i) > 0) && (first->flat || second->flat);
        }
        const TriVec &dx = w.triDX, &dt = w.triDT, &dr = w.triDR;
        st.midFlat[kXT] = n >= 3 && (dx.flat || dt.flat);
        st.midFlat[kXR] = dx.flat || dr.flat;
        st.midFlat[kTR] = dt.flat || dr.flat;
        st.midFlat[kXE_R] = dx.flat || triDE.flat;
        st.midFlat[kTE_R] = dt.flat || triDE.flat;
        st.midFlat[kXT_R] = dx.flat || dt.flat;
        MarkExplained(st);
        MarkUndefined(st);
        return;
    }

    // Procrustes and RV: each table centred once, every comparison through cross products.
    w.cT.Set(p, w.T.m);
    w.cX.Set(k, w.X.m);
    w.cR.Set(1, w.R.m);
    // Statistic i compares A and B: its value, and whether either has no variation.
    auto compare = [&](int i, const Config& A, const Config& B) {
        v_[i] = Compare(A, B, method, w.cw);
        st.flat[i] = Flat(A, B);
    };
    compare(kRoTE, w.cT, cE);
    compare(kRTY, w.cT, cY);
    compare(kRTZ, w.cT, cZ);
    compare(kRoXE, w.cX, cE);
    st.xt = Compare(w.cX, w.cT, method, w.cw);
    compare(kRXY, w.cX, cY);
    compare(kRXZ, w.cX, cZ);
    compare(kRoRE, w.cR, cE);
    st.xr = Compare(w.cX, w.cR, method, w.cw);
    st.tr = Compare(w.cT, w.cR, method, w.cw);
    st.midFlat[kXT] = Flat(w.cX, w.cT);
    st.midFlat[kXR] = Flat(w.cX, w.cR);
    st.midFlat[kTR] = Flat(w.cT, w.cR);
    if (phyl) {
        w.cF.Set(1, w.RaoPhyl.m);
        w.cP.Set(q, w.P.m);
        compare(kRFE, w.cF, cE);
        compare(kRoPE, cE, w.cP);
        compare(kRoPT, w.cT, w.cP);
        compare(kRoPX, w.cX, w.cP);
        // Only the axes in use are moved; without any there is nothing to compare.
        if (a > 0) {
            for (int i = 0; i < s; i++) {
                const float* row = in.phylAxes[lst[i] - 1];
                std::copy(row, row + a, w.axesRnd[i]);
            }
            w.cAxes.Set(a, w.axesRnd.m);
            compare(kRoBF, cBn, w.cAxes);
        }
    }

    // The partial statistics, the components of each covariate set computed once.
    const double f = in.overfitFactor;
    const MatrixCovariate covT{p, in.traitSelected, w.T.m};
    bool has = w.comp.Compute(&covT, 1, f);
    auto partial = [&](int i, const Config& A, const Config& B, const MatrixCovariate* cov, int nCov) {
        v_[i] = Partial(w, A, B, has, cov, nCov, &st.flat[i]);
    };
    partial(kRoXE_T, w.cX, cE, &covT, 1);
    partial(kRXY_T, w.cX, cY, &covT, 1);
    partial(kRXZ_T, w.cX, cZ, &covT, 1);
    if (phyl) {
        partial(kRoPX_T, w.cP, w.cX, &covT, 1);
        partial(kRoPE_T, w.cP, cE, &covT, 1);
    }
    const MatrixCovariate covTR[2] = {covT, {1, nullptr, w.R.m}};
    has = w.comp.Compute(covTR, 2, f);
    partial(kRoXE_TR, w.cX, cE, covTR, 2);
    if (phyl) {
        const MatrixCovariate covX{k, nullptr, w.X.m};
        const MatrixCovariate covP{q, nullptr, w.P.m};
        const MatrixCovariate covTP[2] = {covT, covP};
        has = w.comp.Compute(&covX, 1, f);
        partial(kRoPE_X, w.cP, cE, &covX, 1);
        has = w.comp.Compute(&covP, 1, f);
        partial(kRoTE_P, w.cT, cE, &covP, 1);
        partial(kRoXE_P, w.cX, cE, &covP, 1);
        has = w.comp.Compute(covTP, 2, f);
        partial(kRoXE_TP, w.cX, cE, covTP, 2);
    }
    MarkUndefined(st);
}

// A correlation of 1 within the tolerance of the library's partial correlation (PerfectCorrelation):
// one matrix explains the other.
bool AnyPerfect(std::initializer_list<double> r) {
    for (double x : r)
        if (PerfectCorrelation(x)) return true;
    return false;
}

void Engine::MarkExplained(Stats& st) const {
    // A compared matrix correlated +-1 with a control (with either of two, or with one given the
    // other) has nothing left to compare once the controls are removed, as a residual without
    // variation under the other measures; the library's partial gives 0 there. Two controls
    // correlated +-1 with each other leave the partial on the one.
    const double* v_ = st.v;
    st.flat[kRoXE_T] = st.flat[kRoXE_T] || AnyPerfect({st.xt, v_[kRoTE]});
    st.flat[kRXY_T] = st.flat[kRXY_T] || AnyPerfect({st.xt, v_[kRTY]});
    st.flat[kRXZ_T] = st.flat[kRXZ_T] || AnyPerfect({st.xt, v_[kRTZ]});
    st.flat[kRoXE_TR] =
        st.flat[kRoXE_TR] || AnyPerfect({st.xt, v_[kRoTE], st.xr, v_[kRoRE], st.xt_r, st.te_r});
    st.midFlat[kXE_R] = st.midFlat[kXE_R] || AnyPerfect({st.xr, v_[kRoRE]});
    st.midFlat[kTE_R] = st.midFlat[kTE_R] || AnyPerfect({st.tr, v_[kRoRE]});
    st.midFlat[kXT_R] = st.midFlat[kXT_R] || AnyPerfect({st.xr, st.tr});
    if (!phyl) return;
    const double xt_p = PartialCorrelation(st.xt, v_[kRoPX], v_[kRoPT]);
    st.flat[kRoPX_T] = st.flat[kRoPX_T] || AnyPerfect({v_[kRoPT], st.xt});
    st.flat[kRoPE_X] = st.flat[kRoPE_X] || AnyPerfect({v_[kRoPX], v_[kRoXE]});
    st.flat[kRoPE_T] = st.flat[kRoPE_T] || AnyPerfect({v_[kRoPT], v_[kRoTE]});
    st.flat[kRoXE_P] = st.flat[kRoXE_P] || AnyPerfect({v_[kRoPX], v_[kRoPE]});
    st.flat[kRoTE_P] = st.flat[kRoTE_P] || AnyPerfect({v_[kRoPT], v_[kRoPE]});
    st.flat[kRoXE_TP] = st.flat[kRoXE_TP] ||
                        AnyPerfect({st.xt, v_[kRoTE], v_[kRoPX], v_[kRoPE], xt_p, v_[kRoTE_P]});
}

std::pair<const TriVec*, const TriVec*> Engine::Compared(int i, const Work& w, const TriVec& sf) const {
    switch (i) {
        case kRoXE: case kRoXE_T: case kRoXE_TR: case kRoXE_P: case kRoXE_TP: return {&w.triDX, &triDE};
        case kRoTE: case kRoTE_P: return {&w.triDT, &triDE};
        case kRoRE: return {&w.triDR, &triDE};
        case kRTY: return {&w.triDT, &triDY};
        case kRTZ: return {&w.triDT, &triDZ};
        case kRXY: case kRXY_T: return {&w.triDX, &triDY};
        case kRXZ: case kRXZ_T: return {&w.triDX, &triDZ};
        case kRoBF: return {&triSb, &sf};
        case kRFE: return {&w.triDF, &triDE};
        case kRoPE: case kRoPE_T: case kRoPE_X: return {&w.triDP, &triDE};
        case kRoPT: return {&w.triDP, &w.triDT};
        default: return {&w.triDP, &w.triDX};  // ro(PX), ro(PX.T)
    }
}

void Engine::MarkUndefined(Stats& st) const {
    for (int i = 0; i < kPermTestStats; i++)
        if (!defined[i]) st.v[i] = MissingValue;
    for (int i = 0; i < kIntermediates; i++)
        if (!midDefined[i]) st.Mid(i) = MissingValue;
}

void Engine::NoteWrite() {
    // errno is the thread's own: a write that failed on this thread left its reason here, read
    // before anything else can change it. A stream whose writes failed without one counts as EIO.
    if (writeError == 0 && std::ferror(in.rndDataFile)) writeError = errno != 0 ? errno : EIO;
}

// The congruence of A and B after removing what the covariates explain, on the components
// comp holds (none: 0). A table with -999 (only the caller's Y or Z can hold them) goes through
// the regression that skips them.
double Engine::Partial(Work& w, const Config& A, const Config& B, bool components, const MatrixCovariate* cov,
                       int nCov, bool* flat) const {
    *flat = Flat(A, B);
    if (A.missing || B.missing) {
        if (!w.partial) w.partial = MakePartialWork(*this);
        bool residualFlat = false;
        const double r = PartialCongruence(*w.partial, n, A.cols, B.cols, A.source, B.source, method,
                                           in.overfitFactor, cov, nCov, &residualFlat);
        *flat = *flat || residualFlat;
        return r;
    }
    if (!components) return 0.0;
    w.comp.Residuals(A, w.rA);
    w.comp.Residuals(B, w.rB);
    *flat = Flat(w.rA, w.rB);
    return Compare(w.rA, w.rB, method, w.cw);
}

// The comparisons in absolute value whatever the tail: the partial statistics.
bool AlwaysAbsolute(int i) {
    switch (i) {
        case kRoXE_T: case kRoXE_TR: case kRXY_T: case kRXZ_T: case kRoPX_T: case kRoTE_P:
        case kRoXE_P: case kRoXE_TP: case kRoPE_T: case kRoPE_X:
            return true;
        default:
            return false;
    }
}

bool IsPhylogenetic(int i) { return i >= kRoBF; }

// A vector printed as a one-row matrix.
void PrintRow(FILE* f, int n, double** col) {
    for (int c = 0; c < n; c++) fprintf(f, "%.*g\t", kDigits, col[c][0]);
    fprintf(f, "\n");
}

// A permuted matrix of the random-data file under its title, then the OTU order that made it.
template <class M>
void PrintPermuted(FILE* f, const char* title, int rows, int cols, M** m, const char* orderTitle, int* list) {
    fprintf(f, "%s", title);
    PrintMatrixTab(f, rows, cols, m, kDigits);
    fprintf(f, "%s", orderTitle);
    PrintVectorTab(f, rows, list, nullptr);
}

// A resemblance matrix of the random-data file (its lower half, the matrices being symmetric);
// the title takes the number of communities.
void PrintRese(FILE* f, const char* title, int n, double** d) {
    fprintf(f, title, n);
    PrintLowerHalfMatrixTab(f, n, d, kDigits);
}

template <class M>
void Engine::PrintObservedRao(FILE* f, const char* title, M** sym, const char* name, double** rao, const TriVec& tri,
                              double** d, const char* reseTitle) {
    fprintf(f, "%s", title);
    PrintMatrixTab(f, s, s, sym, kDigits);
    fprintf(f, "\n\nRao entropy vector R (%d communities) computed after %s:\n", n, name);
    PrintRow(f, n, rao);
    if (mantel) {
        tri.ToMatrix(n, d);
        fprintf(f, "%s", reseTitle);
        PrintLowerHalfMatrixTab(f, n, d, kDigits);
    }
    fprintf(f, "\n");
}

void Engine::PrintObserved(const Stats& st, Work& w) {
    FILE* f = in.rndDataFile;
    fprintf(f, "\nPERMUTATION TEST FOR CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL CORRELATIONS ro(XE.T), ro(XE.TR)\n");
    fprintf(f, "INTERMEDIATE RESULTS\n");
    fprintf(f, "\nObserved trait matrix (B):\n");
    PrintMatrixTab(f, s, p, in.B, kDigits);
    fprintf(f, "\nMatrix W (%d communities by %d OTUs):\n", n, s);
    PrintMatrixTab(f, n, s, in.W, kDigits);
    fprintf(f, "\n\nMatrix T (comunity weighted means traits in %d communities by %d traits) computed after B (T = W x B):\n", n, p);
    PrintMatrixTab(f, n, p, w.T.m, kDigits);
    if (method == 1) {
        PrintRese(f, "\nResemblance matrix DT between %d communities (based on matrix T of traits by communities):\n",
                  n, w.DT.m);
        PrintRese(f,
                  "\nResemblance matrix DE between %d communities (based on matrix E of ecological variables by "
                  "communities):\n",
                  n, DEs.m);
        fprintf(f, "\nMatrix correlation between DT and DE:\t%g\n", st.v[kRoTE]);
    } else {
        fprintf(f, "\nMatrix E of communities by ecological variables):\n");
        PrintMatrixTab(f, n, v, in.E, kDigits);
        if (method == 2)
            fprintf(f, "\nProcrustes correlation between T and E:\t%g\n", st.v[kRoTE]);
        else
            fprintf(f, "\nRV coefficient between T and E:\t%g\n", st.v[kRoTE]);
    }
    fprintf(f, "\nObserved belonging matrix (U):\n");
    PrintMatrixTab(f, s, k, in.U, kDigits);
    fprintf(f, "\nObserved ro(XT)=\t%g\n", st.xt);
    fprintf(f, "Observed ro(XE)=\t%g\n", st.v[kRoXE]);
    fprintf(f, "Observed ro(XE.T)=\t%g\n", st.v[kRoXE_T]);

    PrintObservedRao(f, "\nObserved similarity matrix (Sb) between OTUs, based on the traits:\n:", SbSym.m, "Sb", w.R.m,
                     w.triDR, w.DR.m, "\nResemblance matrix DR comparing communities based on their Rao entropy: \n");
    if (phyl)
        PrintObservedRao(f,
                         in.phylIsDissimilarity
                             ? "\nObserved dissimilarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:"
                             : "\nObserved similarity matrix (Sf) in the range 0-1 between OTUs, based on the phylogeny:\n:",
                         SfSym.m, "Sf", w.RaoPhyl.m, w.triDF, w.DRaoPhyl.m,
                         "\nResemblance matrix DRaoPhyl comparing communities after based on their Rao entropy using "
                         "phylogenetic distances: \n");
}

void Engine::PrintIteration(int it, const Stats& st, const double* count, Work& w) {
    int* list = w.list;
    FILE* f = in.rndDataFile;
    const double* v_ = st.v;
    fprintf(f, "\n\nITERATION\t%d\n", it);
    PrintPermuted(f, "Permuted trait matrix (Brnd):\n", s, p, w.Brnd.m,
                  "\nOrder of original OTUs in permuted traits matrix Brnd:\t", list);
    fprintf(f, "\n\nMatrix Trnd (%d communities by %d traits) generated after Brnd (Trnd = W x Brnd):\n", n, p);
    PrintMatrixTab(f, n, p, w.T.m, kDigits);
    if (mantel) PrintRese(f, "\nResemblance matrix DT between %d communities:\n", n, w.DT.m);
    fprintf(f, "\nIteration %d\tRandom ro(TE) =\t%g\tCummulative frequency for ro(TE)=%g\n", it, v_[kRoTE],
            count[kRoTE]);

    fprintf(f, "\n\nITERATION\t%d\n", it);
    PrintPermuted(f, "Permuted belonging matrix (Urnd) based on traits:\n", s, k, w.Urnd.m,
                  "\nOrder of original OTUs in permuted belongin matrix Urnd:\t", list);
    fprintf(f, "\n\nMatrix Xrnd (%d communities by %d PFTs) generated after Urnd (Xrnd = W x Urnd):\n", n, k);
    PrintMatrixTab(f, n, k, w.X.m, kDigits);
    if (mantel) PrintRese(f, "\nResemblance matrix DX between %d communities:\n", n, w.DX.m);
    fprintf(f,
            "\nIteration %d\tRandom ro(XT) =\t%g\tRandom ro(XE) =\t%g\tRandom ro(XE.T) =\t%g\tCummulative frequency "
            "for ro(XE)=%g\tCummulative frequency for ro(XE.T)=%g\n",
            it, st.xt, v_[kRoXE], v_[kRoXE_T], count[kRoXE], count[kRoXE_T]);

    if (phyl) {
        PrintPermuted(f, "Permuted belonging matrix (Qrnd) based on phylogeny:\n", s, q, w.Qrnd.m,
                      "\nOrder of original OTUs in permuted belongin matrix Qrnd:\t", list);
        fprintf(f, "\n\nMatrix Prnd (%d communities by %d taxa) generated after Qrnd (Prnd = W x Qrnd):\n", n, q);
        PrintMatrixTab(f, n, q, w.P.m, kDigits);
        if (mantel) PrintRese(f, "\nResemblance matrix DP between %d communities:\n", n, w.DP.m);
        fprintf(f,
                "\nIteration %d\tRandom values and cummulative frequencies for the following:\n ro(PE) =\t%g\t%g\n"
                "Random ro(PT) =\t%g\t%g\nRandom ro(PX) =\t%g\t%g\nRandom ro(PX.T) =\t%g\t%g\n"
                "Random ro(TE.P) =\t%g\t%g\nRandom ro(XE.P) =\t%g\t%g\nRandom ro(XE.TP) =\t%g\t%g\n"
                "Random ro(PE.T) =\t%g\t%g\nRandom ro(PE.X) =\t%g\t%g\n",
                it, v_[kRoPE], count[kRoPE], v_[kRoPT], count[kRoPT], v_[kRoPX], count[kRoPX], v_[kRoPX_T],
                count[kRoPX_T], v_[kRoTE_P], count[kRoTE_P], v_[kRoXE_P], count[kRoXE_P], v_[kRoXE_TP],
                count[kRoXE_TP], v_[kRoPE_T], count[kRoPE_T], v_[kRoPE_X], count[kRoPE_X]);
    }

    // The permuted similarity matrices exist only for this file; the statistics read the
    // dissimilarities through the list.
    for (int i = 0; i < s; i++)
        for (int j = 0; j < s; j++) w.SbRnd[i][j] = SbSym[list[i] - 1][list[j] - 1];
    fprintf(f, "\n\nITERATION\t%d\n", it);
    PrintPermuted(f, "Permuted similarity matrix (Srnd):\n", s, s, w.SbRnd.m,
                  "\nOrder of original OTUs in permuted similarity matrix Srnd:\t", list);
    fprintf(f, "\n\nRao entropy vector Rrnd (%d communities) generated after Srnd:\n", n);
    PrintRow(f, n, w.R.m);
    if (mantel) {
        w.triDR.ToMatrix(n, w.DR.m);
        PrintRese(f, "\nResemblance matrix DR between %d communities:\n", n, w.DR.m);
    }
    fprintf(f,
            "\nIteration %d\tRandom ro(RE) =\t%g\tRandom ro(XR) =\t%g\tRandom ro(TR) =\t%g\tRandom ro(XE.R) =\t%g\t"
            "Random ro(TE.R) =\t%g\tRandom ro(XT.R) =\t%g\tRandom ro(XE.TR) =\t%g\tCummulative frequency for "
            "ro(RE)=%g\tCummulative frequency for ro(XE.TR)=%g\n",
            it, v_[kRoRE], st.xr, st.tr, st.xe_r, st.te_r, st.xt_r, v_[kRoXE_TR], count[kRoRE], count[kRoXE_TR]);

    if (phyl) {
        for (int i = 0; i < s; i++)
            for (int j = 0; j < s; j++) w.SfRnd[i][j] = SfSym[list[i] - 1][list[j] - 1];
        PrintPermuted(f, "Permuted phylogenetic similarity matrix (Sf_rnd):\n", s, s, w.SfRnd.m,
                      "\nOrder of original OTUs in permuted similarity matrix Sf_rnd:\t", list);
        fprintf(f, "\n\nRao entropy vector Rrnd (%d communities) generated after Sf_rnd:\n", n);
        PrintRow(f, n, w.RaoPhyl.m);
        if (mantel) {
            w.triDF.ToMatrix(n, w.DRaoPhyl.m);
            PrintRese(f, "\nResemblance matrix DR between %d communities:\n", n, w.DRaoPhyl.m);
        }
        fprintf(f, "\nIteration %d\tRandom ro(FE) =\t%g\tCummulative frequency for ro(FE)=%g\n", it, v_[kRFE],
                count[kRFE]);
    }
}

// Refusals, checked before anything is written: too few communities or OTUs, an unknown
// measure, a matrix the test needs that is not given, a restriction without its groups, and
// missing values that Procrustes and RV cannot take (E, and B for the phylogenetic ro(BF)).
bool Testable(const PermTest_FunctionalPhyl_Correl_Input& in) {
    if (in.nCommunities < 2 || in.nOTUs < 1 || in.nTraits < 0 || in.nTypes < 0 || in.nEnv < 0) return false;
    if (in.optRo < 1 || in.optRo > 3) return false;
    if (!in.B || !in.Sb || !in.U || !in.W || !in.DE) return false;
    if (in.optRo == 1 && (!in.DY || !in.DZ)) return false;
    if (in.optRo != 1 && (!in.E || !in.Y || !in.Z)) return false;
    if (in.restriction == 1 && !in.weightedNullModel && !in.nestingGroups) return false;
    if (in.includePhylogeny) {
        if (in.nTaxa < 0 || in.nPhylAxes < 0 || !in.Sf || !in.Q) return false;
        if (in.optRo != 1 && in.nPhylAxes > 0 && !in.phylAxes) return false;
    }
    if (in.optRo != 1) {
        for (int c = 0; c < in.nCommunities; c++)
            for (int j = 0; j < in.nEnv; j++)
                if (IsMissing(in.E[c][j])) return false;
        if (in.includePhylogeny)
            for (int o = 0; o < in.nOTUs; o++)
                for (int t = 0; t < in.nTraits; t++)
                    if (IsMissing(in.B[o][t])) return false;
    }
    return true;
}

}  // namespace

// Relative Euclidean (7) and relative absolute value (9) map like 6 and 8, as in the report's
// resemblance of pooled matrices.
int TranslateReseOpt_TARNEX_ORBALD(int opt) {
    switch (opt) {
        case 1: case 2: case 4: return 0;
        case 3: return 1;
        case 5: return 17;
        case 6: case 7: return 3;
        case 8: case 9: return 2;
        case 10: return 18;
        default: return 1;
    }
}

namespace {

// The permutation loop shared among threads. Each thread takes the next iteration and draws its
// list from the program's generator under a lock, so the lists follow one another in the order
// of a single thread; its statistics depend on that list alone, so they are the single thread's
// too. The counts only add whole ones and come out the same in any order; the random-data file,
// which prints the running counts, is written by each iteration in its turn, and the thread that
// writes keeps the reason of a write that failed (NoteWrite).
class Loop {
public:
    Loop(Engine& e, const Stats& obs, int iterations, std::vector<std::unique_ptr<Work>>& works)
        : e_(e), obs_(obs), iterations_(iterations), works_(works),
          local_(works.size(), std::array<double, kPermTestStats>{}) {
        // An undefined statistic is never counted: its count stays -999.
        for (int i = 0; i < kPermTestStats; i++) count_[i] = e.defined[i] ? 1.0 : MissingValue;
    }

    // Runs iterations 1 .. iterations - 1 and leaves the counts in count.
    void Run(double* count) {
        const int threads = static_cast<int>(works_.size());
        std::vector<std::thread> pool;
        pool.reserve(threads - 1);
        for (int t = 1; t < threads; t++)
            if (!StartWorker(pool, [this, t] { Worker(t); })) break;
        Worker(0);
        for (std::thread& th : pool) th.join();
        if (error_) std::rethrow_exception(error_);
        for (int i = 0; i < kPermTestStats; i++) {
            count[i] = count_[i];
            for (const auto& l : local_) count[i] += l[i];
        }
    }

private:
    void Worker(int t) {
        try {
            // A worker beyond the calling thread, which has both already, takes its BLAS work buffer
            // and then makes its work space; one that memory refuses leaves its share to the others.
            if (t > 0 && (!HoldBlasBuffer() || !MakeWorkerSpace(t, [&] { works_[t] = std::make_unique<Work>(e_); })))
                return;
            Work& w = *works_[t];
            Stats rnd;
            char progress[64];
            for (;;) {
                int it;
                {
                    std::lock_guard<std::mutex> lock(draw_);
                    if (stop_ || next_ >= iterations_) return;
                    it = next_++;
                    e_.Draw(w.list);
                }
                // The progress line belongs to the calling thread.
                if (t == 0) {
                    snprintf(progress, sizeof progress, "Permutation test: %d of %d", it, iterations_);
                    HandleEventInfoWhere2(progress);
                }
                e_.Compute(w.list, rnd, w);
                if (e_.save)
                    InTurn(it, rnd, w);
                else
                    Tally(rnd, local_[t].data());
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(turnLock_);
            if (!error_) error_ = std::current_exception();
            stop_ = true;
            turnWait_.notify_all();
        }
    }

    void Tally(const Stats& rnd, double* count) const {
        for (int i = 0; i < kPermTestStats; i++) {
            if (!e_.defined[i]) continue;
            const bool absolute = AlwaysAbsolute(i) || e_.in.twoTailed;
            if (IsLargerThanOrEqual(rnd.v[i], obs_.v[i], 1, absolute)) count[i] += 1.0;
        }
    }

    // The iteration waits for those before it, then counts and writes its block.
    void InTurn(int it, const Stats& rnd, Work& w) {
        std::unique_lock<std::mutex> lock(turnLock_);
        turnWait_.wait(lock, [&] { return turn_ == it || stop_; });
        if (stop_) return;
        Tally(rnd, count_);
        errno = 0;
        e_.PrintIteration(it, rnd, count_, w);
        e_.NoteWrite();
        turn_++;
        turnWait_.notify_all();
    }

    Engine& e_;
    const Stats& obs_;
    const int iterations_;
    std::vector<std::unique_ptr<Work>>& works_;
    std::vector<std::array<double, kPermTestStats>> local_;  // each thread's counts, from 0
    double count_[kPermTestStats];                           // from 1: the observed data
    std::mutex draw_;
    int next_ = 1;
    std::mutex turnLock_;
    std::condition_variable turnWait_;
    int turn_ = 1;
    std::atomic<bool> stop_{false};
    std::exception_ptr error_;
};

}  // namespace

bool PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* in) {
    if (!in || !Testable(*in)) return false;
    // The calling thread takes what it needs first, its BLAS work buffer and then its work space, so
    // that no other worker's memory takes them. What the space took is what each further worker
    // will take: the count of workers follows from it, never more than the permutations.
    EnsureBlasBuffer();
    Engine e(*in);
    e.Setup();
    const int iterations = std::max(in->iterations, 1);
    std::vector<std::unique_ptr<Work>> works;
    const WorkerCost space = MeasureSpace([&] { works.push_back(std::make_unique<Work>(e)); });
    works.resize(WorkerThreads(space, true, iterations - 1));
    Work& w0 = *works[0];

    Stats obs;
    e.Compute(e.identity, obs, w0);
    // A statistic whose observed table has no variation is not defined by the data; a draw
    // whose table has none takes 0, the value of such a comparison.
    for (int i = 0; i < kPermTestStats; i++) e.defined[i] = e.defined[i] && !obs.flat[i];
    for (int i = 0; i < kIntermediates; i++) e.midDefined[i] = e.midDefined[i] && !obs.midFlat[i];
    e.MarkUndefined(obs);
    if (in->handBack) {
        for (int c = 0; c < e.n; c++) {
            if (in->outX) std::copy(w0.X[c], w0.X[c] + e.k, in->outX[c]);
            if (in->outR) in->outR[c] = w0.R[c][0];
            if (e.phyl && in->outRaoPhyl) in->outRaoPhyl[c] = w0.RaoPhyl[c][0];
        }
    }
    if (e.phyl && in->outP)
        for (int c = 0; c < e.n; c++) std::copy(w0.P[c], w0.P[c] + e.q, in->outP[c]);
    in->rndDataError = 0;
    if (e.save) {
        errno = 0;
        e.PrintObserved(obs, w0);
        e.NoteWrite();
    }

    double count[kPermTestStats];
    Loop(e, obs, iterations, works).Run(count);
    in->rndDataError = e.writeError;
    for (int i = 0; i < kPermTestStats; i++) {
        bool computed = !IsPhylogenetic(i) || e.phyl;
        if (computed && !e.defined[i]) {
            in->observed[i] = in->probability[i] = std::nan("");
            continue;
        }
        in->observed[i] = computed ? obs.v[i] : 0.0;
        in->probability[i] = computed ? count[i] / iterations : 1.0;
    }
    return true;
}
