#include "platform/foundation/HTTPCookie.h"

#include <cctype>

#include "platform/foundation/Format.h"
#include "platform/foundation/HTTPCookieDomain.h"
#include "platform/foundation/HTTPHeaderFields.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"

namespace ns {

RT_DEFINE_CLASS(HTTPCookie, Object, "NSHTTPCookie")

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The directory of a request path, the default path of its cookies.
std::string defaultPath(const URL& url) {
    auto path = url.path();
    std::string p = path ? path->utf8() : std::string();
    if (p.empty() || p[0] != '/') return "/";
    size_t slash = p.rfind('/');
    return slash == 0 ? "/" : p.substr(0, slash);
}

std::string hostOf(const URL& url) {
    auto host = url.host();
    return host ? lowered(host->utf8()) : std::string();
}

// Splits a joined Set-Cookie value at the commas between cookies, keeping
// the comma of an Expires date ("Expires=Wed, 21 Oct ...") inside its cookie.
std::vector<std::string> splitJoinedCookies(std::string_view joined) {
    std::vector<std::string> out;
    std::string current;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t comma = joined.find(',', start);
        std::string_view piece = joined.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (!current.empty()) {
            current += ",";
        }
        current += piece;
        std::string tail = lowered(trim(std::string_view(current).substr(current.rfind(';') == std::string::npos ? 0 : current.rfind(';') + 1)));
        const bool insideDate = tail.rfind("expires=", 0) == 0 && tail.find(',') == std::string::npos;
        if (comma == std::string_view::npos) break;
        if (!insideDate) {
            out.push_back(std::move(current));
            current.clear();
        }
        start = comma + 1;
    }
    if (!trim(current).empty()) out.push_back(std::move(current));
    return out;
}

}  // namespace

Ref<HTTPCookie> HTTPCookie::cookieWithProperties(const Dictionary& properties) {
    auto text = [&](const char* key) -> Ref<String> {
        Id value = properties.objectForKey(key);
        if (!value) return nullptr;
        if (auto s = cast<String>(value)) return s;
        return String::make(textOf(value));
    };
    auto name = text(HTTPCookieName), value = text(HTTPCookieValue), path = text(HTTPCookiePath);
    auto domain = text(HTTPCookieDomain);
    Ref<URL> origin = cast<URL>(properties.objectForKey(HTTPCookieOriginURL));
    if (!origin) {
        if (auto originText = text(HTTPCookieOriginURL)) origin = URL::make(originText->utf8());
    }
    if (!name || !value || !path || name->utf8().empty()) return nullptr;
    if (!domain && !origin) return nullptr;
    auto cookie = std::make_shared<HTTPCookie>();
    cookie->name_ = name->utf8();
    cookie->value_ = value->utf8();
    cookie->path_ = path->utf8();
    cookie->domain_ = domain ? lowered(domain->utf8()) : hostOf(*origin);
    if (cookie->domain_.empty()) return nullptr;
    Id expires = properties.objectForKey(HTTPCookieExpires);
    if (auto date = cast<Date>(expires)) {
        cookie->expiresDate_ = date;
    } else if (auto expiresText = cast<String>(expires)) {
        if (auto seconds = parseHTTPDate(expiresText->utf8())) cookie->expiresDate_ = Date::withTimeIntervalSince1970(*seconds);
    }
    if (auto maxAge = text(HTTPCookieMaximumAge)) {
        cookie->expiresDate_ = Date::withTimeIntervalSinceNow(double(maxAge->longLongValue()));
    }
    if (auto discard = text(HTTPCookieDiscard); discard && lowered(discard->utf8()) == "true") {
        cookie->expiresDate_ = nullptr;
    }
    if (auto secure = text(HTTPCookieSecure)) {
        std::string s = lowered(secure->utf8());
        cookie->secure_ = s != "false" && s != "0" && s != "no";
    }
    cookie->httpOnly_ = properties.objectForKey(HTTPCookieHTTPOnly) != nullptr;
    return cookie;
}

