#include "channel/usercenter/pages/TVSuServiceVC.h"

#include "channel/NSString+URLEncode.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVChannelConfig.h"
#include "channel/VRQMessage.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVSuWebLoad.h"
#include "channel/usercenter/pages/TVSuWebVC.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Pasteboard.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuServiceVC, ui::ViewController, "TVSuServiceVC")

// The title bar (a back control, hidden, and the feedback control) over the chat.
UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuServiceVC", TVSuServiceVC, [](TVSuServiceVC& owner) -> ns::Ref<ui::View> {
    auto root = TVSuPageScenes::pageRoot();
    auto bar = ui::View::make({0, 0, TVSuPageScenes::kWidth, TVSuPageScenes::kBarHeight});
    bar->setBackgroundColor(cg::Color::fromWhite(0.97));
    root->addSubview(bar);
    ns::Weak<TVSuServiceVC> weak = owner.ref<TVSuServiceVC>();
    auto back = TVSuPageScenes::actionButton({0, 0, 60, TVSuPageScenes::kBarHeight}, "返回", "goBack", [weak] {
        if (auto page = weak.lock()) page->goBack();
    });
    bar->addSubview(back);
    owner.backBtn = back;
    auto title = ui::Label::make({60, 0, 180, TVSuPageScenes::kBarHeight});
    title->setText("客服中心");
    title->setTextAlignment(ui::TextAlignment::Center);
    bar->addSubview(title);
    bar->addSubview(TVSuPageScenes::actionButton({230, 0, 70, TVSuPageScenes::kBarHeight}, "问题反馈",
                                                 "goToFeedBackVC", [weak] {
                                                     if (auto page = weak.lock()) page->goToFeedBackVC();
                                                 }));
    cg::Rect bounds = root->bounds();
    auto web = web::LegacyWebView::make({0, TVSuPageScenes::kBarHeight, bounds.size.width,
                                         bounds.size.height - TVSuPageScenes::kBarHeight});
    web->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight);
    web->setDelegate(std::shared_ptr<web::LegacyWebViewDelegate>(owner.ref<TVSuServiceVC>()));
    root->addSubview(web);
    owner.webView = web;
    return root;
})

TVSuServiceVC::~TVSuServiceVC() {
    if (auto web = webView.lock()) web->setDelegate(nullptr);
    TVSuWebLoad::dropCachedResponses();
}

void TVSuServiceVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    if (auto back = backBtn.lock()) back->setHidden(true);
    if (auto web = webView.lock()) web->scrollView()->setBounces(false);
    loadUrlWithStr(TVChannelConfig::chatPageURL());
}

void TVSuServiceVC::loadUrlWithStr(const std::string& address) {
    auto web = webView.lock();
    auto url = ns::URL::make(address);
    if (web && url) web->loadRequest(ns::URLRequest::make(url));
}

void TVSuServiceVC::goBack() {
    auto web = webView.lock();
    if (!web || !web->canGoBack()) return;
    web->goBack();
    if (auto back = backBtn.lock()) back->setHidden(true);
}

void TVSuServiceVC::goToFeedBackVC() {
    loadWebVcWithUrl(TVAPIStrings::at(TVAPIStrings::APIBase) + TVAPIStrings::at(TVAPIStrings::Feedback) +
                         URLEncode::getWebViewURLArgument(),
                     "问题反馈");
}

void TVSuServiceVC::loadWebVcWithUrl(const std::string& url, const char* name) {
    TVSuWebVC::openFrom(*this, ns::str(url), name);
}

bool TVSuServiceVC::shouldStartLoadWithRequest(web::LegacyWebView&, const ns::Ref<ns::URLRequest>& request,
                                               web::LegacyNavigationType) {
    std::string address = TVSuWebLoad::addressOf(request);
    if (address.find("tovcopy://") != std::string::npos) {
        VRQMessage::showMessage(ns::str("复制成功"), view());
        // The text after the last "?"; the whole address when there is none.
        size_t mark = address.rfind('?');
        ui::Pasteboard::generalPasteboard()->setString(mark == std::string::npos ? address : address.substr(mark + 1));
    } else if (TVSuWebLoad::opensQQ(address)) {
        TVSuWebLoad::openOutside(request);
    }
    return true;
}

void TVSuServiceVC::didStartLoad(web::LegacyWebView&) {
    progressLayer_ = TVSuWebLoad::startLine(*view());
}

void TVSuServiceVC::didFinishLoad(web::LegacyWebView&) {
    TVSuWebLoad::finishLine(progressLayer_.lock(), true);
}

void TVSuServiceVC::didFailLoadWithError(web::LegacyWebView&, const ns::Ref<ns::Error>&) {
    TVSuWebLoad::finishLine(progressLayer_.lock(), false);
}
