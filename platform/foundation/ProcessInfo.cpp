#include "platform/foundation/ProcessInfo.h"

#include <unistd.h>

#include <atomic>
#include <thread>

namespace ns {

namespace {
std::atomic<int> overrideCount{0};
std::atomic<int64_t> overridePhysical{ProcessInfo::UnsetForTesting};
std::atomic<int64_t> overrideFree{ProcessInfo::UnsetForTesting};

int64_t pages(int name) {
    long count = ::sysconf(name);
    long size = ::sysconf(_SC_PAGESIZE);
    if (count < 0 || size <= 0) return -1;
    return int64_t(count) * int64_t(size);
}
}  // namespace

int ProcessInfo::activeProcessorCount() {
    if (int count = overrideCount.load()) return count;
    unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int(cores);
}

void ProcessInfo::setActiveProcessorCountForTesting(int count) { overrideCount = count < 0 ? 0 : count; }

uint64_t ProcessInfo::physicalMemory() {
    int64_t bytes = overridePhysical.load();
    if (bytes == UnsetForTesting) bytes = pages(_SC_PHYS_PAGES);
    return uint64_t(bytes < 0 ? 0 : bytes);
}

int64_t ProcessInfo::freeMemory() {
    int64_t bytes = overrideFree.load();
    if (bytes != UnsetForTesting) return bytes;
    return pages(_SC_AVPHYS_PAGES);
}

void ProcessInfo::setPhysicalMemoryForTesting(int64_t bytes) { overridePhysical = bytes; }
void ProcessInfo::setFreeMemoryForTesting(int64_t bytes) { overrideFree = bytes; }

}  // namespace ns
