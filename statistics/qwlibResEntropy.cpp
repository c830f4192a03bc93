// Renyi entropies of a table and its margins over a series of orders, mutual entropy and
// coherence, their three-way forms, and the information divergence between rows.
#include <cmath>
#include <vector>

#include "statistics/qwlibRes.h"

namespace {

// The Shannon order: a within 1e-6 of 1 (an order built as start + k step rarely hits 1 exactly).
template <class A>
inline bool IsShannon(A a) {
    return std::fabs(double(a) - 1.0) < 1e-6;
}

// Whether a cell takes part: with MV, cells equal to -999 are left out.
template <bool MV, class T>
inline bool Uses(T x) {
    return !MV || IsPresent(x);
}

// One term of a Renyi sum in precision R: q ln q at the Shannon order, q^a otherwise.
template <class R>
inline R RenyiTerm(R q, R a, bool shannon) {
    return shannon ? q * std::log(q) : std::pow(q, a);
}

// The entropy from its sum: -sum q ln q at the Shannon order, ln(S) / (1 - a) otherwise; an
// empty sum (no positive share) is 0.
template <class R>
inline R RenyiFromSum(R s, R a, bool shannon) {
    if (shannon) return std::fabs(s);
    if (!(s > R(0))) return R(0);
    return std::log(s) / (R(1) - a);
}

// Order k of the series, formed in the precision of the order arguments.
template <class A>
inline A Order(A start, A step, int k) {
    return A(start + A(k) * step);
}

// Entropies of the table, its columns and its rows in precision R for every order of the
// series. The margins are summed row by row and column by column over the cells that take
// part, independently of which other cells are present.
template <bool MV, class T, class R, class A>
int EntropyT(int n, int p, T** table, R* H_RC, R* H_C, R* H_R, A aStart, A aEnd, A aStep) {
    const int orders = EntropyOrderCount(aStart, aEnd, aStep);
    R N = R(0);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++)
            if (Uses<MV>(table[i][j])) N += R(table[i][j]);
    for (int k = 0; k < orders; k++) {
        H_RC[k] = H_C[k] = H_R[k] = R(0);
        if (!(N > R(0))) continue;
        const R a = R(Order(aStart, aStep, k));
        const bool shannon = IsShannon(a);
        R sRC = R(0), sR = R(0), sC = R(0);
        for (int i = 0; i < n; i++) {
            R row = R(0);
            for (int j = 0; j < p; j++) {
                if (!Uses<MV>(table[i][j])) continue;
                row += R(table[i][j]);
                R q = R(table[i][j]) / N;
                if (q > R(0)) sRC += RenyiTerm(q, a, shannon);
            }
            R r = row / N;
            if (r > R(0)) sR += RenyiTerm(r, a, shannon);
        }
        for (int j = 0; j < p; j++) {
            R col = R(0);
            for (int i = 0; i < n; i++)
                if (Uses<MV>(table[i][j])) col += R(table[i][j]);
            R c = col / N;
            if (c > R(0)) sC += RenyiTerm(c, a, shannon);
        }
        H_RC[k] = RenyiFromSum(sRC, a, shannon);
        H_R[k] = RenyiFromSum(sR, a, shannon);
        H_C[k] = RenyiFromSum(sC, a, shannon);
    }
    return orders;
}

// Mutual entropy, its complement and the coherence from the entropies of every order.
template <bool MV, class T, class R, class A>
int Entropy_T(int n, int p, T** table, R* H_RC, R* H_C, R* H_R, R* I, R* U, R* K, A aStart,
              A aEnd, A aStep) {
    const int orders = EntropyT<MV>(n, p, table, H_RC, H_C, H_R, aStart, aEnd, aStep);
    for (int k = 0; k < orders; k++) {
        I[k] = H_R[k] + H_C[k] - H_RC[k];
        // A negative I (orders other than 1) and a joint entropy of 0 (one occupied cell) carry
        // no association.
        if (I[k] < R(0) || H_RC[k] == R(0)) {
            if (I[k] < R(0)) I[k] = R(0);
            U[k] = R(1);
            K[k] = R(0);
            continue;
        }
        U[k] = R(1) - I[k] / H_RC[k];
        R s = R(1) - U[k] * U[k];
        K[k] = s > R(0) ? R(std::sqrt(s)) : R(0);
    }
    return orders;
}

// K, H_R or H_C of the one order a.
enum class Part { Coherence, Rows, Cols };

template <bool MV, class T, class R, class A>
R OneOrder(int n, int p, T** table, A a, Part part) {
    R hrc, hc, hr, i, u, k;
    if (Entropy_T<MV>(n, p, table, &hrc, &hc, &hr, &i, &u, &k, a, a, A(1)) < 1) return R(0);
    return part == Part::Coherence ? k : part == Part::Rows ? hr : hc;
}

