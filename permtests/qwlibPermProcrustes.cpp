// Procrustes permutation tests: trace(TE) and traceW(XE) one at a time, and the five congruences
// traceW(TE), traceW(XE), traceW(XE.T), traceW(RE), traceW(XE.TR) under one exchange of the OTUs.
#include "permtests/qwlibPermProcrustes.h"
#include "permtests/qwlibPermMantel.h"
#include "permtests/qwlibPermTests.h"

#include <algorithm>

#include "matrix/core/qwlibUtil.h"
#include "matrix/qwLinearModels.h"
#include "statistics/qwlibRes.h"
#include "statistics/qwlibResRao.h"

namespace {

// Residuals whose sum of squares is at most this share of the response's are rounding left over
// from an exact fit: nothing remains to compare.
const double kVanishing = 1e-10;

// Sum of squares of the n x p cells about their column means.
double CentredSS(int n, int p, double** M) {
    double ss = 0.0;
    for (int j = 0; j < p; j++) {
        double mean = 0.0;
        for (int i = 0; i < n; i++) mean += M[i][j];
        mean /= n;
        for (int i = 0; i < n; i++) ss += (M[i][j] - mean) * (M[i][j] - mean);
    }
    return ss;
}

}  // namespace

// ---------------------------------------------------------------- trace(TE) and traceW(XE)

ProcrustesTest::ProcrustesTest(ProcrustesStatistic kind, int otus, int columns, int communities, float** B,
                               double** U, double** W, int* select, int env, float** E)
    : means(otus, kind == ProcrustesStatistic::kTE ? columns : 0, communities, B, W, select, true, 0),
      comp(otus, kind == ProcrustesStatistic::kXE ? columns : 0, communities, U, W, 0), kind_(kind), B_(B), U_(U),
      W_(W), env_(env), E_(E), ws_(communities, env, columns) {}

void ProcrustesTest::Arrange(const int* list) {
    if (kind_ == ProcrustesStatistic::kTE) {
        means.Arrange(list);
        stat[0] = ProcrustesCoeff(means.communities, env_, means.traits, E_, means.T, ws_);
    } else {
        comp.Arrange(list);
        stat[0] = ProcrustesCoeff(comp.communities, env_, comp.types, E_, comp.X, ws_);
    }
}

void ProcrustesTest::PrintHeader(FILE* f) {
    if (kind_ == ProcrustesStatistic::kTE) {
        PrintHead(f, "\nPERMUTATION TEST FOR PROCRUSTES CONGRUENCE trace(TE)\n", "\nObserved trait matrix (B):\n",
                  means.otus, means.traits, B_, means.communities, W_);
        fprintf(f, "\nObserved Procrustes trace(TE)=\t%g\n", stat[0]);
    } else {
        PrintHead(f, "\nPERMUTATION TEST FOR PROCRUSTES traceW(XE)\n", "\nObserved belonging matrix (U):\n", comp.otus,
                  comp.types, U_, comp.communities, W_);
        fprintf(f, "Observed traceXE=\t%g\n", stat[0]);
    }
}

void ProcrustesTest::PrintIteration(FILE* f, int it, const int* list, const double* counts) {
    if (kind_ == ProcrustesStatistic::kTE) {
        PrintTraitIteration(f, it, means, list, false);
        fprintf(f, "\nIteration %d\tRandom traceTE =\t%g\tCummulative frequency for ro(TE)=%g\n", it, stat[0],
                counts[0]);
    } else {
        PrintCompositionIteration(f, it, comp, list, false);
        fprintf(f, "\nIteration %d\tRandom procrustesXE =\t%g\tCummulative frequency for procrustesXE=%g\n", it,
                stat[0], counts[0]);
    }
}

// ---------------------------------------------------------------- the five congruences

