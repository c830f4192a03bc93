// Least-squares regression of several responses on several factors (with its report), the
// residual and prediction front-ends built on it, the principal-component regression
// residuals and the redundancy analysis.
#include "matrix/qwlib.h"

#include "foundation/ConsoleReaders.h"
#include "foundation/MemoryStream.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"
#include "matrix/qwlibInternal.h"
#include "statistics/qwlibRes.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

using qwmat::NewMatrix;

// A factor is aliased when its centred sum of squares left after the factors before it is
// at most this fraction of its own. Rounding leaves about the square of the precision's step
// times the conditioning; the float form works on values rounded to single precision.
const double kAliasTolDouble = 1e-12;
const double kAliasTolFloat = 1e-9;

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
// When inverse is not null it receives the inverse of X'X restricted to the kept factors
// (rows and columns of aliased factors 0). A (q rows of at least 2q + p values) and own (q
// values) are the caller's scratch; every cell the reduction reads is set here.
template <class T>
void SolveWithAliasingOn(int n, int p, int q, T** Xc, T** Yc, double** B, bool* kept, double tol,
                         double** A, double* own, double** inverse = nullptr)
{
    const int w = q + p + q;  // [X'X | X'Y | I]
    for (int k = 0; k < q; k++) {
        for (int l = q + p; l < w; l++) A[k][l] = 0.0;
        A[k][q + p + k] = 1.0;
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
    for (int k = 0; k < q; k++) own[k] = A[k][k];
    for (int k = 0; k < q; k++) {
        double d = A[k][k];
        kept[k] = own[k] > 0.0 && d > tol * own[k];
        if (!kept[k]) continue;
        for (int l = 0; l < w; l++) A[k][l] /= d;
        for (int i = 0; i < q; i++) {
            if (i == k) continue;
            double f = A[i][k];
            if (f == 0.0) continue;
            for (int l = 0; l < w; l++) A[i][l] -= f * A[k][l];
        }
    }
    for (int k = 0; k < q; k++)
        for (int j = 0; j < p; j++) B[k][j] = kept[k] ? A[k][q + j] : 0.0;
    if (inverse)
        for (int k = 0; k < q; k++)
            for (int l = 0; l < q; l++)
                inverse[k][l] = kept[k] && kept[l] ? A[k][q + p + l] : 0.0;
}

// The same on scratch of its own.
template <class T>
void SolveWithAliasing(int n, int p, int q, T** Xc, T** Yc, double** B, bool* kept, double tol,
                       double** inverse = nullptr)
{
    double** A = dim2Double(q, q + p + q);
    double* own = dim1Double(q);
    SolveWithAliasingOn(n, p, q, Xc, Yc, B, kept, tol, A, own, inverse);
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

}  // namespace

// Buffers of the regression (means, centred tables, sums of squares, the Gauss-Jordan tableau)
// and, when asked for, of the residuals on selected factors (the gathered factors, coefficients,
// intercepts, r2 and predictions), for at most n units, p responses and q factors.
template <class T>
struct RegressionWorkspace<T>::Buffers {
    Buffers(int n_, int p_, int q_, bool selecting)
        : n(n_), p(p_), q(q_), meanX(dim1Double(q_)), meanY(dim1Double(p_)), ss(dim1Double(p_)),
          own(dim1Double(q_)), kept(static_cast<bool*>(dim1D(sizeof(bool), q_))),
          Xc(NewMatrix<T>(n_, q_)), Yc(NewMatrix<T>(n_, p_)), A(dim2Double(q_, q_ + p_ + q_))
    {
        if (!selecting) return;
        G = NewMatrix<T>(n_, q_);
        B = dim2Double(q_, p_);
        b0 = dim1Double(p_);
        r2 = dim1Double(p_);
        Yhat = dim2Double(n_, p_);
    }
    ~Buffers()
    {
        free1D(meanX);
        free1D(meanY);
        free1D(ss);
        free1D(own);
        free1D(kept);
        free2D(Xc, n);
        free2D(Yc, n);
        free2D(A, q);
        if (G) free2D(G, n);
        if (B) free2D(B, q);
        if (b0) free1D(b0);
        if (r2) free1D(r2);
        if (Yhat) free2D(Yhat, n);
    }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;

    int n, p, q;
    double *meanX, *meanY, *ss, *own;
    bool* kept;
    T **Xc, **Yc;
    double** A;
    T** G = nullptr;
    double** B = nullptr;
    double* b0 = nullptr;
    double* r2 = nullptr;
    double** Yhat = nullptr;
};

template <class T>
RegressionWorkspace<T>::RegressionWorkspace(int n, int p, int q) : b_(new Buffers(n, p, q, true))
{
}

template <class T>
RegressionWorkspace<T>::~RegressionWorkspace()
{
    delete b_;
}

template <class T>
bool RegressionWorkspace<T>::Fits(int n, int p, int q) const
{
    return n <= b_->n && p <= b_->p && q <= b_->q;
}

template class RegressionWorkspace<float>;
template class RegressionWorkspace<double>;

namespace {

template <class T>
int RegressionT(int n, int p, int q, T** Y, T** X, double** B, double* b0, double** Yhat,
                double* r2, double* ssY, bool print, FILE* stream, int lang, bool printData,
                double tol, typename RegressionWorkspace<T>::Buffers& w)
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
    double* meanX = w.meanX;
    double* meanY = w.meanY;
    T** Xc = w.Xc;
    T** Yc = w.Yc;
    CentreColumns(n, q, X, Xc, meanX);
    CentreColumns(n, p, Y, Yc, meanY);
    double* ss = ssY ? ssY : w.ss;
    for (int j = 0; j < p; j++) {
        ss[j] = 0.0;
        for (int i = 0; i < n; i++)
            if (IsPresent(Yc[i][j])) ss[j] += double(Yc[i][j]) * double(Yc[i][j]);
    }
    bool* kept = w.kept;
    SolveWithAliasingOn(n, p, q, Xc, Yc, B, kept, tol, w.A, w.own);
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
    return 1;
}

// One regression on a work space of its own.
template <class T>
int RegressionOnce(int n, int p, int q, T** Y, T** X, double** B, double* b0, double** Yhat,
                   double* r2, double* ssY, bool print, FILE* stream, int lang, bool printData,
                   double tol)
{
    typename RegressionWorkspace<T>::Buffers w(n, p, q, false);
    return RegressionT(n, p, q, Y, X, B, b0, Yhat, r2, ssY, print, stream, lang, printData, tol,
                       w);
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
    RegressionOnce(m, 1, 1, y, x, bRow, &b0, yhat, &r2, nullptr, false, nullptr, 1, false,
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

// Number of the q columns with select[j] == 1 (all when select is null).
int CountSelected(int q, const int* select)
{
    int c = 0;
    for (int j = 0; j < q; j++)
        if (select == nullptr || select[j] == 1) c++;
    return c;
}

// The columns of X with select[j] == 1 (all when select is null), in their order, copied into
// the first columns of G (n rows); returns their number.
template <class T>
int GatherColumns(int n, int q, T** X, const int* select, T** G)
{
    for (int i = 0; i < n; i++) {
        int c = 0;
        for (int j = 0; j < q; j++)
            if (select == nullptr || select[j] == 1) G[i][c++] = X[i][j];
    }
    return CountSelected(q, select);
}

template <class T>
double Tolerance();
template <>
double Tolerance<float>() { return kAliasTolFloat; }
template <>
double Tolerance<double>() { return kAliasTolDouble; }

// Regression of Y on the selected columns of X; Yhat (n x p) receives the predictions.
template <class T>
void RegressOnSelected(int n, int p, int q, T** Y, T** X, const int* select, double** Yhat,
                       typename RegressionWorkspace<T>::Buffers& w)
{
    const int qs = GatherColumns(n, q, X, select, w.G);
    RegressionT(n, p, qs, Y, w.G, w.B, w.b0, Yhat, w.r2, nullptr, false, nullptr, 1, false,
                Tolerance<T>(), w);
}

template <class T>
int ResidualsSelectT(int n, int p, int q, T** Y, T** X, T** R, int* select,
                     typename RegressionWorkspace<T>::Buffers& w)
{
    double** Yhat = w.Yhat;
    RegressOnSelected(n, p, q, Y, X, select, Yhat, w);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++)
            R[i][j] = IsMissing(Y[i][j]) || IsMissing(Yhat[i][j]) ? T(MissingValue)
                                                                  : Y[i][j] - T(Yhat[i][j]);
    return 1;
}

// Residuals on a work space of their own, sized for this call.
template <class T>
int ResidualsSelectOnce(int n, int p, int q, T** Y, T** X, T** R, int* select)
{
    typename RegressionWorkspace<T>::Buffers w(n, p, q, true);
    return ResidualsSelectT(n, p, q, Y, X, R, select, w);
}

// ---------------------------------------------------------------- redundancy analysis

// Covariance matrix (p x p, divisor n - 1, 1 for a single unit) of the centred columns of Y.
void CovarianceOfColumns(int n, int p, double** Y, double** S)
{
    const double d = n > 1 ? n - 1 : 1;
    for (int a = 0; a < p; a++)
        for (int b = a; b < p; b++) {
            double s = 0.0;
            for (int i = 0; i < n; i++) s += Y[i][a] * Y[i][b];
            S[a][b] = S[b][a] = s / d;
        }
}

// The eigen-analysis of a covariance matrix and its kept axes (100 e / sum of all eigenvalues
// above 1e-4).
struct Axes {
    double** vec;  // p x p, eigenvectors as rows
    double* eig;   // p
    int kept;
};

Axes EigenAxes(int p, double** S)
{
    Axes a{dim2Double(p, p), dim1Double(p), 0};
    if (p < 1) return a;
    if (!EigenHouseholderQL(p, S, a.vec, a.eig))
        printf("Problemas na extracao de raizes da matriz de covariancia\n");
    double sum = 0.0;
    for (int k = 0; k < p; k++) sum += a.eig[k];
    if (sum > 0.0)
        for (int k = 0; k < p; k++)
            if (100.0 * a.eig[k] / sum > 0.0001) a.kept++;
    return a;
}

void FreeAxes(int p, Axes& a)
{
    free2D(a.vec, p);
    free1D(a.eig);
}

// Scores (n x p) of the rows of Y on the eigenvectors: Z[i][k] = sum_j Y[i][j] vec[k][j].
void AxisScores(int n, int p, double** Y, const Axes& a, double** Z)
{
    for (int i = 0; i < n; i++)
        for (int k = 0; k < p; k++) {
            double s = 0.0;
            for (int j = 0; j < p; j++) s += Y[i][j] * a.vec[k][j];
            Z[i][k] = s;
        }
}

void PrintTitle(FILE* f, const char* title) { fprintf(f, "%s", title); }

void PrintValues(FILE* f, int n, const double* v, double divisor = 1.0)
{
    for (int k = 0; k < n; k++) fprintf(f, "%g\t", v[k] / divisor);
    fprintf(f, "\n");
}

// The first `cols` columns of m (rows x at least cols).
void PrintColumns(FILE* f, int rows, int cols, double** m)
{
    for (int i = 0; i < rows; i++) {
        for (int j = 0; j < cols; j++) fprintf(f, "%g\t", m[i][j]);
        fprintf(f, "\n");
    }
}

// Loadings of each of the p variables on the first K axes.
void PrintLoadings(FILE* f, int p, const Axes& a)
{
    for (int j = 0; j < p; j++) {
        for (int k = 0; k < a.kept; k++) fprintf(f, "%g\t", a.vec[k][j]);
        fprintf(f, "\n");
    }
}

// Eigenvalues, their proportions of the total variance T and, with details, the loadings and
// the scores (n x p, first a.kept columns) of one eigen-analysis, under its four titles.
void PrintAxesBlock(FILE* f, const char* const titles[4], int n, int p, const Axes& a, double T,
                    double** scores, bool details)
{
    PrintTitle(f, titles[0]);
    PrintValues(f, a.kept, a.eig);
    PrintTitle(f, titles[1]);
    PrintValues(f, a.kept, a.eig, T);
    if (!details) return;
    PrintTitle(f, titles[2]);
    PrintLoadings(f, p, a);
    PrintTitle(f, titles[3]);
    PrintColumns(f, n, a.kept, scores);
}

// Eigen-analysis of the covariance matrix S of the centred table data (n x p) and its block
// of the report.
void EigenBlock(FILE* f, const char* const titles[4], int n, int p, double** data, double** S,
                double T, bool details)
{
    Axes a = EigenAxes(p, S);
    double** Z = dim2Double(n, p);
    AxisScores(n, p, data, a, Z);
    PrintAxesBlock(f, titles, n, p, a, T, Z, details);
    free2D(Z, n);
    FreeAxes(p, a);
}

// A data matrix with an empty line after it.
void PrintData(FILE* f, const char* title, int rows, int cols, double** m)
{
    fprintf(f, "%s", title);
    PrintColumns(f, rows, cols, m);
    fprintf(f, "\n");
}

const char* const kRdaTitle = "Analise de Redundancia (RDA)";
const char* const kRdaCitation = "cf. Quarrin & Quarrin 1998, p.579-594.";

// Correlation of column a of A with column b of B (n rows).
double ColumnCorrelation(int n, double** A, int a, double** B, int b)
{
    double* x = dim1Double(n);
    double* y = dim1Double(n);
    for (int i = 0; i < n; i++) {
        x[i] = A[i][a];
        y[i] = B[i][b];
    }
    double r = Correlation2Vec(n, x, y);
    free1D(x);
    free1D(y);
    return r;
}

// One line a variable of X (n x q): its correlation with each of the K axes in the columns
// of Z, times scale(k).
template <class Scale>
void PrintVariableAxisTable(FILE* f, const char* title, int n, int q, int K, double** X, double** Z, Scale scale)
{
    PrintTitle(f, title);
    for (int j = 0; j < q; j++) {
        fprintf(f, "Var. %d:\t", j + 1);
        for (int k = 0; k < K; k++) fprintf(f, "%g\t", scale(k) * ColumnCorrelation(n, X, j, Z, k));
        fprintf(f, "\n");
    }
}

// The redundancy analysis on double copies of Y and X (centred here). f: the report (null:
// nothing printed); driver: the interactive form, whose report adds the intermediate
// matrices (detailed), the biplot scores, the non-canonical axes and the PCA of Y.
void RdaCore(int n, int p, int q, double** Y, double** X, double* eig, double** scoresX,
             double* corrYX, FILE* f, bool driver, bool detailed)
{
    CenterCols(n, q, X, X);
    CenterCols(n, p, Y, Y);
    double** S = dim2Double(p, p);
    CovarianceOfColumns(n, p, Y, S);
    double total = 0.0;
    for (int j = 0; j < p; j++) total += S[j][j];
    const double T = total != 0.0 ? total : 1.0;

    double** B = dim2Double(q, p);
    double** inv = dim2Double(q, q);
    bool* kept = static_cast<bool*>(dim1D(sizeof(bool), q));
    SolveWithAliasing(n, p, q, X, Y, B, kept, kAliasTolDouble, inv);
    double** Yhat = dim2Double(n, p);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < p; j++) {
            double s = 0.0;
            for (int k = 0; k < q; k++) s += X[i][k] * B[k][j];
            Yhat[i][j] = s;
        }
    if (f && driver && detailed) {
        double** xtx = dim2Double(q, q);
        double** xty = dim2Double(q, p);
        for (int a = 0; a < q; a++) {
            for (int b = 0; b < q; b++)
                for (int i = 0; i < n; i++) xtx[a][b] += X[i][a] * X[i][b];
            for (int b = 0; b < p; b++)
                for (int i = 0; i < n; i++) xty[a][b] += X[i][a] * Y[i][b];
        }
        PrintData(f, "\nMatriz xTx:\n", q, q, xtx);
        PrintData(f, "\nMatriz xTy:\n", q, p, xty);
        PrintData(f, "\nMatriz S inversa:\n", q, q, inv);
        PrintData(f, "\nMatriz com os coeficientes de regressao:\n", q, p, B);
        free2D(xtx, q);
        free2D(xty, q);
    }
    if (f && (!driver || detailed)) PrintData(f, "\nMatriz com y preditos:\n", n, p, Yhat);

    double** Sf = dim2Double(p, p);
    CovarianceOfColumns(n, p, Yhat, Sf);
    if (f && driver && detailed)
        PrintData(f, "\nMatriz de covariancias (espaco definido pelas variaveis x): \n", p, p, Sf);
    Axes ax = EigenAxes(p, Sf);
    for (int k = 0; k < p; k++) eig[k] = ax.eig[k];
    const int K = ax.kept;
    double** F = dim2Double(n, p);
    double** Z = dim2Double(n, p);
    AxisScores(n, p, Yhat, ax, F);
    AxisScores(n, p, Y, ax, Z);
    for (int k = 0; k < p; k++)
        for (int i = 0; i < n; i++) scoresX[k][i] = F[i][k];
    if (f) {
        const char* const titles[4] = {
            "\nAutovalores canonicos (espaco definido pelas variaveis x): \n",
            "\nProporcao dos eixos canonicos em relacao aa variacao total das variaveis y:\n",
            "\nAutovetores (espaco definido pelas variaveis x): \n",
            "\nEscores de unidades amostrais (espaco definido pelas variaveis x): \n"};
        PrintAxesBlock(f, titles, n, p, ax, T, F, true);
        PrintTitle(f, "\nEscores de unidades amostrais (espaco definido pelas variaveis y): \n");
        PrintColumns(f, n, K, Z);
    }
    for (int k = 0; k < K; k++) {
        corrYX[k] = ColumnCorrelation(n, Z, k, F, k);
        if (f)
            fprintf(f, "Correlacao entre escores no espaco definido por Y e por X (eixo de ordenacao %d): %g\n",
                    k + 1, corrYX[k]);
    }
    if (f)
        PrintVariableAxisTable(f, "\nCorrelacao entre variaveis em X e os eixos de ordenacao canonica:\n", n, q, K, X,
                               Z, [](int) { return 1.0; });
    if (f && driver) {
        PrintVariableAxisTable(f, "\nEscores de variaveis em X para biplots:\n", n, q, K, X, Z,
                               [&](int k) { return std::sqrt(ax.eig[k] / T); });
        // Non-canonical part: the residuals y - yP.
        double** res = dim2Double(n, p);
        for (int i = 0; i < n; i++)
            for (int j = 0; j < p; j++) res[i][j] = Y[i][j] - Yhat[i][j];
        double** Sr = dim2Double(p, p);
        CovarianceOfColumns(n, p, res, Sr);
        if (detailed)
            PrintData(f, "\nMatriz de covariancias (espaco definido pelas variaveis yRes = y-yP): \n", p, p, Sr);
        const char* const resTitles[4] = {
            "\nAutovalores nao-canonicos (espaco definido pelas variaveis yRes = y-yP): \n",
            "\nProporcao dos eixos nao-canonicos em relacao a variacao total das variaveis y:\n",
            "\nAutovetores nao-canonicos (espaco definido pelas variaveis yRes = y-yP): \n",
            "\nEscores de unidades amostrais (espaco definido pelas variaveis yRes = y-yP): \n"};
        EigenBlock(f, resTitles, n, p, res, Sr, T, detailed);
        free2D(Sr, p);
        free2D(res, n);
        // Principal components of Y.
        PrintTitle(f, "\nAnalise de Componentes Principais com a matriz Y (ordenacao nao-canonica)\n");
        if (detailed) PrintData(f, "Matriz de covariancias: \n", p, p, S);
        const char* const yTitles[4] = {
            "\nAutovalores (espaco definido pelas variaveis y): \n",
            "\nProporcao dos eixos em relacao aa variacao total das variaveis y:\n",
            "\nAutovetores (espaco definido pelas variaveis y): \n",
            "\nEscores de unidades amostrais (espaco definido pelas variaveis y): \n"};
        EigenBlock(f, yTitles, n, p, Y, S, T, true);
    }
    free2D(Z, n);
    free2D(F, n);
    FreeAxes(p, ax);
    free2D(Sf, p);
    free2D(Yhat, n);
    free1D(kept);
    free2D(inv, q);
    free2D(B, q);
    free2D(S, p);
}

template <class T>
double** DoubleCopy(int rows, int cols, T** m)
{
    double** d = dim2Double(rows, cols);
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) d[i][j] = double(m[i][j]);
    return d;
}

