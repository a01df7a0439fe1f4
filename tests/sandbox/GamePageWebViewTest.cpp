// The sample page in the app's own web view: its first post, then one post
// per callback along the whole road.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/webkit/WebView.h"
#include "sandbox/GamePage.h"
#include "sandbox/GamePageServer.h"
#include "sandbox/Json.h"
#include "tests/sandbox/SandboxClient.h"

namespace sandbox {
namespace {

class PostRecorder : public web::ScriptMessageHandler {
public:
    void userContentControllerDidReceiveScriptMessage(web::UserContentController&,
                                                      const ns::Ref<web::ScriptMessage>& message) override {
        auto body = ns::cast<ns::String>(message->body());
        bodies.push_back(body ? body->utf8() : "<not text>");
    }
    std::vector<std::string> bodies;
};

class GamePageWebViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto configuration = web::WebViewConfiguration::make();
        configuration->userContentController()->addScriptMessageHandler(recorder_, "eventComplete");
        view_ = web::WebView::make(cg::Rect(0, 0, 375, 667), configuration);
        view_->loadRequest(ns::URLRequest::make(ns::URL::make(server_.pageURL())));
        env_.runUntilIdle();
    }

    // The view's last work (its session's invalidation) must run while the
    // environment still exists, or later tests' loads never complete.
    void TearDown() override {
        view_ = nullptr;
        env_.runUntilIdle();
    }

    // Calls the page as the app does, then lets it run.
    void callBack(const std::string& json) {
        view_->evaluateJavaScript("CallbackFromIOS('" + json + "')");
        env_.runUntilIdle();
    }

    const std::vector<std::string>& posts() const { return recorder_->bodies; }
    std::string lastAction() const { return posts().empty() ? "" : test::text(jsonValue(posts().back()), "action"); }
    ns::Id lastData() const { return posts().empty() ? nullptr : test::valueAt(jsonValue(posts().back()), "data"); }

    testing::TaskEnvironment env_;
    ns::LogCapture log_;
    GamePageServer server_;
    std::shared_ptr<PostRecorder> recorder_ = std::make_shared<PostRecorder>();
    ns::Ref<web::WebView> view_;
};

TEST_F(GamePageWebViewTest, FirstPostIsLogin) {
    ASSERT_EQ(posts().size(), 1u);
    EXPECT_EQ(posts()[0], R"({"action":"login"})");
    EXPECT_TRUE(log_.contains("page: post login"));
    ASSERT_TRUE(view_->title());
    EXPECT_EQ(view_->title()->utf8(), "Sample game");
    EXPECT_EQ(server_.http().requests().size(), 1u);
}

TEST_F(GamePageWebViewTest, WalksTheRoadOneStepPerCallback) {
    callBack(R"({"action":"loginNotify","data":{"super_user_id":"100001","token":"t0ken1"}})");
    ASSERT_EQ(posts().size(), 2u);
    EXPECT_EQ(lastAction(), "uploadGameRoleInfo");
    // The app drops a role report missing any of these.
    for (const char* key : {"role_id", "service_id", "service_name", "role_name", "role_level"})
        EXPECT_FALSE(test::text(lastData(), key).empty()) << key;
    EXPECT_TRUE(log_.contains(R"(page: callback loginNotify {"super_user_id":"100001","token":"t0ken1"})"));

    callBack(R"({"action":"uploadGameRoleInfo","data":""})");
    // A pause before the first order (the player looks around).
    EXPECT_EQ(posts().size(), 2u);
    env_.fastForwardBy(kLookAroundMilliseconds / 1000.0 - 0.01);
    EXPECT_EQ(posts().size(), 2u);
    env_.fastForwardBy(0.01);
    ASSERT_EQ(posts().size(), 3u);
    EXPECT_EQ(lastAction(), "pay");
    for (const char* key : {"good_id", "good_name", "game_order_sn", "money", "service_id", "service_name", "role_id",
                            "role_name", "role_level"})
        EXPECT_FALSE(test::text(lastData(), key).empty()) << key;

    // A second pay after the first result, whatever it was.
    callBack(R"({"action":"payNotify","data":{"status":"1","order_id":"SO1","channel_order":"SO1","cp_order":"cp1"}})");
    ASSERT_EQ(posts().size(), 4u);
    EXPECT_EQ(lastAction(), "pay");
    callBack(R"({"action":"payNotify","data":{"status":"1","order_id":"SO2","channel_order":"SO2","cp_order":"cp2"}})");
    ASSERT_EQ(posts().size(), 5u);
    EXPECT_EQ(lastAction(), "openStore");
    // The store stays while nothing is bought in it; a purchase reported
    // there moves the page on once the store's screens have settled.
    env_.fastForwardBy(5);
    EXPECT_EQ(posts().size(), 5u);
    callBack(R"({"action":"payNotify","data":{"status":"1","order_id":"SO3","channel_order":"SO3","cp_order":"co1"}})");
    EXPECT_EQ(posts().size(), 5u);
    env_.fastForwardBy(kStoreSettleMilliseconds / 1000.0);
    ASSERT_EQ(posts().size(), 6u);
    EXPECT_EQ(lastAction(), "openResourseStore");
    // The first store's ceiling passing changes nothing now.
    env_.fastForwardBy(kStoreCeilingMilliseconds / 1000.0 - 5 - kStoreSettleMilliseconds / 1000.0 + 0.01);
    EXPECT_EQ(posts().size(), 6u);
    callBack(R"({"action":"payNotify","data":{"status":"2","order_id":"SO4","channel_order":"SO4","cp_order":"ro1"}})");
    env_.fastForwardBy(kStoreSettleMilliseconds / 1000.0);
    ASSERT_EQ(posts().size(), 7u);
    EXPECT_EQ(lastAction(), "logout");
    EXPECT_FALSE(log_.contains("page: road complete"));
    // Nothing more when the ceilings pass.
    env_.fastForwardBy(kStoreCeilingMilliseconds / 1000.0);
    EXPECT_EQ(posts().size(), 7u);

    callBack(R"({"action":"clientlogout","data":""})");
    EXPECT_EQ(posts().size(), 7u);
    EXPECT_TRUE(log_.contains("page: road complete"));
}

TEST_F(GamePageWebViewTest, AStoreWhereNothingIsBoughtIsLeftAtTheCeiling) {
    callBack(R"({"action":"payNotify"})");
    callBack(R"({"action":"payNotify"})");
    ASSERT_EQ(posts().size(), 3u);
    EXPECT_EQ(lastAction(), "openStore");
    env_.fastForwardBy(kStoreCeilingMilliseconds / 1000.0 - 0.01);
    EXPECT_EQ(posts().size(), 3u);
    env_.fastForwardBy(0.01);
    ASSERT_EQ(posts().size(), 4u);
    EXPECT_EQ(lastAction(), "openResourseStore");
    env_.fastForwardBy(kStoreCeilingMilliseconds / 1000.0);
    ASSERT_EQ(posts().size(), 5u);
    EXPECT_EQ(lastAction(), "logout");
}

TEST_F(GamePageWebViewTest, OtherCallbacksAreLoggedAndPostNothing) {
    callBack(R"({"action":"goPay"})");
    callBack("not json");
    callBack(R"({"action":"payNotify"})");  // goes on whatever the status
    callBack(R"({"action":"payNotify"})");
    EXPECT_TRUE(log_.contains("page: callback goPay "));
    EXPECT_TRUE(log_.contains("page: callback that is not JSON: not json"));
    ASSERT_EQ(posts().size(), 3u);
    EXPECT_EQ(lastAction(), "openStore");
}

}  // namespace
}  // namespace sandbox
