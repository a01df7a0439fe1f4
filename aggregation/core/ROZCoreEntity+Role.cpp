// The role report and the order: a JSON text from the game, checked field by
// field, signed, posted to the platform server, then handed to the channel.

#include <string>
#include <utility>
#include <vector>

#include "aggregation/core/KVTRChannelOrderInfo.h"
#include "aggregation/core/KVTRChannelRoleInfo.h"
#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRJSONFields.h"
#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/core/KVTRQueueHops.h"
#include "aggregation/core/KVTRServerConfig.h"
#include "aggregation/core/ROZCoreEntity.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Text.h"
#include "ui/hud/KVTRProgressHUD.h"

using kvtr::text;

namespace {

using Text = ns::Ref<ns::String>;

// Shared with the platform server; closes every signed concatenation.
constexpr std::string_view kSignKey = "c07a4e91f2d35b6880e1a9c4573f2d6e";

// A field of the game's object: its raw value (checked for missing) and its
// "%@" text (sent and signed).
struct Field {
    ns::Id value;
    Text text;
};

Field readField(const ns::Id& object, std::string_view key) {
    ns::Id value = kvtr::scalarField(object, key);
    return {value, ns::String::make(ns::textOf(value))};
}

Text sign(std::initializer_list<const Text*> values, const Text& random) {
    std::string joined;
    for (const Text* value : values) joined += ns::textOf(*value);
    joined += random->utf8();
    joined += kSignKey;
    return KVTRDataFormat::KVTRMD5WithNSString(joined);
}

struct Check {
    const ns::Id* value;
    const char* message;
};

// Shows the first failing check's message; true when every value is there.
bool passes(std::initializer_list<Check> checks) {
    for (const Check& check : checks) {
        if (kvtr::isMissing(*check.value)) {
            KVTRProgressHUD::showErrorWithStatus(text(check.message));
            return false;
        }
    }
    return true;
}

ns::Ref<ns::MutableDictionary> form(std::initializer_list<std::pair<const char*, Text>> fields) {
    auto params = ns::MutableDictionary::make();
    for (const auto& [key, value] : fields) params->setObjectForKey(value, key);
    return params;
}

std::string platformURL(std::string_view path) { return KVTRServerConfig::platformServerOrigin() + std::string(path); }

bool isSuccessCode(const ns::Id& reply) { return kvtr::textField(reply, "code")->isEqualToString("200"); }

Text requestText(const ns::Ref<ns::Dictionary>& request, std::string_view key) {
    return ns::cast<ns::String>(request->objectForKey(key));
}

}  // namespace

// ---- Role report ----

