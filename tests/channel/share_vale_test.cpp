// The channel's configuration and saved login state: where each value comes
// from, what is cached, and the API base address's configuration.

#include <stdlib.h>

#include "channel/ShareVale.h"
#include "channel/TVChannelConfig.h"
#include "channel_test_support.h"
#include "platform/foundation/AdvertisingIdentifierManager.h"
#include "platform/foundation/UserDefaults.h"

namespace {

using channel_test::ChannelTest;

std::string textOr(const ns::Ref<ns::String>& text, std::string absent = "<nil>") {
    return text ? text->utf8() : absent;
}

using ShareValeTest = ChannelTest;

TEST_F(ShareValeTest, ConfigurationComesFromTheTVPlistAndIsPickedUpOnceItAppears) {
    auto vale = ShareVale::sharedInstance();
    EXPECT_EQ(textOr(vale->appID()), "<nil>");
    EXPECT_EQ(textOr(vale->gameID()), "<nil>");
    EXPECT_EQ(textOr(vale->appKey()), "<nil>");
    EXPECT_EQ(textOr(vale->chanelid()), "<nil>") << "no channel folder and no agent";

    writeTVPlist();
    EXPECT_EQ(textOr(vale->appID()), "app7");
    EXPECT_EQ(textOr(vale->gameID()), "g42");
    EXPECT_EQ(textOr(vale->appKey()), "key9");
    EXPECT_EQ(textOr(vale->chanelid()), "agent3");

    // Cached: a later change of the file is not seen, a setter is.
    writePlist("TV.plist", "<key>TOVIRA_APPID</key><string>other</string>");
    EXPECT_EQ(textOr(vale->appID()), "app7");
    vale->setAppID(ns::str("set"));
    EXPECT_EQ(textOr(vale->appID()), "set");
}

TEST_F(ShareValeTest, TheChannelFolderEntryWinsWithoutSpacesAndLineFeeds) {
    writeTVPlist();
    writeResource("TVAppInfo/Channel/ch 01\n", "");
    EXPECT_EQ(textOr(ShareVale::sharedInstance()->chanelid()), "ch01");
}

TEST_F(ShareValeTest, AnEmptyChannelFolderFallsBackToTheAgent) {
    writeTVPlist();
    std::filesystem::create_directories(folder + "/resources/TVAppInfo/Channel");
    EXPECT_EQ(textOr(ShareVale::sharedInstance()->chanelid()), "agent3");
}

TEST_F(ShareValeTest, PhoneTypeAndVersionHaveTheirDefaults) {
    auto vale = ShareVale::sharedInstance();
    EXPECT_EQ(textOr(vale->phoneType()), "3");
    EXPECT_FALSE(textOr(vale->version()).empty());
    vale->setPhoneType(ns::str("9"));
    EXPECT_EQ(textOr(vale->phoneType()), "9");
}

TEST_F(ShareValeTest, LoginStateLivesInTheUserDefaultsUnderItsKeys) {
    auto vale = ShareVale::sharedInstance();
    EXPECT_EQ(vale->loginStyle(), 0u);
    EXPECT_EQ(vale->suHomeCount(), 0);
    EXPECT_EQ(vale->suGiftCount(), 0);
    EXPECT_EQ(vale->suCouponCount(), 0);

    vale->setLoginStyle(2);
    vale->setUserName(ns::str("alice"));
    vale->setPassWord(ns::str("pw1"));
    vale->setSid(ns::str("s-1"));
    vale->setIsRz(ns::str("1"));
    vale->setSubUserName(ns::str("sub"));
    vale->setNoticeId(ns::str("7"));
    vale->setPtbValue(ns::str("30"));
    vale->setSuGiftCount(4);

    // Written through: a fresh load of the file reads the same.
    ns::UserDefaults::resetStandardUserDefaultsForTesting();
    ShareVale::distroyInstance();
    auto defaults = ns::UserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->integerForKey("TV_LoginStyle"), 2);
    EXPECT_EQ(textOr(defaults->stringForKey("TV_username")), "alice");
    EXPECT_EQ(textOr(defaults->stringForKey("TV_pwd")), "pw1");
    EXPECT_EQ(textOr(defaults->stringForKey("TV_sid")), "s-1");
    EXPECT_EQ(textOr(defaults->stringForKey("TV_isRz")), "1");
    EXPECT_EQ(textOr(defaults->stringForKey("TV_subUserName")), "sub");
    EXPECT_EQ(textOr(defaults->stringForKey("TV_noticeId")), "7");
    EXPECT_EQ(textOr(defaults->stringForKey("TV_ptbValue")), "30");
    EXPECT_EQ(defaults->integerForKey("TV_suGiftCount"), 4);
    auto fresh = ShareVale::sharedInstance();
    EXPECT_EQ(fresh->loginStyle(), 2u);
    EXPECT_EQ(textOr(fresh->userName()), "alice");
    EXPECT_EQ(fresh->suGiftCount(), 4);
}

