#pragma once
// The time store's records, filled by key-value coding from the game
// server's dictionaries: a key without a property is ignored, a missing key
// leaves its property nil. Text properties take numbers as their decimal
// text; a value of another kind (null, a container where a text belongs, a
// text where a list belongs) reads as absent.

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

// One gift item of a bundle (or of a gift pop-up). An item without `mid`
// is an empty optional slot; one without `name` is drawn as one.
class KVTRFixedGiftModel : public ns::Object {
    RT_DECLARE_CLASS(KVTRFixedGiftModel)
public:
    ns::Ref<ns::String> mid;
    ns::Ref<ns::String> amount;
    ns::Ref<ns::String> name;
    ns::Ref<ns::String> bind;
    ns::Ref<ns::String> type;
    ns::Ref<ns::String> icon;

    static ns::Ref<KVTRFixedGiftModel> withDictionary(const ns::Id& dictionary);
    void setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues);
};

// One bundle of the time store.
class KVTRTimeStoreModel : public ns::Object {
    RT_DECLARE_CLASS(KVTRTimeStoreModel)
public:
    ns::Ref<ns::String> good_id;
    ns::Ref<ns::String> gift_name;
    ns::Ref<ns::String> gift_money;
    // "1": the player picks optional gifts; "2": every item is fixed.
    ns::Ref<ns::String> is_all_fixed;
    // "1": already bought.
    ns::Ref<ns::String> is_buy;
    ns::Ref<ns::String> optional_num;
    ns::Ref<ns::Array> fixed_gift;
    ns::Ref<ns::Array> optional_gift;

    static ns::Ref<KVTRTimeStoreModel> withDictionary(const ns::Id& dictionary);
    void setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues);
};

namespace kvtr_stores {

// The KVTRGiftPayInfo posted with "KVTRGIFTPAYNotification": order_id and
// remark of the game server's reply, good_name, good_id and money of the
// bundle as it was when the player tapped buy.
ns::Ref<ns::Dictionary> giftPayInfo(const ns::Id& orderId, const ns::Id& remark, const ns::Ref<ns::String>& goodName,
                                    const ns::Ref<ns::String>& goodId, const ns::Ref<ns::String>& money);

}  // namespace kvtr_stores
