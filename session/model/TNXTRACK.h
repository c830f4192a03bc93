// The session track file (session name + "Trk.txt"): the name of the formatted data file the
// session uses, the version word, and the session's analysis state (result-file names and
// flags, options, per-trait hierarchy vectors, stored partitions).
//
// The session's files are written by the foundation's ReplacingWriter (included here for the
// session code that writes them): whole or not at all.
#ifndef TNXTRACK_H
#define TNXTRACK_H

#include <cstdio>
#include <string>

#include "foundation/ReplacingWriter.h"

// An item written to a session file as it stands, or "NULL" for an empty one: an empty item
// would leave nothing to read, and the reader would take the next item in its place.
const char* NonEmpty(const char* s);

// Writes the track file volumeName + whichTrack: with full 0 only the data file's name and
// the version word, otherwise the whole analysis state. A file that cannot be created (or
// put in place) raises code 4; a failed write or close raises code 3. While a run is under way
// (RunFiles) the file joins the run's set and is put in place at its commit. Returns 0.
int WriteTrack(char full);

// Restores the analysis state from the track file. The data set must be loaded: every count,
// index and level of the file is checked against it, and a file that does not fit (or ends
// early) raises code 2 after "\nfile %s ". An unknown version word is reported and leaves the
// options as they are. Returns 1.
int ReadTrack();

// True when the session file `name` (after volumeName) is a regular file that can be opened for
// reading, found without waiting on a named pipe and without a message. "NULL" and the
// empty name, which stand for a result the session does not hold, never can.
bool StoredFileReadable(const char* name);

// True when a result flag of the track file is on and its file can be read: a flag is set as the
// analyses write their files, but the file may be gone, never written, or named by another run.
// Whatever reads a stored result offers it, and reads it, only then.
bool StoredResult(int flag, const char* name);

// Number of members of stored OTU partition k in the track file: the entry of rcst for the
// partition's level, kept within the OTU count; 0 when the level is not a level of the data.
int OtuPartitionSize(int k);

#endif
