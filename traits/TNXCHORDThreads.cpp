// The trait-subset searches on several threads: the cursor that starts a worker anywhere in the
// lexicographic order, and the queue of chunks with its commits in order.
#include "traits/TNXCHORDThreads.h"

#include <algorithm>
#include <new>

#include "foundation/TnxError.h"
#include "matrix/core/qwlibPermut.h"

namespace chrank {

// ----------------------------------------------------------------------- cursor

Cursor::Cursor(const std::vector<int>& eligible)
    : eligible_(eligible), m_(static_cast<int>(eligible.size())), index_(std::max(m_, 1)), traits_(std::max(m_, 1)) {}

void Cursor::Seek(int k, int64_t rank) {
    k_ = k;
    // Position i takes the smallest trait x whose block of subsets (those that go on with k - i - 1
    // of the traits after x) holds the rank; the ranks of the blocks passed over are dropped.
    int x = 0;
    for (int i = 0; i < k; i++) {
        for (;; x++) {
            const int64_t block = BinomialCount(m_ - x - 1, k - i - 1);
            if (rank < block) break;
            rank -= block;
        }
        index_[i] = x++;
        traits_[i] = eligible_[index_[i]];
    }
    changed_ = 0;
}

void Cursor::Next() {
    // As PermuteArray: the rightmost index below its largest value moves up by one and those
    // after it follow on consecutively.
    int i = k_ - 1;
    while (i >= 0 && index_[i] == m_ - k_ + i) i--;
    if (i < 0) return;
    index_[i]++;
    for (int j = i + 1; j < k_; j++) index_[j] = index_[j - 1] + 1;
    for (int j = i; j < k_; j++) traits_[j] = eligible_[index_[j]];
    changed_ = i;
}

// ----------------------------------------------------------------------- chunk queue

ChunkQueue::ChunkQueue(const Enumeration& en, int workers, int cap, Search& search, int groups, FILE* f, FILE* fs,
                       std::function<void(int)> sizeDone, int64_t skip)
    : done(skip), en_(en), search_(search), groups_(groups), f_(f), fs_(fs),
      sizeDone_(std::move(sizeDone)), firstChunk_(en.KMax() + 2, 0), chunkSize_(en.KMax() + 1, 1),
      skip_(skip), window_(4 * std::max(workers, 1)), outputs_(window_), commitCursor_(en.Eligible()) {
    // About sixteen chunks per worker and size, so that the threads finish together.
    const int64_t share = 16 * static_cast<int64_t>(std::max(workers, 1));
    for (int k = 0; k <= en.KMax(); k++) {
        firstChunk_[k + 1] = firstChunk_[k];
        if (k < en.KMin()) continue;
        const int64_t subsets = Subsets(k);
        const int64_t size = std::min<int64_t>(std::max<int64_t>((subsets + share - 1) / share, 1), cap);
        chunkSize_[k] = static_cast<int>(size);
        firstChunk_[k + 1] += (subsets + size - 1) / size;
    }
    chunks_ = firstChunk_[en.KMax() + 1];
    for (ChunkOutput& out : outputs_) out.values.resize(cap);
}

size_t ChunkQueue::BytesPerWorker(int cap, size_t textPerSubset) {
    const size_t text = textPerSubset > 0 ? 2 * textPerSubset + 256 : 0;
    return 4 * static_cast<size_t>(cap) * (sizeof(double) + text);
}

Chunk ChunkQueue::Describe(int64_t index) const {
    Chunk c;
    c.index = index;
    c.k = en_.KMin();
    while (index >= firstChunk_[c.k + 1]) c.k++;
    const int size = chunkSize_[c.k];
    const int64_t skipped = c.k == en_.KMin() ? skip_ : 0;
    c.first = skipped + (index - firstChunk_[c.k]) * size;
    c.count = static_cast<int>(std::min<int64_t>(size, skipped + Subsets(c.k) - c.first));
    return c;
}

int64_t ChunkQueue::Subsets(int k) const {
    return BinomialCount(static_cast<int>(en_.Eligible().size()), k) - (k == en_.KMin() ? skip_ : 0);
}

bool ChunkQueue::Take(Chunk* c) {
    std::unique_lock<std::mutex> hold(lock_);
    moved_.wait(hold, [&] {
        return stop_ || !givenBack_.empty() || (next_ < chunks_ && next_ < committed_ + window_) ||
               (next_ >= chunks_ && taken_ == 0);
    });
    if (stop_) return false;
    if (!givenBack_.empty()) {
        *c = Describe(givenBack_.back());
        givenBack_.pop_back();
    } else if (next_ < chunks_) {
        *c = Describe(next_++);
    } else {
        return false;
    }
    taken_++;
    return true;
}

void ChunkQueue::OpenStreams(ChunkOutput& out, FILE** text, FILE** structure) {
    *text = f_ ? out.text.OpenOrRaise() : nullptr;
    *structure = fs_ ? out.structure.OpenOrRaise() : nullptr;
}

void ChunkQueue::CloseStreams(ChunkOutput& out) {
    // Closing leaves the text in the chunk's output; a stream never opened stays empty.
    out.text.CloseOrRaise();
    out.structure.CloseOrRaise();
}

void ChunkQueue::Done(const Chunk& c) {
    std::lock_guard<std::mutex> hold(lock_);
    taken_--;
    Output(c).ready = true;
    while (committed_ < chunks_ && outputs_[committed_ % window_].ready) {
        Commit(committed_);
        outputs_[committed_ % window_].ready = false;
        committed_++;
    }
    moved_.notify_all();
}

void ChunkQueue::Commit(int64_t index) {
    const Chunk c = Describe(index);
    ChunkOutput& out = outputs_[index % window_];
    commitCursor_.Seek(c.k, c.first);
    for (int i = 0; i < c.count; i++) {
        if (i > 0) commitCursor_.Next();
        search_.Record(c.k, out.values[i], groups_, commitCursor_.Traits());
    }
    // A failed write to the files sets their error flag, which their commit checks.
    if (f_) std::fwrite(out.text.data(), 1, out.text.size(), f_);
    if (fs_) std::fwrite(out.structure.data(), 1, out.structure.size(), fs_);
    out.text.Drop();
    out.structure.Drop();
    if (index == firstChunk_[c.k + 1] - 1) sizeDone_(c.k);
}

void ChunkQueue::GiveBack(const Chunk& c) {
    std::lock_guard<std::mutex> hold(lock_);
    ChunkOutput& out = Output(c);
    out.text.Drop();
    out.structure.Drop();
    taken_--;
    givenBack_.push_back(c.index);
    moved_.notify_all();
}

void ChunkQueue::Fail(std::exception_ptr e) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!failure_) failure_ = e;
    stop_ = true;
    moved_.notify_all();
}

void ChunkQueue::Rethrow() {
    if (failure_) std::rethrow_exception(failure_);
}

bool MemoryRefused(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const TnxError& error) {
        return error.code() == TNX_OUT_OF_MEMORY;
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace chrank
