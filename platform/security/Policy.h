#pragma once
// What a trust evaluation checks besides the chain reaching an anchor: the
// basic X.509 policy checks only the chain; the SSL policy also checks that
// the certificate may serve TLS and, when a host name is given, that it names
// that host (a DNS name, or an IP address such as 127.0.0.1).

#include <string>
#include <string_view>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace sec {

class Policy final : public ns::Object {
    RT_DECLARE_CLASS(Policy)
public:
    enum class Kind { BasicX509, Ssl };

    static ns::Ref<Policy> createBasicX509();
    // `server` true checks a server's certificate, false a client's. An empty
    // host name skips the name check. "[::1]" is taken as the address ::1.
    static ns::Ref<Policy> createSsl(bool server, std::string_view hostName);

    Kind kind() const { return kind_; }
    bool isServer() const { return server_; }
    const std::string& hostName() const { return hostName_; }

    std::string description() const override;

    Policy(Kind kind, bool server, std::string hostName);

private:
    Kind kind_;
    bool server_;
    std::string hostName_;
};

using PolicyRef = ns::Ref<Policy>;

}  // namespace sec
