// Every criterion of the exhaustive trait-subset searches, under the Mantel, Procrustes and RV
// measures: the best subset and value of each size against a brute force that forms every
// subset's matrices from scratch through the functional analysis's own routines (community-
// weighted means, Gower similarity of the subset's traits alone, fuzzy belonging, Beals
// smoothing, Rao entropy, community resemblance, MatrixCorr, ProcrustesCoeff, RVcoeff,
// PartialMatrixCorrelation, partial correlations by their formula); the data each refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
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

// Partial correlation of x and y given z, in the single precision the searches use.
double Partial(double xy, double xz, double yz) {
    const float a = static_cast<float>(xy), b = static_cast<float>(xz), c = static_cast<float>(yz);
    return (a - b * c) / std::sqrt((1.0f - b * b) * (1.0f - c * c));
}

// Mantel correlation; over the single pair of two communities, 1 - |a - b| / max(|a|, |b|).
double Corr(double** A, double** B) {
    if (ncsm != 2) return MatrixCorr(ncsm, A, B);
    const double a = A[0][1], b = B[0][1];
    return a == b ? 1.0 : 1.0 - std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

double** AbsDifferences(const std::vector<double>& v) {
    double** D = dim2Double(ncsm, ncsm);
    for (int i = 0; i < ncsm; i++)
        for (int j = i + 1; j < ncsm; j++) D[i][j] = std::fabs(v[i] - v[j]);
    return D;
}

struct Case {
    int criterion, measure;  // measure 1 Mantel, 2 Procrustes, 3 RV
    unsigned seed;
    int p, s, n, v, groups;  // groups == s: each OTU its own type
    const char* heading;     // the top list's heading, when checked
    int envType = 1;         // 1 raw variables; 2, and 5 without qualitative ones: standardised
};

// The name of a case in the test list: its criterion, measure, communities, types, seed and, when the
// variables are standardised, their option; the same in every build.
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const Case& k = info.param;
    static const char* const kMeasures[] = {"", "Mantel", "Procrustes", "RV"};
    std::string name = "Criterion" + std::to_string(k.criterion) + "_" + kMeasures[k.measure] + "_" +
                       std::to_string(k.n) + "Communities_" + std::to_string(k.groups) + "Types_Seed" +
                       std::to_string(k.seed);
    if (k.envType != 1) name += "_EnvOption" + std::to_string(k.envType);
    return name;
}

bool Absolute(int criterion) {
    return criterion == 9 || criterion == 12 || criterion == 17 || criterion == 20 || criterion == 23;
}

// What does not depend on the subset: E, DE, the Beals-smoothed W (method 2 for criteria 18 to
// 20, 1 otherwise) and its resemblance, the phylogenetic composition P = W Q and DP.
struct Fixed {
    double **E = nullptr, **DE = nullptr, **Z = nullptr, **DZ = nullptr, **P = nullptr, **DP = nullptr;
    explicit Fixed(int criterion) {
        E = dim2Double(ncsm, std::max(nenv, 1));
        for (int c = 0; c < ncsm; c++)
            for (int v = 0; v < nenv; v++) E[c][v] = env[c][v];
        DE = RawEnvironmentDistance();
        if (optEnvVarType != 1) {
            // Each variable centred and divided by the root of its sum of squares (a factor common
            // to the variables, such as that of the standard deviation, leaves r(.E) as it is).
            for (int v = 0; v < nenv; v++) {
                double mean = 0.0, ss = 0.0;
                for (int c = 0; c < ncsm; c++) mean += E[c][v] / ncsm;
                for (int c = 0; c < ncsm; c++) ss += (E[c][v] - mean) * (E[c][v] - mean);
                for (int c = 0; c < ncsm; c++) E[c][v] = (E[c][v] - mean) / std::sqrt(ss);
            }
            for (int i = 0; i < ncsm; i++)
                for (int j = i + 1; j < ncsm; j++) {
                    double d2 = 0.0;
                    for (int v = 0; v < nenv; v++) d2 += (E[i][v] - E[j][v]) * (E[i][v] - E[j][v]);
                    DE[i][j] = std::sqrt(d2);
                }
        }
        double** W = CommunitiesByOtus();
        Z = dim2Double(ncsm, tcst);
        const int method = criterion >= 18 && criterion <= 20 ? 2 : 1;
        BealsSmoothing(ncsm, tcst, W, W, Z, BealsIncludeOpt != 0, method, method == 2);
        DZ = Distance(Z, tcst, rese_opt);
        if (criterion >= 11 && criterion <= 15) {
            double** Q = dim2Double(tcst, nTaxa);
            FuzzyBelonging(tcst, nTaxa, phylogenyRese, partition_OTUs_Phyl, Q, false);
            P = dim2Double(ncsm, nTaxa);
            MatrixProd(ncsm, tcst, tcst, nTaxa, W, Q, P);
            DP = Distance(P, nTaxa, rese_opt);
            free2D(Q, tcst);
        }
        free2D(W, ncsm);
    }
    ~Fixed() {
        for (double** m : {E, DE, Z, DZ, P, DP})
            if (m) free2D(m, ncsm);
    }
};

