#pragma once
// Stand-in of the aggregator's game server: the store menu and its timings,
// the GM and VIP goods with their claim statuses, the infinite-resource
// goods with their turntables, claims and charge orders, the three lucky-gift stages, the time store's bundles, gift claims
// and signed charge orders. Replies are {status, msg, data} with
// the status "200" on success, except the two status paths, which answer a
// flat object of goods id to claim status. The catalogue is small and fixed.

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "sandbox/DelayedReplies.h"
#include "sandbox/HttpServer.h"
#include "sandbox/WelfareGame.h"

namespace sandbox {

class GameServer {
public:
    explicit GameServer(int port = 0);
    ~GameServer();

    HttpServer& http() { return http_; }
    const HttpServer& http() const { return http_; }
    // Replies held back on the clock, by path without its "/" ("luck/get").
    DelayedReplies& delays() { return delays_; }

private:
    Response respond(const Request& request) const;
    std::string answerGet(const std::string& path, const FormFields& query) const;
    std::string answerPost(const std::string& path, const FormFields& form) const;
    // A signed charge order: "200" with a new order id, "401" for a bad sign.
    std::string chargeOrder(const FormFields& form) const;

    std::map<std::string, std::string> catalogue_;  // reply name -> JSON text
    mutable std::atomic<uint64_t> orders_{0};
    mutable WelfareGame welfare_;  // the turntables' and cards' routes, with draws per role
    DelayedReplies delays_;
    HttpServer http_;  // last: it stops before the catalogue goes
};

}  // namespace sandbox
