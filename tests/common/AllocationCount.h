// Counts the heap allocations of the test process through the address sanitizer's malloc hook,
// so that a test can check that a loop allocates nothing per iteration. Only in builds with the
// address sanitizer; the tests that use it are compiled only there.
#ifndef TARNEX_TESTS_COMMON_ALLOCATIONCOUNT_H
#define TARNEX_TESTS_COMMON_ALLOCATIONCOUNT_H

#if defined(__SANITIZE_ADDRESS__)
#include <atomic>
#include <cstddef>

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));

namespace tnxtest {

inline std::atomic<long> allocations{0};
// True once the hook is in place.
inline const bool countingAllocations = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, size_t) { allocations++; }, [](const volatile void*) {});

}  // namespace tnxtest
#endif

#endif
