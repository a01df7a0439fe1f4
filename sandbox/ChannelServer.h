#pragma once
// Stand-in of the channel operator's API server, under "/sdkapicoupon/":
// the account endpoints (login, registration by name and by phone with an
// SMS code, real-name check, notice, role report, sub-accounts, logout, play
// time) and the pay endpoints (web, WeChat and wallet orders, coins,
// vouchers, balances, contacts, records, pay ways, order status), each in
// the wire format the app uses for it; GETs of the operator's web pages
// (ChannelPages.h) and of the web pay pages an order returns: a pay page
// that has loaded marks its player paid, which the next order-status request
// for the player confirms (once). Accounts, sub-accounts, coins, vouchers and
// payments live in memory; one account is known from the start. A body that does not decode
// gets an error reply in the same format; nothing a client sends can stop
// the server.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/runtime/Object.h"
#include "sandbox/DelayedReplies.h"
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
    ~ChannelServer();

    HttpServer& http() { return http_; }
    const HttpServer& http() const { return http_; }
    // "http://127.0.0.1:<port>/sdkapicoupon/": the app's API base address.
    std::string base() const;

    // The last SMS code sent to a phone number; "" when none was.
    std::string smsCodeFor(const std::string& phone) const;
    int64_t coinsOf(const std::string& user) const;
    // The user centre's routes, with their faults on demand.
    UserCentreStandIn& userCentre() { return userCentre_; }
    // Replies held back on the clock, by endpoint ("Pay/getUserSuccess", ...).
    DelayedReplies& delays() { return delays_; }

    // For tests: the player's discount factor in the pay-way reply ("1" at
    // first), order-status requests answered "not yet" before a paid player
    // is confirmed (0 at first), a reply that stands in for an endpoint's own
    // (nullopt goes back to it; a nil reply sends a body that decodes to
    // nothing), and how many requests an endpoint has had.
    void setDiscount(std::string discount);
    void setStatusDelay(int requests);
    void setReply(const std::string& endpoint, std::optional<ns::Id> reply);
    int requestsTo(const std::string& endpoint) const;
    bool isPaid(const std::string& user) const;
    // The player paid elsewhere (in the wallet app): the order-status
    // request confirms it after the delay, as for a pay page loaded.
    void setPaid(const std::string& user);

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
    ns::Id payWays(const ns::Id& fields);
    ns::Id orderStatus(const ns::Id& fields);
    std::optional<Response> payPage(const Request& request);
    Account* find(const std::string& user);
    std::string nextOrder();

    mutable std::mutex lock_;
    std::map<std::string, Account> accounts_;
    std::map<std::string, std::string> smsCodes_;  // phone -> code
    std::vector<std::string> orders_;
    std::map<std::string, std::string> webOrders_;  // order -> player
    std::set<std::string> paid_;                    // players whose pay page has loaded
    std::map<std::string, std::optional<ns::Id>> replies_;
    std::map<std::string, int> requests_;
    std::string discount_ = "1";
    int statusDelay_ = 0;
    int statusWaited_ = 0;
    uint64_t serial_ = 0;
    UserCentreStandIn userCentre_;
    DelayedReplies delays_;
    HttpServer http_;  // last: it stops before the state above goes
};

}  // namespace sandbox
