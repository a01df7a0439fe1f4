#pragma once
// The child web page of the user centre (user page, activity page, message
// details, feedback), slid in over the page area. Its title is `name`, or
// the document's title when it has none. An address with "identifySuccess"
// tells the home page that the player is now verified; QQ addresses open
// outside. Back goes back in the page's history, then closes the page.

#include "channel/usercenter/TVSuChildPage.h"
#include "channel/usercenter/pages/TVWebProgressLayer.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Label.h"
#include "platform/webkit/LegacyWebView.h"

class TVSuWebVC : public TVSuChildPage, public web::LegacyWebViewDelegate {
    RT_DECLARE_CLASS(TVSuWebVC)
public:
    ~TVSuWebVC() override;
    // Opens `url` titled `name` (nil: the page's own title) over the page
    // area of the opener's container.
    static ns::Ref<TVSuWebVC> openFrom(ui::ViewController& opener, const ns::Ref<ns::String>& url, const char* name);

    const ns::Ref<ns::String>& url() const { return url_; }
    void setUrl(const ns::Ref<ns::String>& url) { url_ = url; }
    const ns::Ref<ns::String>& name() const { return name_; }
    void setName(const ns::Ref<ns::String>& name) { name_ = name; }
    ns::Ref<TVWebProgressLayer> progressLayer() const { return progressLayer_.lock(); }

    void viewDidLoad() override;
    void goBack();
    void removeClick();

    bool shouldStartLoadWithRequest(web::LegacyWebView& webView, const ns::Ref<ns::URLRequest>& request,
                                    web::LegacyNavigationType navigationType) override;
    void didStartLoad(web::LegacyWebView& webView) override;
    void didFinishLoad(web::LegacyWebView& webView) override;
    void didFailLoadWithError(web::LegacyWebView& webView, const ns::Ref<ns::Error>& error) override;

    // Outlets: the scene's view holds them.
    ns::Weak<web::LegacyWebView> webView;
    ns::Weak<ui::Label> titleL;

private:
    ns::Ref<ns::String> url_, name_;
    ns::Weak<TVWebProgressLayer> progressLayer_;  // the page's layer holds it
};