template <class T>
int RdaT(int n, int p, int q, T** Y, T** X, double* eig, double** scoresX, double* corrYX,
         bool print, FILE* stream)
{
    FILE* f = print ? stream : nullptr;
    double** y = DoubleCopy(n, p, Y);
    double** x = DoubleCopy(n, q, X);
    if (print) {
        printf("\n%s\n%s\n", kRdaTitle, kRdaCitation);
        if (f) {
            fprintf(f, "%s\n%s", kRdaTitle, kRdaCitation);
            PrintData(f, "\nMatriz y:\n", n, p, y);
            PrintData(f, "\nMatriz x:\n", n, q, x);
        }
    }
    RdaCore(n, p, q, y, x, eig, scoresX, corrYX, f, false, false);
    free2D(x, n);
    free2D(y, n);
    return 1;
}

// Reads n x cols reals of the data file into m.
void ReadMatrix(FILE* f, int n, int cols, double** m, const char* name)
{
    for (int i = 0; i < n; i++)
        for (int j = 0; j < cols; j++) freadck(f, "%lf", &m[i][j], name);
}

}  // namespace

int regression(int n, int p, int q, float** Y, float** X, double** B, double* b0, double** Yhat,
               double* r2, double* ssY, bool print, FILE* stream, int lang, bool printData)
{
    return RegressionOnce(n, p, q, Y, X, B, b0, Yhat, r2, ssY, print, stream, lang, printData,
                          kAliasTolFloat);
}

