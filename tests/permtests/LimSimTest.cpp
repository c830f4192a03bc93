// Limiting similarity per community: both tails against the exact probabilities over all 120
// arrangements of MantelData's OTUs (r/limsim.R), the statistic by hand, guards and texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "MantelData.h"
#include "permtests/qwlibPermTests.h"

namespace {

// r/limsim.R: per tail, the arrangements (of 120) at least as extreme as the observed mean (first)
// and community values, a value within one single-precision step counting as a tie (sums such as
// .8 + .7 + .5 and .9 + .6 + .5 tie that way). P estimates (1 + (N - 1) K / 120) / N. Community
// 2 tested alone draws the same permutations as the whole run.
TEST(LimitingSimilarity, BothTailsMatchTheEnumerationOfAllArrangements) {
    const struct {
        bool dissim;
        int lower[1 + kComm], upper[1 + kComm];
    } cases[] = {{false, {120, 60, 90, 88, 72, 80, 120}, {1, 64, 36, 34, 72, 44, 4}},
                 {true, {11, 74, 92, 38, 72, 18, 20}, {110, 56, 32, 84, 72, 104, 104}}};
    const int N = 20000;
    for (const auto& c : cases) {
        MantelData d;
        Mat<float> R(kOtus, kOtus);
        for (int i = 0; i < kOtus; i++)
            for (int j = 0; j < kOtus; j++) R[i][j] = c.dissim ? 1.0f - d.S[i][j] : d.S[i][j];
        double p[2][1 + kComm], one[2];
        InitRndNumberGenerator(77);
        p[0][0] = Prob_LimitingSimilarityEachComm(N, kOtus, kComm, p[1] + 1, p[0] + 1, d.W, R, c.dissim, false, nullptr);
        InitRndNumberGenerator(77);
        EXPECT_EQ(Prob_LimitingSimilarityEachComm(N, kOtus, 1, one, one + 1, d.W + 1, R, c.dissim, false, nullptr), p[0][2]);
        EXPECT_TRUE(one[1] == p[0][2] && one[0] == p[1][2]);
        for (int t = 0; t < 2; t++)
            for (int k = t; k <= kComm; k++) {
                const double q = ((t == 0) == c.dissim ? c.upper[k] : c.lower[k]) / 120.0;
                EXPECT_LE(std::fabs(p[t][k] - (1.0 + (N - 1) * q) / N), 4 * std::sqrt(q * (1 - q) / (N - 1)) + 1e-12)
                    << c.dissim << " tail " << t << " row " << k;
            }
    }
}

// Distances d12 .2, d13 .5, d14 .9, d23 .4, d24 .6, d34 .3 (the lower triangle is never read).
// By hand: 1 <-> 2 at .2 x 1 x 1, twice, over 2 OTUs: .2; 1 -> 3 at .5 x 2 x 1 and 3 <-> 4 at .3,
// over 3: 1.6 / 3; one OTU or none: 0, left out of the mean .366667.
struct Hand {
    Mat<double> W{{1, 1, 0, 0}, {2, 0, 1, 1}, {0, 0, 0, 3}, {0, 0, 0, 0}};
    Mat<float> R{{0, .2, .5, .9}, {7, 0, .4, .6}, {7, 7, 0, .3}, {7, 7, 7, 0}};
};

// No community with two present OTUs, or at most one iteration: every arrangement ties. Then the
// texts, community 4 tying always.
TEST(LimitingSimilarity, GuardsAndTexts) {
    for (int it : {50, 1, -3}) {
        Hand h;
        if (it == 50) h.W[0][1] = h.W[1][0] = h.W[1][2] = 0;
        double tail[4], other[4];
        InitRndNumberGenerator(5);
        EXPECT_EQ(Prob_LimitingSimilarityEachComm(it, 4, 4, other, tail, h.W, h.R, true, false, nullptr), 1.0);
        for (int k = 0; k < 4; k++) EXPECT_TRUE(tail[k] == 1.0 && other[k] == 1.0) << it << " " << k;
    }
    Hand h;
    Scratch s;
    double tail[4], other[4];
    InitRndNumberGenerator(12);
    Prob_LimitingSimilarityEachComm(2, 4, 4, other, tail, h.W, h.R, true, true, s.f);
    const std::string out = s.Text();
    size_t at = 0;
    for (const char* t : {"\nPERMUTATION TEST for the \n\nTest statistic: Mean nearest-neighbour resemblance within "
                          "communities (it is the 'TS1 Mean NN ED' in Halvey & Prenton 2004 if the resemblance is Euclidean "
                          "distance)\nINTERMEDIATE RESULTS\n\nObserved dissimilarity matrix of 4 OTUs:\n0\t0.2\t0.5\t0.9\t\n0.2\t",
                          "\n\nCommunity data matrix (4 communities by 4 OTUs):\n1\t1\t0\t0\t\n", "\n\n\nObserved test "
                          "statistic for the set of communities=\t0.366667\nObserved test statistic for each community:\t0.2\t"
                          "0.533333\t0\t0\n\n\nPermuted distance matrix:\n", "\n\nOrder of original OTUs in permuted matrix:\t",
                          "\nIteration 1\tRandom test statistic for community\t4\t0\tCummulative frequency=2\n"})
        ASSERT_NE(at = out.find(t, at), std::string::npos) << t;
    EXPECT_EQ(out.find("community\t5"), std::string::npos);
}

}  // namespace
