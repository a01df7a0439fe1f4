#pragma once
// printf-style formatting with the platform's "%@" for objects, type safe:
//   ns::format("%@ scored %d (%.1f%%)", name, score, ratio)
//
// Supported: flags "-+ #0", width and precision (digits or "*"), the length
// modifiers hh h l ll q z t j L, and the conversions
//   @       the text form of any value (textOf), "(null)" for nil
//   d i D   signed;  u x X o U O  unsigned (truncated to the modifier's width
//           like a C vararg: "%d" prints the low 32 bits)
//   f F e E g G a A   floating point
//   s       text ("(null)" for a null C string);  c C  one character
//   p       an address as "0x..." ("0x0" for nil);  %%  a percent sign
// Numbers are written in the C locale whatever the process locale is.
// An argument of another kind than the conversion wants is converted to it
// (a number for "%d", its text for "%@" or "%s", ...). A conversion with no
// argument left writes nothing; surplus arguments are ignored.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/runtime/Object.h"

namespace ns {

class FormatArg {
public:
    enum class Kind : uint8_t { Signed, Unsigned, Double, Text, Object, Pointer };

    template <class T>
        requires(std::is_integral_v<T> && std::is_signed_v<T>)
    FormatArg(T v) : kind_(Kind::Signed) { s_ = v; }
    template <class T>
        requires(std::is_integral_v<T> && std::is_unsigned_v<T> && !std::is_same_v<T, bool>)
    FormatArg(T v) : kind_(Kind::Unsigned) { u_ = v; }
    FormatArg(bool v) : kind_(Kind::Signed) { s_ = v ? 1 : 0; }
    template <class T>
        requires std::is_enum_v<T>
    FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}
    template <class T>
        requires std::is_floating_point_v<T>
    FormatArg(T v) : kind_(Kind::Double) { d_ = static_cast<double>(v); }

    FormatArg(const char* s) : kind_(Kind::Text) { text_ = {s, s ? std::char_traits<char>::length(s) : 0, s == nullptr}; }
    FormatArg(const std::string& s) : kind_(Kind::Text) { text_ = {s.data(), s.size(), false}; }
    FormatArg(std::string_view s) : kind_(Kind::Text) { text_ = {s.data(), s.size(), false}; }

    FormatArg(const Object* o) : kind_(Kind::Object) { object_ = o; }
    FormatArg(const Object& o) : kind_(Kind::Object) { object_ = &o; }
    FormatArg(std::nullptr_t) : kind_(Kind::Object) { object_ = nullptr; }
    template <class T>
        requires std::is_base_of_v<Object, T>
    FormatArg(const Ref<T>& o) : kind_(Kind::Object) { object_ = o.get(); }
    FormatArg(const void* p) : kind_(Kind::Pointer) { pointer_ = p; }

    Kind kind() const { return kind_; }
    int64_t asSigned() const;
    uint64_t asUnsigned() const;
    double asDouble() const;
    // The text form: the text itself, a number in decimal, an object's textOf.
    std::string asText() const;
    const void* asPointer() const;

private:
    struct Text {
        const char* data;
        size_t size;
        bool null;
    };
    Kind kind_;
    union {
        int64_t s_;
        uint64_t u_;
        double d_;
        Text text_;
        const Object* object_;
        const void* pointer_;
    };
};

std::string formatList(std::string_view format, const FormatArg* args, size_t count);

template <class... A>
std::string format(std::string_view fmt, const A&... args) {
    if constexpr (sizeof...(A) == 0) {
        return formatList(fmt, nullptr, 0);
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return formatList(fmt, list, sizeof...(A));
    }
}

}  // namespace ns
