// Limiting similarity per community: the mean nearest-neighbour resemblance among the OTUs that
// occur together, tested by exchanging the OTUs' identities in their resemblance matrix.
#include "permtests/qwlibPermCommunity.h"
#include "permtests/qwlibPermTests.h"

#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlibGroupStats.h"

LimitingSimilarityTest::LimitingSimilarityTest(int otus_, int communities_, double** W, float** R, bool isDissim)
    : otus(otus_), communities(communities_), counted(1 + 2 * communities_), Rrnd(otus_, otus_), W_(W), R_(R),
      isDissim_(isDissim), values_(2, counted), present_(1, communities_) {
    stat = values_[0];
    each = values_[1];
    for (int c = 0; c < communities; c++)
        for (int o = 0; o < otus; o++)
            if (W[c][o] > 0) present_[0][c]++;
}

void LimitingSimilarityTest::Arrange(const int* list) {
    for (int i = 0; i < otus; i++)
        for (int j = i + 1; j < otus; j++) Rrnd[i][j] = Rrnd[j][i] = R_[list[i] - 1][list[j] - 1];
    overall = NearNeigAvgTraitRese_WithinEachCommunity(otus, communities, each, W_, Rrnd, isDissim_, false,
                                                       present_[0]);
    // Small mean resemblances are the extreme ones for similarities: counted negated.
    const double tail = isDissim_ ? 1.0 : -1.0;
    stat[0] = tail * overall;
    for (int c = 0; c < communities; c++) {
        stat[1 + c] = tail * each[c];
        stat[1 + communities + c] = -tail * each[c];
    }
}

void LimitingSimilarityTest::PrintHeader(FILE* f) {
    fputs("\nPERMUTATION TEST for the \n", f);
    fputs("\nTest statistic: Mean nearest-neighbour resemblance within communities (it is the 'TS1 Mean NN ED' in "
          "Halvey & Prenton 2004 if the resemblance is Euclidean distance)\n",
          f);
    fputs("INTERMEDIATE RESULTS\n", f);
    fprintf(f, isDissim_ ? "\nObserved dissimilarity matrix of %d OTUs:\n" : "\nObserved similarity matrix of %d OTUs:\n",
            otus);
    PrintMatrixTab(f, otus, otus, R_, kPermDigits);
    fprintf(f, "\nCommunity data matrix (%d communities by %d OTUs):\n", communities, otus);
    PrintMatrixTab(f, communities, otus, W_, kPermDigits);
    fprintf(f, "\n\nObserved test statistic for the set of communities=\t%g\n", overall);
    fputs("Observed test statistic for each community:", f);
    for (int c = 0; c < communities; c++) fprintf(f, "\t%g", each[c]);
    fputs("\n", f);
}

void LimitingSimilarityTest::PrintIteration(FILE* f, int it, const int* list, const double* counts) {
    PrintTitled(f, "\n\nPermuted distance matrix:\n", otus, otus, Rrnd);
    PrintOtuOrder(f, "\n\nOrder of original OTUs in permuted matrix:\t", otus, list);
    fprintf(f, "\nIteration %d\tRandom test statistic=\t%g\tCummulative frequency=%g\n", it, overall, counts[0]);
    for (int c = 0; c < communities; c++)
        fprintf(f, "\nIteration %d\tRandom test statistic for community\t%d\t%g\tCummulative frequency=%g\n", it, c + 1,
                each[c], counts[1 + c]);
}

double Prob_LimitingSimilarityEachComm(int iterations, int otus, int communities, double* pOpposite, double* pTail,
                                       double** W, float** R, bool isDissim, bool print, FILE* stream) {
    UpperToLowerMatrix(otus, R);
    for (int c = 0; c < communities; c++) pOpposite[c] = pTail[c] = 1.0;
    // The statistic lives within each community: one community is enough.
    if (communities < 1 || otus < 1) return 1.0;
    LimitingSimilarityTest test(otus, communities, W, R, isDissim);
    OtuList list(otus);
    WorkMatrix<double> p(1, test.counted);
    RunPermutationTest(test, iterations, list, ListDraw::kFresh, print ? stream : nullptr, p[0]);
    for (int c = 0; c < communities; c++) {
        pTail[c] = p[0][1 + c];
        pOpposite[c] = p[0][1 + communities + c];
    }
    return p[0][0];
}
