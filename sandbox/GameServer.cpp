#include "sandbox/GameServer.h"

#include <initializer_list>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "sandbox/Json.h"
#include "sandbox/Signature.h"

namespace sandbox {

namespace {

// Timings are in seconds; the app reads them as numbers whatever their type.
constexpr std::string_view kMenu = R"({"status":"200","msg":"success","data":["1","2","3","4"],
"time":{"time_shop_refresh":600,"luck_time":3,"day_time":3,"active_time":3,"shop_time":60}})";

constexpr std::string_view kGmGoods = R"({"status":"200","msg":"success","data":{"total_money":"30","list":[
[{"id":"101","gm_id":"1","gm_name":"Daily supplies","gm_desc":"Free once a day from role level 10.",
  "gift_id":"1","gift_name":"Gold x1000","gift_num":"1000","gift_icon":"","gift_desc":"A pouch of gold.","status":"0"},
 {"id":"102","gm_id":"1","gm_name":"Daily supplies","gm_desc":"Free once a day from role level 10.",
  "gift_id":"2","gift_name":"Stamina x50","gift_num":"50","gift_icon":"","gift_desc":"Fifty stamina.","status":"0"}],
[{"id":"201","gm_id":"2","gm_name":"Top-up rewards","gm_desc":"For a total top-up of 30.",
  "gift_id":"3","gift_name":"Rare gem","gift_num":"1","gift_icon":"","gift_desc":"One rare gem.","status":"0"}]]}})";

constexpr std::string_view kGmStatus = R"({"101":"1","102":"0","201":"0"})";

constexpr std::string_view kVipGoods = R"({"status":"200","msg":"success","data":{"total_money":"30","list":[
[{"id":"301","game_id":"1001","vip_id":"1","vip_name":"VIP 1","vip_level":"1","vip_desc":"Gifts of the first grade.",
  "vip_condition":"Top up 6","gift_id":"11","gift_name":"Silver chest","gift_num":"1","gift_icon":"",
  "gift_desc":"A chest of silver.","status":"0"}],
[{"id":"302","game_id":"1001","vip_id":"2","vip_name":"VIP 2","vip_level":"2","vip_desc":"Gifts of the second grade.",
  "vip_condition":"Top up 30","gift_id":"12","gift_name":"Gold chest","gift_num":"1","gift_icon":"",
  "gift_desc":"A chest of gold.","status":"0"}]]}})";

constexpr std::string_view kVipStatus = R"({"301":"0","302":"0"})";

// Card "1" is not bought yet; card "2" is bought, its coins claimed.
constexpr std::string_view kResourceGoods = R"({"status":"200","msg":"success","data":{
"rule_content":"Each card can be bought once a day.","list":[
 {"id":"1","title":"Endless gold","content":"Gold every hour.","money":"6","prop_img":"","game_coin":"600",
  "welfare_nums":"5","super_welfare_nums":"5","is_buy":"0","is_coin":"0","is_welfare":"0","is_superwelfare":"0"},
 {"id":"2","title":"Endless stamina","content":"Stamina every hour.","money":"30","prop_img":"","game_coin":"3000",
  "welfare_nums":"5","super_welfare_nums":"5","is_buy":"1","is_coin":"1","is_welfare":"0","is_superwelfare":"0"}]}})";

constexpr std::string_view kLuck = R"({"status":"200","msg":"success","data":{"title":"Lucky gift","is_custom":"1",
"items":[{"mid":"1","amount":"100","name":"Gold","bind":"1","type":"1","icon":""}]}})";

constexpr std::string_view kDay = R"({"status":"200","msg":"success","data":{"title":"Daily gift","is_custom":"1",
"items":[{"mid":"2","amount":"20","name":"Stamina","bind":"1","type":"1","icon":""},
 {"mid":"3","amount":"1","name":"Rare gem","bind":"1","type":"2","icon":""}]}})";

constexpr std::string_view kActive = R"({"status":"200","msg":"success","data":{"title":"Activity gift","is_custom":"1",
"items":[{"mid":"4","amount":"1","name":"Gold chest","bind":"0","type":"2","icon":""}]}})";

constexpr std::string_view kClaimed = R"({"status":"200","msg":"success"})";

// Bundle "12" is built by the player: one fixed gift and two of three
// optional gifts; bundle "13" is all fixed.
constexpr std::string_view kTimeStore = R"({"status":"200","msg":"success","data":{
"notice_content":"Bundles change every ten minutes.","gift_no_name":"Limited bundles","list":[
 {"good_id":"12","gift_name":"Builder's bundle","gift_money":"6","is_all_fixed":"1","is_buy":"0","optional_num":"2",
  "fixed_gift":[{"mid":"3","amount":"100","name":"Gold","bind":"1","type":"1","icon":""}],
  "optional_gift":[{"mid":"7","amount":"1","name":"Rare gem","bind":"1","type":"2","icon":""},
   {"mid":"8","amount":"20","name":"Stamina","bind":"1","type":"1","icon":""},
   {"mid":"9","amount":"1","name":"Gold chest","bind":"0","type":"2","icon":""}]},
 {"good_id":"13","gift_name":"Starter bundle","gift_money":"1","is_all_fixed":"2","is_buy":"0","optional_num":"0",
  "fixed_gift":[{"mid":"3","amount":"50","name":"Gold","bind":"1","type":"1","icon":""}],"optional_gift":[]}]}})";

