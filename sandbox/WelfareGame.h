#pragma once
// The game server's resource-hall side: the two turntables with their
// prizes, draws counted per role, the claims of an infinite-resource card
// (coins, welfare draws, super draws) and its signed charge order. Draws are
// granted by claims, spent by draws; super draws also fill the bar towards
// the super centre prize, which "getsuperprop" claims once the bar is full.
// Thread-safe: the HTTP server answers on its own threads.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "sandbox/FormFields.h"

namespace sandbox {

class WelfareGame {
public:
    // Draws a role holds before any claim.
    static constexpr int kStartingDraws = 6;
    // Super draws that fill the bar.
    static constexpr int kSuperBar = 3;

    // The reply to a GET under "/infiniteres/" (goods excepted), or empty
    // for a path it does not serve.
    std::string answerGet(const std::string& path, const FormFields& query);
    // "charge/resorder": "200" with a new order id, "401" for a bad sign.
    std::string resourceOrder(const FormFields& form);

private:
    struct Role {
        int welfare = kStartingDraws;
        int super = kStartingDraws;
        int superUsed = 0;   // super draws towards the centre prize
        uint64_t drawn = 0;  // prizes handed out, to vary the next ones
    };

    std::string wheel(bool super, const Role& role) const;
    std::string draw(bool super, int count, Role& role);

    std::mutex lock_;
    std::map<std::string, Role> roles_;  // by role_id
    std::atomic<uint64_t> orders_{0};
};

}  // namespace sandbox