// Dark diversity of each community with each OTU its own type: half the sum over the OTUs of
// |W[c][i] / W total - X[c][label_i] / total of those X cells|.
std::vector<double> Dark(double** X) {
    double** W = CommunitiesByOtus();
    std::vector<double> dark(ncsm);
    for (int c = 0; c < ncsm; c++) {
        double wTot = 0.0, xTot = 0.0, sum = 0.0;
        for (int i = 0; i < tcst; i++) wTot += W[c][i], xTot += X[c][partition_OTUs[i] - 1];
        for (int i = 0; i < tcst; i++) sum += std::fabs(W[c][i] / wTot - X[c][partition_OTUs[i] - 1] / xTot);
        dark[c] = sum / 2.0;
    }
    free2D(W, ncsm);
    return dark;
}

// The criterion's value of one subset, from scratch.
double Value(const Case& k, const Fixed& f, const std::vector<int>& s) {
    const int g = k.groups, m = k.measure;
    double **T = Means(s), **X = Composition(s, g), **DT = Distance(T, nch, 6), **DX = Distance(X, g, rese_opt);
    // Rao entropy of every community over the subset's OTU dissimilarities 1 - S.
    float** S = SubsetSimilarity(s);
    for (int i = 0; i < tcst; i++)
        for (int j = 0; j < i; j++) S[i][j] = S[j][i];
    double** W = CommunitiesByOtus();
    double** R = dim2Double(ncsm, 1);
    std::vector<double> rao(ncsm);
    for (int c = 0; c < ncsm; c++) R[c][0] = rao[c] = RaoIndex(tcst, W[c], S, false, false);
    double** DR = AbsDifferences(k.criterion == 24 ? Dark(X) : rao);
    int* flags = Flags(s);
    const MatrixCovariate byT{nch, flags, T}, byR{1, nullptr, R};
    auto cong = [&](int pa, int pb, double** A, double** B) {
        return m == 2 ? ProcrustesCoeff(ncsm, pa, pb, A, B) : RVcoeff(ncsm, pa, pb, A, B);
    };
    auto partial = [&](int pa, int pb, double** A, double** B, const std::vector<MatrixCovariate>& cov) {
        return PartialMatrixCorrelation(ncsm, pa, pb, A, B, m, overfitFactorPCARegr, cov);
    };
    double v = 0.0;
    if (m == 1) {
        const double te = Corr(f.DE, DT), xe = Corr(f.DE, DX), xt = Corr(DT, DX), re = Corr(f.DE, DR);
        const double pt = f.DP ? Corr(f.DP, DT) : 0, px = f.DP ? Corr(f.DP, DX) : 0;
        const double zx = Corr(f.DZ, DX), zt = Corr(f.DZ, DT);
        switch (k.criterion) {
            case 1: v = xe; break;
            case 9: v = Partial(xe, xt, te); break;
            case 10: v = te; break;
            case 11: v = px; break;
            case 12: v = Partial(px, xt, pt); break;
            case 13: v = pt; break;
            case 14: v = static_cast<float>(pt) * static_cast<float>(te); break;
            case 15: v = static_cast<float>(px) * static_cast<float>(xe); break;
            case 16: case 24: v = re; break;
            case 17: {
                const double xr = Corr(DX, DR), tr = Corr(DT, DR);
                v = Partial(Partial(xe, xr, re), Partial(xt, xr, tr), Partial(te, tr, re));
                break;
            }
            case 18: case 21: v = zx; break;
            case 19: case 22: v = zt; break;
            default: v = Partial(zx, xt, zt); break;
        }
    } else {
        switch (k.criterion) {
            case 1: v = cong(nenv, g, f.E, X); break;
            case 9: v = partial(g, nenv, X, f.E, {byT}); break;
            case 10: v = cong(nenv, nch, f.E, T); break;
            case 11: v = cong(g, nTaxa, X, f.P); break;
            case 12: v = partial(nTaxa, g, f.P, X, {byT}); break;
            case 13: v = cong(nch, nTaxa, T, f.P); break;
            case 16: v = cong(nenv, 1, f.E, R); break;
            case 17: v = partial(g, nenv, X, f.E, {byT, byR}); break;
            case 18: case 21: v = cong(g, tcst, X, f.Z); break;
            case 19: case 22: v = cong(nch, tcst, T, f.Z); break;
            default: v = partial(g, tcst, X, f.Z, {byT}); break;
        }
    }
    free1D(flags);
    for (double** d : {T, DT, DX, W, R, DR}) free2D(d, ncsm);
    free2D(X, ncsm);
    free2D(S, tcst);
    return v;
}