// GM level "2" and VIP grade "2" are not reached by the sandbox's player.
constexpr std::string_view kNotReached = R"({"status":"500","msg":"not reached"})";

std::string refusal(const std::string& reason) {
    std::string text = R"({"status":"400","msg":")";
    text += reason;  // field names only: nothing to escape
    text += R"("})";
    return text;
}

// Validated and compacted once, so a typo in the catalogue fails at start.
std::string compact(std::string_view literal) { return jsonText(jsonValue(literal)); }

std::string firstMissing(const FormFields& fields, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (fields.value(name).empty()) return std::string(name);
    return {};
}

}  // namespace

GameServer::GameServer(int port)
    : catalogue_{{"menu", compact(kMenu)},
                 {"gmGoods", compact(kGmGoods)},
                 {"gmStatus", compact(kGmStatus)},
                 {"vipGoods", compact(kVipGoods)},
                 {"vipStatus", compact(kVipStatus)},
                 {"resourceGoods", compact(kResourceGoods)},
                 {"luck", compact(kLuck)},
                 {"day", compact(kDay)},
                 {"active", compact(kActive)},
                 {"claimed", compact(kClaimed)},
                 {"timeStore", compact(kTimeStore)},
                 {"notReached", compact(kNotReached)}},
      http_(
          [this](const Request& request) {
              return delays_.replyTo(request.path.substr(request.path.empty() ? 0 : 1),
                                     [&] { return respond(request); });
          },
          port) {}

// The server waits for its requests in progress as it stops: none may wait
// for a time that will not come.
GameServer::~GameServer() { delays_.stop(); }

Response GameServer::respond(const Request& request) const {
    std::string body;
    if (request.method == "GET") body = answerGet(request.path, request.fields());
    else if (request.method == "POST") body = answerPost(request.path, request.fields());
    if (body.empty()) return Response::notFound();
    return Response::json(std::move(body));
}

std::string GameServer::answerGet(const std::string& path, const FormFields& query) const {
    auto from = [this](const std::string& name) { return catalogue_.at(name); };
    if (path == "/menu/index") {
        if (auto missing = firstMissing(query, {"game_id"}); !missing.empty()) return refusal(missing + " is missing");
        return from("menu");
    }
    if (path == "/gmstore/goodsnew" || path == "/vipstore/goodsnew") {
        if (auto missing = firstMissing(query, {"game_id", "role_id"}); !missing.empty())
            return refusal(missing + " is missing");
        return from(path == "/gmstore/goodsnew" ? "gmGoods" : "vipGoods");
    }
    if (path == "/timestore/goodsnew") {
        if (auto missing = firstMissing(query, {"game_id", "role_id", "server_id"}); !missing.empty())
            return refusal(missing + " is missing");
        return from("timeStore");
    }
    if (path == "/infiniteres/goods") {
        if (auto missing = firstMissing(query, {"game_id", "role_id", "server_id"}); !missing.empty())
            return refusal(missing + " is missing");
        return from("resourceGoods");
    }
    if (auto welfare = welfare_.answerGet(path, query); !welfare.empty()) return welfare;
    if (path == "/luck/index" || path == "/luck/get") {
        if (auto missing = firstMissing(query, {"game_id", "role_id", "server_id", "time"}); !missing.empty())
            return refusal(missing + " is missing");
        std::string stage = query.value("time");
        if (stage != "luck" && stage != "day" && stage != "active") return refusal("no such time");
        return from(path == "/luck/index" ? stage : "claimed");
    }
    return {};
}

std::string GameServer::answerPost(const std::string& path, const FormFields& form) const {
    if (path == "/gmstore/index" || path == "/vipstore/index") {
        const bool vip = path == "/vipstore/index";
        const char* level = vip ? "vip_id" : "gm_id";
        if (auto missing = firstMissing(form, {"token", "super_user_id", "role_id", level, "gift_id"}); !missing.empty())
            return refusal(missing + " is missing");
        return catalogue_.at(form.value(level) == "2" ? "notReached" : "claimed");
    }
    if (path == "/charge/order") return chargeOrder(form);
    if (path == "/charge/resorder") return welfare_.resourceOrder(form);
    if (path != "/gmstore/status" && path != "/vipstore/status") return {};
    // These replies carry no status code: an incomplete request learns of no claims.
    if (!firstMissing(form, {"game_id", "token", "super_user_id", "role_id"}).empty()) return "{}";
    return catalogue_.at(path == "/gmstore/status" ? "gmStatus" : "vipStatus");
}

std::string GameServer::chargeOrder(const FormFields& form) const {
    if (auto missing = firstMissing(form, {"super_user_id", "game_id", "service_id", "service_name", "role_id",
                                           "role_name", "good_id", "remark", "random", "sign"});
        !missing.empty())
        return refusal(missing + " is missing");
    const std::string expected = signatureOf({form.value("super_user_id"), form.value("game_id"),
                                              form.value("service_id"), form.value("role_id"), form.value("good_id"),
                                              form.value("remark"), form.value("random")},
                                             kStoreSigningKey);
    if (form.value("sign") != expected) return R"({"status":"401","msg":"sign error"})";
    const uint64_t number = ++orders_;
    ns::Id data = ns::Dictionary::make({{"order_id", ns::str("co" + std::to_string(number))},
                                        {"remark", ns::str(form.value("remark"))}});
    return jsonText(ns::Dictionary::make({{"status", ns::str("200")}, {"msg", ns::str("success")}, {"data", data}}));
}

}  // namespace sandbox
