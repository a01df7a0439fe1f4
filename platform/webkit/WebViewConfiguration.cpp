#include "platform/webkit/WebViewConfiguration.h"

namespace web {

RT_DEFINE_CLASS(WebViewConfiguration, ns::Object, "WKWebViewConfiguration")

WebViewConfiguration::WebViewConfiguration() : userContentController_(UserContentController::make()) {}

ns::Ref<WebViewConfiguration> WebViewConfiguration::make() { return std::make_shared<WebViewConfiguration>(); }

void WebViewConfiguration::setUserContentController(ns::Ref<UserContentController> controller) {
    userContentController_ = controller ? std::move(controller) : UserContentController::make();
}

ns::Id WebViewConfiguration::copy() const {
    auto copy = make();
    copy->userContentController_ = userContentController_;
    return copy;
}

}  // namespace web
