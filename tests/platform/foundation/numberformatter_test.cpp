#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/NumberFormatter.h"

namespace {

using namespace ns;

TEST(NumberFormatterReading, TheWholeTextMustBeOneNumber) {
    NumberFormatter f;
    for (const char* bad : {"12abc", "abc", " 12", "12 ", "", "-", "+", ".", "1,000", "1e", "1e+", "1..2", "1.2.3",
                            "--1", "0x10", "١٢", "12\n", "NaN"}) {
        EXPECT_FALSE(f.numberFromString(bad)) << bad;
    }
}

TEST(NumberFormatterReading, WholeValuesBecomeIntegers) {
    NumberFormatter f;
    auto twelve = f.numberFromString("12");
    ASSERT_TRUE(twelve);
    EXPECT_EQ(twelve->kind(), Number::Kind::Signed);
    EXPECT_EQ(twelve->longLongValue(), 12);
    EXPECT_EQ(f.numberFromString("-7")->longLongValue(), -7);
    EXPECT_EQ(f.numberFromString("+5")->longLongValue(), 5);
    EXPECT_EQ(f.numberFromString("1e3")->kind(), Number::Kind::Signed);
    EXPECT_EQ(f.numberFromString("1e3")->longLongValue(), 1000);
    EXPECT_EQ(f.numberFromString("12.")->longLongValue(), 12);
    EXPECT_EQ(f.numberFromString("-9223372036854775808")->longLongValue(), INT64_MIN);

    auto half = f.numberFromString("12.5");
    EXPECT_EQ(half->kind(), Number::Kind::Double);
    EXPECT_EQ(half->doubleValue(), 12.5);
    EXPECT_EQ(f.numberFromString(".5")->doubleValue(), 0.5);
    EXPECT_EQ(f.numberFromString("0.1")->doubleValue(), 0.1);
    EXPECT_EQ(f.numberFromString("2.5E-3")->doubleValue(), 0.0025);
    EXPECT_EQ(f.numberFromString("123456789012345678901234567890")->doubleValue(), 1.2345678901234568e29);
    EXPECT_TRUE(std::signbit(f.numberFromString("-0")->doubleValue()));
}

TEST(NumberFormatterReading, GroupingOnlyWhereTheStyleUsesIt) {
    NumberFormatter f;
    f.setNumberStyle(NumberFormatterStyle::Decimal);
    EXPECT_EQ(f.numberFromString("1,234.5")->doubleValue(), 1234.5);
    EXPECT_EQ(f.numberFromString("1,234,567")->longLongValue(), 1234567);
    for (const char* bad : {",123", "1,", "1,,234", "1,.5", "1 234"}) EXPECT_FALSE(f.numberFromString(bad)) << bad;

    // Separators are the formatter's own.
    f.setDecimalSeparator(",");
    f.setGroupingSeparator(".");
    EXPECT_EQ(f.numberFromString("1.234,5")->doubleValue(), 1234.5);
    EXPECT_FALSE(f.numberFromString("1,234.5"));
}

TEST(NumberFormatterReading, TheCLibrarysLocaleDoesNotMatter) {
    // A locale whose decimal mark is a comma, where the machine has one.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    }
    NumberFormatter f;
    f.setNumberStyle(NumberFormatterStyle::Decimal);
    auto half = f.numberFromString("0.5");
    std::string written = f.stringFromNumber(*Number::withDouble(1234.5));
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma is installed";
    ASSERT_TRUE(half);
    EXPECT_EQ(half->doubleValue(), 0.5);
    EXPECT_EQ(written, "1,234.5");
}

TEST(NumberFormatterWriting, NoStyleWritesWholeNumbersRoundedHalfToEven) {
    NumberFormatter f;
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(2.5)), "2");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(3.5)), "4");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(2.51)), "3");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(-0.4)), "-0");
    EXPECT_EQ(f.stringFromNumber(*Number::withLongLong(1234567)), "1234567");
    EXPECT_EQ(f.stringFromNumber(*Number::withUnsignedLongLong(UINT64_MAX)), "18446744073709551615");
    EXPECT_EQ(f.stringFromNumber(*Number::withLongLong(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(f.stringFromNumber(*Number::True()), "1");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(1e21)), "1000000000000000000000");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(std::nan(""))), "NaN");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(-INFINITY)), "-∞");
}

TEST(NumberFormatterWriting, DecimalStyleGroupsAndKeepsThreeFractionDigits) {
    NumberFormatter f;
    f.setNumberStyle(NumberFormatterStyle::Decimal);
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(1234567.891)), "1,234,567.891");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(1234.5678)), "1,234.568");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(-999.9996)), "-1,000");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(0.0005)), "0");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(0.0015)), "0.002");
    EXPECT_EQ(f.stringFromNumber(*Number::withInt(100)), "100");

    // Rounded from the shortest digits of the double, so 2.675 is a half.
    f.setMaximumFractionDigits(2);
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(2.675)), "2.68");
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(2.665)), "2.66");
    f.setMinimumFractionDigits(2);
    EXPECT_EQ(f.stringFromNumber(*Number::withInt(1)), "1.00");
    f.setMinimumFractionDigits(4);
    EXPECT_EQ(f.maximumFractionDigits(), 4u);
    f.setMaximumFractionDigits(1);
    EXPECT_EQ(f.minimumFractionDigits(), 1u);
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(0.25)), "0.2");

    f.setUsesGroupingSeparator(false);
    f.setMaximumFractionDigits(2);
    EXPECT_EQ(f.stringFromNumber(*DecimalNumber::withString("12345678901234567890.125")), "12345678901234567890.12");
}

TEST(NumberFormatterWriting, StyleResetsDigitsAndGrouping) {
    NumberFormatter f;
    f.setNumberStyle(NumberFormatterStyle::Decimal);
    f.setMaximumFractionDigits(6);
    f.setNumberStyle(NumberFormatterStyle::None);
    EXPECT_EQ(f.maximumFractionDigits(), 0u);
    EXPECT_FALSE(f.usesGroupingSeparator());
    EXPECT_EQ(f.stringFromNumber(*Number::withDouble(1234.5)), "1234");
    EXPECT_EQ(f.className(), "NSNumberFormatter");
}

}  // namespace
