#include "sandbox/WelfareGame.h"

#include <initializer_list>
#include <string_view>

#include "sandbox/Signature.h"

namespace sandbox {

namespace {

struct Prize {
    const char* mid;
    const char* name;
    const char* amount;
};

// The eight sectors of either wheel, clockwise from the first.
constexpr Prize kSectors[8] = {{"21", "Gold", "100"},       {"22", "Stamina", "20"},   {"23", "Rare gem", "1"},
                               {"24", "Silver chest", "1"}, {"25", "Gold", "500"},     {"26", "Speed-up", "5"},
                               {"27", "Gold chest", "1"},   {"28", "Hero shard", "10"}};
constexpr Prize kWelfareCentre{"29", "Mount", "1"};
constexpr Prize kSuperCentre{"30", "Legendary hero", "1"};

std::string prizeJson(const Prize& prize, std::string_view extra = {}) {
    std::string json = R"({"mid":")";
    json += prize.mid;
    json += R"(","name":")";
    json += prize.name;
    json += R"(","amount":")";
    json += prize.amount;
    json += R"(","icon":"")";
    json += extra;
    json += "}";
    return json;
}

std::string refusal(const std::string& reason) { return R"({"status":"400","msg":")" + reason + R"("})"; }

std::string firstMissing(const FormFields& fields, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (fields.value(name).empty()) return std::string(name);
    return {};
}

// The cards of the resource goods.
bool isGoods(const std::string& id) { return id == "1" || id == "2"; }

constexpr std::string_view kClaimed = R"({"status":"200","msg":"success"})";

}  // namespace

std::string WelfareGame::answerGet(const std::string& path, const FormFields& query) {
    constexpr std::string_view prefix = "/infiniteres/";
    if (path.rfind(prefix, 0) != 0) return {};
    const std::string name = path.substr(prefix.size());
    const bool load = name == "welfareturntable" || name == "superwelfareturntable";
    const bool drawing = name == "getwelfareturntable" || name == "getsuperwelfareturntable";
    const bool claim = name == "getcoin" || name == "getwelfare" || name == "getsuperwelfare";
    if (!load && !drawing && !claim && name != "getsuperprop") return {};

    if (auto missing = firstMissing(query, {"game_id", "role_id", "server_id"}); !missing.empty())
        return refusal(missing + " is missing");
    if (claim && query.value("good_id").empty()) return refusal("good_id is missing");
    if (claim && !isGoods(query.value("good_id"))) return refusal("no such goods");

    std::lock_guard hold(lock_);
    Role& role = roles_[query.value("role_id")];
    if (load) return wheel(name == "superwelfareturntable", role);
    if (drawing) {
        const std::string nums = query.value("nums");
        if (nums != "1" && nums != "5") return refusal("nums must be 1 or 5");
        return draw(name == "getsuperwelfareturntable", nums == "1" ? 1 : 5, role);
    }
    if (name == "getwelfare") role.welfare += 5;
    if (name == "getsuperwelfare") role.super += 5;
    if (name == "getsuperprop") {
        if (role.superUsed < kSuperBar) return refusal("the bar is not full");
        role.superUsed = 0;
    }
    return std::string(kClaimed);
}

std::string WelfareGame::wheel(bool super, const Role& role) const {
    std::string items = "[";
    for (const Prize& prize : kSectors) {
        if (items.size() > 1) items += ",";
        items += prizeJson(prize, super ? "" : R"(,"is_super":"0")");
    }
    if (!super) items += "," + prizeJson(kWelfareCentre, R"(,"is_super":"1")");
    items += "]";
    std::string data = R"({"items":)" + items;
    if (super) {
        data +=
            R"(,"select_extra_items":)" + prizeJson(kSuperCentre, R"(,"nums":")" + std::to_string(kSuperBar) + "\"");
        data += R"(,"active_title":"Super turntable","active_rule":"Every super draw fills the bar.")";
        data += R"(,"user_superwelfare_nums":")" + std::to_string(role.super) + "\"";
        data += R"(,"use_superwelfare_nums":")" + std::to_string(role.superUsed) + "\"";
    } else {
        data += R"(,"active_title":"Welfare turntable","active_rule":"Claim draws on a bought card.")";
        data += R"(,"user_welfare_nums":")" + std::to_string(role.welfare) + "\"";
    }
    data += "}";
    return R"({"status":"200","msg":"success","data":)" + data + "}";
}

std::string WelfareGame::draw(bool super, int count, Role& role) {
    int& held = super ? role.super : role.welfare;
    if (held < count) return R"({"status":"400","msg":"not enough draws"})";
    held -= count;
    if (super) role.superUsed += count;
    std::string list = "[";
    for (int i = 0; i < count; ++i) {
        if (i > 0) list += ",";
        list += prizeJson(kSectors[role.drawn++ % 8]);
    }
    list += "]";
    return R"({"status":"200","msg":"success","data":{"prop_list":)" + list + "}}";
}

std::string WelfareGame::resourceOrder(const FormFields& form) {
    if (auto missing = firstMissing(form, {"super_user_id", "game_id", "service_id", "service_name", "role_id",
                                           "role_name", "good_id", "random", "sign"});
        !missing.empty())
        return refusal(missing + " is missing");
    const std::string expected =
        signatureOf({form.value("super_user_id"), form.value("game_id"), form.value("service_id"),
                     form.value("role_id"), form.value("good_id"), form.value("random")},
                    kStoreSigningKey);
    if (form.value("sign") != expected) return R"({"status":"401","msg":"sign error"})";
    if (!isGoods(form.value("good_id"))) return refusal("no such goods");
    const std::string order = "ro" + std::to_string(++orders_);
    return R"({"status":"200","msg":"success","data":{"order_id":")" + order + R"(","remark":")" +
           form.value("good_id") + R"("}})";
}

}  // namespace sandbox
