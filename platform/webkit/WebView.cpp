#include "platform/webkit/WebView.h"

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/runtime/Exception.h"
#include "platform/webkit/Frame.h"
#include "platform/webkit/ScriptMessage.h"

namespace web {

namespace detail {

// Adapts the loader to the view's delegates and user-content controller.
class WebViewFrameClient final : public FrameClient {
public:
    explicit WebViewFrameClient(WebView& view) : view_(view) {}

    void decidePolicy(const ns::Ref<ns::URLRequest>& request, NavigationType type,
                      std::function<void(bool)> decide) override {
        auto view = self();
        auto delegate = view ? view->navigationDelegate() : nullptr;
        if (!delegate) {
            decide(true);
            return;
        }
        delegate->decidePolicyForNavigationAction(
            *view, NavigationAction::make(request, type),
            [decide = std::move(decide)](NavigationActionPolicy policy) { decide(policy == NavigationActionPolicy::Allow); });
    }

    void didStartProvisional(const ns::Ref<Navigation>& navigation) override {
        if (auto view = self(); auto delegate = view ? view->navigationDelegate() : nullptr) {
            delegate->didStartProvisionalNavigation(*view, navigation);
        }
    }

    void didCommit(const ns::Ref<Navigation>& navigation) override {
        if (auto view = self(); auto delegate = view ? view->navigationDelegate() : nullptr) {
            delegate->didCommitNavigation(*view, navigation);
        }
    }

    void didFinish(const ns::Ref<Navigation>& navigation) override {
        if (auto view = self(); auto delegate = view ? view->navigationDelegate() : nullptr) {
            delegate->didFinishNavigation(*view, navigation);
        }
    }

    void didFailProvisional(const ns::Ref<Navigation>& navigation, const ns::Ref<ns::Error>& error) override {
        if (auto view = self(); auto delegate = view ? view->navigationDelegate() : nullptr) {
            delegate->didFailProvisionalNavigation(*view, navigation, error);
        }
    }

    void webContentProcessDidTerminate() override {
        if (auto view = self(); auto delegate = view ? view->navigationDelegate() : nullptr) {
            delegate->webViewWebContentProcessDidTerminate(*view);
        }
    }

    void alert(const ns::Ref<ns::String>& message, std::function<void()> done) override {
        auto view = self();
        auto delegate = view ? view->uiDelegate() : nullptr;
        if (!delegate) return done();
        delegate->runJavaScriptAlertPanelWithMessage(*view, message, std::move(done));
    }

    void confirm(const ns::Ref<ns::String>& message, std::function<void(bool)> done) override {
        auto view = self();
        auto delegate = view ? view->uiDelegate() : nullptr;
        if (!delegate) return done(false);
        delegate->runJavaScriptConfirmPanelWithMessage(*view, message, std::move(done));
    }

    void prompt(const ns::Ref<ns::String>& prompt, const ns::Ref<ns::String>& defaultText,
                std::function<void(ns::Ref<ns::String>)> done) override {
        auto view = self();
        auto delegate = view ? view->uiDelegate() : nullptr;
        if (!delegate) return done(nullptr);
        delegate->runJavaScriptTextInputPanelWithPrompt(*view, prompt, defaultText, std::move(done));
    }

    std::vector<std::string> messageHandlerNames() override {
        return view_.configuration_->userContentController()->handlerNames();
    }

    // The frame's page-event queue brings it on a later turn, in order with
    // the navigation callbacks; only while the handler is still there.
    void postMessage(const std::string& name, ns::Id body) override {
        auto view = self();
        if (!view) return;
        auto controller = view->configuration_->userContentController();
        auto handler = controller->handlerForName(name);
        if (!handler) return;
        handler->userContentControllerDidReceiveScriptMessage(*controller,
                                                              ScriptMessage::make(ns::str(name), body, view));
    }

private:
    // Kept alive for the length of a delegate call, which may let it go.
    ns::Ref<WebView> self() const { return std::static_pointer_cast<WebView>(view_.weak_from_this().lock()); }

    WebView& view_;
};

}  // namespace detail

RT_DEFINE_CLASS(WebView, ui::View, "WKWebView")

WebView::WebView() : View() { commonInit(nullptr); }

WebView::WebView(const cg::Rect& frame, ns::Ref<WebViewConfiguration> configuration) : View(frame) {
    commonInit(std::move(configuration));
}

WebView::~WebView() { frame_->close(); }

ns::Ref<WebView> WebView::make(const cg::Rect& frame, ns::Ref<WebViewConfiguration> configuration) {
    return std::make_shared<WebView>(frame, std::move(configuration));
}

void WebView::commonInit(ns::Ref<WebViewConfiguration> configuration) {
    configuration_ = configuration ? ns::cast<WebViewConfiguration>(configuration->copy()) : WebViewConfiguration::make();
    scrollView_ = ui::ScrollView::make(bounds());
    scrollView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    addSubview(scrollView_);
    client_ = std::make_unique<detail::WebViewFrameClient>(*this);
    frame_ = std::make_shared<detail::Frame>(*client_);
}

ns::Ref<WebViewConfiguration> WebView::configuration() const {
    return ns::cast<WebViewConfiguration>(configuration_->copy());
}

ns::Ref<Navigation> WebView::loadRequest(const ns::Ref<ns::URLRequest>& request) {
    if (!request || !request->URL()) ns::Exception::raise(ns::InvalidArgumentException, "loadRequest: no URL");
    return frame_->load(request, NavigationType::Other);
}

ns::Ref<Navigation> WebView::loadHTMLString(std::string_view html, const ns::Ref<ns::URL>& baseURL) {
    return frame_->loadHTMLString(html, baseURL);
}

ns::Ref<Navigation> WebView::reload() { return frame_->reload(); }

void WebView::stopLoading() { frame_->stopLoading(); }

bool WebView::canGoBack() const { return frame_->canGoBack(); }

bool WebView::canGoForward() const { return frame_->canGoForward(); }

ns::Ref<Navigation> WebView::goBack() { return frame_->goBack(); }

ns::Ref<Navigation> WebView::goForward() { return frame_->goForward(); }

void WebView::evaluateJavaScript(std::string_view script, EvaluationCompletion completion) {
    // The script runs as run loop work (see Frame.cpp); the completion
    // follows on the main queue.
    std::weak_ptr<detail::Frame> weak = frame_;
    dispatch::RunLoop::main().performBlock([weak, script = std::string(script), completion = std::move(completion)] {
        auto frame = weak.lock();
        if (!frame) return;
        detail::ScriptOutcome outcome = frame->evaluate(script, detail::Page::Result::Platform);
        if (!completion) return;
        ns::Id result = outcome.ok && !outcome.unsupported ? outcome.value : nullptr;
        dispatch::mainQueue()->async([weak, completion, result, error = outcome.error()] {
            if (weak.lock()) completion(result, error);
        });
    });
}

bool WebView::isLoading() const { return frame_->isLoading(); }

ns::Ref<ns::URL> WebView::URL() const { return frame_->url(); }

ns::Ref<ns::String> WebView::title() const { return frame_->title(); }

}  // namespace web
