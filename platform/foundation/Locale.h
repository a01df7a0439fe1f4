#pragma once
// Locales by identifier ("en_US", "zh-Hans_CN"), the user's current locale and
// preferred languages. On Linux both come from the environment: the current
// locale from LC_ALL, then LANG; the preferred languages from LANGUAGE, then
// LC_ALL, LC_MESSAGES and LANG, as BCP 47 tags ("en-US", "zh-Hans-CN").
// Tests set either for the process.

#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Array;

class Locale : public Object {
    RT_DECLARE_CLASS(Locale)
public:
    Locale() = default;
    explicit Locale(std::string identifier) : identifier_(std::move(identifier)) {}
    static Ref<Locale> localeWithLocaleIdentifier(std::string identifier);

    // The environment's locale ("en_US" when it is C, POSIX or unset), unless
    // a test set one.
    static Ref<Locale> currentLocale();
    // From the environment, never empty: "en-US" when it names no language.
    static Ref<Array> preferredLanguages();

    // nil / nullopt restores the environment's; an empty list stays empty.
    static void setCurrentLocaleForTesting(Ref<Locale> locale);
    static void setPreferredLanguagesForTesting(std::optional<std::vector<std::string>> languages);

    // As given when the locale was made.
    const std::string& localeIdentifier() const { return identifier_; }
    // "zh" of "zh-Hans_CN"; "" when there is none.
    std::string languageCode() const;
    // "CN" of "zh-Hans_CN"; "" when there is none.
    std::string countryCode() const;
    // "Hans" of "zh-Hans_CN"; "" when there is none.
    std::string scriptCode() const;

    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }

private:
    std::string identifier_;
};

}  // namespace ns
