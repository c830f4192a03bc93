// Error codes of the session loop.
//
// A routine that meets an error it cannot mend raises one of these codes; the exception
// travels up to the recovery point of the session loop, which prints the code's message and
// ends the program (or, for code 5, returns to the main menu). Destructors of the frames in
// between run, so nothing is left half-written behind a C++ object.
#ifndef TNX_ERROR_H
#define TNX_ERROR_H

#include <exception>

enum TnxErrorCode {
    TNX_OUT_OF_MEMORY = 1,   // an allocation failed
    TNX_END_OF_FILE = 2,     // end of input, or a value that cannot be read
    TNX_FAIL_TO_PRINT = 3,   // a write to a file failed
    TNX_FAIL_TO_OPEN = 4,    // a file that cannot be opened
    TNX_TRANSLATION = 5,     // a data-translation error of the import
    TNX_SESSION_CHANGED = 6  // the session's data file no longer holds the bytes this run read
};

class TnxError : public std::exception {
public:
    explicit TnxError(int code) : code_(code) {}
    int code() const noexcept { return code_; }
    const char* what() const noexcept override { return "TARNEX error code"; }

private:
    int code_;
};

// Raises error code `code` to the recovery point.
[[noreturn]] inline void RaiseError(int code) { throw TnxError(code); }

#endif
