#include "platform/foundation/Format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/foundation/CLocale.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Unicode.h"

namespace ns {

// ---- Argument conversions ----

int64_t FormatArg::asSigned() const {
    switch (kind_) {
        case Kind::Signed:
            return s_;
        case Kind::Unsigned:
            return static_cast<int64_t>(u_);
        case Kind::Double:
            if (std::isnan(d_)) return 0;
            if (d_ >= 9223372036854775808.0) return INT64_MAX;
            if (d_ < -9223372036854775808.0) return INT64_MIN;
            return static_cast<int64_t>(d_);
        case Kind::Object:
            if (auto n = dynamic_cast<const Number*>(object_)) return n->longLongValue();
            return 0;
        case Kind::Pointer:
            return static_cast<int64_t>(reinterpret_cast<uintptr_t>(pointer_));
        case Kind::Text:
            return 0;
    }
    return 0;
}

uint64_t FormatArg::asUnsigned() const {
    switch (kind_) {
        case Kind::Unsigned:
            return u_;
        case Kind::Object:
            if (auto n = dynamic_cast<const Number*>(object_)) return n->unsignedLongLongValue();
            return 0;
        case Kind::Pointer:
            return reinterpret_cast<uintptr_t>(pointer_);
        default:
            return static_cast<uint64_t>(asSigned());
    }
}

double FormatArg::asDouble() const {
    switch (kind_) {
        case Kind::Signed:
            return static_cast<double>(s_);
        case Kind::Unsigned:
            return static_cast<double>(u_);
        case Kind::Double:
            return d_;
        case Kind::Object:
            if (auto n = dynamic_cast<const Number*>(object_)) return n->doubleValue();
            return 0;
        default:
            return 0;
    }
}

std::string FormatArg::asText() const {
    switch (kind_) {
        case Kind::Text:
            return text_.null ? "(null)" : std::string(text_.data, text_.size);
        case Kind::Object:
            return textOf(object_);
        case Kind::Signed:
            return std::to_string(s_);
        case Kind::Unsigned:
            return std::to_string(u_);
        case Kind::Double:
            return Number::withDouble(d_)->stringValue();
        case Kind::Pointer:
            return format("%p", pointer_);
    }
    return {};
}

const void* FormatArg::asPointer() const {
    switch (kind_) {
        case Kind::Pointer:
            return pointer_;
        case Kind::Object:
            return object_;
        case Kind::Text:
            return text_.data;
        default:
            return reinterpret_cast<const void*>(static_cast<uintptr_t>(asUnsigned()));
    }
}

// ---- Formatting ----

namespace {

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    std::string length;
    char conversion = 0;
    bool leftAlign() const { return flags.find('-') != std::string::npos; }
};

class ArgCursor {
public:
    ArgCursor(const FormatArg* args, size_t count) : args_(args), count_(count) {}
    const FormatArg* next() { return index_ < count_ ? &args_[index_++] : nullptr; }

private:
    const FormatArg* args_;
    size_t count_;
    size_t index_ = 0;
};

// Units of text for width and precision: bytes for "%s" (as C counts),
// UTF-16 units for "%@" (as the platform counts).
size_t unitsOf(std::string_view text, bool utf16) { return utf16 ? unicode::utf16Length(text) : text.size(); }

std::string truncated(std::string text, int precision, bool utf16) {
    if (precision < 0) return text;
    if (!utf16) {
        if (text.size() > size_t(precision)) text.resize(precision);
        return text;
    }
    size_t units = 0, i = 0;
    while (i < text.size()) {
        char32_t cp;
        size_t n = unicode::next(text, i, cp);
        if (units + unicode::utf16Width(cp) > size_t(precision)) break;
        units += unicode::utf16Width(cp);
        i = n;
    }
    text.resize(i);
    return text;
}

void appendPadded(std::string& out, const std::string& text, const Directive& directive, bool utf16) {
    size_t units = unitsOf(text, utf16);
    size_t pad = directive.width > 0 && size_t(directive.width) > units ? size_t(directive.width) - units : 0;
    if (!directive.leftAlign()) out.append(pad, ' ');
    out += text;
    if (directive.leftAlign()) out.append(pad, ' ');
}

// Builds "%<flags><width>.<precision><length><conversion>" with the resolved
// numbers and hands it to snprintf (in the C locale).
template <class T>
void appendPrintf(std::string& out, const Directive& directive, const char* length, char conversion, T value) {
    std::string f = "%";
    for (char c : directive.flags) {
        // "#" means nothing for decimal integers; "'" groups by locale.
        if (c == '\'' || (c == '#' && (conversion == 'd' || conversion == 'u'))) continue;
        f += c;
    }
    if (directive.width >= 0) f += std::to_string(directive.width);
    if (directive.precision >= 0) f += "." + std::to_string(directive.precision);
    f += length;
    f += conversion;
    char small[128];
    int n = std::snprintf(small, sizeof small, f.c_str(), value);
    if (n < 0) return;
    if (size_t(n) < sizeof small) {
        out.append(small, size_t(n));
        return;
    }
    std::string big(size_t(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), f.c_str(), value);
    big.resize(size_t(n));
    out += big;
}

int64_t narrowSigned(int64_t v, const std::string& length, char conversion) {
    if (length == "hh") return static_cast<int8_t>(v);
    if (length == "h") return static_cast<int16_t>(v);
    if (length.empty() && conversion != 'D') return static_cast<int32_t>(v);
    return v;
}

uint64_t narrowUnsigned(uint64_t v, const std::string& length, char conversion) {
    if (length == "hh") return static_cast<uint8_t>(v);
    if (length == "h") return static_cast<uint16_t>(v);
    if (length.empty() && conversion != 'U' && conversion != 'O') return static_cast<uint32_t>(v);
    return v;
}

std::string character(uint64_t code) {
    std::string text;
    unicode::append(text, static_cast<char32_t>(code & 0x1FFFFF));
    return text;
}

void formatOne(std::string& out, const Directive& directive, const FormatArg& arg) {
    switch (directive.conversion) {
        case 'd':
        case 'i':
        case 'D': {
            long long v = narrowSigned(arg.asSigned(), directive.length, directive.conversion);
            appendPrintf(out, directive, "ll", 'd', v);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'o':
        case 'U':
        case 'O': {
            unsigned long long v = narrowUnsigned(arg.asUnsigned(), directive.length, directive.conversion);
            char c = directive.conversion == 'U' ? 'u' : directive.conversion == 'O' ? 'o' : directive.conversion;
            appendPrintf(out, directive, "ll", c, v);
            break;
        }
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            appendPrintf(out, directive, "", directive.conversion, arg.asDouble());
            break;
        case 'c':
        case 'C': {
            uint64_t code = arg.asUnsigned();
            if (directive.conversion == 'c') code &= 0xFF;
            appendPadded(out, character(code), directive, true);
            break;
        }
        case 's':
            appendPadded(out, truncated(arg.asText(), directive.precision, false), directive, false);
            break;
        case '@':
            appendPadded(out, truncated(arg.asText(), directive.precision, true), directive, true);
            break;
        case 'p': {
            char buf[32];
            std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(arg.asPointer())));
            appendPadded(out, buf, directive, false);
            break;
        }
    }
}

