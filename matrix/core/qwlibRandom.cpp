// The shared random generator, symmetric eigen-decompositions, singular value decompositions,
// the count of meaningful axes, matrix sums and outer products.
#include "matrix/core/qwlibRandom.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include <gsl/gsl_eigen.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_vector.h>

#include "foundation/TnxBlas.h"
#include "foundation/TnxGsl.h"
#include "foundation/nrutilQW.h"

gsl_rng* r = nullptr;

namespace {

// True when every cell of the rows x cols matrix is a finite number.
template <class T>
bool AllFinite(int rows, int cols, T** A) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++)
            if (!std::isfinite(A[i][j])) return false;
    return true;
}

template <class T>
bool AllFinite(int n, const T* v) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

template <class T>
void ZeroFill(int rows, int cols, T** A) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) A[i][j] = T(0);
}

template <class T>
void ZeroFill(int n, T* v) {
    for (int i = 0; i < n; i++) v[i] = T(0);
}

// The ok rule: false when some value / sum of all values is below -0.001. The sum is taken in
// the precision of the values; a zero sum leaves ok true.
template <class T>
bool SpectrumOk(int n, const T* val) {
    T sum = T(0);
    for (int i = 0; i < n; i++) sum += val[i];
    if (sum == T(0)) return true;
    for (int i = 0; i < n; i++)
        if (val[i] / sum < T(-0.001)) return false;
    return true;
}

// Failure of an eigen-analysis: no axis survives.
template <class T>
bool EigenFailed(int n, T** vec, T* val) {
    ZeroFill(n, n, vec);
    ZeroFill(n, val);
    return false;
}

// Scoped 1-based n x n work matrix and n-vector of the classical routines.
template <class T>
struct Work1 {
    Work1(int rows, int cols) : rows_(rows), cols_(cols) {
        m = Alloc(static_cast<T*>(nullptr));
        v = AllocV(static_cast<T*>(nullptr));
        e = AllocV(static_cast<T*>(nullptr));
    }
    ~Work1() {
        Free(m);
        FreeV(v);
        FreeV(e);
    }
    Work1(const Work1&) = delete;
    Work1& operator=(const Work1&) = delete;

    T** m;
    T* v;
    T* e;

private:
    float** Alloc(float*) { return matrix(1, rows_, 1, cols_); }
    double** Alloc(double*) { return dmatrix(1, rows_, 1, cols_); }
    float* AllocV(float*) { return vector(1, cols_); }
    double* AllocV(double*) { return dvector(1, cols_); }
    void Free(float** a) { free_matrix(a, 1, rows_, 1, cols_); }
    void Free(double** a) { free_dmatrix(a, 1, rows_, 1, cols_); }
    void FreeV(float* a) { free_vector(a, 1, cols_); }
    void FreeV(double* a) { free_dvector(a, 1, cols_); }
    int rows_, cols_;
};

template <class TA, class TW>
void To1Based(int rows, int cols, TA** A, TW** W) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) W[i + 1][j + 1] = TW(A[i][j]);
}

// A GSL double copy of the rows x cols matrix A.
template <class T>
GslMatrix ToGsl(int rows, int cols, T** A) {
    GslMatrix g = AllocGslMatrix(rows, cols);
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) gsl_matrix_set(g.get(), i, j, double(A[i][j]));
    return g;
}

}  // namespace

// The blocks of the GSL decomposition for orders up to n: the copy of A, the eigenvectors and
// the eigenvalues as contiguous n x n and n arrays (an order k uses their first k * k and k
// cells, laid out as GSL's own k x k blocks), and GSL's eigen work space of each order asked
// for (allOrders: 1..n; otherwise n only).
struct EigenWorkspace::Blocks {
    Blocks(int n_, bool allOrders) : n(n_ > 0 ? n_ : 1), a(size_t(n) * n), z(size_t(n) * n), d(size_t(n)), w(n) {
        for (int k = allOrders ? 1 : n; k <= n; k++) w[k - 1] = AllocGslEigenSymmv(k);
    }
    Blocks(const Blocks&) = delete;
    Blocks& operator=(const Blocks&) = delete;
    int n;
    std::vector<double> a, z, d;
    std::vector<GslEigenSymmv> w;  // a refused one frees those made before it
};

