#include "platform/foundation/Number.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace ns {

RT_DEFINE_CLASS(Value, Object, "NSValue")
RT_DEFINE_CLASS(Number, Value, "NSNumber")

namespace {

constexpr const char* RangeType = "{_NSRange=QQ}";
constexpr const char* PointerType = "^v";

uint64_t mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return x;
}

std::string hexBytes(std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "<";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i && i % 4 == 0) out += ' ';
        out += hex[uint8_t(bytes[i]) >> 4];
        out += hex[uint8_t(bytes[i]) & 0xF];
    }
    return out + ">";
}

template <class T>
std::string shortest(T value) {
    if (std::isnan(value)) return "nan";
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

}  // namespace

// ---- Value ----

namespace {

// A value made from bytes: the only kind that carries them.
class BoxedValue final : public Value {
public:
    BoxedValue(const void* bytes, size_t size, std::string objCType)
        : bytes_(static_cast<const char*>(bytes), size), type_(std::move(objCType)) {}
    const char* objCType() const override { return type_.c_str(); }

protected:
    std::string_view valueBytes() const override { return bytes_; }

private:
    std::string bytes_;
    std::string type_;
};

}  // namespace

Ref<Value> Value::withBytes(const void* bytes, size_t size, std::string objCType) {
    return std::make_shared<BoxedValue>(bytes, size, std::move(objCType));
}

Ref<Value> Value::withRange(Range range) { return withBytes(&range, sizeof range, RangeType); }

Ref<Value> Value::withPointer(const void* pointer) { return withBytes(&pointer, sizeof pointer, PointerType); }

bool Value::getValue(void* out, size_t size) const {
    const std::string_view bytes = valueBytes();
    if (size != bytes.size()) return false;
    if (size) std::memcpy(out, bytes.data(), size);
    return true;
}

Range Value::rangeValue() const {
    Range r;
    if (std::strcmp(objCType(), RangeType) != 0 || !getValue(&r, sizeof r)) return {};
    return r;
}

const void* Value::pointerValue() const {
    const void* p = nullptr;
    if (std::strcmp(objCType(), PointerType) != 0 || !getValue(&p, sizeof p)) return nullptr;
    return p;
}

std::string Value::description() const {
    if (std::strcmp(objCType(), RangeType) == 0) {
        Range r = rangeValue();
        return "NSRange: {" + std::to_string(r.location) + ", " + std::to_string(r.length) + "}";
    }
    return hexBytes(valueBytes());
}

uint64_t Value::hash() const {
    uint64_t h = 0xcbf29ce484222325ull;
    for (char b : valueBytes()) h = (h ^ uint8_t(b)) * 0x100000001b3ull;
    return h;
}

bool Value::isEqual(const Object* other) const {
    auto value = dynamic_cast<const Value*>(other);
    if (!value || dynamic_cast<const Number*>(other)) return false;
    return std::strcmp(value->objCType(), objCType()) == 0 && value->valueBytes() == valueBytes();
}

// ---- Number ----

const char* Number::objCType() const {
    switch (type_) {
        case 'i': return "i";
        case 'Q': return "Q";
        case 'd': return "d";
        case 'f': return "f";
        case 'c': return "c";
        case 's': return "s";
        case 'C': return "C";
        case 'S': return "S";
        case 'I': return "I";
        default: return "q";
    }
}

Ref<Number> Number::withLongLong(int64_t v) {
    auto n = std::make_shared<Number>();
    n->v_.s = v;
    return n;
}

Ref<Number> Number::sharedWithLongLong(int64_t v) {
    if (v < SharedFrom || v > SharedTo) return withLongLong(v);
    // Made once, all together, and never released (about 72 KiB).
    static const auto* shared = [] {
        auto* made = new std::vector<Ref<Number>>();
        made->reserve(size_t(SharedTo - SharedFrom + 1));
        for (int64_t n = SharedFrom; n <= SharedTo; ++n) made->push_back(withLongLong(n));
        return made;
    }();
    return (*shared)[size_t(v - SharedFrom)];
}

Ref<Number> Number::withInt(int32_t v) {
    auto n = withLongLong(v);
    n->type_ = 'i';
    return n;
}

Ref<Number> Number::withChar(int8_t v) {
    auto n = withLongLong(v);
    n->type_ = 'c';
    return n;
}

Ref<Number> Number::withShort(int16_t v) {
    auto n = withLongLong(v);
    n->type_ = 's';
    return n;
}

Ref<Number> Number::withUnsignedLongLong(uint64_t v) {
    auto n = std::make_shared<Number>();
    n->kind_ = Kind::Unsigned;
    n->type_ = 'Q';
    n->v_.u = v;
    return n;
}

Ref<Number> Number::withUnsignedChar(uint8_t v) {
    auto n = withUnsignedLongLong(v);
    n->type_ = 'C';
    return n;
}

Ref<Number> Number::withUnsignedShort(uint16_t v) {
    auto n = withUnsignedLongLong(v);
    n->type_ = 'S';
    return n;
}

