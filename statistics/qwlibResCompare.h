// Matrix comparison: configuration comparisons (RV coefficient, Procrustes coefficient and
// fit) of two object-by-variable tables of the same n objects, and resemblance-matrix
// comparisons (matrix correlation and its relatives) that read only the N = n(n-1)/2 cells
// i < j of square matrices (diagonal and lower triangle are never read).
//
// Inputs are never changed; scratch is allocated and freed in each call, except in the forms
// that take a ComparisonWorkspace. A -999 cell of a configuration is missing. The float
// overloads return float unless a line says double.
#ifndef TNX_QWLIBRESCOMPARE_H
#define TNX_QWLIBRESCOMPARE_H

// ---------------------------------------------------------------- configurations

// The spread of column k of X over its present cells (not -999), in double: its sum of squares
// about its mean, the largest absolute value and the number of cells.
struct ColumnSpread {
    double centred = 0.0;
    double magnitude = 0.0;
    int count = 0;
};
ColumnSpread SpreadOfColumn(int n, float** X, int k);
ColumnSpread SpreadOfColumn(int n, double** X, int k);
// Whether column k varies beyond the rounding its values carry (ColumnVaries): values held in
// single precision are taken as they are, so any difference among them is variation; double
// values may carry kDoubleRounding of the column's largest magnitude. Where the column sits
// plays no part: a constant added to it leaves the verdict as it was while its values stay
// exact in their precision.
bool ColumnHasVariation(int n, float** X, int k);
bool ColumnHasVariation(int n, double** X, int k);
// Whether a configuration has variation, the test RVcoeff and ProcrustesCoeff apply to each of
// theirs: any of its p columns has (ColumnHasVariation). A table whose centred values are
// rounding noise of its values does not.
bool ConfigurationHasVariation(int n, int p, float** X);
bool ConfigurationHasVariation(int n, int p, double** X);
// The sum over the p columns of X of their sums of squares about their means (present cells).
double CentredSumOfSquares(int n, int p, double** X);
// Whether the residuals R (n x p) of the table Y keep variation of it: some column of Y that
// varies (ColumnHasVariation) keeps in R's column more than rounding of its own centred sum of
// squares (HasVariation, column by column, present cells). A column that the covariates explain
// has none left, whatever the other columns' scale.
bool ResidualsKeepVariation(int n, int p, double** R, double** Y);

// RV coefficient of X (n x p1) and Y (n x p2): S = XcXc', T = YcYc' of the column-centred
// configurations (missing cells skipped), RV = sum S.T / sqrt(sum S^2 * sum T^2) over all
// n x n cells; 0 when either configuration has no variation (ConfigurationHasVariation). The
// float form squares and multiplies the float cells in single precision and sums in double. A
// centred configuration whose cross products lie far from 1 (beyond 2^-40 .. 2^40, where their
// squares could leave single precision) is first multiplied by the power of two that brings its
// largest magnitude into [0.5, 1), so that the coefficient is the same at any scale of either
// table.
double RVcoeff(int n, int p1, int p2, float** X, float** Y);
double RVcoeff(int n, int p1, int p2, double** X, double** Y);
// The same coefficient through traces of S'T, S'S and T'T, from the centred configurations
// brought to unit magnitude in the same way; 0 when either has no variation.
double RVcoeff_OLD(int n, int p1, int p2, float** X, float** Y);
double RVcoeff_OLD(int n, int p1, int p2, double** X, double** Y);

