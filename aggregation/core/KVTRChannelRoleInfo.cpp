#include "aggregation/core/KVTRChannelRoleInfo.h"

RT_DEFINE_CLASS(KVTRChannelRoleInfo, ns::Object, "KVTRChannelRoleInfo", RT_PROPERTY(KVTRChannelRoleInfo, serviceId),
                RT_PROPERTY(KVTRChannelRoleInfo, serviceName), RT_PROPERTY(KVTRChannelRoleInfo, roleId),
                RT_PROPERTY(KVTRChannelRoleInfo, roleName), RT_PROPERTY(KVTRChannelRoleInfo, roleLevel),
                RT_PROPERTY(KVTRChannelRoleInfo, powerValue))
