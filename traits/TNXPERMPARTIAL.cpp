// Partial Procrustes and RV congruence: two configurations compared after removing what one or
// more covariate matrices explain (the counterpart of the partial Mantel correlation).
#include "foundation/TnxBlas.h"
#include "foundation/qwlibDim.h"
#include "matrix/qwLinearModels.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResCompare.h"
#include "traits/TNXPERMInternal.h"
#include "traits/TNXPERMTEST.h"


#include <algorithm>
#include <cmath>
#include <type_traits>

namespace permtest {

// ------------------------------------------------------------------ prepared configurations

Config::Config(int n_, int maxCols_) : n(n_), maxCols(std::max(maxCols_, 1)) {
    const int rows = std::max(n, 1);
    block = dim1Double(rows * maxCols);
    proj = dim1Double(rows * maxCols);
    c = reinterpret_cast<double**>(dim1Dptr(rows));
    for (int i = 0; i < rows; i++) c[i] = block + i * maxCols;
    work = dim1Double(maxCols);
    squares = dim1Double(maxCols);
    columns = static_cast<Spread*>(dim1D(sizeof(Spread), maxCols));
    columnVaries = static_cast<bool*>(dim1D(sizeof(bool), maxCols));
    gram = dim1Double(maxCols * maxCols);
    if (maxCols > n && n > 0) {
        qr_ = dim1Double(maxCols * n);
        tau_ = dim1Double(n);
        qrLwork_ = QrWorkSize(maxCols, n);
        qrWork_ = dim1Double(qrLwork_);
        tri_ = dim1Double(n * n);
    }
}

Config::~Config() {
    free1D(c);
    free1D(block);
    free1D(proj);
    free1D(work);
    free1D(squares);
    free1D(columns);
    free1D(columnVaries);
    free1D(gram);
    free1D(qr_);
    free1D(tau_);
    free1D(qrWork_);
    free1D(tri_);
}

namespace {

template <class M>
void SetFrom(Config& cf, int cols, M** x) {
    cf.cols = cols;
    cf.missing = false;
    for (int i = 0; i < cf.n && !cf.missing; i++)
        for (int j = 0; j < cols; j++)
            if (IsMissing(x[i][j])) {
                cf.missing = true;
                break;
            }
    if (cf.missing) {
        cf.variance = ConfigurationHasVariation(cf.n, cols, x);
        return;
    }
    for (int i = 0; i < cf.n; i++)
        for (int j = 0; j < cols; j++) cf.c[i][j] = static_cast<double>(x[i][j]);
    // Single-precision cells are taken as they are; double ones as computed (ColumnHasVariation).
    cf.FinishTable(std::is_same<M, float>::value ? 0.0 : kDoubleRounding);
}

}  // namespace

void Config::Set(int cols_, double** x) {
    source = x;
    sourceF = nullptr;
    SetFrom(*this, cols_, x);
}

void Config::Set(int cols_, float** x) {
    source = nullptr;
    sourceF = x;
    SetFrom(*this, cols_, x);
}

void Config::Centre() {
    missing = false;
    for (int j = 0; j < cols; j++) work[j] = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) work[j] += c[i][j];
    for (int j = 0; j < cols; j++) work[j] /= n;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) c[i][j] -= work[j];
    gramDone_ = false;
    triDone_ = triFormed_ = false;
}

void Config::Finish(const Config& before) {
    Centre();
    // The total and each column's sum on locals: a store to a column's sum would otherwise
    // oblige the total, a member, to travel through memory at every cell.
    double total = 0.0;
    double* column = squares;
    for (int j = 0; j < cols; j++) column[j] = 0.0;
    for (int i = 0; i < n; i++) {
        const double* row = c[i];
        for (int j = 0; j < cols; j++) {
            const double square = row[j] * row[j];
            total += square;
            column[j] += square;
        }
    }
    ss = total;
    // A column without variation of its own has none to keep.
    variance = false;
    for (int j = 0; j < cols && !variance; j++)
        variance = before.columnVaries[j] && HasVariation(squares[j], before.columns[j].Centred());
}

