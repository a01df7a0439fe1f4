#include "shell/GameHostConfiguration.h"

#include <cstdlib>
#include <filesystem>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

namespace shell {

namespace {

// The parser's reason when it gives one, else the error's own text.
std::string reasonOf(const ns::Ref<ns::Error>& error) {
    if (!error) return "unknown error";
    auto info = error->userInfo();
    if (auto detail = info ? ns::cast<ns::String>(info->objectForKey("NSDebugDescription")) : nullptr) {
        if (!detail->utf8().empty()) return detail->utf8();
    }
    return error->localizedDescription();
}

// Why the text cannot serve as a server address; empty when it can.
std::string unusable(const std::string& text, bool isBase) {
    auto url = ns::URL::make(text);
    auto scheme = url ? url->scheme() : nullptr;
    std::string lower = scheme ? scheme->lowercaseString()->utf8() : std::string();
    if (lower != "http" && lower != "https") return "is not an http or https URL";
    if (!url->host() || url->host()->utf8().empty()) return "has no host";
    if (isBase && text.back() != '/') return "does not end in \"/\"";
    return {};
}

std::string fileName() { return std::string(GameHostConfigurationName) + ".plist"; }

}  // namespace

ConfigurationFile readConfigurationFile() {
    ConfigurationFile file;
    auto bundle = ns::Bundle::mainBundle();
    auto path = bundle->pathForResource(GameHostConfigurationName, "plist");
    if (!path) {
        std::string folder = bundle->resourcePath()->utf8();
        std::error_code error;
        file.missing = std::filesystem::is_directory(folder, error)
                           ? fileName() + " is missing from the resources folder " + folder
                           : "the resources folder " + folder + " is missing" +
                                 (std::getenv("GAMEHOST_RESOURCES") ? " (named by GAMEHOST_RESOURCES)"
                                                                    : " (GAMEHOST_RESOURCES names another)");
        return file;
    }
    file.path = path->utf8();
    ns::Ref<ns::Error> error;
    ns::Id plist = ns::propertyListWithContentsOfFile(file.path, ns::PropertyListImmutable, &error);
    if (!plist) {
        file.problem = reasonOf(error);
    } else if (!(file.values = ns::cast<ns::Dictionary>(plist))) {
        file.problem = "it does not hold a dictionary";
    }
    return file;
}

std::string configuredValue(const ConfigurationFile& file, const ConfiguredAddress& address) {
    if (const char* value = std::getenv(address.variable); value && *value) return value;
    if (!file.values) return {};
    auto text = ns::cast<ns::String>(file.values->objectForKey(address.key));
    return text ? text->utf8() : std::string();
}

std::vector<std::string> configurationFaults(std::span<const ConfiguredAddress> addresses) {
    std::vector<std::string> faults;
    ConfigurationFile file = readConfigurationFile();
    if (!file.problem.empty()) faults.push_back(file.path + " cannot be read: " + file.problem);
    // Every address left unset is the missing file's fault: said once.
    bool missingNamed = false;
    for (const ConfiguredAddress& address : addresses) {
        std::string how = std::string("set ") + address.variable + " or \"" + address.key + "\" in " + fileName();
        const char* variable = std::getenv(address.variable);
        bool fromEnvironment = variable && *variable;
        std::string value = configuredValue(file, address);
        if (value.empty() && !file.missing.empty()) {
            if (!missingNamed) faults.push_back(file.missing + ": set the addresses by their environment variables");
            missingNamed = true;
        } else if (value.empty()) {
            // A value of the wrong type in a readable file is named as such.
            bool wrongType = !fromEnvironment && file.values && file.values->objectForKey(address.key);
            faults.push_back(std::string(address.name) + " is empty" +
                             (wrongType ? std::string(" (\"") + address.key + "\" is not a text)" : "") + ": " + how);
        } else if (std::string why = unusable(value, address.isBase); !why.empty()) {
            std::string source =
                fromEnvironment ? std::string(address.variable) : "\"" + std::string(address.key) + "\"";
            faults.push_back(std::string(address.name) + " \"" + value + "\" from " + source + " " + why + ": " + how);
        }
    }
    return faults;
}

void checkConfiguration() {
    for (const std::string& fault : configurationFaults()) ns::log("configuration: %s", fault);
}

ns::Ref<ns::String> gamePageAddress() {
    std::string value = configuredValue(readConfigurationFile(), GamePageAddress);
    return value.empty() ? nullptr : ns::String::make(value);
}

ns::Ref<ns::URL> gamePageURL() {
    ConfigurationFile file = readConfigurationFile();
    std::string address = configuredValue(file, GamePageAddress);
    if (address.empty()) {
        std::string why;
        if (!file.problem.empty()) why = " (" + fileName() + " cannot be read: " + file.problem + ")";
        if (!file.missing.empty()) why = " (" + file.missing + ")";
        ns::log("game page address missing: set %s or \"%s\" in %s%s", GamePageURLEnvironmentVariable,
                GamePageURLKey, fileName(), why);
        return nullptr;
    }
    auto url = ns::URL::make(address);
    if (!url || !url->scheme() || !url->host() || url->host()->utf8().empty()) {
        ns::log("game page address is not an absolute URL: %s", address);
        return nullptr;
    }
    return url;
}

}  // namespace shell
