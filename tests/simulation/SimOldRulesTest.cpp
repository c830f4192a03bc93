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

using Matrix = std::vector<std::vector<double>>;
using Flat = std::vector<double>;
using tnxtest::Get;

// A rows x cols matrix from its cells in row order.
double** New(int rows, int cols, const Flat& cells) {
    double** m = dim2Double(rows, cols);
    for (int i = 0; i < rows * cols; i++) m[i / cols][i % cols] = cells[i];
    return m;
}

void ExpectNear(const Flat& got, const Flat& expected, double tol, const char* what) {
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (size_t i = 0; i < got.size(); i++) EXPECT_NEAR(got[i], expected[i], tol) << what << " " << i;
}

TEST(AssemblyRulesSteps, ExpandedPredictorsAndTheirMeans) {
    // 3 factors: the values, their squares, and 3 pair columns at 0 (whatever they held). Means
    // 0.5 + 2 x1 - x1^2 and -1 + x2 + 3 x3^2; the pair columns' coefficients (7) weigh nothing.
    double** E = New(2, 3, {1, 2, 3, -1, 0.5, 2});
    double** Ex = New(2, 9, Flat(18, 9.0));
    double** coef = New(2, 10, {0.5, 2, 0, 0, -1, 0, 0, 7, 7, 7, -1, 0, 1, 0, 0, 0, 3, 7, 7, 7});
    double** cwm = New(2, 2, {0, 0, 0, 0});
    ExpandPredictors(2, 3, E, Ex);
    PredictorMeans(2, 2, 9, Ex, coef, cwm);
    ExpectNear(Get(Ex, 2, 9), {1, 2, 3, 1, 4, 9, 0, 0, 0, -1, 0.5, 2, 1, 0.25, 4, 0, 0, 0}, 0, "Ex");
    ExpectNear(Get(cwm, 2, 2), {1.5, 28, -2.5, 11.5}, 1e-14, "CWM");
    for (double** m : {E, Ex, coef, cwm}) free2D(m, 2);
}

TEST(AssemblyRulesSteps, PredictionClampsAndScalesColumns) {
    // Site 1: X = (0.7, 0.75, 0.75) / 2.2. Site 2: (-0.1 -> 0, 0.45, 0.45) / 0.9. Site 3 lies
    // far from every trait value: every X clamps to 0 and the column stays 0.
    double** B = New(3, 2, {0.2, 0.9, 0.5, 0.1, 0.9, 0.5});
    double** cwm = New(3, 2, {0.4, 0.5, 0.9, -0.6, 5, 5});
    double** X = New(3, 3, Flat(9, 0.0));
    double*** dev = dim3Double(2, 3, 3);
    TraitDeviations(3, 3, 2, B, cwm, dev);
    PredictionFromDeviations(2, 3, 3, dev, X);
    ExpectNear(Get(dev[1], 3, 3), {0.4, 1.5, -4.1, -0.4, 0.7, -4.9, 0, 1.1, -4.5}, 1e-14, "dev");
    ExpectNear(Get(X, 3, 3), {0.7 / 2.2, 0, 0, 0.75 / 2.2, 0.5, 0, 0.75 / 2.2, 0.5, 0}, 1e-15, "X");
    free3D(dev, 2, 3);
    for (double** m : {B, cwm, X}) free2D(m, 3);
}

TEST(AssemblyRulesSteps, ThresholdsKeepTheirBoundary) {
    double** X = New(2, 2, {0.25, 0.3, 0.2499999, 0.2000001});
    KeepNotBelow(2, 2, X, 0.25, X);
    ExpectNear(Get(X, 2, 2), {0.25, 0.3, 0, 0}, 0, "W");
    // Minima (0.2, 0.4 | 0.47, 0.53 | 0.6, 0.4) at unit sums; 0.9/2 = 0.45 keeps 0.47, not 1/3 or 0.4.
    double** Xf = New(2, 3, {0.6, 0.47, 0.6, 0.4, 0.53, 0.4});
    double** Xr = New(2, 3, {0.2, 0.5, 0.7, 0.8, 0.6, 0.4});
    CombinePredictions(2, 3, Xf, Xr, Xr);
    ExpectNear(Get(Xr, 2, 3), {0, 0.47, 0.6, 2.0 / 3, 0.53, 0}, 1e-15, "Wfa");
    for (double** m : {X, Xf, Xr}) free2D(m, 2);
}

