#pragma once
// One goods entry of the VIP store; filled like KVTRGMModel: "id" lands in
// categoryid, other keys without a property are ignored, numbers become
// their decimal text.

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class KVTRVIPModel : public ns::Object {
    RT_DECLARE_CLASS(KVTRVIPModel)
public:
    ns::Ref<ns::String> game_id;
    ns::Ref<ns::String> vip_id;
    ns::Ref<ns::String> gift_name;
    ns::Ref<ns::String> gift_id;
    ns::Ref<ns::String> gift_num;
    ns::Ref<ns::String> gift_icon;
    ns::Ref<ns::String> gift_desc;
    ns::Ref<ns::String> vip_name;
    ns::Ref<ns::String> vip_level;
    ns::Ref<ns::String> vip_desc;
    ns::Ref<ns::String> vip_condition;
    ns::Ref<ns::String> categoryid;
    ns::Ref<ns::String> status;

    // setValueForKey for every entry of the dictionary, in its order.
    void setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues);
    // The same rename for dictionary mapping: categoryid <- "id".
    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName();
};
