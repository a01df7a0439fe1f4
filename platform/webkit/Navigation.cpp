#include "platform/webkit/Navigation.h"

namespace web {

RT_DEFINE_CLASS(Navigation, ns::Object, "WKNavigation")

ns::Ref<Navigation> Navigation::make(ns::Ref<ns::URLRequest> request) {
    auto navigation = std::make_shared<Navigation>();
    navigation->request_ = std::move(request);
    return navigation;
}

}  // namespace web
