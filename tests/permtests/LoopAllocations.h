// The heap allocations made while a callable runs, counted through the address sanitizer's
// allocation hooks; without the sanitizer the count is unknown (-1).
#pragma once

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));

// The running count; the hook is installed on the first call, once for the whole program.
inline std::atomic<long>& AllocationCount() {
    static std::atomic<long> count{0};
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void*, size_t) { count++; }, [](const volatile void*) {});
    (void)installed;
    return count;
}

template <class F>
long AllocationsDuring(F run) {
    const long before = AllocationCount();
    run();
    return AllocationCount() - before;
}
#else
template <class F>
long AllocationsDuring(F run) {
    run();
    return -1;
}
#endif
