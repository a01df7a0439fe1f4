// Loads as the navigation delegate sees them: the order of events, what
// fails provisionally and what still finishes, policy decisions, and loads
// that replace each other.

#include "platform/dispatch/Queue.h"
#include "platform/foundation/URLError.h"
#include "platform/runtime/Exception.h"
#include "web_test_support.h"

namespace {

using webtest::WebViewTest;

std::vector<std::string> sequence(std::initializer_list<std::string> events) { return events; }

TEST_F(WebViewTest, ALoadRunsPolicyStartCommitScriptsAndFinish) {
    serve("/index.html", R"(<html><head><title>  The
        Game </title></head><body><script>
        document.addEventListener('DOMContentLoaded', function () { steps.push('dom ' + document.readyState); });
        window.addEventListener('load', function (e) { steps.push('load ' + document.readyState + ' ' + e.type); });
        window.onload = function () { steps.push('onload'); };
        var steps = ['script ' + document.readyState];
    </script></body></html>)");
    std::string url = server.url("/index.html");
    auto navigationObject = view->loadRequest(request(url));
    EXPECT_TRUE(view->isLoading());
    EXPECT_EQ(view->URL()->absoluteString()->utf8(), url);
    EXPECT_TRUE(navigation->events.empty()) << "the delegate hears of a load on a later turn";

    env.runUntilIdle();
    EXPECT_EQ(navigation->events, sequence({"policy " + url + " -1", "start", "commit", "finish"}));
    EXPECT_FALSE(view->isLoading());
    EXPECT_EQ(view->title()->utf8(), "The Game");
    EXPECT_EQ(eval("steps.join(', ')"), "script loading, dom interactive, load complete load, onload");
    EXPECT_EQ(eval("window === this && window.window === window && self === window ? 'same' : 'different'"), "same");
    EXPECT_EQ(navigationObject->request()->URL()->absoluteString()->utf8(), url);
}

TEST_F(WebViewTest, AnHttpErrorDocumentStillLoadsAndFinishes) {
    server.route("GET", "/missing.html", [](const testing::RecordedRequest&, testing::Reply& reply) {
        reply = testing::Reply::text("<title>Not here</title><script>var ran = 'yes';</script>", "text/html");
        reply.status = 404;
    });
    load("/missing.html");
    EXPECT_EQ(navigation->events,
              sequence({"policy " + server.url("/missing.html") + " -1", "start", "commit", "finish"}));
    EXPECT_EQ(view->title()->utf8(), "Not here");
    EXPECT_EQ(eval("ran"), "yes");
}

TEST_F(WebViewTest, ARefusedConnectionFailsProvisionallyAndKeepsThePage) {
    loadHTML("<title>Old</title>");
    std::string refused;
    {
        testing::LoopbackServer closed;
        refused = closed.url("/game.html");
    }
    navigation->events.clear();
    view->loadRequest(request(refused));
    env.runUntilIdle();
    EXPECT_EQ(navigation->events, sequence({"policy " + refused + " -1", "start", "fail-provisional -1004"}));
    ASSERT_NE(navigation->lastError, nullptr);
    EXPECT_EQ(navigation->lastError->domain(), ns::URLErrorDomain);
    EXPECT_FALSE(view->isLoading());
    EXPECT_EQ(view->title()->utf8(), "Old");
}

TEST_F(WebViewTest, ACustomSchemeIsCancelledByPolicyOrFailsAsUnsupported) {
    navigation->policy = [](const web::NavigationAction& action) {
        return action.request()->URL()->scheme()->utf8() == "tovcopy" ? web::NavigationActionPolicy::Cancel
                                                                       : web::NavigationActionPolicy::Allow;
    };
    loadHTML("<title>Page</title>");
    navigation->events.clear();
    view->loadRequest(request("tovcopy://copy?text"));
    env.runUntilIdle();
    EXPECT_EQ(navigation->events, sequence({"policy tovcopy://copy?text -1"}));
    EXPECT_FALSE(view->isLoading());
    EXPECT_EQ(view->URL()->absoluteString()->utf8(), server.url("/"));

    navigation->events.clear();
    view->loadRequest(request("mqqapi://open"));
    env.runUntilIdle();
    EXPECT_EQ(navigation->events, sequence({"policy mqqapi://open -1", "start", "fail-provisional -1002"}));
    EXPECT_EQ(navigation->lastError->code(), ns::URLErrorUnsupportedURL);
}

TEST_F(WebViewTest, AServerRedirectOfTheDocumentGoesThroughThePolicy) {
    navigation->policy = [](const web::NavigationAction& action) {
        return action.request()->URL()->scheme()->utf8() == "wallet" ? web::NavigationActionPolicy::Cancel
                                                                      : web::NavigationActionPolicy::Allow;
    };
    server.route("GET", "/pay", [this](const testing::RecordedRequest&, testing::Reply& reply) {
        reply = testing::Reply::redirect(server.url("/paid.html"));
    });
    serve("/paid.html", "<title>Paid</title>");
    server.route("GET", "/open-wallet", [](const testing::RecordedRequest&, testing::Reply& reply) {
        reply = testing::Reply::redirect("wallet://pay?order=7");
    });
    server.route("GET", "/open-other", [](const testing::RecordedRequest&, testing::Reply& reply) {
        reply = testing::Reply::redirect("other://x");
    });

    load("/pay");
    EXPECT_EQ(navigation->events, sequence({"policy " + server.url("/pay") + " -1", "start",
                                            "policy " + server.url("/paid.html") + " -1", "commit", "finish"}));
    EXPECT_EQ(view->URL()->absoluteString()->utf8(), server.url("/paid.html"));
    EXPECT_EQ(view->title()->utf8(), "Paid");

    // Cancelled on the way: the load ends quietly and the page stays.
    navigation->events.clear();
    load("/open-wallet");
    EXPECT_EQ(navigation->events, sequence({"policy " + server.url("/open-wallet") + " -1", "start",
                                            "policy wallet://pay?order=7 -1"}));
    EXPECT_FALSE(view->isLoading());
    EXPECT_EQ(view->title()->utf8(), "Paid");

    // Allowed to a scheme nothing can load: an unsupported address.
    navigation->events.clear();
    load("/open-other");
    EXPECT_EQ(navigation->events, sequence({"policy " + server.url("/open-other") + " -1", "start",
                                            "policy other://x -1", "fail-provisional -1002"}));
}

TEST_F(WebViewTest, ThePolicyMayBeDecidedLater) {
    web::NavigationDelegate::PolicyDecisionHandler pending;
    struct Deferring : webtest::NavigationRecorder {
        web::NavigationDelegate::PolicyDecisionHandler* slot;
        void decidePolicyForNavigationAction(web::WebView&, const ns::Ref<web::NavigationAction>&,
                                             PolicyDecisionHandler handler) override {
            events.push_back("policy");
            *slot = std::move(handler);
        }
    };
    auto deferring = std::make_shared<Deferring>();
    deferring->slot = &pending;
    view->setNavigationDelegate(deferring);
    serve("/a.html", "<title>A</title>");
    load("/a.html");
    EXPECT_EQ(deferring->events, sequence({"policy"}));
    ASSERT_TRUE(pending);
    pending(web::NavigationActionPolicy::Allow);
    env.runUntilIdle();
    EXPECT_EQ(deferring->events, sequence({"policy", "start", "commit", "finish"}));
    EXPECT_THROW(pending(web::NavigationActionPolicy::Allow), ns::Exception);
}

TEST_F(WebViewTest, ANewLoadCancelsTheOneInProgressSilently) {
    serve("/fast.html", "<title>Fast</title>");
    std::string slow = server.url("/slow.html");
    std::string fast = server.url("/fast.html");
    // While the slow document is on its way, the main thread starts another load.
    server.route("GET", "/slow.html", [this, fast](const testing::RecordedRequest&, testing::Reply& reply) {
        dispatch::mainQueue()->async([this, fast] { view->loadRequest(request(fast)); });
        reply = testing::Reply::text("<title>Slow</title>", "text/html");
        reply.delaySeconds = 0.3;
    });
    view->loadRequest(request(slow));
    env.runUntilIdle();
    EXPECT_EQ(navigation->events,
              sequence({"policy " + slow + " -1", "start", "policy " + fast + " -1", "start", "commit", "finish"}));
    EXPECT_EQ(view->title()->utf8(), "Fast");
}

TEST_F(WebViewTest, ScriptsRunInDocumentOrderWithExternalOnesResolvedAgainstTheBase) {
    server.route("GET", "/js/first.js", testing::Reply::text("order.push('external ' + typeof inlineOne);",
                                                             "application/javascript"));
    server.route("GET", "/js/missing.js", testing::Reply::withStatus(404, "order.push('404 body ran');"));
    serve("/page.html", R"(<html><head><base href="/js/">
        <script>var order = []; var inlineOne = 1; order.push('inline 1');</script>
        <script src="first.js"></script>
        <script type="text/template">order.push('not a script');</script>
        <script src="missing.js"></script>
        <script>order.push('inline 2');</script>
        </head></html>)");
    load("/page.html");
    EXPECT_EQ(eval("order.join(', ')"), "inline 1, external number, inline 2");
    EXPECT_EQ(navigation->events.back(), "finish");

    // An HTML string's scripts resolve against its base URL, with no fetch for the document.
    size_t before = server.requestCount();
    view->loadHTMLString("<script>var order = ['string'];</script><script src=\"js/first.js\"></script>",
                         ns::URL::make(server.url("/")));
    env.runUntilIdle();
    EXPECT_EQ(eval("order.join(', ')"), "string, external undefined");
    EXPECT_EQ(server.requestCount(), before + 1);
}

TEST_F(WebViewTest, LocationChangesGoThroughThePolicy) {
    serve("/one.html", "<title>One</title><script>function go(to) { location.href = to; }</script>");
    serve("/two.html", "<title>Two</title><script>var href = location.href; var path = location.pathname;</script>");
    load("/one.html");
    navigation->events.clear();

    navigation->policy = [](const web::NavigationAction& action) {
        return action.request()->URL()->path()->utf8() == "/blocked.html" ? web::NavigationActionPolicy::Cancel
                                                                           : web::NavigationActionPolicy::Allow;
    };
    eval("go('blocked.html')");
    EXPECT_EQ(navigation->events, sequence({"policy " + server.url("/blocked.html") + " -1"}));
    EXPECT_EQ(view->title()->utf8(), "One");

    navigation->events.clear();
    eval("go('two.html?x=1#top')");
    EXPECT_EQ(navigation->events.back(), "finish");
    EXPECT_EQ(view->title()->utf8(), "Two");
    EXPECT_EQ(eval("href"), server.url("/two.html?x=1#top"));
    EXPECT_EQ(eval("path + location.search + location.hash"), "/two.html?x=1#top");
    EXPECT_TRUE(view->canGoBack());

    navigation->events.clear();
    eval("location.reload()");
    ASSERT_FALSE(navigation->actions.empty());
    EXPECT_EQ(navigation->actions.back()->navigationType(), web::NavigationType::Reload);
    EXPECT_EQ(navigation->events.back(), "finish");

    view->goBack();
    env.runUntilIdle();
    EXPECT_EQ(navigation->actions.back()->navigationType(), web::NavigationType::BackForward);
    EXPECT_EQ(view->title()->utf8(), "One");
    EXPECT_TRUE(view->canGoForward());
}

TEST_F(WebViewTest, DestroyingTheViewMidLoadDeliversNothing) {
    std::weak_ptr<web::WebView> weak = view;
    server.route("GET", "/slow.html", [this](const testing::RecordedRequest&, testing::Reply& reply) {
        dispatch::mainQueue()->async([this] { view.reset(); });
        reply = testing::Reply::text("<script>webkit.messageHandlers.eventComplete.postMessage('hi')</script>",
                                     "text/html");
        reply.delaySeconds = 0.2;
    });
    view->loadRequest(request(server.url("/slow.html")));
    env.runUntilIdle();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(navigation->events, sequence({"policy " + server.url("/slow.html") + " -1", "start"}));
    EXPECT_TRUE(messages->messages.empty());
}

}  // namespace
