// Purchases made in the SDK's own stores: a store or hall posts its charge
// order as a notification, and the facade turns it into the order text the
// page would send, placed through kvtr_superOrder 1.0 s later.
//
// Gift and resource purchases each keep their own list of pending orders, so
// a burst of purchases - of one kind or both - orders every one of them, and
// each once: the debounce only decides when the list is sent.

#include <algorithm>

#include "aggregation/core/ROZCoreEntity.h"
#include "platform/dispatch/PerformRequest.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"

namespace {

constexpr const char* GiftPaySelector = "toGiftPay";
constexpr const char* ResourcePaySelector = "toResourcePay";
constexpr double PayDebounceSeconds = 1.0;

ns::Ref<ns::String> text(std::string value) { return ns::String::make(std::move(value)); }

// The "%@" text of a value of the purchase, "(null)" when it is missing.
ns::Ref<ns::String> payValue(const ns::Ref<ns::Dictionary>& info, std::string_view key) {
    return text(ns::textOf(info ? info->objectForKey(key) : nullptr));
}

ns::Ref<ns::String> orEmpty(const ns::Ref<ns::String>& value) { return value ? value : text(""); }

}  // namespace

void ROZCoreEntity::giftPayData(const ns::Ref<ns::Notification>& notification) {
    queueStorePayment(notification, false);
}

void ROZCoreEntity::resourcePayData(const ns::Ref<ns::Notification>& notification) {
    queueStorePayment(notification, true);
}

void ROZCoreEntity::queueStorePayment(const ns::Ref<ns::Notification>& notification, bool resource) {
    auto info = notification ? ns::cast<ns::Dictionary>(notification->object()) : nullptr;
    auto goodId = payValue(info, "good_id");
    auto goodName = payValue(info, "good_name");
    auto chargeOrder = payValue(info, "order_id");
    auto money = payValue(info, "money");
    auto remark = payValue(info, "remark");
    // Posted from the store's reply queue; the role fields belong to the main
    // queue, so the order text is built there.
    auto weak = weakSelf();
    dispatch::async(dispatch::mainQueue(), [=] {
        auto self = weak.lock();
        if (!self) return;
        auto order = ns::MutableDictionary::make();
        order->setObjectForKey(goodId, "good_id");
        order->setObjectForKey(goodName, "good_name");
        order->setObjectForKey(chargeOrder, "game_order_sn");
        order->setObjectForKey(orEmpty(self->super_user_id_), "super_user_id");
        order->setObjectForKey(money, "money");
        order->setObjectForKey(orEmpty(self->service_id_), "service_id");
        order->setObjectForKey(orEmpty(self->service_name_), "service_name");
        // The game's own role id: the order is the game's purchase.
        order->setObjectForKey(orEmpty(self->cp_role_id_), "role_id");
        order->setObjectForKey(orEmpty(self->role_name_), "role_name");
        order->setObjectForKey(remark, "remark");
        auto data = ns::JSONSerialization::dataWithJSONObject(order, ns::JSONWritingPrettyPrinted);
        auto orderText = ns::String::withData(data, ns::StringEncoding::UTF8);
        self->roleData1_ = orderText;

        // The same charge order heard again replaces its pending text.
        auto& pending = resource ? self->pendingResourceOrders_ : self->pendingGiftOrders_;
        std::erase_if(pending, [&](const PendingOrder& queued) { return queued.chargeOrder == chargeOrder->utf8(); });
        pending.push_back({chargeOrder->utf8(), orderText});

        const char* selector = resource ? ResourcePaySelector : GiftPaySelector;
        dispatch::cancelPreviousPerformRequests(self.get(), selector);
        dispatch::performAfterDelay(self.get(), selector, PayDebounceSeconds, [weak, resource] {
            auto entity = weak.lock();
            if (!entity) return;
            if (resource) {
                entity->toResourcePay();
            } else {
                entity->toGiftPay();
            }
        });
    });
}

void ROZCoreEntity::toGiftPay() { sendPendingPayments(false); }

void ROZCoreEntity::toResourcePay() { sendPendingPayments(true); }

void ROZCoreEntity::sendPendingPayments(bool resource) {
    auto weak = weakSelf();
    dispatch::async(dispatch::mainQueue(), [weak, resource] {
        auto self = weak.lock();
        if (!self) return;
        std::vector<PendingOrder> orders;
        orders.swap(resource ? self->pendingResourceOrders_ : self->pendingGiftOrders_);
        for (const PendingOrder& order : orders) {
            self->kvtr_superOrder(order.orderText);
        }
    });
}
