// Classical numerical routines on 1-based arrays (see nrutilQW.h for the conventions).
#include "foundation/nrutilQW.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "foundation/TnxError.h"
#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"

void nrerror(const char* text)
{
    fprintf(stderr, "%s\n", text);
    fprintf(stderr, "Sorry, you have to quit and restart the program.\n");
    exit(1);
}

// ================================================================ 1-based allocators
//
// An index range lo..hi is widened to include 0, so the pointer handed out (which addresses
// index 0) always lies inside the block, whatever nl is. A block the system refuses raises
// code 1 (out of memory), the blocks made before it freed.

namespace {

inline long lowEnd(long nl) { return nl < 0 ? nl : 0; }
inline long highEnd(long nh) { return nh > 0 ? nh : 0; }
inline long spanOf(long nl, long nh) { return highEnd(nh) - lowEnd(nl) + 1; }

// calloc of count elements of size bytes; code 1 when refused.
void* Zeroed(long count, size_t size)
{
    void* block = calloc(static_cast<size_t>(count), size);
    if (!block) RaiseError(TNX_OUT_OF_MEMORY);
    return block;
}

template <class T>
T* newVector(long nl, long nh)
{
    return static_cast<T*>(Zeroed(spanOf(nl, nh), sizeof(T))) - lowEnd(nl);
}

template <class T>
void deleteVector(T* v, long nl)
{
    if (v) free(v + lowEnd(nl));
}

// Row table for rows nrl..nrh (slots outside that range are null).
template <class T>
T** newRowTable(long nrl, long nrh)
{
    return static_cast<T**>(Zeroed(spanOf(nrl, nrh), sizeof(T*))) - lowEnd(nrl);
}

template <class T>
void deleteRowTable(T** table, long nrl)
{
    if (table) free(table + lowEnd(nrl));
}

inline long rowCount(long nrl, long nrh) { return nrh >= nrl ? nrh - nrl + 1 : 0; }

template <class T>
T** newMatrix(long nrl, long nrh, long ncl, long nch)
{
    T** m = newRowTable<T>(nrl, nrh);
    long rows = rowCount(nrl, nrh);
    if (rows == 0) return m;
    long span = spanOf(ncl, nch);
    T* block = static_cast<T*>(calloc(static_cast<size_t>(rows * span), sizeof(T)));
    if (!block) {
        deleteRowTable(m, nrl);
        RaiseError(TNX_OUT_OF_MEMORY);
    }
    for (long k = 0; k < rows; ++k) m[nrl + k] = block + k * span - lowEnd(ncl);
    return m;
}

template <class T>
void deleteMatrix(T** m, long nrl, long nrh, long ncl)
{
    if (!m) return;
    if (rowCount(nrl, nrh) > 0) free(m[nrl] + lowEnd(ncl));
    deleteRowTable(m, nrl);
}

}  // namespace

float* vector(long nl, long nh) { return newVector<float>(nl, nh); }
double* dvector(long nl, long nh) { return newVector<double>(nl, nh); }
int* ivector(long nl, long nh) { return newVector<int>(nl, nh); }
char* cvector(long nl, long nh) { return newVector<char>(nl, nh); }
long* lvector(long nl, long nh) { return newVector<long>(nl, nh); }

void free_vector(float* v, long nl, long) { deleteVector(v, nl); }
void free_dvector(double* v, long nl, long) { deleteVector(v, nl); }
void free_ivector(int* v, long nl, long) { deleteVector(v, nl); }
void free_cvector(char* v, long nl, long) { deleteVector(v, nl); }
void free_lvector(long* v, long nl, long) { deleteVector(v, nl); }

float** matrix(long nrl, long nrh, long ncl, long nch) { return newMatrix<float>(nrl, nrh, ncl, nch); }
double** dmatrix(long nrl, long nrh, long ncl, long nch) { return newMatrix<double>(nrl, nrh, ncl, nch); }
int** imatrix(long nrl, long nrh, long ncl, long nch) { return newMatrix<int>(nrl, nrh, ncl, nch); }

void free_matrix(float** m, long nrl, long nrh, long ncl, long) { deleteMatrix(m, nrl, nrh, ncl); }
void free_dmatrix(double** m, long nrl, long nrh, long ncl, long) { deleteMatrix(m, nrl, nrh, ncl); }
void free_imatrix(int** m, long nrl, long nrh, long ncl, long) { deleteMatrix(m, nrl, nrh, ncl); }

float** submatrix(float** a, long oldrl, long oldrh, long oldcl, long newrl, long newcl)
{
    long rows = rowCount(oldrl, oldrh);
    long newrh = newrl + (rows > 0 ? rows - 1 : -1);
    float** m = newRowTable<float>(newrl, newrh);
    // newcl <= oldcl: the shifted row pointer still addresses a's own row.
    for (long k = 0; k < rows; ++k) m[newrl + k] = a[oldrl + k] + (oldcl - newcl);
    return m;
}

