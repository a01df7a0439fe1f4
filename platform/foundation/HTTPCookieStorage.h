#pragma once
// A store of cookies: the shared one the system uses for every session that
// does not bring its own, or a private one (ephemeral sessions). Kept in
// memory for the life of the process; thread-safe.

#include <cstdint>
#include <mutex>
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
    HTTPCookieStorage() = default;
    static Ref<HTTPCookieStorage> sharedHTTPCookieStorage();

    // Live cookies, in the order they were first stored.
    std::vector<Ref<HTTPCookie>> cookies() const;
    // The cookies to send to `url`: longer paths first, then older first.
    std::vector<Ref<HTTPCookie>> cookiesForURL(const URL& url) const;
    // Replaces a cookie with the same name, domain and path; an expired one
    // only removes it. Stores whatever the accept policy says.
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
    void dropExpiredLocked() const;

    mutable std::mutex lock_;
    mutable std::vector<Ref<HTTPCookie>> cookies_;
    uint64_t acceptPolicy_ = HTTPCookieAcceptPolicyOnlyFromMainDocumentDomain;
};

}  // namespace ns
