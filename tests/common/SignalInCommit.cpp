// Preloaded into the built program (LD_PRELOAD) by the tests of interrupted runs and failed
// commits. Before the program renames a file whose name holds the text TNXTEST_SIGNAL_ON, it
// raises the signal numbered TNXTEST_SIGNAL_IN_COMMIT on the renaming thread, as an interrupt that
// arrives inside the commit, once every byte is written and before the file is put in place. A
// thread that holds the signal back meets it when it lets it through. A rename of a file whose
// name holds TNXTEST_REFUSE_RENAME_ON fails with the error number TNXTEST_REFUSE_RENAME_WITH, as
// on a full disk or a file system that refuses it. Before the rename of a file whose name holds
// TNXTEST_WAIT_ON, the program creates the file TNXTEST_WAITING and waits until the file
// TNXTEST_WAIT_FOR exists (two minutes at most): another run does its part meanwhile.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool Holds(const char* name, const char* variable) {
    const char* text = std::getenv(variable);
    return text && *text && std::strstr(name, text);
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    using Rename = int (*)(const char*, const char*);
    static const Rename next = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    const char* signal = std::getenv("TNXTEST_SIGNAL_IN_COMMIT");
    if (signal && Holds(from, "TNXTEST_SIGNAL_ON")) raise(std::atoi(signal));
    if (Holds(from, "TNXTEST_WAIT_ON")) {
        const char* marker = std::getenv("TNXTEST_WAIT_FOR");
        if (const char* waiting = std::getenv("TNXTEST_WAITING")) close(open(waiting, O_WRONLY | O_CREAT, 0644));
        for (int round = 0; marker && round < 120000 && access(marker, F_OK) != 0; round++) poll(nullptr, 0, 1);
    }
    const char* refused = std::getenv("TNXTEST_REFUSE_RENAME_WITH");
    if (refused && Holds(from, "TNXTEST_REFUSE_RENAME_ON")) {
        errno = std::atoi(refused);
        return -1;
    }
    return next(from, to);
}