void free_submatrix(float** b, long nrl, long, long, long) { deleteRowTable(b, nrl); }

float** convert_matrix(float* a, long nrl, long nrh, long ncl, long nch)
{
    float** m = newRowTable<float>(nrl, nrh);
    long rows = rowCount(nrl, nrh);
    long span = spanOf(ncl, nch);
    for (long k = 0; k < rows; ++k) m[nrl + k] = a + k * span - lowEnd(ncl);
    return m;
}

void free_convert_matrix(float** b, long nrl, long, long, long) { deleteRowTable(b, nrl); }

float*** f3tensor(long nrl, long nrh, long ncl, long nch, long ndl, long ndh)
{
    long rowSlots = spanOf(nrl, nrh);
    float*** table = static_cast<float***>(Zeroed(rowSlots, sizeof(float**)));
    float*** t = table - lowEnd(nrl);
    long rows = rowCount(nrl, nrh);
    if (rows == 0) return t;
    long colSpan = spanOf(ncl, nch);
    long depthSpan = spanOf(ndl, ndh);
    float** slots = static_cast<float**>(calloc(static_cast<size_t>(rows * colSpan), sizeof(float*)));
    float* data = slots ? static_cast<float*>(calloc(static_cast<size_t>(rows * colSpan * depthSpan), sizeof(float)))
                        : nullptr;
    if (!data) {
        free(slots);
        free(table);
        RaiseError(TNX_OUT_OF_MEMORY);
    }
    for (long i = 0; i < rows; ++i) {
        float** row = slots + i * colSpan;
        for (long c = 0; c < colSpan; ++c) row[c] = data + (i * colSpan + c) * depthSpan - lowEnd(ndl);
        t[nrl + i] = row - lowEnd(ncl);
    }
    return t;
}

void free_f3tensor(float*** t, long nrl, long nrh, long ncl, long, long ndl, long)
{
    if (!t) return;
    if (rowCount(nrl, nrh) > 0) {
        float** slots = t[nrl] + lowEnd(ncl);
        free(slots[0] + lowEnd(ndl));
        free(slots);
    }
    free(t + lowEnd(nrl));
}

// ================================================================ sorting and ranking

namespace {

const int kInsertionBelow = 7;   // sub-arrays shorter than this are finished by insertion
const int kStackSize = 50;

// Quicksort of the positions 1..n of a sequence seen through `seq`: Key(k) is the key at
// position k, Get(k)/Set(k, item) read and write what moves, KeyOf(item) is the key of an
// item, Swap(i, j) exchanges two positions. The partitioning element is the median of the
// keys at l, mid and ir: the middle one is moved to l+1 and the three are put in order, which
// leaves sentinels at both ends of the scan. The larger part goes on the stack, the smaller is
// sorted next, so the stack depth stays below 2 log2(n). `overflow` is the message of a stack
// overflow, naming the caller.
template <class Seq>
void quicksortPositions(unsigned long n, Seq seq, const char* overflow)
{
    HandleEventInfoWhere("sort");
    // The stack lives in the frame: sorts run inside the permutation and subset loops, which
    // allocate nothing.
    int stack[kStackSize + 1];
    int top = 0;
    long l = 1;
    long ir = static_cast<long>(n);
    for (;;) {
        if (ir - l + 1 < kInsertionBelow) {
            for (long j = l + 1; j <= ir; ++j) {
                auto moving = seq.Get(j);
                auto key = seq.KeyOf(moving);
                long i = j - 1;
                for (; i >= l; --i) {
                    if (seq.Key(i) <= key) break;
                    seq.Set(i + 1, seq.Get(i));
                }
                seq.Set(i + 1, moving);
            }
            if (top == 0) break;
            ir = stack[top--];
            l = stack[top--];
        } else {
            HandleEventInfoWhere("sort");
            long mid = (l + ir) / 2;
            seq.Swap(mid, l + 1);
            if (seq.Key(l) > seq.Key(ir)) seq.Swap(l, ir);
            if (seq.Key(l + 1) > seq.Key(ir)) seq.Swap(l + 1, ir);
            if (seq.Key(l) > seq.Key(l + 1)) seq.Swap(l, l + 1);
            long i = l + 1;
            long j = ir;
            auto pivotItem = seq.Get(l + 1);
            auto pivot = seq.KeyOf(pivotItem);
            for (;;) {
                do ++i; while (seq.Key(i) < pivot);
                do --j; while (seq.Key(j) > pivot);
                if (j < i) break;
                seq.Swap(i, j);
            }
            seq.Set(l + 1, seq.Get(j));
            seq.Set(j, pivotItem);
            top += 2;
            if (top > kStackSize) nrerror(overflow);
            if (ir - i + 1 >= j - l) {
                stack[top] = static_cast<int>(ir);
                stack[top - 1] = static_cast<int>(i);
                ir = j - 1;
            } else {
                stack[top] = static_cast<int>(j - 1);
                stack[top - 1] = static_cast<int>(l);
                l = i;
            }
        }
    }
}

// arr[1..n] sorted with brr[1..n] carried along: the items are (key, companion) pairs.
template <class K, class C>
struct KeyWithCompanion {
    K* arr;
    C* brr;
    struct Item { K key; C companion; };
    K Key(long k) const { return arr[k]; }
    Item Get(long k) const { return {arr[k], brr[k]}; }
    void Set(long k, const Item& it) const { arr[k] = it.key; brr[k] = it.companion; }
    static K KeyOf(const Item& it) { return it.key; }
    void Swap(long i, long j) const {
        K tk = arr[i]; arr[i] = arr[j]; arr[j] = tk;
        C tc = brr[i]; brr[i] = brr[j]; brr[j] = tc;
    }
};

// indx[1..n] sorted by arr[indx[k]]: the items are the indexes; arr stays as it is.
struct IndexByKey {
    const float* arr;
    unsigned long* indx;
    float Key(long k) const { return arr[indx[k]]; }
    unsigned long Get(long k) const { return indx[k]; }
    void Set(long k, unsigned long it) const { indx[k] = it; }
    float KeyOf(unsigned long it) const { return arr[it]; }
    void Swap(long i, long j) const { unsigned long t = indx[i]; indx[i] = indx[j]; indx[j] = t; }
};

template <class K, class C>
void quicksortWithCompanion(unsigned long n, K* arr, C* brr)
{
    quicksortPositions(n, KeyWithCompanion<K, C>{arr, brr}, "NSTACK too small in sort2.");
}

template <class T>
void rankSorted(unsigned long n, T* w, T* s)
{
    HandleEventInfoWhere("rank");
    *s = 0;
    unsigned long j = 1;
    while (j < n) {
        if (w[j + 1] != w[j]) {
            w[j] = static_cast<T>(j);
            ++j;
        } else {
            unsigned long jt = j + 1;
            while (jt <= n && w[jt] == w[j]) ++jt;
            T rank = static_cast<T>(0.5) * static_cast<T>(j + jt - 1);
            for (unsigned long ji = j; ji < jt; ++ji) w[ji] = rank;
            T t = static_cast<T>(jt - j);
            *s += t * t * t - t;
            j = jt;
        }
    }
    if (j == n) w[n] = static_cast<T>(n);
}

}  // namespace

