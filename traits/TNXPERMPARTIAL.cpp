// Partial Procrustes and RV congruence: two configurations compared after removing what one or
// more covariate matrices explain (the counterpart of the partial Mantel correlation).
#include "foundation/qwlibDim.h"
#include "matrix/qwLinearModels.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResCompare.h"
#include "traits/TNXPERMInternal.h"
#include "traits/TNXPERMTEST.h"

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>

namespace permtest {

// ------------------------------------------------------------------ prepared configurations

Config::Config(int n_, int maxCols_) : n(n_), maxCols(std::max(maxCols_, 1)) {
    c = dim2Double(std::max(n, 1), maxCols);
    work = dim1Double(maxCols);
    gram = dim1Double(maxCols * maxCols);
}

Config::~Config() {
    free2D(c, std::max(n, 1));
    free1D(work);
    free1D(gram);
}

void Config::Set(int cols_, double** x) {
    cols = cols_;
    source = x;
    missing = false;
    for (int i = 0; i < n && !missing; i++)
        for (int j = 0; j < cols; j++)
            if (IsMissing(x[i][j])) {
                missing = true;
                break;
            }
    if (missing) return;
    for (int i = 0; i < n; i++) std::copy(x[i], x[i] + cols, c[i]);
    Finish();
}

void Config::Finish() {
    missing = false;
    for (int j = 0; j < cols; j++) work[j] = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) work[j] += c[i][j];
    for (int j = 0; j < cols; j++) work[j] /= n;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) c[i][j] -= work[j];
    variance = false;
    ss = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) {
            variance |= c[i][j] != 0.0;
            ss += c[i][j] * c[i][j];
        }
    gramDone_ = false;
}

double Config::Gram2() const {
    if (gramDone_) return gram2_;
    double sum = 0.0;
    if (cols <= n) {
        // c'c accumulated row by row of c (contiguous), upper triangle.
        for (int e = 0; e < cols * cols; e++) gram[e] = 0.0;
        for (int i = 0; i < n; i++) {
            const double* r = c[i];
            for (int a = 0; a < cols; a++) {
                double* g = gram + a * cols;
                const double ra = r[a];
                for (int b = a; b < cols; b++) g[b] += ra * r[b];
            }
        }
        for (int a = 0; a < cols; a++) {
            const double* g = gram + a * cols;
            sum += g[a] * g[a];
            for (int b = a + 1; b < cols; b++) sum += 2.0 * g[b] * g[b];
        }
    } else {
        // cc': products of rows.
        for (int i = 0; i < n; i++)
            for (int j = i; j < n; j++) {
                const double* a = c[i];
                const double* b = c[j];
                // Four running sums in a fixed order let the products overlap.
                double d0 = 0.0, d1 = 0.0, d2 = 0.0, d3 = 0.0;
                int k = 0;
                for (; k + 3 < cols; k += 4) {
                    d0 += a[k] * b[k];
                    d1 += a[k + 1] * b[k + 1];
                    d2 += a[k + 2] * b[k + 2];
                    d3 += a[k + 3] * b[k + 3];
                }
                for (; k < cols; k++) d0 += a[k] * b[k];
                const double d = (d0 + d1) + (d2 + d3);
                sum += (i == j ? 1.0 : 2.0) * d * d;
            }
    }
    gram2_ = sum;
    gramDone_ = true;
    return sum;
}

struct CongruenceWork::Gsl {
    gsl_matrix* u;
    gsl_matrix* v;
    gsl_vector* s;
    gsl_vector* work;
};

CongruenceWork::CongruenceWork(int n_, int maxCols_) : n(n_), maxCols(std::max(maxCols_, 1)) {
    cross = dim1Double(maxCols * maxCols);
    const size_t m = static_cast<size_t>(maxCols);
    g = new Gsl{gsl_matrix_alloc(m, m), gsl_matrix_alloc(m, m), gsl_vector_alloc(m), gsl_vector_alloc(m)};
}

CongruenceWork::~CongruenceWork() {
    free1D(cross);
    gsl_matrix_free(g->u);
    gsl_matrix_free(g->v);
    gsl_vector_free(g->s);
    gsl_vector_free(g->work);
    delete g;
}

