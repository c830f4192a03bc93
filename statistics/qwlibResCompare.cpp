// Matrix comparison: RV coefficient, Procrustes coefficient and fit, matrix correlation and its
// relatives over the upper cells of square matrices, whole-table deviations.
#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>

#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_vector.h>

#include "foundation/TnxBlas.h"
#include "foundation/TnxGsl.h"
#include "matrix/core/qwlibRandom.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResInternal.h"

using qwres::ScaleToUnitMagnitude;
using qwres::Scratch;
using qwres::ScratchVec;

// Buffers of the RV coefficient (centred configurations and the two n x n cross products) and
// of the Procrustes coefficient (transposed A, centred B, C and the GSL blocks of its
// decomposition), for n objects and at most q columns. Each part only when asked for.
template <class T>
struct ComparisonWorkspace<T>::Buffers {
    Buffers(int n_, int q_, bool rv_, bool procrustes_)
        : n(n_), q(q_), rv(rv_), procrustes(procrustes_), Xc(rv_ ? n_ : 0, q_), Yc(rv_ ? n_ : 0, q_),
          S(rv_ ? n_ : 0, n_), Tm(rv_ ? n_ : 0, n_), At(procrustes_ ? q_ : 0, n_), Bc(procrustes_ ? n_ : 0, q_),
          C(procrustes_ ? q_ : 0, q_) {
        if (!procrustes_) return;
        size_t g = q_ > 0 ? size_t(q_) : 1;  // GSL refuses empty blocks
        // Each block in an owner until all are made: a refusal (code 1) frees those made before.
        GslMatrix u = AllocGslMatrix(g, g), v = AllocGslMatrix(g, g);
        GslVector sv = AllocGslVector(g);
        auto work = std::make_unique<SingularValueWork>(static_cast<int>(g), static_cast<int>(g));
        block = dim1Double(static_cast<int>(g * g));
        gu = u.release();
        gv = v.release();
        gs = sv.release();
        svd = work.release();
    }
    ~Buffers() {
        if (gu) gsl_matrix_free(gu);
        if (gv) gsl_matrix_free(gv);
        if (gs) gsl_vector_free(gs);
        delete svd;
        free1D(block);
    }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;

    int n, q;
    bool rv, procrustes;
    Scratch<T> Xc, Yc, S, Tm;
    Scratch<T> At, Bc, C;
    gsl_matrix* gu = nullptr;
    gsl_matrix* gv = nullptr;
    gsl_vector* gs = nullptr;
    SingularValueWork* svd = nullptr;  // the coefficient alone: singular values without vectors
    double* block = nullptr;           // the pa x pb block of C they are taken from
};

template <class T>
ComparisonWorkspace<T>::ComparisonWorkspace(int n, int p1, int p2, Coefficients serves)
    : b_(new Buffers(n, p1 > p2 ? p1 : p2, serves == Coefficients::kRV || serves == Coefficients::kBoth,
                     serves == Coefficients::kProcrustes || serves == Coefficients::kBoth)) {}

template <class T>
ComparisonWorkspace<T>::~ComparisonWorkspace() {
    delete b_;
}

template <class T>
bool ComparisonWorkspace<T>::Fits(int n, int p1, int p2) const {
    return n <= b_->n && p1 <= b_->q && p2 <= b_->q;
}

template <class T>
bool ComparisonWorkspace<T>::ServesRV() const {
    return b_->rv;
}

template <class T>
bool ComparisonWorkspace<T>::ServesProcrustes() const {
    return b_->procrustes;
}

template class ComparisonWorkspace<float>;
template class ComparisonWorkspace<double>;

namespace {

template <class T>
int MaxOf(T a, T b) {
    return a > b ? a : b;
}

// The rounding a table of element type T carries (ColumnVaries): single-precision values are
// taken as they are, double ones as computed.
template <class T>
constexpr double RoundingOf() {
    return std::is_same<T, float>::value ? 0.0 : kDoubleRounding;
}

// The spread of column k of X (n rows) over its present cells, in double.
template <class T>
Spread ColumnSpreadT(int n, T** X, int k) {
    return SpreadOf(n, [&](int i) { return double(X[i][k]); }, [&](int i) { return IsPresent(X[i][k]); });
}

template <class T>
ColumnSpread SpreadOfColumnT(int n, T** X, int k) {
    const Spread s = ColumnSpreadT(n, X, k);
    ColumnSpread c;
    c.centred = s.Centred();
    c.magnitude = s.magnitude;
    c.count = s.count;
    return c;
}

template <class T>
bool ColumnHasVariationT(int n, T** X, int k) {
    return ColumnSpreadT(n, X, k).Varies(RoundingOf<T>());
}

template <class T>
bool HasVariationT(int n, int p, T** X) {
    for (int k = 0; k < p; k++)
        if (ColumnHasVariationT(n, X, k)) return true;
    return false;
}

// Whether X and Y both have variation; *flat (when given) the contrary. A configuration without
// variation carries no shape to compare: the coefficients are then 0.
template <class T>
bool BothVary(int n, int p1, int p2, T** X, T** Y, bool* flat) {
    const bool both = HasVariationT(n, p1, X) && HasVariationT(n, p2, Y);
    if (flat) *flat = !both;
    return both;
}

// ---------------------------------------------------------------- RV coefficient

// S = C C' (n x n) of the n x p matrix C, a term left out when either factor is -999; sums in
// T (the product MatrixProd forms, without its transposed copy).
// S is symmetric (each product commutes and every cell sums in column order), so the upper
// triangle is formed and mirrored; without any -999 the test is left out of the inner loop.
template <class T>
void CrossProductSkip(int n, int p, T** C, T** S) {
    bool missing = false;
    for (int i = 0; i < n && !missing; i++)
        for (int k = 0; k < p; k++)
            if (!IsPresent(C[i][k])) {
                missing = true;
                break;
            }
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            const T* a = C[i];
            const T* b = C[j];
            T s = T(0);
            if (missing) {
                for (int k = 0; k < p; k++)
                    if (IsPresent(a[k]) && IsPresent(b[k])) s += a[k] * b[k];
            } else {
                for (int k = 0; k < p; k++) s += a[k] * b[k];
            }
            S[i][j] = S[j][i] = s;
        }
}

