// The redundancy test: diversity minus Rao entropy worked by hand in both forms, the
// probabilities against the exact ones over the 6 arrangements of 3 OTUs, the guards, the texts
// and the replayed lists (plain and weighted).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "MantelData.h"
#include "permtests/qwlibPermCommunity.h"
#include "permtests/qwlibPermTests.h"

namespace {

// Abundances of 4 communities over 3 OTUs and their diversities. With the distances d12 .2,
// d13 .6, d23 .4 (diagonal 0), Q = 2 sum_{i<j} p_i p_j d_ij:
//   community 1, p = (.25, .5, .25): 2 (.125 x .2 + .0625 x .6 + .125 x .4) = .225, D - Q = .775
//   community 2, p = (.25, .25, .5): 2 (.0625 x .2 + .125 x .6 + .125 x .4) = .275, .725
//   community 3, no abundance: Q = 0, .5
//   community 4, p = (.75, 0, .25): 2 x .1875 x .6 = .225, .275
// With the similarities s12 .75, s13 .36, s23 .84 (diagonal 1) the distances sqrt(1 - s) are .5,
// .8, .4 (diagonal 0): Q = .325, .3625, 0, .3; D - Q = .675, .6375, .5, .2.
struct Data {
    Mat<double> W{{1, 2, 1}, {1, 1, 2}, {0, 0, 0}, {3, 0, 1}};
    double D[4] = {1, 1, .5, .5};
    // Lower triangles hold values the test must not read.
    Mat<float> distF{{0, .2, .6}, {9, 0, .4}, {9, 9, 0}}, simF{{1, .75, .36}, {9, 1, .84}, {9, 9, 1}};
    Mat<double> distD{{0, .2, .6}, {9, 0, .4}, {9, 9, 0}}, simD{{1, .75, .36}, {9, 1, .84}, {9, 9, 1}};
};

TEST(Redundancy, DiversityMinusRaoEntropyByHandInBothForms) {
    const struct {
        const char* name;
        bool dissim, single;
        std::vector<double> want;
        double tol;
    } cases[] = {
        {"distances, float", true, true, {.775, .725, .5, .275}, 1e-7},
        {"distances, double", true, false, {.775, .725, .5, .275}, 1e-15},
        {"similarities, float", false, true, {.675, .6375, .5, .2}, 1e-6},
        {"similarities, double", false, false, {.675, .6375, .5, .2}, 1e-15},
    };
    const int identity[3] = {1, 2, 3};
    for (const auto& c : cases) {
        Data d;
        float** Sf = c.dissim ? d.distF : d.simF;
        double** Sd = c.dissim ? d.distD : d.simD;
        UpperToLowerMatrix(3, Sf);
        UpperToLowerMatrix(3, Sd);
        const double* got;
        RedundancyTest<float> tf(3, 4, d.D, Sf, d.W, c.dissim);
        RedundancyTest<double> td(3, 4, d.D, Sd, d.W, c.dissim);
        if (c.single) {
            tf.Arrange(identity);
            got = tf.stat;
        } else {
            td.Arrange(identity);
            got = td.stat;
        }
        for (int k = 0; k < 4; k++) EXPECT_NEAR(got[k], c.want[k], c.tol) << c.name << " " << k;
    }
}

// Community 1 puts half its abundance on the middle position: D - Q is .775 with OTU 2 there (2
// arrangements), .75 with OTU 1 and .725 with OTU 3, so P = 2 / 6. Community 2 has the smallest
// redundancy of its arrangements (P = 1), communities 3 and 4 tie or exceed in every one (P = 1).
TEST(Redundancy, ProbabilitiesMatchTheSixArrangements) {
    const int N = 6000;
    for (bool single : {true, false}) {
        Data d;
        float** Sf = d.distF;
        double** Sd = d.distD;
        double P[4];
        InitRndNumberGenerator(19);
        EXPECT_TRUE(single ? Prob_Redundancy(N, 3, 0, 4, d.D, P, Sf, d.W, true, false, nullptr, false)
                           : Prob_Redundancy(N, 3, 0, 4, d.D, P, Sd, d.W, true, false, nullptr, false));
        const double q = 2.0 / 6, mean = (1.0 + (N - 1) * q) / N, se = std::sqrt(q * (1 - q) / (N - 1)) * (N - 1) / N;
        EXPECT_LT(std::fabs(P[0] - mean), 4 * se) << single << " " << P[0] << " vs " << mean;
        for (int k = 1; k < 4; k++) EXPECT_EQ(P[k], 1.0) << single << " " << k;
        // The upper triangle was copied into the lower one.
        EXPECT_EQ(single ? double(Sf[2][0]) : Sd[2][0], single ? double(.6f) : .6);
    }
}

TEST(Redundancy, GuardsGiveProbabilityOneAndDrawNothing) {
    const unsigned long untouched = DrawAfter(3, [] {});
    for (int it : {1, 0, -3}) {
        Data d;
        float** S = d.distF;
        double P[4] = {0, 0, 0, 0};
        EXPECT_EQ(DrawAfter(3, [&] { Prob_Redundancy(it, 3, 0, 4, d.D, P, S, d.W, true, false, nullptr, true); }),
                  untouched)
            << it;
        for (double p : P) EXPECT_EQ(p, 1.0) << it;
    }
    Data d;
    double** S = d.distD;
    double P = 0;
    EXPECT_EQ(DrawAfter(3, [&] { Prob_Redundancy(20, 3, 0, 0, d.D, &P, S, d.W, true, false, nullptr, false); }),
              untouched);
}

// The header exactly; every iteration block shows the list the member drew (the plain list or the
// occurrences, shuffled on from the previous randomisation) and the redundancies of that list.
TEST(Redundancy, WritesItsTextsAndContinuesItsList) {
    for (bool weighted : {false, true}) {
        Data d;
        float** S = d.distF;
        double P[4];
        Scratch s;
        InitRndNumberGenerator(40);
        Prob_Redundancy(4, 3, 0, 4, d.D, P, S, d.W, true, true, s.f, weighted);
        const std::string out = s.Text();
        const std::string head =
            "\nPERMUTATION TEST FOR REDUNDANCY\nINTERMEDIATE RESULTS\n\nObserved resemblance matrix between OTUs based "
            "on the traits:\n0\t0.2\t0.6\t\n0.2\t0\t0.4\t\n0.6\t0.4\t0\t\n\nMatrix W (4 communities by 3 OTUs):\n"
            "1\t2\t1\t\n1\t1\t2\t\n0\t0\t0\t\n3\t0\t1\t\n\nObserved redundancy in 4 communities\n0.775\t0.725\t0.5\t0.275\t"
            "\n\n\nITERATION\t1\n\nOrder of OTUs in randomly permuted resemblance matrix between OTUs:\t";
        EXPECT_EQ(out.substr(0, head.size()), head) << weighted;

        InitRndNumberGenerator(40);
        OtuList ref(3, 4, d.W, weighted);
        size_t at = 0;
        for (int it = 1; it <= 3; it++) {
            ref.Draw(ListDraw::kContinued);
            const int* o = ref.Entries();
            RedundancyTest<float> t(3, 4, d.D, S, d.W, true);
            t.Arrange(o);
            char block[400];
            snprintf(block, sizeof block,
                     "\n\nITERATION\t%d\n\nOrder of OTUs in randomly permuted resemblance matrix between OTUs:\t%d\t%d\t%d"
                     "\t\n\nResemblance matrix between 3 OTUs after rearrangement according to OTUs permutation:\n%g\t\n"
                     "%g\t%g\t\n",
                     it, o[0], o[1], o[2], double(t.Srnd[0][0]), double(t.Srnd[1][0]), double(t.Srnd[1][1]));
            at = out.find(block, at);
            ASSERT_NE(at, std::string::npos) << weighted << " " << it;
            snprintf(block, sizeof block,
                     "\nIteration %d\tRedundancy according to the null model in 4 communities:\n%g\t%g\t%g\t%g\t\n", it,
                     t.stat[0], t.stat[1], t.stat[2], t.stat[3]);
            EXPECT_NE(out.find(block, at), std::string::npos) << weighted << " " << it;
        }
    }
}

}  // namespace
