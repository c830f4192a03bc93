// The permutation loops allocate nothing per randomisation: the heap allocations of a run do not
// grow with its iterations (counted through the address sanitizer; skipped without it).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "LoopAllocations.h"
#include "MantelData.h"
#include "matrix/qwlibGroupStats.h"
#include "permtests/qwlibClasses.h"
#include "permtests/qwlibPermTests.h"

namespace {

struct Loop {
    std::string name;
    std::function<void(MantelData&, int iterations)> run;
};

// The randomization test class on 8 units in two groups, single statistic s.
void Manova(int s, int iterations) {
    Mat<double> X{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {3, 3}, {4, 3}, {3, 4}, {5, 5}}, D(8, 8);
    for (int i = 0; i < 8; i++)
        for (int j = 0; j < i; j++) D[i][j] = std::hypot(X[i][0] - X[j][0], X[i][1] - X[j][1]);
    int groups[8] = {1, 1, 1, 2, 2, 1, 2, 2};
    int* rows[1] = {groups};
    manovaInput in;
    in.nUnits = 8;
    in.nVars = 2;
    in.nIterations = iterations;
    in.data = X;
    in.distances = D;
    in.nFactors = 1;
    in.groups = rows;
    RandomizationTestManova t(&in, s);
}

std::vector<Loop> Loops() {
    std::vector<Loop> loops = {
        {"limiting similarity",
         [](MantelData& d, int it) {
             double a[kComm], b[kComm];
             Prob_LimitingSimilarityEachComm(it, kOtus, kComm, a, b, d.W, d.S, false, false, nullptr);
         }},
        {"redundancy, float S, weighted",
         [](MantelData& d, int it) {
             double D[kComm] = {1, 1, 1, 1, 1, 1}, P[kComm];
             Prob_Redundancy(it, kOtus, 0, kComm, D, P, d.S, d.W, false, false, nullptr, true);
         }},
        {"redundancy, double S",
         [](MantelData& d, int it) {
             Mat<double> S(kOtus, kOtus);
             Copy(d.S, S);
             double D[kComm] = {1, 1, 1, 1, 1, 1}, P[kComm];
             Prob_Redundancy(it, kOtus, 0, kComm, D, P, S, d.W, false, false, nullptr, false);
         }},
    };
    for (int s = 1; s <= 4; s++)
        loops.push_back({"randomization test class, statistic " + std::to_string(s),
                         [s](MantelData&, int it) { Manova(s, it); }});
    return loops;
}

TEST(PermutationLoops, AllocateNothingPerRandomisation) {
    if (AllocationsDuring([] {}) < 0) GTEST_SKIP() << "allocations are counted through the address sanitizer";
    InitRndNumberGenerator(9);
    for (const Loop& l : Loops()) {
        MantelData d;
        l.run(d, 3);  // buffers made once per process (streams, the generator) come first
        const long few = AllocationsDuring([&] { l.run(d, 3); });
        const long many = AllocationsDuring([&] { l.run(d, 60); });
        EXPECT_EQ(many, few) << l.name;
    }
}

// One work space serves labellings of any number of groups and labels with gaps, in any order of
// calls, and gives what the allocating forms give; one made for fewer objects takes scratch of
// its own.
TEST(PermutationLoops, GroupStatisticsOnAWorkSpaceEqualTheAllocatingForms) {
    Mat<double> X{{1, 2}, {3, 1}, {2, 4}, {6, 3}, {4, 7}, {5, 5}, {9, 6}};
    int three[7] = {9, 5, 9, 7, 5, 7, 9}, two[7] = {2, 2, 1, 1, 2, 1, 1}, one[7] = {4, 4, 4, 4, 4, 4, 4};
    GroupStatWorkspace fits(7), small(2);
    for (GroupStatWorkspace* ws : {&fits, &small})
        for (int* g : {three, two, one, three}) {
            EXPECT_EQ(F_SUM(7, 2, g, X, *ws), F_SUM(7, 2, g, X)) << ws->capacity << " " << g[0];
            EXPECT_EQ(LR_IND(7, 2, g, X, *ws), LR_IND(7, 2, g, X)) << ws->capacity << " " << g[0];
        }
    // Variable 1 in the groups {2, 6, 5, 9} (mean 5.5) and {1, 3, 4} (mean 8/3): SSB = 4 x 3 / 7
    // (5.5 - 8/3)^2, SSW = 25 + 42/9, F = SSB / 1 / (SSW / 5) = 2.3194...
    const double ssb = 4 * 3 / 7.0 * (5.5 - 8 / 3.0) * (5.5 - 8 / 3.0), ssw = 25 + 42 / 9.0;
    Mat<double> X1(7, 1);
    for (int i = 0; i < 7; i++) X1[i][0] = X[i][0];
    EXPECT_NEAR(F_SUM(7, 1, two, X1, fits), ssb / (ssw / 5), 1e-12);
}

}  // namespace
