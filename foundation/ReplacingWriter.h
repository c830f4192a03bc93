// A file written whole or not at all: the text goes to a temporary file in the target's
// directory, which is renamed over the target only when every write and the close succeeded.
// A failed write, or an error that leaves the writer's frame, never leaves half a file; the
// old target stays as it was.
#ifndef TNX_REPLACING_WRITER_H
#define TNX_REPLACING_WRITER_H

#include <cstdio>
#include <string>

class ReplacingWriter {
public:
    explicit ReplacingWriter(std::string target);
    ~ReplacingWriter();  // removes the temporary file unless it was committed
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;

    // Creates the temporary file and returns its stream; null when it cannot be created
    // (after the opener's message "\ncan't open %s \n" with the target's name and the bell).
    FILE* Open();
    // Flushes and closes the temporary file and renames it over the target. On a failure the
    // temporary file is removed and the target is left as it was. A target that cannot be
    // replaced (the rename fails) counts as a file that cannot be created: the opener's
    // message is printed. A writer that was never opened has nothing to commit: kWriteFailed.
    enum Outcome { kWritten, kWriteFailed, kNotReplaced };
    Outcome Commit();

    // The same two steps for callers whose failures end the command: a file that cannot be
    // created or put in place raises code 4, a failed write or close code 3.
    FILE* OpenOrRaise();
    void CommitOrRaise();

    const std::string& Target() const { return target_; }

private:
    std::string target_;
    std::string temp_;
    FILE* f_ = nullptr;
    bool committed_ = false;
};

#endif
