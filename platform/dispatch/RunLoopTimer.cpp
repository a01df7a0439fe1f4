#include "platform/dispatch/RunLoopTimer.h"

#include <atomic>
#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

namespace {
constexpr double MinimumRepeatInterval = 0.0001;
std::atomic<uint64_t> nextSerial{1};
}  // namespace

std::shared_ptr<RunLoopTimer> RunLoopTimer::create(double interval, bool repeats, Handler handler) {
    if (!handler) ns::Exception::raise(ns::InvalidArgumentException, "RunLoopTimer: nil handler");
    return std::shared_ptr<RunLoopTimer>(new RunLoopTimer(interval, repeats, std::move(handler)));
}

RunLoopTimer::RunLoopTimer(double interval, bool repeats, Handler handler)
    : handler_(std::move(handler)),
      interval_(interval > 0 ? interval : 0),
      repeats_(repeats),
      serial_(nextSerial++) {
    if (repeats_ && interval_ < MinimumRepeatInterval) interval_ = MinimumRepeatInterval;
    firstFire_ = Clock::now() + interval_;
    fireDate_ = firstFire_;
}

bool RunLoopTimer::isValid() const {
    std::lock_guard<std::mutex> hold(lock_);
    return valid_;
}

double RunLoopTimer::fireDate() const {
    std::lock_guard<std::mutex> hold(lock_);
    return fireDate_;
}

double RunLoopTimer::timeInterval() const { return repeats_ ? interval_ : 0; }

double RunLoopTimer::tolerance() const {
    std::lock_guard<std::mutex> hold(lock_);
    return tolerance_;
}

void RunLoopTimer::setTolerance(double seconds) {
    std::lock_guard<std::mutex> hold(lock_);
    tolerance_ = seconds > 0 ? seconds : 0;
}

void RunLoopTimer::invalidate() {
    auto keep = weak_from_this().lock();
    std::shared_ptr<RunLoop> loop;
    Handler dropped;
    detail::Timeline::EntryId entry;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!valid_) return;
        valid_ = false;
        loop = loop_.lock();
        entry = entry_;
        entry_ = 0;
        dropped = std::move(handler_);
        handler_ = nullptr;
    }
    detail::Timeline::cancel(entry);
    if (loop) {
        loop->removeTimer(this);
        loop->forgetPerformRequest(this);
    }
}

bool RunLoopTimer::attach(const std::shared_ptr<RunLoop>& loop, unsigned modes) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!valid_) return false;
    auto existing = loop_.lock();
    if (existing && existing != loop) {
        ns::Exception::raise(ns::InvalidArgumentException, "addTimer: the timer is already in another run loop");
    }
    modes_ |= modes;
    if (!existing) {
        loop_ = loop;
        scheduleLocked();
    }
    return true;
}

void RunLoopTimer::scheduleLocked() {
    if (std::isinf(fireDate_)) return;
    std::weak_ptr<RunLoop> loop = loop_;
    entry_ = detail::Timeline::add(fireDate_, [loop] {
        if (auto l = loop.lock()) l->wakeForTimer();
    });
}

bool RunLoopTimer::isDue(unsigned mode, double now) const {
    std::lock_guard<std::mutex> hold(lock_);
    return valid_ && !firing_ && (modes_ & mode) && fireDate_ <= now;
}

std::optional<RunLoopTimer::Handler> RunLoopTimer::beginFire(unsigned mode, double now) {
    detail::Timeline::EntryId entry;
    Handler handler;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!valid_ || firing_ || !(modes_ & mode) || fireDate_ > now) return std::nullopt;
        firing_ = true;
        entry = entry_;
        entry_ = 0;
        handler = handler_;
    }
    detail::Timeline::cancel(entry);
    return handler;
}

void RunLoopTimer::endFire(double now) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        firing_ = false;
        if (!valid_) return;
        if (repeats_) {
            // Keep to the original schedule; fire once for any points missed.
            uint64_t n = fires_ + 1;
            double next = firstFire_ + static_cast<double>(n) * interval_;
            if (next <= now) {
                n = static_cast<uint64_t>(std::floor((now - firstFire_) / interval_)) + 1;
                next = firstFire_ + static_cast<double>(n) * interval_;
                while (next <= now) next = firstFire_ + static_cast<double>(++n) * interval_;
            }
            fires_ = n;
            fireDate_ = next;
            scheduleLocked();
            return;
        }
    }
    invalidate();
}

}  // namespace dispatch
