#pragma once
// A message a page posted to a named handler. The body arrives as platform
// values: text as ns::String, numbers as ns::Number (integral values as
// integers), booleans as the boolean numbers, null and undefined as
// ns::Null, arrays as ns::Array and other objects as ns::Dictionary.

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace web {

class WebView;

class ScriptMessage : public ns::Object {
    RT_DECLARE_CLASS(ScriptMessage)
public:
    ScriptMessage() = default;
    static ns::Ref<ScriptMessage> make(ns::Ref<ns::String> name, ns::Id body, const ns::Ref<WebView>& webView);

    const ns::Ref<ns::String>& name() const { return name_; }
    const ns::Id& body() const { return body_; }
    // Nil once the view is gone.
    ns::Ref<WebView> webView() const { return webView_.lock(); }

private:
    ns::Ref<ns::String> name_;
    ns::Id body_;
    ns::Weak<WebView> webView_;
};

}  // namespace web
