#pragma once
// Recording delegates and a fixture with mock time and a loopback server,
// shared by the web view tests.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Number.h"
#include "platform/foundation/URLRequest.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/webkit/WebView.h"

namespace webtest {

// Navigation events as short lines: "policy <url> <type>", "start", "commit",
// "finish", "fail-provisional <code>", "terminated".
class NavigationRecorder : public web::NavigationDelegate {
public:
    std::vector<std::string> events;
    // Answers the policy decision; allows everything when empty.
    std::function<web::NavigationActionPolicy(const web::NavigationAction&)> policy;
    ns::Ref<ns::Error> lastError;
    std::vector<ns::Ref<web::NavigationAction>> actions;

    void decidePolicyForNavigationAction(web::WebView&, const ns::Ref<web::NavigationAction>& action,
                                         PolicyDecisionHandler decisionHandler) override {
        actions.push_back(action);
        events.push_back("policy " + action->request()->URL()->absoluteString()->utf8() + " " +
                         std::to_string(static_cast<int>(action->navigationType())));
        decisionHandler(policy ? policy(*action) : web::NavigationActionPolicy::Allow);
    }
    void didStartProvisionalNavigation(web::WebView&, const ns::Ref<web::Navigation>&) override {
        events.push_back("start");
    }
    void didCommitNavigation(web::WebView&, const ns::Ref<web::Navigation>&) override { events.push_back("commit"); }
    void didFinishNavigation(web::WebView&, const ns::Ref<web::Navigation>&) override { events.push_back("finish"); }
    void didFailProvisionalNavigation(web::WebView&, const ns::Ref<web::Navigation>&,
                                      const ns::Ref<ns::Error>& error) override {
        lastError = error;
        events.push_back("fail-provisional " + std::to_string(error->code()));
    }
    void didFailNavigation(web::WebView&, const ns::Ref<web::Navigation>&, const ns::Ref<ns::Error>& error) override {
        lastError = error;
        events.push_back("fail " + std::to_string(error->code()));
    }

    void webViewWebContentProcessDidTerminate(web::WebView&) override { events.push_back("terminated"); }

    size_t count(const std::string& event) const {
        size_t n = 0;
        for (const auto& e : events) n += e == event;
        return n;
    }
};

class MessageRecorder : public web::ScriptMessageHandler {
public:
    std::vector<ns::Ref<web::ScriptMessage>> messages;
    std::function<void(const ns::Ref<web::ScriptMessage>&)> onMessage;

    void userContentControllerDidReceiveScriptMessage(web::UserContentController&,
                                                      const ns::Ref<web::ScriptMessage>& message) override {
        messages.push_back(message);
        if (onMessage) onMessage(message);
    }

    // The bodies' text forms.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : messages) out.push_back(m->body() ? m->body()->description() : "(nil)");
        return out;
    }
};

class WebViewTest : public ::testing::Test {
protected:
    WebViewTest() {
        config->userContentController()->addScriptMessageHandler(messages, "eventComplete");
        view = web::WebView::make({0, 0, 375, 667}, config);
        view->setNavigationDelegate(navigation);
    }

    static ns::Ref<ns::URLRequest> request(const std::string& url) { return ns::URLRequest::make(ns::URL::make(url)); }

    void serve(const std::string& path, const std::string& html) {
        server.route("GET", path, testing::Reply::text(html, "text/html; charset=utf-8"));
    }

    // Loads the page at `path` of the server and runs until it settles.
    void load(const std::string& path) {
        view->loadRequest(request(server.url(path)));
        env.runUntilIdle();
    }

    void loadHTML(const std::string& html) {
        view->loadHTMLString(html, ns::URL::make(server.url("/")));
        env.runUntilIdle();
    }

    struct Evaluation {
        bool completed = false;
        ns::Id result;
        ns::Ref<ns::Error> error;
    };
    Evaluation evaluate(const std::string& script) {
        auto out = std::make_shared<Evaluation>();
        view->evaluateJavaScript(script, [out](ns::Id result, ns::Ref<ns::Error> error) {
            out->completed = true;
            out->result = std::move(result);
            out->error = std::move(error);
        });
        env.runUntilIdle();
        return *out;
    }
    // The result's text form, or "error: <message>".
    std::string eval(const std::string& script) {
        Evaluation e = evaluate(script);
        if (!e.completed) return "(not completed)";
        if (e.error) return "error: " + e.error->description();
        return e.result ? e.result->description() : "(nil)";
    }

    testing::TaskEnvironment env;
    testing::LoopbackServer server;
    ns::Ref<web::WebViewConfiguration> config = web::WebViewConfiguration::make();
    std::shared_ptr<NavigationRecorder> navigation = std::make_shared<NavigationRecorder>();
    std::shared_ptr<MessageRecorder> messages = std::make_shared<MessageRecorder>();
    ns::Ref<web::WebView> view;
};

}  // namespace webtest