ProcrustesTraitsTest::ProcrustesTraitsTest(int otus, int traits, int types, int env, int communities,
                                           const int* select, float** B, float** S, double** U, double** W,
                                           float** E)
    : comp(otus, types, communities, U, W, 0), Brnd(otus, traits), Srnd(otus, otus), T(communities, traits + 1),
      R(communities, 1), otus_(otus), traits_(traits), types_(types), env_(env), n_(communities), B_(B), S_(S), U_(U),
      W_(W), Ed_(communities, env), Eres_(communities, env), Xres_(communities, types), select_(1, traits + 1),
      ws_(communities, std::max(std::max(traits, types), std::max(env, 1)),
          std::max(std::max(traits, types), std::max(env, 1))),
      reg_(communities, std::max(types, env), traits + 1) {
    // The caller's selection has one entry per trait; R's entry is added to a copy.
    std::copy(select, select + traits, select_[0]);
    select_[0][traits] = 1;
    for (int c = 0; c < communities; c++)
        for (int v = 0; v < env; v++) Ed_[c][v] = E[c][v];
    ssE_ = CentredSS(communities, env, Ed_);
}

double ProcrustesTraitsTest::Coefficient(int cols, double** A, double** M) {
    return ProcrustesCoeff(n_, env_, cols, A, M, ws_);
}

// X and E regressed on the selected ones of the first `predictors` columns of T.
double ProcrustesTraitsTest::Partialled(int predictors) {
    Regression_ResidualsSelect(n_, types_, predictors, comp.X, T, Xres_, select_[0], reg_);
    Regression_ResidualsSelect(n_, env_, predictors, Ed_, T, Eres_, select_[0], reg_);
    if (CentredSS(n_, types_, Xres_) <= kVanishing * CentredSS(n_, types_, comp.X) ||
        CentredSS(n_, env_, Eres_) <= kVanishing * ssE_)
        return 0.0;
    return Coefficient(types_, Eres_, Xres_);
}

void ProcrustesTraitsTest::Arrange(const int* list) {
    for (int i = 0; i < otus_; i++) std::copy(B_[list[i] - 1], B_[list[i] - 1] + traits_, Brnd[i]);
    MatrixProdSelectMV(n_, otus_, otus_, traits_, W_, Brnd, T, select_[0]);
    NormalizeCols(n_, traits_, T, T);
    stat[0] = Coefficient(traits_, Ed_, T);
    comp.Arrange(list);
    stat[1] = Coefficient(types_, Ed_, comp.X);
    stat[2] = Partialled(traits_);
    for (int a = 0; a < otus_; a++)
        for (int b = 0; b < otus_; b++) Srnd[a][b] = S_[list[a] - 1][list[b] - 1];
    for (int c = 0; c < n_; c++) R[c][0] = RaoIndex(otus_, W_[c], Srnd, false);
    stat[3] = Coefficient(1, Ed_, R);
    for (int c = 0; c < n_; c++) T[c][traits_] = R[c][0];
    stat[4] = Partialled(traits_ + 1);
}

void ProcrustesTraitsTest::PrintRao(FILE* f) {
    for (int c = 0; c < n_; c++) fprintf(f, "%.*g\t", kPermDigits, R[c][0]);
    fputs("\n", f);
}

void ProcrustesTraitsTest::PrintHeader(FILE* f) {
    PrintHead(f, "\nPERMUTATION TEST FOR PROCRUSTES traceW\n", "\nObserved trait matrix (B):\n", otus_, traits_, B_, n_,
              W_);
    fprintf(f,
            "\n\nMatrix T (comunity weighted means traits in %d communities by %d traits) computed after B (T = W x "
            "B):\n",
            n_, traits_);
    PrintMatrixTab(f, n_, traits_, T, kPermDigits);
    PrintTitled(f, "\nObserved belonging matrix (U):\n", otus_, types_, U_);
    fprintf(f, "\nMatrix X (%d communities by %d types):\n", n_, types_);
    PrintMatrixTab(f, n_, types_, comp.X, kPermDigits);
    PrintTitled(f, "\nObserved similarity matrix (S) between OTUs, based on the traits:\n:", otus_, otus_, S_);
    fprintf(f, "\n\nRao entropy vector R (%d communities) computed after S:\n", n_);
    PrintRao(f);
    fprintf(f, "\nProcrustes congruence observed traceW(XE):\t%g\n", stat[1]);
    fprintf(f, "\nProcrustes congruence observed traceW(TE):\t%g\n", stat[0]);
    fprintf(f, "\nProcrustes congruence observed traceW(XE.T):\t%g\n", stat[2]);
    fprintf(f, "\nProcrustes congruence observed traceW(RE):\t%g\n", stat[3]);
    fprintf(f, "\nProcrustes congruence observed traceW(XE.TR):\t%g\n", stat[4]);
}

