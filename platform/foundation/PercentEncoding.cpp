#include "platform/foundation/PercentEncoding.h"

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/PercentEscape.h"
#include "platform/foundation/Unicode.h"

namespace ns {

namespace {

// What may appear in a URL as it is.
bool isLegalInURL(char32_t cp) {
    if (cp >= 0x80 || cp <= 0x20 || cp == 0x7F) return false;
    switch (cp) {
        case '"': case '%': case '<': case '>': case '\\': case '^': case '`': case '{': case '|': case '}':
            return false;
        default:
            return true;
    }
}

using detail::appendPercentEscape;
using detail::hexDigitValue;

}  // namespace

Ref<String> addingPercentEscapes(const String& text, std::string_view leaveUnescaped, std::string_view alsoEscape,
                                 StringEncoding encoding) {
    const Ref<CharacterSet> leave = CharacterSet::withCharactersInString(leaveUnescaped);
    const Ref<CharacterSet> escape = CharacterSet::withCharactersInString(alsoEscape);
    const std::string& s = text.utf8();
    std::string out;
    out.reserve(s.size());
    // Adjacent characters are encoded together, so a stateful encoding
    // shifts once per run rather than once per character.
    size_t runStart = std::string::npos;
    auto flush = [&](size_t end) {
        if (runStart == std::string::npos) return true;
        Ref<Data> bytes = String(s.substr(runStart, end - runStart)).dataUsingEncoding(encoding);
        runStart = std::string::npos;
        if (!bytes) return false;
        for (uint8_t b : bytes->vector()) appendPercentEscape(out, b);
        return true;
    };
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        size_t next = unicode::next(s, i, cp);
        bool escaped = escape->contains(cp) || (!isLegalInURL(cp) && !leave->contains(cp));
        if (escaped) {
            if (runStart == std::string::npos) runStart = i;
        } else {
            if (!flush(i)) return nullptr;
            out.append(s, i, next - i);
        }
        i = next;
    }
    if (!flush(s.size())) return nullptr;
    return String::make(std::move(out));
}

Ref<String> replacingPercentEscapes(const String& text, std::string_view leaveEscaped, StringEncoding encoding) {
    const std::string& s = text.utf8();
    std::string out;
    out.reserve(s.size());
    std::string run;
    auto flush = [&] {
        if (run.empty()) return true;
        Ref<String> decoded = String::withBytes(run.data(), run.size(), encoding);
        run.clear();
        if (!decoded) return false;
        out += decoded->utf8();
        return true;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            if (!flush()) return nullptr;
            out += s[i];
            continue;
        }
        int hi = i + 2 < s.size() ? hexDigitValue(s[i + 1]) : -1;
        int lo = hi >= 0 ? hexDigitValue(s[i + 2]) : -1;
        if (lo < 0) return nullptr;
        const char byte = static_cast<char>(hi << 4 | lo);
        if (static_cast<unsigned char>(byte) < 0x80 && leaveEscaped.find(byte) != std::string_view::npos) {
            if (!flush()) return nullptr;
            out.append(s, i, 3);
        } else {
            run += byte;
        }
        i += 2;
    }
    if (!flush()) return nullptr;
    return String::make(std::move(out));
}

}  // namespace ns
