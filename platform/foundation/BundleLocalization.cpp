// A bundle's localizations: choosing one for the user's languages and
// looking texts up in its strings tables.

#include <algorithm>
#include <cctype>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyListCodec.h"

namespace ns {
namespace {

constexpr std::string_view LprojSuffix = ".lproj";

// A language tag taken apart: "zh-Hant_TW" is zh, Hant, TW. Chinese without a
// script gets the one its region writes (Hant in Taiwan, Hong Kong and Macao,
// Hans elsewhere), so old "zh_TW" folders match "zh-Hant" wishes.
struct Tag {
    std::string language, script, region;

    explicit Tag(std::string_view text) {
        size_t i = 0;
        bool first = true;
        while (i <= text.size()) {
            size_t end = text.find_first_of("-_", i);
            if (end == std::string_view::npos) end = text.size();
            std::string part(text.substr(i, end - i));
            i = end + 1;
            if (part.empty()) continue;
            const bool alpha = std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isalpha(c); });
            const bool digits = std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); });
            if (first) {
                for (char& c : part) c = char(std::tolower(static_cast<unsigned char>(c)));
                language = part;
                first = false;
            } else if (alpha && part.size() == 4 && script.empty()) {
                for (char& c : part) c = char(std::tolower(static_cast<unsigned char>(c)));
                part[0] = char(std::toupper(static_cast<unsigned char>(part[0])));
                script = part;
            } else if (((alpha && part.size() == 2) || (digits && part.size() == 3)) && region.empty()) {
                for (char& c : part) c = char(std::toupper(static_cast<unsigned char>(c)));
                region = part;
            }
        }
        if (language == "zh" && script.empty()) {
            script = region == "TW" || region == "HK" || region == "MO" ? "Hant" : "Hans";
        }
    }
};

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = char(std::tolower(static_cast<unsigned char>(a[i]))), y = char(std::tolower(static_cast<unsigned char>(b[i])));
        if (x == '_') x = '-';
        if (y == '_') y = '-';
        if (x != y) return false;
    }
    return true;
}

// The localization of `candidates` that fits one wanted language, or "".
std::string match(const std::vector<std::string>& candidates, std::string_view wanted) {
    for (const std::string& name : candidates) {
        if (sameName(name, wanted)) return name;
    }
    const Tag want(wanted);
    std::string best;
    int bestScore = 0;
    for (const std::string& name : candidates) {
        const Tag have(name);
        if (have.language != want.language || want.language.empty()) continue;
        if (!have.script.empty() && !want.script.empty() && have.script != want.script) continue;
        // The same region first, then the language's plain form, then any.
        int score = !want.region.empty() && have.region == want.region ? 3 : have.region.empty() ? 2 : 1;
        if (score > bestScore) {
            best = name;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace

Ref<Array> Bundle::preferredLocalizationsFromArray(const Array& localizations, const Array* preferences,
                                                   std::string_view developmentLocalization) {
    std::vector<std::string> candidates;
    for (const Id& item : localizations) {
        if (auto name = cast<String>(item)) candidates.push_back(name->utf8());
    }
    if (candidates.empty()) return Array::make({});
    if (preferences) {
        for (const Id& item : *preferences) {
            auto wanted = cast<String>(item);
            if (!wanted) continue;
            std::string found = match(candidates, wanted->utf8());
            if (!found.empty()) return Array::make({String::make(found)});
        }
    }
    for (const std::string& name : candidates) {
        if (sameName(name, developmentLocalization)) return Array::make({String::make(name)});
    }
    for (const std::string& name : candidates) {
        if (name != "Base") return Array::make({String::make(name)});
    }
    return Array::make({String::make(candidates.front())});
}

Ref<Array> Bundle::localizations() const {
    std::vector<Id> names;
    if (auto entries = FileManager::defaultManager()->contentsOfDirectoryAtPath(path_)) {
        for (const Id& entry : *entries) {
            const std::string& name = cast<String>(entry)->utf8();
            if (name.size() > LprojSuffix.size() && name.compare(name.size() - LprojSuffix.size(), LprojSuffix.size(), LprojSuffix) == 0) {
                names.push_back(String::make(name.substr(0, name.size() - LprojSuffix.size())));
            }
        }
    }
    return Array::make(std::move(names));
}

Ref<String> Bundle::developmentLocalization() const {
    auto region = cast<String>(objectForInfoDictionaryKey("CFBundleDevelopmentRegion"));
    return region && region->length() ? region : String::make("en");
}

Ref<Array> Bundle::preferredLocalizations() const {
    auto preferences = Locale::preferredLanguages();
    return preferredLocalizationsFromArray(*localizations(), preferences.get(), developmentLocalization()->utf8());
}

// The preferred localization, then Base, then the development one.
std::vector<std::string> Bundle::searchLocalizations() const {
    std::vector<std::string> order;
    auto add = [&](const std::string& name) {
        if (std::find(order.begin(), order.end(), name) == order.end()) order.push_back(name);
    };
    const auto preferred = preferredLocalizations();
    for (const Id& item : *preferred) add(cast<String>(item)->utf8());
    add("Base");
    add(developmentLocalization()->utf8());
    return order;
}

Ref<String> Bundle::localizedStringForKey(const Ref<String>& key, const Ref<String>& value, const Ref<String>& table) const {
    if (!key) return value ? value : String::make("");
    const std::string file = (table && table->length() ? table->utf8() : std::string("Localizable")) + ".strings";
    bool found = false;
    auto lookUp = [&](const std::string& path) -> Ref<String> {
        auto strings = stringsTable(path);
        if (!strings) return nullptr;
        found = true;
        return cast<String>(strings->objectForKey(key.get()));
    };
    for (const std::string& language : searchLocalizations()) {
        if (auto text = lookUp(path_ + "/" + language + ".lproj/" + file)) return text;
    }
    if (auto text = lookUp(path_ + "/" + file)) return text;
    if (!found) reportMissingTable(file);
    return value && value->length() ? value : key;
}

void Bundle::reportMissingTable(const std::string& file) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (!missingTables_.insert(file).second) return;
    log("Bundle: %s is missing from %s and its .lproj folders: the texts asked of it show their keys, or the defaults given with them", file, path_);
}

Ref<Dictionary> Bundle::stringsTable(const std::string& path) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (auto found = tables_.find(path); found != tables_.end()) return found->second;
    Ref<Dictionary> table;
    if (auto bytes = Data::withContentsOfFile(path)) {
        std::string error;
        Id parsed = plist::parseStringsTable(bytes->view(), error);
        table = cast<Dictionary>(parsed);
        if (!table) {
            log("Bundle: %s is not a strings table (%s); its texts are not used", path, parsed ? "not a dictionary" : error);
            table = Dictionary::make({});
        }
    }
    tables_[path] = table;
    return table;
}

}  // namespace ns
