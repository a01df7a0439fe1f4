#pragma once
// The navigation delegate of a web view: it decides whether a load may go
// ahead and hears how it goes. All calls come on the main thread.
//
// A load runs: decidePolicyForNavigationAction -> (Allow)
// didStartProvisionalNavigation -> the document is fetched -> either
// didFailProvisionalNavigation (nothing arrived: cannot connect, cannot find
// the host, timed out, unsupported scheme) or the document replaces the
// page, its scripts run, DOMContentLoaded and load fire, and
// didFinishNavigation. An HTTP error status still loads its body as the
// page. Cancel ends the load without any further call. Each call comes after
// the script messages the page posted before it (see WebView.h).

#include <functional>

#include "platform/foundation/Error.h"
#include "platform/webkit/Navigation.h"
#include "platform/webkit/NavigationAction.h"

namespace web {

class WebView;

class NavigationDelegate {
public:
    using PolicyDecisionHandler = std::function<void(NavigationActionPolicy)>;

    virtual ~NavigationDelegate() = default;

    // The handler may be called now or later, exactly once; a second call
    // raises NSInternalInconsistencyException. Allows by default.
    virtual void decidePolicyForNavigationAction(WebView& webView, const ns::Ref<NavigationAction>& action,
                                                 PolicyDecisionHandler decisionHandler) {
        (void)webView;
        (void)action;
        decisionHandler(NavigationActionPolicy::Allow);
    }
    virtual void didStartProvisionalNavigation(WebView& webView, const ns::Ref<Navigation>& navigation) {
        (void)webView;
        (void)navigation;
    }
    // The new document replaced the page; its scripts are about to run.
    virtual void didCommitNavigation(WebView& webView, const ns::Ref<Navigation>& navigation) {
        (void)webView;
        (void)navigation;
    }
    virtual void didFinishNavigation(WebView& webView, const ns::Ref<Navigation>& navigation) {
        (void)webView;
        (void)navigation;
    }
    // A failure before any content arrived; the error is the URL loading
    // system's (NSURLErrorDomain).
    virtual void didFailProvisionalNavigation(WebView& webView, const ns::Ref<Navigation>& navigation,
                                              const ns::Ref<ns::Error>& error) {
        (void)webView;
        (void)navigation;
        (void)error;
    }
    // A failure after the document was committed. This engine has none:
    // once the document has arrived, failed scripts are only logged.
    virtual void didFailNavigation(WebView& webView, const ns::Ref<Navigation>& navigation,
                                   const ns::Ref<ns::Error>& error) {
        (void)webView;
        (void)navigation;
        (void)error;
    }
    // The page was ended because its scripts came to their heap's ceiling
    // (256 MiB, ScriptHeap.h), as a web content process that exhausts its
    // memory is.
    // The view stays usable: a reload or a new load starts a new page. It is
    // not a failed navigation: the page's own load, if still running, ends
    // without a further call.
    virtual void webViewWebContentProcessDidTerminate(WebView& webView) { (void)webView; }
};

}  // namespace web
