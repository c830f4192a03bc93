// Sums of squares from distance matrices: Q of a set, partitions, contrasts, the analysis of
// variance on distances, group-separation means and randomised nearest-neighbour sums.
#include "matrix/qwlib.h"

#include "foundation/qwlibDim.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

// Membership tests of the three mask kinds.
inline bool Member(const int* mask, int i) { return mask == nullptr || mask[i] == 1; }
inline bool Member(const bool* mask, int i) { return mask == nullptr || mask[i]; }

// Upper-triangle value of D for two distinct objects, whichever has the lower index.
template <class T>
inline T Upper(T** D, int i, int j) { return i < j ? D[i][j] : D[j][i]; }

// The squared distance used by every sum: squared in T precision when D is not squared yet.
template <class T>
inline T Sq(T d, bool squared) { return squared ? d : d * d; }

// Q of the objects for which in(i) holds: sum over their pairs of the squared distance,
// accumulated in Acc, divided by their count; no member gives the sum (0) undivided.
template <class Acc, class T, class In>
Acc SetSS(int n, T** D, bool squared, In in)
{
    Acc sum = Acc(0);
    int count = 0;
    for (int i = 0; i < n; i++) {
        if (!in(i)) continue;
        count++;
        for (int j = i + 1; j < n; j++)
            if (in(j)) sum += Acc(Sq(D[i][j], squared));
    }
    return count > 0 ? sum / Acc(count) : sum;
}

template <class Acc, class T, class M>
Acc MaskSS(int n, T** D, const M* mask, bool squared)
{
    return SetSS<Acc>(n, D, squared, [&](int i) { return Member(mask, i); });
}

// Q of the included members carrying label.
template <class Acc, class T>
Acc GroupSS(int n, T** D, const int* groups, int label, const int* include, bool squared)
{
    return SetSS<Acc>(n, D, squared,
                      [&](int i) { return groups[i] == label && Member(include, i); });
}

// Qt less the Q of every group met among the included objects, in order of first appearance.
template <class T>
T BetweenGroups(int n, T** D, const int* groups, T* Qb, T* Qt, const int* include, bool squared)
{
    const T total = MaskSS<T>(n, D, include, squared);
    T between = total;
    for (int i = 0; i < n; i++) {
        if (!Member(include, i)) continue;
        bool seen = false;
        for (int k = 0; k < i && !seen; k++) seen = Member(include, k) && groups[k] == groups[i];
        if (!seen) between -= GroupSS<T>(n, D, groups, groups[i], include, squared);
    }
    if (Qt) *Qt = total;
    if (Qb) *Qb = between;
    return between;
}

// Q0 - Q+ - Q- of a contrast whose coefficient for object i is coefOf(i); *Qw = Q+ + Q-.
template <class Acc, class T, class C>
Acc ContrastSS(int n, T** D, bool squared, C coefOf, Acc* Qw)
{
    const Acc q0 = SetSS<Acc>(n, D, squared, [&](int i) { return coefOf(i) != 0; });
    const Acc qp = SetSS<Acc>(n, D, squared, [&](int i) { return coefOf(i) > 0; });
    const Acc qm = SetSS<Acc>(n, D, squared, [&](int i) { return coefOf(i) < 0; });
    if (Qw) *Qw = qp + qm;
    return q0 - qp - qm;
}

template <class T, class M>
double MaskContrastSS(int n, T** D, M** masks, bool squared, double* Qw)
{
    const double q0 = MaskSS<double>(n, D, masks[0], squared);
    const double within = MaskSS<double>(n, D, masks[1], squared) +
                          MaskSS<double>(n, D, masks[2], squared);
    if (Qw) *Qw = within;
    return q0 - within;
}

template <class T>
void PairwiseSS(int n, T** D, T** Q, const int* groups, int g, bool squared)
{
    for (int a = 0; a < g; a++)
        for (int b = a; b < g; b++)
            Q[a][b] = SetSS<T>(n, D, squared,
                               [&](int i) { return groups[i] == a + 1 || groups[i] == b + 1; });
    for (int a = 0; a < g; a++)
        for (int b = a + 1; b < g; b++) Q[a][b] -= Q[a][a] + Q[b][b];
}

