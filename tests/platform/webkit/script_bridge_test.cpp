// The page and the native side talking: script messages in, evaluated
// scripts out, values converted both ways, and script faults contained.

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Null.h"
#include "platform/webkit/WebError.h"
#include "web_test_support.h"

namespace {

using webtest::WebViewTest;

constexpr const char* GamePage = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Game</title>
<script>
var handler = window.webkit.messageHandlers.eventComplete;
function CallbackFromIOS(text) {
    var parsed;
    try { parsed = JSON.parse(text).action; } catch (e) { parsed = 'unparsable'; }
    handler.postMessage(parsed + ' ' + text);
}
handler.postMessage(JSON.stringify({"action": "login"}));
</script></head><body></body></html>)";

TEST_F(WebViewTest, APagePostsTextAndAnswersTheCallbackItIsSent) {
    serve("/game.html", GamePage);
    load("/game.html");

    ASSERT_EQ(messages->messages.size(), 1u);
    const auto& login = messages->messages[0];
    EXPECT_EQ(login->name()->utf8(), "eventComplete");
    ASSERT_NE(ns::cast<ns::String>(login->body()), nullptr);
    EXPECT_EQ(ns::cast<ns::String>(login->body())->utf8(), R"({"action":"login"})");
    EXPECT_EQ(login->webView(), view);

    EXPECT_EQ(eval(R"(CallbackFromIOS('{"action":"loginNotify","data":{"token":"t1"}}'))"), "(nil)");
    // The JSON text sits between single quotes unescaped, so its backslash
    // escapes are read once by the script parser before the page sees it:
    // doubled escapes arrive as JSON escapes...
    EXPECT_EQ(eval(R"(CallbackFromIOS('{"action":"payNotify","data":{"path":"C:\\\\games","tab":"a\\tb"}}'))"),
              "(nil)");
    EXPECT_EQ(eval(R"(CallbackFromIOS('{"action":"x","data":{"name":"a \\"quoted\\" name"}}'))"), "(nil)");
    // ...and plain JSON escapes are undone, leaving text that does not parse.
    EXPECT_EQ(eval(R"(CallbackFromIOS('{"action":"y","data":"a \"q\""}'))"), "(nil)");
    ASSERT_EQ(messages->messages.size(), 5u);
    EXPECT_EQ(messages->texts()[1], R"(loginNotify {"action":"loginNotify","data":{"token":"t1"}})");
    EXPECT_EQ(messages->texts()[2], R"(payNotify {"action":"payNotify","data":{"path":"C:\\games","tab":"a\tb"}})");
    EXPECT_EQ(messages->texts()[3], R"(x {"action":"x","data":{"name":"a \"quoted\" name"}})");
    EXPECT_EQ(messages->texts()[4], R"(unparsable {"action":"y","data":"a "q""})");
}

TEST_F(WebViewTest, MessagesArriveOnALaterTurnInPostingOrder) {
    ns::LogCapture log;
    messages->onMessage = [&](const auto& message) { ns::log("message %@", message->body()); };
    loadHTML("<script>var h = window.webkit.messageHandlers.eventComplete;"
             "function post() { h.postMessage('one'); h.postMessage('two'); console.log('script ends');"
             " return 'posted'; }</script>");
    view->evaluateJavaScript("post()", [&](ns::Id result, ns::Ref<ns::Error>) {
        ns::log("completion %@", result);
    });
    env.runUntilIdle();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"script ends", "message one", "message two",
                                                     "completion posted"}));
}