void sort2(unsigned long n, float* arr, float* brr) { quicksortWithCompanion(n, arr, brr); }
void sort2(unsigned long n, double* arr, double* brr) { quicksortWithCompanion(n, arr, brr); }
void sort2(unsigned long n, int* arr, int* brr) { quicksortWithCompanion(n, arr, brr); }

void indexx(unsigned long n, float* arr, unsigned long* indx)
{
    for (unsigned long j = 1; j <= n; ++j) indx[j] = j;
    quicksortPositions(n, IndexByKey{arr, indx}, "NSTACK too small in indexx.");
}

void crank(unsigned long n, float* w, float* s) { rankSorted(n, w, s); }
void crank(unsigned long n, double* w, double* s) { rankSorted(n, w, s); }

// ================================================================ linear systems

namespace {

template <class T>
int cholesky(T** a, int n, T* p)
{
    for (int i = 0; i < n; ++i) {
        for (int j = i; j < n; ++j) {
            T sum = a[i][j];
            for (int k = i - 1; k >= 0; --k) sum -= a[i][k] * a[j][k];
            if (i == j) {
                if (sum <= 0) {
                    fputs("\ncholdc failed", stdout);
                    return 0;
                }
                p[i] = std::sqrt(sum);
            } else {
                a[j][i] = sum / p[i];
            }
        }
    }
    return 1;
}

// Gauss-Jordan elimination with full pivoting. ipiv counts how often each column served as
// pivot; indxr/indxc record the pivot row and column of each step so that the column
// exchanges implied by the row exchanges can be undone at the end. A singular matrix stops
// the elimination before a division by a zero pivot: the caller gets 0 and finite values.
template <class T>
int gaussJordan(T** a, int n, T** b, int m, int* indxc, int* indxr, int* ipiv, bool speak)
{
    for (int j = 1; j <= n; ++j) ipiv[j] = 0;
    for (int step = 1; step <= n; ++step) {
        T big = 0;
        int irow = 0;
        int icol = 0;
        bool pivotedTwice = false;
        for (int j = 1; j <= n; ++j) {
            if (ipiv[j] == 1) continue;
            for (int k = 1; k <= n; ++k) {
                if (ipiv[k] == 0) {
                    if (std::fabs(a[j][k]) >= big) {
                        big = std::fabs(a[j][k]);
                        irow = j;
                        icol = k;
                    }
                } else if (ipiv[k] > 1) {
                    pivotedTwice = true;
                }
            }
        }
        // No candidate compares at all only when the remaining values are not numbers.
        if (pivotedTwice || icol == 0) {
            if (speak) fputs("gaussj: Singular Matrix-1", stderr);
            if (icol == 0) return 0;
        }
        ++ipiv[icol];
        if (irow != icol) {
            for (int l = 1; l <= n; ++l) { T t = a[irow][l]; a[irow][l] = a[icol][l]; a[icol][l] = t; }
            for (int l = 1; l <= m; ++l) { T t = b[irow][l]; b[irow][l] = b[icol][l]; b[icol][l] = t; }
        }
        indxr[step] = irow;
        indxc[step] = icol;
        if (a[icol][icol] == 0) {
            if (speak) fputs("gaussj: Singular Matrix-2", stderr);
            return 0;
        }
        T pivinv = 1 / a[icol][icol];
        a[icol][icol] = 1;
        for (int l = 1; l <= n; ++l) a[icol][l] *= pivinv;
        for (int l = 1; l <= m; ++l) b[icol][l] *= pivinv;
        for (int ll = 1; ll <= n; ++ll) {
            if (ll == icol) continue;
            T factor = a[ll][icol];
            a[ll][icol] = 0;
            for (int l = 1; l <= n; ++l) a[ll][l] -= a[icol][l] * factor;
            for (int l = 1; l <= m; ++l) b[ll][l] -= b[icol][l] * factor;
        }
        if (pivotedTwice) return 0;
    }
    for (int l = n; l >= 1; --l) {
        if (indxr[l] == indxc[l]) continue;
        for (int k = 1; k <= n; ++k) {
            T t = a[k][indxr[l]];
            a[k][indxr[l]] = a[k][indxc[l]];
            a[k][indxc[l]] = t;
        }
    }
    return 1;
}

int gaussjDim(double** a, int n, double** b, int m, bool speak)
{
    int* indxc = static_cast<int*>(dim1D(sizeof(int), n + 1));
    int* indxr = static_cast<int*>(dim1D(sizeof(int), n + 1));
    int* ipiv = static_cast<int*>(dim1D(sizeof(int), n + 1));
    int ok = gaussJordan(a, n, b, m, indxc, indxr, ipiv, speak);
    free1D(ipiv);
    free1D(indxr);
    free1D(indxc);
    return ok;
}

template <class S, class D>
void copyToOneBased(int rows, int cols, S** src, D** dst)
{
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) dst[i + 1][j + 1] = static_cast<D>(src[i][j]);
}

