#pragma once
// What the two in-centre web pages share around a load: the progress line
// under the 44-point title bar, WebKit's caches switched off after each
// finished load, addresses that go to the QQ app, and the cached responses
// dropped when a page goes.

#include <string_view>

#include "channel/usercenter/pages/TVWebProgressLayer.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/View.h"

namespace TVSuWebLoad {

inline constexpr const char* kRealNameNotification = "TV_RZ_NOTIFI";

// A new line at (0, 44, 300, 2) on the page's layer, started.
ns::Ref<TVWebProgressLayer> startLine(ui::View& page);
// The line completes; after a finished load (not a failed one) the caches go off.
void finishLine(const ns::Ref<TVWebProgressLayer>& line, bool finished);
// The request's address; "" without one.
std::string addressOf(const ns::Ref<ns::URLRequest>& request);
// "mqq://" or "mqqapi://" anywhere in the address: opened outside.
bool opensQQ(std::string_view address);
void openOutside(const ns::Ref<ns::URLRequest>& request);
// When a page goes: every cached response of the shared URL cache.
void dropCachedResponses();

}  // namespace TVSuWebLoad