// S = Xc Xc' (n x n) of the column-centred X (missing cells skipped in the product), Xc
// brought to unit magnitude first (ScaleToUnitMagnitude).
template <class T>
void CentredCrossProduct(int n, int p, T** X, T** S, bool covScaling) {
    Scratch<T> c(n, p);
    if (covScaling)
        CenterColsCovMV(n, p, X, static_cast<T**>(c));
    else
        CenterColsMV(n, p, X, static_cast<T**>(c));
    ScaleToUnitMagnitude(n, p, static_cast<T**>(c));
    CrossProductSkip(n, p, static_cast<T**>(c), S);
}

// S = Xc Xc' of the centred Xc, at a scale whose squares T holds: where the largest diagonal cell
// (a row's sum of squares, which bounds every cell) lies outside 2^-40 .. 2^40, or is not finite,
// Xc is brought to unit magnitude (ScaleToUnitMagnitude) and S formed again. At the scales of any
// survey S is formed once, from Xc as it is, and the coefficient does not see the difference: a
// power of two changes no product's rounding.
template <class T>
void CrossProductAtUsableScale(int n, int p, T** Xc, T** S) {
    CrossProductSkip(n, p, Xc, S);
    T largest = T(0);
    for (int i = 0; i < n; i++) largest = std::max(largest, S[i][i]);
    if (largest >= T(0x1p-40) && largest <= T(0x1p40)) return;
    ScaleToUnitMagnitude(n, p, Xc);
    CrossProductSkip(n, p, Xc, S);
}

// Sums over all n x n cells; each square or product formed in T, added in double.
template <class T>
double RVT(int n, int p1, int p2, T** X, T** Y, typename ComparisonWorkspace<T>::Buffers& w, bool* flat) {
    if (!BothVary(n, p1, p2, X, Y, flat)) return 0.0;
    CenterColsMV(n, p1, X, static_cast<T**>(w.Xc));
    CenterColsMV(n, p2, Y, static_cast<T**>(w.Yc));
    CrossProductAtUsableScale(n, p1, static_cast<T**>(w.Xc), static_cast<T**>(w.S));
    CrossProductAtUsableScale(n, p2, static_cast<T**>(w.Yc), static_cast<T**>(w.Tm));
    double ss = 0, tt = 0, sp = 0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            T a = w.S[i][j], b = w.Tm[i][j];
            ss += double(a * a);
            tt += double(b * b);
            sp += double(a * b);
        }
    const double den = std::sqrt(ss * tt);
    return den > 0.0 ? sp / den : 0.0;
}

// The same through traces of S'T, S'S and T'T (products in T); 0 when X or Y has no variation.
template <class T>
double RVOldT(int n, int p1, int p2, T** X, T** Y, bool covScaling) {
    if (!BothVary(n, p1, p2, X, Y, static_cast<bool*>(nullptr))) return 0.0;
    Scratch<T> S(n, n), U(n, n), P(n, n);
    CentredCrossProduct(n, p1, X, static_cast<T**>(S), covScaling);
    CentredCrossProduct(n, p2, Y, static_cast<T**>(U), covScaling);
    // S and T are symmetric: S'T = S T.
    MatrixProd(n, n, n, n, static_cast<T**>(S), static_cast<T**>(U), static_cast<T**>(P));
    double st = MatrixTrace(n, static_cast<T**>(P));
    MatrixProd(n, n, n, n, static_cast<T**>(S), static_cast<T**>(S), static_cast<T**>(P));
    double ss = MatrixTrace(n, static_cast<T**>(P));
    MatrixProd(n, n, n, n, static_cast<T**>(U), static_cast<T**>(U), static_cast<T**>(P));
    double tt = MatrixTrace(n, static_cast<T**>(P));
    double den = std::sqrt(ss * tt);
    return den > 0.0 ? st / den : 0.0;
}

// ---------------------------------------------------------------- Procrustes

