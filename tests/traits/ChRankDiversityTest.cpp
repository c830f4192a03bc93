// The diversity and smoothed-composition criteria (16 to 24) of the trait-subset search: per
// size, the best subset and value against a brute force that computes each subset from
// scratch (Gower similarity of the subset's traits alone, Rao entropy over every OTU, fuzzy
// types, Beals smoothing, community resemblance, MatrixCorr, partial correlations by their
// formula), and the data these criteria refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"
#include "session/session_fixture.h"
#include "statistics/qwlibRes.h"
#include "traits/ChRankData.h"
#include "traits/TNXCHORD.h"

namespace {

using namespace chranktest;

double Partial(double xy, double xz, double yz) {
    // The single-precision form the search uses.
    const float a = static_cast<float>(xy), b = static_cast<float>(xz), c = static_cast<float>(yz);
    return (a - b * c) / std::sqrt((1.0f - b * b) * (1.0f - c * c));
}

double** AbsDifferences(const std::vector<double>& v) {
    const int n = static_cast<int>(v.size());
    double** D = dim2Double(n, n);
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++) D[i][j] = std::fabs(v[i] - v[j]);
    return D;
}

// Rao entropy of every community over the subset's OTU dissimilarities 1 - S.
std::vector<double> Rao(const std::vector<int>& subset) {
    float** S = SubsetSimilarity(subset);
    for (int i = 0; i < tcst; i++)
        for (int j = 0; j < i; j++) S[i][j] = S[j][i];
    double** W = CommunitiesByOtus();
    std::vector<double> R(ncsm);
    for (int c = 0; c < ncsm; c++) R[c] = RaoIndex(tcst, W[c], S, false, false);
    free2D(W, ncsm);
    free2D(S, tcst);
    return R;
}

double** Smoothed(int method) {
    double** W = CommunitiesByOtus();
    double** Z = dim2Double(ncsm, tcst);
    BealsSmoothing(ncsm, tcst, W, W, Z, BealsIncludeOpt != 0, method, method == 2);
    double** DZ = dim2Double(ncsm, ncsm);
    NominalReseNonHier(ncsm, tcst, Z, DZ, rese_opt);
    free2D(Z, ncsm);
    free2D(W, ncsm);
    return DZ;
}

struct ModeCase {
    int mode;
    int criterion;
};

class ChRankDiversity : public tnxtest::TempDirTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ChRankDiversity, BestSubsetOfEachSizeMatchesBruteForce) {
    const ModeCase mc = GetParam();
    const Survey sv = RandomSurvey(40 + mc.mode, 4, 9, 8, 2);
    const std::vector<int> partition = {1, 2, 3, 1, 2, 3, 1, 2, 3};
    LoadSurvey(sv, mc.criterion, partition);
    ASSERT_EQ(ChRankAlphaBetaDivergence(mc.mode), kChRankDone);
    const std::string text = Read("s1ChRank.txt");