TEST_F(WebViewTest, MessageBodiesBecomePlatformValues) {
    loadHTML(R"(<script>
        var post = function (v) { window.webkit.messageHandlers.eventComplete.postMessage(v); };
        post(42); post(2.5); post(true); post(null); post(undefined); post('文字 😀');
        post([1, 'a', [false]]);
        post({b: 1, a: {c: null}, list: []});
    </script>)");

    const auto& m = messages->messages;
    ASSERT_EQ(m.size(), 8u);
    auto number = ns::cast<ns::Number>(m[0]->body());
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->kind(), ns::Number::Kind::Signed);
    EXPECT_EQ(number->longLongValue(), 42);
    EXPECT_EQ(ns::cast<ns::Number>(m[1]->body())->kind(), ns::Number::Kind::Double);
    EXPECT_EQ(m[2]->body(), ns::Number::True());
    EXPECT_EQ(m[3]->body(), ns::Null::null());
    EXPECT_EQ(m[4]->body(), ns::Null::null());
    EXPECT_EQ(ns::cast<ns::String>(m[5]->body())->utf8(), "文字 😀");

    auto array = ns::cast<ns::Array>(m[6]->body());
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(array->count(), 3u);
    EXPECT_EQ(ns::cast<ns::String>(array->objectAtIndex(1))->utf8(), "a");
    auto inner = ns::cast<ns::Array>(array->objectAtIndex(2));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->objectAtIndex(0), ns::Number::False());

    auto dict = ns::cast<ns::Dictionary>(m[7]->body());
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->allKeys()->description(), ns::Array::make({ns::str("b"), ns::str("a"), ns::str("list")})->description());
    auto nested = ns::cast<ns::Dictionary>(dict->objectForKey(ns::str("a").get()));
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->objectForKey(ns::str("c").get()), ns::Null::null());
}

TEST_F(WebViewTest, UnknownHandlersAreUndefinedAndUnclonableBodiesThrow) {
    loadHTML("<script>var f = function () {};</script>");
    EXPECT_EQ(eval("typeof window.webkit.messageHandlers.nobody"), "undefined");
    EXPECT_EQ(eval("typeof window.webkit.messageHandlers.eventComplete.postMessage"), "function");
    EXPECT_EQ(eval("try { webkit.messageHandlers.eventComplete.postMessage({f: f}); 'posted' }"
                   " catch (e) { e.name }"),
              "TypeError");
    EXPECT_TRUE(messages->messages.empty());

    // Handlers added later are seen from the page's next entry.
    auto other = std::make_shared<webtest::MessageRecorder>();
    config->userContentController()->addScriptMessageHandler(other, "other");
    EXPECT_EQ(eval("webkit.messageHandlers.other.postMessage('hi'); 'ok'"), "ok");
    env.runUntilIdle();
    EXPECT_EQ(other->texts(), std::vector<std::string>{"hi"});
    config->userContentController()->removeScriptMessageHandlerForName("other");
    EXPECT_EQ(eval("typeof webkit.messageHandlers.other"), "undefined");
}

TEST_F(WebViewTest, TheHandlerIsHeldWeakly) {
    std::weak_ptr<webtest::MessageRecorder> weakHandler = messages;
    loadHTML("<script>function post() { webkit.messageHandlers.eventComplete.postMessage('x'); }</script>");
    messages.reset();
    EXPECT_TRUE(weakHandler.expired()) << "the configuration keeps the handler alive";
    EXPECT_EQ(eval("typeof webkit.messageHandlers.eventComplete"), "undefined");

    // A handler that registers itself does not keep its own view alive.
    struct Owner : web::ScriptMessageHandler {
        ns::Ref<web::WebView> view;
        void userContentControllerDidReceiveScriptMessage(web::UserContentController&,
                                                          const ns::Ref<web::ScriptMessage>&) override {}
    };
    auto owner = std::make_shared<Owner>();
    auto configuration = web::WebViewConfiguration::make();
    configuration->userContentController()->addScriptMessageHandler(owner, "eventComplete");
    owner->view = web::WebView::make({0, 0, 10, 10}, configuration);
    std::weak_ptr<Owner> weakOwner = owner;
    owner.reset();
    EXPECT_TRUE(weakOwner.expired());
}

TEST_F(WebViewTest, AMessageToAHandlerRemovedBeforeDeliveryIsDropped) {
    std::vector<std::string> bodies;
    messages->onMessage = [&](const auto& message) {
        bodies.push_back(message->body()->description());
        // The handler goes while the page's second message still waits.
        config->userContentController()->removeScriptMessageHandlerForName("eventComplete");
    };
    loadHTML("<script>webkit.messageHandlers.eventComplete.postMessage('first');"
             "webkit.messageHandlers.eventComplete.postMessage('second');</script>");
    EXPECT_EQ(bodies, (std::vector<std::string>{"first"}));
}

