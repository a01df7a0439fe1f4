#pragma once
// What the aggregation facade tells the game shell. Every callback arrives on
// the main queue; logOutCallBack comes synchronously from the logout call (or
// the channel's own logout, which reaches the facade on the main queue).

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

class ROZCoreEntityDelegate {
public:
    virtual ~ROZCoreEntityDelegate() = default;

    // Platform login done: {super_user_id, token, auth, birthday}.
    virtual void kvtr_LightGetChannelLoginCallBack(const ns::Ref<ns::Dictionary>& result) = 0;
    // Role report done: the platform server's whole reply.
    virtual void getUpdateRoleCallBack(const ns::Ref<ns::Dictionary>& reply) = 0;
    // The entry check's answer, "1" or "0".
    virtual void canEnterListenCallBack(const ns::Ref<ns::String>& canEnter) = 0;
    // {order_id, cpOrder} of the order the payment was for.
    virtual void getPaySuccessCallBack(const ns::Ref<ns::Dictionary>& order) = 0;
    virtual void getPayFailCallBack(const ns::Ref<ns::Dictionary>& order) = 0;
    // "success".
    virtual void logOutCallBack(const ns::Ref<ns::String>& result) = 0;
    // The store hall's recharge event text.
    virtual void rechargeCallBack(const ns::Ref<ns::String>& event) = 0;
};
