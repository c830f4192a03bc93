// CPUs the tests of the threaded loops claim for the process: while a ClaimedCpus lives, the
// process's affinity mask reads as the first `count` CPUs, whatever the machine has, so that a
// loop runs the number of threads a test asks for on a machine with fewer cores.
#pragma once

class ClaimedCpus {
public:
    explicit ClaimedCpus(int count);
    ~ClaimedCpus();
    ClaimedCpus(const ClaimedCpus&) = delete;
    ClaimedCpus& operator=(const ClaimedCpus&) = delete;

private:
    int previous_;
};