// Completes the columns of the square u that are zero (the left singular vectors of zero
// singular values, which one-sided Jacobi leaves empty) to an orthonormal basis with the other
// columns, which are orthonormal: each zero column becomes the unit vector e_i that the others
// explain least, less its parts along them, normalised.
void CompleteBasis(gsl_matrix* u) {
    const size_t q = u->size1;
    for (size_t j = 0; j < q; j++) {
        double len = 0;
        for (size_t i = 0; i < q; i++) len += gsl_matrix_get(u, i, j) * gsl_matrix_get(u, i, j);
        if (len > 0.5) continue;
        // The squared length of e_i left after the other columns is 1 - sum_k u_ik^2.
        size_t best = 0;
        double bestLeft = -1;
        for (size_t i = 0; i < q; i++) {
            double left = 1;
            for (size_t k = 0; k < q; k++)
                if (k != j) left -= gsl_matrix_get(u, i, k) * gsl_matrix_get(u, i, k);
            if (left > bestLeft) {
                bestLeft = left;
                best = i;
            }
        }
        double ss = 0;
        for (size_t i = 0; i < q; i++) {
            double x = i == best ? 1.0 : 0.0;
            for (size_t k = 0; k < q; k++)
                if (k != j) x -= gsl_matrix_get(u, best, k) * gsl_matrix_get(u, i, k);
            gsl_matrix_set(u, i, j, x);
            ss += x * x;
        }
        const double norm = std::sqrt(ss);
        for (size_t i = 0; i < q; i++) gsl_matrix_set(u, i, j, gsl_matrix_get(u, i, j) / norm);
    }
}

// The sum of the singular values of the pa x pb block of C (the rest of the padded square is
// zero), at most n - 1 of them (the rank of centred configurations), by LAPACK's divide-and-
// conquer decomposition on the smaller order; 0 when C is not finite or the decomposition fails.
template <class T>
T SingularValueSum(int n, int pa, int pb, T** C, typename ComparisonWorkspace<T>::Buffers& w) {
    if (pa < 1 || pb < 1) return T(0);
    // Column-major with rows >= columns: C itself when pa >= pb, else its transpose.
    const bool tall = pa >= pb;
    const int M = tall ? pa : pb, N = tall ? pb : pa;
    double* x = w.block;
    for (int a = 0; a < pa; a++)
        for (int b = 0; b < pb; b++) {
            if (!std::isfinite(C[a][b])) return T(0);
            x[tall ? a + b * M : b + a * M] = double(C[a][b]);
        }
    if (!SingularValues(M, N, x, *w.svd)) return T(0);
    T coef = T(0);
    for (int k = 0; k < N && k < n - 1; k++) coef += T(w.svd->s[k]);
    return std::isfinite(coef) ? coef : T(0);
}

// Procrustes coefficient of A (n x pa) and B (n x pb), both n objects by variables. Both are
// centred and scaled to unit total variance; C = A'B / (n - 1) in a zero-filled q x q matrix,
// q = max(pa, pb); the coefficient is the sum of C's singular values. When Z is given it
// receives the standardised B rotated onto A (R = V U', C = U W V') times the coefficient,
// the least-squares fit of B to A. 0 for a configuration without variation (BothVary) or a
// failed decomposition.
template <class T>
T ProcrustesKernel(int n, int pa, int pb, T** A, T** B, T** Z, typename ComparisonWorkspace<T>::Buffers& w,
                   bool* flat) {
    if (flat) *flat = false;
    int q = MaxOf(pa, pb);
    if (q < 1 || n < 1) return T(0);
    auto zeroZ = [&] {
        if (Z)
            for (int i = 0; i < n; i++)
                for (int k = 0; k < q; k++) Z[i][k] = T(0);
    };
    if (!BothVary(n, pa, pb, A, B, flat)) {
        zeroZ();
        return T(0);
    }
    T** At = w.At;
    T** Bc = w.Bc;
    T** C = w.C;
    for (int k = 0; k < q; k++)
        for (int i = 0; i < n; i++) {
            At[k][i] = k < pa ? A[i][k] : T(0);
            Bc[i][k] = T(0);
        }
    CenterRowsMV(pa, n, At, At);
    CenterColsMV(n, pb, B, Bc);
    // At any scale T holds: the standardisation brings a table whose squares leave T to unit
    // magnitude first.
    GowerStandardizationRows(q, n, At);
    GowerStandardizationCols(n, q, Bc);
    MatrixProd(q, n, n, q, At, Bc, C);
    T f = T(1) / T(n - 1);
    for (int a = 0; a < pa; a++)
        for (int b = 0; b < q; b++) C[a][b] *= f;
    if (!Z) return SingularValueSum(n, pa, pb, C, w);
    // One-sided Jacobi on views of the work space's GSL blocks allocates nothing (GSL's
    // Golub-Reinsch form allocates its bidiagonalisation at each call); u becomes U, v receives V.
    gsl_matrix_view u = gsl_matrix_submatrix(w.gu, 0, 0, q, q);
    gsl_matrix_view v = gsl_matrix_submatrix(w.gv, 0, 0, q, q);
    gsl_vector_view sv = gsl_vector_subvector(w.gs, 0, q);
    bool finite = true;
    for (int a = 0; a < q; a++)
        for (int b = 0; b < q; b++) {
            if (!std::isfinite(C[a][b])) finite = false;
            gsl_matrix_set(&u.matrix, a, b, double(C[a][b]));
        }
    EnsureBlasBuffer();   // the BLAS behind the numerical library's routine
    bool ok = finite && gsl_linalg_SV_decomp_jacobi(&u.matrix, &v.matrix, &sv.vector) == 0;
    T coef = T(0);
    if (ok)
        for (int k = 0; k < q; k++) coef += T(gsl_vector_get(&sv.vector, k));
    if (!std::isfinite(coef)) {
        coef = T(0);
        ok = false;
    }
    if (Z) {
        if (!ok) {
            zeroZ();
            return coef;
        }
        // Z = coef * Bc * V U', V U' a rotation once U is a whole basis.
        CompleteBasis(&u.matrix);
        for (int i = 0; i < n; i++)
            for (int k = 0; k < q; k++) {
                double s = 0;
                for (int a = 0; a < q; a++) {
                    if (IsMissing(Bc[i][a])) continue;
                    double rot = 0;
                    for (int b = 0; b < q; b++)
                        rot += gsl_matrix_get(&v.matrix, a, b) * gsl_matrix_get(&u.matrix, k, b);
                    s += double(Bc[i][a]) * rot;
                }
                Z[i][k] = T(s) * coef;
            }
    }
    return coef;
}