void ROZCoreEntity::kvtr_superRoleUpdate(const Text& roleJson) {
    ns::Id role = dictionaryWithJsonString(roleJson);
    Field powerValue = readField(role, "power_value");
    Field superUserId = readField(role, "super_user_id");
    Field roleId = readField(role, "role_id");
    Field serviceId = readField(role, "service_id");
    Field serviceName = readField(role, "service_name");
    Field roleName = readField(role, "role_name");
    Field roleLevel = readField(role, "role_level");
    Field describe = readField(role, "describe");
    Field money = readField(role, "money");
    Field experience = readField(role, "experience");
    ns::Id gameId = kvtrgameid_;

    Text random = KVTRDataFormat::KVTRMD5GetRandomStr();
    Text signature = sign({&superUserId.text, &kvtrgameid_, &serviceId.text}, random);

    bool powerBlank = ns::cast<ns::String>(powerValue.value) ? KVTRDataFormat::isBlankString(powerValue.value)
                                                             : kvtr::isMissing(powerValue.value);
    if (powerBlank) powerValue.text = text("1");

    if (!passes({{&superUserId.value, "请先获取登录回调的super_user_id"},
                 {&roleId.value, "roleid为空"},
                 {&gameId, "game_id为空"},
                 {&serviceId.value, "service_id为空"},
                 {&serviceName.value, "service_name为空"},
                 {&roleName.value, "role_name为空"},
                 {&roleLevel.value, "role_level为空"}})) {
        return;
    }
    if (kvtr::isMissing(experience.value)) experience.text = text("");
    if (kvtr::isMissing(describe.value)) describe.text = text("");
    if (kvtr::isMissing(money.value)) money.text = text("0");

    auto params = form({{"super_user_id", superUserId.text},
                        {"game_id", kvtrgameid_},
                        {"service_id", serviceId.text},
                        {"service_name", serviceName.text},
                        {"role_id", roleId.text},
                        {"role_name", roleName.text},
                        {"role_level", roleLevel.text},
                        {"power_value", powerValue.text},
                        {"describe", describe.text},
                        {"money", money.text},
                        {"experience", experience.text},
                        {"random", random},
                        {"sign", signature},
                        {"os_type", text("2")}});
    ns::log("role report: %@", params);
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    KVTRNetworkManager::PostWithURL(
        platformURL("/role/index"), params,
        [weak, params](const ns::Id& reply) {
            kvtr::throughGlobalToMain([weak, params, reply] {
                if (auto self = weak.lock()) self->roleReplyArrived(reply, params);
            });
        },
        [](const Text&) {});
}

void ROZCoreEntity::roleReplyArrived(const ns::Id& reply, const ns::Ref<ns::Dictionary>& request) {
    // The reported role is kept whatever the server says: the stores use it.
    rolesurperdic_ = ns::cast<ns::Dictionary>(reply);
    cp_role_id_ = requestText(request, "role_id");
    service_id_ = requestText(request, "service_id");
    service_name_ = requestText(request, "service_name");
    role_name_ = requestText(request, "role_name");
    role_level_ = requestText(request, "role_level");
    power_value_ = requestText(request, "power_value");
    if (!isSuccessCode(reply)) {
        KVTRProgressHUD::showErrorWithStatus(kvtr::refusalMessage(reply));
        return;
    }
    roleid_ = kvtr::textField(kvtr::dictionaryField(reply, "data"), "role_id");

    auto roleInfo = std::make_shared<KVTRChannelRoleInfo>();
    roleInfo->serviceId = service_id_;
    roleInfo->serviceName = service_name_;
    roleInfo->roleId = roleid_;
    roleInfo->roleName = role_name_;
    roleInfo->roleLevel = role_level_;
    roleInfo->powerValue = power_value_;
    libKVTRLightChannel::sharedInstance()->kvtrChannel_superRoleUpdate(roleInfo);

    armDailyBanner();
    if (isRunLogic_) {
        isRunLogic_ = false;
        addPlayerGiftLogicWithTime(kvtr::doubleValue(luck_time_), text("luck"));
    }
}

// ---- Order ----

