// The tests whose statistic lives within each community: limiting similarity and redundancy.
// The rows and columns of the OTU resemblance are permuted together while W stays; each class
// computes its statistics from one arrangement and writes its intermediate results, and the
// members of qwlibPermTests.h run it through RunPermutationTest.
#ifndef TNX_QWLIBPERMCOMMUNITY_H
#define TNX_QWLIBPERMCOMMUNITY_H

#include <cstdio>

#include "permtests/qwlibPermSkeleton.h"

// The mean nearest-neighbour resemblance within the communities over Rrnd, Rrnd[i][j] =
// R[list[i] - 1][list[j] - 1] off the diagonal. Counted, each turned so that its tail is the
// upper one (negated for similarities): stat[0] the mean over the communities, stat[1 + c]
// community c, stat[1 + communities + c] community c in the opposite tail.
class LimitingSimilarityTest {
public:
    // R is read in both triangles: the caller mirrors it first.
    LimitingSimilarityTest(int otus, int communities, double** W, float** R, bool isDissim);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    const int otus, communities;
    const int counted;
    double overall = 0.0;  // the mean of the arrangement
    double* each;          // each community's value of the arrangement
    double* stat;
    WorkMatrix<float> Rrnd;

private:
    double** W_;
    float** R_;
    bool isDissim_;
    WorkMatrix<double> values_;  // row 0: stat, row 1: each
    WorkMatrix<int> present_;    // present OTUs per community, counted once
};

// Redundancy D[c] - Q_c, Q_c the Rao entropy of community c over Srnd[a][b] = S[list[a] - 1]
// [list[b] - 1]; stat[c] is community c's. ST is S's element type, kept by Srnd so that the
// identity reproduces the observed values.
template <class ST>
class RedundancyTest {
public:
    // S is read in both triangles: the caller mirrors it first.
    RedundancyTest(int otus, int communities, double* D, ST** S, double** W, bool isDissim);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    const int otus, communities;
    const int counted;
    double* stat;
    WorkMatrix<ST> Srnd;

private:
    void PrintRedundancy(FILE* f);
    double* D_;
    ST** S_;
    double** W_;
    bool isDissim_;
    WorkMatrix<double> values_;
};

#endif
