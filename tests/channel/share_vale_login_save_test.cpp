// A login saved by the channel's configuration on a volume that fills: the
// name, password and login style are one change, on disk whole or not at
// all, so the next launch never pairs one login's name with another's
// password.

#include "channel/ShareVale.h"
#include "channel_test_support.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"

namespace {

using ShareValeLoginSaveTest = channel_test::ChannelTest;

std::string savedText(const char* key) {
    auto value = ns::UserDefaults::standardUserDefaults()->stringForKey(key);
    return value ? value->utf8() : "<nil>";
}

TEST_F(ShareValeLoginSaveTest, ALoginThatCannotBeSavedWholeIsNotSavedInPart) {
    ShareVale::sharedInstance()->setLogin(ns::str("a-rather-long-player-name"), ns::str("pw1"), 1);
    // No room for a new copy: only what does not lengthen the file can go
    // over the old one. The shorter name alone would; with the longer
    // password it does not.
    ns::FileManager::setFileSystemFreeSizeForTesting(0);
    ShareVale::sharedInstance()->setLogin(ns::str("p2"), ns::str("a much longer password than the name was"), 1);
    ns::FileManager::setFileSystemFreeSizeForTesting(std::nullopt);

    // The next launch reads what the file holds.
    ns::UserDefaults::resetStandardUserDefaultsForTesting();
    ShareVale::distroyInstance();
    EXPECT_EQ(savedText("TV_username"), "a-rather-long-player-name");
    EXPECT_EQ(savedText("TV_pwd"), "pw1") << "the earlier login, whole";
    EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 1u);
}

}  // namespace
