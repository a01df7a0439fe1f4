#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/Unicode.h"
#include "tests/platform/foundation/filemanager_test_folders.h"

namespace ns {
namespace {

using testing_support::ScopedEnvironment;
using testing_support::ScratchFolder;

// Strings tables are often saved as UTF-16 with a byte-order mark.
std::string utf16LittleEndian(std::string_view utf8) {
    std::string out = "\xFF\xFE";
    for (char16_t unit : unicode::toUtf16(utf8)) {
        out += char(unit & 0xFF);
        out += char(unit >> 8);
    }
    return out;
}

std::vector<std::string> texts(const Ref<Array>& array) {
    std::vector<std::string> out;
    for (const Id& item : *array) out.push_back(cast<String>(item)->utf8());
    return out;
}

class BundleTest : public ::testing::Test {
protected:
    BundleTest() {
        app_.write("Info.plist", R"(<plist version="1.0"><dict>
            <key>CFBundleIdentifier</key><string>test.gamehost</string>
            <key>CFBundleDevelopmentRegion</key><string>en</string>
            <key>CFBundleShortVersionString</key><string>1.2.3</string>
        </dict></plist>)");
        app_.write("TV.plist", "<plist><dict><key>TOVIRA_APPID</key><string>1001</string></dict></plist>");
        app_.write("arrow@2x.png", "png bytes");
        app_.write("images/icon.png", "icon");
        app_.write("en.lproj/Localizable.strings", R"(/* English */
"title" = "Pull to refresh";
"escaped" = "Line\nTwo \"quoted\" \U20AC";  // trailing comment
"same";
"english only" = "only in English";
)");
        app_.write("zh-Hans.lproj/Localizable.strings", utf16LittleEndian("\"title\" = \"下拉刷新\";\n"));
        app_.write("zh-Hant.lproj/Localizable.strings", "\"title\" = \"下拉重新整理\";\n");
        app_.write("Base.lproj/Localizable.strings", "\"base only\" = \"from Base\";\n\"title\" = \"base title\";\n");
        app_.write("Sub.bundle/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>sub</string></dict></plist>");
        app_.write("Sub.bundle/inner.txt", "inner");
        app_.write("Sub.bundle/en.lproj/Custom.strings", "\"custom\" = \"from the sub-bundle\";");
        environment_.set("GAMEHOST_RESOURCES", app_.path());
        Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"en-GB"});
    }
    ~BundleTest() override { Locale::setPreferredLanguagesForTesting(std::nullopt); }

    static std::string localized(const Ref<Bundle>& bundle, const char* key, const char* value = nullptr,
                                 const char* table = nullptr) {
        return bundle
            ->localizedStringForKey(String::make(key), value ? String::make(value) : nullptr, table ? String::make(table) : nullptr)
            ->utf8();
    }

    ScratchFolder app_;
    ScopedEnvironment environment_;
};

TEST_F(BundleTest, MainBundleAndItsInfoDictionary) {
    auto main = Bundle::mainBundle();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->bundlePath()->utf8(), app_.path());
    EXPECT_EQ(main->resourcePath()->utf8(), app_.path());
    EXPECT_EQ(main, Bundle::bundleWithPath(app_.path() + "/"));
    EXPECT_EQ(main, Bundle::bundleForClass(Bundle::staticClass()));
    EXPECT_EQ(textOf(main->objectForInfoDictionaryKey("CFBundleShortVersionString")), "1.2.3");
    EXPECT_EQ(main->infoDictionary()->count(), 3u);

    ScratchFolder bare;
    environment_.set("GAMEHOST_RESOURCES", bare / "missing");
    auto empty = Bundle::mainBundle();
    ASSERT_TRUE(empty);  // never nil, even without its folder
    EXPECT_EQ(empty->infoDictionary()->count(), 0u);
    EXPECT_FALSE(empty->pathForResource("TV", "plist"));
}

