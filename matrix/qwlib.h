// Ordination, clustering and matrix methods: the numerical library that the analyses call.
//
// Tables are row-pointer matrices allocated by the foundation's allocators (qwlibDim.h);
// every result array is allocated by the caller. Group labels are one int per object.
// The routines check no argument beyond what keeps them inside their arrays, print nothing
// and raise no error code.
//
// The header is organised in sections, one per family of routines; each section names the
// source file that holds it.
#ifndef TNX_QWLIB_H
#define TNX_QWLIB_H

#include "matrix/core/qwlibPooling.h"

// ============================================================================================
// Fuzzy and crisp belonging, group counts, classes and frequency distributions
// (qwlibBelonging.cpp)
// ============================================================================================
//
// Group order: the groups of a labelling are taken in ascending order of their label value;
// column k of a belonging matrix belongs to the k-th smallest distinct label. A null label
// array means that every object forms its own group, labelled 1..n.

// Number of distinct values among labels[0..n-1] into *nGroups; when distinct is not null it
// receives those values in ascending order (room for n ints). n < 1 gives 0. Returns 1.
int CountGroupsNew(int n, int* labels, int* nGroups, int* distinct);

// Fuzzy belonging U (n x g) of n objects to the g groups of labels, from the resemblance S
// (n x n; upper triangle and diagonal read, -999 cells skipped). U[i][k] is the mean
// similarity (1 - S when isDissim) of object i to the members of group k, where objects of
// one group that are identical (similarity 1 within one single-precision step) count once,
// each row then scaled to unit sum. The lower triangle of S is overwritten with the upper
// one. g should be the number of distinct labels; columns beyond it are never addressed.
// Returns true.
bool FuzzyBelonging(int n, int g, float** S, int* labels, float** U, bool isDissim);
// Float resemblance, double result: each term is formed in single precision, summed in double.
bool FuzzyBelonging(int n, int g, float** S, int* labels, double** U, bool isDissim);
bool FuzzyBelonging(int n, int g, double** S, int* labels, double** U, bool isDissim);
// The buffers of FuzzyBelonging for up to n objects, allocated once: a loop that forms the
// belonging of many resemblance matrices (subsets, permutations) then allocates nothing.
class BelongingWork {
public:
    explicit BelongingWork(int n);
    ~BelongingWork();
    BelongingWork(const BelongingWork&) = delete;
    BelongingWork& operator=(const BelongingWork&) = delete;
    int Capacity() const { return n_; }
    int* labels;     // 1..n when the caller gives no labels
    int* distinct;   // the sorted distinct labels
    int* column;     // the group column of each object
    int* count;      // the group sizes less the duplicates
    char* isDup;     // the duplicate flags
    int* set;        // the duplicate sets
private:
    int n_;
};
// The three forms on a work space; false (U untouched) when n exceeds its capacity.
bool FuzzyBelonging(int n, int g, float** S, int* labels, float** U, bool isDissim, BelongingWork& work);
bool FuzzyBelonging(int n, int g, float** S, int* labels, double** U, bool isDissim, BelongingWork& work);
bool FuzzyBelonging(int n, int g, double** S, int* labels, double** U, bool isDissim, BelongingWork& work);
// Earlier form: labels 1..g used directly as column numbers (other labels are left out), no
// missing-value test; the rows are scaled to unit sum, complemented (1 - U) when isDissim and
// scaled once more.
bool FuzzyBelonging_OLD(int n, int g, float** S, int* labels, float** U, bool isDissim);

// Crisp 0/1 belonging U (n x g): U[i][k] = 1 when labels[i] is the k-th smallest distinct
// label. Returns true.
bool CrispBelonging(int n, int g, int* labels, float** U);
bool CrispBelonging(int n, int g, int* labels, double** U);
// The same on a work space; false (U untouched) when n exceeds its capacity.
bool CrispBelonging(int n, int g, int* labels, float** U, BelongingWork& work);
bool CrispBelonging(int n, int g, int* labels, double** U, BelongingWork& work);

// Class numbers 1..k over k equal-width classes between min and max, stored in classes[]:
// min gives 1, max gives k, other values ceil((x - min) * k / (max - min)).
// A NaN value gets the class -999 (no class). The MV forms leave -999 values out of the
// minimum and maximum and give them the class -999.
void Classes(int n, float* x, float* classes, int k);
void Classes(int n, double* x, double* classes, int k);
void ClassesDefinition(int n, float* x, float* classes, int k, float min, float max);
void ClassesDefinition(int n, double* x, double* classes, int k, double min, double max);
void ClassesMV(int n, float* x, float* classes, int k);
void ClassesMV(int n, double* x, double* classes, int k);
void ClassesDefinitionMV(int n, float* x, float* classes, int k, float min, float max);
void ClassesDefinitionMV(int n, double* x, double* classes, int k, double min, double max);

// Frequency distribution of x over k equal-width classes between its minimum and maximum:
// freq[0..k-1] = class counts (NaN values are not counted); limits, when not null, receives
// the upper limit of each class.
void FreqDistribution(int n, float* x, int* freq, int k, float* limits);
void FreqDistribution(int n, double* x, int* freq, int k, double* limits);

// The families of the library, one header each.
#include "matrix/core/qwlibUtil.h"
#include "matrix/core/qwlibRandom.h"
#include "matrix/core/qwlibPermut.h"
#include "matrix/qwlibOrdination.h"
#include "matrix/qwLinearModels.h"
#include "matrix/qwlibDispatch.h"
#include "matrix/qwlibGroupStats.h"
#include "matrix/qwlibSumSq.h"
#include "matrix/qwlibPartition.h"
#include "matrix/qwlibSimData.h"
#include "matrix/qwlibEigenStats.h"
#include "matrix/qwlibCluster.h"

#endif
