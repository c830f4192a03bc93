// The redundancy test: diversity minus Rao entropy by hand, the probabilities of the 6
// arrangements of 3 OTUs in both forms, the guards and the texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "MantelData.h"
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
    Mat<double> distD{{0, .2, .6}, {9, 0, .4}, {9, 9, 0}};
};

// Community 1 puts half its abundance on the middle OTU: D - Q is .775 with OTU 2 there (2 of the
// 6 arrangements), .75 with OTU 1, .725 with OTU 3, so P = 1/3. Community 2 has the smallest
// redundancy of its arrangements, 3 and 4 tie or exceed in all: P = 1. At most one iteration: 1.
// Community 1 tested alone in the single-precision form draws the same lists and counts alike.
TEST(Redundancy, ProbabilitiesOfTheSixArrangements) {
    const int N = 6000;
    for (int it : {N, 1, -3}) {
        Data d;
        double P[5];
        InitRndNumberGenerator(19);
        EXPECT_TRUE(Prob_Redundancy(it, 3, 0, 4, d.D, P, d.distD, d.W, true, false, nullptr, false));
        InitRndNumberGenerator(19);
        EXPECT_TRUE(Prob_Redundancy(it, 3, 0, 1, d.D, P + 4, d.distF, d.W, true, false, nullptr, false));
        const double q = 1.0 / 3, mean = it == N ? (1.0 + (N - 1) * q) / N : 1.0;
        EXPECT_LE(std::fabs(P[0] - mean), it == N ? 4 * std::sqrt(q * (1 - q) / N) : 0.0) << it;
        EXPECT_TRUE(P[1] == 1.0 && P[2] == 1.0 && P[3] == 1.0 && P[4] == P[0]) << it;
        EXPECT_TRUE(d.distF[2][0] == .6f && d.distD[2][0] == .6);  // mirrored from the upper triangle
    }
}

// The similarities by hand in the header: D - Q = .675, .6375, .5, .2.
TEST(Redundancy, Texts) {
    Data d;
    double P[4];
    Scratch s;
    InitRndNumberGenerator(40);
    Prob_Redundancy(3, 3, 0, 4, d.D, P, d.simF, d.W, false, true, s.f, false);
    const std::string out = s.Text();
    size_t at = 0;
    for (const char* t :
         {"\nPERMUTATION TEST FOR REDUNDANCY\nINTERMEDIATE RESULTS\n\nObserved resemblance matrix between OTUs based on "
          "the traits:\n1\t0.75\t0.36\t\n0.75\t1\t0.84\t\n0.36\t0.84\t1\t\n\nMatrix W (4 communities by 3 OTUs):\n1\t2\t1\t\n1\t1\t"
          "2\t\n0\t0\t0\t\n3\t0\t1\t\n\nObserved redundancy in 4 communities\n0.675\t0.6375\t0.5\t0.2\t\n\n\nITERATION\t1\n"
          "\nOrder of OTUs in randomly permuted resemblance matrix between OTUs:\t",
          "\t\n\nResemblance matrix between 3 OTUs after rearrangement according to OTUs permutation:\n1\t\n",
          "\nIteration 1\tRedundancy according to the null model in 4 communities:\n", "\t0.5\t", "\n\n\nITERATION\t2\n"})
        ASSERT_NE(at = out.find(t, at), std::string::npos) << t;
}

}  // namespace