void Config::FinishTable(double rounding) {
    // Each column's spread from the values before the centring (walked down its rows, its sums in
    // registers), then its sum of squares about its mean.
    double magnitude = 0.0;
    for (int j = 0; j < cols; j++) {
        columns[j] = SpreadOf(n, [&](int i) { return c[i][j]; }, [](int) { return true; });
        magnitude = std::max(magnitude, columns[j].magnitude);
        squares[j] = 0.0;
    }
    // Cells whose squares would leave double (the Rao entropies of a phylogeny near 2^-600) are
    // multiplied by the power of two ValueScale gives, which no comparison sees, and their spreads
    // taken again; at the scales of any survey it is 1 and the cells are taken as they are.
    const double scale = ValueScale(magnitude);
    if (scale != 1.0) {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < cols; j++) c[i][j] *= scale;
        for (int j = 0; j < cols; j++)
            columns[j] = SpreadOf(n, [&](int i) { return c[i][j]; }, [](int) { return true; });
    }
    Centre();
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) squares[j] += c[i][j] * c[i][j];
    ss = 0.0;
    variance = false;
    for (int j = 0; j < cols; j++) {
        ss += squares[j];
        columnVaries[j] = columns[j].Varies(rounding);
        variance = variance || columnVaries[j];
    }
}

double Config::Gram2() const {
    if (gramDone_) return gram2_;
    // The smaller of c'c and cc' (the same non-zero eigenvalues, so the same squared norm).
    const int m = std::min(cols, n);
    if (cols <= n)
        MatMulAt(cols, cols, n, block, maxCols, block, maxCols, gram, cols);
    else
        MatMulBt(n, n, cols, block, maxCols, block, maxCols, gram, n);
    double sum = 0.0;
    for (int e = 0; e < m * m; e++) sum += gram[e] * gram[e];
    gram2_ = sum;
    gramDone_ = true;
    return sum;
}

const double* Config::Triangle() const {
    if (!tri_ || cols <= n) return nullptr;
    if (triDone_) return triFormed_ ? tri_ : nullptr;
    triDone_ = true;
    // c (n x cols, row-major) is c' column-major with leading dimension cols.
    for (int i = 0; i < n; i++) std::copy(c[i], c[i] + cols, qr_ + i * cols);
    triFormed_ = QrDecomposition(cols, n, qr_, tau_, qrWork_, qrLwork_);
    if (!triFormed_) return nullptr;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) tri_[i * n + j] = j >= i ? qr_[i + j * cols] : 0.0;
    return tri_;
}

CongruenceWork::CongruenceWork(int n_, int maxCols_, int library)
    : n(n_), maxCols(std::max(maxCols_, 1)), svd(maxCols, maxCols) {
    cross = dim1Double(maxCols * maxCols);
    try {
        square = dim1Double(maxCols * maxCols);
        if (library != 0) Library(library);
    } catch (...) {
        free1D(cross);
        free1D(square);
        throw;
    }
}

CongruenceWork::~CongruenceWork() {
    free1D(cross);
    free1D(square);
}

ComparisonWorkspace<double>& CongruenceWork::Library(int method) {
    if (!library_) library_ = std::make_unique<ComparisonWorkspace<double>>(n, maxCols, maxCols, ServedBy(method));
    return *library_;
}

ComparisonWorkspace<float>& CongruenceWork::LibraryF(int method) {
    if (!libraryF_) libraryF_ = std::make_unique<ComparisonWorkspace<float>>(n, maxCols, maxCols, ServedBy(method));
    return *libraryF_;
}

// Sum of the singular values of the n x n matrix whose columns are col[0..n-1], col[j * n + i]
// row i of column j: one-sided (Hestenes) Jacobi rotates pairs of columns until every pair is
// orthogonal to rounding; the singular values are then the column lengths. Works in place. The
// slow, plainly correct form that the LAPACK decomposition of Compare is checked against.
double NuclearNorm(int n, double* col) {
    auto dot = [n](const double* a, const double* b) {
        double d = 0.0;
        for (int i = 0; i < n; i++) d += a[i] * b[i];
        return d;
    };
    for (int sweep = 0; sweep < 60; sweep++) {
        bool rotated = false;
        for (int j = 0; j < n; j++)
            for (int k = j + 1; k < n; k++) {
                double* x = col + j * n;
                double* y = col + k * n;
                const double a = dot(x, x), b = dot(y, y), c = dot(x, y);
                if (!(std::fabs(c) > 1e-15 * std::sqrt(a * b))) continue;
                rotated = true;
                // The rotation that zeroes the product of the pair: t = tan of its angle, the
                // smaller root of t^2 + 2 zeta t - 1 = 0.
                const double zeta = (b - a) / (2.0 * c);
                const double t = (zeta >= 0.0 ? 1.0 : -1.0) / (std::fabs(zeta) + std::sqrt(1.0 + zeta * zeta));
                const double cs = 1.0 / std::sqrt(1.0 + t * t), sn = cs * t;
                for (int i = 0; i < n; i++) {
                    const double xi = x[i], yi = y[i];
                    x[i] = cs * xi - sn * yi;
                    y[i] = sn * xi + cs * yi;
                }
            }
        if (!rotated) break;
    }
    double sum = 0.0;
    for (int j = 0; j < n; j++) sum += std::sqrt(dot(col + j * n, col + j * n));
    return sum;
}