double Compare(const Config& A, const Config& B, int method, CongruenceWork& w) {
    if (method != 2 && method != 3) return 0.0;
    if (A.missing || B.missing) return Congruence(A.n, A.cols, B.cols, A.source, B.source, method);
    const int pa = A.cols, pb = B.cols, n = A.n;
    if (pa > w.maxCols || pb > w.maxCols) return Congruence(n, pa, pb, A.source, B.source, method);
    if (pa < 1 || pb < 1) return 0.0;
    // A'B, row by row of A so that the inner loop runs along rows of B.
    double* x = w.cross;
    for (int e = 0; e < pa * pb; e++) x[e] = 0.0;
    for (int i = 0; i < n; i++) {
        const double* ra = A.c[i];
        const double* rb = B.c[i];
        for (int a = 0; a < pa; a++) {
            double* row = x + a * pb;
            const double va = ra[a];
            for (int b = 0; b < pb; b++) row[b] += va * rb[b];
        }
    }
    if (method == 3) {
        const double den = std::sqrt(A.Gram2() * B.Gram2());
        if (den == 0.0) return 0.0;
        double sp = 0.0;
        for (int e = 0; e < pa * pb; e++) sp += x[e] * x[e];
        return sp / den;
    }
    // A configuration without variance carries no shape to compare.
    if (!A.variance || !B.variance) return 0.0;
    // The decomposition of the taller orientation of A'B (GSL's needs rows >= columns).
    const bool tall = pa >= pb;
    const size_t M = static_cast<size_t>(tall ? pa : pb), N = static_cast<size_t>(tall ? pb : pa);
    gsl_matrix_view u = gsl_matrix_submatrix(w.g->u, 0, 0, M, N);
    gsl_matrix_view v = gsl_matrix_submatrix(w.g->v, 0, 0, N, N);
    gsl_vector_view sv = gsl_vector_subvector(w.g->s, 0, N);
    gsl_vector_view work = gsl_vector_subvector(w.g->work, 0, N);
    const double scale = 1.0 / std::sqrt(A.ss * B.ss);
    for (int a = 0; a < pa; a++)
        for (int b = 0; b < pb; b++) {
            const double val = x[a * pb + b] * scale;
            if (!std::isfinite(val)) return 0.0;
            if (tall)
                gsl_matrix_set(&u.matrix, a, b, val);
            else
                gsl_matrix_set(&u.matrix, b, a, val);
        }
    if (gsl_linalg_SV_decomp(&u.matrix, &v.matrix, &sv.vector, &work.vector) != 0) return 0.0;
    double coef = 0.0;
    for (size_t k = 0; k < N; k++) coef += gsl_vector_get(&sv.vector, k);
    return std::isfinite(coef) ? coef : 0.0;
}

// ------------------------------------------------------------------ covariate components

struct Components::Gsl {
    gsl_matrix* C;
    gsl_matrix* vec;
    gsl_vector* val;
    gsl_eigen_symmv_workspace** ws;  // one for each order 1..maxCols (GSL's takes one order)
};

Components::Components(int n_, int maxCols_) : n(n_), maxCols(std::max(maxCols_, 1)) {
    V = dim2Double(maxCols, std::max(n, 1));
    Q = dim2Double(maxCols, std::max(n, 1));
    const size_t m = static_cast<size_t>(maxCols);
    g = new Gsl{gsl_matrix_alloc(m, m), gsl_matrix_alloc(m, m), gsl_vector_alloc(m),
                new gsl_eigen_symmv_workspace*[m]};
    for (size_t k = 0; k < m; k++) g->ws[k] = gsl_eigen_symmv_alloc(k + 1);
}

Components::~Components() {
    free2D(V, maxCols);
    free2D(Q, maxCols);
    gsl_matrix_free(g->C);
    gsl_matrix_free(g->vec);
    gsl_vector_free(g->val);
    for (int k = 0; k < maxCols; k++) gsl_eigen_symmv_free(g->ws[k]);
    delete[] g->ws;
    delete g;
}

