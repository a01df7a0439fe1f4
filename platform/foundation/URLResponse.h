#pragma once
// The metadata of a loaded URL: its MIME type, the text encoding the server
// named, the length it announced (-1 when unknown) and a file name for
// saving it.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's "unknown length".
inline constexpr int64_t URLResponseUnknownLength = -1;

class URLResponse : public Object {
    RT_DECLARE_CLASS(URLResponse)
public:
    URLResponse() = default;
    static Ref<URLResponse> make(Ref<ns::URL> url, Ref<String> mimeType, int64_t expectedContentLength,
                                 Ref<String> textEncodingName);

    const Ref<ns::URL>& URL() const { return url_; }
    const Ref<String>& MIMEType() const { return mimeType_; }
    int64_t expectedContentLength() const { return expectedContentLength_; }
    const Ref<String>& textEncodingName() const { return textEncodingName_; }
    // The name the server suggested, else the URL's last path component,
    // else "Unknown"; an extension for the MIME type is added when the name
    // has none.
    virtual Ref<String> suggestedFilename() const;

    std::string description() const override;
    Id copy() const override { return self(); }

    // A MIME type for a file's extension ("png" -> "image/png");
    // "application/octet-stream" for extensions it does not know.
    static std::string mimeTypeForPathExtension(std::string_view extension);

protected:
    Ref<String> suggestedFilenameFrom(std::string name) const;

    Ref<ns::URL> url_;
    Ref<String> mimeType_;
    int64_t expectedContentLength_ = URLResponseUnknownLength;
    Ref<String> textEncodingName_;
};

}  // namespace ns
