#pragma once
// A timer fired by a run loop, in the modes it was added for. A repeating
// timer keeps to its schedule: after a late fire (the loop was busy, or ran
// in another mode) it fires once and resumes at the next point of the
// original schedule. The run loop keeps a timer until it is invalidated; a
// one-shot timer invalidates itself after firing. Invalidating releases the
// handler. The n-th fire falls at creation + round(n x interval) on the
// clock's ticks, so a schedule never drifts by adding rounded steps.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/dispatch/Time.h"
#include "platform/dispatch/Timeline.h"

namespace dispatch {

class RunLoop;

class RunLoopTimer : public std::enable_shared_from_this<RunLoopTimer> {
public:
    using Handler = std::function<void(RunLoopTimer&)>;

    // First fire `interval` seconds from now; a repeating timer then fires
    // every `interval` seconds (at least 0.1 ms).
    static std::shared_ptr<RunLoopTimer> create(double interval, bool repeats, Handler handler);
    // The same with the interval already in ticks.
    static std::shared_ptr<RunLoopTimer> create(TimeDelta interval, bool repeats, Handler handler);

    RunLoopTimer(const RunLoopTimer&) = delete;
    RunLoopTimer& operator=(const RunLoopTimer&) = delete;

    void invalidate();
    bool isValid() const;
    double fireDate() const;
    // Moves the next fire to `seconds` on the clock (a date already past
    // fires at the next turn); a repeating timer then keeps its interval
    // from there. A date beyond the clock's range (the distant future)
    // holds the timer until a later call. Also from inside the handler.
    void setFireDate(double seconds);
    void setFireTime(TimeTicks when);
    // The same on the clock's ticks: while the handler runs, the time of the
    // fire in progress.
    TimeTicks fireTime() const;
    // The point of the schedule after fireTime() (max() for a one-shot timer).
    TimeTicks nextFireTime() const;
    // The period of a repeating timer; 0 for a one-shot one.
    double timeInterval() const;
    // How late the timer may fire; kept for callers, the clock fires on time.
    double tolerance() const;
    void setTolerance(double seconds);

private:
    friend class RunLoop;

    RunLoopTimer(double interval, TimeDelta step, bool repeats, Handler handler);

    // Attaches to `loop` for `modes`; false when the timer is no longer valid.
    bool attach(const std::shared_ptr<RunLoop>& loop, unsigned modes);
    bool isDue(unsigned mode, TimeTicks now) const;
    // Starts a fire: the handler to call, or nothing when the timer is not
    // due in `mode` (or already firing).
    std::optional<Handler> beginFire(unsigned mode, TimeTicks now);
    void endFire(TimeTicks now);
    // The n-th point of the schedule.
    TimeTicks point(uint64_t n) const;
    // With the lock held: puts the wake-up for the next fire on the timeline.
    void scheduleLocked();
    uint64_t serial() const { return serial_; }

    mutable std::mutex lock_;
    Handler handler_;
    double interval_;
    // Set when the interval came in ticks: points are then n x step exactly.
    std::optional<TimeDelta> step_;
    bool repeats_;
    TimeTicks origin_;
    uint64_t fires_ = 1;
    TimeTicks fireDate_;
    double tolerance_ = 0;
    bool valid_ = true;
    bool firing_ = false;
    // The fire date was set while the handler ran: the end of the fire keeps it.
    bool fireDateSet_ = false;
    // The timeline reached the fire date: the timer is due only then, so
    // that it takes its turn among everything else due at the same tick.
    bool reached_ = false;
    unsigned modes_ = 0;
    std::weak_ptr<RunLoop> loop_;
    detail::Timeline::EntryId entry_ = 0;
    uint64_t serial_;
};

}  // namespace dispatch
