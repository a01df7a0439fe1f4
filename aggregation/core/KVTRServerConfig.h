#pragma once
// Where the aggregation servers are: the environment first
// (GAMEHOST_PLATFORM_SERVER_URL, GAMEHOST_GAME_SERVER_URL), then the main
// bundle's "GameHost.plist" ("PlatformServerURL", "GameServerURL"). Read on
// every call, so a test may point the code at its own servers.

#include <string>

class KVTRServerConfig {
public:
    KVTRServerConfig() = delete;

    // Origins such as "http://127.0.0.1:8081", without a trailing "/" (one
    // given with it loses it), so callers append "/init" or "/menu/index?...".
    // "" when neither source names the server.
    static std::string platformServerOrigin();
    static std::string gameServerOrigin();
    // The voucher activity pages: GAMEHOST_ACTIVITY_PAGE_URL, "ActivityPageURL".
    static std::string activityPageOrigin();
};
