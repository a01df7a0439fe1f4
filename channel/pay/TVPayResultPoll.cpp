#include "channel/pay/TVPayResultPoll.h"

#include "channel/NSMutableDictionary+HTTP.h"
#include "channel/NetWorkManager.h"
#include "channel/TVAPIStrings.h"
#include "channel/TVReplyFields.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MutableDictionary.h"

std::shared_ptr<TVPayResultPoll> TVPayResultPoll::start(ns::Ref<ns::String> user, Ended ended) {
    std::shared_ptr<TVPayResultPoll> poll(new TVPayResultPoll(std::move(user), std::move(ended)));
    poll->timer_ = dispatch::TimerSource::create(dispatch::mainQueue());
    poll->timer_->setTimer(0, kPollInterval, 0);
    std::weak_ptr<TVPayResultPoll> weak = poll;
    poll->timer_->setEventHandler([weak] {
        if (auto self = weak.lock()) self->tick();
    });
    poll->timer_->resume();
    return poll;
}

TVPayResultPoll::~TVPayResultPoll() { stopTicking(); }

void TVPayResultPoll::stopTicking() {
    if (timer_) timer_->cancel();
    timer_ = nullptr;
}

void TVPayResultPoll::tick() {
    if (requestsLeft_ < 0) {
        stopTicking();
        if (unanswered_ == 0) end(false);
        return;
    }
    --requestsLeft_;
    ++unanswered_;
    auto parameters = ns::MutableDictionary::make();
    HTTPFields::setObjectForField(*parameters, user_, "z");
    std::weak_ptr<TVPayResultPoll> weak = weak_from_this();
    // Every request is answered once, by its reply or its failure.
    NetWorkManager::sharedInstance()->POST(
        TVAPIStrings::endpoint(TVAPIStrings::at(TVAPIStrings::OrderStatus)), parameters,
        [weak](const ns::Id& reply) {
            if (auto self = weak.lock()) self->answered(TVReply::textOf(reply, "z") == "1");
        },
        [weak](const ns::Ref<ns::Error>& error) {
            ns::log("error = %@", error);
            if (auto self = weak.lock()) self->answered(false);
        });
}

void TVPayResultPoll::answered(bool paid) {
    --unanswered_;
    if (paid) end(true);
    else if (!timer_ && unanswered_ == 0) end(false);
}

void TVPayResultPoll::end(bool paid) {
    if (ended_) return;
    ended_ = true;
    stopTicking();
    // Whoever hears may let go of the poll; it lasts until this returns.
    auto keep = shared_from_this();
    auto whenEnded = std::move(whenEnded_);
    whenEnded_ = nullptr;
    if (whenEnded) whenEnded(paid);
}
