// Functional and phylogenetic permutation test: the record a caller fills, the engine that
// computes the 22 congruence statistics and tests them by permuting the OTUs, and the partial
// Procrustes / RV congruence it shares with the trait-subset searches.
#ifndef TNXPERMTEST_H
#define TNXPERMTEST_H

#include <cstdio>
#include <vector>

// Number of statistics the engine computes, observed and tested.
constexpr int kPermTestStats = 22;

// Index of each statistic in `observed` and `probability`. T community-weighted trait means,
// X fuzzy-weighted composition, R Rao entropy over the trait similarities, F Rao entropy over
// the phylogeny (BF: the trait similarity against the phylogenetic matrix), P phylogenetically
// pooled composition, Y and Z the two Beals-smoothed compositions.
enum PermTestStat {
    kRoXE = 0,
    kRoTE = 1,
    kRoXE_T = 2,
    kRoRE = 3,
    kRoXE_TR = 4,
    kRTY = 5,
    kRTZ = 6,
    kRXY = 7,
    kRXZ = 8,
    kRXY_T = 9,
    kRXZ_T = 10,
    kRoBF = 11,
    kRFE = 12,
    kRoPE = 13,
    kRoPT = 14,
    kRoPX = 15,
    kRoPX_T = 16,
    kRoTE_P = 17,
    kRoXE_P = 18,
    kRoXE_TP = 19,
    kRoPE_T = 20,
    kRoPE_X = 21
};

// What a caller hands to PermTest_FunctionalPhyl_Correl and what it gets back. Sizes: n =
// nCommunities, s = nOTUs, p = nTraits, k = nTypes, q = nTaxa, v = nEnv, a = nPhylAxes. All
// matrices are tables of row pointers owned by the caller and only read by the engine, except
// the hand-back buffers and the two output arrays. Create it value-initialised
// (`PermTest_FunctionalPhyl_Correl_Input in{};`) and set every input field, twoTailed included.
struct PermTest_FunctionalPhyl_Correl_Input {
    int iterations;        // the observed data count as the first; iterations - 1 permutations
                           // (0 behaves as 1)
    int nTraits;           // p, columns of B
    int* traitSelected;    // [p]: 1 for a trait that enters T, anything else for one that does not
    int nOTUs;             // s
    int nTypes;            // k, columns of U
    int nTaxa;             // q, columns of Q
    int nEnv;              // v, columns of E
    int nCommunities;      // n
    int nPhylAxes;         // a, phylogenetic coordinates used by the Procrustes / RV ro(BF)
    float** B;             // s x p traits of the OTUs (-999 missing)
    float** Sb;            // s x s similarity 0-1 between OTUs from the traits (upper triangle read)
    float** phylAxes;      // s x (a or more) phylogenetic coordinates of the OTUs
    double** Sf;           // s x s phylogenetic similarity, or dissimilarity when
                           // phylIsDissimilarity, in 0-1 (upper triangle read)
    double** E;            // n x v environmental variables
    double** U;            // s x k belonging of the OTUs to types (fuzzy or crisp)
    double** Q;            // s x q belonging of the OTUs to taxa
    double** W;            // n x s performance of the OTUs in the communities (communities in rows)
    double** DE;           // n x n resemblance of the communities from E (upper triangle read)
    double** DY;           // n x n resemblance from Y (Mantel only)
    double** DZ;           // n x n resemblance from Z (Mantel only)
    double** Y;            // n x s W after Beals smoothing, method 1
    double** Z;            // n x s W after Beals smoothing, method 2 with odds
    double observed[kPermTestStats];     // output
    double probability[kPermTestStats];  // output
    int reseOpt;           // 1-10: community resemblance of X and P under Mantel
    int optRo;             // 1 matrix (Mantel) correlation, 2 Procrustes, 3 RV
    double overfitFactor;  // partial Procrustes / RV: at most (n - 2) / f predictors
    bool saveRndData;      // write the intermediate results to rndDataFile
    bool weightedNullModel;  // draw OTUs from the list of occurrences
    bool includePhylogeny;   // compute the statistics 11-21
    bool phylIsDissimilarity;
    bool sqrtRaoTraits;    // Rao over Sb uses sqrt(1 - similarity)
    bool sqrtRaoPhyl;      // Rao over Sf uses the square root of the dissimilarity
    int restriction;       // 0 free permutation, 1 within nesting groups, other: list kept
    int* nestingGroups;    // [s] nesting group of each OTU (restriction 1)
    bool handBack;         // fill outT, outX, outR (and outRaoPhyl with the phylogeny)
    bool twoTailed;        // compare the simple correlations in absolute value
    double** outT;         // n x p: T (community-weighted means) before column normalisation
    double** outX;         // n x k: X = W x U
    double** outP;         // n x q: P = W x Q, written whenever includePhylogeny
    double* outR;          // [n] Rao entropy over Sb
    double* outRaoPhyl;    // [n] Rao entropy over Sf
    FILE* rndDataFile;     // open text file for the intermediate results (saveRndData)
    int rndDataError;      // output: the system's reason (errno) for the first write to
                           // rndDataFile that failed, on whichever thread wrote it; 0 when none did
};

