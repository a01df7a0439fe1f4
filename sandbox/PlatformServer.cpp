#include "sandbox/PlatformServer.h"

#include <string_view>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/String.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"
#include "sandbox/Json.h"
#include "sandbox/Signature.h"

namespace sandbox {

namespace {

ns::Id reply(std::string_view code, std::string_view message, ns::Id data = nullptr) {
    if (!data) data = ns::MutableDictionary::make();
    return ns::Dictionary::make({{"code", ns::str(std::string(code))},
                                 {"msg", ns::str(std::string(message))},
                                 {"data", data}});
}

// The first of `names` the form lacks or leaves empty, else empty.
std::string firstMissing(const FormFields& form, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (form.value(name).empty()) return std::string(name);
    return {};
}

ns::Id missingField(const std::string& name) { return reply("400", name + " is missing"); }

ns::Id badSign() { return reply("401", "sign error"); }

}  // namespace

PlatformServer::PlatformServer(int port) : http_([this](const Request& request) { return respond(request); }, port) {}

void PlatformServer::setNotice(std::optional<Notice> notice) {
    std::lock_guard guard(lock_);
    notice_ = std::move(notice);
}

void PlatformServer::setLoginToken(std::optional<std::string> token) {
    std::lock_guard guard(lock_);
    loginToken_ = std::move(token);
}

Response PlatformServer::respond(const Request& request) {
    if (request.method != "POST") return Response::notFound();
    FormFields form = request.fields();
    ns::Id answer;
    if (request.path == "/init") answer = init(form);
    else if (request.path == "/login/index" || request.path == "/login/special") answer = login(form);
    else if (request.path == "/login/enter") answer = enter(form);
    else if (request.path == "/role/index") answer = reportRole(form);
    else if (request.path == "/order/index") answer = placeOrder(form);
    else return Response::notFound();
    return Response::json(jsonText(answer));
}

ns::Id PlatformServer::init(const FormFields& form) {
    if (std::string missing = firstMissing(form, {"platform_id", "game_id"}); !missing.empty())
        return missingField(missing);
    std::lock_guard guard(lock_);
    ns::Id notice = ns::MutableDictionary::make();
    if (notice_) {
        notice = ns::Dictionary::make({{"notice_url", ns::str(notice_->url)},
                                       {"notice_title", ns::str(notice_->title)},
                                       {"notice_type", ns::str(notice_->type)},
                                       {"notice_content", ns::str(notice_->content)}});
    }
    return reply("200", "success", ns::Dictionary::make({{"notice_data", notice}}));
}

ns::Id PlatformServer::login(const FormFields& form) {
    if (std::string missing = firstMissing(form, {"game_id", "token", "platform_id", "uid"}); !missing.empty())
        return missingField(missing);
    std::lock_guard guard(lock_);
    const std::string uid = form.value("uid");
    auto [user, added] = superUsers_.try_emplace(uid, std::to_string(100001 + superUsers_.size()));
    (void)added;
    ++logins_;
    std::string token = loginToken_ ? *loginToken_
                                    : sec::hexLower(sec::md5(user->second + ":" + form.value("token") + ":" +
                                                             std::to_string(logins_)));
    return reply("200", "success",
                 ns::Dictionary::make({{"super_user_id", ns::str(user->second)}, {"token", ns::str(token)}}));
}

ns::Id PlatformServer::enter(const FormFields& form) {
    if (std::string missing = firstMissing(form, {"game_id", "super_user_id", "service_id", "service_name"});
        !missing.empty())
        return missingField(missing);
    return reply("200", "success");
}

ns::Id PlatformServer::reportRole(const FormFields& form) {
    if (std::string missing = firstMissing(form, {"super_user_id", "game_id", "service_id", "role_id", "random", "sign"});
        !missing.empty())
        return missingField(missing);
    std::string expected = signatureOf(
        {form.value("super_user_id"), form.value("game_id"), form.value("service_id"), form.value("random")});
    if (form.value("sign") != expected) return badSign();
    std::lock_guard guard(lock_);
    auto key = std::make_tuple(form.value("super_user_id"), form.value("service_id"), form.value("role_id"));
    auto [role, added] = roles_.try_emplace(key, std::to_string(500001 + roles_.size()));
    (void)added;
    return reply("200", "success", ns::Dictionary::make({{"role_id", ns::str(role->second)}}));
}

ns::Id PlatformServer::placeOrder(const FormFields& form) {
    if (std::string missing = firstMissing(form, {"super_user_id", "platform_id", "game_order_sn", "game_id", "good_id",
                                                  "money", "role_id", "random", "sign"});
        !missing.empty())
        return missingField(missing);
    std::string expected = signatureOf({form.value("super_user_id"), form.value("platform_id"),
                                        form.value("game_order_sn"), form.value("game_id"), form.value("random")});
    if (form.value("sign") != expected) return badSign();
    std::lock_guard guard(lock_);
    ++orders_;
    return reply("200", "success",
                 ns::Dictionary::make({{"order_id", ns::str("SO" + std::to_string(70000000 + orders_))}}));
}

PlatformServer::Notice noticeOf(const std::string& text, const std::string& type, const std::string& pageURL) {
    if (type == "2") {
        ns::Id linked = ns::Dictionary::make(
            {{"content", ns::str(text)}, {"url_content", ns::str(text)}, {"url", ns::str(pageURL)}});
        return {"Notice", jsonText(linked), "2", ""};
    }
    if (type == "web") return {"Notice", "", "3", pageURL};
    return {"Notice", text, "1", ""};
}

}  // namespace sandbox
