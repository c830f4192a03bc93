// Least-squares regression of several responses on several factors (with its report), the
// residual and prediction front-ends built on it, the principal-component regression
// residuals and the redundancy analysis.
#include "matrix/qwlib.h"

#include "foundation/qwlibDim.h"
#include "statistics/qwlibRes.h"

#include <cmath>
#include <cstdio>

namespace {

// A factor is aliased when its centred sum of squares left after the factors before it is
// at most this fraction of its own. Rounding leaves about the square of the precision's step
// times the conditioning; the float form works on values rounded to single precision.
const double kAliasTolDouble = 1e-12;
const double kAliasTolFloat = 1e-9;

template <class T>
T** NewMatrix(int rows, int cols)
{
    return static_cast<T**>(static_cast<void*>(dim2D(sizeof(T), rows, cols)));
}

template <class T>
void PrintRows(FILE* f, int rows, int cols, T** m)
{
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) fprintf(f, "%g\t", double(m[i][j]));
        fprintf(f, "\n");
    }
}

// The report texts, English (lang 0) or Portuguese.
struct RegressionTexts {
    const char* title;
    const char* factors;
    const char* responses;
    const char* coefficients;
    const char* factor;
    const char* intercept;
    const char* predicted;
    const char* residuals;
    const char* adjusted;
    const char* r2;
};

const RegressionTexts kEnglish = {
    "LINEAR MODELS",
    "\nFactor matrix:\n",
    "\nResponse matrix:\n",
    "\nRegression coefficients for each factor (rows), one model for each response variable "
    "(coluns):\n",
    "Factor %d:\t",
    "\nIntersection (bo for each response variable):\n",
    "\n\nPredicted model responses (for each response variable in columns, and sampling unit in "
    "rows):\n",
    "\nResiduals not explained by the model (for each response variable in columns, and "
    "sampling unit in rows):\n",
    "\nResponse variables with values adjusted by removing the effects of the predictor "
    "variable(s) (this is simply the residuals plus the mean of the response variable) (for "
    "each response variable in columns, and sampling unit in rows):\n",
    "\nCoefficient of determination (r squared) for %d response variables:\n",
};

const RegressionTexts kPortuguese = {
    "MODELOS LINEARES",
    "\nMatriz de fatores:\n",
    "\nMatriz de respostas:\n",
    "\nCoeficientes de regressao para cada fator (linhas), um modelo para cada variavel resposta "
    "(colunas):\n",
    "Fator %d:\t",
    "\nInterseccao (bo para cada variavel resposta):\n",
    "\n\nRespostas preditas pelo modelo (para cada variavel resposta em colunas, e unidade "
    "amostral em linhas):\n",
    "\nResiduos nao explicados pelo modelo (para cada variavel resposta em colunas, e unidade "
    "amostral em linhas):\n",
    "\nVariaveis resposta ajustadas pela remocao dos efeitos das variaveis preditoras "
    "(corresponde aos residuos nao explicados pelo modelo mais a media da variavel resposta) "
    "(para cada variavel resposta em colunas, e unidade amostral em linhas):\n",
    "\nCoeficiente de determinacao (r ao quadrado) para %d variaveis resposta:\n",
};

// Column means over the present values (0 for a column without one) and the centred columns
// (missing cells stay -999), each centred value held in T.
template <class T>
void CentreColumns(int n, int cols, T** in, T** out, double* mean)
{
    for (int j = 0; j < cols; j++) {
        double sum = 0.0;
        int c = 0;
        for (int i = 0; i < n; i++)
            if (IsPresent(in[i][j])) {
                sum += double(in[i][j]);
                c++;
            }
        mean[j] = c > 0 ? sum / c : 0.0;
        for (int i = 0; i < n; i++)
            out[i][j] = IsPresent(in[i][j]) ? T(double(in[i][j]) - mean[j]) : in[i][j];
    }
}

