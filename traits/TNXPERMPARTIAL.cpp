// Partial Procrustes and RV congruence: two configurations compared after removing what one or
// more covariate matrices explain (the counterpart of the partial Mantel correlation).
#include "foundation/qwlibDim.h"
#include "matrix/qwLinearModels.h"
#include "statistics/qwlibResCompare.h"
#include "traits/TNXPERMInternal.h"
#include "traits/TNXPERMTEST.h"

#include <algorithm>

namespace permtest {

PartialWork::PartialWork(int n_, int cols, int pA, int pB)
    : n(n_), maxCols(std::max(cols, 1)), maxA(std::max(pA, 1)), maxB(std::max(pB, 1)) {
    C = dim2Double(n, maxCols);
    RA = dim2Double(n, maxA);
    RB = dim2Double(n, maxB);
}

PartialWork::~PartialWork() {
    free2D(C, n);
    free2D(RA, n);
    free2D(RB, n);
}

double Congruence(int n, int pA, int pB, double** A, double** B, int method) {
    if (method == 2) return ProcrustesCoeff(n, pA, pB, A, B);
    if (method == 3) return RVcoeff(n, pA, pB, A, B);
    return 0.0;
}

double Congruence(int n, int pA, int pB, float** A, float** B, int method) {
    if (method == 2) return ProcrustesCoeff(n, pA, pB, A, B);
    if (method == 3) return RVcoeff(n, pA, pB, A, B);
    return 0.0;
}

double PartialCongruence(PartialWork& w, int n, int pA, int pB, double** A, double** B, int method,
                         double overfitFactor, const MatrixCovariate* cov, int nCov) {
    if (method != 2 && method != 3) return 0.0;
    int m = 0;
    for (int c = 0; c < nCov; c++) {
        for (int j = 0; j < cov[c].columns; j++) {
            if (cov[c].select && cov[c].select[j] != 1) continue;
            if (m >= w.maxCols) return 0.0;  // a wider call than the buffers were made for
            for (int i = 0; i < n; i++) w.C[i][m] = cov[c].matrix[i][j];
            m++;
        }
    }
    // No covariate column: there is nothing to partial out and no defined congruence.
    if (m == 0) return 0.0;
    // Option 2: the covariate columns centred and normalised, so that the components are those
    // of their correlation matrix.
    PCA_Regression_ResidualsSelect(n, pA, m, A, w.C, w.RA, nullptr, 2, overfitFactor);
    PCA_Regression_ResidualsSelect(n, pB, m, B, w.C, w.RB, nullptr, 2, overfitFactor);
    return Congruence(n, pA, pB, w.RA, w.RB, method);
}

}  // namespace permtest

double PartialMatrixCorrelation(int n, int pA, int pB, double** A, double** B, int method,
                                double overfitFactor, const std::vector<MatrixCovariate>& covariates) {
    if (covariates.empty() || n < 1) return 0.0;
    int cols = 0;
    for (const MatrixCovariate& c : covariates) cols += std::max(c.columns, 0);
    permtest::PartialWork w(n, cols, pA, pB);
    return permtest::PartialCongruence(w, n, pA, pB, A, B, method, overfitFactor, covariates.data(),
                                       static_cast<int>(covariates.size()));
}
