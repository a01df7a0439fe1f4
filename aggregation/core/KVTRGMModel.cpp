#include "aggregation/core/KVTRGMModel.h"

#include "aggregation/core/KVTRGoodsModelKeys.h"
#include "net/ModelHooks.h"

RT_DEFINE_CLASS(KVTRGMModel, ns::Object, "KVTRGMModel",
                kvtr_goods::textProperty<KVTRGMModel>("gm_id", &KVTRGMModel::gm_id),
                kvtr_goods::textProperty<KVTRGMModel>("gift_num", &KVTRGMModel::gift_num),
                kvtr_goods::textProperty<KVTRGMModel>("gift_name", &KVTRGMModel::gift_name),
                kvtr_goods::textProperty<KVTRGMModel>("gift_id", &KVTRGMModel::gift_id),
                kvtr_goods::textProperty<KVTRGMModel>("gift_icon", &KVTRGMModel::gift_icon),
                kvtr_goods::textProperty<KVTRGMModel>("gift_desc", &KVTRGMModel::gift_desc),
                kvtr_goods::textProperty<KVTRGMModel>("status", &KVTRGMModel::status),
                kvtr_goods::textProperty<KVTRGMModel>("gm_desc", &KVTRGMModel::gm_desc),
                kvtr_goods::textProperty<KVTRGMModel>("gm_name", &KVTRGMModel::gm_name),
                kvtr_goods::textProperty<KVTRGMModel>("categoryid", &KVTRGMModel::categoryid))

namespace {
[[maybe_unused]] const bool keysMapped = kvtr_goods::installKeyMapping(KVTRGMModel::staticClass());
}  // namespace
QZ_MODEL_HOOKS(KVTRGMModel)

void KVTRGMModel::setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues) {
    kvtr_goods::fill(*this, keyedValues);
}

ns::Ref<ns::Dictionary> KVTRGMModel::qz_replacedKeyFromPropertyName() { return kvtr_goods::categoryIdRename(); }
