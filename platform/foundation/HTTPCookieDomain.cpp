#include "platform/foundation/HTTPCookieDomain.h"

#include <arpa/inet.h>
#include <libpsl.h>

#include <algorithm>
#include <cctype>

#include "platform/foundation/Log.h"

namespace ns::detail {

namespace {

// The newest list on the system (the publicsuffix package's), else the
// one libpsl was built with; loaded once, kept for the process.
const psl_ctx_t* suffixList() {
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* loaded = psl_latest(nullptr);
        if (!loaded) loaded = psl_builtin();
        if (!loaded) {
            log("Cookies: no public suffix list could be loaded: a Domain attribute is refused only when it is a "
                "single label or part of an address");
        }
        return loaded;
    }();
    return list;
}

bool endsWithLabel(std::string_view host, std::string_view domain) {
    return host.size() > domain.size() && host.ends_with(domain) && host[host.size() - domain.size() - 1] == '.';
}

}  // namespace

bool isAddress(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.find(':') != std::string_view::npos) {
        unsigned char address[16];
        return inet_pton(AF_INET6, std::string(host).c_str(), address) == 1;
    }
    // The URL standard reads a host ending in a number as IPv4 ("127.1",
    // "0x7f.0.0.1"); no name of the public DNS ends so.
    if (host.ends_with('.')) host.remove_suffix(1);
    std::string_view last = host.substr(host.rfind('.') + 1);  // the whole host when it has no dot
    const bool hex = last.size() > 2 && (last.starts_with("0x") || last.starts_with("0X"));
    if (hex) last.remove_prefix(2);
    return !last.empty() && std::all_of(last.begin(), last.end(), [hex](unsigned char c) {
        return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
    });
}

bool isPublicSuffix(std::string_view domain) {
    if (domain.find('.') == std::string_view::npos) return true;
    const psl_ctx_t* list = suffixList();
    return list && psl_is_public_suffix(list, std::string(domain).c_str()) != 0;
}

CookieDomainUse cookieDomainUse(std::string_view host, std::string_view domain) {
    if (host == domain) {
        return isAddress(host) || isPublicSuffix(domain) ? CookieDomainUse::HostOnly : CookieDomainUse::Domain;
    }
    if (isAddress(host) || isAddress(domain) || !endsWithLabel(host, domain) || isPublicSuffix(domain)) {
        return CookieDomainUse::Refused;
    }
    return CookieDomainUse::Domain;
}

bool domainCookieReaches(std::string_view host, std::string_view domain) {
    if (host == domain) return true;
    return endsWithLabel(host, domain) && !isAddress(host) && !isPublicSuffix(domain);
}

}  // namespace ns::detail
