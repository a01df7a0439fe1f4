#include <gtest/gtest.h>

#include "platform/foundation/DecimalNumber.h"
#include "platform/runtime/Exception.h"

namespace {

using namespace ns;

Ref<DecimalNumber> dec(const char* text) { return DecimalNumber::withString(text); }

Ref<DecimalNumberHandler> rounding(RoundingMode mode, int16_t scale) {
    return DecimalNumberHandler::withRoundingMode(mode, scale, false, true, true, true);
}

Ref<DecimalNumberHandler> quiet() {
    return DecimalNumberHandler::withRoundingMode(RoundingMode::Plain, DecimalNoScale, false, false, false, false);
}

std::string rounded(const char* value, RoundingMode mode, int16_t scale) {
    return dec(value)->decimalNumberByRoundingAccordingToBehavior(rounding(mode, scale))->stringValue();
}

TEST(DecimalArithmetic, ExactWhereDoublesAreNot) {
    EXPECT_EQ(dec("0.1")->decimalNumberByAdding(*dec("0.2"))->stringValue(), "0.3");
    EXPECT_TRUE(dec("0.1")->decimalNumberByAdding(*dec("0.2"))->isEqual(dec("0.3")));
    EXPECT_EQ(dec("1.50")->decimalNumberByAdding(*DecimalNumber::zero())->stringValue(), "1.5");
    EXPECT_EQ(dec("100.25")->decimalNumberBySubtracting(*dec("0.25"))->stringValue(), "100");
    EXPECT_EQ(dec("0.01")->decimalNumberByMultiplyingBy(*dec("0.1"))->stringValue(), "0.001");
    EXPECT_EQ(dec("3")->decimalNumberBySubtracting(*dec("5.5"))->stringValue(), "-2.5");
    EXPECT_EQ(dec("-2")->decimalNumberByMultiplyingBy(*dec("-4.5"))->stringValue(), "9");
    EXPECT_EQ(dec("1")->decimalNumberByDividingBy(*dec("8"))->stringValue(), "0.125");
    EXPECT_EQ(dec("1e10")->decimalNumberByAdding(*dec("1e-20"))->stringValue(), "10000000000.00000000000000000001");
    EXPECT_EQ(dec("12.34")->doubleValue(), 12.34);
}

TEST(DecimalArithmetic, ResultsKeepThirtyEightDigits) {
    EXPECT_EQ(dec("1")->decimalNumberByDividingBy(*dec("3"))->stringValue(),
              "0.33333333333333333333333333333333333333");
    EXPECT_EQ(dec("2")->decimalNumberByDividingBy(*dec("3"))->stringValue(),
              "0.66666666666666666666666666666666666667");
    auto big = dec("99999999999999999999");
    // 9999999999999999999800000000000000000001 loses its last two digits.
    EXPECT_EQ(big->decimalNumberByMultiplyingBy(*big)->stringValue(), "9999999999999999999800000000000000000000");
    EXPECT_EQ(dec("1e20")->decimalNumberByAdding(*dec("1e-20"))->stringValue(), "100000000000000000000");
    auto exact = DecimalNumberHandler::withRoundingMode(RoundingMode::Plain, DecimalNoScale, true, true, true, true);
    try {
        dec("1")->decimalNumberByDividingBy(*dec("3"), exact);
        FAIL() << "lost precision did not raise";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), DecimalNumberExactnessException);
    }
    EXPECT_EQ(dec("1")->decimalNumberByDividingBy(*dec("4"), exact)->stringValue(), "0.25");
}

