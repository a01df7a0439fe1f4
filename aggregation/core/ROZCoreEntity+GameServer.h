#pragma once
// Small helpers shared by the facade's game-server features (stores,
// payments, banner, lucky chain). Internal to the aggregation core.

#include <string>
#include <string_view>

#include "aggregation/core/KVTRServerConfig.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"

namespace rozcore {

// The game server's address for a path such as "menu/index?game_id=1".
inline std::string gameServerURL(std::string_view pathAndQuery) {
    return KVTRServerConfig::gameServerOrigin() + "/" + std::string(pathAndQuery);
}

// Game-server replies succeed when the text of their `status` is "200"; a
// reply that is not an object has no status.
inline bool isSuccessReply(const ns::Ref<ns::Dictionary>& reply) {
    return reply && ns::textOf(reply->objectForKey("status")) == "200";
}

// A timing value of the menu reply (text or number) in seconds; anything
// else counts as 0.
inline double secondsOf(const ns::Id& value) {
    if (auto number = ns::cast<ns::Number>(value)) return number->doubleValue();
    if (auto text = ns::cast<ns::String>(value)) return text->doubleValue();
    return 0;
}

// A facade field that was never set, or holds no usable value.
inline bool isMissing(const ns::Ref<ns::String>& text) {
    return !text || text->utf8().empty() || text->utf8() == "(null)";
}

// Status-bar orientation 1 or 2.
inline bool isPortraitInterface() {
    return ui::isPortrait(ui::Application::sharedApplication()->statusBarOrientation());
}

}  // namespace rozcore
