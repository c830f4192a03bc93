// The multi-statistic trait permutation test: ro(TE), ro(XE), ro(XE.T), ro(RE) and ro(XE.TR)
// under one exchange of the OTUs that moves their traits, their types and their similarities
// together.
#include "permtests/qwlibPermMantel.h"
#include "permtests/qwlibPermTests.h"

#include "matrix/core/qwlibUtil.h"
#include "matrix/qwlibGroupStats.h"
#include "statistics/qwlibResDistance.h"
#include "statistics/qwlibResRao.h"
#include "traits/TNXPERMTEST.h"

namespace {

// T and X take part in the Procrustes and RV comparisons in double, like R and E.
template <class M>
void Widen(int rows, int cols, M** in, double** out) {
    for (int i = 0; i < rows; i++)
        for (int j = 0; j < cols; j++) out[i][j] = in[i][j];
}

}  // namespace

TraitsMultiTest::TraitsMultiTest(int otus, int traits, int types, int env, int communities, int* select, float** B,
                                 float** S, double** U, double** W, float** E, double** DE, int reseOpt,
                                 int statistic, bool matrixForm)
    : means(otus, traits, communities, B, W, select, true,
            statistic == 1 ? TranslateReseOpt_TARNEX_ORBALD(reseOpt) : 0),
      comp(otus, types, communities, U, W, statistic == 1 ? TranslateReseOpt_TARNEX_ORBALD(reseOpt) : 0),
      Srnd(otus, otus), R(communities, 1), DR(communities, communities), otus_(otus), traits_(traits),
      types_(types), env_(env), n_(communities), B_(B), S_(S), U_(U), W_(W), E_(E), DE_(DE), statistic_(statistic),
      matrixForm_(matrixForm), Ed_(statistic == 1 ? 1 : communities, env), Td_(statistic == 1 ? 1 : communities, traits),
      Xd_(statistic == 1 ? 1 : communities, types) {
    // The Rao entropy reads S's upper triangle; the permuted copies read both halves.
    UpperToLowerMatrix(otus, S);
    if (statistic != 1) {
        Widen(communities, env, E, Ed_);
        const int widest = std::max(std::max(traits, types), std::max(env, 1));
        ws_ = std::make_unique<ComparisonWorkspace<double>>(communities, widest, widest);
    }
}

double TraitsMultiTest::Congruence(int colsA, int colsB, double** A, double** B) {
    return statistic_ == 2 ? ProcrustesCoeff(n_, colsA, colsB, A, B, *ws_) : RVcoeff(n_, colsA, colsB, A, B, *ws_);
}

void TraitsMultiTest::Arrange(const int* list) {
    const bool mantel = statistic_ == 1;
    double rTE, rXE, rRE;
    means.Arrange(list);
    comp.Arrange(list);
    for (int i = 0; i < otus_; i++)
        for (int j = 0; j < otus_; j++) Srnd[i][j] = S_[list[i] - 1][list[j] - 1];
    // Rao entropy as an equivalent number of OTUs.
    for (int c = 0; c < n_; c++) R[c][0] = 1.0 / (1.0 - RaoIndex(otus_, W_[c], Srnd, false));
    if (mantel) {
        AbsValFunctionMV(n_, 1, R, DR);
        rTE = CommunityCorr(n_, DE_, means.DT);
        rXE = CommunityCorr(n_, DE_, comp.DX);
        rXT = CommunityCorr(n_, comp.DX, means.DT);
        // The differences of Rao entropies know no two-community rule.
        rRE = MatrixCorr(n_, DE_, DR);
        rXR = MatrixCorr(n_, comp.DX, DR);
        rTR = MatrixCorr(n_, means.DT, DR);
    } else {
        Widen(n_, traits_, static_cast<float**>(means.T), Td_);
        Widen(n_, types_, static_cast<float**>(comp.X), Xd_);
        rTE = Congruence(traits_, env_, Td_, Ed_);
        rXE = Congruence(types_, env_, Xd_, Ed_);
        rXT = Congruence(types_, traits_, Xd_, Td_);
        rRE = Congruence(1, env_, R, Ed_);
        rXR = Congruence(types_, 1, Xd_, R);
        rTR = Congruence(traits_, 1, Td_, R);
    }
    rXE_R = PartialCorrelation(rXE, rXR, rRE);
    rTE_R = PartialCorrelation(rTE, rTR, rRE);
    rXT_R = PartialCorrelation(rXT, rXR, rTR);
    stat[0] = rXE;
    stat[1] = rTE;
    stat[2] = PartialCorrelation(rXE, rXT, rTE);
    stat[3] = rRE;
    stat[4] = PartialCorrelation(rXE_R, rXT_R, rTE_R);
}

