// The tests of the Mantel family, one class per kind of statistic: what each computes from one
// arrangement of the OTUs and what it writes as intermediate results. The members declared in
// qwlibPermTests.h build one of these and run it through RunPermutationTest; the unit tests
// read the observed statistics from them.
//
// r(AB) below is CommunityCorr of the resemblances DA and DB; pc(a, b, c) is the partial
// correlation (a - b c) / sqrt((1 - b^2)(1 - c^2)) of PartialCorrelation, 0 when |b| or |c| is
// 1 within its tolerance.
#ifndef TNX_QWLIBPERMMANTEL_H
#define TNX_QWLIBPERMMANTEL_H

#include <cstdio>
#include <memory>

#include "matrix/qwlib.h"
#include "permtests/qwlibPermSkeleton.h"
#include "statistics/qwlibResCompare.h"

// ---------------------------------------------------------------- trait rows permuted

// ro(TE) and its partials; the rows of B are permuted, W and the resemblances stay.
enum class TraitStatistic {
    kTE,    // r(TE), single precision
    kTE_C,  // pc(r(TE), r(TC), r(EC)), single precision
    kTE_P,  // pc(r(TE), r(TP), given r(PE)), double
    kTE_PC  // pc(pc(r(TE), r(TC), r(EC)), pc(r(TP), r(TC), r(PC)), given r(PE.C)), double
};

template <class WT>
class TraitCorrelationTest {
public:
    // DC and DP may be null where the statistic does not use them.
    TraitCorrelationTest(TraitStatistic kind, int otus, int traits, int communities, float** B, WT** W, int* select,
                         int reseOpt, bool normalise, double** DE, double** DC, double** DP, double given);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    int counted = 1;
    double stat[kMaxCounted] = {};
    TraitMeans<WT> means;

private:
    TraitStatistic kind_;
    WT** W_;
    float** B_;
    double **DE_, **DC_, **DP_;
    double given_;
    double rEC_ = 0.0, rPC_ = 0.0;  // fixed: the covariable against E and against P
};

// The first lines of an iteration block of the trait permutation: the permuted B, the OTU
// order, the random T and (withDT) DT.
template <class WT>
void PrintTraitIteration(FILE* f, int it, const TraitMeans<WT>& means, const int* list, bool withDT);

// ---------------------------------------------------------------- type rows permuted

// Statistics on X = W x U; the rows of U are permuted, W and the resemblances stay. Each kind
// shows some correlations of the arrangement (in this order) and counts the last one or two.
enum class CompositionStatistic {
    kXE_T,    // shows r(XT), r(XE), ro(XE.T) = pc(r(XE), r(XT), given r(TE)); counts the last two
    kXE_TC,   // ro(XT_C) = pc(r(XT), r(XC), r(TC)), ro(XE_C) = pc(r(XE), r(XC), r(EC)),
              // ro(XE.TC) = pc(ro(XE_C), ro(XT_C), given r(TE.C)); counts the last two
    kXE_P,    // r(XE), r(XP), ro(XE.P) = pc(r(XE), r(XP), given r(PE)); counts the last
    kXE_TP,   // r(XT), r(XE), r(XP), ro(XE.P), ro(XT.P) = pc(r(XT), r(XP), given r(PT)),
              // ro(XE.TP) = pc(ro(XE.P), ro(XT.P), given r(TE.P)); counts the last
    kXE_TPC   // ro(XT_C), ro(XE_C), ro(XP_C), ro(XE.PC) = pc(ro(XE_C), ro(XP_C), given r(PE.C)),
              // ro(XT.PC) = pc(ro(XT_C), ro(XP_C), r(PT.C)), ro(XE.TPC) = pc(ro(XE.PC),
              // ro(XT.PC), given r(TE.PC)); r(PT.C) = pc(given r(PT), r(PC), r(TC)); counts the last
};

// The fixed matrices and given correlations of a composition test.
struct CompositionInput {
    CompositionStatistic kind = CompositionStatistic::kXE_T;
    bool single = false;       // kXE_T: correlations rounded to float, float partial correlation
    int statistic = 1;         // kXE_T with double X: 1 resemblances, 2 Procrustes of X with E and T
    double **DT = nullptr, **DE = nullptr, **DC = nullptr, **DP = nullptr;
    double given[3] = {};      // the given correlations in the order of the member's arguments
    int traits = 0, env = 0;   // Procrustes: T (communities x traits) and E (communities x env)
    double **T = nullptr, **E = nullptr;
    int reseOpt = 6;
};