// The GroupSqDissimQW family: partition and, optionally, contrasts. inGroup(k, i) tells
// whether object i is in group k; contrastIn(c, m, i) whether it is in mask m of contrast c
// (0 non-zero, 1 positive, 2 negative). withinTo2 selects the layout of Qc.
template <class T, class G, class CM>
void GroupsAndContrasts(int n, T** D, bool squared, int g, G inGroup, double* Qb, double* Qt,
                        int nC, CM contrastIn, double** Qc, bool doContrasts, bool withinTo2)
{
    const double total = SetSS<double>(n, D, squared, [](int) { return true; });
    double between = total;
    for (int k = 0; k < g; k++)
        between -= SetSS<double>(n, D, squared, [&](int i) { return inGroup(k, i); });
    if (Qt) *Qt = total;
    if (Qb) *Qb = between;
    if (!doContrasts) return;
    for (int c = 0; c < nC; c++) {
        double q[3];
        for (int m = 0; m < 3; m++)
            q[m] = SetSS<double>(n, D, squared, [&](int i) { return contrastIn(c, m, i); });
        if (withinTo2) {
            Qc[c][2] = q[1] + q[2];
            Qc[c][0] = q[0] - Qc[c][2];
        } else {
            Qc[c][0] = q[0] - q[1] - q[2];
        }
    }
}

// Coefficient of contrast c for object i from the group table: the coefficient of the group
// whose label is the object's; 0 when the object's label is none of the g labels.
struct LabelledCoef {
    int g;
    const int* groups;
    const int* labels;
    float** coef;
    float operator()(int c, int i) const
    {
        for (int k = 0; k < g; k++)
            if (labels[k] == groups[i]) return coef[c][k];
        return 0.0f;
    }
};

template <class T>
void QWForm(int n, T** D, int g, int* groups, int* groupLabels, double* Qb, double* Qt, int nC,
            float** coef, double** Qc, int doContrasts, bool withinTo2)
{
    LabelledCoef lc{g, groups, groupLabels, coef};
    auto inGroup = [&](int k, int i) { return groups[i] == groupLabels[k]; };
    auto contrastIn = [&](int c, int m, int i) {
        const float v = lc(c, i);
        return m == 0 ? v != 0.0f : (m == 1 ? v > 0.0f : v < 0.0f);
    };
    GroupsAndContrasts(n, D, false, g, inGroup, Qb, Qt, nC, contrastIn, Qc, doContrasts == 1,
                       withinTo2);
}

template <class T, class M>
void QW3Form(int n, T** D, bool squared, int g, M** masks, M*** contrastMasks, double* Qb,
             double* Qt, int nC, double** Qc, bool doContrasts)
{
    auto inGroup = [&](int k, int i) { return Member(masks[k], i); };
    auto contrastIn = [&](int c, int m, int i) { return Member(contrastMasks[c][m], i); };
    GroupsAndContrasts(n, D, squared, g, inGroup, Qb, Qt, nC, contrastIn, Qc, doContrasts, true);
}

// ---------------------------------------------------------------- analysis of variance

// Cell labels: an included object takes the 1-based number of the first included object that
// shares its level of every factor in the list fs[0..nfs-1]; excluded objects take 0.
// Returns the number of cells.
int CellLabels(int n, int** factors, const int* fs, int nfs, const int* include, int* cells)
{
    int count = 0;
    for (int i = 0; i < n; i++) {
        cells[i] = 0;
        if (!Member(include, i)) continue;
        for (int k = 0; k < i && cells[i] == 0; k++) {
            if (!Member(include, k)) continue;
            bool same = true;
            for (int f = 0; f < nfs && same; f++) same = factors[fs[f]][k] == factors[fs[f]][i];
            if (same) cells[i] = cells[k];
        }
        if (cells[i] == 0) {
            cells[i] = i + 1;
            count++;
        }
    }
    return count;
}

