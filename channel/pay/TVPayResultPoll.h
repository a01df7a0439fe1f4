#pragma once
// The order-status poll of a web payment: "Pay/getUserSuccess" for the
// player at once and then every 2 s, 31 requests in all; the 32nd tick gives
// up. It ends once: paid at the first reply whose "z" is "1", or unpaid when
// it has given up and every request it sent has been answered (a late reply
// to the last one may still confirm). Main thread only. The timer and the
// replies hold it weakly, so the owner's letting go stops it.

#include <functional>
#include <memory>

#include "platform/dispatch/TimerSource.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Object.h"

class TVPayResultPoll : public std::enable_shared_from_this<TVPayResultPoll> {
public:
    // True when paid, false when given up unpaid.
    using Ended = std::function<void(bool paid)>;
    static constexpr int kPollCount = 30;
    static constexpr double kPollInterval = 2.0;

    // The first request goes at once, for `user`.
    static std::shared_ptr<TVPayResultPoll> start(ns::Ref<ns::String> user, Ended ended);
    ~TVPayResultPoll();

    // Whether requests are still to be sent.
    bool isTicking() const { return timer_ != nullptr; }

private:
    explicit TVPayResultPoll(ns::Ref<ns::String> user, Ended ended)
        : user_(std::move(user)), whenEnded_(std::move(ended)) {}
    void tick();
    void answered(bool paid);
    void end(bool paid);
    void stopTicking();

    ns::Ref<ns::String> user_;
    Ended whenEnded_;
    std::shared_ptr<dispatch::TimerSource> timer_;
    int requestsLeft_ = kPollCount;
    int unanswered_ = 0;
    bool ended_ = false;
};