// Code of the resemblance dispatcher (ResemblanceLib) for a community resemblance option 1-10:
// 6, 7 Euclidean distance (3); 8, 9 absolute value function (2); 5 correlation (17); 10 chord
// distance (18); 3 cross products (1); 1, 2, 4 no coefficient (0: the dispatcher computes
// nothing); any other option cross products (1). The engine and the single-statistic tests of
// the permutation-test library read this one table.
int TranslateReseOpt_TARNEX_ORBALD(int opt);

// Computes the 22 observed statistics of the record and their probabilities under
// permutations of the OTUs. Returns false, having written nothing, when the record cannot be
// tested: fewer than 2 communities, no OTU, or Procrustes / RV with -999 in E (or, with the
// phylogeny, in B). Statistics that are not computed (the phylogenetic ones without a
// phylogeny) are 0 with probability 1. A statistic the data do not define is not a number (NaN)
// in both arrays and is never counted: under the matrix correlation, a first-order partial
// with fewer than 3 communities, a second-order one (ro(XE.TR), ro(XE.TP)) with fewer than 4,
// ro(RE) and r(FE) (no rule for two communities) with fewer than 3, ro(BF) with fewer than 3
// OTUs; under any measure, the statistics that follow E when E has no variation
// (EnvironmentWithoutVariation), and a statistic whose first or second observed table has no
// variation (no column varies beyond the rounding of its values, Spread, so that where a column
// sits plays no part): for a partial, none left after the covariates; under the matrix
// correlation, a resemblance without variation or built from a table without it (the control of
// a partial may have none: the partial is then the simple correlation), and a partial whose
// control correlates +-1 with a resemblance it compares (PerfectCorrelation, where the library's
// PartialCorrelation gives 0). A permutation whose table has no variation left gives that
// statistic 0, the value of such a comparison. The random-data file prints such a statistic as
// -999, observed and in every iteration, and so the intermediate correlations it prints beside
// them (ro(XT), ro(XR), ro(TR) and, under Mantel, ro(XE.R), ro(TE.R), ro(XT.R)) that the same
// rules leave undefined. Uses the program's shared random generator, which the caller seeds.
bool PermTest_FunctionalPhyl_Correl(PermTest_FunctionalPhyl_Correl_Input* in);

// One covariate of PartialMatrixCorrelation: an n x columns matrix of which the columns with
// select[j] == 1 enter (all columns when select is null).
struct MatrixCovariate {
    int columns;
    int* select;
    double** matrix;
};

// Procrustes (method 2) or RV (method 3) congruence of the n x pA matrix A and the n x pB
// matrix B after removing from each what the covariates explain: both are replaced by their
// residuals on the principal components of the stacked covariate columns (centred and
// normalised), at most (int)((n - 2) / overfitFactor) components. Returns 0 for an empty
// covariate list, no entering column, or another method. The inputs are only read.
// A table without variation gives 0, which the data do not define: *flat (when given) is then
// true. That is A or B without variation of its own (ConfigurationHasVariation), or a residual
// that keeps none of its table's (its centred sum of squares rounding noise of the table's
// before the covariates were taken out, HasVariation).
double PartialMatrixCorrelation(int n, int pA, int pB, double** A, double** B, int method,
                                double overfitFactor, const std::vector<MatrixCovariate>& covariates,
                                bool* flat = nullptr);

// Work space of PartialMatrixCorrelation for repeated calls on n objects, A and B of at most
// `columns` columns and covariates of at most `covariateColumns` columns in all: a search loop
// allocates it once, and the form that takes it allocates nothing unless A or B holds -999. A
// call that does not fit computes with buffers of its own.
class PartialCorrelationWork {
public:
    PartialCorrelationWork(int n, int columns, int covariateColumns);
    ~PartialCorrelationWork();
    PartialCorrelationWork(const PartialCorrelationWork&) = delete;
    PartialCorrelationWork& operator=(const PartialCorrelationWork&) = delete;
    // True when a call on n objects, A and B of pA and pB columns and covariates of cols
    // columns in all fits.
    bool Fits(int n, int pA, int pB, int cols) const;
    struct Buffers;
    Buffers* buffers() const { return b_; }

private:
    Buffers* b_;
};

double PartialMatrixCorrelation(int n, int pA, int pB, double** A, double** B, int method,
                                double overfitFactor, const std::vector<MatrixCovariate>& covariates,
                                PartialCorrelationWork& work, bool* flat = nullptr);

#endif
