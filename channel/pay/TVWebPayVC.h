#pragma once
// The web pay page an H5 or WeChat order returns: the page in a web view
// under a red spinner that stops once it has loaded. When the player comes
// back to the app (it becomes active again) or leaves by the back button,
// the page tells the payment centre through webViewCallBack and leaves its
// popping to it. The official WeChat way loads the address escaped, with a
// 60 s time-out and the operator's scheme as "Referer". Main thread only.

#include <functional>
#include <memory>

#include "channel/screens/TVBaseVC.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/webkit/LegacyWebView.h"

class TVWebPayVC : public TVBaseVC, public web::LegacyWebViewDelegate {
    RT_DECLARE_CLASS(TVWebPayVC)
public:
    static constexpr double kTimeoutSeconds = 60;

    ~TVWebPayVC() override;

    void viewDidLoad() override;
    void loadUrl();
    void cancelBtnClick();
    // Tells the payment centre; the page does not pop itself.
    void popAction() override;
    bool shouldAutorotate() const override { return false; }
    ui::InterfaceOrientation preferredInterfaceOrientationForPresentation() const override {
        return ui::InterfaceOrientation::Portrait;
    }

    // The request loadUrl makes for `url`; nil when the address is no URL.
    ns::Ref<ns::URLRequest> payRequest() const;

    bool shouldStartLoadWithRequest(web::LegacyWebView& webView, const ns::Ref<ns::URLRequest>& request,
                                    web::LegacyNavigationType navigationType) override;
    void didStartLoad(web::LegacyWebView& webView) override;
    void didFinishLoad(web::LegacyWebView& webView) override;
    void didFailLoadWithError(web::LegacyWebView& webView, const ns::Ref<ns::Error>& error) override;

    const ns::Ref<web::LegacyWebView>& webView();
    const ns::Ref<ui::ActivityIndicatorView>& avi();

    ns::Ref<ns::String> url;
    bool isGFWXH5 = false;
    std::function<void(TVWebPayVC& page)> webViewCallBack;

private:
    ns::Ref<web::LegacyWebView> webView_;
    ns::Ref<ui::ActivityIndicatorView> avi_;
    bool observing_ = false;
};
