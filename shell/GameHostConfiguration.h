#pragma once
// The game-page address: the environment's GAMEHOST_GAME_PAGE_URL when set
// and not empty, else "GamePageURL" of the main bundle's "GameHost.plist".
// Read at every call, so a test or a run may repoint it.

#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

namespace shell {

inline constexpr const char* GamePageURLEnvironmentVariable = "GAMEHOST_GAME_PAGE_URL";
inline constexpr const char* GameHostConfigurationName = "GameHost";
inline constexpr const char* GamePageURLKey = "GamePageURL";

// The configured text, or nil when neither place gives one.
ns::Ref<ns::String> gamePageAddress();
// The address as a URL; nil when it is missing or not an absolute URL with a
// scheme and a host. The reason is logged.
ns::Ref<ns::URL> gamePageURL();

}  // namespace shell
