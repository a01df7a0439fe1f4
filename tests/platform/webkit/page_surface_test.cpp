// What a page's scripts find around them: dialogs answered by the UI
// delegate, timers on the mock clock, the console in the platform log.

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Time.h"
#include "platform/foundation/Log.h"
#include "web_test_support.h"

namespace {

using webtest::WebViewTest;

class DialogRecorder : public web::UIDelegate {
public:
    std::vector<std::string> shown;
    bool confirmAnswer = false;
    ns::Ref<ns::String> promptAnswer;
    // Answers on a later turn instead of at once.
    bool answerLater = false;

    void runJavaScriptAlertPanelWithMessage(web::WebView&, const ns::Ref<ns::String>& message,
                                            AlertCompletion completion) override {
        shown.push_back("alert " + message->utf8());
        answer([completion] { completion(); });
    }
    void runJavaScriptConfirmPanelWithMessage(web::WebView&, const ns::Ref<ns::String>& message,
                                              ConfirmCompletion completion) override {
        shown.push_back("confirm " + message->utf8());
        answer([completion, ok = confirmAnswer] { completion(ok); });
    }
    void runJavaScriptTextInputPanelWithPrompt(web::WebView&, const ns::Ref<ns::String>& prompt,
                                               const ns::Ref<ns::String>& defaultText,
                                               PromptCompletion completion) override {
        shown.push_back("prompt " + prompt->utf8() + " [" + (defaultText ? defaultText->utf8() : "nil") + "]");
        auto text = promptAnswer ? promptAnswer : defaultText;
        answer([completion, text] { completion(text); });
    }

private:
    void answer(std::function<void()> reply) {
        if (answerLater) {
            dispatch::after(0.5, dispatch::mainQueue(), std::move(reply));
        } else {
            reply();
        }
    }
};

class PageSurfaceTest : public WebViewTest {
protected:
    PageSurfaceTest() { view->setUIDelegate(dialogs); }
    std::shared_ptr<DialogRecorder> dialogs = std::make_shared<DialogRecorder>();
};

TEST_F(PageSurfaceTest, ConfirmAndPromptWaitForTheDelegatesAnswer) {
    loadHTML("<p>dialogs</p>");
    EXPECT_EQ(eval("confirm('Leave?') ? 'yes' : 'no'"), "no");
    dialogs->confirmAnswer = true;
    EXPECT_EQ(eval("confirm('Leave?') ? 'yes' : 'no'"), "yes");
    EXPECT_EQ(eval("prompt('Name', 'player1')"), "player1");
    dialogs->promptAnswer = ns::str("typed");
    EXPECT_EQ(eval("prompt('Name')"), "typed");
    EXPECT_EQ(eval("alert('hello'); 'after alert'"), "after alert");
    EXPECT_EQ(dialogs->shown, (std::vector<std::string>{"confirm Leave?", "confirm Leave?", "prompt Name [player1]",
                                                        "prompt Name [nil]", "alert hello"}));
}

TEST_F(PageSurfaceTest, AnAnswerThatComesLaterResumesTheScript) {
    loadHTML("<script>var log = [];</script>");
    dialogs->answerLater = true;
    dialogs->confirmAnswer = true;
    dispatch::TimeTicks started = env.nowTicks();
    EXPECT_EQ(eval("log.push('before'); var r = confirm('Pay?'); log.push('after ' + r); log.join(', ')"),
              "before, after true");
    EXPECT_EQ(env.nowTicks() - started, dispatch::TimeDelta::fromMilliseconds(500));

    // The page's timers keep running while it waits.
    EXPECT_EQ(eval("setTimeout(function () { log.push('timer'); }, 100);"
                   "log.push(prompt('Code', 'x')); log.join(', ')"),
              "before, after true, timer, x");
}

TEST_F(PageSurfaceTest, WithoutAUIDelegateDialogsTakeTheDefaults) {
    view->setUIDelegate(nullptr);
    loadHTML("<p>none</p>");
    EXPECT_EQ(eval("alert('x'); [confirm('y'), prompt('z', 'w')].join('|')"), "false|");
    EXPECT_EQ(eval("prompt('z', 'w') === null ? 'null' : 'text'"), "null");
}

TEST_F(PageSurfaceTest, TimersRunOnTheMockClock) {
    loadHTML(R"JS(<script>
        var fired = [];
        setTimeout(function (a, b) { fired.push('timeout ' + a + b); }, 1000, 'x', 'y');
        var cancelled = setTimeout(function () { fired.push('cancelled'); }, 500);
        clearTimeout(cancelled);
        var ticks = 0;
        var interval = setInterval(function () { if (++ticks === 3) clearInterval(interval); }, 200);
        setTimeout("fired.push('string code')", 0);
    </script>)JS");
    EXPECT_EQ(eval("fired.join(', ') + ' / ' + ticks"), "string code / 0");
    env.fastForwardBy(0.5);
    EXPECT_EQ(eval("fired.join(', ') + ' / ' + ticks"), "string code / 2");
    env.fastForwardBy(0.5);
    EXPECT_EQ(eval("fired.join(', ') + ' / ' + ticks"), "string code, timeout xy / 3");
    env.fastForwardBy(5);
    EXPECT_EQ(eval("ticks"), "3");
}

TEST_F(PageSurfaceTest, ANewPageEndsTheOldPagesTimers) {
    loadHTML("<script>setInterval(function () { webkit.messageHandlers.eventComplete.postMessage('tick'); }, 100);"
             "</script>");
    env.fastForwardBy(0.25);
    EXPECT_EQ(messages->messages.size(), 2u);
    loadHTML("<p>quiet</p>");
    env.fastForwardBy(1);
    EXPECT_EQ(messages->messages.size(), 2u);
}

TEST_F(PageSurfaceTest, ConsoleLinesAndUncaughtTimerErrorsReachTheLog) {
    ns::LogCapture log;
    loadHTML(R"(<script>
        console.log('plain', 1, {a: [true]});
        console.warn('careful');
        console.error('broken');
        setTimeout(function () { missing.call(); }, 10);
    </script>)");
    env.fastForwardBy(0.1);
    EXPECT_TRUE(log.contains("plain 1 {\"a\":[true]}"));
    EXPECT_TRUE(log.contains("[warn] careful"));
    EXPECT_TRUE(log.contains("[error] broken"));
    EXPECT_TRUE(log.contains("JavaScript error: ReferenceError"));
}

TEST_F(PageSurfaceTest, DateNowFollowsTheClock) {
    loadHTML("<script>var start = Date.now();</script>");
    env.fastForwardBy(2);
    EXPECT_EQ(eval("Date.now() - start"), "2000");
}

TEST_F(PageSurfaceTest, DocumentTitleIsWritable) {
    loadHTML("<title>First</title><script>var initial = document.title; document.title = 'Second';</script>");
    EXPECT_EQ(eval("initial"), "First");
    EXPECT_EQ(view->title()->utf8(), "Second");
}

}  // namespace
