#pragma once
// The one operation every request serializer answers, the error domain of
// request building, and the client's strings table.

#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URLRequest.h"
#include "platform/runtime/Object.h"

inline constexpr const char* SDPURLRequestSerializationErrorDomain = "com.sdpkit.error.serialization.request";

class SDPURLRequestSerialization {
public:
    virtual ~SDPURLRequestSerialization() = default;

    // A new request carrying `parameters` (nil for none); nil with `*error`
    // set when they cannot be encoded.
    virtual ns::Ref<ns::MutableURLRequest> requestBySerializingRequest(const ns::Ref<ns::URLRequest>& request,
                                                                       const ns::Id& parameters,
                                                                       ns::Ref<ns::Error>* error) = 0;
};

// The text for `key` in the main bundle's "SDPNetworking" strings table, the
// key itself when the table has none (so English reaches the user).
ns::Ref<ns::String> SDPNetworkingLocalizedString(std::string_view key);
