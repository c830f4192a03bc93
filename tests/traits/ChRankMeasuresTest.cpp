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