template <class T>
T ProcrustesT(int n, int p1, int p2, T** X, T** Y, typename ComparisonWorkspace<T>::Buffers& w, bool* flat) {
    // The narrower configuration is the one transposed (A); with equal widths A is X.
    if (p1 > p2) return ProcrustesKernel(n, p2, p1, Y, X, static_cast<T**>(nullptr), w, flat);
    return ProcrustesKernel(n, p1, p2, X, Y, static_cast<T**>(nullptr), w, flat);
}

// Procrustes fit of Y (n x p2) onto the first p2 columns of X (n x p1): rotation R = V U' from
// the decomposition of Xc'Yc, dilation, translation to X's column means. No missing-value
// test. Yfit n x p2; ss per axis or null.
template <class T>
void ProcrustesFit(int n, int p1, int p2, T** X, T** Y, T** Yfit, T* ss) {
    if (p2 < 1) return;
    int q = MaxOf(p1, p2);
    Scratch<T> Xt(q, n), Xc(n, p2), Yc(n, p2), C(p2, p2), U(p2, p2), V(p2, p2), R(p2, p2);
    ScratchVec<T> w(p2);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p1; k++) Xt[k][i] = X[i][k];
    CenterRows(p2, n, static_cast<T**>(Xt), static_cast<T**>(Xt));
    TransposeMatrix(p2, n, static_cast<T**>(Xt), static_cast<T**>(Xc));
    CenterCols(n, p2, Y, static_cast<T**>(Yc));
    MatrixProd(p2, n, n, p2, static_cast<T**>(Xt), static_cast<T**>(Yc), static_cast<T**>(C));
    SingValueDecomp(p2, p2, static_cast<T**>(C), static_cast<T**>(U), static_cast<T*>(w),
                    static_cast<T**>(V));
    for (int a = 0; a < p2; a++)
        for (int b = 0; b < p2; b++) {
            T s = T(0);
            for (int k = 0; k < p2; k++) s += V[a][k] * U[b][k];
            R[a][b] = s;
        }
    MatrixProd(n, p2, p2, p2, static_cast<T**>(Yc), static_cast<T**>(R), Yfit);
    T num = T(0), den = T(0);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p2; k++) {
            num += Yfit[i][k] * Xc[i][k];
            den += Yc[i][k] * Yc[i][k];
        }
    // A Y without variance has nothing to dilate (and its fit is 0 already).
    T s = den == T(0) ? T(0) : num / den;
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p2; k++) Yfit[i][k] *= s;
    if (ss)
        for (int k = 0; k < p2; k++) {
            double sum = 0;
            for (int i = 0; i < n; i++) {
                T d = Xc[i][k] - Yfit[i][k];
                sum += double(d * d);
            }
            ss[k] = T(sum);
        }
    for (int k = 0; k < p2 && k < p1; k++) {
        double m = 0;
        for (int i = 0; i < n; i++) m += X[i][k];
        m /= n;
        for (int i = 0; i < n; i++) Yfit[i][k] += T(m);
    }
}

// Fit of configurations stored one row per axis (X p1 x n, Y p2 x n, Yfit p2 x n).
template <class T>
void ProcrustesFitT(int p1, int p2, int n, T** X, T** Y, T** Yfit, T* ss) {
    Scratch<T> Xn(n, p1), Yn(n, p2), F(n, p2);
    TransposeMatrix(p1, n, X, static_cast<T**>(Xn));
    TransposeMatrix(p2, n, Y, static_cast<T**>(Yn));
    ProcrustesFit(n, p1, p2, static_cast<T**>(Xn), static_cast<T**>(Yn), static_cast<T**>(F), ss);
    TransposeMatrix(n, p2, static_cast<T**>(F), Yfit);
}

// ---------------------------------------------------------------- resemblance matrices