EigenWorkspace::EigenWorkspace(int n) : b_(new Blocks(n, true)) {}

EigenWorkspace::~EigenWorkspace() { delete b_; }

bool EigenWorkspace::Fits(int n) const { return n <= b_->n; }

namespace {

// GSL eigen-decomposition of a double copy, sorted descending; eigenvectors as rows. b holds
// the blocks of order n.
template <class T>
bool EigenGSL(int n, T** A, T** vec, T* val, EigenWorkspace::Blocks& b) {
    if (n < 1) return true;
    if (!AllFinite(n, n, A)) return EigenFailed(n, vec, val);
    const size_t m = size_t(n);
    gsl_matrix_view av = gsl_matrix_view_array(b.a.data(), m, m);
    gsl_matrix_view zv = gsl_matrix_view_array(b.z.data(), m, m);
    gsl_vector_view dv = gsl_vector_view_array(b.d.data(), m);
    gsl_matrix* a = &av.matrix;
    gsl_matrix* z = &zv.matrix;
    gsl_vector* d = &dv.vector;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) gsl_matrix_set(a, i, j, double(A[i][j]));
    // The numerical library's routines call the BLAS, whose work buffer the thread takes first.
    EnsureBlasBuffer();
    int status = gsl_eigen_symmv(a, d, z, b.w[n - 1].get());
    if (status == 0) status = gsl_eigen_symmv_sort(d, z, GSL_EIGEN_SORT_VAL_DESC);
    for (int k = 0; k < n; k++) {
        val[k] = T(gsl_vector_get(d, k));
        for (int i = 0; i < n; i++) vec[k][i] = T(gsl_matrix_get(z, i, k));
    }
    if (status != 0 || !AllFinite(n, val) || !AllFinite(n, n, vec)) return EigenFailed(n, vec, val);
    return SpectrumOk(n, val);
}

// The same on blocks made for this call.
template <class T>
bool EigenGSL(int n, T** A, T** vec, T* val) {
    EigenWorkspace::Blocks b(n, false);
    return EigenGSL(n, A, vec, val, b);
}

// tred2 + tqli + eigsrt on a 1-based copy in TW precision; eigenvectors as rows of vec.
template <class TA, class TW>
bool EigenQL(int n, TA** A, TW** vec, TW* val) {
    if (n < 1) return true;
    if (!AllFinite(n, n, A)) return EigenFailed(n, vec, val);
    Work1<TW> w(n, n);
    To1Based(n, n, A, w.m);
    tred2(w.m, n, w.v, w.e);
    tqli(w.v, w.e, n, w.m);
    eigsrt(w.v, w.m, n);
    for (int k = 0; k < n; k++) {
        val[k] = w.v[k + 1];
        for (int i = 0; i < n; i++) vec[k][i] = w.m[i + 1][k + 1];
    }
    if (!AllFinite(n, val) || !AllFinite(n, n, vec)) return EigenFailed(n, vec, val);
    return SpectrumOk(n, val);
}

// The noticeable negative part of a spectrum (see the header).
template <class T>
float NegativePart(int n, T** A) {
    if (n < 1 || !AllFinite(n, n, A)) return 0.0f;
    Work1<float> w(n, n);
    To1Based(n, n, A, w.m);
    tred2(w.m, n, w.v, w.e);
    tqli(w.v, w.e, n, w.m);
    float sum = 0.0f;
    for (int k = 1; k <= n; k++) sum += w.v[k];
    float neg = 0.0f;
    if (sum == 0.0f) return 0.0f;
    for (int k = 1; k <= n; k++) {
        float q = w.v[k] / sum;
        if (q < -0.001f) neg += -q;
    }
    return neg;
}

