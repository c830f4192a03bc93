// A file written whole or not at all: the text goes to a temporary file of a name of its own in
// the target's directory ("<target>.tmp" and six letters, created only where no file stands, so
// that two runs in one folder never share one), which is renamed over the target only when every
// write and the close succeeded. A failed write, or an error that leaves the writer's frame, never
// leaves half a file; the old target stays as it was. The temporary file is registered
// (TemporaryFiles.h), so a signal that ends the program removes it too. A set of such files, and
// texts to append to files (ReplacingSet), is put in place together, at the end of the run that
// writes them.
//
// The files of a run, in short:
//   RunFilesScope run;              // the handler of a command: a fresh set becomes the run's
//   if (ReplacingSet* files = RunFiles()) {   // a writer: null when no run is under way
//       FILE* f = files->OpenOrRaise(target); // a replacement, put in place at the commit
//       files->WriteOrRaise(target, text, size);   // or a whole text at once
//       files->AppendOrRaise(target, text, size);  // a text appended at the commit
//   }
//   run.CommitOrRaise();            // every file of the run in place, or none
// A scope opened while another is under way joins it: its commit is the outer scope's.
//
// Two runs in one folder take turns at their commits: each holds the folder's commit lock (an
// exclusive flock on the folder itself, which every user who may read the folder can take and
// which leaves no file behind) only while it puts its files in place. While a session's data are
// loaded (SetSessionData), a set is put in place only if the data file still holds the bytes that
// were read: a run whose session another run replaced or changed meanwhile saves none of its
// files, while one whose data file was only touched, or rewritten with the same bytes, saves them.
#ifndef TNX_REPLACING_WRITER_H
#define TNX_REPLACING_WRITER_H

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What tells one state of a file from another: the file itself (device and inode), its length
// and its modification time. A file renamed over it, or written to, differs in one of them.
struct FileIdentity {
    bool known = false;  // the file stood and could be examined
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
};
bool operator==(const FileIdentity& a, const FileIdentity& b);
inline bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }
// The identity of the file open on `fd`, and of the file at `path` (unknown when none stands).
FileIdentity IdentityOf(int fd);
FileIdentity IdentityOf(const std::string& path);

// A digest of a file's bytes: 128 bits in two 64-bit lanes, each a chain of its own mixer over
// the file's 8-byte words, closed by the length. Each step of a chain is one-to-one in the word
// and in the lane before it, so two texts of one length that differ in a single word never share
// a digest. Not cryptographic: it tells a file rewritten with other bytes from the one read, not
// from a file made on purpose to collide with it.
struct ContentDigest {
    bool known = false;  // the bytes were read whole, the file unchanged meanwhile
    std::uint64_t lanes[2] = {0, 0};
};
bool operator==(const ContentDigest& a, const ContentDigest& b);
inline bool operator!=(const ContentDigest& a, const ContentDigest& b) { return !(a == b); }
// The digest of the file open on `fd`, read from its start without moving the descriptor's
// offset (pread), when the file is the one `opened` gives before and after the read and its
// length is `opened.size`; unknown otherwise, and when a read fails.
ContentDigest DigestOf(int fd, const FileIdentity& opened);

// The data file of the session loaded in this process, as it was when it was read: its identity
// and the digest of its bytes (unknown when the file changed while it was read). While one is
// set, every set of files checks at its commit, under the commit lock, that the file at `path`
// still holds those bytes: the same identity, or else a regular file of the same length and
// digest (a file touched, or rewritten with the same bytes under a new inode), whose identity
// is then kept in place of the one read. Otherwise the set puts nothing in place and raises code
// 6 (TNX_SESSION_CHANGED). A set that itself replaces the data file (an import) is not held
// back, and the identity and digest become the new file's. Cleared when the session's data are
// released.
void SetSessionData(const std::string& path, const FileIdentity& read, const ContentDigest& digest = {});
void ClearSessionData();
// The data file of the loaded session as SetSessionData named it; empty when none is loaded.
const std::string& SessionDataFile();

