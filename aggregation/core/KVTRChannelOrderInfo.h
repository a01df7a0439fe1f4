#pragma once
// An order as the channel adapter hands it to the channel's payment centre.
// gameOrderSn is the aggregator's order id; roleId the aggregator's role id.

#include "platform/foundation/String.h"

class KVTRChannelOrderInfo : public ns::Object {
    RT_DECLARE_CLASS(KVTRChannelOrderInfo)
public:
    ns::Ref<ns::String> goodID;
    ns::Ref<ns::String> payMoney;
    ns::Ref<ns::String> goodName;
    ns::Ref<ns::String> gameOrderSn;
    ns::Ref<ns::String> serviceId;
    ns::Ref<ns::String> serviceName;
    ns::Ref<ns::String> roleId;
    ns::Ref<ns::String> roleName;
    ns::Ref<ns::String> powerValue;
    ns::Ref<ns::String> remark;
};
