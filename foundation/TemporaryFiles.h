// The temporary files the program has made beside the files it replaces and not yet put in place
// or removed, and the handlers of the signals that end the program (SIGINT, SIGTERM, SIGHUP,
// SIGXFSZ), which remove those files before the signal takes its course. Everything a handler
// reads lies in a fixed table of slots reached through atomics, never through a lock: a file's
// path is copied into a slot of its own when the file is made, and the slot is freed when the file
// is renamed or removed, from whichever thread does it.
#ifndef TNX_TEMPORARY_FILES_H
#define TNX_TEMPORARY_FILES_H

#include <signal.h>

#include <string>

// How many temporary files can be registered at once, and the longest path a slot holds (a file
// beyond either is made all the same, unregistered).
constexpr int kTemporarySlots = 64;
constexpr int kTemporaryPathMax = 4096;

// Makes a file from the mkstemp pattern `pattern` (ending in "XXXXXX"), mode 0600, and registers
// it. The name is chosen inside the registry's slot while the signals above are held back on this
// thread, so no handler meets the file without its name. On return `pattern` holds the name. The
// descriptor, or -1 when the file cannot be made (errno says why); *slot is the slot to release,
// or -1 when the file is not registered.
int CreateTemporary(std::string& pattern, int* slot);

// Registers a file of a fixed name before it is made: the slot, or -1 when the registry is full
// or the path too long. A handler that runs before the file exists removes nothing.
int RegisterTemporary(const char* path);

// Frees a slot once its file was renamed over its target or removed; -1 is ignored.
void ReleaseTemporary(int slot);

// Removes every file registered by this process (a child made by fork removes none of its
// parent's) and frees their slots; the number of files removed. Async-signal-safe: it calls only
// unlink() and nanosleep(), the latter to wait, a moment at most, for a slot another thread is
// filling.
int RemoveTemporaries();

// Installs, once, the handlers of the four signals and the removal at the program's exit (a
// std::exit from inside a command leaves no automatic object to remove its file). A signal the
// program was started with ignored (nohup, a background job) stays ignored. Each handler removes
// the registered files, restores the signal's default action and raises it again, so the program
// ends as the signal would have ended it and its status names the signal.
void InstallTemporaryCleanup();

// The signals above held back on the calling thread for the life of the object (a signal that
// comes meanwhile is delivered when it ends): for the steps that must not be cut in two, such as
// the renames that put a run's files in place together.
class EndingSignalsHeld {
public:
    EndingSignalsHeld();
    ~EndingSignalsHeld();
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t saved_;
};

#endif
