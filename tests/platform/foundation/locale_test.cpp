#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Text.h"

namespace ns {
namespace {

// Sets the locale variables for one test and puts them back after.
class LocaleTest : public ::testing::Test {
protected:
    static constexpr const char* names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

    void SetUp() override {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
        Locale::setPreferredLanguagesForTesting(std::nullopt);
        Locale::setCurrentLocaleForTesting(nullptr);
    }

    static std::vector<std::string> languages() {
        std::vector<std::string> out;
        auto list = Locale::preferredLanguages();
        for (uint64_t i = 0; i < list->count(); ++i) out.push_back(textOf(list->objectAtIndex(i)));
        return out;
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(LocaleTest, PreferredLanguagesComeFromTheEnvironmentAsTags) {
    setenv("LANG", "en_GB.UTF-8", 1);
    EXPECT_EQ(languages(), std::vector<std::string>{"en-GB"});
    setenv("LANGUAGE", "zh_TW:fr:en_GB", 1);
    EXPECT_EQ(languages(), (std::vector<std::string>{"zh-Hant-TW", "fr", "en-GB"}));
    setenv("LC_ALL", "zh_CN.UTF-8", 1);
    setenv("LANGUAGE", "", 1);
    EXPECT_EQ(languages(), std::vector<std::string>{"zh-Hans-CN"});
}

TEST_F(LocaleTest, CLocaleGivesUsEnglishAndIgnoresLanguageList) {
    EXPECT_EQ(languages(), std::vector<std::string>{"en-US"});
    setenv("LANG", "C.UTF-8", 1);
    setenv("LANGUAGE", "de", 1);
    EXPECT_EQ(languages(), std::vector<std::string>{"en-US"});
    EXPECT_EQ(Locale::currentLocale()->localeIdentifier(), "en_US");
}

TEST_F(LocaleTest, TestsOverridePreferredLanguagesIncludingWithNone) {
    setenv("LANG", "de_DE.UTF-8", 1);
    Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"fr-FR", "en"});
    EXPECT_EQ(languages(), (std::vector<std::string>{"fr-FR", "en"}));
    Locale::setPreferredLanguagesForTesting(std::vector<std::string>{});
    EXPECT_TRUE(languages().empty());
    Locale::setPreferredLanguagesForTesting(std::nullopt);
    EXPECT_EQ(languages(), std::vector<std::string>{"de-DE"});
}

TEST_F(LocaleTest, CurrentLocaleAndItsParts) {
    setenv("LANG", "pt_BR.UTF-8", 1);
    EXPECT_EQ(Locale::currentLocale()->localeIdentifier(), "pt_BR");
    Locale::setCurrentLocaleForTesting(Locale::localeWithLocaleIdentifier("zh-Hans_CN"));
    auto locale = Locale::currentLocale();
    EXPECT_EQ(locale->localeIdentifier(), "zh-Hans_CN");
    EXPECT_EQ(locale->languageCode(), "zh");
    EXPECT_EQ(locale->scriptCode(), "Hans");
    EXPECT_EQ(locale->countryCode(), "CN");
    EXPECT_EQ(Locale::localeWithLocaleIdentifier("es_419")->countryCode(), "419");
    EXPECT_EQ(Locale::localeWithLocaleIdentifier("fr")->countryCode(), "");
    EXPECT_TRUE(locale->isEqual(Locale::localeWithLocaleIdentifier("zh-Hans_CN")));
    EXPECT_FALSE(locale->isEqual(Locale::localeWithLocaleIdentifier("zh_CN")));
}

}  // namespace
}  // namespace ns
