#include "platform/security/Policy.h"

namespace sec {

RT_DEFINE_CLASS(Policy, ns::Object, "SecPolicy")

Policy::Policy(Kind kind, bool server, std::string hostName)
    : kind_(kind), server_(server), hostName_(std::move(hostName)) {}

ns::Ref<Policy> Policy::createBasicX509() { return std::make_shared<Policy>(Kind::BasicX509, false, std::string()); }

ns::Ref<Policy> Policy::createSsl(bool server, std::string_view hostName) {
    std::string host(hostName);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    return std::make_shared<Policy>(Kind::Ssl, server, std::move(host));
}

std::string Policy::description() const {
    if (kind_ == Kind::BasicX509) return "<SecPolicy basic X.509>";
    std::string text = server_ ? "<SecPolicy SSL server" : "<SecPolicy SSL client";
    if (!hostName_.empty()) text += " " + hostName_;
    return text + ">";
}

}  // namespace sec
