#include "aggregation/stores/KVTRChargeOrder.h"

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/core/KVTRNetworkManager.h"
#include "aggregation/stores/KVTRGiftModels.h"
#include "aggregation/stores/KVTRStoreSupport.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "ui/hud/KVTRProgressHUD.h"

namespace kvtr_stores {

void placeChargeOrder(const ChargeOrder& order) {
    auto identity = identityOf(order.userInfo);
    auto superUserId = printedValue(identity, "super_user_id");
    auto gameId = printedValue(identity, "game_id");
    auto roleId = printedValue(identity, "super_role_id");
    auto serviceId = printedValue(identity, "service_id");
    auto goodId = ns::String::make(ns::textOf(order.goodId));
    auto random = KVTRDataFormat::KVTRMD5GetRandomStr();
    const std::string remark = order.remark ? order.remark->utf8() : std::string();
    auto sign =
        KVTRDataFormat::KVTRMD5WithNSString(superUserId->utf8() + gameId->utf8() + serviceId->utf8() + roleId->utf8() +
                                            goodId->utf8() + remark + random->utf8() + std::string(SigningKey));
    auto params = ns::MutableDictionary::make();
    params->setObjectForKey(superUserId, "super_user_id");
    params->setObjectForKey(gameId, "game_id");
    params->setObjectForKey(serviceId, "service_id");
    params->setObjectForKey(printedValue(identity, "service_name"), "service_name");
    params->setObjectForKey(roleId, "role_id");
    params->setObjectForKey(printedValue(identity, "role_name"), "role_name");
    params->setObjectForKey(goodId, "good_id");
    if (order.remark) params->setObjectForKey(order.remark, "remark");
    params->setObjectForKey(random, "random");
    params->setObjectForKey(sign, "sign");

    KVTRNetworkManager::PostWithURL(
        gameServerURL(order.path), params,
        [goodName = order.goodName, goodId = order.goodId, money = order.money,
         notification = order.notification](const ns::Id& reply) {
            if (!isSuccess(reply)) {
                KVTRProgressHUD::showErrorWithStatus(replyMessage(reply));
                return;
            }
            auto data = ns::cast<ns::Dictionary>(ns::cast<ns::Dictionary>(reply)->objectForKey("data"));
            auto info = giftPayInfo(textValue(data, "order_id"), textValue(data, "remark"), goodName, goodId, money);
            ns::NotificationCenter::defaultCenter()->postNotificationName(notification, info);
        },
        [](const ns::Ref<ns::String>&) {});
}

}  // namespace kvtr_stores
