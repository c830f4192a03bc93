// Sums of squares from distance matrices and the distance-based analysis of variance
// (qwlibSumSq.cpp).
//
// The sum of squares Q of a set of objects is the sum over its pairs i < j of the squared
// distance, divided by the number of objects in the set; for Euclidean distances it is the
// sum of squared deviations from the set's centroid. A distance matrix D (n x n) is read in
// its upper triangle (row < column) unless said otherwise. With `squared` set D already holds
// squared distances; otherwise each distance is squared (in the precision of D) before use.
// Int masks: exactly 1 marks a member. Bool masks: true marks a member. A null include mask
// means every object. Contrast coefficients are indexed by label - 1 (labels 1..g).
#ifndef TNX_QWLIBSUMSQ_H
#define TNX_QWLIBSUMSQ_H

// ---------------------------------------------------------------- Q of a set

// Q of the included objects, summed in the precision of D; no member gives 0.
float WithinGrSqDissim(int n, float** D, int* include, bool squared);
double WithinGrSqDissim(int n, double** D, int* include, bool squared);
// The same summed in double (a float distance is squared in single precision, then widened).
double WithinGrSqDissim(int n, float** D, bool* include, bool squared);
double WithinGrSqDissim(int n, double** D, bool* include, bool squared);

// Q of all n objects (0 for n < 2).
float SumSqDissim(int n, float** D, bool squared);
double SumSqDissim(int n, double** D, bool squared);
// Q of all n objects summed in double.
double TotalSqDissim(int n, float** D, bool squared);

// ---------------------------------------------------------------- partitions and contrasts

// Between-group sum of squares of the partition groups among the included objects:
// Q of them all (into *Qt) less the Q of each group. The result is also left in *Qb.
float BetweenGrSqDissim(int n, float** D, int* groups, float* Qb, float* Qt, int* include,
                        bool squared);
double BetweenGrSqDissim(int n, double** D, int* groups, double* Qb, double* Qt, int* include,
                         bool squared);

// Sum of squares of a contrast: with Q0, Q+ and Q- the Q of the objects whose group
// coefficient is non-zero, positive and negative, the result is Q0 - Q+ - Q-.
float GrContrastSqDissim(int n, float** D, int* groups, int* coef, bool squared);
double GrContrastSqDissim(int n, double** D, int* groups, int* coef, bool squared);
// The same; *Qw receives the within part Q+ + Q-.
float GrContrastSS(int n, float** D, int* groups, int* coef, bool squared, float* Qw);
double GrContrastSS(int n, double** D, int* groups, int* coef, bool squared, double* Qw);
float GrContrastSS(int n, float** D, int* groups, float* coef, bool squared, float* Qw);
double GrContrastSS(int n, double** D, int* groups, float* coef, bool squared, double* Qw);
// From three ready masks: masks[0] the objects of non-zero coefficient, masks[1] the
// positive ones, masks[2] the negative ones; summed in double.
double GrContrastSS(int n, float** D, int** masks, bool squared, double* Qw);
double GrContrastSS(int n, double** D, int** masks, bool squared, double* Qw);
double GrContrastSS(int n, float** D, bool** masks, bool squared, double* Qw);
double GrContrastSS(int n, double** D, bool** masks, bool squared, double* Qw);

// Q (g x g): Q[a][a] = Q of group a (label a + 1); for a < b, Q[a][b] = the between-group sum
// of squares of the two groups alone. The lower triangle is not written.
void BetweenGrSSPairwise(int n, float** D, float** Q, int* groups, int g, bool squared);
void BetweenGrSSPairwise(int n, double** D, double** Q, int* groups, int g, bool squared);

