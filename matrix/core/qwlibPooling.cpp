// Pooling of tables by groups of rows and columns, differences within pairs of relevés,
// moving-window means, distinct group labels, vector extremes and naive-Bayes membership
// estimates over categorical traits.
#include "matrix/core/qwlibPooling.h"

#include "foundation/qwlibDim.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

namespace {

// Group index 0..k-1 of a label 1..k, or -1 for any other label.
inline int GroupIndex(int label, int k) { return (label >= 1 && label <= k) ? label - 1 : -1; }

// Members of each group 1..k among labels[0..n-1] into size[0..k-1].
void GroupSizes(int n, const int* labels, int k, int* size)
{
    for (int a = 0; a < k; a++) size[a] = 0;
    for (int i = 0; i < n; i++) {
        int a = GroupIndex(labels[i], k);
        if (a >= 0) size[a]++;
    }
}

// Turns pooled sums into means (a cell whose count is 0 has no members and is set to 0) and,
// for rescaled means, multiplies every mean by (sum of the sums) / (sum of the means) so that
// the pooled grand total equals the grand total of the input that fell into groups. The
// sizes of the cells come from cellSize(r, c). Empty cells stay out of both sums.
template <typename CellSize>
void MeansOfSums(int rows, int cols, float** out, CellSize cellSize, bool rescale)
{
    double sumOfSums = 0.0;
    double sumOfMeans = 0.0;
    for (int r = 0; r < rows; r++) {
        for (int c = 0; c < cols; c++) {
            int size = cellSize(r, c);
            if (size == 0) {
                out[r][c] = 0.0f;
                continue;
            }
            sumOfSums += out[r][c];
            out[r][c] /= static_cast<float>(size);
            sumOfMeans += out[r][c];
        }
    }
    if (!rescale) return;
    if (sumOfMeans == 0.0) sumOfMeans = 1.0;   // zero divisor: the means keep their value
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            if (cellSize(r, c) != 0)
                out[r][c] = static_cast<float>(out[r][c] * sumOfSums / sumOfMeans);
}

// Sorted distinct labels of the selected objects (all objects when select is null) into
// distinct (may be null); returns their count. Plain ascending order of the ints: a
// difference comparator would overflow for labels far apart.
int DistinctLabels(int n, const int* labels, const int* select, int* distinct)
{
    if (n < 1) return 0;
    int* work = dim1Dint(n);
    int m = 0;
    for (int i = 0; i < n; i++)
        if (select == nullptr || select[i] == 1) work[m++] = labels[i];
    std::sort(work, work + m);
    int nd = static_cast<int>(std::unique(work, work + m) - work);
    if (distinct != nullptr) std::copy(work, work + nd, distinct);
    free1D(work);
    return nd;
}

// State code of a categorical value stored as a float: its integer part, or 0 (no state)
// for values below 1, NaN, or values too large for an int.
int StateCode(float x)
{
    if (!(x >= 1.0f) || x >= 2147483520.0f) return 0;
    return static_cast<int>(x);
}

// Largest training state of every trait (codes below 1 do not raise it), and the counts
// counts[t][k][s] of the training objects of group k in state s of trait t.
double*** CountStatesByGroup(int nTraits, int nTrain, float** trainStates, int nGroups,
                             float** membership, int* maxState, int* maxAll)
{
    *maxAll = 0;
    for (int t = 0; t < nTraits; t++) {
        maxState[t] = 0;
        for (int o = 0; o < nTrain; o++) maxState[t] = std::max(maxState[t], StateCode(trainStates[t][o]));
        *maxAll = std::max(*maxAll, maxState[t]);
    }
    double*** counts = dim3Double(nTraits, nGroups, *maxAll + 1);
    for (int t = 0; t < nTraits; t++)
        for (int o = 0; o < nTrain; o++) {
            int s = StateCode(trainStates[t][o]);
            if (s < 1) continue;
            for (int k = 0; k < nGroups; k++)
                if (membership[k][o] == 1.0f) counts[t][k][s] += 1.0;
        }
    return counts;
}

// Final step shared by the Bayes family: for every new object, the likelihood of each group is
// the product over traits of prob[t][k][state]; a trait whose state has no entry (below 1 or
// above the largest training state) is skipped. The estimate is L[k] W[k] / sum of L W, or 0
// in every group when that sum is 0.
template <typename TOut>
void BayesEstimates(int nTraits, int nGroups, const int* maxState, double*** prob,
                    const double* groupWeight, int nNew, float** newStates, TOut** out)
{
    double* lw = dim1Double(nGroups > 0 ? nGroups : 1);
    for (int j = 0; j < nNew; j++) {
        double total = 0.0;
        for (int k = 0; k < nGroups; k++) {
            double like = 1.0;
            for (int t = 0; t < nTraits; t++) {
                int s = StateCode(newStates[t][j]);
                if (s < 1 || s > maxState[t]) continue;
                like *= prob[t][k][s];
            }
            lw[k] = like * groupWeight[k];
            total += lw[k];
        }
        for (int k = 0; k < nGroups; k++)
            out[k][j] = static_cast<TOut>(total > 0.0 ? lw[k] / total : 0.0);
    }
    free1D(lw);
}

template <typename TOut>
int BayesContT(int nTraits, int nGroups, int* maxState, double*** counts, int nNew,
               float** newStates, TOut** out)
{
    const double smallest = 1.1754944e-38;   // smallest normal float, for a state total of 0
    double* groupWeight = dim1Double(nGroups > 0 ? nGroups : 1);
    for (int k = 0; k < nGroups; k++) groupWeight[k] = 1.0;
    for (int t = 0; t < nTraits; t++) {
        // Weight of group k in this trait: its share of all the trait's counts.
        double traitTotal = 0.0;
        for (int k = 0; k < nGroups; k++)
            for (int s = 1; s <= maxState[t]; s++) traitTotal += counts[t][k][s];
        for (int k = 0; k < nGroups; k++) {
            double groupTotal = 0.0;
            for (int s = 1; s <= maxState[t]; s++) groupTotal += counts[t][k][s];
            groupWeight[k] *= traitTotal > 0.0 ? groupTotal / traitTotal : 0.0;
        }
        // Share of group k among the objects in state s.
        for (int s = 1; s <= maxState[t]; s++) {
            double stateTotal = 0.0;
            for (int k = 0; k < nGroups; k++) stateTotal += counts[t][k][s];
            if (stateTotal == 0.0) stateTotal = smallest;
            for (int k = 0; k < nGroups; k++) counts[t][k][s] /= stateTotal;
        }
    }
    for (int k = 0; k < nGroups; k++) groupWeight[k] = std::sqrt(groupWeight[k]);
    BayesEstimates(nTraits, nGroups, maxState, counts, groupWeight, nNew, newStates, out);
    free1D(groupWeight);
    return 1;
}

// With no trait or no group there is nothing to estimate: every output is 0. Returns true then.
template <typename TOut>
bool NoEstimate(int nTraits, int nGroups, int nNew, TOut** out)
{
    if (nTraits >= 1 && nGroups >= 1) return false;
    for (int k = 0; k < nGroups; k++)
        for (int j = 0; j < nNew; j++) out[k][j] = 0;
    return true;
}

template <typename TOut>
int BayesRawT(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
              int nNew, float** newStates, TOut** out)
{
    if (NoEstimate(nTraits, nGroups, nNew, out)) return 1;
    int* maxState = dim1Dint(nTraits);
    int maxAll;
    double*** counts = CountStatesByGroup(nTraits, nTrain, trainStates, nGroups, membership, maxState, &maxAll);
    BayesContT(nTraits, nGroups, maxState, counts, nNew, newStates, out);
    free3D(reinterpret_cast<void***>(counts), nTraits, nGroups);
    free1D(maxState);
    return 1;
}

template <typename TOut>
int BayesT(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
           int nNew, float** newStates, TOut** out)
{
    if (NoEstimate(nTraits, nGroups, nNew, out)) return 1;
    int* maxState = dim1Dint(nTraits);
    int maxAll;
    double*** counts = CountStatesByGroup(nTraits, nTrain, trainStates, nGroups, membership, maxState, &maxAll);
    double* groupWeight = dim1Double(nGroups);
    for (int k = 0; k < nGroups; k++) groupWeight[k] = 1.0;
    for (int t = 0; t < nTraits; t++) {
        for (int k = 0; k < nGroups; k++) {
            double groupTotal = 0.0;
            for (int s = 1; s <= maxState[t]; s++) groupTotal += counts[t][k][s];
            // Frequency of each state within the group; a group without training objects in
            // this trait has no frequencies (all 0) and no weight.
            for (int s = 1; s <= maxState[t]; s++)
                counts[t][k][s] = groupTotal > 0.0 ? counts[t][k][s] / groupTotal : 0.0;
            groupWeight[k] *= nTrain > 0 ? groupTotal / nTrain : 0.0;
        }
    }
    for (int k = 0; k < nGroups; k++) groupWeight[k] = std::sqrt(groupWeight[k]);
    BayesEstimates(nTraits, nGroups, maxState, counts, groupWeight, nNew, newStates, out);
    free1D(groupWeight);
    free3D(reinterpret_cast<void***>(counts), nTraits, nGroups);
    free1D(maxState);
    return 1;
}

template <typename T>
T MaxOf(int n, const T* v, T start)
{
    T m = start;
    for (int i = 0; i < n; i++)
        if (v[i] > m) m = v[i];
    return m;
}

template <typename T>
T MinOf(int n, const T* v, T start)
{
    T m = start;
    for (int i = 0; i < n; i++)
        if (v[i] < m) m = v[i];
    return m;
}

template <typename T>
int WhichMax(int n, const T* v, T start)
{
    T m = start;
    int which = 0;
    for (int i = 0; i < n; i++)
        if (v[i] > m) {
            m = v[i];
            which = i;
        }
    return which;
}

}  // namespace