class ChRankCriteria : public tnxtest::TempDirTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ChRankCriteria, BestSubsetOfEachSizeMatchesBruteForce) {
    const Case k = GetParam();
    const bool phylogeny = k.criterion >= 11 && k.criterion <= 15;
    const Survey sv = RandomSurvey(k.seed, k.p, k.s, k.n, k.v, phylogeny);
    // Own types: labels in an order unlike the OTUs' (X's columns follow the sorted labels).
    std::vector<int> partition(k.s);
    for (int i = 0; i < k.s; i++) partition[i] = k.groups == k.s ? (3 * i + 6) % k.s + 1 : 1 + i % k.groups;
    LoadSurvey(sv, k.criterion, partition);
    opt_ro = k.measure, optEnvVarType = k.envType, temEnvQual = 0;
    ASSERT_EQ(RunCriterion(k.criterion), kChRankDone);
    const std::string text = Read("s1ChRank.txt");

    // Best of each size: subsets by size, then lexicographic, the first kept on ties; signed,
    // or by magnitude from 0.
    const Fixed f(k.criterion);
    const bool absolute = Absolute(k.criterion);
    auto subsets = AllSubsets(k.p);
    std::sort(subsets.begin(), subsets.end());
    std::vector<double> best(k.p + 1, absolute ? 0.0 : -DBL_MAX);
    std::vector<std::vector<int>> bestSubset(k.p + 1);
    for (const auto& s : subsets) {
        const int size = static_cast<int>(s.size());
        const double v = Value(k, f, s);
        if (absolute ? std::fabs(v) > std::fabs(best[size]) : v > best[size]) best[size] = v, bestSubset[size] = s;
    }
    const bool niche = k.criterion == 14 || k.criterion == 15, grouped = niche || k.criterion >= 16;
    const std::string prefix = niche     ? "Ranking criterion values, groups and optimal subset with "
                               : grouped ? "Ranking criterion value, groups and optimal subset with "
                                         : "Ranking criterion value and optimal subset with ";
    for (int size = 1; size <= k.p; size++) {
        SCOPED_TRACE(testing::Message() << "criterion " << k.criterion << " measure " << k.measure << " size " << size);
        const SizeLine line = ReadSizeLine(text, prefix + std::to_string(size) + " traits: \t");
        ASSERT_TRUE(line.found);
        EXPECT_NEAR(std::atof(line.value.c_str()), best[size], 1e-5);
        std::vector<std::string> want = Labels(bestSubset[size]);
        if (grouped) want.insert(want.begin(), std::to_string(k.groups) + " groups");
        EXPECT_EQ(line.labels, want);
    }
    if (k.heading) {
        EXPECT_EQ(tnxtest::Count(text, k.heading), 1);
    }
    if (niche) {
        // The summary block opens the file: one line of labels per size, the numbers of types,
        // the values; then the version.
        std::istringstream in(text);
        std::string line;
        for (int size = 1; size <= k.p; size++) {
            std::getline(in, line);
            std::string labels;
            for (int t : bestSubset[size]) labels += "t" + std::to_string(t + 1) + "\t";
            EXPECT_EQ(line, labels) << size;
        }
        std::getline(in, line);
        EXPECT_EQ(line, "3    \t3    \t3    \t3    \t");
        std::getline(in, line);
        std::istringstream values(line);
        for (int size = 1; size <= k.p; size++) {
            double v;
            values >> v;
            EXPECT_NEAR(v, best[size], 1e-5);
        }
        std::getline(in, line);
        EXPECT_EQ(line, version);
        // 15 evaluations in the first list: 85 slots print the start value, 0 types, no traits.
        EXPECT_EQ(tnxtest::Count(text, "-1.79769e+308\t0 groups\t\n"), 85);
    }
}

