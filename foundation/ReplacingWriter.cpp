// The replacing writer of result and session files, and the set of files put in place together.
#include "foundation/ReplacingWriter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "foundation/TemporaryFiles.h"
#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

namespace {

// "can't <what> <name>: <why>", or without the reason when there is none to give.
void CannotDo(const char* what, const std::string& name, const std::string& why) {
    if (why.empty())
        std::fprintf(stderr, "\ncan't %s %s \n", what, name.c_str());
    else
        std::fprintf(stderr, "\ncan't %s %s: %s \n", what, name.c_str(), why.c_str());
    std::fputc('\a', stdout);
    std::fflush(stdout);
}

std::string SystemReason(int reason) { return reason ? OpenFailureText(reason) : ""; }

FileIdentity IdentityFrom(const struct stat& st) {
    FileIdentity id;
    id.known = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modified = st.st_mtim;
    return id;
}

// The folder a path lies in: the part before its last '/', or "." when it has none.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Says on stderr that the commit waits for another run's, naming the folder by its absolute path
// (by the name given when it has none): a run that waits must not look hung.
void SayWaitingFor(const std::string& folder) {
    char* absolute = realpath(folder.c_str(), nullptr);
    std::fprintf(stderr, "Another run is saving its files in %s; waiting for it to finish.\n",
                 absolute ? absolute : folder.c_str());
    std::free(absolute);
    std::fflush(stderr);
}

// The commit locks of the folders of a commit, held for the life of the object. Each is an
// exclusive flock on the folder itself: any user who may read the folder can take it, it lives
// only as long as the descriptor (a run that ends, even by SIGKILL, gives it back) and it leaves
// no file behind. The folders are locked in the order of their device and inode, so that two
// runs that write in the same folders never wait for each other in a circle. A folder that
// cannot be opened, or whose file system has no such lock, is left unlocked: the commit goes on
// as it would without the lock. A lock that another holds is waited for, once SayWaitingFor
// has named its folder.
class CommitLock {
public:
    explicit CommitLock(const std::vector<std::string>& paths) {
        struct Folder {
            dev_t device;
            ino_t inode;
            int fd;
            std::string name;
        };
        std::vector<Folder> folders;
        for (const std::string& path : paths) {
            std::string name = FolderOf(path);
            const int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;
            struct stat st {};
            bool seen = fstat(fd, &st) != 0;
            for (const Folder& f : folders) seen = seen || (f.device == st.st_dev && f.inode == st.st_ino);
            if (seen) {
                close(fd);
                continue;
            }
            folders.push_back({st.st_dev, st.st_ino, fd, std::move(name)});
        }
        std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
            return a.device != b.device ? a.device < b.device : a.inode < b.inode;
        });
        fds_.reserve(folders.size());
        for (const Folder& f : folders) {
            int locked;
            while ((locked = flock(f.fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
            }
            if (locked != 0 && errno == EWOULDBLOCK) {
                SayWaitingFor(f.name);
                while ((locked = flock(f.fd, LOCK_EX)) != 0 && errno == EINTR) {
                }
            }
            if (locked != 0) {
                close(f.fd);
                continue;
            }
            fds_.push_back(f.fd);
        }
    }
    ~CommitLock() {
        // Closing the descriptor gives the lock back.
        for (int fd : fds_) close(fd);
    }
    CommitLock(const CommitLock&) = delete;
    CommitLock& operator=(const CommitLock&) = delete;

private:
    std::vector<int> fds_;
};

// The data file of the loaded session, its identity when it was read and the digest of the bytes
// read (SetSessionData); an empty path when none is loaded. Set and read on the thread that runs
// the commands.
struct SessionData {
    std::string path;
    FileIdentity read;
    ContentDigest digest;
};
SessionData sessionData;

// Opens `path` for reading without waiting (a named pipe put there is not waited on for a writer)
// and keeps the descriptor only for a regular file, whose identity `opened` receives; -1 for any
// other file, and when none can be opened.
int OpenRegularNow(const std::string& path, FileIdentity& opened) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    opened = IdentityFrom(st);
    return fd;
}

