// A file written whole or not at all: the text goes to a temporary file in the target's
// directory, which is renamed over the target only when every write and the close succeeded.
// A failed write, or an error that leaves the writer's frame, never leaves half a file; the
// old target stays as it was. The temporary file is registered (TemporaryFiles.h), so a signal
// that ends the program removes it too. A set of such files (ReplacingSet) is put in place
// together, at the end of the run that writes them.
#ifndef TNX_REPLACING_WRITER_H
#define TNX_REPLACING_WRITER_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class ReplacingWriter {
public:
    explicit ReplacingWriter(std::string target);
    ~ReplacingWriter();  // removes the temporary file unless it was committed
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;

    // Creates the temporary file and returns its stream; null when it cannot be created
    // (after the opener's message "\ncan't open %s \n" with the target's name and the bell).
    // A writer opened again drops the text it held and starts anew.
    FILE* Open();
    // Flushes and closes the temporary file and renames it over the target. On a failure the
    // temporary file is removed and the target is left as it was. A target that cannot be
    // replaced (the rename fails) counts as a file that cannot be created: the opener's
    // message is printed. A writer that was never opened has nothing to commit: kWriteFailed.
    enum Outcome { kWritten, kWriteFailed, kNotReplaced };
    Outcome Commit();
    // Commit's two steps, for a set of files that are all written before any is put in place:
    // Finish flushes and closes the temporary file (kWritten, or kWriteFailed with the file
    // removed), Replace renames a finished file over its target (kWritten, or kNotReplaced with
    // the message and the file removed).
    Outcome Finish();
    Outcome Replace();

    // The same two steps for callers whose failures end the command: a file that cannot be
    // created or put in place raises code 4, a failed write or close code 3.
    FILE* OpenOrRaise();
    void CommitOrRaise();

    const std::string& Target() const { return target_; }

private:
    void Drop();  // closes and removes an uncommitted temporary file

    std::string target_;
    std::string temp_;
    int slot_ = -1;  // the temporary file's slot in the registry
    FILE* f_ = nullptr;
    bool finished_ = false;
    bool committed_ = false;
};

// The files of one run, put in place together: each is written to its own temporary file, and
// CommitOrRaise, at the end of the run, renames them all over their targets with the signals
// that end the program held back. An error or a signal before then leaves every target as the
// earlier run left it; a completed commit leaves the new run's whole set.
class ReplacingSet {
public:
    ReplacingSet() = default;
    ReplacingSet(const ReplacingSet&) = delete;
    ReplacingSet& operator=(const ReplacingSet&) = delete;

    // Starts the text of `target`; a target opened before in the set starts anew, its earlier
    // text dropped. A file that cannot be created raises code 4 after the opener's message.
    FILE* OpenOrRaise(const std::string& target);
    // Closes every file (a failed write or close raises code 3 and leaves every target as it
    // was), then renames them all in the order they were first opened. A target that cannot be
    // replaced raises code 4 after the opener's message; the files after it are dropped.
    void CommitOrRaise();
    // Drops every unfinished file (also done when the set goes out of scope).
    void Discard() { writers_.clear(); }

private:
    std::vector<std::unique_ptr<ReplacingWriter>> writers_;
};

#endif
