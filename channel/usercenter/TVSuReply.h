#pragma once
// How the user centre reads its replies. An action reply {"a", "b", "c"}
// succeeds when "a" is 1, as a number or a text. A list reply carries
// "total_page", "now_page" (numbers or numeric text) and "lists". Values that
// are null or of another type read as missing: 0 for counters, nil for texts
// and dictionaries.

#include <cstdint>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/runtime/Object.h"

namespace TVSuReply {

bool isAccepted(const ns::Id& reply);
// The counter under `key`; 0 when missing, null, negative or not a number.
uint64_t counter(const ns::Id& reply, std::string_view key);
// The dictionary at a path of keys ("c", "uinfo"); nil when any step is not one.
ns::Id dictionaryAt(const ns::Id& reply, std::initializer_list<std::string_view> path);
// The text (or number as text) under `key` of a dictionary; nil otherwise.
ns::Ref<ns::String> textAt(const ns::Id& dictionary, std::string_view key);

}  // namespace TVSuReply
