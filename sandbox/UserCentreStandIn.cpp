#include "sandbox/UserCentreStandIn.h"

#include <set>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "sandbox/Json.h"

namespace sandbox {

namespace {

const std::set<std::string> kLists = {"News/lists", "Server/lists", "Card/lists", "Transaction/lists",
                                      "home/getCoupons", "home/getCouponsLog"};

// A JSON string literal of a text (line breaks included).
std::string q(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string field(const ns::Id& fields, const char* key) {
    auto dictionary = ns::cast<ns::Dictionary>(fields);
    ns::Id value = dictionary ? dictionary->objectForKey(key) : nullptr;
    return value ? ns::textOf(value) : std::string();
}

Response jsonPage(std::string body) {
    Response response;
    response.contentType = "text/html; charset=utf-8";
    response.body = std::move(body);
    return response;
}

}  // namespace

void UserCentreStandIn::setFault(const std::string& path, Fault fault) {
    std::lock_guard guard(lock_);
    faults_[path] = fault;
}

void UserCentreStandIn::setRebateText(std::string text) {
    std::lock_guard guard(lock_);
    rebate_ = std::move(text);
}

void UserCentreStandIn::setAvatar(bool named) {
    std::lock_guard guard(lock_);
    avatar_ = named;
}

void UserCentreStandIn::setCounters(std::string json) {
    std::lock_guard guard(lock_);
    counters_ = std::move(json);
}

void UserCentreStandIn::setCountersStatus(std::string json) {
    std::lock_guard guard(lock_);
    countersStatus_ = std::move(json);
}

std::optional<Response> UserCentreStandIn::answer(const std::string& endpoint, const FormFields& fields,
                                                  const std::string& origin) {
    std::lock_guard guard(lock_);
    bool home = endpoint == "Home/number" || endpoint == "Home/index";
    if (!home && !kLists.count(endpoint)) return std::nullopt;
    auto fault = faults_.find(endpoint);
    switch (fault == faults_.end() ? Fault::None : fault->second) {
        case Fault::ServerError: {
            Response response;
            response.status = 500;
            response.body = R"({"error":"stand-in asked to fail"})";
            return response;
        }
        case Fault::Html: {
            Response response;
            response.contentType = "text/html; charset=utf-8";
            response.body = "<!DOCTYPE html><html><body><p>维护中</p></body></html>";
            return response;
        }
        case Fault::NotArray: return jsonPage(R"({"total_page":3,"now_page":1,"lists":{"0":"x"}})");
        case Fault::Empty: return jsonPage(R"({"total_page":0,"now_page":0,"lists":[]})");
        case Fault::None: break;
    }
    // The counters come labelled as JSON: the centre's own client takes no other label.
    if (endpoint == "Home/number")
        return Response::json(R"({"a":)" + countersStatus_ + R"(,"b":"ok","c":)" + counters_ + "}");
    if (endpoint == "Home/index") {
        std::string user = fields.value("username");
        std::string profile = R"({"nicename":)" + q(user) + R"(,"avatar":)" + q(avatar_ ? origin + "/appview/pic/avatar.png" : "") +
                              R"(,"money":"500","djq":"100"})";
        std::string post = R"({"t_desc":"开服七天乐，登录送好礼","url":)" + q(origin + "/appview/Activity/index") + "}";
        return jsonPage(R"({"a":1,"b":"ok","c":{"uinfo":)" + profile + R"(,"post":)" + post +
                        R"(,"ginfo":{"fanli":)" + q(rebate_) + "}}}");
    }
    return jsonPage(listReply(endpoint, fields, origin));
}

std::string UserCentreStandIn::listReply(const std::string& endpoint, const FormFields& fields,
                                         const std::string& origin) {
    int page = 1;
    std::string asked = fields.value("pagecode");
    if (!asked.empty() && asked.find_first_not_of("0123456789") == std::string::npos && asked.size() < 6)
        page = std::stoi(asked);
    int rows = kRowsPerPage;
    if (endpoint == "News/lists" && fields.value("num") == "3") rows = 3;
    std::string list;
    if (page >= 1 && page <= kPages)
        for (int i = 0; i < rows; ++i) list += (i ? "," : "") + row(endpoint, fields, (page - 1) * rows + i, origin);
    // Numbers on odd pages, numeric text on even ones.
    std::string total = page % 2 ? std::to_string(kPages) : q(std::to_string(kPages));
    std::string now = page % 2 ? std::to_string(page) : q(std::to_string(page));
    return R"({"a":1,"total_page":)" + total + R"(,"now_page":)" + now + R"(,"lists":[)" + list + "]}";
}

std::string UserCentreStandIn::row(const std::string& endpoint, const FormFields& fields, int index,
                                   const std::string& origin) {
    std::string n = std::to_string(index + 1);
    if (endpoint == "News/lists")
        return R"({"tag":)" + q(index % 2 ? "公告" : "活动") + R"(,"post_title":)" + q("第" + n + "条消息") +
               R"(,"url":)" + q(origin + "/appview/News/detail?id=" + n) + R"(,"time":"2024-01-01","pic":)" +
               q(index % 2 ? "" : origin + "/appview/pic/" + n + ".png") + "}";
    if (endpoint == "Server/lists")
        return R"({"servername":)" + q(n + "服 · 沙盒") + R"(,"day":"01-0)" + std::to_string(1 + index % 9) +
               R"(","hour":"10:00"})";
    if (endpoint == "Card/lists") {
        // The first page: a full pack, a pack run out, a pack claimed elsewhere
        // (no code here), a pack two fifths left; then more full packs.
        static const char* const kPercent[] = {"100", "0", "0", "40"};
        std::string user = fields.value("username");
        bool claimed = claims_.count(user + "|" + n) > 0;
        std::string status = claimed || index == 2 ? "1" : "0";
        std::string code = claimed ? "GIFT-" + n + "-" + user : "";
        return R"({"ID":)" + q(n) + R"(,"name":)" + q("礼包" + n) +
               R"(,"excerpt":"金币x1000，强化石x10","getstatus":)" + q(status) + R"(,"code":)" + q(code) +
               R"(,"card_num":"100","remain_num":"40","part_num":)" + std::to_string(60 + index) +
               R"(,"percentage":)" + q(index < 4 ? kPercent[index] : "100") +
               R"(,"instructions":"在游戏设置中输入礼包码"})";
    }
    if (endpoint == "Transaction/lists")
        return R"({"prices":)" + q(std::to_string(100 + index)) + R"(,"server":"1服","time":"2024-01-01","devicetype":)" +
               q(std::to_string(index % 3)) + R"(,"gamename":"沙盒传奇","title":)" + q("账号出售" + n) +
               R"(,"pic1":)" + q(index % 2 ? origin + "/appview/pic/trade" + n + ".png" : "") + "}";
    // Vouchers: every other one has ended.
    return R"({"status":)" + q(index % 2 ? "1" : "0") + R"(,"gamename":"沙盒传奇","av_time":"2024-01-01至2024-12-31","use":"0","coupon_money":"10","pay_money":"100"})";
}

ns::Id UserCentreStandIn::claim(const ns::Id& fields) {
    std::lock_guard guard(lock_);
    std::string user = field(fields, "username"), card = field(fields, "cardid");
    auto reply = [](const char* a, const char* b) {
        return ns::Dictionary::make({{"a", ns::str(a)}, {"b", ns::str(b)}, {"c", ns::str("")}});
    };
    if (user.empty() || card.empty()) return reply("0", "参数错误");
    if (card == "2") return reply("0", "礼包已抢完");
    if (!claims_.insert(user + "|" + card).second) return reply("0", "您已领取过该礼包");
    return reply("1", "领取成功");
}

}  // namespace sandbox
