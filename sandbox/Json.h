#pragma once
// JSON text of platform values and back, for the stand-in servers' replies.

#include <string>
#include <string_view>

#include "platform/runtime/Object.h"

namespace sandbox {

// Compact UTF-8 JSON; "/" is not escaped, so addresses read as written.
std::string jsonText(const ns::Id& value);
// The value of a JSON text with mutable containers; throws
// std::invalid_argument for text that is not JSON (a fault of the caller's
// literal, never of a client's request).
ns::Id jsonValue(std::string_view text);

}  // namespace sandbox
