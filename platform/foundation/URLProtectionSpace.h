#pragma once
// What a credential is for: a server (host, port, protocol), the realm it
// named and how it authenticates. A server-trust space carries the server's
// trust from the TLS handshake.

#include <cstdint>
#include <string>

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"
#include "platform/security/Trust.h"

namespace ns {

inline constexpr const char* URLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
inline constexpr const char* URLAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
inline constexpr const char* URLAuthenticationMethodHTTPDigest = "NSURLAuthenticationMethodHTTPDigest";
inline constexpr const char* URLAuthenticationMethodClientCertificate = "NSURLAuthenticationMethodClientCertificate";
inline constexpr const char* URLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";

class URLProtectionSpace : public Object {
    RT_DECLARE_CLASS(URLProtectionSpace)
public:
    URLProtectionSpace() = default;
    static Ref<URLProtectionSpace> make(std::string host, int64_t port, std::string protocol, Ref<String> realm,
                                        std::string authenticationMethod, sec::TrustRef serverTrust = nullptr);

    const std::string& host() const { return host_; }
    int64_t port() const { return port_; }
    // "http" or "https".
    const std::string& protocol() const { return protocol_; }
    const Ref<String>& realm() const { return realm_; }
    const std::string& authenticationMethod() const { return authenticationMethod_; }
    bool receivesCredentialSecurely() const { return protocol_ == "https"; }
    bool isProxy() const { return false; }
    // Only for URLAuthenticationMethodServerTrust.
    const sec::TrustRef& serverTrust() const { return serverTrust_; }

    std::string description() const override;

private:
    std::string host_;
    int64_t port_ = 0;
    std::string protocol_;
    Ref<String> realm_;
    std::string authenticationMethod_ = URLAuthenticationMethodDefault;
    sec::TrustRef serverTrust_;
};

}  // namespace ns
