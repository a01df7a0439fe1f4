#pragma once
// UTF-8 / UTF-16 conversions behind ns::String.
//
// Strings store WTF-8: well-formed UTF-8, except that a UTF-16 surrogate that
// has no partner is kept as its own three-byte sequence (ED A0..BF xx). That
// keeps text made from arbitrary UTF-16 lossless, while a proper pair is
// always stored as one four-byte sequence, so equal text has equal bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ns::unicode {

inline constexpr char32_t Replacement = 0xFFFD;

inline bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
inline bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decodes the code point at `i` of WTF-8 text (which must be well formed, as
// String keeps it) and returns the index after it.
size_t next(std::string_view s, size_t i, char32_t& cp);
// The number of UTF-16 units of one code point.
inline unsigned utf16Width(char32_t cp) { return cp >= 0x10000 ? 2 : 1; }

// Appends a code point; surrogates are written as their three-byte form.
void append(std::string& out, char32_t cp);

// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// Brings arbitrary bytes into WTF-8: each ill-formed sequence becomes U+FFFD
// and a surrogate pair written as two three-byte sequences is joined.
// Returns false (leaving `out` untouched) when the input already is WTF-8.
bool normalize(std::string_view bytes, std::string& out);

// Counts UTF-16 units of WTF-8 text; `ascii` tells whether every byte < 0x80.
uint64_t utf16Length(std::string_view wtf8, bool* ascii = nullptr);

std::u16string toUtf16(std::string_view wtf8);
std::string fromUtf16(std::u16string_view units);

// True when the text holds a surrogate without its partner (not expressible
// in UTF-8).
bool hasLoneSurrogate(std::string_view wtf8);

// Code points that attach to the one before them in a composed character
// sequence (combining marks, variation selectors, emoji modifiers, tags).
bool isExtender(char32_t cp);
inline bool isRegionalIndicator(char32_t cp) { return cp >= 0x1F1E6 && cp <= 0x1F1FF; }
inline constexpr char32_t ZeroWidthJoiner = 0x200D;

}  // namespace ns::unicode