TEST_F(BundleTest, ResourceLookupByNameTypeAndFolder) {
    auto main = Bundle::mainBundle();
    EXPECT_EQ(textOf(main->pathForResource("TV", "plist")), app_ / "TV.plist");
    EXPECT_EQ(textOf(main->pathForResource("TV.plist", "")), app_ / "TV.plist");
    EXPECT_EQ(textOf(main->pathForResource("arrow@2x", ".png")), app_ / "arrow@2x.png");
    EXPECT_EQ(textOf(main->pathForResource("icon", "png", "images")), app_ / "images/icon.png");
    EXPECT_EQ(textOf(main->pathForResource("", "png", "images")), app_ / "images/icon.png");
    EXPECT_FALSE(main->pathForResource("icon", "png"));
    EXPECT_FALSE(main->pathForResource("TV", "json"));

    // Looked for on disk each time: a file added later is found.
    EXPECT_FALSE(main->pathForResource("late", "plist"));
    app_.write("late.plist", "<plist><true/></plist>");
    EXPECT_TRUE(main->pathForResource("late", "plist"));

    auto url = main->URLForResource("TV", "plist");
    ASSERT_TRUE(url);
    EXPECT_TRUE(url->isFileURL());
    EXPECT_EQ(textOf(url->path()), app_ / "TV.plist");

    // Folders are resources too: language folders and sub-bundles by path.
    EXPECT_EQ(textOf(main->pathForResource("zh-Hans", "lproj")), app_ / "zh-Hans.lproj");
    auto subPath = main->pathForResource("Sub", "bundle");
    ASSERT_TRUE(subPath);
    auto sub = Bundle::bundleWithPath(subPath->utf8());
    ASSERT_TRUE(sub);
    EXPECT_EQ(textOf(sub->objectForInfoDictionaryKey("CFBundleIdentifier")), "sub");
    EXPECT_EQ(textOf(sub->pathForResource("inner", "txt")), app_ / "Sub.bundle/inner.txt");
    EXPECT_EQ(textOf(main->pathForResource("Sub.bundle/inner", "txt")), app_ / "Sub.bundle/inner.txt");
    EXPECT_FALSE(Bundle::bundleWithPath(app_ / "Nothing.bundle"));
    EXPECT_FALSE(Bundle::bundleWithPath(app_ / "TV.plist"));  // a file is no bundle
}

TEST_F(BundleTest, LanguageChoiceAgainstTheBundlesFolders) {
    auto main = Bundle::mainBundle();
    EXPECT_EQ(texts(main->localizations()), (std::vector<std::string>{"Base", "en", "zh-Hans", "zh-Hant"}));

    auto choose = [&](std::vector<std::string> wanted) {
        std::vector<Id> preferences;
        for (auto& language : wanted) preferences.push_back(String::make(language));
        auto chosen = Bundle::preferredLocalizationsFromArray(*main->localizations(), Array::make(preferences).get());
        return chosen->count() ? textOf(chosen->firstObject()) : std::string("(none)");
    };
    EXPECT_EQ(choose({"en-GB"}), "en");
    EXPECT_EQ(choose({"zh-Hans-CN"}), "zh-Hans");
    EXPECT_EQ(choose({"zh-HK"}), "zh-Hant");
    EXPECT_EQ(choose({"zh-TW"}), "zh-Hant");
    EXPECT_EQ(choose({"zh_CN"}), "zh-Hans");
    EXPECT_EQ(choose({"fr-FR"}), "en");  // nothing fits: the development language
    EXPECT_EQ(choose({"fr-FR", "zh-Hant-TW"}), "zh-Hant");

    auto legacy = Array::make({str("en"), str("en_GB"), str("zh_CN"), str("zh_TW")});
    auto pick = [&](const char* language, std::string_view development = "en") {
        return textOf(Bundle::preferredLocalizationsFromArray(*legacy, Array::make({str(language)}).get(), development)
                          ->firstObject());
    };
    EXPECT_EQ(pick("en-GB"), "en_GB");
    EXPECT_EQ(pick("en-US"), "en");
    EXPECT_EQ(pick("zh-Hant-HK"), "zh_TW");
    EXPECT_EQ(pick("zh-Hans"), "zh_CN");
    EXPECT_EQ(pick("de", "de"), "en");  // the development language is not there either
    EXPECT_EQ(Bundle::preferredLocalizationsFromArray(*Array::make({}), legacy.get())->count(), 0u);
}

