#pragma once
// The pay API: an order for each pay way (web page, wallet app, WeChat web,
// platform coins, vouchers), balances, support contacts, order records and
// pay ways. Each request calls exactly one of its two closures, on the main
// thread, except where noted. Code 11 on the web, wallet and WeChat orders
// means the order needs no payment and reaches the failure closure as "11".

#include <functional>

#include "channel/TVPayResults.h"
#include "platform/foundation/String.h"

namespace TVPayAPI {

using Text = ns::Ref<ns::String>;
using MessageFailure = std::function<void(const Text& message)>;
using CodedFailure = std::function<void(const Text& message, const Text& code)>;

// The arguments of an order (decimal texts for amounts; "%.2f" of the
// discount factor). A nil value leaves its key out of the request.
struct Order {
    Text money, realMoney, cid, orderNumber, discount, payType;
    Text roleId, serverId, productName, productDesc, cpExtend;
};

// "H5pay/pay"; "z" is the order's payType.
void doH5Pay(const Order& order, std::function<void(const ns::Ref<NotifyServer>&)> success, MessageFailure failed);
// `path` is "Quipayapp/apppayios" or "Quipayappother/apppayios" (plain transport).
void doQuipayAppPay(const Order& order, const Text& path, std::function<void(const ns::Ref<QuipayInfo>&)> success,
                    MessageFailure failed);
// `path` is "wxh5/h5pay" or "Wxh5other/h5pay"; the page address is the reply's "data".
void doWxPay(const Order& order, const Text& path, std::function<void(const ns::Ref<NotifyServer>&)> success,
             MessageFailure failed);
// Platform coins; the order number is not sent.
void doPtbPay(const Order& order, std::function<void(const ns::Ref<PtbPay>&)> success, CodedFailure failed);
// Vouchers: the amount goes under "b" only.
void doDjqPay(const Order& order, std::function<void(const ns::Ref<DiscountPayWay>&)> success, CodedFailure failed);

void GetMyPtbMoney(std::function<void(const ns::Ref<GetMyPtbResult>&)> success, MessageFailure failed);
void GetMyDiscountMoney(std::function<void(const ns::Ref<GetMyDiscountResult>&)> success, MessageFailure failed);
void GetServiceQQAndPhone(std::function<void(const ns::Ref<HelpQQAndTel>&)> success, MessageFailure failed);
void payRecordsWithStatus(const Text& status, const Text& page,
                          std::function<void(const ns::Ref<OrderRecords>&)> success, MessageFailure failed);
// The reply's "data".
void getGameDetailInfo(std::function<void(const ns::Id& data)> success, MessageFailure failed);
// The "d" of the first pay way whose "z" is 2; neither closure when none is.
void GetPayWays(std::function<void(const ns::Id& way)> success, MessageFailure failed);
// Kept for callers; they do nothing and call neither closure.
void getGiffCodeForInfoid(const Text& infoId, std::function<void(const ns::Id&)> success, MessageFailure failed);
void GetGamePresentHtml(std::function<void(const ns::Id&)> success, MessageFailure failed);

}  // namespace TVPayAPI
