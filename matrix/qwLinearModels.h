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
// P receives the predictions (single precision) of the responses with selectY == 1 regressed
// on the factors with selectX == 1 (null: all), in gathered order. Returns 1.
int Regression_PredictedSelect(int n, int p, int q, float** Y, float** X, float** P,
                               int* selectY, int* selectX);

#endif
