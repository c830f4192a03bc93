// Number of worker threads for the loops that share their work among cores.
#include "foundation/TnxThreads.h"

#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "foundation/TnxBlas.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' allocator, which takes the C library's place in their builds, counts its own.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// The address space the C library's allocator reserves for the arena of a thread that allocates
// (twice the largest block it serves by mmap on a 64-bit system: 64 MiB), mapped without access
// until the arena grows into it.
constexpr std::size_t kArenaBytes = std::size_t{64} << 20;

// The most threads TARNEX_THREADS may ask for.
constexpr long kMostThreads = 1024;

// The value of the line `key` (e.g. "VmData:") of a /proc file of "key: value kB" lines, in bytes;
// 0 when the file or the line cannot be read.
std::size_t KilobytesLine(const char* path, const char* key) {
    std::FILE* f = std::fopen(path, "r");
    if (!f) return 0;
    const std::size_t keyLength = std::strlen(key);
    char line[256];
    unsigned long long kb = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, keyLength) == 0) found = std::sscanf(line + keyLength, "%llu", &kb) == 1;
    std::fclose(f);
    return found ? static_cast<std::size_t>(kb) * 1024 : 0;
}

// The bytes the allocator has handed out and not taken back: the C library's, in every arena and
// in blocks of their own, or the sanitizer's that stands in its place.
std::size_t AllocatedBytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// A limit of the process in bytes (SIZE_MAX: none), with the figure it counts now (`inUse`); a
// limit whose figure the system does not give is left out, as none.
void ReadLimit(int resource, std::size_t (*inUse)(), std::size_t* limit, std::size_t* used) {
    rlimit l{};
    if (getrlimit(resource, &l) != 0 || l.rlim_cur == RLIM_INFINITY) return;
    const std::size_t now = inUse();
    if (now == 0) return;
    *limit = static_cast<std::size_t>(l.rlim_cur);
    *used = now;
}

// Growth from `before` to `after`, 0 when it shrank.
std::size_t Growth(std::size_t before, std::size_t after) { return after > before ? after - before : 0; }

}  // namespace

SpaceMeter::SpaceMeter() : address_(AddressSpaceInUse()), data_(DataInUse()), allocated_(AllocatedBytes()) {}

WorkerCost SpaceMeter::Taken() const {
    const std::size_t allocated = Growth(allocated_, AllocatedBytes());
    WorkerCost taken;
    taken.addressSpace = std::max(Growth(address_, AddressSpaceInUse()), allocated);
    taken.data = std::max(Growth(data_, DataInUse()), allocated);
    return taken;
}

int ThreadsAsked(const char* value, int fallback, std::string* notice) {
    if (!value) return fallback;
    char* end = nullptr;
    errno = 0;
    // strtol passes over the blanks before the number; those after it are passed over here.
    const long n = std::strtol(value, &end, 10);
    const bool read = end != value && errno == 0;
    while (read && std::isspace(static_cast<unsigned char>(*end))) end++;
    if (read && *end == '\0' && n >= 1 && n <= kMostThreads) return static_cast<int>(n);
    if (notice)
        *notice = std::string("TARNEX_THREADS=\"") + value + "\" is not a whole number from 1 to " +
                  std::to_string(kMostThreads) + ": the default is used instead, " + std::to_string(fallback) +
                  (fallback == 1 ? " thread" : " threads") + " (one per CPU the program may run on).\n";
    return fallback;
}

int CpusAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n >= 1) return n;
    }
    const unsigned hw = std::thread::hardware_concurrency();
    return hw >= 1 ? static_cast<int>(hw) : 1;
}

std::size_t AddressSpaceInUse() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long long pages = 0;
    const bool read = std::fscanf(f, "%llu", &pages) == 1;
    std::fclose(f);
    const long page = sysconf(_SC_PAGESIZE);
    return read && page > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(page) : 0;
}

std::size_t DataInUse() { return KilobytesLine("/proc/self/status", "VmData:"); }

std::size_t MemoryAvailable() {
    if (const std::size_t available = KilobytesLine("/proc/meminfo", "MemAvailable:")) return available;
    const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    return pages > 0 && page > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(page) : SIZE_MAX;
}

WorkerCost WorkerFootprint(const WorkerCost& space, bool blasBuffer) {
    std::size_t stack = std::size_t{8} << 20, guard = 4096;
    pthread_attr_t attr;
    if (pthread_getattr_default_np(&attr) == 0) {
        pthread_attr_getstacksize(&attr, &stack);
        pthread_attr_getguardsize(&attr, &guard);
        pthread_attr_destroy(&attr);
    }
    WorkerCost cost;
    const std::size_t buffer = blasBuffer ? BlasBufferBytes() : 0;
    cost.addressSpace = stack + guard + kArenaBytes + buffer + space.addressSpace;
    cost.data = stack + buffer + space.data;
    return cost;
}

int WorkersWithin(std::size_t limit, std::size_t used, std::size_t callerNeeds, std::size_t perWorker, int asked) {
    if (asked < 1) asked = 1;
    if (perWorker == 0 || limit <= used || limit - used <= callerNeeds) return 1;
    const std::size_t more = (limit - used - callerNeeds) / perWorker;
    return more >= static_cast<std::size_t>(asked - 1) ? asked : 1 + static_cast<int>(more);
}

int WorkerCount(const WorkerBounds& b) {
    int count = std::max(1, std::min(b.asked, b.cpus));
    if (b.work < count) count = static_cast<int>(std::max<std::int64_t>(b.work, 1));
    if (b.addressLimit != SIZE_MAX)
        count = WorkersWithin(b.addressLimit, b.addressUsed, b.caller.addressSpace, b.worker.addressSpace, count);
    if (b.dataLimit != SIZE_MAX)
        count = WorkersWithin(b.dataLimit, b.dataUsed, b.caller.data, b.worker.data, count);
    if (b.memoryAvailable != SIZE_MAX)
        count = WorkersWithin(b.memoryAvailable, 0, b.caller.data, b.worker.data, count);
    return count;
}

namespace {

// What the count of workers depends on before memory: the count asked for, the CPUs and the work.
WorkerBounds AskedBounds(std::int64_t work) {
    WorkerBounds b;
    b.cpus = CpusAvailable();
    std::string notice;
    b.asked = ThreadsAsked(std::getenv("TARNEX_THREADS"), b.cpus, &notice);
    // The variable does not change while the program runs: named once, at the first loop that reads
    // it, rather than at every analysis.
    static std::atomic<bool> named{false};
    if (!notice.empty() && !named.exchange(true)) {
        std::fputs(notice.c_str(), stderr);
        std::fflush(stderr);
    }
    b.work = work;
    return b;
}

}  // namespace

int WorkersAsked(std::int64_t work) { return WorkerCount(AskedBounds(work)); }

int WorkerThreads(const WorkerCost& space, bool blasBuffer, std::int64_t work, std::size_t besideSpace) {
    WorkerBounds b = AskedBounds(work);
    if (WorkerCount(b) <= 1) return 1;
    ReadLimit(RLIMIT_AS, AddressSpaceInUse, &b.addressLimit, &b.addressUsed);
    ReadLimit(RLIMIT_DATA, DataInUse, &b.dataLimit, &b.dataUsed);
    b.memoryAvailable = MemoryAvailable();
    const std::size_t caller = (blasBuffer && !HoldsBlasBuffer() ? BlasBufferBytes() : 0) + besideSpace;
    b.caller = {caller, caller};
    b.worker = WorkerFootprint({space.addressSpace + besideSpace, space.data + besideSpace}, blasBuffer);
    return WorkerCount(b);
}
