// Group test statistics (F sum, likelihood ratio, MRPP, ANOSIM), beta and logistic response
// curves, the nearest-neighbour resemblance within communities with its permutation test,
// beta divergence, the Mantel probability and the partial correlation.
#include "matrix/qwlib.h"

#include "foundation/iflibG.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "statistics/qwlibRes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

namespace {

// The groups of a labelling as the distinct label values, into the work space: column[i] is the
// position of object i's label among them (ascending), size[k] the number of objects of group k.
// Returns the number of groups.
int GroupsOfLabels(int n, const int* labels, GroupStatWorkspace& ws)
{
    std::copy(labels, labels + n, ws.distinct);
    std::sort(ws.distinct, ws.distinct + n);
    const int g = int(std::unique(ws.distinct, ws.distinct + n) - ws.distinct);
    std::fill(ws.size, ws.size + g, 0);
    for (int i = 0; i < n; i++) {
        const int k = int(std::lower_bound(ws.distinct, ws.distinct + g, labels[i]) - ws.distinct);
        ws.column[i] = k;
        ws.size[k]++;
    }
    return g;
}

// Per-variable sums of squares of a one-way layout: total, and within the groups.
struct OneWay {
    double sst;
    double ssw;
};

OneWay SumsOfSquares(int n, int j, double** X, int g, const int* column, const int* size,
                     double* groupMean)
{
    double mean = 0.0;
    for (int i = 0; i < n; i++) mean += X[i][j];
    mean /= n;
    for (int k = 0; k < g; k++) groupMean[k] = 0.0;
    for (int i = 0; i < n; i++) groupMean[column[i]] += X[i][j];
    for (int k = 0; k < g; k++) groupMean[k] /= size[k];
    OneWay s{0.0, 0.0};
    for (int i = 0; i < n; i++) {
        double d = X[i][j] - mean;
        double w = X[i][j] - groupMean[column[i]];
        s.sst += d * d;
        s.ssw += w * w;
    }
    return s;
}

// Shared body of F_SUM (fRatio) and LR_IND.
double GroupStatistic(int n, int p, int* groups, double** X, bool fRatio, GroupStatWorkspace& ws)
{
    if (n < 1 || p < 1) return 0.0;
    if (ws.capacity < n) {
        GroupStatWorkspace own(n);
        return GroupStatistic(n, p, groups, X, fRatio, own);
    }
    const int g = GroupsOfLabels(n, groups, ws);
    double sum = 0.0;
    for (int j = 0; j < p; j++) {
        OneWay s = SumsOfSquares(n, j, X, g, ws.column, ws.size, ws.groupMean);
        if (!(s.ssw > 0.0)) continue;
        if (fRatio) {
            // With one group there is no between-group variation to test (g - 1 = 0).
            if (g < 2) continue;
            double ssb = s.sst - s.ssw;
            sum += (ssb / (g - 1)) / (s.ssw / (n - g));
        } else {
            sum += n * std::log(s.sst / s.ssw);
        }
    }
    return sum;
}

// Nearest present neighbour of species i in community row w (present: > 0), or -1 when none
// is found: every candidate NaN or infinite, or no similarity above 0.
template <class TW, class TR>
int NearestNeighbour(int n, const TW* w, TR** rese, int i, bool isDistance)
{
    int best = -1;
    TR bestValue = isDistance ? TR(FLT_MAX) : TR(0);
    for (int j = 0; j < n; j++) {
        if (j == i || !(w[j] > 0)) continue;
        TR v = rese[i][j];
        if (!std::isfinite(v)) continue;  // a NaN or infinite resemblance names no neighbour
        if (isDistance ? (v < bestValue) : (v > bestValue)) {
            bestValue = v;
            best = j;
        }
    }
    return best;
}

// Shared body of the nearest-neighbour statistics; out (may be null) receives the
// per-community values. Acc is the precision of the sums.
template <class Acc, class TW, class TR>
Acc NearNeighbourT(int n, int c, TW** W, TR** rese, bool isDistance, bool mirror, int* counts,
                   double* out)
{
    int* own = nullptr;
    if (counts == nullptr) {
        own = dim1Dint(c > 0 ? c : 1);
        for (int k = 0; k < c; k++)
            for (int i = 0; i < n; i++)
                if (W[k][i] > 0) own[k]++;
        counts = own;
    }
    if (mirror) UpperToLowerMatrix(n, rese);
    Acc total = Acc(0);
    int used = 0;
    for (int k = 0; k < c; k++) {
        if (out) out[k] = 0.0;
        if (counts[k] < 2) continue;
        Acc sum = Acc(0);
        for (int i = 0; i < n; i++) {
            if (!(W[k][i] > 0)) continue;
            int j = NearestNeighbour(n, W[k], rese, i, isDistance);
            if (j < 0) continue;
            Acc wij = Acc(W[k][i]) * Acc(W[k][j]);
            sum += isDistance ? Acc(rese[i][j]) * wij : Acc(rese[i][j]) / wij;
        }
        Acc value = sum / Acc(counts[k]);
        if (out) out[k] = double(value);
        total += value;
        used++;
    }
    free1D(own);
    // With no community of two species there is no neighbour anywhere: report no resemblance.
    return used > 0 ? total / Acc(used) : Acc(0);
}

// The tolerance within which a control's correlation counts as 1.
template <class T>
constexpr T PerfectTolerance();
template <>
constexpr float PerfectTolerance<float>() { return 1e-6f; }
template <>
constexpr double PerfectTolerance<double>() { return 1e-9; }

template <class T>
bool PerfectCorrelationT(T r)
{
    return AlmostEqual_Tolerance(T(std::fabs(r)), T(1), PerfectTolerance<T>());
}

template <class T>
T PartialCorrelationT(T rxy, T rxz, T ryz)
{
    if (PerfectCorrelationT(rxz) || PerfectCorrelationT(ryz))
        return T(0);
    T r = (rxy - rxz * ryz) / (std::sqrt(T(1) - rxz * rxz) * std::sqrt(T(1) - ryz * ryz));
    if (r > T(1)) return T(1);
    if (r < T(-1)) return T(-1);
    return r;
}

// Counts of present species (W > 0) per community, for the permutation loops.
template <class TW>
int* SpeciesCounts(int n, int c, TW** W)
{
    int* counts = dim1Dint(c > 0 ? c : 1);
    for (int k = 0; k < c; k++)
        for (int i = 0; i < n; i++)
            if (W[k][i] > 0) counts[k]++;
    return counts;
}

template <class T>
T NearNeighbourStatistic(int n, int c, T** W, T** rese, bool isDistance, int* counts)
{
    return NearNeighbourT<T>(n, c, W, rese, isDistance, false, counts, nullptr);
}

template <class T>
double LimitingSimilarityT(int n, int c, int iterations, T** W, T** rese, bool isDistance,
                           bool print, FILE* out)
{
    if (out == nullptr) print = false;
    UpperToLowerMatrix(n, rese);
    int* counts = SpeciesCounts(n, c, W);
    const T ts0 = NearNeighbourStatistic(n, c, W, rese, isDistance, counts);
    if (print) {
        fprintf(out, "\nPERMUTATION TEST for the \n");
        fprintf(out, "\nTest statistic: Mean nearest-neighbour resemblance within communities (it is "
                     "the 'TS1 Mean NN ED' in Halvey & Prenton 2004 if the resemblance is Euclidean "
                     "distance)\n");
        fprintf(out, "INTERMEDIATE RESULTS\n");
        fprintf(out, isDistance ? "\nObserved dissimilarity matrix of %d OTUs:\n"
                                : "\nObserved similarity matrix of %d OTUs:\n", n);
        PrintMatrixTab(out, n, n, rese, 6);
        fprintf(out, "\nCommunity data matrix (%d communities by %d OTUs):\n", c, n);
        PrintMatrixTab(out, c, n, W, 6);
        fprintf(out, "\n\nObserved test statistic=\t%g\n", double(ts0));
    }
    // The permuted matrix and the list are the loop's whole workspace.
    T** P = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), n, n)));
    int* list = dim1Dint(n > 0 ? n : 1);
    double count = 1.0;
    char text[64];
    for (int it = 1; it < iterations; it++) {
        snprintf(text, sizeof text, "Permutation test: %d of %d", it, iterations);
        HandleEventInfoWhere2(text);
        RndList(n, list);
        for (int a = 0; a < n; a++)
            for (int b = a + 1; b < n; b++) P[a][b] = P[b][a] = rese[list[a] - 1][list[b] - 1];
        T ts = NearNeighbourStatistic(n, c, W, P, isDistance, counts);
        if (AlmostEqual2sComplement(ts, ts0, 1) || (isDistance ? ts > ts0 : ts < ts0)) count += 1.0;
        if (print) {
            fprintf(out, "\n\nPermuted distance matrix:\n");
            PrintMatrixTab(out, n, n, P, 6);
            fprintf(out, "\n\nOrder of original OTUs in permuted matrix:\t");
            PrintVectorTab(out, n, list, nullptr);
            fprintf(out, "\nIteration %d\tRandom test statistic=\t%g\tCummulative frequency=%g\n", it,
                    double(ts), count);
        }
    }
    free1D(list);
    free2D(P, n);
    free1D(counts);
    return iterations > 0 ? count / iterations : 1.0;
}

