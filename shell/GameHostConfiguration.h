#pragma once
// The app's configuration: the server addresses of the main bundle's
// "GameHost.plist", each overridden by its environment variable when that is
// set and not empty. Read at every call, so a test or a run may repoint it.
//
// At start the app checks it once, before its first request, and names each
// fault in the log: a resources folder or "GameHost.plist" that is missing
// (once, not as every address it would have given), a file that exists but
// cannot be read, with the reason, and each address that ends up empty or is
// not an absolute http(s) URL, with the key and the variable that would set
// it. It still starts where it can.

#include <span>
#include <string>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"

namespace shell {

inline constexpr const char* GamePageURLEnvironmentVariable = "GAMEHOST_GAME_PAGE_URL";
inline constexpr const char* GameHostConfigurationName = "GameHost";
inline constexpr const char* GamePageURLKey = "GamePageURL";

// One address of the configuration.
struct ConfiguredAddress {
    const char* name;      // as the log names it
    const char* key;       // in GameHost.plist
    const char* variable;  // the environment's override
    // A base that paths are appended to must end in "/".
    bool isBase = false;
};

inline constexpr ConfiguredAddress GamePageAddress{"game page address", GamePageURLKey, GamePageURLEnvironmentVariable};
// Every address the app uses, in the order the check names them.
inline constexpr ConfiguredAddress ConfiguredAddresses[] = {
    GamePageAddress,
    {"platform server address", "PlatformServerURL", "GAMEHOST_PLATFORM_SERVER_URL"},
    {"game server address", "GameServerURL", "GAMEHOST_GAME_SERVER_URL"},
    {"channel API address", "ChannelAPIURL", "GAMEHOST_CHANNEL_API_URL", true},
    {"activity page address", "ActivityPageURL", "GAMEHOST_ACTIVITY_PAGE_URL"},
    {"channel chat page address", "ChannelChatURL", "GAMEHOST_CHANNEL_CHAT_URL"},
};

// GameHost.plist as read: its values, or why a file that exists gave none.
struct ConfigurationFile {
    ns::Ref<ns::Dictionary> values;
    // The file's path; empty when the bundle has none.
    std::string path;
    // Empty unless the file exists and cannot be read.
    std::string problem;
    // Why there is no file, naming what is missing: the resources folder,
    // or the file in it. Empty when the file exists.
    std::string missing;
};
ConfigurationFile readConfigurationFile();

// The environment's value, else the file's; "" when neither gives a text.
std::string configuredValue(const ConfigurationFile& file, const ConfiguredAddress& address);

// The faults of the configuration, one line each, in order; none when all
// is well. checkConfiguration() logs them, each once.
std::vector<std::string> configurationFaults(std::span<const ConfiguredAddress> addresses = ConfiguredAddresses);
void checkConfiguration();

// The configured game-page text, or nil when neither place gives one.
ns::Ref<ns::String> gamePageAddress();
// The address as a URL; nil when it is missing or not an absolute URL with a
// scheme and a host. The reason is logged.
ns::Ref<ns::URL> gamePageURL();

}  // namespace shell