TEST_F(ShareValeTest, TheSingletonIsOneUntilDestroyed) {
    auto first = ShareVale::sharedInstance();
    EXPECT_EQ(first, ShareVale::sharedInstance());
    ShareVale::distroyInstance();
    EXPECT_NE(first, ShareVale::sharedInstance());
}

using ChannelConfigTest = ChannelTest;

TEST_F(ChannelConfigTest, TheBaseComesFromTheEnvironmentBeforeThePlistAndIsKeptAsGiven) {
    EXPECT_EQ(TVChannelConfig::apiBaseURL(), "");
    EXPECT_FALSE(TVChannelConfig::isAPIBaseURLUsable());

    writePlist("GameHost.plist", "<key>ChannelAPIURL</key><string>https://api.example.test/sdkapicoupon/</string>");
    EXPECT_EQ(TVChannelConfig::apiBaseURL(), "https://api.example.test/sdkapicoupon/");
    EXPECT_TRUE(TVChannelConfig::isAPIBaseURLUsable());

    ::setenv("GAMEHOST_CHANNEL_API_URL", "http://127.0.0.1:9/sdkapicoupon/", 1);
    EXPECT_EQ(TVChannelConfig::apiBaseURL(), "http://127.0.0.1:9/sdkapicoupon/");
    EXPECT_TRUE(TVChannelConfig::isAPIBaseURLUsable());
}

TEST_F(ChannelConfigTest, ABaseThatCannotPrefixAPathIsNotUsable) {
    for (const char* bad : {"http://127.0.0.1:9/sdkapicoupon", "ftp://host/sdkapicoupon/", "not a url/",
                            "http:///sdkapicoupon/"}) {
        ::setenv("GAMEHOST_CHANNEL_API_URL", bad, 1);
        EXPECT_FALSE(TVChannelConfig::isAPIBaseURLUsable()) << bad;
    }
}

TEST(AdvertisingIdentifier, IsOneUpperCaseUUIDPerHomeFolder) {
    std::string pattern = (std::filesystem::temp_directory_path() / "idfa-XXXXXX").string();
    std::string home = ::mkdtemp(pattern.data()) ? pattern : std::string();
    ::setenv("GAMEHOST_HOME", home.c_str(), 1);
    auto& manager = ns::AdvertisingIdentifierManager::sharedManager();
    std::string first = manager.advertisingIdentifier();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_EQ(first, ns::String(first).uppercaseString()->utf8());
    EXPECT_EQ(first[8], '-');
    EXPECT_EQ(first[14], '4') << "a random UUID";
    EXPECT_EQ(manager.advertisingIdentifier(), first) << "kept in the home folder";

    std::string otherPattern = (std::filesystem::temp_directory_path() / "idfa-XXXXXX").string();
    std::string otherHome = ::mkdtemp(otherPattern.data()) ? otherPattern : std::string();
    ::setenv("GAMEHOST_HOME", otherHome.c_str(), 1);
    EXPECT_NE(manager.advertisingIdentifier(), first);
    ::unsetenv("GAMEHOST_HOME");
    std::filesystem::remove_all(home);
    std::filesystem::remove_all(otherHome);
}

}  // namespace
