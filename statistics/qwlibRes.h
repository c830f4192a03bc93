// Coefficient library: stateless numerical kernels over data tables held as row-pointer
// matrices (rows allocated separately, 0-based indices).
//
// Conventions followed by every kernel of this library
// -----------------------------------------------------
// * Element types. One name stands for several overloads that differ only in element
//   types: (float data, float result), (float data, double result), (double data, double
//   result). A float value that is squared or multiplied is formed in single precision and
//   then added to a double sum, unless the routine's comment says otherwise. Scalar
//   routines on float data return double when they accumulate in double, and float where
//   the comment says "single precision".
// * Missing value. The value -999 (float or double) marks a missing cell. A value is present
//   unless it compares equal to -999 (a NaN therefore counts as present). `IsMissing` is the
//   one test the library uses.
// * "MV" in a name: the routine skips missing values. A product, difference or sum term
//   that involves a missing value is left out; a transformed cell whose input is missing is
//   written as -999 (or left untouched where the comment says so).
// * "Adj" whole-matrix transformations take (n, p, out, in): the output comes first. Every
//   other routine, the vector and rank transformations included, takes its input first.
//   Input and output may be the same matrix: a row, column or vector is read completely
//   before it is written.
// * "2Vec": two vectors of length n in, a scalar out. "Select": an extra int mask.
//   "Neighbours" (int w): only the pairs (i, i + w). "Partial": one result per variable.
// * Resemblance and product results fill the upper triangle (row <= column) of a square
//   matrix owned by the caller and never touch the other half, unless stated.
// * Zero divisors: a normalising length, a sum, a maximum, a range or a (count - 1) that is
//   0 is replaced by 1.0, so that the cells keep their value. Means over zero present values
//   are not guarded (0/0 gives NaN).
// * Running minima start at the largest value of the type, running maxima at the lowest.
// * Centring is exact for constant data: the mean of values that are all equal is that
//   value, so a constant row or column centres to exact zeros (and correlates 0).
// * No routine checks its arguments (sizes are the caller's contract), keeps state, reads or
//   writes a global, prints, or raises an error code. Work arrays are allocated and
//   released inside each call.
#ifndef TNX_QWLIBRES_H
#define TNX_QWLIBRES_H

// ===========================================================================================
// Missing values
// ===========================================================================================

constexpr double MissingValue = -999.0;

inline bool IsMissing(double x) { return x == -999.0; }
inline bool IsMissing(float x) { return x == -999.0f; }
inline bool IsPresent(double x) { return !(x == -999.0); }
inline bool IsPresent(float x) { return !(x == -999.0f); }

// ===========================================================================================
// Descriptive statistics (qwlibResStats.cpp)
// ===========================================================================================

// Column (row) means of an n x p table, divisor n (p); no missing-value test. The float
// form sums in double.
void MeanVectorCols(int n, int p, float** m, float* out);
void MeanVectorCols(int n, int p, double** m, double* out);
void MeanVectorRows(int n, int p, float** m, float* out);
void MeanVectorRows(int n, int p, double** m, double* out);

// Mean of a vector, divisor n; the float form sums in single precision. n < 1 gives NaN.
float Mean(int n, float* v);
double Mean(int n, double* v);

// Sum of the squares of the present values; 0 for n < 1.
double SumOfSquares(int n, float* v);
double SumOfSquares(int n, double* v);

// Sum of squared deviations of the k present values: sum(x^2) - (sum x)^2 / k.
// k = 0 gives NaN.
double SumOfSquaresDev(int n, float* v);
double SumOfSquaresDev(int n, double* v);

// Sample variance (divisor k - 1) of the k present values; k = 1 gives NaN. The float form
// accumulates and returns in single precision.
float Variance(int n, float* v);
double Variance(int n, double* v);

// Sum of the variances of the rows (columns); 0 when there is no row (column).
double MatrixVarianceRows(int n, int p, float** m);
double MatrixVarianceRows(int n, int p, double** m);
double MatrixVarianceCols(int n, int p, float** m);
double MatrixVarianceCols(int n, int p, double** m);

