#include "aggregation/stores/KVTRWebPageHost.h"

#include "platform/foundation/Log.h"
#include "platform/webkit/UserContentController.h"
#include "platform/webkit/WebViewConfiguration.h"

namespace {
constexpr const char* HandlerName = "eventComplete";
}

void KVTRWebPageHost::runJavaScriptAlertPanelWithMessage(web::WebView&, const ns::Ref<ns::String>& message,
                                                         AlertCompletion completion) {
    ns::log("%s   message=%@", "runJavaScriptAlertPanelWithMessage", message);
    completion();
}

void KVTRWebPageHost::runJavaScriptConfirmPanelWithMessage(web::WebView&, const ns::Ref<ns::String>& message,
                                                           ConfirmCompletion completion) {
    ns::log("%s   message=%@", "runJavaScriptConfirmPanelWithMessage", message);
    completion(true);
}

void KVTRWebPageHost::runJavaScriptTextInputPanelWithPrompt(web::WebView&, const ns::Ref<ns::String>& prompt,
                                                            const ns::Ref<ns::String>&, PromptCompletion completion) {
    ns::log("%s   message=%@", "runJavaScriptTextInputPanelWithPrompt", prompt);
    completion(nullptr);
}

ns::Ref<web::WebView> KVTRWebPageHost::makeWebView(const cg::Rect& frame) {
    auto configuration = web::WebViewConfiguration::make();
    configuration->setUserContentController(web::UserContentController::make());
    auto webView = web::WebView::make(frame, configuration);
    webView->scrollView()->setContentInsetAdjustmentBehavior(ui::ScrollViewContentInsetAdjustmentBehavior::Never);
    webView->setBackgroundColor(cg::Color{1, 1, 1, 1});
    return webView;
}

void KVTRWebPageHost::bind(const ns::Ref<web::WebView>& webView, const std::shared_ptr<KVTRWebPageHost>& host,
                           bool inWindow) {
    auto controller = webView->configuration()->userContentController();
    controller->removeScriptMessageHandlerForName(HandlerName);
    if (!inWindow) return;
    controller->addScriptMessageHandler(host, HandlerName);
    webView->setUIDelegate(host);
    webView->setNavigationDelegate(host);
}
