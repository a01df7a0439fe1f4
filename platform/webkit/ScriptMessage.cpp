#include "platform/webkit/ScriptMessage.h"

#include "platform/webkit/WebView.h"

namespace web {

RT_DEFINE_CLASS(ScriptMessage, ns::Object, "WKScriptMessage")

ns::Ref<ScriptMessage> ScriptMessage::make(ns::Ref<ns::String> name, ns::Id body, const ns::Ref<WebView>& webView) {
    auto message = std::make_shared<ScriptMessage>();
    message->name_ = std::move(name);
    message->body_ = std::move(body);
    message->webView_ = webView;
    return message;
}

}  // namespace web
