#include "aggregation/core/KVTRVIPModel.h"

#include "aggregation/core/KVTRGoodsModelKeys.h"
#include "net/ModelHooks.h"

RT_DEFINE_CLASS(KVTRVIPModel, ns::Object, "KVTRVIPModel",
                kvtr_goods::textProperty<KVTRVIPModel>("game_id", &KVTRVIPModel::game_id),
                kvtr_goods::textProperty<KVTRVIPModel>("vip_id", &KVTRVIPModel::vip_id),
                kvtr_goods::textProperty<KVTRVIPModel>("gift_name", &KVTRVIPModel::gift_name),
                kvtr_goods::textProperty<KVTRVIPModel>("gift_id", &KVTRVIPModel::gift_id),
                kvtr_goods::textProperty<KVTRVIPModel>("gift_num", &KVTRVIPModel::gift_num),
                kvtr_goods::textProperty<KVTRVIPModel>("gift_icon", &KVTRVIPModel::gift_icon),
                kvtr_goods::textProperty<KVTRVIPModel>("gift_desc", &KVTRVIPModel::gift_desc),
                kvtr_goods::textProperty<KVTRVIPModel>("vip_name", &KVTRVIPModel::vip_name),
                kvtr_goods::textProperty<KVTRVIPModel>("vip_level", &KVTRVIPModel::vip_level),
                kvtr_goods::textProperty<KVTRVIPModel>("vip_desc", &KVTRVIPModel::vip_desc),
                kvtr_goods::textProperty<KVTRVIPModel>("vip_condition", &KVTRVIPModel::vip_condition),
                kvtr_goods::textProperty<KVTRVIPModel>("categoryid", &KVTRVIPModel::categoryid),
                kvtr_goods::textProperty<KVTRVIPModel>("status", &KVTRVIPModel::status))

namespace {
[[maybe_unused]] const bool keysMapped = kvtr_goods::installKeyMapping(KVTRVIPModel::staticClass());
}  // namespace
QZ_MODEL_HOOKS(KVTRVIPModel)

void KVTRVIPModel::setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues) {
    kvtr_goods::fill(*this, keyedValues);
}

ns::Ref<ns::Dictionary> KVTRVIPModel::qz_replacedKeyFromPropertyName() { return kvtr_goods::categoryIdRename(); }