template <class S, class D>
void copyFromOneBased(int rows, int cols, S** src, D** dst)
{
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) dst[i][j] = static_cast<D>(src[i + 1][j + 1]);
}

}  // namespace

int choldc(float** a, int n, float* p) { return cholesky(a, n, p); }
int choldc(double** a, int n, double* p) { return cholesky(a, n, p); }

int gaussj(double** a, int n, double** b, int m) { return gaussjDim(a, n, b, m, true); }
int gaussj_QW(double** a, int n, double** b, int m) { return gaussjDim(a, n, b, m, false); }

int gaussj(float** a, int n, float** b, int m)
{
    int* indxc = ivector(1, n);
    int* indxr = ivector(1, n);
    int* ipiv = ivector(1, n);
    int ok = gaussJordan(a, n, b, m, indxc, indxr, ipiv, true);
    free_ivector(ipiv, 1, n);
    free_ivector(indxr, 1, n);
    free_ivector(indxc, 1, n);
    return ok;
}

void Convertn_n1(int rows, int cols, double** src, double** dst) { copyToOneBased(rows, cols, src, dst); }
void Convertn_n1(int rows, int cols, float** src, float** dst) { copyToOneBased(rows, cols, src, dst); }
void Convertn_n1(int rows, int cols, float** src, double** dst) { copyToOneBased(rows, cols, src, dst); }
void Convertn_n1(int rows, int cols, double** src, float** dst) { copyToOneBased(rows, cols, src, dst); }
void Convertn1_n(int rows, int cols, double** src, double** dst) { copyFromOneBased(rows, cols, src, dst); }
void Convertn1_n(int rows, int cols, float** src, float** dst) { copyFromOneBased(rows, cols, src, dst); }
void Convertn1_n(int rows, int cols, float** src, double** dst) { copyFromOneBased(rows, cols, src, dst); }
void Convertn1_n(int rows, int cols, double** src, float** dst) { copyFromOneBased(rows, cols, src, dst); }

// ================================================================ eigen-analysis

