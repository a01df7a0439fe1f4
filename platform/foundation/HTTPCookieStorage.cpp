#include "platform/foundation/HTTPCookieStorage.h"

#include <algorithm>

namespace ns {

RT_DEFINE_CLASS(HTTPCookieStorage, Object, "NSHTTPCookieStorage")

Ref<HTTPCookieStorage> HTTPCookieStorage::sharedHTTPCookieStorage() {
    static const Ref<HTTPCookieStorage> shared = std::make_shared<HTTPCookieStorage>();
    return shared;
}

void HTTPCookieStorage::dropExpiredLocked() const {
    std::erase_if(cookies_, [](const Ref<HTTPCookie>& c) { return c->isExpired(); });
}

std::vector<Ref<HTTPCookie>> HTTPCookieStorage::cookies() const {
    std::lock_guard guard(lock_);
    dropExpiredLocked();
    return cookies_;
}

std::vector<Ref<HTTPCookie>> HTTPCookieStorage::cookiesForURL(const URL& url) const {
    std::vector<Ref<HTTPCookie>> out;
    {
        std::lock_guard guard(lock_);
        dropExpiredLocked();
        for (const auto& cookie : cookies_) {
            if (cookie->matchesURL(url)) out.push_back(cookie);
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Ref<HTTPCookie>& a, const Ref<HTTPCookie>& b) {
        return a->path().size() > b->path().size();
    });
    return out;
}

void HTTPCookieStorage::setCookie(const Ref<HTTPCookie>& cookie) {
    if (!cookie) return;
    std::lock_guard guard(lock_);
    auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Ref<HTTPCookie>& c) { return c->isSameCookie(*cookie); });
    if (cookie->isExpired()) {
        if (same != cookies_.end()) cookies_.erase(same);
    } else if (same != cookies_.end()) {
        *same = cookie;
    } else {
        cookies_.push_back(cookie);
    }
}

void HTTPCookieStorage::deleteCookie(const HTTPCookie& cookie) {
    std::lock_guard guard(lock_);
    std::erase_if(cookies_, [&](const Ref<HTTPCookie>& c) { return c->isSameCookie(cookie); });
}

void HTTPCookieStorage::removeAllCookies() {
    std::lock_guard guard(lock_);
    cookies_.clear();
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
