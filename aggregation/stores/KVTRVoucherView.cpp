#include "aggregation/stores/KVTRVoucherView.h"

#include "aggregation/core/KVTRServerConfig.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"

RT_DEFINE_CLASS(KVTRVoucherView, ui::View, "KVTRVoucherView")

using namespace kvtr_stores;

namespace {
constexpr const char* HandlerName = "eventComplete";
}

KVTRVoucherView::KVTRVoucherView(const cg::Rect& frame) : ui::View(frame) {
    const cg::Size screen = screenBounds().size;
    wkWebView = makeWebView({15, 15, screen.width - 90, screen.height - 105});
    addSubview(wkWebView);
}

std::string KVTRVoucherView::pageAddress() {
    return KVTRServerConfig::activityPageOrigin() + "/128voucher/index.html?os_type=2";
}

void KVTRVoucherView::didMoveToWindow() {
    ui::View::didMoveToWindow();
    bind(wkWebView, std::dynamic_pointer_cast<KVTRVoucherView>(shared_from_this()), window() != nullptr);
}

void KVTRVoucherView::layoutSubviews() {
    ui::View::layoutSubviews();
    if (auto url = ns::URL::make(pageAddress())) wkWebView->loadRequest(ns::URLRequest::make(url));
}

void KVTRVoucherView::userContentControllerDidReceiveScriptMessage(web::UserContentController&,
                                                                   const ns::Ref<web::ScriptMessage>& message) {
    if (!message || ns::textOf(message->name()) != HandlerName) return;
    ns::Id body = jsonWithoutLineBreaks(ns::str(ns::textOf(message->body())));
    auto request = ns::cast<ns::Dictionary>(body);
    if (!request) return;
    if (ns::textOf(request->objectForKey("action")) == "get_remark") callJS(remarkAnswer());
}

ns::Ref<ns::String> KVTRVoucherView::remarkAnswer() const {
    auto answer = ns::MutableDictionary::make();
    if (auto identity = ns::cast<ns::Dictionary>(jsonWithoutLineBreaks(userInfo))) {
        answer->setObjectForKey(identity, "data");
    }
    // Compact: no white space outside the strings, and the values intact.
    auto data = ns::JSONSerialization::dataWithJSONObject(answer, ns::JSONWritingWithoutEscapingSlashes);
    return ns::String::withData(data, ns::StringEncoding::UTF8);
}

void KVTRVoucherView::callJS(const ns::Ref<ns::String>& json) {
    const std::string script = "CallbackFromIOS('" + singleQuotedLiteral(ns::textOf(json)) + "')";
    ns::Weak<KVTRVoucherView> weak = std::dynamic_pointer_cast<KVTRVoucherView>(shared_from_this());
    dispatch::async(dispatch::mainQueue(), [weak, script] {
        if (auto self = weak.lock()) self->wkWebView->evaluateJavaScript(script);
    });
}

void KVTRVoucherView::didFinishNavigation(web::WebView&, const ns::Ref<web::Navigation>&) {
    ns::log("页面加载完成%s", "didFinishNavigation");
}

void KVTRVoucherView::didFailProvisionalNavigation(web::WebView&, const ns::Ref<web::Navigation>&,
                                                   const ns::Ref<ns::Error>&) {
    ns::log("%s", "didFailProvisionalNavigation");
}
