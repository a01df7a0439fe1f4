#pragma once
// Numbers to text and back. Reading is strict: the whole text must be one
// number ("12abc", " 12" and "" give nil). The separators are the formatter's
// own, never the C library's locale.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Number.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's values.
enum class NumberFormatterStyle : uint64_t {
    None = 0,     // "1234.5" reads; writes whole numbers
    Decimal = 1,  // "1,234.5" reads; writes up to three fraction digits with grouping
};

class NumberFormatter : public Object {
    RT_DECLARE_CLASS(NumberFormatter)
public:
    NumberFormatter() = default;

    NumberFormatterStyle numberStyle() const { return style_; }
    // Also sets the fraction digits and grouping to the style's own.
    void setNumberStyle(NumberFormatterStyle style);

    // Both at most 999.
    uint64_t minimumFractionDigits() const { return minimumFractionDigits_; }
    // Raises the maximum when it is below.
    void setMinimumFractionDigits(uint64_t digits);
    uint64_t maximumFractionDigits() const { return maximumFractionDigits_; }
    // Lowers the minimum when it is above.
    void setMaximumFractionDigits(uint64_t digits);

    bool usesGroupingSeparator() const { return usesGroupingSeparator_; }
    void setUsesGroupingSeparator(bool uses) { usesGroupingSeparator_ = uses; }
    const std::string& decimalSeparator() const { return decimalSeparator_; }
    void setDecimalSeparator(std::string separator) { decimalSeparator_ = std::move(separator); }
    const std::string& groupingSeparator() const { return groupingSeparator_; }
    void setGroupingSeparator(std::string separator) { groupingSeparator_ = std::move(separator); }

    // An optional sign, digits (with grouping separators between them when
    // grouping is used), an optional fraction and exponent. Whole values that
    // fit 64 bits give integer numbers, others doubles.
    Ref<Number> numberFromString(std::string_view text) const;
    // Rounded half to even at the maximum fraction digits, from the shortest
    // decimal form of a double; "NaN", "∞" and "-∞" for the special values.
    std::string stringFromNumber(const Number& number) const;

private:
    NumberFormatterStyle style_ = NumberFormatterStyle::None;
    uint64_t minimumFractionDigits_ = 0;
    uint64_t maximumFractionDigits_ = 0;
    bool usesGroupingSeparator_ = false;
    std::string decimalSeparator_ = ".";
    std::string groupingSeparator_ = ",";
};

}  // namespace ns
