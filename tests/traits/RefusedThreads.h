// Thread starts that the system refuses, for the tests of the loops that share their work: while a
// RefusedThreads lives, every start after the first `allowed` fails with EAGAIN, as pthread_create
// fails when the system has no room for another thread (std::thread then throws system_error).
#pragma once

class RefusedThreads {
public:
    explicit RefusedThreads(int allowed);
    ~RefusedThreads();
    RefusedThreads(const RefusedThreads&) = delete;
    RefusedThreads& operator=(const RefusedThreads&) = delete;
    // The starts refused since this object was made.
    int Refused() const;
};
