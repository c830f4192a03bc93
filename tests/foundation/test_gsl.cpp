// The numerical library's blocks allocated with a check: a block refused, by the system or by the
// tests' countdown, raises code 1 with nothing allocated; the countdown refuses exactly the
// allocation it names.
#include <gtest/gtest.h>
#include <gsl/gsl_errno.h>

#include "FoundationTestSupport.h"
#include "foundation/TnxGsl.h"

namespace {

const struct {
    const char* what;
    void (*allocate)();
} kAllocators[] = {
    {"matrix", [] { AllocGslMatrix(3, 2); }},
    {"vector", [] { AllocGslVector(4); }},
    {"eigen work space", [] { AllocGslEigenSymmv(3); }},
    {"generator", [] { AllocGslRng(gsl_rng_mt19937); }},
};

TEST(GslAllocation, EachAllocatorMakesItsBlockAndARefusalRaisesCodeOne) {
    for (const auto& a : kAllocators) {
        SCOPED_TRACE(a.what);
        EXPECT_EQ(CodeOf(a.allocate), 0);
        RefuseGslAllocation(1);
        EXPECT_EQ(CodeOf(a.allocate), TNX_OUT_OF_MEMORY);
        EXPECT_EQ(CodeOf(a.allocate), 0);   // the refusal was spent
    }
    // The shapes asked for.
    const GslMatrix m = AllocGslMatrix(3, 2);
    EXPECT_EQ(m->size1 * 10 + m->size2, 32u);
    EXPECT_EQ(AllocGslVector(4)->size, 4u);
}

// Countdown 3: the first two allocations are made, the third refused, the fourth made; 0 refuses none.
TEST(GslAllocation, TheCountdownRefusesTheAllocationItNames) {
    for (int count : {0, 3}) {
        SCOPED_TRACE(count);
        RefuseGslAllocation(count);
        int codes[4];
        for (int& code : codes) code = CodeOf([] { AllocGslVector(2); });
        EXPECT_EQ(codes[0] + codes[1] + codes[3], 0);
        EXPECT_EQ(codes[2], count == 3 ? TNX_OUT_OF_MEMORY : 0);
    }
}

// A size the system cannot give (2^60 doubles): the library returns no block (its error handler off,
// as the program runs it) and the allocator raises code 1. (A matrix refused so keeps the library's
// own 48-byte header, which the library does not free: the vector shows the road.)
TEST(GslAllocation, ABlockTheSystemRefusesRaisesCodeOne) {
    gsl_error_handler_t* saved = gsl_set_error_handler_off();
    EXPECT_EQ(CodeOf([] { AllocGslVector(size_t{1} << 60); }), TNX_OUT_OF_MEMORY);
    gsl_set_error_handler(saved);
}

}  // namespace