TEST(AssemblyRulesSteps, ArrivalsByHand) {
    // 3 OTUs, 2 traits, community 2 of 2; arrivals OTU 3, 1, 2. Similarities 1 - |x - y| / range.
    // Trait 1 (0, 0.5, 1): intercept 0.1, other coefficients sum 0.5; trait 2 (0.3, 0, 0.9):
    // intercept -0.2, sum 2. OTU 3 keeps the filtering means (0.4, 0.5); OTU 1 meets OTU 3 at
    // similarities (0, 1/3); OTU 2 meets both, nearest at (0.5, 2/3).
    sDigits = 6;
    AssemblyRulesRun R;
    R.n = 2, R.p = 2, R.s = 3, R.f = 1, R.nx = 2, R.nInteraction = 6;
    AllocAssemblyRulesRun(&R);
    const Flat B = {0, 0.3, 0.5, 0, 1, 0.9}, coef = {0.1, 0.2, 0.3, 0, 0, 0, -0.2, 1, 0, 0, 0, 1};
    const Flat sim = {1, 0.5, 0, 0.5, 1, 0.5, 0, 0.5, 1, 1, 2.0 / 3, 1.0 / 3, 2.0 / 3, 1, 0, 1.0 / 3, 0, 1};
    for (int t = 0; t < 2; t++)
        for (int o = 0; o < 3; o++) {
            R.B[o][t] = B[2 * o + t];
            R.dev[t][o][0] = 7;
            for (int j = 0; j < 3; j++) R.sim[t][o][j] = sim[9 * t + 3 * o + j];
        }
    for (int c = 0; c < 12; c++) R.coefI[c / 6][c % 6] = coef[c];
    R.CWM[1][0] = 0.4, R.CWM[1][1] = 0.5;
    R.order[0] = 3, R.order[1] = 1, R.order[2] = 2;
    FILE* trace = std::tmpfile();
    AssemblyRulesCommunity(&R, 1, trace);
    // Trait minus expected mean: OTU 1 (0 - 0.1, 0.3 - (-0.2 + 2/3)), OTU 2 (0.5 - 0.35,
    // 0 - (-0.2 + 4/3)), OTU 3 (0.6, 0.4); community 1 untouched.
    ExpectNear(Get(R.dev[0], 3, 2), {7, -0.1, 7, 0.15, 7, 0.6}, 1e-15, "trait 1");
    ExpectNear(Get(R.dev[1], 3, 2), {7, 0.3 - (-0.2 + 2.0 / 3), 7, 0.2 - 4.0 / 3, 7, 0.4}, 1e-15, "trait 2");
    std::string text(4096, '\0');
    rewind(trace);
    text.resize(fread(&text[0], 1, text.size(), trace));
    fclose(trace);
    EXPECT_EQ(text.rfind("COMMUNITY 2\nMatrix Btemp considering addition of OTU 3\n1\t0.9\t\nNearest neighbour "
                         "similarities considering addition of OTU 3\n\nMatrix CWM expected considering addition of OTU "
                         "3\n0.4\t0.5\t\nDeviations between trait 1 and expected CWM considering addition of OTU 3\n7\t"
                         "0\t\n7\t0\t\n7\t0.6\t\nDeviations between trait 2", 0), 0u);
    EXPECT_NE(text.find("OTU 2\n1\t0.9\t\n0\t0.3\t\n0.5\t0\t\nNearest neighbour similarities considering addition of "
                        "OTU 2\n0.5\t0.666667\t\n"), std::string::npos);
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

class AssemblyRulesRunTest : public tnxtest::ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        sDigits = 6;  // the program's default
        Write("RegressionCoeff_Filtering.txt", "0.2 1 0\n0.5 -1 2\n");
        Write("RegressionCoeff_Interaction.txt", "0.1 0.2 0.3 0 0 0\n-0.2 1 0 0 0 1\n");
    }
};

