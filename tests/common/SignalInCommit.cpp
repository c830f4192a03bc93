// Preloaded into the built program (LD_PRELOAD) by the tests of interrupted runs and failed
// commits. Before the program renames a file whose name holds the text TNXTEST_SIGNAL_ON, it
// raises the signal numbered TNXTEST_SIGNAL_IN_COMMIT on the renaming thread, as an interrupt that
// arrives inside the commit, once every byte is written and before the file is put in place. A
// thread that holds the signal back meets it when it lets it through. A rename of a file whose
// name holds TNXTEST_REFUSE_RENAME_ON fails with the error number TNXTEST_REFUSE_RENAME_WITH, as
// on a full disk or a file system that refuses it. Before the rename of a file whose name holds
// TNXTEST_WAIT_ON, the program creates the file TNXTEST_WAITING and waits until the file
// TNXTEST_WAIT_FOR exists (two minutes at most): another run does its part meanwhile. The same
// wait comes before the program creates a file whose name holds TNXTEST_WAIT_CREATE_ON only where
// none stands (open with O_CREAT and O_EXCL), as a run that has read its data and is about to
// write its files; the first TNXTEST_WAIT_CREATE_SKIP such creations (a trial of the folder made
// before the data are read) go by without waiting.
//
// A full disk: with TNXTEST_DISK_FULL_AFTER set, the program's files take that many bytes in all
// (the streams it opens on a descriptor with fdopen, which read as the descriptor does, its
// temporary files, and its write() calls on descriptors above 2, its appends), and every write
// past them fails with ENOSPC, a write that finds part of its room taking that part. Another
// run's file, named by the program's name up to the end of the text TNXTEST_APPEAR_ON ("s1Trk.txt"
// for "s1Trk.txt.tmpAb12Cd" too): before the program opens a file whose name holds the text with
// open and O_CREAT (only where none stands, with O_EXCL, or to write) or with fopen, the file is
// made holding TNXTEST_APPEAR_TEXT where none stands; with TNXTEST_APPEAR_AT_REMOVAL set, it comes
// instead just before the program removes such a file (remove, unlink), put in place as a commit
// puts it, written beside and renamed over whatever stands. Memory refused: once a file whose
// name holds TNXTEST_STARVE_AFTER is renamed, every calloc fails.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Holds(const char* name, const char* variable) {
    const char* text = std::getenv(variable);
    return text && *text && std::strstr(name, text);
}

// The bytes the full disk still takes (negative: no full disk).
std::atomic<long long> room{-1};
bool starved = false;  // calloc refuses every block
using Calloc = void* (*)(size_t, size_t);
Calloc nextCalloc = nullptr;
int findingCalloc = 0;

__attribute__((constructor)) void ReadSettings() {
    if (const char* bytes = std::getenv("TNXTEST_DISK_FULL_AFTER")) room.store(std::atoll(bytes));
}

// The count of bytes of `size` that the disk takes now (0 with errno ENOSPC when none).
size_t Room(size_t size) {
    long long left = room.load();
    if (left < 0) return size;
    for (;;) {
        const long long take = static_cast<long long>(size) < left ? static_cast<long long>(size) : left;
        if (room.compare_exchange_weak(left, left - take)) {
            if (take == 0) errno = ENOSPC;
            return static_cast<size_t>(take);
        }
    }
}

using Write = ssize_t (*)(int, const void*, size_t);
Write NextWrite() {
    static const Write next = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    return next;
}

// The streams fdopen gives while the disk is full: their bytes reach the descriptor through Room.
// A write that finds part of its room takes it and fails (ENOSPC), as the C library's own stream
// ends when it writes again after the system took part of its text.
ssize_t StreamWrite(void* cookie, const char* buf, size_t size) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
    const size_t take = Room(size);
    if (take < size) {
        if (take > 0 && NextWrite()(fd, buf, take) < 0) return -1;
        errno = ENOSPC;
        return -1;
    }
    return NextWrite()(fd, buf, take);
}

ssize_t StreamRead(void* cookie, char* buf, size_t size) {
    return read(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), buf, size);
}

int StreamSeek(void* cookie, off64_t* offset, int whence) {
    const off64_t at = lseek64(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), *offset, whence);
    if (at < 0) return -1;
    *offset = at;
    return 0;
}

int StreamClose(void* cookie) { return close(static_cast<int>(reinterpret_cast<intptr_t>(cookie))); }

// Makes the file TNXTEST_WAITING and waits until the file TNXTEST_WAIT_FOR exists (two minutes at
// most).
void WaitForTheOtherRun() {
    const char* marker = std::getenv("TNXTEST_WAIT_FOR");
    if (const char* waiting = std::getenv("TNXTEST_WAITING")) close(open(waiting, O_WRONLY | O_CREAT, 0644));
    for (int round = 0; marker && round < 120000 && access(marker, F_OK) != 0; round++) poll(nullptr, 0, 1);
}

