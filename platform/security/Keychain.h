#pragma once
// The keychain stand-in: generic password items kept in one file in the app's
// home folder (<home>/Library/Keychains/keychain.db), owner-only, replaced
// atomically on every change. Every call reads the file afresh, so separate
// Keychain objects, and the item functions below, on one path agree.
//
// It sits below foundation, so it speaks strings and bytes; the home folder
// follows the same rule as foundation's (`$GAMEHOST_HOME`, else
// ~/.local/share/gamehost) without depending on it.
//
// A file that cannot be parsed is never overwritten: it is renamed aside
// ("keychain.db.corrupt-<n>"), reported on stderr and through
// corruptFileKeptAt(), and the keychain carries on empty.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sec {

using OSStatus = std::int32_t;

inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus errSecIO = -36;
inline constexpr OSStatus errSecParam = -50;
inline constexpr OSStatus errSecDuplicateItem = -25299;
inline constexpr OSStatus errSecItemNotFound = -25300;

// The values of the class and accessibility attributes, as the platform
// spells them.
inline constexpr std::string_view kSecClassGenericPassword = "genp";
inline constexpr std::string_view kSecAttrAccessibleWhenUnlocked = "ak";
inline constexpr std::string_view kSecAttrAccessibleAfterFirstUnlock = "ck";
inline constexpr std::string_view kSecAttrAccessibleAlways = "dk";
inline constexpr std::string_view kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly = "akpu";
inline constexpr std::string_view kSecAttrAccessibleWhenUnlockedThisDeviceOnly = "aku";
inline constexpr std::string_view kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly = "cku";
inline constexpr std::string_view kSecAttrAccessibleAlwaysThisDeviceOnly = "dku";

// An item is identified by its class, service and account.
struct KeychainItem {
    std::string itemClass{kSecClassGenericPassword};
    std::string service;
    std::string account;
    std::vector<std::uint8_t> data;
    std::string accessibility{kSecAttrAccessibleWhenUnlocked};

    bool operator==(const KeychainItem&) const = default;
};

// Unset attributes match any value.
struct KeychainQuery {
    std::string itemClass{kSecClassGenericPassword};
    std::optional<std::string> service;
    std::optional<std::string> account;
};

// Unset attributes are kept.
struct KeychainChanges {
    std::optional<std::string> service;
    std::optional<std::string> account;
    std::optional<std::vector<std::uint8_t>> data;
    std::optional<std::string> accessibility;
};

class Keychain {
public:
    explicit Keychain(std::string path);

    // <home>/Library/Keychains/keychain.db, for the home folder of this moment.
    static std::string defaultPath();

    // errSecParam for an unknown class or accessibility; errSecDuplicateItem
    // when an item with that class, service and account exists.
    OSStatus add(const KeychainItem& item);
    // The first match in the order items were added.
    OSStatus copyMatching(const KeychainQuery& query, KeychainItem* result);
    OSStatus copyAllMatching(const KeychainQuery& query, std::vector<KeychainItem>* results);
    // Changes every match; errSecDuplicateItem (and nothing changed) when that
    // would make two items alike.
    OSStatus update(const KeychainQuery& query, const KeychainChanges& changes);
    // Deletes every match.
    OSStatus remove(const KeychainQuery& query);

    const std::string& path() const { return path_; }
    // Where an unreadable file was moved by this object's calls; empty when
    // none was.
    const std::string& corruptFileKeptAt() const { return corruptFileKeptAt_; }

private:
    OSStatus load(std::vector<KeychainItem>* items);
    OSStatus save(const std::vector<KeychainItem>& items);

    std::string path_;
    std::string corruptFileKeptAt_;
};

// The platform's item calls, on the keychain at Keychain::defaultPath().
OSStatus itemAdd(const KeychainItem& item);
OSStatus itemCopyMatching(const KeychainQuery& query, KeychainItem* result);
OSStatus itemUpdate(const KeychainQuery& query, const KeychainChanges& changes);
OSStatus itemDelete(const KeychainQuery& query);

}  // namespace sec
