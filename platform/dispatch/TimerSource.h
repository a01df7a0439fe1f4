#pragma once
// A timer that submits its event handler to a queue. Made suspended: set the
// timer and the handlers, then resume(). Tick n falls on start +
// round(n x interval) on the clock's ticks; a tick whose handler has not run yet is not queued twice, and
// ticks missed while suspended become one tick on resume. While it is armed
// the timer keeps itself alive; cancel() ends that and releases the
// handlers once the cancel handler has been submitted.

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Timeline.h"

namespace dispatch {

class TimerSource : public std::enable_shared_from_this<TimerSource> {
public:
    static std::shared_ptr<TimerSource> create(QueueRef queue);

    TimerSource(const TimerSource&) = delete;
    TimerSource& operator=(const TimerSource&) = delete;
    ~TimerSource();

    // First tick `start` seconds from now, then every `interval` seconds;
    // an interval of Forever (or 0 or less) ticks once. `leeway` is how late
    // a tick may come; the clock is always on time.
    void setTimer(double start, double interval, double leeway = 0);
    void setEventHandler(Block handler);
    void setCancelHandler(Block handler);

    void resume();
    void suspend();
    void cancel();
    bool isCancelled() const;

private:
    explicit TimerSource(QueueRef queue);
    // With the lock held.
    void armLocked();
    TimeTicks pointLocked(uint64_t n) const;
    void deliverLocked();
    void tick(uint64_t generation);
    void runEvent();

    mutable std::mutex lock_;
    QueueRef queue_;
    Block eventHandler_;
    Block cancelHandler_;
    bool timerSet_ = false;
    TimeTicks start_;
    // Seconds; Forever ticks once.
    double interval_ = 0;
    double leeway_ = 0;
    uint64_t ticks_ = 0;
    uint64_t generation_ = 0;
    int suspendCount_ = 1;
    bool cancelled_ = false;
    bool eventPending_ = false;
    bool missedWhileSuspended_ = false;
    detail::Timeline::EntryId entry_ = 0;
};

}  // namespace dispatch