// Makes the file of another run, named by `path` up to the end of the text TNXTEST_APPEAR_ON in
// it, holding TNXTEST_APPEAR_TEXT where none stands: before a creation (`removal` false) or, with
// TNXTEST_APPEAR_AT_REMOVAL set, before a removal, as a commit puts it, written beside it and renamed
// over whatever stands (renameat: this library's rename is not the system's). No allocation: a
// removal may come from a signal handler.
void Appear(const char* path, bool removal) {
    const char *on = std::getenv("TNXTEST_APPEAR_ON"), *atRemoval = std::getenv("TNXTEST_APPEAR_AT_REMOVAL");
    const char* at = on && *on ? std::strstr(path, on) : nullptr;
    const size_t length = at ? static_cast<size_t>(at - path) + std::strlen(on) : 0;
    char name[4096], beside[4096 + 8];
    if (!at || length >= sizeof name || removal != (atRemoval && *atRemoval)) return;
    std::memcpy(name, path, length), name[length] = '\0';
    std::snprintf(beside, sizeof beside, "%s%s", name, removal ? ".other" : "");
    using Open = int (*)(const char*, int, ...);
    static const Open next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
    const int fd = next(beside, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return;
    const char* text = std::getenv("TNXTEST_APPEAR_TEXT");
    if (text && NextWrite()(fd, text, std::strlen(text)) < 0) std::abort();
    close(fd);
    if (removal && renameat(AT_FDCWD, beside, AT_FDCWD, name) != 0) std::abort();
}

}  // namespace

extern "C" ssize_t write(int fd, const void* buf, size_t size) {
    if (fd <= 2) return NextWrite()(fd, buf, size);
    const size_t take = Room(size);
    if (take == 0 && size > 0) return -1;
    return NextWrite()(fd, buf, take);
}

extern "C" FILE* fdopen(int fd, const char* mode) {
    using Fdopen = FILE* (*)(int, const char*);
    static const Fdopen next = reinterpret_cast<Fdopen>(dlsym(RTLD_NEXT, "fdopen"));
    // A stream that only reads takes no room: it stays the system's own, with its descriptor.
    if (room.load() < 0 || (mode[0] == 'r' && !std::strchr(mode, '+'))) return next(fd, mode);
    static const cookie_io_functions_t io = {StreamRead, StreamWrite, StreamSeek, StreamClose};
    return fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), mode, io);
}

extern "C" int open(const char* path, int flags, ...) {
    using Open = int (*)(const char*, int, ...);
    static const Open next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if ((flags & O_CREAT) && (flags & O_EXCL) && Holds(path, "TNXTEST_WAIT_CREATE_ON")) {
        static int passed = 0;
        const char* skip = std::getenv("TNXTEST_WAIT_CREATE_SKIP");
        if (passed++ >= (skip ? std::atoi(skip) : 0)) WaitForTheOtherRun();
    }
    if (flags & O_CREAT) Appear(path, false);
    return next(path, flags, mode);
}

extern "C" int unlink(const char* path) {
    using Unlink = int (*)(const char*);
    static const Unlink next = reinterpret_cast<Unlink>(dlsym(RTLD_NEXT, "unlink"));
    Appear(path, true);
    return next(path);
}

extern "C" int remove(const char* path) {
    using Remove = int (*)(const char*);
    static const Remove next = reinterpret_cast<Remove>(dlsym(RTLD_NEXT, "remove"));
    Appear(path, true);
    return next(path);
}

extern "C" FILE* fopen(const char* path, const char* mode) {
    using Fopen = FILE* (*)(const char*, const char*);
    static const Fopen next = reinterpret_cast<Fopen>(dlsym(RTLD_NEXT, "fopen"));
    Appear(path, false);
    return next(path, mode);
}

// Free of the thread sanitizer's instrumentation, with the compiler's atomic builtins on plain
// values: the system's thread start-up asks for memory before the sanitizer follows the thread.
extern "C" __attribute__((no_sanitize("thread"))) void* calloc(size_t count, size_t size) {
    Calloc call = __atomic_load_n(&nextCalloc, __ATOMIC_ACQUIRE);
    if (!call) {
        // Found once, on the first call (before the program starts a thread); dlsym may ask for
        // memory itself, which is refused meanwhile.
        if (__atomic_exchange_n(&findingCalloc, 1, __ATOMIC_ACQ_REL)) return nullptr;
        call = reinterpret_cast<Calloc>(dlsym(RTLD_NEXT, "calloc"));
        __atomic_store_n(&nextCalloc, call, __ATOMIC_RELEASE);
        __atomic_store_n(&findingCalloc, 0, __ATOMIC_RELEASE);
    }
    if (__atomic_load_n(&starved, __ATOMIC_ACQUIRE)) {
        errno = ENOMEM;
        return nullptr;
    }
    return call(count, size);
}

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const Rename next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    const char* signal = std::getenv("TNXTEST_SIGNAL_IN_COMMIT");
    if (signal && Holds(from, "TNXTEST_SIGNAL_ON")) raise(std::atoi(signal));
    if (Holds(from, "TNXTEST_WAIT_ON")) WaitForTheOtherRun();
    const char* refused = std::getenv("TNXTEST_REFUSE_RENAME_WITH");
    if (refused && Holds(from, "TNXTEST_REFUSE_RENAME_ON")) {
        errno = std::atoi(refused);
        return -1;
    }
    const int renamed = next(from, to);
    if (renamed == 0 && Holds(from, "TNXTEST_STARVE_AFTER")) __atomic_store_n(&starved, true, __ATOMIC_RELEASE);
    return renamed;
}
