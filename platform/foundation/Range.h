#pragma once
// Ranges and orderings shared by text, numbers and collections. Locations and
// lengths of text ranges count UTF-16 units.

#include <cstdint>

namespace ns {

struct Range {
    uint64_t location = 0;
    uint64_t length = 0;
    static constexpr uint64_t NotFound = INT64_MAX;
    bool found() const { return location != NotFound; }
    uint64_t end() const { return location + length; }
    bool operator==(const Range&) const = default;
};

inline constexpr uint64_t NotFound = Range::NotFound;

enum class ComparisonResult : int { Ascending = -1, Same = 0, Descending = 1 };

}  // namespace ns
