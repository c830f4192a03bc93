// Group test statistics, response curves, nearest-neighbour resemblance and partial
// correlation.
//
// Groups: one int label per object. The F and likelihood-ratio statistics take as groups the
// distinct label values, whatever they are (gaps allowed). MRPP and ANOSIM take the labels
// 1..g. Distance and resemblance matrices are n x n and read on their upper triangle unless
// a routine says it mirrors them.
#ifndef TNX_QWLIBGROUPSTATS_H
#define TNX_QWLIBGROUPSTATS_H

#include <cstdio>

// Sum over the p variables of the one-way F ratio (SSB / (g - 1)) / (SSW / (n - g)); a variable
// with SSW <= 0 or a single group adds nothing. 0 for p < 1.
double F_SUM(int n, int p, int* groups, double** X);
// Sum over the variables of n ln(SST / SSW); a variable with SSW <= 0 adds nothing.
double LR_IND(int n, int p, int* groups, double** X);

// Work space of F_SUM and LR_IND for repeated calls on at most n objects: a permutation loop
// makes it once, and the forms that take it allocate nothing (a call on more objects takes
// scratch of its own).
struct GroupStatWorkspace {
    explicit GroupStatWorkspace(int n);
    ~GroupStatWorkspace();
    GroupStatWorkspace(const GroupStatWorkspace&) = delete;
    GroupStatWorkspace& operator=(const GroupStatWorkspace&) = delete;
    int capacity;
    int* distinct;      // the distinct labels, ascending
    int* column;        // each object's group among them
    int* size;          // objects per group
    double* groupMean;  // per group, of the variable at hand
};
double F_SUM(int n, int p, int* groups, double** X, GroupStatWorkspace& ws);
double LR_IND(int n, int p, int* groups, double** X, GroupStatWorkspace& ws);

// Multi-response permutation statistic: sum over the groups k = 1..g of
// (n_k - s) / (n - s g) times the mean within-group (transformed) distance, s = 1 when
// useSquared, else 0. The distance is used as it is, or squared when useSquared and not
// isSquared, or square-rooted when isSquared and not useSquared. 0 for g < 1 and when
// n - s g is not above 0.
double MRPP(int n, int g, int* groups, double** D, bool isSquared, bool useSquared);

// (rB - rW) / (n (n - 1) / 2) x 0.5, rW and rB the mean ranks of the within- and
// between-group distances (upper triangle ranked together, ties averaged; taken as ranks
// already when ranked). A quarter of the usual analysis-of-similarities R.
double ANOSIM(int n, int g, int* groups, double** D, bool ranked);

// Beta response curve on one gradient: height k at x = m, range r, shape alpha and gamma;
// 0 outside [m - b r, m + (1 - b) r], b = alpha / (alpha + gamma). Single precision.
float BetaFunction_OneGradient(float x, float k, float m, float r, float alpha, float gamma);
// The same over nGradients gradients at once (product carried in double); k with no gradient.
double BetaFunction(int nGradients, float* x, float k, float* m, float* r, float* alpha,
                    float* gamma);

// Sigmoid from lo to hi whose midpoint moves from a (t = 0) to b (t = 1) and whose slope at
// the midpoint is slope. Equal lo and hi give that value for every x.
double Logistic(double x, double a, double b, double lo, double hi, double slope, double t);

// Mean over the communities holding at least 2 species of the within-community mean
// nearest-neighbour resemblance. W: c communities x n species (present when W > 0); rese:
// n x n species resemblance. For each present species, its nearest present neighbour (the
// smallest distance when isDistance, the largest similarity otherwise; the first one found
// on ties) contributes the resemblance times W_i W_j (distances) or divided by W_i W_j
// (similarities); a community's value is its sum over its species count. counts: species
// per community, or null to count them here. mirror: set rese's lower triangle from its upper
// one first. A species with no neighbour that can be compared (NaN or infinite resemblances) adds
// nothing. 0 when no community holds 2 species.
float NearNeigAvgTraitResemblance_WithinCommunity(int n, int c, float** W, float** rese,
                                                  bool isDistance, bool mirror, int* counts);
double NearNeigAvgTraitResemblance_WithinCommunity(int n, int c, double** W, double** rese,
                                                   bool isDistance, bool mirror, int* counts);
// The same with each community's value in out[k] (0 for fewer than 2 species).
double NearNeigAvgTraitRese_WithinEachCommunity(int n, int c, double* out, double** W,
                                                float** rese, bool isDistance, bool mirror,
                                                int* counts);

// Permutation probability of the mean nearest-neighbour resemblance: the species labels of
// rese are permuted (iterations - 1 times, on the global generator) and the observed value
// counts once; a permuted value at least as extreme (larger for distances, smaller for
// similarities, or equal within one single-precision step) counts. rese is mirrored in
// place. With print, the intermediate results are written to out.
double Prob_LimitingSimilarity(int n, int c, int iterations, float** W, float** rese,
                               bool isDistance, bool print, FILE* out);
double Prob_LimitingSimilarity(int n, int c, int iterations, double** W, double** rese,
                               bool isDistance, bool print, FILE* out);

// For each object i: the mean of B[i][j] over the objects j != i nearest to i in A (all ties
// averaged); 0 when n < 2. A and B are mirrored in place from their upper triangles.
// Returns true.
bool BetaDivergence(int n, double** A, double** B, double* out);

// Mantel permutation probability of the matrix correlation of A and B (upper triangles):
// A's rows and columns are permuted together iterations - 1 times; a permuted |r| at least
// |r0| (or equal within one single-precision step) counts, the observed one counts once.
// *rObs receives r0 with its sign. A is not changed.
double ProbMantel(int n, int iterations, float** A, float** B, double* rObs);
double ProbMantel(int n, int iterations, float** A, double** B, double* rObs);
double ProbMantel(int n, int iterations, double** A, double** B, double* rObs);

// Partial correlation of x and y given z: (rxy - rxz ryz) / sqrt((1 - rxz^2)(1 - ryz^2)),
// clamped to [-1, 1]; 0 when |rxz| or |ryz| is 1 within 1e-6 (float) or 1e-9 (double).
float PartialCorrelation(float rxy, float rxz, float ryz);
double PartialCorrelation(double rxy, double rxz, double ryz);
// Whether |r| is 1 within that tolerance: as the correlation of a control, the partial is then 0.
bool PerfectCorrelation(float r);
bool PerfectCorrelation(double r);

#endif
