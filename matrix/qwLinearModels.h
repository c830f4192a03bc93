// Linear regression, residuals and predicted values, redundancy analysis.
//
// Y: n units x p responses; X: n units x q factors; B: q x p coefficients (row = factor);
// b0: p intercepts; Yhat: n x p predictions; r2: p coefficients of determination; ssY: p sums
// of squared deviations of the responses (or null). -999 marks a missing cell.
//
// The least-squares solution drops aliased factors as a QR fit with column pivoting would: a
// factor whose centred values are (within rounding) a linear combination of the factors
// before it, a constant factor and a factor with no present value get coefficient 0, and the
// others are fitted on their own, so residuals and r2 are those of the reduced model. Means
// and centring use the present values; the cross products X'X and X'Y leave out terms with a
// missing value. A unit missing a factor that enters the model gets prediction -999 (and
// residual -999); a missing response gives residual -999. r2 is 0 for a response without
// variance. Nothing is printed unless print is set.
#ifndef TNX_QWLINEARMODELS_H
#define TNX_QWLINEARMODELS_H

#include <cstdio>

// Full form. With print, the coefficients, intercepts and r2 are written to stream (English
// headings for lang 0, Portuguese otherwise); with printData as well, the data, the
// predictions, the residuals and the adjusted responses. Returns 1.
int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2, double* ssY, bool print, FILE* stream, int lang, bool printData);
int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2, double* ssY, bool print, FILE* stream, int lang,
               bool printData);
// Short forms: ssY null; then printData true; then nothing printed.
int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2, bool print, FILE* stream, int lang, bool printData);
int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2, bool print, FILE* stream, int lang, bool printData);
int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2, bool print, FILE* stream, int lang);
int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2, bool print, FILE* stream, int lang);
int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2);
int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2);

// Regression of the n(n-1)/2 cells i < j of B on the same cells of A (row-major order), each
// rounded to single precision: R[i][j] = B[i][j] - prediction (Predicted...: D[i][j] =
// prediction). Only the cells i < j are written. Return 1.
int ResidualsMatrixRegression(int n, double** A, double** B, double** R);
int PredictedMatrixRegression(int n, double** A, double** B, double** D);

// R (n x p) = Y - Yhat of Y regressed on the columns j of X with select[j] == 1 (all when
// select is null), in their order. The float form rounds Yhat to single precision first.
// Return 1.
int Regression_ResidualsSelect(int n, int p, int q, float** Y, float** X, float** R,
                               int* select);
int Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                               int* select);
// Work space of Regression_ResidualsSelect for repeated calls with at most n units, p
// responses and q factors (before the selection): a permutation loop allocates it once, and
// the forms that take it allocate nothing. A call on a larger problem than the work space was
// made for computes the residuals with scratch of its own.
template <class T>
class RegressionWorkspace {
public:
    RegressionWorkspace(int n, int p, int q);
    ~RegressionWorkspace();
    RegressionWorkspace(const RegressionWorkspace&) = delete;
    RegressionWorkspace& operator=(const RegressionWorkspace&) = delete;
    // True when a call with n units, p responses and q factors fits.
    bool Fits(int n, int p, int q) const;
    struct Buffers;
    Buffers* buffers() const { return b_; }

private:
    Buffers* b_;
};

int Regression_ResidualsSelect(int n, int p, int q, float** Y, float** X, float** R,
                               int* select, RegressionWorkspace<float>& ws);
int Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                               int* select, RegressionWorkspace<double>& ws);
// P receives the predictions (single precision) of the responses with selectY == 1 regressed
// on the factors with selectX == 1 (null: all), in gathered order. Returns 1.
int Regression_PredictedSelect(int n, int p, int q, float** Y, float** X, float** P,
                               int* selectY, int* selectX);

// Residuals of Y (n x p) after regression on the leading principal components of the selected
// columns of X (select null: all): opt 1 components of their covariances, opt 2 of their
// correlations, any other opt no component (the residuals are then the centred responses).
// A selected column without variation (ColumnHasVariation) enters as 0, as a constant one
// does. At most (n - 2) / factor components are used (truncated; never fewer than 0).
// Returns 1 when the residuals keep variation of Y (ResidualsKeepVariation: a column of Y that
// varies keeps more than rounding of its own centred sum of squares, over the present cells); 0
// when the factors explain every column of Y exactly, or Y has no variation of its own.
int PCA_Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                                   int* select, int opt, double factor);
// Work space of PCA_Regression_ResidualsSelect for repeated calls with at most n units, p
// responses and q columns of X: the gathered columns, the components' tables and scores, and
// the work spaces of the ordination and of the regression. The form that takes it allocates
// nothing and gives the same residuals; a larger call uses scratch of its own.
class PcaRegressionWorkspace {
public:
    PcaRegressionWorkspace(int n, int p, int q);
    ~PcaRegressionWorkspace();
    PcaRegressionWorkspace(const PcaRegressionWorkspace&) = delete;
    PcaRegressionWorkspace& operator=(const PcaRegressionWorkspace&) = delete;
    bool Fits(int n, int p, int q) const;
    struct Buffers;
    Buffers* buffers() const { return b_; }

private:
    Buffers* b_;
};
int PCA_Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                                   int* select, int opt, double factor, PcaRegressionWorkspace& ws);

// Redundancy analysis of Y (n x p) on X (n x q), both column-centred here: eig (p) receives
// the eigenvalues of the covariance matrix of the fitted values, scoresX (p x n) the unit
// scores in the fitted space (one row per axis), corrYX (p) the correlation of each kept
// axis's scores in the response space with those in the fitted space (axes kept: 100 e / sum
// of eigenvalues above 1e-4). M and lang are not read. With print, the Portuguese report
// goes to stream and the title to standard output. Returns 1.
int RDA(int n, int p, int q, float** Y, float** X, double* eig, double** scoresX,
        double* corrYX, double** M, bool print, FILE* stream, int lang);
int RDA(int n, int p, int q, double** Y, double** X, double* eig, double** scoresX,
        double* corrYX, double** M, bool print, FILE* stream, int lang);

// Interactive redundancy analysis (Portuguese dialog on the console): reads the name of a
// data file (n, p, q, then Y by rows, then X by rows), asks for a summary or detailed report,
// appends the report to "prinda.txt" in the current directory and offers a new analysis.
// Unreadable or short data raise the input error codes; the report is then not appended.
// Returns 1.
int rda();

#endif
