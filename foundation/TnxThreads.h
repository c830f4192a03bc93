// How many worker threads a long loop may use: the machine's hardware concurrency, or the number
// the environment variable TARNEX_THREADS gives (1 keeps the loop on the calling thread), never
// more than the process's address-space limit leaves room for.
#ifndef TNX_THREADS_H
#define TNX_THREADS_H

#include <cstddef>

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

#endif
