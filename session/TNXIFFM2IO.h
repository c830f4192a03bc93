// The item readers and number writers of the formatted data file (TNXIFFM2.cpp), shared with
// the writers and readers of its earlier forms (TNXIFFM2OLD.cpp). Every reader raises code 2
// for an item that is missing or cannot be used, after the readers' message naming the file.
#ifndef TNXIFFM2IO_H
#define TNXIFFM2IO_H

#include <cstddef>
#include <cstdio>

namespace formdaio {

// Closes the file it holds when it goes out of scope, also when an error travels through.
class InFile {
public:
    explicit InFile(FILE* f) : f_(f) {}
    ~InFile() {
        if (f_) std::fclose(f_);
    }
    InFile(const InFile&) = delete;
    InFile& operator=(const InFile&) = delete;
    FILE* get() const { return f_; }
    void Close() {
        if (f_) std::fclose(f_);
        f_ = nullptr;
    }

private:
    FILE* f_;
};

// An item that is there but cannot be used: the readers' message, the bell and code 2.
[[noreturn]] void BadItem(const char* fileName);
// A count of 0 or more; a count of 1 or more; a flag 0 or 1.
int ReadCount(FILE* f, const char* name);
int ReadPositiveCount(FILE* f, const char* name);
int ReadFlag(FILE* f, const char* name);
// The size checks before an array of rows x cols items read from the file: code 1 when the
// machine cannot hold it, code 2 when the file cannot hold its items.
void EnsureReadable(FILE* f, long long rows, long long cols, std::size_t elsize, const char* name);
// A label: one word of which the first 10 characters are kept.
void ReadLabel(FILE* f, char* label, const char* name);
// A name field of at most max characters that ends at a TAB or a line end; a longer name is
// cut and the rest of its line passed over; trailing blanks are dropped.
void ReadNameField(FILE* f, int max, char* buf, const char* name);
// One species name: a whole line, cut to 70 characters, the rest of the line passed over.
void ReadSpeciesLine(FILE* f, char* buf, const char* name);
// One character '0' or '1' of a species map; blanks and line ends before it are skipped.
char ReadMapChar(FILE* f, const char* name);

// The fewest significant digits, from 6 on, that read back to the same value.
int FloatDigits(float v);
int DoubleDigits(double v);
// rows x cols values, each followed by a TAB, each row by a line end.
void PutFloatRows(FILE* f, int rows, int cols, float** m);

}  // namespace formdaio

#endif