// Divides every present cell, in place, by sqrt(T), T = sum over the rows (columns) of the
// row's (column's) sum of squares divided by p - 1 (n - 1). The table is not centred here.
// T = 0 is replaced by 1.0. A T outside 2^-60 .. 2^60 (squares that may have left the element
// type) is formed again after the table is brought to unit magnitude by a power of two, so that
// the standardised cells are the same at any scale.
void GowerStandardizationRows(int n, int p, float** m);
void GowerStandardizationRows(int n, int p, double** m);
void GowerStandardizationCols(int n, int p, float** m);
void GowerStandardizationCols(int n, int p, double** m);

// Mean and standard deviation (divisor n - 1), no missing-value test. The all-float form
// works in single precision; float data with double results squares in single precision
// and sums in double. A sum of squared deviations that rounding makes negative is taken as 0.
void MeanStDev(int n, float* v, float* mean, float* sd);
void MeanStDev(int n, float* v, double* mean, double* sd);
void MeanStDev(int n, double* v, double* mean, double* sd);

// The same over the k values greater than 0; sd = 0 for k = 1; mean = sd = 0 for k = 0.
void MeanStDev_NonZero(int n, float* v, double* mean, double* sd);

// k-th central moment: sum((x - mean)^k) / n; no missing-value test.
double Moment(int n, float* v, int k);
double Moment(int n, double* v, int k);

// Maximum minus minimum of the n values; 0 for n < 1.
double Range(int n, double* v);

// Largest cell of the table, never below 0 (0 for an empty table or one of negative values).
double MatrixMax(int n, int p, double** m);

// ===========================================================================================
// Cross products (rows are the objects, sums over the p columns; qwlibResStats.cpp)
// ===========================================================================================

// out[i][j] = sum_k x_ik x_jk for j >= i. float -> float sums in single precision.
void CrossProduct(int n, int p, float** in, float** out);
void CrossProduct(int n, int p, float** in, double** out);

// The same over the columns where both values are present. The double form scans the
// table once and runs the test-free loop when it holds no missing value.
void CrossProductMV(int n, int p, float** in, float** out);
void CrossProductMV(int n, int p, float** in, double** out);
void CrossProductMV(int n, int p, double** in, double** out);

// As CrossProductMV (single-precision sums), computed and written only for the cells
// (i, j), j >= i, whose mask entry for row j is nonzero.
void CrossProductMVSelect(int n, int p, float** in, float** out, int* mask);

// out[i][j][k] = x_ik x_jk for j >= i and every column k where both are present; other
// entries are not written.
void CrossProductMVPartial(int n, int p, float** in, float*** out);

// out[i][j] (j >= i) = single-precision sum of in[i][j][k] over the variables k whose mask
// entry is 1 and whose value is present.
void CrossProductMVSum(int n, int p, float*** in, float** out, int* mask);

// out[i][i + w] = sum_k x_ik x_(i+w)k for i = 0 .. n - w - 1, and out[i][i] = sum_k x_ik^2
// for every row i; float products summed in double.
void CrossProductNeighbours(int n, int p, float** in, double** out, int w);

// sum a_k b_k (over the entries where both are present for MV); 0 for n < 1.
double CrossProduct2Vec(int n, float* a, float* b);
double CrossProduct2Vec(int n, double* a, double* b);
double CrossProduct2VecMV(int n, float* a, float* b);
double CrossProduct2VecMV(int n, double* a, double* b);

// Cross product of the two centred vectors; both forms centre in single precision and sum
// in double.
float CenteredCrossProduct2Vec(int n, float* a, float* b);
double CenteredCrossProduct2Vec(int n, double* a, double* b);

// ===========================================================================================
// Covariance and correlation (rows are the variables, columns the observations;
// qwlibResStats.cpp)
// ===========================================================================================

