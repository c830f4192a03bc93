// Agglomerative hierarchical clustering: linkage methods, sums of squares (free and restricted
// to linked groups), centroid clustering into a flat array, hierarchical factorial clustering,
// and the fusion records they write.
#include "matrix/qwlibCluster.h"

#include <cfloat>
#include <cmath>
#include <vector>

#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "statistics/qwlibRes.h"

namespace {

// Cell (i, j) of a matrix live in its upper triangle, i != j.
template <class T>
inline T& Upper(T** W, int i, int j) {
    return i < j ? W[i][j] : W[j][i];
}

template <class T>
bool FiniteUpper(int n, T** m) {
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++)
            if (!std::isfinite(m[i][j])) return false;
    return true;
}

// A copy of the upper triangle of `in` (n x n, allocated here, freed with free2D).
template <class T, class F>
T** CopyUpper(int n, T** in, F transform) {
    T** W = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), n, n)));
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) W[i][j] = transform(in[i][j]);
    return W;
}

// Removes group b from the m x m working matrix: row b moves to the end (its storage is kept,
// so that every row is freed at the end), the later rows move up, and column b leaves every row.
template <class T>
void DropRowAndColumn(int m, int b, T** W) {
    T* row = W[b];
    for (int i = b; i < m - 1; i++) W[i] = W[i + 1];
    W[m - 1] = row;
    for (int i = 0; i < m - 1; i++)
        for (int j = b; j < m - 1; j++) W[i][j] = W[i][j + 1];
}

// Group sizes after a fusion of a and b: a holds both, the sizes after b move up.
void FuseSizes(int m, int* size, int a, int b) {
    size[a] += size[b];
    for (int k = b; k < m - 1; k++) size[k] = size[k + 1];
}

// The best pair a < b of m groups by value(a, b): the smallest (minimum) or the largest,
// comparing strictly so that the first of equal values in row order wins. Only the pairs that
// allowed(a, b) admits are considered; when it admits none, every pair is. The search starts at
// the first pair considered, so a group is never paired with itself.
template <class Value, class Allowed>
void BestPair(int m, bool minimum, Value value, Allowed allowed, int* pa, int* pb) {
    for (int pass = 0; pass < 2; pass++) {
        bool found = false;
        double best = 0;
        for (int a = 0; a < m; a++)
            for (int b = a + 1; b < m; b++) {
                if (pass == 0 && !allowed(a, b)) continue;
                double v = value(a, b);
                if (!found || (minimum ? v < best : v > best)) {
                    best = v;
                    *pa = a;
                    *pb = b;
                    found = true;
                }
            }
        if (found) return;
    }
}

template <class Value>
void BestPair(int m, bool minimum, Value value, int* pa, int* pb) {
    BestPair(m, minimum, value, [](int, int) { return true; }, pa, pb);
}

// Member lists of the current groups, 1-based object numbers; a fusion appends b's list to a's
// and removes b.
struct Members {
    std::vector<std::vector<int>> of;
    explicit Members(int n) : of(n) {
        for (int i = 0; i < n; i++) of[i] = {i + 1};
    }
    // Fuses b into a and writes the record's member fields.
    void Fuse(int a, int b, clusterReport& rec, bool compact = true) {
        rec.splitObject = of[a].back();
        of[a].insert(of[a].end(), of[b].begin(), of[b].end());
        if (compact)
            of.erase(of.begin() + b);
        else
            of[b].clear();
        rec.nMembers = static_cast<int>(of[a].size());
        for (int t = 0; t < rec.nMembers; t++) rec.members[t] = of[a][t];
    }
};

template <class T>
void LinkageFusionT(int m, int* size, int a, int b, T** W, bool isDistance, int method) {
    const int sa = size[a], sb = size[b];
    for (int k = 0; k < m; k++) {
        if (k == a || k == b) continue;
        T x = Upper(W, k, a), y = Upper(W, k, b), v;
        switch (method) {
            case 1: v = isDistance ? Fmin(x, y) : Fmax(x, y); break;
            case 2: v = isDistance ? Fmax(x, y) : Fmin(x, y); break;
            case 4: v = (T(sb) * y + T(sa) * x) / T(sa + sb); break;
            case 5: v = (x + y) * T(0.5); break;
            default: continue;
        }
        Upper(W, k, a) = v;
    }
    DropRowAndColumn(m, b, W);
    FuseSizes(m, size, a, b);
}

