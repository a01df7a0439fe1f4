#pragma once
// What the navigation delegate decides on: the request a load is about to
// make and why.

#include <cstdint>

#include "platform/foundation/URLRequest.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace web {

// The platform's numbering.
enum class NavigationType : int64_t {
    LinkActivated = 0,
    FormSubmitted = 1,
    BackForward = 2,
    Reload = 3,
    FormResubmitted = 4,
    Other = -1,
};

enum class NavigationActionPolicy : int64_t { Cancel = 0, Allow = 1 };

class NavigationAction : public ns::Object {
    RT_DECLARE_CLASS(NavigationAction)
public:
    NavigationAction() = default;
    static ns::Ref<NavigationAction> make(ns::Ref<ns::URLRequest> request, NavigationType type);

    const ns::Ref<ns::URLRequest>& request() const { return request_; }
    NavigationType navigationType() const { return type_; }

private:
    ns::Ref<ns::URLRequest> request_;
    NavigationType type_ = NavigationType::Other;
};

}  // namespace web
