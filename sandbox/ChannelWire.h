#pragma once
// The channel API's wire format, server side: requests arrive as gzip of
// "x" N(0) "_" N(1) ... "y" where N(i) is a UTF-16 unit of base64 text plus
// the key table's entry i mod 64, the base64 (in CR LF broken lines) being
// that of a JSON object; replies go back the same way with unbroken base64.

#include <optional>
#include <string>
#include <string_view>

#include "platform/runtime/Object.h"

namespace sandbox::channel_wire {

// The wire format's key table: the same 64 characters as the app's.
extern const char16_t kKeyTable[65];

std::optional<std::string> gunzip(std::string_view bytes);
std::string gzip(std::string_view bytes);

// The JSON object of a request body; nil for a body that is not one.
ns::Id decodeRequest(std::string_view body);
// A reply body of the JSON text.
std::string encodeReply(std::string_view json);

}  // namespace sandbox::channel_wire
