#include "platform/webkit/PageEventQueue.h"

#include "platform/dispatch/Queue.h"

namespace web::detail {

void PageEventQueue::post(Event event) {
    if (closed_) return;
    events_.push_back(std::move(event));
    scheduleDrain();
}

void PageEventQueue::deliver(Event event) {
    if (closed_) return;
    if (events_.empty()) {
        event();
        return;
    }
    events_.push_back(std::move(event));
    scheduleDrain();
}

void PageEventQueue::flush() {
    // One at a time from the front: an event that delivers others (a
    // handler whose work flushes again) keeps the order.
    while (!closed_ && !events_.empty()) {
        Event event = std::move(events_.front());
        events_.pop_front();
        event();
    }
}

void PageEventQueue::close() {
    closed_ = true;
    events_.clear();
}

void PageEventQueue::scheduleDrain() {
    if (drainScheduled_) return;
    drainScheduled_ = true;
    std::weak_ptr<PageEventQueue> weak = weak_from_this();
    dispatch::mainQueue()->async([weak] {
        auto queue = weak.lock();
        if (!queue) return;
        queue->drainScheduled_ = false;
        queue->flush();
    });
}

}  // namespace web::detail