int ConcentrateGroups(int n, int p, float** in, float** out, int k, int* rowGroups, int g,
                      int* colGroups, int opt)
{
    if (k < 1 || g < 1) return 1;
    int* rowSize = dim1Dint(k);
    int* colSize = dim1Dint(g);
    GroupSizes(n, rowGroups, k, rowSize);
    GroupSizes(p, colGroups, g, colSize);

    for (int a = 0; a < k; a++)
        for (int b = 0; b < g; b++) out[a][b] = 0.0f;
    for (int j = 0; j < p; j++) {
        int b = GroupIndex(colGroups[j], g);
        if (b < 0) continue;
        for (int i = 0; i < n; i++) {
            int a = GroupIndex(rowGroups[i], k);
            if (a >= 0) out[a][b] += in[i][j];
        }
    }
    MeansOfSums(k, g, out, [&](int a, int b) { return rowSize[a] * colSize[b]; }, opt == 1);

    free1D(rowSize);
    free1D(colSize);
    return 1;
}

int ConcentrateRowGroups(int n, int p, float** in, float** out, int k, int* rowGroups, int opt)
{
    if (k < 1) return 1;
    int* size = dim1Dint(k);
    GroupSizes(n, rowGroups, k, size);
    for (int a = 0; a < k; a++)
        for (int j = 0; j < p; j++) out[a][j] = 0.0f;
    for (int i = 0; i < n; i++) {
        int a = GroupIndex(rowGroups[i], k);
        if (a < 0) continue;
        for (int j = 0; j < p; j++) out[a][j] += in[i][j];
    }
    if (opt == 1 || opt == 2)
        MeansOfSums(k, p, out, [&](int a, int) { return size[a]; }, opt == 1);
    free1D(size);
    return 1;
}

