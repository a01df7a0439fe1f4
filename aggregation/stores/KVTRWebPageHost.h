#pragma once
// What the store views that show a web page share: the page's dialogs are
// answered at once without showing anything (an alert closes, a
// confirmation is confirmed, a prompt gets no text), and the view is the
// page's "eventComplete" handler only while it is in a window, so the
// registration - which holds the view - never keeps a closed view alive.

#include <memory>

#include "platform/webkit/NavigationDelegate.h"
#include "platform/webkit/ScriptMessageHandler.h"
#include "platform/webkit/UIDelegate.h"
#include "platform/webkit/WebView.h"

class KVTRWebPageHost : public web::ScriptMessageHandler, public web::UIDelegate, public web::NavigationDelegate {
public:
    void runJavaScriptAlertPanelWithMessage(web::WebView& webView, const ns::Ref<ns::String>& message,
                                            AlertCompletion completion) override;
    void runJavaScriptConfirmPanelWithMessage(web::WebView& webView, const ns::Ref<ns::String>& message,
                                              ConfirmCompletion completion) override;
    void runJavaScriptTextInputPanelWithPrompt(web::WebView& webView, const ns::Ref<ns::String>& prompt,
                                               const ns::Ref<ns::String>& defaultText,
                                               PromptCompletion completion) override;

protected:
    // A web view whose configuration has a content controller of its own.
    static ns::Ref<web::WebView> makeWebView(const cg::Rect& frame);
    // Called from the view's didMoveToWindow with whether it is in one.
    static void bind(const ns::Ref<web::WebView>& webView, const std::shared_ptr<KVTRWebPageHost>& host, bool inWindow);
};
