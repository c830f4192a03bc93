// The captures of standard output and standard error that a test left on, released: GoogleTest
// allows one capture of each stream at a time and ends the whole program when a second starts.
#ifndef TNX_TEST_CAPTURERELEASE_H
#define TNX_TEST_CAPTURERELEASE_H

#include <sys/types.h>

namespace tnxtest {

// The file a descriptor is open on, by device and inode (`open` false for a closed descriptor).
struct OpenFile {
    bool open = false;
    dev_t device = 0;
    ino_t inode = 0;
};
OpenFile FileOf(int fd);
bool SameFile(const OpenFile& a, const OpenFile& b);

// The files of standard output and standard error while neither is captured.
struct ConsoleFiles {
    OpenFile out, err;
};
ConsoleFiles CurrentConsoleFiles();

// The streams ReleaseCaptures released, as bits.
enum ReleasedCapture { kStdoutReleased = 1, kStderrReleased = 2 };

// Ends each capture still on: a stream whose descriptor is no longer open on its file in
// `uncaptured` but on one of GoogleTest's capture files is given back that file (stdio flushed
// first), and what the capture held is written on it, so that failure messages printed while it
// was on are not lost. A stream redirected otherwise is left alone: GoogleTest cannot end a
// capture it does not hold. Returns the streams released.
int ReleaseCaptures(const ConsoleFiles& uncaptured);

}  // namespace tnxtest

#endif
