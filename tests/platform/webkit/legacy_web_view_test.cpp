// The older web view: its synchronous delegate and string evaluation over
// the same page engine.

#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/webkit/LegacyWebView.h"

#include <gtest/gtest.h>

namespace {

class LegacyRecorder : public web::LegacyWebViewDelegate {
public:
    std::vector<std::string> events;
    bool allow = true;

    bool shouldStartLoadWithRequest(web::LegacyWebView&, const ns::Ref<ns::URLRequest>& request,
                                    web::LegacyNavigationType type) override {
        events.push_back("should " + request->URL()->absoluteString()->utf8() + " " +
                         std::to_string(static_cast<int>(type)));
        return allow;
    }
    void didStartLoad(web::LegacyWebView&) override { events.push_back("start"); }
    void didFinishLoad(web::LegacyWebView& view) override {
        events.push_back("finish " + view.stringByEvaluatingJavaScriptFromString("document.title")->utf8());
    }
    void didFailLoadWithError(web::LegacyWebView&, const ns::Ref<ns::Error>& error) override {
        events.push_back("fail " + std::to_string(error->code()));
    }
};

class LegacyWebViewTest : public ::testing::Test {
protected:
    LegacyWebViewTest() { view->setDelegate(delegate); }

    void load(const std::string& url) {
        view->loadRequest(ns::URLRequest::make(ns::URL::make(url)));
        env.runUntilIdle();
    }

    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    std::shared_ptr<LegacyRecorder> delegate = std::make_shared<LegacyRecorder>();
    ns::Ref<web::LegacyWebView> view = web::LegacyWebView::make({0, 0, 300, 400});
};

TEST_F(LegacyWebViewTest, ALoadAsksStartsAndFinishesWithTheTitleReadable) {
    server.route("GET", "/agreement", testing::Reply::text("<title>用户协议</title><p>text</p>", "text/html"));
    std::string url = server.url("/agreement");
    load(url);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should " + url + " 5", "start", "finish 用户协议"}));
    EXPECT_EQ(view->request()->URL()->absoluteString()->utf8(), url);
    EXPECT_FALSE(view->isLoading());
}

TEST_F(LegacyWebViewTest, StringEvaluationGivesTextAndEmptyForNothing) {
    view->loadHTMLString("<script>var score = 12; var user = {id: 'u1'};</script>", nullptr);
    env.runUntilIdle();
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("score * 2")->utf8(), "24");
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("JSON.stringify(user)")->utf8(), R"({"id":"u1"})");
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("user")->utf8(), "[object Object]");
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("null")->utf8(), "");
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("nosuchthing.x")->utf8(), "");
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("'null'")->utf8(), "null");
}

TEST_F(LegacyWebViewTest, ARefusedLoadStopsAndAnUnsupportedSchemeFails) {
    delegate->allow = false;
    load("mqq://im/chat");
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should mqq://im/chat 5"}));
    EXPECT_FALSE(view->isLoading());

    delegate->events.clear();
    delegate->allow = true;
    load("tovcopy://x?y");
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should tovcopy://x?y 5", "start", "fail -1002"}));
}

TEST_F(LegacyWebViewTest, HistoryGoesBackAndForward) {
    server.route("GET", "/a", testing::Reply::text("<title>A</title>", "text/html"));
    server.route("GET", "/b", testing::Reply::text("<title>B</title>", "text/html"));
    EXPECT_FALSE(view->canGoBack());
    load(server.url("/a"));
    load(server.url("/b"));
    ASSERT_TRUE(view->canGoBack());
    delegate->events.clear();
    view->goBack();
    env.runUntilIdle();
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"should " + server.url("/a") + " 2", "start", "finish A"}));
    EXPECT_FALSE(view->canGoBack());
    EXPECT_TRUE(view->canGoForward());
    view->goForward();
    env.runUntilIdle();
    EXPECT_EQ(view->stringByEvaluatingJavaScriptFromString("document.title")->utf8(), "B");
}

}  // namespace