int ConcentrateColGroups(int n, int p, float** in, float** out, int g, int* colGroups, int opt)
{
    if (g < 1) return 1;
    int* size = dim1Dint(g);
    GroupSizes(p, colGroups, g, size);
    for (int i = 0; i < n; i++) {
        for (int b = 0; b < g; b++) out[i][b] = 0.0f;
        for (int j = 0; j < p; j++) {
            int b = GroupIndex(colGroups[j], g);
            if (b >= 0) out[i][b] += in[i][j];
        }
    }
    if (opt == 1 || opt == 2)
        MeansOfSums(n, g, out, [&](int, int b) { return size[b]; }, opt == 1);
    free1D(size);
    return 1;
}

int ReleveChange(int n, float** A, float** B, int p, int k, int* labels)
{
    for (int g = 1; g <= k; g++)
        for (int i = 0; i < n; i++) {
            if (labels[i] != g) continue;
            for (int v = 0; v < p; v++) B[v][g - 1] = A[v][i] - B[v][g - 1];
        }
    return 1;
}

int SplitMovingWinPool(int n, int p, float** in, float** out, int w, int* nOut, bool byRows)
{
    // A window of fewer than one object has no mean, and one longer than the series has no
    // place: no window at all (never a negative count).
    const int length = byRows ? n : p;
    *nOut = w < 1 || w > length ? 0 : length - w + 1;
    if (*nOut < 1) return 1;
    if (byRows) {
        float* buf = dim1Dfloat(p);
        for (int t = 0; t < *nOut; t++) {
            for (int j = 0; j < p; j++) buf[j] = 0.0f;
            for (int r = t; r < t + w; r++)
                for (int j = 0; j < p; j++) buf[j] += in[r][j];
            for (int j = 0; j < p; j++) out[t][j] = buf[j] / static_cast<float>(w);
        }
        free1D(buf);
    } else {
        float* buf = dim1Dfloat(n);
        for (int t = 0; t < *nOut; t++) {
            for (int i = 0; i < n; i++) buf[i] = 0.0f;
            for (int c = t; c < t + w; c++)
                for (int i = 0; i < n; i++) buf[i] += in[i][c];
            for (int i = 0; i < n; i++) out[i][t] = buf[i] / static_cast<float>(w);
        }
        free1D(buf);
    }
    return 1;
}