// Procrustes coefficient: both configurations column-centred and scaled to unit total
// variance, C = A'B / (n - 1) (A the narrower one) in a zero-filled square matrix of order
// max(p1, p2); the result is the sum of the singular values of C (at most n - 1 of them, the
// rank of centred configurations; without Z, from LAPACK's decomposition on the smaller order).
// The standardisation works at any scale (GowerStandardizationRows), so that the coefficient is
// the same at any scale of either table. 0 when the decomposition fails, either configuration has no variation
// (ConfigurationHasVariation) or C is not finite.
float ProcrustesCoeff(int n, int p1, int p2, float** X, float** Y);
double ProcrustesCoeff(int n, int p1, int p2, double** X, double** Y);
// The same with A = X and B = Y always; Z (n x max(p1, p2)) receives the standardised Y
// rotated onto X and multiplied by the coefficient.
float ProcrustesCoeff(int n, int p1, int p2, float** X, float** Y, float** Z);
double ProcrustesCoeff(int n, int p1, int p2, double** X, double** Y, double** Z);
// Configurations stored one row per axis: X p1 x n, Y p2 x n; Z is n x max(p1, p2).
double ProcrustesCoeff_T(int p1, int p2, int n, double** X, double** Y, double** Z);
// Fits Y onto X with ProcrustesAdj and forms the residual and total traces; returns 0.
float ProcrustesCoeff(int n, int p, float** X, float** Y);
// 2 (1 - sqrt(1 - R / Tot)), R the residual sum of squares of the Procrustes fit of Y onto X
// and Tot = tr(X'X) of the uncentred X.
double ProcrustesCoeff_OLD(int n, int p, double** X, double** Y);

// Procrustes fit of Y (n x p2) onto X (n x p1; p1 >= p2): rotation, dilation and translation.
// Yfit (n x p2) receives the fitted Y; ss (p2 values, or null) the residual sum of squares of
// each axis. No missing-value test. Returns 0.
int ProcrustesAdj(int n, int p1, int p2, float** X, float** Y, float** Yfit, float* ss);
int ProcrustesAdj(int n, int p1, int p2, double** X, double** Y, double** Yfit, double* ss);
// The same with a discarded fit: only ss reaches the caller.
int ProcrustesAdj(int n, int p1, int p2, float** X, float** Y, float* ss);
// Configurations stored one row per axis: X p1 x n, Y p2 x n, Yfit p2 x n.
int ProcrustesAdjT(int p1, int p2, int n, float** X, float** Y, float** Yfit, float* ss);
int ProcrustesAdjT(int p1, int p2, int n, double** X, double** Y, double** Yfit, double* ss);

// The coefficients a ComparisonWorkspace serves: the RV coefficient's blocks (four n-row ones, two
// of them n x n) and the Procrustes coefficient's (its cross product and decomposition) are each
// made only for their own.
enum class Coefficients { kNone, kRV, kProcrustes, kBoth };

// Work space of RVcoeff and ProcrustesCoeff for repeated calls on configurations of n objects
// with at most p1 and p2 columns (either order): a permutation loop allocates it once, and the
// forms that take it allocate nothing. A call on larger configurations than the work space
// was made for, or of a coefficient it was not made for, computes the coefficient with scratch
// of its own. A block the system refuses while the work space is made raises code 1, the blocks
// made before it freed.
template <class T>
class ComparisonWorkspace {
public:
    ComparisonWorkspace(int n, int p1, int p2, Coefficients serves = Coefficients::kBoth);
    ~ComparisonWorkspace();
    ComparisonWorkspace(const ComparisonWorkspace&) = delete;
    ComparisonWorkspace& operator=(const ComparisonWorkspace&) = delete;
    // True when configurations of n objects with p1 and p2 columns fit.
    bool Fits(int n, int p1, int p2) const;
    // True when the RV coefficient's (Procrustes coefficient's) blocks were made.
    bool ServesRV() const;
    bool ServesProcrustes() const;
    struct Buffers;
    Buffers* buffers() const { return b_; }

private:
    Buffers* b_;
};

// *flat (when given): true when the coefficient is 0 because X or Y has no variation, which the
// data then do not define.
double RVcoeff(int n, int p1, int p2, float** X, float** Y, ComparisonWorkspace<float>& ws, bool* flat = nullptr);
double RVcoeff(int n, int p1, int p2, double** X, double** Y, ComparisonWorkspace<double>& ws,
               bool* flat = nullptr);
float ProcrustesCoeff(int n, int p1, int p2, float** X, float** Y, ComparisonWorkspace<float>& ws,
                      bool* flat = nullptr);
double ProcrustesCoeff(int n, int p1, int p2, double** X, double** Y, ComparisonWorkspace<double>& ws,
                       bool* flat = nullptr);

