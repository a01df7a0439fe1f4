#include "platform/dispatch/Waiter.h"

#include "platform/dispatch/Activity.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/ThreadPool.h"
#include "platform/dispatch/TimeDriver.h"
#include "platform/dispatch/Timeline.h"

namespace dispatch::detail {

std::shared_ptr<Waiter> Waiter::create() { return std::shared_ptr<Waiter>(new Waiter); }

bool Waiter::wake() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (done_) return false;
        done_ = woken_ = true;
        if (released_) Activity::addBusy();
    }
    ended_.notify_all();
    Activity::notify();
    return true;
}

void Waiter::expire() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (done_) return;
        done_ = true;
        if (released_) Activity::addBusy();
    }
    ended_.notify_all();
    Activity::notify();
}

bool Waiter::wait(double timeout) { return wait(timeout > 0 ? TimeDelta::fromSeconds(timeout) : TimeDelta()); }

bool Waiter::wait(TimeDelta timeout) {
    std::unique_lock<std::mutex> hold(lock_);
    if (done_) return woken_;
    if (!(timeout > TimeDelta())) {
        done_ = true;
        return false;
    }
    hold.unlock();

    if (TimeDriver::isDriverThread()) {
        TimeTicks deadline = Clock::nowTicks() + timeout;
        try {
            TimeDriver::driverWait(
                [this] {
                    std::lock_guard<std::mutex> h(lock_);
                    return done_;
                },
                deadline);
        } catch (...) {
            // A wait that raised is over: a later wake must go to someone else.
            std::lock_guard<std::mutex> h(lock_);
            done_ = true;
            throw;
        }
        hold.lock();
        done_ = true;
        return woken_;
    }

    Timeline::EntryId deadline = 0;
    if (TimeTicks when = Clock::nowTicks() + timeout; !when.isMax()) {
        std::weak_ptr<Waiter> weak = weak_from_this();
        deadline = Timeline::add(
            when,
            [weak] {
                if (auto self = weak.lock()) self->expire();
            },
            true);
    }
    hold.lock();
    if (!done_) {
        if (threadCountedBusy()) {
            released_ = true;
            Activity::removeBusy();
        }
        ThreadPool::willBlock();
        ended_.wait(hold, [this] { return done_; });
        ThreadPool::didUnblock();
    }
    bool woken = woken_;
    hold.unlock();
    Timeline::cancel(deadline);
    return woken;
}

}  // namespace dispatch::detail
