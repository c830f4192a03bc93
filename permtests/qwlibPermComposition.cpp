// Permutation tests on the type composition X = W x U: ro(XE) and ro(XE.T) and their partials
// controlling covariables (C) and the phylogeny (P); the rows of U are exchanged among the OTUs
// while W and the community resemblances stay.
#include "permtests/qwlibPermMantel.h"
#include "permtests/qwlibPermTests.h"

#include <type_traits>

#include "matrix/qwlibGroupStats.h"
#include "traits/TNXPERMTEST.h"

namespace {

using Kind = CompositionStatistic;

const char* const kDT = "\nResemblance matrix DT between %d communities (based on matrix T of traits by communities):\n";
const char* const kDEBaseDon =
    "\nResemblance matrix DE between %d communities (base don matrix E of ecological variables by communities):\n";
const char* const kDEBasedOn =
    "\nResemblance matrix DE between %d communities (based on matrix E of ecological variables by communities):\n";
const char* const kDC =
    "\nResemblance matrix DC between %d communities (based on matrix of ecological covariables by communities):\n";

// Statistics each kind counts (the last of those it shows) and shows.
int CountedOf(Kind k) { return k == Kind::kXE_T || k == Kind::kXE_TC ? 2 : 1; }
int ShownOf(Kind k) { return k == Kind::kXE_TP || k == Kind::kXE_TPC ? 6 : 3; }

// Names of the shown correlations, in the observed lines and in the last line of an iteration.
const char* const* ObservedNames(Kind k) {
    static const char* const xeT[] = {"XT", "XE", "XE.T"};
    static const char* const xeP[] = {"XE", "XP", "XE.P"};
    static const char* const xeTP[] = {"XT", "XE", "XP", "XE.P", "XT.P", "XE.TP"};
    static const char* const xeTPC[] = {"XT_C", "XE_C", "XP_C", "XE.PC", "XT.PC", "XE.TPC"};
    switch (k) {
        case Kind::kXE_P: return xeP;
        case Kind::kXE_TP: return xeTP;
        case Kind::kXE_TPC: return xeTPC;
        default: return xeT;
    }
}
const char* const* RandomNames(Kind k) {
    static const char* const xeTC[] = {"XT_C", "XE_C", "XE.TC"};
    return k == Kind::kXE_TC ? xeTC : ObservedNames(k);
}

}  // namespace

template <class WT, class UT, class XT>
CompositionCorrelationTest<WT, UT, XT>::CompositionCorrelationTest(int otus, int types, int communities, UT** U,
                                                                   WT** W, const CompositionInput& in)
    : counted(CountedOf(in.kind)), shownCount(ShownOf(in.kind)),
      comp(otus, types, communities, U, W,
           in.kind == Kind::kXE_T && in.statistic == 2 ? 0 : TranslateReseOpt_TARNEX_ORBALD(in.reseOpt)),
      in_(in), U_(U), W_(W) {
    const int n = communities;
    // The correlations among the fixed resemblances are computed once.
    if (in.kind == Kind::kXE_TC || in.kind == Kind::kXE_TPC) {
        rEC_ = CommunityCorr(n, in.DC, in.DE);
        rTC_ = CommunityCorr(n, in.DC, in.DT);
    }
    if (in.kind == Kind::kXE_TPC) {
        rPC_ = CommunityCorr(n, in.DC, in.DP);
        // T and P with C removed, for the partial of X and T controlling P and C.
        rPT_C_ = PartialCorrelation(in.given[1], rPC_, rTC_);
    }
    if (Procrustes()) ws_ = std::make_unique<ComparisonWorkspace<double>>(n, types, std::max(in.traits, in.env));
}

template <class WT, class UT, class XT>
bool CompositionCorrelationTest<WT, UT, XT>::Procrustes() const {
    return std::is_same<XT, double>::value && in_.kind == Kind::kXE_T && in_.statistic == 2;
}

