#include "platform/testing/ResidentMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

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

size_t residentPagesInside(const void* bytes, size_t length) {
    const auto page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<uintptr_t>(bytes);
    const uintptr_t first = (start + page - 1) / page * page, end = (start + length) / page * page;
    if (end <= first) return 0;
    std::vector<unsigned char> resident((end - first) / page);
    if (::mincore(reinterpret_cast<void*>(first), end - first, resident.data()) != 0) return 0;
    return size_t(std::count_if(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; }));
}

uint64_t residentPeakBytes() { return statusField("VmHWM:"); }

bool resetResidentPeak() { return bool(std::ofstream("/proc/self/clear_refs") << "5"); }

ResidentPeak::ResidentPeak() : started_(resetResidentPeak()), before_(residentBytes()) {}

uint64_t ResidentPeak::growth() const {
    uint64_t peak = residentPeakBytes();
    return peak > before_ ? peak - before_ : 0;
}

}  // namespace testing
