#pragma once
// Bundles: folders of resources. The app's own (the main bundle) is
// `$GAMEHOST_RESOURCES` when set, else the folder `resources/` beside the
// program. A bundle is flat, as on the device: its resources, its Info.plist,
// its "<language>.lproj" folders of strings tables and any sub-bundles
// ("X.bundle") sit in the folder itself.

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Bundle : public Object {
    RT_DECLARE_CLASS(Bundle)
public:
    // Never nil: a missing folder makes a bundle in which nothing is found.
    // The environment is read on every call, so tests may repoint it.
    static Ref<Bundle> mainBundle();
    // The bundle of a class's code: the main bundle, as everything is linked
    // into the one program.
    static Ref<Bundle> bundleForClass(const rt::Class* cls);
    // nil unless a folder is at the path. One object per path, as the
    // platform keeps them, so Info.plist and strings tables are read once.
    static Ref<Bundle> bundleWithPath(std::string_view path);

    Bundle() = default;
    explicit Bundle(std::string path) : path_(std::move(path)) {}

    Ref<String> bundlePath() const { return String::make(path_); }
    // The bundle's folder itself (bundles are flat).
    Ref<String> resourcePath() const { return String::make(path_); }
    Ref<URL> bundleURL() const;
    Ref<URL> resourceURL() const { return bundleURL(); }

    // Info.plist, read at the first call; empty when it is missing or cannot
    // be read (which is logged).
    Ref<Dictionary> infoDictionary() const;
    Id objectForInfoDictionaryKey(std::string_view key) const;

    // The path of "<name>.<type>" (or of `name` alone when the type is empty;
    // with an empty name, the first file of the type), looked for on disk at
    // every call: first among the resources (or in `directory` below them),
    // then in the preferred localization's .lproj, Base.lproj and the
    // development localization's. Folders count, so sub-bundles and .lproj
    // folders are found too. nil when there is none.
    Ref<String> pathForResource(std::string_view name, std::string_view type) const {
        return pathForResource(name, type, {});
    }
    Ref<String> pathForResource(std::string_view name, std::string_view type, std::string_view directory) const;
    Ref<URL> URLForResource(std::string_view name, std::string_view extension) const {
        return URLForResource(name, extension, {});
    }
    Ref<URL> URLForResource(std::string_view name, std::string_view extension, std::string_view subdirectory) const;

    // The names of the bundle's .lproj folders, sorted ("Base" included).
    Ref<Array> localizations() const;
    // Info.plist's CFBundleDevelopmentRegion, else "en".
    Ref<String> developmentLocalization() const;
    // The localization chosen for the user's preferred languages.
    Ref<Array> preferredLocalizations() const;
    // The best of `localizations` for `preferences` (language tags, most
    // wanted first): an exact match, else the same language with the same
    // script ("zh-HK" and "zh-TW" are written in Hant, other Chinese in
    // Hans), else the development localization, else the first one. One
    // element, or none when there are no localizations.
    static Ref<Array> preferredLocalizationsFromArray(const Array& localizations, const Array* preferences,
                                                      std::string_view developmentLocalization = "en");

    // The text for the key from "<language>.lproj/<table>.strings" (table
    // "Localizable" when nil or empty): the preferred localization's table,
    // then Base's, then the development localization's, then a table outside
    // any .lproj. When no table has it: `value` unless nil or empty, else
    // the key. A nil key gives `value`, or "" without one. A table found
    // nowhere is logged, once.
    Ref<String> localizedStringForKey(const Ref<String>& key, const Ref<String>& value, const Ref<String>& table) const;

private:
    // The parsed table at a path, cached; nil when missing, empty when corrupt.
    Ref<Dictionary> stringsTable(const std::string& path) const;
    void reportMissingTable(const std::string& file) const;
    std::vector<std::string> searchLocalizations() const;

    std::string path_;
    mutable std::mutex lock_;
    mutable Ref<Dictionary> info_;
    mutable std::map<std::string, Ref<Dictionary>, std::less<>> tables_;
    mutable std::set<std::string> missingTables_;
};

}  // namespace ns
