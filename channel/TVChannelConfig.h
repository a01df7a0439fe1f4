#pragma once
// Where the channel's API server is: GAMEHOST_CHANNEL_API_URL first, then
// "ChannelAPIURL" of the main bundle's "GameHost.plist". The value is the
// whole base address, ending in "/" (e.g. "http://127.0.0.1:8083/sdkapicoupon/"),
// kept as given: every endpoint address is this base followed by its path.
// The chat page of the user centre's service tab is configured beside it.
// Read on every call, so a test may point the SDK at its own server.

#include <string>

class TVChannelConfig {
public:
    TVChannelConfig() = delete;

    // "" when neither source names it.
    static std::string apiBaseURL();
    // The customer-service chat page of the user centre: the same way,
    // GAMEHOST_CHANNEL_CHAT_URL, then "ChannelChatURL"; "" when unnamed.
    static std::string chatPageURL();
    // True when the base is an http or https address with a host whose path
    // ends in "/", so that base + path is an endpoint address.
    static bool isAPIBaseURLUsable();
};
