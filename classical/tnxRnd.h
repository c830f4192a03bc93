// Randomisation tests of the stored community resemblances (test 1) and of the structure
// evaluation functions computed from them (test 3), with the null models that build one random
// data set or one random resemblance matrix.
//
// Two sources of random numbers: the C generator (u = rand() / 2147483647, drawn again when it
// is 0 or 1) and the shared generator r through RndList (permutations of 1..n). Which member
// draws from which is part of its behaviour: with the same seed the same data come out. With a
// window (stratum count) w, stratum s holds the communities s, s + w, s + 2w, ..., and
// permutations stay within a stratum.
#ifndef TNXRND_H
#define TNXRND_H

#include <cstddef>
#include <cstdio>
#include <vector>

#include "foundation/qwlibDim.h"

// The handler: the dialog, the stored nominal resemblances (whichNRese) into rese, test 1
// (rndTestOpt 1) or 3, the track file and the closing message. Another test kind runs nothing,
// sets nothing and only releases the factor arrays of the analysis of variance.
void IFRandomization();

// Test 1: each observed nominal resemblance between two communities against its values in
// niter - 1 random data sets of null model empir_opt (1, 2, 4 or 5; 3 makes none). The observed
// resemblances are computed again from the trait codes; unless they are the stored ones (rese,
// within the 6 significant digits of the stored file) the test is refused before its first
// iteration. Writes the probabilities to whichProbN (hasProbN) and the report section; false,
// with its message and nothing written, when refused or when the null model cannot build a data
// set.
bool Randomization();
// Test 3: the structure evaluation function cohe (1, 3 or 4) of the stored resemblances, over
// every pair of communities (rndAdjacent 1), against its values after random relocation of the
// communities; the probabilities go to whichProbRo (hasProbRo) and the report. Another function
// or adjacent pairs only are refused with a message (false).
bool RandomizationSEF();

// step(it) for it = first .. last in order while it returns true; whether every step ran. The
// count is kept in 64 bits: an int would overflow past the largest count the dialog accepts
// (2147483647) and the loop would never end.
template <class Step>
bool EachIteration(int first, int last, Step&& step) {
    for (long long it = first; it <= last; it++)
        if (!step(static_cast<int>(it))) return false;
    return true;
}

// One occurrence of an OTU in a community: 0-based OTU and community, and its performance.
struct Occurrence {
    int otu;
    int community;
    float value;
};

// The evaluation function of every level (the first only unless isHierarchical is 1) of the
// resemblances `matrices` into sef: cohe 1 against De, 3 of the groups of groupRel among the
// selected communities (with the pairwise contrasts of the groups into pairs[level]), 4 against
// the level before (1 for the first). When counts is given, a level's count grows by 1 when
// |sef| > |observed| (cohe 3: |sef| < |observed|) or the two lie within one unit in the last
// place, and each pairwise contrast counts as in RndPairwiseGrComp (pairCounts).
void Eval(double** De, double*** matrices, const double* observed, double* sef, double* counts,
          double*** observedPairs, double*** pairs, double*** pairCounts);

// The null values of `series` series (pairs of communities or levels): the observed value first,
// then one per random iteration, niterations in all. Kept in memory while they fit in `budget`
// bytes (code 1 when that memory cannot be had), beyond it in a binary temporary file (code 4
// when none can be made), written an iteration at a time and read back series by series. A write
// to the file that fails, in Put or when Get reads it back, is code 3 after "\ncan't write a
// temporary file: <the system's reason> \n".
class NullValues {
public:
    NullValues(size_t series, int niterations, size_t budget = MemoryCheck());
    ~NullValues();
    NullValues(const NullValues&) = delete;
    NullValues& operator=(const NullValues&) = delete;
    // The values of iteration it (0 the observed one, below niterations) of every series, in
    // its place whatever the order of the calls.
    void Put(int it, const double* block);
    // The niterations values of series s, iteration by iteration.
    void Get(size_t s, double* values);
    bool InFile() const { return file_ != nullptr; }

private:
    size_t series_;
    int niter_;
    std::vector<double> values_;
    FILE* file_ = nullptr;
    long long next_ = 0;  // the iteration whose place the file stands at; -1 once read
};

// One null distribution of n values on f: the class frequencies ("%d\t", a newline), then the
// upper class limits, the observed value, the probability, the mean and the standard deviation
// ("%-.*g\t" with sDigits) and a newline. freq and limits hold `classes` entries.
void SaveDistribution(FILE* f, int n, double* values, int* freq, int classes, double* limits, double observed,
                      double probability, double* mean, double* sd);

// An analysis-of-variance table of nFactors factors (the stored partitions whichFactors):
// between-group sums of squares Qb and their probabilities P per factor, each factor's
// contrasts (nContrasts, coefficients contrastCoef) with theirs, for two factors or more the
// interactions (Qb and P after the factors, pair by pair; the pairs with the first factor left
// out when skipFirst), the between and within totals (no between line when nesting) and the
// total.
void PrintManova(FILE* f, const double* Qb, const double* P, double** contrastQb, double** contrastP,
                 double betweenTotal, double betweenP, double within, double total, bool skipFirst);

// ---------------------------------------------------------------------------------------
// Null-model generators.
// ---------------------------------------------------------------------------------------