void TraitsMultiTest::PrintHeader(FILE* f) {
    const bool mantel = statistic_ == 1;
    PrintHead(f,
              matrixForm_ ? "\nPERMUTATION TEST FOR CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL CORRELATIONS "
                            "ro(XE.T), ro(XE.TR)\n"
                          : "\nPERMUTATION TEST FOR MATRIX CORRELATIONS ro(XE), ro(TE) AND ro(RE), AND PARTIAL MATRIX "
                            "CORRELATIONS ro(XE.T), ro(XE.TR)\n",
              "\nObserved trait matrix (B):\n", otus_, traits_, B_, n_, W_);
    fprintf(f,
            "\n\nMatrix T (comunity weighted means traits in %d communities by %d traits) computed after B (T = W x "
            "B):\n",
            n_, traits_);
    PrintMatrixTab(f, n_, traits_, means.T, kPermDigits);
    if (mantel) {
        PrintResemblance(f,
                         "\nResemblance matrix DT between %d communities (based on matrix T of traits by "
                         "communities):\n",
                         n_, means.DT);
        PrintResemblance(f,
                         matrixForm_ ? "\nResemblance matrix DE between %d communities (based on matrix E of ecological "
                                       "variables by communities):\n"
                                     : "\nResemblance matrix DE between %d communities (base don matrix E of ecological "
                                       "variables by communities):\n",
                         n_, DE_);
        fprintf(f, "\nMatrix correlation between DT and DE:\t%g\n", stat[1]);
    } else {
        PrintTitled(f, "\nMatrix E of communities by ecological variables):\n", n_, env_, E_);
        fprintf(f, statistic_ == 2 ? "\nProcrustes correlation between T and E:\t%g\n"
                                   : "\nRV coefficient between T and E:\t%g\n",
                stat[1]);
    }
    PrintTitled(f, "\nObserved belonging matrix (U):\n", otus_, types_, U_);
    fprintf(f, "\nObserved ro(XT)=\t%g\n", rXT);
    fprintf(f, "Observed ro(XE)=\t%g\n", stat[0]);
    fprintf(f, "Observed ro(XE.T)=\t%g\n", stat[2]);

    PrintTitled(f, "\nObserved similarity matrix (S) between OTUs, based on the traits:\n:", otus_, otus_, S_);
    fprintf(f,
            "\n\nRao entropy vector R (%d communities) computed after S and expressed as equivalent number of OTUs "
            "(Brell 2007):\n",
            n_);
    PrintRao(f);
    if (mantel)
        PrintResemblance(f, "\nResemblance matrix DR comparing communities based on their Rao entropy: \n", n_, DR);
    fputs("\n", f);
}

// R as one line of values, or in the 23-argument form as a one-column matrix.
void TraitsMultiTest::PrintRao(FILE* f) {
    if (matrixForm_) {
        PrintMatrixTab(f, n_, 1, R, kPermDigits);
        return;
    }
    for (int c = 0; c < n_; c++) fprintf(f, "%.*g\t", kPermDigits, R[c][0]);
    fputs("\n", f);
}

