#include "channel/screens/TVWebPages.h"

#include "channel/TVAPIStrings.h"
#include "channel/screens/TVScreenResources.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/SceneRegistry.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVShowHTMLVC, TVBaseVC, "TVShowHTMLVC")
RT_DEFINE_CLASS(TVForgetPasswordVC, TVBaseVC, "TVForgetPasswordVC")

namespace {

// The scenes' view: one web view over the whole screen.
ns::Ref<ui::View> webPageView(ns::Weak<web::LegacyWebView>& outlet) {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto root = ui::View::make(screen);
    root->setBackgroundColor(cg::Color::white());
    root->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    auto webView = web::LegacyWebView::make(root->bounds());
    webView->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    root->addSubview(webView);
    outlet = webView;
    return root;
}

ns::Ref<ns::URLRequest> requestFor(std::string_view address) {
    auto url = ns::URL::make(address);
    return url ? ns::URLRequest::make(url) : nullptr;
}

}  // namespace

UI_STORYBOARD_SCENE("TVUserShow", "TVShowHTMLVC", TVShowHTMLVC,
                    [](TVShowHTMLVC& owner) { return webPageView(owner.WebView); })
UI_STORYBOARD_SCENE("TVUserShow", "TVForgetPasswordVC", TVForgetPasswordVC,
                    [](TVForgetPasswordVC& owner) { return webPageView(owner.web); })

void TVShowHTMLVC::viewDidLoad() {
    TVBaseVC::viewDidLoad();
    auto webView = WebView.lock();
    if (webView) {
        webView->scrollView()->setBounces(false);
        webView->setDelegate(std::shared_ptr<web::LegacyWebViewDelegate>(ref<TVShowHTMLVC>()));
    }
    loadurl(TVAPIStrings::at(TVAPIStrings::APIBase) + TVAPIStrings::at(TVAPIStrings::Agreement));
    SetBarTitleViewWithTitle(ns::str("用户协议"), TVScreenResources::image("TV_User_Protocol"));
    hiddenNavBar(false);
}

void TVShowHTMLVC::loadurl(std::string_view address) {
    auto request = requestFor(address);
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    auto indicator = ui::ActivityIndicatorView::make(ui::ActivityIndicatorViewStyle::WhiteLarge);
    indicator->setFrame({screen.size.width / 2 - 50, screen.size.height / 2 - 80, 100, 100});
    indicator->setColor(cg::Color{1, 0, 0, 1});
    indicator->setTag(kIndicatorTag);
    indicator->startAnimating();
    view()->addSubview(indicator);
    auto webView = WebView.lock();
    if (webView && request) webView->loadRequest(request);
    else stopIndicator();
}

bool TVShowHTMLVC::shouldStartLoadWithRequest(web::LegacyWebView&, const ns::Ref<ns::URLRequest>&,
                                              web::LegacyNavigationType) {
    return true;
}

void TVShowHTMLVC::didStartLoad(web::LegacyWebView&) {}

void TVShowHTMLVC::didFinishLoad(web::LegacyWebView&) {
    stopIndicator();
}

void TVShowHTMLVC::didFailLoadWithError(web::LegacyWebView&, const ns::Ref<ns::Error>&) {
    stopIndicator();
}

void TVShowHTMLVC::stopIndicator() {
    // Every load adds its own indicator; each one stops, not just the first.
    for (auto& subview : view()->subviews())
        if (auto indicator = ns::cast<ui::ActivityIndicatorView>(subview); indicator && indicator->tag() == kIndicatorTag)
            indicator->stopAnimating();
}

void TVForgetPasswordVC::viewWillAppear(bool animated) {
    TVBaseVC::viewWillAppear(animated);
    hiddenNavBar(false);
}

void TVForgetPasswordVC::viewDidLoad() {
    TVBaseVC::viewDidLoad();
    SetBarTitleViewWithTitle(ns::str("忘记密码"), TVScreenResources::image("TV_ForgetPwd_Icon"));
    auto webView = web.lock();
    auto request = requestFor(TVAPIStrings::at(TVAPIStrings::ForgotPasswordPage));
    if (webView && request) webView->loadRequest(request);
}

void TVForgetPasswordVC::popAction() {
    if (auto navigation = navigationController()) navigation->popViewController(false);
}