    double** DE = RawEnvironmentDistance();
    double** DZ = Smoothed(2);
    double** DY = Smoothed(1);
    const bool absolute = mc.mode == 2 || mc.mode == 6 || mc.mode == 9;
    auto value = [&](const std::vector<int>& s) {
        double** DT = TraitDistance(s);
        double** DX = CompositionDistance(s, 3);
        double** DR = AbsDifferences(Rao(s));
        const double te = MatrixCorr(ncsm, DE, DT), xe = MatrixCorr(ncsm, DE, DX), xt = MatrixCorr(ncsm, DT, DX);
        double v = 0.0;
        switch (mc.mode) {
            case 1: v = MatrixCorr(ncsm, DE, DR); break;
            case 2: {
                const double er = MatrixCorr(ncsm, DE, DR), xr = MatrixCorr(ncsm, DX, DR),
                             tr = MatrixCorr(ncsm, DT, DR);
                v = Partial(Partial(xe, xr, er), Partial(xt, xr, tr), Partial(te, tr, er));
                break;
            }
            case 4: v = MatrixCorr(ncsm, DZ, DX); break;
            case 5: v = MatrixCorr(ncsm, DZ, DT); break;
            case 6: v = Partial(MatrixCorr(ncsm, DZ, DX), xt, MatrixCorr(ncsm, DZ, DT)); break;
            case 7: v = MatrixCorr(ncsm, DY, DX); break;
            case 8: v = MatrixCorr(ncsm, DY, DT); break;
            default: v = Partial(MatrixCorr(ncsm, DY, DX), xt, MatrixCorr(ncsm, DY, DT)); break;
        }
        free2D(DR, ncsm);
        free2D(DX, ncsm);
        free2D(DT, ncsm);
        return v;
    };
    for (int k = 1; k <= 4; k++) {
        double best = absolute ? 0.0 : -DBL_MAX;
        std::vector<int> bestSubset;
        auto subsets = AllSubsets(4);
        std::sort(subsets.begin(), subsets.end());
        for (const auto& s : subsets) {
            if (static_cast<int>(s.size()) != k) continue;
            const double v = value(s);
            if (absolute ? std::fabs(v) > std::fabs(best) : v > best) {
                best = v;
                bestSubset = s;
            }
        }
        const std::string prefix =
            "Ranking criterion value, groups and optimal subset with " + std::to_string(k) + " traits: \t";
        SizeLine line = ReadSizeLine(text, prefix);
        ASSERT_TRUE(line.found) << k;
        EXPECT_NEAR(std::atof(line.value.c_str()), best, 1e-5) << "mode " << mc.mode << " size " << k;
        ASSERT_FALSE(line.labels.empty());
        EXPECT_EQ(line.labels.front(), "3 groups");
        EXPECT_EQ(std::vector<std::string>(line.labels.begin() + 1, line.labels.end()), Labels(bestSubset))
            << "mode " << mc.mode << " size " << k;
    }
    free2D(DY, ncsm);
    free2D(DZ, ncsm);
    free2D(DE, ncsm);
}

INSTANTIATE_TEST_SUITE_P(Modes, ChRankDiversity,
                         ::testing::Values(ModeCase{1, 16}, ModeCase{2, 17}, ModeCase{4, 18}, ModeCase{5, 19},
                                           ModeCase{6, 20}, ModeCase{7, 21}, ModeCase{8, 22}, ModeCase{9, 23}));

class ChRankDarkDiversity : public tnxtest::TempDirTest {};

