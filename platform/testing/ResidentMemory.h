#pragma once
// The process's resident memory, for tests that bound what a piece of work
// costs: the resident set now, and its peak since the last reset.

#include <cstddef>
#include <cstdint>

#include "platform/runtime/AddressSanitizer.h"

namespace testing {

// Whether peaks tell what the product costs: a sanitizer build keeps freed
// blocks and pads every allocation, so its peaks are not the product's.
inline constexpr bool PeaksMeasureTheProduct = !rt::AddressSanitized;

uint64_t residentBytes();
// How many of the whole pages inside `length` bytes from `bytes` are
// resident: none of a range no longer mapped.
size_t residentPagesInside(const void* bytes, size_t length);
// The peak of the resident set since the last resetResidentPeak().
uint64_t residentPeakBytes();
// Starts the peak again from the resident set now; false where the system
// does not allow it.
bool resetResidentPeak();

// The peak growth of the resident set while it lives, over what was
// resident when it began.
class ResidentPeak {
public:
    ResidentPeak();
    bool started() const { return started_; }
    // Peak minus the resident set at the start.
    uint64_t growth() const;

private:
    bool started_;
    uint64_t before_;
};

}  // namespace testing
