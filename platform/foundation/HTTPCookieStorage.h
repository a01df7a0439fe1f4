#pragma once
// A store of cookies: the shared one the system uses for every session that
// does not bring its own, or a private one (ephemeral sessions). Kept in
// memory for the life of the process; thread-safe.
//
// Bounded, as a user agent's store should be: a server may set thousands of
// cookies in one reply, and every later request to it would carry them all.
// At most MaxCookiesPerDomain per domain and MaxCookies in all; past either,
// the cookie set least recently goes. Cookies are found by name, domain and
// path, so storing one costs the same however many there are.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/foundation/HTTPCookie.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

enum HTTPCookieAcceptPolicy : uint64_t {
    HTTPCookieAcceptPolicyAlways = 0,
    HTTPCookieAcceptPolicyNever = 1,
    HTTPCookieAcceptPolicyOnlyFromMainDocumentDomain = 2,
};

class HTTPCookieStorage : public Object {
    RT_DECLARE_CLASS(HTTPCookieStorage)
public:
    // Well above the 50 per domain and at the 3000 in all that a user agent
    // is expected to keep at least.
    static constexpr size_t MaxCookiesPerDomain = 180;
    static constexpr size_t MaxCookies = 3000;

    HTTPCookieStorage() = default;
    static Ref<HTTPCookieStorage> sharedHTTPCookieStorage();

    // Live cookies, in the order they were first stored.
    std::vector<Ref<HTTPCookie>> cookies() const;
    // The cookies to send to `url`: longer paths first, then older first.
    std::vector<Ref<HTTPCookie>> cookiesForURL(const URL& url) const;
    // Replaces a cookie with the same name, domain and path; an expired one
    // only removes it. Stores whatever the accept policy says. Past a bound,
    // the least recently set cookie of the domain, or of all, goes.
    void setCookie(const Ref<HTTPCookie>& cookie);
    void deleteCookie(const HTTPCookie& cookie);
    void removeAllCookies();
    // Cookies received from `url`, subject to the accept policy: with
    // OnlyFromMainDocumentDomain only when `url`'s host is in the main
    // document's domain (no main document counts as the same).
    void setCookies(const std::vector<Ref<HTTPCookie>>& cookies, const URL& url, const Ref<URL>& mainDocumentURL);

    uint64_t cookieAcceptPolicy() const;
    void setCookieAcceptPolicy(uint64_t policy);

private:
    struct Stored {
        Ref<HTTPCookie> cookie;
        std::string key;
        std::string domain;
        // When it was last set: the least recent goes first.
        uint64_t setAt = 0;
    };

    void dropExpiredLocked() const;
    // Removes the cookie first stored at `order`.
    void removeLocked(uint64_t order) const;
    // The least recently set cookie of `bySetAt` goes.
    void evictOldestLocked(const std::map<uint64_t, uint64_t>& bySetAt);

    mutable std::mutex lock_;
    // By when they were first stored: the order cookies() gives.
    mutable std::map<uint64_t, Stored> cookies_;
    // Name, domain and path to the order of first storage.
    mutable std::unordered_map<std::string, uint64_t> byKey_;
    // When set to the order of first storage: in all, and per domain.
    mutable std::map<uint64_t, uint64_t> bySetAt_;
    mutable std::unordered_map<std::string, std::map<uint64_t, uint64_t>> byDomain_;
    uint64_t nextSetAt_ = 1;
    uint64_t acceptPolicy_ = HTTPCookieAcceptPolicyOnlyFromMainDocumentDomain;
};

}  // namespace ns
