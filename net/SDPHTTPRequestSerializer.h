#pragma once
// Turns (method, URL string, parameters) into a request: default headers
// (Accept-Language, User-Agent), the load settings the owner has set, and the
// parameters as a query string or a form-urlencoded body. Also builds
// streamed multipart requests and can write such a body to a file.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/SDPMultipartFormData.h"
#include "net/SDPURLRequestSerialization.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/runtime/Class.h"

enum SDPHTTPRequestQueryStringSerializationStyle : uint64_t {
    SDPHTTPRequestQueryStringDefaultStyle = 0,
};

// The six load settings copied into requests once set, in the order they are
// applied: "allowsCellularAccess", "cachePolicy", "HTTPShouldHandleCookies",
// "HTTPShouldUsePipelining", "networkServiceType", "timeoutInterval".
const std::vector<std::string>& SDPHTTPRequestSerializerObservedKeyPaths();

class SDPHTTPRequestSerializer : public ns::Object, public SDPURLRequestSerialization, public ns::Coding {
    RT_DECLARE_CLASS(SDPHTTPRequestSerializer)
public:
    // Returns the query text; a nil result with `*error` set aborts the request.
    using QueryStringSerializationBlock = std::function<ns::Ref<ns::String>(
        const ns::Ref<ns::URLRequest>& request, const ns::Id& parameters, ns::Ref<ns::Error>* error)>;
    using ConstructingBodyBlock = std::function<void(SDPMultipartFormData& formData)>;
    using WriteCompletionHandler = std::function<void(const ns::Ref<ns::Error>& error)>;

    SDPHTTPRequestSerializer();
    ~SDPHTTPRequestSerializer() override;
    static ns::Ref<SDPHTTPRequestSerializer> serializer() { return std::make_shared<SDPHTTPRequestSerializer>(); }

    // Of form bodies and multipart text values; UTF-8 by default.
    ns::StringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(ns::StringEncoding encoding) { stringEncoding_ = encoding; }