namespace {

// The sum of the singular values of the column-major M x N matrix sq (M >= N), overwritten;
// centred configurations of n objects have rank at most n - 1, and the values beyond are
// rounding, left out. 0 when the decomposition fails.
double SumOfSingularValues(int n, int M, int N, double* sq, CongruenceWork& w) {
    if (!SingularValues(M, N, sq, w.svd)) return 0.0;
    const int rank = std::min(N, n - 1);
    double coef = 0.0;
    for (int k = 0; k < rank; k++) coef += w.svd.s[k];
    return std::isfinite(coef) ? coef : 0.0;
}

}  // namespace

double Compare(const Config& A, const Config& B, int method, CongruenceWork& w) {
    if (method != 2 && method != 3) return 0.0;
    const int pa = A.cols, pb = B.cols, n = A.n;
    if (A.missing || B.missing || pa > w.maxCols || pb > w.maxCols) {
        if (A.sourceF && B.sourceF) return Congruence(n, pa, pb, A.sourceF, B.sourceF, method, w.LibraryF(method));
        if (A.source && B.source) return Congruence(n, pa, pb, A.source, B.source, method, w.Library(method));
        return 0.0;
    }
    if (pa < 1 || pb < 1) return 0.0;
    // A configuration without variation carries no shape to compare.
    if (Flat(A, B)) return 0.0;
    const double scale = method == 2 ? 1.0 / std::sqrt(A.ss * B.ss) : 0.0;
    // Procrustes of two tables much wider than the objects: A'B = QA RA RB' QB', so its
    // singular values are those of the n x n product RA RB' of the two triangles, decomposed in
    // place of the larger A'B (worth the two decompositions from half as many columns again).
    if (method == 2 && 2 * std::min(pa, pb) > 3 * n && n <= w.maxCols) {
        const double* ra = A.Triangle();
        const double* rb = B.Triangle();
        if (ra && rb) {
            double* sq = w.square;
            MatMulBt(n, n, n, ra, n, rb, n, sq, n, scale);
            for (int e = 0; e < n * n; e++)
                if (!std::isfinite(sq[e])) return 0.0;
            return SumOfSingularValues(n, n, n, sq, w);
        }
    }
    // A'B (pa x pb, row-major).
    double* x = w.cross;
    MatMulAt(pa, pb, n, A.block, A.maxCols, B.block, B.maxCols, x, pb);
    if (method == 3) {
        const double den = std::sqrt(A.Gram2() * B.Gram2());
        if (!(den > 0.0)) return 0.0;
        double sp = 0.0;
        for (int e = 0; e < pa * pb; e++) sp += x[e] * x[e];
        return sp / den;
    }
    // The singular values of A'B scaled, in the orientation with rows >= columns so that LAPACK
    // works on the smaller order: the row-major A'B is the column-major (A'B)' as it stands.
    const bool tall = pa >= pb;
    const int M = tall ? pa : pb, N = tall ? pb : pa;
    double* sq = w.square;
    for (int a = 0; a < pa; a++)
        for (int b = 0; b < pb; b++) {
            const double val = x[a * pb + b] * scale;
            if (!std::isfinite(val)) return 0.0;
            sq[tall ? a + b * pa : a * pb + b] = val;
        }
    return SumOfSingularValues(n, M, N, sq, w);
}

// ------------------------------------------------------------------ covariate components

