// Contingency tables of nominal variables and the resemblances built on them (G statistic,
// mutual entropy, coherence, chi-square, three-way mutual entropy), with their optional
// listing, and the mutual-information resemblance among rows of non-negative values.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/ReplacingWriter.h"
#include "foundation/qwlibDim.h"
#include "foundation/qwlibOut.h"
#include "matrix/core/qwlibUtil.h"
#include "statistics/qwlibRes.h"

namespace {

// The state of a value: its integer part. A missing value (MV forms), a value that is not
// finite or one beyond the int range is no state.
template <bool MV, class T>
bool ReadState(T x, int* s) {
    if (MV && IsMissing(x)) return false;
    double t = std::trunc(double(x));
    if (!(t >= double(INT_MIN) && t <= double(INT_MAX))) return false;
    *s = int(t);
    return true;
}

template <bool MV>
bool ReadState(int x, int* s) {
    if (MV && x == -999) return false;
    *s = x;
    return true;
}

// The distinct states of x[0..p-1] in the order of their first appearance, and the index of
// every value's state (-1 for a value that is no state). Values are compared by their state,
// so that 2 and 2.5 are one state and every value finds its place in the table.
template <bool MV, class T>
int States(int p, const T* x, std::vector<int>& states, std::vector<int>& index) {
    states.clear();
    index.assign(p, -1);
    for (int k = 0; k < p; k++) {
        int s;
        if (!ReadState<MV>(x[k], &s)) continue;
        auto at = std::find(states.begin(), states.end(), s);
        index[k] = int(at - states.begin());
        if (at == states.end()) states.push_back(s);
    }
    return int(states.size());
}

template <bool MV, class T>
int StateCount(int p, const T* x) {
    std::vector<int> states, index;
    return States<MV>(p, x, states, index);
}

void ListStates(FILE* f, const char* head, const std::vector<int>& states) {
    fprintf(f, head, int(states.size()));
    for (int s : states) fprintf(f, "%d\t", s);
}

template <bool MV, class T, class Tab>
void ContingencyT(int p, T* a, T* b, Tab** table, int* size, FILE* stream) {
    std::vector<int> sa, sb, ia, ib;
    const int R = States<MV>(p, a, sa, ia), C = States<MV>(p, b, sb, ib);
    for (int r = 0; r < R; r++)
        for (int c = 0; c < C; c++) table[r][c] = Tab(0);
    for (int k = 0; k < p; k++)
        if (ia[k] >= 0 && ib[k] >= 0) table[ia[k]][ib[k]] += Tab(1);
    size[0] = R;
    size[1] = C;
    if (stream) {
        ListStates(stream, "Row states (%d): ", sa);
        ListStates(stream, "\nColumn states (%d): ", sb);
        fprintf(stream, "\n");
        PrintMatrixFloat(stream, R, C, table, 6, 0);
    }
}

template <class T, class Tab>
void Contingency3DT(int p, T* a, T* b, T* c, Tab*** t3, int* size, FILE* stream) {
    std::vector<int> sa, sb, sc, ia, ib, ic;
    const int A = States<true>(p, a, sa, ia), B = States<true>(p, b, sb, ib), C = States<true>(p, c, sc, ic);
    for (int l = 0; l < A; l++)
        for (int r = 0; r < B; r++)
            for (int q = 0; q < C; q++) t3[l][r][q] = Tab(0);
    for (int k = 0; k < p; k++)
        if (ia[k] >= 0 && ib[k] >= 0 && ic[k] >= 0) t3[ia[k]][ib[k]][ic[k]] += Tab(1);
    size[0] = A;
    size[1] = B;
    size[2] = C;
    if (stream) {
        ListStates(stream, "Row states (%d): ", sb);
        ListStates(stream, "\nColumn states (%d): ", sc);
        fprintf(stream, "\n");
        for (int l = 0; l < A; l++) PrintMatrixFloat(stream, B, C, t3[l], 6, 0);
    }
}

template <class T, class F>
void ContingencyVectorT(int p, T* x, F* freq, int* count, int* states) {
    std::vector<int> s, index;
    *count = States<false>(p, x, s, index);
    for (int t = 0; t < *count; t++) {
        states[t] = s[t];
        freq[t] = F(0);
    }
    for (int k = 0; k < p; k++)
        if (index[k] >= 0) freq[index[k]] += F(1);
}

// The listing file of the nominal kernels (flag 1 only), written whole or not at all: a file
// that cannot be created raises code 4, a failed write code 3 after the message naming the file
// and the system's reason. Null when there is no listing.
FILE* StartListing(ReplacingWriter& listing, char flag) { return flag == 1 ? listing.OpenOrRaise() : nullptr; }

// The frame of the pairwise kernels: one table, sized by the largest number of states of a
// variable, reused for every pair i <= j; value(R, C, table) is stored in r[i][j].
template <bool MV, class Tab, class T, class R, class Value>
void PairwiseT(int n, int p, T** x, R** r, char flag, Value value) {
    ReplacingWriter listing("Tables.txt");
    FILE* lf = StartListing(listing, flag);
    int S = 0;
    for (int i = 0; i < n; i++) S = std::max(S, StateCount<MV>(p, x[i]));
    Tab** table = static_cast<Tab**>(static_cast<void*>(dim2D(sizeof(Tab), S, S)));
    int size[2];
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            if (lf) fprintf(lf, "\nContingency table var.%d x var.%d:\n", i + 1, j + 1);
            ContingencyT<MV>(p, x[i], x[j], table, size, lf);
            r[i][j] = R(value(size[0], size[1], table));
        }
    free2D(table, S);
    if (lf) listing.CommitOrExplain();
}

