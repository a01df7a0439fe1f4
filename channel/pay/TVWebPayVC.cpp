#include "channel/pay/TVWebPayVC.h"

#include "channel/TVAPIStrings.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVWebPayVC, TVBaseVC, "TVWebPayVC")

TVWebPayVC::~TVWebPayVC() {
    if (observing_) ns::NotificationCenter::defaultCenter()->removeObserver(this);
    ns::log("web销毁了");
}

void TVWebPayVC::viewDidLoad() {
    TVBaseVC::viewDidLoad();
    // The player back from the wallet or WeChat app. The centre holds the
    // page only while it is pushed: observe weakly.
    ns::Weak<TVWebPayVC> weak = ref<TVWebPayVC>();
    ns::NotificationCenter::defaultCenter()->addObserver(this, ui::ApplicationDidBecomeActiveNotification, nullptr,
                                                         [weak](const auto&) {
                                                             if (auto page = weak.lock()) page->cancelBtnClick();
                                                         });
    observing_ = true;
    view()->setBackgroundColor(cg::Color::white());
    view()->addSubview(webView());
    loadUrl();
}

const ns::Ref<web::LegacyWebView>& TVWebPayVC::webView() {
    if (!webView_) {
        webView_ = web::LegacyWebView::make(view()->bounds());
        webView_->setBackgroundColor(cg::Color::white());
        webView_->setDelegate(std::shared_ptr<web::LegacyWebViewDelegate>(ref<TVWebPayVC>()));
    }
    return webView_;
}

const ns::Ref<ui::ActivityIndicatorView>& TVWebPayVC::avi() {
    if (!avi_) {
        cg::Size screen = ui::Screen::mainScreen()->bounds().size;
        avi_ = ui::ActivityIndicatorView::make(ui::ActivityIndicatorViewStyle::WhiteLarge);
        avi_->setFrame({screen.width / 2 - 50, screen.height / 2 - 80, 100, 100});
        avi_->setColor(cg::Color{1, 0, 0, 1});
    }
    return avi_;
}

ns::Ref<ns::URLRequest> TVWebPayVC::payRequest() const {
    if (!url) return nullptr;
    if (!isGFWXH5) {
        auto address = ns::URL::make(url->utf8());
        return address ? ns::URLRequest::make(address) : nullptr;
    }
    auto escaped = url->stringByAddingPercentEscapesUsingEncoding(ns::StringEncoding::UTF8);
    auto address = escaped ? ns::URL::make(escaped->utf8()) : nullptr;
    if (!address) return nullptr;
    auto request = ns::MutableURLRequest::make(address, ns::URLRequestUseProtocolCachePolicy, kTimeoutSeconds);
    request->setHTTPMethod("GET");
    request->setValueForHTTPHeaderField(TVAPIStrings::at(TVAPIStrings::OperatorScheme), "Referer");
    return request;
}

void TVWebPayVC::loadUrl() {
    view()->addSubview(avi());
    avi()->startAnimating();
    // An address that is no URL loads nothing; the spinner goes on, as for
    // a failed load.
    if (auto request = payRequest()) webView()->loadRequest(request);
    else ns::log("加载失败");
}

void TVWebPayVC::cancelBtnClick() {
    if (!webViewCallBack) return;
    auto self = ref<TVWebPayVC>();
    auto callBack = webViewCallBack;
    callBack(*this);
}

void TVWebPayVC::popAction() {
    cancelBtnClick();
}

bool TVWebPayVC::shouldStartLoadWithRequest(web::LegacyWebView&, const ns::Ref<ns::URLRequest>&,
                                            web::LegacyNavigationType) {
    return true;
}

void TVWebPayVC::didStartLoad(web::LegacyWebView&) {
    ns::log("开始加载");
}

void TVWebPayVC::didFinishLoad(web::LegacyWebView&) {
    avi()->stopAnimating();
}

void TVWebPayVC::didFailLoadWithError(web::LegacyWebView&, const ns::Ref<ns::Error>&) {
    ns::log("加载失败");
}
