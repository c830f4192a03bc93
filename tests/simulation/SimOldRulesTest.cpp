// Tests of the earlier prediction of community matrices by environmental filtering and assembly
// rules: each step by hand, and a whole run whose files are recomputed from its trait file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "session/session_fixture.h"
#include "simulation/TNXSIMOLD.h"

namespace {

using tnxtest::CodeOf;
using Matrix = std::vector<std::vector<double>>;

double** Alloc(const Matrix& m) {
    double** a = dim2Double(static_cast<int>(m.size()), static_cast<int>(m[0].size()));
    for (size_t i = 0; i < m.size(); i++)
        for (size_t j = 0; j < m[i].size(); j++) a[i][j] = m[i][j];
    return a;
}

void ExpectMatrix(double** got, const Matrix& expected, double tol, const char* what) {
    for (size_t i = 0; i < expected.size(); i++)
        for (size_t j = 0; j < expected[i].size(); j++)
            EXPECT_NEAR(got[i][j], expected[i][j], tol) << what << " " << i << " " << j;
}

TEST(AssemblyRulesSteps, ExpandedPredictorsAndTheirMeans) {
    // 3 factors: the values, their squares, and 3 pair columns at 0 (whatever they held).
    double** E = Alloc({{1, 2, 3}, {-1, 0.5, 2}});
    double** Ex = Alloc({{9, 9, 9, 9, 9, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 9, 9, 9, 9}});
    ExpandPredictors(2, 3, E, Ex);
    ExpectMatrix(Ex, {{1, 2, 3, 1, 4, 9, 0, 0, 0}, {-1, 0.5, 2, 1, 0.25, 4, 0, 0, 0}}, 0, "Ex");
    // Two traits: 0.5 + 2 x1 - x1^2 and -1 + x2 + 3 x3^2 (the pair columns weigh nothing).
    double** coef = Alloc({{0.5, 2, 0, 0, -1, 0, 0, 7, 7, 7}, {-1, 0, 1, 0, 0, 0, 3, 7, 7, 7}});
    double** cwm = Alloc({{0, 0}, {0, 0}});
    PredictorMeans(2, 2, 9, Ex, coef, cwm);
    ExpectMatrix(cwm, {{1.5, 28}, {-2.5, 11.5}}, 1e-14, "CWM");
    for (double** m : {E, Ex, coef, cwm}) free2D(m, 2);
}

TEST(AssemblyRulesSteps, PredictionFromDeviationsClampsAndScalesColumns) {
    // Site 1: X = (0.7, 0.75, 0.75) / 2.2. Site 2: (-0.1 -> 0, 0.45, 0.45) / 0.9. Site 3 is far
    // from every trait value: every X clamps to 0 and the column stays 0.
    double** B = Alloc({{0.2, 0.9}, {0.5, 0.1}, {0.9, 0.5}});
    double** cwm = Alloc({{0.4, 0.5}, {0.9, -0.6}, {5, 5}});
    double*** dev = dim3Double(2, 3, 3);
    TraitDeviations(3, 3, 2, B, cwm, dev);
    EXPECT_NEAR(dev[1][0][1], 1.5, 1e-15);
    EXPECT_NEAR(dev[0][2][0], 0.5, 1e-15);
    double** X = Alloc({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    PredictionFromDeviations(2, 3, 3, dev, X);
    ExpectMatrix(X, {{0.7 / 2.2, 0, 0}, {0.75 / 2.2, 0.5, 0}, {0.75 / 2.2, 0.5, 0}}, 1e-14, "X");
    free3D(dev, 2, 3);
    for (double** m : {B, cwm, X}) free2D(m, 3);
}

TEST(AssemblyRulesSteps, ThresholdsKeepTheirBoundary) {
    double** X = Alloc({{0.25, 0.3}, {0.2499999, 0.2000001}});
    double** W = Alloc({{1, 1}, {1, 1}});
    KeepNotBelow(2, 2, X, 0.25, W);
    ExpectMatrix(W, {{0.25, 0.3}, {0, 0}}, 0, "W");
    // Minimum (0.2, 0.4 | 0.47, 0.53 | 0.6, 0.4) at unit sums; 0.9/2 = 0.45 keeps 0.47 but not 1/3.
    double** Xf = Alloc({{0.6, 0.47, 0.6}, {0.4, 0.53, 0.4}});
    double** Xr = Alloc({{0.2, 0.5, 0.7}, {0.8, 0.6, 0.4}});
    double** Wfa = Alloc({{0, 0, 0}, {0, 0, 0}});
    CombinePredictions(2, 3, Xf, Xr, Wfa);
    ExpectMatrix(Wfa, {{0, 0.47, 0.6}, {2.0 / 3, 0.53, 0}}, 1e-15, "Wfa");
    for (double** m : {X, W, Xf, Xr, Wfa}) free2D(m, 2);
}

TEST(AssemblyRulesSteps, ArrivalsByHand) {
    // 3 OTUs, 2 traits, community 2 of 2; arrivals OTU 3, 1, 2. Similarities 1 - |x - y| / range.
    // Trait 1 (0, 0.5, 1): intercept 0.1, other coefficients sum 0.5; trait 2 (0.3, 0, 0.9):
    // intercept -0.2, sum 2. OTU 3 keeps the filtering means (0.4, 0.5); OTU 1 meets OTU 3 at
    // similarities (0, 1/3); OTU 2 its nearest at (0.5, 2/3).
    sDigits = 6;
    AssemblyRulesRun R;
    R.n = 2, R.p = 2, R.s = 3, R.f = 1, R.nx = 2, R.nInteraction = 6;
    AllocAssemblyRulesRun(&R);
    const double B[3][2] = {{0, 0.3}, {0.5, 0}, {1, 0.9}};
    const double sim[2][3][3] = {{{1, 0.5, 0}, {0.5, 1, 0.5}, {0, 0.5, 1}},
                                 {{1, 2.0 / 3, 1.0 / 3}, {2.0 / 3, 1, 0}, {1.0 / 3, 0, 1}}};
    const double coef[2][6] = {{0.1, 0.2, 0.3, 0, 0, 0}, {-0.2, 1, 0, 0, 0, 1}};
    for (int t = 0; t < 2; t++) {
        for (int o = 0; o < 3; o++) {
            R.B[o][t] = B[o][t];
            R.dev[t][o][0] = 7;
            for (int j = 0; j < 3; j++) R.sim[t][o][j] = sim[t][o][j];
        }
        for (int c = 0; c < 6; c++) R.coefI[t][c] = coef[t][c];
    }
    R.CWM[1][0] = 0.4, R.CWM[1][1] = 0.5;
    R.order[0] = 3, R.order[1] = 1, R.order[2] = 2;
    FILE* trace = std::tmpfile();
    AssemblyRulesCommunity(&R, 1, trace);
    // Trait minus expected mean: OTU 3 (0.6, 0.4); OTU 1 (0 - 0.1, 0.3 - (-0.2 + 2/3));
    // OTU 2 (0.5 - 0.35, 0 - (-0.2 + 4/3)).
    const double expected[2][3] = {{-0.1, 0.15, 0.6}, {0.3 - (-0.2 + 2.0 / 3), -(-0.2 + 4.0 / 3), 0.4}};
    for (int t = 0; t < 2; t++)
        for (int o = 0; o < 3; o++) {
            EXPECT_NEAR(R.dev[t][o][1], expected[t][o], 1e-15) << t << o;
            EXPECT_EQ(R.dev[t][o][0], 7);  // the other community untouched
        }
    std::string text(4096, '\0');
    rewind(trace);
    text.resize(fread(&text[0], 1, text.size(), trace));
    fclose(trace);
    EXPECT_EQ(text.rfind("COMMUNITY 2\nMatrix Btemp considering addition of OTU 3\n1\t0.9\t\nNearest neighbour "
                         "similarities considering addition of OTU 3\n\nMatrix CWM expected considering addition of OTU "
                         "3\n0.4\t0.5\t\nDeviations between trait 1 and expected CWM considering addition of OTU 3\n7\t"
                         "0\t\n7\t0\t\n7\t0.6\t\nDeviations between trait 2", 0), 0u);
    EXPECT_NE(text.find("addition of OTU 2\n1\t0.9\t\n0\t0.3\t\n0.5\t0\t\nNearest neighbour similarities considering "
                        "addition of OTU 2\n0.5\t0.666667\t\n"), std::string::npos);
    EXPECT_EQ(tnxtest::Count(text, "COMMUNITY 2\n"), 3);
    FreeAssemblyRulesRun(&R);
}

// The numbers of a file, lines with words (captions) left out.
Matrix Numbers(const std::string& text) {
    Matrix rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || std::any_of(line.begin(), line.end(), [](char c) { return std::isalpha(c) && c != 'e'; }))
            continue;
        std::istringstream cells(line);
        rows.emplace_back();
        for (double v; cells >> v;) rows.back().push_back(v);
    }
    return rows;
}

// X from per-trait deviation matrices (p blocks of s rows): mean of 1 - |d| at least 0, unit columns.
Matrix Prediction(const Matrix& dev, int p, int s, int n) {
    Matrix X(s, std::vector<double>(n));
    for (int k = 0; k < n; k++) {
        double sum = 0;
        for (int o = 0; o < s; o++) {
            for (int t = 0; t < p; t++) X[o][k] += (1 - std::fabs(dev[t * s + o][k])) / p;
            X[o][k] = std::max(X[o][k], 0.0);
            sum += X[o][k];
        }
        for (int o = 0; o < s; o++) X[o][k] /= sum > 0 ? sum : 1;
    }
    return X;
}

void ExpectClose(const Matrix& got, const Matrix& expected, const char* what) {
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (size_t i = 0; i < got.size(); i++)
        for (size_t j = 0; j < got[i].size(); j++)
            EXPECT_NEAR(got[i][j], expected[i][j], 4e-6 * (1 + std::fabs(expected[i][j]))) << what << i << j;
}

class AssemblyRulesRunTest : public tnxtest::ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        sDigits = 6;  // the program's default
    }
};

