// The randomization (permutation) test of group differences among sampling units described by
// several variables: the class RandomizationTestManova with its input and results records.
//
// A constructor runs the whole test; the object then holds the statistics and probabilities,
// which GetManovaResults returns and PrintManovaResults writes (English or Portuguese).
//   RandomizationTestManova(in, statistic): each factor tested by one statistic, 1 SUM-F
//     (F_SUM), 2 LR-IND (LR_IND), 3 MRPP (lower tail), 4 ANOSIM (the built R/4).
//   RandomizationTestManova(in): the multi-factor test on sums of squares Q from the
//     dissimilarities: every factor, every pair of factors, the combination of all factors,
//     the third-order term of three factors and the contrasts, Q or the pseudo-F Q / Q within.
// P = (values at least as extreme, the observed one included) / nIterations; a value within one
// single-precision step of the observed one counts. The generator is the program's one (r).
#ifndef TNX_QWLIBCLASSES_H
#define TNX_QWLIBCLASSES_H

#include <cstdio>
#include <ctime>
#include <memory>

struct GroupStatWorkspace;

// What the caller hands to the constructors. The arrays stay the caller's and must live as
// long as the object (the report reads the labels, nesting groups and bundles).
struct manovaInput {
    int nUnits = 0;                      // n sampling units
    int nVars = 0;                       // p variables (columns of data)
    int nIterations = 1;                 // random permutations plus the observed data
    double** distances = nullptr;        // n x n dissimilarities held in the lower triangle; the
                                         // upper triangle is work space, equal to it on return
    int* contrastCount = nullptr;        // per factor: its number of contrasts
    double*** contrastGroups = nullptr;  // [factor][contrast][group]: coefficient of each group
                                         // of the factor, groups in ascending label order
    double** data = nullptr;             // n x p values; -999 missing
    bool distancesSquared = false;       // distances hold squared dissimilarities already
    bool mrppSquares = false;            // MRPP on squared dissimilarities
    bool hasContrasts = false;
    bool initGenerator = false;          // seed the generator with `seed` (0: the time)
    bool nestingGiven = false;           // permute within nesting groups
    bool bundlesGiven = false;           // permute units as bundles
    bool bundlesWithinNesting = false;   // bundles exchanged within nesting groups only
    bool computeMeans = false;           // mean vector of every group
    int nFactors = 0;                    // f factors
    int** groups = nullptr;              // f x n group labels
    int* nestingGroups = nullptr;        // n
    int* bundles = nullptr;              // n
    char** factorLabels = nullptr;       // f names
    char** unitLabels = nullptr;         // n names
    unsigned seed = 0;
    bool portuguese = false;
    int digits = 6;                      // significant digits of the printed means
    bool printIntermediate = false;      // the report of every permutation to reportFile
    bool showProgress = false;
    FILE* reportFile = nullptr;
    // Multi-factor test only.
    bool pseudoF = false;                // test F = Q / Q within instead of Q
    bool synchronized = false;           // synchronized permutations within nesting groups
    bool balance = false;                // balanced subsamples when some effect is unbalanced
    bool forceBalance = false;           // balanced subsamples always
    bool intermediateTables = false;     // one line per permutation to reportFile
    int nTests = 1;                      // tests run in a row by the caller (progress text)
    int testNumber = 1;
    int blockFactor = 0;                 // 1-based number of a block factor; 0: none
};

// The results, owned by the object. Square tables of f + 2 (statistics) or f + 1 rows:
// [k][k] factor k, [a][b] (a < b) the interaction of factors a and b, [f][f] the combination
// of all factors, statistics[f + 1][f + 1] the total Q. The single-statistic test fills the
// diagonal of the factors.
struct manovaResults {
    double** statistics = nullptr;     // observed statistics
    double** probabilities = nullptr;
    double** pseudoF = nullptr;        // multi-factor test with pseudo-F: F = Q / Q within
    double** counts = nullptr;         // values at least as extreme, the observed one included
    double*** contrasts = nullptr;     // [factor][contrast]: Q, its within Q, P (with contrasts)
    double*** means = nullptr;         // [effect][group][variable]; -999 where nothing present
    double qWithin = 0.0;              // multi-factor test: Q within groups
    double qThirdOrder = 0.0;          // three factors: the third-order interaction and its P
    double pThirdOrder = 1.0;
    double elapsed = 0.0;              // seconds
};

