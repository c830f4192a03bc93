// The hierarchical clustering engine and its fusion records.
#ifndef TNX_QWLIBCLUSTER_H
#define TNX_QWLIBCLUSTER_H

// ============================================================================================
// Hierarchical clustering engine (qwlibCluster.cpp)
// ============================================================================================
//
// Agglomeration of n objects: at each of the n - 1 steps the pair of current groups with the
// smallest distance (criterion) or the largest similarity is fused. The pair search runs over
// the pairs a < b row by row (a ascending, then b ascending) with a strict comparison, so of
// equal values the first pair in that order wins. After a fusion the second group leaves the
// working matrix and the later groups move up one index; the fused group keeps the index of the
// first (lower) group.
//
// Resemblance matrices are read from their upper triangle (row < column) only. A matrix
// holding a value that is not finite (NaN, infinity) is refused: the engine returns false and
// writes nothing. With n < 2 there is nothing to fuse: false, nothing written.

// One record per fusion step; records 0 .. n-2 in the order of the fusions. The caller
// allocates the n - 1 records zero-filled and gives each a member array of n ints (and, for
// HierFactorialClustering, eigenVector1 and eigenVector2 of 2 doubles and factorScores1 and
// factorScores2 of p doubles). A field that a method does not write keeps what it held.
struct clusterReport {
    double level;         // fusion level: the resemblance of the pair (linkage), the new group's
                          // within-group sum of squares per object (sums of squares), the
                          // smaller eigenvalue (hierarchical factorial)
    double criterion;     // sums of squares: the increase of the total within-group sum of
                          // squares; hierarchical factorial: the larger eigenvalue
    int nMembers;         // objects in the new group
    int* members;         // its 1-based object numbers: the first group's, then the second's;
                          // in the last record all n objects in dendrogram order
    int splitObject;      // the last member of the first group (split point of members)
    double branchFirst;   // sums of squares: level minus the first group's own level
    double branchSecond;  // sums of squares: level minus the second group's own level
    double* eigenVector1;   // hierarchical factorial: first eigenvector of the fused pair (2)
    double* factorScores1;  // its scores on the first eigenvector (p)
    double* eigenVector2;   // second eigenvector (2)
    double* factorScores2;  // scores on the second eigenvector (p)
};

// Linkage clustering. method 1 single, 2 complete, 4 UPGMA (group-size weighted average),
// 5 WPGMA (plain average of the two values); any other method fuses by the pair search but
// updates no value. Distances when isDistance (minimum searched), similarities otherwise
// (maximum). squared: the distances are squared; methods 1 and 2 then record the square root of
// the fusion value, methods 4 and 5 average the square-rooted distances. With copy the input is
// left as it was; without it the input matrix is the work space: its values and the order of
// its row pointers are changed (every row stays owned by the matrix, which is freed as before).
// Returns true when the n - 1 records are written.
bool LinkageCluster(int n, float** rese, clusterReport* rep, bool isDistance, bool squared,
                    int method, bool copy);
bool LinkageCluster(int n, double** rese, clusterReport* rep, bool isDistance, bool squared,
                    int method, bool copy);

// Resemblance between the fused group a+b and every other group of the m current groups (W
// upper triangle, value stored where W(k, a) was), then compaction: row b moves to the end,
// column b leaves every row, size[a] = size[a] + size[b] and the sizes after b move up.
void LinkageFusion(int m, int* size, int a, int b, float** W, bool isDistance, int method);
void LinkageFusion(int m, int* size, int a, int b, double** W, bool isDistance, int method);

// Sum-of-squares (Ward) clustering of distances D (squared when `squared`). Each step fuses the
// pair with the least increase of the total within-group sum of squares
// crit = d2(a, b) size_a size_b / (size_a + size_b), d2 the squared distance of the centroids.
// level = the new group's sum of squared distances over its pairs divided by its size;
// criterion = crit (half the squared height of Ward's D2 method); the branch lengths are
// level minus each group's own level. D is not changed.
bool SumSqCluster(int n, float** D, clusterReport* rep, bool squared);
bool SumSqCluster(int n, double** D, clusterReport* rep, bool squared);

// Centroid update after fusing a and b: with n_a, n_b, n = n_a + n_b, c = -(n_a n_b) / n^2 and
// d = W(a, b), W(k, a+b) = W(k, b) n_b / n + W(k, a) n_a / n + d c for distances, or
// - (1 - d) c for similarities; compaction as LinkageFusion.
void FusionMatrix(int m, int* size, int a, int b, float** W, bool isDistance);
void FusionMatrix(int m, int* size, int a, int b, double** W, bool isDistance);

// Sum-of-squares clustering in which only linked groups fuse (link: n x n, 0/1, upper triangle
// read). The fused group is linked to every group linked to either part. When no linked pair is
// left (a link matrix that is not connected) the step takes the best pair of all, as
// SumSqCluster does, so that the n - 1 records are always written.
bool SumSqClusterRestrained(int n, float** D, int** link, clusterReport* rep, bool squared);
bool SumSqClusterRestrained(int n, double** D, int** link, clusterReport* rep, bool squared);

// Link of the fused group a+b to every other group k = the larger of the links of k to a and
// to b; compaction of the link matrix as in LinkageFusion (size is not read).
void TopologyFusion(int m, int* size, int a, int b, int** link);

// Centroid clustering reported into a flat array. Distances are squared first unless
// `squared`. Each step appends to out: the level (the square root of the squared centroid
// distance, or the similarity), size_a + size_b, then the member numbers of the new group
// (first group, then second): 2 + (size_a + size_b) cells per step.
bool AvLinkCluster(int n, float** rese, float* out, bool isDistance, bool squared);
bool AvLinkCluster(int n, double** rese, double* out, bool isDistance, bool squared);

// Hierarchical factorial clustering of the n rows of an n x p table (-999 missing): the rows
// are centred and scaled to unit length over their present cells; each step fuses the pair
// whose 2 x 2 cross-product matrix has the least smaller eigenvalue, records both eigenvalues,
// eigenvectors and the pair's scores on them, and represents the fused group by its scores on
// the first eigenvector. The float form records every value in single precision.
bool HierFactorialClustering(int n, int p, float** data, clusterReport* rep);
bool HierFactorialClustering(int n, int p, double** data, clusterReport* rep);

// Eigen-analysis of C = [[x.x, x.y], [x.y, y.y]], the products summed over the variables
// where neither value is -999: *smaller = the second eigenvalue; larger, vec1 and vec2 (each
// may be null) the first eigenvalue and the two unit eigenvectors (2 values each). Returns the
// decomposition's ok flag.
bool HierFactorialEigen(int p, double* x, double* y, double* larger, double* smaller,
                        double* vec1, double* vec2);
bool HierFactorialEigen(int p, float* x, float* y, double* larger, double* smaller,
                        double* vec1, double* vec2);
bool HierFactorialEigen(int p, float* x, float* y, float* larger, float* smaller, float* vec1,
                        float* vec2);

// A dendrogram node: a value and three links.
struct ClusterNode {
    int value;
    ClusterNode* first;
    ClusterNode* second;
    ClusterNode* parent;
    double level;
};
// A new node on the heap (release with delete) holding value, its links null and level 0.
ClusterNode* NewNode(int value);

#endif
