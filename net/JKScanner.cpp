// The decoder's string and number scanners: each checks its token against
// the grammar, decodes it, and leaves the value bytes, value type and value
// hash the object cache works with.

#include <cerrno>
#include <charconv>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

#include "net/JKParseState.h"
#include "net/JKUTF8.h"

namespace {

inline bool isHexDigit(uint8_t c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
inline unsigned hexValue(uint8_t c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

class StringScanner {
public:
    explicit StringScanner(JKParseState& state)
        : s_(state), start_(state.at()), end_(state.end()), loose_(state.parseOptionFlags & JKParseFlagLooseUnicode) {}

    bool scan() {
        const uint8_t* p = start_ + 1;
        uint64_t h = JKHashInitial;
        // Fast path: nothing to decode, so the value is the input itself.
        for (;;) {
            if (p >= end_) return fail(p, nullptr);
            const uint8_t c = *p;
            if (c >= 0x80) {
                const JKUTF8Sequence seq = JKDecodeUTF8Sequence(p, end_);
                if (seq.result != JKConversionOK) break;
                for (; p < seq.next; ++p) h = JKHashFold(h, *p);
                continue;
            }
            if (c == '"') return finish(p, {start_ + 1, size_t(p - start_ - 1)}, h);
            if (c == '\\') break;
            if (c < 0x20) return failControl(p);
            h = JKHashFold(h, c);
            ++p;
        }
        return slowPath(p, h);
    }

private:
    bool slowPath(const uint8_t* p, uint64_t h) {
        JKManagedBuffer& buffer = s_.token.tokenBuffer;
        const size_t scanned = size_t(p - start_ - 1);
        if (scanned + 16 > buffer.size() && !buffer.resize(scanned + 1024)) return failResize(p);
        std::memcpy(buffer.bytes(), start_ + 1, scanned);
        w_ = scanned;
        h_ = h;
        for (;;) {
            if (buffer.size() - w_ < 16 && !buffer.resize(w_ + 1024)) return failResize(p);
            if (p >= end_) return fail(p, nullptr);
            const uint8_t c = *p;
            if (c == '"') return finish(p, {buffer.bytes(), w_}, h_);
            if (c < 0x20) return failControl(p);
            if (c == '\\') {
                if (!escape(p)) return false;
                continue;
            }
            if (c < 0x80) {
                append(c);
                ++p;
                continue;
            }
            const JKUTF8Sequence seq = JKDecodeUTF8Sequence(p, end_);
            if (seq.result == JKConversionOK) {
                for (; p < seq.next; ++p) append(*p);
            } else if (seq.result == JKConversionSourceExhausted) {
                return fail(p, "End of buffer reached while parsing UTF8 in \"\" string.");
            } else if (!loose_) {
                return fail(p, "Illegal UTF8 sequence found in \"\" string.");
            } else {
                appendCodePoint(JKReplacementCharacter);
                p = seq.next;
            }
        }
    }

    // At a backslash; moves `p` past the escape.
    bool escape(const uint8_t*& p) {
        if (p + 1 >= end_) return fail(p + 1, nullptr);
        const uint8_t e = p[1];
        uint8_t decoded;
        switch (e) {
            case '"': case '\\': case '/': decoded = e; break;
            case 'b': decoded = 0x08; break;
            case 'f': decoded = 0x0C; break;
            case 'n': decoded = 0x0A; break;
            case 'r': decoded = 0x0D; break;
            case 't': decoded = 0x09; break;
            case 'u': return unicodeEscape(p);
            default: return fail(p + 1, "Invalid escape sequence found in \"\" string.");
        }
        append(decoded);
        p += 2;
        return true;
    }

    // Four hexadecimal digits at `p`.
    bool hex4(const uint8_t* p, uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (p + i >= end_) return fail(p + i, nullptr);
            if (!isHexDigit(p[i])) {
                return fail(p + i,
                            "Unexpected character found in \\u Unicode escape sequence.  Found '%c', expected "
                            "[0-9a-fA-F].",
                            char(p[i]));
            }
            value = (value << 4) | hexValue(p[i]);
        }
        return true;
    }

    // At the backslash of \uXXXX; moves `p` past what the escape used.
    bool unicodeEscape(const uint8_t*& p) {
        static constexpr const char* secondRequired =
            "Required a second \\u Unicode escape sequence following a surrogate \\u Unicode escape sequence.";
        static constexpr const char* illegal = "Illegal \\u Unicode escape sequence.";
        uint32_t u1;
        if (!hex4(p + 2, u1)) return false;
        p += 6;
        uint32_t codePoint = u1;
        if (u1 >= 0xD800 && u1 <= 0xDBFF) {
            if (p >= end_ || *p != '\\' || p + 1 >= end_ || p[1] != 'u') {
                if (!loose_) return fail(p, secondRequired);
                // The byte that is not the second escape is read again.
                appendCodePoint(JKReplacementCharacter);
                return true;
            }
            uint32_t u2;
            if (!hex4(p + 2, u2)) return false;
            p += 6;
            if (u2 >= 0xDC00 && u2 <= 0xDFFF) {
                codePoint = (u1 - 0xD800) * 0x400 + (u2 - 0xDC00) + 0x10000;
            } else {
                if (!loose_) return fail(p, illegal);
                codePoint = JKReplacementCharacter;
            }
        } else if (u1 >= 0xDC00 && u1 <= 0xDFFF) {
            if (!loose_) return fail(p, illegal);
            codePoint = JKReplacementCharacter;
        }
        if (!JKIsAllowedCodePoint(codePoint)) {
            if (!loose_) return fail(p, illegal);
            codePoint = JKReplacementCharacter;
        }
        if (!appendCodePoint(codePoint)) {
            return fail(p, "Internal error: Unable to add UTF8 sequence to internal string buffer. %@ line #%ld",
                        JKSourceFileName(__FILE__), long(__LINE__));
        }
        return true;
    }

    void append(uint8_t c) {
        s_.token.tokenBuffer.bytes()[w_++] = c;
        h_ = JKHashFold(h_, c);
    }

    bool appendCodePoint(uint32_t codePoint) {
        JKManagedBuffer& buffer = s_.token.tokenBuffer;
        uint8_t* out = buffer.bytes() + w_;
        const size_t n = JKEncodeCodePoint(codePoint, out, buffer.bytes() + buffer.size());
        for (size_t i = 0; i < n; ++i) h_ = JKHashFold(h_, out[i]);
        w_ += n;
        return n != 0;
    }

    bool finish(const uint8_t* closingQuote, JKConstPtrRange value, uint64_t hash) {
        JKParseToken& token = s_.token;
        token.tokenPtrRange = {start_, size_t(closingQuote + 1 - start_)};
        token.value.ptrRange = value;
        token.value.type = JKValueTypeString;
        token.value.hash = hash;
        token.value.cacheItem = nullptr;
        s_.atIndex = size_t(closingQuote + 1 - s_.stringBuffer.ptr);
        return true;
    }

    bool failControl(const uint8_t* p) {
        return fail(p, "Invalid character < 0x20 found in string: 0x%2.2x.", unsigned(*p));
    }

    bool failResize(const uint8_t* p) {
        return fail(p, "Internal error: Unable to resize temporary buffer. %@ line #%ld", JKSourceFileName(__FILE__),
                    long(__LINE__));
    }

    // Raises the message (if any), then the generic one, at `p`.
    template <class... A>
    bool fail(const uint8_t* p, const char* message, const A&... args) {
        s_.atIndex = size_t(std::min(p, end_) - s_.stringBuffer.ptr);
        if (message) JKRaiseParseError(s_, message, args...);
        JKRaiseParseError(s_, "Invalid string.");
        return false;
    }

    JKParseState& s_;
    const uint8_t* start_;
    const uint8_t* end_;
    const bool loose_;
    size_t w_ = 0;
    uint64_t h_ = 0;
};

// Classifies an out-of-range decimal the way the C library reports it, in
// the C locale whatever the process's locale is.
double strtodInCLocale(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text.c_str(), nullptr, cLocale);
}

uint64_t numberHash(JKValueType type, uint64_t integerPart, const void* bytes) {
    uint64_t h = JKHashInitial + type + integerPart;
    const auto* b = static_cast<const uint8_t*>(bytes);
    for (int i = 0; i < 8; ++i) h = JKHashFold(h, b[i]);
    return h;
}

}  // namespace

