// The test program's pthread_create stands in front of the system's (a definition in the program
// precedes the libraries' in the dynamic linker's search) and refuses starts while a
// RefusedThreads asks it to, lowers the address-space limit at the first start while a
// LimitAtFirstStart asks it to, and holds the first start until the thread has ended while a
// HeldAtFirstStart asks it to; otherwise it passes every start on.
#include "traits/RefusedThreads.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <utility>

#include "foundation/TnxThreads.h"

namespace {

std::atomic<bool> armed{false};
std::atomic<int> allowedLeft{0};
std::atomic<int> refused{0};
std::atomic<unsigned long> headroomAtStart{0};  // 0: the limit stays

// The held start: armed by a HeldAtFirstStart, taken by the first start, ended when its routine
// has returned.
std::atomic<bool> holdArmed{false};
std::mutex holdLock;
std::condition_variable holdEnded;
bool routineReturned = false, held = false;
std::function<void()> afterHold;

struct HeldRoutine {
    void* (*start)(void*);
    void* arg;
};

void* RunThenSignal(void* p) {
    const HeldRoutine routine = *static_cast<HeldRoutine*>(p);
    delete static_cast<HeldRoutine*>(p);
    void* result = routine.start(routine.arg);
    {
        std::lock_guard<std::mutex> lock(holdLock);
        routineReturned = true;
    }
    holdEnded.notify_all();
    return result;
}

using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

Create NextCreate() {
    static const Create next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (!next) {
        std::fputs("pthread_create: no definition after the test program's\n", stderr);
        std::abort();
    }
    return next;
}

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    if (const unsigned long headroom = headroomAtStart.exchange(0)) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = rlim_t(AddressSpaceInUse() + headroom);
        setrlimit(RLIMIT_AS, &limit);
    }
    if (armed.load() && allowedLeft.fetch_sub(1) <= 0) {
        refused.fetch_add(1);
        return EAGAIN;
    }
    if (holdArmed.exchange(false)) {
        auto* routine = new HeldRoutine{start, arg};
        const int made = NextCreate()(thread, attr, RunThenSignal, routine);
        if (made != 0) {
            delete routine;
            return made;
        }
        std::function<void()> then;
        {
            std::unique_lock<std::mutex> lock(holdLock);
            holdEnded.wait(lock, [] { return routineReturned; });
            held = true;
            then = std::move(afterHold);
        }
        if (then) then();
        return 0;
    }
    return NextCreate()(thread, attr, start, arg);
}

RefusedThreads::RefusedThreads(int allowed) {
    NextCreate();
    refused = 0;
    allowedLeft = allowed;
    armed = true;
}

RefusedThreads::~RefusedThreads() { armed = false; }

int RefusedThreads::Refused() const { return refused.load(); }

LimitAtFirstStart::LimitAtFirstStart(unsigned long headroom) {
    NextCreate();
    headroomAtStart = headroom;
}

LimitAtFirstStart::~LimitAtFirstStart() { headroomAtStart = 0; }

HeldAtFirstStart::HeldAtFirstStart(std::function<void()> then) {
    NextCreate();
    std::lock_guard<std::mutex> lock(holdLock);
    routineReturned = held = false;
    afterHold = std::move(then);
    holdArmed = true;
}

HeldAtFirstStart::~HeldAtFirstStart() {
    holdArmed = false;
    std::lock_guard<std::mutex> lock(holdLock);
    afterHold = nullptr;
}

bool HeldAtFirstStart::Started() const {
    std::lock_guard<std::mutex> lock(holdLock);
    return held;
}
