#include "platform/foundation/DecimalNumber.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/foundation/CLocale.h"
#include "platform/runtime/Exception.h"

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

// ---- Exact arithmetic on digit strings ----
// Operands hold at most 38 digits and results at most about 80 before they
// are rounded, so plain digit strings are fast enough and easy to check.

struct Exact {
    bool negative = false;
    std::string digits;  // the magnitude, most significant first; "" is zero
    int64_t exponent = 0;
    bool isZero() const { return digits.empty(); }
};

void trimLeadingZeros(std::string& digits) {
    size_t first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() : first);
}

void trimTrailingZeros(Exact& x) {
    while (!x.digits.empty() && x.digits.back() == '0') {
        x.digits.pop_back();
        ++x.exponent;
    }
}

Exact exactOf(const DecimalNumber& d) {
    Exact x{d.isNegative(), d.mantissa() == 0 ? "" : digitsOf(d.mantissa()), d.exponent()};
    return x;
}

// Magnitudes without leading zeros.
int compareMagnitudes(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::string addMagnitudes(const std::string& a, const std::string& b) {
    std::string out;
    int carry = 0;
    for (size_t k = 0; k < std::max(a.size(), b.size()) || carry; ++k) {
        int sum = carry;
        if (k < a.size()) sum += a[a.size() - 1 - k] - '0';
        if (k < b.size()) sum += b[b.size() - 1 - k] - '0';
        out.push_back(char('0' + sum % 10));
        carry = sum / 10;
    }
    std::reverse(out.begin(), out.end());
    return out;
}

// a >= b.
std::string subtractMagnitudes(const std::string& a, const std::string& b) {
    std::string out;
    int borrow = 0;
    for (size_t k = 0; k < a.size(); ++k) {
        int diff = (a[a.size() - 1 - k] - '0') - borrow - (k < b.size() ? b[b.size() - 1 - k] - '0' : 0);
        borrow = diff < 0;
        out.push_back(char('0' + diff + (borrow ? 10 : 0)));
    }
    std::reverse(out.begin(), out.end());
    trimLeadingZeros(out);
    return out;
}

std::string multiplyMagnitudes(const std::string& a, const std::string& b) {
    std::vector<int> sums(a.size() + b.size(), 0);
    for (size_t i = 0; i < a.size(); ++i) {
        for (size_t j = 0; j < b.size(); ++j) sums[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    }
    for (size_t k = sums.size() - 1; k > 0; --k) {
        sums[k - 1] += sums[k] / 10;
        sums[k] %= 10;
    }
    std::string out;
    for (int d : sums) out.push_back(char('0' + d));
    trimLeadingZeros(out);
    return out;
}

Exact sum(Exact a, Exact b) {
    if (a.isZero()) return b;
    if (b.isZero()) return a;
    int64_t exponent = std::min(a.exponent, b.exponent);
    a.digits.append(size_t(a.exponent - exponent), '0');
    b.digits.append(size_t(b.exponent - exponent), '0');
    Exact r;
    r.exponent = exponent;
    if (a.negative == b.negative) {
        r.digits = addMagnitudes(a.digits, b.digits);
        r.negative = a.negative;
    } else {
        int order = compareMagnitudes(a.digits, b.digits);
        if (order == 0) return {};
        r.digits = order > 0 ? subtractMagnitudes(a.digits, b.digits) : subtractMagnitudes(b.digits, a.digits);
        r.negative = order > 0 ? a.negative : b.negative;
    }
    return r;
}

Exact product(const Exact& a, const Exact& b) {
    if (a.isZero() || b.isZero()) return {};
    return {a.negative != b.negative, multiplyMagnitudes(a.digits, b.digits), a.exponent + b.exponent};
}

// b is not zero. Long division to at least 39 significant digits; a rest
// that is not zero leaves a 1 below them, so rounding sees it.
Exact quotient(const Exact& a, const Exact& b) {
    if (a.isZero()) return {};
    int64_t shift = std::max<int64_t>(0, int64_t(MaxDigits) + 2 + int64_t(b.digits.size()) - int64_t(a.digits.size()));
    std::string numerator = a.digits + std::string(size_t(shift), '0');
    std::string q, rest;
    for (char c : numerator) {
        rest.push_back(c);
        trimLeadingZeros(rest);
        int digit = 0;
        while (compareMagnitudes(rest, b.digits) >= 0) {
            rest = subtractMagnitudes(rest, b.digits);
            ++digit;
        }
        q.push_back(char('0' + digit));
    }
    trimLeadingZeros(q);
    Exact x{a.negative != b.negative, q, a.exponent - b.exponent - shift};
    if (!rest.empty()) {
        x.digits.push_back('1');
        --x.exponent;
    }
    return x;
}

// Drops the last `count` digits, rounding the magnitude as the mode says;
// true when a dropped digit was not zero.
bool roundOff(Exact& x, int64_t count, RoundingMode mode) {
    if (count <= 0 || x.isZero()) return false;
    std::string dropped;
    if (count >= int64_t(x.digits.size())) {
        dropped = std::string(size_t(count) - x.digits.size(), '0') + x.digits;
        x.digits.clear();
    } else {
        dropped = x.digits.substr(x.digits.size() - size_t(count));
        x.digits.resize(x.digits.size() - size_t(count));
    }
    x.exponent += count;
    trimLeadingZeros(x.digits);
    if (dropped.find_first_not_of('0') == std::string::npos) return false;

    int first = dropped[0] - '0';
    bool beyondHalf = dropped.find_first_not_of('0', 1) != std::string::npos;
    bool odd = !x.digits.empty() && (x.digits.back() - '0') % 2 == 1;
    bool up = false;
    switch (mode) {
        case RoundingMode::Plain: up = first >= 5; break;
        case RoundingMode::Bankers: up = first > 5 || (first == 5 && (beyondHalf || odd)); break;
        case RoundingMode::Down: up = x.negative; break;
        case RoundingMode::Up: up = !x.negative; break;
    }
    if (up) x.digits = addMagnitudes(x.digits.empty() ? "0" : x.digits, "1");
    return true;
}

int compareExact(const Exact& a, const Exact& b) {
    if (a.isZero() && b.isZero()) return 0;
    int signA = a.isZero() ? 0 : a.negative ? -1 : 1;
    int signB = b.isZero() ? 0 : b.negative ? -1 : 1;
    if (signA != signB) return signA < signB ? -1 : 1;
    // Same sign, neither zero: by magnitude, the leading digit's place first.
    int64_t placeA = int64_t(a.digits.size()) + a.exponent, placeB = int64_t(b.digits.size()) + b.exponent;
    int order = 0;
    if (placeA != placeB) {
        order = placeA < placeB ? -1 : 1;
    } else {
        size_t length = std::max(a.digits.size(), b.digits.size());
        std::string da = a.digits, db = b.digits;
        da.append(length - da.size(), '0');
        db.append(length - db.size(), '0');
        order = compareMagnitudes(da, db);
    }
    return signA < 0 ? -order : order;
}

// Keeps 38 digits and the exponent range, then rounds to the scale; the
// behaviour decides what fails loudly.
Ref<DecimalNumber> fit(Exact x, const DecimalNumberHandler& behavior) {
    RoundingMode mode = behavior.roundingMode();
    bool lost = false;
    if (x.digits.size() > size_t(MaxDigits)) lost = roundOff(x, int64_t(x.digits.size()) - MaxDigits, mode);
    trimTrailingZeros(x);
    if (behavior.scale() != DecimalNoScale && x.exponent < -behavior.scale()) {
        roundOff(x, -behavior.scale() - x.exponent, mode);
        trimTrailingZeros(x);
    }
    if (x.isZero()) return DecimalNumber::zero();
    if (x.exponent > 127) {
        while (x.exponent > 127 && x.digits.size() < size_t(MaxDigits)) {
            x.digits.push_back('0');
            --x.exponent;
        }
        if (x.exponent > 127) {
            if (behavior.raiseOnOverflow()) {
                Exception::raise(DecimalNumberOverflowException, "NSDecimalNumber overflow exception");
            }
            return DecimalNumber::notANumber();
        }
    }
    if (x.exponent < -128) {
        lost = roundOff(x, -128 - x.exponent, mode) || lost;
        trimTrailingZeros(x);
        if (x.isZero()) {
            if (behavior.raiseOnUnderflow()) {
                Exception::raise(DecimalNumberUnderflowException, "NSDecimalNumber underflow exception");
            }
            return DecimalNumber::zero();
        }
    }
    if (lost && behavior.raiseOnExactness()) {
        Exception::raise(DecimalNumberExactnessException, "NSDecimalNumber exactness exception");
    }
    unsigned __int128 mantissa = 0;
    for (char c : x.digits) mantissa = mantissa * 10 + unsigned(c - '0');
    return std::make_shared<DecimalNumber>(mantissa, int32_t(x.exponent), x.negative);
}

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
    // Far outside the exponent range there is nothing to round.
    if (mantissa == 0) return zero();
    if (exponent > 127 + MaxDigits) return notANumber();
    if (exponent < -128 - 2 * MaxDigits) return zero();
    Exact exact{negative, digitsOf(mantissa), exponent};
    static const DecimalNumberHandler quiet(RoundingMode::Plain, DecimalNoScale, false, false, false, false);
    return fit(std::move(exact), quiet);
}

void DecimalNumber::normalizeAndMirror() {
    type_ = 'd';
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

namespace ns {

namespace {

const DecimalNumberHandler& behaviorOrDefault(const Ref<DecimalNumberHandler>& behavior) {
    return behavior ? *behavior : *DecimalNumberHandler::defaultDecimalNumberHandler();
}

}  // namespace

const Ref<DecimalNumber>& DecimalNumber::zero() {
    static const Ref<DecimalNumber> value = std::make_shared<DecimalNumber>();
    return value;
}

const Ref<DecimalNumber>& DecimalNumber::one() {
    static const Ref<DecimalNumber> value = std::make_shared<DecimalNumber>(1, 0, false);
    return value;
}

Ref<DecimalNumber> DecimalNumber::decimalNumberByAdding(const DecimalNumber& other,
                                                        const Ref<DecimalNumberHandler>& behavior) const {
    if (nan_ || other.nan_) return notANumber();
    return fit(sum(exactOf(*this), exactOf(other)), behaviorOrDefault(behavior));
}

Ref<DecimalNumber> DecimalNumber::decimalNumberBySubtracting(const DecimalNumber& other,
                                                             const Ref<DecimalNumberHandler>& behavior) const {
    if (nan_ || other.nan_) return notANumber();
    Exact negated = exactOf(other);
    negated.negative = !negated.negative;
    return fit(sum(exactOf(*this), negated), behaviorOrDefault(behavior));
}

Ref<DecimalNumber> DecimalNumber::decimalNumberByMultiplyingBy(const DecimalNumber& other,
                                                               const Ref<DecimalNumberHandler>& behavior) const {
    if (nan_ || other.nan_) return notANumber();
    return fit(product(exactOf(*this), exactOf(other)), behaviorOrDefault(behavior));
}

Ref<DecimalNumber> DecimalNumber::decimalNumberByDividingBy(const DecimalNumber& other,
                                                            const Ref<DecimalNumberHandler>& behavior) const {
    if (nan_ || other.nan_) return notANumber();
    const DecimalNumberHandler& handler = behaviorOrDefault(behavior);
    if (other.mantissa_ == 0) {
        if (handler.raiseOnDivideByZero()) {
            Exception::raise(DecimalNumberDivideByZeroException, "NSDecimalNumber divide by zero exception");
        }
        return notANumber();
    }
    return fit(quotient(exactOf(*this), exactOf(other)), handler);
}

Ref<DecimalNumber> DecimalNumber::decimalNumberByRoundingAccordingToBehavior(
    const Ref<DecimalNumberHandler>& behavior) const {
    if (nan_) return notANumber();
    return fit(exactOf(*this), behaviorOrDefault(behavior));
}

ComparisonResult DecimalNumber::compare(const Number& other) const {
    auto decimal = dynamic_cast<const DecimalNumber*>(&other);
    if (!decimal) return Number::compare(other);
    if (nan_ || decimal->nan_) {
        if (nan_ && decimal->nan_) return ComparisonResult::Same;
        return nan_ ? ComparisonResult::Ascending : ComparisonResult::Descending;
    }
    return ComparisonResult(compareExact(exactOf(*this), exactOf(*decimal)));
}

bool DecimalNumber::isEqual(const Object* other) const {
    auto decimal = dynamic_cast<const DecimalNumber*>(other);
    if (!decimal) return Number::isEqual(other);
    return compare(*decimal) == ComparisonResult::Same;
}

}  // namespace ns
