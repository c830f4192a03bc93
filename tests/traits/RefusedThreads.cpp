// The test program's pthread_create stands in front of the system's (a definition in the program
// precedes the libraries' in the dynamic linker's search) and refuses starts while a
// RefusedThreads asks it to, and lowers the address-space limit at the first start while a
// LimitAtFirstStart asks it to; otherwise it passes every start on.
#include "traits/RefusedThreads.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "foundation/TnxThreads.h"

namespace {

std::atomic<bool> armed{false};
std::atomic<int> allowedLeft{0};
std::atomic<int> refused{0};
std::atomic<unsigned long> headroomAtStart{0};  // 0: the limit stays

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