Ref<Number> Number::withUnsignedInt(uint32_t v) {
    auto n = withUnsignedLongLong(v);
    n->type_ = 'I';
    return n;
}

Ref<Number> Number::withDouble(double v) {
    auto n = std::make_shared<Number>();
    n->kind_ = Kind::Double;
    n->type_ = 'd';
    n->v_.d = v;
    return n;
}

Ref<Number> Number::withFloat(float v) {
    auto n = withDouble(v);
    n->type_ = 'f';
    return n;
}

Ref<Number> Number::withBool(bool v) { return v ? True() : False(); }

const Ref<Number>& Number::True() {
    static const Ref<Number> yes = [] {
        auto n = std::make_shared<Number>();
        n->kind_ = Kind::Bool;
        n->type_ = 'c';
        n->v_.s = 1;
        return n;
    }();
    return yes;
}

const Ref<Number>& Number::False() {
    static const Ref<Number> no = [] {
        auto n = std::make_shared<Number>();
        n->kind_ = Kind::Bool;
        n->type_ = 'c';
        n->v_.s = 0;
        return n;
    }();
    return no;
}

int64_t Number::longLongValue() const {
    switch (kind_) {
        case Kind::Unsigned:
            return static_cast<int64_t>(v_.u);
        case Kind::Double: {
            double d = v_.d;
            if (std::isnan(d)) return 0;
            if (d >= 9223372036854775808.0) return INT64_MAX;
            if (d < -9223372036854775808.0) return INT64_MIN;
            return static_cast<int64_t>(d);
        }
        default:
            return v_.s;
    }
}

uint64_t Number::unsignedLongLongValue() const {
    switch (kind_) {
        case Kind::Unsigned:
            return v_.u;
        case Kind::Double: {
            double d = v_.d;
            if (std::isnan(d)) return 0;
            if (d >= 18446744073709551616.0) return UINT64_MAX;
            if (d < 0) return static_cast<uint64_t>(longLongValue());
            return static_cast<uint64_t>(d);
        }
        default:
            return static_cast<uint64_t>(v_.s);
    }
}

int32_t Number::intValue() const { return static_cast<int32_t>(longLongValue()); }

double Number::doubleValue() const {
    switch (kind_) {
        case Kind::Unsigned:
            return static_cast<double>(v_.u);
        case Kind::Double:
            return v_.d;
        default:
            return static_cast<double>(v_.s);
    }
}

bool Number::boolValue() const {
    switch (kind_) {
        case Kind::Unsigned:
            return v_.u != 0;
        case Kind::Double:
            return v_.d != 0;
        default:
            return v_.s != 0;
    }
}

ComparisonResult Number::compare(const Number& other) const {
    auto order = [](auto a, auto b) {
        return a < b ? ComparisonResult::Ascending : b < a ? ComparisonResult::Descending : ComparisonResult::Same;
    };
    if (kind_ != Kind::Double && other.kind_ != Kind::Double) {
        auto wide = [](const Number& n) {
            return n.kind_ == Kind::Unsigned ? static_cast<__int128>(n.v_.u) : static_cast<__int128>(n.v_.s);
        };
        return order(wide(*this), wide(other));
    }
    // 80-bit long double holds every 64-bit integer and every double exactly.
    auto exact = [](const Number& n) -> long double {
        switch (n.kind_) {
            case Kind::Unsigned:
                return static_cast<long double>(n.v_.u);
            case Kind::Double:
                return n.v_.d;
            default:
                return static_cast<long double>(n.v_.s);
        }
    };
    long double a = exact(*this), b = exact(other);
    if (std::isnan(a) || std::isnan(b)) {
        if (std::isnan(a) && std::isnan(b)) return ComparisonResult::Same;
        return std::isnan(a) ? ComparisonResult::Ascending : ComparisonResult::Descending;
    }
    return order(a, b);
}

std::string Number::stringValue() const {
    switch (kind_) {
        case Kind::Bool:
            return v_.s ? "1" : "0";
        case Kind::Signed:
            return std::to_string(v_.s);
        case Kind::Unsigned:
            return std::to_string(v_.u);
        case Kind::Double:
            if (type_ == 'f') return shortest(static_cast<float>(v_.d));
            return shortest(v_.d);
    }
    return {};
}

uint64_t Number::hash() const {
    switch (kind_) {
        case Kind::Unsigned:
            return mix(v_.u);
        case Kind::Double: {
            double d = v_.d;
            if (std::isnan(d)) return mix(0x7ff8000000000000ull);
            // Integral values hash as the integer they equal.
            if (d == std::trunc(d) && d >= -9223372036854775808.0 && d < 18446744073709551616.0) {
                return d < 0 ? mix(static_cast<uint64_t>(static_cast<int64_t>(d))) : mix(static_cast<uint64_t>(d));
            }
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            return mix(bits);
        }
        default:
            return mix(static_cast<uint64_t>(v_.s));
    }
}

bool Number::isEqual(const Object* other) const {
    auto number = dynamic_cast<const Number*>(other);
    return number && compare(*number) == ComparisonResult::Same;
}

}  // namespace ns
