// The replacing writer of result and session files, and the set of files put in place together.
#include "foundation/ReplacingWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "foundation/TemporaryFiles.h"
#include "foundation/TnxError.h"

namespace {

void CannotOpen(const std::string& name) {
    std::fprintf(stderr, "\ncan't open %s \n", name.c_str());
    std::fputc('\a', stdout);
    std::fflush(stdout);
}

}  // namespace

ReplacingWriter::ReplacingWriter(std::string target) : target_(std::move(target)) {}

ReplacingWriter::~ReplacingWriter() { Drop(); }

void ReplacingWriter::Drop() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
    if (!committed_ && !temp_.empty()) std::remove(temp_.c_str());
    // Released after the removal: a signal in between removes a file that is already gone.
    ReleaseTemporary(slot_);
    slot_ = -1;
    temp_.clear();
    finished_ = committed_ = false;
}

FILE* ReplacingWriter::Open() {
    Drop();
    std::string pattern = target_ + ".tmpXXXXXX";
    int fd = -1;
    const int slot = MakeTemporary(pattern, [&] { return (fd = mkstemp(pattern.data())) >= 0; });
    if (fd >= 0) {
        // mkstemp creates the file private to its owner; give it the mode that fopen gives.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        f_ = fdopen(fd, "w");
        if (!f_) {
            close(fd);
            std::remove(pattern.c_str());
            ReleaseTemporary(slot);
        }
    }
    if (!f_) {
        CannotOpen(target_);
        return nullptr;
    }
    temp_ = pattern;
    slot_ = slot;
    return f_;
}

ReplacingWriter::Outcome ReplacingWriter::Finish() {
    if (!f_) return kWriteFailed;
    bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
    ok = (std::fclose(f_) == 0) && ok;
    f_ = nullptr;
    if (!ok) {
        Drop();
        return kWriteFailed;
    }
    finished_ = true;
    return kWritten;
}

ReplacingWriter::Outcome ReplacingWriter::Replace() {
    if (!finished_) return kWriteFailed;
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        Drop();
        CannotOpen(target_);
        return kNotReplaced;
    }
    committed_ = true;
    ReleaseTemporary(slot_);
    slot_ = -1;
    return kWritten;
}

ReplacingWriter::Outcome ReplacingWriter::Commit() {
    const Outcome finished = Finish();
    return finished == kWritten ? Replace() : finished;
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

FILE* ReplacingSet::OpenOrRaise(const std::string& target) {
    for (auto& w : writers_)
        if (w->Target() == target) return w->OpenOrRaise();
    writers_.push_back(std::make_unique<ReplacingWriter>(target));
    return writers_.back()->OpenOrRaise();
}

void ReplacingSet::CommitOrRaise() {
    bool written = true;
    for (auto& w : writers_) written = w->Finish() == ReplacingWriter::kWritten && written;
    if (!written) {
        writers_.clear();
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    bool replaced = true;
    {
        // The renames are not cut in two by a signal: one that comes meanwhile ends the program
        // after the last of them.
        EndingSignalsHeld held;
        for (auto& w : writers_)
            if (w->Replace() != ReplacingWriter::kWritten) {
                replaced = false;
                break;
            }
    }
    writers_.clear();
    if (!replaced) RaiseError(TNX_FAIL_TO_OPEN);
}
