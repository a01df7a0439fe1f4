#pragma once
// Index paths as table and collection views use them: a section and a row
// (tables) or item (collections), the same number under two names. A value,
// ordered section first, so it can key maps and sort.

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace ui {

struct IndexPath {
    int64_t section = 0;
    int64_t row = 0;

    static constexpr IndexPath forRow(int64_t row, int64_t section) { return {section, row}; }
    static constexpr IndexPath forItem(int64_t item, int64_t section) { return {section, item}; }

    constexpr int64_t item() const { return row; }

    friend constexpr bool operator==(const IndexPath&, const IndexPath&) = default;
    friend constexpr auto operator<=>(const IndexPath&, const IndexPath&) = default;
};

// "<NSIndexPath: 0x0> {length = 2, path = 0 - 3}" without the address:
// "{length = 2, path = 0 - 3}".
std::string toString(const IndexPath& path);
std::ostream& operator<<(std::ostream& os, const IndexPath& path);

}  // namespace ui