void TraitsMultiTest::PrintIteration(FILE* f, int it, const int* list, const double* counts) {
    const bool mantel = statistic_ == 1;
    PrintTraitIteration(f, it, means, list, mantel);
    fprintf(f, "\nIteration %d\tRandom ro(TE) =\t%g\tCummulative frequency for ro(TE)=%g\n", it, stat[1], counts[1]);
    PrintCompositionIteration(f, it, comp, list, mantel);
    fprintf(f,
            "\nIteration %d\tRandom ro(XT) =\t%g\tRandom ro(XE) =\t%g\tRandom ro(XE.T) =\t%g\tCummulative frequency "
            "for ro(XE)=%g\tCummulative frequency for ro(XE.T)=%g\n",
            it, rXT, stat[0], stat[2], counts[0], counts[2]);
    fprintf(f, "\n\nITERATION\t%d\n", it);
    PrintTitled(f, "Permuted similarity matrix (Srnd):\n", otus_, otus_, Srnd);
    PrintOtuOrder(f, "\nOrder of original OTUs in permuted similarity matrix Srnd:\t", otus_, list);
    fprintf(f,
            "\n\nRao entropy vector Rrnd (%d communities) generated after Srnd and expressed as equivalent number of "
            "OTUs (Brell 2007):\n",
            n_);
    PrintRao(f);
    if (mantel) PrintResemblance(f, "\nResemblance matrix DR between %d communities:\n", n_, DR);
    fprintf(f,
            "\nIteration %d\tRandom ro(RE) =\t%g\tRandom ro(XR) =\t%g\tRandom ro(TR) =\t%g\tRandom ro(XE.R) =\t%g\t"
            "Random ro(TE.R) =\t%g\tRandom ro(XT.R) =\t%g\tRandom ro(XE.TR) =\t%g\tCummulative frequency for "
            "ro(RE)=%g\tCummulative frequency for ro(XE.TR)=%g\n",
            it, stat[3], rXR, rTR, rXE_R, rTE_R, rXT_R, stat[4], counts[3], counts[4]);
}

namespace {

bool RunTraits(int iterations, int traits, int* select, int otus, int types, int env, int communities, float** B,
               float** S, double** U, double** W, float** E, double** DE, double* pXE, double* pTE, double* pXE_T,
               double* pRE, double* pXE_TR, int reseOpt, bool print, FILE* stream, bool weighted, int statistic,
               bool matrixForm) {
    double p[kMaxCounted] = {1.0, 1.0, 1.0, 1.0, 1.0};
    const bool offered = statistic >= 1 && statistic <= 3;
    if (offered && Testable(communities, otus)) {
        TraitsMultiTest test(otus, traits, types, env, communities, select, B, S, U, W, E, DE, reseOpt, statistic,
                             matrixForm);
        OtuList list(otus, communities, W, weighted);
        RunPermutationTest(test, iterations, list, ListDraw::kContinued, print ? stream : nullptr, p);
    }
    *pXE = p[0];
    *pTE = p[1];
    *pXE_T = p[2];
    *pRE = p[3];
    *pXE_TR = p[4];
    return offered;
}

}  // namespace

bool Prob_ro_Traits(int iterations, int traits, int* select, int otus, int types, int communities, float** B,
                    float** S, double** U, double** W, double** DE, double* pXE, double* pTE, double* pXE_T,
                    double* pRE, double* pXE_TR, int reseOpt, bool print, FILE* stream, bool weighted) {
    return RunTraits(iterations, traits, select, otus, types, 0, communities, B, S, U, W, nullptr, DE, pXE, pTE,
                     pXE_T, pRE, pXE_TR, reseOpt, print, stream, weighted, 1, false);
}

bool Prob_ro_Traits(int iterations, int traits, int* select, int otus, int types, int env, int communities,
                    float** B, float** S, double** U, double** W, float** E, double** DE, double* pXE, double* pTE,
                    double* pXE_T, double* pRE, double* pXE_TR, int reseOpt, bool print, FILE* stream,
                    bool weighted, int statistic) {
    return RunTraits(iterations, traits, select, otus, types, env, communities, B, S, U, W, E, DE, pXE, pTE, pXE_T,
                     pRE, pXE_TR, reseOpt, print, stream, weighted, statistic, true);
}