// Matrix correlation over the pairs i < j whose values are both present, sums in Acc; *flat
// (when given): no pair is counted, or the counted cells of A or of B have no variation. Whether
// they vary is judged in double whatever Acc is (Spread, each matrix by the rounding of its own
// element type), beside the sums of the value: those of a constant matrix about its summed mean
// would leave it a spread of their own rounding.
template <class TA, class TB, class Acc>
Acc MatrixCorrT(int n, TA** A, TB** B, bool* flat = nullptr) {
    if (flat) *flat = true;
    if (n < 2) return Acc(0);
    Acc sa = 0, sb = 0;
    double magA = 0.0, magB = 0.0, firstA = 0.0, firstB = 0.0;
    int k = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            if (IsMissing(A[i][j]) || IsMissing(B[i][j])) continue;
            sa += A[i][j];
            sb += B[i][j];
            magA = std::max(magA, std::fabs(double(A[i][j])));
            magB = std::max(magB, std::fabs(double(B[i][j])));
            if (k++ == 0) {
                firstA = double(A[i][j]);
                firstB = double(B[i][j]);
            }
        }
    if (k == 0) return Acc(0);
    Acc ma = sa / Acc(k), mb = sb / Acc(k);
    Acc ssa = 0, ssb = 0, sp = 0;
    Spread spreadA(firstA, magA, k), spreadB(firstB, magB, k);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            if (IsMissing(A[i][j]) || IsMissing(B[i][j])) continue;
            Acc da = Acc(A[i][j]) - ma, db = Acc(B[i][j]) - mb;
            ssa += da * da;
            ssb += db * db;
            sp += da * db;
            spreadA.Add(double(A[i][j]));
            spreadB.Add(double(B[i][j]));
        }
    // A matrix whose cells differ only by rounding has no spread to correlate.
    if (!spreadA.Varies(RoundingOf<TA>()) || !spreadB.Varies(RoundingOf<TB>())) return Acc(0);
    if (flat) *flat = false;
    const Acc ua = Acc(ValueScale(magA)), ub = Acc(ValueScale(magB));
    if (ua != Acc(1) || ub != Acc(1)) {
        // Cells whose squares leave double: the deviations times powers of two, which the
        // correlation does not see.
        ssa = ssb = sp = 0;
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) {
                if (IsMissing(A[i][j]) || IsMissing(B[i][j])) continue;
                Acc da = (Acc(A[i][j]) - ma) * ua, db = (Acc(B[i][j]) - mb) * ub;
                ssa += da * da;
                ssb += db * db;
                sp += da * db;
            }
    }
    return sp / std::sqrt(ssa * ssb);
}

// Calls f(a, b) for every upper cell, row by row.
template <class T, class F>
void ForUpper(int n, T** A, T** B, F f) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) f(A[i][j], B[i][j]);
}

template <class T>
T StressKruskalT(int n, T** A, T** B) {
    if (n < 2) return T(-1);
    T num = 0, den = 0;
    ForUpper(n, A, B, [&](T a, T b) {
        num += (a - b) * (a - b);
        den += ((a + b) / T(2)) * ((a + b) / T(2));
    });
    if (den == T(0)) return T(-1);
    return std::sqrt(num / den);
}

template <class T>
T AbsValDistT(int n, T** A, T** B) {
    T s = 0;
    ForUpper(n, A, B, [&](T a, T b) { s += std::fabs(a - b); });
    return s;
}

template <class T>
T EudDistT(int n, T** A, T** B) {
    T s = 0;
    ForUpper(n, A, B, [&](T a, T b) { s += (a - b) * (a - b); });
    return s > T(0) ? std::sqrt(s) : T(0);
}

// The N upper cells of A and B as two rows of a single-precision 2 x N matrix.
template <class T>
void UpperCellsAsFloat(int n, T** A, T** B, float** out) {
    int k = 0;
    ForUpper(n, A, B, [&](T a, T b) {
        out[0][k] = float(a);
        out[1][k] = float(b);
        k++;
    });
}

// Unit-length cell vectors; Acc is the sum of the single-precision squares.
template <class T, class Acc>
T DistT(int n, T** A, T** B) {
    if (n < 2) return T(0);
    int N = n * (n - 1) / 2;
    Scratch<float> v(2, N);
    UpperCellsAsFloat(n, A, B, static_cast<float**>(v));
    UnitLengthAdj(2, N, static_cast<float**>(v), static_cast<float**>(v));
    Acc s = 0;
    for (int k = 0; k < N; k++) {
        float d = v[0][k] - v[1][k];
        s += Acc(d * d);
    }
    return s > Acc(0) ? T(std::sqrt(s)) : T(0);
}

template <class T>
T CovT(int n, T** A, T** B) {
    int N = n * (n - 1) / 2;
    // One cell (n = 2) has no covariance: its divisor N - 1 would be 0.
    if (N < 2) return T(0);
    T sa = 0, sb = 0;
    ForUpper(n, A, B, [&](T a, T b) {
        sa += a;
        sb += b;
    });
    T ma = sa / T(N), mb = sb / T(N);
    T sp = 0;
    ForUpper(n, A, B, [&](T a, T b) { sp += (a - ma) * (b - mb); });
    return sp / T(N - 1);
}

// Joint zeros are left out.
template <class T>
bool JointZero(T a, T b) {
    return std::fabs(a) < T(1e-6) && std::fabs(b) < T(1e-6);
}