int IncludedCount(int n, const int* include)
{
    int c = 0;
    for (int i = 0; i < n; i++) c += Member(include, i) ? 1 : 0;
    return c;
}

// Distinct levels of one factor among the included objects.
int LevelCount(int n, const int* levels, const int* include)
{
    int count = 0;
    for (int i = 0; i < n; i++) {
        if (!Member(include, i)) continue;
        bool seen = false;
        for (int k = 0; k < i && !seen; k++) seen = Member(include, k) && levels[k] == levels[i];
        if (!seen) count++;
    }
    return count;
}

// Rounding allowance of a difference of sums of squares in the precision of T.
template <class T> constexpr double RoundingShare();
template <> constexpr double RoundingShare<float>() { return 1e-6; }
template <> constexpr double RoundingShare<double>() { return 1e-12; }

// An interaction negative only by rounding is 0; clearly negative or undefined is the
// largest finite value, which no permuted value can reach (never significant).
template <class T>
T CleanInteraction(T q, T total)
{
    if (std::isnan(q)) return std::numeric_limits<T>::max();
    if (q >= T(0)) return q;
    if (-double(q) <= RoundingShare<T>() * std::fabs(double(total))) return T(0);
    return std::numeric_limits<T>::max();
}

// Work matrix of squared distances: a copy of D, or the squared distances of a cross-product
// matrix. Only the upper triangle is read afterwards.
template <class T>
T** SquaredDistances(int n, T** D, bool isDistance)
{
    T** W = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), n, n)));
    if (isDistance) {
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) W[i][j] = D[i][j];
    } else {
        ProdToSqDist(n, D, W);
    }
    return W;
}

// Two-factor cells of a and b hold one object each: the interaction is the residual itself.
bool PairUnreplicated(int n, int** factors, int a, int b, const int* include, int* cells)
{
    const int fs[2] = {a, b};
    return CellLabels(n, factors, fs, 2, include, cells) == IncludedCount(n, include);
}

template <class T>
void ManovaT(int n, T** D, int nF, int** factors, int* include, T* Qcells, T** Q, T* Qresid,
             T* Qt, int* nContrasts, int*** contrasts, T** Qc, bool isDistance,
             bool* noReplicates, bool* incomplete)
{
    T** W = SquaredDistances(n, D, isDistance);
    int* cells = dim1Dint(n);
    int* fs = dim1Dint(nF);
    T total = T(0);
    for (int f = 0; f < nF; f++) {
        Q[f][f] = BetweenGroups(n, W, factors[f], static_cast<T*>(nullptr), &total, include, true);
        const int nc = nContrasts ? nContrasts[f] : 0;
        for (int c = 0; c < nc; c++)
            Qc[f][c] = ContrastSS<T>(n, W, true,
                                     [&](int i) {
                                         return Member(include, i) ? contrasts[f][c][factors[f][i] - 1] : 0;
                                     },
                                     static_cast<T*>(nullptr));
    }
    if (nF < 1) total = MaskSS<T>(n, W, include, true);
    if (Qt) *Qt = total;

    for (int f = 0; f < nF; f++) fs[f] = f;
    const int nCells = CellLabels(n, factors, fs, nF, include, cells);
    const int nIn = IncludedCount(n, include);
    double combinations = 1.0;
    for (int f = 0; f < nF; f++) combinations *= LevelCount(n, factors[f], include);
    const bool unreplicated = nCells == nIn;
    if (noReplicates) *noReplicates = unreplicated;
    if (incomplete) *incomplete = combinations > double(nCells) && !unreplicated;

    T between = BetweenGroups(n, W, cells, static_cast<T*>(nullptr), static_cast<T*>(nullptr),
                              include, true);
    if (Qcells) *Qcells = between;
    if (Qresid) *Qresid = total - between;

    for (int a = 0; a < nF; a++)
        for (int b = a + 1; b < nF; b++) {
            if (PairUnreplicated(n, factors, a, b, include, cells)) {
                Q[a][b] = T(0);
                continue;
            }
            const T pair = BetweenGroups(n, W, cells, static_cast<T*>(nullptr),
                                         static_cast<T*>(nullptr), include, true);
            Q[a][b] = CleanInteraction(T(pair - Q[a][a] - Q[b][b]), total);
        }
    free1D(fs);
    free1D(cells);
    free2D(W, n);
}

