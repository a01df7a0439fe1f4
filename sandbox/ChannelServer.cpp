#include "sandbox/ChannelServer.h"

#include <cmath>
#include <exception>
#include <string_view>

#include "platform/foundation/Array.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"
#include "sandbox/ChannelPages.h"
#include "sandbox/ChannelWire.h"
#include "sandbox/Json.h"

namespace sandbox {

namespace {

constexpr std::string_view kPrefix = "/sdkapicoupon/";

// A field of a request as text; "" when missing.
std::string text(const ns::Id& fields, std::string_view key) {
    auto dictionary = ns::cast<ns::Dictionary>(fields);
    ns::Id value = dictionary ? dictionary->objectForKey(key) : nullptr;
    return value ? ns::textOf(value) : std::string();
}

ns::Id object(std::initializer_list<ns::Dictionary::Entry> entries) {
    return ns::Dictionary::make(entries);
}

ns::Id s(std::string value) {
    return ns::str(std::move(value));
}

bool isDigits(const std::string& value) {
    return !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
}

// Whole coins; -1 for anything else.
int64_t amount(const std::string& value) {
    if (!isDigits(value) || value.size() > 12) return -1;
    return std::stoll(value);
}

// Yuan with up to two decimals, in cents; -1 for anything else.
int64_t cents(const std::string& value) {
    size_t point = value.find('.');
    std::string whole = value.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : value.substr(point + 1);
    if (fraction.size() > 2 || (point != std::string::npos && fraction.empty()) || (!fraction.empty() && !isDigits(fraction)))
        return -1;
    int64_t yuan = amount(whole);
    if (yuan < 0) return -1;
    while (fraction.size() < 2) fraction += '0';
    return yuan * 100 + std::stoll(fraction);
}

}  // namespace

ChannelServer::ChannelServer(int port)
    : http_(
          [this](const Request& request) {
              bool api = request.path.compare(0, kPrefix.size(), kPrefix) == 0;
              return delays_.replyTo(api ? request.path.substr(kPrefix.size()) : request.path,
                                     [&] { return respond(request); });
          },
          port) {
    Account known;
    known.password = kKnownPassword;
    known.coins = kKnownCoins;
    known.vouchers = kKnownVouchers;
    known.verified = true;
    // The sign goes out with one extra leading character, as the list sends it.
    known.subAccounts = {{"小号一", "player1_1", "#sign-player1-1", "1704067200"},
                         {"小号二", "player1_2", "#sign-player1-2", "1704067200"}};
    accounts_[kKnownUser] = known;
    Account minor;
    minor.password = kMinorPassword;
    minor.verified = true;
    minor.limited = true;
    minor.subAccounts = {{"小号一", "minor1_1", "#sign-minor1-1", "1704067200"}};
    accounts_[kMinorUser] = minor;
}

// The server waits for its requests in progress as it stops: none may wait
// for a time that will not come.
ChannelServer::~ChannelServer() {
    delays_.stop();
}

std::string ChannelServer::base() const {
    return http_.origin() + std::string(kPrefix);
}

std::string ChannelServer::smsCodeFor(const std::string& phone) const {
    std::lock_guard guard(lock_);
    auto found = smsCodes_.find(phone);
    return found == smsCodes_.end() ? std::string() : found->second;
}

int64_t ChannelServer::coinsOf(const std::string& user) const {
    std::lock_guard guard(lock_);
    auto found = accounts_.find(user);
    return found == accounts_.end() ? 0 : found->second.coins;
}

void ChannelServer::setDiscount(std::string discount) {
    std::lock_guard guard(lock_);
    discount_ = std::move(discount);
}

void ChannelServer::setStatusDelay(int requests) {
    std::lock_guard guard(lock_);
    statusDelay_ = requests;
}

void ChannelServer::setReply(const std::string& endpoint, std::optional<ns::Id> reply) {
    std::lock_guard guard(lock_);
    if (reply) replies_[endpoint] = std::move(reply);
    else replies_.erase(endpoint);
}

int ChannelServer::requestsTo(const std::string& endpoint) const {
    std::lock_guard guard(lock_);
    auto found = requests_.find(endpoint);
    return found == requests_.end() ? 0 : found->second;
}

bool ChannelServer::isPaid(const std::string& user) const {
    std::lock_guard guard(lock_);
    return paid_.count(user) != 0;
}

void ChannelServer::setPaid(const std::string& user) {
    std::lock_guard guard(lock_);
    paid_.insert(user);
}

// The pay page of a web or WeChat order: loading it pays the order.
std::optional<Response> ChannelServer::payPage(const Request& request) {
    std::string path(kPrefix);
    if (request.path != path + "h5pay" && request.path != path + "wxpay") return std::nullopt;
    std::string order = request.fields().value("order");
    std::string user;
    {
        std::lock_guard guard(lock_);
        auto found = webOrders_.find(order);
        if (found == webOrders_.end()) return Response::notFound();
        user = found->second;
        paid_.insert(user);
    }
    Response response;
    response.contentType = "text/html; charset=utf-8";
    response.body = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>收银台</title></head>\n<body>\n"
                    "<h1>收银台</h1>\n<p>订单 " + order + " 已支付，请返回游戏。</p>\n</body></html>\n";
    return response;
}

Response ChannelServer::respond(const Request& request) {
    if (request.method == "GET") {
        if (auto page = channel_pages::page(request.path)) return *page;
        if (auto page = payPage(request)) return *page;
        return Response::notFound();
    }
    if (request.method != "POST" || request.path.compare(0, kPrefix.size(), kPrefix) != 0) return Response::notFound();
    std::string endpoint = request.path.substr(kPrefix.size());
    if (auto page = userCentre_.answer(endpoint, request.fields(), http_.origin())) return *page;
    Format format = Format::Codec;
    if (endpoint == "login/iosxiaohao" || endpoint == "login/iosaddxiaohao") format = Format::GzipOnly;
    if (endpoint == "Sdkmsg/indexios" || endpoint == "Quipayapp/apppayios" || endpoint == "Quipayappother/apppayios")
        format = Format::Form;

    ns::Id reply;
    try {
        ns::Id fields;
        if (format == Format::Form) {
            auto form = ns::MutableDictionary::make();
            FormFields sent = request.fields();
            for (const auto& [name, value] : sent.entries()) form->setObjectForKey(s(value), name);
            fields = form;
        } else {
            fields = channel_wire::decodeRequest(request.body);
        }
        reply = fields ? answer(endpoint, fields)
                       : object({{"z", s("0")}, {"code", s("0")}, {"x", s("请求格式错误")}, {"b", s("请求格式错误")},
                                 {"c", s("请求格式错误")}, {"d", s("请求格式错误")}, {"msg", s("请求格式错误")}});
    } catch (const std::exception& error) {
        reply = object({{"z", s("0")}, {"code", s("0")}, {"msg", s(std::string("server error: ") + error.what())}});
    }
    if (!reply) return Response::notFound();

    std::string json = jsonText(reply);
    Response response;
    response.contentType = "text/html; charset=utf-8";
    if (format == Format::Codec) response.body = channel_wire::encodeReply(json);
    else if (format == Format::GzipOnly) response.body = channel_wire::gzip(json);
    else response.body = json;
    return response;
}

ns::Id ChannelServer::answer(const std::string& endpoint, const ns::Id& fields) {
    std::lock_guard guard(lock_);
    ++requests_[endpoint];
    if (auto set = replies_.find(endpoint); set != replies_.end()) return *set->second;
    if (endpoint == "login/dologin") return login(fields);
    if (endpoint == "login/register") return registerUser(text(fields, "z"), text(fields, "b"));
    if (endpoint == "login/yzm") return smsCode(fields);
    if (endpoint == "login/phoneRegister") return phoneRegister(fields);
    if (endpoint == "login/idcheck") return idCheck(fields);
    if (endpoint == "User/setRole") return setRole(fields);
    if (endpoint == "login/iosxiaohao") return subAccounts(fields, false);
    if (endpoint == "login/iosaddxiaohao") return subAccounts(fields, true);
    if (endpoint == "login/logout") return object({{"z", s("1")}, {"b", s("退出成功")}});
    if (endpoint == "Card/receive") return userCentre_.claim(fields);
    if (endpoint == "login/setTime") return object({{"z", s("1")}});
    if (endpoint == "Sdkmsg/indexios")
        return object({{"code", s("1")}, {"msg", s("ok")},
                       {"data", object({{"content", s("欢迎来到沙盒")}, {"status", ns::num(1)}, {"id", s("1")}})}});
    if (endpoint == "H5pay/pay" || endpoint == "wxh5/h5pay" || endpoint == "Wxh5other/h5pay" ||
        endpoint == "Quipayapp/apppayios" || endpoint == "Quipayappother/apppayios")
        return orderA(endpoint, fields);
    if (endpoint == "Ttbpay/ttbnew" || endpoint == "Ttbpay/djqpay") return orderB(endpoint, fields);
    if (endpoint == "Ttbpay/getTTB" || endpoint == "Ttbpay/getDJQ") {
        Account* account = find(text(fields, "b"));
        if (!account) return object({{"z", s("0")}, {"c", s("用户不存在")}});
        int64_t value = endpoint == "Ttbpay/getTTB" ? account->coins : account->vouchers;
        return object({{"z", s("1")}, {"b", s(std::to_string(value))}, {"c", s("ok")}});
    }
    if (endpoint == "Service/getkefu")
        return object({{"code", s("1")},
                       {"data", object({{"b", s("10001")}, {"z", s("400-000-0000")}, {"d", s("客服")},
                                        {"c", s("10")}, {"e", s("1")}})}});
    if (endpoint == "pay/payRecords") {
        std::vector<ns::Id> records;
        for (const auto& order : orders_)
            records.push_back(object({{"z", s(order)}, {"b", s("6")}, {"paytype", s("ptb")},
                                      {"create_time", s("1704067200")}, {"d", s("2024-01-01")}}));
        return object({{"code", s("1")}, {"data", ns::Array::make(records)}});
    }
    if (endpoint == "pay/getPayWayios") return payWays(fields);
    if (endpoint == "pay/getcoupons")
        return object({{"code", s("1")},
                       {"data", ns::Array::make({
                                    object({{"cid", ns::num(7)}, {"coupon_name", s("新人券")}, {"pay_money", ns::num(10)},
                                            {"coupon_money", ns::num(5)}, {"av_time", s("2024-12-31")},
                                            {"av", s("1")}, {"gid", ns::num(0)}, {"gamename", s("沙盒")}}),
                                    object({{"cid", ns::num(8)}, {"coupon_name", s("大额券")}, {"pay_money", ns::num(10)},
                                            {"coupon_money", ns::num(20)}, {"av_time", s("2024-12-31")},
                                            {"av", s("1")}, {"gid", ns::num(12)}, {"gamename", s("沙盒")}}),
                                    object({{"cid", ns::num(9)}, {"coupon_name", s("过期券")}, {"pay_money", ns::num(50)},
                                            {"coupon_money", ns::num(10)}, {"av_time", s("2023-12-31")},
                                            {"av", s("0")}, {"gid", ns::num(0)}, {"gamename", s("沙盒")}}),
                                })}});
    if (endpoint == "Pay/getUserSuccess") return orderStatus(fields);
    if (endpoint == "Card/receive") return object({{"z", s("1")}, {"b", s("领取成功")}});
    return nullptr;
}

ChannelServer::Account* ChannelServer::find(const std::string& user) {
    auto found = accounts_.find(user);
    return found == accounts_.end() ? nullptr : &found->second;
}

std::string ChannelServer::nextOrder() {
    std::string order = "SBX" + std::to_string(1000 + ++serial_);
    orders_.push_back(order);
    return order;
}

ns::Id ChannelServer::login(const ns::Id& fields) {
    std::string name = text(fields, "z");
    Account* account = find(name);
    if (!account || account->password != text(fields, "b"))
        return object({{"z", s("0")}, {"x", s("用户名或密码错误")}});
    std::string serial = std::to_string(++serial_);
    std::string limit = "0";
    if (account->limited) {
        auto nowMs = static_cast<long long>(std::llround(ns::Date::now()->timeIntervalSince1970() * 1000));
        limit = std::to_string(nowMs + kMinorPlaySeconds * 1000);
    }
    return object({{"z", s("1")}, {"x", s("登录成功")}, {"b", s(name)}, {"c", s(account->password)},
                   {"d", s("sign-" + name)}, {"e", s("1704067200")}, {"sid", s("sid-" + serial)},
                   {"rz", s(account->verified ? "0" : "1")}, {"ic", s("0")}, {"isck", s(account->verified ? "1" : "0")},
                   {"frz", s(account->limited ? "1" : "0")},
                   {"nrz", s(account->limited ? "2" : account->verified ? "1" : "0")}, {"lmit", s(limit)}});
}

ns::Id ChannelServer::registerUser(const std::string& name, const std::string& password) {
    if (name.empty() || password.empty()) return object({{"z", s("0")}, {"d", s("用户名和密码不能为空")}});
    if (find(name)) return object({{"z", s("0")}, {"d", s("用户名已存在")}});
    Account account;
    account.password = password;
    account.subAccounts = {{"小号一", name + "_1", "#sign-" + name + "-1", "1704067200"}};
    accounts_[name] = account;
    return object({{"z", s("1")}, {"d", s("注册成功")}, {"b", s(name)}, {"c", s(password)}});
}

ns::Id ChannelServer::smsCode(const ns::Id& fields) {
    std::string phone = text(fields, "b");
    if (phone.size() != 11 || !isDigits(phone)) return object({{"z", s("0")}, {"d", s("手机号码错误")}});
    std::string code = std::to_string(100000 + (++serial_ * 7919) % 900000);
    smsCodes_[phone] = code;
    return object({{"z", s("1")}, {"d", s("验证码已发送")}});
}

ns::Id ChannelServer::phoneRegister(const ns::Id& fields) {
    std::string phone = text(fields, "z");
    auto code = smsCodes_.find(phone);
    if (code == smsCodes_.end() || code->second != text(fields, "i"))
        return object({{"z", s("0")}, {"d", s("验证码错误")}});
    smsCodes_.erase(code);
    return registerUser(phone, text(fields, "b"));
}

ns::Id ChannelServer::idCheck(const ns::Id& fields) {
    Account* account = find(text(fields, "i"));
    std::string number = text(fields, "id");
    if (!account) return object({{"z", s("0")}, {"b", s("用户不存在")}});
    if (text(fields, "r").empty() || number.size() != 18) return object({{"z", s("0")}, {"b", s("身份信息有误")}});
    account->verified = true;
    return object({{"z", s("1")}, {"b", s("认证成功")}, {"frz", s("0")}, {"nrz", s("1")}, {"lmit", s("0")}});
}

ns::Id ChannelServer::setRole(const ns::Id& fields) {
    if (!find(text(fields, "z")) || text(fields, "c").empty()) return object({{"code", s("2")}, {"msg", s("信息错误")}});
    return object({{"code", ns::num(1)}, {"msg", s("ok")}});
}

ns::Id ChannelServer::subAccounts(const ns::Id& fields, bool add) {
    Account* account = find(text(fields, "z"));
    if (!account) return object({{"code", s("0")}, {"msg", s("用户不存在")}});
    if (add) {
        std::string nickname = text(fields, "x");
        if (nickname.empty()) return object({{"code", s("0")}, {"msg", s("名称不能为空")}});
        if (account->subAccounts.size() >= 10) return object({{"code", s("0")}, {"msg", s("小号已满")}});
        std::string name = text(fields, "z") + "_" + std::to_string(account->subAccounts.size() + 1);
        account->subAccounts.push_back({nickname, name, "#sign-" + name, "1704067200"});
    }
    std::vector<ns::Id> list;
    for (const auto& sub : account->subAccounts)
        list.push_back(object({{"nickname", s(sub.nickname)}, {"username", s(sub.username)}, {"sign", s(sub.sign)},
                               {"login_time", s(sub.loginTime)}}));
    return object({{"code", s("1")}, {"msg", s("ok")}, {"data", ns::Array::make(list)}});
}

// Every pay way, coins first; the balances and the discount. The one row
// with "z" 2 carries "d" "1" for the pay-way request of the pay API.
ns::Id ChannelServer::payWays(const ns::Id& fields) {
    Account* account = find(text(fields, "zz"));
    std::vector<ns::Id> rows;
    for (const char* code : {"3", "2", "1", "4", "5", "6"})
        rows.push_back(object({{"z", s(code)}, {"d", s(std::string(code) == "2" ? "1" : "0")}}));
    return object({{"code", s("1")}, {"msg", s("ok")}, {"data", ns::Array::make(rows)},
                   {"ttb", s(std::to_string(account ? account->coins : 0))},
                   {"djq", s(std::to_string(account ? account->vouchers : 0))}, {"discount", s(discount_)}});
}

// Whether the player's web payment has gone through: once per pay page
// loaded, after the delay a test set.
ns::Id ChannelServer::orderStatus(const ns::Id& fields) {
    std::string user = text(fields, "z");
    if (paid_.count(user) && ++statusWaited_ > statusDelay_) {
        paid_.erase(user);
        statusWaited_ = 0;
        return object({{"z", s("1")}, {"b", s("已支付")}});
    }
    return object({{"z", s("0")}, {"b", s("未支付")}});
}

// Web, WeChat and wallet orders. An amount to pay of 0 needs no payment: 11.
ns::Id ChannelServer::orderA(const std::string& endpoint, const ns::Id& fields) {
    bool wechat = endpoint == "wxh5/h5pay" || endpoint == "Wxh5other/h5pay";
    bool wallet = endpoint == "Quipayapp/apppayios" || endpoint == "Quipayappother/apppayios";
    std::string problem;
    if (!find(text(fields, "c"))) problem = "用户不存在";
    else if (cents(text(fields, "p")) < 0 || cents(text(fields, "b")) < 0) problem = "金额错误";
    else if (text(fields, "x").empty()) problem = "订单号不能为空";
    if (!problem.empty())
        return wechat ? object({{"code", s("0")}, {"msg", s(problem)}}) : object({{"z", s("0")}, {"b", s(problem)}});
    if (cents(text(fields, "b")) == 0)
        return wechat ? object({{"code", ns::num(11)}, {"msg", s("无需支付")}})
                      : object({{"z", s("11")}, {"b", s("无需支付")}});
    std::string order = nextOrder();
    if (!wallet) webOrders_[order] = text(fields, "c");
    if (wechat) return object({{"code", ns::num(1)}, {"data", s(base() + "wxpay?order=" + order)}, {"msg", s("ok")}});
    if (wallet) return object({{"z", s("1")}, {"c", s("order_no=" + order + "&sign=sandbox")}, {"b", s("ok")}});
    return object({{"z", s("1")}, {"b", s("下单成功")}, {"c", s(base() + "h5pay?order=" + order)}});
}

// Coins ("ptb") and vouchers ("djq") pay from the account's balance.
ns::Id ChannelServer::orderB(const std::string& endpoint, const ns::Id& fields) {
    bool coins = endpoint == "Ttbpay/ttbnew";
    Account* account = find(text(fields, "f"));
    if (!account) return object({{"z", s("0")}, {"c", s("用户不存在")}});
    // Coins are whole; vouchers are yuan, kept here in whole yuan.
    int64_t price = coins ? amount(text(fields, "b")) : cents(text(fields, "b"));
    if (price < 0) return object({{"z", s("0")}, {"c", s("金额错误")}});
    if (!coins) price = (price + 99) / 100;
    int64_t& balance = coins ? account->coins : account->vouchers;
    if (price > balance) return object({{"z", s("2")}, {"c", s(coins ? "平台币不足" : "代金券不足")}});
    balance -= price;
    return object({{"z", s("1")}, {"b", s(nextOrder())}, {"c", s("支付成功")}});
}

}  // namespace sandbox