template <class TA, class TB>
double ProbMantelT(int n, int iterations, TA** A, TB** B, double* rObs)
{
    TA** copy = static_cast<TA**>(static_cast<void*>(dim2D(sizeof(TA), n, n)));
    TA** P = static_cast<TA**>(static_cast<void*>(dim2D(sizeof(TA), n, n)));
    int* list = dim1Dint(n > 0 ? n : 1);
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) copy[i][j] = copy[j][i] = A[i][j];
    const auto r0 = MatrixCorr(n, copy, B);
    const auto abs0 = std::fabs(r0);
    double count = 1.0;
    for (int it = 2; it <= iterations; it++) {
        RndList(n, list);
        for (int i = 0; i < n; i++)
            for (int j = i + 1; j < n; j++) P[i][j] = copy[list[i] - 1][list[j] - 1];
        auto r = std::fabs(MatrixCorr(n, P, B));
        if (AlmostEqual2sComplement(r, abs0, 1) || r > abs0) count += 1.0;
    }
    *rObs = double(r0);
    free1D(list);
    free2D(P, n);
    free2D(copy, n);
    return iterations > 0 ? count / iterations : 1.0;
}

}  // namespace

GroupStatWorkspace::GroupStatWorkspace(int n)
    : capacity(n > 0 ? n : 0), distinct(dim1Dint(capacity > 0 ? capacity : 1)),
      column(dim1Dint(capacity > 0 ? capacity : 1)), size(dim1Dint(capacity > 0 ? capacity : 1)),
      groupMean(dim1Double(capacity > 0 ? capacity : 1))
{
}

