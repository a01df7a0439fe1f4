#pragma once
// Numbers: signed, unsigned, double or boolean, with the platform's one-letter
// type code. True and False are singletons.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's boxed-value base class: a few bytes with a type code, for
// ranges, pointers and the geometry types of other layers. The bytes live in
// a private subclass made by withBytes, so numbers carry none of them.
class Value : public Object {
    RT_DECLARE_CLASS(Value)
public:
    Value() = default;
    static Ref<Value> withBytes(const void* bytes, size_t size, std::string objCType);
    static Ref<Value> withRange(Range range);
    static Ref<Value> withPointer(const void* pointer);

    virtual const char* objCType() const { return ""; }
    // Copies the stored bytes out; false when `size` does not match them.
    bool getValue(void* out, size_t size) const;
    Range rangeValue() const;
    const void* pointerValue() const;

    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }

protected:
    // The boxed bytes; none for a plain value or a number.
    virtual std::string_view valueBytes() const { return {}; }
};

class Number : public Value {
    RT_DECLARE_CLASS(Number)
public:
    enum class Kind : uint8_t { Signed, Unsigned, Double, Bool };

    Number() = default;
    static Ref<Number> withLongLong(int64_t v);           // 'q'
    static Ref<Number> withInt(int32_t v);                // 'i'
    static Ref<Number> withUnsignedLongLong(uint64_t v);  // 'Q'
    static Ref<Number> withDouble(double v);              // 'd'
    static Ref<Number> withFloat(float v);                // 'f'
    static Ref<Number> withBool(bool v);                  // the True/False singletons ('c')
    static const Ref<Number>& True();
    static const Ref<Number>& False();

    Kind kind() const { return kind_; }
    // One-letter type code: "q", "i", "Q", "d", "f", "c" (booleans), ...
    const char* objCType() const override;
    bool isBoolean() const { return kind_ == Kind::Bool; }

    int64_t longLongValue() const;
    uint64_t unsignedLongLongValue() const;
    int32_t intValue() const;
    double doubleValue() const;
    bool boolValue() const;
    // CORE API ABOVE: add further methods below; do not rename these.

    // The remaining C widths, for values read from typed properties.
    static Ref<Number> withChar(int8_t v);               // 'c', not a boolean
    static Ref<Number> withShort(int16_t v);             // 's'
    static Ref<Number> withUnsignedChar(uint8_t v);      // 'C'
    static Ref<Number> withUnsignedShort(uint16_t v);    // 'S'
    static Ref<Number> withUnsignedInt(uint32_t v);      // 'I'
    static Ref<Number> withInteger(int64_t v) { return withLongLong(v); }
    // A 'q' number for `v` as withLongLong makes it, but one object shared
    // by every caller for the small values (SharedFrom to SharedTo), as the
    // booleans are: for readers that make numbers by the million (a JSON
    // array of zeros). Numbers never change, so sharing one is safe.
    static Ref<Number> sharedWithLongLong(int64_t v);
    static constexpr int64_t SharedFrom = -128;
    static constexpr int64_t SharedTo = 1023;
    int64_t integerValue() const { return longLongValue(); }
    float floatValue() const { return static_cast<float>(doubleValue()); }

    // Exact comparison across kinds (no rounding of large integers); NaN is
    // below every other number and equal to itself.
    ComparisonResult compare(const Number& other) const;
    bool isEqualToNumber(const Number* other) const { return other && compare(*other) == ComparisonResult::Same; }

    // The text rule: "6" for 6.0, "1"/"0" for booleans, "-0" for -0.0, other
    // doubles in the shortest form that reads back to the same value.
    virtual std::string stringValue() const;
    std::string description() const override { return stringValue(); }
    // Equal numbers hash alike whatever their kinds (6 and 6.0 included).
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }

protected:
    // Both codes fit in the padding after the root object's own fields.
    Kind kind_ = Kind::Signed;
    char type_ = 'q';
    union {
        int64_t s;
        uint64_t u;
        double d;
    } v_{0};
};

inline Ref<Number> num(int64_t v) { return Number::withLongLong(v); }

}  // namespace ns