// Partition and contrasts, summed in double, D always squared: *Qt = Q of all objects,
// *Qb = *Qt less the Q of each group k (objects whose label is groupLabels[k]). With
// doContrasts == 1 and nC >= 1, contrast c takes the coefficient coef[c][k] for the group of
// label groupLabels[k] (0 leaves the group out) and gives:
//   GroupSqDissimQW:  Qc[c][0] = Q0 - Q+ - Q-;
//   GroupSqDissimQW2: Qc[c][2] = Q+ + Q- (within), Qc[c][0] = Q0 - Qc[c][2] (between).
// Qc[c][1] is not written.
void GroupSqDissimQW(int n, float** D, int g, int* groups, int* groupLabels, double* Qb,
                     double* Qt, int nC, float** coef, double** Qc, int doContrasts);
void GroupSqDissimQW(int n, double** D, int g, int* groups, int* groupLabels, double* Qb,
                     double* Qt, int nC, float** coef, double** Qc, int doContrasts);
void GroupSqDissimQW2(int n, float** D, int g, int* groups, int* groupLabels, double* Qb,
                      double* Qt, int nC, float** coef, double** Qc, int doContrasts);
void GroupSqDissimQW2(int n, double** D, int g, int* groups, int* groupLabels, double* Qb,
                      double* Qt, int nC, float** coef, double** Qc, int doContrasts);
// As GroupSqDissimQW2 from ready masks: masks[k] marks group k, contrastMasks[c][0..2] the
// three masks of contrast c; honours squared.
void GroupSqDissimQW3(int n, float** D, bool squared, int g, int** masks, int*** contrastMasks,
                      double* Qb, double* Qt, int nC, double** Qc, bool doContrasts);
void GroupSqDissimQW3(int n, double** D, bool squared, int g, int** masks, int*** contrastMasks,
                      double* Qb, double* Qt, int nC, double** Qc, bool doContrasts);
void GroupSqDissimQW3(int n, float** D, bool squared, int g, bool** masks, bool*** contrastMasks,
                      double* Qb, double* Qt, int nC, double** Qc, bool doContrasts);
void GroupSqDissimQW3(int n, double** D, bool squared, int g, bool** masks, bool*** contrastMasks,
                      double* Qb, double* Qt, int nC, double** Qc, bool doContrasts);

// ---------------------------------------------------------------- analysis of variance

// Multi-factor analysis of variance on distances. D holds squared distances (isDistance) or
// cross products (turned into squared distances). factors[f] labels the n objects by the
// levels of factor f; only the included objects (include null: all) take part.
//   Q[f][f]   between-level sum of squares of factor f; *Qt the total;
//   Qc[f][c]  sum of squares of contrast c of factor f (coefficients contrasts[f][c]
//             indexed by level label - 1), for c < nContrasts[f] (nContrasts may be null);
//   *Qcells   between-cell sum of squares (a cell: the objects sharing the levels of every
//             factor); *Qresid = *Qt - *Qcells;
//   Q[a][b]   (a < b) interaction of factors a and b: the between-cell sum of squares of
//             their two-factor cells less Q[a][a] and Q[b][b]. A value negative only by
//             rounding (|Q| <= 1e-6 Qt in float, 1e-12 Qt in double) is 0; a clearly negative
//             or undefined value is stored as the largest finite value of the type.
// *noReplicates: every cell holds one object. An interaction whose two-factor cells hold one
// object each cannot be told from the residual and is set to 0 (main effects are kept).
// *incomplete: some combination of levels has no object (and the cells are replicated).
void Manova(int n, float** D, int nF, int** factors, int* include, float* Qcells, float** Q,
            float* Qresid, float* Qt, int* nContrasts, int*** contrasts, float** Qc,
            bool isDistance, bool* noReplicates, bool* incomplete);
void Manova(int n, double** D, int nF, int** factors, int* include, double* Qcells, double** Q,
            double* Qresid, double* Qt, int* nContrasts, int*** contrasts, double** Qc,
            bool isDistance, bool* noReplicates, bool* incomplete);

