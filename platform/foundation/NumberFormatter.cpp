#include "platform/foundation/NumberFormatter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/foundation/CLocale.h"
#include "platform/foundation/DecimalNumber.h"

namespace ns {

RT_DEFINE_CLASS(NumberFormatter, Object, "NSNumberFormatter")

namespace {

// Far more than any double or decimal number holds.
constexpr uint64_t MaxFractionDigits = 999;

// value = digits x 10^exponent; digits hold no sign.
struct DecimalForm {
    bool negative = false;
    std::string digits;
    int64_t exponent = 0;
};

std::string digitsOf(unsigned __int128 v) {
    if (v == 0) return "0";
    std::string out;
    while (v) {
        out.insert(out.begin(), char('0' + int(v % 10)));
        v /= 10;
    }
    return out;
}

DecimalForm decimalFormOf(const Number& number) {
    DecimalForm form;
    if (auto decimal = dynamic_cast<const DecimalNumber*>(&number)) {
        form.negative = decimal->isNegative();
        form.digits = digitsOf(decimal->mantissa());
        form.exponent = decimal->exponent();
        return form;
    }
    switch (number.kind()) {
        case Number::Kind::Unsigned:
            form.digits = std::to_string(number.unsignedLongLongValue());
            return form;
        case Number::Kind::Signed:
        case Number::Kind::Bool: {
            int64_t v = number.longLongValue();
            form.negative = v < 0;
            form.digits = std::to_string(v < 0 ? 0 - uint64_t(v) : uint64_t(v));
            return form;
        }
        case Number::Kind::Double:
            break;
    }
    double d = number.doubleValue();
    form.negative = std::signbit(d);
    // The shortest digits that read back as the same double, as "1.2345e+03".
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific);
    std::string_view text(buf, size_t(result.ptr - buf));
    size_t e = text.find('e');
    std::string_view mantissa = text.substr(0, e);
    int64_t exponent = std::strtoll(std::string(text.substr(e + 1)).c_str(), nullptr, 10);
    size_t point = mantissa.find('.');
    if (point == std::string_view::npos) {
        form.digits = std::string(mantissa);
    } else {
        form.digits = std::string(mantissa.substr(0, point)) + std::string(mantissa.substr(point + 1));
        exponent -= int64_t(mantissa.size() - point - 1);
    }
    form.exponent = exponent;
    return form;
}

// Rounds to at most `fractionDigits` digits after the point, half to even.
void roundHalfEven(DecimalForm& form, int64_t fractionDigits) {
    int64_t cut = -form.exponent - fractionDigits;
    if (cut <= 0) return;
    if (int64_t(form.digits.size()) < cut + 1) form.digits.insert(0, size_t(cut + 1 - int64_t(form.digits.size())), '0');
    std::string dropped = form.digits.substr(form.digits.size() - size_t(cut));
    form.digits.resize(form.digits.size() - size_t(cut));
    form.exponent += cut;
    bool up = dropped[0] > '5';
    if (dropped[0] == '5') {
        bool beyondHalf = dropped.find_first_not_of('0', 1) != std::string::npos;
        up = beyondHalf || (form.digits.back() - '0') % 2 == 1;
    }
    if (!up) return;
    size_t k = form.digits.size();
    while (k > 0 && form.digits[k - 1] == '9') form.digits[--k] = '0';
    if (k == 0) form.digits.insert(form.digits.begin(), '1');
    else ++form.digits[k - 1];
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool startsWith(std::string_view text, size_t at, std::string_view prefix) {
    return !prefix.empty() && text.substr(at, prefix.size()) == prefix;
}

}  // namespace

void NumberFormatter::setNumberStyle(NumberFormatterStyle style) {
    style_ = style;
    bool decimal = style == NumberFormatterStyle::Decimal;
    minimumFractionDigits_ = 0;
    maximumFractionDigits_ = decimal ? 3 : 0;
    usesGroupingSeparator_ = decimal;
}

void NumberFormatter::setMinimumFractionDigits(uint64_t digits) {
    digits = std::min(digits, MaxFractionDigits);
    minimumFractionDigits_ = digits;
    if (maximumFractionDigits_ < digits) maximumFractionDigits_ = digits;
}

void NumberFormatter::setMaximumFractionDigits(uint64_t digits) {
    digits = std::min(digits, MaxFractionDigits);
    maximumFractionDigits_ = digits;
    if (minimumFractionDigits_ > digits) minimumFractionDigits_ = digits;
}

Ref<Number> NumberFormatter::numberFromString(std::string_view text) const {
    // Rewritten in the C locale's form, then read by the C library.
    std::string plain;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    bool anyDigit = false;
    while (i < text.size()) {
        if (isDigit(text[i])) {
            plain += text[i++];
            anyDigit = true;
        } else if (usesGroupingSeparator_ && anyDigit && startsWith(text, i, groupingSeparator_) &&
                   i + groupingSeparator_.size() < text.size() && isDigit(text[i + groupingSeparator_.size()])) {
            i += groupingSeparator_.size();
        } else {
            break;
        }
    }
    if (startsWith(text, i, decimalSeparator_)) {
        i += decimalSeparator_.size();
        plain += '.';
        while (i < text.size() && isDigit(text[i])) {
            plain += text[i++];
            anyDigit = true;
        }
    }
    if (!anyDigit) return nullptr;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) plain += text[i++];
        if (i >= text.size() || !isDigit(text[i])) return nullptr;
        while (i < text.size() && isDigit(text[i])) plain += text[i++];
    }
    if (i != text.size()) return nullptr;

    auto exact = DecimalNumber::withString(plain);
    if (!exact->isNotANumber() && exact->kind() == Number::Kind::Signed) {
        if (exact->longLongValue() == 0 && plain[0] == '-') return Number::withDouble(-0.0);
        return Number::withLongLong(exact->longLongValue());
    }
    return Number::withDouble(strtod_l(plain.c_str(), nullptr, cLocale()));
}

std::string NumberFormatter::stringFromNumber(const Number& number) const {
    if (auto decimal = dynamic_cast<const DecimalNumber*>(&number); decimal && decimal->isNotANumber()) return "NaN";
    if (number.kind() == Number::Kind::Double) {
        double d = number.doubleValue();
        if (std::isnan(d)) return "NaN";
        if (std::isinf(d)) return d < 0 ? "-∞" : "∞";
    }
    DecimalForm form = decimalFormOf(number);
    roundHalfEven(form, int64_t(maximumFractionDigits_));

    std::string whole, fraction;
    if (form.exponent >= 0) {
        whole = form.digits + std::string(size_t(form.exponent), '0');
    } else {
        size_t fractionLength = size_t(-form.exponent);
        if (form.digits.size() <= fractionLength) form.digits.insert(0, fractionLength - form.digits.size() + 1, '0');
        whole = form.digits.substr(0, form.digits.size() - fractionLength);
        fraction = form.digits.substr(form.digits.size() - fractionLength);
    }
    size_t firstNonZero = whole.find_first_not_of('0');
    whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
    while (fraction.size() > minimumFractionDigits_ && !fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (fraction.size() < minimumFractionDigits_) fraction.append(minimumFractionDigits_ - fraction.size(), '0');

    std::string out = form.negative ? "-" : "";
    for (size_t k = 0; k < whole.size(); ++k) {
        if (usesGroupingSeparator_ && k > 0 && (whole.size() - k) % 3 == 0) out += groupingSeparator_;
        out += whole[k];
    }
    if (!fraction.empty()) out += decimalSeparator_ + fraction;
    return out;
}

}  // namespace ns