int regression(int n, int p, int q, double** Y, double** X, double** B, double* b0,
               double** Yhat, double* r2, double* ssY, bool print, FILE* stream, int lang,
               bool printData)
{
    return RegressionOnce(n, p, q, Y, X, B, b0, Yhat, r2, ssY, print, stream, lang, printData,
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
    return ResidualsSelectOnce(n, p, q, Y, X, R, select);
}

int Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                               int* select)
{
    return ResidualsSelectOnce(n, p, q, Y, X, R, select);
}

int Regression_ResidualsSelect(int n, int p, int q, float** Y, float** X, float** R,
                               int* select, RegressionWorkspace<float>& ws)
{
    return ws.Fits(n, p, q) ? ResidualsSelectT(n, p, q, Y, X, R, select, *ws.buffers())
                            : ResidualsSelectOnce(n, p, q, Y, X, R, select);
}

int Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                               int* select, RegressionWorkspace<double>& ws)
{
    return ws.Fits(n, p, q) ? ResidualsSelectT(n, p, q, Y, X, R, select, *ws.buffers())
                            : ResidualsSelectOnce(n, p, q, Y, X, R, select);
}

int Regression_PredictedSelect(int n, int p, int q, float** Y, float** X, float** P,
                               int* selectY, int* selectX)
{
    const int ps = CountSelected(p, selectY);
    float** Ys = NewMatrix<float>(n, ps);
    GatherColumns(n, p, Y, selectY, Ys);
    RegressionWorkspace<float>::Buffers w(n, ps, q, true);
    RegressOnSelected(n, ps, q, Ys, X, selectX, w.Yhat, w);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < ps; j++) P[i][j] = float(w.Yhat[i][j]);
    free2D(Ys, n);
    return 1;
}