// One permutation step of the test of Manova: runs Manova on D (the permuted data) and adds 1
// to a counter wherever the permuted statistic is at least the observed one: countCells for
// the between-cell sum of squares, countQ[f][f] for the main effects, countQ[a][b] for the
// interactions that can be estimated, countQc[f][c] for the contrasts. Returns the result of
// the permuted run's noReplicates.
bool ManovaTest(int n, float** D, int nF, int** factors, int* include, int* nContrasts,
                int*** contrasts, bool isDistance, float obsQcells, float** obsQ, float** obsQc,
                int* countCells, int** countQ, int** countQc);
bool ManovaTest(int n, double** D, int nF, int** factors, int* include, int* nContrasts,
                int*** contrasts, bool isDistance, double obsQcells, double** obsQ,
                double** obsQc, int* countCells, int** countQ, int** countQc);

// *count += 1 when *a >= *b.
void CompareLambda(float* a, float* b, int* count);
void CompareLambda(double* a, double* b, int* count);

// Residuals of a factorial model on the raw data (n x p). Object i is in level l of factor f
// when factors[f][i] == levels[f][l] (l < nLevels[f]). which[] names the factors (1-based):
//   order 1: x - mean of the level of factor which[0];
//   order 2: x - mean_a - mean_b + grand mean;
//   order 3: x - mean_a - mean_b - mean_c + grand mean.
// An object in none of the listed levels of a factor takes the grand mean for that term.
// Other orders write nothing.
void Residuals(int n, int p, int nF, int** factors, int* nLevels, int** levels, float** data,
               float** resid, int order, int* which);
void Residuals(int n, int p, int nF, int** factors, int* nLevels, int** levels, double** data,
               double** resid, int order, int* which);

// ---------------------------------------------------------------- group separation

// Mean distance over the pairs of included objects (include null: all) with different
// labels; NaN when there is no such pair.
float AverageDissim(int n, float** D, int* groups, int* include);
double AverageDissim(int n, double** D, int* groups, int* include);

// For every ordered pair of different groups (A, B) among the included objects and every
// object of A, the smallest distance to an object of B; the mean of these minima. NaN with
// fewer than two groups.
float NearNeighDist(int n, float** D, int* groups, int* include);
double NearNeighDist(int n, double** D, int* groups, int* include);

// Mean of the upper triangle (diagonal excluded); NaN for n < 2.
float AverageResemblance(int n, float** S);
double AverageResemblance(int n, double** S);

// C[a][b] (a < b, g x g, upper triangle only) = mean distance between the objects of group
// a (label a + 1) and those of group b; NaN when one of the two groups is empty.
void CentroidDist(int n, float** D, int* groups, int g, float** C);
void CentroidDist(int n, double** D, int* groups, int g, double** C);

// ---------------------------------------------------------------- nearest-neighbour sums

// Randomised greedy assignment: in each trial the objects, in a random order, take in turn
// the free column k of their full row of D with the smallest value (ties to the lower k);
// the trial's sum adds those values. Trials repeat until T consecutive ones bring no strict
// improvement, T = integer part of 100 log10(n!) (at most 4000); at least one trial runs.
// Returns the smallest sum (0 for n < 1).
float NearNeigSSq(int n, float** D);
double NearNeigSSq(int n, double** D);
// The same; out[i] receives the column object i took in the best trial.
float NearNeigSSqWhich(int n, float** D, int* out);
double NearNeigSSqWhich(int n, double** D, int* out);
// On an n x 2n matrix and 2n sizes s: the assignment among the columns n..2n-1 (object i
// takes column j + n), then the mean over i of (s[i] + s[j+n]) D[i][j+n] / (s[i] s[j+n]).
float NearNeigAvgCentroid(int n, float** D, int* s);
double NearNeigAvgCentroid(int n, double** D, int* s);

// Index of the first smallest value of x[0..n-1]; 0 for n <= 0.
int MinVectorWhich(int n, float* x);
int MinVectorWhich(int n, double* x);

#endif