// Dark diversity with each OTU its own type: half the sum of absolute differences between a
// community's relative performances and its relative fuzzy-weighted composition.
TEST_F(ChRankDarkDiversity, EachOtuItsOwnTypeMatchesBruteForce) {
    const Survey sv = RandomSurvey(77, 3, 7, 8, 2);
    // Labels in an order unlike the OTUs': X's columns follow the sorted labels.
    const std::vector<int> partition = {7, 3, 5, 1, 6, 2, 4};
    LoadSurvey(sv, 24, partition);
    ASSERT_EQ(ChRankAlphaBetaDivergence(3), kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    double** DE = RawEnvironmentDistance();
    for (int k = 1; k <= 3; k++) {
        double best = -DBL_MAX;
        std::vector<int> bestSubset;
        auto subsets = AllSubsets(3);
        std::sort(subsets.begin(), subsets.end());
        for (const auto& s : subsets) {
            if (static_cast<int>(s.size()) != k) continue;
            float** S = SubsetSimilarity(s);
            double** U = dim2Double(tcst, tcst);
            FuzzyBelonging(tcst, tcst, S, partition_OTUs, U, false);
            double** W = CommunitiesByOtus();
            std::vector<double> dark(ncsm);
            for (int c = 0; c < ncsm; c++) {
                // X[c][label - 1] = sum over OTUs j of W[c][j] U[j][label - 1]; OTU i is type label_i.
                double wTot = 0.0, xTot = 0.0;
                std::vector<double> x(tcst, 0.0);
                for (int t = 0; t < tcst; t++)
                    for (int j = 0; j < tcst; j++) x[t] += W[c][j] * U[j][t];
                for (int i = 0; i < tcst; i++) {
                    wTot += W[c][i];
                    xTot += x[partition_OTUs[i] - 1];
                }
                double sum = 0.0;
                for (int i = 0; i < tcst; i++)
                    sum += std::fabs(W[c][i] / wTot - x[partition_OTUs[i] - 1] / xTot);
                dark[c] = sum / 2.0;
            }
            double** DS = AbsDifferences(dark);
            const double v = MatrixCorr(ncsm, DE, DS);
            if (v > best) {
                best = v;
                bestSubset = s;
            }
            free2D(DS, ncsm);
            free2D(W, ncsm);
            free2D(U, tcst);
            free2D(S, tcst);
        }
        SizeLine line = ReadSizeLine(text, "Ranking criterion value, groups and optimal subset with " +
                                               std::to_string(k) + " traits: \t");
        ASSERT_TRUE(line.found);
        EXPECT_NEAR(std::atof(line.value.c_str()), best, 1e-5) << k;
        EXPECT_EQ(std::vector<std::string>(line.labels.begin() + 1, line.labels.end()), Labels(bestSubset)) << k;
    }
    free2D(DE, ncsm);
}

TEST_F(ChRankDarkDiversity, RefusedUnlessTheTypesAreTheOtus) {
    const Survey sv = RandomSurvey(78, 3, 7, 8, 2);
    LoadSurvey(sv, 24, {1, 1, 2, 2, 3, 3, 4});
    EXPECT_EQ(ChRankAlphaBetaDivergence(3), kChRankRefused);
    EXPECT_FALSE(std::filesystem::exists("s1ChRank.txt"));
    // The smoothed-composition criteria need no environmental variables; alpha divergence does.
    const Survey noEnv = RandomSurvey(79, 3, 7, 8, 0);
    LoadSurvey(noEnv, 18, {1, 1, 2, 2, 3, 3, 4});
    EXPECT_EQ(ChRankAlphaBetaDivergence(4), kChRankDone);
    LoadSurvey(noEnv, 16, {1, 1, 2, 2, 3, 3, 4});
    EXPECT_EQ(ChRankAlphaBetaDivergence(1), kChRankRefused);
}

// The layout of the report: header lines in order, the per-size lines with groups, the top
// list heading of the statistic and measure.
TEST_F(ChRankDarkDiversity, ReportHeaderAndHeadings) {
    const Survey sv = RandomSurvey(80, 3, 7, 8, 2);
    LoadSurvey(sv, 17, {1, 1, 2, 2, 3, 3, 1});
    printRankIntermedResults = 'y';
    ASSERT_EQ(ChRankAlphaBetaDivergence(2), kChRankDone);
    const std::string text = Read("s1ChRank.txt");
    const std::string header =
        "Session:        s1 \nFormatted data: s1Formda.txt \n"
        "Trait-based approach: 1 (composition of types)\n"
        "Community data matrix W adjusted to unit totals prior to trait convergence evaluation.\n"
        "Community data matrix W NOT adjusted to unit totals prior to evaluation.\n"
        "Trait ranking criterion (TRC): 17 (beta divergence: ro(XE.TR))\tmatrix correlation (Mantel)\n"
        "Correlation measure: matrix correlation (Mantel)\n"
        "Pooling of OTUs: 2 (polythetic)\n"
        "Partition of OTUs into types specified by the user:\n1\t1\t2\t2\t3\t3\t1\t\n"
        "Resemblance function between OTUs: 1 (Gower index)\n"
        "Gower similarity modified to count matching absences in binary traits? not\n"
        "Rao entropy based on traits computed on square root transformed dissimilarities? not\n"
        "Ranking algorithm: 2 (all trait combinations)\n"
        "Fuzzy transformation: fuzzy (fuzzy belonging of OTUs to types)\n"
        "Resemblance option between communities: 6 (Euclidean distance)\n"
        "\nTRC         \tGroups\tTrait subset used:\nr(XE.TR)=\t";
    EXPECT_NE(text.find(header), std::string::npos) << text.substr(0, 1500);
    EXPECT_EQ(tnxtest::Count(text, "r(XE.TR)=\t"), 7);
    EXPECT_NE(text.find("\n\nTrait subsets with maximum partial Mantel correlation ro(XE.TR):\nTRC\toptimal subset of "
                        "traits\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n\nTrait subsets with maximum rank for each number of traits:\nTRC         \tSubset of "
                        "traits\n"),
              std::string::npos);
}

}  // namespace