// Sums of squares and of products about the means over the pairs that are not joint zeros,
// all sums in Acc.
template <class T, class Acc>
void MomentsAdj(int n, T** A, T** B, Acc* ssa, Acc* ssb, Acc* sp) {
    *ssa = *ssb = *sp = Acc(0);
    if (n < 2) return;
    Acc sa = 0, sb = 0;
    int k = 0;
    ForUpper(n, A, B, [&](T a, T b) {
        if (JointZero(a, b)) return;
        sa += Acc(a);
        sb += Acc(b);
        k++;
    });
    if (k == 0) return;
    Acc ma = sa / Acc(k), mb = sb / Acc(k);
    ForUpper(n, A, B, [&](T a, T b) {
        if (JointZero(a, b)) return;
        Acc da = Acc(a) - ma, db = Acc(b) - mb;
        *ssa += da * da;
        *ssb += db * db;
        *sp += da * db;
    });
}

template <class T>
T CorrAdjT(int n, T** A, T** B) {
    T ssa, ssb, sp;
    MomentsAdj<T, T>(n, A, B, &ssa, &ssb, &sp);
    if (ssa == T(0) || ssb == T(0)) return T(0);
    return sp / std::sqrt(ssa * ssb);
}

template <class T>
T RankCorrT(int n, T** A, T** B) {
    // N^3 - N is 0 for one cell (n = 2) and there is no cell below.
    if (n <= 2) return T(0);
    int N = n * (n - 1) / 2;
    Scratch<float> v(2, N);
    UpperCellsAsFloat(n, A, B, static_cast<float**>(v));
    RankRowsAdj(2, N, static_cast<float**>(v), static_cast<float**>(v));
    double d = 0;
    for (int k = 0; k < N; k++) {
        double x = double(v[0][k]) - v[1][k];
        d += x * x;
    }
    float nf = float(N);
    float den = nf * nf * nf - nf;
    float six = 6.0f * float(d);
    return T(1.0f - six / den);
}

template <class T>
T CosT(int n, T** A, T** B) {
    if (n < 2) return T(0);
    T ab = 0, aa = 0, bb = 0;
    ForUpper(n, A, B, [&](T a, T b) {
        ab += a * b;
        aa += a * a;
        bb += b * b;
    });
    if (aa == T(0) || bb == T(0)) return T(0);
    return ab / std::sqrt(aa * bb);
}

template <class T>
T PartialT(int n, T** A, T** B, T** C, T tol) {
    if (n < 2) return T(0);
    T sa = 0, sb = 0, sc = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            sa += A[i][j];
            sb += B[i][j];
            sc += C[i][j];
        }
    T N = T(n * (n - 1) / 2);
    T ma = sa / N, mb = sb / N, mc = sc / N;
    T ssa = 0, ssb = 0, ssc = 0, spab = 0, spac = 0, spbc = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            T a = A[i][j] - ma, b = B[i][j] - mb, c = C[i][j] - mc;
            ssa += a * a;
            ssb += b * b;
            ssc += c * c;
            spab += a * b;
            spac += a * c;
            spbc += b * c;
        }
    T rab = (ssa == T(0) || ssb == T(0)) ? T(0) : spab / std::sqrt(ssa * ssb);
    T rac = (ssa == T(0) || ssc == T(0)) ? T(0) : spac / std::sqrt(ssc * ssa);
    T rbc = (ssb == T(0) || ssc == T(0)) ? T(0) : spbc / std::sqrt(ssb * ssc);
    // A covariate that explains A or B entirely leaves nothing to correlate.
    if (std::fabs(std::fabs(rac) - T(1)) < tol || std::fabs(std::fabs(rbc) - T(1)) < tol) return T(0);
    return (rab - rac * rbc) / (std::sqrt(T(1) - rbc * rbc) * std::sqrt(T(1) - rac * rac));
}

template <class T>
double VecProdT(int n, T** A, T** B) {
    double s = 0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) s += double(A[i][j] * B[i][j]);
    return s;
}

// 1 - sum f(a - b) / (2n) over the n x p cells; f formed in T, summed in double.
template <class T, class F>
double DeviationsT(int n, int p, T** A, T** B, F f) {
    if (n < 1) return 1.0;
    double s = 0;
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) s += double(f(T(A[i][k] - B[i][k])));
    return 1.0 - s / (2.0 * n);
}

}  // namespace

// ---------------------------------------------------------------- configurations

// One-off calls: a work space of their own, only the part the coefficient needs.
template <class T>
double RVOnce(int n, int p1, int p2, T** X, T** Y, bool* flat = nullptr) {
    typename ComparisonWorkspace<T>::Buffers w(n, MaxOf(p1, p2), true, false);
    return RVT(n, p1, p2, X, Y, w, flat);
}
template <class T>
T ProcrustesOnce(int n, int p1, int p2, T** X, T** Y, T** Z, bool* flat = nullptr) {
    typename ComparisonWorkspace<T>::Buffers w(n, MaxOf(p1, p2), false, true);
    if (Z) return ProcrustesKernel(n, p1, p2, X, Y, Z, w, flat);
    return ProcrustesT(n, p1, p2, X, Y, w, flat);
}
template <class T>
double RVOn(int n, int p1, int p2, T** X, T** Y, ComparisonWorkspace<T>& ws, bool* flat) {
    return ws.ServesRV() && ws.Fits(n, p1, p2) ? RVT(n, p1, p2, X, Y, *ws.buffers(), flat)
                                               : RVOnce(n, p1, p2, X, Y, flat);
}
template <class T>
T ProcrustesOn(int n, int p1, int p2, T** X, T** Y, ComparisonWorkspace<T>& ws, bool* flat) {
    return ws.ServesProcrustes() && ws.Fits(n, p1, p2) ? ProcrustesT(n, p1, p2, X, Y, *ws.buffers(), flat)
                                                       : ProcrustesOnce(n, p1, p2, X, Y, static_cast<T**>(nullptr), flat);
}

