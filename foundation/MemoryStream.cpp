// A text composed in memory through a checked stdio stream.
#include "foundation/MemoryStream.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/TnxError.h"

namespace {

// The first block of a stream; each growth doubles it.
const size_t kFirstBlock = 512;

}  // namespace

// The stream's functions, which the C library calls with the MemoryStream as their cookie.
struct MemoryStreamIo {
    static ssize_t Write(void* cookie, const char* buf, size_t len) {
        MemoryStream& s = *static_cast<MemoryStream*>(cookie);
        // After a refusal every write fails, even one that would fit: the text stops where the
        // first refused write would have started.
        if (s.refused_) return 0;
        const size_t end = s.at_ + len;
        if (end < s.at_ || end == SIZE_MAX || !s.Reserve(end + 1)) {
            s.refused_ = true;
            return 0;  // fewer bytes than asked: the library sets the error flag and fails the call
        }
        std::memcpy(s.data_ + s.at_, buf, len);
        s.at_ = end;
        if (end > s.size_) {
            s.size_ = end;
            s.data_[end] = '\0';
        }
        return static_cast<ssize_t>(len);
    }

    // Positions within the text, its end included (ftell asks for the current one).
    static int Seek(void* cookie, off64_t* offset, int whence) {
        MemoryStream& s = *static_cast<MemoryStream*>(cookie);
        off64_t base;
        switch (whence) {
            case SEEK_SET: base = 0; break;
            case SEEK_CUR: base = static_cast<off64_t>(s.at_); break;
            case SEEK_END: base = static_cast<off64_t>(s.size_); break;
            default: errno = EINVAL; return -1;
        }
        if (*offset < -base || *offset > static_cast<off64_t>(s.size_) - base) {
            errno = EINVAL;
            return -1;
        }
        s.at_ = static_cast<size_t>(base + *offset);
        *offset = static_cast<off64_t>(s.at_);
        return 0;
    }
};

MemoryStream::~MemoryStream() { Drop(); }

bool MemoryStream::Reserve(size_t need) {
    if (need <= capacity_) return true;
    // Doubling keeps the copies few. When the allocator refuses the double, the exact need is
    // asked for, so that a refusal means that the text itself found no room.
    size_t grown = capacity_ < kFirstBlock ? kFirstBlock : capacity_ <= SIZE_MAX / 2 ? 2 * capacity_ : need;
    if (grown < need) grown = need;
    void* block = std::realloc(data_, grown);
    if (!block && grown > need) block = std::realloc(data_, grown = need);
    if (!block) return false;
    data_ = static_cast<char*>(block);
    capacity_ = grown;
    return true;
}

bool MemoryStream::Open() {
    Drop();
    static const cookie_io_functions_t io = {nullptr, MemoryStreamIo::Write, MemoryStreamIo::Seek, nullptr};
    f_ = fopencookie(this, "w", io);
    if (!f_) return false;
    std::setvbuf(f_, nullptr, _IONBF, 0);
    return true;
}

FILE* MemoryStream::OpenOrRaise() {
    if (!Open()) RaiseError(TNX_OUT_OF_MEMORY);
    return f_;
}

MemoryStream::Closing MemoryStream::Close() {
    if (f_) {
        // The error flag without a refusal is another failure; fclose is not what decides.
        if (std::ferror(f_) && !refused_) failed_ = true;
        if (std::fclose(f_) != 0 && !refused_) failed_ = true;
        f_ = nullptr;
    }
    return refused_ ? kRefused : failed_ ? kFailed : kWhole;
}

void MemoryStream::CloseOrRaise() {
    switch (Close()) {
        case kRefused: RaiseError(TNX_OUT_OF_MEMORY);
        case kFailed: RaiseError(TNX_FAIL_TO_PRINT);
        case kWhole: break;
    }
}

void MemoryStream::Drop() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = at_ = 0;
    refused_ = failed_ = false;
}