void ProcrustesTraitsTest::PrintIteration(FILE* f, int it, const int* list, const double* counts) {
    const IterationTexts texts{"Permuted trait matrix (Brnd):\n",
                               "\nOrder of original OTUs in permuted traits matrix Brnd:\t",
                               "\n\nMatrix Trnd (%d communities by %d traits) generated after Brnd (Trnd = W x Brnd):\n",
                               nullptr};
    PrintPermutedBlock(f, it, texts, otus_, traits_, static_cast<float**>(Brnd), list, n_, static_cast<double**>(T),
                       nullptr);
    PrintTitled(f, "Permuted belonging matrix (Urnd):\n", otus_, types_, comp.Urnd);
    fprintf(f, "\n\nMatrix Xrnd (%d communities by %d PFTs) generated after Urnd (Xrnd = W x Urnd):\n", n_, types_);
    PrintMatrixTab(f, n_, types_, comp.X, kPermDigits);
    fprintf(f,
            "\nIteration %d\tRandom traceTE =\t%g\tprocrustesXE =\t%g\tprocrustesXE_T =\t%g\tCummulative frequency for "
            "ro(TE)=%g\tCummulative frequency for ro(XE)=%g\tCummulative frequency for ro(XE.T)=%g\n",
            it, stat[0], stat[1], stat[2], counts[0], counts[1], counts[2]);
    fprintf(f,
            "\nIteration %d\tRandom procrustes traceRE =\t%g\tCummulative frequency for ro(RE)=%g\tprocrustesXE_TR "
            "=\t%g\tCummulative frequency for ro(XE.TR)=%g\t\n",
            it, stat[3], counts[3], stat[4], counts[4]);
}

// ---------------------------------------------------------------- members

namespace {

double RunProcrustes(ProcrustesStatistic kind, int iterations, int otus, int columns, int communities, float** B,
                     double** U, double** W, int* select, int env, float** E, bool print, FILE* stream,
                     bool weighted) {
    if (!Testable(communities, otus)) return 1.0;
    ProcrustesTest test(kind, otus, columns, communities, B, U, W, select, env, E);
    OtuList list(otus, communities, W, weighted);
    double p[kMaxCounted];
    RunPermutationTest(test, iterations, list, ListDraw::kContinued, print ? stream : nullptr, p);
    return p[0];
}

}  // namespace

double Prob_ProcrustesTE(int iterations, int otus, int traits, int communities, float** B, double** W, int* select,
                         int env, float** E, bool print, FILE* stream, bool weighted) {
    return RunProcrustes(ProcrustesStatistic::kTE, iterations, otus, traits, communities, B, nullptr, W, select, env,
                         E, print, stream, weighted);
}

double Prob_Procrustes_XE(int iterations, int otus, int types, int communities, double** U, double** W, int env,
                          float** E, bool print, FILE* stream, bool weighted) {
    return RunProcrustes(ProcrustesStatistic::kXE, iterations, otus, types, communities, nullptr, U, W, nullptr, env,
                         E, print, stream, weighted);
}

bool Prob_Procrustes_Traits(int iterations, int traits, int* select, int otus, int types, int communities, float** B,
                            float** S, double** U, double** W, int env, float** E, double* pTE, double* pXE,
                            double* pXE_T, double* pRE, double* pXE_TR, bool print, FILE* stream, bool weighted) {
    UpperToLowerMatrix(otus, S);
    double p[kMaxCounted] = {1.0, 1.0, 1.0, 1.0, 1.0};
    if (Testable(communities, otus)) {
        ProcrustesTraitsTest test(otus, traits, types, env, communities, select, B, S, U, W, E);
        OtuList list(otus, communities, W, weighted);
        RunPermutationTest(test, iterations, list, ListDraw::kContinued, print ? stream : nullptr, p);
    }
    *pTE = p[0];
    *pXE = p[1];
    *pXE_T = p[2];
    *pRE = p[3];
    *pXE_TR = p[4];
    return true;
}
