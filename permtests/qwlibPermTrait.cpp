// Permutation tests of ro(TE) and its partials ro(TE.C), ro(TE.P), ro(TE.PC): the rows of the
// trait matrix are exchanged among the OTUs while W and the community resemblances stay.
#include "permtests/qwlibPermMantel.h"
#include "permtests/qwlibPermTests.h"

#include "matrix/qwlibGroupStats.h"
#include "traits/TNXPERMTEST.h"

namespace {

const char* const kDEBaseDon =
    "\nResemblance matrix DE between %d communities (base don matrix E of ecological variables by communities):\n";

// The partial statistics of ro(TE.P) and ro(TE.PC) carry the name of the first.
bool NamedTE(TraitStatistic kind) { return kind == TraitStatistic::kTE || kind == TraitStatistic::kTE_C; }

}  // namespace

template <class WT>
TraitCorrelationTest<WT>::TraitCorrelationTest(TraitStatistic kind, int otus, int traits, int communities, float** B,
                                               WT** W, int* select, int reseOpt, bool normalise, double** DE,
                                               double** DC, double** DP, double given)
    : means(otus, traits, communities, B, W, select, normalise, TranslateReseOpt_TARNEX_ORBALD(reseOpt)), kind_(kind),
      W_(W), B_(B), DE_(DE), DC_(DC), DP_(DP), given_(given) {
    // The correlations among the fixed resemblances are computed once.
    if (kind == TraitStatistic::kTE_C) rEC_ = static_cast<float>(CommunityCorr(communities, DC, DE));
    if (kind == TraitStatistic::kTE_PC) {
        rEC_ = CommunityCorr(communities, DC, DE);
        rPC_ = CommunityCorr(communities, DC, DP);
    }
}

template <class WT>
void TraitCorrelationTest<WT>::Arrange(const int* list) {
    means.Arrange(list);
    const int n = means.communities;
    double** DT = means.DT;
    const double rTE = CommunityCorr(n, DE_, DT);
    switch (kind_) {
        case TraitStatistic::kTE:
            stat[0] = static_cast<float>(rTE);
            break;
        case TraitStatistic::kTE_C:
            stat[0] = PartialCorrelation(static_cast<float>(rTE), static_cast<float>(CommunityCorr(n, DC_, DT)),
                                         static_cast<float>(rEC_));
            break;
        case TraitStatistic::kTE_P:
            stat[0] = PartialCorrelation(rTE, CommunityCorr(n, DP_, DT), given_);
            break;
        case TraitStatistic::kTE_PC: {
            const double rTC = CommunityCorr(n, DC_, DT);
            const double rTE_C = PartialCorrelation(rTE, rTC, rEC_);
            const double rTP_C = PartialCorrelation(CommunityCorr(n, DP_, DT), rTC, rPC_);
            stat[0] = PartialCorrelation(rTE_C, rTP_C, given_);
            break;
        }
    }
}

template <class WT>
void TraitCorrelationTest<WT>::PrintHeader(FILE* f) {
    const int n = means.communities;
    PrintHead(f,
              NamedTE(kind_) ? "\nPERMUTATION TEST FOR MATRIX CORRELATION ro(TE)\n"
                             : "\nPERMUTATION TEST FOR PARTIAL MATRIX CORRELATION ro(TE.P)\n",
              "\nObserved trait matrix (B):\n", means.otus, means.traits, B_, n, W_);
    switch (kind_) {
        case TraitStatistic::kTE:
            PrintResemblance(f, kDEBaseDon, n, DE_);
            break;
        case TraitStatistic::kTE_C:
            PrintResemblance(f, kDEBaseDon, n, DE_);
            PrintResemblance(f,
                             "\nResemblance matrix DC between %d communities (based on matrix of ecological "
                             "covariables by communities):\n",
                             n, DC_);
            break;
        case TraitStatistic::kTE_P:
        case TraitStatistic::kTE_PC:
            PrintResemblance(f,
                             "\nResemblance matrix DP between %d communities (based on matrix P of OTUs by communities "
                             "weighted by phylogeny):\n",
                             n, DP_);
            PrintResemblance(f, kDEBaseDon, n, DE_);
            if (kind_ == TraitStatistic::kTE_P) {
                fprintf(f, "\nMatrix correlation between DP and DE:\t%g\n", given_);
            } else {
                PrintResemblance(f,
                                 "\nResemblance matrix DC between %d communities (based on matrix of ecological "
                                 "covariable(s) by communities):\n",
                                 n, DC_);
                fprintf(f, "\nPartial matrix correlation between DP and DE controlling DC:\t%g\n", given_);
            }
            break;
    }
    fprintf(f, NamedTE(kind_) ? "\nObserved ro(TE)=\t%g\n" : "\nObserved ro(TE.P)=\t%g\n", stat[0]);
}

template <class WT>
void PrintTraitIteration(FILE* f, int it, const TraitMeans<WT>& means, const int* list, bool withDT) {
    const IterationTexts texts{"Permuted trait matrix (Brnd):\n",
                               "\nOrder of original OTUs in permuted traits matrix Brnd:\t",
                               "\n\nMatrix Trnd (%d communities by %d traits) generated after Brnd (Trnd = W x Brnd):\n",
                               withDT ? "\nResemblance matrix DT between %d communities:\n" : nullptr};
    PrintPermutedBlock(f, it, texts, means.otus, means.traits, static_cast<float**>(means.Brnd), list,
                       means.communities, static_cast<float**>(means.T), means.DT);
}