// One Jacobi rotation of the pair (p, q) on W, accumulated into V.
template <class T>
void Rotate(int n, T** W, T** V, int p, int q) {
    T d = (W[p][p] - W[q][q]) / T(2);
    T s = d >= T(0) ? T(-1) : T(1);
    T x = s * W[p][q] / std::sqrt(d * d + W[p][q] * W[p][q]);
    T c2 = T(1) - x * x;
    if (c2 < T(0)) c2 = T(0);  // |x| a rounding step above 1
    T sine = x / std::sqrt(T(2) * (T(1) + std::sqrt(c2)));
    T cosine = std::sqrt(T(1) - sine * sine);
    for (int m = 0; m < n; m++) {
        if (m == p || m == q) continue;
        T wmq = W[m][q], wmp = W[m][p];
        W[m][q] = cosine * wmq + sine * wmp;
        W[m][p] = cosine * wmp - sine * wmq;
        W[q][m] = W[m][q];
        W[p][m] = W[m][p];
    }
    for (int m = 0; m < n; m++) {
        T vmq = V[m][q], vmp = V[m][p];
        V[m][q] = cosine * vmq + sine * vmp;
        V[m][p] = cosine * vmp - sine * vmq;
    }
    T wpp = W[p][p], wqq = W[q][q], wpq = W[p][q];
    T t = T(2) * wpq * sine * cosine;
    W[p][p] = wqq * sine * sine + wpp * cosine * cosine - t;
    W[q][q] = wqq * cosine * cosine + wpp * sine * sine + t;
    W[p][q] = (cosine * cosine - sine * sine) * wpq + (wpp - wqq) * sine * cosine;
    W[q][p] = W[p][q];
}

// Threshold Jacobi method (see the header): thresholds fall by a factor n per level, sweeps
// repeat at one level while they rotate, at most 30 sweeps in all.
template <class T>
bool EigenThreshold(int n, T** A, T** vec, T* val) {
    if (n < 1) return true;
    if (!AllFinite(n, n, A)) return EigenFailed(n, vec, val);
    std::vector<std::vector<T>> Wr(n, std::vector<T>(n)), Vr(n, std::vector<T>(n, T(0)));
    std::vector<T*> W(n), V(n);
    for (int i = 0; i < n; i++) {
        W[i] = Wr[i].data();
        V[i] = Vr[i].data();
        V[i][i] = T(1);
        for (int j = 0; j < n; j++) W[i][j] = A[i][j];
    }
    T off = T(0);
    for (int i = 1; i < n; i++)
        for (int j = 0; j < i; j++) off += W[i][j] * W[i][j];
    T norm = std::sqrt(T(2) * off);
    T finalThr = norm * T(1e-8) / T(n);
    T thr = norm;
    int pass = 0;
    do {
        thr = thr / T(n);
        bool sweep = pass < 30;
        pass++;
        while (sweep) {
            bool rotated = false;
            for (int q = 1; q < n; q++)
                for (int p = 0; p < q; p++) {
                    // A zero element needs no rotation (and with equal diagonal values its
                    // angle would be 0/0).
                    if (std::fabs(W[p][q]) < thr || W[p][q] == T(0)) continue;
                    Rotate(n, W.data(), V.data(), p, q);
                    rotated = true;
                }
            if (!rotated) break;
            sweep = pass < 30;
            pass++;
        }
    } while (thr > finalThr);

    std::vector<int> idx(n);
    for (int i = 0; i < n; i++) {
        idx[i] = i;
        val[i] = W[i][i];
    }
    for (int passNo = 0; passNo < n - 1; passNo++) {
        bool exchanged = false;
        for (int i = 0; i + 1 < n; i++)
            if (val[i + 1] > val[i]) {
                T t = val[i];
                val[i] = val[i + 1];
                val[i + 1] = t;
                int k = idx[i];
                idx[i] = idx[i + 1];
                idx[i + 1] = k;
                exchanged = true;
            }
        if (!exchanged) break;
    }
    for (int k = 0; k < n; k++)
        for (int m = 0; m < n; m++) vec[k][m] = V[m][idx[k]];
    if (!AllFinite(n, val) || !AllFinite(n, n, vec)) return EigenFailed(n, vec, val);
    return SpectrumOk(n, val);
}