template <class T>
bool ManovaTestT(int n, T** D, int nF, int** factors, int* include, int* nContrasts,
                 int*** contrasts, bool isDistance, T obsQcells, T** obsQ, T** obsQc,
                 int* countCells, int** countQ, int** countQc)
{
    T** Q = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), nF, nF)));
    int maxC = 1;
    for (int f = 0; f < nF; f++)
        if (nContrasts && nContrasts[f] > maxC) maxC = nContrasts[f];
    T** Qc = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), nF, maxC)));
    int* cells = dim1Dint(n);
    T qcells = T(0), qresid = T(0), qt = T(0);
    bool noRep = false, incomplete = false;
    ManovaT(n, D, nF, factors, include, &qcells, Q, &qresid, &qt, nContrasts, contrasts, Qc,
            isDistance, &noRep, &incomplete);
    CompareLambda(&qcells, &obsQcells, countCells);
    for (int f = 0; f < nF; f++) {
        CompareLambda(&Q[f][f], &obsQ[f][f], &countQ[f][f]);
        const int nc = nContrasts ? nContrasts[f] : 0;
        for (int c = 0; c < nc; c++) CompareLambda(&Qc[f][c], &obsQc[f][c], &countQc[f][c]);
    }
    for (int a = 0; a < nF; a++)
        for (int b = a + 1; b < nF; b++)
            if (!PairUnreplicated(n, factors, a, b, include, cells))
                CompareLambda(&Q[a][b], &obsQ[a][b], &countQ[a][b]);
    free1D(cells);
    free2D(Qc, nF);
    free2D(Q, nF);
    return noRep;
}

// Index of label among levels[0..m-1], -1 when absent.
int LevelIndex(int label, const int* levels, int m)
{
    for (int l = 0; l < m; l++)
        if (levels[l] == label) return l;
    return -1;
}

template <class T>
void ResidualsT(int n, int p, int nF, int** factors, int* nLevels, int** levels, T** data,
                T** resid, int order, int* which)
{
    if (order < 1 || order > 3) return;
    // Level means per factor (nF x max levels x p) and the grand means, in double.
    int maxL = 1;
    for (int f = 0; f < nF; f++)
        if (nLevels[f] > maxL) maxL = nLevels[f];
    double*** mean = dim3Double(nF, maxL, p);
    int** count = dim2Dint(nF, maxL);
    double* grand = dim1Double(p);
    int** levelOf = dim2Dint(nF, n);
    for (int f = 0; f < nF; f++)
        for (int i = 0; i < n; i++) {
            const int l = LevelIndex(factors[f][i], levels[f], nLevels[f]);
            levelOf[f][i] = l;
            if (l < 0) continue;
            count[f][l]++;
            for (int k = 0; k < p; k++) mean[f][l][k] += data[i][k];
        }
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) grand[k] += data[i][k];
    for (int k = 0; k < p; k++) grand[k] /= n;
    for (int f = 0; f < nF; f++)
        for (int l = 0; l < nLevels[f]; l++)
            for (int k = 0; k < p; k++)
                mean[f][l][k] = count[f][l] > 0 ? mean[f][l][k] / count[f][l] : grand[k];
    auto term = [&](int f, int i, int k) {
        const int l = levelOf[f][i];
        return l < 0 ? grand[k] : mean[f][l][k];
    };
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) {
            double r = data[i][k];
            for (int t = 0; t < order; t++) r -= term(which[t] - 1, i, k);
            if (order > 1) r += grand[k];
            resid[i][k] = T(r);
        }
    free2D(levelOf, nF);
    free1D(grand);
    free2D(count, nF);
    free3D(mean, nF, maxL);
}