namespace {

template <class T>
T hypotenuse(T a, T b)
{
    T absa = std::fabs(a);
    T absb = std::fabs(b);
    if (absa > absb) {
        T r = absb / absa;
        return absa * std::sqrt(1 + r * r);
    }
    if (absb == 0) return 0;
    T r = absa / absb;
    return absb * std::sqrt(1 + r * r);
}

// Householder reduction. Rows are reduced from the last one up: for row i the reflector
// P = I - u u^T / H, u supported on 1..i-1, maps a[i][1..i-1] onto its last place, and the
// leading (i-1)x(i-1) block becomes P A P = A - q u^T - u q^T with p = A u / H,
// K = u^T p / (2H), q = p - K u (only the lower triangle is kept up to date). u stays in
// row i and H in d[i]; afterwards Q = P_n ... P_3 is built in place, growing from the top
// left corner, while the diagonal of the tridiagonal matrix is collected.
template <class T>
void householderTridiagonal(T** a, int n, T* d, T* e)
{
    for (int i = n; i >= 2; --i) {
        HandleEventInfoWhere("EigenHouseholderQL");
        int l = i - 1;
        T H = 0;
        T scale = 0;
        if (l > 1)
            for (int k = 1; k <= l; ++k) scale += std::fabs(a[i][k]);
        if (l == 1 || scale == 0) {
            e[i] = a[i][l];
        } else {
            T sigma = 0;
            for (int k = 1; k <= l; ++k) {
                a[i][k] /= scale;
                sigma += a[i][k] * a[i][k];
            }
            T f = a[i][l];
            T alpha = f >= 0 ? -std::sqrt(sigma) : std::sqrt(sigma);
            e[i] = scale * alpha;
            H = sigma - f * alpha;
            a[i][l] = f - alpha;
            T uDotP = 0;
            for (int j = 1; j <= l; ++j) {
                T s = 0;
                for (int k = 1; k <= j; ++k) s += a[j][k] * a[i][k];
                for (int k = j + 1; k <= l; ++k) s += a[k][j] * a[i][k];
                e[j] = s / H;
                uDotP += e[j] * a[i][j];
            }
            T K = uDotP / (H + H);
            for (int j = 1; j <= l; ++j) e[j] -= K * a[i][j];
            for (int j = 1; j <= l; ++j)
                for (int k = 1; k <= j; ++k) a[j][k] -= a[i][j] * e[k] + e[j] * a[i][k];
        }
        d[i] = H;
    }
    if (n >= 1) {
        d[1] = 0;
        e[1] = 0;
    }
    for (int i = 1; i <= n; ++i) {
        int l = i - 1;
        if (d[i] != 0) {
            for (int j = 1; j <= l; ++j) {
                T g = 0;
                for (int k = 1; k <= l; ++k) g += a[i][k] * a[k][j];
                g /= d[i];
                for (int k = 1; k <= l; ++k) a[k][j] -= g * a[i][k];
            }
        }
        d[i] = a[i][i];
        a[i][i] = 1;
        for (int j = 1; j <= l; ++j) a[i][j] = a[j][i] = 0;
    }
}

// QL iterations with implicit Wilkinson shifts on the tridiagonal matrix (d, e), with the
// plane rotations accumulated into the columns of z.
template <class T>
void tridiagonalQL(T* d, T* e, int n, T** z)
{
    for (int i = 2; i <= n; ++i) e[i - 1] = e[i];
    if (n >= 1) e[n] = 0;
    for (int l = 1; l <= n; ++l) {
        HandleEventInfoWhere("EigenHouseholderQL");
        int iterations = 0;
        for (;;) {
            int m = l;
            for (; m < n; ++m) {
                T dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
                if (std::fabs(e[m]) + dd == dd) break;
            }
            if (m == l) break;
            if (iterations++ == 30) nrerror("Too many iterations in tqli");
            // Shift: the eigenvalue of the leading 2x2 block closest to d[l].
            T g = (d[l + 1] - d[l]) / (2 * e[l]);
            T r = hypotenuse(g, static_cast<T>(1));
            g = d[m] - d[l] + e[l] / (g + std::copysign(r, g));
            T s = 1;
            T c = 1;
            T p = 0;
            bool underflow = false;
            for (int i = m - 1; i >= l; --i) {
                T f = s * e[i];
                T b = c * e[i];
                r = hypotenuse(f, g);
                e[i + 1] = r;
                if (r == 0) {
                    // The rotation degenerated: the matrix splits here; retry from l.
                    d[i + 1] -= p;
                    e[m] = 0;
                    underflow = true;
                    break;
                }
                s = f / r;
                c = g / r;
                g = d[i + 1] - p;
                r = (d[i] - g) * s + 2 * c * b;
                p = s * r;
                d[i + 1] = g + p;
                g = c * r - b;
                for (int k = 1; k <= n; ++k) {
                    T zk1 = z[k][i + 1];
                    z[k][i + 1] = s * z[k][i] + c * zk1;
                    z[k][i] = c * z[k][i] - s * zk1;
                }
            }
            if (underflow) continue;
            d[l] -= p;
            e[l] = g;
            e[m] = 0;
        }
    }
}

template <class T>
void sortEigenDescending(T* d, T** v, int n)
{
    for (int i = 1; i < n; ++i) {
        int k = i;
        T largest = d[i];
        for (int j = i + 1; j <= n; ++j) {
            if (d[j] >= largest) {
                k = j;
                largest = d[j];
            }
        }
        if (k == i) continue;
        d[k] = d[i];
        d[i] = largest;
        for (int j = 1; j <= n; ++j) {
            T t = v[j][i];
            v[j][i] = v[j][k];
            v[j][k] = t;
        }
    }
}

}  // namespace

