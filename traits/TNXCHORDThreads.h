// The subsets of one trait-subset search shared among worker threads: chunks of consecutive
// subsets of one size are handed out in order, each evaluated on its worker's own work space,
// and committed in order (per-size records, top lists, the text each chunk wrote), so that the
// files are those one thread writes, ties included.
#ifndef TNXCHORDTHREADS_H
#define TNXCHORDTHREADS_H

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/MemoryStream.h"
#include "foundation/TnxBlas.h"
#include "foundation/TnxThreads.h"
#include "traits/TNXCHORDCommon.h"
#include "traits/TNXCHORDSearch.h"

namespace chrank {

// The k-subsets of the eligible traits from any lexicographic rank on: Seek places the cursor
// on the subset of rank `rank` (0-based) of size k, Next on the one after it. Changed() is the
// first position that differs from the subset before (0 after a Seek, which starts afresh).
class Cursor {
public:
    explicit Cursor(const std::vector<int>& eligible);
    void Seek(int k, int64_t rank);
    void Next();
    const int* Traits() const { return traits_.data(); }
    int Changed() const { return changed_; }

private:
    const std::vector<int>& eligible_;
    int m_, k_ = 0, changed_ = 0;
    std::vector<int> index_, traits_;
};

// Consecutive subsets first .. first + count - 1 (ranks within size k); `index` orders the
// chunks of the whole search.
struct Chunk {
    int64_t index = 0;
    int k = 0;
    int64_t first = 0;
    int count = 0;
};

// What a chunk leaves for its commit: one value per subset in order, and the text it wrote for
// the result file and the structure file (memory streams, released at the commit, or with the
// queue when the search fails).
struct ChunkOutput {
    std::vector<double> values;
    MemoryStream text, structure;
    bool ready = false;
};

// The chunks of a search and their commits. Chunks are taken in order; a chunk is committed
// when every chunk before it has been, by the thread that finished last, under one lock: its
// values are recorded as one thread records them, its text is appended to the files, and after
// the last chunk of a size `sizeDone(k)` writes that size's line. At most four chunks per worker
// are taken beyond the oldest one not yet committed, so the buffered text stays bounded. A chunk
// given back (its worker refused memory) is taken again before any new one.
class ChunkQueue {
public:
    // cap: the most subsets in a chunk; f, fs: where the chunks' text goes (nullptr: they write
    // none there); skip: the first subsets of the smallest size, already evaluated and recorded
    // (their size's line, should they be all of it, already written).
    ChunkQueue(const Enumeration& en, int workers, int cap, Search& search, int groups, FILE* f, FILE* fs,
               std::function<void(int)> sizeDone, int64_t skip);
    ChunkQueue(const ChunkQueue&) = delete;
    // What one worker's share of the window may hold: four chunks of `cap` values and of the text
    // of `cap` subsets that write `textPerSubset` bytes each, in memory streams that may hold twice
    // what they were given, with room for the longer lines of larger subsets.
    static size_t BytesPerWorker(int cap, size_t textPerSubset);
    ChunkQueue& operator=(const ChunkQueue&) = delete;

    // The next chunk, waiting while the window is full; false when a worker failed, or when none is
    // left and none is being evaluated (which might yet be given back).
    bool Take(Chunk* c);
    ChunkOutput& Output(const Chunk& c) { return outputs_[c.index % window_]; }
    // The streams a chunk writes to (nullptr where nothing is written), opened afresh; memory
    // refused raises code 1.
    void OpenStreams(ChunkOutput& out, FILE** text, FILE** structure);
    // Closes the chunk's streams; a write that memory refused raises code 1, so that a text cut
    // short is never committed.
    static void CloseStreams(ChunkOutput& out);
    // Commits every chunk that is now next in order, c's streams closed.
    void Done(const Chunk& c);
    // Drops what the chunk wrote and hands it out again.
    void GiveBack(const Chunk& c);
    // A worker's exception: the others stop taking chunks; Rethrow raises it after the join.
    void Fail(std::exception_ptr e);
    void Rethrow();

    std::atomic<int64_t> done{0};  // subsets evaluated (those skipped included), for the progress line

private:
    Chunk Describe(int64_t index) const;
    // The subsets of size k the chunks cover, after those skipped.
    int64_t Subsets(int k) const;
    void Commit(int64_t index);

