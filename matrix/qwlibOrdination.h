// Ordination engine (principal coordinates, principal components, correspondence scaling) and
// the conversions between kinds of resemblance matrix.
//
// Resemblance codes are those of the resemblance dispatcher (qwlibDispatch.h): 1 cross
// products, 2 absolute-value function, 3 Euclidean distance, 4 mutual information, 5 Gower,
// 6 MDIS, 7 mutual entropy, 8 coherence distance, 9 coherence, 10 chi-square, 11 Jaccard,
// 12 simple matching, 13 Sokal-Michener, 14 Ochiai, 15 Sorensen, 16 mean square contingency,
// 17 correlation, 18 chord distance, 19 Legendre-Chodorowski, 20 Bray-Curtis, 21 smaller
// eigenvalue of pairs, 22 covariance.
#ifndef TNX_QWLIBORDINATION_H
#define TNX_QWLIBORDINATION_H

// Ordination of the n x n resemblance rese (not changed). method 1: principal coordinates
// (data and p unused; the resemblance is first turned into squared distances by its code);
// 2: principal components; 3: correspondence-analysis scaling. For methods 2 and 3, data holds
// the n descriptors as rows and p objects as columns when orient is 1, the transpose (p x n)
// otherwise. vec (n x n) receives the unit eigenvectors as rows (method 3: rescaled to the
// row scores), eig (n) the eigenvalues in descending order, *nAxes the number of axes kept
// (100 e / sum of positive eigenvalues above 1e-4 in the float form, 1e-6 in the double form)
// and scores one row per kept axis (n entries for principal coordinates, p otherwise); -999
// cells of data are skipped. *ok is false when a noticeable negative eigenvalue is present.
// Returns 1.
int OrdinationLib(int n, int p, float** data, float** rese, float** vec, float** scores,
                  int* nAxes, float* eig, bool* ok, int method, int reseCode, int orient);
int OrdinationLib_D(int n, int p, double** data, double** rese, double** vec, double** scores,
                    int* nAxes, double* eig, bool* ok, int method, int reseCode, int orient);

// Work space of the double form of OrdinationLib_Scores (qwlibDispatch.h) for repeated calls on
// at most n descriptors and p objects: the engine's work matrices, the eigenvectors and
// eigenvalues and the eigen blocks. The form that takes it allocates nothing for principal
// components (method 2) and gives the same numbers; a larger call uses scratch of its own.
class EigenWorkspace;
class OrdinationWorkspace {
public:
    OrdinationWorkspace(int n, int p);
    ~OrdinationWorkspace();
    OrdinationWorkspace(const OrdinationWorkspace&) = delete;
    OrdinationWorkspace& operator=(const OrdinationWorkspace&) = delete;
    bool Fits(int n, int p) const;
    struct Buffers;
    Buffers* buffers() const { return b_; }

private:
    Buffers* b_;
};
int OrdinationLib_Scores(int n, int p, double** data, double** rese, double** scores, int method, int code,
                         int orient, OrdinationWorkspace& ws);

// Gower's centred matrix from distances (squared = true: D already holds squared distances):
// C[i][j] = -0.5 (d2_ij - m_i - m_j + g) on the upper triangle with the diagonal (the lower
// triangle of C is not written). C may be D.
void DissToCenterProdMatrix(int n, float** D, float** C, bool squared);
void DissToCenterProdMatrix(int n, double** D, double** C, bool squared);

// Squared distances from cross products: D[i][j] = S[i][i] + S[j][j] - 2 S[i][j] for i < j,
// D[i][i] = 0; only the upper triangle and diagonal of D are written. The float-to-double form
// computes in single precision.
void ProdToSqDist(int n, float** S, float** D);
void ProdToSqDist(int n, double** S, double** D);
void ProdToSqDist(int n, float** S, double** D);
// D = 2 (1 - R) off the diagonal, 0 on it, both triangles.
void CorrToSqDist(int n, float** R, float** D);
void CorrToSqDist(int n, double** R, double** D);
// D = 1 - P on the upper triangle and diagonal, mirrored.
void ProbToDissim(int n, float** P, float** D);
void ProbToDissim(int n, double** P, double** D);
// B = A^2 (SquareSqMatrix) or sqrt(A) (SquareRootSqMatrix) from the upper triangle and
// diagonal, mirrored. The output may be the input.
void SquareSqMatrix(int n, float** A, float** B);
void SquareSqMatrix(int n, double** A, double** B);
void SquareRootSqMatrix(int n, float** A, float** B);
void SquareRootSqMatrix(int n, double** A, double** B);

// Transforms data (n x p) in place: a scalar transformation (1 presence, 2 square root of the
// absolute value, 3 log10(x + 1) of positive values), then a column adjustment (1 unit sum,
// 2 centred / sqrt(k - 1), 3 centred, 4 unit length, 5 centred and unit length, 6 deviations
// from independence of the whole table, 7 range, 8 colClasses classes, 9 ranks, 10 Hellinger),
// then a row adjustment (the same codes; the float form adds 11 and 12, Beals smoothing of
// the table onto itself with useOwnValue = bealsOpt and conditional probabilities of type 1,
// or of type 2 with rows to unit sum). Codes out of range skip their step; -999 cells are
// kept. Returns 1.
int DataTransformationsLib(int n, int p, float** data, int scalar, int colAdj, int rowAdj,
                           int colClasses, int rowClasses, bool bealsOpt);
int DataTransformationsLib_D(int n, int p, double** data, int scalar, int colAdj, int rowAdj,
                             int colClasses, int rowClasses);

// Correlations of the first min(nScores, nAxes) ordination axes (rows of scores, p entries
// each) with nVar variables of data (variable k is data[k][*] when orient is not 0, data[*][k]
// when it is): R[variable][axis].
void ScoreCorrComp(int nScores, int p, float** scores, float** data, int nVar, int orient,
                   int nAxes, float** R);
void ScoreCorrComp(int nScores, int p, double** scores, double** data, int nVar, int orient,
                   int nAxes, double** R);

#endif