// ---------------------------------------------------------------- resemblance matrices

// Matrix (Mantel) correlation over the cells i < j whose two values are both present;
// 0 for n < 2, no counted pair or a matrix whose counted cells have no variation (ColumnVaries
// of the counted cells as one column, judged in double by the rounding of the matrix's element
// type: a constant single-precision matrix gives exactly 0). The float form sums the correlation
// in single precision; float A with double B sums in double.
double MatrixCorr(int n, double** A, double** B);
float MatrixCorr(int n, float** A, float** B);
double MatrixCorr(int n, float** A, double** B);
// The same, *flat telling when the value is 0 for want of variation: n < 2, no counted pair, or
// the counted cells of A or of B without variation.
double MatrixCorr(int n, double** A, double** B, bool* flat);

// The relatives below take no missing-value test (-999 is a number to them).
// 1 - r^2, r = MatrixCorr.
float MatrixStress(int n, float** A, float** B);
double MatrixStress(int n, double** A, double** B);
// sqrt(sum (a - b)^2 / sum ((a + b) / 2)^2); -1 for n < 2 or a zero denominator.
float MatrixStressKruskal(int n, float** A, float** B);
double MatrixStressKruskal(int n, double** A, double** B);
// sum |a - b|; 0 for n < 2.
float MatrixAbsValDist(int n, float** A, float** B);
double MatrixAbsValDist(int n, double** A, double** B);
// sqrt(sum (a - b)^2); 0 for n < 2.
float MatrixEudDist(int n, float** A, float** B);
double MatrixEudDist(int n, double** A, double** B);
// Euclidean distance of the two cell vectors after each is scaled to unit length
// (single-precision vectors); 0 for n < 2.
float MatrixDist(int n, float** A, float** B);
double MatrixDist(int n, double** A, double** B);
// Covariance of the cells, divisor N - 1; 0 for n < 2 (and N = 1 gives 0).
float MatrixCov(int n, float** A, float** B);
double MatrixCov(int n, double** A, double** B);
// Correlation without the joint zeros (|a| and |b| both below 1e-6); 0 for n < 2 or a zero
// sum of squares.
float MatrixCorrAdj(int n, float** A, float** B);
double MatrixCorrAdj(int n, double** A, double** B);
// Over the pairs of MatrixCorrAdj: *ssA, *ssB = the sums of squares about the means; returns
// the sum of products. n < 2: all 0. Single-precision sums in both forms.
float MatrixProdMomentAdj(int n, float* ssA, float* ssB, float** A, float** B);
double MatrixProdMomentAdj(int n, double* ssA, double* ssB, double** A, double** B);
// Spearman correlation of the cells, 1 - 6D / (N^3 - N); 0 for n <= 2.
float MatrixRankCorr(int n, float** A, float** B);
double MatrixRankCorr(int n, double** A, double** B);
// sum ab / sqrt(sum a^2 sum b^2); 0 for n < 2 or a zero sum of squares.
float MatrixCos(int n, float** A, float** B);
double MatrixCos(int n, double** A, double** B);

// Correlation of A and B with C held constant, over the cells i < j; 0 for n < 2 and when
// the correlation of C with A or with B is +-1 (within 1e-6 for float, 1e-9 for double).
float PartialMatrixCorr(int n, float** A, float** B, float** C);
double PartialMatrixCorr(int n, double** A, double** B, double** C);

// ---------------------------------------------------------------- whole tables

// Sum of A_ij B_ij over all n x n cells; 0 for n < 1.
double vecProd(int n, float** A, float** B);
double vecProd(int n, double** A, double** B);
// 1 - sum (a - b)^2 / (2n) and 1 - sum |a - b| / (2n) over the n x p cells (n the number of
// rows); 1 for n < 1 (nothing differs).
double SQMatrixDeviations(int n, int p, float** A, float** B);
double SQMatrixDeviations(int n, int p, double** A, double** B);
double SumAbsMatrixDeviations(int n, int p, float** A, float** B);
double SumAbsMatrixDeviations(int n, int p, double** A, double** B);

#endif