// Renyi divergence of the table from the product of its margins; the sums in double, a - 1 in
// the precision A of the order.
template <bool MV, class T, class A>
double MutualEntropyT(int n, int p, T** table, A a) {
    if (n < 1 || p < 1) return 0.0;
    std::vector<double> r(n, 0.0), c(p, 0.0);
    double N = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++)
            if (Uses<MV>(table[i][j])) {
                double x = double(table[i][j]);
                N += x;
                r[i] += x;
                c[j] += x;
            }
    if (!(N > 0.0)) return 0.0;
    const bool shannon = IsShannon(a);
    const double am1 = double(A(a - A(1)));
    double S = 0.0;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            if (!Uses<MV>(table[i][j])) continue;
            double P = double(table[i][j]) / N, e = (r[i] / N) * (c[j] / N);
            if (!(P > 0.0)) continue;
            S += shannon ? P * std::log(P / e) : std::pow(P, double(a)) / std::pow(e, am1);
        }
    if (shannon) return S;
    return S > 0.0 ? std::log(S) / am1 : 0.0;
}

// Three-way divergence: from the expectation of the two-way totals (Kirkwood) or, with
// `independence`, from the product of the three one-way proportions.
template <class T, class A>
double ThreeWayT(int na, int nb, int nc, T*** t3, A a, bool independence) {
    if (na < 1 || nb < 1 || nc < 1) return 0.0;
    std::vector<double> ti(na, 0.0), tj(nb, 0.0), tk(nc, 0.0), tij(na * nb, 0.0),
        tik(na * nc, 0.0), tjk(nb * nc, 0.0);
    double N = 0.0;
    for (int i = 0; i < na; i++)
        for (int j = 0; j < nb; j++)
            for (int k = 0; k < nc; k++) {
                if (IsMissing(t3[i][j][k])) continue;
                double x = double(t3[i][j][k]);
                N += x;
                ti[i] += x;
                tj[j] += x;
                tk[k] += x;
                tij[i * nb + j] += x;
                tik[i * nc + k] += x;
                tjk[j * nc + k] += x;
            }
    if (!(N > 0.0)) return 0.0;
    const bool shannon = IsShannon(a);
    const double am1 = double(A(a - A(1)));
    double S = 0.0;
    for (int i = 0; i < na; i++)
        for (int j = 0; j < nb; j++)
            for (int k = 0; k < nc; k++) {
                if (IsMissing(t3[i][j][k])) continue;
                double P = double(t3[i][j][k]) / N;
                if (!(P > 0.0)) continue;
                double E = independence ? (ti[i] / N) * (tj[j] / N) * (tk[k] / N)
                                        : (tij[i * nb + j] * tik[i * nc + k] * tjk[j * nc + k]) /
                                              (ti[i] * tj[j] * tk[k]);
                S += shannon ? P * std::log(P / E) : std::pow(P, double(a)) / std::pow(E, am1);
            }
    if (shannon) return S;
    return S > 0.0 ? std::log(S) / am1 : 0.0;
}

// Information divergence between rows: logarithms in precision L, the two running sums in
// precision S, results stored as R. With MV the columns where either value is -999 are skipped.
template <bool MV, class L, class S, class T, class R>
R IDivergencePair(int p, T* xi, T* xj) {
    S si = S(0), sj = S(0);
    for (int k = 0; k < p; k++) {
        if (MV && (IsMissing(xi[k]) || IsMissing(xj[k]))) continue;
        L a = L(xi[k]), b = L(xj[k]);
        if (a > L(0)) si += S(a * std::log(L(2) * a / (a + b)));
        if (b > L(0)) sj += S(b * std::log(L(2) * b / (a + b)));
    }
    return R(si + sj);
}

template <bool MV, class L, class S, class T, class R>
void IDivergenceT(int n, int p, T** x, R** d) {
    for (int i = 0; i < n; i++)
        for (int j = i; j < n; j++) d[i][j] = IDivergencePair<MV, L, S, T, R>(p, x[i], x[j]);
}

}  // namespace

int EntropyOrderCount(double aStart, double aEnd, double aStep) {
    if (aEnd < aStart) return 0;
    if (aEnd == aStart) return 1;
    if (!(aStep > 0.0)) return 0;
    return int(std::floor((aEnd - aStart) / aStep + 1e-6)) + 1;
}

int Entropy(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float aStart,
            float aEnd, float aStep) {
    return EntropyT<false>(n, p, table, H_RC, H_C, H_R, aStart, aEnd, aStep);
}
int Entropy(int n, int p, float** table, double* H_RC, double* H_C, double* H_R, float aStart,
            float aEnd, float aStep) {
    return EntropyT<false>(n, p, table, H_RC, H_C, H_R, aStart, aEnd, aStep);
}
int EntropyMV(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float aStart,
              float aEnd, float aStep) {
    return EntropyT<true>(n, p, table, H_RC, H_C, H_R, aStart, aEnd, aStep);
}
int EntropyMV(int n, int p, float** table, double* H_RC, double* H_C, double* H_R,
              float aStart, float aEnd, float aStep) {
    return EntropyT<true>(n, p, table, H_RC, H_C, H_R, aStart, aEnd, aStep);
}
int EntropyMV(int n, int p, double** table, double* H_RC, double* H_C, double* H_R,
              double aStart, double aEnd, double aStep) {
    return EntropyT<true>(n, p, table, H_RC, H_C, H_R, aStart, aEnd, aStep);
}

