// Blocks that the allocator refuses to grow, for the tests of what is composed in memory: while a
// RefusedGrowth lives, a realloc asked for more than `bound` bytes returns null (errno ENOMEM), as
// the allocator refuses a block it cannot give; smaller blocks are made as usual. The same file,
// built as a library and preloaded into the built program, takes the bound from the environment
// variable TNXTEST_REFUSE_GROWTH_ABOVE (tnxtest::ProgramRun::refuseGrowthAbove sets it).
#pragma once

#include <cstddef>

class RefusedGrowth {
public:
    explicit RefusedGrowth(size_t bound);
    ~RefusedGrowth();
    RefusedGrowth(const RefusedGrowth&) = delete;
    RefusedGrowth& operator=(const RefusedGrowth&) = delete;
    // The blocks refused since this object was made.
    long Refused() const;

private:
    size_t previous_;
    long refusedBefore_;
};
