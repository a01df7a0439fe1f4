#pragma once
// An HTTP cookie: made from a Set-Cookie line for the URL that sent it, or
// from a properties dictionary; sent back to URLs its domain and path match.
// A domain cookie keeps its domain with a leading "."; a host-only cookie
// has the bare host.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// Property keys of cookieWithProperties (the platform's texts).
inline constexpr const char* HTTPCookieName = "Name";
inline constexpr const char* HTTPCookieValue = "Value";
inline constexpr const char* HTTPCookieDomain = "Domain";
inline constexpr const char* HTTPCookiePath = "Path";
inline constexpr const char* HTTPCookieExpires = "Expires";
inline constexpr const char* HTTPCookieMaximumAge = "Max-Age";
inline constexpr const char* HTTPCookieSecure = "Secure";
inline constexpr const char* HTTPCookieOriginURL = "OriginURL";
inline constexpr const char* HTTPCookieDiscard = "Discard";
inline constexpr const char* HTTPCookieHTTPOnly = "HttpOnly";

class HTTPCookie : public Object {
    RT_DECLARE_CLASS(HTTPCookie)
public:
    HTTPCookie() = default;

    // Needs Name, Value and Path, and Domain or OriginURL; nil otherwise.
    static Ref<HTTPCookie> cookieWithProperties(const Dictionary& properties);
    // One Set-Cookie line from `url`; nil when it is malformed or names a
    // domain `url`'s host is not in, or one no cookie may have (see
    // HTTPCookieDomain.h).
    static Ref<HTTPCookie> cookieWithSetCookieLine(std::string_view line, const URL& url);
    // Every cookie of the Set-Cookie field of a response's headers (several
    // cookies joined with ", " are told apart from the commas of dates).
    static std::vector<Ref<HTTPCookie>> cookiesWithResponseHeaderFields(const Dictionary& headerFields, const URL& url);
    // {"Cookie": "a=1; b=2"}; empty for no cookies.
    static Ref<Dictionary> requestHeaderFieldsWithCookies(const std::vector<Ref<HTTPCookie>>& cookies);

    const std::string& name() const { return name_; }
    const std::string& value() const { return value_; }
    const std::string& domain() const { return domain_; }
    const std::string& path() const { return path_; }
    // nil for a session cookie.
    const Ref<Date>& expiresDate() const { return expiresDate_; }
    bool isSessionOnly() const { return !expiresDate_; }
    bool isSecure() const { return secure_; }
    bool isHTTPOnly() const { return httpOnly_; }
    Ref<Dictionary> properties() const;

    // Past its expiry on the clock.
    bool isExpired() const;
    // Would be sent with a request to `url`: never to a host under a public
    // suffix or an address through a domain cookie, however it was made.
    bool matchesURL(const URL& url) const;
    // The same name, domain and path: one replaces the other in a store.
    bool isSameCookie(const HTTPCookie& other) const;

    std::string description() const override;
    Id copy() const override { return self(); }

private:
    std::string name_;
    std::string value_;
    std::string domain_;
    std::string path_ = "/";
    Ref<Date> expiresDate_;
    bool secure_ = false;
    bool httpOnly_ = false;
};

}  // namespace ns
