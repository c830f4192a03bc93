// The trait-subset criteria under the Procrustes and RV measures: per size, the best subset and
// value against a brute force that forms each subset's matrices from scratch and compares them
// by ProcrustesCoeff, RVcoeff or the partial congruence PartialMatrixCorrelation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/qwlibRes.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORD.h"
#include "traits/TNXPERMTEST.h"

namespace {

using namespace chranktest;

// Normalised community trait means of the subset (other columns 0), in double.
double** Means(const std::vector<int>& subset) {
    double** W = CommunitiesByOtus();
    int* f = Flags(subset);
    double** T = dim2Double(ncsm, nch);
    CommunityWeightedMeans(ncsm, tcst, nch, W, csm_Float, f, T);
    double** Tn = dim2Double(ncsm, nch);
    NormalizeColsMV(ncsm, nch, T, Tn);
    free2D(T, ncsm);
    free1D(f);
    free2D(W, ncsm);
    return Tn;
}

double** Composition(const std::vector<int>& subset, int g) {
    float** S = SubsetSimilarity(subset);
    double** U = dim2Double(tcst, g);
    FuzzyBelonging(tcst, g, S, partition_OTUs, U, false);
    double** W = CommunitiesByOtus();
    double** X = dim2Double(ncsm, g);
    MatrixProdMV(ncsm, tcst, tcst, g, W, U, X);
    free2D(W, ncsm);
    free2D(U, tcst);
    free2D(S, tcst);
    return X;
}

double** EnvironmentDouble() {
    double** E = dim2Double(ncsm, nenv);
    for (int c = 0; c < ncsm; c++)
        for (int v = 0; v < nenv; v++) E[c][v] = env[c][v];
    return E;
}

struct MeasureCase {
    int criterion;
    int measure;  // 2 Procrustes, 3 RV
};

class ChRankMeasures : public tnxtest::TempDirTest, public ::testing::WithParamInterface<MeasureCase> {};

TEST_P(ChRankMeasures, BestSubsetOfEachSizeMatchesBruteForce) {
    const MeasureCase mc = GetParam();
    const Survey sv = RandomSurvey(90 + mc.criterion + mc.measure, 4, 10, 9, 3);
    LoadSurvey(sv, mc.criterion, {1, 2, 3, 1, 2, 3, 1, 2, 3, 1});
    opt_ro = mc.measure;
    const ChRankStatus st = mc.criterion == 1 ? ChRankTDAP_TCAP() : mc.criterion == 9 ? ChRankTDAP() : ChRankTCAP();
    ASSERT_EQ(st, kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    double** E = EnvironmentDouble();
    const bool absolute = mc.criterion == 9;
    auto value = [&](const std::vector<int>& s) {
        double v = 0.0;
        if (mc.criterion == 10) {
            double** T = Means(s);
            v = mc.measure == 2 ? ProcrustesCoeff(ncsm, nenv, nch, E, T) : RVcoeff(ncsm, nenv, nch, E, T);
            free2D(T, ncsm);
        } else if (mc.criterion == 1) {
            double** X = Composition(s, 3);
            v = mc.measure == 2 ? ProcrustesCoeff(ncsm, nenv, 3, E, X) : RVcoeff(ncsm, nenv, 3, E, X);
            free2D(X, ncsm);
        } else {
            double** X = Composition(s, 3);
            double** T = Means(s);
            int* f = Flags(s);
            v = PartialMatrixCorrelation(ncsm, 3, nenv, X, E, mc.measure, overfitFactorPCARegr,
                                         {MatrixCovariate{nch, f, T}});
            free1D(f);
            free2D(T, ncsm);
            free2D(X, ncsm);
        }
        return v;
    };
    auto subsets = AllSubsets(4);
    std::sort(subsets.begin(), subsets.end());
    for (int k = 1; k <= 4; k++) {
        double best = absolute ? 0.0 : -DBL_MAX;
        std::vector<int> bestSubset;
        for (const auto& s : subsets) {
            if (static_cast<int>(s.size()) != k) continue;
            const double v = value(s);
            if (absolute ? std::fabs(v) > std::fabs(best) : v > best) {
                best = v;
                bestSubset = s;
            }
        }
        SizeLine line =
            ReadSizeLine(text, "Ranking criterion value and optimal subset with " + std::to_string(k) + " traits: \t");
        ASSERT_TRUE(line.found);
        EXPECT_NEAR(std::atof(line.value.c_str()), best, 1e-5) << mc.criterion << " size " << k;
        EXPECT_EQ(line.labels, Labels(bestSubset)) << mc.criterion << " size " << k;
    }
    if (mc.criterion == 9)
        EXPECT_NE(text.find(mc.measure == 2 ? "\n\nTrait subsets with maximum partial congruence in a symmetric "
                                              "Procrustes rotation r(XE.T):\nTRC\toptimal subset of traits\n"
                                            : "\n\nTrait subsets with maximum partial congruence in RV r(XE.T):\nTRC\t"
                                              "optimal subset of traits\n"),
                  std::string::npos);
    free2D(E, ncsm);
}

INSTANTIATE_TEST_SUITE_P(Measures, ChRankMeasures,
                         ::testing::Values(MeasureCase{10, 2}, MeasureCase{10, 3}, MeasureCase{1, 2}, MeasureCase{1, 3},
                                           MeasureCase{9, 2}, MeasureCase{9, 3}));


// The diversity, smoothed-composition and phylogenetic criteria under Procrustes and RV.
struct OtherCase {
    int criterion;
    int mode;     // 1-9 for 16-24, 0 for the phylogenetic criteria
    int measure;
};

double Congruence(int measure, int pA, int pB, double** A, double** B) {
    return measure == 2 ? ProcrustesCoeff(ncsm, pA, pB, A, B) : RVcoeff(ncsm, pA, pB, A, B);
}

class ChRankOtherMeasures : public tnxtest::TempDirTest, public ::testing::WithParamInterface<OtherCase> {};

TEST_P(ChRankOtherMeasures, BestSubsetOfEachSizeMatchesBruteForce) {
    const OtherCase oc = GetParam();
    const bool phylo = oc.mode == 0;
    const Survey sv = RandomSurvey(120 + oc.criterion + oc.measure, 4, 10, 9, 3, phylo);
    LoadSurvey(sv, oc.criterion, {1, 2, 3, 1, 2, 3, 1, 2, 3, 1});
    opt_ro = oc.measure;
    const ChRankStatus st = phylo ? ChRankPhylogenyAssembly() : ChRankAlphaBetaDivergence(oc.mode);
    ASSERT_EQ(st, kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    double** E = EnvironmentDouble();
    double** W = CommunitiesByOtus();
    double** Z = dim2Double(ncsm, tcst);
    const int method = oc.mode >= 4 && oc.mode <= 6 ? 2 : 1;
    BealsSmoothing(ncsm, tcst, W, W, Z, BealsIncludeOpt != 0, method, method == 2);
    double** P = nullptr;
    if (phylo) {
        double** Q = dim2Double(tcst, nTaxa);
        FuzzyBelonging(tcst, nTaxa, phylogenyRese, partition_OTUs_Phyl, Q, false);
        P = dim2Double(ncsm, nTaxa);
        MatrixProd(ncsm, tcst, tcst, nTaxa, W, Q, P);
        free2D(Q, tcst);
    }
    const bool absolute = oc.mode == 2 || oc.mode == 6 || oc.mode == 9 || oc.criterion == 12;
    auto value = [&](const std::vector<int>& sub) {
        double** X = Composition(sub, 3);
        double** T = Means(sub);
        int* f = Flags(sub);
        double** R = dim2Double(ncsm, 1);
        float** S = SubsetSimilarity(sub);
        for (int i = 0; i < tcst; i++)
            for (int j = 0; j < i; j++) S[i][j] = S[j][i];
        for (int c = 0; c < ncsm; c++) R[c][0] = RaoIndex(tcst, W[c], S, false, false);
        const int m = oc.measure;
        double v = 0.0;
        switch (oc.criterion) {
            case 11: v = Congruence(m, 3, nTaxa, X, P); break;
            case 12: v = PartialMatrixCorrelation(ncsm, nTaxa, 3, P, X, m, overfitFactorPCARegr, {MatrixCovariate{nch, f, T}}); break;
            case 13: v = Congruence(m, nch, nTaxa, T, P); break;
            case 16: v = Congruence(m, nenv, 1, E, R); break;
            case 17:
                v = PartialMatrixCorrelation(ncsm, 3, nenv, X, E, m, overfitFactorPCARegr,
                                             {MatrixCovariate{nch, f, T}, MatrixCovariate{1, nullptr, R}});
                break;
            case 18: case 21: v = Congruence(m, 3, tcst, X, Z); break;
            case 19: case 22: v = Congruence(m, nch, tcst, T, Z); break;
            default:
                v = PartialMatrixCorrelation(ncsm, 3, tcst, X, Z, m, overfitFactorPCARegr, {MatrixCovariate{nch, f, T}});
                break;
        }
        free2D(S, tcst);
        free2D(R, ncsm);
        free1D(f);
        free2D(T, ncsm);
        free2D(X, ncsm);
        return v;
    };
    auto subsets = AllSubsets(4);
    std::sort(subsets.begin(), subsets.end());
    const std::string prefix = phylo ? "Ranking criterion value and optimal subset with "
                                     : "Ranking criterion value, groups and optimal subset with ";
    for (int k = 1; k <= 4; k++) {
        double best = absolute ? 0.0 : -DBL_MAX;
        std::vector<int> bestSubset;
        for (const auto& sub : subsets) {
            if (static_cast<int>(sub.size()) != k) continue;
            const double v = value(sub);
            if (absolute ? std::fabs(v) > std::fabs(best) : v > best) {
                best = v;
                bestSubset = sub;
            }
        }
        SizeLine line = ReadSizeLine(text, prefix + std::to_string(k) + " traits: \t");
        ASSERT_TRUE(line.found);
        EXPECT_NEAR(std::atof(line.value.c_str()), best, 1e-5) << oc.criterion << " size " << k;
        std::vector<std::string> labels = line.labels;
        if (!phylo) labels.erase(labels.begin());
        EXPECT_EQ(labels, Labels(bestSubset)) << oc.criterion << " size " << k;
    }
    if (P) free2D(P, ncsm);
    free2D(Z, ncsm);
    free2D(W, ncsm);
    free2D(E, ncsm);
}

INSTANTIATE_TEST_SUITE_P(
    Measures, ChRankOtherMeasures,
    ::testing::Values(OtherCase{11, 0, 2}, OtherCase{12, 0, 3}, OtherCase{13, 0, 2}, OtherCase{16, 1, 3},
                      OtherCase{17, 2, 2}, OtherCase{17, 2, 3}, OtherCase{18, 4, 2}, OtherCase{19, 5, 3},
                      OtherCase{20, 6, 2}, OtherCase{21, 7, 3}, OtherCase{22, 8, 2}, OtherCase{23, 9, 3}));

class ChRankMeasureRefusal : public tnxtest::TempDirTest {};

TEST_F(ChRankMeasureRefusal, ProcrustesAndRvRefuseMissingEnvironmentalValues) {
    Survey sv = RandomSurvey(99, 3, 8, 7, 2);
    sv.E[1][3] = -999.0f;
    for (int c : {1, 9, 10}) {
        LoadSurvey(sv, c, {1, 2, 1, 2, 1, 2, 1, 2});
        opt_ro = 2;
        const ChRankStatus st = c == 1 ? ChRankTDAP_TCAP() : c == 9 ? ChRankTDAP() : ChRankTCAP();
        EXPECT_EQ(st, kChRankRefused) << c;
        // Mantel skips the missing value.
        opt_ro = 1;
        const ChRankStatus mantel = c == 1 ? ChRankTDAP_TCAP() : c == 9 ? ChRankTDAP() : ChRankTCAP();
        EXPECT_EQ(mantel, kChRankDone) << c;
    }
}

}  // namespace
