#pragma once
// One voucher the server offers for an amount, as a row of the voucher
// list reply gives it.

#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVCouponsModel : public ns::Object {
    RT_DECLARE_CLASS(TVCouponsModel)
public:
    // A row that is not a dictionary gives a voucher with nothing set.
    static ns::Ref<TVCouponsModel> initWithDictionary(const ns::Id& dictionary);

    // As the row holds them (text or number).
    ns::Id gamename, coupon_name, av_time, av, gid;
    // As text ("%@" of the value): id, minimum order and amount off, in yuan.
    ns::Ref<ns::String> cid, pay_money, coupon_money;
};