bool Components::Compute(const MatrixCovariate* cov, int nCov, double overfitFactor) {
    m = kept = 0;
    for (int c = 0; c < nCov; c++)
        for (int j = 0; j < cov[c].columns; j++) {
            if (cov[c].select && cov[c].select[j] != 1) continue;
            if (m >= maxCols) return false;
            for (int i = 0; i < n; i++) V[m][i] = cov[c].matrix[i][j];
            m++;
        }
    if (m == 0) return false;
    // Each column centred and scaled to unit length (a constant one stays 0): V V' is then
    // their correlation matrix.
    for (int r = 0; r < m; r++) {
        double sum = 0.0;
        for (int i = 0; i < n; i++) sum += V[r][i];
        const double mean = sum / n;
        double ss = 0.0;
        for (int i = 0; i < n; i++) {
            V[r][i] -= mean;
            ss += V[r][i] * V[r][i];
        }
        const double len = ss > 0.0 ? std::sqrt(ss) : 1.0;
        for (int i = 0; i < n; i++) V[r][i] /= len;
    }
    gsl_matrix_view C = gsl_matrix_submatrix(g->C, 0, 0, m, m);
    gsl_matrix_view vec = gsl_matrix_submatrix(g->vec, 0, 0, m, m);
    gsl_vector_view val = gsl_vector_subvector(g->val, 0, m);
    for (int a = 0; a < m; a++)
        for (int b = a; b < m; b++) {
            double d = 0.0;
            for (int i = 0; i < n; i++) d += V[a][i] * V[b][i];
            gsl_matrix_set(&C.matrix, a, b, d);
            gsl_matrix_set(&C.matrix, b, a, d);
        }
    if (gsl_eigen_symmv(&C.matrix, &val.vector, &vec.matrix, g->ws[m - 1]) != 0 ||
        gsl_eigen_symmv_sort(&val.vector, &vec.matrix, GSL_EIGEN_SORT_VAL_DESC) != 0)
        return true;  // no component: the residuals are the centred configurations
    // The axes whose eigenvalue is above 1e-6 % of the positive total, at most (n - 2) / f.
    double positive = 0.0;
    for (int k = 0; k < m; k++) {
        const double e = gsl_vector_get(&val.vector, k);
        if (!std::isfinite(e)) return true;
        if (e > 0) positive += e;
    }
    int axes = 0;
    if (positive > 0.0)
        for (int k = 0; k < m; k++)
            if (100.0 * gsl_vector_get(&val.vector, k) / positive > 1e-6) axes++;
    const double limit = double(n - 2) / overfitFactor;
    int used = double(axes) <= limit ? axes : int(limit);
    if (used < 0) used = 0;
    // The scores, centred, made orthonormal one after the other; a score that the ones before
    // explain (within 1e-12 of its own sum of squares) is dropped, as the regression does.
    for (int k = 0; k < used; k++) {
        double* q = Q[kept];
        for (int i = 0; i < n; i++) q[i] = 0.0;
        for (int r = 0; r < m; r++) {
            const double e = gsl_matrix_get(&vec.matrix, r, k);
            for (int i = 0; i < n; i++) q[i] += V[r][i] * e;
        }
        double sum = 0.0;
        for (int i = 0; i < n; i++) sum += q[i];
        const double mean = sum / n;
        double own = 0.0;
        for (int i = 0; i < n; i++) {
            q[i] -= mean;
            own += q[i] * q[i];
        }
        for (int j = 0; j < kept; j++) {
            double d = 0.0;
            for (int i = 0; i < n; i++) d += Q[j][i] * q[i];
            for (int i = 0; i < n; i++) q[i] -= d * Q[j][i];
        }
        double rem = 0.0;
        for (int i = 0; i < n; i++) rem += q[i] * q[i];
        if (!(own > 0.0 && rem > 1e-12 * own)) continue;
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
    for (int k = 0; k < kept; k++) {
        const double* q = Q[k];
        double* d = out.work;
        for (int j = 0; j < cols; j++) d[j] = 0.0;
        for (int i = 0; i < n; i++) {
            const double* r = out.c[i];
            const double qi = q[i];
            for (int j = 0; j < cols; j++) d[j] += qi * r[j];
        }
        for (int i = 0; i < n; i++) {
            double* r = out.c[i];
            const double qi = q[i];
            for (int j = 0; j < cols; j++) r[j] -= qi * d[j];
        }
    }
    out.Finish();
}

PartialWork::PartialWork(int n_, int cols, int pA, int pB)
    : n(n_), maxCols(std::max(cols, 1)), maxA(std::max(pA, 1)), maxB(std::max(pB, 1)) {
    C = dim2Double(n, maxCols);
    RA = dim2Double(n, maxA);
    RB = dim2Double(n, maxB);
}

PartialWork::~PartialWork() {
    free2D(C, n);
    free2D(RA, n);
    free2D(RB, n);
}

double Congruence(int n, int pA, int pB, double** A, double** B, int method) {
    if (method == 2) return ProcrustesCoeff(n, pA, pB, A, B);
    if (method == 3) return RVcoeff(n, pA, pB, A, B);
    return 0.0;
}

double Congruence(int n, int pA, int pB, float** A, float** B, int method) {
    if (method == 2) return ProcrustesCoeff(n, pA, pB, A, B);
    if (method == 3) return RVcoeff(n, pA, pB, A, B);
    return 0.0;
}

double PartialCongruence(PartialWork& w, int n, int pA, int pB, double** A, double** B, int method,
                         double overfitFactor, const MatrixCovariate* cov, int nCov) {
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
    PCA_Regression_ResidualsSelect(n, pA, m, A, w.C, w.RA, nullptr, 2, overfitFactor);
    PCA_Regression_ResidualsSelect(n, pB, m, B, w.C, w.RB, nullptr, 2, overfitFactor);
    return Congruence(n, pA, pB, w.RA, w.RB, method);
}

}  // namespace permtest

double PartialMatrixCorrelation(int n, int pA, int pB, double** A, double** B, int method,
                                double overfitFactor, const std::vector<MatrixCovariate>& covariates) {
    if (covariates.empty() || n < 1 || (method != 2 && method != 3)) return 0.0;
    int cols = 0;
    for (const MatrixCovariate& c : covariates) cols += std::max(c.columns, 0);
    const int nCov = static_cast<int>(covariates.size());
    permtest::Config a(n, pA), b(n, pB);
    a.Set(pA, A);
    b.Set(pB, B);
    if (a.missing || b.missing) {
        // Residuals with missing cells: the regression that skips them.
        permtest::PartialWork w(n, cols, pA, pB);
        return permtest::PartialCongruence(w, n, pA, pB, A, B, method, overfitFactor, covariates.data(), nCov);
    }
    permtest::Components comp(n, cols);
    if (!comp.Compute(covariates.data(), nCov, overfitFactor)) return 0.0;
    permtest::Config ra(n, pA), rb(n, pB);
    comp.Residuals(a, ra);
    comp.Residuals(b, rb);
    permtest::CongruenceWork w(n, std::max(pA, pB));
    return permtest::Compare(ra, rb, method, w);
}
