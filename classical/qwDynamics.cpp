// Velocity of community change and its correlations; Markov chain models of relevé series.
#include "classical/qwDynamics.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/core/qwlibUtil.h"
#include "statistics/qwlibRes.h"

const double kLargestFloatVelocity = FLT_MAX;
// Below the largest float printed with a single significant digit (3e+38).
const double kUndefinedVelocity = 1e38;

namespace {

// Buffers of the velocity correlations, allocated once for the observed series and every
// permutation.
struct CorrelationWorkspace {
    explicit CorrelationWorkspace(int pairs)
        : v(pairs), x(pairs), list(pairs) {}
    std::vector<float> v, x;  // the defined pairs of one correlation
    std::vector<int> list;    // a random order of the velocities
};

// Pearson r of the velocities vel[a .. a+len-1] with the paired values px[a ..], the pairs of
// undefined velocity left out.
double PairCorrelation(const float* vel, const float* px, int a, int len, CorrelationWorkspace& ws) {
    int m = 0;
    for (int i = a; i < a + len; i++) {
        if (vel[i] >= kUndefinedVelocity) continue;
        ws.v[m] = vel[i];
        ws.x[m++] = px[i];
    }
    return Correlation2Vec(m, ws.v.data(), ws.x.data());
}

// Every correlation of one order of the velocities: r[s] overall, rw[s][k] per window.
void AllCorrelations(int pairs, int w, int windows, const float* vel, const std::vector<float>* paired,
                     CorrelationWorkspace& ws, double* r, std::vector<double>* rw) {
    for (int s = 0; s < 3; s++) {
        r[s] = PairCorrelation(vel, paired[s].data(), 0, pairs, ws);
        for (int k = 0; k < windows; k++) rw[s][k] = PairCorrelation(vel, paired[s].data(), k, w, ws);
    }
}

// A random value counts when it is at least the observed one in absolute value.
bool Counts(double random, double observed) { return IsLargerThanOrEqual(random, observed, 1, true); }

// The sums of the matrices of gains and losses of the pairs (t, t + lag), over A (p x p, zeroed
// first), divided by their number; rows then scaled to unit sum.
void FitLag(int n, int p, int lag, double** x, const double* totals, double** A) {
    for (int i = 0; i < p; i++)
        for (int j = 0; j < p; j++) A[i][j] = 0.0;
    const int pairs = n - lag;
    for (int t = 0; t < pairs; t++) {
        const double* later = x[t + lag];
        const double total = totals[t + lag];
        for (int i = 0; i < p; i++) {
            const double d = later[i] - x[t][i];
            A[i][i] += later[i];
            // An empty later relevé shares nothing out: only its diagonal counts.
            if (!(total > 0.0)) continue;
            const double share = std::fabs(d) / total;
            for (int j = 0; j < p; j++) {
                if (j == i) continue;
                if (d < 0.0)
                    A[i][j] += later[j] * share;  // i loses to j
                else
                    A[j][i] += later[j] * share;  // i gains from j
            }
        }
    }
    if (pairs > 0)
        for (int i = 0; i < p; i++)
            for (int j = 0; j < p; j++) A[i][j] /= pairs;
    UnitSumRowsAdj(p, p, A, A);
}

void FitAllLags(int n, int p, int maxLag, double** x, double*** A, double* totals) {
    RowTotals(n, p, x, totals);
    for (int l = 1; l <= maxLag; l++) FitLag(n, p, l, x, totals, A[l - 1]);
}

// Buffers of the Markovity test, allocated once before the iterations.
struct MarkovWorkspace {
    MarkovWorkspace(int n, int p, int maxLag)
        : n(n), p(p), maxLag(maxLag),
          order(reinterpret_cast<double**>(dim2D(sizeof(double), n, p))),
          projected(reinterpret_cast<double**>(dim2D(sizeof(double), n, p))),
          dOrder(reinterpret_cast<double**>(dim2D(sizeof(double), n, n))),
          dProjected(reinterpret_cast<double**>(dim2D(sizeof(double), n, n))),
          A(reinterpret_cast<double***>(dim3D(sizeof(double), maxLag, p, p))),
          totals(static_cast<size_t>(n)), list(static_cast<size_t>(n)) {}
    ~MarkovWorkspace() {
        free2D(order, n);
        free2D(projected, n);
        free2D(dOrder, n);
        free2D(dProjected, n);
        free3D(A, maxLag, p);
    }
    MarkovWorkspace(const MarkovWorkspace&) = delete;
    MarkovWorkspace& operator=(const MarkovWorkspace&) = delete;
    int n, p, maxLag;
    double** order;       // the relevés in the order of the iteration
    double** projected;   // their projection at one lag
    double** dOrder;      // Euclidean distances of the ordered relevés
    double** dProjected;  // and of the projected rows
    double*** A;
    std::vector<double> totals;
    std::vector<int> list;
};

// Kruskal's stress of each lag for the relevés in ws.order.
void StressOfOrder(MarkovWorkspace& ws, double* K) {
    const int n = ws.n, p = ws.p;
    FitAllLags(n, p, ws.maxLag, ws.order, ws.A, ws.totals.data());
    EucliDist(n, p, ws.order, ws.dOrder);
    for (int l = 1; l <= ws.maxLag; l++) {
        for (int i = 0; i < l && i < n; i++)
            for (int k = 0; k < p; k++) ws.projected[i][k] = ws.order[i][k];
        ProjectMarkov(n, p, l, ws.A[l - 1], ws.projected);
        EucliDist(n, p, ws.projected, ws.dProjected);
        K[l - 1] = MatrixStressKruskal(n, ws.dOrder, ws.dProjected);
    }
}

}  // namespace

