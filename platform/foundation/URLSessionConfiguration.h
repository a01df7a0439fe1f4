#pragma once
// How a session loads: timeouts, headers added to every request, the cache,
// the cookie store and connection limits. A session copies its
// configuration when it is made, so later changes do not reach it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/HTTPCookieStorage.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URLCache.h"
#include "platform/foundation/URLRequest.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/security/Certificate.h"

namespace ns {

class URLSessionConfiguration : public Object {
    RT_DECLARE_CLASS(URLSessionConfiguration)
public:
    URLSessionConfiguration() = default;

    // The shared URL cache and cookie store.
    static Ref<URLSessionConfiguration> defaultSessionConfiguration();
    // A memory-only cache and a cookie store of its own, both gone with the
    // session.
    static Ref<URLSessionConfiguration> ephemeralSessionConfiguration();
    // The default configuration under an identifier. Transfers do not go on
    // after the app ends; the identifier is kept for those who ask for it.
    static Ref<URLSessionConfiguration> backgroundSessionConfigurationWithIdentifier(std::string identifier);

    const Ref<String>& identifier() const { return identifier_; }

    // The longest wait for more data (seconds); a request's own shorter
    // timeout wins.
    double timeoutIntervalForRequest() const { return timeoutForRequest_; }
    void setTimeoutIntervalForRequest(double seconds) { timeoutForRequest_ = seconds; }
    // The longest a whole transfer may take.
    double timeoutIntervalForResource() const { return timeoutForResource_; }
    void setTimeoutIntervalForResource(double seconds) { timeoutForResource_ = seconds; }

    // The most bytes of one reply a data task holds in memory (after any
    // content decoding): past it the task fails with
    // URLErrorDataLengthExceedsMaximum. Downloads go to a file, unbounded.
    static constexpr uint64_t DefaultMaximumResponseDataLength = 64ull << 20;
    uint64_t maximumResponseDataLength() const { return maximumResponseDataLength_; }
    void setMaximumResponseDataLength(uint64_t bytes) { maximumResponseDataLength_ = bytes; }

    // Added to each request that does not set the field itself.
    const Ref<Dictionary>& HTTPAdditionalHeaders() const { return additionalHeaders_; }
    void setHTTPAdditionalHeaders(Ref<Dictionary> headers) { additionalHeaders_ = std::move(headers); }

    uint64_t requestCachePolicy() const { return requestCachePolicy_; }
    void setRequestCachePolicy(uint64_t policy) { requestCachePolicy_ = policy; }
    // nil: no caching at all.
    const Ref<ns::URLCache>& URLCache() const { return cache_; }
    void setURLCache(Ref<ns::URLCache> cache) { cache_ = std::move(cache); }

    // nil: no cookies at all.
    const Ref<ns::HTTPCookieStorage>& HTTPCookieStorage() const { return cookieStorage_; }
    void setHTTPCookieStorage(Ref<ns::HTTPCookieStorage> storage) { cookieStorage_ = std::move(storage); }
    bool HTTPShouldSetCookies() const { return shouldSetCookies_; }
    void setHTTPShouldSetCookies(bool set) { shouldSetCookies_ = set; }
    uint64_t HTTPCookieAcceptPolicy() const { return cookieAcceptPolicy_; }
    void setHTTPCookieAcceptPolicy(uint64_t policy) { cookieAcceptPolicy_ = policy; }

    long HTTPMaximumConnectionsPerHost() const { return maxConnectionsPerHost_; }
    void setHTTPMaximumConnectionsPerHost(long count) { maxConnectionsPerHost_ = count; }
    bool HTTPShouldUsePipelining() const { return shouldUsePipelining_; }
    void setHTTPShouldUsePipelining(bool use) { shouldUsePipelining_ = use; }
    bool allowsCellularAccess() const { return allowsCellularAccess_; }
    void setAllowsCellularAccess(bool allows) { allowsCellularAccess_ = allows; }
    uint64_t networkServiceType() const { return networkServiceType_; }
    void setNetworkServiceType(uint64_t type) { networkServiceType_ = type; }

    // Certificates the default evaluation of a server's trust accepts as
    // anchors besides the system's: the stand-in for certificate authorities
    // a user has installed on the device.
    const std::vector<sec::CertificateRef>& additionalTrustAnchors() const { return additionalAnchors_; }
    void setAdditionalTrustAnchors(std::vector<sec::CertificateRef> anchors) { additionalAnchors_ = std::move(anchors); }

    bool isEphemeral() const { return ephemeral_; }

    std::string description() const override;
    Id copy() const override;

private:
    Ref<String> identifier_;
    double timeoutForRequest_ = 60;
    double timeoutForResource_ = 7 * 24 * 3600;
    uint64_t maximumResponseDataLength_ = DefaultMaximumResponseDataLength;
    Ref<Dictionary> additionalHeaders_;
    uint64_t requestCachePolicy_ = URLRequestUseProtocolCachePolicy;
    Ref<ns::URLCache> cache_;
    Ref<ns::HTTPCookieStorage> cookieStorage_;
    bool shouldSetCookies_ = true;
    uint64_t cookieAcceptPolicy_ = HTTPCookieAcceptPolicyOnlyFromMainDocumentDomain;
    long maxConnectionsPerHost_ = 4;
    bool shouldUsePipelining_ = false;
    bool allowsCellularAccess_ = true;
    uint64_t networkServiceType_ = NetworkServiceTypeDefault;
    std::vector<sec::CertificateRef> additionalAnchors_;
    bool ephemeral_ = false;
};

}  // namespace ns