    const Enumeration& en_;
    Search& search_;
    int groups_;
    FILE* f_;
    FILE* fs_;
    std::function<void(int)> sizeDone_;
    std::vector<int64_t> firstChunk_;  // per size k, the index of its first chunk (kMax + 2 entries)
    std::vector<int> chunkSize_;       // per size k
    int64_t skip_;
    int64_t chunks_ = 0, next_ = 0, committed_ = 0;
    int taken_ = 0;                 // chunks being evaluated
    std::vector<int64_t> givenBack_;
    int window_;
    std::vector<ChunkOutput> outputs_;
    Cursor commitCursor_;
    std::mutex lock_;
    std::condition_variable moved_;
    bool stop_ = false;
    std::exception_ptr failure_;
};

// Whether the exception is memory refused: code 1, or bad_alloc.
bool MemoryRefused(std::exception_ptr e);

// Evaluates every subset of the enumeration and records it in `search`, as one thread does in
// the enumeration's order: value = eval(work, traits, k, changedFrom, text, structure), with
// `groups` types. `lines` and `fs` receive what the subsets write (nullptr: nothing); eval gets
// them on one thread and a chunk's memory streams otherwise. sizeDone(k) follows the last subset
// of size k. make() makes a worker's work space.
//
// The calling thread makes its space and evaluates the first subset before any other worker
// starts, so that it holds what it needs, its BLAS work buffer included when the criterion calls
// the library (taken there rather than beforehand: a search that never calls it would hold
// 128 MiB for nothing). The count of workers then follows from what its space took, whether it
// took a buffer, and what each worker's chunks hold in the queue, the text the first subset wrote
// included (WorkerThreads). Each further worker makes its space on its own thread; one
// that memory refuses, there or in the middle of a chunk (a BLAS buffer, a chunk's text), gives
// its chunk back and leaves its share to the others; the calling thread refused ends the search
// with code 1. The calling thread alone prints the progress line.
template <class Work, class Make, class Eval, class SizeDone>
void EvaluateSubsets(Enumeration& en, Search& search, int groups, Progress& progress, FILE* lines, FILE* fs,
                     Make&& make, Eval&& eval, SizeDone&& sizeDone) {
    std::unique_ptr<Work> first;
    const WorkerCost space = MeasureSpace([&] { first = make(); });
    int64_t done = 0;  // 1 once the first subset is evaluated
    size_t text = 0;   // what it wrote
    if (en.Total() > 0) {
        Cursor cursor(en.Eligible());
        cursor.Seek(en.KMin(), 0);
        progress.Step(en.KMin());
        const long linesAt = lines ? std::ftell(lines) : 0, structureAt = fs ? std::ftell(fs) : 0;
        search.Record(en.KMin(), eval(*first, cursor.Traits(), en.KMin(), 0, lines, fs), groups, cursor.Traits());
        if (lines && linesAt >= 0) text += static_cast<size_t>(std::max(std::ftell(lines) - linesAt, 0L));
        if (fs && structureAt >= 0) text += static_cast<size_t>(std::max(std::ftell(fs) - structureAt, 0L));
        done = 1;
    }
    // A chunk writing the structure file holds one subset; the intermediate lines are short.
    const int cap = fs ? 1 : lines ? 256 : 4096;
    const int threads =
        WorkerThreads(space, HoldsBlasBuffer(), en.Total() - done, ChunkQueue::BytesPerWorker(cap, text));
    if (threads <= 1) {
        bool skip = done > 0;  // the first subset, evaluated above
        en.Run(
            [&](const int* traits, int k, int changed) {
                if (skip) {
                    skip = false;
                    return;
                }
                progress.Step(k);
                const double value = eval(*first, traits, k, changed, lines, fs);
                search.Record(k, value, groups, traits);
            },
            sizeDone);
        return;
    }
    // More than one subset: the first one's size holds others too (only the size of every
    // eligible trait holds one subset, and no size follows it), so the queue writes its line.
    ChunkQueue queue(en, threads, cap, search, groups, lines, fs, [&](int k) { sizeDone(k); }, done);
    std::vector<std::unique_ptr<Work>> works(threads);
    std::vector<std::unique_ptr<Cursor>> cursors(threads);
    works[0] = std::move(first);
    cursors[0] = std::make_unique<Cursor>(en.Eligible());
    auto loop = [&](int w) {
        Chunk c;
        bool evaluating = false;
        try {
            if (w > 0 && !MakeWorkerSpace(w, [&] {
                    works[w] = make();
                    cursors[w] = std::make_unique<Cursor>(en.Eligible());
                })) {
                works[w].reset();
                return;
            }
            Work& work = *works[w];
            Cursor& cursor = *cursors[w];
            while (queue.Take(&c)) {
                evaluating = true;
                ChunkOutput& out = queue.Output(c);
                FILE *text = nullptr, *structure = nullptr;
                queue.OpenStreams(out, &text, &structure);
                cursor.Seek(c.k, c.first);
                for (int i = 0; i < c.count; i++) {
                    if (i > 0) cursor.Next();
                    out.values[i] = eval(work, cursor.Traits(), c.k, cursor.Changed(), text, structure);
                    if (w == 0) progress.At(queue.done.load(std::memory_order_relaxed) + i + 1, c.k);
                }
                // Still the worker's chunk: a text that memory cut short is given back.
                ChunkQueue::CloseStreams(out);
                // Counted per chunk, so that the workers rarely touch the shared count.
                queue.done.fetch_add(c.count, std::memory_order_relaxed);
                evaluating = false;
                queue.Done(c);
            }
        } catch (...) {
            // A failed search leaves its chunks' streams to the queue, which frees them.
            if (w > 0 && evaluating && MemoryRefused(std::current_exception())) {
                queue.GiveBack(c);
                works[w].reset();
            } else {
                queue.Fail(std::current_exception());
            }
        }
    };
    std::vector<std::thread> pool;
    for (int w = 1; w < threads; w++)
        if (!StartWorker(pool, [&loop, w] { loop(w); })) break;
    loop(0);
    for (std::thread& t : pool) t.join();
    queue.Rethrow();
    progress.At(en.Total(), en.KMax());
}

}  // namespace chrank

#endif
