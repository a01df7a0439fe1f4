#pragma once
// Stand-in of the channel operator's API server, under "/sdkapicoupon/":
// the account endpoints (login, registration by name and by phone with an
// SMS code, real-name check, notice, role report, sub-accounts, logout, play
// time) and the pay endpoints (web, WeChat and wallet orders, coins,
// vouchers, balances, contacts, records, pay ways, order status), each in
// the wire format the app uses for it; GETs of the operator's web pages
// (ChannelPages.h). Accounts, sub-accounts, coins and vouchers live in
// memory; one account is known from the start. A body that does not decode
// gets an error reply in the same format; nothing a client sends can stop
// the server.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/runtime/Object.h"
#include "sandbox/HttpServer.h"
#include "sandbox/UserCentreStandIn.h"

namespace sandbox {

class ChannelServer {
public:
    // The account known from the start.
    static constexpr const char* kKnownUser = "player1";
    static constexpr const char* kKnownPassword = "pass123";
    static constexpr int64_t kKnownCoins = 500;
    static constexpr int64_t kKnownVouchers = 100;
    // A verified minor under the daily play-time limit: each login's "lmit"
    // lies kMinorPlaySeconds after the clock's date at the login.
    static constexpr const char* kMinorUser = "minor1";
    static constexpr const char* kMinorPassword = "pass123";
    static constexpr int64_t kMinorPlaySeconds = 2000;

    explicit ChannelServer(int port = 0);

    HttpServer& http() { return http_; }
    const HttpServer& http() const { return http_; }
    // "http://127.0.0.1:<port>/sdkapicoupon/": the app's API base address.
    std::string base() const;

    // The last SMS code sent to a phone number; "" when none was.
    std::string smsCodeFor(const std::string& phone) const;
    int64_t coinsOf(const std::string& user) const;
    // The user centre's routes, with their faults on demand.
    UserCentreStandIn& userCentre() { return userCentre_; }

private:
    struct SubAccount {
        std::string nickname, username, sign, loginTime;
    };
    struct Account {
        std::string password;
        std::vector<SubAccount> subAccounts;
        int64_t coins = 0;
        int64_t vouchers = 0;
        bool verified = false;
        bool limited = false;  // under the play-time limit
    };
    enum class Format { Codec, GzipOnly, Form };

    Response respond(const Request& request);
    ns::Id answer(const std::string& endpoint, const ns::Id& fields);
    ns::Id login(const ns::Id& fields);
    ns::Id registerUser(const std::string& name, const std::string& password);
    ns::Id smsCode(const ns::Id& fields);
    ns::Id phoneRegister(const ns::Id& fields);
    ns::Id idCheck(const ns::Id& fields);
    ns::Id setRole(const ns::Id& fields);
    ns::Id subAccounts(const ns::Id& fields, bool add);
    ns::Id orderA(const std::string& endpoint, const ns::Id& fields);
    ns::Id orderB(const std::string& endpoint, const ns::Id& fields);
    Account* find(const std::string& user);
    std::string nextOrder();

    mutable std::mutex lock_;
    std::map<std::string, Account> accounts_;
    std::map<std::string, std::string> smsCodes_;  // phone -> code
    std::vector<std::string> orders_;
    uint64_t serial_ = 0;
    UserCentreStandIn userCentre_;
    HttpServer http_;  // last: it stops before the state above goes
};

}  // namespace sandbox
