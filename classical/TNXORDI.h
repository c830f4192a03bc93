// Ordination of communities: principal coordinates of the stored community resemblances (one
// ordination per level of the trait hierarchy) and of the environmental resemblance, the analysis
// of concentration of a table of type groups by community groups, their report blocks, the scores
// files they write and the one reader of the community scores file.
#ifndef TNXORDI_H
#define TNXORDI_H

#include <cstdio>
#include <string>
#include <vector>

// What a stored resemblance matrix holds, which decides how it becomes squared distances for
// principal coordinates or sums of squares, or whether it is clustered as similarities.
enum class StoredKind {
    Correlations,      // correlations (option 5): 2 (1 - r) gives squared distances
    CrossProducts,     // cross products (options 3, 4): s_ii + s_jj - 2 s_ij gives squared distances
    Distances,         // plain distances: squared cell by cell
    SquaredDistances   // squared distances already (squared Euclidean / N, 2 (1 - r)): used as they are
};

// The kind of the stored community resemblances of option `code` and resemblance type `type`
// (1 nominal, 2 partial, 3 probabilities of the nominal ones). The hierarchical analysis stores
// options 6, 7 and 10 squared; the non-hierarchical one (isHierarchical 0) stores plain
// distances; probabilities are plain distances whatever the option.
StoredKind StoredCommunityKind(int code, int type);
// The kind of the stored resemblances of the types of a level (option reseCstOpt).
StoredKind StoredTypeKind(int code);
// out (n x n, both triangles, zero diagonal) = squared distances from the stored matrix `in`
// (read in its upper triangle and diagonal); out may be in.
void ToSquaredDistances(int n, double** in, double** out, StoredKind kind);

// The label of trait t (0-based) in the hierarchy order nchor, or of trait t itself when nchor
// names no trait there.
const char* OrderedTraitLabel(int t);

// The labels of `types` types: their 1-based numbers or, with `species` (and the session's
// species map), the first four letters of each type's first species.
std::vector<std::string> TypeLabels(int types, bool species);

// Principal coordinates of the stored community resemblances rese (every level while
// isHierarchical is 1, else the first): the report section appended to whichPrinda and the
// scores file whichScores, each written whole. Each level's matrix in rese is replaced by its
// Gower-centred form. Sets hasVegOrdiCorrel; with correlations asked, reads whichHier.
void Ordination();
// The same for the environmental resemblance in rese[0]: report to whichEnvPrinda, scores and
// correlations with the environmental variables to whichEnvScores; sets hasEnvOrdiCorrel.
void OrdinationEnv();
// Analysis of concentration of level whichLevelGrCST of whichHier pooled by the current
// community partition (rows of the table) and type partition (columns): scores file
// whichAOCScor and the report section, each written whole; records the partitions used.
void ConcentrationAn();

// Eigen-analysis of the centred n x n matrix: eigenvectors as the rows of vectors, each scaled
// to length sqrt(eigenvalue) while the eigenvalue exceeds 1e-6; *nAxes = the number of such
// leading eigenvalues.
void q_pca(int n, double** centred, double** vectors, double* values, int* nAxes);

// Aligns the signs of the axes of levels 2..nlev on the level before: the axis of level l is
// negated when its scores lie closer to the negated scores of level l - 1 (sum of squared sums
// below the sum of squared differences over the ncsm communities); a tie keeps the sign.
void OptimalSign(double*** scores, int* nAxes);

// "\nScores of <what> on the first k components:\n" (k = the smaller of nAxes and
// maxComponents), the labels and one line "Axis %2d:\t" per axis, aligned on the widest score.
// scores[a][i]: the score of object i on axis a.
void PrintScores(FILE* f, int nAxes, int nObjects, double** scores, char** labels, const char* what);

// Correlations of the first k axes (k as above) with each descriptor (descriptors[i][d]: object
// i, descriptor d) over the objects, their table and, per axis, the 2 maxComponents descriptors
// of largest absolute correlation (the first listed of equals first). With store 1 the
// correlation of descriptor d with axis a goes to scores[a][nObjects + d].
void ScoreCorr(FILE* f, int nAxes, int nObjects, double** scores, float** descriptors, int nDescriptors,
               char** descriptorLabels, const char* what, int store);

// The community scores file (volumeName + whichScores): its first line holds the axis count of
// each level; then per level and axis the ncsm community scores, each followed, when
// hasVegOrdiCorrel is 1, by the stored correlations of the level's types (rcst[level], levels of
// the hierarchy only), which are passed over. Counts are checked before anything is allocated:
// more levels than nch + 1 (at least 1) or an axis count outside 0..ncsm is code 2, as is an
// unreadable value or an early end; a file that cannot be opened is code 4.
class OrdinationScores {
public:
    OrdinationScores();
    ~OrdinationScores();
    OrdinationScores(const OrdinationScores&) = delete;
    OrdinationScores& operator=(const OrdinationScores&) = delete;
    int Levels() const { return static_cast<int>(axes_.size()); }
    int Axes(int level) const { return axes_[level]; }
    // Level `level` (0-based) as ncsm rows (communities) by Axes(level) columns.
    double** Level(int level) const { return scores_[level]; }
    // The correlations stored after each axis of the level: Axes(level) rows by
    // StoredCorrelations(level) columns (a biplot places the types by them).
    double** Correlations(int level) const { return correlations_[level]; }

private:
    std::vector<int> axes_;
    std::vector<double**> scores_;
    std::vector<double**> correlations_;
    void Release();
};

// The number of stored correlations after each axis of level l (0-based) in the community scores
// file.
int StoredCorrelations(int level);

#endif