template <class T>
float EigenRankT(int n, const T* eig) {
    if (n < 1) return 0.0f;
    T pos = T(0);
    for (int i = 0; i < n; i++)
        if (eig[i] > T(0)) pos += eig[i];
    if (!(pos > T(0))) return 0.0f;
    int count = 0;
    for (int i = 0; i < n; i++)
        if (eig[i] * T(100) / pos > T(1e-5)) count++;
    return float(count);
}

template <class T>
bool SvdFailed(int m, int n, T** U, T* w, T** V) {
    ZeroFill(m, n, U);
    ZeroFill(n, w);
    ZeroFill(n, n, V);
    return false;
}

template <class T>
bool SvdGSL(int m, int n, T** A, T** U, T* w, T** V) {
    if (m < 1 || n < 1) return false;
    // GSL's decomposition needs at least as many rows as columns; asking it anyway would only
    // raise its error.
    if (m < n || !AllFinite(m, n, A)) return SvdFailed(m, n, U, w, V);
    EnsureBlasBuffer();   // the BLAS behind the numerical library's routine, taken before anything to free
    // A block refused raises code 1; the owners free those made before it.
    GslMatrix a = ToGsl(m, n, A);
    GslMatrix v = AllocGslMatrix(n, n);
    GslVector s = AllocGslVector(n);
    GslVector work = AllocGslVector(n);
    int status = gsl_linalg_SV_decomp(a.get(), v.get(), s.get(), work.get());
    if (status == 0) {
        for (int i = 0; i < m; i++)
            for (int j = 0; j < n; j++) U[i][j] = T(gsl_matrix_get(a.get(), i, j));
        for (int j = 0; j < n; j++) {
            w[j] = T(gsl_vector_get(s.get(), j));
            for (int k = 0; k < n; k++) V[j][k] = T(gsl_matrix_get(v.get(), j, k));
        }
    }
    if (status != 0 || !AllFinite(n, w) || !AllFinite(m, n, U) || !AllFinite(n, n, V))
        return SvdFailed(m, n, U, w, V);
    return SpectrumOk(n, w);
}

template <class T>
bool SvdNR(int m, int n, T** A, T** U, T* w, T** V) {
    if (m < 1 || n < 1) return false;
    if (!AllFinite(m, n, A)) return SvdFailed(m, n, U, w, V);
    Work1<T> a(m, n), v(n, n);
    To1Based(m, n, A, a.m);
    svdcmp(a.m, m, n, a.v, v.m);
    for (int i = 0; i < m; i++)
        for (int j = 0; j < n; j++) U[i][j] = a.m[i + 1][j + 1];
    for (int j = 0; j < n; j++) {
        w[j] = a.v[j + 1];
        for (int k = 0; k < n; k++) V[j][k] = v.m[j + 1][k + 1];
    }
    if (!AllFinite(n, w) || !AllFinite(m, n, U) || !AllFinite(n, n, V))
        return SvdFailed(m, n, U, w, V);
    return SpectrumOk(n, w);
}

template <class T>
int MatrixSumT(int rowsA, int colsA, int rowsB, int colsB, T** A, T** B, T** C, int k) {
    if (rowsA != rowsB || colsA != colsB) return 1;
    for (int i = 0; i < rowsA; i++)
        for (int j = 0; j < colsA; j++) C[i][j] = A[i][j] + T(k) * B[i][j];
    return 0;
}

template <class T>
int OuterT(int n, int p, T* a, T* b, T** C) {
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) C[i][j] = a[i] * b[j];
    return 1;
}

}  // namespace

// ---------------------------------------------------------------- random generator

void InitRndNumberGenerator(unsigned long seed) {
    // The new generator is made first: a refusal (code 1) leaves the old one in place.
    GslRng made = AllocGslRng(gsl_rng_mt19937);
    if (r) gsl_rng_free(r);
    r = made.release();
    gsl_rng_set(r, seed);
    std::srand(static_cast<unsigned>(seed));
}

