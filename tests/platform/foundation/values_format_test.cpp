#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

#include "platform/foundation/Format.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"

namespace ns {
namespace {

TEST(Format, ObjectsByTheirText) {
    Id nil;
    EXPECT_EQ(format("[%@]", str("héllo")), "[héllo]");
    EXPECT_EQ(format("%@ %@ %@", Number::withDouble(6.0), Number::True(), Number::False()), "6 1 0");
    EXPECT_EQ(format("%@|%@", nil, Null::null()), "(null)|<null>");
    EXPECT_EQ(format("%@", nullptr), "(null)");
    EXPECT_EQ(format("CallbackFromIOS('%@')", std::string("{\"a\":1}")), "CallbackFromIOS('{\"a\":1}')");
    EXPECT_EQ(format("%@=%@&", "key", 42), "key=42&");
    EXPECT_EQ(format("%@", *str("by reference")), "by reference");
}

TEST(Format, SignedAndUnsignedIntegers) {
    EXPECT_EQ(format("%d %i", -5, 7), "-5 7");
    EXPECT_EQ(format("%u", 3000000000u), "3000000000");
    EXPECT_EQ(format("%ld %lu", int64_t(-9000000000), uint64_t(9000000000)), "-9000000000 9000000000");
    EXPECT_EQ(format("%lld %llu", INT64_MIN, UINT64_MAX), "-9223372036854775808 18446744073709551615");
    EXPECT_EQ(format("%zu", size_t(12)), "12");
    EXPECT_EQ(format("%zi", -3), "-3");
    // A C vararg "%d" reads an int: a 64-bit value keeps its low 32 bits.
    EXPECT_EQ(format("%d", int64_t(5000000000)), "705032704");
    EXPECT_EQ(format("%5d|%-5d|%05d|%+d", 42, 42, 42, 42), "   42|42   |00042|+42");
    EXPECT_EQ(format("%#ld", 17L), "17");
    EXPECT_EQ(format("%hhd %hu", 300, 70000), "44 4464");
}

TEST(Format, Hexadecimal) {
    EXPECT_EQ(format("%x %X", 255, 255), "ff FF");
    EXPECT_EQ(format("%02x%02x", 5, 0xab), "05ab");
    EXPECT_EQ(format("0x%2.2x.", 9), "0x09.");
    EXPECT_EQ(format("\\u%4.4x", 0x1f), "\\u001f");
    EXPECT_EQ(format("Boundary+%08X%08X", 0x1a2bu, 0xdeadbeefu), "Boundary+00001A2BDEADBEEF");
    EXPECT_EQ(format("%02X", uint8_t(0xe9)), "E9");
    EXPECT_EQ(format("%x", -1), "ffffffff");
}

TEST(Format, FloatingPoint) {
    EXPECT_EQ(format("%f", 1.5), "1.500000");
    EXPECT_EQ(format("%.2f", 3.14159), "3.14");
    EXPECT_EQ(format("%0.2f", 2.0), "2.00");
    EXPECT_EQ(format("%.0f", 1700000000.6), "1700000001");
    EXPECT_EQ(format("%g %g", 0.0001, 1e20), "0.0001 1e+20");
    EXPECT_EQ(format("%.17g", 0.1), "0.10000000000000001");
    EXPECT_EQ(format("%.17g %.17g", 1.0, 1e21), "1 1e+21");
    // Single-precision steps of the language header print as one digit.
    EXPECT_EQ(format("%0.1g", double(1.0f - 0.1f)), "0.9");
    EXPECT_EQ(format("%0.1g", 1.0), "1");
    EXPECT_EQ(format("%e", 12345.678), "1.234568e+04");
    EXPECT_EQ(format("%8.3f|", -1.0), "  -1.000|");
    // An integer where a double is wanted is converted, not reinterpreted.
    EXPECT_EQ(format("%.1f", 3), "3.0");
}

TEST(Format, TextCharactersAndPointers) {
    EXPECT_EQ(format("%s and %s", "C text", std::string("std text")), "C text and std text");
    EXPECT_EQ(format("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(format("Expected a value, not '%*.*s'", 3, 3, "truefalse"), "Expected a value, not 'tru'");
    EXPECT_EQ(format("[%6s][%-6s]", "ab", "ab"), "[    ab][ab    ]");
    EXPECT_EQ(format("Found '%c', expected", 'G'), "Found 'G', expected");
    int x = 0;
    EXPECT_EQ(format("%p", static_cast<const void*>(nullptr)), "0x0");
    char expected[32];
    std::snprintf(expected, sizeof expected, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&x)));
    EXPECT_EQ(format("%p", static_cast<const void*>(&x)), expected);
    EXPECT_EQ(format("100%%"), "100%");
}

TEST(Format, WidthOfObjectTextCountsUtf16Units) {
    EXPECT_EQ(format("[%4@]", str("中文")), "[  中文]");
    EXPECT_EQ(format("[%-3@]", str("😀")), "[😀 ]");
}

TEST(Format, MismatchedOrMissingArgumentsNeverCrash) {
    EXPECT_EQ(format("%d|%@|%s", str("text"), 5, 2.5), "0|5|2.5");
    EXPECT_EQ(format("a=%@ b=%d c=%s.", 1), "a=1 b= c=.");
    EXPECT_EQ(format("%d", Number::withInt(12)), "12");
    EXPECT_EQ(format("no args", 1, 2), "no args");
    EXPECT_EQ(format("%y %"), "%y %");
}

TEST(Format, NumbersIgnoreTheProcessLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    std::string text = format("%.2f %g", 1.25, 0.5);
    double parsed = str(" 2.75xyz")->doubleValue();
    std::string described = Number::withDouble(0.25)->stringValue();
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1.25 0.5");
    EXPECT_EQ(parsed, 2.75);
    EXPECT_EQ(described, "0.25");
}

}  // namespace
}  // namespace ns