// out[i][j] = sum_k (x_ik - m_i)(x_jk - m_j) / (p - 1) for j >= i; no missing-value test.
// float -> float works in single precision; only the double form also fills the lower half.
void Covariance(int n, int p, float** in, float** out);
void Covariance(int n, int p, float** in, double** out);
void Covariance(int n, int p, double** in, double** out);

// Covariances over the positions where both values are present (upper triangle).
void CovarianceMV(int n, int p, double** in, double** out);
// Covariance of two vectors over the c positions where both are present, divisor c - 1
// (1.0 when c = 1); 0 for n < 1.
double Covariance2VecMV(int n, double* a, double* b);

// Pearson correlations among the rows over the positions where both values are present
// (upper triangle with diagonal). A constant row correlates 0 with every row, itself
// included.
void CorrelationMV(int n, int p, double** in, double** out);

// Pearson r over the positions where both values are present; 0 when either vector is
// constant there or n < 1. The float form sums in double.
double Correlation2VecMV(int n, float* a, float* b);
double Correlation2VecMV(int n, double* a, double* b);
// The same over the positions whose mask entry equals 1.
double Correlation2VecSelectMV(int n, double* a, double* b, int* mask);
// Pearson r of two complete vectors, both forms in single precision.
float Correlation2Vec(int n, float* a, float* b);
double Correlation2Vec(int n, double* a, double* b);

// Correlations from a cross-product or covariance matrix C: for i < j,
// C[i][j] / sqrt(C[i][i] C[j][j]) when both diagonal cells are > 0, else 0; clamped to
// [-1, 1]; the diagonal of the result is 1.
void Correlation(int n, float** C, float** R);
void Correlation(int n, double** C, double** R);
// The same for the pairs (i, i + w) only, then the whole diagonal 1.
void CorrelationNeighbours(int n, double** C, double** R, int w);

// Correlations between the nA first rows and the nB following rows of `in`, over the
// columns where both values are present: out[j][i] for i < nA, j < nB (nB rows by nA
// columns). Both forms work in single precision.
void CorrelationPartition(int nA, int nB, int p, float** in, float** out);
void CorrelationPartition(int nA, int nB, int p, double** in, double** out);

// Every correlation result of the library lies in [-1, 1].

// ===========================================================================================
// Centring and normalising (qwlibResStats.cpp). Sums run along the row for "Rows", down the
// column for "Cols". Input first, output second; they may be the same table.
// ===========================================================================================

// Each value minus the mean of its row (column, vector); no missing-value test. Float forms
// take the mean in double; float -> double rounds each result to single precision.
void CenterRows(int n, int p, float** in, float** out);
void CenterRows(int n, int p, double** in, double** out);
void CenterCols(int n, int p, float** in, float** out);
void CenterCols(int n, int p, double** in, double** out);
void CenterCols(int n, int p, float** in, double** out);
void CenterVector(int n, float* in, float* out);
void CenterVector(int n, double* in, double* out);

// Each present value minus the mean of the present values; missing cells copied (-999).
void CenterRowsMV(int n, int p, float** in, float** out);
void CenterRowsMV(int n, int p, double** in, double** out);
void CenterColsMV(int n, int p, float** in, float** out);
void CenterColsMV(int n, int p, double** in, double** out);
void CenterColsMV(int n, int p, float** in, double** out);

// Present x -> (x - mean) / sqrt(c - 1), c the number of present values of the row
// (column), sqrt(c - 1) = 0 replaced by 1.0; missing cells written as -999. Cross products
// of the result are covariances. The float row form and both column forms take the root in
// single precision.
void CenterRowsCovMV(int n, int p, float** in, float** out);
void CenterRowsCovMV(int n, int p, double** in, double** out);
void CenterColsCovMV(int n, int p, float** in, float** out);
void CenterColsCovMV(int n, int p, double** in, double** out);

