// The permutation loops allocate nothing per randomisation: the heap allocations of a run do not
// grow with its iterations (counted through the address sanitizer's hooks: built with it only).
#include <gtest/gtest.h>

#include "MantelData.h"
#include "common/AllocationCount.h"
#include "permtests/qwlibClasses.h"
#include "permtests/qwlibPermTests.h"

#if defined(__SANITIZE_ADDRESS__)
namespace {

using tnxtest::allocations;
const bool& counting = tnxtest::countingAllocations;

// Limiting similarity, redundancy in both forms, the three Procrustes tests, the randomization
// test class with each single statistic on MantelData's communities in two groups, and members of
// the Mantel family (trait rows, type rows, the multi-statistic, group-label and taxa tests).
TEST(PermutationLoops, AllocateNothingPerRandomisation) {
    ASSERT_TRUE(counting);
    InitRndNumberGenerator(9);
    MantelData d;
    double a[kComm], D[kComm] = {1, 1, 1, 1, 1, 1};
    int groups[kComm] = {1, 2, 1, 2, 2, 1}, *rows[1] = {groups};
    manovaInput in;
    in.nUnits = kComm, in.nVars = kOtus, in.nFactors = 1, in.data = d.W, in.distances = d.DE, in.groups = rows;
    double pr[5];
    int labels[kOtus] = {1, 2, 1, 2, 2};
    for (int l = 0; l < 17; l++) {
        long counts[3];
        for (int run = 0; run < 3; run++) {  // the first run makes what a process makes once
            const long before = allocations;
            const int it = run < 2 ? 3 : 60;
            if (l == 0) Prob_LimitingSimilarityEachComm(it, kOtus, kComm, a, a, d.W, d.S, false, false, nullptr);
            if (l == 1) Prob_Redundancy(it, kOtus, 0, kComm, D, a, d.S, d.W, false, false, nullptr, true);
            if (l == 2) Prob_Redundancy(it, kOtus, 0, kComm, D, a, d.DE, d.W, true, false, nullptr, false);
            if (l == 3) Prob_ProcrustesTE(it, kOtus, kTraits, kComm, d.B, d.W, d.sel, 2, d.Ef, false, nullptr, false);
            if (l == 4) Prob_Procrustes_XE(it, kOtus, kTypes, kComm, d.U, d.W, 2, d.Ef, false, nullptr, false);
            if (l == 5)
                Prob_Procrustes_Traits(it, kTraits, d.sel, kOtus, kTypes, kComm, d.B, d.S, d.U, d.W, 2, d.Ef, &pr[0],
                                       &pr[1], &pr[2], &pr[3], &pr[4], false, nullptr, false);
            if (l >= 6 && l <= 9) {
                in.nIterations = it;
                RandomizationTestManova t(&in, l - 5);
            }
            if (l == 10) Prob_roTE(it, kOtus, kTraits, kComm, d.B, d.W, d.DE, d.sel, 6, false, nullptr, true);
            if (l == 11) Prob_roTE_PC(it, kOtus, kTraits, kComm, d.B, d.W, 0.2, d.DE, d.DC, d.DP, d.sel, 6, false,
                                      nullptr, false);
            if (l == 12) Prob_ro_XE_TPC(it, kOtus, kTypes, kComm, d.U, d.W, 0.1, 0.2, 0.3, d.DT, d.DE, d.DC, d.DP, 6,
                                        false, nullptr, true);
            if (l == 13)
                Prob_ro_Traits(it, kTraits, d.sel, kOtus, kTypes, kComm, d.B, d.S, d.U, d.W, d.DE, &pr[0], &pr[1],
                               &pr[2], &pr[3], &pr[4], 6, false, nullptr, false);
            if (l == 14) Prob_ro_XE_T_2(it, kOtus, 2, kComm, labels, d.S, d.Wf, 0.3f, d.DT, d.DE, 6, false, true,
                                        false, nullptr);
            if (l == 16) Prob_ro_XE_T_2(it, kOtus, 2, kComm, labels, d.S, d.Wf, 0.3f, d.DT, d.DE, 6, false, false,
                                        false, nullptr);
            if (l == 15) Prob_ro_PX_T(it, kOtus, kTypes, kComm, d.U, d.Q, d.W, d.DT, &pr[0], &pr[1], &pr[2], 6, false,
                                      nullptr, false);
            counts[run] = allocations - before;
        }
        EXPECT_EQ(counts[2], counts[1]) << l;
    }
}

}  // namespace
#endif