// ---------------------------------------------------------------- group separation

template <class T>
T AverageDissimT(int n, T** D, const int* groups, const int* include)
{
    double sum = 0.0;
    long pairs = 0;
    for (int i = 0; i < n; i++) {
        if (!Member(include, i)) continue;
        for (int j = i + 1; j < n; j++)
            if (Member(include, j) && groups[i] != groups[j]) {
                sum += D[i][j];
                pairs++;
            }
    }
    return pairs > 0 ? T(sum / double(pairs)) : std::numeric_limits<T>::quiet_NaN();
}

template <class T>
T NearNeighDistT(int n, T** D, const int* groups, const int* include)
{
    // For object i and every other group B, the minimum distance to B. Groups are the
    // distinct labels met among the included objects.
    double sum = 0.0;
    long terms = 0;
    for (int i = 0; i < n; i++) {
        if (!Member(include, i)) continue;
        for (int j = 0; j < n; j++) {
            if (!Member(include, j) || groups[j] == groups[i]) continue;
            bool firstOfGroup = true;
            for (int k = 0; k < j && firstOfGroup; k++)
                firstOfGroup = !(Member(include, k) && groups[k] == groups[j]);
            if (!firstOfGroup) continue;
            T best = std::numeric_limits<T>::max();
            for (int k = j; k < n; k++)
                if (Member(include, k) && groups[k] == groups[j]) {
                    const T d = Upper(D, i, k);
                    if (d < best) best = d;
                }
            sum += best;
            terms++;
        }
    }
    return terms > 0 ? T(sum / double(terms)) : std::numeric_limits<T>::quiet_NaN();
}

template <class T>
T AverageResemblanceT(int n, T** S)
{
    if (n < 2) return std::numeric_limits<T>::quiet_NaN();
    double sum = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) sum += S[i][j];
    return T(sum / (0.5 * double(n) * double(n - 1)));
}

// Every pair of objects from groups a and b counts, whichever of the two has the lower index:
// a mean between groups must not depend on how the objects are numbered.
template <class T>
void CentroidDistT(int n, T** D, const int* groups, int g, T** C)
{
    for (int a = 0; a < g; a++)
        for (int b = a + 1; b < g; b++) {
            double sum = 0.0;
            long pairs = 0;
            for (int i = 0; i < n; i++)
                for (int j = i + 1; j < n; j++) {
                    const int gi = groups[i], gj = groups[j];
                    if ((gi == a + 1 && gj == b + 1) || (gi == b + 1 && gj == a + 1)) {
                        sum += D[i][j];
                        pairs++;
                    }
                }
            C[a][b] = pairs > 0 ? T(sum / double(pairs)) : std::numeric_limits<T>::quiet_NaN();
        }
}

// ---------------------------------------------------------------- nearest-neighbour sums

// Trials without improvement that end the search: 100 log10(n!) formed in single precision
// as long as n! fits in a float (n <= 34); beyond, where it would overflow, the cap.
int TrialLimit(int n)
{
    const int kCap = 4000;
    if (n > 34) return kCap;
    const float f = Factorial(float(n));
    const double t = std::floor(100.0 * std::log10(double(f)));
    return t > kCap ? kCap : (t < 0 ? 0 : int(t));
}