class ReplacingWriter {
public:
    explicit ReplacingWriter(std::string target);
    ~ReplacingWriter();  // removes the temporary file unless it was committed
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;

    // Creates the temporary file, with the mode fopen gives a new file (0666 less the umask,
    // which the system applies), and returns its stream; null when it cannot be created (after
    // the opener's message "\ncan't open %s: %s \n" with the target's name, the system's reason
    // and the bell); a stream that memory refuses raises code 1 (out of memory) instead. A writer
    // opened again drops the text it held and starts anew.
    FILE* Open();
    // Flushes and closes the temporary file and renames it over the target, under the folder's
    // commit lock. On a failure the temporary file is removed and the target is left as it was.
    // A target that is not a regular file (nor absent), or that the rename cannot replace, is
    // not replaced: "\ncan't replace %s: %s \n" names it with the reason. A writer that was
    // never opened has nothing to commit: kWriteFailed.
    enum Outcome { kWritten, kWriteFailed, kNotReplaced };
    Outcome Commit();
    // Commit's two steps, for a set of files that are all written before any is put in place:
    // Finish flushes and closes the temporary file (kWritten, or kWriteFailed with the file
    // removed), Replace renames a finished file over its target (kWritten, or kNotReplaced with
    // the message and the file removed).
    Outcome Finish();
    Outcome Replace();

    // The same two steps for callers whose failures end the command: a file that cannot be
    // created or put in place raises code 4, a failed write or close code 3. Each failure is
    // explained first: a failed write or close prints "\ncan't write %s: %s \n", a rename that
    // fails "\ncan't replace %s: %s \n" (the target and the system's reason, with the bell);
    // CommitOrRaise and CommitOrExplain are one commit under two names.
    FILE* OpenOrRaise();
    void CommitOrRaise();
    void CommitOrExplain();

    const std::string& Target() const { return target_; }
    // The system's reason (an errno value) for the last failed write, close or rename; 0 when
    // none failed or the system gave none.
    int Reason() const { return reason_; }

private:
    friend class ReplacingSet;
    // Closes and removes an uncommitted temporary file: 0, or the system's reason when it could
    // not be removed (its name then moved to *left, when given, for the caller to name).
    int Drop(std::string* left = nullptr);
    // Flushes and closes the temporary file, silently: false with reason_ set (the file stays).
    bool Close();
    // Renames a finished file over its target, silently: false with reason_ set (the file stays).
    bool Rename();
    // Replace without the commit lock, for callers that hold it: false with the message given.
    bool ReplaceLocked();

    std::string target_;
    std::string temp_;
    int slot_ = -1;  // the temporary file's slot in the registry
    FILE* f_ = nullptr;
    bool finished_ = false;
    bool committed_ = false;
    int reason_ = 0;
};

// The files of one run, put in place together: each replacement is written to its own temporary
// file, each text to append is kept in memory, and CommitOrRaise, at the end of the run, puts them
// all in place with the signals that end the program held back. An error or a signal before then
// leaves every target as the earlier run left it; a completed commit leaves the new run's whole
// set, and a commit that fails leaves the earlier run's, appended files cut back to their former
// length.
class ReplacingSet {
public:
    ReplacingSet() = default;
    ~ReplacingSet();
    ReplacingSet(const ReplacingSet&) = delete;
    ReplacingSet& operator=(const ReplacingSet&) = delete;

