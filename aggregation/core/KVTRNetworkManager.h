#pragma once
// The HTTP class every aggregation request goes through: form POSTs and
// plain GETs on the shared URL session with a 3.0 s time-out, JSON replies
// parsed with mutable containers. Class methods only; nothing is shared
// between calls, so any thread may call.
//
// Exactly one closure is called per request: GET closures on the main
// queue, POST closures on the shared session's delegate queue (a serial
// background queue) - POST callers hop to main themselves before touching
// state the main queue reads.
//
// Any reply with a body goes to the success closure, whatever its status;
// a body that is not JSON arrives as nil. Only a transport failure reaches
// the failure closure, with the text of showErrorInfoWithStatusCode.

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Object.h"

class KVTRNetworkManager {
public:
    // The parsed reply (a dictionary, an array, a text, a number or null),
    // or nil when the body is not JSON.
    using Success = std::function<void(const ns::Id& reply)>;
    // The error's text; nil for 401.
    using Failure = std::function<void(const ns::Ref<ns::String>& message)>;

    KVTRNetworkManager() = delete;

    // The URL text with the form body of `params` appended as it is (the
    // callers put the query in the URL and pass nil), then percent-encoded
    // whole with the URL-query character set, "%" included.
    static void getWithURL(std::string_view url, const ns::Ref<ns::Dictionary>& params, Success success,
                           Failure failure);
    // A form-encoded POST to the URL as given. A failure that carries no
    // HTTP status also shows its text in the progress HUD.
    static void PostWithURL(std::string_view url, const ns::Ref<ns::Dictionary>& params, Success success,
                            Failure failure);

    // "key=value&" for every entry in the dictionary's order, each side in
    // its "%@" text form; "&", "=", "+", "%" and control bytes are escaped so
    // a value cannot split into pairs, every other byte stays as it is. Nil
    // or empty gives "".
    static ns::Ref<ns::String> dealWithParam(const ns::Ref<ns::Dictionary>& params);

    // The user-facing text for a URL error code or HTTP status; nil for 401.
    static ns::Ref<ns::String> showErrorInfoWithStatusCode(int64_t code);

    // The request time-out of every call, in seconds.
    static constexpr double timeoutInterval = 3.0;
};
