// Result files written whole or not at all: a text composed in memory (MemoryReport) and put
// in place in one step (PutWhole), so that an error half-way leaves the file as it was.
#ifndef TNXWHOLE_H
#define TNXWHOLE_H

#include <cstddef>
#include <cstdio>

#include "foundation/MemoryStream.h"

// A report composed in memory: a stream that every printer can write to, every write checked
// (MemoryStream). Memory refused, for the stream or for a write, takes the out-of-memory road
// (code 1): a report cut short is never put in a file.
class MemoryReport {
public:
    // A stream that memory refuses raises code 1.
    MemoryReport() { text_.OpenOrRaise(); }
    MemoryReport(const MemoryReport&) = delete;
    MemoryReport& operator=(const MemoryReport&) = delete;
    FILE* stream() const { return text_.stream(); }
    // Closes the stream; the text stays readable through data() and size(). A write that memory
    // refused raises code 1; false for another failure of the stream.
    bool Close();
    const char* data() const { return text_.data(); }
    size_t size() const { return text_.size(); }

private:
    MemoryStream text_;
};

// Puts the text in the file dir + name whole or not at all. Mode "w": the text goes to a
// temporary file beside the target that replaces it once written and closed. Mode "a": the
// text is appended and, on a failed write, the file is cut back to its former length. A file
// that cannot be opened raises code 4 (after the opener's message), a failed write code 3 (after
// "\ncan't write <dir + name>: <the system's reason> \n"). While a run is under way (RunFiles),
// the text goes to the run's set instead, replacing or appended to the file when the run's files
// are put in place together.
void PutWhole(const char* dir, const char* name, const char* mode, const char* text, size_t size);

// Closes the report and puts its text in place as above; a report whose write memory refused
// raises code 1, one whose stream failed otherwise code 3 (RaiseUnwritten), and neither touches a
// file.
void PutWhole(const char* dir, const char* name, const char* mode, MemoryReport& report);

// The end of a report whose stream failed other than by a refusal of memory: the text is not
// whole, and the file dir + name is not written. "\ncan't write <dir + name>: Input/output error
// \n" (the stream gives no reason of its own), then code 3.
[[noreturn]] void RaiseUnwritten(const char* dir, const char* name);

#endif