TEST_F(AssemblyRulesRunTest, FilesFollowFromTheTraitsAndTheCoefficients) {
    // 3 communities, 2 traits, 4 OTUs, 1 factor. E = k/6; trait 1 expects 0.2 + e, trait 2
    // 0.5 - e + 2e^2.
    Script("3\n2\n4\n1\n");
    IFAssemblyRulesSimulation();
    EXPECT_EQ(Read("E_expanded.txt"), "0.166667\t0.0277778\t\n0.333333\t0.111111\t\n0.5\t0.25\t\n");
    EXPECT_EQ(Read("CWM.txt"), "0.366667\t0.388889\t\n0.533333\t0.388889\t\n0.7\t0.5\t\n");
    const Matrix B = Numbers(Read("TraitData.txt")), Xf = Numbers(Read("X_Filtering.txt"));
    const Matrix Wf = Numbers(Read("W_Filtering.txt"));
    ASSERT_EQ(B.size(), 4u);
    for (int t = 0; t < 2; t++) {
        const double range = std::max({B[0][t], B[1][t], B[2][t], B[3][t]}) - std::min({B[0][t], B[1][t], B[2][t], B[3][t]});
        Matrix sim(4, std::vector<double>(4));
        for (int o = 0; o < 4; o++)
            for (int j = 0; j < 4; j++) sim[o][j] = 1 - std::fabs(B[o][t] - B[j][t]) / range;
        const Matrix file = Numbers(Read("GowerSimilarityMatrix.txt"));
        for (int o = 0; o < 4; o++) ExpectNear(file[4 * t + o], sim[o], 4e-6, "Gower");
    }
    for (int k = 0; k < 3; k++) {
        const double cwm[2] = {0.2 + (k + 1) / 6.0, 0.5 - (k + 1) / 6.0 + 2 * (k + 1) * (k + 1) / 36.0};
        double x[4], sum = 0;
        for (int o = 0; o < 4; o++) {
            x[o] = std::max(0.0, 1 - (std::fabs(B[o][0] - cwm[0]) + std::fabs(B[o][1] - cwm[1])) / 2);
            sum += x[o];
        }
        for (int o = 0; o < 4; o++) {
            EXPECT_NEAR(Xf[o][k], x[o] / (sum > 0 ? sum : 1), 4e-6);
            EXPECT_EQ(Wf[o][k], Xf[o][k] >= 0.25 ? Xf[o][k] : 0);
        }
    }
    EXPECT_EQ(tnxtest::Count(Read("T_OTU.txt"), "COMMUNITY "), 12);  // every OTU arrives in every community
}

TEST_F(AssemblyRulesRunTest, SizesAndCoefficientFiles) {
    // With 100000 communities, 20000 OTUs need two 2e9-cell deviation matrices, 4 do not; then
    // the input ends.
    Script("100000\n2\n20000\n4\n");
    EXPECT_EQ(tnxtest::CodeOf(IFAssemblyRulesSimulation), TNX_END_OF_FILE);
    // p = 70000 needs 2.45e9 interaction coefficients, s = 40000 two 1.6e9-cell similarity
    // matrices, f = 70000 2.45e9 expanded predictors; then the interaction file ends early
    // (code 2), the filtering file too (code 2) or is missing (code 4). No result file remains.
    Script("3\n70000\n2\n40000\n4\n70000\n1\n");
    Write("RegressionCoeff_Interaction.txt", "0.1 0.2 0.3 0 0 0\n-0.2 1 0 0 0\n");
    EXPECT_EQ(tnxtest::CodeOf(IFAssemblyRulesSimulation), TNX_END_OF_FILE);
    Write("RegressionCoeff_Filtering.txt", "0.2 1 0\n0.5 -1\n");
    Script("3\n2\n4\n1\n");
    EXPECT_EQ(tnxtest::CodeOf(IFAssemblyRulesSimulation), TNX_END_OF_FILE);
    std::remove("RegressionCoeff_Filtering.txt");
    Script("3\n2\n4\n1\n");
    EXPECT_EQ(tnxtest::CodeOf(IFAssemblyRulesSimulation), TNX_FAIL_TO_OPEN);
    EXPECT_EQ(Entries(), 3);  // the interaction file, the answers and the console
    const std::string err = Err();
    EXPECT_EQ(tnxtest::Count(err, "Too large"), 4);  // 20000, 70000, 40000 and 70000
    EXPECT_NE(err.find("can't open RegressionCoeff_Filtering.txt"), std::string::npos);
}

}  // namespace