template <class T, class Tab, class R>
void TripletsT(int n, int p, T** x, R*** r3, float a, char flag) {
    ReplacingWriter listing("Tables3D.txt");
    FILE* lf = StartListing(listing, flag);
    int S = 0;
    for (int i = 0; i < n; i++) S = std::max(S, StateCount<true>(p, x[i]));
    Tab*** table = static_cast<Tab***>(static_cast<void*>(dim3D(sizeof(Tab), S, S, S)));
    int size[3];
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++)
            for (int k = j; k < n; k++) {
                if (lf) fprintf(lf, "\nContingency table var.%d x var.%d:\n", i + 1, j + 1);
                Contingency3DT(p, x[i], x[j], x[k], table, size, lf);
                r3[i][j][k] = R(MutualEntropy3D_MV(size[0], size[1], size[2], table, Tab(a)));
            }
    free3D(table, S, S);
    if (lf) listing.CommitOrExplain();
}

// Pearson chi-square over the cells whose row, column and grand totals are above 0.
template <class Tab>
double ChiSquare(int R, int C, Tab** table, const double* rows, const double* cols, double N) {
    double chi = 0.0;
    if (!(N > 0.0)) return 0.0;
    for (int r = 0; r < R; r++)
        for (int c = 0; c < C; c++) {
            if (!(rows[r] > 0.0) || !(cols[c] > 0.0) || IsMissing(table[r][c])) continue;
            double e = rows[r] * cols[c] / N, o = double(table[r][c]);
            chi += (o - e) * (o - e) / e;
        }
    return chi;
}

// Chi-square of a table with its totals from the present cells (MV) or from all cells.
template <bool MV, class Tab>
double ChiSquareOf(int R, int C, Tab** table) {
    std::vector<double> rows(std::max(R, 1)), cols(std::max(C, 1));
    double N;
    if constexpr (MV) {
        RowTotalsMV(R, C, table, rows.data());
        ColTotalsMV(R, C, table, cols.data());
        N = MatrixTotalMV(R, C, table);
    } else {
        RowTotals(R, C, table, rows.data());
        ColTotals(R, C, table, cols.data());
        N = MatrixTotal(R, C, table);
    }
    return ChiSquare(R, C, table, rows.data(), cols.data(), N);
}

// t ln(2 t / (t + u)), 0 for t = 0 (0 ln 0 = 0), in precision L.
template <class L>
L HalfTerm(L t, L u) {
    return t > L(0) ? L(t * std::log(L(2) * t / (t + u))) : L(0);
}

// Mutual information among rows: the information divergence of the two rows less the
// divergence of their totals; logarithms of the correction in precision L.
template <bool MV, class L, class T, class R>
void MutualInformationT(int n, int p, T** x, R** d) {
    if (n < 1) return;
    std::vector<R> t(n);
    if constexpr (MV) {
        IDivergenceMV(n, p, x, d);
        RowTotalsMV(n, p, x, t.data());
    } else {
        IDivergence(n, p, x, d);
        RowTotals(n, p, x, t.data());
    }
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) {
            L ti = L(t[i]), tj = L(t[j]);
            d[i][j] -= R(HalfTerm(ti, tj) + HalfTerm(tj, ti));
        }
}

// The kernels' values of one R x C table.
template <bool MV, class Tab>
double GStatistic(int R, int C, Tab** table) {
    if constexpr (MV)
        return 2.0 * double(MatrixTotalMV(R, C, table)) * MutualEntropyMV(R, C, table, Tab(1));
    else
        return 2.0 * double(MatrixTotal(R, C, table)) * MutualEntropy(R, C, table, 1.0f);
}

// The same with the product formed in single precision (float results).
template <bool MV, class Tab>
float GStatisticSingle(int R, int C, Tab** table) {
    if constexpr (MV)
        return 2.0f * float(MatrixTotalMV(R, C, table)) * float(MutualEntropyMV(R, C, table, Tab(1)));
    else
        return 2.0f * float(MatrixTotal(R, C, table)) * float(MutualEntropy(R, C, table, 1.0f));
}

}  // namespace

