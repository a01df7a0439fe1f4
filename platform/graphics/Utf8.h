#pragma once
// Code-point reading for the text code of this folder. Malformed bytes read
// as U+FFFD one byte at a time, so measuring never fails.

#include <cstddef>
#include <string_view>

namespace cg::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// The code point at `pos`, advancing `pos` past it. `pos` must be < size.
char32_t next(std::string_view text, size_t& pos);

}  // namespace cg::utf8
