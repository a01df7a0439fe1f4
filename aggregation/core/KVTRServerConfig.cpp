#include "aggregation/core/KVTRServerConfig.h"

#include <cstdlib>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/String.h"

namespace {

std::string origin(const char* environmentName, std::string_view plistKey) {
    std::string value;
    const char* configured = std::getenv(environmentName);
    if (configured && *configured) {
        value = configured;
    } else if (auto path = ns::Bundle::mainBundle()->pathForResource("GameHost", "plist")) {
        if (auto plist = ns::dictionaryWithContentsOfFile(path->utf8())) {
            if (auto text = ns::cast<ns::String>(plist->objectForKey(plistKey))) value = text->utf8();
        }
    }
    while (!value.empty() && value.back() == '/') value.pop_back();
    return value;
}

}  // namespace

std::string KVTRServerConfig::platformServerOrigin() {
    return origin("GAMEHOST_PLATFORM_SERVER_URL", "PlatformServerURL");
}

std::string KVTRServerConfig::gameServerOrigin() {
    return origin("GAMEHOST_GAME_SERVER_URL", "GameServerURL");
}

std::string KVTRServerConfig::activityPageOrigin() {
    return origin("GAMEHOST_ACTIVITY_PAGE_URL", "ActivityPageURL");
}