// The buffers of PcaRegressionWorkspace, for n units, p responses and q columns of X.
struct PcaRegressionWorkspace::Buffers {
    Buffers(int n_, int p_, int q_)
        : n(n_), p(p_), q(q_), G(NewMatrix<double>(n_, q_)), scores(dim2Double(q_, n_)), V(dim2Double(q_, n_)),
          C(dim2Double(q_, q_)), Vt(dim2Double(n_, q_)), Pc(dim2Double(n_, q_)), ordination(q_, n_),
          regression(n_, p_, q_)
    {
    }
    ~Buffers()
    {
        free2D(G, n);
        free2D(scores, q);
        free2D(V, q);
        free2D(C, q);
        free2D(Vt, n);
        free2D(Pc, n);
    }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
    int n, p, q;
    double **G, **scores, **V, **C, **Vt, **Pc;
    OrdinationWorkspace ordination;
    RegressionWorkspace<double> regression;
};

PcaRegressionWorkspace::PcaRegressionWorkspace(int n, int p, int q) : b_(new Buffers(n, p, q)) {}

PcaRegressionWorkspace::~PcaRegressionWorkspace() { delete b_; }

bool PcaRegressionWorkspace::Fits(int n, int p, int q) const
{
    return n <= b_->n && p <= b_->p && q <= b_->q;
}

