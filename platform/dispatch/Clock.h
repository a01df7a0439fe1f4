#pragma once
// The one clock. Everything that reads time or waits on it goes through here,
// so a test can replace the real clock with a mock one it moves by hand.

#include "platform/dispatch/Time.h"

namespace dispatch {

// Where mock time starts unless a test says otherwise: far from zero, so
// code that reads 0 as "never set" still works.
inline constexpr TimeTicks DefaultMockStart = TimeTicks::fromNanoseconds(1'000'000 * detail::NanosecondsPerSecond);
// The mock wall clock's date at the start unless a test sets one:
// 2024-01-01T00:00:00Z, in seconds since 1970.
inline constexpr double DefaultMockWallTime = 1704067200;

class Clock {
public:
    // The monotonic clock; only differences mean anything.
    static TimeTicks nowTicks();
    // The same reading in the platform's double seconds.
    static double now() { return nowTicks().inSeconds(); }
    // Seconds since 1970-01-01 UTC. Under mock time it moves with now().
    static double wallTime();
    static bool isMock();
};

inline double now() { return Clock::now(); }
inline TimeTicks nowTicks() { return Clock::nowTicks(); }
inline double wallTime() { return Clock::wallTime(); }

namespace detail {
// Mock time control, for the time driver and the task environment only.
// The mock clock starts at `start` and the wall clock at DefaultMockWallTime.
void installMockClock(TimeTicks start);
void uninstallMockClock();
// Sets the mock wall clock (seconds since 1970) as a user setting the
// device's date would: the monotonic clock and pending timers are untouched.
void setMockWallTime(double wallSeconds);
// Moves mock time forward to `time`; an earlier time is ignored.
void advanceMockClock(TimeTicks time);
}  // namespace detail

}  // namespace dispatch