// Least-squares coefficients of the centred responses Yc on the centred factors Xc: A =
// [X'X | X'Y] is reduced by Gauss-Jordan steps on the factors in their order, a factor being
// taken as a pivot only when its remaining sum of squares (after the factors already taken)
// exceeds tol times its own; aliased factors keep coefficient 0. kept[k] tells which factors
// entered.
template <class T>
void SolveWithAliasing(int n, int p, int q, T** Xc, T** Yc, double** B, bool* kept, double tol)
{
    double** A = dim2Double(q, q + p);
    for (int k = 0; k < q; k++) {
        for (int l = 0; l < q + p; l++) {
            double s = 0.0;
            for (int i = 0; i < n; i++) {
                T a = Xc[i][k];
                T b = l < q ? Xc[i][l] : Yc[i][l - q];
                if (IsPresent(a) && IsPresent(b)) s += double(a) * double(b);
            }
            A[k][l] = s;
        }
    }
    double* own = dim1Double(q);
    for (int k = 0; k < q; k++) own[k] = A[k][k];
    for (int k = 0; k < q; k++) {
        double d = A[k][k];
        kept[k] = own[k] > 0.0 && d > tol * own[k];
        if (!kept[k]) continue;
        for (int l = 0; l < q + p; l++) A[k][l] /= d;
        for (int i = 0; i < q; i++) {
            if (i == k) continue;
            double f = A[i][k];
            if (f == 0.0) continue;
            for (int l = 0; l < q + p; l++) A[i][l] -= f * A[k][l];
        }
    }
    for (int k = 0; k < q; k++)
        for (int j = 0; j < p; j++) B[k][j] = kept[k] ? A[k][q + j] : 0.0;
    free1D(own);
    free2D(A, q);
}

// Sum of squared deviations of the present values of column j.
double ColumnSSDev(int n, double** m, int j)
{
    double sum = 0.0;
    int c = 0;
    for (int i = 0; i < n; i++)
        if (IsPresent(m[i][j])) {
            sum += m[i][j];
            c++;
        }
    if (c == 0) return 0.0;
    double mean = sum / c, ss = 0.0;
    for (int i = 0; i < n; i++)
        if (IsPresent(m[i][j])) ss += (m[i][j] - mean) * (m[i][j] - mean);
    return ss;
}

