#pragma once
// The one clock. Everything that reads time or waits on it goes through here,
// so a test can replace the real clock with a mock one it moves by hand.

#include <limits>

namespace dispatch {

// A timeout or interval that never ends.
inline constexpr double Forever = std::numeric_limits<double>::infinity();

class Clock {
public:
    // Seconds on a monotonic scale with an arbitrary epoch; only differences
    // mean anything.
    static double now();
    // Seconds since 1970-01-01 UTC. Under mock time it moves with now().
    static double wallTime();
    static bool isMock();
};

inline double now() { return Clock::now(); }
inline double wallTime() { return Clock::wallTime(); }

namespace detail {
// Mock time control, for the time driver and the task environment only.
void installMockClock();
void uninstallMockClock();
// Sets the mock wall clock (seconds since 1970) as a user setting the
// device's date would: the monotonic clock and pending timers are untouched.
void setMockWallTime(double wallSeconds);
// Moves mock time forward to `time`; an earlier time is ignored.
void advanceMockClock(double time);
}  // namespace detail

}  // namespace dispatch
