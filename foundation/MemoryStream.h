// A text composed in memory through a stdio stream whose every write is checked (ReplacingWriter.h
// puts such a text in a file, or at its end, whole or not at all).
//
// The C library's memory stream (open_memstream) cannot be trusted with a text that must be whole:
// when its block cannot grow, later writes fail without setting the stream's error flag, and its
// fclose still reports success. MemoryStream grows its own block instead: a write it finds no room
// for fails at once (the stdio call returns its error and the error flag is set), every write after
// it fails too, so that the text never holds a hole, and Close says that the text was cut short.
#ifndef TNX_MEMORY_STREAM_H
#define TNX_MEMORY_STREAM_H

#include <cstddef>
#include <cstdio>

class MemoryStream {
public:
    MemoryStream() = default;
    ~MemoryStream();  // closes the stream and frees the text
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    // Opens the stream afresh, the text held before dropped; false when memory refuses the stream.
    // Each write reaches the block at once (the stream is unbuffered), so the write that finds no
    // room is the one that fails.
    bool Open();
    // Opens as above; a refusal raises code 1 (out of memory).
    FILE* OpenOrRaise();
    FILE* stream() const { return f_; }  // nullptr when not open

    // Whether memory refused a write since the stream was opened.
    bool Refused() const { return refused_; }

    // Closes the stream (a stream not open stays so) and says what the text is: kWhole when every
    // write was taken whole, kRefused when memory refused a write (the text stops before it),
    // kFailed for another error of the stream. The text stays readable through data() and size()
    // until the next Open or Drop.
    enum Closing { kWhole, kRefused, kFailed };
    Closing Close();
    // Closes as above; a refused write raises code 1, another failure code 3 (failed write).
    void CloseOrRaise();
    // Closes the stream and frees the text.
    void Drop();

    const char* data() const { return data_ ? data_ : ""; }  // ends with a '\0' past size()
    size_t size() const { return size_; }

private:
    friend struct MemoryStreamIo;
    // Makes room for `need` bytes, text and its closing '\0'; false when the allocator refuses.
    bool Reserve(size_t need);

    FILE* f_ = nullptr;
    char* data_ = nullptr;
    size_t size_ = 0;      // the text's length
    size_t capacity_ = 0;  // the block's
    size_t at_ = 0;        // where the next write goes (a seek may move it back)
    bool refused_ = false;
    bool failed_ = false;
};

#endif
