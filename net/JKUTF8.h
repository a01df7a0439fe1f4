#pragma once
// UTF-8 to code points and back, with the codec's own idea of which code
// points may appear in text, shared by the decoder and the encoder.

#include <cstddef>
#include <cstdint>

enum JKConversionResult : int {
    JKConversionOK = 0,
    JKConversionSourceExhausted = 1,  // the sequence runs past the end of the input
    JKConversionSourceIllegal = 3,    // ill-formed, or a code point that is not allowed
};

inline constexpr uint32_t JKReplacementCharacter = 0xFFFD;

// Not U+0000, not a surrogate, not U+FDD0..U+FDEF, and not a code point (up
// to U+10FFFF) whose low 16 bits are FFFE or FFFF.
inline bool JKIsAllowedCodePoint(uint32_t c) {
    if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF)) return false;
    if (c <= 0x10FFFF && (c & 0xFFFE) == 0xFFFE) return false;
    return true;
}

struct JKUTF8Sequence {
    const uint8_t* next;  // just after the bytes consumed
    uint32_t codePoint;   // U+FFFD unless the result is JKConversionOK
    JKConversionResult result;
};

// Decodes the one sequence starting at `p` (p < end). An ill-formed sequence
// consumes at most the bytes its lead byte announces, so it costs one U+FFFD.
JKUTF8Sequence JKDecodeUTF8Sequence(const uint8_t* p, const uint8_t* end);

// Writes the UTF-8 form of a code point (U+FFFD for one that is not allowed
// or is above U+10FFFF) and returns the bytes written, or 0, writing
// nothing, when they would pass `end`.
size_t JKEncodeCodePoint(uint32_t codePoint, uint8_t* out, const uint8_t* end);