template <class T>
void FusionMatrixT(int m, int* size, int a, int b, T** W, bool isDistance) {
    const T na = T(size[a]), nb = T(size[b]), nn = T(size[a] + size[b]);
    const T c = -(na * nb) / (nn * nn);
    const T d = Upper(W, a, b);
    const T term = isDistance ? d * c : -((T(1) - d) * c);
    for (int k = 0; k < m; k++) {
        if (k == a || k == b) continue;
        Upper(W, k, a) = Upper(W, k, b) * nb / nn + Upper(W, k, a) * na / nn + term;
    }
    DropRowAndColumn(m, b, W);
    FuseSizes(m, size, a, b);
}

template <class T>
bool LinkageClusterT(int n, T** rese, clusterReport* rep, bool isDistance, bool squared,
                     int method, bool copy) {
    if (n < 2 || !FiniteUpper(n, rese)) return false;
    T** W = copy ? CopyUpper(n, rese, [](T v) { return v; }) : rese;
    // The averaging methods average distances, not squared distances.
    if ((method == 4 || method == 5) && isDistance && squared) {
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) W[i][j] = std::sqrt(W[i][j]);
        squared = false;
    }
    std::vector<int> size(n, 1);
    Members members(n);
    for (int t = 0; t < n - 1; t++) {
        const int m = n - t;
        int a = 0, b = 1;
        BestPair(m, isDistance, [&](int i, int j) { return double(W[i][j]); }, &a, &b);
        T v = W[a][b];
        rep[t].level = (isDistance && squared) ? std::sqrt(double(v)) : double(v);
        members.Fuse(a, b, rep[t]);
        LinkageFusionT(m, size.data(), a, b, W, isDistance, method);
    }
    if (copy) free2D(W, n);
    return true;
}

// Sums of squares, free (link null) or restricted to linked groups. SS and the levels are kept
// in T, so that the float form records single-precision values.
template <class T>
bool SumSqClusterT(int n, T** D, int** link, clusterReport* rep, bool squared) {
    if (n < 2 || !FiniteUpper(n, D)) return false;
    auto sq = [squared](T v) { return squared ? v : T(v * v); };
    T** W = CopyUpper(n, D, sq);
    int** L = link ? CopyUpper(n, link, [](int v) { return v; }) : nullptr;
    std::vector<int> size(n, 1);
    std::vector<T> SS(n, T(0));
    Members members(n);
    for (int t = 0; t < n - 1; t++) {
        const int m = n - t;
        int a = 0, b = 1;
        auto crit = [&](int i, int j) { return ((W[i][j] * T(size[i])) * T(size[j])) / T(size[j] + size[i]); };
        BestPair(m, true, [&](int i, int j) { return double(crit(i, j)); },
                 [&](int i, int j) { return L == nullptr || L[i][j] != 0; }, &a, &b);
        const T ownA = SS[a] / T(size[a]), ownB = SS[b] / T(size[b]);
        T fused = SS[a] + SS[b];
        for (int i : members.of[a])
            for (int j : members.of[b]) fused += sq(Upper(D, i - 1, j - 1));
        const T level = fused / T(size[a] + size[b]);
        rep[t].level = double(level);
        rep[t].criterion = double(crit(a, b));
        rep[t].branchFirst = double(level) - double(ownA);
        rep[t].branchSecond = double(level) - double(ownB);
        members.Fuse(a, b, rep[t]);
        SS[a] = fused;
        SS.erase(SS.begin() + b);
        if (L) TopologyFusion(m, size.data(), a, b, L);
        FusionMatrixT(m, size.data(), a, b, W, true);
    }
    free2D(W, n);
    if (L) free2D(L, n);
    return true;
}

