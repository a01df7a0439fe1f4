#pragma once
// The resource hall's records, filled by key-value coding from the game
// server's dictionaries: a key without a property is ignored, a missing key
// leaves its property nil, a number lands as its decimal text and a value of
// another kind (null, a container) as nil.

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

// One turntable prize.
class KVTRTurnTableModel : public ns::Object {
    RT_DECLARE_CLASS(KVTRTurnTableModel)
public:
    ns::Ref<ns::String> mid;
    ns::Ref<ns::String> amount;
    // On the super wheel's centre prize: the bar's full count.
    ns::Ref<ns::String> nums;
    // On a welfare item: "0" a sector, anything else the centre prize.
    ns::Ref<ns::String> is_super;
    ns::Ref<ns::String> name;
    ns::Ref<ns::String> icon;

    // A record of a reply dictionary; an empty one for anything else.
    static ns::Ref<KVTRTurnTableModel> withDictionary(const ns::Id& dictionary);
};

// One infinite-resource goods record; the reply's "id" lands in listid.
class KVTRInfiniterModel : public ns::Object {
    RT_DECLARE_CLASS(KVTRInfiniterModel)
public:
    ns::Ref<ns::String> listid;
    ns::Ref<ns::String> title;
    ns::Ref<ns::String> content;
    ns::Ref<ns::String> money;
    ns::Ref<ns::String> prop_img;
    ns::Ref<ns::String> game_coin;
    ns::Ref<ns::String> welfare_nums;
    ns::Ref<ns::String> super_welfare_nums;
    // "0" offers the buy button, "1" the claims.
    ns::Ref<ns::String> is_buy;
    // "0" claimable, "1" claimed.
    ns::Ref<ns::String> is_coin;
    ns::Ref<ns::String> is_welfare;
    ns::Ref<ns::String> is_superwelfare;

    static ns::Ref<KVTRInfiniterModel> withDictionary(const ns::Id& dictionary);
    // The property-to-key renames for dictionary mapping: listid <- "id".
    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName();
};
