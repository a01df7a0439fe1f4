#include "platform/foundation/URLResponse.h"

#include <cctype>

#include "platform/foundation/Format.h"

namespace ns {

RT_DEFINE_CLASS(URLResponse, Object, "NSURLResponse")

namespace {

struct TypeEntry {
    const char* extension;
    const char* mimeType;
};

// Both directions read this table: the first extension of a type is the one
// a suggested file name gets.
constexpr TypeEntry typeTable[] = {
    {"html", "text/html"},        {"htm", "text/html"},         {"txt", "text/plain"},
    {"css", "text/css"},          {"js", "text/javascript"},    {"json", "application/json"},
    {"xml", "application/xml"},   {"plist", "application/x-plist"}, {"png", "image/png"},
    {"jpg", "image/jpeg"},        {"jpeg", "image/jpeg"},       {"gif", "image/gif"},
    {"webp", "image/webp"},       {"bmp", "image/bmp"},         {"ico", "image/x-icon"},
    {"svg", "image/svg+xml"},     {"pdf", "application/pdf"},   {"zip", "application/zip"},
    {"gz", "application/gzip"},   {"mp3", "audio/mpeg"},        {"mp4", "video/mp4"},
};

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

Ref<URLResponse> URLResponse::make(Ref<ns::URL> url, Ref<String> mimeType, int64_t expectedContentLength,
                                   Ref<String> textEncodingName) {
    auto response = std::make_shared<URLResponse>();
    response->url_ = std::move(url);
    response->mimeType_ = std::move(mimeType);
    response->expectedContentLength_ = expectedContentLength;
    response->textEncodingName_ = std::move(textEncodingName);
    return response;
}

std::string URLResponse::mimeTypeForPathExtension(std::string_view extension) {
    const std::string ext = lowered(extension);
    for (const auto& entry : typeTable) {
        if (ext == entry.extension) return entry.mimeType;
    }
    return "application/octet-stream";
}

Ref<String> URLResponse::suggestedFilenameFrom(std::string name) const {
    if (name.empty() || name == "/") {
        auto last = url_ ? url_->lastPathComponent() : nullptr;
        name = last ? last->utf8() : std::string();
    }
    if (name.empty() || name == "/") name = "Unknown";
    if (name.find('.') == std::string::npos && mimeType_) {
        const std::string type = lowered(mimeType_->utf8());
        for (const auto& entry : typeTable) {
            if (type == entry.mimeType) {
                name += std::string(".") + entry.extension;
                break;
            }
        }
    }
    return String::make(std::move(name));
}

Ref<String> URLResponse::suggestedFilename() const { return suggestedFilenameFrom({}); }

std::string URLResponse::description() const {
    return format("<%@: %p> { URL: %@ }", className(), static_cast<const void*>(this), url_ ? url_->absoluteString() : nullptr);
}

}  // namespace ns
