#pragma once
// The device's advertising identifier: a random UUID made once per home
// folder and kept there ("Library/advertising-identifier"), so it stays the
// same across starts of the app, as a device's does. Thread-safe.

#include <optional>
#include <string>

namespace ns {

class AdvertisingIdentifierManager {
public:
    static AdvertisingIdentifierManager& sharedManager();

    // Upper-case hexadecimal with hyphens, 8-4-4-4-12, as the platform
    // formats a UUID. Made and saved on first use in a home folder.
    std::string advertisingIdentifier();

    // A test's fixed identifier; nullopt goes back to the saved one.
    void setIdentifierForTesting(std::optional<std::string> identifier);
};

// A fresh random (version 4) UUID in the platform's text form.
std::string makeUUIDString();

}  // namespace ns