Components::Components(int n_, int maxCols_)
    : n(n_), maxCols(std::max(maxCols_, 1)), V(dim1Double(maxCols * std::max(n, 1))),
      Q(dim1Double(maxCols * std::max(n, 1))), C(dim1Double(maxCols * maxCols)), E(dim1Double(maxCols * maxCols)),
      eigen(maxCols) {}

Components::~Components() {
    free1D(V);
    free1D(Q);
    free1D(C);
    free1D(E);
}

bool Components::Compute(const MatrixCovariate* cov, int nCov, double overfitFactor) {
    m = kept = 0;
    for (int c = 0; c < nCov; c++)
        for (int j = 0; j < cov[c].columns; j++) {
            if (cov[c].select && cov[c].select[j] != 1) continue;
            if (m >= maxCols) return false;
            for (int i = 0; i < n; i++) V[m * n + i] = cov[c].matrix[i][j];
            m++;
        }
    if (m == 0) return false;
    // Each column centred and scaled to unit length: V V' is then their correlation matrix. A
    // column without variation (its centred values rounding noise of its values, Spread) is set
    // to 0, as a constant one is: scaled, its noise would become a component.
    for (int r = 0; r < m; r++) {
        double* vr = V + r * n;
        double sum = 0.0, magnitude = 0.0;
        for (int i = 0; i < n; i++) {
            sum += vr[i];
            magnitude = std::max(magnitude, std::fabs(vr[i]));
        }
        const double mean = sum / n;
        double ss = 0.0;
        Spread spread(vr[0], magnitude, n);
        for (int i = 0; i < n; i++) {
            spread.Add(vr[i]);
            vr[i] -= mean;
            ss += vr[i] * vr[i];
        }
        if (!spread.Varies(kDoubleRounding)) {
            std::fill(vr, vr + n, 0.0);
            continue;
        }
        const double len = std::sqrt(ss);
        for (int i = 0; i < n; i++) vr[i] /= len;
    }
    // More columns than objects: the n x n product V'V has the same non-zero eigenvalues as
    // V V' (the others are 0), and its eigenvectors are the scores V'e scaled to unit length;
    // the smaller order is decomposed.
    const bool wide = m > n;
    const int order = wide ? n : m;
    if (wide)
        MatMulAt(n, n, m, V, n, V, n, C, n);
    else
        MatMulBt(m, m, n, V, n, V, n, C, m);
    for (int e = 0; e < order * order; e++)
        if (!std::isfinite(C[e])) return true;  // no component: the residuals are the centred configurations
    if (!SymmetricEigen(order, C, eigen)) return true;
    // Largest first: the k-th axis is LAPACK's (order - 1 - k)-th; beyond the order, 0.
    auto value = [&](int k) { return k < order ? eigen.values[order - 1 - k] : 0.0; };
    // The axes whose eigenvalue is above 1e-6 % of the positive total, at most (n - 2) / f.
    double positive = 0.0;
    for (int k = 0; k < m; k++) {
        const double e = value(k);
        if (!std::isfinite(e)) return true;
        if (e > 0) positive += e;
    }
    int axes = 0;
    if (positive > 0.0)
        for (int k = 0; k < m; k++)
            if (100.0 * value(k) / positive > 1e-6) axes++;
    const double limit = double(n - 2) / overfitFactor;
    // (A limit that is not a number, 0 / 0, allows none.)
    const int used = double(axes) <= limit ? axes : (limit >= 0.0 ? int(limit) : 0);
    if (used < 1) return true;
    // The scores of the used axes: the eigenvectors themselves when wide, else V'e at once,
    // the rows of E being the eigenvectors.
    if (wide) {
        for (int k = 0; k < used; k++) std::copy(C + (n - 1 - k) * n, C + (n - k) * n, Q + k * n);
    } else {
        for (int k = 0; k < used; k++) std::copy(C + (m - 1 - k) * m, C + (m - k) * m, E + k * m);
        MatMul(used, n, m, E, m, V, n, Q, n);
    }
    // The scores, centred, made orthonormal one after the other; a score that the ones before
    // explain (what is left of it has no variation against its own sum of squares) is dropped,
    // as the regression does.
    for (int k = 0; k < used; k++) {
        double* q = Q + kept * n;
        if (kept != k) std::copy(Q + k * n, Q + (k + 1) * n, q);
        double sum = 0.0;
        for (int i = 0; i < n; i++) sum += q[i];
        const double mean = sum / n;
        double own = 0.0;
        for (int i = 0; i < n; i++) {
            q[i] -= mean;
            own += q[i] * q[i];
        }
        for (int j = 0; j < kept; j++) {
            const double* qj = Q + j * n;
            double d = 0.0;
            for (int i = 0; i < n; i++) d += qj[i] * q[i];
            for (int i = 0; i < n; i++) q[i] -= d * qj[i];
        }
        double rem = 0.0;
        for (int i = 0; i < n; i++) rem += q[i] * q[i];
        if (!HasVariation(rem, own)) continue;
        const double len = std::sqrt(rem);
        for (int i = 0; i < n; i++) q[i] /= len;
        kept++;
    }
    return true;
}

