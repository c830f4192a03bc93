// The test programs' own sched_getaffinity stands in front of the system's (a definition in the
// program precedes the libraries' in the dynamic linker's search): while a ClaimedCpus lives it
// answers for the calling process with the claimed CPUs, and otherwise passes every call on.
#include "common/ClaimedCpus.h"

#include <dlfcn.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<int> claimed{0};  // 0: none claimed

using GetAffinity = int (*)(pid_t, size_t, cpu_set_t*);

GetAffinity NextGetAffinity() {
    static const GetAffinity next = reinterpret_cast<GetAffinity>(dlsym(RTLD_NEXT, "sched_getaffinity"));
    if (!next) {
        std::fputs("sched_getaffinity: no definition after the test program's\n", stderr);
        std::abort();
    }
    return next;
}

}  // namespace

extern "C" int sched_getaffinity(pid_t pid, size_t size, cpu_set_t* set) {
    const int count = claimed.load();
    if (count == 0 || (pid != 0 && pid != getpid())) return NextGetAffinity()(pid, size, set);
    if (static_cast<size_t>(count) > size * 8) {
        errno = EINVAL;
        return -1;
    }
    CPU_ZERO_S(size, set);
    for (int cpu = 0; cpu < count; cpu++) CPU_SET_S(cpu, size, set);
    return 0;
}

ClaimedCpus::ClaimedCpus(int count) : previous_(claimed.load()) {
    NextGetAffinity();
    claimed = count;
}

ClaimedCpus::~ClaimedCpus() { claimed = previous_; }