// Each value divided by sqrt(sum x^2), 1.0 when that sum is not > 0 (a zero row stays 0).
void NormalizeRows(int n, int p, float** in, float** out);
void NormalizeRows(int n, int p, double** in, double** out);
void NormalizeCols(int n, int p, float** in, float** out);
void NormalizeCols(int n, int p, double** in, double** out);
void NormalizeVector(int n, float* in, float* out);
void NormalizeVector(int n, double* in, double* out);
// The same with the sum over the present values; missing cells written as -999.
void NormalizeRowsMV(int n, int p, float** in, float** out);
void NormalizeRowsMV(int n, int p, double** in, double** out);
void NormalizeColsMV(int n, int p, float** in, float** out);
void NormalizeColsMV(int n, int p, double** in, double** out);

// ===========================================================================================
// Data transformations (qwlibResTransform.cpp)
// ===========================================================================================

// Rows to unit length (1.0 for a zero row); no missing-value test. The double form rounds
// each result to single precision.
void UnitLengthAdj(int n, int p, float** out, float** in);
void UnitLengthAdj(int n, int p, double** out, double** in);

// Rows (columns) to z-scores: centred on the mean of the present values, then divided by
// d = sqrt(SS / p) (sqrt(SS / n) for columns), where SS sums the squared centred present
// values and p (n) counts every cell, missing ones included; d = 1.0 when SS = 0. Missing
// cells copied. The float forms square in single precision and sum in double.
void ZStandardizationRowsMV(int n, int p, double** in, double** out);
void ZStandardizationRowsMV(int n, int p, float** in, float** out);
void ZStandardizationColsMV(int n, int p, double** in, double** out);
void ZStandardizationColsMV(int n, int p, float** in, float** out);
// With given means and standard deviations per row (column): present x -> (x - mean) / sd;
// missing cells not written.
void ZStandardizationRowsMV(int n, int p, double* mean, double* sd, double** in, double** out);
void ZStandardizationRowsMV(int n, int p, float* mean, float* sd, float** in, float** out);
void ZStandardizationColsMV(int n, int p, double* mean, double* sd, double** in, double** out);
void ZStandardizationColsMV(int n, int p, float* mean, float* sd, float** in, float** out);

// Columns centred on the mean of their present values and divided by the root of their
// sum of squares (1.0 when 0); missing cells not written. Cross products of two columns
// are then their correlation. The double form rounds each result to single precision.
void CorrAdj(int n, int p, float** out, float** in);
void CorrAdj(int n, int p, double** out, double** in);

// Rows (columns) divided by their sum (1.0 when 0). The float forms sum in double.
void UnitSumRowsAdj(int n, int p, float** out, float** in);
void UnitSumRowsAdj(int n, int p, double** out, double** in);
void UnitSumColsAdj(int n, int p, float** out, float** in);
void UnitSumColsAdj(int n, int p, double** out, double** in);
// Present x / sum of the row's present values; missing cells copied. The float forms sum
// and divide in single precision (float -> double stores the single-precision quotient).
void UnitSumRowsAdjMV(int n, int p, float** out, float** in);
void UnitSumRowsAdjMV(int n, int p, double** out, float** in);
void UnitSumRowsAdjMV(int n, int p, double** out, double** in);
// Per column; the float form sums in double. Missing cells written as -999.
void UnitSumColsAdjMV(int n, int p, float** out, float** in);
void UnitSumColsAdjMV(int n, int p, double** out, double** in);
// One vector to unit sum (float form in single precision); missing cells copied.
void UnitSumVectorAdjMV(int n, float* in, float* out);
void UnitSumVectorAdjMV(int n, double* in, double* out);

// Present x -> sqrt(x / sum of the present values of its row (column)); missing cells
// written as -999. The float row form sums in single precision; the float column form sums
// in double and takes the root in single precision.
void HellingerRowsAdjMV(int n, int p, float** out, float** in);
void HellingerRowsAdjMV(int n, int p, double** out, double** in);
void HellingerColsAdjMV(int n, int p, float** out, float** in);
void HellingerColsAdjMV(int n, int p, double** out, double** in);

