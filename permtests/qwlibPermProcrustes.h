// The Procrustes tests: the congruence of a community matrix with E measured by the Procrustes
// coefficient of the two tables themselves (no resemblance among the communities). Each class
// computes its statistics from one arrangement of the OTUs and writes its intermediate results;
// the members of qwlibPermTests.h run it through RunPermutationTest.
#ifndef TNX_QWLIBPERMPROCRUSTES_H
#define TNX_QWLIBPERMPROCRUSTES_H

#include <cstdio>

#include "matrix/qwLinearModels.h"
#include "permtests/qwlibPermSkeleton.h"
#include "statistics/qwlibResCompare.h"

// trace(TE) (kTE: the trait rows permuted, T = W x Brnd normalised) or traceW(XE) (kXE: the rows
// of U permuted, X = W x Urnd), the single-precision coefficient against E; stat[0].
enum class ProcrustesStatistic { kTE, kXE };

class ProcrustesTest {
public:
    // B and select for kTE, U for kXE (the other may be null); columns: traits or types.
    ProcrustesTest(ProcrustesStatistic kind, int otus, int columns, int communities, float** B, double** U, double** W,
                   int* select, int env, float** E);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    int counted = 1;
    double stat[kMaxCounted] = {};
    TraitMeans<double> means;
    Composition<double, double, float> comp;

private:
    ProcrustesStatistic kind_;
    float** B_;
    double** U_;
    double** W_;
    int env_;
    float** E_;
    ComparisonWorkspace<float> ws_;
};

// traceW(TE), traceW(XE), traceW(XE.T), traceW(RE), traceW(XE.TR) (counted in this order), in
// double, under one arrangement moving the rows of B and U and the rows and columns of S. T has
// traits + 1 columns: W x Brnd over the selected traits (normalised), then R, the Rao entropy of
// each community over Srnd (distance sqrt(1 - s)). The partialled statistics compare the
// residuals of X and of E regressed on the selected columns of T (XE.T) and on those and R
// (XE.TR); residuals with no sum of squares left give 0.
class ProcrustesTraitsTest {
public:
    // S is read in both triangles: the caller mirrors it first. select is copied.
    ProcrustesTraitsTest(int otus, int traits, int types, int env, int communities, const int* select, float** B,
                         float** S, double** U, double** W, float** E);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    int counted = 5;
    double stat[kMaxCounted] = {};
    Composition<double, double, double> comp;
    WorkMatrix<float> Brnd, Srnd;
    WorkMatrix<double> T, R;

private:
    double Coefficient(int cols, double** A, double** M);
    double Partialled(int predictors);
    void PrintRao(FILE* f);
    const int otus_, traits_, types_, env_, n_;
    float** B_;
    float** S_;
    double** U_;
    double** W_;
    WorkMatrix<double> Ed_, Eres_, Xres_;
    WorkMatrix<int> select_;  // the traits' selection and 1 for R
    double ssE_ = 0.0;        // E's sum of squares about the column means
    ComparisonWorkspace<double> ws_;
    RegressionWorkspace<double> reg_;  // the residuals of X and E on T
};

#endif
