// One queue of page events per web view: script messages, navigation
// callbacks and dialogs reach the host in the order the page caused them.

#include <algorithm>

#include "web_test_support.h"

namespace {

using webtest::WebViewTest;

// Puts dialogs on the navigation recorder's timeline.
struct DialogTimeline : web::UIDelegate {
    std::vector<std::string>* events = nullptr;
    void runJavaScriptAlertPanelWithMessage(web::WebView&, const ns::Ref<ns::String>& message,
                                            AlertCompletion completion) override {
        events->push_back("alert " + message->utf8());
        completion();
    }
    void runJavaScriptConfirmPanelWithMessage(web::WebView&, const ns::Ref<ns::String>& message,
                                              ConfirmCompletion completion) override {
        events->push_back("confirm " + message->utf8());
        completion(true);
    }
};

class PageEventOrderTest : public WebViewTest {
protected:
    PageEventOrderTest() {
        messages->onMessage = [this](const auto& message) {
            navigation->events.push_back("message " + message->body()->description());
        };
        dialogs->events = &navigation->events;
        view->setUIDelegate(dialogs);
    }

    // The timeline from the commit on.
    std::vector<std::string> fromCommit() const {
        const auto& events = navigation->events;
        auto it = std::find(events.begin(), events.end(), "commit");
        return {it, events.end()};
    }

    std::shared_ptr<DialogTimeline> dialogs = std::make_shared<DialogTimeline>();
};

TEST_F(PageEventOrderTest, AnInlineScriptsMessageArrivesBeforeTheFinishedNavigation) {
    serve("/inline.html", "<script>webkit.messageHandlers.eventComplete.postMessage('role');</script>");
    load("/inline.html");
    EXPECT_EQ(fromCommit(), (std::vector<std::string>{"commit", "message role", "finish"}));

    // The same with an external script after the posting one, and with two
    // inline scripts posting in turn.
    navigation->events.clear();
    serve("/later.js", "var loaded = true;");
    serve("/external.html",
          "<script>webkit.messageHandlers.eventComplete.postMessage('a');</script>"
          "<script src='/later.js'></script>"
          "<script>webkit.messageHandlers.eventComplete.postMessage('b');</script>");
    load("/external.html");
    EXPECT_EQ(fromCommit(), (std::vector<std::string>{"commit", "message a", "message b", "finish"}));
}

TEST_F(PageEventOrderTest, AMessageFromATimerAfterTheLoadFollowsTheFinishedNavigation) {
    serve("/timer.html",
          "<script>setTimeout(function () { webkit.messageHandlers.eventComplete.postMessage('role'); }, 10);"
          "</script>");
    load("/timer.html");
    env.fastForwardBy(1);
    EXPECT_EQ(fromCommit(), (std::vector<std::string>{"commit", "finish", "message role"}));
}

TEST_F(PageEventOrderTest, ADialogFirstDeliversWhatThePagePostedBeforeIt) {
    loadHTML("<p>ready</p>");
    navigation->events.clear();
    EXPECT_EQ(eval("var h = webkit.messageHandlers.eventComplete;"
                   "h.postMessage('one'); alert('shown'); h.postMessage('two');"
                   "confirm('sure?') ? 'yes' : 'no'"),
              "yes");
    EXPECT_EQ(navigation->events,
              (std::vector<std::string>{"message one", "alert shown", "message two", "confirm sure?"}));

    // During a load too: the dialog comes after the message and before the
    // finished navigation.
    navigation->events.clear();
    serve("/dialog.html",
          "<script>webkit.messageHandlers.eventComplete.postMessage('m'); alert('a');"
          "webkit.messageHandlers.eventComplete.postMessage('n');</script>");
    load("/dialog.html");
    EXPECT_EQ(fromCommit(), (std::vector<std::string>{"commit", "message m", "alert a", "message n", "finish"}));
}

TEST_F(PageEventOrderTest, APageThatPostsAndThenNavigatesIsHeardInThatOrder) {
    serve("/next.html", "<p>next</p>");
    serve("/leave.html",
          "<script>webkit.messageHandlers.eventComplete.postMessage('bye'); location.href = '/next.html';</script>");
    load("/leave.html");
    const auto events = fromCommit();
    auto bye = std::find(events.begin(), events.end(), "message bye");
    auto policy = std::find(events.begin(), events.end(), "policy " + server.url("/next.html") + " -1");
    ASSERT_NE(bye, events.end());
    ASSERT_NE(policy, events.end());
    EXPECT_LT(bye, policy);
    EXPECT_EQ(navigation->events.back(), "finish");
    EXPECT_EQ(view->URL()->absoluteString()->utf8(), server.url("/next.html"));
}

TEST_F(PageEventOrderTest, AFinishStillQueuedWhenANewerLoadBeginsIsDropped) {
    // The host answers the page's message by loading another page: the
    // first load's finish, still waiting behind the message, never comes.
    messages->onMessage = [this](const auto& message) {
        navigation->events.push_back("message " + message->body()->description());
        view->loadHTMLString("<p>second</p>", ns::URL::make(server.url("/second")));
    };
    serve("/first.html", "<script>webkit.messageHandlers.eventComplete.postMessage('go');</script>");
    load("/first.html");
    EXPECT_EQ(navigation->count("finish"), 1u);
    EXPECT_EQ(navigation->count("commit"), 2u);
    EXPECT_EQ(fromCommit().at(1), "message go");
    EXPECT_EQ(view->URL()->absoluteString()->utf8(), server.url("/second"));
}

}  // namespace
