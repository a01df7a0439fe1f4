#pragma once
// How decimal-number arithmetic rounds its results and which of its
// failures raise: the platform's behaviour object for decimal numbers.

#include <cstdint>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's values. Down and Up go toward minus and plus infinity.
enum class RoundingMode : uint64_t { Plain = 0, Down = 1, Up = 2, Bankers = 3 };

// No rounding to a number of fraction digits (only to 38 significant ones).
inline constexpr int16_t DecimalNoScale = INT16_MAX;

inline constexpr const char* DecimalNumberExactnessException = "NSDecimalNumberExactnessException";
inline constexpr const char* DecimalNumberOverflowException = "NSDecimalNumberOverflowException";
inline constexpr const char* DecimalNumberUnderflowException = "NSDecimalNumberUnderflowException";
inline constexpr const char* DecimalNumberDivideByZeroException = "NSDecimalNumberDivideByZeroException";

class DecimalNumberHandler : public Object {
    RT_DECLARE_CLASS(DecimalNumberHandler)
public:
    // The default behaviour: plain rounding, no scale, raising on overflow,
    // underflow and division by zero but not on lost precision.
    DecimalNumberHandler() = default;
    DecimalNumberHandler(RoundingMode roundingMode, int16_t scale, bool raiseOnExactness, bool raiseOnOverflow,
                         bool raiseOnUnderflow, bool raiseOnDivideByZero);

    static const Ref<DecimalNumberHandler>& defaultDecimalNumberHandler();
    static Ref<DecimalNumberHandler> withRoundingMode(RoundingMode roundingMode, int16_t scale, bool raiseOnExactness,
                                                      bool raiseOnOverflow, bool raiseOnUnderflow,
                                                      bool raiseOnDivideByZero);

    RoundingMode roundingMode() const { return roundingMode_; }
    // Digits kept after the decimal point (negative: zeros before it).
    int16_t scale() const { return scale_; }
    bool raiseOnExactness() const { return raiseOnExactness_; }
    bool raiseOnOverflow() const { return raiseOnOverflow_; }
    bool raiseOnUnderflow() const { return raiseOnUnderflow_; }
    bool raiseOnDivideByZero() const { return raiseOnDivideByZero_; }

private:
    RoundingMode roundingMode_ = RoundingMode::Plain;
    int16_t scale_ = DecimalNoScale;
    bool raiseOnExactness_ = false;
    bool raiseOnOverflow_ = true;
    bool raiseOnUnderflow_ = true;
    bool raiseOnDivideByZero_ = true;
};

}  // namespace ns
