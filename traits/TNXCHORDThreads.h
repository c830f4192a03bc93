// The subsets of one trait-subset search shared among worker threads: chunks of consecutive
// subsets of one size are handed out in order, each evaluated on its worker's own work space,
// and committed in order (per-size records, top lists, the text each chunk wrote), so that the
// files are those one thread writes, ties included.
#ifndef TNXCHORDTHREADS_H
#define TNXCHORDTHREADS_H

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
// the result file and the structure file (memory streams, released at the commit).
struct ChunkOutput {
    std::vector<double> values;
    char* text = nullptr;
    size_t textSize = 0;
    char* structure = nullptr;
    size_t structureSize = 0;
    bool ready = false;
};

// The chunks of a search and their commits. Chunks are taken in order; a chunk is committed
// when every chunk before it has been, by the thread that finished last, under one lock: its
// values are recorded as one thread records them, its text is appended to the files, and after
// the last chunk of a size `sizeDone(k)` writes that size's line. At most four chunks per worker
// are taken beyond the oldest one not yet committed, so the buffered text stays bounded.
class ChunkQueue {
public:
    // cap: the most subsets in a chunk; f, fs: where the chunks' text goes (nullptr: they write
    // none there).
    ChunkQueue(const Enumeration& en, int workers, int cap, Search& search, int groups, FILE* f, FILE* fs,
               std::function<void(int)> sizeDone);
    ~ChunkQueue();
    ChunkQueue(const ChunkQueue&) = delete;
    ChunkQueue& operator=(const ChunkQueue&) = delete;

    // The next chunk, waiting while the window is full; false when none is left or a worker failed.
    bool Take(Chunk* c);
    ChunkOutput& Output(const Chunk& c) { return outputs_[c.index % window_]; }
    // The streams a chunk writes to (nullptr where nothing is written), opened afresh.
    void OpenStreams(ChunkOutput& out, FILE** text, FILE** structure);
    // Closes the chunk's streams and commits every chunk that is now next in order.
    void Done(const Chunk& c, FILE* text, FILE* structure);
    // A worker's exception: the others stop taking chunks; Rethrow raises it after the join.
    void Fail(std::exception_ptr e);
    void Rethrow();

    std::atomic<int64_t> done{0};  // subsets of the chunks evaluated, for the progress line

private:
    Chunk Describe(int64_t index) const;
    void Commit(int64_t index);

    const Enumeration& en_;
    Search& search_;
    int groups_;
    FILE* f_;
    FILE* fs_;
    std::function<void(int)> sizeDone_;
    std::vector<int64_t> firstChunk_;  // per size k, the index of its first chunk (kMax + 2 entries)
    std::vector<int> chunkSize_;       // per size k
    int64_t chunks_ = 0, next_ = 0, committed_ = 0;
    int window_;
    std::vector<ChunkOutput> outputs_;
    Cursor commitCursor_;
    std::mutex lock_;
    std::condition_variable moved_;
    bool stop_ = false;
    std::exception_ptr failure_;
};

// Evaluates every subset of the enumeration and records it in `search`, as one thread does in
// the enumeration's order: value = eval(work, traits, k, changedFrom, text, structure), with
// `groups` types. `lines` and `fs` receive what the subsets write (nullptr: nothing); eval gets
// them on one thread and a chunk's memory streams otherwise. sizeDone(k) follows the last subset
// of size k. Every work space is made by make() before any thread starts; with more than one
// thread the calling thread works too and alone prints the progress line.
template <class Work, class Make, class Eval, class SizeDone>
void EvaluateSubsets(Enumeration& en, Search& search, int groups, Progress& progress, FILE* lines, FILE* fs,
                     Make&& make, Eval&& eval, SizeDone&& sizeDone) {
    const int threads = WorkerThreads();
    if (threads <= 1) {
        std::unique_ptr<Work> work = make();
        en.Run(
            [&](const int* traits, int k, int changed) {
                progress.Step(k);
                const double value = eval(*work, traits, k, changed, lines, fs);
                search.Record(k, value, groups, traits);
            },
            sizeDone);
        return;
    }
    // A chunk writing the structure file holds one subset; the intermediate lines are short.
    const int cap = fs ? 1 : lines ? 256 : 4096;
    ChunkQueue queue(en, threads, cap, search, groups, lines, fs,
                     [&](int k) { sizeDone(k); });
    std::vector<std::unique_ptr<Work>> works;
    std::vector<std::unique_ptr<Cursor>> cursors;
    for (int w = 0; w < threads; w++) {
        const bool made = MakeWorkerSpace(w, [&] {
            works.push_back(make());
            cursors.push_back(std::make_unique<Cursor>(en.Eligible()));
        });
        if (!made) break;
    }
    works.resize(cursors.size());
    auto loop = [&](int w) {
        try {
            Work& work = *works[w];
            Cursor& cursor = *cursors[w];
            Chunk c;
            while (queue.Take(&c)) {
                ChunkOutput& out = queue.Output(c);
                FILE *text = nullptr, *structure = nullptr;
                queue.OpenStreams(out, &text, &structure);
                cursor.Seek(c.k, c.first);
                for (int i = 0; i < c.count; i++) {
                    if (i > 0) cursor.Next();
                    out.values[i] = eval(work, cursor.Traits(), c.k, cursor.Changed(), text, structure);
                    if (w == 0) progress.At(queue.done.load(std::memory_order_relaxed) + i + 1, c.k);
                }
                // Counted per chunk, so that the workers rarely touch the shared count.
                queue.done.fetch_add(c.count, std::memory_order_relaxed);
                queue.Done(c, text, structure);
            }
        } catch (...) {
            queue.Fail(std::current_exception());
        }
    };
    std::vector<std::thread> pool;
    for (int w = 1; w < static_cast<int>(works.size()); w++)
        if (!StartWorker(pool, [&loop, w] { loop(w); })) break;
    loop(0);
    for (std::thread& t : pool) t.join();
    queue.Rethrow();
    progress.At(en.Total(), en.KMax());
}

}  // namespace chrank

#endif
