#pragma once
// The test's world of threads and time. While one exists the clock is a mock
// clock that only moves when the test says so, and the thread that made it
// is the main thread. One at a time; destroying it waits for background work,
// discards what is left for the main thread and the clock, and restores real
// time.
//
// Waits under mock time: a wait on the main thread (semaphore, group,
// synchronous dispatch, sleep) drives the clock itself once nothing else can
// run, moving it to the next due timer and on to the wait's deadline; a wait
// without deadline that nothing is left to end raises
// NSInternalInconsistencyException instead of hanging. A wait on another
// thread is woken when the clock passes its deadline; such a sleeping thread
// does not keep runUntilIdle() from returning.
//
// Work that never settles raises NSInternalInconsistencyException instead of
// hanging: background blocks or I/O during which nothing moves (no block or
// operation starts or ends, no thread spends CPU time or waits for a CPU)
// for the idle timeout of real time, the report naming the queues that hold
// the work; main-thread work or timers that keep the main thread busy for the
// idle timeout of its own CPU time. Work that moves on is waited for however
// long a busy machine makes it take.
//
// The mock clock starts at a fixed point, dispatch::DefaultMockStart
// (10^6 s), or where GAMEHOST_MOCK_EPOCH_SECONDS says (whole seconds), or
// where the test asks; the mock wall clock starts at 2024-01-01T00:00:00Z
// unless the test sets a date. Nothing a test sees depends on the machine's
// uptime or date.

#include <cstdint>

#include "platform/dispatch/Time.h"

namespace testing {

class TaskEnvironment {
public:
    // Mock time from the default start (or the environment's, see above).
    TaskEnvironment();
    // Mock time from `start` on the monotonic scale.
    explicit TaskEnvironment(dispatch::TimeTicks start);
    ~TaskEnvironment();
    TaskEnvironment(const TaskEnvironment&) = delete;
    TaskEnvironment& operator=(const TaskEnvironment&) = delete;

    // Runs everything ready at the current time: main-queue blocks and
    // main-run-loop work (default mode) here, background blocks on their
    // threads, waiting for in-flight I/O. The clock does not move.
    void runUntilIdle();
    // Moves the clock forward by `seconds`, firing timers, delayed blocks and
    // delayed performs in time order and running until idle after each.
    void fastForwardBy(double seconds);
    void fastForwardBy(dispatch::TimeDelta delta);
    // Moves the clock by `seconds` and runs nothing: for a test that lets
    // time pass while I/O it holds back is in flight (fastForwardBy would
    // wait for that I/O). What falls due meanwhile runs at the next run or
    // fast-forward.
    void advanceClockWhileInFlight(double seconds);
    // Runs the main thread's ready work and what has fallen due, waiting for
    // nothing on other threads: for a test whose I/O is held back while the
    // main thread goes on. What other threads hand over later runs at the
    // next run or fast-forward.
    void runReadyWhileInFlight();
    // Fast-forwards until nothing is scheduled any more.
    void fastForwardUntilNoTasksRemain();

    double now() const;
    dispatch::TimeTicks nowTicks() const;
    // Where this environment's mock clock started.
    dispatch::TimeTicks start() const { return start_; }
    // The start the default constructor uses: GAMEHOST_MOCK_EPOCH_SECONDS
    // when set to a positive whole number of seconds, else the default.
    static dispatch::TimeTicks defaultStart();
    // Sets the wall-clock date (seconds since 1970) that dates read from now on,
    // as if the device's date were set; mock time and timers are untouched.
    void setWallTime(double secondsSince1970);

    // The idle timeout above (30 s).
    void setIdleTimeout(double seconds);

private:
    dispatch::TimeTicks start_;
};

}  // namespace testing