template <class T>
int RegressionT(int n, int p, int q, T** Y, T** X, double** B, double* b0, double** Yhat,
                double* r2, double* ssY, bool print, FILE* stream, int lang, bool printData,
                double tol)
{
    if (stream == nullptr) print = false;
    const RegressionTexts& tx = lang == 0 ? kEnglish : kPortuguese;
    if (print && printData) {
        const char* dashes = "------------------------------------------------";
        fprintf(stream, "\n%s\n%s\n%s\n", dashes, tx.title, dashes);
        fprintf(stream, "%s", tx.factors);
        PrintRows(stream, n, q, X);
        fprintf(stream, "%s", tx.responses);
        PrintRows(stream, n, p, Y);
    }
    double* meanX = dim1Double(q);
    double* meanY = dim1Double(p);
    T** Xc = NewMatrix<T>(n, q);
    T** Yc = NewMatrix<T>(n, p);
    CentreColumns(n, q, X, Xc, meanX);
    CentreColumns(n, p, Y, Yc, meanY);
    double* ss = ssY ? ssY : dim1Double(p);
    for (int j = 0; j < p; j++) {
        ss[j] = 0.0;
        for (int i = 0; i < n; i++)
            if (IsPresent(Yc[i][j])) ss[j] += double(Yc[i][j]) * double(Yc[i][j]);
    }
    bool* kept = static_cast<bool*>(dim1D(sizeof(bool), q));
    SolveWithAliasing(n, p, q, Xc, Yc, B, kept, tol);
    if (print) {
        fprintf(stream, "%s", tx.coefficients);
        for (int k = 0; k < q; k++) {
            fprintf(stream, tx.factor, k + 1);
            for (int j = 0; j < p; j++) fprintf(stream, "%g\t", B[k][j]);
            fprintf(stream, "\n");
        }
    }
    for (int j = 0; j < p; j++) {
        b0[j] = meanY[j];
        for (int k = 0; k < q; k++) b0[j] -= B[k][j] * meanX[k];
    }
    if (print) {
        fprintf(stream, "%s", tx.intercept);
        for (int j = 0; j < p; j++) fprintf(stream, "%g\t", b0[j]);
    }
    for (int i = 0; i < n; i++) {
        bool known = true;
        for (int k = 0; k < q; k++)
            if (kept[k] && IsMissing(Xc[i][k])) known = false;
        for (int j = 0; j < p; j++) {
            if (!known) {
                Yhat[i][j] = MissingValue;
                continue;
            }
            double y = meanY[j];
            for (int k = 0; k < q; k++)
                if (kept[k]) y += B[k][j] * double(Xc[i][k]);
            Yhat[i][j] = y;
        }
    }
    for (int j = 0; j < p; j++) r2[j] = ss[j] > 0.0 ? ColumnSSDev(n, Yhat, j) / ss[j] : 0.0;
    if (print && printData) {
        fprintf(stream, "%s", tx.predicted);
        PrintRows(stream, n, p, Yhat);
        for (int pass = 0; pass < 2; pass++) {
            fprintf(stream, "%s", pass == 0 ? tx.residuals : tx.adjusted);
            for (int i = 0; i < n; i++) {
                for (int j = 0; j < p; j++) {
                    if (IsMissing(Y[i][j]) || IsMissing(Yhat[i][j]))
                        fprintf(stream, "%d\t", -999);
                    else
                        fprintf(stream, "%g\t",
                                double(Y[i][j]) + (pass == 0 ? 0.0 : meanY[j]) - Yhat[i][j]);
                }
                fprintf(stream, "\n");
            }
        }
    }
    if (print) {
        fprintf(stream, tx.r2, p);
        for (int j = 0; j < p; j++) fprintf(stream, "%g\t", r2[j]);
        fprintf(stream, "\n");
    }
    free1D(kept);
    if (ssY == nullptr) free1D(ss);
    free2D(Xc, n);
    free2D(Yc, n);
    free1D(meanX);
    free1D(meanY);
    return 1;
}

// The m = n(n-1)/2 cells i < j of A (factor) and B (response), rounded to single precision,
// regressed; out receives the residual (residuals) or the prediction in the cells i < j.
void MatrixRegression(int n, double** A, double** B, double** out, bool residuals)
{
    const int m = n * (n - 1) / 2;
    if (m < 1) return;
    float** y = dim2Dfloat(m, 1);
    float** x = dim2Dfloat(m, 1);
    double** yhat = dim2Double(m, 1);
    double b[1][1];
    double* bRow[1] = {b[0]};
    double b0, r2;
    int c = 0;
    for (int i = 0; i < n - 1; i++)
        for (int j = i + 1; j < n; j++, c++) {
            y[c][0] = float(B[i][j]);
            x[c][0] = float(A[i][j]);
        }
    RegressionT(m, 1, 1, y, x, bRow, &b0, yhat, &r2, nullptr, false, nullptr, 1, false,
                kAliasTolFloat);
    c = 0;
    for (int i = 0; i < n - 1; i++)
        for (int j = i + 1; j < n; j++, c++) {
            if (!residuals)
                out[i][j] = yhat[c][0];
            else if (IsMissing(y[c][0]) || IsMissing(yhat[c][0]))
                out[i][j] = MissingValue;
            else
                out[i][j] = double(y[c][0]) - yhat[c][0];
        }
    free2D(yhat, m);
    free2D(x, m);
    free2D(y, m);
}

