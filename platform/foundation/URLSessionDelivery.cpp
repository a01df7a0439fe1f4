#include "platform/foundation/URLSessionDelivery.h"

namespace ns::detail {

void URLSessionDelivery::post(std::function<void()> event, bool hold) {
    bool schedule;
    {
        std::lock_guard guard(lock_);
        events_.push_back(std::move(event));
        schedule = !hold && !scheduled_;
        if (schedule) {
            scheduled_ = true;
        } else if (hold && !scheduled_ && !held_) {
            // Held events are work in flight for whoever waits for things to settle.
            held_.emplace();
        }
    }
    if (schedule) this->schedule();
}

void URLSessionDelivery::flush() {
    std::optional<dispatch::IoToken> token;
    {
        std::lock_guard guard(lock_);
        if (!held_) return;
        token = std::move(held_);
        held_.reset();
        if (scheduled_ || events_.empty()) return;
        scheduled_ = true;
    }
    schedule();
}

void URLSessionDelivery::schedule() {
    queue_->addOperationWithBlock([self = shared_from_this()] { self->drain(); });
}

void URLSessionDelivery::drain() {
    const auto end = std::chrono::steady_clock::now() + slice_;
    for (bool first = true;; first = false) {
        std::function<void()> event;
        {
            std::lock_guard guard(lock_);
            if (events_.empty()) {
                scheduled_ = false;
                return;
            }
            if (!first && std::chrono::steady_clock::now() >= end) break;
            event = std::move(events_.front());
            events_.pop_front();
        }
        event();
    }
    // Still scheduled: the rest follows in an operation of its own.
    schedule();
}

}  // namespace ns::detail
