#include "platform/testing/ResidentMemory.h"

#include <cstring>
#include <fstream>
#include <string>

namespace testing {

namespace {

// A line of /proc/self/status such as "VmRSS:   1234 kB", in bytes.
uint64_t statusField(const char* name) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name, 0) == 0) return std::stoull(line.substr(std::strlen(name))) * 1024;
    }
    return 0;
}

}  // namespace

uint64_t residentBytes() { return statusField("VmRSS:"); }

uint64_t residentPeakBytes() { return statusField("VmHWM:"); }

bool resetResidentPeak() { return bool(std::ofstream("/proc/self/clear_refs") << "5"); }

ResidentPeak::ResidentPeak() : started_(resetResidentPeak()), before_(residentBytes()) {}

uint64_t ResidentPeak::growth() const {
    uint64_t peak = residentPeakBytes();
    return peak > before_ ? peak - before_ : 0;
}

}  // namespace testing
