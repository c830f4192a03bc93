// Beals smoothing and conditional probabilities.
#ifndef TNX_QWLIBRESBEALS_H
#define TNX_QWLIBRESBEALS_H

// ===========================================================================================
// Beals smoothing and conditional probabilities (qwlibResBeals.cpp)
// ===========================================================================================
//
// Community tables hold samples in rows and species in columns. X gives the abundances used as
// weights, Y the table from which co-occurrences are counted (often the same table). R is X
// with each row divided by the sum of its present values. M (p x p) holds the conditional
// value of species k given species j in M[j][k].
//
// Co-occurrence type: 0 joint presences (both values > 0); 1 abundance of j in the samples
// where k is present; 2 cross products Y_ij Y_ik (left undivided); any other type leaves M at 0
// before the diagonal and scaling steps. rowUnitSum scales each row of M to unit sum; in the
// 8-argument smoothing it also turns each conditional value m into the odds m / (1 - m).
//
// Missing values (-999) enter no sum: a pair of species is counted over the samples where both
// are present, and a smoothed cell of a sample sums over the species present in that sample;
// a cell whose own abundance is missing stays -999 in the output.

// M[j][k] for every ordered pair (diagonal included): type 0 the samples holding both divided
// by the samples holding j; type 1 the abundance of j in the samples holding k divided by the
// total positive abundance of j; type 2 the cross product. Types other than 2 get a diagonal of
// 1 (a row whose diagonal sum is 0 is not divided). Then, with rowUnitSum, rows to unit sum.
// The 4-argument form is type 1 without the row scaling. The float forms work in single
// precision.
void ConditionalProb(int n, int p, float** Y, float** M);
void ConditionalProb(int n, int p, double** Y, double** M);
void ConditionalProb(int n, int p, float** Y, float** M, int type, bool rowUnitSum);
void ConditionalProb(int n, int p, double** Y, double** M, int type, bool rowUnitSum);
// Target form: recomputes only row t, column t and the diagonal of the given M from Y (the
// other cells are kept), then, with rowUnitSum, scales every row to unit sum. Without rowUnitSum
// this equals the full matrix of Y when M was that of a table differing from Y only in column t.
// t outside 0 .. p-1 changes nothing.
void ConditionalProb(int t, int n, int p, double** Y, double** M, int type, bool rowUnitSum);

// Beals smoothing of the n x p table into out (n x p, caller-owned), M from Y by type 1 (6
// arguments) or by `type` (8 arguments). With useOwnValue, out = R x M (the species' own
// relative abundance enters with weight M[j][j] = 1). Without it,
// out[i][j] = sum over the other species k of R_ik g(M[k][j]) / (1 - R_ij), g(m) = m, or
// m / (1 - m) in the 8-argument form with rowUnitSum: the R-weighted mean of the conditional
// values of j over the other species of the sample; a sample holding only j (R_ij = 1) gets 0.
// The float forms work in single precision.
void BealsSmoothing(int n, int p, float** X, float** Y, float** out, bool useOwnValue);
void BealsSmoothing(int n, int p, double** X, double** Y, double** out, bool useOwnValue);
void BealsSmoothing(int n, int p, float** X, float** Y, float** out, bool useOwnValue, int type,
                    bool rowUnitSum);
void BealsSmoothing(int n, int p, double** X, double** Y, double** out, bool useOwnValue,
                    int type, bool rowUnitSum);

// General form. W = ConditionalProb(Y, type, rowUnitSum); when M is not null it receives W as
// built (diagonal 1). Unless noCorrection, W's diagonal is set to 0 (and its rows scaled to unit
// sum again with rowUnitSum) and every output cell is divided by 1 - R_ij (0 where R_ij = 1);
// out = R x W. With target set, out holds the smoothing of a table that differs from Y only in
// column t, and M the matrix that smoothing was built with (M is read, not changed): row and
// column t of the conditional matrix are recomputed from Y (the whole matrix with rowUnitSum,
// whose scaling mixes every cell of a row) and out is formed again, since the relative
// abundances of every sample whose value of t changed change too; the result equals the full
// smoothing of X and Y.
void BealsSmoothing(int n, int p, double** X, double** Y, double** out, bool target, int t,
                    double** M, bool noCorrection, int type, bool rowUnitSum);

// Permutation test of the smoothing, species by species: the observed statistic of species j
// is compared with N - 1 statistics after its column is permuted among the samples of the
// species' mask; P[j] = (1 + the number of permuted statistics at least as large, within one
// single-precision step) / N. Draws from the program's random generator.
// Double form: statistic r[j] = correlation of column j of X with its smoothed values over the
// samples where X_ij is present and the uncorrected smoothing is not 0.
// Float form: statistic = mean smoothed value (without the own value) over the samples where
// X_ij > 0 minus the mean over the samples where X_ij is present and not above 0 (0 when either
// group is empty); mask: X_ij present and the own-value smoothing > 0. Each permutation smooths
// the whole permuted table again.
void BealsTest(int n, int p, int N, float** X, double* statistic, double* P);
void BealsTest(int n, int p, int N, double** X, double* r, double* P, int type, bool rowUnitSum);

#endif