int CountGroups(int n, int* labels, int* nGroups, int* distinct)
{
    *nGroups = DistinctLabels(n, labels, nullptr, distinct);
    return 1;
}

int CountGroupsSelect(int n, int* labels, int* select, int* nGroups, int* distinct)
{
    *nGroups = DistinctLabels(n, labels, select, distinct);
    return 1;
}

int maxVector(int n, int* v) { return MaxOf(n, v, -2147483647); }
float maxVector(int n, float* v) { return MaxOf(n, v, -FLT_MAX); }
double maxVector(int n, double* v) { return MaxOf(n, v, -DBL_MAX); }
float minVector(int n, float* v) { return MinOf(n, v, FLT_MAX); }
double minVector(int n, double* v) { return MinOf(n, v, DBL_MAX); }
int maxVectorInt(int n, int* v) { return MaxOf(n, v, INT_MIN); }
int minVectorInt(int n, int* v) { return MinOf(n, v, INT_MAX); }
int MaxVectorWhich(int n, float* v) { return WhichMax(n, v, -FLT_MAX); }
int MaxVectorWhich(int n, double* v) { return WhichMax(n, v, -DBL_MAX); }

int BayesRaw(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
             int nNew, float** newStates, float** out)
{
    return BayesRawT(nTraits, nTrain, trainStates, nGroups, membership, nNew, newStates, out);
}

int BayesRaw(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
             int nNew, float** newStates, double** out)
{
    return BayesRawT(nTraits, nTrain, trainStates, nGroups, membership, nNew, newStates, out);
}

int BayesCont(int nTraits, int nGroups, int* maxState, double*** counts, int nNew,
              float** newStates, float** out)
{
    return BayesContT(nTraits, nGroups, maxState, counts, nNew, newStates, out);
}

int BayesCont(int nTraits, int nGroups, int* maxState, double*** counts, int nNew,
              float** newStates, double** out)
{
    return BayesContT(nTraits, nGroups, maxState, counts, nNew, newStates, out);
}

int Bayes(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
          int nNew, float** newStates, float** out)
{
    return BayesT(nTraits, nTrain, trainStates, nGroups, membership, nNew, newStates, out);
}

int Bayes(int nTraits, int nTrain, float** trainStates, int nGroups, float** membership,
          int nNew, float** newStates, double** out)
{
    return BayesT(nTraits, nTrain, trainStates, nGroups, membership, nNew, newStates, out);
}
