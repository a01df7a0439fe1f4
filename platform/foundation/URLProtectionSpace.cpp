#include "platform/foundation/URLProtectionSpace.h"

#include "platform/foundation/Format.h"

namespace ns {

RT_DEFINE_CLASS(URLProtectionSpace, Object, "NSURLProtectionSpace")

Ref<URLProtectionSpace> URLProtectionSpace::make(std::string host, int64_t port, std::string protocol,
                                                 Ref<String> realm, std::string authenticationMethod,
                                                 sec::TrustRef serverTrust) {
    auto space = std::make_shared<URLProtectionSpace>();
    space->host_ = std::move(host);
    space->port_ = port;
    space->protocol_ = std::move(protocol);
    space->realm_ = std::move(realm);
    space->authenticationMethod_ = std::move(authenticationMethod);
    space->serverTrust_ = std::move(serverTrust);
    return space;
}

std::string URLProtectionSpace::description() const {
    return format("<%@: %p>: Host:%@, Server:%@, Auth-Scheme:%@, Realm:%@, Port:%lld, Proxy:NO", className(),
                  static_cast<const void*>(this), host_, protocol_, authenticationMethod_, realm_, port_);
}

}  // namespace ns
