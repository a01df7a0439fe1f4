#pragma once
// A URL load request: the URL, the HTTP method, header fields (looked up
// without regard to case), a body as data or as a stream, and the load
// settings. URLRequest is immutable; MutableURLRequest changes it in place.
// The settings are registered properties, so key-value coding can copy them.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/HTTPHeaderFields.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's numbering.
enum URLRequestCachePolicy : uint64_t {
    URLRequestUseProtocolCachePolicy = 0,
    URLRequestReloadIgnoringLocalCacheData = 1,
    URLRequestReturnCacheDataElseLoad = 2,
    URLRequestReturnCacheDataDontLoad = 3,
    URLRequestReloadIgnoringLocalAndRemoteCacheData = 4,
    URLRequestReloadRevalidatingCacheData = 5,
};

enum URLRequestNetworkServiceType : uint64_t {
    NetworkServiceTypeDefault = 0,
    NetworkServiceTypeVoIP = 1,
    NetworkServiceTypeVideo = 2,
    NetworkServiceTypeBackground = 3,
    NetworkServiceTypeVoice = 4,
    NetworkServiceTypeResponsiveData = 6,
    NetworkServiceTypeCallSignaling = 11,
};

class MutableURLRequest;

class URLRequest : public Object {
    RT_DECLARE_CLASS(URLRequest)
public:
    static constexpr double DefaultTimeoutInterval = 60.0;

    URLRequest() = default;
    // A nil URL is allowed: loading such a request fails with a bad-URL error.
    static Ref<URLRequest> make(Ref<ns::URL> url, uint64_t cachePolicy = URLRequestUseProtocolCachePolicy,
                                double timeoutInterval = DefaultTimeoutInterval);
    // An immutable request with the same contents.
    static Ref<URLRequest> copyOf(const URLRequest& request);

    const Ref<ns::URL>& URL() const { return url_; }
    uint64_t cachePolicy() const { return cachePolicy_; }
    double timeoutInterval() const { return timeoutInterval_; }
    const Ref<ns::URL>& mainDocumentURL() const { return mainDocumentURL_; }
    uint64_t networkServiceType() const { return networkServiceType_; }
    bool allowsCellularAccess() const { return allowsCellularAccess_; }

    // "GET" unless set.
    const Ref<String>& HTTPMethod() const { return method_; }
    // nil when no field is set.
    Ref<Dictionary> allHTTPHeaderFields() const;
    // Any case of the name; nil when absent.
    Ref<String> valueForHTTPHeaderField(std::string_view field) const;
    const HTTPHeaderFields& headerFields() const { return headers_; }
    const Ref<Data>& HTTPBody() const { return body_; }
    const Ref<InputStream>& HTTPBodyStream() const { return bodyStream_; }
    bool HTTPShouldHandleCookies() const { return shouldHandleCookies_; }
    bool HTTPShouldUsePipelining() const { return shouldUsePipelining_; }

    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override;
    Id mutableCopy() const override;

protected:
    void copyFrom(const URLRequest& other);

    Ref<ns::URL> url_;
    uint64_t cachePolicy_ = URLRequestUseProtocolCachePolicy;
    double timeoutInterval_ = DefaultTimeoutInterval;
    Ref<ns::URL> mainDocumentURL_;
    uint64_t networkServiceType_ = NetworkServiceTypeDefault;
    bool allowsCellularAccess_ = true;
    Ref<String> method_ = String::make("GET");
    HTTPHeaderFields headers_;
    Ref<Data> body_;
    Ref<InputStream> bodyStream_;
    bool shouldHandleCookies_ = true;
    bool shouldUsePipelining_ = false;
};

class MutableURLRequest : public URLRequest {
    RT_DECLARE_CLASS(MutableURLRequest)
public:
    MutableURLRequest() = default;
    static Ref<MutableURLRequest> make(Ref<ns::URL> url, uint64_t cachePolicy = URLRequestUseProtocolCachePolicy,
                                       double timeoutInterval = DefaultTimeoutInterval);
    static Ref<MutableURLRequest> copyOf(const URLRequest& request);

    void setURL(Ref<ns::URL> url) { url_ = std::move(url); }
    void setCachePolicy(uint64_t policy) { cachePolicy_ = policy; }
    void setTimeoutInterval(double seconds) { timeoutInterval_ = seconds; }
    void setMainDocumentURL(Ref<ns::URL> url) { mainDocumentURL_ = std::move(url); }
    void setNetworkServiceType(uint64_t type) { networkServiceType_ = type; }
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }
    // nil restores "GET".
    void setHTTPMethod(std::string_view method);
    // Replaces every field; nil removes them all.
    void setAllHTTPHeaderFields(const Ref<Dictionary>& fields);
    // nil removes the field.
    void setValueForHTTPHeaderField(const Ref<String>& value, std::string_view field);
    void setValueForHTTPHeaderField(std::string_view value, std::string_view field);
    void addValueForHTTPHeaderField(std::string_view value, std::string_view field);
    // A body and a body stream exclude each other: setting one clears the other.
    void setHTTPBody(Ref<Data> body);
    void setHTTPBodyStream(Ref<InputStream> stream);
    void setHTTPShouldHandleCookies(bool handle) { shouldHandleCookies_ = handle; }
    void setHTTPShouldUsePipelining(bool use) { shouldUsePipelining_ = use; }

    Id copy() const override;
};

}  // namespace ns
