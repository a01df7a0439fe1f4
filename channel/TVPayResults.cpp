#include "channel/TVPayResults.h"

#include "channel/TVReplyFields.h"
#include "platform/foundation/Array.h"

using TVReply::field;

RT_DEFINE_CLASS(GetMyPtbResult, TVBaseResponse, "GetMyPtbResult")
RT_DEFINE_CLASS(PtbPay, TVBaseResponse, "PtbPay")
RT_DEFINE_CLASS(PayWay, TVBaseResponse, "PayWay")
RT_DEFINE_CLASS(HelpQQAndTel, TVBaseResponse, "HelpQQAndTel")
RT_DEFINE_CLASS(QuickPay, TVBaseResponse, "QuickPay")
RT_DEFINE_CLASS(OrderRecords, TVBaseResponse, "OrderRecords")
RT_DEFINE_CLASS(GameDetail, TVBaseResponse, "GameDetail")
RT_DEFINE_CLASS(NotifyServer, TVBaseResponse, "NotifyServer")
RT_DEFINE_CLASS(WeiXinInfo, TVBaseResponse, "WeiXinInfo")
RT_DEFINE_CLASS(DiscountPayWay, TVBaseResponse, "DiscountPayWay")
RT_DEFINE_CLASS(GetMyDiscountResult, TVBaseResponse, "GetMyDiscountResult")
RT_DEFINE_CLASS(QuipayInfo, TVBaseResponse, "QuipayInfo")

namespace {

// Each element of an array reply field, in order; nothing for a non-array.
template <class Each>
void forEachElement(const ns::Id& value, Each each) {
    auto array = ns::cast<ns::Array>(value);
    if (!array) return;
    for (uint64_t i = 0; i < array->count(); ++i) each(array->objectAtIndex(i));
}

}  // namespace

ns::Ref<GetMyPtbResult> GetMyPtbResult::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<GetMyPtbResult>();
    result->code = field(dic, "z");
    result->ptb = field(dic, "b");
    result->mesage = field(dic, "c");
    return result;
}

ns::Ref<PtbPay> PtbPay::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<PtbPay>();
    result->code = field(dic, "z");
    result->mesage = field(dic, "c");
    result->orderID = field(dic, "b");
    return result;
}

ns::Ref<PayWay> PayWay::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<PayWay>();
    result->code = field(dic, "code");
    result->mesage = field(dic, "msg");
    forEachElement(field(dic, "data"), [&](const ns::Id& element) {
        auto way = std::make_shared<PayWay>();
        way->code = field(element, "z");
        way->mesage = field(element, "b");
        result->data.push_back(way);
    });
    return result;
}

ns::Ref<HelpQQAndTel> HelpQQAndTel::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<HelpQQAndTel>();
    ns::Id data = field(dic, "data");
    result->QQ = field(data, "b");
    result->TEL = field(data, "z");
    result->mesage = field(data, "d");
    result->ttbRate = field(data, "c");
    result->libaoShow = field(data, "e");
    return result;
}

ns::Ref<QuickPay> QuickPay::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<QuickPay>();
    result->code = field(dic, "z");
    result->url = field(dic, "b");
    result->mesage = field(dic, "c");
    result->orderID = field(dic, "d");
    return result;
}

ns::Ref<OrderRecords> OrderRecords::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<OrderRecords>();
    ns::Id data = field(dic, "data");
    if (!ns::cast<ns::Array>(data)) return result;
    result->dataArray.emplace();
    forEachElement(data, [&](const ns::Id& element) {
        auto record = std::make_shared<OrderRecords>();
        record->orderID = field(element, "z");
        record->amount = field(element, "b");
        record->Paytype = field(element, "paytype");
        record->creatSinceTime = field(element, "create_time");
        record->creatTime = field(element, "d");
        result->dataArray->push_back(record);
    });
    return result;
}

ns::Ref<GameDetail> GameDetail::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<GameDetail>();
    ns::Id data = field(dic, "data");
    result->iconURL = field(data, "z");
    result->desc = field(data, "b");
    result->downLoadURL = field(data, "e");
    result->gameName = field(data, "f");
    return result;
}

ns::Ref<NotifyServer> NotifyServer::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<NotifyServer>();
    result->messge = field(dic, "b");
    result->code = field(dic, "z");
    result->url = field(dic, "c");
    return result;
}

ns::Ref<WeiXinInfo> WeiXinInfo::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<WeiXinInfo>();
    ns::Id data = field(dic, "data");
    result->appid = field(data, "appid");
    result->noncestr = field(data, "noncestr");
    result->package = field(data, "package");
    result->partnerid = field(data, "partnerid");
    result->prepayid = field(data, "prepayid");
    result->sign = field(data, "sign");
    result->timestamp = ns::str(TVReply::textOf(data, "timestamp"));
    return result;
}

ns::Ref<DiscountPayWay> DiscountPayWay::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<DiscountPayWay>();
    result->code = field(dic, "z");
    result->mesage = field(dic, "c");
    result->orderID = field(dic, "b");
    return result;
}

ns::Ref<GetMyDiscountResult> GetMyDiscountResult::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<GetMyDiscountResult>();
    result->code = field(dic, "z");
    result->discountNum = field(dic, "b");
    result->mesage = field(dic, "c");
    return result;
}

ns::Ref<QuipayInfo> QuipayInfo::responseWithDic(const ns::Id& dic) {
    auto result = std::make_shared<QuipayInfo>();
    result->signStr = field(dic, "c");
    return result;
}
