// Number of worker threads for the loops that share their iterations among cores.
#include "foundation/TnxThreads.h"

#include <cerrno>
#include <cstdlib>
#include <thread>

int WorkerThreads() {
    if (const char* s = std::getenv("TARNEX_THREADS")) {
        char* end = nullptr;
        errno = 0;
        const long n = std::strtol(s, &end, 10);
        if (end != s && *end == '\0' && errno == 0 && n >= 1 && n <= 1024) return static_cast<int>(n);
    }
    const unsigned hw = std::thread::hardware_concurrency();
    return hw >= 1 ? static_cast<int>(hw) : 1;
}
