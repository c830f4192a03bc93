// Result files written whole or not at all: a text composed in memory (MemoryReport) and put
// in place in one step (PutWhole), so that an error half-way leaves the file as it was.
#ifndef TNXWHOLE_H
#define TNXWHOLE_H

#include <cstddef>
#include <cstdio>
#include <cstdlib>

// A report composed in memory: a stream that every printer can write to.
class MemoryReport {
public:
    MemoryReport() : f_(open_memstream(&data_, &size_)) {}
    ~MemoryReport() {
        if (f_) fclose(f_);
        std::free(data_);
    }
    MemoryReport(const MemoryReport&) = delete;
    MemoryReport& operator=(const MemoryReport&) = delete;
    FILE* stream() const { return f_; }
    // Closes the stream; the text stays readable through data() and size().
    bool Close() {
        const bool ok = f_ && fclose(f_) == 0;
        f_ = nullptr;
        return ok;
    }
    const char* data() const { return data_; }
    size_t size() const { return size_; }

private:
    char* data_ = nullptr;
    size_t size_ = 0;
    FILE* f_ = nullptr;
};

// Puts the text in the file dir + name whole or not at all. Mode "w": the text goes to a
// temporary file beside the target that replaces it once written and closed. Mode "a": the
// text is appended and, on a failed write, the file is cut back to its former length. A file
// that cannot be opened raises code 4 (after the opener's message), a failed write code 3.
void PutWhole(const char* dir, const char* name, const char* mode, const char* text, size_t size);

// Closes the report and puts its text in place as above; a report whose stream failed is a
// failed write (code 3) and touches no file.
void PutWhole(const char* dir, const char* name, const char* mode, MemoryReport& report);

#endif
