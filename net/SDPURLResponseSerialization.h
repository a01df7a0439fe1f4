#pragma once
// The one operation every response serializer answers, the error domain and
// user-info keys of response validation, and error chaining.

#include <cstdint>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URLResponse.h"
#include "platform/runtime/Object.h"

inline constexpr const char* SDPURLResponseSerializationErrorDomain = "com.sdpkit.error.serialization.response";
// The response a validation error is about, and its body when there was one.
inline constexpr const char* SDPNetworkingOperationFailingURLResponseErrorKey =
    "com.sdpkit.serialization.response.error.response";
inline constexpr const char* SDPNetworkingOperationFailingURLResponseDataErrorKey =
    "com.sdpkit.serialization.response.error.data";

class SDPURLResponseSerialization {
public:
    virtual ~SDPURLResponseSerialization() = default;

    // The object for the caller's completion, or nil; `*error` (when given)
    // receives the validation and decoding errors.
    virtual ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                             ns::Ref<ns::Error>* error) = 0;
};

// `error` carrying `underlying` under the underlying-error key; `error`
// unchanged when it already has one; whichever is given when one is nil.
ns::Ref<ns::Error> SDPErrorWithUnderlyingError(const ns::Ref<ns::Error>& error, const ns::Ref<ns::Error>& underlying);

// Whether the error, or one down its chain of underlying errors, has the code
// in the domain.
bool SDPErrorOrUnderlyingErrorHasCodeInDomain(const ns::Ref<ns::Error>& error, int64_t code, std::string_view domain);