// Whether the loaded session's data file still holds the bytes read: always, when no session's
// data are loaded. A file of another identity holds them when it is a regular file of the length
// and the digest of the one read; its identity is then kept, so that the next commit does not
// read it again.
bool SessionDataUnchanged() {
    if (sessionData.path.empty()) return true;
    if (IdentityOf(sessionData.path) == sessionData.read) return true;
    if (!sessionData.digest.known) return false;
    FileIdentity now;
    const int fd = OpenRegularNow(sessionData.path, now);
    if (fd < 0) return false;
    const bool same = now.size == sessionData.read.size && DigestOf(fd, now) == sessionData.digest;
    close(fd);
    if (same) sessionData.read = now;
    return same;
}

// A well-mixed 64-bit value from any seed (splitmix64's finaliser).
std::uint64_t Mixed(std::uint64_t v) {
    v += 0x9e3779b97f4a7c15ULL;
    v = (v ^ (v >> 30)) * 0xbf58476d1ce4e5b9ULL;
    v = (v ^ (v >> 27)) * 0x94d049bb133111ebULL;
    return v ^ (v >> 31);
}

// The second lane's mixer, one-to-one like the first but of other shifts and multipliers
// (MurmurHash3's 64-bit finaliser).
std::uint64_t MixedOtherwise(std::uint64_t v) {
    v = (v ^ (v >> 33)) * 0xff51afd7ed558ccdULL;
    v = (v ^ (v >> 33)) * 0xc4ceb9fe1a85ec53ULL;
    return v ^ (v >> 33);
}

// A digest under way: both lanes, the bytes of a word not yet whole, and the length so far. Each
// lane takes each word as v -> mixer(v ^ word), the second lane the word times an odd number
// (itself one-to-one), so that the lanes do not fail together; the last word is filled out with
// zeros, and the length, taken last, tells a text from the same text with zeros after it.
class DigestChain {
public:
    void Add(const unsigned char* bytes, size_t size) {
        length_ += size;
        while (size > 0) {
            if (held_ == 0 && size >= 8) {
                Word(bytes);
                bytes += 8;
                size -= 8;
                continue;
            }
            const size_t take = std::min(size, sizeof tail_ - held_);
            std::memcpy(tail_ + held_, bytes, take);
            held_ += take;
            bytes += take;
            size -= take;
            if (held_ == sizeof tail_) {
                Word(tail_);
                held_ = 0;
            }
        }
    }
    ContentDigest Close() {
        if (held_ > 0) {
            std::memset(tail_ + held_, 0, sizeof tail_ - held_);
            Word(tail_);
        }
        ContentDigest d;
        d.known = true;
        d.lanes[0] = Mixed(a_ ^ length_);
        d.lanes[1] = MixedOtherwise(b_ ^ (length_ * kOdd));
        return d;
    }

private:
    static constexpr std::uint64_t kOdd = 0x9fb21c651e98df25ULL;
    void Word(const unsigned char* bytes) {
        std::uint64_t w;
        std::memcpy(&w, bytes, sizeof w);
        a_ = Mixed(a_ ^ w);
        b_ = MixedOtherwise(b_ ^ (w * kOdd));
    }
    // Two unrelated starting values (the first fractional digits of pi, in hexadecimal).
    std::uint64_t a_ = 0x243f6a8885a308d3ULL, b_ = 0x13198a2e03707344ULL;
    std::uint64_t length_ = 0;
    unsigned char tail_[8] = {};
    size_t held_ = 0;
};

