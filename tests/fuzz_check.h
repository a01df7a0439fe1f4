#pragma once
// A fuzz target's own checks. The fuzz runs close the target's stderr (the
// product's log writes a line for many an input), so a broken check is
// reported where the sanitizers report, beside libFuzzer's own lines.

#include <sanitizer/common_interface_defs.h>

#include <cstdlib>
#include <string>

namespace fuzz {

inline void check(bool condition, const char* target, const char* what) {
    if (condition) return;
    const std::string line = std::string(target) + ": " + what;
    __sanitizer_report_error_summary(line.c_str());
    std::abort();
}

}  // namespace fuzz
