// A file written whole or not at all: the text goes to a temporary file of a name of its own in
// the target's directory ("<target>.tmp" and six letters, created only where no file stands, so
// that two runs in one folder never share one), which is renamed over the target only when every
// write and the close succeeded. A failed write, or an error that leaves the writer's frame, never
// leaves half a file; the old target stays as it was. The temporary file is registered
// (TemporaryFiles.h), so a signal that ends the program removes it too. A set of such files
// (ReplacingSet) is put in place together, at the end of the run that writes them.
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

    // Creates the temporary file, with the mode fopen gives a new file (0666 less the umask,
    // which the system applies), and returns its stream; null when it cannot be created (after
    // the opener's message "\ncan't open %s \n" with the target's name and the bell). A writer
    // opened again drops the text it held and starts anew.
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
    // CommitOrRaise for a file whose failure is explained: a failed write or close prints
    // "\ncan't write %s: %s \n", a rename that fails "\ncan't replace %s: %s \n" (the target
    // and the system's reason, with the bell), before code 3 or code 4 is raised.
    void CommitOrExplain();

    const std::string& Target() const { return target_; }
    // The system's reason (an errno value) for the last failed write, close or rename; 0 when
    // none failed or the system gave none.
    int Reason() const { return reason_; }

private:
    friend class ReplacingSet;
    void Drop();    // closes and removes an uncommitted temporary file
    bool Rename();  // renames a finished file over its target, silently; false with reason_ set

    std::string target_;
    std::string temp_;
    int slot_ = -1;  // the temporary file's slot in the registry
    FILE* f_ = nullptr;
    bool finished_ = false;
    bool committed_ = false;
    int reason_ = 0;
};

// The files of one run, put in place together: each is written to its own temporary file, and
// CommitOrRaise, at the end of the run, renames them all over their targets with the signals
// that end the program held back. An error or a signal before then leaves every target as the
// earlier run left it; a completed commit leaves the new run's whole set, and a commit that fails
// leaves the earlier run's.
class ReplacingSet {
public:
    ReplacingSet() = default;
    ReplacingSet(const ReplacingSet&) = delete;
    ReplacingSet& operator=(const ReplacingSet&) = delete;

    // Starts the text of `target`; a target opened before in the set starts anew, its earlier
    // text dropped. A file that cannot be created raises code 4 after the opener's message.
    FILE* OpenOrRaise(const std::string& target);
    // Closes every file (a failed write or close raises code 3 and leaves every target as it
    // was), then renames them all in the order they were first opened. First every target must
    // be replaceable: a regular file (or a link to one) or none; each target that stands is kept
    // aside under a second name (a hard link, "<temporary name>.old", registered like the
    // temporary files) until the whole set is in place. A target that is not replaceable, or
    // cannot be kept aside, replaces none; a rename that fails all the same puts back every
    // target replaced before it (and removes those that did not stand before). Either way the
    // folder holds the earlier run's files, "\ncan't replace %s: %s \n" names the target and
    // the system's reason (with the bell), and code 4 is raised. A target that cannot be put
    // back stays under its second name, which "\nthe earlier %s is kept as %s \n" gives.
    void CommitOrRaise();
    // Drops every unfinished file (also done when the set goes out of scope).
    void Discard() { writers_.clear(); }

private:
    std::vector<std::unique_ptr<ReplacingWriter>> writers_;
};

#endif
