// Partial correlations of second and general order, matrix inversion, vector equality,
// communality estimates and indicator columns of nominal variables.
#include "permtests/qwlibPermUtil.h"

#include "foundation/nrutilQW.h"
#include "foundation/qwlibDim.h"
#include "matrix/qwlib.h"
#include "statistics/qwlibRes.h"

#include <cmath>
#include <limits>

namespace {

const double kMissing = -999.0;

template <class T>
bool MatrixInverseT(int n, int m, T** A, T** Ainv)
{
    if (n < 1) return true;
    if (m < 0) m = 0;
    // 1-based work copies; the right-hand side is zero and only there because the
    // elimination needs one.
    double** a = dim2Double(n + 1, n + 1);
    double** b = dim2Double(n + 1, m + 1);
    Convertn_n1(n, n, A, a);
    const bool ok = gaussj_QW(a, n, b, m) == 1;
    if (ok) Convertn1_n(n, n, a, Ainv);
    free2D(b, n + 1);
    free2D(a, n + 1);
    return ok;
}

template <class T>
double GeneralPartialT(int n, T** R, int i, int j, int k, int* controls)
{
    const double inf = std::numeric_limits<double>::infinity();
    if (i < 0 || i >= n || j < 0 || j >= n) return inf;
    if (k < 0) k = 0;
    for (int c = 0; c < k; c++)
        if (controls[c] < 0 || controls[c] >= n) return inf;
    const int order = k > 0 ? k : 1;
    double** C = dim2Double(order, order);
    double** Cinv = dim2Double(order, order);
    for (int a = 0; a < k; a++)
        for (int b = 0; b < k; b++) C[a][b] = double(R[controls[a]][controls[b]]);
    double result = inf;
    if (MatrixInverse(k, k, C, Cinv)) {
        // S = A - G C^-1 G', with G's rows the correlations of i and of j with the controls.
        const int var[2] = {i, j};
        double S[2][2] = {{1.0, double(R[i][j])}, {double(R[i][j]), 1.0}};
        for (int r = 0; r < 2; r++)
            for (int s = 0; s < 2; s++) {
                double q = 0.0;
                for (int a = 0; a < k; a++)
                    for (int b = 0; b < k; b++)
                        q += double(R[var[r]][controls[a]]) * Cinv[a][b] *
                             double(R[var[s]][controls[b]]);
                S[r][s] -= q;
            }
        // D S D with D = diag(1 / sqrt(S00), 1 / sqrt(S11)); a product that is not positive
        // (or NaN) has no square root and leaves the "no answer" value.
        if (S[0][0] * S[1][1] > 0.0) {
            const double d0 = 1.0 / std::sqrt(S[0][0]), d1 = 1.0 / std::sqrt(S[1][1]);
            result = d1 * S[1][0] * d0;
        }
    }
    free2D(Cinv, order);
    free2D(C, order);
    return result;
}

template <class T>
int CommunalityT(int nVars, int nObs, T** data, T* comm, int* nUsed)
{
    *nUsed = 0;
    if (nVars < 1) return 1;
    int* positives = dim1Dint(nVars);
    int* order = dim1Dint(nVars);
    for (int v = 0; v < nVars; v++)
        for (int o = 0; o < nObs; o++)
            if (data[v][o] > 0) positives[v]++;
    // Ascending order of the counts, read from its end: the variables with most positive
    // values come first and are the last to be dropped.
    IndexVector(nVars, positives, order);
    auto variable = [&](int r) { return order[nVars - 1 - r] - 1; };
    T** rows = static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), nVars, nObs > 0 ? nObs : 1)));
    for (int r = 0; r < nVars; r++)
        for (int o = 0; o < nObs; o++) rows[r][o] = data[variable(r)][o];
    CenterRowsCovMV(nVars, nObs, rows, rows);
    // The covariances among the first m variables are the leading m x m block of S.
    double** S = dim2Double(nVars, nVars);
    double** Sinv = dim2Double(nVars, nVars);
    CrossProductMV(nVars, nObs, rows, S);
    UpperToLowerMatrix(nVars, S);
    int m = nVars;
    while (m > 0 && !MatrixInverse(m, m, S, Sinv)) m--;
    *nUsed = m;
    for (int v = 0; v < nVars; v++) comm[v] = T(kMissing);
    for (int r = 0; r < m; r++) comm[variable(r)] = T((S[r][r] - 1.0 / Sinv[r][r]) / S[r][r]);
    free2D(Sinv, nVars);
    free2D(S, nVars);
    free2D(rows, nVars);
    free1D(order);
    free1D(positives);
    return 1;
}

