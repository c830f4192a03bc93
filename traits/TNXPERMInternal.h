// Private to the permutation-test sources: the congruence of two configurations and the partial
// congruence with its buffers, shared by the engine and PartialMatrixCorrelation.
#ifndef TNXPERMINTERNAL_H
#define TNXPERMINTERNAL_H

#include "traits/TNXPERMTEST.h"

namespace permtest {

// Buffers of the partial congruence: the stacked covariate table and the two residual
// matrices, sized for the widest call a caller will make.
struct PartialWork {
    int n = 0, maxCols = 0, maxA = 0, maxB = 0;
    double** C = nullptr;
    double** RA = nullptr;
    double** RB = nullptr;
    PartialWork(int n_, int cols, int pA, int pB);
    ~PartialWork();
    PartialWork(const PartialWork&) = delete;
    PartialWork& operator=(const PartialWork&) = delete;
};

// Procrustes (2) or RV (3) congruence of two configurations of the same n objects; 0 for any
// other method. The float form serves the single-precision configurations of ro(BF).
double Congruence(int n, int pA, int pB, double** A, double** B, int method);
double Congruence(int n, int pA, int pB, float** A, float** B, int method);

// PartialMatrixCorrelation on the given buffers (nothing allocated): the covariates cov[0..nCov-1]
// stacked into w.C, A and B replaced by their residuals on its principal components.
double PartialCongruence(PartialWork& w, int n, int pA, int pB, double** A, double** B, int method,
                         double overfitFactor, const MatrixCovariate* cov, int nCov);

// Euclidean distances among the n rows of x (cols values each, no -999), written as the upper
// triangle in row order: out[0] = d(0, 1), out[1] = d(0, 2), ... Each distance is the square
// root of the squared differences added in column order, as the library's distance does, so
// the numbers are the same; four pairs are formed side by side for speed.
void EuclideanUpper(int n, int cols, double** x, double* out);

}  // namespace permtest

#endif