class RandomizationTestManova {
public:
    RandomizationTestManova(manovaInput* in, int statistic);
    explicit RandomizationTestManova(manovaInput* in);
    ~RandomizationTestManova();
    RandomizationTestManova(const RandomizationTestManova&) = delete;
    RandomizationTestManova& operator=(const RandomizationTestManova&) = delete;

    // Runs the multi-factor test again in the object's own lists, selections and tables, for
    // the record the object was built from (whose arrays may have changed values, not sizes).
    // False, and nothing run, for another record or an object of the single-statistic test.
    bool RandomizationTestManova_NotThreadSafe(manovaInput* in);

    // Allocates the tables from n, p, f and the group counts of the effects.
    void DimensionArrays();
    manovaResults* GetManovaResults();
    // Copies the upper triangle (diagonal included) of the (f + 1) x (f + 1) table and, with
    // contrasts, contrastProbabilities[factor][contrast]. Returns true.
    bool ReplaceProbabilities(double** probabilities, double** contrastProbabilities);
    void SetElapsedTime(float seconds);
    // list = 1..n, then the selected positions (selected in both a and b) are permuted among
    // themselves.
    void RndListSelect_(int n, int* list, bool* selected);
    void RndListTwoSelect_(int n, int* list, bool* a, bool* b);

    // The report of the single-statistic test; intermediate: the report of permutation
    // `iteration` (0: the observed data) with the running counts.
    void PrintManovaResults(FILE* f, char** unitLabels, int digits, bool intermediate, int iteration);
    // The full report of the multi-factor test (of the single-statistic test for an object
    // that ran it). residualKind 0: raw data were permuted, 1 or 2: residuals of the factors
    // residualFactors[0..kind-1] (1-based); residualNotes adds the notes on that form.
    void PrintManovaResults(FILE* f, char** unitLabels, int digits, int residualKind,
                            int* residualFactors, bool residualNotes, bool intermediate, int iteration);
    void PrintManovaResults(FILE* f, char** unitLabels, int digits);
    void PrintManovaResults(FILE* f, int digits, int residualKind, int* residualFactors, char** unitLabels);
    void PrintManovaResults(FILE* f, char** unitLabels, int digits, int residualKind,
                            int* residualFactors, bool residualNotes);
    // One line of the table of every permutation (iteration 0: the header and the observed
    // values).
    void PrintManovaIntermResults(FILE* f, int digits, int iteration);

private:
    // What one report shows: the observed values with P, or a permutation's values with the
    // running counts.
    struct View {
        double** Q;
        double** F;
        double** P;
        double qWithin, q3, p3, f3;
        double*** contrasts;  // [k][c]: Q, within Q, F
        double** contrastP;
        bool frequencies;
    };

    static bool AtLeastAsExtreme(double random, double observed, bool lowerTail);
    void SetUp(manovaInput* in);
    void CountEffectGroups();
    void FormCells();
    void MarkMembers();
    void SeedAndStartClock();
    void RunSingleStatistic();
    double FactorStatistic(int k, double** rows, double** pairs) const;
    void DrawList(int* list, bool* selection);
    void ComputeMeans();
    void FinishRun();

    void RunMultiFactor();
    void SumOfSquaresStats(const int* list, double** Q, double** F, double* qWithin, double* q3,
                           double* f3);
    double ContrastSS(int k, int c, const int* list, double* within);
    void SampleObjSelect(bool* selection);
    void SampleObjSelect_Contrasts(int k, int c, bool* selection);
    void CountMultiFactor();
    bool Tested(int a, int b) const;