GroupStatWorkspace::~GroupStatWorkspace()
{
    free1D(distinct);
    free1D(column);
    free1D(size);
    free1D(groupMean);
}

double F_SUM(int n, int p, int* groups, double** X)
{
    GroupStatWorkspace ws(n);
    return GroupStatistic(n, p, groups, X, true, ws);
}

double LR_IND(int n, int p, int* groups, double** X)
{
    GroupStatWorkspace ws(n);
    return GroupStatistic(n, p, groups, X, false, ws);
}

double F_SUM(int n, int p, int* groups, double** X, GroupStatWorkspace& ws)
{
    return GroupStatistic(n, p, groups, X, true, ws);
}

double LR_IND(int n, int p, int* groups, double** X, GroupStatWorkspace& ws)
{
    return GroupStatistic(n, p, groups, X, false, ws);
}

double MRPP(int n, int g, int* groups, double** D, bool isSquared, bool useSquared)
{
    if (g < 1) return 0.0;
    const int s = useSquared ? 1 : 0;
    // Every group a single object leaves no within-group pair and no weight to share.
    if (n - s * g <= 0) return 0.0;
    double delta = 0.0;
    for (int k = 1; k <= g; k++) {
        int nk = 0, pairs = 0;
        double sum = 0.0;
        for (int i = 0; i < n; i++) {
            if (groups[i] != k) continue;
            nk++;
            for (int j = i + 1; j < n; j++) {
                if (groups[j] != k) continue;
                double d = D[i][j];
                if (isSquared && !useSquared)
                    d = std::sqrt(d);
                else if (useSquared && !isSquared)
                    d = d * d;
                sum += d;
                pairs++;
            }
        }
        double mean = pairs > 0 ? sum / pairs : 0.0;
        delta += double(nk - s) / double(n - s * g) * mean;
    }
    return delta;
}

double ANOSIM(int n, int g, int* groups, double** D, bool ranked)
{
    (void)g;
    if (n < 2) return 0.0;
    double** R = D;
    if (!ranked) {
        R = dim2Double(n, n);
        RankReseAdj(n, D, R);
    }
    double sumW = 0.0, sumB = 0.0;
    long nW = 0, nB = 0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) {
            if (groups[i] == groups[j]) {
                sumW += R[i][j];
                nW++;
            } else {
                sumB += R[i][j];
                nB++;
            }
        }
    if (!ranked) free2D(R, n);
    double rW = nW > 0 ? sumW / nW : 0.0;
    double rB = nB > 0 ? sumB / nB : 0.0;
    double m = double(n) * (n - 1) / 2.0;
    return (rB - rW) / m * 0.5;
}