ColumnSpread SpreadOfColumn(int n, float** X, int k) { return SpreadOfColumnT(n, X, k); }
ColumnSpread SpreadOfColumn(int n, double** X, int k) { return SpreadOfColumnT(n, X, k); }
bool ColumnHasVariation(int n, float** X, int k) { return ColumnHasVariationT(n, X, k); }
bool ColumnHasVariation(int n, double** X, int k) { return ColumnHasVariationT(n, X, k); }
double CentredSumOfSquares(int n, int p, double** X) {
    double sum = 0.0;
    for (int k = 0; k < p; k++) sum += SpreadOfColumnT(n, X, k).centred;
    return sum;
}
bool ResidualsKeepVariation(int n, int p, double** R, double** Y) {
    for (int k = 0; k < p; k++) {
        const Spread before = ColumnSpreadT(n, Y, k);
        // Both in the units of Y's column, where neither sum leaves double.
        if (before.Varies(kDoubleRounding) &&
            HasVariation(ColumnSpreadT(n, R, k).CentredIn(before.unit), before.ScaledCentred()))
            return true;
    }
    return false;
}
bool ConfigurationHasVariation(int n, int p, float** X) { return HasVariationT(n, p, X); }
bool ConfigurationHasVariation(int n, int p, double** X) { return HasVariationT(n, p, X); }

double RVcoeff(int n, int p1, int p2, float** X, float** Y) { return RVOnce(n, p1, p2, X, Y); }
double RVcoeff(int n, int p1, int p2, double** X, double** Y) { return RVOnce(n, p1, p2, X, Y); }
double RVcoeff(int n, int p1, int p2, float** X, float** Y, ComparisonWorkspace<float>& ws, bool* flat) {
    return RVOn(n, p1, p2, X, Y, ws, flat);
}
double RVcoeff(int n, int p1, int p2, double** X, double** Y, ComparisonWorkspace<double>& ws, bool* flat) {
    return RVOn(n, p1, p2, X, Y, ws, flat);
}
double RVcoeff_OLD(int n, int p1, int p2, float** X, float** Y) { return RVOldT(n, p1, p2, X, Y, false); }
double RVcoeff_OLD(int n, int p1, int p2, double** X, double** Y) { return RVOldT(n, p1, p2, X, Y, true); }

float ProcrustesCoeff(int n, int p1, int p2, float** X, float** Y) {
    return ProcrustesOnce(n, p1, p2, X, Y, static_cast<float**>(nullptr));
}
double ProcrustesCoeff(int n, int p1, int p2, double** X, double** Y) {
    return ProcrustesOnce(n, p1, p2, X, Y, static_cast<double**>(nullptr));
}
float ProcrustesCoeff(int n, int p1, int p2, float** X, float** Y, ComparisonWorkspace<float>& ws, bool* flat) {
    return ProcrustesOn(n, p1, p2, X, Y, ws, flat);
}
double ProcrustesCoeff(int n, int p1, int p2, double** X, double** Y, ComparisonWorkspace<double>& ws, bool* flat) {
    return ProcrustesOn(n, p1, p2, X, Y, ws, flat);
}
float ProcrustesCoeff(int n, int p1, int p2, float** X, float** Y, float** Z) {
    return ProcrustesOnce(n, p1, p2, X, Y, Z);
}
double ProcrustesCoeff(int n, int p1, int p2, double** X, double** Y, double** Z) {
    return ProcrustesOnce(n, p1, p2, X, Y, Z);
}
double ProcrustesCoeff_T(int p1, int p2, int n, double** X, double** Y, double** Z) {
    Scratch<double> Xn(n, p1), Yn(n, p2);
    TransposeMatrix(p1, n, X, static_cast<double**>(Xn));
    TransposeMatrix(p2, n, Y, static_cast<double**>(Yn));
    return ProcrustesOnce(n, p1, p2, static_cast<double**>(Xn), static_cast<double**>(Yn), Z);
}

float ProcrustesCoeff(int n, int p, float** X, float** Y) {
    // The residual and total traces of the fit are formed, but no coefficient is derived from
    // them: this form reports 0.
    Scratch<float> F(n, p), D(n, p);
    ProcrustesFit(n, p, p, X, Y, static_cast<float**>(F), static_cast<float*>(nullptr));
    MatrixSum(n, p, n, p, X, static_cast<float**>(F), static_cast<float**>(D), -1);
    return 0.0f;
}

double ProcrustesCoeff_OLD(int n, int p, double** X, double** Y) {
    Scratch<double> F(n, p), D(n, p);
    ProcrustesFit(n, p, p, X, Y, static_cast<double**>(F), static_cast<double*>(nullptr));
    MatrixSum(n, p, n, p, X, static_cast<double**>(F), static_cast<double**>(D), -1);
    double res = 0, tot = 0;
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) {
            res += D[i][k] * D[i][k];
            tot += X[i][k] * X[i][k];
        }
    if (!(tot > 0.0)) return 0.0;
    double u = 1.0 - res / tot;
    if (u < 0.0) u = 0.0;  // a residual above the total: no agreement left
    double c = 2.0 * (1.0 - std::sqrt(u));
    return std::isfinite(c) ? c : 0.0;
}