// The greedy assignment over columns offset..offset+n-1 of D, in random orders; returns the
// best sum, and the column (less offset) each row took in the best trial into which.
template <class T>
T GreedyTrials(int n, T** D, int offset, int* which)
{
    if (n < 1) return T(0);
    int* order = dim1Dint(n);
    int* took = dim1Dint(n);
    char* taken = dim1Dchar(n);
    const int limit = TrialLimit(n);
    double best = std::numeric_limits<double>::infinity();
    int quiet = 0;
    do {
        RndList(n, order);
        for (int k = 0; k < n; k++) taken[k] = 0;
        double sum = 0.0;
        for (int t = 0; t < n; t++) {
            const int i = order[t] - 1;
            int kBest = -1;
            for (int k = 0; k < n; k++)
                if (!taken[k] && (kBest < 0 || D[i][offset + k] < D[i][offset + kBest])) kBest = k;
            taken[kBest] = 1;
            took[i] = kBest;
            sum += D[i][offset + kBest];
        }
        if (sum < best) {
            best = sum;
            quiet = 0;
            if (which)
                for (int i = 0; i < n; i++) which[i] = took[i];
        } else {
            quiet++;
        }
    } while (quiet < limit);
    free1D(taken);
    free1D(took);
    free1D(order);
    return T(best);
}

template <class T>
T AvgCentroidT(int n, T** D, int* s)
{
    if (n < 1) return T(0);
    int* which = dim1Dint(n);
    GreedyTrials(n, D, n, which);
    double sum = 0.0;
    for (int i = 0; i < n; i++) {
        const int j = which[i];
        sum += double(s[i] + s[j + n]) * D[i][j + n] / (double(s[i]) * double(s[j + n]));
    }
    free1D(which);
    return T(sum / n);
}

template <class T>
int MinWhich(int n, const T* x)
{
    int w = 0;
    for (int i = 1; i < n; i++)
        if (x[i] < x[w]) w = i;
    return w;
}

}  // namespace

float WithinGrSqDissim(int n, float** D, int* include, bool squared) { return MaskSS<float>(n, D, include, squared); }
double WithinGrSqDissim(int n, double** D, int* include, bool squared) { return MaskSS<double>(n, D, include, squared); }
double WithinGrSqDissim(int n, float** D, bool* include, bool squared) { return MaskSS<double>(n, D, include, squared); }
double WithinGrSqDissim(int n, double** D, bool* include, bool squared) { return MaskSS<double>(n, D, include, squared); }

float SumSqDissim(int n, float** D, bool squared) { return MaskSS<float>(n, D, static_cast<int*>(nullptr), squared); }
double SumSqDissim(int n, double** D, bool squared) { return MaskSS<double>(n, D, static_cast<int*>(nullptr), squared); }
double TotalSqDissim(int n, float** D, bool squared) { return MaskSS<double>(n, D, static_cast<int*>(nullptr), squared); }

float BetweenGrSqDissim(int n, float** D, int* groups, float* Qb, float* Qt, int* include, bool squared)
{
    return BetweenGroups(n, D, groups, Qb, Qt, include, squared);
}
double BetweenGrSqDissim(int n, double** D, int* groups, double* Qb, double* Qt, int* include, bool squared)
{
    return BetweenGroups(n, D, groups, Qb, Qt, include, squared);
}

float GrContrastSqDissim(int n, float** D, int* groups, int* coef, bool squared)
{
    return ContrastSS<float>(n, D, squared, [&](int i) { return coef[groups[i] - 1]; }, static_cast<float*>(nullptr));
}
double GrContrastSqDissim(int n, double** D, int* groups, int* coef, bool squared)
{
    return ContrastSS<double>(n, D, squared, [&](int i) { return coef[groups[i] - 1]; }, static_cast<double*>(nullptr));
}
float GrContrastSS(int n, float** D, int* groups, int* coef, bool squared, float* Qw)
{
    return ContrastSS<float>(n, D, squared, [&](int i) { return coef[groups[i] - 1]; }, Qw);
}
double GrContrastSS(int n, double** D, int* groups, int* coef, bool squared, double* Qw)
{
    return ContrastSS<double>(n, D, squared, [&](int i) { return coef[groups[i] - 1]; }, Qw);
}
float GrContrastSS(int n, float** D, int* groups, float* coef, bool squared, float* Qw)
{
    return ContrastSS<float>(n, D, squared, [&](int i) { return coef[groups[i] - 1]; }, Qw);
}
double GrContrastSS(int n, double** D, int* groups, float* coef, bool squared, double* Qw)
{
    return ContrastSS<double>(n, D, squared, [&](int i) { return coef[groups[i] - 1]; }, Qw);
}
double GrContrastSS(int n, float** D, int** masks, bool squared, double* Qw) { return MaskContrastSS(n, D, masks, squared, Qw); }
double GrContrastSS(int n, double** D, int** masks, bool squared, double* Qw) { return MaskContrastSS(n, D, masks, squared, Qw); }
double GrContrastSS(int n, float** D, bool** masks, bool squared, double* Qw) { return MaskContrastSS(n, D, masks, squared, Qw); }
double GrContrastSS(int n, double** D, bool** masks, bool squared, double* Qw) { return MaskContrastSS(n, D, masks, squared, Qw); }

