// The registry of temporary files and the handlers of the signals that end the program.
#include "foundation/TemporaryFiles.h"

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

// A slot is free; being filled by the thread that claimed it (its path not yet readable); holding
// a registered path; or taken by a handler, which removed its file. A taken slot is never freed
// again: only an ending process takes slots, and the owner's late release must not free a slot
// that another file has claimed since.
enum SlotState : int { kFree, kFilling, kHeld, kTaken };

struct Slot {
    std::atomic<int> state{kFree};
    pid_t owner = 0;  // written before the slot is published (kHeld), read after
    char path[kTemporaryPathMax];
};

static_assert(std::atomic<int>::is_always_lock_free, "the handlers need lock-free slot states");

Slot slots[kTemporarySlots];

// A handler that meets a slot being filled waits for it this many times one millisecond at most:
// the thread filling it holds the signals back only for one mkstemp.
constexpr int kWaitRounds = 1000;

void EndingSet(sigset_t* set) {
    sigemptyset(set);
    for (int sig : kEndingSignals) sigaddset(set, sig);
}

// Claims a free slot for the calling thread; -1 when none is free.
int Claim() {
    for (int i = 0; i < kTemporarySlots; i++) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) return i;
    }
    return -1;
}

void Publish(int i) {
    slots[i].owner = getpid();
    slots[i].state.store(kHeld, std::memory_order_release);
}

void EndOnSignal(int sig) {
    const int saved = errno;
    RemoveTemporaries();
    // The default action, and the signal raised again with this thread no longer holding it back:
    // the program ends as the signal would have ended it.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(sig, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, sig);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(sig);
    errno = saved;
}

void RemoveAtExit() { RemoveTemporaries(); }

}  // namespace

int CreateTemporary(std::string& pattern, int* slot) {
    *slot = -1;
    if (pattern.size() >= static_cast<size_t>(kTemporaryPathMax)) return mkstemp(pattern.data());
    EndingSignalsHeld held;
    const int i = Claim();
    if (i < 0) return mkstemp(pattern.data());
    char* name = slots[i].path;
    std::memcpy(name, pattern.c_str(), pattern.size() + 1);
    const int fd = mkstemp(name);
    if (fd < 0) {
        const int error = errno;
        slots[i].state.store(kFree, std::memory_order_release);
        errno = error;
        return -1;
    }
    std::memcpy(pattern.data(), name, pattern.size());
    Publish(i);
    *slot = i;
    return fd;
}

int RegisterTemporary(const char* path) {
    const size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(kTemporaryPathMax)) return -1;
    EndingSignalsHeld held;
    const int i = Claim();
    if (i < 0) return -1;
    std::memcpy(slots[i].path, path, length + 1);
    Publish(i);
    return i;
}

void ReleaseTemporary(int slot) {
    if (slot < 0 || slot >= kTemporarySlots) return;
    int expected = kHeld;
    slots[slot].state.compare_exchange_strong(expected, kFree, std::memory_order_release);
}

int RemoveTemporaries() {
    const pid_t self = getpid();
    int removed = 0;
    for (int round = 0; round < kWaitRounds; round++) {
        bool filling = false;
        for (Slot& s : slots) {
            int expected = kHeld;
            if (!s.state.compare_exchange_strong(expected, kTaken, std::memory_order_acq_rel)) {
                if (expected == kFilling) filling = true;
                continue;
            }
            if (s.owner != self) {
                // A parent's file, seen by a child made by fork: not this process's to remove.
                s.state.store(kHeld, std::memory_order_release);
                continue;
            }
            if (unlink(s.path) == 0) removed++;
        }
        if (!filling) break;
        const timespec millisecond{0, 1000000};
        nanosleep(&millisecond, nullptr);
    }
    return removed;
}

void InstallTemporaryCleanup() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    struct sigaction action {};
    action.sa_handler = EndOnSignal;
    // While one handler runs on a thread, the other ending signals wait on that thread.
    EndingSet(&action.sa_mask);
    for (int sig : kEndingSignals) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
    std::atexit(RemoveAtExit);
}

EndingSignalsHeld::EndingSignalsHeld() {
    sigset_t ending;
    EndingSet(&ending);
    pthread_sigmask(SIG_BLOCK, &ending, &saved_);
}

EndingSignalsHeld::~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