template <class WT, class UT, class XT>
void CompositionCorrelationTest<WT, UT, XT>::Arrange(const int* list) {
    comp.Arrange(list);
    const int n = comp.communities;
    double** DX = comp.DX;
    const double* g = in_.given;
    double* v = shown;
    switch (in_.kind) {
        case Kind::kXE_T: {
            double rXE = 0.0, rXT = 0.0;
            if constexpr (std::is_same<XT, double>::value) {
                if (Procrustes()) {
                    rXE = ProcrustesCoeff(n, comp.types, in_.env, comp.X, in_.E, *ws_);
                    rXT = ProcrustesCoeff(n, comp.types, in_.traits, comp.X, in_.T, *ws_);
                }
            }
            if (!Procrustes()) {
                rXE = CommunityCorr(n, in_.DE, DX);
                rXT = CommunityCorr(n, DX, in_.DT);
            }
            if (in_.single) {
                const float fXE = static_cast<float>(rXE), fXT = static_cast<float>(rXT);
                v[0] = fXT;
                v[1] = fXE;
                v[2] = PartialCorrelation(fXE, fXT, static_cast<float>(g[0]));
            } else {
                v[0] = rXT;
                v[1] = rXE;
                v[2] = PartialCorrelation(rXE, rXT, g[0]);
            }
            break;
        }
        case Kind::kXE_TC: {
            const double rXC = CommunityCorr(n, in_.DC, DX);
            v[0] = PartialCorrelation(CommunityCorr(n, DX, in_.DT), rXC, rTC_);
            v[1] = PartialCorrelation(CommunityCorr(n, in_.DE, DX), rXC, rEC_);
            v[2] = PartialCorrelation(v[1], v[0], g[0]);
            break;
        }
        case Kind::kXE_P:
            v[0] = CommunityCorr(n, in_.DE, DX);
            v[1] = CommunityCorr(n, DX, in_.DP);
            v[2] = PartialCorrelation(v[0], v[1], g[0]);
            break;
        case Kind::kXE_TP:
            v[0] = CommunityCorr(n, DX, in_.DT);
            v[1] = CommunityCorr(n, in_.DE, DX);
            v[2] = CommunityCorr(n, DX, in_.DP);
            v[3] = PartialCorrelation(v[1], v[2], g[0]);
            v[4] = PartialCorrelation(v[0], v[2], g[1]);
            v[5] = PartialCorrelation(v[3], v[4], g[2]);
            break;
        case Kind::kXE_TPC: {
            const double rXC = CommunityCorr(n, in_.DC, DX);
            v[0] = PartialCorrelation(CommunityCorr(n, DX, in_.DT), rXC, rTC_);
            v[1] = PartialCorrelation(CommunityCorr(n, in_.DE, DX), rXC, rEC_);
            v[2] = PartialCorrelation(CommunityCorr(n, DX, in_.DP), rXC, rPC_);
            v[3] = PartialCorrelation(v[1], v[2], g[0]);
            v[4] = PartialCorrelation(v[0], v[2], rPT_C_);
            v[5] = PartialCorrelation(v[3], v[4], g[2]);
            break;
        }
    }
    for (int i = 0; i < counted; i++) stat[i] = shown[shownCount - counted + i];
}