// True when v's integer part is state (false for -999, NaN and infinities, whose integer
// part is never a listed state).
template <class T>
bool InState(T v, int state)
{
    return std::trunc(double(v)) == double(state);
}

// The states of one nominal column into states[], ascending. CountStates lists only the
// states from 1 on although it counts state 0, so 0 is put in front here when present:
// every counted state then has its entry and its column.
template <class T>
int StatesOf(int n, T* column, int* states)
{
    bool zero = false;
    for (int i = 0; i < n; i++)
        if (InState(column[i], 0)) zero = true;
    if (zero) states[0] = 0;
    return CountStates(n, column, zero ? states + 1 : states);
}

template <class T>
int BinarizeT(int nRows, int nVars, bool* isNominal, T** data, T** out, int* nOut, int** states,
              int* nStates)
{
    *nOut = 0;
    if (nVars < 1) return 1;
    T* column = static_cast<T*>(dim1D(sizeof(T), nRows > 0 ? nRows : 1));
    for (int j = 0; j < nVars; j++) {
        if (!isNominal[j]) {
            nStates[j] = 1;
        } else {
            for (int i = 0; i < nRows; i++) column[i] = data[i][j];
            nStates[j] = StatesOf(nRows, column, states[j]);
        }
        *nOut += nStates[j];
    }
    int col = 0;
    for (int j = 0; j < nVars; j++) {
        if (!isNominal[j]) {
            for (int i = 0; i < nRows; i++) out[i][col] = data[i][j];
            col++;
            continue;
        }
        for (int s = 0; s < nStates[j]; s++, col++)
            for (int i = 0; i < nRows; i++) out[i][col] = InState(data[i][j], states[j][s]) ? T(1) : T(0);
    }
    free1D(column);
    return 1;
}

}  // namespace

void InteractionMatrix(int, int, float**, double**, double**, double**, int*, int, bool, FILE*, bool) {}

float PartialCorrelation2ndOrder(float rXY, float rXB, float rXA, float rYB, float rYA, float rAB)
{
    const float rXYA = PartialCorrelation(rXY, rXA, rYA);
    const float rXBA = PartialCorrelation(rXB, rXA, rAB);
    const float rYBA = PartialCorrelation(rYB, rYA, rAB);
    return PartialCorrelation(rXYA, rXBA, rYBA);
}

double PartialCorrelation_GeneralProc(int n, float** R, int i, int j, int k, int* controls)
{
    return GeneralPartialT(n, R, i, j, k, controls);
}

double PartialCorrelation_GeneralProc(int n, double** R, int i, int j, int k, int* controls)
{
    return GeneralPartialT(n, R, i, j, k, controls);
}

bool MatrixInverse(int n, int m, double** A, double** Ainv) { return MatrixInverseT(n, m, A, Ainv); }
bool MatrixInverse(int n, int m, float** A, float** Ainv) { return MatrixInverseT(n, m, A, Ainv); }

bool CompareTwoVectors(int n, float* a, float* b)
{
    for (int i = 0; i < n; i++)
        if (!(a[i] == b[i])) return false;
    return true;
}

int Communality(int nVars, int nObs, float** data, float* comm, int* nUsed)
{
    return CommunalityT(nVars, nObs, data, comm, nUsed);
}

int Communality(int nVars, int nObs, double** data, double* comm, int* nUsed)
{
    return CommunalityT(nVars, nObs, data, comm, nUsed);
}

int Binarize(int nRows, int nVars, bool* isNominal, float** data, float** out, int* nOut,
             int** states, int* nStates)
{
    return BinarizeT(nRows, nVars, isNominal, data, out, nOut, states, nStates);
}

int Binarize(int nRows, int nVars, bool* isNominal, double** data, double** out, int* nOut,
             int** states, int* nStates)
{
    return BinarizeT(nRows, nVars, isNominal, data, out, nOut, states, nStates);
}
