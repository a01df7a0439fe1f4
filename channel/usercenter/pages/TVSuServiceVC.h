#pragma once
// The service tab: the operator's customer-service chat (an outside page
// whose address is configuration) and the feedback page as a child web
// page. A chat link with "tovcopy://" puts the text after its last "?" on
// the pasteboard and shows "复制成功"; QQ links open outside.

#include "channel/usercenter/pages/TVWebProgressLayer.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ViewController.h"
#include "platform/webkit/LegacyWebView.h"

class TVSuServiceVC : public ui::ViewController, public web::LegacyWebViewDelegate {
    RT_DECLARE_CLASS(TVSuServiceVC)
public:
    ~TVSuServiceVC() override;

    void viewDidLoad() override;
    void goBack();
    void goToFeedBackVC();
    void loadUrlWithStr(const std::string& address);
    void loadWebVcWithUrl(const std::string& url, const char* name);
    ns::Ref<TVWebProgressLayer> progressLayer() const { return progressLayer_.lock(); }

    bool shouldStartLoadWithRequest(web::LegacyWebView& webView, const ns::Ref<ns::URLRequest>& request,
                                    web::LegacyNavigationType navigationType) override;
    void didStartLoad(web::LegacyWebView& webView) override;
    void didFinishLoad(web::LegacyWebView& webView) override;
    void didFailLoadWithError(web::LegacyWebView& webView, const ns::Ref<ns::Error>& error) override;

    // Outlets: the scene's view holds them.
    ns::Weak<web::LegacyWebView> webView;
    ns::Weak<ui::Button> backBtn;

private:
    ns::Weak<TVWebProgressLayer> progressLayer_;  // the page's layer holds it
};