template <class WT, class UT, class XT>
void CompositionCorrelationTest<WT, UT, XT>::PrintHeader(FILE* f) {
    const int n = comp.communities;
    const Kind k = in_.kind;
    const double* g = in_.given;
    PrintHead(f,
              k == Kind::kXE_T || k == Kind::kXE_TC ? "\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XE.T)\n"
                                                    : "\nPERMUTATION TEST FOR PARTIAL CORRELATION ro(XE.TP)\n",
              "\nObserved belonging matrix (U):\n", comp.otus, comp.types, U_, n, W_);
    const char* const kDP = k == Kind::kXE_TPC ? "\nResemblance matrix DP between %d communities (based on matrix P of "
                                                 "taxons, weighted by phylogeny, by communities):\n"
                                               : "\nResemblance matrix DP between %d communities (based on matrix P of "
                                                 "taxons weighted by phylogeny by communities):\n";
    switch (k) {
        case Kind::kXE_T:
            if (Procrustes()) {
                fprintf(f, "\n:Procrustes correlation between T and E:\t%g\n", g[0]);
            } else {
                PrintResemblance(f, kDT, n, in_.DT);
                PrintResemblance(f, kDEBaseDon, n, in_.DE);
                fprintf(f, "\nMatrix correlation between DT and DE:\t%g\n", g[0]);
            }
            break;
        case Kind::kXE_TC:
            PrintResemblance(f, kDT, n, in_.DT);
            PrintResemblance(f, kDEBaseDon, n, in_.DE);
            PrintResemblance(f, kDC, n, in_.DC);
            fprintf(f, "\nPartial matrix correlation between DT and DE removing DC:\t%g\n", g[0]);
            break;
        case Kind::kXE_P:
            PrintResemblance(f, kDEBasedOn, n, in_.DE);
            PrintResemblance(f, kDP, n, in_.DP);
            fprintf(f, "\nMatrix correlation between DP and DE:\t%g\n", g[0]);
            break;
        case Kind::kXE_TP:
            PrintResemblance(f, kDT, n, in_.DT);
            PrintResemblance(f, kDEBasedOn, n, in_.DE);
            PrintResemblance(f, kDP, n, in_.DP);
            fprintf(f, "\nMatrix correlation between DP and DE:\t%g\n", g[0]);
            fprintf(f, "\nMatrix correlation between DP and DT:\t%g\n", g[1]);
            fprintf(f, "\nMatrix correlation between DT and DE, removing DP:\t%g\n", g[2]);
            break;
        case Kind::kXE_TPC:
            PrintResemblance(f, kDT, n, in_.DT);
            PrintResemblance(f, kDEBasedOn, n, in_.DE);
            PrintResemblance(f, kDC, n, in_.DC);
            PrintResemblance(f, kDP, n, in_.DP);
            fprintf(f, "\nPartial matrix correlation between DP and DE, removing DC:\t%g\n", g[0]);
            fprintf(f, "\nMatrix correlation between DP and DT:\t%g\n", g[1]);
            fprintf(f, "\nPartial matrix correlation between DT and DE, removing DP and DC:\t%g\n", g[2]);
            break;
    }
    const char* const* names = ObservedNames(k);
    for (int i = 0; i < shownCount; i++)
        fprintf(f, "%sObserved ro(%s)=\t%g\n", i == 0 && k != Kind::kXE_P ? "\n" : "", names[i], shown[i]);
}

template <class WT, class UT, class XT>
void PrintCompositionIteration(FILE* f, int it, const Composition<WT, UT, XT>& comp, const int* list, bool withDX) {
    const IterationTexts texts{"Permuted belonging matrix (Urnd):\n",
                               "\nOrder of original OTUs in permuted belongin matrix Urnd:\t",
                               "\n\nMatrix Xrnd (%d communities by %d PFTs) generated after Urnd (Xrnd = W x Urnd):\n",
                               withDX ? "\nResemblance matrix DX between %d communities:\n" : nullptr};
    PrintPermutedBlock(f, it, texts, comp.otus, comp.types, static_cast<UT**>(comp.Urnd), list, comp.communities,
                       static_cast<XT**>(comp.X), comp.DX);
}

template <class WT, class UT, class XT>
void CompositionCorrelationTest<WT, UT, XT>::PrintIteration(FILE* f, int it, const int* list, const double* counts) {
    PrintCompositionIteration(f, it, comp, list, !Procrustes());
    const char* const* names = RandomNames(in_.kind);
    fprintf(f, "\nIteration %d", it);
    for (int i = 0; i < shownCount; i++) fprintf(f, "\tRandom ro(%s) =\t%g", names[i], shown[i]);
    if (counted == 2) {
        for (int i = 0; i < counted; i++)
            fprintf(f, "\tCummulative frequency for ro(%s)=%g", names[shownCount - counted + i], counts[i]);
    } else {
        fprintf(f, "\tCummulative frequency=%g", counts[0]);
    }
    fputs("\n", f);
}