TEST_F(WebViewTest, EvaluationResultsConvertLikeMessages) {
    loadHTML("<p>nothing</p>");
    EXPECT_EQ(eval("1 + 2"), "3");
    EXPECT_EQ(eval("'a' + 'b'"), "ab");
    EXPECT_EQ(eval("undefined"), "(nil)");
    Evaluation object = evaluate("({x: [1, 2], y: 'z'})");
    auto dict = ns::cast<ns::Dictionary>(object.result);
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(ns::cast<ns::Array>(dict->objectForKey(ns::str("x").get()))->count(), 2u);

    Evaluation function = evaluate("(function () {})");
    ASSERT_NE(function.error, nullptr);
    EXPECT_EQ(function.error->domain(), web::WKErrorDomain);
    EXPECT_EQ(function.error->code(), web::WKErrorJavaScriptResultTypeIsUnsupported);
    EXPECT_EQ(eval("var cycle = {}; cycle.self = cycle; cycle").rfind("error: ", 0), 0u);
}

TEST_F(WebViewTest, AScriptErrorIsLoggedAndReportedWithoutHarm) {
    ns::LogCapture log;
    loadHTML("<script>undefinedFunction();</script><script>var after = 'ran';</script>");
    EXPECT_TRUE(log.contains("JavaScript error: ReferenceError"));
    EXPECT_EQ(navigation->count("finish"), 1u);
    EXPECT_EQ(eval("after"), "ran");  // later scripts still run

    Evaluation failed = evaluate("throw new Error('bad ' + 'news')");
    ASSERT_TRUE(failed.completed);
    EXPECT_EQ(failed.result, nullptr);
    ASSERT_NE(failed.error, nullptr);
    EXPECT_EQ(failed.error->domain(), "WKErrorDomain");
    EXPECT_EQ(failed.error->code(), 4);
    EXPECT_EQ(failed.error->localizedDescription(), "A JavaScript exception occurred");
    auto message = ns::cast<ns::String>(failed.error->userInfo()->objectForKey(
        ns::str(web::WKJavaScriptExceptionMessageKey).get()));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->utf8(), "Error: bad news");

    Evaluation syntax = evaluate("function (");
    ASSERT_NE(syntax.error, nullptr);
    EXPECT_EQ(syntax.error->code(), 4);
}

TEST_F(WebViewTest, ARunawayScriptIsInterruptedAndTheHostGoesOn) {
    loadHTML("<script>var counter = 0;</script>");
    Evaluation runaway = evaluate("try { while (true) { counter++; } } catch (e) { 'caught' }");
    ASSERT_TRUE(runaway.completed);
    ASSERT_NE(runaway.error, nullptr) << "the script's own catch must not keep it going";
    EXPECT_EQ(runaway.error->code(), web::WKErrorJavaScriptExceptionOccurred);
    EXPECT_EQ(eval("counter > 0 ? 'counted' : 'not counted'"), "counted");
    EXPECT_EQ(eval("6 * 7"), "42");
}

TEST_F(WebViewTest, EvaluatingBeforeAnyLoadUsesAnEmptyPage) {
    EXPECT_EQ(eval("document.readyState + ' ' + location.href"), "complete about:blank");
    EXPECT_EQ(eval("typeof webkit.messageHandlers.eventComplete"), "object");
}

TEST_F(WebViewTest, NothingIsDeliveredAfterTheViewGoes) {
    int calls = 0;
    messages->onMessage = [&](const auto&) { ++calls; };
    bool completed = false;
    loadHTML("<script>setTimeout(function () { webkit.messageHandlers.eventComplete.postMessage('t'); }, 100);"
             "</script>");
    view->evaluateJavaScript("webkit.messageHandlers.eventComplete.postMessage('now')",
                             [&](ns::Id, ns::Ref<ns::Error>) { completed = true; });
    view.reset();
    env.fastForwardBy(1);
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(completed);
}

}  // namespace
