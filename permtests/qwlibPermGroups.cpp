// Permutation tests that move something other than given rows of U: ro(XE.T) with the belonging
// rebuilt from permuted group labels, and ro(XP.T) with the rows of the phylogenetic belonging
// Q permuted while the trait-based composition stays.
#include "permtests/qwlibPermMantel.h"
#include "permtests/qwlibPermTests.h"

#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlib.h"
#include "matrix/qwlibDispatch.h"
#include "matrix/qwlibGroupStats.h"
#include "traits/TNXPERMTEST.h"

#include <cmath>
#include <vector>

namespace {

const char* const kDT = "\nResemblance matrix DT between %d communities (based on matrix T of traits by communities):\n";

int DistinctLabels(int otus, int* labels) {
    int g = 0;
    CountGroupsNew(otus, labels, &g, nullptr);
    return g;
}

}  // namespace

// ------------------------------------------------------------------ group labels

LabelBelongingTest::LabelBelongingTest(int otus_, int communities_, int* labels, float** S, float** W, float rTE,
                                       double** DT, double** DE, int reseOpt, bool isDissim, bool fuzzy)
    : otus(otus_), communities(communities_), groups(DistinctLabels(otus_, labels)),
      Srnd(fuzzy ? otus_ : 1, fuzzy ? otus_ : 1), U(otus_, groups), X(communities_, groups),
      DX(communities_, communities_), labels_(labels), S_(S), W_(W), rTE_(rTE), DT_(DT), DE_(DE),
      code_(TranslateReseOpt_TARNEX_ORBALD(reseOpt)), isDissim_(isDissim), fuzzy_(fuzzy),
      labelsRnd_(dim1Dint(std::max(otus_, 1))), belonging_(otus_) {
    // The belonging reads S's upper triangle; the permuted copies read both halves.
    if (fuzzy) UpperToLowerMatrix(otus, S);
}

LabelBelongingTest::~LabelBelongingTest() { free1D(labelsRnd_); }

void LabelBelongingTest::Arrange(const int* list) {
    for (int a = 0; a < otus; a++) labelsRnd_[a] = labels_[list[a] - 1];
    if (fuzzy_) {
        // S is not read by the crisp belonging, so only the fuzzy one moves it.
        for (int a = 0; a < otus; a++)
            for (int b = 0; b < otus; b++) Srnd[a][b] = S_[list[a] - 1][list[b] - 1];
        FuzzyBelonging(otus, groups, Srnd, labelsRnd_, U, isDissim_, belonging_);
    } else {
        CrispBelonging(otus, groups, labelsRnd_, U, belonging_);
    }
    MatrixProdMV(communities, otus, otus, groups, W_, U, X);
    if (code_ != 0)
        ResemblanceLib(communities, groups, static_cast<float**>(X), DX, 1, code_, 0, nullptr, 0.0, 0.0, 0, false);
    const float rXE = static_cast<float>(CommunityCorr(communities, DE_, DX));
    const float rXT = static_cast<float>(CommunityCorr(communities, DX, DT_));
    shown[0] = rXT;
    shown[1] = rXE;
    shown[2] = stat[0] = PartialCorrelation(rXE, rXT, rTE_);
}

void LabelBelongingTest::PrintHeader(FILE* f) {
    fputs("\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XE.T)\n", f);
    fputs("INTERMEDIATE RESULTS\n", f);
    PrintOtuOrder(f, "\nObserved vector with crisp belonging of OTUs to groups:\n", otus, labels_);
    PrintTitled(f, "\nObserved belonging matrix (U):\n", otus, groups, U);
    fprintf(f, "\nMatrix W (%d communities by %d OTUs):\n", communities, otus);
    PrintMatrixTab(f, communities, otus, W_, kPermDigits);
    PrintResemblance(f, kDT, communities, DT_);
    PrintResemblance(
        f, "\nResemblance matrix DE between %d communities (base don matrix E of ecological variables by communities):\n",
        communities, DE_);
    fprintf(f, "\nMatrix correlation between DT and DE:\t%g\n", rTE_);
    fprintf(f, "\nObserved ro(XT)=\t%g\n", shown[0]);
    fprintf(f, "Observed ro(XE)=\t%g\n", shown[1]);
    fprintf(f, "Observed ro(XE.T)=\t%g\n", shown[2]);
}

void LabelBelongingTest::PrintIteration(FILE* f, int it, const int*, const double* counts) {
    fprintf(f, "\n\nITERATION\t%d\n", it);
    PrintOtuOrder(f, "\nPermuted vector with crisp belonging of OTUs to groups:\n", otus, labelsRnd_);
    PrintTitled(f, "Permuted belonging matrix (Urnd):\n", otus, groups, U);
    fprintf(f, "\n\nMatrix Xrnd (%d communities by %d PFTs) generated after Urnd (Xrnd = W x Urnd):\n", communities,
            groups);
    PrintMatrixTab(f, communities, groups, X, kPermDigits);
    PrintResemblance(f, "\nResemblance matrix DX between %d communities:\n", communities, DX);
    fprintf(f,
            "\nIteration %d\tRandom ro(XT) =\t%g\tRandom ro(XE) =\t%g\tRandom ro(XE.T) =\t%g\tCummulative "
            "frequency=%g\n",
            it, shown[0], shown[1], shown[2], counts[0]);
}

