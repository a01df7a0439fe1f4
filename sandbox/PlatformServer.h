#pragma once
// Stand-in of the aggregator's platform server: start-up (with an optional
// announcement), login, the entry check, the role report and the order.
// Every reply is {code, msg, data} with the code "200" on success; a request
// that lacks a field or whose sign does not match gets another code and a
// message saying why. Role and order requests must carry a valid sign.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "platform/runtime/Object.h"
#include "sandbox/HttpServer.h"

namespace sandbox {

class PlatformServer {
public:
    struct Notice {
        std::string title;
        std::string content;
        std::string type = "1";  // "1" plain text, "2" JSON with links, other: a page at `url`
        std::string url;
    };

    explicit PlatformServer(int port = 0);

    HttpServer& http() { return http_; }
    const HttpServer& http() const { return http_; }

    // The announcement "/init" hands out; none by default.
    void setNotice(std::optional<Notice> notice);
    // Every later login is given this token instead of a fresh one.
    void setLoginToken(std::optional<std::string> token);

private:
    Response respond(const Request& request);
    ns::Id init(const FormFields& form);
    ns::Id login(const FormFields& form);
    ns::Id enter(const FormFields& form);
    ns::Id reportRole(const FormFields& form);
    ns::Id placeOrder(const FormFields& form);

    std::mutex lock_;
    std::optional<Notice> notice_;
    std::optional<std::string> loginToken_;
    std::map<std::string, std::string> superUsers_;  // uid -> super_user_id
    std::map<std::tuple<std::string, std::string, std::string>, std::string> roles_;  // (user, server, game role) -> role id
    std::uint64_t logins_ = 0;
    std::uint64_t orders_ = 0;
    HttpServer http_;  // last: it stops before the state above goes
};

// The notice of the start-up reply for a text: type "1" the plain text,
// "2" the text as one link to `pageURL`, "web" the page at `pageURL`.
PlatformServer::Notice noticeOf(const std::string& text, const std::string& type, const std::string& pageURL);

}  // namespace sandbox