// The occurrences of W (nOTU x nComm) that the composition null models move: its present cells
// (neither 0 nor the missing -999, which adds nothing) grouped by stratum of w, within a stratum
// the OTUs in decreasing order of their presences there (SortByPresenceSMW); per stratum their
// number, per community its richness.
struct Occurrences {
    std::vector<Occurrence> list;
    std::vector<int> perWindow, richness;
    Occurrences(float** W, int nOTU, int nComm, int w);
};

// Each OTU's row of list in the trait order: new column k = old column order[k] - 1.
void ReorderRnd(int nTraits, int nOTU, int* order, int** list);
// order holds nOTU 0-based OTU numbers; they are sorted (stably) by decreasing number of
// present cells (neither 0 nor the missing -999) of data (OTUs x communities) in the columns
// start, start + step, ...
void SortByPresenceSMW(int nOTU, int nComm, int* order, float** data, int start, int step);
// The rows of data (rows x cols) sorted stably by decreasing number of non-zero cells, the row
// pointers of labels and labels2 (either may be null) exchanged with them.
void SortByPresence(int rows, int cols, char** labels, float** data, char** labels2);
// Random taxa: for every trait position t marked in whatRndCh, each row i of n receives a taxon
// k (1..n, ceil(u n)) that no earlier row holds for t, into taxa[i][t]; with chDependency the
// taxa drawn for the first marked trait serve every marked trait. rndCodes (strings as codes)
// are codes with the two characters of each marked trait taken from the row's taxon. Unmarked
// traits draw nothing; their column of taxa is 0.
void RndTaxon(char** codes, char** rndCodes, int** taxa, int n);
// A random composition W (nOTU x nComm) from the occurrence list: each occurrence, in list
// order, goes to a community drawn among its stratum's (perWindow[s] occurrences per stratum,
// the list grouped by stratum), accepted when the community has had fewer than richness[c]
// placements and, with keepRich, the cell is still empty. With keepTotal the cell receives the
// community's next own observed value in a random order (totals kept), else the occurrence's
// value. Returns 0 when an occurrence is refused more than 10 nComm times in a row, else 1.
int RndCompositionGeneral(float** W, const Occurrence* occ, int nOTU, int nOcc, int nComm, const int* richness,
                          int w, const int* perWindow, int keepRich, int keepTotal);
// The communities (columns of in, nOTU x nComm) permuted within each of w strata into out.
void RndRelLocationData(int nOTU, int nComm, float** out, float** in, int w);
// The communities relocated within each of w strata: random[l][i][j] = observed[l][m(i)][m(j)]
// (both triangles and the diagonal), every level when isHierarchical is 1, else the first.
void RndRelLocationSMW(double*** observed, double*** random, int nComm, int w);
// The same with one permutation of all n communities.
void RndRelLocation(double*** observed, double*** random, int n);
// The same with the permutation RndListNested draws for the nLevels partitions (levelFlags,
// nGroups, groupLabels, objectLabels), or RndList when nLevels is 1.
void RndPartitionManova(int n, int nLevels, int* levelFlags, int* nGroups, int** groupLabels, int** objectLabels,
                        double*** observed, double*** random);
// One permutation p of n: aOut[i] = a[p(i) - 1], bOut[i] = b[p(i) - 1].
void RndPartition(int* a, int* aOut, int* b, int* bOut, int n);
// For each pair of groups a < b, the evaluation function of the communities of a and b in
// matrix, rounded to 6 decimals, into random[a - 1][b - 1]; when counts is given it grows by 1
// when the value is not above observed[a - 1][b - 1]. Nothing with fewer than two groups.
void RndPairwiseGrComp(int n, int groups, int* groupOf, double** matrix, double** observed, double** random,
                       double** counts);
// out[i] = strings[p(i) - 1] for one permutation p of n (the pointers).
void RndComposition(char** strings, char** out, int n);
// The same within consecutive blocks of the given sizes.
void RndCompositionSMW(char** strings, char** out, int n, int blocks, const int* blockSizes);
// Per stratum of w and row of in (rows x nComm), a permutation of the stratum's communities moves
// the row's values into out. With keep, a non-zero value aimed at a community that holds
// richness[c] non-zero values already is sent elsewhere by reshuffling the targets left
// (RndListPartial). Returns 0, after "ERROR!!!", when fewer than 2 targets are left or after
// 1001 reshuffles of one row; else 1.
int RndCompositionSMWNew(float** in, float** out, int rows, int nComm, int w, int keep, const int* richness);
// Row i of strings (nCols characters) goes to an empty slot r = ceil(u n) - 1 of out whose
// combination (list[i][0], list[r][1]) (categories 1..nCategories) is not used yet, which it then
// marks. Returns 0 when no such slot is left for a row, else 1.
int RndCompositionRestricted(char** strings, char** out, int** list, int nCategories, int n, int nCols);
// The same within consecutive blocks of the given sizes, each block with its own combinations.
int RndCompositionRestrictedSMW(char** strings, char** out, int** list, int nCategories, int n, int nCols,
                                int blocks, const int* blockSizes);
// n rows of 100 values into out: columns 1-33 20u, 34-66 20u + shift, 67-100 20u + 2 shift; the
// columns pooled in moving windows of w (*count = their number) and the squared Euclidean
// distances between the windows into distances (count x count); a window wider than the
// columns leaves none (count 0). occ receives the positive values (room for 100 n); returns
// their number.
int CreateData(int n, int* count, int w, float shift, float** out, double** distances, Occurrence* occ);

#endif