TEST_F(AssemblyRulesRunTest, FilesAgreeWithTheTraitsTheyCameFrom) {
    // 3 communities, 2 traits, 4 OTUs, 1 factor. E = k/6; trait 1 expects 0.2 + e, trait 2
    // 0.5 - e + 2e^2 (1 + 2 coefficients each); 6 interaction coefficients per trait.
    Write("RegressionCoeff_Filtering.txt", "0.2 1 0\n0.5 -1 2\n");
    Write("RegressionCoeff_Interaction.txt", "0.1 0.2 0.3 0 0 0\n-0.2 1 0 0 0 1\n");
    Script("3\n2\n4\n1\n");
    IFAssemblyRulesSimulation();
    EXPECT_EQ(Read("E.txt"), "0.166667\t\n0.333333\t\n0.5\t\n");
    EXPECT_EQ(Read("E_expanded.txt"), "0.166667\t0.0277778\t\n0.333333\t0.111111\t\n0.5\t0.25\t\n");
    EXPECT_EQ(Read("CWM.txt"), "0.366667\t0.388889\t\n0.533333\t0.388889\t\n0.7\t0.5\t\n");
    const Matrix B = Numbers(Read("TraitData.txt"));
    const double cwm[3][2] = {{0.2 + 1.0 / 6, 0.5 - 1.0 / 6 + 2.0 / 36}, {0.2 + 1.0 / 3, 0.5 - 1.0 / 3 + 2.0 / 9},
                              {0.7, 0.5}};
    Matrix dev;
    for (int t = 0; t < 2; t++)
        for (int o = 0; o < 4; o++) dev.push_back({B[o][t] - cwm[0][t], B[o][t] - cwm[1][t], B[o][t] - cwm[2][t]});
    ExpectClose(Numbers(Read("CWMDeviations.txt")), dev, "deviations");
    const Matrix Xf = Prediction(dev, 2, 4, 3);
    ExpectClose(Numbers(Read("X_Filtering.txt")), Xf, "X_Filtering");
    // Similarities by one trait; the arrivals of each community as the trace lists them.
    Matrix sim;
    for (int t = 0; t < 2; t++) {
        const double range = std::max({B[0][t], B[1][t], B[2][t], B[3][t]}) - std::min({B[0][t], B[1][t], B[2][t], B[3][t]});
        for (int o = 0; o < 4; o++) {
            sim.emplace_back();
            for (int j = 0; j < 4; j++) sim.back().push_back(1 - std::fabs(B[o][t] - B[j][t]) / range);
        }
    }
    ExpectClose(Numbers(Read("GowerSimilarityMatrix.txt")), sim, "Gower");
    const std::string trace = Read("T_OTU.txt");
    const std::string key = "Matrix Btemp considering addition of OTU ";
    size_t at = 0;
    const double intercept[2] = {0.1, -0.2}, others[2] = {0.5, 2};
    for (int k = 0; k < 3; k++) {
        std::vector<int> order;
        for (int i = 0; i < 4; i++) {
            at = trace.find(key, at) + key.size();
            order.push_back(std::stoi(trace.substr(at)) - 1);
        }
        EXPECT_TRUE(std::is_permutation(order.begin(), order.end(), std::vector<int>{0, 1, 2, 3}.begin()));
        for (int i = 1; i < 4; i++)
            for (int t = 0; t < 2; t++) {
                double nearest = 0;
                for (int j = 0; j < i; j++) nearest = std::max(nearest, sim[t * 4 + order[i]][order[j]]);
                dev[t * 4 + order[i]][k] = B[order[i]][t] - (intercept[t] + nearest * others[t]);
            }
    }
    EXPECT_EQ(tnxtest::Count(trace, "COMMUNITY "), 12);
    ExpectClose(Numbers(Read("CWMDeviations_AssemblyRules.txt")), dev, "rules");
    const Matrix Xr = Prediction(dev, 2, 4, 3);
    ExpectClose(Numbers(Read("X_AssemblyRules.txt")), Xr, "X_AssemblyRules");
    Matrix Wf = Xf, Wr = Xr, Wfa = Xf;
    for (int k = 0; k < 3; k++) {
        double sum = 0;
        for (int o = 0; o < 4; o++) sum += Wfa[o][k] = std::min(Xf[o][k], Xr[o][k]);
        for (int o = 0; o < 4; o++) {
            Wf[o][k] = Xf[o][k] >= 0.25 ? Xf[o][k] : 0;
            Wr[o][k] = Xr[o][k] >= 0.25 ? Xr[o][k] : 0;
            Wfa[o][k] = Wfa[o][k] / (sum > 0 ? sum : 1) >= 0.225 ? Wfa[o][k] / (sum > 0 ? sum : 1) : 0;
        }
    }
    ExpectClose(Numbers(Read("W_Filtering.txt")), Wf, "W_Filtering");
    ExpectClose(Numbers(Read("W_AssemblyRules.txt")), Wr, "W_AssemblyRules");
    ExpectClose(Numbers(Read("W_Filtering_and_Assembly.txt")), Wfa, "W_Filtering_and_Assembly");
    EXPECT_NE(Out().find("\n\nPredicted community matrix based on filtering only saved on file "
                         "W_Filtering_and_Assembly.txt\n"), std::string::npos);
}