void BetweenGrSSPairwise(int n, float** D, float** Q, int* groups, int g, bool squared) { PairwiseSS(n, D, Q, groups, g, squared); }
void BetweenGrSSPairwise(int n, double** D, double** Q, int* groups, int g, bool squared) { PairwiseSS(n, D, Q, groups, g, squared); }

void GroupSqDissimQW(int n, float** D, int g, int* groups, int* groupLabels, double* Qb, double* Qt, int nC,
                     float** coef, double** Qc, int doContrasts)
{
    QWForm(n, D, g, groups, groupLabels, Qb, Qt, nC, coef, Qc, doContrasts, false);
}
void GroupSqDissimQW(int n, double** D, int g, int* groups, int* groupLabels, double* Qb, double* Qt, int nC,
                     float** coef, double** Qc, int doContrasts)
{
    QWForm(n, D, g, groups, groupLabels, Qb, Qt, nC, coef, Qc, doContrasts, false);
}
void GroupSqDissimQW2(int n, float** D, int g, int* groups, int* groupLabels, double* Qb, double* Qt, int nC,
                      float** coef, double** Qc, int doContrasts)
{
    QWForm(n, D, g, groups, groupLabels, Qb, Qt, nC, coef, Qc, doContrasts, true);
}
void GroupSqDissimQW2(int n, double** D, int g, int* groups, int* groupLabels, double* Qb, double* Qt, int nC,
                      float** coef, double** Qc, int doContrasts)
{
    QWForm(n, D, g, groups, groupLabels, Qb, Qt, nC, coef, Qc, doContrasts, true);
}
void GroupSqDissimQW3(int n, float** D, bool squared, int g, int** masks, int*** contrastMasks, double* Qb,
                      double* Qt, int nC, double** Qc, bool doContrasts)
{
    QW3Form(n, D, squared, g, masks, contrastMasks, Qb, Qt, nC, Qc, doContrasts);
}
void GroupSqDissimQW3(int n, double** D, bool squared, int g, int** masks, int*** contrastMasks, double* Qb,
                      double* Qt, int nC, double** Qc, bool doContrasts)
{
    QW3Form(n, D, squared, g, masks, contrastMasks, Qb, Qt, nC, Qc, doContrasts);
}
void GroupSqDissimQW3(int n, float** D, bool squared, int g, bool** masks, bool*** contrastMasks, double* Qb,
                      double* Qt, int nC, double** Qc, bool doContrasts)
{
    QW3Form(n, D, squared, g, masks, contrastMasks, Qb, Qt, nC, Qc, doContrasts);
}
void GroupSqDissimQW3(int n, double** D, bool squared, int g, bool** masks, bool*** contrastMasks, double* Qb,
                      double* Qt, int nC, double** Qc, bool doContrasts)
{
    QW3Form(n, D, squared, g, masks, contrastMasks, Qb, Qt, nC, Qc, doContrasts);
}