int PCA_Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                                   int* select, int opt, double factor, PcaRegressionWorkspace& ws)
{
    if (!ws.Fits(n, p, q)) {
        PcaRegressionWorkspace own(n, p, q);
        return PCA_Regression_ResidualsSelect(n, p, q, Y, X, R, select, opt, factor, own);
    }
    PcaRegressionWorkspace::Buffers& w = *ws.buffers();
    const int qs = GatherColumns(n, q, X, select, w.G);
    double** G = w.G;
    double** scores = w.scores;
    int used = 0;
    if ((opt == 1 || opt == 2) && qs > 0) {
        // A factor without variation (its centred values rounding noise of its values) enters
        // as 0, as a constant one does: scaled, its noise would become a component.
        for (int k = 0; k < qs; k++)
            if (!ColumnHasVariation(n, G, k))
                for (int i = 0; i < n; i++)
                    if (IsPresent(G[i][k])) G[i][k] = 0.0;
        double** V = w.V;
        for (int k = 0; k < qs; k++)
            for (int i = 0; i < n; i++) V[k][i] = G[i][k];
        if (opt == 1) {
            CenterRowsCovMV(qs, n, V, V);
        } else {
            CenterRowsMV(qs, n, V, V);
            NormalizeRowsMV(qs, n, V, V);
        }
        double** C = w.C;
        CrossProductMV(qs, n, V, C);
        for (int a = 0; a < qs; a++)
            for (int b = a + 1; b < qs; b++) C[b][a] = C[a][b];
        double** Vt = w.Vt;
        for (int k = 0; k < qs; k++)
            for (int i = 0; i < n; i++) Vt[i][k] = V[k][i];
        int axes = OrdinationLib_Scores(qs, n, Vt, C, scores, 2, opt == 1 ? 1 : 17, 2, w.ordination);
        double limit = double(n - 2) / factor;
        used = double(axes) <= limit ? axes : int(limit);
        if (used < 0) used = 0;
    }
    double** Pc = w.Pc;
    for (int i = 0; i < n; i++)
        for (int k = 0; k < used; k++) Pc[i][k] = scores[k][i];
    Regression_ResidualsSelect(n, p, used, Y, Pc, R, nullptr, w.regression);
    // The residuals keep variation of Y when a column of Y keeps more than its rounding.
    return ResidualsKeepVariation(n, p, R, Y) ? 1 : 0;
}