bool JKScanString(JKParseState& state) { return StringScanner(state).scan(); }

bool JKScanNumber(JKParseState& state) {
    const uint8_t* const start = state.at();
    const uint8_t* const end = state.end();
    const uint8_t* p = start;
    auto fail = [&](const uint8_t* at) {
        state.atIndex = size_t(at - state.stringBuffer.ptr);
        JKRaiseParseError(state, "Invalid number.");
        return false;
    };
    auto isDigit = [](uint8_t c) { return c >= '0' && c <= '9'; };
    // The grammar: -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?,
    // and the input must not end before the number does. A digit after a
    // leading zero ends the number (the next token is then that digit).
    bool floating = false;
    if (*p == '-' && ++p >= end) return fail(p);
    if (*p == '0') {
        if (++p >= end) return fail(p);
    } else if (*p >= '1' && *p <= '9') {
        do {
            if (++p >= end) return fail(p);
        } while (isDigit(*p));
    } else {
        return fail(p);
    }
    if (*p == '.') {
        floating = true;
        if (++p >= end || !isDigit(*p)) return fail(p);
        do {
            if (++p >= end) return fail(p);
        } while (isDigit(*p));
    }
    if (*p == 'e' || *p == 'E') {
        floating = true;
        if (++p >= end) return fail(p);
        if ((*p == '+' || *p == '-') && ++p >= end) return fail(p);
        if (!isDigit(*p)) return fail(p);
        do {
            if (++p >= end) return fail(p);
        } while (isDigit(*p));
    }

    const char* first = reinterpret_cast<const char*>(start);
    const char* last = reinterpret_cast<const char*>(p);
    const size_t length = size_t(p - start);
    const bool negative = *start == '-';
    if (length == 2 && negative && start[1] == '0') floating = true;

    JKParseToken& token = state.token;
    JKTokenValue& value = token.value;
    std::from_chars_result converted{};
    auto conversionFailed = [&](auto&&... raise) {
        state.atIndex = size_t(p - state.stringBuffer.ptr);
        (raise(), ...);
        JKRaiseParseError(state, "Invalid number.");
        return false;
    };
    if (floating) {
        value.type = JKValueTypeDouble;
        converted = std::from_chars(first, last, value.number.doubleValue);
        if (converted.ec == std::errc::result_out_of_range) {
            const std::string text(first, length);
            // Only a value too small for a normal double is an underflow.
            const double clamped = strtodInCLocale(text);
            const bool underflow = std::fabs(clamped) < DBL_MIN;
            return conversionFailed([&] {
                JKRaiseParseError(state, "The value '%s' could not be represented as a 'double' due to %s.", text,
                                  underflow ? "underflow" : "overflow");
            });
        }
        const double d = value.number.doubleValue;
        if (converted.ec == std::errc() && d != 0 && std::fabs(d) < DBL_MIN) {
            return conversionFailed([&] {
                JKRaiseParseError(state, "The value '%s' could not be represented as a 'double' due to %s.",
                                  std::string(first, length), "underflow");
            });
        }
    } else if (size_t digits = length - (negative ? 1 : 0); digits <= 18) {
        // Too few digits to overflow: no conversion call needed.
        uint64_t magnitude = 0;
        for (const uint8_t* d = start + (negative ? 1 : 0); d < p; ++d) magnitude = magnitude * 10 + (*d - '0');
        if (negative) {
            value.type = JKValueTypeLongLong;
            value.number.longLongValue = -static_cast<int64_t>(magnitude);
        } else {
            value.type = JKValueTypeUnsignedLongLong;
            value.number.unsignedLongLongValue = magnitude;
        }
        converted = {last, std::errc()};
    } else if (negative) {
        value.type = JKValueTypeLongLong;
        converted = std::from_chars(first, last, value.number.longLongValue);
        if (converted.ec == std::errc::result_out_of_range) {
            return conversionFailed([&] {
                JKRaiseParseError(state, "The value '%s' exceeded the minimum value that could be represented: %lld.",
                                  std::string(first, length), INT64_MIN);
            });
        }
    } else {
        value.type = JKValueTypeUnsignedLongLong;
        converted = std::from_chars(first, last, value.number.unsignedLongLongValue);
        if (converted.ec == std::errc::result_out_of_range) {
            return conversionFailed([&] {
                JKRaiseParseError(state, "The value '%s' exceeded the maximum value that could be represented: %llu.",
                                  std::string(first, length), UINT64_MAX);
            });
        }
    }
    if (converted.ec != std::errc() || converted.ptr != last) {
        return conversionFailed([&] {
            JKRaiseParseError(state, "The conversion function did not consume all of the number tokens characters.");
        });
    }

    const uint64_t integerPart = value.type == JKValueTypeDouble        ? 0
                                 : value.type == JKValueTypeLongLong ? static_cast<uint64_t>(value.number.longLongValue)
                                                                     : value.number.unsignedLongLongValue;
    value.ptrRange = {reinterpret_cast<const uint8_t*>(&value.number), sizeof value.number};
    value.hash = numberHash(value.type, integerPart, &value.number);
    value.cacheItem = nullptr;
    token.tokenPtrRange = {start, length};
    state.atIndex = size_t(p - state.stringBuffer.ptr);
    return true;
}
