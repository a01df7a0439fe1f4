#include "aggregation/core/KVTRVIPModel.h"

#include "aggregation/core/KVTRGoodsModelKeys.h"

RT_DEFINE_CLASS(KVTRVIPModel, ns::Object, "KVTRVIPModel",
                kvtr_goods::textProperty<KVTRVIPModel>("categoryid", &KVTRVIPModel::categoryid),
                kvtr_goods::textProperty<KVTRVIPModel>("status", &KVTRVIPModel::status))

namespace {
[[maybe_unused]] const bool keysMapped = kvtr_goods::installKeyMapping(KVTRVIPModel::staticClass());
}  // namespace

void KVTRVIPModel::setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues) {
    kvtr_goods::fill(*this, keyedValues);
}
