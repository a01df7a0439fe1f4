#include "platform/foundation/HTTPCookieStorage.h"

#include <algorithm>
#include <string_view>

namespace ns {

RT_DEFINE_CLASS(HTTPCookieStorage, Object, "NSHTTPCookieStorage")

Ref<HTTPCookieStorage> HTTPCookieStorage::sharedHTTPCookieStorage() {
    static const Ref<HTTPCookieStorage> shared = std::make_shared<HTTPCookieStorage>();
    return shared;
}

namespace {

std::string keyOf(const HTTPCookie& cookie) {
    std::string key = cookie.name();
    key += '\0';
    key += cookie.domain();
    key += '\0';
    key += cookie.path();
    return key;
}

// The domain a cookie counts against: a host's cookies and its domain's
// ("a.example" and ".a.example") count together.
std::string domainOf(const HTTPCookie& cookie) {
    // Cookies are made with their domains lower-cased.
    std::string_view domain = cookie.domain();
    if (!domain.empty() && domain.front() == '.') domain.remove_prefix(1);
    return std::string(domain);
}

}  // namespace

void HTTPCookieStorage::removeLocked(uint64_t order) const {
    auto it = cookies_.find(order);
    if (it == cookies_.end()) return;
    Stored& stored = it->second;
    byKey_.erase(stored.key);
    bySetAt_.erase(stored.setAt);
    auto domain = byDomain_.find(stored.domain);
    if (domain != byDomain_.end()) {
        domain->second.erase(stored.setAt);
        if (domain->second.empty()) byDomain_.erase(domain);
    }
    cookies_.erase(it);
}

void HTTPCookieStorage::dropExpiredLocked() const {
    std::vector<uint64_t> expired;
    for (const auto& [order, stored] : cookies_) {
        if (stored.cookie->isExpired()) expired.push_back(order);
    }
    for (uint64_t order : expired) removeLocked(order);
}

void HTTPCookieStorage::evictOldestLocked(const std::map<uint64_t, uint64_t>& bySetAt) {
    if (!bySetAt.empty()) removeLocked(bySetAt.begin()->second);
}

std::vector<Ref<HTTPCookie>> HTTPCookieStorage::cookies() const {
    std::lock_guard guard(lock_);
    dropExpiredLocked();
    std::vector<Ref<HTTPCookie>> out;
    out.reserve(cookies_.size());
    for (const auto& [order, stored] : cookies_) out.push_back(stored.cookie);
    return out;
}

std::vector<Ref<HTTPCookie>> HTTPCookieStorage::cookiesForURL(const URL& url) const {
    std::vector<Ref<HTTPCookie>> out;
    {
        std::lock_guard guard(lock_);
        dropExpiredLocked();
        for (const auto& [order, stored] : cookies_) {
            if (stored.cookie->matchesURL(url)) out.push_back(stored.cookie);
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Ref<HTTPCookie>& a, const Ref<HTTPCookie>& b) {
        return a->path().size() > b->path().size();
    });
    return out;
}

void HTTPCookieStorage::setCookie(const Ref<HTTPCookie>& cookie) {
    if (!cookie) return;
    std::string key = keyOf(*cookie);
    std::lock_guard guard(lock_);
    auto same = byKey_.find(key);
    if (cookie->isExpired()) {
        if (same != byKey_.end()) removeLocked(same->second);
        return;
    }
    const uint64_t setAt = nextSetAt_++;
    if (same != byKey_.end()) {
        // Keeps its place in the order of first storage; counts as set now.
        Stored& stored = cookies_.at(same->second);
        auto& inDomain = byDomain_[stored.domain];
        bySetAt_.erase(stored.setAt);
        inDomain.erase(stored.setAt);
        stored.cookie = cookie;
        stored.setAt = setAt;
        bySetAt_.emplace(setAt, same->second);
        inDomain.emplace(setAt, same->second);
        return;
    }
    // A new cookie's first setting is its place in the order of storage.
    const uint64_t order = setAt;
    std::string domain = domainOf(*cookie);
    auto& inDomain = byDomain_[domain];
    inDomain.emplace(setAt, order);
    bySetAt_.emplace(setAt, order);
    byKey_.emplace(key, order);
    cookies_.emplace(order, Stored{cookie, std::move(key), domain, setAt});
    if (inDomain.size() > MaxCookiesPerDomain) evictOldestLocked(inDomain);
    if (cookies_.size() > MaxCookies) evictOldestLocked(bySetAt_);
}

void HTTPCookieStorage::deleteCookie(const HTTPCookie& cookie) {
    std::lock_guard guard(lock_);
    auto same = byKey_.find(keyOf(cookie));
    if (same != byKey_.end()) removeLocked(same->second);
}

void HTTPCookieStorage::removeAllCookies() {
    std::lock_guard guard(lock_);
    cookies_.clear();
    byKey_.clear();
    bySetAt_.clear();
    byDomain_.clear();
}

void HTTPCookieStorage::setCookies(const std::vector<Ref<HTTPCookie>>& cookies, const URL& url,
                                   const Ref<URL>& mainDocumentURL) {
    const uint64_t policy = cookieAcceptPolicy();
    if (policy == HTTPCookieAcceptPolicyNever) return;
    if (policy == HTTPCookieAcceptPolicyOnlyFromMainDocumentDomain && mainDocumentURL) {
        auto host = url.host();
        auto mainHost = mainDocumentURL->host();
        if (!host || !mainHost) return;
        const std::string& h = host->utf8();
        const std::string& m = mainHost->utf8();
        const bool sameDomain = h == m || (h.size() > m.size() && h.compare(h.size() - m.size(), m.size(), m) == 0 &&
                                           h[h.size() - m.size() - 1] == '.');
        if (!sameDomain) return;
    }
    for (const auto& cookie : cookies) setCookie(cookie);
}

uint64_t HTTPCookieStorage::cookieAcceptPolicy() const {
    std::lock_guard guard(lock_);
    return acceptPolicy_;
}

void HTTPCookieStorage::setCookieAcceptPolicy(uint64_t policy) {
    std::lock_guard guard(lock_);
    acceptPolicy_ = policy;
}

}  // namespace ns
