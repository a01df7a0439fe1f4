#include "shell/GameHostConfiguration.h"

#include <cstdlib>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

namespace shell {

ns::Ref<ns::String> gamePageAddress() {
    if (const char* value = std::getenv(GamePageURLEnvironmentVariable); value && *value) {
        return ns::String::make(value);
    }
    auto path = ns::Bundle::mainBundle()->pathForResource(GameHostConfigurationName, "plist");
    if (!path) return nullptr;
    auto configuration = ns::dictionaryWithContentsOfFile(path->utf8());
    if (!configuration) return nullptr;
    auto address = ns::cast<ns::String>(configuration->objectForKey(GamePageURLKey));
    if (!address || address->utf8().empty()) return nullptr;
    return address;
}

ns::Ref<ns::URL> gamePageURL() {
    auto address = gamePageAddress();
    if (!address) {
        ns::log("game page address missing: set %s or \"%s\" in %s.plist", GamePageURLEnvironmentVariable,
                GamePageURLKey, GameHostConfigurationName);
        return nullptr;
    }
    auto url = ns::URL::make(address->utf8());
    if (!url || !url->scheme() || !url->host() || url->host()->utf8().empty()) {
        ns::log("game page address is not an absolute URL: %@", address);
        return nullptr;
    }
    return url;
}

}  // namespace shell
