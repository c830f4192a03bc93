// Entropy, coherence and mutual entropy of contingency tables.
#ifndef TNX_QWLIBRESENTROPY_H
#define TNX_QWLIBRESENTROPY_H

// ===========================================================================================
// Entropy, coherence and mutual entropy of contingency tables (qwlibResEntropy.cpp)
// ===========================================================================================
//
// Tables hold non-negative counts or weights (n rows by p columns; three-way tables na x nb x
// nc). N is the total of the present cells, P_ij = x_ij / N, r_i and c_j the row and column
// proportions (row and column totals over N). Natural logarithms throughout. A Renyi order a
// with |a - 1| < 1e-6 is the Shannon order. Only cells (and margins) above 0 enter a sum. An
// empty table (N not above 0) gives 0 for every entropy and mutual entropy.
//
// Series of orders: order k is aStart + k aStep for k = 0 .. EntropyOrderCount - 1; the output
// arrays (one value per order) are supplied by the caller. The forms whose outputs are float
// compute in single precision, the others in double.

// Number of orders of the series aStart .. aEnd by aStep: floor((aEnd - aStart) / aStep + 1e-6)
// + 1; 0 when aEnd < aStart, or when aEnd > aStart and aStep is not above 0. aEnd = aStart
// gives the one order aStart whatever the step.
int EntropyOrderCount(double aStart, double aEnd, double aStep);

// Renyi entropies of the table (H_RC), of its column margin (H_C) and of its row margin (H_R)
// for each order of the series: ln(sum q^a) / (1 - a), or -sum q ln q at the Shannon order.
// The MV forms leave cells equal to -999 out of every total and sum. Returns the number of
// orders written.
int Entropy(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float aStart,
            float aEnd, float aStep);
int Entropy(int n, int p, float** table, double* H_RC, double* H_C, double* H_R, float aStart,
            float aEnd, float aStep);
int EntropyMV(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float aStart,
              float aEnd, float aStep);
int EntropyMV(int n, int p, float** table, double* H_RC, double* H_C, double* H_R,
              float aStart, float aEnd, float aStep);
int EntropyMV(int n, int p, double** table, double* H_RC, double* H_C, double* H_R,
              double aStart, double aEnd, double aStep);

// The entropies above, and for each order the mutual entropy I = H_R + H_C - H_RC, its
// complement U = 1 - I / H_RC and the coherence K = sqrt(1 - U^2). A negative I is reported as
// I = 0, U = 1, K = 0; H_RC = 0 (a single occupied cell) gives U = 1 and K = 0. Returns the
// number of orders written.
int Entropy_(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float* I,
             float* U, float* K, float aStart, float aEnd, float aStep);
int Entropy_(int n, int p, float** table, double* H_RC, double* H_C, double* H_R, double* I,
             double* U, double* K, float aStart, float aEnd, float aStep);
int Entropy_MV(int n, int p, float** table, float* H_RC, float* H_C, float* H_R, float* I,
               float* U, float* K, float aStart, float aEnd, float aStep);
int Entropy_MV(int n, int p, float** table, double* H_RC, double* H_C, double* H_R, double* I,
               double* U, double* K, float aStart, float aEnd, float aStep);
int Entropy_MV(int n, int p, double** table, double* H_RC, double* H_C, double* H_R, double* I,
               double* U, double* K, double aStart, double aEnd, double aStep);

// Coherence K of order a (0 for a table without association, 1 for perfect association). The
// double-table MV form narrows a to single precision first.
float CoheCoef(int n, int p, float** table, float a);
double CoheCoef(int n, int p, float** table, double a);
float CoheCoefMV(int n, int p, float** table, float a);
double CoheCoefMV(int n, int p, float** table, double a);
double CoheCoefMV(int n, int p, double** table, double a);

// H_R (EntropyRows) and H_C (EntropyCols) of order a; the float forms skip no cell, the double
// forms skip -999. The double EntropyCols narrows a to single precision first.
double EntropyRows(int n, int p, float** table, double a);
double EntropyRows(int n, int p, double** table, double a);
double EntropyCols(int n, int p, float** table, double a);
double EntropyCols(int n, int p, double** table, double a);

// Renyi divergence of order a of the table from the product of its margins:
// ln(sum P_ij^a / (r_i c_j)^(a - 1)) / (a - 1), or sum P_ij ln(P_ij / (r_i c_j)) at the Shannon
// order (the mutual information). 0 for an empty table.
double MutualEntropy(int n, int p, float** table, float a);
double MutualEntropyMV(int n, int p, float** table, float a);
double MutualEntropyMV(int n, int p, double** table, double a);

// Three-way forms (table3[i][j][k]). MutualEntropy3D_MV: divergence from the expectation
// E_ijk = t_ij t_ik t_jk / (t_i t_j t_k) built from the two-way and one-way totals;
// ThreeWayInteraction_MV: divergence from complete independence, E_ijk = r_i c_j l_k.
double MutualEntropy3D_MV(int na, int nb, int nc, float*** table3, float a);
double MutualEntropy3D_MV(int na, int nb, int nc, double*** table3, double a);
double ThreeWayInteraction_MV(int na, int nb, int nc, float*** table3, float a);

// Information divergence between rows, for every pair i <= j (0 on the diagonal):
// d[i][j] = sum_k x_ik ln(2 x_ik / (x_ik + x_jk)) + x_jk ln(2 x_jk / (x_ik + x_jk)), each term
// only where its own value is above 0. The MV forms skip the columns where either value is
// -999. IDivergence and the float-data MV forms take their logarithms in single precision (the
// float-result form also sums in single precision); the double form keeps its two running sums
// in single precision. Nothing is written for n < 1.
void IDivergence(int n, int p, float** x, float** d);
void IDivergence(int n, int p, float** x, double** d);
void IDivergenceMV(int n, int p, float** x, float** d);
void IDivergenceMV(int n, int p, float** x, double** d);
void IDivergenceMV(int n, int p, double** x, double** d);
// The same (no missing-value test) for the pairs (i, i + w) only, into d[i][i + w].
void IDivergenceNeighbours(int n, int p, float** x, double** d, int w);

#endif
