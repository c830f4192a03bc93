// libFuzzer harness of one reader; FUZZ_ENTRY names the entry point of FuzzTargets.h it drives.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every file the readers touch lives in a scratch directory of its own.
    std::string dir = "/tmp/tarnex-fuzz-XXXXXX";
    if (!mkdtemp(dir.data()) || chdir(dir.c_str()) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FUZZ_ENTRY(data, size);
    return 0;
}
