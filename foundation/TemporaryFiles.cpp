// The registry of temporary files and the handlers of the signals that end the program.
#include "foundation/TemporaryFiles.h"

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ, SIGPIPE, SIGQUIT};

// A slot is free; being filled (inside a step that holds the signals back); holding a registered
// path; taken by an ending process whose thread is unlinking its file; or removed. A slot taken
// is never freed again, so that the owner's late release cannot free a slot another file has
// claimed since.
enum SlotState : int { kFree, kFilling, kHeld, kRemoving, kRemoved };

struct Slot {
    std::atomic<int> state{kFree};
    pid_t owner = 0;  // written before the slot holds its path, read after
    char path[kTemporaryPathMax];
};

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<RemovalHook>::is_always_lock_free,
              "the handlers read lock-free atomics only");

Slot slots[kTemporarySlots];

// The steps under way that hold the signals back, and whether a handler has begun: each side
// writes its own and then reads the other's (sequentially consistent), so either the step sees
// the handler and does not start, or the handler sees the step and waits for it.
std::atomic<int> heldSteps{0};
std::atomic<bool> ending{false};

std::atomic<RemovalHook> removalHook{nullptr};

// How long a handler waits for the held steps, and for the removals of another thread: this many
// rounds of one millisecond each.
constexpr int kWaitRounds = 2000;

// One round of a handler's wait. poll() with no descriptor is a sleep that POSIX lists among the
// calls a signal handler may make (nanosleep and sched_yield are not).
void WaitOneRound() { poll(nullptr, 0, 1); }

void EndingSet(sigset_t* set) {
    sigemptyset(set);
    for (int sig : kEndingSignals) sigaddset(set, sig);
}

void Hook(RemovalPoint point, int slot) {
    if (RemovalHook hook = removalHook.load()) hook(point, slot);
}

// Whether a file of this process is being unlinked by another thread.
bool RemovalUnderWay(pid_t self) {
    for (const Slot& s : slots)
        if (s.state.load() == kRemoving && s.owner == self) return true;
    return false;
}

void EndOnSignal(int sig) {
    const int saved = errno;
    ending.store(true);
    for (int round = 0; round < kWaitRounds && heldSteps.load() > 0; round++) WaitOneRound();
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

EndingSignalsHeld::EndingSignalsHeld() {
    sigset_t held;
    EndingSet(&held);
    pthread_sigmask(SIG_BLOCK, &held, &saved_);
    heldSteps.fetch_add(1);
    if (ending.load()) {
        // A handler is removing the files and ending the program: nothing more is made.
        heldSteps.fetch_sub(1);
        for (;;) pause();
    }
}

EndingSignalsHeld::~EndingSignalsHeld() {
    heldSteps.fetch_sub(1);
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

bool EndingSignalCame() {
    if (ending.load()) return true;
    sigset_t pending;
    if (sigpending(&pending) != 0) return false;
    for (int sig : kEndingSignals) {
        if (sigismember(&pending, sig) != 1) continue;
        // A signal held back stays pending even where it is ignored (the program was started
        // under nohup, or as a background job): it ends nothing, and is dropped once let through.
        struct sigaction action {};
        if (sigaction(sig, nullptr, &action) == 0 && action.sa_handler == SIG_IGN) continue;
        return true;
    }
    return false;
}

int RegisterTemporary(const char* path) {
    const size_t length = std::strlen(path);
    if (length >= static_cast<size_t>(kTemporaryPathMax)) return -1;
    for (int i = 0; i < kTemporarySlots; i++) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slots[i].path, path, length + 1);
        slots[i].owner = getpid();
        slots[i].state.store(kHeld);
        return i;
    }
    return -1;
}

void ReleaseTemporary(int slot) {
    if (slot < 0 || slot >= kTemporarySlots) return;
    int expected = kHeld;
    slots[slot].state.compare_exchange_strong(expected, kFree);
}

int RemoveTemporaries() {
    const pid_t self = getpid();
    int removed = 0;
    for (int i = 0; i < kTemporarySlots; i++) {
        Slot& s = slots[i];
        int expected = kHeld;
        if (!s.state.compare_exchange_strong(expected, kRemoving)) continue;
        if (s.owner != self) {
            // A parent's file, seen by a child made by fork: not this process's to remove.
            s.state.store(kHeld);
            continue;
        }
        Hook(RemovalPoint::kTaken, i);
        if (unlink(s.path) == 0) removed++;
        s.state.store(kRemoved);
    }
    // A slot another thread took before this one came to it is its file only once that thread has
    // unlinked it: the process may end as soon as this call returns.
    for (int round = 0; round < kWaitRounds && RemovalUnderWay(self); round++) {
        Hook(RemovalPoint::kWaiting, -1);
        WaitOneRound();
    }
    return removed;
}

void SetRemovalHook(RemovalHook hook) { removalHook.store(hook); }

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
