#include "platform/dispatch/RunLoopTimer.h"

#include <algorithm>
#include <atomic>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/runtime/Exception.h"

namespace dispatch {

namespace {
constexpr double MinimumRepeatInterval = 0.0001;
constexpr TimeDelta MinimumRepeatStep = TimeDelta::fromMicroseconds(100);
std::atomic<uint64_t> nextSerial{1};
}  // namespace

std::shared_ptr<RunLoopTimer> RunLoopTimer::create(double interval, bool repeats, Handler handler) {
    if (!handler) ns::Exception::raise(ns::InvalidArgumentException, "RunLoopTimer: nil handler");
    return std::shared_ptr<RunLoopTimer>(new RunLoopTimer(interval, TimeDelta(), repeats, std::move(handler)));
}

std::shared_ptr<RunLoopTimer> RunLoopTimer::create(TimeDelta interval, bool repeats, Handler handler) {
    if (!handler) ns::Exception::raise(ns::InvalidArgumentException, "RunLoopTimer: nil handler");
    if (interval < TimeDelta()) interval = TimeDelta();
    if (repeats && interval < MinimumRepeatStep) interval = MinimumRepeatStep;
    return std::shared_ptr<RunLoopTimer>(new RunLoopTimer(interval.inSeconds(), interval, repeats, std::move(handler)));
}

RunLoopTimer::RunLoopTimer(double interval, TimeDelta step, bool repeats, Handler handler)
    : handler_(std::move(handler)),
      interval_(interval > 0 ? interval : 0),
      repeats_(repeats),
      origin_(Clock::nowTicks()),
      serial_(nextSerial++) {
    if (step > TimeDelta()) step_ = step;
    if (repeats_ && interval_ < MinimumRepeatInterval) interval_ = MinimumRepeatInterval;
    fireDate_ = point(1);
}

TimeTicks RunLoopTimer::point(uint64_t n) const {
    if (step_) return origin_ + *step_ * static_cast<int64_t>(n);
    return origin_ + TimeDelta::fromSecondsTimes(interval_, n);
}

bool RunLoopTimer::isValid() const {
    std::lock_guard<std::mutex> hold(lock_);
    return valid_;
}

double RunLoopTimer::fireDate() const { return fireTime().inSeconds(); }

TimeTicks RunLoopTimer::fireTime() const {
    std::lock_guard<std::mutex> hold(lock_);
    return fireDate_;
}

TimeTicks RunLoopTimer::nextFireTime() const {
    std::lock_guard<std::mutex> hold(lock_);
    return repeats_ ? point(fires_ + 1) : TimeTicks::max();
}

void RunLoopTimer::setFireDate(double seconds) {
    // Anything past the clock's range is the distant future.
    setFireTime(seconds >= TimeTicks::max().inSeconds() / 2 ? TimeTicks::max() : TimeTicks::fromSeconds(seconds));
}

void RunLoopTimer::setFireTime(TimeTicks when) {
    detail::Timeline::EntryId old;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!valid_) return;
        old = entry_;
        entry_ = 0;
        fireDate_ = when;
        if (!when.isMax()) {
            // The schedule starts again so that its first point is `when`.
            origin_ = when - (step_ ? *step_ : TimeDelta::fromSeconds(interval_));
            fires_ = 1;
        }
        if (firing_) fireDateSet_ = true;
        else if (loop_.lock()) scheduleLocked();
    }
    detail::Timeline::cancel(old);
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
    if (fireDate_.isMax()) return;
    std::weak_ptr<RunLoop> loop = loop_;
    std::weak_ptr<RunLoopTimer> weak = weak_from_this();
    reached_ = false;
    entry_ = detail::Timeline::add(fireDate_, [loop, weak] {
        if (auto self = weak.lock()) {
            std::lock_guard<std::mutex> hold(self->lock_);
            self->reached_ = true;
        }
        if (auto l = loop.lock()) l->wakeForTimer();
    });
}

bool RunLoopTimer::isDue(unsigned mode, TimeTicks now) const {
    std::lock_guard<std::mutex> hold(lock_);
    return valid_ && !firing_ && reached_ && (modes_ & mode) && fireDate_ <= now;
}

std::optional<RunLoopTimer::Handler> RunLoopTimer::beginFire(unsigned mode, TimeTicks now) {
    detail::Timeline::EntryId entry;
    Handler handler;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!valid_ || firing_ || !reached_ || !(modes_ & mode) || fireDate_ > now) return std::nullopt;
        firing_ = true;
        entry = entry_;
        entry_ = 0;
        handler = handler_;
    }
    detail::Timeline::cancel(entry);
    return handler;
}

void RunLoopTimer::endFire(TimeTicks now) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        firing_ = false;
        if (!valid_) return;
        if (fireDateSet_) {
            fireDateSet_ = false;
            scheduleLocked();
            return;
        }
        if (repeats_) {
            // Keep to the original schedule; fire once for any points missed.
            uint64_t n = fires_ + 1;
            if (point(n) <= now) {
                // A guess from the elapsed time, then the exact point.
                int64_t step = step_ ? step_->inNanoseconds() : TimeDelta::fromSeconds(interval_).inNanoseconds();
                uint64_t guess = static_cast<uint64_t>((now - origin_).inNanoseconds() / std::max<int64_t>(step, 1));
                n = std::max(n, guess);
                while (n > fires_ + 1 && point(n - 1) > now) --n;
                while (point(n) <= now) ++n;
            }
            fires_ = n;
            fireDate_ = point(n);
            scheduleLocked();
            return;
        }
    }
    invalidate();
}

}  // namespace dispatch
