// Preloaded into the built program (LD_PRELOAD) by the tests of interrupted runs: before the
// program renames a file whose name holds the text TNXTEST_SIGNAL_ON, it raises the signal
// numbered TNXTEST_SIGNAL_IN_COMMIT on the renaming thread, as an interrupt that arrives inside
// the commit, once every byte is written and before the file is put in place. A thread that holds
// the signal back meets it when it lets it through.
#include <dlfcn.h>
#include <signal.h>

#include <cstdlib>
#include <cstring>

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const Rename next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    const char* signal = std::getenv("TNXTEST_SIGNAL_IN_COMMIT");
    const char* on = std::getenv("TNXTEST_SIGNAL_ON");
    if (signal && on && std::strstr(from, on)) raise(std::atoi(signal));
    return next(from, to);
}