// Replaces the six X that end `pattern` with letters and digits drawn from the clock, the process
// and a counter, and creates the file under that name only where no file stands (O_EXCL: another
// run's file is never opened), until a name is free. The mode is fopen's, 0666 less the umask,
// which the system applies: the mask is never read, so it is never changed. The descriptor, or -1.
int CreateUnique(std::string& pattern) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<std::uint64_t> counter{0};
    constexpr int kAttempts = 1000;
    const size_t at = pattern.size() - 6;
    for (int attempt = 0; attempt < kAttempts; attempt++) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::uint64_t v = Mixed(static_cast<std::uint64_t>(now.tv_sec) * 1000000007ULL ^
                                static_cast<std::uint64_t>(now.tv_nsec) ^
                                (static_cast<std::uint64_t>(getpid()) << 32) ^ Mixed(counter.fetch_add(1)));
        for (size_t i = 0; i < 6; i++) {
            pattern[at + i] = kLetters[v % 62];
            v /= 62;
        }
        const int fd = open(pattern.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Why `target` cannot be replaced by a rename: nothing when it is a regular file (or a link to
// one) or does not stand; the system's reason, or a reason of its own, otherwise.
std::string WhyNotReplaceable(const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) return errno == ENOENT ? "" : std::strerror(errno);
    if (S_ISREG(st.st_mode)) return "";
    return S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
}

// A target kept aside while a set is put in place: whether it stood, its second name (a link or
// a copy), and the new file that replaces it (so that an undo touches only a target that still
// holds that file).
struct Aside {
    bool stood = false;
    std::string path;
    int slot = -1;
    FileIdentity placed;
};

// Whether `target` still holds the file a set put there.
bool StillHolds(const std::string& target, const FileIdentity& placed) {
    struct stat st {};
    if (!placed.known || lstat(target.c_str(), &st) != 0) return false;
    return st.st_dev == placed.device && st.st_ino == placed.inode;
}

// Links `target` under `path` (a stale file of that name, left by a run that was killed, is
// replaced); 0, or the system's reason.
int LinkAside(const std::string& target, const std::string& path) {
    if (link(target.c_str(), path.c_str()) == 0) return 0;
    if (errno != EEXIST) return errno;
    unlink(path.c_str());
    return link(target.c_str(), path.c_str()) == 0 ? 0 : errno;
}

// Whether a refused link leaves a copy as the way to keep an earlier file aside: the file system
// has no hard links, or the system refuses one to a file of another owner.
bool LinksRefused(int reason) {
    return reason == EPERM || reason == EOPNOTSUPP || reason == ENOTSUP || reason == EMLINK || reason == EXDEV;
}

// Writes the whole text to fd, a write cut short by a signal or by the room left taken up again;
// 0, or the system's reason.
int WriteAll(int fd, const char* text, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, text, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        text += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Copies the earlier file `target` (`st`, its lstat) to `path`, where the system refuses a hard
// link: a symbolic link as a link, a regular file by its text (read and written through `buffer`)
// and its mode, each made only where no file stands, never through a link put at `path` (a stale
// file of that name, left by a run that was killed, is removed first). A copy made is registered
// in *slot. 0, or the system's reason; a partial copy is left for the caller to remove.
int CopyAside(const std::string& target, const struct stat& st, const std::string& path, char* buffer, size_t size,
              int* slot) {
    if (S_ISLNK(st.st_mode)) {
        const ssize_t n = readlink(target.c_str(), buffer, size - 1);
        if (n < 0) return errno;
        buffer[n] = '\0';
        if (symlink(buffer, path.c_str()) != 0) {
            if (errno != EEXIST) return errno;
            unlink(path.c_str());
            if (symlink(buffer, path.c_str()) != 0) return errno;
        }
        *slot = RegisterTemporary(path.c_str());
        return 0;
    }
    // Without blocking: a named pipe put at the target since the check never holds the commit.
    const int from = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (from < 0) return errno;
    struct stat now {};
    int reason = fstat(from, &now) != 0 ? errno : S_ISREG(now.st_mode) ? 0 : kNotRegularFile;
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int to = -1;
    if (!reason && (to = open(path.c_str(), flags, 0600)) < 0 && errno == EEXIST) {
        unlink(path.c_str());
        to = open(path.c_str(), flags, 0600);
    }
    if (!reason && to < 0) reason = errno;
    if (to >= 0) *slot = RegisterTemporary(path.c_str());
    while (!reason) {
        const ssize_t n = read(from, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            reason = n < 0 ? errno : 0;
            break;
        }
        reason = WriteAll(to, buffer, static_cast<size_t>(n));
    }
    if (!reason && fchmod(to, now.st_mode & 07777) != 0) reason = errno;
    if (to >= 0 && close(to) != 0 && !reason) reason = errno;
    close(from);
    return reason;
}

// The run under way (RunFilesScope), null when none is.
std::atomic<ReplacingSet*> runFiles{nullptr};

}  // namespace

bool operator==(const FileIdentity& a, const FileIdentity& b) {
    if (!a.known || !b.known) return a.known == b.known;
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
}

FileIdentity IdentityOf(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 ? IdentityFrom(st) : FileIdentity{};
}

FileIdentity IdentityOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? IdentityFrom(st) : FileIdentity{};
}

