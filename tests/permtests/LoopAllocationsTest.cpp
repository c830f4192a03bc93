// The permutation loops allocate nothing per randomisation: the heap allocations of a run do not
// grow with its iterations (counted through the address sanitizer's hooks; skipped without it).
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

#include "MantelData.h"
#include "permtests/qwlibClasses.h"
#include "permtests/qwlibPermTests.h"

namespace {

std::atomic<long> allocations{0};
#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
const bool counting = __sanitizer_install_malloc_and_free_hooks([](const volatile void*, size_t) { allocations++; },
                                                                [](const volatile void*) {});
#else
const bool counting = false;
#endif

// The randomization test class on MantelData's communities in two groups, single statistic s.
void Manova(MantelData& d, int s, int iterations) {
    int groups[kComm] = {1, 2, 1, 2, 2, 1}, *rows[1] = {groups};
    manovaInput in;
    in.nUnits = kComm, in.nVars = kOtus, in.nIterations = iterations, in.nFactors = 1;
    in.data = d.W, in.distances = d.DE, in.groups = rows;
    RandomizationTestManova t(&in, s);
}

TEST(PermutationLoops, AllocateNothingPerRandomisation) {
    if (!counting) GTEST_SKIP() << "allocations are counted through the address sanitizer";
    InitRndNumberGenerator(9);
    MantelData d;
    double a[kComm], b[kComm], D[kComm] = {1, 1, 1, 1, 1, 1};
    std::vector<std::function<void(int)>> loops = {
        [&](int it) { Prob_LimitingSimilarityEachComm(it, kOtus, kComm, a, b, d.W, d.S, false, false, nullptr); },
        [&](int it) { Prob_Redundancy(it, kOtus, 0, kComm, D, a, d.S, d.W, false, false, nullptr, true); },
        [&](int it) { Prob_Redundancy(it, kOtus, 0, kComm, D, a, d.DE, d.W, true, false, nullptr, false); }};
    for (int s = 1; s <= 4; s++) loops.push_back([&d, s](int it) { Manova(d, s, it); });
    for (size_t l = 0; l < loops.size(); l++) {
        long counts[3];
        for (int run = 0; run < 3; run++) {  // the first run makes what a process makes once
            const long before = allocations;
            loops[l](run < 2 ? 3 : 60);
            counts[run] = allocations - before;
        }
        EXPECT_EQ(counts[2], counts[1]) << l;
    }
}

}  // namespace
