// The encoder's number text against the C library's: "%.17g" for doubles,
// plain decimal for integers.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "net/JKNumberFormat.h"

namespace {

std::string ours(double v) {
    char out[JKNumberTextCapacity];
    return std::string(out, JKFormatDouble(v, out));
}

std::string library(double v) {
    char out[64];
    return std::string(out, std::to_chars(out, out + sizeof out, v, std::chars_format::general, 17).ptr);
}

TEST(JsonNumberFormat, DoublesMatchPercentPoint17g) {
    for (double v : {0.1, 1.0, 1e21, -0.0, 0.0, 1.5e-7, 1e-5, 9.9999999999999991e-06, 1e-4, 0.5, 100.0, 1e16, 1e17,
                     99999999999999999.0, 9.9999999999999998e16, 123456789012345678.0, 2.5, -2.5, 0.30000000000000004,
                     12345.678, 5e-324, 1.7976931348623157e308, 4503599627370497.5, 0.000123, 1234567.0}) {
        EXPECT_EQ(ours(v), library(v)) << v;
    }
    EXPECT_EQ(ours(0.1), "0.10000000000000001");
    EXPECT_EQ(ours(1e21), "1e+21");
    EXPECT_EQ(ours(-0.0), "-0");
    EXPECT_EQ(ours(2e-5), "2.0000000000000002e-05");
}

TEST(JsonNumberFormat, RandomDoublesInEveryRangeMatch) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        double v;
        if (i % 2) {
            const uint64_t bits = random();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v)) continue;
        } else {
            // Concentrated where the fast path works: 1e-5 up to 1e17.
            const double exponent = std::uniform_real_distribution<double>(-5.5, 17.5)(random);
            v = std::pow(10.0, exponent) * (random() % 2 ? 1 : -1);
            if (i % 4 == 0) v = std::round(v * 1000.0) / 1000.0;
        }
        ASSERT_EQ(ours(v), library(v)) << "bits of the failing value: " << std::hexfloat << v;
    }
}

TEST(JsonNumberFormat, HalfwayCasesRoundToEven) {
    // Integers just above 2^53 are exact; 17 digits keep them whole, and
    // values with 18 digits need rounding at the 17th.
    for (uint64_t n = (uint64_t(1) << 53) - 50; n < (uint64_t(1) << 53) + 50; ++n) {
        const double v = double(n);
        ASSERT_EQ(ours(v), library(v)) << n;
        ASSERT_EQ(ours(v / 1024), library(v / 1024)) << n;
    }
}

TEST(JsonNumberFormat, IntegersAtTheirEdges) {
    char out[JKNumberTextCapacity];
    EXPECT_EQ(std::string(out, JKFormatSigned(INT64_MIN, out)), "-9223372036854775808");
    EXPECT_EQ(std::string(out, JKFormatSigned(INT64_MAX, out)), "9223372036854775807");
    EXPECT_EQ(std::string(out, JKFormatSigned(0, out)), "0");
    EXPECT_EQ(std::string(out, JKFormatSigned(-7, out)), "-7");
    EXPECT_EQ(std::string(out, JKFormatUnsigned(UINT64_MAX, out)), "18446744073709551615");
    EXPECT_EQ(std::string(out, JKFormatUnsigned(10, out)), "10");
    for (uint64_t v = 1; v < UINT64_MAX / 10; v = v * 10 + 3) {
        EXPECT_EQ(std::string(out, JKFormatUnsigned(v, out)), std::to_string(v));
    }
}

}  // namespace
