// A result file of the simulator written whole or not at all: the text goes to a temporary
// file beside the target, which replaces the target only when everything was written.
#ifndef TNXSIMFILE_H
#define TNXSIMFILE_H

#include <cstdio>
#include <string>

#include "foundation/TnxError.h"
#include "foundation/qwlibDim.h"

class SimResultFile {
public:
    SimResultFile() = default;
    ~SimResultFile() { Discard(); }
    SimResultFile(const SimResultFile&) = delete;
    SimResultFile& operator=(const SimResultFile&) = delete;

    // Starts the file; one that cannot be created raises code 4 after the opener's message.
    FILE* Open(const char* target) {
        Discard();
        target_ = target;
        temp_ = target_ + ".part";
        f_ = fopenck(temp_.c_str(), nullptr, "w");
        if (!f_) RaiseError(TNX_FAIL_TO_OPEN);
        return f_;
    }
    FILE* Get() const { return f_; }
    // Replaces the target with what was written: code 3 when a write failed, 4 when the
    // target cannot be replaced.
    void Commit() {
        if (!f_) return;
        bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
        ok = std::fclose(f_) == 0 && ok;
        f_ = nullptr;
        if (!ok) {
            std::remove(temp_.c_str());
            RaiseError(TNX_FAIL_TO_PRINT);
        }
        if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
            std::remove(temp_.c_str());
            RaiseError(TNX_FAIL_TO_OPEN);
        }
    }
    // Drops an unfinished file (an error left the run).
    void Discard() {
        if (!f_) return;
        std::fclose(f_);
        f_ = nullptr;
        std::remove(temp_.c_str());
    }

private:
    std::string target_, temp_;
    FILE* f_ = nullptr;
};

#endif