    // Starts the text of `target`; a target opened before in the set starts anew, its earlier
    // text (and a text to append to it) dropped. A file that cannot be created raises code 4
    // after the opener's message.
    FILE* OpenOrRaise(const std::string& target);
    // Opens `target` as above and writes `size` bytes of text to it; a failed write prints
    // "\ncan't write %s: %s \n" (the target and the system's reason, with the bell) and raises
    // code 3.
    void WriteOrRaise(const std::string& target, const char* text, size_t size);
    // Keeps `size` bytes of text to append to `target` at the commit (after the texts appended
    // before it in the set). A target whose replacement the set holds gets the text at the end
    // of the replacement instead, as a file written and then appended to would. Memory refused
    // for the copy raises code 1.
    void AppendOrRaise(const std::string& target, const char* text, size_t size);
    // Puts every file of the set in place as one step, in this order:
    // 1. every temporary file is closed: a failed write or close prints "\ncan't write %s: %s \n"
    //    and raises code 3, every target left as it was;
    // 2. the commit lock of every folder the set writes in is taken, in one order (another run
    //    putting its files in place there is waited for, once "Another run is saving its files
    //    in %s; waiting for it to finish.\n" gives the folder's absolute path on stderr; a
    //    folder whose system has no such lock
    //    is not locked); the lock is held to the end of the commit, undoing included;
    // 3. while a session's data are loaded (SetSessionData) and the set does not replace the data
    //    file, that file must hold the bytes read (the file read, or a regular file of the same
    //    length and digest): otherwise nothing is put in place, code 6;
    // 4. every target must be replaceable: a regular file (or a link to one) or none; one that is
    //    not prints "\ncan't replace %s: %s \n" (or "\ncan't open %s: %s \n" for a text to
    //    append) and raises code 4;
    // then, with the ending signals held back (a signal the program was started with ignored
    // stays ignored, and is no reason to undo anything):
    // 5. the texts are appended, each file's former length kept: a file that cannot be opened
    //    prints "\ncan't open %s: %s \n" and raises code 4, a failed write "\ncan't write %s: %s
    //    \n" and code 3 (past the file-size limit the write fails, and SIGXFSZ ends the program
    //    once every file is back as it was);
    // 6. each target that stands is kept aside under a second name ("<temporary name>.old",
    //    registered like the temporary files): a hard link, or, where the system refuses links
    //    (EPERM, EOPNOTSUPP, EMLINK, EXDEV), a copy (its text and mode; a symbolic link copied as
    //    a link); a copy that cannot be made fails the step as a link does;
    // 7. the temporary files are renamed over their targets in the order they were first opened,
    //    each in one rename, so that every target's name holds a whole file throughout;
    // 8. a signal that came meanwhile (EndingSignalCame) counts as a step that failed, so that the
    //    program it ends leaves the earlier files (where a handler lets the program go on, the
    //    message gives the first target with "Interrupted system call", and code 4).
    // A step that fails undoes every earlier one: the files appended are cut back (removed when
    // they did not stand), the targets replaced get their earlier files back (removed when they
    // did not stand); a target that no longer holds the file this set put there is left as it is.
    // "\ncan't replace %s: %s \n" names a target not put in place, with code 4. A target that
    // cannot be put back stays under its second name, which "\nthe earlier %s is kept as %s \n"
    // gives; a new file or a temporary file that cannot be removed, or a file that cannot be cut
    // back, is named with the system's reason ("\ncan't remove %s: %s \n", "\ncan't cut back %s:
    // %s \n"). An earlier file kept aside that cannot be removed once the set is in place is named
    // the same way; the set stays.
    void CommitOrRaise();
    // Drops every unfinished file and every text to append (also done when the set goes out of
    // scope).
    void Discard();

private:
    // A text to append to a target at the commit, and what the commit learns of the file.
    struct Append {
        std::string target;
        std::string text;
        bool stood = false;     // the file stood before the commit
        long long before = 0;   // its length then
        // Opens it for appending, never waiting on a named pipe: 0, or the system's reason
        // (EISDIR for a folder, kNotRegularFile for anything else that is not a regular file).
        int Open(int& fd);
    };
    ReplacingWriter* Find(const std::string& target);
    // Discard, naming each temporary file that could not be removed ("\ncan't remove %s: %s \n").
    void DiscardNaming();
    std::vector<std::unique_ptr<ReplacingWriter>> writers_;
    std::vector<std::unique_ptr<Append>> appends_;
};

