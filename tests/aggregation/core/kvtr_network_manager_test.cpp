// The aggregation network manager against real loopback servers: the bytes
// of its form POSTs, the encoding of its GET addresses, which closure a
// reply reaches and on which queue, and the error texts.

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

#include "aggregation/core/KVTRNetworkManager.h"
#include "platform/dispatch/MainThread.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLRequest.h"
#include "platform/foundation/URLSessionTask.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Window.h"
#include "ui/hud/KVTRProgressHUD.h"

namespace {

using Manager = KVTRNetworkManager;

ns::Ref<ns::String> text(std::string s) {
    return ns::String::make(std::move(s));
}

// What one request ended with; written from whichever queue the manager
// calls on, read once the environment is idle.
struct Outcome {
    std::atomic<int> successes = 0, failures = 0;
    std::atomic<bool> onMainThread = false;
    ns::Id reply;
    std::optional<std::string> message;  // nullopt: a nil text

    Manager::Success success() {
        return [this](const ns::Id& r) { reply = r, onMainThread = dispatch::isMainThread(), ++successes; };
    }
    Manager::Failure failure() {
        return [this](const ns::Ref<ns::String>& m) {
            if (m) message = m->utf8();
            onMainThread = dispatch::isMainThread(), ++failures;
        };
    }
};

class NetworkManagerTest : public ::testing::Test {
protected:
    // A key window for the HUD to show in.
    NetworkManagerTest() {
        ui::resetSharedStateForTesting();
        window_->makeKeyAndVisible();
        env.runUntilIdle();
    }
    ~NetworkManagerTest() override {
        ui::resetSharedStateForTesting();
        env.fastForwardUntilNoTasksRemain();
    }

    // A port nothing listens on: one a server had and gave back.
    static std::string refusedOrigin() { return testing::LoopbackServer().baseURL(); }

    std::string hudText() {
        auto label = KVTRProgressHUD::sharedView()->statusLabel();
        return label && label->text() ? label->text()->utf8() : std::string();
    }

    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    ns::Ref<ui::Window> window_ = ui::Window::makeFullScreen();
};

TEST_F(NetworkManagerTest, PostSendsTheFormBodyInKeyOrderAndParsesTheReplyOffTheMainQueue) {
    server.route("POST", "/login/index",
                 testing::Reply::text(R"({"code":1,"data":{"token":"t9"}})", "application/json"));
    auto params = ns::MutableDictionary::make();
    params->setObjectForKey(text("12"), "game_id");
    params->setObjectForKey(text("张三 李四"), "name");
    params->setObjectForKey(ns::Number::withLongLong(5), "level");
    params->setObjectForKey(text("ab"), "app_key");

    Outcome outcome;
    Manager::PostWithURL(server.url("/login/index"), params, outcome.success(), outcome.failure());
    env.runUntilIdle();

    ASSERT_EQ(server.requestCount(), 1u);
    const auto request = server.requests()[0];
    const std::string expected = "game_id=12&name=张三 李四&level=5&app_key=ab&";
    EXPECT_EQ(request.body, expected);
    EXPECT_EQ(request.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.header("Content-Length"), std::to_string(expected.size()));

    ASSERT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
    EXPECT_FALSE(outcome.onMainThread);
    auto reply = ns::cast<ns::MutableDictionary>(outcome.reply);
    ASSERT_TRUE(reply) << "replies are parsed with mutable containers";
    auto data = ns::cast<ns::MutableDictionary>(reply->objectForKey("data"));
    ASSERT_TRUE(data);
    EXPECT_EQ(ns::textOf(data->objectForKey("token")), "t9");
}

TEST(DealWithParam, EscapesOnlyWhatWouldSplitAPair) {
    EXPECT_EQ(Manager::dealWithParam(nullptr)->utf8(), "");
    EXPECT_EQ(Manager::dealWithParam(ns::MutableDictionary::make())->utf8(), "");

    auto params = ns::MutableDictionary::make();
    params->setObjectForKey(ns::Number::withDouble(2.5), "price");
    params->setObjectForKey(text("line\nbreak\x7f"), "memo");
    params->setObjectForKey(text("~!*'();:@$,/?#[]"), "marks");
    params->setObjectForKey(text("a&b=c"), "ext");
    params->setObjectForKey(text("1+1 is 100%"), "sum");
    params->setObjectForKey(text("x"), "k=y");
    EXPECT_EQ(Manager::dealWithParam(params)->utf8(),
              "price=2.5&memo=line%0Abreak%7F&marks=~!*'();:@$,/?#[]&ext=a%26b%3Dc&sum=1%2B1 is 100%25&k%3Dy=x&");
}

TEST_F(NetworkManagerTest, GetPercentEncodesTheWholeAddressAndAnswersOnMain) {
    server.route("GET", "/menu/index", testing::Reply::text(R"({"status":"200","data":[1,2]})", "application/json"));
    auto params = ns::MutableDictionary::make();
    params->setObjectForKey(text("9"), "uid");

    Outcome outcome, appended;
    Manager::getWithURL(server.url("/menu/index?name=a b&city=北京&done=%41"), nullptr, outcome.success(),
                        outcome.failure());
    env.runUntilIdle();
    // Parameters go straight onto the address: the caller brings the "&".
    Manager::getWithURL(server.url("/menu/index?type=day&"), params, appended.success(), appended.failure());
    env.runUntilIdle();

    ASSERT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(server.requests()[0].query, "name=a%20b&city=%E5%8C%97%E4%BA%AC&done=%2541");
    EXPECT_EQ(server.requests()[1].query, "type=day&uid=9&");
    ASSERT_EQ(outcome.successes, 1);
    EXPECT_TRUE(outcome.onMainThread);
    auto reply = ns::cast<ns::Dictionary>(outcome.reply);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(ns::cast<ns::MutableArray>(reply->objectForKey("data")));
}

TEST_F(NetworkManagerTest, ABodyThatIsNotJsonReachesSuccessAsNilWhateverTheStatus) {
    testing::Reply page = testing::Reply::withStatus(500, "<html><body>Internal Server Error</body></html>");
    page.setHeader("Content-Type", "text/html");
    server.route("GET", "/gmstore/status", page);
    server.route("POST", "/role/index", page);
    server.route("GET", "/plain", testing::Reply::text("OK"));

    Outcome get, post, plain;
    Manager::getWithURL(server.url("/gmstore/status"), nullptr, get.success(), get.failure());
    Manager::PostWithURL(server.url("/role/index"), nullptr, post.success(), post.failure());
    Manager::getWithURL(server.url("/plain"), nullptr, plain.success(), plain.failure());
    env.runUntilIdle();

    for (Outcome* o : {&get, &post, &plain}) {
        EXPECT_EQ(o->successes, 1);
        EXPECT_EQ(o->failures, 0);
        EXPECT_EQ(o->reply, nullptr);
    }
}

TEST_F(NetworkManagerTest, ARefusedConnectionFailsWithItsTextAndOnlyThePostShowsTheHud) {
    const std::string origin = refusedOrigin();
    Outcome get;
    Manager::getWithURL(origin + "/menu/index", nullptr, get.success(), get.failure());
    env.runUntilIdle();
    env.fastForwardBy(0.5);
    ASSERT_EQ(get.failures, 1);
    EXPECT_TRUE(get.onMainThread);
    EXPECT_EQ(get.message, std::optional<std::string>("服务器连接失败！"));
    EXPECT_FALSE(KVTRProgressHUD::iKVTRisible());

    Outcome outcome;
    Manager::PostWithURL(origin + "/init", nullptr, outcome.success(), outcome.failure());
    env.runUntilIdle();
    env.fastForwardBy(0.5);

    EXPECT_EQ(outcome.successes, 0);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_FALSE(outcome.onMainThread);
    EXPECT_EQ(outcome.message, std::optional<std::string>("服务器连接失败！"));
    EXPECT_TRUE(KVTRProgressHUD::iKVTRisible());
    EXPECT_EQ(hudText(), "服务器连接失败！");
}

// The one test that waits out the 3.0 s time-out in real time: the
// transport's deadline does not follow the mock clock.
TEST_F(NetworkManagerTest, APostThatTimesOutFailsWithTheTimeoutTextAndShowsIt) {
    testing::Reply late = testing::Reply::text("{}", "application/json");
    late.delaySeconds = 5.0;
    server.route("POST", "/slow", late);
    Outcome outcome;
    Manager::PostWithURL(server.url("/slow"), nullptr, outcome.success(), outcome.failure());
    env.runUntilIdle();
    env.fastForwardBy(0.5);

    EXPECT_EQ(outcome.successes, 0);
    ASSERT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.message, std::optional<std::string>("网络请求超时，请稍后重试！"));
    EXPECT_EQ(hudText(), "网络请求超时，请稍后重试！");
}

