// Group test statistics, response curves, nearest-neighbour resemblance, beta divergence and
// the partial correlation. Reference values: hand work in the comments, or r/group_stats.R.

#include <limits>

#include "matrix/qwlib.h"
#include "statistics/qwlibRes.h"
#include "statistics/StatTestUtil.h"

namespace {

// Seven objects, two variables, three groups (r/group_stats.R).
const Rows kX = {{1, 2}, {2, 1}, {4, 1}, {3, 3}, {5, 2}, {8, 6}, {9, 4}};

TEST(GroupFTest, SumOfFRatiosAndLikelihoodRatioEqualTheOneWayLayoutAndConstantsAddNothing) {
    Mat<double> X(kX);
    for (std::vector<int> g : {std::vector<int>{1, 1, 2, 2, 2, 3, 3},
                               std::vector<int>{20, 20, 7, 7, 7, 40, 40},  // any label values
                               std::vector<int>{1, 1, 2, 2, 2, 4, 4}}) {   // a gap: still 3 groups
        EXPECT_NEAR(F_SUM(7, 2, g.data(), X), 40.4444444444445, 1e-11);
        EXPECT_NEAR(LR_IND(7, 2, g.data(), X), 30.4341383189966, 1e-11);
    }
    // Column 0 is constant within each group (SSW = 0); column 1 is {1,3 | 2,4}: SST = 5,
    // SSW = 4, SSB = 1, F = (1/1)/(4/2) = 0.5, LR = 4 ln(5/4).
    Mat<double> Y({{1, 1}, {1, 3}, {5, 2}, {5, 4}});
    int g[] = {1, 1, 2, 2}, one[] = {3, 3, 3, 3};
    EXPECT_DOUBLE_EQ(F_SUM(4, 2, g, Y), 0.5);
    EXPECT_DOUBLE_EQ(LR_IND(4, 2, g, Y), 4 * std::log(1.25));
    // A single group has no F ratio (its likelihood ratio is n ln 1 = 0).
    EXPECT_EQ(F_SUM(4, 2, one, Y), 0.0);
}

TEST(MrppTest, DeltaEqualsBothWeightingsAndDistanceFormsAndSingletonsWeighNothing) {
    Mat<double> X(kX), D(7, 7), D2(7, 7);
    RowDistances(X, D);
    RowDistances(X, D2, true);
    std::vector<int> g{1, 1, 2, 2, 2, 3, 3};
    // Plain distances, weights n_k / n: 1.8838...; squared distances, weights (n_k - 1) / (n - g):
    // 3.75; each from distances held plain (squared by the routine) or as squares (rooted).
    for (bool heldSquared : {false, true}) {
        Mat<double>& M = heldSquared ? D2 : D;
        EXPECT_NEAR(MRPP(7, 3, g.data(), M, heldSquared, false), 1.88384465673121, 1e-12) << heldSquared;
        EXPECT_NEAR(MRPP(7, 3, g.data(), M, heldSquared, true), 3.75, 1e-12) << heldSquared;
    }
    // n = g: no weight to share. Group 1 = {0, 1} (mean 1), object 2 alone: weight
    // (1 - 1)/(3 - 2) = 0 for the single.
    Mat<double> S({{0, 1, 2}, {1, 0, 3}, {2, 3, 0}});
    int own[] = {1, 2, 3}, two[] = {1, 1, 2};
    EXPECT_EQ(MRPP(3, 3, own, S, false, true), 0.0);
    EXPECT_DOUBLE_EQ(MRPP(3, 2, two, S, false, true), 1.0);
}

TEST(AnosimTest, IsAQuarterOfTheUsualStatisticAndNegativeForOneGroup) {
    Mat<double> X(kX), D(7, 7), R(7, 7);
    RowDistances(X, D);
    std::vector<int> g{1, 1, 2, 2, 2, 3, 3};
    EXPECT_NEAR(ANOSIM(7, 3, g.data(), D, false), 0.2125, 1e-12);
    // Ranks handed in directly give the same.
    RankReseAdj(7, D, R);
    EXPECT_NEAR(ANOSIM(7, 3, g.data(), R, true), 0.2125, 1e-12);
    // One group of four objects, six distinct distances: rW = 3.5, rB = 0: (0 - 3.5) / 6 x 0.5.
    Mat<double> O({{0, 1, 2, 3}, {0, 0, 4, 5}, {0, 0, 0, 6}, {0, 0, 0, 0}});
    int one[] = {1, 1, 1, 1};
    EXPECT_DOUBLE_EQ(ANOSIM(4, 1, one, O, false), -3.5 / 6 * 0.5);
}

TEST(ResponseCurveTest, BetaCurvePeaksAtTheOptimumAndVanishesOutside) {
    // alpha = 1, gamma = 3: b = 1/4, range [m - r/4, m + 3r/4] = [8, 12] for m = 9, r = 4.
    EXPECT_NEAR(BetaFunction_OneGradient(9, 5, 9, 4, 1, 3), 5.0f, 1e-5);
    EXPECT_EQ(BetaFunction_OneGradient(7.99f, 5, 9, 4, 1, 3), 0.0f);
    EXPECT_EQ(BetaFunction_OneGradient(12.01f, 5, 9, 4, 1, 3), 0.0f);
    // x = 10: z = 1/4 + 1/4 = 1/2; N = (1/4)(3/4)^3 = 27/256; response 5 (1/2)(1/2)^3 / N = 80/27.
    EXPECT_NEAR(BetaFunction_OneGradient(10, 5, 9, 4, 1, 3), 80.0 / 27.0, 1e-5);

    float x[2] = {10, 2}, m[2] = {9, 2}, r[2] = {4, 1}, al[2] = {1, 2}, ga[2] = {3, 2};
    // The second gradient is at its optimum, so the product is the first curve's value.
    EXPECT_NEAR(BetaFunction(2, x, 5, m, r, al, ga), 80.0 / 27.0, 1e-5);
    x[1] = 2.6f;  // outside [1.5, 2.5]
    EXPECT_EQ(BetaFunction(2, x, 5, m, r, al, ga), 0.0);
    EXPECT_EQ(BetaFunction(0, x, 5, m, r, al, ga), 5.0);
    // Both edges of the first gradient's range [8, 12], the second at its optimum. x = 8.5:
    // z = -1/8 + 1/4 = 1/8; 5 (1/8)(7/8)^3 / (27/256) = 107.1875 / 27.
    const struct {
        float x;
        double expected;
    } edges[] = {{8.5f, 107.1875 / 27.0}, {7.99f, 0.0}, {12.01f, 0.0}};
    for (const auto& e : edges) {
        float at[2] = {e.x, 2};
        EXPECT_NEAR(BetaFunction(2, at, 5, m, r, al, ga), e.expected, 1e-5) << e.x;
    }
}

TEST(ResponseCurveTest, LogisticMidpointSlopeAndFlatCurve) {
    // Midpoint a + (b - a) t: (lo + hi) / 2 there.
    for (double t : {0.0, 0.5, 1.0}) EXPECT_DOUBLE_EQ(Logistic(2 + 4 * t, 2, 6, 1, 5, 0.7, t), 3.0) << t;
    // Slope at the midpoint by a central difference.
    double h = 1e-5;
    EXPECT_NEAR((Logistic(4 + h, 2, 6, 1, 5, 0.7, 0.5) - Logistic(4 - h, 2, 6, 1, 5, 0.7, 0.5)) / (2 * h),
                0.7, 1e-8);
    // lo = hi: that value everywhere, also at the midpoint.
    for (double xv : {-3.0, 4.0, 9.0}) EXPECT_EQ(Logistic(xv, 2, 6, 2.5, 2.5, 0.7, 0.5), 2.5);
}

// Four species, resemblance (upper triangle): 01 1, 02 4, 03 2, 12 3, 13 5, 23 6; the lower
// triangle holds 99 until mirrored. Communities: {0:1, 1:2, 3:1}, {2:3} alone, {1:1, 2:1}.
template <class T, class U>
void NearNeighbourData(Mat<T>& W, Mat<U>& S) {
    double up[4][4] = {{0, 1, 4, 2}, {0, 0, 3, 5}, {0, 0, 0, 6}, {0, 0, 0, 0}};
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) S[i][j] = U(j > i ? up[i][j] : (j == i ? 0 : 99));
    double w[3][4] = {{1, 2, 0, 1}, {0, 0, 3, 0}, {0, 1, 1, -2}};
    for (int k = 0; k < 3; k++)
        for (int i = 0; i < 4; i++) W[k][i] = T(w[k][i]);
}

