#pragma once
// Decimal numbers: a mantissa of up to 38 decimal digits and a power of ten,
// so text like "0.1" keeps its exact value.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Number.h"

namespace ns {

class DecimalNumber : public Number {
    RT_DECLARE_CLASS(DecimalNumber)
public:
    DecimalNumber();
    DecimalNumber(unsigned __int128 mantissa, int32_t exponent, bool negative);

    static Ref<DecimalNumber> withMantissa(uint64_t mantissa, int32_t exponent, bool negative);
    // Leading white space, a sign, digits with an optional "." and exponent;
    // the rest is ignored. Text without digits gives notANumber.
    static Ref<DecimalNumber> withString(std::string_view text);
    static const Ref<DecimalNumber>& notANumber();

    bool isNotANumber() const { return nan_; }
    unsigned __int128 mantissa() const { return mantissa_; }
    int32_t exponent() const { return exponent_; }
    bool isNegative() const { return negative_; }

    // Plain decimal text, no exponent: "12.5", "-0.001", "1200", "NaN".
    std::string stringValue() const override;

private:
    void normalizeAndMirror();

    unsigned __int128 mantissa_ = 0;
    int32_t exponent_ = 0;
    bool negative_ = false;
    bool nan_ = false;
};

}  // namespace ns
