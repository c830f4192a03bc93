// What the trait-subset searches prepare once per run, the search records they share and the
// report lines common to several criteria.
#ifndef TNXCHORDCOMMON_H
#define TNXCHORDCOMMON_H

#include <cstdio>
#include <ctime>
#include <type_traits>
#include <vector>

#include "foundation/qwlibDim.h"
#include "matrix/qwlib.h"
#include "statistics/qwlibResCompare.h"
#include "traits/TNXCHORDSearch.h"

namespace chrank {

// The data of one run: W (communities x OTUs, at unit totals when optUnitTotalAdjust2), W1
// (at unit totals, for the printed trait averages), DE and the copies of E (when asked), the
// working trait vectors, the selection flags of the current subset (at the stored trait
// numbers; the stepwise search's, the exhaustive searches flag each worker's own) and, once
// built, the cube of partial Gower similarities. The exhaustive searches' workers only read it.
struct RunData {
    int n, s, p, nTypes;
    double** W = nullptr;
    double** W1 = nullptr;
    double** DE = nullptr;
    float** Ef = nullptr;
    double** Ed = nullptr;
    int* types = nullptr;
    float* ranges = nullptr;
    float* weights = nullptr;
    int* flags = nullptr;
    double*** Sp = nullptr;

    RunData(int nTypes, bool environment);
    ~RunData();
    RunData(const RunData&) = delete;
    RunData& operator=(const RunData&) = delete;
    void BuildCube();
    void Flag(const int* traits, int k);
};

// The per-size records (compared by `rank`, starting at `start`) and the top list; `every`, when
// set, is a second list offered every value as well.
struct Search {
    Rank rank;
    double start;
    std::vector<SizeRecord> sizes;
    TopList top;
    TopList* every = nullptr;
    Search(int kMax, Rank rank, double sizeStart, Rank entry, bool sortAbs);
    // The best value of one subset (over its numbers of types) of size k. A value the data do
    // not define (-999) ranks nowhere; a size that has no other keeps it, with no subset.
    void Record(int k, double value, int groups, const int* traits);
};

// flags[t] = 1 for the traits of the subset, 0 for the others (p traits).
void FlagSubset(int p, const int* traits, int k, int* flags);

// The subset's similarity of the OTUs (Gower average over the flagged traits, both
// triangles), its fuzzy (or crisp) belonging U to the g types of partition_OTUs, X = W x U
// and, when made (`resemblance`: the Mantel test or the structure file reads it), DX
// (rese_opt); C the crisp belonging, for the printed group sizes and averages.
struct Composition {
    int n, s, g;
    float** S = nullptr;
    double** U = nullptr;
    double** X = nullptr;
    double** DX = nullptr;
    double** C = nullptr;
    BelongingWork belonging;  // the fuzzy belonging's buffers, for every subset
    bool crispDone = false;
    Composition(int n, int s, int g, bool resemblance);
    ~Composition();
    Composition(const Composition&) = delete;
    Composition& operator=(const Composition&) = delete;
    // For the subset flagged in `flags`, DX too when withResemblance (and made); d is only read.
    void Build(const RunData& d, int* flags, bool withResemblance);

private:
    void Release();
};

bool HasMissing(int rows, int cols, float** m);

// The coefficients a worker's comparison work space serves under the measure (opt_ro: 1 Mantel,
// which compares none, 2 Procrustes, 3 RV).
inline Coefficients ComparedBy(int measure) {
    return measure == 2 ? Coefficients::kProcrustes : measure == 3 ? Coefficients::kRV : Coefficients::kNone;
}

// A matrix of a worker's work space, made zero-filled by the foundation's allocators and
// released with it; rows 0 makes none (a block only the structure file needs).
template <class T>
class WorkMatrix {
public:
    WorkMatrix(int rows, int cols) : rows_(rows) {
        if (rows < 1) return;
        if constexpr (std::is_same_v<T, float>)
            m_ = dim2Dfloat(rows, cols);
        else
            m_ = dim2Double(rows, cols);
    }
    ~WorkMatrix() {
        if (m_) free2D(m_, rows_);
    }
    WorkMatrix(const WorkMatrix&) = delete;
    WorkMatrix& operator=(const WorkMatrix&) = delete;
    operator T**() const { return m_; }

private:
    int rows_;
    T** m_ = nullptr;
};

// Structure-file blocks of one subset: the traits, T, normalised T and DT; the similarity of
// the OTUs, the partition, U, C, the group sizes, the average traits and X; residuals of D
// regressed on DT (into scratch, both triangles printed under heading).
void WriteMeansBlocks(FILE* fs, const RunData& d, int* flags, const std::vector<int>& list, double** T,
                      double** Tn, double** DT);
// The similarity S of the s OTUs over the subset's traits, as a lower half with its heading and
// the subset's labels.
void WriteSubsetSimilarity(FILE* fs, int s, const std::vector<int>& list, float** S);
void WriteTypeBlocks(FILE* fs, const RunData& d, const std::vector<int>& list, Composition& comp);
void WriteResiduals(FILE* fs, int n, double** DT, double** D, double** scratch, const char* heading);

void WriteTraitLines(FILE* f);
void WritePartitionLines(FILE* f);
void WriteUnitTotalLines(FILE* f);
// Structure file: DE (when computed) under "Resemblance matrix between %d <communities> based
// on %d environmental variables:", then "Trait matrix with %d <otus> by %d traits: " and B (the
// traits of weight 0 zeroed when asked), with a closing empty line when asked.
void WriteEnvironmentAndTraits(FILE* fs, const RunData& d, const char* communities, const char* otus, bool zeroed,
                               bool closingLine);
// The opening lines, the trait-based approach and the two lines on the unit totals of W.
void WriteTypedOpening(FILE* f);
// With polythetic types: the resemblance function between OTUs and, for Gower, the line on
// double absences ("<gowerName> modified to count matching absences in binary traits? ...").
void WriteOtuResemblanceLines(FILE* f, const char* gowerName);
void WriteOverfitLine(FILE* f);
// An upper triangle printed as a lower half with the diagonal.
void WriteLowerHalf(FILE* f, int n, double** m);
void WriteElapsed(FILE* f, std::time_t time0);
// "\nGroup sizes:\n" with the sizes, and the average trait matrix of the types (the mean of
// the members whose value is present; -999 where none is).
void WriteTypeSummary(FILE* f, int s, int p, int g, double** C);
// "Group sizes:\t" and each size as "%d\t".
void WriteGroupSizes(FILE* f, int s, int g, double** C);

}  // namespace chrank

#endif
