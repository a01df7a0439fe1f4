#pragma once
// How the shell reads a page message and writes the texts it hands to the
// aggregation facade: the `data` values as text, the role check, and the
// pretty-printed order and role texts.

#include <string>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

namespace shell {

// A page message's parts: nil action or data when the body has none that
// the shell can read.
struct PageMessage {
    ns::Ref<ns::String> action;
    ns::Ref<ns::Dictionary> data;
};

// Parses a message body: its text form as JSON (invalid UTF-8 read as
// U+FFFD). False when the body is no JSON object. A `data` that is not an
// object reads as absent.
bool parsePageMessage(const ns::Id& body, PageMessage& message);

// The value under `key` as the page sent it, or nil when it is absent or of
// a kind a field cannot hold (an array or object).
ns::Id fieldValue(const ns::Dictionary* data, std::string_view key);
// Its text: a text unchanged, a number in decimal, JSON null "<null>", an
// absent value "(null)".
ns::Ref<ns::String> fieldText(const ns::Dictionary* data, std::string_view key);

// Present, not JSON null, and neither empty nor "(null)".
bool isFilledField(const ns::Id& value);

// The page has finished loading and role_id, service_id, service_name and
// role_name are filled.
bool rolePassesCheck(bool pageFinished, const ns::Dictionary* data);

// The order for the facade: good_id, good_name, game_order_sn, role_level,
// super_user_id, money, service_id, service_name, role_id, role_name, remark
// in that order. Without a stored user id the text stops before it.
ns::Ref<ns::String> orderText(const ns::Dictionary* data, const ns::Ref<ns::String>& superUserId);

// A message body for the log: its text form, or, past `limit` bytes, the
// first bytes up to a whole UTF-8 character within the limit, then
// "… (N bytes)" with the whole length.
inline constexpr size_t PageMessageLogLimit = 512;
std::string bodyLogText(const ns::Id& body, size_t limit = PageMessageLogLimit);

// The role for the facade; the empty object without a stored user id.
ns::Ref<ns::String> roleText(const ns::Dictionary* data, const ns::Ref<ns::String>& superUserId);

}  // namespace shell
