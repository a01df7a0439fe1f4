#include "channel/pay/TVCouponsModel.h"

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Text.h"

RT_DEFINE_CLASS(TVCouponsModel, ns::Object, "TVCouponsModel")

ns::Ref<TVCouponsModel> TVCouponsModel::initWithDictionary(const ns::Id& dictionary) {
    auto model = std::make_shared<TVCouponsModel>();
    auto row = ns::cast<ns::Dictionary>(dictionary);
    if (!row) return model;
    auto value = [&](std::string_view key) { return row->objectForKey(key); };
    auto text = [&](std::string_view key) { return ns::str(ns::textOf(row->objectForKey(key))); };
    model->gamename = value("gamename");
    model->cid = text("cid");
    model->coupon_name = value("coupon_name");
    model->pay_money = text("pay_money");
    model->coupon_money = text("coupon_money");
    model->av_time = value("av_time");
    model->av = value("av");
    model->gid = value("gid");
    return model;
}
