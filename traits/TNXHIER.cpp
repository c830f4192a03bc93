// The trait hierarchy of monothetic types and its fuzzy sets: community totals, trait order,
// the levels of types, their indeterminacy, similarity and fuzzy adjustment, and the pooled
// states of groups of OTUs.
#include "traits/TNXHIER.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/qwlibDim.h"
#include "session/model/TNXCHECK.h"
#include "session/model/TNXGLOB.h"
#include "statistics/qwlibRes.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXGOWER.h"
#include "traits/TNXHIERInternal.h"

namespace {

// One similarity sharpened by the degree of fuzziness, in single precision.
template <class T>
T Sharpened(T s, float f) {
    if (f > 0.0f) return static_cast<T>(std::pow(static_cast<float>(s), 1.0f / f));
    return s >= 1 ? T(1) : T(0);
}

template <class T>
void SharpenAll(int rows, int cols, T** M, float f) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) M[i][j] = Sharpened(M[i][j], f);
}

// The fuzzy adjustment of one row over the types flagged in `take` (all when take is null),
// tmp being a work vector of n values. A row whose weighted total is 0 is left as it is.
template <class S>
void AdjustRow(int n, float* row, S** sim, const bool* take, double* tmp) {
    double total = 0.0, weighted = 0.0;
    for (int k = 0; k < n; k++) {
        tmp[k] = 0.0;
        if (take && !take[k]) continue;
        total += row[k];
        for (int j = 0; j < n; j++)
            if (!take || take[j]) tmp[k] += row[j] * static_cast<double>(sim[k][j]);
        weighted += tmp[k];
    }
    if (weighted == 0.0) return;
    for (int k = 0; k < n; k++) row[k] = static_cast<float>(tmp[k] * total / weighted);
}

template <class S>
void PairAdjust(int n, float** pair, S** sim, bool* take, double* tmp) {
    for (int k = 0; k < n; k++) take[k] = pair[0][k] > 0.0f || pair[1][k] > 0.0f;
    AdjustRow(n, pair[0], sim, take, tmp);
    AdjustRow(n, pair[1], sim, take, tmp);
}

// The performance of a type after one more member is pooled into it: a missing performance
// (-999) adds nothing, and the type stays missing only while none of its members is present.
float PooledPerformance(float type, float member) {
    if (IsMissing(member)) return type;
    return IsMissing(type) ? member : type + member;
}

template <class S>
void PairAdjust(int n, float** pair, S** sim) {
    bool* take = static_cast<bool*>(dim1D(sizeof(bool), n));
    double* tmp = dim1Double(n);
    PairAdjust(n, pair, sim, take, tmp);
    free1D(tmp);
    free1D(take);
}

}  // namespace

void DataPartition(int nOTU, float** totals) { DataPartitionL(nOTU, ncsm, ncst, part, cadat, totals); }

void Reorder(int nTraits, int nOTU, int* order, int* states, char** codes, int* types, float* ranges,
             float* weights) {
    if (nTraits < 1) return;
    ReorderVectors(nTraits, order, states, types, ranges, weights);
    char* former = dim1Dchar(2 * nTraits);
    for (int o = 0; o < nOTU; o++) {
        std::memcpy(former, codes[o], 2 * static_cast<size_t>(nTraits));
        for (int t = 0; t < nTraits; t++) {
            codes[o][2 * t] = former[2 * order[t] - 2];
            codes[o][2 * t + 1] = former[2 * order[t] - 1];
        }
    }
    free1D(former);
}

void Hierarchy(int nLevels, int nTraits, int nComm, char** codes, char**** levelCodes, int* nTypes, float** data,
               float**** levelData, int** track) {
    *levelCodes = nullptr;
    *levelData = nullptr;
    if (nLevels < 1) return;
    const int nOTU = nTypes[0];
    *levelCodes = reinterpret_cast<char***>(dim1Dptr(nLevels));
    if (data) *levelData = reinterpret_cast<float***>(dim1Dptr(nLevels));
    int* merged = dim1Dint(nOTU);
    int count = nOTU;
    for (int l = 0; l < nLevels; l++) {
        for (int o = 0; o < nOTU; o++) track[l][o] = l == 0 ? o + 1 : track[l - 1][o];
        const int width = std::max(0, 2 * (nTraits - l));
        for (int i = 0; i < nOTU; i++) {
            if (merged[i]) continue;
            for (int j = i + 1; j < nOTU; j++) {
                if (merged[j] || std::strncmp(codes[i], codes[j], width) != 0) continue;
                for (int o = 0; o < nOTU; o++)
                    if (track[l][o] == j + 1) track[l][o] = i + 1;
                merged[j] = 1;
                if (data)
                    for (int c = 0; c < nComm; c++) data[i][c] = PooledPerformance(data[i][c], data[j][c]);
                count--;
            }
        }
        nTypes[l] = count;
        char** lc = dim2Dchar(count, width + 1);
        float** ld = data ? dim2Dfloat(nComm, count) : nullptr;
        for (int i = 0, k = 0; i < nOTU; i++) {
            if (merged[i]) continue;
            std::strncpy(lc[k], codes[i], width);
            if (ld)
                for (int c = 0; c < nComm; c++) ld[c][k] = IsMissing(data[i][c]) ? 0.0f : data[i][c];
            k++;
        }
        (*levelCodes)[l] = lc;
        if (data) (*levelData)[l] = ld;
    }
    free1D(merged);
}