const char* const kPartialMantel = "\n\nTrait subsets with maximum partial Mantel correlation ro(XE.T):\nTRC\toptimal "
                                   "subset of traits\n";

INSTANTIATE_TEST_SUITE_P(
    Criteria, ChRankCriteria,
    ::testing::Values(
        // Mantel: six traits; two communities (the single-pair rule); four types.
        Case{10, 1, 3, 6, 11, 9, 3, 3, nullptr}, Case{10, 1, 6, 3, 5, 2, 2, 2, nullptr},
        Case{1, 1, 8, 5, 10, 8, 2, 3, nullptr}, Case{9, 1, 21, 5, 10, 8, 2, 4, kPartialMantel},
        Case{11, 1, 71, 4, 9, 8, 2, 3, nullptr}, Case{12, 1, 72, 4, 9, 8, 2, 3, nullptr},
        Case{13, 1, 73, 4, 9, 8, 2, 3, nullptr}, Case{14, 1, 74, 4, 9, 8, 2, 3, nullptr},
        Case{15, 1, 75, 4, 9, 8, 2, 3, nullptr}, Case{16, 1, 41, 4, 9, 8, 2, 3, nullptr},
        Case{17, 1, 42, 4, 9, 8, 2, 3,
             "\n\nTrait subsets with maximum partial Mantel correlation ro(XE.TR):\nTRC\toptimal subset of traits\n"},
        Case{18, 1, 44, 4, 9, 8, 2, 3, nullptr}, Case{19, 1, 45, 4, 9, 8, 2, 3, nullptr},
        Case{20, 1, 46, 4, 9, 8, 2, 3, nullptr}, Case{21, 1, 47, 4, 9, 8, 2, 3, nullptr},
        Case{22, 1, 48, 4, 9, 8, 2, 3, nullptr}, Case{23, 1, 49, 4, 9, 8, 2, 3, nullptr},
        Case{24, 1, 77, 3, 7, 8, 2, 7, nullptr},
        // Standardised environmental variables, by their type or as all quantitative.
        Case{10, 1, 31, 4, 9, 8, 3, 3, nullptr, 2}, Case{1, 1, 32, 4, 9, 8, 3, 3, nullptr, 5},
        // Procrustes and RV.
        Case{10, 2, 102, 4, 10, 9, 3, 3, nullptr}, Case{10, 3, 103, 4, 10, 9, 3, 3, nullptr},
        Case{1, 2, 93, 4, 10, 9, 3, 3, nullptr}, Case{1, 3, 94, 4, 10, 9, 3, 3, nullptr},
        Case{9, 2, 101, 4, 10, 9, 3, 3,
             "\n\nTrait subsets with maximum partial congruence in a symmetric Procrustes rotation r(XE.T):\nTRC\t"
             "optimal subset of traits\n"},
        Case{9, 3, 102, 4, 10, 9, 3, 3,
             "\n\nTrait subsets with maximum partial congruence in RV r(XE.T):\nTRC\toptimal subset of traits\n"},
        Case{11, 2, 133, 4, 10, 9, 3, 3, nullptr}, Case{12, 3, 135, 4, 10, 9, 3, 3, nullptr},
        Case{13, 2, 135, 4, 10, 9, 3, 3, nullptr}, Case{16, 3, 139, 4, 10, 9, 3, 3, nullptr},
        Case{17, 2, 139, 4, 10, 9, 3, 3, nullptr}, Case{17, 3, 140, 4, 10, 9, 3, 3, nullptr},
        Case{18, 2, 140, 4, 10, 9, 3, 3, nullptr}, Case{19, 3, 142, 4, 10, 9, 3, 3, nullptr},
        Case{20, 2, 142, 4, 10, 9, 3, 3, nullptr}, Case{21, 3, 144, 4, 10, 9, 3, 3, nullptr},
        Case{22, 2, 144, 4, 10, 9, 3, 3, nullptr}, Case{23, 3, 146, 4, 10, 9, 3, 3, nullptr}),
    CaseName);

