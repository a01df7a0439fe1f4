#include "platform/foundation/Unicode.h"

#include <algorithm>
#include <iterator>

namespace ns::unicode {
namespace {

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes one sequence of `bytes` at `i` under the strict rules (optionally
// letting surrogates through). Returns its length, or 0 when ill formed; then
// `consumed` is the length of the maximal ill-formed prefix, replaced by one
// U+FFFD as the Unicode standard recommends.
size_t decode(std::string_view bytes, size_t i, char32_t& cp, bool allowSurrogates, size_t& consumed) {
    const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char b0 = at(i);
    consumed = 1;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED && !allowSurrogates) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    for (size_t k = 1; k < n; ++k) {
        if (i + k >= bytes.size()) return 0;
        unsigned char b = at(i + k);
        if (k == 1 ? (b < lo || b > hi) : !isContinuation(b)) return 0;
        cp = (cp << 6) | (b & 0x3F);
        consumed = k + 1;
    }
    return n;
}

struct CodeRange {
    char32_t lo, hi;
};

// Combining marks of the common scripts, variation selectors, emoji skin-tone
// modifiers, the enclosing keycap and tag characters. Not the full Unicode
// Grapheme_Extend property, but what text in this product meets.
constexpr CodeRange extenders[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0900, 0x0903},
    {0x093A, 0x093C}, {0x093E, 0x094F}, {0x0951, 0x0957}, {0x0962, 0x0963}, {0x0981, 0x0983},
    {0x09BC, 0x09BC}, {0x09BE, 0x09CD}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200C, 0x200C}, {0x20D0, 0x20FF}, {0x302A, 0x302F},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0x1F3FB, 0x1F3FF}, {0xE0020, 0xE007F},
    {0xE0100, 0xE01EF},
};

}  // namespace

size_t next(std::string_view s, size_t i, char32_t& cp) {
    unsigned char b0 = static_cast<unsigned char>(s[i]);
    size_t n = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
    if (b0 < 0x80) {
        cp = b0;
        return i + 1;
    }
    if (i + n > s.size()) {
        cp = Replacement;
        return s.size();
    }
    cp = b0 & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return i + n;
}

void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp <= 0x10FFFF) {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        append(out, Replacement);
    }
}

bool isValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t cp;
        size_t consumed;
        size_t n = decode(bytes, i, cp, false, consumed);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool normalize(std::string_view bytes, std::string& out) {
    // First pass: find the first position needing a change, if any.
    size_t i = 0;
    char32_t pendingHigh = 0;
    for (; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            pendingHigh = 0;
            continue;
        }
        char32_t cp;
        size_t consumed;
        size_t n = decode(bytes, i, cp, true, consumed);
        if (n == 0 || (pendingHigh && isLowSurrogate(cp))) break;
        pendingHigh = isHighSurrogate(cp) ? cp : 0;
        i += n;
    }
    if (i == bytes.size()) return false;

    // Restart from the sequence before a split pair so it can be joined.
    std::string result;
    result.reserve(bytes.size() + 8);
    size_t start = i;
    if (pendingHigh) start -= 3;
    result.append(bytes.substr(0, start));
    i = start;
    while (i < bytes.size()) {
        char32_t cp;
        size_t consumed;
        size_t n = decode(bytes, i, cp, true, consumed);
        if (n == 0) {
            append(result, Replacement);
            i += consumed;
            continue;
        }
        if (isHighSurrogate(cp) && i + 3 < bytes.size()) {
            char32_t low;
            size_t c2;
            if (decode(bytes, i + 3, low, true, c2) == 3 && isLowSurrogate(low)) {
                append(result, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                i += 6;
                continue;
            }
        }
        result.append(bytes.substr(i, n));
        i += n;
    }
    out = std::move(result);
    return true;
}

uint64_t utf16Length(std::string_view wtf8, bool* ascii) {
    uint64_t units = 0;
    bool allAscii = true;
    for (char c : wtf8) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b >= 0x80) allAscii = false;
        if (!isContinuation(b)) ++units;
        if (b >= 0xF0) ++units;
    }
    if (ascii) *ascii = allAscii;
    return units;
}

std::u16string toUtf16(std::string_view wtf8) {
    std::u16string out;
    out.reserve(wtf8.size());
    for (size_t i = 0; i < wtf8.size();) {
        char32_t cp;
        i = next(wtf8, i, cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t u = units[i];
        if (isHighSurrogate(u) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            append(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            append(out, u);
        }
    }
    return out;
}

bool hasLoneSurrogate(std::string_view wtf8) {
    for (size_t i = 0; i + 1 < wtf8.size(); ++i) {
        if (static_cast<unsigned char>(wtf8[i]) == 0xED && static_cast<unsigned char>(wtf8[i + 1]) >= 0xA0) return true;
    }
    return false;
}

bool isExtender(char32_t cp) {
    if (cp < 0x0300) return false;
    auto it = std::upper_bound(std::begin(extenders), std::end(extenders), cp,
                               [](char32_t c, const CodeRange& r) { return c < r.lo; });
    if (it == std::begin(extenders)) return false;
    --it;
    return cp <= it->hi;
}

}  // namespace ns::unicode
