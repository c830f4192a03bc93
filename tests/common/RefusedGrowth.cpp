// The test programs' own realloc stands in front of the allocator's (a definition in the program,
// or in a preloaded library, precedes the others in the dynamic linker's search): beyond the bound
// it refuses, and otherwise passes every call on.
#include "common/RefusedGrowth.h"

#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using Realloc = void* (*)(void*, size_t);

Realloc NextRealloc() {
    static const Realloc next = reinterpret_cast<Realloc>(dlsym(RTLD_NEXT, "realloc"));
    if (!next) {
        std::fputs("realloc: no definition after the test program's\n", stderr);
        std::abort();
    }
    return next;
}

std::atomic<size_t> bound{SIZE_MAX};  // SIZE_MAX: none refused
std::atomic<long> refused{0};

// A preloaded library's bound, read when its initialisers run, before the program's own code:
// a realloc before then refuses nothing.
const bool boundRead = [] {
    const char* text = std::getenv("TNXTEST_REFUSE_GROWTH_ABOVE");
    const unsigned long long read = text && *text ? std::strtoull(text, nullptr, 10) : 0;
    if (read > 0) bound = static_cast<size_t>(read);
    return true;
}();

}  // namespace

extern "C" void* realloc(void* block, size_t size) {
    if (size > bound.load(std::memory_order_relaxed)) {
        refused.fetch_add(1, std::memory_order_relaxed);
        errno = ENOMEM;
        return nullptr;
    }
    return NextRealloc()(block, size);
}

RefusedGrowth::RefusedGrowth(size_t limit) : previous_(bound.load()), refusedBefore_(refused.load()) {
    NextRealloc();
    bound = limit;
}

RefusedGrowth::~RefusedGrowth() { bound = previous_; }

long RefusedGrowth::Refused() const { return refused.load() - refusedBefore_; }
