#include "net/JKUTF8.h"

#include <bit>

namespace {

// Following bytes announced by a lead byte: its run of 1 bits after the top
// bit; FF announces an impossible 32 so that it can never be well-formed.
unsigned followingBytes(uint8_t lead) {
    if (lead < 0xC0) return 0;
    if (lead == 0xFF) return 32;
    return static_cast<unsigned>(std::countl_one(static_cast<uint8_t>(lead << 1)));
}

bool inRange(uint8_t b, uint8_t lo, uint8_t hi) { return b >= lo && b <= hi; }

// The well-formed byte sequences of the Unicode Standard (table 3-7).
bool wellFormed(const uint8_t* p, unsigned n) {
    const uint8_t b0 = p[0];
    switch (n) {
        case 0:
            return b0 < 0x80;
        case 1:
            return inRange(b0, 0xC2, 0xDF) && inRange(p[1], 0x80, 0xBF);
        case 2: {
            uint8_t lo = 0x80, hi = 0xBF;
            if (b0 == 0xE0) lo = 0xA0;
            else if (b0 == 0xED) hi = 0x9F;
            else if (!inRange(b0, 0xE1, 0xEF)) return false;
            return inRange(p[1], lo, hi) && inRange(p[2], 0x80, 0xBF);
        }
        case 3: {
            uint8_t lo = 0x80, hi = 0xBF;
            if (b0 == 0xF0) lo = 0x90;
            else if (b0 == 0xF4) hi = 0x8F;
            else if (!inRange(b0, 0xF1, 0xF3)) return false;
            return inRange(p[1], lo, hi) && inRange(p[2], 0x80, 0xBF) && inRange(p[3], 0x80, 0xBF);
        }
        default:
            return false;
    }
}

}  // namespace

JKUTF8Sequence JKDecodeUTF8Sequence(const uint8_t* p, const uint8_t* end) {
    const unsigned n = followingBytes(p[0]);
    const bool fits = static_cast<size_t>(end - p) > n;
    if (n <= 3 && fits && wellFormed(p, n)) {
        uint32_t c;
        switch (n) {
            case 0: c = p[0]; break;
            case 1: c = (uint32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F); break;
            case 2: c = (uint32_t(p[0] & 0x0F) << 12) | (uint32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F); break;
            default:
                c = (uint32_t(p[0] & 0x07) << 18) | (uint32_t(p[1] & 0x3F) << 12) | (uint32_t(p[2] & 0x3F) << 6) |
                    (p[3] & 0x3F);
                break;
        }
        if (!JKIsAllowedCodePoint(c)) return {p + n + 1, JKReplacementCharacter, JKConversionSourceIllegal};
        return {p + n + 1, c, JKConversionOK};
    }
    const uint8_t* q = p + 1;
    size_t consumed = 1;
    while (consumed < size_t(n) + 1 && q < end) {
        if ((*q & 0xC0) != 0x80) return {q, JKReplacementCharacter, JKConversionSourceIllegal};
        ++q;
        ++consumed;
    }
    return {q, JKReplacementCharacter, fits ? JKConversionSourceIllegal : JKConversionSourceExhausted};
}

size_t JKEncodeCodePoint(uint32_t c, uint8_t* out, const uint8_t* end) {
    if (c > 0x10FFFF || !JKIsAllowedCodePoint(c)) c = JKReplacementCharacter;
    const size_t n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (static_cast<size_t>(end - out) < n) return 0;
    switch (n) {
        case 1:
            out[0] = static_cast<uint8_t>(c);
            break;
        case 2:
            out[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
            out[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            break;
        case 3:
            out[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
            out[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
            out[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            break;
        default:
            out[0] = static_cast<uint8_t>(0xF0 | (c >> 18));
            out[1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
            out[2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
            out[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            break;
    }
    return n;
}