void Components::Residuals(const Config& in, Config& out) const {
    const int cols = in.cols;
    out.cols = cols;
    out.source = nullptr;
    for (int i = 0; i < n; i++) std::copy(in.c[i], in.c[i] + cols, out.c[i]);
    if (kept > 0 && cols > 0) {
        // out = in - Q' (Q in): the parts along the orthonormal scores removed at once.
        MatMul(kept, cols, n, Q, n, in.block, in.maxCols, out.proj, cols);
        MatMulAt(n, cols, kept, Q, n, out.proj, cols, out.block, out.maxCols, -1.0, 1.0);
    }
    out.Finish(in);
}

PartialWork::PartialWork(int n_, int cols, int pA, int pB, int method)
    : n(n_), maxCols(std::max(cols, 1)), maxA(std::max(pA, 1)), maxB(std::max(pB, 1)),
      pca(n_, std::max(maxA, maxB), maxCols), compare(n_, maxA, maxB, ServedBy(method)) {
    // A matrix the memory refuses frees those made before it.
    try {
        C = dim2Double(n, maxCols);
        RA = dim2Double(n, maxA);
        RB = dim2Double(n, maxB);
    } catch (...) {
        free2D(C, n);
        free2D(RA, n);
        throw;
    }
}

PartialWork::~PartialWork() {
    free2D(C, n);
    free2D(RA, n);
    free2D(RB, n);
}

namespace {

template <class T>
double CongruenceT(int n, int pA, int pB, T** A, T** B, int method, ComparisonWorkspace<T>& ws) {
    if (method == 2) return ProcrustesCoeff(n, pA, pB, A, B, ws);
    if (method == 3) return RVcoeff(n, pA, pB, A, B, ws);
    return 0.0;
}

}  // namespace

double Congruence(int n, int pA, int pB, double** A, double** B, int method, ComparisonWorkspace<double>& ws) {
    return CongruenceT(n, pA, pB, A, B, method, ws);
}

double Congruence(int n, int pA, int pB, float** A, float** B, int method, ComparisonWorkspace<float>& ws) {
    return CongruenceT(n, pA, pB, A, B, method, ws);
}

double PartialCongruence(PartialWork& w, int n, int pA, int pB, double** A, double** B, int method,
                         double overfitFactor, const MatrixCovariate* cov, int nCov, bool* flat) {
    if (flat) *flat = false;
    if (method != 2 && method != 3) return 0.0;
    int m = 0;
    for (int c = 0; c < nCov; c++) {
        for (int j = 0; j < cov[c].columns; j++) {
            if (cov[c].select && cov[c].select[j] != 1) continue;
            if (m >= w.maxCols) return 0.0;  // a wider call than the buffers were made for
            for (int i = 0; i < n; i++) w.C[i][m] = cov[c].matrix[i][j];
            m++;
        }
    }
    // No covariate column: there is nothing to partial out and no defined congruence.
    if (m == 0) return 0.0;
    // Option 2: the covariate columns centred and normalised, so that the components are those
    // of their correlation matrix.
    const bool variesA = PCA_Regression_ResidualsSelect(n, pA, m, A, w.C, w.RA, nullptr, 2, overfitFactor, w.pca) == 1;
    const bool variesB = PCA_Regression_ResidualsSelect(n, pB, m, B, w.C, w.RB, nullptr, 2, overfitFactor, w.pca) == 1;
    // A residual that keeps no variation of its table (the covariates explain it) is the
    // comparison of a table without variation.
    if (!variesA || !variesB) {
        if (flat) *flat = true;
        return 0.0;
    }
    return Congruence(n, pA, pB, w.RA, w.RB, method, w.compare);
}

}  // namespace permtest

