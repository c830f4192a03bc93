// The captures of standard output and standard error that a test left on, released: GoogleTest
// allows one capture of each stream at a time and ends the whole program when a second starts.
#ifndef TNX_TEST_CAPTURERELEASE_H
#define TNX_TEST_CAPTURERELEASE_H

#include <sys/types.h>

#include <utility>

namespace tnxtest {

// The file a descriptor is open on, by device and inode ({0, 0} for a closed descriptor).
using OpenFile = std::pair<dev_t, ino_t>;
OpenFile FileOf(int fd);

// The files of standard output and standard error as they are when it is made (neither captured).
struct ConsoleFiles {
    OpenFile out = FileOf(1), err = FileOf(2);
};

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
