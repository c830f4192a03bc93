// The functional analysis's permutation engine allocates nothing per permutation: the heap
// allocations of a run do not grow with its iterations (counted through the address sanitizer's
// hooks: built with it only).
#include <gtest/gtest.h>

#include <atomic>

#include "matrix/core/qwlibRandom.h"
#include "traits/PermTestData.h"
#include "traits/TNXPERMTEST.h"

#if defined(__SANITIZE_ADDRESS__)
namespace {

std::atomic<long> allocations{0};
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
const bool counting = __sanitizer_install_malloc_and_free_hooks([](const volatile void*, size_t) { allocations++; },
                                                                [](const volatile void*) {});

// Each congruence measure (Mantel, Procrustes, RV) with the phylogeny, so that all 22 statistics
// are computed; then the OTUs drawn from the occurrences and permuted within nesting groups.
TEST(PermutationLoops, EngineAllocatesNothingPerPermutation) {
    ASSERT_TRUE(counting);
    const struct {
        int optRo;
        bool weighted;
        int restriction;
    } cases[] = {{1, false, 0}, {2, false, 0}, {3, false, 0}, {2, true, 0}, {1, false, 1}};
    for (const auto& c : cases) {
        Small d(c.optRo, true);
        d.in.weightedNullModel = c.weighted;
        d.in.restriction = c.restriction;
        int groups[kS] = {1, 1, 2, 2, 2};
        d.in.nestingGroups = groups;
        long counts[3];
        for (int run = 0; run < 3; run++) {  // the first run makes what a process makes once
            InitRndNumberGenerator(9);
            const long before = allocations;
            d.in.iterations = run < 2 ? 3 : 60;
            EXPECT_TRUE(PermTest_FunctionalPhyl_Correl(&d.in));
            counts[run] = allocations - before;
        }
        EXPECT_EQ(counts[2], counts[1]) << c.optRo << " " << c.weighted << " " << c.restriction;
    }
}

}  // namespace
#endif