// The buffers of one partial congruence: A and B prepared and their residuals, the covariates'
// components, the comparison's blocks and, for tables with -999, the regression's.
struct PartialCorrelationWork::Buffers {
    Buffers(int n_, int columns, int covariateColumns)
        : n(n_), cols(columns), covCols(covariateColumns), a(n_, columns), b(n_, columns), ra(n_, columns),
          rb(n_, columns), comp(n_, covariateColumns), w(n_, columns) {}
    int n, cols, covCols;
    permtest::Config a, b, ra, rb;
    permtest::Components comp;
    permtest::CongruenceWork w;
    // The regression that skips -999, made when a table first holds some.
    std::unique_ptr<permtest::PartialWork> partial;
    permtest::PartialWork& Partial(int method) {
        if (!partial) partial = std::make_unique<permtest::PartialWork>(n, covCols, cols, cols, method);
        return *partial;
    }
};

PartialCorrelationWork::PartialCorrelationWork(int n, int columns, int covariateColumns)
    : b_(new Buffers(n, columns, covariateColumns)) {}

PartialCorrelationWork::~PartialCorrelationWork() { delete b_; }

bool PartialCorrelationWork::Fits(int n, int pA, int pB, int cols) const {
    // The prepared tables and the components run over all the rows they were made for.
    return n == b_->n && pA <= b_->cols && pB <= b_->cols && cols <= b_->covCols;
}

namespace {

// Covariate columns in all (the selected and the others).
int CovariateColumns(const std::vector<MatrixCovariate>& covariates) {
    int cols = 0;
    for (const MatrixCovariate& c : covariates) cols += std::max(c.columns, 0);
    return cols;
}

// *flat: A or B has no variation of its own, or none is left after the covariates.
double PartialOn(PartialCorrelationWork::Buffers& w, int n, int pA, int pB, double** A, double** B, int method,
                 double overfitFactor, const std::vector<MatrixCovariate>& covariates, bool* flat) {
    const int nCov = static_cast<int>(covariates.size());
    w.a.Set(pA, A);
    w.b.Set(pB, B);
    *flat = permtest::Flat(w.a, w.b);
    // Residuals with missing cells: the regression that skips them.
    if (w.a.missing || w.b.missing) {
        bool residualFlat = false;
        const double r = permtest::PartialCongruence(w.Partial(method), n, pA, pB, A, B, method, overfitFactor,
                                                     covariates.data(), nCov, &residualFlat);
        *flat = *flat || residualFlat;
        return r;
    }
    if (!w.comp.Compute(covariates.data(), nCov, overfitFactor)) return 0.0;
    w.comp.Residuals(w.a, w.ra);
    w.comp.Residuals(w.b, w.rb);
    *flat = permtest::Flat(w.ra, w.rb);
    return permtest::Compare(w.ra, w.rb, method, w.w);
}

}  // namespace

double PartialMatrixCorrelation(int n, int pA, int pB, double** A, double** B, int method,
                                double overfitFactor, const std::vector<MatrixCovariate>& covariates, bool* flat) {
    bool none = false;
    if (!flat) flat = &none;
    *flat = false;
    if (covariates.empty() || n < 1 || (method != 2 && method != 3)) return 0.0;
    PartialCorrelationWork::Buffers w(n, std::max(pA, pB), CovariateColumns(covariates));
    return PartialOn(w, n, pA, pB, A, B, method, overfitFactor, covariates, flat);
}

double PartialMatrixCorrelation(int n, int pA, int pB, double** A, double** B, int method,
                                double overfitFactor, const std::vector<MatrixCovariate>& covariates,
                                PartialCorrelationWork& work, bool* flat) {
    bool none = false;
    if (!flat) flat = &none;
    *flat = false;
    if (covariates.empty() || n < 1 || (method != 2 && method != 3)) return 0.0;
    if (!work.Fits(n, pA, pB, CovariateColumns(covariates)))
        return PartialMatrixCorrelation(n, pA, pB, A, B, method, overfitFactor, covariates, flat);
    return PartialOn(*work.buffers(), n, pA, pB, A, B, method, overfitFactor, covariates, flat);
}