void VelocitySeries(int n, double** r, const float* t, double* v) {
    for (int i = 0; i + 1 < n; i++) {
        const double dt = std::fabs(static_cast<double>(t[i + 1]) - t[i]);
        v[i] = dt == 0.0 ? kLargestFloatVelocity : r[i][i + 1] / dt;
    }
}

void CorrelateVelocity(int n, const float* v, const float* t, float* const X[3], int option, int w, int nPerm,
                       VelocityCorrelations* out) {
    const int pairs = n > 1 ? n - 1 : 0;
    const int windows = w >= 1 && w <= pairs ? n - w : 0;
    // The values and times set beside each pair.
    std::vector<float> paired[3], pairTime(static_cast<size_t>(pairs));
    for (int s = 0; s < 3; s++) {
        paired[s].resize(static_cast<size_t>(pairs));
        for (int i = 0; i < pairs; i++)
            paired[s][i] = option == 2 ? X[s][i + 1] : option == 3 ? (X[s][i] + X[s][i + 1]) / 2.0f : X[s][i];
    }
    for (int i = 0; i < pairs; i++)
        pairTime[i] = option == 2 ? t[i + 1] : option == 3 ? (t[i] + t[i + 1]) / 2.0f : t[i];

    out->windowTime.assign(static_cast<size_t>(windows), 0.0);
    for (int k = 0; k < windows; k++) {
        double sum = 0.0;
        for (int i = k; i < k + w; i++) sum += pairTime[i];
        out->windowTime[k] = sum / w;
    }
    for (int s = 0; s < 3; s++) {
        out->rWindow[s].assign(static_cast<size_t>(windows), 0.0);
        out->pWindow[s].assign(static_cast<size_t>(windows), 1.0);
        out->p[s] = 1.0;
    }
    CorrelationWorkspace ws(pairs);
    AllCorrelations(pairs, w, windows, v, paired, ws, out->r, out->rWindow);

    out->permutations = nPerm >= 1 ? nPerm : 1;
    if (nPerm < 2 || pairs < 1) return;
    std::vector<float> shuffled(static_cast<size_t>(pairs));
    double count[3] = {1, 1, 1}, r[3];
    std::vector<double> countWindow[3], rw[3];
    for (int s = 0; s < 3; s++) {
        countWindow[s].assign(static_cast<size_t>(windows), 1.0);
        rw[s].assign(static_cast<size_t>(windows), 0.0);
    }
    char progress[64];
    for (int it = 1; it < nPerm; it++) {
        std::snprintf(progress, sizeof progress, "Randomization iteration: %d %d", it, nPerm);
        HandleEventInfoWhere2(progress);
        RndList(pairs, ws.list.data());
        for (int i = 0; i < pairs; i++) shuffled[i] = v[ws.list[i] - 1];
        AllCorrelations(pairs, w, windows, shuffled.data(), paired, ws, r, rw);
        for (int s = 0; s < 3; s++) {
            count[s] += Counts(r[s], out->r[s]);
            for (int k = 0; k < windows; k++) countWindow[s][k] += Counts(rw[s][k], out->rWindow[s][k]);
        }
    }
    for (int s = 0; s < 3; s++) {
        out->p[s] = count[s] / nPerm;
        for (int k = 0; k < windows; k++) out->pWindow[s][k] = countWindow[s][k] / nPerm;
    }
}

void FitMarkov(int n, int p, int maxLag, double** x, double*** A) {
    std::vector<double> totals(static_cast<size_t>(n > 0 ? n : 0));
    FitAllLags(n, p, maxLag, x, A, totals.data());
}

void ProjectMarkov(int rows, int p, int lag, double** A, double** M) {
    // Each row is projected from the row one lag before it, itself already projected.
    for (int k = 0; k + lag < rows; k++) MatrixProd(1, p, p, p, &M[k], A, &M[k + lag]);
}

void ConsecutiveDistances(int rows, int p, double** M, double* d) {
    for (int j = 0; j + 1 < rows; j++) d[j] = std::sqrt(EucliDistSq2Vec(p, M[j], M[j + 1]));
}

void TestMarkovity(int n, int p, int maxLag, double** x, int iterations, MarkovityTest* out) {
    out->K.assign(static_cast<size_t>(maxLag), 0.0);
    out->P.assign(static_cast<size_t>(maxLag), 1.0);
    out->meanNull.assign(static_cast<size_t>(maxLag), 0.0);
    if (n < 3 || iterations < 2 || maxLag < 1) return;
    MarkovWorkspace ws(n, p, maxLag);
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) ws.order[i][k] = x[i][k];
    StressOfOrder(ws, out->K.data());

    std::vector<double> count(static_cast<size_t>(maxLag), 1.0), sum(static_cast<size_t>(maxLag), 0.0),
        K(static_cast<size_t>(maxLag), 0.0);
    char progress[64];
    for (int it = 1; it < iterations; it++) {
        std::snprintf(progress, sizeof progress, "Randomization iteration: %d %d", it, iterations);
        HandleEventInfoWhere2(progress);
        RndList(n, ws.list.data());
        for (int i = 0; i < n; i++)
            for (int k = 0; k < p; k++) ws.order[i][k] = x[ws.list[i] - 1][k];
        StressOfOrder(ws, K.data());
        for (int l = 0; l < maxLag; l++) {
            count[l] += IsLargerThanOrEqual(out->K[l], K[l], 1, false);
            sum[l] += K[l];
        }
    }
    for (int l = 0; l < maxLag; l++) {
        out->P[l] = count[l] / iterations;
        out->meanNull[l] = sum[l] / (iterations - 1);
    }
}
