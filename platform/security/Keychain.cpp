#include "platform/security/Keychain.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/security/KeychainFile.h"

namespace sec {
namespace {

// One lock for every keychain file: a read-change-write must not interleave
// with another thread's on the same file, and the calls are rare.
std::mutex& fileLock() {
    static std::mutex lock;
    return lock;
}

constexpr std::string_view accessibilities[] = {
    kSecAttrAccessibleWhenUnlocked,
    kSecAttrAccessibleAfterFirstUnlock,
    kSecAttrAccessibleAlways,
    kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly,
    kSecAttrAccessibleWhenUnlockedThisDeviceOnly,
    kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly,
    kSecAttrAccessibleAlwaysThisDeviceOnly,
};

bool knownAccessibility(std::string_view value) {
    return std::find(std::begin(accessibilities), std::end(accessibilities), value) != std::end(accessibilities);
}

bool matches(const KeychainItem& item, const KeychainQuery& query) {
    return item.itemClass == query.itemClass && (!query.service || item.service == *query.service) &&
           (!query.account || item.account == *query.account);
}

bool sameIdentity(const KeychainItem& a, const KeychainItem& b) {
    return a.itemClass == b.itemClass && a.service == b.service && a.account == b.account;
}

std::string homeFolder() {
    if (const char* home = std::getenv("GAMEHOST_HOME"); home && *home) return home;
    std::string user;
    if (const char* home = std::getenv("HOME"); home && *home) user = home;
    else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) user = entry->pw_dir;
    else user = "/tmp";
    return user + "/.local/share/gamehost";
}

std::string asideName(const std::string& path) {
    for (int n = 1;; ++n) {
        std::string candidate = path + ".corrupt-" + std::to_string(n);
        struct stat info {};
        if (::lstat(candidate.c_str(), &info) != 0) return candidate;
    }
}

}  // namespace

Keychain::Keychain(std::string path) : path_(std::move(path)) {}

std::string Keychain::defaultPath() {
    std::string home = homeFolder();
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    return home + "/Library/Keychains/keychain.db";
}

OSStatus Keychain::load(std::vector<KeychainItem>* items) {
    items->clear();
    std::string text;
    switch (detail::readWholeFile(path_, &text)) {
    case detail::ReadOutcome::Missing:
        return errSecSuccess;
    case detail::ReadOutcome::Failed:
        // Unreadable is not corrupt: the file may be fine once the fault
        // passes, so it is left where it is.
        return errSecIO;
    case detail::ReadOutcome::Read:
        break;
    }
    std::string why;
    if (auto decoded = detail::decodeKeychain(text, &why)) {
        *items = std::move(*decoded);
        return errSecSuccess;
    }
    std::string aside = asideName(path_);
    if (::rename(path_.c_str(), aside.c_str()) != 0) return errSecIO;
    corruptFileKeptAt_ = aside;
    std::fprintf(stderr, "keychain: %s could not be read (%s); kept as %s, starting empty\n", path_.c_str(),
                 why.c_str(), aside.c_str());
    return errSecSuccess;
}

OSStatus Keychain::save(const std::vector<KeychainItem>& items) {
    return detail::replaceFileAtomically(path_, detail::encodeKeychain(items)) ? errSecSuccess : errSecIO;
}

OSStatus Keychain::add(const KeychainItem& item) {
    if (item.itemClass != kSecClassGenericPassword || !knownAccessibility(item.accessibility)) return errSecParam;
    std::lock_guard guard(fileLock());
    std::vector<KeychainItem> items;
    if (OSStatus status = load(&items); status != errSecSuccess) return status;
    for (const auto& existing : items)
        if (sameIdentity(existing, item)) return errSecDuplicateItem;
    items.push_back(item);
    return save(items);
}

OSStatus Keychain::copyMatching(const KeychainQuery& query, KeychainItem* result) {
    if (query.itemClass != kSecClassGenericPassword) return errSecParam;
    std::lock_guard guard(fileLock());
    std::vector<KeychainItem> items;
    if (OSStatus status = load(&items); status != errSecSuccess) return status;
    for (auto& item : items) {
        if (!matches(item, query)) continue;
        if (result) *result = std::move(item);
        return errSecSuccess;
    }
    return errSecItemNotFound;
}

OSStatus Keychain::copyAllMatching(const KeychainQuery& query, std::vector<KeychainItem>* results) {
    if (query.itemClass != kSecClassGenericPassword) return errSecParam;
    std::lock_guard guard(fileLock());
    std::vector<KeychainItem> items;
    if (OSStatus status = load(&items); status != errSecSuccess) return status;
    std::vector<KeychainItem> found;
    for (auto& item : items)
        if (matches(item, query)) found.push_back(std::move(item));
    if (found.empty()) return errSecItemNotFound;
    if (results) *results = std::move(found);
    return errSecSuccess;
}

OSStatus Keychain::update(const KeychainQuery& query, const KeychainChanges& changes) {
    if (query.itemClass != kSecClassGenericPassword) return errSecParam;
    if (changes.accessibility && !knownAccessibility(*changes.accessibility)) return errSecParam;
    std::lock_guard guard(fileLock());
    std::vector<KeychainItem> items;
    if (OSStatus status = load(&items); status != errSecSuccess) return status;
    bool any = false;
    for (auto& item : items) {
        if (!matches(item, query)) continue;
        any = true;
        if (changes.service) item.service = *changes.service;
        if (changes.account) item.account = *changes.account;
        if (changes.data) item.data = *changes.data;
        if (changes.accessibility) item.accessibility = *changes.accessibility;
    }
    if (!any) return errSecItemNotFound;
    for (std::size_t i = 0; i < items.size(); ++i)
        for (std::size_t j = i + 1; j < items.size(); ++j)
            if (sameIdentity(items[i], items[j])) return errSecDuplicateItem;
    return save(items);
}

OSStatus Keychain::remove(const KeychainQuery& query) {
    if (query.itemClass != kSecClassGenericPassword) return errSecParam;
    std::lock_guard guard(fileLock());
    std::vector<KeychainItem> items;
    if (OSStatus status = load(&items); status != errSecSuccess) return status;
    auto removed = std::erase_if(items, [&](const KeychainItem& item) { return matches(item, query); });
    if (removed == 0) return errSecItemNotFound;
    return save(items);
}

OSStatus itemAdd(const KeychainItem& item) { return Keychain(Keychain::defaultPath()).add(item); }

OSStatus itemCopyMatching(const KeychainQuery& query, KeychainItem* result) {
    return Keychain(Keychain::defaultPath()).copyMatching(query, result);
}

OSStatus itemUpdate(const KeychainQuery& query, const KeychainChanges& changes) {
    return Keychain(Keychain::defaultPath()).update(query, changes);
}

OSStatus itemDelete(const KeychainQuery& query) { return Keychain(Keychain::defaultPath()).remove(query); }

}  // namespace sec
