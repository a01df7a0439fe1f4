#include "platform/foundation/HTTPURLResponse.h"

#include <cctype>
#include <cstdlib>

#include "platform/foundation/Format.h"

namespace ns {

RT_DEFINE_CLASS(HTTPURLResponse, URLResponse, "NSHTTPURLResponse")

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string unquoted(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return std::string(text);
}

// The value of `name` among the ";"-separated parameters after the first
// item of a header value ("text/html; charset=utf-8").
std::string parameter(std::string_view value, std::string_view name) {
    size_t pos = value.find(';');
    while (pos != std::string_view::npos) {
        value.remove_prefix(pos + 1);
        size_t end = value.find(';');
        std::string_view item = trim(value.substr(0, end));
        size_t eq = item.find('=');
        if (eq != std::string_view::npos && HTTPHeaderFields::namesEqual(trim(item.substr(0, eq)), name)) {
            return unquoted(item.substr(eq + 1));
        }
        pos = end;
    }
    return {};
}

}  // namespace

Ref<HTTPURLResponse> HTTPURLResponse::make(Ref<ns::URL> url, int64_t statusCode, std::string_view httpVersion,
                                           const Ref<Dictionary>& headerFields) {
    auto response = std::make_shared<HTTPURLResponse>();
    response->url_ = std::move(url);
    response->statusCode_ = statusCode;
    if (!httpVersion.empty()) response->httpVersion_ = std::string(httpVersion);
    response->headers_ = HTTPHeaderFields::fromDictionary(headerFields.get());
    if (const std::string* cookie = response->headers_.value("Set-Cookie")) {
        response->setCookieLines_.push_back(*cookie);
    }
    response->adoptHeaders();
    return response;
}

Ref<HTTPURLResponse> HTTPURLResponse::make(Ref<ns::URL> url, int64_t statusCode, std::string_view httpVersion,
                                           const std::vector<HTTPHeaderFields::Field>& headerLines) {
    auto response = std::make_shared<HTTPURLResponse>();
    response->url_ = std::move(url);
    response->statusCode_ = statusCode;
    if (!httpVersion.empty()) response->httpVersion_ = std::string(httpVersion);
    response->headers_.reserve(headerLines.size());
    for (const auto& [name, value] : headerLines) {
        response->headers_.add(name, value);
        if (HTTPHeaderFields::namesEqual(name, "Set-Cookie")) response->setCookieLines_.push_back(value);
    }
    response->adoptHeaders();
    return response;
}

void HTTPURLResponse::adoptHeaders() {
    if (const std::string* type = headers_.value("Content-Type")) {
        std::string_view value = *type;
        std::string mime(trim(value.substr(0, value.find(';'))));
        for (char& c : mime) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (!mime.empty()) mimeType_ = String::make(mime);
        std::string charset = parameter(value, "charset");
        if (!charset.empty()) textEncodingName_ = String::make(charset);
    }
    expectedContentLength_ = URLResponseUnknownLength;
    if (const std::string* length = headers_.value("Content-Length")) {
        std::string_view digits = trim(*length);
        if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos) {
            expectedContentLength_ = std::strtoll(std::string(digits).c_str(), nullptr, 10);
        }
    }
}

Ref<String> HTTPURLResponse::valueForHTTPHeaderField(std::string_view field) const {
    const std::string* value = headers_.value(field);
    return value ? String::make(*value) : nullptr;
}

Ref<String> HTTPURLResponse::suggestedFilename() const {
    std::string name;
    if (const std::string* disposition = headers_.value("Content-Disposition")) {
        name = parameter(*disposition, "filename");
        // Only the last component of a name the server sends.
        size_t slash = name.find_last_of("/\\");
        if (slash != std::string::npos) name = name.substr(slash + 1);
    }
    return suggestedFilenameFrom(std::move(name));
}

std::string HTTPURLResponse::description() const {
    return format("<%@: %p> { URL: %@ } { Status Code: %lld, Headers %@ }", className(), static_cast<const void*>(this),
                  url_ ? url_->absoluteString() : nullptr, statusCode_, allHeaderFields());
}

std::string HTTPURLResponse::localizedStringForStatusCode(int64_t statusCode) {
    switch (statusCode) {
    case 100: return "continue";
    case 101: return "switching protocols";
    case 200: return "no error";
    case 201: return "created";
    case 202: return "accepted";
    case 203: return "non-authoritative information";
    case 204: return "no content";
    case 205: return "reset content";
    case 206: return "partial content";
    case 300: return "multiple choices";
    case 301: return "moved permanently";
    case 302: return "found";
    case 303: return "see other";
    case 304: return "not modified";
    case 305: return "needs proxy";
    case 307: return "temporarily redirected";
    case 308: return "permanently redirected";
    case 400: return "bad request";
    case 401: return "unauthorized";
    case 402: return "payment required";
    case 403: return "forbidden";
    case 404: return "not found";
    case 405: return "method not allowed";
    case 406: return "unacceptable";
    case 407: return "proxy authentication required";
    case 408: return "request timed out";
    case 409: return "conflict";
    case 410: return "no longer exists";
    case 411: return "length required";
    case 412: return "precondition failed";
    case 413: return "request too large";
    case 414: return "requested URL too long";
    case 415: return "unsupported media type";
    case 416: return "requested range not satisfiable";
    case 417: return "expectation failed";
    case 500: return "internal server error";
    case 501: return "unimplemented";
    case 502: return "bad gateway";
    case 503: return "service unavailable";
    case 504: return "gateway timed out";
    case 505: return "unsupported version";
    default: break;
    }
    if (statusCode >= 100 && statusCode < 200) return "informational";
    if (statusCode >= 200 && statusCode < 300) return "success";
    if (statusCode >= 300 && statusCode < 400) return "redirected";
    if (statusCode >= 400 && statusCode < 500) return "client error";
    return "server error";
}

}  // namespace ns
