#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Number.h"

namespace ns {
namespace {

TEST(NumberText, TheTextRule) {
    EXPECT_EQ(Number::withDouble(6.0)->stringValue(), "6");
    EXPECT_EQ(Number::withDouble(0.1)->stringValue(), "0.1");
    EXPECT_EQ(Number::withDouble(-2.5)->stringValue(), "-2.5");
    EXPECT_EQ(Number::withDouble(-0.0)->stringValue(), "-0");
    EXPECT_EQ(Number::withDouble(1e21)->stringValue(), "1e+21");
    EXPECT_EQ(Number::withDouble(1.0 / 3)->stringValue(), "0.3333333333333333");
    EXPECT_EQ(Number::withFloat(0.1f)->stringValue(), "0.1");
    EXPECT_EQ(Number::True()->stringValue(), "1");
    EXPECT_EQ(Number::False()->description(), "0");
    EXPECT_EQ(Number::withLongLong(INT64_MAX)->stringValue(), "9223372036854775807");
    EXPECT_EQ(Number::withLongLong(INT64_MIN)->stringValue(), "-9223372036854775808");
    EXPECT_EQ(Number::withUnsignedLongLong(UINT64_MAX)->stringValue(), "18446744073709551615");
    EXPECT_EQ(Number::withDouble(std::numeric_limits<double>::infinity())->stringValue(), "inf");
    EXPECT_EQ(Number::withDouble(std::nan(""))->stringValue(), "nan");
}

TEST(NumberKinds, TypeCodesAndSingletons) {
    EXPECT_STREQ(Number::withLongLong(1)->objCType(), "q");
    EXPECT_STREQ(Number::withInt(1)->objCType(), "i");
    EXPECT_STREQ(Number::withUnsignedLongLong(1)->objCType(), "Q");
    EXPECT_STREQ(Number::withDouble(1)->objCType(), "d");
    EXPECT_STREQ(Number::withFloat(1)->objCType(), "f");
    EXPECT_STREQ(Number::True()->objCType(), "c");
    EXPECT_EQ(Number::withBool(true), Number::True());
    EXPECT_EQ(Number::withBool(false), Number::False());
    EXPECT_TRUE(Number::True()->isBoolean());
    // A char is not a boolean even though both say "c".
    EXPECT_FALSE(Number::withChar(1)->isBoolean());
    EXPECT_EQ(Number::True()->className(), "NSNumber");
    EXPECT_TRUE(Number::withInt(1)->isKindOf("NSValue"));
}

TEST(NumberKinds, ConversionsAtTheEdges) {
    auto big = Number::withUnsignedLongLong(UINT64_MAX);
    EXPECT_EQ(big->unsignedLongLongValue(), UINT64_MAX);
    EXPECT_EQ(big->longLongValue(), -1);  // reinterpreted, as a C cast would
    EXPECT_EQ(Number::withDouble(1e30)->longLongValue(), INT64_MAX);
    EXPECT_EQ(Number::withDouble(-1e30)->longLongValue(), INT64_MIN);
    EXPECT_EQ(Number::withDouble(std::nan(""))->longLongValue(), 0);
    EXPECT_EQ(Number::withDouble(-7.9)->intValue(), -7);
    EXPECT_TRUE(std::signbit(Number::withDouble(-0.0)->doubleValue()));
    EXPECT_EQ(Number::True()->doubleValue(), 1.0);
    EXPECT_FALSE(Number::withDouble(0.0)->boolValue());
}

TEST(NumberEquality, AcrossKindsWithMatchingHashes) {
    auto expectSame = [](const Ref<Number>& a, const Ref<Number>& b) {
        EXPECT_TRUE(a->isEqual(b)) << a->stringValue() << " vs " << b->stringValue();
        EXPECT_TRUE(b->isEqual(a));
        EXPECT_EQ(a->hash(), b->hash()) << a->stringValue();
    };
    expectSame(Number::withLongLong(6), Number::withDouble(6.0));
    expectSame(Number::withInt(6), Number::withUnsignedLongLong(6));
    expectSame(Number::True(), Number::withLongLong(1));
    expectSame(Number::False(), Number::withDouble(0.0));
    expectSame(Number::withDouble(-0.0), Number::withLongLong(0));
    expectSame(Number::withFloat(0.5f), Number::withDouble(0.5));
    expectSame(Number::withUnsignedLongLong(uint64_t(1) << 63), Number::withDouble(9223372036854775808.0));
    expectSame(Number::withLongLong(INT64_MIN), Number::withDouble(-9223372036854775808.0));
    expectSame(Number::withDouble(std::nan("")), Number::withDouble(std::nan("")));

    EXPECT_FALSE(Number::withLongLong(-1)->isEqual(Number::withUnsignedLongLong(UINT64_MAX)));
    EXPECT_FALSE(Number::withDouble(0.1)->isEqual(Number::withFloat(0.1f)));
    // 2^53 + 1 has no double; comparing through double would call them equal.
    EXPECT_FALSE(Number::withLongLong((int64_t(1) << 53) + 1)->isEqual(Number::withDouble(9007199254740992.0)));
    EXPECT_FALSE(Number::withUnsignedLongLong(UINT64_MAX)->isEqual(Number::withDouble(18446744073709551616.0)));
}

TEST(NumberEquality, CompareOrdersExactly) {
    EXPECT_EQ(Number::withLongLong(-1)->compare(*Number::withUnsignedLongLong(0)), ComparisonResult::Ascending);
    EXPECT_EQ(Number::withUnsignedLongLong(UINT64_MAX)->compare(*Number::withLongLong(INT64_MAX)), ComparisonResult::Descending);
    EXPECT_EQ(Number::withDouble(2.5)->compare(*Number::withInt(2)), ComparisonResult::Descending);
    EXPECT_EQ(Number::withLongLong((int64_t(1) << 53) + 1)->compare(*Number::withDouble(9007199254740992.0)),
              ComparisonResult::Descending);
    EXPECT_EQ(Number::withDouble(std::nan(""))->compare(*Number::withDouble(-1e300)), ComparisonResult::Ascending);
}

TEST(DecimalNumbers, FromTextKeepsDecimalDigits) {
    auto d = DecimalNumber::withString("  12.3400xyz");
    EXPECT_EQ(d->stringValue(), "12.34");
    EXPECT_EQ(d->mantissa(), 1234u);
    EXPECT_EQ(d->exponent(), -2);
    EXPECT_EQ(d->doubleValue(), 12.34);
    EXPECT_EQ(d->className(), "NSDecimalNumber");
    EXPECT_TRUE(d->isKindOf("NSNumber"));
    EXPECT_STREQ(d->objCType(), "d");

    EXPECT_EQ(DecimalNumber::withString("-0.001")->stringValue(), "-0.001");
    EXPECT_EQ(DecimalNumber::withString("1.2e3")->stringValue(), "1200");
    EXPECT_EQ(DecimalNumber::withString("123456789012345678901234567890")->stringValue(), "123456789012345678901234567890");
    EXPECT_TRUE(DecimalNumber::withString("abc")->isNotANumber());
    EXPECT_EQ(DecimalNumber::withString("")->stringValue(), "NaN");
    EXPECT_EQ(DecimalNumber::withMantissa(5, -1, true)->stringValue(), "-0.5");
}

TEST(DecimalNumbers, EqualToOtherNumbersOfTheSameValue) {
    auto twelve = DecimalNumber::withString("12");
    EXPECT_TRUE(twelve->isEqual(Number::withInt(12)));
    EXPECT_EQ(twelve->hash(), Number::withInt(12)->hash());
    EXPECT_EQ(twelve->longLongValue(), 12);
    auto huge = DecimalNumber::withString("18446744073709551615");
    EXPECT_TRUE(huge->isEqual(Number::withUnsignedLongLong(UINT64_MAX)));
    EXPECT_TRUE(DecimalNumber::withString("0.5")->isEqual(Number::withDouble(0.5)));
}

TEST(Values, RangesAndPointers) {
    auto r = Value::withRange({3, 4});
    EXPECT_EQ(r->rangeValue(), (Range{3, 4}));
    EXPECT_EQ(r->description(), "NSRange: {3, 4}");
    EXPECT_TRUE(r->isEqual(Value::withRange({3, 4})));
    EXPECT_FALSE(r->isEqual(Value::withRange({3, 5})));
    int x = 0;
    EXPECT_EQ(Value::withPointer(&x)->pointerValue(), &x);
    EXPECT_EQ(r->className(), "NSValue");
    EXPECT_FALSE(r->isEqual(Value::withPointer(&x)));
    // A number is a value without bytes: its code is its own, getValue refuses.
    EXPECT_FALSE(r->isEqual(num(3)));
    EXPECT_STREQ(num(3)->objCType(), "q");
    int64_t out = 0;
    EXPECT_FALSE(num(3)->getValue(&out, sizeof out));
    // Numbers carry their kind, code and payload only.
    EXPECT_LE(sizeof(Number), sizeof(Object) + 2 * sizeof(uint64_t));
}

}  // namespace
}  // namespace ns