template <class WT, class UT, class XT>
class CompositionCorrelationTest {
public:
    CompositionCorrelationTest(int otus, int types, int communities, UT** U, WT** W, const CompositionInput& in);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    int counted;
    double stat[kMaxCounted] = {};
    int shownCount;
    double shown[6] = {};  // the correlations of the arrangement, in the order of the kind
    Composition<WT, UT, XT> comp;

private:
    bool Procrustes() const;
    CompositionInput in_;
    UT** U_;
    WT** W_;
    double rEC_ = 0.0, rTC_ = 0.0, rPC_ = 0.0, rPT_C_ = 0.0;
    std::unique_ptr<ComparisonWorkspace<double>> ws_;  // Procrustes only
};

// The first lines of an iteration block of the type permutation: the permuted U, the OTU
// order, the random X and (withDX) DX.
template <class WT, class UT, class XT>
void PrintCompositionIteration(FILE* f, int it, const Composition<WT, UT, XT>& comp, const int* list, bool withDX);

// ---------------------------------------------------------------- group labels

// ro(XE.T) with U rebuilt from permuted group labels: label i of the arrangement is the label
// of OTU list[i], S's rows and columns move with it, U is the fuzzy (from S) or crisp
// belonging to the groups, X = W x U; everything in single precision. Shows r(XT), r(XE),
// ro(XE.T) = pc(r(XE), r(XT), given r(TE)); counts the last. U and X have one column per
// distinct label.
class LabelBelongingTest {
public:
    LabelBelongingTest(int otus, int communities, int* labels, float** S, float** W, float rTE, double** DT,
                       double** DE, int reseOpt, bool isDissim, bool fuzzy);
    ~LabelBelongingTest();
    LabelBelongingTest(const LabelBelongingTest&) = delete;
    LabelBelongingTest& operator=(const LabelBelongingTest&) = delete;
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    int counted = 1;
    double stat[kMaxCounted] = {};
    double shown[3] = {};
    const int otus, communities;
    const int groups;  // distinct labels: the columns of U and X
    WorkMatrix<float> Srnd, U, X;  // Srnd only with fuzzy belonging
    WorkMatrix<double> DX;

private:
    int* labels_;
    float** S_;
    float** W_;
    float rTE_;
    double **DT_, **DE_;
    int code_;
    bool isDissim_, fuzzy_;
    int* labelsRnd_;
    BelongingWork belonging_;  // the belonging's buffers, made once
};

// ---------------------------------------------------------------- taxa rows permuted

// ro(XP.T): the rows of Q are permuted, U (hence X = W x U and DX) stays. Counts r(XP) =
// r(DX, DP), r(PT) = r(DP, DT) and ro(XP.T) = pc(r(XP), r(XT), r(PT)), r(XT) fixed.
class PhylogenyCompositionTest {
public:
    PhylogenyCompositionTest(int otus, int types, int communities, double** U, double** Q, double** W, double** DT,
                             int reseOpt);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    int counted = 3;
    double stat[kMaxCounted] = {};
    double rXT = 0.0;
    Composition<double, double, float> types, taxa;

private:
    double** U_;
    double** Q_;
    double** W_;
    double** DT_;
};

// ---------------------------------------------------------------- the multi-statistic test

// ro(XE), ro(TE), ro(XE.T), ro(RE), ro(XE.TR) (counted in this order) under one permutation
// moving the rows of B and U and the rows and columns of S together. R is the Rao entropy of
// each community over S (dissimilarity sqrt(1 - s)) as an equivalent number of OTUs, 1 / (1 -
// Q). statistic 1: correlations of resemblances (the two-community rule for those among DT,
// DX and DE); 2 Procrustes, 3 RV of the tables T, X, R and E themselves.
class TraitsMultiTest {
public:
    TraitsMultiTest(int otus, int traits, int types, int env, int communities, int* select, float** B, float** S,
                    double** U, double** W, float** E, double** DE, int reseOpt, int statistic, bool matrixForm);
    void Arrange(const int* list);
    void PrintHeader(FILE* f);
    void PrintIteration(FILE* f, int it, const int* list, const double* counts);

    int counted = 5;
    double stat[kMaxCounted] = {};
    double rXT = 0.0, rXR = 0.0, rTR = 0.0, rXE_R = 0.0, rTE_R = 0.0, rXT_R = 0.0;
    TraitMeans<double> means;
    Composition<double, double, float> comp;
    WorkMatrix<float> Srnd;
    WorkMatrix<double> R, DR;

private:
    double Congruence(int colsA, int colsB, double** A, double** B);
    void PrintRao(FILE* f);
    const int otus_, traits_, types_, env_, n_;
    float** B_;
    float** S_;
    double** U_;
    double** W_;
    float** E_;
    double** DE_;
    int statistic_;
    bool matrixForm_;  // the 23-argument form: its texts, R printed as a matrix
    WorkMatrix<double> Ed_, Td_, Xd_;  // E, T and X in double for Procrustes and RV
    std::unique_ptr<ComparisonWorkspace<double>> ws_;
};

#endif