void ContingencyMV(int p, double* a, double* b, double** table, int* size, FILE* stream) {
    ContingencyT<true>(p, a, b, table, size, stream);
}
void ContingencyMV(int p, float* a, float* b, float** table, int* size, FILE* stream) {
    ContingencyT<true>(p, a, b, table, size, stream);
}
void ContingencyMV(int p, int* a, int* b, float** table, int* size, FILE* stream) {
    ContingencyT<true>(p, a, b, table, size, stream);
}
void Contingency(int p, float* a, float* b, float** table, int* size, FILE* stream) {
    ContingencyT<false>(p, a, b, table, size, stream);
}
void Contingency3D_MV(int p, float* a, float* b, float* c, float*** table3, int* size,
                      FILE* stream) {
    Contingency3DT(p, a, b, c, table3, size, stream);
}
void Contingency3D_MV(int p, double* a, double* b, double* c, double*** table3, int* size,
                      FILE* stream) {
    Contingency3DT(p, a, b, c, table3, size, stream);
}
void ContingencyVector(int p, float* x, float* freq, int* count, int* states) {
    ContingencyVectorT(p, x, freq, count, states);
}
void ContingencyVector(int p, double* x, double* freq, int* count, int* states) {
    ContingencyVectorT(p, x, freq, count, states);
}

void MDISMV(int n, int p, double** x, double** r, char flag) {
    PairwiseT<true, double>(n, p, x, r, flag, GStatistic<true, double>);
}
void MDISMV(int n, int p, float** x, float** r, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, GStatisticSingle<true, float>);
}
void MDISMV(int n, int p, float** x, double** r, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, GStatistic<true, float>);
}
void MDIS(int n, int p, float** x, float** r, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, GStatisticSingle<false, float>);
}
void MDIS(int n, int p, float** x, double** r, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, GStatistic<false, float>);
}

void MutualEntropyPairwiseMV(int n, int p, double** x, double** r, double a, char flag) {
    const double order = double(float(a));
    PairwiseT<true, double>(n, p, x, r, flag, [&](int R, int C, double** t) { return MutualEntropyMV(R, C, t, order); });
}
void MutualEntropyPairwiseMV(int n, int p, float** x, float** r, float a, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return MutualEntropyMV(R, C, t, a); });
}
void MutualEntropyPairwiseMV(int n, int p, float** x, double** r, double a, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return MutualEntropyMV(R, C, t, float(a)); });
}
void MutualEntropyPairwise(int n, int p, float** x, float** r, float a, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return MutualEntropy(R, C, t, a); });
}
void MutualEntropyPairwise(int n, int p, float** x, double** r, double a, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return MutualEntropy(R, C, t, float(a)); });
}

void MutualEntropyTripletsMV(int n, int p, float** x, float*** r3, float a, char flag) {
    TripletsT<float, float>(n, p, x, r3, a, flag);
}
void MutualEntropyTripletsMV(int n, int p, double** x, double*** r3, float a, char flag) {
    TripletsT<double, double>(n, p, x, r3, a, flag);
}

void CoheCoefPairwiseMV(int n, int p, double** x, double** r, float a, char flag) {
    PairwiseT<true, double>(n, p, x, r, flag, [&](int R, int C, double** t) { return CoheCoefMV(R, C, t, double(a)); });
}
void CoheCoefPairwiseMV(int n, int p, float** x, double** r, float a, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return CoheCoefMV(R, C, t, double(a)); });
}
void CoheCoefPairwiseMV(int n, int p, float** x, float** r, float a, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return CoheCoefMV(R, C, t, a); });
}
void CoheCoefPairwise(int n, int p, float** x, float** r, float a, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return CoheCoef(R, C, t, a); });
}
void CoheCoefPairwise(int n, int p, float** x, double** r, double a, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, [&](int R, int C, float** t) { return CoheCoef(R, C, t, a); });
}

void QuiSquareMV(int n, int p, double** x, double** r, char flag) {
    PairwiseT<true, double>(n, p, x, r, flag, ChiSquareOf<true, double>);
}
void QuiSquareMV(int n, int p, float** x, float** r, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, ChiSquareOf<true, float>);
}
void QuiSquareMV(int n, int p, float** x, double** r, char flag) {
    PairwiseT<true, float>(n, p, x, r, flag, ChiSquareOf<true, float>);
}
void QuiSquare(int n, int p, float** x, float** r, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, ChiSquareOf<false, float>);
}
void QuiSquare(int n, int p, float** x, double** r, char flag) {
    PairwiseT<false, float>(n, p, x, r, flag, ChiSquareOf<false, float>);
}
double QuiSquareFromContingencyMV(int R, int C, double** table) {
    if (R < 1 || C < 1) return 0.0;
    return ChiSquareOf<true>(R, C, table);
}

void MutualInformationMV(int n, int p, double** x, double** d) {
    MutualInformationT<true, double>(n, p, x, d);
}
void MutualInformationMV(int n, int p, float** x, float** d) {
    MutualInformationT<true, float>(n, p, x, d);
}
void MutualInformationMV(int n, int p, float** x, double** d) {
    MutualInformationT<true, double>(n, p, x, d);
}
void MutualInformation(int n, int p, float** x, float** d) {
    MutualInformationT<false, float>(n, p, x, d);
}
void MutualInformation(int n, int p, float** x, double** d) {
    MutualInformationT<false, float>(n, p, x, d);
}
