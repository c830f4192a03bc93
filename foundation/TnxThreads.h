// How many worker threads a loop that shares its work may use: as many as TARNEX_THREADS asks for
// (by default one per CPU the process may run on), held to those CPUs, to the work there is, and
// to what the memory limits and the machine's memory leave room for, each worker counted with its
// own work space. The helpers that make a worker's space and start its thread leave a refused
// worker out of the loop.
#ifndef TNX_THREADS_H
#define TNX_THREADS_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/TnxError.h"

// Memory in bytes as the two limits count it: the address space (ulimit -v, RLIMIT_AS) counts every
// mapping; the data limit (ulimit -d, RLIMIT_DATA) only the private writable ones (the heap, the
// BLAS work buffers, the threads' stacks), not a reservation mapped without access such as the
// allocator's arena of a thread or a stack's guard page. The data figure also stands for what the
// memory is asked to hold.
struct WorkerCost {
    std::size_t addressSpace = 0;
    std::size_t data = 0;
};

// Measures what a loop's first work space takes: made before the space, read after it. Each figure
// is the larger of what the process grew by (VmSize, VmData) and what the C library's allocator
// handed out and still holds: growth alone misses a space laid in memory freed earlier, the
// allocator's count alone misses what is mapped beside it and reads nothing under the sanitizers'
// allocators.
class SpaceMeter {
public:
    SpaceMeter();
    WorkerCost Taken() const;

private:
    std::size_t address_, data_, allocated_;
};

// What make() takes, measured by a SpaceMeter.
template <class Make>
WorkerCost MeasureSpace(Make&& make) {
    const SpaceMeter meter;
    make();
    return meter.Taken();
}

// Everything the count of workers depends on, so that the count is a function of it alone.
// SIZE_MAX stands for no limit; a figure in use that the system does not give is 0.
struct WorkerBounds {
    int asked = 1;                                         // TARNEX_THREADS, or the CPUs
    int cpus = 1;                                          // the CPUs the process may run on
    std::int64_t work = 1;                                 // the items the loop shares out
    std::size_t addressLimit = SIZE_MAX, addressUsed = 0;  // RLIMIT_AS and the address space in use
    std::size_t dataLimit = SIZE_MAX, dataUsed = 0;        // RLIMIT_DATA and the data in use
    std::size_t memoryAvailable = SIZE_MAX;                // what the machine's memory can still give
    WorkerCost caller;                                     // what the calling thread still needs
    WorkerCost worker;                                     // what each worker beyond it takes
};

// The count of workers, the calling thread included, at least 1: the count asked for, held to the
// CPUs, to the work items, and to what each limit leaves once its memory in use and the calling
// thread's need are taken (WorkersWithin; the machine's memory counts the data figures). Asking for
// more, or a larger limit, never gives fewer.
int WorkerCount(const WorkerBounds& bounds);

// The count of workers a loop of `work` items may ask for before memory is counted: as many as
// TARNEX_THREADS asks for (by default the CPUs), held to the CPUs and to the work items, at least 1.
// The first time TARNEX_THREADS is found to hold no whole number from 1 to 1024, one line on the
// error stream names it (ThreadsAsked).
int WorkersAsked(std::int64_t work);

// The count of workers for a loop of `work` items whose first work space took `space`
// (MeasureSpace), each worker taking a BLAS work buffer when `blasBuffer` and `besideSpace` bytes
// more while the loop runs (the calling thread too: what the loop's own bookkeeping holds for each
// worker): WorkerCount on the process's own figures, read now (at most WorkersAsked). The calling
// thread's buffer counts as a need while it holds none.
int WorkerThreads(const WorkerCost& space, bool blasBuffer, std::int64_t work, std::size_t besideSpace = 0);

// The count TARNEX_THREADS asks for when it holds `value` (nullptr: unset): the number, when it is a
// whole number from 1 to 1024, with or without blanks around it; otherwise `fallback`, and for a value that is set `notice` receives
// the line that names it and the count used instead (left alone otherwise).
int ThreadsAsked(const char* value, int fallback, std::string* notice);

// The CPUs the process may run on (its affinity mask, as nproc counts them); the machine's count
// when the system does not say, and at least 1.
int CpusAvailable();

// The process's address space now (what an address-space limit counts), in bytes; 0 when the
// system does not say.
std::size_t AddressSpaceInUse();
// The process's private writable memory now (VmData, what the data limit counts), in bytes; 0 when
// the system does not say.
std::size_t DataInUse();
// The memory the machine can still give without swapping (MemAvailable; its whole memory when the
// system does not say that), in bytes; SIZE_MAX when neither is known.
std::size_t MemoryAvailable();

// What one worker thread beyond the calling one takes, its work space `space` included: its stack
// (and, for the address space, its guard page), the arena the C library's allocator reserves for a
// thread that allocates (address space only: it is mapped without access until used) and, when
// `blasBuffer`, its BLAS work buffer.
WorkerCost WorkerFootprint(const WorkerCost& space, bool blasBuffer);

// The most workers, the calling thread included, that `limit` bytes hold when `used` are taken and
// the calling thread still needs `callerNeeds`: one, plus one per `perWorker` left over, and never
// more than `asked` (at least 1).
int WorkersWithin(std::size_t limit, std::size_t used, std::size_t callerNeeds, std::size_t perWorker, int asked);

// Makes the work space of worker `worker` by calling make(): true when it is made. Memory refused
// (code 1, or bad_alloc) for any worker but the first gives false, and the loop is left to the
// other workers; for the first, and for any other error, the exception goes on.
template <class Make>
bool MakeWorkerSpace(int worker, Make&& make) {
    try {
        make();
        return true;
    } catch (const TnxError& error) {
        if (worker == 0 || error.code() != TNX_OUT_OF_MEMORY) throw;
    } catch (const std::bad_alloc&) {
        if (worker == 0) throw;
    }
    return false;
}

// Starts f on a thread of its own, kept in pool: false when the system refuses the thread, whose
// share then falls to the threads already running.
template <class F>
bool StartWorker(std::vector<std::thread>& pool, F&& f) {
    try {
        pool.emplace_back(std::forward<F>(f));
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

#endif
