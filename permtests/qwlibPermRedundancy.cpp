// The redundancy test: per community, its diversity minus its Rao entropy over the resemblance of
// the OTUs, tested by exchanging the OTUs' identities in that resemblance.
#include "permtests/qwlibPermCommunity.h"
#include "permtests/qwlibPermTests.h"

#include <algorithm>

#include "matrix/core/qwlibUtil.h"
#include "statistics/qwlibResRao.h"

template <class ST>
RedundancyTest<ST>::RedundancyTest(int otus_, int communities_, double* D, ST** S, double** W, bool isDissim)
    : otus(otus_), communities(communities_), counted(communities_), Srnd(otus_, otus_), D_(D), S_(S), W_(W),
      isDissim_(isDissim), values_(1, communities_) {
    stat = values_[0];
}

template <class ST>
void RedundancyTest<ST>::Arrange(const int* list) {
    for (int a = 0; a < otus; a++)
        for (int b = 0; b < otus; b++) Srnd[a][b] = S_[list[a] - 1][list[b] - 1];
    for (int c = 0; c < communities; c++) stat[c] = D_[c] - RaoIndex(otus, W_[c], Srnd, isDissim_);
}

template <class ST>
void RedundancyTest<ST>::PrintRedundancy(FILE* f) {
    for (int c = 0; c < communities; c++) fprintf(f, "%g\t", stat[c]);
    fputs("\n", f);
}

template <class ST>
void RedundancyTest<ST>::PrintHeader(FILE* f) {
    PrintHead(f, "\nPERMUTATION TEST FOR REDUNDANCY\n",
              "\nObserved resemblance matrix between OTUs based on the traits:\n", otus, otus, S_, communities, W_);
    fprintf(f, "\nObserved redundancy in %d communities\n", communities);
    PrintRedundancy(f);
}

template <class ST>
void RedundancyTest<ST>::PrintIteration(FILE* f, int it, const int* list, const double*) {
    fprintf(f, "\n\nITERATION\t%d\n", it);
    PrintOtuOrder(f, "\nOrder of OTUs in randomly permuted resemblance matrix between OTUs:\t", otus, list);
    fprintf(f, "\nResemblance matrix between %d OTUs after rearrangement according to OTUs permutation:\n", otus);
    PrintLowerHalfMatrixTab(f, otus, Srnd, kPermDigits);
    fprintf(f, "\nIteration %d\tRedundancy according to the null model in %d communities:\n", it, communities);
    PrintRedundancy(f);
}

template class RedundancyTest<float>;
template class RedundancyTest<double>;

namespace {

template <class ST>
bool RunRedundancy(int iterations, int otus, int communities, double* D, double* P, ST** S, double** W,
                   bool isDissim, bool print, FILE* stream, bool weighted) {
    UpperToLowerMatrix(otus, S);
    std::fill(P, P + std::max(communities, 0), 1.0);
    // The statistic lives within each community: one community is enough.
    if (communities < 1 || otus < 1) return true;
    RedundancyTest<ST> test(otus, communities, D, S, W, isDissim);
    OtuList list(otus, communities, W, weighted);
    RunPermutationTest(test, iterations, list, ListDraw::kContinued, print ? stream : nullptr, P,
                       "Permutation test redundancy: %d of %d");
    return true;
}

}  // namespace

bool Prob_Redundancy(int iterations, int otus, int, int communities, double* D, double* P, float** S, double** W,
                     bool isDissim, bool print, FILE* stream, bool weighted) {
    return RunRedundancy(iterations, otus, communities, D, P, S, W, isDissim, print, stream, weighted);
}

bool Prob_Redundancy(int iterations, int otus, int, int communities, double* D, double* P, double** S, double** W,
                     bool isDissim, bool print, FILE* stream, bool weighted) {
    return RunRedundancy(iterations, otus, communities, D, P, S, W, isDissim, print, stream, weighted);
}
