#pragma once
// What a web view is made with. The view keeps the configuration it was
// given; its user-content controller may be shared between views.

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/webkit/UserContentController.h"

namespace web {

class WebViewConfiguration : public ns::Object {
    RT_DECLARE_CLASS(WebViewConfiguration)
public:
    // Starts with a new, empty user-content controller.
    WebViewConfiguration();
    static ns::Ref<WebViewConfiguration> make();

    const ns::Ref<UserContentController>& userContentController() const { return userContentController_; }
    // Nil puts a new, empty controller in its place.
    void setUserContentController(ns::Ref<UserContentController> controller);

    ns::Id copy() const override;

private:
    ns::Ref<UserContentController> userContentController_;
};

}  // namespace web
