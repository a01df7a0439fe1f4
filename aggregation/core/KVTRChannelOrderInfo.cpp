#include "aggregation/core/KVTRChannelOrderInfo.h"

RT_DEFINE_CLASS(KVTRChannelOrderInfo, ns::Object, "KVTRChannelOrderInfo", RT_PROPERTY(KVTRChannelOrderInfo, goodID),
                RT_PROPERTY(KVTRChannelOrderInfo, payMoney), RT_PROPERTY(KVTRChannelOrderInfo, goodName),
                RT_PROPERTY(KVTRChannelOrderInfo, gameOrderSn), RT_PROPERTY(KVTRChannelOrderInfo, serviceId),
                RT_PROPERTY(KVTRChannelOrderInfo, serviceName), RT_PROPERTY(KVTRChannelOrderInfo, roleId),
                RT_PROPERTY(KVTRChannelOrderInfo, roleName), RT_PROPERTY(KVTRChannelOrderInfo, powerValue),
                RT_PROPERTY(KVTRChannelOrderInfo, remark))
