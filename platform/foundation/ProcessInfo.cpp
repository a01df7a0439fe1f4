#include "platform/foundation/ProcessInfo.h"

#include <atomic>
#include <thread>

namespace ns {

namespace {
std::atomic<int> overrideCount{0};
}

int ProcessInfo::activeProcessorCount() {
    if (int count = overrideCount.load()) return count;
    unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : int(cores);
}

void ProcessInfo::setActiveProcessorCountForTesting(int count) { overrideCount = count < 0 ? 0 : count; }

}  // namespace ns
