#pragma once
// What the channel SDK's entry class does for payment: opening the payment
// centre with the game's callback shapes, and the wallet's return URL.
// Main thread only.

#include <cstdint>
#include <functional>

#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

namespace TVPayEntry {

using Text = ns::Ref<ns::String>;
// (text, amount)
using PaySuccess = std::function<void(const Text& text, const Text& amount)>;
// (text, code, amount); the centre's code text becomes its integer value
// (leading digits with an optional sign; none gives 0).
using PayFailure = std::function<void(const Text& text, int64_t code, const Text& amount)>;

void loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid, const Text& productName,
                           const Text& productDesc, const Text& attach, PaySuccess success, PayFailure faild);

// A URL whose scheme is exactly "ToviraQuiPayScheme<game id>" and whose
// host is "safepay" goes to the wallet SDK, and the result it reads to the
// wallet plug. Any other URL is ignored; true when the URL was passed on.
bool handleOpenURL(const ns::Ref<ns::URL>& url);

}  // namespace TVPayEntry
