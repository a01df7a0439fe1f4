#pragma once
// What the two codec transports share: a POST of the request dictionary in
// the wire format ("Content-Type: text/html" although the body is gzip, a
// 10 s time-out, no cached data) over a URL connection on the calling
// thread's run loop, and one decoding of the whole reply when it has
// arrived. Each request keeps its own closures, so overlapping requests
// never take each other's replies; exactly one closure is called per
// request. HTTP status codes are not examined.

#include <functional>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVCodecTransport : public ns::Object {
    RT_DECLARE_CLASS(TVCodecTransport)
public:
    // The decoded reply, or nil when it does not decode.
    using Success = std::function<void(const ns::Id& reply)>;
    using Failure = std::function<void(const ns::Ref<ns::Error>& error)>;

    static constexpr double kTimeoutSeconds = 10;

    // An address that is not a URL fails at once (on the next turn of the
    // run loop) with the platform's bad-URL error.
    void POST(std::string_view URLString, const ns::Ref<ns::Dictionary>& parameters, Success success,
              Failure failure);

protected:
    // The reply body, whole.
    virtual ns::Id decode(const ns::Ref<ns::Data>& body) const;
};
