#include "net/JKUTF8String.h"

namespace {

// UTF-16 units of well-formed UTF-8: one per byte that is not a continuation
// byte, one more per four-byte sequence. Branch-free so the compiler can
// vectorise it; text from the codec is long enough for that to matter.
uint64_t utf16Length(const std::string& utf8, bool& ascii) {
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t n = utf8.size();
    uint64_t units = 0;
    uint8_t any = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = p[i];
        units += ((b & 0xC0) != 0x80) + (b >= 0xF0);
        any |= b;
    }
    ascii = any < 0x80;
    return units;
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
