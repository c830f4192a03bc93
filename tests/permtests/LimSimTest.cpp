// Limiting similarity per community: the statistic worked by hand, the probabilities of both tails
// against the exact ones over all 120 arrangements of MantelData's 5 OTUs (r/limsim.R), the
// guards, the texts and the fresh permutation of every randomisation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "MantelData.h"
#include "permtests/qwlibPermCommunity.h"
#include "permtests/qwlibPermTests.h"

namespace {

// Within 4 standard errors of the estimate (1 + (N - 1) K / 120) / N of an exact share K / 120.
void ExpectNearExact(double P, int K, int N, const std::string& what) {
    const double q = K / 120.0;
    const double mean = (1.0 + (N - 1) * q) / N, se = std::sqrt(q * (1 - q) / (N - 1)) * (N - 1) / N;
    EXPECT_LE(std::fabs(P - mean), 4 * se + 1e-12) << what << ": " << P << " vs " << mean;
}

// Two small data sets worked by hand (distances d12 .2, d13 .5, d14 .9, d23 .4, d24 .6, d34 .3;
// similarities s12 .5, s13 0, s14 .4, s23 0, s24 .1, s34 .2).
TEST(LimitingSimilarity, StatisticPerCommunityByHand) {
    const struct {
        const char* name;
        Rows W, R;
        bool dissim;
        std::vector<double> each;
        double overall;
    } cases[] = {
        // Community 1: OTUs 1 and 2 are each other's neighbour, .2 x 1 x 1 twice over 2 = .2.
        // Community 2: OTU 1 (abundance 2) -> 3 at .5 x 2; 3 -> 4 and 4 -> 3 at .3: 1.6 / 3.
        // One OTU or none: 0, and left out of the mean (.2 + 1.6 / 3) / 2.
        {"distances", {{1, 1, 0, 0}, {2, 0, 1, 1}, {0, 0, 0, 3}, {0, 0, 0, 0}},
         {{0, .2, .5, .9}, {0, 0, .4, .6}, {0, 0, 0, .3}, {0, 0, 0, 0}}, true, {.2, 1.6 / 3, 0, 0},
         (.2 + 1.6 / 3) / 2},
        // Community 1: 1 <-> 2 at .5 / 1 each; OTU 3 resembles neither (similarity 0): no
        // neighbour, it adds 0 but is counted: 1 / 3. Community 2: 1 <-> 4 at .4 / (1 x 2)
        // twice over 2 = .2.
        {"similarities", {{1, 1, 1, 0}, {1, 0, 0, 2}},
         {{1, .5, 0, .4}, {0, 1, 0, .1}, {0, 0, 1, .2}, {0, 0, 0, 1}}, false, {1.0 / 3, .2}, (1.0 / 3 + .2) / 2},
    };
    for (const auto& c : cases) {
        Mat<double> W(c.W);
        Mat<float> R(c.R);
        UpperToLowerMatrix(4, static_cast<float**>(R));
        LimitingSimilarityTest t(4, W.rows(), W, R, c.dissim);
        const int identity[4] = {1, 2, 3, 4};
        t.Arrange(identity);
        for (int k = 0; k < W.rows(); k++) EXPECT_NEAR(t.each[k], c.each[k], 1e-7) << c.name << " " << k;
        EXPECT_NEAR(t.overall, c.overall, 1e-7) << c.name;
        // The counted values are turned so that the tail of the test is the upper one.
        EXPECT_EQ(t.stat[0], c.dissim ? t.overall : -t.overall) << c.name;
        EXPECT_EQ(t.stat[1 + W.rows()], c.dissim ? -t.each[0] : t.each[0]) << c.name;
    }
}

// r/limsim.R: the observed values and, per tail, the arrangements (of 120) at least as extreme,
// a value within one single-precision step counting as a tie (sums of different similarities
// that are equal but for rounding, such as .8 + .7 + .5 and .9 + .6 + .5, tie that way).
TEST(LimitingSimilarity, ProbabilitiesOfBothTailsMatchTheEnumeration) {
    const struct {
        bool dissim;
        double mean;
        std::vector<double> each;
        std::vector<int> lower, upper;  // the mean, then the communities
    } cases[] = {
        {false, 0.27888888767747966,
         {0.21111111508475408, 0.2499999962747097, 0.23333334128061931, 0.16666666915019354, 0.17222221857971617,
          0.63999998569488525},
         {120, 60, 90, 88, 72, 80, 120},
         {1, 64, 36, 34, 72, 44, 4}},
        {true, 1.2833333379692502,
         {1.1999999284744263, 2.0000000794728598, 1.3666666348775227, 1.3333333333333333, 1.0666667421658833,
          0.73333330949147546},
         {11, 74, 92, 38, 72, 18, 20},
         {110, 56, 32, 84, 72, 104, 104}},
    };
    for (const auto& c : cases) {
        MantelData d;
        Mat<float> R(kOtus, kOtus);
        for (int i = 0; i < kOtus; i++)
            for (int j = 0; j < kOtus; j++) R[i][j] = c.dissim ? 1.0f - d.S[i][j] : d.S[i][j];
        LimitingSimilarityTest t(kOtus, kComm, d.W, R, c.dissim);
        t.Arrange(d.identity);
        EXPECT_NEAR(t.overall, c.mean, 1e-12);
        for (int k = 0; k < kComm; k++) EXPECT_NEAR(t.each[k], c.each[k], 1e-12) << k;

        const int N = 20000;
        double tail[kComm], other[kComm];
        InitRndNumberGenerator(77);
        const double P = Prob_LimitingSimilarityEachComm(N, kOtus, kComm, other, tail, d.W, R, c.dissim, false, nullptr);
        const std::vector<int>& inTail = c.dissim ? c.upper : c.lower;
        const std::vector<int>& opposite = c.dissim ? c.lower : c.upper;
        ExpectNearExact(P, inTail[0], N, "mean");
        for (int k = 0; k < kComm; k++) {
            ExpectNearExact(tail[k], inTail[1 + k], N, "tail of community " + std::to_string(k + 1));
            ExpectNearExact(other[k], opposite[1 + k], N, "other tail of community " + std::to_string(k + 1));
        }
    }
}

TEST(LimitingSimilarity, GuardsGiveProbabilityOne) {
    const struct {
        const char* name;
        Rows W;
        int iterations;
    } cases[] = {
        // No community with two present OTUs: every arrangement gives 0 and ties.
        {"one OTU per community at most", {{1, 0, 0}, {0, 2, 0}, {0, 0, 0}}, 50},
        {"one iteration", {{1, 1, 1}, {2, 0, 1}}, 1},
        {"no iteration", {{1, 1, 1}, {2, 0, 1}}, 0},
        {"negative iterations", {{1, 1, 1}, {2, 0, 1}}, -3},
    };
    for (const auto& c : cases) {
        Mat<double> W(c.W);
        Mat<float> R{{0, .2f, .7f}, {5, 0, .4f}, {5, 5, 0}};
        double tail[3] = {0, 0, 0}, other[3] = {0, 0, 0};
        InitRndNumberGenerator(5);
        EXPECT_EQ(Prob_LimitingSimilarityEachComm(c.iterations, 3, W.rows(), other, tail, W, R, true, false, nullptr),
                  1.0)
            << c.name;
        for (int k = 0; k < W.rows(); k++) {
            EXPECT_EQ(tail[k], 1.0) << c.name << " " << k;
            EXPECT_EQ(other[k], 1.0) << c.name << " " << k;
        }
        // The lower triangle was never read: it holds the upper one on return.
        EXPECT_EQ(R[1][0], .2f) << c.name;
        EXPECT_EQ(R[2][1], .4f) << c.name;
    }
    // No community at all.
    Mat<float> R(3, 3);
    double none = 0;
    EXPECT_EQ(Prob_LimitingSimilarityEachComm(10, 3, 0, &none, &none, nullptr, R, true, false, nullptr), 1.0);
}

// The hand-worked distances: the exact header, then each randomisation shows its own fresh
// permutation, the statistic of the permuted matrix and the counts of the tail of the test.
TEST(LimitingSimilarity, WritesItsTextsAndDrawsAFreshPermutationEachTime) {
    Mat<double> W{{1, 1, 0, 0}, {2, 0, 1, 1}, {0, 0, 0, 3}, {0, 0, 0, 0}};
    Mat<float> R{{0, .2f, .5f, .9f}, {0, 0, .4f, .6f}, {0, 0, 0, .3f}, {0, 0, 0, 0}};
    Scratch s;
    double tail[4], other[4];
    InitRndNumberGenerator(12);
    Prob_LimitingSimilarityEachComm(3, 4, 4, other, tail, W, R, true, true, s.f);
    const std::string out = s.Text();
    const std::string head =
        "\nPERMUTATION TEST for the \n\nTest statistic: Mean nearest-neighbour resemblance within communities (it is "
        "the 'TS1 Mean NN ED' in Halvey & Prenton 2004 if the resemblance is Euclidean distance)\nINTERMEDIATE "
        "RESULTS\n\nObserved dissimilarity matrix of 4 OTUs:\n0\t0.2\t0.5\t0.9\t\n0.2\t0\t0.4\t0.6\t\n0.5\t0.4\t0\t0.3\t\n"
        "0.9\t0.6\t0.3\t0\t\n\nCommunity data matrix (4 communities by 4 OTUs):\n1\t1\t0\t0\t\n2\t0\t1\t1\t\n0\t0\t0\t3\t\n"
        "0\t0\t0\t0\t\n\n\nObserved test statistic for the set of communities=\t0.366667\nObserved test statistic for "
        "each community:\t0.2\t0.533333\t0\t0\n\n\nPermuted distance matrix:\n";
    EXPECT_EQ(out.substr(0, head.size()), head);

    InitRndNumberGenerator(12);
    OtuList ref(4);
    size_t at = head.size();
    for (int it = 1; it <= 2; it++) {
        ref.Draw(ListDraw::kFresh);
        const int* o = ref.Entries();
        std::string order = "Order of original OTUs in permuted matrix:\t";
        for (int k = 0; k < 4; k++) order += std::to_string(o[k]) + "\t";
        at = out.find(order + "\n", at);
        ASSERT_NE(at, std::string::npos) << it;
        // The statistic of the permuted matrix, computed apart.
        LimitingSimilarityTest t(4, 4, W, R, true);
        t.Arrange(o);
        char line[160];
        snprintf(line, sizeof line, "\nIteration %d\tRandom test statistic=\t%g\tCummulative frequency=", it, t.overall);
        EXPECT_NE(out.find(line, at), std::string::npos) << it;
        snprintf(line, sizeof line, "\nIteration %d\tRandom test statistic for community\t2\t%g\tCummulative frequency=",
                 it, t.each[1]);
        EXPECT_NE(out.find(line, at), std::string::npos) << it;
        // Communities 3 and 4 stay 0 and count at every randomisation.
        snprintf(line, sizeof line, "\nIteration %d\tRandom test statistic for community\t4\t0\tCummulative frequency=%d\n",
                 it, it + 1);
        EXPECT_NE(out.find(line, at), std::string::npos) << it;
    }
}

}  // namespace