template class CompositionCorrelationTest<float, float, float>;
template class CompositionCorrelationTest<float, double, float>;
template class CompositionCorrelationTest<double, double, float>;
template class CompositionCorrelationTest<double, double, double>;
template void PrintCompositionIteration(FILE*, int, const Composition<double, double, float>&, const int*, bool);

namespace {

// One member: the guard, the test, its list and the loop; p receives the counted probabilities.
template <class WT, class UT, class XT = float>
void RunComposition(const CompositionInput& in, int iterations, int otus, int types, int communities, UT** U, WT** W,
                    bool print, FILE* stream, bool weighted, ListDraw how, double* p) {
    for (int i = 0; i < CountedOf(in.kind); i++) p[i] = 1.0;
    if (!Testable(communities, otus)) return;
    CompositionCorrelationTest<WT, UT, XT> test(otus, types, communities, U, W, in);
    OtuList list(otus, communities, W, weighted);
    RunPermutationTest(test, iterations, list, how, print ? stream : nullptr, p);
}

// The members that count two statistics and hand both probabilities back.
template <class WT, class UT, class XT = float>
bool RunCompositionPair(const CompositionInput& in, int iterations, int otus, int types, int communities, UT** U,
                        WT** W, bool print, FILE* stream, bool weighted, ListDraw how, double* pFirst,
                        double* pSecond) {
    double p[kMaxCounted];
    RunComposition<WT, UT, XT>(in, iterations, otus, types, communities, U, W, print, stream, weighted, how, p);
    *pFirst = p[0];
    *pSecond = p[1];
    return true;
}

CompositionInput XE_T(double rTE, double** DT, double** DE, int reseOpt, bool single) {
    CompositionInput in;
    in.single = single;
    in.DT = DT;
    in.DE = DE;
    in.given[0] = rTE;
    in.reseOpt = reseOpt;
    return in;
}

}  // namespace

bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, float** U, float** W, float rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream) {
    return RunCompositionPair(XE_T(rTE, DT, DE, reseOpt, true), iterations, otus, types, communities, U, W, print,
                              stream, false, ListDraw::kFresh, pXE, pXE_T);
}

bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, float** U, float** W, float rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted) {
    return RunCompositionPair(XE_T(rTE, DT, DE, reseOpt, true), iterations, otus, types, communities, U, W, print,
                              stream, weighted, ListDraw::kContinued, pXE, pXE_T);
}

bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, double** U, double** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream) {
    return RunCompositionPair(XE_T(rTE, DT, DE, reseOpt, false), iterations, otus, types, communities, U, W, print,
                              stream, false, ListDraw::kFresh, pXE, pXE_T);
}

bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, double** U, double** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted) {
    return RunCompositionPair(XE_T(rTE, DT, DE, reseOpt, false), iterations, otus, types, communities, U, W, print,
                              stream, weighted, ListDraw::kContinued, pXE, pXE_T);
}

bool Prob_ro_XE_T(int iterations, int otus, int types, int communities, double** U, float** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted) {
    return RunCompositionPair(XE_T(rTE, DT, DE, reseOpt, false), iterations, otus, types, communities, U, W, print,
                              stream, weighted, ListDraw::kContinued, pXE, pXE_T);
}

bool Prob_ro_PE_X(int iterations, int otus, int types, int communities, double** U, double** W, double rTE,
                  double** DT, double** DE, double* pXE, double* pXE_T, int reseOpt, bool print, FILE* stream,
                  bool weighted) {
    return Prob_ro_XE_T(iterations, otus, types, communities, U, W, rTE, DT, DE, pXE, pXE_T, reseOpt, print, stream,
                        weighted);
}

