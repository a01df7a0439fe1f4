#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/uikit/Font.h"
#include "refresh_test_support.h"
#include "ui/refresh/TVRefreshLabel.h"
#include "ui/refresh/TVRefreshNormalHeader.h"

namespace {

using RefreshBundleTest = RefreshTest;

std::string localized(std::string_view key) { return TV_localizedStringForKey(key)->utf8(); }

TEST_F(RefreshBundleTest, TheLanguageComesFromTheFirstPreferredOneAndIsChosenOnce) {
    struct Case {
        const char* preferred;
        const char* idle;
    } cases[] = {{"en-GB", "Pull down to refresh"},   {"zh-Hans-CN", "下拉可以刷新"},
                 {"zh-HK", "下拉可以刷新"},            {"zh-TW", "下拉可以刷新"},
                 {"fr-FR", "Pull down to refresh"},   {"", "Pull down to refresh"}};
    for (const auto& c : cases) {
        TV_resetRefreshBundleForTesting();
        ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{c.preferred});
        EXPECT_EQ(localized(TVRefreshHeaderIdleText), c.idle) << c.preferred;
    }
    // Simplified and traditional differ here.
    TV_resetRefreshBundleForTesting();
    ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"zh-Hans-CN"});
    EXPECT_EQ(localized(TVRefreshHeaderPullingText), "松开立即刷新");
    ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{"zh-TW"});
    EXPECT_EQ(localized(TVRefreshHeaderPullingText), "松开立即刷新");  // chosen once per process
    TV_resetRefreshBundleForTesting();
    EXPECT_EQ(localized(TVRefreshHeaderPullingText), "鬆開立即刷新");

    ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{});
    TV_resetRefreshBundleForTesting();
    EXPECT_EQ(localized(TVRefreshAutoFooterNoMoreDataText), "No more data");
}

TEST_F(RefreshBundleTest, EveryKeyHasATextInEveryLanguageAndAMissingKeyShowsItself) {
    const char* keys[] = {TVRefreshHeaderIdleText,           TVRefreshHeaderPullingText,
                          TVRefreshHeaderRefreshingText,     TVRefreshHeaderLastTimeText,
                          TVRefreshHeaderDateTodayText,      TVRefreshHeaderNoneLastDateText,
                          TVRefreshAutoFooterIdleText,       TVRefreshAutoFooterRefreshingText,
                          TVRefreshAutoFooterNoMoreDataText, TVRefreshBackFooterIdleText,
                          TVRefreshBackFooterPullingText,    TVRefreshBackFooterRefreshingText,
                          TVRefreshBackFooterNoMoreDataText};
    for (const char* language : {"en", "zh-Hans", "zh-Hant"}) {
        TV_resetRefreshBundleForTesting();
        ns::Locale::setPreferredLanguagesForTesting(std::vector<std::string>{language});
        for (const char* key : keys) EXPECT_NE(localized(key), key) << language << " " << key;
    }
    EXPECT_EQ(localized("TVRefreshNoSuchText"), "TVRefreshNoSuchText");
    EXPECT_EQ(TV_localizedStringForKey("TVRefreshNoSuchText", ns::String::make("fallback"))->utf8(), "fallback");
}

TEST_F(RefreshBundleTest, TheBundleSitsInTheSdkBundleOrElseAtTheTop) {
    auto bundle = TV_refreshBundle();
    ASSERT_TRUE(bundle);
    EXPECT_NE(bundle->bundlePath()->utf8().find("DOVUZ.bundle/TVRefresh.bundle"), std::string::npos);
    auto arrow = TV_arrowImage();
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->renderingMode(), ui::ImageRenderingMode::AlwaysTemplate);
    EXPECT_EQ(arrow->size(), (cg::Size{15, 40}));
    EXPECT_EQ(TV_sdkResourcePath("TVRefresh"), "DOVUZ.bundle/TVRefresh");

    // An application without the SDK bundle, its own strings overriding one text.
    namespace fs = std::filesystem;
    fs::path app = fs::temp_directory_path() / ("refresh-app-" + std::to_string(::getpid()));
    fs::remove_all(app);
    fs::create_directories(app / "en.lproj");
    fs::copy(fs::path(GAMEHOST_APP_RESOURCES) / "DOVUZ.bundle" / "TVRefresh.bundle", app / "TVRefresh.bundle",
             fs::copy_options::recursive);
    {
        std::ofstream strings(app / "en.lproj" / "Localizable.strings");
        strings << "\"TVRefreshHeaderIdleText\" = \"Pull, please\";\n";
    }
    ::setenv("GAMEHOST_RESOURCES", app.c_str(), 1);
    TV_resetRefreshBundleForTesting();
    EXPECT_EQ(TV_sdkResourcePath("TVRefresh"), "TVRefresh");
    ASSERT_TRUE(TV_refreshBundle());
    EXPECT_EQ(TV_refreshBundle()->bundlePath()->utf8(), (app / "TVRefresh.bundle").string());
    EXPECT_EQ(localized(TVRefreshHeaderIdleText), "Pull, please");
    EXPECT_EQ(localized(TVRefreshHeaderPullingText), "Release to refresh");

    // Nowhere at all: the keys show, and a later look-up tries again.
    fs::remove_all(app / "TVRefresh.bundle");
    TV_resetRefreshBundleForTesting();
    EXPECT_EQ(TV_refreshBundle(), nullptr);
    EXPECT_EQ(TV_arrowImage(), nullptr);
    EXPECT_EQ(localized(TVRefreshHeaderPullingText), TVRefreshHeaderPullingText);
    ::setenv("GAMEHOST_RESOURCES", GAMEHOST_APP_RESOURCES, 1);
    EXPECT_TRUE(TV_refreshBundle());
    fs::remove_all(app);
}

TEST_F(RefreshBundleTest, LabelsAndTheirTextWidth) {
    auto label = TV_label();
    EXPECT_EQ(label->font()->pointSize(), 14);
    EXPECT_EQ(label->textAlignment(), ui::TextAlignment::Center);
    EXPECT_NEAR(label->textColor().red, 90.0 / 255, 1e-9);
    EXPECT_DOUBLE_EQ(TV_textWith(*label), 0);
    label->setText("abcd");
    // Four narrow characters of half an em.
    EXPECT_NEAR(TV_textWith(*label), 28, 1e-9);

    // The normal header's arrow takes the label's colour and sits left of the text.
    auto header = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshNormalHeader>({});
    setTV_header(*scrollView, header);
    env.runUntilIdle();
    EXPECT_EQ(header->arrowView()->tintColor(), header->stateLabel()->textColor());
    EXPECT_LT(header->arrowView()->center().x, 195 - 25);
    EXPECT_DOUBLE_EQ(header->arrowView()->center().y, 27);
}

}  // namespace