// Present x -> x / max of the present values (1.0 when the maximum is 0); missing copied.
void MaxAdjMV(int n, float* in, float* out);
void MaxAdjMV(int n, double* in, double* out);

// x -> (x - min) / (max - min) per row (column); a range of 0 is replaced by 1.0.
void RangeRowsAdj(int n, int p, float** out, float** in);
void RangeColsAdj(int n, int p, float** out, float** in);
// Rows: present x -> x / (max - min) over the present values (the minimum is NOT
// subtracted); missing cells copied.
void RangeRowsAdjMV(int n, int p, float** out, float** in);
void RangeRowsAdjMV(int n, int p, double** out, double** in);
// Columns: present x -> (x - min) / (max - min); missing cells written as -999.
void RangeColsAdjMV(int n, int p, float** out, float** in);
void RangeColsAdjMV(int n, int p, double** out, double** in);

// Standardised deviations from independence of a contingency table:
// (x T - r_i c_j) / (sqrt(r_i c_j) T), r, c and T the row, column and grand totals.
// The plain form sums in single precision and has no guard (a zero total gives non-finite
// cells). The MV form uses the present values, keeps x when r_i or c_j is not > 0, and
// writes missing cells as -999.
void DeviationsExpectations(int n, int p, float** in, float** out);
void DeviationsExpectationsMV(int n, int p, float** in, float** out);
void DeviationsExpectationsMV(int n, int p, double** in, double** out);

// ===========================================================================================
// Orderings and ranks (qwlibResTransform.cpp)
// ===========================================================================================

// Ordering permutation: out[k] = 1-based position of the (k+1)-th smallest value.
// IndexVector goes through the index table, RankVector through the sort with a companion
// array (equal values in the order that sort leaves them). RankVectorAbs orders by absolute
// value.
void IndexVector(int n, int* in, int* out);
void RankVector(int n, int* in, int* out);
void RankVector(int n, float* in, float* out);
void RankVector(int n, double* in, double* out);
void RankVectorAbs(int n, double* in, double* out);
// The same on a work space of 2n + 2 values allocated by the caller: nothing is allocated, for
// loops that order a vector many times.
void RankVector(int n, double* in, double* out, double* work);
void RankVectorAbs(int n, double* in, double* out, double* work);

// 1-based ranks in input order, tied values given their mean rank.
void RankVectorAdj(int n, float* in, float* out);
void RankVectorAdj(int n, double* in, double* out);
// Ranks 1 .. n - m of the present values (m missing), ties averaged; missing cells -999.
void RankVectorAdjMV(int n, float* in, float* out);
void RankVectorAdjMV(int n, double* in, double* out);
// Ranks by counting: c = number of values <= x; (2c + 1 - t) / 2 for t values sharing c.
void RankVectorDAdj(int n, double* in, double* out);
// Ranks within each row of an n x p table.
void RankRowsAdj(int n, int p, float** in, float** out);
void RankRowsAdj(int n, int p, double** in, double** out);
void RankRowsDAdj(int n, int p, double** in, double** out);
// Ranks of the n(n-1)/2 cells above the diagonal of a square matrix, taken together
// (ties averaged), written into the same cells of `out`; the rest is not written.
void RankReseAdj(int n, float** in, float** out);
void RankReseAdj(int n, double** in, double** out);

// Spearman rank correlation 1 - 6D / (n^3 - n), D the sum of squared differences of the
// ranks (ties averaged); n^3 - n formed in single precision; 0 for n < 2. The float form
// returns a float, 6D rounded to single precision.
float Spearman2Vec(int n, float* a, float* b);
double Spearman2Vec(int n, double* a, double* b);

// The families of the library, one header each.
#include "statistics/qwlibResDistance.h"
#include "statistics/qwlibResGower.h"
#include "statistics/qwlibResBinary.h"
#include "statistics/qwlibResCompare.h"
#include "statistics/qwlibResRao.h"
#include "statistics/qwlibResBeals.h"
#include "statistics/qwlibResEntropy.h"
#include "statistics/qwlibResInfo.h"

#endif
