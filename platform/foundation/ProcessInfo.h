#pragma once
// Facts about the running process.

#include <cstdint>

namespace ns {

class ProcessInfo {
public:
    // Processor cores available to the process (at least 1).
    static int activeProcessorCount();
    // For tests, which must not depend on the machine: a count that
    // activeProcessorCount reports until set back with 0.
    static void setActiveProcessorCountForTesting(int count);

    // Bytes of physical memory in the machine.
    static uint64_t physicalMemory();
    // Bytes of memory free right now (free pages x page size); -1 when the
    // system does not say.
    static int64_t freeMemory();
    // For tests: the figures the two report until set back with
    // UnsetForTesting. A free-memory figure of -1 stands for the system's
    // failure to say.
    static constexpr int64_t UnsetForTesting = INT64_MIN;
    static void setPhysicalMemoryForTesting(int64_t bytes);
    static void setFreeMemoryForTesting(int64_t bytes);
};

}  // namespace ns