int ProcrustesAdj(int n, int p1, int p2, float** X, float** Y, float** Yfit, float* ss) {
    ProcrustesFit(n, p1, p2, X, Y, Yfit, ss);
    return 0;
}
int ProcrustesAdj(int n, int p1, int p2, double** X, double** Y, double** Yfit, double* ss) {
    ProcrustesFit(n, p1, p2, X, Y, Yfit, ss);
    return 0;
}
int ProcrustesAdj(int n, int p1, int p2, float** X, float** Y, float* ss) {
    Scratch<float> F(n, p2);
    ProcrustesFit(n, p1, p2, X, Y, static_cast<float**>(F), ss);
    return 0;
}
int ProcrustesAdjT(int p1, int p2, int n, float** X, float** Y, float** Yfit, float* ss) {
    ProcrustesFitT(p1, p2, n, X, Y, Yfit, ss);
    return 0;
}
int ProcrustesAdjT(int p1, int p2, int n, double** X, double** Y, double** Yfit, double* ss) {
    ProcrustesFitT(p1, p2, n, X, Y, Yfit, ss);
    return 0;
}

// ---------------------------------------------------------------- resemblance matrices

double MatrixCorr(int n, double** A, double** B) { return MatrixCorrT<double, double, double>(n, A, B); }
double MatrixCorr(int n, double** A, double** B, bool* flat) {
    return MatrixCorrT<double, double, double>(n, A, B, flat);
}
float MatrixCorr(int n, float** A, float** B) { return MatrixCorrT<float, float, float>(n, A, B); }
double MatrixCorr(int n, float** A, double** B) { return MatrixCorrT<float, double, double>(n, A, B); }

float MatrixStress(int n, float** A, float** B) {
    double r = MatrixCorr(n, A, B);
    return float(1.0 - r * r);
}
double MatrixStress(int n, double** A, double** B) {
    double r = MatrixCorr(n, A, B);
    return 1.0 - r * r;
}

float MatrixStressKruskal(int n, float** A, float** B) { return StressKruskalT(n, A, B); }
double MatrixStressKruskal(int n, double** A, double** B) { return StressKruskalT(n, A, B); }
float MatrixAbsValDist(int n, float** A, float** B) { return AbsValDistT(n, A, B); }
double MatrixAbsValDist(int n, double** A, double** B) { return AbsValDistT(n, A, B); }
float MatrixEudDist(int n, float** A, float** B) { return EudDistT(n, A, B); }
double MatrixEudDist(int n, double** A, double** B) { return EudDistT(n, A, B); }
float MatrixDist(int n, float** A, float** B) { return DistT<float, float>(n, A, B); }
double MatrixDist(int n, double** A, double** B) { return DistT<double, double>(n, A, B); }
float MatrixCov(int n, float** A, float** B) { return CovT(n, A, B); }
double MatrixCov(int n, double** A, double** B) { return CovT(n, A, B); }
float MatrixCorrAdj(int n, float** A, float** B) { return CorrAdjT(n, A, B); }
double MatrixCorrAdj(int n, double** A, double** B) { return CorrAdjT(n, A, B); }

float MatrixProdMomentAdj(int n, float* ssA, float* ssB, float** A, float** B) {
    float sp;
    MomentsAdj<float, float>(n, A, B, ssA, ssB, &sp);
    return sp;
}
double MatrixProdMomentAdj(int n, double* ssA, double* ssB, double** A, double** B) {
    // Running sums kept in single precision in this form too.
    float a, b, sp;
    MomentsAdj<double, float>(n, A, B, &a, &b, &sp);
    *ssA = a;
    *ssB = b;
    return sp;
}

float MatrixRankCorr(int n, float** A, float** B) { return RankCorrT(n, A, B); }
double MatrixRankCorr(int n, double** A, double** B) { return RankCorrT(n, A, B); }
float MatrixCos(int n, float** A, float** B) { return CosT(n, A, B); }
double MatrixCos(int n, double** A, double** B) { return CosT(n, A, B); }

float PartialMatrixCorr(int n, float** A, float** B, float** C) { return PartialT(n, A, B, C, 1e-6f); }
double PartialMatrixCorr(int n, double** A, double** B, double** C) { return PartialT(n, A, B, C, 1e-9); }

// ---------------------------------------------------------------- whole tables

double vecProd(int n, float** A, float** B) { return VecProdT(n, A, B); }
double vecProd(int n, double** A, double** B) { return VecProdT(n, A, B); }

double SQMatrixDeviations(int n, int p, float** A, float** B) {
    return DeviationsT(n, p, A, B, [](float d) { return d * d; });
}
double SQMatrixDeviations(int n, int p, double** A, double** B) {
    return DeviationsT(n, p, A, B, [](double d) { return d * d; });
}
double SumAbsMatrixDeviations(int n, int p, float** A, float** B) {
    return DeviationsT(n, p, A, B, [](float d) { return std::fabs(d); });
}
double SumAbsMatrixDeviations(int n, int p, double** A, double** B) {
    return DeviationsT(n, p, A, B, [](double d) { return std::fabs(d); });
}