TEST_F(BundleTest, LocalizedStringsFollowThePreferredLanguageWithFallbacks) {
    auto main = Bundle::mainBundle();
    EXPECT_EQ(localized(main, "title"), "Pull to refresh");
    EXPECT_EQ(localized(main, "escaped"), "Line\nTwo \"quoted\" €");
    EXPECT_EQ(localized(main, "same"), "same");
    EXPECT_EQ(localized(main, "base only"), "from Base");

    Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"zh-Hans-CN"});
    EXPECT_EQ(localized(main, "title"), "下拉刷新");                // from the UTF-16 table
    EXPECT_EQ(localized(main, "english only"), "only in English");  // Base lacks it; the development language has it
    Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"zh-TW"});
    EXPECT_EQ(localized(main, "title"), "下拉重新整理");

    // Neither table has the key: the value, else the key itself.
    EXPECT_EQ(localized(main, "missing", "fallback"), "fallback");
    EXPECT_EQ(localized(main, "missing", ""), "missing");
    EXPECT_EQ(localized(main, "missing"), "missing");
    EXPECT_EQ(main->localizedStringForKey(nullptr, nullptr, nullptr)->utf8(), "");
    EXPECT_EQ(main->localizedStringForKey(nullptr, str("v"), nullptr)->utf8(), "v");

    auto sub = Bundle::bundleWithPath(app_ / "Sub.bundle");
    EXPECT_EQ(localized(sub, "custom", nullptr, "Custom"), "from the sub-bundle");
    EXPECT_EQ(localized(sub, "custom"), "custom");  // not in its Localizable table
}

TEST_F(BundleTest, CorruptStringsTableIsLoggedAndSkipped) {
    app_.write("en.lproj/Broken.strings", "\"a\" = \"unterminated;\n");
    LogCapture log;
    auto main = Bundle::mainBundle();
    EXPECT_EQ(localized(main, "a", "default", "Broken"), "default");
    EXPECT_TRUE(log.contains(app_ / "en.lproj/Broken.strings"));
    EXPECT_EQ(localized(main, "title"), "Pull to refresh");
}

TEST_F(BundleTest, AMissingStringsTableIsLoggedOnceNamingTheFile) {
    LogCapture log;
    auto main = Bundle::mainBundle();
    EXPECT_EQ(localized(main, "login", nullptr, "Login"), "login");
    EXPECT_EQ(localized(main, "password", nullptr, "Login"), "password");
    std::vector<std::string> said;
    for (const auto& line : log.lines()) {
        if (line.find("Login.strings") != std::string::npos) said.push_back(line);
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("missing"), std::string::npos) << said[0];
    EXPECT_NE(said[0].find(app_.path()), std::string::npos) << said[0];
    // A table that is there, even without the key, is not missing.
    log.clear();
    EXPECT_EQ(localized(main, "absent key"), "absent key");
    EXPECT_EQ(localized(main, "a", "default", "Broken"), "default");
    app_.write("en.lproj/Empty.strings", "");
    EXPECT_EQ(localized(main, "a", nullptr, "Empty"), "a");
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("Localizable.strings"), std::string::npos) << line;
    for (const auto& line : log.lines()) EXPECT_EQ(line.find("Empty.strings"), std::string::npos) << line;
}

}  // namespace
}  // namespace ns
