#pragma once
// The response to an HTTP request: status code and header fields, with the
// MIME type and text encoding read from Content-Type and the expected length
// from Content-Length.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/HTTPHeaderFields.h"
#include "platform/foundation/URLResponse.h"

namespace ns {

class HTTPURLResponse : public URLResponse {
    RT_DECLARE_CLASS(HTTPURLResponse)
public:
    HTTPURLResponse() = default;
    // Header fields from a dictionary of texts.
    static Ref<HTTPURLResponse> make(Ref<ns::URL> url, int64_t statusCode, std::string_view httpVersion,
                                     const Ref<Dictionary>& headerFields);
    // Header lines as received: repeated names are joined with ", " in the
    // fields, and each Set-Cookie line is also kept on its own.
    static Ref<HTTPURLResponse> make(Ref<ns::URL> url, int64_t statusCode, std::string_view httpVersion,
                                     const std::vector<HTTPHeaderFields::Field>& headerLines);

    int64_t statusCode() const { return statusCode_; }
    const std::string& HTTPVersion() const { return httpVersion_; }
    // A dictionary whose lookups ignore the case of the name.
    Ref<Dictionary> allHeaderFields() const { return headers_.dictionary(); }
    Ref<String> valueForHTTPHeaderField(std::string_view field) const;
    const HTTPHeaderFields& headerFields() const { return headers_; }
    // Every Set-Cookie line, in order.
    const std::vector<std::string>& setCookieLines() const { return setCookieLines_; }

    Ref<String> suggestedFilename() const override;
    std::string description() const override;

    // The platform's lower-case text for a status code: "no error" for 200,
    // "not found" for 404; unknown codes get their class's text.
    static std::string localizedStringForStatusCode(int64_t statusCode);

private:
    void adoptHeaders();

    int64_t statusCode_ = 0;
    std::string httpVersion_ = "HTTP/1.1";
    HTTPHeaderFields headers_;
    std::vector<std::string> setCookieLines_;
};

}  // namespace ns