void FreeHierarchy(int nLevels, int nComm, const int* nTypes, char*** levelCodes, float*** levelData) {
    for (int l = 0; l < nLevels; l++) {
        if (levelCodes) free2D(levelCodes[l], nTypes[l]);
        if (levelData) free2D(levelData[l], nComm);
    }
    free1D(levelCodes);
    free1D(levelData);
}

void Indeterminacy(int nLevels, int nComm, int* nTypes, float*** levelData, double*** out) {
    for (int l = 0; l < nLevels; l++)
        for (int i = 0; i < nComm; i++)
            for (int j = i + 1; j < nComm; j++) {
                int both = 0, either = 0;
                for (int k = 0; k < nTypes[l]; k++) {
                    const bool a = levelData[l][i][k] > 0.0f, b = levelData[l][j][k] > 0.0f;
                    both += a && b;
                    either += a || b;
                }
                out[l][i][j] = either > 0 ? 1.0 - static_cast<double>(both) / either : 0.0;
            }
}

void FuzzySets(int nLevels, char*** levelCodes, int* nTypes, double*** S, int* types, float* ranges,
               float* weights) {
    for (int l = 0; l < nLevels; l++)
        gower_similarity(nch - l, levelCodes[l], nTypes[l], S[l], types, ranges, weights, countDoubleAbsence);
}

void FuzzinessDegree(int nLevels, int* nTypes, double*** S, float f) {
    if (!(f < 1.0f)) return;
    for (int l = 0; l < nLevels; l++) FuzzinessDegree_i(nTypes[l], S[l], f);
}

void FuzzinessDegree_i(int n, double** S, float f) { SharpenAll(n, n, S, f); }
void FuzzinessDegree_i(int n, float** S, float f) { SharpenAll(n, n, S, f); }
void FuzzinessDegreeAnyMatrix(int rows, int cols, double** M, float f) { SharpenAll(rows, cols, M, f); }

void FuzzyAdj(int nLevels, int nComm, int* nTypes, float*** levelData, double*** S) {
    const int levels = isHierarchical == 1 ? nLevels : std::min(nLevels, 1);
    for (int l = 0; l < levels; l++) FuzzyAdj_i(nComm, nTypes[l], levelData[l], S[l]);
}

void FuzzyAdj_i(int nRows, int n, float** data, double** S) {
    double* tmp = dim1Double(n);
    for (int r = 0; r < nRows; r++) AdjustRow(n, data[r], S, nullptr, tmp);
    free1D(tmp);
}

void FuzzyAdjAnyMatrix(int nRows, int nCols, int nOut, float** data, float** out, float** M) {
    double* tmp = dim1Double(nOut);
    for (int r = 0; r < nRows; r++) {
        double total = 0.0, weighted = 0.0;
        for (int j = 0; j < nCols; j++) total += data[r][j];
        for (int k = 0; k < nOut; k++) {
            tmp[k] = 0.0;
            for (int j = 0; j < nCols; j++) tmp[k] += data[r][j] * static_cast<double>(M[j][k]);
            weighted += tmp[k];
        }
        const double scale = weighted != 0.0 ? total / weighted : 1.0;
        for (int k = 0; k < nOut; k++) out[r][k] = static_cast<float>(tmp[k] * scale);
    }
    free1D(tmp);
}

void PairwiseFuzzyAdj(int n, float** pair, double** S) { PairAdjust(n, pair, S); }
void PairwiseFuzzyAdj(int n, float** pair, float** S) { PairAdjust(n, pair, S); }

namespace hier {

void PairwiseFuzzyAdj(int n, float** pair, double** S, bool* take, double* tmp) { PairAdjust(n, pair, S, take, tmp); }

}  // namespace hier

void PoolCSTs(int start, int** pooled, char** codes, int nOTU, int* nStates, int nGroups, int* types,
              int** stateCounts, int*** states, int*** freq) {
    const int nTraits = nch - start + 1;
    int most = 0;
    for (int t = 0; t < nTraits; t++) most = std::max(most, nStates[t]);
    char** found = dim2Dchar(std::max(most, 1), 3);
    for (int g = 0; g < nGroups; g++)
        for (int t = 0; t < nTraits; t++) {
            int count = 0;
            CountStatesFreqGroup(t, nOTU, &count, codes, found, freq[g][t], nStates[t], types, g + 1);
            stateCounts[g][t] = count;
            double sum = 0.0, members = 0.0;
            int modal = 0;
            for (int s = 0; s < count; s++) {
                states[g][t][s] = std::atoi(found[s]);
                sum += static_cast<double>(states[g][t][s]) * freq[g][t][s];
                members += freq[g][t][s];
                if (freq[g][t][s] > freq[g][t][modal]) modal = s;
            }
            if (count == 0)
                pooled[g][t] = 0;
            else if (chtype[t] == 2)
                pooled[g][t] = states[g][t][modal];
            else
                pooled[g][t] = static_cast<int>(Round(sum / members, 0));
        }
    free2D(found, std::max(most, 1));
}
