// The channel adapter on its own: what it hands the channel, how results come
// back, and what happens while no channel SDK is installed.

#include "facade_test_support.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"

namespace facadetest {
namespace {

class RecordingChannelDelegate : public KVTRLightChannelDelegate {
public:
    void kvtrChannel_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& result) override {
        calls.push_back("login");
        login = result;
        onMain.push_back(dispatch::isMainThread());
    }
    void kvtrChannel_getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>& status) override {
        calls.push_back("role:" + str(status->objectForKey("status")));
    }
    void kvtrChannel_logOutCallBack(const ns::Ref<ns::String>& result) override { calls.push_back("logout:" + str(result)); }

    std::vector<std::string> calls;
    std::vector<bool> onMain;
    ns::Ref<ns::Dictionary> login;
};

class ChannelAdapterTest : public FacadeTest {
protected:
    ChannelAdapterTest() { libKVTRLightChannel::kvtrChannel_setStartLoginListener(channelDelegate); }
    ~ChannelAdapterTest() override { libKVTRLightChannel::sharedInstance()->setDelegate(nullptr); }

    ns::Ref<libKVTRLightChannel> adapter = libKVTRLightChannel::sharedInstance();
    std::shared_ptr<RecordingChannelDelegate> channelDelegate = std::make_shared<RecordingChannelDelegate>();
};

TEST_F(ChannelAdapterTest, ThePlatformIdIsAlways256) {
    adapter->setPlatformId(text("999"));
    EXPECT_EQ(str(adapter->platformId()), "256");
}

TEST_F(ChannelAdapterTest, ALoginResultArrivesOnMainAfterTheQueueTurns) {
    adapter->kvtrChannel_lightLoginStart();
    ASSERT_TRUE(channel->loginSuccess);
    channel->loginSuccess(text("1700000000"), text("player1"), text("s\"ig"), text("2"));
    EXPECT_TRUE(channelDelegate->calls.empty());
    env.runUntilIdle();
    ASSERT_EQ(channelDelegate->calls, std::vector<std::string>{"login"});
    EXPECT_TRUE(channelDelegate->onMain[0]);
    EXPECT_EQ(str(channelDelegate->login->objectForKey("token")), "s\"ig");
    EXPECT_EQ(str(channelDelegate->login->objectForKey("uid")), "player1");
    EXPECT_EQ(str(channelDelegate->login->objectForKey("channel_code")), "1700000000");
    EXPECT_EQ(channelDelegate->login->count(), 3u);
}

TEST_F(ChannelAdapterTest, TheRoleCallbackComesWhateverTheChannelAnswers) {
    auto role = std::make_shared<KVTRChannelRoleInfo>();
    role->roleId = text("r1");
    role->roleName = text("Ann");
    role->roleLevel = text("3");
    role->serviceId = text("s1");
    role->serviceName = text("一区");
    role->powerValue = text("99");
    adapter->kvtrChannel_superRoleUpdate(role);
    env.runUntilIdle();
    EXPECT_EQ(channelDelegate->calls, std::vector<std::string>{"role:success"});
    ASSERT_TRUE(channel->roleResult);
    channel->roleResult(0);  // the channel's server refused
    env.runUntilIdle();
    EXPECT_EQ(channelDelegate->calls, std::vector<std::string>{"role:success"});
}

TEST_F(ChannelAdapterTest, LogoutEndsTheChannelSessionAndAnswersAtOnce) {
    adapter->kvtrChannel_logout();
    EXPECT_EQ(channel->calls, std::vector<std::string>{"LoginOut"});
    EXPECT_EQ(channelDelegate->calls, std::vector<std::string>{"logout:success"});
}

TEST_F(ChannelAdapterTest, UrlHooksAnswerYesAndTheOrientationIsTheChannels) {
    auto& app = *ui::Application::sharedApplication();
    auto url = ns::URL::make("other://host/path");
    EXPECT_TRUE(adapter->applicationHandleOpenURL(app, url));
    EXPECT_TRUE(adapter->applicationOpenURLSourceApplicationAnnotation(app, url, text("app"), nullptr));
    EXPECT_TRUE(adapter->applicationOpenURLOptions(app, url, nullptr));
    channel->orientationMask = 24;
    EXPECT_EQ(entity->applicationSupportedInterfaceOrientationsForWindow(app, nullptr), 24u);
    EXPECT_EQ(channel->calls,
              (std::vector<std::string>{"handleOpenURL", "openURLSourceApplication", "openURLOptions", "orientations"}));
}

TEST_F(ChannelAdapterTest, WithoutAChannelEveryCallIsLoggedAndGoesNoFurther) {
    KVTRChannelSDK::setShared(nullptr);
    ns::LogCapture log;
    adapter->kvtrChannel_lightLoginStart();
    adapter->kvtrChannel_logout();
    auto& app = *ui::Application::sharedApplication();
    EXPECT_TRUE(adapter->applicationHandleOpenURL(app, ns::URL::make("x://y")));
    env.runUntilIdle();
    EXPECT_TRUE(log.contains("channel SDK not available: loadLoginViewResultSuccess"));
    EXPECT_TRUE(log.contains("channel SDK not available: LoginOut"));
    // The game is still told it is logged out.
    EXPECT_EQ(channelDelegate->calls, std::vector<std::string>{"logout:success"});
}

}  // namespace
}  // namespace facadetest