bool isConversion(char c) {
    switch (c) {
        case '@': case 'd': case 'i': case 'D': case 'u': case 'x': case 'X': case 'o': case 'U': case 'O':
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
        case 'c': case 'C': case 's': case 'p':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string formatList(std::string_view fmt, const FormatArg* args, size_t count) {
    ScopedCLocale cLocale;
    ArgCursor cursor(args, count);
    std::string out;
    out.reserve(fmt.size() + 16 * count);
    size_t i = 0;
    while (i < fmt.size()) {
        size_t percent = fmt.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(fmt.substr(i));
            break;
        }
        out.append(fmt.substr(i, percent - i));
        size_t k = percent + 1;
        if (k < fmt.size() && fmt[k] == '%') {
            out += '%';
            i = k + 1;
            continue;
        }
        Directive directive;
        while (k < fmt.size() && std::string_view("-+ #0'").find(fmt[k]) != std::string_view::npos) directive.flags += fmt[k++];
        // Widths and precisions are capped so a wild argument cannot make the
        // formatter allocate without bound.
        constexpr long long MaxField = 1 << 16;
        auto readNumber = [&](bool& fromArgument) -> long long {
            fromArgument = false;
            if (k < fmt.size() && fmt[k] == '*') {
                ++k;
                fromArgument = true;
                const FormatArg* a = cursor.next();
                return a ? std::clamp<long long>(a->asSigned(), -MaxField, MaxField) : 0;
            }
            long long v = -1;
            if (k < fmt.size() && fmt[k] >= '0' && fmt[k] <= '9') {
                v = 0;
                while (k < fmt.size() && fmt[k] >= '0' && fmt[k] <= '9') v = std::min(v * 10 + (fmt[k++] - '0'), MaxField);
            }
            return v;
        };
        bool star;
        long long width = readNumber(star);
        if (star && width < 0) {
            // A negative "*" width left-aligns, as in C.
            directive.flags += '-';
            width = -width;
        }
        directive.width = static_cast<int>(width);
        if (k < fmt.size() && fmt[k] == '.') {
            ++k;
            long long precision = readNumber(star);
            // "." alone means 0; a negative "*" precision means none.
            directive.precision = precision < 0 ? (star ? -1 : 0) : static_cast<int>(precision);
        }
        while (k < fmt.size() && std::string_view("hlqztjL").find(fmt[k]) != std::string_view::npos) directive.length += fmt[k++];
        if (directive.length == "q") directive.length = "ll";
        if (k >= fmt.size() || !isConversion(fmt[k])) {
            // Not a conversion this formatter knows: keep the text as written.
            out.append(fmt.substr(percent, std::min(k + 1, fmt.size()) - percent));
            i = k + 1;
            continue;
        }
        directive.conversion = fmt[k];
        i = k + 1;
        if (const FormatArg* arg = cursor.next()) formatOne(out, directive, *arg);
    }
    return out;
}

}  // namespace ns
