#include "platform/dispatch/TimerSource.h"

#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

std::shared_ptr<TimerSource> TimerSource::create(QueueRef queue) {
    if (!queue) ns::Exception::raise(ns::InvalidArgumentException, "TimerSource: nil queue");
    return std::shared_ptr<TimerSource>(new TimerSource(std::move(queue)));
}

TimerSource::TimerSource(QueueRef queue) : queue_(std::move(queue)) {}

// An armed source is kept alive by its timeline entry, so only an unarmed one
// gets here, and it has nothing left to cancel.
TimerSource::~TimerSource() = default;

void TimerSource::setTimer(double start, double interval, double leeway) {
    detail::Timeline::EntryId old;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (cancelled_) return;
        timerSet_ = true;
        start_ = Clock::nowTicks() + (start > 0 ? TimeDelta::fromSeconds(start) : TimeDelta());
        interval_ = interval > 0 ? interval : Forever;
        leeway_ = leeway > 0 ? leeway : 0;
        ticks_ = 0;
        ++generation_;
        missedWhileSuspended_ = false;
        old = entry_;
        entry_ = 0;
        if (suspendCount_ == 0) armLocked();
    }
    detail::Timeline::cancel(old);
}

void TimerSource::setEventHandler(Block handler) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!cancelled_) eventHandler_ = std::move(handler);
}

void TimerSource::setCancelHandler(Block handler) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!cancelled_) cancelHandler_ = std::move(handler);
}

TimeTicks TimerSource::pointLocked(uint64_t n) const {
    return std::isinf(interval_) ? start_ : start_ + TimeDelta::fromSecondsTimes(interval_, n);
}

void TimerSource::armLocked() {
    TimeTicks when = pointLocked(ticks_);
    if (when.isMax()) return;
    entry_ = detail::Timeline::add(when, [self = shared_from_this(), generation = generation_] { self->tick(generation); });
}

void TimerSource::deliverLocked() {
    if (eventPending_) return;
    eventPending_ = true;
    queue_->async([self = shared_from_this()] { self->runEvent(); });
}

void TimerSource::tick(uint64_t generation) {
    std::lock_guard<std::mutex> hold(lock_);
    if (generation != generation_ || cancelled_) return;
    entry_ = 0;
    if (suspendCount_ > 0) {
        missedWhileSuspended_ = true;
        return;
    }
    deliverLocked();
    if (std::isinf(interval_)) return;
    // The next point of the schedule after now; missed points coalesce.
    TimeTicks now = Clock::nowTicks();
    ++ticks_;
    while (pointLocked(ticks_) <= now) ++ticks_;
    armLocked();
}

void TimerSource::runEvent() {
    Block handler;
    {
        std::lock_guard<std::mutex> hold(lock_);
        eventPending_ = false;
        if (cancelled_) return;
        handler = eventHandler_;
    }
    if (handler) handler();
}

void TimerSource::resume() {
    std::lock_guard<std::mutex> hold(lock_);
    if (suspendCount_ == 0) {
        ns::Exception::raise(ns::InternalInconsistencyException, "TimerSource: resume without a matching suspend");
    }
    if (--suspendCount_ > 0 || cancelled_ || !timerSet_) return;
    if (missedWhileSuspended_) {
        missedWhileSuspended_ = false;
        deliverLocked();
        if (std::isinf(interval_)) return;
        TimeTicks now = Clock::nowTicks();
        do {
            ++ticks_;
        } while (pointLocked(ticks_) <= now);
    }
    if (entry_ == 0) armLocked();
}

void TimerSource::suspend() {
    std::lock_guard<std::mutex> hold(lock_);
    ++suspendCount_;
}

void TimerSource::cancel() {
    detail::Timeline::EntryId entry;
    Block eventHandler;
    Block cancelHandler;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (cancelled_) return;
        cancelled_ = true;
        ++generation_;
        entry = entry_;
        entry_ = 0;
        eventHandler = std::move(eventHandler_);
        cancelHandler = std::move(cancelHandler_);
        eventHandler_ = nullptr;
        cancelHandler_ = nullptr;
    }
    detail::Timeline::cancel(entry);
    if (cancelHandler) queue_->async(std::move(cancelHandler));
}

bool TimerSource::isCancelled() const {
    std::lock_guard<std::mutex> hold(lock_);
    return cancelled_;
}

}  // namespace dispatch
