#include "aggregation/core/KVTRGMModel.h"

#include "aggregation/core/KVTRGoodsModelKeys.h"

RT_DEFINE_CLASS(KVTRGMModel, ns::Object, "KVTRGMModel",
                kvtr_goods::textProperty<KVTRGMModel>("categoryid", &KVTRGMModel::categoryid),
                kvtr_goods::textProperty<KVTRGMModel>("status", &KVTRGMModel::status))

namespace {
[[maybe_unused]] const bool keysMapped = kvtr_goods::installKeyMapping(KVTRGMModel::staticClass());
}  // namespace

void KVTRGMModel::setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues) {
    kvtr_goods::fill(*this, keyedValues);
}