// The set of the run under way: the files a command writes go to it, when there is one, and are
// put in place together when the command's work is done. Null when no run is under way. Set and
// read on the thread that runs the commands.
ReplacingSet* RunFiles();

// A run under way for the life of the object: a fresh set becomes the run's (RunFiles), or, when
// a run is under way already, the scope joins it. The destructor drops what was not committed and
// gives RunFiles its former value back.
class RunFilesScope {
public:
    RunFilesScope();
    ~RunFilesScope();
    RunFilesScope(const RunFilesScope&) = delete;
    RunFilesScope& operator=(const RunFilesScope&) = delete;

    // Puts the run's files in place (ReplacingSet::CommitOrRaise); from then on RunFiles is as it
    // was before the scope, so that a file written after the commit is written at once. A scope
    // that joined an outer run does nothing: the outer scope commits.
    void CommitOrRaise();
    bool Joined() const { return previous_ != nullptr; }

private:
    ReplacingSet files_;
    ReplacingSet* previous_;
};

// A file of the command under way: one of the run's set while a run is under way (RunFiles, read
// when the writer is made), put in place with the run's other files at the run's commit; otherwise
// a replacing writer of its own, put in place by CommitOrRaise or CommitOrExplain.
class RunFileWriter {
public:
    explicit RunFileWriter(std::string target) : writer_(std::move(target)), run_(RunFiles()) {}

    // The file's stream; a file that cannot be created raises code 4 after the opener's message.
    FILE* OpenOrRaise();
    // Outside a run: the replacing writer's CommitOrRaise (codes only) or CommitOrExplain (the
    // file and the system's reason named). In a run the file is finished and put in place by the
    // run's commit, which names a failed write; CommitOrExplain, for a file whose failure must
    // end the command before the rest of the run is written, checks its writes now
    // (RaiseOnFailedWrite).
    void CommitOrRaise();
    void CommitOrExplain();
    const std::string& Target() const { return writer_.Target(); }

private:
    ReplacingWriter writer_;
    ReplacingSet* run_;
    FILE* f_ = nullptr;
};

// Ends a command at the first failed write of a file, not at the end of a long run: when the
// stream `f` of `target` has its error flag set, prints "\ncan't write <target>: <the system's
// reason> \n" (with the bell) and raises code 3. The reason is the one the failing write left,
// or the one a flush of the text the stream still holds gives. A null stream passes.
void RaiseOnFailedWrite(FILE* f, const std::string& target);

// Closes `f`, a file written in place under the name `target`, and ends the command at a write
// that failed: a stream with its error flag set (RaiseOnFailedWrite) or a close that fails prints
// "\ncan't write <target>: <the system's reason> \n" and raises code 3. The stream is closed on
// every path.
void CloseOrExplain(FILE* f, const std::string& target);

// The message of a file that could not be written, opened or put in place: "\ncan't <what>
// <name>: <the system's reason> \n" (without the reason when `reason` is 0), with the bell.
void ExplainFileFailure(const char* what, const std::string& name, int reason);

// Appends size bytes of text to f, a file opened for appending, whole or not at all: a write,
// flush or close that fails cuts the file back to its former length. The signals that end the
// program are held back meanwhile (EndingSignalsHeld): one that comes, SIGXFSZ from a write past
// the file-size limit among them, ends it only once the file is whole again. Closes f; false when
// the text could not be appended, with errno the system's reason for the first failure.
bool AppendWhole(FILE* f, const char* text, size_t size);

// Opens `target` for appending (a file that cannot be opened raises code 4 after the opener's
// message) and appends the text whole (AppendWhole) under the folder's commit lock, so that it
// never falls inside another run's commit; a text that could not be appended prints
// "\ncan't write <target>: <the system's reason> \n" and raises code 3, the file as it was.
void AppendWholeOrRaise(const std::string& target, const char* text, size_t size);

#endif
