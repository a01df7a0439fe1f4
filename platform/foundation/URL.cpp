#include "platform/foundation/URL.h"

#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/CharacterSet.h"

namespace ns {

RT_DEFINE_CLASS(URL, Object, "NSURL")

namespace {

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isValidScheme(std::string_view s) {
    if (s.empty() || !isAlpha(s[0])) return false;
    for (char c : s) {
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// The characters a URL may hold as written.
bool isAcceptableText(std::string_view text) {
    int fragments = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c >= 0x7F || std::strchr("<>\"\\^`{|}", c)) return false;
        if (c == '%' && (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))) return false;
        if (c == '#' && ++fragments > 1) return false;
    }
    return true;
}

std::string decoded(std::string_view text) {
    Ref<String> plain = String::make(std::string(text))->stringByRemovingPercentEncoding();
    return plain ? plain->utf8() : std::string(text);
}

std::string encodedPath(std::string_view path) {
    Ref<String> escaped = String::make(std::string(path))->stringByAddingPercentEncodingWithAllowedCharacters(*CharacterSet::URLPathAllowed());
    return escaped ? escaped->utf8() : std::string(path);
}

Ref<String> optionalText(bool present, const std::string& text) { return present ? String::make(text) : nullptr; }

uint64_t fnv1a(std::string_view s) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return h;
}

}  // namespace

// ---- Components ----

URL::Parts URL::Parts::parse(std::string_view text) {
    Parts p;
    size_t i = 0;
    size_t stop = text.find_first_of(":/?#");
    if (stop != std::string_view::npos && text[stop] == ':' && isValidScheme(text.substr(0, stop))) {
        p.hasScheme = true;
        p.scheme = text.substr(0, stop);
        i = stop + 1;
    }
    if (text.substr(i, 2) == "//") {
        i += 2;
        size_t end = std::min(text.find_first_of("/?#", i), text.size());
        p.hasAuthority = true;
        p.authority = text.substr(i, end - i);
        i = end;
    }
    size_t end = std::min(text.find_first_of("?#", i), text.size());
    p.path = text.substr(i, end - i);
    i = end;
    if (i < text.size() && text[i] == '?') {
        end = std::min(text.find('#', i), text.size());
        p.hasQuery = true;
        p.query = text.substr(i + 1, end - i - 1);
        i = end;
    }
    if (i < text.size() && text[i] == '#') {
        p.hasFragment = true;
        p.fragment = text.substr(i + 1);
    }
    return p;
}

std::string URL::Parts::recompose() const {
    std::string out;
    if (hasScheme) out += scheme + ":";
    if (hasAuthority) out += "//" + authority;
    out += path;
    if (hasQuery) out += "?" + query;
    if (hasFragment) out += "#" + fragment;
    return out;
}

std::string URL::removeDotSegments(std::string_view path) {
    std::string input(path), output;
    auto dropLastSegment = [&] {
        size_t slash = output.rfind('/');
        output.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.erase(0, 3);
        } else if (input.starts_with("./")) {
            input.erase(0, 2);
        } else if (input.starts_with("/./")) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.erase(0, 3);
            dropLastSegment();
        } else if (input == "/..") {
            input = "/";
            dropLastSegment();
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            if (next == std::string::npos) next = input.size();
            output += input.substr(0, next);
            input.erase(0, next);
        }
    }
    return output;
}

URL::Parts URL::Parts::resolvedAgainst(const Parts& base) const {
    Parts t;
    if (hasScheme) {
        t = *this;
        t.path = removeDotSegments(path);
        return t;
    }
    if (hasAuthority) {
        t.hasAuthority = true;
        t.authority = authority;
        t.path = removeDotSegments(path);
        t.hasQuery = hasQuery;
        t.query = query;
    } else {
        if (path.empty()) {
            t.path = base.path;
            t.hasQuery = hasQuery || base.hasQuery;
            t.query = hasQuery ? query : base.query;
        } else {
            if (path[0] == '/') {
                t.path = removeDotSegments(path);
            } else {
                // Merge (section 5.2.3): the base path up to its last "/".
                std::string merged;
                if (base.hasAuthority && base.path.empty()) {
                    merged = "/" + path;
                } else {
                    size_t slash = base.path.rfind('/');
                    merged = (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1)) + path;
                }
                t.path = removeDotSegments(merged);
            }
            t.hasQuery = hasQuery;
            t.query = query;
        }
        t.hasAuthority = base.hasAuthority;
        t.authority = base.authority;
    }
    t.hasScheme = base.hasScheme;
    t.scheme = base.scheme;
    t.hasFragment = hasFragment;
    t.fragment = fragment;
    return t;
}

