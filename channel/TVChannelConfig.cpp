#include "channel/TVChannelConfig.h"

#include <cstdlib>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

std::string TVChannelConfig::apiBaseURL() {
    const char* configured = std::getenv("GAMEHOST_CHANNEL_API_URL");
    if (configured && *configured) return configured;
    if (auto path = ns::Bundle::mainBundle()->pathForResource("GameHost", "plist")) {
        if (auto plist = ns::dictionaryWithContentsOfFile(path->utf8())) {
            if (auto text = ns::cast<ns::String>(plist->objectForKey("ChannelAPIURL"))) return text->utf8();
        }
    }
    return {};
}

bool TVChannelConfig::isAPIBaseURLUsable() {
    std::string base = apiBaseURL();
    if (base.empty() || base.back() != '/') return false;
    auto url = ns::URL::make(base);
    if (!url || !url->host() || url->host()->utf8().empty() || !url->scheme()) return false;
    std::string scheme = url->scheme()->lowercaseString()->utf8();
    return scheme == "http" || scheme == "https";
}