template <class WT>
void TraitCorrelationTest<WT>::PrintIteration(FILE* f, int it, const int* list, const double* counts) {
    PrintTraitIteration(f, it, means, list, true);
    fprintf(f,
            NamedTE(kind_) ? "\nIteration %d\tRandom ro(TE) =\t%g\tCummulative frequency for ro(TE)=%g\n"
                           : "\nIteration %d\tRandom ro(TE.P) =\t%g\tCummulative frequency for ro(TE.P)=%g\n",
            it, stat[0], counts[0]);
}

template class TraitCorrelationTest<float>;
template class TraitCorrelationTest<double>;
template void PrintTraitIteration(FILE*, int, const TraitMeans<double>&, const int*, bool);

namespace {

// One member: the guard, the test, its list and the loop.
template <class WT>
double RunTraitTest(TraitStatistic kind, int iterations, int otus, int traits, int communities, float** B, WT** W,
                    double** DE, double** DC, double** DP, double given, int* select, int reseOpt, bool print,
                    FILE* stream, bool weighted, bool normalise, ListDraw how) {
    if (!Testable(communities, otus)) return 1.0;
    TraitCorrelationTest<WT> test(kind, otus, traits, communities, B, W, select, reseOpt, normalise, DE, DC, DP, given);
    OtuList list(otus, communities, W, weighted);
    double p[kMaxCounted];
    RunPermutationTest(test, iterations, list, how, print ? stream : nullptr, p);
    return p[0];
}

}  // namespace

double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, double** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted) {
    return RunTraitTest(TraitStatistic::kTE, iterations, otus, traits, communities, B, W, DE, nullptr, nullptr, 0.0,
                        select, reseOpt, print, stream, weighted, true, ListDraw::kContinued);
}

double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, float** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted) {
    return RunTraitTest(TraitStatistic::kTE, iterations, otus, traits, communities, B, W, DE, nullptr, nullptr, 0.0,
                        select, reseOpt, print, stream, weighted, true, ListDraw::kContinued);
}

double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, double** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted, bool normalise) {
    return RunTraitTest(TraitStatistic::kTE, iterations, otus, traits, communities, B, W, DE, nullptr, nullptr, 0.0,
                        select, reseOpt, print, stream, weighted, normalise, ListDraw::kContinued);
}

double Prob_roTE(int iterations, int otus, int traits, int communities, float** B, float** W, double** DE,
                 int* select, int reseOpt, bool print, FILE* stream, bool weighted, bool normalise) {
    return RunTraitTest(TraitStatistic::kTE, iterations, otus, traits, communities, B, W, DE, nullptr, nullptr, 0.0,
                        select, reseOpt, print, stream, weighted, normalise, ListDraw::kContinued);
}

double Prob_roTE_C(int iterations, int otus, int traits, int communities, float** B, double** W, double** DE,
                   double** DC, int* select, int reseOpt, bool print, FILE* stream, bool weighted) {
    return RunTraitTest(TraitStatistic::kTE_C, iterations, otus, traits, communities, B, W, DE, DC, nullptr, 0.0,
                        select, reseOpt, print, stream, weighted, true, ListDraw::kContinued);
}

double Prob_roTE_P(int iterations, int otus, int traits, int communities, float** B, double** W, double rPE,
                   double** DE, double** DP, int* select, int reseOpt, bool print, FILE* stream) {
    return RunTraitTest(TraitStatistic::kTE_P, iterations, otus, traits, communities, B, W, DE, nullptr, DP, rPE,
                        select, reseOpt, print, stream, false, true, ListDraw::kFresh);
}

double Prob_roTE_P(int iterations, int otus, int traits, int communities, float** B, double** W, double rPE,
                   double** DE, double** DP, int* select, int reseOpt, bool print, FILE* stream, bool weighted) {
    return RunTraitTest(TraitStatistic::kTE_P, iterations, otus, traits, communities, B, W, DE, nullptr, DP, rPE,
                        select, reseOpt, print, stream, weighted, true, ListDraw::kContinued);
}

double Prob_roTE_P(int iterations, int otus, int**, int, int traits, int communities, float** B, double** W,
                   double rPE, double** DE, double** DP, int* select, int reseOpt, bool print, FILE* stream,
                   bool weighted) {
    return Prob_roTE_P(iterations, otus, traits, communities, B, W, rPE, DE, DP, select, reseOpt, print, stream,
                       weighted);
}

double Prob_roTE_PC(int iterations, int otus, int traits, int communities, float** B, double** W, double rPE_C,
                    double** DE, double** DC, double** DP, int* select, int reseOpt, bool print, FILE* stream,
                    bool weighted) {
    return RunTraitTest(TraitStatistic::kTE_PC, iterations, otus, traits, communities, B, W, DE, DC, DP, rPE_C,
                        select, reseOpt, print, stream, weighted, true, ListDraw::kContinued);
}