TEST(DecimalRounding, EachModeAtAScale) {
    struct Case {
        const char* value;
        int16_t scale;
        const char *plain, *down, *up, *bankers;
    };
    const Case cases[] = {
        {"1.2345", 3, "1.235", "1.234", "1.235", "1.234"},
        {"1.2355", 3, "1.236", "1.235", "1.236", "1.236"},
        {"-1.2345", 3, "-1.235", "-1.235", "-1.234", "-1.234"},
        {"1.23451", 3, "1.235", "1.234", "1.235", "1.235"},
        {"2.5", 0, "3", "2", "3", "2"},
        {"3.5", 0, "4", "3", "4", "4"},
        {"-2.5", 0, "-3", "-3", "-2", "-2"},
        {"0.004", 2, "0", "0", "0.01", "0"},
        {"-0.004", 2, "0", "-0.01", "0", "0"},
        {"1250", -2, "1300", "1200", "1300", "1200"},
        {"9.999", 2, "10", "9.99", "10", "10"},
        {"1.2", 3, "1.2", "1.2", "1.2", "1.2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rounded(c.value, RoundingMode::Plain, c.scale), c.plain) << c.value;
        EXPECT_EQ(rounded(c.value, RoundingMode::Down, c.scale), c.down) << c.value;
        EXPECT_EQ(rounded(c.value, RoundingMode::Up, c.scale), c.up) << c.value;
        EXPECT_EQ(rounded(c.value, RoundingMode::Bankers, c.scale), c.bankers) << c.value;
    }
}

TEST(DecimalRounding, AmountsRoundedDownToCents) {
    auto cents = rounding(RoundingMode::Down, 2);
    auto discount = dec("0.850000");
    EXPECT_EQ(dec("100")->decimalNumberByMultiplyingBy(*discount, cents)->stringValue(), "85");
    EXPECT_EQ(dec("19.99")->decimalNumberByMultiplyingBy(*discount, cents)->stringValue(), "16.99");
    EXPECT_EQ(dec("10")->decimalNumberBySubtracting(*dec("3.333"), cents)->stringValue(), "6.66");
    EXPECT_EQ(dec("1")->decimalNumberByMultiplyingBy(*dec("1.000000"), cents)->stringValue(), "1");
    EXPECT_EQ(dec("10")->decimalNumberByDividingBy(*dec("3"), cents)->stringValue(), "3.33");
}

TEST(DecimalFailures, RaiseOrGiveTheQuietValue) {
    auto raisesNamed = [](const char* name, auto&& operation) {
        try {
            operation();
        } catch (const Exception& e) {
            return e.name() == name;
        }
        return false;
    };
    EXPECT_TRUE(raisesNamed(DecimalNumberDivideByZeroException, [] { dec("1")->decimalNumberByDividingBy(*dec("0")); }));
    EXPECT_TRUE(raisesNamed(DecimalNumberOverflowException,
                            [] { dec("1e127")->decimalNumberByMultiplyingBy(*dec("1e38")); }));
    EXPECT_TRUE(raisesNamed(DecimalNumberUnderflowException,
                            [] { dec("1e-128")->decimalNumberByDividingBy(*dec("1000")); }));

    EXPECT_TRUE(dec("1")->decimalNumberByDividingBy(*dec("0"), quiet())->isNotANumber());
    EXPECT_TRUE(dec("1e127")->decimalNumberByMultiplyingBy(*dec("1e38"), quiet())->isNotANumber());
    EXPECT_EQ(dec("1e-128")->decimalNumberByDividingBy(*dec("1000"), quiet())->stringValue(), "0");
    // A large exponent moves into the mantissa before it overflows.
    EXPECT_FALSE(dec("1e127")->decimalNumberByMultiplyingBy(*dec("1000"))->isNotANumber());

    auto nan = DecimalNumber::notANumber();
    EXPECT_TRUE(nan->decimalNumberByAdding(*dec("1"))->isNotANumber());
    EXPECT_TRUE(dec("1")->decimalNumberByDividingBy(*nan)->isNotANumber());
    EXPECT_TRUE(dec("1e200")->isNotANumber());
    EXPECT_EQ(dec("1e-200")->stringValue(), "0");
}

TEST(DecimalComparison, ExactAndConsistentWithNumbers) {
    auto a = dec("1.0000000000000000000000000000000000001");
    auto b = dec("1.0000000000000000000000000000000000002");
    EXPECT_EQ(a->compare(*b), ComparisonResult::Ascending);
    EXPECT_EQ(b->compare(*a), ComparisonResult::Descending);
    EXPECT_FALSE(a->isEqual(b));
    EXPECT_EQ(dec("-5")->compare(*dec("-0.5")), ComparisonResult::Ascending);
    EXPECT_EQ(dec("0")->compare(*dec("-0.0001")), ComparisonResult::Descending);
    EXPECT_EQ(dec("120")->compare(*dec("1.2e2")), ComparisonResult::Same);
    EXPECT_EQ(DecimalNumber::notANumber()->compare(*dec("-1e100")), ComparisonResult::Ascending);

    auto twelve = dec("12.00");
    EXPECT_TRUE(twelve->isEqual(Number::withInt(12)));
    EXPECT_TRUE(Number::withInt(12)->isEqual(twelve));
    EXPECT_EQ(twelve->hash(), Number::withInt(12)->hash());
    EXPECT_EQ(twelve->compare(*Number::withDouble(12.5)), ComparisonResult::Ascending);
    EXPECT_TRUE(DecimalNumber::one()->isEqual(dec("1")));
    EXPECT_EQ(DecimalNumberHandler::defaultDecimalNumberHandler()->className(), "NSDecimalNumberHandler");
}

}  // namespace
