#pragma once
// Reading fields of a decoded channel reply. Replies carry texts, numbers,
// null or nothing under a key; these never fail on any of them.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/runtime/Object.h"

namespace TVReply {

// The field of a reply that is a dictionary; nil otherwise.
ns::Id field(const ns::Id& reply, std::string_view key);
// The "%@" text of the field, for comparisons and formats only: a number's
// decimal text, "(null)" for a missing one, "<null>" for null.
std::string textOf(const ns::Id& reply, std::string_view key);
// The field as a message to pass on: a text as is, a number as its decimal
// text, nil when missing or null (so no message reads "(null)").
ns::Ref<ns::String> messageOf(const ns::Id& reply, std::string_view key);
// The same for a value itself.
ns::Ref<ns::String> messageText(const ns::Id& value);
// The platform's integer value of a text or number; 0 for anything else.
int64_t integerOf(const ns::Id& reply, std::string_view key);
// The platform's boolean value of a text or number; false for anything else.
bool boolOf(const ns::Id& reply, std::string_view key);

}  // namespace TVReply
