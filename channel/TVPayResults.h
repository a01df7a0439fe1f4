#pragma once
// Replies of the pay API.

#include <optional>
#include <vector>

#include "channel/TVBaseResponse.h"

class GetMyPtbResult : public TVBaseResponse {
    RT_DECLARE_CLASS(GetMyPtbResult)
public:
    static ns::Ref<GetMyPtbResult> responseWithDic(const ns::Id& dic);
    ns::Id ptb;  // platform-coin balance
};

class PtbPay : public TVBaseResponse {
    RT_DECLARE_CLASS(PtbPay)
public:
    static ns::Ref<PtbPay> responseWithDic(const ns::Id& dic);
    ns::Id orderID;
};

class PayWay : public TVBaseResponse {
    RT_DECLARE_CLASS(PayWay)
public:
    static ns::Ref<PayWay> responseWithDic(const ns::Id& dic);
    std::vector<ns::Ref<PayWay>> data;
};

class HelpQQAndTel : public TVBaseResponse {
    RT_DECLARE_CLASS(HelpQQAndTel)
public:
    static ns::Ref<HelpQQAndTel> responseWithDic(const ns::Id& dic);
    ns::Id QQ, TEL, ttbRate, libaoShow;
};

class QuickPay : public TVBaseResponse {
    RT_DECLARE_CLASS(QuickPay)
public:
    static ns::Ref<QuickPay> responseWithDic(const ns::Id& dic);
    ns::Id url, orderID;
};

class OrderRecords : public TVBaseResponse {
    RT_DECLARE_CLASS(OrderRecords)
public:
    // With "data" an array, a record whose dataArray holds one record per
    // element; otherwise an empty record without dataArray.
    static ns::Ref<OrderRecords> responseWithDic(const ns::Id& dic);
    ns::Id orderID, amount, Paytype, creatSinceTime, creatTime;
    std::optional<std::vector<ns::Ref<OrderRecords>>> dataArray;
};

class GameDetail : public TVBaseResponse {
    RT_DECLARE_CLASS(GameDetail)
public:
    static ns::Ref<GameDetail> responseWithDic(const ns::Id& dic);
    ns::Id iconURL, desc, downLoadURL, gameName;
};

class NotifyServer : public TVBaseResponse {
    RT_DECLARE_CLASS(NotifyServer)
public:
    static ns::Ref<NotifyServer> responseWithDic(const ns::Id& dic);
    ns::Id messge, url;
};

class WeiXinInfo : public TVBaseResponse {
    RT_DECLARE_CLASS(WeiXinInfo)
public:
    static ns::Ref<WeiXinInfo> responseWithDic(const ns::Id& dic);
    ns::Id appid, noncestr, package, partnerid, prepayid, sign;
    ns::Ref<ns::String> timestamp;  // "%@" text
};

class DiscountPayWay : public TVBaseResponse {
    RT_DECLARE_CLASS(DiscountPayWay)
public:
    static ns::Ref<DiscountPayWay> responseWithDic(const ns::Id& dic);
    ns::Id orderID;
};

class GetMyDiscountResult : public TVBaseResponse {
    RT_DECLARE_CLASS(GetMyDiscountResult)
public:
    static ns::Ref<GetMyDiscountResult> responseWithDic(const ns::Id& dic);
    ns::Id discountNum;
};

class QuipayInfo : public TVBaseResponse {
    RT_DECLARE_CLASS(QuipayInfo)
public:
    static ns::Ref<QuipayInfo> responseWithDic(const ns::Id& dic);
    ns::Id signStr;  // the signed order string for the wallet
};