// The columns of X with select[j] == 1 (all when select is null) gathered into a new n x q'
// matrix (row pointers of its own, values copied); *qSel receives q'.
template <class T>
T** GatherColumns(int n, int q, T** X, const int* select, int* qSel)
{
    int c = 0;
    for (int j = 0; j < q; j++)
        if (select == nullptr || select[j] == 1) c++;
    T** G = NewMatrix<T>(n, c);
    for (int i = 0; i < n; i++) {
        int k = 0;
        for (int j = 0; j < q; j++)
            if (select == nullptr || select[j] == 1) G[i][k++] = X[i][j];
    }
    *qSel = c;
    return G;
}

template <class T>
double Tolerance();
template <>
double Tolerance<float>() { return kAliasTolFloat; }
template <>
double Tolerance<double>() { return kAliasTolDouble; }

// Regression of Y on the selected columns of X; Yhat (n x p) receives the predictions.
template <class T>
void RegressOnSelected(int n, int p, int q, T** Y, T** X, const int* select, double** Yhat)
{
    int qs = 0;
    T** G = GatherColumns(n, q, X, select, &qs);
    double** B = dim2Double(qs, p);
    double* b0 = dim1Double(p);
    double* r2 = dim1Double(p);
    RegressionT(n, p, qs, Y, G, B, b0, Yhat, r2, nullptr, false, nullptr, 1, false,
                Tolerance<T>());
    free1D(r2);
    free1D(b0);
    free2D(B, qs);
    free2D(G, n);
}

template <class T>
int ResidualsSelectT(int n, int p, int q, T** Y, T** X, T** R, int* select)
{
    double** Yhat = dim2Double(n, p);
    RegressOnSelected(n, p, q, Y, X, select, Yhat);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++)
            R[i][j] = IsMissing(Y[i][j]) || IsMissing(Yhat[i][j]) ? T(MissingValue)
                                                                  : Y[i][j] - T(Yhat[i][j]);
    free2D(Yhat, n);
    return 1;
}

}  // namespace

int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2, double* ssY, bool print, FILE* stream, int lang, bool printData)
{
    return RegressionT(n, p, q, Y, X, B, b0, Yhat, r2, ssY, print, stream, lang, printData,
                       kAliasTolFloat);
}

int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2, double* ssY, bool print, FILE* stream, int lang,
               bool printData)
{
    return RegressionT(n, p, q, Y, X, B, b0, Yhat, r2, ssY, print, stream, lang, printData,
                       kAliasTolDouble);
}

int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2, bool print, FILE* stream, int lang, bool printData)
{
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, nullptr, print, stream, lang, printData);
}

int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2, bool print, FILE* stream, int lang, bool printData)
{
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, nullptr, print, stream, lang, printData);
}

int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2, bool print, FILE* stream, int lang)
{
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, nullptr, print, stream, lang, true);
}

int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2, bool print, FILE* stream, int lang)
{
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, nullptr, print, stream, lang, true);
}

int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2)
{
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, nullptr, false, nullptr, 1, true);
}

int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2)
{
    return regression(n, p, q, Y, X, B, b0, Yhat, r2, nullptr, false, nullptr, 1, true);
}

int ResidualsMatrixRegression(int n, double** A, double** B, double** R)
{
    MatrixRegression(n, A, B, R, true);
    return 1;
}

int PredictedMatrixRegression(int n, double** A, double** B, double** D)
{
    MatrixRegression(n, A, B, D, false);
    return 1;
}

int Regression_ResidualsSelect(int n, int p, int q, float** Y, float** X, float** R,
                               int* select)
{
    return ResidualsSelectT(n, p, q, Y, X, R, select);
}

int Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                               int* select)
{
    return ResidualsSelectT(n, p, q, Y, X, R, select);
}

int Regression_PredictedSelect(int n, int p, int q, float** Y, float** X, float** P,
                               int* selectY, int* selectX)
{
    int ps = 0;
    float** Ys = GatherColumns(n, p, Y, selectY, &ps);
    double** Yhat = dim2Double(n, ps);
    RegressOnSelected(n, ps, q, Ys, X, selectX, Yhat);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < ps; j++) P[i][j] = float(Yhat[i][j]);
    free2D(Yhat, n);
    free2D(Ys, n);
    return 1;
}
