// The redundancy test: diversity minus Rao entropy by hand in both forms, the probabilities of the
// 6 arrangements of 3 OTUs, the guards and the header.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "MantelData.h"
#include "permtests/qwlibPermCommunity.h"
#include "permtests/qwlibPermTests.h"

namespace {

// 4 communities over 3 OTUs, distances d12 .2, d13 .6, d23 .4 or similarities s12 .75, s13 .36,
// s23 .84 (distances sqrt(1 - s): .5, .8, .4); lower triangles never read. Q = 2 sum_{i<j} p_i
// p_j d_ij: p = (.25, .5, .25) gives 2 (.125 x .2 + .0625 x .6 + .125 x .4) = .225 (.325 over the
// similarities), p = (.25, .25, .5) .275 (.3625), no abundance 0, p = (.75, 0, .25) .225 (.3).
struct Data {
    Mat<double> W{{1, 2, 1}, {1, 1, 2}, {0, 0, 0}, {3, 0, 1}};
    double D[4] = {1, 1, .5, .5};
    Mat<float> distF{{0, .2, .6}, {9, 0, .4}, {9, 9, 0}}, simF{{1, .75, .36}, {9, 1, .84}, {9, 9, 1}};
    Mat<double> distD{{0, .2, .6}, {9, 0, .4}, {9, 9, 0}}, simD{{1, .75, .36}, {9, 1, .84}, {9, 9, 1}};
};

TEST(Redundancy, DiversityMinusRaoEntropyByHandInBothForms) {
    const double byDist[4] = {.775, .725, .5, .275}, bySim[4] = {.675, .6375, .5, .2};
    for (bool dissim : {true, false}) {
        Data d;
        float** Sf = dissim ? d.distF : d.simF;
        double** Sd = dissim ? d.distD : d.simD;
        UpperToLowerMatrix(3, Sf);
        UpperToLowerMatrix(3, Sd);
        RedundancyTest<float> tf(3, 4, d.D, Sf, d.W, dissim);
        RedundancyTest<double> td(3, 4, d.D, Sd, d.W, dissim);
        tf.Arrange(MantelData().identity);
        td.Arrange(MantelData().identity);
        for (int k = 0; k < 4; k++) {
            EXPECT_NEAR(tf.stat[k], (dissim ? byDist : bySim)[k], 1e-6) << dissim << " " << k;
            EXPECT_NEAR(td.stat[k], (dissim ? byDist : bySim)[k], 1e-15) << dissim << " " << k;
        }
    }
}

// Community 1 puts half its abundance on the middle OTU: D - Q is .775 with OTU 2 there (2 of the
// 6 arrangements), .75 with OTU 1, .725 with OTU 3, so P = 1/3. Community 2 has the smallest
// redundancy of its arrangements, 3 and 4 tie or exceed in all: P = 1. At most one iteration: 1.
TEST(Redundancy, ProbabilitiesOfTheSixArrangements) {
    const int N = 6000;
    for (int it : {N, 1, -3})
        for (bool single : {true, false}) {
            Data d;
            double P[4];
            Scratch s;
            InitRndNumberGenerator(19);
            EXPECT_TRUE(single ? Prob_Redundancy(it, 3, 0, 4, d.D, P, d.distF, d.W, true, it == 1, s.f, false)
                               : Prob_Redundancy(it, 3, 0, 4, d.D, P, d.distD, d.W, true, false, nullptr, false));
            const double q = 1.0 / 3, mean = it == N ? (1.0 + (N - 1) * q) / N : 1.0;
            EXPECT_LE(std::fabs(P[0] - mean), it == N ? 4 * std::sqrt(q * (1 - q) / N) : 0.0) << single << " " << it;
            for (int k = 1; k < 4; k++) EXPECT_EQ(P[k], 1.0) << single << " " << k;
            // Community 1 alone draws the same lists and is tested as well.
            InitRndNumberGenerator(19);
            Prob_Redundancy(it, 3, 0, 1, d.D, P + 1, d.distD, d.W, true, false, nullptr, false);
            EXPECT_EQ(P[1], P[0]) << single << " " << it;
            EXPECT_EQ(single ? double(d.distF[2][0]) : d.distD[2][0], single ? double(.6f) : .6);
            if (single && it == 1) {
                EXPECT_EQ(s.Text(), "\nPERMUTATION TEST FOR REDUNDANCY\nINTERMEDIATE RESULTS\n\nObserved resemblance matrix "
                                    "between OTUs based on the traits:\n0\t0.2\t0.6\t\n0.2\t0\t0.4\t\n0.6\t0.4\t0\t\n\nMatrix "
                                    "W (4 communities by 3 OTUs):\n1\t2\t1\t\n1\t1\t2\t\n0\t0\t0\t\n3\t0\t1\t\n\nObserved "
                                    "redundancy in 4 communities\n0.775\t0.725\t0.5\t0.275\t\n");
            }
        }
}

}  // namespace
