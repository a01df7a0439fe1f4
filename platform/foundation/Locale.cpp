#include "platform/foundation/Locale.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/foundation/MutableArray.h"
#include "platform/foundation/String.h"

namespace ns {

RT_DEFINE_CLASS(Locale, Object, "NSLocale")

namespace {

struct Parts {
    std::string language, script, region;
};

bool allOf(std::string_view s, bool (*test)(char)) {
    for (char c : s) {
        if (!test(c)) return false;
    }
    return true;
}
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "zh-Hans_CN", "en_US.UTF-8@euro", "de": language, then an optional
// four-letter script, then an optional region; codeset and modifier ignored.
Parts parse(std::string_view identifier) {
    identifier = identifier.substr(0, identifier.find_first_of(".@"));
    Parts parts;
    int index = 0;
    while (!identifier.empty()) {
        size_t cut = identifier.find_first_of("-_");
        std::string_view piece = identifier.substr(0, cut);
        identifier = cut == std::string_view::npos ? std::string_view() : identifier.substr(cut + 1);
        if (index++ == 0) {
            parts.language = piece;
        } else if (parts.script.empty() && parts.region.empty() && piece.size() == 4 && allOf(piece, isAlpha)) {
            parts.script = piece;
        } else if (parts.region.empty() &&
                   ((piece.size() == 2 && allOf(piece, isAlpha)) || (piece.size() == 3 && allOf(piece, isDigit)))) {
            parts.region = piece;
        }
    }
    return parts;
}

// The language the environment names, or nothing for C, POSIX or unset.
std::optional<std::string> environmentLocale(std::initializer_list<const char*> variables) {
    for (const char* name : variables) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string_view v = value;
        std::string_view bare = v.substr(0, v.find_first_of(".@"));
        if (bare == "C" || bare == "POSIX") return std::nullopt;
        return std::string(bare);
    }
    return std::nullopt;
}

// A POSIX locale name as the BCP 47 tag the platform lists; Chinese gets its
// script, as the platform always names it.
std::string languageTag(std::string_view posixName) {
    Parts p = parse(posixName);
    if (p.language.empty()) return {};
    if (p.language == "zh" && p.script.empty()) {
        p.script = (p.region == "TW" || p.region == "HK" || p.region == "MO") ? "Hant" : "Hans";
    }
    std::string tag = p.language;
    if (!p.script.empty()) tag += "-" + p.script;
    if (!p.region.empty()) tag += "-" + p.region;
    return tag;
}

std::vector<std::string> environmentLanguages() {
    std::vector<std::string> tags;
    auto add = [&](std::string_view name) {
        std::string tag = languageTag(name);
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(std::move(tag));
    };
    std::optional<std::string> messages = environmentLocale({"LC_ALL", "LC_MESSAGES", "LANG"});
    // As gettext does, the LANGUAGE list counts only under a real locale.
    if (messages) {
        if (const char* list = std::getenv("LANGUAGE")) {
            std::string_view rest = list;
            while (!rest.empty()) {
                size_t colon = rest.find(':');
                add(rest.substr(0, colon));
                rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
            }
        }
        add(*messages);
    }
    if (tags.empty()) tags.push_back("en-US");
    return tags;
}

struct Overrides {
    std::mutex lock;
    Ref<Locale> current;
    std::optional<std::vector<std::string>> languages;
};

Overrides& overrides() {
    static Overrides o;
    return o;
}

}  // namespace

Ref<Locale> Locale::localeWithLocaleIdentifier(std::string identifier) {
    return std::make_shared<Locale>(std::move(identifier));
}

Ref<Locale> Locale::currentLocale() {
    {
        std::lock_guard<std::mutex> hold(overrides().lock);
        if (overrides().current) return overrides().current;
    }
    std::optional<std::string> name = environmentLocale({"LC_ALL", "LANG"});
    return localeWithLocaleIdentifier(name ? *name : "en_US");
}

Ref<Array> Locale::preferredLanguages() {
    std::optional<std::vector<std::string>> set;
    {
        std::lock_guard<std::mutex> hold(overrides().lock);
        set = overrides().languages;
    }
    const std::vector<std::string> tags = set ? std::move(*set) : environmentLanguages();
    std::vector<Id> items;
    for (auto& tag : tags) items.push_back(String::make(tag));
    return Array::make(std::move(items));
}

void Locale::setCurrentLocaleForTesting(Ref<Locale> locale) {
    std::lock_guard<std::mutex> hold(overrides().lock);
    overrides().current = std::move(locale);
}

void Locale::setPreferredLanguagesForTesting(std::optional<std::vector<std::string>> languages) {
    std::lock_guard<std::mutex> hold(overrides().lock);
    overrides().languages = std::move(languages);
}

std::string Locale::languageCode() const { return parse(identifier_).language; }
std::string Locale::countryCode() const { return parse(identifier_).region; }
std::string Locale::scriptCode() const { return parse(identifier_).script; }

uint64_t Locale::hash() const { return String(identifier_).hash(); }

bool Locale::isEqual(const Object* other) const {
    auto locale = dynamic_cast<const Locale*>(other);
    return locale && locale->identifier_ == identifier_;
}

}  // namespace ns
