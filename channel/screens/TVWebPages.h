#pragma once
// The login window's two web pages, pushed on its navigation controller from
// links of the login screen: the user agreement (TVShowHTMLVC, with a red
// spinner until the page has loaded or failed) and the operator's
// forgotten-password page (TVForgetPasswordVC). Both show the bar with an
// icon and a title. Scenes "TVShowHTMLVC" and "TVForgetPasswordVC" of the
// storyboard "TVUserShow". Main thread only.

#include <string_view>

#include "channel/screens/TVBaseVC.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/webkit/LegacyWebView.h"

class TVShowHTMLVC : public TVBaseVC, public web::LegacyWebViewDelegate {
    RT_DECLARE_CLASS(TVShowHTMLVC)
public:
    static constexpr int64_t kIndicatorTag = 101;

    void viewDidLoad() override;
    // Loads the address in the web view under a spinning indicator. An
    // address that is not a URL loads nothing and counts as a failed load.
    void loadurl(std::string_view address);

    bool shouldStartLoadWithRequest(web::LegacyWebView& webView, const ns::Ref<ns::URLRequest>& request,
                                    web::LegacyNavigationType navigationType) override;
    void didStartLoad(web::LegacyWebView& webView) override;
    void didFinishLoad(web::LegacyWebView& webView) override;
    void didFailLoadWithError(web::LegacyWebView& webView, const ns::Ref<ns::Error>& error) override;

    // Outlet: the scene's view holds it.
    ns::Weak<web::LegacyWebView> WebView;

private:
    void stopIndicator();
};

class TVForgetPasswordVC : public TVBaseVC {
    RT_DECLARE_CLASS(TVForgetPasswordVC)
public:
    void viewWillAppear(bool animated) override;
    void viewDidLoad() override;
    // Back without animation.
    void popAction() override;

    // Outlet: the scene's view holds it.
    ns::Weak<web::LegacyWebView> web;
};
