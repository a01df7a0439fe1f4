#pragma once
// One load of a web view, from the policy decision to its end; the delegate
// calls of a load carry the object its load method returned.

#include "platform/foundation/URLRequest.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace web {

class Navigation : public ns::Object {
    RT_DECLARE_CLASS(Navigation)
public:
    Navigation() = default;
    static ns::Ref<Navigation> make(ns::Ref<ns::URLRequest> request);

    // The request the load began with (about:blank for an HTML string
    // without a base URL).
    const ns::Ref<ns::URLRequest>& request() const { return request_; }

private:
    ns::Ref<ns::URLRequest> request_;
};

}  // namespace web