template <class T>
bool AvLinkClusterT(int n, T** rese, T* out, bool isDistance, bool squared) {
    if (n < 2 || !FiniteUpper(n, rese)) return false;
    T** W = CopyUpper(n, rese, [&](T v) { return (isDistance && !squared) ? T(v * v) : v; });
    std::vector<int> size(n, 1);
    Members members(n);
    clusterReport rec{};
    std::vector<int> fused(n);
    rec.members = fused.data();
    int at = 0;
    for (int t = 0; t < n - 1; t++) {
        const int m = n - t;
        int a = 0, b = 1;
        BestPair(m, isDistance, [&](int i, int j) { return double(W[i][j]); }, &a, &b);
        T v = W[a][b];
        out[at++] = isDistance ? std::sqrt(v) : v;
        out[at++] = T(size[a] + size[b]);
        members.Fuse(a, b, rec);
        for (int k = 0; k < rec.nMembers; k++) out[at++] = T(fused[k]);
        FusionMatrixT(m, size.data(), a, b, W, isDistance);
    }
    free2D(W, n);
    return true;
}

// Rounds a recorded value to single precision when the float form runs.
template <bool Single>
inline double Keep(double v) {
    return Single ? double(float(v)) : v;
}

// One pair's eigen-analysis as the hierarchical factorial clustering keeps it.
struct PairEigen {
    double larger = 0, smaller = 0, vec1[2] = {0, 0}, vec2[2] = {0, 0};
};

template <class T, bool Single>
bool HierFactorialT(int n, int p, T** data, clusterReport* rep) {
    if (n < 2) return false;
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++)
            if (!std::isfinite(data[i][k])) return false;
    double** X = dim2Double(n, p);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) X[i][k] = double(data[i][k]);
    CenterRowsMV(n, p, X, X);
    NormalizeRowsMV(n, p, X, X);
    std::vector<std::vector<PairEigen>> E(n, std::vector<PairEigen>(n));
    auto analyse = [&](int i, int j) {
        PairEigen& e = E[i][j];
        HierFactorialEigen(p, X[i], X[j], &e.larger, &e.smaller, e.vec1, e.vec2);
    };
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) analyse(i, j);
    std::vector<char> active(n, 1);
    Members members(n);
    for (int t = 0; t < n - 1; t++) {
        int a = 0, b = 1;
        BestPair(n, true, [&](int i, int j) { return E[i][j].smaller; },
                 [&](int i, int j) { return active[i] && active[j]; }, &a, &b);
        active[b] = 0;
        clusterReport& rec = rep[t];
        members.Fuse(a, b, rec, false);
        const PairEigen& e = E[a][b];
        rec.level = Keep<Single>(e.smaller);
        rec.criterion = Keep<Single>(e.larger);
        for (int c = 0; c < 2; c++) {
            rec.eigenVector1[c] = Keep<Single>(e.vec1[c]);
            rec.eigenVector2[c] = Keep<Single>(e.vec2[c]);
        }
        for (int k = 0; k < p; k++) {
            if (IsMissing(X[a][k]) || IsMissing(X[b][k])) {
                // The fused group has no score where either part is missing.
                X[a][k] = MissingValue;
                continue;
            }
            rec.factorScores1[k] = Keep<Single>(X[a][k] * e.vec1[0] + X[b][k] * e.vec1[1]);
            rec.factorScores2[k] = Keep<Single>(X[a][k] * e.vec2[0] + X[b][k] * e.vec2[1]);
            X[a][k] = rec.factorScores1[k];
        }
        for (int k = 0; k < n; k++)
            if (k != a && active[k]) k < a ? analyse(k, a) : analyse(a, k);
    }
    free2D(X, n);
    return true;
}

