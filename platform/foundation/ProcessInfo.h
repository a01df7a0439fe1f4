#pragma once
// Facts about the running process.

namespace ns {

class ProcessInfo {
public:
    // Processor cores available to the process (at least 1).
    static int activeProcessorCount();
    // For tests, which must not depend on the machine: a count that
    // activeProcessorCount reports until set back with 0.
    static void setActiveProcessorCountForTesting(int count);
};

}  // namespace ns
