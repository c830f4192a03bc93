// How many worker threads a long loop may use: the machine's hardware concurrency, or the number
// the environment variable TARNEX_THREADS gives (1 keeps the loop on the calling thread), never
// more than the process's address-space limit leaves room for.
#ifndef TNX_THREADS_H
#define TNX_THREADS_H

#include <cstddef>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/TnxError.h"

// The number of worker threads, at least 1. TARNEX_THREADS, when set to a whole number from 1 to
// 1024, asks for that many; any other value is ignored. Without it, std::thread::hardware_concurrency()
// (1 when the machine does not say). Under an address-space limit (ulimit -v), the number is held
// to what WorkersWithin allows from the process's present size.
int WorkerThreads();

// The process's address space now (what an address-space limit counts), in bytes; 0 when the
// system does not say.
std::size_t AddressSpaceInUse();

// What one worker thread beyond the calling one takes of the address space: its stack and guard
// page, the arena the C library's allocator gives a thread that allocates, and its BLAS work buffer.
std::size_t WorkerFootprint();

// The most workers, the calling thread included, that `limit` bytes of address space hold when
// `used` are taken and the calling thread still needs `callerNeeds`: one, plus one per `perWorker`
// left over, and never more than `asked` (at least 1).
int WorkersWithin(std::size_t limit, std::size_t used, std::size_t callerNeeds, std::size_t perWorker, int asked);

// Makes the work space of worker `worker` by calling make(): true when it is made. Memory refused
// (code 1, or bad_alloc) for any worker but the first gives false, and the loop is left to the
// workers made before; for the first, and for any other error, the exception goes on.
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
