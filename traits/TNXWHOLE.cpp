// Result files written whole or not at all.
#include "traits/TNXWHOLE.h"

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

void PutWhole(const char* dir, const char* name, const char* mode, const char* text, size_t size) {
    const std::string target = std::string(dir ? dir : "") + name;
    if (std::strcmp(mode, "a") == 0) {
        FILE* f = fopenck(target.c_str(), nullptr, "a");
        if (!f) RaiseError(TNX_FAIL_TO_OPEN);
        const long before = ftell(f);
        bool ok = before >= 0 && fwrite(text, 1, size, f) == size && fflush(f) == 0;
        if (!ok && before >= 0) {
            if (ftruncate(fileno(f), before) != 0) ok = false;
        }
        if (fclose(f) != 0) ok = false;
        if (!ok) RaiseError(TNX_FAIL_TO_PRINT);
        return;
    }
    ReplacingWriter writer(target);
    FILE* f = writer.OpenOrRaise();
    if (fwrite(text, 1, size, f) != size) RaiseError(TNX_FAIL_TO_PRINT);
    writer.CommitOrRaise();
}

void PutWhole(const char* dir, const char* name, const char* mode, MemoryReport& report) {
    if (!report.stream()) RaiseError(TNX_FAIL_TO_PRINT);
    if (!report.Close()) RaiseError(TNX_FAIL_TO_PRINT);
    PutWhole(dir, name, mode, report.data(), report.size());
}