float Prob_ro_XE_T_2(int iterations, int otus, int, int communities, int* labels, float** S, float** W, float rTE,
                     double** DT, double** DE, int reseOpt, bool isDissim, bool fuzzy, bool print, FILE* stream) {
    if (!Testable(communities, otus)) return 1.0f;
    LabelBelongingTest test(otus, communities, labels, S, W, rTE, DT, DE, reseOpt, isDissim, fuzzy);
    OtuList list(otus);
    double p[kMaxCounted];
    RunPermutationTest(test, iterations, list, ListDraw::kFresh, print ? stream : nullptr, p);
    // The count and the iterations in single precision.
    const int total = std::max(iterations, 1);
    return static_cast<float>(std::round(p[0] * total)) / static_cast<float>(total);
}

// ------------------------------------------------------------------ taxa rows permuted

PhylogenyCompositionTest::PhylogenyCompositionTest(int otus, int types_, int communities, double** U, double** Q,
                                                   double** W, double** DT, int reseOpt)
    : types(otus, types_, communities, U, W, TranslateReseOpt_TARNEX_ORBALD(reseOpt)),
      taxa(otus, types_, communities, Q, W, TranslateReseOpt_TARNEX_ORBALD(reseOpt)), U_(U), Q_(Q), W_(W), DT_(DT) {
    // X, DX and their correlation with DT do not change.
    std::vector<int> identity(std::max(otus, 1));
    for (int i = 0; i < otus; i++) identity[i] = i + 1;
    types.Arrange(identity.data());
    rXT = CommunityCorr(communities, types.DX, DT);
}

void PhylogenyCompositionTest::Arrange(const int* list) {
    taxa.Arrange(list);
    const int n = taxa.communities;
    stat[0] = CommunityCorr(n, types.DX, taxa.DX);
    stat[1] = CommunityCorr(n, taxa.DX, DT_);
    stat[2] = PartialCorrelation(stat[0], rXT, stat[1]);
}

void PhylogenyCompositionTest::PrintHeader(FILE* f) {
    const int n = taxa.communities, s = taxa.otus, k = taxa.types;
    fputs("\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XP.T) (correlation of PSAP to TDAP)\n", f);
    fputs("INTERMEDIATE RESULTS\n", f);
    PrintTitled(f, "\nObserved belonging matrix based on traits(U):\n", s, k, U_);
    PrintTitled(f, "\nObserved belonging matrix based on phylogeny(Q):\n", s, k, Q_);
    fprintf(f, "\nMatrix W (%d communities by %d OTUs):\n", n, s);
    PrintMatrixTab(f, n, s, W_, kPermDigits);
    PrintResemblance(f, kDT, n, DT_);
    PrintResemblance(f, "\nResemblance matrix DX between %d communities:\n", n, types.DX);
    fprintf(f, "Observed ro(XP)=\t%g\n", stat[0]);
    fprintf(f, "\nObserved ro(XT)=\t%g\n", rXT);
    fprintf(f, "Observed ro(PT)=\t%g\n", stat[1]);
    fprintf(f, "Observed ro(XP.T)=\t%g\n", stat[2]);
}

void PhylogenyCompositionTest::PrintIteration(FILE* f, int it, const int* list, const double* counts) {
    const int n = taxa.communities, s = taxa.otus, k = taxa.types;
    const IterationTexts texts{
        "Permuted belonging matrix based on plylogenetic similarities (Qrnd):\n",
        "\nOrder of original OTUs in permuted belongin matrices Urnd and Qrnd:\t",
        "\n\nMatrix Prnd (%d communities by %d PFTs) generated after Qrnd (Xrnd = W x Qrnd):\n",
        "\nResemblance matrix DP between %d communities:\n"};
    PrintPermutedBlock(f, it, texts, s, k, static_cast<double**>(taxa.Urnd), list, n, static_cast<float**>(taxa.X),
                       taxa.DX);
    fprintf(f,
            "\nIteration %d\nRandom ro(PX) =\t%g\tCummulative frequency=%g\nRandom ro(PT) =\t%g\tCummulative "
            "frequency=%g\n ro(XT) =\t%g\nRandom ro(PX.T) =\t%g\tCummulative frequency=%g\n",
            it, stat[0], counts[0], stat[1], counts[1], rXT, stat[2], counts[2]);
}

void Prob_ro_PX_T(int iterations, int otus, int types, int communities, double** U, double** Q, double** W,
                  double** DT, double* pXP, double* pPT, double* pXP_T, int reseOpt, bool print, FILE* stream,
                  bool weighted) {
    double p[kMaxCounted] = {1.0, 1.0, 1.0};
    if (Testable(communities, otus)) {
        PhylogenyCompositionTest test(otus, types, communities, U, Q, W, DT, reseOpt);
        OtuList list(otus, communities, W, weighted);
        RunPermutationTest(test, iterations, list, ListDraw::kContinued, print ? stream : nullptr, p);
    }
    *pXP = p[0];
    *pPT = p[1];
    *pXP_T = p[2];
}
