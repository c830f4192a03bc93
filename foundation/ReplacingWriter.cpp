// The replacing writer of result and session files, and the set of files put in place together.
#include "foundation/ReplacingWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/TemporaryFiles.h"
#include "foundation/TnxError.h"

namespace {

void CannotOpen(const std::string& name) {
    std::fprintf(stderr, "\ncan't open %s \n", name.c_str());
    std::fputc('\a', stdout);
    std::fflush(stdout);
}

// "can't <what> <name>: <why>", or without the reason when there is none to give.
void CannotDo(const char* what, const std::string& name, const std::string& why) {
    if (why.empty())
        std::fprintf(stderr, "\ncan't %s %s \n", what, name.c_str());
    else
        std::fprintf(stderr, "\ncan't %s %s: %s \n", what, name.c_str(), why.c_str());
    std::fputc('\a', stdout);
    std::fflush(stdout);
}

std::string SystemReason(int reason) { return reason ? std::strerror(reason) : ""; }

// A well-mixed 64-bit value from any seed (splitmix64's finaliser).
std::uint64_t Mixed(std::uint64_t v) {
    v += 0x9e3779b97f4a7c15ULL;
    v = (v ^ (v >> 30)) * 0xbf58476d1ce4e5b9ULL;
    v = (v ^ (v >> 27)) * 0x94d049bb133111ebULL;
    return v ^ (v >> 31);
}

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

// A target kept aside while a set is put in place: whether it stood, and its second name.
struct Aside {
    bool stood = false;
    std::string path;
    int slot = -1;
};

// Links `target` under `path` (a stale file of that name, left by a run that was killed, is
// replaced); 0, or the system's reason.
int LinkAside(const std::string& target, const std::string& path) {
    if (link(target.c_str(), path.c_str()) == 0) return 0;
    if (errno != EEXIST) return errno;
    unlink(path.c_str());
    return link(target.c_str(), path.c_str()) == 0 ? 0 : errno;
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
    reason_ = 0;
    std::string pattern = target_ + ".tmpXXXXXX";
    int fd = -1;
    const int slot = MakeTemporary(pattern, [&] { return (fd = CreateUnique(pattern)) >= 0; });
    if (fd >= 0) {
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
        Drop();
        reason_ = reason ? reason : earlier;
        return kWriteFailed;
    }
    finished_ = true;
    return kWritten;
}

bool ReplacingWriter::Rename() {
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int reason = errno;
        Drop();
        reason_ = reason;
        return false;
    }
    committed_ = true;
    ReleaseTemporary(slot_);
    slot_ = -1;
    return true;
}

ReplacingWriter::Outcome ReplacingWriter::Replace() {
    if (!finished_) return kWriteFailed;
    if (!Rename()) {
        CannotOpen(target_);
        return kNotReplaced;
    }
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

void ReplacingWriter::CommitOrExplain() {
    if (Finish() != kWritten) {
        CannotDo("write", target_, SystemReason(reason_));
        RaiseError(TNX_FAIL_TO_PRINT);
    }
    if (!Rename()) {
        CannotDo("replace", target_, SystemReason(reason_));
        RaiseError(TNX_FAIL_TO_OPEN);
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
    for (auto& w : writers_) {
        const std::string why = WhyNotReplaceable(w->Target());
        if (!why.empty()) {
            CannotDo("replace", w->Target(), why);
            writers_.clear();
            RaiseError(TNX_FAIL_TO_OPEN);
        }
    }
    const size_t n = writers_.size();
    std::vector<Aside> aside(n);
    size_t failed = n;  // the file that could not be kept aside or put in place
    std::string why;
    std::string keptAs;  // the second name of an earlier file that could not be put back
    {
        // The renames are not cut in two by a signal: one that comes meanwhile ends the program
        // after the last of them, or after the earlier files are put back.
        EndingSignalsHeld held;
        size_t replaced = 0;
        for (size_t i = 0; i < n && failed == n; i++) {
            struct stat st {};
            if (lstat(writers_[i]->Target().c_str(), &st) != 0) continue;
            aside[i].stood = true;
            aside[i].path = writers_[i]->temp_ + ".old";
            if (const int reason = LinkAside(writers_[i]->Target(), aside[i].path)) {
                aside[i].path.clear();
                failed = i;
                why = SystemReason(reason);
                break;
            }
            aside[i].slot = RegisterTemporary(aside[i].path.c_str());
        }
        for (; replaced < n && failed == n; replaced++)
            if (!writers_[replaced]->Rename()) {
                failed = replaced;
                why = SystemReason(writers_[replaced]->Reason());
                break;
            }
        if (failed < n) {
            // Every target replaced before the failure gets its earlier file back; one that did
            // not stand before is removed.
            for (size_t i = 0; i < replaced; i++) {
                const std::string& target = writers_[i]->Target();
                if (!aside[i].stood) {
                    std::remove(target.c_str());
                } else if (std::rename(aside[i].path.c_str(), target.c_str()) == 0) {
                    aside[i].path.clear();
                } else {
                    keptAs += "\nthe earlier " + target + " is kept as " + aside[i].path + " \n";
                    ReleaseTemporary(aside[i].slot);
                    aside[i].slot = -1;
                    aside[i].path.clear();
                }
            }
        }
        for (Aside& a : aside) {
            if (!a.path.empty()) unlink(a.path.c_str());
            ReleaseTemporary(a.slot);
        }
    }
    if (failed < n) {
        CannotDo("replace", writers_[failed]->Target(), why);
        if (!keptAs.empty()) std::fputs(keptAs.c_str(), stderr);
    }
    writers_.clear();
    if (failed < n) RaiseError(TNX_FAIL_TO_OPEN);
}
