#include "aggregation/stores/KVTRGiftModels.h"

#include "aggregation/core/KVTRGoodsModelKeys.h"
#include "platform/foundation/Text.h"

using kvtr_goods::arrayProperty;
using kvtr_goods::textProperty;

RT_DEFINE_CLASS(KVTRFixedGiftModel, ns::Object, "KVTRFixedGiftModel",
                textProperty<KVTRFixedGiftModel>("mid", &KVTRFixedGiftModel::mid),
                textProperty<KVTRFixedGiftModel>("amount", &KVTRFixedGiftModel::amount),
                textProperty<KVTRFixedGiftModel>("name", &KVTRFixedGiftModel::name),
                textProperty<KVTRFixedGiftModel>("bind", &KVTRFixedGiftModel::bind),
                textProperty<KVTRFixedGiftModel>("type", &KVTRFixedGiftModel::type),
                textProperty<KVTRFixedGiftModel>("icon", &KVTRFixedGiftModel::icon))

RT_DEFINE_CLASS(KVTRTimeStoreModel, ns::Object, "KVTRTimeStoreModel",
                textProperty<KVTRTimeStoreModel>("good_id", &KVTRTimeStoreModel::good_id),
                textProperty<KVTRTimeStoreModel>("gift_name", &KVTRTimeStoreModel::gift_name),
                textProperty<KVTRTimeStoreModel>("gift_money", &KVTRTimeStoreModel::gift_money),
                textProperty<KVTRTimeStoreModel>("is_all_fixed", &KVTRTimeStoreModel::is_all_fixed),
                textProperty<KVTRTimeStoreModel>("is_buy", &KVTRTimeStoreModel::is_buy),
                textProperty<KVTRTimeStoreModel>("optional_num", &KVTRTimeStoreModel::optional_num),
                arrayProperty<KVTRTimeStoreModel>("fixed_gift", &KVTRTimeStoreModel::fixed_gift),
                arrayProperty<KVTRTimeStoreModel>("optional_gift", &KVTRTimeStoreModel::optional_gift))

namespace {
[[maybe_unused]] const bool giftKeysIgnored = kvtr_goods::ignoreUnknownKeys(KVTRFixedGiftModel::staticClass());
[[maybe_unused]] const bool storeKeysIgnored = kvtr_goods::ignoreUnknownKeys(KVTRTimeStoreModel::staticClass());
}  // namespace

ns::Ref<KVTRFixedGiftModel> KVTRFixedGiftModel::withDictionary(const ns::Id& dictionary) {
    return kvtr_goods::filled<KVTRFixedGiftModel>(dictionary);
}

void KVTRFixedGiftModel::setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues) {
    kvtr_goods::fill(*this, keyedValues);
}

ns::Ref<KVTRTimeStoreModel> KVTRTimeStoreModel::withDictionary(const ns::Id& dictionary) {
    return kvtr_goods::filled<KVTRTimeStoreModel>(dictionary);
}

void KVTRTimeStoreModel::setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues) {
    kvtr_goods::fill(*this, keyedValues);
}

namespace kvtr_stores {

ns::Ref<ns::Dictionary> giftPayInfo(const ns::Id& orderId, const ns::Id& remark, const ns::Ref<ns::String>& goodName,
                                    const ns::Ref<ns::String>& goodId, const ns::Ref<ns::String>& money) {
    auto text = [](const ns::Id& value) { return ns::String::make(ns::textOf(value)); };
    return ns::Dictionary::make({{"order_id", text(orderId)},
                                 {"remark", text(remark)},
                                 {"good_name", text(goodName)},
                                 {"good_id", text(goodId)},
                                 {"money", text(money)}});
}

}  // namespace kvtr_stores