template <class T, class R>
bool HierFactorialEigenT(int p, T* x, T* y, R* larger, R* smaller, R* vec1, R* vec2) {
    double** C = dim2Double(2, 2);
    double** vec = dim2Double(2, 2);
    double val[2];
    C[0][0] = CrossProduct2VecMV(p, x, x);
    C[0][1] = C[1][0] = CrossProduct2VecMV(p, x, y);
    C[1][1] = CrossProduct2VecMV(p, y, y);
    bool ok = EigenHouseholderQL_GSL_D(2, C, vec, val);
    *smaller = R(val[1]);
    if (larger) *larger = R(val[0]);
    for (int c = 0; c < 2; c++) {
        if (vec1) vec1[c] = R(vec[0][c]);
        if (vec2) vec2[c] = R(vec[1][c]);
    }
    free2D(C, 2);
    free2D(vec, 2);
    return ok;
}

}  // namespace

bool LinkageCluster(int n, float** rese, clusterReport* rep, bool isDistance, bool squared,
                    int method, bool copy) {
    return LinkageClusterT(n, rese, rep, isDistance, squared, method, copy);
}
bool LinkageCluster(int n, double** rese, clusterReport* rep, bool isDistance, bool squared,
                    int method, bool copy) {
    return LinkageClusterT(n, rese, rep, isDistance, squared, method, copy);
}

void LinkageFusion(int m, int* size, int a, int b, float** W, bool isDistance, int method) {
    LinkageFusionT(m, size, a, b, W, isDistance, method);
}
void LinkageFusion(int m, int* size, int a, int b, double** W, bool isDistance, int method) {
    LinkageFusionT(m, size, a, b, W, isDistance, method);
}

bool SumSqCluster(int n, float** D, clusterReport* rep, bool squared) {
    return SumSqClusterT(n, D, nullptr, rep, squared);
}
bool SumSqCluster(int n, double** D, clusterReport* rep, bool squared) {
    return SumSqClusterT(n, D, nullptr, rep, squared);
}

void FusionMatrix(int m, int* size, int a, int b, float** W, bool isDistance) {
    FusionMatrixT(m, size, a, b, W, isDistance);
}
void FusionMatrix(int m, int* size, int a, int b, double** W, bool isDistance) {
    FusionMatrixT(m, size, a, b, W, isDistance);
}

bool SumSqClusterRestrained(int n, float** D, int** link, clusterReport* rep, bool squared) {
    return SumSqClusterT(n, D, link, rep, squared);
}
bool SumSqClusterRestrained(int n, double** D, int** link, clusterReport* rep, bool squared) {
    return SumSqClusterT(n, D, link, rep, squared);
}

void TopologyFusion(int m, int* /*size*/, int a, int b, int** link) {
    for (int k = 0; k < m; k++)
        if (k != a && k != b) Upper(link, k, a) = Fmax(Upper(link, k, a), Upper(link, k, b));
    DropRowAndColumn(m, b, link);
}

bool AvLinkCluster(int n, float** rese, float* out, bool isDistance, bool squared) {
    return AvLinkClusterT(n, rese, out, isDistance, squared);
}
bool AvLinkCluster(int n, double** rese, double* out, bool isDistance, bool squared) {
    return AvLinkClusterT(n, rese, out, isDistance, squared);
}

bool HierFactorialClustering(int n, int p, float** data, clusterReport* rep) {
    return HierFactorialT<float, true>(n, p, data, rep);
}
bool HierFactorialClustering(int n, int p, double** data, clusterReport* rep) {
    return HierFactorialT<double, false>(n, p, data, rep);
}

bool HierFactorialEigen(int p, double* x, double* y, double* larger, double* smaller,
                        double* vec1, double* vec2) {
    return HierFactorialEigenT(p, x, y, larger, smaller, vec1, vec2);
}
bool HierFactorialEigen(int p, float* x, float* y, double* larger, double* smaller,
                        double* vec1, double* vec2) {
    return HierFactorialEigenT(p, x, y, larger, smaller, vec1, vec2);
}
bool HierFactorialEigen(int p, float* x, float* y, float* larger, float* smaller, float* vec1,
                        float* vec2) {
    return HierFactorialEigenT(p, x, y, larger, smaller, vec1, vec2);
}

ClusterNode* NewNode(int value) { return new ClusterNode{value, nullptr, nullptr, nullptr, 0.0}; }
