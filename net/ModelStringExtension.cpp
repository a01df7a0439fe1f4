#include "net/ModelStringExtension.h"

#include <string>

#include "platform/foundation/CharacterSet.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool emptyOrNil(const ns::Ref<ns::String>& text) { return !text || text->utf8().empty(); }

}  // namespace

ns::Ref<ns::String> qz_underlineFromCamel(const ns::Ref<ns::String>& text) {
    if (emptyOrNil(text)) return text;
    std::string out;
    out.reserve(text->utf8().size() + 4);
    for (char c : text->utf8()) {
        char l = lower(c);
        if (l != c) out += '_';
        out += l;
    }
    return ns::String::make(std::move(out));
}

ns::Ref<ns::String> qz_camelFromUnderline(const ns::Ref<ns::String>& text) {
    if (emptyOrNil(text)) return text;
    const std::string& in = text->utf8();
    size_t underscore = in.find('_');
    std::string out = in.substr(0, underscore);
    while (underscore != std::string::npos) {
        size_t start = underscore + 1;
        underscore = in.find('_', start);
        std::string part = in.substr(start, underscore == std::string::npos ? std::string::npos : underscore - start);
        if (part.empty()) continue;
        part[0] = upper(part[0]);
        out += part;
    }
    return ns::String::make(std::move(out));
}

ns::Ref<ns::String> qz_firstCharLower(const ns::Ref<ns::String>& text) {
    if (emptyOrNil(text)) return text;
    std::string out = text->utf8();
    out[0] = lower(out[0]);
    return ns::String::make(std::move(out));
}

ns::Ref<ns::String> qz_firstCharUpper(const ns::Ref<ns::String>& text) {
    if (emptyOrNil(text)) return text;
    std::string out = text->utf8();
    out[0] = upper(out[0]);
    return ns::String::make(std::move(out));
}

bool qz_isPureInt(const ns::Ref<ns::String>& text) {
    if (!text) return false;
    const std::u16string units = text->utf16();
    const ns::CharacterSet& skipped = *ns::CharacterSet::whitespaceAndNewline();
    size_t i = 0;
    while (i < units.size() && skipped.contains(units[i])) ++i;
    if (i < units.size() && (units[i] == u'+' || units[i] == u'-')) ++i;
    size_t digits = i;
    // Digits beyond 32 bits are still read (the value saturates), as a
    // scanner does.
    while (i < units.size() && units[i] >= u'0' && units[i] <= u'9') ++i;
    if (i == digits) return false;
    while (i < units.size() && skipped.contains(units[i])) ++i;
    return i == units.size();
}

ns::Ref<ns::URL> qz_url(const ns::Ref<ns::String>& text) {
    if (!text) return nullptr;
    static const ns::Ref<ns::CharacterSet> allowed = [] {
        auto set = ns::MutableCharacterSet::make();
        set->addCharactersInRange('a', 'z');
        set->addCharactersInRange('A', 'Z');
        set->addCharactersInRange('0', '9');
        set->addCharactersInString("!$&'()*+,-./:;=?@_~%#[]");
        return ns::Ref<ns::CharacterSet>(set);
    }();
    ns::Ref<ns::String> escaped = text->stringByAddingPercentEncodingWithAllowedCharacters(*allowed);
    return escaped ? ns::URL::make(escaped->utf8()) : nullptr;
}
