#include "channel/TVChannelConfig.h"

#include <cstdlib>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

namespace {

// The variable when set, else the key of "GameHost.plist"; "" when neither.
std::string configured(const char* variable, const char* key) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
    if (auto path = ns::Bundle::mainBundle()->pathForResource("GameHost", "plist")) {
        if (auto plist = ns::dictionaryWithContentsOfFile(path->utf8())) {
            if (auto text = ns::cast<ns::String>(plist->objectForKey(key))) return text->utf8();
        }
    }
    return {};
}

}  // namespace

std::string TVChannelConfig::apiBaseURL() {
    return configured("GAMEHOST_CHANNEL_API_URL", "ChannelAPIURL");
}

std::string TVChannelConfig::chatPageURL() {
    return configured("GAMEHOST_CHANNEL_CHAT_URL", "ChannelChatURL");
}

bool TVChannelConfig::isAPIBaseURLUsable() {
    std::string base = apiBaseURL();
    if (base.empty() || base.back() != '/') return false;
    auto url = ns::URL::make(base);
    if (!url || !url->host() || url->host()->utf8().empty() || !url->scheme()) return false;
    std::string scheme = url->scheme()->lowercaseString()->utf8();
    return scheme == "http" || scheme == "https";
}