void Manova(int n, float** D, int nF, int** factors, int* include, float* Qcells, float** Q, float* Qresid,
            float* Qt, int* nContrasts, int*** contrasts, float** Qc, bool isDistance, bool* noReplicates,
            bool* incomplete)
{
    ManovaT(n, D, nF, factors, include, Qcells, Q, Qresid, Qt, nContrasts, contrasts, Qc, isDistance,
            noReplicates, incomplete);
}
void Manova(int n, double** D, int nF, int** factors, int* include, double* Qcells, double** Q,
            double* Qresid, double* Qt, int* nContrasts, int*** contrasts, double** Qc, bool isDistance,
            bool* noReplicates, bool* incomplete)
{
    ManovaT(n, D, nF, factors, include, Qcells, Q, Qresid, Qt, nContrasts, contrasts, Qc, isDistance,
            noReplicates, incomplete);
}

bool ManovaTest(int n, float** D, int nF, int** factors, int* include, int* nContrasts, int*** contrasts,
                bool isDistance, float obsQcells, float** obsQ, float** obsQc, int* countCells, int** countQ,
                int** countQc)
{
    return ManovaTestT(n, D, nF, factors, include, nContrasts, contrasts, isDistance, obsQcells, obsQ, obsQc,
                       countCells, countQ, countQc);
}
bool ManovaTest(int n, double** D, int nF, int** factors, int* include, int* nContrasts, int*** contrasts,
                bool isDistance, double obsQcells, double** obsQ, double** obsQc, int* countCells,
                int** countQ, int** countQc)
{
    return ManovaTestT(n, D, nF, factors, include, nContrasts, contrasts, isDistance, obsQcells, obsQ, obsQc,
                       countCells, countQ, countQc);
}

void CompareLambda(float* a, float* b, int* count) { if (*a >= *b) (*count)++; }
void CompareLambda(double* a, double* b, int* count) { if (*a >= *b) (*count)++; }

void Residuals(int n, int p, int nF, int** factors, int* nLevels, int** levels, float** data, float** resid,
               int order, int* which)
{
    ResidualsT(n, p, nF, factors, nLevels, levels, data, resid, order, which);
}
void Residuals(int n, int p, int nF, int** factors, int* nLevels, int** levels, double** data, double** resid,
               int order, int* which)
{
    ResidualsT(n, p, nF, factors, nLevels, levels, data, resid, order, which);
}

float AverageDissim(int n, float** D, int* groups, int* include) { return AverageDissimT(n, D, groups, include); }
double AverageDissim(int n, double** D, int* groups, int* include) { return AverageDissimT(n, D, groups, include); }
float NearNeighDist(int n, float** D, int* groups, int* include) { return NearNeighDistT(n, D, groups, include); }
double NearNeighDist(int n, double** D, int* groups, int* include) { return NearNeighDistT(n, D, groups, include); }
float AverageResemblance(int n, float** S) { return AverageResemblanceT(n, S); }
double AverageResemblance(int n, double** S) { return AverageResemblanceT(n, S); }
void CentroidDist(int n, float** D, int* groups, int g, float** C) { CentroidDistT(n, D, groups, g, C); }
void CentroidDist(int n, double** D, int* groups, int g, double** C) { CentroidDistT(n, D, groups, g, C); }

float NearNeigSSq(int n, float** D) { return GreedyTrials(n, D, 0, static_cast<int*>(nullptr)); }
double NearNeigSSq(int n, double** D) { return GreedyTrials(n, D, 0, static_cast<int*>(nullptr)); }
float NearNeigSSqWhich(int n, float** D, int* out) { return GreedyTrials(n, D, 0, out); }
double NearNeigSSqWhich(int n, double** D, int* out) { return GreedyTrials(n, D, 0, out); }
float NearNeigAvgCentroid(int n, float** D, int* s) { return AvgCentroidT(n, D, s); }
double NearNeigAvgCentroid(int n, double** D, int* s) { return AvgCentroidT(n, D, s); }

int MinVectorWhich(int n, float* x) { return MinWhich(n, x); }
int MinVectorWhich(int n, double* x) { return MinWhich(n, x); }
