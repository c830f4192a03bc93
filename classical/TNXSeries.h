// Pieces shared by the analyses of community series (interpolation, diversity, complexity and
// velocity of change, their profile, Markov models): the choice of the environmental variable
// that holds the time (or spatial) position of each community, whole-number answers, the whole
// writing of session files and of the report section they append, and the closing message.
#ifndef TNXSERIES_H
#define TNXSERIES_H

#include <cstdio>
#include <string>
#include <utility>

#include "foundation/MemoryStream.h"
#include "foundation/ReplacingWriter.h"
#include "foundation/qwlibDim.h"
#include "session/model/TNXGLOB.h"

// 1 once a time (or spatial) variable was chosen in this run of the program: only then does
// "end" keep the variable chosen before (whichEnv).
extern int timeVariableChosen;

// Why environmental variable k (0-based) cannot serve as a scale, or null when it can.
using ScaleCheck = const char* (*)(int k);
// Every community has a value (no -999).
const char* ScaleWithoutMissing(int k);
// Every value is present and a whole number, and no value is smaller than the one before.
const char* ScaleWholeIncreasing(int k);

// The number of environmental variables that pass `check`.
int UsableScaleVariables(ScaleCheck check);

// True when some environmental variable passes `check`; otherwise the bell and, on standard
// error, "\nNo environmental variable: there is no time (or spatial) scale.\n" (none at all) or
// "\nNo environmental variable can be taken as time (or spatial) scale.\n".
bool TimeVariableAvailable(ScaleCheck check);

// The dialog of the time (or spatial) variable: `intro` and the labels ("%3s\t"), `prompt`, one
// word. A label (compared whole) that passes `check` sets whichEnv; "end" keeps whichEnv when a
// variable was chosen before and it still passes; anything else gets "\nError!! Enter again. \n"
// on standard error and the question again; a variable that fails `check` gets
// "\nVariable %s %s: it cannot be taken as scale. Enter again. \n" (label, reason) and the
// question again. Returns false, without asking, when TimeVariableAvailable is false.
bool AskTimeVariable(const char* intro, const char* prompt, ScaleCheck check);

// A whole number from lo to hi (echoed "%g\n"); a number that is not whole is refused with the
// bell, "\nIncorrect input = %g. Reenter.\n" and "Accepted input: whole numbers from %g to %g\n"
// on standard error, and asked again.
double ReadWholeNumber(double lo, double hi);

// A section appended to a report whole: the report's former text and the section go to a
// temporary file that replaces the report once everything is written. A report that cannot be
// written raises code 4 (cannot be opened or replaced) or 3 (a failed write, or its former text
// that cannot be read, named with the system's reason); the report stays as it was. While a run
// is under way (RunFiles), the section alone is composed in memory and Commit gives it to the
// run's set, which appends it with the run's other files (memory refused for the section is code
// 1).
class ReportSection {
public:
    explicit ReportSection(const char* name);
    FILE* Stream() const { return f_; }
    void Commit();

private:
    ReplacingWriter writer_;
    ReplacingSet* run_;
    MemoryStream section_;
    FILE* f_;
};

// The opening of a report section: the rule line, the title (with its newline), the rule line
// and the time stamp; a blank line first when `blankFirst`.
void SectionHead(FILE* f, const char* title, bool blankFirst);

// volumeName + name written whole by `write(FILE*)` (RunFileWriter): code 4 when it cannot be
// created, 3 on a failed write (after the message naming the file and the system's reason); a
// former file stays as it was.
template <class F>
void WriteWhole(const char* name, F write) {
    RunFileWriter w(std::string(volumeName) + name);
    write(w.OpenOrRaise());
    w.CommitOrExplain();
}

// The end of an analysis that appended to the report: the console line cleared,
// "\n\nResults appended to file %s%s\n" (volume, name) and the wait for the return key unless a
// macro runs.
void ResultsAppended(const char* name);

// A rows x cols table from the foundation's allocators (zero-filled), or one adopted from a
// reader, released when it goes out of scope (also when an error code travels through).
template <class T>
class OwnedTable {
public:
    OwnedTable(int rows, int cols) : m_(reinterpret_cast<T**>(dim2D(sizeof(T), rows, cols))), rows_(rows) {}
    OwnedTable(T** adopted, int rows) : m_(adopted), rows_(rows) {}
    ~OwnedTable() { free2D(m_, rows_); }
    OwnedTable(const OwnedTable&) = delete;
    OwnedTable& operator=(const OwnedTable&) = delete;
    T** get() const { return m_; }
    T* operator[](int i) const { return m_[i]; }

private:
    T** m_;
    int rows_;
};

// Level `level` (1-based) of the session's intermediate file (whichHier) as a table of ncsm
// communities (in reverse order when `reversed`) by *types types; the level's type count also
// goes to rcst. Release with free2D(table, ncsm).
float** ReadLevelByCommunity(int level, int* types);
double** ReadLevelByCommunityDouble(int level, int* types, bool reversed);

// Seeds the C library's generator and the shared one with rseed, which is first set from the
// clock when seedOpt is 1.
void SeedGenerators();

// The track file keeps the new result flags (through the writer the session installs).
void RewriteTrack();

// printf into a string (at most 511 characters).
std::string FormatText(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The bell and the message on standard error.
void Refuse(const char* message);

// True when the stored result `what` can be read from its session file `name`; otherwise one
// line says so ("This session holds no readable <what>.", with the bell) and the handler that
// asks returns before it has changed anything. Every handler that reads a stored file asks first.
bool StoredOrRefused(const char* name, const char* what);
// The same for the stored community resemblances of `type` (1 nominal, 2 partial, 3 their
// probabilities).
bool StoredResemblancesOrRefused(int type);

#endif