bool operator==(const ContentDigest& a, const ContentDigest& b) {
    if (!a.known || !b.known) return a.known == b.known;
    return a.lanes[0] == b.lanes[0] && a.lanes[1] == b.lanes[1];
}

ContentDigest DigestOf(int fd, const FileIdentity& opened) {
    if (!opened.known || opened.size < 0) return {};
    // Read in blocks through a buffer of its own, never past one byte beyond the length: a file
    // that grows while it is read ends the reading, and counts as changed.
    unsigned char block[1 << 15];
    DigestChain chain;
    off_t at = 0;
    while (at <= opened.size) {
        const off_t left = opened.size - at + 1;
        const size_t want = left < static_cast<off_t>(sizeof block) ? static_cast<size_t>(left) : sizeof block;
        const ssize_t n = pread(fd, block, want, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        if (n == 0) break;
        chain.Add(block, static_cast<size_t>(n));
        at += n;
    }
    if (at != opened.size || IdentityOf(fd) != opened) return {};
    return chain.Close();
}

void SetSessionData(const std::string& path, const FileIdentity& read, const ContentDigest& digest) {
    sessionData.path = path;
    sessionData.read = read;
    sessionData.digest = digest;
}

void ClearSessionData() {
    sessionData.path.clear();
    sessionData.read = FileIdentity{};
    sessionData.digest = ContentDigest{};
}

const std::string& SessionDataFile() { return sessionData.path; }

ReplacingWriter::ReplacingWriter(std::string target) : target_(std::move(target)) {}

ReplacingWriter::~ReplacingWriter() { Drop(); }

int ReplacingWriter::Drop(std::string* left) {
    if (f_) std::fclose(f_);
    f_ = nullptr;
    int reason = 0;
    if (!committed_ && !temp_.empty() && std::remove(temp_.c_str()) != 0 && errno != ENOENT) reason = errno;
    // Released after the removal: a signal in between removes a file that is already gone.
    ReleaseTemporary(slot_);
    slot_ = -1;
    if (reason && left) left->swap(temp_);
    temp_.clear();
    finished_ = committed_ = false;
    return reason;
}

FILE* ReplacingWriter::Open() {
    Drop();
    reason_ = 0;
    std::string pattern = target_ + ".tmpXXXXXX";
    int fd = -1;
    const int slot = MakeTemporary(pattern, [&] { return (fd = CreateUnique(pattern)) >= 0; });
    if (fd >= 0) {
        f_ = fdopen(fd, "w");
        if (!f_) {
            const int reason = errno;
            close(fd);
            std::remove(pattern.c_str());
            ReleaseTemporary(slot);
            // A stream that memory refuses is the program's out-of-memory error, not a file that
            // cannot be opened.
            if (reason == ENOMEM) RaiseError(TNX_OUT_OF_MEMORY);
            errno = reason;
        }
    }
    if (!f_) {
        CannotDo("open", target_, SystemReason(errno));
        return nullptr;
    }
    temp_ = pattern;
    slot_ = slot;
    return f_;
}

ReplacingWriter::Outcome ReplacingWriter::Finish() {
    if (!f_) return kWriteFailed;
    if (Close()) return kWritten;
    Drop();
    return kWriteFailed;
}

bool ReplacingWriter::Close() {
    if (!f_) return false;
    // A write that failed earlier left its reason in errno; the flush tries the text the stream
    // still holds and, the cause still there, fails again with a fresh one.
    const int earlier = errno;
    errno = 0;
    bool ok = std::fflush(f_) == 0;
    int reason = ok ? 0 : errno;
    ok = ok && !std::ferror(f_);
    errno = 0;
    if (std::fclose(f_) != 0) {
        if (reason == 0) reason = errno;
        ok = false;
    }
    f_ = nullptr;
    if (!ok) {
        reason_ = reason ? reason : earlier;
        return false;
    }
    finished_ = true;
    return true;
}

bool ReplacingWriter::Rename() {
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        reason_ = errno;
        return false;
    }
    committed_ = true;
    ReleaseTemporary(slot_);
    slot_ = -1;
    return true;
}

