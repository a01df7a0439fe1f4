#include "platform/webkit/NavigationAction.h"

namespace web {

RT_DEFINE_CLASS(NavigationAction, ns::Object, "WKNavigationAction")

ns::Ref<NavigationAction> NavigationAction::make(ns::Ref<ns::URLRequest> request, NavigationType type) {
    auto action = std::make_shared<NavigationAction>();
    action->request_ = std::move(request);
    action->type_ = type;
    return action;
}

}  // namespace web
