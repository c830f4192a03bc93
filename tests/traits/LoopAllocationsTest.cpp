// The functional analysis's permutation engine allocates nothing per permutation, and the
// trait-subset search nothing per subset: the heap allocations of a run do not grow with its
// iterations or subsets (counted through the address sanitizer's hooks: built with it only).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/AllocationCount.h"
#include "common/ClaimedCpus.h"
#include "matrix/core/qwlibRandom.h"
#include "session/session_fixture.h"
#include "traits/ChRankData.h"
#include "traits/PermTestData.h"
#include "traits/TNXPERMTEST.h"

#if defined(__SANITIZE_ADDRESS__)
namespace {

using tnxtest::allocations;
const bool& counting = tnxtest::countingAllocations;

// Each congruence measure (Mantel, Procrustes, RV) with the phylogeny, so that all 22 statistics
// are computed; then the OTUs drawn from the occurrences and permuted within nesting groups;
// then Procrustes and RV with -999 cells in Y and Z, whose partial congruences take the
// regression on principal components that skips them.
TEST(PermutationLoops, EngineAllocatesNothingPerPermutation) {
    ASSERT_TRUE(counting);
    const struct {
        int optRo;
        bool weighted;
        int restriction;
        bool missing;
    } cases[] = {{1, false, 0, false}, {2, false, 0, false}, {3, false, 0, false}, {2, true, 0, false},
                 {1, false, 1, false},  {2, false, 0, true},  {3, false, 0, true}};
    // One thread and four, each with a work space of its own made before the loop (the
    // threads are never more than the permutations: five in the shorter runs).
    const char* env = std::getenv("TARNEX_THREADS");
    const std::string saved = env ? env : "";
    const ClaimedCpus cpus(4);
    for (const char* threads : {"1", "4"})
    for (const auto& c : cases) {
        setenv("TARNEX_THREADS", threads, 1);
        Small d(c.optRo, true);
        d.in.weightedNullModel = c.weighted;
        d.in.restriction = c.restriction;
        int groups[kS] = {1, 1, 2, 2, 2};
        d.in.nestingGroups = groups;
        if (c.missing) d.Y[1][2] = d.Z[4][0] = -999;
        long counts[3];
        for (int run = 0; run < 3; run++) {  // the first run makes what a process makes once
            InitRndNumberGenerator(9);
            const long before = allocations;
            d.in.iterations = run < 2 ? 6 : 60;
            EXPECT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            counts[run] = allocations - before;
        }
        EXPECT_EQ(counts[2], counts[1]) << threads << " threads: " << c.optRo << " " << c.weighted << " "
                                        << c.restriction << " " << c.missing;
    }
    if (env)
        setenv("TARNEX_THREADS", saved.c_str(), 1);
    else
        unsetenv("TARNEX_THREADS");
}

// Every criterion of the exhaustive search, each measure among them: the pairs of five of eight
// traits (10 subsets) and then of seven (21; the others weighted 0), after a first run that
// makes what a process makes once. Every subset enters the top list (fewer than 100), so a
// subset's allocations, or those of a value entering the list, would show as a difference. On
// one thread and on four, whose work spaces and chunks are made once per run.
class SubsetSearchAllocations : public tnxtest::TempDirTest {};

TEST_F(SubsetSearchAllocations, SearchAllocatesNothingPerSubset) {
    ASSERT_TRUE(counting);
    const struct {
        int criterion, measure;  // measure 1 Mantel, 2 Procrustes, 3 RV
    } cases[] = {{1, 1},  {1, 2},  {1, 3},  {9, 1},  {9, 2},  {9, 3},  {10, 1}, {10, 2},
                 {10, 3}, {11, 1}, {12, 3}, {13, 2}, {14, 1}, {15, 1}, {16, 3}, {17, 2},
                 {18, 1}, {19, 3}, {20, 2}, {21, 1}, {22, 2}, {23, 3}, {24, 1}};
    for (int threads : {1, 4}) {
        for (const auto& c : cases) {
            const chranktest::ThreadCount count(threads);
            const bool phylogeny = c.criterion >= 11 && c.criterion <= 15;
            const int s = 10, groups = c.criterion == 24 ? s : 3;
            std::vector<int> partition(s);
            for (int i = 0; i < s; i++) partition[i] = 1 + i % groups;
            chranktest::LoadSurvey(chranktest::RandomSurvey(5, 8, s, 9, 3, phylogeny), c.criterion, partition);
            opt_ro = c.measure;
            nMinTraitsChRank = nMaxTraitsChRank = 2;
            long counts[3];
            for (int run = 0; run < 3; run++) {
                const int traits = run < 2 ? 5 : 7;
                for (int t = 0; t < nch; t++) weight[t] = t < traits ? 1.0f : 0.0f;
                const long before = allocations;
                EXPECT_EQ(chranktest::RunCriterion(c.criterion), kChRankDone);
                counts[run] = allocations - before;
            }
            EXPECT_EQ(counts[2], counts[1]) << "criterion " << c.criterion << " measure " << c.measure << " threads "
                                            << threads;
            ResetDataSet();
        }
    }
}

}  // namespace
#endif
