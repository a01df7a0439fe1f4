#include "channel/usercenter/pages/TVSuWebVC.h"

#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVSuWebLoad.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuWebVC, TVSuChildPage, "TVSuWebVC")

// The title bar (back, title, close) over the page.
UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuWebVC", TVSuWebVC, [](TVSuWebVC& owner) -> ns::Ref<ui::View> {
    auto root = TVSuPageScenes::pageRoot();
    ns::Weak<TVSuWebVC> weak = owner.ref<TVSuWebVC>();
    owner.titleL = TVSuPageScenes::titleBar(*root, nullptr, [weak] {
        if (auto page = weak.lock()) page->goBack();
    });
    auto close = TVSuPageScenes::actionButton({240, 0, 60, TVSuPageScenes::kBarHeight}, "关闭", "removeClick", [weak] {
        if (auto page = weak.lock()) page->removeClick();
    });
    root->addSubview(close);
    cg::Rect bounds = root->bounds();
    auto web = web::LegacyWebView::make({0, TVSuPageScenes::kBarHeight, bounds.size.width,
                                         bounds.size.height - TVSuPageScenes::kBarHeight});
    web->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    web->setDelegate(std::shared_ptr<web::LegacyWebViewDelegate>(owner.ref<TVSuWebVC>()));
    root->addSubview(web);
    owner.webView = web;
    return root;
})

ns::Ref<TVSuWebVC> TVSuWebVC::openFrom(ui::ViewController& opener, const ns::Ref<ns::String>& url, const char* name) {
    return ns::cast<TVSuWebVC>(TVSuChildPage::open(opener, "TVSuWebVC", [&](TVSuChildPage& page) {
        if (auto web = dynamic_cast<TVSuWebVC*>(&page)) {
            web->setUrl(url);
            web->setName(name ? ns::str(name) : nullptr);
        }
    }));
}

TVSuWebVC::~TVSuWebVC() {
    if (auto web = webView.lock()) web->setDelegate(nullptr);
    TVSuWebLoad::dropCachedResponses();
}

void TVSuWebVC::viewDidLoad() {
    TVSuChildPage::viewDidLoad();
    auto web = webView.lock();
    if (!web) return;
    web->scrollView()->setBounces(false);
    auto address = url_ ? ns::URL::make(url_->utf8()) : nullptr;
    if (address) web->loadRequest(ns::URLRequest::make(address));
}

void TVSuWebVC::goBack() {
    auto web = webView.lock();
    if (web && web->canGoBack()) web->goBack();
    else remove();
}

void TVSuWebVC::removeClick() {
    remove();
}

bool TVSuWebVC::shouldStartLoadWithRequest(web::LegacyWebView&, const ns::Ref<ns::URLRequest>& request,
                                           web::LegacyNavigationType) {
    std::string address = TVSuWebLoad::addressOf(request);
    if (TVSuWebLoad::opensQQ(address)) TVSuWebLoad::openOutside(request);
    else if (address.find("identifySuccess") != std::string::npos)
        ns::NotificationCenter::defaultCenter()->postNotificationName(TVSuWebLoad::kRealNameNotification);
    return true;
}

void TVSuWebVC::didStartLoad(web::LegacyWebView&) {
    progressLayer_ = TVSuWebLoad::startLine(*view());
}

void TVSuWebVC::didFinishLoad(web::LegacyWebView& web) {
    if (auto title = titleL.lock()) {
        if (name_ && name_->length() > 0) title->setText(name_);
        else title->setText(web.stringByEvaluatingJavaScriptFromString("document.title"));
    }
    TVSuWebLoad::finishLine(progressLayer_.lock(), true);
}

void TVSuWebVC::didFailLoadWithError(web::LegacyWebView&, const ns::Ref<ns::Error>&) {
    TVSuWebLoad::finishLine(progressLayer_.lock(), false);
}
