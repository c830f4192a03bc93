// Thread starts that the system refuses, for the tests of the loops that share their work: while a
// RefusedThreads lives, every start after the first `allowed` fails with EAGAIN, as pthread_create
// fails when the system has no room for another thread (std::thread then throws system_error).
#pragma once

#include <functional>

class RefusedThreads {
public:
    explicit RefusedThreads(int allowed);
    ~RefusedThreads();
    RefusedThreads(const RefusedThreads&) = delete;
    RefusedThreads& operator=(const RefusedThreads&) = delete;
    // The starts refused since this object was made.
    int Refused() const;
};

// While a LimitAtFirstStart lives, the first thread start lowers the address-space limit of the
// process to what it uses then plus `headroom` bytes before the thread is created (for a child
// process: the limit cannot be raised again): the thread starts, and memory it asks for beyond
// the headroom is refused.
class LimitAtFirstStart {
public:
    explicit LimitAtFirstStart(unsigned long headroom);
    ~LimitAtFirstStart();
    LimitAtFirstStart(const LimitAtFirstStart&) = delete;
    LimitAtFirstStart& operator=(const LimitAtFirstStart&) = delete;
};

// While a HeldAtFirstStart lives, the first thread start makes the thread and then waits until its
// routine has returned before it runs `then` and returns: the started thread does alone whatever
// its loop shares with the starting thread, which stands still meanwhile. Started() says whether
// a start was held.
class HeldAtFirstStart {
public:
    explicit HeldAtFirstStart(std::function<void()> then = {});
    ~HeldAtFirstStart();
    HeldAtFirstStart(const HeldAtFirstStart&) = delete;
    HeldAtFirstStart& operator=(const HeldAtFirstStart&) = delete;
    bool Started() const;
};
