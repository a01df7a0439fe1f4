#include "aggregation/welfare/KVTRWelfareModels.h"

#include "aggregation/core/KVTRGoodsModelKeys.h"

using kvtr_goods::textProperty;

RT_DEFINE_CLASS(KVTRTurnTableModel, ns::Object, "KVTRTurnTableModel",
                textProperty<KVTRTurnTableModel>("mid", &KVTRTurnTableModel::mid),
                textProperty<KVTRTurnTableModel>("amount", &KVTRTurnTableModel::amount),
                textProperty<KVTRTurnTableModel>("nums", &KVTRTurnTableModel::nums),
                textProperty<KVTRTurnTableModel>("is_super", &KVTRTurnTableModel::is_super),
                textProperty<KVTRTurnTableModel>("name", &KVTRTurnTableModel::name),
                textProperty<KVTRTurnTableModel>("icon", &KVTRTurnTableModel::icon))

RT_DEFINE_CLASS(KVTRInfiniterModel, ns::Object, "KVTRInfiniterModel",
                textProperty<KVTRInfiniterModel>("listid", &KVTRInfiniterModel::listid),
                textProperty<KVTRInfiniterModel>("title", &KVTRInfiniterModel::title),
                textProperty<KVTRInfiniterModel>("content", &KVTRInfiniterModel::content),
                textProperty<KVTRInfiniterModel>("money", &KVTRInfiniterModel::money),
                textProperty<KVTRInfiniterModel>("prop_img", &KVTRInfiniterModel::prop_img),
                textProperty<KVTRInfiniterModel>("game_coin", &KVTRInfiniterModel::game_coin),
                textProperty<KVTRInfiniterModel>("welfare_nums", &KVTRInfiniterModel::welfare_nums),
                textProperty<KVTRInfiniterModel>("super_welfare_nums", &KVTRInfiniterModel::super_welfare_nums),
                textProperty<KVTRInfiniterModel>("is_buy", &KVTRInfiniterModel::is_buy),
                textProperty<KVTRInfiniterModel>("is_coin", &KVTRInfiniterModel::is_coin),
                textProperty<KVTRInfiniterModel>("is_welfare", &KVTRInfiniterModel::is_welfare),
                textProperty<KVTRInfiniterModel>("is_superwelfare", &KVTRInfiniterModel::is_superwelfare))

namespace {
[[maybe_unused]] const bool prizeKeysIgnored = kvtr_goods::ignoreUnknownKeys(KVTRTurnTableModel::staticClass());
[[maybe_unused]] const bool goodsKeysMapped =
    kvtr_goods::installKeyMapping(KVTRInfiniterModel::staticClass(), "listid");
}  // namespace

ns::Ref<KVTRTurnTableModel> KVTRTurnTableModel::withDictionary(const ns::Id& dictionary) {
    return kvtr_goods::filled<KVTRTurnTableModel>(dictionary);
}

ns::Ref<KVTRInfiniterModel> KVTRInfiniterModel::withDictionary(const ns::Id& dictionary) {
    return kvtr_goods::filled<KVTRInfiniterModel>(dictionary);
}

ns::Ref<ns::Dictionary> KVTRInfiniterModel::qz_replacedKeyFromPropertyName() {
    return ns::Dictionary::make({{"listid", ns::String::make("id")}});
}