// Each search refuses, before opening a file, the data its criterion cannot use; the survey
// has 3 traits, 6 OTUs of types 1 2 1 2 1 2, 5 communities, 2 variables and a phylogeny.
// The criteria of phylogeny and traits together (14, 15) compare the communities by a distance of
// options 6 to 10 (6 for any other), as matrix correlations whatever the measure: the header names
// the option they used.
TEST_F(ChRankCriteria, PhylogenyCriteriaNameTheResemblanceTheyUse) {
    const struct {
        int criterion, measure, option;
        const char* line;
    } rows[] = {
        {14, 1, 8, "\nResemblance option between communities: 8 (absolute value function)\n"},
        {14, 2, 10, "\nMatrix correlations (Mantel) computed whatever the correlation measure, with resemblance "
                    "option between communities: 10 (chord distance)\n"},
        {15, 3, 3, "\nMatrix correlations (Mantel) computed whatever the correlation measure, with resemblance "
                   "option between communities: 6 (Euclidean distance)\n"},
        {15, 1, 7, "\nResemblance option between communities: 7 (relative Euclidean distance)\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "criterion " << r.criterion << ", measure " << r.measure);
        LoadSurvey(RandomSurvey(2, 3, 6, 5, 2, true), r.criterion, {1, 2, 1, 2, 1, 2});
        opt_ro = r.measure, rese_opt = r.option;
        std::filesystem::remove("s1ChRank.txt");
        ASSERT_EQ(RunCriterion(r.criterion), kChRankDone);
        EXPECT_NE(Read("s1ChRank.txt").find(r.line), std::string::npos);
        EXPECT_EQ(rese_opt, r.option);  // the session's own option comes back
    }
}

// The top list of the divergence and smoothing criteria (16 to 24) is headed by its statistic and
// the measure: under Mantel a (partial) Mantel correlation; under Procrustes a symmetric rotation,
// or for the partial statistics a partial Procrustes correlation (r(XE.TR) a partial congruence in
// it); under RV the RV coefficient, partial for the partial statistics. Each OTU its own type, so
// that dark diversity (24) runs too.
TEST_F(ChRankCriteria, DivergenceTopListIsHeadedByItsStatisticAndMeasure) {
    const struct {
        int criterion;
        const char* heading[3];  // between "maximum " and ":", under Mantel, Procrustes and RV
    } rows[] = {
        {16,
         {"Mantel correlation ro(RE)", "congruence in a symmetric Procrustes rotation ro(RE)",
          "congruence measured by the RV coefficient r(RE)"}},
        {17,
         {"partial Mantel correlation ro(XE.TR)", "partial congruence in a partial Procrustes correlation ro(XE.TR)",
          "partial congruence measured by a partial RV coefficient r(XE.TR)"}},
        {24,
         {"Mantel correlation ro(SE)", "congruence in a symmetric Procrustes rotation ro(SE)",
          "congruence measured by the RV coefficient r(SE)"}},
        {18,
         {"Mantel correlation ro(XZ)", "congruence in a symmetric Procrustes rotation ro(XZ)",
          "congruence measured by the RV coefficient r(XZ)"}},
        {19,
         {"Mantel correlation ro(TZ)", "congruence in a symmetric Procrustes rotation ro(TZ)",
          "congruence measured by the RV coefficient r(TZ)"}},
        {20,
         {"partial Mantel correlation ro(XZ.T)", "congruence in a partial Procrustes correlation ro(XZ.T)",
          "partial congruence measured by a partial RV coefficient r(XZ.T)"}},
        {21,
         {"Mantel correlation ro(XY)", "congruence in a symmetric Procrustes rotation ro(XY)",
          "congruence measured by the RV coefficient r(XY)"}},
        {22,
         {"Mantel correlation ro(TY)", "congruence in a symmetric Procrustes rotation ro(TY)",
          "congruence measured by the RV coefficient r(TY)"}},
        {23,
         {"partial Mantel correlation ro(XY.T)", "congruence in a partial Procrustes correlation ro(XY.T)",
          "partial congruence measured by a partial RV coefficient r(XY.T)"}},
    };
    for (const auto& r : rows)
        for (int measure = 1; measure <= 3; measure++) {
            SCOPED_TRACE(testing::Message() << "criterion " << r.criterion << ", measure " << measure);
            LoadSurvey(RandomSurvey(9, 3, 6, 5, 2), r.criterion, {1, 2, 3, 4, 5, 6});
            opt_ro = measure;
            std::filesystem::remove("s1ChRank.txt");
            ASSERT_EQ(RunCriterion(r.criterion), kChRankDone);
            const std::string text = Read("s1ChRank.txt");
            const std::string heading = std::string("\n\nTrait subsets with maximum ") + r.heading[measure - 1] +
                                        ":\nTRC\toptimal subset of traits\n";
            EXPECT_EQ(tnxtest::Count(text, heading), 1);
            EXPECT_EQ(tnxtest::Count(text, "\n\nTrait subsets with maximum "), 2);  // and the per-size list
        }
}

TEST_F(ChRankCriteria, EachCriterionRefusesDataItCannotUse) {
    const struct {
        const char* what;
        std::vector<int> criteria;
        void (*data)(Survey&);
        void (*options)();
        ChRankStatus expected;
    } cases[] = {
        {"no environmental variables", {1, 9, 10, 14, 16, 24}, [](Survey& s) { s.v = 0, s.E.clear(); },
         [] {
             for (int i = 0; i < tcst; i++) partition_OTUs[i] = i + 1;  // dark diversity's own types
         },
         kChRankRefused},
        {"smoothed compositions need no environment", {18}, [](Survey& s) { s.v = 0, s.E.clear(); }, nullptr,
         kChRankDone},
        {"one community", {1, 9, 10},
         [](Survey& s) {
             s.n = 1;
             for (auto& row : s.W) row.assign(1, 1.0f);
             for (auto& row : s.E) row.resize(1);
         },
         nullptr, kChRankRefused},
        {"no trait selected", {1, 9, 10}, nullptr, [] { std::fill(weight, weight + nch, 0.0f); }, kChRankRefused},
        {"fewer selected traits than the smallest size", {1, 9, 10}, nullptr,
         [] { weight[0] = weight[2] = 0.0f, nMinTraitsChRank = 2; }, kChRankRefused},
        {"a largest size below the smallest", {1, 9, 10}, nullptr, [] { nMinTraitsChRank = 3, nMaxTraitsChRank = 2; },
         kChRankRefused},
        {"a partition of one type", {1, 9}, nullptr, [] { std::fill(partition_OTUs, partition_OTUs + tcst, 1); },
         kChRankRefused},
        {"a nominal trait where T enters", {9, 10, 12, 13},
         [](Survey& s) {
             s.types[1] = 2;
             for (auto& row : s.B) row[1] = std::round(row[1]);
         },
         nullptr, kChRankRefused},
        {"a nominal trait where only types enter", {1, 11},
         [](Survey& s) {
             s.types[1] = 2;
             for (auto& row : s.B) row[1] = std::round(row[1]);
         },
         nullptr, kChRankDone},
        {"no phylogeny", {11, 12, 13, 14, 15}, [](Survey& s) { s.F.clear(); }, nullptr, kChRankRefused},
        {"one taxon: P holds the community totals", {11, 14}, nullptr,
         [] { std::fill(partition_OTUs_Phyl, partition_OTUs_Phyl + tcst, 1), nTaxa = 1; }, kChRankDone},
        {"no taxon", {11, 14}, nullptr, [] { nTaxa = 0; }, kChRankRefused},
        {"dark diversity with types other than the OTUs", {24}, nullptr, nullptr, kChRankRefused},
        {"dark diversity with each OTU its own type", {24}, nullptr,
         [] {
             for (int i = 0; i < tcst; i++) partition_OTUs[i] = tcst - i;
         },
         kChRankDone},
        {"Procrustes with a missing environmental value", {1, 9, 10, 16, 17},
         [](Survey& s) { s.E[1][3] = -999.0f; }, [] { opt_ro = 2; }, kChRankRefused},
        {"Mantel skips a missing environmental value", {1, 9, 10, 16, 17}, [](Survey& s) { s.E[1][3] = -999.0f; },
         nullptr, kChRankDone},
        {"Procrustes where the criterion does not read E", {18}, [](Survey& s) { s.E[1][3] = -999.0f; },
         [] { opt_ro = 2; }, kChRankDone},
    };
    for (const auto& c : cases)
        for (int criterion : c.criteria) {
            SCOPED_TRACE(testing::Message() << c.what << ", criterion " << criterion);
            Survey sv = RandomSurvey(2, 3, 6, 5, 2, true);
            if (c.data) c.data(sv);
            LoadSurvey(sv, criterion, {1, 2, 1, 2, 1, 2});
            if (c.options) c.options();
            std::filesystem::remove("s1ChRank.txt");
            EXPECT_EQ(RunCriterion(criterion), c.expected);
            EXPECT_EQ(std::filesystem::exists("s1ChRank.txt"), c.expected == kChRankDone);
        }
    // Each search answers only for its own criteria.
    LoadSurvey(RandomSurvey(2, 3, 6, 5, 2, true), 10, {1, 2, 1, 2, 1, 2});
    EXPECT_EQ(ChRankPhylogenyAssembly(), kChRankRefused);
    EXPECT_EQ(ChRank_Phylogeny_x_Trait_Assembly(), kChRankRefused);
    opt_struct = 14;
    EXPECT_EQ(ChRankPhylogenyAssembly(), kChRankRefused);
    EXPECT_EQ(ChRankAlphaBetaDivergence(0), kChRankRefused);
    EXPECT_EQ(ChRankAlphaBetaDivergence(10), kChRankRefused);
}

}  // namespace
