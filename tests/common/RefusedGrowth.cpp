// The test programs' own realloc stands in front of the allocator's (a definition in the program,
// or in a preloaded library, precedes the others in the dynamic linker's search): beyond the bound
// it refuses, and otherwise passes every call on. It and what it calls are free of the thread
// sanitizer's instrumentation, and reach the shared values through the compiler's atomic builtins
// rather than std::atomic's members (calls of their own): the sanitizer calls realloc while it sets
// up a thread, before it could follow that thread's calls.
#include "common/RefusedGrowth.h"

#include <dlfcn.h>
#include <link.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

using Realloc = void* (*)(void*, size_t);

Realloc next = nullptr;
size_t bound = SIZE_MAX;  // SIZE_MAX: none refused
long refused = 0;

// The place in the dynamic linker's search order (load order) of the object that holds f.
__attribute__((no_sanitize("thread"))) int LoadPosition(void* f) {
    Dl_info info{};
    if (!f || !dladdr(f, &info) || !info.dli_fname) return INT_MAX;
    struct Find {
        const char* name;
        int count, at;
    } find{info.dli_fname, 0, INT_MAX};
    dl_iterate_phdr(
        [](dl_phdr_info* object, size_t, void* data) {
            Find& s = *static_cast<Find*>(data);
            if (s.at == INT_MAX && object->dlpi_name && std::strcmp(object->dlpi_name, s.name) == 0) s.at = s.count;
            s.count++;
            return 0;
        },
        &find);
    return find.at;
}

// The realloc that follows the program's: of the definitions after it, the one in the object the
// dynamic linker meets first. A debugging allocator linked into a test program (libc_malloc_debug,
// for MALLOC_CHECK_) defines it only under the symbol version of the platform's first C library,
// which the unversioned lookup passes over for the C library's own, so each version is asked for
// too (x86-64, then AArch64 and PowerPC, then 32-bit x86); a sanitizer's runtime defines it
// unversioned, before the C library. Blocks made by one allocator are never grown by another.
__attribute__((no_sanitize("thread"))) Realloc Following() {
    void* best = dlsym(RTLD_NEXT, "realloc");
    int bestAt = LoadPosition(best);
    for (const char* version : {"GLIBC_2.2.5", "GLIBC_2.17", "GLIBC_2.0"}) {
        void* f = dlvsym(RTLD_NEXT, "realloc", version);
        const int at = LoadPosition(f);
        if (f && at < bestAt) best = f, bestAt = at;
    }
    return reinterpret_cast<Realloc>(best);
}

__attribute__((no_sanitize("thread"))) Realloc NextRealloc() {
    Realloc found = __atomic_load_n(&next, __ATOMIC_RELAXED);
    if (!found) {
        found = Following();
        if (!found) {
            std::fputs("realloc: no definition after the test program's\n", stderr);
            std::abort();
        }
        __atomic_store_n(&next, found, __ATOMIC_RELAXED);
    }
    return found;
}

// A preloaded library's bound, read when its initialisers run, before the program's own code:
// a realloc before then refuses nothing.
const bool boundRead = [] {
    const char* text = std::getenv("TNXTEST_REFUSE_GROWTH_ABOVE");
    const unsigned long long read = text && *text ? std::strtoull(text, nullptr, 10) : 0;
    if (read > 0) __atomic_store_n(&bound, static_cast<size_t>(read), __ATOMIC_RELAXED);
    return true;
}();

}  // namespace

extern "C" __attribute__((no_sanitize("thread"))) void* realloc(void* block, size_t size) {
    if (size > __atomic_load_n(&bound, __ATOMIC_RELAXED)) {
        __atomic_fetch_add(&refused, 1, __ATOMIC_RELAXED);
        errno = ENOMEM;
        return nullptr;
    }
    return NextRealloc()(block, size);
}

RefusedGrowth::RefusedGrowth(size_t limit)
    : previous_(__atomic_load_n(&bound, __ATOMIC_SEQ_CST)), refusedBefore_(__atomic_load_n(&refused, __ATOMIC_SEQ_CST)) {
    NextRealloc();
    __atomic_store_n(&bound, limit, __ATOMIC_SEQ_CST);
}

RefusedGrowth::~RefusedGrowth() { __atomic_store_n(&bound, previous_, __ATOMIC_SEQ_CST); }

long RefusedGrowth::Refused() const { return __atomic_load_n(&refused, __ATOMIC_SEQ_CST) - refusedBefore_; }
