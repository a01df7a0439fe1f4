#include "platform/foundation/DecimalNumber.h"

#include <cmath>
#include <cstdlib>

#include "platform/foundation/CLocale.h"

namespace ns {

RT_DEFINE_CLASS(DecimalNumber, Number, "NSDecimalNumber")

namespace {

constexpr int MaxDigits = 38;

std::string digitsOf(unsigned __int128 v) {
    if (v == 0) return "0";
    std::string out;
    while (v) {
        out.insert(out.begin(), char('0' + int(v % 10)));
        v /= 10;
    }
    return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

DecimalNumber::DecimalNumber() { normalizeAndMirror(); }

DecimalNumber::DecimalNumber(unsigned __int128 mantissa, int32_t exponent, bool negative)
    : mantissa_(mantissa), exponent_(exponent), negative_(negative) {
    normalizeAndMirror();
}

Ref<DecimalNumber> DecimalNumber::withMantissa(uint64_t mantissa, int32_t exponent, bool negative) {
    return std::make_shared<DecimalNumber>(mantissa, exponent, negative);
}

const Ref<DecimalNumber>& DecimalNumber::notANumber() {
    static const Ref<DecimalNumber> nan = [] {
        auto n = std::make_shared<DecimalNumber>();
        n->nan_ = true;
        n->normalizeAndMirror();
        return n;
    }();
    return nan;
}

Ref<DecimalNumber> DecimalNumber::withString(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    unsigned __int128 mantissa = 0;
    int digits = 0;
    int64_t exponent = 0;
    bool any = false;
    auto take = [&](char c, bool fraction) {
        any = true;
        if (digits == 0 && c == '0') {
            if (fraction) --exponent;
            return;
        }
        if (digits < MaxDigits) {
            mantissa = mantissa * 10 + unsigned(c - '0');
            ++digits;
            if (fraction) --exponent;
        } else if (!fraction) {
            ++exponent;  // digits beyond the precision only scale the value
        }
    };
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') take(s[i++], false);
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') take(s[i++], true);
    }
    if (!any) return notANumber();
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t k = i + 1;
        bool negativeExponent = false;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) negativeExponent = s[k++] == '-';
        if (k < s.size() && s[k] >= '0' && s[k] <= '9') {
            int64_t e = 0;
            while (k < s.size() && s[k] >= '0' && s[k] <= '9') e = std::min<int64_t>(e * 10 + (s[k++] - '0'), 100000);
            exponent += negativeExponent ? -e : e;
        }
    }
    // The platform's decimals reach about 10^±128; further is no number.
    if (exponent > 160 || exponent < -160) return notANumber();
    return std::make_shared<DecimalNumber>(mantissa, int32_t(exponent), negative);
}

void DecimalNumber::normalizeAndMirror() {
    type_ = "d";
    if (nan_) {
        kind_ = Kind::Double;
        v_.d = std::nan("");
        return;
    }
    if (mantissa_ == 0) {
        exponent_ = 0;
        negative_ = false;
    }
    while (mantissa_ != 0 && mantissa_ % 10 == 0) {
        mantissa_ /= 10;
        ++exponent_;
    }
    // The Number side holds the value exactly where an integer can.
    if (exponent_ >= 0 && exponent_ <= 38) {
        unsigned __int128 value = mantissa_;
        bool fits = true;
        for (int32_t k = 0; k < exponent_ && fits; ++k) {
            if (value > UINT64_MAX / 10) fits = false;
            value *= 10;
        }
        if (fits && value <= UINT64_MAX) {
            if (!negative_ && value > uint64_t(INT64_MAX)) {
                kind_ = Kind::Unsigned;
                v_.u = uint64_t(value);
                return;
            }
            if (value <= uint64_t(INT64_MAX) || (negative_ && value == uint64_t(INT64_MAX) + 1)) {
                kind_ = Kind::Signed;
                v_.s = negative_ ? int64_t(0 - uint64_t(value)) : int64_t(value);
                return;
            }
        }
    }
    kind_ = Kind::Double;
    v_.d = strtod_l(stringValue().c_str(), nullptr, cLocale());
}

std::string DecimalNumber::stringValue() const {
    if (nan_) return "NaN";
    if (mantissa_ == 0) return "0";
    std::string digits = digitsOf(mantissa_);
    std::string out;
    if (exponent_ >= 0) {
        out = digits + std::string(size_t(exponent_), '0');
    } else {
        size_t point = size_t(-int64_t(exponent_));
        if (digits.size() > point) {
            out = digits.substr(0, digits.size() - point) + "." + digits.substr(digits.size() - point);
        } else {
            out = "0." + std::string(point - digits.size(), '0') + digits;
        }
    }
    return negative_ ? "-" + out : out;
}

}  // namespace ns
