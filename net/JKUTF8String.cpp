#include "net/JKUTF8String.h"

#include <cstring>

namespace {

// UTF-16 units of well-formed UTF-8: one per byte that is not a continuation
// byte (10xxxxxx), one more per four-byte lead (11110xxx). Eight bytes are
// counted at a time: results can be as long as a whole document.
// The number of bytes of `x` whose bit 7 is set, when no other bit is: the
// multiply adds the bytes into the top one. Cheaper than a popcount call on
// builds without the instruction.
uint64_t highBitCount(uint64_t x) { return ((x >> 7) * 0x0101010101010101ull) >> 56; }

uint64_t utf16Length(const std::string& utf8, bool& ascii) {
    constexpr uint64_t highs = 0x8080808080808080ull;
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t n = utf8.size();
    uint64_t continuations = 0, fourByteLeads = 0, any = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        any |= w;
        if (!(w & highs)) continue;
        // Bit 7 of each byte: set for continuation bytes, then for 1111xxxx.
        continuations += highBitCount(w & ~(w << 1) & highs);
        fourByteLeads += highBitCount(w & (w << 1) & (w << 2) & (w << 3) & highs);
    }
    for (; i < n; ++i) {
        const uint8_t b = p[i];
        any |= b;
        continuations += (b & 0xC0) == 0x80;
        fourByteLeads += b >= 0xF0;
    }
    ascii = (any & highs) == 0;
    return n - continuations + fourByteLeads;
}

}  // namespace

JKUTF8String::JKUTF8String(const uint8_t* bytes, size_t length) {
    utf8_.assign(reinterpret_cast<const char*>(bytes), length);
    length16_ = utf16Length(utf8_, ascii_);
}

JKUTF8String::JKUTF8String(std::string utf8) {
    utf8_ = std::move(utf8);
    length16_ = utf16Length(utf8_, ascii_);
}