void RndList(int n, int* list) {
    if (n < 1) return;
    for (int i = 0; i < n; i++) list[i] = i + 1;
    for (int i = 0; i < n - 1; i++) {
        int j = i + int(gsl_rng_uniform_int(r, static_cast<unsigned long>(n - i)));
        int t = list[i];
        list[i] = list[j];
        list[j] = t;
    }
}

// ---------------------------------------------------------------- eigen-analysis

bool EigenHouseholderQL_GSL(int n, float** A, float** vec, float* val) { return EigenGSL(n, A, vec, val); }
bool EigenHouseholderQL_GSL_D(int n, double** A, double** vec, double* val) { return EigenGSL(n, A, vec, val); }
bool EigenHouseholderQL_GSL_D(int n, double** A, double** vec, double* val, EigenWorkspace& ws) {
    return ws.Fits(n) ? EigenGSL(n, A, vec, val, *ws.blocks()) : EigenGSL(n, A, vec, val);
}

bool EigenHouseholderQL(int n, float** A, float** vec, float* val) { return EigenQL(n, A, vec, val); }
bool EigenHouseholderQL(int n, double** A, double** vec, double* val) { return EigenQL(n, A, vec, val); }

float EigenHouseholderQL_NegEigen(int n, float** A) { return NegativePart(n, A); }
float EigenHouseholderQL_NegEigen(int n, double** A) { return NegativePart(n, A); }

bool EigenJacobi(int n, float** A, float** vec, float* val) {
    if (n < 1) return true;
    if (!AllFinite(n, n, A)) return EigenFailed(n, vec, val);
    Work1<float> a(n, n), v(n, n);
    To1Based(n, n, A, a.m);
    int nrot = 0;
    jacobi(a.m, n, a.v, v.m, &nrot);
    eigsrt(a.v, v.m, n);
    for (int i = 0; i < n; i++) {
        val[i] = a.v[i + 1];
        for (int k = 0; k < n; k++) vec[i][k] = v.m[i + 1][k + 1];
    }
    if (!AllFinite(n, val) || !AllFinite(n, n, vec)) return EigenFailed(n, vec, val);
    return SpectrumOk(n, val);
}

bool Eigen(int n, float** A, float** vec, float* val) { return EigenThreshold(n, A, vec, val); }
bool Eigen(int n, double** A, double** vec, double* val) { return EigenThreshold(n, A, vec, val); }

float EigenRank(int n, float* eig) { return EigenRankT(n, eig); }
float EigenRank(int n, double* eig) { return EigenRankT(n, eig); }

// ---------------------------------------------------------------- singular value decomposition

bool SingValueDecomp(int m, int n, float** A, float** U, float* w, float** V) { return SvdGSL(m, n, A, U, w, V); }
bool SingValueDecomp(int m, int n, double** A, double** U, double* w, double** V) { return SvdGSL(m, n, A, U, w, V); }
bool SingValueDecomp_NRUTIL(int m, int n, float** A, float** U, float* w, float** V) { return SvdNR(m, n, A, U, w, V); }
bool SingValueDecomp_NRUTIL(int m, int n, double** A, double** U, double* w, double** V) { return SvdNR(m, n, A, U, w, V); }

// ---------------------------------------------------------------- sums and outer products

int MatrixSum(int rA, int cA, int rB, int cB, float** A, float** B, float** C, int k) {
    return MatrixSumT(rA, cA, rB, cB, A, B, C, k);
}
int MatrixSum(int rA, int cA, int rB, int cB, double** A, double** B, double** C, int k) {
    return MatrixSumT(rA, cA, rB, cB, A, B, C, k);
}

int VectorOuterProd(int n, int p, float* a, float* b, float** C) { return OuterT(n, p, a, b, C); }
int VectorOuterProd(int n, int p, double* a, double* b, double** C) { return OuterT(n, p, a, b, C); }