Ref<HTTPCookie> HTTPCookie::cookieWithSetCookieLine(std::string_view line, const URL& url) {
    const std::string host = hostOf(url);
    if (host.empty()) return nullptr;
    std::string_view rest = line;
    size_t semicolon = rest.find(';');
    std::string_view pair = trim(rest.substr(0, semicolon));
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos) return nullptr;
    auto cookie = std::make_shared<HTTPCookie>();
    cookie->name_ = std::string(trim(pair.substr(0, eq)));
    cookie->value_ = std::string(trim(pair.substr(eq + 1)));
    if (cookie->name_.empty()) return nullptr;
    cookie->domain_ = host;
    cookie->path_ = defaultPath(url);
    bool hasMaxAge = false;
    while (semicolon != std::string_view::npos) {
        rest.remove_prefix(semicolon + 1);
        semicolon = rest.find(';');
        std::string_view attribute = trim(rest.substr(0, semicolon));
        size_t aeq = attribute.find('=');
        const std::string key = lowered(trim(attribute.substr(0, aeq)));
        std::string_view value = aeq == std::string_view::npos ? std::string_view() : trim(attribute.substr(aeq + 1));
        if (key == "domain" && !value.empty()) {
            std::string domain = lowered(value);
            if (domain.front() == '.') domain.erase(0, 1);
            switch (detail::cookieDomainUse(host, domain)) {
            case detail::CookieDomainUse::Refused: return nullptr;
            case detail::CookieDomainUse::HostOnly: cookie->domain_ = host; break;
            case detail::CookieDomainUse::Domain: cookie->domain_ = "." + domain; break;
            }
        } else if (key == "path" && !value.empty() && value.front() == '/') {
            cookie->path_ = std::string(value);
        } else if (key == "max-age" && !value.empty()) {
            char* end = nullptr;
            std::string digits(value);
            long long seconds = std::strtoll(digits.c_str(), &end, 10);
            if (end && *end == '\0') {
                hasMaxAge = true;
                cookie->expiresDate_ = Date::withTimeIntervalSinceNow(seconds <= 0 ? -1.0 : double(seconds));
            }
        } else if (key == "expires" && !hasMaxAge) {
            if (auto seconds = parseHTTPDate(value)) cookie->expiresDate_ = Date::withTimeIntervalSince1970(*seconds);
        } else if (key == "secure") {
            cookie->secure_ = true;
        } else if (key == "httponly") {
            cookie->httpOnly_ = true;
        }
    }
    return cookie;
}

std::vector<Ref<HTTPCookie>> HTTPCookie::cookiesWithResponseHeaderFields(const Dictionary& headerFields,
                                                                         const URL& url) {
    std::vector<Ref<HTTPCookie>> out;
    std::string joined;
    headerFields.enumerateKeysAndObjectsUsingBlock([&](const Id& key, const Id& value, bool&) {
        if (HTTPHeaderFields::namesEqual(textOf(key), "Set-Cookie")) joined = textOf(value);
    });
    for (const std::string& line : splitJoinedCookies(joined)) {
        if (auto cookie = cookieWithSetCookieLine(line, url)) out.push_back(std::move(cookie));
    }
    return out;
}

Ref<Dictionary> HTTPCookie::requestHeaderFieldsWithCookies(const std::vector<Ref<HTTPCookie>>& cookies) {
    if (cookies.empty()) return Dictionary::make({});
    std::string header;
    for (const auto& cookie : cookies) {
        if (!header.empty()) header += "; ";
        header += cookie->name_ + "=" + cookie->value_;
    }
    return Dictionary::make({{"Cookie", String::make(header)}});
}

Ref<Dictionary> HTTPCookie::properties() const {
    auto out = MutableDictionary::make();
    out->setObjectForKey(String::make(name_), HTTPCookieName);
    out->setObjectForKey(String::make(value_), HTTPCookieValue);
    out->setObjectForKey(String::make(domain_), HTTPCookieDomain);
    out->setObjectForKey(String::make(path_), HTTPCookiePath);
    if (expiresDate_) out->setObjectForKey(expiresDate_, HTTPCookieExpires);
    if (secure_) out->setObjectForKey(String::make("TRUE"), HTTPCookieSecure);
    if (httpOnly_) out->setObjectForKey(String::make("TRUE"), HTTPCookieHTTPOnly);
    return cast<Dictionary>(out->copy());
}

bool HTTPCookie::isExpired() const { return expiresDate_ && expiresDate_->timeIntervalSinceNow() <= 0; }

bool HTTPCookie::matchesURL(const URL& url) const {
    const std::string host = hostOf(url);
    if (host.empty() || isExpired()) return false;
    if (!domain_.empty() && domain_.front() == '.') {
        if (!detail::domainCookieReaches(host, std::string_view(domain_).substr(1))) return false;
    } else if (host != domain_) {
        return false;
    }
    auto scheme = url.scheme();
    if (secure_ && !(scheme && lowered(scheme->utf8()) == "https")) return false;
    auto pathText = url.path();
    std::string path = pathText && !pathText->utf8().empty() ? pathText->utf8() : std::string("/");
    if (path == path_) return true;
    if (path.rfind(path_, 0) != 0) return false;
    return path_.back() == '/' || path[path_.size()] == '/';
}

bool HTTPCookie::isSameCookie(const HTTPCookie& other) const {
    return name_ == other.name_ && domain_ == other.domain_ && path_ == other.path_;
}

std::string HTTPCookie::description() const {
    return format("<NSHTTPCookie %@=%@; domain=%@; path=%@%s>", name_, value_, domain_, path_,
                  expiresDate_ ? "" : "; session-only");
}

}  // namespace ns
