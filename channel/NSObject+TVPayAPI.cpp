#include "channel/NSObject+TVPayAPI.h"

#include "channel/NSMutableDictionary+HTTP.h"
#include "channel/NetWorkManager.h"
#include "channel/ShareVale.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVReplyFields.h"
#include "channel/VRQSdpNetTool.h"
#include "platform/foundation/AdvertisingIdentifierManager.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/MutableDictionary.h"

namespace TVPayAPI {

namespace {

constexpr const char* kServerError = "服务器错误";         // the orders
constexpr const char* kCannotConnect = "无法连接服务器";  // the other requests
// The game-detail request has no path of its own in the table.
constexpr const char* kGameDetailPath = "Game/detail";

using Fields = std::initializer_list<std::pair<const char*, ns::Id>>;
using TVReply::messageOf;

Text IDFA() {
    return ns::str(ns::AdvertisingIdentifierManager::sharedManager().advertisingIdentifier());
}

// Orders: a nil value leaves its key out.
ns::Ref<ns::MutableDictionary> orderRequest(Fields fields) {
    auto dictionary = ns::MutableDictionary::make();
    for (const auto& [key, value] : fields) HTTPFields::setObjectForOPField(*dictionary, value, key);
    return dictionary;
}

// The other requests: a nil value is sent as "".
ns::Ref<ns::MutableDictionary> request(Fields fields) {
    auto dictionary = ns::MutableDictionary::make();
    for (const auto& [key, value] : fields) HTTPFields::setObjectForField(*dictionary, value, key);
    return dictionary;
}

// The keys of the web, wallet and WeChat orders, in order.
ns::Ref<ns::MutableDictionary> schemeA(const Order& order, const Text& type) {
    auto vale = ShareVale::sharedInstance();
    return orderRequest({{"z", type},
                         {"p", order.money},
                         {"xx", order.discount},
                         {"b", order.realMoney},
                         {"cid", order.cid},
                         {"c", vale->userName()},
                         {"d", order.roleId},
                         {"e", order.serverId},
                         {"f", vale->gameID()},
                         {"x", order.orderNumber},
                         {"y", order.productDesc},
                         {"j", vale->appID()},
                         {"k", vale->chanelid()},
                         {"tr", vale->subUserName()},
                         {"h", IDFA()},
                         {"l", order.productName},
                         {"n", order.cpExtend},
                         {"os", ns::str("ios")}});
}

// The keys of the coin and voucher orders, in order: coins send the full
// amount, the discount, the amount to pay and the voucher id; vouchers send
// only their amount, under "b". Neither sends the order number.
ns::Ref<ns::MutableDictionary> schemeB(const Order& order, bool coins) {
    auto vale = ShareVale::sharedInstance();
    auto amounts = coins ? orderRequest({{"z", ns::str("ptb")},
                                         {"p", order.money},
                                         {"xx", order.discount},
                                         {"b", order.realMoney},
                                         {"cid", order.cid}})
                         : orderRequest({{"z", ns::str("djq")}, {"b", order.money}});
    auto rest = orderRequest({{"c", IDFA()},
                              {"d", vale->appID()},
                              {"e", vale->chanelid()},
                              {"f", vale->userName()},
                              {"x", order.roleId},
                              {"h", order.serverId},
                              {"j", vale->gameID()},
                              {"k", order.productName},
                              {"l", order.productDesc},
                              {"y", order.cpExtend},
                              {"tr", vale->subUserName()},
                              {"os", ns::str("ios")}});
    rest->enumerateKeysAndObjectsUsingBlock(
        [&amounts](const ns::Id& key, const ns::Id& value, bool&) { amounts->setObjectForKey(value, key); });
    return amounts;
}

// Code 1 succeeds, 11 needs no payment, anything else is a refusal.
template <class Success>
void orderOutcome(int64_t code, Success onSuccess, const MessageFailure& failed, const Text& refusal) {
    if (code == 1) onSuccess();
    else if (failed) failed(code == 11 ? ns::str("11") : refusal);
}

TVCodecTransport::Failure orderUnreachable(const MessageFailure& failed) {
    return [failed](const ns::Ref<ns::Error>&) {
        if (failed) failed(ns::str(kServerError));
    };
}

TVCodecTransport::Failure unreachable(const MessageFailure& failed) {
    return [failed](const ns::Ref<ns::Error>&) {
        if (failed) failed(ns::str(kCannotConnect));
    };
}

void postFull(std::size_t endpoint, const ns::Ref<ns::MutableDictionary>& parameters,
              TVCodecTransport::Success success, const MessageFailure& failed) {
    NetWorkManager::sharedInstance()->POST(TVAPIStrings::endpoint(TVAPIStrings::at(endpoint)), parameters,
                                           std::move(success), unreachable(failed));
}

// Coins and vouchers share their reply handling.
template <class Model>
void payFromBalance(std::size_t endpoint, const ns::Ref<ns::MutableDictionary>& parameters,
                    std::function<void(const ns::Ref<Model>&)> success, CodedFailure failed) {
    NetWorkManager::sharedInstance()->PostCouponURL(
        TVAPIStrings::at(endpoint), parameters,
        [success, failed](const ns::Id& reply) {
            if (TVReply::integerOf(reply, "z") == 1) {
                if (success) success(Model::responseWithDic(reply));
            } else if (failed) {
                failed(messageOf(reply, "c"), messageOf(reply, "z"));
            }
        },
        [failed](const ns::Ref<ns::Error>&) {
            if (failed) failed(ns::str(kServerError), ns::str("501"));
        });
}

bool textIs(const ns::Id& reply, const char* key, const char* expected) {
    return TVReply::field(reply, key) && TVReply::textOf(reply, key) == expected;
}

}  // namespace

void doH5Pay(const Order& order, std::function<void(const ns::Ref<NotifyServer>&)> success, MessageFailure failed) {
    NetWorkManager::sharedInstance()->PostCouponURL(
        TVAPIStrings::at(TVAPIStrings::H5Pay), schemeA(order, order.payType),
        [success, failed](const ns::Id& reply) {
            orderOutcome(
                TVReply::integerOf(reply, "z"),
                [&] {
                    auto notify = std::make_shared<NotifyServer>();
                    notify->url = TVReply::field(reply, "c");
                    notify->messge = TVReply::field(reply, "b");
                    if (success) success(notify);
                },
                failed, messageOf(reply, "b"));
        },
        orderUnreachable(failed));
}

void doQuipayAppPay(const Order& order, const Text& path, std::function<void(const ns::Ref<QuipayInfo>&)> success,
                    MessageFailure failed) {
    VRQSdpNetTool::sharedTool()->PostWithURLString(
        path ? path->utf8() : std::string(), schemeA(order, ns::str("zfb")),
        [success, failed](const ns::Id& reply) {
            orderOutcome(
                TVReply::integerOf(reply, "z"),
                [&] {
                    if (success) success(QuipayInfo::responseWithDic(reply));
                },
                failed, messageOf(reply, "b"));
        },
        orderUnreachable(failed));
}

void doWxPay(const Order& order, const Text& path, std::function<void(const ns::Ref<NotifyServer>&)> success,
             MessageFailure failed) {
    NetWorkManager::sharedInstance()->PostCouponURL(
        path ? path->utf8() : std::string(), schemeA(order, ns::str("wx")),
        [success, failed](const ns::Id& reply) {
            if (!reply) {
                if (failed) failed(ns::str(kServerError));
                return;
            }
            orderOutcome(
                TVReply::integerOf(reply, "code"),
                [&] {
                    auto notify = std::make_shared<NotifyServer>();
                    notify->url = TVReply::field(reply, "data");
                    if (success) success(notify);
                },
                failed, messageOf(reply, "msg"));
        },
        orderUnreachable(failed));
}

void doPtbPay(const Order& order, std::function<void(const ns::Ref<PtbPay>&)> success, CodedFailure failed) {
    payFromBalance<PtbPay>(TVAPIStrings::CoinPay, schemeB(order, true), std::move(success), std::move(failed));
}

void doDjqPay(const Order& order, std::function<void(const ns::Ref<DiscountPayWay>&)> success, CodedFailure failed) {
    payFromBalance<DiscountPayWay>(TVAPIStrings::VoucherPay, schemeB(order, false), std::move(success),
                                   std::move(failed));
}

namespace {

// Replies whose `key` is the text "1" give the model; others the message.
template <class Model>
TVCodecTransport::Success modelOr(const char* key, const char* messageKey,
                                  std::function<void(const ns::Ref<Model>&)> success, MessageFailure failed) {
    return [=](const ns::Id& reply) {
        if (textIs(reply, key, "1")) {
            if (success) success(Model::responseWithDic(reply));
        } else if (failed) {
            failed(messageOf(reply, messageKey));
        }
    };
}

}  // namespace

void GetMyPtbMoney(std::function<void(const ns::Ref<GetMyPtbResult>&)> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    postFull(
        TVAPIStrings::CoinBalance, request({{"z", vale->appID()}, {"b", vale->userName()}}),
        modelOr<GetMyPtbResult>("z", "c", success, failed), failed);
}

void GetMyDiscountMoney(std::function<void(const ns::Ref<GetMyDiscountResult>&)> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    postFull(
        TVAPIStrings::VoucherBalance, request({{"z", vale->appID()}, {"b", vale->userName()}, {"c", vale->gameID()}}),
        modelOr<GetMyDiscountResult>("z", "c", success, failed), failed);
}

void GetServiceQQAndPhone(std::function<void(const ns::Ref<HelpQQAndTel>&)> success, MessageFailure failed) {
    postFull(
        TVAPIStrings::ServiceContacts, request({{"z", ShareVale::sharedInstance()->appID()}}),
        modelOr<HelpQQAndTel>("code", "msg", success, failed), failed);
}

void payRecordsWithStatus(const Text& status, const Text& page,
                          std::function<void(const ns::Ref<OrderRecords>&)> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    postFull(
        TVAPIStrings::PayRecords,
        request({{"z", vale->userName()}, {"b", vale->appID()}, {"c", status}, {"d", page}}),
        modelOr<OrderRecords>("code", "msg", success, failed), failed);
}

void getGameDetailInfo(std::function<void(const ns::Id& data)> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    NetWorkManager::sharedInstance()->POST(
        TVAPIStrings::endpoint(kGameDetailPath), request({{"z", vale->appID()}, {"b", vale->gameID()}}),
        [success, failed](const ns::Id& reply) {
            if (textIs(reply, "code", "1")) {
                if (success) success(TVReply::field(reply, "data"));
            } else if (failed) {
                failed(messageOf(reply, "msg"));
            }
        },
        unreachable(failed));
}

void GetPayWays(std::function<void(const ns::Id& way)> success, MessageFailure failed) {
    auto vale = ShareVale::sharedInstance();
    postFull(
        TVAPIStrings::PayWays,
        request({{"z", vale->appID()}, {"b", vale->gameID()}, {"h", IDFA()}, {"os", ns::str("ios")}}),
        [success, failed](const ns::Id& reply) {
            if (!textIs(reply, "code", "1")) {
                if (failed) failed(messageOf(reply, "msg"));
                return;
            }
            auto rows = ns::cast<ns::Array>(TVReply::field(reply, "data"));
            for (uint64_t i = 0; rows && i < rows->count(); ++i) {
                ns::Id row = rows->objectAtIndex(i);
                if (TVReply::integerOf(row, "z") == 2) {
                    if (success) success(TVReply::field(row, "d"));
                    return;
                }
            }
        },
        failed);
}

void getGiffCodeForInfoid(const Text&, std::function<void(const ns::Id&)>, MessageFailure) {}

void GetGamePresentHtml(std::function<void(const ns::Id&)>, MessageFailure) {}

}  // namespace TVPayAPI