void ROZCoreEntity::kvtr_superOrder(const Text& orderJson) {
    ns::Id order = dictionaryWithJsonString(orderJson);
    Field goodId = readField(order, "good_id");
    Field goodName = readField(order, "good_name");
    goodName.text = kvtr::removingSpaces(goodName.text);
    // Checked without its spaces: a name of spaces only is missing.
    if (goodName.value && !ns::cast<ns::Null>(goodName.value)) goodName.value = goodName.text;
    Field gameOrderSn = readField(order, "game_order_sn");
    Field superUserId = readField(order, "super_user_id");
    Field money = readField(order, "money");
    Field serviceId = readField(order, "service_id");
    Field serviceName = readField(order, "service_name");
    Field roleId = readField(order, "role_id");
    Field roleName = readField(order, "role_name");
    Field remark = readField(order, "remark");
    ns::Id platformId = platform_id_;
    ns::Id gameId = kvtrgameid_;
    ns::Id roleid = roleid_;
    ns::Id package = ns::Bundle::mainBundle()->objectForInfoDictionaryKey("CFBundleIdentifier");
    if (!ns::cast<ns::String>(package)) package = nullptr;

    Text random = KVTRDataFormat::KVTRMD5GetRandomStr();
    Text signature = sign({&superUserId.text, &platform_id_, &gameOrderSn.text, &kvtrgameid_}, random);

    if (!passes({{&roleid, "请先调用上报角色方法"},
                 {&roleId.value, "角色id为空"},
                 {&superUserId.value, "请先获取登录回调的super_user_id"},
                 {&goodId.value, "good_id为空"},
                 {&goodName.value, "good_name为空"},
                 {&platformId, "platform_id为空"},
                 {&gameId, "game_id为空"},
                 {&gameOrderSn.value, "game_order_sn为空"},
                 {&package, "package为空"},
                 {&money.value, "money传入数据有误"},
                 {&serviceId.value, "service_id为空"},
                 {&serviceName.value, "service_name为空"},
                 {&roleName.value, "role_name为空"}})) {
        return;
    }
    if (kvtr::isMissing(remark.value)) remark.text = text("");

    auto params = form({{"good_id", goodId.text},
                        {"good_name", goodName.text},
                        {"platform_id", platform_id_},
                        {"game_id", kvtrgameid_},
                        {"game_order_sn", gameOrderSn.text},
                        {"package", ns::cast<ns::String>(package)},
                        {"super_user_id", superUserId.text},
                        {"power_value", power_value_ ? power_value_ : text("1")},
                        {"money", money.text},
                        {"service_id", serviceId.text},
                        {"service_name", serviceName.text},
                        {"role_id", roleId.text},
                        {"role_name", roleName.text},
                        {"remark", remark.text},
                        {"os_type", text("2")},
                        {"random", random},
                        {"sign", signature}});
    ns::log("order: %@", params);
    ns::Weak<ROZCoreEntity> weak = ref<ROZCoreEntity>();
    KVTRNetworkManager::PostWithURL(
        platformURL("/order/index"), params,
        [weak, params, session = session_](const ns::Id& reply) {
            ns::log("order reply: %@", reply);
            kvtr::throughGlobalToMain([weak, params, reply, session] {
                if (auto self = weak.lock()) self->orderReplyArrived(reply, params, session);
            });
        },
        [](const Text&) {});
}

void ROZCoreEntity::orderReplyArrived(const ns::Id& reply, const ns::Ref<ns::Dictionary>& request,
                                      uint64_t session) {
    if (session != session_) {
        // Its player has logged out: a centre now would take a payment no
        // session reports.
        ns::log("order: the reply to the game's order %@ came after the logout; no payment opens",
                requestText(request, "game_order_sn"));
        return;
    }
    order_id_ = kvtr::textField(kvtr::dictionaryField(reply, "data"), "order_id");
    cpOrder_ = requestText(request, "game_order_sn");
    if (!isSuccessCode(reply)) {
        KVTRProgressHUD::showErrorWithStatus(kvtr::refusalMessage(reply));
        return;
    }
    auto orderInfo = std::make_shared<KVTRChannelOrderInfo>();
    orderInfo->goodID = requestText(request, "good_id");
    orderInfo->payMoney = requestText(request, "money");
    orderInfo->goodName = requestText(request, "good_name");
    orderInfo->gameOrderSn = order_id_;
    orderInfo->serviceId = requestText(request, "service_id");
    orderInfo->serviceName = requestText(request, "service_name");
    orderInfo->roleId = roleid_;
    orderInfo->roleName = requestText(request, "role_name");
    orderInfo->powerValue = power_value_;
    orderInfo->remark = requestText(request, "remark");
    auto inChannel = libKVTRLightChannel::sharedInstance()->kvtrChannel_superOrder(orderInfo);
    forgetClosedOrders();
    if (order_id_) openOrders_[order_id_->utf8()] = {cpOrder_, std::move(inChannel)};
}