int Entropy_(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float* I,
             float* U, float* K, float aStart, float aEnd, float aStep) {
    return Entropy_T<false>(n, p, table, H_RC, H_C, H_R, I, U, K, aStart, aEnd, aStep);
}
int Entropy_(int n, int p, float** table, double* H_RC, double* H_C, double* H_R, double* I,
             double* U, double* K, float aStart, float aEnd, float aStep) {
    return Entropy_T<false>(n, p, table, H_RC, H_C, H_R, I, U, K, aStart, aEnd, aStep);
}
int Entropy_MV(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float* I,
               float* U, float* K, float aStart, float aEnd, float aStep) {
    return Entropy_T<true>(n, p, table, H_RC, H_C, H_R, I, U, K, aStart, aEnd, aStep);
}
int Entropy_MV(int n, int p, float** table, double* H_RC, double* H_C, double* H_R, double* I,
               double* U, double* K, float aStart, float aEnd, float aStep) {
    return Entropy_T<true>(n, p, table, H_RC, H_C, H_R, I, U, K, aStart, aEnd, aStep);
}
int Entropy_MV(int n, int p, double** table, double* H_RC, double* H_C, double* H_R, double* I,
               double* U, double* K, double aStart, double aEnd, double aStep) {
    return Entropy_T<true>(n, p, table, H_RC, H_C, H_R, I, U, K, aStart, aEnd, aStep);
}

float CoheCoef(int n, int p, float** table, float a) {
    return OneOrder<false, float, float>(n, p, table, a, Part::Coherence);
}
double CoheCoef(int n, int p, float** table, double a) {
    return OneOrder<false, float, double>(n, p, table, float(a), Part::Coherence);
}
float CoheCoefMV(int n, int p, float** table, float a) {
    return OneOrder<true, float, float>(n, p, table, a, Part::Coherence);
}
double CoheCoefMV(int n, int p, float** table, double a) {
    return OneOrder<true, float, double>(n, p, table, float(a), Part::Coherence);
}
double CoheCoefMV(int n, int p, double** table, double a) {
    return OneOrder<true, double, double>(n, p, table, double(float(a)), Part::Coherence);
}

double EntropyRows(int n, int p, float** table, double a) {
    return OneOrder<false, float, double>(n, p, table, float(a), Part::Rows);
}
double EntropyRows(int n, int p, double** table, double a) {
    return OneOrder<true, double, double>(n, p, table, a, Part::Rows);
}
double EntropyCols(int n, int p, float** table, double a) {
    return OneOrder<false, float, double>(n, p, table, float(a), Part::Cols);
}
double EntropyCols(int n, int p, double** table, double a) {
    return OneOrder<true, double, double>(n, p, table, double(float(a)), Part::Cols);
}

double MutualEntropy(int n, int p, float** table, float a) {
    return MutualEntropyT<false>(n, p, table, a);
}
double MutualEntropyMV(int n, int p, float** table, float a) {
    return MutualEntropyT<true>(n, p, table, a);
}
double MutualEntropyMV(int n, int p, double** table, double a) {
    return MutualEntropyT<true>(n, p, table, a);
}

double MutualEntropy3D_MV(int na, int nb, int nc, float*** table3, float a) {
    return ThreeWayT(na, nb, nc, table3, a, false);
}
double MutualEntropy3D_MV(int na, int nb, int nc, double*** table3, double a) {
    return ThreeWayT(na, nb, nc, table3, a, false);
}
double ThreeWayInteraction_MV(int na, int nb, int nc, float*** table3, float a) {
    return ThreeWayT(na, nb, nc, table3, a, true);
}

void IDivergence(int n, int p, float** x, float** d) {
    IDivergenceT<false, float, float>(n, p, x, d);
}
void IDivergence(int n, int p, float** x, double** d) {
    IDivergenceT<false, float, double>(n, p, x, d);
}
void IDivergenceMV(int n, int p, float** x, float** d) {
    IDivergenceT<true, float, float>(n, p, x, d);
}
void IDivergenceMV(int n, int p, float** x, double** d) {
    IDivergenceT<true, float, double>(n, p, x, d);
}
void IDivergenceMV(int n, int p, double** x, double** d) {
    IDivergenceT<true, double, float>(n, p, x, d);
}

void IDivergenceNeighbours(int n, int p, float** x, double** d, int w) {
    if (w < 0) return;
    for (int i = 0; i + w < n; i++)
        d[i][i + w] = IDivergencePair<false, float, double, float, double>(p, x[i], x[i + w]);
}
