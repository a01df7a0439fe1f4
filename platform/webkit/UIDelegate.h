#pragma once
// The UI delegate answers a page's alert, confirm and prompt dialogs. The
// page's script waits for the answer: the main run loop runs nested until
// the completion is called (now or later, exactly once), so the answer may
// come from anything the loop runs meanwhile: main-queue blocks, timers,
// performed blocks. Under mock time, a dialog that nothing is left to answer
// takes the default answer. Without a delegate (or with these defaults) an
// alert returns at once, a confirm answers false and a prompt answers null.

#include <functional>

#include "platform/foundation/String.h"

namespace web {

class WebView;

class UIDelegate {
public:
    using AlertCompletion = std::function<void()>;
    using ConfirmCompletion = std::function<void(bool confirmed)>;
    // Nil answers null to the page.
    using PromptCompletion = std::function<void(ns::Ref<ns::String> text)>;

    virtual ~UIDelegate() = default;

    virtual void runJavaScriptAlertPanelWithMessage(WebView& webView, const ns::Ref<ns::String>& message,
                                                    AlertCompletion completion) {
        (void)webView;
        (void)message;
        completion();
    }
    virtual void runJavaScriptConfirmPanelWithMessage(WebView& webView, const ns::Ref<ns::String>& message,
                                                      ConfirmCompletion completion) {
        (void)webView;
        (void)message;
        completion(false);
    }
    // `defaultText` is nil when the page gave none.
    virtual void runJavaScriptTextInputPanelWithPrompt(WebView& webView, const ns::Ref<ns::String>& prompt,
                                                       const ns::Ref<ns::String>& defaultText,
                                                       PromptCompletion completion) {
        (void)webView;
        (void)prompt;
        (void)defaultText;
        completion(nullptr);
    }
};

}  // namespace web
