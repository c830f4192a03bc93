// Number of worker threads for the loops that share their iterations among cores.
#include "foundation/TnxThreads.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "foundation/TnxBlas.h"

namespace {

// The number asked for: TARNEX_THREADS when it is a whole number from 1 to 1024, else the cores.
int AskedThreads() {
    if (const char* s = std::getenv("TARNEX_THREADS")) {
        char* end = nullptr;
        errno = 0;
        const long n = std::strtol(s, &end, 10);
        if (end != s && *end == '\0' && errno == 0 && n >= 1 && n <= 1024) return static_cast<int>(n);
    }
    const unsigned hw = std::thread::hardware_concurrency();
    return hw >= 1 ? static_cast<int>(hw) : 1;
}

// The address space the C library's allocator reserves for the arena of a thread that allocates
// (twice the largest block it serves by mmap on a 64-bit system: 64 MiB).
constexpr std::size_t kArenaBytes = std::size_t{64} << 20;

}  // namespace

std::size_t AddressSpaceInUse() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long long pages = 0;
    const bool read = std::fscanf(f, "%llu", &pages) == 1;
    std::fclose(f);
    const long page = sysconf(_SC_PAGESIZE);
    return read && page > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(page) : 0;
}

std::size_t WorkerFootprint() {
    std::size_t stack = std::size_t{8} << 20, guard = 4096;
    pthread_attr_t attr;
    if (pthread_getattr_default_np(&attr) == 0) {
        pthread_attr_getstacksize(&attr, &stack);
        pthread_attr_getguardsize(&attr, &guard);
        pthread_attr_destroy(&attr);
    }
    return stack + guard + kArenaBytes + BlasBufferBytes();
}

int WorkersWithin(std::size_t limit, std::size_t used, std::size_t callerNeeds, std::size_t perWorker, int asked) {
    if (asked < 1) asked = 1;
    if (perWorker == 0 || limit <= used || limit - used <= callerNeeds) return 1;
    const std::size_t more = (limit - used - callerNeeds) / perWorker;
    return more >= static_cast<std::size_t>(asked - 1) ? asked : 1 + static_cast<int>(more);
}

int WorkerThreads() {
    const int asked = AskedThreads();
    rlimit limit{};
    if (asked == 1 || getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return asked;
    const std::size_t used = AddressSpaceInUse();
    if (used == 0) return asked;
    const std::size_t caller = HoldsBlasBuffer() ? 0 : BlasBufferBytes();
    return WorkersWithin(static_cast<std::size_t>(limit.rlim_cur), used, caller, WorkerFootprint(), asked);
}
