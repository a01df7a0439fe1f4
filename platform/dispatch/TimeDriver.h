#pragma once
// Drives mock time from the main thread. Used by the main run loop, by waits
// and sleeps on the main thread, and by the task environment.
//
// "Settling" runs everything that is ready at the current time: main-thread
// work (when asked) on the calling thread, entries already due, background
// blocks on their own threads (waited for), in-flight I/O (waited for).
// Work that is stuck (nothing moves for the idle timeout of real time, no
// thread waiting for a CPU at its end) or
// endless (the main thread kept busy for the idle timeout of its own time)
// raises instead of hanging; work that moves on is waited for however long
// a busy machine makes it take.

#include <functional>

#include "platform/dispatch/RunLoopMode.h"
#include "platform/dispatch/Time.h"

namespace dispatch::detail {

class TimeDriver {
public:
    // The main thread while mock time is installed.
    static bool isDriverThread();

    static void settle(bool runMain, RunLoopMode mode, const std::function<bool()>& done = {});
    // Runs the main thread's ready work and the entries already due, on the
    // calling thread only: it waits for no background work and no I/O.
    static void runReady(RunLoopMode mode);
    // Settles, then fires the entries up to `date` in time order, settling
    // after each, and leaves the clock at `date` (max() runs until nothing
    // is scheduled). False when `stop` ended it.
    static bool driveUntil(TimeTicks date, bool runMain, RunLoopMode mode, const std::function<bool()>& stop = {});
    // Blocks the main thread until `done`, or until the clock reaches
    // `deadline` (max() for none). Main-thread work does not run meanwhile (the thread is
    // blocked); once nothing else can run, the clock moves to the next entry.
    // A wait without deadline that nothing is left to end raises.
    static void driverWait(const std::function<bool()>& done, TimeTicks deadline);

    // Installs mock time starting at `start`, with the calling thread as the
    // main thread; the reverse restores real time and the previous main
    // thread. Uninstalling waits for background work, then discards what is
    // left for the main thread and the clock.
    static void install(TimeTicks start);
    static void uninstall();

    // Seconds of real time without movement after which a settle reports
    // stuck work, and of the main thread's time after which it reports
    // endless main-thread work or timers.
    static void setIdleTimeout(double seconds);
    static double idleTimeout();
};

}  // namespace dispatch::detail
