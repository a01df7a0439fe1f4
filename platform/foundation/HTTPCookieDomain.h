#pragma once
// Which hosts a cookie's domain reaches. A Domain attribute may widen a
// cookie to the sites under a registrable domain, never to a public suffix
// ("com", "co.uk", "github.io": the public suffix list, as Debian ships it),
// a single label, or part of an address: an address matches only itself.
// A Domain equal to the host that is one of those keeps the cookie to that
// host alone.
//
// Internal to the cookies.

#include <string>
#include <string_view>

namespace ns::detail {

enum class CookieDomainUse {
    Refused,   // the cookie is dropped
    HostOnly,  // the cookie goes back to its host alone
    Domain,    // the cookie goes to the domain and every host under it
};

// How a Domain attribute `domain` set by `host` is taken (both lower-cased,
// `domain` without a leading dot).
CookieDomainUse cookieDomainUse(std::string_view host, std::string_view domain);

// Whether a domain cookie for `domain` (without its leading dot) goes to
// `host`: `host` is `domain`, or a name under it that is not an address,
// when `domain` may be a cookie's domain at all.
bool domainCookieReaches(std::string_view host, std::string_view domain);

// An IPv6 or IPv4 address, or what is read as one: a name whose last label
// is a number.
bool isAddress(std::string_view host);
// On the public suffix list, or a single label.
bool isPublicSuffix(std::string_view domain);

}  // namespace ns::detail
