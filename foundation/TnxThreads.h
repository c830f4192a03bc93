// How many worker threads a long loop may use: the machine's hardware concurrency, or the number
// the environment variable TARNEX_THREADS gives (1 keeps the loop on the calling thread).
#ifndef TNX_THREADS_H
#define TNX_THREADS_H

// The number of worker threads, at least 1. TARNEX_THREADS, when set to a whole number from 1 to
// 1024, wins; any other value is ignored. Without it, std::thread::hardware_concurrency() (1 when
// the machine does not say).
int WorkerThreads();

#endif