int PCA_Regression_ResidualsSelect(int n, int p, int q, double** Y, double** X, double** R,
                                   int* select, int opt, double factor)
{
    PcaRegressionWorkspace own(n, p, q);
    return PCA_Regression_ResidualsSelect(n, p, q, Y, X, R, select, opt, factor, own);
}

int RDA(int n, int p, int q, float** Y, float** X, double* eig, double** scoresX,
        double* corrYX, double** M, bool print, FILE* stream, int lang)
{
    (void)M;
    (void)lang;
    return RdaT(n, p, q, Y, X, eig, scoresX, corrYX, print, stream);
}

int RDA(int n, int p, int q, double** Y, double** X, double* eig, double** scoresX,
        double* corrYX, double** M, bool print, FILE* stream, int lang)
{
    (void)M;
    (void)lang;
    return RdaT(n, p, q, Y, X, eig, scoresX, corrYX, print, stream);
}

int rda()
{
    for (;;) {
        printf("%s\n%s\n", kRdaTitle, kRdaCitation);
        printf("Especifique nome do arquivo de dados: ");
        char name[256];
        ReadStringIn("%s", name);
        FILE* data = fopenck(name, nullptr, "r");
        if (!data) RaiseError(TNX_FAIL_TO_OPEN);
        printf("Apresentar resultados resumidos(r) ou detalhados(d)? ");
        const bool detailed = ReadCharIn("r d") == 'd';
        // The report is composed in memory and appended whole once the analysis is done.
        MemoryStream text;
        if (!text.Open()) {
            fclose(data);
            RaiseError(TNX_OUT_OF_MEMORY);
        }
        FILE* rep = text.stream();
        int n = 0, p = 0, q = 0;
        double** y = nullptr;
        double** x = nullptr;
        try {
            freadck(data, "%d", &n, name);
            freadck(data, "%d", &p, name);
            freadck(data, "%d", &q, name);
            if (n < 1 || p < 1 || q < 0) RaiseError(TNX_END_OF_FILE);
            y = dim2Double(n, p);
            x = dim2Double(n, q);
            ReadMatrix(data, n, p, y, name);
            ReadMatrix(data, n, q, x, name);
        } catch (...) {
            free2D(y, n);
            free2D(x, n);
            fclose(data);
            throw;
        }
        fclose(data);
        fprintf(rep, "%s\n%s\n%s\n", std::string(61, '=').c_str(), kRdaTitle, kRdaCitation);
        fprintf(rep, "\nDADOS: \t%s\n", name);
        fprintf(rep, "Numero de unidades amostrais: \t%d\n", n);
        fprintf(rep, "Numero de variaveis em y: \t%d\n", p);
        fprintf(rep, "Numero de variaveis em x: \t%d\n", q);
        PrintData(rep, "\nMatriz y:\n", n, p, y);
        PrintData(rep, "\nMatriz x:\n", n, q, x);
        double* eig = dim1Double(p);
        double* corr = dim1Double(p);
        double** scores = dim2Double(p, n);
        RdaCore(n, p, q, y, x, eig, scores, corr, rep, true, detailed);
        fprintf(rep, "\n\n\n");
        free2D(scores, p);
        free1D(corr);
        free1D(eig);
        free2D(y, n);
        free2D(x, n);
        text.CloseOrRaise();
        // Appended only now, whole: a run that fails half-way, or an append that fails, leaves
        // the report as it was.
        AppendWholeOrRaise("prinda.txt", text.data(), text.size());
        printf("\nExaminar resultados no arquivo prinda.txt.\n\n");
        printf("Executar nova analise(n) ou sair(s)? ");
        if (ReadCharIn("n s") == 's') return 1;
    }
}