void tred2(float** a, int n, float* d, float* e) { householderTridiagonal(a, n, d, e); }
void tred2(double** a, int n, double* d, double* e) { householderTridiagonal(a, n, d, e); }
void tqli(float* d, float* e, int n, float** z) { tridiagonalQL(d, e, n, z); }
void tqli(double* d, double* e, int n, double** z) { tridiagonalQL(d, e, n, z); }
void eigsrt(float* d, float** v, int n) { sortEigenDescending(d, v, n); }
void eigsrt(double* d, double** v, int n) { sortEigenDescending(d, v, n); }

// Cyclic Jacobi: each sweep visits every pair p < q of the upper triangle and annihilates
// a[p][q] by a plane rotation. Diagonal updates are gathered in z during a sweep and added
// to b (the diagonal at the sweep's start) afterwards, which limits rounding in d.
void jacobi(float** a, int n, float* d, float** v, int* nrot)
{
    float* b = static_cast<float*>(dim1D(sizeof(float), n + 1));
    float* z = static_cast<float*>(dim1D(sizeof(float), n + 1));
    for (int p = 1; p <= n; ++p) {
        for (int q = 1; q <= n; ++q) v[p][q] = 0.0f;
        v[p][p] = 1.0f;
        b[p] = d[p] = a[p][p];
        z[p] = 0.0f;
    }
    *nrot = 0;
    auto rotate = [](float** m, int i, int j, int k, int l, float s, float tau) {
        float g = m[i][j];
        float h = m[k][l];
        m[i][j] = g - s * (h + g * tau);
        m[k][l] = h + s * (g - h * tau);
    };
    for (int sweep = 1; sweep <= 50; ++sweep) {
        float offSum = 0.0f;
        for (int p = 1; p < n; ++p)
            for (int q = p + 1; q <= n; ++q) offSum += std::fabs(a[p][q]);
        if (offSum == 0.0f) {
            free1D(z);
            free1D(b);
            return;
        }
        float threshold = sweep < 4 ? 0.2f * offSum / static_cast<float>(n * n) : 0.0f;
        for (int p = 1; p < n; ++p) {
            for (int q = p + 1; q <= n; ++q) {
                float g = 100.0f * std::fabs(a[p][q]);
                if (sweep > 4 && std::fabs(d[p]) + g == std::fabs(d[p])
                    && std::fabs(d[q]) + g == std::fabs(d[q])) {
                    a[p][q] = 0.0f;
                } else if (std::fabs(a[p][q]) > threshold) {
                    float h = d[q] - d[p];
                    float t;
                    if (std::fabs(h) + g == std::fabs(h)) {
                        t = a[p][q] / h;
                    } else {
                        float theta = 0.5f * h / a[p][q];
                        t = 1.0f / (std::fabs(theta) + std::sqrt(1.0f + theta * theta));
                        if (theta < 0.0f) t = -t;
                    }
                    float c = 1.0f / std::sqrt(1.0f + t * t);
                    float s = t * c;
                    float tau = s / (1.0f + c);
                    h = t * a[p][q];
                    z[p] -= h;
                    z[q] += h;
                    d[p] -= h;
                    d[q] += h;
                    a[p][q] = 0.0f;
                    for (int j = 1; j < p; ++j) rotate(a, j, p, j, q, s, tau);
                    for (int j = p + 1; j < q; ++j) rotate(a, p, j, j, q, s, tau);
                    for (int j = q + 1; j <= n; ++j) rotate(a, p, j, q, j, s, tau);
                    for (int j = 1; j <= n; ++j) rotate(v, j, p, j, q, s, tau);
                    ++*nrot;
                }
            }
        }
        for (int p = 1; p <= n; ++p) {
            b[p] += z[p];
            d[p] = b[p];
            z[p] = 0.0f;
        }
    }
    free1D(z);
    free1D(b);
    nrerror("Too many iterations in routine jacobi");
}

// ================================================================ singular value decomposition

