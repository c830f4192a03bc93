// Preferences: the settings that hold across sessions, kept in the file "TARNEX.prf" of the
// current directory.
#ifndef TNXIF2_H
#define TNXIF2_H

// Reads the preferences file. A missing file, or one whose first word is not the version
// word, leaves the defaults; so does one that cannot be opened, or is no regular file, after
// the message "\ncan't open TARNEX.prf: <reason> \n" and the bell (a named pipe is refused at
// once). A value outside the range its item accepts is replaced by the item's default. A file
// cut short raises code 2 after "\nfile TARNEX.prf ".
void ReadPreferences();

// The "PREFERENCES" dialog; writes the file when it is left. Returns what WritePreferences
// returns.
int SetPreferences();

// Writes the preferences file (by way of a temporary file renamed over the old one).
// Returns 0 when it was written; 1 when it could not be created (a message on standard
// error; the values stay in memory). A failed write or close raises code 3 after "\ncan't write
// TARNEX.prf: <the system's reason> \n".
int WritePreferences();

#endif