    View Observed();
    View Random();
    void PrintHeader(FILE* f, char** unitLabels, bool intermediate, int iteration) const;
    void PrintRestrictions(FILE* f) const;
    void PrintSingleStatistic(FILE* f, const View& v) const;
    void PrintMultiFactor(FILE* f, int digits, int residualKind, int* residualFactors,
                          bool residualNotes, const View& v) const;
    void PrintMeans(FILE* f, int digits) const;
    const char* FactorName(int k, char* buf, int size) const;
    const char* Text(const char* english, const char* portuguese) const;

    manovaInput in_;      // the caller's record, copied
    const manovaInput* source_ = nullptr;  // and where it lies
    int statistic_ = 0;   // 1..4 for the single-statistic test, 0 for the multi-factor test
    int n_ = 0, p_ = 0, f_ = 0, e_ = 0;
    int iterations_ = 1;
    int nPairs_ = 0;
    int maxGroups_ = 1;
    int maxContrasts_ = 1;
    bool contrasts_ = false;
    bool balancing_ = false;
    bool unbalancedBundles_ = false;

    // Effects: rows 0..f-1 the factors, row f all factors together, rows f+1.. the pairs
    // (0,1), (0,2), ..., (1,2), ...; groups recoded 1..g.
    int** effectGroups_ = nullptr;      // e x n
    int* effectGroupCount_ = nullptr;   // e
    int** effectLabels_ = nullptr;      // e x n: factor labels ascending, cell numbers 1..g
    int** groupSize_ = nullptr;         // e x maxGroups
    int** pairOf_ = nullptr;            // nPairs x 2: the two factors of each pair effect
    bool* pairComplete_ = nullptr;      // nPairs
    int**** cellMap_ = nullptr;         // f x f x n x 2: factor labels of each pair cell
    bool*** members_ = nullptr;         // e x maxGroups x n

    double** stat_ = nullptr;      // (f + 2) square
    double** rndStat_ = nullptr;
    double** F_ = nullptr;
    double** rndF_ = nullptr;
    double** count_ = nullptr;     // (f + 1) square
    double** prob_ = nullptr;
    double qTotal_ = 0.0, qWithin_ = 0.0, rndQWithin_ = 0.0;
    double q3_ = 0.0, rndQ3_ = 0.0, f3_ = 0.0, rndF3_ = 0.0, count3_ = 1.0, p3_ = 1.0;

    // Contrasts, [k][c]: Q, within Q, F (observed and random), counts and P, and the three
    // unit selections (non-zero, positive, negative coefficient).
    double*** cStat_ = nullptr;
    double*** rndCStat_ = nullptr;
    double** cCount_ = nullptr;
    double** cProb_ = nullptr;
    double*** cResults_ = nullptr;   // Q, within Q, P for the results record
    bool**** cMasks_ = nullptr;      // f x maxContrasts x 3 x n

    double*** means_ = nullptr;      // e x maxGroups x p
    int*** meanCounts_ = nullptr;

    // The permutation loop's workspace.
    int* list_ = nullptr;
    int* work_[3] = {nullptr, nullptr, nullptr};
    bool* selection_[2] = {nullptr, nullptr};
    double** rows_ = nullptr;        // permuted data rows (pointers into data)
    double** sq_ = nullptr;          // squared dissimilarities, both triangles
    double** perm_ = nullptr;        // permuted dissimilarities, ranks or squares (upper)
    double** ranks_ = nullptr;       // ranks of the dissimilarities, both triangles
    std::unique_ptr<GroupStatWorkspace> groupWs_;  // SUM-F and LR-IND

    clock_t startClock_ = 0;
    time_t startTime_ = 0;
    unsigned seedUsed_ = 0;
    double elapsed_ = 0.0;
    manovaResults results_;
};

#endif
