#pragma once
// The web view: shows one page at a time, loaded over the URL loading system
// and run in its own embedded script engine with a small browser surface
// (window, document title and readyState, location, console, timers on the
// main run loop, alert/confirm/prompt through the UI delegate, JSON and
// window.webkit.messageHandlers). There is no layout engine: nothing is
// drawn, and pages must run on ECMAScript 5.1.
//
// Loads follow NavigationDelegate.h. A new load while one is in progress
// cancels the old one without further calls for it. Script messages,
// navigation callbacks and dialogs come in the order the page caused them:
// a message on a later turn, a finished navigation behind the messages the
// page posted while it loaded, a dialog after those posted before it. The view owns the page's
// engine: destroying the view ends its timers, fetches and pending calls.
// Delegates are held weakly. Main thread only.

#include <functional>
#include <memory>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/View.h"
#include "platform/webkit/Navigation.h"
#include "platform/webkit/NavigationDelegate.h"
#include "platform/webkit/UIDelegate.h"
#include "platform/webkit/WebViewConfiguration.h"

namespace web {

namespace detail {
class Frame;
class WebViewFrameClient;
}  // namespace detail

class WebView : public ui::View {
    RT_DECLARE_CLASS(WebView)
public:
    // The result (nil for undefined) and the error, if the script threw
    // (WKErrorJavaScriptExceptionOccurred) or its result has no platform
    // form (WKErrorJavaScriptResultTypeIsUnsupported).
    using EvaluationCompletion = std::function<void(ns::Id result, ns::Ref<ns::Error> error)>;

    WebView();
    // A nil configuration makes a default one.
    WebView(const cg::Rect& frame, ns::Ref<WebViewConfiguration> configuration);
    ~WebView() override;
    static ns::Ref<WebView> make(const cg::Rect& frame, ns::Ref<WebViewConfiguration> configuration = nullptr);

    // A copy of the configuration the view was made with, sharing its
    // user-content controller.
    ns::Ref<WebViewConfiguration> configuration() const;

    std::shared_ptr<NavigationDelegate> navigationDelegate() const { return navigationDelegate_.lock(); }
    void setNavigationDelegate(const std::shared_ptr<NavigationDelegate>& delegate) { navigationDelegate_ = delegate; }
    std::shared_ptr<UIDelegate> uiDelegate() const { return uiDelegate_.lock(); }
    void setUIDelegate(const std::shared_ptr<UIDelegate>& delegate) { uiDelegate_ = delegate; }

    // ---- Loading (each returns the load's navigation) ----
    // A nil request or one without a URL raises NSInvalidArgumentException.
    ns::Ref<Navigation> loadRequest(const ns::Ref<ns::URLRequest>& request);
    // The HTML is the document; no fetch is made for it. Relative script
    // addresses resolve against `baseURL` (nil: about:blank).
    ns::Ref<Navigation> loadHTMLString(std::string_view html, const ns::Ref<ns::URL>& baseURL);
    // Loads the current address again; nil when there is none.
    ns::Ref<Navigation> reload();
    // Ends the load in progress without further calls for it.
    void stopLoading();
    bool canGoBack() const;
    bool canGoForward() const;
    // Nil when there is nowhere to go.
    ns::Ref<Navigation> goBack();
    ns::Ref<Navigation> goForward();

    // Runs `script` in the current page (an empty one when nothing was
    // loaded) on a later turn of the main run loop; `completion` follows on
    // the main queue, after the messages the script posted. Nothing is
    // called once the view is gone.
    void evaluateJavaScript(std::string_view script, EvaluationCompletion completion = nullptr);

    // ---- State ----
    // True from a load's start until it finishes, fails or is cancelled.
    bool isLoading() const;
    // The address of the load in progress, else of the page; nil before the first load.
    ns::Ref<ns::URL> URL() const;
    // The page's document.title; nil before the first page.
    ns::Ref<ns::String> title() const;

    const ns::Ref<ui::ScrollView>& scrollView() const { return scrollView_; }

private:
    friend class detail::WebViewFrameClient;
    void commonInit(ns::Ref<WebViewConfiguration> configuration);

    ns::Ref<WebViewConfiguration> configuration_;
    ns::Ref<ui::ScrollView> scrollView_;
    std::weak_ptr<NavigationDelegate> navigationDelegate_;
    std::weak_ptr<UIDelegate> uiDelegate_;
    std::unique_ptr<detail::WebViewFrameClient> client_;
    std::shared_ptr<detail::Frame> frame_;
};

}  // namespace web
