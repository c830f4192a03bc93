// The replacing writer of result and session files.
#include "foundation/ReplacingWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "foundation/TnxError.h"

namespace {

void CannotOpen(const std::string& name) {
    std::fprintf(stderr, "\ncan't open %s \n", name.c_str());
    std::fputc('\a', stdout);
    std::fflush(stdout);
}

}  // namespace

ReplacingWriter::ReplacingWriter(std::string target) : target_(std::move(target)) {}

ReplacingWriter::~ReplacingWriter() {
    if (f_) std::fclose(f_);
    if (!committed_ && !temp_.empty()) std::remove(temp_.c_str());
}

FILE* ReplacingWriter::Open() {
    std::string pattern = target_ + ".tmpXXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd >= 0) {
        // mkstemp creates the file private to its owner; give it the mode that fopen gives.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        f_ = fdopen(fd, "w");
        if (!f_) {
            close(fd);
            std::remove(pattern.c_str());
        }
    }
    if (!f_) {
        CannotOpen(target_);
        return nullptr;
    }
    temp_ = pattern;
    return f_;
}

ReplacingWriter::Outcome ReplacingWriter::Commit() {
    if (!f_) return kWriteFailed;
    bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
    ok = (std::fclose(f_) == 0) && ok;
    f_ = nullptr;
    if (!ok) {
        std::remove(temp_.c_str());
        return kWriteFailed;
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        std::remove(temp_.c_str());
        CannotOpen(target_);
        return kNotReplaced;
    }
    committed_ = true;
    return kWritten;
}

FILE* ReplacingWriter::OpenOrRaise() {
    FILE* f = Open();
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    return f;
}

void ReplacingWriter::CommitOrRaise() {
    switch (Commit()) {
        case kWritten: return;
        case kNotReplaced: RaiseError(TNX_FAIL_TO_OPEN);
        default: RaiseError(TNX_FAIL_TO_PRINT);
    }
}
