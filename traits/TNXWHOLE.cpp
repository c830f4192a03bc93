// Result files written whole or not at all.
#include "traits/TNXWHOLE.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/ReplacingWriter.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

bool MemoryReport::Close() {
    switch (text_.Close()) {
        case MemoryStream::kRefused: RaiseError(TNX_OUT_OF_MEMORY);
        case MemoryStream::kFailed: return false;
        case MemoryStream::kWhole: break;
    }
    return true;
}

void PutWhole(const char* dir, const char* name, const char* mode, const char* text, size_t size) {
    const std::string target = std::string(dir ? dir : "") + name;
    if (ReplacingSet* run = RunFiles()) {
        if (std::strcmp(mode, "a") == 0)
            run->AppendOrRaise(target, text, size);
        else
            run->WriteOrRaise(target, text, size);
        return;
    }
    if (std::strcmp(mode, "a") == 0) {
        AppendWholeOrRaise(target, text, size);
        return;
    }
    ReplacingWriter writer(target);
    FILE* f = writer.OpenOrRaise();
    errno = 0;
    if (fwrite(text, 1, size, f) != size) {
        ExplainFileFailure("write", target, errno);
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    writer.CommitOrExplain();
}

void PutWhole(const char* dir, const char* name, const char* mode, MemoryReport& report) {
    if (!report.stream() || !report.Close()) RaiseUnwritten(dir, name);
    PutWhole(dir, name, mode, report.data(), report.size());
}

void RaiseUnwritten(const char* dir, const char* name) {
    ExplainFileFailure("write", std::string(dir ? dir : "") + name, EIO);
    RaiseError(TNX_FAIL_TO_PRINT);
}