bool ReplacingWriter::ReplaceLocked() {
    std::string why = WhyNotReplaceable(target_);
    if (why.empty() && Rename()) return true;
    if (why.empty()) why = SystemReason(reason_);
    std::string left;
    const int reason = Drop(&left);
    CannotDo("replace", target_, why);
    if (reason) std::fprintf(stderr, "\ncan't remove %s: %s \n", left.c_str(), std::strerror(reason));
    return false;
}

ReplacingWriter::Outcome ReplacingWriter::Replace() {
    if (!finished_) return kWriteFailed;
    CommitLock lock({target_});
    return ReplaceLocked() ? kWritten : kNotReplaced;
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

// Every failed write is named with its reason before the code that ends the command.
void ReplacingWriter::CommitOrRaise() { CommitOrExplain(); }

void ReplacingWriter::CommitOrExplain() {
    if (Finish() != kWritten) {
        CannotDo("write", target_, SystemReason(reason_));
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    if (Replace() != kWritten) RaiseError(TNX_FAIL_TO_OPEN);
}

// Opens the target for appending, made only where no file stands, so that "stood" says what the
// folder held (a file made meanwhile by another run is opened as one that stood); its former
// length taken. A link to nothing, which the exclusive creation refuses, is not appended to, nor
// is anything but a regular file, before a byte is written. 0, or the system's reason.
int ReplacingSet::Append::Open(int& fd) {
    for (int attempt = 0; attempt < 3; attempt++) {
        // Without blocking: a named pipe put at the target since the check, which no reader holds,
        // fails the open (ENXIO) rather than hold the commit with its signals held back.
        fd = open(target.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            struct stat st {};
            const int reason = fstat(fd, &st) != 0 ? errno
                               : S_ISREG(st.st_mode) ? 0
                               : S_ISDIR(st.st_mode) ? EISDIR
                                                     : kNotRegularFile;
            if (reason) {
                close(fd);
                fd = -1;
                return reason;
            }
            stood = true;
            before = st.st_size;
            return 0;
        }
        if (errno == ENXIO) return kNotRegularFile;
        if (errno != ENOENT) return errno;
        fd = open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            stood = false;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

ReplacingWriter* ReplacingSet::Find(const std::string& target) {
    for (auto& w : writers_)
        if (w->Target() == target) return w.get();
    return nullptr;
}

ReplacingSet::~ReplacingSet() { Discard(); }

void ReplacingSet::Discard() {
    writers_.clear();
    appends_.clear();
}

FILE* ReplacingSet::OpenOrRaise(const std::string& target) {
    // A text appended before the replacement would be lost with the earlier file.
    for (size_t i = 0; i < appends_.size(); i++)
        if (appends_[i]->target == target) appends_.erase(appends_.begin() + static_cast<std::ptrdiff_t>(i--));
    if (ReplacingWriter* w = Find(target)) return w->OpenOrRaise();
    try {
        writers_.push_back(std::make_unique<ReplacingWriter>(target));
    } catch (const std::bad_alloc&) {
        RaiseError(TNX_OUT_OF_MEMORY);
    }
    return writers_.back()->OpenOrRaise();
}

void ReplacingSet::WriteOrRaise(const std::string& target, const char* text, size_t size) {
    FILE* f = OpenOrRaise(target);
    errno = 0;
    if (std::fwrite(text, 1, size, f) != size) {
        CannotDo("write", target, SystemReason(errno));
        RaiseError(TNX_FAIL_TO_PRINT);
    }
}

void ReplacingSet::AppendOrRaise(const std::string& target, const char* text, size_t size) {
    if (ReplacingWriter* w = Find(target)) {
        errno = 0;
        if (!w->f_ || std::fwrite(text, 1, size, w->f_) != size) {
            CannotDo("write", target, SystemReason(errno));
            RaiseError(TNX_FAIL_TO_PRINT);
        }
        return;
    }
    try {
        for (auto& a : appends_)
            if (a->target == target) {
                a->text.append(text, size);
                return;
            }
        auto a = std::make_unique<Append>();
        a->target = target;
        a->text.assign(text, size);
        appends_.push_back(std::move(a));
    } catch (const std::bad_alloc&) {
        RaiseError(TNX_OUT_OF_MEMORY);
    } catch (const std::length_error&) {
        RaiseError(TNX_OUT_OF_MEMORY);
    }
}

void ReplacingSet::DiscardNaming() {
    std::string left;
    for (auto& w : writers_)
        if (const int reason = w->Drop(&left))
            std::fprintf(stderr, "\ncan't remove %s: %s \n", left.c_str(), std::strerror(reason));
    Discard();
}

void ReplacingSet::CommitOrRaise() {
    bool written = true;
    for (auto& w : writers_)
        if (!w->Close()) {
            CannotDo("write", w->Target(), SystemReason(w->Reason()));
            written = false;
        }
    if (!written) {
        DiscardNaming();
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    // Every folder the set writes in, locked until the set is in place or undone: another run's
    // commit there is waited for, never interleaved with this one.
    std::vector<std::string> paths;
    try {
        paths.reserve(writers_.size() + appends_.size());
        for (auto& w : writers_) paths.push_back(w->Target());
        for (auto& a : appends_) paths.push_back(a->target);
    } catch (const std::bad_alloc&) {
        Discard();
        RaiseError(TNX_OUT_OF_MEMORY);
    }
    std::unique_ptr<CommitLock> lock;
    try {
        lock = std::make_unique<CommitLock>(paths);
    } catch (const std::bad_alloc&) {
        Discard();
        RaiseError(TNX_OUT_OF_MEMORY);
    }
    // A set that replaces the session's data file defines the session anew; any other set
    // describes the data this run read, and is saved only beside those data.
    bool replacesData = false;
    for (auto& w : writers_) replacesData = replacesData || w->Target() == sessionData.path;
    if (!replacesData && !SessionDataUnchanged()) {
        Discard();
        RaiseError(TNX_SESSION_CHANGED);
    }
    for (auto& w : writers_) {
        const std::string why = WhyNotReplaceable(w->Target());
        if (!why.empty()) {
            CannotDo("replace", w->Target(), why);
            DiscardNaming();
            RaiseError(TNX_FAIL_TO_OPEN);
        }
    }
    for (auto& a : appends_) {
        const std::string why = WhyNotReplaceable(a->target);
        if (!why.empty()) {
            CannotDo("open", a->target, why);
            DiscardNaming();
            RaiseError(TNX_FAIL_TO_OPEN);
        }
    }
    const size_t n = writers_.size();
    // The second names, and the buffer of the copies where links are refused, are made here:
    // nothing below asks for memory that could leave the steps half done.
    std::vector<Aside> aside;
    std::vector<char> copying;
    try {
        if (n) copying.resize(size_t{64} << 10);
        aside.resize(n);
        for (size_t i = 0; i < n; i++) {
            aside[i].path = writers_[i]->temp_ + ".old";
            aside[i].placed = IdentityOf(writers_[i]->temp_);
        }
    } catch (const std::bad_alloc&) {
        Discard();
        RaiseError(TNX_OUT_OF_MEMORY);
    }
    // The step that failed: the verb of its message, its target, the system's reason, the code.
    const char* verb = nullptr;
    std::string failedTarget, why;
    int code = 0;
    std::string notes;  // files that could not be put back as they were
    // Neither leaves the steps below half undone: a text that memory refuses is left out.
    const auto fail = [&](const char* v, const std::string& target, int reason, int c) noexcept {
        code = c;
        verb = v;
        try {
            failedTarget = target;
            why = SystemReason(reason);
        } catch (...) {
        }
    };
    const auto note = [&](const char* before, const std::string& name, const char* middle, const char* after) noexcept {
        try {
            notes += before + name + middle + after + " \n";
        } catch (...) {
        }
    };
    {
        // Not cut in two by a signal: one that comes meanwhile (SIGXFSZ from a write past the
        // file-size limit among them, the write failing instead) undoes every step, and ends the
        // program once every file is back as it was.
        EndingSignalsHeld held;
        // The appends first: a full disk or the file-size limit stops them before any rename.
        size_t appended = 0;  // the files opened (or made) for appending
        for (; appended < appends_.size() && !code; appended++) {
            Append& a = *appends_[appended];
            int fd = -1;
            if (const int reason = a.Open(fd)) {
                fail("open", a.target, reason, TNX_FAIL_TO_OPEN);
                break;
            }
            int reason = WriteAll(fd, a.text.data(), a.text.size());
            if (close(fd) != 0 && reason == 0) reason = errno;
            if (reason) fail("write", a.target, reason, TNX_FAIL_TO_PRINT);
        }
        // Each target that stands kept aside before any is replaced: a hard link, or, where the
        // system refuses links, a copy, so that its name never stands empty (a reader finds a
        // whole file there at every moment of the commit).
        for (size_t i = 0; i < n && !code; i++) {
            const std::string& target = writers_[i]->Target();
            struct stat st {};
            if (lstat(target.c_str(), &st) != 0) {
                aside[i].path.clear();
                continue;
            }
            aside[i].stood = true;
            int reason = LinkAside(target, aside[i].path);
            const bool copied = reason != 0 && LinksRefused(reason);
            if (copied)
                reason = CopyAside(target, st, aside[i].path, copying.data(), copying.size(), &aside[i].slot);
            else if (reason == 0)
                aside[i].slot = RegisterTemporary(aside[i].path.c_str());
            if (reason != 0) {
                // A partial copy goes; one that stays is named, as every temporary file is.
                if (copied && std::remove(aside[i].path.c_str()) != 0 && errno != ENOENT)
                    note("\ncan't remove ", aside[i].path, ": ", std::strerror(errno));
                ReleaseTemporary(aside[i].slot);
                aside[i].slot = -1;
                aside[i].path.clear();
                fail("replace", target, reason, TNX_FAIL_TO_OPEN);
            }
        }
        size_t replaced = 0;  // the targets replaced
        for (; replaced < n && !code; replaced++) {
            ReplacingWriter& w = *writers_[replaced];
            if (!w.Rename()) {
                fail("replace", w.Target(), w.Reason(), TNX_FAIL_TO_OPEN);
                break;
            }
        }
        // A signal that came while the files were put in place: the run is ending, and leaves the
        // earlier files.
        if (!code && EndingSignalCame() && (n || !appends_.empty()))
            fail("replace", n ? writers_[0]->Target() : appends_[0]->target, EINTR, TNX_FAIL_TO_OPEN);
        if (code) {
            // Every target replaced gets its earlier file back, and every file appended to is cut
            // back to its former length; a file that did not stand before is removed.
            for (size_t i = 0; i < replaced; i++) {
                const std::string& target = writers_[i]->Target();
                if (!StillHolds(target, aside[i].placed)) {
                    // Another program put its own file there since: it stays, and the earlier
                    // file this set kept aside is no longer the target's.
                    continue;
                }
                if (!aside[i].stood) {
                    if (std::remove(target.c_str()) != 0) note("\ncan't remove ", target, ": ", std::strerror(errno));
                } else if (std::rename(aside[i].path.c_str(), target.c_str()) == 0) {
                    aside[i].path.clear();
                } else {
                    note("\nthe earlier ", target, " is kept as ", aside[i].path.c_str());
                    ReleaseTemporary(aside[i].slot);
                    aside[i].slot = -1;
                    aside[i].path.clear();
                }
            }
            for (size_t i = 0; i < appended; i++) {
                const Append& a = *appends_[i];
                if (!a.stood) {
                    if (std::remove(a.target.c_str()) != 0)
                        note("\ncan't remove ", a.target, ": ", std::strerror(errno));
                } else if (truncate(a.target.c_str(), static_cast<off_t>(a.before)) != 0) {
                    note("\ncan't cut back ", a.target, ": ", std::strerror(errno));
                }
            }
            // The new files not put in place go; one that cannot be removed is named.
            std::string left;
            for (auto& w : writers_)
                if (const int reason = w->Drop(&left)) note("\ncan't remove ", left, ": ", std::strerror(reason));
        }
        // The earlier files kept aside are no longer needed (each was replaced, or put back).
        // One that cannot be removed is named: it holds a whole copy of an earlier file.
        for (Aside& a : aside) {
            if (a.stood && !a.path.empty() && std::remove(a.path.c_str()) != 0 && errno != ENOENT)
                note("\ncan't remove ", a.path, ": ", std::strerror(errno));
            ReleaseTemporary(a.slot);
        }
    }
    if (code) CannotDo(verb, failedTarget, why);
    if (!notes.empty()) {
        std::fputs(notes.c_str(), stderr);
        if (!code) {
            std::fputc('\a', stdout);
            std::fflush(stdout);
        }
    }
    if (!code && replacesData) {
        // The next commits hold to the file this set put there, its bytes digested as a load
        // digests them.
        FileIdentity placed;
        const int fd = OpenRegularNow(sessionData.path, placed);
        sessionData.read = fd >= 0 ? placed : IdentityOf(sessionData.path);
        sessionData.digest = fd >= 0 ? DigestOf(fd, placed) : ContentDigest{};
        if (fd >= 0) close(fd);
    }
    Discard();
    if (code) RaiseError(code);
}

void ExplainFileFailure(const char* what, const std::string& name, int reason) {
    CannotDo(what, name, SystemReason(reason));
}

ReplacingSet* RunFiles() { return runFiles.load(); }

RunFilesScope::RunFilesScope() : previous_(runFiles.load()) {
    if (!previous_) runFiles.store(&files_);
}

RunFilesScope::~RunFilesScope() {
    if (!previous_ && runFiles.load() == &files_) runFiles.store(nullptr);
    files_.Discard();
}

void RunFilesScope::CommitOrRaise() {
    if (previous_) return;
    // Given back first: a file written after the commit, or after a commit that failed, is not
    // kept for a set that is never committed again.
    if (runFiles.load() == &files_) runFiles.store(nullptr);
    files_.CommitOrRaise();
}

FILE* RunFileWriter::OpenOrRaise() {
    f_ = run_ ? run_->OpenOrRaise(writer_.Target()) : writer_.OpenOrRaise();
    return f_;
}

void RunFileWriter::CommitOrRaise() {
    if (!run_) writer_.CommitOrRaise();
}

void RunFileWriter::CommitOrExplain() {
    if (run_)
        RaiseOnFailedWrite(f_, writer_.Target());
    else
        writer_.CommitOrExplain();
}

void RaiseOnFailedWrite(FILE* f, const std::string& target) {
    if (!f) return;
    // A write that failed earlier left its reason in errno; the flush tries the text the stream
    // still holds and, the cause still there, fails again with a fresh one.
    const int earlier = errno;
    errno = 0;
    const bool flushed = std::fflush(f) == 0;
    const int reason = flushed ? 0 : errno;
    if (flushed && !std::ferror(f)) return;
    ExplainFileFailure("write", target, reason ? reason : earlier);
    RaiseError(TNX_FAIL_TO_PRINT);
}

void CloseOrExplain(FILE* f, const std::string& target) {
    try {
        RaiseOnFailedWrite(f, target);
    } catch (...) {
        std::fclose(f);
        throw;
    }
    errno = 0;
    if (std::fclose(f) != 0) {
        ExplainFileFailure("write", target, errno);
        RaiseError(TNX_FAIL_TO_PRINT);
    }
}

bool AppendWhole(FILE* f, const char* text, size_t size) {
    // Past the file-size limit a write raises SIGXFSZ, whose handler would end the program with
    // part of the text appended: held back meanwhile, the write fails instead, the file is cut
    // back, and a signal that came ends the program once the file is whole again.
    EndingSignalsHeld held;
    errno = 0;
    const long before = std::ftell(f);
    bool ok = before >= 0 && std::fwrite(text, 1, size, f) == size && std::fflush(f) == 0;
    int reason = ok ? 0 : errno;
    if (!ok && before >= 0 && ftruncate(fileno(f), before) != 0) ok = false;
    if (std::fclose(f) != 0) {
        if (reason == 0) reason = errno;
        ok = false;
    }
    // The reason of the first failure, not of the steps that followed it.
    errno = reason;
    return ok;
}

void AppendWholeOrRaise(const std::string& target, const char* text, size_t size) {
    std::unique_ptr<CommitLock> lock;
    try {
        lock = std::make_unique<CommitLock>(std::vector<std::string>{target});
    } catch (const std::bad_alloc&) {
        RaiseError(TNX_OUT_OF_MEMORY);
    }
    FILE* f = fopenck(target.c_str(), nullptr, "a");
    if (!f) RaiseError(TNX_FAIL_TO_OPEN);
    if (!AppendWhole(f, text, size)) {
        ExplainFileFailure("write", target, errno);
        RaiseError(TNX_FAIL_TO_PRINT);
    }
}
