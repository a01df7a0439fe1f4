#pragma once
// The reported role as the channel adapter hands it to the channel SDK.
// roleId is the aggregator's role id, not the game's.

#include "platform/foundation/String.h"

class KVTRChannelRoleInfo : public ns::Object {
    RT_DECLARE_CLASS(KVTRChannelRoleInfo)
public:
    ns::Ref<ns::String> serviceId;
    ns::Ref<ns::String> serviceName;
    ns::Ref<ns::String> roleId;
    ns::Ref<ns::String> roleName;
    ns::Ref<ns::String> roleLevel;
    ns::Ref<ns::String> powerValue;
};
