#pragma once
// The older web view: the same page engine as WebView (see WebView.h) with
// the older, synchronous delegate and stringByEvaluatingJavaScriptFromString.
// It has no script message handlers; its pages' alerts return at once,
// confirms answer false and prompts null. A new load while one is in
// progress cancels the old one without further calls for it. The delegate is
// held weakly. Main thread only.

#include <memory>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/View.h"

namespace web {

namespace detail {
class Frame;
class LegacyFrameClient;
}  // namespace detail

class LegacyWebView;

// The platform's numbering for the older view.
enum class LegacyNavigationType : int64_t {
    LinkClicked = 0,
    FormSubmitted = 1,
    BackForward = 2,
    Reload = 3,
    FormResubmitted = 4,
    Other = 5,
};

class LegacyWebViewDelegate {
public:
    virtual ~LegacyWebViewDelegate() = default;
    // False stops the load before anything else happens. True by default.
    virtual bool shouldStartLoadWithRequest(LegacyWebView& webView, const ns::Ref<ns::URLRequest>& request,
                                            LegacyNavigationType navigationType) {
        (void)webView;
        (void)request;
        (void)navigationType;
        return true;
    }
    virtual void didStartLoad(LegacyWebView& webView) { (void)webView; }
    // After the page's scripts, DOMContentLoaded and load.
    virtual void didFinishLoad(LegacyWebView& webView) { (void)webView; }
    // A transport failure (NSURLErrorDomain), including an unsupported scheme.
    virtual void didFailLoadWithError(LegacyWebView& webView, const ns::Ref<ns::Error>& error) {
        (void)webView;
        (void)error;
    }
};

class LegacyWebView : public ui::View {
    RT_DECLARE_CLASS(LegacyWebView)
public:
    LegacyWebView();
    explicit LegacyWebView(const cg::Rect& frame);
    ~LegacyWebView() override;
    static ns::Ref<LegacyWebView> make(const cg::Rect& frame = {});

    std::shared_ptr<LegacyWebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<LegacyWebViewDelegate>& delegate) { delegate_ = delegate; }

    // A nil request or one without a URL raises NSInvalidArgumentException.
    void loadRequest(const ns::Ref<ns::URLRequest>& request);
    void loadHTMLString(std::string_view html, const ns::Ref<ns::URL>& baseURL);
    void reload();
    void stopLoading();
    bool canGoBack() const;
    bool canGoForward() const;
    void goBack();
    void goForward();

    // Runs `script` in the current page now and returns its result as text:
    // the script's value converted to a string, empty for undefined, null or
    // an error.
    ns::Ref<ns::String> stringByEvaluatingJavaScriptFromString(std::string_view script);

    bool isLoading() const;
    // The request of the page (or of the load in progress); nil before the first load.
    ns::Ref<ns::URLRequest> request() const;
    const ns::Ref<ui::ScrollView>& scrollView() const { return scrollView_; }

private:
    friend class detail::LegacyFrameClient;
    void commonInit();

    ns::Ref<ui::ScrollView> scrollView_;
    std::weak_ptr<LegacyWebViewDelegate> delegate_;
    std::unique_ptr<detail::LegacyFrameClient> client_;
    std::shared_ptr<detail::Frame> frame_;
};

}  // namespace web
