#pragma once
// A signed charge order to the game server, as the store's gift rows and the
// resource hall's cards place it: the player's identity, the goods id, the
// remark (store orders only), a random text and the sign; an accepted order
// is posted as a KVTRGiftPayInfo under the caller's notification name.

#include <string>

#include "platform/foundation/String.h"

namespace kvtr_stores {

struct ChargeOrder {
    // "charge/order" or "charge/resorder".
    std::string path;
    // The KVTRStoreUserInfo text.
    ns::Ref<ns::String> userInfo;
    ns::Ref<ns::String> goodId;
    // Nil for an order without a remark, which is then neither sent nor signed.
    ns::Ref<ns::String> remark;
    // What the payment info names, as the player tapped it.
    ns::Ref<ns::String> goodName;
    ns::Ref<ns::String> money;
    // Posted with the payment info when the game server accepts the order.
    std::string notification;
};

// Signs and posts the order. The sign is the MD5 of super_user_id, game_id,
// service_id, super_role_id, the goods id, the remark when there is one, the
// random text and the signing key, joined. A "200" reply posts the
// notification on the reply's queue; another status shows its "msg" in the
// error HUD; a request that fails without a reply does nothing.
void placeChargeOrder(const ChargeOrder& order);

}  // namespace kvtr_stores
