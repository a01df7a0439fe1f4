#pragma once
// The two byte-level steps every percent escaping shares. Internal to the
// foundation.

#include <string>

namespace ns::detail {

// Appends "%XX" (upper-case hex) for `byte`.
inline void appendPercentEscape(std::string& out, unsigned char byte) {
    static const char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[byte >> 4];
    out += hex[byte & 0xF];
}

// The value of one hex digit, or -1.
inline int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace ns::detail
