// The arithmetic of community dynamics: velocity of change between consecutive communities and
// its correlation with diversity and complexity (overall, in a sliding window, with a
// permutation test of the time order), and Markov chain models of a series of relevés (average
// transition matrices, projection, instability, Kruskal's stress test of Markovity).
#ifndef QWDYNAMICS_H
#define QWDYNAMICS_H

#include <vector>

// The velocity of a pair of communities at the same time: the largest float. Velocities at or
// above kUndefinedVelocity (however few digits they were printed with) mark such a pair.
extern const double kLargestFloatVelocity;
extern const double kUndefinedVelocity;

// v[i] = r[i][i+1] / |t[i+1] - t[i]|, i = 0 .. n - 2; kLargestFloatVelocity when the times are
// equal.
void VelocitySeries(int n, double** r, const float* t, double* v);

// Correlations of the velocity with diversity H, total complexity L and structural complexity
// S (series s = 0, 1, 2).
struct VelocityCorrelations {
    double r[3] = {0, 0, 0};                 // over every pair
    std::vector<double> windowTime;          // one per window: the mean time of its pairs
    std::vector<double> rWindow[3];          // one per window
    int permutations = 1;                    // arrangements counted, the observed one included
    double p[3] = {1, 1, 1};                 // P(|r random| >= |r|)
    std::vector<double> pWindow[3];
};

// n communities: v[0..n-2] velocities, t[0..n-1] times, X[s][0..n-1] the series. Pair i (the
// velocity from time i to i + 1) is set beside X[s][i] and time t[i] (option 1), X[s][i+1] and
// t[i+1] (option 2), or the means of i and i + 1 (option 3). A pair whose velocity is undefined
// (>= kUndefinedVelocity) is left out of every correlation. With w >= 1 the n - w windows
// k = 0 .. n - 1 - w of w consecutive pairs are correlated too. With nPerm >= 2, nPerm - 1 random
// orders of the velocities (RndList on the shared generator) are compared with the observed
// correlations: a count starts at 1 and grows when |r random| >= |r| (within one unit in the last
// place of single precision); p = count / nPerm.
void CorrelateVelocity(int n, const float* v, const float* t, float* const X[3], int option, int w, int nPerm,
                       VelocityCorrelations* out);

// Average transition matrices of the relevés x (n x p, past to present): for each lag
// l = 1 .. maxLag, A[l - 1] is the mean over the pairs (t, t + l) of the matrices of gains and
// losses, each row then scaled to unit sum (a row of sum 0 stays 0).
void FitMarkov(int n, int p, int maxLag, double** x, double*** A);

// Projection of the rows of M (rows x p) by the transition matrix A of lag l: rows 0 .. l - 1
// stay as they are; M[k + l] = M[k] A for every k + l < rows.
void ProjectMarkov(int rows, int p, int lag, double** A, double** M);

// d[j] = Euclidean distance of rows j and j + 1 of M, j = 0 .. rows - 2.
void ConsecutiveDistances(int rows, int p, double** M, double* d);

// The randomization test of Markovity for lags 1 .. maxLag: iteration 0 takes the observed order
// of the n relevés, each further one a random order; per order and lag, Kruskal's stress between
// the Euclidean distances of the ordered relevés and of their projection (the first l relevés and
// the rows projected from them). K holds the observed stress (-1 when undefined), P the share of
// the iterations whose stress is at most K (the observed one counted), and the mean of the random
// stresses. Needs n >= 3 and iterations >= 2 (otherwise nothing is computed).
struct MarkovityTest {
    std::vector<double> K, P, meanNull;
};
void TestMarkovity(int n, int p, int maxLag, double** x, int iterations, MarkovityTest* out);

#endif
