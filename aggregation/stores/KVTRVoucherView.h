#pragma once
// The voucher page of the store hall: a web view showing the activity
// page, which asks for the player's identity by posting {action
// "get_remark"} to "eventComplete" and gets it back through
// CallbackFromIOS('{"data":{...}}'). Every layout pass loads the page again.
//
// The script-message registration lives while the view is in a window, so
// the page's handler (this view) is released with the hall.

#include "aggregation/stores/KVTRWebPageHost.h"
#include "platform/uikit/View.h"

class KVTRVoucherView : public ui::View, public KVTRWebPageHost {
    RT_DECLARE_CLASS(KVTRVoucherView)
public:
    KVTRVoucherView() : KVTRVoucherView(cg::Rect{}) {}
    explicit KVTRVoucherView(const cg::Rect& frame);

    ns::Ref<web::WebView> wkWebView;
    ns::Ref<ns::String> userInfo;

    // The page's address on the activity-page server.
    static std::string pageAddress();
    // The identity answer, compact JSON: {"data": identity}, or {} without
    // a usable identity.
    ns::Ref<ns::String> remarkAnswer() const;
    // Calls the page's CallbackFromIOS with `json` on a later main-queue turn.
    void callJS(const ns::Ref<ns::String>& json);

    void layoutSubviews() override;
    void didMoveToWindow() override;

    void userContentControllerDidReceiveScriptMessage(web::UserContentController& controller,
                                                      const ns::Ref<web::ScriptMessage>& message) override;
    void didFinishNavigation(web::WebView& webView, const ns::Ref<web::Navigation>& navigation) override;
    void didFailProvisionalNavigation(web::WebView& webView, const ns::Ref<web::Navigation>& navigation,
                                      const ns::Ref<ns::Error>& error) override;
};
