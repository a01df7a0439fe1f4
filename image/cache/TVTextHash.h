#pragma once
// A hash for maps keyed by text that are looked up by std::string_view
// (with std::equal_to<>), so a lookup builds no string.

#include <functional>
#include <string_view>

struct TVTextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