bool URL::parseAuthority(std::string_view text, Authority& out) {
    std::string_view hostPort = text;
    size_t at = text.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view userInfo = text.substr(0, at);
        hostPort = text.substr(at + 1);
        size_t colon = userInfo.find(':');
        out.hasUser = true;
        out.user = decoded(userInfo.substr(0, colon));
        if (colon != std::string_view::npos) {
            out.hasPassword = true;
            out.password = decoded(userInfo.substr(colon + 1));
        }
    }
    std::string_view portText;
    if (!hostPort.empty() && hostPort[0] == '[') {
        size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return false;
        out.host = hostPort.substr(1, close - 1);
        std::string_view rest = hostPort.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return false;
            portText = rest.substr(1);
        }
    } else {
        size_t colon = hostPort.find(':');
        out.host = decoded(hostPort.substr(0, colon));
        if (colon != std::string_view::npos) portText = hostPort.substr(colon + 1);
    }
    if (!portText.empty()) {
        if (portText.size() > 10) return false;
        uint64_t port = 0;
        for (char c : portText) {
            if (!isDigit(c)) return false;
            port = port * 10 + uint64_t(c - '0');
        }
        out.hasPort = true;
        out.port = port;
    }
    return true;
}

// ---- Making URLs ----

Ref<URL> URL::build(std::string relative, Ref<URL> base) {
    auto url = std::make_shared<URL>();
    Parts parts = Parts::parse(relative);
    if (base && !parts.hasScheme) {
        parts = parts.resolvedAgainst(base->parts_);
        url->absolute_ = parts.recompose();
        url->base_ = std::move(base);
    } else {
        url->absolute_ = relative;
    }
    if (parts.hasAuthority && !parseAuthority(parts.authority, url->authority_)) return nullptr;
    url->parts_ = std::move(parts);
    url->relative_ = std::move(relative);
    return url;
}

Ref<URL> URL::make(std::string_view text) {
    if (text.empty() || !isAcceptableText(text)) return nullptr;
    return build(std::string(text), nullptr);
}

Ref<URL> URL::make(std::string_view text, const Ref<URL>& base) {
    if (!base) return make(text);
    if (!isAcceptableText(text)) return nullptr;
    return build(std::string(text), base);
}

Ref<URL> URL::fileURLWithPath(std::string_view path) {
    std::string full(path);
    struct stat info {};
    bool directory = !full.empty() && ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return fileURLWithPath(path, directory);
}

Ref<URL> URL::fileURLWithPath(std::string_view path, bool isDirectory) {
    std::string full(path);
    if (full.empty() || full[0] != '/') {
        char cwd[4096];
        std::string base = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
        full = full.empty() ? base : base + (base.ends_with('/') ? "" : "/") + full;
    }
    if (isDirectory && !full.ends_with('/')) full += '/';
    return build("file://" + encodedPath(full), nullptr);
}

// ---- Reading ----

Ref<String> URL::absoluteString() const { return String::make(absolute_); }

Ref<String> URL::relativeString() const { return String::make(relative_); }

Ref<URL> URL::absoluteURL() const {
    if (!base_) return std::static_pointer_cast<URL>(self());
    return build(absolute_, nullptr);
}

Ref<String> URL::scheme() const { return optionalText(parts_.hasScheme, parts_.scheme); }

Ref<String> URL::user() const { return optionalText(authority_.hasUser, authority_.user); }

Ref<String> URL::password() const { return optionalText(authority_.hasPassword, authority_.password); }

Ref<String> URL::host() const { return optionalText(parts_.hasAuthority && !authority_.host.empty(), authority_.host); }

Ref<Number> URL::port() const { return authority_.hasPort ? Number::withLongLong(int64_t(authority_.port)) : nullptr; }

Ref<String> URL::path() const {
    if (parts_.hasScheme && !parts_.hasAuthority && !parts_.path.starts_with('/')) return nullptr;
    std::string p = decoded(parts_.path);
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return String::make(std::move(p));
}

Ref<String> URL::query() const { return optionalText(parts_.hasQuery, parts_.query); }

Ref<String> URL::fragment() const { return optionalText(parts_.hasFragment, parts_.fragment); }

Ref<String> URL::lastPathComponent() const {
    Ref<String> p = path();
    return p ? p->lastPathComponent() : String::make("");
}

Ref<String> URL::pathExtension() const {
    Ref<String> p = path();
    return p ? p->pathExtension() : String::make("");
}

bool URL::hasDirectoryPath() const { return parts_.path.ends_with('/'); }

Ref<URL> URL::URLByAppendingPathComponent(std::string_view component, bool isDirectory) const {
    Parts p = parts_;
    if (p.path.empty()) {
        if (p.hasAuthority) p.path = "/";
    } else if (p.path.back() != '/') {
        p.path += '/';
    }
    p.path += encodedPath(component);
    if (isDirectory && !p.path.ends_with('/')) p.path += '/';
    return build(p.recompose(), nullptr);
}

std::optional<int64_t> URL::fileSizeResourceValue() const {
    if (!isFileURL()) return std::nullopt;
    std::error_code error;
    auto size = std::filesystem::file_size(std::filesystem::path(path()->utf8()), error);
    if (error) return std::nullopt;
    return static_cast<int64_t>(size);
}

bool URL::isFileURL() const {
    return parts_.hasScheme && String::make(parts_.scheme)->compare(*String::make("file"), CaseInsensitiveSearch) ==
                                   ComparisonResult::Same;
}

std::string URL::description() const { return base_ ? relative_ + " -- " + base_->absolute_ : relative_; }

uint64_t URL::hash() const { return fnv1a(absolute_); }

bool URL::isEqual(const Object* other) const {
    auto url = dynamic_cast<const URL*>(other);
    return url && url->relative_ == relative_ && equal(url->base_, base_);
}

}  // namespace ns
