#pragma once
// One goods entry of the GM store, filled by key-value coding from a goods
// dictionary: "id" lands in categoryid, other keys without a property are
// ignored. A number stored in either text property becomes its decimal
// text; any other non-text value leaves the property nil.

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class KVTRGMModel : public ns::Object {
    RT_DECLARE_CLASS(KVTRGMModel)
public:
    ns::Ref<ns::String> gm_id;
    ns::Ref<ns::String> gift_num;
    ns::Ref<ns::String> gift_name;
    ns::Ref<ns::String> gift_id;
    ns::Ref<ns::String> gift_icon;
    ns::Ref<ns::String> gift_desc;
    ns::Ref<ns::String> status;
    ns::Ref<ns::String> gm_desc;
    ns::Ref<ns::String> gm_name;
    ns::Ref<ns::String> categoryid;

    // setValueForKey for every entry of the dictionary, in its order.
    void setValuesForKeysWithDictionary(const ns::Dictionary& keyedValues);
    // The same rename for dictionary mapping: categoryid <- "id".
    static ns::Ref<ns::Dictionary> qz_replacedKeyFromPropertyName();
};
