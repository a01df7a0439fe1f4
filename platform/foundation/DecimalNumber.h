#pragma once
// Decimal numbers: a mantissa of up to 38 decimal digits and a power of ten,
// so text like "0.1" keeps its exact value.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/DecimalNumberHandler.h"
#include "platform/foundation/Number.h"

namespace ns {

class DecimalNumber : public Number {
    RT_DECLARE_CLASS(DecimalNumber)
public:
    DecimalNumber();
    DecimalNumber(unsigned __int128 mantissa, int32_t exponent, bool negative);

    static Ref<DecimalNumber> withMantissa(uint64_t mantissa, int32_t exponent, bool negative);
    // Leading white space, a sign, digits with an optional "." and exponent;
    // the rest is ignored. Text without digits, or a value too large for the
    // exponent range, gives notANumber; one too small gives zero.
    static Ref<DecimalNumber> withString(std::string_view text);
    static const Ref<DecimalNumber>& notANumber();

    bool isNotANumber() const { return nan_; }
    unsigned __int128 mantissa() const { return mantissa_; }
    int32_t exponent() const { return exponent_; }
    bool isNegative() const { return negative_; }

    // Plain decimal text, no exponent: "12.5", "-0.001", "1200", "NaN".
    std::string stringValue() const override;

    static const Ref<DecimalNumber>& zero();
    static const Ref<DecimalNumber>& one();

    // Exact results kept to 38 significant digits and an exponent of
    // -128...127, then rounded to the behaviour's scale (nil: the default
    // behaviour). A failure the behaviour does not raise on gives
    // notANumber (overflow, division by zero) or zero (underflow). Any
    // operand that is notANumber gives notANumber.
    Ref<DecimalNumber> decimalNumberByAdding(const DecimalNumber& other,
                                             const Ref<DecimalNumberHandler>& behavior = nullptr) const;
    Ref<DecimalNumber> decimalNumberBySubtracting(const DecimalNumber& other,
                                                  const Ref<DecimalNumberHandler>& behavior = nullptr) const;
    Ref<DecimalNumber> decimalNumberByMultiplyingBy(const DecimalNumber& other,
                                                    const Ref<DecimalNumberHandler>& behavior = nullptr) const;
    Ref<DecimalNumber> decimalNumberByDividingBy(const DecimalNumber& other,
                                                 const Ref<DecimalNumberHandler>& behavior = nullptr) const;
    Ref<DecimalNumber> decimalNumberByRoundingAccordingToBehavior(const Ref<DecimalNumberHandler>& behavior) const;

    // Exact between decimal numbers; other numbers compare as Number does.
    ComparisonResult compare(const Number& other) const;
    using Number::isEqual;
    bool isEqual(const Object* other) const override;

private:
    void normalizeAndMirror();

    unsigned __int128 mantissa_ = 0;
    int32_t exponent_ = 0;
    bool negative_ = false;
    bool nan_ = false;
};

}  // namespace ns
