// The report section of the functional analysis: every heading, line and matrix, in order,
// with the condition of each. The numbers come in one record filled by the computation
// (TNXRESE.cpp); the options, labels and raw data are read from the global data model.
#ifndef TNXRESEREP_H
#define TNXRESEREP_H

#include <cstdio>

// Everything the computation hands to the report. Matrices are owned by the computation;
// resemblance matrices hold their upper triangle (the report prints it as a lower half).
// Sizes: n communities, s OTUs, p traits, k types, q taxa.
struct FunctionalResults {
    int nSelected = 0;           // m, traits of weight above 0
    int* selected = nullptr;     // [p] 1 for a selected trait
    bool typesExamined = false;  // the number of types k was examined (2 <= k <= s)
    int nTypes = 0;              // k

    float** W = nullptr;         // n x s raw performances (communities in rows)
    double** W1 = nullptr;       // n x s, each community at unit total
    double** DE = nullptr;       // n x n

    // Phylogeny (only when includePhylogeny).
    float** phylScores = nullptr;  // s x (s) principal coordinates, the first nPhylAxes used
    int nPhylAxes = 0;
    int phylScoresExponent = 0;    // e: phylScores are those of the phylogeny times 2^e
    double** Q = nullptr;        // s x q
    double** P = nullptr;        // n x q
    double** DP = nullptr;       // n x n (Mantel only)

    // The pass over the selected traits.
    double** T = nullptr;        // n x p community-weighted means (unselected columns 0)
    double** Tn = nullptr;       // n x p, columns at unit length
    double** DT = nullptr;       // n x n
    float** S = nullptr;         // s x s similarity between OTUs (upper triangle, diagonal 1)

    // Types. With types built by clustering, the OTUs first form the monothetic groups of
    // identical OTUs, whose similarity Smono the clustering reads.
    int* partition = nullptr;    // [s] type of each OTU (null: the user's partition_OTUs)
    bool clustered = false;
    int nMonothetic = 0;
    int* monothetic = nullptr;   // [s] monothetic group of each OTU
    float** Smono = nullptr;     // nMonothetic x nMonothetic (upper triangle)
    double** U = nullptr;        // s x k fuzzy belonging
    double** C = nullptr;        // s x k crisp belonging
    double** X = nullptr;        // n x k = W2 U
    double** Xc = nullptr;       // n x k = W2 C
    int nLabels = 0;             // distinct labels of the partition
    int* labels = nullptr;       // [nLabels] in ascending order
    int* typeSizes = nullptr;    // [k]
    float** A = nullptr;         // k x p average traits of the types (-999 where none present)

    // Statistics (index of the engine's record) and the time the test took.
    bool tested = false;
    double observed[22] = {};
    double probability[22] = {};
    double elapsedSeconds = 0.0;

    // Diversity, one value per community.
    double* D = nullptr;         // Gini-Simpson
    double* Rf = nullptr;        // Rao over the trait dissimilarities
    double* FR = nullptr;        // D - Rf
    double* Rp = nullptr;        // Rao over the phylogenetic dissimilarities
    double* PR = nullptr;        // D - Rp
};

// Writes the functional analysis's section to f. With appending (prindaMode "a") the title
// line is left out. Returns false when a write failed.
bool WriteFunctionalReport(FILE* f, const FunctionalResults& r);

// The opening of a report section: the title line (only when the file is written afresh,
// prindaMode "w"), the rule lines around "EXPLORATION OF COMMUNITY DATA STRUCTURES", the time
// stamp, the session and the names of its data files, then an empty line.
void ReportOpening(FILE* f);

// "\nNumber of states: " and "\nTrait type:       " with the value of every trait as "%-3d".
void TraitStatesAndTypes(FILE* f);

// The computed upper triangle of an n x n resemblance matrix printed as a lower half with its
// diagonal (row i: cells (0, i) .. (i, i), "%.*g\t" with sDigits); the matrix is not changed.
void PrintUpperTriangle(FILE* f, int n, double** m);
void PrintUpperTriangle(FILE* f, int n, float** m);

// The heading of the phylogenetic Rao entropy, naming the dissimilarities actually used: the
// phylogeny's own dissimilarities, or 1 - S from similarities, square-rooted or not.
const char* PhylogeneticRaoHeading(bool phylIsDissimilarity, bool squareRoot);

#endif