namespace {

inline float* workVector(float*, int n) { return vector(1, n); }
inline double* workVector(double*, int n) { return dvector(1, n); }
inline void releaseWorkVector(float* v, int n) { free_vector(v, 1, n); }
inline void releaseWorkVector(double* v, int n) { free_dvector(v, 1, n); }

// Phase 1: A = U1 B V1^T with B upper bidiagonal, diagonal w[1..n], super-diagonal e[2..n]
// (e[i] couples columns i-1 and i; e[1] = 0). Each reflector is I - u u^T / H built from
// the scaled part x of a column or row: alpha = -sign(x_1) |x|, u = x - alpha e_1 and
// H = |x|^2 - x_1 alpha = -alpha u_1. The left reflector of step i is kept in
// column i of a (rows i..m), the right one in row i of a (columns i+1..n). Returns the
// largest |w[i]| + |e[i]|, the scale of the negligibility tests.
template <class T>
T bidiagonalize(T** a, int m, int n, T* w, T* e)
{
    T norm = 0;
    T nextSuper = 0;
    for (int i = 1; i <= n; ++i) {
        e[i] = nextSuper;
        nextSuper = 0;
        w[i] = 0;
        if (i <= m) {
            T scale = 0;
            for (int k = i; k <= m; ++k) scale += std::fabs(a[k][i]);
            if (scale != 0) {
                T sigma = 0;
                for (int k = i; k <= m; ++k) {
                    a[k][i] /= scale;
                    sigma += a[k][i] * a[k][i];
                }
                T f = a[i][i];
                T alpha = f >= 0 ? -std::sqrt(sigma) : std::sqrt(sigma);
                T minusH = f * alpha - sigma;
                a[i][i] = f - alpha;
                for (int j = i + 1; j <= n; ++j) {
                    T s = 0;
                    for (int k = i; k <= m; ++k) s += a[k][i] * a[k][j];
                    T factor = s / minusH;
                    for (int k = i; k <= m; ++k) a[k][j] += factor * a[k][i];
                }
                for (int k = i; k <= m; ++k) a[k][i] *= scale;
                w[i] = scale * alpha;
            }
            if (i != n) {
                scale = 0;
                for (int k = i + 1; k <= n; ++k) scale += std::fabs(a[i][k]);
                if (scale != 0) {
                    T sigma = 0;
                    for (int k = i + 1; k <= n; ++k) {
                        a[i][k] /= scale;
                        sigma += a[i][k] * a[i][k];
                    }
                    T f = a[i][i + 1];
                    T alpha = f >= 0 ? -std::sqrt(sigma) : std::sqrt(sigma);
                    T minusH = f * alpha - sigma;
                    a[i][i + 1] = f - alpha;
                    for (int j = i + 1; j <= m; ++j) {
                        T s = 0;
                        for (int k = i + 1; k <= n; ++k) s += a[j][k] * a[i][k];
                        T factor = s / minusH;
                        for (int k = i + 1; k <= n; ++k) a[j][k] += factor * a[i][k];
                    }
                    for (int k = i + 1; k <= n; ++k) a[i][k] *= scale;
                    nextSuper = scale * alpha;
                }
            }
        }
        T size = std::fabs(w[i]) + std::fabs(e[i]);
        if (size > norm) norm = size;
    }
    return norm;
}

// Phase 2: V1 = R_1 R_2 ... from the right reflectors kept in the rows of a. For row i the
// reflector has u = a[i][i+1..n] and H = -alpha u_{i+1} with alpha = e[i+1]; column i of v
// serves as scratch for -u / H.
template <class T>
void accumulateRight(T** a, int n, T* e, T** v)
{
    for (int i = n; i >= 1; --i) {
        if (i < n) {
            T alpha = e[i + 1];
            if (alpha != 0) {
                for (int j = i + 1; j <= n; ++j) v[j][i] = (a[i][j] / a[i][i + 1]) / alpha;
                for (int j = i + 1; j <= n; ++j) {
                    T s = 0;
                    for (int k = i + 1; k <= n; ++k) s += a[i][k] * v[k][j];
                    for (int k = i + 1; k <= n; ++k) v[k][j] += s * v[k][i];
                }
            }
            for (int j = i + 1; j <= n; ++j) v[i][j] = v[j][i] = 0;
        }
        v[i][i] = 1;
    }
}

// Phase 3: U1 = L_1 L_2 ... built in place of a from the left reflectors kept in its
// columns, from the last one back. Column i of L_i applied to e_i is e_i + u / alpha.
template <class T>
void accumulateLeft(T** a, int m, int n, T* w)
{
    for (int i = (m < n ? m : n); i >= 1; --i) {
        T alpha = w[i];
        for (int j = i + 1; j <= n; ++j) a[i][j] = 0;
        if (alpha != 0) {
            T inv = 1 / alpha;
            for (int j = i + 1; j <= n; ++j) {
                T s = 0;
                for (int k = i + 1; k <= m; ++k) s += a[k][i] * a[k][j];
                T factor = (s / a[i][i]) * inv;
                for (int k = i; k <= m; ++k) a[k][j] += factor * a[k][i];
            }
            for (int j = i; j <= m; ++j) a[j][i] *= inv;
        } else {
            for (int j = i; j <= m; ++j) a[j][i] = 0;
        }
        a[i][i] += 1;
    }
}

template <class T>
inline void rotateColumns(T** x, int rows, int j, int i, T c, T s)
{
    for (int r = 1; r <= rows; ++r) {
        T xj = x[r][j];
        T xi = x[r][i];
        x[r][j] = c * xj + s * xi;
        x[r][i] = c * xi - s * xj;
    }
}

template <class T>
inline void givens(T f, T g, T& c, T& s, T& r)
{
    r = hypotenuse(f, g);
    if (r == 0) {
        c = 1;
        s = 0;
    } else {
        c = f / r;
        s = g / r;
    }
}

// Phase 4: diagonalisation of B by implicit-shift QR steps (Golub-Kahan), working from
// the bottom singular value up. The rotations from the right go into v, those from the left
// into the columns of a (U).
template <class T>
void diagonalizeBidiagonal(T** a, int m, int n, T* w, T* e, T** v, T norm)
{
    for (int k = n; k >= 1; --k) {
        for (int iteration = 1;; ++iteration) {
            // Find the top l of the unreduced block l..k: e[l] negligible (e[1] always is),
            // or w[l-1] negligible, in which case e[l] is chased out by rotations from the
            // left against the rows l..k.
            int l = k;
            bool chaseOut = false;
            for (; l >= 1; --l) {
                if (std::fabs(e[l]) + norm == norm) break;
                if (std::fabs(w[l - 1]) + norm == norm) {
                    chaseOut = true;
                    break;
                }
            }
            if (chaseOut) {
                int top = l - 1;
                T c = 0;
                T s = 1;
                for (int i = l; i <= k; ++i) {
                    T f = s * e[i];
                    e[i] = c * e[i];
                    if (std::fabs(f) + norm == norm) break;
                    T g = w[i];
                    T h = hypotenuse(f, g);
                    w[i] = h;
                    c = g / h;
                    s = -f / h;
                    rotateColumns(a, m, top, i, c, s);
                }
            }
            if (l == k) {
                if (w[k] < 0) {
                    w[k] = -w[k];
                    for (int j = 1; j <= n; ++j) v[j][k] = -v[j][k];
                }
                break;
            }
            if (iteration > 30) nrerror("no convergence in 30 svdcmp iterations");

            // Wilkinson shift: the eigenvalue of the trailing 2x2 block of B^T B (over
            // l..k) closer to its last diagonal entry, computed on values scaled by their
            // largest magnitude so that the squares neither overflow nor underflow.
            int km = k - 1;
            T scale = std::fabs(w[l]);
            T candidates[5] = {std::fabs(w[km]), std::fabs(w[k]), std::fabs(e[k]), std::fabs(e[l + 1]),
                               km > l ? std::fabs(e[km]) : static_cast<T>(0)};
            for (T x : candidates)
                if (x > scale) scale = x;
            T wkm = w[km] / scale;
            T wk = w[k] / scale;
            T ek = e[k] / scale;
            T ekm = km > l ? e[km] / scale : static_cast<T>(0);
            T t11 = wkm * wkm + ekm * ekm;
            T t22 = wk * wk + ek * ek;
            T t12 = wkm * ek;
            T delta = (t11 - t22) / 2;
            T root = hypotenuse(delta, t12);
            T mu = root == 0 ? t22 : t22 - t12 * t12 / (delta + std::copysign(root, delta));
            T wl = w[l] / scale;
            T f = wl * wl - mu;
            T g = wl * (e[l + 1] / scale);

            // Chase the bulge down the block.
            for (int j = l; j < k; ++j) {
                int i = j + 1;
                T c, s, r;
                givens(f, g, c, s, r);
                if (j > l) e[j] = r;
                T bjj = c * w[j] + s * e[i];
                T bji = c * e[i] - s * w[j];
                T bij = s * w[i];
                T bii = c * w[i];
                rotateColumns(v, n, j, i, c, s);
                givens(bjj, bij, c, s, r);
                w[j] = r;
                e[i] = c * bji + s * bii;
                w[i] = c * bii - s * bji;
                f = e[i];
                if (i < k) {
                    g = s * e[i + 1];
                    e[i + 1] = c * e[i + 1];
                }
                rotateColumns(a, m, j, i, c, s);
            }
            e[l] = 0;
        }
    }
}

template <class T>
void singularValueDecomposition(T** a, int m, int n, T* w, T** v)
{
    T* e = workVector(static_cast<T*>(nullptr), n);
    T norm = bidiagonalize(a, m, n, w, e);
    accumulateRight(a, n, e, v);
    accumulateLeft(a, m, n, w);
    diagonalizeBidiagonal(a, m, n, w, e, v, norm);
    releaseWorkVector(e, n);
}

}  // namespace

void svdcmp(float** a, int m, int n, float* w, float** v) { singularValueDecomposition(a, m, n, w, v); }
void svdcmp(double** a, int m, int n, double* w, double** v) { singularValueDecomposition(a, m, n, w, v); }

float pythag(float a, float b) { return hypotenuse(a, b); }
double pythag(double a, double b) { return hypotenuse(a, b); }