TEST(NearNeighbourTest, DistancesWeightedByAbundances) {
    // Community 0: 0 -> 1 (1 x 1 x 2), 1 -> 0 (1 x 2 x 1), 3 -> 0 (2 x 1 x 1): 6 / 3 = 2.
    // Community 1: one species, left out. Community 2 (the -2 is absent): 1 <-> 2, 3 each:
    // 6 / 2 = 3. Mean of 2 and 3.
    Mat<double> Wd(3, 4), Sd(4, 4);
    NearNeighbourData(Wd, Sd);
    EXPECT_DOUBLE_EQ(NearNeigAvgTraitResemblance_WithinCommunity(4, 3, Wd, Sd, true, true, nullptr), 2.5);
    EXPECT_EQ(Sd[1][0], 1.0);  // mirrored
    double out[3] = {-1, -1, -1};
    Mat<float> Sf2(4, 4);
    NearNeighbourData(Wd, Sf2);
    EXPECT_DOUBLE_EQ(NearNeigAvgTraitRese_WithinEachCommunity(4, 3, out, Wd, Sf2, true, true, nullptr), 2.5);
    ExpectVec(out, {2, 0, 3});
}

TEST(NearNeighbourTest, SimilaritiesDividedByAbundancesTheCallersCountsAndNoNeighbour) {
    // Similarities, community 0: 0 -> 3 (2 / 1), 1 -> 3 (5 / 2), 3 -> 1 (5 / 2): 7 / 3; community 2: 3.
    Mat<double> W(3, 4), S(4, 4);
    NearNeighbourData(W, S);
    EXPECT_NEAR(NearNeigAvgTraitResemblance_WithinCommunity(4, 3, W, S, false, true, nullptr), (7.0 / 3 + 3) / 2, 1e-14);
    // Distances in a matrix mirrored already (S is now): counts of 4 for community 0 divide its
    // sum of 6 by 4; community 2 as before.
    int counts[3] = {4, 1, 2};
    EXPECT_DOUBLE_EQ(NearNeigAvgTraitResemblance_WithinCommunity(4, 3, W, S, true, false, counts), (1.5 + 3) / 2);
    // No pair in any community, or species 0 and 2 present but their distance NaN: no
    // neighbour, nothing added.
    Mat<double> W1({{1, 0, 0}, {0, 0, 4}}), W2({{1, 0, 1}}), S3({{0, 1, 2}, {0, 0, 3}, {0, 0, 0}});
    EXPECT_EQ(NearNeigAvgTraitResemblance_WithinCommunity(3, 2, W1, S3, true, true, nullptr), 0.0);
    S3[0][2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(NearNeigAvgTraitResemblance_WithinCommunity(3, 1, W2, S3, true, true, nullptr), 0.0);
}

TEST(MantelTest, ProbabilityReplaysTheSameDrawsAndCountsTheObservedOnce) {
    // Distances among 7 objects on a line (all pairs distinct) and among a noisy copy.
    const double x[7] = {0, 1, 3, 7, 12, 20, 33}, y[7] = {0, 2, 3, 6, 13, 19, 40};
    Mat<double> A(7, 7), B(7, 7), P(7, 7), K(7, 7);
    for (int i = 0; i < 7; i++)
        for (int j = 0; j < 7; j++) A[i][j] = std::fabs(x[i] - x[j]), B[i][j] = std::fabs(y[i] - y[j]);
    double r0 = 0;
    EXPECT_EQ(ProbMantel(7, 1, A, B, &r0), 1.0);
    EXPECT_DOUBLE_EQ(r0, MatrixCorr(7, A, B));
    // The count replayed by hand after the same seed: the observed arrangement, and each
    // permutation of A's objects whose |r| with B is at least the observed one.
    const int iters = 200;
    int list[7], count = 1;
    InitRndNumberGenerator(77);
    for (int t = 2; t <= iters; t++) {
        RndList(7, list);
        for (int i = 0; i < 7; i++)
            for (int j = i + 1; j < 7; j++) P[i][j] = A[list[i] - 1][list[j] - 1];
        const double r = std::fabs(MatrixCorr(7, P, B));
        count += r >= std::fabs(r0) || AlmostEqual2sComplement(r, std::fabs(r0), 1);
    }
    InitRndNumberGenerator(77);
    A[3][1] = 555;  // the lower triangle of A is not read
    EXPECT_DOUBLE_EQ(ProbMantel(7, iters, A, B, &r0), double(count) / iters);
    // A constant matrix correlates 0 with B in every arrangement: each one counts.
    K.fill(2);
    EXPECT_DOUBLE_EQ(ProbMantel(7, 20, K, B, &r0), 1.0);
    EXPECT_EQ(r0, 0.0);
}

TEST(LimitingSimilarityTest, ProbabilityReplaysTheDrawsAndReportsWhenAsked) {
    Mat<double> W(3, 4), S(4, 4), P(4, 4);
    NearNeighbourData(W, S);
    EXPECT_EQ(Prob_LimitingSimilarity(4, 3, 1, W, S, true, false, nullptr), 1.0);
    EXPECT_EQ(Prob_LimitingSimilarity(4, 3, 0, W, S, true, false, nullptr), 1.0);  // never 1 / 0
    EXPECT_EQ(S[1][0], 1.0);  // made symmetric in place
    // Replay: permuted distances at least the observed 2.5 (or equal) count.
    const int iters = 50;
    InitRndNumberGenerator(5);
    int list[4], count = 1;
    for (int t = 1; t < iters; t++) {
        RndList(4, list);
        for (int a = 0; a < 4; a++)
            for (int b = a + 1; b < 4; b++) P[a][b] = P[b][a] = S[list[a] - 1][list[b] - 1];
        double ts = NearNeigAvgTraitResemblance_WithinCommunity(4, 3, W, P, true, false, nullptr);
        if (ts > 2.5 || AlmostEqual2sComplement(ts, 2.5, 1)) count++;
    }
    InitRndNumberGenerator(5);
    testing::internal::CaptureStdout();
    EXPECT_DOUBLE_EQ(Prob_LimitingSimilarity(4, 3, iters, W, S, true, false, nullptr), double(count) / iters);
    testing::internal::GetCapturedStdout();

    Mat<float> Wf(3, 4), Sf(4, 4);
    NearNeighbourData(Wf, Sf);
    FILE* f = tmpfile();
    InitRndNumberGenerator(5);
    testing::internal::CaptureStdout();
    const double pr = Prob_LimitingSimilarity(4, 3, 2, Wf, Sf, false, true, f);
    EXPECT_TRUE(pr == 0.5 || pr == 1.0) << pr;
    testing::internal::GetCapturedStdout();
    std::string text = ReadBack(f);
    fclose(f);
    EXPECT_EQ(text.rfind("\nPERMUTATION TEST for the \n\nTest statistic: Mean nearest-neighbour resemblance "
                         "within communities (it is the 'TS1 Mean NN ED' in Halvey & Prenton 2004 if the "
                         "resemblance is Euclidean distance)\nINTERMEDIATE RESULTS\n\nObserved similarity "
                         "matrix of 4 OTUs:\n", 0), 0u);
    EXPECT_NE(text.find("\nCommunity data matrix (3 communities by 4 OTUs):\n"), std::string::npos);
    EXPECT_NE(text.find("\n\nObserved test statistic=\t2.66667\n"), std::string::npos);
    EXPECT_NE(text.find(pr == 1.0 ? "Cummulative frequency=2\n" : "Cummulative frequency=1\n"), std::string::npos);
}

TEST(BetaDivergenceTest, TiesAreAveraged) {
    // A: object 0 is at 1 from both 1 and 2; object 1's nearest is 0; object 2's nearest is 0.
    Mat<double> A({{0, 1, 1}, {0, 0, 2}, {0, 0, 0}}), B({{0, 4, 8}, {0, 0, 5}, {0, 0, 0}});
    double out[3];
    EXPECT_TRUE(BetaDivergence(3, A, B, out));
    ExpectVec(out, {6, 4, 8});
    // A single object has no neighbour: nothing to average, so 0.
    Mat<double> one({{0}});
    out[0] = -1;
    EXPECT_TRUE(BetaDivergence(1, one, one, out));
    EXPECT_EQ(out[0], 0.0);
}

TEST(PartialCorrelationTest, EqualsThePartialMantelStatisticZeroForAPerfectControlAndClamped) {
    const double rxy = 0.447525898536097, rxz = -0.0534207224296495, ryz = 0.0589767824619588;
    EXPECT_NEAR(PartialCorrelation(rxy, rxz, ryz), 0.452107884321498, 1e-14);
    EXPECT_NEAR(PartialCorrelation(float(rxy), float(rxz), float(ryz)), 0.452107884321498, 1e-6);
    // Symmetric in x and y.
    EXPECT_DOUBLE_EQ(PartialCorrelation(rxy, ryz, rxz), PartialCorrelation(rxy, rxz, ryz));
    // A control correlated perfectly, with either sign, gives 0; 0.9999999 is 1e-7 from 1:
    // above the double tolerance, so it is computed.
    EXPECT_NEAR(PartialCorrelation(0.5, 0.9999999, 0.5), (0.5 - 0.9999999 * 0.5) / std::sqrt((1 - 0.9999999 * 0.9999999) * 0.75), 1e-9);
    for (double z : {1.0 + 1e-10, 1.0, -1.0, -1.0 + 1e-10}) {
        EXPECT_EQ(PartialCorrelation(0.5, z, 0.2), 0.0) << z;
        EXPECT_EQ(PartialCorrelation(0.5, 0.2, z), 0.0) << z;
        EXPECT_TRUE(PerfectCorrelation(z)) << z;
    }
    // PerfectCorrelation says where: within 1e-9 of 1 in double (0.9999999 and 1 - 2e-9 are
    // not), 1e-6 in single precision (1 - 5e-7 is, 1 - 2e-6 is not).
    for (double r : {0.9999999, -0.9999999, 1 - 2e-9, 0.5, 0.0}) EXPECT_FALSE(PerfectCorrelation(r)) << r;
    EXPECT_TRUE(PerfectCorrelation(1 - 5e-7f));
    EXPECT_FALSE(PerfectCorrelation(1 - 2e-6f));
    EXPECT_NE(PartialCorrelation(0.5f, 1 - 2e-6f, 0.5f), 0.0f);
    // A result beyond [-1, 1] (correlations that no data could give, as rounding may leave
    // them) is clamped: (0.99 - 0.099) / sqrt(0.99 x 0.0199) = 6.35.
    EXPECT_EQ(PartialCorrelation(0.99, 0.1, 0.99), 1.0);
    EXPECT_EQ(PartialCorrelation(-0.99, 0.1, 0.99), -1.0);
}

}  // namespace
