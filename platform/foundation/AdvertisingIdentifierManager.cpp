#include "platform/foundation/AdvertisingIdentifierManager.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/foundation/HomeDirectory.h"
#include "platform/security/Hex.h"
#include "platform/security/Random.h"

namespace ns {

namespace {

std::mutex lock;
std::optional<std::string> testIdentifier;

bool looksLikeUUID(const std::string& text) {
    if (text.size() != 36) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

}  // namespace

std::string makeUUIDString() {
    auto bytes = sec::Random::bytes(16);
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3f) | 0x80);
    std::string hex = sec::hexUpper(bytes);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
           hex.substr(20);
}

AdvertisingIdentifierManager& AdvertisingIdentifierManager::sharedManager() {
    static AdvertisingIdentifierManager manager;
    return manager;
}

std::string AdvertisingIdentifierManager::advertisingIdentifier() {
    std::lock_guard guard(lock);
    if (testIdentifier) return *testIdentifier;
    std::filesystem::path folder = std::filesystem::path(homeDirectory()) / "Library";
    std::filesystem::path file = folder / "advertising-identifier";
    std::string saved;
    if (std::ifstream in(file); in) std::getline(in, saved);
    if (looksLikeUUID(saved)) return saved;
    // Missing or damaged: a new one, written aside and moved in whole.
    std::string made = makeUUIDString();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    std::filesystem::path partial = file;
    partial += ".new";
    if (std::ofstream out(partial, std::ios::trunc); out) out << made << "\n";
    std::filesystem::rename(partial, file, ignored);
    return made;
}

void AdvertisingIdentifierManager::setIdentifierForTesting(std::optional<std::string> identifier) {
    std::lock_guard guard(lock);
    testIdentifier = std::move(identifier);
}

}  // namespace ns
