// The temporary files the program has made beside the files it replaces and not yet put in place
// or removed, and the handlers of the signals that end the program (SIGINT, SIGTERM, SIGHUP,
// SIGXFSZ, SIGPIPE, SIGQUIT), which remove those files before the signal takes its course.
// Everything a handler reads lies in a fixed table of slots reached through atomics, never
// through a lock: a file's path is copied into a slot of its own in the step that makes the file,
// and the slot is freed when the file is renamed or removed, from whichever thread does it.
//
// The steps that must not be cut in two (making a file and registering it; the renames that put a
// run's files in place together) run with the signals held back on their thread
// (EndingSignalsHeld), and a handler on another thread waits for them to end before it removes
// anything; a thread that would start such a step once a handler runs waits for the end instead.
#ifndef TNX_TEMPORARY_FILES_H
#define TNX_TEMPORARY_FILES_H

#include <signal.h>

#include <string>

// How many temporary files can be registered at once, and the longest path a slot holds (a file
// beyond either is made all the same, unregistered). The program's temporary files lie in the
// current folder under names of a few dozen characters; the table takes its place in the address
// space from the start (64 KiB), which counts under a limit as low as the one the program starts in.
constexpr int kTemporarySlots = 64;
constexpr int kTemporaryPathMax = 1024;

// The six signals held back on the calling thread for the life of the object (one that comes
// meanwhile is delivered when it ends), and a handler running on another thread kept waiting
// until it ends. Once a handler runs, a thread that would start such a step waits for the program
// to end instead.
class EndingSignalsHeld {
public:
    EndingSignalsHeld();
    ~EndingSignalsHeld();
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t saved_;
};

// Whether a signal that ends the program has come while this thread holds the signals back: one
// waiting on this thread (or on the process), or one whose handler runs on another thread and
// waits for the held steps to end. A signal that is ignored (as the program was started with it)
// ends nothing and does not count. A step that must leave everything as it was when the program
// is about to end (a set of files put in place) asks before it lets the signals through.
bool EndingSignalCame();

// Registers `path` in a free slot: the slot, or -1 when the registry is full or the path too long.
// Only inside a step that holds the signals back (MakeTemporary's).
int RegisterTemporary(const char* path);

// Makes a temporary file by calling make() (true when the file was made) and registers `path`,
// read once make has returned (so that make may fill it in, as mkstemp fills its pattern), in one
// step that no signal cuts. The slot to release, or -1 when make failed or the file could not be
// registered.
template <class Make>
int MakeTemporary(const std::string& path, Make&& make) {
    EndingSignalsHeld held;
    if (!make()) return -1;
    return RegisterTemporary(path.c_str());
}

// Frees a slot once its file was renamed over its target or removed; -1 is ignored.
void ReleaseTemporary(int slot);

// Removes every file registered by this process (a child made by fork removes none of its
// parent's), then waits until the removals that other threads of the process have begun are done
// (two seconds at most): whoever returns from here and ends the process leaves no registered file
// behind. The number this call removed. The slots stay taken: only an ending process removes
// them. Async-signal-safe (it calls unlink() and, to wait, poll()).
int RemoveTemporaries();

// Installs, once, the handlers of the six signals and the removal at the program's exit (a
// std::exit from inside a command leaves no automatic object to remove its file). A signal the
// program was started with ignored (nohup, a background job) stays ignored. Each handler waits
// for the steps that hold the signals back (two seconds at most), removes the registered files
// (RemoveTemporaries: two handlers on two threads share them out, and each waits for the other's
// removals), restores the signal's default action and raises it again, so the program ends as the
// signal would have ended it and its status names the signal.
void InstallTemporaryCleanup();

// The points of a removal where the tests of two handlers at once force their order: a slot taken
// by this removal, just before its file is unlinked; and each round of the wait for the removals
// begun by another thread. Called from inside a signal handler: a hook makes async-signal-safe
// calls only. None is set in the program.
enum class RemovalPoint { kTaken, kWaiting };
using RemovalHook = void (*)(RemovalPoint point, int slot);
void SetRemovalHook(RemovalHook hook);

#endif