TEST_F(AssemblyRulesRunTest, SizesAndCoefficientFiles) {
    // p = 70000 needs 2.45e9 interaction coefficients, s = 40000 two 1.6e9-cell similarity
    // matrices, f = 70000 2.45e9 expanded predictors; then the filtering file is missing (code 4),
    // ends early (code 2), and the interaction file ends early (code 2); no result file remains.
    Script("3\n70000\n2\n40000\n4\n70000\n1\n");
    EXPECT_EQ(CodeOf(IFAssemblyRulesSimulation), TNX_FAIL_TO_OPEN);
    struct Case {
        const char *filtering, *interaction;
    } cases[] = {{"0.2 1 0\n0.5 -1\n", ""}, {"0.2 1 0\n0.5 -1 2\n", "0.1 0.2 0.3 0 0 0\n-0.2 1 0 0 0\n"}};
    for (const Case& c : cases) {
        Write("RegressionCoeff_Filtering.txt", c.filtering);
        Write("RegressionCoeff_Interaction.txt", c.interaction);
        Script("3\n2\n4\n1\n");
        EXPECT_EQ(CodeOf(IFAssemblyRulesSimulation), TNX_END_OF_FILE) << c.filtering;
        EXPECT_EQ(Entries(), 4);  // the two coefficient files, the answers and the console
    }
    const std::string err = Err();
    EXPECT_EQ(tnxtest::Count(err, "Too large"), 3);
    EXPECT_NE(err.find("can't open RegressionCoeff_Filtering.txt"), std::string::npos);
}

}  // namespace
