// A result file of the simulator written whole or not at all, through the replacing writer:
// the target is replaced only when everything was written.
#ifndef TNXSIMFILE_H
#define TNXSIMFILE_H

#include <cstdio>
#include <optional>

#include "foundation/ReplacingWriter.h"

class SimResultFile {
public:
    // Starts the file; one that cannot be created raises code 4 after the opener's message.
    FILE* Open(const char* target) {
        Discard();
        writer_.emplace(target);
        f_ = writer_->OpenOrRaise();
        return f_;
    }
    FILE* Get() const { return f_; }
    // Replaces the target with what was written: code 3 when a write failed, 4 when the
    // target cannot be replaced.
    void Commit() {
        if (!writer_ || !f_) return;
        f_ = nullptr;
        writer_->CommitOrRaise();
        writer_.reset();
    }
    // Drops an unfinished file (an error left the run).
    void Discard() {
        f_ = nullptr;
        writer_.reset();
    }

private:
    std::optional<ReplacingWriter> writer_;
    FILE* f_ = nullptr;
};

#endif