// The time-out is read off the requests as they start, so the test needs no
// server that keeps it waiting.
TEST_F(NetworkManagerTest, EveryRequestHasAThreeSecondTimeout) {
    server.route("GET", "/a", testing::Reply::text("{}"));
    server.route("POST", "/b", testing::Reply::text("{}"));
    std::mutex lock;
    std::vector<ns::Ref<ns::URLRequest>> started;
    const uint64_t hook = ns::URLSessionTask::addActivityHook([&](ns::URLSessionTask& task, auto activity) {
        std::lock_guard<std::mutex> hold(lock);
        if (activity == ns::URLSessionTask::Activity::Resumed) started.push_back(task.originalRequest());
    });
    Outcome get, post;
    Manager::getWithURL(server.url("/a"), nullptr, get.success(), get.failure());
    Manager::PostWithURL(server.url("/b"), nullptr, post.success(), post.failure());
    env.runUntilIdle();
    ns::URLSessionTask::removeActivityHook(hook);

    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(ns::textOf(started[0]->HTTPMethod()), "GET");
    EXPECT_EQ(ns::textOf(started[1]->HTTPMethod()), "POST");
    for (const auto& request : started) {
        EXPECT_EQ(request->timeoutInterval(), 3.0);
        EXPECT_EQ(request->cachePolicy(), uint64_t(ns::URLRequestUseProtocolCachePolicy));
    }
    EXPECT_EQ(get.successes + post.successes, 2);
}

TEST(ErrorTexts, FollowTheCodeTable) {
    const char* unknown = "网络请求发生未知错误，请稍后再试！";
    const std::pair<int64_t, const char*> table[] = {
        {-1012, "操作无法完成！"},
        {-1009, "互联网连接似乎是离线！"},
        {-1005, "连接丢失，请稍后重试！"},
        {-1004, "服务器连接失败！"},
        {-1003, "未能找到指定的服务器！"},
        {-1002, "不支持的URL！"},
        {-1001, "网络请求超时，请稍后重试！"},
        {500, "服务器异常！"},
        {-1000, unknown},
        {404, unknown},
        {0, unknown},
    };
    for (const auto& [code, expected] : table) {
        auto message = Manager::showErrorInfoWithStatusCode(code);
        ASSERT_TRUE(message) << code;
        EXPECT_EQ(message->utf8(), expected) << code;
    }
    EXPECT_EQ(Manager::showErrorInfoWithStatusCode(401), nullptr);
}

}  // namespace