bool Prob_ro_PE_X(int iterations, int otus, int types, int traits, int env, int communities, double** U, double** W,
                  double rTE, double** T, double** DT, double** E, double** DE, double* pXE, double* pXE_T,
                  int reseOpt, bool print, FILE* stream, bool weighted, int statistic) {
    *pXE = *pXE_T = 1.0;
    if (statistic != 1 && statistic != 2) return false;
    CompositionInput in = XE_T(rTE, DT, DE, reseOpt, false);
    in.statistic = statistic;
    in.traits = traits;
    in.env = env;
    in.T = T;
    in.E = E;
    return RunCompositionPair<double, double, double>(in, iterations, otus, types, communities, U, W, print, stream,
                                                      weighted, ListDraw::kContinued, pXE, pXE_T);
}

bool Prob_ro_XE_TC(int iterations, int otus, int types, int communities, double** U, double** W, double rTE_C,
                   double** DT, double** DE, double** DC, double* pXE_C, double* pXE_TC, int reseOpt, bool print,
                   FILE* stream, bool weighted) {
    CompositionInput in = XE_T(rTE_C, DT, DE, reseOpt, false);
    in.kind = Kind::kXE_TC;
    in.DC = DC;
    return RunCompositionPair(in, iterations, otus, types, communities, U, W, print, stream, weighted,
                              ListDraw::kContinued, pXE_C, pXE_TC);
}

double Prob_ro_XE_P(int iterations, int otus, int types, int communities, double** U, double** W, double rPE,
                    double** DE, double** DP, int reseOpt, bool print, FILE* stream, bool weighted) {
    CompositionInput in = XE_T(rPE, nullptr, DE, reseOpt, false);
    in.kind = Kind::kXE_P;
    in.DP = DP;
    double p[kMaxCounted];
    RunComposition(in, iterations, otus, types, communities, U, W, print, stream, weighted, ListDraw::kContinued, p);
    return p[0];
}

namespace {

CompositionInput XE_TP(Kind kind, double g0, double g1, double g2, double** DT, double** DE, double** DC, double** DP,
                       int reseOpt) {
    CompositionInput in = XE_T(g0, DT, DE, reseOpt, false);
    in.kind = kind;
    in.given[1] = g1;
    in.given[2] = g2;
    in.DC = DC;
    in.DP = DP;
    return in;
}

}  // namespace

double Prob_ro_XE_TP(int iterations, int otus, int types, int communities, double** U, double** W, double rPE,
                     double rPT, double rTE_P, double** DT, double** DE, double** DP, int reseOpt, bool print,
                     FILE* stream) {
    double p[kMaxCounted];
    RunComposition(XE_TP(Kind::kXE_TP, rPE, rPT, rTE_P, DT, DE, nullptr, DP, reseOpt), iterations, otus, types,
                   communities, U, W, print, stream, false, ListDraw::kFresh, p);
    return p[0];
}

double Prob_ro_XE_TP(int iterations, int otus, int types, int communities, double** U, double** W, double rPE,
                     double rPT, double rTE_P, double** DT, double** DE, double** DP, int reseOpt, bool print,
                     FILE* stream, bool weighted) {
    double p[kMaxCounted];
    RunComposition(XE_TP(Kind::kXE_TP, rPE, rPT, rTE_P, DT, DE, nullptr, DP, reseOpt), iterations, otus, types,
                   communities, U, W, print, stream, weighted, ListDraw::kContinued, p);
    return p[0];
}

double Prob_ro_XE_TPC(int iterations, int otus, int types, int communities, double** U, double** W, double rPE_C,
                      double rPT, double rTE_PC, double** DT, double** DE, double** DC, double** DP, int reseOpt,
                      bool print, FILE* stream, bool weighted) {
    double p[kMaxCounted];
    RunComposition(XE_TP(Kind::kXE_TPC, rPE_C, rPT, rTE_PC, DT, DE, DC, DP, reseOpt), iterations, otus, types,
                   communities, U, W, print, stream, weighted, ListDraw::kContinued, p);
    return p[0];
}
