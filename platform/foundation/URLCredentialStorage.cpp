#include "platform/foundation/URLCredentialStorage.h"

#include <algorithm>
#include <cctype>

namespace ns {

RT_DEFINE_CLASS(URLCredentialStorage, Object, "NSURLCredentialStorage")

namespace {

bool sameUserAndPassword(const URLCredential& a, const URLCredential& b) {
    return equal(a.user(), b.user()) && equal(a.password(), b.password());
}

}  // namespace

Ref<URLCredentialStorage> URLCredentialStorage::sharedCredentialStorage() {
    static const Ref<URLCredentialStorage> shared = std::make_shared<URLCredentialStorage>();
    return shared;
}

URLCredentialStorage::Key URLCredentialStorage::keyOf(const URLProtectionSpace& space) {
    std::string host = space.host();
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
    // A space without a realm is not the one whose realm is empty text.
    const Ref<String>& realm = space.realm();
    return {host, space.port(), space.protocol(), realm ? realm->utf8() : std::string(), bool(realm),
            space.authenticationMethod()};
}

Ref<URLCredential> URLCredentialStorage::defaultCredentialForProtectionSpace(const URLProtectionSpace& space) const {
    std::lock_guard guard(lock_);
    auto it = credentials_.find(keyOf(space));
    return it == credentials_.end() ? nullptr : it->second;
}

void URLCredentialStorage::setDefaultCredential(const Ref<URLCredential>& credential, const URLProtectionSpace& space) {
    if (!credential || !credential->user() || credential->persistence() == URLCredentialPersistenceNone) return;
    if (space.authenticationMethod() == URLAuthenticationMethodServerTrust) return;
    std::lock_guard guard(lock_);
    credentials_[keyOf(space)] = credential;
}

void URLCredentialStorage::removeCredential(const URLCredential& credential, const URLProtectionSpace& space) {
    std::lock_guard guard(lock_);
    auto it = credentials_.find(keyOf(space));
    if (it != credentials_.end() && sameUserAndPassword(*it->second, credential)) credentials_.erase(it);
}

void URLCredentialStorage::resetForTesting() {
    std::lock_guard guard(lock_);
    credentials_.clear();
}

}  // namespace ns
