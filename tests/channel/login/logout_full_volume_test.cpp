// A logout on a full volume, seen from the next launch: the login card
// comes up, never an automatic login, and the saved accounts are still
// there.

#include <filesystem>

#include "channel/ShareVale.h"
#include "login_test_support.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/UserDefaultsInPlaceWrite.h"

namespace {

class LogoutFullVolumeTest : public login_test::LoginTest {
protected:
    ~LogoutFullVolumeTest() override {
        ns::FileManager::setFileSystemFreeSizeForTesting(std::nullopt);
        ns::detail::setInPlaceCutForTesting(ns::detail::InPlaceCut::None);
    }

    void logIn() {
        open();
        login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
        env.fastForwardBy(1.5);
        finishHandOff();
        ASSERT_EQ(game.successes.size(), 1u);
    }
    // The process ends without saving anything more and starts again: what
    // it knows is what the file holds.
    void relaunch() {
        ns::UserDefaults::resetStandardUserDefaultsForTesting();
        ShareVale::distroyInstance();
    }
    bool anyFileSetAside() const {
        for (const auto& entry : std::filesystem::directory_iterator(folder + "/home/Library/Preferences"))
            if (entry.path().filename().string().find(".corrupt-") != std::string::npos) return true;
        return false;
    }
    // The relaunch's login window: the card waits for the player. The name
    // field's text, "(no card)" when there is none.
    std::string expectTheLoginCard(size_t successes = 1) {
        const size_t logins = posts("login/dologin");
        log.clear();
        open();
        env.fastForwardBy(3);
        auto c = card();
        EXPECT_TRUE(c) << "the login card is up";
        EXPECT_TRUE(log.contains("screen: login card: 账号登录 | {请输入账号} {请输入密码} [登录]"))
            << "the card the player sees is in the log";
        if (c) {
            EXPECT_EQ(c->UsingStyle(), 0) << "the form, not the welcome of an automatic login";
        }
        EXPECT_EQ(posts("login/dologin"), logins) << "nothing logged in by itself";
        EXPECT_EQ(game.successes.size(), successes);
        EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 2u);
        EXPECT_FALSE(anyFileSetAside()) << "the saved state read whole";
        EXPECT_TRUE(ns::UserDefaults::standardUserDefaults()->arrayForKey("TV_accounts")) << "saved accounts kept";
        auto name = c ? c->loginName.lock() : nullptr;
        return name ? login_test::textOr(name->text(), "") : "(no card)";
    }
};

// The volume fills after the login; a later change that lengthens the file
// waits in memory, and the logout comes on top of it.
TEST_F(LogoutFullVolumeTest, ALogoutAfterTheVolumeFilledIsThereForTheNextLaunch) {
    logIn();
    ns::FileManager::setFileSystemFreeSizeForTesting(0);
    ShareVale::sharedInstance()->setPtbValue(ns::str("1000000"));

    ToviraSDK::LoginOut();
    env.runUntilIdle();
    EXPECT_TRUE(log.contains("screen: toast: 退出成功"));

    relaunch();
    EXPECT_EQ(expectTheLoginCard(), "") << "the server confirmed the logout: no name to offer";
}

// The volume fills between the login's save and the sub-account's: the
// sub-account, a key the file lacks, waits with the login's other keys, and
// the logout on top of it still reaches the disk.
TEST_F(LogoutFullVolumeTest, ALogoutWhileTheSubAccountWaitsIsThereForTheNextLaunch) {
    open();
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(1.5);
    ns::FileManager::setFileSystemFreeSizeForTesting(0);
    finishHandOff();
    ASSERT_EQ(game.successes.size(), 1u);
    ASSERT_TRUE(log.contains("kept to be saved later")) << "the sub-account waits";

    ToviraSDK::LoginOut();
    env.runUntilIdle();
    EXPECT_TRUE(log.contains("screen: toast: 退出成功"));

    relaunch();
    EXPECT_FALSE(ShareVale::sharedInstance()->subUserName()) << "still waiting when the process ended";
    EXPECT_EQ(expectTheLoginCard(), "");
}

// The process ends right after the logout's write over the old file: the
// file still reads whole.
TEST_F(LogoutFullVolumeTest, ALogoutCutShortAfterItsWriteIsThereForTheNextLaunch) {
    logIn();
    ns::FileManager::setFileSystemFreeSizeForTesting(0);
    ToviraSDK::LoginOut();
    // The name emptied on the server's word is the save that is cut.
    ns::detail::setInPlaceCutForTesting(ns::detail::InPlaceCut::ProcessEndsAfterWrite);
    env.runUntilIdle();

    relaunch();
    ns::detail::setInPlaceCutForTesting(ns::detail::InPlaceCut::None);
    EXPECT_EQ(expectTheLoginCard(), "");
}

// After the logout another account logs in on the full volume: its longer
// name cannot be saved, so neither are its password, login style and
// sub-account; the next launch shows the card, never a login with no name.
TEST_F(LogoutFullVolumeTest, ALoginAfterTheLogoutThatCannotBeSavedLeavesTheLoggedOutLogin) {
    logIn();
    ns::FileManager::setFileSystemFreeSizeForTesting(0);
    ToviraSDK::LoginOut();
    env.runUntilIdle();
    open();
    login(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    env.fastForwardBy(1.6);
    finishHandOff();
    ASSERT_EQ(game.successes.size(), 2u);
    ASSERT_EQ(login_test::textOr(ShareVale::sharedInstance()->userName()), sandbox::ChannelServer::kMinorUser);

    relaunch();
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->subUserName()), "player1_1")
        << "the sub-account kept back with the rest";
    EXPECT_EQ(expectTheLoginCard(2), "");
}

}  // namespace
