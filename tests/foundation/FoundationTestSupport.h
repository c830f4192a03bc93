// Helpers of the foundation tests: capture of standard output and error at the level of
// the file descriptors, and input streams made from text.
#ifndef TNX_FOUNDATION_TEST_SUPPORT_H
#define TNX_FOUNDATION_TEST_SUPPORT_H

#include <unistd.h>

#include <cstdio>
#include <string>

// Redirects file descriptor 1 or 2 to a temporary file until Stop() (or destruction).
class FdCapture {
public:
    explicit FdCapture(int fd) : fd_(fd) {
        fflush(stdout);
        fflush(stderr);
        file_ = tmpfile();
        saved_ = dup(fd_);
        dup2(fileno(file_), fd_);
    }
    ~FdCapture() {
        Stop();
        fclose(file_);
    }
    // Restores the descriptor and returns everything written meanwhile.
    std::string Stop() {
        if (!stopped_) {
            fflush(stdout);
            fflush(stderr);
            dup2(saved_, fd_);
            close(saved_);
            stopped_ = true;
            rewind(file_);
            int c;
            while ((c = fgetc(file_)) != EOF) text_ += static_cast<char>(c);
        }
        return text_;
    }

private:
    int fd_;
    int saved_ = -1;
    FILE* file_ = nullptr;
    bool stopped_ = false;
    std::string text_;
};

// Captures standard output and standard error together.
class ConsoleCapture {
public:
    ConsoleCapture() : out_(1), err_(2) {}
    void Stop() {
        out = out_.Stop();
        err = err_.Stop();
    }
    std::string out, err;

private:
    FdCapture out_, err_;
};

// A readable stream holding text; closed on destruction.
class TextStream {
public:
    explicit TextStream(const std::string& text) {
        f = tmpfile();
        fwrite(text.data(), 1, text.size(), f);
        rewind(f);
    }
    ~TextStream() { fclose(f); }
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;
    FILE* f;
};

// An empty writable stream whose contents can be read back.
class SinkStream {
public:
    SinkStream() { f = tmpfile(); }
    ~SinkStream() { fclose(f); }
    SinkStream(const SinkStream&) = delete;
    SinkStream& operator=(const SinkStream&) = delete;
    std::string Text() {
        fflush(f);
        long pos = ftell(f);
        rewind(f);
        std::string s;
        int c;
        while ((c = fgetc(f)) != EOF) s += static_cast<char>(c);
        fseek(f, pos, SEEK_SET);
        return s;
    }
    FILE* f;
};

// Standard input replaced by text for the lifetime of the object.
class StdinFrom {
public:
    explicit StdinFrom(const std::string& text) : stream_(text) {
        saved_ = stdin;
        stdin = stream_.f;
    }
    ~StdinFrom() { stdin = saved_; }

private:
    TextStream stream_;
    FILE* saved_;
};

#endif
