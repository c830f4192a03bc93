// Private to the permutation-test sources: the congruence of two configurations and the partial
// congruence with its buffers, shared by the engine and PartialMatrixCorrelation.
#ifndef TNXPERMINTERNAL_H
#define TNXPERMINTERNAL_H

#include "foundation/TnxBlas.h"
#include "foundation/qwlibDim.h"
#include "matrix/qwLinearModels.h"
#include "statistics/qwlibResCompare.h"
#include "traits/TNXPERMTEST.h"

#include <memory>

namespace permtest {

// The library's coefficient that a method compares by: 3 the RV coefficient, 2 (any other) the
// Procrustes coefficient; a work space of the library is made for that one only.
inline Coefficients ServedBy(int method) { return method == 3 ? Coefficients::kRV : Coefficients::kProcrustes; }

// Buffers of the partial congruence: the stacked covariate table, the two residual matrices and
// the work spaces of the regression on components and of the comparison by `method`, sized for
// the widest call a caller will make.
struct PartialWork {
    int n = 0, maxCols = 0, maxA = 0, maxB = 0;
    double** C = nullptr;
    double** RA = nullptr;
    double** RB = nullptr;
    PcaRegressionWorkspace pca;
    ComparisonWorkspace<double> compare;
    PartialWork(int n_, int cols, int pA, int pB, int method);
    ~PartialWork();
    PartialWork(const PartialWork&) = delete;
    PartialWork& operator=(const PartialWork&) = delete;
};

// A configuration of n objects ready for repeated Procrustes / RV comparisons: its columns
// centred, with the sums that do not depend on the other configuration. A fixed table is
// prepared once; a table that changes with the permutation is prepared once per iteration and
// then serves every comparison it enters. Buffers sized once (n x maxCols).
struct Config {
    int n = 0, maxCols = 0, cols = 0;
    double* block = nullptr;  // the n x maxCols cells, row-major, which the BLAS reads
    double* proj = nullptr;   // n x maxCols values: the projections of Components::Residuals
    double** c = nullptr;     // centred columns: row pointers into block
    double ss = 0.0;       // sum of squares of c (Procrustes)
    bool variance = false; // a table: a column of c varies beyond the rounding of its values
                           // (Spread); residuals: a column of c is more than rounding of the same
                           // column of the table they come from (HasVariation); a source with
                           // -999: ConfigurationHasVariation of the source
    bool missing = false;  // the source holds -999: the comparison takes the library's form
    double** source = nullptr;
    float** sourceF = nullptr;  // a single-precision source (the forms for -999 take it as it is)
    Config(int n_, int maxCols_);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;
    // Centres the n x cols table x (kept as the source for the missing-value form) and forms
    // the sums; it varies when a column does beyond the rounding of its values (kDoubleRounding).
    void Set(int cols_, double** x);
    // The same from single-precision cells, each converted exactly and taken as they are.
    void Set(int cols_, float** x);
    // Residuals in c of the table `before` (prepared by FinishTable): centres them in place and
    // forms the sums; they vary when a column of before that varies keeps, in c, more than
    // rounding of its centred sum of squares (HasVariation, column by column).
    void Finish(const Config& before);
    // A table in c: centres it in place and forms the sums; it varies when a column varies
    // beyond `rounding` of its largest magnitude (Spread, of the values before the centring).
    void FinishTable(double rounding);
    // The squared Frobenius norm of c'c (RV), formed on first use: as that of the smaller of
    // c'c and cc', which have the same non-zero eigenvalues.
    double Gram2() const;
    // With more columns than objects: the n x n triangle R of c' = Q R (row-major, zero below
    // the diagonal), formed on first use; the singular values of A'B are those of RA RB'. Null
    // when the decomposition failed.
    const double* Triangle() const;
    double* work = nullptr;  // maxCols values (Components::Residuals)
    double* squares = nullptr;  // maxCols values: each column's sum of squares in c
    Spread* columns = nullptr;     // maxCols: each column's spread (a table)
    bool* columnVaries = nullptr;  // maxCols: whether each column varies (a table)
    double* gram = nullptr;  // maxCols x maxCols upper triangle, row-major
private:
    void Centre();  // c less its column means
    mutable double gram2_ = 0.0;
    mutable bool gramDone_ = false;
    // The QR decomposition of c' (maxCols > n only): its copy, reflectors, work, the triangle.
    double* qr_ = nullptr;
    double* tau_ = nullptr;
    double* qrWork_ = nullptr;
    int qrLwork_ = 0;
    double* tri_ = nullptr;
    // Formed once, successfully or not: the engine forms it before its threads start, and they
    // only read it, a failure included.
    mutable bool triDone_ = false;
    mutable bool triFormed_ = false;
};

// The buffers of Compare: the cross product of two configurations and the work space of its
// singular values, for at most maxCols columns on either side, and the work spaces of the
// library's comparison for tables with -999 (n objects). Those serve one method's coefficient and
// are made only where a table holds -999: with the rest when the caller knows that one does
// (`library`, the method), otherwise on first need (a table computed from the data holds -999
// only by an exact coincidence).
struct CongruenceWork {
    int n = 0, maxCols = 0;
    double* cross = nullptr;   // pA x pB, row-major
    double* square = nullptr;  // the scaled cross product whose singular values are summed
    SingularValueWork svd;
    CongruenceWork(int n_, int maxCols_, int library = 0);
    ~CongruenceWork();
    CongruenceWork(const CongruenceWork&) = delete;
    CongruenceWork& operator=(const CongruenceWork&) = delete;
    // The library's work space of the method (2 Procrustes, 3 RV), in double and in single
    // precision, made now if it was not.
    ComparisonWorkspace<double>& Library(int method);
    ComparisonWorkspace<float>& LibraryF(int method);

private:
    std::unique_ptr<ComparisonWorkspace<double>> library_;
    std::unique_ptr<ComparisonWorkspace<float>> libraryF_;
};

// Procrustes (2) or RV (3) congruence of two prepared configurations; 0 for another method, and
// 0 when either has no variation (the data do not define it: see Flat).
// RV = ||A'B||^2 / (||A'A|| ||B'B||), the n x n form's sums through the pA x pB cross products
// (sum S.T = tr(AA'BB') = ||A'B||^2); Procrustes = the sum of the singular values of A'B over
// the square root of the two sums of squares, from LAPACK's divide-and-conquer decomposition
// on the smaller order, at most n - 1 of them (the rank of centred configurations). Tables with
// -999 go through RVcoeff / ProcrustesCoeff.
double Compare(const Config& A, const Config& B, int method, CongruenceWork& w);
// Whether a comparison of A and B is one of a table without variation.
inline bool Flat(const Config& A, const Config& B) { return !A.variance || !B.variance; }
// Sum of the singular values of an n x n matrix given by columns (col[j * n + i]) by one-sided
// Jacobi; the columns are overwritten. The reference form of the decomposition Compare uses.
double NuclearNorm(int n, double* col);

// The principal components of stacked covariate columns (centred and normalised, so those of
// their correlation matrix), kept as orthonormal centred score vectors: the space that
// PCA_Regression_ResidualsSelect regresses on, at most (n - 2) / f components.
struct Components {
    int n = 0, maxCols = 0;
    int m = 0;        // covariate columns entered by the last Compute
    int kept = 0;     // orthonormal score vectors in Q
    double* V = nullptr;  // maxCols x n: standardised covariate columns, row-major
    double* Q = nullptr;  // maxCols x n: orthonormal scores, row-major
    double* C = nullptr;  // m x m: their correlations, then LAPACK's eigenvectors
    double* E = nullptr;  // the eigenvectors of the used axes, one per row
    SymmetricEigenWork eigen;
    Components(int n_, int maxCols_);
    ~Components();
    Components(const Components&) = delete;
    Components& operator=(const Components&) = delete;
    // Returns false (nothing to partial out) without any entering column or when the columns
    // outnumber the buffers.
    bool Compute(const MatrixCovariate* cov, int nCov, double overfitFactor);
    // out = the residuals of the configuration in on the scores, prepared (Finish): they vary
    // when a column of in varies and keeps more than rounding of its centred sum of squares.
    void Residuals(const Config& in, Config& out) const;
};

// Procrustes (2) or RV (3) congruence of two configurations of the same n objects, on the
// library's work space; 0 for any other method. The float form serves the single-precision
// configurations of ro(BF).
double Congruence(int n, int pA, int pB, double** A, double** B, int method, ComparisonWorkspace<double>& ws);
double Congruence(int n, int pA, int pB, float** A, float** B, int method, ComparisonWorkspace<float>& ws);

// PartialMatrixCorrelation on the given buffers (nothing allocated): the covariates cov[0..nCov-1]
// stacked into w.C, A and B replaced by their residuals on its principal components. 0, with
// *flat (when given) true, when a residual keeps no variation of its table
// (PCA_Regression_ResidualsSelect returns 0).
double PartialCongruence(PartialWork& w, int n, int pA, int pB, double** A, double** B, int method,
                         double overfitFactor, const MatrixCovariate* cov, int nCov, bool* flat = nullptr);

// Euclidean distances among the n rows of x (cols values each, no -999), written as the upper
// triangle in row order: out[0] = d(0, 1), out[1] = d(0, 2), ... Each distance is the square
// root of the squared differences added in column order, as the library's distance does, so
// the numbers are the same; four pairs are formed side by side for speed.
void EuclideanUpper(int n, int cols, double** x, double* out);
// The same distances from the cross products of the centred rows, through the BLAS:
// d(i, j)^2 = g_ii + g_jj - 2 g_ij, a negative rounding taken as 0. For tables of many columns;
// equal to the loop's to rounding. Work: means cols values, centred n x cols, gram n x n.
void EuclideanUpperGram(int n, int cols, double** x, double* means, double* centred, double* gram, double* out);

}  // namespace permtest

#endif