float BetaFunction_OneGradient(float x, float k, float m, float r, float alpha, float gamma)
{
    float b = alpha / (alpha + gamma);
    float norm = std::pow(b, alpha) * std::pow(1.0f - b, gamma);
    if (x < m - b * r || x > m + (1.0f - b) * r) return 0.0f;
    float z = (x - m) / r + b;
    return (k / norm) * std::pow(z, alpha) * std::pow(1.0f - z, gamma);
}

double BetaFunction(int nGradients, float* x, float k, float* m, float* r, float* alpha,
                    float* gamma)
{
    double norm = 1.0, prod = 1.0;
    for (int i = 0; i < nGradients; i++) {
        float b = alpha[i] / (alpha[i] + gamma[i]);
        if (x[i] < m[i] - b * r[i] || x[i] > m[i] + (1.0f - b) * r[i]) return 0.0;
        float z = (x[i] - m[i]) / r[i] + b;
        norm *= std::pow(double(b), double(alpha[i])) * std::pow(1.0 - b, double(gamma[i]));
        prod *= std::pow(double(z), double(alpha[i])) * std::pow(1.0 - z, double(gamma[i]));
    }
    return double(k) / norm * prod;
}

double Logistic(double x, double a, double b, double lo, double hi, double slope, double t)
{
    // A curve of no height is flat; the general form would divide 0 by 0.
    if (hi == lo) return lo;
    return lo + (hi - lo) / (1.0 + std::exp(-4.0 * slope / (hi - lo) * (x - (a + (b - a) * t))));
}

float NearNeigAvgTraitResemblance_WithinCommunity(int n, int c, float** W, float** rese,
                                                  bool isDistance, bool mirror, int* counts)
{
    return NearNeighbourT<float>(n, c, W, rese, isDistance, mirror, counts, nullptr);
}

double NearNeigAvgTraitResemblance_WithinCommunity(int n, int c, double** W, double** rese,
                                                   bool isDistance, bool mirror, int* counts)
{
    return NearNeighbourT<double>(n, c, W, rese, isDistance, mirror, counts, nullptr);
}

double NearNeigAvgTraitRese_WithinEachCommunity(int n, int c, double* out, double** W,
                                                float** rese, bool isDistance, bool mirror,
                                                int* counts)
{
    return NearNeighbourT<double>(n, c, W, rese, isDistance, mirror, counts, out);
}

bool BetaDivergence(int n, double** A, double** B, double* out)
{
    UpperToLowerMatrix(n, A);
    UpperToLowerMatrix(n, B);
    for (int i = 0; i < n; i++) {
        double nearest = DBL_MAX;
        for (int j = 0; j < n; j++)
            if (j != i && A[i][j] < nearest) nearest = A[i][j];
        double sum = 0.0;
        int ties = 0;
        for (int j = 0; j < n; j++)
            if (j != i && A[i][j] == nearest) {
                sum += B[i][j];
                ties++;
            }
        out[i] = ties > 0 ? sum / ties : 0.0;
    }
    return true;
}

float PartialCorrelation(float rxy, float rxz, float ryz)
{
    return PartialCorrelationT(rxy, rxz, ryz);
}

double PartialCorrelation(double rxy, double rxz, double ryz)
{
    return PartialCorrelationT(rxy, rxz, ryz);
}

bool PerfectCorrelation(float r) { return PerfectCorrelationT(r); }
bool PerfectCorrelation(double r) { return PerfectCorrelationT(r); }

double Prob_LimitingSimilarity(int n, int c, int iterations, float** W, float** rese,
                               bool isDistance, bool print, FILE* out)
{
    return LimitingSimilarityT(n, c, iterations, W, rese, isDistance, print, out);
}

double Prob_LimitingSimilarity(int n, int c, int iterations, double** W, double** rese,
                               bool isDistance, bool print, FILE* out)
{
    return LimitingSimilarityT(n, c, iterations, W, rese, isDistance, print, out);
}

double ProbMantel(int n, int iterations, float** A, float** B, double* rObs)
{
    return ProbMantelT(n, iterations, A, B, rObs);
}

double ProbMantel(int n, int iterations, float** A, double** B, double* rObs)
{
    return ProbMantelT(n, iterations, A, B, rObs);
}

double ProbMantel(int n, int iterations, double** A, double** B, double* rObs)
{
    return ProbMantelT(n, iterations, A, B, rObs);
}