    // ---- Observed settings: each set announces one change and marks the
    // setting for copying into every later request ----
    bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows);
    uint64_t cachePolicy() const { return cachePolicy_; }
    void setCachePolicy(uint64_t policy);
    bool HTTPShouldHandleCookies() const { return HTTPShouldHandleCookies_; }
    void setHTTPShouldHandleCookies(bool handle);
    bool HTTPShouldUsePipelining() const { return HTTPShouldUsePipelining_; }
    void setHTTPShouldUsePipelining(bool use);
    uint64_t networkServiceType() const { return networkServiceType_; }
    void setNetworkServiceType(uint64_t type);
    double timeoutInterval() const { return timeoutInterval_; }
    void setTimeoutInterval(double seconds);
    // NO for the six settings above (their setters announce themselves).
    static bool automaticallyNotifiesObserversForKey(std::string_view key);
    const ns::Ref<ns::MutableSet>& mutableObservedChangedKeyPaths() const { return mutableObservedChangedKeyPaths_; }

    // Methods whose parameters go into the URL: {"GET", "HEAD", "DELETE"}.
    const ns::Ref<ns::Set>& HTTPMethodsEncodingParametersInURI() const { return HTTPMethodsEncodingParametersInURI_; }
    void setHTTPMethodsEncodingParametersInURI(ns::Ref<ns::Set> methods) {
        HTTPMethodsEncodingParametersInURI_ = std::move(methods);
    }

    // ---- Default headers ----
    ns::Ref<ns::Dictionary> HTTPRequestHeaders() const;
    // nil removes the header.
    void setValueForHTTPHeaderField(const ns::Ref<ns::String>& value, std::string_view field);
    void setValueForHTTPHeaderField(std::string_view value, std::string_view field);
    ns::Ref<ns::String> valueForHTTPHeaderField(std::string_view field) const;
    void setAuthorizationHeaderFieldWithUsername(std::string_view username, std::string_view password);
    void clearAuthorizationHeader();

    // ---- Query string ----
    // Stores the style and drops any block; a style other than the default
    // gives no query string.
    void setQueryStringSerializationWithStyle(uint64_t style);
    void setQueryStringSerializationWithBlock(QueryStringSerializationBlock block);
    uint64_t queryStringSerializationStyle() const { return queryStringSerializationStyle_; }

    // ---- Building requests ----
    // nil only when serializing fails (the query-string block's error).
    ns::Ref<ns::MutableURLRequest> requestWithMethod(std::string_view method, std::string_view URLString,
                                                     const ns::Id& parameters, ns::Ref<ns::Error>* error);
    // The same for a URL already parsed.
    ns::Ref<ns::MutableURLRequest> requestWithMethod(std::string_view method, const ns::Ref<ns::URL>& URL,
                                                     const ns::Id& parameters, ns::Ref<ns::Error>* error);
    ns::Ref<ns::MutableURLRequest> requestBySerializingRequest(const ns::Ref<ns::URLRequest>& request,
                                                               const ns::Id& parameters,
                                                               ns::Ref<ns::Error>* error) override;
    // Settings and default headers only; the flattened parameters become form
    // fields ahead of the parts `block` appends.
    ns::Ref<ns::MutableURLRequest> multipartFormRequestWithMethod(std::string_view method, std::string_view URLString,
                                                                  const ns::Id& parameters,
                                                                  const ConstructingBodyBlock& block,
                                                                  ns::Ref<ns::Error>* error);
    // Returns at once a copy of `request` without its body stream; the body is
    // written to `fileURL` on a global queue and `handler` (if any) hears the
    // outcome on the main queue.
    ns::Ref<ns::MutableURLRequest> requestWithMultipartFormRequest(const ns::Ref<ns::URLRequest>& request,
                                                                   const ns::Ref<ns::URL>& fileURL,
                                                                   WriteCompletionHandler handler);

    // ---- Archiving and copying ----
    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    // A fresh serializer of the same class with the default headers, the
    // style and the block; settings and encoding start from their defaults.
    ns::Id copy() const override;

protected:
    // A mutable copy of `request` with every default header it lacks.
    ns::Ref<ns::MutableURLRequest> requestWithDefaultHeaders(const ns::URLRequest& request) const;
    bool encodesParametersInURI(const ns::URLRequest& request) const;
    // What the body serializers start from: for a method that puts its
    // parameters in the URI, the finished request of this class (and
    // *finished is set); otherwise the request with the default headers and,
    // when there are parameters, `contentType` unless one is set already.
    ns::Ref<ns::MutableURLRequest> requestForBody(const ns::Ref<ns::URLRequest>& request, const ns::Id& parameters,
                                                  ns::Ref<ns::Error>* error, const char* contentType,
                                                  bool* finished);

private:
    void observedSettingChanged(const std::string& keyPath, const ns::Id& newValue);
    template <class T, class V>
    void setObserved(T& member, V value, std::string_view key);

    ns::StringEncoding stringEncoding_ = ns::StringEncoding::UTF8;
    bool allowsCellularAccess_ = false;
    uint64_t cachePolicy_ = 0;
    bool HTTPShouldHandleCookies_ = false;
    bool HTTPShouldUsePipelining_ = false;
    uint64_t networkServiceType_ = 0;
    double timeoutInterval_ = 0;
    ns::Ref<ns::Set> HTTPMethodsEncodingParametersInURI_;
    ns::Ref<ns::MutableSet> mutableObservedChangedKeyPaths_;
    ns::Ref<ns::MutableDictionary> mutableHTTPRequestHeaders_;
    uint64_t queryStringSerializationStyle_ = SDPHTTPRequestQueryStringDefaultStyle;
    QueryStringSerializationBlock queryStringSerialization_;
    std::vector<ns::Id> observationTokens_;
};
